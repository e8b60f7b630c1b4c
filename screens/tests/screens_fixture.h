// A fresh device root, registry and virtual clock for each screens test, the
// display turned to the code a test asks for, and small bitmaps of its own.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace screens_test {

// Calls of the application's operations the screens make.
struct AppCalls {
    int restoreOrientation = 0;
};
AppCalls& App();

}  // namespace screens_test

class ScreensFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static void SetOrientation(DWORD code);

    // A top-down RGB555 DIB section filled by pixel(x, y).
    static HBITMAP MakeDib555(int width, int height, const std::function<uint16_t(int, int)>& pixel);
    // The RGB555 word at (x, y) of a 16-bit DIB section.
    static uint16_t Pixel555(HBITMAP bitmap, int x, int y);
    // A memory DC on a fresh top-down RGB555 bitmap of the size, filled with one word.
    struct Canvas {
        Canvas(int width, int height, uint16_t fill);
        ~Canvas();
        Canvas(const Canvas&) = delete;
        Canvas& operator=(const Canvas&) = delete;
        uint16_t At(int x, int y) const { return Pixel555(bitmap, x, y); }
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ old = nullptr;
    };

    static HWND CreatePlainWindow();
    // CDisplay::Init waits on the platform clock; time moves on meanwhile.
    static HRESULT InitDisplay(HWND window);

    lumtest::TempDir root;
};
