#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"

extern char** environ;

namespace {

using RealClock = std::chrono::steady_clock;

void Settle() { std::this_thread::sleep_for(std::chrono::milliseconds(20)); }

// Closes a handle at scope end.
struct Handle {
    HANDLE h;
    explicit Handle(HANDLE handle) : h(handle) {}
    ~Handle()
    {
        if (h)
            CloseHandle(h);
    }
    operator HANDLE() const { return h; }
};

class VirtualTime : public ::testing::Test {
protected:
    void SetUp() override { plat::UseVirtualClock(); }
    void TearDown() override { plat::UseRealClock(); }
};

}  // namespace

TEST(Events, ResetRules)
{
    struct Case {
        BOOL manual;
        DWORD afterFirstWait;  // a second wait right after a successful one
    } cases[] = {{FALSE, WAIT_TIMEOUT}, {TRUE, WAIT_OBJECT_0}};
    for (const auto& c : cases) {
        Handle event(CreateEventW(nullptr, c.manual, FALSE, nullptr));
        ASSERT_TRUE(event.h);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
        ASSERT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << c.manual;
        EXPECT_EQ(WaitForSingleObject(event, 0), c.afterFirstWait) << c.manual;
        ASSERT_TRUE(ResetEvent(event));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << c.manual;
    }
    Handle initiallySet(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    EXPECT_EQ(WaitForSingleObject(initiallySet, 0), WAIT_OBJECT_0);
}

TEST(Events, AutoResetReleasesOneWaiterPerSignalManualReleasesAll)
{
    auto waitFor = [](const std::atomic<int>& value, int wanted) {
        for (int i = 0; i < 5000 && value < wanted; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return value.load();
    };
    for (BOOL manual : {FALSE, TRUE}) {
        Handle event(CreateEventW(nullptr, manual, FALSE, nullptr));
        std::atomic<int> through{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 3; ++i) {
            waiters.emplace_back([&] {
                if (WaitForSingleObject(event, 10000) == WAIT_OBJECT_0)
                    ++through;
            });
        }
        Settle();
        SetEvent(event);
        if (manual) {
            EXPECT_EQ(waitFor(through, 3), 3);
        } else {
            for (int released = 1; released <= 3; ++released) {
                EXPECT_EQ(waitFor(through, released), released);
                Settle();
                EXPECT_EQ(through, released) << "one signal, one waiter";
                SetEvent(event);
            }
        }
        for (auto& t : waiters)
            t.join();
    }
}

TEST(Events, BadHandlesFail)
{
    EXPECT_FALSE(SetEvent(nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    Handle mutex(CreateMutexW(nullptr, FALSE, nullptr));
    EXPECT_FALSE(SetEvent(mutex));  // a mutex is not an event
    EXPECT_EQ(WaitForSingleObject(reinterpret_cast<HANDLE>(0x7777), 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HANDLE closed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    ASSERT_TRUE(CloseHandle(closed));
    EXPECT_EQ(WaitForSingleObject(closed, 0), WAIT_FAILED);
}

TEST(WaitForMultiple, AnyReturnsTheLowestSignalledIndexAndTakesOnlyThatOne)
{
    Handle a(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle b(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle c(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    HANDLE all[] = {a, b, c};
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);
    SetEvent(c);
    SetEvent(b);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(WaitForMultipleObjects(3, all, FALSE, 0), WAIT_TIMEOUT);
}

TEST(WaitForMultiple, AllTakesEverythingAtOnceOrNothing)
{
    Handle a(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle b(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    HANDLE both[] = {a, b};
    SetEvent(a);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_OBJECT_0) << "a failed wait for all must leave a signalled";
    SetEvent(a);
    auto waiter = std::async(std::launch::async, [&] { return WaitForMultipleObjects(2, both, TRUE, 10000); });
    Settle();
    SetEvent(b);
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_TIMEOUT);
}

TEST(WaitForMultiple, RejectsBadArguments)
{
    Handle a(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    HANDLE twice[] = {a, a};
    EXPECT_EQ(WaitForMultipleObjects(2, twice, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WaitForMultipleObjects(2, twice, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(0, twice, FALSE, 0), WAIT_FAILED);
    std::vector<HANDLE> tooMany(MAXIMUM_WAIT_OBJECTS + 1, a.h);
    EXPECT_EQ(WaitForMultipleObjects(static_cast<DWORD>(tooMany.size()), tooMany.data(), FALSE, 0), WAIT_FAILED);
}

TEST_F(VirtualTime, WaitTimesOutOnTheVirtualClockWithoutRealSleeping)
{
    Handle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    Handle other(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    HANDLE pair[] = {event, other};
    // Each wait is on the clock before the clock moves: a thread that started late would count from later.
    auto startedWaiting = [](std::uint64_t deadline) {
        auto giveUp = RealClock::now() + std::chrono::seconds(60);
        while (plat::NextVirtualDeadline() != deadline && RealClock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return plat::NextVirtualDeadline() == deadline;
    };
    const std::uint64_t start = plat::NowMs();
    auto single = std::async(std::launch::async, [&] { return WaitForSingleObject(event, 3000); });
    EXPECT_TRUE(startedWaiting(start + 3000));
    auto multiple = std::async(std::launch::async, [&] { return WaitForMultipleObjects(2, pair, TRUE, 2000); });
    EXPECT_TRUE(startedWaiting(start + 2000));
    auto realStart = RealClock::now();
    plat::AdvanceClock(1999);
    Settle();
    EXPECT_EQ(single.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    EXPECT_EQ(multiple.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    plat::AdvanceClock(1);
    EXPECT_EQ(multiple.get(), WAIT_TIMEOUT);
    EXPECT_EQ(single.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
    plat::AdvanceClock(1000);
    EXPECT_EQ(single.get(), WAIT_TIMEOUT);
    EXPECT_LT(RealClock::now() - realStart, std::chrono::seconds(2));
}

TEST(Mutexes, OwnershipIsRecursiveAndExclusive)
{
    Handle mutex(CreateMutexW(nullptr, TRUE, nullptr));
    ASSERT_TRUE(mutex.h);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);  // again, by the owner
    auto other = [&] { return std::async(std::launch::async, [&] { return WaitForSingleObject(mutex, 0); }).get(); };
    EXPECT_EQ(other(), WAIT_TIMEOUT);
    auto notOwner = std::async(std::launch::async, [&] {
        BOOL ok = ReleaseMutex(mutex);
        return std::make_pair(ok, GetLastError());
    }).get();
    EXPECT_FALSE(notOwner.first);
    EXPECT_EQ(notOwner.second, ERROR_NOT_OWNER);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(other(), WAIT_TIMEOUT) << "entered twice, released once";
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    auto waiter = std::async(std::launch::async, [&] {
        DWORD r = WaitForSingleObject(mutex, 10000);
        ReleaseMutex(mutex);
        return r;
    });
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0);
}

TEST(Mutexes, WaitingThreadGetsTheMutexWhenTheOwnerReleasesIt)
{
    Handle mutex(CreateMutexW(nullptr, TRUE, nullptr));
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        if (WaitForSingleObject(mutex, INFINITE) == WAIT_OBJECT_0) {
            got = true;
            ReleaseMutex(mutex);
        }
    });
    Settle();
    EXPECT_FALSE(got);
    ReleaseMutex(mutex);
    waiter.join();
    EXPECT_TRUE(got);
}

TEST(NamedObjects, SecondCreateOpensTheSameObjectAndSaysSo)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    SetLastError(12345);
    Handle first(CreateEventW(nullptr, TRUE, FALSE, L"EVT_CLEAN_THREAD"));
    ASSERT_TRUE(first.h);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    Handle second(CreateEventW(nullptr, FALSE, TRUE, L"EVT_CLEAN_THREAD"));
    ASSERT_TRUE(second.h);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_NE(first.h, second.h);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT) << "the existing event keeps its state";
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0) << "and its manual reset";

    Handle sameNameMutex(CreateMutexW(nullptr, FALSE, L"EVT_CLEAN_THREAD"));
    EXPECT_EQ(sameNameMutex.h, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    Handle otherCase(CreateEventW(nullptr, TRUE, FALSE, L"evt_clean_thread"));
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << "names are case-sensitive";
}

TEST(NamedObjects, NameIsFreeAgainWhenTheLastHandleCloses)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    for (int round = 0; round < 3; ++round) {
        HANDLE a = CreateMutexW(nullptr, TRUE, L":::RotationWorking:::");
        ASSERT_TRUE(a);
        EXPECT_EQ(GetLastError(), ERROR_SUCCESS) << round;
        HANDLE b = CreateMutexW(nullptr, TRUE, L":::RotationWorking:::");
        EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
        CloseHandle(b);
        CloseHandle(a);
    }
}

namespace {

// A second process: lum_mutex_probe, built beside the tests.
class Probe {
public:
    Probe(const std::filesystem::path& root, const std::string& name, const char* mode)
    {
        int in[2], out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, in[1]);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        std::string exe = std::string(LUM_BINARY_DIR) + "/bin/lum_mutex_probe";
        std::string rootArg = root.string();
        std::string modeArg = mode;
        std::string nameArg = name;
        char* argv[] = {exe.data(), rootArg.data(), nameArg.data(), modeArg.data(), nullptr};
        if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~Probe()
    {
        if (input_ >= 0)
            close(input_);
        close(output_);
        Wait();
    }

    bool started() const { return pid_ > 0; }

    std::string ReadLine()
    {
        std::string line;
        char c;
        while (read(output_, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    void CloseInput()
    {
        close(input_);
        input_ = -1;
    }
    void Kill() { kill(pid_, SIGKILL); }
    int Wait()
    {
        if (pid_ <= 0)
            return -1;
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

std::string ProbeOnce(const std::filesystem::path& root, const std::string& name)
{
    Probe probe(root, name, "probe");
    EXPECT_TRUE(probe.started());
    return probe.ReadLine();
}

}  // namespace

TEST(NamedMutexAcrossProcesses, SecondProcessSeesItExistsAndCannotTakeIt)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    EXPECT_EQ(ProbeOnce(root.path(), "OCR"), "exists=0 owned=1");

    HANDLE ocr = CreateMutexW(nullptr, TRUE, L"OCR");
    ASSERT_TRUE(ocr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(ProbeOnce(root.path(), "OCR"), "exists=1 owned=0");
    EXPECT_EQ(ProbeOnce(root.path(), "ocr"), "exists=0 owned=1");

    ReleaseMutex(ocr);
    EXPECT_EQ(ProbeOnce(root.path(), "OCR"), "exists=1 owned=1") << "open here, but owned by nobody";
    CloseHandle(ocr);
    EXPECT_EQ(ProbeOnce(root.path(), "OCR"), "exists=0 owned=1");

    lumtest::TempDir otherRoot;
    HANDLE again = CreateMutexW(nullptr, TRUE, L"OCR");
    EXPECT_EQ(ProbeOnce(otherRoot.path(), "OCR"), "exists=0 owned=1") << "another device root is another handset";
    CloseHandle(again);
}

TEST(NamedMutexAcrossProcesses, OwnerInAnotherProcessBlocksUntilItDies)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    Probe holder(root.path(), ":::LockMotionSensor:::", "hold");
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.ReadLine(), "held exists=0");

    Handle mutex(CreateMutexW(nullptr, TRUE, L":::LockMotionSensor:::"));
    ASSERT_TRUE(mutex.h);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT) << "created owned, but the other process owns it";
    EXPECT_EQ(WaitForSingleObject(mutex, 50), WAIT_TIMEOUT);

    auto waiter = std::async(std::launch::async, [&] { return WaitForSingleObject(mutex, 10000); });
    holder.Kill();  // the kernel drops a dead process's locks
    holder.Wait();
    EXPECT_EQ(waiter.get(), WAIT_OBJECT_0);
}

TEST(Threads, RunJoinAndExitCode)
{
    struct Work {
        std::atomic<int> ran{0};
    } work;
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 65535,
        [](LPVOID p) -> DWORD {
            ++static_cast<Work*>(p)->ran;
            return 42 + (GetCurrentThreadId() != 0 ? 0 : 1);
        },
        &work, 0, &id);
    ASSERT_TRUE(thread);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(SetThreadPriority(thread, 3));
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "an ended thread stays signalled";
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    EXPECT_EQ(work.ran, 1);
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(SetThreadPriority(thread, 3));
}

TEST(Threads, SuspendedThreadRunsOnlyWhenResumedAndReportsItsId)
{
    struct Shared {
        HANDLE go;
        std::atomic<DWORD> seenId{0};
    } shared{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* s = static_cast<Shared*>(p);
            s->seenId = GetCurrentThreadId();
            return WaitForSingleObject(s->go, INFINITE) == WAIT_OBJECT_0 ? 7 : 8;
        },
        &shared, CREATE_SUSPENDED, &id);
    ASSERT_TRUE(thread);
    Settle();
    EXPECT_EQ(shared.seenId, 0u);
    DWORD code = 0;
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(ResumeThread(thread), 1u);
    EXPECT_EQ(ResumeThread(thread), 0u);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    EXPECT_EQ(shared.seenId, id);
    SetEvent(shared.go);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    GetExitCodeThread(thread, &code);
    EXPECT_EQ(code, 7u);
    CloseHandle(thread);
    CloseHandle(shared.go);
}

TEST(Threads, HandleClosedWhileTheThreadRunsLetsItFinish)
{
    static std::atomic<bool> finished;
    finished = false;
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            WaitForSingleObject(p, INFINITE);
            finished = true;
            return 0;
        },
        go, 0, nullptr);
    ASSERT_TRUE(CloseHandle(thread));
    SetEvent(go);
    for (int i = 0; i < 5000 && !finished; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(finished);
    CloseHandle(go);
}

TEST(CriticalSections, RecursiveAndExclusive)
{
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    std::atomic<bool> inside{false};
    std::thread other([&] {
        EnterCriticalSection(&section);
        inside = true;
        LeaveCriticalSection(&section);
    });
    LeaveCriticalSection(&section);
    Settle();
    EXPECT_FALSE(inside) << "left once of twice";
    LeaveCriticalSection(&section);
    other.join();
    EXPECT_TRUE(inside);
    DeleteCriticalSection(&section);
}

TEST(Interlocked, CountsFromManyThreads)
{
    LONG volatile count = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                InterlockedIncrement(&count);
                InterlockedIncrement(&count);
                InterlockedDecrement(&count);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(count, 40000);
    EXPECT_EQ(InterlockedExchange(&count, 0), 40000);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(InterlockedDecrement(&count), -1);
}
