// Until the devices are built: no sound plays, no shot is held. The capture
// graph control, the accelerometer and the GPS come from lumcapture.
#include "haptic_control.h"
#include "shot_control.h"
#include "sound_control.h"

CSoundControl::CSoundControl() = default;
CSoundControl::~CSoundControl() = default;
void CSoundControl::SetShutterIndex(int) {}
void CSoundControl::Stop() {}


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
