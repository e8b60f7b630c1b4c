// Still-camera control: shot modes with their picture sizes, the picture
// quality of the captured stills, the camera state word and the preview.
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

    // State bits; 1 idle. The bits 0x550 mean busy (capturing, saving).
    DWORD GetState() const;
    void SetState(DWORD state);
    // Opens the camera driver; negative on failure.
    int AttachCamera();
    int SetupCaptureGraph(HWND owner);
    // Runs the graph; 0 when the camera module is absent.
    int Run();
    // Starts the preview again: the view word becomes 1.
    int ResetPreview(int flag);
    void StopPreview();
    // The picture quality setting 0 to 3 that the JPEG savers read.
    int GetCaptureOption() const;
};
