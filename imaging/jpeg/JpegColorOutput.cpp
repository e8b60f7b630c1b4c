// Finished planes to RGB565 (with the ordered dither of the vertically
// subsampled types) or to planar YCbCr 4:2:0.
#include <algorithm>
#include <cstring>

#include "CpuFeatures.h"
#include "jpeg/JpegDecoderInternal.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

const bool kAvx2 = imaging::KernelsAtLeast(imaging::KernelSet::kAvx2);

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

#if defined(__SSE2__)

// Upsampling, colour conversion, dither and packing fused: 16 pixels of one
// row per step in 16-bit lanes, the chroma terms computed once per chroma
// sample with the scalar path's integer arithmetic (so the pixels are the
// same). Returns how many pixels it wrote; the caller does the rest.
class Rgb565Rows {
public:
    explicit Rgb565Rows(bool dithers) {
        // kDither by column parity, for even and odd rows.
        for (int row = 0; row < 2; ++row) {
            const uint8_t* even = kDither[row][0];
            const uint8_t* odd = kDither[row][1];
            ditherB_[row] = dithers ? Alternate(even[0], odd[0]) : _mm_setzero_si128();
            ditherG_[row] = dithers ? Alternate(even[1], odd[1]) : _mm_setzero_si128();
            ditherR_[row] = dithers ? Alternate(even[2], odd[2]) : _mm_setzero_si128();
        }
    }

    uint32_t Convert(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int hShift, uint32_t row,
                     uint16_t* out, uint32_t width) const {
        const __m128i zero = _mm_setzero_si128();
        uint32_t x = 0;
        for (; x + 16 <= width; x += 16) {
            __m128i r[2], g[2], b[2];  // chroma terms of pixels x..x+7, x+8..x+15
            if (hShift) {
                // One chroma sample per two pixels: widen the 8 terms by
                // repeating each.
                __m128i rc, gc, bc;
                ChromaTerms(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + x / 2)),
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + x / 2)), rc, gc, bc);
                r[0] = _mm_unpacklo_epi16(rc, rc), r[1] = _mm_unpackhi_epi16(rc, rc);
                g[0] = _mm_unpacklo_epi16(gc, gc), g[1] = _mm_unpackhi_epi16(gc, gc);
                b[0] = _mm_unpacklo_epi16(bc, bc), b[1] = _mm_unpackhi_epi16(bc, bc);
            } else {
                const __m128i cb16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x));
                const __m128i cr16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x));
                ChromaTerms(cb16, cr16, r[0], g[0], b[0]);
                ChromaTerms(_mm_srli_si128(cb16, 8), _mm_srli_si128(cr16, 8), r[1], g[1], b[1]);
            }
            const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
            const __m128i lum[2] = {_mm_unpacklo_epi8(luma, zero), _mm_unpackhi_epi8(luma, zero)};
            for (int half = 0; half < 2; ++half) {
                const __m128i rr = Clamp8(_mm_add_epi16(_mm_add_epi16(lum[half], r[half]), ditherR_[row & 1]));
                const __m128i gg = Clamp8(_mm_add_epi16(_mm_sub_epi16(lum[half], g[half]), ditherG_[row & 1]));
                const __m128i bb = Clamp8(_mm_add_epi16(_mm_add_epi16(lum[half], b[half]), ditherB_[row & 1]));
                const __m128i packed =
                    _mm_or_si128(_mm_or_si128(_mm_slli_epi16(_mm_and_si128(rr, _mm_set1_epi16(0xF8)), 8),
                                              _mm_slli_epi16(_mm_and_si128(gg, _mm_set1_epi16(0xFC)), 3)),
                                 _mm_srli_epi16(bb, 3));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x + 8 * half), packed);
            }
        }
        return x;
    }

private:
    static __m128i Alternate(int even, int odd) {
        return _mm_setr_epi16(static_cast<int16_t>(even), static_cast<int16_t>(odd), static_cast<int16_t>(even),
                              static_cast<int16_t>(odd), static_cast<int16_t>(even), static_cast<int16_t>(odd),
                              static_cast<int16_t>(even), static_cast<int16_t>(odd));
    }

    static __m128i Clamp8(__m128i v) {
        return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(255));
    }

    // (a x ka + b x kb) >> 14 for 8 lanes, from 32-bit products (pmaddwd).
    static __m128i Terms(__m128i a, __m128i b, __m128i k) {
        const __m128i lo = _mm_srai_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k), 14);
        const __m128i hi = _mm_srai_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), k), 14);
        return _mm_packs_epi32(lo, hi);
    }

    // R, G and B offsets of 8 chroma sample pairs (the low 8 bytes).
    static void ChromaTerms(__m128i cb8, __m128i cr8, __m128i& r, __m128i& g, __m128i& b) {
        const __m128i bias = _mm_set1_epi16(128);
        const __m128i cb = _mm_sub_epi16(_mm_unpacklo_epi8(cb8, _mm_setzero_si128()), bias);
        const __m128i cr = _mm_sub_epi16(_mm_unpacklo_epi8(cr8, _mm_setzero_si128()), bias);
        const __m128i one = _mm_set1_epi16(1);
        // Pairs (c, 1) x (factor, 8192) add the rounding constant in the product.
        r = Terms(cr, one, _mm_setr_epi16(22970, 8192, 22970, 8192, 22970, 8192, 22970, 8192));
        b = Terms(cb, one, _mm_setr_epi16(29032, 8192, 29032, 8192, 29032, 8192, 29032, 8192));
        const __m128i gSums = _mm_setr_epi16(11700, 5638, 11700, 5638, 11700, 5638, 11700, 5638);
        const __m128i round = _mm_set1_epi32(8192);
        const __m128i gLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(cr, cb), gSums), round), 14);
        const __m128i gHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(cr, cb), gSums), round), 14);
        g = _mm_packs_epi32(gLo, gHi);
    }

    __m128i ditherB_[2], ditherG_[2], ditherR_[2];
};

#endif

// Output rows firstRow to endRow; the planes hold the picture's rows from
// firstRow on (firstRow a multiple of the chroma's vertical step).
void ToRgb565(const JpegPlanes& planes, const ChromaLayout& layout, uint8_t type, uint32_t width, uint32_t height,
              uint32_t firstRow, uint32_t endRow, uint16_t* out, bool vector) {
    const uint32_t evenW = (width + 1) & ~1u;
    const uint32_t stride = planes.paddedWidth;
    const bool dithers = Dithers(type);
    const uint32_t chromaStride = layout.stride;
#if defined(__SSE2__)
    const Rgb565Rows rows(dithers);
#else
    (void)vector;
#endif
    for (uint32_t y = firstRow; y < endRow; ++y) {
        const uint32_t sy = std::min(y, height - 1);
        const uint32_t ly = sy - firstRow;
        const uint8_t* yRow = planes.y + size_t{ly} * stride;
        uint16_t* o = out + size_t{y} * evenW;
        if (type == kJpegSamplingGrey) {
            for (uint32_t x = 0; x < width; ++x) {
                o[x] = Pack565(yRow[x], yRow[x], yRow[x]);
            }
        } else if (type == kJpegSamplingRgb) {
            const uint8_t* g = planes.cb + size_t{ly} * stride;
            const uint8_t* b = planes.cr + size_t{ly} * stride;
            for (uint32_t x = 0; x < width; ++x) {
                o[x] = Pack565(yRow[x], g[x], b[x]);
            }
        } else {
            const uint32_t cy = (sy >> layout.vShift) - (firstRow >> layout.vShift);
            const uint8_t* cbRow = planes.cb + size_t{cy} * chromaStride;
            const uint8_t* crRow = planes.cr + size_t{cy} * chromaStride;
            const uint8_t (*dither)[3] = kDither[y & 1];
            uint32_t x = 0;
#if defined(__x86_64__)
            if (vector && kAvx2) {
                x = Rgb565RowAvx2(yRow, cbRow, crRow, layout.hShift, dither, dithers, o, width);
            }
#endif
#if defined(__SSE2__)
            if (vector) {
                // Whatever the wider kernel left, from an even pixel on.
                const uint32_t c = x >> layout.hShift;
                x += rows.Convert(yRow + x, cbRow + c, crRow + c, layout.hShift, y, o + x, width - x);
            }
#endif
            for (; x < width; ++x) {
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

bool Converts(uint8_t samplingType) {
    switch (samplingType) {
    case kJpegSampling420:
    case kJpegSampling422:
    case kJpegSampling444:
    case kJpegSamplingRgb:
    case kJpegSamplingGrey:
    case kJpegSampling440:
        return true;
    default:
        return false;  // other type values write nothing
    }
}

}  // namespace

void ConvertPlanes(const JpegPlanes& planes, const ChromaLayout& chroma, uint8_t samplingType, uint32_t width,
                   uint32_t height, int planar, void* output, bool vector) {
    if (width == 0 || height == 0 || !Converts(samplingType)) {
        return;
    }
    vector = vector && imaging::KernelsAtLeast(imaging::KernelSet::kSse2);
    if (planar) {
        ToPlanar420(planes, chroma, samplingType, width, height, static_cast<uint8_t*>(output));
    } else {
        ToRgb565(planes, chroma, samplingType, width, height, 0, (height + 1) & ~1u, static_cast<uint16_t*>(output),
                 vector);
    }
}

void StripOutput::Reach(uint32_t row) {
    const uint32_t evenH = (height + 1) & ~1u;
    const bool converts = width != 0 && height != 0 && Converts(samplingType);
    const bool vector = imaging::KernelsAtLeast(imaging::KernelSet::kSse2);
    for (; done < row && done < mcuRows; ++done) {
        const uint32_t first = done * lumaRows;
        if (converts && first < evenH) {
            // The last strip also gives the repeated row of an odd height.
            const uint32_t end = first + lumaRows >= height ? evenH : first + lumaRows;
            ToRgb565(strip, layout, samplingType, width, height, first, end, pixels, vector);
        }
        // What the next row's scan leaves out reads as zero, as in whole planes.
        std::memset(strip.y, 0, bytes);
    }
}

}  // namespace jpeg
