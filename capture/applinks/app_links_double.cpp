// What the application above defines and the programs without it (the
// capture suite, camtool, capture_bench) do not have.
#include <cstdlib>

#include "screen_links.h"

// No screen is drawn: a display failure has no orientation to restore.
void RestoreAppOrientation() {}

// Stands for the camera screen's constructor (see CMakeLists.txt): these
// programs play that screen and never make it.
extern "C" void CaptureNoCameraScreen()
{
    std::abort();
}

// The main frame's double (shared with the screens' tests) logs what it is
// asked; nothing here makes a camera screen, so nothing reads that log.
namespace doubles {
void Log(const char*, ...) {}
}  // namespace doubles
