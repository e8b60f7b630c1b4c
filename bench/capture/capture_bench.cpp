// Preview delivery per frame (the graph's part: a pushed sample through the
// renderer into the callback; the source's part: the camera's scene made
// into a frame) at 320 x 240 and 640 x 480, and a still from trigger to
// callback at 1280 x 960 against libjpeg-turbo encoding the same scene at the
// same quality. A 30 fps frame lasts 33.3 ms.
// The camera controls over it: a picture from the shutter (trigger) to its
// saved JPEG at 1280 x 960 and 2560 x 1920, and the preview worker's work on
// one 320 x 240 frame (edge check, conversion, drawing into the back buffer).
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cwchar>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera_control.h"
#include "camera_scene.h"
#include "capture_host.h"
#include "capture_shutdown.h"
#include "common_control.h"
#include "display.h"
#include "dshow_control.h"
#include "plat/device.h"
#include "settings.h"
#include "shot_control.h"
#include "plat/dshow_base.h"
#include "plat/registry.h"
#include "still_filter.h"
#include "vga_renderer.h"

namespace {

namespace fs = std::filesystem;

// A device root whose camera sees a photographed card (the pattern without one).
struct Root {
    Root()
    {
        path = fs::temp_directory_path() / ("capture_bench_" + std::to_string(::getpid()));
        fs::create_directories(path);
        plat::SetDeviceRoot(path);
        plat::OpenRegistry(false);
        const fs::path card = fs::path(LUM_TESTDATA) / "cards" / "business-card-english.jpg";
        std::error_code ec;
        const bool copied = fs::copy_file(card, path / "card.jpg", ec);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, plat::cam::kCameraKey, 0, nullptr, 0, 0, nullptr, &key, nullptr);
        const wchar_t* source = copied ? L"picture" : L"pattern";
        RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(source),
                       static_cast<DWORD>((std::wcslen(source) + 1) * sizeof(wchar_t)));
        const wchar_t* where = L"\\card.jpg";
        RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(where),
                       static_cast<DWORD>((std::wcslen(where) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~Root()
    {
        plat::CloseRegistry();
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path path;
};

Root& TheRoot()
{
    static Root root;
    return root;
}

std::atomic<unsigned> g_touched{0};

DWORD Touch(BYTE* frame, DWORD length, LONG, LONG)
{
    g_touched += frame[length / 2];
    return 0;
}

// A bare source: one output pin that pushes the samples it is given.
class Source final : public CBaseFilter {
public:
    class Pin final : public CBaseOutputPin {
    public:
        Pin(Source* f, CCritSec* lock) : CBaseOutputPin(L"Out", f, lock, nullptr, L"Out") {}
        HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
        HRESULT GetMediaType(int position, CMediaType* type) override
        {
            if (position != 0) return VFW_S_NO_MORE_ITEMS;
            *type = type_;
            return S_OK;
        }
        CMediaType type_;
    };
    Source() : CBaseFilter(L"Source", nullptr, &lock_, GUID_NULL), pin_(this, &lock_) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin_ : nullptr; }
    CCritSec lock_;
    Pin pin_;
};

void GraphDelivery(benchmark::State& state)
{
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    HRESULT hr = S_OK;
    auto* renderer = new CVGARenderer(nullptr, &hr);
    renderer->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
    renderer->SetCallback(Touch);
    auto* source = new Source;
    CMediaType& type = source->pin_.type_;
    type.majortype = MEDIATYPE_Video;
    type.subtype = MEDIASUBTYPE_YV12;
    type.formattype = FORMAT_VideoInfo;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->bmiHeader.biWidth = w;
    vih->bmiHeader.biHeight = h;
    IPin* in = renderer->GetPin(0);
    source->pin_.Connect(in, nullptr);
    renderer->Run(0);
    source->Run(0);
    const long size = static_cast<long>(w) * h * 3 / 2;
    for (auto _ : state) {
        IMediaSample* sample = nullptr;
        source->pin_.GetDeliveryBuffer(&sample, size);
        sample->SetActualDataLength(size);
        const HRESULT delivered = source->pin_.Deliver(sample);
        sample->Release();
        if (FAILED(delivered)) {
            state.SkipWithError("the renderer refused the sample");
            break;
        }
    }
    source->Stop();
    renderer->Stop();
    source->pin_.Disconnect();
    in->Disconnect();
    source->Release();
    renderer->Release();
}

void SourceFrame(benchmark::State& state)
{
    TheRoot();
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    plat::cam::Scene scene;
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(w) * h * 3 / 2);
    std::uint32_t n = 0;
    for (auto _ : state) {
        scene.Refresh();  // the registry is read again for every frame
        scene.RenderYv12(w, h, 1.0, n++, frame.data());
        benchmark::DoNotOptimize(frame.data());
    }
}

// The camera's whole still road: render the scene at the still size, encode,
// append the 4:2:2 frame, deliver to the callback.
std::mutex g_stillLock;
std::condition_variable g_stillCv;
int g_stills = 0;

DWORD OnStill(BYTE*, DWORD, LONG, LONG)
{
    std::lock_guard lock(g_stillLock);
    ++g_stills;
    g_stillCv.notify_all();
    return 0;
}

struct PinHolder {
    IPin* p = nullptr;
    ~PinHolder()
    {
        if (p) p->Release();
    }
};

void StillTriggerToCallback(benchmark::State& state)
{
    TheRoot();
    IGraphBuilder* graph = nullptr;
    IBaseFilter* camera = nullptr;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, reinterpret_cast<void**>(&graph));
    CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&camera));
    struct Bag final : IPropertyBag {
        HRESULT QueryInterface(REFIID, void** out) override
        {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        ULONG AddRef() override { return 2; }
        ULONG Release() override { return 1; }
        HRESULT Read(LPCOLESTR, VARIANT* v, IErrorLog*) override
        {
            v->vt = VT_BSTR;
            v->bstrVal = SysAllocString(L"CAM1:");
            return S_OK;
        }
        HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    } bag;
    IPersistPropertyBag* persist = nullptr;
    camera->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist));
    persist->Load(&bag, nullptr);
    persist->Release();
    graph->AddFilter(camera, L"Video Capture Source");
    HRESULT hr = S_OK;
    auto* still = new CStillFilter(nullptr, &hr);
    still->SetCallback(OnStill);
    graph->AddFilter(still, L"Still Frame");
    IPin* out = nullptr;
    camera->FindPin(L"Still", &out);
    graph->ConnectDirect(out, still->GetPin(0), nullptr);
    IMediaControl* control = nullptr;
    graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    control->Run();
    IAMVideoControl* video = nullptr;
    camera->QueryInterface(IID_IAMVideoControl, reinterpret_cast<void**>(&video));
    for (auto _ : state) {
        std::unique_lock lock(g_stillLock);
        const int before = g_stills;
        lock.unlock();
        video->SetMode(out, VideoControlFlag_Trigger);
        lock.lock();
        g_stillCv.wait(lock, [&] { return g_stills > before; });
    }
    control->Stop();
    video->Release();
    control->Release();
    out->Release();
    graph->Release();
    camera->Release();
    still->Release();
}

// The peer: libjpeg-turbo encoding the same scene at the same size and quality.
void PeerEncodeStill(benchmark::State& state)
{
    TheRoot();
    plat::cam::Scene scene;
    scene.Refresh();
    const auto picture = scene.RenderRgb(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), 1.0, 0);
    for (auto _ : state) benchmark::DoNotOptimize(plat::cam::EncodeJpeg(*picture, 90).size());
}

constexpr double kFrameMs = 1000.0 / 30.0;

LRESULT RigProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The camera screen's words: the edge check runs in guide mode, which looks
// at every frame and draws it (auto-shot mode stops drawing once it finds
// the card).
class GuideHost final : public CCaptureHost {
public:
    bool AutoShotAllowed() const override { return true; }
    int GuideMode() const override { return 1; }
};

// The camera as the program starts it, its preview on the camera screen.
struct CameraRig {
    CameraRig()
    {
        TheRoot();
        WNDCLASSW wc{};
        wc.lpfnWndProc = RigProc;
        wc.lpszClassName = L"BenchMain";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"BenchMain", L"", 0, 0, 0, 400, 240, nullptr, nullptr, nullptr, nullptr);
        CSettings* settings = CSettings::GetInstance();
        settings->Load(nullptr);
        settings->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
        CCameraControl* camera = CCameraControl::GetInstance();
        camera->SetHwnd(window);
        CCommonControl::GetInstance()->SetHwnd(window);
        CDrawEvent::Instance().SetHwnd(window);
        SetCaptureHost(&host);
        ok = camera->AttachCamera() >= 0;
        camera->SetupCaptureGraph(window);
        ok = ok && camera->Run() == 1 && SUCCEEDED(CDisplay::GetInstance()->Init(window)) && camera->ResetPreview(1);
    }
    // Drops what the controls posted (redraws, shot messages).
    void Drain() const
    {
        MSG msg;
        while (PeekMessageW(&msg, window, 0, 0, PM_REMOVE)) {
        }
    }
    ~CameraRig()
    {
        StopCaptureAsShutdown();
        DestroyWindow(window);
    }
    HWND window = nullptr;
    GuideHost host;
    bool ok = false;
};

std::unique_ptr<CameraRig> g_rig;

CameraRig& Rig()
{
    if (!g_rig)
        g_rig = std::make_unique<CameraRig>();
    return *g_rig;
}

// The shutter pressed to the picture written: the still pin's capture, the
// still callback, the shot list, and the save the camera screen starts on
// WM_SINGLE_SHOT (JPEG with its thumbnail, the program's naming).
void TriggerToSavedJpeg(benchmark::State& state)
{
    CameraRig& rig = Rig();
    if (!rig.ok) {
        state.SkipWithError("the camera does not start");
        return;
    }
    CCameraControl* camera = CCameraControl::GetInstance();
    CShotControl* shots = CShotControl::GetInstance();
    camera->SetShotMode(0, 0);
    camera->SetShotModeSize(0, static_cast<int>(state.range(0)), 1);
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        camera->CameraCapture();
        CShot* shot = shots->GetShot(0);
        shots->SaveAllShots();
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        const std::wstring path = shot ? shot->Path() : L"";
        const auto host = plat::MapDevicePath(path.c_str());
        std::error_code ec;
        const bool saved = host && fs::remove(*host, ec);
        shots->ReleaseShots();
        rig.Drain();
        state.ResumeTiming();
        if (!saved) {
            state.SkipWithError("no picture was saved");
            break;
        }
    }
    if (state.iterations() > 0)
        state.counters["preview_frames"] = totalMs / static_cast<double>(state.iterations()) / kFrameMs;
}

// One preview frame of the worker, as the streaming thread hands it over.
void WorkerFrame(benchmark::State& state)
{
    CameraRig& rig = Rig();
    if (!rig.ok) {
        state.SkipWithError("the camera does not start");
        return;
    }
    CCommonControl* common = CCommonControl::GetInstance();
    plat::cam::Scene scene;
    scene.Refresh();
    std::vector<std::uint8_t> frame(320 * 240 * 3 / 2);
    scene.RenderYv12(320, 240, 1.0, 0, frame.data());
    {
        std::lock_guard<std::mutex> lock(CCameraControl::FrameLock());
        common->CopyFrame(frame.data(), 320, 240);
    }
    // The graph's own frames stay out of the worker's buffer meanwhile.
    CCameraControl::GetInstance()->SetState(CAPTURE_STATE_SINGLE);
    double totalMs = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int drawn = common->DetectAutoShot();
        totalMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        if (drawn != 1) {
            state.SkipWithError("the frame was not drawn");
            break;
        }
    }
    CCameraControl::GetInstance()->SetState(CAPTURE_STATE_IDLE);
    rig.Drain();
    if (state.iterations() > 0)
        state.counters["frame_share_pct"] = 100.0 * totalMs / static_cast<double>(state.iterations()) / kFrameMs;
}

}  // namespace

BENCHMARK(GraphDelivery)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
BENCHMARK(SourceFrame)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
BENCHMARK(StillTriggerToCallback)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(PeerEncodeStill)->Args({1280, 960})->Args({2560, 1920})->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(TriggerToSavedJpeg)->Arg(RESOLUTION_1280_960)->Arg(RESOLUTION_2560_1920)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WorkerFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_rig.reset();
    return 0;
}
