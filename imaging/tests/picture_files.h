// Small picture files made by the field libraries (libpng, giflib,
// libjpeg-turbo) or byte by byte (BMP), for the loader tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace picturetest {

struct Rgb {
    int width = 0, height = 0;
    std::vector<uint8_t> px;  // R, G, B
};

Rgb HalfRedHalfBlue(int width, int height);
Rgb Flat(int width, int height, uint8_t grey);

std::vector<uint8_t> Bmp24(const Rgb& p, bool topDown);
std::vector<uint8_t> Bmp8(const Rgb& p);     // palette of the picture's colours
std::vector<uint8_t> Bmp565(const Rgb& p);   // BI_BITFIELDS 5-6-5
std::vector<uint8_t> BmpHeaderOnly(int width, int height);
std::vector<uint8_t> BmpRle8();
std::vector<uint8_t> Png(const Rgb& p, bool transparentLeft = false);
std::vector<uint8_t> Gif(const Rgb& p, bool interlaced);
std::vector<uint8_t> Jpeg(const Rgb& p);

// The first n bytes.
std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n);

}  // namespace picturetest
