#include <gtest/gtest.h>

#include "view_rect.h"

namespace {

::testing::AssertionResult SameRect(const RECT& a, const RECT& b)
{
    if (a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "{" << a.left << ", " << a.top << ", " << a.right << ", " << a.bottom
                                         << "} != {" << b.left << ", " << b.top << ", " << b.right << ", "
                                         << b.bottom << "}";
}

struct FitCase {
    int frameW, frameH, picW, picH;
    BOOL enlarge;
    RECT expected;
    double factor;
};

TEST(ViewRect, FittedRectTable)
{
    const FitCase cases[] = {
        {480, 640, 2592, 1944, FALSE, {0, 140, 480, 500}, 480.0 / 2592},  // the width governs
        {320, 240, 160, 120, FALSE, {80, 60, 240, 180}, 1.0},              // smaller: kept, centred
        {320, 240, 160, 120, TRUE, {0, 0, 320, 240}, 2.0},                 // smaller, enlarged
        {320, 240, 320, 240, FALSE, {0, 0, 320, 240}, 1.0},                // exactly the frame
        {481, 100, 480, 50, FALSE, {0, 25, 480, 75}, 1.0},                 // odd difference halves to 0
        {100, 400, 100, 800, FALSE, {25, 0, 75, 400}, 0.5},                // the height governs
    };
    for (const FitCase& c : cases) {
        CViewRect view(c.frameW, c.frameH);
        view.SetViewRect(0, 0, c.picW, c.picH);
        RECT out{};
        ASSERT_TRUE(view.GetFittedRect(&out, c.enlarge));
        EXPECT_TRUE(SameRect(out, c.expected)) << c.frameW << "x" << c.frameH << " " << c.picW << "x" << c.picH;
        EXPECT_DOUBLE_EQ(view.scale, c.factor);
    }
}

TEST(ViewRect, FrameCornerMovesTheResultAndNegativeDifferencesHalveTowardZero)
{
    CViewRect view(RECT{10, 20, 110, 70});
    view.SetViewRect(0, 0, 40, 10);
    RECT out{};
    ASSERT_TRUE(view.GetFittedRect(&out, FALSE));
    EXPECT_TRUE(SameRect(out, RECT{40, 40, 80, 50}));

    CViewRect small(10, 10);
    small.SetViewRect(0, 0, 15, 15);
    small.GetCenteredRect(&out);
    EXPECT_TRUE(SameRect(out, RECT{-2, -2, 13, 13}));  // -5 / 2 = -2
}

TEST(ViewRect, EmptyPictureOrNoOutputLeavesTheOutputAlone)
{
    CViewRect view(100, 100);
    RECT out{1, 2, 3, 4};
    view.SetViewRect(0, 0, 0, 50);
    EXPECT_FALSE(view.GetFittedRect(&out, FALSE));
    EXPECT_TRUE(SameRect(out, RECT{1, 2, 3, 4}));
    view.SetViewRect(0, 0, 50, 50);
    EXPECT_FALSE(view.GetFittedRect(nullptr, FALSE));

    SIZE size{0, 30};
    EXPECT_DOUBLE_EQ(view.FitSize(SIZE{10, 10}, size, TRUE), 1.0);
    EXPECT_EQ(size.cx, 0);
    EXPECT_EQ(size.cy, 30);
}

TEST(ViewRect, CoverAndCropKeepTheFramesProportions)
{
    CViewRect view(200, 100);
    view.SetViewRect(0, 0, 100, 100);
    RECT out{};
    ASSERT_TRUE(view.GetCoverRect(&out));
    EXPECT_TRUE(SameRect(out, RECT{0, 0, 200, 200}));

    ASSERT_TRUE(view.GetCropRect(&out, FALSE));
    EXPECT_TRUE(SameRect(out, RECT{0, 0, 100, 50}));  // largest 2:1 window at the top-left
    EXPECT_TRUE(view.MoveCropRect(0, 80));              // clamped to the picture's bottom
    ASSERT_TRUE(view.GetCropRect(&out, FALSE));
    EXPECT_TRUE(SameRect(out, RECT{0, 50, 100, 100}));
    EXPECT_FALSE(view.MoveCropRect(5, 10));  // already at the edges: nothing moves
    view.SetViewRect(0, 0, 10, 10);
    EXPECT_EQ(view.cropRect, nullptr);
}

TEST(ZoomViewRect, ZoomAboutTheCentreThenPanClampsToTheFrame)
{
    CZoomViewRect view(240, 320);
    RECT picture{0, 0, 240, 240};
    view.SetView(&picture, 1.0);
    EXPECT_TRUE(SameRect(view.zoomRect, RECT{0, 40, 240, 280}));
    EXPECT_TRUE(SameRect(view.baseRect, RECT{0, 40, 240, 280}));

    view.ZoomTo(2.0);
    EXPECT_TRUE(SameRect(view.zoomRect, RECT{-120, -80, 360, 400}));  // covers the frame: unchanged
    EXPECT_DOUBLE_EQ(view.zoom, 2.0);

    POINT far{500, 0};
    EXPECT_TRUE(view.Pan(&far));
    EXPECT_TRUE(SameRect(view.zoomRect, RECT{0, -80, 480, 400}));  // stops at the left edge
    EXPECT_FALSE(view.Pan(&far));                                     // nothing more to move

    view.ZoomTo(0.5);  // smaller than the frame: kept inside it
    POINT up{0, -1000};
    view.Pan(&up);
    EXPECT_EQ(view.zoomRect.top, 0);
    EXPECT_GE(view.zoomRect.left, 0);
    EXPECT_LE(view.zoomRect.right, 240);
}

}  // namespace
