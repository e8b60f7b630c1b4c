// Blur measure: pixel variance over rectangles, against a threshold.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <string>

#include "check_fixtures.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;
using ocrchecks::BlurDetection;
using ocrchecks::CheckRect;

// Runs the check and returns its log line ("" when it logs none).
std::string BlurLog(Picture& picture, std::vector<CheckRect> rects, std::int32_t threshold,
                    std::int32_t* result = nullptr) {
    const ocrchecks::GreyImage image = picture.View();
    testing::internal::CaptureStderr();
    const std::int32_t r = BlurDetection(&image, static_cast<std::int32_t>(rects.size()),
                                         rects.data(), threshold);
    std::string log = testing::internal::GetCapturedStderr();
    if (result != nullptr) {
        *result = r;
    }
    return log;
}

// The averaged variance the check reports in its log line; -1 without one.
int Measure(Picture& picture, std::vector<CheckRect> rects) {
    int sum = -1, standard = 0;
    const std::string log = BlurLog(picture, std::move(rects), 1);
    if (std::sscanf(log.c_str(), "[TRAVEK] Engine sum(%d), blur_standard(%d)", &sum, &standard) != 2) {
        return -1;
    }
    return sum;
}

// 0 and 100 in a checkerboard: mean 50, variance 2500.
Picture Checker(int w, int h) {
    Picture p(w, h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            p.At(x, y) = (x + y) % 2 ? 100 : 0;
        }
    }
    return p;
}

TEST(BlurDetection, ComparesTheAveragedVarianceWithTheThreshold) {
    Picture grey(10, 10, 77);
    Picture checker = Checker(10, 10);
    struct Case {
        Picture* picture;
        std::int32_t threshold;
        std::int32_t blurred;
        const char* log;
    };
    const Case cases[] = {
        {&grey, 1, 1, "[TRAVEK] Engine sum(0), blur_standard(1)\n"},
        {&grey, 0, 0, "[TRAVEK] Engine sum(0), blur_standard(0)\n"},
        {&checker, 2500, 0, "[TRAVEK] Engine sum(2500), blur_standard(2500)\n"},
        {&checker, 2501, 1, "[TRAVEK] Engine sum(2500), blur_standard(2501)\n"},
    };
    for (const Case& c : cases) {
        std::int32_t result = -1;
        EXPECT_EQ(BlurLog(*c.picture, {{-1, -1, 9, 9}}, c.threshold, &result), c.log);
        EXPECT_EQ(result, c.blurred) << c.log;
    }
}

TEST(BlurDetection, TakesPixelsRightOfLeftAndBelowTop) {
    // The rectangle (4, 4, 7, 7) covers columns and rows 5 to 7 only: a
    // bright frame on row and column 4 does not count.
    Picture p(10, 10, 50);
    p.Fill(4, 0, 5, 10, 250);
    p.Fill(0, 4, 10, 5, 250);
    EXPECT_EQ(Measure(p, {{4, 4, 7, 7}}), 0);
    EXPECT_GT(Measure(p, {{3, 3, 7, 7}}), 0);
    // Integer mean, truncated variance: 9 pixels 0,0,...,0,10 -> mean 1, variance (8 + 81) / 9 = 9.
    Picture q(3, 3, 0);
    q.At(2, 2) = 10;
    EXPECT_EQ(Measure(q, {{-1, -1, 2, 2}}), 9);
}

TEST(BlurDetection, ClipsRectanglesAndAveragesOverThoseUsed) {
    Picture checker = Checker(20, 20);
    struct Case {
        const char* name;
        std::vector<CheckRect> rects;
        int measure;
    };
    const Case cases[] = {
        {"reaching past every border", {{-50, -50, 500, 500}}, 2500},
        {"outside beside a full one", {{-1, -1, 19, 19}, {30, 30, 40, 40}}, 2500},
        {"empty beside a full one", {{-1, -1, 19, 19}, {5, 5, 5, 9}, {9, 9, 2, 2}}, 2500},
        {"extreme coordinates", {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}}, 2500},
        {"none left", {{20, 0, 30, 10}, {0, 0, 0, 0}}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Measure(checker, c.rects), c.measure) << c.name;
    }
    // A checker half and a flat half: the mean of 2500 and 0.
    Picture half = Checker(20, 20);
    half.Fill(10, 0, 20, 20, 50);
    EXPECT_EQ(Measure(half, {{-1, -1, 9, 19}, {9, -1, 19, 19}}), 1250);
}

TEST(BlurDetection, RefusesWhatItCannotMeasure) {
    Picture p = Checker(10, 10);
    const ocrchecks::GreyImage image = p.View();
    const ocrchecks::GreyImage noPixels{nullptr, 10, 10};
    const CheckRect rect{-1, -1, 9, 9};
    testing::internal::CaptureStderr();
    EXPECT_EQ(BlurDetection(&image, 0, &rect, 100000), 0);
    EXPECT_EQ(BlurDetection(&image, -1, &rect, 100000), 0);
    EXPECT_EQ(BlurDetection(&image, 1, nullptr, 100000), 0);
    EXPECT_EQ(BlurDetection(nullptr, 1, &rect, 100000), 0);
    EXPECT_EQ(BlurDetection(&noPixels, 1, &rect, 100000), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(BlurDetection, LargeRectanglesDoNotOverflow) {
    // 4096 x 2048: sums beyond 32 bits. Halves of 200 and 255: variance 27.5^2 = 756.
    Picture p(4096, 2048, 200);
    p.Fill(0, 1024, 4096, 2048, 255);
    EXPECT_EQ(Measure(p, {{-1, -1, 4095, 2047}}), 756);
}

TEST(BlurDetection, MeasureFallsAsADrawnCardBlurs) {
    const Picture card = checktest::PreviewFrame(17, 36, 303, 204);
    int previous = INT_MAX;
    for (double sigma : {0.0, 0.8, 1.5, 3.0}) {
        Picture blurred = checktest::GaussianBlur(card, sigma);
        const int measure = Measure(blurred, {{50, 90, 240, 150}});
        EXPECT_LT(measure, previous) << "sigma " << sigma;
        previous = measure;
    }
}

TEST(BlurDetection, SharpLowContrastCountsAsBlurred) {
    // The measure is contrast, not sharpness: the same sharp card at a
    // tenth of its contrast measures below the card blurred with sigma 3.
    const Picture card = checktest::PreviewFrame(17, 36, 303, 204);
    Picture faint = card;
    for (std::uint8_t& p : faint.pixels) {
        p = static_cast<std::uint8_t>(128 + (p - 128) / 10);
    }
    Picture blurred = checktest::GaussianBlur(card, 3.0);
    EXPECT_LT(Measure(faint, {{50, 90, 240, 150}}), Measure(blurred, {{50, 90, 240, 150}}));
}

}  // namespace
