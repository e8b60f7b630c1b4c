#include "plat/thread.h"

#include <unistd.h>

#include <atomic>
#include <thread>

#include "plat/error.h"
#include "sync_object.h"

namespace plat {
namespace {

std::atomic<DWORD> g_nextThreadId{0x100};
std::atomic<std::size_t> g_liveThreads{0};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() { return g_nextThreadId.fetch_add(4); }

// What the running thread and its handle share; the thread keeps it alive
// however early the handle is closed.
struct ThreadState {
    LPTHREAD_START_ROUTINE start;
    LPVOID parameter;
    DWORD id;
    DWORD suspendCount;  // under SyncLock()
    bool finished = false;
    DWORD exitCode = STILL_ACTIVE;
};

class Thread final : public SyncObject {
public:
    explicit Thread(std::shared_ptr<ThreadState> state) : state_(std::move(state)) {}

    ~Thread() override
    {
        // Whoever starts a thread ends it by its own flags and events; a handle
        // closed before that only lets go of the thread.
        if (!thread_.joinable())
            return;
        bool finished;
        {
            std::lock_guard lock(SyncLock());
            finished = state_->finished;
        }
        if (finished && thread_.get_id() != std::this_thread::get_id())
            thread_.join();
        else
            thread_.detach();
    }

    void Start()
    {
        ++g_liveThreads;
        try {
            thread_ = std::thread([state = state_] {
                t_threadId = state->id;
                {
                    std::unique_lock lock(SyncLock());
                    SyncChanged().wait(lock, [&] { return state->suspendCount == 0; });
                }
                DWORD code = state->start(state->parameter);
                // Counted out before anyone waiting on the handle wakes.
                --g_liveThreads;
                {
                    std::lock_guard lock(SyncLock());
                    state->exitCode = code;
                    state->finished = true;
                }
                NotifySyncChanged();
            });
        } catch (...) {
            --g_liveThreads;
            throw;
        }
    }

    bool IsSignaled(DWORD) const override { return state_->finished; }

    DWORD Resume()
    {
        DWORD previous;
        {
            std::lock_guard lock(SyncLock());
            previous = state_->suspendCount;
            if (previous > 0)
                --state_->suspendCount;
        }
        if (previous == 1)
            NotifySyncChanged();
        return previous;
    }

    DWORD ExitCode() const
    {
        std::lock_guard lock(SyncLock());
        return state_->exitCode;
    }

private:
    std::shared_ptr<ThreadState> state_;
    std::thread thread_;
};

}  // namespace

std::size_t LiveThreadCount() { return g_liveThreads.load(); }

}  // namespace plat

using plat::Thread;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD, LPTHREAD_START_ROUTINE start, LPVOID parameter,
                    DWORD creationFlags, LPDWORD threadId)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto state = std::make_shared<plat::ThreadState>();
    state->start = start;
    state->parameter = parameter;
    state->id = plat::NewThreadId();
    state->suspendCount = (creationFlags & CREATE_SUSPENDED) ? 1 : 0;
    auto thread = std::make_shared<Thread>(state);
    try {
        thread->Start();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId)
        *threadId = state->id;
    return plat::InsertHandle(std::move(thread));
}

DWORD ResumeThread(HANDLE handle)
{
    auto thread = plat::LookupHandleAs<Thread>(handle);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0xFFFFFFFFu;
    }
    return thread->Resume();
}

BOOL SetThreadPriority(HANDLE handle, int)
{
    if (!plat::LookupHandleAs<Thread>(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode)
{
    auto thread = plat::LookupHandleAs<Thread>(handle);
    if (!thread || !exitCode) {
        SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = thread->ExitCode();
    return TRUE;
}

DWORD GetCurrentThreadId()
{
    if (plat::t_threadId == 0)
        plat::t_threadId = plat::NewThreadId();  // a thread the platform did not start
    return plat::t_threadId;
}

DWORD GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }
