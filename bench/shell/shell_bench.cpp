// Draw requests, to be read against the 33 ms of one 30 fps preview frame:
// every preview frame asks for a redraw.
#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

#include "draw_event.h"
#include "plat/windows.h"

namespace {

std::atomic<long> paints{0};

LRESULT DrawWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAW_SCREEN) {
        // What the main frame's draw handler does before the screen paints.
        if (CDrawEvent::PendingCount() != 0 && CDrawEvent::TakePending() != 0)
            paints.fetch_add(1, std::memory_order_release);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND CreateDrawWindow()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DrawWindowProc;
        wc.lpszClassName = L"DrawBench";
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered)
        return nullptr;
    return CreateWindowExW(0, L"DrawBench", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
}

// A request while one is already queued: only the pending count moves.
void DrawRequestPending(benchmark::State& state)
{
    HWND hwnd = CreateDrawWindow();
    CDrawEvent::Instance().SetHwnd(hwnd);
    CDrawEvent::PostMessage();  // the one queued message
    for (auto _ : state)
        CDrawEvent::PostMessage();
    CDrawEvent::TakePending();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ;
    DestroyWindow(hwnd);
    CDrawEvent::Instance().SetHwnd(nullptr);
}
BENCHMARK(DrawRequestPending);

// From a worker's request to the paint on a GUI thread that waits for messages.
void DrawPostToPaint(benchmark::State& state)
{
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> stop{false};
    std::thread gui([&] {
        window = CreateDrawWindow();
        MSG msg;
        while (!stop && GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(window);
    });
    while (!window)
        std::this_thread::yield();
    CDrawEvent::Instance().SetHwnd(window);
    for (auto _ : state) {
        long before = paints.load(std::memory_order_acquire);
        CDrawEvent::PostMessage();
        while (paints.load(std::memory_order_acquire) == before)
            ;
    }
    stop = true;
    PostMessageW(window, WM_NULL, 0, 0);
    gui.join();
    CDrawEvent::Instance().SetHwnd(nullptr);
}
BENCHMARK(DrawPostToPaint)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
