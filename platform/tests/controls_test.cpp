#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/windows.h"
#include "wm_helpers.h"

using namespace wmtest;

namespace {

// A parent that answers custom draw and measure requests as told and keeps
// what it was asked.
struct ParentScript {
    LRESULT prepaint = CDRF_DODEFAULT;
    LRESULT itemprepaint = CDRF_DODEFAULT;
    UINT rowHeight = 0;  // 0: leave the default
    std::vector<DWORD> stages;
    std::vector<UINT> drawnStates;  // owner-drawn button states
};
ParentScript g_parent;

LRESULT ParentProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == NM_CUSTOMDRAW) {
            auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(lParam);
            g_parent.stages.push_back(cd->dwDrawStage);
            return cd->dwDrawStage == CDDS_PREPAINT ? g_parent.prepaint
                                                    : cd->dwDrawStage == CDDS_ITEMPREPAINT ? g_parent.itemprepaint : 0;
        }
    }
    if (message == WM_MEASUREITEM && g_parent.rowHeight)
        reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = g_parent.rowHeight;
    if (message == WM_DRAWITEM)
        g_parent.drawnStates.push_back(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->itemState);
    return RecordingProc(hwnd, message, wParam, lParam);
}

HWND ParentWindow()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ParentProc;
        wc.lpszClassName = L"ControlsTestParent";
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    g_parent = ParentScript{};
    return CreateWindowExW(0, L"ControlsTestParent", L"parent", WS_POPUP | WS_VISIBLE, 0, 26, 240, 348, nullptr,
                           nullptr, nullptr, nullptr);
}

HWND List(HWND parent, int height)
{
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | 0x640D, 10, 10, 200, height, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(77)), nullptr, nullptr);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = const_cast<LPWSTR>(L"Column");
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    return list;
}

void AddRow(HWND list, const WCHAR* text)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<LPWSTR>(text);
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int Selected(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); }

std::wstring RowText(HWND list, int row)
{
    WCHAR text[64];
    LVITEMW item{};
    item.pszText = text;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

TEST(OwnerDrawnButton, ParentDrawsEachStateAndBmClickClicks)
{
    HWND parent = ParentWindow();
    HWND button = CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 20, 20, 40, 30, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(1804)), nullptr, nullptr);
    Pump();
    ASSERT_FALSE(g_parent.drawnStates.empty()) << "the first paint asks the parent";
    EXPECT_EQ(g_parent.drawnStates.back() & ODS_SELECTED, 0u);

    plat::PenInput(plat::Pen::Down, 30, 56);
    Pump();
    EXPECT_EQ(g_parent.drawnStates.back() & ODS_SELECTED, ODS_SELECTED) << "drawn pressed while the pen is down";
    EXPECT_EQ(SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED, BST_PUSHED);
    plat::PenInput(plat::Pen::Up, 300, 300);  // released off the button: no click
    Pump();
    EXPECT_EQ(g_parent.drawnStates.back() & ODS_SELECTED, 0u);
    EXPECT_TRUE(Of(parent, WM_COMMAND).empty());

    SendMessageW(button, BM_CLICK, 0, 0);
    auto commands = Of(parent, WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 1804);
    EXPECT_EQ(HIWORD(commands[0].wParam), BN_CLICKED);
    EXPECT_EQ(GetCapture(), nullptr);
    DestroyWindow(parent);
    Drain();
    Clear();
}

TEST(DoubleClicks, OnlyForClassesThatAskAndOnlyCloseInTimeAndPlace)
{
    VirtualClock clock;
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = L"DoubleClicker";
        return RegisterClassW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    HWND dbl = CreateWindowExW(0, L"DoubleClicker", L"", WS_POPUP | WS_VISIBLE, 0, 26, 120, 100, nullptr, nullptr,
                               nullptr, nullptr);
    HWND plain = TopWindow(L"plain", RECT{120, 26, 240, 126});
    struct Step {
        HWND target;
        int x, y;
        std::uint64_t wait;
        UINT expected;
    } steps[] = {
        {dbl, 10, 40, 0, WM_LBUTTONDOWN},   {dbl, 12, 41, 200, WM_LBUTTONDBLCLK},  // second tap in time
        {dbl, 12, 41, 100, WM_LBUTTONDOWN},                                       // a third is a press again
        {dbl, 40, 41, 100, WM_LBUTTONDOWN},                                       // too far from the last
        {dbl, 40, 41, 600, WM_LBUTTONDOWN},                                       // too late
        {plain, 130, 40, 0, WM_LBUTTONDOWN}, {plain, 130, 40, 50, WM_LBUTTONDOWN},
    };
    for (const Step& s : steps) {
        Clear();
        plat::AdvanceClock(s.wait);
        plat::PenInput(plat::Pen::Down, s.x, s.y);
        plat::PenInput(plat::Pen::Up, s.x, s.y);
        Pump();
        bool found = false;
        for (const Seen& seen : Log())
            if (seen.hwnd == s.target && (seen.message == WM_LBUTTONDOWN || seen.message == WM_LBUTTONDBLCLK)) {
                EXPECT_EQ(seen.message, s.expected) << s.x << "," << s.y << " after " << s.wait;
                found = true;
            }
        EXPECT_TRUE(found);
    }
    DestroyWindow(dbl);
    DestroyWindow(plain);
    Drain();
    Clear();
}

TEST(ListView, RowsSelectionKeysAndTaps)
{
    HWND parent = ParentWindow();
    g_parent.rowHeight = 35;
    HWND list = List(parent, 3 * 35);
    for (const WCHAR* t : {L"Anna", L"Bert", L"Carl", L"Dora", L"Emil"})
        AddRow(list, t);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 5);
    EXPECT_EQ(RowText(list, 3), L"Dora");
    EXPECT_EQ(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0), 3) << "rows measured by the parent";
    EXPECT_EQ(Selected(list), -1);

    // One row selected at a time; the parent hears each change.
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    SendMessageW(list, LVM_SETITEMSTATE, 2, reinterpret_cast<LPARAM>(&state));
    EXPECT_EQ(Selected(list), 2);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMSTATE, 1, LVIS_SELECTED), 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(2), LVNI_SELECTED), -1);

    // Keys move the selection within the rows and keep it in view.
    struct Key {
        BYTE vk;
        int selected, top;
    } keys[] = {{VK_DOWN, 3, 1}, {VK_DOWN, 4, 2}, {VK_DOWN, 4, 2}, {VK_HOME, 0, 0}, {VK_UP, 0, 0}, {VK_END, 4, 2}};
    for (const Key& k : keys) {
        SendMessageW(list, WM_KEYDOWN, k.vk, 0);
        EXPECT_EQ(Selected(list), k.selected) << int(k.vk);
        EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0), k.top) << int(k.vk);
    }

    // A tap selects the row under the pen, counted from the top row.
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(list, LVM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&r)));
    EXPECT_EQ(r.top, 35);
    EXPECT_EQ(r.right - r.left, 200) << "the column fills the control";
    plat::PenInput(plat::Pen::Down, 50, 26 + 10 + r.top + 5);
    plat::PenInput(plat::Pen::Up, 50, 26 + 10 + r.top + 5);
    Pump();
    EXPECT_EQ(Selected(list), 3);
    EXPECT_EQ(GetFocus(), list);

    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 0);
    EXPECT_EQ(Selected(list), -1);
    DestroyWindow(parent);
    Drain();
    Clear();
}

TEST(ListView, CustomDrawStagesFollowTheAnswers)
{
    struct Case {
        LRESULT prepaint;
        std::vector<DWORD> stages;
    } cases[] = {
        {CDRF_SKIPDEFAULT, {CDDS_PREPAINT}},
        {CDRF_DODEFAULT, {CDDS_PREPAINT}},
        {CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT,
         {CDDS_PREPAINT, CDDS_ITEMPREPAINT, CDDS_ITEMPREPAINT, CDDS_POSTPAINT}},
    };
    for (const Case& c : cases) {
        HWND parent = ParentWindow();
        g_parent.prepaint = c.prepaint;
        HWND list = List(parent, 100);
        AddRow(list, L"one");
        AddRow(list, L"two");
        Pump();
        g_parent.stages.clear();
        InvalidateRect(list, nullptr, TRUE);
        UpdateWindow(list);
        EXPECT_EQ(g_parent.stages, c.stages) << c.prepaint;
        DestroyWindow(parent);
        Drain();
        Clear();
    }
}

TEST(MenuBarMenus, KeyOpensItsMenuAboveTheBarAndItemsSendCommands)
{
    plat::RegisterMenuTemplate({21002, {{20017, L"Expand view"}, {20058, L"Save All"}, {20009, L"Exit"}}});
    plat::RegisterMenuBarTemplate(
        {21004, {{21018, L"Save"}, {21003, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, 21002}}});
    HWND w = TopWindow(L"owner", RECT{0, 26, 240, 374});
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = w;
    mb.nToolBarId = 21004;
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    auto menu = reinterpret_cast<HMENU>(SendMessageW(mb.hwndMB, SHCMBM_GETMENU, 0, 0));
    ASSERT_TRUE(menu);
    EXPECT_EQ(EnableMenuItem(menu, 20058, MF_BYCOMMAND | MF_GRAYED), static_cast<DWORD>(MF_ENABLED));
    EXPECT_EQ(EnableMenuItem(menu, 4242, MF_GRAYED), 0xFFFFFFFFu);

    auto open = [&] {
        plat::PenInput(plat::Pen::Down, 200, 390);
        plat::PenInput(plat::Pen::Up, 200, 390);
        Pump();
        return plat::OpenPopupMenu();
    };
    HWND popup = open();
    ASSERT_TRUE(popup);
    RECT r;
    GetWindowRect(popup, &r);
    EXPECT_EQ(r.left, 120) << "on the key's half";
    EXPECT_EQ(r.right, 240);
    EXPECT_EQ(r.bottom, 400 - plat::kMenuBarHeight) << "the last row just above the bar";
    EXPECT_EQ(r.bottom - r.top, 3 * plat::kMenuRowHeight);
    EXPECT_TRUE(Of(w, WM_COMMAND).empty()) << "a key with a menu sends no command itself";

    int rowY = r.top + plat::kMenuRowHeight / 2;
    // A greyed item does nothing; the menu stays.
    plat::PenInput(plat::Pen::Down, 150, rowY + plat::kMenuRowHeight);
    Pump();
    EXPECT_EQ(plat::OpenPopupMenu(), popup);
    EXPECT_TRUE(Of(w, WM_COMMAND).empty());
    // An enabled one closes the menu and sends its command.
    plat::PenInput(plat::Pen::Down, 150, rowY);
    plat::PenInput(plat::Pen::Up, 150, rowY);
    Pump();
    EXPECT_EQ(plat::OpenPopupMenu(), nullptr);
    auto commands = Of(w, WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 20017);
    // A tap elsewhere only closes it.
    ASSERT_TRUE(open());
    plat::PenInput(plat::Pen::Down, 10, 100);
    plat::PenInput(plat::Pen::Up, 10, 100);
    Pump();
    EXPECT_EQ(plat::OpenPopupMenu(), nullptr);
    EXPECT_EQ(Of(w, WM_COMMAND).size(), 1u);

    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(DestroyMenu(menu));
    EXPECT_EQ(SendMessageW(mb.hwndMB, SHCMBM_GETMENU, 0, 0), 0);
    DestroyWindow(w);
    Drain();
    Clear();
}

class ReflectingParent : public CWindowImpl {
public:
    BEGIN_MSG_MAP(ReflectingParent)
    REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

class ReflectedChild : public CWindowImpl {
public:
    std::vector<UINT> got;
    BEGIN_MSG_MAP(ReflectedChild)
    MESSAGE_HANDLER(OCM_NOTIFY, OnReflected)
    MESSAGE_HANDLER(OCM_DRAWITEM, OnReflected)
    MESSAGE_HANDLER(OCM_MEASUREITEM, OnReflected)
    END_MSG_MAP()
    LRESULT OnReflected(UINT message, WPARAM, LPARAM, BOOL&)
    {
        got.push_back(message);
        return 42;
    }
};

TEST(Reflection, ParentHandsTheChildItsOwnNotifications)
{
    ReflectingParent parent;
    RECT pr{0, 26, 240, 374};
    ASSERT_TRUE(parent.Create(nullptr, &pr, L"parent", WS_POPUP | WS_VISIBLE));
    ReflectedChild child;
    RECT cr{0, 0, 50, 50};
    ASSERT_TRUE(child.Create(parent, &cr, L"child", WS_CHILD | WS_VISIBLE, 0, 5));

    NMHDR nm{child.m_hWnd, 5, NM_CUSTOMDRAW};
    EXPECT_EQ(SendMessageW(parent, WM_NOTIFY, 5, reinterpret_cast<LPARAM>(&nm)), 42);
    DRAWITEMSTRUCT di{};
    di.hwndItem = child.m_hWnd;
    EXPECT_EQ(SendMessageW(parent, WM_DRAWITEM, 5, reinterpret_cast<LPARAM>(&di)), 42);
    MEASUREITEMSTRUCT mi{};
    mi.CtlID = 5;
    EXPECT_EQ(SendMessageW(parent, WM_MEASUREITEM, 5, reinterpret_cast<LPARAM>(&mi)), 42);
    NMHDR stranger{nullptr, 9, NM_CLICK};
    EXPECT_EQ(SendMessageW(parent, WM_NOTIFY, 9, reinterpret_cast<LPARAM>(&stranger)), 0) << "no child, no reflection";
    EXPECT_EQ(child.got, (std::vector<UINT>{OCM_NOTIFY, OCM_DRAWITEM, OCM_MEASUREITEM}));
    parent.DestroyWindow();
    Drain();
}

}  // namespace
