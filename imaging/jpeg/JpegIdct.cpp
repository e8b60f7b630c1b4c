#include "jpeg/JpegIdct.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "CpuFeatures.h"
#include "jpeg/JpegTables.h"

namespace jpeg {

namespace {

constexpr uint16_t kScaleNatural[64] = {
    32768, 45450, 42813, 38531, 32768, 38531, 42813, 45450,
    45450, 63041, 59383, 53443, 45450, 53443, 59383, 63041,
    42813, 59383, 55938, 50343, 42813, 50343, 55938, 59383,
    38531, 53443, 50343, 45307, 38531, 45307, 50343, 53443,
    32768, 45450, 42813, 38531, 32768, 38531, 42813, 45450,
    38531, 53443, 50343, 45307, 38531, 45307, 50343, 53443,
    42813, 59383, 55938, 50343, 42813, 50343, 55938, 59383,
    45450, 63041, 59383, 53443, 45450, 53443, 59383, 63041,
};

// Tangent constants of the fast transform.
constexpr int32_t kTan1 = 13036;  // tan(pi/16) / 65536
constexpr int32_t kTan2 = 27145;  // tan(pi/8) / 65536
constexpr int32_t kTan3 = 21894;  // tan(3 pi/16) / 32768
constexpr int32_t kCos4 = 23170;  // cos(pi/4) / 32768

inline int32_t Mul16(int32_t x, int32_t c) { return static_cast<int32_t>((int64_t{x} * c + 32768) >> 16); }
inline int32_t Mul15(int32_t x, int32_t c) { return static_cast<int32_t>((int64_t{x} * c + 16384) >> 15); }

inline uint8_t Clamp(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

// One 8-point pass over in[0], in[step], ... writing out likewise. The
// output is 2 sqrt(2) times the 1-D inverse DCT of the unscaled input.
inline void Idct8(const int32_t* in, int inStep, int32_t* out, int outStep) {
    const int32_t y0 = in[0], y1 = in[inStep], y2 = in[2 * inStep], y3 = in[3 * inStep];
    const int32_t y4 = in[4 * inStep], y5 = in[5 * inStep], y6 = in[6 * inStep], y7 = in[7 * inStep];
    const int32_t a0 = y0 + y4, a1 = y0 - y4;
    const int32_t e0 = y2 + Mul16(y6, kTan2), e1 = Mul16(y2, kTan2) - y6;
    const int32_t x0 = a0 + e0, x3 = a0 - e0, x1 = a1 + e1, x2 = a1 - e1;
    const int32_t p = y1 + Mul16(y7, kTan1), q = Mul16(y1, kTan1) - y7;
    const int32_t r = y3 + Mul15(y5, kTan3), s = Mul15(y3, kTan3) - y5;
    const int32_t b0 = p + r, b3 = q - s;
    const int32_t u = p - r, v = q + s;
    const int32_t b1 = Mul15(u + v, kCos4), b2 = Mul15(u - v, kCos4);
    out[0] = x0 + b0;
    out[7 * outStep] = x0 - b0;
    out[outStep] = x1 + b1;
    out[6 * outStep] = x1 - b1;
    out[2 * outStep] = x2 + b2;
    out[5 * outStep] = x2 - b2;
    out[3 * outStep] = x3 + b3;
    out[4 * outStep] = x3 - b3;
}

// Matrices of the reduced transforms: output m of N is the mean of the 8 / N
// full-size samples it covers, taken from all 8 coefficients (the higher ones
// fold onto the lower), with the prescale taken out and 1/sqrt(8) per
// direction for the block's factor 8. So a reduced block is the box-filtered
// full-size block; N = 8 is the plain inverse transform.
struct ReducedMatrices {
    float m[4][8][8];  // [log2 N][output][coefficient]
#if defined(__SSE2__)
    // For the vector form (N up to 4, outputs in lanes, unused lanes 0):
    // byCoefficient[log2 N][u] holds m[.][0..3][u].
    __m128 byCoefficient[3][8];
    // The 2 x 2 form, two rows or two output rows per vector:
    // rowPairs[u] = (m[1][0][u], m[1][1][u]) twice, columnPairs[v] =
    // (m[1][0][v], m[1][0][v], m[1][1][v], m[1][1][v]).
    __m128 rowPairs[8];
    __m128 columnPairs[8];
#endif
#if defined(__x86_64__)
    // The 4 x 4 form with AVX2, two rows or two output rows per vector:
    // quadRows[u] = m[2][0..3][u] twice; quadTop[v] = m[2][0][v] four times,
    // then m[2][1][v] four times; quadBottom[v] the same for outputs 2 and 3.
    alignas(32) float quadRows[8][8];
    alignas(32) float quadTop[8][8];
    alignas(32) float quadBottom[8][8];
#endif
    ReducedMatrices() {
        const double pi = 3.14159265358979323846;
        for (int level = 0; level < 4; ++level) {
            const int n = 1 << level;
            const int s = 8 / n;
            for (int out = 0; out < n; ++out) {
                for (int u = 0; u < 8; ++u) {
                    const double k = u == 0 ? 1 / std::sqrt(2.0) : 1.0;
                    const double prescale = u == 0 ? 1.0 : std::sqrt(2.0) * std::cos((u < 4 ? u : 8 - u) * pi / 16);
                    double sum = 0;
                    for (int i = out * s; i < out * s + s; ++i) {
                        sum += 0.5 * k * std::cos((2 * i + 1) * u * pi / 16);
                    }
                    m[level][out][u] = static_cast<float>(sum / s / prescale / std::sqrt(8.0));
                }
            }
        }
#if defined(__SSE2__)
        for (int level = 0; level < 3; ++level) {
            const int n = 1 << level;
            for (int u = 0; u < 8; ++u) {
                float lanes[4] = {};
                for (int out = 0; out < n; ++out) {
                    lanes[out] = m[level][out][u];
                }
                byCoefficient[level][u] = _mm_loadu_ps(lanes);
            }
        }
        for (int u = 0; u < 8; ++u) {
            rowPairs[u] = _mm_setr_ps(m[1][0][u], m[1][1][u], m[1][0][u], m[1][1][u]);
            columnPairs[u] = _mm_setr_ps(m[1][0][u], m[1][0][u], m[1][1][u], m[1][1][u]);
        }
#endif
#if defined(__x86_64__)
        for (int u = 0; u < 8; ++u) {
            for (int lane = 0; lane < 8; ++lane) {
                quadRows[u][lane] = m[2][lane % 4][u];
                quadTop[u][lane] = m[2][lane / 4][u];
                quadBottom[u][lane] = m[2][2 + lane / 4][u];
            }
        }
#endif
    }
};

const ReducedMatrices kReduced;


// lround without the library call: truncate, then step away from zero when
// the (exactly computed) fraction is a half or more. |x| stays far below 2^31.
inline int32_t RoundHalfAway(float x) {
    const int32_t i = static_cast<int32_t>(x);
    const float fraction = x - static_cast<float>(i);
    return i + (fraction >= 0.5f) - (fraction <= -0.5f);
}

// NX x NY samples from the block (NX, NY in 1, 2, 4, 8). Fixed sizes let the
// compiler unroll; the sums run in the same order for every size.
template <int NX, int NY>
void IdctReduced(const int16_t* block, uint8_t* out, uint32_t stride, int /*lastIndex*/) {
    const float (*mx)[8] = kReduced.m[NX == 8 ? 3 : NX / 2];
    const float (*my)[8] = kReduced.m[NY == 8 ? 3 : NY / 2];
    float rows[8][NX];  // rows[v][x]: horizontal pass over coefficient row v
    for (int v = 0; v < 8; ++v) {
        const int16_t* r = block + v * 8;
        if ((r[0] | r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7]) == 0) {
            for (int x = 0; x < NX; ++x) {
                rows[v][x] = 0;
            }
            continue;
        }
        for (int x = 0; x < NX; ++x) {
            float sum = 0;
            for (int u = 0; u < 8; ++u) {
                sum += mx[x][u] * static_cast<float>(r[u]);
            }
            rows[v][x] = sum;
        }
    }
    for (int y = 0; y < NY; ++y) {
        for (int x = 0; x < NX; ++x) {
            float sum = 0;
            for (int v = 0; v < 8; ++v) {
                sum += my[y][v] * rows[v][x];
            }
            out[y * stride + x] = Clamp(RoundHalfAway(sum) + 128);
        }
    }
}

#if defined(__SSE2__)

// Coefficients 0-3 and 4-7 of a row as floats.
inline __m128 LowCoefficients(__m128i row) { return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(row, row), 16)); }
inline __m128 HighCoefficients(__m128i row) { return _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(row, row), 16)); }

// RoundHalfAway lane by lane, + 128, clamped by the saturating packs: four
// samples in the low 32 bits.
inline uint32_t SamplesOf(__m128 sum) {
    const __m128i truncated = _mm_cvttps_epi32(sum);
    const __m128 fraction = _mm_sub_ps(sum, _mm_cvtepi32_ps(truncated));
    __m128i rounded = _mm_sub_epi32(truncated, _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f))));
    rounded = _mm_add_epi32(rounded, _mm_castps_si128(_mm_cmple_ps(fraction, _mm_set1_ps(-0.5f))));
    rounded = _mm_add_epi32(rounded, _mm_set1_epi32(128));
    const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(rounded, rounded), _mm_setzero_si128());
    return static_cast<uint32_t>(_mm_cvtsi128_si32(packed));
}

// The same sums with the NX outputs of a row in the lanes of one vector
// (NX up to 4): each lane adds the same products in the same order as the
// scalar loops, so the results are the same to the bit.
//
// Only the rows and columns that may hold a coefficient are summed: the
// products left out are zeros, and adding zeros changes no rounded sample.
template <int NX, int NY>
void IdctReducedSse2(const int16_t* block, uint8_t* out, uint32_t stride, int lastIndex) {
    const __m128* mx = kReduced.byCoefficient[NX / 2];
    const float (*my)[8] = kReduced.m[NY == 8 ? 3 : NY / 2];
    const int rowCount = kBlockExtents.rows[lastIndex];
    const bool wide = kBlockExtents.columns[lastIndex] > 4;
    __m128 rows[8];
    int used = 0;  // rows up to the last with a coefficient
    for (int v = 0; v < rowCount; ++v) {
        const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + v * 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(r, _mm_setzero_si128())) == 0xFFFF) {
            rows[v] = _mm_setzero_ps();
            continue;
        }
        used = v + 1;
        // Coefficients to floats, then each one across the lanes.
        const __m128 lo = LowCoefficients(r);
        const __m128 hi = HighCoefficients(r);
        // The sum starts at its first product: 0 + x is x, up to the sign of
        // a zero, which no rounded sample shows.
        __m128 sum = _mm_mul_ps(mx[0], _mm_shuffle_ps(lo, lo, 0x00));
        sum = _mm_add_ps(sum, _mm_mul_ps(mx[1], _mm_shuffle_ps(lo, lo, 0x55)));
        sum = _mm_add_ps(sum, _mm_mul_ps(mx[2], _mm_shuffle_ps(lo, lo, 0xAA)));
        sum = _mm_add_ps(sum, _mm_mul_ps(mx[3], _mm_shuffle_ps(lo, lo, 0xFF)));
        if (wide) {
            sum = _mm_add_ps(sum, _mm_mul_ps(mx[4], _mm_shuffle_ps(hi, hi, 0x00)));
            sum = _mm_add_ps(sum, _mm_mul_ps(mx[5], _mm_shuffle_ps(hi, hi, 0x55)));
            sum = _mm_add_ps(sum, _mm_mul_ps(mx[6], _mm_shuffle_ps(hi, hi, 0xAA)));
            sum = _mm_add_ps(sum, _mm_mul_ps(mx[7], _mm_shuffle_ps(hi, hi, 0xFF)));
        }
        rows[v] = sum;
    }
    // Rows past the last with a coefficient are zero: their products would
    // only add zeros to the sums, which changes no rounded sample.
    for (int y = 0; y < NY; ++y) {
        __m128 sum = _mm_setzero_ps();
        for (int v = 0; v < used; ++v) {
            const __m128 product = _mm_mul_ps(_mm_set1_ps(my[y][v]), rows[v]);
            sum = v == 0 ? product : _mm_add_ps(sum, product);
        }
        const uint32_t samples = SamplesOf(sum);
        std::memcpy(out + y * stride, &samples, NX);
    }
}

// 2 x 2 (the chroma of 4:2:0 at 1/8, the luma at 1/4) with all four lanes
// busy: the row pass takes two coefficient rows per vector, lanes (row v,
// output x), and the column pass gives the four samples in one vector,
// lanes (output y, output x). Each lane still adds the scalar products in
// the scalar order.
template <>
void IdctReducedSse2<2, 2>(const int16_t* block, uint8_t* out, uint32_t stride, int lastIndex) {
    const int pairCount = (kBlockExtents.rows[lastIndex] + 1) / 2;
    const bool wide = kBlockExtents.columns[lastIndex] > 4;
    __m128 rowPairs[4];  // lanes: rows[2j][0], rows[2j][1], rows[2j+1][0], rows[2j+1][1]
    int used = 0;        // row pairs up to the last with a coefficient
    for (int j = 0; j < pairCount; ++j) {
        const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * j));
        const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * j + 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_or_si128(r0, r1), _mm_setzero_si128())) == 0xFFFF) {
            rowPairs[j] = _mm_setzero_ps();
            continue;
        }
        used = j + 1;
        const __m128 lo0 = LowCoefficients(r0);
        const __m128 hi0 = HighCoefficients(r0);
        const __m128 lo1 = LowCoefficients(r1);
        const __m128 hi1 = HighCoefficients(r1);
        const __m128* m = kReduced.rowPairs;
        __m128 sum = _mm_mul_ps(m[0], _mm_shuffle_ps(lo0, lo1, 0x00));
        sum = _mm_add_ps(sum, _mm_mul_ps(m[1], _mm_shuffle_ps(lo0, lo1, 0x55)));
        sum = _mm_add_ps(sum, _mm_mul_ps(m[2], _mm_shuffle_ps(lo0, lo1, 0xAA)));
        sum = _mm_add_ps(sum, _mm_mul_ps(m[3], _mm_shuffle_ps(lo0, lo1, 0xFF)));
        if (wide) {
            sum = _mm_add_ps(sum, _mm_mul_ps(m[4], _mm_shuffle_ps(hi0, hi1, 0x00)));
            sum = _mm_add_ps(sum, _mm_mul_ps(m[5], _mm_shuffle_ps(hi0, hi1, 0x55)));
            sum = _mm_add_ps(sum, _mm_mul_ps(m[6], _mm_shuffle_ps(hi0, hi1, 0xAA)));
            sum = _mm_add_ps(sum, _mm_mul_ps(m[7], _mm_shuffle_ps(hi0, hi1, 0xFF)));
        }
        rowPairs[j] = sum;
    }
    const __m128* m = kReduced.columnPairs;
    __m128 sum = _mm_setzero_ps();
    for (int j = 0; j < used; ++j) {  // zero pairs would add only zeros
        // (rows[v][0], rows[v][1]) twice, for v = 2j and v = 2j + 1
        const __m128 even = _mm_mul_ps(m[2 * j], _mm_shuffle_ps(rowPairs[j], rowPairs[j], 0x44));
        sum = j == 0 ? even : _mm_add_ps(sum, even);
        sum = _mm_add_ps(sum, _mm_mul_ps(m[2 * j + 1], _mm_shuffle_ps(rowPairs[j], rowPairs[j], 0xEE)));
    }
    const uint32_t samples = SamplesOf(sum);
    std::memcpy(out, &samples, 2);
    const uint16_t second = static_cast<uint16_t>(samples >> 16);
    std::memcpy(out + stride, &second, 2);
}

#endif

#if defined(__x86_64__)

// RoundHalfAway + 128 lane by lane, as SamplesOf.
LUM_AVX2 inline __m256i RoundedSamples(__m256 sum) {
    const __m256i truncated = _mm256_cvttps_epi32(sum);
    const __m256 fraction = _mm256_sub_ps(sum, _mm256_cvtepi32_ps(truncated));
    __m256i rounded = _mm256_sub_epi32(
        truncated, _mm256_castps_si256(_mm256_cmp_ps(fraction, _mm256_set1_ps(0.5f), _CMP_GE_OQ)));
    rounded = _mm256_add_epi32(
        rounded, _mm256_castps_si256(_mm256_cmp_ps(fraction, _mm256_set1_ps(-0.5f), _CMP_LE_OQ)));
    return _mm256_add_epi32(rounded, _mm256_set1_epi32(128));
}

LUM_AVX2 inline __m256 QuadRow(int u) { return _mm256_load_ps(kReduced.quadRows[u]); }

// 4 x 4 (the luma at 1/2, 4:2:0 chroma at 1/4) with AVX2: the row pass
// takes two coefficient rows per vector, lanes (row v, output x), and the
// column pass gives two output rows per vector. Each lane adds the scalar
// products in the scalar order, so the samples are IdctReduced's.
LUM_AVX2 void IdctReduced4x4Avx2(const int16_t* block, uint8_t* out, uint32_t stride, int lastIndex) {
    const int pairCount = (kBlockExtents.rows[lastIndex] + 1) / 2;
    const bool wide = kBlockExtents.columns[lastIndex] > 4;
    __m256 rowPairs[4];  // lanes: rows[2j][0..3], rows[2j+1][0..3]
    int used = 0;        // row pairs up to the last with a coefficient
    for (int j = 0; j < pairCount; ++j) {
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 16 * j));
        if (_mm256_testz_si256(r, r)) {
            rowPairs[j] = _mm256_setzero_ps();
            continue;
        }
        used = j + 1;
        const __m256 lo = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_unpacklo_epi16(r, r), 16));
        const __m256 hi = _mm256_cvtepi32_ps(_mm256_srai_epi32(_mm256_unpackhi_epi16(r, r), 16));
        __m256 sum = _mm256_mul_ps(QuadRow(0), _mm256_shuffle_ps(lo, lo, 0x00));
        sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(1), _mm256_shuffle_ps(lo, lo, 0x55)));
        sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(2), _mm256_shuffle_ps(lo, lo, 0xAA)));
        sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(3), _mm256_shuffle_ps(lo, lo, 0xFF)));
        if (wide) {
            sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(4), _mm256_shuffle_ps(hi, hi, 0x00)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(5), _mm256_shuffle_ps(hi, hi, 0x55)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(6), _mm256_shuffle_ps(hi, hi, 0xAA)));
            sum = _mm256_add_ps(sum, _mm256_mul_ps(QuadRow(7), _mm256_shuffle_ps(hi, hi, 0xFF)));
        }
        rowPairs[j] = sum;
    }
    __m256 top = _mm256_setzero_ps();     // output rows 0 and 1
    __m256 bottom = _mm256_setzero_ps();  // output rows 2 and 3
    for (int j = 0; j < used; ++j) {      // zero pairs would add only zeros
        const __m256 even = _mm256_permute2f128_ps(rowPairs[j], rowPairs[j], 0x00);
        const __m256 odd = _mm256_permute2f128_ps(rowPairs[j], rowPairs[j], 0x11);
        const __m256 evenTop = _mm256_mul_ps(_mm256_load_ps(kReduced.quadTop[2 * j]), even);
        const __m256 evenBottom = _mm256_mul_ps(_mm256_load_ps(kReduced.quadBottom[2 * j]), even);
        top = j == 0 ? evenTop : _mm256_add_ps(top, evenTop);
        bottom = j == 0 ? evenBottom : _mm256_add_ps(bottom, evenBottom);
        top = _mm256_add_ps(top, _mm256_mul_ps(_mm256_load_ps(kReduced.quadTop[2 * j + 1]), odd));
        bottom = _mm256_add_ps(bottom, _mm256_mul_ps(_mm256_load_ps(kReduced.quadBottom[2 * j + 1]), odd));
    }
    // Per 128-bit half: rows 0 and 2 in the low half, 1 and 3 in the high.
    const __m256i words = _mm256_packs_epi32(RoundedSamples(top), RoundedSamples(bottom));
    const __m256i bytes = _mm256_packus_epi16(words, words);
    const __m128i low = _mm256_castsi256_si128(bytes);
    const __m128i high = _mm256_extracti128_si256(bytes, 1);
    const uint32_t rows[4] = {static_cast<uint32_t>(_mm_cvtsi128_si32(low)),
                              static_cast<uint32_t>(_mm_cvtsi128_si32(high)),
                              static_cast<uint32_t>(_mm_extract_epi32(low, 1)),
                              static_cast<uint32_t>(_mm_extract_epi32(high, 1))};
    for (int y = 0; y < 4; ++y) {
        std::memcpy(out + y * stride, &rows[y], 4);
    }
}


// Coefficient u of row v of the eight blocks as floats, block b in lane b:
// the rows are loaded and transposed as 16-bit words (only the first
// kColumns coefficients of a row are wanted).
template <int kColumns>
LUM_AVX2 inline void GatherRow(const BlockBatch& batch, int v, __m256 (&c)[kColumns]) {
    __m128i r[8];
    for (int b = 0; b < 8; ++b) {
        const int16_t* row = batch.blocks[b] + 8 * v;
        r[b] = kColumns == 8 ? _mm_load_si128(reinterpret_cast<const __m128i*>(row))
                             : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row));
    }
    __m128i pairs[8];  // words of blocks (2i, 2i + 1) interleaved
    for (int i = 0; i < 4; ++i) {
        pairs[i] = _mm_unpacklo_epi16(r[2 * i], r[2 * i + 1]);
        pairs[i + 4] = _mm_unpackhi_epi16(r[2 * i], r[2 * i + 1]);
    }
    for (int half = 0; half < kColumns / 4; ++half) {
        const __m128i* p = pairs + 4 * half;
        const __m128i q0 = _mm_unpacklo_epi32(p[0], p[1]);  // u 0, 1 of blocks 0-3
        const __m128i q1 = _mm_unpackhi_epi32(p[0], p[1]);  // u 2, 3 of blocks 0-3
        const __m128i q2 = _mm_unpacklo_epi32(p[2], p[3]);  // the same of blocks 4-7
        const __m128i q3 = _mm_unpackhi_epi32(p[2], p[3]);
        const __m128i words[4] = {_mm_unpacklo_epi64(q0, q2), _mm_unpackhi_epi64(q0, q2), _mm_unpacklo_epi64(q1, q3),
                                  _mm_unpackhi_epi64(q1, q3)};
        for (int u = 0; u < 4; ++u) {
            c[4 * half + u] = _mm256_cvtepi32_ps(_mm256_cvtepi16_epi32(words[u]));
        }
    }
}

// N x N of eight blocks at once (N = 2: the luma at 1/4, 4:2:0 chroma at
// 1/8; at N = 4 the one-block AVX2 form was measured as fast). Lane b computes
// IdctReduced<N, N> of block b: the same products, added in the same order.
// Rows and columns past every block's coefficients, and rows that are zero
// in every block, are left out: their products are zeros, and adding zeros
// changes no rounded sample.
template <int N, int kColumns>
LUM_AVX2 void IdctReducedBatch(BlockBatch& batch) {
    const float (*m)[8] = kReduced.m[N / 2];
    __m256 rows[8][N];  // rows[v][x], lane b: the row pass over row v of block b
    bool zero[8];
    for (int v = 0; v < batch.rows; ++v) {
        __m256 c[kColumns];
        GatherRow<kColumns>(batch, v, c);
        __m256 any = c[0];
        for (int u = 1; u < kColumns; ++u) {
            any = _mm256_or_ps(any, c[u]);
        }
        zero[v] = _mm256_testz_si256(_mm256_castps_si256(any), _mm256_castps_si256(any));
        if (zero[v]) {
            continue;
        }
        for (int x = 0; x < N; ++x) {
            __m256 sum = _mm256_mul_ps(_mm256_set1_ps(m[x][0]), c[0]);
            for (int u = 1; u < kColumns; ++u) {
                sum = _mm256_add_ps(sum, _mm256_mul_ps(_mm256_set1_ps(m[x][u]), c[u]));
            }
            rows[v][x] = sum;
        }
    }
    for (int y = 0; y < N; ++y) {
        __m256 sums[N] = {};
        bool started = false;
        for (int v = 0; v < batch.rows; ++v) {
            if (zero[v]) {
                continue;
            }
            const __m256 weight = _mm256_set1_ps(m[y][v]);
            for (int x = 0; x < N; ++x) {
                const __m256 product = _mm256_mul_ps(weight, rows[v][x]);
                sums[x] = started ? _mm256_add_ps(sums[x], product) : product;
            }
            started = true;
        }
        // Each block's output row y as one word, sample x in byte x.
        __m256i word = _mm256_setzero_si256();
        for (int x = 0; x < N; ++x) {
            __m256i s = _mm256_max_epi32(RoundedSamples(sums[x]), _mm256_setzero_si256());
            s = _mm256_min_epi32(s, _mm256_set1_epi32(255));
            word = _mm256_or_si256(word, _mm256_slli_epi32(s, 8 * x));
        }
        alignas(32) uint32_t words[8];
        _mm256_store_si256(reinterpret_cast<__m256i*>(words), word);
        for (int b = 0; b < batch.count; ++b) {
            std::memcpy(batch.out[b] + y * batch.stride[b], &words[b], N);
        }
    }
    batch.Clear();
}

template <int N>
LUM_AVX2 void IdctReducedBatchAvx2(BlockBatch& batch) {
    (batch.columns > 4 ? IdctReducedBatch<N, 8> : IdctReducedBatch<N, 4>)(batch);
}

#endif

using BlockTransform = void (*)(const int16_t*, uint8_t*, uint32_t);
// Reduced transforms also take the zig-zag index of the last coefficient
// that may be non-zero (ReducedTransform).

template <int NX>
constexpr ReducedTransform kReducedColumn[4] = {IdctReduced<NX, 1>, IdctReduced<NX, 2>, IdctReduced<NX, 4>,
                                              IdctReduced<NX, 8>};
// [log2 NX][log2 NY]
constexpr const ReducedTransform* kReducedTransforms[4] = {kReducedColumn<1>, kReducedColumn<2>, kReducedColumn<4>,
                                                          kReducedColumn<8>};
#if defined(__SSE2__)
template <int NX>
constexpr ReducedTransform kReducedColumnSse2[4] = {IdctReducedSse2<NX, 1>, IdctReducedSse2<NX, 2>,
                                                  IdctReducedSse2<NX, 4>, IdctReducedSse2<NX, 8>};
// Rows of 8 outputs keep to the scalar form.
constexpr const ReducedTransform* kReducedTransformsSse2[4] = {kReducedColumnSse2<1>, kReducedColumnSse2<2>,
                                                              kReducedColumnSse2<4>, kReducedColumn<8>};
#else
constexpr const ReducedTransform* kReducedTransformsSse2[4] = {kReducedColumn<1>, kReducedColumn<2>,
                                                              kReducedColumn<4>, kReducedColumn<8>};
#endif

int Log2(int n) { return n == 8 ? 3 : (n == 4 ? 2 : (n == 2 ? 1 : 0)); }

// The vector forms of the process's kernel set, [log2 NX][log2 NY].
struct VectorReduced {
    ReducedTransform at[4][4];
    VectorReduced() {
        for (int x = 0; x < 4; ++x) {
            for (int y = 0; y < 4; ++y) {
                at[x][y] = kReducedTransformsSse2[x][y];
            }
        }
#if defined(__x86_64__)
        if (imaging::KernelsAtLeast(imaging::KernelSet::kAvx2)) {
            at[2][2] = IdctReduced4x4Avx2;
        }
#endif
    }
};

const VectorReduced& VectorTransforms() {
    static const VectorReduced transforms;
    return transforms;
}

}  // namespace

const uint16_t kIdctScale[64] = {
#define Z(k) kScaleNatural[kZigzagToNatural[k]]
    Z(0),  Z(1),  Z(2),  Z(3),  Z(4),  Z(5),  Z(6),  Z(7),  Z(8),  Z(9),  Z(10), Z(11), Z(12),
    Z(13), Z(14), Z(15), Z(16), Z(17), Z(18), Z(19), Z(20), Z(21), Z(22), Z(23), Z(24), Z(25),
    Z(26), Z(27), Z(28), Z(29), Z(30), Z(31), Z(32), Z(33), Z(34), Z(35), Z(36), Z(37), Z(38),
    Z(39), Z(40), Z(41), Z(42), Z(43), Z(44), Z(45), Z(46), Z(47), Z(48), Z(49), Z(50), Z(51),
    Z(52), Z(53), Z(54), Z(55), Z(56), Z(57), Z(58), Z(59), Z(60), Z(61), Z(62), Z(63),
#undef Z
};

void IdctFull(const int16_t* block, uint8_t* out, uint32_t stride) {
    int32_t in[64];
    int32_t tmp[64];
    for (int i = 0; i < 64; ++i) {
        in[i] = block[i];
    }
    for (int row = 0; row < 8; ++row) {
        const int32_t* r = in + row * 8;
        if ((r[1] | r[2] | r[3] | r[4] | r[5] | r[6] | r[7]) == 0) {
            for (int i = 0; i < 8; ++i) {
                tmp[row * 8 + i] = r[0];
            }
            continue;
        }
        Idct8(r, 1, tmp + row * 8, 1);
    }
    int32_t col[8];
    for (int c = 0; c < 8; ++c) {
        Idct8(tmp + c, 8, col, 1);
        for (int y = 0; y < 8; ++y) {
            out[y * stride + c] = Clamp(((col[y] + 32) >> 6) + 128);
        }
    }
}

void IdctReducedBlock(const int16_t* block, int nx, int ny, uint8_t* out, uint32_t stride, bool vector,
                      int lastIndex) {
    if (vector) {
        VectorTransforms().at[Log2(nx)][Log2(ny)](block, out, stride, lastIndex);
    } else {
        kReducedTransforms[Log2(nx)][Log2(ny)](block, out, stride, lastIndex);
    }
}

namespace {
const bool kSse2 = imaging::KernelsAtLeast(imaging::KernelSet::kSse2);
const BlockTransform kFullTransform = kSse2 ? IdctFullSse2 : IdctFull16;
const BlockTransform kQuarterTransform = kSse2 ? IdctQuarterSse2 : IdctFull16;
const VectorReduced& kVector = VectorTransforms();
}  // namespace

bool IdctPairs() {
    static const bool pairs = imaging::KernelsAtLeast(imaging::KernelSet::kAvx2);
    return pairs;
}

void IdctStore(const int16_t* block, int lastIndex, int scaleX, int scaleY, uint8_t* out, uint32_t stride) {
    const int nx = static_cast<int>(BlockSizeAtScale(scaleX));
    const int ny = static_cast<int>(BlockSizeAtScale(scaleY));
    if (lastIndex == 0 || (scaleX == 8 && scaleY == 8)) {
        const uint8_t v = Clamp(((block[0] + 32) >> 6) + 128);
        if (nx == 8) {
            // Eight equal bytes per row as one store, not a call per row.
            const uint64_t row = v * 0x0101010101010101ull;
            for (int y = 0; y < ny; ++y) {
                std::memcpy(out + y * stride, &row, 8);
            }
            return;
        }
        if (nx == 1) {
            for (int y = 0; y < ny; ++y) {
                out[y * stride] = v;
            }
            return;
        }
        for (int y = 0; y < ny; ++y) {
            std::memset(out + y * stride, v, static_cast<size_t>(nx));
        }
        return;
    }
    if (scaleX == 1 && scaleY == 1) {
        (lastIndex <= kQuarterLastIndex ? kQuarterTransform : kFullTransform)(block, out, stride);
    } else {
        ReducedTransformFor(scaleX, scaleY)(block, out, stride, lastIndex);
    }
}

BatchTransform BatchTransformFor(int scaleX, int scaleY) {
#if defined(__x86_64__)
    static const bool avx2 = imaging::KernelsAtLeast(imaging::KernelSet::kAvx2);
    if (avx2 && scaleX == scaleY && BlockSizeAtScale(scaleX) == 2) {
        return IdctReducedBatchAvx2<2>;
    }
#endif
    (void)scaleX;
    (void)scaleY;
    return nullptr;
}

ReducedTransform ReducedTransformFor(int scaleX, int scaleY) {
    if ((scaleX == 1 && scaleY == 1) || (scaleX == 8 && scaleY == 8)) {
        return nullptr;
    }
    const int x = Log2(static_cast<int>(BlockSizeAtScale(scaleX)));
    const int y = Log2(static_cast<int>(BlockSizeAtScale(scaleY)));
    return (kSse2 ? kVector.at[x] : kReducedTransforms[x])[y];
}

}  // namespace jpeg
