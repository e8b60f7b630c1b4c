// Finished planes to RGB565 (with the ordered dither of the vertically
// subsampled types) or to planar YCbCr 4:2:0.
#include <algorithm>
#include <cstring>

#include "jpeg/JpegDecoderInternal.h"

namespace jpeg {

namespace {

struct ChromaTables {
    int32_t rFromCr[256];
    int32_t gFromCr[256];
    int32_t gFromCb[256];
    int32_t bFromCb[256];
    ChromaTables() {
        for (int i = 0; i < 256; ++i) {
            const int32_t c = i - 128;
            rFromCr[i] = (c * 22970 + 8192) >> 14;
            bFromCb[i] = (c * 29032 + 8192) >> 14;
            gFromCr[i] = c * 11700;
            gFromCb[i] = c * 5638;
        }
    }
};

const ChromaTables kChroma;

// Dither added to B, G, R by position in each 2 x 2 square.
constexpr uint8_t kDither[2][2][3] = {{{0, 3, 2}, {4, 0, 6}}, {{6, 1, 4}, {2, 2, 0}}};

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline uint16_t Pack565(int32_t r, int32_t g, int32_t b) {
    return static_cast<uint16_t>(((r & 0xF8) << 8) | ((g & 0xFC) << 3) | (b >> 3));
}

// The vertically subsampled types dither (their chroma bands show most).
bool Dithers(uint8_t samplingType) {
    return samplingType == kJpegSampling420 || samplingType == kJpegSampling440;
}

void ToRgb565(const JpegPlanes& planes, const ChromaLayout& layout, uint8_t type, uint32_t width, uint32_t height,
              uint16_t* out) {
    const uint32_t evenW = (width + 1) & ~1u;
    const uint32_t evenH = (height + 1) & ~1u;
    const uint32_t stride = planes.paddedWidth;
    const bool dithers = Dithers(type);
    const uint32_t chromaStride = layout.stride;
    for (uint32_t y = 0; y < evenH; ++y) {
        const uint32_t sy = std::min(y, height - 1);
        const uint8_t* yRow = planes.y + size_t{sy} * stride;
        uint16_t* o = out + size_t{y} * evenW;
        if (type == kJpegSamplingGrey) {
            for (uint32_t x = 0; x < width; ++x) {
                o[x] = Pack565(yRow[x], yRow[x], yRow[x]);
            }
        } else if (type == kJpegSamplingRgb) {
            const uint8_t* g = planes.cb + size_t{sy} * stride;
            const uint8_t* b = planes.cr + size_t{sy} * stride;
            for (uint32_t x = 0; x < width; ++x) {
                o[x] = Pack565(yRow[x], g[x], b[x]);
            }
        } else {
            const uint8_t* cbRow = planes.cb + size_t{sy >> layout.vShift} * chromaStride;
            const uint8_t* crRow = planes.cr + size_t{sy >> layout.vShift} * chromaStride;
            const uint8_t (*dither)[3] = kDither[y & 1];
            for (uint32_t x = 0; x < width; ++x) {
                const uint32_t cx = x >> layout.hShift;
                const int32_t lum = yRow[x];
                const int32_t r = lum + kChroma.rFromCr[crRow[cx]];
                const int32_t g = lum - ((kChroma.gFromCr[crRow[cx]] + kChroma.gFromCb[cbRow[cx]] + 8192) >> 14);
                const int32_t b = lum + kChroma.bFromCb[cbRow[cx]];
                if (dithers) {
                    const uint8_t* d = dither[x & 1];
                    o[x] = Pack565(Clamp(r + d[2]), Clamp(g + d[1]), Clamp(b + d[0]));
                } else {
                    o[x] = Pack565(Clamp(r), Clamp(g), Clamp(b));
                }
            }
        }
        if (evenW != width) {
            o[width] = o[width - 1];
        }
    }
}

// Planar 4:2:0: Y, then Cb and Cr at half size, each chroma sample the mean
// of the samples that cover its 2 x 2 cell.
void ToPlanar420(const JpegPlanes& planes, const ChromaLayout& layout, uint8_t type, uint32_t width,
                 uint32_t height, uint8_t* out) {
    const uint32_t evenW = (width + 1) & ~1u;
    const uint32_t evenH = (height + 1) & ~1u;
    const uint32_t stride = planes.paddedWidth;
    uint8_t* yOut = out;
    uint8_t* cbOut = out + size_t{evenW} * evenH;
    uint8_t* crOut = cbOut + size_t{evenW / 2} * (evenH / 2);
    const uint32_t chromaStride = layout.stride;
    auto lumaAt = [&](uint32_t x, uint32_t y, int32_t& cb, int32_t& cr) -> uint8_t {
        x = std::min(x, width - 1);
        y = std::min(y, height - 1);
        const size_t i = size_t{y} * stride + x;
        if (type == kJpegSamplingGrey) {
            cb = cr = 128;
            return planes.y[i];
        }
        if (type == kJpegSamplingRgb) {
            // JFIF forward transform, 16-bit fixed point.
            const int32_t r = planes.y[i], g = planes.cb[i], b = planes.cr[i];
            cb = Clamp((-11059 * r - 21709 * g + 32768 * b + 8421376 + 32767) >> 16);
            cr = Clamp((32768 * r - 27439 * g - 5329 * b + 8421376 + 32767) >> 16);
            return Clamp((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
        }
        const size_t c = size_t{y >> layout.vShift} * chromaStride + (x >> layout.hShift);
        cb = planes.cb[c];
        cr = planes.cr[c];
        return planes.y[i];
    };
    for (uint32_t y = 0; y < evenH; y += 2) {
        for (uint32_t x = 0; x < evenW; x += 2) {
            int32_t cbSum = 0, crSum = 0;
            for (uint32_t dy = 0; dy < 2; ++dy) {
                for (uint32_t dx = 0; dx < 2; ++dx) {
                    int32_t cb, cr;
                    yOut[size_t{y + dy} * evenW + x + dx] = lumaAt(x + dx, y + dy, cb, cr);
                    cbSum += cb;
                    crSum += cr;
                }
            }
            const size_t c = size_t{y / 2} * (evenW / 2) + x / 2;
            cbOut[c] = static_cast<uint8_t>((cbSum + 2) >> 2);
            crOut[c] = static_cast<uint8_t>((crSum + 2) >> 2);
        }
    }
}

}  // namespace

void ConvertPlanes(const JpegPlanes& planes, const ChromaLayout& chroma, uint8_t samplingType, uint32_t width,
                   uint32_t height, int planar, void* output) {
    if (width == 0 || height == 0) {
        return;
    }
    switch (samplingType) {
    case kJpegSampling420:
    case kJpegSampling422:
    case kJpegSampling444:
    case kJpegSamplingRgb:
    case kJpegSamplingGrey:
    case kJpegSampling440:
        break;
    default:
        return;  // other type values write nothing
    }
    if (planar) {
        ToPlanar420(planes, chroma, samplingType, width, height, static_cast<uint8_t*>(output));
    } else {
        ToRgb565(planes, chroma, samplingType, width, height, static_cast<uint16_t*>(output));
    }
}

}  // namespace jpeg
