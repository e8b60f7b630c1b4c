// CImageUtil: the picture operations of the camera, screen and dialog code.
// Bitmaps come back owned by the caller (null on failure). Frames follow
// docs/frame-layout.md: camera 4:2:0 frames are Y, Cr, Cb; 4:2:2 frames Y, Cb,
// Cr. Rotation codes are the image-processing library's (plat/fotrix.h).
#pragma once

#include "plat/windows.h"

// A 16-bit bitmap description with its three colour masks.
struct RGB565BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    DWORD bmiColors[3];
};

class CImageUtil {
public:
    // Zeroes the description and sets the RGB565 masks; the header is the
    // caller's to fill.
    static void InitRGB565BitmapInfo(RGB565BITMAPINFO* info);

    // A bottom-up BI_RGB section of the depth asked for; zeroed when asked.
    static HBITMAP CreateDIB(int width, int height, int bitsPerPixel, void** bits, BOOL zeroFill);
    static HBITMAP CreateRGB565DIBTopDown(int width, int height, void** bits);
    // A bottom-up RGB565 section; the source rows (width x 2 bytes, stored
    // order) are copied in when given.
    static HBITMAP CreateRGB565DIBFromBuffer(const void* pixels, int width, int height);

    // A quarter turn clockwise into a new bottom-up 16-bit section.
    static HBITMAP RotateBitmap90(HBITMAP bitmap);
    // Quarter-turn copy between two 16-bit DIB sections; 1 done, 0 when
    // either is no 16-bit section.
    static int CopyRotated90(HBITMAP dst, int unused1, int unused2, int width, int height, HBITMAP src);
    // A same-size RGB565 copy.
    static HBITMAP DuplicateBitmap(HBITMAP bitmap);
    // A turned 16-bit copy; the source bitmap is deleted (also on failure).
    static HBITMAP RotateBitmapRGB16(HBITMAP bitmap, int rotation);

    // Where a picture goes in an area: centred when smaller in both
    // directions, else fitted keeping its proportions and centred.
    static void CalcScaledRect(RECT* rect, int areaWidth, int areaHeight, int pictureWidth, int pictureHeight);

    // Camera 4:2:0 to RGB565 (dstWidth x dstHeight after the turn, rows
    // top-down, packed); 0, -1 for bad arguments, -2 without memory.
    static int ScaleYUV420ToRGB565(const BYTE* src, int srcWidth, int srcHeight, WORD* dst, int dstWidth,
                                   int dstHeight, int rotation);
    // A top-down RGB565 section of width x height.
    static HBITMAP HBITMAPfromYUV420(const BYTE* src, int srcWidth, int srcHeight, int width, int height,
                                     int rotation);
    // The centred region resampled to the output size, then converted.
    static HBITMAP HBITMAPfromYUV420ScaleZoomed(const BYTE* src, int srcWidth, int srcHeight, int regionWidth,
                                                int regionHeight, int outWidth, int outHeight, int rotation);

    // Planar 4:2:2 to RGB565, rows bottom-up (a bottom-up section's order).
    static int YUV422ToBGR565(const BYTE* src, int width, int height, WORD* dst, int rotation);
    static HBITMAP HBITMAPfromYUV422(const BYTE* src, int width, int height, int rotation);
    // Planar 4:2:2 to the 24-bit section's bytes (R, G, B, rows bottom-up).
    static int YUV422ToRGB888(const BYTE* src, int width, int height, BYTE* dst, DWORD flag);
    static HBITMAP HBITMAPfromYUV422RGB888(const BYTE* src, int width, int height, DWORD flag);

    // Turns RGB565 pixels, or a 4:2:0 frame with the YUV flag, into dst.
    static int RotateFrame(const BYTE* src, BYTE* dst, int width, int height, int rotation, BOOL yuv);

    // The JPEG savers. Results are 0 on success or negative: an encoder
    // code, E_FAIL or E_OUTOFMEMORY. Files are written under a temporary
    // name and moved into place once complete.
    // Input mode 0: a camera 4:2:0 frame; 1: RGB565 pixels.
    static HRESULT SaveJpegFromBuffer(LPCWSTR path, const BYTE* pixels, int width, int height, int mode);
    // Into memory: the bytes written, 0 on failure or past the capacity.
    static DWORD SaveJpegFromBuffer(BYTE* out, DWORD capacity, const BYTE* pixels, int width, int height,
                                    int mode);
    // A 320 x 240 camera frame with the overlay drawn over it (magenta is
    // transparent); the save's result.
    static HRESULT SaveJpegWithFrame(LPCWSTR path, const BYTE* frame, HBITMAP overlay);
    // The still buffer: the camera's JPEG stream, then the 320 x 240 4:2:2
    // frame of kStillFrameBytes that becomes the thumbnail. The flag is not used.
    static HRESULT SaveJpegWithThumbnail(LPCWSTR path, const BYTE* still, DWORD length, int flag = 0);

    static constexpr DWORD kStillFrameBytes = 320 * 240 * 2;
    static constexpr DWORD kMaxStillStream = 1280 * 960 * 3 / 2;
};
