// Bitmaps kept already turned for the panel, and the draw helpers that map
// layout rectangles onto it by the same rule (see CDrawContext::RotateRect).
// At orientation code 0 a bitmap of layout size w x h is stored h x w:
// layout pixel (x, y) sits at stored (h - 1 - y, x).
#pragma once

#include "ce_ref_count.h"
#include "plat/windows.h"

class CRotBitmap : public CeRefCount {
public:
    CRotBitmap() = default;
    ~CRotBitmap() override;

    // A new bitmap object with one reference held by ptr, which drops the one it held.
    static void CreateInstance(CeRefPtr<CRotBitmap>& ptr, bool create = true);

    DWORD GetUserData() const override { return m_dwUserData; }
    void SetUserData(DWORD data) { m_dwUserData = data; }

    // GetObject of the bitmap in layout terms; 0 without a bitmap.
    int GetBitmap(BITMAP* out);
    // The layout size, read once.
    SIZE GetSize(SIZE* out = nullptr);
    int GetRect(RECT* out);
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
    BOOL CreateDIB(int width, int height, void** bits);
    void SetHandle(HBITMAP bitmap);
    BOOL SetBitmap(HBITMAP source, BOOL turn, BOOL deleteSource);
    BOOL Attach(HBITMAP source, BOOL deleteSource) { return SetBitmap(source, TRUE, deleteSource); }
    BOOL CopyFrom(const CRotBitmap& other) { return SetBitmap(other.m_Bitmap, FALSE, FALSE); }
    BOOL LoadBitmap(UINT resourceId);

    HBITMAP Handle() const { return m_Bitmap; }

private:
    void Replace(HBITMAP bitmap);

    HBITMAP m_Bitmap = nullptr;
    DWORD m_dwUserData = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
};

// A 16-bit (RGB555) bottom-up copy of a bitmap; null on failure.
HBITMAP CopyToDib16(HBITMAP source);

BOOL BitBltBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int srcX, int srcY, DWORD rop);
BOOL StretchBltBitmap(HDC dc, int x, int y, int w, int h, HBITMAP bitmap, int srcX, int srcY, int srcW, int srcH,
                      DWORD rop);
BOOL RotBitBlt(HDC dc, int W, int H, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY, DWORD rop);
BOOL RotStretchBlt(HDC dc, int W, int H, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY,
                   int srcW, int srcH, DWORD rop);
BOOL RotTransparentImage(HDC dc, int W, int H, int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY,
                         int srcW, int srcH, COLORREF key);
// Raw RGB565 pixels (bitsWidth x bitsHeight, rows top-down) into a layout rectangle.
int RotStretchDIBits(HDC dc, int W, int x, int y, int w, int h, const void* bits, int bitsWidth, int bitsHeight,
                     DWORD rop);
// Frame pixels (RGB565, w x h, rows top-down) as the panel takes them: the
// same at codes other than 0, turned a quarter turn clockwise at code 0 (dst
// then holds h x w, as a turned bitmap does). False when they cannot be turned.
BOOL CopyFrameForPanel(const WORD* src, LONG w, LONG h, WORD* dst);
// Such a copy of a w x h frame stretched into a layout rectangle.
int DrawFrameForPanel(HDC dc, int W, const RECT& at, const WORD* bits, LONG w, LONG h);
BOOL RotAlphaBlend(HDC dc, int W, int x, int y, int w, int h, HDC src, int srcW, int srcH, BLENDFUNCTION blend);
BOOL RotAlphaBlendBitmap(HDC dc, int W, int x, int y, int w, int h, CRotBitmap* bitmap, BYTE alpha);
// The bitmap over the background: transparent pixels leave it, blend pixels
// mix half and half with it, every other pixel replaces it.
BOOL RotBlendImage(HDC dc, int W, int x, int y, int w, int h, CRotBitmap* bitmap, COLORREF transparent,
                   COLORREF blend);
// flags: 1 centre, else 2 right; 4 middle, else 8 bottom; 0 top-left.
BOOL RotDrawText(HDC dc, int W, const RECT* rect, LPCWSTR text, int length, UINT flags);
BOOL RotDrawText(HDC dc, int W, int H, const RECT* rect, LPCWSTR text, int length, UINT flags);
BOOL RotTextOut(HDC dc, int W, POINT point, LPCWSTR text, int length);
BOOL RotDrawFrame(HDC dc, int W, const RECT* rect, int penWidth, COLORREF colour);

struct IImage;

// A decoded picture held as an imaging-library image, turned for the panel
// at orientation code 0 like CRotBitmap.
class CRotImage : public CeRefCount {
public:
    CRotImage() = default;
    ~CRotImage() override;

    // The layout size, read once from the image.
    SIZE GetSize(SIZE* out = nullptr);
    int GetRect(RECT* out);
    // False, and no image held, for a null bitmap or when no image can be made.
    BOOL SetBitmap(HBITMAP bitmap, BOOL turn, BOOL deleteSource);
    BOOL Attach(HBITMAP bitmap, BOOL deleteSource) { return SetBitmap(bitmap, TRUE, deleteSource); }
    // False, keeping the image held before, when the file cannot be decoded.
    BOOL LoadFromFile(LPCWSTR path);

    IImage* Image() const { return m_pImage; }
    double PhysicalPerPixel() const { return m_dPerPixel; }

private:
    void Keep(IImage* image);

    IImage* m_pImage = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    double m_dPerPixel = 1.0;
};

// The layout region (srcX, srcY, srcW, srcH) of the image into the layout
// rectangle (x, y, w, h); false without an image or when drawing fails.
BOOL RotDrawImage(HDC dc, int W, int H, int x, int y, int w, int h, CRotImage* image, int srcX, int srcY, int srcW,
                  int srcH);
