// Checks and filters on 8-bit grey pictures: blur measure, binarisation,
// sharpening and the text-direction check. No state between calls; any thread.
//
// Refusals: a null picture, null pixels or a size of 0 or less leave the
// picture unchanged; so does a work copy that cannot be allocated.
#pragma once

#include <cstdint>

#include "ocrchecks/GreyImage.h"

namespace ocrchecks {

inline constexpr std::int32_t kMaxTextLines = 50;

// 1 when the mean of the pixel variances over the rectangles (left < x <= right,
// top < y <= bottom, clipped to the picture) is below threshold, else 0.
// Rectangles left empty by clipping are not counted; with none left, 0.
std::int32_t BlurDetection(const GreyImage* image, std::int32_t count, const CheckRect* rects,
                           std::int32_t threshold);

// Edge marking and adaptive threshold, in place. Returns 0.
std::int32_t Binarize(GreyImage* image);

// Mode 1: 5c - n; other modes: (10c - n) / 6 (n the sum of the four
// neighbours), clamped to 0..255; border rows and columns kept. Returns 0.
std::int32_t Sharpen(GreyImage* image, std::int32_t mode);

// Turns `full` a quarter turn clockwise (swapping its width and height) when
// the text on `small` runs vertically or undecided. 0 when turned, else 1.
std::int32_t CheckImageDirection(const GreyImage* small, GreyImage* full);

// The direction vote. Mode 1: 0 horizontal, 1 vertical, 2 undecided; mode 0:
// 1 horizontal, 0 vertical, 2 undecided; 0 when it cannot work. Writes the
// number of text lines found and up to kMaxTextLines of them (either may be null).
std::int32_t DetectCardType(std::int32_t mode, const std::uint8_t* pixels, std::int32_t width,
                            std::int32_t height, std::int32_t* count, CheckRect* rects);

}  // namespace ocrchecks
