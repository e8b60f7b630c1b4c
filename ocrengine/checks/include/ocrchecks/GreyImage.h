// Pictures and rectangles as the image checks see them. Both have the layout
// of the engine interface's records (OcrImage, RECT), so the exports hand
// their fields straight through.
#pragma once

#include <cstdint>

namespace ocrchecks {

// 8-bit grey picture, rows top-down, row stride equal to the width.
struct GreyImage {
    std::uint8_t* data;
    std::int32_t width;
    std::int32_t height;
};

struct CheckRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

}  // namespace ocrchecks
