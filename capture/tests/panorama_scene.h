// One wide scene seen through a camera that turns: any window of it as a
// 4:2:0 frame, so that shots at known offsets stitch back to the whole.
#pragma once

#include <cmath>
#include <vector>

#include "plat/windows.h"

namespace panorama_test {

// A window of the scene, `scale` frame pixels per scene pixel, its left
// edge at scene column x.
inline std::vector<BYTE> View(int x, int width, int height, int scale)
{
    std::vector<BYTE> f(static_cast<size_t>(width) * height * 3 / 2, 128);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            double s = x + static_cast<double>(c / scale * scale) / scale;
            double v = 128 + 50 * std::sin(s / 9.0) + 40 * std::cos(s / 23.0) + 20 * std::sin(s * s / 3000.0) +
                       10 * std::sin((r / scale) / 5.0);
            f[static_cast<size_t>(r) * width + c] = static_cast<BYTE>(std::lround(std::fmin(255, std::fmax(0, v))));
        }
    return f;
}

}  // namespace panorama_test
