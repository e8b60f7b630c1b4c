#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "camera_control.h"
#include "common_control.h"
#include "display.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "neighbour_doubles.h"
#include "plat/clock.h"
#include "plat/gdi.h"
#include "plat/module.h"
#include "screens_fixture.h"
#include "settings.h"
#include "system.h"

namespace {

// The main window's side: which timers fire, what is posted and sent.
struct WindowLog {
    std::vector<UINT_PTR> timers;
    std::vector<WPARAM> commands;  // WM_COMMAND
    int draws = 0;                 // WM_DRAW_SCREEN
    int closes = 0;
};
WindowLog& Log()
{
    static WindowLog log;
    return log;
}

HWND CreateMainWindow()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            switch (message) {
            case WM_TIMER:
                Log().timers.push_back(wParam);
                KillTimer(hwnd, wParam);
                return 0;
            case WM_COMMAND: Log().commands.push_back(wParam); return 0;
            case WM_DRAW_SCREEN:
                ++Log().draws;
                CDrawEvent::TakePending();
                return 0;
            case WM_CLOSE: ++Log().closes; return 0;
            default: return DefWindowProcW(hwnd, message, wParam, lParam);
            }
        };
        wc.lpszClassName = L"PopupTestMain";
        return RegisterClassW(&wc) != 0;
    }();
    return registered ? CreateWindowExW(0, L"PopupTestMain", L"", WS_POPUP, 0, 0, 400, 240, nullptr, nullptr,
                                        nullptr, nullptr)
                      : nullptr;
}

const plat::StringResource kStrings[] = {
    {1103, L"Switching to camera"},     {1104, L"Switching to camcorder"},
    {1075, L"Do you want to change "},  {1308, L"default storage location"},
    {1076, L" to Storage Card?"},       {1107, L"Storage card is not inserted."},
    {1108, L"Do you want to change"},   {1109, L"default storage location"},
    {1110, L"to My Device?"},           {1111, L"Storage card is ejected."},
};

class MessagePopupTest : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        plat::SetProgramStrings(kStrings, std::size(kStrings));
        Log() = {};
        main = CreateMainWindow();
        ASSERT_NE(main, nullptr);
        CDrawEvent::Instance().SetHwnd(main);
        CDrawEvent::TakePending();
        popup = CMessagePopupGUI::GetInstance();
        popup->LoadResource();
    }
    void TearDown() override
    {
        doubles::ReleaseAll();
        CSettings::ReleaseInstance();
        CTitleLayout::ReleaseInstance();
        CDrawEvent::Instance().SetHwnd(nullptr);
        DestroyWindow(main);
        plat::SetProgramStrings(nullptr, 0);
        ScreensFixture::TearDown();
    }
    static void Pump()
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    static void Advance(DWORD ms)
    {
        plat::AdvanceClock(ms);
        Pump();
    }
    // The lines top to bottom as the popup draws them, with their places.
    std::vector<plat::TextCall> Drawn()
    {
        Canvas canvas(400, 240, 0);
        plat::RecordTextCalls(canvas.dc, true);
        CDrawContext context;
        context.Attach(canvas.dc);
        context.m_nSurfaceWidth = GetSystemMetrics(SM_CXSCREEN);
        context.m_nSurfaceHeight = GetSystemMetrics(SM_CYSCREEN);
        popup->DrawLayer0(&context);
        std::vector<plat::TextCall> calls = plat::RecordedTextCalls(canvas.dc);
        context.m_hDC = nullptr;
        return calls;
    }

    HWND main = nullptr;
    CMessagePopupGUI* popup = nullptr;
};

TEST_F(MessagePopupTest, CodesShowTheirLinesTopToBottomInCentredBands)
{
    const struct {
        DWORD code;
        int mode;
        std::vector<std::wstring> lines;
    } cases[] = {
        {0x10007, 0, {L"Saving File"}},
        {0x10015, 0, {L"Camera is in use", L"by another application."}},
        {0x10017, 0, {L"Panorama Initialize", L"Fail! Please", L"Restart Camera"}},
        {0x10024, 0, {L"Not enough Storage", L"Not enough storage to take a picture."}},
        {0x10005, 0, {L"Switching to camera"}},
        {0x10005, 1, {L"Switching to camcorder"}},
        {0x10005, 2, {}},
        {0x20002, 0, {L"Do you want to change ", L"default storage location", L" to Storage Card?"}},
        {0x40004, 0, {L"Storage card is ejected.", L"Do you want to change", L"default storage location",
                      L"to My Device?"}},
        // Unlisted codes inside and outside the family hold the place with nothing in it.
        {0x1000a, 0, {}},
        {0x10013, 0, {}},
        {0x10019, 0, {}},
        {0x10023, 0, {}},
        {0x30001, 0, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code << " mode " << c.mode);
        CSettings* settings = CSettings::GetInstance();
        settings->RemoveGUIStatus(0xFFFF);
        settings->AddGUIStatus(0x2400 | GUI_STATUS_NOTICE);
        settings->SetMode(c.mode);
        popup->ShowMessage(c.code, 0);
        EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_POPUP));
        EXPECT_FALSE(settings->IsGUIStatus(0x2400 | GUI_STATUS_NOTICE));
        EXPECT_EQ(settings->GetCurrentCommand(), c.code);
        EXPECT_EQ(popup->CurrentCode(), c.code);

        const std::vector<plat::TextCall> drawn = Drawn();
        ASSERT_EQ(drawn.size(), c.lines.size());
        const int n = static_cast<int>(c.lines.size());
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(drawn[i].text, c.lines[i]);
            // Band i of the popup centred on y 120, 30 pixels a line.
            const int top = 120 - 15 * n + 30 * i;
            EXPECT_GE(drawn[i].at.y, top);
            EXPECT_LT(drawn[i].at.y, top + 15);
        }
        if (n > 0) {
            EXPECT_EQ(popup->PopupRect().left, 0);
            EXPECT_EQ(popup->PopupRect().right, 400);
            EXPECT_EQ(popup->PopupRect().top, 120 - 15 * n);
            EXPECT_EQ(popup->PopupRect().bottom, 120 + 15 * n);
        }
        popup->Hide();
    }
}

TEST_F(MessagePopupTest, OneLineLiesInTheCentreBandAtTheTurnedDisplayToo)
{
    SetOrientation(DMDO_0);
    // Screens make their fonts for the orientation they are made at.
    CMessagePopupGUI::ReleaseInstance();
    popup = CMessagePopupGUI::GetInstance();
    popup->ShowMessage(0x10007, 0);
    const std::vector<plat::TextCall> drawn = Drawn();
    ASSERT_EQ(drawn.size(), 1u);
    // Turned onto the portrait panel: the layout's y runs along the panel's x from the right.
    const int layoutY = GetSystemMetrics(SM_CXSCREEN) - drawn[0].at.x;
    EXPECT_GE(layoutY, 105);
    EXPECT_LT(layoutY, 135);
    EXPECT_EQ(drawn[0].escapement, 2700);
}

TEST_F(MessagePopupTest, TheDisplayTimeArmsTimer7001AndZeroArmsNone)
{
    popup->ShowMessage(0x10007, 0);
    Advance(60000);
    EXPECT_TRUE(Log().timers.empty());
    popup->ShowMessage(0x10010, 1000);
    Advance(999);
    EXPECT_TRUE(Log().timers.empty());
    Advance(1);
    EXPECT_EQ(Log().timers, std::vector<UINT_PTR>{TM_MESSAGE_TIMEOUT});
}

TEST_F(MessagePopupTest, HidingRedrawsUnlessAPreviewRedrawsItself)
{
    const struct {
        DWORD status;
        int draws;
    } cases[] = {{0, 1}, {GUI_STATUS_THUMBNAIL, 1}, {GUI_STATUS_CAMERA, 0}, {GUI_STATUS_CAMCORDER, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        CSettings::GetInstance()->RemoveGUIStatus(0xFFFF);
        CSettings::GetInstance()->AddGUIStatus(c.status);
        popup->ShowMessage(0x10008, 2000);
        Log() = {};
        popup->Hide();
        EXPECT_EQ(Log().draws, c.draws);
        EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP));
        EXPECT_EQ(popup->CurrentCode(), MESSAGE_NONE);
        EXPECT_TRUE(Drawn().empty());
        Advance(3000);
        EXPECT_TRUE(Log().timers.empty()) << "the display timer stopped";
    }
}

TEST_F(MessagePopupTest, CommandsHideThePopupUnlessACaptureOrTheCamcorderHoldsIt)
{
    const struct {
        unsigned long cameraState;
        int mode;
        bool hides;
    } cases[] = {{1, 0, true}, {16, 0, true}, {3, 0, false}, {1, 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.cameraState << "/" << c.mode);
        doubles::State().cameraState = c.cameraState;
        CSettings::GetInstance()->SetMode(c.mode);
        popup->ShowMessage(0x10024, 0);
        Log() = {};
        EXPECT_EQ(popup->OnCommand(0x40002, 0), 0);
        Pump();
        EXPECT_EQ(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP) == 0, c.hides);
        EXPECT_EQ(Log().commands, std::vector<WPARAM>{kMessageHandledCommand});
        popup->Hide();
    }
}

TEST_F(MessagePopupTest, PendingMessageShowsWhenItsTimerEndsAndTheEndKeyCloses)
{
    popup->ShowPending();
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP)) << "nothing pending";
    popup->SetPending(0x10009, 500, 0);
    Advance(500);
    EXPECT_EQ(Log().timers, std::vector<UINT_PTR>{TM_MESSAGE_RESHOW});
    popup->ShowPending();
    EXPECT_EQ(popup->CurrentCode(), 0x10009u);
    EXPECT_EQ(Drawn().at(0).text, L"No Video");
    // Shown once: the next call has nothing left.
    popup->Hide();
    popup->ShowPending();
    EXPECT_EQ(popup->CurrentCode(), MESSAGE_NONE);

    popup->OnKeyUp(main, VK_F4, 0);
    Pump();
    EXPECT_EQ(Log().closes, 1);
}

TEST_F(MessagePopupTest, AWorkerThreadAsksForTheDrawInsteadOfPainting)
{
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
    std::thread worker([this] { popup->ShowLines(L"Saving Files"); });
    worker.join();
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_POPUP));
    EXPECT_EQ(CDrawEvent::PendingCount(), 1);
    Pump();
    EXPECT_EQ(Log().draws, 1);
    EXPECT_EQ(Drawn().at(0).text, L"Saving Files");
}

}  // namespace
