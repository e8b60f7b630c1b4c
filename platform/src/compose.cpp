#include "compose.h"

namespace plat::screen {

namespace {

// A DirectDraw buffer read in screen coordinates: portrait memory turned
// for landscape when it is the panel's size.
gdi::Surface ScreenView(const gdi::Surface& memory, bool turned)
{
    return gdi::Surface(memory, turned && memory.MemWidth() < memory.MemHeight());
}

}  // namespace

gdi::Surface Compose(const Layers& in)
{
    gdi::Surface out(in.width, in.height, gdi::PixelFormat::Rgb888(32));
    out.Fill(RECT{0, 0, in.width, in.height}, in.desktop);
    for (const WindowLayer& w : in.windows) {
        if (!w.surface)
            continue;
        RECT r = gdi::Intersect(w.rect, RECT{0, 0, in.width, in.height});
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (w.surface->Contains(x - w.rect.left, y - w.rect.top))
                    out.Set(x, y, w.surface->Get(x - w.rect.left, y - w.rect.top));
    }
    if (in.primary) {
        gdi::Surface view = ScreenView(*in.primary, in.turned);
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                if (view.Contains(x, y))
                    out.Set(x, y, view.Get(x, y));
    }
    if (in.overlay && in.overlayShown) {
        gdi::Surface view = ScreenView(*in.overlay, in.turned);
        // A 16-bit overlay has no room for the marker: its key is the plain word.
        DWORD keyWord = view.Format().bpp == 32 ? kOverlayKeyMarker | (in.key & kOverlayColourBits) : in.key;
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x) {
                if (!view.Contains(x, y))
                    continue;
                DWORD raw = view.Raw(x, y);
                if (in.keyed && raw == keyWord)
                    continue;
                out.Set(x, y, view.Decode(raw));
            }
    }
    return out;
}

}  // namespace plat::screen
