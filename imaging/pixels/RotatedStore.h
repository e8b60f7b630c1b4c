// Where each sample of a resampled picture lands in a turned destination.
// Internal to the pixel units.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixels {

// Rotation codes of the pixel primitives.
enum Rotation : int {
    kRotateNone = 0,
    kRotateLeft = 1,      // quarter turn counter-clockwise
    kRotateRight = 2,     // quarter turn clockwise
    kRotateHalf = 3,
    kMirrorLeftRight = 4,
    kFlipTopBottom = 5,
};

inline bool IsQuarterTurn(int rotation) { return rotation == kRotateLeft || rotation == kRotateRight; }

// Sample (x, y) of a w x h picture (before the turn) is stored at
// base + x * dx + y * dy.
struct RotatedStore {
    uint8_t* base;
    ptrdiff_t dx;
    ptrdiff_t dy;

    uint8_t* Row(int y) const { return base + static_cast<ptrdiff_t>(y) * dy; }
    uint8_t* At(int x, int y) const { return Row(y) + static_cast<ptrdiff_t>(x) * dx; }
};

// dst is the destination's first sample, step the bytes between its rows,
// size the bytes of one sample; w x h is the picture before the turn.
inline RotatedStore MakeRotatedStore(uint8_t* dst, ptrdiff_t step, ptrdiff_t size, int w, int h, int rotation) {
    const ptrdiff_t lastX = w - 1;
    const ptrdiff_t lastY = h - 1;
    switch (rotation) {
    case kRotateLeft: return {dst + lastX * step, -step, size};              // (y, W-1-x)
    case kRotateRight: return {dst + lastY * size, step, -size};             // (H-1-y, x)
    case kRotateHalf: return {dst + lastY * step + lastX * size, -size, -step};
    case kMirrorLeftRight: return {dst + lastX * size, -size, step};
    case kFlipTopBottom: return {dst + lastY * step, size, -step};
    default: return {dst, size, step};
    }
}

}  // namespace pixels
