// The capture graph control over the platform's camera, on the virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app_messages.h"
#include "camcorder_test_support.h"
#include "dshow_control.h"
#include "lumtest/tempdir.h"
#include "plat/camera.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_base.h"
#include "plat/registry.h"
#include "still_filter.h"
#include "vga_renderer.h"

namespace {

std::mutex g_lock;
std::condition_variable g_cv;
struct Seen {
    DWORD length;
    LONG width;
    LONG height;
};
std::vector<Seen> g_previews;
std::vector<Seen> g_stills;

DWORD OnPreview(BYTE*, DWORD length, LONG width, LONG height)
{
    std::lock_guard lock(g_lock);
    g_previews.push_back({length, width, height});
    g_cv.notify_all();
    return 0;
}

DWORD OnStill(BYTE*, DWORD length, LONG width, LONG height)
{
    std::lock_guard lock(g_lock);
    g_stills.push_back({length, width, height});
    g_cv.notify_all();
    return 0;
}

// Real time only bounds a wait for another thread.
bool WaitFor(const std::vector<Seen>& list, std::size_t count)
{
    std::unique_lock lock(g_lock);
    return g_cv.wait_for(lock, std::chrono::seconds(20), [&] { return list.size() >= count; });
}

void SetSource(const WCHAR* source)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(source),
                   static_cast<DWORD>((std::wcslen(source) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class DShowControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        SetSource(L"pattern");
        WNDCLASSW wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.lpszClassName = L"CaptureOwner";
        RegisterClassW(&wc);
        owner_ = CreateWindowExW(0, L"CaptureOwner", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
        std::lock_guard lock(g_lock);
        g_previews.clear();
        g_stills.clear();
    }
    void TearDown() override
    {
        CDShowControl::ReleaseInstance();
        DestroyWindow(owner_);
        plat::UseRealClock();
        plat::CloseRegistry();
    }

    CDShowControl* Control()
    {
        CDShowControl* c = CDShowControl::GetInstance();
        c->SetStreamConfig(owner_, 0, 0, RESOLUTION_1280_960, RESOLUTION_320_240, 0);
        c->m_pfnPreviewCallback = OnPreview;
        c->m_pfnStillCallback = OnStill;
        return c;
    }

    // The commands posted to the owner since the last call.
    std::vector<DWORD> Commands()
    {
        std::vector<DWORD> out;
        MSG msg;
        while (PeekMessageW(&msg, owner_, 0, 0, PM_REMOVE))
            if (msg.message == WM_MAIN_COMMAND) out.push_back(static_cast<DWORD>(msg.wParam));
        return out;
    }

    void Inject(long code, LONG_PTR p2)
    {
        ComPtr<IMediaEventSink> sink;
        ASSERT_EQ(ComPtr<IGraphBuilder>(CDShowControl::GetInstance()->GetGraph()).As(&sink), S_OK);
        sink->Notify(code, 0, p2);
    }

    // Names of the filters in the camera graph.
    std::vector<std::wstring> Filters() { return camcorder_test::FilterNames(CDShowControl::GetInstance()->GetGraph()); }

    LONG PreviewWidth()
    {
        ComPtr<IPin> pin;
        CDShowControl::GetInstance()->GetCameraFilter()->FindPin(L"Capture", pin.GetAddressOf());
        ComPtr<IAMStreamConfig> config;
        pin->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(config.GetAddressOf()));
        AM_MEDIA_TYPE* type = nullptr;
        config->GetFormat(&type);
        const LONG w = VideoInfoOf(*type)->bmiHeader.biWidth;
        DeleteMediaType(type);
        return w;
    }

    lumtest::TempDir root_;
    HWND owner_ = nullptr;
};

}  // namespace

TEST(DShowControlSizes, IndexesOutsideTheTableMeanTheLargest)
{
    struct Case {
        DWORD index;
        LONG w, h;
    } cases[] = {{0, 2560, 1920}, {3, 1280, 960}, {5, 400, 240}, {7, 176, 144}, {8, 2560, 1920}, {0xFFFFFFFFu, 2560, 1920}};
    for (const auto& c : cases) {
        LONG w = 0, h = 0;
        CDShowControl::ResolutionSize(c.index, &w, &h);
        EXPECT_EQ(w, c.w) << c.index;
        EXPECT_EQ(h, c.h) << c.index;
    }
}

TEST_F(DShowControl, OpensRunsCapturesAndCloses)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_CAMERA);
    EXPECT_EQ(c->GetStreamControlState(), 1u);
    EXPECT_EQ(Filters(), (std::vector<std::wstring>{L"Video Capture Source", L"Video Renderer", L"Still Frame"}));
    EXPECT_EQ(c->InitCamera(), static_cast<HRESULT>(0x80070005u));  // refused, graph kept
    EXPECT_NE(c->GetGraph(), nullptr);

    ASSERT_EQ(c->RunGraph(0), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    EXPECT_EQ(g_previews[0].width, 320);
    EXPECT_EQ(g_previews[0].height, 240);
    EXPECT_EQ(c->HandleGraphEvent(), S_OK);
    // RunGraph's own post, then the start cookie's sum of 1.
    EXPECT_EQ(Commands(), (std::vector<DWORD>{CMD_PREVIEW_STARTED, CMD_PREVIEW_STARTED}));

    ASSERT_EQ(c->CameraCapture(), S_OK);
    ASSERT_TRUE(WaitFor(g_stills, 1));
    EXPECT_EQ(g_stills[0].width, 1280);
    EXPECT_EQ(g_stills[0].height, -960);
    EXPECT_GT(g_stills[0].length, 153600u);

    EXPECT_EQ(c->CloseCamera(), S_OK);
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_NONE);
    EXPECT_EQ(c->GetGraph(), nullptr);
    EXPECT_EQ(c->GetRenderer(), nullptr);
    EXPECT_EQ(c->CloseCamera(), S_OK);  // twice: only releases what is left
    EXPECT_EQ(c->SetAMCameraControl(3, 704, false), -2);
}

TEST_F(DShowControl, NoCameraFailsAndReleasesAll)
{
    SetSource(L"none");
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    EXPECT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), static_cast<HRESULT>(0x80070006u));
    EXPECT_EQ(c->GetGraph(), nullptr);
    EXPECT_EQ(c->GetCameraFilter(), nullptr);
    EXPECT_EQ(c->GetStillFilter(), nullptr);
    WCHAR name[MAX_PATH + 1];
    EXPECT_EQ(c->GetCameraDevice(nullptr), E_POINTER);
    EXPECT_EQ(c->GetCameraDevice(name), static_cast<HRESULT>(0x80070006u));
}

TEST_F(DShowControl, SwitchToNoneAndBackRebuildsOnlyTheBranches)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    IBaseFilter* camera = c->GetCameraFilter();
    CVGARenderer* renderer = c->GetRenderer();
    ASSERT_EQ(c->ChangeCameraMode(CAPTURE_MODE_NONE), S_OK);
    EXPECT_EQ(Filters(), (std::vector<std::wstring>{L"Video Capture Source"}));
    ASSERT_EQ(c->ChangeCameraMode(CAPTURE_MODE_CAMERA), S_OK);
    EXPECT_EQ(Filters(), (std::vector<std::wstring>{L"Video Capture Source", L"Video Renderer", L"Still Frame"}));
    EXPECT_EQ(c->GetCameraFilter(), camera);  // the driver is never opened again
    EXPECT_EQ(c->GetRenderer(), renderer);
}

TEST_F(DShowControl, SetModeInCameraModeStopsAndRerunsQuietly)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    ASSERT_EQ(c->RunGraph(1), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    c->HandleGraphEvent();
    Commands();
    ASSERT_EQ(c->SetMode(CAPTURE_MODE_CAMERA), S_OK);
    c->HandleGraphEvent();
    // The stop is reported; the rerun is quiet but the start cookie comes again.
    EXPECT_EQ(Commands(), (std::vector<DWORD>{CMD_PREVIEW_STOPED, CMD_PREVIEW_STARTED}));
}

TEST_F(DShowControl, ResolutionsReachTheCamera)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    EXPECT_EQ(PreviewWidth(), 320);
    EXPECT_EQ(c->SetResolution(8, 8), S_OK);
    EXPECT_EQ(PreviewWidth(), 2560);
    EXPECT_EQ(c->SetResolutionPreviewPin(RESOLUTION_640_480), S_OK);
    EXPECT_EQ(PreviewWidth(), 640);
    {
        // The rebuilt graph runs again: its first frame comes at once, at the new size.
        std::unique_lock lock(g_lock);
        EXPECT_TRUE(g_cv.wait_for(lock, std::chrono::seconds(20), [] {
            return !g_previews.empty() && g_previews.back().width == 640 && g_previews.back().height == 480;
        }));
    }
    EXPECT_EQ(c->SetResolutionStllPin(static_cast<DWORD>(-1)), S_OK);
    EXPECT_EQ(c->GetStreamConfig(0).stillResolution, 0xFFFFFFFFu);
}

TEST_F(DShowControl, StreamControlStatesOutsideTheTableChangeNothing)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    for (DWORD state : {4u, 9u, 100u}) {
        EXPECT_EQ(c->CaptureStreamControl(state), S_OK) << state;
        EXPECT_EQ(c->GetStreamControlState(), 1u) << state;
    }
    // The preview stop: one STOPPED with cookie 2, no STARTED, nothing posted in camera mode.
    EXPECT_EQ(c->CaptureStreamControl(2), S_OK);
    EXPECT_EQ(c->GetStreamControlState(), 2u);
    c->HandleGraphEvent();
    EXPECT_TRUE(Commands().empty());
}

TEST_F(DShowControl, GraphEventsBecomeCommands)
{
    CDShowControl* c = Control();
    ASSERT_EQ(c->InitCamera(), S_OK);
    ASSERT_EQ(c->OpenCamera(CAPTURE_MODE_CAMERA), S_OK);
    Commands();
    struct Case {
        const char* what;
        std::vector<std::pair<long, LONG_PTR>> events;
        std::vector<DWORD> posted;
    } cases[] = {
        {"started cookie sum 1", {{EC_STREAM_CONTROL_STARTED, 1}}, {CMD_PREVIEW_STARTED}},
        {"sum steps over 1", {{EC_STREAM_CONTROL_STARTED, 2}, {EC_STREAM_CONTROL_STARTED, 1}}, {}},
        {"second report adds up to 2", {{EC_STREAM_CONTROL_STARTED, 1}, {EC_STREAM_CONTROL_STARTED, 1}}, {CMD_PREVIEW_STARTED}},
        {"size changed", {{EC_VIDEO_SIZE_CHANGED, 0}, {0x49, 0}}, {CMD_PREVIEW_STARTED, CMD_PREVIEW_STARTED}},
        {"recording complete", {{EC_COMPLETE, 2}}, {CMD_RECORDING_STOPED}},
        {"write error", {{0x104, 0}}, {CMD_RECORDING_ERROR_WRITE}},
        {"stopped, quiet and unknown", {{EC_STREAM_CONTROL_STOPPED, 6}, {0x102, 0}, {0x103, 0}, {0x77, 0}}, {}},
    };
    for (const auto& k : cases) {
        c->CaptureStreamControl(4);  // resets the sums, changes nothing else
        for (auto [code, p2] : k.events) Inject(code, p2);
        EXPECT_EQ(c->HandleGraphEvent(), S_OK) << k.what;
        EXPECT_EQ(Commands(), k.posted) << k.what;
    }
}
