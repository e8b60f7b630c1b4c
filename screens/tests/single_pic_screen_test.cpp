#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app_messages.h"
#include "draw_context.h"
#include "frame_application.h"
#include "layout_manager.h"
#include "neighbour_doubles.h"
#include "plat/gdi.h"
#include "recognition_fixture.h"
#include "settings.h"
#include "single_pic_gui.h"

namespace {

// The application object: counts the program's ends.
class CountingApp : public CFrameApplication {
public:
    void FillBlackClose() override { ++closes; }
    void FillBlackClose2() override { ++closes; }
    void ResetAutoOff(int) override {}
    void SaveNotifyOptions(BOOL) override {}
    void SaveActionMethod(BOOL) override {}
    void ShowBlackWnd() override {}
    void HideBlackWnd() override {}
    void LockMotionSensor(BOOL) override {}
    int closes = 0;
};

class SinglePicScreen : public RecognitionFixture {
protected:
    void SetUp() override
    {
        RecognitionFixture::SetUp();
        frame->SetApplication(&app);
        screen = CReviewSingleGUI::GetInstance();
        screen->OnOpen();
        doubles::Clear();
    }
    void TearDown() override
    {
        CReviewSingleGUI::ReleaseInstance();
        CSinglePicBaseGUI::ReleaseInstance();
        frame->SetApplication(nullptr);
        RecognitionFixture::TearDown();
    }
    void Down(int x, int y) { screen->OnLButtonDown(POINT{x, y}, 0); }
    void Move(int x, int y) { screen->OnMouseMove(POINT{x, y}, 0); }
    void Up(int x, int y) { screen->OnLButtonUp(POINT{x, y}, 0); }
    int Count(const std::string& call)
    {
        int n = 0;
        for (const std::string& c : doubles::Calls())
            n += c == call;
        return n;
    }

    CountingApp app;
    CReviewSingleGUI* screen = nullptr;
};

TEST_F(SinglePicScreen, AnUnrecognisedCardEndsInThePreviewWithPopup7)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    RunScreenAndPump({Card(2)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_CLEANUP});
    EXPECT_TRUE(Called("CMainFrame::ShowPopup(7)"));
    EXPECT_TRUE(Called("CCameraControl::ResetPreview(1)"));
    EXPECT_FALSE(Exists(L"B1.jpg"));
    EXPECT_EQ(run.goToPreview.load(), 1);
    // The restarted preview then switches back to the camera screen.
    screen->OnCommand(CMD_PREVIEW_STARTED, 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_SINGLE));
}

TEST_F(SinglePicScreen, ARecognisedCardIsHandedToTheResultView)
{
    Name(0, WriteBmp(L"B1.jpg", 64, 48));
    RunScreenAndPump({Card(3)});

    EXPECT_EQ(finalCommands, std::vector<DWORD>{CMD_STILL_GO_RESULT});
    EXPECT_EQ(resultMessages, 1);
    EXPECT_FALSE(Called("CCameraControl::ResetPreview(1)"));
    EXPECT_NE(frame->m_slots[0].items, nullptr);
}

TEST_F(SinglePicScreen, CancelButtonReleasedOutsideLeavesTheRunGoing)
{
    Down(150, 170);
    EXPECT_EQ(run.cancelPressed.load(), 1);
    EXPECT_EQ(Count("CHapticControl::PlayEffectA()"), 1);
    Up(20, 20);
    EXPECT_EQ(run.cancelPressed.load(), 0);
    EXPECT_EQ(run.stop.load(), 0);
    EXPECT_EQ(run.canceled.load(), 0);
    EXPECT_EQ(run.continueFlag.load(), 1);
    EXPECT_EQ(Count("CHapticControl::PlayEffectB()"), 1);
    EXPECT_FALSE(Called("CCameraControl::ResetPreview(1)"));
}

TEST_F(SinglePicScreen, CancelButtonReleasedOnItStopsTheRun)
{
    struct Case {
        const char* what;
        DWORD orientation;
        POINT down, up;  // as the panel reports them
    };
    const Case cases[] = {
        {"upright", DMDO_270, {150, 170}, {290, 160}},
        // At code 1 the panel's points are turned half round: (300, 70) is (100, 170).
        {"turned half round", DMDO_90, {300, 70}, {300, 70}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetOrientation(c.orientation);
        run.Reset();
        doubles::Clear();
        frame->m_bCancelRequested = 0;
        Down(c.down.x, c.down.y);
        Up(c.up.x, c.up.y);
        EXPECT_EQ(run.stop.load(), 1);
        EXPECT_EQ(run.canceled.load(), 1);
        EXPECT_EQ(run.continueFlag.load(), 0);
        EXPECT_EQ(frame->m_bCancelRequested.load(), 1);
        EXPECT_TRUE(Called("CCommonControl::ClearAutoShotRect()"));
        EXPECT_TRUE(Called("CCameraControl::ResetPreview(1)"));
    }
    SetOrientation(DMDO_270);
}

TEST_F(SinglePicScreen, TheExitButtonFollowsThePenAndExitsOnceOnRelease)
{
    Down(370, 20);
    EXPECT_EQ(screen->m_nButtonState[0], kButtonPressed);
    Move(200, 120);
    EXPECT_EQ(screen->m_nButtonState[0], kButtonFingerOff);
    Move(380, 30);
    EXPECT_EQ(screen->m_nButtonState[0], kButtonPressed);
    Up(380, 30);
    Up(380, 30);
    EXPECT_EQ(app.closes, 1);
    EXPECT_EQ(run.canceled.load(), 1);
}

TEST_F(SinglePicScreen, AFullSeriesLeavesTheExitButtonAlone)
{
    frame->m_options.singleMultiMode = 0;
    frame->m_nShotCount = 19;
    Down(370, 20);
    Up(370, 20);
    EXPECT_EQ(screen->m_nButtonState[0], kButtonNormal);
    EXPECT_EQ(app.closes, 0);
}

TEST_F(SinglePicScreen, PopupButtonsActOnlyWhenPressedAndReleasedOnThem)
{
    frame->m_nPopupType = POPUP_CALL;
    frame->m_bPopupShown = 1;
    frame->m_nPopupButtonStyle = 2;
    Down(150, 170);  // the left button
    EXPECT_EQ(frame->m_bPopupLeftPressed, 1);
    Up(150, 170);
    EXPECT_EQ(Count("CMainFrame::ProcessPopupLBtn()"), 1);
    Down(250, 170);
    Up(20, 20);  // released away from it
    EXPECT_EQ(frame->m_bPopupRightPressed, 0);
    EXPECT_EQ(Count("CMainFrame::ProcessPopupRBtn()"), 0);
    // With a popup up the cancel button under it takes no press.
    EXPECT_EQ(run.cancelPressed.load(), 0);
}

// A series shot is saved and the screen goes back for the next one; once the
// series bar asks for the set to be read, the stop starts its recognition.
TEST_F(SinglePicScreen, ASeriesIsReadWhenItsBarAsksNotAfterEachShot)
{
    struct Case {
        const char* name;
        int readTheSet;  // the series bar's request
        bool saved;
        bool recognised;
    } cases[] = {{"a shot of the series", 0, true, false}, {"the set asked for", 1, false, true}};
    frame->m_options.singleMultiMode = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Name(0, WriteBmp(L"B1.jpg", 64, 48));
        Name(1, WriteBmp(L"B2.jpg", 64, 48));
        frame->m_nShotCount = 2;
        frame->m_nCurrentSlot = 2;
        frame->m_bSeriesComplete = 0;
        frame->m_bPreRecognition = c.readTheSet;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_START_RECOGNITION, WM_START_RECOGNITION, PM_REMOVE)) {
        }
        doubles::Clear();
        screen->OnCommand(CMD_PREVIEW_STOPED, 0);
        EXPECT_EQ(Called("CShotControl::SaveAllShots()"), c.saved);
        EXPECT_EQ(PeekMessageW(&msg, nullptr, WM_START_RECOGNITION, WM_START_RECOGNITION, PM_REMOVE) != 0,
                  c.recognised);
        EXPECT_EQ(frame->m_bSeriesComplete.load(), c.recognised ? 1 : 0);
    }
}

// Back to the preview for the next shot of a series: the next still names
// the next slot, so no shot overwrites an earlier one.
TEST_F(SinglePicScreen, EachNextShotOfASeriesNamesTheNextSlot)
{
    frame->m_options.singleMultiMode = 0;
    for (int shots = 1; shots <= 2; ++shots) {
        screen->OnCommand(CMD_STILL_GOBACK_PREVIEW, 0);
        EXPECT_EQ(frame->m_nShotCount, shots);
        EXPECT_EQ(frame->m_nCurrentSlot, shots);
    }
}

TEST_F(SinglePicScreen, OpeningInSingleShotModeDisablesAllButExit)
{
    frame->m_options.singleMultiMode = 1;
    run.canceled = 1;
    screen->OnOpen();
    EXPECT_EQ(screen->m_nButtonState[0], kButtonNormal);
    for (int i = 1; i < kSideButtons; ++i)
        EXPECT_EQ(screen->m_nButtonState[i], kButtonDisabled) << i;
    EXPECT_EQ(run.canceled.load(), 0);
    EXPECT_EQ(run.continueFlag.load(), 1);
    EXPECT_EQ(run.preparing.load(), 1);
    EXPECT_EQ(frame->m_nView.load(), VIEW_SINGLE_PICTURE);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_SINGLE));
    EXPECT_TRUE(Called("CCameraControl::StopPreview()"));
}

// ---- drawing ------------------------------------------------------------------------

class SinglePicDrawing : public SinglePicScreen {
protected:
    // Layer 1 (and 2) painted on a fresh landscape canvas of the key colour.
    struct Painted {
        Canvas canvas{400, 240, 0x7C1F};
        std::vector<plat::TextCall> texts;
    };
    void Paint(Painted& p, bool popupLayer = false)
    {
        SIZE layout{400, 240};
        CDrawContext dc(&layout);
        dc.Attach(p.canvas.dc);
        plat::RecordTextCalls(p.canvas.dc, true);
        if (popupLayer)
            screen->DrawLayer2(&dc);
        else
            screen->DrawLayer1(&dc);
        p.texts = plat::RecordedTextCalls(p.canvas.dc);
    }
};

TEST_F(SinglePicDrawing, HalfWayFillsColumns103To199Only)
{
    Name(0, L"B1.jpg");
    run.lastProgressPercent = 50;
    Painted p;
    Paint(p);
    const uint16_t fill = p.canvas.At(103, 133);
    for (int x = 103; x <= 199; ++x)
        EXPECT_EQ(p.canvas.At(x, 133), fill) << x;
    // The track shows on either side of the filled columns.
    EXPECT_NE(p.canvas.At(102, 133), fill);
    EXPECT_NE(p.canvas.At(200, 133), fill);
}

TEST_F(SinglePicDrawing, CaptionsFollowTheModeAndThePicture)
{
    Name(0, L"B1.jpg");
    struct Case {
        int series, shots, current, preparing;
        std::wstring expected;  // after the caption string
    };
    const std::wstring caption = CLayoutManager::GetInstance()->GetString(3);
    const std::wstring preparing = CLayoutManager::GetInstance()->GetString(5);
    const Case cases[] = {
        {0, 0, 0, 0, caption},
        {1, 4, 1, 0, caption + L" (2/4)"},
        {1, 1, 0, 0, caption},
        {0, 0, 0, 1, preparing},
    };
    for (const Case& c : cases) {
        frame->m_options.singleMultiMode = c.series ? 0 : 1;
        frame->m_bSeriesComplete = 1;
        frame->m_nShotCount = c.shots;
        run.currentPicture = c.current;
        run.preparing = c.preparing;
        Painted p;
        Paint(p);
        bool found = false;
        for (const plat::TextCall& t : p.texts)
            found = found || t.text == c.expected;
        EXPECT_TRUE(found) << c.series << " " << c.shots;
    }
}

TEST_F(SinglePicDrawing, TheFocusImageShowsForKnownIndicatorsOnly)
{
    frame->m_options.singleMultiMode = 0;
    frame->m_bSeriesComplete = 0;
    frame->m_options.bcrOcrMode = 0;
    Painted none, focused, unknown;
    frame->m_nFocusIndicator = 0;
    Paint(none);
    frame->m_nFocusIndicator = 2;
    Paint(focused);
    frame->m_nFocusIndicator = 5;
    Paint(unknown);
    int differ = 0, unknownMarks = 0;
    for (int y = 102; y < 137; ++y)
        for (int x = 148; x < 199; ++x) {
            differ += none.canvas.At(x, y) != focused.canvas.At(x, y);
            unknownMarks += unknown.canvas.At(x, y) != 0x7C1F;
        }
    EXPECT_GT(differ, 0);
    EXPECT_EQ(unknownMarks, 0);
}

TEST_F(SinglePicDrawing, PopupMessageLinesAndSlotMarks)
{
    frame->m_nPopupType = POPUP_LOW_BATTERY;
    frame->m_nPopupMultiLine = 1;
    std::wcscpy(frame->m_szPopupText1, L"one\ntwo");
    Painted two;
    Paint(two, true);
    std::vector<int> ys;
    for (const plat::TextCall& t : two.texts)
        if (t.text == L"one" || t.text == L"two")
            ys.push_back(t.at.y);
    ASSERT_EQ(ys.size(), 2u);
    EXPECT_EQ(frame->m_bLayerDrawn, 1);

    // Popup 7 over a run shows the slots' marks instead of lines.
    frame->m_nPopupType = POPUP_RECOG_FAIL;
    Name(0, L"B1.jpg");
    Painted marks;
    Paint(marks, true);
    for (const plat::TextCall& t : marks.texts)
        EXPECT_NE(t.text, L"one");
    EXPECT_NE(marks.canvas.At(96 + 9, 92 + 12), 0x7C1F);
    EXPECT_NE(marks.canvas.At(96 + 21 * 9 + 9, 118 + 12), 0x7C1F);
}

}  // namespace
