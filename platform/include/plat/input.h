// Input: the low-level keyboard hook chain, injected keys, hot keys and pen
// input. Every key event runs the hook chain on the thread that installed
// each hook before it reaches any queue.
#pragma once

#include <string_view>

#include "plat/types.h"
#include "plat/window.h"

using HOOKPROC = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);

struct KBDLLHOOKSTRUCT {
    DWORD vkCode;
    DWORD scanCode;
    DWORD flags;
    DWORD time;
    ULONG_PTR dwExtraInfo;
};
using PKBDLLHOOKSTRUCT = KBDLLHOOKSTRUCT*;

inline constexpr int WH_KEYBOARD_LL = 20;
inline constexpr int HC_ACTION = 0;
inline constexpr DWORD LLKHF_EXTENDED = 0x01;
inline constexpr DWORD LLKHF_INJECTED = 0x10;
inline constexpr DWORD LLKHF_ALTDOWN = 0x20;
inline constexpr DWORD LLKHF_UP = 0x80;

inline constexpr DWORD KEYEVENTF_EXTENDEDKEY = 0x0001;
inline constexpr DWORD KEYEVENTF_KEYUP = 0x0002;

inline constexpr UINT MOD_ALT = 0x0001;
inline constexpr UINT MOD_CONTROL = 0x0002;
inline constexpr UINT MOD_SHIFT = 0x0004;
inline constexpr UINT MOD_WIN = 0x0008;
inline constexpr UINT MOD_KEYUP = 0x1000;

// Virtual keys the system and the scenario name.
inline constexpr BYTE VK_LBUTTON = 0x01;
inline constexpr BYTE VK_BACK = 0x08;
inline constexpr BYTE VK_TAB = 0x09;
inline constexpr BYTE VK_RETURN = 0x0D;
inline constexpr BYTE VK_SHIFT = 0x10;
inline constexpr BYTE VK_CONTROL = 0x11;
inline constexpr BYTE VK_MENU = 0x12;
inline constexpr BYTE VK_ESCAPE = 0x1B;
inline constexpr BYTE VK_SPACE = 0x20;
inline constexpr BYTE VK_PRIOR = 0x21;
inline constexpr BYTE VK_NEXT = 0x22;
inline constexpr BYTE VK_END = 0x23;
inline constexpr BYTE VK_HOME = 0x24;
inline constexpr BYTE VK_LEFT = 0x25;
inline constexpr BYTE VK_UP = 0x26;
inline constexpr BYTE VK_RIGHT = 0x27;
inline constexpr BYTE VK_DOWN = 0x28;
inline constexpr BYTE VK_DELETE = 0x2E;
inline constexpr BYTE VK_LWIN = 0x5B;
inline constexpr BYTE VK_RWIN = 0x5C;
inline constexpr BYTE VK_F1 = 0x70;
inline constexpr BYTE VK_F2 = 0x71;
inline constexpr BYTE VK_F3 = 0x72;
inline constexpr BYTE VK_F4 = 0x73;
inline constexpr BYTE VK_F5 = 0x74;
inline constexpr BYTE VK_F6 = 0x75;
inline constexpr BYTE VK_F7 = 0x76;
inline constexpr BYTE VK_F8 = 0x77;
inline constexpr BYTE VK_ACTION = 0x86;
inline constexpr BYTE VK_APP1 = 0xC1;
inline constexpr BYTE VK_APP2 = 0xC2;
inline constexpr BYTE VK_APP3 = 0xC3;
inline constexpr BYTE VK_APP4 = 0xC4;
inline constexpr BYTE VK_APP5 = 0xC5;
inline constexpr BYTE VK_APP6 = 0xC6;
inline constexpr BYTE VK_PACKET = 0xE7;
// The handset's names for its hardware keys.
inline constexpr BYTE VK_TTALK = VK_F3;
inline constexpr BYTE VK_TEND = VK_F4;
inline constexpr BYTE VK_TVOLUMEUP = VK_F6;
inline constexpr BYTE VK_TVOLUMEDOWN = VK_F7;

HHOOK SetWindowsHookExW(int idHook, HOOKPROC proc, HINSTANCE module, DWORD threadId);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);
BOOL UnhookWindowsHookEx(HHOOK hook);

void keybd_event(BYTE vk, BYTE scan, DWORD flags, ULONG_PTR extraInfo);
SHORT GetKeyState(int vk);
SHORT GetAsyncKeyState(int vk);

BOOL RegisterHotKey(HWND hwnd, int id, UINT modifiers, UINT vk);
BOOL UnregisterHotKey(HWND hwnd, int id);
inline BOOL RegisterHotKeyW(HWND hwnd, int id, UINT modifiers, UINT vk) { return RegisterHotKey(hwnd, id, modifiers, vk); }

namespace plat {
// Which window holds the hot key of this key and these modifiers, under
// which id: a dialog that wants the key for itself lends it and gives it
// back. False when no window holds it.
bool FindHotKey(UINT modifiers, UINT vk, HWND* holder, int* id);
}  // namespace plat

// The cursor: the handset has only the wait cursor; no cursor is NULL.
inline const LPCWSTR IDC_WAIT = reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(32514));
// The system's cursor (instance NULL) IDC_WAIT; anything else NULL with ERROR_RESOURCE_NAME_NOT_FOUND.
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR cursorName);
// Shows the cursor (NULL: none) for the whole screen; returns the one shown before.
HCURSOR SetCursor(HCURSOR cursor);

namespace plat {

// The handset's own input: hardware keys and the touch panel, as the
// scenario driver and the window presenter deliver them (not injected).
void HardwareKey(BYTE vk, bool down);
// Typed text from the input panel: one VK_PACKET down/up per character.
void TypeText(std::wstring_view text);

enum class Pen { Down, Move, Up };
// Screen coordinates; goes to the capture window, else the topmost enabled
// window under the point, in its client coordinates.
void PenInput(Pen action, int x, int y);

}  // namespace plat
