// Doubles of the camera, device and screen services the shell calls: each
// call is written to one log that the tests read.
#pragma once

#include <string>
#include <vector>

namespace doubles {

// What the doubles answer; reset by ReleaseAll.
struct NeighbourState {
    unsigned long cameraState = 1;
    unsigned long camcorderState = 0;
    unsigned long remainingCapacity = 1000;
    int shotCount = 0;
    int attachResult = 0;
    int runResult = 1;
    int displayInitResult = 0;
};
NeighbourState& State();

// The calls since the last Clear, as "Class::Operation(arguments)".
std::vector<std::string>& Calls();
inline void Clear() { Calls().clear(); }

// Every double singleton deleted, so the next test starts fresh.
void ReleaseAll();

}  // namespace doubles
