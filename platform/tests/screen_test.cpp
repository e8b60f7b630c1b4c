#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <vector>

#include "../src/compose.h"
#include "lumtest/tempdir.h"
#include "png_read.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"

namespace {

int g_erased = 0;

// Paints a dark blue window with a white word at (10, 10).
LRESULT PaintingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND) {
        ++g_erased;
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH b = CreateSolidBrush(RGB(0, 0, 128));
        FillRect(reinterpret_cast<HDC>(wParam), &r, b);
        DeleteObject(b);
        return 1;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, RGB(255, 255, 255));
        ExtTextOutW(dc, 10, 10, 0, nullptr, L"Textiva", 7, nullptr);
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND PaintingWindow(RECT r)
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &PaintingProc;
        wc.lpszClassName = L"ScreenTestPainter";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(WS_EX_TOPMOST, L"ScreenTestPainter", L"painter", WS_POPUP | WS_VISIBLE, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

int InkIn(const plat::ScreenImage& s, RECT r, COLORREF ink)
{
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            n += s.At(x, y) == ink;
    return n;
}

}  // namespace

// A window's backing surface goes with the window, even when nothing
// composes the screen in between, as in a long headless run.
TEST(Screen, ADestroyedWindowLetsGoOfItsSurface)
{
    const std::size_t before = plat::screen::BackingCount();
    for (int i = 0; i < 3; ++i) {
        HWND w = PaintingWindow(RECT{0, 0, 100, 50});
        ASSERT_TRUE(w);
        ASSERT_TRUE(UpdateWindow(w));
        EXPECT_EQ(plat::screen::BackingCount(), before + 1) << "window " << i;
        ASSERT_TRUE(DestroyWindow(w));
    }
    EXPECT_EQ(plat::screen::BackingCount(), before);
}

TEST(Screen, PaintedWindowShowsOnTheComposedScreen)
{
    HWND w = PaintingWindow(RECT{20, 60, 220, 160});
    ASSERT_TRUE(w);
    g_erased = 0;
    ASSERT_TRUE(UpdateWindow(w));
    EXPECT_EQ(g_erased, 1);
    plat::ScreenImage s = plat::ComposeScreen();
    ASSERT_EQ(s.width, GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(s.height, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(s.At(25, 150), RGB(0, 0, 132));  // the erased background, in 5-6-5
    EXPECT_GT(InkIn(s, RECT{30, 70, 120, 95}, RGB(255, 255, 255)), 20);  // the word
    EXPECT_EQ(InkIn(s, RECT{130, 100, 220, 160}, RGB(255, 255, 255)), 0);

    // GetDC(NULL) reads the same screen.
    HDC screen = GetDC(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_EQ(GetPixel(screen, 25, 150), RGB(0, 0, 132));
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);

    // A window DC draws in client coordinates, clipped to the window.
    HDC dc = GetDC(w);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    RECT all{-50, -50, 500, 500};
    FillRect(dc, &all, red);
    ReleaseDC(w, dc);
    DeleteObject(red);
    s = plat::ComposeScreen();
    EXPECT_EQ(s.At(20, 60), RGB(255, 0, 0));
    EXPECT_EQ(s.At(219, 159), RGB(255, 0, 0));
    EXPECT_NE(s.At(19, 60), RGB(255, 0, 0));
    EXPECT_NE(s.At(220, 160), RGB(255, 0, 0));

    DestroyWindow(w);
    EXPECT_NE(plat::ComposeScreen().At(100, 100), RGB(255, 0, 0));
}

TEST(Screen, ScreenshotIsAPngOfTheScreensSize)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    HWND w = PaintingWindow(RECT{0, 0, 240, 120});
    UpdateWindow(w);
    ASSERT_TRUE(plat::SaveScreenshot(L"first"));
    EXPECT_FALSE(plat::SaveScreenshot(L"../outside"));
    EXPECT_FALSE(plat::SaveScreenshot(L""));
    DestroyWindow(w);

    PngFile png;
    ASSERT_TRUE(ReadPng(plat::ScreenshotDir() / "first.png", &png));
    EXPECT_EQ(png.width, static_cast<png_uint_32>(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(png.height, static_cast<png_uint_32>(GetSystemMetrics(SM_CYSCREEN)));
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_RGB);
    const png_byte* px = &png.rows[110][3 * 5];  // the window's erased background
    EXPECT_EQ(px[0], 0);
    EXPECT_EQ(px[2], 132);
}

TEST(Screen, SnapshotDirFollowsThePresents)
{
    lumtest::TempDir dir;
    setenv("LUMOCR_SNAPSHOT_DIR", dir.path().c_str(), 1);
    HWND w = PaintingWindow(RECT{0, 0, 100, 100});
    UpdateWindow(w);  // painting presents the screen
    unsetenv("LUMOCR_SNAPSHOT_DIR");
    DestroyWindow(w);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files.push_back(entry.path());
    ASSERT_FALSE(files.empty());
    EXPECT_EQ(files[0].filename().string().rfind("snapshot-", 0), 0u);
    PngFile png;
    ASSERT_TRUE(ReadPng(files[0], &png));
    EXPECT_EQ(png.width, static_cast<png_uint_32>(GetSystemMetrics(SM_CXSCREEN)));
}
