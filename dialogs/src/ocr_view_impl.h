// The document result view's dialog: the pages' texts in an editor, paging,
// text files, sending a page as a message, and retry.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "plat/framework.h"
#include "popups.h"
#include "result_controls.h"
#include "result_edit.h"

// Commands of the view and its controls.
inline constexpr WORD CMD_OCR_PREV_PAGE = 1802;
inline constexpr WORD CMD_OCR_NEXT_PAGE = 1803;
inline constexpr WORD CMD_OCR_CLOSE = 1808;  // ends the dialog with lParam
inline constexpr WORD CMD_OCR_SAVE = 21018;
inline constexpr WORD CMD_OCR_SAVE_ALL = 20059;
inline constexpr WORD CMD_OCR_SEND = 20013;
inline constexpr WORD CMD_OCR_EXPAND = 20014;
inline constexpr WORD CMD_OCR_RETRY = 20015;
inline constexpr WORD CMD_OCR_BROWSER = 20018;

inline constexpr UINT IDD_OCR_VIEW = 20001;
inline constexpr UINT IDM_OCR_ONE_PAGE = 25002;
inline constexpr UINT IDM_OCR_PAGES = 25006;
inline constexpr int OCR_PAGE_MAX = 20;
inline constexpr size_t kPageTextChars = 5120;
inline constexpr size_t kPageNameChars = 260;

// Child item ids of dialog 20001.
enum OcrItem : int {
    IDC_OCR_TITLE = 25000,
    IDC_OCR_EDIT = 25001,
    IDC_OCR_LEFT = 25003,
    IDC_OCR_RIGHT = 25004,
    IDC_OCR_SCROLLBAR = 25005,
    IDC_OCR_YESNO_POPUP = 25007,
    IDC_OCR_INFO_POPUP = 30078,
};

struct OcrLayoutEntry {
    int x, y, cx, cy;
};
// Title, left arrow, right arrow, editor, scroll bar.
extern const OcrLayoutEntry kOcrLayoutPortrait[5];
extern const OcrLayoutEntry kOcrLayoutLandscape[5];

class COcrViewDialog : public CDialogImpl {
public:
    COcrViewDialog();
    ~COcrViewDialog() override;

    void SetData(const WCHAR* const* texts, int count, LPCWSTR folder, const WCHAR* const* names,
                 HINSTANCE languageInstance, int* inactivity, int* smsSent, HWND fullScreenWindow);

    // What tests and the look suite read.
    int Count() const { return static_cast<int>(m_pages.size()); }
    int Current() const { return m_current; }
    const std::wstring& PageText(int index) const { return m_pages[static_cast<size_t>(index)].text; }
    const std::wstring& PageName(int index) const { return m_pages[static_cast<size_t>(index)].name; }
    UINT MenuBarId() const { return m_menuBarId; }
    bool Saving() const { return m_saving; }
    bool PanelShrunk() const { return m_shrunk; }
    const CResultEdit& Editor() const { return m_edit; }
    // Tests answer for the zoom view.
    void SetExpandRunner(std::function<INT_PTR()> runner) { m_expandRunner = std::move(runner); }
    void SetGalleryRunner(std::function<INT_PTR()> runner) { m_galleryRunner = std::move(runner); }
    // The end code once the view ended, else -1.
    INT_PTR EndResult() const { return m_endResult; }

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct Page {
        std::wstring text;
        std::wstring name;
    };
    // What the shown notice ends.
    enum class Notice { NONE, SAVED, SAVED_ALL, RETRY_FAILED };

    LRESULT OnInitDialog();
    void OnCommand(WORD id, LPARAM lParam);
    void OnKeyDown(WPARAM key);
    void OnPaint();
    void OnPopupDone();
    void OnYesNoDone(bool yes);

    void OnArrow(int step);
    void OnSave();
    void OnSaveAll();
    void OnRetry();
    void OnSend();
    void OnAction();
    // The zoom view (or the gallery first), each opening the other until one ends.
    void OnExpandView(bool galleryFirst = false);
    void Close(INT_PTR result);

    void StoreEdit();
    void LoadPage();
    void ShowTitle();
    void UpdateLayout();
    void OnLayoutChange();
    // Writes pages from the first on; written ones leave the view. True when all were written.
    bool SaveAllPages();
    bool SavePage(int index) const;
    void RemovePage(int index);
    void AfterRemoval();
    void ShowInfo(int kind, Notice notice);
    void EnableSoftKeys(bool enable);
    void SetMenuBar(UINT id);
    void MakeCurrentInList() const;
    bool PopupShown() const;
    bool Blocked() const;
    bool Portrait() const { return m_screenWidth == 240; }
    void Touch();

    std::vector<Page> m_pages;
    int m_current = 1;
    std::wstring m_folder;
    HINSTANCE m_language = nullptr;
    int* m_inactivity = nullptr;
    int* m_smsSent = nullptr;
    HWND m_fullScreenWindow = nullptr;
    int m_screenWidth = 0;
    bool m_shrunk = false;
    bool m_saving = false;
    bool m_leaving = false;
    Notice m_notice = Notice::NONE;
    bool m_savedCurrent = false;  // the last save wrote what it was asked to
    INT_PTR m_endResult = -1;
    HWND m_menuBar = nullptr;
    UINT m_menuBarId = 0;

    CBcrCaptionWnd m_title;
    CImageButton m_left{CMD_OCR_PREV_PAGE};
    CImageButton m_right{CMD_OCR_NEXT_PAGE};
    CResultEdit m_edit;
    CBcrScrollBar m_bar;
    CInfoPopup m_info{CInfoPopup::VARIANT_A};
    CYesNoPopup m_yesNo{CYesNoPopup::VARIANT_RESULT_VIEWS};
    HBITMAP m_popupBackground = nullptr;
    std::function<INT_PTR()> m_expandRunner;
    std::function<INT_PTR()> m_galleryRunner;
};
