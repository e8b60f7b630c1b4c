// The screen as windows see it: metrics, system colours and the display
// orientation.
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "plat/error.h"
#include "plat/message.h"
#include "plat/window.h"
#include "plat/gdi.h"
#include "plat/shell.h"
#include "wm_internal.h"

using namespace plat::wm;

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
        return 0;  // the shell's dialogs have no frame
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
    std::unique_lock lock(S().mu);
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
    bool turned = S().orientation != o;
    S().orientation = o;
    lock.unlock();
    if (turned)
        ScreenTurned();
    return DISP_CHANGE_SUCCESSFUL;
}

namespace plat::wm {

RECT WorkArea()
{
    DWORD o = plat::DisplayOrientation();
    return RECT{0, plat::kTaskBarHeight, ScreenWidth(o), ScreenHeight(o) - plat::kMenuBarHeight};
}

void KeepInWorkArea(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    if (Window* w = Find(hwnd))
        w->workArea = true;
}

void ScreenTurned()
{
    PlaceShellWindows();
    std::vector<HWND> placed, told;
    {
        std::lock_guard lock(S().mu);
        for (HWND hwnd : S().topLevel) {
            told.push_back(hwnd);
            if (Window* w = Find(hwnd); w && w->workArea)
                placed.push_back(hwnd);
        }
    }
    RECT r = WorkArea();
    for (HWND hwnd : placed)
        SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // Queued, as the shell does it: a window busy elsewhere does not hold the turn up.
    for (HWND hwnd : told)
        SendNotifyMessageW(hwnd, WM_SETTINGCHANGE, SETTINGCHANGE_RESET, 0);
}

}  // namespace plat::wm

namespace plat {

DWORD DisplayOrientation()
{
    std::lock_guard lock(wm::S().mu);
    return wm::S().orientation;
}

}  // namespace plat
