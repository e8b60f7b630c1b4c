// Windows: classes, objects, placement, activation, focus and the screen's
// metrics. One window manager per process; a window belongs to the thread
// that created it and its procedure runs only on that thread.
#pragma once

#include "plat/types.h"

#ifndef CALLBACK
#define CALLBACK
#endif
#ifndef WINAPI
#define WINAPI
#endif

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using WNDENUMPROC = BOOL (*)(HWND, LPARAM);

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
using LPWNDCLASSW = WNDCLASSW*;

struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
using LPCREATESTRUCTW = CREATESTRUCTW*;

struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};
using LPWINDOWPOS = WINDOWPOS*;

// Window styles.
inline constexpr DWORD WS_OVERLAPPED = 0x00000000;
inline constexpr DWORD WS_POPUP = 0x80000000;
inline constexpr DWORD WS_CHILD = 0x40000000;
inline constexpr DWORD WS_VISIBLE = 0x10000000;
inline constexpr DWORD WS_DISABLED = 0x08000000;
inline constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
inline constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
inline constexpr DWORD WS_CAPTION = 0x00C00000;
inline constexpr DWORD WS_BORDER = 0x00800000;
inline constexpr DWORD WS_DLGFRAME = 0x00400000;
inline constexpr DWORD WS_VSCROLL = 0x00200000;
inline constexpr DWORD WS_HSCROLL = 0x00100000;
inline constexpr DWORD WS_SYSMENU = 0x00080000;
inline constexpr DWORD WS_GROUP = 0x00020000;
inline constexpr DWORD WS_TABSTOP = 0x00010000;
inline constexpr DWORD WS_EX_TOPMOST = 0x00000008;
inline constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
inline constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;
inline constexpr DWORD WS_EX_NOANIMATION = 0x04000000;
inline constexpr DWORD WS_EX_NODRAG = 0x40000000;
inline constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Class styles.
inline constexpr UINT CS_VREDRAW = 0x0001;
inline constexpr UINT CS_HREDRAW = 0x0002;
inline constexpr UINT CS_DBLCLKS = 0x0008;

// GetWindowLongW indexes. The handset's LONG holds a pointer, so the values
// here are pointer-wide: a procedure or an object fits.
inline constexpr int GWL_WNDPROC = -4;
inline constexpr int GWL_HINSTANCE = -6;
inline constexpr int GWL_HWNDPARENT = -8;
inline constexpr int GWL_STYLE = -16;
inline constexpr int GWL_EXSTYLE = -20;
inline constexpr int GWL_USERDATA = -21;
inline constexpr int GWL_ID = -12;
inline constexpr int GWLP_WNDPROC = GWL_WNDPROC;
inline constexpr int GWLP_USERDATA = GWL_USERDATA;
inline constexpr int GWLP_ID = GWL_ID;
// Dialog extra words.
inline constexpr int DWL_MSGRESULT = 0;
inline constexpr int DWL_DLGPROC = static_cast<int>(sizeof(LONG_PTR));
inline constexpr int DWL_USER = static_cast<int>(2 * sizeof(LONG_PTR));
inline constexpr int DWLP_MSGRESULT = DWL_MSGRESULT;
inline constexpr int DWLP_DLGPROC = DWL_DLGPROC;
inline constexpr int DWLP_USER = DWL_USER;
inline constexpr int DLGWINDOWEXTRA = static_cast<int>(3 * sizeof(LONG_PTR));

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos.
inline const HWND HWND_TOP = reinterpret_cast<HWND>(0);
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(1);
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(-1);
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(-2);
inline constexpr UINT SWP_NOSIZE = 0x0001;
inline constexpr UINT SWP_NOMOVE = 0x0002;
inline constexpr UINT SWP_NOZORDER = 0x0004;
inline constexpr UINT SWP_NOREDRAW = 0x0008;
inline constexpr UINT SWP_NOACTIVATE = 0x0010;
inline constexpr UINT SWP_FRAMECHANGED = 0x0020;
inline constexpr UINT SWP_SHOWWINDOW = 0x0040;
inline constexpr UINT SWP_HIDEWINDOW = 0x0080;
inline constexpr UINT SWP_NOOWNERZORDER = 0x0200;

// WM_ACTIVATE states.
inline constexpr WORD WA_INACTIVE = 0;
inline constexpr WORD WA_ACTIVE = 1;
inline constexpr WORD WA_CLICKACTIVE = 2;

// WM_SIZE kinds.
inline constexpr WPARAM SIZE_RESTORED = 0;

// GetSystemMetrics.
inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_CXVSCROLL = 2;
inline constexpr int SM_CYHSCROLL = 3;
inline constexpr int SM_CYCAPTION = 4;
inline constexpr int SM_CXBORDER = 5;
inline constexpr int SM_CYBORDER = 6;
inline constexpr int SM_CXDLGFRAME = 7;
inline constexpr int SM_CYDLGFRAME = 8;
inline constexpr int SM_CXICON = 11;
inline constexpr int SM_CYICON = 12;
inline constexpr int SM_CYMENU = 15;
inline constexpr int SM_CXFULLSCREEN = 16;
inline constexpr int SM_CYFULLSCREEN = 17;

// GetSysColor indexes (the handset's are offset by this flag).
inline constexpr int SYS_COLOR_INDEX_FLAG = 0x40000000;
inline constexpr int COLOR_SCROLLBAR = 0 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_BACKGROUND = 1 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_ACTIVECAPTION = 2 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_INACTIVECAPTION = 3 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_MENU = 4 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_WINDOW = 5 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_WINDOWFRAME = 6 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_MENUTEXT = 7 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_WINDOWTEXT = 8 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_CAPTIONTEXT = 9 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_HIGHLIGHT = 13 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_HIGHLIGHTTEXT = 14 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_BTNFACE = 15 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_BTNSHADOW = 16 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_GRAYTEXT = 17 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_BTNTEXT = 18 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_BTNHIGHLIGHT = 20 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_STATIC = 25 | SYS_COLOR_INDEX_FLAG;
inline constexpr int COLOR_STATICTEXT = 26 | SYS_COLOR_INDEX_FLAG;

// Display orientation (ChangeDisplaySettingsEx with DEVMODEW.dmDisplayOrientation).
inline constexpr DWORD DMDO_0 = 0;
inline constexpr DWORD DMDO_90 = 1;
inline constexpr DWORD DMDO_180 = 2;
inline constexpr DWORD DMDO_270 = 4;
inline constexpr DWORD DM_DISPLAYORIENTATION = 0x00800000;
inline constexpr DWORD DM_DISPLAYQUERYORIENTATION = 0x01000000;
inline constexpr DWORD CDS_RESET = 0x40000000;
inline constexpr DWORD CDS_TEST = 0x00000002;
inline constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr LONG DISP_CHANGE_FAILED = -1;
inline constexpr LONG DISP_CHANGE_BADMODE = -2;
inline constexpr LONG DISP_CHANGE_BADPARAM = -5;

// The fields of the display mode that the system sets or reads.
struct DEVMODEW {
    WCHAR dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayOrientation;
    DWORD dmDisplayFrequency;
};
using LPDEVMODEW = DEVMODEW*;

ATOM RegisterClassW(const WNDCLASSW* wndClass);
BOOL UnregisterClassW(LPCWSTR className, HINSTANCE instance);
BOOL GetClassInfoW(HINSTANCE instance, LPCWSTR className, LPWNDCLASSW wndClass);
int GetClassNameW(HWND hwnd, LPWSTR name, int maxCount);

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
inline HWND CreateWindowW(LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                          int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    return CreateWindowExW(0, className, windowName, style, x, y, width, height, parent, menu, instance, param);
}
BOOL DestroyWindow(HWND hwnd);
LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

BOOL IsWindow(HWND hwnd);
BOOL IsWindowVisible(HWND hwnd);
BOOL IsWindowEnabled(HWND hwnd);
BOOL IsChild(HWND parent, HWND hwnd);
BOOL ShowWindow(HWND hwnd, int command);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND hwnd);
BOOL GetWindowRect(HWND hwnd, LPRECT rect);
BOOL GetClientRect(HWND hwnd, LPRECT rect);
BOOL ClientToScreen(HWND hwnd, LPPOINT point);
BOOL ScreenToClient(HWND hwnd, LPPOINT point);

int GetWindowTextW(HWND hwnd, LPWSTR text, int maxCount);
int GetWindowTextLengthW(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
LONG_PTR GetWindowLongW(HWND hwnd, int index);
LONG_PTR SetWindowLongW(HWND hwnd, int index, LONG_PTR value);
inline LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) { return GetWindowLongW(hwnd, index); }
inline LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) { return SetWindowLongW(hwnd, index, value); }

HWND GetParent(HWND hwnd);
inline constexpr UINT GW_HWNDFIRST = 0;
inline constexpr UINT GW_HWNDLAST = 1;
inline constexpr UINT GW_HWNDNEXT = 2;
inline constexpr UINT GW_HWNDPREV = 3;
inline constexpr UINT GW_OWNER = 4;
inline constexpr UINT GW_CHILD = 5;
HWND GetWindow(HWND hwnd, UINT relation);
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
BOOL EnumWindows(WNDENUMPROC proc, LPARAM lParam);
HWND WindowFromPoint(POINT point);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);

BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
HWND GetDesktopWindow();

int GetSystemMetrics(int index);
COLORREF GetSysColor(int index);
LONG ChangeDisplaySettingsEx(LPCWSTR deviceName, LPDEVMODEW mode, HWND hwnd, DWORD flags, LPVOID param);

namespace plat {

// The panel: 240 x 400 in portrait, turned by the display orientation.
inline constexpr int kPanelWidth = 240;
inline constexpr int kPanelHeight = 400;

DWORD DisplayOrientation();

}  // namespace plat
