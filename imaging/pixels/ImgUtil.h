// Image utility functions: whole frames stored as one block (planes back to
// back, docs/frame-layout.md) resized, turned and converted by the planar
// primitives, with a yes/no result (1 done, 0 failed) and a log line.
//
// The nine common arguments: source frame, source width and height, region
// width and height (the part of the source that is resampled), destination,
// destination width and height (as stored, after the turn) and the rotation
// code (0 to 5, see pixels::Rotation). Refused with 0 and a log line before
// anything is written: null frames, destination or region sizes below 2, a
// region larger than the source, an odd source width (and height for 4:2:0),
// and whatever the primitive refuses (a rotation code above 5, a 4:2:2 quarter
// turn, which has no 4:2:2 result).
#pragma once

#include <cstdint>

// 4:2:2 (Y, Cb, Cr) to 4:2:2, centred region, bilinear.
int IUYUV422RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                   uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// 4:2:0 to 4:2:0 keeping the plane order, centred region, bilinear.
int IUYUV420RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                   uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// 4:2:0 to 4:2:0 keeping the plane order, region at the top-left, bilinear.
int IUResizeRotateStill(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                        uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// Camera 4:2:0 (Y, Cr, Cb) to 4:2:0 Y, Cb, Cr, region at the top-left, bilinear.
int IUResizeRotateStill420(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                           uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// Camera 4:2:0 (Y, Cr, Cb) to RGB565 (step 2 x destination width), region at
// the top-left, nearest sample.
int IUYCbCr420toRGB565_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// Camera 4:2:0 (Y, Cr, Cb) to RGB888 (bytes B, G, R; step 3 x destination
// width), region at the top-left, nearest sample.
int IUYCbCr420toRGB888_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation);

// 4:2:2 (Y, Cb, Cr) turned by the rotation code into the scratch block (at
// least 2 x W x H bytes; the turned copy covers the size rounded down to
// multiples of 8, W x H or H x W), then the region centred in the turned copy
// converted to RGB565 (step 2 x destination width) mirrored left to right,
// bilinear. The turned chroma is thinned to 4:2:0 inside the scratch block.
int IUYCbCr422toRGB565_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation, uint8_t* scratch,
                              uint32_t scratchSize);

// Moves a 16-bit picture (picture width x height pixels, packed at the start
// of the frame) to the middle of a frame of frameWidth pixels per row,
// starting at frame row topRow, through the scratch block; the rest of the
// frame is cleared. The last 4 picture rows are not copied. The fifth value is
// not used. Refused (0, frame untouched) when the scratch block is smaller
// than the frame, the picture is wider than the frame, lower than 4 rows, or
// would reach past the frame's frameSize bytes from topRow on.
int IUImageCentering(uint8_t* frame, uint32_t frameSize, int pictureWidth, int pictureHeight, int frameWidth,
                     int unused, int topRow, uint8_t* scratch, uint32_t scratchSize);
