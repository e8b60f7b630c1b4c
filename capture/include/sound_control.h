// The camera's sound cues.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CSoundControl : public CSingleton<CSoundControl> {
public:
    using CSingleton<CSoundControl>::GetInstance;

    CSoundControl();
    ~CSoundControl();

    // Which of the shutter sounds (0 to 2) the camera plays.
    void SetShutterIndex(int index);
    // Stops the sound being played.
    void Stop();
};
