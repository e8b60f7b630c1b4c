// DirectDraw: the full-screen primary with its back buffer (RGB565) and the
// overlay above it. Surface memory keeps the panel's physical 240 x 400
// layout whatever the orientation; a DC on a surface draws in the current
// orientation's coordinates. The composed screen shows the primary and,
// where shown, the overlay keyed by its colour key.
#pragma once

#include "plat/error.h"
#include "plat/gdi.h"
#include "plat/types.h"

struct IUnknown;

inline constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT MakeDdHresult(DWORD code) { return static_cast<HRESULT>(0x88760000u + code); }
inline constexpr HRESULT DDERR_INVALIDOBJECT = MakeDdHresult(130);
inline constexpr HRESULT DDERR_INVALIDPARAMS = E_INVALIDARG;
inline constexpr HRESULT DDERR_SURFACEBUSY = MakeDdHresult(430);
inline constexpr HRESULT DDERR_SURFACELOST = MakeDdHresult(450);
inline constexpr HRESULT DDERR_WASSTILLDRAWING = MakeDdHresult(540);
inline constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDdHresult(582);
inline constexpr HRESULT DDERR_NOTLOCKED = MakeDdHresult(584);
inline constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);

inline constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
inline constexpr DWORD DDSCL_NORMAL = 0x00000000;

inline constexpr DWORD DDSD_CAPS = 0x00000001;
inline constexpr DWORD DDSD_HEIGHT = 0x00000002;
inline constexpr DWORD DDSD_WIDTH = 0x00000004;
inline constexpr DWORD DDSD_PITCH = 0x00000008;
inline constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
inline constexpr DWORD DDSD_LPSURFACE = 0x00000800;
inline constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;

inline constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000002;
inline constexpr DWORD DDSCAPS_FLIP = 0x00000004;
inline constexpr DWORD DDSCAPS_FRONTBUFFER = 0x00000008;
inline constexpr DWORD DDSCAPS_OVERLAY = 0x00000010;
inline constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000040;

inline constexpr DWORD DDPF_RGB = 0x00000040;

inline constexpr DWORD DDLOCK_WAITNOTBUSY = 0x00000008;

inline constexpr DWORD DDOVER_HIDE = 0x00000020;
inline constexpr DWORD DDOVER_KEYSRCOVERRIDE = 0x00000200;
inline constexpr DWORD DDOVER_SHOW = 0x00000400;

// Overlay capability: the source colour key can be given with UpdateOverlay.
inline constexpr DWORD DDOVERLAYCAPS_CKEYSRC = 0x00000040;

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

struct DDSCAPS {
    DWORD dwCaps;
};

struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwRGBBitCount;
    DWORD dwRBitMask;
    DWORD dwGBitMask;
    DWORD dwBBitMask;
    DWORD dwRGBAlphaBitMask;
};

struct DDSURFACEDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    LONG lPitch;
    LONG lXPitch;
    DWORD dwBackBufferCount;
    DWORD dwRefreshRate;
    LPVOID lpSurface;
    DDCOLORKEY ddckCKDestOverlay;
    DDCOLORKEY ddckCKDestBlt;
    DDCOLORKEY ddckCKSrcOverlay;
    DDCOLORKEY ddckCKSrcBlt;
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS ddsCaps;
    DWORD dwSurfaceSize;
};
using LPDDSURFACEDESC = DDSURFACEDESC*;

struct DDCAPS {
    DWORD dwSize;
    DWORD dwCaps;
    DWORD dwCKeyCaps;
    DWORD dwOverlayCaps;
    DWORD dwAlignSizeSrc;  // 0: no alignment asked
    DWORD dwMaxVisibleOverlays;
    DWORD dwCurrVisibleOverlays;
    DDSCAPS ddsCaps;
};
using LPDDCAPS = DDCAPS*;

struct DDOVERLAYFX {
    DWORD dwSize;
    DWORD dwAlphaConstBitDepth;
    DWORD dwAlphaConst;
    DDCOLORKEY dckDestColorkey;
    DDCOLORKEY dckSrcColorkey;
};
using LPDDOVERLAYFX = DDOVERLAYFX*;

struct IDirectDrawSurface;
using LPDIRECTDRAWSURFACE = IDirectDrawSurface*;
using LPDDENUMSURFACESCALLBACK = HRESULT (*)(LPDIRECTDRAWSURFACE surface, LPDDSURFACEDESC desc, LPVOID context);

struct IDirectDrawSurface {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // The callback gets each attached surface with a reference of its own.
    virtual HRESULT EnumAttachedSurfaces(LPVOID context, LPDDENUMSURFACESCALLBACK callback) = 0;
    virtual HRESULT Flip(LPDIRECTDRAWSURFACE override, DWORD flags) = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual HRESULT Lock(LPRECT rect, LPDDSURFACEDESC desc, DWORD flags, HANDLE event) = 0;
    virtual HRESULT Unlock(LPRECT rect) = 0;
    virtual HRESULT UpdateOverlay(LPRECT src, LPDIRECTDRAWSURFACE dest, LPRECT dst, DWORD flags,
                                  LPDDOVERLAYFX fx) = 0;

protected:
    virtual ~IDirectDrawSurface() = default;
};

struct IDirectDraw {
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    virtual HRESULT SetCooperativeLevel(HWND hwnd, DWORD flags) = 0;
    virtual HRESULT CreateSurface(LPDDSURFACEDESC desc, LPDIRECTDRAWSURFACE* surface, IUnknown* outer) = 0;
    virtual HRESULT GetCaps(LPDDCAPS driver, LPDDCAPS emulation) = 0;

protected:
    virtual ~IDirectDraw() = default;
};
using LPDIRECTDRAW = IDirectDraw*;

HRESULT DirectDrawCreate(LPVOID driverGuid, LPDIRECTDRAW* out, IUnknown* outer);

namespace plat {

// What the DirectDraw driver does wrong, for tests. Counting starts at the
// call to SetDirectDrawFaults; every DirectDraw call counts.
struct DirectDrawFaults {
    int failCall = 0;  // the n-th call (1-based) fails with failWith; 0: none
    HRESULT failWith = E_FAIL;
    bool noFlipCaps = false;       // GetCaps reports no DDSCAPS_FLIP
    bool noKeyOverride = false;    // no DDOVERLAYCAPS_CKEYSRC
    bool surfaceLost = false;      // Flip, Lock and GetDC report DDERR_SURFACELOST
    int stillDrawing = 0;          // Flip reports DDERR_WASSTILLDRAWING this many times first
};
void SetDirectDrawFaults(const DirectDrawFaults& faults);

}  // namespace plat
