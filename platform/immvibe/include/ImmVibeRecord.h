// What the vibration stand-in was asked, for tests.
#pragma once

#include <string>
#include <vector>

namespace immvibe {

// One line per call with its arguments and result, e.g.
// "ImmVibeSetDevicePropertyInt32(1, 3, 8000) = 0".
std::vector<std::string> Calls();
// Forgets the calls and ends an open device and the library; handles count
// from 1 again.
void Reset();
// Whether the last effect played still plays on the platform clock.
bool IsPlaying();

}  // namespace immvibe
