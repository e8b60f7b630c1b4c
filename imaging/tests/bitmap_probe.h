// Reading bitmaps back in the tests: visual pixels and sizes.
#pragma once

#include "plat/windows.h"

namespace probe {

// The visual pixel (x, y), whatever the row order and depth.
inline COLORREF PixelAt(HBITMAP bm, int x, int y)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    COLORREF c = GetPixel(dc, x, y);
    SelectObject(dc, old);
    DeleteDC(dc);
    return c;
}

inline SIZE SizeOf(HBITMAP bm)
{
    BITMAP b{};
    GetObjectW(bm, sizeof b, &b);
    return {b.bmWidth, b.bmHeight};
}

}  // namespace probe
