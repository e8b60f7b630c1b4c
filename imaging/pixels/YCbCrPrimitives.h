// Planar YCbCr resize, rotate and colour-conversion primitives.
//
// Planes come as triples in the order Y, Cb, Cr with their steps (bytes from
// one row to the next). The source size is the luma size counted from the
// first source pointer; it bounds the bilinear neighbours. roiWidth x
// roiHeight is the resampled size before the turn; the ratios are 16.16 source
// distances per output pixel, ((region - 1) << 16) / (roi - 1) from the callers.
// Interpolation 0 is nearest, any other value bilinear (luma only; chroma is
// always nearest). Rotation codes 0 to 5 (pixels::Rotation).
//
// Statuses: 0 done; -2 from the plane resamplers and -5 from the RGB converter
// for a rotation code outside 0..5, a colour format outside 0..3, null planes,
// a size below 2 (below 1 for the source), steps shorter than a row, or (4:2:2)
// an odd output size. Nothing is written when the status is not 0.
#pragma once

#include <cstdint>

inline constexpr int kPlaneStatusBadArgument = -2;
inline constexpr int kRgbStatusBadArgument = -5;

// Packed formats of the RGB converter.
enum RgbFormat : int {
    kRgb565 = 0,  // 16-bit word R << 11 | G << 5 | B
    kRgb555 = 1,
    kRgb444 = 2,
    kRgb888 = 3,  // bytes B, G, R
};

int ippiYCbCr422RszRot_8u_P3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                              uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight,
                              int interpolation, int rotation, uint32_t xRatio, uint32_t yRatio);

int ippiYCbCr420RszRot_8u_P3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth, int srcHeight,
                              uint8_t* const dst[3], const int dstStep[3], int roiWidth, int roiHeight,
                              int interpolation, int rotation, uint32_t xRatio, uint32_t yRatio);

int ippiYCbCr420RszCscRotRGB_8u_P3C3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth,
                                      int srcHeight, uint8_t* dst, int dstStep, int roiWidth, int roiHeight,
                                      int format, int interpolation, int rotation, uint32_t xRatio,
                                      uint32_t yRatio);

// Turns the three planes of a 4:2:2 frame without resampling. Width and height
// are rounded down to multiples of 8; codes 1, 2, 3 turn, any other copies.
// The chroma planes are width / 2 x height. Returns 0 (-2 for null planes).
int RotateYCbCr422Planes(const uint8_t* const src[3], const int srcStep[3], uint8_t* const dst[3],
                         const int dstStep[3], int width, int height, int rotation);

namespace pixels {

// The BT.601 studio-range conversion of one pixel to 8-bit channels before the
// reduction: L = 298 * (Y - 16), R = L + 409 (Cr - 128), G = L - 100 (Cb - 128)
// - 208 (Cr - 128), B = L + 516 (Cb - 128), all scaled by 256.
struct Rgb16x16 {
    int r, g, b;
};
inline Rgb16x16 YCbCrToRgbScaled(int y, int cb, int cr) {
    const int l = 298 * (y - 16);
    const int u = cb - 128;
    const int v = cr - 128;
    return {l + 409 * v, l - 100 * u - 208 * v, l + 516 * u};
}

}  // namespace pixels
