// Scroll information of bars and the "SCROLLBAR" control.
#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "plat/error.h"
#include "plat/gdi.h"
#include "plat/message.h"
#include "plat/scrollbar.h"
#include "plat/window.h"
#include "wm_internal.h"

namespace {

struct ScrollState {
    int min = 0, max = 0;
    UINT page = 0;
    int pos = 0, trackPos = 0;
};

std::mutex g_lock;
std::map<std::pair<HWND, int>, ScrollState> g_bars;

int Apply(HWND hwnd, int bar, const SCROLLINFO& info)
{
    std::lock_guard lock(g_lock);
    ScrollState& s = g_bars[{hwnd, bar}];
    if (info.fMask & SIF_RANGE) {
        s.min = info.nMin;
        s.max = std::max(info.nMin, info.nMax);
    }
    if (info.fMask & SIF_PAGE)
        s.page = std::min<UINT>(info.nPage, static_cast<UINT>(s.max - s.min + 1));
    if (info.fMask & SIF_POS)
        s.pos = info.nPos;
    int last = s.max - std::max(static_cast<int>(s.page) - 1, 0);
    s.pos = std::clamp(s.pos, s.min, std::max(s.min, last));
    return s.pos;
}

BOOL Read(HWND hwnd, int bar, SCROLLINFO& info)
{
    std::lock_guard lock(g_lock);
    auto it = g_bars.find({hwnd, bar});
    if (it == g_bars.end() || !(info.fMask & SIF_ALL))
        return FALSE;
    const ScrollState& s = it->second;
    if (info.fMask & SIF_RANGE) {
        info.nMin = s.min;
        info.nMax = s.max;
    }
    if (info.fMask & SIF_PAGE)
        info.nPage = s.page;
    if (info.fMask & SIF_POS)
        info.nPos = s.pos;
    if (info.fMask & SIF_TRACKPOS)
        info.nTrackPos = s.trackPos;
    return TRUE;
}

void Forget(HWND hwnd)
{
    std::lock_guard lock(g_lock);
    for (int bar : {SB_HORZ, SB_VERT, SB_CTL})
        g_bars.erase({hwnd, bar});
}

LRESULT ScrollBarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case SBM_SETSCROLLINFO: {
        auto* info = reinterpret_cast<LPCSCROLLINFO>(lParam);
        if (!info)
            return 0;
        int pos = Apply(hwnd, SB_CTL, *info);
        if (wParam)
            InvalidateRect(hwnd, nullptr, TRUE);
        return pos;
    }
    case SBM_GETSCROLLINFO: {
        auto* info = reinterpret_cast<LPSCROLLINFO>(lParam);
        return info ? Read(hwnd, SB_CTL, *info) : FALSE;
    }
    case WM_NCDESTROY:
        Forget(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

namespace plat::wm {

void RegisterScrollBarClass()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ScrollBarProc;
    wc.lpszClassName = L"SCROLLBAR";
    RegisterClassW(&wc);
}

}  // namespace plat::wm

int SetScrollInfo(HWND hwnd, int bar, LPCSCROLLINFO info, BOOL redraw)
{
    if (!info || !IsWindow(hwnd)) {
        SetLastError(info ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return 0;
    }
    // The control's own messages, so that a subclassing procedure sees them.
    if (bar == SB_CTL)
        return static_cast<int>(SendMessageW(hwnd, SBM_SETSCROLLINFO, redraw, reinterpret_cast<LPARAM>(info)));
    int pos = Apply(hwnd, bar, *info);
    if (redraw)
        InvalidateRect(hwnd, nullptr, TRUE);
    return pos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info)
{
    if (!info || !IsWindow(hwnd)) {
        SetLastError(info ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (bar == SB_CTL)
        return static_cast<BOOL>(SendMessageW(hwnd, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info)));
    return Read(hwnd, bar, *info);
}
