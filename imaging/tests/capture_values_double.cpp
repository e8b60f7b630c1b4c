#include "capture_values_double.h"

#include "acs_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "gps_control.h"

capture_values::Values& capture_values::Current()
{
    static Values values;
    return values;
}

int CCameraControl::GetCaptureOption() const { return capture_values::Current().quality; }
int CCommonControl::GetWhiteBalance() const { return capture_values::Current().whiteBalance; }
double CGPSControl::GetLatitude() const { return capture_values::Current().latitude; }
double CGPSControl::GetLongitude() const { return capture_values::Current().longitude; }
float CGPSControl::GetAltitude() const { return capture_values::Current().altitude; }
bool CGPSControl::HasFix() const { return capture_values::Current().fix; }

CACSControl::CACSControl() = default;
CACSControl::~CACSControl() = default;
int CACSControl::GetACSOrientation() { return capture_values::Current().orientation; }
