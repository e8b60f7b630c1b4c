// RGB565 rows with 256-bit lanes: 16 pixels per step, the integer formulas
// and dither of the scalar path (JpegColorOutput.cpp), so the pixels are the
// same. Built for AVX2 function by function; called only when the processor
// has it.
#include "jpeg/JpegDecoderInternal.h"

#include "jpeg/JpegYccAvx2.h"

#if defined(__x86_64__)

namespace jpeg {

namespace {

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

// Sixteen RGB565 pixels from their luma and their R, G and B offsets.
LUM_AVX2 inline __m256i Pack16(const uint8_t* y, __m256i r, __m256i g, __m256i b, __m256i dR, __m256i dG,
                               __m256i dB) {
    const __m256i lum = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(y)));
    const __m256i rr = Clamp8(_mm256_add_epi16(_mm256_add_epi16(lum, r), dR));
    const __m256i gg = Clamp8(_mm256_add_epi16(_mm256_sub_epi16(lum, g), dG));
    const __m256i bb = Clamp8(_mm256_add_epi16(_mm256_add_epi16(lum, b), dB));
    return _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi16(_mm256_and_si256(rr, _mm256_set1_epi16(0xF8)), 8),
                                           _mm256_slli_epi16(_mm256_and_si256(gg, _mm256_set1_epi16(0xFC)), 3)),
                           _mm256_srli_epi16(bb, 3));
}

// Each of 16 offsets twice, for the pixel pairs that share a chroma sample:
// pixels 0-15 (low) or 16-31 (high) of the step.
LUM_AVX2 inline __m256i TwiceLow(__m256i v) {
    const __m256i q = _mm256_permute4x64_epi64(v, 0xD8);
    return _mm256_unpacklo_epi16(q, q);
}
LUM_AVX2 inline __m256i TwiceHigh(__m256i v) {
    const __m256i q = _mm256_permute4x64_epi64(v, 0xD8);
    return _mm256_unpackhi_epi16(q, q);
}

}  // namespace

LUM_AVX2 uint32_t Rgb565RowAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int hShift,
                                const uint8_t (*dither)[3], bool dithers, uint16_t* out, uint32_t width) {
    const __m256i dB = Dither(dither, 0, dithers), dG = Dither(dither, 1, dithers), dR = Dither(dither, 2, dithers);
    uint32_t x = 0;
    if (hShift) {
        // 32 pixels a step: the offsets of 16 chroma samples are worked out
        // once and serve two pixels each.
        const __m256i half = _mm256_set1_epi16(128);
        for (; x + 32 <= width; x += 32) {
            const __m256i cb16 = _mm256_sub_epi16(
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + x / 2))), half);
            const __m256i cr16 = _mm256_sub_epi16(
                _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + x / 2))), half);
            const YccOffsets c = YccOffsetsOf(cb16, cr16);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                                Pack16(y + x, TwiceLow(c.r), TwiceLow(c.g), TwiceLow(c.b), dR, dG, dB));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 16),
                                Pack16(y + x + 16, TwiceHigh(c.r), TwiceHigh(c.g), TwiceHigh(c.b), dR, dG, dB));
        }
    }
    for (; x + 16 <= width; x += 16) {
        const YccOffsets c = YccOffsetsOf(YccChroma(cb, x, hShift), YccChroma(cr, x, hShift));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), Pack16(y + x, c.r, c.g, c.b, dR, dG, dB));
    }
    return x;
}

}  // namespace jpeg

#endif
