#include "view_rect.h"

#include <new>

namespace {

int Half(int value) { return value / 2; }  // C++ division truncates toward zero

void Offset(RECT& r, int dx, int dy)
{
    r.left += dx;
    r.right += dx;
    r.top += dy;
    r.bottom += dy;
}

bool Equal(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The picture at size (w, h) centred in the frame.
RECT Centred(const CViewRect& v, int w, int h)
{
    int x = Half(v.frameWidth - w), y = Half(v.frameHeight - h);
    RECT r{x, y, x + w, y + h};
    Offset(r, v.frame.left, v.frame.top);
    return r;
}

// One axis of the pan clamp: a picture at least as large as the frame
// always covers it, a smaller one always stays inside it.
int Correction(LONG lo, LONG hi, LONG frameLo, LONG frameHi, int frameSize)
{
    if (hi - lo >= frameSize) {
        if (lo > frameLo)
            return frameLo - lo;
        if (hi < frameHi)
            return frameHi - hi;
        return 0;
    }
    if (lo < frameLo)
        return frameLo - lo;
    if (hi > frameHi)
        return frameHi - hi;
    return 0;
}

}  // namespace

CViewRect::CViewRect(int width, int height) : frame{0, 0, width, height}, frameWidth(width), frameHeight(height) {}

CViewRect::CViewRect(const RECT& r)
    : frame(r), frameWidth(r.right - r.left), frameHeight(r.bottom - r.top)
{
}

CViewRect::~CViewRect() { DropCropRect(); }

void CViewRect::DropCropRect()
{
    delete cropRect;
    cropRect = nullptr;
}

void CViewRect::SetViewRect(int left, int top, int right, int bottom)
{
    viewRect = RECT{left, top, right, bottom};
    DropCropRect();
}

double CViewRect::FitSize(const SIZE& bounds, SIZE& size, BOOL enlarge)
{
    const int W = bounds.cx, H = bounds.cy, w = size.cx, h = size.cy;
    if (w == 0 || h == 0)
        return 1.0;
    if (!(w >= W || h >= H) && !enlarge)
        return 1.0;
    const int wPrime = H * w / h;
    if (wPrime >= W) {
        size = SIZE{W, W * h / w};
        return static_cast<double>(W) / w;
    }
    size = SIZE{wPrime, H};
    return static_cast<double>(H) / h;
}

double CViewRect::FitSizeInRect(const RECT* bounds, SIZE* size, BOOL enlarge)
{
    if (!bounds || !size)
        return 1.0;
    return FitSize(SIZE{bounds->right - bounds->left, bounds->bottom - bounds->top}, *size, enlarge);
}

BOOL CViewRect::GetFittedRect(RECT* out, BOOL enlarge)
{
    const int w = viewRect.right - viewRect.left, h = viewRect.bottom - viewRect.top;
    if (!out || w < 1 || h < 1)
        return FALSE;
    SIZE size{w, h};
    scale = FitSize(SIZE{frameWidth, frameHeight}, size, enlarge);
    *out = Centred(*this, size.cx, size.cy);
    return TRUE;
}

void CViewRect::GetCenteredRect(RECT* out)
{
    if (out)
        *out = Centred(*this, viewRect.right - viewRect.left, viewRect.bottom - viewRect.top);
}

BOOL CViewRect::GetCoverRect(RECT* out)
{
    if (!out)
        return FALSE;
    const int w = viewRect.right - viewRect.left, h = viewRect.bottom - viewRect.top;
    if (w < 1 || h < 1)
        return FALSE;  // no side to scale by
    double s = frameWidth * h >= frameHeight * w ? static_cast<double>(frameWidth) / w
                                                  : static_cast<double>(frameHeight) / h;
    RECT r{viewRect.left, viewRect.top, viewRect.left + static_cast<int>(w * s),
           viewRect.top + static_cast<int>(h * s)};
    Offset(r, frame.left, frame.top);
    *out = r;
    return TRUE;
}

BOOL CViewRect::UpdateCropRect(BOOL enlarge)
{
    if (cropRect)
        return TRUE;
    int w = viewRect.right - viewRect.left, h = viewRect.bottom - viewRect.top;
    if (w < 1 || h < 1 || frameWidth < 1 || frameHeight < 1)
        return FALSE;  // no aspect ratio to keep
    cropRect = new (std::nothrow) RECT(viewRect);
    if (!cropRect)
        return FALSE;
    const double rf = static_cast<double>(frameWidth) / frameHeight;
    const double rv = static_cast<double>(w) / h;
    double s = 1.0;
    if ((w < frameWidth || h < frameHeight) && enlarge) {
        s = rf < rv ? static_cast<double>(h) / frameHeight : static_cast<double>(w) / frameWidth;
        w = static_cast<int>(w / s);
        h = static_cast<int>(h / s);
    }
    if (rf < rv)
        w = frameWidth * h / frameHeight;
    else
        h = frameHeight * w / frameWidth;
    cropRect->right = cropRect->left + static_cast<int>(w * s);
    cropRect->bottom = cropRect->top + static_cast<int>(h * s);
    Offset(*cropRect, frame.left, frame.top);
    return TRUE;
}

BOOL CViewRect::GetCropRect(RECT* out, BOOL enlarge)
{
    if (!out || !UpdateCropRect(enlarge))
        return FALSE;
    *out = *cropRect;
    return TRUE;
}

BOOL CViewRect::MoveCropRect(int dx, int dy)
{
    if (!cropRect)
        return FALSE;
    RECT r = *cropRect;
    Offset(r, dx, dy);
    if (r.left < viewRect.left)
        Offset(r, viewRect.left - r.left, 0);
    else if (r.right > viewRect.right)
        Offset(r, viewRect.right - r.right, 0);
    if (r.top < viewRect.top)
        Offset(r, 0, viewRect.top - r.top);
    else if (r.bottom > viewRect.bottom)
        Offset(r, 0, viewRect.bottom - r.bottom);
    if (Equal(r, *cropRect))
        return FALSE;
    *cropRect = r;
    return TRUE;
}

CZoomViewRect::CZoomViewRect(int width, int height) : CViewRect(width, height) {}

CZoomViewRect::~CZoomViewRect() { DropCropRect(); }

void CZoomViewRect::SetView(const RECT* picture, double newZoom)
{
    viewRect = picture ? *picture : RECT{};
    DropCropRect();
    RECT r = Centred(*this, viewRect.right - viewRect.left, viewRect.bottom - viewRect.top);
    baseZoom = zoom = newZoom;
    baseRect = zoomRect = r;
    viewRect = zoomRect;
    DropCropRect();
}

BOOL CZoomViewRect::Pan(const POINT* delta)
{
    RECT r = zoomRect;
    if (delta)
        Offset(r, delta->x, delta->y);
    int dx = Correction(r.left, r.right, frame.left, frame.right, frameWidth);
    int dy = Correction(r.top, r.bottom, frame.top, frame.bottom, frameHeight);
    Offset(r, dx, dy);
    if (Equal(r, zoomRect))
        return FALSE;
    zoomRect = r;
    return TRUE;
}

void CZoomViewRect::ZoomTo(double newZoom)
{
    // About the frame's centre; a zoomable frame always starts at (0, 0).
    Offset(zoomRect, -Half(frameWidth), -Half(frameHeight));
    const double factor = newZoom / zoom;
    zoomRect.left = static_cast<LONG>(zoomRect.left * factor);
    zoomRect.top = static_cast<LONG>(zoomRect.top * factor);
    zoomRect.right = static_cast<LONG>(zoomRect.right * factor);
    zoomRect.bottom = static_cast<LONG>(zoomRect.bottom * factor);
    Offset(zoomRect, Half(frameWidth), Half(frameHeight));
    zoom = newZoom;
    POINT none{0, 0};
    Pan(&none);
    viewRect = zoomRect;
    DropCropRect();
}
