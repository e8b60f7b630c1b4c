// Picture files for ocrtool: JPEG (through the program's own decoder), PNG,
// PGM/PPM and TIFF, decoded to RGB, and the program's way from there to its grey
// recognition picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ocrtool {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> px;  // R, G, B per pixel
};

struct Grey {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> px;
};

// Empty picture and a message in `error` when the file cannot be read.
Rgb ReadPicture(const std::string& path, std::string& error);

// Area-average scaling to exactly width x height.
Rgb Scale(const Rgb& src, int width, int height);

// Scaled to fit width x height whole, keeping its proportions; the rest is
// filled with the picture's mean colour.
Rgb FitInto(const Rgb& src, int width, int height);

// The program's grey conversion: through 16-bit RGB565 and its 64 K table.
Grey ToProgramGrey(const Rgb& src);

// Rows and columns [left, right) x [top, bottom).
Grey Crop(const Grey& src, int left, int top, int right, int bottom);

bool WritePgm(const std::string& path, const Grey& grey);

}  // namespace ocrtool
