// The gallery of stored OCR pictures, as the main frame runs it. A run over
// the marked pictures fills the caller's tables; the dialog lives behind Impl.
#pragma once

#include <cstdint>
#include <memory>

#include "plat/windows.h"

struct ResultItem;
struct ResultSubItem;

// The caller's words and tables (20 entries each); the dialog fills and
// frees their entries only.
struct ThumbNailInput {
    std::int32_t* resultKind = nullptr;       // next action: GALLERY_NEXT_* (dialog_results.h)
    std::int32_t* singleResult = nullptr;     // 1 when at most one picture was run
    std::int32_t* recognitionMode = nullptr;  // 1 business card, else document
    std::int32_t* pictureCount = nullptr;     // index of the last picture of the run
    WCHAR** texts = nullptr;                  // document text per picture
    ResultItem** items = nullptr;             // ResultItem[7] per picture
    ResultSubItem** subItems = nullptr;       // ResultSubItem[7] per picture
    WCHAR* folder = nullptr;                  // MAX_PATH characters, ends in a backslash
    WCHAR** names = nullptr;                  // one MAX_PATH-character buffer per picture
    std::int32_t language = 0;                // recognition language index
    std::int32_t* running = nullptr;          // 1 while a run works
    HWND shellWindow = nullptr;               // made full screen at start when set
    std::int32_t* inactivity = nullptr;       // set to 120 on input
    std::int32_t* directions = nullptr;       // text direction per picture
    std::int32_t* runStarted = nullptr;       // 1 once a run was started
    std::int32_t* success = nullptr;          // 1 per picture with a usable result
    std::int32_t* resultStates = nullptr;     // 1 kept, 0 dropped, 2 empty slot
};

class ThumbNailDialog {
public:
    ThumbNailDialog();
    // Ends a running worker and finalises the engine.
    ~ThumbNailDialog();
    ThumbNailDialog(const ThumbNailDialog&) = delete;
    ThumbNailDialog& operator=(const ThumbNailDialog&) = delete;

    void SetInput(const ThumbNailInput& input);
    void SetExtraParam(std::int32_t value);
    void SetResource(HINSTANCE languageInstance);
    // Opened from a result view: the results are present, so nothing is run
    // or deleted, and Result hands back to the view.
    void SetResultsPresent();
    // GALLERY_SHOW_RESULTS, GALLERY_DONE or GALLERY_EXIT (dialog_results.h).
    INT_PTR DoModal(HWND parent);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
