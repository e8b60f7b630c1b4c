// Recordings made through the capture graph control, read back by ffprobe
// and decoded by ffmpeg, and by the picture road against ffmpeg.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ImageDecoder.h"
#include "app_messages.h"
#include "camcorder_test_support.h"
#include "dshow_control.h"
#include "lumtest/command.h"
#include "lumtest/tempdir.h"
#include "plat/dshow_camcorder.h"
#include "plat/file.h"

namespace fs = std::filesystem;

namespace {

class CamcorderPeer : public camcorder_test::CamcorderFixture {
protected:
    static std::string Probe(const fs::path& file, const std::string& entries, const std::string& select = "")
    {
        std::string out = lumtest::CommandOutput("ffprobe -v error " + select + " -show_entries " + entries +
                                                 " -of csv=p=0 " + lumtest::ShellQuoted(file));
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return out;
    }
    // What ffmpeg says while decoding every frame: empty when all is clean.
    static std::string DecodeErrors(const fs::path& file)
    {
        return lumtest::CommandOutput("ffmpeg -v error -i " + lumtest::ShellQuoted(file) + " -f null - 2>&1");
    }
};

}  // namespace

TEST_F(CamcorderPeer, ARecordingIsA3gpWithMpeg4AtTheChosenSizeAndSoundOfTheRecordedLength)
{
    CDShowControl* c = OpenCamcorder(RESOLUTION_320_240);
    ASSERT_EQ(c->StartRecording(L"\\take.3gp"), S_OK);
    Advance(2000);
    ASSERT_EQ(c->PauseRecording(), S_OK);
    Advance(1000);
    ASSERT_EQ(c->ResumeRecording(), S_OK);
    Advance(1000);
    const LONGLONG seconds = c->GetRecordedSeconds();
    ASSERT_EQ(c->StopRecording(), S_OK);
    Advance(100);
    Events();
    EXPECT_EQ(seconds, 3);
    const fs::path file = HostPath(L"\\take.3gp");
    EXPECT_NE(Probe(file, "format_tags=major_brand").find("3g"), std::string::npos);
    EXPECT_EQ(Probe(file, "stream=codec_name,width,height", "-select_streams v"), "mpeg4,320,240");
    EXPECT_FALSE(Probe(file, "stream=codec_name", "-select_streams a").empty());
    // Within a frame (15 per second) of the time recorded, the pause left out.
    const double video = std::atof(Probe(file, "stream=duration", "-select_streams v").c_str());
    EXPECT_NEAR(video, 3.0, 1.0 / 15 + 1e-6);
    EXPECT_EQ(DecodeErrors(file), "");
}

// Once a recording pauses or stops, its file is whole and let go: anything may
// open it, even alone, while the camcorder stays open; a resume takes it back.
TEST_F(CamcorderPeer, AStoppedOrPausedRecordingOpensWhileTheCamcorderStaysOpen)
{
    CDShowControl* c = OpenCamcorder(RESOLUTION_320_240);
    const fs::path file = HostPath(L"\\free.3gp");
    auto openAlone = [] {
        HANDLE h = CreateFileW(L"\\free.3gp", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool opened = h != INVALID_HANDLE_VALUE;
        if (opened) CloseHandle(h);
        return opened;
    };
    ASSERT_EQ(c->StartRecording(L"\\free.3gp"), S_OK);
    Advance(1000);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_STARTED}));
    EXPECT_FALSE(openAlone()) << "the recording holds its file";
    ASSERT_EQ(c->PauseRecording(), S_OK);
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_PAUSED}));
    EXPECT_TRUE(openAlone()) << "paused";
    EXPECT_EQ(DecodeErrors(file), "");
    ASSERT_EQ(c->ResumeRecording(), S_OK);
    Advance(1000);
    ASSERT_EQ(c->StopRecording(), S_OK);
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_STOPED}));
    EXPECT_TRUE(openAlone()) << "stopped";
    // The part after the resume is in the file the pause let go.
    const double video = std::atof(Probe(file, "stream=duration", "-select_streams v").c_str());
    EXPECT_NEAR(video, 2.0, 1.0 / 15 + 1e-6);
    EXPECT_EQ(DecodeErrors(file), "");
}

TEST_F(CamcorderPeer, TheFirstFrameReadsThroughThePictureRoadAsFfmpegReadsIt)
{
    CDShowControl* c = OpenCamcorder(RESOLUTION_320_240);
    ASSERT_EQ(c->StartRecording(L"\\first.3gp"), S_OK);
    Advance(1000);
    ASSERT_EQ(c->StopRecording(), S_OK);
    Advance(100);
    Events();
    CloseCamcorder();  // the recording's file is let go
    DWORD layout = kFrameDecoderOwn;
    VideoFrame frame{};
    int w = 0, h = 0;
    ASSERT_EQ(CImageDecoder::GetInstance()->DecodeFile(L"\\first.3gp", 320, 240, &layout, &frame, &w, &h, nullptr,
                                                       TRUE),
              S_OK);
    EXPECT_EQ(layout, static_cast<DWORD>(kFrameYCbCr420));
    ASSERT_EQ(w, 320);
    ASSERT_EQ(h, 240);

    // ffmpeg's full-range planes are Y, Cb, Cr; the camera layout's are Y, Cr, Cb.
    const fs::path raw = HostPath(L"\\first.raw");
    const std::string cmd = "ffmpeg -v error -y -i " + lumtest::ShellQuoted(HostPath(L"\\first.3gp")) +
                            " -frames:v 1 -pix_fmt yuvj420p -f rawvideo " + lumtest::ShellQuoted(raw);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    std::ifstream in(raw, std::ios::binary);
    const std::vector<uint8_t> ref{std::istreambuf_iterator<char>(in), {}};
    const size_t n = 320 * 240;
    ASSERT_EQ(ref.size(), n * 3 / 2);
    const uint8_t* ours[3] = {frame.mPlane[0], frame.mPlane[0] + n + n / 4, frame.mPlane[0] + n};
    const uint8_t* theirs[3] = {ref.data(), ref.data() + n, ref.data() + n + n / 4};
    const size_t sizes[3] = {n, n / 4, n / 4};
    for (int p = 0; p < 3; ++p) {
        int worst = 0;
        for (size_t i = 0; i < sizes[p]; ++i)
            worst = std::max(worst, std::abs(int(ours[p][i]) - int(theirs[p][i])));
        EXPECT_LE(worst, 1) << "plane " << p;  // the range widening's rounding
    }
    FreeVideoFrame(&frame);
}

TEST_F(CamcorderPeer, AFileCutByAFailedWriteStaysReadable)
{
    CDShowControl* c = OpenCamcorder();
    plat::FailMuxWritesAfter(12000);
    ASSERT_EQ(c->StartRecording(L"\\cut.3gp"), S_OK);
    Advance(3000);
    Events();
    const fs::path file = HostPath(L"\\cut.3gp");
    EXPECT_EQ(Probe(file, "stream=codec_name", "-select_streams v"), "mpeg4");
    EXPECT_GT(std::atof(Probe(file, "format=duration").c_str()), 0.0);
    EXPECT_EQ(DecodeErrors(file), "");
}

// A recording process killed mid-way leaves nothing, or a file our player
// either plays or refuses: never one that brings the player down.
TEST(CamcorderKillPeer, ARecordingCutByAKillNeverCrashesThePlayer)
{
    lumtest::TempDir root;
    const std::string camtool = std::string(LUM_BINARY_DIR) + "/bin/camtool";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        execl(camtool.c_str(), camtool.c_str(), "--root", root.path().c_str(), "record", "20", nullptr);
        _exit(127);
    }
    // Real time only bounds the wait for the other process to write.
    fs::path file;
    for (int i = 0; i < 2000 && file.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        for (const auto& entry : fs::recursive_directory_iterator(root.path()))
            if (entry.path().extension() == ".3gp" && entry.file_size() > 20000) file = entry.path();
    }
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    if (file.empty()) return;  // nothing left behind
    std::string devicePath(1, '\\');
    devicePath += fs::relative(file, root.path()).string();
    for (char& c : devicePath)
        if (c == '/') c = '\\';
    std::string command = lumtest::ShellQuoted(camtool);
    command += " --root ";
    command += lumtest::ShellQuoted(root.path());
    command += " play ";
    command += lumtest::ShellQuoted(devicePath);
    command += " > /dev/null 2>&1";
    const int played = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(played)) << "the player died on the cut file";
    EXPECT_LE(WEXITSTATUS(played), 1);
}
