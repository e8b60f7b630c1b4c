// Touch vibration: the press and release feedback of the skinned controls,
// honouring the user's touch-vibration settings.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CHapticControl : public CSingleton<CHapticControl> {
public:
    using CSingleton<CHapticControl>::GetInstance;

    // Reads the settings and opens the vibration device.
    CHapticControl();
    ~CHapticControl();

    // Feedback of a pen going down on a control, and of its release.
    void PlayEffectA();
    void PlayEffectB();
    void PlayEffect0();
    // Stops every effect and closes the device.
    void Close();

    bool IsEnabled() const { return m_enabled != 0; }
    bool IsOpened() const { return m_opened != 0; }

private:
    void Play(const BYTE* effect);

    int m_device = -1;
    int m_effect = 0;
    int m_capability6 = 0;
    int m_capability7 = 0;
    BYTE m_opened = 0;
    BYTE m_enabled = 0;
    int m_level = 0;
    int m_strength = 0;
};
