// The accelerometer ("ACS1:"): the orientation in which a picture is taken;
// and the camera driver's power switch ("CAM1:").
#pragma once

#include "plat/windows.h"
#include "singleton.h"

class CACSControl : public CSingleton<CACSControl> {
public:
    using CSingleton<CACSControl>::GetInstance;

    CACSControl();
    ~CACSControl();

    // Registers when needed, then switches the sensor on (1) or off (0).
    BOOL EnableSensor(int on);
    // Reads the three axes; a failed read leaves 33, 22, 11.
    void GetAll();
    // The EXIF orientation (1, 3, 6 or 8) of the last reading.
    int GetACSOrientation();
    // Sends a code with the registration word; the output word.
    DWORD QuerySensor(DWORD code);
    void ReleaseSensor();

    signed char X() const { return m_x; }
    signed char Y() const { return m_y; }
    signed char Z() const { return m_z; }
    void SetAxes(signed char x, signed char y, signed char z)
    {
        m_x = x;
        m_y = y;
        m_z = z;
    }

private:
    BOOL Control(DWORD code, DWORD* in, DWORD inSize, void* out, DWORD outSize);

    DWORD m_dwRegistration = 0;
    signed char m_x = 0;
    signed char m_y = 0;
    signed char m_z = 0;
};

class CCamDeviceControl : public CSingleton<CCamDeviceControl> {
public:
    using CSingleton<CCamDeviceControl>::GetInstance;

    // Switches the camera driver on (1) or off (0); always 1.
    int SetPower(int on);
};
