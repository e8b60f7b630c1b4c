// The full-size inverse transform with SSE2: eight 16-bit lanes, one pass per
// direction with a transpose between. The block is taken at a quarter of its
// scale so that no intermediate sum of a valid block leaves 16 bits; the
// saturating adds keep hostile blocks from wrapping. The final rounding
// (x + 8) >> 4 at a quarter scale is (4x + 32) >> 6 at full scale.
#include "jpeg/JpegIdct.h"

#if defined(__SSE2__)
#include <emmintrin.h>

namespace jpeg {

namespace {

// x * constant for constants below 1 (pmulhw takes the upper 16 bits), and
// x * (1 - k) as x - x * k for those above 0.5, which do not fit a lane.
inline __m128i MulTan1(__m128i x) { return _mm_mulhi_epi16(x, _mm_set1_epi16(13036)); }
inline __m128i MulTan2(__m128i x) { return _mm_mulhi_epi16(x, _mm_set1_epi16(27145)); }
inline __m128i MulTan3(__m128i x) { return _mm_subs_epi16(x, _mm_mulhi_epi16(x, _mm_set1_epi16(21748))); }
inline __m128i MulCos4(__m128i x) { return _mm_subs_epi16(x, _mm_mulhi_epi16(x, _mm_set1_epi16(19195))); }

inline __m128i Add(__m128i a, __m128i b) { return _mm_adds_epi16(a, b); }
inline __m128i Sub(__m128i a, __m128i b) { return _mm_subs_epi16(a, b); }

// The 8-point pass of the scalar transform, lane by lane. With Inputs 4,
// v[4..7] are known to be 0 and their terms are left out; the saturating
// operations give the same results either way (x + 0 = x - 0 = x).
template <int Inputs>
inline void Pass(__m128i v[8]) {
    const bool full = Inputs == 8;
    const __m128i a0 = full ? Add(v[0], v[4]) : v[0], a1 = full ? Sub(v[0], v[4]) : v[0];
    const __m128i e0 = full ? Add(v[2], MulTan2(v[6])) : v[2];
    const __m128i e1 = full ? Sub(MulTan2(v[2]), v[6]) : MulTan2(v[2]);
    const __m128i x0 = Add(a0, e0), x3 = Sub(a0, e0), x1 = Add(a1, e1), x2 = Sub(a1, e1);
    const __m128i p = full ? Add(v[1], MulTan1(v[7])) : v[1], q = full ? Sub(MulTan1(v[1]), v[7]) : MulTan1(v[1]);
    const __m128i r = full ? Add(v[3], MulTan3(v[5])) : v[3], s = full ? Sub(MulTan3(v[3]), v[5]) : MulTan3(v[3]);
    const __m128i b0 = Add(p, r), b3 = Sub(q, s);
    const __m128i u = Sub(p, r), w = Add(q, s);
    const __m128i b1 = MulCos4(Add(u, w)), b2 = MulCos4(Sub(u, w));
    v[0] = Add(x0, b0);
    v[7] = Sub(x0, b0);
    v[1] = Add(x1, b1);
    v[6] = Sub(x1, b1);
    v[2] = Add(x2, b2);
    v[5] = Sub(x2, b2);
    v[3] = Add(x3, b3);
    v[4] = Sub(x3, b3);
}

// 8 x 8 transpose of 16-bit lanes. With Inputs 4, lanes 4..7 are known to
// be 0: only v[0..3] come out non-zero, and they are all Pass<4> reads.
template <int Inputs>
inline void Transpose(__m128i v[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(v[0], v[1]), a2 = _mm_unpacklo_epi16(v[2], v[3]);
    const __m128i a4 = _mm_unpacklo_epi16(v[4], v[5]), a6 = _mm_unpacklo_epi16(v[6], v[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    if (Inputs == 8) {
        const __m128i a1 = _mm_unpackhi_epi16(v[0], v[1]), a3 = _mm_unpackhi_epi16(v[2], v[3]);
        const __m128i a5 = _mm_unpackhi_epi16(v[4], v[5]), a7 = _mm_unpackhi_epi16(v[6], v[7]);
        const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
        const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
        v[4] = _mm_unpacklo_epi64(b2, b6);
        v[5] = _mm_unpackhi_epi64(b2, b6);
        v[6] = _mm_unpacklo_epi64(b3, b7);
        v[7] = _mm_unpackhi_epi64(b3, b7);
    }
    v[0] = _mm_unpacklo_epi64(b0, b4);
    v[1] = _mm_unpackhi_epi64(b0, b4);
    v[2] = _mm_unpacklo_epi64(b1, b5);
    v[3] = _mm_unpackhi_epi64(b1, b5);
}

// Inputs 8: the whole block; Inputs 4: only its top-left 4 x 4 quarter
// holds coefficients (zig-zag index up to 9), which spares the loads and
// the work on the zero rows and columns.
template <int Inputs>
void Transform(const int16_t* block, uint8_t* out, uint32_t stride) {
    __m128i v[8];
    const __m128i one = _mm_set1_epi16(1);
    for (int i = 0; i < Inputs; ++i) {
        const __m128i row = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i * 8));
        v[i] = _mm_srai_epi16(_mm_adds_epi16(row, one), 1);
    }
    Pass<Inputs>(v);  // columns: lane u, vectors down the block
    Transpose<Inputs>(v);
    Pass<Inputs>(v);  // rows
    Transpose<8>(v);
    const __m128i round = _mm_set1_epi16(16);
    const __m128i bias = _mm_set1_epi16(128);
    for (int i = 0; i < 8; i += 2) {
        const __m128i a = _mm_add_epi16(_mm_srai_epi16(_mm_adds_epi16(v[i], round), 5), bias);
        const __m128i b = _mm_add_epi16(_mm_srai_epi16(_mm_adds_epi16(v[i + 1], round), 5), bias);
        const __m128i packed = _mm_packus_epi16(a, b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i * stride), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (i + 1) * stride), _mm_srli_si128(packed, 8));
    }
}

}  // namespace

void IdctFullSse2(const int16_t* block, uint8_t* out, uint32_t stride) { Transform<8>(block, out, stride); }

void IdctQuarterSse2(const int16_t* block, uint8_t* out, uint32_t stride) { Transform<4>(block, out, stride); }

}  // namespace jpeg

#else

namespace jpeg {
void IdctFullSse2(const int16_t* block, uint8_t* out, uint32_t stride) { IdctFull(block, out, stride); }
void IdctQuarterSse2(const int16_t* block, uint8_t* out, uint32_t stride) { IdctFull(block, out, stride); }
}  // namespace jpeg

#endif
