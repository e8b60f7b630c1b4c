#include "mm_timer.h"

#include <mutex>

#include "plat/mmtimer.h"

namespace {

std::mutex tableLock;
MMTimerEntry table[MMTimerTable::kEntries];

void MMTimerProc(UINT eventId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR)
{
    MMTimerEntry entry;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        int i = 0;
        while (i < MMTimerTable::kEntries && table[i].eventId != eventId)
            ++i;
        if (i == MMTimerTable::kEntries)
            return;  // killed meanwhile
        entry = table[i];
    }
    // Outside the lock: the owner may set or kill timers from its handler.
    if (entry.owner) {
        BOOL handled = TRUE;
        entry.owner->OnMmTimerHandler(WM_MMTIMER, entry.timerId, entry.user, &handled);
    } else {
        PostMessageW(entry.window, WM_MMTIMER, entry.timerId, static_cast<LPARAM>(entry.user));
    }
}

bool Matches(const MMTimerEntry& entry, MMTimerSink* owner, HWND window, UINT timerId)
{
    if (entry.eventId == 0 || entry.timerId != timerId)
        return false;
    return owner ? entry.owner == owner : entry.window == window && !entry.owner;
}

}  // namespace

UINT MMTimerTable::SetMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId, UINT period, DWORD user,
                                UINT resolution)
{
    if ((!owner && !window) || period == 0)
        return 0;
    KillMMTimerEx(owner, window, timerId);
    std::lock_guard<std::mutex> lock(tableLock);
    for (MMTimerEntry& entry : table) {
        if (entry.eventId != 0)
            continue;
        // Filled under the lock before the timer starts, so the first tick finds it.
        entry = MMTimerEntry{0, owner, owner ? nullptr : window, timerId, user};
        entry.eventId = timeSetEvent(period, resolution, MMTimerProc, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION);
        if (entry.eventId == 0)
            entry = MMTimerEntry{};
        return entry.eventId;
    }
    return 0;
}

BOOL MMTimerTable::KillMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId)
{
    if (!owner && !window)
        return TRUE;
    UINT events[kEntries] = {};
    int count = 0;
    {
        std::lock_guard<std::mutex> lock(tableLock);
        for (MMTimerEntry& entry : table) {
            if (Matches(entry, owner, window, timerId)) {
                events[count++] = entry.eventId;
                entry = MMTimerEntry{};
            }
        }
    }
    // Outside the lock: a kill waits for a running tick, which reads the table.
    BOOL result = TRUE;
    for (int i = 0; i < count; ++i)
        result = timeKillEvent(events[i]) == TIMERR_NOERROR;
    return result;
}

MMTimerEntry MMTimerTable::Entry(int index)
{
    std::lock_guard<std::mutex> lock(tableLock);
    return index >= 0 && index < kEntries ? table[index] : MMTimerEntry{};
}

UINT SetMMTimer(MMTimerSink* owner, UINT timerId, UINT period, DWORD user, UINT resolution)
{
    return owner ? MMTimerTable::SetMMTimerEx(owner, nullptr, timerId, period, user, resolution) : 0;
}

UINT SetMMTimerWnd(HWND window, UINT timerId, UINT period, DWORD user, UINT resolution)
{
    return window ? MMTimerTable::SetMMTimerEx(nullptr, window, timerId, period, user, resolution) : 0;
}

UINT SetMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId, UINT period, DWORD user, UINT resolution)
{
    return MMTimerTable::SetMMTimerEx(owner, window, timerId, period, user, resolution);
}

BOOL KillMMTimer(MMTimerSink* owner, UINT timerId)
{
    return owner ? MMTimerTable::KillMMTimerEx(owner, nullptr, timerId) : TRUE;
}

BOOL KillMMTimerWnd(HWND window, UINT timerId)
{
    return window ? MMTimerTable::KillMMTimerEx(nullptr, window, timerId) : TRUE;
}

BOOL KillMMTimerEx(MMTimerSink* owner, HWND window, UINT timerId)
{
    return MMTimerTable::KillMMTimerEx(owner, window, timerId);
}
