// Binarisation: edge marking and the adaptive threshold over windows.
#include <gtest/gtest.h>

#include "check_fixtures.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;
using ocrchecks::Binarize;

Picture Binarized(Picture p) {
    ocrchecks::GreyImage image = p.View();
    EXPECT_EQ(Binarize(&image), 0);
    return p;
}

// Text lines on paper that darkens from 230 on the left to 150 on the right.
Picture ShadedPage(int w, int h) {
    Picture page = checktest::TextPage(w, h, 6, 6, 40, 255);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (page.At(x, y) == 255) {
                page.At(x, y) = static_cast<std::uint8_t>(230 - 80 * x / w);
            }
        }
    }
    return page;
}

// The shaded page with a fixed ripple of -6..+6 on every pixel.
Picture NoisyPage(int w, int h) {
    Picture page = ShadedPage(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            page.At(x, y) = static_cast<std::uint8_t>(page.At(x, y) + (x * 7 + y * 13) % 13 - 6);
        }
    }
    return page;
}

// Soft-edged text up to every border: a shaded page through two 3 x 3 box blurs.
Picture SoftPage(int w, int h) {
    Picture page = ShadedPage(w, h);
    page.Fill(0, 0, w, 3, 40);
    page.Fill(w - 5, 0, w, h, 60);
    for (int pass = 0; pass < 2; ++pass) {
        const Picture in = page;
        for (int y = 1; y < h - 1; ++y) {
            for (int x = 1; x < w - 1; ++x) {
                int sum = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        sum += in.At(x + dx, y + dy);
                    }
                }
                page.At(x, y) = static_cast<std::uint8_t>(sum / 9);
            }
        }
    }
    return page;
}

// Every grey value, edges everywhere.
Picture Pattern(int w, int h) {
    Picture p(w, h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.At(x, y) = static_cast<std::uint8_t>((x * x * 7 + y * y * 3 + x * y) % 251);
        }
    }
    return p;
}

TEST(Binarize, KeepsInkAndWhitensShadedPaper) {
    const Picture page = ShadedPage(160, 120);
    const Picture out = Binarized(page);
    int ink = 0, inkKept = 0, paper = 0, paperWhite = 0;
    for (int y = 2; y < page.height - 2; ++y) {
        for (int x = 2; x < page.width - 2; ++x) {
            if (page.At(x, y) == 40) {
                ++ink;
                inkKept += out.At(x, y) == 40;
            } else {
                ++paper;
                paperWhite += out.At(x, y) == 255;
            }
        }
    }
    EXPECT_GT(inkKept, ink * 95 / 100) << inkKept << " of " << ink;
    EXPECT_GT(paperWhite, paper * 99 / 100) << paperWhite << " of " << paper;
    // Only ink values and white come out.
    for (std::uint8_t p : out.pixels) {
        ASSERT_TRUE(p == 255 || p == 40) << int(p);
    }
}

TEST(Binarize, GoldenOutputs) {
    // Pins the readings of the window details: the last window's end, the
    // mean's divisor, the pairwise smoothing walk and the gap filling.
    struct Case {
        const char* name;
        Picture picture;
        std::uint32_t fingerprint;
    };
    const Case cases[] = {
        {"shaded page 160 x 120", ShadedPage(160, 120), 1047232129u},
        {"text page 64 x 48", checktest::TextPage(64, 48, 4, 4, 60, 210), 1109956725u},
        {"preview frame", checktest::PreviewFrame(17, 36, 303, 204), 1028702293u},
        {"noisy page 97 x 61", NoisyPage(97, 61), 3689466572u},
        {"soft page 97 x 61", SoftPage(97, 61), 1646130663u},
        {"soft page 64 x 64", SoftPage(64, 64), 2649067452u},
        {"pattern 53 x 47", Pattern(53, 47), 799843885u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(checktest::Fingerprint(Binarized(c.picture)), c.fingerprint) << c.name;
    }
}

TEST(Binarize, SmallPicturesAndWindowsOfOnePixel) {
    // Up to 4 pixels a side there is no window and no inside: all white.
    // From 5 on, the last windows span a single row or column.
    for (int w = 1; w <= 8; ++w) {
        for (int h = 1; h <= 8; ++h) {
            Picture p(w, h, 0);
            for (std::size_t i = 0; i < p.pixels.size(); ++i) {
                p.pixels[i] = static_cast<std::uint8_t>(i % 3 == 0 ? 20 : 200);
            }
            const Picture out = Binarized(p);
            if (w < 3 || h < 3) {
                EXPECT_EQ(out.pixels, std::vector<std::uint8_t>(p.pixels.size(), 255)) << w << "x" << h;
            }
        }
    }
}

TEST(Binarize, RefusesMissingPixels) {
    ocrchecks::GreyImage none{nullptr, 10, 10};
    testing::internal::CaptureStderr();
    EXPECT_EQ(Binarize(&none), 0);
    EXPECT_EQ(Binarize(nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[TRAVEK] Binarize rsImg is NULL\n[TRAVEK] Binarize rsImg is NULL\n");
    std::uint8_t pixel = 9;
    ocrchecks::GreyImage empty{&pixel, 0, 5};
    EXPECT_EQ(Binarize(&empty), 0);
    EXPECT_EQ(pixel, 9);
}

}  // namespace
