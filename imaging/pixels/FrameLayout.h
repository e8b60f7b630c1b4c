// Plane order of the contiguous planar frames (docs/frame-layout.md).
//
// 4:2:0 frames of the camera (preview, player and the frames made from them)
// are stored Y, Cr, Cb: Cr at W*H, Cb at W*H + W*H/4, rows W and W/2 bytes
// long, no padding. 4:2:2 frames (the still shot's thumbnail frame) are
// stored Y, Cb, Cr: Cb at W*H, Cr at W*H + W*H/2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixels {

template <typename Byte>
struct FramePlanes {
    Byte* y;
    Byte* cb;
    Byte* cr;
};

// The planes of a W x H camera 4:2:0 frame.
template <typename Byte>
inline FramePlanes<Byte> CameraFrame420(Byte* frame, int width, int height) {
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    return {frame, frame + n + n / 4, frame + n};
}

// The planes of a W x H 4:2:2 frame.
template <typename Byte>
inline FramePlanes<Byte> Frame422(Byte* frame, int width, int height) {
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    return {frame, frame + n, frame + n + n / 2};
}

}  // namespace pixels
