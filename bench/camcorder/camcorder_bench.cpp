// The camcorder's costs per frame, as CPU time of every thread (the graph's
// threads do the work) over frames made on the virtual clock:
//  - recording (encoder, multiplexer, sound) at 320 x 240 and 640 x 480: the
//    recording graph less the camera alone, against `ffmpeg -benchmark`
//    encoding the same frames (our recording, decoded) and the same tone to
//    the same codecs, bit rate and frame rate;
//  - playback of that recording (source, decoders, renderers) against
//    `ffmpeg -benchmark` decoding the same file;
//  - stitching three 640 x 480 shots, from the first shot to the picture.
// A 30 fps frame lasts 33.3 ms.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "plat/module.h"
#include "plat/panoramax.h"
#include "plat/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFrames = 45;  // three seconds at the encoder's 15 frames per second

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void SetString(const WCHAR* keyName, const WCHAR* name, const WCHAR* value)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

struct Root {
    Root()
    {
        path = fs::temp_directory_path() / ("camcorder_bench_" + std::to_string(::getpid()));
        fs::create_directories(path);
        plat::SetDeviceRoot(path);
        plat::OpenRegistry(false);
        plat::UseVirtualClock(1000);
        SetString(L"Platform\\Camera", L"Source", L"pattern");
        SetString(L"Platform\\Microphone", L"Source", L"tone");
    }
    ~Root()
    {
        plat::UseRealClock();
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

// Moves the virtual clock to each deadline once `waiters` threads wait.
void Advance(std::uint64_t ms, std::size_t waiters)
{
    auto settle = [waiters] {
        for (int i = 0; i < 20000 && plat::PendingVirtualWaits() < waiters; ++i)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    };
    const std::uint64_t end = plat::NowMs() + ms;
    while (plat::NowMs() < end) {
        settle();
        const std::optional<std::uint64_t> due = plat::NextVirtualDeadline();
        const std::uint64_t to = due ? std::min(*due, end) : end;
        plat::AdvanceClock(std::max<std::uint64_t>(to, plat::NowMs() + 1) - plat::NowMs());
    }
    settle();
}

template <typename T>
ComPtr<T> Create(REFCLSID clsid)
{
    ComPtr<T> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, InterfaceId<T>::value,
                     reinterpret_cast<void**>(object.GetAddressOf()));
    return object;
}

ComPtr<IPin> Pin(IBaseFilter* filter, const WCHAR* name)
{
    ComPtr<IPin> pin;
    if (name) {
        filter->FindPin(name, pin.GetAddressOf());
    } else {
        ComPtr<IEnumPins> pins;
        filter->EnumPins(pins.GetAddressOf());
        pins->Next(1, pin.GetAddressOf(), nullptr);
    }
    return pin;
}

// A property bag with the camera's driver name.
class NameBag final : public IPropertyBag {
public:
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG left = --refs_;
        if (!left) delete this;
        return left;
    }
    HRESULT Read(LPCOLESTR, VARIANT* value, IErrorLog*) override
    {
        value->vt = VT_BSTR;
        value->bstrVal = SysAllocString(L"CAM1:");
        return S_OK;
    }
    HRESULT Write(LPCOLESTR, VARIANT*) override { return S_OK; }

private:
    ULONG refs_ = 1;
};

// Camera -> Smart Tee, and with `record` the capture branch, the microphone
// and the multiplexer writing `file` (a device path). The clock moves over kFrames frames.
// Returns the CPU seconds of the frames.
double RunCamera(LONG width, LONG height, bool record, const std::wstring& file)
{
    auto graph = Create<IGraphBuilder>(CLSID_FilterGraph);
    auto camera = Create<IBaseFilter>(CLSID_VideoCapture);
    ComPtr<IPersistPropertyBag> persist;
    camera.As(&persist);
    ComPtr<IPropertyBag> bag;
    bag.Attach(new NameBag);
    persist->Load(bag.Get(), nullptr);
    ComPtr<IAMStreamConfig> config;
    Pin(camera.Get(), L"Capture")->QueryInterface(IID_IAMStreamConfig, reinterpret_cast<void**>(config.GetAddressOf()));
    AM_MEDIA_TYPE* type = nullptr;
    config->GetStreamCaps(0, &type, nullptr);
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
    vih->bmiHeader.biWidth = width;
    vih->bmiHeader.biHeight = height;
    type->lSampleSize = vih->bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 3 / 2);
    config->SetFormat(type);
    DeleteMediaType(type);
    auto tee = Create<IBaseFilter>(CLSID_SmartTee);
    graph->AddFilter(camera.Get(), L"Video Capture Source");
    graph->AddFilter(tee.Get(), L"Smart Tee");
    graph->ConnectDirect(Pin(camera.Get(), L"Preview").Get(), Pin(tee.Get(), L"Smart Tee Input pin").Get(), nullptr);
    ComPtr<IBaseFilter> video, mic, audio, mux;
    if (record) {
        video = Create<IBaseFilter>(CLSID_DMOWrapperFilter);
        ComPtr<IDMOWrapperFilter> wrapper;
        video.As(&wrapper);
        wrapper->Init(CLSID_VideoEncoderDmo, DMOCATEGORY_VIDEO_ENCODER);
        mic = Create<IBaseFilter>(CLSID_AudioRecord);
        ComPtr<IPersistPropertyBag> micPersist;
        mic.As(&micPersist);
        micPersist->Load(nullptr, nullptr);
        audio = Create<IBaseFilter>(CLSID_DMOWrapperFilter);
        audio.As(&wrapper);
        wrapper->Init(CLSID_AudioEncoderDmo, DMOCATEGORY_AUDIO_ENCODER);
        mux = Create<IBaseFilter>(CLSID_CamcorderMux);
        ComPtr<IFileSinkFilter> sink;
        mux.As(&sink);
        sink->SetFileName(file.c_str(), nullptr);
        for (auto [f, name] : {std::pair{video.Get(), L"Video Encoder Filter"}, {mic.Get(), L"Audio Capture Source"},
                               {audio.Get(), L"Audio Encoder Filter"}, {mux.Get(), L"Mux Filter"}})
            graph->AddFilter(f, name);
        graph->ConnectDirect(Pin(tee.Get(), L"Smart Tee Capture pin").Get(), Pin(video.Get(), nullptr).Get(), nullptr);
        graph->ConnectDirect(Pin(video.Get(), L"out0").Get(), Pin(mux.Get(), L"Video In").Get(), nullptr);
        graph->ConnectDirect(Pin(mic.Get(), nullptr).Get(), Pin(audio.Get(), nullptr).Get(), nullptr);
        graph->ConnectDirect(Pin(audio.Get(), L"out0").Get(), Pin(mux.Get(), L"Audio In").Get(), nullptr);
    }
    ComPtr<IMediaControl> control;
    graph.As(&control);
    control->Run();
    const std::size_t waiters = record ? 2 : 1;
    Advance(1, waiters);
    const double before = CpuSeconds();
    Advance(kFrames * 1000 / 15, waiters);
    const double used = CpuSeconds() - before;
    control->Stop();
    return used;
}

// "bench: utime=0.123s stime=0.004s rtime=0.130s" from ffmpeg -benchmark:
// the CPU seconds of its run.
double FfmpegCpuSeconds(const std::string& arguments)
{
    const std::string command = "ffmpeg -hide_banner -nostats -v info -benchmark -y " + arguments + " 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    char line[512];
    double seconds = -1;
    while (std::fgets(line, sizeof line, pipe)) {
        double user = 0, system = 0;
        if (std::sscanf(line, "bench: utime=%lfs stime=%lfs", &user, &system) == 2) seconds = user + system;
    }
    ::pclose(pipe);
    return seconds;
}

std::string Quoted(const fs::path& path)
{
    std::string quoted(1, '\'');
    quoted += path.string();
    quoted += '\'';
    return quoted;
}

void Recording(benchmark::State& state)
{
    const LONG width = static_cast<LONG>(state.range(0)), height = static_cast<LONG>(state.range(1));
    std::string name = "take";
    name += std::to_string(width);
    name += ".3gp";
    const fs::path file = TheRoot().path / name;
    double ours = 0, camera = 0;
    for (auto _ : state) {
        fs::remove(file);
        const double recording = RunCamera(width, height, true, L"\\" + std::wstring(name.begin(), name.end()));
        const double alone = RunCamera(width, height, false, {});
        ours += recording - alone;
        camera += alone;
        state.SetIterationTime((recording - alone) / kFrames);
    }
    const double perFrame = ours / static_cast<double>(state.iterations()) / kFrames;
    // The peer: the same frames (our recording, decoded) and the same tone.
    const fs::path frames = TheRoot().path / "frames.y4m";
    std::system(("ffmpeg -v error -y -i " + Quoted(file) + " -an " + Quoted(frames)).c_str());
    // ffmpeg's start-up is left out: the frames looped four times less once.
    auto encode = [&](int loops) {
        const int count = kFrames * loops;
        return FfmpegCpuSeconds("-stream_loop " + std::to_string(loops - 1) + " -i " + Quoted(frames) +
                                " -f lavfi -i sine=frequency=440:sample_rate=8000 -t " + std::to_string(count / 15) +
                                " -c:v mpeg4 -b:v 384k -r 15 -frames:v " + std::to_string(count) +
                                " -c:a aac -b:a 12200 -ac 1 -f 3gp " + Quoted(TheRoot().path / "peer.3gp"));
    };
    const double peer = encode(4) - encode(1);
    const double peerFrames = 3.0 * kFrames;
    state.counters["ours_ms"] = perFrame * 1e3;
    state.counters["camera_ms"] = camera / static_cast<double>(state.iterations()) / kFrames * 1e3;
    state.counters["ffmpeg_ms"] = peer / peerFrames * 1e3;
    state.counters["ratio"] = peer > 0 ? perFrame / (peer / peerFrames) : 0;
    state.counters["share_of_33ms"] = perFrame * 1e3 / 33.3;
}

// Counts the frames that reach it.
class FrameCounter final : public CBaseVideoRenderer {
public:
    FrameCounter() : CBaseVideoRenderer(GUID_NULL, L"Frames", nullptr, nullptr) {}
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return type && type->subtype == MEDIASUBTYPE_YV12 ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DoRenderSample(IMediaSample*) override
    {
        ++frames;
        return S_OK;
    }
    std::atomic<int> frames{0};
};

void Playback(benchmark::State& state)
{
    const fs::path file = TheRoot().path / "take320.3gp";
    if (!fs::exists(file)) RunCamera(320, 240, true, L"\\take320.3gp");
    double ours = 0;
    int frames = 0, total = 0;
    for (auto _ : state) {
        auto graph = Create<IGraphBuilder>(CLSID_FilterGraph);
        auto* renderer = new FrameCounter;
        graph->AddFilter(renderer, L"Video Renderer");
        auto audio = Create<IBaseFilter>(CLSID_AudioRender);
        graph->AddFilter(audio.Get(), L"Audio Renderer");
        graph->RenderFile(L"\\take320.3gp", nullptr);
        ComPtr<IMediaControl> control;
        ComPtr<IMediaEventEx> events;
        graph.As(&control);
        graph.As(&events);
        const double before = CpuSeconds();
        control->Run();
        bool done = false;
        for (int step = 0; step < 20000 && !done; ++step) {
            long code;
            LONG_PTR a, b;
            while (events->GetEvent(&code, &a, &b, 0) == S_OK) done = done || code == EC_COMPLETE;
            std::optional<std::uint64_t> due;
            for (int i = 0; i < 200 && !(due = plat::NextVirtualDeadline()); ++i)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            plat::AdvanceClock(due && *due > plat::NowMs() ? *due - plat::NowMs() : 1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a yield to the streaming threads
        }
        const double used = CpuSeconds() - before;
        control->Stop();
        frames = renderer->frames.load();
        total += frames;
        renderer->Release();
        ours += used;
        state.SetIterationTime(used / std::max(frames, 1));
    }
    const double perFrame = ours / std::max(total, 1);
    // ffmpeg's start-up is left out: the file looped 41 times less once.
    auto decode = [&](int loops) {
        return FfmpegCpuSeconds("-stream_loop " + std::to_string(loops - 1) + " -i " + Quoted(file) + " -f null -");
    };
    const double peer = (decode(41) - decode(1)) / 40.0;
    state.counters["frames"] = static_cast<double>(total) / static_cast<double>(state.iterations());
    state.counters["ours_ms"] = perFrame * 1e3;
    state.counters["ffmpeg_ms"] = peer / std::max(frames, 1) * 1e3;
    state.counters["ratio"] = peer > 0 ? perFrame / (peer / std::max(frames, 1)) : 0;
    state.counters["share_of_33ms"] = perFrame * 1e3 / 33.3;
}

// A wide scene without a period the tracker could mistake.
std::vector<uint8_t> Cut(int x, int fw, int fh, int sceneWidth)
{
    std::vector<uint8_t> f(static_cast<size_t>(fw) * fh * 3 / 2, 128);
    const double scale = 1280.0 / sceneWidth;
    for (int r = 0; r < fh; ++r)
        for (int c = 0; c < fw; ++c) {
            const double u = (c + x) * scale, z = r * scale;
            const double value = 128 + 50 * std::sin(u / 37.0) + 30 * std::sin(u / 11.3 + z / 29.0) +
                                 25 * std::cos(u / 97.0) + 15 * std::sin(u * u / 36000.0);
            f[static_cast<size_t>(r) * fw + c] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
        }
    return f;
}

PxFrame FrameOf(std::vector<uint8_t>& f, int w, int h)
{
    const size_t n = static_cast<size_t>(w) * h;
    return {1, w, h, f.data(), f.data() + n, f.data() + n + n / 4};
}

void Stitching(benchmark::State& state)
{
    HMODULE module = LoadLibraryW(L"PanoraMax.dll");
    auto get = [module](const WCHAR* name) { return GetProcAddressW(module, name); };
    auto init = reinterpret_cast<PFN_px_init>(get(L"px_init"));
    auto setParams = reinterpret_cast<PFN_px_setParams>(get(L"px_setParams"));
    auto start = reinterpret_cast<PFN_px_start>(get(L"px_start"));
    auto begin = reinterpret_cast<PFN_px_beginCapture>(get(L"px_beginCapture"));
    auto handle = reinterpret_cast<PFN_px_handleFrame>(get(L"px_handleFrame"));
    auto add = reinterpret_cast<PFN_px_addFrame>(get(L"px_addFrame"));
    auto image = reinterpret_cast<PFN_px_getPanoramaImage>(get(L"px_getPanoramaImage"));
    auto release = reinterpret_cast<PFN_px_free>(get(L"px_free"));
    if (!module || !init || !setParams || !start || !begin || !handle || !add || !image || !release) {
        state.SkipWithError("no panorama library");
        return;
    }
    std::vector<std::vector<uint8_t>> shots, previews;
    for (int i = 0; i < 3; ++i) {
        shots.push_back(Cut(i * 320, 640, 480, 1280));
        previews.push_back(Cut(i * 160, 320, 240, 640));
    }
    for (auto _ : state) {
        PxAllocator allocator{std::malloc, std::free};
        PxHandle job = nullptr;
        init(&allocator, 0, 0, &job);
        setParams(job, 640, 480, 1, 320, 240, 1, 3, 15, 12.0f, 640 * 480 * 3 / 2 * 3);
        start(job);
        begin(job, 0);
        PxStatus status{};
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                for (int k = 0; k < 2; ++k) {
                    PxFrame preview = FrameOf(previews[static_cast<size_t>(i)], 320, 240);
                    handle(job, &preview, 0, &status);
                }
            PxFrame shot = FrameOf(shots[static_cast<size_t>(i)], 640, 480);
            add(job, &shot, 0, &status);
        }
        PxImage picture{};
        int w = 0, h = 0;
        const int result = image(job, &picture, &w, &h);
        benchmark::DoNotOptimize(picture);
        if (result != PX_OK) state.SkipWithError("the shots did not stitch");
        if (picture.data) std::free(picture.data);
        release(job);
    }
    FreeLibrary(module);
}

}  // namespace

BENCHMARK(Recording)->Args({320, 240})->Args({640, 480})->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Playback)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(Stitching)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
