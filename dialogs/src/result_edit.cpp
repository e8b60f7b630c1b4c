#include "result_edit.h"

#include <algorithm>
#include <cstdlib>

#include "dialog_messages.h"
#include "layout_manager.h"
#include "skin_draw.h"

namespace {

constexpr int kFontHeight = 20;
constexpr int kMargin = 4;
// The end key as the input method reports it, and the action key.
constexpr WPARAM kEndKeyCode = 229;
constexpr LPARAM kEndKeyData = 0x3C0001;
constexpr WPARAM kActionKey = 134;

POINT PenPoint(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
}

}  // namespace

CResultEdit::~CResultEdit()
{
    if (m_font)
        ::DeleteObject(m_font);
}

BOOL CResultEdit::Attach(HWND edit)
{
    if (!SubclassWindow(edit))
        return FALSE;
    if (!m_font)
        m_font = skin::MakeFont(kFontHeight, FW_NORMAL);
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);
    return TRUE;
}

int CResultEdit::LineHeight() const
{
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, m_font);
    TEXTMETRICW tm{};
    ::GetTextMetricsW(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    return std::max<int>(1, tm.tmHeight);
}

int CResultEdit::VisibleLines() const
{
    RECT r{};
    ::SendMessageW(m_hWnd, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
    return std::max(1, static_cast<int>(r.bottom - r.top) / LineHeight());
}

int CResultEdit::FirstVisibleLine() const
{
    return static_cast<int>(::SendMessageW(m_hWnd, EM_GETFIRSTVISIBLELINE, 0, 0));
}

void CResultEdit::SyncScrollBar()
{
    int lines = static_cast<int>(::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0));
    int visible = VisibleLines();
    int first = FirstVisibleLine();
    m_lastLineVisible = first + visible >= lines;
    if (!m_bar)
        return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(lines - 1, 0);
    si.nPage = static_cast<UINT>(visible);
    si.nPos = first;
    ::SendMessageW(m_bar, SBM_SETSCROLLINFO, TRUE, reinterpret_cast<LPARAM>(&si));
}

void CResultEdit::ScrollLines(int delta)
{
    if (delta)
        ::SendMessageW(m_hWnd, EM_LINESCROLL, 0, delta);
    SyncScrollBar();
}

void CResultEdit::ScrollToTop() { ScrollLines(-FirstVisibleLine()); }

void CResultEdit::OnBarScroll(WORD code, int thumb)
{
    int first = FirstVisibleLine();
    int lines = static_cast<int>(::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0));
    switch (code) {
    case SB_LINEUP: ScrollLines(-1); break;
    case SB_LINEDOWN: ScrollLines(1); break;
    case SB_PAGEUP: ScrollLines(-VisibleLines()); break;
    case SB_PAGEDOWN: ScrollLines(VisibleLines()); break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: ScrollLines(thumb - first); break;
    case SB_TOP: ScrollLines(-first); break;
    case SB_BOTTOM: ScrollLines(lines - first); break;
    default: break;
    }
}

// The text follows the pen by whole lines; what is left of a line waits for more.
void CResultEdit::Drag(int y)
{
    int lines = (y - m_anchorY) / LineHeight();
    if (!lines)
        return;
    m_anchorY += lines * LineHeight();
    ScrollLines(-lines);
}

BOOL CResultEdit::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    HWND parent = ::GetParent(hwnd);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        ::SendMessageW(parent, WM_POPUP_PEN_UP, 0, 0);
        m_penDown = true;
        m_down = PenPoint(lParam);
        m_anchorY = m_down.y;
        ::SetCapture(hwnd);
        return TRUE;
    case WM_MOUSEMOVE:
        if (m_penDown)
            Drag(PenPoint(lParam).y);
        return TRUE;
    case WM_LBUTTONUP: {
        ::SendMessageW(parent, WM_POPUP_PEN_UP, 0, 0);
        if (!m_penDown)
            return TRUE;
        m_penDown = false;
        if (::GetCapture() == hwnd)
            ::ReleaseCapture();
        POINT pt = PenPoint(lParam);
        if (std::abs(pt.y - m_down.y) >= kTapSlop) {
            Drag(pt.y);
            return TRUE;
        }
        if (CLayoutManager::GetInstance()->IsBusy())
            return TRUE;
        SIPINFO sip{};
        sip.cbSize = sizeof sip;
        if (!::SipGetInfo(&sip) || !(sip.fdwFlags & SIPF_ON))
            ::SipShowIM(SIPF_ON);
        // The edit control itself places the caret and takes the focus.
        DefWindowProc(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(m_down.x, m_down.y));
        DefWindowProc(WM_LBUTTONUP, 0, MAKELPARAM(m_down.x, m_down.y));
        SyncScrollBar();
        return TRUE;
    }
    case WM_KEYDOWN:
        if (wParam == kEndKeyCode && lParam == kEndKeyData) {
            ::SendMessageW(parent, WM_COMMAND, CMD_OCR_EXIT, 0);
            return TRUE;
        }
        if (wParam == kActionKey) {
            ::SendMessageW(parent, WM_COMMAND, CMD_OCR_ACTION, 0);
            return TRUE;
        }
        result = DefWindowProc(message, wParam, lParam);
        SyncScrollBar();
        return TRUE;
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(hwnd, &client);
        HBRUSH white = ::CreateSolidBrush(RGB(255, 255, 255));
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, white);
        ::DeleteObject(white);
        result = 1;
        return TRUE;
    }
    case WM_SIZE: {
        result = DefWindowProc(message, wParam, lParam);
        // The text keeps off the edges.
        RECT client;
        ::GetClientRect(hwnd, &client);
        RECT format{client.left + kMargin, client.top + kMargin / 2, client.right - kMargin, client.bottom};
        ::SendMessageW(hwnd, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&format));
        SyncScrollBar();
        return TRUE;
    }
    case WM_CHAR:
    case WM_SETTEXT:
    case EM_SETRECT:
        result = DefWindowProc(message, wParam, lParam);
        SyncScrollBar();
        return TRUE;
    default:
        return FALSE;
    }
}
