// GDI's object table, shared with DirectDraw (DCs on surfaces) and the
// screen (window backing surfaces).
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gdi_surface.h"
#include "plat/gdi.h"

namespace plat::gdi {

class Font;

struct Object {
    enum class Kind { Bitmap, Brush, Pen, Font, Dc };
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Kind kind;
    bool stock = false;
};

struct BitmapObject : Object {
    BitmapObject() : Object(Kind::Bitmap) {}
    std::shared_ptr<Surface> surface;
    bool dib = false;
    HDC selectedInto = nullptr;
};

struct BrushObject : Object {
    BrushObject() : Object(Kind::Brush) {}
    COLORREF colour = 0;
    bool hollow = false;
};

struct PenObject : Object {
    PenObject() : Object(Kind::Pen) {}
    int style = PS_SOLID;
    int width = 1;
    COLORREF colour = 0;
};

struct FontObject : Object {
    FontObject() : Object(Kind::Font) {}
    LOGFONTW logFont{};
    std::shared_ptr<Font> font;
};

struct DcObject : Object {
    DcObject() : Object(Kind::Dc) {}
    enum class Use { Memory, Window, Screen, Surface } use = Use::Memory;
    std::shared_ptr<Surface> surface;  // what the DC draws on
    POINT origin{};                    // of the DC's coordinates on the surface
    RECT clip{};                       // on the surface
    HWND hwnd = nullptr;
    std::shared_ptr<BitmapObject> bitmap;
    std::shared_ptr<BrushObject> brush;
    std::shared_ptr<PenObject> pen;
    std::shared_ptr<FontObject> font;
    HGDIOBJ bitmapHandle = nullptr, brushHandle = nullptr, penHandle = nullptr, fontHandle = nullptr;
    COLORREF bkColour = RGB(255, 255, 255);
    COLORREF textColour = 0;
    int bkMode = OPAQUE;
    UINT textAlign = 0;
    POINT pen_pos{};
    bool recording = false;
    std::vector<TextCall> textCalls;
};

// One lock for all of GDI: drawing is quick and FreeType is not thread-safe.
// Never taken while the window manager's lock is held, nor the other way round.
std::recursive_mutex& Mutex();

HGDIOBJ Insert(std::shared_ptr<Object> object);
// Objects made and not yet deleted, stock objects left out.
std::size_t LiveObjectCount();
std::shared_ptr<Object> Lookup(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> LookupAs(HGDIOBJ handle)
{
    return std::dynamic_pointer_cast<T>(Lookup(handle));
}
std::shared_ptr<DcObject> LookupDc(HDC dc);

// A DC that draws on the given surface (origin 0, clipped to the surface).
HDC CreateSurfaceDc(std::shared_ptr<Surface> surface, DcObject::Use use, HWND hwnd = nullptr, POINT origin = {});
// Removes a DC made by CreateSurfaceDc (or any DC).
bool DestroyDc(HDC dc);

using Guard = std::lock_guard<std::recursive_mutex>;

bool ValidSize(LONG w, LONG h);
// The pixel format a BITMAPINFO asks for; false when we do not draw it.
bool FormatOf(const BITMAPINFO* info, PixelFormat* out);

// Drawing on a DC's surface, lock held; coordinates are the DC's own.
POINT ToSurface(const DcObject& dc, int x, int y);
RECT ToSurface(const DcObject& dc, RECT r);
RECT Normalised(int l, int t, int r, int b);
void Plot(DcObject& dc, int x, int y, COLORREF colour);
void FillDc(DcObject& dc, const RECT& r, COLORREF colour);
// The surface of a DC or bitmap handle, and where the DC's origin lies on it.
std::shared_ptr<Surface> SurfaceOfSource(HANDLE src, POINT* origin);

}  // namespace plat::gdi
