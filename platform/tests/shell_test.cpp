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
    SipShowIM(SIPF_ON);
    ASSERT_TRUE(SipGetInfo(&info));
    EXPECT_TRUE(info.fdwFlags & SIPF_ON);
    EXPECT_LT(info.rcVisibleDesktop.bottom, info.rcSipRect.bottom);
    SipShowIM(SIPF_OFF);
    SipGetInfo(&info);
    EXPECT_FALSE(info.fdwFlags & SIPF_ON);
    info.cbSize = 3;
    EXPECT_FALSE(SipGetInfo(&info));
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
