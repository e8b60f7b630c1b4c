// Helpers of the saver tests: camera stills made as the camera makes them,
// reference streams of our encoder, and the segments of a JPEG file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace savertest {

// A baseline 4:2:0 stream without APP0 or APP1, as the camera delivers it.
std::vector<uint8_t> CameraStream(int width, int height);

// A 320 x 240 planar 4:2:2 frame (Y, Cb, Cr): a gradient.
std::vector<uint8_t> ThumbnailFrame();

// The still buffer: the stream, then the 4:2:2 frame.
std::vector<uint8_t> StillBuffer(const std::vector<uint8_t>& stream);

// Our encoder's stream of 16-bit pixels at a quality, with a JFIF header.
std::vector<uint8_t> ReferenceJpeg(const uint8_t* pixels, int width, int height, int inputFormat, int quality);

// The first DQT segment of the main picture (APPn segments skipped).
std::vector<uint8_t> MainQuantTables(const std::vector<uint8_t>& jpeg);

// Our decoder's reading of a file: EXIF values and the thumbnail's size.
struct Reading {
    bool ok = false;
    int width = 0, height = 0;
    int thumbWidth = 0, thumbHeight = 0;
    std::string make, model, dateTimeOriginal;
    int orientation = 0;
    uint32_t pixelX = 0, pixelY = 0;
    uint32_t gpsLatitudeDegrees = 0;  // 0 when there is no GPS entry
    int whiteBalance = 0;
};
Reading Read(const std::vector<uint8_t>& jpeg);

}  // namespace savertest
