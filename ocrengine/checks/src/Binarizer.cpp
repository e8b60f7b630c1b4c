#include "Binarizer.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>

#include "ocrchecks/CheckLog.h"
#include "Compass.h"
#include "ocrchecks/ImageChecks.h"

namespace ocrchecks {

namespace {

constexpr int kWindowSide = kWindowReach + 1;
constexpr int kColumnScale = 115;  // a column's threshold: 115 % of the mean around its marks

// Marks strong edges with the darkest pixel of their neighbourhood; the rest is white.
void MarkEdges(const std::uint8_t* src, int w, int h, std::uint8_t* work) {
    std::memset(work, 255, static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* row = src + static_cast<std::ptrdiff_t>(y) * w;
        std::uint8_t* out = work + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = 1; x < w - 1; ++x) {
            const std::uint8_t* p = row + x;
            if (!NoWhiteAboveOrBelow(p, w) || CompassResponse(p, w) <= kMarkResponse) {
                continue;
            }
            out[x] = std::min({p[-w - 1], p[-w], p[-w + 1], p[-1], p[0], p[1], p[w - 1], p[w],
                               p[w + 1]});
        }
    }
}

// One window of the adaptive threshold, columns x0..x1 and rows y0..y1 (both included).
void ThresholdWindow(const std::uint8_t* src, int w, std::uint8_t* work, int x0, int y0, int x1,
                     int y1) {
    const int columns = x1 - x0 + 1;
    const int rows = y1 - y0 + 1;

    // One row-major pass: marks per column, the source around them, and the window's sum.
    int marks[kWindowSide] = {};
    int around[kWindowSide] = {};
    int sum = 0;
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* s = src + static_cast<std::ptrdiff_t>(y) * w + x0;
        const std::uint8_t* k = work + static_cast<std::ptrdiff_t>(y) * w + x0;
        for (int c = 0; c < columns; ++c) {
            sum += s[c];
            const int marked = k[c] != 255;
            marks[c] += marked;
            around[c] += marked * (s[c - 1] + s[c] + s[c + 1]);
        }
    }
    int value[kWindowSide];
    int counted = 0;
    for (int c = 0; c < columns; ++c) {
        value[c] = marks[c] > 0 ? kColumnScale * around[c] / (100 * 3 * marks[c]) : 0;
        counted += marks[c] > kCountedColumnPixels;
    }
    if (counted < kMinCountedColumns) {
        return;  // too few marks: the window leaves the work picture as it is
    }

    // The mean divides by (rows - 1) x (columns - 1), as the window's nominal
    // size; a span of one pixel divides by 1 there.
    const int base = sum / (std::max(rows - 1, 1) * std::max(columns - 1, 1)) * 9 / 10;
    int darkSum = 0;
    int darkCount = 0;
    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* row = src + static_cast<std::ptrdiff_t>(y) * w;
        for (int x = x0; x <= x1; ++x) {
            const int dark = row[x] < base;
            darkSum += dark * row[x];
            darkCount += dark;
        }
    }
    const int limit = base + (darkCount > 0 ? darkSum / darkCount : base);

    // Smoothing walks left to right over overlapping pairs, each pair seeing
    // the value its left neighbour pair left behind.
    for (int c = 0; c + 1 < columns; ++c) {
        if (value[c] > 0 && value[c + 1] > 0) {
            value[c] = value[c + 1] = (value[c] + value[c + 1]) / 2;
        }
    }
    for (int c = 0; c < columns; ++c) {
        value[c] = std::min(value[c], limit / 2);
    }

    // A gap of at most 16 columns takes the mean of its neighbours, or the one it has.
    for (int c = 0; c < columns;) {
        if (value[c] != 0) {
            ++c;
            continue;
        }
        int end = c;
        while (end < columns && value[end] == 0) {
            ++end;
        }
        if (end - c <= kMaxGapColumns) {
            const int left = c > 0 ? value[c - 1] : 0;
            const int right = end < columns ? value[end] : 0;
            const int fill = left == 0 ? right : right == 0 ? left : (left + right) / 2;
            std::fill(value + c, value + end, fill);
        }
        c = end;
    }

    for (int y = y0; y <= y1; ++y) {
        const std::uint8_t* row = src + static_cast<std::ptrdiff_t>(y) * w;
        std::uint8_t* out = work + static_cast<std::ptrdiff_t>(y) * w;
        for (int c = 0; c < columns; ++c) {
            const int x = x0 + c;
            out[x] = row[x] > value[c] ? 255 : row[x];
        }
    }
}

}  // namespace

void BinarizeInto(const std::uint8_t* src, int width, int height, std::uint8_t* work) {
    MarkEdges(src, width, height, work);
    // Windows run row by row and read the marks earlier windows rewrote.
    const int lastX = width - 1 - kWindowMargin;
    const int lastY = height - 1 - kWindowMargin;
    for (int y0 = kWindowMargin; y0 <= lastY; y0 += kWindowStep) {
        const int y1 = std::min(y0 + kWindowReach, lastY);
        for (int x0 = kWindowMargin; x0 <= lastX; x0 += kWindowStep) {
            ThresholdWindow(src, width, work, x0, y0, std::min(x0 + kWindowReach, lastX), y1);
        }
    }
}

std::int32_t Binarize(GreyImage* image) {
    if (image == nullptr || image->data == nullptr) {
        CheckLog("[TRAVEK] Binarize rsImg is NULL\n");
        return 0;
    }
    if (image->width <= 0 || image->height <= 0) {
        return 0;
    }
    const std::size_t size =
        static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height);
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[size]);
    if (!work) {
        return 0;
    }
    BinarizeInto(image->data, image->width, image->height, work.get());
    std::memcpy(image->data, work.get(), size);
    return 0;
}

}  // namespace ocrchecks
