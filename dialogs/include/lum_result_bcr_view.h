// The business-card result view, as the main frame runs it over its result
// store. The dialog itself lives behind Impl.
#pragma once

#include <memory>

#include "plat/windows.h"

struct ResultItem;
struct ResultSubItem;

class CLumResultBCRView {
public:
    CLumResultBCRView();
    ~CLumResultBCRView();
    CLumResultBCRView(const CLumResultBCRView&) = delete;
    CLumResultBCRView& operator=(const CLumResultBCRView&) = delete;

    // cards and alternatives: seven records per picture; the view copies the
    // first count pictures (count <= 20), their names (relative to folder)
    // and keeps the other values.
    void SetData(ResultItem* const* cards, ResultSubItem* const* alternatives, int count, LPCWSTR folder,
                 const WCHAR* const* names, HINSTANCE languageInstance, HWND mainWindow, int* inactivity,
                 const int* orientationFlags);
    // RESULT_VIEW_SENT, RESULT_VIEW_BACK or RESULT_VIEW_EXIT (dialog_results.h).
    INT_PTR DoModal(HWND parent);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
