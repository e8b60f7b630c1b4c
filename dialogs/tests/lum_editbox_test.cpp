#include "lum_editbox.h"

#include <gtest/gtest.h>

#include <string>

#include "bcr_view_impl.h"
#include "dialog_doubles.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/windows.h"
#include "skin_draw.h"

namespace {

using dlgtest::Pump;

class LumEditboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        dlgtest::Turn(DMDO_0);
        parent = dlgtest::CreateRecordingParent();
        HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_AUTOVSCROLL, 3, 63, 186,
                                    33, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BCR_EDIT)), nullptr,
                                    nullptr);
        ASSERT_TRUE(box.Attach(edit));
        box.SetBackground(21032);
        dlgtest::ParentMessages().clear();
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        plat::UseRealClock();
    }
    void Tick()
    {
        plat::AdvanceClock(kEditScrollMs);
        Pump();
        UpdateWindow(box);
    }

    lumtest::TempDir root;
    HWND parent = nullptr;
    LumEditbox box;
};

TEST_F(LumEditboxTest, OnlyATextThatOverflowsRunsByAndTheFocusStopsIt)
{
    SetWindowTextW(box, L"Ann Lee");
    EXPECT_FALSE(box.Scrolling());
    SetWindowTextW(box, L"International Business Machines Research Laboratory Zurich");
    EXPECT_TRUE(box.Scrolling());
    Tick();
    size_t first = box.ScrollOffset();
    Tick();
    Tick();
    EXPECT_EQ(box.ScrollOffset(), first + 2) << "one character a tick";
    SetFocus(box);
    EXPECT_FALSE(box.Scrolling());
    DWORD from = 9, to = 9;
    SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 0u) << "the caret at the start";
}

TEST_F(LumEditboxTest, AHiddenBoxStopsItsMarquee)
{
    SetWindowTextW(box, L"International Business Machines Research Laboratory Zurich");
    ShowWindow(box, SW_HIDE);
    Tick();
    EXPECT_FALSE(box.Scrolling());
}

TEST_F(LumEditboxTest, MarqueeWrapsWithThreeBlanks)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = skin::MakeFont(18, 700);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring text = L"abcdefghij";
    SIZE all{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &all);
    struct Case {
        size_t offset;
        int width;
        std::wstring shown;
    } cases[] = {
        {0, all.cx - 1, text},                       // wider than the box: alone
        {8, all.cx, L"ij   abcdefghij"},             // the beginning follows three blanks
        {11, all.cx, L"  abcdefghij"},               // past the end: the blanks run out
        {13, all.cx, L"abcdefghij"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LumEditbox::MarqueeText(dc, text, c.offset, c.width), c.shown) << c.offset;
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST_F(LumEditboxTest, EnterActionKeyAndExitKeyReachTheView)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        WORD command;
    } cases[] = {
        {WM_CHAR, L'\r', 0, CMD_BCR_EDITOR_OK},
        {WM_KEYDOWN, 0x86, 0, CMD_BCR_EDITOR_OK},
        {WM_KEYDOWN, VK_PROCESSKEY_CODE, 0x3C0001, CMD_BCR_EXIT},
    };
    for (const Case& c : cases) {
        dlgtest::ParentMessages().clear();
        SendMessageW(box, c.message, c.wParam, c.lParam);
        auto commands = dlgtest::MessagesOf(WM_COMMAND);
        ASSERT_EQ(commands.size(), 1u) << c.wParam;
        EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
    }
    SetWindowTextW(box, L"");
    SendMessageW(box, WM_CHAR, L'x', 0);
    WCHAR text[8] = {};
    GetWindowTextW(box, text, 8);
    EXPECT_STREQ(text, L"x") << "other characters are typed";
}

}  // namespace
