// The end of the camera as the program's shutdown does it, for the programs
// that play the application (camtool, capture_bench).
#pragma once

// The graph's streaming thread and the worker stop before the objects they
// call go, and before the process ends under them.
void StopCaptureAsShutdown();
