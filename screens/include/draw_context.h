// The record every screen layer and control paints through: the target DC
// with the surface size and the layout size, so that layout coordinates can
// be turned onto the panel when it stands in its native orientation.
#pragma once

#include "plat/windows.h"

// The display orientation code (DMDO 0, 1, 2 or 4); 0: the landscape layout
// is turned a quarter turn onto the portrait panel.
DWORD GetDisplayOrientationCode();

class CRotBitmap;

class CDrawContext {
public:
    explicit CDrawContext(const SIZE* layoutSize = nullptr);

    void Attach(HDC dc);
    void Destroy();
    HGDIOBJ SelectBitmap(HBITMAP bitmap);
    void FillRect(const RECT* rect, COLORREF colour);
    void DrawBitmap(int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY, int srcW, int srcH,
                    COLORREF key);
    void DrawText(int x, int y, LPCWSTR text, int length);

    // Layout to surface: (l, t, r, b) -> (W - b, l, W - t, r) at code 0,
    // unchanged at any other code.
    static void RotateRect(RECT* rect, int layoutWidth);
    static void RotatePoint(POINT* point, int layoutWidth);

    HDC m_hDC = nullptr;
    int m_nSurfaceWidth = 0;
    int m_nSurfaceHeight = 0;
    int m_nReserved = 0;
    int m_nLayoutWidth = 0;
    int m_nLayoutHeight = 0;
};
