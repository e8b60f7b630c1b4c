#include "draw_context.h"

#include "rot_bitmap.h"
#include "system.h"

DWORD GetDisplayOrientationCode()
{
    DEVMODEW mode{};
    return CSystem::GetInstance()->GetDisplayOrientation(mode);
}

CDrawContext::CDrawContext(const SIZE* layoutSize)
{
    if (layoutSize) {
        m_nLayoutWidth = layoutSize->cx;
        m_nLayoutHeight = layoutSize->cy;
    } else {
        GetDisplayOrientationCode();
        m_nLayoutWidth = CSystem::GetInstance()->ScreenWidth();
        m_nLayoutHeight = CSystem::GetInstance()->ScreenHeight();
    }
}

void CDrawContext::Attach(HDC dc)
{
    *this = CDrawContext(nullptr);
    m_hDC = dc;
    m_nSurfaceWidth = m_nLayoutWidth;
    m_nSurfaceHeight = m_nLayoutHeight;
}

void CDrawContext::Destroy()
{
    if (m_hDC) {
        DeleteDC(m_hDC);
        m_hDC = nullptr;
    }
}

HGDIOBJ CDrawContext::SelectBitmap(HBITMAP bitmap)
{
    if (GetDisplayOrientationCode() == DMDO_0) {
        BITMAP info{};
        if (GetObjectW(bitmap, sizeof(info), &info)) {
            m_nSurfaceWidth = info.bmWidth;
            m_nSurfaceHeight = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
        }
    }
    return SelectObject(m_hDC, bitmap);
}

void CDrawContext::FillRect(const RECT* rect, COLORREF colour)
{
    if (!rect)
        return;
    RECT r = *rect;
    RotateRect(&r, m_nSurfaceWidth);
    COLORREF previous = SetBkColor(m_hDC, colour);
    if (previous == CLR_INVALID)
        return;
    ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(m_hDC, previous);
}

void CDrawContext::DrawBitmap(int x, int y, int w, int h, CRotBitmap* bitmap, int srcX, int srcY, int srcW,
                              int srcH, COLORREF key)
{
    if (!bitmap || !bitmap->Handle())
        return;
    RotTransparentImage(m_hDC, m_nSurfaceWidth, m_nSurfaceHeight, x, y, w, h, bitmap, srcX, srcY, srcW, srcH, key);
}

void CDrawContext::DrawText(int x, int y, LPCWSTR text, int length)
{
    int W = GetDisplayOrientationCode() == DMDO_0 ? m_nSurfaceWidth : m_nSurfaceHeight;
    RotTextOut(m_hDC, W, POINT{x, y}, text, length);
}

void CDrawContext::RotateRect(RECT* rect, int W)
{
    if (!rect || GetDisplayOrientationCode() != DMDO_0)
        return;
    RECT r = *rect;
    *rect = RECT{W - r.bottom, r.left, W - r.top, r.right};
}

void CDrawContext::RotatePoint(POINT* point, int W)
{
    if (!point || GetDisplayOrientationCode() != DMDO_0)
        return;
    POINT p = *point;
    *point = POINT{W - p.y, p.x};
}
