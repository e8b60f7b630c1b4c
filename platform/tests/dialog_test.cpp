#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "wm_helpers.h"

using namespace wmtest;

namespace {

constexpr UINT kTimerDialog = 500;
constexpr UINT kOuterDialog = 600;
constexpr UINT kInnerDialog = 601;
constexpr UINT kDeepDialog = 602;
constexpr UINT kButtons = 603;

void RegisterTemplates()
{
    static const bool once = [] {
        plat::RegisterDialogTemplate({kTimerDialog, WS_POPUP, 0, 0, 0, 240, 400, L"Timer", {}});
        plat::RegisterDialogTemplate({kOuterDialog, WS_POPUP, 0, 0, 0, 240, 400, L"Outer", {}});
        plat::RegisterDialogTemplate({kInnerDialog, WS_POPUP, 0, 0, 40, 240, 200, L"Inner", {}});
        plat::RegisterDialogTemplate({kDeepDialog, WS_POPUP, 0, 0, 40, 240, 200, L"Deep", {}});
        plat::RegisterDialogTemplate({kButtons,
                                      WS_POPUP | WS_VISIBLE,
                                      0,
                                      0,
                                      40,
                                      240,
                                      200,
                                      L"Buttons",
                                      {{L"STATIC", L"Label", 10, 0, 0, 10, 10, 100, 20},
                                       {L"BUTTON", L"OK", IDOK, WS_TABSTOP | WS_VISIBLE, 0, 10, 100, 100, 40},
                                       {L"EDIT", L"", 11, WS_TABSTOP | WS_VISIBLE, 0, 120, 100, 100, 40}}});
        return true;
    }();
    (void)once;
}

std::atomic<bool> g_timerDialogUp{false};
int g_ticks = 0;

INT_PTR TimerDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetTimer(dialog, 1100, 2000, nullptr);
        g_timerDialogUp = true;
        return TRUE;
    case WM_TIMER:
        if (wParam == 1100 && ++g_ticks == 2) {
            KillTimer(dialog, 1100);
            EndDialog(dialog, 77);
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

TEST(Dialogs, TimersFireInAModalLoopOnTheVirtualClock)
{
    RegisterTemplates();
    VirtualClock clock(0);
    g_ticks = 0;
    g_timerDialogUp = false;
    HWND owner = TopWindow();
    std::atomic<bool> finished{false};
    std::thread ticker([&] {
        while (!g_timerDialogUp)
            std::this_thread::yield();
        while (!finished) {
            plat::AdvanceClock(500);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    INT_PTR result = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kTimerDialog), owner, &TimerDialogProc, 0);
    finished = true;
    ticker.join();
    EXPECT_EQ(result, 77);
    EXPECT_EQ(g_ticks, 2);
    EXPECT_GE(plat::NowMs(), 4000u);
    EXPECT_TRUE(IsWindowEnabled(owner));
    DestroyWindow(owner);
    Drain();
}

namespace {

struct Nested {
    HWND outer = nullptr;
    bool ownerDisabledInside = false;
    bool outerGotPostedDuringInner = false;
    bool outerGotPostedBeforeInnerEnded = false;
    INT_PTR innerResult = 0;
    bool innerEnded = false;
};
Nested g_nested;

constexpr UINT kStartInner = WM_APP + 1;
constexpr UINT kForOuter = WM_APP + 2;
constexpr UINT kEndInner = WM_APP + 3;

INT_PTR InnerProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        PostMessageW(g_nested.outer, kForOuter, 0, 0);
        PostMessageW(dialog, kEndInner, 0, 0);
        return TRUE;
    case kEndInner:
        g_nested.ownerDisabledInside = !IsWindowEnabled(g_nested.outer);
        g_nested.innerEnded = true;
        EndDialog(dialog, 5);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR OuterProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        g_nested.outer = dialog;
        PostMessageW(dialog, kStartInner, 0, 0);
        return TRUE;
    case kStartInner:
        g_nested.innerResult = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kInnerDialog), dialog, &InnerProc, 0);
        EndDialog(dialog, g_nested.outerGotPostedDuringInner ? 9 : 8);
        return TRUE;
    case kForOuter:
        g_nested.outerGotPostedDuringInner = true;
        g_nested.outerGotPostedBeforeInnerEnded = !g_nested.innerEnded;
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR DeepProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongW(dialog, DWLP_USER, lParam);
        PostMessageW(dialog, kStartInner, 0, 0);
        return TRUE;
    case kStartInner: {
        LONG_PTR depth = GetWindowLongW(dialog, DWLP_USER);
        INT_PTR below = depth < 6 ? DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kDeepDialog), dialog, &DeepProc, depth + 1)
                                  : 0;
        EndDialog(dialog, below * 10 + depth);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

}  // namespace

TEST(Dialogs, ANestedModalDialogReturnsItsCodeAndTheOuterOneKeepsItsPostedMessages)
{
    RegisterTemplates();
    g_nested = Nested{};
    HWND frame = TopWindow(L"frame");
    INT_PTR outer = DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kOuterDialog), frame, &OuterProc, 0);
    EXPECT_EQ(g_nested.innerResult, 5);
    EXPECT_EQ(outer, 9);
    EXPECT_TRUE(g_nested.ownerDisabledInside);
    EXPECT_TRUE(g_nested.outerGotPostedBeforeInnerEnded) << "dispatched by the inner loop, in posting order";
    EXPECT_FALSE(IsWindow(g_nested.outer));
    EXPECT_TRUE(IsWindowEnabled(frame));
    EXPECT_EQ(GetForegroundWindow(), frame);
    DestroyWindow(frame);
    Drain();
}

TEST(Dialogs, ModalLoopsNestToAnyDepth)
{
    RegisterTemplates();
    HWND frame = TopWindow(L"frame");
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kDeepDialog), frame, &DeepProc, 1), 654321);
    EXPECT_TRUE(IsWindowEnabled(frame));
    DestroyWindow(frame);
    Drain();
}

TEST(Dialogs, AQuitRequestEndsTheModalLoopAndReachesTheOuterLoop)
{
    RegisterTemplates();
    DLGPROC quits = [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_INITDIALOG)
            PostQuitMessage(4);
        return FALSE;
    };
    DialogBoxParamW(nullptr, MAKEINTRESOURCEW(kOuterDialog), nullptr, quits, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_EQ(FindWindowW(kDialogClass, L"Outer"), nullptr);
}

TEST(Dialogs, AMissingTemplateFails)
{
    EXPECT_EQ(DialogBoxParamW(nullptr, MAKEINTRESOURCEW(4242), nullptr, nullptr, 0), -1);
    EXPECT_EQ(CreateDialogParamW(nullptr, MAKEINTRESOURCEW(4242), nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(DialogBoxParamW(nullptr, L"byname", nullptr, nullptr, 0), -1);
}

TEST(Dialogs, ModelessDialogControlsAndButtonClicks)
{
    RegisterTemplates();
    static std::vector<WPARAM> commands;
    commands.clear();
    DLGPROC proc = [](HWND, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_COMMAND) {
            commands.push_back(wParam);
            return TRUE;
        }
        return message == WM_INITDIALOG;
    };
    HWND dialog = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kButtons), nullptr, proc, 0);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    HWND ok = GetDlgItem(dialog, IDOK);
    ASSERT_TRUE(ok);
    EXPECT_EQ(GetFocus(), ok) << "the first tab stop";
    WCHAR text[16];
    GetDlgItemTextW(dialog, 10, text, 16);
    EXPECT_STREQ(text, L"Label");

    plat::PenInput(plat::Pen::Down, 50, 150);  // the button: (10, 100) in the dialog at (0, 40)
    plat::PenInput(plat::Pen::Up, 50, 150);
    SetFocus(GetDlgItem(dialog, 11));
    plat::TypeText(L"ab");
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(11, EN_SETFOCUS), MAKEWPARAM(IDOK, BN_CLICKED),
                                             MAKEWPARAM(11, EN_CHANGE), MAKEWPARAM(11, EN_CHANGE)}))
        << "the focus is told at once, the posted click comes after";
    GetDlgItemTextW(dialog, 11, text, 16);
    EXPECT_STREQ(text, L"ab");
    // WM_CLOSE becomes the cancel command; the dialog stays.
    SendMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_EQ(commands.back(), static_cast<WPARAM>(MAKEWPARAM(IDCANCEL, BN_CLICKED)));
    EXPECT_TRUE(IsWindow(dialog));
    DestroyWindow(dialog);
    Drain();
}

TEST(MessageBox, LogsAndAnswersAtOnce)
{
    plat::DebugCapture capture;
    EXPECT_EQ(MessageBoxW(nullptr, L"Application terminates due to the absence of camera module.", L"Warning",
                          MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST),
              IDOK);
    EXPECT_TRUE(capture.Contains(L"Warning"));
    EXPECT_TRUE(capture.Contains(L"absence of camera module"));
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"Q", MB_YESNO), IDYES);
    plat::SetMessageBoxAnswer(IDNO);
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"Q", MB_YESNO), IDNO);
    plat::SetMessageBoxAnswer(0);
}
