#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ImageUtil.h"
#include "bitmap_probe.h"

namespace {

using probe::PixelAt;
using probe::SizeOf;

void SetPixelAt(HBITMAP bm, int x, int y, COLORREF c)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    SetPixel(dc, x, y, c);
    SelectObject(dc, old);
    DeleteDC(dc);
}

// A colour per position that survives 5-6-5 (5 bits widened by repeating
// the top bits): (x, y) -> distinct red and blue.
int Wide5(int v) { return v << 3 | v >> 2; }
COLORREF Mark(int x, int y) { return RGB(Wide5(x * 4), 0, Wide5(y * 4)); }

// A 16-bit bitmap of w x h whose every pixel is Mark(x, y).
HBITMAP MarkedBitmap(int w, int h)
{
    HBITMAP bm = CImageUtil::CreateRGB565DIBFromBuffer(nullptr, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetPixelAt(bm, x, y, Mark(x, y));
    return bm;
}

// Where a turned picture's pixel (x, y) comes from, w x h before the turn.
void TurnedFrom(int rotation, int w, int h, int x, int y, int* sx, int* sy)
{
    switch (rotation) {
    case 1: *sx = y; *sy = h - 1 - x; break;  // clockwise
    case 2: *sx = w - 1 - x; *sy = h - 1 - y; break;
    case 3: *sx = w - 1 - y; *sy = x; break;
    default: *sx = x; *sy = y; break;
    }
}

// A camera 4:2:0 frame (Y, Cr, Cb) from a function of the position.
template <class F>
std::vector<BYTE> CameraFrame(int w, int h, F ycbcr)
{
    std::vector<BYTE> f(static_cast<size_t>(w) * h * 3 / 2);
    BYTE* cr = f.data() + w * h;
    BYTE* cb = cr + w * h / 4;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int Y, Cb, Cr;
            ycbcr(x, y, &Y, &Cb, &Cr);
            f[y * w + x] = static_cast<BYTE>(Y);
            cb[(y / 2) * (w / 2) + x / 2] = static_cast<BYTE>(Cb);
            cr[(y / 2) * (w / 2) + x / 2] = static_cast<BYTE>(Cr);
        }
    return f;
}

// A planar 4:2:2 frame (Y, Cb, Cr): top half light, bottom half dark, red.
std::vector<BYTE> Frame422TopLight(int w, int h)
{
    std::vector<BYTE> f(static_cast<size_t>(w) * h * 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            f[y * w + x] = y < h / 2 ? 200 : 40;
    std::memset(f.data() + w * h, 128, static_cast<size_t>(w) * h / 2);      // Cb
    std::memset(f.data() + w * h * 3 / 2, 200, static_cast<size_t>(w) * h / 2);  // Cr
    return f;
}

}  // namespace

TEST(ImageUtil, SectionsHaveTheirSizeDepthAndRowOrder)
{
    void* bits = nullptr;
    HBITMAP dib = CImageUtil::CreateDIB(5, 3, 24, &bits, TRUE);
    ASSERT_TRUE(dib);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(dib, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biHeight, 3);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    DeleteObject(dib);
    EXPECT_FALSE(CImageUtil::CreateDIB(0, 3, 16, &bits, TRUE));
    EXPECT_EQ(bits, nullptr);

    HBITMAP top = CImageUtil::CreateRGB565DIBTopDown(4, 2, &bits);
    ASSERT_EQ(GetObjectW(top, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biHeight, -2);
    EXPECT_EQ(ds.dsBitfields[0], 0xF800u);
    static_cast<WORD*>(bits)[0] = 0xF800;  // first stored row is the top
    EXPECT_EQ(PixelAt(top, 0, 0), RGB(255, 0, 0));
    DeleteObject(top);
}

TEST(ImageUtil, BufferCopyKeepsRowsOfOddWidths)
{
    // Three pixels a row: the section pads each row to 8 bytes.
    const WORD rows[2][3] = {{0xF800, 0x07E0, 0x001F}, {0xFFFF, 0x0000, 0xF800}};
    HBITMAP bm = CImageUtil::CreateRGB565DIBFromBuffer(rows, 3, 2);
    ASSERT_TRUE(bm);
    // Bottom-up: the buffer's first row is the picture's bottom row.
    EXPECT_EQ(PixelAt(bm, 0, 1), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(bm, 2, 1), RGB(0, 0, 255));
    EXPECT_EQ(PixelAt(bm, 0, 0), RGB(255, 255, 255));
    EXPECT_EQ(PixelAt(bm, 2, 0), RGB(255, 0, 0));
    DeleteObject(bm);
}

TEST(ImageUtil, QuarterTurnOfFourByTwoIsClockwise)
{
    // RGB565 and 5-5-5 (BI_RGB) sources both keep their colours.
    for (bool rgb555 : {false, true}) {
        HBITMAP src = rgb555 ? CImageUtil::CreateDIB(4, 2, 16, nullptr, TRUE) : MarkedBitmap(4, 2);
        for (int y = 0; y < 2 && rgb555; ++y)
            for (int x = 0; x < 4; ++x)
                SetPixelAt(src, x, y, Mark(x, y));
        HBITMAP turned = CImageUtil::RotateBitmap90(src);
        ASSERT_TRUE(turned);
        SIZE s = SizeOf(turned);
        EXPECT_EQ(s.cx, 2);
        EXPECT_EQ(s.cy, 4);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 2; ++x) {
                int sx, sy;
                TurnedFrom(1, 4, 2, x, y, &sx, &sy);
                EXPECT_EQ(PixelAt(turned, x, y), Mark(sx, sy)) << rgb555 << ": " << x << "," << y;
            }
        DeleteObject(turned);
        DeleteObject(src);
    }
}

TEST(ImageUtil, RotateBitmapTurnsByCodeAndConsumesTheSource)
{
    for (int rotation = 0; rotation < 4; ++rotation) {
        HBITMAP src = MarkedBitmap(3, 2);
        HBITMAP out = CImageUtil::RotateBitmapRGB16(src, rotation);
        ASSERT_TRUE(out);
        BITMAP gone{};
        EXPECT_EQ(GetObjectW(src, sizeof gone, &gone), 0);
        SIZE s = SizeOf(out);
        ASSERT_EQ(s.cx, rotation & 1 ? 2 : 3);
        ASSERT_EQ(s.cy, rotation & 1 ? 3 : 2);
        for (int y = 0; y < s.cy; ++y)
            for (int x = 0; x < s.cx; ++x) {
                int sx, sy;
                TurnedFrom(rotation, 3, 2, x, y, &sx, &sy);
                EXPECT_EQ(PixelAt(out, x, y), Mark(sx, sy)) << rotation << ": " << x << "," << y;
            }
        DeleteObject(out);
    }
    EXPECT_FALSE(CImageUtil::RotateBitmapRGB16(nullptr, 1));
}

TEST(ImageUtil, DuplicateIsASameSizeCopy)
{
    HBITMAP src = CImageUtil::CreateDIB(3, 2, 24, nullptr, TRUE);
    SetPixelAt(src, 2, 0, RGB(255, 0, 0));
    SetPixelAt(src, 0, 1, RGB(0, 255, 0));
    HBITMAP copy = CImageUtil::DuplicateBitmap(src);
    ASSERT_TRUE(copy);
    SIZE s = SizeOf(copy);
    EXPECT_EQ(s.cx, 3);
    EXPECT_EQ(s.cy, 2);
    EXPECT_EQ(PixelAt(copy, 2, 0), RGB(255, 0, 0));
    EXPECT_EQ(PixelAt(copy, 0, 1), RGB(0, 255, 0));
    EXPECT_EQ(PixelAt(copy, 1, 1), RGB(0, 0, 0));
    DeleteObject(copy);
    DeleteObject(src);
    EXPECT_FALSE(CImageUtil::DuplicateBitmap(src));
}

TEST(ImageUtil, ScaledRectCentresOrFitsByProportions)
{
    struct Case {
        int areaW, areaH, picW, picH;
        RECT want;
    } cases[] = {
        {640, 480, 320, 240, {160, 120, 480, 360}},  // smaller: centred
        {640, 480, 800, 600, {0, 0, 640, 480}},      // same shape
        {640, 480, 1600, 600, {0, 120, 640, 360}},   // wider: the width limits
        {240, 400, 1280, 960, {0, 110, 240, 290}},   // 4:3 in a portrait area stays inside it
        {400, 240, 960, 1280, {110, 0, 290, 240}},   // portrait picture in a landscape area
        {640, 480, 640, 479, {0, 0, 640, 480}},      // less than 2 rows left: to the bottom
    };
    for (const Case& c : cases) {
        RECT r{};
        CImageUtil::CalcScaledRect(&r, c.areaW, c.areaH, c.picW, c.picH);
        EXPECT_EQ(r.left, c.want.left) << c.areaW << "x" << c.areaH << " " << c.picW << "x" << c.picH;
        EXPECT_EQ(r.top, c.want.top) << c.picW << "x" << c.picH;
        EXPECT_EQ(r.right, c.want.right) << c.picW << "x" << c.picH;
        EXPECT_EQ(r.bottom, c.want.bottom) << c.picW << "x" << c.picH;
    }
}

TEST(ImageUtil, CameraFrameToBitmapReadsCrBeforeCb)
{
    // Strong Cr, neutral Cb: red, whichever plane comes first in memory.
    auto frame = CameraFrame(8, 4, [](int, int, int* Y, int* Cb, int* Cr) { *Y = 100, *Cb = 128, *Cr = 220; });
    HBITMAP bm = CImageUtil::HBITMAPfromYUV420(frame.data(), 8, 4, 8, 4, 0);
    ASSERT_TRUE(bm);
    COLORREF c = PixelAt(bm, 3, 2);
    // Full-range: R = 100 + 1.402 * 92, G = 100 - 0.714 * 92, B = 100.
    EXPECT_NEAR(GetRValue(c), 229, 8);
    EXPECT_NEAR(GetGValue(c), 34, 8);
    EXPECT_NEAR(GetBValue(c), 100, 8);
    DeleteObject(bm);
}

TEST(ImageUtil, CameraFrameReductionAveragesAndTurns)
{
    // Columns alternate 0 and 200 on the right, 80 and 200 on the left: a
    // 2:1 reduction gives 100 on the right and 140 on the left.
    auto frame = CameraFrame(16, 8, [](int x, int, int* Y, int* Cb, int* Cr) {
        *Y = x % 2 ? 200 : (x < 8 ? 80 : 0);
        *Cb = *Cr = 128;
    });
    HBITMAP flat = CImageUtil::HBITMAPfromYUV420(frame.data(), 16, 8, 8, 4, 0);
    ASSERT_TRUE(flat);
    EXPECT_NEAR(GetGValue(PixelAt(flat, 6, 1)), 100, 4);
    EXPECT_NEAR(GetGValue(PixelAt(flat, 1, 1)), 140, 4);
    DeleteObject(flat);
    // A clockwise quarter turn puts the left half at the top.
    HBITMAP turned = CImageUtil::HBITMAPfromYUV420(frame.data(), 16, 8, 4, 8, 1);
    ASSERT_TRUE(turned);
    EXPECT_NEAR(GetGValue(PixelAt(turned, 1, 1)), 140, 4);
    EXPECT_NEAR(GetGValue(PixelAt(turned, 1, 6)), 100, 4);
    DeleteObject(turned);
}

TEST(ImageUtil, ZoomedBitmapNeedsAResizableRegion)
{
    auto frame = CameraFrame(640, 480, [](int, int, int* Y, int* Cb, int* Cr) { *Y = 90, *Cb = *Cr = 128; });
    HBITMAP bm = CImageUtil::HBITMAPfromYUV420ScaleZoomed(frame.data(), 640, 480, 320, 240, 320, 240, 0);
    ASSERT_TRUE(bm);
    EXPECT_EQ(SizeOf(bm).cx, 320);
    EXPECT_NEAR(GetGValue(PixelAt(bm, 100, 100)), 90, 3);
    DeleteObject(bm);
    // A region larger than the frame cannot be resized: no bitmap.
    EXPECT_FALSE(CImageUtil::HBITMAPfromYUV420ScaleZoomed(frame.data(), 640, 480, 800, 600, 320, 240, 0));
}

TEST(ImageUtil, FourTwoTwoBitmapsStandUpright)
{
    auto frame = Frame422TopLight(8, 6);
    HBITMAP rgb565 = CImageUtil::HBITMAPfromYUV422(frame.data(), 8, 6, 0);
    HBITMAP rgb888 = CImageUtil::HBITMAPfromYUV422RGB888(frame.data(), 8, 6, 0);
    ASSERT_TRUE(rgb565);
    ASSERT_TRUE(rgb888);
    BITMAP bm{};
    GetObjectW(rgb888, sizeof bm, &bm);
    EXPECT_EQ(bm.bmBitsPixel, 24);
    for (HBITMAP b : {rgb565, rgb888}) {
        COLORREF top = PixelAt(b, 4, 0), bottom = PixelAt(b, 4, 5);
        EXPECT_GT(GetGValue(top), GetGValue(bottom) + 100);
        EXPECT_GT(GetRValue(bottom), GetBValue(bottom) + 80);  // Cr above neutral: red
    }
    DeleteObject(rgb565);
    DeleteObject(rgb888);
}

TEST(ImageUtil, RotateFrameTurnsPixelsAndPlanes)
{
    const WORD px[6] = {1, 2, 3, 4, 5, 6};  // 3 x 2
    WORD out[6] = {};
    ASSERT_EQ(CImageUtil::RotateFrame(reinterpret_cast<const BYTE*>(px), reinterpret_cast<BYTE*>(out), 3, 2, 1,
                                      FALSE),
              0);
    const WORD clockwise[6] = {4, 1, 5, 2, 6, 3};  // 2 x 3
    EXPECT_EQ(std::memcmp(out, clockwise, sizeof out), 0);
    // A 4:2:0 frame of 4 x 2: the half turn reverses each plane.
    const BYTE frame[12] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 20, 21};
    BYTE turned[12] = {};
    ASSERT_EQ(CImageUtil::RotateFrame(frame, turned, 4, 2, 2, TRUE), 0);
    const BYTE want[12] = {8, 7, 6, 5, 4, 3, 2, 1, 11, 10, 21, 20};
    EXPECT_EQ(std::memcmp(turned, want, sizeof want), 0);
}
