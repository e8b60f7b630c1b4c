// Camcorder control: the video sizes of the two recording modes (normal and
// MMS) and the stream option.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

class CCamcorderControl : public CDrawEvent, public CSingleton<CCamcorderControl> {
public:
    using CSingleton<CCamcorderControl>::GetInstance;

    CCamcorderControl();
    ~CCamcorderControl() override;

    // 0 normal, 1 MMS; applies that mode's size at once.
    void SelectSizeMode(int mode);
    // Selector 0: the normal-mode size (bits 0 to 3), 1: the MMS-mode size
    // (bits 4 to 7), 2: the whole packed word; 0 for other selectors.
    int SetVideoSize(int selector, int value, int apply);
    // Video quality 0 to 2, handed to the stream configuration.
    void SetStreamOption(DWORD option);

    // Recording state bits: 0x4 recording, 0x40 paused.
    DWORD GetState() const;
    // Kilobytes left for the recording; 0 when the storage is full.
    DWORD GetRemainingCapacity();
};
