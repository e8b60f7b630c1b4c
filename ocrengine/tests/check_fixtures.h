// Pictures for the image checks' tests: drawn ones, and real files of
// ../shared/testdata decoded by independent libraries.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ocrchecks/GreyImage.h"

namespace checktest {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    Picture() = default;
    Picture(int w, int h, std::uint8_t fill)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

    std::uint8_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    ocrchecks::GreyImage View() { return {pixels.data(), width, height}; }
    void Fill(int left, int top, int right, int bottom, std::uint8_t value);  // right, bottom excluded
};

// Decoders (libpng, libjpeg-turbo, Leptonica for TIFF); empty picture on failure.
Picture LoadPng(const std::filesystem::path& path);
Picture LoadJpeg(const std::filesystem::path& path, int scaleDenom);
Picture LoadTiff(const std::filesystem::path& path);
bool SavePng(const Picture& picture, const std::filesystem::path& path);  // for looking at a fixture

// Area-average scaling, as a thumbnail is made.
Picture ScaleArea(const Picture& source, int width, int height);
// The direction picture as the program makes it: the picture scaled to
// 320 x 240, held as RGB565 and turned grey by the thumbnail decoder's table
// (white comes out as 250).
Picture ProgramThumbnail(const Picture& source);
// Separable Gaussian blur, borders repeated; sigma 0 returns the picture.
Picture GaussianBlur(const Picture& source, double sigma);
// A quarter turn, clockwise or counter-clockwise.
Picture Turn(const Picture& source, bool clockwise);

// 32-bit FNV-1a of the pixels: golden outputs of the filters.
std::uint32_t Fingerprint(const Picture& picture);

// A 320 x 240 preview frame: a textured grey scene, with a light card with a
// few dark text lines at the given rectangle (clipped) unless it is empty.
Picture PreviewFrame(int left, int top, int right, int bottom);

// A page of dark text lines ("words" of bars) on white, lines running across.
Picture TextPage(int width, int height, int lineHeight, int lineGap, std::uint8_t ink,
                 std::uint8_t paper);

// Tesseract's orientation detection: how far the text is turned clockwise
// (0, 90, 180 or 270), or -1 when it cannot tell.
int OsdDegrees(const Picture& picture);

// Words recognised by Tesseract (English) on the picture, lower case, in reading order.
std::vector<std::string> ReadWords(const Picture& picture);

}  // namespace checktest
