#include "preview_camcorder_gui.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "camcorder_control.h"
#include "ce_container.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "main_frame.h"
#include "message_popup_gui.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "plat/module.h"
#include "preview_doubles.h"
#include "settings.h"

namespace {

bool Called(const std::string& call)
{
    const auto& calls = doubles::Calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

const plat::StringResource kStrings[] = {{1036, L"REC"}};

class CamcorderTest : public PeripheryFixture {
protected:
    void SetUp() override
    {
        PeripheryFixture::SetUp();
        plat::SetProgramStrings(kStrings, std::size(kStrings));
        // Series counter and card guide (the camera's) stay off the indicator.
        CMainFrame::GetInstance()->m_options.singleMultiMode = 1;
        CMainFrame::GetInstance()->m_options.bcrOcrMode = 0;
        CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMCORDER);
        screen = CPreviewCamcorderGUI::GetInstance();
        screen->OnCommand(CMD_PREVIEW_STARTED, 0);
    }
    void TearDown() override
    {
        CPreviewCamcorderGUI::ReleaseInstance();
        CReviewMovieGUI::ReleaseInstance();
        PeripheryFixture::TearDown();
    }
    static DWORD State() { return CCamcorderControl::GetInstance()->GetState(); }
    // The messages waiting in this thread's queue, as (message, wParam).
    static std::vector<std::pair<UINT, WPARAM>> Posted()
    {
        std::vector<std::pair<UINT, WPARAM>> out;
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_MAIN_COMMAND || msg.message == WM_CLOSE)
                out.emplace_back(msg.message, msg.wParam);
            else
                DispatchMessageW(&msg);
        }
        return out;
    }
    // The layer drawn over the key at that many recorded seconds.
    uint16_t IndicatorPixel(long long seconds)
    {
        screens_test::Capture().recordedSeconds = seconds;
        Canvas canvas(400, 240, 0x7C1F);
        CDrawContext dc = LayoutContext(canvas.dc);
        plat::RecordTextCalls(canvas.dc, true);
        screen->DrawLayer2(&dc);
        texts = plat::RecordedTextCalls(canvas.dc);
        const RECT& r = CPreviewCamcorderGUI::IndicatorRect();
        return canvas.At((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    CPreviewCamcorderGUI* screen = nullptr;
    std::vector<plat::TextCall> texts;
};

TEST(CamcorderTime, HoursMinutesSecondsOfTheRecordedTime)
{
    struct Case {
        long long seconds;
        const wchar_t* text;
    } cases[] = {{3725, L"01:02:05"}, {0, L"00:00:00"}, {59, L"00:00:59"}, {-4, L"00:00:00"}, {360000, L"100:00:00"}};
    for (const Case& c : cases)
        EXPECT_EQ(CPreviewCamcorderGUI::ElapsedText(c.seconds), c.text) << c.seconds;
}

TEST_F(CamcorderTest, StartPauseResumeStopThenTheMovieReview)
{
    EXPECT_EQ(State(), RECORD_STATE_IDLE);
    CSettings::GetInstance()->SetReviewSwitch(TRUE);
    screen->OnKeyDown(nullptr, VK_RETURN, 0);
    EXPECT_TRUE(Called("CCamcorderControl::StartRecording()"));
    screen->OnCommand(CMD_RECORDING_STARTED, 0);
    EXPECT_EQ(State(), RECORD_STATE_RECORDING);
    EXPECT_EQ(screen->Root()->IndexOf(screen->RecordControls()), 0);
    EXPECT_EQ(screen->PauseSelection(), 0);

    screen->OnCommand(CMD_RECORDING_PAUSE_RESUME, 0);
    EXPECT_TRUE(Called("CCamcorderControl::PauseRecording()"));
    screen->OnCommand(CMD_RECORDING_PAUSED, 0);
    EXPECT_EQ(State(), RECORD_STATE_PAUSED);
    EXPECT_EQ(screen->PauseSelection(), 1);
    screen->OnCommand(CMD_RECORDING_PAUSE_RESUME, 0);
    EXPECT_TRUE(Called("CCamcorderControl::ResumeRecording()"));

    screen->OnKeyDown(nullptr, VK_RETURN, 0);  // paused: the shutter stops
    EXPECT_TRUE(Called("CCamcorderControl::StopRecording()"));
    screen->OnCommand(CMD_RECORDING_STOPED, 0);
    EXPECT_EQ(State(), RECORD_STATE_STOPPED);
    EXPECT_TRUE(Called("CSoundControl::PlayStopRecording()"));
    EXPECT_TRUE(Called("CDShowControl::StopGraph(0)"));
    EXPECT_TRUE(screen->OpensReview());
    screen->OnCommand(CMD_PREVIEW_STOPED, 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_MOVIE));
}

TEST_F(CamcorderTest, AWriteErrorStopsAndGoesBackToThePreview)
{
    CSettings::GetInstance()->SetReviewSwitch(TRUE);
    screen->OnCommand(CMD_RECORDING_START, 0);
    screen->OnCommand(CMD_RECORDING_STARTED, 0);
    screen->OnCommand(CMD_RECORDING_ERROR_WRITE, 0);
    EXPECT_TRUE(screen->WriteError());
    EXPECT_TRUE(Called("CCamcorderControl::StopRecording()"));
    screen->OnCommand(CMD_RECORDING_STOPED, 0);
    EXPECT_EQ(State(), RECORD_STATE_IDLE);
    EXPECT_FALSE(screen->OpensReview());
    EXPECT_FALSE(Called("CDShowControl::StopGraph(0)"));
    // The next start clears the error.
    screen->OnCommand(CMD_RECORDING_START, 0);
    EXPECT_FALSE(screen->WriteError());
}

TEST_F(CamcorderTest, NoSpaceRefusesTheStartAndEndsARecording)
{
    doubles::State().remainingCapacity = 0;
    screen->OnKeyDown(nullptr, VK_RETURN, 0);
    EXPECT_FALSE(Called("CCamcorderControl::StartRecording()"));
    EXPECT_EQ(CMessagePopupGUI::GetInstance()->CurrentCode(), MSG_NOT_ENOUGH_STORAGE_TO_RECORD);

    doubles::State().remainingCapacity = 1000;
    CMessagePopupGUI::GetInstance()->Hide();
    screen->OnCommand(CMD_RECORDING_STARTED, 0);
    screen->OnCommand(CMD_RECORDING_STOP_BY_SPACECHECKTIMER, 0);
    EXPECT_TRUE(Called("CCamcorderControl::StopRecording()"));
    EXPECT_EQ(State(), RECORD_STATE_IDLE);  // back in the preview
    EXPECT_EQ(CMessagePopupGUI::GetInstance()->CurrentCode(), MSG_NOT_ENOUGH_STORAGE_TO_RECORD);
}

TEST_F(CamcorderTest, ClosingWhileRecordingStopsTheRecordingFirst)
{
    screen->OnCommand(CMD_RECORDING_STARTED, 0);
    Posted();
    screen->OnClose();
    auto posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0], std::make_pair(WM_MAIN_COMMAND, static_cast<WPARAM>(CMD_RECORDING_STOP)));
    screen->OnCommand(CMD_RECORDING_STOP, 0);
    screen->OnCommand(CMD_RECORDING_STOPED, 0);
    posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].first, static_cast<UINT>(WM_CLOSE));
}

TEST_F(CamcorderTest, TheDotShowsOnEvenSecondsThePauseMarkAlways)
{
    EXPECT_EQ(IndicatorPixel(0), 0x7C1F);  // idle: no indicator
    EXPECT_TRUE(texts.empty());
    screen->OnCommand(CMD_RECORDING_STARTED, 0);
    for (long long seconds : {0, 2, 4, 3724})
        EXPECT_NE(IndicatorPixel(seconds), 0x7C1F) << seconds;
    for (long long seconds : {1, 3, 3725})
        EXPECT_EQ(IndicatorPixel(seconds), 0x7C1F) << seconds;
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, L"REC");
    EXPECT_EQ(texts[0].colour, RGB(255, 0, 0));
    EXPECT_EQ(texts[1].text, L"01:02:05");
    screen->OnCommand(CMD_RECORDING_PAUSED, 0);
    for (long long seconds : {1, 2})
        EXPECT_NE(IndicatorPixel(seconds), 0x7C1F) << seconds;
}

// A video has no card to frame nor a series to count: in card and series
// mode nothing is drawn over the idle camcorder's picture.
TEST_F(CamcorderTest, NoCardGuideNorSeriesCounterOverTheVideo)
{
    CMainFrame* frame = CMainFrame::GetInstance();
    for (DWORD autoFocus : {0u, 1u}) {
        frame->m_options.bcrOcrMode = 1;
        frame->m_options.singleMultiMode = 0;
        frame->m_options.enableAutoFocus = autoFocus;
        Canvas canvas(400, 240, 0x7C1F);
        CDrawContext dc = LayoutContext(canvas.dc);
        screen->DrawLayer2(&dc);
        // Where the guide and the counter would be; the controls are on the right.
        int drawn = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 335; ++x)
                drawn += canvas.At(x, y) != 0x7C1F;
        EXPECT_EQ(drawn, 0) << "auto focus " << autoFocus;
    }
}

TEST_F(CamcorderTest, TheCameraPreviewSwitchesToTheCamcorder)
{
    CPreviewCameraGUI::GetInstance()->OnCommand(CMD_TO_CAMCORDER, 0);
    EXPECT_TRUE(Called("CCamcorderControl::EnterCamcorderMode()"));
    CPreviewCameraGUI::ReleaseInstance();
}

TEST_F(CamcorderTest, MenusFollowTheirCommands)
{
    screen->OnCommand(CMD_SIZE_MODE_MMS, 0);
    EXPECT_TRUE(Called("CCamcorderControl::SelectSizeMode(1)"));
    EXPECT_EQ(screen->SizeModeSelection(), 1);
    struct Case {
        DWORD command;
        const char* call;
        int item;
    } cases[] = {
        {0x40016, "CCamcorderControl::SetVideoSize(0, 0x4, 1)", 0},
        {0x40017, "CCamcorderControl::SetVideoSize(0, 0x6, 1)", 1},
        {0x40018, "CCamcorderControl::SetVideoSize(0, 0x7, 1)", 2},
    };
    for (const Case& c : cases) {
        screen->OnCommand(c.command, 0);
        EXPECT_TRUE(Called(c.call)) << c.call;
        EXPECT_EQ(screen->VideoSizeSelection(), c.item);
    }
    screen->OnCommand(CMD_SIZE_MODE_MENU, 0);
    EXPECT_FALSE(screen->Stack()->IsEmpty());
    screen->OnKeyDown(nullptr, VK_HALF_SHUTTER, 0);  // the half shutter closes menus
    EXPECT_TRUE(screen->Stack()->IsEmpty());
}

}  // namespace
