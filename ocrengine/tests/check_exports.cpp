// The image checks through the engine library's exported interface.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

#include "LumOCREngine.h"
#include "check_fixtures.h"

namespace {

using checktest::Picture;

OcrImage ImageOf(Picture& p) { return OcrImage{p.pixels.data(), p.width, p.height}; }

Picture DownPage() { return checktest::Turn(checktest::TextPage(320, 240, 6, 4, 30, 230), true); }

TEST(CheckExports, DirectionTurnSwapsTheCallersSize) {
    Picture small = DownPage();
    Picture full(3, 2, 0);
    full.pixels = {1, 2, 3, 4, 5, 6};
    OcrImage s = ImageOf(small), f = ImageOf(full);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LumOCR_CheckImageDirection(&s, &f), 0);
    EXPECT_EQ(LumOCR_CheckImageDirection(nullptr, &f), 1);
    EXPECT_EQ(LumOCR_CheckImageDirection(&s, nullptr), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(f.width, 2);
    EXPECT_EQ(f.height, 3);
    EXPECT_EQ(full.pixels, (std::vector<std::uint8_t>{4, 1, 5, 2, 6, 3}));
}

TEST(CheckExports, EdgeCountersArePerProcess) {
    Picture card = checktest::PreviewFrame(17, 36, 303, 204);
    Picture empty = checktest::PreviewFrame(0, 0, 0, 0);
    RECT bands{-7, -7, -7, -7};
    std::int32_t found = -7;
    // Period 1 processes whatever the counter held; not found at period 10
    // then skips the next call, which leaves the flags alone.
    EXPECT_EQ(LumOCR_EdgeDetection(card.pixels.data(), 320, 240, &bands, &found, 1), 0);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(bands.left + bands.top + bands.right + bands.bottom, 4);
    LumOCR_EdgeDetection(empty.pixels.data(), 320, 240, &bands, &found, 10);
    EXPECT_EQ(bands.left + bands.top + bands.right + bands.bottom, 0);
    bands = RECT{-7, -7, -7, -7};
    LumOCR_EdgeDetection(card.pixels.data(), 320, 240, &bands, &found, 10);
    EXPECT_EQ(found, 0);
    EXPECT_EQ(bands.left, -7);
    EXPECT_EQ(LumOCR_EdgeDetection(card.pixels.data(), 320, 240, &bands, &found, 1), 0);
    EXPECT_EQ(found, 1);
}

TEST(CheckExports, FiltersAndBlurWorkOnTheCallersPicture) {
    Picture p(10, 10, 0);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            p.At(x, y) = (x + y) % 2 ? 100 : 0;
        }
    }
    OcrImage image = ImageOf(p);
    RECT rect{-1, -1, 9, 9};
    testing::internal::CaptureStderr();
    EXPECT_EQ(LumOCR_BlurDetection(&image, 1, &rect, 2501), 1);
    EXPECT_EQ(LumOCR_BlurDetection(&image, 1, &rect, 2500), 0);
    EXPECT_EQ(LumOCR_BlurDetection(nullptr, 1, &rect, 2500), 0);
    EXPECT_EQ(LumOCR_Binarize(nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "[TRAVEK] Engine sum(2500), blur_standard(2501)\n"
              "[TRAVEK] Engine sum(2500), blur_standard(2500)\n"
              "[TRAVEK] Binarize rsImg is NULL\n");

    Picture sharpened = p;
    OcrImage s = ImageOf(sharpened);
    EXPECT_EQ(LumOCR_Sharpen(&s, 1), 0);
    EXPECT_EQ(sharpened.At(1, 1), 0);    // 0 - 400 clamps
    EXPECT_EQ(sharpened.At(2, 1), 255);  // 500 clamps
    EXPECT_EQ(sharpened.At(0, 1), 100);  // border kept
    EXPECT_EQ(LumOCR_Sharpen(nullptr, 1), 0);

    Picture page = checktest::TextPage(64, 48, 4, 4, 60, 210);
    OcrImage b = ImageOf(page);
    EXPECT_EQ(LumOCR_Binarize(&b), 0);
    EXPECT_EQ(checktest::Fingerprint(page), 1109956725u);  // as Binarize.GoldenOutputs
}

TEST(CheckExports, SharedLibraryHandsTheChecksOver) {
    void* library = dlopen(LUM_BINARY_DIR "/bin/libLumOCREngine.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    using Direction = std::int32_t (*)(OcrImage*, OcrImage*);
    auto check = reinterpret_cast<Direction>(dlsym(library, "LumOCR_CheckImageDirection"));
    ASSERT_NE(check, nullptr);
    Picture small = DownPage();
    Picture full(4, 2, 9);
    OcrImage s = ImageOf(small), f = ImageOf(full);
    testing::internal::CaptureStderr();
    EXPECT_EQ(check(&s, &f), 0);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("[OCR_ENGINE] VERTICAL LINES["), std::string::npos);
    EXPECT_EQ(f.width, 2);
    // Nothing of the checks' own names leaks out of the library.
    EXPECT_EQ(dlsym(library, "_ZN9ocrchecks8BinarizeEPNS_9GreyImageE"), nullptr);
    dlclose(library);
}

}  // namespace
