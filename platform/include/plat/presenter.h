// The window presenter: the composed screen in a window of the desktop,
// twice its size, with the mouse as the touch panel and the keyboard as the
// handset's keys (the map is in docs/scenarios.md). Closing the window
// presses the end key. Built only when SDL2 is there; headless runs never
// need it.
#pragma once

#include <string>

#include "plat/types.h"

namespace plat {

// False, with the reason, when the build has no presenter or no display can be opened.
bool StartPresenter(std::wstring* why = nullptr);
void StopPresenter();

// The handset key for a host key name ("Space", "Escape", "Page Up", ...); 0 for none.
BYTE PresenterKeyFor(const char* hostKeyName);
// Frames shown since the presenter started.
unsigned PresenterFrames();

}  // namespace plat
