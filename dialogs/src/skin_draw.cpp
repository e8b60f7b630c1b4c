#include "skin_draw.h"

#include <cwchar>

#include "dialog_messages.h"

namespace skin {

HBITMAP Load(UINT id) { return SHLoadImageResource(nullptr, id); }

SIZE SizeOf(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info))
        return SIZE{0, 0};
    return SIZE{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
}

void Free(HBITMAP& bitmap)
{
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = nullptr;
}

void Draw(HDC dc, HBITMAP bitmap, const RECT& rect, bool keyed)
{
    if (!bitmap)
        return;
    SIZE size = SizeOf(bitmap);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(source, bitmap);
    int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (keyed)
        TransparentBlt(dc, rect.left, rect.top, w, h, source, 0, 0, size.cx, size.cy, kTransparentKey);
    else if (w == size.cx && h == size.cy)
        BitBlt(dc, rect.left, rect.top, w, h, source, 0, 0, SRCCOPY);
    else
        StretchBlt(dc, rect.left, rect.top, w, h, source, 0, 0, size.cx, size.cy, SRCCOPY);
    SelectObject(source, old);
    DeleteDC(source);
}

void DrawAt(HDC dc, HBITMAP bitmap, int x, int y, bool keyed)
{
    SIZE size = SizeOf(bitmap);
    Draw(dc, bitmap, RECT{x, y, x + size.cx, y + size.cy}, keyed);
}

HFONT MakeFont(int height, LONG weight)
{
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    std::wcscpy(font.lfFaceName, L"Tahoma");
    return CreateFontIndirectW(&font);
}

Canvas::Canvas(HDC windowDc, int width, int height) : m_width(width), m_height(height)
{
    m_dc = CreateCompatibleDC(windowDc);
    m_bitmap = CreateCompatibleBitmap(windowDc, width > 0 ? width : 1, height > 0 ? height : 1);
    m_old = SelectObject(m_dc, m_bitmap);
}

Canvas::~Canvas()
{
    SelectObject(m_dc, m_old);
    DeleteObject(m_bitmap);
    DeleteDC(m_dc);
}

void Canvas::Present(HDC windowDc, int x, int y) const { BitBlt(windowDc, x, y, m_width, m_height, m_dc, 0, 0, SRCCOPY); }

void PaintWindow(HWND hwnd, COLORREF face, const std::function<void(HDC)>& draw)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    Canvas canvas(dc, client.right, client.bottom);
    HBRUSH brush = CreateSolidBrush(face);
    FillRect(canvas.dc(), &client, brush);
    DeleteObject(brush);
    draw(canvas.dc());
    canvas.Present(dc);
    EndPaint(hwnd, &ps);
}

}  // namespace skin

int GetScreenOrientation()
{
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    return height > width ? 1 : (height < width ? -1 : 0);
}
