// The program's one top-level window: it receives every key, touch, timer
// and private message and routes it to the active screen, shows the
// notification popups, and holds the program-wide state words and the
// per-picture result store that the other subsystems read.
#pragma once

#include <atomic>
#include <cstdint>

#include "draw_event.h"
#include "file_control.h"
#include "frame_application.h"
#include "plat/windows.h"
#include "app_messages.h"
#include "settings.h"
#include "singleton.h"

struct ResultItem;
struct ResultSubItem;

// The views of the main frame (m_nView).
inline constexpr int VIEW_STARTUP = 0;
inline constexpr int VIEW_PREVIEW = 1;
inline constexpr int VIEW_SINGLE_PICTURE = 2;
inline constexpr int VIEW_OCR_SETTINGS = 3;
inline constexpr int VIEW_GALLERY = 4;
inline constexpr int VIEW_UNUSED = 5;
inline constexpr int VIEW_CARD_RESULT = 6;
inline constexpr int VIEW_DOCUMENT_RESULT = 7;

// Popup types, in the order of their table.
inline constexpr int POPUP_CALL = 1;
inline constexpr int POPUP_SMS = 2;
inline constexpr int POPUP_ALARM = 3;
inline constexpr int POPUP_LOW_BATTERY = 4;
inline constexpr int POPUP_LOW_STORAGE = 5;
inline constexpr int POPUP_LOW_LIGHT = 6;
inline constexpr int POPUP_RECOG_FAIL = 7;
inline constexpr int POPUP_BT_PAIRING = 8;

// Strings of the program's own table.
inline constexpr UINT IDS_MAINFRAME_CLASS = 1059;  // "LUMOCR": class name and instance mutex
inline constexpr UINT IDR_MAINFRAME = 128;         // the frame's common string: its first title

// The camera control's busy bits: capturing, saving, recording.
inline constexpr DWORD CAMERA_BUSY_BITS = 0x550;

inline constexpr int kResultSlots = 20;
inline constexpr int kPopupListSize = 5;
inline constexpr int kPreviousInstanceAttempts = 25;
inline constexpr int kPopupTextLength = 260;

// One picture of the result store. The recognition road allocates the
// records and the texts with malloc; the frame frees them with free.
struct ResultSlot {
    DWORD freeFlag = 1;
    ResultSubItem* subItems = nullptr;  // 7 records, from the recognition road
    ResultItem* items = nullptr;        // 7 records
    LPWSTR text = nullptr;              // recognised document text (heap)
    LPWSTR pictureName = nullptr;       // relative to the store's folder (heap)
    int success = 0;
    int direction = 1;                  // the text-direction check's answer
    int resultState = 2;                // 0 failed, 1 recognised, 2 not taken
};

class CMainFrame : public CFrameWindowImpl,
                   public CMessageFilter,
                   public CIdleHandler,
                   public CDrawGate,
                   public COcrPictureOwner,
                   public CSingleton<CMainFrame> {
public:
    using CSingleton<CMainFrame>::GetInstance;
    // The frame if it exists, without creating it.
    using CSingleton<CMainFrame>::PeekInstance;
    // Deletes the frame under its lock; the next GetInstance makes a new one.
    static void DestroyInstance() { ReleaseInstance(); }

    // Registers the class (string 1059), creates the full-screen window.
    HWND CreateEx();

    // The application object; none installed means ending the program and
    // the notification options are left alone (tests install a double).
    void SetApplication(CFrameApplication* app) { m_pApp = app; }
    CFrameApplication* GetApplication() const { return m_pApp; }

    void SetSurfaceDrawBlocked(int value);
    int IsSurfaceDrawBlocked() const { return m_bSurfaceDrawBlocked.load(); }
    int GetPictureCount() const;
    // Frees the items, text, sub-items and picture name of one slot.
    void FreeSlot(int slot);
    void FillOutBlack();

    // The ":::RotationWorking:::" guard around every screen rotation.
    void HoldRotationMutex(BOOL take, int retries);
    // The third single-instance guard: 0 when this is the only instance (the
    // guard is kept), 1 when an earlier one was brought forward, E_FAIL or
    // E_INVALIDARG when the guard cannot be made.
    int FindPreviousInstance(HINSTANCE instance);

    // Popups: callable from any thread; the work is done on the GUI thread.
    void ShowPopup(int type);
    void HideDialogBoxEx(int type);
    void RemovePopup(int type);
    // Re-shows the popup in front with its texts loaded again.
    void ReshowPopup();
    void ProcessPopupLBtn();
    void ProcessPopupRBtn();
    void ProcessPopupOkBtn();
    int GetTopPopup() const { return m_nPopupType.load(); }
    int GetPopupEntry(int index) const { return m_nPopupList[index]; }

    // CDrawGate
    bool IsClosing() const override { return m_bClosing.load() != 0; }
    bool IsDrawBlocked() const override { return m_bSurfaceDrawBlocked.load() != 0; }
    // COcrPictureOwner
    int GetBcrOcrMode() const override { return static_cast<int>(m_options.bcrOcrMode); }
    void SetOcrPicture(LPCWSTR folder, LPCWSTR name) override;

    // CMessageFilter, CIdleHandler
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnIdle() override { return FALSE; }

    std::wstring GetWndClassName() const override;

    BEGIN_MSG_MAP(CMainFrame)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_DRAW_SCREEN, OnDrawScreen)
        MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
        MESSAGE_HANDLER(WM_COMMAND, OnConsumed)
        MESSAGE_HANDLER(WM_MAIN_COMMAND, OnMainCommand)
        MESSAGE_HANDLER(WM_TARGET_COMMAND, OnTargetCommand)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnConsumed)
        MESSAGE_HANDLER(WM_KEYDOWN, OnKeyDown)
        MESSAGE_HANDLER(WM_KEYUP, OnKeyUp)
        MESSAGE_HANDLER(WM_HOTKEY, OnConsumed)
        MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_SINGLE_SHOT, OnSingleShot)
        MESSAGE_HANDLER(WM_MULTI_SHOT_DONE, OnMultiShotDone)
        MESSAGE_HANDLER(WM_PANORAMA_FRAME, OnPanoramaFrame)
        MESSAGE_HANDLER(WM_SHOT_MOSAIC, OnConsumed)
        MESSAGE_HANDLER(WM_WAVE_OUT_DONE, OnWaveOutDone)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        MESSAGE_HANDLER(WM_GRAPH_NOTIFY, OnGraphNotify)
        MESSAGE_HANDLER(WM_FILECHANGEINFO, OnFileChangeInfo)
        MESSAGE_HANDLER(WM_START_RECOGNITION, OnStartRecognition)
        MESSAGE_HANDLER(WM_RECOGNITION_RESULT, OnResult)
        MESSAGE_HANDLER(WM_SHOW_SETTING_VIEW, OnShowSettingView)
        MESSAGE_HANDLER(WM_SHOW_THUMBNAIL_VIEW, OnShowThumbnailView)
        MESSAGE_HANDLER(WM_OTHER_APP_ACTIVE, OnOtherAppActive)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_SETTINGCHANGE, OnSettingChange)
        MESSAGE_HANDLER(WM_POPUP_REQUEST, OnPopupRequest)
    END_MSG_MAP()

    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDrawScreen(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnActivate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnConsumed(UINT, WPARAM, LPARAM, BOOL&) { return 0; }
    LRESULT OnMainCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTargetCommand(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnKeyUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonDown(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSingleShot(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnMultiShotDone(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPanoramaFrame(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnWaveOutDone(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnGraphNotify(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnFileChangeInfo(UINT, WPARAM, LPARAM, BOOL&);
    // The recognition, settings and gallery hand-offs (main_frame_results.cpp).
    LRESULT OnStartRecognition(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnResult(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnShowSettingView(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnShowThumbnailView(UINT, WPARAM, LPARAM, BOOL& handled);
    LRESULT OnOtherAppActive(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSize(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnSettingChange(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnPopupRequest(UINT, WPARAM, LPARAM, BOOL&);

    // ---- The state record other subsystems read and write. ----
    HACCEL m_hAccel = nullptr;
    HWND m_hWndCommandBar = nullptr;
    std::atomic<int> m_bClosing{0};
    std::atomic<int> m_bRecognitionRunning{0};
    OcrOptions m_options;  // SINGLEMULTI_MODE, BCROCR_MODE, EnableAutoFocus, SelectedLanguage, EnableAutoSave
    DWORD m_nAutoOrientation = 0;
    CRITICAL_SECTION m_cs;
    std::atomic<int> m_bRecognizing{0};
    std::atomic<int> m_bInputEnabled{0};
    std::atomic<int> m_nView{VIEW_STARTUP};
    BYTE m_bWindowCreated = 0;
    std::atomic<int> m_bSurfaceDrawBlocked{0};
    DWORD m_nFirstOrientation = 0;

    // Popups.
    std::atomic<int> m_bPopupShown{0};
    std::atomic<int> m_nPopupType{0};  // the shown one: the list's first entry
    int m_nPopupList[kPopupListSize] = {};
    int m_nPopupButtonStyle = 1;  // 1 one centre button, 2 two soft keys
    int m_nPopupMultiLine = 0;    // 1: the first message holds lines split by "\n"
    int m_bPopupCenterPressed = 0;
    int m_bPopupLeftPressed = 0;
    int m_bPopupRightPressed = 0;
    WCHAR m_szPopupTitle[kPopupTextLength] = {};
    WCHAR m_szPopupText1[kPopupTextLength] = {};
    WCHAR m_szPopupText2[kPopupTextLength] = {};
    WCHAR m_szPopupButton[3][kPopupTextLength] = {};

    // Shots and the camera screens' words.
    int m_nShotCount = 0;
    std::atomic<int> m_bSeriesComplete{0};  // the still thread sets it
    std::atomic<int> m_bCancelRequested{0};
    int m_nResultCount = 0;
    std::atomic<int> m_bLayerDrawn{0};  // the recognition thread reads it
    int m_bCapturePending = 0;
    int m_bShutterPressed = 0;
    // The auto-shot worker reads these three while the GUI thread sets them.
    std::atomic<int> m_nAutoShot1{0};
    std::atomic<int> m_nAutoShot2{0};
    std::atomic<int> m_bBusy{0};
    int m_nFocusIndicator = 0;  // 0 none, 1 focusing, 2 focused, 3 failed
    int m_nStillWidth = 0;
    int m_nStillHeight = 0;
    int m_bStorageFull = 0;
    int m_nInactivity = 0;      // dialogs write 120 on every input
    int m_bPreRecognition = 0;

    // Phone and shutdown words.
    std::atomic<int> m_bVideoCall{0};
    std::atomic<int> m_bNoDrawing{0};
    std::atomic<int> m_bCallAnswered{0};
    std::atomic<int> m_bSendingResult{0};
    int m_bClosingFocus = 0;

    // The result store, guarded by m_cs while the recognition thread writes it.
    WCHAR m_szPictureFolder[MAX_PATH] = {};
    ResultSlot m_slots[kResultSlots];
    int m_nCurrentSlot = 0;
    int m_bKeepPictures = 0;
    std::atomic<int> m_bRecognitionFailed{0};
    DWORD m_nSavedShotMode = 0;
    HANDLE m_hRecognitionThread = nullptr;
    DWORD m_dwRecognitionThreadId = 0;

    // The gallery's words.
    std::int32_t m_nNextAction = 0;      // 0 preview, 1 card results, 2 document results
    int m_bFromResults = 0;              // the gallery opens again after a result view
    std::int32_t m_bSingleResult = 0;
    std::int32_t m_nGalleryLast = 0;     // index of the last picture of the gallery's run
    std::int32_t m_bGalleryRunning = 0;
    std::int32_t m_bGalleryRunStarted = 0;
    std::int32_t m_nGalleryExtra = 0;

    ~CMainFrame() override;

private:
    friend class CSingleton<CMainFrame>;
    CMainFrame();

    // Popup work on the GUI thread.
    bool OnGuiThread() const;
    void DoShowPopup(int type);
    void DoHideDialogBoxEx(int type);
    bool DoRemovePopup(int type);
    void LoadPopupTexts(int type);
    void StartPopupTimer(int type);
    void StopPopupTimer(int type);
    void ReloadAutoOff();
    void EndApplication(LPCWSTR source, int line);
    void ClearPopupTexts();
    CBaseGUI* ActiveScreen() const;
    bool CameraBusy() const;
    bool InputFlushRunning() const;
    LPCWSTR LoadMuiString(UINT id, LPWSTR buffer, int length) const;
    // Before a dialog over the camera: options back to the user, black
    // window, screen turned upright, input off, task bar shown.
    void PrepareDialog(DWORD taskBarFlags);
    void HideTaskBar();
    // Back to the camera preview after a dialog, the display set up again.
    void ReturnToPreview();
    // Frees every slot and gives the shot mode back; deletes the pictures
    // unless they are kept.
    void ReleaseResultStore(bool deletePictures);
    INT_PTR RunResultView();
    // The shared picture list: rebuilt afresh, or rescanned with the marks
    // and the current picture carried over.
    void PrepareGalleryList();

    CFrameApplication* m_pApp = nullptr;
    HANDLE m_hInstanceMutex = nullptr;
    HANDLE m_hRotationMutex = nullptr;
};

extern HWND g_hMainWnd;
class ThumbNailDialog;
// The gallery's folder, and the gallery while it runs (null otherwise).
extern WCHAR g_szGalleryPath[MAX_PATH];
extern std::atomic<ThumbNailDialog*> g_pThumbNailDialog;
// The cancel-on-switch flag: cleared by the frame, tested on WM_OTHER_APP_ACTIVE.
extern std::atomic<int> g_bCancelOnSwitch;
