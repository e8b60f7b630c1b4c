#include "capture_fixture.h"

#include <chrono>
#include <cwchar>
#include <optional>
#include <thread>

#include "acs_control.h"
#include "app_messages.h"
#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "display.h"
#include "dshow_control.h"
#include "file_control.h"
#include "gps_control.h"
#include "led_control.h"
#include "plat/camera.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/registry.h"
#include "player_control.h"
#include "settings.h"
#include "shot_control.h"
#include "sound_control.h"
#include "system.h"

namespace {

LRESULT MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void CaptureFixture::SetUp()
{
    plat::SetDeviceRoot(root_.path());
    ASSERT_TRUE(plat::OpenRegistry(false));
    plat::UseVirtualClock(1000);
    plat::camera::ClearRecordedSets();
    plat::camera::ClearFailures();
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = L"CaptureMain";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, L"CaptureMain", L"", 0, 0, 0, 400, 240, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    CCameraControl::GetInstance()->SetHwnd(window_);
    CCommonControl::GetInstance()->SetHwnd(window_);
    CDrawEvent::Instance().SetHwnd(window_);
    SetCaptureHost(&host_);
}

void CaptureFixture::TearDown()
{
    // The worker and the graph stop before the objects they call go, in the
    // program's shutdown order: the streaming threads call the camera control.
    CCommonControl::ReleaseInstance();
    CDShowControl::GetInstance()->CloseCamera();
    CCameraControl::ReleaseInstance();
    CShotControl::ReleaseInstance();
    CDShowControl::ReleaseInstance();
    CCamcorderControl::ReleaseInstance();
    CPlayerControl::ReleaseInstance();
    CDisplay::DestroyInstance();
    CACSControl::ReleaseInstance();
    CGPSControl::ReleaseInstance();
    CFileControl::ReleaseInstance();
    CSettings::ReleaseInstance();
    CSystem::ReleaseInstance();
    CSoundControl::ReleaseInstance();
    CLedControl::ReleaseInstance();
    SetCaptureHost(nullptr);
    CDrawEvent::Instance().SetHwnd(nullptr);
    CDrawEvent::TakePending();
    DestroyWindow(window_);
    plat::camera::ClearFailures();
    plat::UseRealClock();
    plat::CloseRegistry();
}

void CaptureFixture::SetCameraSource(const WCHAR* source, const WCHAR* path)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(source),
                   static_cast<DWORD>((std::wcslen(source) + 1) * sizeof(WCHAR)));
    if (path)
        RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                       static_cast<DWORD>((std::wcslen(path) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

void CaptureFixture::StartCamera()
{
    CCameraControl* camera = CCameraControl::GetInstance();
    ASSERT_GE(camera->AttachCamera(), 0);
    camera->SetupCaptureGraph(window_);
    ASSERT_EQ(camera->Run(), 1);
    ASSERT_TRUE(camera->ResetPreview(1));
}

std::vector<MSG> CaptureFixture::Posted()
{
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE))
        if (msg.message != WM_DRAW_SCREEN)
            out.push_back(msg);
    return out;
}

bool CaptureFixture::WaitForClockWaiters(std::size_t waiters)
{
    for (int i = 0; i < 2000 && plat::PendingVirtualWaits() < waiters; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return plat::PendingVirtualWaits() >= waiters;
}

void CaptureFixture::NextFrameTime(std::size_t waiters)
{
    // A thread woken by the last step is on its way while its deadline is
    // due, and a busy one has none: time moves only once every due thread
    // and the given number of threads wait again.
    std::optional<std::uint64_t> due;
    for (int i = 0; i < 2000; ++i) {
        due = plat::NextVirtualDeadline();
        if (due && *due > plat::NowMs() && plat::PendingVirtualWaits() >= waiters)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (due && *due > plat::NowMs())
        plat::AdvanceClock(*due - plat::NowMs());
}
