// Playback graphs over files made by ffmpeg: the source, RenderFile into a
// video renderer and the audio renderer, the end reported once, on the
// virtual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>
#include <thread>

#include "lumtest/command.h"
#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "plat/registry.h"

namespace fs = std::filesystem;

namespace {

// Counts the frames that reach it and keeps the last one's size.
class FrameCounter final : public CBaseVideoRenderer {
public:
    FrameCounter() : CBaseVideoRenderer(GUID_NULL, L"Frames", nullptr, nullptr) {}
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return type && type->subtype == MEDIASUBTYPE_YV12 && VideoInfoOf(*type) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT DoRenderSample(IMediaSample* sample) override
    {
        ++frames;
        bytes = sample->GetActualDataLength();
        return S_OK;
    }
    std::atomic<int> frames{0};
    std::atomic<long> bytes{0};
};

class PlaybackPeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(graph_.GetAddressOf())),
                  S_OK);
        renderer_ = new FrameCounter;
        ASSERT_EQ(graph_->AddFilter(renderer_, L"Video Renderer"), S_OK);
        ComPtr<IBaseFilter> audio;
        ASSERT_EQ(CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                   reinterpret_cast<void**>(audio.GetAddressOf())),
                  S_OK);
        ASSERT_EQ(graph_->AddFilter(audio.Get(), L"Audio Renderer"), S_OK);
        ASSERT_EQ(graph_.As(&control_), S_OK);
        ASSERT_EQ(graph_.As(&events_), S_OK);
        ASSERT_EQ(graph_.As(&seeking_), S_OK);
    }
    void TearDown() override
    {
        if (control_)
            control_->Stop();
        control_ = nullptr;
        events_ = nullptr;
        seeking_ = nullptr;
        graph_ = nullptr;
        if (renderer_)
            renderer_->Release();
        plat::UseRealClock();
        plat::CloseRegistry();
    }

    fs::path Make(const std::string& name, const std::string& options)
    {
        fs::path out = root_.path() / name;
        std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=15 " + options + " " +
                          lumtest::ShellQuoted(out);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }
    static int FfprobeFrames(const fs::path& file)
    {
        return std::atoi(lumtest::CommandOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                                                "stream=nb_read_frames -of csv=p=0 " +
                                                lumtest::ShellQuoted(file))
                             .c_str());
    }

    // Moves the virtual clock from deadline to deadline until the graph's
    // EC_COMPLETE (true) or `limitMs` have passed; counts EC_COMPLETE events.
    bool PlayToEnd(std::uint64_t limitMs, int* completes)
    {
        const std::uint64_t end = plat::NowMs() + limitMs;
        bool done = false;
        while (plat::NowMs() < end) {
            long code;
            LONG_PTR a, b;
            while (events_->GetEvent(&code, &a, &b, 0) == S_OK)
                if (code == EC_COMPLETE) {
                    ++*completes;
                    done = true;
                    EXPECT_EQ(a, S_OK);
                    EXPECT_EQ(b, 0);
                }
            if (done)
                break;
            std::optional<std::uint64_t> due;
            for (int i = 0; i < 200 && !(due = plat::NextVirtualDeadline()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::uint64_t to = due ? std::min(*due, end) : plat::NowMs() + 10;
            plat::AdvanceClock(std::max<std::uint64_t>(to, plat::NowMs() + 1) - plat::NowMs());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a yield to the streaming threads
        }
        return done;
    }

    lumtest::TempDir root_;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<IMediaControl> control_;
    ComPtr<IMediaEventEx> events_;
    ComPtr<IMediaSeeking> seeking_;
    FrameCounter* renderer_ = nullptr;
};

}  // namespace

TEST_F(PlaybackPeer, FilesPlayEveryFrameToOneEnd)
{
    struct Case {
        const char* name;
        const char* options;
    } cases[] = {
        {"sound.3gp", "-f lavfi -i sine=frequency=440:sample_rate=8000 -t 2 -c:v mpeg4 -c:a aac -shortest"},
        {"silent.mp4", "-t 2 -c:v libx264 -pix_fmt yuv420p"},
    };
    for (const Case& c : cases) {
        fs::path file = Make(c.name, c.options);
        std::wstring device = L"\\" + std::wstring(c.name, c.name + std::strlen(c.name));
        ComPtr<IBaseFilter> source;
        ASSERT_EQ(graph_->AddSourceFilter(device.c_str(), L"Video Player Source", source.GetAddressOf()), S_OK);
        ASSERT_EQ(graph_->RenderFile(device.c_str(), nullptr), S_OK) << c.name;
        LONGLONG duration = 0;
        ASSERT_EQ(seeking_->GetDuration(&duration), S_OK);
        EXPECT_NEAR(duration / 1e7, 2.0, 0.1) << c.name;
        renderer_->frames = 0;
        ASSERT_EQ(control_->Run(), S_OK);
        int completes = 0;
        EXPECT_TRUE(PlayToEnd(5000, &completes)) << c.name;
        EXPECT_EQ(renderer_->frames.load(), FfprobeFrames(file)) << c.name;
        EXPECT_EQ(renderer_->bytes.load(), 176 * 144 * 3 / 2);
        ASSERT_EQ(control_->Stop(), S_OK);
        ASSERT_EQ(graph_->RemoveFilter(source.Get()), S_OK);
        EXPECT_EQ(completes, 1);
    }
}

TEST_F(PlaybackPeer, FilesWithoutVideoOrRendererAreRefused)
{
    std::string sound = "ffmpeg -v error -y -f lavfi -i sine=duration=1 -c:a aac " +
                        lumtest::ShellQuoted(root_.path() / "sound.3gp");
    ASSERT_EQ(std::system(sound.c_str()), 0);
    ComPtr<IBaseFilter> source;
    EXPECT_EQ(graph_->AddSourceFilter(L"\\sound.3gp", L"Video Player Source", source.GetAddressOf()),
              VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(graph_->RenderFile(L"\\sound.3gp", nullptr), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(graph_->RenderFile(L"\\missing.3gp", nullptr), VFW_E_UNSUPPORTED_STREAM);

    // A video no free renderer takes.
    Make("clip.3gp", "-t 1 -c:v mpeg4");
    ASSERT_EQ(graph_->RemoveFilter(renderer_), S_OK);
    EXPECT_EQ(graph_->RenderFile(L"\\clip.3gp", nullptr), VFW_E_CANNOT_RENDER);
}

TEST_F(PlaybackPeer, APositionSetBeforeTheRunStartsThereAndStopRewinds)
{
    fs::path file = Make("clip.3gp", "-t 2 -c:v mpeg4 -g 5");
    ASSERT_EQ(graph_->RenderFile(L"\\clip.3gp", nullptr), S_OK);
    LONGLONG at = 10000000;  // one second: frame 15 of 30
    ASSERT_EQ(seeking_->SetPositions(&at, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    int completes = 0;
    EXPECT_TRUE(PlayToEnd(5000, &completes));
    EXPECT_EQ(renderer_->frames.load(), FfprobeFrames(file) / 2);
    ASSERT_EQ(control_->Stop(), S_OK);

    // Stopped: the next run starts from the beginning.
    renderer_->frames = 0;
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_TRUE(PlayToEnd(5000, &completes));
    EXPECT_EQ(renderer_->frames.load(), FfprobeFrames(file));
    EXPECT_EQ(completes, 2);
}

TEST_F(PlaybackPeer, ACutFileIsRefusedOrPlaysWhatCanBeRead)
{
    fs::path file = Make("whole.3gp", "-t 2 -c:v mpeg4 -movflags +faststart");
    std::vector<char> bytes(fs::file_size(file));
    {
        std::ifstream in(file, std::ios::binary);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::ofstream(root_.path() / "cut.3gp", std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));
    HRESULT hr = graph_->RenderFile(L"\\cut.3gp", nullptr);
    if (hr == VFW_E_UNSUPPORTED_STREAM)
        return;
    ASSERT_EQ(hr, S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    int completes = 0;
    EXPECT_TRUE(PlayToEnd(5000, &completes));
    EXPECT_GT(renderer_->frames.load(), 0);
    EXPECT_LT(renderer_->frames.load(), FfprobeFrames(file));
}
