#include <gtest/gtest.h>

#include <cwchar>

#include "ce_control.h"
#include "draw_context.h"
#include "look_helper.h"
#include "main_frame.h"
#include "recognition_fixture.h"
#include "single_pic_gui.h"

namespace {

// The camera screens' looks, drawn with the program's own images.
class SingleLook : public RecognitionFixture {
protected:
    void SetUp() override
    {
        RecognitionFixture::SetUp();
        screen = CReviewSingleGUI::GetInstance();
        screen->OnOpen();
        Name(0, WriteBmp(L"B1.jpg", 64, 48));
    }
    void TearDown() override
    {
        CReviewSingleGUI::ReleaseInstance();
        CSinglePicBaseGUI::ReleaseInstance();
        RecognitionFixture::TearDown();
    }
    look::Result Draw(const std::string& name)
    {
        return look::Run(name, window, [this](CDrawContext& dc) {
            screen->DrawLayer0(&dc);
            screen->DrawLayer1(&dc);
            screen->DrawLayer2(&dc);
        });
    }
    static bool Keyed(COLORREF c, int x, int y) { return c == look::Pattern(x, y); }

    CReviewSingleGUI* screen = nullptr;
};

TEST_F(SingleLook, SingleProgress)
{
    run.lastProgressPercent = 50;
    run.preparing = 0;
    const look::Result r = Draw("single-progress");
    ASSERT_GE(r.farPixels, 0);
    EXPECT_EQ(r.farPixels, 0);
    // Panel, track and cancel button cover the camera picture; around them
    // the picture shows through.
    EXPECT_FALSE(Keyed(r.At4(200, 80), 200, 80));
    EXPECT_FALSE(Keyed(r.At4(200, 172), 200, 172));
    EXPECT_TRUE(Keyed(r.At4(40, 220), 40, 220));
    // Half the bar filled: the last filled column and the first empty one differ.
    EXPECT_EQ(r.At4(103, 133), r.At4(199, 133));
    EXPECT_NE(r.At4(199, 133), r.At4(201, 133));
    // The exit button is drawn, the other four in their disabled look.
    EXPECT_FALSE(Keyed(r.At4(374, 24), 374, 24));
}

TEST_F(SingleLook, SinglePopup7)
{
    frame->m_nPopupType = POPUP_RECOG_FAIL;
    frame->m_bPopupShown = 1;
    std::wcscpy(frame->m_szPopupTitle, L"Not recognised");
    std::wcscpy(frame->m_szPopupButton[0], L"OK");
    frame->m_slots[0].resultState = 0;
    frame->m_slots[1].resultState = 1;
    const look::Result r = Draw("single-popup7");
    ASSERT_GE(r.farPixels, 0);
    EXPECT_EQ(r.farPixels, 0);
    // Slot 0 failed, slot 1 recognised, slot 2 not taken: three looks.
    if (!CeLoadImage(10311) || !CeLoadImage(10331) || !CeLoadImage(10351 + 2))
        GTEST_SKIP() << "the slot marks are not drawn yet";
    // Probed beside the digit, inside each mark's border.
    const COLORREF failed = r.At4(96 + 3, 92 + 12);
    const COLORREF recognised = r.At4(117 + 3, 92 + 12);
    const COLORREF idle = r.At4(138 + 3, 92 + 12);
    EXPECT_NE(failed, recognised);
    EXPECT_NE(recognised, idle);
    EXPECT_NE(failed, idle);
    EXPECT_FALSE(Keyed(r.At4(200, 172), 200, 172));  // the OK button
}

}  // namespace
