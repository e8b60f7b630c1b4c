// The pen on the main frame's popup as the camera screens draw it: its
// buttons, the half turn of touches on the upside-down display, and which
// button a press lands on.
#pragma once

#include <span>

#include "main_frame.h"
#include "plat/windows.h"

namespace popup_pen {

inline bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The display standing upside down reports its touches turned half a turn.
POINT TouchPoint(POINT point);

struct Button {
    int CMainFrame::*pressed;
    RECT area;
    void (CMainFrame::*action)();
    const WCHAR* name;  // as the logs call it
};

// Left, right, then the one centre button of the one-button style.
std::span<const Button, 3> AllButtons();
// The buttons of the frame's popup style.
std::span<const Button> ButtonsOf(const CMainFrame* frame);
// The pressed word of the button of the frame's style under p, or null.
int* ButtonAt(CMainFrame* frame, POINT p);

}  // namespace popup_pen
