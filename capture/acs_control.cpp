#include "acs_control.h"

#include "plat/device_io.h"

namespace {

constexpr DWORD kRegister = 1300;
constexpr DWORD kSensorOn = 1102;
constexpr DWORD kSensorOff = 1103;
constexpr DWORD kReadAxes = 1014;
constexpr DWORD kRelease = 1200;
constexpr DWORD kCameraPower = 777;

}  // namespace

CACSControl::CACSControl() = default;
CACSControl::~CACSControl() = default;

BOOL CACSControl::Control(DWORD code, DWORD* in, DWORD inSize, void* out, DWORD outSize)
{
    // The driver is opened for each operation and closed after it.
    HANDLE device = CreateFileW(L"ACS1:", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return FALSE;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(device, code, in, inSize, out, outSize, &returned, nullptr);
    CloseHandle(device);
    return ok;
}

BOOL CACSControl::EnableSensor(int on)
{
    if (m_dwRegistration == 0) {
        DWORD five = 5;
        DWORD word = 0;
        if (Control(kRegister, &five, sizeof five, &word, sizeof word)) m_dwRegistration = word;
    }
    DWORD word = m_dwRegistration;
    DWORD ignored = 0;
    const BOOL ok = Control(on ? kSensorOn : kSensorOff, &word, sizeof word, &ignored, sizeof ignored);
    plat::DebugLine(ok ? L"ACS On SUCCESSED!" : L"ACS On FAILED!");
    return ok;
}

void CACSControl::GetAll()
{
    EnableSensor(1);
    DWORD unset = 0;
    LONG axes[3] = {33, 22, 11};
    Control(kReadAxes, &unset, sizeof unset, axes, sizeof axes);
    m_x = static_cast<signed char>(axes[0] & 0xFF);
    m_y = static_cast<signed char>(axes[1] & 0xFF);
    m_z = static_cast<signed char>(axes[2] & 0xFF);
    plat::DebugLine(L"CACSControl::GetAll x : %d, y : %d, z : %d", m_x, m_y, m_z);
}

int CACSControl::GetACSOrientation()
{
    const int x = m_x, y = m_y;
    int orientation = 1;
    if (x > 20 && y >= -9 && y < 10)
        orientation = 6;
    else if (x >= -9 && x < 10 && y > 20)
        orientation = 3;
    else if (x < -20)
        orientation = y > -10 && y < 10 ? 8 : 1;
    plat::DebugLine(L"x:%d, y:%d, z:%d, GetACSOrientation : %d", x, y, static_cast<int>(m_z), orientation);
    return orientation;
}

DWORD CACSControl::QuerySensor(DWORD code)
{
    DWORD word = m_dwRegistration;
    DWORD out = 0;
    Control(code, &word, sizeof word, &out, sizeof out);
    return out;
}

void CACSControl::ReleaseSensor()
{
    if (m_dwRegistration == 0) return;
    DWORD word = m_dwRegistration;
    DWORD ignored = 0;
    if (Control(kRelease, &word, sizeof word, &ignored, sizeof ignored)) m_dwRegistration = 0;
}

int CCamDeviceControl::SetPower(int on)
{
    HANDLE device = CreateFileW(L"CAM1:", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device != INVALID_HANDLE_VALUE) {
        BYTE power = on ? 1 : 0;
        DWORD returned = 0;
        DeviceIoControl(device, kCameraPower, &power, 1, nullptr, 0, &returned, nullptr);
        CloseHandle(device);
    }
    return 1;
}
