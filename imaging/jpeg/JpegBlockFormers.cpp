// MCU formers: one MCU of the input, in its own layout, into 8 x 8 sample
// blocks (Y blocks, then Cb, then Cr), converting colour where the format
// needs it. Samples are widened without level shift.
#include "jpeg/JpegEncoderKernels.h"

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

// 16 x 16 RGB pixels to four Y blocks and 2 x 2-averaged Cb and Cr.
template <class Fetch>
inline void FormRgb420(Fetch fetch, int16_t* out)
{
    int16_t* cb = out + 256;
    int16_t* cr = out + 320;
    for (int j = 0; j < 8; ++j) {
        for (int i = 0; i < 8; ++i) {
            int32_t sr = 0, sg = 0, sb = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    int x = 2 * i + dx, y = 2 * j + dy;
                    int32_t r, g, b;
                    fetch(x, y, r, g, b);
                    *LumaAt(out, x, y) = static_cast<int16_t>((19595 * r + 38470 * g + 7471 * b) >> 16);
                    sr += r;
                    sg += g;
                    sb += b;
                }
            }
            cb[j * 8 + i] = static_cast<int16_t>(((-11059 * sr - 21709 * sg + 32768 * sb) >> 18) + 128);
            cr[j * 8 + i] = static_cast<int16_t>(((32768 * sr - 27439 * sg - 5329 * sb) >> 18) + 128);
        }
    }
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
    return format >= 1 && format <= 11 ? kFormers[format] : nullptr;
}

const JpegInputLayout* JpegInputLayoutFor(int format)
{
    return format >= 1 && format <= 11 ? &kLayouts[format] : nullptr;
}
