// Common base of the service singletons: the main window they report to, and
// the one road to a redraw. Requests from any thread coalesce into at most
// one queued WM_DRAW_SCREEN; the paint itself runs on the GUI thread.
#pragma once

#include <atomic>
#include <cstdio>

#include "app_messages.h"
#include "plat/windows.h"

// What the draw requests need to know of the main frame, without depending
// on it: the frame installs itself as the gate.
class CDrawGate {
public:
    virtual bool IsClosing() const = 0;
    virtual bool IsDrawBlocked() const = 0;

protected:
    ~CDrawGate() = default;
};

class CDrawEvent {
public:
    CDrawEvent() = default;
    virtual ~CDrawEvent() = default;
    CDrawEvent(const CDrawEvent&) = delete;
    CDrawEvent& operator=(const CDrawEvent&) = delete;

    // The main window; logs when it is not (yet) a window and returns it anyway.
    virtual HWND GetHwnd() const
    {
        if (!IsWindow(hwnd_))
            plat::DebugLine(L"================== Window -_-;; ");
        return hwnd_;
    }
    void SetHwnd(HWND hwnd) { hwnd_ = hwnd; }

    // The object that carries the main window for the draw requests
    // (start-up hands it the handle with the other services).
    static CDrawEvent& Instance()
    {
        static CDrawEvent instance;
        return instance;
    }

    // Asynchronous redraw, from any thread: posts WM_DRAW_SCREEN only when
    // none is pending. Source and line name the caller in the blocked log.
    static void PostMessage(LPCWSTR source = L"", int line = 0)
    {
        if (!MayDraw(source, line))
            return;
        if (++Pending() != 1)
            return;  // the message already queued serves this request too
        HWND hwnd = Instance().GetHwnd();
        // A request that cannot be queued must not keep the count up, or
        // every later request would be swallowed.
        if (!IsWindow(hwnd) || !PostMessageW(hwnd, WM_DRAW_SCREEN, 0, 0))
            Pending().store(0);
    }

    // Synchronous redraw: the paint has happened when it returns (on the GUI
    // thread at once, from another thread after the GUI thread painted).
    static void SendMessage(LPCWSTR source = L"", int line = 0)
    {
        if (!MayDraw(source, line))
            return;
        ++Pending();
        HWND hwnd = Instance().GetHwnd();
        if (!IsWindow(hwnd)) {
            Pending().store(0);
            return;
        }
        SendMessageW(hwnd, WM_DRAW_SCREEN, 0, 0);
    }

    // The pending count; the draw handler takes it (exchange with 0).
    static LONG PendingCount() { return Pending().load(); }
    static LONG TakePending() { return Pending().exchange(0); }

    static void InstallGate(const CDrawGate* gate) { Gate().store(gate); }

private:
    static std::atomic<LONG>& Pending()
    {
        static std::atomic<LONG> pending{0};
        return pending;
    }
    static std::atomic<const CDrawGate*>& Gate()
    {
        static std::atomic<const CDrawGate*> gate{nullptr};
        return gate;
    }
    // False when the request must be dropped: the frame is closing, or
    // drawing to the surfaces is blocked.
    static bool MayDraw(LPCWSTR source, int line)
    {
        const CDrawGate* gate = Gate().load();
        if (!gate)
            return true;
        if (gate->IsClosing())
            return false;
        if (gate->IsDrawBlocked()) {
            WCHAR text[300];
            std::swprintf(text, 300, L"[LumOCR] Draw PostMsg Blocked[%ls][%d]\n", source ? source : L"", line);
            OutputDebugStringW(text);
            return false;
        }
        return true;
    }

    HWND hwnd_ = nullptr;
};
