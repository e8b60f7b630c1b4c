// 4:2:0 planes in, one packed RGB plane out: resized, converted with the
// BT.601 studio-range equations and turned in one pass, in 2 x 2 blocks of
// output pixels that share one Cb and one Cr sample.
#include <cstring>
#include <vector>

#include "pixels/RotatedStore.h"
#include "pixels/Sampling.h"
#include "pixels/YCbCrPrimitives.h"
#include "pixels/YCbCrToRgbSimd.h"

namespace pixels {
namespace {

template <int Bits>
inline int Reduce(int scaled) {
    const int v = scaled >> (16 - Bits);  // arithmetic, no rounding constant
    constexpr int kMax = (1 << Bits) - 1;
    return v < 0 ? 0 : (v > kMax ? kMax : v);
}

template <int Format>
struct Packer;

template <>
struct Packer<kRgb565> {
    static constexpr int kBytes = 2;
    static void Store(uint8_t* d, const Rgb16x16& c) {
        const unsigned w = static_cast<unsigned>(Reduce<5>(c.r) << 11 | Reduce<6>(c.g) << 5 | Reduce<5>(c.b));
        d[0] = static_cast<uint8_t>(w);
        d[1] = static_cast<uint8_t>(w >> 8);
    }
};
template <>
struct Packer<kRgb555> {
    static constexpr int kBytes = 2;
    static void Store(uint8_t* d, const Rgb16x16& c) {
        const unsigned w = static_cast<unsigned>(Reduce<5>(c.r) << 10 | Reduce<5>(c.g) << 5 | Reduce<5>(c.b));
        d[0] = static_cast<uint8_t>(w);
        d[1] = static_cast<uint8_t>(w >> 8);
    }
};
template <>
struct Packer<kRgb444> {
    static constexpr int kBytes = 2;
    static void Store(uint8_t* d, const Rgb16x16& c) {
        const unsigned w = static_cast<unsigned>(Reduce<4>(c.r) << 8 | Reduce<4>(c.g) << 4 | Reduce<4>(c.b));
        d[0] = static_cast<uint8_t>(w);
        d[1] = static_cast<uint8_t>(w >> 8);
    }
};
template <>
struct Packer<kRgb888> {
    static constexpr int kBytes = 3;
    static void Store(uint8_t* d, const Rgb16x16& c) {
        d[0] = static_cast<uint8_t>(Reduce<8>(c.b));
        d[1] = static_cast<uint8_t>(Reduce<8>(c.g));
        d[2] = static_cast<uint8_t>(Reduce<8>(c.r));
    }
};


struct CscJob {
    const uint8_t* y;
    const uint8_t* cb;
    const uint8_t* cr;
    ptrdiff_t yStep, cbStep, crStep;
    int srcWidth, srcHeight;
    int roiWidth, roiHeight;
    bool bilinear;
    uint32_t xRatio, yRatio;
};

// An odd last column or row repeats the one before it.
template <int Bytes>
void FillOddEdges(const CscJob& job, const RotatedStore& out) {
    const int evenHeight = job.roiHeight / 2 * 2;
    if (job.roiWidth & 1) {
        for (int j = 0; j < evenHeight; ++j) {
            std::memcpy(out.At(job.roiWidth - 1, j), out.At(job.roiWidth - 2, j), Bytes);
        }
    }
    if (job.roiHeight & 1) {
        for (int i = 0; i < job.roiWidth; ++i) {
            std::memcpy(out.At(i, job.roiHeight - 1), out.At(i, job.roiHeight - 2), Bytes);
        }
    }
}

// The nearest road of the 16-bit formats a row at a time: the samples of a
// row gathered (read in place at unit ratio), converted together, then
// stored along the turn.
template <int Format>
void ConvertNearestRows(const CscJob& job, const RotatedStore& out) {
    const int blocksX = job.roiWidth / 2;
    const int blocksY = job.roiHeight / 2;
    const int count = 2 * blocksX;
    const bool unitX = job.xRatio == kUnitRatio;
    std::vector<int> lumaAt(unitX ? 0 : count), chromaAt(unitX ? 0 : blocksX);
    for (int i = 0; i < static_cast<int>(lumaAt.size()); ++i) {
        lumaAt[i] = NearestIndex(i, job.xRatio);
    }
    for (int k = 0; k < static_cast<int>(chromaAt.size()); ++k) {
        chromaAt[k] = NearestIndex(k, job.xRatio);
    }
    std::vector<uint8_t> gathered(unitX ? 0 : 2 * count + 2 * blocksX);
    std::vector<uint16_t> words(count);
    for (int m = 0; m < blocksY; ++m) {
        const uint64_t y = static_cast<uint64_t>(2 * m) * job.yRatio;
        const ptrdiff_t chromaRow = static_cast<ptrdiff_t>((y + 0x10000) >> 17);
        const uint8_t* cb = job.cb + chromaRow * job.cbStep;
        const uint8_t* cr = job.cr + chromaRow * job.crStep;
        const uint8_t* rows[2] = {job.y + static_cast<ptrdiff_t>(NearestIndex(2 * m, job.yRatio)) * job.yStep,
                                  job.y + static_cast<ptrdiff_t>(NearestIndex(2 * m + 1, job.yRatio)) * job.yStep};
        if (!unitX) {
            uint8_t* g = gathered.data();
            for (int i = 0; i < count; ++i) {
                g[i] = rows[0][lumaAt[i]];
                g[count + i] = rows[1][lumaAt[i]];
            }
            for (int k = 0; k < blocksX; ++k) {
                g[2 * count + k] = cb[chromaAt[k]];
                g[2 * count + blocksX + k] = cr[chromaAt[k]];
            }
            rows[0] = g;
            rows[1] = g + count;
            cb = g + 2 * count;
            cr = cb + blocksX;
        }
        for (int r = 0; r < 2; ++r) {
            PairsToRgb16(rows[r], cb, cr, count, Format, words.data());
            uint8_t* d = out.Row(2 * m + r);
            if (out.dx == 2) {
                std::memcpy(d, words.data(), 2 * static_cast<size_t>(count));
                continue;
            }
            for (int i = 0; i < count; ++i) {
                const uint16_t w = words[i];
                d[0] = static_cast<uint8_t>(w);
                d[1] = static_cast<uint8_t>(w >> 8);
                d += out.dx;
            }
        }
    }
}

template <int Format>
void Convert(const CscJob& job, const RotatedStore& out) {
    using P = Packer<Format>;
    const int blocksX = job.roiWidth / 2;
    const int blocksY = job.roiHeight / 2;
    if constexpr (P::kBytes == 2) {
        if (!job.bilinear) {
            ConvertNearestRows<Format>(job, out);
            FillOddEdges<P::kBytes>(job, out);
            return;
        }
    }
    const uint64_t lastRow = static_cast<uint64_t>(job.srcHeight - 1) << 16;
    uint8_t luma[2][2];
    for (int m = 0; m < blocksY; ++m) {
        // Row position of the block's first row, without the half-sample offset.
        const uint64_t y = job.bilinear ? BilinearRowPosition(2 * m, job.yRatio, job.srcHeight)
                                        : static_cast<uint64_t>(2 * m) * job.yRatio;
        const uint64_t y2 = y + job.yRatio;
        // No row below the last source row: the second row repeats the first.
        const bool secondRowRepeats = job.bilinear && y2 >= lastRow;
        const ptrdiff_t chromaRow = static_cast<ptrdiff_t>((y + 0x10000) >> 17);
        const uint8_t* cbRow = job.cb + chromaRow * job.cbStep;
        const uint8_t* crRow = job.cr + chromaRow * job.crStep;
        const uint8_t* row0 = job.y + static_cast<ptrdiff_t>(NearestIndex(2 * m, job.yRatio)) * job.yStep;
        const uint8_t* row1 = job.y + static_cast<ptrdiff_t>(NearestIndex(2 * m + 1, job.yRatio)) * job.yStep;
        uint8_t* d0 = out.Row(2 * m);
        uint8_t* d1 = out.Row(2 * m + 1);
        for (int k = 0; k < blocksX; ++k) {
            const uint64_t x0 = static_cast<uint64_t>(2 * k) * job.xRatio;
            const uint64_t x1 = x0 + job.xRatio;
            if (job.bilinear) {
                luma[0][0] = BilinearSample(job.y, job.yStep, job.srcWidth, job.srcHeight, x0, y);
                luma[0][1] = BilinearSample(job.y, job.yStep, job.srcWidth, job.srcHeight, x1, y);
                if (secondRowRepeats) {
                    luma[1][0] = luma[0][0];
                    luma[1][1] = luma[0][1];
                } else {
                    luma[1][0] = BilinearSample(job.y, job.yStep, job.srcWidth, job.srcHeight, x0, y2);
                    luma[1][1] = BilinearSample(job.y, job.yStep, job.srcWidth, job.srcHeight, x1, y2);
                }
            } else {
                const size_t c0 = static_cast<size_t>((kHalf16 + x0) >> 16);
                const size_t c1 = static_cast<size_t>((kHalf16 + x1) >> 16);
                luma[0][0] = row0[c0];
                luma[0][1] = row0[c1];
                luma[1][0] = row1[c0];
                luma[1][1] = row1[c1];
            }
            const size_t chromaCol = static_cast<size_t>(NearestIndex(k, job.xRatio));
            const int cb = cbRow[chromaCol];
            const int cr = crRow[chromaCol];
            const ptrdiff_t at0 = static_cast<ptrdiff_t>(2 * k) * out.dx;
            P::Store(d0 + at0, YCbCrToRgbScaled(luma[0][0], cb, cr));
            P::Store(d0 + at0 + out.dx, YCbCrToRgbScaled(luma[0][1], cb, cr));
            P::Store(d1 + at0, YCbCrToRgbScaled(luma[1][0], cb, cr));
            P::Store(d1 + at0 + out.dx, YCbCrToRgbScaled(luma[1][1], cb, cr));
        }
    }
    FillOddEdges<P::kBytes>(job, out);
}

int BytesPerPixel(int format) { return format == kRgb888 ? 3 : 2; }

}  // namespace
}  // namespace pixels

int ippiYCbCr420RszCscRotRGB_8u_P3C3R(const uint8_t* const src[3], const int srcStep[3], int srcWidth,
                                      int srcHeight, uint8_t* dst, int dstStep, int roiWidth, int roiHeight,
                                      int format, int interpolation, int rotation, uint32_t xRatio,
                                      uint32_t yRatio) {
    using namespace pixels;
    if (rotation < kRotateNone || rotation > kFlipTopBottom || format < kRgb565 || format > kRgb888) {
        return kRgbStatusBadArgument;
    }
    if (src == nullptr || srcStep == nullptr || src[0] == nullptr || src[1] == nullptr || src[2] == nullptr ||
        dst == nullptr) {
        return kRgbStatusBadArgument;
    }
    if (srcWidth < 1 || srcHeight < 1 || roiWidth < 2 || roiHeight < 2) {
        return kRgbStatusBadArgument;
    }
    const int bytes = BytesPerPixel(format);
    const int outWidth = IsQuarterTurn(rotation) ? roiHeight : roiWidth;
    const int chromaWidth = (srcWidth + 1) / 2;
    if (srcStep[0] < srcWidth || srcStep[1] < chromaWidth || srcStep[2] < chromaWidth ||
        dstStep < outWidth * bytes) {
        return kRgbStatusBadArgument;
    }
    const bool bilinear = interpolation != 0 && !(xRatio == kUnitRatio && yRatio == kUnitRatio);
    // Every luma and chroma sample read lies inside the source.
    const uint64_t lastChromaY = static_cast<uint64_t>(roiHeight / 2 * 2 - 2) * yRatio;
    if (!PositionsInside(srcWidth, srcHeight, roiWidth, roiHeight, bilinear, xRatio, yRatio) ||
        !NearestInside(roiWidth / 2 - 1, xRatio, chromaWidth) ||
        ((lastChromaY + 0x10000) >> 17) >= static_cast<uint64_t>((srcHeight + 1) / 2)) {
        return kRgbStatusBadArgument;
    }
    const CscJob job{src[0],    src[1],    src[2],   srcStep[0], srcStep[1], srcStep[2], srcWidth,
                     srcHeight, roiWidth, roiHeight, bilinear,   xRatio,     yRatio};
    const RotatedStore out = MakeRotatedStore(dst, dstStep, bytes, roiWidth, roiHeight, rotation);
    switch (format) {
    case kRgb565: Convert<kRgb565>(job, out); break;
    case kRgb555: Convert<kRgb555>(job, out); break;
    case kRgb444: Convert<kRgb444>(job, out); break;
    default: Convert<kRgb888>(job, out); break;
    }
    return 0;
}
