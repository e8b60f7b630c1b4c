// Which window the user reaches: the window at a point, the foreground and
// active windows, keyboard focus and pen capture.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "plat/error.h"
#include "plat/message.h"
#include "plat/window.h"
#include "plat/gdi.h"
#include "window_publish.h"
#include "wm_internal.h"

using namespace plat::wm;

namespace {

// The topmost visible window at a screen point: the deepest visible child,
// skipping disabled children; a disabled top-level window hides what lies
// under it. Lock held.
HWND HitTest(POINT pt, bool* disabled)
{
    *disabled = false;
    auto contains = [](const RECT& r, POINT p) {
        return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
    };
    for (HWND h : S().topLevel) {
        Window* w = Find(h);
        if (!w || !w->Visible() || w->destroying || !contains(w->rect, pt))
            continue;
        if (!w->Enabled()) {
            *disabled = true;
            return h;
        }
        POINT local{pt.x - w->rect.left, pt.y - w->rect.top};
        for (bool descended = true; descended;) {
            descended = false;
            for (HWND c : w->children) {
                Window* cw = Find(c);
                if (cw && cw->Visible() && cw->Enabled() && !cw->destroying && contains(cw->rect, local)) {
                    local.x -= cw->rect.left;
                    local.y -= cw->rect.top;
                    w = cw;
                    descended = true;
                    break;
                }
            }
        }
        return w->hwnd;
    }
    return nullptr;
}

}  // namespace

namespace plat::wm {

HWND PenTarget(POINT pt)
{
    bool disabled;
    HWND h = HitTest(pt, &disabled);
    return disabled ? nullptr : h;
}

}  // namespace plat::wm

HWND WindowFromPoint(POINT point)
{
    Started();
    std::lock_guard lock(S().mu);
    return PenTarget(point);
}

DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return 0;
    if (processId)
        *processId = w->process ? w->process : static_cast<DWORD>(::getpid());
    return w->thread;
}

BOOL SetForegroundWindow(HWND hwnd)
{
    hwnd = Unmark(hwnd);
    if (IsOtherProcessWindow(hwnd))
        return BringOtherProcessWindowForward(hwnd);
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w || w->destroying)
            return FALSE;
    }
    Activate(hwnd);
    return TRUE;
}

HWND GetForegroundWindow()
{
    std::lock_guard lock(S().mu);
    return S().active;
}

HWND GetActiveWindow()
{
    std::lock_guard lock(S().mu);
    Window* w = Find(S().active);
    return w && w->thread == ThisThreadId() ? S().active : nullptr;
}

HWND SetActiveWindow(HWND hwnd)
{
    HWND old = GetActiveWindow();
    if (hwnd && !IsWindow(hwnd))
        return nullptr;
    Activate(hwnd);
    return old;
}

HWND SetFocus(HWND hwnd)
{
    HWND top = nullptr;
    {
        std::lock_guard lock(S().mu);
        if (hwnd && !Find(hwnd)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (hwnd && S().active != TopLevelOf(hwnd))
            top = TopLevelOf(hwnd);
    }
    if (top)
        Activate(top);
    HWND old;
    {
        std::lock_guard lock(S().mu);
        if (hwnd && !Find(hwnd))
            return nullptr;
        old = S().focus;
        if (old == hwnd)
            return old;
        S().focus = hwnd;
    }
    if (old && IsWindow(old))
        SendMessageW(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && IsWindow(hwnd))
        SendMessageW(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus()
{
    std::lock_guard lock(S().mu);
    Window* w = Find(S().focus);
    return w && w->thread == ThisThreadId() ? S().focus : nullptr;
}

HWND SetCapture(HWND hwnd)
{
    HWND old;
    {
        std::lock_guard lock(S().mu);
        if (hwnd && !Find(hwnd))
            return nullptr;
        old = S().capture;
        S().capture = hwnd;
    }
    if (old && old != hwnd)
        SendMessageW(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

BOOL ReleaseCapture()
{
    HWND old;
    {
        std::lock_guard lock(S().mu);
        old = S().capture;
        S().capture = nullptr;
    }
    if (old)
        SendMessageW(old, WM_CAPTURECHANGED, 0, 0);
    return TRUE;
}

HWND GetCapture()
{
    std::lock_guard lock(S().mu);
    return S().capture;
}

