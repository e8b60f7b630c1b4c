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

}  // namespace jpegtool
