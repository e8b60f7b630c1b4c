// The document result view, as the main frame runs it over its result store.
// The dialog itself lives behind Impl.
#pragma once

#include <memory>

#include "plat/windows.h"

class CLumResultOCRView {
public:
    CLumResultOCRView();
    ~CLumResultOCRView();
    CLumResultOCRView(const CLumResultOCRView&) = delete;
    CLumResultOCRView& operator=(const CLumResultOCRView&) = delete;

    // The view copies the first count pages (count <= 20): text, name
    // (relative to folder); smsSent is set when a page went out by message.
    void SetData(const WCHAR* const* texts, int count, LPCWSTR folder, const WCHAR* const* names,
                 HINSTANCE languageInstance, int* inactivity, int* smsSent, HWND fullScreenWindow);
    // RESULT_VIEW_SENT, RESULT_VIEW_BACK or RESULT_VIEW_EXIT (dialog_results.h).
    INT_PTR DoModal(HWND parent);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
