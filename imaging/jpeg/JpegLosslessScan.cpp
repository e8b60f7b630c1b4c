// Lossless scans (SOF3, 8-bit, scale 1), T.81 Annex H: each sample is
// predicted from its neighbours (Table H.1) and the coded difference added.
#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegEntropyReader.h"
#include "jpeg/JpegScanWalker.h"

namespace jpeg {

namespace {

int32_t Predict(int predictor, int32_t ra, int32_t rb, int32_t rc) {
    switch (predictor) {
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + ((rb - rc) >> 1);
    case 6: return rb + ((ra - rc) >> 1);
    default: return (ra + rb) >> 1;
    }
}

}  // namespace

int32_t DecodeLosslessScan(DecoderContext& ctx, const ScanHeader& scan) {
    const int predictor = scan.ss;
    const int pt = scan.al;
    if (predictor < 1 || predictor > 7 || pt > 7) {
        return -1;
    }
    const HuffmanTable* tables[kMaxComponents];
    for (int i = 0; i < scan.componentCount; ++i) {
        if (!ctx.dcTables[scan.components[i].dcTable].defined) {
            return -1;
        }
        tables[i] = &ctx.dcTables[scan.components[i].dcTable];
    }
    const ScanGeometry geometry(ctx, scan, 1);
    const int32_t base = 1 << (8 - pt - 1);

    WalkIntervals(ctx, geometry, [&](EntropyReader& reader, uint32_t first, uint32_t end) {
        // Row of the interval's first samples per component: it is predicted
        // from the left only, as the first line of the picture is.
        uint32_t firstRow[kMaxComponents];
        for (int i = 0; i < scan.componentCount; ++i) {
            const FrameComponent& fc = ctx.frame.components[scan.components[i].frameIndex];
            firstRow[i] = (first / geometry.mcusWide) * (geometry.interleaved ? fc.v : 1);
        }
        for (uint32_t m = first; m < end; ++m) {
            const uint32_t mx = m % geometry.mcusWide;
            const uint32_t my = m / geometry.mcusWide;
            for (int i = 0; i < scan.componentCount; ++i) {
                const int ci = scan.components[i].frameIndex;
                const FrameComponent& fc = ctx.frame.components[ci];
                const PlaneTarget& plane = ctx.planes[ci];
                const uint32_t bw = geometry.interleaved ? fc.h : 1;
                const uint32_t bh = geometry.interleaved ? fc.v : 1;
                for (uint32_t sy = 0; sy < bh; ++sy) {
                    for (uint32_t sx = 0; sx < bw; ++sx) {
                        const uint32_t x = mx * bw + sx;
                        const uint32_t y = my * bh + sy;
                        const int32_t s = reader.Decode(*tables[i]);
                        if (s < 0 || s > 16) {
                            return false;
                        }
                        int32_t diff = 32768;
                        if (s < 16) {
                            diff = s ? reader.Extend(reader.Bits(s), s) : 0;
                        }
                        uint8_t* row = plane.base + size_t{y} * plane.stride;
                        auto at = [&](uint32_t px, const uint8_t* r) { return int32_t{r[px]} >> pt; };
                        int32_t prediction;
                        if (y == firstRow[i]) {
                            prediction = (x == 0 || m == first) ? base : at(x - 1, row);
                        } else if (x == 0) {
                            prediction = at(x, row - plane.stride);
                        } else {
                            prediction = Predict(predictor, at(x - 1, row), at(x, row - plane.stride),
                                                 at(x - 1, row - plane.stride));
                        }
                        const int32_t sample = (prediction + diff) & 0xFFFF;
                        row[x] = static_cast<uint8_t>((sample << pt) & 0xFF);
                    }
                }
            }
            if (reader.Overrun()) {
                return false;
            }
        }
        return true;
    });
    return 0;
}

}  // namespace jpeg
