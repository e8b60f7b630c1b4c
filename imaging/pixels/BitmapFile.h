// The bytes of a .bmp file for a device-independent bitmap: the part of
// IUSaveBitmapFile that does not need the drawing layer (which reads the
// bitmap's description and pixel bits and writes the file).
//
// The depth is raised to the next of 1, 4, 8, 16, 24, 32. A 16-bit bitmap is
// written as BI_BITFIELDS with the RGB565 masks and no colour table; 24 and
// 32 bits as BI_RGB without one; 1, 4 and 8 bits with their colour table
// (missing entries are black). Rows are padded to 4 bytes, as in memory.
#pragma once

#include <cstdint>
#include <vector>

namespace pixels {

// The pixel rows as a DIB holds them: bottom-up for a positive height,
// ((width * bits + 31) / 32) * 4 bytes apart. Returns an empty vector for a
// size or depth that is not positive, or a bitmap too large for the format.
std::vector<uint8_t> BuildBitmapFile(int width, int height, int bitsPerPixel, const uint8_t* bits,
                                     const uint32_t* colours = nullptr, int colourCount = 0);

// Bytes from one row to the next in a DIB.
inline uint32_t BitmapRowBytes(int width, int bitsPerPixel) {
    return ((static_cast<uint32_t>(width) * static_cast<uint32_t>(bitsPerPixel) + 31) / 32) * 4;
}

}  // namespace pixels
