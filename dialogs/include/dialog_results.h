// How the OCR dialogs end, as the main frame reads it.
#pragma once

#include "plat/windows.h"

// Result views (business card and document).
inline constexpr INT_PTR RESULT_VIEW_SENT = 0;       // after a sent message: the program ends
inline constexpr INT_PTR RESULT_VIEW_BACK = 1;       // back to the camera
inline constexpr INT_PTR RESULT_VIEW_EXIT = 3;       // exit or the end key

// OCR settings dialog.
inline constexpr INT_PTR SETTING_DIALOG_BACK = 0;    // saved or cancelled: back to the camera
inline constexpr INT_PTR SETTING_DIALOG_END = 1;
inline constexpr INT_PTR SETTING_DIALOG_EXIT = 3;    // the end key

// Gallery, with the next action it leaves in its result-kind word.
inline constexpr INT_PTR GALLERY_SHOW_RESULTS = 0;
inline constexpr INT_PTR GALLERY_DONE = 1;
inline constexpr INT_PTR GALLERY_EXIT = 3;
inline constexpr int GALLERY_NEXT_PREVIEW = 0;
inline constexpr int GALLERY_NEXT_CARDS = 1;
inline constexpr int GALLERY_NEXT_DOCUMENTS = 2;
