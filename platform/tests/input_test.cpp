#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "wm_helpers.h"

using namespace wmtest;

namespace {

struct HookSeen {
    DWORD vk;
    DWORD flags;
    WPARAM message;
    std::thread::id thread;
    int hook;
};

std::mutex g_hookLock;
std::vector<HookSeen> g_hookSeen;
DWORD g_swallow = 0;

LRESULT Record(int hook, int code, WPARAM wParam, LPARAM lParam)
{
    auto* record = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    {
        std::lock_guard lock(g_hookLock);
        g_hookSeen.push_back(HookSeen{record->vkCode, record->flags, wParam, std::this_thread::get_id(), hook});
    }
    if (code == HC_ACTION && hook == 1 && record->vkCode == g_swallow)  // the newer one only passes on
        return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT FirstHook(int code, WPARAM wParam, LPARAM lParam) { return Record(1, code, wParam, lParam); }
LRESULT SecondHook(int code, WPARAM wParam, LPARAM lParam) { return Record(2, code, wParam, lParam); }

std::vector<WPARAM> KeysOf(HWND w)
{
    std::vector<WPARAM> keys;
    MSG msg;
    while (PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        if (msg.message == WM_KEYDOWN)
            keys.push_back(msg.wParam);
    return keys;
}

}  // namespace

TEST(KeyboardHook, ASwallowedKeyNeverReachesTheWindowAndInjectedKeysPassTheHook)
{
    HWND w = TopWindow();
    Drain();
    g_hookSeen.clear();
    g_swallow = 'A';
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, &FirstHook, nullptr, 0);
    ASSERT_TRUE(hook);
    keybd_event('A', 0, 0, 0);
    keybd_event('A', 0, KEYEVENTF_KEYUP, 0);
    keybd_event('B', 0, 0, 0);
    plat::HardwareKey('C', true);
    EXPECT_EQ(KeysOf(w), (std::vector<WPARAM>{'B', 'C'}));
    ASSERT_EQ(g_hookSeen.size(), 4u);
    EXPECT_EQ(g_hookSeen[0].vk, static_cast<DWORD>('A'));
    EXPECT_EQ(g_hookSeen[0].flags & LLKHF_INJECTED, LLKHF_INJECTED);
    EXPECT_EQ(g_hookSeen[1].flags & LLKHF_UP, LLKHF_UP);
    EXPECT_EQ(g_hookSeen[1].message, WM_KEYUP);
    EXPECT_EQ(g_hookSeen[3].flags & LLKHF_INJECTED, 0u) << "a hardware key is not injected";
    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    EXPECT_FALSE(UnhookWindowsHookEx(hook));
    keybd_event('A', 0, 0, 0);
    EXPECT_EQ(KeysOf(w), (std::vector<WPARAM>{'A'})) << "no hook, no filter";
    DestroyWindow(w);
    Drain();
}

TEST(KeyboardHook, RunsOnTheInstallingThreadNewestFirstAndChainsOn)
{
    HWND w = TopWindow();
    Drain();
    g_hookSeen.clear();
    g_swallow = 'X';
    HHOOK first = SetWindowsHookExW(WH_KEYBOARD_LL, &FirstHook, nullptr, 0);
    HHOOK second = SetWindowsHookExW(WH_KEYBOARD_LL, &SecondHook, nullptr, 0);
    std::atomic<bool> done{false};
    std::thread driver([&] {
        plat::HardwareKey('X', true);  // swallowed by the older hook, after the newer one passed it on
        plat::HardwareKey('Y', true);
        done = true;
        PostMessageW(w, WM_NULL, 0, 0);
    });
    std::vector<WPARAM> keys;
    MSG msg;
    while (!done && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_KEYDOWN)
            keys.push_back(msg.wParam);
        DispatchMessageW(&msg);
    }
    driver.join();
    for (WPARAM k : KeysOf(w))
        keys.push_back(k);
    ASSERT_EQ(g_hookSeen.size(), 4u);
    EXPECT_EQ(g_hookSeen[0].hook, 2);
    EXPECT_EQ(g_hookSeen[1].hook, 1);
    for (const HookSeen& s : g_hookSeen)
        EXPECT_EQ(s.thread, std::this_thread::get_id());
    EXPECT_EQ(keys, (std::vector<WPARAM>{'Y'}));
    UnhookWindowsHookEx(first);
    UnhookWindowsHookEx(second);
    DestroyWindow(w);
    Drain();
}

TEST(KeyboardHook, OnlyTheLowLevelKeyboardHookIsOffered)
{
    EXPECT_EQ(SetWindowsHookExW(2, &FirstHook, nullptr, 0), nullptr);
    EXPECT_EQ(SetWindowsHookExW(WH_KEYBOARD_LL, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(SetWindowsHookExW(WH_KEYBOARD_LL, &FirstHook, nullptr, 1234), nullptr);
    EXPECT_EQ(CallNextHookEx(nullptr, HC_ACTION, 0, 0), 0) << "outside a hook there is no next one";
}

TEST(HotKeys, BecomeWmHotkeyToTheirOwnerOnTheirEdgeAndNeverKeys)
{
    HWND w = TopWindow();
    Drain();
    EXPECT_TRUE(RegisterHotKey(w, 2, 0, VK_F6));
    EXPECT_TRUE(RegisterHotKeyW(w, 0x40C1, MOD_WIN | MOD_KEYUP, VK_APP4));
    EXPECT_FALSE(RegisterHotKey(w, 2, 0, VK_F7)) << "the id is taken";
    EXPECT_FALSE(RegisterHotKey(w, 9, 0, VK_F6)) << "the key is taken";

    plat::HardwareKey(VK_F6, true);
    plat::HardwareKey(VK_F6, false);
    plat::HardwareKey(VK_APP4, true);  // no Windows key held: an ordinary key
    plat::HardwareKey(VK_APP4, false);
    plat::HardwareKey(VK_LWIN, true);
    plat::HardwareKey(VK_APP4, true);
    plat::HardwareKey(VK_APP4, false);
    plat::HardwareKey(VK_LWIN, false);

    std::vector<std::pair<UINT, WPARAM>> got;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (msg.message == WM_HOTKEY || msg.message == WM_KEYDOWN || msg.message == WM_KEYUP)
            got.emplace_back(msg.message, msg.wParam);
        else if (msg.message == WM_PAINT)
            ValidateRect(msg.hwnd, nullptr);
    using P = std::pair<UINT, WPARAM>;
    EXPECT_EQ(got, (std::vector<P>{{WM_HOTKEY, 2},
                                   {WM_KEYDOWN, VK_APP4},
                                   {WM_KEYUP, VK_APP4},
                                   {WM_KEYDOWN, VK_LWIN},
                                   {WM_HOTKEY, 0x40C1},
                                   {WM_KEYUP, VK_LWIN}}));
    EXPECT_TRUE(UnregisterHotKey(w, 2));
    EXPECT_FALSE(UnregisterHotKey(w, 2));
    DestroyWindow(w);  // takes its hot keys along
    EXPECT_TRUE(RegisterHotKey(nullptr, 3, MOD_WIN | MOD_KEYUP, VK_APP4));
    EXPECT_TRUE(UnregisterHotKey(nullptr, 3));
    Drain();
}

// A key message is read with the keys as they were when it came: the keyboard
// may have gone on long before the thread takes it.
TEST(KeyState, IsThatOfTheLastKeyMessageTheThreadTook)
{
    HWND w = TopWindow();
    Drain();
    keybd_event(VK_SHIFT, 0, 0, 0);
    keybd_event('A', 0, 0, 0);
    keybd_event(VK_SHIFT, 0, KEYEVENTF_KEYUP, 0);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0) << "no key taken yet";

    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE));
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0) << "a peek takes nothing";
    ASSERT_TRUE(PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);
    ASSERT_TRUE(PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    ASSERT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    EXPECT_LT(GetKeyState(VK_SHIFT), 0) << "shift was down when the A came";
    EXPECT_TRUE(TranslateMessage(&msg));
    ASSERT_TRUE(PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_CHAR);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A')) << "a capital";
    ASSERT_TRUE(PeekMessageW(&msg, w, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYUP);
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    DestroyWindow(w);
    Drain();
}
