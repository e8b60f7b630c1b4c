// The indicator LED: a blink at each shot, the self-timer's countdown, a
// steady light while recording.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CLedControl : public CSingleton<CLedControl> {
public:
    using CSingleton<CLedControl>::GetInstance;

    CLedControl();
    ~CLedControl();

    // Each returns the LED driver's result.
    BOOL Blink(int periodMs, int count);
    BOOL Off();
    BOOL BlinkRecording();
    BOOL SetLed(int mode, LONG totalCycle, LONG onTime, LONG offTime, int metaOn, int metaOff);
};
