#include "field_image_view.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "ImageDecoder.h"
#include "dialog_messages.h"
#include "plat/debug.h"
#include "result_controls.h"
#include "skin_draw.h"

namespace {

// A 16-bit 565 top-down layout for GetDIBits and CreateDIBSection.
struct Info565 {
    BITMAPINFOHEADER header;
    DWORD masks[3];
};

Info565 Layout565(int width, int height)
{
    Info565 info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 16;
    info.header.biCompression = BI_BITFIELDS;
    info.masks[0] = 0xF800;
    info.masks[1] = 0x07E0;
    info.masks[2] = 0x001F;
    return info;
}

// Rows of 16-bit pixels are padded to four bytes.
int Stride(int width) { return (width * 2 + 3) & ~3; }

}  // namespace

std::vector<WORD> TurnQuarter16(const WORD* pixels, int width, int height)
{
    std::vector<WORD> turned(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            turned[static_cast<size_t>(c) * static_cast<size_t>(height) + static_cast<size_t>(height - 1 - r)] =
                pixels[static_cast<size_t>(r) * static_cast<size_t>(width) + static_cast<size_t>(c)];
    return turned;
}

CFieldImageView::~CFieldImageView() { Free(); }

void CFieldImageView::Free()
{
    skin::Free(m_bitmap);
    m_width = m_height = 0;
}

BOOL CFieldImageView::Load(LPCWSTR path, const RECT& box, int orientationFlag)
{
    Free();
    m_box = box;
    m_hasBox = box.right > box.left && box.bottom > box.top;
    m_orientation = orientationFlag;
    HBITMAP picture = path ? SHLoadImageFile(path) : nullptr;
    if (!picture && path)
        picture = CImageDecoder::GetInstance()->DecodeFileToDIB(path, kFieldPictureWidthLimit, 4 * kFieldPictureWidthLimit);
    if (!picture) {
        plat::DebugLine(L"[LumOCR] NULL IMAGE");
        return FALSE;
    }
    SIZE size = skin::SizeOf(picture);
    int w = size.cx, h = size.cy;
    try {
        // Whole rows, as the section keeps them; the padding is dropped below.
        std::vector<BYTE> rows(static_cast<size_t>(Stride(w)) * static_cast<size_t>(h));
        Info565 in = Layout565(w, h);
        HDC screen = ::GetDC(nullptr);
        int got = ::GetDIBits(screen, picture, 0, static_cast<UINT>(h), rows.data(), reinterpret_cast<BITMAPINFO*>(&in),
                              DIB_RGB_COLORS);
        ::ReleaseDC(nullptr, screen);
        skin::Free(picture);
        if (got != h)
            return FALSE;
        std::vector<WORD> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
        for (int y = 0; y < h; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * static_cast<size_t>(w)],
                        &rows[static_cast<size_t>(y) * static_cast<size_t>(Stride(w))], static_cast<size_t>(w) * 2);
        rows = {};
        if (orientationFlag == 0) {
            pixels = TurnQuarter16(pixels.data(), w, h);
            std::swap(w, h);
        }
        Info565 out = Layout565(w, h);
        void* bits = nullptr;
        m_bitmap = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&out), DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!m_bitmap || !bits) {
            skin::Free(m_bitmap);
            m_hasBox = false;
            return FALSE;
        }
        for (int y = 0; y < h; ++y)
            std::memcpy(static_cast<BYTE*>(bits) + static_cast<size_t>(y) * static_cast<size_t>(Stride(w)),
                        &pixels[static_cast<size_t>(y) * static_cast<size_t>(w)], static_cast<size_t>(w) * 2);
    } catch (const std::bad_alloc&) {
        skin::Free(picture);
        m_hasBox = false;
        return FALSE;
    }
    m_width = w;
    m_height = h;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    return TRUE;
}

RECT CFieldImageView::Source() const
{
    if (!m_bitmap)
        return RECT{};
    if (!m_hasBox)
        return RECT{0, 0, m_width, m_height};
    RECT r{std::clamp<LONG>(m_box.left, 0, m_width), std::clamp<LONG>(m_box.top, 0, m_height),
           std::clamp<LONG>(m_box.right, 0, m_width), std::clamp<LONG>(m_box.bottom, 0, m_height)};
    if (r.right <= r.left || r.bottom <= r.top)
        return RECT{};
    return r;
}

BOOL CFieldImageView::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM, LPARAM, LRESULT& result)
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
        skin::PaintWindow(hwnd, RGB(255, 255, 255), [&](HDC dc) {
            RECT from = Source();
            if (from.right <= from.left)
                return;
            RECT client;
            ::GetClientRect(hwnd, &client);
            HDC mem = ::CreateCompatibleDC(dc);
            HGDIOBJ old = ::SelectObject(mem, m_bitmap);
            ::StretchBlt(dc, 0, 0, client.right, client.bottom, mem, from.left, from.top, from.right - from.left,
                         from.bottom - from.top, SRCCOPY);
            ::SelectObject(mem, old);
            ::DeleteDC(mem);
        });
        return TRUE;
    default:
        return FALSE;
    }
}
