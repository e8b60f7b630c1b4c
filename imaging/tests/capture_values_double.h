// What the savers read of the camera, the accelerometer and the GPS, set by
// the tests.
#pragma once

namespace capture_values {

struct Values {
    int quality = 0;
    int whiteBalance = 0;
    int orientation = 1;
    double latitude = 0;
    double longitude = 0;
    float altitude = 0;
    bool fix = false;
};

Values& Current();
inline void Reset() { Current() = Values{}; }

}  // namespace capture_values
