#include <gtest/gtest.h>

#include "wm_helpers.h"

using namespace wmtest;

namespace {

std::vector<std::pair<HWND, UINT>> DestroyOrder(const std::vector<HWND>& of)
{
    std::vector<std::pair<HWND, UINT>> out;
    for (const Seen& s : Log())
        if ((s.message == WM_DESTROY || s.message == WM_NCDESTROY) &&
            std::find(of.begin(), of.end(), s.hwnd) != of.end())
            out.emplace_back(s.hwnd, s.message);
    return out;
}

}  // namespace

TEST(Windows, CreateSendsCreateWithTheParametersAndKeepsTextStyleAndId)
{
    Clear();
    int param = 5;
    HWND w = CreateWindowExW(WS_EX_TOPMOST, RecordingClass(), L"Title", WS_POPUP, 10, 20, 100, 50, nullptr, nullptr,
                             nullptr, &param);
    ASSERT_TRUE(w);
    auto created = Of(w, WM_CREATE);
    ASSERT_EQ(created.size(), 1u);
    EXPECT_FALSE(IsWindowVisible(w));
    HWND c = ChildWindow(w, 42, RECT{5, 5, 25, 15});
    EXPECT_EQ(GetParent(c), w);
    EXPECT_EQ(GetDlgItem(w, 42), c);
    EXPECT_EQ(GetDlgCtrlID(c), 42);
    EXPECT_EQ(GetDlgCtrlID(w), 0);
    EXPECT_FALSE(IsWindowVisible(c)) << "a child of a hidden window is not visible";
    ShowWindow(w, SW_SHOW);
    EXPECT_TRUE(IsWindowVisible(c));

    WCHAR text[16];
    EXPECT_EQ(GetWindowTextW(w, text, 16), 5);
    EXPECT_STREQ(text, L"Title");
    EXPECT_EQ(GetWindowTextW(w, text, 3), 2);
    EXPECT_STREQ(text, L"Ti");
    EXPECT_TRUE(SetWindowTextW(w, L"OCR"));
    EXPECT_EQ(FindWindowW(nullptr, L"ocr"), w);
    EXPECT_EQ(FindWindowW(L"testrecorder", L"OCR"), w);
    EXPECT_EQ(FindWindowW(L"TestRecorder", L"nothing"), nullptr);
    EXPECT_EQ(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST, static_cast<LONG_PTR>(WS_EX_TOPMOST));
    EXPECT_EQ(SetWindowLongW(w, GWL_USERDATA, 1234), 0);
    EXPECT_EQ(GetWindowLongW(w, GWL_USERDATA), 1234);

    RECT r;
    GetWindowRect(c, &r);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 25);
    POINT p{0, 0};
    ClientToScreen(c, &p);
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(p.y, 25);
    DestroyWindow(w);
    EXPECT_FALSE(IsWindow(c));
    Drain();
}

TEST(Windows, UnknownClassAndChildWithoutParentFail)
{
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(CreateWindowExW(0, RecordingClass(), L"", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"testRECORDER";
    EXPECT_EQ(RegisterClassW(&wc), 0) << "class names are case-insensitive";
    EXPECT_EQ(GetLastError(), ERROR_CLASS_ALREADY_EXISTS);
}

TEST(Windows, CreateFailsWhenCreateAnswersMinusOne)
{
    WNDCLASSW wc{};
    wc.lpszClassName = L"Refuses";
    wc.lpfnWndProc = [](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        return m == WM_CREATE ? -1 : DefWindowProcW(h, m, wp, lp);
    };
    RegisterClassW(&wc);
    EXPECT_EQ(CreateWindowExW(0, L"Refuses", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(FindWindowW(L"Refuses", nullptr), nullptr);
}

TEST(Windows, DestroyTakesOwnedWindowsFirstThenDestroyParentFirstAndNcDestroyChildrenFirst)
{
    Clear();
    static HWND parent, child, grandChild;
    static bool childAliveDuringParentDestroy = false;
    parent = TopWindow(L"parent");
    child = ChildWindow(parent, 1, RECT{0, 0, 50, 50});
    grandChild = ChildWindow(child, 2, RECT{0, 0, 10, 10});
    HWND owned = CreateWindowExW(0, RecordingClass(), L"owned", WS_POPUP | WS_VISIBLE, 0, 100, 50, 50, parent, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(GetWindow(owned, GW_OWNER), parent);
    EXPECT_EQ(GetParent(owned), parent);

    // Watch the child from the parent's WM_DESTROY.
    static WNDPROC previous;
    previous = reinterpret_cast<WNDPROC>(SetWindowLongW(parent, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(
        +[](HWND h, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
            if (m == WM_DESTROY)
                childAliveDuringParentDestroy = IsWindow(child) && IsWindow(grandChild);
            return CallWindowProcW(previous, h, m, wp, lp);
        })));

    EXPECT_TRUE(DestroyWindow(parent));
    auto order = DestroyOrder({parent, child, grandChild, owned});
    using P = std::pair<HWND, UINT>;
    EXPECT_EQ(order, (std::vector<P>{{owned, WM_DESTROY}, {owned, WM_NCDESTROY}, {parent, WM_DESTROY},
                                     {child, WM_DESTROY}, {grandChild, WM_DESTROY}, {grandChild, WM_NCDESTROY},
                                     {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}}));
    EXPECT_TRUE(childAliveDuringParentDestroy);
    for (HWND h : {parent, child, grandChild, owned})
        EXPECT_FALSE(IsWindow(h));
    EXPECT_FALSE(DestroyWindow(parent));
    Drain();
}

TEST(Windows, CloseLeftToTheDefaultProcedureDestroysTheWindow)
{
    HWND w = TopWindow();
    SendMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(w));
}

TEST(Windows, DestroyFromAnotherThreadIsRefused)
{
    HWND w = TopWindow();
    BOOL result = TRUE;
    std::thread([&] { result = DestroyWindow(w); }).join();
    EXPECT_FALSE(result);
    EXPECT_TRUE(IsWindow(w));
    DestroyWindow(w);
    Drain();
}

TEST(Windows, ZOrderKeepsTopmostWindowsInFrontAndDecidesWhatIsUnderAPoint)
{
    RECT all{0, 40, 240, 400};
    HWND a = TopWindow(L"a", all);
    HWND b = TopWindow(L"b", all);
    POINT pt{100, 200};
    EXPECT_EQ(WindowFromPoint(pt), b);
    SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint(pt), a);
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint(pt), a) << "HWND_TOP stays below topmost windows";
    SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindowLongW(a, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(WindowFromPoint(pt), a) << "leaving the topmost group puts it first among the others";
    SetWindowPos(a, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(WindowFromPoint(pt), b);

    // Moves and sizes, with the no-move and no-size flags.
    SetWindowPos(b, nullptr, 5, 50, 20, 30, SWP_NOZORDER);
    RECT r;
    GetWindowRect(b, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.bottom, 80);
    SetWindowPos(b, nullptr, 99, 99, 40, 40, SWP_NOZORDER | SWP_NOMOVE);
    GetWindowRect(b, &r);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.right, 45);
    SetWindowPos(b, nullptr, 0, 60, 99, 99, SWP_NOZORDER | SWP_NOSIZE);
    GetWindowRect(b, &r);
    EXPECT_EQ(r.top, 60);
    EXPECT_EQ(r.right - r.left, 40);
    EXPECT_EQ(WindowFromPoint(pt), a);
    MoveWindow(b, 0, 0, 240, 400, TRUE);
    GetClientRect(b, &r);
    EXPECT_EQ(r.right, 240);
    ShowWindow(a, SW_HIDE);
    ShowWindow(b, SW_HIDE);
    EXPECT_NE(WindowFromPoint(pt), a);
    EXPECT_NE(WindowFromPoint(pt), b);
    DestroyWindow(a);
    DestroyWindow(b);
    Drain();
}

TEST(Windows, SizeChangesReachTheWindowAsWmSize)
{
    Clear();
    HWND w = TopWindow();
    Clear();
    MoveWindow(w, 0, 0, 400, 240, TRUE);
    auto sizes = Of(w, WM_SIZE);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(LOWORD(sizes[0].lParam), 400);
    EXPECT_EQ(HIWORD(sizes[0].lParam), 240);
    SetWindowPos(w, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(Of(w, WM_SIZE).size(), 1u);
    DestroyWindow(w);
    Drain();
}

TEST(Windows, ActivationAndFocusMoveWithMessages)
{
    Clear();
    HWND a = TopWindow(L"a");
    HWND b = TopWindow(L"b");
    EXPECT_EQ(GetForegroundWindow(), b);
    EXPECT_EQ(GetActiveWindow(), b);
    EXPECT_EQ(GetFocus(), b);
    Clear();
    // The handset's "hwnd | 1" form.
    EXPECT_TRUE(SetForegroundWindow(reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(a) | 1)));
    EXPECT_EQ(GetForegroundWindow(), a);
    auto deact = Of(b, WM_ACTIVATE);
    ASSERT_EQ(deact.size(), 1u);
    EXPECT_EQ(LOWORD(deact[0].wParam), WA_INACTIVE);
    auto act = Of(a, WM_ACTIVATE);
    ASSERT_EQ(act.size(), 1u);
    EXPECT_EQ(LOWORD(act[0].wParam), WA_ACTIVE);
    EXPECT_EQ(GetFocus(), a);
    EXPECT_EQ(Of(b, WM_KILLFOCUS).size(), 1u);
    EXPECT_EQ(Of(a, WM_SETFOCUS).size(), 1u);

    HWND c = ChildWindow(a, 7, RECT{0, 0, 10, 10});
    EXPECT_EQ(SetFocus(c), a);
    EXPECT_EQ(GetFocus(), c);
    EnableWindow(c, FALSE);
    EXPECT_FALSE(IsWindowEnabled(c));
    EXPECT_EQ(GetFocus(), nullptr) << "a disabled window loses the focus";
    EXPECT_TRUE(EnableWindow(c, TRUE)) << "reports that it was disabled";

    // Hiding the active window activates another one.
    ShowWindow(a, SW_HIDE);
    EXPECT_EQ(GetForegroundWindow(), b);
    DestroyWindow(b);
    EXPECT_NE(GetForegroundWindow(), b);
    EXPECT_EQ(GetWindowThreadProcessId(a, nullptr), GetWindowThreadProcessId(c, nullptr));
    DestroyWindow(a);
    Drain();
}

TEST(Windows, CaptureTakesThePenWhereverItIs)
{
    HWND a = TopWindow(L"a", RECT{0, 40, 120, 400});
    HWND b = TopWindow(L"b", RECT{120, 40, 240, 400});
    Drain();
    SetCapture(a);
    EXPECT_EQ(GetCapture(), a);
    plat::PenInput(plat::Pen::Move, 200, 100);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, a);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(msg.lParam)), 200);
    EXPECT_EQ(static_cast<SHORT>(HIWORD(msg.lParam)), 60);
    ReleaseCapture();
    EXPECT_EQ(GetCapture(), nullptr);
    plat::PenInput(plat::Pen::Move, 200, 100);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, b);
    EXPECT_EQ(LOWORD(msg.lParam), 80);
    DestroyWindow(a);
    DestroyWindow(b);
    Drain();
}

TEST(Windows, PenGoesToTheDeepestEnabledChildAndNotThroughADisabledWindow)
{
    HWND top = TopWindow(L"top", RECT{0, 40, 240, 400});
    HWND child = ChildWindow(top, 1, RECT{10, 10, 110, 110});
    HWND off = ChildWindow(top, 2, RECT{120, 10, 220, 110});
    EnableWindow(off, FALSE);
    Drain();
    plat::PenInput(plat::Pen::Down, 20, 60);
    plat::PenInput(plat::Pen::Down, 130, 60);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, child);
    EXPECT_EQ(LOWORD(msg.lParam), 10);
    EXPECT_EQ(HIWORD(msg.lParam), 10);
    EXPECT_EQ(msg.wParam, MK_LBUTTON);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, top) << "a disabled child leaves the touch to its parent";
    EnableWindow(top, FALSE);
    plat::PenInput(plat::Pen::Down, 20, 60);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
    DestroyWindow(top);
    Drain();
}

TEST(Windows, EnumWindowsSeesTopLevelWindowsAndStops)
{
    HWND a = TopWindow(L"enum-a");
    HWND b = TopWindow(L"enum-b");
    std::vector<HWND> seen;
    EXPECT_TRUE(EnumWindows(
        [](HWND h, LPARAM l) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&seen)));
    EXPECT_NE(std::find(seen.begin(), seen.end(), a), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), b), seen.end());
    EXPECT_NE(std::find(seen.begin(), seen.end(), FindWindowW(L"HHTaskBar", nullptr)), seen.end());
    int calls = 0;
    EXPECT_FALSE(EnumWindows([](HWND, LPARAM l) -> BOOL { return ++*reinterpret_cast<int*>(l) == 0; },
                             reinterpret_cast<LPARAM>(&calls)));
    EXPECT_EQ(calls, 1);
    DestroyWindow(a);
    DestroyWindow(b);
    Drain();
}

TEST(Display, ScreenSizeFollowsTheOrientation)
{
    struct Case {
        DWORD orientation;
        int width, height;
    } cases[] = {{DMDO_0, 240, 400}, {DMDO_90, 400, 240}, {DMDO_180, 240, 400}, {DMDO_270, 400, 240}};
    for (const Case& c : cases) {
        DEVMODEW mode{};
        mode.dmSize = sizeof mode;
        mode.dmFields = DM_DISPLAYORIENTATION;
        mode.dmDisplayOrientation = c.orientation;
        EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
        DEVMODEW read{};
        read.dmFields = DM_DISPLAYORIENTATION;
        read.dmDisplayOrientation = 99;
        EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, &read, nullptr, CDS_TEST, nullptr), DISP_CHANGE_SUCCESSFUL);
        EXPECT_EQ(read.dmDisplayOrientation, c.orientation);
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), c.width);
        EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), c.height);
    }
    DEVMODEW bad{};
    bad.dmFields = DM_DISPLAYORIENTATION;
    bad.dmDisplayOrientation = 3;
    EXPECT_NE(ChangeDisplaySettingsEx(nullptr, &bad, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(plat::DisplayOrientation(), DMDO_270);
    EXPECT_EQ(ChangeDisplaySettingsEx(nullptr, nullptr, nullptr, CDS_RESET, nullptr), DISP_CHANGE_BADPARAM);
    DEVMODEW back{};
    back.dmFields = DM_DISPLAYORIENTATION;
    back.dmDisplayOrientation = DMDO_0;
    ChangeDisplaySettingsEx(nullptr, &back, nullptr, CDS_RESET, nullptr);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
}
