// Per-thread message queues, sending across threads, window timers and paint
// requests.
#include <algorithm>
#include <chrono>
#include <cwctype>

#include "plat/clock.h"
#include "plat/error.h"
#include "plat/message.h"
#include "plat/thread.h"
#include "wm_internal.h"

namespace plat::wm {

namespace {

// Cleans the thread's queue up when the thread ends: pending senders get 0,
// its windows, timers, hooks and hot keys go away without messages.
struct QueueHolder {
    std::shared_ptr<Queue> queue;
    ~QueueHolder()
    {
        if (!queue)
            return;
        State& s = S();
        std::lock_guard lock(s.mu);
        queue->dead = true;
        for (auto& item : queue->sent) {
            item->done = true;
            item->result = 0;
            if (item->replyTo)
                Wake(*item->replyTo);
        }
        queue->sent.clear();
        queue->posted.clear();
        queue->timers.clear();
        std::vector<HWND> mine;
        for (auto& [hwnd, w] : s.windows)
            if (w->thread == queue->thread)
                mine.push_back(hwnd);
        for (HWND hwnd : mine)
            if (Find(hwnd))
                RemoveWindowFromState(hwnd);
        std::erase_if(s.hooks, [&](const Hook& h) { return h.thread == queue->thread; });
        std::erase_if(s.hotKeys, [&](const HotKey& h) { return h.thread == queue->thread; });
        s.queues.erase(queue->thread);
    }
};

thread_local QueueHolder t_queue;

bool InRange(UINT message, UINT low, UINT high)
{
    if (low == 0 && high == 0)
        return true;
    return message >= low && message <= high;
}

const HWND kThreadOnly = reinterpret_cast<HWND>(-1);

bool WindowMatches(HWND filter, HWND hwnd)
{
    if (!filter)
        return true;
    if (filter == kThreadOnly)
        return hwnd == nullptr;
    return hwnd == filter || (hwnd && IsAncestor(filter, hwnd));
}

std::uint64_t NextTimerDue(const Queue& q, HWND filter, UINT low, UINT high)
{
    if (!InRange(WM_TIMER, low, high))
        return plat::kNoDeadline;
    std::uint64_t next = plat::kNoDeadline;
    for (const Timer& t : q.timers)
        if (WindowMatches(filter, t.hwnd))
            next = std::min(next, t.due);
    return next;
}

// One look at the queue, in the platform's order: sent calls, posted and
// input messages, quit, paint, timers.
bool Fetch(Lock& lock, Queue& q, MSG* out, HWND filter, UINT low, UINT high, UINT flags)
{
    State& s = S();
    RunSent(lock, q);
    bool remove = (flags & PM_REMOVE) != 0;
    for (auto it = q.posted.begin(); it != q.posted.end(); ++it) {
        if (InRange(it->message, low, high) && WindowMatches(filter, it->hwnd)) {
            *out = *it;
            if (remove)
                q.posted.erase(it);
            return true;
        }
    }
    if (q.quit && InRange(WM_QUIT, low, high)) {
        *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0, static_cast<DWORD>(NowMs()), s.pen};
        if (remove)
            q.quit = false;
        return true;
    }
    if (InRange(WM_PAINT, low, high)) {
        for (auto& [hwnd, w] : s.windows) {
            if (w->thread == q.thread && w->invalid && w->Visible() && !w->destroying && WindowMatches(filter, hwnd)) {
                *out = MSG{hwnd, WM_PAINT, 0, 0, static_cast<DWORD>(NowMs()), s.pen};
                return true;
            }
        }
    }
    std::uint64_t now = NowMs();
    Timer* due = nullptr;
    for (Timer& t : q.timers)
        if (t.due <= now && WindowMatches(filter, t.hwnd) && InRange(WM_TIMER, low, high) && (!due || t.due < due->due))
            due = &t;
    if (due) {
        *out = MSG{due->hwnd, WM_TIMER, due->id, reinterpret_cast<LPARAM>(due->proc), static_cast<DWORD>(now), s.pen};
        if (remove)
            due->due = now + due->elapse;
        return true;
    }
    return false;
}

}  // namespace

State& S()
{
    // Never destroyed: threads may still end after static destructors ran.
    static State* const state = new State;
    return *state;
}

DWORD ThisThreadId() { return GetCurrentThreadId(); }

std::wstring Lower(std::wstring_view text)
{
    std::wstring out(text);
    for (auto& c : out)
        c = static_cast<wchar_t>(std::towlower(c));
    return out;
}

std::uint64_t NowMs() { return plat::NowMs(); }

Window* Find(HWND hwnd)
{
    if (!hwnd)
        return nullptr;
    auto it = S().windows.find(hwnd);
    return it == S().windows.end() ? nullptr : it->second.get();
}

std::shared_ptr<Queue> QueueOf(DWORD thread)
{
    auto it = S().queues.find(thread);
    if (it == S().queues.end() || it->second->dead)
        return nullptr;
    return it->second;
}

std::shared_ptr<Queue> CurrentQueue()
{
    if (!t_queue.queue) {
        auto q = std::make_shared<Queue>();
        q->thread = ThisThreadId();
        S().queues[q->thread] = q;
        t_queue.queue = q;
    }
    return t_queue.queue;
}

void Wake(Queue& queue)
{
    ++queue.wake;
    queue.cv.notify_all();
}

void PostLocked(Queue& queue, const MSG& msg)
{
    queue.posted.push_back(msg);
    Wake(queue);
}

void Took(Queue& queue, const MSG& msg)
{
    queue.last = msg;
    const bool down = msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN;
    if (down || msg.message == WM_KEYUP || msg.message == WM_SYSKEYUP)
        queue.keyDown[msg.wParam & 0xFF] = down;
}

void RunSent(Lock& lock, Queue& queue)
{
    while (!queue.sent.empty()) {
        auto item = queue.sent.front();
        queue.sent.pop_front();
        if (item->abandoned)
            continue;
        lock.unlock();
        LRESULT result = item->call();
        lock.lock();
        item->result = result;
        item->done = true;
        if (item->replyTo)
            Wake(*item->replyTo);
    }
}

LRESULT CallOnThread(Lock& lock, DWORD thread, std::function<LRESULT()> call, bool* ok, unsigned limitMs)
{
    if (ok)
        *ok = true;
    if (thread == ThisThreadId()) {
        lock.unlock();
        LRESULT result = call();
        lock.lock();
        return result;
    }
    auto target = QueueOf(thread);
    if (!target) {
        if (ok)
            *ok = false;
        return 0;
    }
    auto me = CurrentQueue();
    auto item = std::make_shared<SentItem>();
    item->call = std::move(call);
    item->replyTo = me;
    target->sent.push_back(item);
    Wake(*target);
    auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!item->done) {
        if (!me->sent.empty()) {
            RunSent(lock, *me);
            continue;
        }
        if (limitMs == 0) {
            me->cv.wait(lock);
        } else if (me->cv.wait_until(lock, limit) == std::cv_status::timeout && !item->done) {
            item->abandoned = true;
            if (ok)
                *ok = false;
            return 0;
        }
    }
    return item->result;
}

LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w)
            return 0;
        proc = w->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace plat::wm

using namespace plat::wm;

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return PostThreadMessageW(ThisThreadId(), message, wParam, lParam);
    State& s = S();
    std::lock_guard lock(s.mu);
    Window* w = Find(hwnd);
    auto q = w ? QueueOf(w->thread) : nullptr;
    if (!w || w->destroying || !q) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PostLocked(*q, MSG{hwnd, message, wParam, lParam, static_cast<DWORD>(NowMs()), s.pen});
    return TRUE;
}

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    State& s = S();
    std::lock_guard lock(s.mu);
    auto q = threadId == ThisThreadId() ? CurrentQueue() : QueueOf(threadId);
    if (!q) {
        SetLastError(1444);  // ERROR_INVALID_THREAD_ID
        return FALSE;
    }
    PostLocked(*q, MSG{nullptr, message, wParam, lParam, static_cast<DWORD>(NowMs()), s.pen});
    return TRUE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Lock lock(S().mu);
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    DWORD thread = w->thread;
    return CallOnThread(lock, thread, [=] { return CallWindow(hwnd, message, wParam, lParam); }, nullptr);
}

BOOL SendNotifyMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Lock lock(S().mu);
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (w->thread == ThisThreadId()) {
        lock.unlock();
        CallWindow(hwnd, message, wParam, lParam);
        return TRUE;
    }
    auto q = QueueOf(w->thread);
    if (!q)
        return FALSE;
    auto item = std::make_shared<SentItem>();
    item->call = [=] { return CallWindow(hwnd, message, wParam, lParam); };
    q->sent.push_back(item);
    Wake(*q);
    return TRUE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax)
{
    if (!msg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    Lock lock(S().mu);
    auto q = CurrentQueue();
    for (;;) {
        if (hwnd && hwnd != reinterpret_cast<HWND>(-1) && !Find(hwnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        if (Fetch(lock, *q, msg, hwnd, filterMin, filterMax, PM_REMOVE)) {
            Took(*q, *msg);
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        std::uint64_t seen = q->wake;
        plat::WaitUntil(lock, q->cv, NextTimerDue(*q, hwnd, filterMin, filterMax),
                        [&] { return q->wake != seen || !q->sent.empty(); });
    }
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags)
{
    if (!msg)
        return FALSE;
    Lock lock(S().mu);
    auto q = CurrentQueue();
    if (Fetch(lock, *q, msg, hwnd, filterMin, filterMax, removeFlags)) {
        if (removeFlags & PM_REMOVE)
            Took(*q, *msg);
        return TRUE;
    }
    return FALSE;
}

BOOL WaitMessage()
{
    Lock lock(S().mu);
    auto q = CurrentQueue();
    std::uint64_t seen = q->wake;
    for (;;) {
        RunSent(lock, *q);
        MSG msg;
        if (Fetch(lock, *q, &msg, nullptr, 0, 0, PM_NOREMOVE))
            return TRUE;
        plat::WaitUntil(lock, q->cv, NextTimerDue(*q, nullptr, 0, 0),
                        [&] { return q->wake != seen || !q->sent.empty(); });
        seen = q->wake;
    }
}

DWORD MsgWaitForMultipleObjectsEx(DWORD count, const HANDLE* handles, DWORD milliseconds, DWORD wakeMask, DWORD)
{
    const std::uint64_t deadline = milliseconds == INFINITE ? plat::kNoDeadline : plat::NowMs() + milliseconds;
    for (;;) {
        DWORD signalled = WaitForMultipleObjects(count, handles, FALSE, 0);
        if (signalled != WAIT_TIMEOUT)
            return signalled;
        Lock lock(S().mu);
        auto q = CurrentQueue();
        auto sent = [&] { return (wakeMask & QS_SENDMESSAGE) != 0 && !q->sent.empty(); };
        if (sent())
            return WAIT_OBJECT_0 + count;
        if (plat::NowMs() >= deadline)
            return WAIT_TIMEOUT;
        // The objects give this queue no notice: look at them again shortly.
        q->cv.wait_for(lock, std::chrono::milliseconds(2), sent);
    }
}

DWORD GetMessagePos()
{
    std::lock_guard lock(S().mu);
    const MSG& last = CurrentQueue()->last;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(last.pt.x), static_cast<WORD>(last.pt.y)));
}

LONG GetMessageTime()
{
    std::lock_guard lock(S().mu);
    return static_cast<LONG>(CurrentQueue()->last.time);
}

BOOL TranslateMessage(const MSG* msg)
{
    if (!msg || msg->message != WM_KEYDOWN)
        return FALSE;
    WCHAR c = 0;
    auto vk = static_cast<UINT>(msg->wParam);
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (vk == VK_PACKET)
        c = static_cast<WCHAR>(HIWORD(static_cast<DWORD_PTR>(msg->lParam)));
    else if (vk >= 'A' && vk <= 'Z')
        c = static_cast<WCHAR>(shift ? vk : vk - 'A' + 'a');
    else if (vk >= '0' && vk <= '9')
        c = static_cast<WCHAR>(vk);
    else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE)
        c = static_cast<WCHAR>(vk);
    if (!c)
        return FALSE;
    Lock lock(S().mu);
    Window* w = Find(msg->hwnd);
    auto q = w ? QueueOf(w->thread) : CurrentQueue();
    if (!q)
        return FALSE;
    // The character comes next, ahead of anything posted later.
    MSG chr{msg->hwnd, WM_CHAR, static_cast<WPARAM>(c), msg->lParam, msg->time, msg->pt};
    q->posted.push_front(chr);
    Wake(*q);
    return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg)
{
    if (!msg)
        return 0;
    if (msg->message == WM_TIMER && msg->lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg->lParam);
        proc(msg->hwnd, WM_TIMER, msg->wParam, msg->time);
        return 0;
    }
    if (!msg->hwnd)
        return 0;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(msg->hwnd);
        if (!w || w->thread != ThisThreadId())
            return 0;
    }
    return CallWindow(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(int exitCode)
{
    std::lock_guard lock(S().mu);
    auto q = CurrentQueue();
    q->quit = true;
    q->quitCode = exitCode;
    Wake(*q);
}

UINT RegisterWindowMessageW(LPCWSTR name)
{
    if (!name || !*name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    std::lock_guard lock(s.mu);
    std::wstring key = Lower(name);
    auto it = s.registeredMessages.find(key);
    if (it != s.registeredMessages.end())
        return it->second;
    if (s.nextRegisteredMessage > 0xFFFF) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    UINT id = s.nextRegisteredMessage++;
    s.registeredMessages.emplace(key, id);
    return id;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc)
{
    State& s = S();
    std::lock_guard lock(s.mu);
    std::shared_ptr<Queue> q;
    if (hwnd) {
        Window* w = Find(hwnd);
        q = w && !w->destroying ? QueueOf(w->thread) : nullptr;
        if (!q) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
    } else {
        // Thread timers get an id of their own, as on the platform.
        q = CurrentQueue();
        static UINT_PTR nextId = 0x7FFF;
        id = ++nextId;
    }
    UINT elapse = std::max<UINT>(elapseMs, 1);
    std::uint64_t due = NowMs() + elapse;
    auto it = std::find_if(q->timers.begin(), q->timers.end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (it != q->timers.end())
        *it = Timer{hwnd, id, elapse, proc, due};
    else
        q->timers.push_back(Timer{hwnd, id, elapse, proc, due});
    Wake(*q);
    return id ? id : 1;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id)
{
    State& s = S();
    std::lock_guard lock(s.mu);
    std::shared_ptr<Queue> q;
    if (hwnd) {
        Window* w = Find(hwnd);
        q = w ? QueueOf(w->thread) : nullptr;
    } else {
        q = CurrentQueue();
    }
    if (!q)
        return FALSE;
    auto removed = std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    std::erase_if(q->posted, [&](const MSG& m) { return m.message == WM_TIMER && m.hwnd == hwnd && m.wParam == id; });
    return removed ? TRUE : FALSE;
}

namespace {

void Union(RECT& into, const RECT& r)
{
    if (into.right <= into.left || into.bottom <= into.top) {
        into = r;
        return;
    }
    into.left = std::min(into.left, r.left);
    into.top = std::min(into.top, r.top);
    into.right = std::max(into.right, r.right);
    into.bottom = std::max(into.bottom, r.bottom);
}

}  // namespace

BOOL InvalidateRect(HWND hwnd, LPCRECT rect, BOOL erase)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    RECT client{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    RECT r = rect ? *rect : client;
    r.left = std::max(r.left, client.left);
    r.top = std::max(r.top, client.top);
    r.right = std::min(r.right, client.right);
    r.bottom = std::min(r.bottom, client.bottom);
    if (r.right <= r.left || r.bottom <= r.top) {
        if (rect)
            return TRUE;
        r = client;  // an empty window still takes a paint request
    }
    if (!w->invalid)
        w->update = RECT{};
    Union(w->update, r);
    w->invalid = true;
    if (erase)
        w->erase = true;
    if (auto q = QueueOf(w->thread))
        Wake(*q);
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, LPCRECT)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    // Any validation ends the request: the system paints whole windows.
    w->invalid = false;
    w->erase = false;
    w->update = RECT{};
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return FALSE;
    if (rect)
        *rect = w->invalid ? w->update : RECT{};
    return w->invalid ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND hwnd)
{
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        if (!w->invalid || !w->Visible())
            return TRUE;
    }
    SendMessageW(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}
