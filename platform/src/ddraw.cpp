// DirectDraw over plain memory. Surfaces of the screen's size keep the
// panel's physical 240 x 400 layout; flipping swaps memory between a front
// buffer and its back buffer, as a real flip swaps what the panel scans.
#include "plat/ddraw.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "ddraw_internal.h"
#include "gdi_internal.h"
#include "plat/screen.h"
#include "plat/window.h"

namespace plat::ddraw {

namespace {

class SurfaceImpl;

struct Driver {
    std::mutex mu;
    DirectDrawFaults faults;
    int calls = 0;
    int stillDrawingLeft = 0;
    Display display;
    // The surfaces whose memory the display shows a copy of.
    const SurfaceImpl* primary = nullptr;
    const SurfaceImpl* overlay = nullptr;
};

Driver& D()
{
    static Driver d;
    return d;
}

// Counts a call; the fault for it, or S_OK.
HRESULT Count()
{
    std::lock_guard lock(D().mu);
    ++D().calls;
    if (D().faults.failCall && D().calls == D().faults.failCall)
        return D().faults.failWith;
    return S_OK;
}

bool Lost()
{
    std::lock_guard lock(D().mu);
    return D().faults.surfaceLost;
}

void Published(const SurfaceImpl* s);

class SurfaceImpl final : public IDirectDrawSurface {
public:
    enum class Role { Primary, Back, Overlay, OverlayBack };

    SurfaceImpl(Role role, std::shared_ptr<gdi::Surface> memory) : role_(role), memory_(std::move(memory)) {}

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG left = --refs_;
        if (left == 0) {
            Withdraw();
            if (back_)
                back_->Release();
            delete this;
        }
        return left;
    }

    HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (!callback)
            return DDERR_INVALIDPARAMS;
        if (back_) {
            back_->AddRef();
            DDSURFACEDESC desc{};
            back_->Describe(&desc);
            callback(back_, &desc, context);
        }
        return DD_OK;
    }

    HRESULT Flip(LPDIRECTDRAWSURFACE, DWORD) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (Lost())
            return DDERR_SURFACELOST;
        if (!back_)
            return DDERR_NOTFLIPPABLE;
        {
            std::lock_guard lock(D().mu);
            if (D().stillDrawingLeft > 0) {
                --D().stillDrawingLeft;
                return DDERR_WASSTILLDRAWING;
            }
            std::swap(memory_, back_->memory_);
        }
        Published(this);
        return DD_OK;
    }

    HRESULT GetDC(HDC* out) override
    {
        if (!out)
            return DDERR_INVALIDPARAMS;
        *out = nullptr;
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (Lost())
            return DDERR_SURFACELOST;
        std::shared_ptr<gdi::Surface> memory;
        {
            std::lock_guard lock(D().mu);
            memory = memory_;
        }
        // The DC draws in the current orientation's coordinates onto the portrait memory.
        bool turned = DisplayOrientation() != DMDO_0 && memory->MemWidth() == kPanelWidth &&
                      memory->MemHeight() == kPanelHeight;
        *out = gdi::CreateSurfaceDc(std::make_shared<gdi::Surface>(*memory, turned), gdi::DcObject::Use::Surface);
        dcs_.push_back(*out);
        return DD_OK;
    }

    HRESULT ReleaseDC(HDC dc) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        auto it = std::find(dcs_.begin(), dcs_.end(), dc);
        if (it == dcs_.end())
            return DDERR_INVALIDPARAMS;
        dcs_.erase(it);
        gdi::DestroyDc(dc);
        Published(this);
        return DD_OK;
    }

    HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD, HANDLE) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (!desc || rect)
            return DDERR_INVALIDPARAMS;
        if (Lost())
            return DDERR_SURFACELOST;
        {
            std::lock_guard lock(D().mu);
            if (locked_)
                return DDERR_SURFACEBUSY;
            locked_ = true;
        }
        Describe(desc);
        return DD_OK;
    }

    HRESULT Unlock(LPRECT) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        {
            std::lock_guard lock(D().mu);
            if (!locked_)
                return DDERR_NOTLOCKED;
            locked_ = false;
        }
        Published(this);
        return DD_OK;
    }

    HRESULT UpdateOverlay(LPRECT, LPDIRECTDRAWSURFACE dest, LPRECT, DWORD flags, LPDDOVERLAYFX fx) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        auto* primary = dynamic_cast<SurfaceImpl*>(dest);
        if (role_ != Role::Overlay || !primary || primary->role_ != Role::Primary)
            return DDERR_INVALIDPARAMS;
        std::unique_lock lock(D().mu);
        if ((flags & DDOVER_KEYSRCOVERRIDE) && (!fx || D().faults.noKeyOverride))
            return DDERR_INVALIDPARAMS;
        Display& d = D().display;
        if (flags & DDOVER_HIDE) {
            d.overlayShown = false;
        } else if (flags & DDOVER_SHOW) {
            d.overlayShown = true;
            d.keyed = (flags & DDOVER_KEYSRCOVERRIDE) != 0;
            d.key = d.keyed ? fx->dckSrcColorkey.dwColorSpaceLowValue : 0;
        }
        lock.unlock();
        ScreenPresented();
        return DD_OK;
    }

    void Describe(LPDDSURFACEDESC desc) const
    {
        std::lock_guard lock(D().mu);
        const gdi::Surface& m = *memory_;
        *desc = DDSURFACEDESC{};
        desc->dwSize = sizeof(DDSURFACEDESC);
        desc->dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT | DDSD_LPSURFACE;
        desc->dwWidth = static_cast<DWORD>(m.MemWidth());
        desc->dwHeight = static_cast<DWORD>(m.MemHeight());
        desc->lPitch = m.Stride();
        desc->lXPitch = m.Format().bpp / 8;
        desc->lpSurface = m.Bits();
        desc->dwSurfaceSize = static_cast<DWORD>(m.ByteSize());
        desc->ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, static_cast<DWORD>(m.Format().bpp),
                                              m.Format().red, m.Format().green, m.Format().blue, 0};
        DWORD caps = 0;
        switch (role_) {
        case Role::Primary: caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER; break;
        case Role::Back: caps = DDSCAPS_BACKBUFFER | DDSCAPS_FLIP; break;
        case Role::Overlay: caps = DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_FRONTBUFFER; break;
        case Role::OverlayBack: caps = DDSCAPS_OVERLAY | DDSCAPS_BACKBUFFER | DDSCAPS_FLIP; break;
        }
        desc->ddsCaps.dwCaps = caps;
    }

    void Attach(SurfaceImpl* back) { back_ = back; }
    Role role() const { return role_; }
    std::shared_ptr<gdi::Surface> Memory() const { return memory_; }  // call with the driver lock

private:
    ~SurfaceImpl() override
    {
        for (HDC dc : dcs_)
            gdi::DestroyDc(dc);
    }

    // A released front buffer leaves the screen.
    void Withdraw()
    {
        std::lock_guard lock(D().mu);
        Display& d = D().display;
        if (D().primary == this) {
            D().primary = nullptr;
            d.primary = nullptr;
        } else if (D().overlay == this) {
            D().overlay = nullptr;
            d.overlay = nullptr;
            d.overlayShown = false;
        }
    }

    std::atomic<ULONG> refs_{1};
    Role role_;
    std::shared_ptr<gdi::Surface> memory_;
    SurfaceImpl* back_ = nullptr;
    bool locked_ = false;  // under the driver lock
    std::vector<HDC> dcs_;

    friend void Published(const SurfaceImpl* s);
};

// A copy of a front buffer as it stands. The screen reads copies, so a
// thread drawing into a buffer that a flip has just made the back one never
// writes what the composer is reading.
std::shared_ptr<gdi::Surface> Copy(const gdi::Surface& memory)
{
    auto copy = std::make_shared<gdi::Surface>(memory.MemWidth(), memory.MemHeight(), memory.Format(),
                                               memory.BottomUp());
    std::copy_n(memory.Bits(), memory.ByteSize(), copy->Bits());
    return copy;
}

// The screen shows the current front buffers. Called by the thread that
// finished writing or flipping, under the driver lock that orders it after
// every earlier lock of the buffer.
void Published(const SurfaceImpl* s)
{
    {
        std::lock_guard lock(D().mu);
        if (s->role_ == SurfaceImpl::Role::Primary) {
            D().primary = s;
            D().display.primary = Copy(*s->memory_);
        } else if (s->role_ == SurfaceImpl::Role::Overlay) {
            D().overlay = s;
            D().display.overlay = Copy(*s->memory_);
        } else {
            return;  // back buffers are not on the screen
        }
    }
    ScreenPresented();
}

std::shared_ptr<gdi::Surface> NewMemory(int width, int height, gdi::PixelFormat format)
{
    // The screen's size in either orientation is kept as the portrait panel.
    if ((width == kPanelWidth && height == kPanelHeight) || (width == kPanelHeight && height == kPanelWidth)) {
        width = kPanelWidth;
        height = kPanelHeight;
    }
    return std::make_shared<gdi::Surface>(width, height, format);
}

class DirectDrawImpl final : public IDirectDraw {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if ((flags & DDSCL_FULLSCREEN) && !IsWindow(hwnd))
            return DDERR_INVALIDPARAMS;
        level_ = flags;
        return DD_OK;
    }

    HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* out, IUnknown*) override
    {
        if (out)
            *out = nullptr;
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (!desc || !out || !(desc->dwFlags & DDSD_CAPS))
            return DDERR_INVALIDPARAMS;
        DWORD caps = desc->ddsCaps.dwCaps;
        int backs = (desc->dwFlags & DDSD_BACKBUFFERCOUNT) ? static_cast<int>(desc->dwBackBufferCount) : 0;
        if (backs > 1 || (backs == 1 && !(caps & DDSCAPS_FLIP)))
            return DDERR_INVALIDPARAMS;
        if (caps & DDSCAPS_PRIMARYSURFACE) {
            if (!(level_ & DDSCL_FULLSCREEN) && backs)
                return DDERR_INVALIDPARAMS;  // flipping needs the screen to itself
            int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
            auto* primary = new SurfaceImpl(SurfaceImpl::Role::Primary, NewMemory(w, h, gdi::PixelFormat::Rgb565()));
            if (backs)
                primary->Attach(
                    new SurfaceImpl(SurfaceImpl::Role::Back, NewMemory(w, h, gdi::PixelFormat::Rgb565())));
            Published(primary);
            *out = primary;
            return DD_OK;
        }
        if (caps & DDSCAPS_OVERLAY) {
            if (!(desc->dwFlags & DDSD_WIDTH) || !(desc->dwFlags & DDSD_HEIGHT) || desc->dwWidth == 0 ||
                desc->dwHeight == 0 || desc->dwWidth > 4096 || desc->dwHeight > 4096)
                return DDERR_INVALIDPARAMS;
            gdi::PixelFormat format = gdi::PixelFormat::Rgb565();
            if (desc->dwFlags & DDSD_PIXELFORMAT) {
                const DDPIXELFORMAT& pf = desc->ddpfPixelFormat;
                if (!(pf.dwFlags & DDPF_RGB) || (pf.dwRGBBitCount != 16 && pf.dwRGBBitCount != 32) ||
                    !pf.dwRBitMask || !pf.dwGBitMask || !pf.dwBBitMask)
                    return DDERR_INVALIDPARAMS;
                format = {static_cast<int>(pf.dwRGBBitCount), pf.dwRBitMask, pf.dwGBitMask, pf.dwBBitMask};
            }
            int w = static_cast<int>(desc->dwWidth), h = static_cast<int>(desc->dwHeight);
            auto* overlay = new SurfaceImpl(SurfaceImpl::Role::Overlay, NewMemory(w, h, format));
            if (backs)
                overlay->Attach(new SurfaceImpl(SurfaceImpl::Role::OverlayBack, NewMemory(w, h, format)));
            Published(overlay);
            *out = overlay;
            return DD_OK;
        }
        return DDERR_INVALIDPARAMS;  // off-screen surfaces are not used
    }

    HRESULT GetCaps(LPDDCAPS driver, LPDDCAPS emulation) override
    {
        if (HRESULT hr = Count(); FAILED(hr))
            return hr;
        if (!driver && !emulation)
            return DDERR_INVALIDPARAMS;
        DirectDrawFaults f;
        {
            std::lock_guard lock(D().mu);
            f = D().faults;
        }
        if (driver) {
            *driver = DDCAPS{};
            driver->dwSize = sizeof(DDCAPS);
            driver->dwOverlayCaps = f.noKeyOverride ? 0 : DDOVERLAYCAPS_CKEYSRC;
            driver->dwMaxVisibleOverlays = 1;
            driver->ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_OVERLAY | DDSCAPS_BACKBUFFER |
                                     DDSCAPS_FRONTBUFFER | (f.noFlipCaps ? 0 : DDSCAPS_FLIP);
        }
        if (emulation) {
            *emulation = DDCAPS{};
            emulation->dwSize = sizeof(DDCAPS);
        }
        return DD_OK;
    }

private:
    ~DirectDrawImpl() override = default;
    std::atomic<ULONG> refs_{1};
    DWORD level_ = DDSCL_NORMAL;
};

}  // namespace

Display CurrentDisplay()
{
    std::lock_guard lock(D().mu);
    return D().display;
}

}  // namespace plat::ddraw

HRESULT DirectDrawCreate(LPVOID, LPDIRECTDRAW* out, IUnknown* outer)
{
    if (!out)
        return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (HRESULT hr = plat::ddraw::Count(); FAILED(hr))
        return hr;
    if (outer)
        return E_NOINTERFACE;
    *out = new plat::ddraw::DirectDrawImpl;
    return DD_OK;
}

namespace plat {

void SetDirectDrawFaults(const DirectDrawFaults& faults)
{
    std::lock_guard lock(ddraw::D().mu);
    ddraw::D().faults = faults;
    ddraw::D().calls = 0;
    ddraw::D().stillDrawingLeft = faults.stillDrawing;
}

}  // namespace plat
