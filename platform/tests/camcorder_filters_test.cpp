// The camcorder's filters in a graph over the camera and the microphone on
// the virtual clock; the files they write are read back by ffprobe/ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lumtest/command.h"
#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "plat/registry.h"

namespace fs = std::filesystem;

namespace {

// One ffprobe entry of the file's streams or format, e.g. "stream=codec_name".
std::string Probe(const fs::path& file, const std::string& entries, const std::string& select = "")
{
    std::string cmd = "ffprobe -v error " + select + " -show_entries " + entries + " -of csv=p=0 " + lumtest::ShellQuoted(file);
    std::string text = lumtest::CommandOutput(cmd);
    while (!text.empty() && (text.back() == '\n' || text.back() == ','))
        text.pop_back();
    return text;
}

struct NameBag final : IPropertyBag {
    HRESULT QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override
    {
        const ULONG n = --refs;
        if (!n)
            delete this;
        return n;
    }
    HRESULT Read(LPCOLESTR, VARIANT* v, IErrorLog*) override
    {
        v->vt = VT_BSTR;
        v->bstrVal = SysAllocString(L"CAM1:");
        return S_OK;
    }
    HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }
    ULONG refs = 1;
};

template <typename T>
ComPtr<T> Create(REFCLSID clsid)
{
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, InterfaceId<T>::value,
                               reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    return object;
}

class CamcorderRecordingPeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        plat::FailMuxWritesAfter(-1);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Microphone", 0, nullptr, 0, 0, nullptr, &key,
                                  nullptr),
                  0);
        const WCHAR tone[] = L"tone";
        RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(tone), sizeof tone);
        RegCloseKey(key);
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Camera", 0, nullptr, 0, 0, nullptr, &key, nullptr),
                  0);
        const WCHAR pattern[] = L"pattern";
        RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(pattern), sizeof pattern);
        RegCloseKey(key);
    }
    void TearDown() override
    {
        if (control_)
            control_->Stop();
        control_ = nullptr;
        events_ = nullptr;
        builder_ = nullptr;
        graph_ = nullptr;
        plat::FailMuxWritesAfter(-1);
        plat::UseRealClock();
        plat::CloseRegistry();
    }

    ComPtr<IPin> Pin(IBaseFilter* filter, const WCHAR* name)
    {
        ComPtr<IPin> pin;
        if (name) {
            EXPECT_EQ(filter->FindPin(name, pin.GetAddressOf()), S_OK) << name;
        } else {
            ComPtr<IEnumPins> pins;
            filter->EnumPins(pins.GetAddressOf());
            pins->Next(1, pin.GetAddressOf(), nullptr);
        }
        return pin;
    }
    void Connect(IBaseFilter* from, const WCHAR* out, IBaseFilter* to, const WCHAR* in)
    {
        ASSERT_EQ(graph_->ConnectDirect(Pin(from, out).Get(), Pin(to, in).Get(), nullptr), S_OK);
    }

    // Camera -> tee -> video encoder -> mux; microphone -> audio encoder -> mux.
    void Build(const std::wstring& file, ULONG videoBitRate = 0)
    {
        graph_ = Create<IGraphBuilder>(CLSID_FilterGraph);
        builder_ = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder);
        ASSERT_EQ(builder_->SetFiltergraph(graph_.Get()), S_OK);
        auto camera = Create<IBaseFilter>(CLSID_VideoCapture);
        ComPtr<IPersistPropertyBag> persist;
        ASSERT_EQ(camera.As(&persist), S_OK);
        ComPtr<IPropertyBag> bag;
        bag.Attach(new NameBag);
        ASSERT_EQ(persist->Load(bag.Get(), nullptr), S_OK);
        auto tee = Create<IBaseFilter>(CLSID_SmartTee);
        auto video = Create<IBaseFilter>(CLSID_DMOWrapperFilter);
        ComPtr<IDMOWrapperFilter> wrapper;
        ASSERT_EQ(video.As(&wrapper), S_OK);
        ASSERT_EQ(wrapper->Init(CLSID_VideoEncoderDmo, DMOCATEGORY_VIDEO_ENCODER), S_OK);
        if (videoBitRate) {
            ComPtr<IPropertyBag> properties;
            ASSERT_EQ(video.As(&properties), S_OK);
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_UI4;
            v.ulVal = videoBitRate;
            ASSERT_EQ(properties->Write(L"BitRate", &v), S_OK);
        }
        auto mic = Create<IBaseFilter>(CLSID_AudioRecord);
        ComPtr<IPersistPropertyBag> micPersist;
        ASSERT_EQ(mic.As(&micPersist), S_OK);
        ASSERT_EQ(micPersist->Load(nullptr, nullptr), S_OK);
        auto audio = Create<IBaseFilter>(CLSID_DMOWrapperFilter);
        ASSERT_EQ(audio.As(&wrapper), S_OK);
        ASSERT_EQ(wrapper->Init(CLSID_AudioEncoderDmo, DMOCATEGORY_AUDIO_ENCODER), S_OK);
        mux_ = Create<IBaseFilter>(CLSID_CamcorderMux);
        ComPtr<IFileSinkFilter> sink;
        ASSERT_EQ(mux_.As(&sink), S_OK);
        ASSERT_EQ(sink->SetFileName(file.c_str(), nullptr), S_OK);
        ASSERT_EQ(graph_->AddFilter(camera.Get(), L"Video Capture Source"), S_OK);
        ASSERT_EQ(graph_->AddFilter(tee.Get(), L"Smart Tee"), S_OK);
        ASSERT_EQ(graph_->AddFilter(video.Get(), L"Video Encoder Filter"), S_OK);
        ASSERT_EQ(graph_->AddFilter(mic.Get(), L"Audio Capture Source"), S_OK);
        ASSERT_EQ(graph_->AddFilter(audio.Get(), L"Audio Encoder Filter"), S_OK);
        ASSERT_EQ(graph_->AddFilter(mux_.Get(), L"Mux Filter"), S_OK);
        Connect(camera.Get(), L"Preview", tee.Get(), L"Smart Tee Input pin");
        Connect(tee.Get(), L"Smart Tee Capture pin", video.Get(), nullptr);
        Connect(video.Get(), L"out0", mux_.Get(), L"Video In");
        Connect(mic.Get(), nullptr, audio.Get(), nullptr);
        Connect(audio.Get(), L"out0", mux_.Get(), L"Audio In");
        ASSERT_EQ(graph_.As(&control_), S_OK);
        ASSERT_EQ(graph_.As(&events_), S_OK);
    }

    // Moves the virtual clock on by `ms` from deadline to deadline; before
    // each step the camera's and the microphone's threads have done their
    // work and wait again (real time only bounds that wait).
    void Advance(std::uint64_t ms)
    {
        const std::uint64_t end = plat::NowMs() + ms;
        while (plat::NowMs() < end) {
            for (int i = 0; i < 20000 && plat::PendingVirtualWaits() < 2; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::optional<std::uint64_t> due = plat::NextVirtualDeadline();
            std::uint64_t to = due ? std::min(*due, end) : end;
            plat::AdvanceClock(std::max<std::uint64_t>(to, plat::NowMs() + 1) - plat::NowMs());
        }
        for (int i = 0; i < 20000 && plat::PendingVirtualWaits() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    // Both capture branches off now (pause) or on now (resume).
    void Capture(bool on)
    {
        REFERENCE_TIME never = MAXLONGLONG;
        if (on)
            ASSERT_EQ(builder_->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, nullptr, &never, 1, 2), S_OK);
        else
            ASSERT_EQ(builder_->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, &never, nullptr, 3, 4), S_OK);
    }

    static double Seconds(const fs::path& file) { return std::atof(Probe(file, "format=duration").c_str()); }
    // The video stream's length: its frames' times, without the sound's last frame.
    static double VideoSeconds(const fs::path& file)
    {
        return std::atof(Probe(file, "stream=duration", "-select_streams v").c_str());
    }
    static size_t Count(const std::vector<long>& codes, long code)
    {
        return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
    }

    std::vector<long> Events()
    {
        std::vector<long> codes;
        long code;
        LONG_PTR a, b;
        while (events_->GetEvent(&code, &a, &b, 0) == S_OK) {
            codes.push_back(code);
            events_->FreeEventParams(code, a, b);
        }
        return codes;
    }

    lumtest::TempDir root_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEventEx> events_;
    ComPtr<IBaseFilter> mux_;
};

}  // namespace

TEST(DmoWrapper, PinsComeWithAKnownEncoder)
{
    auto dmo = Create<IBaseFilter>(CLSID_DMOWrapperFilter);
    ComPtr<IEnumPins> pins;
    ASSERT_EQ(dmo->EnumPins(pins.GetAddressOf()), S_OK);
    ComPtr<IPin> pin;
    EXPECT_NE(pins->Next(1, pin.GetAddressOf(), nullptr), S_OK);
    ComPtr<IDMOWrapperFilter> wrapper;
    ASSERT_EQ(dmo.As(&wrapper), S_OK);
    EXPECT_EQ(wrapper->Init(CLSID_VideoEncoderDmo, DMOCATEGORY_AUDIO_ENCODER), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(wrapper->Init(CLSID_SmartTee, DMOCATEGORY_VIDEO_ENCODER), REGDB_E_CLASSNOTREG);
    ASSERT_EQ(wrapper->Init(CLSID_AudioEncoderDmo, DMOCATEGORY_AUDIO_ENCODER), S_OK);
    EXPECT_EQ(dmo->FindPin(L"in0", pin.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(dmo->FindPin(L"out0", pin.ReleaseAndGetAddressOf()), S_OK);

    // Names the encoder does not know are kept and read back.
    ComPtr<IPropertyBag> bag;
    ASSERT_EQ(dmo.As(&bag), S_OK);
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_UI4;
    v.ulVal = 7;
    ASSERT_EQ(bag->Write(L"SetDiscardBuffering", &v), S_OK);
    VARIANT back;
    VariantInit(&back);
    ASSERT_EQ(bag->Read(L"SetDiscardBuffering", &back, nullptr), S_OK);
    EXPECT_EQ(back.ulVal, 7u);
    EXPECT_EQ(bag->Read(L"Unknown", &back, nullptr), E_INVALIDARG);
}

TEST_F(CamcorderRecordingPeer, RecordingIsA3gpWithMpeg4VideoAndSound)
{
    Build(L"\\QVT0001.3gp");
    ASSERT_EQ(control_->Run(), S_OK);
    Advance(3000);
    ASSERT_EQ(control_->Stop(), S_OK);
    fs::path file = root_.path() / "QVT0001.3gp";
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(Probe(file, "format_tags=major_brand").substr(0, 3), "3gp");
    EXPECT_EQ(Probe(file, "stream=codec_name,width,height", "-select_streams v"), "mpeg4,320,240");
    EXPECT_EQ(Probe(file, "stream=codec_name", "-select_streams a"), "aac");
    EXPECT_NEAR(Seconds(file), 3.0, 0.15);
    // Every frame decodes cleanly.
    EXPECT_EQ(lumtest::CommandOutput("ffmpeg -v error -i " + lumtest::ShellQuoted(file) + " -f null - 2>&1"), "");
}

TEST_F(CamcorderRecordingPeer, PausedTimeIsLeftOutAndTheFileIsWholeWhilePaused)
{
    Build(L"\\paused.3gp");
    ASSERT_EQ(control_->Run(), S_OK);
    Advance(1000);
    Capture(false);
    Advance(200);
    fs::path file = root_.path() / "paused.3gp";
    // Paused: what was recorded is on disk and readable.
    EXPECT_NEAR(VideoSeconds(file), 1.0, 0.1);
    Advance(1800);
    Capture(true);
    Advance(1000);
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_NEAR(VideoSeconds(file), 2.0, 0.1);
    EXPECT_EQ(lumtest::CommandOutput("ffmpeg -v error -i " + lumtest::ShellQuoted(file) + " -f null - 2>&1"), "");
}

TEST_F(CamcorderRecordingPeer, SizeLimitEndsTheFileWithinIt)
{
    Build(L"\\limited.3gp");
    ComPtr<IMuxLimit> limit;
    ASSERT_EQ(mux_.As(&limit), S_OK);
    ASSERT_EQ(limit->SetLimit(0, 8), S_OK);  // about a second and a half of the camera's pattern
    ASSERT_EQ(control_->Run(), S_OK);
    Advance(4000);
    std::vector<long> codes = Events();
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_EQ(Count(codes, kMuxEventLimitReached), 1u);
    fs::path file = root_.path() / "limited.3gp";
    EXPECT_LE(fs::file_size(file), 8u * 1024);
    EXPECT_GT(Seconds(file), 0.0);
    EXPECT_LT(Seconds(file), 3.0);
    EXPECT_EQ(lumtest::CommandOutput("ffmpeg -v error -i " + lumtest::ShellQuoted(file) + " -f null - 2>&1"), "");
}

TEST_F(CamcorderRecordingPeer, TimeLimitRaisesItsEventOnce)
{
    Build(L"\\timed.3gp");
    ComPtr<IMuxLimit> limit;
    ASSERT_EQ(mux_.As(&limit), S_OK);
    ASSERT_EQ(limit->SetLimit(1, 1), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    Advance(2500);
    std::vector<long> codes = Events();
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_EQ(Count(codes, kMuxEventLimitReached), 1u);
    EXPECT_NEAR(Seconds(root_.path() / "timed.3gp"), 1.0, 0.15);
}

TEST_F(CamcorderRecordingPeer, AFailedWriteStopsWritingAndKeepsAReadableFile)
{
    Build(L"\\failed.3gp");
    plat::FailMuxWritesAfter(12000);  // the header and the first second fit
    ASSERT_EQ(control_->Run(), S_OK);
    Advance(3000);
    std::vector<long> codes = Events();
    ASSERT_EQ(control_->Stop(), S_OK);
    EXPECT_EQ(Count(codes, kMuxEventWriteError), 1u);
    fs::path file = root_.path() / "failed.3gp";
    EXPECT_LE(fs::file_size(file), 12000u);
    EXPECT_EQ(Probe(file, "stream=codec_name", "-select_streams v"), "mpeg4");
    EXPECT_GT(Seconds(file), 0.0);
}
