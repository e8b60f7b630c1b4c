#include "page_indicator.h"

#include <cwchar>

#include "dialog_messages.h"
#include "haptic_control.h"
#include "skin_draw.h"

namespace {

constexpr UINT kBackgroundId = 10371;
constexpr UINT kTrackId = 10372;
constexpr UINT kFillId = 10202;
constexpr UINT kButtonId = 10203, kButtonPressedId = 10204;
constexpr UINT kFirstCellId = 10311;
constexpr UINT kRunTitle = 3, kCancelLabel = 4, kPreparingTitle = 5, kPositionCancelLabel = 15;
constexpr int kTrackX = 25, kTrackY = 79, kTrackWidth = 170, kTrackHeight = 9;

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

void DrawCentred(HDC dc, const std::wstring& text, RECT r, int height, COLORREF colour)
{
    HFONT font = skin::MakeFont(height, 700);
    HGDIOBJ old = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::DeleteObject(font);
}

}  // namespace

CPageIndicator::~CPageIndicator()
{
    if (m_owner)
        ::SendMessageW(m_owner, WM_INDICATOR_OWNER, m_mode != MODE_PROGRESS ? 1 : 0, 0);
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    FreeBitmaps();
}

void CPageIndicator::FreeBitmaps()
{
    for (HBITMAP* b : {&m_background, &m_track, &m_fill, &m_button, &m_buttonPressed})
        skin::Free(*b);
    for (HBITMAP& b : m_cells)
        skin::Free(b);
}

void CPageIndicator::Set(HINSTANCE resource, int mode, int secondCount, int reserved, HWND owner)
{
    m_resource = resource;
    m_mode = mode;
    m_secondCount = secondCount;
    m_reserved = reserved;
    m_owner = owner;
    m_pressed = false;
    if (!m_background) {
        m_background = skin::Load(kBackgroundId);
        m_track = skin::Load(kTrackId);
        m_fill = skin::Load(kFillId);
        m_button = skin::Load(kButtonId);
        m_buttonPressed = skin::Load(kButtonPressedId);
    }
    if (mode == MODE_POSITION && !m_cells[0])
        for (size_t k = 0; k < m_cells.size(); ++k)
            m_cells[k] = skin::Load(kFirstCellId + static_cast<UINT>(k));
}

void CPageIndicator::SetProgress(int percent)
{
    m_percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    int orientation = GetScreenOrientation();
    if (m_lastOrientation != 0 && orientation != m_lastOrientation && m_hWnd) {
        HWND parent = ::GetParent(m_hWnd);
        RECT r;
        ::GetClientRect(parent, &r);
        ::SendMessageW(parent, WM_SIZE, 0, MAKELPARAM(r.right, r.bottom));
        ::SendMessageW(parent, WM_SETTINGCHANGE, kSettingChangeLayout, 0);
    }
    m_lastOrientation = orientation;
    if (m_hWnd) {
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
        ::UpdateWindow(m_hWnd);
    }
}

std::wstring CPageIndicator::String(UINT id) const
{
    WCHAR text[100] = {};
    if (::LoadStringW(m_resource, id, text, 100) <= 0)
        return std::wstring();
    return text;
}

int CPageIndicator::PictureCount() const
{
    int count = 0;
    if (m_names)
        for (int k = 0; k < kSlots; ++k)
            count += m_names[k] != nullptr;
    return count;
}

int CPageIndicator::FilledColumns(int percent) { return percent * kTrackWidth / 100 - 2; }

std::wstring CPageIndicator::Title() const
{
    WCHAR title[160];
    if (m_mode == MODE_PROGRESS) {
        std::wstring caption = String(m_percent == 0 ? kPreparingTitle : kRunTitle);
        if (m_percent == 0 || m_nItemCount == 1)
            std::swprintf(title, 160, L"%ls", caption.c_str());
        else
            std::swprintf(title, 160, L"%ls (%d/%d)", caption.c_str(), m_nItemIndex, m_nItemCount);
    } else {
        std::swprintf(title, 160, L"(%d/%d)", PictureCount(), m_secondCount);
    }
    return title;
}

void CPageIndicator::DrawCancel(HDC dc, UINT label) const
{
    RECT r = kCancelRect;
    skin::Draw(dc, m_pressed ? m_buttonPressed : m_button, r, true);
    DrawCentred(dc, String(label), r, 16, m_pressed ? RGB(255, 255, 255) : RGB(0, 0, 0));
}

void CPageIndicator::Draw(HDC dc) const
{
    skin::Draw(dc, m_background, RECT{0, 0, kWidth, kHeight}, true);
    DrawCentred(dc, Title(), RECT{0, 0, 220, 37}, 16, RGB(0, 0, 0));
    if (m_mode == MODE_PROGRESS) {
        skin::Draw(dc, m_track, RECT{kTrackX, kTrackY, kTrackX + kTrackWidth, kTrackY + kTrackHeight}, true);
        for (int i = 0; i < FilledColumns(m_percent); ++i)
            skin::Draw(dc, m_fill, RECT{26 + i, 80, 27 + i, 87}, false);
        RECT box{80, 55, 140, 75};
        HBRUSH white = ::CreateSolidBrush(RGB(255, 255, 255));
        ::FillRect(dc, &box, white);
        ::DeleteObject(white);
        WCHAR percent[16];
        std::swprintf(percent, 16, L"%d%%", m_percent);
        DrawCentred(dc, percent, box, 20, RGB(0, 0, 0));
        DrawCancel(dc, kCancelLabel);
        return;
    }
    for (int k = 0; k < kSlots; ++k) {
        int state = m_states ? m_states[k] : 0;
        state = state < 0 || state > 2 ? 0 : state;
        int x = 5 + 21 * (k % 10), y = k < 10 ? 47 : 73;
        skin::Draw(dc, m_cells[static_cast<size_t>(k + kSlots * state)], RECT{x, y, x + 19, y + 24}, true);
    }
    DrawCancel(dc, kPositionCancelLabel);
}

BOOL CPageIndicator::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM lParam, LRESULT& result)
{
    int x = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
    int y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
    switch (message) {
    case WM_LBUTTONDOWN:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        if (Inside(kCancelRect, x, y)) {
            ::SetCapture(hwnd);
            m_pressed = true;
            CHapticControl::GetInstance()->PlayEffectA();
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        result = 0;
        return TRUE;
    case WM_MOUSEMOVE:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        result = 0;
        return TRUE;
    case WM_LBUTTONUP:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        if (::GetCapture() == hwnd)
            ::ReleaseCapture();
        if (m_pressed && Inside(kCancelRect, x, y)) {
            // Mode 0 doubles as the run's stop word.
            m_mode = MODE_POSITION;
            m_pressed = false;
            CHapticControl::GetInstance()->PlayEffectB();
            ::ShowWindow(hwnd, SW_HIDE);
            ::InvalidateRect(::GetParent(hwnd), nullptr, TRUE);
        } else if (m_pressed) {
            m_pressed = false;
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        result = 0;
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        // What the background's key leaves shows the dialog's face.
        skin::PaintWindow(hwnd, ::GetSysColor(COLOR_STATIC), [this](HDC dc) { Draw(dc); });
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
