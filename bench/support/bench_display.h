// Set-up the display benchmarks share.
#pragma once

#include <vector>

#include "plat/windows.h"

namespace benchdisplay {

// A fresh temporary device root with its registry, made once per process;
// false when the registry cannot be opened.
bool OpenDeviceRoot();
// Turns the panel to a display code (DMDO_270 landscape, DMDO_0 portrait).
void Turn(DWORD code);
// One hidden window per process for the display's cooperative level.
HWND Window();
// A 640 x 480 4:2:0 camera frame: a luma ramp and varied chroma.
std::vector<BYTE> CameraFrame();

}  // namespace benchdisplay
