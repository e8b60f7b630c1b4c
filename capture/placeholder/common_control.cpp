// Until the common camera control is built: settings are kept by nobody.
#include "common_control.h"

CCommonControl::CCommonControl() = default;
CCommonControl::~CCommonControl() = default;
void CCommonControl::SetISO(int, int) {}
void CCommonControl::SetMetering(int, int) {}
void CCommonControl::SetContrast(int, int) {}
void CCommonControl::SetSaturation(int, int) {}
void CCommonControl::SetSharpness(int, int) {}
void CCommonControl::SetUseWDR(int, int) {}
void CCommonControl::SetWidePreview(int, int) {}
void CCommonControl::WriteSensorID(int) {}
void CCommonControl::SetFocus(int, int) {}
void CCommonControl::SetFocusOff() {}
void CCommonControl::FreePreviewBuffers() {}
void CCommonControl::ClearAutoShotRect() {}
int CCommonControl::GetWhiteBalance() const { return 0; }
