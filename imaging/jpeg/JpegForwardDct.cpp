// Forward DCT, quantisers and activity figures of the encoder.
//
// The DCT is separable with an even/odd split of each 8-point transform and
// 13-bit cosine factors; the first pass keeps 3 fraction bits. Integer only,
// so every build gives the same coefficients. Loops run across the 8 lanes
// of a row so that the compiler can vectorise them.
#include "jpeg/JpegEncoderKernels.h"

#include <cstdlib>
#include <cstring>

#include "CpuFeatures.h"

#if defined(__x86_64__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// round(8192 * c(u)/2 * cos((2x+1) u pi / 16)) for x = 0..3, c(0) = 1/sqrt(2).
constexpr int16_t kCos[8][4] = {
    {2896, 2896, 2896, 2896},   {4017, 3406, 2276, 799},    {3784, 1567, -1567, -3784},
    {3406, -799, -4017, -2276}, {2896, -2896, -2896, 2896}, {2276, -4017, 799, 3406},
    {1567, -3784, 3784, -1567}, {799, -2276, 3406, -4017},
};

// One 8-point DCT for each of 8 lanes: out[u][lane] from in[x][lane]. Inputs
// and outputs fit 16 bits (samples, or first-pass results below 2^13), the
// products 32 bits, which lets the compiler use 16-bit multiplies.
inline void Dct8Lanes(const int16_t in[8][8], int16_t out[8][8], int shift)
{
    int16_t even[4][8];
    int16_t odd[4][8];
    for (int k = 0; k < 4; ++k) {
        for (int l = 0; l < 8; ++l) {
            even[k][l] = static_cast<int16_t>(in[k][l] + in[7 - k][l]);
            odd[k][l] = static_cast<int16_t>(in[k][l] - in[7 - k][l]);
        }
    }
    const int32_t round = 1 << (shift - 1);
    for (int u = 0; u < 8; ++u) {
        const int16_t(*src)[8] = (u & 1) ? odd : even;
        for (int l = 0; l < 8; ++l) {
            int32_t acc = int32_t{kCos[u][0]} * src[0][l] + int32_t{kCos[u][1]} * src[1][l] +
                          int32_t{kCos[u][2]} * src[2][l] + int32_t{kCos[u][3]} * src[3][l];
            out[u][l] = static_cast<int16_t>((acc + round) >> shift);
        }
    }
}

inline void Transpose(const int16_t in[8][8], int16_t out[8][8])
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            out[x][y] = in[y][x];
        }
    }
}

}  // namespace

void ForwardDct8x8Scalar(int16_t* block)
{
    alignas(32) int16_t rows[8][8];
    alignas(32) int16_t cols[8][8];
    std::memcpy(rows, block, sizeof(rows));
    Dct8Lanes(rows, cols, 10);  // vertical: cols[v][x], 3 fraction bits
    Transpose(cols, rows);      // rows[x][v]
    Dct8Lanes(rows, cols, 16);  // horizontal: cols[u][v]
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            block[v * 8 + u] = cols[u][v];
        }
    }
}

int QuantizeBlockScalar(int16_t* block, const JpegQuantTable& table, bool truncate)
{
    block[0] = static_cast<int16_t>(block[0] - 1024);  // level shift of the samples, 128 x 8
    int nonzero = 0;
    for (int i = 0; i < 64; ++i) {
        int32_t c = block[i];
        uint32_t a = static_cast<uint32_t>(c < 0 ? -c : c);
        a = a > 2047 ? 2047 : a;
        uint32_t bias = truncate ? 0 : table.value[i] >> 1;
        // divisor = ceil(2^20 / q) divides exactly for |c| + q/2 below 2^12.
        int32_t q = static_cast<int32_t>(((a + bias) * table.divisor[i]) >> 20);
        block[i] = static_cast<int16_t>(c < 0 ? -q : q);
        nonzero += q != 0;
    }
    return nonzero + (block[0] == 0);
}

#if defined(__SSE2__)

namespace {

inline void Transpose8x8(__m128i r[8])
{
    __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

inline __m128i CosPair(int u, int k)
{
    return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(kCos[u][k + 1])) << 16) |
                                               static_cast<uint16_t>(kCos[u][k])));
}

// The same 8-point transform as Dct8Lanes, 8 lanes of 16 bits per register;
// pmaddwd forms the same 32-bit sums. The even outputs use the symmetry of
// their factors (c[u][3 - k] = +-c[u][k]): e0 +- e3 and e1 +- e2 first, then
// one multiply pair instead of two. These 16-bit sums of four inputs stay
// below 2^15 (pass-one outputs are below 5770).
template <int Shift>
inline void Dct8LanesSse2(__m128i r[8])
{
    __m128i e[4], o[4];
    for (int k = 0; k < 4; ++k) {
        e[k] = _mm_add_epi16(r[k], r[7 - k]);
        o[k] = _mm_sub_epi16(r[k], r[7 - k]);
    }
    __m128i sum03 = _mm_add_epi16(e[0], e[3]), sum12 = _mm_add_epi16(e[1], e[2]);
    __m128i dif03 = _mm_sub_epi16(e[0], e[3]), dif12 = _mm_sub_epi16(e[1], e[2]);
    const __m128i evenPairs[2][2] = {
        {_mm_unpacklo_epi16(sum03, sum12), _mm_unpackhi_epi16(sum03, sum12)},  // u = 0, 4
        {_mm_unpacklo_epi16(dif03, dif12), _mm_unpackhi_epi16(dif03, dif12)},  // u = 2, 6
    };
    const __m128i oddPairs[4] = {_mm_unpacklo_epi16(o[0], o[1]), _mm_unpackhi_epi16(o[0], o[1]),
                                 _mm_unpacklo_epi16(o[2], o[3]), _mm_unpackhi_epi16(o[2], o[3])};
    const __m128i round = _mm_set1_epi32(1 << (Shift - 1));
    auto store = [&](int u, __m128i lo, __m128i hi) {
        lo = _mm_srai_epi32(_mm_add_epi32(lo, round), Shift);
        hi = _mm_srai_epi32(_mm_add_epi32(hi, round), Shift);
        r[u] = _mm_packs_epi32(lo, hi);
    };
    for (int u = 0; u < 8; u += 2) {
        const __m128i* p = evenPairs[(u / 2) & 1];
        __m128i k01 = CosPair(u, 0);
        store(u, _mm_madd_epi16(p[0], k01), _mm_madd_epi16(p[1], k01));
    }
    for (int u = 1; u < 8; u += 2) {
        __m128i k01 = CosPair(u, 0), k23 = CosPair(u, 2);
        store(u, _mm_add_epi32(_mm_madd_epi16(oddPairs[0], k01), _mm_madd_epi16(oddPairs[2], k23)),
              _mm_add_epi32(_mm_madd_epi16(oddPairs[1], k01), _mm_madd_epi16(oddPairs[3], k23)));
    }
}

inline void LoadRows(const int16_t* block, __m128i r[8])
{
    for (int i = 0; i < 8; ++i) {
        r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 8 * i));
    }
}

inline void ForwardDctRows(__m128i r[8])
{
    Dct8LanesSse2<10>(r);
    Transpose8x8(r);
    Dct8LanesSse2<16>(r);
    Transpose8x8(r);
}

// Level shift, then (min(|c|, 2047) + q/2) / q (or |c| / q when truncating)
// with the sign restored; stores the rows and returns the count as
// QuantizeBlock does. The division is exact (see JpegQuantTable): n stays
// below 2047 + 127.
inline int QuantizeRows(__m128i r[8], const JpegQuantTable& table, bool truncate, int16_t* block)
{
    const __m128i limit = _mm_set1_epi16(2047);
    const __m128i* half = reinterpret_cast<const __m128i*>(table.half);
    const __m128i* multiplier = reinterpret_cast<const __m128i*>(table.multiplier);
    const __m128i* shiftFactor = reinterpret_cast<const __m128i*>(table.shiftFactor);
    r[0] = _mm_sub_epi16(r[0], _mm_cvtsi32_si128(1024));
    __m128i zeros = _mm_setzero_si128();
    int dc = 0;
    for (int i = 0; i < 8; ++i) {
        __m128i c = r[i];
        __m128i sign = _mm_srai_epi16(c, 15);
        __m128i n = _mm_min_epi16(_mm_max_epi16(c, _mm_sub_epi16(_mm_setzero_si128(), c)), limit);
        if (!truncate) {
            n = _mm_add_epi16(n, _mm_loadu_si128(half + i));
        }
        __m128i t = _mm_mulhi_epu16(n, _mm_loadu_si128(multiplier + i));
        __m128i q = _mm_mulhi_epu16(_mm_slli_epi16(t, 1), _mm_loadu_si128(shiftFactor + i));
        q = _mm_sub_epi16(_mm_xor_si128(q, sign), sign);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), q);
        zeros = _mm_sub_epi16(zeros, _mm_cmpeq_epi16(q, _mm_setzero_si128()));
        if (i == 0) {
            dc = static_cast<int16_t>(_mm_cvtsi128_si32(q));
        }
    }
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 8));
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 4));
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 2));
    return 64 - (_mm_cvtsi128_si32(zeros) & 0xFFFF) + (dc == 0);
}

void ForwardDct8x8Sse2(int16_t* block)
{
    __m128i r[8];
    LoadRows(block, r);
    ForwardDctRows(r);
    for (int i = 0; i < 8; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * i), r[i]);
    }
}

int QuantizeBlockSse2(int16_t* block, const JpegQuantTable& table, bool truncate)
{
    __m128i r[8];
    LoadRows(block, r);
    return QuantizeRows(r, table, truncate, block);
}

// The transform's rows go to the quantiser in registers.
int ForwardDctQuantize8x8Sse2(int16_t* block, const JpegQuantTable& table)
{
    __m128i r[8];
    LoadRows(block, r);
    ForwardDctRows(r);
    return QuantizeRows(r, table, false, block);
}

}  // namespace

#endif

#if defined(__x86_64__)

// Two blocks at once with AVX2: block a in the low 128 bits of each
// register, block b in the high, and every instruction the in-lane form of
// the SSE2 one above, so each block gets the same integers.
namespace {

LUM_AVX2 inline void Transpose8x8Pair(__m256i r[8])
{
    __m256i a0 = _mm256_unpacklo_epi16(r[0], r[1]), a1 = _mm256_unpackhi_epi16(r[0], r[1]);
    __m256i a2 = _mm256_unpacklo_epi16(r[2], r[3]), a3 = _mm256_unpackhi_epi16(r[2], r[3]);
    __m256i a4 = _mm256_unpacklo_epi16(r[4], r[5]), a5 = _mm256_unpackhi_epi16(r[4], r[5]);
    __m256i a6 = _mm256_unpacklo_epi16(r[6], r[7]), a7 = _mm256_unpackhi_epi16(r[6], r[7]);
    __m256i b0 = _mm256_unpacklo_epi32(a0, a2), b1 = _mm256_unpackhi_epi32(a0, a2);
    __m256i b2 = _mm256_unpacklo_epi32(a1, a3), b3 = _mm256_unpackhi_epi32(a1, a3);
    __m256i b4 = _mm256_unpacklo_epi32(a4, a6), b5 = _mm256_unpackhi_epi32(a4, a6);
    __m256i b6 = _mm256_unpacklo_epi32(a5, a7), b7 = _mm256_unpackhi_epi32(a5, a7);
    r[0] = _mm256_unpacklo_epi64(b0, b4);
    r[1] = _mm256_unpackhi_epi64(b0, b4);
    r[2] = _mm256_unpacklo_epi64(b1, b5);
    r[3] = _mm256_unpackhi_epi64(b1, b5);
    r[4] = _mm256_unpacklo_epi64(b2, b6);
    r[5] = _mm256_unpackhi_epi64(b2, b6);
    r[6] = _mm256_unpacklo_epi64(b3, b7);
    r[7] = _mm256_unpackhi_epi64(b3, b7);
}

LUM_AVX2 inline __m256i CosPairWide(int u, int k)
{
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(kCos[u][k + 1])) << 16) |
                                                  static_cast<uint16_t>(kCos[u][k])));
}

LUM_AVX2 inline __m256i Rounded(__m256i lo, __m256i hi, __m256i round, int shift)
{
    return _mm256_packs_epi32(_mm256_sra_epi32(_mm256_add_epi32(lo, round), _mm_cvtsi32_si128(shift)),
                              _mm256_sra_epi32(_mm256_add_epi32(hi, round), _mm_cvtsi32_si128(shift)));
}

LUM_AVX2 inline void Dct8LanesPair(__m256i r[8], int shift)
{
    __m256i e[4], o[4];
    for (int k = 0; k < 4; ++k) {
        e[k] = _mm256_add_epi16(r[k], r[7 - k]);
        o[k] = _mm256_sub_epi16(r[k], r[7 - k]);
    }
    const __m256i sum03 = _mm256_add_epi16(e[0], e[3]), sum12 = _mm256_add_epi16(e[1], e[2]);
    const __m256i dif03 = _mm256_sub_epi16(e[0], e[3]), dif12 = _mm256_sub_epi16(e[1], e[2]);
    const __m256i evenPairs[2][2] = {
        {_mm256_unpacklo_epi16(sum03, sum12), _mm256_unpackhi_epi16(sum03, sum12)},
        {_mm256_unpacklo_epi16(dif03, dif12), _mm256_unpackhi_epi16(dif03, dif12)},
    };
    const __m256i oddPairs[4] = {_mm256_unpacklo_epi16(o[0], o[1]), _mm256_unpackhi_epi16(o[0], o[1]),
                                 _mm256_unpacklo_epi16(o[2], o[3]), _mm256_unpackhi_epi16(o[2], o[3])};
    const __m256i round = _mm256_set1_epi32(1 << (shift - 1));
    for (int u = 0; u < 8; u += 2) {
        const __m256i* p = evenPairs[(u / 2) & 1];
        const __m256i k01 = CosPairWide(u, 0);
        r[u] = Rounded(_mm256_madd_epi16(p[0], k01), _mm256_madd_epi16(p[1], k01), round, shift);
    }
    for (int u = 1; u < 8; u += 2) {
        const __m256i k01 = CosPairWide(u, 0), k23 = CosPairWide(u, 2);
        r[u] = Rounded(_mm256_add_epi32(_mm256_madd_epi16(oddPairs[0], k01), _mm256_madd_epi16(oddPairs[2], k23)),
                       _mm256_add_epi32(_mm256_madd_epi16(oddPairs[1], k01), _mm256_madd_epi16(oddPairs[3], k23)),
                       round, shift);
    }
}

// A table row for both blocks.
LUM_AVX2 inline __m256i TableRow(const uint16_t* row)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)));
}

}  // namespace

LUM_AVX2 void ForwardDctQuantize8x8Pair(int16_t* a, int16_t* b, const JpegQuantTable& table, int* countA,
                                         int* countB)
{
    __m256i r[8];
    for (int i = 0; i < 8; ++i) {
        r[i] = _mm256_set_m128i(_mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 8 * i)),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 8 * i)));
    }
    Dct8LanesPair(r, 10);
    Transpose8x8Pair(r);
    Dct8LanesPair(r, 16);
    Transpose8x8Pair(r);
    // Level shift, then the rounded exact division of QuantizeRows.
    const __m256i limit = _mm256_set1_epi16(2047), zero = _mm256_setzero_si256();
    r[0] = _mm256_sub_epi16(r[0], _mm256_setr_epi16(1024, 0, 0, 0, 0, 0, 0, 0, 1024, 0, 0, 0, 0, 0, 0, 0));
    __m256i zeros = zero;
    for (int i = 0; i < 8; ++i) {
        const __m256i c = r[i];
        const __m256i sign = _mm256_srai_epi16(c, 15);
        __m256i n = _mm256_min_epi16(_mm256_max_epi16(c, _mm256_sub_epi16(zero, c)), limit);
        n = _mm256_add_epi16(n, TableRow(table.half + 8 * i));
        const __m256i t = _mm256_mulhi_epu16(n, TableRow(table.multiplier + 8 * i));
        __m256i q = _mm256_mulhi_epu16(_mm256_slli_epi16(t, 1), TableRow(table.shiftFactor + 8 * i));
        q = _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign);
        r[i] = q;
        zeros = _mm256_sub_epi16(zeros, _mm256_cmpeq_epi16(q, zero));
    }
    for (int i = 0; i < 8; ++i) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(a + 8 * i), _mm256_castsi256_si128(r[i]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(b + 8 * i), _mm256_extracti128_si256(r[i], 1));
    }
    zeros = _mm256_add_epi16(zeros, _mm256_srli_si256(zeros, 8));
    zeros = _mm256_add_epi16(zeros, _mm256_srli_si256(zeros, 4));
    zeros = _mm256_add_epi16(zeros, _mm256_srli_si256(zeros, 2));
    const int zerosA = _mm256_extract_epi16(zeros, 0), zerosB = _mm256_extract_epi16(zeros, 8);
    *countA = 64 - zerosA + (a[0] == 0);
    *countB = 64 - zerosB + (b[0] == 0);
}

#else

void ForwardDctQuantize8x8Pair(int16_t* a, int16_t* b, const JpegQuantTable& table, int* countA, int* countB)
{
    *countA = ForwardDctQuantize8x8(a, table);
    *countB = ForwardDctQuantize8x8(b, table);
}

#endif

namespace {
#if defined(__SSE2__)
const bool kSse2 = imaging::KernelsAtLeast(imaging::KernelSet::kSse2);
#else
constexpr bool kSse2 = false;
#endif
}  // namespace

void ForwardDct8x8(int16_t* block)
{
#if defined(__SSE2__)
    if (kSse2) {
        ForwardDct8x8Sse2(block);
        return;
    }
#endif
    ForwardDct8x8Scalar(block);
}

int QuantizeBlock(int16_t* block, const JpegQuantTable& table, bool truncate)
{
#if defined(__SSE2__)
    if (kSse2) {
        return QuantizeBlockSse2(block, table, truncate);
    }
#endif
    return QuantizeBlockScalar(block, table, truncate);
}

int ForwardDctQuantize8x8(int16_t* block, const JpegQuantTable& table)
{
#if defined(__SSE2__)
    if (kSse2) {
        return ForwardDctQuantize8x8Sse2(block, table);
    }
#endif
    ForwardDct8x8Scalar(block);
    return QuantizeBlockScalar(block, table, false);
}

void BlockActivity(const int16_t* block, int32_t* a, int32_t* b)
{
    int32_t variation = 0;
    int32_t sum = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int32_t s = block[y * 8 + x];
            sum += s;
            if (x < 7) {
                variation += std::abs(block[y * 8 + x + 1] - s);
            }
            if (y < 7) {
                variation += std::abs(block[(y + 1) * 8 + x] - s);
            }
        }
    }
    int32_t mean = (sum + 32) >> 6;
    int32_t deviation = 0;
    for (int i = 0; i < 64; ++i) {
        deviation += std::abs(block[i] - mean);
    }
    *a = variation / 8;
    *b = deviation / 8;
}

int ActivityClass(int32_t a, int32_t b)
{
    if (a <= 120) {
        return 0;
    }
    if (a <= 200) {
        if (b <= 200 || b == 400) {
            return 0;
        }
        return b < 400 ? 1 : 2;
    }
    if (b <= 100) {
        return 0;
    }
    return b <= 200 ? 1 : 2;
}
