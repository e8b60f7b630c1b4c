// The full-screen DirectDraw set-up: a flipping primary with one back buffer
// for the camera picture, and an overlay above it for everything the screens
// draw. Screens paint into a 16-bit panel-size bitmap (GetDrawDC), which
// FlipBackbuffer converts into the overlay's 32-bit words, turned onto the
// panel's physical layout when the display stands turned.
#pragma once

#include <cstdint>

#include "plat/ddraw.h"
#include "plat/windows.h"
#include "singleton.h"

// Overlay words: 6 bits a channel (red 0x3F000, green 0xFC0, blue 0x3F).
// Bit 18 marks the key word that shows the primary through.
inline constexpr uint32_t kOverlayKeyWord = 0x40000;
// A draw-bitmap pixel (RGB555) as an overlay word.
uint32_t OverlayWordFromPixel(uint16_t pixel);

class CDisplay : public CSingleton<CDisplay> {
public:
    using CSingleton<CDisplay>::GetInstance;
    // Deletes the display; the next GetInstance makes a fresh one.
    static void DestroyInstance();

    CDisplay();
    ~CDisplay();

    HRESULT Init(HWND window);
    void ReleaseAllObjects();

    HRESULT Flip();
    HRESULT FlipWithDC(HDC dc);
    HRESULT GetBackBufferDC(HDC* dc);
    HRESULT ReleaseBackBufferDC(HDC* dc);
    HRESULT GetOverlayDC(HDC* dc);
    HRESULT ReleaseOverlayDC(HDC* dc);
    // The shown surface itself, for a screen that draws a picture in place
    // of the camera's (the viewer); E_POINTER without it.
    HRESULT GetPrimaryDC(HDC* dc);
    HRESULT ReleasePrimaryDC(HDC* dc);
    // desc, when given, receives the locked surface's size and pitch.
    HRESULT LockPrimary(void** bits, DDSURFACEDESC* desc = nullptr);
    HRESULT LockBackBuffer(void** bits, DDSURFACEDESC* desc = nullptr);
    HRESULT LockOverlay(void** bits, DDSURFACEDESC* desc = nullptr);
    HRESULT UnlockPrimary();
    HRESULT UnlockBackBuffer();
    HRESULT UnlockOverlay();
    HRESULT ShowOverlay();
    HRESULT HideOverlay();
    HRESULT EraseOverlay();
    HRESULT ReplaceOverlayGreen();
    HDC GetDrawDC();
    HRESULT FlipBackbuffer(HDC dc);
    int FillBlackOverlay();
    int FillBlackBack();
    int FillBlackPrimary();
    void ShowInitError();

private:
    HRESULT Fail(HRESULT hr, bool withBox);
    HRESULT Lock(IDirectDrawSurface* surface, void** bits, DDSURFACEDESC* desc);
    static HRESULT SurfaceDC(IDirectDrawSurface* surface, HDC* dc);
    static HRESULT ReleaseSurfaceDC(IDirectDrawSurface* surface, HDC* dc);
    void DropDrawBitmap();

    HWND m_hWnd = nullptr;
    IDirectDraw* m_spDD = nullptr;
    IDirectDrawSurface* m_spDDSPrimary = nullptr;
    IDirectDrawSurface* m_spDDSBack = nullptr;
    IDirectDrawSurface* m_spDDSOverlay = nullptr;
    HBITMAP drawBitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    int drawWidth_ = 0;
    int drawHeight_ = 0;
};

// Alignment flags: 1 centred across, 2 right, 4 centred up and down, 8 bottom.
int RotDrawText(HDC dc, int width, int height, const RECT* rect, LPCWSTR text, int count, UINT flags);

// The title font and the fixed rectangles the camera screens copy: title
// bar, whole screen, picture area and zoom box, in layout coordinates.
class CTitleLayout : public CSingleton<CTitleLayout> {
public:
    using CSingleton<CTitleLayout>::GetInstance;
    CTitleLayout();
    ~CTitleLayout();

    HFONT m_hFont = nullptr;  // Tahoma 17, weight 600
    RECT m_rcTitle{};
    RECT m_rcScreen{};
    RECT m_rcPicture{};
    RECT m_rcZoom{};
};
