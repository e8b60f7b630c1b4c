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
    void (*onCall)(const std::string& call) = nullptr;  // after each call is logged
    void* shotBitmap = nullptr;  // the last bitmap CShotControl::CreateShot took (an HBITMAP)
};
NeighbourState& State();

// The calls since the last Clear, as "Class::Operation(arguments)".
std::vector<std::string>& Calls();
inline void Clear() { Calls().clear(); }

// Every double singleton deleted, so the next test starts fresh.
void ReleaseAll();
// The screen and display part of ReleaseAll (screen_doubles.cpp, or the
// screens' own tests where the real screens link).
void ReleaseScreens();

// Appends one line to the log.
[[gnu::format(printf, 1, 2)]] void Log(const char* format, ...);

}  // namespace doubles
