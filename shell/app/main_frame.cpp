// The main frame: its instance, window, result store, and the messages it
// routes to the screens. Shutdown, input, timers and popups, and the
// hand-offs to the dialogs have files of their own (main_frame_*.cpp).
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
#include "ImageFactory.h"
#include "gps_control.h"
#include "lum_image_item_list.h"
#include "image_file_list.h"
#include "notification.h"
#include "registry_key.h"
#include "sound_control.h"
#include "utility.h"
#include "layout_manager.h"
#include "phone_control.h"
#include "player_control.h"
#include "program_resources.h"
#include "recognition_cancel.h"
#include "shot_control.h"
#include "system.h"

#include "main_frame_parts.h"

HWND g_hMainWnd = nullptr;
std::atomic<int> g_bCancelOnSwitch{0};

namespace mainframe {

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

}  // namespace mainframe

using namespace mainframe;

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
    if (m_hInstanceMutex)
        CloseHandle(m_hInstanceMutex);
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

int CMainFrame::FindPreviousInstance(HINSTANCE instance)
{
    WCHAR className[64] = {};
    LoadStringW(instance, IDS_MAINFRAME_CLASS, className, 64);
    plat::DebugLine(L"lpszClassName:%ls", className);
    if (!className[0])
        return E_FAIL;
    if (m_hInstanceMutex)
        return 0;  // the guard is already ours
    for (int attempt = 0; attempt < kPreviousInstanceAttempts; ++attempt) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, className);
        if (!mutex || mutex == INVALID_HANDLE_VALUE)
            return GetLastError() == ERROR_INVALID_HANDLE ? E_INVALIDARG : E_FAIL;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            m_hInstanceMutex = mutex;
            return 0;
        }
        CloseHandle(mutex);
        // The earlier instance may not have its window yet.
        HWND previous = FindWindowW(className, nullptr);
        if (!previous) {
            Sleep(100);
            continue;
        }
        if (SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(previous) | 1)))
            return 1;
    }
    return 0;
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

// The user turned the handset: the window is fitted to the turned screen and,
// while a camera screen shows, the display and the screen's turned bitmaps are
// made again as on the way back from a dialog. Nothing here turns the screen
// itself, so a turn made by the start-up or the shutdown cannot loop.
LRESULT CMainFrame::OnSettingChange(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (wParam != SETTINGCHANGE_RESET) {
        handled = FALSE;
        return 0;
    }
    if (!m_bWindowCreated || m_bClosing)
        return 0;
    // The orientation last recorded is left alone: the start-up's validation
    // compares the display with it.
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    DebugPrint(L"[LumOCR] MainFrame turned %d x %d\n", width, height);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    // A dialog in front lays itself out; the way back from it makes the
    // display again. Before the first screen there is nothing to make. A turn
    // the program makes itself (under the rotation mutex, or with the
    // surfaces blocked on the way to a dialog) is not followed either.
    if (!m_bInputEnabled || m_hRotationMutex || m_bSurfaceDrawBlocked)
        return 0;
    // The camera's and the player's frames stay off the surfaces while they
    // are made again.
    CCommonControl::GetInstance()->HoldWorkerOff([this] {
        auto playerFrames = CPlayerControl::GetInstance()->HoldFrames();
        CDisplay::GetInstance()->Init(m_hWnd);
    });
    if (CBaseGUI* screen = ActiveScreen())
        screen->LoadResource();
    if (CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP))
        CMessagePopupGUI::GetInstance()->LoadResource();
    CDrawEvent::SendMessage(kSource, __LINE__);
    return 0;
}

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    if (m_hAccel && TranslateAcceleratorW(m_hWnd, m_hAccel, msg))
        return TRUE;
    return FALSE;
}
