// Places a picture inside a display area: fitted keeping its proportions and
// centred, or zoomed and panned within the area. Plain values built on the
// stack for one drawing; 32-bit integer arithmetic with halves and
// conversions truncated toward zero.
#pragma once

#include "plat/types.h"

class CViewRect {
public:
    CViewRect(int width, int height);
    explicit CViewRect(const RECT& frame);
    virtual ~CViewRect();
    CViewRect(const CViewRect&) = delete;
    CViewRect& operator=(const CViewRect&) = delete;

    void SetViewRect(int left, int top, int right, int bottom);

    // Fits size into bounds in place; the factor applied.
    double FitSize(const SIZE& bounds, SIZE& size, BOOL enlarge);
    double FitSizeInRect(const RECT* bounds, SIZE* size, BOOL enlarge);

    BOOL GetFittedRect(RECT* out, BOOL enlarge);
    void GetCenteredRect(RECT* out);
    BOOL GetCoverRect(RECT* out);
    BOOL UpdateCropRect(BOOL enlarge);
    BOOL GetCropRect(RECT* out, BOOL enlarge);
    BOOL MoveCropRect(int dx, int dy);

    RECT frame{};
    int frameWidth = 0;
    int frameHeight = 0;
    RECT viewRect{};
    RECT* cropRect = nullptr;
    double scale = 1.0;

protected:
    void DropCropRect();
};

class CZoomViewRect : public CViewRect {
public:
    CZoomViewRect(int width, int height);
    ~CZoomViewRect() override;

    void SetView(const RECT* picture, double zoom);
    BOOL Pan(const POINT* delta);
    void ZoomTo(double newZoom);

    double baseZoom = 1.0;
    RECT baseRect{};
    double zoom = 1.0;
    RECT zoomRect{};
};
