// Rows of the RGB converter's nearest road with their vector form. Internal.
#pragma once

#include <cstdint>

namespace pixels {

// count pixels (even) of one output row into 16-bit words of the format
// (RGB565, RGB555 or RGB444): luma[i] for pixel i, cb[i / 2] and cr[i / 2]
// for each pixel pair, the YCbCrToRgbScaled conversion and its reduction.
// The vector form gives the scalar words; the vector kernels' switch picks.
void PairsToRgb16(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int count, int format, uint16_t* out);
void PairsToRgb16Scalar(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int count, int format,
                        uint16_t* out);

}  // namespace pixels
