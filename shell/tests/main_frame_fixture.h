// The main frame's real window on the platform's window manager, the
// neighbour doubles behind it, a recording application object and the
// English language file, on the virtual clock.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "layout_manager.h"
#include "main_frame.h"
#include "phone_control.h"
#include "services_fixture.h"
#include "system.h"

class RecordingApplication : public CFrameApplication {
public:
    void FillBlackClose() override { calls.push_back("FillBlackClose"); }
    void FillBlackClose2() override { calls.push_back("FillBlackClose2"); }
    void ResetAutoOff(int mode) override
    {
        ++autoOffReloads;
        CSettings::GetInstance()->SetAutoOffMode(mode);
    }
    void SaveNotifyOptions(BOOL save) override { calls.push_back(save ? "SaveNotifyOptions(1)" : "SaveNotifyOptions(0)"); }
    void SaveActionMethod(BOOL restore) override
    {
        calls.push_back(restore ? "SaveActionMethod(1)" : "SaveActionMethod(0)");
    }
    void ShowBlackWnd() override { calls.push_back("ShowBlackWnd"); }
    void HideBlackWnd() override { calls.push_back("HideBlackWnd"); }
    void LockMotionSensor(BOOL lock) override { calls.push_back(lock ? "LockMotionSensor(1)" : "LockMotionSensor(0)"); }

    std::vector<std::string> calls;
    int autoOffReloads = 0;
};

class MainFrameFixture : public ServicesFixture {
protected:
    void SetUp() override
    {
        ServicesFixture::SetUp();
        std::filesystem::create_directories(root.path() / "Windows");
        std::filesystem::copy_file(std::filesystem::path(LUM_SOURCE_DIR) / "resources/strings/LumOCR.exe.0409.mui",
                                   root.path() / "Windows" / "LumOCR.exe.0409.mui");
        mui = LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
        ASSERT_NE(mui, nullptr);
        frame = CMainFrame::GetInstance();
        frame->SetApplication(&app);
        CLayoutManager::GetInstance()->SetResource(mui);
        hwnd = frame->CreateEx();
        ASSERT_NE(hwnd, nullptr);
        g_hMainWnd = hwnd;
        CDrawEvent::Instance().SetHwnd(hwnd);
        CSystem::GetInstance()->SetHwnd(hwnd);
        TurnDisplay(DMDO_270);
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
        CSettings* settings = CSettings::GetInstance();
        settings->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
        settings->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
        settings->SetAutoOffMode(2);
        frame->m_bInputEnabled = 1;
        frame->m_nView = VIEW_PREVIEW;
        Pump();
        doubles::Clear();
    }

    void TearDown() override
    {
        if (IsWindow(hwnd))
            DestroyWindow(hwnd);
        Pump();
        CDrawEvent::TakePending();
        CDrawEvent::Instance().SetHwnd(nullptr);
        g_hMainWnd = nullptr;
        CMainFrame::DestroyInstance();
        CSystem::ReleaseInstance();
        CPhoneControl::ReleaseInstance();
        CLayoutManager::ReleaseInstance();
        if (mui)
            FreeLibrary(mui);
        ServicesFixture::TearDown();
    }

    static void TurnDisplay(DWORD orientation)
    {
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, orientation);
    }

    // Runs everything queued for the GUI thread (this one).
    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    // Moves the virtual clock in 100 ms steps, the window timers firing.
    static void Advance(unsigned ms)
    {
        for (unsigned done = 0; done < ms; done += 100) {
            plat::AdvanceClock(100);
            Pump();
        }
    }

    static std::vector<std::string> Calls() { return doubles::Calls(); }
    static bool Called(const std::string& call)
    {
        for (const auto& c : doubles::Calls())
            if (c == call)
                return true;
        return false;
    }

    static DWORD DialerCommand() { return ReadDword(HKEY_LOCAL_MACHINE, kDialerKey, L"DialerCmd", 0); }

    HMODULE mui = nullptr;
    CMainFrame* frame = nullptr;
    HWND hwnd = nullptr;
    RecordingApplication app;
};
