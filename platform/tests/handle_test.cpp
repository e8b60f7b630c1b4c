#include <gtest/gtest.h>

#include <atomic>

#include "plat/error.h"
#include "plat/handle.h"
#include "plat/sync.h"
#include "plat/thread.h"

namespace {

struct Counted : plat::KernelObject {
    explicit Counted(std::atomic<int>& closes) : closes(closes) {}
    void OnClose() override { ++closes; }
    std::atomic<int>& closes;
};

struct Other : plat::KernelObject {};

}  // namespace

TEST(HandleTable, CloseOnceThenStale)
{
    std::atomic<int> closes = 0;
    HANDLE a = plat::InsertHandle(std::make_shared<Counted>(closes));
    HANDLE b = plat::InsertHandle(std::make_shared<Counted>(closes));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(a, INVALID_HANDLE_VALUE);
    EXPECT_NE(a, b);

    EXPECT_TRUE(plat::LookupHandleAs<Counted>(a));
    EXPECT_FALSE(plat::LookupHandleAs<Other>(a));  // wrong kind of object

    auto held = plat::LookupHandle(a);
    EXPECT_TRUE(CloseHandle(a));
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(held);  // a caller's reference outlives the handle
    EXPECT_FALSE(plat::LookupHandle(a));

    SetLastError(0);
    EXPECT_FALSE(CloseHandle(a));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(nullptr));
    EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
    EXPECT_EQ(closes, 1);

    EXPECT_TRUE(CloseHandle(b));
    EXPECT_EQ(closes, 2);
}

// The live counts follow handles and threads both ways: a thread is counted
// out once it returned, whether or not its handle is still open.
TEST(HandleTable, LiveCountsFollowOpenHandlesAndRunningThreads)
{
    const std::size_t handles = plat::LiveHandleCount();
    const std::size_t threads = plat::LiveThreadCount();
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0, [](LPVOID event) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(event), 10000); }, go,
        0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(plat::LiveHandleCount(), handles + 2);
    EXPECT_EQ(plat::LiveThreadCount(), threads + 1);
    SetEvent(go);
    ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(plat::LiveThreadCount(), threads) << "returned, its handle still open";
    CloseHandle(thread);
    CloseHandle(go);
    EXPECT_EQ(plat::LiveHandleCount(), handles);
}
