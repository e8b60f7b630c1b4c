#include "skin_scroll_bar.h"

#include <algorithm>
#include <cmath>

#include "dialog_messages.h"
#include "layout_manager.h"
#include "skin_draw.h"

CSkinScrollBar::~CSkinScrollBar()
{
    skin::Free(m_track);
    skin::Free(m_thumbBitmap);
}

void CSkinScrollBar::LoadBitmaps()
{
    if (!m_track)
        m_track = skin::Load(kTrackId);
    if (!m_thumbBitmap)
        m_thumbBitmap = skin::Load(kThumbId);
}

RECT CSkinScrollBar::TrackRect() const
{
    POINT at{};
    SIZE size{};
    CLayoutManager* layout = CLayoutManager::GetInstance();
    if (!layout->GetPosition(kTrackId, &at) || !layout->GetSize(kTrackId, &size))
        return RECT{};
    // The layout places the track on the dialog; the bar draws in its own client area.
    POINT origin{0, 0};
    if (m_hWnd) {
        ::ClientToScreen(m_hWnd, &origin);
        ::ScreenToClient(::GetParent(m_hWnd), &origin);
    }
    return RECT{at.x - origin.x, at.y - origin.y, at.x - origin.x + size.cx, at.y - origin.y + size.cy};
}

void CSkinScrollBar::UpdateThumb()
{
    int pages = m_paging ? m_paging->positionCount : 1;
    int current = m_paging ? m_paging->position : 0;
    m_thumb = SkinThumbFor(TrackRect(), pages, current);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CSkinScrollBar::Draw(HDC dc) const
{
    RECT track = TrackRect();
    skin::Draw(dc, m_track, track, true);
    RECT thumb{m_thumb.left, track.top + static_cast<int>(std::lround(m_thumb.top)), m_thumb.right,
               track.top + static_cast<int>(std::lround(m_thumb.bottom))};
    skin::Draw(dc, m_thumbBitmap, thumb, false);
}

void CSkinScrollBar::Forward(UINT message, WPARAM wParam, LPARAM lParam) const
{
    if (!m_grid)
        return;
    POINT at{};
    CLayoutManager::GetInstance()->GetPosition(kBarId, &at);
    int x = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))) + at.x;
    int y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
    ::SendMessageW(m_grid, message, wParam, MAKELPARAM(x, y));
}

BOOL CSkinScrollBar::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    int y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
    switch (message) {
    case WM_LBUTTONDOWN:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        ::SetCapture(hwnd);
        m_dragging = true;
        m_lastY = y;
        Forward(message, wParam, lParam);
        result = 0;
        return TRUE;
    case WM_MOUSEMOVE:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        if (m_dragging) {
            RECT track = TrackRect();
            double height = m_thumb.bottom - m_thumb.top;
            double limit = std::max(0.0, (track.bottom - track.top) - height);
            double top = std::clamp(m_thumb.top + (y - m_lastY), 0.0, limit);
            m_thumb.top = top;
            m_thumb.bottom = top + height;
            m_lastY = y;
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        Forward(message, wParam, lParam);
        result = 0;
        return TRUE;
    case WM_LBUTTONUP:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        if (m_dragging) {
            m_dragging = false;
            RECT track = TrackRect();
            int pages = m_paging ? m_paging->positionCount : 1;
            int page = SkinPageAt(m_thumb.top, track.bottom - track.top, pages);
            if (m_grid)
                ::SendMessageW(m_grid, WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, page), reinterpret_cast<LPARAM>(hwnd));
        }
        if (::GetCapture() == hwnd)
            ::ReleaseCapture();
        Forward(message, wParam, lParam);
        result = 0;
        return TRUE;
    case WM_LBUTTONDBLCLK:
        result = 0;
        return TRUE;
    case WM_KEYDOWN:
        if ((wParam >= VK_LEFT && wParam <= VK_DOWN) || wParam == 0x72 || wParam == 0x73 || wParam == 0x86 ||
            wParam == 0xC3) {
            ::SendMessageW(::GetParent(hwnd), WM_KEYDOWN, wParam, lParam);
            result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        LoadBitmaps();
        skin::PaintWindow(hwnd, ::GetSysColor(COLOR_STATIC), [this](HDC dc) { Draw(dc); });
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
