// Sharpening: 5c - n or (10c - n) / 6 inside the border, clamped to bytes.
#include <gtest/gtest.h>

#include "check_fixtures.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;
using ocrchecks::Sharpen;

// The centre of a 3 x 3 picture with centre c and the four neighbours n/4 each.
int SharpenedCentre(int c, int neighbour, int corner, std::int32_t mode) {
    Picture p(3, 3, static_cast<std::uint8_t>(corner));
    p.At(1, 1) = static_cast<std::uint8_t>(c);
    p.At(0, 1) = p.At(2, 1) = p.At(1, 0) = p.At(1, 2) = static_cast<std::uint8_t>(neighbour);
    ocrchecks::GreyImage image = p.View();
    EXPECT_EQ(Sharpen(&image, mode), 0);
    return p.At(1, 1);
}

TEST(Sharpen, CentreValues) {
    struct Case {
        int c, neighbour;
        std::int32_t mode;
        int expected;
    };
    const Case cases[] = {
        {100, 100, 1, 100},  // flat stays flat
        {60, 50, 1, 100},    // 300 - 200
        {40, 50, 1, 0},      // 200 - 200
        {20, 50, 1, 0},      // -100 clamps to 0
        {200, 100, 1, 255},  // 600 is clamped, not wrapped to 88
        {100, 90, 0, 106},   // (1000 - 360) / 6 = 106.7 truncated
        {100, 90, 2, 106},   // any mode other than 1
        {255, 0, 7, 255},    // 2550 / 6 = 425 clamped
        {10, 10, -1, 10},    // (100 - 40) / 6
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SharpenedCentre(c.c, c.neighbour, 77, c.mode), c.expected)
            << "c " << c.c << " n " << c.neighbour << " mode " << c.mode;
    }
}

TEST(Sharpen, ReadsTheSourceNotItsOwnOutput) {
    // A step: every output pixel comes from the unsharpened neighbours.
    Picture p(5, 3, 100);
    p.Fill(2, 0, 5, 3, 150);
    ocrchecks::GreyImage image = p.View();
    Sharpen(&image, 1);
    EXPECT_EQ(p.At(1, 1), 50);   // 500 - (100 + 150 + 100 + 100)
    EXPECT_EQ(p.At(2, 1), 200);  // 750 - (100 + 150 + 150 + 150); 250 if it read 50 on its left
}

TEST(Sharpen, KeepsTheBorderInBothModes) {
    for (std::int32_t mode : {0, 1}) {
        Picture p(17, 11, 0);
        for (std::size_t i = 0; i < p.pixels.size(); ++i) {
            p.pixels[i] = static_cast<std::uint8_t>(i * 97 % 251);
        }
        const Picture before = p;
        ocrchecks::GreyImage image = p.View();
        Sharpen(&image, mode);
        for (int x = 0; x < p.width; ++x) {
            EXPECT_EQ(p.At(x, 0), before.At(x, 0));
            EXPECT_EQ(p.At(x, p.height - 1), before.At(x, p.height - 1));
        }
        for (int y = 0; y < p.height; ++y) {
            EXPECT_EQ(p.At(0, y), before.At(0, y));
            EXPECT_EQ(p.At(p.width - 1, y), before.At(p.width - 1, y));
        }
        EXPECT_NE(p.pixels, before.pixels) << "mode " << mode;
    }
}

TEST(Sharpen, LeavesPicturesWithoutInsideAlone) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 9}, std::pair{9, 2}}) {
        Picture p(w, h, 0);
        for (std::size_t i = 0; i < p.pixels.size(); ++i) {
            p.pixels[i] = static_cast<std::uint8_t>(i * 31);
        }
        const Picture before = p;
        ocrchecks::GreyImage image = p.View();
        EXPECT_EQ(Sharpen(&image, 1), 0);
        EXPECT_EQ(p.pixels, before.pixels);
    }
    ocrchecks::GreyImage none{nullptr, 10, 10};
    EXPECT_EQ(Sharpen(&none, 1), 0);
    EXPECT_EQ(Sharpen(nullptr, 1), 0);
    std::uint8_t pixel = 9;
    ocrchecks::GreyImage negative{&pixel, -5, 3};
    EXPECT_EQ(Sharpen(&negative, 1), 0);
    EXPECT_EQ(pixel, 9);
}

}  // namespace
