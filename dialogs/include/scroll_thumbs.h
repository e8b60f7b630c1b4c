// Where the thumbs of the skinned scroll bars stand: the result view's bar
// follows a scroll position, the gallery's follows a page of its grid.
#pragma once

#include "plat/windows.h"

// The bar's current position, 0 when it has none.
int GetScrollPosition(HWND window, int bar);

// The result view's bar: the thumb inside the client rectangle, inset one
// pixel left and right, never below the client bottom.
RECT BcrThumbRect(const RECT& client, int minimum, int maximum, int page, int position);

// The gallery's bar over a track of control 1362: p pages (at least 1), the
// current page shown; relative to the track's top, thumb height h / p.
struct SkinThumb {
    double top = 0, bottom = 0;
    int left = 0, right = 0;
};
SkinThumb SkinThumbFor(const RECT& track, int pages, int currentPage);
// The page a thumb dropped at `top` (relative to the track) stands for.
int SkinPageAt(double top, int trackHeight, int pages);
