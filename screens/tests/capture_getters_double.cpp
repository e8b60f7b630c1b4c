// The capture controls' getters the settings menu reads, answering what the
// shell's doubles of the setters stored. The imaging tests have getters of
// their own, so these stay out of the shared doubles.
#include "camera_control.h"
#include "common_control.h"

int CCameraControl::GetCaptureOption() const { return static_cast<int>(m_nCaptureOption.load()); }
int CCommonControl::GetWhiteBalance() const { return m_nWhiteBalance.load(); }
