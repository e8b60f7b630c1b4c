// The panorama stitching library (PanoraMax.dll, libPanoraMax.so here),
// loaded at run time: its records, result codes and entry points.
//
// The stand-in tracks the camera between shots from the preview's luma
// (row and column sums of the last shot and of the current preview frame,
// correlated over the possible shifts), and stitches the shots side by side
// at the offsets it tracked into one 4:2:0 picture. A job: px_init,
// px_setParams, px_start, px_beginCapture, then px_handleFrame on preview
// frames and px_addFrame on shots until the target count, then
// px_getPanoramaImage; px_abort ends a capture, px_free the job. Calls out
// of this order give PX_ERR_SEQUENCE; bad records PX_ERR_PARAMETER.
#pragma once

#include <cstddef>
#include <cstdint>

// Frames: format 1 is YUV 4:2:0, U at + w*h, V at + w*h + w*h/4.
struct PxFrame {
    int32_t format;
    int32_t width;
    int32_t height;
    uint8_t* y;
    uint8_t* u;
    uint8_t* v;
};

// Words 1 to 11 of the capture status.
struct PxStatus {
    int32_t target;     // shots the job stitches
    int32_t added;      // shots taken so far
    int32_t reserved1;
    int32_t direction;  // 1 right, 2 left, 4 up, 8 down: where to move next
    int32_t x;          // the camera's motion since the last shot, preview pixels
    int32_t y;
    int32_t reserved2[4];
    int32_t status;     // PX_STATUS_*
};

inline constexpr int32_t PX_STATUS_INVALID = 0;
inline constexpr int32_t PX_STATUS_VALID = 1;
inline constexpr int32_t PX_STATUS_POSITIONED = 2;
inline constexpr int32_t PX_STATUS_STEADY = 3;

inline constexpr int PX_OK = 0;
inline constexpr int PX_ERR_FAILED = -1;
inline constexpr int PX_ERR_SEQUENCE = 1;
inline constexpr int PX_ERR_MEMORY = 2;
inline constexpr int PX_ERR_PARAMETER = 4;
inline constexpr int PX_ERR_DIRECTION = 6;
inline constexpr int PX_ERR_NO_IMAGE = 8;
inline constexpr int PX_ERR_IMAGE_SIZE = 9;

struct PxAllocator {
    void* (*alloc)(size_t size);
    void (*free)(void* block);
};

// The stitched picture: 4:2:0 in one block from the job's allocator.
struct PxImage {
    int32_t format;
    int32_t width;
    int32_t height;
    uint8_t* data;
};

using PxHandle = void*;

extern "C" {
using PFN_px_free = int (*)(PxHandle handle);
using PFN_px_abort = int (*)(PxHandle handle);
using PFN_px_init = int (*)(const PxAllocator* allocator, int reserved1, int reserved2, PxHandle* handle);
using PFN_px_setParams = int (*)(PxHandle handle, int shotWidth, int shotHeight, int shotFormat, int previewWidth,
                                 int previewHeight, int previewFormat, int shots, int overlapPercent, float maxAngle,
                                 int bufferBytes);
using PFN_px_start = int (*)(PxHandle handle);
using PFN_px_beginCapture = int (*)(PxHandle handle, int reserved);
using PFN_px_handleFrame = int (*)(PxHandle handle, const PxFrame* frame, int reserved, PxStatus* status);
using PFN_px_addFrame = int (*)(PxHandle handle, const PxFrame* frame, int reserved, PxStatus* status);
using PFN_px_createPanorama = int (*)(PxHandle handle);
using PFN_px_getPanoramaImage = int (*)(PxHandle handle, PxImage* image, int* width, int* height);
using PFN_px_endCapture = int (*)(PxHandle handle);
}
