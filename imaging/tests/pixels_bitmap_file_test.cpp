#include <gtest/gtest.h>

#include <vector>

#include "pixels/BitmapFile.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// A 3 x 2 RGB565 bitmap, rows padded from 6 to 8 bytes, worked by hand.
TEST(BitmapFile, SixteenBitsAreRgb565Bitfields) {
    const std::vector<uint8_t> bits = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0, 0,
                                       0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0, 0};
    const std::vector<uint8_t> file = pixels::BuildBitmapFile(3, 2, 16, bits.data());
    const std::vector<uint8_t> header = {
        'B', 'M', 82, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0,              // file size 14+40+12+16, offset 66
        40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 16, 0,           // size, width, height, planes, depth
        3, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // BI_BITFIELDS, image size
        0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0,          // red, green, blue masks
    };
    ASSERT_EQ(file.size(), 82u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 66), header);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 66, file.end()), bits);
}

TEST(BitmapFile, DepthsAndTheirTables) {
    struct Case {
        int bits, depth;
        uint32_t entries, compression;
    };
    for (const Case& c : {Case{1, 1, 2, 0}, Case{2, 4, 16, 0}, Case{8, 8, 256, 0}, Case{15, 16, 0, 3},
                          Case{24, 24, 0, 0}, Case{30, 32, 0, 0}}) {
        const int width = 5, height = 3;
        const uint32_t row = pixels::BitmapRowBytes(width, c.depth);
        const std::vector<uint8_t> bits(row * height, 0x5A);
        const uint32_t grey[2] = {0x00000000, 0x00FFFFFF};
        const std::vector<uint8_t> file = pixels::BuildBitmapFile(width, height, c.bits, bits.data(), grey, 2);
        const uint32_t extra = c.depth == 16 ? 12 : 4 * c.entries;
        ASSERT_EQ(file.size(), 54 + extra + row * height) << c.bits;
        EXPECT_EQ(row % 4, 0u);
        EXPECT_EQ(file[28], c.depth);
        EXPECT_EQ(Le32(file, 30), c.compression);
        EXPECT_EQ(Le32(file, 34), row * height);
        EXPECT_EQ(Le32(file, 46), c.entries);
        EXPECT_EQ(Le32(file, 10), 54 + extra);
        if (c.entries > 0) {
            EXPECT_EQ(Le32(file, 54 + 4), 0x00FFFFFFu);  // the given colours, then black
            EXPECT_EQ(Le32(file, 54 + 4 * (c.entries - 1)), c.entries > 2 ? 0u : 0x00FFFFFFu);
        }
    }
}

TEST(BitmapFile, RefusesEmptyAndOversizedBitmaps) {
    const uint8_t bits[4] = {};
    EXPECT_TRUE(pixels::BuildBitmapFile(0, 2, 16, bits).empty());
    EXPECT_TRUE(pixels::BuildBitmapFile(2, 0, 16, bits).empty());
    EXPECT_TRUE(pixels::BuildBitmapFile(2, 2, 0, bits).empty());
    EXPECT_TRUE(pixels::BuildBitmapFile(2, 2, 16, nullptr).empty());
    EXPECT_TRUE(pixels::BuildBitmapFile(0xFFFFFF, 0xFFFFFF, 32, bits).empty());
}

}  // namespace
