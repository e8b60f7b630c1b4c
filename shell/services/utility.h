// Dealings with files for the shell: sizes and extensions.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// The last "." of the file name and what follows, or an empty string; a dot
// in a folder name is no extension.
LPCWSTR GetFileExtension(LPCWSTR path);

class CUtility : public CDrawEvent, public CSingleton<CUtility> {
public:
    using CSingleton<CUtility>::GetInstance;

    CUtility() = default;
    ~CUtility() override = default;

    // Bytes; 0 when the file cannot be opened or its size cannot be read.
    DWORD GetFileSize(LPCWSTR path) const;
};
