// Multimedia timers: callbacks on one timer thread of the platform, timed by
// the platform clock (virtual in tests).
#pragma once

#include "plat/types.h"

using MMRESULT = UINT;
using LPTIMECALLBACK = void (*)(UINT timerId, UINT message, DWORD_PTR user, DWORD_PTR reserved1,
                                DWORD_PTR reserved2);

inline constexpr UINT TIME_ONESHOT = 0x0000;
inline constexpr UINT TIME_PERIODIC = 0x0001;
inline constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
inline constexpr MMRESULT TIMERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

// The timer's id (never 0), or 0 for a zero delay or no callback. The first
// tick comes delay ms from now; a periodic timer keeps its pace.
MMRESULT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT event);
// Once it returns, the timer's callback neither runs nor will run, unless
// called from inside that callback, which then finishes as usual.
MMRESULT timeKillEvent(UINT timerId);
