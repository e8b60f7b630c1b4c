// Window DCs on backing surfaces, the composed screen and its screenshots.
#include "plat/screen.h"

#include <png.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "compose.h"
#include "ddraw_internal.h"
#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "wm_internal.h"

namespace fs = std::filesystem;

namespace plat::screen {

namespace {

// Backing surfaces of the top-level windows, under the GDI lock.
std::map<HWND, std::shared_ptr<gdi::Surface>>& Backings()
{
    static std::map<HWND, std::shared_ptr<gdi::Surface>> backings;
    return backings;
}

// The backing surface of a top-level window at its current size; a resized
// window keeps what it had drawn where it still fits.
std::shared_ptr<gdi::Surface> Backing(HWND top, int width, int height)
{
    auto& b = Backings()[top];
    if (!b || b->Width() != width || b->Height() != height) {
        auto fresh = std::make_shared<gdi::Surface>(std::max(width, 1), std::max(height, 1),
                                                    gdi::PixelFormat::Rgb565());
        if (b)
            for (int y = 0; y < std::min(height, b->Height()); ++y)
                for (int x = 0; x < std::min(width, b->Width()); ++x)
                    fresh->SetRaw(x, y, b->Raw(x, y));
        b = fresh;
    }
    return b;
}

}  // namespace

void ForgetBacking(HWND hwnd)
{
    std::lock_guard g(gdi::Mutex());
    Backings().erase(hwnd);
}

std::size_t BackingCount()
{
    std::lock_guard g(gdi::Mutex());
    return Backings().size();
}

namespace {

struct WindowPlace {
    HWND top = nullptr;
    SIZE topSize{};
    POINT origin{};  // of the window's client area on the top-level's surface
    SIZE size{};
};

bool PlaceOf(HWND hwnd, WindowPlace* out)
{
    std::lock_guard lock(wm::S().mu);
    wm::Window* w = wm::Find(hwnd);
    if (!w)
        return false;
    out->top = wm::TopLevelOf(hwnd);
    wm::Window* t = wm::Find(out->top);
    POINT o = wm::ScreenOrigin(*w), to = wm::ScreenOrigin(*t);
    out->origin = {o.x - to.x, o.y - to.y};
    out->size = {w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    out->topSize = {t->rect.right - t->rect.left, t->rect.bottom - t->rect.top};
    return true;
}

// A copy of a window's pixels taken under the GDI lock: its thread goes on
// drawing into the window's own surface while the copy is composed.
std::shared_ptr<gdi::Surface> Snapshot(const gdi::Surface& surface)
{
    auto copy = std::make_shared<gdi::Surface>(surface.MemWidth(), surface.MemHeight(), surface.Format(),
                                               surface.BottomUp());
    std::memcpy(copy->Bits(), surface.Bits(), surface.ByteSize());
    return surface.Turned() ? std::make_shared<gdi::Surface>(*copy, true) : copy;
}

Layers CurrentLayers()
{
    Layers layers;
    std::vector<std::pair<HWND, RECT>> windows;
    std::set<HWND> alive;
    {
        std::lock_guard lock(wm::S().mu);
        for (const auto& entry : wm::S().windows)
            alive.insert(entry.first);
        for (auto it = wm::S().topLevel.rbegin(); it != wm::S().topLevel.rend(); ++it) {
            wm::Window* w = wm::Find(*it);
            if (w && w->Visible())
                windows.emplace_back(*it, w->rect);
        }
    }
    layers.width = GetSystemMetrics(SM_CXSCREEN);
    layers.height = GetSystemMetrics(SM_CYSCREEN);
    layers.turned = DisplayOrientation() != DMDO_0;
    {
        std::lock_guard g(gdi::Mutex());
        // Forget the surfaces of windows that are gone.
        std::erase_if(Backings(), [&](const auto& entry) { return !alive.count(entry.first); });
        for (auto& [hwnd, rect] : windows) {
            auto it = Backings().find(hwnd);
            if (it != Backings().end())
                layers.windows.push_back(WindowLayer{Snapshot(*it->second), rect});
        }
    }
    ddraw::Display d = ddraw::CurrentDisplay();
    layers.primary = d.primary;
    layers.overlay = d.overlay;
    layers.overlayShown = d.overlayShown;
    layers.keyed = d.keyed;
    layers.key = d.key;
    return layers;
}

ScreenImage ToImage(const gdi::Surface& s)
{
    ScreenImage image{s.Width(), s.Height(), {}};
    image.pixels.resize(static_cast<size_t>(s.Width()) * s.Height());
    for (int y = 0; y < s.Height(); ++y)
        for (int x = 0; x < s.Width(); ++x)
            image.pixels[static_cast<size_t>(y) * s.Width() + x] = s.Get(x, y);
    return image;
}

struct Presenting {
    std::mutex mu;
    std::function<void()> listener;
    std::chrono::steady_clock::time_point lastSnapshot{};
    unsigned snapshots = 0;
};

Presenting& P()
{
    static Presenting p;
    return p;
}

}  // namespace

}  // namespace plat::screen

using namespace plat;

HDC GetDC(HWND hwnd)
{
    if (!hwnd) {
        // The screen as composed now: reading it gives what the user sees.
        screen::Layers layers = screen::CurrentLayers();
        auto composed = std::make_shared<gdi::Surface>(screen::Compose(layers));
        return gdi::CreateSurfaceDc(composed, gdi::DcObject::Use::Screen);
    }
    screen::WindowPlace place;
    if (!screen::PlaceOf(hwnd, &place))
        return nullptr;
    std::lock_guard g(gdi::Mutex());
    auto backing = screen::Backing(place.top, place.topSize.cx, place.topSize.cy);
    HDC dc = gdi::CreateSurfaceDc(backing, gdi::DcObject::Use::Window, hwnd, place.origin);
    if (auto d = gdi::LookupDc(dc))
        d->clip = gdi::Intersect(RECT{place.origin.x, place.origin.y, place.origin.x + place.size.cx,
                                      place.origin.y + place.size.cy},
                                 RECT{0, 0, backing->Width(), backing->Height()});
    return dc;
}

int ReleaseDC(HWND, HDC hdc)
{
    std::shared_ptr<gdi::DcObject> dc;
    {
        std::lock_guard g(gdi::Mutex());
        dc = gdi::LookupDc(hdc);
        if (!dc || dc->use == gdi::DcObject::Use::Memory || dc->use == gdi::DcObject::Use::Surface)
            return 0;
        gdi::DestroyDc(hdc);
    }
    if (dc->use == gdi::DcObject::Use::Window)
        ScreenPresented();
    return 1;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps)
{
    if (!ps)
        return nullptr;
    *ps = PAINTSTRUCT{};
    bool erase = false;
    {
        std::lock_guard lock(wm::S().mu);
        wm::Window* w = wm::Find(hwnd);
        if (!w)
            return nullptr;
        ps->rcPaint = w->invalid ? w->update : RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
        erase = w->erase;
        w->erase = false;
    }
    ValidateRect(hwnd, nullptr);
    HDC dc = GetDC(hwnd);
    if (!dc)
        return nullptr;
    ps->hdc = dc;
    // The window erases its background first; fErase tells the painter it did not.
    ps->fErase = erase && SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps)
{
    if (!ps || !ps->hdc)
        return FALSE;
    return ReleaseDC(hwnd, ps->hdc) ? TRUE : FALSE;
}

BOOL RedrawWindow(HWND hwnd, LPCRECT rect, HRGN, UINT flags)
{
    if (!IsWindow(hwnd))
        return FALSE;
    if (flags & RDW_INVALIDATE)
        InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
    if (flags & RDW_VALIDATE)
        ValidateRect(hwnd, rect);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW))
        UpdateWindow(hwnd);
    return TRUE;
}

namespace plat {

ScreenImage ComposeScreen() { return screen::ToImage(screen::Compose(screen::CurrentLayers())); }

bool WritePng(const fs::path& path, const ScreenImage& image)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height)
        return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    std::vector<png_byte> row(static_cast<size_t>(image.width) * 3);
    if (png && info && !setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                COLORREF c = image.At(x, y);
                row[3 * x] = GetRValue(c);
                row[3 * x + 1] = GetGValue(c);
                row[3 * x + 2] = GetBValue(c);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
    if (std::fclose(f) != 0)
        ok = false;
    if (!ok) {
        std::error_code ec;
        fs::remove(path, ec);
    }
    return ok;
}

fs::path ScreenshotDir() { return DeviceRoot() / "Screenshots"; }

bool SaveScreenshot(const std::wstring& name)
{
    // A plain file name: no folders, nothing that leaves the screenshot folder.
    if (name.empty() || name.find_first_of(L"/\\:") != std::wstring::npos || name == L"." || name == L"..")
        return false;
    std::wstring file = name;
    if (file.size() < 4 || FoldCase(file.substr(file.size() - 4)) != L".png")
        file += L".png";
    std::error_code ec;
    fs::create_directories(ScreenshotDir(), ec);
    return WritePng(ScreenshotDir() / ToUtf8(file), ComposeScreen());
}

void SetPresentListener(std::function<void()> listener)
{
    std::lock_guard lock(screen::P().mu);
    screen::P().listener = std::move(listener);
}

void ScreenPresented()
{
    std::function<void()> listener;
    bool snapshot = false;
    unsigned number = 0;
    const char* dir = std::getenv("LUMOCR_SNAPSHOT_DIR");
    {
        std::lock_guard lock(screen::P().mu);
        listener = screen::P().listener;
        auto now = std::chrono::steady_clock::now();
        // At most five a second: enough to follow a run without filling the disk.
        if (dir && *dir && now - screen::P().lastSnapshot >= std::chrono::milliseconds(200)) {
            screen::P().lastSnapshot = now;
            snapshot = true;
            number = ++screen::P().snapshots;
        }
    }
    if (snapshot) {
        std::error_code ec;
        fs::create_directories(dir, ec);
        char file[32];
        std::snprintf(file, sizeof file, "snapshot-%05u.png", number);
        if (!WritePng(fs::path(dir) / file, ComposeScreen()))
            DebugLine(L"cannot write a snapshot into %ls\r\n", FromUtf8(dir).c_str());
    }
    if (listener)
        listener();
}

}  // namespace plat
