// Touch vibration: the press and release feedback of the skinned controls.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CHapticControl : public CSingleton<CHapticControl> {
public:
    using CSingleton<CHapticControl>::GetInstance;

    CHapticControl();
    ~CHapticControl();

    // Feedback of a pen going down on a control, and of its release.
    void PlayEffectA();
    void PlayEffectB();
};
