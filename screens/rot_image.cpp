#include <algorithm>

#include "ImageFactory.h"
#include "draw_context.h"
#include "rot_bitmap.h"

namespace {

// A quarter turn clockwise through the factory's bitmap operations; the
// turned image, or null (the source is left to the caller).
IImage* Turned(IImage* image)
{
    IBasicBitmapOps* ops = nullptr;
    if (!CeImageFactory::GetInstance()->CreateScaledBitmap(image, &ops) || !ops)
        return nullptr;
    IBitmapImage* turned = nullptr;
    HRESULT hr = ops->Rotate(90.0f, InterpolationHintDefault, &turned);
    ops->Release();
    if (FAILED(hr) || !turned)
        return nullptr;
    IImage* result = nullptr;
    turned->QueryInterface(IID_IImage, reinterpret_cast<void**>(&result));
    turned->Release();
    return result;
}

}  // namespace

CRotImage::~CRotImage() { Keep(nullptr); }

void CRotImage::Keep(IImage* image)
{
    if (m_pImage)
        m_pImage->Release();
    m_pImage = image;
    m_nWidth = m_nHeight = 0;
    // The imaging stand-in draws in pixel units: one unit per pixel.
    m_dPerPixel = 1.0;
}

SIZE CRotImage::GetSize(SIZE* out)
{
    if (m_pImage && m_nWidth == 0 && m_nHeight == 0) {
        ImageInfo info{};
        if (SUCCEEDED(m_pImage->GetImageInfo(&info))) {
            m_nWidth = static_cast<int>(info.Width);
            m_nHeight = static_cast<int>(info.Height);
            if (GetDisplayOrientationCode() == DMDO_0)
                std::swap(m_nWidth, m_nHeight);
        }
    }
    SIZE size{m_nWidth, m_nHeight};
    if (out)
        *out = size;
    return size;
}

int CRotImage::GetRect(RECT* out)
{
    SIZE size = GetSize();
    if (out)
        *out = RECT{0, 0, size.cx, size.cy};
    return m_pImage != nullptr;
}

BOOL CRotImage::SetBitmap(HBITMAP bitmap, BOOL turn, BOOL deleteSource)
{
    if (!bitmap) {
        Keep(nullptr);
        return FALSE;
    }
    HBITMAP copy = CopyToDib16(bitmap);
    if (deleteSource)
        DeleteObject(bitmap);
    IImage* image = nullptr;
    if (copy) {
        CeImageFactory::GetInstance()->CreateImageFromDIB(copy, &image);
        DeleteObject(copy);
    }
    if (!image) {
        Keep(nullptr);  // the factory made none: nothing is held
        return FALSE;
    }
    if (turn && GetDisplayOrientationCode() == DMDO_0) {
        IImage* turned = Turned(image);
        image->Release();
        if (!turned) {
            Keep(nullptr);
            return FALSE;
        }
        image = turned;
    }
    Keep(image);
    return TRUE;
}

BOOL CRotImage::LoadFromFile(LPCWSTR path)
{
    IImage* image = nullptr;
    if (!CeImageFactory::GetInstance()->LoadImageFromFile(path, &image, TRUE) || !image) {
        if (image)
            image->Release();
        return FALSE;
    }
    if (GetDisplayOrientationCode() == DMDO_0) {
        IImage* turned = Turned(image);
        image->Release();
        if (!turned)
            return FALSE;
        image = turned;
    }
    Keep(image);
    return TRUE;
}

BOOL RotDrawImage(HDC dc, int W, int, int x, int y, int w, int h, CRotImage* image, int srcX, int srcY, int srcW,
                  int srcH)
{
    if (!image || !image->Image())
        return FALSE;
    if (GetDisplayOrientationCode() == DMDO_0) {
        RECT r{x, y, x + w, y + h};
        CDrawContext::RotateRect(&r, W);
        x = r.left;
        y = r.top;
        w = r.right - r.left;
        h = r.bottom - r.top;
        const SIZE size = image->GetSize();
        const int sx = size.cy - srcH - srcY, sy = srcX;
        srcX = sx;
        srcY = sy;
        std::swap(srcW, srcH);
    }
    // Origin and extents in one unit, so the region drawn is the one asked for.
    const double k = image->PhysicalPerPixel();
    RECT dst{x, y, x + w, y + h};
    const int sx = static_cast<int>(srcX * k), sy = static_cast<int>(srcY * k);
    RECT src{sx, sy, sx + static_cast<int>(srcW * k), sy + static_cast<int>(srcH * k)};
    return SUCCEEDED(image->Image()->Draw(dc, &dst, &src));
}
