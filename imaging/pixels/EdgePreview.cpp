#include "pixels/EdgePreview.h"

#include <algorithm>
#include <cstring>

#include "pixels/EdgePreviewSimd.h"
#include "pixels/PlaneTurn.h"
#include "pixels/RotatedStore.h"

namespace pixels {
namespace {

// Mode m stores like rotation code m.
template <int Mode>
void Turn(const uint8_t* src, int width, int height, int srcStep, int dstStep, uint8_t* dst) {
    if ((Mode == kRotateLeft || Mode == kRotateRight) && TurnQuarterBlocks(src, width, height, srcStep, dstStep,
                                                                           dst, Mode == kRotateRight)) {
        return;
    }
    TurnPlane(src, srcStep, width, height, MakeRotatedStore(dst, dstStep, 1, width, height, Mode));
}

template <int Mode>
void Resize(const uint8_t* src, int srcWidth, int srcHeight, int srcStep, int dstWidth, int dstHeight, int dstStep,
            uint8_t* dst) {
    constexpr bool kQuarter = Mode == kRotateLeft || Mode == kRotateRight;
    // The output before the turn: a quarter turn resamples the source width
    // to the destination height.
    const int outWidth = kQuarter ? dstHeight : dstWidth;
    const int outHeight = kQuarter ? dstWidth : dstHeight;
    const int sx = kDecimationShift[std::min(srcWidth / outWidth, 31)];
    const int sy = kDecimationShift[std::min(srcHeight / outHeight, 31)];
    const uint64_t xStep = ((static_cast<uint64_t>(srcWidth - 1) >> sx) << kPositionBits) / outWidth;
    const uint64_t yStep = ((static_cast<uint64_t>(srcHeight - 1) >> sy) << kPositionBits) / outHeight;
    const RotatedStore out = MakeRotatedStore(dst, dstStep, 1, outWidth, outHeight, Mode);
    for (int j = 0; j < outHeight; ++j) {
        const uint64_t y = j * yStep;
        const int row = static_cast<int>(y >> kPositionBits) << sy;
        // The neighbour is always inside for a real picture; a one-row
        // source has none.
        const int row1 = std::min(row + (1 << sy), srcHeight - 1);
        const int fy = static_cast<int>(y >> kPhaseShift) & 7;
        const uint8_t* r0 = src + static_cast<ptrdiff_t>(row) * srcStep;
        const uint8_t* r1 = src + static_cast<ptrdiff_t>(row1) * srcStep;
        uint8_t* d = out.Row(j);
        uint64_t x = 0;
        for (int i = 0; i < outWidth; ++i, x += xStep, d += out.dx) {
            const int col = static_cast<int>(x >> kPositionBits) << sx;
            const int col1 = std::min(col + (1 << sx), srcWidth - 1);
            const uint8_t* w = kBilinearWeights.w[static_cast<int>(x >> kPhaseShift) & 7][fy];
            *d = static_cast<uint8_t>((w[0] * r0[col] + w[1] * r0[col1] + w[2] * r1[col] + w[3] * r1[col1]) >> 6);
        }
    }
}

bool PlaneValid(const PlaneSet& set, int p) {
    return set.plane[p] != nullptr && set.width[p] >= 1 && set.height[p] >= 1 && set.step[p] >= set.width[p];
}

}  // namespace

const TurnKernel kTurnKernels[4] = {Turn<0>, Turn<1>, Turn<2>, Turn<3>};
const ResizeKernel kResizeKernels[4] = {Resize<0>, Resize<1>, Resize<2>, Resize<3>};

}  // namespace pixels

int ResizeRotatePlanes(const PlaneSet* src, int mode, const PlaneSet* dst) {
    using namespace pixels;
    if (mode < 0 || mode > 3 || src == nullptr || dst == nullptr) {
        return -1;
    }
    for (int p = 0; p < 3; ++p) {
        if (!PlaneValid(*src, p) || !PlaneValid(*dst, p)) {
            return -1;
        }
    }
    const bool quarter = IsQuarterTurn(mode);
    for (int p = 0; p < 3; ++p) {
        // Decided per plane, so that a chroma plane of another shape is
        // resampled to its destination rather than turned past it.
        const int turnedWidth = quarter ? src->height[p] : src->width[p];
        const int turnedHeight = quarter ? src->width[p] : src->height[p];
        if (turnedWidth == dst->width[p] && turnedHeight == dst->height[p]) {
            kTurnKernels[mode](src->plane[p], src->width[p], src->height[p], src->step[p], dst->step[p],
                               dst->plane[p]);
        } else {
            kResizeKernels[mode](src->plane[p], src->width[p], src->height[p], src->step[p], dst->width[p],
                                 dst->height[p], dst->step[p], dst->plane[p]);
        }
    }
    return 0;
}

int ConvertYCbCr420ToRGB(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int height,
                         int yStep, int chromaStep, int dstStep, uint8_t* dst) {
    using namespace pixels;
    if (y == nullptr || cb == nullptr || cr == nullptr || dst == nullptr || width < 1 || height < 1 ||
        yStep < width || chromaStep < (width + 1) / 2 || dstStep < 2 * width) {
        return -1;
    }
    for (int j = 0; j < height; ++j) {
        ConvertRow565(y + static_cast<ptrdiff_t>(j) * yStep, cb + static_cast<ptrdiff_t>(j / 2) * chromaStep,
                      cr + static_cast<ptrdiff_t>(j / 2) * chromaStep, width, j & 1,
                      dst + static_cast<ptrdiff_t>(j) * dstStep);
    }
    return 0;
}
