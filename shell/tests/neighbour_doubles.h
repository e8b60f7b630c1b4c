// Doubles of the camera, device and screen services the shell calls: each
// call is written to one log that the tests read.
#pragma once

#include <string>
#include <vector>

namespace doubles {

// The calls since the last Clear, as "Class::Operation(arguments)".
std::vector<std::string>& Calls();
inline void Clear() { Calls().clear(); }

// Every double singleton deleted, so the next test starts fresh.
void ReleaseAll();

}  // namespace doubles
