// Test windows that record the messages they get.
#pragma once

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "plat/windows.h"

namespace wmtest {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::thread::id thread;
};

inline std::mutex& SeenLock()
{
    static std::mutex lock;
    return lock;
}

inline std::vector<Seen>& SeenLog()
{
    static std::vector<Seen> log;
    return log;
}

inline void Clear()
{
    std::lock_guard lock(SeenLock());
    SeenLog().clear();
}

inline std::vector<Seen> Log()
{
    std::lock_guard lock(SeenLock());
    return SeenLog();
}

// Messages of one kind that one window got, in order.
inline std::vector<Seen> Of(HWND hwnd, UINT message)
{
    std::vector<Seen> out;
    for (const Seen& s : Log())
        if (s.hwnd == hwnd && s.message == message)
            out.push_back(s);
    return out;
}

inline constexpr UINT kDouble = WM_USER + 1;  // answers 2 * wParam

inline LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    {
        std::lock_guard lock(SeenLock());
        SeenLog().push_back(Seen{hwnd, message, wParam, lParam, std::this_thread::get_id()});
    }
    if (message == kDouble)
        return static_cast<LRESULT>(wParam * 2);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

inline const WCHAR* RecordingClass()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = L"TestRecorder";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    return L"TestRecorder";
}

// A visible top-level test window below the task bar.
inline HWND TopWindow(const WCHAR* title = L"test", RECT r = RECT{0, 40, 240, 400}, DWORD exStyle = 0)
{
    return CreateWindowExW(exStyle, RecordingClass(), title, WS_POPUP | WS_VISIBLE, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, nullptr, nullptr);
}

inline HWND ChildWindow(HWND parent, int id, RECT r)
{
    return CreateWindowExW(0, RecordingClass(), L"child", WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                           nullptr);
}

// Dispatches what waits for this thread, without blocking.
inline void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Drops what waits for this thread.
inline void Drain()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_PAINT)
            ValidateRect(msg.hwnd, nullptr);
    }
}

// Switches to the virtual clock for one test.
class VirtualClock {
public:
    explicit VirtualClock(std::uint64_t start = 1000) { plat::UseVirtualClock(start); }
    ~VirtualClock() { plat::UseRealClock(); }
};

}  // namespace wmtest
