// The image utility functions over whole frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "pixels/EdgePreview.h"
#include "pixels/FrameLayout.h"
#include "pixels/ImgUtil.h"
#include "pixels_test_util.h"

namespace {

using pixels_test::LogCapture;
using pixels_test::Pixel565;

// A W x H 4:2:0 frame block whose samples tell where they came from: luma
// (x + 3y) & 0xFF, first chroma plane x ^ y, second chroma plane 255 - (x + y).
std::vector<uint8_t> Positional420(int w, int h) {
    std::vector<uint8_t> f(static_cast<size_t>(w) * h * 3 / 2);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            f[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(x + 3 * y);
        }
    }
    const size_t n = static_cast<size_t>(w) * h;
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            f[n + static_cast<size_t>(y) * (w / 2) + x] = static_cast<uint8_t>(x ^ y);
            f[n + n / 4 + static_cast<size_t>(y) * (w / 2) + x] = static_cast<uint8_t>(255 - (x + y));
        }
    }
    return f;
}

// A camera frame (Y, Cr, Cb) of one colour.
std::vector<uint8_t> CameraFrame(int w, int h, uint8_t y, uint8_t cb, uint8_t cr) {
    std::vector<uint8_t> f(static_cast<size_t>(w) * h * 3 / 2, y);
    const pixels::FramePlanes<uint8_t> p = pixels::CameraFrame420(f.data(), w, h);
    std::fill(p.cr, p.cr + w * h / 4, cr);
    std::fill(p.cb, p.cb + w * h / 4, cb);
    return f;
}

TEST(ImgUtil, CentredRegionStartsAtItsOffset) {
    const std::vector<uint8_t> src = Positional420(640, 480);
    std::vector<uint8_t> dst(320 * 240 * 3 / 2);
    ASSERT_EQ(IUYUV420RszRot(src.data(), 640, 480, 480, 360, dst.data(), 320, 240, 0), 1);
    EXPECT_EQ(dst[0], static_cast<uint8_t>(80 + 3 * 60));  // column 80, row 60
    EXPECT_EQ(dst[320 * 240], 40 ^ 30);                    // its chroma sample
    EXPECT_EQ(dst[320 * 240 + 160 * 120], 255 - (40 + 30));

    // Turned counter-clockwise: the region is resampled to 240 x 320 first and
    // its top-left sample ends bottom-left of the 320 x 240 destination.
    ASSERT_EQ(IUYUV420RszRot(src.data(), 640, 480, 480, 360, dst.data(), 320, 240, 1), 1);
    EXPECT_EQ(dst[239 * 320], static_cast<uint8_t>(80 + 3 * 60));
}

// An odd vertical offset still starts the chroma at the region's own chroma row.
TEST(ImgUtil, OddOffsetKeepsChromaWithItsRegion) {
    const std::vector<uint8_t> src = Positional420(64, 48);
    std::vector<uint8_t> dst(32 * 24 * 3 / 2);
    // Region 32 x 25: xOff 16, yOff 11.
    ASSERT_EQ(IUYUV420RszRot(src.data(), 64, 48, 32, 25, dst.data(), 32, 24, 0), 1);
    EXPECT_EQ(dst[0], static_cast<uint8_t>(16 + 3 * 11));
    EXPECT_EQ(dst[32 * 24], 8 ^ 5);
}

TEST(ImgUtil, TopLeftRegionsAndThePlaneOrder) {
    const std::vector<uint8_t> src = Positional420(64, 48);
    std::vector<uint8_t> keep(16 * 12 * 3 / 2), swapped(keep.size());
    ASSERT_EQ(IUResizeRotateStill(src.data(), 64, 48, 32, 24, keep.data(), 16, 12, 0), 1);
    ASSERT_EQ(IUResizeRotateStill420(src.data(), 64, 48, 32, 24, swapped.data(), 16, 12, 0), 1);
    const size_t d = 16 * 12;
    EXPECT_EQ(keep[0], 0);
    EXPECT_TRUE(std::equal(keep.begin(), keep.begin() + d, swapped.begin()));
    // The camera frame's second plane (Cb) comes first in the reordered result.
    EXPECT_TRUE(std::equal(keep.begin() + d, keep.begin() + d + d / 4, swapped.begin() + d + d / 4));
    EXPECT_TRUE(std::equal(keep.begin() + d + d / 4, keep.end(), swapped.begin() + d));
}

// The refusals of the family: 0, one log line, nothing written.
TEST(ImgUtil, RefusesBadFramesWithALogLine) {
    using Fn = int (*)(const uint8_t*, int, int, int, int, uint8_t*, int, int, int);
    struct Case {
        const char* what;
        Fn fn;
        bool nullSource;
        int srcWidth, srcHeight, regionWidth, regionHeight, dstWidth, dstHeight, rotation;
        const wchar_t* logged;
    };
    const Case cases[] = {
        {"zero width", IUYUV420RszRot, false, 64, 48, 64, 48, 0, 24, 0,
         L"\r\n[LumOCR] Error:855-line(IUYUV420RszRot||..\\inc\\img_util)\r\n    ->\r\nInvalid Width(0) and Height(24)  !!!"},
        {"size check before null check", IUYUV420RszRot, true, 64, 48, 64, 48, 32, 1, 0, L"Invalid Width(32) and Height(1)"},
        {"null source", IUYUV420RszRot, true, 64, 48, 64, 48, 32, 24, 0,
         L"Error:860-line(IUYUV420RszRot||..\\inc\\img_util)\r\n    ->\r\nInput Buffer is NULL  !!!"},
        {"region wider than source", IUYUV420RszRot, false, 64, 48, 66, 48, 32, 24, 0, L"Invalid Region(66 x 48) of Source(64 x 48)"},
        {"region below 2", IUResizeRotateStill, false, 64, 48, 1, 48, 32, 24, 0, L"Error:392-line(IUResizeRotateStill"},
        {"odd source height", IUYUV420RszRot, false, 64, 47, 64, 46, 32, 24, 0, L"Invalid Region"},
        {"rotation 6", IUYUV420RszRot, false, 64, 48, 64, 48, 32, 24, 6,
         L"Error:920-line(IUYUV420RszRot||..\\inc\\img_util)\r\n    ->ippiYCbCr420RszRot_8u_P3R FAILED !!! (State : -2)\r\n"},
        {"rotation 6 to RGB565", IUYCbCr420toRGB565_RszRot, false, 64, 48, 64, 48, 32, 24, 6,
         L"Error:728-line(IUYCbCr420toRGB565_RszRot||..\\inc\\img_util)\r\n    ->ippiYCbCr420RszCscRotRGB_8u_P3C3R FAILED !!! (State : -5)\r\n"},
        {"rotation 6 to RGB888", IUYCbCr420toRGB888_RszRot, false, 64, 48, 64, 48, 32, 24, 6, L"Error:799-line"},
        {"rotation 7 still 420", IUResizeRotateStill420, false, 64, 48, 64, 48, 32, 24, 7, L"Error:357-line"},
        {"4:2:2 quarter turn", IUYUV422RszRot, false, 64, 48, 64, 48, 48, 64, 1, L"Error:278-line"},
    };
    const std::vector<uint8_t> src(64 * 48 * 2, 90);
    for (const Case& c : cases) {
        LogCapture log;
        std::vector<uint8_t> dst(64 * 64 * 3, 0x33);
        EXPECT_EQ(c.fn(c.nullSource ? nullptr : src.data(), c.srcWidth, c.srcHeight, c.regionWidth, c.regionHeight,
                       dst.data(), c.dstWidth, c.dstHeight, c.rotation),
                  0)
            << c.what;
        EXPECT_TRUE(log.Contains(c.logged)) << c.what << ": " << std::string(log.Text().begin(), log.Text().end());
        EXPECT_TRUE(std::all_of(dst.begin(), dst.end(), [](uint8_t v) { return v == 0x33; })) << c.what;
    }
}

// Both automatic-shot roads from a camera frame to the panel give the same
// colour: red stays red, blue stays blue.
TEST(ImgUtil, CameraFramesKeepRedAndBlueOnBothPreviewRoads) {
    struct Colour {
        uint8_t y, cb, cr;
        bool red;
    };
    for (const Colour& c : {Colour{81, 90, 240, true}, Colour{41, 240, 110, false}}) {
        const std::vector<uint8_t> frame = CameraFrame(320, 240, c.y, c.cb, c.cr);
        std::vector<uint8_t> panel(240 * 320 * 2);
        ASSERT_EQ(IUYCbCr420toRGB565_RszRot(frame.data(), 320, 240, 320, 240, panel.data(), 240, 320, 2), 1);

        // The edge preview: planes turned into work planes, then converted
        // with Cb and Cr taken by the frame layout.
        std::vector<uint8_t> work(240 * 320 * 3 / 2);
        PlaneSet src{}, dst{};
        const size_t n = 320 * 240;
        uint8_t* in = const_cast<uint8_t*>(frame.data());
        uint8_t* const inPlanes[3] = {in, in + n, in + n + n / 4};
        uint8_t* const outPlanes[3] = {work.data(), work.data() + n, work.data() + n + n / 4};
        for (int p = 0; p < 3; ++p) {
            const int div = p == 0 ? 1 : 2;
            src.width[p] = 320 / div, src.height[p] = 240 / div, src.step[p] = 320 / div, src.plane[p] = inPlanes[p];
            dst.width[p] = 240 / div, dst.height[p] = 320 / div, dst.step[p] = 240 / div, dst.plane[p] = outPlanes[p];
        }
        ASSERT_EQ(ResizeRotatePlanes(&src, 2, &dst), 0);
        const pixels::FramePlanes<uint8_t> wp = pixels::CameraFrame420(work.data(), 240, 320);
        std::vector<uint8_t> surface(240 * 320 * 2);
        ASSERT_EQ(ConvertYCbCr420ToRGB(wp.y, wp.cb, wp.cr, 240, 320, 240, 120, 480, surface.data()), 0);

        for (const std::vector<uint8_t>* out : {&panel, &surface}) {
            const uint16_t px = Pixel565(*out, 1000);
            const int r = px >> 11, b = px & 31;
            EXPECT_EQ(r > b, c.red) << std::hex << px;
            EXPECT_GT(std::abs(r - b), 10) << std::hex << px;
        }
    }
}

TEST(ImgUtil, Rgb888StoresBlueGreenRed) {
    const std::vector<uint8_t> frame = CameraFrame(4, 4, 81, 90, 240);
    std::vector<uint8_t> out(4 * 4 * 3);
    ASSERT_EQ(IUYCbCr420toRGB888_RszRot(frame.data(), 4, 4, 4, 4, out.data(), 4, 4, 0), 1);
    EXPECT_EQ(out[0], 0);    // blue
    EXPECT_EQ(out[2], 254);  // red: 65178 >> 8
}

TEST(ImgUtil, TurnedFourTwoTwoToRgb565) {
    // 4:2:2 frame (Y, Cb, Cr) of one colour: every output pixel has it, for
    // every turn; the scratch block must hold 2 * W * H bytes.
    const int w = 32, h = 16;
    std::vector<uint8_t> frame(static_cast<size_t>(w) * h * 2, 81);
    const pixels::FramePlanes<uint8_t> p = pixels::Frame422(frame.data(), w, h);
    std::fill(p.cb, p.cb + w * h / 2, 90);
    std::fill(p.cr, p.cr + w * h / 2, 240);
    std::vector<uint8_t> scratch(static_cast<size_t>(w) * h * 2);
    for (int rotation = 0; rotation <= 3; ++rotation) {
        std::vector<uint8_t> out(24 * 12 * 2, 0x11);
        ASSERT_EQ(IUYCbCr422toRGB565_RszRot(frame.data(), w, h, 16, 16, out.data(), 24, 12, rotation, scratch.data(),
                                            static_cast<uint32_t>(scratch.size())),
                  1)
            << rotation;
        for (size_t i = 0; i < 24 * 12; ++i) {
            ASSERT_EQ(Pixel565(out, i), 0xF800) << rotation << " at " << i;
        }
    }
    LogCapture log;
    std::vector<uint8_t> out(24 * 12 * 2);
    EXPECT_EQ(IUYCbCr422toRGB565_RszRot(frame.data(), w, h, 16, 16, out.data(), 24, 12, 0, scratch.data(),
                                        static_cast<uint32_t>(scratch.size() - 1)),
              0);
    EXPECT_TRUE(log.Contains(L"Error:499-line(IUYCbCr422toRGB565_RszRot||..\\inc\\img_util)\r\n    ->\r\nNot Enough Buffer !!!"));
}

// The turned copy mirrors left to right on the way out.
TEST(ImgUtil, FourTwoTwoToRgb565MirrorsTheCopy) {
    const int w = 16, h = 8;
    std::vector<uint8_t> frame(static_cast<size_t>(w) * h * 2, 128);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            frame[static_cast<size_t>(y) * w + x] = x < w / 2 ? 16 : 235;  // dark left half
        }
    }
    std::vector<uint8_t> scratch(static_cast<size_t>(w) * h * 2);
    std::vector<uint8_t> out(16 * 8 * 2);
    ASSERT_EQ(IUYCbCr422toRGB565_RszRot(frame.data(), w, h, 16, 8, out.data(), 16, 8, 0, scratch.data(),
                                        static_cast<uint32_t>(scratch.size())),
              1);
    EXPECT_EQ(Pixel565(out, 0), 0xFFFF);  // the bright right edge now on the left
    EXPECT_EQ(Pixel565(out, 15), 0x0000);
}

TEST(ImgUtil, CentringMovesThePictureAndClearsTheRest) {
    // A 2 x 6 picture into a 6-pixel-wide frame from row 1: columns 2 and 3,
    // the first 6 - 4 = 2 picture rows.
    const int frameWidth = 6, frameRows = 5;
    const uint32_t frameSize = frameWidth * frameRows * 2;
    std::vector<uint8_t> frame(frameSize, 0);
    for (int i = 0; i < 2 * 6 * 2; ++i) {
        frame[i] = static_cast<uint8_t>(i + 1);
    }
    std::vector<uint8_t> scratch(frameSize);
    ASSERT_EQ(IUImageCentering(frame.data(), frameSize, 2, 6, frameWidth, 0, 1, scratch.data(), frameSize), 1);
    std::vector<uint8_t> expected(frameSize, 0);
    for (int r = 0; r < 2; ++r) {
        for (int b = 0; b < 4; ++b) {
            expected[(1 + r) * frameWidth * 2 + 4 + b] = static_cast<uint8_t>(r * 4 + b + 1);
        }
    }
    EXPECT_EQ(frame, expected);

    // Height 4: only cleared.
    std::fill(frame.begin(), frame.end(), 9);
    ASSERT_EQ(IUImageCentering(frame.data(), frameSize, 2, 4, frameWidth, 0, 0, scratch.data(), frameSize), 1);
    EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t v) { return v == 0; }));
}

TEST(ImgUtil, CentringRefusesWithoutTouchingTheFrame) {
    struct Case {
        const char* what;
        int pictureWidth, pictureHeight, topRow;
        uint32_t scratchSize;
        const wchar_t* logged;
    };
    const uint32_t frameSize = 6 * 5 * 2;
    const Case cases[] = {
        {"scratch too small", 2, 6, 0, frameSize - 1, L"Error:644-line(IUImageCentering||..\\inc\\img_util)\r\n    ->\r\nNot Enough Buffer !!!"},
        {"height below 4", 2, 3, 0, frameSize, L"Error:644-line(IUImageCentering||..\\inc\\img_util)\r\n    ->\r\nInvalid Picture(2 x 3)"},
        {"top row past the frame", 2, 6, 4, frameSize, L"Error:644-line"},
        {"wider than the frame", 8, 4, 0, frameSize, L"Error:644-line"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        std::vector<uint8_t> frame(frameSize, 9), scratch(frameSize);
        EXPECT_EQ(IUImageCentering(frame.data(), frameSize, c.pictureWidth, c.pictureHeight, 6, 0, c.topRow,
                                   scratch.data(), c.scratchSize),
                  0)
            << c.what;
        EXPECT_TRUE(log.Contains(c.logged)) << c.what;
        EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t v) { return v == 9; })) << c.what;
    }
}

}  // namespace
