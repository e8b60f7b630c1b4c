// What the screen composer reads of DirectDraw: the visible buffers.
#pragma once

#include <memory>

#include "gdi_surface.h"

namespace plat::ddraw {

struct Display {
    std::shared_ptr<gdi::Surface> primary;  // front buffer, physical layout; null without DirectDraw
    std::shared_ptr<gdi::Surface> overlay;  // front buffer of the overlay
    bool overlayShown = false;
    bool keyed = false;
    DWORD key = 0;
};

Display CurrentDisplay();

}  // namespace plat::ddraw
