// The maker's image-processing library: planes are resampled by area (or
// nearest sample when enlarged), turned by index mapping and converted with
// the full-range YCbCr equations of JPEG pictures.
#include "plat/fotrix.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int kMaxSide = 16384;

bool SizeOk(int w, int h) { return w >= 1 && h >= 1 && w <= kMaxSide && h <= kMaxSide; }
int Half(int n) { return (n + 1) / 2; }

// The source samples of each destination index along one axis, with integer
// weights that add up to `total` for every index.
struct Axis {
    std::vector<int> first, count, weightAt;
    std::vector<uint32_t> weights;
    uint32_t total = 1;
};

Axis MakeAxis(int offset, int srcLen, int dstLen)
{
    Axis a;
    a.first.resize(dstLen);
    a.count.resize(dstLen);
    a.weightAt.resize(dstLen);
    if (srcLen < dstLen) {
        for (int i = 0; i < dstLen; ++i) {
            a.first[i] = offset + static_cast<int>((2LL * i + 1) * srcLen / (2LL * dstLen));
            a.count[i] = 1;
            a.weightAt[i] = static_cast<int>(a.weights.size());
            a.weights.push_back(1);
        }
        return a;
    }
    a.total = static_cast<uint32_t>(srcLen);
    for (int i = 0; i < dstLen; ++i) {
        int64_t lo = int64_t(i) * srcLen, hi = int64_t(i + 1) * srcLen;  // in 1/dstLen units
        int j0 = static_cast<int>(lo / dstLen), j1 = static_cast<int>((hi - 1) / dstLen);
        a.first[i] = offset + j0;
        a.count[i] = j1 - j0 + 1;
        a.weightAt[i] = static_cast<int>(a.weights.size());
        for (int j = j0; j <= j1; ++j)
            a.weights.push_back(static_cast<uint32_t>(std::min<int64_t>(int64_t(j + 1) * dstLen, hi) -
                                                      std::max<int64_t>(int64_t(j) * dstLen, lo)));
    }
    return a;
}

// One byte plane: the crop (cx, cy, cw, ch) of src resampled to dw x dh.
void ResamplePlane(const BYTE* src, int srcStride, int cx, int cy, int cw, int ch, BYTE* dst, int dstStride,
                   int dw, int dh)
{
    if (cw == dw && ch == dh) {
        for (int y = 0; y < dh; ++y)
            std::copy_n(src + static_cast<size_t>(cy + y) * srcStride + cx, dw, dst + static_cast<size_t>(y) * dstStride);
        return;
    }
    Axis ax = MakeAxis(cx, cw, dw), ay = MakeAxis(cy, ch, dh);
    std::vector<uint64_t> row(static_cast<size_t>(dw));
    uint64_t total = uint64_t(ax.total) * ay.total;
    for (int y = 0; y < dh; ++y) {
        std::fill(row.begin(), row.end(), 0);
        for (int k = 0; k < ay.count[y]; ++k) {
            const BYTE* s = src + static_cast<size_t>(ay.first[y] + k) * srcStride;
            uint32_t wy = ay.weights[ay.weightAt[y] + k];
            for (int x = 0; x < dw; ++x) {
                uint32_t sum = 0;
                const uint32_t* w = &ax.weights[ax.weightAt[x]];
                for (int j = 0; j < ax.count[x]; ++j)
                    sum += w[j] * s[ax.first[x] + j];
                row[x] += uint64_t(sum) * wy;
            }
        }
        BYTE* d = dst + static_cast<size_t>(y) * dstStride;
        for (int x = 0; x < dw; ++x)
            d[x] = static_cast<BYTE>((row[x] + total / 2) / total);
    }
}

// Source position of destination (x, y) when a w x h picture is turned.
inline void TurnSource(int rotation, int w, int h, int x, int y, int* sx, int* sy)
{
    switch (rotation) {
    case 1: *sx = y; *sy = h - 1 - x; break;          // clockwise
    case 2: *sx = w - 1 - x; *sy = h - 1 - y; break;
    case 3: *sx = w - 1 - y; *sy = x; break;          // counter-clockwise
    default: *sx = x; *sy = y; break;
    }
}

template <class T>
void Turn(const T* src, int srcStride, int w, int h, T* dst, int dstStride, int rotation)
{
    int dw = rotation & 1 ? h : w, dh = rotation & 1 ? w : h;
    for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x) {
            int sx, sy;
            TurnSource(rotation, w, h, x, y, &sx, &sy);
            dst[static_cast<size_t>(y) * dstStride + x] = src[static_cast<size_t>(sy) * srcStride + sx];
        }
}

inline BYTE Clamp(int v) { return static_cast<BYTE>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Full-range YCbCr to RGB in 16-bit fixed point.
inline void ToRgb(int y, int cb, int cr, BYTE* r, BYTE* g, BYTE* b)
{
    cb -= 128;
    cr -= 128;
    *r = Clamp(y + ((91881 * cr + 32768) >> 16));
    *g = Clamp(y - ((22554 * cb + 46802 * cr - 32768) >> 16));
    *b = Clamp(y + ((116130 * cb + 32768) >> 16));
}

inline WORD Pack565(BYTE r, BYTE g, BYTE b) { return static_cast<WORD>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3); }

// Planes of a w x h picture with chroma subsampled by cxShift, cyShift.
struct Planes {
    const BYTE* y;
    const BYTE* cb;
    const BYTE* cr;
    int yStride, cStride;
};

void ToRgb565(const Planes& p, int w, int h, int cyShift, WORD* dst, int dstStride)
{
    for (int y = 0; y < h; ++y) {
        const BYTE* ly = p.y + static_cast<size_t>(y) * p.yStride;
        const BYTE* lb = p.cb + static_cast<size_t>(y >> cyShift) * p.cStride;
        const BYTE* lr = p.cr + static_cast<size_t>(y >> cyShift) * p.cStride;
        WORD* d = dst + static_cast<size_t>(y) * dstStride;
        for (int x = 0; x < w; ++x) {
            BYTE r, g, b;
            ToRgb(ly[x], lb[x >> 1], lr[x >> 1], &r, &g, &b);
            d[x] = Pack565(r, g, b);
        }
    }
}

bool FrameOk(const GFrameInfo* f)
{
    return f && f->y && f->cb && f->cr && SizeOk(f->width, f->height);
}

bool RotationOk(int rotation) { return rotation >= 0 && rotation <= 3; }

// The record's planes as 4:2:0 resampled to w x h in a block of its own.
struct Frame420 {
    std::vector<BYTE> y, cb, cr;
    int w = 0, h = 0;
};

Frame420 Scale420(const GFrameInfo& f, int cx, int cy, int cw, int ch, int w, int h)
{
    Frame420 out;
    out.w = w;
    out.h = h;
    out.y.resize(static_cast<size_t>(w) * h);
    out.cb.resize(static_cast<size_t>(Half(w)) * Half(h));
    out.cr.resize(out.cb.size());
    ResamplePlane(f.y, f.width, cx, cy, cw, ch, out.y.data(), w, w, h);
    int ccx = cx / 2, ccy = cy / 2;
    int ccw = std::min(Half(cw), Half(f.width) - ccx), cch = std::min(Half(ch), Half(f.height) - ccy);
    ResamplePlane(f.cb, Half(f.width), ccx, ccy, ccw, cch, out.cb.data(), Half(w), Half(w), Half(h));
    ResamplePlane(f.cr, Half(f.width), ccx, ccy, ccw, cch, out.cr.data(), Half(w), Half(w), Half(h));
    return out;
}

}  // namespace

int gScaleFrame(const GFrameInfo* src, GFrameInfo* dst, int, int)
{
    if (!FrameOk(src) || !FrameOk(dst))
        return -1;
    return gScaleCroppedFrame(src, 0, 0, src->width, src->height, dst);
}

int gScaleCroppedFrame(const GFrameInfo* src, int cropLeft, int cropTop, int cropWidth, int cropHeight,
                       GFrameInfo* dst)
{
    if (!FrameOk(src) || !FrameOk(dst) || cropLeft < 0 || cropTop < 0 || cropWidth < 1 || cropHeight < 1 ||
        cropLeft + cropWidth > src->width || cropTop + cropHeight > src->height)
        return -1;
    Frame420 f = Scale420(*src, cropLeft, cropTop, cropWidth, cropHeight, dst->width, dst->height);
    std::copy(f.y.begin(), f.y.end(), dst->y);
    std::copy(f.cb.begin(), f.cb.end(), dst->cb);
    std::copy(f.cr.begin(), f.cr.end(), dst->cr);
    return 0;
}

int gYUV420toRGB16Rotate(const GFrameInfo* frame, WORD* dst, int dstWidth, int dstHeight, int, int, int, int,
                         int srcWidth, int srcHeight, int rotation)
{
    if (!FrameOk(frame) || !dst || !SizeOk(dstWidth, dstHeight) || !RotationOk(rotation) || srcWidth < 1 ||
        srcHeight < 1)
        return -1;
    int cw = std::min<int>(srcWidth, frame->width), ch = std::min<int>(srcHeight, frame->height);
    int uw = rotation & 1 ? dstHeight : dstWidth, uh = rotation & 1 ? dstWidth : dstHeight;  // before the turn
    Frame420 f = Scale420(*frame, 0, 0, cw, ch, uw, uh);
    Planes p{f.y.data(), f.cb.data(), f.cr.data(), uw, Half(uw)};
    if (rotation == 0) {
        ToRgb565(p, uw, uh, 1, dst, dstWidth);
        return 0;
    }
    std::vector<WORD> upright(static_cast<size_t>(uw) * uh);
    ToRgb565(p, uw, uh, 1, upright.data(), uw);
    Turn(upright.data(), uw, uw, uh, dst, dstWidth, rotation);
    return 0;
}

int gYUV422HPlanartoBGR565TopDown_Rotate(const GFrameInfo* frame, WORD* dst, int, int, int dstWidth,
                                         SHORT dstHeight, int, int, int srcWidth, int srcHeight, BYTE rotation)
{
    int rows = dstHeight < 0 ? -dstHeight : dstHeight;
    if (!FrameOk(frame) || !dst || !SizeOk(dstWidth, rows) || !RotationOk(rotation) || srcWidth != frame->width ||
        srcHeight != frame->height || (rotation & 1 ? srcHeight : srcWidth) != dstWidth ||
        (rotation & 1 ? srcWidth : srcHeight) != rows)
        return -1;
    int w = frame->width, h = frame->height;
    std::vector<WORD> upright(static_cast<size_t>(w) * h);
    ToRgb565({frame->y, frame->cb, frame->cr, w, Half(w)}, w, h, 0, upright.data(), w);
    std::vector<WORD> turned(static_cast<size_t>(dstWidth) * rows);
    Turn(upright.data(), w, w, h, turned.data(), dstWidth, rotation);
    for (int y = 0; y < rows; ++y)
        std::copy_n(turned.data() + static_cast<size_t>(y) * dstWidth, dstWidth,
                    dst + static_cast<size_t>(dstHeight < 0 ? rows - 1 - y : y) * dstWidth);
    return 0;
}

int gYUV422HPlanartoRGB888TopDown(const GFrameInfo* frame, BYTE* dst, WORD width, WORD height, DWORD flag)
{
    if (!FrameOk(frame) || !dst || width != frame->width || height != frame->height || flag > 1)
        return -1;
    int w = width, h = height;
    size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);  // DIB rows
    for (int y = 0; y < h; ++y) {
        const BYTE* ly = frame->y + static_cast<size_t>(y) * w;
        const BYTE* lb = frame->cb + static_cast<size_t>(y) * Half(w);
        const BYTE* lr = frame->cr + static_cast<size_t>(y) * Half(w);
        BYTE* d = dst + (flag ? y : h - 1 - y) * stride;
        for (int x = 0; x < w; ++x)
            ToRgb(ly[x], lb[x >> 1], lr[x >> 1], &d[3 * x], &d[3 * x + 1], &d[3 * x + 2]);
    }
    return 0;
}

int gRotateRGB16(const WORD* src, WORD* dst, int srcWidth, int srcHeight, int, int, int, int, int, int,
                 int dstWidth, int dstHeight, int rotation)
{
    if (!src || !dst || !SizeOk(srcWidth, srcHeight) || !RotationOk(rotation) ||
        (rotation & 1 ? srcHeight : srcWidth) != dstWidth || (rotation & 1 ? srcWidth : srcHeight) != dstHeight)
        return -1;
    if (src == dst && rotation != 0)
        return -1;
    Turn(src, srcWidth, srcWidth, srcHeight, dst, dstWidth, rotation);
    return 0;
}

int gRotateFrame(const GFrameInfo* src, GFrameInfo* dst, int rotation)
{
    if (!FrameOk(src) || !FrameOk(dst) || !RotationOk(rotation) ||
        (rotation & 1 ? src->height : src->width) != dst->width ||
        (rotation & 1 ? src->width : src->height) != dst->height)
        return -1;
    int w = src->width, h = src->height;
    Turn(src->y, w, w, h, dst->y, dst->width, rotation);
    Turn(src->cb, Half(w), Half(w), Half(h), dst->cb, Half(dst->width), rotation);
    Turn(src->cr, Half(w), Half(w), Half(h), dst->cr, Half(dst->width), rotation);
    return 0;
}

int gScaleRGB565CroppedFrame(const WORD* src, int srcWidth, int srcHeight, int cropLeft, int cropTop,
                             int cropWidth, int cropHeight, WORD* dst, int dstWidth, int dstHeight)
{
    if (!src || !dst || !SizeOk(srcWidth, srcHeight) || !SizeOk(dstWidth, dstHeight) || cropLeft < 0 ||
        cropTop < 0 || cropWidth < 1 || cropHeight < 1 || cropLeft + cropWidth > srcWidth ||
        cropTop + cropHeight > srcHeight)
        return -1;
    // Each channel averaged on its own, at its own depth.
    size_t n = static_cast<size_t>(srcWidth) * srcHeight, m = static_cast<size_t>(dstWidth) * dstHeight;
    std::vector<BYTE> in(3 * n), out(3 * m);
    for (size_t i = 0; i < n; ++i) {
        in[i] = static_cast<BYTE>(src[i] >> 11);
        in[n + i] = static_cast<BYTE>(src[i] >> 5 & 0x3F);
        in[2 * n + i] = static_cast<BYTE>(src[i] & 0x1F);
    }
    for (int c = 0; c < 3; ++c)
        ResamplePlane(in.data() + c * n, srcWidth, cropLeft, cropTop, cropWidth, cropHeight, out.data() + c * m,
                      dstWidth, dstWidth, dstHeight);
    for (size_t i = 0; i < m; ++i)
        dst[i] = static_cast<WORD>(out[i] << 11 | out[m + i] << 5 | out[2 * m + i]);
    return 0;
}

int gMirrorImageRGB565(const WORD* src, WORD* dst, int width, int height, int mirror)
{
    if (!src || !dst || src == dst || !SizeOk(width, height) || (mirror != 0 && mirror != 1))
        return -1;
    for (int y = 0; y < height; ++y) {
        const WORD* s = src + static_cast<size_t>(mirror ? height - 1 - y : y) * width;
        WORD* d = dst + static_cast<size_t>(y) * width;
        if (mirror)
            std::copy_n(s, width, d);
        else
            std::reverse_copy(s, s + width, d);
    }
    return 0;
}
