#include "buffer_queue.h"

#include <limits>
#include <new>

namespace {

// A fresh block for the buffer; false (the buffer unchanged) when it cannot be had.
bool Allocate(CQueueBuffer* buffer, DWORD length)
{
    if (length > static_cast<DWORD>(std::numeric_limits<LONG>::max()) - CBufferQueue::kSlack)
        return false;
    const DWORD capacity = length + CBufferQueue::kSlack;
    BYTE* data = new (std::nothrow) BYTE[capacity];
    if (!data)
        return false;
    delete[] buffer->m_pData;
    buffer->m_pData = data;
    buffer->m_nCapacity = static_cast<LONG>(capacity);
    return true;
}

}  // namespace

CBufferQueue::~CBufferQueue()
{
    {
        std::lock_guard lock(m_filledLock);
        for (CQueueBuffer* buffer : m_filled)
            delete buffer;
        m_filled.clear();
    }
    std::lock_guard lock(m_freeLock);
    for (CQueueBuffer* buffer : m_free)
        delete buffer;
    m_free.clear();
    m_nFree = 0;
}

CQueueBuffer* CBufferQueue::GetBuffer(DWORD length)
{
    CQueueBuffer* buffer = nullptr;
    {
        // Looked at under the lock: two takers never get the same last buffer.
        std::lock_guard lock(m_freeLock);
        if (!m_free.empty()) {
            buffer = m_free.front();
            m_free.pop_front();
            --m_nFree;
        }
    }
    if (buffer) {
        if (buffer->m_nCapacity < 0 || static_cast<DWORD>(buffer->m_nCapacity) < length) {
            if (!Allocate(buffer, length)) {
                PutFree(buffer);
                return nullptr;
            }
        }
    } else {
        buffer = new (std::nothrow) CQueueBuffer;
        if (!buffer)
            return nullptr;
        if (!Allocate(buffer, length)) {
            delete buffer;
            return nullptr;
        }
    }
    buffer->m_dwLength = length;
    return buffer;
}

void CBufferQueue::PutFilled(CQueueBuffer* buffer)
{
    if (!buffer)
        return;
    std::lock_guard lock(m_filledLock);
    m_filled.push_back(buffer);
}

CQueueBuffer* CBufferQueue::GetFilled()
{
    std::lock_guard lock(m_filledLock);
    if (m_filled.empty())
        return nullptr;
    CQueueBuffer* buffer = m_filled.front();
    m_filled.pop_front();
    return buffer;
}

void CBufferQueue::PutFree(CQueueBuffer* buffer)
{
    if (!buffer)
        return;
    {
        std::lock_guard lock(m_freeLock);
        if (static_cast<int>(m_free.size()) < kFreeLimit) {
            buffer->m_dwLength = 0;
            m_free.push_back(buffer);
            ++m_nFree;
            return;
        }
    }
    delete buffer;
}
