// Drawing helpers of the skinned controls: the program's bitmaps by id, drawn
// whole, stretched or through the magenta key, and a memory canvas for
// painting without flicker.
#pragma once

#include <functional>

#include "plat/windows.h"

namespace skin {

// One of the program's images; null when it is missing (the element then stays undrawn).
HBITMAP Load(UINT id);
SIZE SizeOf(HBITMAP bitmap);
// Deletes the bitmap and clears the handle.
void Free(HBITMAP& bitmap);
// The bitmap stretched into rect; keyed leaves its magenta pixels alone.
void Draw(HDC dc, HBITMAP bitmap, const RECT& rect, bool keyed);
// The bitmap at its own size with its top-left corner at (x, y).
void DrawAt(HDC dc, HBITMAP bitmap, int x, int y, bool keyed);
// Tahoma of that pixel height and weight.
HFONT MakeFont(int height, LONG weight);

// A memory bitmap of a window's client size; Present copies it to the window DC.
class Canvas {
public:
    Canvas(HDC windowDc, int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return m_dc; }
    void Present(HDC windowDc, int x = 0, int y = 0) const;

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    int m_width = 0, m_height = 0;
};

// Answers WM_PAINT: the client area filled with face, then draw, through a
// memory canvas.
void PaintWindow(HWND hwnd, COLORREF face, const std::function<void(HDC)>& draw);

}  // namespace skin
