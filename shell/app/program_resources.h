// The program's own resources: its string table and the main frame's
// accelerator table (empty: every key goes to the screens).
#pragma once

#include "plat/windows.h"

// The label of the popups' one button, from the language library.
inline constexpr UINT IDS_POPUP_OK = 266;

// Gives the platform the program's string and accelerator tables; once is
// enough, more calls change nothing.
void InstallProgramResources();
