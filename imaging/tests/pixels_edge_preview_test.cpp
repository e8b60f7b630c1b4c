// The edge-preview kernels: plane resize-and-turn and the dithered RGB565 conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "pixels/EdgePreview.h"
#include "pixels/Simd.h"
#include "pixels_test_util.h"

namespace {

using pixels_test::Pixel565;
using pixels_test::RandomBytes;

// One plane with its buffer, described as one entry of a PlaneSet.
struct Plane {
    int width, height;
    std::vector<uint8_t> bytes;
    Plane(int w, int h, std::vector<uint8_t> b) : width(w), height(h), bytes(std::move(b)) {}
    Plane(int w, int h, uint8_t fill) : width(w), height(h), bytes(static_cast<size_t>(w) * h, fill) {}
    uint8_t At(int x, int y) const { return bytes[static_cast<size_t>(y) * width + x]; }
};

PlaneSet SetOf(Plane& y, Plane& a, Plane& b) {
    PlaneSet s{};
    Plane* planes[3] = {&y, &a, &b};
    for (int p = 0; p < 3; ++p) {
        s.width[p] = planes[p]->width;
        s.height[p] = planes[p]->height;
        s.step[p] = planes[p]->width;
        s.plane[p] = planes[p]->bytes.data();
    }
    return s;
}

// Source (x, y) of a w x h plane lands at this destination place.
void Turned(int mode, int w, int h, int x, int y, int& dx, int& dy) {
    switch (mode) {
    case 1: dx = y, dy = w - 1 - x; break;
    case 2: dx = h - 1 - y, dy = x; break;
    case 3: dx = w - 1 - x, dy = h - 1 - y; break;
    default: dx = x, dy = y; break;
    }
}

TEST(EdgePreview, ModeAboveThreeIsRefusedAndNothingWritten) {
    Plane sy(8, 8, RandomBytes(64, 1)), sa(4, 4, 1), sb(4, 4, 2);
    Plane dy(8, 8, 0x55), da(4, 4, 0x55), db(4, 4, 0x55);
    const PlaneSet src = SetOf(sy, sa, sb);
    const PlaneSet dst = SetOf(dy, da, db);
    EXPECT_EQ(ResizeRotatePlanes(&src, 4, &dst), -1);
    EXPECT_EQ(ResizeRotatePlanes(&src, -1, &dst), -1);
    EXPECT_EQ(ResizeRotatePlanes(nullptr, 0, &dst), -1);
    PlaneSet empty = dst;
    empty.width[1] = 0;
    EXPECT_EQ(ResizeRotatePlanes(&src, 0, &empty), -1);
    EXPECT_TRUE(std::all_of(dy.bytes.begin(), dy.bytes.end(), [](uint8_t v) { return v == 0x55; }));
}

// Same sizes after the turn: every sample moves without resampling, the
// source's top-left sample of 320 x 240 lands top-right of 240 x 320 in
// mode 2; with the vector kernels and without.
TEST(EdgePreview, MatchingSizesTakeTheTurnKernels) {
    for (bool simd : {true, false}) {
        pixels::SetSimdEnabled(simd);
        for (int mode = 0; mode <= 3; ++mode) {
            for (auto [w, h] : {std::pair{320, 240}, std::pair{20, 12}}) {  // whole 8 x 8 blocks or not
                const bool quarter = mode == 1 || mode == 2;
                const int ow = quarter ? h : w, oh = quarter ? w : h;
                Plane sy(w, h, RandomBytes(static_cast<size_t>(w) * h, 7)), sa(w / 2, h / 2, RandomBytes(w * h / 4, 8)),
                    sb(w / 2, h / 2, RandomBytes(w * h / 4, 9));
                Plane dy(ow, oh, 0), da(ow / 2, oh / 2, 0), db(ow / 2, oh / 2, 0);
                const PlaneSet src = SetOf(sy, sa, sb);
                const PlaneSet dst = SetOf(dy, da, db);
                ASSERT_EQ(ResizeRotatePlanes(&src, mode, &dst), 0);
                const Plane* in[3] = {&sy, &sa, &sb};
                const Plane* out[3] = {&dy, &da, &db};
                for (int p = 0; p < 3; ++p) {
                    for (int y = 0; y < in[p]->height; ++y) {
                        for (int x = 0; x < in[p]->width; ++x) {
                            int dx, dyy;
                            Turned(mode, in[p]->width, in[p]->height, x, y, dx, dyy);
                            ASSERT_EQ(out[p]->At(dx, dyy), in[p]->At(x, y))
                                << "mode " << mode << " plane " << p << " simd " << simd;
                        }
                    }
                }
                if (mode == 2 && w == 320) {
                    EXPECT_EQ(dy.At(239, 0), sy.At(0, 0));
                }
            }
        }
    }
    pixels::SetSimdEnabled(true);
}

TEST(EdgePreview, TablesHoldTheDecimationAndTheWeights) {
    struct Case {
        int ratio, shift;
    };
    for (const Case& c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{3, 1}, Case{4, 1}, Case{5, 2}, Case{8, 2},
                          Case{9, 3}, Case{16, 3}, Case{17, 4}, Case{31, 4}}) {
        EXPECT_EQ(pixels::kDecimationShift[c.ratio], c.shift) << c.ratio;
    }
    for (int fx = 0; fx < 8; ++fx) {
        for (int fy = 0; fy < 8; ++fy) {
            const uint8_t* w = pixels::kBilinearWeights.w[fx][fy];
            EXPECT_EQ(w[0] + w[1] + w[2] + w[3], 64);
            EXPECT_EQ(w[1], fx * (8 - fy));
            EXPECT_EQ(w[2], (8 - fx) * fy);
        }
    }
    // Column phase major: 32 bytes per column phase, 4 per row phase.
    const uint8_t* base = &pixels::kBilinearWeights.w[0][0][0];
    EXPECT_EQ(&pixels::kBilinearWeights.w[1][0][0] - base, 32);
    EXPECT_EQ(&pixels::kBilinearWeights.w[0][1][0] - base, 4);
}

// Source width to output width: ratio 2 interpolates neighbours, ratio 4
// (spacing 2) reads even columns only, ratio 32 (clamped to 31, spacing 16)
// reads every 16th column only.
TEST(EdgePreview, LargeReductionsReadSpacedSamples) {
    struct Case {
        int srcWidth, outWidth, spacing;
    };
    for (const Case& c : {Case{640, 240, 1}, Case{640, 160, 2}, Case{1280, 40, 16}}) {
        // Columns on the spacing grid are 40, all others 240.
        std::vector<uint8_t> row(static_cast<size_t>(c.srcWidth));
        for (int x = 0; x < c.srcWidth; ++x) {
            row[x] = x % c.spacing == 0 ? 40 : 240;
        }
        std::vector<uint8_t> bytes;
        for (int y = 0; y < 4; ++y) {
            bytes.insert(bytes.end(), row.begin(), row.end());
        }
        Plane sy(c.srcWidth, 4, bytes), sa(c.srcWidth / 2, 2, 128), sb(c.srcWidth / 2, 2, 128);
        Plane dy(c.outWidth, 2, 0), da(c.outWidth / 2, 1, 0), db(c.outWidth / 2, 1, 0);
        const PlaneSet src = SetOf(sy, sa, sb);
        const PlaneSet dst = SetOf(dy, da, db);
        ASSERT_EQ(ResizeRotatePlanes(&src, 0, &dst), 0);
        EXPECT_TRUE(std::all_of(dy.bytes.begin(), dy.bytes.end(), [](uint8_t v) { return v == 40; }))
            << c.srcWidth << " -> " << c.outWidth;
    }
    // Without decimation a 640 -> 240 reduction mixes neighbours.
    std::vector<uint8_t> stripes(640 * 4);
    for (size_t i = 0; i < stripes.size(); ++i) {
        stripes[i] = (i % 640) % 2 == 0 ? 40 : 240;
    }
    Plane sy(640, 4, stripes), sa(320, 2, 128), sb(320, 2, 128);
    Plane dy(240, 2, 0), da(120, 1, 0), db(120, 1, 0);
    const PlaneSet src = SetOf(sy, sa, sb);
    const PlaneSet dst = SetOf(dy, da, db);
    ASSERT_EQ(ResizeRotatePlanes(&src, 0, &dst), 0);
    EXPECT_TRUE(std::any_of(dy.bytes.begin(), dy.bytes.end(), [](uint8_t v) { return v != 40 && v != 240; }));
}

// Positions of phase 0 in both directions copy the sample (weight 64); the
// modes differ only in where each output sample is stored.
TEST(EdgePreview, PhaseZeroCopiesAndModesOnlyMoveSamples) {
    // 9 x 5 to 4 x 2: xStep = (8 << 18) / 4 = 2.0, yStep = (4 << 18) / 2 = 2.0.
    Plane sy(9, 5, RandomBytes(45, 3)), sa(4, 2, 100), sb(4, 2, 200);
    Plane dy(4, 2, 0), da(2, 1, 0), db(2, 1, 0);
    PlaneSet src = SetOf(sy, sa, sb);
    PlaneSet dst = SetOf(dy, da, db);
    ASSERT_EQ(ResizeRotatePlanes(&src, 0, &dst), 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(dy.At(x, y), sy.At(2 * x, 2 * y));
        }
    }
    // A real reduction, then the same in each mode.
    Plane by(64, 48, RandomBytes(64 * 48, 4)), ba(32, 24, RandomBytes(32 * 24, 5)), bb(32, 24, RandomBytes(32 * 24, 6));
    src = SetOf(by, ba, bb);
    Plane ry(20, 14, 0), ra(10, 7, 0), rb(10, 7, 0);
    dst = SetOf(ry, ra, rb);
    ASSERT_EQ(ResizeRotatePlanes(&src, 0, &dst), 0);
    for (int mode = 1; mode <= 3; ++mode) {
        const bool quarter = mode != 3;
        Plane ty(quarter ? 14 : 20, quarter ? 20 : 14, 0), ta(quarter ? 7 : 10, quarter ? 10 : 7, 0),
            tb(quarter ? 7 : 10, quarter ? 10 : 7, 0);
        const PlaneSet turned = SetOf(ty, ta, tb);
        ASSERT_EQ(ResizeRotatePlanes(&src, mode, &turned), 0);
        for (int y = 0; y < 14; ++y) {
            for (int x = 0; x < 20; ++x) {
                int dx, dyy;
                Turned(mode, 20, 14, x, y, dx, dyy);
                ASSERT_EQ(ty.At(dx, dyy), ry.At(x, y)) << mode;
            }
        }
    }
}

TEST(EdgePreview, LumaTwelveWithNeutralChromaIsBlackEverywhere) {
    std::vector<uint8_t> y(6 * 4, 12), cb(3 * 2, 128), cr(3 * 2, 128), out(6 * 4 * 2, 0xFF);
    ASSERT_EQ(ConvertYCbCr420ToRGB(y.data(), cb.data(), cr.data(), 6, 4, 6, 3, 12, out.data()), 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0; }));
}

TEST(EdgePreview, ConvertRefusesBadArguments) {
    std::vector<uint8_t> y(16, 100), c(4, 128), out(32, 0x77);
    EXPECT_EQ(ConvertYCbCr420ToRGB(nullptr, c.data(), c.data(), 4, 4, 4, 2, 8, out.data()), -1);
    EXPECT_EQ(ConvertYCbCr420ToRGB(y.data(), c.data(), c.data(), 0, 4, 4, 2, 8, out.data()), -1);
    EXPECT_EQ(ConvertYCbCr420ToRGB(y.data(), c.data(), c.data(), 4, 4, 4, 2, 6, out.data()), -1);  // short rows
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0x77; }));
}

// BT.601 studio range in double precision, as 8-bit channels.
struct Rgb {
    double r, g, b;
};
Rgb Bt601(double y, double cb, double cr) {
    const double ky = 255.0 / 219.0, kc = 255.0 / 224.0;
    const double kr = 0.299, kb = 0.114, kg = 1.0 - kr - kb;
    auto clamp = [](double v) { return std::clamp(v, 0.0, 255.0); };
    const double l = ky * (y - 16), u = kc * (cb - 128), v = kc * (cr - 128);
    return {clamp(l + 2 * (1 - kr) * v), clamp(l - 2 * (1 - kb) * kb / kg * u - 2 * (1 - kr) * kr / kg * v),
            clamp(l + 2 * (1 - kb) * u)};
}

// Every pixel is within one 5- or 6-bit step of the reference at its own
// dithered luma, and the mean of each 2 x 2 block within one step of the
// undithered reference.
TEST(EdgePreview, ConversionMatchesBt601WithinOneStep) {
    std::vector<uint8_t> y(2 * 2), cb(1), cr(1), out(2 * 2 * 2);
    double worst[3] = {0, 0, 0}, worstMean[3] = {0, 0, 0};
    for (int yv = 0; yv < 256; yv += 3) {
        for (int cbv = 0; cbv < 256; cbv += 5) {
            for (int crv = 0; crv < 256; crv += 5) {
                std::fill(y.begin(), y.end(), static_cast<uint8_t>(yv));
                cb[0] = static_cast<uint8_t>(cbv);
                cr[0] = static_cast<uint8_t>(crv);
                ASSERT_EQ(ConvertYCbCr420ToRGB(y.data(), cb.data(), cr.data(), 2, 2, 2, 1, 4, out.data()), 0);
                double mean[3] = {0, 0, 0};
                for (int place = 0; place < 4; ++place) {
                    const uint16_t px = Pixel565(out, static_cast<size_t>(place));
                    const double got[3] = {double(px >> 11), double((px >> 5) & 63), double(px & 31)};
                    const int offset = pixels::kDitherLumaOffset[place / 2][place % 2];
                    const Rgb ref = Bt601(yv - offset + 16, cbv, crv);
                    const double want[3] = {ref.r / 8, ref.g / 4, ref.b / 8};
                    for (int ch = 0; ch < 3; ++ch) {
                        worst[ch] = std::max(worst[ch], std::abs(got[ch] - want[ch]));
                        mean[ch] += got[ch] / 4;
                    }
                }
                const Rgb ref = Bt601(yv, cbv, crv);
                const double want[3] = {ref.r / 8, ref.g / 4, ref.b / 8};
                for (int ch = 0; ch < 3; ++ch) {
                    worstMean[ch] = std::max(worstMean[ch], std::abs(mean[ch] - want[ch]));
                }
            }
        }
    }
    for (int ch = 0; ch < 3; ++ch) {
        EXPECT_LT(worst[ch], 1.0) << "channel " << ch;
        EXPECT_LT(worstMean[ch], 1.0) << "channel " << ch;
    }
}

// The vector conversion gives the reference's bytes for every input.
TEST(EdgePreview, VectorConversionEqualsTheReference) {
    if (!(pixels::SetSimdEnabled(true), pixels::SimdEnabled())) {
        GTEST_SKIP() << "no vector kernels on this processor";
    }
    // Every Y, Cb, Cr triple once: 256 luma columns per row, one chroma pair per row.
    for (int width : {256, 255, 13, 7}) {
        const int height = 256 * 2;
        std::vector<uint8_t> y(static_cast<size_t>(width) * height), cb(((width + 1) / 2) * 256), cr(cb.size());
        for (int j = 0; j < height; ++j) {
            for (int i = 0; i < width; ++i) {
                y[static_cast<size_t>(j) * width + i] = static_cast<uint8_t>(i + j);
            }
        }
        for (size_t k = 0; k < cb.size(); ++k) {
            cb[k] = static_cast<uint8_t>(k * 7);
            cr[k] = static_cast<uint8_t>(k / 3);
        }
        const int chromaStep = (width + 1) / 2;
        std::vector<uint8_t> vec(static_cast<size_t>(width) * height * 2), ref(vec.size());
        ASSERT_EQ(ConvertYCbCr420ToRGB(y.data(), cb.data(), cr.data(), width, height, width, chromaStep, width * 2,
                                       vec.data()),
                  0);
        pixels::SetSimdEnabled(false);
        ASSERT_EQ(ConvertYCbCr420ToRGB(y.data(), cb.data(), cr.data(), width, height, width, chromaStep, width * 2,
                                       ref.data()),
                  0);
        pixels::SetSimdEnabled(true);
        EXPECT_EQ(vec, ref) << width;
    }
}

}  // namespace
