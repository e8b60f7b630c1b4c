#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base_gui.h"
#include "ce_container.h"
#include "display.h"
#include "draw_event.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "plat/screen.h"
#include "screens_fixture.h"
#include "settings.h"

namespace {

// A screen that records what reaches it.
class RecordingScreen : public CBaseGUI {
public:
    int DrawLayer0(CDrawContext*) override { return Note("layer0"); }
    int DrawLayer1(CDrawContext*) override { return Note("layer1"); }
    int DrawLayer2(CDrawContext* dc) override
    {
        RECT box{10, 10, 20, 20};
        dc->FillRect(&box, RGB(0, 0, 255));
        paintingSeen = IsPainting();
        return Note("layer2");
    }
    int OnCommand(DWORD command, DWORD argument) override
    {
        commands.push_back({command, argument});
        return 0;
    }
    int Note(const char* what)
    {
        calls.emplace_back(what);
        return 1;
    }
    struct Command {
        DWORD id;
        DWORD argument;
    };
    std::vector<std::string> calls;
    std::vector<Command> commands;
    int paintingSeen = 0;
};

// A pushed container whose answer to a touch the test sets.
class ScriptedContainer : public CeContainer {
public:
    ScriptedContainer(int handled, int code) : handled_(handled), code_(code) {}
    int OnTouch(POINT, BOOL, int* result) override
    {
        ++touches;
        *result = code_;
        return handled_;
    }
    int touches = 0;

private:
    int handled_;
    int code_;
};

class BaseGuiTest : public ScreensFixture {
protected:
    void TearDown() override
    {
        CSettings::ReleaseInstance();
        CTitleLayout::ReleaseInstance();
        ScreensFixture::TearDown();
    }
};

TEST_F(BaseGuiTest, TouchGoesToThePushedContainerOrArrivesAsAnEmptyTouch)
{
    const struct {
        bool pushed;
        int handled;
        int code;
        DWORD command;
        DWORD argument;
    } cases[] = {
        {false, 0, 0, CMD_TOUCH_EMPTY, 399u | (239u << 16)},
        {true, 1, CE_TOUCH_LAUNCHED, CMD_TOUCH_CONTAINER, 0},
        {true, 1, CE_TOUCH_KEPT, CMD_TOUCH_CONTAINER, 0},
        {true, 1, CE_TOUCH_RESTORED, CMD_TOUCH_EMPTY, 399u | (239u << 16)},
        {true, 0, CE_TOUCH_LAUNCHED, CMD_TOUCH_EMPTY, 399u | (239u << 16)},
    };
    for (const auto& c : cases) {
        RecordingScreen screen;
        ScriptedContainer menu(c.handled, c.code);
        if (c.pushed)
            screen.ShowContainer(&menu);
        EXPECT_EQ(screen.OnLButtonDown(POINT{399, 239}, 0), 0);
        ASSERT_EQ(screen.commands.size(), 1u);
        EXPECT_EQ(screen.commands[0].id, c.command) << c.handled << "/" << c.code;
        EXPECT_EQ(screen.commands[0].argument, c.argument);
        EXPECT_EQ(menu.touches, c.pushed ? 1 : 0);
        screen.Stack()->PopAll(TRUE);
    }
}

TEST_F(BaseGuiTest, ShowingTheTopContainerAgainClosesEveryPushedOne)
{
    RecordingScreen screen;
    ScriptedContainer menu(0, 0), submenu(0, 0);
    screen.ShowContainer(&menu);
    screen.ShowContainer(&submenu);
    EXPECT_EQ(screen.Stack()->Count(), 2);
    EXPECT_EQ(screen.Stack()->Top(), &submenu);
    // The lower one again is another container: pushed over.
    screen.ShowContainer(&menu);
    EXPECT_EQ(screen.Stack()->Count(), 3);
    screen.ShowContainer(&menu);
    EXPECT_TRUE(screen.Stack()->IsEmpty());
    // None over none closes too (nothing to pop).
    screen.ShowContainer(nullptr);
    EXPECT_TRUE(screen.Stack()->IsEmpty());
}

TEST_F(BaseGuiTest, PaintFillsTheKeyDrawsTheLayersInOrderAndFlips)
{
    HWND window = CreatePlainWindow();
    ASSERT_EQ(InitDisplay(window), S_OK);
    RecordingScreen screen;
    EXPECT_EQ(screen.OnPaint(), 0);
    EXPECT_EQ(screen.calls, (std::vector<std::string>{"layer0", "layer1", "layer2"}));
    EXPECT_EQ(screen.paintingSeen, 1);
    EXPECT_EQ(screen.IsPainting(), 0);
    // The key shows the primary (left black by Init), the layer's box lies over it.
    plat::ScreenImage shown = plat::ComposeScreen();
    ASSERT_EQ(shown.width, 400);
    // The overlay keeps five bits a channel: full blue shows as 251.
    EXPECT_EQ(shown.At(15, 15), RGB(0, 0, 251));
    EXPECT_EQ(shown.At(200, 120), shown.At(5, 5));
    EXPECT_NE(shown.At(200, 120), RGB(255, 0, 255));
    CDisplay::DestroyInstance();
    DestroyWindow(window);
}

TEST_F(BaseGuiTest, TheShownMessageLiesOverEveryLayerOfTheScreen)
{
    HWND window = CreatePlainWindow();
    ASSERT_EQ(InitDisplay(window), S_OK);
    // A screen whose top layer covers the whole centre band in blue.
    class CoveringScreen : public CBaseGUI {
    public:
        int DrawLayer2(CDrawContext* dc) override
        {
            RECT band{0, 90, 400, 150};
            dc->FillRect(&band, RGB(0, 0, 255));
            return 1;
        }
    } screen;
    CMessagePopupGUI::GetInstance()->ShowLines(L"Saving File");
    ASSERT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP));
    EXPECT_EQ(screen.OnPaint(), 0);
    plat::ScreenImage shown = plat::ComposeScreen();
    int white = 0;
    for (int y = 105; y < 135; ++y)
        for (int x = 0; x < 400; ++x)
            white += shown.At(x, y) == RGB(251, 251, 251);
    EXPECT_GT(white, 30) << "the message's text over the screen's blue";
    // Hidden, the next paint leaves the screen's own layer alone.
    CMessagePopupGUI::GetInstance()->Hide();
    EXPECT_EQ(screen.OnPaint(), 0);
    shown = plat::ComposeScreen();
    for (int x = 0; x < 400; x += 7)
        EXPECT_EQ(shown.At(x, 120), RGB(0, 0, 251));
    CMessagePopupGUI::ReleaseInstance();
    CDisplay::DestroyInstance();
    DestroyWindow(window);
}

TEST_F(BaseGuiTest, PaintWithoutADrawContextReturnsOneAndDrawsNothing)
{
    // The draw bitmap still sits in another paint's DC: no DC for this one.
    RecordingScreen screen;
    CDisplay* display = CDisplay::GetInstance();
    HDC held = display->GetDrawDC();
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(screen.OnPaint(), 1);
    display->FlipBackbuffer(held);
    EXPECT_TRUE(screen.calls.empty());
    EXPECT_EQ(screen.IsPainting(), 0);
}

TEST_F(BaseGuiTest, EveryScreenHoldsItsSevenFonts)
{
    RecordingScreen screen;
    const int heights[kBaseFontCount] = {14, 15, 17, 14, 17, 30, 130};
    for (int i = 0; i < kBaseFontCount; ++i) {
        LOGFONTW font{};
        ASSERT_NE(screen.Font(static_cast<BaseFont>(i)), nullptr);
        ASSERT_TRUE(GetObjectW(screen.Font(static_cast<BaseFont>(i)), sizeof(font), &font));
        EXPECT_EQ(font.lfHeight, heights[i]);
        EXPECT_EQ(font.lfWeight, FW_BOLD);
        EXPECT_STREQ(font.lfFaceName, L"Tahoma");
    }
}

}  // namespace
