#include "plat/mmtimer.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "plat/clock.h"

namespace {

struct Timer {
    std::uint64_t due;
    UINT delay;
    bool periodic;
    LPTIMECALLBACK callback;
    DWORD_PTR user;
};

// One thread runs every callback, in due order.
class TimerThread {
public:
    ~TimerThread()
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }

    UINT Set(UINT delay, LPTIMECALLBACK callback, DWORD_PTR user, bool periodic)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!thread_.joinable())
            thread_ = std::thread([this] { Run(); });
        do {
            if (++lastId_ == 0)
                lastId_ = 1;
        } while (timers_.count(lastId_));
        timers_[lastId_] = Timer{plat::NowMs() + delay, delay, periodic, callback, user};
        changed_ = true;
        cv_.notify_all();
        return lastId_;
    }

    bool Kill(UINT id)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        const bool found = timers_.erase(id) > 0;
        const bool running = running_ == id;  // a one-shot is gone from the table while it runs
        if (found) {
            changed_ = true;
            cv_.notify_all();
        }
        if (running && std::this_thread::get_id() != thread_.get_id())
            done_.wait(lock, [&] { return running_ != id; });
        return found || running;
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stop_) {
            auto next = timers_.end();
            for (auto it = timers_.begin(); it != timers_.end(); ++it) {
                if (next == timers_.end() || it->second.due < next->second.due)
                    next = it;
            }
            const std::uint64_t deadline = next == timers_.end() ? plat::kNoDeadline : next->second.due;
            plat::WaitUntil(lock, cv_, deadline, [&] { return stop_ || changed_; });
            changed_ = false;
            if (stop_)
                break;
            const std::uint64_t now = plat::NowMs();
            for (auto it = timers_.begin(); it != timers_.end();) {
                if (it->second.due > now) {
                    ++it;
                    continue;
                }
                const UINT id = it->first;
                Timer timer = it->second;
                if (timer.periodic) {
                    it->second.due += timer.delay;
                    if (it->second.due <= now)
                        it->second.due = now + timer.delay;  // fell behind: no burst of ticks
                    ++it;
                } else {
                    it = timers_.erase(it);
                }
                running_ = id;
                lock.unlock();
                timer.callback(id, 0, timer.user, 0, 0);
                lock.lock();
                running_ = 0;
                done_.notify_all();
                it = timers_.upper_bound(id);
                if (stop_)
                    return;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::condition_variable done_;
    std::map<UINT, Timer> timers_;
    std::thread thread_;
    UINT lastId_ = 0;
    UINT running_ = 0;
    bool changed_ = false;  // the table changed: look again before waiting
    bool stop_ = false;
};

TimerThread& Timers()
{
    static TimerThread timers;
    return timers;
}

}  // namespace

MMRESULT timeSetEvent(UINT delay, UINT, LPTIMECALLBACK callback, DWORD_PTR user, UINT event)
{
    if (delay == 0 || !callback)
        return 0;
    return Timers().Set(delay, callback, user, (event & TIME_PERIODIC) != 0);
}

MMRESULT timeKillEvent(UINT timerId)
{
    return Timers().Kill(timerId) ? TIMERR_NOERROR : MMSYSERR_INVALPARAM;
}
