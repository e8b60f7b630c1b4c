// Window placement and state: visibility, enabling, position and size,
// text, window longs and the relations between windows.
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

BOOL IsWindow(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    return Find(hwnd) ? TRUE : FALSE;
}

BOOL IsWindowVisible(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    for (Window* w = Find(hwnd); w; w = Find(w->parent)) {
        if (!w->Visible())
            return FALSE;
        if (!w->parent)
            return TRUE;
    }
    return FALSE;
}

BOOL IsWindowEnabled(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    return w && w->Enabled() ? TRUE : FALSE;
}

BOOL IsChild(HWND parent, HWND hwnd)
{
    std::lock_guard lock(S().mu);
    return parent && hwnd && IsAncestor(parent, hwnd) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND hwnd, int command)
{
    bool wasVisible;
    bool show = command != SW_HIDE;
    bool activate = false;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        wasVisible = w->Visible();
        if (show) {
            w->style |= WS_VISIBLE;
            activate = !w->IsChildWindow() && command != SW_SHOWNA && command != SW_SHOWNOACTIVATE &&
                       command != SW_SHOWMINIMIZED && command != SW_MINIMIZE;
        } else {
            w->style &= ~WS_VISIBLE;
            if (S().focus == hwnd || IsAncestor(hwnd, S().focus))
                S().focus = nullptr;
        }
    }
    if (show && !wasVisible) {
        InvalidateRect(hwnd, nullptr, TRUE);
        std::vector<HWND> children;
        {
            std::lock_guard lock(S().mu);
            children = Find(hwnd) ? Find(hwnd)->children : std::vector<HWND>{};
        }
        for (HWND c : children)
            if (IsWindowVisible(c))
                InvalidateRect(c, nullptr, TRUE);
    }
    if (activate)
        Activate(hwnd);
    else if (!show && wasVisible)
        ActivateNext(hwnd);
    return wasVisible ? TRUE : FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable)
{
    bool wasDisabled;
    bool loseFocus = false;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        wasDisabled = !w->Enabled();
        if (enable) {
            w->style &= ~WS_DISABLED;
        } else {
            w->style |= WS_DISABLED;
            loseFocus = S().focus == hwnd || IsAncestor(hwnd, S().focus);
        }
    }
    if (loseFocus)
        SetFocus(nullptr);
    if (wasDisabled != !enable)
        SendMessageW(hwnd, 0x000A /* WM_ENABLE */, enable ? TRUE : FALSE, 0);
    return wasDisabled ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
    bool resized = false;
    bool activate = false;
    bool hide = false;
    bool show = false;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        RECT r = w->rect;
        if (flags & SWP_NOMOVE) {
            pos.x = r.left;
            pos.y = r.top;
        }
        if (flags & SWP_NOSIZE) {
            pos.cx = r.right - r.left;
            pos.cy = r.bottom - r.top;
        }
        pos.cx = std::max(pos.cx, 0);
        pos.cy = std::max(pos.cy, 0);
        if (pos.x == r.left && pos.y == r.top)
            pos.flags |= SWP_NOMOVE;
        if (pos.cx == r.right - r.left && pos.cy == r.bottom - r.top)
            pos.flags |= SWP_NOSIZE;
        resized = !(pos.flags & SWP_NOSIZE);
        w->rect = RECT{pos.x, pos.y, pos.x + pos.cx, pos.y + pos.cy};
        if (!(flags & SWP_NOZORDER)) {
            auto& siblings = w->parent && Find(w->parent) ? Find(w->parent)->children : S().topLevel;
            if (insertAfter == HWND_TOPMOST && !w->IsChildWindow()) {
                w->exStyle |= WS_EX_TOPMOST;
                RaiseTopLevel(hwnd);
            } else if (insertAfter == HWND_NOTOPMOST && !w->IsChildWindow()) {
                w->exStyle &= ~WS_EX_TOPMOST;
                RaiseTopLevel(hwnd);
            } else if (insertAfter == HWND_TOP) {
                RaiseTopLevel(hwnd);
            } else if (insertAfter == HWND_BOTTOM) {
                std::erase(siblings, hwnd);
                siblings.push_back(hwnd);
            } else if (Find(insertAfter) && insertAfter != hwnd) {
                std::erase(siblings, hwnd);
                auto at = std::find(siblings.begin(), siblings.end(), insertAfter);
                siblings.insert(at == siblings.end() ? at : at + 1, hwnd);
            }
        }
        if ((flags & SWP_SHOWWINDOW) && !w->Visible()) {
            w->style |= WS_VISIBLE;
            show = true;
        }
        if ((flags & SWP_HIDEWINDOW) && w->Visible()) {
            w->style &= ~WS_VISIBLE;
            hide = true;
        }
        activate = !(flags & SWP_NOACTIVATE) && !w->IsChildWindow() && w->Visible() && S().active != hwnd &&
                   !w->neverActive && !hide;
    }
    if (resized || show)
        InvalidateRect(hwnd, nullptr, TRUE);
    if (activate)
        Activate(hwnd);
    if (hide)
        ActivateNext(hwnd);
    SendMessageW(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL BringWindowToTop(HWND hwnd)
{
    return SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    POINT o = ScreenOrigin(*w);
    *rect = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w || !rect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenOrigin(*w);
    point->x += o.x;
    point->y += o.y;
    return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w || !point)
        return FALSE;
    POINT o = ScreenOrigin(*w);
    point->x -= o.x;
    point->y -= o.y;
    return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount)
{
    if (!text || maxCount <= 0)
        return 0;
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND hwnd)
{
    return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text)
{
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

LONG_PTR GetWindowLongW(HWND hwnd, int index)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (index) {
    case GWL_WNDPROC:
        return reinterpret_cast<LONG_PTR>(w->proc);
    case GWL_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(w->instance);
    case GWL_HWNDPARENT:
        return reinterpret_cast<LONG_PTR>(w->parent ? w->parent : w->owner);
    case GWL_STYLE:
        return static_cast<LONG_PTR>(w->style);
    case GWL_EXSTYLE:
        return static_cast<LONG_PTR>(w->exStyle);
    case GWL_USERDATA:
        return w->userData;
    case GWL_ID:
        return w->id;
    default:
        break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(1413);  // ERROR_INVALID_INDEX
        return 0;
    }
    LONG_PTR value;
    std::memcpy(&value, w->extra.data() + index, sizeof value);
    return value;
}

LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR old = 0;
    switch (index) {
    case GWL_WNDPROC:
        old = reinterpret_cast<LONG_PTR>(w->proc);
        if (w->thread != ThisThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return 0;
        }
        w->proc = value ? reinterpret_cast<WNDPROC>(value) : DefaultProc();
        return old;
    case GWL_STYLE:
        old = static_cast<LONG_PTR>(w->style);
        w->style = static_cast<DWORD>(value);
        return old;
    case GWL_EXSTYLE:
        old = static_cast<LONG_PTR>(w->exStyle);
        w->exStyle = static_cast<DWORD>(value);
        return old;
    case GWL_USERDATA:
        old = w->userData;
        w->userData = value;
        return old;
    case GWL_ID:
        old = w->id;
        w->id = value;
        return old;
    default:
        break;
    }
    if (index < 0 || static_cast<size_t>(index) + sizeof(LONG_PTR) > w->extra.size()) {
        SetLastError(1413);  // ERROR_INVALID_INDEX
        return 0;
    }
    std::memcpy(&old, w->extra.data() + index, sizeof old);
    std::memcpy(w->extra.data() + index, &value, sizeof value);
    return old;
}

HWND GetParent(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND GetWindow(HWND hwnd, UINT relation)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w)
        return nullptr;
    if (relation == GW_OWNER)
        return w->owner;
    if (relation == GW_CHILD)
        return w->children.empty() ? nullptr : w->children.front();
    auto& siblings = w->parent && Find(w->parent) ? Find(w->parent)->children : S().topLevel;
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (relation) {
    case GW_HWNDFIRST:
        return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST:
        return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT:
        return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return it == siblings.end() || it == siblings.begin() ? nullptr : *(it - 1);
    default:
        return nullptr;
    }
}

HWND FindWindowW(LPCWSTR className, LPCWSTR windowName)
{
    Started();
    SyncApplications();
    std::lock_guard lock(S().mu);
    std::wstring cls = className ? Lower(className) : L"";
    std::wstring title = windowName ? Lower(windowName) : L"";
    for (HWND h : S().topLevel) {
        Window* w = Find(h);
        if (!w || w->destroying)
            continue;
        if (className && Lower(w->cls->name) != cls)
            continue;
        if (windowName && Lower(w->text) != title)
            continue;
        return h;
    }
    return FindOtherProcessWindow(className, windowName);
}

BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam)
{
    if (!proc)
        return FALSE;
    Started();
    SyncApplications();
    std::vector<HWND> list;
    {
        std::lock_guard lock(S().mu);
        list = S().topLevel;
    }
    for (HWND h : list)
        if (IsWindow(h) && !proc(h, lParam))
            return FALSE;
    return TRUE;
}

