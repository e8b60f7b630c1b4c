// The two planar resamplers: 4:2:2 and 4:2:0 planes in, the same planes out,
// resized and turned in one pass.
#include <cstring>

#include "pixels/RotatedStore.h"
#include "pixels/Sampling.h"
#include "pixels/YCbCrPrimitives.h"

namespace pixels {
namespace {

enum class Chroma { k422, k420 };

bool ArgumentsValid(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                    uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight, int interpolation,
                    int rotation, uint32_t xRatio, uint32_t yRatio, Chroma chroma) {
    if (rotation < kRotateNone || rotation > kFlipTopBottom) {
        return false;
    }
    if (src == nullptr || srcStep == nullptr || dst == nullptr || dstStep == nullptr) {
        return false;
    }
    for (int p = 0; p < 3; ++p) {
        if (src[p] == nullptr || dst[p] == nullptr) {
            return false;
        }
    }
    if (srcWidth < 1 || srcHeight < 1 || roiWidth < 2 || roiHeight < 2) {
        return false;
    }
    // The 4:2:2 planes are written in whole 2 x 2 blocks.
    if (chroma == Chroma::k422 && ((roiWidth | roiHeight) & 1) != 0) {
        return false;
    }
    // Rows of the turned output: a quarter turn makes the chroma of a 4:2:2
    // picture as wide as the luma.
    const bool quarter = IsQuarterTurn(rotation);
    const int lumaOut = quarter ? roiHeight : roiWidth;
    const int chromaOut = quarter ? (chroma == Chroma::k420 ? roiHeight / 2 : roiHeight) : roiWidth / 2;
    if (srcStep[0] < srcWidth || srcStep[1] < (srcWidth + 1) / 2 || srcStep[2] < (srcWidth + 1) / 2 ||
        dstStep[0] < lumaOut || dstStep[1] < chromaOut || dstStep[2] < chromaOut) {
        return false;
    }
    const int chromaRows = chroma == Chroma::k420 ? (srcHeight + 1) / 2 : srcHeight;
    return PositionsInside(srcWidth, srcHeight, roiWidth, roiHeight, interpolation != 0, xRatio, yRatio) &&
           NearestInside(roiWidth / 2 - 1, xRatio, (srcWidth + 1) / 2) &&
           (chroma == Chroma::k422 || NearestInside(roiHeight / 2 - 1, yRatio, chromaRows));
}

void ResampleLuma(const uint8_t* src, ptrdiff_t srcStep, int srcWidth, int srcHeight, const RotatedStore& out,
                  int roiWidth, int roiHeight, bool bilinear, uint32_t xRatio, uint32_t yRatio) {
    if (!bilinear) {
        for (int j = 0; j < roiHeight; ++j) {
            const uint8_t* row = src + static_cast<ptrdiff_t>(NearestIndex(j, yRatio)) * srcStep;
            uint8_t* d = out.Row(j);
            if (xRatio == kUnitRatio && out.dx == 1) {
                std::memcpy(d, row, static_cast<size_t>(roiWidth));
                continue;
            }
            uint64_t x = kHalf16;
            for (int i = 0; i < roiWidth; ++i, x += xRatio, d += out.dx) {
                *d = row[x >> 16];
            }
        }
        return;
    }
    for (int j = 0; j < roiHeight; ++j) {
        const uint64_t y = BilinearRowPosition(j, yRatio, srcHeight);
        uint8_t* d = out.Row(j);
        uint64_t x = 0;
        for (int i = 0; i < roiWidth; ++i, x += xRatio, d += out.dx) {
            *d = BilinearSample(src, srcStep, srcWidth, srcHeight, x, y);
        }
    }
}

// Chroma is always taken by the nearest sample; rowOf gives the source row of
// each output chroma row.
template <typename RowOf>
void ResampleChroma(const uint8_t* src, ptrdiff_t srcStep, const RotatedStore& out, int width, int height,
                    uint32_t xRatio, RowOf rowOf) {
    for (int j = 0; j < height; ++j) {
        const uint8_t* row = src + static_cast<ptrdiff_t>(rowOf(j)) * srcStep;
        uint8_t* d = out.Row(j);
        uint64_t x = kHalf16;
        for (int i = 0; i < width; ++i, x += xRatio, d += out.dx) {
            *d = row[x >> 16];
        }
    }
}

int ResizeRotate(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                 uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight, int interpolation,
                 int rotation, uint32_t xRatio, uint32_t yRatio, Chroma chroma) {
    if (!ArgumentsValid(src, srcStep, srcWidth, srcHeight, dst, dstStep, roiWidth, roiHeight, interpolation,
                        rotation, xRatio, yRatio, chroma)) {
        return kPlaneStatusBadArgument;
    }
    // On whole source samples bilinear and nearest agree; taking them directly
    // also keeps the last row exact, which the held-back row position would not.
    const bool bilinear = interpolation != 0 && !(xRatio == kUnitRatio && yRatio == kUnitRatio);
    ResampleLuma(src[0], srcStep[0], srcWidth, srcHeight,
                 MakeRotatedStore(dst[0], dstStep[0], 1, roiWidth, roiHeight, rotation), roiWidth, roiHeight,
                 bilinear, xRatio, yRatio);

    const int chromaWidth = roiWidth / 2;
    const int chromaHeight = chroma == Chroma::k420 ? roiHeight / 2 : roiHeight;
    for (int p = 1; p < 3; ++p) {
        const RotatedStore out = MakeRotatedStore(dst[p], dstStep[p], 1, chromaWidth, chromaHeight, rotation);
        if (chroma == Chroma::k420) {
            ResampleChroma(src[p], srcStep[p], out, chromaWidth, chromaHeight, xRatio,
                           [yRatio](int j) { return NearestIndex(j, yRatio); });
        } else if (bilinear) {
            // Full-height chroma follows its luma row, rounded.
            ResampleChroma(src[p], srcStep[p], out, chromaWidth, chromaHeight, xRatio, [=](int j) {
                return static_cast<int>((BilinearRowPosition(j, yRatio, srcHeight) + kHalf16) >> 16);
            });
        } else {
            ResampleChroma(src[p], srcStep[p], out, chromaWidth, chromaHeight, xRatio,
                           [yRatio](int j) { return NearestIndex(j, yRatio); });
        }
    }
    return 0;
}

}  // namespace
}  // namespace pixels

int ippiYCbCr422RszRot_8u_P3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                              uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight,
                              int interpolation, int rotation, uint32_t xRatio, uint32_t yRatio) {
    return pixels::ResizeRotate(src, srcStep, srcWidth, srcHeight, dst, dstStep, roiWidth, roiHeight,
                                interpolation, rotation, xRatio, yRatio, pixels::Chroma::k422);
}

int ippiYCbCr420RszRot_8u_P3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                              uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight,
                              int interpolation, int rotation, uint32_t xRatio, uint32_t yRatio) {
    return pixels::ResizeRotate(src, srcStep, srcWidth, srcHeight, dst, dstStep, roiWidth, roiHeight,
                                interpolation, rotation, xRatio, yRatio, pixels::Chroma::k420);
}
