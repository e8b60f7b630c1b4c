// Draws one scene the way the program does, at orientation code 4 and again
// at code 0 (images load at the orientation they are drawn in), through
// CDisplay into the DirectDraw surfaces over a test pattern in the primary,
// and composes the screen each time. With LUMOCR_LOOK_DIR set the two
// screens are written there as NAME-4.png and NAME-0.png.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "draw_context.h"
#include "plat/screen.h"

namespace look {

// The centre colour imagegen gives each state image, from its manifest.
std::map<UINT, COLORREF> CentreColours();
// The overlay keeps five bits a channel.
bool Near(COLORREF a, COLORREF b);

// The primary's pattern at a landscape point.
COLORREF Pattern(int x, int y);

struct Result {
    plat::ScreenImage landscape;  // code 4, 400 x 240
    plat::ScreenImage portrait;   // code 0, 240 x 400
    // Landscape points whose code-0 pixel differs from every code-4 pixel
    // within one pixel of it.
    int farPixels = 0;
    COLORREF At4(int x, int y) const { return landscape.At(x, y); }
    // The code-0 screen read at a landscape point.
    COLORREF At0(int x, int y) const { return portrait.At(239 - y, x); }
};

// window: the cooperative-level window. paint gets a context whose DC is
// the display's draw DC (layout 400 x 240, turned at code 0), cleared to the key colour.
Result Run(const std::string& name, HWND window, const std::function<void(CDrawContext&)>& paint);

}  // namespace look
