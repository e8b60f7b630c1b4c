// The full-size inverse transform in 16-bit arithmetic: with SSE2 eight
// lanes, one pass per direction with a transpose between, and the same
// operations one value at a time as the reference of the other kernel sets. The block is taken at a quarter of its
// scale so that no intermediate sum of a valid block leaves 16 bits; the
// saturating adds keep hostile blocks from wrapping. The final rounding
// (x + 8) >> 4 at a quarter scale is (4x + 32) >> 6 at full scale.
#include "jpeg/JpegIdct.h"

namespace jpeg {

namespace {

// The vector instructions' arithmetic on one 16-bit value: saturating add
// and subtract, the high half of a signed product, shifts.
inline int16_t Saturate(int32_t v) { return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v)); }
inline int16_t AddS(int16_t a, int16_t b) { return Saturate(int32_t{a} + b); }
inline int16_t SubS(int16_t a, int16_t b) { return Saturate(int32_t{a} - b); }
inline int16_t MulHi(int16_t x, int16_t c) { return static_cast<int16_t>((int32_t{x} * c) >> 16); }

// The 8-point pass of the vector transform over v[0], v[step], ...
void Pass16(int16_t* v, int step) {
    const int16_t y0 = v[0], y1 = v[step], y2 = v[2 * step], y3 = v[3 * step];
    const int16_t y4 = v[4 * step], y5 = v[5 * step], y6 = v[6 * step], y7 = v[7 * step];
    const int16_t a0 = AddS(y0, y4), a1 = SubS(y0, y4);
    const int16_t e0 = AddS(y2, MulHi(y6, 27145)), e1 = SubS(MulHi(y2, 27145), y6);
    const int16_t x0 = AddS(a0, e0), x3 = SubS(a0, e0), x1 = AddS(a1, e1), x2 = SubS(a1, e1);
    const int16_t p = AddS(y1, MulHi(y7, 13036)), q = SubS(MulHi(y1, 13036), y7);
    const int16_t r = AddS(y3, SubS(y5, MulHi(y5, 21748))), s = SubS(SubS(y3, MulHi(y3, 21748)), y5);
    const int16_t b0 = AddS(p, r), b3 = SubS(q, s);
    const int16_t u = SubS(p, r), w = AddS(q, s);
    const int16_t su = AddS(u, w), du = SubS(u, w);
    const int16_t b1 = SubS(su, MulHi(su, 19195)), b2 = SubS(du, MulHi(du, 19195));
    v[0] = AddS(x0, b0);
    v[7 * step] = SubS(x0, b0);
    v[step] = AddS(x1, b1);
    v[6 * step] = SubS(x1, b1);
    v[2 * step] = AddS(x2, b2);
    v[5 * step] = SubS(x2, b2);
    v[3 * step] = AddS(x3, b3);
    v[4 * step] = SubS(x3, b3);
}

}  // namespace

void IdctFull16(const int16_t* block, uint8_t* out, uint32_t stride) {
    int16_t t[64];
    for (int i = 0; i < 64; ++i) {
        t[i] = static_cast<int16_t>(AddS(block[i], 1) >> 1);
    }
    for (int u = 0; u < 8; ++u) {
        Pass16(t + u, 8);  // columns
    }
    for (int y = 0; y < 8; ++y) {
        Pass16(t + 8 * y, 1);  // rows
    }
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const int v = (AddS(t[8 * y + x], 16) >> 5) + 128;
            out[y * stride + x] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
}

}  // namespace jpeg

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
void IdctFullSse2(const int16_t* block, uint8_t* out, uint32_t stride) { IdctFull16(block, out, stride); }
void IdctQuarterSse2(const int16_t* block, uint8_t* out, uint32_t stride) { IdctFull16(block, out, stride); }
}  // namespace jpeg

#endif
