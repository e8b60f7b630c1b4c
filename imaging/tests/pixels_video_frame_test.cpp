#include <gtest/gtest.h>

#include <string>

#include "pixels/VideoFrame.h"
#include "pixels_test_util.h"

namespace {

struct LayoutCase {
    uint32_t layout;
    int width, height;
    int storedWidth, storedHeight;
    uint32_t length;
    int64_t plane1, plane2;  // offsets from plane 0, -1 for none
};

class VideoFrameLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(VideoFrameLayout, StoresSizeLengthAndPlanes) {
    const LayoutCase& c = GetParam();
    pixels_test::LogCapture log;
    VideoFrame frame{};
    ASSERT_EQ(AllocVideoFrame(&frame, c.width, c.height, c.layout), 0);
    EXPECT_EQ(frame.mWidth, c.storedWidth);
    EXPECT_EQ(frame.mHeight, c.storedHeight);
    EXPECT_EQ(frame.mLayout, c.layout);
    EXPECT_EQ(frame.mLength, c.length);
    ASSERT_NE(frame.mPlane[0], nullptr);
    EXPECT_EQ(frame.mPlane[0], frame.mReservation);
    if (c.plane1 < 0) {
        EXPECT_EQ(frame.mPlane[1], nullptr);
        EXPECT_EQ(frame.mPlane[2], nullptr);
    } else {
        EXPECT_EQ(frame.mPlane[1] - frame.mPlane[0], c.plane1);
        EXPECT_EQ(frame.mPlane[2] - frame.mPlane[0], c.plane2);
    }
    // The whole block is there and zeroed.
    for (uint32_t i = 0; i < frame.mLength; i += 997) {
        EXPECT_EQ(frame.mPlane[0][i], 0);
    }
    frame.mPlane[0][frame.mLength - 1] = 1;
    EXPECT_TRUE(log.Contains(L"[TRAVEK] apVideoFrame->mLength = [" + std::to_wstring(c.length) + L"]\n"));
    EXPECT_EQ(FreeVideoFrame(&frame), 0);
    EXPECT_EQ(frame.mPlane[0], nullptr);
    EXPECT_EQ(frame.mReservation, nullptr);
    EXPECT_EQ(frame.mLength, c.length);  // size and length stay
    EXPECT_EQ(FreeVideoFrame(&frame), 0);  // harmless twice
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, VideoFrameLayout,
    testing::Values(LayoutCase{2, 1279, 959, 1280, 960, 1843200, 1228800, 1536000},  // rounded up to even
                    LayoutCase{2, 320, 240, 320, 240, 115200, 76800, 96000},
                    LayoutCase{4, 321, 241, 321, 241, 2 * 321 * 241, 321 * 241, 321 * 241 + 321 * 241 / 2},
                    LayoutCase{8, 10, 6, 10, 6, 180, 60, 120}, LayoutCase{16, 10, 6, 10, 6, 180, 60, 120},
                    LayoutCase{64, 10, 6, 10, 6, 180, 60, 120}, LayoutCase{128, 7, 3, 7, 3, 42, -1, -1},
                    LayoutCase{256, 7, 3, 7, 3, 63, -1, -1}, LayoutCase{1, 7, 3, 7, 3, 21, -1, -1}),
    [](const testing::TestParamInfo<LayoutCase>& info) {
        return "Layout" + std::to_string(info.param.layout) + "_" + std::to_string(info.param.width) + "x" +
               std::to_string(info.param.height);
    });

TEST(VideoFrame, RefusesSizesThatDoNotFitTheRecord) {
    struct Case {
        int width, height;
        uint32_t layout;
    };
    const Case cases[] = {
        {0, 240, 2}, {320, 0, 4}, {-2, 240, 2}, {65535, 2, 2},  // rounds up past 16 bits
        {65536, 1, 1}, {65535, 65535, 256},                      // length past 32 bits
    };
    for (const Case& c : cases) {
        pixels_test::LogCapture log;
        VideoFrame frame{};
        frame.mSpare = 7;
        EXPECT_EQ(AllocVideoFrame(&frame, c.width, c.height, c.layout), -2) << c.width << " x " << c.height;
        EXPECT_EQ(frame.mPlane[0], nullptr);
        EXPECT_EQ(FreeVideoFrame(&frame), 0);
    }
    EXPECT_EQ(AllocVideoFrame(nullptr, 2, 2, 2), -2);
    EXPECT_EQ(FreeVideoFrame(nullptr), -1);
}

TEST(VideoFrame, PrintLastErrorTextNamesTheCodeAndItsText) {
    pixels_test::LogCapture log;
    PrintLastErrorText(12);
    EXPECT_TRUE(log.Contains(L"[TRAVEK] failed with error 12: ")) << log.Text();
    EXPECT_GT(log.Text().size(), std::wstring(L"[TRAVEK] failed with error 12: ").size());
}

}  // namespace
