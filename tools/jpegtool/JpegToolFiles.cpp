#include <cstdio>
#include <fstream>
#include <iterator>

#include "JpegToolCommands.h"

namespace jpegtool {

bool ReadFile(const std::string& path, std::vector<uint8_t>& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "jpegtool: cannot open %s\n", path.c_str());
        return false;
    }
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WritePnm(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height, int channels) {
    std::ofstream out(path, std::ios::binary);
    if (!out) {
        std::fprintf(stderr, "jpegtool: cannot write %s\n", path.c_str());
        return false;
    }
    out << (channels == 3 ? "P6\n" : "P5\n") << width << " " << height << "\n255\n";
    out.write(reinterpret_cast<const char*>(pixels), std::streamsize(size_t{width} * height * channels));
    return bool(out);
}

std::vector<uint8_t> Rgb565ToRgb(const uint16_t* pixels, uint32_t stride, uint32_t width, uint32_t height) {
    std::vector<uint8_t> rgb(size_t{width} * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint16_t p = pixels[size_t{y} * stride + x];
            const uint8_t r = static_cast<uint8_t>((p >> 11) & 0x1F), g = static_cast<uint8_t>((p >> 5) & 0x3F),
                          b = static_cast<uint8_t>(p & 0x1F);
            uint8_t* o = &rgb[(size_t{y} * width + x) * 3];
            o[0] = static_cast<uint8_t>(r << 3 | r >> 2);
            o[1] = static_cast<uint8_t>(g << 2 | g >> 4);
            o[2] = static_cast<uint8_t>(b << 3 | b >> 2);
        }
    }
    return rgb;
}

}  // namespace jpegtool
