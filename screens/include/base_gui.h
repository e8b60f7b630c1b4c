// The interface of every full-screen view. The main window hands painting,
// commands, keys and touches to the active screen, which the settings'
// GUI-status mask selects.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"

class CBaseGUI : public CDrawEvent {
public:
    // In the order of the screens' table of operations.
    virtual int LoadResource();
    virtual int OnOpen();
    // 0, or the display's flip error.
    virtual int OnPaint();
    virtual int OnEvent(UINT message, WPARAM wParam, LPARAM lParam);
    // Command identifiers are 0xGGGGNNNN: family in the high half.
    virtual int OnCommand(DWORD command, DWORD argument);
    virtual int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData);
    virtual int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData);
    virtual int OnLButtonDown(POINT point, WPARAM flags);
    virtual int OnLButtonUp(POINT point, WPARAM flags);
    virtual int OnMouseMove(POINT point, WPARAM flags);
};
