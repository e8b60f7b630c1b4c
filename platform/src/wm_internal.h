// The window manager's shared state. One mutex guards it all; window
// procedures, hooks and timer procedures always run with it released.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"

namespace plat::wm {

using Lock = std::unique_lock<std::mutex>;

DWORD ThisThreadId();
std::wstring Lower(std::wstring_view text);

struct Class {
    std::wstring name;
    WNDCLASSW wc{};
};

struct Window {
    HWND hwnd = nullptr;
    std::shared_ptr<Class> cls;
    WNDPROC proc = nullptr;
    HWND parent = nullptr;  // child windows
    HWND owner = nullptr;   // owned top-level windows
    std::vector<HWND> children;  // z-order, front first
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};  // in the parent's client area; on the screen for top-level windows
    std::wstring text;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    DWORD thread = 0;
    DWORD process = 0;  // another application's; 0: this program
    std::vector<BYTE> extra;
    bool destroying = false;
    bool invalid = false;
    bool erase = false;  // the next BeginPaint erases the background
    RECT update{};
    bool neverActive = false;  // shell windows: the task bar, menu bars
    bool workArea = false;     // kept in the work area when the screen turns

    bool Visible() const { return (style & WS_VISIBLE) != 0; }
    bool Enabled() const { return (style & WS_DISABLED) == 0; }
    bool IsChildWindow() const { return (style & WS_CHILD) != 0; }
};

struct Queue;

// A call that must run on another thread (a sent message, a hook).
struct SentItem {
    std::function<LRESULT()> call;
    LRESULT result = 0;
    bool done = false;
    bool abandoned = false;
    std::shared_ptr<Queue> replyTo;
};

struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT elapse;
    TIMERPROC proc;
    std::uint64_t due;
};

struct Queue {
    DWORD thread = 0;
    std::condition_variable cv;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentItem>> sent;
    std::vector<Timer> timers;
    bool quit = false;
    int quitCode = 0;
    bool dead = false;
    std::uint64_t wake = 0;  // bumped on every change a waiting thread must see
    MSG last{};
    // The keys as of the last key message this thread took, not as pressed
    // since: keys queued behind it must not change how it is read.
    bool keyDown[256]{};
};

struct Hook {
    HHOOK handle;
    HOOKPROC proc;
    DWORD thread;
};

struct HotKey {
    HWND hwnd;
    int id;
    UINT modifiers;
    UINT vk;
    DWORD thread;
};

struct State {
    std::mutex mu;
    std::unordered_map<HWND, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // z-order, front first
    std::map<std::wstring, std::shared_ptr<Class>> classes;  // by lower-case name
    std::unordered_map<DWORD, std::shared_ptr<Queue>> queues;
    std::vector<Hook> hooks;  // newest first
    std::vector<HotKey> hotKeys;
    HWND active = nullptr;
    HWND focus = nullptr;
    HWND capture = nullptr;
    std::uintptr_t nextHandle = 0x10000;
    DWORD orientation = DMDO_0;
    std::map<std::wstring, UINT> registeredMessages;
    UINT nextRegisteredMessage = 0xC000;
    bool keyDown[256]{};  // as pressed, for hot keys' modifiers
    POINT pen{};
};

State& S();

// Everything below: call with the lock held.
Window* Find(HWND hwnd);
std::shared_ptr<Queue> QueueOf(DWORD thread);
std::shared_ptr<Queue> CurrentQueue();
void Wake(Queue& queue);
HWND NewHandle();
bool IsAncestor(HWND ancestor, HWND hwnd);
HWND TopLevelOf(HWND hwnd);
POINT ScreenOrigin(const Window& w);
void PostLocked(Queue& queue, const MSG& msg);
void Took(Queue& queue, const MSG& msg);  // a message this thread removed from its queue
void RaiseTopLevel(HWND hwnd);  // to the front of its group, owned windows above it
void RemoveWindowFromState(HWND hwnd);
// Where a pen event at this screen point goes; null when nowhere.
HWND PenTarget(POINT pt);

// Lock released around the calls it makes.
void RunSent(Lock& lock, Queue& queue);
// Runs call on the given thread (directly when it is this one) and waits,
// handling calls sent to this thread meanwhile. ok = false when the thread
// is gone or the real-time limit (ms, 0 = none) passed.
LRESULT CallOnThread(Lock& lock, DWORD thread, std::function<LRESULT()> call, bool* ok, unsigned limitMs = 0);

// Without the lock.
// Windows this thread creates from now on belong to that process (a thread of
// another application).
void SetThreadProcess(DWORD process);
// Starts and ends the other applications as the registry declares them.
void SyncApplications();
// Registers the stock classes and creates the shell's windows, once.
void Started();
void RegisterDialogClasses();
void RegisterScrollBarClass();
void RegisterEditClass();
void RegisterListViewClass();
void RegisterShellClasses();
void SetNeverActive(HWND hwnd);
LRESULT CallWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void Activate(HWND hwnd);
void ActivateNext(HWND leaving);
std::uint64_t NowMs();
WNDPROC DefaultProc();
// The screen's size in the given display orientation.
int ScreenWidth(DWORD orientation);
int ScreenHeight(DWORD orientation);
// Below the task bar and above the menu bar, in the current orientation.
RECT WorkArea();
// The window is placed in the work area whenever the screen turns.
void KeepInWorkArea(HWND hwnd);
// The shell's own windows (task bar, menu bars) fitted to the screen; an
// open soft-key menu closes.
void PlaceShellWindows();
// After the display orientation changed: the shell's and the work-area
// windows re-placed, then every top-level window told (WM_SETTINGCHANGE).
void ScreenTurned();
// Drops the "hwnd | 1" mark some calls carry to ask for the owned popups too.
HWND Unmark(HWND hwnd);

}  // namespace plat::wm
