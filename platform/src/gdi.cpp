// GDI objects, DCs and drawing. Every call takes the one GDI lock, looks its
// handles up in the live-object table and fails cleanly on a dead one.
#include "plat/gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "gdi_font.h"
#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/window.h"

namespace plat::gdi {

namespace {

struct Table {
    std::unordered_map<std::uintptr_t, std::shared_ptr<Object>> objects;
    std::uintptr_t next = 0x7E000000;
    std::vector<HGDIOBJ> stock;
    HGDIOBJ defaultBitmap = nullptr;
};

Table& T()
{
    static Table table;
    return table;
}

using Guard = std::lock_guard<std::recursive_mutex>;

HGDIOBJ MakeStock(std::shared_ptr<Object> o)
{
    o->stock = true;
    return Insert(std::move(o));
}

void EnsureStock()
{
    Table& t = T();
    if (!t.stock.empty())
        return;
    t.stock.assign(SYSTEM_FONT + 1, nullptr);
    const COLORREF greys[] = {RGB(255, 255, 255), RGB(192, 192, 192), RGB(128, 128, 128), RGB(64, 64, 64),
                              RGB(0, 0, 0)};
    for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i) {
        auto b = std::make_shared<BrushObject>();
        b->colour = greys[i];
        t.stock[i] = MakeStock(b);
    }
    auto hollow = std::make_shared<BrushObject>();
    hollow->hollow = true;
    t.stock[NULL_BRUSH] = MakeStock(hollow);
    const std::pair<int, COLORREF> pens[] = {{WHITE_PEN, RGB(255, 255, 255)}, {BLACK_PEN, 0}, {NULL_PEN, 0}};
    for (auto [index, colour] : pens) {
        auto p = std::make_shared<PenObject>();
        p->colour = colour;
        p->style = index == NULL_PEN ? PS_NULL : PS_SOLID;
        t.stock[index] = MakeStock(p);
    }
    auto f = std::make_shared<FontObject>();
    f->logFont.lfHeight = -12;
    f->logFont.lfWeight = FW_NORMAL;
    wcscpy(f->logFont.lfFaceName, L"Tahoma");
    f->font = Font::Create(f->logFont, nullptr);
    t.stock[SYSTEM_FONT] = MakeStock(f);
    // A memory DC starts with a 1 x 1 bitmap, as on the handset.
    auto bm = std::make_shared<BitmapObject>();
    bm->surface = std::make_shared<Surface>(1, 1, PixelFormat::Rgb565());
    t.defaultBitmap = MakeStock(bm);
}

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

bool ValidSize(LONG w, LONG h) { return w > 0 && h > 0 && w <= 16384 && h <= 16384; }

// The pixel format a BITMAPINFO asks for; false when we do not draw it.
bool FormatOf(const BITMAPINFO* info, PixelFormat* out)
{
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes > 1)
        return false;
    const auto* masks = reinterpret_cast<const DWORD*>(reinterpret_cast<const BYTE*>(info) + h.biSize);
    switch (h.biBitCount) {
    case 16:
        if (h.biCompression == BI_RGB) {
            *out = PixelFormat::Rgb555();
            return true;
        }
        if (h.biCompression == BI_BITFIELDS) {
            *out = {16, masks[0], masks[1], masks[2]};
            return masks[0] && masks[1] && masks[2] && (masks[0] | masks[1] | masks[2]) <= 0xFFFF &&
                   !(masks[0] & masks[1]) && !(masks[1] & masks[2]) && !(masks[0] & masks[2]);
        }
        return false;
    case 24:
    case 32:
        if (h.biCompression == BI_RGB) {
            *out = PixelFormat::Rgb888(h.biBitCount);
            return true;
        }
        if (h.biCompression == BI_BITFIELDS) {
            *out = {h.biBitCount, masks[0], masks[1], masks[2]};
            DWORD limit = h.biBitCount == 24 ? 0xFFFFFFu : 0xFFFFFFFFu;
            return masks[0] && masks[1] && masks[2] && (masks[0] | masks[1] | masks[2]) <= limit &&
                   !(masks[0] & masks[1]) && !(masks[1] & masks[2]) && !(masks[0] & masks[2]);
        }
        return false;
    default:
        return false;
    }
}

HBITMAP InsertBitmap(std::shared_ptr<Surface> surface, bool dib)
{
    auto bm = std::make_shared<BitmapObject>();
    bm->surface = std::move(surface);
    bm->dib = dib;
    return static_cast<HBITMAP>(Insert(bm));
}

void Unselect(DcObject& dc)
{
    if (dc.bitmap && !dc.bitmap->stock)
        dc.bitmap->selectedInto = nullptr;
}

}  // namespace

std::recursive_mutex& Mutex()
{
    static std::recursive_mutex mu;
    return mu;
}

HGDIOBJ Insert(std::shared_ptr<Object> object)
{
    Guard g(Mutex());
    Table& t = T();
    auto handle = t.next;
    t.next += 4;
    t.objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

std::shared_ptr<Object> Lookup(HGDIOBJ handle)
{
    Guard g(Mutex());
    auto it = T().objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == T().objects.end() ? nullptr : it->second;
}

std::shared_ptr<DcObject> LookupDc(HDC dc) { return LookupAs<DcObject>(dc); }

HDC CreateSurfaceDc(std::shared_ptr<Surface> surface, DcObject::Use use, HWND hwnd, POINT origin)
{
    Guard g(Mutex());
    EnsureStock();
    auto dc = std::make_shared<DcObject>();
    dc->use = use;
    dc->hwnd = hwnd;
    dc->origin = origin;
    if (surface)
        dc->clip = RECT{0, 0, surface->Width(), surface->Height()};
    dc->surface = std::move(surface);
    Table& t = T();
    dc->brushHandle = t.stock[WHITE_BRUSH];
    dc->brush = LookupAs<BrushObject>(dc->brushHandle);
    dc->penHandle = t.stock[BLACK_PEN];
    dc->pen = LookupAs<PenObject>(dc->penHandle);
    dc->fontHandle = t.stock[SYSTEM_FONT];
    dc->font = LookupAs<FontObject>(dc->fontHandle);
    if (use == DcObject::Use::Memory) {
        dc->bitmapHandle = t.defaultBitmap;
        dc->bitmap = LookupAs<BitmapObject>(t.defaultBitmap);
        dc->surface = dc->bitmap->surface;
        dc->clip = RECT{0, 0, 1, 1};
    }
    return static_cast<HDC>(Insert(dc));
}

bool DestroyDc(HDC handle)
{
    Guard g(Mutex());
    auto dc = LookupDc(handle);
    if (!dc)
        return false;
    Unselect(*dc);
    T().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
    return true;
}

}  // namespace plat::gdi

using namespace plat::gdi;

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

std::shared_ptr<FontObject> DcFont(DcObject& dc)
{
    if (dc.font && dc.font->font)
        return dc.font;
    return nullptr;
}

struct Placed {
    int along0;    // pen start along the run
    int baseline;  // across the run
    RECT box;
};

// Where a run of text of the given width goes for a reference point and alignment.
Placed Place(const Font& f, LONG escapement, int x, int y, UINT align, int width)
{
    UINT h = align & (TA_CENTER);
    UINT v = align & TA_BASELINE;
    Placed p{};
    if (escapement == 2700) {
        // Turned a quarter turn clockwise: the run goes down, the glyphs' tops face right.
        p.along0 = h == TA_RIGHT ? y - width : h == TA_CENTER ? y - width / 2 : y;
        // The cell lies left of x for TA_TOP and right of it for TA_BOTTOM.
        p.baseline = v == TA_BASELINE ? x : v == TA_BOTTOM ? x + f.Descent() - 1 : x - f.Ascent() - 1;
        p.box = RECT{p.baseline - f.Descent() + 1, p.along0, p.baseline + f.Ascent() + 1, p.along0 + width};
    } else {
        p.along0 = h == TA_RIGHT ? x - width : h == TA_CENTER ? x - width / 2 : x;
        p.baseline = v == TA_BASELINE ? y : v == TA_BOTTOM ? y - f.Descent() : y + f.Ascent();
        p.box = RECT{p.along0, p.baseline - f.Ascent(), p.along0 + width, p.baseline + f.Descent()};
    }
    return p;
}

void DrawRun(DcObject& dc, Font& f, LONG escapement, const Placed& p, std::wstring_view text)
{
    if (dc.bkMode == OPAQUE)
        FillDc(dc, p.box, dc.bkColour);
    COLORREF colour = dc.textColour;
    if (escapement == 2700) {
        f.Render(text, [&](int along, int down) { Plot(dc, p.baseline - down, p.along0 + along, colour); });
    } else {
        f.Render(text, [&](int along, int down) { Plot(dc, p.along0 + along, p.baseline + down, colour); });
    }
}

void Record(DcObject& dc, std::wstring_view text, POINT at, UINT align, RECT box, LONG escapement)
{
    if (dc.recording)
        dc.textCalls.push_back(plat::TextCall{std::wstring(text), at, align, box, escapement, dc.textColour});
}

}  // namespace

HGDIOBJ GetStockObject(int index)
{
    Guard g(Mutex());
    EnsureStock();
    if (index < 0 || index >= static_cast<int>(T().stock.size()))
        return nullptr;
    return T().stock[index];
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto b = std::make_shared<BrushObject>();
    b->colour = colour & 0xFFFFFF;
    return static_cast<HBRUSH>(Insert(b));
}

HPEN CreatePen(int style, int width, COLORREF colour)
{
    if (style != PS_SOLID && style != PS_DASH && style != PS_NULL)
        return nullptr;
    auto p = std::make_shared<PenObject>();
    p->style = style;
    p->width = std::max(1, width);
    p->colour = colour & 0xFFFFFF;
    return static_cast<HPEN>(Insert(p));
}

HFONT CreateFontIndirectW(const LOGFONTW* lf)
{
    if (!lf)
        return nullptr;
    Guard g(Mutex());
    auto f = std::make_shared<FontObject>();
    f->logFont = *lf;
    f->logFont.lfFaceName[LF_FACESIZE - 1] = 0;
    std::wstring why;
    f->font = Font::Create(f->logFont, &why);
    if (!f->font) {
        plat::DebugLine(L"CreateFontIndirectW: %ls\r\n", why.c_str());
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    return static_cast<HFONT>(Insert(f));
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    auto o = Lookup(handle);
    if (!dc || !o)
        return nullptr;
    HGDIOBJ previous = nullptr;
    switch (o->kind) {
    case Object::Kind::Bitmap: {
        auto bm = std::static_pointer_cast<BitmapObject>(o);
        if (dc->use != DcObject::Use::Memory)
            return nullptr;
        if (bm->selectedInto && bm->selectedInto != hdc)
            return nullptr;  // one DC at a time
        previous = dc->bitmapHandle;
        Unselect(*dc);
        if (!bm->stock)
            bm->selectedInto = hdc;
        dc->bitmap = bm;
        dc->bitmapHandle = handle;
        dc->surface = bm->surface;
        dc->clip = RECT{0, 0, bm->surface->Width(), bm->surface->Height()};
        break;
    }
    case Object::Kind::Brush:
        previous = dc->brushHandle;
        dc->brush = std::static_pointer_cast<BrushObject>(o);
        dc->brushHandle = handle;
        break;
    case Object::Kind::Pen:
        previous = dc->penHandle;
        dc->pen = std::static_pointer_cast<PenObject>(o);
        dc->penHandle = handle;
        break;
    case Object::Kind::Font:
        previous = dc->fontHandle;
        dc->font = std::static_pointer_cast<FontObject>(o);
        dc->fontHandle = handle;
        break;
    case Object::Kind::Dc:
        return nullptr;
    }
    return previous;
}

BOOL DeleteObject(HGDIOBJ handle)
{
    Guard g(Mutex());
    auto o = Lookup(handle);
    if (!o || o->stock || o->kind == Object::Kind::Dc)
        return FALSE;
    if (o->kind == Object::Kind::Bitmap && std::static_pointer_cast<BitmapObject>(o)->selectedInto)
        return FALSE;  // still selected into a DC
    // A DC that still holds a pen, brush or font keeps drawing with it.
    T().objects.erase(reinterpret_cast<std::uintptr_t>(handle));
    return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID out)
{
    Guard g(Mutex());
    auto o = Lookup(handle);
    if (!o)
        return 0;
    switch (o->kind) {
    case Object::Kind::Bitmap: {
        auto bm = std::static_pointer_cast<BitmapObject>(o);
        const Surface& s = *bm->surface;
        BITMAP b{0, s.Width(), s.Height(), s.Stride(), 1, static_cast<WORD>(s.Format().bpp),
                 bm->dib ? s.Bits() : nullptr};
        if (!out)
            return bm->dib ? sizeof(DIBSECTION) : sizeof(BITMAP);
        if (bm->dib && size >= static_cast<int>(sizeof(DIBSECTION))) {
            DIBSECTION ds{};
            ds.dsBm = b;
            ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
            ds.dsBmih.biWidth = s.Width();
            ds.dsBmih.biHeight = s.BottomUp() ? s.Height() : -s.Height();
            ds.dsBmih.biPlanes = 1;
            ds.dsBmih.biBitCount = static_cast<WORD>(s.Format().bpp);
            ds.dsBmih.biCompression = s.Format() == PixelFormat::Rgb555() || s.Format() == PixelFormat::Rgb888(s.Format().bpp)
                                          ? BI_RGB
                                          : BI_BITFIELDS;
            ds.dsBmih.biSizeImage = static_cast<DWORD>(s.ByteSize());
            ds.dsBitfields[0] = s.Format().red;
            ds.dsBitfields[1] = s.Format().green;
            ds.dsBitfields[2] = s.Format().blue;
            std::memcpy(out, &ds, sizeof ds);
            return sizeof ds;
        }
        if (size < static_cast<int>(sizeof(BITMAP)))
            return 0;
        std::memcpy(out, &b, sizeof b);
        return sizeof b;
    }
    case Object::Kind::Font: {
        if (!out)
            return sizeof(LOGFONTW);
        if (size < static_cast<int>(sizeof(LOGFONTW)))
            return 0;
        std::memcpy(out, &std::static_pointer_cast<FontObject>(o)->logFont, sizeof(LOGFONTW));
        return sizeof(LOGFONTW);
    }
    default:
        return 0;
    }
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD)
{
    if (bits)
        *bits = nullptr;
    PixelFormat format;
    if (!info || usage != DIB_RGB_COLORS || section || !FormatOf(info, &format)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    LONG w = info->bmiHeader.biWidth, h = info->bmiHeader.biHeight;
    bool bottomUp = h > 0;
    h = h < 0 ? -h : h;
    if (!ValidSize(w, h)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto surface = std::make_shared<Surface>(w, h, format, bottomUp);
    if (bits)
        *bits = surface->Bits();
    return InsertBitmap(std::move(surface), true);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bpp, const void* bits)
{
    if (!ValidSize(width, height) || planes != 1 || (bpp != 16 && bpp != 24 && bpp != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    PixelFormat format = bpp == 16 ? PixelFormat::Rgb565() : PixelFormat::Rgb888(static_cast<int>(bpp));
    auto surface = std::make_shared<Surface>(width, height, format);
    if (bits) {
        // Device-dependent rows are padded to two bytes only.
        size_t row = ((static_cast<size_t>(width) * bpp / 8) + 1) & ~static_cast<size_t>(1);
        for (int y = 0; y < height; ++y)
            std::memcpy(surface->MemRow(y), static_cast<const BYTE*>(bits) + row * y,
                        static_cast<size_t>(width) * bpp / 8);
    }
    return InsertBitmap(std::move(surface), false);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height)
{
    if (!ValidSize(width, height)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The display's format.
    return InsertBitmap(std::make_shared<Surface>(width, height, PixelFormat::Rgb565()), false);
}

int GetDIBits(HDC, HBITMAP handle, UINT start, UINT lines, LPVOID bits, LPBITMAPINFO info, UINT usage)
{
    Guard g(Mutex());
    auto bm = LookupAs<BitmapObject>(handle);
    if (!bm || !info || usage != DIB_RGB_COLORS)
        return 0;
    const Surface& s = *bm->surface;
    BITMAPINFOHEADER& h = info->bmiHeader;
    if (!bits) {
        // Describe the bitmap.
        if (h.biSize < sizeof(BITMAPINFOHEADER))
            return 0;
        h.biWidth = s.Width();
        h.biHeight = s.Height();
        h.biPlanes = 1;
        h.biBitCount = static_cast<WORD>(s.Format().bpp);
        h.biCompression = s.Format().bpp == 16 && !(s.Format() == PixelFormat::Rgb555()) ? BI_BITFIELDS : BI_RGB;
        h.biSizeImage = static_cast<DWORD>(s.ByteSize());
        if (h.biCompression == BI_BITFIELDS) {
            auto* masks = reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(info) + h.biSize);
            masks[0] = s.Format().red;
            masks[1] = s.Format().green;
            masks[2] = s.Format().blue;
        }
        return s.Height();
    }
    PixelFormat format;
    if (!FormatOf(info, &format) || h.biWidth != s.Width())
        return 0;
    LONG rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    bool bottomUp = h.biHeight > 0;
    if (rows <= 0 || start >= static_cast<UINT>(rows))
        return 0;
    Surface out(static_cast<BYTE*>(bits), h.biWidth, rows, ((h.biWidth * format.bpp / 8) + 3) & ~3, format, bottomUp);
    UINT end = std::min<UINT>(start + lines, static_cast<UINT>(std::min<LONG>(rows, s.Height())));
    int copied = 0;
    for (UINT i = start; i < end; ++i) {
        // Scan line i counts from the bottom of a bottom-up DIB.
        int y = bottomUp ? rows - 1 - static_cast<int>(i) : static_cast<int>(i);
        if (y < 0 || y >= s.Height())
            continue;
        for (int x = 0; x < s.Width(); ++x)
            out.Set(x, y, s.Get(x, y));
        ++copied;
    }
    return copied;
}

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

HDC CreateCompatibleDC(HDC)
{
    return CreateSurfaceDc(nullptr, DcObject::Use::Memory);
}

BOOL DeleteDC(HDC hdc)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || dc->use != DcObject::Use::Memory)
        return FALSE;
    return DestroyDc(hdc) ? TRUE : FALSE;
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

namespace {

// Replaces one drawing attribute of a DC and returns the old one, or fail for a dead DC.
template <class T>
T SwapAttribute(HDC hdc, T DcObject::*field, T value, T fail)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return fail;
    T old = (*dc).*field;
    (*dc).*field = value;
    return old;
}

template <class T>
T ReadAttribute(HDC hdc, T DcObject::*field, T fail)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    return dc ? (*dc).*field : fail;
}

}  // namespace

COLORREF SetBkColor(HDC hdc, COLORREF colour)
{
    if (colour == CLR_INVALID)
        return CLR_INVALID;
    return SwapAttribute(hdc, &DcObject::bkColour, colour & 0xFFFFFF, CLR_INVALID);
}

COLORREF GetBkColor(HDC hdc) { return ReadAttribute(hdc, &DcObject::bkColour, CLR_INVALID); }

int SetBkMode(HDC hdc, int mode)
{
    if (mode != TRANSPARENT && mode != OPAQUE)
        return 0;
    return SwapAttribute(hdc, &DcObject::bkMode, mode, 0);
}

COLORREF SetTextColor(HDC hdc, COLORREF colour)
{
    if (colour == CLR_INVALID)
        return CLR_INVALID;
    return SwapAttribute(hdc, &DcObject::textColour, colour & 0xFFFFFF, CLR_INVALID);
}

UINT SetTextAlign(HDC hdc, UINT align) { return SwapAttribute(hdc, &DcObject::textAlign, align, GDI_ERROR); }

UINT GetTextAlign(HDC hdc) { return ReadAttribute(hdc, &DcObject::textAlign, GDI_ERROR); }

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, LPCRECT rect, LPCWSTR text, UINT count, const INT*)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || (count > 0 && !text))
        return FALSE;
    if ((options & ETO_OPAQUE) && rect)
        FillDc(*dc, *rect, dc->bkColour);
    if (count == 0)
        return TRUE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    std::wstring_view run(text, count);
    Font& f = *fo->font;
    LONG esc = fo->logFont.lfEscapement == 2700 ? 2700 : 0;
    bool updateCp = (dc->textAlign & TA_UPDATECP) != 0;
    if (updateCp) {
        x = dc->pen_pos.x;
        y = dc->pen_pos.y;
    }
    int width = f.Advance(run);
    Placed p = Place(f, esc, x, y, dc->textAlign, width);
    RECT savedClip = dc->clip;
    if ((options & ETO_CLIPPED) && rect)
        dc->clip = Intersect(dc->clip, ToSurface(*dc, *rect));
    DrawRun(*dc, f, esc, p, run);
    dc->clip = savedClip;
    Record(*dc, run, POINT{x, y}, dc->textAlign, p.box, esc);
    if (updateCp) {
        if (esc == 2700)
            dc->pen_pos.y = p.along0 + width;
        else
            dc->pen_pos.x = p.along0 + width;
    }
    return TRUE;
}

namespace {

std::wstring StripPrefix(std::wstring_view text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size())
            ++i;
        else if (text[i] == L'&')
            continue;
        out += text[i];
    }
    return out;
}

// Splits into lines: at line ends unless single-line, and at spaces to fit
// the width when word-breaking (a word wider than the box keeps its line).
std::vector<std::wstring> Lines(Font& f, const std::wstring& text, UINT format, int width)
{
    std::vector<std::wstring> paragraphs;
    if (format & DT_SINGLELINE) {
        std::wstring one;
        for (WCHAR c : text)
            if (c != L'\r' && c != L'\n')
                one += c;
        paragraphs.push_back(one);
    } else {
        std::wstring cur;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r' || text[i] == L'\n') {
                if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                    ++i;
                paragraphs.push_back(cur);
                cur.clear();
            } else {
                cur += text[i];
            }
        }
        paragraphs.push_back(cur);
    }
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE))
        return paragraphs;
    std::vector<std::wstring> lines;
    for (const std::wstring& para : paragraphs) {
        std::wstring line;
        size_t i = 0;
        if (para.empty())
            lines.push_back(L"");
        while (i < para.size()) {
            size_t end = para.find(L' ', i);
            if (end == std::wstring::npos)
                end = para.size();
            std::wstring word = para.substr(i, end - i);
            std::wstring candidate = line.empty() ? word : line + L' ' + word;
            if (!line.empty() && f.Advance(candidate) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = candidate;
            }
            i = end + 1;
        }
        if (!para.empty())
            lines.push_back(line);
    }
    return lines;
}

std::wstring Ellipsised(Font& f, const std::wstring& line, int width)
{
    if (f.Advance(line) <= width)
        return line;
    std::wstring cut = line;
    while (!cut.empty() && f.Advance(cut + L"...") > width)
        cut.pop_back();
    return cut + L"...";
}

}  // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !text || !rect)
        return 0;
    auto fo = DcFont(*dc);
    if (!fo)
        return 0;
    Font& f = *fo->font;
    std::wstring_view raw = count < 0 ? std::wstring_view(text) : std::wstring_view(text, static_cast<size_t>(count));
    std::wstring body = (format & DT_NOPREFIX) ? std::wstring(raw) : StripPrefix(raw);
    int boxWidth = rect->right - rect->left;
    std::vector<std::wstring> lines = Lines(f, body, format, boxWidth);
    if (format & DT_END_ELLIPSIS)
        for (auto& line : lines)
            line = Ellipsised(f, line, boxWidth);
    int lineHeight = f.Height();
    int total = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const auto& line : lines)
            widest = std::max(widest, f.Advance(line));
        if (!(format & DT_WORDBREAK) || lines.size() <= 1)
            rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            top = rect->bottom - lineHeight;
    }
    RECT savedClip = dc->clip;
    if (!(format & DT_NOCLIP))
        dc->clip = Intersect(dc->clip, ToSurface(*dc, *rect));
    for (size_t i = 0; i < lines.size(); ++i) {
        int w = f.Advance(lines[i]);
        int left = (format & DT_CENTER) ? rect->left + (boxWidth - w) / 2
                   : (format & DT_RIGHT) ? rect->right - w
                                         : rect->left;
        int y = top + static_cast<int>(i) * lineHeight;
        Placed p = Place(f, 0, left, y, TA_LEFT | TA_TOP, w);
        DrawRun(*dc, f, 0, p, lines[i]);
        Record(*dc, lines[i], POINT{left, y}, format, p.box, 0);
    }
    dc->clip = savedClip;
    return total;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    size->cx = count ? fo->font->Advance(std::wstring_view(text, static_cast<size_t>(count))) : 0;
    size->cy = fo->font->Height();
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* tm)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc || !tm)
        return FALSE;
    auto fo = DcFont(*dc);
    if (!fo)
        return FALSE;
    Font& f = *fo->font;
    *tm = TEXTMETRICW{};
    tm->tmHeight = f.Height();
    tm->tmAscent = f.Ascent();
    tm->tmDescent = f.Descent();
    tm->tmInternalLeading = std::max(0, f.InternalLeading());
    tm->tmAveCharWidth = f.AveCharWidth();
    tm->tmMaxCharWidth = f.MaxCharWidth();
    tm->tmWeight = f.Weight();
    tm->tmDigitizedAspectX = 96;
    tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = L'?';
    tm->tmBreakChar = L' ';
    tm->tmPitchAndFamily = 0x06;  // variable pitch, TrueType
    tm->tmCharSet = fo->logFont.lfCharSet;
    return TRUE;
}

namespace plat {

BOOL RecordTextCalls(HDC hdc, bool on)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    if (!dc)
        return FALSE;
    dc->recording = on;
    if (on)
        dc->textCalls.clear();
    return TRUE;
}

std::vector<TextCall> RecordedTextCalls(HDC hdc)
{
    Guard g(Mutex());
    auto dc = LookupDc(hdc);
    return dc ? dc->textCalls : std::vector<TextCall>{};
}

bool CheckFonts(std::wstring* why)
{
    LOGFONTW lf{};
    lf.lfHeight = -12;
    for (LONG weight : {FW_NORMAL, FW_BOLD}) {
        lf.lfWeight = weight;
        if (!Font::Create(lf, why))
            return false;
    }
    return true;
}

}  // namespace plat
