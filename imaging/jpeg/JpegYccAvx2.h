// The YCbCr to RGB terms of the decoder's integer formulas with AVX2, for
// 16 pixels of a row: the colour outputs of the codec and of the tools that
// write its planes as RGB share them. Include only where AVX2 functions are
// built (target attribute) and called after the processor was asked.
#pragma once

#include <cstdint>

#include "CpuFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace jpeg {

// (a x ka + b x kb) >> 14 for 16 lanes; the in-lane unpacks and packs keep
// the order.
LUM_AVX2 inline __m256i YccTerms(__m256i a, __m256i b, int16_t ka, int16_t kb) {
    const __m256i k = _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(kb)) << 16) |
                                                             static_cast<uint16_t>(ka)));
    const __m256i lo = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), k), 14);
    const __m256i hi = _mm256_srai_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), k), 14);
    return _mm256_packs_epi32(lo, hi);
}

// Sixteen chroma values for pixels x..x+15, minus 128: each sample twice
// when one serves two pixels (hShift 1).
LUM_AVX2 inline __m256i YccChroma(const uint8_t* c, uint32_t x, int hShift) {
    __m256i v;
    if (hShift) {
        const __m256i wide = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(c + x / 2)));
        v = _mm256_or_si256(wide, _mm256_slli_epi32(wide, 16));
    } else {
        v = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(c + x)));
    }
    return _mm256_sub_epi16(v, _mm256_set1_epi16(128));
}

// The R, G and B offsets of 16 pixels from their Cb and Cr (minus 128):
// (cr 22970 + 8192) >> 14, (cr 11700 + cb 5638 + 8192) >> 14 (subtracted
// from luma) and (cb 29032 + 8192) >> 14.
struct YccOffsets {
    __m256i r, g, b;
};

LUM_AVX2 inline YccOffsets YccOffsetsOf(__m256i cb, __m256i cr) {
    // Pairs (c, 1) x (factor, 8192) add the rounding constant in the product;
    // g has two products, so its rounding is added after them.
    const __m256i one = _mm256_set1_epi16(1);
    const __m256i gFactors = _mm256_set1_epi32((5638 << 16) | 11700), round = _mm256_set1_epi32(8192);
    const __m256i gLo =
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(cr, cb), gFactors), round), 14);
    const __m256i gHi =
        _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(cr, cb), gFactors), round), 14);
    return {YccTerms(cr, one, 22970, 8192), _mm256_packs_epi32(gLo, gHi), YccTerms(cb, one, 29032, 8192)};
}

}  // namespace jpeg

#endif
