// The camera driver's side that tests look at: every property set the
// camera filter was asked for, and a way to make one of them fail.
#pragma once

#include <vector>

#include "plat/dshow.h"

namespace plat::camera {

enum class Face { CameraControl, VideoProcAmp };

struct PropertySet {
    Face face;
    long property;
    long value;
    long flags;
    HRESULT result;
};

// Every Set since the last clear, in order.
std::vector<PropertySet> RecordedSets();
void ClearRecordedSets();

// Set(property, value) on that face answers `result` from now on (value -1:
// any value); S_OK removes the rule.
void FailSet(Face face, long property, long value, HRESULT result);
void ClearFailures();

// Frames the camera made since the process started (delivered or not).
unsigned long FramesMade();

}  // namespace plat::camera
