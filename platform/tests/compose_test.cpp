#include <gtest/gtest.h>

#include "../src/compose.h"

using plat::gdi::PixelFormat;
using plat::gdi::Surface;
using plat::screen::Compose;
using plat::screen::Layers;

namespace {

std::shared_ptr<Surface> Filled(int w, int h, PixelFormat format, COLORREF c)
{
    auto s = std::make_shared<Surface>(w, h, format);
    s->Fill(RECT{0, 0, w, h}, c);
    return s;
}

const PixelFormat kOverlay{32, 0x3F000, 0xFC0, 0x3F};

}  // namespace

TEST(Compose, WindowsStackInZOrder)
{
    Layers in;
    in.width = 240;
    in.height = 400;
    in.desktop = RGB(0, 0, 0);
    in.windows.push_back({Filled(100, 100, PixelFormat::Rgb565(), RGB(255, 0, 0)), RECT{0, 0, 100, 100}});
    in.windows.push_back({Filled(100, 100, PixelFormat::Rgb565(), RGB(0, 0, 255)), RECT{50, 50, 150, 150}});
    Surface out = Compose(in);
    EXPECT_EQ(out.Get(10, 10), RGB(255, 0, 0));
    EXPECT_EQ(out.Get(60, 60), RGB(0, 0, 255));  // the later window is in front
    EXPECT_EQ(out.Get(200, 300), RGB(0, 0, 0));
}

TEST(Compose, OverlayKeyShowsThePrimary)
{
    Layers in;
    in.width = 240;
    in.height = 400;
    in.windows.push_back({Filled(240, 400, PixelFormat::Rgb565(), RGB(0, 255, 0)), RECT{0, 0, 240, 400}});
    in.primary = Filled(240, 400, PixelFormat::Rgb565(), RGB(0, 0, 255));
    auto overlay = Filled(240, 400, kOverlay, RGB(255, 255, 255));
    overlay->SetRaw(5, 5, 0x40000);   // the key: shows the primary
    overlay->SetRaw(6, 5, 0x3F000);   // pure red
    in.overlay = overlay;
    in.overlayShown = true;
    in.keyed = true;
    in.key = 0;
    Surface out = Compose(in);
    EXPECT_EQ(out.Get(5, 5), RGB(0, 0, 255));
    EXPECT_EQ(out.Get(6, 5), RGB(255, 0, 0));
    EXPECT_EQ(out.Get(100, 100), RGB(255, 255, 255));

    in.overlayShown = false;
    EXPECT_EQ(Compose(in).Get(100, 100), RGB(0, 0, 255));  // hidden overlay: the primary
    in.overlayShown = true;
    in.keyed = false;
    EXPECT_EQ(Compose(in).Get(5, 5), RGB(0, 0, 0));  // without the key the word is its colour
    in.primary = nullptr;
    in.overlay = nullptr;
    EXPECT_EQ(Compose(in).Get(5, 5), RGB(0, 255, 0));  // without DirectDraw: the windows
}

TEST(Compose, LandscapeReadsThePortraitMemoryTurned)
{
    Layers in;
    in.width = 400;
    in.height = 240;
    in.turned = true;
    auto primary = Filled(240, 400, PixelFormat::Rgb565(), RGB(0, 0, 0));
    // Landscape (x, y) lies at portrait column 239 - y, row x.
    primary->Set(239 - 10, 300, RGB(255, 255, 255));
    in.primary = primary;
    Surface out = Compose(in);
    EXPECT_EQ(out.Width(), 400);
    EXPECT_EQ(out.Get(300, 10), RGB(255, 255, 255));
    EXPECT_EQ(out.Get(10, 300 - 100), RGB(0, 0, 0));
}
