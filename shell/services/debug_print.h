// printf-style text to the debug output, without the line prefix.
#pragma once

#include "plat/windows.h"

void DebugPrint(LPCWSTR format, ...);
