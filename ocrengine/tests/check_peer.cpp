// The checks on real pictures of ../shared/testdata, judged by independent
// decoders and by Tesseract.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "check_fixtures.h"
#include "lumtest/tempdir.h"
#include "ocrchecks/EdgeDetector.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;
using checktest::ProgramThumbnail;
using ocrchecks::CheckRect;

Picture Page(const char* name) {
    const auto path = lumtest::TestData(std::string("tesseract-test/") + name);
    Picture page = path.extension() == ".tif" ? checktest::LoadTiff(path) : checktest::LoadPng(path);
    EXPECT_GT(page.width, 0) << path;
    return page;
}

Picture CardPhoto() {
    // 4032 x 3024 decoded at 1/8: 504 x 378.
    Picture card = checktest::LoadJpeg(lumtest::TestData("cards/business-card-english.jpg"), 8);
    EXPECT_EQ(card.width, 504);
    EXPECT_EQ(card.height, 378);
    return card;
}

// How many of the page's words Tesseract reads.
int KnownWordsRead(const Picture& page) {
    const std::vector<std::string> words = checktest::ReadWords(page);
    int known = 0;
    for (const std::string& w : words) {
        for (const char* k : {"quick", "brown", "dog", "jumped", "over", "lazy", "fox", "point", "text"}) {
            known += w == k;
        }
    }
    return known;
}

TEST(DirectionCheckPeer, UprightPageIsLeftAlone) {
    Picture page = Page("phototest.tif");
    Picture small = ProgramThumbnail(page);
    EXPECT_EQ(ocrchecks::DetectCardType(1, small.pixels.data(), small.width, small.height, nullptr,
                                        nullptr),
              0);
    Picture full = page;
    ocrchecks::GreyImage s = small.View(), f = full.View();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ocrchecks::CheckImageDirection(&s, &f), 1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("HORIZONTAL LINES["), std::string::npos);
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(full.pixels, page.pixels);
    EXPECT_GT(KnownWordsRead(full), 20);
}

TEST(DirectionCheckPeer, TurnedPagesAreTurnedSoTheEngineReadsThem) {
    for (const char* name : {"phototest-rotated-L.png", "phototest-rotated-R.png"}) {
        Picture full = Page(name);
        ASSERT_EQ(full.width, 480);
        Picture small = ProgramThumbnail(full);
        EXPECT_NE(ocrchecks::DetectCardType(1, small.pixels.data(), small.width, small.height,
                                            nullptr, nullptr),
                  0)
            << name;
        ocrchecks::GreyImage s = small.View(), f = full.View();
        testing::internal::CaptureStderr();
        EXPECT_EQ(ocrchecks::CheckImageDirection(&s, &f), 0) << name;
        EXPECT_NE(testing::internal::GetCapturedStderr().find("VERTICAL LINES["), std::string::npos);
        full.width = f.width;
        full.height = f.height;
        ASSERT_EQ(full.width, 640);
        ASSERT_EQ(full.height, 480);

        // The text now runs across: upright, or upside down for the engine's
        // orientation detection to right.
        const int degrees = checktest::OsdDegrees(full);
        EXPECT_TRUE(degrees == 0 || degrees == 180) << name << ": " << degrees;
        if (degrees == 180) {
            full = checktest::Turn(checktest::Turn(full, true), true);
        }
        EXPECT_GT(KnownWordsRead(full), 20) << name;
    }
}

TEST(BlurDetectionPeer, MeasureFallsAsTheCardPhotoBlurs) {
    const Picture card = CardPhoto();
    // The name, the contact block and the company name of the card.
    std::vector<CheckRect> rects = {{50, 110, 210, 160}, {260, 80, 390, 150}, {140, 190, 300, 260}};
    int previous = INT_MAX;
    for (double sigma : {0.0, 0.8, 1.5, 3.0}) {
        Picture blurred = checktest::GaussianBlur(card, sigma);
        const ocrchecks::GreyImage image = blurred.View();
        testing::internal::CaptureStderr();
        ocrchecks::BlurDetection(&image, 3, rects.data(), 1000);
        int measure = -1, standard = 0;
        std::sscanf(testing::internal::GetCapturedStderr().c_str(),
                    "[TRAVEK] Engine sum(%d), blur_standard(%d)", &measure, &standard);
        RecordProperty("sigma" + std::to_string(static_cast<int>(sigma * 10)), measure);
        EXPECT_GE(measure, 0);
        EXPECT_LT(measure, previous) << "sigma " << sigma;
        previous = measure;
    }
}

TEST(EdgeDetectionPeer, CardPhotoFillingThePreviewIsFound) {
    const Picture card = CardPhoto();
    // The card fills the frame: its left, top and right borders lie in their bands.
    Picture preview = checktest::ScaleArea(card, 320, 240);
    ocrchecks::CEdgeDetector detector;
    CheckRect bands{};
    std::int32_t found = -1;
    detector.Detect(preview.pixels.data(), 320, 240, &bands, &found, 10);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(bands.left + bands.top + bands.right + bands.bottom, 3);

    // At 60 % in the middle of a grey scene it is not.
    Picture scene(320, 240, 110);
    const Picture smaller = checktest::ScaleArea(card, 192, 144);
    for (int y = 0; y < smaller.height; ++y) {
        for (int x = 0; x < smaller.width; ++x) {
            scene.At(64 + x, 48 + y) = smaller.At(x, y);
        }
    }
    ocrchecks::CEdgeDetector fresh;
    fresh.Detect(scene.pixels.data(), 320, 240, &bands, &found, 10);
    EXPECT_EQ(found, 0);
}

}  // namespace
