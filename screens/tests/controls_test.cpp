#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app_messages.h"
#include "ce_container.h"
#include "plat/debug.h"
#include "plat/screen.h"
#include "screens_fixture.h"

namespace {

// Images of the test's own, by id: 9001 normal (20 x 10 red), 9003 pressed
// (24 x 12 blue); 9002 (focused) does not exist.
class ControlsTest : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        Write(9001, 20, 10, RGB(255, 0, 0));
        Write(9003, 24, 12, RGB(0, 0, 255));
        setenv("LUMOCR_IMAGE_DIR", images.path().c_str(), 1);
        target = CreateRecorder();
    }
    void TearDown() override
    {
        unsetenv("LUMOCR_IMAGE_DIR");
        DestroyWindow(target);
        ScreensFixture::TearDown();
    }

    void Write(UINT id, int w, int h, COLORREF colour)
    {
        plat::ScreenImage png{w, h, std::vector<COLORREF>(static_cast<size_t>(w * h), colour)};
        ASSERT_TRUE(plat::WritePng(images.path() / (std::to_string(id) + ".png"), png));
    }

    static CeCtrlAttrib* Look()
    {
        auto* look = new CeCtrlAttrib();
        look->SetImages(9001, 9002, 9003, 0);
        return look;
    }

    static CeButton* Button(DWORD id, int x, int y)
    {
        auto* b = new CeButton();
        b->Init(id, Look(), 0, POINT{x, y});
        return b;
    }

    // Commands reaching the recorder: sent ones arrive outside a pump, posted ones in it.
    struct Command {
        WPARAM id;
        bool sent;
    };
    static std::vector<Command>& Commands()
    {
        static std::vector<Command> commands;
        return commands;
    }
    static bool& Pumping()
    {
        static bool pumping = false;
        return pumping;
    }
    static HWND CreateRecorder()
    {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (message == WM_MAIN_COMMAND)
                    Commands().push_back(Command{wParam, !Pumping()});
                return DefWindowProcW(hwnd, message, wParam, lParam);
            };
            wc.lpszClassName = L"ControlsRecorder";
            return RegisterClassW(&wc) != 0;
        }();
        Commands().clear();
        return registered ? CreateWindowExW(0, L"ControlsRecorder", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                            nullptr, nullptr)
                          : nullptr;
    }
    static void Pump()
    {
        Pumping() = true;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        Pumping() = false;
    }

    lumtest::TempDir images;
    HWND target = nullptr;
};

TEST_F(ControlsTest, AttributeFallsBackToTheNormalLookOnce)
{
    CeRefPtr<CeCtrlAttrib> look = Look();
    EXPECT_EQ(look->m_nWidth, 20);  // the normal image loads at once
    CeRefPtr<CRotBitmap> normal = look->GetImage(CE_NORMAL);
    ASSERT_TRUE(normal);
    EXPECT_EQ(look->GetImage(CE_FOCUSED), normal);     // missing: state 0
    EXPECT_EQ(look->GetEntry(CE_FOCUSED), look->GetEntry(CE_NORMAL));
    Write(9002, 20, 10, RGB(0, 255, 0));               // appears later: not retried
    EXPECT_EQ(look->GetImage(CE_FOCUSED), normal);
    CeRefPtr<CRotBitmap> pressed = look->GetImage(CE_PRESSED);
    ASSERT_TRUE(pressed);
    EXPECT_NE(pressed, normal);
    EXPECT_EQ(look->m_nWidth, 24);  // natural size: the largest loaded
    EXPECT_FALSE(look->GetImage(5));
}

TEST_F(ControlsTest, TextsAreCutTo29Characters)
{
    CeRefPtr<CeText> text = new CeText();
    const std::wstring forty(40, L'x');
    text->SetText(forty.c_str());
    EXPECT_EQ(std::wstring(text->m_szText), std::wstring(29, L'x'));
    text->SetText(nullptr);
    EXPECT_EQ(text->m_szText[0], 0);
    CeRefPtr<CeButton> button = new CeButton();
    button->SetName(forty.c_str());
    EXPECT_EQ(std::wstring(button->m_szName).size(), 29u);
}

TEST_F(ControlsTest, ButtonKeepsNineteenOfTwentyAttributesAndTakesNoReferenceToTheTwentieth)
{
    std::vector<CeCtrlAttrib*> looks;
    for (int i = 0; i < 20; ++i) {
        looks.push_back(new CeCtrlAttrib());
        looks.back()->AddRef();
    }
    looks.push_back(nullptr);
    {
        CeRefPtr<CeButton> button = new CeButton();
        button->Init(0x10001, 0, POINT{0, 0}, looks.data());
        EXPECT_EQ(button->m_nAttribCount, 19);
        EXPECT_EQ(looks[18]->GetRefCount(), 2);
        EXPECT_EQ(looks[19]->GetRefCount(), 1);
    }
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(looks[static_cast<size_t>(i)]->Release(), 0);
}

TEST_F(ControlsTest, ButtonWithoutAttributeDrawsNothingAndFails)
{
    CeRefPtr<CeButton> button = new CeButton();
    button->m_rect = RECT{1, 2, 30, 40};
    button->m_dwCommandId = 77;
    plat::DebugCapture log;
    EXPECT_FALSE(button->CheckCacheImage(CE_NORMAL));
    EXPECT_TRUE(log.Contains(L"Error:198-line(CeButton::CheckCacheImage||"));
    EXPECT_TRUE(log.Contains(L"m_spCtrlAttrib.IsNull() 77, 1, 2, 30, 40 \r\n"));
    Canvas canvas(40, 40, 0x1111);
    CDrawContext dc;
    dc.Attach(canvas.dc);
    EXPECT_FALSE(button->DrawState(&dc, CE_NORMAL, false));
    EXPECT_EQ(canvas.At(5, 5), 0x1111);
}

TEST_F(ControlsTest, ArrowKeysFollowLinksPastControlsThatTakeNoInput)
{
    CeRefPtr<CeContainer> box = new CeContainer();
    CeButton* a = Button(1, 0, 0);
    CeButton* b = Button(2, 30, 0);
    CeButton* c = Button(3, 60, 0);
    CeButton* d = Button(4, 90, 0);
    for (CeButton* x : {a, b, c, d})
        box->AddControl(x);
    CeContainerBase::SetNeighbours(a, nullptr, b, nullptr, nullptr);
    CeContainerBase::SetNeighbours(b, a, c, nullptr, d);
    CeContainerBase::SetNeighbours(c, b, d, nullptr, nullptr);
    CeContainerBase::SetNeighbours(d, c, nullptr, nullptr, nullptr);
    box->SetFocusById(1, FALSE);

    struct Step {
        UINT key;
        DWORD disable;  // id set to state 3 first (0: none)
        DWORD hide;
        DWORD focusAfter;
    };
    const Step steps[] = {
        {VK_LEFT, 0, 0, 1},   // no link: unchanged
        {VK_RIGHT, 0, 0, 2},  // a -> b
        {VK_RIGHT, 3, 0, 4},  // b -> (c disabled) -> d
        {VK_LEFT, 0, 3, 2},   // d -> (c hidden) -> b
        {VK_DOWN, 4, 0, 2},   // b -> d disabled, then no link: stays
        {VK_UP, 0, 0, 2},
    };
    for (const Step& s : steps) {
        for (CeButton* x : {a, b, c, d})
            if (x->m_nState == CE_DISABLED)
                x->m_nState = CE_NORMAL;
        c->SetStateBit(TRUE);
        if (s.disable)
            box->FindById(s.disable)->m_nState = CE_DISABLED;
        if (s.hide)
            box->FindById(s.hide)->SetStateBit(FALSE);
        int result = -1;
        EXPECT_EQ(box->OnKey(s.key, 0, &result), 1);
        ASSERT_NE(box->m_pFocused, nullptr);
        EXPECT_EQ(box->m_pFocused->m_dwCommandId, s.focusAfter) << s.key;
        EXPECT_EQ(box->m_pFocused->m_nState, CE_FOCUSED);
    }
    int result = -1;
    EXPECT_EQ(box->OnKey('A', 0, &result), 0);
}

TEST_F(ControlsTest, TouchLaunchesOnceAndSendsOrPostsByTheFlags)
{
    struct Case {
        DWORD containerFlags;
        DWORD buttonFlags;
        int secondResult;
        size_t commandsAfterSecond;
        bool sent;
    };
    const Case cases[] = {
        {0, 0, CE_TOUCH_KEPT, 1, false},                                      // second touch: nothing
        {CE_ALWAYS_RELAUNCH, 0, CE_TOUCH_LAUNCHED, 2, false},                 // bit 23: again
        {0, CE_RELAUNCH, CE_TOUCH_LAUNCHED, 2, false},                        // the button's own bit 1
        {CE_SEND_COMMANDS, 0, CE_TOUCH_KEPT, 1, true},                        // bit 22: sent
        {0, CE_SEND_SYNC, CE_TOUCH_KEPT, 1, true},                            // the button's bit 2
    };
    for (const Case& c : cases) {
        Commands().clear();
        CeRefPtr<CeContainer> box = new CeContainer();
        box->m_dwFlags = c.containerFlags | CE_VISIBLE;
        box->SetTarget(target);
        CeButton* button = Button(0x640006, 10, 10);
        button->m_dwFlags |= c.buttonFlags;
        box->AddControl(button);
        int result = -1;
        EXPECT_EQ(box->OnTouch(POINT{5, 5}, TRUE, &result), 0);  // nothing there
        EXPECT_EQ(result, CE_TOUCH_NONE);
        EXPECT_EQ(box->OnTouch(POINT{15, 15}, TRUE, &result), 1);
        EXPECT_EQ(result, CE_TOUCH_LAUNCHED);
        EXPECT_EQ(Commands().size(), c.sent ? 1u : 0u);  // sent: handled before the call returns
        Pump();
        ASSERT_EQ(Commands().size(), 1u);
        EXPECT_EQ(Commands()[0].id, 0x640006u);
        EXPECT_EQ(Commands()[0].sent, c.sent);
        box->OnTouch(POINT{15, 15}, TRUE, &result);
        Pump();
        EXPECT_EQ(result, c.secondResult);
        EXPECT_EQ(Commands().size(), c.commandsAfterSecond);
    }
}

TEST_F(ControlsTest, ListSwallowsADisabledChildAndLaunchesByPosting)
{
    CeRefPtr<CeListContainer> list = new CeListContainer();
    list->SetTarget(target);
    CeButton* off = Button(5, 0, 0);
    CeButton* on = Button(6, 40, 0);
    list->AddControl(off);
    list->AddControl(on);
    off->m_nState = CE_DISABLED;
    int result = -1;
    EXPECT_EQ(list->OnTouch(POINT{5, 5}, TRUE, &result), 1);
    Pump();
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(list->m_pFocused, nullptr);
    list->m_dwFlags |= CE_SEND_COMMANDS;  // lists always post
    EXPECT_EQ(list->OnTouch(POINT{45, 5}, TRUE, &result), 1);
    EXPECT_TRUE(Commands().empty());
    Pump();
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_FALSE(Commands()[0].sent);
    EXPECT_EQ(list->GetAt(list->Count() - 1), on);  // the touched child on top
}

TEST_F(ControlsTest, ScrollListPagesAndRefusesDisabledItems)
{
    CeRefPtr<CeScrollList> list = new CeScrollList(3, 20);
    list->m_rect = RECT{0, 0, 100, 60};
    CeButton* up = Button(0x100, 110, 0);
    CeButton* down = Button(0x101, 110, 40);
    list->SetScrollButtons(up, down);
    for (DWORD v = 1; v <= 7; ++v)
        list->AddItem(v, L"item");
    EXPECT_EQ(up->m_nState, CE_DISABLED);
    EXPECT_EQ(down->m_nState, CE_NORMAL);

    list->OnClick(up, POINT{});  // at index 0: nothing
    EXPECT_EQ(list->m_nFirst, 0);
    for (int expected : {3, 6, 6}) {  // the last page stays
        list->OnClick(down, POINT{});
        EXPECT_EQ(list->m_nFirst, expected);
    }
    EXPECT_EQ(down->m_nState, CE_DISABLED);
    EXPECT_EQ(up->m_nState, CE_NORMAL);

    EXPECT_TRUE(list->Select(1, TRUE, FALSE));
    EXPECT_EQ(list->m_nFirst, 0);
    list->SetItemEnabled(5, FALSE);
    EXPECT_FALSE(list->Select(4, FALSE, FALSE));
    EXPECT_EQ(list->m_nSelected, 1);
    EXPECT_FALSE(list->Select(7, FALSE, FALSE));
    // A touch on the third row selects item index 2 and reports it.
    list->SetTarget(target);
    list->m_dwFlags |= CE_LIST_REPORT_SELECTION;
    EXPECT_TRUE(list->OnClick(nullptr, POINT{10, 45}));
    EXPECT_EQ(list->m_nSelected, 2);
    Pump();
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].id, 3u);
}

TEST_F(ControlsTest, AttachedListShowsWhileItsButtonHasTheFocus)
{
    CeRefPtr<CeContainer> box = new CeContainer();
    box->m_dwFlags |= CE_VISIBLE;
    CeButton* owner = Button(0x20, 0, 0);
    CeButton* other = Button(0x21, 40, 0);
    owner->m_dwFlags |= CE_TAKES_INPUT;
    box->AddControl(owner);
    box->AddControl(other);
    CeRefPtr<CeScrollList> list = new CeScrollList(4, 20);
    list->AddItem(11, L"Auto");
    list->AddItem(12, L"Macro");
    owner->AttachList(list.get());
    owner->m_dwFlags |= CE_TAKES_INPUT;  // here the button keeps taking the focus
    list->Select(1, TRUE, FALSE);
    EXPECT_FALSE(list->IsShown());
    box->SetFocusById(0x20, FALSE);
    EXPECT_TRUE(list->IsShown());
    EXPECT_EQ(list->m_nSelected, 1);
    box->SetFocusById(0x21, FALSE);
    EXPECT_FALSE(list->IsShown());
    list->SelectByValue(11, TRUE);
    EXPECT_EQ(std::wstring(owner->m_szText), L"Auto");
}

}  // namespace
