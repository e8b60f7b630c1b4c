#include "buffer_queue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

TEST(BufferQueue, AFreedBufferIsReusedAndGrowsOnlyWhenTooSmall)
{
    CBufferQueue queue;
    CQueueBuffer* first = queue.GetBuffer(100);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_dwLength, 100u);
    EXPECT_EQ(first->m_nCapacity, 1124);
    std::memset(first->m_pData, 0xAB, first->m_nCapacity);  // the whole capacity is writable
    queue.PutFree(first);
    EXPECT_EQ(queue.GetFreeCount(), 1);

    struct Step {
        DWORD length;
        LONG capacity;  // after the step
    } steps[] = {
        {50, 1124},      // fits: the same block
        {1124, 1124},    // exactly the capacity: still fits
        {1125, 2149},    // one byte more: a new block with room again
        {0, 2149},
    };
    for (const Step& s : steps) {
        CQueueBuffer* again = queue.GetBuffer(s.length);
        ASSERT_EQ(again, first) << s.length << ": the free buffer, not a new one";
        EXPECT_EQ(again->m_dwLength, s.length);
        EXPECT_EQ(again->m_nCapacity, s.capacity) << s.length;
        EXPECT_EQ(queue.GetFreeCount(), 0);
        queue.PutFree(again);
    }
}

TEST(BufferQueue, KeepsAtMostFiveFreeBuffersAndHandsFilledOnesOnInOrder)
{
    CBufferQueue queue;
    std::vector<CQueueBuffer*> taken;
    for (int i = 0; i < 7; ++i)
        taken.push_back(queue.GetBuffer(10 + i));
    for (CQueueBuffer* b : taken)
        queue.PutFree(b);  // the last two are freed (ASan would see a leak otherwise)
    EXPECT_EQ(queue.GetFreeCount(), CBufferQueue::kFreeLimit);

    for (int i = 0; i < 3; ++i) {
        CQueueBuffer* b = queue.GetBuffer(4);
        b->m_pData[0] = static_cast<BYTE>(i);
        queue.PutFilled(b);
    }
    for (int i = 0; i < 3; ++i) {
        CQueueBuffer* b = queue.GetFilled();
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->m_pData[0], i);
        queue.PutFree(b);
    }
    EXPECT_EQ(queue.GetFilled(), nullptr);
    // Filled buffers still queued at the end are freed with the queue.
    queue.PutFilled(queue.GetBuffer(8));
}

TEST(BufferQueue, ASizeThatCannotBeHadGivesNoBufferAndKeepsTheFreeOne)
{
    CBufferQueue queue;
    EXPECT_EQ(queue.GetBuffer(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(queue.GetBuffer(0x7FFFFFFFu - 1023), nullptr);
    queue.PutFree(queue.GetBuffer(16));
    EXPECT_EQ(queue.GetBuffer(0xFFFFFC00u), nullptr);
    EXPECT_EQ(queue.GetFreeCount(), 1) << "the free buffer stays for the next taker";
    CQueueBuffer* b = queue.GetBuffer(16);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->m_nCapacity, 1040);
    queue.PutFree(b);
}

// One thread fills, another empties and gives back: every block arrives
// once, whole, in order.
TEST(BufferQueue, ProducerAndConsumerThreadsShareTheQueues)
{
    CBufferQueue queue;
    constexpr int kBlocks = 2000;
    std::thread producer([&] {
        for (int i = 0; i < kBlocks; ++i) {
            const DWORD length = 1 + static_cast<DWORD>(i % 3000);
            CQueueBuffer* b = nullptr;
            while (!(b = queue.GetBuffer(length)))
                std::this_thread::yield();
            std::memset(b->m_pData, i & 0xFF, length);
            queue.PutFilled(b);
        }
    });
    int received = 0;
    bool whole = true;
    while (received < kBlocks) {
        CQueueBuffer* b = queue.GetFilled();
        if (!b) {
            std::this_thread::yield();
            continue;
        }
        whole = whole && b->m_dwLength == 1 + static_cast<DWORD>(received % 3000) &&
                b->m_pData[0] == (received & 0xFF) && b->m_pData[b->m_dwLength - 1] == (received & 0xFF);
        ++received;
        queue.PutFree(b);
    }
    producer.join();
    EXPECT_TRUE(whole);
    EXPECT_LE(queue.GetFreeCount(), CBufferQueue::kFreeLimit);
}
