#include "scroll_thumbs.h"

#include <gtest/gtest.h>

namespace {

TEST(ScrollThumbTest, ResultViewThumbFollowsThePosition)
{
    const RECT client{0, 0, 7, 146};
    struct Case {
        int min, max, page, pos;
        RECT expected;
    } cases[] = {
        {0, 385, 188, 0, {1, 0, 6, 71}},
        {0, 385, 188, 100, {1, 37, 6, 108}},
        {0, 385, 188, 198, {1, 75, 6, 146}},   // the last position ends at the bottom
        {0, 385, 188, 385, {1, 74, 6, 145}},   // past it: pulled back above the bottom
        {0, 0, 0, 0, {1, 0, 6, 146}},          // no range: no division by zero, the thumb fills the bar
        {5, 5, 1, 5, {1, 0, 6, 29}},
    };
    for (const Case& c : cases) {
        RECT r = BcrThumbRect(client, c.min, c.max, c.page, c.pos);
        EXPECT_EQ(r.left, c.expected.left) << c.pos;
        EXPECT_EQ(r.top, c.expected.top) << c.min << " " << c.max << " " << c.pos;
        EXPECT_EQ(r.right, c.expected.right);
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.min << " " << c.max << " " << c.pos;
    }
}

TEST(ScrollThumbTest, GalleryThumbStandsForThePage)
{
    const RECT track{234, 53, 241, 348};  // 295 high
    struct Case {
        int pages, current;
        double top, bottom;
    } cases[] = {
        {1, 0, 0, 295},          // one page: the whole track
        {0, 0, 0, 295},          // no pages count as one
        {3, 0, 0, 295.0 / 3},
        {3, 1, 295.0 / 3, 2 * 295.0 / 3},
        {3, 2, 295 - 295.0 / 3, 295},
        {3, 7, 295 - 295.0 / 3, 295},
        {4, -1, 0, 295.0 / 4},   // never above the track
    };
    for (const Case& c : cases) {
        SkinThumb t = SkinThumbFor(track, c.pages, c.current);
        EXPECT_DOUBLE_EQ(t.top, c.top) << c.pages << "/" << c.current;
        EXPECT_DOUBLE_EQ(t.bottom, c.bottom) << c.pages << "/" << c.current;
        EXPECT_EQ(t.left, 235);
        EXPECT_EQ(t.right, 239);
    }
}

TEST(ScrollThumbTest, ADroppedThumbGivesItsPage)
{
    struct Case {
        double top;
        int height, pages, page;
    } cases[] = {
        {0, 295, 3, 0},  {97.9, 295, 3, 0}, {98, 295, 3, 1},  {290, 295, 3, 2},
        {-4, 295, 3, 0}, {50, 2, 5, 4},     {0.5, 2, 5, 0},   // a track shorter than the page count
    };
    for (const Case& c : cases)
        EXPECT_EQ(SkinPageAt(c.top, c.height, c.pages), c.page) << c.top << " " << c.height << " " << c.pages;
}

}  // namespace
