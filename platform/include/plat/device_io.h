// Stream drivers opened by name with CreateFileW ("ACS1:", "CAM1:") and
// driven with DeviceIoControl.
//
// "ACS1:", the accelerometer (absent when HKEY_LOCAL_MACHINE
// "Platform\Accelerometer" "Axes" is "none"):
//   1300 in: DWORD 5             out: DWORD registration word
//   1102 in: registration word   sensor on
//   1103 in: registration word   sensor off
//   1014                         out: 12 bytes, x, y, z as DWORDs from "Axes" = sz "x,y,z" (default "0,0,0")
//   1200 in: registration word   release
//   A wrong registration word or a short buffer: FALSE, ERROR_INVALID_PARAMETER.
// "CAM1:", the camera driver (absent when the camera is "none"):
//   777  in: one byte, 1 on, 0 off
#pragma once

#include "plat/file.h"
#include "plat/types.h"

BOOL DeviceIoControl(HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                     LPDWORD bytesReturned, LPOVERLAPPED overlapped);

namespace plat {

inline constexpr const WCHAR* kAccelerometerKey = L"Platform\\Accelerometer";

// Tests: makes that driver's control code fail (ERROR_GEN_FAILURE) or work again.
void FailDeviceControl(const WCHAR* driver, DWORD code, bool fail);
// Tests: the last power state the camera driver was given (-1: none yet).
int CameraDriverPower();

// For CreateFileW: true when the name is a stream driver's ("XXXn:"); then
// *handle is the open driver or INVALID_HANDLE_VALUE with the last error set.
bool OpenStreamDriver(LPCWSTR name, HANDLE* handle);

}  // namespace plat
