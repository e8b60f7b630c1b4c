// Redraw requests: coalescing into one queued WM_DRAW_SCREEN, synchronous
// paints, and the gates of the closing and blocked frame.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "main_frame_fixture.h"

namespace {

using MainFrameDrawRequests = MainFrameFixture;

int QueuedDraws()
{
    int count = 0;
    MSG msg;
    std::vector<MSG> others;
    while (PeekMessageW(&msg, nullptr, WM_DRAW_SCREEN, WM_DRAW_SCREEN, PM_REMOVE)) {
        ++count;
        others.push_back(msg);
    }
    for (const MSG& m : others)
        PostMessageW(m.hwnd, m.message, m.wParam, m.lParam);
    return count;
}

int Paints()
{
    int count = 0;
    for (const auto& call : doubles::Calls())
        count += call == "Preview::OnPaint()";
    return count;
}

TEST_F(MainFrameDrawRequests, RequestsCoalesceAndGatesDropThem)
{
    struct Case {
        const char* name;
        void (*setUp)(CMainFrame*);
        void (*requests)();
        int queuedBeforePump;
        int paints;
    };
    const Case cases[] = {
        {"three posts make one message and one paint", [](CMainFrame*) {},
         [] {
             CDrawEvent::PostMessage();
             CDrawEvent::PostMessage();
             CDrawEvent::PostMessage();
         },
         1, 1},
        {"a send takes the place of the queued post", [](CMainFrame*) {},
         [] {
             CDrawEvent::PostMessage();
             CDrawEvent::SendMessage();
         },
         1, 1},
        {"closing drops every request", [](CMainFrame* f) { f->m_bClosing = 1; },
         [] {
             CDrawEvent::PostMessage();
             CDrawEvent::SendMessage();
         },
         0, 0},
        {"blocked drawing drops every request", [](CMainFrame* f) { f->SetSurfaceDrawBlocked(1); },
         [] {
             CDrawEvent::PostMessage();
             CDrawEvent::SendMessage();
         },
         0, 0},
        {"the draw hold consumes without painting",
         [](CMainFrame*) { CSettings::GetInstance()->SetFlags(SETTINGS_FLAG_DRAW_HELD); },
         [] {
             CDrawEvent::PostMessage();
             CDrawEvent::PostMessage();
         },
         1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp(frame);
        doubles::Clear();
        c.requests();
        EXPECT_EQ(QueuedDraws(), c.queuedBeforePump);
        Pump();
        EXPECT_EQ(Paints(), c.paints);
        EXPECT_EQ(CDrawEvent::PendingCount(), 0);
        frame->m_bClosing = 0;
        frame->m_bSurfaceDrawBlocked = 0;
        CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
    }
}

TEST_F(MainFrameDrawRequests, AFailedPostLeavesNoStuckCount)
{
    CDrawEvent::Instance().SetHwnd(nullptr);  // start-up before the handle is handed over
    CDrawEvent::PostMessage();
    EXPECT_EQ(CDrawEvent::PendingCount(), 0);
    CDrawEvent::SendMessage();
    EXPECT_EQ(CDrawEvent::PendingCount(), 0);

    CDrawEvent::Instance().SetHwnd(hwnd);
    CDrawEvent::PostMessage();
    EXPECT_EQ(QueuedDraws(), 1) << "later requests are not swallowed";
    Pump();
    EXPECT_EQ(Paints(), 1);
}

TEST_F(MainFrameDrawRequests, WorkersNeverQueueMoreThanOneAndLoseNoRequest)
{
    constexpr int kWorkers = 8;
    constexpr int kRequests = 2000;
    std::atomic<int> running{kWorkers};
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&running] {
            for (int i = 0; i < kRequests; ++i)
                CDrawEvent::PostMessage();
            --running;
        });
    }
    int maxQueued = 0;
    auto drain = [&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_DRAW_SCREEN) {
                // While this one is out of the queue and not yet handled,
                // the count stays up: nothing else may be posted.
                maxQueued = std::max(maxQueued, 1 + QueuedDraws());
            }
            DispatchMessageW(&msg);
        }
    };
    while (running > 0)
        drain();
    for (auto& t : workers)
        t.join();
    drain();
    EXPECT_EQ(maxQueued, 1);
    EXPECT_EQ(CDrawEvent::PendingCount(), 0) << "every request was answered by a paint";
    EXPECT_GE(Paints(), 1);
    EXPECT_LE(Paints(), kWorkers * kRequests);
}

}  // namespace
