#include "lum_editbox.h"

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "skin_draw.h"

namespace {
constexpr int kInset = 5;
constexpr int kOverflowMargin = 20;
constexpr LPARAM kProcessKeyExit = 0x3C0001;
constexpr COLORREF kEditFace = RGB(0xF0, 0xF0, 0xF0);
}  // namespace

LumEditbox::LumEditbox() : m_font(skin::MakeFont(18, 700)) {}

LumEditbox::~LumEditbox()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
    skin::Free(m_background);
    if (m_font)
        ::DeleteObject(m_font);
}

BOOL LumEditbox::Attach(HWND edit)
{
    if (!SubclassWindow(edit))
        return FALSE;
    ::SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(m_font), 0);
    return TRUE;
}

void LumEditbox::SetBackground(UINT id)
{
    skin::Free(m_background);
    m_background = skin::Load(id);
    m_backgroundSize = skin::SizeOf(m_background);
    ApplyFormatRect();
}

void LumEditbox::ApplyFormatRect()
{
    if (!m_hWnd || !m_background)
        return;
    RECT format{5, 3, m_backgroundSize.cx - 10, 67};
    ::SendMessageW(m_hWnd, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&format));
}

std::wstring LumEditbox::Text() const
{
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

void LumEditbox::StopScroll()
{
    if (m_running && m_hWnd)
        KillTimer(TM_EDIT_SCROLL);
    m_running = false;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void LumEditbox::CheckOverflow()
{
    if (!m_hWnd)
        return;
    auto lines = static_cast<int>(::SendMessageW(m_hWnd, EM_GETLINECOUNT, 0, 0));
    LRESULT start = ::SendMessageW(m_hWnd, EM_LINEINDEX, lines - 1, 0);
    LRESULT pos = ::SendMessageW(m_hWnd, EM_POSFROMCHAR, static_cast<WPARAM>(start), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    // An empty last line has no character to place: it lies below the one before.
    bool overflows = lines > 1 && (pos == -1 || static_cast<SHORT>(HIWORD(pos)) > client.bottom - kOverflowMargin);
    if (overflows) {
        SetTimer(TM_EDIT_SCROLL, kEditScrollMs);
        m_running = true;
        m_offset = 0;
    } else if (m_running) {
        StopScroll();
    }
}

std::wstring LumEditbox::MarqueeText(HDC dc, const std::wstring& text, size_t offset, int width)
{
    std::wstring shown = offset < text.size() ? text.substr(offset) : std::wstring();
    SIZE rest{}, blank{};
    ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &rest);
    ::GetTextExtentPoint32W(dc, L" ", 1, &blank);
    // Room for three blanks and more: the beginning follows.
    if (width - rest.cx > 3 * blank.cx) {
        size_t past = offset > text.size() ? offset - text.size() : 0;
        shown += std::wstring(3 - std::min<size_t>(past, 3), L' ') + text;
    }
    return shown;
}

void LumEditbox::PaintMarquee(HWND hwnd)
{
    std::wstring text = Text();
    skin::PaintWindow(hwnd, kEditFace, [&](HDC dc) {
        RECT client;
        ::GetClientRect(hwnd, &client);
        skin::Draw(dc, m_background, client, true);
        HGDIOBJ old = ::SelectObject(dc, m_font);
        RECT r{client.left + kInset, client.top, client.right - kInset, client.bottom};
        std::wstring shown = MarqueeText(dc, text, m_offset, r.right - r.left);
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, RGB(0, 0, 0));
        ::DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        ::SelectObject(dc, old);
    });
    ++m_offset;
    if (m_offset > text.size() + 3)
        m_offset = 0;
}

BOOL LumEditbox::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    HWND parent = ::GetParent(hwnd);
    switch (message) {
    case WM_LBUTTONDOWN:
        ::SendMessageW(parent, WM_POPUP_PEN_UP, 0, 0);
        return FALSE;
    case WM_CHAR:
        ::SendMessageW(parent, WM_POPUP_PEN_UP, 0, 0);
        if (wParam == L'\r') {
            ::SendMessageW(parent, WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
            result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_KEYDOWN:
        if (wParam == 0x86) {
            ::SendMessageW(parent, WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
            result = 0;
            return TRUE;
        }
        if (wParam == VK_PROCESSKEY_CODE && lParam == kProcessKeyExit) {
            ::SendMessageW(parent, WM_COMMAND, CMD_BCR_EXIT, 0);
            result = 0;
            return TRUE;
        }
        return FALSE;
    case WM_SETFONT:
        result = DefWindowProc(message, wParam, lParam);
        ApplyFormatRect();
        return TRUE;
    case WM_SETTEXT:
        result = DefWindowProc(message, wParam, lParam);
        CheckOverflow();
        return TRUE;
    case WM_SETFOCUS:
        if (m_running) {
            StopScroll();
            ::SendMessageW(hwnd, EM_SETSEL, 0, 0);
        }
        return FALSE;
    case WM_TIMER:
        if (wParam != TM_EDIT_SCROLL)
            return FALSE;
        if (!::IsWindowVisible(hwnd)) {
            KillTimer(TM_EDIT_SCROLL);
            m_running = false;
        } else {
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        result = 0;
        return TRUE;
    case WM_ERASEBKGND: {
        RECT client;
        ::GetClientRect(hwnd, &client);
        HBRUSH brush = ::CreateSolidBrush(kEditFace);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        ::DeleteObject(brush);
        skin::Draw(reinterpret_cast<HDC>(wParam), m_background, client, true);
        result = 1;
        return TRUE;
    }
    case WM_PAINT:
        if (!m_running)
            return FALSE;
        PaintMarquee(hwnd);
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
