// The planar resamplers, the RGB converter and the 4:2:2 frame turn.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pixels/Simd.h"
#include "pixels/YCbCrPrimitives.h"
#include "pixels_test_util.h"

namespace {

using pixels_test::Pixel565;
using pixels_test::RandomBytes;

// One planar picture in its own buffers.
struct Planes {
    int width, height;       // luma
    int chromaWidth, chromaHeight;
    std::vector<uint8_t> p[3];

    Planes(int w, int h, int cw, int ch, uint32_t seed) : width(w), height(h), chromaWidth(cw), chromaHeight(ch) {
        p[0] = RandomBytes(static_cast<size_t>(w) * h, seed);
        p[1] = RandomBytes(static_cast<size_t>(cw) * ch, seed + 1);
        p[2] = RandomBytes(static_cast<size_t>(cw) * ch, seed + 2);
    }
    static Planes Make420(int w, int h, uint32_t seed) { return Planes(w, h, w / 2, h / 2, seed); }
    static Planes Make422(int w, int h, uint32_t seed) { return Planes(w, h, w / 2, h, seed); }

    const uint8_t* const* Src() {
        src_[0] = p[0].data(), src_[1] = p[1].data(), src_[2] = p[2].data();
        return src_;
    }
    uint8_t* const* Dst() {
        dst_[0] = p[0].data(), dst_[1] = p[1].data(), dst_[2] = p[2].data();
        return dst_;
    }
    const int* Steps() {
        steps_[0] = width, steps_[1] = steps_[2] = chromaWidth;
        return steps_;
    }
    uint8_t At(int plane, int x, int y) const {
        return p[plane][static_cast<size_t>(y) * (plane == 0 ? width : chromaWidth) + x];
    }

private:
    const uint8_t* src_[3]{};
    uint8_t* dst_[3]{};
    int steps_[3]{};
};

// Where the sample (x, y) of a w x h picture lands for each rotation code.
void Turned(int rotation, int w, int h, int x, int y, int& dx, int& dy) {
    switch (rotation) {
    case 1: dx = y, dy = w - 1 - x; break;
    case 2: dx = h - 1 - y, dy = x; break;
    case 3: dx = w - 1 - x, dy = h - 1 - y; break;
    case 4: dx = w - 1 - x, dy = y; break;
    case 5: dx = x, dy = h - 1 - y; break;
    default: dx = x, dy = y; break;
    }
}

using PlanePrimitive = int (*)(const uint8_t* const[3], const int[3], int, int, uint8_t* const[3], const int[3],
                               int, int, int, int, uint32_t, uint32_t);

// Unit ratios reproduce the source exactly, turned as the code says, in both
// sampling modes and for every code.
TEST(PlaneResamplers, UnitRatiosMoveEverySampleToItsTurnedPlace) {
    struct Kind {
        PlanePrimitive primitive;
        bool is420;
    };
    for (const Kind& kind : {Kind{ippiYCbCr420RszRot_8u_P3R, true}, Kind{ippiYCbCr422RszRot_8u_P3R, false}}) {
        for (int rotation = 0; rotation <= 5; ++rotation) {
            for (int interpolation : {0, 1}) {
                const int w = 10, h = 6;
                Planes src = kind.is420 ? Planes::Make420(w, h, 5) : Planes::Make422(w, h, 5);
                const bool quarter = rotation == 1 || rotation == 2;
                const int ow = quarter ? h : w, oh = quarter ? w : h;
                const int cw = w / 2, ch = kind.is420 ? h / 2 : h;  // chroma before the turn
                Planes dst(ow, oh, quarter ? ch : cw, quarter ? cw : ch, 99);
                const int* dstSteps = dst.Steps();
                ASSERT_EQ(kind.primitive(src.Src(), src.Steps(), w, h, dst.Dst(), dstSteps, w, h, interpolation,
                                         rotation, 0x10000, 0x10000),
                          0);
                for (int y = 0; y < h; ++y) {
                    for (int x = 0; x < w; ++x) {
                        int dx, dy;
                        Turned(rotation, w, h, x, y, dx, dy);
                        ASSERT_EQ(dst.p[0][dy * ow + dx], src.At(0, x, y))
                            << "rotation " << rotation << " at " << x << "," << y;
                    }
                }
                for (int plane = 1; plane < 3; ++plane) {
                    for (int y = 0; y < ch; ++y) {
                        for (int x = 0; x < cw; ++x) {
                            int dx, dy;
                            Turned(rotation, cw, ch, x, y, dx, dy);
                            ASSERT_EQ(dst.p[plane][dy * dstSteps[plane] + dx], src.At(plane, x, y));
                        }
                    }
                }
            }
        }
    }
}

// A 320 x 240 region to 240 x 320: the top-left luma sample goes top-right
// for a clockwise turn and bottom-left for a counter-clockwise one.
TEST(PlaneResamplers, QuarterTurnsPlaceTheTopLeftSample) {
    Planes src = Planes::Make420(320, 240, 11);
    for (int rotation : {1, 2}) {
        Planes dst = Planes::Make420(240, 320, 12);
        const int dstSteps[3] = {240, 120, 120};
        ASSERT_EQ(ippiYCbCr420RszRot_8u_P3R(src.Src(), src.Steps(), 320, 240, dst.Dst(), dstSteps, 320, 240, 1,
                                            rotation, 0x10000, 0x10000),
                  0);
        const uint8_t corner = rotation == 2 ? dst.At(0, 239, 0) : dst.At(0, 0, 319);
        EXPECT_EQ(corner, src.At(0, 0, 0)) << rotation;
    }
}

// Hand-worked bilinear samples of a 2 x 2 source at half-sample steps: no
// rounding, arithmetic shifts, the last column is its own neighbour and the
// last row is held just above the last source row.
TEST(PlaneResamplers, BilinearFollowsTheFixedPointRule) {
    uint8_t y[4] = {0, 100, 200, 50};
    uint8_t cb = 60, cr = 70;
    const uint8_t* src[3] = {y, &cb, &cr};
    const int srcSteps[3] = {2, 1, 1};
    uint8_t out[9];
    uint8_t outCb = 0, outCr = 0;
    uint8_t* dst[3] = {out, &outCb, &outCr};
    const int dstSteps[3] = {3, 1, 1};
    ASSERT_EQ(ippiYCbCr420RszRot_8u_P3R(src, srcSteps, 2, 2, dst, dstSteps, 3, 3, 1, 0, 0x8000, 0x8000), 0);
    const uint8_t expected[9] = {0, 50, 100, 100, 87, 75, 199, 124, 50};
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(out[i], expected[i]) << i;
    }
    EXPECT_EQ(outCb, 60);
    EXPECT_EQ(outCr, 70);
}

// Nearest positions start half a sample in.
TEST(PlaneResamplers, NearestTakesTheRoundedPosition) {
    uint8_t y[5] = {10, 20, 30, 40, 50};
    uint8_t c[3] = {1, 2, 3};
    const uint8_t* src[3] = {y, c, c};
    const int srcSteps[3] = {5, 3, 3};
    uint8_t out[6] = {};
    uint8_t outC[2][2] = {};
    uint8_t* dst[3] = {out, outC[0], outC[1]};
    const int dstSteps[3] = {3, 1, 1};
    // 5 columns to 3: ratio 2.0, so columns 0, 2, 4.
    ASSERT_EQ(ippiYCbCr420RszRot_8u_P3R(src, srcSteps, 5, 1, dst, dstSteps, 3, 2, 0, 0, 0x20000, 0), 0);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 30);
    EXPECT_EQ(out[2], 50);
    EXPECT_EQ(out[3], 10);  // the second row reads row 0 again (ratio 0)
}

TEST(Primitives, RefuseBadArgumentsAndWriteNothing) {
    Planes src = Planes::Make420(16, 8, 1);
    Planes dst = Planes::Make420(16, 8, 2);
    const std::vector<uint8_t> before = dst.p[0];
    struct Case {
        const char* what;
        int rotation, roiWidth, roiHeight;
        uint32_t xRatio;
    };
    const Case cases[] = {
        {"rotation 6", 6, 16, 8, 0x10000},
        {"rotation -1", -1, 16, 8, 0x10000},
        {"size below 2", 0, 1, 8, 0x10000},
        {"positions past the source", 0, 16, 8, 0x20000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ippiYCbCr420RszRot_8u_P3R(src.Src(), src.Steps(), 16, 8, dst.Dst(), dst.Steps(), c.roiWidth,
                                            c.roiHeight, 1, c.rotation, c.xRatio, 0x10000),
                  -2)
            << c.what;
        EXPECT_EQ(ippiYCbCr422RszRot_8u_P3R(src.Src(), src.Steps(), 16, 8, dst.Dst(), dst.Steps(), c.roiWidth,
                                            c.roiHeight, 1, c.rotation, c.xRatio, 0x10000),
                  -2)
            << c.what;
        EXPECT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), 16, 8, dst.p[0].data(), 32, c.roiWidth,
                                                    c.roiHeight, 0, 1, c.rotation, c.xRatio, 0x10000),
                  -5)
            << c.what;
        EXPECT_EQ(dst.p[0], before) << c.what;
    }
    EXPECT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), 16, 8, dst.p[0].data(), 48, 16, 8, 4, 1, 0,
                                                0x10000, 0x10000),
              -5);
    // 4:2:2 is written in whole 2 x 2 blocks.
    EXPECT_EQ(ippiYCbCr422RszRot_8u_P3R(src.Src(), src.Steps(), 16, 8, dst.Dst(), dst.Steps(), 15, 8, 1, 0, 0x10000,
                                        0x10000),
              -2);
    EXPECT_EQ(dst.p[0], before);
}

// Single colours through the converter, against the equations worked by hand.
TEST(RgbConverter, ConvertsKnownColours) {
    struct Case {
        const char* what;
        uint8_t y, cb, cr;
        int format;
        uint32_t expected;  // 16-bit word, or B | G << 8 | R << 16 for RGB888
    };
    const Case cases[] = {
        {"black", 16, 128, 128, 0, 0x0000},
        {"white 565", 235, 128, 128, 0, 0xFFFF},
        {"white 888 is 254", 235, 128, 128, 3, 0xFEFEFE},
        {"white 555", 235, 128, 128, 1, 0x7FFF},
        {"white 444", 235, 128, 128, 2, 0x0FFF},
        // L = 298 * 239 = 71222: R saturates at 31 instead of wrapping,
        // G = (71222 - 208 * 127) >> 10 = 43, B = 71222 >> 11 = 34 -> 31.
        {"red saturates", 255, 128, 255, 0, 0xF800 | (43 << 5) | 31},
        {"below black clamps", 0, 128, 128, 0, 0x0000},
        // Y 81, Cb 90, Cr 240: L = 19370, R = 65178 >> 11 = 31, G = 19370 + 3800 - 23296 = -126 -> 0,
        // B = 19370 - 19608 = -238 -> 0.
        {"pure red", 81, 90, 240, 0, 0xF800},
        {"pure red 888", 81, 90, 240, 3, 0xFE0000},
    };
    for (const Case& c : cases) {
        uint8_t y[4] = {c.y, c.y, c.y, c.y};
        const uint8_t* src[3] = {y, &c.cb, &c.cr};
        const int steps[3] = {2, 1, 1};
        uint8_t out[12] = {};
        ASSERT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src, steps, 2, 2, out, c.format == 3 ? 6 : 4, 2, 2, c.format, 0,
                                                    0, 0x10000, 0x10000),
                  0);
        const uint32_t got = c.format == 3 ? static_cast<uint32_t>(out[0] | out[1] << 8 | out[2] << 16)
                                           : static_cast<uint32_t>(out[0] | out[1] << 8);
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// Odd sizes: the last column and row repeat their neighbours, wherever the
// turn puts them; blocks of 2 x 2 share one chroma sample.
TEST(RgbConverter, OddSizesRepeatTheLastColumnAndRow) {
    Planes src = Planes::Make420(6, 6, 21);
    for (int rotation = 0; rotation <= 5; ++rotation) {
        const int w = 5, h = 3;
        const bool quarter = rotation == 1 || rotation == 2;
        const int ow = quarter ? h : w, oh = quarter ? w : h;
        std::vector<uint8_t> out(static_cast<size_t>(ow) * oh * 2, 0xAA);
        ASSERT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), 6, 6, out.data(), ow * 2, w, h, 0, 0,
                                                    rotation, 0x10000, 0x10000),
                  0);
        auto at = [&](int x, int y) {
            int dx, dy;
            Turned(rotation, w, h, x, y, dx, dy);
            return Pixel565(out, static_cast<size_t>(dy) * ow + dx);
        };
        for (int y = 0; y < h; ++y) {
            EXPECT_EQ(at(4, y), at(3, y)) << rotation;
        }
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(at(x, 2), at(x, 1)) << rotation;
        }
        // The top-left pixel, converted by hand from the equations.
        const int l = 298 * (src.At(0, 0, 0) - 16), u = src.At(1, 0, 0) - 128, v = src.At(2, 0, 0) - 128;
        auto reduce = [](int s, int bits) {
            const int r = s >> (16 - bits);
            return r < 0 ? 0 : (r > (1 << bits) - 1 ? (1 << bits) - 1 : r);
        };
        const uint16_t expected = static_cast<uint16_t>(reduce(l + 409 * v, 5) << 11 |
                                                        reduce(l - 100 * u - 208 * v, 6) << 5 | reduce(l + 516 * u, 5));
        EXPECT_EQ(at(0, 0), expected) << rotation;
    }
}

// The 16-bit nearest road (vector rows, and the scalar rows with the vector
// kernels off) against the RGB888 road, whose per-pixel path it replaced:
// each 16-bit word is the 8-bit channels cut to their bits. Unit and
// integer ratios, fractional ones, every turn, odd sizes.
TEST(RgbConverter, SixteenBitRowsMatchTheEightBitRoad) {
    const struct {
        int srcW, srcH, roiW, roiH;
        uint32_t xRatio, yRatio;
    } cases[] = {
        {40, 30, 40, 30, 0x10000, 0x10000},  // turn only
        {40, 30, 20, 15, 0x20000, 0x20000},  // integer ratio
        {40, 30, 27, 19, 0x17A3D, 0x18000},  // fractional
        {34, 18, 33, 17, 0x10000, 0x10000},  // odd sizes
    };
    Planes src = Planes::Make420(40, 30, 51);
    for (const auto& c : cases) {
        for (int rotation = 0; rotation <= 5; ++rotation) {
            const bool quarter = rotation == 1 || rotation == 2;
            const int ow = quarter ? c.roiH : c.roiW, oh = quarter ? c.roiW : c.roiH;
            const size_t pixels = static_cast<size_t>(ow) * oh;
            std::vector<uint8_t> rgb(pixels * 3);
            ASSERT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), c.srcW, c.srcH, rgb.data(), ow * 3,
                                                        c.roiW, c.roiH, 3, 0, rotation, c.xRatio, c.yRatio),
                      0);
            for (bool simd : {true, false}) {
                pixels::SetSimdEnabled(simd);
                for (int format : {0, 1, 2}) {
                    std::vector<uint8_t> out(pixels * 2);
                    ASSERT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), c.srcW, c.srcH, out.data(),
                                                                ow * 2, c.roiW, c.roiH, format, 0, rotation, c.xRatio,
                                                                c.yRatio),
                              0);
                    for (size_t i = 0; i < pixels; ++i) {
                        const int b = rgb[3 * i], g = rgb[3 * i + 1], r = rgb[3 * i + 2];  // bytes B, G, R
                        const uint16_t expected = static_cast<uint16_t>(
                            format == 0   ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3
                            : format == 1 ? (r >> 3) << 10 | (g >> 3) << 5 | b >> 3
                                          : (r >> 4) << 8 | (g >> 4) << 4 | b >> 4);
                        ASSERT_EQ(Pixel565(out, i), expected) << "case " << c.roiW << "x" << c.roiH << " rotation "
                                                              << rotation << " format " << format << " simd " << simd
                                                              << " pixel " << i;
                    }
                }
            }
            pixels::SetSimdEnabled(true);
        }
    }
}

// In bilinear mode a block whose second row would fall past the last source
// row repeats its first row.
TEST(RgbConverter, BilinearSecondRowPastTheLastRowRepeatsTheFirst) {
    Planes src = Planes::Make420(4, 4, 31);
    std::vector<uint8_t> out(4 * 4 * 2);
    // 4 rows to 4 rows at ratio 0x10000 is a plain copy; a slightly larger
    // ratio keeps it bilinear, and the last block's second row (3 * ratio)
    // lies past row 3.
    ASSERT_EQ(ippiYCbCr420RszCscRotRGB_8u_P3C3R(src.Src(), src.Steps(), 4, 4, out.data(), 8, 4, 4, 0, 1, 0, 0x10000,
                                                0x10001),
              0);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(Pixel565(out, 12 + x), Pixel565(out, 8 + x)) << x;
    }
}

TEST(Rotate422Planes, TurnsWholeBlocksAndLeavesTheRest) {
    const int w = 20, h = 10;  // rounded down to 16 x 8
    Planes src = Planes::Make422(w, h, 41);
    for (int rotation : {0, 1, 2, 3, 4}) {
        const bool quarter = rotation == 1 || rotation == 2;
        const int ow = quarter ? 8 : 16, oh = quarter ? 16 : 8;
        const int cw = quarter ? 8 : 8, ch = quarter ? 8 : 8;  // chroma 8 x 8 either way
        Planes dst(ow, oh, cw, ch, 0);
        for (auto& plane : dst.p) {
            std::fill(plane.begin(), plane.end(), 0xEE);
        }
        const int dstSteps[3] = {ow, cw, cw};
        ASSERT_EQ(RotateYCbCr422Planes(src.Src(), src.Steps(), dst.Dst(), dstSteps, w, h, rotation), 0);
        const int turn = rotation <= 3 ? rotation : 0;
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 16; ++x) {
                int dx, dy;
                Turned(turn, 16, 8, x, y, dx, dy);
                ASSERT_EQ(dst.p[0][dy * ow + dx], src.At(0, x, y)) << rotation;
            }
            for (int x = 0; x < 8; ++x) {
                int dx, dy;
                Turned(turn, 8, 8, x, y, dx, dy);
                ASSERT_EQ(dst.p[1][dy * cw + dx], src.At(1, x, y)) << rotation;
                ASSERT_EQ(dst.p[2][dy * cw + dx], src.At(2, x, y)) << rotation;
            }
        }
    }
}

}  // namespace
