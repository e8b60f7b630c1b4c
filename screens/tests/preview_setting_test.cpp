#include "preview_setting_gui.h"
#include "setting_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "file_control.h"
#include "gui_screens.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "settings.h"

namespace {

// The menu opened over the camera (2) or camcorder (4) preview.
CPreviewSettingGUI* Open(DWORD from = GUI_STATUS_CAMERA)
{
    CSettings::GetInstance()->AddGUIStatus(from);
    CPreviewSettingGUI* screen = CPreviewSettingGUI::GetInstance();
    screen->OnOpen();
    doubles::Clear();
    return screen;
}

class SettingMenuTest : public PeripheryFixture {
protected:
    static CSettingValueList* Values(CPreviewSettingGUI* screen, int tab, DWORD code)
    {
        return screen->Menu()->List(tab)->ValuesOf(code);
    }
    static DWORD Chosen(CSettingValueList* values)
    {
        return values && values->m_nSelected >= 0 ? values->m_items[static_cast<size_t>(values->m_nSelected)].value
                                                  : 0;
    }
    // The command the menu posted to the main window, or 0.
    DWORD PostedCommand()
    {
        MSG msg;
        DWORD command = 0;
        while (PeekMessageW(&msg, window, WM_MAIN_COMMAND, WM_MAIN_COMMAND, PM_REMOVE))
            command = static_cast<DWORD>(msg.wParam);
        return command;
    }
};

TEST_F(SettingMenuTest, EachValueIdentifierReachesItsSetter)
{
    CPreviewSettingGUI* screen = Open();
    struct Case {
        DWORD id;
        const char* call;  // nullptr: no call at all
    } cases[] = {
        {0x1c0001, "CCommonControl::SetContrast(-3, 1)"},
        {0x1c0004, "CCommonControl::SetContrast(0, 1)"},
        {0x1c0007, "CCommonControl::SetContrast(3, 1)"},
        {0x1d0007, "CCommonControl::SetSaturation(3, 1)"},
        {0x1e0002, "CCommonControl::SetSharpness(-2, 1)"},
        {0x20020, "CCommonControl::SetSelfTimerMode(0)"},
        {0x20023, "CCommonControl::SetSelfTimerMode(3)"},
        {0x140005, "CCommonControl::SetWhiteBalance(4)"},
        {0x16000d, "CCommonControl::SetEffect(12)"},
        {0x1a0006, "CCommonControl::SetISO(5, 1)"},
        {0x1b0001, "CCommonControl::SetMetering(0, 1)"},
        {0x400002, "CCommonControl::SetColorAccent(2)"},
        {0x410201, "CCommonControl::SetColorSwap(1, 2)"},
        {0x420002, "CCommonControl::SetUseWDR(1, 1)"},
        {0x440001, "CCommonControl::SetWidePreview(0, 1)"},
        {0x150003, "CCameraControl::SetCaptureOption(2, 1)"},
        {0x1f0002, "CGPSControl::Init()"},
        {0x3f0002, "CSoundControl::SetShutterIndex(1)"},
        // Outside a setting's values, and the camcorder's video sizes: nothing.
        {0x1c0000, nullptr},
        {0x1c0008, nullptr},
        {0x20024, nullptr},
        {0x410404, nullptr},
        {0x40017, nullptr},
    };
    for (const Case& c : cases) {
        doubles::Clear();
        EXPECT_EQ(screen->OnCommand(c.id, 0), 0);
        if (c.call)
            EXPECT_EQ(doubles::Calls(), std::vector<std::string>{c.call}) << std::hex << c.id;
        else
            EXPECT_TRUE(doubles::Calls().empty()) << std::hex << c.id << ": " << doubles::Calls().front();
    }

    struct Switch {
        DWORD id;
        std::function<int()> read;
        int want;
    } switches[] = {
        {0x170001, [] { return CCommonControl::GetInstance()->IsUseFocus(); }, 0},
        {0x3c0003, [] { return CFileControl::GetInstance()->GetStorageType(); }, 2},
        {0x3d0004, [] { return CSettings::GetInstance()->GetAutoOffMode(); }, 3},
        {0x430002, [] { return CSettings::GetInstance()->IsGuideLineOn(); }, 1},
        {0x3e0002, [] { return CSettings::GetInstance()->IsReviewSwitchOn(); }, 1},
        {0x3e0001, [] { return CSettings::GetInstance()->IsReviewSwitchOn(); }, 0},
    };
    for (const Switch& s : switches) {
        screen->OnCommand(s.id, 0);
        EXPECT_EQ(s.read(), s.want) << std::hex << s.id;
    }
}

TEST_F(SettingMenuTest, QualityGoesToThePreviewTheMenuCameFrom)
{
    CPreviewSettingGUI* screen = Open(GUI_STATUS_CAMERA);
    screen->OnCommand(0x150002, 0);
    EXPECT_EQ(doubles::Calls(), std::vector<std::string>{"CCameraControl::SetCaptureOption(1, 1)"});
    screen->OnClose();

    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMCORDER, GUI_STATUS_CAMERA);
    screen->OnOpen();
    EXPECT_EQ(screen->PreviousStatus(), GUI_STATUS_CAMCORDER);
    EXPECT_EQ(screen->Menu()->CurrentTab(), kTabCamcorder);
    doubles::Clear();
    screen->OnCommand(0x150002, 0);
    EXPECT_EQ(doubles::Calls(), std::vector<std::string>{"CCamcorderControl::SetStreamOption(1)"});
}

TEST_F(SettingMenuTest, OpeningTakesThePreviewsPlaceAndClosingGivesItBack)
{
    CSettings* settings = CSettings::GetInstance();
    settings->AddGUIStatus(GUI_STATUS_NOTICE);
    CPreviewSettingGUI* screen = Open(GUI_STATUS_CAMERA);
    EXPECT_TRUE(screen->IsOpen());
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_SETTING));
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_CAMERA | GUI_STATUS_NOTICE));
    EXPECT_EQ(settings->GetActiveGUI(), screen);
    PostedCommand();

    screen->Menu()->List(kTabCamera)->ChooseRow(3);
    screen->OnClose();
    EXPECT_FALSE(screen->IsOpen());
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_NOTICE));
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_SETTING));
    EXPECT_EQ(PostedCommand(), CMD_PREVIEW_STARTED);
    EXPECT_EQ(screen->Menu()->List(kTabCamera)->m_nSelected, -1);
}

TEST_F(SettingMenuTest, OpeningShowsTheCurrentValues)
{
    CCommonControl* common = CCommonControl::GetInstance();
    common->SetEffect(3);
    common->SetContrast(-2, 1);
    common->SetSharpness(3, 1);
    common->SetSelfTimerMode(1);
    common->SetWhiteBalance(4);
    common->SetUseWDR(1, 1);
    common->SetUseFocus(0);
    CCameraControl::GetInstance()->SetCaptureOption(2, 1);
    CCamcorderControl::GetInstance()->SetStreamOption(1);
    CSettings::GetInstance()->SetAutoOffMode(2);
    CSettings::GetInstance()->SetReviewSwitch(TRUE);
    CFileControl::GetInstance()->SetStorageType(0);
    CPreviewSettingGUI* screen = Open();
    struct Case {
        int tab;
        DWORD code;
        DWORD chosen;
    } cases[] = {
        {kTabCamera, SETTING_EFFECT, 0x160004},
        {kTabCamera, SETTING_CONTRAST, 0x1c0002},
        {kTabCamera, SETTING_SHARPNESS, 0x1e0007},
        {kTabCamera, SETTING_TIMER, 0x20021},
        {kTabCamera, SETTING_WHITE_BALANCE, 0x140005},
        {kTabCamera, SETTING_WDR, 0x420002},
        {kTabCamera, SETTING_FOCUS, 0x170001},
        {kTabCamera, SETTING_QUALITY, 0x150003},
        {kTabCamera, SETTING_COLOR_ACCENT, 0x400000},
        {kTabCamera, SETTING_COLOR_SWAP, 0x410000},
        {kTabCamcorder, SETTING_QUALITY, 0x150002},
        {kTabCamcorder, SETTING_TIMER, 0x20021},
        {kTabGeneral, SETTING_AUTO_OFF, 0x3d0003},
        {kTabGeneral, SETTING_REVIEW, 0x3e0002},
        {kTabGeneral, SETTING_GUIDELINE, 0x430001},
        {kTabGeneral, SETTING_STORAGE, 0x3c0001},
        {kTabGeneral, SETTING_SHUTTER_SOUND, 0x3f0001},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Chosen(Values(screen, c.tab, c.code)), c.chosen) << c.tab << " " << std::hex << c.code;
    // No card in the test device: both removable stores are disabled.
    CSettingValueList* storage = Values(screen, kTabGeneral, SETTING_STORAGE);
    EXPECT_FALSE(storage->m_items[1].enabled);
    EXPECT_FALSE(storage->m_items[2].enabled);
}

TEST_F(SettingMenuTest, CardCommandsEnableAndDisableTheRemovableStores)
{
    CPreviewSettingGUI* screen = Open();
    CSettingValueList* storage = Values(screen, kTabGeneral, SETTING_STORAGE);
    struct Step {
        DWORD command, argument;
        bool first, second;
    } steps[] = {
        {CMD_SETTING_STORAGE_CHANGED, 1, true, false},
        {CMD_SETTING_STORAGE_ADDED, 1, true, true},
        {CMD_SETTING_STORAGE_CHANGED, 0, false, true},
        {CMD_SETTING_STORAGE_ADDED, 0, false, false},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(screen->OnCommand(s.command, s.argument), 0);
        EXPECT_EQ(storage->m_items[1].enabled, s.first) << std::hex << s.command << " " << s.argument;
        EXPECT_EQ(storage->m_items[2].enabled, s.second) << std::hex << s.command << " " << s.argument;
    }
    EXPECT_FALSE(storage->Select(2, FALSE, FALSE)) << "a store that is not there cannot be chosen";
    EXPECT_TRUE(doubles::Calls().empty());
}

TEST_F(SettingMenuTest, TabCommandsShowOneListAndClearTheOthers)
{
    CPreviewSettingGUI* screen = Open();
    CSettingMenu* menu = screen->Menu();
    menu->List(kTabCamera)->ChooseRow(2);
    screen->OnCommand(CMD_SETTING_TAB_GENERAL, 0);
    EXPECT_EQ(menu->CurrentTab(), kTabGeneral);
    EXPECT_TRUE(menu->List(kTabGeneral)->IsShown());
    EXPECT_FALSE(menu->List(kTabCamera)->IsShown());
    EXPECT_FALSE(menu->List(kTabCamcorder)->IsShown());
    EXPECT_EQ(menu->List(kTabCamera)->m_nSelected, -1);
    EXPECT_EQ(menu->List(kTabCamera)->ShownValues(), nullptr);
}

// The pen on a title shows its values; on a value it sends the value's
// identifier to the main window, which hands it back to the screen.
TEST_F(SettingMenuTest, TouchesChooseATitleThenAValue)
{
    CPreviewSettingGUI* screen = Open();
    CSettingTitleList* camera = screen->Menu()->List(kTabCamera);
    screen->OnLButtonDown(POINT{100, 56 + 15}, 0);  // "Extend View"
    ASSERT_EQ(camera->m_nSelected, 0);
    CSettingValueList* values = camera->ShownValues();
    ASSERT_EQ(values, Values(screen, kTabCamera, SETTING_EXTEND_VIEW));
    EXPECT_TRUE(values->IsShown());
    PostedCommand();

    screen->OnLButtonDown(POINT{280, 56 + 30 + 15}, 0);  // its "On"
    const DWORD command = PostedCommand();
    EXPECT_EQ(command, 0x440002u);
    screen->OnCommand(command, 0);
    EXPECT_EQ(doubles::Calls(), std::vector<std::string>{"CCommonControl::SetWidePreview(1, 1)"});

    // The down button of the titles pages on: "2/3".
    screen->OnLButtonDown(POINT{176, 220}, 0);
    EXPECT_EQ(camera->m_nFirst, 5);
    EXPECT_EQ(SettingPageText(*camera), L"2/3");
    // A touch on the menu's empty strip stays in the menu.
    doubles::Clear();
    screen->OnLButtonDown(POINT{120, 238}, 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_SETTING));
}

TEST_F(SettingMenuTest, KeysMoveInTheMenuAndTheEndKeyEndsThePreview)
{
    CPreviewSettingGUI* screen = Open();
    CSettingMenu* menu = screen->Menu();
    screen->OnKeyUp(nullptr, VK_DOWN, 0);
    screen->OnKeyUp(nullptr, VK_DOWN, 0);
    EXPECT_EQ(menu->List(kTabCamera)->m_nSelected, 1);  // "Timer"
    screen->OnKeyUp(nullptr, VK_RETURN, 0);
    EXPECT_EQ(PostedCommand(), 0x20021u) << "the next timer value";
    screen->OnKeyUp(nullptr, VK_RIGHT, 0);
    EXPECT_EQ(menu->CurrentTab(), kTabCamcorder);
    EXPECT_FALSE(CCommonControl::GetInstance()->m_bExit.load());

    screen->OnKeyUp(nullptr, VK_F4, 0);
    EXPECT_TRUE(CCommonControl::GetInstance()->m_bExit.load());
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMERA)) << "the menu closed on the way";
    EXPECT_FALSE(screen->IsOpen());
}

TEST(SettingPage, FirstVisibleRowOverPageSize)
{
    struct Case {
        int items, pageSize, first;
        const wchar_t* text;
    } cases[] = {
        {12, 5, 5, L"2/3"}, {12, 5, 0, L"1/3"}, {12, 5, 10, L"3/3"}, {5, 5, 0, L"1/1"},
        {0, 5, 0, L"1/1"},  {6, 1, 0, L"1/6"},  {6, 1, 5, L"6/6"},
    };
    for (const Case& c : cases) {
        CeScrollList list(c.pageSize, 30);
        for (int i = 0; i < c.items; ++i)
            list.AddItem(static_cast<DWORD>(i + 1), L"x");
        list.m_nFirst = c.first;
        EXPECT_EQ(SettingPageText(list), c.text) << c.items << " " << c.pageSize << " " << c.first;
    }
}

// ---- Look ----

TEST_F(PeripheryLook, Settings)
{
    auto paint = [&](CDrawContext& dc) {
        // Images are kept turned for the display code they were loaded at.
        CPreviewSettingGUI::ReleaseInstance();
        CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_SETTING);
        CPreviewSettingGUI* screen = Open();
        screen->Menu()->List(kTabCamera)->ChooseRow(5);  // "Focus", on the second page
        screen->DrawLayer1(&dc);
    };
    look::Result r = look::Run("settings", window, paint);
    EXPECT_EQ(r.farPixels, 0);
    ExpectImageAt(r, IDB_SETTING_TAB + 1, 93, 15);   // camera, chosen
    ExpectImageAt(r, IDB_SETTING_TAB + 2, 200, 15);  // camcorder
    ExpectImageAt(r, IDB_SETTING_TAB + 4, 307, 15);  // general
    ExpectImageAt(r, IDB_SETTING_TITLE_BAR, 200, 43);
    ExpectImageAt(r, IDB_SETTING_TITLE_ICON, 56, 43);
    ExpectImageAt(r, IDB_SETTING_LIST_BACK, 200, 148);
    ExpectImageAt(r, IDB_SETTING_HIGHLIGHT, 280, 101);  // "On", the second value
    ExpectImageAt(r, IDB_SETTING_SCROLL_UP, 64, 222);   // the titles' second page: both ways open
    ExpectImageAt(r, IDB_SETTING_SCROLL_DOWN, 176, 222);
    ExpectImageAt(r, IDB_SETTING_SCROLL_UP + 2, 224, 222);  // two values: no paging
    ExpectImageAt(r, IDB_SETTING_SCROLL_DOWN + 2, 336, 222);
    // The preview shows around the menu.
    ExpectColour(r, 20, 120, look::Pattern(20, 120));
    ExpectColour(r, 380, 120, look::Pattern(380, 120));
}

}  // namespace
