#include "pixels/BitmapFile.h"

#include <cstring>

namespace pixels {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kMasks565[3] = {0xF800, 0x07E0, 0x001F};

int RaisedDepth(int bits) {
    for (int depth : {1, 4, 8, 16, 24}) {
        if (bits <= depth) {
            return depth;
        }
    }
    return 32;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> BuildBitmapFile(int width, int height, int bitsPerPixel, const uint8_t* bits,
                                     const uint32_t* colours, int colourCount) {
    if (width <= 0 || height == 0 || bitsPerPixel <= 0 || bits == nullptr || width > 0xFFFFFF ||
        height < -0xFFFFFF || height > 0xFFFFFF) {
        return {};
    }
    const int depth = RaisedDepth(bitsPerPixel);
    const uint32_t entries = depth <= 8 ? 1u << depth : 0;
    const uint32_t extra = depth == 16 ? sizeof kMasks565 : 4 * entries;
    const uint64_t imageSize =
        static_cast<uint64_t>(BitmapRowBytes(width, depth)) * static_cast<uint64_t>(height < 0 ? -height : height);
    const uint64_t offset = kFileHeaderSize + kInfoHeaderSize + extra;
    if (offset + imageSize > 0xFFFFFFFFu) {
        return {};
    }
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(offset + imageSize));
    // BITMAPFILEHEADER
    Put16(out, 0x4D42);  // "BM"
    Put32(out, static_cast<uint32_t>(offset + imageSize));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, static_cast<uint32_t>(offset));
    // BITMAPINFOHEADER
    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(depth));
    Put32(out, depth == 16 ? kBiBitfields : kBiRgb);
    Put32(out, static_cast<uint32_t>(imageSize));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, entries);
    Put32(out, 0);
    if (depth == 16) {
        for (uint32_t mask : kMasks565) {
            Put32(out, mask);
        }
    }
    for (uint32_t i = 0; i < entries; ++i) {
        Put32(out, colours != nullptr && i < static_cast<uint32_t>(colourCount > 0 ? colourCount : 0) ? colours[i] : 0);
    }
    out.insert(out.end(), bits, bits + imageSize);
    return out;
}

}  // namespace pixels
