// A small pool of byte buffers for handing variable-length blocks from one
// thread to another: a queue of filled buffers and a queue of free ones,
// each under its own lock. A taken buffer is the caller's until it goes back
// through PutFilled or PutFree; at most kFreeLimit free buffers are kept,
// further ones are freed.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>

#include "plat/windows.h"

struct CQueueBuffer {
    CQueueBuffer() = default;
    ~CQueueBuffer() { delete[] m_pData; }
    CQueueBuffer(const CQueueBuffer&) = delete;
    CQueueBuffer& operator=(const CQueueBuffer&) = delete;

    BYTE* m_pData = nullptr;
    DWORD m_dwLength = 0;  // bytes in use
    LONG m_nCapacity = 0;  // bytes allocated
};

class CBufferQueue {
public:
    // Room a new or grown buffer gets beyond the length asked for.
    static constexpr DWORD kSlack = 1024;
    static constexpr int kFreeLimit = 5;

    CBufferQueue() = default;
    virtual ~CBufferQueue();
    CBufferQueue(const CBufferQueue&) = delete;
    CBufferQueue& operator=(const CBufferQueue&) = delete;

    // A buffer of at least `length` bytes with that length in use: a free one
    // when there is one (grown to length + kSlack when it is too small), else
    // a new one. Null when the size cannot be had.
    CQueueBuffer* GetBuffer(DWORD length);
    // The filled queue, first in first out; GetFilled gives null when empty.
    void PutFilled(CQueueBuffer* buffer);
    CQueueBuffer* GetFilled();
    // Back to the free queue for reuse, or freed when kFreeLimit are kept.
    void PutFree(CQueueBuffer* buffer);

    int GetFreeCount() const { return m_nFree.load(); }

private:
    std::deque<CQueueBuffer*> m_filled;
    std::deque<CQueueBuffer*> m_free;
    std::atomic<int> m_nFree{0};
    std::mutex m_filledLock;
    std::mutex m_freeLock;
};
