#include "image_label.h"

#include <string>

#include "dialog_messages.h"
#include "font_manager.h"
#include "ImageDecoder.h"
#include "skin_draw.h"

namespace {
constexpr UINT kLabelFont = 30006;
}

CImageLabel::CImageLabel() : m_bkColour(GetSysColor(COLOR_STATIC)), m_textColour(GetSysColor(COLOR_BTNTEXT))
{
    m_font = CFontManager::GetInstance()->GetFont(kLabelFont);
}

CImageLabel::~CImageLabel()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    skin::Free(m_background);
    skin::Free(m_icon);
    skin::Free(m_picture);
}

void CImageLabel::SetSize(int width, int height)
{
    m_width = width;
    m_height = height;
}

BOOL CImageLabel::SetBackground(UINT id)
{
    skin::Free(m_background);
    m_background = skin::Load(id);
    m_backgroundSize = skin::SizeOf(m_background);
    return m_background != nullptr;
}

BOOL CImageLabel::SetIcon(UINT id)
{
    skin::Free(m_icon);
    m_icon = skin::Load(id);
    m_iconSize = skin::SizeOf(m_icon);
    return m_icon != nullptr;
}

BOOL CImageLabel::SetPicture(LPCWSTR path)
{
    int width = m_width, height = m_height;
    if (m_hWnd && (width <= 0 || height <= 0)) {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        width = client.right;
        height = client.bottom;
    }
    HBITMAP decoded = path ? CImageDecoder::GetInstance()->DecodeFileToDIB(path, width, height) : nullptr;
    if (!decoded)
        return FALSE;
    skin::Free(m_picture);
    m_picture = decoded;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

void CImageLabel::SetText(LPCWSTR text)
{
    if (m_hWnd)
        ::SetWindowTextW(m_hWnd, text ? text : L"");
}

void CImageLabel::Draw(HDC dc) const
{
    RECT client{0, 0, m_width, m_height};
    if (m_hWnd)
        ::GetClientRect(m_hWnd, &client);
    if (m_picture) {
        skin::Draw(dc, m_picture, client, false);
    } else if (m_background) {
        skin::Draw(dc, m_background, RECT{0, 0, m_backgroundSize.cx, m_backgroundSize.cy}, false);
    } else {
        HBRUSH brush = ::CreateSolidBrush(m_bkColour);
        ::FillRect(dc, &client, brush);
        ::DeleteObject(brush);
    }
    std::wstring text;
    if (m_hWnd) {
        int length = ::GetWindowTextLengthW(m_hWnd);
        text.resize(static_cast<size_t>(length) + 1);
        ::GetWindowTextW(m_hWnd, text.data(), length + 1);
        text.resize(static_cast<size_t>(length));
    }
    if (!text.empty()) {
        HGDIOBJ old = m_font ? ::SelectObject(dc, m_font) : nullptr;
        ::SetBkMode(dc, TRANSPARENT);
        ::SetTextColor(dc, m_textColour);
        RECT r = m_textRect;
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                    DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        if (old)
            ::SelectObject(dc, old);
    }
    if (m_icon)
        skin::Draw(dc, m_icon, m_iconRect, true);
}

BOOL CImageLabel::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEMOVE:
        ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
        return FALSE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, m_bkColour, [this](HDC dc) { Draw(dc); });
        result = 0;
        return TRUE;
    default:
        return FALSE;
    }
}
