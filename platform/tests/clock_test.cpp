#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "plat/clock.h"
#include "plat/error.h"
#include "plat/frame_support.h"

namespace {

using RealClock = std::chrono::steady_clock;

class VirtualClock : public ::testing::Test {
protected:
    void SetUp() override { plat::UseVirtualClock(1000); }
    void TearDown() override { plat::UseRealClock(); }
};

// Gives another thread a moment to reach its wait; only used to show that it has NOT returned.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

}  // namespace

TEST_F(VirtualClock, MovesOnlyWhenAdvanced)
{
    EXPECT_TRUE(plat::ClockIsVirtual());
    EXPECT_EQ(plat::NowMs(), 1000u);
    Settle();
    EXPECT_EQ(GetTickCount(), 1000u);
    plat::AdvanceClock(2500);
    EXPECT_EQ(plat::NowMs(), 3500u);
}

TEST_F(VirtualClock, TickCountWrapsLikeADword)
{
    plat::UseVirtualClock(0xFFFFFF00ull);
    plat::AdvanceClock(0x200);
    EXPECT_EQ(GetTickCount(), 0x100u);
    EXPECT_EQ(plat::NowMs(), 0x100000100ull);
}

TEST_F(VirtualClock, TimedWaitReturnsWhenTheClockPassesItsDeadlineWithoutRealSleeping)
{
    std::mutex mutex;
    std::condition_variable cv;
    const std::uint64_t deadline = plat::NowMs() + 3000;
    auto realStart = RealClock::now();
    auto waiter = std::async(std::launch::async, [&] {
        std::unique_lock lock(mutex);
        return plat::WaitUntil(lock, cv, deadline, [] { return false; });
    });
    plat::AdvanceClock(2999);
    Settle();
    EXPECT_EQ(waiter.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    plat::AdvanceClock(1);
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(waiter.get());
    EXPECT_LT(RealClock::now() - realStart, std::chrono::seconds(2));
}

TEST_F(VirtualClock, TimedWaitSeesTheConditionBeforeItsDeadline)
{
    std::mutex mutex;
    std::condition_variable cv;
    bool ready = false;
    auto waiter = std::async(std::launch::async, [&] {
        std::unique_lock lock(mutex);
        return plat::WaitUntil(lock, cv, plat::NowMs() + 5000, [&] { return ready; });
    });
    Settle();
    {
        std::lock_guard lock(mutex);
        ready = true;
    }
    cv.notify_all();
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_TRUE(waiter.get());
    EXPECT_EQ(plat::NowMs(), 1000u);
}

TEST_F(VirtualClock, DeadlineAlreadyPassedReturnsAtOnce)
{
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    EXPECT_FALSE(plat::WaitUntil(lock, cv, 999, [] { return false; }));
    EXPECT_TRUE(plat::WaitUntil(lock, cv, 0, [] { return true; }));
    EXPECT_TRUE(lock.owns_lock());
}

TEST_F(VirtualClock, SleepEndsWhenTimeIsAdvanced)
{
    auto realStart = RealClock::now();
    std::atomic<bool> woke{false};
    std::thread sleeper([&] {
        Sleep(2000);
        woke = true;
    });
    // Whatever the order of Sleep and the first advance, the sleeper must end
    // once the clock has moved 2000 ms past the moment it started sleeping.
    for (int i = 0; i < 200 && !woke; ++i) {
        plat::AdvanceClock(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    sleeper.join();
    EXPECT_TRUE(woke);
    EXPECT_LT(RealClock::now() - realStart, std::chrono::seconds(2));
}

TEST_F(VirtualClock, ManyWaitersWakeInDeadlineOrder)
{
    std::mutex mutex;
    std::condition_variable cv;
    const std::uint64_t start = plat::NowMs();
    std::atomic<int> woken{0};
    std::vector<std::thread> threads;
    for (int i = 1; i <= 4; ++i) {
        threads.emplace_back([&, i] {
            std::unique_lock lock(mutex);
            plat::WaitUntil(lock, cv, start + 100u * i, [] { return false; });
            ++woken;
        });
    }
    for (int i = 1; i <= 4; ++i) {
        plat::AdvanceClock(100);
        for (int spin = 0; spin < 5000 && woken < i; ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(woken, i);
    }
    for (auto& t : threads)
        t.join();
}

TEST_F(VirtualClock, WallClockFollowsTheVirtualClock)
{
    plat::SetVirtualWallClock(1765324799500);  // 2025-12-09 23:59:59.500 UTC
    SYSTEMTIME t{};
    GetSystemTime(&t);
    EXPECT_EQ(t.wYear, 2025);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 9);
    EXPECT_EQ(t.wDayOfWeek, 2);  // Tuesday
    EXPECT_EQ(t.wHour, 23);
    EXPECT_EQ(t.wMinute, 59);
    EXPECT_EQ(t.wSecond, 59);
    EXPECT_EQ(t.wMilliseconds, 500);
    plat::AdvanceClock(600);
    GetSystemTime(&t);
    EXPECT_EQ(t.wDay, 10);
    EXPECT_EQ(t.wHour, 0);
    EXPECT_EQ(t.wSecond, 0);
    EXPECT_EQ(t.wMilliseconds, 100);
}

TEST(RealClock, TimedWaitTakesRealTime)
{
    ASSERT_FALSE(plat::ClockIsVirtual());
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    auto realStart = RealClock::now();
    const std::uint64_t start = plat::NowMs();
    EXPECT_FALSE(plat::WaitUntil(lock, cv, start + 30, [] { return false; }));
    EXPECT_GE(plat::NowMs(), start + 30);
    EXPECT_GE(RealClock::now() - realStart, std::chrono::milliseconds(29));
    SYSTEMTIME local{};
    GetLocalTime(&local);
    EXPECT_GE(local.wYear, 2024);
}

namespace {

// Reference values from the proleptic Gregorian calendar (Python's datetime
// gives the same): 100 ns units since 1601-01-01.
TEST(FileTimes, TurnIntoCalendarPartsOrAreRefused)
{
    struct Case {
        unsigned long long value;
        BOOL ok;
        WORD year, month, day, weekday, hour, minute, second, ms;
    } cases[] = {
        {0, TRUE, 1601, 1, 1, 1, 0, 0, 0, 0},
        {116444736000000000ull, TRUE, 1970, 1, 1, 4, 0, 0, 0, 0},
        // 2026-12-11 10:05:07.250 UTC, a Friday.
        {116444736000000000ull + 1796983507ull * 10000000ull + 2500000ull, TRUE, 2026, 12, 11, 5, 10, 5, 7, 250},
        {0x7FFFFFFFFFFFFFFFull, TRUE, 30828, 9, 14, 4, 2, 48, 5, 477},
        {0x8000000000000000ull, FALSE, 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const FILETIME ft{static_cast<DWORD>(c.value), static_cast<DWORD>(c.value >> 32)};
        SYSTEMTIME st{};
        ASSERT_EQ(FileTimeToSystemTime(&ft, &st), c.ok) << c.value;
        if (!c.ok)
            continue;
        EXPECT_EQ(st.wYear, c.year) << c.value;
        EXPECT_EQ(st.wMonth, c.month) << c.value;
        EXPECT_EQ(st.wDay, c.day) << c.value;
        EXPECT_EQ(st.wDayOfWeek, c.weekday) << c.value;
        EXPECT_EQ(st.wHour, c.hour) << c.value;
        EXPECT_EQ(st.wMinute, c.minute) << c.value;
        EXPECT_EQ(st.wSecond, c.second) << c.value;
        EXPECT_EQ(st.wMilliseconds, c.ms) << c.value;
    }
    SYSTEMTIME st{};
    EXPECT_FALSE(FileTimeToSystemTime(nullptr, &st));
}

TEST(DateFormat, PicturesWithEnglishNamesAndTheBufferRule)
{
    const SYSTEMTIME friday{2026, 12, 5, 11, 10, 5, 7, 0};
    const SYSTEMTIME march{2007, 3, 4, 1, 0, 0, 0, 0};
    struct Case {
        const SYSTEMTIME* date;
        const wchar_t* picture;
        const wchar_t* text;
    } cases[] = {
        {&friday, L"dd MMM',' yyyy", L"11 Dec, 2026"},
        {&march, L"dd MMM',' yyyy", L"01 Mar, 2007"},
        {&march, L"d/M/yy", L"1/3/07"},
        {&march, L"dddd, MMMM dd", L"Thursday, March 01"},
        {&friday, L"ddd MM", L"Fri 12"},
    };
    for (const Case& c : cases) {
        WCHAR out[40] = {};
        const int n = GetDateFormatW(LOCALE_USER_DEFAULT, 0, c.date, c.picture, out, 40);
        EXPECT_STREQ(out, c.text) << c.picture;
        EXPECT_EQ(n, static_cast<int>(wcslen(c.text)) + 1) << c.picture;
        EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, c.date, c.picture, nullptr, 0), n) << c.picture;
    }
    WCHAR small[12];
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &friday, L"dd MMM',' yyyy", small, 12), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    const SYSTEMTIME bad{2026, 13, 0, 1, 0, 0, 0, 0};
    EXPECT_EQ(GetDateFormatW(LOCALE_USER_DEFAULT, 0, &bad, L"dd", small, 12), 0);
}

}  // namespace
