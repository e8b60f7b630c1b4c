// Until the devices are built: no sound plays, no GPS is opened, no shot is
// held. The capture graph control comes from lumcapture.
#include "acs_control.h"
#include "gps_control.h"
#include "haptic_control.h"
#include "shot_control.h"
#include "sound_control.h"

CSoundControl::CSoundControl() = default;
CSoundControl::~CSoundControl() = default;
void CSoundControl::SetShutterIndex(int) {}
void CSoundControl::Stop() {}

CGPSControl::CGPSControl() = default;
CGPSControl::~CGPSControl() = default;
void CGPSControl::Init() {}
void CGPSControl::Uninit() {}
double CGPSControl::GetLatitude() const { return 0; }
double CGPSControl::GetLongitude() const { return 0; }
float CGPSControl::GetAltitude() const { return 0; }

CACSControl::CACSControl() = default;
CACSControl::~CACSControl() = default;
int CACSControl::GetACSOrientation() { return 1; }

CHapticControl::CHapticControl() = default;
CHapticControl::~CHapticControl() = default;
void CHapticControl::PlayEffectA() {}
void CHapticControl::PlayEffectB() {}

CShotControl::CShotControl() = default;
CShotControl::~CShotControl() = default;
CShot* CShotControl::GetShot(int) { return nullptr; }
int CShotControl::GetShotCount() const { return 0; }
void CShotControl::SaveAllShots() {}
void CShotControl::ReleaseShots() {}
void CShotControl::ReleaseShotsEx() {}
void CShotControl::Destroy() {}
