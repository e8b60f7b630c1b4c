// Shell pieces: the task bar (a window of a shell thread that lives from the
// window manager's start), full-screen requests, the input panel and menu
// bars with two soft keys.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>
#include <map>
#include <thread>

#include "plat/error.h"
#include "plat/gdi.h"
#include "plat/message.h"
#include "plat/shell.h"
#include "wm_internal.h"

using namespace plat::wm;

namespace {

constexpr const WCHAR* kMenuBarClass = L"menu_worker";
constexpr const WCHAR* kPopupMenuClass = L"menu_popup";
constexpr int kSipHeight = 80;

thread_local bool t_shellThread = false;

struct MenuBar {
    HWND parent = nullptr;  // the window it was created for
    std::vector<plat::MenuBarButton> buttons;
    int pressed = -1;
    HMENU menu = nullptr;  // of the first key with a menu
};

struct Menu {
    std::vector<plat::MenuItem> items;
    std::vector<UINT> flags;  // MF_GRAYED / MF_DISABLED per item
};

struct PopupMenu {
    HWND hwnd = nullptr;
    HMENU menu = nullptr;
    HWND target = nullptr;  // gets the chosen command
};

struct ShellRegistry {
    std::mutex mu;
    HWND taskBar = nullptr;
    plat::ShellState state{true, true, false};
    std::map<UINT, plat::MenuBarTemplate> templates;
    std::map<HWND, MenuBar> bars;
    std::map<UINT, plat::MenuTemplate> menuTemplates;
    std::map<HMENU, Menu> menus;
    std::uintptr_t nextMenu = 0x30000;
    PopupMenu popup;
};

ShellRegistry& Shell()
{
    static ShellRegistry* const shell = new ShellRegistry;
    return *shell;
}

int ButtonAt(HWND bar, size_t count, int x)
{
    RECT r;
    GetClientRect(bar, &r);
    int width = std::max<int>(r.right - r.left, 1);
    if (count == 0)
        return -1;
    int index = static_cast<int>(static_cast<size_t>(std::clamp(x, 0, width - 1)) * count / static_cast<size_t>(width));
    return index;
}

int FindButton(const MenuBar& bar, WPARAM which, DWORD mask)
{
    if (mask & TBIF_BYINDEX)
        return which < bar.buttons.size() ? static_cast<int>(which) : -1;
    for (size_t i = 0; i < bar.buttons.size(); ++i)
        if (static_cast<WPARAM>(bar.buttons[i].idCommand) == which)
            return static_cast<int>(i);
    return -1;
}

// Soft-key labels, each centred on its share of the bar; greyed while
// indeterminate or disabled.
void PaintBar(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    HBRUSH back = CreateSolidBrush(RGB(32, 32, 32));
    FillRect(dc, &r, back);
    DeleteObject(back);
    std::vector<plat::MenuBarButton> buttons;
    {
        std::lock_guard lock(Shell().mu);
        auto it = Shell().bars.find(hwnd);
        if (it != Shell().bars.end())
            buttons = it->second.buttons;
    }
    SetBkMode(dc, TRANSPARENT);
    int width = r.right - r.left;
    for (size_t i = 0; i < buttons.size(); ++i) {
        const plat::MenuBarButton& b = buttons[i];
        if (b.fsState & TBSTATE_HIDDEN)
            continue;
        bool grey = !(b.fsState & TBSTATE_ENABLED) || (b.fsState & TBSTATE_INDETERMINATE);
        SetTextColor(dc, grey ? RGB(128, 128, 128) : RGB(255, 255, 255));
        RECT key{static_cast<LONG>(static_cast<size_t>(width) * i / buttons.size()), r.top,
                 static_cast<LONG>(static_cast<size_t>(width) * (i + 1) / buttons.size()), r.bottom};
        DrawTextW(dc, b.text.c_str(), -1, &key, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    EndPaint(hwnd, &ps);
}

// Opens the menu above the bar on the key's share of the screen, one row per
// item, the last just above the bar.
void OpenMenu(HWND bar, HMENU menu, HWND target, int key, int keys)
{
    size_t rows;
    {
        std::lock_guard lock(Shell().mu);
        auto it = Shell().menus.find(menu);
        if (it == Shell().menus.end() || it->second.items.empty())
            return;
        rows = it->second.items.size();
    }
    HWND old = plat::OpenPopupMenu();
    if (old)
        DestroyWindow(old);
    RECT barRect;
    GetWindowRect(bar, &barRect);
    int width = barRect.right - barRect.left;
    int left = barRect.left + width * key / std::max(keys, 1);
    int right = barRect.left + width * (key + 1) / std::max(keys, 1);
    int height = static_cast<int>(rows) * plat::kMenuRowHeight;
    HWND popup = CreateWindowExW(WS_EX_TOPMOST, kPopupMenuClass, L"", WS_POPUP, left, barRect.top - height, right - left,
                                 height, nullptr, nullptr, nullptr, nullptr);
    if (!popup)
        return;
    SetNeverActive(popup);
    {
        std::lock_guard lock(Shell().mu);
        Shell().popup = PopupMenu{popup, menu, target};
    }
    ShowWindow(popup, SW_SHOWNA);
    SetCapture(popup);  // a tap elsewhere closes it
}

LRESULT PopupMenuProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ShellRegistry& shell = Shell();
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH back = CreateSolidBrush(RGB(240, 240, 240));
        FillRect(dc, &r, back);
        DeleteObject(back);
        Menu menu;
        {
            std::lock_guard lock(shell.mu);
            auto it = shell.menus.find(shell.popup.menu);
            if (shell.popup.hwnd == hwnd && it != shell.menus.end())
                menu = it->second;
        }
        SetBkMode(dc, TRANSPARENT);
        for (size_t i = 0; i < menu.items.size(); ++i) {
            bool grey = (menu.flags[i] & (MF_GRAYED | MF_DISABLED)) != 0;
            SetTextColor(dc, grey ? RGB(160, 160, 160) : RGB(0, 0, 0));
            RECT row{r.left + 6, static_cast<LONG>(i) * plat::kMenuRowHeight, r.right - 6,
                     static_cast<LONG>(i + 1) * plat::kMenuRowHeight};
            DrawTextW(dc, menu.items[i].text.c_str(), -1, &row, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        auto x = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        auto y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        RECT r;
        GetClientRect(hwnd, &r);
        bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
        UINT command = 0;
        HWND target = nullptr;
        bool greyed = false;
        if (inside) {
            std::lock_guard lock(shell.mu);
            auto it = shell.menus.find(shell.popup.menu);
            auto row = static_cast<size_t>(y / plat::kMenuRowHeight);
            if (it != shell.menus.end() && row < it->second.items.size()) {
                greyed = (it->second.flags[row] & (MF_GRAYED | MF_DISABLED)) != 0;
                command = it->second.items[row].id;
                target = shell.popup.target;
            }
        }
        if (greyed)
            return 0;
        DestroyWindow(hwnd);
        if (command && target)
            SendMessageW(target, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        return 0;
    }
    case WM_NCDESTROY: {
        {
            std::lock_guard lock(shell.mu);
            if (shell.popup.hwnd == hwnd)
                shell.popup = PopupMenu{};
        }
        if (GetCapture() == hwnd)
            ReleaseCapture();
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT MenuBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ShellRegistry& shell = Shell();
    switch (message) {
    case TB_GETBUTTONINFOW:
    case TB_SETBUTTONINFOW: {
        auto* info = reinterpret_cast<TBBUTTONINFOW*>(lParam);
        if (!info || info->cbSize < sizeof(TBBUTTONINFOW))
            return -1;
        std::unique_lock lock(shell.mu);
        auto it = shell.bars.find(hwnd);
        if (it == shell.bars.end())
            return -1;
        int index = FindButton(it->second, wParam, info->dwMask);
        if (index < 0)
            return message == TB_GETBUTTONINFOW ? -1 : FALSE;
        plat::MenuBarButton& b = it->second.buttons[static_cast<size_t>(index)];
        if (message == TB_GETBUTTONINFOW) {
            if (info->dwMask & TBIF_COMMAND)
                info->idCommand = b.idCommand;
            if (info->dwMask & TBIF_STATE)
                info->fsState = b.fsState;
            if (info->dwMask & TBIF_STYLE)
                info->fsStyle = b.fsStyle;
            if (info->dwMask & TBIF_IMAGE)
                info->iImage = -2;  // no image
            if (info->dwMask & TBIF_LPARAM)
                info->lParam = 0;
            if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
                size_t n = std::min(b.text.size(), static_cast<size_t>(info->cchText - 1));
                std::wmemcpy(info->pszText, b.text.c_str(), n);
                info->pszText[n] = 0;
            }
            return index;
        }
        if (info->dwMask & TBIF_COMMAND)
            b.idCommand = info->idCommand;
        if (info->dwMask & TBIF_STATE)
            b.fsState = info->fsState;
        if (info->dwMask & TBIF_STYLE)
            b.fsStyle = info->fsStyle;
        if ((info->dwMask & TBIF_TEXT) && info->pszText)
            b.text = info->pszText;
        lock.unlock();
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case WM_LBUTTONDOWN: {
        std::unique_lock lock(shell.mu);
        auto it = shell.bars.find(hwnd);
        if (it == shell.bars.end())
            return 0;
        MenuBar& bar = it->second;
        int index = ButtonAt(hwnd, bar.buttons.size(), static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))));
        if (index < 0)
            return 0;
        BYTE state = bar.buttons[static_cast<size_t>(index)].fsState;
        if (!(state & TBSTATE_ENABLED) || (state & (TBSTATE_INDETERMINATE | TBSTATE_HIDDEN)))
            return 0;
        bar.buttons[static_cast<size_t>(index)].fsState |= TBSTATE_PRESSED;
        bar.pressed = index;
        lock.unlock();
        SetCapture(hwnd);
        return 0;
    }
    case WM_LBUTTONUP: {
        std::unique_lock lock(shell.mu);
        auto it = shell.bars.find(hwnd);
        if (it == shell.bars.end() || it->second.pressed < 0)
            return 0;
        MenuBar& bar = it->second;
        auto pressed = static_cast<size_t>(bar.pressed);
        bar.pressed = -1;
        bar.buttons[pressed].fsState &= static_cast<BYTE>(~TBSTATE_PRESSED);
        int over = ButtonAt(hwnd, bar.buttons.size(), static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))));
        auto y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        int command = bar.buttons[pressed].idCommand;
        HWND target = bar.parent;
        HMENU menu = bar.buttons[pressed].menu ? bar.menu : nullptr;
        lock.unlock();
        ReleaseCapture();
        InvalidateRect(hwnd, nullptr, TRUE);
        RECT r;
        GetClientRect(hwnd, &r);
        if (over != static_cast<int>(pressed) || y < r.top || y >= r.bottom)
            return 0;
        if (menu)
            OpenMenu(hwnd, menu, target, static_cast<int>(pressed), static_cast<int>(bar.buttons.size()));
        else
            SendMessageW(target, WM_COMMAND, MAKEWPARAM(static_cast<DWORD>(command), 0), reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case SHCMBM_GETMENU: {
        std::lock_guard lock(shell.mu);
        auto it = shell.bars.find(hwnd);
        return it == shell.bars.end() ? 0 : reinterpret_cast<LRESULT>(it->second.menu);
    }
    case WM_PAINT:
        PaintBar(hwnd);
        return 0;
    case WM_NCDESTROY: {
        HWND popup = nullptr;
        {
            std::lock_guard lock(shell.mu);
            auto it = shell.bars.find(hwnd);
            if (it != shell.bars.end() && shell.popup.target == it->second.parent)
                popup = shell.popup.hwnd;
            shell.bars.erase(hwnd);
        }
        if (popup)
            DestroyWindow(popup);
        return 0;
    }
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void RunShellThread(std::promise<void>* ready)
{
    t_shellThread = true;
    HWND bar = CreateWindowExW(WS_EX_TOPMOST, kTaskBarClass, L"", WS_POPUP, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                               plat::kTaskBarHeight, nullptr, nullptr, nullptr, nullptr);
    SetNeverActive(bar);
    ShowWindow(bar, SW_SHOWNA);
    {
        std::lock_guard lock(Shell().mu);
        Shell().taskBar = bar;
    }
    ready->set_value();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
}

}  // namespace

namespace plat::wm {

void SetNeverActive(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    if (Window* w = Find(hwnd))
        w->neverActive = true;
}

void PlaceShellWindows()
{
    HWND taskBar, popup;
    std::vector<HWND> bars;
    {
        std::lock_guard lock(Shell().mu);
        taskBar = Shell().taskBar;
        popup = Shell().popup.hwnd;
        for (auto& [bar, data] : Shell().bars)
            bars.push_back(bar);
    }
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    if (taskBar)
        SetWindowPos(taskBar, nullptr, 0, 0, w, plat::kTaskBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    for (HWND bar : bars)
        SetWindowPos(bar, nullptr, 0, h - plat::kMenuBarHeight, w, plat::kMenuBarHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    // Its rows were placed for the other screen.
    if (popup)
        SendNotifyMessageW(popup, WM_CLOSE, 0, 0);
}

void RegisterShellClasses()
{
    WNDCLASSW taskBar{};
    taskBar.lpfnWndProc = &DefWindowProcW;
    taskBar.lpszClassName = kTaskBarClass;
    RegisterClassW(&taskBar);
    WNDCLASSW menuBar{};
    menuBar.lpfnWndProc = &MenuBarProc;
    menuBar.lpszClassName = kMenuBarClass;
    RegisterClassW(&menuBar);
    WNDCLASSW popup{};
    popup.lpfnWndProc = &PopupMenuProc;
    popup.lpszClassName = kPopupMenuClass;
    RegisterClassW(&popup);
}

void Started()
{
    if (t_shellThread)
        return;
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterDialogClasses();
        RegisterShellClasses();
        std::promise<void> ready;
        std::thread(RunShellThread, &ready).detach();
        ready.get_future().wait();
    });
}

}  // namespace plat::wm

BOOL SHFullScreen(HWND hwnd, DWORD state)
{
    Started();
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    HWND taskBar;
    int show = -1;
    {
        std::lock_guard lock(Shell().mu);
        plat::ShellState& s = Shell().state;
        if (state & SHFS_HIDETASKBAR) {
            s.taskBarShown = false;
            show = SW_HIDE;
        } else if (state & SHFS_SHOWTASKBAR) {
            s.taskBarShown = true;
            show = SW_SHOWNA;
        }
        if (state & SHFS_HIDESIPBUTTON)
            s.sipButtonShown = false;
        else if (state & SHFS_SHOWSIPBUTTON)
            s.sipButtonShown = true;
        taskBar = Shell().taskBar;
    }
    if (show >= 0 && taskBar)
        ShowWindow(taskBar, show);
    return TRUE;
}

BOOL SipShowIM(DWORD flags)
{
    bool shown = (flags & SIPF_ON) != 0, changed;
    {
        std::lock_guard lock(Shell().mu);
        changed = Shell().state.sipShown != shown;
        Shell().state.sipShown = shown;
    }
    // Windows lay themselves out again around the panel, as they learn of it.
    if (changed)
        EnumWindows(
            [](HWND hwnd, LPARAM) -> BOOL {
                PostMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
                return TRUE;
            },
            0);
    return TRUE;
}

BOOL SipGetInfo(SIPINFO* info)
{
    if (!info || info->cbSize != sizeof(SIPINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    bool shown;
    {
        std::lock_guard lock(Shell().mu);
        shown = Shell().state.sipShown;
    }
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    int sipTop = h - plat::kMenuBarHeight - kSipHeight;
    info->fdwFlags = SIPF_DOCKED | (shown ? SIPF_ON : 0);
    info->rcSipRect = RECT{0, sipTop, w, h - plat::kMenuBarHeight};
    info->rcVisibleDesktop = RECT{0, plat::kTaskBarHeight, w, shown ? sipTop : h - plat::kMenuBarHeight};
    info->dwImDataSize = 0;
    return TRUE;
}

BOOL SHHandleWMActivate(HWND, WPARAM, LPARAM, SHACTIVATEINFO*, DWORD) { return TRUE; }

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    Started();
    if (!info || info->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(info->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    MenuBar bar;
    bar.parent = info->hwndParent;
    if (!(info->dwFlags & SHCMBF_EMPTYBAR)) {
        std::lock_guard lock(Shell().mu);
        auto it = Shell().templates.find(info->nToolBarId);
        if (it == Shell().templates.end()) {
            SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
            return FALSE;
        }
        bar.buttons = it->second.buttons;
        for (const plat::MenuBarButton& b : bar.buttons) {
            auto m = Shell().menuTemplates.find(b.menu);
            if (!b.menu || m == Shell().menuTemplates.end())
                continue;
            bar.menu = reinterpret_cast<HMENU>(Shell().nextMenu++);
            Shell().menus[bar.menu] = Menu{m->second.items, std::vector<UINT>(m->second.items.size(), 0)};
            break;
        }
    }
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    HWND hwnd = CreateWindowExW(0, kMenuBarClass, L"", WS_POPUP, 0, h - plat::kMenuBarHeight, w, plat::kMenuBarHeight,
                                info->hwndParent, nullptr, info->hInstRes, nullptr);
    if (!hwnd)
        return FALSE;
    SetNeverActive(hwnd);
    {
        std::lock_guard lock(Shell().mu);
        Shell().bars[hwnd] = std::move(bar);
    }
    if (!(info->dwFlags & SHCMBF_HIDDEN))
        ShowWindow(hwnd, SW_SHOWNA);
    info->hwndMB = hwnd;
    return TRUE;
}

HWND SHFindMenuBar(HWND hwnd)
{
    std::lock_guard lock(Shell().mu);
    for (auto& [bar, data] : Shell().bars)
        if (data.parent == hwnd && hwnd)
            return bar;
    return nullptr;
}

namespace plat {

ShellState GetShellState()
{
    std::lock_guard lock(Shell().mu);
    return Shell().state;
}

void RegisterMenuBarTemplate(const MenuBarTemplate& bar)
{
    std::lock_guard lock(Shell().mu);
    Shell().templates[bar.id] = bar;
}

void RegisterMenuTemplate(const MenuTemplate& menu)
{
    std::lock_guard lock(Shell().mu);
    Shell().menuTemplates[menu.id] = menu;
}

HWND OpenPopupMenu()
{
    std::lock_guard lock(Shell().mu);
    return Shell().popup.hwnd;
}

}  // namespace plat

DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags)
{
    std::lock_guard lock(Shell().mu);
    auto it = Shell().menus.find(menu);
    if (it == Shell().menus.end())
        return 0xFFFFFFFF;
    Menu& m = it->second;
    size_t index = m.items.size();
    if (flags & MF_BYPOSITION) {
        index = item;
    } else {
        for (size_t i = 0; i < m.items.size(); ++i)
            if (m.items[i].id == item)
                index = i;
    }
    if (index >= m.items.size())
        return 0xFFFFFFFF;
    DWORD old = m.flags[index];
    m.flags[index] = flags & (MF_GRAYED | MF_DISABLED);
    return old;
}

BOOL DestroyMenu(HMENU menu)
{
    std::lock_guard lock(Shell().mu);
    if (Shell().menus.erase(menu) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    for (auto& [bar, data] : Shell().bars)
        if (data.menu == menu)
            data.menu = nullptr;
    return TRUE;
}
