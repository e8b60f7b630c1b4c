// The notification LEDs, configured per device root:
//
//     HKEY_LOCAL_MACHINE\Platform\LED
//         "Count" = dword number of LEDs (default 10)
//
// NLedSetDevice keeps the last settings of each LED and logs them.
#pragma once

#include <optional>

#include "plat/types.h"

inline constexpr UINT NLED_SETTINGS_INFO_ID = 2;

struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;  // 0 off, 1 on, 2 blink
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
};

// NLED_SETTINGS_INFO_ID only. FALSE with ERROR_INVALID_PARAMETER for another
// id, no record, a LED that is not there, a mode other than 0 to 2 or
// negative times; the LED then keeps what it had.
BOOL NLedSetDevice(UINT deviceId, void* input);

namespace plat {
// The last settings a LED was given, for tests.
std::optional<NLED_SETTINGS_INFO> LedSettings(UINT led);
// How many times NLedSetDevice accepted settings, and forgetting them all.
int LedSettingsCount();
void ResetLeds();
}  // namespace plat
