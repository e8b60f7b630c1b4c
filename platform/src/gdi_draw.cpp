// GDI drawing: pixels, blits, fills, lines and rectangles.
#include "plat/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gdi_font.h"
#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/window.h"

namespace plat::gdi {

POINT ToSurface(const DcObject& dc, int x, int y) { return {x + dc.origin.x, y + dc.origin.y}; }

RECT ToSurface(const DcObject& dc, RECT r)
{
    return {r.left + dc.origin.x, r.top + dc.origin.y, r.right + dc.origin.x, r.bottom + dc.origin.y};
}

RECT Normalised(int l, int t, int r, int b) { return {std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b)}; }

void Plot(DcObject& dc, int x, int y, COLORREF colour)
{
    POINT p = ToSurface(dc, x, y);
    if (p.x >= dc.clip.left && p.x < dc.clip.right && p.y >= dc.clip.top && p.y < dc.clip.bottom)
        dc.surface->Set(p.x, p.y, colour);
}

void FillDc(DcObject& dc, const RECT& r, COLORREF colour)
{
    dc.surface->Fill(Intersect(ToSurface(dc, r), dc.clip), colour);
}

std::shared_ptr<Surface> SurfaceOfSource(HANDLE src, POINT* origin)
{
    *origin = {};
    auto o = Lookup(src);
    if (!o)
        return nullptr;
    if (auto dc = std::dynamic_pointer_cast<DcObject>(o)) {
        *origin = dc->origin;
        return dc->surface;
    }
    if (auto bm = std::dynamic_pointer_cast<BitmapObject>(o))
        return bm->surface;
    return nullptr;
}

// Nearest-neighbour copy of a source rectangle onto a destination one; key
// (a raw source value) marks pixels that are left out.
bool Stretch(DcObject& dst, int x, int y, int w, int h, const Surface& src, POINT srcOrigin, int sx, int sy, int sw,
             int sh, const DWORD* key, int alpha = 255)
{
    if (w <= 0 || h <= 0 || sw <= 0 || sh <= 0)
        return w == 0 || h == 0;
    RECT target = Intersect(ToSurface(dst, RECT{x, y, x + w, y + h}), dst.clip);
    POINT base = ToSurface(dst, x, y);
    const bool same = &src == dst.surface.get();
    // Overlapping copies within one surface read from a snapshot.
    std::unique_ptr<Surface> copy;
    const Surface* from = &src;
    if (same) {
        copy = std::make_unique<Surface>(src.Width(), src.Height(), src.Format());
        for (int yy = 0; yy < src.Height(); ++yy)
            for (int xx = 0; xx < src.Width(); ++xx)
                copy->SetRaw(xx, yy, src.Raw(xx, yy));
        from = copy.get();
    }
    const bool sameFormat = from->Format() == dst.surface->Format();
    for (int ty = target.top; ty < target.bottom; ++ty) {
        int py = srcOrigin.y + sy + static_cast<int>(static_cast<long long>(ty - base.y) * sh / h);
        if (py < 0 || py >= from->Height())
            continue;
        for (int tx = target.left; tx < target.right; ++tx) {
            int px = srcOrigin.x + sx + static_cast<int>(static_cast<long long>(tx - base.x) * sw / w);
            if (px < 0 || px >= from->Width())
                continue;
            DWORD raw = from->Raw(px, py);
            if (key && raw == *key)
                continue;
            if (alpha >= 255) {
                if (sameFormat)
                    dst.surface->SetRaw(tx, ty, raw);
                else
                    dst.surface->Set(tx, ty, from->Decode(raw));
            } else {
                COLORREF s = from->Decode(raw);
                COLORREF d = dst.surface->Get(tx, ty);
                auto mix = [alpha](int a, int b) { return static_cast<BYTE>((a * alpha + b * (255 - alpha) + 127) / 255); };
                dst.surface->Set(tx, ty, RGB(mix(GetRValue(s), GetRValue(d)), mix(GetGValue(s), GetGValue(d)),
                                             mix(GetBValue(s), GetBValue(d))));
            }
        }
    }
    return true;
}

// Bresenham line, the end point left out as GDI does; the pen is a square of its width.
void Line(DcObject& dc, POINT a, POINT b)
{
    if (!dc.pen || dc.pen->style == PS_NULL)
        return;
    int width = std::max(1, dc.pen->width);
    int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
    int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
    int err = dx + dy;
    int x = a.x, y = a.y;
    int step = 0;
    while (!(x == b.x && y == b.y)) {
        bool on = dc.pen->style != PS_DASH || (step / 6) % 2 == 0;
        if (on) {
            int half = (width - 1) / 2;
            for (int oy = 0; oy < width; ++oy)
                for (int ox = 0; ox < width; ++ox)
                    Plot(dc, x - half + ox, y - half + oy, dc.pen->colour);
        }
        ++step;
        int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}


}  // namespace plat::gdi

using namespace plat::gdi;

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return CLR_INVALID;
    POINT p = ToSurface(*dc, x, y);
    if (!dc->surface->Contains(p.x, p.y) || p.x < dc->clip.left || p.x >= dc->clip.right || p.y < dc->clip.top ||
        p.y >= dc->clip.bottom)
        return CLR_INVALID;
    dc->surface->Set(p.x, p.y, colour);
    return dc->surface->Get(p.x, p.y);
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return CLR_INVALID;
    POINT p = ToSurface(*dc, x, y);
    if (!dc->surface->Contains(p.x, p.y))
        return CLR_INVALID;
    return dc->surface->Get(p.x, p.y);
}


namespace {

// The blits' common path: both ends looked up and the sizes checked before
// the copy. A key colour is compared in the source's own format.
BOOL Blit(HDC dst, int x, int y, int width, int height, HANDLE src, bool srcIsDc, int srcX, int srcY, int srcWidth,
          int srcHeight, const COLORREF* key = nullptr, int alpha = 255)
{
    Guard g(Mutex());
    auto d = LookupDc(dst);
    POINT origin;
    auto s = SurfaceOfSource(src, &origin);
    if (!d || !s || (srcIsDc && !LookupDc(static_cast<HDC>(src))) || width < 0 || height < 0 || srcWidth < 0 ||
        srcHeight < 0)
        return FALSE;
    DWORD raw = key ? s->Encode(*key) : 0;
    return Stretch(*d, x, y, width, height, *s, origin, srcX, srcY, srcWidth, srcHeight, key ? &raw : nullptr, alpha)
               ? TRUE
               : FALSE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop)
{
    if (rop != SRCCOPY)
        return PatBlt(dst, x, y, width, height, rop);
    return Blit(dst, x, y, width, height, src, true, srcX, srcY, width, height);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop)
{
    if (rop != SRCCOPY)
        return FALSE;
    return Blit(dst, x, y, width, height, src, true, srcX, srcY, srcWidth, srcHeight);
}

BOOL TransparentImage(HDC dst, int x, int y, int width, int height, HANDLE src, int srcX, int srcY, int srcWidth,
                      int srcHeight, COLORREF key)
{
    return Blit(dst, x, y, width, height, src, false, srcX, srcY, srcWidth, srcHeight, &key);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, UINT key)
{
    if (!LookupDc(src))
        return FALSE;
    return TransparentImage(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, key);
}

int StretchDIBits(HDC dst, int x, int y, int width, int height, int srcX, int srcY, int srcWidth, int srcHeight,
                  const void* bits, const BITMAPINFO* info, UINT usage, DWORD rop)
{
    Guard g(Mutex());
    auto d = LookupDc(dst);
    PixelFormat format;
    if (!d || !bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY || !FormatOf(info, &format))
        return 0;
    LONG w = info->bmiHeader.biWidth, h = info->bmiHeader.biHeight;
    bool bottomUp = h > 0;
    h = h < 0 ? -h : h;
    if (!ValidSize(w, h) || srcWidth < 0 || srcHeight < 0 || width < 0 || height < 0)
        return 0;
    Surface s(const_cast<BYTE*>(static_cast<const BYTE*>(bits)), w, h, ((w * format.bpp / 8) + 3) & ~3, format,
              bottomUp);
    // A bottom-up DIB's source origin is its lower-left corner.
    int top = bottomUp ? h - srcY - srcHeight : srcY;
    if (!Stretch(*d, x, y, width, height, s, POINT{}, srcX, top, srcWidth, srcHeight, nullptr))
        return 0;
    return srcHeight;
}

BOOL AlphaBlend(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, BLENDFUNCTION blend)
{
    if (blend.BlendOp != AC_SRC_OVER || blend.AlphaFormat != 0)
        return FALSE;  // constant alpha only
    return Blit(dst, x, y, width, height, src, true, srcX, srcY, srcWidth, srcHeight, nullptr,
                blend.SourceConstantAlpha);
}

BOOL PatBlt(HDC hdc, int x, int y, int width, int height, DWORD rop)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    RECT r = Normalised(x, y, x + width, y + height);
    switch (rop) {
    case PATCOPY:
        if (dc->brush && !dc->brush->hollow)
            FillDc(*dc, r, dc->brush->colour);
        return TRUE;
    case BLACKNESS: FillDc(*dc, r, RGB(0, 0, 0)); return TRUE;
    case WHITENESS: FillDc(*dc, r, RGB(255, 255, 255)); return TRUE;
    case DSTINVERT: {
        RECT c = Intersect(ToSurface(*dc, r), dc->clip);
        for (int yy = c.top; yy < c.bottom; ++yy)
            for (int xx = c.left; xx < c.right; ++xx)
                dc->surface->Set(xx, yy, ~dc->surface->Get(xx, yy) & 0xFFFFFF);
        return TRUE;
    }
    default: return FALSE;
    }
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !rect)
        return 0;
    // A system colour index + 1 stands for that colour's brush.
    auto value = reinterpret_cast<std::uintptr_t>(brush);
    if ((value & SYS_COLOR_INDEX_FLAG) && (value & ~static_cast<std::uintptr_t>(SYS_COLOR_INDEX_FLAG)) - 1 < 64) {
        FillDc(*dc, *rect, GetSysColor(static_cast<int>(value - 1)));
        return 1;
    }
    auto b = LookupAs<BrushObject>(brush);
    if (!b)
        return 0;
    if (!b->hollow)
        FillDc(*dc, *rect, b->colour);
    return 1;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->pen_pos;
    dc->pen_pos = {x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    Line(*dc, dc->pen_pos, {x, y});
    dc->pen_pos = {x, y};
    return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !points || count < 2)
        return FALSE;
    for (int i = 1; i < count; ++i)
        Line(*dc, points[i - 1], points[i]);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    RECT r = Normalised(left, top, right, bottom);
    if (dc->brush && !dc->brush->hollow)
        FillDc(*dc, r, dc->brush->colour);
    if (dc->pen && dc->pen->style != PS_NULL && r.right > r.left && r.bottom > r.top) {
        // The outline lies inside the rectangle, one pen width thick.
        int w = std::max(1, dc->pen->width);
        COLORREF c = dc->pen->colour;
        FillDc(*dc, RECT{r.left, r.top, r.right, std::min(r.bottom, r.top + w)}, c);
        FillDc(*dc, RECT{r.left, std::max(r.top, r.bottom - w), r.right, r.bottom}, c);
        FillDc(*dc, RECT{r.left, r.top, std::min(r.right, r.left + w), r.bottom}, c);
        FillDc(*dc, RECT{std::max(r.left, r.right - w), r.top, r.right, r.bottom}, c);
    }
    return TRUE;
}

