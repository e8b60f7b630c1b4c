// Turning one 8-bit plane without resampling. Internal.
#pragma once

#include "pixels/RotatedStore.h"

namespace pixels {

// Stores every sample of the w x h source at its place in `out`.
void TurnPlane(const uint8_t* src, ptrdiff_t srcStep, int w, int h, const RotatedStore& out);

}  // namespace pixels
