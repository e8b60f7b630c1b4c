// The zoomable picture view over the shared picture list: the current
// picture full screen, stepping, seven zoom steps into a 1280 x 960 decode,
// marks for batch recognition and, from the gallery, deleting. The dialog
// lives behind Impl.
#pragma once

#include <memory>

#include "plat/windows.h"

// End codes.
inline constexpr INT_PTR EXPAND_VIEW_BACK = 0;    // Result or Done, or Thumbnail outside mode 3
inline constexpr INT_PTR EXPAND_VIEW_OTHER = 1;   // Thumbnail in mode 3, or after a delete
inline constexpr INT_PTR EXPAND_VIEW_EXIT = 3;    // the end key
// The openers' mode for a result view.
inline constexpr int EXPAND_MODE_RESULTS = 3;

class ExpandViewDialog {
public:
    ExpandViewDialog();
    ~ExpandViewDialog();
    ExpandViewDialog(const ExpandViewDialog&) = delete;
    ExpandViewDialog& operator=(const ExpandViewDialog&) = delete;

    void SetMode(int mode);
    // Written with 120 on every pen or key input.
    void SetInactivity(int* inactivity);
    INT_PTR DoModal(HWND parent);

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};
