// The handset maker's image-processing library (Fotrix.dll): colour
// conversion, scaling, turning and mirroring of camera frames and 16-bit
// pictures. Frames are described by GFrameInfo records (docs/frame-layout.md:
// a camera 4:2:0 frame's Cb plane is at W*H + W*H/4, its Cr plane at W*H).
//
// Rotation codes: 0 none, 1 a quarter turn clockwise, 2 a half turn, 3 a
// quarter turn counter-clockwise; odd codes exchange width and height.
// Mirror codes: 0 left-right, 1 top-bottom.
// Every reduction averages the area a destination pixel covers; an
// enlargement takes the nearest sample. Results: 0, or -1 for a null record,
// a null plane, a size below 1 or an unknown code (nothing written).
#pragma once

#include "plat/types.h"

struct GFrameInfo {
    BYTE* y;
    BYTE* cb;
    BYTE* cr;
    WORD width;
    WORD height;
    DWORD reserved[3];
};

// Scales the 4:2:0 frame to the destination record's size.
int gScaleFrame(const GFrameInfo* src, GFrameInfo* dst, int reserved1, int reserved2);

// A 4:2:0 frame (the record's size) to RGB565 pixels of dstWidth x dstHeight,
// turned by the rotation code, rows top-down. The picture turned is the
// record's top-left srcWidth x srcHeight (clamped to the record), resampled
// to fit the destination exactly.
int gYUV420toRGB16Rotate(const GFrameInfo* frame, WORD* dst, int dstWidth, int dstHeight, int r1, int r2, int r3,
                         int r4, int srcWidth, int srcHeight, int rotation);

// A planar 4:2:2 frame (Cb at W*H, Cr at W*H + W*H/2) to RGB565, turned by the
// rotation code. A negative dstHeight stores the rows bottom-up, as a
// bottom-up DIB section holds them.
int gYUV422HPlanartoBGR565TopDown_Rotate(const GFrameInfo* frame, WORD* dst, int r1, int r2, int dstWidth,
                                         SHORT dstHeight, int r3, int r4, int srcWidth, int srcHeight,
                                         BYTE rotation);

// A planar 4:2:2 frame to 24-bit pixels, bytes R, G, B, rows bottom-up (the
// bottom-up section with red in the lowest byte). Flag 1 stores rows top-down.
int gYUV422HPlanartoRGB888TopDown(const GFrameInfo* frame, BYTE* dst, WORD width, WORD height, DWORD flag);

// Turns 16-bit pixels (rows of width x 2 bytes) into dst of dstWidth x
// dstHeight, which must be the turned size.
int gRotateRGB16(const WORD* src, WORD* dst, int srcWidth, int srcHeight, int r1, int r2, int r3, int r4, int r5,
                 int r6, int dstWidth, int dstHeight, int rotation);

// Turns a 4:2:0 frame into the destination record (of the turned size).
int gRotateFrame(const GFrameInfo* src, GFrameInfo* dst, int rotation);

// Scales the crop rectangle of a 4:2:0 frame to the destination's size.
int gScaleCroppedFrame(const GFrameInfo* src, int cropLeft, int cropTop, int cropWidth, int cropHeight,
                       GFrameInfo* dst);

// Scales the crop rectangle of 16-bit pixels to dstWidth x dstHeight.
int gScaleRGB565CroppedFrame(const WORD* src, int srcWidth, int srcHeight, int cropLeft, int cropTop,
                             int cropWidth, int cropHeight, WORD* dst, int dstWidth, int dstHeight);

// Mirrors 16-bit pixels (width x height) into dst by the mirror code.
int gMirrorImageRGB565(const WORD* src, WORD* dst, int width, int height, int mirror);
