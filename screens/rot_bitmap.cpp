#include "rot_bitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "ImageUtil.h"
#include "draw_context.h"
#include "plat/fotrix.h"

namespace {

bool Turned() { return GetDisplayOrientationCode() == DMDO_0; }

// Selects a bitmap into a fresh memory DC for the life of the object.
class MemoryDc {
public:
    explicit MemoryDc(HGDIOBJ bitmap) : dc_(CreateCompatibleDC(nullptr))
    {
        if (dc_ && bitmap)
            old_ = SelectObject(dc_, bitmap);
    }
    ~MemoryDc()
    {
        if (dc_) {
            if (old_)
                SelectObject(dc_, old_);
            DeleteDC(dc_);
        }
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }
    bool ok() const { return dc_ && old_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

struct Dib16 {
    uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
    bool bottomUp = true;
    bool rgb555 = false;

    uint16_t* Row(int imageRow) const
    {
        int memRow = bottomUp ? height - 1 - imageRow : imageRow;
        return reinterpret_cast<uint16_t*>(bits + static_cast<size_t>(memRow) * stride);
    }
};

bool ReadDib16(HBITMAP bitmap, Dib16& out)
{
    DIBSECTION ds{};
    if (!bitmap || GetObjectW(bitmap, sizeof(ds), &ds) != static_cast<int>(sizeof(ds)))
        return false;
    if (ds.dsBm.bmBitsPixel != 16 || !ds.dsBm.bmBits)
        return false;
    out.bits = static_cast<uint8_t*>(ds.dsBm.bmBits);
    out.width = ds.dsBm.bmWidth;
    out.height = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
    out.stride = ds.dsBm.bmWidthBytes;
    out.bottomUp = ds.dsBmih.biHeight > 0;
    out.rgb555 = ds.dsBmih.biCompression == BI_RGB ||
                 (ds.dsBitfields[0] == 0x7C00 && ds.dsBitfields[1] == 0x03E0 && ds.dsBitfields[2] == 0x001F);
    return true;
}

// The 15-bit word of a colour in a 555 bitmap: red in bits 10 to 14.
uint16_t To555(COLORREF c)
{
    unsigned r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
}

void DeleteBitmap(HBITMAP& bitmap)
{
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = nullptr;
}

void LogNoBitmap()
{
    OutputDebugStringW(plat::kDebugLinePrefix);
    OutputDebugStringW(L"Error:0-line(CRotBitmap::GetBitmap||.\\RotBitmap)\r\n    -> ");
    OutputDebugStringW(L"m_Bitmap.IsNull()...\n\r");
}

// Source region of a layout rectangle inside a stored (turned) bitmap.
void TurnSource(const CRotBitmap* bitmap, int& srcX, int& srcY, int& srcW, int& srcH)
{
    SIZE size = const_cast<CRotBitmap*>(bitmap)->GetSize();
    int x = size.cy - srcH - srcY, y = srcX;
    srcX = x;
    srcY = y;
    std::swap(srcW, srcH);
}

void TurnDestination(int W, int& x, int& y, int& w, int& h)
{
    RECT r{x, y, x + w, y + h};
    CDrawContext::RotateRect(&r, W);
    x = r.left;
    y = r.top;
    w = r.right - r.left;
    h = r.bottom - r.top;
}

}  // namespace

HBITMAP CopyToDib16(HBITMAP source)
{
    BITMAP info{};
    if (!source || !GetObjectW(source, sizeof(info), &info))
        return nullptr;
    int w = info.bmWidth, h = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    HBITMAP copy = CImageUtil::CreateDIB(w, h, 16, nullptr, FALSE);
    if (!copy)
        return nullptr;
    bool copied;
    {
        MemoryDc from(source), to(copy);
        copied = from.ok() && to.ok() && BitBlt(to.get(), 0, 0, w, h, from.get(), 0, 0, SRCCOPY);
    }
    if (!copied)
        DeleteBitmap(copy);
    return copy;
}

CRotBitmap::~CRotBitmap() { DeleteBitmap(m_Bitmap); }

void CRotBitmap::CreateInstance(CeRefPtr<CRotBitmap>& ptr, bool create)
{
    if (!create)
        return;
    ptr = new (std::nothrow) CRotBitmap();
}

void CRotBitmap::Replace(HBITMAP bitmap)
{
    if (m_Bitmap != bitmap)
        DeleteBitmap(m_Bitmap);
    m_Bitmap = bitmap;
    m_nWidth = m_nHeight = 0;
}

int CRotBitmap::GetBitmap(BITMAP* out)
{
    if (!m_Bitmap) {
        LogNoBitmap();
        return 0;
    }
    BITMAP info{};
    int result = GetObjectW(m_Bitmap, sizeof(info), &info);
    if (result && Turned())
        std::swap(info.bmWidth, info.bmHeight);
    if (out)
        *out = info;
    return result;
}

SIZE CRotBitmap::GetSize(SIZE* out)
{
    if (m_nWidth == 0 && m_nHeight == 0) {
        BITMAP info{};
        if (GetBitmap(&info)) {
            m_nWidth = info.bmWidth;
            m_nHeight = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        }
    }
    SIZE size{m_nWidth, m_nHeight};
    if (out)
        *out = size;
    return size;
}

int CRotBitmap::GetRect(RECT* out)
{
    int result = 1;
    if (m_nWidth == 0 && m_nHeight == 0) {
        BITMAP info{};
        result = GetBitmap(&info);
        GetSize();
    }
    if (out)
        *out = RECT{0, 0, m_nWidth, m_nHeight};
    return result;
}

BOOL CRotBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
{
    if (Turned())
        std::swap(width, height);
    Replace(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
    return m_Bitmap != nullptr;
}

BOOL CRotBitmap::CreateDIB(int width, int height, void** bits)
{
    if (Turned())
        std::swap(width, height);
    Replace(CImageUtil::CreateDIB(width, height, 16, nullptr, TRUE));
    if (bits) {
        DIBSECTION ds{};
        *bits = m_Bitmap && GetObjectW(m_Bitmap, sizeof(ds), &ds) ? ds.dsBm.bmBits : nullptr;
    }
    return m_Bitmap != nullptr;
}

void CRotBitmap::SetHandle(HBITMAP bitmap) { Replace(bitmap); }

BOOL CRotBitmap::SetBitmap(HBITMAP source, BOOL turn, BOOL deleteSource)
{
    if (!source) {
        Replace(nullptr);
        return FALSE;
    }
    // Copy first and replace after, so a copy of the held bitmap keeps it.
    HBITMAP copy = CopyToDib16(source);
    if (deleteSource && source != m_Bitmap)
        DeleteObject(source);
    if (copy && turn && Turned()) {
        // The copy is a bottom-up section: the imaging turn is clockwise on it.
        HBITMAP turned = CImageUtil::RotateBitmap90(copy);
        DeleteObject(copy);
        copy = turned;
    }
    Replace(copy);
    return m_Bitmap != nullptr;
}

BOOL CRotBitmap::LoadBitmap(UINT resourceId)
{
    HBITMAP loaded = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
    if (!loaded)
        return FALSE;
    return SetBitmap(loaded, TRUE, TRUE);
}

BOOL BitBltBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int srcX, int srcY, DWORD rop)
{
    MemoryDc src(bitmap);
    if (!src.ok())
        return FALSE;
    return BitBlt(dc, x, y, w, h, src.get(), srcX, srcY, rop);
}

BOOL StretchBltBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int srcX, int srcY, int srcW, int srcH,
                      DWORD rop)
{
    MemoryDc src(bitmap);
    if (!src.ok())
        return FALSE;
    return StretchBlt(dc, x, y, w, h, src.get(), srcX, srcY, srcW, srcH, rop);
}

BOOL RotBitBlt(HDC dc, int W, int, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY, DWORD rop)
{
    if (!bitmap || !bitmap->Handle())
        return FALSE;
    if (Turned()) {
        int srcW = w, srcH = h;
        TurnDestination(W, x, y, w, h);
        TurnSource(bitmap, srcX, srcY, srcW, srcH);
    }
    return BitBltBitmap(dc, x, y, w, h, bitmap->Handle(), srcX, srcY, rop);
}

BOOL RotStretchBlt(HDC dc, int W, int, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY,
                   int srcW, int srcH, DWORD rop)
{
    if (!bitmap || !bitmap->Handle())
        return FALSE;
    if (Turned()) {
        TurnDestination(W, x, y, w, h);
        TurnSource(bitmap, srcX, srcY, srcW, srcH);
    }
    return StretchBltBitmap(dc, x, y, w, h, bitmap->Handle(), srcX, srcY, srcW, srcH, rop);
}

BOOL RotTransparentImage(HDC dc, int W, int, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY,
                         int srcW, int srcH, COLORREF key)
{
    if (!bitmap || !bitmap->Handle())
        return FALSE;
    if (Turned()) {
        TurnDestination(W, x, y, w, h);
        TurnSource(bitmap, srcX, srcY, srcW, srcH);
    }
    return TransparentImage(dc, x, y, w, h, bitmap->Handle(), srcX, srcY, srcW, srcH, key);
}

int RotStretchDIBits(HDC dc, int W, int x, int y, int w, int h, const void* bits, int bitsWidth, int bitsHeight,
                     DWORD rop)
{
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = bitsWidth;
    info.header.biHeight = -bitsHeight;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    RECT r{x, y, x + w, y + h};
    CDrawContext::RotateRect(&r, W);
    return StretchDIBits(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, bitsWidth, bitsHeight, bits,
                         reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS, rop);
}

BOOL CopyFrameForPanel(const WORD* src, LONG w, LONG h, WORD* dst)
{
    if (!src || !dst || w <= 0 || h <= 0)
        return FALSE;
    if (!Turned()) {
        std::memcpy(dst, src, static_cast<size_t>(w) * static_cast<size_t>(h) * sizeof(WORD));
        return TRUE;
    }
    // Code 1 of the platform's rotation is the clockwise quarter turn.
    return gRotateRGB16(src, dst, w, h, 0, 0, 0, 0, 0, 0, h, w, 1) == 0;
}

int DrawFrameForPanel(HDC dc, int W, const RECT& at, const WORD* bits, LONG w, LONG h)
{
    const bool turned = Turned();
    return RotStretchDIBits(dc, W, at.left, at.top, at.right - at.left, at.bottom - at.top, bits,
                            turned ? h : w, turned ? w : h, SRCCOPY);
}

BOOL RotAlphaBlend(HDC dc, int W, int x, int y, int w, int h, HDC src, int srcW, int srcH, BLENDFUNCTION blend)
{
    if (Turned()) {
        int nx = W - y - h, ny = x;
        x = nx;
        y = ny;
        std::swap(w, h);
        std::swap(srcW, srcH);
    }
    return AlphaBlend(dc, x, y, w, h, src, 0, 0, srcW, srcH, blend);
}

BOOL RotAlphaBlendBitmap(HDC dc, int W, int x, int y, int w, int h, CRotBitmap* bitmap, BYTE alpha)
{
    if (!bitmap || !bitmap->Handle())
        return FALSE;
    MemoryDc src(bitmap->Handle());
    if (!src.ok())
        return FALSE;
    SIZE size = bitmap->GetSize();
    BLENDFUNCTION blend{AC_SRC_OVER, 0, alpha, 0};
    return RotAlphaBlend(dc, W, x, y, w, h, src.get(), std::min<int>(w, size.cx), std::min<int>(h, size.cy),
                         blend);
}

BOOL RotBlendImage(HDC dc, int W, int x, int y, int w, int h, CRotBitmap* bitmap, COLORREF transparent,
                   COLORREF blend)
{
    if (!bitmap || !bitmap->Handle())
        return FALSE;
    SIZE size = bitmap->GetSize();
    w = std::min<int>(w, size.cx);
    h = std::min<int>(h, size.cy);
    if (w <= 0 || h <= 0)
        return FALSE;
    const bool turned = GetDisplayOrientationCode() != DMDO_270;
    int srcX = 0, srcY = 0;
    if (turned) {
        int srcW = w, srcH = h;
        TurnSource(bitmap, srcX, srcY, srcW, srcH);
        int nx = W - y - h, ny = x;
        x = nx;
        y = ny;
        std::swap(w, h);
    }
    Dib16 image;
    if (!ReadDib16(bitmap->Handle(), image) || !image.rgb555) {
        if (!bitmap->SetBitmap(bitmap->Handle(), FALSE, FALSE) || !ReadDib16(bitmap->Handle(), image))
            return FALSE;
    }
    HBITMAP background = CImageUtil::CreateDIB(w, h, 16, nullptr, FALSE);
    Dib16 back;
    if (!ReadDib16(background, back)) {
        DeleteBitmap(background);
        return FALSE;
    }
    BOOL result = FALSE;
    {
        MemoryDc work(background);
        if (work.ok() && BitBlt(work.get(), 0, 0, w, h, dc, x, y, SRCCOPY)) {
            const uint16_t key = To555(transparent), half = To555(blend);
            for (int row = 0; row < h && srcY + row < image.height; ++row) {
                const uint16_t* s = image.Row(srcY + row) + srcX;
                uint16_t* d = back.Row(row);
                for (int col = 0; col < w && srcX + col < image.width; ++col) {
                    const uint16_t p = s[col] & 0x7FFF;
                    if (p == key)
                        continue;
                    if (p == half) {
                        const uint16_t q = d[col];
                        d[col] = static_cast<uint16_t>(((((p >> 10) & 31) >> 1) + (((q >> 10) & 31) >> 1)) << 10 |
                                                       ((((p >> 5) & 31) >> 1) + (((q >> 5) & 31) >> 1)) << 5 |
                                                       (((p & 31) >> 1) + ((q & 31) >> 1)));
                    } else {
                        d[col] = p;
                    }
                }
            }
            result = BitBlt(dc, x, y, w, h, work.get(), 0, 0, SRCCOPY);
        }
    }
    DeleteBitmap(background);
    return result;
}

BOOL RotTextOut(HDC dc, int W, POINT point, LPCWSTR text, int length)
{
    if (!text)
        return FALSE;
    if (length < 0)
        length = static_cast<int>(std::wcslen(text));
    CDrawContext::RotatePoint(&point, W);
    return ExtTextOutW(dc, point.x, point.y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

BOOL RotDrawText(HDC dc, int W, const RECT* rect, LPCWSTR text, int length, UINT flags)
{
    if (!rect || !text)
        return FALSE;
    if (length < 0)
        length = static_cast<int>(std::wcslen(text));
    UINT oldAlign = SetTextAlign(dc, 0);
    int x = rect->left, y = rect->top;
    if (flags) {
        RECT measured{0, 0, 0, 0};
        DrawTextW(dc, text, length, &measured, DT_CALCRECT);
        int tw = measured.right - measured.left, th = measured.bottom - measured.top;
        if (flags & 1)
            x = rect->left + (rect->right - rect->left - tw) / 2;
        else if (flags & 2)
            x = rect->right - tw;
        if (flags & 4)
            y = rect->top + (rect->bottom - rect->top - th) / 2;
        else if (flags & 8)
            y = rect->bottom - th;
    }
    POINT at{x, y};
    CDrawContext::RotatePoint(&at, W);
    BOOL result = ExtTextOutW(dc, at.x, at.y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
    if (oldAlign != GDI_ERROR)
        SetTextAlign(dc, oldAlign);
    return result;
}

BOOL RotDrawText(HDC dc, int W, int, const RECT* rect, LPCWSTR text, int length, UINT flags)
{
    return RotDrawText(dc, W, rect, text, length, flags);
}

BOOL RotDrawFrame(HDC dc, int W, const RECT* rect, int penWidth, COLORREF colour)
{
    if (!rect)
        return FALSE;
    RECT r = *rect;
    CDrawContext::RotateRect(&r, W);
    HPEN pen = CreatePen(PS_SOLID, penWidth, colour);
    if (!pen)
        return FALSE;
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    BOOL result = Rectangle(dc, r.left, r.top, r.right, r.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    return result;
}
