// A frame handed out by the capture graph's filters: the sample's own buffer
// (valid only during the call), its data length, and the width and height of
// the filter's media type (a negative height: rows top-down).
#pragma once

#include "plat/types.h"

using FrameCallback = DWORD (*)(BYTE* frame, DWORD length, LONG width, LONG height);
