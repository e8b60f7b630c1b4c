// Window classes and objects: registration, creation, destruction and the
// default window procedure; the z-order and activation state they keep.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "plat/error.h"
#include "plat/message.h"
#include "plat/window.h"
#include "plat/gdi.h"
#include "compose.h"
#include "window_publish.h"
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
    if (!w->IsChildWindow())
        WithdrawWindow(hwnd);
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
    return reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(hwnd) & ~std::uintptr_t{3});
}

}  // namespace plat::wm

using namespace plat::wm;

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
    if (!IsWindow(hwnd))
        return nullptr;
    // The program's own top-level windows are seen by the other processes;
    // the stand-in applications of this process are not.
    if (!child && t_process == 0) {
        std::wstring cls, title;
        {
            std::lock_guard lock(s.mu);
            if (Window* w = Find(hwnd)) {
                cls = w->cls->name;
                title = w->text;
            }
        }
        PublishWindow(hwnd, cls, title);
    }
    return hwnd;
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
    plat::screen::ForgetBacking(hwnd);
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
        if (!w->IsChildWindow())
            RetitleWindow(hwnd, w->text);
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

