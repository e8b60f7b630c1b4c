// The player side of the capture graph control and the player control:
// refusals, the state word, and files made by ffmpeg played to their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app_messages.h"
#include "camcorder_test_support.h"
#include "dshow_control.h"
#include "lumtest/command.h"
#include "plat/clock.h"
#include "player_control.h"

namespace fs = std::filesystem;

namespace {

// The movie screen's frame slot, as the player hands frames to it.
class FrameSlot : public CPlayerFrameSink {
public:
    void OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height) override
    {
        std::lock_guard lock(lock_);
        ++frames;
        lastWidth = width;
        lastHeight = height;
        lastBytes = bytes;
        first.assign(pixels, pixels + std::min<DWORD>(bytes / 2, 4));
    }
    std::mutex lock_;
    int frames = 0;
    LONG lastWidth = 0, lastHeight = 0;
    DWORD lastBytes = 0;
    std::vector<WORD> first;
};

class Player : public camcorder_test::CamcorderFixture {
protected:
    void SetUp() override
    {
        CamcorderFixture::SetUp();
        CPlayerControl::GetInstance()->SetFrameSink(&slot_);
    }
    void TearDown() override
    {
        CPlayerControl::GetInstance()->SetFrameSink(nullptr);
        CPlayerControl::ReleaseInstance();
        CamcorderFixture::TearDown();
    }

    // A device file written by ffmpeg from its test pattern.
    std::wstring Make(const std::string& name, const std::string& options)
    {
        const fs::path out = HostPath(L"\\") / name;
        const std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=176x144:rate=15 " + options + " " +
                                lumtest::ShellQuoted(out);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return L"\\" + std::wstring(name.begin(), name.end());
    }
    static int FfprobeFrames(const fs::path& file)
    {
        return std::atoi(lumtest::CommandOutput("ffprobe -v error -count_frames -select_streams v -show_entries "
                                                "stream=nb_read_frames -of csv=p=0 " +
                                                lumtest::ShellQuoted(file))
                             .c_str());
    }

    // Plays on the virtual clock until the movie's end is reported (or
    // `limitMs` pass); the commands posted on the way.
    std::vector<DWORD> PlayToEnd(std::uint64_t limitMs)
    {
        std::vector<DWORD> posted;
        const std::uint64_t end = plat::NowMs() + limitMs;
        while (plat::NowMs() < end) {
            for (DWORD command : Events()) posted.push_back(command);
            if (std::find(posted.begin(), posted.end(), CMD_MOVIE_STOPED) != posted.end()) break;
            std::optional<std::uint64_t> due;
            for (int i = 0; i < 200 && !(due = plat::NextVirtualDeadline()); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const std::uint64_t to = due ? std::min(*due, end) : plat::NowMs() + 10;
            plat::AdvanceClock(std::max<std::uint64_t>(to, plat::NowMs() + 1) - plat::NowMs());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a yield to the streaming threads
        }
        return posted;
    }

    FrameSlot slot_;
};

class PlayerPeer : public Player {};

}  // namespace

TEST_F(Player, LongPathsAndClosingWithoutAFile)
{
    StartCamera();
    CDShowControl* c = CDShowControl::GetInstance();
    DWORD duration = 7;
    const std::wstring longest = L"\\" + std::wstring(254, L'm') + L".3gp";
    ASSERT_EQ(longest.size(), 259u);
    const std::wstring tooLong = longest + L"x";
    EXPECT_EQ(c->OpenVideoFile(tooLong.c_str(), &duration), E_FAIL);
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_CAMERA);  // refused before any switch
    EXPECT_EQ(duration, 0u);
    // 259 characters are taken: the switch happens, the missing file then fails.
    EXPECT_TRUE(FAILED(c->OpenVideoFile(longest.c_str(), &duration)));
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_PLAYER);
    EXPECT_EQ(c->CloseVideoFile(), S_OK);
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_NONE);
    EXPECT_EQ(c->GetPlayerGraph(), nullptr);
    EXPECT_EQ(c->CloseVideoFile(), S_OK);  // mode 3: nothing to do
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_NONE);
}

TEST_F(Player, AFailedOpenLeavesTheStateAsItWasAndPostsNothing)
{
    StartCamera();
    CPlayerControl* player = CPlayerControl::GetInstance();
    EXPECT_EQ(player->GetState(), PLAYER_STATE_READY);
    HRESULT paused = E_FAIL;
    WhileClockRuns([&] { paused = player->Pause(); });
    ASSERT_EQ(paused, S_OK);
    EXPECT_EQ(player->GetState(), PLAYER_STATE_PAUSED);
    Posted();
    // A file with no video stream is refused.
    const fs::path text = HostPath(L"\\notes.3gp");
    std::ofstream(text) << "not a video";
    EXPECT_TRUE(FAILED(player->OpenFile(L"\\notes.3gp")));
    EXPECT_EQ(player->GetState(), PLAYER_STATE_PAUSED);
    const std::vector<DWORD> posted = Events();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), CMD_MOVIE_OPENED), 0);
}

TEST_F(PlayerPeer, FilesFromFfmpegPlayEveryFrameToTheMovieScreen)
{
    StartCamera();
    struct Case {
        const char* name;
        const char* options;
        DWORD seconds;
    } cases[] = {
        {"sound.3gp", "-f lavfi -i sine=frequency=440:sample_rate=8000 -t 2 -c:v mpeg4 -c:a aac -ac 1", 2},
        {"silent.mp4", "-t 3 -c:v libx264 -pix_fmt yuv420p", 3},
    };
    CPlayerControl* player = CPlayerControl::GetInstance();
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const std::wstring file = Make(k.name, k.options);
        const int expected = FfprobeFrames(HostPath(file));
        ASSERT_GT(expected, 0);
        {
            std::lock_guard lock(slot_.lock_);
            slot_.frames = 0;
        }
        Posted();
        ASSERT_EQ(player->OpenFile(file.c_str()), S_OK);
        EXPECT_EQ(player->GetDuration(), k.seconds);
        EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_MOVIE_OPENED}));
        ASSERT_EQ(player->Play(), S_OK);
        EXPECT_EQ(player->GetState(), PLAYER_STATE_PLAYING);
        const std::vector<DWORD> posted = PlayToEnd(20000);
        // The end rewinds and stops (reported), then the movie's end.
        EXPECT_EQ(posted, (std::vector<DWORD>{CMD_PREVIEW_STOPED, CMD_MOVIE_STOPED}));
        std::lock_guard lock(slot_.lock_);
        EXPECT_EQ(slot_.frames, expected);
        EXPECT_EQ(slot_.lastWidth, 176);
        EXPECT_EQ(slot_.lastHeight, 144);
        EXPECT_EQ(slot_.lastBytes, 176u * 144u * 2u);
    }
    EXPECT_EQ(player->Close(), S_OK);
    EXPECT_EQ(CDShowControl::GetInstance()->GetMode(), CAPTURE_MODE_NONE);
}
