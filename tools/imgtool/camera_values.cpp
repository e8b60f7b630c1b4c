// What the savers read of the camera: the quality is imgtool's --quality,
// the rest the values of a camera at rest (no GPS, upright).
#include "acs_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "gps_control.h"

int g_imgtoolQuality = 0;

int CCameraControl::GetCaptureOption() const { return g_imgtoolQuality; }
int CCommonControl::GetWhiteBalance() const { return 0; }
double CGPSControl::GetLatitude() const { return 0; }
double CGPSControl::GetLongitude() const { return 0; }
float CGPSControl::GetAltitude() const { return 0; }
bool CGPSControl::HasFix() const { return false; }

CACSControl::CACSControl() = default;
CACSControl::~CACSControl() = default;
int CACSControl::GetACSOrientation() { return 1; }
