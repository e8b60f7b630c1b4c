// Plane turns without resampling, and the 4:2:2 frame turn built on them.
#include "pixels/PlaneTurn.h"

#include <algorithm>
#include <cstring>

#include "pixels/YCbCrPrimitives.h"

namespace pixels {

void TurnPlane(const uint8_t* src, ptrdiff_t srcStep, int w, int h, const RotatedStore& out) {
    if (out.dx == 1) {
        for (int y = 0; y < h; ++y) {
            std::memcpy(out.Row(y), src + y * srcStep, static_cast<size_t>(w));
        }
        return;
    }
    // Quarter turns write down the destination's columns: work in small tiles
    // so that the rows written stay in the cache.
    constexpr int kTile = 16;
    for (int y0 = 0; y0 < h; y0 += kTile) {
        const int y1 = std::min(h, y0 + kTile);
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = std::min(w, x0 + kTile);
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = src + y * srcStep;
                uint8_t* d = out.Row(y);
                for (int x = x0; x < x1; ++x) {
                    d[x * out.dx] = s[x];
                }
            }
        }
    }
}

}  // namespace pixels

int RotateYCbCr422Planes(const uint8_t* const src[3], const int srcStep[3], uint8_t* const dst[3],
                         const int dstStep[3], int width, int height, int rotation) {
    using namespace pixels;
    if (src == nullptr || srcStep == nullptr || dst == nullptr || dstStep == nullptr) {
        return kPlaneStatusBadArgument;
    }
    const int w = std::max(width, 0) & ~7;
    const int h = std::max(height, 0) & ~7;
    if (w == 0 || h == 0) {
        return 0;
    }
    const int turn = rotation >= kRotateLeft && rotation <= kRotateHalf ? rotation : kRotateNone;
    for (int p = 0; p < 3; ++p) {
        const int pw = p == 0 ? w : w / 2;
        const int outWidth = IsQuarterTurn(turn) ? h : pw;
        if (src[p] == nullptr || dst[p] == nullptr || srcStep[p] < pw || dstStep[p] < outWidth) {
            return kPlaneStatusBadArgument;
        }
    }
    for (int p = 0; p < 3; ++p) {
        const int pw = p == 0 ? w : w / 2;  // 4:2:2 chroma: half the width, full height
        TurnPlane(src[p], srcStep[p], pw, h, MakeRotatedStore(dst[p], dstStep[p], 1, pw, h, turn));
    }
    return 0;
}
