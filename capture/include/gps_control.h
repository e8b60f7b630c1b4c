// The GPS device: opened while the user wants positions in the pictures.
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CGPSControl : public CSingleton<CGPSControl> {
public:
    using CSingleton<CGPSControl>::GetInstance;

    CGPSControl();
    ~CGPSControl();

    // Opens the device, its events and its reading thread.
    void Init();
    // Closes them again.
    void Uninit();
    // The last position record: degrees, and metres above sea level.
    double GetLatitude() const;
    double GetLongitude() const;
    float GetAltitude() const;
};
