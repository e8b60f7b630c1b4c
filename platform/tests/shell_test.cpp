#include <gtest/gtest.h>

#include "wm_helpers.h"

using namespace wmtest;

TEST(Shell, TheTaskBarExistsAndFollowsFullScreenRequests)
{
    HWND taskBar = FindWindowW(L"HHTaskBar", nullptr);
    ASSERT_TRUE(taskBar);
    EXPECT_TRUE(IsWindowVisible(taskBar));
    HWND w = TopWindow();
    EXPECT_NE(GetForegroundWindow(), taskBar);
    EXPECT_TRUE(SHFullScreen(w, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
    EXPECT_FALSE(IsWindowVisible(taskBar));
    EXPECT_FALSE(plat::GetShellState().taskBarShown);
    EXPECT_FALSE(plat::GetShellState().sipButtonShown);
    EXPECT_TRUE(SHFullScreen(w, SHFS_SHOWTASKBAR));
    EXPECT_TRUE(IsWindowVisible(taskBar));
    EXPECT_FALSE(plat::GetShellState().sipButtonShown) << "untouched without its flag";
    SHFullScreen(w, SHFS_SHOWSIPBUTTON);
    EXPECT_TRUE(plat::GetShellState().sipButtonShown);
    EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    DestroyWindow(w);
    Drain();
}

TEST(Shell, InputPanelStateIsReported)
{
    SIPINFO info{};
    info.cbSize = sizeof info;
    HWND w = TopWindow();
    Clear();
    SipShowIM(SIPF_ON);
    SipShowIM(SIPF_ON);
    Pump();
    auto changes = Of(w, WM_SETTINGCHANGE);
    ASSERT_EQ(changes.size(), 1u) << "a change is told once";
    EXPECT_EQ(changes[0].wParam, SPI_SETSIPINFO);
    ASSERT_TRUE(SipGetInfo(&info));
    EXPECT_TRUE(info.fdwFlags & SIPF_ON);
    EXPECT_LT(info.rcVisibleDesktop.bottom, info.rcSipRect.bottom);
    SipShowIM(SIPF_OFF);
    SipGetInfo(&info);
    EXPECT_FALSE(info.fdwFlags & SIPF_ON);
    Pump();
    EXPECT_EQ(Of(w, WM_SETTINGCHANGE).size(), 2u) << "hiding is told too";
    info.cbSize = 3;
    EXPECT_FALSE(SipGetInfo(&info));
    DestroyWindow(w);
    Drain();
}

TEST(Shell, MenuBarSoftKeysSendCommandsAndKeepTheirState)
{
    plat::RegisterMenuBarTemplate({25002, {{21018, L"Save"}, {21003, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN}}});
    Clear();
    HWND w = TopWindow(L"owner", RECT{0, 0, 240, 400});
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = w;
    mb.nToolBarId = 25002;
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    ASSERT_TRUE(mb.hwndMB);
    EXPECT_EQ(SHFindMenuBar(w), mb.hwndMB);
    EXPECT_EQ(GetForegroundWindow(), w) << "the bar never takes the activation";

    TBBUTTONINFO info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_STATE | TBIF_COMMAND;
    EXPECT_EQ(SendMessageW(mb.hwndMB, TB_GETBUTTONINFO, 1, reinterpret_cast<LPARAM>(&info)), 1);
    EXPECT_EQ(info.idCommand, 21003);
    EXPECT_EQ(info.fsState, TBSTATE_ENABLED);

    // A tap on the left soft key; the right one is held pressed meanwhile.
    plat::PenInput(plat::Pen::Down, 200, 390);
    Pump();
    info.dwMask = TBIF_BYINDEX | TBIF_STATE;
    SendMessageW(mb.hwndMB, TB_GETBUTTONINFO, 1, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.fsState & TBSTATE_PRESSED, TBSTATE_PRESSED);
    plat::PenInput(plat::Pen::Up, 200, 390);
    plat::PenInput(plat::Pen::Down, 20, 390);
    plat::PenInput(plat::Pen::Up, 20, 390);
    Pump();
    auto commands = Of(w, WM_COMMAND);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(LOWORD(commands[0].wParam), 21003);
    EXPECT_EQ(LOWORD(commands[1].wParam), 21018);

    // Greyed soft keys send nothing.
    info.dwMask = TBIF_BYINDEX | TBIF_STATE;
    info.fsState = TBSTATE_INDETERMINATE;
    EXPECT_TRUE(SendMessageW(mb.hwndMB, TB_SETBUTTONINFO, 0, reinterpret_cast<LPARAM>(&info)));
    info.dwMask = TBIF_STATE | TBIF_TEXT;
    WCHAR text[8];
    info.pszText = text;
    info.cchText = 8;
    EXPECT_EQ(SendMessageW(mb.hwndMB, TB_GETBUTTONINFO, 21018, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.fsState, TBSTATE_INDETERMINATE);
    EXPECT_STREQ(text, L"Save");
    plat::PenInput(plat::Pen::Down, 20, 390);
    plat::PenInput(plat::Pen::Up, 20, 390);
    Pump();
    EXPECT_EQ(Of(w, WM_COMMAND).size(), 2u);
    EXPECT_EQ(SendMessageW(mb.hwndMB, TB_GETBUTTONINFO, 99, reinterpret_cast<LPARAM>(&info)), -1);

    HWND bar = mb.hwndMB;
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(bar)) << "an owned window goes with its owner";
    EXPECT_EQ(SHFindMenuBar(w), nullptr);
    mb.nToolBarId = 1;
    mb.hwndParent = TopWindow();
    EXPECT_FALSE(SHCreateMenuBar(&mb)) << "no such bar";
    DestroyWindow(mb.hwndParent);
    Drain();
}

namespace {

constexpr UINT kWorkAreaDialog = 25010;

INT_PTR RecordingDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    std::lock_guard lock(SeenLock());
    SeenLog().push_back(Seen{hwnd, message, wParam, lParam, std::this_thread::get_id()});
    return FALSE;
}

void Turn(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
}

RECT RectOf(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

TEST(Shell, TurningTheScreenReplacesTheShellAndTheWorkAreaDialogsAndTellsEveryWindow)
{
    plat::DialogTemplate t;
    t.id = kWorkAreaDialog;
    t.style = WS_POPUP | WS_VISIBLE;
    t.x = 5, t.y = 5, t.cx = 50, t.cy = 50;  // the work area wins
    t.workArea = true;
    plat::RegisterDialogTemplate(t);
    plat::RegisterMenuBarTemplate({25011, {{21018, L"Save"}, {21003, L"Menu"}}});
    Clear();
    HWND other = TopWindow(L"other", RECT{0, 0, 240, 400});
    HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kWorkAreaDialog), nullptr, &RecordingDialogProc, 0);
    ASSERT_TRUE(dialog);
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = dialog;
    mb.nToolBarId = 25011;
    ASSERT_TRUE(SHCreateMenuBar(&mb));
    HWND taskBar = FindWindowW(L"HHTaskBar", nullptr);
    EXPECT_TRUE(Same(RectOf(dialog), RECT{0, 26, 240, 374})) << "placed in the work area from the start";
    EXPECT_EQ(GetSystemMetrics(SM_CYDLGFRAME), 0);

    struct Case {
        DWORD code;
        int width, height, clientHeight;
    } cases[] = {{DMDO_270, 400, 240, 188}, {DMDO_0, 240, 400, 348}};
    for (const Case& c : cases) {
        Clear();
        Turn(c.code);
        Pump();
        EXPECT_TRUE(Same(RectOf(taskBar), RECT{0, 0, c.width, 26})) << c.code;
        EXPECT_TRUE(Same(RectOf(mb.hwndMB), RECT{0, c.height - 26, c.width, c.height})) << c.code;
        EXPECT_TRUE(Same(RectOf(dialog), RECT{0, 26, c.width, c.height - 26})) << c.code;
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.bottom - client.top, c.clientHeight) << "the layouts count on this height";
        auto sizes = Of(dialog, WM_SIZE);
        ASSERT_EQ(sizes.size(), 1u) << c.code;
        EXPECT_EQ(sizes[0].lParam, MAKELPARAM(c.width, c.clientHeight));
        EXPECT_TRUE(Of(other, WM_SIZE).empty()) << "only work-area windows move";
        for (HWND w : {other, dialog}) {
            auto changes = Of(w, WM_SETTINGCHANGE);
            ASSERT_EQ(changes.size(), 1u) << c.code;
            EXPECT_EQ(changes[0].wParam, SETTINGCHANGE_RESET);
        }
    }
    Clear();
    Turn(DMDO_0);
    Pump();
    EXPECT_TRUE(Of(other, WM_SETTINGCHANGE).empty()) << "no turn, nothing to tell";
    DestroyWindow(dialog);
    DestroyWindow(other);
    Drain();
}
