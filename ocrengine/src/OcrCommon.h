// Small services every part of the engine library uses: the debug log (the
// platform's debug output) and whole-file loading from the engine data folder.
#pragma once

#include <cstdint>
#include <memory>

#include "plat/types.h"

namespace lumocr {

void LogLine(const char* text);
void LogFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Paths are 8-bit; one beginning with a backslash is a device path.
long QueryFileLength(const char* path);  // -1 when the file cannot be opened
// The whole file, or nothing when it cannot be opened, is empty or is not read whole.
std::unique_ptr<BYTE[]> LoadWholeFile(const char* path);

// The library's entry point: logs the reason's name.
BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID reserved);
const char* DllReasonName(DWORD reason);

}  // namespace lumocr
