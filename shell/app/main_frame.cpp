#include "main_frame.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <mutex>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "dshow_control.h"
#include "gui_screens.h"
#include "display.h"
#include "font_manager.h"
#include "gps_control.h"
#include "image_file_list.h"
#include "notification.h"
#include "registry_key.h"
#include "sound_control.h"
#include "utility.h"
#include "layout_manager.h"
#include "phone_control.h"
#include "program_resources.h"
#include "recognition_cancel.h"
#include "shot_control.h"
#include "system.h"

HWND g_hMainWnd = nullptr;
std::atomic<int> g_bCancelOnSwitch{0};

namespace {

constexpr const WCHAR* kSource = L".\\MainFrm";

// Kinds of popup work handed to the GUI thread.
constexpr WPARAM kPopupShow = 1;
constexpr WPARAM kPopupHide = 2;
constexpr WPARAM kPopupRemove = 3;
constexpr WPARAM kPopupReshow = 4;

std::mutex& FrameLock()
{
    static std::mutex lock;
    return lock;
}
CMainFrame*& FrameSlot()
{
    static CMainFrame* frame = nullptr;
    return frame;
}

// Copies at most the buffer's length less one and always terminates.
void CopyText(LPWSTR to, LPCWSTR from, std::size_t length)
{
    std::wcsncpy(to, from ? from : L"", length - 1);
    to[length - 1] = 0;
}

void DiscardInput()
{
    PumpKeyMessages(FALSE, TRUE);
    PumpMouseMessages(FALSE, TRUE);
}

UINT_PTR PopupTimerOf(int type)
{
    switch (type) {
    case POPUP_SMS: return TM_POPUP_SMS;
    case POPUP_LOW_BATTERY: return TM_POPUP_LOW_BATTERY;
    case POPUP_LOW_STORAGE: return TM_POPUP_LOW_STORAGE;
    case POPUP_LOW_LIGHT: return TM_POPUP_LOW_LIGHT;
    case POPUP_RECOG_FAIL: return TM_POPUP_RECOG_FAIL;
    case POPUP_BT_PAIRING: return TM_POPUP_BT;
    default: return 0;
    }
}

UINT PopupPeriodOf(int type)
{
    switch (type) {
    case POPUP_SMS: return 5000;
    case POPUP_LOW_STORAGE:
    case POPUP_LOW_LIGHT: return 2000;
    default: return 3000;
    }
}

}  // namespace

CMainFrame* CMainFrame::GetInstance()
{
    std::lock_guard lock(FrameLock());
    if (!FrameSlot())
        FrameSlot() = new CMainFrame();
    return FrameSlot();
}

CMainFrame* CMainFrame::PeekInstance()
{
    std::lock_guard lock(FrameLock());
    return FrameSlot();
}

void CMainFrame::DestroyInstance()
{
    std::lock_guard lock(FrameLock());
    delete FrameSlot();
    FrameSlot() = nullptr;
}

CMainFrame::CMainFrame()
{
    InitializeCriticalSection(&m_cs);
    g_bCancelOnSwitch = 0;
    InstallProgramResources();
    DebugPrint(L"[LumOCR] Surface Draw Blocked End [%ls][%d]", kSource, 2060);
    CDrawEvent::InstallGate(this);
}

CMainFrame::~CMainFrame()
{
    CDrawEvent::InstallGate(nullptr);
    if (m_hRotationMutex)
        CloseHandle(m_hRotationMutex);
    DeleteCriticalSection(&m_cs);
}

std::wstring CMainFrame::GetWndClassName() const
{
    WCHAR name[64] = {};
    LoadStringW(nullptr, IDS_MAINFRAME_CLASS, name, 64);
    return name;
}

HWND CMainFrame::CreateEx()
{
    WCHAR title[MAX_PATH] = {};
    LoadStringW(nullptr, IDR_MAINFRAME, title, MAX_PATH);
    HWND hwnd = CFrameWindowImpl::CreateEx(nullptr, nullptr, WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_SYSMENU,
                                           WS_EX_CAPTIONOKBTN, title);
    if (!hwnd)
        return nullptr;
    m_hAccel = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME));
    return hwnd;
}

void CMainFrame::SetSurfaceDrawBlocked(int value)
{
    if (value == 1)
        DebugPrint(L"[LumOCR] Surface Draw Blocked Start [%ls][%d]", kSource, 2056);
    else
        DebugPrint(L"[LumOCR] Surface Draw Blocked End [%ls][%d]", kSource, 2060);
    m_bSurfaceDrawBlocked = value;
}

int CMainFrame::GetPictureCount() const
{
    auto* cs = const_cast<CRITICAL_SECTION*>(&m_cs);
    EnterCriticalSection(cs);
    int count = 0;
    for (const ResultSlot& slot : m_slots)
        count += slot.pictureName != nullptr;
    LeaveCriticalSection(cs);
    return count;
}

void CMainFrame::FreeSlot(int slot)
{
    if (slot < 0 || slot >= kResultSlots)
        return;
    EnterCriticalSection(&m_cs);
    ResultSlot& s = m_slots[slot];
    std::free(s.items);
    std::free(s.text);
    std::free(s.subItems);
    std::free(s.pictureName);
    s.items = nullptr;
    s.text = nullptr;
    s.subItems = nullptr;
    s.pictureName = nullptr;
    LeaveCriticalSection(&m_cs);
}

void CMainFrame::SetOcrPicture(LPCWSTR folder, LPCWSTR name)
{
    EnterCriticalSection(&m_cs);
    CopyText(m_szPictureFolder, folder, MAX_PATH);
    if (m_nCurrentSlot >= 0 && m_nCurrentSlot < kResultSlots) {
        ResultSlot& slot = m_slots[m_nCurrentSlot];
        std::free(slot.pictureName);
        slot.pictureName = nullptr;
        if (name) {
            std::size_t length = std::wcslen(name) + 1;
            slot.pictureName = static_cast<LPWSTR>(std::malloc(length * sizeof(WCHAR)));
            if (slot.pictureName)
                std::wmemcpy(slot.pictureName, name, length);
        }
    }
    LeaveCriticalSection(&m_cs);
}

void CMainFrame::FillOutBlack()
{
    DebugPrint(L"[LUMOCR] CMainFrm::FillOutBlack\n");
    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    RECT rect{0, 0, 400, 400};
    DebugPrint(L"[TRAVEK] clientRect[%d,%d,%d,%d]\n", static_cast<int>(rect.left), static_cast<int>(rect.top),
               static_cast<int>(rect.right), static_cast<int>(rect.bottom));
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 400, 400, 0);
    if (HDC dc = ::GetDC(m_hWnd)) {
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ::ReleaseDC(m_hWnd, dc);
    }
}

void CMainFrame::HoldRotationMutex(BOOL take, int retries)
{
    if (!take) {
        if (m_hRotationMutex) {
            DebugPrint(L"[LumOCR] Waiting Mutex handle close.......................");
            CloseHandle(m_hRotationMutex);
            m_hRotationMutex = nullptr;
        }
        return;
    }
    DebugPrint(L"[LumOCR] Waiting Mutex handle Create.......................");
    auto create = [this] {
        HANDLE h = CreateMutexW(nullptr, TRUE, L":::RotationWorking:::");
        if (h == INVALID_HANDLE_VALUE)
            h = nullptr;
        m_hRotationMutex = h;
        return h != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
    };
    if (m_hRotationMutex) {
        CloseHandle(m_hRotationMutex);
        m_hRotationMutex = nullptr;
    }
    if (create() || !m_hRotationMutex)
        return;
    for (int count = 0; count < retries; ++count) {
        DebugPrint(L"[TRAVEK] Sleeping... Rotation>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
        Sleep(50);
        CloseHandle(m_hRotationMutex);
        m_hRotationMutex = nullptr;
        if (create()) {
            DebugPrint(L"[LumOCR] nCount[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>", count);
            return;
        }
        if (!m_hRotationMutex)
            return;
    }
}

// ---- Helpers ----

CBaseGUI* CMainFrame::ActiveScreen() const { return CSettings::GetInstance()->GetActiveGUI(); }

bool CMainFrame::CameraBusy() const { return (CCameraControl::GetInstance()->GetState() & CAMERA_BUSY_BITS) != 0; }

bool CMainFrame::InputFlushRunning() const { return !CSystem::GetInstance()->IsInputFlushStopped(); }

bool CMainFrame::OnGuiThread() const
{
    if (!::IsWindow(m_hWnd))
        return true;
    return GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId();
}

void CMainFrame::ReloadAutoOff()
{
    int mode = CSettings::GetInstance()->GetAutoOffMode();
    if (m_pApp)
        m_pApp->ResetAutoOff(mode);
    else
        CSettings::GetInstance()->SetAutoOffMode(mode);
}

void CMainFrame::EndApplication(LPCWSTR source, int line)
{
    DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<", source, line);
    if (m_pApp)
        m_pApp->FillBlackClose();
}

LPCWSTR CMainFrame::LoadMuiString(UINT id, LPWSTR buffer, int length) const
{
    buffer[0] = 0;
    if (HINSTANCE mui = CLayoutManager::GetInstance()->GetResource())
        LoadStringW(mui, id, buffer, length);
    return buffer;
}

// ---- Message handlers ----

LRESULT CMainFrame::OnCreate(UINT, WPARAM, LPARAM, BOOL&)
{
    m_bWindowCreated = 1;
    WCHAR title[MAX_PATH];
    ::SetWindowTextW(m_hWnd, LoadMuiString(254, title, MAX_PATH));
    SetForegroundWindow(m_hWnd);
    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    ::MoveWindow(m_hWnd, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), FALSE);
    ::SetTimer(m_hWnd, TM_USER_ACTIVITY, 7000, nullptr);
    ::SetTimer(m_hWnd, TM_AUTO_OFF, 1000, nullptr);
    SetForegroundWindow(m_hWnd);
    EnterCriticalSection(&m_cs);
    for (ResultSlot& slot : m_slots) {
        slot.items = nullptr;
        slot.subItems = nullptr;
        slot.text = nullptr;
        slot.pictureName = nullptr;
    }
    LeaveCriticalSection(&m_cs);
    return 0;
}

namespace {

// One phase of the shutdown: its name, where it ended and how long it took.
class ClosePhases {
public:
    ClosePhases() : start_(GetTickCount()) {}
    void End(LPCWSTR name, int line)
    {
        DWORD now = GetTickCount();
        DebugPrint(L"[LumOCRCLOSE] %ls[%d][%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", name, line,
                   static_cast<int>(now - start_));
        start_ = now;
    }

private:
    DWORD start_;
};

// Waits up to 3000 ms in 300 ms steps; messages sent from other threads are
// handled meanwhile, so a worker blocked in a request can finish.
template <class Busy>
void BoundedWait(Busy busy, LPCWSTR line)
{
    for (int waited = 0; busy() && waited < 3000;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(300);
        waited += 300;
        DebugPrint(line, waited);
    }
}

void FillWindowBlack(HWND hwnd)
{
    if (HDC dc = ::GetDC(hwnd)) {
        RECT rect{0, 0, 400, 400};
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ::ReleaseDC(hwnd, dc);
    }
}

}  // namespace

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& handled)
{
    // A second close (also one that arrives during the waits below), or one
    // before the window exists, is consumed: the display must not be
    // released twice, nor the window destroyed in the middle of the shutdown.
    if (!m_bWindowCreated || m_bClosing)
        return 0;
    const int view = m_nView;
    const bool cameraView = view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE;
    if (cameraView)
        CCameraControl::GetInstance()->StopPreview();
    CDisplay::DestroyInstance();
    DebugPrint(L"[TRAVEK] get first orientation [%d]<<<\n", static_cast<int>(m_nFirstOrientation));
    DebugPrint(L"VT[%d] MotionSensor[%d] Direction[%d]\n", m_bVideoCall.load(), static_cast<int>(m_nAutoOrientation),
               static_cast<int>(m_nFirstOrientation));
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose\n");
    ClosePhases phases;
    phases.End(L"START", __LINE__);

    m_bClosing = 1;
    ::BringWindowToTop(m_hWnd);
    auto busy = [] { return (CCameraControl::GetInstance()->GetState() & CAMERA_BUSY_BITS) != 0; };
    DebugPrint(L"[LumOCR] Capturing end waiting start[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", busy() ? 1 : 0);
    BoundedWait(busy, L"[LumOCR] MainFrame : OnClose Capturing waiting Time : %d\n");
    DebugPrint(L"[LumOCR] Engine end capturing waiting end>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    CSinglePicBaseGUI::GetInstance()->CancelRecognition();
    DebugPrint(L"[LumOCR] Engine end recog. waiting start[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n",
               m_bRecognitionRunning.load());
    BoundedWait([this] { return m_bRecognitionRunning.load() != 0; },
                L"[LumOCR] MainFrame : OnClose recog. ending  Time : %d\n");
    DebugPrint(L"[LumOCR] Engine end recog. waiting end>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    // A recognition still running keeps what it uses: the store stays.
    const bool recognitionEnded = m_bRecognitionRunning == 0;
    if (recognitionEnded && m_hRecognitionThread) {
        WaitForSingleObject(m_hRecognitionThread, INFINITE);
        CloseHandle(m_hRecognitionThread);
        m_hRecognitionThread = nullptr;
    }
    phases.End(L"Engine Stop", __LINE__);

    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    if (HWND bar = SHFindMenuBar(m_hWnd))
        ::ShowWindow(bar, SW_HIDE);
    ::MoveWindow(m_hWnd, 0, 0, 400, 240, FALSE);
    if (cameraView)
        FillOutBlack();
    phases.End(L"Draw Black", __LINE__);

    m_bClosingFocus = 1;
    CCommonControl::GetInstance()->SetFocus(0, 1);
    phases.End(L"Focusing Set", __LINE__);

    DebugPrint(L"[TRAVEK] DELETE IMAGE... START[%d]\n", GetPictureCount());
    if (recognitionEnded) {
        EnterCriticalSection(&m_cs);
        const bool keep = m_bKeepPictures || m_options.enableAutoSave;
        for (ResultSlot& slot : m_slots) {
            if (!slot.pictureName)
                continue;
            if (!keep) {
                std::wstring path = std::wstring(m_szPictureFolder) + slot.pictureName;
                DeleteFileW(path.c_str());
            }
            std::free(slot.pictureName);
            slot.pictureName = nullptr;
        }
        m_nCurrentSlot = 0;
        LeaveCriticalSection(&m_cs);
    }
    DebugPrint(L"[TRAVEK] DELETE IMAGE... END\n");
    phases.End(L"Delete Image", __LINE__);

    RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"BCROCR_MODE", m_options.bcrOcrMode);
    RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"SINGLEMULTI_MODE", m_options.singleMultiMode);
    RegFlushKey(HKEY_CURRENT_USER);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose2\n");
    m_bWindowCreated = 0;
    if (CCommonControl::GetInstance()->m_bFocusing)
        CCommonControl::GetInstance()->SetFocusOff();
    phases.End(L"Stop Camera1", __LINE__);
    DebugPrint(L"[LumOCR] Stoppef Preview\n");

    CSoundControl::GetInstance()->Stop();
    ::KillTimer(m_hWnd, TM_USER_ACTIVITY);
    for (LPCWSTR name : {L"EVT_TIMER_THREA_EXIT", L"EVT_CLEAN_THREAD"}) {
        if (HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name)) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    CDShowControl::GetInstance()->CloseCamera();
    phases.End(L"Stop Camera2", __LINE__);
    DebugPrint(L"[LumOCR] Closed camera\n");
    RegisterHotKey(m_hWndCommandBar, 2, 0, VK_F6);
    RegisterHotKey(m_hWndCommandBar, 3, 0, VK_F7);

    CSettings::GetInstance()->Release();
    CSettings::GetInstance()->SetVolumeMute(1);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose3\n");
    if (recognitionEnded) {
        CMessagePopupGUI::ReleaseInstance();
        CReviewSingleGUI::ReleaseInstance();
        CReviewMultiCapturedGUI::ReleaseInstance();
        CReviewMovieGUI::ReleaseInstance();
        CPreviewCameraGUI::ReleaseInstance();
        CPreviewCamcorderGUI::ReleaseInstance();
        CSinglePicBaseGUI::ReleaseInstance();
        CCameraControl::ReleaseInstance();
        CCamcorderControl::ReleaseInstance();
        CSoundControl::ReleaseInstance();
        CDShowControl::GetInstance()->ReleaseInterfaces();
        CDShowControl::ReleaseInstance();
        CImageFileList::GetInstance()->Clear();
        CImageFileList::ReleaseInstance();
        CCommonControl::ReleaseInstance();
        CFontManager::ReleaseInstance();
    }
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose4\n");
    if (recognitionEnded) {
        for (int slot = 0; slot < kResultSlots; ++slot)
            FreeSlot(slot);
    }
    phases.End(L"delete othersp", __LINE__);
    phases.End(L"delete ddraw", __LINE__);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose5\n");

    bool waitCursor = false;
    if (m_bVideoCall == 1 && m_nAutoOrientation == 0 && m_nFirstOrientation == DMDO_0 && m_pApp) {
        m_pApp->ShowBlackWnd();
        waitCursor = true;
        Sleep(1000);
    }
    if (m_pApp)
        m_pApp->LockMotionSensor(FALSE);
    if (m_nAutoOrientation == 0) {
        HoldRotationMutex(TRUE, 50);
        DebugPrint(L"[TRAVEK] get first orientation [%d]<<<\n", static_cast<int>(m_nFirstOrientation));
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, m_nFirstOrientation);
        HoldRotationMutex(FALSE, 0);
    }
    phases.End(L"rotation", __LINE__);
    if (waitCursor) {
        m_pApp->HideBlackWnd();
        ::BringWindowToTop(m_hWnd);
    }
    if (cameraView)
        FillWindowBlack(m_hWnd);
    DebugPrint(L"[LumOCR] END Show TITLE\n");
    SHFullScreen(m_hWnd, SHFS_SHOWTASKBAR);
    CNotification::GetInstance()->UnregistAll();
    CFileControl::ReleaseInstance();
    CUtility::ReleaseInstance();
    if (recognitionEnded) {
        CShotControl::GetInstance()->Destroy();
        CShotControl::ReleaseInstance();
        CGPSControl::GetInstance()->Uninit();
        CGPSControl::ReleaseInstance();
    }
    phases.End(L"lastend", __LINE__);
    DebugPrint(L"[TRAVEK] LUMOCR ENDING END\n");
    // The default procedure destroys the window.
    handled = FALSE;
    return 0;
}

LRESULT CMainFrame::OnDestroy(UINT, WPARAM, LPARAM, BOOL&)
{
    std::fputs("MainFrame::OnDestroy\n", stderr);
    PostQuitMessage(0);
    return 0;
}

LRESULT CMainFrame::OnDrawScreen(UINT, WPARAM, LPARAM, BOOL& handled)
{
    // A message queued before a synchronous request took its place.
    if (CDrawEvent::PendingCount() == 0) {
        handled = FALSE;
        return 0;
    }
    CDrawEvent::TakePending();
    if (CSettings::GetInstance()->GetFlags() & SETTINGS_FLAG_DRAW_HELD)
        return 0;
    if (CBaseGUI* screen = ActiveScreen())
        screen->OnPaint();
    return 0;
}

LRESULT CMainFrame::OnActivate(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    SHACTIVATEINFO info{};
    info.cbSize = 12;
    SHHandleWMActivate(m_hWnd, wParam, lParam, &info, 0);
    if (LOWORD(wParam) == WA_INACTIVE) {
        RegisterHotKey(m_hWndCommandBar, 2, 0, VK_F6);
        RegisterHotKey(m_hWndCommandBar, 3, 0, VK_F7);
        UnregisterHotKey(m_hWnd, 0x40C1);
    } else {
        UnregisterHotKey(m_hWndCommandBar, 2);
        UnregisterHotKey(m_hWndCommandBar, 3);
        RegisterHotKey(m_hWnd, 0x40C1, MOD_WIN | MOD_KEYUP, VK_APP4);
    }
    return 0;
}

LRESULT CMainFrame::OnMainCommand(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    DebugPrint(L"[TRAVEK] OnMainCommand(%d)\n", static_cast<int>(wParam));
    if (CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP))
        return CMessagePopupGUI::GetInstance()->OnCommand(static_cast<DWORD>(wParam), 0);
    CBaseGUI* screen = ActiveScreen();
    return screen ? screen->OnCommand(static_cast<DWORD>(wParam), 0) : 0;
}

LRESULT CMainFrame::OnTargetCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (lParam)
        return reinterpret_cast<CBaseGUI*>(lParam)->OnCommand(static_cast<DWORD>(wParam), 0);
    if (CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP))
        return CMessagePopupGUI::GetInstance()->OnCommand(static_cast<DWORD>(wParam), 0);
    CBaseGUI* screen = ActiveScreen();
    return screen ? screen->OnCommand(static_cast<DWORD>(wParam), 0) : 0;
}

namespace {

// At orientation 0 the arrows turn by a quarter with the layout: left
// becomes down, up left, right up, down right.
UINT TurnArrow(UINT vk)
{
    if (vk < VK_LEFT || vk > VK_DOWN)
        return vk;
    return ((vk - 34) % 4) + 37;
}

}  // namespace

LRESULT CMainFrame::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    UINT vk = static_cast<UINT>(wParam);
    DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown[%d]\n", static_cast<int>(vk));
    DiscardInput();
    ReloadAutoOff();
    if (!m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown BLOCKED<--[%d]\n", static_cast<int>(vk));
        return 0;
    }
    if (CSystem::GetInstance()->Orientation() == DMDO_0)
        vk = TurnArrow(vk);
    DebugPrint(L"CMainFrame::OnKeyDown [0x%X]\r\n", vk);
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    if (CameraBusy() || InputFlushRunning() || m_bRecognizing)
        return 0;
    if (CBaseGUI* screen = ActiveScreen())
        screen->OnKeyDown(m_hWnd, vk, lParam);
    return 0;
}

LRESULT CMainFrame::OnKeyUp(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    UINT vk = static_cast<UINT>(wParam);
    DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown[%d]\n", static_cast<int>(vk));
    ReloadAutoOff();
    if (!m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] CMainFrame::OnKeyUp BLOCKED<--[%d]\n", static_cast<int>(vk));
        return 0;
    }
    if (CSystem::GetInstance()->Orientation() == DMDO_0)
        vk = TurnArrow(vk);
    DebugPrint(L"WM_KEYUP ==> [0x%X]\r\n", vk);
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    if (CameraBusy())
        return 0;
    const int view = m_nView;
    const bool callPopup = m_bPopupShown && m_nPopupType == POPUP_CALL;
    if (vk == VK_F4) {
        DebugPrint(L"[TRAVEK] (END STATE) CMainFrame::GetInstance()->getTopPopup()[%d] \n", GetTopPopup());
        if (callPopup) {
            if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE) {
                ProcessPopupRBtn();
                HideDialogBoxEx(POPUP_CALL);
            }
            return 0;
        }
        DebugPrint(L"[TRAVEK] end key brocasted\n");
        if (view == VIEW_PREVIEW) {
            ProcessPopupRBtn();
            HideDialogBoxEx(POPUP_CALL);
            CPreviewCameraGUI::GetInstance()->OnCommand(CMD_PREVIEW_EXIT, 0);
        } else if (view == VIEW_SINGLE_PICTURE) {
            ProcessPopupRBtn();
            HideDialogBoxEx(POPUP_CALL);
            EndApplication(kSource, __LINE__);
        } else {
            EndApplication(kSource, __LINE__);
        }
        return 0;
    }
    if (vk == VK_F3 && callPopup) {
        if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE)
            ProcessPopupLBtn();
        return 0;
    }
    if (!m_bRecognizing) {
        if (CBaseGUI* screen = ActiveScreen())
            screen->OnKeyUp(m_hWnd, vk, lParam);
    }
    return 0;
}

namespace {

enum class PenKind { Down, Up, Move };

}  // namespace

static LRESULT RoutePen(CMainFrame* frame, PenKind kind, WPARAM wParam, LPARAM lParam)
{
    static const WCHAR* const names[] = {L"DOWN", L"UP", L"MOVE"};
    const WCHAR* name = names[static_cast<int>(kind)];
    DebugPrint(L"[TRAVEK] MAIN FRAME LBUTTON %ls [%d]\n", name, frame->m_bPopupShown.load());
    int mode = CSettings::GetInstance()->GetAutoOffMode();
    if (CFrameApplication* app = frame->GetApplication())
        app->ResetAutoOff(mode);
    else
        CSettings::GetInstance()->SetAutoOffMode(mode);
    if (!frame->m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] MAINFRM LBUTTON %ls BLOCKED<--\n", name);
        return 0;
    }
    if (frame->m_bRecognizing)
        return 0;
    POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    CSystem* system = CSystem::GetInstance();
    if (system->Orientation() == DMDO_0) {
        // The layout lies turned on the 240-pixel-wide panel.
        point = POINT{point.y, plat::kPanelWidth - 1 - point.x};
    }
    if ((CCameraControl::GetInstance()->GetState() & CAMERA_BUSY_BITS) || !system->IsInputFlushStopped())
        return 0;
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    CBaseGUI* screen = settings->GetActiveGUI();
    if (!screen)
        return 0;
    switch (kind) {
    case PenKind::Down: screen->OnLButtonDown(point, wParam); break;
    case PenKind::Up: screen->OnLButtonUp(point, wParam); break;
    case PenKind::Move: screen->OnMouseMove(point, wParam); break;
    }
    return 0;
}

LRESULT CMainFrame::OnLButtonDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Down, wParam, lParam);
}

LRESULT CMainFrame::OnLButtonUp(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Up, wParam, lParam);
}

LRESULT CMainFrame::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Move, wParam, lParam);
}

LRESULT CMainFrame::OnSingleShot(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    DebugPrint(L">>> CMainFrame::OnSingleShot");
    if (lParam == 0x10004) {
        CShotControl* shots = CShotControl::GetInstance();
        CImageFileList::GetInstance()->AddFile(shots->GetShot(0));
        if (CSettings::GetInstance()->IsReviewSwitchOn()) {
            CReviewSingleGUI::GetInstance()->OnOpen();
        } else {
            CPreviewCameraGUI::GetInstance()->m_bShotPending = 0;
            CSettings::GetInstance()->RemoveGUIStatus(GUI_STATUS_CAPTURING);
            CCameraControl::GetInstance()->SetState(1);
            shots->SaveAllShots();
            shots->ReleaseShots();
        }
    } else {
        CPreviewCameraGUI::GetInstance()->m_bShotPending = 0;
    }
    DiscardInput();
    DebugPrint(L"<<< CMainFrame::OnSingleShot");
    return 0;
}

LRESULT CMainFrame::OnMultiShotDone(UINT, WPARAM, LPARAM, BOOL&)
{
    CShotControl* shots = CShotControl::GetInstance();
    shots->SaveAllShots();
    CCameraControl::GetInstance()->SetState(1);
    CCommonControl::GetInstance()->m_bCaptureRunning = 0;
    if (shots->GetShotCount() >= 1)
        CThumbnailGUI::GetInstance()->OnOpen();
    return 0;
}

LRESULT CMainFrame::OnPanoramaFrame(UINT message, WPARAM wParam, LPARAM lParam, BOOL&)
{
    if (CBaseGUI* screen = ActiveScreen())
        screen->OnEvent(message, wParam, lParam);
    return 0;
}

LRESULT CMainFrame::OnWaveOutDone(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    waveOutClose(reinterpret_cast<HWAVEOUT>(wParam));
    return 0;
}

LRESULT CMainFrame::OnGraphNotify(UINT, WPARAM, LPARAM, BOOL&)
{
    CDShowControl::GetInstance()->HandleGraphEvent();
    return 0;
}

LRESULT CMainFrame::OnFileChangeInfo(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    auto* record = reinterpret_cast<LPFILECHANGENOTIFY>(lParam);
    if (!record)
        return 0;
    CPreviewSettingGUI* settingsMenu = CPreviewSettingGUI::GetInstance();
    if (record->fci.wEventId == SHCNE_DRIVEREMOVED) {
        DebugPrint(L"========> SHCNE_DRIVEREMOVED\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
        settingsMenu->OnCommand(CMD_SETTING_STORAGE_CHANGED, 0);
        settingsMenu->OnCommand(CMD_SETTING_STORAGE_CHANGED, 0);
    } else if (record->fci.wEventId == SHCNE_DRIVEADD) {
        DebugPrint(L"========> SHCNE_DRIVEADD\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n");
        settingsMenu->OnCommand(CMD_SETTING_STORAGE_CHANGED, 1);
        settingsMenu->OnCommand(CMD_SETTING_STORAGE_ADDED, 1);
    }
    SHChangeNotifyFree(record);
    return 0;
}

LRESULT CMainFrame::OnOtherAppActive(UINT, WPARAM, LPARAM, BOOL&)
{
    if (g_bCancelOnSwitch)
        CancelRecognition();
    return 1;
}

LRESULT CMainFrame::OnSize(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    DebugPrint(L"[LumOCR] MainFrame OnSize : %d x %d\n", static_cast<int>(LOWORD(lParam)),
               static_cast<int>(HIWORD(lParam)));
    if (m_bClosing) {
        if (HDC dc = ::GetDC(m_hWnd)) {
            RECT rect{0, 0, 400, 400};
            FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            ::ReleaseDC(m_hWnd, dc);
        }
    }
    return 0;
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    if (m_hAccel && TranslateAcceleratorW(m_hWnd, m_hAccel, msg))
        return TRUE;
    return FALSE;
}

// ---- Timers ----

LRESULT CMainFrame::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL&)
{
    const UINT_PTR id = wParam;
    switch (id) {
    case TM_INPUT_FLUSH:
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
        break;
    case TM_USER_ACTIVITY:
        if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"PowerManager/ActivityTimer/UserActivity")) {
            SetEvent(event);
            CloseHandle(event);
        }
        break;
    case TM_CLEAR_GUI_STATUS:
        ::KillTimer(m_hWnd, id);
        CSettings::GetInstance()->RemoveGUIStatus(GUI_STATUS_NOTICE);
        break;
    case TM_AUTO_OFF: {
        std::atomic<int>& seconds = CSettings::AutoOffSeconds();
        // -1 (never) keeps going down and never meets 0.
        if (seconds.load() != 0 && --seconds == 0) {
            DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<", kSource, __LINE__);
            SipShowIM(SIPF_OFF);
            if (m_pApp)
                m_pApp->FillBlackClose();
        }
        break;
    }
    case TM_CLEAR_GUI_STATUS2:
        ::KillTimer(m_hWnd, id);
        CSettings::GetInstance()->RemoveGUIStatus(0x400);
        CDrawEvent::SendMessage(kSource, __LINE__);
        break;
    case TM_SPACECHECK: {
        CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
        if (camcorder->GetRemainingCapacity() != 0)
            break;
        if (camcorder->GetState() & (0x4 | 0x40))
            ::PostMessageW(m_hWnd, WM_MAIN_COMMAND, CMD_RECORDING_STOP_BY_SPACECHECKTIMER, 0);
        ::KillTimer(m_hWnd, id);
        break;
    }
    case TM_MESSAGE_TIMEOUT:
        ::KillTimer(m_hWnd, id);
        break;
    case TM_MESSAGE_RESHOW:
        ::KillTimer(m_hWnd, id);
        CMessagePopupGUI::GetInstance()->ShowPending();
        break;
    case TM_POPUP_LOW_BATTERY:
        DebugPrint(L"[TRAVEK] LOW BATT TIMER END!!! WILL BE CLOSE!!!\n");
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[TRAVEK] END T1\n");
        EndApplication(kSource, __LINE__);
        break;
    case TM_POPUP_LOW_STORAGE:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[TRAVEK] LOW STORAGE TIMER END!!! WILL BE CLOSE!!!\n");
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_LOW_STORAGE);
        break;
    case TM_POPUP_SMS:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_SMS);
        break;
    case TM_POPUP_LOW_LIGHT:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_LOW_LIGHT);
        break;
    case TM_POPUP_RECOG_FAIL:
        ::KillTimer(m_hWnd, id);
        m_bRecognitionFailed = 0;
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_RECOG_FAIL);
        break;
    case TM_OCR_CLOSE:
        DebugPrint(L"[TRAVEK] TM_OCR_CLOSE~~!\n");
        ::KillTimer(m_hWnd, id);
        EndApplication(kSource, __LINE__);
        break;
    case TM_GOBACK_PREVIEW:
        DebugPrint(L"[LumOCR::Timer] TM_GOBACK_PREVIEW\n");
        ::KillTimer(m_hWnd, id);
        CSinglePicBaseGUI::GetInstance()->OnCommand(CMD_STILL_GOBACK_PREVIEW, 0);
        break;
    case TM_MODE_NOTICE:
        ::KillTimer(m_hWnd, id);
        CPreviewCameraGUI::GetInstance()->m_bModeNotice = 0;
        CDrawEvent::SendMessage(kSource, __LINE__);
        break;
    case TM_POPUP_BT:
        ::KillTimer(m_hWnd, id);
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        DoHideDialogBoxEx(POPUP_BT_PAIRING);
        break;
    default:
        break;  // not one of ours
    }
    return 0;
}

// ---- Popups ----

void CMainFrame::ShowPopup(int type)
{
    if (type < POPUP_CALL || type > POPUP_BT_PAIRING)
        return;
    if (OnGuiThread())
        DoShowPopup(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupShow, type);
}

void CMainFrame::HideDialogBoxEx(int type)
{
    if (OnGuiThread())
        DoHideDialogBoxEx(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupHide, type);
}

void CMainFrame::RemovePopup(int type)
{
    if (OnGuiThread())
        DoRemovePopup(type);
    else
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupRemove, type);
}

void CMainFrame::ReshowPopup()
{
    if (!OnGuiThread()) {
        ::PostMessageW(m_hWnd, WM_POPUP_REQUEST, kPopupReshow, 0);
        return;
    }
    if (m_nPopupList[0] == 0)
        return;
    LoadPopupTexts(m_nPopupList[0]);
    m_nPopupType = m_nPopupList[0];
    m_bPopupShown = 1;
    CDrawEvent::PostMessage(kSource, __LINE__);
}

LRESULT CMainFrame::OnPopupRequest(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    const int type = static_cast<int>(lParam);
    switch (wParam) {
    case kPopupShow: DoShowPopup(type); break;
    case kPopupHide: DoHideDialogBoxEx(type); break;
    case kPopupRemove: DoRemovePopup(type); break;
    case kPopupReshow: ReshowPopup(); break;
    default: break;
    }
    return 0;
}

void CMainFrame::ClearPopupTexts()
{
    m_szPopupTitle[0] = 0;
    m_szPopupText1[0] = 0;
    m_szPopupText2[0] = 0;
    for (auto& label : m_szPopupButton)
        label[0] = 0;
}

void CMainFrame::DoShowPopup(int type)
{
    if (type < POPUP_CALL || type > POPUP_BT_PAIRING)
        return;
    ReloadAutoOff();
    DebugPrint(L"[LumOCR]POPUP MAKE START [%d]\n", type);
    DebugPrint(L"\n >> POPUP List ");
    for (int entry : m_nPopupList)
        DebugPrint(L"[%d] ", entry);
    if (m_nPopupList[0] == 0)
        ClearPopupTexts();
    if (m_nPopupList[0] == POPUP_RECOG_FAIL && type == POPUP_CALL) {
        StopPopupTimer(POPUP_RECOG_FAIL);
        DoRemovePopup(POPUP_RECOG_FAIL);
    }
    DoRemovePopup(type);
    for (int i = kPopupListSize - 1; i > 0; --i)
        m_nPopupList[i] = m_nPopupList[i - 1];
    m_nPopupList[0] = type;
    m_nPopupType = type;
    LoadPopupTexts(type);
    StartPopupTimer(type);
    m_bPopupShown = 1;
    CDrawEvent::PostMessage(kSource, __LINE__);
    DebugPrint(L"[LumOCR]POPUP MAKE END\n");
}

void CMainFrame::DoHideDialogBoxEx(int type)
{
    DebugPrint(L"[LumOCR] HideDialogBoxEx start\n");
    DebugPrint(L"[LumOCR] HideDialogBoxEx start[%d]\n", type);
    bool listed = false;
    for (int entry : m_nPopupList)
        listed = listed || (entry != 0 && entry == type);
    if (!listed)
        return;
    StopPopupTimer(type);
    const bool wasShown = m_nPopupList[0] == type;
    DoRemovePopup(type);
    if (wasShown) {
        if (m_nPopupList[0] == 0) {
            DebugPrint(L"[LumOCR] popup HIDE!!!\n");
            m_bPopupShown = 0;
            const int view = m_nView;
            if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE)
                CDrawEvent::PostMessage(kSource, __LINE__);
        } else {
            // The one behind comes back with its texts; its timer runs on.
            LoadPopupTexts(m_nPopupList[0]);
            m_bPopupShown = 1;
            CDrawEvent::PostMessage(kSource, __LINE__);
        }
    }
    DebugPrint(L"[LumOCR] HideDialogBoxEx End\n");
}

bool CMainFrame::DoRemovePopup(int type)
{
    int found = -1;
    for (int i = 0; i < kPopupListSize; ++i) {
        if (m_nPopupList[i] == type && type != 0) {
            m_nPopupList[i] = 0;
            found = i;
            DebugPrint(L"[MOZBRIKE] %d is found at %d\n", type, i);
            break;
        }
    }
    if (found < 0)
        return false;
    DebugPrint(L"[TRAVEK] OCR POPUP REMOVE OK TYPE[%d], NO[%d]\n", type, found);
    int next = 0;
    for (int i = 0; i < kPopupListSize; ++i) {
        if (m_nPopupList[i] != 0)
            m_nPopupList[next++] = m_nPopupList[i];
    }
    for (int i = next; i < kPopupListSize; ++i)
        m_nPopupList[i] = 0;
    m_nPopupType = m_nPopupList[0];
    if (next > 0)
        m_bPopupShown = 1;
    return true;
}

void CMainFrame::StartPopupTimer(int type)
{
    UINT_PTR timer = PopupTimerOf(type);
    if (!timer)
        return;
    // The SMS popup expires only once a view is up.
    if (type == POPUP_SMS && m_nView == VIEW_STARTUP)
        return;
    ::SetTimer(m_hWnd, timer, PopupPeriodOf(type), nullptr);
}

void CMainFrame::StopPopupTimer(int type)
{
    if (UINT_PTR timer = PopupTimerOf(type))
        ::KillTimer(m_hWnd, timer);
}

void CMainFrame::LoadPopupTexts(int type)
{
    WCHAR text[kPopupTextLength];
    ClearPopupTexts();
    auto title = [&](UINT id) { CopyText(m_szPopupTitle, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    auto line1 = [&](UINT id) { CopyText(m_szPopupText1, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    auto line2 = [&](UINT id) { CopyText(m_szPopupText2, LoadMuiString(id, text, kPopupTextLength), kPopupTextLength); };
    m_nPopupMultiLine = 0;
    if (type == POPUP_CALL) {
        CPhoneControl* phone = CPhoneControl::GetInstance();
        title(10);
        CopyText(m_szPopupText1, phone->GetCallerName(), kPopupTextLength);
        CopyText(m_szPopupText2, phone->GetCallerNumber(), kPopupTextLength);
        m_nPopupButtonStyle = 2;
        CopyText(m_szPopupButton[1], LoadMuiString(11, text, kPopupTextLength), kPopupTextLength);
        CopyText(m_szPopupButton[2], LoadMuiString(12, text, kPopupTextLength), kPopupTextLength);
        return;
    }
    m_nPopupButtonStyle = 1;
    CopyText(m_szPopupButton[0], LoadMuiString(IDS_POPUP_OK, text, kPopupTextLength), kPopupTextLength);
    switch (type) {
    case POPUP_SMS: title(13); line1(14); break;
    case POPUP_ALARM:
        title(16);
        GetTimeFormatW(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, L"h':'mm tt", m_szPopupText1,
                       kPopupTextLength);
        break;
    case POPUP_LOW_BATTERY: title(17); line1(18); break;
    case POPUP_LOW_STORAGE: title(17); line1(19); break;
    case POPUP_LOW_LIGHT: title(17); line1(20); break;
    case POPUP_RECOG_FAIL: title(17); line1(2); line2(15); break;
    case POPUP_BT_PAIRING: title(264); line1(265); break;
    default: break;
    }
}

void CMainFrame::ProcessPopupLBtn()
{
    m_bPopupShown = 0;
    if (m_nPopupType == POPUP_CALL) {
        m_bCallAnswered = 1;
        CDrawEvent::SendMessage(kSource, __LINE__);
        CPhoneControl::GetInstance()->Answer();
        EndApplication(kSource, __LINE__);
    }
    DiscardInput();
}

void CMainFrame::ProcessPopupRBtn()
{
    DebugPrint(L"[LumOCR] CMainFrame::ProcessPopupRBtn start\n");
    m_bPopupShown = 0;
    if (m_nPopupType == POPUP_CALL) {
        m_bRecognitionFailed = 0;
        HideDialogBoxEx(POPUP_CALL);
        CDrawEvent::SendMessage(kSource, __LINE__);
        CPhoneControl::GetInstance()->Ignore();
        if (m_nView == VIEW_PREVIEW) {
            CCommonControl* common = CCommonControl::GetInstance();
            if (common->m_nFocusSetting)
                CDShowControl::GetInstance()->SetAMCameraControl(3, 707, false);
            if (common->m_nFocusSetting)
                CDShowControl::GetInstance()->SetAMCameraControl(3, 708, false);
        }
    }
    DiscardInput();
    DebugPrint(L"[LumOCR] CMainFrame::ProcessPopupRBtn End\n");
}

void CMainFrame::ProcessPopupOkBtn()
{
    m_bPopupShown = 0;
    const int type = m_nPopupType;
    switch (type) {
    case POPUP_SMS:
    case POPUP_ALARM:
    case POPUP_LOW_STORAGE:
    case POPUP_RECOG_FAIL:
    case POPUP_BT_PAIRING:
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, __LINE__);
        HideDialogBoxEx(type);
        break;
    case POPUP_LOW_BATTERY:
        ::KillTimer(m_hWnd, TM_POPUP_LOW_BATTERY);
        EndApplication(kSource, __LINE__);
        break;
    default:
        break;
    }
    DiscardInput();
}
