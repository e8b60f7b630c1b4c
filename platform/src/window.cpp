// Window classes and objects: creation and destruction, placement and
// z-order, activation, focus, capture, and the screen's metrics.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "plat/error.h"
#include "plat/message.h"
#include "plat/window.h"
#include "plat/gdi.h"
#include "wm_internal.h"

namespace plat::wm {

namespace {
thread_local DWORD t_process = 0;
}

void SetThreadProcess(DWORD process) { t_process = process; }

HWND NewHandle()
{
    // Multiples of 4: the handset's "hwnd | 1" forms can be masked back.
    HWND hwnd = reinterpret_cast<HWND>(S().nextHandle);
    S().nextHandle += 4;
    return hwnd;
}

bool IsAncestor(HWND ancestor, HWND hwnd)
{
    Window* w = Find(hwnd);
    while (w && w->parent) {
        if (w->parent == ancestor)
            return true;
        w = Find(w->parent);
    }
    return false;
}

HWND TopLevelOf(HWND hwnd)
{
    Window* w = Find(hwnd);
    while (w && w->parent && Find(w->parent))
        w = Find(w->parent);
    return w ? w->hwnd : nullptr;
}

POINT ScreenOrigin(const Window& w)
{
    POINT p{w.rect.left, w.rect.top};
    for (Window* up = Find(w.parent); up; up = Find(up->parent)) {
        p.x += up->rect.left;
        p.y += up->rect.top;
    }
    return p;
}

namespace {

std::vector<HWND>& SiblingsOf(Window& w)
{
    if (Window* p = Find(w.parent))
        return p->children;
    return S().topLevel;
}

void PlaceInZOrder(Window& w, std::vector<HWND>& list, bool front)
{
    std::erase(list, w.hwnd);
    bool topmost = !w.IsChildWindow() && (w.exStyle & WS_EX_TOPMOST);
    auto pos = list.begin();
    if (!w.IsChildWindow() && !topmost) {
        // Below every topmost window.
        while (pos != list.end() && Find(*pos) && (Find(*pos)->exStyle & WS_EX_TOPMOST))
            ++pos;
    }
    if (!front) {
        pos = list.end();
        if (topmost)
            pos = std::find_if(list.begin(), list.end(),
                               [](HWND h) { return Find(h) && !(Find(h)->exStyle & WS_EX_TOPMOST); });
    }
    list.insert(pos, w.hwnd);
}

}  // namespace

void RaiseTopLevel(HWND hwnd)
{
    Window* w = Find(hwnd);
    if (!w)
        return;
    PlaceInZOrder(*w, SiblingsOf(*w), true);
    if (w->IsChildWindow())
        return;
    // Owned windows stay above their owner.
    std::vector<HWND> owned;
    for (HWND h : S().topLevel)
        if (Find(h) && Find(h)->owner == hwnd)
            owned.push_back(h);
    for (auto it = owned.rbegin(); it != owned.rend(); ++it)
        RaiseTopLevel(*it);
}

void RemoveWindowFromState(HWND hwnd)
{
    State& s = S();
    Window* w = Find(hwnd);
    if (!w)
        return;
    for (HWND child : std::vector<HWND>(w->children))
        RemoveWindowFromState(child);
    std::erase(SiblingsOf(*w), hwnd);
    if (auto q = QueueOf(w->thread)) {
        std::erase_if(q->timers, [&](const Timer& t) { return t.hwnd == hwnd; });
        std::erase_if(q->posted, [&](const MSG& m) { return m.hwnd == hwnd; });
    }
    std::erase_if(s.hotKeys, [&](const HotKey& k) { return k.hwnd == hwnd; });
    for (auto& [h, other] : s.windows)
        if (other->owner == hwnd)
            other->owner = nullptr;
    if (s.focus == hwnd)
        s.focus = nullptr;
    if (s.capture == hwnd)
        s.capture = nullptr;
    if (s.active == hwnd)
        s.active = nullptr;
    s.windows.erase(hwnd);
}

void Activate(HWND hwnd)
{
    HWND old;
    {
        std::lock_guard lock(S().mu);
        State& s = S();
        hwnd = TopLevelOf(hwnd);
        if (hwnd) {
            RaiseTopLevel(hwnd);
            if (Find(hwnd)->neverActive)
                return;
        }
        old = s.active;
        if (old == hwnd)
            return;
        s.active = hwnd;
    }
    if (old)
        SendMessageW(old, WM_ACTIVATE, MAKEWPARAM(WA_INACTIVE, 0), reinterpret_cast<LPARAM>(hwnd));
    if (hwnd)
        SendMessageW(hwnd, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 0), reinterpret_cast<LPARAM>(old));
}

void ActivateNext(HWND leaving)
{
    HWND next = nullptr;
    {
        std::lock_guard lock(S().mu);
        State& s = S();
        if (s.active && s.active != leaving && Find(s.active))
            return;
        auto usable = [&](HWND h) {
            Window* w = Find(h);
            return w && h != leaving && w->Visible() && w->Enabled() && !w->destroying && !w->neverActive;
        };
        Window* l = Find(leaving);
        if (l && usable(l->owner))
            next = l->owner;
        for (HWND h : s.topLevel) {
            if (next)
                break;
            if (usable(h))
                next = h;
        }
        if (!next) {
            s.active = nullptr;
            return;
        }
    }
    Activate(next);
}

}  // namespace plat::wm

using namespace plat::wm;

namespace {

WNDPROC DefaultProc() { return &DefWindowProcW; }

int ScreenWidth(DWORD orientation)
{
    return orientation == DMDO_90 || orientation == DMDO_270 ? plat::kPanelHeight : plat::kPanelWidth;
}

int ScreenHeight(DWORD orientation)
{
    return orientation == DMDO_90 || orientation == DMDO_270 ? plat::kPanelWidth : plat::kPanelHeight;
}

HWND Unmark(HWND hwnd)
{
    // The handset passes "hwnd | 1" to some calls to ask for the owned popups too.
    return reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t{3});
}

}  // namespace

ATOM RegisterClassW(const WNDCLASSW* wndClass)
{
    if (!wndClass || !wndClass->lpszClassName || !*wndClass->lpszClassName || wndClass->cbWndExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    State& s = S();
    std::lock_guard lock(s.mu);
    std::wstring key = Lower(wndClass->lpszClassName);
    if (s.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<Class>();
    cls->name = wndClass->lpszClassName;
    cls->wc = *wndClass;
    cls->wc.lpszClassName = cls->name.c_str();
    cls->wc.lpszMenuName = nullptr;
    s.classes.emplace(key, cls);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE)
{
    if (!className)
        return FALSE;
    State& s = S();
    std::lock_guard lock(s.mu);
    std::wstring key = Lower(className);
    auto it = s.classes.find(key);
    if (it == s.classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    for (auto& [h, w] : s.windows)
        if (w->cls == it->second) {
            SetLastError(1412);  // ERROR_CLASS_HAS_WINDOWS
            return FALSE;
        }
    s.classes.erase(it);
    return TRUE;
}

BOOL GetClassInfoW(HINSTANCE, LPCWSTR className, LPWNDCLASSW wndClass)
{
    if (!className || !wndClass)
        return FALSE;
    std::lock_guard lock(S().mu);
    auto it = S().classes.find(Lower(className));
    if (it == S().classes.end()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    *wndClass = it->second->wc;
    return TRUE;
}

int GetClassNameW(HWND hwnd, LPWSTR name, int maxCount)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    if (!w || !name || maxCount <= 0)
        return 0;
    std::wstring n = w->cls->name.substr(0, static_cast<size_t>(maxCount - 1));
    std::wmemcpy(name, n.c_str(), n.size() + 1);
    return static_cast<int>(n.size());
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    Started();
    State& s = S();
    HWND hwnd;
    bool child = (style & WS_CHILD) != 0;
    {
        std::lock_guard lock(s.mu);
        if (!className) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        auto it = s.classes.find(Lower(className));
        if (it == s.classes.end()) {
            SetLastError(1407);  // ERROR_CANNOT_FIND_WND_CLASS
            return nullptr;
        }
        if (parent && !Find(parent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        if (child && !parent) {
            SetLastError(1406);  // ERROR_TLW_WITH_WSCHILD
            return nullptr;
        }
        CurrentQueue();
        auto w = std::make_unique<Window>();
        hwnd = NewHandle();
        w->hwnd = hwnd;
        w->cls = it->second;
        w->proc = w->cls->wc.lpfnWndProc ? w->cls->wc.lpfnWndProc : DefaultProc();
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        w->text = windowName ? windowName : L"";
        w->instance = instance;
        w->thread = ThisThreadId();
        w->process = t_process;
        w->extra.assign(static_cast<size_t>(w->cls->wc.cbWndExtra), 0);
        int sw = ScreenWidth(s.orientation), sh = ScreenHeight(s.orientation);
        if (x == CW_USEDEFAULT) {
            x = 0;
            y = child ? 0 : 0;
        }
        if (width == CW_USEDEFAULT) {
            width = child ? 0 : sw;
            height = child ? 0 : sh;
        }
        w->rect = RECT{x, y, x + std::max(width, 0), y + std::max(height, 0)};
        if (child) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
            Find(parent)->children.insert(Find(parent)->children.begin(), hwnd);
        } else {
            w->owner = parent ? TopLevelOf(parent) : nullptr;
        }
        Window* raw = w.get();
        s.windows.emplace(hwnd, std::move(w));
        if (!child)
            PlaceInZOrder(*raw, s.topLevel, true);
    }
    CREATESTRUCTW cs{param,
                     instance,
                     menu,
                     parent,
                     height,
                     width,
                     y,
                     x,
                     static_cast<LONG>(style),
                     windowName,
                     className,
                     exStyle};
    if (CallWindow(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
        DestroyWindow(hwnd);
        SetLastError(1400);
        return nullptr;
    }
    RECT r;
    if (!GetWindowRect(hwnd, &r))
        return nullptr;  // destroyed while being created
    CallWindow(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, child ? SW_SHOWNA : SW_SHOW);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

namespace {

void SendDestroy(HWND hwnd)
{
    CallWindow(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard lock(S().mu);
        if (Window* w = Find(hwnd))
            children = w->children;
    }
    for (HWND child : children) {
        {
            std::lock_guard lock(S().mu);
            Window* c = Find(child);
            if (!c || c->destroying)
                continue;
            c->destroying = true;
        }
        SendDestroy(child);
    }
}

void SendNcDestroy(HWND hwnd)
{
    std::vector<HWND> children;
    {
        std::lock_guard lock(S().mu);
        if (Window* w = Find(hwnd))
            children = w->children;
    }
    for (HWND child : children)
        SendNcDestroy(child);
    CallWindow(hwnd, WM_NCDESTROY, 0, 0);
    std::lock_guard lock(S().mu);
    RemoveWindowFromState(hwnd);
}

}  // namespace

BOOL DestroyWindow(HWND hwnd)
{
    std::vector<HWND> owned;
    bool wasActive;
    {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->thread != ThisThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->destroying)
            return TRUE;
        w->destroying = true;
        for (HWND h : S().topLevel)
            if (Find(h)->owner == hwnd)
                owned.push_back(h);
        wasActive = S().active == hwnd;
        w->style &= ~WS_VISIBLE;
        if (S().focus == hwnd || IsAncestor(hwnd, S().focus))
            S().focus = nullptr;
        if (S().capture == hwnd || IsAncestor(hwnd, S().capture))
            S().capture = nullptr;
    }
    for (HWND h : owned)
        DestroyWindow(h);
    if (wasActive)
        ActivateNext(hwnd);
    SendDestroy(hwnd);
    SendNcDestroy(hwnd);
    {
        std::lock_guard lock(S().mu);
        if (S().active == hwnd)
            S().active = nullptr;
    }
    return TRUE;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_ERASEBKGND: {
        // The class's background brush, if it has one.
        HBRUSH brush = nullptr;
        {
            std::lock_guard lock(S().mu);
            if (Window* w = Find(hwnd); w && w->cls)
                brush = w->cls->wc.hbrBackground;
        }
        RECT client;
        if (brush && GetClientRect(hwnd, &client))
            FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
        return 1;
    }
    case WM_SETTEXT: {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        if (!w)
            return FALSE;
        auto text = reinterpret_cast<LPCWSTR>(lParam);
        w->text = text ? text : L"";
        return TRUE;
    }
    case WM_GETTEXT: {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        auto out = reinterpret_cast<LPWSTR>(lParam);
        if (!w || !out || wParam == 0)
            return 0;
        size_t n = std::min(w->text.size(), static_cast<size_t>(wParam - 1));
        std::wmemcpy(out, w->text.c_str(), n);
        out[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        std::lock_guard lock(S().mu);
        Window* w = Find(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != hwnd && !IsChild(hwnd, focus))
                SetFocus(hwnd);
        }
        return 0;
    case WM_WINDOWPOSCHANGED: {
        auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (!pos)
            return 0;
        if (!(pos->flags & SWP_NOSIZE))
            SendMessageW(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(pos->cx, pos->cy));
        if (!(pos->flags & SWP_NOMOVE))
            SendMessageW(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
        return 0;
    }
    default:
        return 0;
    }
}

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
    return nullptr;
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

HWND GetDesktopWindow() { return nullptr; }

int GetSystemMetrics(int index)
{
    DWORD o = plat::DisplayOrientation();
    switch (index) {
    case SM_CXSCREEN:
    case SM_CXFULLSCREEN:
        return ScreenWidth(o);
    case SM_CYSCREEN:
        return ScreenHeight(o);
    case SM_CYFULLSCREEN:
        return ScreenHeight(o) - 26;
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return 13;
    case SM_CYCAPTION:
    case SM_CYMENU:
        return 26;
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXICON:
    case SM_CYICON:
        return 32;
    default:
        return 0;
    }
}

COLORREF GetSysColor(int index)
{
    switch (index & ~SYS_COLOR_INDEX_FLAG) {
    case 0:  // scroll bar
        return RGB(200, 200, 200);
    case 1:  // background
        return RGB(0, 0, 0);
    case 2:  // active caption
    case 13:  // highlight
        return RGB(0, 97, 206);
    case 3:  // inactive caption
        return RGB(128, 128, 128);
    case 4:  // menu
    case 5:  // window
    case 25:  // static
        return RGB(255, 255, 255);
    case 9:  // caption text
    case 14:  // highlight text
    case 20:  // button highlight
        return RGB(255, 255, 255);
    case 15:  // button face
        return RGB(213, 210, 202);
    case 16:  // button shadow
    case 17:  // grey text
        return RGB(128, 128, 128);
    default:  // the text colours and frames
        return RGB(0, 0, 0);
    }
}

LONG ChangeDisplaySettingsEx(LPCWSTR, LPDEVMODEW mode, HWND, DWORD flags, LPVOID)
{
    if (!mode)
        return DISP_CHANGE_BADPARAM;
    std::lock_guard lock(S().mu);
    if (flags & CDS_TEST) {
        if (mode->dmFields & DM_DISPLAYORIENTATION)
            mode->dmDisplayOrientation = S().orientation;
        if (mode->dmFields & DM_DISPLAYQUERYORIENTATION)
            mode->dmDisplayOrientation = DMDO_90 | DMDO_180 | DMDO_270;
        return DISP_CHANGE_SUCCESSFUL;
    }
    if (!(mode->dmFields & DM_DISPLAYORIENTATION))
        return DISP_CHANGE_BADPARAM;
    DWORD o = mode->dmDisplayOrientation;
    if (o != DMDO_0 && o != DMDO_90 && o != DMDO_180 && o != DMDO_270)
        return DISP_CHANGE_BADMODE;
    S().orientation = o;
    return DISP_CHANGE_SUCCESSFUL;
}

namespace plat {

DWORD DisplayOrientation()
{
    std::lock_guard lock(wm::S().mu);
    return wm::S().orientation;
}

}  // namespace plat
