// Helpers shared by the imaging classes' own units.
#pragma once

#include "debug_print.h"

// The failure line: the place (line, function, unit), then the message.
inline void LogFailure(int line, LPCWSTR function, LPCWSTR message, LPCWSTR unit = L"ImageControl")
{
    DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, unit);
    DebugPrint(L"%ls", message);
}

// The width and height a JPEG stream declares; false when it is no stream
// the decoder reads.
bool ReadJpegSize(const BYTE* data, DWORD size, int* width, int* height);
