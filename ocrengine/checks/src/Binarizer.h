// Binarisation into a work picture: edge marking, then the adaptive
// threshold over overlapping windows. Shared by Binarize and the direction check.
#pragma once

#include <cstdint>

namespace ocrchecks {

inline constexpr int kMarkResponse = 100;     // compass response of a marked edge
inline constexpr int kWindowStep = 2;
inline constexpr int kWindowReach = 20;       // a window spans start .. start + 20
inline constexpr int kWindowMargin = 2;       // windows keep 2 pixels off every border
inline constexpr int kCountedColumnPixels = 4;
inline constexpr int kMinCountedColumns = 4;
inline constexpr int kMaxGapColumns = 16;

// work must hold width x height bytes; src is left as it is. Needs no memory.
void BinarizeInto(const std::uint8_t* src, int width, int height, std::uint8_t* work);

}  // namespace ocrchecks
