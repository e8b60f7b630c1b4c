#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "ce_container.h"
#include "look_helper.h"
#include "screens_fixture.h"

namespace {

// Button looks of the test's own: a flat fill per state with one keyed
// corner, 60 x 30.
class ToolkitLook : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        const COLORREF fills[4] = {RGB(200, 40, 40), RGB(40, 200, 40), RGB(40, 40, 200), RGB(120, 120, 120)};
        for (int i = 0; i < 4; ++i)
            Write(static_cast<UINT>(9101 + i), 60, 30, fills[i]);
        Write(9110, 24, 16, RGB(250, 250, 250));  // scroll buttons
        setenv("LUMOCR_IMAGE_DIR", images.path().c_str(), 1);
        window = CreatePlainWindow();
    }
    void TearDown() override
    {
        unsetenv("LUMOCR_IMAGE_DIR");
        DestroyWindow(window);
        ScreensFixture::TearDown();
    }

    void Write(UINT id, int w, int h, COLORREF fill)
    {
        plat::ScreenImage png{w, h, {}};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                png.pixels.push_back(x < 6 && y < 6 ? RGB(255, 0, 255) : fill);
        ASSERT_TRUE(plat::WritePng(images.path() / (std::to_string(id) + ".png"), png));
    }

    static CeButton* Button(DWORD id, int x, int y, LPCWSTR caption)
    {
        auto* look = new CeCtrlAttrib();
        look->SetImages(9101, 9102, 9103, 9104);
        look->SetTextColors(RGB(255, 255, 255), RGB(0, 0, 0), RGB(255, 255, 255), RGB(60, 60, 60));
        auto* b = new CeButton();
        b->Init(id, look, 0, POINT{x, y});
        b->SetCaption(caption);
        return b;
    }

    void ExpectKeyedShowsPattern(const look::Result& r, int x, int y)
    {
        EXPECT_EQ(r.At4(x, y), look::Pattern(x, y)) << x << "," << y;
        EXPECT_EQ(r.At0(x, y), look::Pattern(x, y)) << x << "," << y;
    }

    lumtest::TempDir images;
    HWND window = nullptr;
};

class RowList : public CeScrollList {
public:
    RowList() : CeScrollList(3, 22) {}
    void DrawRow(CDrawContext* dc, int index, const RECT& rect) override
    {
        RECT row{rect.left, rect.top, rect.right, rect.bottom - 2};
        dc->FillRect(&row, index == m_nSelected ? RGB(250, 220, 0) : RGB(30, 30, 30));
        SetTextColor(dc->m_hDC, index == m_nSelected ? RGB(0, 0, 0) : RGB(255, 255, 255));
        SetBkMode(dc->m_hDC, TRANSPARENT);
        HFONT font = nullptr;
        CreateRotatedFont(&font, 15, FW_SEMIBOLD, L"Tahoma");
        HGDIOBJ old = SelectObject(dc->m_hDC, font);
        RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &row, m_items[static_cast<size_t>(index)].text.c_str(), -1,
                    CE_ALIGN_MIDDLE);
        SelectObject(dc->m_hDC, old);
        DeleteObject(font);
    }
};

TEST_F(ToolkitLook, Toolkit)
{
    auto scene = [](CDrawContext& dc) {
        CeRefPtr<CeContainer> root = new CeContainer();
        root->SetStateBit(TRUE);
        CeButton* buttons[4];
        for (int i = 0; i < 4; ++i) {
            buttons[i] = Button(static_cast<DWORD>(0x10 + i), 10 + i * 70, 10, L"OK");
            root->AddControl(buttons[i]);
        }
        buttons[3]->m_nState = CE_DISABLED;
        root->SetFocusById(0x11, FALSE);
        root->m_pPressed = buttons[2];

        CeText* outline = new CeText();
        outline->Init(0, RECT{10, 60, 200, 90}, RGB(255, 255, 255), RGB(255, 0, 255));
        outline->m_bOutline = true;
        outline->SetText(L"Outline");
        root->AddControl(outline);
        CeText* twoLines = new CeText();
        twoLines->Init(0, RECT{210, 60, 390, 110}, RGB(255, 200, 0), RGB(0, 0, 80));
        twoLines->SetText(L"First line");
        twoLines->SetText2(L"Second");
        root->AddControl(twoLines);

        RowList* list = new RowList();
        list->m_rect = RECT{10, 120, 200, 186};
        list->SetStateBit(TRUE);
        auto* upLook = new CeCtrlAttrib();
        upLook->SetImages(9110, 0, 0, 9104);
        auto* up = new CeButton();
        up->Init(0x30, upLook, 0, POINT{210, 120});
        auto* downLook = new CeCtrlAttrib();
        downLook->SetImages(9110, 0, 0, 9104);
        auto* down = new CeButton();
        down->Init(0x31, downLook, 0, POINT{210, 160});
        list->SetScrollButtons(up, down);
        for (const wchar_t* t : {L"Auto", L"Sunny", L"Cloudy", L"Night"})
            list->AddItem(static_cast<DWORD>(list->m_items.size() + 1), t);
        list->Select(1, TRUE, FALSE);
        root->AddControl(list);
        root->Draw(&dc);
    };
    look::Result r = look::Run("toolkit", window, scene);
    ASSERT_GE(r.farPixels, 0);
    EXPECT_EQ(r.farPixels, 0);
    // The buttons' keyed corners and the empty screen show the primary.
    ExpectKeyedShowsPattern(r, 12, 12);
    ExpectKeyedShowsPattern(r, 300, 200);
    // Each state shows its own look (overlay colours are five bits wide).
    EXPECT_NE(r.At4(50, 35), r.At4(120, 35));
    EXPECT_NE(r.At4(120, 35), r.At4(190, 35));
    EXPECT_NE(r.At4(190, 35), r.At4(260, 35));
    // The down button pages, the up button does not: their looks differ.
    EXPECT_NE(r.At4(220, 130), r.At4(220, 170));
}

TEST_F(ToolkitLook, Bitmaps)
{
    auto scene = [](CDrawContext& dc) {
        const int W = dc.m_nSurfaceWidth;
        HDC hdc = dc.m_hDC;
        CeRefPtr<CRotBitmap> bitmap;
        CRotBitmap::CreateInstance(bitmap);
        bitmap->Attach(MakeDib555(40, 20,
                                  [](int x, int y) {
                                      if (x < 4 && y < 4)
                                          return uint16_t(0x7C1F);  // keyed corner
                                      return static_cast<uint16_t>(((x * 31 / 39) << 10) | ((y * 31 / 19) << 5) | 12);
                                  }),
                       TRUE);
        RotBitBlt(hdc, W, 0, 10, 10, 40, 20, bitmap.get(), 0, 0, SRCCOPY);
        RotStretchBlt(hdc, W, 0, 60, 10, 80, 40, bitmap.get(), 0, 0, 40, 20, SRCCOPY);
        RotTransparentImage(hdc, W, 0, 150, 10, 40, 20, bitmap.get(), 0, 0, 40, 20, RGB(255, 0, 255));
        RotAlphaBlendBitmap(hdc, W, 200, 10, 40, 20, bitmap.get(), 128);
        RotBlendImage(hdc, W, 250, 10, 40, 20, bitmap.get(), RGB(255, 0, 255), RGB(0, 0, 0));
        // Raw pixels come turned for the panel already, as camera frames do.
        const bool turned = GetDisplayOrientationCode() == DMDO_0;
        const int rw = turned ? 20 : 30, rh = turned ? 30 : 20;
        std::vector<uint16_t> raw(30 * 20);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                const int sx = turned ? 19 - y : x, sy = turned ? x : y;
                raw[static_cast<size_t>(sy * rw + sx)] = static_cast<uint16_t>(x < 15 ? 0xF800 : 0x07E0);
            }
        RotStretchDIBits(hdc, W, 300, 10, 30, 20, raw.data(), rw, rh, SRCCOPY);
        RECT frame{10, 80, 120, 140};
        RotDrawFrame(hdc, W, &frame, 2, RGB(255, 255, 255));
        SetTextColor(hdc, RGB(255, 255, 255));
        SetBkMode(hdc, TRANSPARENT);
        HFONT font = nullptr;
        CreateRotatedFont(&font, 17, FW_SEMIBOLD, L"Tahoma");
        HGDIOBJ old = SelectObject(hdc, font);
        RECT box{130, 80, 390, 140};
        RotDrawText(hdc, W, &box, L"Centred at the bottom", -1, CE_ALIGN_CENTRE | CE_ALIGN_BOTTOM);
        RotTextOut(hdc, W, POINT{130, 150}, L"Text out", -1);
        SelectObject(hdc, old);
        DeleteObject(font);
    };
    look::Result r = look::Run("bitmaps", window, scene);
    ASSERT_GE(r.farPixels, 0);
    EXPECT_EQ(r.farPixels, 0);
    ExpectKeyedShowsPattern(r, 151, 11);   // the keyed corner of the transparent copy
    ExpectKeyedShowsPattern(r, 200, 200);  // nothing drawn there
    EXPECT_NE(r.At4(30, 20), look::Pattern(30, 20));
}

}  // namespace
