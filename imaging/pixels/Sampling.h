// Sampling positions shared by the planar primitives. Internal.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixels {

inline constexpr uint64_t kHalf16 = 0x8000;  // half a source sample in 16.16
inline constexpr uint32_t kUnitRatio = 0x10000;

// Nearest: output index i takes source index (0x8000 + i * ratio) >> 16.
inline int NearestIndex(int i, uint32_t ratio) {
    return static_cast<int>((kHalf16 + static_cast<uint64_t>(i) * ratio) >> 16);
}

// Bilinear row position of output row j: j * ratio while that stays above the
// last source row, then just above it, so that the row below always exists.
inline uint64_t BilinearRowPosition(int j, uint32_t ratio, int srcHeight) {
    const uint64_t y = static_cast<uint64_t>(j) * ratio;
    const uint64_t limit = static_cast<uint64_t>(srcHeight - 1) << 16;
    if (j == 0 || y < limit) {
        return y;
    }
    return limit == 0 ? 0 : limit - 1;
}

// The bilinear sample at 16.16 position (x, y); shifts are arithmetic and
// nothing is rounded. A neighbour past the last column or row is the sample itself.
inline uint8_t BilinearSample(const uint8_t* src, ptrdiff_t step, int srcWidth, int srcHeight, uint64_t x,
                              uint64_t y) {
    const int col = static_cast<int>(x >> 16);
    const int row = static_cast<int>(y >> 16);
    const int fx = static_cast<int>(x & 0xFFFF);
    const int fy = static_cast<int>(y & 0xFFFF);
    const int col1 = col + 1 < srcWidth ? col + 1 : col;
    const uint8_t* r0 = src + static_cast<ptrdiff_t>(row) * step;
    const uint8_t* r1 = row + 1 < srcHeight ? r0 + step : r0;
    const int p00 = r0[col];
    const int p01 = r0[col1];
    const int p10 = r1[col];
    const int p11 = r1[col1];
    const int top = p00 + (((p01 - p00) * fx) >> 16);
    const int bottom = p10 + (((p11 - p10) * fx) >> 16);
    return static_cast<uint8_t>(top + (((bottom - top) * fy) >> 16));
}

// True when every luma position of a roiWidth x roiHeight output lies inside
// a srcWidth x srcHeight source (bilinear rows are held inside by their rule).
inline bool PositionsInside(int srcWidth, int srcHeight, int roiWidth, int roiHeight, bool bilinear,
                            uint32_t xRatio, uint32_t yRatio) {
    const uint64_t lastX = static_cast<uint64_t>(roiWidth - 1) * xRatio;
    const uint64_t lastY = static_cast<uint64_t>(roiHeight - 1) * yRatio;
    if (bilinear) {
        return (lastX >> 16) < static_cast<uint64_t>(srcWidth);
    }
    return ((kHalf16 + lastX) >> 16) < static_cast<uint64_t>(srcWidth) &&
           ((kHalf16 + lastY) >> 16) < static_cast<uint64_t>(srcHeight);
}

// True when nearest index `last` of a ratio stays below count.
inline bool NearestInside(int last, uint32_t ratio, int count) {
    return last < 0 || ((kHalf16 + static_cast<uint64_t>(last) * ratio) >> 16) < static_cast<uint64_t>(count);
}

}  // namespace pixels
