#include "alternatives_drop_down.h"

#include <algorithm>

#include "dialog_messages.h"
#include "lum_editbox.h"
#include "result_controls.h"
#include "result_records.h"
#include "skin_draw.h"

namespace {

constexpr UINT kRowPortrait = 21035, kRowLandscape = 21041;
constexpr UINT kSelectedPortrait = 21036, kSelectedLandscape = 21042;
constexpr int kRowFontHeight = 28;
constexpr int kInsetX = 7, kInsetY = 3;
constexpr COLORREF kRowLine = RGB(0x68, 0x68, 0x68);
constexpr WORD kExitCommand = 20012;

RECT TextRect(const RECT& row) { return RECT{row.left + kInsetX, row.top + kInsetY, row.right - kInsetX, row.bottom - kInsetY}; }

}  // namespace

CAlternativesDropDown::CAlternativesDropDown() = default;

CAlternativesDropDown::~CAlternativesDropDown()
{
    for (HBITMAP* b : {&m_normal, &m_pressedBitmap, &m_rowBitmap, &m_selectedBitmap})
        skin::Free(*b);
}

BOOL CAlternativesDropDown::Attach(HWND button, HWND list)
{
    if (!button || !list || !SubclassWindow(button) || !m_listWnd.SubclassWindow(list))
        return FALSE;
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<LPWSTR>(L"Column");
    RECT r;
    ::GetClientRect(list, &r);
    column.cx = r.right - r.left;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    return TRUE;
}

void CAlternativesDropDown::SetBitmaps(bool portrait)
{
    for (HBITMAP* b : {&m_normal, &m_pressedBitmap, &m_rowBitmap, &m_selectedBitmap})
        skin::Free(*b);
    // The button wears the rows' looks: normal, and selected while pressed.
    m_normal = skin::Load(portrait ? kRowPortrait : kRowLandscape);
    m_pressedBitmap = skin::Load(portrait ? kSelectedPortrait : kSelectedLandscape);
    m_rowBitmap = skin::Load(portrait ? kRowPortrait : kRowLandscape);
    m_selectedBitmap = skin::Load(portrait ? kSelectedPortrait : kSelectedLandscape);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CAlternativesDropDown::ClearRows()
{
    StopScroll();
    ::SendMessageW(ListWindow(), LVM_DELETEALLITEMS, 0, 0);
}

void CAlternativesDropDown::AddRow(const std::wstring& text)
{
    HWND list = ListWindow();
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<LPWSTR>(text.c_str());
    ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void CAlternativesDropDown::Open()
{
    HWND list = ListWindow();
    RECT r;
    ::GetClientRect(list, &r);
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, r.right - r.left);
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list, LVM_ENSUREVISIBLE, 0, FALSE);
    m_text = RowText(0);
    ::ShowWindow(list, SW_SHOW);
    ::SetFocus(list);
    RestartScroll();
}

void CAlternativesDropDown::Close()
{
    StopScroll();
    ::ShowWindow(ListWindow(), SW_HIDE);
    m_pressed = false;
    ::SetFocus(m_hWnd);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

bool CAlternativesDropDown::ListShown() const { return ListWindow() && ::IsWindowVisible(ListWindow()); }

int CAlternativesDropDown::Selected() const
{
    return static_cast<int>(::SendMessageW(ListWindow(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::wstring CAlternativesDropDown::RowText(int row) const
{
    WCHAR text[kResultTextChars] = L"";
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = kResultTextChars;
    ::SendMessageW(ListWindow(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

void CAlternativesDropDown::RestartScroll()
{
    StopScroll();
    int row = Selected();
    if (row < 0 || !ListShown())
        return;
    RECT rowRect{};
    ::SendMessageW(ListWindow(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rowRect));
    RECT t = TextRect(rowRect);
    std::wstring text = RowText(row);
    HDC dc = ::GetDC(ListWindow());
    HFONT font = skin::MakeFont(kRowFontHeight, FW_BOLD);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    ::ReleaseDC(ListWindow(), dc);
    if (size.cx > t.right - t.left) {
        ::SetTimer(ListWindow(), TM_LIST_SCROLL, kListScrollMs, nullptr);
        m_scrolling = true;
    }
}

void CAlternativesDropDown::StopScroll()
{
    if (m_scrolling && ListWindow())
        ::KillTimer(ListWindow(), TM_LIST_SCROLL);
    m_scrolling = false;
    m_offset = 0;
}

void CAlternativesDropDown::Toggle()
{
    if (ListShown()) {
        Close();
    } else {
        ::ShowWindow(ListWindow(), SW_SHOW);
        ::SetFocus(ListWindow());
        RestartScroll();
    }
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

LRESULT CAlternativesDropDown::DrawRow(NMCUSTOMDRAW* cd)
{
    if (cd->dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (cd->dwDrawStage != CDDS_ITEMPREPAINT)
        return CDRF_DODEFAULT;
    int row = static_cast<int>(cd->dwItemSpec);
    bool selected = (cd->uItemState & CDIS_SELECTED) != 0;
    const RECT& r = cd->rc;
    skin::Canvas canvas(cd->hdc, r.right - r.left, r.bottom - r.top);
    HDC dc = canvas.dc();
    RECT local{0, 0, r.right - r.left, r.bottom - r.top};
    HBRUSH fill = ::CreateSolidBrush(selected ? RGB(40, 80, 160) : RGB(245, 245, 245));
    ::FillRect(dc, &local, fill);
    ::DeleteObject(fill);
    skin::DrawAt(dc, selected ? m_selectedBitmap : m_rowBitmap, 0, 0, true);
    std::wstring text = RowText(row);
    HFONT font = skin::MakeFont(kRowFontHeight, FW_BOLD);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT t = TextRect(local);
    UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX;
    if (selected && m_scrolling)
        text = LumEditbox::MarqueeText(dc, text, m_offset, t.right - t.left);
    else
        format |= DT_END_ELLIPSIS;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &t, format);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
    RECT line{0, local.bottom - 1, local.right, local.bottom};
    HBRUSH grey = ::CreateSolidBrush(kRowLine);
    ::FillRect(dc, &line, grey);
    ::DeleteObject(grey);
    canvas.Present(cd->hdc, r.left, r.top);
    return CDRF_SKIPDEFAULT;
}

void CAlternativesDropDown::OnListPenDown(int x, int y)
{
    HWND list = ListWindow();
    LVHITTESTINFO hit{};
    hit.pt = POINT{x, y};
    int row = static_cast<int>(::SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (row < 0)
        return;
    int previous = std::max(Selected(), 0);
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    ::SendMessageW(list, LVM_REDRAWITEMS, static_cast<WPARAM>(std::min(row, previous)), std::max(row, previous));
    ::SetFocus(list);
    m_text = RowText(row);
    // A click on the button closes the list.
    Toggle();
    ::SendMessageW(::GetParent(m_hWnd), WM_COMMAND, CMD_BCR_ALTERNATIVE_CHOSEN, (row * 16 + previous) & 0xFF);
}

void CAlternativesDropDown::OnListKey(WPARAM key)
{
    HWND parent = ::GetParent(m_hWnd);
    if (key == 0x86) {
        ::SendMessageW(parent, WM_COMMAND, CMD_BCR_ALTERNATIVE_CHOSEN, (std::max(Selected(), 0) * 16) & 0xFF);
        return;
    }
    if (key == VK_F4) {
        ::SendMessageW(parent, WM_COMMAND, kExitCommand, 0);
        return;
    }
    m_listWnd.DefWindowProc(WM_KEYDOWN, key, 0);
    ::SendMessageW(ListWindow(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(std::max(Selected(), 0)), FALSE);
    RestartScroll();
}

BOOL CAlternativesDropDown::List::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                                       LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
        TellParentOfPen(hwnd);
        m_owner->OnListPenDown(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                               static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam))));
        return TRUE;
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        TellParentOfPen(hwnd);
        return TRUE;
    case WM_KEYDOWN:
        m_owner->OnListKey(wParam);
        return TRUE;
    case WM_KILLFOCUS:
        // Unless the list itself holds the pen, losing the focus closes it.
        if (::GetCapture() != hwnd && ::IsWindowVisible(hwnd))
            m_owner->Toggle();
        return FALSE;
    case WM_TIMER:
        if (wParam != TM_LIST_SCROLL)
            return FALSE;
        if (!::IsWindowVisible(hwnd)) {
            m_owner->StopScroll();
            return TRUE;
        }
        if (++m_owner->m_offset > m_owner->RowText(m_owner->Selected()).size() + 3)
            m_owner->m_offset = 0;
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CAlternativesDropDown::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        TellParentOfPen(hwnd);
        m_pressed = true;
        ::SetCapture(hwnd);
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case WM_LBUTTONUP:
        TellParentOfPen(hwnd);
        if (::GetCapture() == hwnd) {
            ::ReleaseCapture();
            m_pressed = false;
            Toggle();
        }
        return TRUE;
    case WM_MOUSEMOVE:
        return TRUE;
    case WM_KILLFOCUS:
        if (::GetCapture() == hwnd) {
            ::ReleaseCapture();
        } else if (reinterpret_cast<HWND>(wParam) != ListWindow()) {
            m_pressed = false;
            StopScroll();
            ::ShowWindow(ListWindow(), SW_HIDE);
        }
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return FALSE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, RGB(255, 255, 255), [&](HDC dc) {
            RECT r;
            ::GetClientRect(hwnd, &r);
            skin::Draw(dc, m_pressed && m_pressedBitmap ? m_pressedBitmap : m_normal, r, true);
            HFONT font = skin::MakeFont(kRowFontHeight, FW_BOLD);
            HGDIOBJ old = ::SelectObject(dc, font);
            ::SetBkMode(dc, TRANSPARENT);
            ::SetTextColor(dc, RGB(0, 0, 0));
            RECT t = TextRect(r);
            ::DrawTextW(dc, m_text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
            ::SelectObject(dc, old);
            ::DeleteObject(font);
        });
        return TRUE;
    default:
        return FALSE;
    }
}
