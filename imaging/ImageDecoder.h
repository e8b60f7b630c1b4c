// CImageDecoder: stored files into pictures the program shows or recognises.
// Embedded JPEG thumbnails go through the program's own decoder; pictures
// (BMP, PNG, GIF, JPEG) through the platform's picture decoder object, video
// files through the platform's video sources and decoders (their first
// frame). Pictures are shown as stored (no EXIF turn).
#pragma once

#include <cstdint>
#include <vector>

#include "pixels/VideoFrame.h"
#include "plat/windows.h"

// Where a picture goes in a target: every field an int32 in this order, then
// the scale. Fit modes 0 and 2 keep the picture upright; 1 and 3 fit it
// turned by a quarter.
struct FitRect {
    int32_t srcWidth, srcHeight;
    int32_t cropLeft, cropTop, cropWidth, cropHeight;
    int32_t targetLeft, targetTop, targetWidth, targetHeight;
    int32_t outLeft, outTop, outWidth, outHeight;
    int32_t fitMode;
    float scale;
};

void CalcFitRect(FitRect* fit);

// Turns a buffer of 16-bit pixels (width x 2 bytes a row) upside down in
// place; 1, or 0 without change when the one-row buffer cannot be had. The
// list is not read.
int FlipRows16bpp(const void* list, void* pixels, int width, int height);

// Registers the program's JPEG decoder with the platform's picture loaders;
// the program and each tool call it once at start-up.
void RegisterPictureDecoders();

// The layout DecodeFileToDIB asks for: whatever the decoder gives.
inline constexpr DWORD kFrameDecoderOwn = 131;

class CImageDecoder {
public:
    static CImageDecoder* GetInstance();

    // The embedded thumbnail as 320 x 240 grey bytes (other sizes scaled), in
    // a block the caller frees with free(); null on failure.
    BYTE* DecodeJpegThumbnailToGray(LPCWSTR path);
    // The embedded thumbnail as a bottom-up RGB565 section of its size.
    HBITMAP DecodeJpegThumbnailToDIB(LPCWSTR path);

    // A picture or a video's first frame fitted into the target size (no
    // enlargement unless keepSize). layout: asked in, given out (128 RGB565,
    // 2 4:2:0). width and height: the decoded size. The frame is filled only
    // on success; the caller frees it with FreeVideoFrame.
    HRESULT DecodeFile(LPCWSTR path, int targetWidth, int targetHeight, DWORD* layout, VideoFrame* frame,
                       int* width, int* height, DWORD* extra, BOOL keepSize);

    // The same as a bottom-up RGB565 section of the fitted size; null on failure.
    HBITMAP DecodeFileToDIB(HDC dc, LPCWSTR path, int targetWidth, int targetHeight, DWORD* extra = nullptr,
                            int* width = nullptr, int* height = nullptr, BOOL keepSize = FALSE);
    HBITMAP DecodeFileToDIB(LPCWSTR path, int targetWidth, int targetHeight, DWORD* extra = nullptr,
                            int* width = nullptr, int* height = nullptr, BOOL keepSize = FALSE);

    // The picture recognition reads: width x height grey bytes, the picture
    // fitted keeping its proportions and centred on white. False when the
    // file cannot be decoded.
    bool DecodeFileToGray(LPCWSTR path, int width, int height, std::vector<BYTE>* grey);

    // Grey of an RGB565 word, (306 R + 601 G + 117 B) >> 10 on the widened channels.
    static BYTE GreyOf(WORD rgb565);

private:
    CImageDecoder() = default;
};
