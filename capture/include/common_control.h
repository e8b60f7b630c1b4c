// What camera and camcorder share: the image settings sent to the camera
// driver and the preview size.
#pragma once

#include <atomic>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

class CCommonControl : public CDrawEvent, public CSingleton<CCommonControl> {
public:
    using CSingleton<CCommonControl>::GetInstance;

    CCommonControl();
    ~CCommonControl() override;

    // Each stores a camera setting; with apply 0 it is not sent to the
    // driver yet.
    void SetISO(int value, int apply);
    void SetMetering(int value, int apply);
    void SetContrast(int value, int apply);
    void SetSaturation(int value, int apply);
    void SetSharpness(int value, int apply);
    void SetUseWDR(int value, int apply);
    // Preview 320 x 240 for 0, 400 x 240 for 1.
    void SetWidePreview(int wide, int apply);
    // "Sensor_ID" under HKEY_CURRENT_USER "\Software\Microsoft\Pictures\Camera\USER".
    void WriteSensorID(int value);

    // Sends a focus mode to the camera driver.
    void SetFocus(int mode, int flag);
    // Focus off (driver code 704).
    void SetFocusOff();
    // Locks the preview, then frees the three preview buffers.
    void FreePreviewBuffers();
    void ClearAutoShotRect();

    // Words the shell reads and writes.
    std::atomic<int> m_bPreviewLock{0};
    std::atomic<int> m_bCaptureRunning{0};
    std::atomic<int> m_bFocusing{0};
    int m_nFocusSetting = 0;  // tested before the driver codes 707 and 708
    std::atomic<int> m_bExit{0};
    // The white-balance word: 0 automatic, 1 to 4 fixed settings.
    int GetWhiteBalance() const;
};
