// RGB MCU formers with 256-bit lanes: one row of 16 pixels per register, the
// integer formulas of the scalar former (JpegBlockFormers.cpp), so the blocks
// are the same. Built for AVX2 function by function; called only when the
// processor has it.
#include "CpuFeatures.h"
#include "jpeg/JpegEncoderKernels.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace {

LUM_AVX2 inline __m256i Pair(int lo, int hi)
{
    return _mm256_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16) |
                                                  static_cast<uint16_t>(lo)));
}

inline int16_t* LumaAt(int16_t* out, int x, int y)
{
    return out + ((y >> 3) * 2 + (x >> 3)) * 64 + (y & 7) * 8 + (x & 7);
}

LUM_AVX2 inline __m256i Row(const int16_t* p, int y)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(p + 16 * y));
}

// Sums of 2 x 2 pixels of rows 2j and 2j + 1: pmaddwd by 1 adds horizontal
// pairs (eight, in order), then the two rows; at most 1020, so the products
// below fit 32 bits.
LUM_AVX2 inline __m256i PairSums(const int16_t* p, int j)
{
    const __m256i ones = _mm256_set1_epi16(1);
    return _mm256_add_epi32(_mm256_madd_epi16(Row(p, 2 * j), ones), _mm256_madd_epi16(Row(p, 2 * j + 1), ones));
}

// Eight 32-bit values as eight 16-bit samples.
LUM_AVX2 inline void StoreSamples(int16_t* at, __m256i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at),
                     _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
}

// 16 x 16 pixels as three planes of 16-bit samples (16 per row) to four Y
// blocks and the Cb and Cr of each 2 x 2 group.
LUM_AVX2 void ConvertRgb420Avx2(const int16_t* r, const int16_t* g, const int16_t* b, int16_t* out)
{
    // pmaddwd takes signed 16-bit factors: 38470 G is split as 19235 G twice.
    const __m256i yRg = Pair(19595, 19235), yGb = Pair(19235, 7471);
    for (int y = 0; y < 16; ++y) {
        const __m256i vr = Row(r, y), vg = Row(g, y), vb = Row(b, y);
        // In-lane unpacks and packs: pixels 0-7 end in the low half, 8-15 in the high.
        const __m256i lo = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpacklo_epi16(vr, vg), yRg),
                                            _mm256_madd_epi16(_mm256_unpacklo_epi16(vg, vb), yGb));
        const __m256i hi = _mm256_add_epi32(_mm256_madd_epi16(_mm256_unpackhi_epi16(vr, vg), yRg),
                                            _mm256_madd_epi16(_mm256_unpackhi_epi16(vg, vb), yGb));
        const __m256i luma = _mm256_packs_epi32(_mm256_srai_epi32(lo, 16), _mm256_srai_epi32(hi, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(LumaAt(out, 0, y)), _mm256_castsi256_si128(luma));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(LumaAt(out, 8, y)), _mm256_extracti128_si256(luma, 1));
    }
    const __m256i offset = _mm256_set1_epi32(128);
    for (int j = 0; j < 8; ++j) {
        const __m256i sr = PairSums(r, j), sg = PairSums(g, j), sb = PairSums(b, j);
        const __m256i cb = _mm256_add_epi32(_mm256_mullo_epi32(sr, _mm256_set1_epi32(-11059)),
                                            _mm256_add_epi32(_mm256_mullo_epi32(sg, _mm256_set1_epi32(-21709)),
                                                             _mm256_slli_epi32(sb, 15)));
        const __m256i cr = _mm256_add_epi32(_mm256_slli_epi32(sr, 15),
                                            _mm256_add_epi32(_mm256_mullo_epi32(sg, _mm256_set1_epi32(-27439)),
                                                             _mm256_mullo_epi32(sb, _mm256_set1_epi32(-5329))));
        StoreSamples(out + 256 + 8 * j, _mm256_add_epi32(_mm256_srai_epi32(cb, 18), offset));
        StoreSamples(out + 320 + 8 * j, _mm256_add_epi32(_mm256_srai_epi32(cr, 18), offset));
    }
}

// pshufb masks that gather channel c of 16 packed RGB pixels from the k-th
// 16 bytes (0x80: a zero byte, filled from another part).
struct RgbGather {
    alignas(16) int8_t mask[3][3][16];
    constexpr RgbGather() : mask()
    {
        for (int c = 0; c < 3; ++c) {
            for (int k = 0; k < 3; ++k) {
                for (int i = 0; i < 16; ++i) {
                    const int at = 3 * i + c - 16 * k;
                    mask[c][k][i] = static_cast<int8_t>(at >= 0 && at < 16 ? at : -128);
                }
            }
        }
    }
};

constexpr RgbGather kGather;

LUM_AVX2 inline __m128i Gather(__m128i v, int ch, int k)
{
    return _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(kGather.mask[ch][k])));
}

LUM_AVX2 inline __m128i Channel(__m128i a, __m128i b, __m128i c, int ch)
{
    return _mm_or_si128(_mm_or_si128(Gather(a, ch, 0), Gather(b, ch, 1)), Gather(c, ch, 2));
}

LUM_AVX2 inline void Widen16(__m128i bytes, int16_t* to)
{
    _mm256_store_si256(reinterpret_cast<__m256i*>(to), _mm256_cvtepu8_epi16(bytes));
}

}  // namespace

LUM_AVX2 void FormMcuRgbAvx2(const McuSource& s, int16_t* out)
{
    alignas(32) int16_t r[256];
    alignas(32) int16_t g[256];
    alignas(32) int16_t b[256];
    for (int y = 0; y < 16; ++y) {
        const uint8_t* p = s.plane[0] + y * s.stride[0];
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        Widen16(Channel(v0, v1, v2, 0), r + 16 * y);
        Widen16(Channel(v0, v1, v2, 1), g + 16 * y);
        Widen16(Channel(v0, v1, v2, 2), b + 16 * y);
    }
    ConvertRgb420Avx2(r, g, b, out);
}

LUM_AVX2 void FormMcuRgbPlanarAvx2(const McuSource& s, int16_t* out)
{
    alignas(32) int16_t rgb[3][256];
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < 16; ++y) {
            Widen16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s.plane[c] + y * s.stride[c])), rgb[c] + 16 * y);
        }
    }
    ConvertRgb420Avx2(rgb[0], rgb[1], rgb[2], out);
}

#endif
