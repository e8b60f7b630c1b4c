#include <gtest/gtest.h>

#include "plat/windows.h"

namespace {

SCROLLINFO Info(UINT mask, int min, int max, UINT page, int pos)
{
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = mask;
    si.nMin = min;
    si.nMax = max;
    si.nPage = page;
    si.nPos = pos;
    return si;
}

TEST(ScrollBarTest, PositionStaysWithinTheRangeLessThePage)
{
    HWND bar = CreateWindowExW(0, L"SCROLLBAR", L"", WS_POPUP | SBS_VERT, 0, 0, 7, 100, nullptr, nullptr, nullptr,
                               nullptr);
    ASSERT_TRUE(bar);
    SCROLLINFO read = Info(SIF_POS, 0, 0, 0, 0);
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &read));  // nothing set yet

    struct Case {
        int pos, expected;
    } cases[] = {{0, 0}, {100, 100}, {197, 197}, {198, 197}, {500, 197}, {-3, 0}};
    SCROLLINFO range = Info(SIF_RANGE | SIF_PAGE, 0, 384, 188, 0);  // 42 + 342 pixels, a 188-pixel page
    SetScrollInfo(bar, SB_CTL, &range, FALSE);
    for (const Case& c : cases) {
        SCROLLINFO si = Info(SIF_POS, 0, 0, 0, c.pos);
        EXPECT_EQ(SetScrollInfo(bar, SB_CTL, &si, TRUE), c.expected) << c.pos;
        SCROLLINFO got = Info(SIF_ALL, 0, 0, 0, 0);
        ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &got));
        EXPECT_EQ(got.nPos, c.expected);
        EXPECT_EQ(got.nMax, 384);
        EXPECT_EQ(got.nPage, 188u);
    }
    // The control's message does the same.
    SCROLLINFO si = Info(SIF_POS, 0, 0, 0, 12);
    EXPECT_EQ(SendMessageW(bar, SBM_SETSCROLLINFO, FALSE, reinterpret_cast<LPARAM>(&si)), 12);
    DestroyWindow(bar);
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &read));
}

TEST(ScrollBarTest, AWindowsOwnBarsAreKeptApart)
{
    HWND bar = CreateWindowExW(0, L"SCROLLBAR", L"", WS_POPUP, 0, 0, 7, 100, nullptr, nullptr, nullptr, nullptr);
    SCROLLINFO vert = Info(SIF_RANGE | SIF_POS, 0, 10, 0, 7);
    SetScrollInfo(bar, SB_VERT, &vert, FALSE);
    SCROLLINFO got = Info(SIF_POS, 0, 0, 0, 0);
    EXPECT_FALSE(GetScrollInfo(bar, SB_CTL, &got));
    EXPECT_FALSE(GetScrollInfo(bar, SB_HORZ, &got));
    ASSERT_TRUE(GetScrollInfo(bar, SB_VERT, &got));
    EXPECT_EQ(got.nPos, 7);
    DestroyWindow(bar);
}

}  // namespace
