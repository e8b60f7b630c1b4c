// The edge-preview kernels: the automatic shot resamples and turns the planes
// of a 4:2:0 preview frame into a work buffer of the display's size and
// orientation, then converts that into RGB565 pixels on the display surface.
//
// ResizeRotatePlanes returns 0, or -1 for a mode outside 0..3 or a plane set
// that cannot be processed (null plane, size below 1, step shorter than a row);
// nothing is written then. ConvertYCbCr420ToRGB returns 0, or -1 for null
// planes, a size below 1 or short steps.
#pragma once

#include <cstdint>

// One planar picture: entries 0, 1, 2 describe planes Y, 1 and 2; entry 3 is
// not read. Which chroma plane comes first is the frame's layout
// (pixels/FrameLayout.h); all planes are processed alike.
struct PlaneSet {
    int32_t width[4];
    int32_t height[4];
    int32_t step[4];
    uint8_t* plane[4];
};

// Modes: 0 unchanged, 1 quarter turn counter-clockwise, 2 quarter turn
// clockwise, 3 half turn. A plane whose destination already has the turned
// size is only turned; any other is resampled to its destination's size.
int ResizeRotatePlanes(const PlaneSet* src, int mode, const PlaneSet* dst);

// Writes width x height RGB565 pixels row by row; one Cb and one Cr sample
// serve each 2 x 2 block (an odd last row or column shares its neighbour's).
int ConvertYCbCr420ToRGB(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int height,
                         int yStep, int chromaStep, int dstStep, uint8_t* dst);

namespace pixels {

// Resampling positions are 14.18 fixed point; the top three fraction bits
// pick one of 8 phases.
inline constexpr int kPositionBits = 18;
inline constexpr int kPhaseShift = 15;

// Power-of-two spacing of the interpolated samples by the integer ratio
// source / output size (clamped to 31), so that large reductions still read
// four samples per output sample.
inline constexpr uint8_t kDecimationShift[32] = {0, 0, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3,
                                                 3, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4};

// Weights w00, w01, w10, w11 by column phase fx and row phase fy; each sums to 64.
struct BilinearWeights {
    uint8_t w[8][8][4];
};
inline constexpr BilinearWeights MakeBilinearWeights() {
    BilinearWeights t{};
    for (int fx = 0; fx < 8; ++fx) {
        for (int fy = 0; fy < 8; ++fy) {
            t.w[fx][fy][0] = static_cast<uint8_t>((8 - fx) * (8 - fy));
            t.w[fx][fy][1] = static_cast<uint8_t>(fx * (8 - fy));
            t.w[fx][fy][2] = static_cast<uint8_t>((8 - fx) * fy);
            t.w[fx][fy][3] = static_cast<uint8_t>(fx * fy);
        }
    }
    return t;
}
inline constexpr BilinearWeights kBilinearWeights = MakeBilinearWeights();

// Kernels by mode. A turn kernel takes (source, width, height, source step,
// destination step, destination); a resize kernel takes (source, source width,
// source height, source step, destination width, destination height,
// destination step, destination), the destination size being the turned one.
using TurnKernel = void (*)(const uint8_t*, int, int, int, int, uint8_t*);
using ResizeKernel = void (*)(const uint8_t*, int, int, int, int, int, int, uint8_t*);
extern const TurnKernel kTurnKernels[4];
extern const ResizeKernel kResizeKernels[4];

// The luma offset of each place of a 2 x 2 block (mean 16); it dithers the
// reduction to RGB565. Indexed [row & 1][column & 1].
inline constexpr int kDitherLumaOffset[2][2] = {{12, 17}, {20, 15}};

}  // namespace pixels
