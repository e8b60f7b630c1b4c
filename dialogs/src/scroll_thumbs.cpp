#include "scroll_thumbs.h"

#include <algorithm>
#include <cmath>

int GetScrollPosition(HWND window, int bar)
{
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_POS;
    return GetScrollInfo(window, bar, &info) ? info.nPos : 0;
}

RECT BcrThumbRect(const RECT& client, int minimum, int maximum, int page, int position)
{
    int height = client.bottom - client.top;
    // An empty range would divide by zero: the thumb then fills the bar.
    int span = maximum != minimum ? maximum - minimum : 1;
    int thumb = maximum > 0 ? height * page / maximum : height;
    int top = client.top + height * (position - minimum) / span;
    if (top + thumb > client.bottom)
        top = client.bottom - thumb - 1;
    return RECT{client.left + 1, top, client.right - 1, top + thumb};
}

SkinThumb SkinThumbFor(const RECT& track, int pages, int currentPage)
{
    int p = std::max(pages, 1);
    double h = track.bottom - track.top;
    double thumb = h / p;
    SkinThumb t;
    t.top = std::max(0.0, currentPage * h / p);
    t.bottom = t.top + thumb;
    if (currentPage >= p - 1) {
        t.top = h - thumb;
        t.bottom = h;
    }
    t.bottom = std::min(t.bottom, h);
    int width = track.right - track.left;
    t.left = track.left + 1;
    t.right = track.left + 1 + width - 3;
    return t;
}

int SkinPageAt(double top, int trackHeight, int pages)
{
    int p = std::max(pages, 1);
    // A track shorter than the page count would give a step of 0 pixels.
    int step = std::max(trackHeight / p, 1);
    int page = static_cast<int>(std::floor(std::max(top, 0.0) / step));
    return std::min(page, p - 1);
}
