// The application object's start-up exits and the hardware key filter, on
// the platform's window manager and hook chain with the neighbour doubles.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "LumHook.h"
#include "camera_app.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "notification.h"
#include "phone_control.h"
#include "plat/utf.h"
#include "services_fixture.h"
#include "system.h"
#include "utility.h"

namespace {

class LifecycleFixture : public ServicesFixture {
protected:
    void SetUp() override
    {
        ServicesFixture::SetUp();
        std::filesystem::create_directories(root.path() / "Windows");
        std::filesystem::copy_file(std::filesystem::path(LUM_SOURCE_DIR) / "resources/strings/LumOCR.exe.0409.mui",
                                   root.path() / "Windows" / "LumOCR.exe.0409.mui");
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, 5);
        RegistrySetDWORD(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation", 1);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod", 3001);
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, DMDO_270);
    }

    void TearDown() override
    {
        Pump();
        DeactivateKBHook();
        CCameraApp::ReleaseInstance();
        if (CMainFrame* frame = CMainFrame::PeekInstance(); frame && IsWindow(frame->m_hWnd))
            DestroyWindow(frame->m_hWnd);
        Pump();
        CMainFrame::DestroyInstance();
        g_hMainWnd = nullptr;
        CDrawEvent::Instance().SetHwnd(nullptr);
        CDrawEvent::TakePending();
        for (auto release : {&CSystem::ReleaseInstance, &CLayoutManager::ReleaseInstance,
                             &CNotification::ReleaseInstance, &CUtility::ReleaseInstance,
                             &CPhoneControl::ReleaseInstance})
            release();
        ServicesFixture::TearDown();
    }

    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                DispatchMessageW(&msg);
    }

    static bool HookRemoved()
    {
        if (!ActivateKBHook(nullptr, &HardwareKeyFilter))
            return false;
        DeactivateKBHook();
        return true;
    }
};

using LifecycleStartup = LifecycleFixture;

HANDLE heldAnimation = nullptr;
HANDLE heldGuard = nullptr;
HWND earlierWindow = nullptr;

// What a case does when a line is logged or a neighbour is called: the
// sleep notice's force-exit flag, or another program turning the display.
struct Trigger {
    const wchar_t* when = nullptr;
    void (*act)() = nullptr;
};
Trigger g_triggers[2];

void Fire(const std::wstring& text)
{
    for (const Trigger& t : g_triggers)
        if (t.when && text.find(t.when) != std::wstring::npos)
            t.act();
}

void ForceExit() { CSettings::GetInstance()->SetFlags(SETTINGS_FLAG_FORCE_EXIT); }

void TurnDisplay()
{
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_0;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

// An earlier instance: its guard and its window of the program's class.
void EarlierInstance()
{
    heldGuard = CreateMutexW(nullptr, FALSE, L"LUMOCR");
    UnregisterClassW(L"LUMOCR", nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"LUMOCR";
    RegisterClassW(&wc);
    earlierWindow = CreateWindowExW(0, L"LUMOCR", L"earlier", WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                    nullptr);
}

// Runs work while another thread moves the virtual clock to each wait's
// deadline (start-up sleeps between its attempts and its restores).
template <class Work>
auto WithClock(Work work)
{
    std::atomic<bool> done{false};
    std::thread clock([&] {
        while (!done) {
            if (auto next = plat::NextVirtualDeadline(); next && *next > plat::NowMs())
                plat::AdvanceClock(*next - plat::NowMs());
            else
                std::this_thread::yield();
        }
    });
    auto result = work();
    done = true;
    clock.join();
    return result;
}

TEST_F(LifecycleStartup, EveryEarlyExitUndoesWhatItTook)
{
    struct Case {
        const char* name;
        void (*prepare)();
        const wchar_t* logged;  // the message box's text or the exit's log line
        Trigger triggers[2] = {};
        int exitCode = 1;
        bool hookOfAnother = false;  // a hook installed before the start stays
    };
    const Case cases[] = {
        {"hook taken", [] { ActivateKBHook(nullptr, &HardwareKeyFilter); }, L"[TRAVEK]hooking error", {}, 1, true},
        {"an earlier instance", &EarlierInstance, L"CAMERA ACTIVATE PREVIOUSE INSTANCE", {}, 0},
        {"keys locked", [] { RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock", 1); }, L"KEY LOCKED"},
        {"a call rings", [] { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status", 0x10000); }, L""},
        {"a call is set up", [] { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status", 0x20000); },
         L""},
        {"a video call",
         [] {
             RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\Telephone", L"CallState", 1);
             RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\KeyValue", L"IS_VMODE", 1);
         },
         L"The camera cannot be used during a video call."},
        {"battery empty", [] { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, 0x30000); },
         L"The battery is too low to use the camera."},
        {"display turned", [] {
             DEVMODEW mode{};
             CSystem::GetInstance()->RotateScreen(mode, DMDO_90);
         },
         L"The camera cannot start in this screen orientation."},
        {"rotation animation held",
         [] { heldAnimation = CreateMutexW(nullptr, TRUE, L":::LockRotationAnimation:::"); }, L"already exist mutex"},
        {"camera does not attach", [] { doubles::State().attachResult = -1; }, L"[LumOCR] Error => will be die"},
        {"camera module absent", [] { doubles::State().runResult = 0; },
         L"Application terminates due to the absence of camera module."},
        {"display keeps being turned", [] {}, L"[TRAVEK]FAIL ORIENTATION",
         {{L"[LUMOCR] DShow init END", &TurnDisplay}, {L"ValidateDisplayOrientation failed", &TurnDisplay}}},
        {"display fails", [] { doubles::State().displayInitResult = -1; }, L"[LumOCR] Error => will be die"},
        {"force exit at check 1", &ForceExit, L"[LUMOCR_CHECK: 1] ForceCameraExit()"},
        {"force exit at check 2", [] {}, L"[LUMOCR_CHECK: 2] ForceCameraExit()",
         {{L"CCameraControl::Run()", &ForceExit}}},
        {"force exit at check 3, the display restored once", [] {}, L"[LUMOCR_CHECK: 3] ForceCameraExit()",
         {{L"[LUMOCR] DShow init END", &TurnDisplay}, {L"ValidateDisplayOrientation failed", &ForceExit}}},
        {"force exit at check 4", [] {}, L"[LUMOCR_CHECK: 4] ForceCameraExit()", {{L"CDisplay::Init()", &ForceExit}}},
        {"force exit at check 5", [] {}, L"[LUMOCR_CHECK: 5] ForceCameraExit()",
         {{L"[LUMOCR] DDraw init END", &ForceExit}}},
        {"force exit at check 6", [] {}, L"[LUMOCR_CHECK: 6] ForceCameraExit()",
         {{L"CCameraControl::ResetPreview(1)", &ForceExit}}},
        {"force exit at check 7", [] {}, L"[LUMOCR_CHECK: 7] ForceCameraExit()",
         {{L"[LUMOCR] MESSAGE LOOP start", &ForceExit}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        g_triggers[0] = c.triggers[0];
        g_triggers[1] = c.triggers[1];
        doubles::State().onCall = [](const std::string& call) { Fire(plat::FromUtf8(call.c_str())); };
        std::wstring log;
        auto previousSink = plat::SetDebugSink([&log](const std::wstring& text) {
            log += text;
            Fire(text);
        });
        int result = WithClock([] { return CCameraApp::GetInstance()->Run(nullptr, const_cast<LPWSTR>(L"")); });
        plat::SetDebugSink(std::move(previousSink));
        Pump();
        EXPECT_EQ(result, c.exitCode);
        EXPECT_NE(log.find(c.logged), std::wstring::npos) << "missing: " << plat::ToUtf8(c.logged);
        EXPECT_EQ(log.find(L"MESSAGE LOOP end"), std::wstring::npos) << "the loop never ran";
        if (c.hookOfAnother) {
            EXPECT_FALSE(HookRemoved()) << "another's hook is left alone";
        }
        DeactivateKBHook();
        EXPECT_TRUE(HookRemoved());
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation"), 1u);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"ForcedOrientation", 0), 0u);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod"), 3001u);
        if (earlierWindow) {
            EXPECT_EQ(GetForegroundWindow(), earlierWindow) << "the earlier instance is brought forward";
            DestroyWindow(earlierWindow);
            earlierWindow = nullptr;
            UnregisterClassW(L"LUMOCR", nullptr);
        }
        EXPECT_FALSE(FindWindowW(L"LUMOCR", nullptr)) << "no main window is left behind";

        // Back to a device that may run.
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\Telephone", L"CallState", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, 5);
        doubles::State() = doubles::NeighbourState{};
        g_triggers[0] = g_triggers[1] = Trigger{};
        CSystem::ReleaseInstance();
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, DMDO_270);
        CCameraApp::ReleaseInstance();
        CSettings::ReleaseInstance();
        CMainFrame::DestroyInstance();
        for (HANDLE* held : {&heldAnimation, &heldGuard}) {
            if (*held)
                CloseHandle(*held);
            *held = nullptr;
        }
    }
}

TEST_F(LifecycleStartup, AnEarlierGuardWithoutAWindowIsWaitedForThenIgnored)
{
    HANDLE guard = CreateMutexW(nullptr, FALSE, L"LUMOCR");
    CMainFrame* frame = CMainFrame::GetInstance();
    const std::uint64_t start = plat::NowMs();
    int result = WithClock([frame] { return frame->FindPreviousInstance(nullptr); });
    EXPECT_EQ(result, 0) << "start-up goes on";
    EXPECT_EQ(plat::NowMs() - start, 25u * 100u) << "25 attempts, 100 ms apart";
    CloseHandle(guard);

    // Once the guard is free the frame takes it and keeps it.
    EXPECT_EQ(frame->FindPreviousInstance(nullptr), 0);
    HANDLE again = CreateMutexW(nullptr, FALSE, L"LUMOCR");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
}

class LifecycleKeyFilter : public LifecycleFixture {
protected:
    void SetUp() override
    {
        LifecycleFixture::SetUp();
        frame = CMainFrame::GetInstance();
        frame->SetApplication(CCameraApp::GetInstance());
        ASSERT_NE(frame->CreateEx(), nullptr);
        g_hMainWnd = frame->m_hWnd;
        CDrawEvent::Instance().SetHwnd(g_hMainWnd);
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
        CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
        ASSERT_EQ(ActivateKBHook(nullptr, &HardwareKeyFilter), 1);
        Pump();
        doubles::Clear();
    }

    struct Seen {
        int keysQueued = 0;
        int endRequests = 0;
        int closes = 0;
    };

    // What the key left behind in the GUI thread's queue.
    Seen Drain()
    {
        Seen seen;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP)
                ++seen.keysQueued;
            else if (msg.message == 0x8202)
                ++seen.endRequests;
            else if (msg.message == WM_CLOSE)
                ++seen.closes;
        }
        return seen;
    }

    CMainFrame* frame = nullptr;
};

TEST_F(LifecycleKeyFilter, ViewKeyAndPhoneDecideWhatAKeyDoes)
{
    struct Case {
        const char* name;
        int view;
        BYTE key;
        bool ringing;
        bool startKeyFirst;
        int keysQueued;  // down and up that went on to the window
        bool ends;
        const char* frameCall;
    };
    const Case cases[] = {
        {"start-up swallows everything", VIEW_STARTUP, VK_RETURN, false, false, 0, false, nullptr},
        {"preview resends the shutter key", VIEW_PREVIEW, VK_RETURN, false, false, 0, false,
         "Preview::OnKeyDown(0xd)"},
        {"preview swallows the volume key", VIEW_PREVIEW, VK_F6, false, false, 0, false, nullptr},
        {"preview end key reaches the preview", VIEW_PREVIEW, VK_F4, false, false, 0, false,
         "Preview::OnCommand(0x640001, 0)"},
        {"result view end key ends", VIEW_CARD_RESULT, VK_F4, false, false, 2, true, nullptr},
        {"result view end key with a ringing call passes", VIEW_DOCUMENT_RESULT, VK_F4, true, false, 2, false,
         nullptr},
        {"result view talk key ends", VIEW_OCR_SETTINGS, VK_F3, false, false, 2, true, nullptr},
        {"result view other keys pass", VIEW_CARD_RESULT, VK_RETURN, false, false, 2, false, nullptr},
        {"result view key 0x0E is swallowed", VIEW_CARD_RESULT, 0x0E, false, false, 0, false, nullptr},
        {"app key after the start key ends", VIEW_CARD_RESULT, VK_APP1, false, true, 4, true, nullptr},
        {"app key alone passes", VIEW_CARD_RESULT, VK_APP1, false, false, 2, false, nullptr},
        {"gallery while recognising swallows others", VIEW_GALLERY, VK_RETURN, false, false, 0, false, nullptr},
        {"view 5 swallows others", VIEW_UNUSED, VK_RETURN, false, false, 0, false, nullptr},
        {"view 5 talk key ends", VIEW_UNUSED, VK_F3, false, false, 2, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame->m_nView = c.view;
        frame->m_bInputEnabled = c.view == VIEW_PREVIEW ? 1 : 0;
        frame->m_bRecognitionRunning = c.view == VIEW_GALLERY ? 1 : 0;
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status", c.ringing ? 0x10000 : 0);
        doubles::Clear();
        if (c.startKeyFirst) {
            plat::HardwareKey(VK_LWIN, true);
            plat::HardwareKey(VK_LWIN, false);
        }
        plat::HardwareKey(c.key, true);
        plat::HardwareKey(c.key, false);
        EXPECT_TRUE(IsWindow(frame->m_hWnd)) << "no close runs inside the hook";
        Seen seen = Drain();
        EXPECT_EQ(seen.keysQueued, c.keysQueued);
        EXPECT_EQ(seen.endRequests > 0, c.ends);
        EXPECT_EQ(seen.closes, 0);
        if (c.frameCall) {
            bool called = false;
            for (const auto& call : doubles::Calls())
                called = called || call == c.frameCall;
            EXPECT_TRUE(called) << c.frameCall;
        }
    }
}

}  // namespace
