// Messages between the gallery, its grid and its recognition run.
#pragma once

#include "dialog_messages.h"

// The grid entered a folder: the gallery rebuilds its folder list.
inline constexpr UINT WM_GALLERY_FOLDER_ENTERED = WM_USER + 2001;
// The grid was touched: the gallery closes its lists and takes the keys back.
inline constexpr UINT WM_GALLERY_GRID_TOUCHED = WM_USER + 2004;
// A run ended with results: the gallery hands them over.
inline constexpr UINT WM_GALLERY_RESULTS = WM_USER + 2006;
// A 21st picture was to be marked.
inline constexpr UINT WM_GALLERY_MARK_LIMIT = WM_USER + 2007;

// The gallery's states; the grid keeps the current one.
enum GalleryState : int {
    GALLERY_CHOOSE = 0,   // choosing pictures for a run
    GALLERY_DELETE = 1,   // delete mode
    GALLERY_BROWSE = 2,   // browsing, the state at opening
    GALLERY_RESULTS = 3,  // results present (opened from a result view)
};

// At most this many pictures are marked for one run.
inline constexpr int kGalleryMarkLimit = 20;
