// The display surfaces on the main window, and text drawn with the display's
// rotation taken into account.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CDisplay : public CSingleton<CDisplay> {
public:
    using CSingleton<CDisplay>::GetInstance;

    CDisplay();
    ~CDisplay();

    // Sets the surfaces up on the window; negative on failure.
    int Init(HWND hwnd);
    // The back buffer's device context.
    int GetBackBufferDC(HDC* dc);
    // Deletes the one object under its lock.
    static void DestroyInstance();
};

// Alignment flags: 1 centred across, 2 right, 4 centred up and down, 8 bottom.
int RotDrawText(HDC dc, int width, int height, const RECT* rect, LPCWSTR text, int count, UINT flags);

// The title layout of the camera screens.
class CTitleLayout : public CSingleton<CTitleLayout> {
public:
    using CSingleton<CTitleLayout>::GetInstance;
    CTitleLayout();
    ~CTitleLayout();
};
