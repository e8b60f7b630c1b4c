// Frame buffers: one picture of a given size and layout in one zeroed block,
// with the pointers of its planes. The picture decoder decodes into them.
//
// AllocVideoFrame returns 0, or -2 when the record is null, the size is not
// positive, the size does not fit the record (16-bit sides, 32-bit length)
// or the memory is not there; a failed call leaves no block behind.
#pragma once

#include <cstdint>

// Layout codes; any other code is one plane of one byte per pixel.
inline constexpr uint32_t kFrameYCbCr420 = 2;   // planar 4:2:0, sides rounded up to even
inline constexpr uint32_t kFrameYCbCr422 = 4;   // planar 4:2:2
inline constexpr uint32_t kFramePlanar444A = 8;  // three full-size planes
inline constexpr uint32_t kFramePlanar444B = 16;
inline constexpr uint32_t kFramePlanar444C = 64;
inline constexpr uint32_t kFrameRgb16 = 128;   // one plane, 2 bytes per pixel
inline constexpr uint32_t kFrameRgb24 = 256;   // one plane, 3 bytes per pixel

struct VideoFrame {
    uint8_t* mPlane[3];     // plane 0 is also the start of the block
    uint16_t mWidth;
    uint16_t mHeight;
    uint32_t mSpare;        // not set by the allocation; cleared when it fails
    void* mReservation;     // the block as allocated
    uint32_t mLayout;
    uint32_t mLength;       // bytes of the whole picture
};

int AllocVideoFrame(VideoFrame* frame, int width, int height, uint32_t layout);

// -1 for a null record, else 0; a second call on the same record is harmless.
int FreeVideoFrame(VideoFrame* frame);

// Writes "[TRAVEK] failed with error %d: %s" with the system's text for the code.
void PrintLastErrorText(int errorCode);
