// The accelerometer: the picture orientation of the last reading.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CACSControl : public CSingleton<CACSControl> {
public:
    using CSingleton<CACSControl>::GetInstance;

    CACSControl();
    ~CACSControl();

    // The EXIF orientation (1, 3, 6 or 8) of the last reading.
    int GetACSOrientation();
};
