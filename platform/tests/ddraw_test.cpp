#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "plat/ddraw.h"
#include "plat/windows.h"

namespace {

void SetOrientation(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr), DISP_CHANGE_SUCCESSFUL);
}

HWND CameraWindow()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DefWindowProcW;
        wc.lpszClassName = L"DdrawTest";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(0, L"DdrawTest", L"camera", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
}

HRESULT StoreBack(LPDIRECTDRAWSURFACE surface, LPDDSURFACEDESC, LPVOID context)
{
    *static_cast<LPDIRECTDRAWSURFACE*>(context) = surface;
    return 1;
}

// The display set-up of the camera screens: a flipping primary and a
// 6-6-6 overlay above it.
struct Display {
    HWND hwnd = nullptr;
    LPDIRECTDRAW dd = nullptr;
    LPDIRECTDRAWSURFACE primary = nullptr, back = nullptr, overlay = nullptr;

    HRESULT Init()
    {
        hwnd = CameraWindow();
        HRESULT hr = DirectDrawCreate(nullptr, &dd, nullptr);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = dd->SetCooperativeLevel(hwnd, DDSCL_FULLSCREEN)))
            return hr;
        DDSURFACEDESC desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.dwBackBufferCount = 1;
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
        if (FAILED(hr = dd->CreateSurface(&desc, &primary, nullptr)))
            return hr;
        if (FAILED(hr = primary->EnumAttachedSurfaces(&back, &StoreBack)))
            return hr;
        DDSURFACEDESC ov{};
        ov.dwSize = sizeof ov;
        ov.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT;
        ov.dwWidth = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
        ov.dwHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
        ov.dwBackBufferCount = 1;
        ov.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0x3F000, 0xFC0, 0x3F, 0};
        ov.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_FLIP;
        return dd->CreateSurface(&ov, &overlay, nullptr);
    }

    ~Display()
    {
        for (LPDIRECTDRAWSURFACE s : {overlay, back, primary})
            if (s)
                s->Release();
        if (dd)
            dd->Release();
        if (hwnd)
            DestroyWindow(hwnd);
        plat::SetDirectDrawFaults({});
    }
};

}  // namespace

TEST(DirectDraw, CameraDisplaySetUp)
{
    plat::SetDirectDrawFaults({});
    SetOrientation(DMDO_270);
    Display d;
    ASSERT_EQ(d.Init(), DD_OK);
    ASSERT_TRUE(d.back);
    DDCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(d.dd->GetCaps(&caps, nullptr), DD_OK);
    EXPECT_TRUE(caps.ddsCaps.dwCaps & DDSCAPS_FLIP);
    EXPECT_TRUE(caps.dwOverlayCaps & DDOVERLAYCAPS_CKEYSRC);

    // Memory keeps the portrait panel whatever the orientation.
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof desc;
    ASSERT_EQ(d.overlay->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DD_OK);
    EXPECT_EQ(desc.dwWidth, 240u);
    EXPECT_EQ(desc.dwHeight, 400u);
    EXPECT_EQ(desc.lPitch, 240 * 4);
    EXPECT_EQ(desc.ddpfPixelFormat.dwRBitMask, 0x3F000u);
    EXPECT_EQ(d.overlay->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DDERR_SURFACEBUSY);
    EXPECT_EQ(d.overlay->Unlock(nullptr), DD_OK);
    EXPECT_EQ(d.overlay->Unlock(nullptr), DDERR_NOTLOCKED);

    ASSERT_EQ(d.back->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DD_OK);
    EXPECT_EQ(desc.lPitch, 240 * 2);
    void* backMemory = desc.lpSurface;
    static_cast<WORD*>(backMemory)[0] = 0xF800;
    d.back->Unlock(nullptr);
    ASSERT_EQ(d.primary->Flip(nullptr, 0), DD_OK);
    ASSERT_EQ(d.primary->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DD_OK);
    EXPECT_EQ(desc.lpSurface, backMemory);  // the flip swapped the buffers
    d.primary->Unlock(nullptr);

    DDOVERLAYFX fx{};
    fx.dwSize = sizeof fx;
    RECT rs{0, 0, 400, 240};
    EXPECT_EQ(d.overlay->UpdateOverlay(&rs, d.primary, &rs, DDOVER_SHOW | DDOVER_KEYSRCOVERRIDE, &fx), DD_OK);
    EXPECT_EQ(d.overlay->UpdateOverlay(nullptr, d.overlay, nullptr, DDOVER_HIDE, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(d.overlay->UpdateOverlay(nullptr, d.primary, nullptr, DDOVER_HIDE, nullptr), DD_OK);
    SetOrientation(DMDO_0);
}

TEST(DirectDraw, FaultsForTests)
{
    {
        plat::DirectDrawFaults f;
        f.failCall = 3;  // create, cooperative level, primary
        plat::SetDirectDrawFaults(f);
        Display d;
        EXPECT_EQ(d.Init(), E_FAIL);
        EXPECT_FALSE(d.primary);
    }
    {
        plat::DirectDrawFaults f;
        f.noFlipCaps = true;
        f.noKeyOverride = true;
        f.stillDrawing = 2;
        plat::SetDirectDrawFaults(f);
        Display d;
        ASSERT_EQ(d.Init(), DD_OK);
        DDCAPS caps{};
        d.dd->GetCaps(&caps, nullptr);
        EXPECT_FALSE(caps.ddsCaps.dwCaps & DDSCAPS_FLIP);
        EXPECT_FALSE(caps.dwOverlayCaps & DDOVERLAYCAPS_CKEYSRC);
        DDOVERLAYFX fx{};
        EXPECT_EQ(d.overlay->UpdateOverlay(nullptr, d.primary, nullptr, DDOVER_SHOW | DDOVER_KEYSRCOVERRIDE, &fx),
                  DDERR_INVALIDPARAMS);
        EXPECT_EQ(d.overlay->UpdateOverlay(nullptr, d.primary, nullptr, DDOVER_SHOW, &fx), DD_OK);
        EXPECT_EQ(d.primary->Flip(nullptr, 0), DDERR_WASSTILLDRAWING);
        EXPECT_EQ(d.primary->Flip(nullptr, 0), DDERR_WASSTILLDRAWING);
        EXPECT_EQ(d.primary->Flip(nullptr, 0), DD_OK);
    }
    {
        plat::DirectDrawFaults f;
        f.surfaceLost = true;
        plat::SetDirectDrawFaults(f);
        Display d;
        ASSERT_EQ(d.Init(), DD_OK);
        DDSURFACEDESC desc{};
        HDC dc = nullptr;
        EXPECT_EQ(d.primary->Flip(nullptr, 0), DDERR_SURFACELOST);
        EXPECT_EQ(d.back->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DDERR_SURFACELOST);
        EXPECT_EQ(d.back->GetDC(&dc), DDERR_SURFACELOST);
        EXPECT_EQ(dc, nullptr);
    }
}

TEST(DirectDraw, CooperativeLevelNeedsAWindow)
{
    plat::SetDirectDrawFaults({});
    LPDIRECTDRAW dd = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &dd, nullptr), DD_OK);
    EXPECT_EQ(dd->SetCooperativeLevel(nullptr, DDSCL_FULLSCREEN), DDERR_INVALIDPARAMS);
    DDSURFACEDESC desc{};
    desc.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 1;
    desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
    LPDIRECTDRAWSURFACE s = reinterpret_cast<LPDIRECTDRAWSURFACE>(1);
    EXPECT_EQ(dd->CreateSurface(&desc, &s, nullptr), DDERR_INVALIDPARAMS);
    EXPECT_EQ(s, nullptr);
    dd->Release();
}

namespace {

// Draws a bar and a word into the back buffer, the way the screens do in
// each orientation, and returns the back buffer's memory.
std::vector<BYTE> DrawInOrientation(DWORD orientation)
{
    SetOrientation(orientation);
    Display d;
    EXPECT_EQ(d.Init(), DD_OK);
    HDC dc = nullptr;
    EXPECT_EQ(d.back->GetDC(&dc), DD_OK);
    const int W = 240;  // layout width of the turned rule
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    LOGFONTW lf{};
    lf.lfHeight = 17;
    lf.lfWeight = FW_BOLD;
    wcscpy(lf.lfFaceName, L"Tahoma");
    RECT bar{30, 20, 200, 60};  // layout coordinates, 400 x 240
    if (orientation == DMDO_0) {
        // The system turns layout coordinates itself: (l, t, r, b) -> (W - b, l, W - t, r).
        RECT turned{W - bar.bottom, bar.left, W - bar.top, bar.right};
        FillRect(dc, &turned, white);
        lf.lfEscapement = lf.lfOrientation = 2700;
    } else {
        FillRect(dc, &bar, white);
    }
    HFONT font = CreateFontIndirectW(&lf);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 0, 0));
    POINT at{40, 100};
    if (orientation == DMDO_0)
        ExtTextOutW(dc, W - at.y, at.x, 0, nullptr, L"Shutter", 7, nullptr);
    else
        ExtTextOutW(dc, at.x, at.y, 0, nullptr, L"Shutter", 7, nullptr);
    SelectObject(dc, old);
    DeleteObject(font);
    d.back->ReleaseDC(dc);
    DDSURFACEDESC desc{};
    EXPECT_EQ(d.back->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr), DD_OK);
    const BYTE* p = static_cast<const BYTE*>(desc.lpSurface);
    std::vector<BYTE> memory(p, p + desc.lPitch * desc.dwHeight);
    d.back->Unlock(nullptr);
    return memory;
}

}  // namespace

TEST(DirectDraw, TurnedDrawingGivesTheSamePanel)
{
    plat::SetDirectDrawFaults({});
    std::vector<BYTE> portrait = DrawInOrientation(DMDO_0);
    std::vector<BYTE> landscape = DrawInOrientation(DMDO_270);
    SetOrientation(DMDO_0);
    ASSERT_EQ(portrait.size(), landscape.size());
    size_t inked = 0;
    for (size_t i = 0; i + 1 < portrait.size(); i += 2)
        inked += portrait[i] | portrait[i + 1] ? 1 : 0;
    EXPECT_GT(inked, 170u * 40u);  // the bar and the text are there
    EXPECT_TRUE(portrait == landscape);
}
