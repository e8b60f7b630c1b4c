// The capture filters in a graph over the platform's camera, on the virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/camera.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_base.h"
#include "plat/registry.h"
#include "still_filter.h"
#include "vga_renderer.h"
#include "plat/file.h"

// After the platform's headers: it defines TRUE and FALSE as macros.
#include <jpeglib.h>

namespace {

struct Frame {
    std::vector<BYTE> bytes;
    LONG width;
    LONG height;
    std::uint64_t atMs;
};

std::mutex g_lock;
std::condition_variable g_cv;
std::vector<Frame> g_previews;
std::vector<Frame> g_stills;

DWORD OnPreview(BYTE* frame, DWORD length, LONG width, LONG height)
{
    std::lock_guard lock(g_lock);
    g_previews.push_back({std::vector<BYTE>(frame, frame + length), width, height, plat::NowMs()});
    g_cv.notify_all();
    return 0;
}

DWORD OnStill(BYTE* frame, DWORD length, LONG width, LONG height)
{
    std::lock_guard lock(g_lock);
    g_stills.push_back({std::vector<BYTE>(frame, frame + length), width, height, plat::NowMs()});
    g_cv.notify_all();
    return 0;
}

// Real time only bounds a wait for another thread; nothing is timed by it.
bool WaitFor(const std::vector<Frame>& list, std::size_t count)
{
    std::unique_lock lock(g_lock);
    return g_cv.wait_for(lock, std::chrono::seconds(20), [&] { return list.size() >= count; });
}

void SetCamera(const WCHAR* source, const WCHAR* path = nullptr)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr), 0);
    auto setText = [&](const WCHAR* name, const WCHAR* value) {
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(WCHAR)));
    };
    setText(L"Source", source);
    if (path) setText(L"Path", path);
    RegCloseKey(key);
}

// Left half red, right half blue.
void WriteRedBlue(const std::filesystem::path& file, int w, int h)
{
    std::ofstream out(file, std::ios::binary);
    out << "P6\n" << w << " " << h << "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const char px[3] = {static_cast<char>(x < w / 2 ? 255 : 0), 0, static_cast<char>(x < w / 2 ? 0 : 255)};
            out.write(px, 3);
        }
}

CMediaType VideoType(const GUID& subtype, const GUID& format, int w, int h)
{
    CMediaType t;
    t.majortype = MEDIATYPE_Video;
    t.subtype = subtype;
    t.formattype = format;
    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(t.AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
    vih->bmiHeader.biWidth = w;
    vih->bmiHeader.biHeight = h;
    return t;
}

class CaptureGraph : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        plat::camera::ClearRecordedSets();
        std::lock_guard lock(g_lock);
        g_previews.clear();
        g_stills.clear();
    }
    void TearDown() override
    {
        if (control_) control_->Stop();
        builder_ = nullptr;
        control_ = nullptr;
        graph_ = nullptr;
        camera_ = nullptr;
        if (renderer_) renderer_->Release();
        if (still_) still_->Release();
        plat::UseRealClock();
        plat::CloseRegistry();
    }

    // Camera -> renderer and still filter, the preview at w x h.
    void Build(int w = 320, int h = 240)
    {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(graph_.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                                   reinterpret_cast<void**>(builder_.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(builder_->SetFiltergraph(graph_.Get()), S_OK);
        ASSERT_EQ(CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(camera_.GetAddressOf())),
                  S_OK);
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(camera_.As(&persist), S_OK);
        ASSERT_EQ(persist->Load(NameBag(L"CAM1:").Get(), nullptr), S_OK);
        ASSERT_EQ(graph_->AddFilter(camera_.Get(), L"Video Capture Source"), S_OK);

        HRESULT hr = S_OK;
        renderer_ = new CVGARenderer(nullptr, &hr);
        renderer_->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
        renderer_->SetCallback(OnPreview);
        still_ = new CStillFilter(nullptr, &hr);
        still_->SetCallback(OnStill);
        ASSERT_EQ(graph_->AddFilter(renderer_, L"Video Renderer"), S_OK);
        ASSERT_EQ(graph_->AddFilter(still_, L"Still Frame"), S_OK);
        SetPreviewSize(w, h);
        ASSERT_EQ(Connect(L"Preview", renderer_), S_OK);
        ASSERT_EQ(Connect(L"Still", still_), S_OK);
        ASSERT_EQ(graph_.As(&control_), S_OK);
    }

    ComPtr<IPropertyBag> NameBag(const WCHAR* name)
    {
        struct Bag final : IPropertyBag {
            explicit Bag(const WCHAR* n) : name(n) {}
            HRESULT QueryInterface(REFIID, void** out) override
            {
                *out = nullptr;
                return E_NOINTERFACE;
            }
            ULONG AddRef() override { return ++refs; }
            ULONG Release() override
            {
                const ULONG n = --refs;
                if (!n) delete this;
                return n;
            }
            HRESULT Read(LPCOLESTR, VARIANT* v, IErrorLog*) override
            {
                v->vt = VT_BSTR;
                v->bstrVal = SysAllocString(name);
                return S_OK;
            }
            HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
            const WCHAR* name;
            ULONG refs = 1;
        };
        ComPtr<IPropertyBag> bag;
        bag.Attach(new Bag(name));
        return bag;
    }

    HRESULT Connect(const WCHAR* pinName, IBaseFilter* target)
    {
        ComPtr<IPin> out, in;
        camera_->FindPin(pinName, out.GetAddressOf());
        ComPtr<IEnumPins> pins;
        target->EnumPins(pins.GetAddressOf());
        pins->Next(1, in.GetAddressOf(), nullptr);
        return graph_->ConnectDirect(out.Get(), in.Get(), nullptr);
    }

    HRESULT SetFormat(const GUID& category, int w, int h)
    {
        ComPtr<IAMStreamConfig> config;
        HRESULT hr = builder_->FindInterface(&category, nullptr, camera_.Get(), IID_IAMStreamConfig,
                                             reinterpret_cast<void**>(config.GetAddressOf()));
        if (FAILED(hr)) return hr;
        AM_MEDIA_TYPE* type = nullptr;
        hr = config->GetStreamCaps(0, &type, nullptr);
        if (FAILED(hr)) return hr;
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        vih->bmiHeader.biWidth = w;
        vih->bmiHeader.biHeight = category == PIN_CATEGORY_STILL ? -h : h;
        hr = config->SetFormat(type);
        DeleteMediaType(type);
        return hr;
    }
    void SetPreviewSize(int w, int h) { ASSERT_EQ(SetFormat(PIN_CATEGORY_CAPTURE, w, h), S_OK); }

    // Moves the clock to the sensor's next frame and waits for that frame.
    void NextFrame()
    {
        std::size_t have = 0;
        {
            std::lock_guard lock(g_lock);  // the sensor's thread may be adding one
            have = g_previews.size();
        }
        std::optional<std::uint64_t> due;
        for (int i = 0; i < 2000 && !(due = plat::NextVirtualDeadline()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(due);
        plat::AdvanceClock(*due - plat::NowMs());
        ASSERT_TRUE(WaitFor(g_previews, have + 1));
    }

    lumtest::TempDir root_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IBaseFilter> camera_;
    ComPtr<IMediaControl> control_;
    CVGARenderer* renderer_ = nullptr;
    CStillFilter* still_ = nullptr;
};

}  // namespace

TEST(VGARenderer, AcceptsOnlyItsSubtypeInVideoInfo)
{
    HRESULT hr = S_OK;
    auto* renderer = new CVGARenderer(nullptr, &hr);
    renderer->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
    struct Case {
        const char* what;
        CMediaType type;
        HRESULT expect;
    } cases[] = {
        {"YV12 video info", VideoType(MEDIASUBTYPE_YV12, FORMAT_VideoInfo, 320, 240), S_OK},
        {"other subtype", VideoType(MEDIASUBTYPE_CLJR, FORMAT_VideoInfo, 320, 240), VFW_E_TYPE_NOT_ACCEPTED},
        {"other format", VideoType(MEDIASUBTYPE_YV12, GUID_NULL, 320, 240), VFW_E_TYPE_NOT_ACCEPTED},
    };
    cases[2].type.majortype = MEDIATYPE_Video;
    for (auto& c : cases) EXPECT_EQ(renderer->CheckMediaType(&c.type), c.expect) << c.what;
    CMediaType audio = VideoType(MEDIASUBTYPE_YV12, FORMAT_VideoInfo, 320, 240);
    audio.majortype = MEDIATYPE_Audio;
    EXPECT_EQ(renderer->CheckMediaType(&audio), VFW_E_TYPE_NOT_ACCEPTED);
    renderer->Release();
}

TEST(StillFilter, OnePinAndEveryStillReachesTheCallback)
{
    HRESULT hr = S_OK;
    auto* filter = new CStillFilter(nullptr, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(filter->GetPinCount(), 1);
    EXPECT_EQ(filter->GetPin(1), nullptr);
    ASSERT_NE(filter->GetPin(0), nullptr);
    EXPECT_EQ(filter->GetPin(0)->CheckMediaType(nullptr), E_POINTER);

    const CMediaType type = VideoType(MEDIASUBTYPE_IJPG, FORMAT_VideoInfo, 1280, -960);
    filter->SetMediaType(&type);
    filter->SetCallback(OnStill);
    {
        std::lock_guard lock(g_lock);
        g_stills.clear();
    }
    // A sample without a time stamp, in a stopped filter: still delivered.
    ComPtr<IMediaSample> sample;
    sample.Attach(new CMediaSample(16));
    sample->SetActualDataLength(10);
    IMemInputPin* input = nullptr;
    ASSERT_EQ(filter->GetPin(0)->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input)), S_OK);
    EXPECT_EQ(input->Receive(sample.Get()), S_OK);
    EXPECT_EQ(input->Receive(nullptr), E_POINTER);
    input->Release();
    ASSERT_EQ(g_stills.size(), 1u);
    EXPECT_EQ(g_stills[0].bytes.size(), 10u);
    EXPECT_EQ(g_stills[0].width, 1280);
    EXPECT_EQ(g_stills[0].height, -960);
    filter->Release();
}

TEST_F(CaptureGraph, FifteenFramesASecondAtTheSetSize)
{
    SetCamera(L"pattern");
    Build(176, 144);
    const std::uint64_t start = plat::NowMs();
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    while (plat::NowMs() < start + 1000) NextFrame();
    std::lock_guard lock(g_lock);
    const auto inFirstSecond = std::count_if(g_previews.begin(), g_previews.end(),
                                             [&](const Frame& f) { return f.atMs < start + 1000; });
    EXPECT_EQ(inFirstSecond, 15);
    for (const Frame& f : g_previews) {
        EXPECT_EQ(f.width, 176);
        EXPECT_EQ(f.height, 144);
        EXPECT_EQ(f.bytes.size(), 176u * 144 * 3 / 2);
    }
}

TEST_F(CaptureGraph, TheRootsFrameRateIsTheSensorsOwnUntilARateIsAskedFor)
{
    SetCamera(L"pattern");
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const DWORD thirty = 30;
    RegSetValueExW(key, L"FrameRate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&thirty), sizeof thirty);
    RegCloseKey(key);
    Build(176, 144);
    ComPtr<IAMCameraControl> camera;
    ASSERT_EQ(camera_.As(&camera), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    // Frames made in the second from the last one on.
    auto inNextSecond = [&] {
        const std::uint64_t start = plat::NowMs();
        while (plat::NowMs() < start + 1000) NextFrame();
        std::lock_guard lock(g_lock);
        return std::count_if(g_previews.begin(), g_previews.end(),
                             [&](const Frame& f) { return f.atMs >= start && f.atMs < start + 1000; });
    };
    EXPECT_EQ(inNextSecond(), 30);
    ASSERT_EQ(camera->Set(3, 810, CameraControl_Flags_Manual), S_OK);
    NextFrame();  // the rate changes at the next frame
    EXPECT_EQ(inNextSecond(), 10);
    ASSERT_EQ(camera->Set(3, 800, CameraControl_Flags_Manual), S_OK);  // back to the sensor's own
    NextFrame();
    EXPECT_EQ(inNextSecond(), 30);
}

TEST_F(CaptureGraph, SizeChangeReachesTheRendererInBand)
{
    SetCamera(L"pattern");
    Build(320, 240);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    SetPreviewSize(640, 480);
    NextFrame();
    std::lock_guard lock(g_lock);
    EXPECT_EQ(g_previews.front().width, 320);
    EXPECT_EQ(g_previews.back().width, 640);
    EXPECT_EQ(g_previews.back().height, 480);
    EXPECT_EQ(g_previews.back().bytes.size(), 640u * 480 * 3 / 2);
}

TEST_F(CaptureGraph, OddOrHugeSizesAreRefused)
{
    SetCamera(L"pattern");
    Build();
    for (auto [w, h] : {std::pair{321, 240}, {320, 241}, {2562, 1920}, {2560, 1922}, {0, 0}})
        EXPECT_EQ(SetFormat(PIN_CATEGORY_CAPTURE, w, h), VFW_E_INVALIDMEDIATYPE) << w << "x" << h;
    EXPECT_EQ(SetFormat(PIN_CATEGORY_STILL, 2560, 1920), S_OK);
}

TEST_F(CaptureGraph, RedBluePictureKeepsItsColoursInPreviewAndStill)
{
    WriteRedBlue(root_.path() / "redblue.ppm", 400, 300);
    SetCamera(L"picture", L"\\redblue.ppm");
    Build(320, 240);
    ASSERT_EQ(SetFormat(PIN_CATEGORY_STILL, 640, 480), S_OK);
    const CMediaType stillType = VideoType(MEDIASUBTYPE_IJPG, FORMAT_VideoInfo, 640, -480);
    still_->SetMediaType(&stillType);  // as the graph's owner does after setting the format
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    {
        std::lock_guard lock(g_lock);
        const Frame& f = g_previews[0];
        const BYTE* cr = f.bytes.data() + 320 * 240;
        const BYTE* cb = cr + 160 * 120;
        // Left: red (Cr high, Cb low); right: blue (Cb high, Cr low).
        EXPECT_GT(cr[60 * 160 + 20], 200);
        EXPECT_LT(cb[60 * 160 + 20], 110);
        EXPECT_GT(cb[60 * 160 + 140], 200);
        EXPECT_LT(cr[60 * 160 + 140], 130);
    }

    ComPtr<IAMVideoControl> video;
    ASSERT_EQ(camera_.As(&video), S_OK);
    ComPtr<IPin> stillPin;
    camera_->FindPin(L"Still", stillPin.GetAddressOf());
    ASSERT_EQ(video->SetMode(stillPin.Get(), VideoControlFlag_Trigger), S_OK);
    ASSERT_TRUE(WaitFor(g_stills, 1));
    std::lock_guard lock(g_lock);
    const Frame& still = g_stills[0];
    ASSERT_GT(still.bytes.size(), 153600u);
    const std::size_t jpegLength = still.bytes.size() - 153600;

    // libjpeg-turbo reads the stream: 640 x 480, red on the left, blue on the right.
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, still.bytes.data(), static_cast<unsigned long>(jpegLength));
    ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
    EXPECT_FALSE(info.saw_JFIF_marker);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    EXPECT_EQ(info.output_width, 640u);
    EXPECT_EQ(info.output_height, 480u);
    std::vector<BYTE> row(640 * 3);
    for (int y = 0; y <= 240; ++y) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&info, &r, 1);
    }
    EXPECT_GT(row[100 * 3], 200);      // red
    EXPECT_LT(row[100 * 3 + 2], 60);
    EXPECT_GT(row[540 * 3 + 2], 200);  // blue
    EXPECT_LT(row[540 * 3], 60);
    jpeg_abort_decompress(&info);
    jpeg_destroy_decompress(&info);

    // The 4:2:2 scene behind it: Y, Cb, Cr of 320 x 240.
    const BYTE* thumb = still.bytes.data() + jpegLength;
    const BYTE* cb = thumb + 320 * 240;
    const BYTE* cr = cb + 160 * 240;
    EXPECT_GT(cr[120 * 160 + 20], 200);
    EXPECT_GT(cb[120 * 160 + 140], 200);
    EXPECT_EQ(still.width, 640);
    EXPECT_EQ(still.height, -480);
}

TEST_F(CaptureGraph, StillOutsideRunningIsRefused)
{
    SetCamera(L"pattern");
    Build();
    ComPtr<IAMVideoControl> video;
    ASSERT_EQ(camera_.As(&video), S_OK);
    ComPtr<IPin> stillPin;
    camera_->FindPin(L"Still", stillPin.GetAddressOf());
    EXPECT_EQ(video->SetMode(stillPin.Get(), VideoControlFlag_Trigger), VFW_E_NOT_RUNNING);
}

TEST_F(CaptureGraph, RegistryChangeShowsInTheNextFrame)
{
    SetCamera(L"pattern");
    Build(320, 240);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    WriteRedBlue(root_.path() / "redblue.ppm", 64, 48);
    SetCamera(L"picture", L"\\redblue.ppm");
    NextFrame();
    std::lock_guard lock(g_lock);
    const BYTE* cr = g_previews.back().bytes.data() + 320 * 240;
    EXPECT_GT(cr[60 * 160 + 20], 200);
}

TEST_F(CaptureGraph, BrightnessAndFocusFollowTheScene)
{
    SetCamera(L"picture", L"\\missing.jpg");  // unreadable: grey frames, never a stopped stream
    Build(176, 144);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(WaitFor(g_previews, 1));
    ComPtr<IAMCameraControl> camera;
    ASSERT_EQ(camera_.As(&camera), S_OK);
    EXPECT_EQ(camera->Set(7, 9, CameraControl_Flags_Manual), S_OK);  // grey 128 is bright enough
    EXPECT_EQ(camera->Set(3, 707, CameraControl_Flags_Manual), S_OK);
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const DWORD zero = 0;
    RegSetValueExW(key, L"Focus", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
    RegCloseKey(key);
    EXPECT_EQ(camera->Set(3, 707, CameraControl_Flags_Manual), E_FAIL);
    plat::camera::FailSet(plat::camera::Face::CameraControl, 3, 916, E_UNEXPECTED);
    EXPECT_EQ(camera->Set(3, 916, CameraControl_Flags_Manual), E_UNEXPECTED);
    plat::camera::ClearFailures();
    const auto sets = plat::camera::RecordedSets();
    ASSERT_EQ(sets.size(), 4u);
    EXPECT_EQ(sets[2].result, E_FAIL);
    EXPECT_EQ(sets[3].value, 916);

    // A dark scene reads dark at once: the clock stands still, so the sensor
    // has not framed it yet.
    std::ofstream(root_.path() / "dark.pgm", std::ios::binary) << "P5\n8 8\n255\n" << std::string(64, '\x0a');
    SetCamera(L"picture", L"\\dark.pgm");
    EXPECT_EQ(camera->Set(7, 9, CameraControl_Flags_Manual), E_FAIL);
}

TEST_F(CaptureGraph, DeviceSearchFollowsTheRegistry)
{
    DEVMGR_DEVICE_INFORMATION info{};
    info.dwSize = sizeof info;
    HANDLE search = FindFirstDevice(DeviceSearchByGuid, &GUID_CameraDeviceClass, &info);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(info.szLegacyName, L"CAM1:");
    EXPECT_TRUE(FindClose(search));
    search = FindFirstDevice(DeviceSearchByLegacyName, L"CAM*", &info);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    FindClose(search);
    EXPECT_EQ(FindFirstDevice(DeviceSearchByLegacyName, L"ACS*", &info), INVALID_HANDLE_VALUE);

    SetCamera(L"none");
    EXPECT_EQ(FindFirstDevice(DeviceSearchByGuid, &GUID_CameraDeviceClass, &info), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
}
