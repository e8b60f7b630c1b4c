// The composed screen: the desktop, the top-level windows in z-order (each
// painted into its own backing surface), then the DirectDraw primary and the
// overlay where shown. Screenshots are this picture as a PNG.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "plat/types.h"

namespace plat {

struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;  // row by row from the top
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The screen as it is now, in the current orientation (240 x 400 or 400 x 240).
ScreenImage ComposeScreen();

// Writes an RGB PNG; false when the file cannot be written.
bool WritePng(const std::filesystem::path& path, const ScreenImage& image);

// The screenshot folder of the device root, and a screenshot into it as
// NAME.png (".png" added unless given); false on a bad name or a write error.
std::filesystem::path ScreenshotDir();
bool SaveScreenshot(const std::wstring& name);

// Called after every present (a window painted, a DirectDraw flip or
// overlay update); the presenter redraws then. Also writes a snapshot into
// $LUMOCR_SNAPSHOT_DIR, at most a few a second, for following a run.
void SetPresentListener(std::function<void()> listener);
void ScreenPresented();

}  // namespace plat
