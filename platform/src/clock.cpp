#include "plat/clock.h"

#include "plat/error.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

// A wait on the virtual clock. AdvanceClock notifies it under the waiter's own
// mutex (so no wake-up is lost between the deadline check and the wait); `guard`
// and `alive` keep it from touching a wait that has already returned. A wait
// leaves without letting go of its mutex unless AdvanceClock is notifying it
// at that very moment; then it lets go, and evaluates pred once more.
struct VirtualWaiter {
    std::mutex* mutex;
    std::condition_variable* cv;
    std::uint64_t deadlineMs;
    std::mutex guard;
    bool alive = true;
};

struct ClockState {
    std::mutex lock;
    bool isVirtual = false;
    std::uint64_t virtualNowMs = 0;
    std::uint64_t virtualStartMs = 0;
    std::int64_t virtualWallStartMs = 0;  // Unix time (ms) at virtualStartMs
    std::vector<std::shared_ptr<VirtualWaiter>> waiters;
};

ClockState& State()
{
    static ClockState* const state = new ClockState;  // outlives threads still waiting at exit
    return *state;
}

std::uint64_t RealNowMs()
{
    // The monotonic clock counts from boot, like the handset's tick count.
    auto since = SteadyClock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::int64_t RealWallMs()
{
    auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

std::int64_t WallMs()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    if (!s.isVirtual)
        return RealWallMs();
    return s.virtualWallStartMs + static_cast<std::int64_t>(s.virtualNowMs - s.virtualStartMs);
}

void FromParts(const std::tm& parts, LPSYSTEMTIME out)
{
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
}

void FillSystemTime(LPSYSTEMTIME out, bool local)
{
    if (!out)
        return;
    std::int64_t ms = WallMs();
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm parts{};
    if (local)
        localtime_r(&seconds, &parts);
    else
        gmtime_r(&seconds, &parts);
    FromParts(parts, out);
    out->wSecond = static_cast<WORD>(std::min(parts.tm_sec, 59));  // no leap seconds on the handset
    out->wMilliseconds = static_cast<WORD>(ms % 1000);
}

std::uint64_t DeadlineAfter(DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return plat::kNoDeadline;
    return plat::NowMs() + milliseconds;
}

}  // namespace

DWORD GetTickCount() { return static_cast<DWORD>(plat::NowMs()); }

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (!plat::ClockIsVirtual()) {
        if (milliseconds == INFINITE) {
            for (;;)
                std::this_thread::sleep_for(std::chrono::hours(24));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
        return;
    }
    // Nobody notifies this one: only the clock ends the sleep.
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    plat::WaitUntil(lock, cv, DeadlineAfter(milliseconds), [] { return false; });
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME out)
{
    if (!fileTime || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::uint64_t t = (static_cast<std::uint64_t>(fileTime->dwHighDateTime) << 32) | fileTime->dwLowDateTime;
    if (t > 0x7FFFFFFFFFFFFFFFull) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    constexpr std::int64_t kUnixEpoch = 116444736000000000;  // 1970-01-01 in 100 ns since 1601
    const std::int64_t since1970 = static_cast<std::int64_t>(t) - kUnixEpoch;
    std::int64_t seconds = since1970 / 10000000, rest = since1970 % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    const std::time_t when = static_cast<std::time_t>(seconds);
    std::tm parts{};
    if (!gmtime_r(&when, &parts)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    FromParts(parts, out);
    out->wSecond = static_cast<WORD>(parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(rest / 10000);
    return TRUE;
}

void GetLocalTime(LPSYSTEMTIME time) { FillSystemTime(time, true); }
void GetSystemTime(LPSYSTEMTIME time) { FillSystemTime(time, false); }

namespace plat {

std::uint64_t NowMs()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    return s.isVirtual ? s.virtualNowMs : RealNowMs();
}

bool ClockIsVirtual()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    return s.isVirtual;
}

void UseVirtualClock(std::uint64_t startMs)
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    if (!s.isVirtual)
        s.virtualWallStartMs = RealWallMs();
    s.isVirtual = true;
    s.virtualNowMs = startMs;
    s.virtualStartMs = startMs;
}

void UseRealClock()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    s.isVirtual = false;
}

void SetVirtualWallClock(std::int64_t unixMs)
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    s.virtualWallStartMs = unixMs - static_cast<std::int64_t>(s.virtualNowMs - s.virtualStartMs);
}

std::optional<std::uint64_t> NextVirtualDeadline()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    std::optional<std::uint64_t> next;
    for (const auto& w : s.waiters)
        if (!next || w->deadlineMs < *next)
            next = w->deadlineMs;
    return next;
}

std::size_t PendingVirtualWaits()
{
    ClockState& s = State();
    std::lock_guard lock(s.lock);
    return static_cast<std::size_t>(std::count_if(s.waiters.begin(), s.waiters.end(),
                                                  [&](const auto& w) { return w->deadlineMs > s.virtualNowMs; }));
}

void AdvanceClock(std::uint64_t milliseconds)
{
    ClockState& s = State();
    std::vector<std::shared_ptr<VirtualWaiter>> due;
    {
        std::lock_guard lock(s.lock);
        if (!s.isVirtual)
            return;
        s.virtualNowMs += milliseconds;
        for (const auto& w : s.waiters) {
            if (w->deadlineMs <= s.virtualNowMs)
                due.push_back(w);
        }
    }
    // The clock lock is free here: a waiter registers while holding its own mutex.
    for (const auto& w : due) {
        std::lock_guard guard(w->guard);
        if (!w->alive)
            continue;
        std::lock_guard waiterLock(*w->mutex);
        w->cv->notify_all();
    }
}

bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
               std::uint64_t deadlineMs, const std::function<bool()>& pred)
{
    ClockState& s = State();
    std::shared_ptr<VirtualWaiter> waiter;
    bool satisfied = false;
    for (;;) {
        if ((satisfied = pred()))
            break;
        bool isVirtual;
        std::uint64_t now;
        {
            std::lock_guard clockLock(s.lock);
            isVirtual = s.isVirtual;
            now = isVirtual ? s.virtualNowMs : RealNowMs();
            if (isVirtual && deadlineMs != kNoDeadline && !waiter && now < deadlineMs) {
                waiter = std::make_shared<VirtualWaiter>();
                waiter->mutex = lock.mutex();
                waiter->cv = &cv;
                waiter->deadlineMs = deadlineMs;
                s.waiters.push_back(waiter);
            }
        }
        if (now >= deadlineMs)
            break;
        if (isVirtual || deadlineMs == kNoDeadline) {
            cv.wait(lock);
        } else {
            // In slices, so that a far deadline cannot overflow the clock's arithmetic.
            std::uint64_t left = std::min<std::uint64_t>(deadlineMs - now, 24u * 3600 * 1000);
            cv.wait_for(lock, std::chrono::milliseconds(left));
        }
    }
    if (!waiter)
        return satisfied;
    bool heldThroughout = waiter->guard.try_lock();
    if (!heldThroughout) {
        // AdvanceClock holds the guard and waits for our mutex: let it have it.
        lock.unlock();
        waiter->guard.lock();
    }
    waiter->alive = false;
    waiter->guard.unlock();
    {
        std::lock_guard clockLock(s.lock);
        std::erase(s.waiters, waiter);
    }
    if (heldThroughout)
        return satisfied;
    lock.lock();
    return pred();  // the mutex was let go: look again
}

}  // namespace plat
