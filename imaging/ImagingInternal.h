// Helpers shared by the imaging classes' own units.
#pragma once

#include "debug_print.h"
#include "pixels/VideoFrame.h"

// The failure line: the place (line, function, unit), then the message.
inline void LogFailure(int line, LPCWSTR function, LPCWSTR message, LPCWSTR unit = L"ImageControl")
{
    DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, unit);
    DebugPrint(L"%ls", message);
}

// The width and height a JPEG stream declares; false when it is no stream
// the decoder reads.
bool ReadJpegSize(const BYTE* data, DWORD size, int* width, int* height);

// A frame freed when the guard goes, unless handed on (held = false).
struct FrameGuard {
    VideoFrame frame{};
    bool held = false;
    ~FrameGuard()
    {
        if (held)
            FreeVideoFrame(&frame);
    }
};

// The first frame of a video file (AVI, else the ISO family) as a camera
// 4:2:0 frame of the stream's size; extra: the stream's length in ms.
HRESULT DecodeVideoFirstFrame(LPCWSTR path, bool avi, VideoFrame* frame, int* width, int* height, DWORD* extra);
