// The 16-bit full-size inverse transform for two blocks at once with AVX2:
// block a in the low 128 bits of each register, block b in the high, and
// every instruction the in-lane form of the SSE2 kernel's
// (JpegIdctSse2.cpp), so each block gets the same samples.
#include "CpuFeatures.h"
#include "jpeg/JpegIdct.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace jpeg {

namespace {

LUM_AVX2 inline __m256i MulHi(__m256i x, int16_t c) { return _mm256_mulhi_epi16(x, _mm256_set1_epi16(c)); }
LUM_AVX2 inline __m256i Add(__m256i a, __m256i b) { return _mm256_adds_epi16(a, b); }
LUM_AVX2 inline __m256i Sub(__m256i a, __m256i b) { return _mm256_subs_epi16(a, b); }

LUM_AVX2 inline void Pass(__m256i v[8]) {
    const __m256i a0 = Add(v[0], v[4]), a1 = Sub(v[0], v[4]);
    const __m256i e0 = Add(v[2], MulHi(v[6], 27145)), e1 = Sub(MulHi(v[2], 27145), v[6]);
    const __m256i x0 = Add(a0, e0), x3 = Sub(a0, e0), x1 = Add(a1, e1), x2 = Sub(a1, e1);
    const __m256i p = Add(v[1], MulHi(v[7], 13036)), q = Sub(MulHi(v[1], 13036), v[7]);
    const __m256i r = Add(v[3], Sub(v[5], MulHi(v[5], 21748))), s = Sub(Sub(v[3], MulHi(v[3], 21748)), v[5]);
    const __m256i b0 = Add(p, r), b3 = Sub(q, s);
    const __m256i u = Sub(p, r), w = Add(q, s);
    const __m256i su = Add(u, w), du = Sub(u, w);
    const __m256i b1 = Sub(su, MulHi(su, 19195)), b2 = Sub(du, MulHi(du, 19195));
    v[0] = Add(x0, b0);
    v[7] = Sub(x0, b0);
    v[1] = Add(x1, b1);
    v[6] = Sub(x1, b1);
    v[2] = Add(x2, b2);
    v[5] = Sub(x2, b2);
    v[3] = Add(x3, b3);
    v[4] = Sub(x3, b3);
}

LUM_AVX2 inline void Transpose(__m256i v[8]) {
    const __m256i a0 = _mm256_unpacklo_epi16(v[0], v[1]), a1 = _mm256_unpackhi_epi16(v[0], v[1]);
    const __m256i a2 = _mm256_unpacklo_epi16(v[2], v[3]), a3 = _mm256_unpackhi_epi16(v[2], v[3]);
    const __m256i a4 = _mm256_unpacklo_epi16(v[4], v[5]), a5 = _mm256_unpackhi_epi16(v[4], v[5]);
    const __m256i a6 = _mm256_unpacklo_epi16(v[6], v[7]), a7 = _mm256_unpackhi_epi16(v[6], v[7]);
    const __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
    const __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
    const __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
    const __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
    v[0] = _mm256_unpacklo_epi64(b0, b4);
    v[1] = _mm256_unpackhi_epi64(b0, b4);
    v[2] = _mm256_unpacklo_epi64(b1, b5);
    v[3] = _mm256_unpackhi_epi64(b1, b5);
    v[4] = _mm256_unpacklo_epi64(b2, b6);
    v[5] = _mm256_unpackhi_epi64(b2, b6);
    v[6] = _mm256_unpacklo_epi64(b3, b7);
    v[7] = _mm256_unpackhi_epi64(b3, b7);
}

}  // namespace

LUM_AVX2 void IdctFullPairAvx2(const int16_t* a, uint8_t* outA, uint32_t strideA, const int16_t* b, uint8_t* outB,
                               uint32_t strideB) {
    __m256i v[8];
    const __m256i one = _mm256_set1_epi16(1);
    for (int i = 0; i < 8; ++i) {
        const __m256i rows = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i * 8)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i * 8)));
        v[i] = _mm256_srai_epi16(_mm256_adds_epi16(rows, one), 1);
    }
    Pass(v);  // columns
    Transpose(v);
    Pass(v);  // rows
    Transpose(v);
    const __m256i round = _mm256_set1_epi16(16);
    const __m256i bias = _mm256_set1_epi16(128);
    for (int i = 0; i < 8; i += 2) {
        const __m256i lo = _mm256_add_epi16(_mm256_srai_epi16(_mm256_adds_epi16(v[i], round), 5), bias);
        const __m256i hi = _mm256_add_epi16(_mm256_srai_epi16(_mm256_adds_epi16(v[i + 1], round), 5), bias);
        // Per lane: row i in the low 8 bytes, row i + 1 in the high 8.
        const __m256i packed = _mm256_packus_epi16(lo, hi);
        const __m128i rowsA = _mm256_castsi256_si128(packed), rowsB = _mm256_extracti128_si256(packed, 1);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + i * strideA), rowsA);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outA + (i + 1) * strideA), _mm_srli_si128(rowsA, 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + i * strideB), rowsB);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(outB + (i + 1) * strideB), _mm_srli_si128(rowsB, 8));
    }
}

}  // namespace jpeg

#else

namespace jpeg {
void IdctFullPairAvx2(const int16_t* a, uint8_t* outA, uint32_t strideA, const int16_t* b, uint8_t* outB,
                      uint32_t strideB) {
    IdctFull16(a, outA, strideA);
    IdctFull16(b, outB, strideB);
}
}  // namespace jpeg

#endif
