// The capture graph: its events, the camera-control properties of the
// capture filter, and closing the camera.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

class CDShowControl : public CDrawEvent, public CSingleton<CDShowControl> {
public:
    using CSingleton<CDShowControl>::GetInstance;

    CDShowControl();
    ~CDShowControl() override;

    // Drains the graph's events, posting WM_MAIN_COMMAND codes.
    void HandleGraphEvent();
    // -2 without a capture filter.
    int SetAMCameraControl(long property, long value, bool autoFlag);
    // Stops the graph and releases every filter.
    void CloseCamera();
    void ReleaseInterfaces();
};
