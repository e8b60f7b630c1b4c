// camtool shoot: the camera started as the program starts it, a window that
// plays the main window and the camera screen, one picture saved as the
// program names its pictures, and the camera ended as the program ends it.
#include "shoot.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app_messages.h"
#include "camera_control.h"
#include "capture_host.h"
#include "capture_shutdown.h"
#include "common_control.h"
#include "display.h"
#include "dshow_control.h"
#include "file_control.h"
#include "gps_control.h"
#include "plat/device.h"
#include "plat/windows.h"
#include "settings.h"
#include "shot_control.h"
#include "system.h"

namespace {

constexpr DWORD kSaveLimitMs = 10000;
constexpr DWORD kGpsWaitMs = 2000;

// The camera screen's words the capture reads: the auto-shot gate closes
// once a card is found.
class ShootHost final : public CCaptureHost {
public:
    bool AutoShotAllowed() const override { return armed && !found.load(); }
    void SetAutoShotFound() override { found = true; }
    void SetStillSize(int width, int height) override
    {
        std::printf("still %dx%d\n", width, height);
        std::fflush(stdout);
    }

    bool armed = false;
    std::atomic<bool> found{false};
};

ShootHost g_host;
bool g_captured = false;
bool g_saved = false;
DWORD g_trigger = 0;

const char* MessageName(UINT message)
{
    switch (message) {
    case WM_SINGLE_SHOT: return "WM_SINGLE_SHOT";
    case WM_MULTI_SHOT_DONE: return "WM_MULTI_SHOT_DONE";
    case WM_MAIN_COMMAND: return "WM_MAIN_COMMAND";
    case WM_TARGET_COMMAND: return "WM_TARGET_COMMAND";
    case WM_START_RECOGNITION: return "WM_START_RECOGNITION";
    case WM_WAVE_OUT_DONE: return "WM_WAVE_OUT_DONE";
    case WM_GRAPH_NOTIFY: return "WM_GRAPH_NOTIFY";
    case WM_MMTIMER: return "WM_MMTIMER";
    default: return nullptr;
    }
}

void Capture()
{
    if (g_captured)
        return;
    g_captured = true;
    g_trigger = GetTickCount();
    CCameraControl::GetInstance()->CameraCapture();
}

// The single-picture road: the stored still is saved and the preview is live again.
void SaveShot()
{
    CShotControl* shots = CShotControl::GetInstance();
    CShot* shot = shots->GetShot(0);
    const std::wstring path = shot ? shot->Path() : L"";
    shots->SaveAllShots();
    CCameraControl::GetInstance()->SetState(CAPTURE_STATE_IDLE);
    const auto host = plat::MapDevicePath(path.c_str());
    std::error_code ec;
    if (path.empty() || !host || !std::filesystem::is_regular_file(*host, ec)) {
        std::printf("saved: none\n");
        return;
    }
    g_saved = true;
    std::printf("saved %ls (%lu ms)\n", path.c_str(), static_cast<unsigned long>(GetTickCount() - g_trigger));
}

LRESULT MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const char* name = MessageName(message);
    if (!name)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    std::printf("%s 0x%lx 0x%lx\n", name, static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
    std::fflush(stdout);
    switch (message) {
    case WM_GRAPH_NOTIFY: CDShowControl::GetInstance()->HandleGraphEvent(); break;
    case WM_TARGET_COMMAND:
        if (wParam == CMD_PREVIEW_AUTO_SHOT)
            Capture();
        break;
    case WM_SINGLE_SHOT: SaveShot(); break;
    case WM_WAVE_OUT_DONE: waveOutClose(reinterpret_cast<HWAVEOUT>(wParam)); break;
    default: break;
    }
    return 0;
}

// Dispatches the window's messages until done() or the time is up.
template <typename Done>
bool PumpUntil(Done done, DWORD limitMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= limitMs)
            return false;
        Sleep(5);
    }
}

// The start-up's camera part; false when there is no camera.
bool StartCamera(HWND window)
{
    CCameraControl* camera = CCameraControl::GetInstance();
    const HRESULT hr = camera->AttachCamera();
    if (FAILED(hr)) {
        std::printf("camera: 0x%08x\n", static_cast<unsigned>(hr));
        return false;
    }
    camera->SetupCaptureGraph(window);
    if (camera->Run() == 0) {
        std::printf("camera: no camera module\n");
        return false;
    }
    CDisplay::GetInstance()->Init(window);
    CSettings::GetInstance()->SetHwnd(window);
    CSystem::GetInstance()->SetHwnd(window);
    CFileControl::GetInstance()->SetHwnd(window);
    SetCaptureHost(&g_host);
    camera->SetHwnd(window);
    CCommonControl::GetInstance()->SetHwnd(window);
    CDrawEvent::Instance().SetHwnd(window);
    // The camera screen is on view: the preview frames reach the worker.
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
    camera->ResetPreview(1);
    CCommonControl::GetInstance()->ResumeWorker();
    return true;
}

}  // namespace

int Shoot(bool autoShot, bool gps)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = MainProc;
    wc.lpszClassName = L"CamtoolShoot";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"CamtoolShoot", L"OCR", 0, 0, 0, 400, 240, nullptr, nullptr, nullptr, nullptr);
    if (!window)
        return 1;

    CSettings* settings = CSettings::GetInstance();
    settings->Load(nullptr);
    g_host.armed = autoShot;
    int result = 1;
    if (StartCamera(window)) {
        if (gps) {
            settings->SetUseGPS(TRUE);
            const bool fix = PumpUntil([] { return CGPSControl::GetInstance()->HasFix(); }, kGpsWaitMs);
            std::printf("gps %s\n", fix ? "fix" : "no fix");
        }
        if (!autoShot)
            Capture();
        PumpUntil([] { return g_saved; }, kSaveLimitMs);
        // What the save posted (the recognition request) is shown too.
        PumpUntil([] { return false; }, 0);
        result = g_saved ? 0 : 1;
        if (!g_saved)
            std::printf("nothing saved\n");
    }
    StopCaptureAsShutdown();
    DestroyWindow(window);
    return result;
}
