#include "display.h"

#include <array>
#include <cstdarg>
#include <cwchar>
#include <string>

#include "ImageUtil.h"
#include "draw_context.h"
#include "layout_manager.h"
#include "screen_links.h"

namespace {

void Log(LPCWSTR format, ...)
{
    WCHAR text[512];
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(text, 512, format, args);
    va_end(args);
    if (n < 0)
        text[511] = 0;
    OutputDebugStringW(plat::kDebugLinePrefix);
    OutputDebugStringW(text);
}

unsigned Hex(HRESULT hr) { return static_cast<unsigned>(hr); }

template <class T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Every RGB555 pixel's overlay word, computed once.
const std::array<uint32_t, 65536>& WordTable()
{
    static const std::array<uint32_t, 65536> table = [] {
        std::array<uint32_t, 65536> t{};
        for (uint32_t p = 0; p < 65536; ++p)
            t[p] = OverlayWordFromPixel(static_cast<uint16_t>(p));
        return t;
    }();
    return table;
}

HRESULT CALLBACK_EnumBack(LPDIRECTDRAWSURFACE surface, LPDDSURFACEDESC, LPVOID context)
{
    auto** back = static_cast<IDirectDrawSurface**>(context);
    if (*back)
        (*back)->Release();
    *back = surface;
    return 1;
}

}  // namespace

uint32_t OverlayWordFromPixel(uint16_t pixel)
{
    switch (pixel) {
    case 0x7C1F: return kOverlayKeyWord;
    case 0x03FF: return 0x7FFFF;
    case 0x7FE0: return 0x44104;
    default: break;
    }
    uint32_t r = (pixel >> 10) & 31, g = (pixel >> 5) & 31, b = pixel & 31;
    return (r << 13) | (g << 7) | (b << 1);
}

CDisplay::CDisplay() = default;

void CDisplay::DestroyInstance() { ReleaseInstance(); }

CDisplay::~CDisplay()
{
    ReleaseAllObjects();
    DropDrawBitmap();
}

void CDisplay::DropDrawBitmap()
{
    if (drawBitmap_)
        DeleteObject(drawBitmap_);
    drawBitmap_ = nullptr;
    drawWidth_ = drawHeight_ = 0;
}

void CDisplay::ReleaseAllObjects()
{
    Log(L"CDisplay::ReleaseAllObjects\r\n");
    if (m_spDDSOverlay && m_spDDSPrimary)
        m_spDDSOverlay->UpdateOverlay(nullptr, m_spDDSPrimary, nullptr, DDOVER_HIDE, nullptr);
    SafeRelease(m_spDDSOverlay);
    SafeRelease(m_spDDSBack);
    SafeRelease(m_spDDSPrimary);
    SafeRelease(m_spDD);
}

HRESULT CDisplay::Fail(HRESULT hr, bool withBox)
{
    ReleaseAllObjects();
    if (HWND taskBar = FindWindowW(L"HHTaskBar", nullptr))
        ShowWindow(taskBar, SW_SHOW);
    RestoreAppOrientation();
    if (m_hWnd)
        ShowWindow(m_hWnd, SW_HIDE);
    if (withBox)
        ShowInitError();
    return hr;
}

void CDisplay::ShowInitError()
{
    CLayoutManager* layout = CLayoutManager::GetInstance();
    std::wstring text = layout->GetString(263);  // the buffer is shared: copy before the next
    std::wstring caption = layout->GetString(262);
    MessageBoxW(m_hWnd, text.c_str(), caption.c_str(), MB_ICONHAND | MB_SETFOREGROUND);
}

HRESULT CDisplay::Init(HWND window)
{
    Log(L"CDisplay::Init\r\n");
    m_hWnd = window;
    ReleaseAllObjects();  // a second Init starts afresh

    Log(L">>> DirectDrawCreate\r\n");
    HRESULT hr = DirectDrawCreate(nullptr, &m_spDD, nullptr);
    Log(L"<<< DirectDrawCreate\r\n");
    if (FAILED(hr)) {
        Log(L"DirectDrawCreate(NULL, &m_spDD, NULL) FAILED  <0x%x>", Hex(hr));
        return Fail(hr, true);
    }
    if (!window) {
        Log(L"m_hWnd == NULL");
        return Fail(E_FAIL, false);
    }

    Sleep(500);
    Log(L">>> SetCooperativeLevel\r\n");
    hr = m_spDD->SetCooperativeLevel(window, DDSCL_FULLSCREEN);
    Log(L"<<< SetCooperativeLevel\r\n");
    if (FAILED(hr)) {
        Log(L"m_spDD->SetCooperativeLevel(m_hWnd, DDSCL_FULLSCREEN) FAILED  <0x%x>", Hex(hr));
        return Fail(hr, true);
    }

    RegistrySetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Velmora\\Camera", L"CreateSurface", 1);
    DDSURFACEDESC ddsd{};
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    ddsd.dwBackBufferCount = 1;
    ddsd.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP;
    Log(L">>> CreateSurface primary\r\n");
    hr = m_spDD->CreateSurface(&ddsd, &m_spDDSPrimary, nullptr);
    Log(L"<<< CreateSurface primary\r\n");
    RegistrySetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Velmora\\Camera", L"CreateSurface", 0);
    if (FAILED(hr)) {
        Log(L"m_spDD->CreateSurface(&ddsd, &m_spDDSPrimary, NULL) FAILED <0x%x>", Hex(hr));
        return Fail(hr, true);
    }

    Log(L">>> EnumAttachedSurfaces\r\n");
    hr = m_spDDSPrimary->EnumAttachedSurfaces(&m_spDDSBack, CALLBACK_EnumBack);
    Log(L"<<< EnumAttachedSurfaces\r\n");
    if (FAILED(hr)) {
        Log(L"m_spDDSPrimary->EnumAttachedSurfaces(&m_spDDSBack, EnumFunction) FAILED <0x%x>\r\n", Hex(hr));
        return Fail(hr, true);
    }

    DDCAPS ddCaps{};
    ddCaps.dwSize = sizeof(ddCaps);
    hr = m_spDD->GetCaps(&ddCaps, nullptr);
    if (FAILED(hr) || !(ddCaps.ddsCaps.dwCaps & DDSCAPS_FLIP)) {
        Log(L"!(ddCaps.ddsCaps.dwCaps & DDSCAPS_FLIP) <0x%x>\r\n", Hex(hr));
        return Fail(FAILED(hr) ? hr : E_FAIL, false);
    }
    Log(L"ddCaps.ddsCaps.dwCaps & DDSCAPS_FLIP");

    RECT rs{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetDisplayOrientationCode();  // keeps CSystem's panel size current
    if (ddCaps.dwAlignSizeSrc) {
        // Rounded up to the alignment the driver asks for.
        LONG align = static_cast<LONG>(ddCaps.dwAlignSizeSrc);
        rs.right = (rs.right + align - 1) / align * align;
    }

    ddsd = DDSURFACEDESC{};
    ddsd.dwSize = sizeof(ddsd);
    ddsd.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT;
    ddsd.dwHeight = static_cast<DWORD>(rs.bottom);
    ddsd.dwWidth = static_cast<DWORD>(rs.right);
    ddsd.dwBackBufferCount = 1;
    ddsd.ddpfPixelFormat = DDPIXELFORMAT{sizeof(DDPIXELFORMAT), DDPF_RGB, 0, 32, 0x3F000, 0xFC0, 0x3F, 0};
    ddsd.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_FLIP;
    Log(L">>> CreateSurface overlay\r\n");
    hr = m_spDD->CreateSurface(&ddsd, &m_spDDSOverlay, nullptr);
    Log(L"<<< CreateSurface overlay\r\n");
    if (FAILED(hr)) {
        Log(L"m_spDD->CreateSurface( &ddsd, &m_spDDSOverlay, NULL ) FAILED <0x%x>\r\n", Hex(hr));
        return Fail(hr, true);
    }

    DDOVERLAYFX fx{};
    fx.dwSize = sizeof(fx);
    DWORD flags = DDOVER_SHOW;
    if (ddCaps.dwOverlayCaps & DDOVERLAYCAPS_CKEYSRC) {
        fx.dckSrcColorkey.dwColorSpaceLowValue = 0;
        fx.dckSrcColorkey.dwColorSpaceHighValue = 0;
        flags |= DDOVER_KEYSRCOVERRIDE;
    }
    EraseOverlay();
    Log(L">>> UpdateOverlay\r\n");
    hr = m_spDDSOverlay->UpdateOverlay(&rs, m_spDDSPrimary, &rs, flags, &fx);
    Log(L"<<< UpdateOverlay\r\n");
    if (FAILED(hr)) {
        Log(L"m_spDDSOverlay->UpdateOverlay(&rs, m_spDDSPrimary, &rs, dwUpdateFlags, &ovfx) FAILED <0x%x>\r\n",
            Hex(hr));
        return Fail(hr, true);
    }
    return S_OK;
}

HRESULT CDisplay::Flip()
{
    if (!m_spDDSPrimary)
        return E_POINTER;
    HRESULT hr;
    do {
        hr = m_spDDSPrimary->Flip(nullptr, 0);
    } while (hr == DDERR_WASSTILLDRAWING);
    if (hr == DDERR_SURFACELOST)
        Log(L"DDERR_SURFACELOST !!!\r\n");
    else if (FAILED(hr))
        Log(L"Flip FAILED <0x%x>\r\n", Hex(hr));
    return hr;
}

HRESULT CDisplay::FlipWithDC(HDC dc)
{
    if (!m_spDDSBack)
        Log(L"SafeReleaseDC FAILED !!!\r\n");
    else if (dc)
        m_spDDSBack->ReleaseDC(dc);
    return Flip();
}

HRESULT CDisplay::SurfaceDC(IDirectDrawSurface* surface, HDC* dc)
{
    if (!surface || !dc)
        return E_POINTER;
    return surface->GetDC(dc);
}

HRESULT CDisplay::ReleaseSurfaceDC(IDirectDrawSurface* surface, HDC* dc)
{
    if (!surface || !dc || !*dc)
        return E_POINTER;
    HDC held = *dc;
    *dc = nullptr;
    return surface->ReleaseDC(held);
}

HRESULT CDisplay::GetBackBufferDC(HDC* dc) { return SurfaceDC(m_spDDSBack, dc); }
HRESULT CDisplay::ReleaseBackBufferDC(HDC* dc) { return ReleaseSurfaceDC(m_spDDSBack, dc); }
HRESULT CDisplay::GetOverlayDC(HDC* dc) { return SurfaceDC(m_spDDSOverlay, dc); }
HRESULT CDisplay::ReleaseOverlayDC(HDC* dc) { return ReleaseSurfaceDC(m_spDDSOverlay, dc); }
HRESULT CDisplay::GetPrimaryDC(HDC* dc) { return SurfaceDC(m_spDDSPrimary, dc); }
HRESULT CDisplay::ReleasePrimaryDC(HDC* dc) { return ReleaseSurfaceDC(m_spDDSPrimary, dc); }

HRESULT CDisplay::Lock(IDirectDrawSurface* surface, void** bits, DDSURFACEDESC* out)
{
    if (bits)
        *bits = nullptr;
    if (!surface)
        return E_FAIL;
    DDSURFACEDESC desc{};
    desc.dwSize = sizeof(desc);
    HRESULT hr = surface->Lock(nullptr, &desc, DDLOCK_WAITNOTBUSY, nullptr);
    if (hr != S_OK)
        return hr;
    if (bits)
        *bits = desc.lpSurface;
    if (out)
        *out = desc;
    return hr;
}

HRESULT CDisplay::LockPrimary(void** bits, DDSURFACEDESC* desc) { return Lock(m_spDDSPrimary, bits, desc); }
HRESULT CDisplay::LockBackBuffer(void** bits, DDSURFACEDESC* desc) { return Lock(m_spDDSBack, bits, desc); }
HRESULT CDisplay::LockOverlay(void** bits, DDSURFACEDESC* desc) { return Lock(m_spDDSOverlay, bits, desc); }

HRESULT CDisplay::UnlockPrimary() { return m_spDDSPrimary ? m_spDDSPrimary->Unlock(nullptr) : E_FAIL; }
HRESULT CDisplay::UnlockBackBuffer() { return m_spDDSBack ? m_spDDSBack->Unlock(nullptr) : E_FAIL; }
HRESULT CDisplay::UnlockOverlay() { return m_spDDSOverlay ? m_spDDSOverlay->Unlock(nullptr) : E_OUTOFMEMORY; }

HRESULT CDisplay::ShowOverlay()
{
    if (!m_spDDSOverlay || !m_spDDSPrimary)
        return E_OUTOFMEMORY;
    return m_spDDSOverlay->UpdateOverlay(nullptr, m_spDDSPrimary, nullptr, DDOVER_SHOW, nullptr);
}

HRESULT CDisplay::HideOverlay()
{
    if (!m_spDDSOverlay || !m_spDDSPrimary)
        return E_OUTOFMEMORY;
    return m_spDDSOverlay->UpdateOverlay(nullptr, m_spDDSPrimary, nullptr, DDOVER_HIDE, nullptr);
}

HRESULT CDisplay::EraseOverlay()
{
    Log(L"CDisplay::EraseOverlay\r\n");
    void* bits = nullptr;
    DDSURFACEDESC desc{};
    HRESULT hr = LockOverlay(&bits, &desc);
    if (!bits)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    GetDisplayOrientationCode();
    for (DWORD row = 0; row < desc.dwHeight; ++row) {
        auto* words = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(row) * desc.lPitch);
        for (DWORD x = 0; x < desc.dwWidth; ++x)
            words[x] = kOverlayKeyWord;
    }
    return UnlockOverlay();
}

HRESULT CDisplay::ReplaceOverlayGreen()
{
    void* bits = nullptr;
    DDSURFACEDESC desc{};
    HRESULT hr = LockOverlay(&bits, &desc);
    if (!bits)
        return FAILED(hr) ? hr : E_OUTOFMEMORY;
    for (DWORD row = 0; row < desc.dwHeight; ++row) {
        auto* words = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(row) * desc.lPitch);
        for (DWORD x = 0; x < desc.dwWidth; ++x)
            if (words[x] == 0xFC0)
                words[x] = 0x7FFFF;
    }
    return UnlockOverlay();
}

HDC CDisplay::GetDrawDC()
{
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    GetDisplayOrientationCode();
    // Made again after a turn of the panel: the old one has the other shape.
    if (drawBitmap_ && (drawWidth_ != width || drawHeight_ != height))
        DropDrawBitmap();
    if (!drawBitmap_) {
        drawBitmap_ = CImageUtil::CreateDIB(width, height, 16, nullptr, TRUE);
        if (!drawBitmap_)
            return nullptr;
        drawWidth_ = width;
        drawHeight_ = height;
    }
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc)
        return nullptr;
    previousBitmap_ = SelectObject(dc, drawBitmap_);
    if (!previousBitmap_) {
        DeleteDC(dc);  // the bitmap sits in another draw DC still
        return nullptr;
    }
    return dc;
}

HRESULT CDisplay::FlipBackbuffer(HDC dc)
{
    if (!dc || !drawBitmap_)
        return 1;
    SelectObject(dc, previousBitmap_);
    DeleteDC(dc);
    previousBitmap_ = nullptr;

    DIBSECTION ds{};
    if (GetObjectW(drawBitmap_, sizeof(ds), &ds) != static_cast<int>(sizeof(ds)) || !ds.dsBm.bmBits)
        return E_FAIL;
    const auto* source = static_cast<const uint8_t*>(ds.dsBm.bmBits);
    const int stride = ds.dsBm.bmWidthBytes, bw = drawWidth_, bh = drawHeight_;
    const bool bottomUp = ds.dsBmih.biHeight > 0;

    void* bits = nullptr;
    DDSURFACEDESC desc{};
    HRESULT hr = LockOverlay(&bits, &desc);
    if (FAILED(hr))
        return hr;
    if (!bits)
        return E_OUTOFMEMORY;
    const auto& table = WordTable();
    const int rows = static_cast<int>(desc.dwHeight), words = static_cast<int>(desc.dwWidth);
    auto memRow = [&](int imageRow) {
        return reinterpret_cast<const uint16_t*>(source + static_cast<size_t>(bottomUp ? bh - 1 - imageRow : imageRow) * stride);
    };
    if (GetDisplayOrientationCode() != DMDO_0) {
        // Landscape (x, y) is panel column 239 - y, row x: physical row r,
        // word c takes column r of memory row c (image row bh - 1 - c).
        for (int r = 0; r < rows && r < bw; ++r) {
            auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(r) * desc.lPitch);
            for (int c = 0; c < words && c < bh; ++c)
                out[c] = table[memRow(bh - 1 - c)[r]];
        }
    } else {
        for (int r = 0; r < rows && r < bh; ++r) {
            auto* out = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(r) * desc.lPitch);
            const uint16_t* in = memRow(r);
            for (int c = 0; c < words && c < bw; ++c)
                out[c] = table[in[c]];
        }
    }
    return UnlockOverlay();
}

int CDisplay::FillBlackOverlay()
{
    Log(L"CDisplay::FillBlackOverlay >>>\r\n");
    Log(L"CDisplay::FillBlackOverlay <<<\r\n");
    return 0;
}

int CDisplay::FillBlackBack()
{
    Log(L"CDisplay::FillBlackBack >>>\r\n");
    Log(L"CDisplay::FillBlackBack <<<\r\n");
    return 0;
}

int CDisplay::FillBlackPrimary()
{
    Log(L"CDisplay::FillBlackPrimary >>>\r\n");
    Log(L"CDisplay::FillBlackPrimary <<<\r\n");
    return 0;
}
