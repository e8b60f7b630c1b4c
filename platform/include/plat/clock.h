// The platform clock: one time base for GetTickCount, Sleep, waits with
// time-outs, window timers and multimedia timers. Real (monotonic) in the
// program; virtual in tests, where time moves only when a test advances it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "plat/types.h"

DWORD GetTickCount();
void Sleep(DWORD milliseconds);
void GetLocalTime(LPSYSTEMTIME time);
void GetSystemTime(LPSYSTEMTIME time);
// UTC calendar parts of a file time (100 ns since 1601); FALSE for values
// above 0x7FFFFFFFFFFFFFFF, as on the handset.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);

namespace plat {

inline constexpr std::uint64_t kNoDeadline = UINT64_MAX;

// Milliseconds on the platform clock.
std::uint64_t NowMs();

bool ClockIsVirtual();
void UseVirtualClock(std::uint64_t startMs = 0);
void UseRealClock();
// Virtual clock only: moves time on and wakes every wait whose deadline passed.
// The caller must not hold a mutex that a waiter waits with.
void AdvanceClock(std::uint64_t milliseconds);
// Virtual clock only: the wall time (Unix ms) that GetLocalTime/GetSystemTime
// report now; it moves on with AdvanceClock. By default the real time at
// UseVirtualClock.
void SetVirtualWallClock(std::int64_t unixMs);
// Virtual clock only: the earliest deadline of the waits pending now, so that
// a test can move time exactly to a thread's next wake-up.
std::optional<std::uint64_t> NextVirtualDeadline();
// Virtual clock only: how many timed waits are pending (deadline not yet
// reached), so that a test can let each streaming thread finish its step
// and wait again before it moves time on.
std::size_t PendingVirtualWaits();

// Waits on cv (lock held) until pred() is true or the platform clock reaches
// deadlineMs. Returns pred(), as last evaluated with the lock held; a pred
// that changes state must answer true again once it has said true.
// Works on both clocks; callers notify cv as usual.
// Switch clocks only while nothing waits.
bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
               std::uint64_t deadlineMs, const std::function<bool()>& pred);

}  // namespace plat
