// RGB565 rows with 256-bit lanes: 32 pixels per step, the integer formulas
// and dither of the scalar path (JpegColorOutput.cpp), so the pixels are the
// same. Built for AVX2 function by function; called only when the processor
// has it.
#include "jpeg/JpegDecoderInternal.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define LUM_AVX2 __attribute__((target("avx2")))

namespace jpeg {

namespace {

// (a x ka + b x kb) >> 14 for 16 lanes; the in-lane unpacks and packs keep
// the order.
LUM_AVX2 inline __m256i Terms(__m256i a, __m256i b, int16_t ka, int16_t kb) {
    const __m256i k = _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(kb)) << 16) |
                                                             static_cast<uint16_t>(ka)));
    const __m256i lo = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), k), 14);
    const __m256i hi = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), k), 14);
    return _mm256_packs_epi32(lo, hi);
}

// Sixteen chroma values for pixels x..x+15, minus 128: each sample twice
// when one serves two pixels.
LUM_AVX2 inline __m256i Chroma(const uint8_t* c, uint32_t x, int hShift) {
    __m256i v;
    if (hShift) {
        const __m256i wide = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c + x / 2)));
        v = _mm256_or_si256(wide, _mm256_slli_epi32(wide, 16));
    } else {
        v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x)));
    }
    return _mm256_sub_epi16(v, _mm256_set1_epi16(128));
}

LUM_AVX2 inline __m256i Clamp8(__m256i v) {
    return _mm256_min_epi16(_mm256_max_epi16(v, _mm256_setzero_si256()), _mm256_set1_epi16(255));
}

// kDither of one row parity for one channel, by column parity.
LUM_AVX2 inline __m256i Dither(const uint8_t (*row)[3], int channel, bool on) {
    if (!on) {
        return _mm256_setzero_si256();
    }
    return _mm256_set1_epi32(static_cast<int32_t>(uint32_t{row[1][channel]} << 16 | row[0][channel]));
}

}  // namespace

LUM_AVX2 uint32_t Rgb565RowAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int hShift,
                                const uint8_t (*dither)[3], bool dithers, uint16_t* out, uint32_t width) {
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i dB = Dither(dither, 0, dithers), dG = Dither(dither, 1, dithers), dR = Dither(dither, 2, dithers);
    const __m256i gFactors = _mm256_set1_epi32((5638 << 16) | 11700), round = _mm256_set1_epi32(8192);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i lum = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x)));
        const __m256i vb = Chroma(cb, x, hShift), vr = Chroma(cr, x, hShift);
        // Pairs (c, 1) x (factor, 8192) add the rounding constant in the product.
        const __m256i r = Terms(vr, one, 22970, 8192);
        const __m256i b = Terms(vb, one, 29032, 8192);
        const __m256i gLo =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(vr, vb), gFactors), round), 14);
        const __m256i gHi =
            _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(vr, vb), gFactors), round), 14);
        const __m256i g = _mm256_packs_epi32(gLo, gHi);
        const __m256i rr = Clamp8(_mm256_add_epi16(_mm256_add_epi16(lum, r), dR));
        const __m256i gg = Clamp8(_mm256_add_epi16(_mm256_sub_epi16(lum, g), dG));
        const __m256i bb = Clamp8(_mm256_add_epi16(_mm256_add_epi16(lum, b), dB));
        const __m256i packed = _mm256_or_si256(
            _mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(rr, _mm256_set1_epi16(0xF8)), 8),
                            _mm256_slli_epi16(_mm256_and_si256(gg, _mm256_set1_epi16(0xFC)), 3)),
            _mm256_srli_epi16(bb, 3));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), packed);
    }
    return x;
}

}  // namespace jpeg

#endif
