// Doubles of the OCR dialogs the main frame runs: each records what it was
// given, and its modal run does what the test scripted (by default it ends
// at once with "back to the camera").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dialog_results.h"
#include "plat/windows.h"
#include "thumbnail_dialog.h"

namespace doubles {

struct DialogRun {
    // Called in place of the modal loop, on the caller's thread.
    std::function<INT_PTR(HWND parent)> modal;
    int runs = 0;
    int destroyed = 0;
};

struct ResultViewData {
    int count = -1;
    std::wstring folder;
    std::vector<std::wstring> names;
    HINSTANCE languageInstance = nullptr;
    HWND window = nullptr;
    int* inactivity = nullptr;
    ResultItem* const* cards = nullptr;
    ResultSubItem* const* alternatives = nullptr;
    const WCHAR* const* texts = nullptr;
    const int* orientation = nullptr;
};

DialogRun& BcrViewRun();
DialogRun& OcrViewRun();
DialogRun& SettingRun();
DialogRun& GalleryRun();
ResultViewData& BcrViewData();
ResultViewData& OcrViewData();
// What the gallery was given, for the script to fill.
ThumbNailInput& GalleryInput();
std::int32_t& GalleryExtraParam();

// Every script and record back to its start.
void ResetDialogs();

}  // namespace doubles
