// MCU formers: one MCU of the input, in its own layout, into 8 x 8 sample
// blocks (Y blocks, then Cb, then Cr), converting colour where the format
// needs it. Samples are widened without level shift.
#include "CpuFeatures.h"
#include "jpeg/JpegEncoder.h"
#include "jpeg/JpegEncoderKernels.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr JpegInputLayout kLayouts[12] = {
    {},
    {3, {{1, 1, 1}, {2, 1, 2}, {2, 1, 2}}, 16, 16, 4, 3, 2, 2},  // 1 planar 4:2:0
    {3, {{1, 1, 1}, {2, 1, 1}, {2, 1, 1}}, 16, 8, 2, 3, 2, 1},   // 2 planar 4:2:2
    {3, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 8, 8, 1, 3, 1, 1},    // 3 planar 4:4:4
    {1, {{1, 1, 1}, {}, {}}, 8, 8, 1, 1, 1, 1},                  // 4 grey
    {3, {{1, 1, 1}, {1, 1, 1}, {1, 1, 1}}, 16, 16, 4, 3, 2, 2},  // 5 planar RGB
    {1, {{1, 3, 1}, {}, {}}, 16, 16, 4, 3, 2, 2},                // 6 interleaved RGB
    {1, {{1, 2, 1}, {}, {}}, 16, 16, 4, 3, 2, 2},                // 7 RGB565
    {1, {{2, 4, 1}, {}, {}}, 16, 16, 4, 3, 2, 2},                // 8 Y0 Cb Y1 Cr as 4:2:0
    {1, {{2, 4, 1}, {}, {}}, 16, 8, 2, 3, 2, 1},                 // 9 Y0 Cb Y1 Cr
    {1, {{1, 3, 1}, {}, {}}, 8, 8, 1, 3, 1, 1},                  // 10 interleaved, as coded
    {2, {{1, 1, 1}, {2, 2, 2}, {}}, 16, 16, 4, 3, 2, 2},         // 11 Y, Cb Cr pairs
};

inline void Form8x8(const uint8_t* p, int32_t stride, int16_t* out)
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            out[y * 8 + x] = p[x];
        }
        p += stride;
    }
}

// A 16-wide luma area into blocks left to right, then top to bottom.
inline void FormLuma16(const uint8_t* p, int32_t stride, int rows, int16_t* out)
{
    for (int by = 0; by < rows / 8; ++by) {
        Form8x8(p + by * 8 * stride, stride, out + by * 128);
        Form8x8(p + by * 8 * stride + 8, stride, out + by * 128 + 64);
    }
}

inline int16_t* LumaAt(int16_t* out, int x, int y)
{
    return out + ((y >> 3) * 2 + (x >> 3)) * 64 + (y & 7) * 8 + (x & 7);
}

#if defined(__SSE2__)
const bool kSse2 = imaging::KernelsAtLeast(imaging::KernelSet::kSse2);

// Two signed 16-bit factors for pmaddwd: lo for the even lane, hi for the odd.
inline __m128i Pair(int lo, int hi)
{
    return _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16) |
                                               static_cast<uint16_t>(lo)));
}
#endif

// 16 x 16 RGB pixels (three planes of 16-bit samples, row by row) to four Y
// blocks and the Cb and Cr of each 2 x 2 group, with the integer formulas of
// the scalar path below.
void ConvertRgb420(const int16_t* r, const int16_t* g, const int16_t* b, int16_t* out)
{
#if defined(__SSE2__)
    if (kSse2) {
        // pmaddwd takes signed 16-bit factors: 38470 G is split as 19235 G twice,
        // 32768 S as 16384 S twice.
        const __m128i yRg = Pair(19595, 19235), yGb = Pair(19235, 7471);
        const __m128i cbRg = Pair(-11059, -21709), crGb = Pair(-27439, -5329), half = Pair(16384, 16384);
        const __m128i ones = _mm_set1_epi16(1), chromaOffset = _mm_set1_epi32(128);
        auto load = [](const int16_t* p, int y, int h) {
            return _mm_load_si128(reinterpret_cast<const __m128i*>(p + y * 16 + h * 8));
        };
        for (int y = 0; y < 16; ++y) {
            for (int h = 0; h < 2; ++h) {
                __m128i vr = load(r, y, h), vg = load(g, y, h), vb = load(b, y, h);
                __m128i lo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(vr, vg), yRg),
                                           _mm_madd_epi16(_mm_unpacklo_epi16(vg, vb), yGb));
                __m128i hi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(vr, vg), yRg),
                                           _mm_madd_epi16(_mm_unpackhi_epi16(vg, vb), yGb));
                __m128i luma = _mm_packs_epi32(_mm_srai_epi32(lo, 16), _mm_srai_epi32(hi, 16));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(LumaAt(out, 8 * h, y)), luma);
            }
        }
        // Sums of 2 x 2 pixels: pmaddwd by 1 adds horizontal pairs, then the two rows.
        auto sums = [&](const int16_t* p, int j) {
            __m128i s[2];
            for (int h = 0; h < 2; ++h) {
                s[h] = _mm_add_epi32(_mm_madd_epi16(load(p, 2 * j, h), ones),
                                     _mm_madd_epi16(load(p, 2 * j + 1, h), ones));
            }
            return _mm_packs_epi32(s[0], s[1]);  // at most 1020
        };
        for (int j = 0; j < 8; ++j) {
            __m128i sr = sums(r, j), sg = sums(g, j), sb = sums(b, j);
            __m128i cbLo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(sr, sg), cbRg),
                                         _mm_madd_epi16(_mm_unpacklo_epi16(sb, sb), half));
            __m128i cbHi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(sr, sg), cbRg),
                                         _mm_madd_epi16(_mm_unpackhi_epi16(sb, sb), half));
            __m128i crLo = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(sr, sr), half),
                                         _mm_madd_epi16(_mm_unpacklo_epi16(sg, sb), crGb));
            __m128i crHi = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(sr, sr), half),
                                         _mm_madd_epi16(_mm_unpackhi_epi16(sg, sb), crGb));
            auto finish = [&](__m128i lo, __m128i hi) {
                return _mm_packs_epi32(_mm_add_epi32(_mm_srai_epi32(lo, 18), chromaOffset),
                                       _mm_add_epi32(_mm_srai_epi32(hi, 18), chromaOffset));
            };
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 256 + 8 * j), finish(cbLo, cbHi));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 320 + 8 * j), finish(crLo, crHi));
        }
        return;
    }
#endif
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int32_t v = 19595 * r[y * 16 + x] + 38470 * g[y * 16 + x] + 7471 * b[y * 16 + x];
            *LumaAt(out, x, y) = static_cast<int16_t>(v >> 16);
        }
    }
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
            int at = 2 * j * 16 + 2 * i;
            int32_t sr = r[at] + r[at + 1] + r[at + 16] + r[at + 17];
            int32_t sg = g[at] + g[at + 1] + g[at + 16] + g[at + 17];
            int32_t sb = b[at] + b[at + 1] + b[at + 16] + b[at + 17];
            out[256 + j * 8 + i] = static_cast<int16_t>(((-11059 * sr - 21709 * sg + 32768 * sb) >> 18) + 128);
            out[320 + j * 8 + i] = static_cast<int16_t>(((32768 * sr - 27439 * sg - 5329 * sb) >> 18) + 128);
        }
    }
}

// The pixels of the MCU into three 16-bit planes, then converted together.
template <class Fetch>
inline void FormRgb420(Fetch fetch, int16_t* out)
{
    alignas(16) int16_t r[256];
    alignas(16) int16_t g[256];
    alignas(16) int16_t b[256];
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            int32_t pr, pg, pb;
            fetch(x, y, pr, pg, pb);
            r[y * 16 + x] = static_cast<int16_t>(pr);
            g[y * 16 + x] = static_cast<int16_t>(pg);
            b[y * 16 + x] = static_cast<int16_t>(pb);
        }
    }
    ConvertRgb420(r, g, b, out);
}

void FormMcu420(const McuSource& s, int16_t* out)
{
    FormLuma16(s.plane[0], s.stride[0], 16, out);
    Form8x8(s.plane[1], s.stride[1], out + 256);
    Form8x8(s.plane[2], s.stride[2], out + 320);
}

void FormMcu422(const McuSource& s, int16_t* out)
{
    FormLuma16(s.plane[0], s.stride[0], 8, out);
    Form8x8(s.plane[1], s.stride[1], out + 128);
    Form8x8(s.plane[2], s.stride[2], out + 192);
}

void FormMcu444(const McuSource& s, int16_t* out)
{
    Form8x8(s.plane[0], s.stride[0], out);
    Form8x8(s.plane[1], s.stride[1], out + 64);
    Form8x8(s.plane[2], s.stride[2], out + 128);
}

void FormMcuGrey(const McuSource& s, int16_t* out)
{
    Form8x8(s.plane[0], s.stride[0], out);
}

void FormMcuRgbPlanar(const McuSource& s, int16_t* out)
{
    FormRgb420(
        [&](int x, int y, int32_t& r, int32_t& g, int32_t& b) {
            r = s.plane[0][y * s.stride[0] + x];
            g = s.plane[1][y * s.stride[1] + x];
            b = s.plane[2][y * s.stride[2] + x];
        },
        out);
}

void FormMcuRgb(const McuSource& s, int16_t* out)
{
    FormRgb420(
        [&](int x, int y, int32_t& r, int32_t& g, int32_t& b) {
            const uint8_t* p = s.plane[0] + y * s.stride[0] + 3 * x;
            r = p[0];
            g = p[1];
            b = p[2];
        },
        out);
}

void FormMcuRgb565(const McuSource& s, int16_t* out)
{
    FormRgb420(
        [&](int x, int y, int32_t& r, int32_t& g, int32_t& b) {
            const uint8_t* p = s.plane[0] + y * s.stride[0] + 2 * x;
            uint32_t w = p[0] | (p[1] << 8);
            r = Widen5(w >> 11);
            g = Widen6((w >> 5) & 0x3F);
            b = Widen5(w & 0x1F);
        },
        out);
}

// Y0 Cb Y1 Cr pairs; with 16 rows the chroma of each row pair comes from its first row.
void FormMcuYuyv(const McuSource& s, int rows, int16_t* out)
{
    int16_t* cb = out + (rows == 16 ? 256 : 128);
    int16_t* cr = cb + 64;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* p = s.plane[0] + y * s.stride[0];
        for (int x = 0; x < 16; ++x) {
            *LumaAt(out, x, y) = p[2 * x];
        }
        int step = rows / 8;
        if (y % step == 0) {
            for (int i = 0; i < 8; ++i) {
                cb[(y / step) * 8 + i] = p[4 * i + 1];
                cr[(y / step) * 8 + i] = p[4 * i + 3];
            }
        }
    }
}

void FormMcuYuyvAs420(const McuSource& s, int16_t* out)
{
    FormMcuYuyv(s, 16, out);
}

void FormMcuYuyv422(const McuSource& s, int16_t* out)
{
    FormMcuYuyv(s, 8, out);
}

void FormMcuInterleaved444(const McuSource& s, int16_t* out)
{
    for (int y = 0; y < 8; ++y) {
        const uint8_t* p = s.plane[0] + y * s.stride[0];
        for (int x = 0; x < 8; ++x) {
            out[y * 8 + x] = p[3 * x];
            out[64 + y * 8 + x] = p[3 * x + 1];
            out[128 + y * 8 + x] = p[3 * x + 2];
        }
    }
}

void FormMcuNv12(const McuSource& s, int16_t* out)
{
    FormLuma16(s.plane[0], s.stride[0], 16, out);
    for (int y = 0; y < 8; ++y) {
        const uint8_t* p = s.plane[1] + y * s.stride[1];
        for (int x = 0; x < 8; ++x) {
            out[256 + y * 8 + x] = p[2 * x];
            out[320 + y * 8 + x] = p[2 * x + 1];
        }
    }
}

constexpr McuFormer kFormers[12] = {
    nullptr,          FormMcu420,        FormMcu422,         FormMcu444,
    FormMcuGrey,      FormMcuRgbPlanar,  FormMcuRgb,         FormMcuRgb565,
    FormMcuYuyvAs420, FormMcuYuyv422,    FormMcuInterleaved444, FormMcuNv12,
};

}  // namespace

McuFormer McuFormerFor(int format)
{
#if defined(__x86_64__)
    if (imaging::KernelsAtLeast(imaging::KernelSet::kAvx2)) {
        if (format == kJpegRgb) {
            return FormMcuRgbAvx2;
        }
        if (format == kJpegRgbPlanar) {
            return FormMcuRgbPlanarAvx2;
        }
    }
#endif
    return format >= kJpegYuv420 && format <= kJpegNv12 ? kFormers[format] : nullptr;
}

const JpegInputLayout* JpegInputLayoutFor(int format)
{
    return format >= kJpegYuv420 && format <= kJpegNv12 ? &kLayouts[format] : nullptr;
}
