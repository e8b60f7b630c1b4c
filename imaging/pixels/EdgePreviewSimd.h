// Row and block kernels of the edge preview, with their vector forms. Internal.
#pragma once

#include <cstdint>

namespace pixels {

// One row of RGB565 pixels from a luma row and its chroma rows; rowParity
// picks the dither offsets of the row.
void ConvertRow565(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int rowParity, uint8_t* dst);
void ConvertRow565Scalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int rowParity,
                         uint8_t* dst);

// Quarter turn in 8 x 8 blocks; false (nothing written) when the vector
// kernels are off or the plane is not made of whole blocks.
bool TurnQuarterBlocks(const uint8_t* src, int width, int height, int srcStep, int dstStep, uint8_t* dst,
                       bool clockwise);

}  // namespace pixels
