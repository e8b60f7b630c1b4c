#include "shot_mosaic_view.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageUtil.h"
#include "camera_control.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "settings.h"

namespace {

// A flat 4:2:0 frame of one colour.
std::vector<BYTE> FlatFrame(int w, int h, BYTE y, BYTE u, BYTE v)
{
    std::vector<BYTE> frame(static_cast<size_t>(w * h), y);
    frame.insert(frame.end(), static_cast<size_t>(w / 2 * (h / 2)), u);
    frame.insert(frame.end(), static_cast<size_t>(w / 2 * (h / 2)), v);
    return frame;
}

COLORREF PixelOf(HBITMAP bitmap, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

// The colour the frame has once converted, as the display shows it.
COLORREF Converted(const std::vector<BYTE>& frame, int w, int h)
{
    HBITMAP one = CImageUtil::HBITMAPfromYUV420(frame.data(), w, h, 2, 2, 0);
    const COLORREF c = PixelOf(one, 0, 0);
    DeleteObject(one);
    return c;
}

constexpr int kW = 64, kH = 48;
const std::vector<BYTE> kFrames[4] = {FlatFrame(kW, kH, 81, 90, 240), FlatFrame(kW, kH, 145, 54, 34),
                                      FlatFrame(kW, kH, 41, 240, 110), FlatFrame(kW, kH, 210, 16, 146)};

TEST(MosaicGrid, KindsOneTwoAndFour)
{
    using Tiles = std::vector<RECT>;
    struct Case {
        bool guide;
        int kind, w, h;
        Tiles tiles;
    } cases[] = {
        {false, 1, 640, 480, {{0, 0, 320, 480}, {320, 0, 640, 480}}},
        {false, 2, 640, 480, {{0, 0, 640, 240}, {0, 240, 640, 480}}},
        {false, 4, 640, 480, {{0, 0, 320, 240}, {320, 0, 640, 240}, {0, 240, 320, 480}, {320, 240, 640, 480}}},
        {false, 0, 321, 241, {{0, 0, 160, 120}, {160, 0, 321, 120}, {0, 120, 160, 241}, {160, 120, 321, 241}}},
        {true, 1, 400, 240, {{40, 0, 200, 240}, {200, 0, 360, 240}}},
        {true, 2, 400, 240, {{40, 0, 360, 120}, {40, 120, 360, 240}}},
        {true, 3, 400, 240, {{40, 0, 200, 120}, {200, 0, 360, 120}, {40, 120, 200, 240}, {200, 120, 360, 240}}},
        {true, 4, 300, 200, {{40, 0, 200, 120}, {200, 0, 300, 120}, {40, 120, 200, 200}, {200, 120, 300, 200}}},
    };
    for (const Case& c : cases) {
        auto grid = c.guide ? CShotMosaicView::GuideGrid(c.kind, c.w, c.h) : CShotMosaicView::EvenGrid(c.kind, c.w, c.h);
        ASSERT_EQ(grid.size(), c.tiles.size()) << c.kind;
        for (size_t i = 0; i < grid.size(); ++i) {
            const RECT& r = grid[i].rect;
            const RECT& want = c.tiles[i];
            EXPECT_TRUE(r.left == want.left && r.top == want.top && r.right == want.right && r.bottom == want.bottom)
                << (c.guide ? "guide " : "even ") << c.kind << " tile " << i << ": " << r.left << "," << r.top << ","
                << r.right << "," << r.bottom;
            EXPECT_EQ(grid[i].mark, i == 0 ? 1 : 0);
        }
    }
}

class MosaicTest : public PeripheryFixture {
protected:
    static bool Posted(HWND window, UINT message, WPARAM* wParam)
    {
        MSG msg;
        if (!PeekMessageW(&msg, window, message, message, PM_REMOVE))
            return false;
        *wParam = msg.wParam;
        return true;
    }
};

// Each frame lands in its own quarter of the composed picture; the last
// one hands the picture over as a shot and tells the window.
TEST_F(MosaicTest, FourFramesComposeOnePictureAndTheLastMakesAShot)
{
    CShotMosaicView view;
    ASSERT_EQ(view.Setup(4, RECT{0, 0, 400, 240}, 640, 480), 1);
    EXPECT_EQ(view.GetTileCount(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(doubles::Calls().empty() || doubles::Calls().back() != "CShotControl::CreateShot()");
        ASSERT_EQ(view.AddFrame(kFrames[i].data(), kW, kH), 1) << i;
        EXPECT_EQ(view.GetTileIndex(), i + 1);
    }
    EXPECT_EQ(doubles::Calls().back(), "CShotControl::CreateShot()");
    EXPECT_EQ(view.ComposedBitmap(), nullptr) << "the shot owns the picture";
    auto shot = static_cast<HBITMAP>(doubles::State().shotBitmap);
    ASSERT_NE(shot, nullptr);
    const POINT centres[4] = {{160, 120}, {480, 120}, {160, 360}, {480, 360}};
    const POINT corners[4] = {{319, 239}, {320, 239}, {319, 240}, {320, 240}};
    for (int i = 0; i < 4; ++i) {
        const COLORREF want = Converted(kFrames[i], kW, kH);
        EXPECT_EQ(PixelOf(shot, centres[i].x, centres[i].y), want) << "tile " << i;
        EXPECT_EQ(PixelOf(shot, corners[i].x, corners[i].y), want) << "tile " << i << " reaches the middle";
    }
    WPARAM wParam = 0;
    EXPECT_TRUE(Posted(window, WM_SHOT_MOSAIC, &wParam));
    EXPECT_EQ(wParam, 2u);
    EXPECT_EQ(view.AddFrame(kFrames[0].data(), kW, kH), 0) << "every tile is filled";
}

TEST_F(MosaicTest, RefusesWhatItCannotDo)
{
    CShotMosaicView view;
    EXPECT_EQ(view.AddFrame(kFrames[0].data(), kW, kH), 0) << "before a set-up";
    EXPECT_EQ(view.Setup(1, RECT{0, 0, 0, 240}, 640, 480), 0);
    EXPECT_EQ(view.Setup(1, RECT{0, 0, 400, 240}, 0, 480), 0);
    EXPECT_FALSE(view.IsReady());
    ASSERT_EQ(view.Setup(1, RECT{0, 0, 400, 240}, 640, 480), 1);
    EXPECT_EQ(view.PrevTile(), 0) << "no tile before the first";
    EXPECT_EQ(view.AddFrame(nullptr, kW, kH), 0);
    EXPECT_EQ(view.AddFrame(kFrames[0].data(), kW, kH), 1);
    EXPECT_EQ(view.PrevTile(), 0);
    EXPECT_EQ(view.GetTileIndex(), 0);
}

TEST_F(MosaicTest, FinishSavesTheShotsOrOpensTheReview)
{
    CSettings* settings = CSettings::GetInstance();
    settings->AddGUIStatus(GUI_STATUS_CAPTURING);
    CShotMosaicView view;
    view.Setup(2, RECT{0, 0, 400, 240}, 640, 480);
    doubles::Clear();
    view.Finish();
    EXPECT_FALSE(view.IsReady());
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_CAPTURING));
    EXPECT_EQ(doubles::Calls(), (std::vector<std::string>{"CCameraControl::SetState(256)", "CShotControl::SaveAllShots()",
                                                           "CShotControl::ReleaseShots()", "CCameraControl::SetState(1)"}));
}

// ---- Look ----

TEST_F(PeripheryLook, Mosaic)
{
    auto paint = [&](CDrawContext& dc) {
        // The filled tiles are kept turned for the display code of the set-up.
        CShotMosaicView view;
        view.Setup(4, RECT{0, 0, 400, 240}, 640, 480);
        view.AddFrame(kFrames[0].data(), kW, kH);
        view.Draw(&dc);
    };
    look::Result r = look::Run("mosaic", window, paint);
    EXPECT_EQ(r.farPixels, 0);
    ExpectColour(r, 120, 60, Converted(kFrames[0], kW, kH));  // the filled tile
    ExpectColour(r, 201, 60, kMosaicFrameColour);             // the current tile's frame
    ExpectColour(r, 280, 60, look::Pattern(280, 60));         // the current tile shows the live preview
    // Tiles to come show the pack's blank screen, not the preview.
    EXPECT_FALSE(look::Near(r.At4(120, 180), look::Pattern(120, 180)));
    EXPECT_EQ(r.At4(120, 180), r.At4(280, 180));
    EXPECT_EQ(r.At0(120, 180), r.At4(120, 180));
    ExpectColour(r, 20, 120, look::Pattern(20, 120));
}

}  // namespace
