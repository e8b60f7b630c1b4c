#include "result_controls.h"

#include <algorithm>

#include "dialog_messages.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "scroll_thumbs.h"
#include "skin_draw.h"

namespace {

constexpr UINT kNoticePlace = 30078;
constexpr int kLabelFontHeight = 32;

bool Blocked() { return CLayoutManager::GetInstance()->IsBusy() != 0; }

POINT PenPoint(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
}

}  // namespace

bool IsPenMessage(UINT message)
{
    return message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK ||
           message == WM_MOUSEMOVE;
}

void TellParentOfPen(HWND hwnd) { ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0); }

void RedrawSiblingsAbove(HWND hwnd)
{
    RECT mine;
    ::GetWindowRect(hwnd, &mine);
    for (HWND above = ::GetWindow(hwnd, GW_HWNDPREV); above; above = ::GetWindow(above, GW_HWNDPREV)) {
        RECT r;
        ::GetWindowRect(above, &r);
        bool overlaps = r.left < mine.right && mine.left < r.right && r.top < mine.bottom && mine.top < r.bottom;
        if (::IsWindowVisible(above) && overlaps)
            ::InvalidateRect(above, nullptr, FALSE);
    }
}

// ---- CBcrCaptionWnd ----

CBcrCaptionWnd::~CBcrCaptionWnd() { skin::Free(m_background); }

void CBcrCaptionWnd::SetBackground(UINT id)
{
    skin::Free(m_background);
    m_background = skin::Load(id);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CBcrCaptionWnd::SetTextStyle(int height, int leftMargin, int rightMargin, UINT format)
{
    m_height = height;
    m_left = leftMargin;
    m_right = rightMargin;
    m_format = format;
}

BOOL CBcrCaptionWnd::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    result = 0;
    if (IsPenMessage(message)) {
        TellParentOfPen(hwnd);
        return TRUE;
    }
    switch (message) {
    case WM_KEYDOWN:
        TellParentOfPen(hwnd);
        if (wParam == VK_F4 && m_exitCommand)
            ::SendMessageW(::GetParent(hwnd), WM_COMMAND, m_exitCommand, 0);
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, RGB(255, 255, 255), [&](HDC dc) {
            RECT r;
            ::GetClientRect(hwnd, &r);
            skin::Draw(dc, m_background, r, true);
            WCHAR text[1024];
            ::GetWindowTextW(hwnd, text, 1024);
            if (!text[0])
                return;
            HFONT font = skin::MakeFont(m_height, FW_BOLD);
            HGDIOBJ old = ::SelectObject(dc, font);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(0, 0, 0));
            RECT t{r.left + m_left, r.top, r.right - m_right, r.bottom};
            ::DrawTextW(dc, text, -1, &t, m_format);
            ::SelectObject(dc, old);
            ::DeleteObject(font);
        });
        RedrawSiblingsAbove(hwnd);
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- CImageButton ----

CImageButton::~CImageButton()
{
    skin::Free(m_normal);
    skin::Free(m_pressedBitmap);
}

void CImageButton::SetBitmaps(UINT normal, UINT pressed)
{
    skin::Free(m_normal);
    skin::Free(m_pressedBitmap);
    m_normal = skin::Load(normal);
    m_pressedBitmap = skin::Load(pressed);
}

void CImageButton::Release()
{
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    m_pressed = false;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CImageButton::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (IsPenMessage(message) && message != WM_MOUSEMOVE) {
        TellParentOfPen(hwnd);
        if (Blocked())
            return TRUE;
    }
    RECT client;
    ::GetClientRect(hwnd, &client);
    POINT pt = PenPoint(lParam);
    bool inside = pt.x > client.left && pt.x < client.right && pt.y > client.top && pt.y < client.bottom;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        m_pressed = inside || message == WM_LBUTTONDBLCLK;
        if (m_pressed) {
            CHapticControl::GetInstance()->PlayEffectA();
            ::SetCapture(hwnd);
        }
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case WM_MOUSEMOVE:
        if (m_pressed && !inside)
            Release();
        return TRUE;
    case WM_LBUTTONUP:
        if (m_pressed) {
            CHapticControl::GetInstance()->PlayEffectB();
            Release();
            ::SendMessageW(::GetParent(hwnd), WM_COMMAND, m_command, 0);
        }
        return TRUE;
    case WM_KILLFOCUS:
        if (m_pressed)
            Release();
        return FALSE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, RGB(255, 255, 255), [&](HDC dc) {
            HBITMAP b = m_pressed && m_pressedBitmap ? m_pressedBitmap : m_normal;
            skin::Draw(dc, b, client, true);
        });
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- CBcrScrollBar ----

CBcrScrollBar::~CBcrScrollBar()
{
    skin::Free(m_track);
    skin::Free(m_thumb);
}

void CBcrScrollBar::LoadBitmaps()
{
    if (!m_track)
        m_track = skin::Load(kTrackId);
    if (!m_thumb)
        m_thumb = skin::Load(kThumbId);
}

void CBcrScrollBar::Paint(HWND hwnd)
{
    skin::PaintWindow(hwnd, RGB(200, 200, 200), [&](HDC dc) {
        RECT client;
        ::GetClientRect(hwnd, &client);
        skin::Draw(dc, m_track, client, false);
        skin::Draw(dc, m_track, client, true);
        SCROLLINFO si{};
        si.cbSize = sizeof si;
        si.fMask = SIF_ALL;
        if (!::GetScrollInfo(hwnd, SB_CTL, &si) || si.nMax <= si.nMin)
            return;
        RECT thumb = BcrThumbRect(client, si.nMin, si.nMax, static_cast<int>(si.nPage), si.nPos);
        skin::Draw(dc, m_thumb, thumb, false);
    });
}

BOOL CBcrScrollBar::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (IsPenMessage(message)) {
        TellParentOfPen(hwnd);
        // A drag on the bar drags what it scrolls.
        if (m_owner && message != WM_LBUTTONDBLCLK) {
            POINT pt = PenPoint(lParam);
            ::ClientToScreen(hwnd, &pt);
            ::ScreenToClient(m_owner, &pt);
            ::SendMessageW(m_owner, message, wParam, MAKELPARAM(pt.x, pt.y));
        }
        return TRUE;
    }
    switch (message) {
    case WM_KEYDOWN:
        ::SendMessageW(::GetParent(hwnd), WM_KEYDOWN, wParam, lParam);
        return TRUE;
    case SBM_SETSCROLLINFO:
        result = DefWindowProc(message, wParam, lParam);
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        Paint(hwnd);
        return TRUE;
    default:
        return FALSE;
    }
}

void InvalidateChildren(HWND dialog)
{
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::IsWindowVisible(child))
            ::InvalidateRect(child, nullptr, FALSE);
}

RECT LayoutPlace(UINT id)
{
    POINT at{};
    SIZE size{};
    CLayoutManager* layout = CLayoutManager::GetInstance();
    layout->GetPosition(id, &at);
    layout->GetSize(id, &size);
    return RECT{at.x, at.y, at.x + size.cx, at.y + size.cy};
}

void RegisterStaticDialog(UINT id, LPCWSTR title, std::initializer_list<int> items)
{
    plat::DialogTemplate t;
    t.id = id;
    t.style = WS_POPUP;
    t.title = title;
    for (int item : items)
        t.items.push_back(plat::DialogItem{L"STATIC", L"", item, 0, 0, 0, 0, 0, 0});
    plat::RegisterDialogTemplate(t);
}

// ---- CBcrLabelWnd ----

BOOL CBcrLabelWnd::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    result = 0;
    if (IsPenMessage(message)) {
        TellParentOfPen(hwnd);
        return TRUE;
    }
    switch (message) {
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, ::GetSysColor(COLOR_STATIC), [&](HDC dc) {
            WCHAR text[1024];
            ::GetWindowTextW(hwnd, text, 1024);
            if (!text[0])
                return;
            RECT r;
            ::GetClientRect(hwnd, &r);
            HFONT font = skin::MakeFont(kLabelFontHeight, FW_NORMAL);
            HGDIOBJ old = ::SelectObject(dc, font);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, ::GetSysColor(COLOR_STATICTEXT));
            UINT align = GetScreenOrientation() > 0 ? DT_LEFT | DT_END_ELLIPSIS : DT_RIGHT;
            ::DrawTextW(dc, text, -1, &r, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            ::SelectObject(dc, old);
            ::DeleteObject(font);
        });
        RedrawSiblingsAbove(hwnd);
        return TRUE;
    default:
        return FALSE;
    }
}

RECT NoticeRect(HWND dialog)
{
    RECT popup{10, 110, 230, 231};
    CLayoutManager::GetInstance()->GetRect(kNoticePlace, &popup);
    RECT client;
    ::GetClientRect(dialog, &client);
    if (popup.left < 0 || popup.top < 0 || popup.right > client.right || popup.bottom > client.bottom) {
        int w = popup.right - popup.left, h = popup.bottom - popup.top;
        popup.left = std::max<LONG>(0, (client.right - w) / 2);
        popup.top = std::max<LONG>(0, (client.bottom - h) / 2);
        popup.right = popup.left + w;
        popup.bottom = popup.top + h;
    }
    return popup;
}

HBITMAP CaptureUnder(HWND dialog, const RECT& rect)
{
    HDC screen = ::GetDC(dialog);
    HDC mem = ::CreateCompatibleDC(screen);
    HBITMAP copy = ::CreateCompatibleBitmap(screen, rect.right - rect.left, rect.bottom - rect.top);
    HGDIOBJ old = ::SelectObject(mem, copy);
    ::BitBlt(mem, 0, 0, rect.right - rect.left, rect.bottom - rect.top, screen, rect.left, rect.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(dialog, screen);
    return copy;
}

void DestroyMenuBarMenu(HWND menuBar)
{
    if (!menuBar)
        return;
    auto menu = reinterpret_cast<HMENU>(::SendMessageW(menuBar, SHCMBM_GETMENU, 0, 0));
    if (menu)
        DestroyMenu(menu);
}

HWND ReplaceMenuBar(HWND dialog, HWND old, UINT id)
{
    if (old) {
        DestroyMenuBarMenu(old);
        ::DestroyWindow(old);
    }
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = dialog;
    mb.nToolBarId = id;
    return SHCreateMenuBar(&mb) ? mb.hwndMB : nullptr;
}

void EnableSoftKeys(HWND menuBar, bool enable)
{
    if (!menuBar)
        return;
    for (int index = 0; index < 2; ++index) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_BYINDEX | TBIF_STATE;
        info.fsState = enable ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
        ::SendMessageW(menuBar, TB_SETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
    }
}
