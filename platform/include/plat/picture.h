// Picture files, one reader for every loader of the platform (the shell's
// image-file loader, the picture decoder, the imaging factory), chosen by
// content:
//   BMP  1, 4, 8, 16, 24 and 32 bits, BI_RGB and BI_BITFIELDS, either row
//        order; run-length coded files are refused (ERROR_NOT_SUPPORTED).
//   PNG  any depth and colour type, with transparency.
//   GIF  the first frame, interlaced or not, with its transparent colour.
//   JPEG through the decoder the program registers; without one
//        ERROR_NOT_SUPPORTED.
// Sides above 16384 are refused (ERROR_INVALID_DATA) before anything is
// allocated; so are broken files. Unknown content gives ERROR_NOT_SUPPORTED.
#pragma once

#include <cstddef>
#include <vector>

#include "plat/types.h"

namespace plat {

inline constexpr int kMaxPictureSide = 16384;

// RGB565 words, rows top-down; alpha (one byte a pixel) only for pictures
// with transparency, else empty.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<WORD> pixels;
    std::vector<BYTE> alpha;
};

// Decodes a JPEG stream at the smallest of the scales 1, 1/2, 1/4, 1/8 whose
// size still covers minWidth x minHeight (0 x 0: full size). 0 or an error
// code.
using JpegPictureDecoder = DWORD (*)(const BYTE* data, size_t size, int minWidth, int minHeight, Picture* out);

// The program's JPEG decoder for every picture loader; null removes it.
void RegisterJpegPictureDecoder(JpegPictureDecoder decoder);

// The whole file in memory to a picture. 0, ERROR_NOT_SUPPORTED,
// ERROR_INVALID_DATA or ERROR_NOT_ENOUGH_MEMORY.
DWORD DecodePicture(const BYTE* data, size_t size, int minWidth, int minHeight, Picture* out);

// A device file read whole and decoded; also ERROR_FILE_NOT_FOUND.
DWORD DecodePictureFile(LPCWSTR devicePath, int minWidth, int minHeight, Picture* out);

}  // namespace plat
