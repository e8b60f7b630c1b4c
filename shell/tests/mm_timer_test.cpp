#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "mm_timer.h"
#include "plat/mmtimer.h"
#include "shell_fixture.h"

namespace {

// Waits in real time for something the timer thread does.
bool Eventually(const std::function<bool()>& pred)
{
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Lets the timer thread look at the clock; a tick that should not come
// would come within this.
void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

class Sink : public MMTimerSink {
public:
    std::atomic<int> ticks{0};
    std::atomic<UINT> lastMessage{0}, lastTimer{0};
    std::atomic<DWORD> lastUser{0};
    std::atomic<bool> onOtherThread{false};
    std::function<void(int)> onTick;
    std::thread::id testThread = std::this_thread::get_id();

    void OnMmTimerHandler(UINT message, UINT timerId, DWORD user, BOOL* handled) override
    {
        lastMessage = message;
        lastTimer = timerId;
        lastUser = user;
        onOtherThread = std::this_thread::get_id() != testThread && handled && *handled == TRUE;
        int n = ++ticks;
        if (onTick)
            onTick(n);
    }
};

class MMTimer : public ShellFixture {
protected:
    void TearDown() override
    {
        for (int i = 0; i < MMTimerTable::kEntries; ++i)
            EXPECT_EQ(MMTimerTable::Entry(i).eventId, 0u) << "entry " << i << " left running";
        ShellFixture::TearDown();
    }
};

std::atomic<int> oneShotTicks{0};
void CountTick(UINT, UINT, DWORD_PTR user, DWORD_PTR, DWORD_PTR) { oneShotTicks += static_cast<int>(user); }

TEST_F(MMTimer, PlatformOneShotFiresOnceOnItsClock)
{
    oneShotTicks = 0;
    UINT id = timeSetEvent(50, 1, CountTick, 1, TIME_ONESHOT);
    ASSERT_NE(id, 0u);
    plat::AdvanceClock(49);
    Settle();
    EXPECT_EQ(oneShotTicks, 0);
    plat::AdvanceClock(1);
    ASSERT_TRUE(Eventually([] { return oneShotTicks == 1; }));
    plat::AdvanceClock(500);
    Settle();
    EXPECT_EQ(oneShotTicks, 1);
    EXPECT_EQ(timeKillEvent(id), MMSYSERR_INVALPARAM);  // already over
    EXPECT_EQ(timeSetEvent(0, 1, CountTick, 1, TIME_ONESHOT), 0u);
    EXPECT_EQ(timeSetEvent(10, 1, nullptr, 1, TIME_ONESHOT), 0u);
}

TEST_F(MMTimer, PeriodicTicksReachTheOwnerOnTheTimerThread)
{
    Sink sink;
    UINT event = SetMMTimer(&sink, 1, 1000, 77, 10);
    ASSERT_NE(event, 0u);
    for (int tick = 1; tick <= 3; ++tick) {
        plat::AdvanceClock(1000);
        ASSERT_TRUE(Eventually([&] { return sink.ticks == tick; })) << "tick " << tick;
    }
    EXPECT_EQ(sink.lastMessage, WM_MMTIMER);
    EXPECT_EQ(sink.lastTimer, 1u);
    EXPECT_EQ(sink.lastUser, 77u);
    EXPECT_TRUE(sink.onOtherThread);
    EXPECT_TRUE(KillMMTimer(&sink, 1));
    plat::AdvanceClock(5000);
    Settle();
    EXPECT_EQ(sink.ticks, 3);
}

TEST_F(MMTimer, KillInsideTheCallbackEndsTheTicks)
{
    Sink sink;
    std::atomic<BOOL> killed{FALSE};
    sink.onTick = [&](int n) {
        if (n == 2)
            killed = KillMMTimer(&sink, 2);
    };
    ASSERT_NE(SetMMTimer(&sink, 2, 100, 0, 1), 0u);
    plat::AdvanceClock(100);
    ASSERT_TRUE(Eventually([&] { return sink.ticks == 1; }));
    plat::AdvanceClock(100);
    ASSERT_TRUE(Eventually([&] { return sink.ticks == 2; }));
    ASSERT_TRUE(Eventually([&] { return killed == TRUE; }));
    plat::AdvanceClock(1000);
    Settle();
    EXPECT_EQ(sink.ticks, 2);
}

TEST_F(MMTimer, KillWaitsForARunningTick)
{
    Sink sink;
    std::mutex mutex;
    std::condition_variable cv;
    bool entered = false, release = false;
    sink.onTick = [&](int) {
        std::unique_lock<std::mutex> lock(mutex);
        entered = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    };
    ASSERT_NE(SetMMTimer(&sink, 3, 100, 0, 1), 0u);
    plat::AdvanceClock(100);
    {
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(5), [&] { return entered; }));
    }
    std::atomic<bool> killReturned{false};
    std::thread killer([&] {
        KillMMTimer(&sink, 3);
        killReturned = true;
    });
    Settle();
    EXPECT_FALSE(killReturned);  // the tick still runs
    {
        std::lock_guard<std::mutex> lock(mutex);
        release = true;
    }
    cv.notify_all();
    killer.join();
    EXPECT_TRUE(killReturned);
    plat::AdvanceClock(1000);
    Settle();
    EXPECT_EQ(sink.ticks, 1);
}

TEST_F(MMTimer, TableHoldsFiveAndReplacesTheSameTimer)
{
    Sink sinks[6];
    for (int i = 0; i < 5; ++i)
        EXPECT_NE(SetMMTimer(&sinks[i], 1, 100, 0, 1), 0u);
    EXPECT_EQ(SetMMTimer(&sinks[5], 1, 100, 0, 1), 0u);  // a sixth is refused
    EXPECT_TRUE(KillMMTimer(&sinks[4], 1));

    // The same owner and id twice leave one running entry.
    UINT first = SetMMTimer(&sinks[0], 1, 200, 5, 1);
    UINT second = SetMMTimer(&sinks[0], 1, 200, 6, 1);
    EXPECT_NE(first, second);
    int running = 0;
    for (int i = 0; i < MMTimerTable::kEntries; ++i)
        running += MMTimerTable::Entry(i).owner == &sinks[0];
    EXPECT_EQ(running, 1);
    plat::AdvanceClock(200);
    ASSERT_TRUE(Eventually([&] { return sinks[0].ticks == 1; }));
    EXPECT_EQ(sinks[0].lastUser, 6u);

    EXPECT_EQ(SetMMTimer(nullptr, 1, 100, 0, 1), 0u);
    EXPECT_EQ(SetMMTimer(&sinks[5], 1, 0, 0, 1), 0u);
    EXPECT_EQ(SetMMTimerWnd(nullptr, 1, 100, 0, 1), 0u);
    EXPECT_TRUE(KillMMTimer(&sinks[5], 9));  // nothing matched
    EXPECT_TRUE(KillMMTimerWnd(nullptr, 1));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(KillMMTimer(&sinks[i], 1));
}

TEST_F(MMTimer, WindowOwnerGetsThePostedMessage)
{
    HWND window = CreatePlainWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(SetMMTimerWnd(window, 4, 100, 1234, 1), 0u);
    plat::AdvanceClock(100);
    MSG msg = {};
    ASSERT_TRUE(Eventually([&] { return PeekMessageW(&msg, window, WM_MMTIMER, WM_MMTIMER, PM_REMOVE) != 0; }));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(msg.lParam, 1234);
    EXPECT_TRUE(KillMMTimerWnd(window, 4));
    DestroyWindow(window);
}

}  // namespace
