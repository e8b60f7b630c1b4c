// The five multimedia timers and their owners: each tick goes to the owner
// object's OnMmTimerHandler on the timer thread, or as WM_MMTIMER to the
// owner window.
#pragma once

#include "app_messages.h"
#include "plat/windows.h"

class MMTimerSink {
public:
    virtual void OnMmTimerHandler(UINT message, UINT timerId, DWORD user, BOOL* handled) = 0;

protected:
    ~MMTimerSink() = default;
};

struct MMTimerEntry {
    UINT eventId = 0;  // 0: free
    MMTimerSink* owner = nullptr;
    HWND window = nullptr;
    UINT timerId = 0;
    DWORD user = 0;
};

// The table; kept apart from the timers' owners so that several threads
// may set and kill timers.
class MMTimerTable {
public:
    static constexpr int kEntries = 5;

    // The new event id, or 0 (no owner, zero period, no free entry, no timer).
    static UINT SetMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId, UINT period, DWORD user,
                             UINT resolution);
    // 1 when every kill succeeded or nothing matched.
    static BOOL KillMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId);
    // A copy of one entry, for inspection.
    static MMTimerEntry Entry(int index);
};

UINT SetMMTimer(MMTimerSink* owner, UINT timerId, UINT period, DWORD user, UINT resolution);
UINT SetMMTimerWnd(HWND window, UINT timerId, UINT period, DWORD user, UINT resolution);
UINT SetMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId, UINT period, DWORD user, UINT resolution);
BOOL KillMMTimer(MMTimerSink* owner, UINT timerId);
BOOL KillMMTimerWnd(HWND window, UINT timerId);
BOOL KillMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId);
