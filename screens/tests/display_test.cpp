#include <gtest/gtest.h>

#include <future>
#include <string>

#include "display.h"
#include "draw_context.h"
#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/screen.h"
#include "rot_bitmap.h"
#include "screens_fixture.h"

namespace {

class DisplayTest : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        window = CreatePlainWindow();
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        CDisplay::DestroyInstance();
        DestroyWindow(window);
        ScreensFixture::TearDown();
    }

    // Init waits half a second on the platform clock; time moves on here.
    HRESULT InitOnVirtualClock(HWND hwnd)
    {
        auto result = std::async(std::launch::async, [hwnd] { return CDisplay::GetInstance()->Init(hwnd); });
        while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
            if (plat::NextVirtualDeadline())
                plat::AdvanceClock(500);
        return result.get();
    }

    HWND window = nullptr;
};

TEST(OverlayWords, ConversionTable)
{
    const struct {
        uint16_t pixel;
        uint32_t word;
    } cases[] = {{0x7C1F, 0x40000}, {0x03FF, 0x7FFFF}, {0x7FE0, 0x44104}, {0x001F, 0x3E},
                 {0x7C00, 0x3E000}, {0x0000, 0x0},     {0x7FFF, 0x3EFBE}};
    for (const auto& c : cases)
        EXPECT_EQ(OverlayWordFromPixel(c.pixel), c.word) << std::hex << c.pixel;
}

TEST_F(DisplayTest, InitShowsAKeyedOverlayOverThePrimary)
{
    ASSERT_EQ(InitOnVirtualClock(window), S_OK);
    CDisplay* display = CDisplay::GetInstance();
    // The primary shows through every key word of the erased overlay.
    HDC back = nullptr;
    ASSERT_EQ(display->GetBackBufferDC(&back), S_OK);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    RECT all{0, 0, 400, 240};
    FillRect(back, &all, brush);
    DeleteObject(brush);
    ASSERT_EQ(display->FlipWithDC(back), S_OK);
    plat::ScreenImage screen = plat::ComposeScreen();
    ASSERT_EQ(screen.width, 400);
    EXPECT_EQ(screen.At(10, 10), RGB(0, 0, 255));
    EXPECT_EQ(screen.At(399, 239), RGB(0, 0, 255));
}

TEST_F(DisplayTest, FlipBackbufferTurnsTheDrawBitmapOntoThePanel)
{
    for (DWORD code : {DMDO_270, DMDO_0}) {
        SetOrientation(code);
        CDisplay::DestroyInstance();
        ASSERT_EQ(InitOnVirtualClock(window), S_OK);
        CDisplay* display = CDisplay::GetInstance();
        HDC dc = display->GetDrawDC();
        ASSERT_NE(dc, nullptr);
        // Key colour everywhere, a red block at layout (30..50, 10..20) drawn
        // through the rotation rule, white in the layout's top-left pixel.
        const bool turned = code == DMDO_0;
        const int pw = GetSystemMetrics(SM_CXSCREEN), ph = GetSystemMetrics(SM_CYSCREEN);
        HBRUSH key = CreateSolidBrush(RGB(255, 0, 255));
        RECT all{0, 0, pw, ph};
        FillRect(dc, &all, key);
        DeleteObject(key);
        CDrawContext context;
        context.Attach(dc);
        context.m_nSurfaceWidth = pw;
        RECT block{30, 10, 50, 20};
        context.FillRect(&block, RGB(255, 0, 0));
        RECT corner{0, 0, 1, 1};
        context.FillRect(&corner, RGB(255, 255, 255));
        ASSERT_EQ(display->FlipBackbuffer(dc), S_OK);

        plat::ScreenImage screen = plat::ComposeScreen();
        ASSERT_EQ(screen.width, turned ? 240 : 400);
        auto layoutAt = [&](int x, int y) { return turned ? screen.At(239 - y, x) : screen.At(x, y); };
        // Five bits a channel reach the six-bit overlay: full scale shows as 251.
        const COLORREF red = RGB(251, 0, 0), white = RGB(251, 251, 251);
        EXPECT_EQ(layoutAt(35, 15), red) << code;
        EXPECT_EQ(layoutAt(0, 0), white) << code;
        EXPECT_EQ(layoutAt(49, 19), red) << code;
        EXPECT_NE(layoutAt(50, 15), red) << code;
        EXPECT_NE(layoutAt(30, 20), red) << code;
        EXPECT_NE(layoutAt(100, 100), RGB(255, 0, 255)) << code;  // keyed: the primary shows
    }
}

TEST_F(DisplayTest, CallsWithoutSurfacesReturnTheirCodes)
{
    CDisplay* display = CDisplay::GetInstance();
    void* bits = reinterpret_cast<void*>(1);
    HDC dc = reinterpret_cast<HDC>(1);
    EXPECT_EQ(display->FlipBackbuffer(nullptr), 1);
    EXPECT_EQ(display->GetBackBufferDC(&dc), E_POINTER);
    EXPECT_EQ(display->ReleaseBackBufferDC(&dc), E_POINTER);
    EXPECT_EQ(display->GetPrimaryDC(&dc), E_POINTER);
    EXPECT_EQ(display->ReleasePrimaryDC(&dc), E_POINTER);
    EXPECT_EQ(display->LockBackBuffer(&bits), E_FAIL);
    EXPECT_EQ(bits, nullptr);
    bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(display->LockOverlay(&bits), E_FAIL);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(display->UnlockOverlay(), E_OUTOFMEMORY);
    EXPECT_EQ(display->HideOverlay(), E_OUTOFMEMORY);
    EXPECT_EQ(display->Flip(), E_POINTER);
    EXPECT_EQ(display->EraseOverlay(), E_FAIL);
}

TEST_F(DisplayTest, FlipRetriesWhileStillDrawingAndReportsLostSurfaces)
{
    ASSERT_EQ(InitOnVirtualClock(window), S_OK);
    plat::DirectDrawFaults faults;
    faults.stillDrawing = 3;
    plat::SetDirectDrawFaults(faults);
    EXPECT_EQ(CDisplay::GetInstance()->Flip(), S_OK);

    faults = {};
    faults.surfaceLost = true;
    plat::SetDirectDrawFaults(faults);
    plat::DebugCapture log;
    EXPECT_EQ(CDisplay::GetInstance()->Flip(), DDERR_SURFACELOST);
    EXPECT_TRUE(log.Contains(L"DDERR_SURFACELOST !!!\r\n"));
}

TEST_F(DisplayTest, WithoutKeyOverrideTheOverlayIsShownWithFlagsShowOnly)
{
    plat::DirectDrawFaults faults;
    faults.noKeyOverride = true;
    plat::SetDirectDrawFaults(faults);
    ASSERT_EQ(InitOnVirtualClock(window), S_OK);
    // Shown but not keyed: the erased overlay covers the primary.
    plat::ScreenImage screen = plat::ComposeScreen();
    HDC back = nullptr;
    ASSERT_EQ(CDisplay::GetInstance()->GetBackBufferDC(&back), S_OK);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    RECT all{0, 0, 400, 240};
    FillRect(back, &all, brush);
    DeleteObject(brush);
    ASSERT_EQ(CDisplay::GetInstance()->FlipWithDC(back), S_OK);
    screen = plat::ComposeScreen();
    EXPECT_NE(screen.At(10, 10), RGB(0, 0, 255));
}

// Each step's failure takes its own road; DirectDraw calls count from 1:
// create, cooperative level, primary, enumeration, caps, overlay, lock,
// unlock, overlay update.
TEST_F(DisplayTest, EveryInitFailureTakesItsRoad)
{
    struct Case {
        int failCall;
        bool noFlipCaps;
        bool box;
        const wchar_t* line;
    };
    const Case cases[] = {
        {1, false, true, L"DirectDrawCreate(NULL, &m_spDD, NULL) FAILED  <0x80004005>"},
        {2, false, true, L"m_spDD->SetCooperativeLevel(m_hWnd, DDSCL_FULLSCREEN) FAILED  <0x80004005>"},
        {3, false, true, L"m_spDD->CreateSurface(&ddsd, &m_spDDSPrimary, NULL) FAILED <0x80004005>"},
        {4, false, true, L"m_spDDSPrimary->EnumAttachedSurfaces(&m_spDDSBack, EnumFunction) FAILED <0x80004005>"},
        {0, true, false, L"!(ddCaps.ddsCaps.dwCaps & DDSCAPS_FLIP) <0x0>"},
        {6, false, true, L"m_spDD->CreateSurface( &ddsd, &m_spDDSOverlay, NULL ) FAILED <0x80004005>"},
        {9, false, true, L"m_spDDSOverlay->UpdateOverlay(&rs, m_spDDSPrimary, &rs, dwUpdateFlags, &ovfx) FAILED"},
    };
    HWND taskBar = nullptr;
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"HHTaskBar";
        RegisterClassW(&wc);
        if (!FindWindowW(L"HHTaskBar", nullptr))
            taskBar = CreateWindowExW(0, L"HHTaskBar", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                      nullptr);
    }
    const HWND bar = FindWindowW(L"HHTaskBar", nullptr);
    ASSERT_NE(bar, nullptr);
    for (const Case& c : cases) {
        CDisplay::DestroyInstance();
        ShowWindow(window, SW_SHOW);
        ShowWindow(bar, SW_HIDE);
        screens_test::App() = {};
        plat::DirectDrawFaults faults;
        faults.failCall = c.failCall;
        faults.noFlipCaps = c.noFlipCaps;
        plat::SetDirectDrawFaults(faults);
        plat::DebugCapture log;
        HRESULT hr = InitOnVirtualClock(window);
        EXPECT_TRUE(FAILED(hr)) << c.failCall;
        EXPECT_TRUE(log.Contains(c.line)) << c.failCall;
        EXPECT_EQ(log.Contains(L"MessageBox"), c.box) << c.failCall;
        EXPECT_EQ(screens_test::App().restoreOrientation, 1) << c.failCall;
        EXPECT_FALSE(IsWindowVisible(window)) << c.failCall;
        EXPECT_TRUE(IsWindowVisible(bar)) << c.failCall;
        // Nothing is left half made: every call fails cleanly.
        HDC dc = nullptr;
        EXPECT_EQ(CDisplay::GetInstance()->GetBackBufferDC(&dc), E_POINTER);
    }
    plat::SetDirectDrawFaults({});
    plat::DebugCapture log;
    EXPECT_TRUE(FAILED(InitOnVirtualClock(nullptr)));
    EXPECT_TRUE(log.Contains(L"m_hWnd == NULL"));
    EXPECT_FALSE(log.Contains(L"MessageBox"));
    if (taskBar)
        DestroyWindow(taskBar);
}

}  // namespace

namespace {

TEST_F(DisplayTest, TitleLayoutRectanglesAreInLayoutTermsAtBothCodes)
{
    for (DWORD code : {DMDO_270, DMDO_0}) {
        SetOrientation(code);
        CTitleLayout::ReleaseInstance();
        CTitleLayout* layout = CTitleLayout::GetInstance();
        EXPECT_NE(layout->m_hFont, nullptr);
        EXPECT_EQ(layout->m_rcTitle.right, 400) << code;
        EXPECT_EQ(layout->m_rcTitle.bottom, 29);
        EXPECT_EQ(layout->m_rcScreen.bottom, 240) << code;
        EXPECT_EQ(layout->m_rcPicture.left, 40);
        EXPECT_EQ(layout->m_rcZoom.right, 288);
    }
    CTitleLayout::ReleaseInstance();
}

}  // namespace
