#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plat/windows.h"

namespace {

// A DIB section with its bits, selected into its own memory DC.
struct Dib {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
    BYTE* bits = nullptr;

    Dib(int width, int height, int bpp, DWORD compression = BI_RGB, std::vector<DWORD> masks = {})
    {
        std::vector<BYTE> info(sizeof(BITMAPINFOHEADER) + 3 * sizeof(DWORD));
        auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
        h->biSize = sizeof(BITMAPINFOHEADER);
        h->biWidth = width;
        h->biHeight = height;
        h->biPlanes = 1;
        h->biBitCount = static_cast<WORD>(bpp);
        h->biCompression = compression;
        if (!masks.empty())
            std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), masks.data(), masks.size() * sizeof(DWORD));
        void* p = nullptr;
        bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<BYTE*>(p);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap);
    }
    ~Dib()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

DWORD Word(const BYTE* p, int bytes)
{
    DWORD v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<DWORD>(p[i]) << (8 * i);
    return v;
}

int CountDiffering(HDC dc, RECT r, COLORREF background)
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += GetPixel(dc, x, y) != background;
    return n;
}

}  // namespace

TEST(Gdi, DibSectionsStorePixelsInTheirOwnLayout)
{
    struct Case {
        const char* name;
        int bpp;
        DWORD compression;
        std::vector<DWORD> masks;
        DWORD expected;  // memory word of RGB(255, 0, 0)
    };
    const Case cases[] = {
        {"555", 16, BI_RGB, {}, 0x7C00},
        {"565", 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}, 0xF800},
        {"24", 24, BI_RGB, {}, 0xFF0000},
        {"24 red low", 24, BI_BITFIELDS, {0x0000FF, 0x00FF00, 0xFF0000}, 0x0000FF},
        {"32", 32, BI_RGB, {}, 0x00FF0000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Bottom-up, 3 wide: rows are padded to 4 bytes and the first memory row is the bottom one.
        Dib d(3, 2, c.bpp, c.compression, c.masks);
        ASSERT_TRUE(d.bitmap);
        int stride = ((3 * c.bpp / 8) + 3) & ~3;
        EXPECT_NE(SetPixel(d.dc, 2, 1, RGB(255, 0, 0)), CLR_INVALID);
        EXPECT_EQ(Word(d.bits + 2 * (c.bpp / 8), c.bpp / 8), c.expected);
        EXPECT_EQ(GetPixel(d.dc, 2, 1), RGB(255, 0, 0));
        BITMAP bm{};
        ASSERT_EQ(GetObjectW(d.bitmap, sizeof bm, &bm), static_cast<int>(sizeof bm));
        EXPECT_EQ(bm.bmWidth, 3);
        EXPECT_EQ(bm.bmHeight, 2);
        EXPECT_EQ(bm.bmWidthBytes, stride);
        EXPECT_EQ(bm.bmBitsPixel, c.bpp);
        EXPECT_EQ(bm.bmBits, d.bits);
    }
}

TEST(Gdi, TopDownSectionKeepsTheFirstRowFirst)
{
    Dib d(2, -2, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    ASSERT_TRUE(d.bitmap);
    SetPixel(d.dc, 0, 0, RGB(0, 0, 255));
    EXPECT_EQ(Word(d.bits, 2), 0x001Fu);
}

TEST(Gdi, RefusesBadBitmapDescriptions)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 4;
    info.bmiHeader.biPlanes = 1;
    void* bits = reinterpret_cast<void*>(1);
    for (WORD bpp : {0, 1, 8, 15, 48}) {
        info.bmiHeader.biBitCount = bpp;
        EXPECT_FALSE(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) << bpp;
        EXPECT_EQ(bits, nullptr);
    }
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biWidth = 0;
    EXPECT_FALSE(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    info.bmiHeader.biWidth = 100000;
    EXPECT_FALSE(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_FALSE(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0));
    EXPECT_FALSE(CreateBitmap(4, 4, 1, 8, nullptr));
    EXPECT_FALSE(CreateCompatibleBitmap(nullptr, -1, 4));
}

TEST(Gdi, BlitsBetweenFormatsConvertColours)
{
    const COLORREF colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0),
                                RGB(255, 0, 255)};
    struct Fmt {
        int bpp;
        DWORD compression;
        std::vector<DWORD> masks;
    };
    const Fmt formats[] = {{16, BI_RGB, {}},
                           {16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F}},
                           {24, BI_RGB, {}},
                           {24, BI_BITFIELDS, {0xFF, 0xFF00, 0xFF0000}},
                           {32, BI_RGB, {}}};
    for (const Fmt& from : formats) {
        for (const Fmt& to : formats) {
            SCOPED_TRACE(testing::Message() << from.bpp << "/" << from.compression << " -> " << to.bpp << "/"
                                            << to.compression);
            Dib src(6, 1, from.bpp, from.compression, from.masks);
            Dib dst(6, 1, to.bpp, to.compression, to.masks);
            for (int i = 0; i < 6; ++i)
                SetPixel(src.dc, i, 0, colours[i]);
            ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 6, 1, src.dc, 0, 0, SRCCOPY));
            for (int i = 0; i < 6; ++i)
                EXPECT_EQ(GetPixel(dst.dc, i, 0), colours[i]) << i;
        }
    }
    // A colour between the 5-bit steps lands on the nearest lower step and expands back.
    Dib s(1, 1, 16, BI_RGB);
    SetPixel(s.dc, 0, 0, RGB(100, 150, 200));
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(99, 148, 206));
}

TEST(Gdi, HandlesAreCheckedAgainstLiveObjects)
{
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    ASSERT_TRUE(brush);
    EXPECT_TRUE(DeleteObject(brush));
    EXPECT_FALSE(DeleteObject(brush));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(SelectObject(dc, brush));
    RECT r{0, 0, 1, 1};
    EXPECT_EQ(FillRect(dc, &r, brush), 0);
    EXPECT_FALSE(SelectObject(dc, reinterpret_cast<HGDIOBJ>(0x1234)));
    EXPECT_EQ(GetPixel(reinterpret_cast<HDC>(0x1234), 0, 0), CLR_INVALID);
    EXPECT_FALSE(DeleteObject(GetStockObject(BLACK_BRUSH)));
    EXPECT_FALSE(DeleteObject(GetStockObject(SYSTEM_FONT)));
    EXPECT_TRUE(GetStockObject(BLACK_BRUSH));
    EXPECT_FALSE(GetStockObject(99));
    // A bitmap in a DC cannot be deleted nor selected into a second DC.
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    HGDIOBJ old = SelectObject(dc, bm);
    ASSERT_TRUE(old);
    EXPECT_FALSE(DeleteObject(bm));
    HDC other = CreateCompatibleDC(nullptr);
    EXPECT_FALSE(SelectObject(other, bm));
    EXPECT_EQ(SelectObject(dc, old), bm);
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_EQ(GetObjectW(bm, sizeof(BITMAP), nullptr), 0);
    EXPECT_FALSE(DeleteObject(dc));  // a DC goes with DeleteDC
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_TRUE(DeleteDC(other));
}

TEST(Gdi, DeletedPenStaysUsableByTheDcHoldingIt)
{
    Dib d(8, 8, 16, BI_RGB);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(d.dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    MoveToEx(d.dc, 0, 0, nullptr);
    EXPECT_TRUE(LineTo(d.dc, 4, 0));
    EXPECT_EQ(GetPixel(d.dc, 3, 0), RGB(255, 0, 0));
    SelectObject(d.dc, old);
}

TEST(Gdi, FillsAndLinesProbe)
{
    Dib d(20, 20, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT all{0, 0, 20, 20};
    PatBlt(d.dc, 0, 0, 20, 20, WHITENESS);
    EXPECT_EQ(GetPixel(d.dc, 19, 19), RGB(255, 255, 255));
    RECT r{2, 2, 5, 6};
    EXPECT_EQ(FillRect(d.dc, &r, blue), 1);
    EXPECT_EQ(GetPixel(d.dc, 2, 2), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(d.dc, 4, 5), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(d.dc, 5, 5), RGB(255, 255, 255));  // right and bottom are outside
    EXPECT_EQ(GetPixel(d.dc, 4, 6), RGB(255, 255, 255));
    FillRect(d.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
    HGDIOBJ oldPen = SelectObject(d.dc, pen);
    HGDIOBJ oldBrush = SelectObject(d.dc, GetStockObject(NULL_BRUSH));
    MoveToEx(d.dc, 0, 10, nullptr);
    LineTo(d.dc, 10, 10);
    EXPECT_EQ(GetPixel(d.dc, 0, 10), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(d.dc, 9, 10), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(d.dc, 10, 10), RGB(0, 0, 0));  // the end point is left out
    MoveToEx(d.dc, 0, 0, nullptr);
    LineTo(d.dc, 5, 5);
    EXPECT_EQ(GetPixel(d.dc, 3, 3), RGB(0, 255, 0));
    Rectangle(d.dc, 12, 12, 18, 18);
    EXPECT_EQ(GetPixel(d.dc, 12, 12), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(d.dc, 17, 17), RGB(0, 255, 0));
    EXPECT_EQ(GetPixel(d.dc, 15, 15), RGB(0, 0, 0));  // hollow inside
    POINT pts[] = {{0, 19}, {5, 19}, {5, 14}};
    EXPECT_TRUE(Polyline(d.dc, pts, 3));
    EXPECT_EQ(GetPixel(d.dc, 5, 17), RGB(0, 255, 0));
    SelectObject(d.dc, oldPen);
    SelectObject(d.dc, oldBrush);
    DeleteObject(pen);
    DeleteObject(blue);
}

TEST(Gdi, ColourKeyedBlitLeavesKeyPixelsUntouched)
{
    Dib src(4, 4, 16, BI_BITFIELDS, {0xF800, 0x07E0, 0x001F});
    Dib dst(8, 8, 16, BI_RGB);
    RECT all{0, 0, 8, 8};
    HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dst.dc, &all, grey);
    FillRect(src.dc, &all, key);
    SetPixel(src.dc, 1, 1, RGB(255, 0, 0));
    // Stretched to twice the size: the red pixel covers 2 x 2.
    ASSERT_TRUE(TransparentImage(dst.dc, 0, 0, 8, 8, src.dc, 0, 0, 4, 4, RGB(255, 0, 255)));
    EXPECT_EQ(GetPixel(dst.dc, 2, 2), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(132, 132, 132));
    EXPECT_EQ(GetPixel(dst.dc, 7, 7), RGB(132, 132, 132));
    // The source may be given as the bitmap itself.
    FillRect(dst.dc, &all, grey);
    EXPECT_TRUE(TransparentImage(dst.dc, 0, 0, 4, 4, src.bitmap, 0, 0, 4, 4, RGB(255, 0, 255)));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(132, 132, 132));
    DeleteObject(grey);
    DeleteObject(key);
}

TEST(Gdi, StretchAndAlphaBlend)
{
    Dib src(2, 1, 32, BI_RGB);
    Dib dst(4, 2, 24, BI_RGB);
    SetPixel(src.dc, 0, 0, RGB(255, 0, 0));
    SetPixel(src.dc, 1, 0, RGB(0, 0, 255));
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 2, src.dc, 0, 0, 2, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), RGB(0, 0, 255));
    PatBlt(dst.dc, 0, 0, 4, 2, BLACKNESS);
    BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, half));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(128, 0, 0));
}

TEST(Gdi, StretchDibitsReadsBottomUpRowsFromTheBottom)
{
    // 2 x 2 RGB565 bottom-up: memory row 0 is the bottom image row.
    const WORD pixels[] = {0xF800, 0xF800, 0x001F, 0x001F};
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), 2, 2, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0}, {0xF800, 0x07E0, 0x001F}};
    Dib dst(2, 2, 32, BI_RGB);
    EXPECT_EQ(StretchDIBits(dst.dc, 0, 0, 2, 2, 0, 0, 2, 2, pixels, reinterpret_cast<BITMAPINFO*>(&info),
                            DIB_RGB_COLORS, SRCCOPY),
              2);
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dst.dc, 0, 1), RGB(255, 0, 0));
}

TEST(Gdi, GetDibitsConvertsToTheAskedFormat)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 2, 2);
    HGDIOBJ old = SelectObject(dc, bm);
    SetPixel(dc, 0, 0, RGB(255, 0, 0));  // top-left
    SelectObject(dc, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 2;  // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    DWORD out[4] = {};
    EXPECT_EQ(GetDIBits(dc, bm, 0, 2, out, &info, DIB_RGB_COLORS), 2);
    EXPECT_EQ(out[2], 0x00FF0000u);  // the top row comes last
    EXPECT_EQ(out[0], 0u);
    DeleteObject(bm);
    DeleteDC(dc);
}

namespace {

HFONT Tahoma(LONG height, LONG weight = FW_BOLD, LONG escapement = 0)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfEscapement = escapement;
    lf.lfOrientation = escapement;
    wcscpy(lf.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&lf);
}

}  // namespace

TEST(GdiText, TextLandsInItsBox)
{
    Dib d(200, 60, 16, BI_RGB);
    PatBlt(d.dc, 0, 0, 200, 60, WHITENESS);
    HFONT font = Tahoma(17);
    ASSERT_TRUE(font);
    HGDIOBJ oldFont = SelectObject(d.dc, font);
    SetBkMode(d.dc, TRANSPARENT);
    SetTextColor(d.dc, RGB(0, 0, 0));
    ASSERT_TRUE(plat::RecordTextCalls(d.dc, true));
    ASSERT_TRUE(ExtTextOutW(d.dc, 10, 5, 0, nullptr, L"Hello", 5, nullptr));
    auto calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text, L"Hello");
    EXPECT_EQ(calls[0].box.left, 10);
    EXPECT_EQ(calls[0].box.top, 5);
    EXPECT_EQ(calls[0].box.bottom - calls[0].box.top, 17);  // a cell height of 17
    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32W(d.dc, L"Hello", 5, &extent));
    EXPECT_EQ(calls[0].box.right - calls[0].box.left, extent.cx);
    EXPECT_EQ(extent.cy, 17);
    EXPECT_GT(CountDiffering(d.dc, calls[0].box, RGB(255, 255, 255)), 20);
    EXPECT_EQ(CountDiffering(d.dc, RECT{0, 0, 200, 60}, RGB(255, 255, 255)),
              CountDiffering(d.dc, calls[0].box, RGB(255, 255, 255)));
    // Monochrome: no pixel between ink and paper.
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            COLORREF c = GetPixel(d.dc, x, y);
            ASSERT_TRUE(c == RGB(0, 0, 0) || c == RGB(255, 255, 255)) << x << "," << y;
        }
    TEXTMETRICW tm{};
    ASSERT_TRUE(GetTextMetricsW(d.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 17);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 17);
    EXPECT_EQ(tm.tmWeight, FW_BOLD);
    SelectObject(d.dc, oldFont);
    DeleteObject(font);
}

TEST(GdiText, OpaqueTextOutWithoutTextFillsTheRectangle)
{
    Dib d(10, 10, 16, BI_RGB);
    SetBkColor(d.dc, RGB(255, 0, 255));
    RECT r{0, 0, 10, 10};
    EXPECT_TRUE(ExtTextOutW(d.dc, 0, 0, ETO_OPAQUE, &r, L"", 0, nullptr));
    EXPECT_EQ(GetPixel(d.dc, 9, 9), RGB(255, 0, 255));
}

TEST(GdiText, AlignmentMovesTheBox)
{
    Dib d(200, 60, 16, BI_RGB);
    HFONT font = Tahoma(-14, FW_NORMAL);
    HGDIOBJ old = SelectObject(d.dc, font);
    plat::RecordTextCalls(d.dc, true);
    SIZE s{};
    GetTextExtentPoint32W(d.dc, L"Abc", 3, &s);
    TEXTMETRICW tm{};
    GetTextMetricsW(d.dc, &tm);
    SetTextAlign(d.dc, TA_RIGHT | TA_BOTTOM);
    ExtTextOutW(d.dc, 100, 50, 0, nullptr, L"Abc", 3, nullptr);
    SetTextAlign(d.dc, TA_CENTER | TA_BASELINE);
    ExtTextOutW(d.dc, 100, 30, 0, nullptr, L"Abc", 3, nullptr);
    auto calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].box.right, 100);
    EXPECT_EQ(calls[0].box.bottom, 50);
    EXPECT_EQ(calls[1].box.left, 100 - s.cx / 2);
    EXPECT_EQ(calls[1].box.top, 30 - tm.tmAscent);
    SelectObject(d.dc, old);
    DeleteObject(font);
}

TEST(GdiText, DrawTextPlacesLinesInTheRectangle)
{
    Dib d(200, 100, 16, BI_RGB);
    HFONT font = Tahoma(15);
    HGDIOBJ old = SelectObject(d.dc, font);
    SIZE s{};
    GetTextExtentPoint32W(d.dc, L"Save", 4, &s);
    struct Case {
        UINT format;
        LONG left, top;
    };
    RECT box{20, 10, 180, 90};
    const Case cases[] = {
        {DT_LEFT | DT_TOP | DT_SINGLELINE, 20, 10},
        {DT_CENTER | DT_VCENTER | DT_SINGLELINE, 20 + (160 - s.cx) / 2, 10 + (80 - 15) / 2},
        {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, 180 - s.cx, 90 - 15},
    };
    for (const Case& c : cases) {
        plat::RecordTextCalls(d.dc, true);
        RECT r = box;
        EXPECT_EQ(DrawTextW(d.dc, L"Save", -1, &r, c.format), 15);
        auto calls = plat::RecordedTextCalls(d.dc);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].box.left, c.left) << c.format;
        EXPECT_EQ(calls[0].box.top, c.top) << c.format;
    }
    // Word breaking, prefix and ellipsis.
    plat::RecordTextCalls(d.dc, true);
    RECT narrow{0, 0, s.cx + 2, 100};
    DrawTextW(d.dc, L"Save &Save Save", -1, &narrow, DT_WORDBREAK);
    auto calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].text, L"Save");
    EXPECT_EQ(calls[2].box.top, 30);
    plat::RecordTextCalls(d.dc, true);
    RECT tight{0, 0, s.cx, 20};
    DrawTextW(d.dc, L"Save Save", -1, &tight, DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].text.substr(calls[0].text.size() - 3), L"...");
    EXPECT_LE(calls[0].box.right - calls[0].box.left, s.cx);
    RECT calc{5, 5, 5, 5};
    EXPECT_EQ(DrawTextW(d.dc, L"Save", -1, &calc, DT_CALCRECT | DT_SINGLELINE), 15);
    EXPECT_EQ(calc.right, 5 + s.cx);
    EXPECT_EQ(calc.bottom, 20);
    SelectObject(d.dc, old);
    DeleteObject(font);
}

TEST(GdiText, TurnedFontDrawsAlongTheTurnedBaseline)
{
    Dib d(60, 200, 16, BI_RGB);
    PatBlt(d.dc, 0, 0, 60, 200, WHITENESS);
    HFONT font = Tahoma(17, FW_BOLD, 2700);
    HGDIOBJ old = SelectObject(d.dc, font);
    SetBkMode(d.dc, TRANSPARENT);
    plat::RecordTextCalls(d.dc, true);
    ExtTextOutW(d.dc, 40, 10, 0, nullptr, L"Hello", 5, nullptr);
    auto calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 1u);
    RECT box = calls[0].box;
    // The run goes down from y = 10 and the cell lies left of x = 40.
    EXPECT_EQ(box.right, 40);
    EXPECT_EQ(box.right - box.left, 17);
    EXPECT_EQ(box.top, 10);
    EXPECT_GT(box.bottom - box.top, 30);
    int inBox = CountDiffering(d.dc, box, RGB(255, 255, 255));
    EXPECT_GT(inBox, 20);
    EXPECT_EQ(CountDiffering(d.dc, RECT{0, 0, 60, 200}, RGB(255, 255, 255)), inBox);
    SelectObject(d.dc, old);
    DeleteObject(font);
}

TEST(GdiText, MissingFontDirectoryIsAClearError)
{
    const char* before = getenv("LUMOCR_FONT_DIR");
    std::string saved = before ? before : "";
    setenv("LUMOCR_FONT_DIR", "/nonexistent-font-dir", 1);
    std::wstring why;
    EXPECT_FALSE(plat::CheckFonts(&why));
    EXPECT_NE(why.find(L"/nonexistent-font-dir"), std::wstring::npos);
    if (before)
        setenv("LUMOCR_FONT_DIR", saved.c_str(), 1);
    else
        unsetenv("LUMOCR_FONT_DIR");
    EXPECT_TRUE(plat::CheckFonts(&why));
}

TEST(GdiText, CjkTextFallsBackToACjkFont)
{
    Dib d(120, 40, 16, BI_RGB);
    PatBlt(d.dc, 0, 0, 120, 40, WHITENESS);
    HFONT font = Tahoma(-16, FW_NORMAL);
    HGDIOBJ old = SelectObject(d.dc, font);
    SetBkMode(d.dc, TRANSPARENT);
    plat::RecordTextCalls(d.dc, true);
    // Korean and Chinese, which DejaVu does not have.
    ASSERT_TRUE(ExtTextOutW(d.dc, 2, 2, 0, nullptr, L"\xD55C\xAE00 \x4E2D\x6587", 5, nullptr));
    auto calls = plat::RecordedTextCalls(d.dc);
    ASSERT_EQ(calls.size(), 1u);
    int ink = CountDiffering(d.dc, calls[0].box, RGB(255, 255, 255));
    SelectObject(d.dc, old);
    DeleteObject(font);
    if (ink == 0)
        GTEST_SKIP() << "no CJK font installed";
    EXPECT_GT(ink, 60);
    EXPECT_GT(calls[0].box.right - calls[0].box.left, 4 * 12);
}
