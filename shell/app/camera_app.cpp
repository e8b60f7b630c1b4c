#include "camera_app.h"

#include <cstdio>
#include <cwchar>
#include <mutex>

#include "ImagePack.h"
#include "LumHook.h"
#include "blank_dialog.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "file_control.h"
#include "font_manager.h"
#include "frame_capture_host.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "program_resources.h"
#include "notification.h"
#include "notification_sink.h"
#include "registry_key.h"
#include "screen_links.h"
#include "settings.h"
#include "system.h"
#include "utility.h"

namespace {

constexpr const WCHAR* kSource = L".\\CameraApp";

std::mutex& AppLock()
{
    static std::mutex lock;
    return lock;
}
CCameraApp*& AppSlot()
{
    static CCameraApp* app = nullptr;
    return app;
}

// Messages of the application object to the main window: an end asked
// where it cannot run (another thread, inside the key filter).
constexpr UINT WM_END_REQUEST = 0x8202;  // wParam: 1 send the close, 2 post it

void WriteKeypadValues(DWORD working)
{
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"CameraWorking", working);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"LumOCRWorking", working);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"LumOCRRecognizing", 0);
    RegFlushKey(HKEY_LOCAL_MACHINE);
}

DWORD ReadDword(HKEY root, LPCWSTR key, LPCWSTR name)
{
    DWORD value = 0;
    RegistryGetDWORD(root, key, name, &value);
    return value;
}

// The main loop: idle work while nothing waits, ends on WM_QUIT or when the
// main window is gone.
class CMainLoop : public CMessageLoop {
public:
    int Run() override
    {
        BOOL idle = TRUE;
        int idleCount = 0;
        for (;;) {
            while (idle && !PeekMessageW(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
                if (!OnIdle(idleCount++))
                    idle = FALSE;
            }
            if (!FindWindowW(L"LUMOCR", nullptr))
                return static_cast<int>(m_msg.wParam);
            BOOL got = GetMessageW(&m_msg, nullptr, 0, 0);
            if (got == -1) {
                plat::DebugLine(L"[LumOCR] I'm fail");
                continue;
            }
            if (!got) {
                plat::DebugLine(L"[LumOCR] I'm exiting");
                return static_cast<int>(m_msg.wParam);
            }
            if (!PreTranslateMessage(&m_msg)) {
                TranslateMessage(&m_msg);
                DispatchMessageW(&m_msg);
            }
            if (m_msg.message != WM_PAINT && m_msg.message != 0x118 && m_msg.message != WM_MOUSEMOVE) {
                idle = TRUE;
                idleCount = 0;
            }
        }
    }
};

// The frame's end requests, made from inside the key filter or another
// thread, run here on the GUI thread.
class CEndRequestFilter : public CMessageFilter {
public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message != WM_END_REQUEST || msg->hwnd != g_hMainWnd)
            return FALSE;
        CCameraApp* app = CCameraApp::GetInstance();
        if (msg->wParam == 2)
            app->FillBlackClose2();
        else
            app->FillBlackClose();
        return TRUE;
    }
};

}  // namespace

std::atomic<int>& CCameraApp::InKeyFilter()
{
    static std::atomic<int> inFilter{0};
    return inFilter;
}

CCameraApp* CCameraApp::GetInstance()
{
    std::lock_guard lock(AppLock());
    if (!AppSlot())
        AppSlot() = new CCameraApp();
    return AppSlot();
}

void CCameraApp::ReleaseInstance()
{
    std::lock_guard lock(AppLock());
    delete AppSlot();
    AppSlot() = nullptr;
}

CCameraApp::~CCameraApp()
{
    plat::DebugLine(L">>>>>>>>>>>> EVT_KovCamera_Finished");
    if (HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"EVT_KovLumOCR_Finished")) {
        SetEvent(event);
        CloseHandle(event);
    }
    if (m_bPowerOffAtExit) {
        plat::DebugLine(L"PowerPolicyNotify(PPN_POWERBUTTONPRESSED, 0);");
        PowerPolicyNotify(PPN_POWERBUTTONPRESSED, 0);
    }
}

// ---- Saved values ----

void CCameraApp::SaveNotifyOptions(BOOL save)
{
    if (save) {
        m_dwNotifyOptions = ReadDword(HKEY_CURRENT_USER, kNotifyOptionsKey, L"Options");
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyOptionsKey, L"Options", 1);
    } else {
        RegistrySetDWORD(HKEY_CURRENT_USER, kNotifyOptionsKey, L"Options", m_dwNotifyOptions);
    }
}

void CCameraApp::SaveActionMethod(BOOL restore)
{
    if (restore) {
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod", m_dwActionMethod);
    } else {
        m_dwActionMethod = ReadDword(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod");
        if (m_dwActionMethod == 3001)
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod", 4001);
    }
    RegFlushKey(HKEY_LOCAL_MACHINE);
}

void CCameraApp::LockMotionSensor(BOOL lock)
{
    if (lock) {
        m_dwAutoOrientation = ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation");
        CMainFrame::GetInstance()->m_nAutoOrientation = m_dwAutoOrientation;
        if (m_dwAutoOrientation == 1) {
            RegistrySetDWORD(HKEY_CURRENT_USER, kMotionSensorKey, L"ForcedOrientation", 1);
            RegistrySetDWORD(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation", 0);
        }
    } else {
        RegistrySetDWORD(HKEY_CURRENT_USER, kMotionSensorKey, L"ForcedOrientation", 0);
        RegistrySetDWORD(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation", m_dwAutoOrientation);
    }
    RegFlushKey(HKEY_CURRENT_USER);
    DWORD now = ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation");
    plat::DebugLine(now ? L"[MOTION SENSOR] Turn On" : L"[MOTION SENSOR] Turn Off");
}

void CCameraApp::RestoreOrientation()
{
    LockMotionSensor(FALSE);
    if (m_dwAutoOrientation == 0) {
        CMainFrame* frame = CMainFrame::GetInstance();
        frame->HoldRotationMutex(TRUE, 50);
        plat::DebugLine(L"[TRAVEK] get first orientation [%d]<<<", static_cast<int>(frame->m_nFirstOrientation));
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, frame->m_nFirstOrientation);
        frame->HoldRotationMutex(FALSE, 0);
    }
}

void CCameraApp::ResetAutoOff(int mode) { CSettings::GetInstance()->SetAutoOffMode(mode); }

void CCameraApp::HideShellWindows()
{
    HWND taskBar = FindWindowW(kTaskBarClass, nullptr);
    for (LPCWSTR className : {L"#NETCF_AGL_BASE_", L"FLOWPANE"}) {
        HWND window = FindWindowW(className, nullptr);
        if (window && taskBar) {
            PostMessageW(taskBar, 0x46A, 0, reinterpret_cast<LPARAM>(window));
            Sleep(500);
        }
    }
}

// ---- The black window and the ends ----

void CCameraApp::ShowBlackWnd()
{
    plat::DebugLine(L"[LumOCR] ShowBlackWnd()<<<<<<<<<<<<<<<");
    if (!m_pBlankDialog || !m_pBlankDialog->IsWindow())
        return;
    m_pBlankDialog->ShowWindow(SW_SHOW);
    m_pBlankDialog->BringWindowToTop();
    m_pBlankDialog->SendMessage(WM_PAINT);
    m_pBlankDialog->ShowWait();
}

void CCameraApp::HideBlackWnd()
{
    if (!m_pBlankDialog || !m_pBlankDialog->IsWindow())
        return;
    m_pBlankDialog->RestoreCursor();
    m_pBlankDialog->ShowWindow(SW_HIDE);
}

bool CCameraApp::MustDefer() const
{
    if (InKeyFilter())
        return true;
    return IsWindow(g_hMainWnd) && GetWindowThreadProcessId(g_hMainWnd, nullptr) != GetCurrentThreadId();
}

void CCameraApp::FillBlackClose()
{
    plat::DebugLine(L"[LumOCR] FillBlackClose()<<<<<<<<<<<<<<<");
    // The shutdown may wait seconds: never inside a hook call or on another
    // thread; the GUI thread does it when it gets there.
    if (MustDefer()) {
        PostMessageW(g_hMainWnd, WM_END_REQUEST, 1, 0);
        return;
    }
    if (HWND active = GetActiveWindow())
        if (HWND bar = SHFindMenuBar(active))
            DestroyWindow(bar);
    const int view = CMainFrame::GetInstance()->m_nView;
    if (view != VIEW_PREVIEW && view != VIEW_SINGLE_PICTURE && m_pBlankDialog && m_pBlankDialog->IsWindow()) {
        plat::DebugLine(L" [ LumOCR] FillBlack");
        m_pBlankDialog->ShowWindow(SW_SHOW);
        m_pBlankDialog->BringWindowToTop();
        m_pBlankDialog->SendMessage(WM_PAINT);
    }
    CPreviewCameraGUI::GetInstance();
    SendMessageW(g_hMainWnd, WM_CLOSE, 0, 0);
}

void CCameraApp::FillBlackClose2()
{
    plat::DebugLine(L"[LumOCR] FillBlackClose2()<<<<<<<<<<<<<<<");
    if (MustDefer()) {
        PostMessageW(g_hMainWnd, WM_END_REQUEST, 2, 0);
        return;
    }
    const int view = CMainFrame::GetInstance()->m_nView;
    if (view != VIEW_PREVIEW && view != VIEW_SINGLE_PICTURE && m_pBlankDialog && m_pBlankDialog->IsWindow()) {
        m_pBlankDialog->ShowWindow(SW_SHOW);
        m_pBlankDialog->BringWindowToTop();
        m_pBlankDialog->SendMessage(WM_PAINT);
    }
    CPreviewCameraGUI::GetInstance();
    PostMessageW(g_hMainWnd, WM_CLOSE, 0, 0);
}

void CCameraApp::DrawLoadingText(int stringId, HDC dc)
{
    if (!dc)
        return;
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    COLORREF old = SetBkColor(dc, 0);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &screen, L"", 0, nullptr);
    SetBkColor(dc, old);
    WCHAR text[MAX_PATH] = {};
    if (stringId == 0 || !m_hMuiModule || !LoadStringW(m_hMuiModule, stringId, text, MAX_PATH))
        return;
    HFONT font = nullptr;
    CreateRotatedFont(&font, 30, 700, L"Tahoma");
    HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkMode(dc, TRANSPARENT);
    RECT rect{79, 84, 321, 156};
    RotDrawText(dc, screen.right, screen.bottom, &rect, text, -1, 5);
    SelectObject(dc, previous);
    DeleteObject(font);
}

// ---- Start-up pieces ----

void CCameraApp::LoadMui()
{
    WCHAR folder[MAX_PATH] = {};
    SHGetSpecialFolderPath(nullptr, folder, CSIDL_WINDOWS, FALSE);
    std::wstring windows = std::wstring(folder) + L"\\";
    LPCWSTR name = CSettings::GetInstance()->FindMuiFile();
    std::wstring candidate = windows + (name ? name : L"");
    m_hMuiModule = (name && name[0]) ? LoadLibraryW(candidate.c_str()) : nullptr;
    if (!m_hMuiModule) {
        // The program still starts, with empty texts.
        plat::DebugLine(L"[MUI] no language file %lsLumOCR.exe.*.mui", windows.c_str());
    } else {
        plat::DebugLine(L"[MUI] %ls", candidate.c_str());
    }
    CLayoutManager::GetInstance()->SetResource(m_hMuiModule);
}

BOOL CCameraApp::AppInit(HINSTANCE instance)
{
    m_AppModule.Init(instance);
    m_hWndAtStart = WindowFromPoint(POINT{100, 100});
    SaveActionMethod(FALSE);
    return TRUE;
}

void CCameraApp::Term()
{
    m_AppModule.RemoveMessageLoop();
    m_AppModule.Term();
    CSettings::GetInstance()->SignalStart(0);
    CSettings::GetInstance()->SignalEnd();
    CNotification::ReleaseInstance();
    CSettings::ReleaseInstance();
    CeImagePack::DeleteInstance();
    CTitleLayout::ReleaseInstance();
    SaveActionMethod(TRUE);
    if (m_hMuiModule) {
        CLayoutManager::GetInstance()->SetResource(nullptr);
        FreeLibrary(m_hMuiModule);
        m_hMuiModule = nullptr;
    }
}

void CCameraApp::ShowRunMessage(UINT textId)
{
    WCHAR caption[MAX_PATH] = {}, text[MAX_PATH] = {};
    if (m_hMuiModule) {
        LoadStringW(m_hMuiModule, 241, caption, MAX_PATH);
        LoadStringW(m_hMuiModule, textId, text, MAX_PATH);
    }
    MessageBoxW(nullptr, text, caption, MB_ICONEXCLAMATION | MB_TOPMOST);
}

BOOL CCameraApp::IsRunnable(HINSTANCE)
{
    CNotification* phone = CNotification::GetInstance();
    if (CUtility::GetInstance()->IsProcessRunning(L"hopper.exe") || phone->IsCallCalling() ||
        phone->IsIncomingCall()) {
        RestoreOrientation();
        return FALSE;
    }
    if (phone->GetVTCallState()) {
        RestoreOrientation();
        ShowRunMessage(256);
        return FALSE;
    }
    if (!phone->ReadBatteryLevel()) {
        RestoreOrientation();
        ShowRunMessage(18);
        return FALSE;
    }
    UINT storageMessage = 0;
    if (!phone->CheckStorage(&storageMessage)) {
        RestoreOrientation();
        ShowRunMessage(storageMessage);
        return FALSE;
    }
    CUtility::GetInstance()->CloseFrameApp();
    DWORD first = CMainFrame::GetInstance()->m_nFirstOrientation;
    if (first != DMDO_0 && first != DMDO_270) {
        RestoreOrientation();
        ShowRunMessage(259);
        return FALSE;
    }
    if (phone->IsKeyLocked()) {
        DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    ->", 129, L"CCameraApp::IsRunnable", kSource);
        DebugPrint(L"KEY LOCKED\r\n");
        RestoreOrientation();
        return FALSE;
    }
    CUtility* utility = CUtility::GetInstance();
    utility->StopMediaPlayer();
    utility->PauseMediaPlayers();
    utility->StopRadioPlayback();
    return TRUE;
}

BOOL CCameraApp::IsRunnable2(HINSTANCE)
{
    CNotification* phone = CNotification::GetInstance();
    HWND taskBar = FindWindowW(kTaskBarClass, nullptr);
    if (CUtility::GetInstance()->IsProcessRunning(L"hopper.exe") || phone->IsCallCalling() ||
        phone->IsIncomingCall()) {
        RestoreOrientation();
        ShowWindow(g_hMainWnd, SW_HIDE);
        return FALSE;
    }
    if (phone->GetVTCallState() || !phone->ReadBatteryLevel()) {
        const UINT message = phone->GetVTCallState() ? 256 : 18;
        RestoreOrientation();
        if (taskBar)
            ShowWindow(taskBar, SW_SHOW);
        ShowWindow(g_hMainWnd, SW_HIDE);
        ShowRunMessage(message);
        return FALSE;
    }
    UINT storageMessage = 0;
    if (!phone->CheckStorage(&storageMessage)) {
        if (taskBar)
            ShowWindow(taskBar, SW_SHOW);
        RestoreOrientation();
        ShowWindow(g_hMainWnd, SW_HIDE);
        ShowRunMessage(storageMessage);
        return FALSE;
    }
    CUtility* utility = CUtility::GetInstance();
    utility->StopMediaPlayer();
    utility->PauseMediaPlayers();
    utility->StopRadioPlayback();
    return TRUE;
}

// ---- The start-up sequence ----

int CCameraApp::Run(HINSTANCE instance, LPCWSTR commandLine)
{
    auto freeLibrary = [this] {
        if (m_hMuiModule) {
            CLayoutManager::GetInstance()->SetResource(nullptr);
            FreeLibrary(m_hMuiModule);
            m_hMuiModule = nullptr;
        }
    };
    LoadMui();
    plat::DebugLine(L"[LUMOCR] LOADed MUI");
    CMainFrame* frame = CMainFrame::GetInstance();
    frame->SetApplication(this);
    frame->m_nView = VIEW_STARTUP;
    plat::DebugLine(L"[TRAVEK] CMainFrame::setThisView[%d]", 0);
    m_hInstance = instance;
    CUtility::GetInstance()->SetProgramCloser(this);
    BlankDialog::RegisterTemplate();

    if (!ActivateKBHook(instance, &HardwareKeyFilter)) {
        plat::DebugLine(L"[TRAVEK]hooking error");
        freeLibrary();
        return 1;
    }
    if (frame->FindPreviousInstance(instance) != 0) {
        plat::DebugLine(L"CAMERA ACTIVATE PREVIOUSE INSTANCE");
        freeLibrary();
        DeactivateKBHook();
        return 0;
    }

    LockMotionSensor(TRUE);
    DEVMODEW mode{};
    frame->m_nFirstOrientation = CSystem::GetInstance()->GetDisplayOrientation(mode);
    plat::DebugLine(L"[TRAVEK] set first orientation [%d]<<<", static_cast<int>(frame->m_nFirstOrientation));
    HideShellWindows();

    int result = 1;
    HDC clientDc = nullptr;
    CMainLoop loop;
    CEndRequestFilter endRequests;
    HWND taskBar = nullptr;
    bool loopRegistered = false;
    auto endPath = [&](bool restore) {
        if (clientDc)
            ReleaseDC(g_hMainWnd, clientDc);
        clientDc = nullptr;
        if (restore) {
            plat::DebugLine(L"[LumOCR] Error => will be die");
            RestoreOrientation();
        }
        plat::DebugLine(L"[LumOCR] LumOCR_END => will be die");
        CNotification::GetInstance()->UnregisterSMSNotification();
        Term();
        // An early end leaves windows that outlive their objects otherwise.
        if (m_pBlankDialog && m_pBlankDialog->IsWindow())
            m_pBlankDialog->DestroyWindow();
        if (IsWindow(g_hMainWnd))
            DestroyWindow(g_hMainWnd);
        CMainFrame::DestroyInstance();
        if (!DeactivateKBHook())
            plat::DebugLine(L"[TRAVEK]hooking end error");
        if (taskBar)
            ShowWindow(taskBar, SW_SHOW);
    };
    auto forceExit = [&](int check) {
        if (!(CSettings::GetInstance()->GetFlags() & SETTINGS_FLAG_FORCE_EXIT))
            return false;
        WCHAR text[80];
        std::swprintf(text, 80, L"[LUMOCR_CHECK: %d] ForceCameraExit()\r\n", check);
        DebugPrint(L"[ERROR] %ls\r\n", text);
        return true;
    };

    if (!IsRunnable(instance)) {
        freeLibrary();
        DeactivateKBHook();
        return 1;
    }
    plat::DebugLine(L"[LUMOCR] Check Runnable END");
    AppInit(instance);
    plat::DebugLine(L"[LUMOCR] App init END");
    CSettings* settings = CSettings::GetInstance();
    settings->Load(commandLine);
    settings->LoadOcrOptions(frame->m_options);
    plat::DebugLine(L"[LUMOCR] Setting Load END");
    m_AppModule.AddMessageLoop(&loop);
    loopRegistered = true;

    if (!frame->CreateEx()) {
        freeLibrary();
        Term();
        RestoreOrientation();
        DeactivateKBHook();
        return 1;
    }
    g_hMainWnd = frame->m_hWnd;
    // The notifications react through the frame from here on.
    CNotification::GetInstance()->SetHwnd(g_hMainWnd);
    CNotification::GetInstance()->SetSink(CFrameNotificationSink::GetInstance());
    plat::DebugLine(L"[LumOCR] SMS Noti REGIST!!!!!!!!!!!!!!!!!!!!!!!");
    CNotification::GetInstance()->RegisterSMSNotification();
    settings->SetAutoOffMode(2);
    plat::DebugLine(L"[LUMOCR] Create MainFrame END");

    m_pBlankDialog = new BlankDialog();
    m_pBlankDialog->Create(g_hMainWnd);
    m_pBlankDialog->ShowWindow(SW_HIDE);

    frame->HoldRotationMutex(TRUE, 50);
    HANDLE animation = CreateMutexW(nullptr, TRUE, L":::LockRotationAnimation:::");
    plat::DebugLine(L"[LumOCR] :::LockRotationAnimation::: Handle[%x]",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(animation)));
    if (!animation || GetLastError() == ERROR_ALREADY_EXISTS) {
        plat::DebugLine(animation ? L"already exist mutex" : L"Invalid mutex");
        if (animation)
            CloseHandle(animation);
        frame->HoldRotationMutex(FALSE, 0);
        freeLibrary();
        Term();
        RestoreOrientation();
        CNotification::GetInstance()->UnregisterSMSNotification();
        m_pBlankDialog->DestroyWindow();
        delete m_pBlankDialog;
        m_pBlankDialog = nullptr;
        DestroyWindow(g_hMainWnd);
        CMainFrame::DestroyInstance();
        DeactivateKBHook();
        return 1;
    }
    frame->HoldRotationMutex(FALSE, 0);

    SHFullScreen(g_hMainWnd, SHFS_HIDETASKBAR);
    taskBar = FindWindowW(kTaskBarClass, nullptr);
    if (taskBar)
        ShowWindow(taskBar, SW_HIDE);
    SipShowIM(SIPF_OFF);
    ShowWindow(g_hMainWnd, SW_SHOWNORMAL);
    frame->FillOutBlack();
    frame->HoldRotationMutex(TRUE, 50);
    CSystem::GetInstance()->RotateScreen(mode, DMDO_270);
    frame->HoldRotationMutex(FALSE, 0);
    BOOL closed = CloseHandle(animation);
    plat::DebugLine(L"[LumOCR] Close Handle(MotionAnimation[%x])",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(animation)));
    plat::DebugLine(closed ? L"[LumOCR] Close Handle return TRUE" : L"[LumOCR] Close Handle return FALSE");
    clientDc = GetDC(g_hMainWnd);
    plat::DebugLine(L"[LUMOCR] Fill Black END");

    bool restore = true;
    do {
        if (!IsRunnable2(instance)) {
            plat::DebugLine(L"[LumOCR] Break!!! on isRunnable2!!! GOTO LumOCR_END>>>>>>>>>>>>>>>>>>>>>>>>>>>>");
            restore = false;
            break;
        }
        plat::DebugLine(L"[LUMOCR] Check Runnable again END");
        CNotification::GetInstance()->RegisterAll();
        plat::DebugLine(L"[LUMOCR] Noti Reg again END");
        DrawLoadingText(0, clientDc);
        if (forceExit(1))
            break;
        CCameraControl* camera = CCameraControl::GetInstance();
        if (camera->AttachCamera() < 0)
            break;
        camera->SetupCaptureGraph(g_hMainWnd);
        if (camera->Run() == 0) {
            if (taskBar)
                ShowWindow(taskBar, SW_SHOW);
            RestoreOrientation();
            ShowWindow(g_hMainWnd, SW_HIDE);
            MessageBoxW(nullptr, L"Application terminates due to the absence of camera module.", L"Warning",
                        MB_ICONEXCLAMATION | MB_TOPMOST);
            restore = false;
            break;
        }
        plat::DebugLine(L"[LUMOCR] DShow init END");
        if (forceExit(2))
            break;
        if (!CSystem::GetInstance()->ValidateDisplayOrientation())
            break;
        if (forceExit(3))
            break;
        // A display failure still restores the orientation.
        if (CDisplay::GetInstance()->Init(g_hMainWnd) < 0)
            break;
        if (forceExit(4))
            break;
        plat::DebugLine(L"[LUMOCR] DDraw init END");
        if (forceExit(5))
            break;
        CLayoutManager::GetInstance()->SetHwnd(g_hMainWnd);
        settings->SetHwnd(g_hMainWnd);
        CSystem::GetInstance()->SetHwnd(g_hMainWnd);
        CNotification::GetInstance()->SetHwnd(g_hMainWnd);
        CUtility::GetInstance()->SetHwnd(g_hMainWnd);
        CFileControl::GetInstance()->SetHwnd(g_hMainWnd);
        CFileControl::GetInstance()->SetOcrPictureOwner(frame);
        SetCaptureHost(&FrameCaptureHost());
        camera->SetHwnd(g_hMainWnd);
        CCommonControl::GetInstance()->SetHwnd(g_hMainWnd);
        CDrawEvent::Instance().SetHwnd(g_hMainWnd);
        plat::DebugLine(L"[LUMOCR] All view start END");
        camera->ResetPreview(1);
        if (forceExit(6))
            break;
        settings->SetFlags(SETTINGS_FLAG_DRAW_HELD);
        loop.AddMessageFilter(frame);
        loop.AddMessageFilter(&endRequests);
        loop.AddIdleHandler(frame);
        // The pictures' GPS fields follow the indicator the settings keep.
        CGPSControl::GetInstance()->SetIndicatorSink([](int state) { CSettings::GetInstance()->SetGPSState(state); });
        if (settings->IsGPSOn() && settings->GetMode() == 0)
            CGPSControl::GetInstance()->Init();
        plat::DebugLine(L"[LUMOCR] MESSAGE LOOP start");
        if (forceExit(7))
            break;
        result = loop.Run();
        loopRegistered = false;
        plat::DebugLine(L"[LUMOCR] MESSAGE LOOP end");
        restore = false;
    } while (false);
    (void)loopRegistered;
    endPath(restore);
    if (m_pBlankDialog) {
        if (m_pBlankDialog->IsWindow())
            m_pBlankDialog->DestroyWindow();
        delete m_pBlankDialog;
        m_pBlankDialog = nullptr;
    }
    return result;
}

void RestoreAppOrientation() { CCameraApp::GetInstance()->RestoreOrientation(); }

// ---- The entry ----

int LumWinMain(HINSTANCE instance, LPWSTR commandLine)
{
    InstallProgramResources();
    HANDLE ocrMutex = CreateMutexW(nullptr, TRUE, L"OCR");
    DWORD error = GetLastError();
    plat::DebugLine(L"CreateMutex handle : %x, GetLastError() : %d",
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(ocrMutex)), static_cast<int>(error));
    if (ocrMutex && error == ERROR_ALREADY_EXISTS) {
        plat::DebugLine(L"Exist Camera Process");
        CloseHandle(ocrMutex);
        // The first instance's window: its title may not be "OCR", its class is ours.
        HWND previous = FindWindowW(nullptr, L"OCR");
        if (!previous)
            previous = FindWindowW(L"LUMOCR", nullptr);
        if (previous) {
            plat::DebugLine(L"Finded Window");
            if (SetForegroundWindow(previous)) {
                plat::DebugLine(L"Focus changed");
                return 1;
            }
        }
        return 1;
    }
    if (!ocrMutex || ocrMutex == INVALID_HANDLE_VALUE) {
        plat::DebugLine(L"Invalid mutex");
        return 0;
    }
    HANDLE sensorMutex = CreateMutexW(nullptr, TRUE, L":::LockMotionSensor:::");
    error = GetLastError();
    plat::DebugLine(L"CreateMutex[LockMotionSensor] handle : %d, GetLastError() : %d",
                    static_cast<int>(reinterpret_cast<std::uintptr_t>(sensorMutex)), static_cast<int>(error));
    if (!sensorMutex || sensorMutex == INVALID_HANDLE_VALUE) {
        CloseHandle(ocrMutex);
        plat::DebugLine(L"Invalid mutex");
        return 0;
    }
    if (error == ERROR_ALREADY_EXISTS) {
        plat::DebugLine(L":::LockMotionSensor::: ===> [ON]");
        CloseHandle(sensorMutex);
        CloseHandle(ocrMutex);
        return 0;
    }
    // A device root without a battery keeps the level the power service would.
    DWORD battery = 0;
    if (RegistryGetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, &battery) != S_OK)
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, 5);
    WriteKeypadValues(1);
    CNotification::GetInstance()->RegisterSleepNotification();
    plat::DebugLine(L"***************************************************************");
    plat::DebugLine(L"******** LumOCR STARTED [build : %s %s] ********", __DATE__, __TIME__);
    CSystem::GetInstance()->LogMemoryStatus(0);
    CCameraApp* app = CCameraApp::GetInstance();
    app->m_dwStartTick = GetTickCount();
    app->SaveNotifyOptions(TRUE);
    int result = app->Run(instance, commandLine);
    app->SaveNotifyOptions(FALSE);
    plat::DebugLine(L"******** LumOCR ENDED   [build : %s %s] ********", __DATE__, __TIME__);
    plat::DebugLine(L"***************************************************************");
    CCameraApp::ReleaseInstance();
    CSystem::ReleaseInstance();
    CNotification::GetInstance()->UnregisterSleepNotification();
    WriteKeypadValues(0);
    CloseHandle(sensorMutex);
    CloseHandle(ocrMutex);
    std::fputs("[LumOCR]END>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", stderr);
    return result;
}

// ---- The hardware key filter ----

namespace {

std::atomic<int> startKeyFlag{0};

void EndFromFilter(int line)
{
    DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<", kSource, line);
    CCameraApp::GetInstance()->FillBlackClose();
}

// The result-view keys: the talk and end keys end the program unless the
// phone wants them; the application keys after the Start key end it unless
// the second soft key is held.
LRESULT ResultViewKey(DWORD vk)
{
    if (vk == 0x0E)
        return 1;
    if (vk == VK_F4) {
        if (!CNotification::GetInstance()->IsIncomingVoiceCall())
            EndFromFilter(__LINE__);
        return 0;
    }
    if (vk == VK_LWIN) {
        startKeyFlag = 1;
        return 0;
    }
    if (startKeyFlag) {
        startKeyFlag = 0;
        TBBUTTONINFOW info{};
        info.cbSize = 32;
        info.dwMask = TBIF_BYINDEX | TBIF_STATE;
        HWND bar = SHFindMenuBar(GetActiveWindow());
        if (bar && SendMessageW(bar, TB_GETBUTTONINFO, 1, reinterpret_cast<LPARAM>(&info)) != -1 &&
            (info.fsState & TBSTATE_PRESSED))
            return 0;
        if (vk == VK_APP1 || vk == VK_APP3)
            EndFromFilter(__LINE__);
        return 0;
    }
    if (vk == VK_F3)
        EndFromFilter(__LINE__);
    return 0;
}

}  // namespace

LRESULT HardwareKeyFilter(int code, WPARAM wParam, LPARAM lParam)
{
    auto* record = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    const DWORD vk = record ? record->vkCode : 0;
    std::printf("%x %x %lx %x\n", static_cast<unsigned>(code), static_cast<unsigned>(wParam),
                static_cast<unsigned long>(lParam), static_cast<unsigned>(vk));
    if (code < 0)
        return CallNextHookEx(nullptr, code, wParam, lParam);
    if (wParam != WM_KEYDOWN && wParam != WM_KEYUP)
        return 0;
    CMainFrame* frame = CMainFrame::PeekInstance();
    const int view = frame ? frame->m_nView.load() : VIEW_STARTUP;
    if (view > VIEW_DOCUMENT_RESULT)
        return 0;
    struct Scope {
        Scope() { ++CCameraApp::InKeyFilter(); }
        ~Scope() { --CCameraApp::InKeyFilter(); }
    } scope;
    switch (view) {
    case VIEW_STARTUP: return 1;
    case VIEW_PREVIEW:
    case VIEW_SINGLE_PICTURE:
        if (vk == VK_F4 || vk == VK_F3 || vk == VK_RETURN || vk == 0x0E || vk == VK_APP3) {
            CPreviewCameraGUI::GetInstance();
            SendMessageW(g_hMainWnd, static_cast<UINT>(wParam), vk, 0);
        }
        return 1;
    case VIEW_GALLERY:
        if (frame->m_bRecognitionRunning == 1) {
            if (vk == VK_F3) {
                EndFromFilter(__LINE__);
                return 0;
            }
            if (vk == VK_F4) {
                if (!CNotification::GetInstance()->IsIncomingVoiceCall())
                    EndFromFilter(__LINE__);
                return 0;
            }
            return 1;
        }
        return ResultViewKey(vk);
    case VIEW_UNUSED: {
        if (vk == 0x0E)
            return 1;
        if (vk == VK_F4 || vk == VK_LWIN || startKeyFlag)
            return ResultViewKey(vk);
        if (vk == VK_F3) {
            EndFromFilter(__LINE__);
            return 0;
        }
        return 1;
    }
    default: return ResultViewKey(vk);
    }
}
