// The application object's start-up exits and the hardware key filter, on
// the platform's window manager and hook chain with the neighbour doubles.
#include <gtest/gtest.h>

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

TEST_F(LifecycleStartup, EveryEarlyExitUndoesWhatItTook)
{
    struct Case {
        const char* name;
        void (*prepare)();
        const wchar_t* logged;  // the message box's text or the exit's log line
    };
    const Case cases[] = {
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
        {"display fails", [] { doubles::State().displayInitResult = -1; }, L"[LumOCR] Error => will be die"},
        {"force exit at check 1", [] { CSettings::GetInstance()->SetFlags(SETTINGS_FLAG_FORCE_EXIT); },
         L"[LUMOCR_CHECK: 1] ForceCameraExit()"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        plat::DebugCapture log;
        int result = CCameraApp::GetInstance()->Run(nullptr, const_cast<LPWSTR>(L""));
        Pump();
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(log.Contains(c.logged)) << "missing: " << plat::ToUtf8(c.logged);
        EXPECT_FALSE(log.Contains(L"MESSAGE LOOP start"));
        EXPECT_TRUE(HookRemoved());
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"AutoOrientation"), 1u);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kMotionSensorKey, L"ForcedOrientation", 0), 0u);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kMouseKey, L"ActionMethod"), 3001u);
        EXPECT_FALSE(FindWindowW(L"LUMOCR", nullptr)) << "no main window is left behind";

        // Back to a device that may run.
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\Telephone", L"CallState", 0);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, 5);
        doubles::State() = doubles::NeighbourState{};
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, DMDO_270);
        CCameraApp::ReleaseInstance();
        CSettings::ReleaseInstance();
        if (heldAnimation)
            CloseHandle(heldAnimation);
        heldAnimation = nullptr;
    }
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
