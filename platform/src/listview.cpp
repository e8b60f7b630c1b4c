// The "SysListView32" control as the dialogs use it: one report column of
// text rows, single selection, fixed rows measured once by the parent,
// custom draw through the parent, arrow keys and a tap that selects.
#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plat/controls.h"
#include "plat/dialog.h"
#include "plat/error.h"
#include "plat/gdi.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/window.h"
#include "wm_internal.h"

namespace {

struct Row {
    std::wstring text;
    UINT state = 0;
    LPARAM param = 0;
};

struct ListState {
    std::vector<Row> rows;
    int top = 0;
    int rowHeight = 0;  // 0: not measured yet
    int columnWidth = -1;  // -1: the client width
};

std::mutex g_lock;
std::map<HWND, ListState> g_lists;

int ClientHeight(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return r.bottom - r.top;
}

int ClientWidth(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    return r.right - r.left;
}

// Asks the parent once for the row height of an owner-drawn list.
int RowHeight(HWND hwnd)
{
    {
        std::lock_guard lock(g_lock);
        int h = g_lists[hwnd].rowHeight;
        if (h > 0)
            return h;
    }
    MEASUREITEMSTRUCT mi{};
    mi.CtlType = ODT_LISTVIEW;
    mi.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    mi.itemHeight = kListViewDefaultRowHeight;
    if (GetWindowLongW(hwnd, GWL_STYLE) & LVS_OWNERDRAWFIXED)
        SendMessageW(GetParent(hwnd), WM_MEASUREITEM, mi.CtlID, reinterpret_cast<LPARAM>(&mi));
    int h = std::max<int>(1, static_cast<int>(mi.itemHeight));
    std::lock_guard lock(g_lock);
    g_lists[hwnd].rowHeight = h;
    return h;
}

int PerPage(HWND hwnd) { return std::max(1, ClientHeight(hwnd) / RowHeight(hwnd)); }

LRESULT Notify(HWND hwnd, NMHDR* header, UINT code)
{
    header->hwndFrom = hwnd;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    header->code = code;
    return SendMessageW(GetParent(hwnd), WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

int Count(HWND hwnd)
{
    std::lock_guard lock(g_lock);
    return static_cast<int>(g_lists[hwnd].rows.size());
}

RECT RowRect(HWND hwnd, int index, int code)
{
    int h = RowHeight(hwnd);
    std::lock_guard lock(g_lock);
    const ListState& s = g_lists[hwnd];
    int width = s.columnWidth >= 0 ? s.columnWidth : ClientWidth(hwnd);
    RECT r{0, (index - s.top) * h, width, (index - s.top + 1) * h};
    if (code == LVIR_LABEL)
        r.left += 2;  // the label leaves room for the (absent) icon
    else if (code == LVIR_ICON)
        r.right = r.left + 2;
    return r;
}

// Sets the state bits of one row (or every row for index -1); tells the
// parent of each change.
void SetState(HWND hwnd, int index, UINT state, UINT mask)
{
    struct Change {
        int item;
        UINT oldState, newState;
    };
    std::vector<Change> changes;
    {
        std::lock_guard lock(g_lock);
        ListState& s = g_lists[hwnd];
        bool single = (GetWindowLongW(hwnd, GWL_STYLE) & LVS_SINGLESEL) != 0;
        for (int i = 0; i < static_cast<int>(s.rows.size()); ++i) {
            UINT old = s.rows[static_cast<size_t>(i)].state;
            UINT now = old;
            if (index < 0 || i == index)
                now = (old & ~mask) | (state & mask);
            else if (single && index >= 0)
                now = old & ~(mask & state & (LVIS_SELECTED | LVIS_FOCUSED));  // one selected, one focused
            if (now != old) {
                s.rows[static_cast<size_t>(i)].state = now;
                changes.push_back({i, old, now});
            }
        }
    }
    for (const Change& c : changes) {
        NMLISTVIEW nm{};
        nm.iItem = c.item;
        nm.uOldState = c.oldState;
        nm.uNewState = c.newState;
        nm.uChanged = LVIF_STATE;
        Notify(hwnd, &nm.hdr, LVN_ITEMCHANGED);
    }
    if (!changes.empty())
        InvalidateRect(hwnd, nullptr, TRUE);
}

int NextItem(HWND hwnd, int start, LPARAM flags)
{
    std::lock_guard lock(g_lock);
    const ListState& s = g_lists[hwnd];
    UINT want = (flags & LVNI_SELECTED ? LVIS_SELECTED : 0) | (flags & LVNI_FOCUSED ? LVIS_FOCUSED : 0);
    for (int i = std::max(start + 1, 0); i < static_cast<int>(s.rows.size()); ++i)
        if ((s.rows[static_cast<size_t>(i)].state & want) == want)
            return i;
    return -1;
}

void EnsureVisible(HWND hwnd, int index)
{
    int page = PerPage(hwnd);
    bool moved = false;
    {
        std::lock_guard lock(g_lock);
        ListState& s = g_lists[hwnd];
        int old = s.top;
        if (index < s.top)
            s.top = index;
        else if (index >= s.top + page)
            s.top = index - page + 1;
        s.top = std::clamp(s.top, 0, std::max(0, static_cast<int>(s.rows.size()) - 1));
        moved = s.top != old;
    }
    if (moved)
        InvalidateRect(hwnd, nullptr, TRUE);
}

int HitTest(HWND hwnd, POINT pt)
{
    if (pt.x < 0 || pt.y < 0 || pt.x >= ClientWidth(hwnd))
        return -1;
    int h = RowHeight(hwnd);
    std::lock_guard lock(g_lock);
    const ListState& s = g_lists[hwnd];
    int index = s.top + pt.y / h;
    return index < static_cast<int>(s.rows.size()) ? index : -1;
}

void Select(HWND hwnd, int index)
{
    SetState(hwnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EnsureVisible(hwnd, index);
}

void DrawDefaultRow(HDC dc, const RECT& r, const Row& row)
{
    bool selected = (row.state & LVIS_SELECTED) != 0;
    HBRUSH brush = CreateSolidBrush(selected ? RGB(0, 0, 128) : RGB(255, 255, 255));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    RECT text = r;
    text.left += 2;
    DrawTextW(dc, row.text.c_str(), -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client{};
    GetClientRect(hwnd, &client);
    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = client;
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    LRESULT answer = Notify(hwnd, &cd.nmcd.hdr, NM_CUSTOMDRAW);
    if (!(answer & CDRF_SKIPDEFAULT)) {
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        FillRect(dc, &client, white);
        DeleteObject(white);
        int page = PerPage(hwnd) + 1;  // a part-shown last row is drawn too
        for (int i = 0; i < page; ++i) {
            Row row;
            int index;
            {
                std::lock_guard lock(g_lock);
                const ListState& s = g_lists[hwnd];
                index = s.top + i;
                if (index >= static_cast<int>(s.rows.size()))
                    break;
                row = s.rows[static_cast<size_t>(index)];
            }
            RECT r = RowRect(hwnd, index, LVIR_BOUNDS);
            LRESULT itemAnswer = CDRF_DODEFAULT;
            if (answer & CDRF_NOTIFYITEMDRAW) {
                NMLVCUSTOMDRAW item{};
                item.nmcd.hdc = dc;
                item.nmcd.rc = r;
                item.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
                item.nmcd.dwItemSpec = static_cast<DWORD_PTR>(index);
                item.nmcd.uItemState = (row.state & LVIS_SELECTED ? CDIS_SELECTED : 0) |
                                       (row.state & LVIS_FOCUSED ? CDIS_FOCUS : 0);
                item.nmcd.lItemlParam = row.param;
                itemAnswer = Notify(hwnd, &item.nmcd.hdr, NM_CUSTOMDRAW);
            }
            if (!(itemAnswer & CDRF_SKIPDEFAULT))
                DrawDefaultRow(dc, r, row);
        }
        if (answer & CDRF_NOTIFYPOSTPAINT) {
            NMLVCUSTOMDRAW post{};
            post.nmcd.hdc = dc;
            post.nmcd.rc = client;
            post.nmcd.dwDrawStage = CDDS_POSTPAINT;
            Notify(hwnd, &post.nmcd.hdr, NM_CUSTOMDRAW);
        }
    }
    EndPaint(hwnd, &ps);
}

LRESULT KeyDown(HWND hwnd, WPARAM key)
{
    NMLVKEYDOWN nm{};
    nm.wVKey = static_cast<WORD>(key);
    Notify(hwnd, &nm.hdr, LVN_KEYDOWN);
    int count = Count(hwnd);
    if (count == 0)
        return 0;
    int current = NextItem(hwnd, -1, LVNI_FOCUSED);
    if (current < 0)
        current = NextItem(hwnd, -1, LVNI_SELECTED);
    int next = current;
    switch (key) {
    case VK_UP:
        next = current < 0 ? 0 : std::max(0, current - 1);
        break;
    case VK_DOWN:
        next = current < 0 ? 0 : std::min(count - 1, current + 1);
        break;
    case VK_HOME:
        next = 0;
        break;
    case VK_END:
        next = count - 1;
        break;
    default:
        return 0;
    }
    if (next != current)
        Select(hwnd, next);
    return 0;
}

UINT CopyText(const std::wstring& text, LVITEMW* item)
{
    if (!item->pszText || item->cchTextMax <= 0)
        return 0;
    size_t n = std::min(text.size(), static_cast<size_t>(item->cchTextMax - 1));
    std::wmemcpy(item->pszText, text.data(), n);
    item->pszText[n] = 0;
    return static_cast<UINT>(n);
}

LRESULT ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCDESTROY: {
        std::lock_guard lock(g_lock);
        g_lists.erase(hwnd);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_KEYDOWN:
        return KeyDown(hwnd, wParam);
    case WM_LBUTTONDOWN: {
        POINT pt{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
        SetFocus(hwnd);
        int index = HitTest(hwnd, pt);
        if (index >= 0)
            Select(hwnd, index);
        NMHDR nm{};
        Notify(hwnd, &nm, NM_CLICK);
        return 0;
    }
    case WM_LBUTTONDBLCLK: {
        NMHDR nm{};
        Notify(hwnd, &nm, NM_DBLCLK);
        return 0;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        NMHDR nm{};
        Notify(hwnd, &nm, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case LVM_GETITEMCOUNT:
        return Count(hwnd);
    case LVM_INSERTITEMW: {
        auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (!item)
            return -1;
        int at;
        {
            std::lock_guard lock(g_lock);
            ListState& s = g_lists[hwnd];
            at = std::clamp(item->iItem, 0, static_cast<int>(s.rows.size()));
            Row row;
            if ((item->mask & LVIF_TEXT) && item->pszText)
                row.text = item->pszText;
            if (item->mask & LVIF_STATE)
                row.state = item->state & item->stateMask;
            if (item->mask & LVIF_PARAM)
                row.param = item->lParam;
            s.rows.insert(s.rows.begin() + at, row);
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return at;
    }
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS: {
        {
            std::lock_guard lock(g_lock);
            ListState& s = g_lists[hwnd];
            if (message == LVM_DELETEALLITEMS) {
                s.rows.clear();
            } else {
                auto index = static_cast<int>(wParam);
                if (index < 0 || index >= static_cast<int>(s.rows.size()))
                    return FALSE;
                s.rows.erase(s.rows.begin() + index);
            }
            s.top = std::clamp(s.top, 0, std::max(0, static_cast<int>(s.rows.size()) - 1));
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case LVM_GETNEXTITEM:
        return NextItem(hwnd, static_cast<int>(wParam), lParam);
    case LVM_GETITEMSTATE: {
        std::lock_guard lock(g_lock);
        const ListState& s = g_lists[hwnd];
        auto index = static_cast<size_t>(wParam);
        return index < s.rows.size() ? s.rows[index].state & static_cast<UINT>(lParam) : 0;
    }
    case LVM_SETITEMSTATE: {
        auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        if (!item)
            return FALSE;
        auto index = static_cast<int>(wParam);
        if (index >= Count(hwnd))
            return FALSE;
        SetState(hwnd, index, item->state, item->stateMask);
        return TRUE;
    }
    case LVM_GETITEMTEXTW: {
        auto* item = reinterpret_cast<LVITEMW*>(lParam);
        if (!item)
            return 0;
        std::wstring text;
        {
            std::lock_guard lock(g_lock);
            const ListState& s = g_lists[hwnd];
            auto index = static_cast<size_t>(wParam);
            if (index < s.rows.size())
                text = s.rows[index].text;
        }
        return static_cast<LRESULT>(CopyText(text, item));
    }
    case LVM_SETITEMTEXTW:
    case LVM_SETITEMW: {
        auto* item = reinterpret_cast<const LVITEMW*>(lParam);
        int index = message == LVM_SETITEMW ? (item ? item->iItem : -1) : static_cast<int>(wParam);
        if (!item || index < 0 || index >= Count(hwnd))
            return FALSE;
        {
            std::lock_guard lock(g_lock);
            Row& row = g_lists[hwnd].rows[static_cast<size_t>(index)];
            if ((message == LVM_SETITEMTEXTW || (item->mask & LVIF_TEXT)) && item->pszText)
                row.text = item->pszText;
            if (message == LVM_SETITEMW && (item->mask & LVIF_PARAM))
                row.param = item->lParam;
        }
        if (message == LVM_SETITEMW && (item->mask & LVIF_STATE))
            SetState(hwnd, index, item->state, item->stateMask);
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case LVM_GETITEMW: {
        auto* item = reinterpret_cast<LVITEMW*>(lParam);
        if (!item)
            return FALSE;
        std::lock_guard lock(g_lock);
        const ListState& s = g_lists[hwnd];
        if (item->iItem < 0 || item->iItem >= static_cast<int>(s.rows.size()))
            return FALSE;
        const Row& row = s.rows[static_cast<size_t>(item->iItem)];
        if (item->mask & LVIF_TEXT)
            CopyText(row.text, item);
        if (item->mask & LVIF_STATE)
            item->state = row.state & item->stateMask;
        if (item->mask & LVIF_PARAM)
            item->lParam = row.param;
        return TRUE;
    }
    case LVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        auto index = static_cast<int>(wParam);
        if (!rect || index < 0 || index >= Count(hwnd))
            return FALSE;
        *rect = RowRect(hwnd, index, rect->left);
        return TRUE;
    }
    case LVM_HITTEST: {
        auto* info = reinterpret_cast<LVHITTESTINFO*>(lParam);
        if (!info)
            return -1;
        info->iItem = HitTest(hwnd, info->pt);
        info->iSubItem = 0;
        info->flags = info->iItem >= 0 ? LVHT_ONITEM : LVHT_NOWHERE;
        return info->iItem;
    }
    case LVM_ENSUREVISIBLE: {
        auto index = static_cast<int>(wParam);
        if (index < 0 || index >= Count(hwnd))
            return FALSE;
        EnsureVisible(hwnd, index);
        return TRUE;
    }
    case LVM_SCROLL: {
        int h = RowHeight(hwnd);
        auto dy = static_cast<int>(lParam);
        {
            std::lock_guard lock(g_lock);
            ListState& s = g_lists[hwnd];
            s.top = std::clamp(s.top + dy / h, 0, std::max(0, static_cast<int>(s.rows.size()) - 1));
        }
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    }
    case LVM_REDRAWITEMS:
        InvalidateRect(hwnd, nullptr, TRUE);
        return TRUE;
    case LVM_GETTOPINDEX: {
        std::lock_guard lock(g_lock);
        return g_lists[hwnd].top;
    }
    case LVM_GETCOUNTPERPAGE:
        return PerPage(hwnd);
    case LVM_INSERTCOLUMNW: {
        auto* column = reinterpret_cast<const LVCOLUMNW*>(lParam);
        if (column && (column->mask & LVCF_WIDTH)) {
            std::lock_guard lock(g_lock);
            g_lists[hwnd].columnWidth = std::max(0, column->cx);
        }
        return 0;  // the one column
    }
    case LVM_SETCOLUMNWIDTH: {
        auto width = static_cast<int>(static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))));
        std::lock_guard lock(g_lock);
        // Both automatic sizes fill the control.
        g_lists[hwnd].columnWidth = width < 0 ? -1 : width;
        return TRUE;
    }
    case LVM_GETCOLUMNWIDTH: {
        std::lock_guard lock(g_lock);
        int w = g_lists[hwnd].columnWidth;
        return w >= 0 ? w : ClientWidth(hwnd);
    }
    case LVM_SETEXTENDEDLISTVIEWSTYLE:
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

namespace plat::wm {

void RegisterListViewClass()
{
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &ListViewProc;
    wc.lpszClassName = WC_LISTVIEWW;
    RegisterClassW(&wc);
}

}  // namespace plat::wm
