// Threads. A thread handle is a kernel object like any other: waitable (it is
// signalled when the thread has ended) and closed with CloseHandle. Threads
// end by returning from their procedure; there is no way to kill one.
#pragma once

#include <cstddef>

#include "plat/sync.h"
#include "plat/types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID parameter);

inline constexpr DWORD CREATE_SUSPENDED = 0x4;
inline constexpr DWORD STILL_ACTIVE = 259;

// The stack size is a hint and the priority is accepted and ignored: the host schedules.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES security, DWORD stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD creationFlags, LPDWORD threadId);
// Returns the previous suspend count; the thread runs once it reaches 0.
DWORD ResumeThread(HANDLE thread);
BOOL SetThreadPriority(HANDLE thread, int priority);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
DWORD GetCurrentThreadId();
DWORD GetCurrentProcessId();

namespace plat {

// How many threads started by CreateThread have not returned yet (for tests
// that look for threads left behind).
std::size_t LiveThreadCount();

}  // namespace plat
