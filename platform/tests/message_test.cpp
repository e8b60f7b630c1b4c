#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "wm_helpers.h"

using namespace wmtest;

TEST(SendMessage, FromAWorkerRunsOnTheOwnerThreadWhileItWaitsInGetMessage)
{
    Clear();
    HWND w = TopWindow();
    ASSERT_TRUE(w);
    std::atomic<LRESULT> answer{0};
    std::thread worker([&] {
        answer = SendMessageW(w, kDouble, 21, 0);
        PostMessageW(w, WM_USER + 9, 0, 0);
    });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_USER + 9)
        DispatchMessageW(&msg);
    worker.join();
    EXPECT_EQ(answer, 42);
    auto seen = Of(w, kDouble);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    DestroyWindow(w);
    Drain();
}

TEST(SendMessage, WaitsWhileTheOwnerSleepsAndIsHandledWhenItPumps)
{
    VirtualClock clock;
    Clear();
    std::atomic<HWND> window{nullptr};
    std::atomic<bool> slept{false};
    std::atomic<bool> handled{false};
    std::thread gui([&] {
        HWND w = TopWindow();
        window = w;
        Sleep(1000);
        slept = true;
        MSG msg;
        while (!handled && GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
        DestroyWindow(w);
    });
    while (!window)
        std::this_thread::yield();
    std::atomic<LRESULT> answer{0};
    std::thread worker([&] {
        answer = SendMessageW(window, kDouble, 5, 0);
        handled = true;
        PostMessageW(window, WM_NULL, 0, 0);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(Of(window, kDouble).empty()) << "handled while the owner slept";
    EXPECT_EQ(answer, 0);
    plat::AdvanceClock(1000);
    worker.join();
    gui.join();
    EXPECT_TRUE(slept);
    EXPECT_EQ(answer, 10);
}

TEST(MsgWaitForMultipleObjectsEx, JoinsAWorkerThatSendsToTheWaitingThread)
{
    VirtualClock clock;  // the join must not need time to pass
    Clear();
    HWND w = TopWindow();
    ASSERT_TRUE(w);
    std::atomic<LRESULT> answer{0};
    std::pair<HWND, std::atomic<LRESULT>*> args(w, &answer);
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID p) -> DWORD {
            auto* target = static_cast<std::pair<HWND, std::atomic<LRESULT>*>*>(p);
            *target->second = SendMessageW(target->first, kDouble, 4, 0);
            return 0;
        },
        &args, 0, nullptr);
    ASSERT_TRUE(worker);
    int sent = 0;
    DWORD r;
    while ((r = MsgWaitForMultipleObjectsEx(1, &worker, INFINITE, QS_SENDMESSAGE, 0)) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        ++sent;
    }
    EXPECT_EQ(r, WAIT_OBJECT_0);
    EXPECT_GE(sent, 1);
    EXPECT_EQ(answer, 8);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &worker, 0, QS_SENDMESSAGE, 0), WAIT_OBJECT_0) << "stays signalled";
    CloseHandle(worker);
    DestroyWindow(w);
    Drain();
}

TEST(SendMessage, SameThreadIsADirectReentrantCall)
{
    static HWND self;
    WNDCLASSW wc{};
    wc.lpszClassName = L"Reentrant";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_USER)
            return wp == 0 ? 1 : static_cast<LRESULT>(wp) * SendMessageW(self, WM_USER, wp - 1, 0);
        return DefWindowProcW(h, m, wp, lp);
    };
    RegisterClassW(&wc);
    self = CreateWindowExW(0, L"Reentrant", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(SendMessageW(self, WM_USER, 5, 0), 120);
    DestroyWindow(self);
}

TEST(SendMessage, CopyDataCrossesThreads)
{
    static std::wstring received;
    WNDCLASSW wc{};
    wc.lpszClassName = L"CopyData";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_COPYDATA) {
            auto* data = reinterpret_cast<COPYDATASTRUCT*>(lp);
            received.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
            return TRUE;
        }
        return DefWindowProcW(h, m, wp, lp);
    };
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, L"CopyData", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::atomic<LRESULT> answer{0};
    std::thread worker([&] {
        wchar_t text[] = L"Pause";
        COPYDATASTRUCT data{0, sizeof text, text};
        answer = SendMessageW(w, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
        PostMessageW(w, WM_USER + 9, 0, 0);
    });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_USER + 9)
        DispatchMessageW(&msg);
    worker.join();
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(received, std::wstring(L"Pause", 6));
    DestroyWindow(w);
}

TEST(PostMessage, FailsForADeadWindowAndGetMessageRejectsItAsFilter)
{
    HWND w = TopWindow();
    DestroyWindow(w);
    EXPECT_FALSE(PostMessageW(w, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    MSG msg;
    EXPECT_EQ(GetMessageW(&msg, w, 0, 0), -1);
}

TEST(PostMessage, ThreadMessagesComeBeforeTheQuitWheneverItWasAsked)
{
    std::atomic<DWORD> thread{0};
    std::atomic<bool> go{false};
    std::vector<MSG> seen;
    std::thread t([&] {
        HWND w = TopWindow();
        thread = GetWindowThreadProcessId(w, nullptr);
        while (!go)
            std::this_thread::yield();
        EXPECT_TRUE(PostMessageW(nullptr, WM_USER + 1, 0, 0));
        PostQuitMessage(3);
        EXPECT_TRUE(PostMessageW(nullptr, WM_USER + 2, 0, 0));
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0)
            if (msg.message != WM_PAINT)
                seen.push_back(msg);
            else
                ValidateRect(msg.hwnd, nullptr);
        seen.push_back(msg);
        DestroyWindow(w);
    });
    while (!thread)
        std::this_thread::yield();
    EXPECT_TRUE(PostThreadMessageW(thread, WM_USER, 7, 0));
    go = true;
    t.join();
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].message, WM_USER);
    EXPECT_EQ(seen[0].hwnd, nullptr);
    EXPECT_EQ(seen[0].wParam, 7u);
    EXPECT_EQ(seen[1].message, WM_USER + 1);
    EXPECT_EQ(seen[2].message, WM_USER + 2);
    EXPECT_EQ(seen[3].message, WM_QUIT);
    EXPECT_EQ(seen[3].wParam, 3u);
    EXPECT_FALSE(PostThreadMessageW(thread, WM_USER, 0, 0)) << "the thread is gone";
}

TEST(PeekMessage, KeyAndMouseRangesRemoveOnlyThose)
{
    Clear();
    HWND w = TopWindow();
    ASSERT_EQ(GetFocus(), w);
    Drain();
    PostMessageW(w, WM_USER, 1, 0);
    plat::HardwareKey(VK_RETURN, true);
    plat::PenInput(plat::Pen::Down, 50, 100);
    plat::HardwareKey(VK_RETURN, false);
    plat::PenInput(plat::Pen::Up, 50, 100);
    PostMessageW(w, WM_USER, 2, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    std::vector<UINT> keys, mouse, rest;
    while (PeekMessageW(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        keys.push_back(msg.message);
    while (PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
        mouse.push_back(msg.message);
        EXPECT_EQ(msg.hwnd, w);
        EXPECT_EQ(LOWORD(msg.lParam), 50);
        EXPECT_EQ(HIWORD(msg.lParam), 60);  // client coordinates: the window starts at y 40
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message != WM_PAINT)
            rest.push_back(msg.message == WM_USER ? static_cast<UINT>(WM_USER + msg.wParam) : msg.message);
        else
            ValidateRect(msg.hwnd, nullptr);
    EXPECT_EQ(keys, (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP}));
    EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(rest, (std::vector<UINT>{WM_USER + 1, WM_USER + 2}));
    DestroyWindow(w);
}

TEST(TranslateMessage, MakesCharactersFromKeysAndTypedText)
{
    HWND w = TopWindow();
    Drain();
    plat::HardwareKey('A', true);
    plat::HardwareKey('A', false);
    plat::TypeText(L"é!");
    std::wstring chars;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        if (msg.message == WM_CHAR)
            chars.push_back(static_cast<wchar_t>(msg.wParam));
        if (msg.message == WM_PAINT)
            ValidateRect(msg.hwnd, nullptr);
    }
    EXPECT_EQ(chars, L"aé!");
    DestroyWindow(w);
}

TEST(Timers, FireOnTheVirtualClockOnlyWhenNothingIsPostedAndRestartWithTheSameId)
{
    VirtualClock clock(0);
    HWND w = TopWindow();
    Drain();
    EXPECT_EQ(SetTimer(w, 7, 100, nullptr), 7u);
    plat::AdvanceClock(60);
    SetTimer(w, 7, 100, nullptr);  // restarts: due at 160 now
    plat::AdvanceClock(60);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    plat::AdvanceClock(40);
    PostMessageW(w, WM_USER, 0, 0);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER) << "a posted message goes before the timer";
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) << "one WM_TIMER per period";
    plat::AdvanceClock(100);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    EXPECT_TRUE(KillTimer(w, 7));
    EXPECT_FALSE(KillTimer(w, 7));
    plat::AdvanceClock(1000);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE));
    DestroyWindow(w);
}

TEST(Timers, SetFromAnotherThreadFiresOnTheOwnerThreadAndWakesGetMessage)
{
    VirtualClock clock(0);
    Clear();
    HWND w = TopWindow();
    Drain();
    std::thread worker([&] {
        SetTimer(w, 3, 500, nullptr);
        plat::AdvanceClock(500);
    });
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0 && msg.message != WM_TIMER)
        DispatchMessageW(&msg);
    worker.join();
    EXPECT_EQ(msg.hwnd, w);
    EXPECT_EQ(msg.wParam, 3u);
    DispatchMessageW(&msg);
    auto seen = Of(w, WM_TIMER);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].thread, std::this_thread::get_id());
    DestroyWindow(w);
}

TEST(Paint, ComesWhenTheQueueIsEmptyAndStopsOnceValidated)
{
    HWND w = TopWindow();
    Drain();
    InvalidateRect(w, nullptr, TRUE);
    PostMessageW(w, WM_USER, 0, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_PAINT);
    DispatchMessageW(&msg);  // the default procedure validates
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    DestroyWindow(w);
}

TEST(RegisterWindowMessage, SameNameSameNumberAnyCase)
{
    UINT a = RegisterWindowMessageW(L"QDK_COMMAND");
    EXPECT_GE(a, 0xC000u);
    EXPECT_EQ(RegisterWindowMessageW(L"qdk_command"), a);
    EXPECT_NE(RegisterWindowMessageW(L"OTHER"), a);
    EXPECT_EQ(RegisterWindowMessageW(L""), 0u);
}
