// Random shapes, ratios and codes through the primitives with buffers of
// exactly the size they describe: every call either works or is refused,
// and none reads or writes outside (the sanitizer build watches).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "pixels/EdgePreview.h"
#include "pixels/YCbCrPrimitives.h"

namespace {

struct Shape {
    int w, h;
};

Shape TurnedShape(int rotation, int w, int h) {
    return rotation == 1 || rotation == 2 ? Shape{h, w} : Shape{w, h};
}

TEST(PrimitivesRobustness, RandomCallsStayInsideTheirBuffers) {
    std::mt19937 rng(2024);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    int done = 0;
    for (int round = 0; round < 3000; ++round) {
        const int srcW = pick(1, 24), srcH = pick(1, 24);
        const int roiW = pick(1, 24), roiH = pick(1, 24);
        const int rotation = pick(-1, 7);
        const int interpolation = pick(0, 1);
        const bool is420 = pick(0, 1) == 1;
        // Ratios as the callers make them from a region, or anything.
        const int regionW = pick(1, srcW), regionH = pick(1, srcH);
        uint32_t xRatio = roiW > 1 ? static_cast<uint32_t>(((regionW - 1) << 16) / (roiW - 1)) : 0x10000;
        uint32_t yRatio = roiH > 1 ? static_cast<uint32_t>(((regionH - 1) << 16) / (roiH - 1)) : 0x10000;
        if (pick(0, 3) == 0) {
            xRatio = static_cast<uint32_t>(pick(0, 0x60000));
            yRatio = static_cast<uint32_t>(pick(0, 0x60000));
        }
        const int srcCw = (srcW + 1) / 2, srcCh = is420 ? (srcH + 1) / 2 : srcH;
        std::vector<uint8_t> sy(static_cast<size_t>(srcW) * srcH, 50), sb(static_cast<size_t>(srcCw) * srcCh, 60),
            sr(sb.size(), 70);
        const uint8_t* src[3] = {sy.data(), sb.data(), sr.data()};
        const int srcSteps[3] = {srcW, srcCw, srcCw};

        const Shape luma = TurnedShape(rotation, roiW, roiH);
        const Shape chroma = TurnedShape(rotation, roiW / 2, is420 ? roiH / 2 : roiH);
        std::vector<uint8_t> dy(static_cast<size_t>(luma.w) * luma.h), db(static_cast<size_t>(chroma.w) * chroma.h),
            dr(db.size());
        uint8_t* dst[3] = {dy.data(), db.data(), dr.data()};
        const int dstSteps[3] = {luma.w, chroma.w, chroma.w};
        const auto primitive = is420 ? ippiYCbCr420RszRot_8u_P3R : ippiYCbCr422RszRot_8u_P3R;
        if (!db.empty()) {
            const int status = primitive(src, srcSteps, srcW, srcH, dst, dstSteps, roiW, roiH, interpolation,
                                         rotation, xRatio, yRatio);
            EXPECT_TRUE(status == 0 || status == -2);
            done += status == 0;
        }

        const int format = pick(0, 4);
        const int bytes = format == 3 ? 3 : 2;
        std::vector<uint8_t> sb420(static_cast<size_t>(srcCw) * ((srcH + 1) / 2), 80), sr420(sb420.size(), 90);
        const uint8_t* src420[3] = {sy.data(), sb420.data(), sr420.data()};
        std::vector<uint8_t> rgb(static_cast<size_t>(luma.w) * luma.h * bytes);
        const int status = ippiYCbCr420RszCscRotRGB_8u_P3C3R(src420, srcSteps, srcW, srcH, rgb.data(), luma.w * bytes,
                                                             roiW, roiH, format, interpolation, rotation, xRatio,
                                                             yRatio);
        EXPECT_TRUE(status == 0 || status == -5);
        done += status == 0;
    }
    EXPECT_GT(done, 1000);  // most calls are valid ones
}

TEST(PrimitivesRobustness, RandomEdgePreviewShapes) {
    std::mt19937 rng(7);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 2000; ++round) {
        const int mode = pick(0, 3);
        PlaneSet src{}, dst{};
        std::vector<std::vector<uint8_t>> buffers;
        for (int p = 0; p < 3; ++p) {
            src.width[p] = pick(1, 40), src.height[p] = pick(1, 40), src.step[p] = src.width[p] + pick(0, 3);
            dst.width[p] = pick(1, 40), dst.height[p] = pick(1, 40), dst.step[p] = dst.width[p] + pick(0, 3);
            if (pick(0, 2) == 0) {  // often exactly the turned size
                const bool quarter = mode == 1 || mode == 2;
                dst.width[p] = quarter ? src.height[p] : src.width[p];
                dst.height[p] = quarter ? src.width[p] : src.height[p];
                dst.step[p] = dst.width[p];
            }
            buffers.emplace_back(static_cast<size_t>(src.step[p]) * (src.height[p] - 1) + src.width[p], 1);
            src.plane[p] = buffers.back().data();
            buffers.emplace_back(static_cast<size_t>(dst.step[p]) * (dst.height[p] - 1) + dst.width[p], 2);
            dst.plane[p] = buffers.back().data();
        }
        ASSERT_EQ(ResizeRotatePlanes(&src, mode, &dst), 0);

        const int w = pick(1, 33), h = pick(1, 9);
        std::vector<uint8_t> y(static_cast<size_t>(w) * h), c(static_cast<size_t>((w + 1) / 2) * ((h + 1) / 2)),
            out(static_cast<size_t>(w) * h * 2);
        ASSERT_EQ(ConvertYCbCr420ToRGB(y.data(), c.data(), c.data(), w, h, w, (w + 1) / 2, 2 * w, out.data()), 0);
    }
}

}  // namespace
