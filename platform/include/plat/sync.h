// Kernel objects for synchronisation: events, mutexes and the waits on them
// (threads are waitable too, see plat/thread.h), critical sections and the
// interlocked operations.
//
// Named mutexes and events share one namespace in the process. A named mutex
// is also visible to every other process on the same device root: a second
// process that creates it gets ERROR_ALREADY_EXISTS, and only one process at a
// time owns it (docs/platform.md, "Kernel objects").
//
// Waits count time on the platform clock (plat/clock.h), so that on the
// virtual clock a time-out passes only when a test advances the clock.
#pragma once

#include <mutex>

#include "plat/handle.h"
#include "plat/types.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

inline constexpr DWORD WAIT_OBJECT_0 = 0;
inline constexpr DWORD WAIT_ABANDONED = 0x80;
inline constexpr DWORD WAIT_TIMEOUT = 258;
inline constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
inline constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCWSTR name);
BOOL ReleaseMutex(HANDLE mutex);

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Recursive: the owning thread may enter again and leaves as often as it entered.
struct CRITICAL_SECTION {
    alignas(std::recursive_mutex) unsigned char storage[sizeof(std::recursive_mutex)];
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;

void InitializeCriticalSection(LPCRITICAL_SECTION section);
void DeleteCriticalSection(LPCRITICAL_SECTION section);
void EnterCriticalSection(LPCRITICAL_SECTION section);
void LeaveCriticalSection(LPCRITICAL_SECTION section);

// Each returns the new value (Exchange: the old one); full barriers.
inline LONG InterlockedIncrement(LONG volatile* value) { return __atomic_add_fetch(value, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile* value) { return __atomic_sub_fetch(value, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedExchange(LONG volatile* target, LONG value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}
