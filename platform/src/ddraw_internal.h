// What the screen composer reads of DirectDraw: the visible buffers.
#pragma once

#include <memory>

#include "gdi_surface.h"

namespace plat::ddraw {

struct Display {
    // Copies of the front buffers as last published, physical layout.
    std::shared_ptr<gdi::Surface> primary;  // null without DirectDraw
    std::shared_ptr<gdi::Surface> overlay;
    bool overlayShown = false;
    bool keyed = false;
    DWORD key = 0;
};

Display CurrentDisplay();

}  // namespace plat::ddraw
