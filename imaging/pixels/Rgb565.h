// RGB565 words widened to 8 bits per channel by repeating each channel's top
// bits (0x1F gives 255, 0 gives 0): how the tools and the tests show a
// picture the program holds as RGB565.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace pixels {

inline void WidenRgb565(uint16_t v, uint8_t* rgb)
{
    const uint32_t r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
    rgb[0] = static_cast<uint8_t>(r << 3 | r >> 2);
    rgb[1] = static_cast<uint8_t>(g << 2 | g >> 4);
    rgb[2] = static_cast<uint8_t>(b << 3 | b >> 2);
}

// width x height pixels of rows stride words apart, as packed RGB bytes.
inline std::vector<uint8_t> WidenRgb565Rows(const uint16_t* pixels, size_t stride, uint32_t width, uint32_t height)
{
    std::vector<uint8_t> rgb(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            WidenRgb565(pixels[y * stride + x], &rgb[(size_t{y} * width + x) * 3]);
        }
    }
    return rgb;
}

// The program's grey of each RGB565 word: (306 R + 601 G + 117 B) >> 10 over
// the channels widened with zero low bits (not repeated, unlike the widening
// above).
inline const std::array<uint8_t, 65536>& ProgramGreyTable()
{
    static const std::array<uint8_t, 65536> table = [] {
        std::array<uint8_t, 65536> t{};
        for (uint32_t v = 0; v < 65536; ++v) {
            const uint32_t r = (v >> 8) & 0xF8, g = (v >> 3) & 0xFC, b = (v << 3) & 0xF8;
            t[v] = static_cast<uint8_t>((306 * r + 601 * g + 117 * b) >> 10);
        }
        return t;
    }();
    return table;
}

}  // namespace pixels
