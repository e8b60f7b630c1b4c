// Key and pen input: the low-level keyboard hook chain, hot keys, and the
// delivery of key and pen messages to the window that should get them.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "plat/debug.h"
#include "plat/error.h"
#include "plat/input.h"
#include "plat/message.h"
#include "wm_internal.h"

using namespace plat::wm;

namespace {

// A hook whose thread does not answer within this time is skipped for the
// event, as the platform does, so that input never hangs.
constexpr unsigned kHookTimeoutMs = 5000;

struct HookContext {
    std::vector<Hook> chain;
    size_t index = 0;
    bool active = false;
};
thread_local HookContext t_hook;

std::uintptr_t g_nextHook = 0x20000;

// The last pen-down, for double clicks of CS_DBLCLKS classes.
constexpr std::uint64_t kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 4;  // pixels either way
struct LastDown {
    HWND hwnd = nullptr;
    std::uint64_t at = 0;
    POINT pt{};
};
LastDown g_lastDown;  // under S().mu

LRESULT RunHookAt(const std::vector<Hook>& chain, size_t index, int code, WPARAM wParam, LPARAM lParam)
{
    while (index < chain.size()) {
        Hook hook = chain[index];
        Lock lock(S().mu);
        bool installed = std::any_of(S().hooks.begin(), S().hooks.end(),
                                     [&](const Hook& h) { return h.handle == hook.handle; });
        if (!installed) {
            ++index;
            continue;
        }
        auto call = [chain, index, hook, code, wParam, lParam]() -> LRESULT {
            HookContext saved = t_hook;
            t_hook = HookContext{chain, index, true};
            LRESULT result = hook.proc(code, wParam, lParam);
            t_hook = saved;
            return result;
        };
        bool ok = false;
        LRESULT result = CallOnThread(lock, hook.thread, call, &ok, kHookTimeoutMs);
        if (ok)
            return result;
        lock.unlock();
        plat::DebugLine(L"hook %p did not answer; skipped", static_cast<void*>(hook.handle));
        ++index;
    }
    return 0;
}

UINT CurrentModifiers(const State& s)
{
    UINT mods = 0;
    if (s.keyDown[VK_MENU])
        mods |= MOD_ALT;
    if (s.keyDown[VK_CONTROL])
        mods |= MOD_CONTROL;
    if (s.keyDown[VK_SHIFT])
        mods |= MOD_SHIFT;
    if (s.keyDown[VK_LWIN] || s.keyDown[VK_RWIN])
        mods |= MOD_WIN;
    return mods;
}

void KeyEvent(BYTE vk, DWORD scan, bool up, DWORD flags, ULONG_PTR extra)
{
    KBDLLHOOKSTRUCT record{vk, scan, flags | (up ? LLKHF_UP : 0), static_cast<DWORD>(NowMs()), extra};
    WPARAM message = up ? WM_KEYUP : WM_KEYDOWN;
    std::vector<Hook> chain;
    {
        std::lock_guard lock(S().mu);
        chain = S().hooks;
    }
    if (!chain.empty() && RunHookAt(chain, 0, HC_ACTION, message, reinterpret_cast<LPARAM>(&record)) != 0)
        return;  // swallowed

    State& s = S();
    std::lock_guard lock(s.mu);
    UINT mods = CurrentModifiers(s);
    s.keyDown[vk] = !up;
    for (const HotKey& k : s.hotKeys) {
        if (k.vk != vk || (k.modifiers & 0x0F) != mods)
            continue;
        if (((k.modifiers & MOD_KEYUP) != 0) == up) {
            auto q = k.hwnd ? (Find(k.hwnd) ? QueueOf(Find(k.hwnd)->thread) : nullptr) : QueueOf(k.thread);
            if (q)
                PostLocked(*q, MSG{k.hwnd, WM_HOTKEY, static_cast<WPARAM>(k.id),
                                   MAKELPARAM(k.modifiers, vk), record.time, s.pen});
        }
        return;  // a hot key's events never reach a window as keys
    }
    HWND target = Find(s.focus) ? s.focus : (Find(s.active) ? s.active : nullptr);
    if (!target)
        return;
    auto q = QueueOf(Find(target)->thread);
    if (!q)
        return;
    // Bits 16..23 carry the scan code; a VK_PACKET carries its character in 16..31.
    DWORD high = vk == VK_PACKET ? (scan & 0xFFFF) : (scan & 0xFF);
    auto lParam = static_cast<LPARAM>(static_cast<DWORD>(1u | (high << 16) | (up ? 0xC0000000u : 0u)));
    PostLocked(*q, MSG{target, static_cast<UINT>(message), vk, lParam, record.time, s.pen});
}

}  // namespace

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE, DWORD threadId)
{
    if (idHook != WH_KEYBOARD_LL) {
        SetLastError(1426);  // ERROR_INVALID_HOOK_FILTER
        return nullptr;
    }
    if (!proc) {
        SetLastError(1427);  // ERROR_INVALID_FILTER_PROC
        return nullptr;
    }
    if (threadId != 0) {
        SetLastError(1429);  // ERROR_GLOBAL_ONLY_HOOK
        return nullptr;
    }
    std::lock_guard lock(S().mu);
    CurrentQueue();
    auto handle = reinterpret_cast<HHOOK>(g_nextHook);
    g_nextHook += 4;
    S().hooks.insert(S().hooks.begin(), Hook{handle, proc, ThisThreadId()});
    return handle;
}

BOOL UnhookWindowsHookEx(HHOOK hook)
{
    std::lock_guard lock(S().mu);
    if (std::erase_if(S().hooks, [&](const Hook& h) { return h.handle == hook; }) == 0) {
        SetLastError(1404);  // ERROR_INVALID_HOOK_HANDLE
        return FALSE;
    }
    return TRUE;
}

LRESULT CallNextHookEx(HHOOK, int code, WPARAM wParam, LPARAM lParam)
{
    // The chain position is that of the hook running on this thread; the
    // handle argument is not needed (the handset passes null).
    if (!t_hook.active)
        return 0;
    std::vector<Hook> chain = t_hook.chain;
    return RunHookAt(chain, t_hook.index + 1, code, wParam, lParam);
}

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extraInfo)
{
    DWORD ll = LLKHF_INJECTED | ((flags & KEYEVENTF_EXTENDEDKEY) ? LLKHF_EXTENDED : 0);
    KeyEvent(vk, scan, (flags & KEYEVENTF_KEYUP) != 0, ll, extraInfo);
}

SHORT GetKeyState(int vk)
{
    if (vk < 0 || vk > 0xFF)
        return 0;
    std::lock_guard lock(S().mu);
    auto q = QueueOf(ThisThreadId());
    const bool* down = q ? q->keyDown : S().keyDown;
    return down[static_cast<size_t>(vk)] ? static_cast<SHORT>(0x8000) : 0;
}

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk)
{
    std::lock_guard lock(S().mu);
    if (hwnd && !Find(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    for (const HotKey& k : S().hotKeys) {
        if ((k.hwnd == hwnd && k.id == id && (hwnd || k.thread == ThisThreadId())) ||
            (k.vk == vk && k.modifiers == modifiers)) {
            SetLastError(1409);  // ERROR_HOTKEY_ALREADY_REGISTERED
            return FALSE;
        }
    }
    CurrentQueue();
    S().hotKeys.push_back(HotKey{hwnd, id, modifiers, vk, ThisThreadId()});
    return TRUE;
}

BOOL UnregisterHotKey(HWND hwnd, int id)
{
    std::lock_guard lock(S().mu);
    DWORD me = ThisThreadId();
    auto n = std::erase_if(S().hotKeys, [&](const HotKey& k) {
        return k.hwnd == hwnd && k.id == id && (hwnd || k.thread == me);
    });
    if (n == 0) {
        SetLastError(1419);  // ERROR_HOTKEY_NOT_REGISTERED
        return FALSE;
    }
    return TRUE;
}

namespace plat {

bool FindHotKey(UINT modifiers, UINT vk, HWND* holder, int* id)
{
    std::lock_guard lock(S().mu);
    for (const HotKey& k : S().hotKeys) {
        if (k.vk == vk && k.modifiers == modifiers) {
            if (holder)
                *holder = k.hwnd;
            if (id)
                *id = k.id;
            return true;
        }
    }
    return false;
}

void HardwareKey(BYTE vk, bool down) { KeyEvent(vk, 0, !down, 0, 0); }

void TypeText(std::wstring_view text)
{
    auto type = [](DWORD unit) {
        KeyEvent(VK_PACKET, unit, false, LLKHF_INJECTED, 0);
        KeyEvent(VK_PACKET, unit, true, LLKHF_INJECTED, 0);
    };
    // The panel types UTF-16 units: a character beyond 16 bits goes as a pair.
    for (wchar_t c : text) {
        auto code = static_cast<DWORD>(c);
        if (code > 0xFFFF && code <= 0x10FFFF) {
            type(0xD800 + ((code - 0x10000) >> 10));
            type(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            type(code & 0xFFFF);
        }
    }
}

void PenInput(Pen action, int x, int y)
{
    wm::Started();
    POINT pt{x, y};
    HWND target;
    HWND activate = nullptr;
    {
        std::lock_guard lock(S().mu);
        S().pen = pt;
        target = Find(S().capture) ? S().capture : PenTarget(pt);
        if (!target)
            return;
        HWND top = TopLevelOf(target);
        if (action == Pen::Down && top != S().active && !Find(top)->neverActive)
            activate = top;
    }
    if (activate)
        wm::Activate(activate);
    State& s = S();
    std::lock_guard lock(s.mu);
    Window* w = Find(target);
    auto q = w ? QueueOf(w->thread) : nullptr;
    if (!q)
        return;
    POINT origin = ScreenOrigin(*w);
    auto cx = static_cast<WORD>(static_cast<SHORT>(x - origin.x));
    auto cy = static_cast<WORD>(static_cast<SHORT>(y - origin.y));
    UINT message = action == Pen::Down ? WM_LBUTTONDOWN : action == Pen::Move ? WM_MOUSEMOVE : WM_LBUTTONUP;
    if (action == Pen::Down) {
        std::uint64_t now = NowMs();
        bool dbl = w->cls && (w->cls->wc.style & CS_DBLCLKS) && g_lastDown.hwnd == target &&
                   now - g_lastDown.at <= kDoubleClickMs && std::abs(x - g_lastDown.pt.x) <= kDoubleClickSlop &&
                   std::abs(y - g_lastDown.pt.y) <= kDoubleClickSlop;
        if (dbl) {
            message = WM_LBUTTONDBLCLK;
            g_lastDown = LastDown{};  // a third tap is a plain press again
        } else {
            g_lastDown = LastDown{target, now, pt};
        }
    }
    WPARAM keys = action == Pen::Up ? 0 : MK_LBUTTON;
    PostLocked(*q, MSG{target, message, keys, MAKELPARAM(cx, cy), static_cast<DWORD>(NowMs()), pt});
}

}  // namespace plat

namespace {
const HCURSOR kWaitCursor = reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(0x7F02));
std::atomic<HCURSOR> g_cursor{nullptr};
}  // namespace

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR cursorName)
{
    if (!instance && cursorName == IDC_WAIT)
        return kWaitCursor;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) { return g_cursor.exchange(cursor); }
