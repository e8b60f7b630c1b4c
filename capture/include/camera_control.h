// Still-camera control: shot modes with their picture sizes and the picture
// quality of the captured stills.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

class CCameraControl : public CDrawEvent, public CSingleton<CCameraControl> {
public:
    using CSingleton<CCameraControl>::GetInstance;

    CCameraControl();
    ~CCameraControl() override;

    // Mode 0 to 3; applies that mode's picture size to the capture graph and
    // publishes the running state.
    void SetShotMode(int mode, int flag);
    // Index 0 to 3: that mode's 4-bit size field (mode 0 in bits 0 to 3);
    // index 4: the whole packed word. 0 for an index above 4.
    int SetShotModeSize(int index, int value, int apply);
    // Picture quality, 0 the best.
    void SetCaptureOption(int option, int apply);
};
