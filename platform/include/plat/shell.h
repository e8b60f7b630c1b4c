// Shell pieces: full-screen requests, the task bar, the input panel and the
// menu bar with two soft keys.
#pragma once

#include <string>
#include <vector>

#include "plat/types.h"
#include "plat/window.h"

inline constexpr DWORD SHFS_SHOWTASKBAR = 0x0001;
inline constexpr DWORD SHFS_HIDETASKBAR = 0x0002;
inline constexpr DWORD SHFS_SHOWSIPBUTTON = 0x0004;
inline constexpr DWORD SHFS_HIDESIPBUTTON = 0x0008;
BOOL SHFullScreen(HWND hwnd, DWORD state);

// The task bar's window class; the window exists from platform start.
inline constexpr const WCHAR* kTaskBarClass = L"HHTaskBar";

inline constexpr DWORD SIPF_OFF = 0x0;
inline constexpr DWORD SIPF_ON = 0x1;
inline constexpr DWORD SIPF_DOCKED = 0x2;
struct SIPINFO {
    DWORD cbSize;
    DWORD fdwFlags;
    RECT rcVisibleDesktop;
    RECT rcSipRect;
    DWORD dwImDataSize;
    void* pvImData;
};
// A change of the panel's state posts WM_SETTINGCHANGE (SPI_SETSIPINFO) to
// every top-level window.
BOOL SipShowIM(DWORD flags);
inline constexpr UINT SPI_SETSIPINFO = 224;
BOOL SipGetInfo(SIPINFO* info);

struct SHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
};
BOOL SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam, SHACTIVATEINFO* info, DWORD flags);

// Menu bar.
inline constexpr DWORD SHCMBF_EMPTYBAR = 0x0001;
inline constexpr DWORD SHCMBF_HIDDEN = 0x0002;
inline constexpr DWORD SHCMBF_HIDESIPBUTTON = 0x0004;
inline constexpr DWORD SHCMBF_COLORBK = 0x0008;
inline constexpr DWORD SHCMBF_HMENU = 0x0010;
struct SHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
};
using PSHMENUBARINFO = SHMENUBARINFO*;
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
HWND SHFindMenuBar(HWND hwnd);

inline constexpr UINT TB_GETBUTTONINFOW = 0x0400 + 63;
inline constexpr UINT TB_SETBUTTONINFOW = 0x0400 + 64;
inline constexpr UINT TB_GETBUTTONINFO = TB_GETBUTTONINFOW;
inline constexpr UINT TB_SETBUTTONINFO = TB_SETBUTTONINFOW;
inline constexpr DWORD TBIF_IMAGE = 0x00000001;
inline constexpr DWORD TBIF_TEXT = 0x00000002;
inline constexpr DWORD TBIF_STATE = 0x00000004;
inline constexpr DWORD TBIF_STYLE = 0x00000008;
inline constexpr DWORD TBIF_LPARAM = 0x00000010;
inline constexpr DWORD TBIF_COMMAND = 0x00000020;
inline constexpr DWORD TBIF_SIZE = 0x00000040;
inline constexpr DWORD TBIF_BYINDEX = 0x80000000;
inline constexpr BYTE TBSTATE_CHECKED = 0x01;
inline constexpr BYTE TBSTATE_PRESSED = 0x02;
inline constexpr BYTE TBSTATE_ENABLED = 0x04;
inline constexpr BYTE TBSTATE_HIDDEN = 0x08;
inline constexpr BYTE TBSTATE_INDETERMINATE = 0x10;
inline constexpr BYTE TBSTYLE_BUTTON = 0x00;
inline constexpr BYTE TBSTYLE_DROPDOWN = 0x08;
inline constexpr BYTE TBSTYLE_AUTOSIZE = 0x10;
struct TBBUTTONINFOW {
    UINT cbSize;
    DWORD dwMask;
    int idCommand;
    int iImage;
    BYTE fsState;
    BYTE fsStyle;
    WORD cx;
    DWORD_PTR lParam;
    LPWSTR pszText;
    int cchText;
};
using TBBUTTONINFO = TBBUTTONINFOW;

// The popup menu of a menu bar's soft key (the first key that has one).
inline constexpr UINT SHCMBM_GETMENU = 0x0400 + 402;
inline constexpr UINT MF_BYCOMMAND = 0x0000;
inline constexpr UINT MF_ENABLED = 0x0000;
inline constexpr UINT MF_GRAYED = 0x0001;
inline constexpr UINT MF_DISABLED = 0x0002;
inline constexpr UINT MF_BYPOSITION = 0x0400;
// The item's former state (MF_GRAYED / MF_DISABLED), 0xFFFFFFFF when not found.
DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags);
BOOL DestroyMenu(HMENU menu);
using LPTBBUTTONINFOW = TBBUTTONINFOW*;

namespace plat {

// What the shell was last asked for (SHFullScreen, SipShowIM).
struct ShellState {
    bool taskBarShown;
    bool sipButtonShown;
    bool sipShown;
};
ShellState GetShellState();

// Menu-bar resources are C++ tables: the bar of id nToolBarId has up to two
// soft keys, left first; a key with a menu opens it above the bar on its
// half of the screen.
struct MenuBarButton {
    int idCommand;
    std::wstring text;
    BYTE fsState = TBSTATE_ENABLED;
    BYTE fsStyle = TBSTYLE_AUTOSIZE;
    UINT menu = 0;  // a menu table's id: the key opens that popup menu
};
// Popup menus are C++ tables too: items in menu order.
struct MenuItem {
    UINT id;
    std::wstring text;
};
struct MenuTemplate {
    UINT id;
    std::vector<MenuItem> items;
};
void RegisterMenuTemplate(const MenuTemplate& menu);
// Height of one popup-menu row.
inline constexpr int kMenuRowHeight = 26;
// The open popup menu of any bar, or null.
HWND OpenPopupMenu();
struct MenuBarTemplate {
    UINT id;
    std::vector<MenuBarButton> buttons;
};
void RegisterMenuBarTemplate(const MenuBarTemplate& bar);

// Height of the task bar and of the menu bar.
inline constexpr int kTaskBarHeight = 26;
inline constexpr int kMenuBarHeight = 26;

}  // namespace plat
