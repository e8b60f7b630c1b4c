#include "review_gui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <vector>

#include "ce_button.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "preview_doubles.h"
#include "settings.h"
#include "shot_control.h"

namespace {

namespace fs = std::filesystem;

bool Called(const std::string& call)
{
    const auto& calls = doubles::Calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

class MultiReviewTest : public PeripheryFixture {
protected:
    void TearDown() override
    {
        screens_test::Capture().lastShot = nullptr;
        CReviewMultiCapturedGUI::ReleaseInstance();
        PeripheryFixture::TearDown();
    }
};

TEST_F(MultiReviewTest, CaptionHoldsTheCountTheCurrentIndexAndTheLastName)
{
    EXPECT_EQ(CReviewMultiCapturedGUI::Caption(), L"");
    FlatShot shot(L"B261210003.jpg", RGB(200, 40, 40), 64, 48);
    screens_test::Capture().lastShot = &shot;
    doubles::State().shotCount = 3;
    CShotControl::GetInstance()->NextShot();
    CShotControl::GetInstance()->NextShot();
    EXPECT_EQ(CReviewMultiCapturedGUI::Caption(), L"(3/2) B261210003.jpg");
}

TEST_F(MultiReviewTest, WithoutShotsNothingIsDrawn)
{
    CReviewMultiCapturedGUI* screen = CReviewMultiCapturedGUI::GetInstance();
    Canvas canvas(400, 240, 0x7C1F);
    CDrawContext dc = LayoutContext(canvas.dc);
    plat::RecordTextCalls(canvas.dc, true);
    screen->DrawLayer0(&dc);
    screen->DrawLayer1(&dc);
    for (int y = 0; y < 240; y += 40)
        for (int x = 0; x < 400; x += 40)
            EXPECT_EQ(canvas.At(x, y), 0x7C1F) << x << "," << y;
    EXPECT_TRUE(plat::RecordedTextCalls(canvas.dc).empty());
}

TEST_F(MultiReviewTest, OpenAndCloseSwitchWithTheCamera)
{
    CSettings* settings = CSettings::GetInstance();
    settings->AddGUIStatus(GUI_STATUS_CAMERA);
    CReviewMultiCapturedGUI* screen = CReviewMultiCapturedGUI::GetInstance();
    screen->OnOpen();
    EXPECT_EQ(settings->GetActiveGUI(), screen);
    screen->OnClose();
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_REVIEW_MULTI));
}

class MovieReviewTest : public PeripheryFixture {
protected:
    void TearDown() override
    {
        CReviewMovieGUI::ReleaseInstance();
        PeripheryFixture::TearDown();
    }
    // A recording of that many bytes, named as the current movie.
    void PutRecording(size_t bytes)
    {
        const fs::path dir = root.path() / "My Documents" / "KVIM" / "100QZPIX";
        fs::create_directories(dir);
        std::ofstream(dir / "QVT0001.3gp", std::ios::binary) << std::string(bytes, '\0');
        std::wcscpy(CSettings::GetInstance()->CurrentOcrPicturePath(), L"\\My Documents\\KVIM\\100QZPIX\\QVT0001.3gp");
    }
    static std::vector<WORD> Frame(LONG w, LONG h, WORD colour) { return std::vector<WORD>(static_cast<size_t>(w * h), colour); }
};

TEST_F(MovieReviewTest, TheMmsButtonFollowsTheClipSizeInWholeKilobytes)
{
    struct Case {
        size_t bytes;
        int state;
    } cases[] = {{303103, CE_NORMAL}, {303104, CE_DISABLED}, {1, CE_NORMAL}};
    EXPECT_EQ(CReviewMovieGUI::GetInstance()->ButtonState(kMovieMms), CE_HIDDEN);
    for (const Case& c : cases) {
        PutRecording(c.bytes);
        CReviewMovieGUI* screen = CReviewMovieGUI::GetInstance();
        screen->OnCommand(CMD_MOVIE_OPENED, 0);
        EXPECT_EQ(screen->ButtonState(kMovieMms), c.state) << c.bytes;
        EXPECT_EQ(screen->ButtonState(kMoviePlay), CE_NORMAL);
        EXPECT_EQ(screen->ButtonState(kMovieStop), CE_NORMAL);
        screen->OnCommand(CMD_MOVIE_STOPED, 0);
        EXPECT_EQ(screen->ButtonState(kMovieMms), c.state) << c.bytes;
        EXPECT_EQ(screen->PlayLook(), kMovieLookStopped);
    }
}

TEST_F(MovieReviewTest, TheFrameBufferGrowsOnlyWhenTheFrameSizeChanges)
{
    PutRecording(1000);
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMCORDER);
    CReviewMovieGUI* screen = CReviewMovieGUI::GetInstance();
    screen->OnOpen();
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_MOVIE));
    EXPECT_TRUE(Called("CPlayerControl::SetFrameSink(screen)"));
    struct Step {
        LONG w, h;
        int allocations;
    } steps[] = {{320, 240, 1}, {320, 240, 1}, {176, 144, 2}, {176, 144, 2}, {320, 240, 3}};
    for (const Step& s : steps) {
        const std::vector<WORD> frame = Frame(s.w, s.h, 0x1234);
        screen->OnPlayerFrame(frame.data(), static_cast<DWORD>(frame.size() * 2), s.w, s.h);
        EXPECT_EQ(screen->FrameAllocations(), s.allocations) << s.w;
        EXPECT_EQ(screen->FrameBufferSize(), frame.size() * 2 + 100) << s.w;
    }
    // A frame too short for its size is refused.
    const std::vector<WORD> shortFrame = Frame(10, 10, 0);
    screen->OnPlayerFrame(shortFrame.data(), 100, 176, 144);
    EXPECT_EQ(screen->FrameAllocations(), 3);

    screen->OnCommand(0x10006, 0);
    EXPECT_TRUE(Called("CCommonControl::SetGraphMode(1)"));
    EXPECT_TRUE(Called("CPlayerControl::SetFrameSink(none)"));
    // After the close no frame is taken.
    const std::vector<WORD> late = Frame(100, 100, 0);
    screen->OnPlayerFrame(late.data(), 20000, 100, 100);
    EXPECT_EQ(screen->FrameAllocations(), 3);
}

TEST_F(MovieReviewTest, ReturnPlaysAndPausesAndTheReportsSetTheLook)
{
    PutRecording(1000);
    CReviewMovieGUI* screen = CReviewMovieGUI::GetInstance();
    screen->OnOpen();
    screen->OnKeyUp(nullptr, VK_RETURN, 0);
    EXPECT_TRUE(Called("CPlayerControl::Play()"));
    EXPECT_EQ(screen->PlayLook(), kMovieLookPlayed);
    screen->OnKeyUp(nullptr, VK_RETURN, 0);
    EXPECT_TRUE(Called("CPlayerControl::Pause()"));
    doubles::Clear();
    screen->OnCommand(CMD_MOVIE_PAUSE_RESUME, 0);
    EXPECT_TRUE(Called("CPlayerControl::Play()"));
    screen->OnCommand(CMD_PREVIEW_STARTED, 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMCORDER));
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_MOVIE));
}

}  // namespace
