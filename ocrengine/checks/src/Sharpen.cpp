#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "ocrchecks/ImageChecks.h"

namespace ocrchecks {

std::int32_t Sharpen(GreyImage* image, std::int32_t mode) {
    if (image == nullptr || image->data == nullptr || image->width <= 0 || image->height <= 0) {
        return 0;
    }
    const int w = image->width;
    const int h = image->height;
    const std::size_t size = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[size]);
    if (!work) {
        return 0;
    }
    const std::uint8_t* src = image->data;
    std::memcpy(work.get(), src, size);

    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* row = src + static_cast<std::ptrdiff_t>(y) * w;
        std::uint8_t* out = work.get() + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = 1; x < w - 1; ++x) {
            const int c = row[x];
            const int n = row[x - 1] + row[x + 1] + row[x - w] + row[x + w];
            const int value = mode == 1 ? 5 * c - n : (10 * c - n) / 6;
            // Clamped: a wrapped byte would turn the brightest pixels dark.
            out[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        }
    }
    std::memcpy(image->data, work.get(), size);
    return 0;
}

}  // namespace ocrchecks
