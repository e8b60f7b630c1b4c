// The composed screen as a pure function of its layers, so that it can be
// tested without windows or DirectDraw.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "gdi_surface.h"

namespace plat::screen {

struct WindowLayer {
    std::shared_ptr<const gdi::Surface> surface;  // the window's backing surface
    RECT rect{};                                  // where it lies on the screen
};

struct Layers {
    int width = 0, height = 0;  // the screen in the current orientation
    bool turned = false;        // landscape: portrait memory is read turned
    COLORREF desktop = 0;
    std::vector<WindowLayer> windows;  // back to front
    std::shared_ptr<const gdi::Surface> primary;  // portrait memory; null: no DirectDraw
    std::shared_ptr<const gdi::Surface> overlay;
    bool overlayShown = false;
    bool keyed = false;
    DWORD key = 0;
};

// An overlay word shows the primary when it carries the key marker (bit 18)
// and its colour bits equal the source colour key.
inline constexpr DWORD kOverlayKeyMarker = 0x40000;
inline constexpr DWORD kOverlayColourBits = 0x3FFFF;

// The screen as 32-bit RGB (0x00RRGGBB in memory order B, G, R, 0).
gdi::Surface Compose(const Layers& layers);

// Lets go of a destroyed window's backing surface. A program that runs
// for long without the screen being composed would otherwise keep every
// surface of its windows since the last composition.
void ForgetBacking(HWND hwnd);
// How many backing surfaces are kept.
std::size_t BackingCount();

}  // namespace plat::screen
