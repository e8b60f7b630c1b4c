#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "draw_context.h"
#include "plat/debug.h"
#include "plat/screen.h"
#include "rot_bitmap.h"
#include "screens_fixture.h"

namespace {

// A pixel that names its own place (x, y < 32).
uint16_t Coded(int x, int y) { return static_cast<uint16_t>(x | (y << 5) | (1 << 10)); }

class RotBitmapTest : public ScreensFixture {
protected:
    CeRefPtr<CRotBitmap> Attached(int w, int h)
    {
        CeRefPtr<CRotBitmap> bitmap;
        CRotBitmap::CreateInstance(bitmap);
        EXPECT_TRUE(bitmap->Attach(MakeDib555(w, h, Coded), TRUE));
        return bitmap;
    }
};

TEST_F(RotBitmapTest, RotationRuleAtBothCodes)
{
    struct Case {
        DWORD code;
        RECT in, out;
        POINT p, q;
    };
    const Case cases[] = {
        {DMDO_0, {10, 20, 50, 60}, {180, 10, 220, 50}, {10, 20}, {220, 10}},
        {DMDO_270, {10, 20, 50, 60}, {10, 20, 50, 60}, {10, 20}, {10, 20}},
    };
    for (const Case& c : cases) {
        SetOrientation(c.code);
        RECT r = c.in;
        CDrawContext::RotateRect(&r, 240);
        EXPECT_EQ(r.left, c.out.left);
        EXPECT_EQ(r.top, c.out.top);
        EXPECT_EQ(r.right, c.out.right);
        EXPECT_EQ(r.bottom, c.out.bottom);
        POINT p = c.p;
        CDrawContext::RotatePoint(&p, 240);
        EXPECT_EQ(p.x, c.q.x);
        EXPECT_EQ(p.y, c.q.y);
    }
}

TEST_F(RotBitmapTest, ResourceIsHeldTurnedAtCodeZeroButMeasuredInLayoutTerms)
{
    lumtest::TempDir images;
    plat::ScreenImage png{100, 50, {}};
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x)
            png.pixels.push_back(RGB(x * 2, y * 4, 0));
    ASSERT_TRUE(plat::WritePng(images.path() / "4321.png", png));
    setenv("LUMOCR_IMAGE_DIR", images.path().c_str(), 1);

    for (DWORD code : {DMDO_0, DMDO_270}) {
        SetOrientation(code);
        CeRefPtr<CRotBitmap> bitmap;
        CRotBitmap::CreateInstance(bitmap);
        ASSERT_TRUE(bitmap->LoadBitmap(4321));
        BITMAP stored{};
        ASSERT_TRUE(GetObjectW(bitmap->Handle(), sizeof(stored), &stored));
        SIZE size = bitmap->GetSize();
        EXPECT_EQ(size.cx, 100);
        EXPECT_EQ(size.cy, 50);
        // Layout pixel (70, 10) is red 140, green 40.
        const uint16_t expected = static_cast<uint16_t>(((140 >> 3) << 10) | ((40 >> 3) << 5));
        if (code == DMDO_0) {
            EXPECT_EQ(stored.bmWidth, 50);
            EXPECT_EQ(std::abs(stored.bmHeight), 100);
            EXPECT_EQ(Pixel555(bitmap->Handle(), 49 - 10, 70), expected);
        } else {
            EXPECT_EQ(stored.bmWidth, 100);
            EXPECT_EQ(Pixel555(bitmap->Handle(), 70, 10), expected);
        }
    }
    unsetenv("LUMOCR_IMAGE_DIR");
}

TEST_F(RotBitmapTest, EmptyBitmapAndSelfCopy)
{
    CeRefPtr<CRotBitmap> bitmap;
    CRotBitmap::CreateInstance(bitmap);
    plat::DebugCapture log;
    BITMAP info{};
    EXPECT_EQ(bitmap->GetBitmap(&info), 0);
    EXPECT_TRUE(log.Contains(L"m_Bitmap.IsNull()"));

    bitmap = Attached(6, 4);
    EXPECT_TRUE(bitmap->CopyFrom(*bitmap));  // copies before it lets go
    EXPECT_EQ(Pixel555(bitmap->Handle(), 5, 3), Coded(5, 3));
    EXPECT_FALSE(bitmap->SetBitmap(nullptr, TRUE, FALSE));
    EXPECT_EQ(bitmap->Handle(), nullptr);
}

// Every helper that maps a region must draw the layout pixels asked for.
TEST_F(RotBitmapTest, StretchOfEitherHalfAtCodeZeroDrawsTheRightPixels)
{
    SetOrientation(DMDO_0);
    const int W = 24, H = 20;  // layout 24 x 20 canvas, turned: 20 x 24
    auto bitmap = Attached(8, 10);
    struct Half {
        int srcY;
    };
    for (Half half : {Half{5}, Half{0}}) {
        Canvas canvas(H, W, 0);
        ASSERT_TRUE(RotStretchBlt(canvas.dc, H, W, 2, 3, 8, 5, bitmap.get(), 0, half.srcY, 8, 5, SRCCOPY));
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x) {
                // layout (2 + x, 3 + y) sits at surface (H - 1 - (3 + y), 2 + x)
                EXPECT_EQ(canvas.At(H - 1 - (3 + y), 2 + x), Coded(x, half.srcY + y)) << x << "," << y;
            }
    }
}

TEST_F(RotBitmapTest, BlitsAndKeyedImagesAtBothCodes)
{
    for (DWORD code : {DMDO_0, DMDO_270}) {
        SetOrientation(code);
        const bool turned = code == DMDO_0;
        const int LW = 30, LH = 20;
        const int W = turned ? LH : LW;
        const uint16_t key = 0x7C1F, fill = 0x1234;
        CeRefPtr<CRotBitmap> bitmap;
        CRotBitmap::CreateInstance(bitmap);
        ASSERT_TRUE(bitmap->Attach(MakeDib555(6, 4, [&](int x, int y) { return x == y ? key : Coded(x, y); }), TRUE));
        auto at = [&](const Canvas& c, int x, int y) { return turned ? c.At(W - 1 - y, x) : c.At(x, y); };

        Canvas keyed(turned ? LH : LW, turned ? LW : LH, fill);
        ASSERT_TRUE(RotTransparentImage(keyed.dc, W, 0, 10, 5, 6, 4, bitmap.get(), 0, 0, 6, 4, RGB(255, 0, 255)));
        Canvas plain(turned ? LH : LW, turned ? LW : LH, fill);
        ASSERT_TRUE(RotBitBlt(plain.dc, W, 0, 10, 5, 5, 3, bitmap.get(), 1, 1, SRCCOPY));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x) {
                EXPECT_EQ(at(keyed, 10 + x, 5 + y), x == y ? fill : Coded(x, y)) << code << ": " << x << "," << y;
                if (x < 5 && y < 3) {
                    EXPECT_EQ(at(plain, 10 + x, 5 + y), (x + 1 == y + 1) ? key : Coded(x + 1, y + 1));
                }
            }
        EXPECT_EQ(at(keyed, 9, 5), fill);
    }
}

TEST_F(RotBitmapTest, BlendHalvesEachFieldAndLeavesTransparentPixels)
{
    const COLORREF transparent = RGB(255, 0, 255), blend = RGB(0, 255, 0);
    const uint16_t green = 0x03E0, red = 0x7C00, background = static_cast<uint16_t>((9 << 10) | (21 << 5) | 30);
    for (DWORD code : {DMDO_0, DMDO_270}) {
        SetOrientation(code);
        const bool turned = code == DMDO_0;
        CeRefPtr<CRotBitmap> bitmap;
        CRotBitmap::CreateInstance(bitmap);
        // Column 0 transparent, column 1 the blend colour, the rest red.
        ASSERT_TRUE(bitmap->Attach(
            MakeDib555(5, 3, [&](int x, int) { return x == 0 ? uint16_t(0x7C1F) : x == 1 ? green : red; }), TRUE));
        const int LW = 12, LH = 8, W = turned ? LH : LW;
        Canvas canvas(turned ? LH : LW, turned ? LW : LH, background);
        ASSERT_TRUE(RotBlendImage(canvas.dc, W, 2, 1, 50, 50, bitmap.get(), transparent, blend));  // clamped to 5 x 3
        auto at = [&](int x, int y) { return turned ? canvas.At(W - 1 - y, x) : canvas.At(x, y); };
        const uint16_t mixed = static_cast<uint16_t>(((0 + (9 >> 1)) << 10) | (((31 >> 1) + (21 >> 1)) << 5) |
                                                     (0 + (30 >> 1)));
        for (int y = 0; y < 3; ++y) {
            EXPECT_EQ(at(2, 1 + y), background);
            EXPECT_EQ(at(3, 1 + y), mixed);
            EXPECT_EQ(at(4, 1 + y), red);
            EXPECT_EQ(at(6, 1 + y), red);
            EXPECT_EQ(at(7, 1 + y), background);  // outside the clamped width
        }
        EXPECT_EQ(at(3, 4), background);
    }
}

TEST_F(RotBitmapTest, DrawTextPlacesByFlagsAndTurnsAtCodeZero)
{
    const RECT rect{20, 10, 220, 60};
    const wchar_t* text = L"Card";
    struct Case {
        UINT flags;
        bool centred, right, middle, bottom;
    };
    const Case cases[] = {{0, false, false, false, false}, {1 | 8, true, false, false, true},
                          {2 | 4, false, true, true, false}};
    for (const Case& c : cases) {
        SetOrientation(DMDO_270);
        Canvas canvas(240, 100, 0);
        plat::RecordTextCalls(canvas.dc, true);
        SetTextAlign(canvas.dc, TA_BASELINE);
        ASSERT_TRUE(RotDrawText(canvas.dc, 240, &rect, text, -1, c.flags));
        EXPECT_EQ(GetTextAlign(canvas.dc), TA_BASELINE);  // restored
        auto calls = plat::RecordedTextCalls(canvas.dc);
        ASSERT_EQ(calls.size(), 1u);
        const RECT& box = calls[0].box;
        EXPECT_EQ(calls[0].text, L"Card");
        if (c.centred)
            EXPECT_LE(std::abs((box.left - rect.left) - (rect.right - box.right)), 1);
        else if (c.right)
            EXPECT_EQ(box.right, rect.right);
        else
            EXPECT_EQ(box.left, rect.left);
        if (c.middle)
            EXPECT_LE(std::abs((box.top - rect.top) - (rect.bottom - box.bottom)), 1);
        else if (c.bottom)
            EXPECT_EQ(box.bottom, rect.bottom);
        else
            EXPECT_EQ(box.top, rect.top);
    }
    SetOrientation(DMDO_0);
    Canvas turned(100, 240, 0);
    plat::RecordTextCalls(turned.dc, true);
    ASSERT_TRUE(RotDrawText(turned.dc, 100, &rect, text, 2, 0));
    auto calls = plat::RecordedTextCalls(turned.dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, L"Ca");
    EXPECT_EQ(calls[0].at.x, 100 - rect.top);
    EXPECT_EQ(calls[0].at.y, rect.left);
}

TEST_F(RotBitmapTest, FillRectWithARejectedColourPaintsNothing)
{
    Canvas canvas(40, 30, 0x0123);
    CDrawContext context;
    context.Attach(canvas.dc);
    SetBkColor(canvas.dc, RGB(1, 2, 3));
    RECT r{0, 0, 10, 10};
    context.FillRect(&r, CLR_INVALID);
    EXPECT_EQ(canvas.At(5, 5), 0x0123);
    EXPECT_EQ(GetBkColor(canvas.dc), RGB(1, 2, 3));
    context.FillRect(&r, RGB(255, 0, 0));
    EXPECT_EQ(canvas.At(5, 5), 0x7C00);
    EXPECT_EQ(canvas.At(10, 5), 0x0123);
    EXPECT_EQ(GetBkColor(canvas.dc), RGB(1, 2, 3));
}

TEST_F(RotBitmapTest, SelectBitmapTakesTheSurfaceSizeOnlyAtCodeZero)
{
    for (DWORD code : {DMDO_0, DMDO_270}) {
        SetOrientation(code);
        HBITMAP bitmap = MakeDib555(24, 40, [](int, int) { return uint16_t(0); });
        CDrawContext context;
        context.Attach(CreateCompatibleDC(nullptr));
        const int before = context.m_nSurfaceWidth;
        HGDIOBJ old = context.SelectBitmap(bitmap);
        EXPECT_NE(old, nullptr);
        EXPECT_EQ(context.m_nSurfaceWidth, code == DMDO_0 ? 24 : before);
        SelectObject(context.m_hDC, old);
        context.Destroy();
        DeleteObject(bitmap);
    }
}

}  // namespace

namespace {

TEST_F(RotBitmapTest, RotImageHoldsTurnedPicturesAndDrawsTheRegionAsked)
{
    CeRefPtr<CRotImage> image = new CRotImage();
    EXPECT_FALSE(image->SetBitmap(nullptr, TRUE, FALSE));
    EXPECT_EQ(image->Image(), nullptr);

    SetOrientation(DMDO_0);
    ASSERT_TRUE(image->Attach(MakeDib555(8, 10, Coded), TRUE));
    SIZE size = image->GetSize();
    EXPECT_EQ(size.cx, 8);
    EXPECT_EQ(size.cy, 10);

    // A file that cannot be decoded leaves the held picture alone.
    std::ofstream(root.path() / "broken.jpg") << "not a picture";
    EXPECT_FALSE(image->LoadFromFile(L"\\broken.jpg"));
    EXPECT_NE(image->Image(), nullptr);

    const int W = 24, H = 20;
    Canvas canvas(H, W, 0);
    ASSERT_TRUE(RotDrawImage(canvas.dc, H, W, 2, 3, 4, 5, image.get(), 3, 4, 4, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(canvas.At(H - 1 - (3 + y), 2 + x), Coded(3 + x, 4 + y)) << x << "," << y;
}

}  // namespace
