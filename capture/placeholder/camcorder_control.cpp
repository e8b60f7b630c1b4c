// Until the camcorder control is built: nothing records.
#include "camcorder_control.h"

CCamcorderControl::CCamcorderControl() = default;
CCamcorderControl::~CCamcorderControl() = default;
void CCamcorderControl::SelectSizeMode(int) {}
int CCamcorderControl::SetVideoSize(int selector, int, int) { return selector <= 2; }
void CCamcorderControl::SetStreamOption(DWORD) {}
DWORD CCamcorderControl::GetState() const { return 0; }
DWORD CCamcorderControl::GetRemainingCapacity() { return 0xFFFFFFFF; }
