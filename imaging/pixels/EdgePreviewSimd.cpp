#include "pixels/EdgePreviewSimd.h"

#include <cstddef>

#include "pixels/EdgePreview.h"
#include "pixels/Simd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace pixels {
namespace {

// BT.601 studio-range factors in 1/64: 75/64 = 1.164 (luma), 102/64 = 1.596
// (Cr to R), 25/64 = 0.391 (Cb to G), 52/64 = 0.813 (Cr to G), 129/64 = 2.018
// (Cb to B).
constexpr int kLuma = 75;
constexpr int kCrToR = 102;
constexpr int kCbToG = 25;
constexpr int kCrToG = 52;
constexpr int kCbToB = 129;
// 3/8 of a step, not a half: 75/64 runs a little above 255/219, and a half
// step would carry that into a whole step near white.
constexpr int kRound5 = 192;  // of 512
constexpr int kRound6 = 96;   // of 256

inline int Clamp(int v, int hi) { return v < 0 ? 0 : (v > hi ? hi : v); }

}  // namespace

void ConvertRow565Scalar(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int rowParity,
                         uint8_t* dst) {
    const int* offset = kDitherLumaOffset[rowParity];
    for (int i = 0; i < width; ++i) {
        const int u = cb[i >> 1] - 128;
        const int v = cr[i >> 1] - 128;
        const int luma = kLuma * (y[i] - offset[i & 1]);
        const int r = Clamp((luma + kCrToR * v + kRound5) >> 9, 31);
        const int g = Clamp((luma - kCbToG * u - kCrToG * v + kRound6) >> 8, 63);
        const int b = Clamp((luma + kCbToB * u + kRound5) >> 9, 31);
        const unsigned w = static_cast<unsigned>(r << 11 | g << 5 | b);
        dst[2 * i] = static_cast<uint8_t>(w);
        dst[2 * i + 1] = static_cast<uint8_t>(w >> 8);
    }
}

#if defined(__SSE2__)

namespace {

// Eight pixels at a time in 16-bit lanes. Every sum fits 16 bits except
// luma + Cb-to-blue near white, which saturates where the clamp gives 31 anyway.
int ConvertRow565Sse2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int rowParity,
                      uint8_t* dst) {
    const int* offset = kDitherLumaOffset[rowParity];
    const __m128i zero = _mm_setzero_si128();
    const __m128i dither = _mm_setr_epi16(static_cast<short>(offset[0]), static_cast<short>(offset[1]),
                                          static_cast<short>(offset[0]), static_cast<short>(offset[1]),
                                          static_cast<short>(offset[0]), static_cast<short>(offset[1]),
                                          static_cast<short>(offset[0]), static_cast<short>(offset[1]));
    const __m128i bias = _mm_set1_epi16(128);
    const __m128i luma = _mm_set1_epi16(kLuma);
    const __m128i crToR = _mm_set1_epi16(kCrToR);
    const __m128i cbToG = _mm_set1_epi16(kCbToG);
    const __m128i crToG = _mm_set1_epi16(kCrToG);
    const __m128i cbToB = _mm_set1_epi16(kCbToB);
    const __m128i round5 = _mm_set1_epi16(kRound5);
    const __m128i round6 = _mm_set1_epi16(kRound6);
    const __m128i max5 = _mm_set1_epi16(31);
    const __m128i max6 = _mm_set1_epi16(63);
    int i = 0;
    for (; i + 8 <= width; i += 8) {
        int cb4;
        int cr4;
        __builtin_memcpy(&cb4, cb + i / 2, 4);
        __builtin_memcpy(&cr4, cr + i / 2, 4);
        __m128i c = _mm_cvtsi32_si128(cb4);
        const __m128i u = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(c, c), zero), bias);
        c = _mm_cvtsi32_si128(cr4);
        const __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(_mm_unpacklo_epi8(c, c), zero), bias);
        const __m128i yy = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + i)), zero);
        const __m128i l = _mm_mullo_epi16(_mm_sub_epi16(yy, dither), luma);

        __m128i r = _mm_add_epi16(_mm_add_epi16(l, _mm_mullo_epi16(v, crToR)), round5);
        __m128i g = _mm_sub_epi16(_mm_sub_epi16(l, _mm_mullo_epi16(u, cbToG)), _mm_mullo_epi16(v, crToG));
        g = _mm_add_epi16(g, round6);
        __m128i b = _mm_adds_epi16(_mm_adds_epi16(l, _mm_mullo_epi16(u, cbToB)), round5);
        r = _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(r, 9), zero), max5);
        g = _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(g, 8), zero), max6);
        b = _mm_min_epi16(_mm_max_epi16(_mm_srai_epi16(b, 9), zero), max5);
        const __m128i px = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(r, 11), _mm_slli_epi16(g, 5)), b);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * i), px);
    }
    return i;
}

// Transposes 8 rows of 8 bytes: out[c] holds column c in its low 8 bytes,
// column c + 1 in its high 8 bytes (c even).
inline void Transpose8x8(const __m128i rows[8], __m128i out[4]) {
    const __m128i a = _mm_unpacklo_epi8(rows[0], rows[1]);
    const __m128i b = _mm_unpacklo_epi8(rows[2], rows[3]);
    const __m128i c = _mm_unpacklo_epi8(rows[4], rows[5]);
    const __m128i d = _mm_unpacklo_epi8(rows[6], rows[7]);
    const __m128i e = _mm_unpacklo_epi16(a, b);
    const __m128i f = _mm_unpackhi_epi16(a, b);
    const __m128i g = _mm_unpacklo_epi16(c, d);
    const __m128i h = _mm_unpackhi_epi16(c, d);
    out[0] = _mm_unpacklo_epi32(e, g);
    out[1] = _mm_unpackhi_epi32(e, g);
    out[2] = _mm_unpacklo_epi32(f, h);
    out[3] = _mm_unpackhi_epi32(f, h);
}

}  // namespace

#endif

void ConvertRow565(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int width, int rowParity, uint8_t* dst) {
    int done = 0;
#if defined(__SSE2__)
    if (SimdEnabled()) {
        done = ConvertRow565Sse2(y, cb, cr, width, rowParity, dst);
    }
#endif
    if (done < width) {
        ConvertRow565Scalar(y + done, cb + done / 2, cr + done / 2, width - done, rowParity, dst + 2 * done);
    }
}

bool TurnQuarterBlocks(const uint8_t* src, int width, int height, int srcStep, int dstStep, uint8_t* dst,
                       bool clockwise) {
#if defined(__SSE2__)
    if (!SimdEnabled() || width % 8 != 0 || height % 8 != 0) {
        return false;
    }
    __m128i rows[8];
    __m128i cols[4];
    for (int y0 = 0; y0 < height; y0 += 8) {
        for (int x0 = 0; x0 < width; x0 += 8) {
            for (int r = 0; r < 8; ++r) {
                // Clockwise, the block's last row ends up in the first destination column.
                const int row = clockwise ? y0 + 7 - r : y0 + r;
                rows[r] = _mm_loadl_epi64(
                    reinterpret_cast<const __m128i*>(src + static_cast<ptrdiff_t>(row) * srcStep + x0));
            }
            Transpose8x8(rows, cols);
            for (int c = 0; c < 8; ++c) {
                // Source column x0 + c becomes destination row x0 + c
                // (clockwise) or width - 1 - x0 - c (counter-clockwise).
                const int dstRow = clockwise ? x0 + c : width - 1 - x0 - c;
                const int dstCol = clockwise ? height - 8 - y0 : y0;
                const __m128i col = (c & 1) ? _mm_srli_si128(cols[c / 2], 8) : cols[c / 2];
                _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + static_cast<ptrdiff_t>(dstRow) * dstStep + dstCol),
                                 col);
            }
        }
    }
    return true;
#else
    (void)src, (void)width, (void)height, (void)srcStep, (void)dstStep, (void)dst, (void)clockwise;
    return false;
#endif
}

}  // namespace pixels
