#include "ImageUtil.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "ImagingInternal.h"
#include "pixels/ImgUtil.h"
#include "plat/fotrix.h"

namespace {

constexpr int kMaxSide = 16384;

bool SizeOk(int w, int h) { return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide; }
int RowBytes16(int width) { return (width * 2 + 3) / 4 * 4; }

// The record of a camera 4:2:0 frame (Y, Cr, Cb in memory).
GFrameInfo CameraFrame420(const BYTE* frame, int w, int h)
{
    BYTE* y = const_cast<BYTE*>(frame);
    size_t n = static_cast<size_t>(w) * h;
    return {y, y + n + n / 4, y + n, static_cast<WORD>(w), static_cast<WORD>(h), {0, 0, 0}};
}

// The record of a planar 4:2:2 frame (Y, Cb, Cr).
GFrameInfo Frame422(const BYTE* frame, int w, int h)
{
    BYTE* y = const_cast<BYTE*>(frame);
    size_t n = static_cast<size_t>(w) * h;
    return {y, y + n, y + n + n / 2, static_cast<WORD>(w), static_cast<WORD>(h), {0, 0, 0}};
}

HBITMAP CreateRGB565(int width, int height, bool topDown, void** bits)
{
    if (!SizeOk(width, height))
        return nullptr;
    RGB565BITMAPINFO info;
    CImageUtil::InitRGB565BitmapInfo(&info);
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, topDown ? -height : height, 1, 16, BI_BITFIELDS,
                      static_cast<DWORD>(width * height * 2), 0, 0, 0, 0};
    return CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, bits, nullptr, 0);
}

// Packed rows (width x 2 bytes) into a section's padded rows, in stored order.
void CopyRows16(const void* packed, void* bits, int width, int height)
{
    for (int y = 0; y < height; ++y)
        std::memcpy(static_cast<BYTE*>(bits) + static_cast<size_t>(y) * RowBytes16(width),
                    static_cast<const BYTE*>(packed) + static_cast<size_t>(y) * width * 2,
                    static_cast<size_t>(width) * 2);
}

bool Section16(HBITMAP bitmap, DIBSECTION* ds)
{
    return bitmap && GetObjectW(bitmap, sizeof *ds, ds) == static_cast<int>(sizeof *ds) && ds->dsBm.bmBits &&
           ds->dsBm.bmBitsPixel == 16;
}

// The bitmap's pixels as packed top-down RGB565, whatever its kind.
bool ReadRGB565(HBITMAP bitmap, std::vector<WORD>* pixels, int* width, int* height)
{
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm) || !SizeOk(bm.bmWidth, bm.bmHeight))
        return false;
    *width = bm.bmWidth;
    *height = bm.bmHeight;
    RGB565BITMAPINFO info;
    CImageUtil::InitRGB565BitmapInfo(&info);
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), bm.bmWidth, -bm.bmHeight, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
    std::vector<BYTE> rows(static_cast<size_t>(RowBytes16(bm.bmWidth)) * bm.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    int lines = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), rows.data(),
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines != bm.bmHeight)
        return false;
    pixels->resize(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
    for (int y = 0; y < bm.bmHeight; ++y)
        std::memcpy(pixels->data() + static_cast<size_t>(y) * bm.bmWidth,
                    rows.data() + static_cast<size_t>(y) * RowBytes16(bm.bmWidth), static_cast<size_t>(bm.bmWidth) * 2);
    return true;
}

}  // namespace

void CImageUtil::InitRGB565BitmapInfo(RGB565BITMAPINFO* info)
{
    *info = {};
    info->bmiColors[0] = 0xF800;
    info->bmiColors[1] = 0x07E0;
    info->bmiColors[2] = 0x001F;
}

HBITMAP CImageUtil::CreateDIB(int width, int height, int bitsPerPixel, void** bits, BOOL zeroFill)
{
    if (bits)
        *bits = nullptr;
    if (!SizeOk(width, height) || (bitsPerPixel != 16 && bitsPerPixel != 24 && bitsPerPixel != 32))
        return nullptr;
    // A memory DC of the screen's kind; the screen DC itself would compose
    // the whole screen only to be released again.
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bitsPerPixel), BI_RGB, 0, 0, 0,
                      0, 0};
    void* pixels = nullptr;
    HBITMAP bm = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    DeleteDC(dc);
    if (bm && zeroFill)
        std::memset(pixels, 0, static_cast<size_t>((width * bitsPerPixel / 8 + 3) / 4 * 4) * height);
    if (bits)
        *bits = bm ? pixels : nullptr;
    return bm;
}

HBITMAP CImageUtil::CreateRGB565DIBTopDown(int width, int height, void** bits)
{
    return CreateRGB565(width, height, true, bits);
}

HBITMAP CImageUtil::CreateRGB565DIBFromBuffer(const void* pixels, int width, int height)
{
    void* bits = nullptr;
    HBITMAP bm = CreateRGB565(width, height, false, &bits);
    if (bm && pixels)
        CopyRows16(pixels, bits, width, height);
    return bm;
}

int CImageUtil::CopyRotated90(HBITMAP dst, int, int, int width, int height, HBITMAP src)
{
    DIBSECTION s{}, d{};
    if (!Section16(src, &s) || !Section16(dst, &d))
        return 0;
    int srcW = s.dsBm.bmWidth, srcH = s.dsBm.bmHeight;
    int rows = std::min({height, srcW, static_cast<int>(d.dsBm.bmHeight)});
    int cols = std::min({width, srcH, static_cast<int>(d.dsBm.bmWidth)});
    const BYTE* sp = static_cast<const BYTE*>(s.dsBm.bmBits);
    BYTE* dp = static_cast<BYTE*>(d.dsBm.bmBits);
    int srcStride = RowBytes16(srcW), dstStride = RowBytes16(d.dsBm.bmWidth);
    for (int r = 0; r < rows; ++r) {
        auto* out = reinterpret_cast<WORD*>(dp + static_cast<size_t>(r) * dstStride);
        for (int c = 0; c < cols; ++c)
            std::memcpy(&out[c], sp + static_cast<size_t>(c) * srcStride + static_cast<size_t>(srcW - 1 - r) * 2, 2);
    }
    return 1;
}

HBITMAP CImageUtil::RotateBitmap90(HBITMAP bitmap)
{
    DIBSECTION s{};
    if (!Section16(bitmap, &s))
        return nullptr;
    int w = s.dsBm.bmWidth, h = s.dsBm.bmHeight;
    // The words are copied as they are: the turned section keeps the
    // source's 16-bit format (5-5-5 or its masks).
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), h, w, 1, 16, s.dsBmih.biCompression, static_cast<DWORD>(w * h * 2), 0, 0, 0,
            0},
           {s.dsBitfields[0], s.dsBitfields[1], s.dsBitfields[2]}};
    HBITMAP turned =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, nullptr, nullptr, 0);
    if (turned)
        CopyRotated90(turned, 0, 0, h, w, bitmap);
    return turned;
}

HBITMAP CImageUtil::DuplicateBitmap(HBITMAP bitmap)
{
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm))
        return nullptr;
    HBITMAP copy = CreateRGB565(bm.bmWidth, bm.bmHeight, false, nullptr);
    if (!copy)
        return nullptr;
    HDC from = CreateCompatibleDC(nullptr), to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, bitmap), oldTo = SelectObject(to, copy);
    BOOL ok = oldFrom && oldTo && BitBlt(to, 0, 0, bm.bmWidth, bm.bmHeight, from, 0, 0, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    if (!ok) {
        DeleteObject(copy);
        return nullptr;
    }
    return copy;
}

HBITMAP CImageUtil::RotateBitmapRGB16(HBITMAP bitmap, int rotation)
{
    std::vector<WORD> pixels;
    int w = 0, h = 0;
    bool read = ReadRGB565(bitmap, &pixels, &w, &h);
    if (bitmap)
        DeleteObject(bitmap);
    if (!read)
        return nullptr;
    int tw = rotation & 1 ? h : w, th = rotation & 1 ? w : h;
    std::vector<WORD> turned(pixels.size());
    if (gRotateRGB16(pixels.data(), turned.data(), w, h, 0, 0, w, h, 0, 0, tw, th, rotation) != 0)
        return nullptr;
    void* bits = nullptr;
    HBITMAP out = CreateRGB565(tw, th, true, &bits);
    if (out)
        CopyRows16(turned.data(), bits, tw, th);
    return out;
}

void CImageUtil::CalcScaledRect(RECT* rect, int areaWidth, int areaHeight, int pictureWidth, int pictureHeight)
{
    if (!rect)
        return;
    if (pictureWidth < areaWidth && pictureHeight < areaHeight) {
        rect->left = (areaWidth - pictureWidth) / 2;
        rect->top = (areaHeight - pictureHeight) / 2;
        rect->right = rect->left + pictureWidth;
        rect->bottom = rect->top + pictureHeight;
        return;
    }
    if (pictureWidth <= 0 || pictureHeight <= 0) {
        *rect = {0, 0, areaWidth, areaHeight};
        return;
    }
    // The picture's proportions against the area's: a taller picture is
    // limited by the height, a wider one by the width.
    if (int64_t(pictureHeight) * areaWidth >= int64_t(pictureWidth) * areaHeight) {
        int w = static_cast<int>(int64_t(areaHeight) * pictureWidth / pictureHeight);
        rect->left = (areaWidth - w) / 2;
        rect->top = 0;
        rect->right = rect->left + w;
        rect->bottom = areaHeight;
    } else {
        int h = static_cast<int>(int64_t(areaWidth) * pictureHeight / pictureWidth);
        rect->left = 0;
        rect->right = areaWidth;
        rect->top = (areaHeight - h) / 2;
        rect->bottom = rect->top + h;
        if (areaHeight - rect->bottom < 2)
            rect->bottom = areaHeight;
    }
}

int CImageUtil::ScaleYUV420ToRGB565(const BYTE* src, int srcWidth, int srcHeight, WORD* dst, int dstWidth,
                                    int dstHeight, int rotation)
{
    if (!src || !dst || !SizeOk(srcWidth, srcHeight) || !SizeOk(dstWidth, dstHeight))
        return -1;
    // The scaled frame has the size before the turn.
    int uw = rotation & 1 ? dstHeight : dstWidth, uh = rotation & 1 ? dstWidth : dstHeight;
    size_t n = static_cast<size_t>(uw) * uh;
    BYTE* temp = new (std::nothrow) BYTE[n + 2 * ((uw + 1) / 2) * static_cast<size_t>((uh + 1) / 2)];
    if (!temp)
        return -2;
    GFrameInfo from = CameraFrame420(src, srcWidth, srcHeight);
    size_t quarter = static_cast<size_t>((uw + 1) / 2) * ((uh + 1) / 2);
    GFrameInfo scaled{temp, temp + n + quarter, temp + n, static_cast<WORD>(uw), static_cast<WORD>(uh), {0, 0, 0}};
    int result = gScaleFrame(&from, &scaled, 0, 0);
    if (result == 0)
        result = gYUV420toRGB16Rotate(&scaled, dst, dstWidth, dstHeight, 0, 0, 0, 0, uw, uh, rotation);
    delete[] temp;
    return result;
}

HBITMAP CImageUtil::HBITMAPfromYUV420(const BYTE* src, int srcWidth, int srcHeight, int width, int height,
                                      int rotation)
{
    if (!src || !SizeOk(srcWidth, srcHeight))
        return nullptr;
    std::vector<WORD> packed;
    try {
        packed.resize(static_cast<size_t>(width > 0 ? width : 0) * (height > 0 ? height : 0));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    void* bits = nullptr;
    HBITMAP bm = CreateRGB565(width, height, true, &bits);
    if (!bm)
        return nullptr;
    if (ScaleYUV420ToRGB565(src, srcWidth, srcHeight, packed.data(), width, height, rotation) != 0) {
        DeleteObject(bm);
        return nullptr;
    }
    CopyRows16(packed.data(), bits, width, height);
    return bm;
}

HBITMAP CImageUtil::HBITMAPfromYUV420ScaleZoomed(const BYTE* src, int srcWidth, int srcHeight, int regionWidth,
                                                 int regionHeight, int outWidth, int outHeight, int rotation)
{
    if (!SizeOk(outWidth, outHeight))
        return nullptr;
    size_t n = static_cast<size_t>(outWidth) * outHeight;
    BYTE* work = new (std::nothrow) BYTE[n + n / 2];
    if (!work) {
        LogFailure(__LINE__, L"CImageUtil::HBITMAPfromYUV420ScaleZoomed", L"pReviewBuffer is NULL...\n\r");
        return nullptr;
    }
    HBITMAP bm = nullptr;
    if (IUYUV420RszRot(src, srcWidth, srcHeight, regionWidth, regionHeight, work, outWidth, outHeight, 0) == 1)
        bm = HBITMAPfromYUV420(work, outWidth, outHeight, outWidth, outHeight, rotation);
    delete[] work;
    return bm;
}

int CImageUtil::YUV422ToBGR565(const BYTE* src, int width, int height, WORD* dst, int rotation)
{
    if (!src || !dst || !SizeOk(width, height) || width > 0x7FFF || height > 0x7FFF)
        return -1;
    GFrameInfo frame = Frame422(src, width, height);
    int tw = rotation & 1 ? height : width, th = rotation & 1 ? width : height;
    return gYUV422HPlanartoBGR565TopDown_Rotate(&frame, dst, 0, 0, tw, static_cast<SHORT>(-th), 0, 0, width,
                                                height, static_cast<BYTE>(rotation & 0xFF));
}

HBITMAP CImageUtil::HBITMAPfromYUV422(const BYTE* src, int width, int height, int rotation)
{
    if (!src || !SizeOk(width, height))
        return nullptr;
    int tw = rotation & 1 ? height : width, th = rotation & 1 ? width : height;
    std::vector<WORD> packed(static_cast<size_t>(tw) * th);
    if (YUV422ToBGR565(src, width, height, packed.data(), rotation) != 0)
        return nullptr;
    void* bits = nullptr;
    HBITMAP bm = CreateRGB565(tw, th, false, &bits);
    if (bm)
        CopyRows16(packed.data(), bits, tw, th);
    return bm;
}

int CImageUtil::YUV422ToRGB888(const BYTE* src, int width, int height, BYTE* dst, DWORD flag)
{
    if (!src || !dst || !SizeOk(width, height))
        return -1;
    GFrameInfo frame = Frame422(src, width, height);
    return gYUV422HPlanartoRGB888TopDown(&frame, dst, static_cast<WORD>(width), static_cast<WORD>(height), flag);
}

HBITMAP CImageUtil::HBITMAPfromYUV422RGB888(const BYTE* src, int width, int height, DWORD flag)
{
    if (!src || !SizeOk(width, height))
        return nullptr;
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_BITFIELDS, static_cast<DWORD>(width * height * 3),
            0, 0, 0, 0},
           {0x0000FF, 0x00FF00, 0xFF0000}};  // red in the lowest byte
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bm && YUV422ToRGB888(src, width, height, static_cast<BYTE*>(bits), flag) != 0) {
        DeleteObject(bm);
        return nullptr;
    }
    return bm;
}

int CImageUtil::RotateFrame(const BYTE* src, BYTE* dst, int width, int height, int rotation, BOOL yuv)
{
    if (!src || !dst || !SizeOk(width, height))
        return -1;
    int tw = rotation & 1 ? height : width, th = rotation & 1 ? width : height;
    if (!yuv)
        return gRotateRGB16(reinterpret_cast<const WORD*>(src), reinterpret_cast<WORD*>(dst), width, height, 0, 0,
                            width, height, 0, 0, tw, th, rotation);
    GFrameInfo from = CameraFrame420(src, width, height);
    GFrameInfo to = CameraFrame420(dst, tw, th);
    return gRotateFrame(&from, &to, rotation);
}
