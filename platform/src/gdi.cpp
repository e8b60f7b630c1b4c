// GDI objects, bitmaps and DCs. Every call takes the one GDI lock, looks its
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

}  // namespace

std::size_t LiveObjectCount()
{
    Guard guard(Mutex());
    std::size_t n = 0;
    for (const auto& [handle, object] : T().objects)
        n += object->stock ? 0 : 1;
    return n;
}

namespace {

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

