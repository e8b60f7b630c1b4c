// The gallery dialog: the grid of one folder's pictures with its scroll bar,
// the folder and kind drop-downs, delete mode, and a recognition run over
// the marked pictures on a worker thread whose results go to the caller's
// tables.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "drop_down_list.h"
#include "gallery_messages.h"
#include "page_indicator.h"
#include "plat/framework.h"
#include "popups.h"
#include "skin_scroll_bar.h"
#include "thumbnail_dialog.h"
#include "thumbnail_grid.h"

inline constexpr UINT IDD_GALLERY = 30018;
enum GalleryItem : int {
    IDC_GALLERY_GRID = 30020,
    IDC_GALLERY_BAR = 30021,
    IDC_GALLERY_FOLDERS = 30022,
    IDC_GALLERY_KINDS = 30024,
    IDC_GALLERY_INDICATOR = 30062,
    IDC_GALLERY_NOTICE = 30079,
    IDC_GALLERY_YESNO = 30086,
};
// Menu bars by state.
inline constexpr UINT IDM_GALLERY_CHOOSE = 30051, IDM_GALLERY_DELETE = 30043, IDM_GALLERY_BROWSE = 30052,
                      IDM_GALLERY_RESULTS = 30071;
enum GalleryCommand : WORD {
    CMD_GALLERY_DELETE_ALL = 30042,
    CMD_GALLERY_RECOGNIZE = 30044,  // also Done in delete mode
    CMD_GALLERY_DELETE_MODE = 30045,
    CMD_GALLERY_EXIT = 30046,
    CMD_GALLERY_CAPTURE = 30047,
    CMD_GALLERY_CARDS = 30048,
    CMD_GALLERY_DOCUMENTS = 30049,
    CMD_GALLERY_THUMBNAIL = 30065,
    CMD_GALLERY_EXPAND = 30069,
    CMD_GALLERY_RESULT = 30070,
    CMD_GALLERY_RECOGNIZE_MENU = 30075,
};
// Notices.
enum GalleryNotice : int {
    NOTICE_DELETE_MODE_REFUSED = 0,
    NOTICE_DELETE_ALL_REFUSED = 1,
    NOTICE_NOTHING_MARKED = 2,
    NOTICE_RECOGNITION_FAILED = 3,
    NOTICE_CARDS_REFUSED = 4,
    NOTICE_DOCUMENTS_REFUSED = 5,
    NOTICE_MARK_LIMIT = 6,
    NOTICE_SOME_FAILED = 7,
};
inline constexpr UINT kSomeFailedMs = 3000;
// Stops a run from outside; never a fixed number another program could send.
inline constexpr const WCHAR* kGalleryStopMessage = L"LumOCR.Gallery.StopRecognition";

// How a run ended, as the worker tells the dialog.
enum class RunOutcome : int { RECOGNISED, FAILED, CANCELED, NO_MEMORY };

// The words the run shares across threads. The owner is the indicator of
// the running gallery; its mode is the keep-going word (1 go on, 0 stop).
struct RecognitionProgress {
    std::atomic<CPageIndicator*> owner{nullptr};
    std::atomic<HWND> window{nullptr};
    std::atomic<int> lastPercent{0};
};
extern RecognitionProgress g_RecognitionProgress;

class CGalleryDialog : public CDialogImpl {
public:
    CGalleryDialog();
    ~CGalleryDialog() override;

    void SetInput(const ThumbNailInput& input) { m_in = input; }
    void SetExtraParam(std::int32_t value) { m_extra = value; }
    void SetResource(HINSTANCE resource) { m_resource = resource; }
    // The state to open in (3 from the result views).
    void SetOpeningState(int state) { m_openingState = state; }

    // What tests read.
    int State() const { return m_grid.GetListState(); }
    UINT MenuBarId() const { return m_menuBarId; }
    HWND MenuBar() const { return m_menuBar; }
    int NoticeKind() const { return m_notice; }
    bool NoticeShown() const;
    bool YesNoShown() const;
    bool Running() const { return m_worker != nullptr; }
    INT_PTR EndResult() const { return m_endResult; }
    CThumbnailGrid& Grid() { return m_grid; }
    CDropDownList& Folders() { return m_folders; }
    CDropDownList& Kinds() { return m_kinds; }
    CPageIndicator& Indicator() { return m_indicator; }
    CYesNoPopup& YesNo() { return m_yesNo; }
    const std::wstring& Question() const { return m_question; }
    // Waits for the worker, letting the messages it sends run.
    void JoinWorker();

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT OnInitDialog();
    void OnCommand(WORD id, LPARAM lParam);
    void OnKeyDown(WPARAM key);
    void OnPaint();
    void OnPen(UINT message, LPARAM lParam);
    void OnDropDownClosed(HWND button);
    void OnPopupDone();
    void OnYesNo(bool yes);
    void OnDestroy();

    void Layout();
    void SetState(int state);
    void SetMenuBar(UINT id);
    void EnableSoftKeys(bool enable);
    void EnableCommand(WORD id, bool enable);
    void EnableRecognizeMenu();
    void ShowNotice(int kind, UINT ms = kPopupCloseMs);
    void CloseDropDowns();
    void FillFolders();
    void FillKinds();
    void ChooseKind();
    void RecognitionKind(bool cards);
    void DeleteMode();
    void DeleteAll();
    void LeaveDeleteMode();
    void End(INT_PTR code);
    bool Guarded() const;
    bool OnlyParentVisible() const;
    void Touch();

    // The run (gallery_run.cpp).
    void StartRun();
    static DWORD WorkerProc(LPVOID self);
    void Work();
    static std::int32_t ProgressCallback(std::int32_t percent);
    void Progress(int percent);
    void FinishRun(RunOutcome outcome);
    void HandOver();
    void FreeRunEntries();
    bool KeepGoing() const;

    ThumbNailInput m_in;
    std::int32_t m_extra = 0;
    HINSTANCE m_resource = nullptr;
    int m_openingState = GALLERY_BROWSE;
    INT_PTR m_endResult = -1;
    HWND m_menuBar = nullptr;
    UINT m_menuBarId = 0;
    int m_notice = -1;
    bool m_painted = false;
    int m_appliedFolder = -1;  // the folder row the model shows
    std::wstring m_question;
    UINT m_stopMessage = 0;

    CThumbnailGrid m_grid;
    CSkinScrollBar m_bar;
    CDropDownList m_folders{kGalleryDropDown};
    CDropDownList m_kinds{kGalleryDropDown};
    CPageIndicator m_indicator;
    CInfoPopup m_info{CInfoPopup::VARIANT_B_GALLERY};
    CYesNoPopup m_yesNo{CYesNoPopup::VARIANT_GALLERY};
    HBITMAP m_popupBackground = nullptr;

    // Run state: the worker, what it recognises, and its outcome on the way.
    HANDLE m_worker = nullptr;
    std::atomic<int> m_picture{0};    // 1-based, for the indicator's title
    std::atomic<int> m_pictures{0};
    std::atomic<bool> m_closing{false};
    std::atomic<bool> m_outcomePending{false};
    bool m_card = false;  // set before the worker starts
    RunOutcome m_outcome = RunOutcome::CANCELED;
};
