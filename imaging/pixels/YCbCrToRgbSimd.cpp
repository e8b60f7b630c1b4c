#include "pixels/YCbCrToRgbSimd.h"

#include "pixels/Simd.h"
#include "pixels/YCbCrPrimitives.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixels {
namespace {

// Channel bits of the 16-bit formats: red, green, blue.
struct Bits16 {
    int r, g, b;
};

constexpr Bits16 BitsOf(int format) {
    return format == kRgb555 ? Bits16{5, 5, 5} : (format == kRgb444 ? Bits16{4, 4, 4} : Bits16{5, 6, 5});
}

inline int Reduce(int scaled, int bits) {
    const int v = scaled >> (16 - bits);  // arithmetic, no rounding constant
    const int max = (1 << bits) - 1;
    return v < 0 ? 0 : (v > max ? max : v);
}

#if defined(__SSE2__)

// Two signed 16-bit factors for pmaddwd: lo for the even lane, hi for the odd.
inline __m128i Pair(int lo, int hi) {
    return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16) |
                                               static_cast<uint16_t>(lo)));
}

// Eight scaled channel values (two vectors of four 32-bit sums) reduced to
// bits and clamped, as eight 16-bit lanes.
inline __m128i Reduce8(__m128i lo, __m128i hi, int bits) {
    const __m128i count = _mm_cvtsi32_si128(16 - bits);
    const __m128i v = _mm_packs_epi32(_mm_sra_epi32(lo, count), _mm_sra_epi32(hi, count));
    return _mm_min_epi16(_mm_max_epi16(v, _mm_setzero_si128()), _mm_set1_epi16(static_cast<int16_t>((1 << bits) - 1)));
}

// Pixels 8 at a time: L = 298 (Y - 16), then the chroma products, all as the
// exact 32-bit sums of pmaddwd.
int PairsToRgb16Sse2(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int count, Bits16 bits,
                     uint16_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i rFactors = Pair(298, 409), gFactors = Pair(298, -100), bFactors = Pair(298, 516);
    const __m128i gCr = Pair(-208, 0);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i y = _mm_sub_epi16(
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + i)), zero), _mm_set1_epi16(16));
        // Four chroma samples, each for two pixels, minus 128.
        int32_t u4, v4;
        __builtin_memcpy(&u4, cb + i / 2, 4);
        __builtin_memcpy(&v4, cr + i / 2, 4);
        __m128i u = _mm_unpacklo_epi8(_mm_cvtsi32_si128(u4), zero);
        __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(v4), zero);
        u = _mm_sub_epi16(_mm_unpacklo_epi16(u, u), _mm_set1_epi16(128));
        v = _mm_sub_epi16(_mm_unpacklo_epi16(v, v), _mm_set1_epi16(128));
        const __m128i yvLo = _mm_unpacklo_epi16(y, v), yvHi = _mm_unpackhi_epi16(y, v);
        const __m128i yuLo = _mm_unpacklo_epi16(y, u), yuHi = _mm_unpackhi_epi16(y, u);
        const __m128i vLo = _mm_unpacklo_epi16(v, zero), vHi = _mm_unpackhi_epi16(v, zero);
        const __m128i r = Reduce8(_mm_madd_epi16(yvLo, rFactors), _mm_madd_epi16(yvHi, rFactors), bits.r);
        const __m128i g = Reduce8(_mm_add_epi32(_mm_madd_epi16(yuLo, gFactors), _mm_madd_epi16(vLo, gCr)),
                                  _mm_add_epi32(_mm_madd_epi16(yuHi, gFactors), _mm_madd_epi16(vHi, gCr)), bits.g);
        const __m128i b = Reduce8(_mm_madd_epi16(yuLo, bFactors), _mm_madd_epi16(yuHi, bFactors), bits.b);
        const __m128i red = _mm_sll_epi16(r, _mm_cvtsi32_si128(bits.g + bits.b));
        const __m128i green = _mm_sll_epi16(g, _mm_cvtsi32_si128(bits.b));
        const __m128i word = _mm_or_si128(_mm_or_si128(red, green), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), word);
    }
    return i;
}

#endif

void PairsFrom(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int from, int count, Bits16 bits,
               uint16_t* out) {
    for (int i = from; i < count; ++i) {
        const Rgb16x16 c = YCbCrToRgbScaled(luma[i], cb[i / 2], cr[i / 2]);
        out[i] = static_cast<uint16_t>(Reduce(c.r, bits.r) << (bits.g + bits.b) | Reduce(c.g, bits.g) << bits.b |
                                       Reduce(c.b, bits.b));
    }
}

}  // namespace

void PairsToRgb16Scalar(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int count, int format,
                        uint16_t* out) {
    PairsFrom(luma, cb, cr, 0, count, BitsOf(format), out);
}

void PairsToRgb16(const uint8_t* luma, const uint8_t* cb, const uint8_t* cr, int count, int format, uint16_t* out) {
    int done = 0;
#if defined(__SSE2__)
    if (SimdEnabled()) {
        done = PairsToRgb16Sse2(luma, cb, cr, count, BitsOf(format), out);
    }
#endif
    PairsFrom(luma, cb, cr, done, count, BitsOf(format), out);
}

}  // namespace pixels
