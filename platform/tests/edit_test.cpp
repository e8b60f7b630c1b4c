#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/screen.h"
#include "plat/windows.h"
#include "wm_helpers.h"

using namespace wmtest;

namespace {

std::wstring Text(HWND edit)
{
    WCHAR buffer[512] = {};
    GetWindowTextW(edit, buffer, 512);
    return buffer;
}

std::pair<DWORD, DWORD> Selection(HWND edit)
{
    DWORD from = 0, to = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    return {from, to};
}

void Type(HWND edit, const std::wstring& text)
{
    for (wchar_t c : text)
        SendMessageW(edit, WM_CHAR, static_cast<WPARAM>(c), 0);
}

int Extent(HFONT font, const std::wstring& text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cx;
}

// Notifications of one kind that the edit sent its parent.
int Notifications(HWND parent, WORD code)
{
    int n = 0;
    for (const Seen& s : Of(parent, WM_COMMAND))
        n += HIWORD(s.wParam) == code;
    return n;
}

class EditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        parent = TopWindow();
        LOGFONTW lf{};
        lf.lfHeight = 16;
        lf.lfWeight = 400;
        wcscpy(lf.lfFaceName, L"Tahoma");
        font = CreateFontIndirectW(&lf);
        Clear();
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        DeleteObject(font);
        plat::UseRealClock();
    }
    HWND Edit(DWORD style, int width = 120, int height = 64)
    {
        HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | style, 10, 10, width, height, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(5)), nullptr, nullptr);
        SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
        Clear();
        return edit;
    }
    HWND parent = nullptr;
    HFONT font = nullptr;
};

TEST_F(EditTest, WrapsAtBlanksInsideTheFormattingRectangle)
{
    HWND edit = Edit(ES_MULTILINE);
    RECT format{5, 2, 105, 62};
    SendMessageW(edit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&format));
    struct Case {
        std::wstring text;
        std::vector<std::wstring> lines;
    } cases[] = {
        {L"one", {L"one"}},
        {L"alpha beta gamma delta", {}},                  // wraps; every line checked below
        {L"Supercalifragilisticexpialidocious", {}},      // no blank: the word is parted
        {L"ab\r\ncd", {L"ab", L"cd"}},
        {L"ab\r\n", {L"ab", L""}},                        // a break at the end opens an empty line
        {L"", {L""}},
    };
    for (const Case& c : cases) {
        SetWindowTextW(edit, c.text.c_str());
        auto count = static_cast<int>(SendMessageW(edit, EM_GETLINECOUNT, 0, 0));
        std::vector<std::wstring> lines;
        for (int k = 0; k < count; ++k) {
            auto start = static_cast<size_t>(SendMessageW(edit, EM_LINEINDEX, k, 0));
            auto length = static_cast<size_t>(SendMessageW(edit, EM_LINELENGTH, start, 0));
            lines.push_back(c.text.substr(start, length));
            EXPECT_LE(Extent(font, lines.back()), 100) << "line " << k << " of " << c.text.size();
            if (k > 0 && start > 0 && c.text[start - 1] != L'\n') {
                EXPECT_TRUE(c.text[start - 1] == L' ' || c.text.find(L' ') == std::wstring::npos)
                    << "a wrapped line starts after a blank";
            }
        }
        if (!c.lines.empty())
            EXPECT_EQ(lines, c.lines);
        else
            EXPECT_GT(count, 1);
        EXPECT_EQ(SendMessageW(edit, EM_LINEINDEX, count, 0), -1);
    }
}

TEST_F(EditTest, TypingAndDeletingMoveTheCaret)
{
    struct Case {
        DWORD style;
        std::wstring typed;
        std::vector<WPARAM> keys;  // after typing
        std::wstring text;
        DWORD caret;
    } cases[] = {
        {0, L"abc", {}, L"abc", 3},
        {0, L"abc\b", {}, L"ab", 2},
        {0, L"abc", {VK_LEFT, VK_LEFT, VK_DELETE}, L"ac", 1},
        {0, L"abc", {VK_HOME}, L"abc", 0},
        {0, L"a\rb", {}, L"ab", 2},                       // one line: Enter types nothing
        {ES_MULTILINE, L"a\rb", {}, L"a\r\nb", 4},
        {ES_MULTILINE, L"a\r\b", {}, L"a", 1},            // Backspace takes the break whole
        {ES_MULTILINE, L"a\rb", {VK_LEFT, VK_LEFT}, L"a\r\nb", 1},
        {ES_MULTILINE, L"a\rb", {VK_UP, VK_END}, L"a\r\nb", 1},
        {ES_MULTILINE, L"ab\rc", {VK_HOME, VK_LEFT, VK_LEFT, VK_DELETE}, L"a\r\nc", 1},
    };
    for (const Case& c : cases) {
        HWND edit = Edit(c.style);
        Type(edit, c.typed);
        for (WPARAM key : c.keys)
            SendMessageW(edit, WM_KEYDOWN, key, 0);
        EXPECT_EQ(Text(edit), c.text);
        EXPECT_EQ(Selection(edit), std::make_pair(c.caret, c.caret));
        EXPECT_GT(Notifications(parent, EN_CHANGE), 0);
        DestroyWindow(edit);
    }
}

TEST_F(EditTest, CutPasteAndOneLevelOfUndo)
{
    HWND edit = Edit(ES_MULTILINE);
    Type(edit, L"hello world");
    SendMessageW(edit, EM_SETSEL, 0, 5);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{0}, DWORD{5}));
    SendMessageW(edit, WM_CUT, 0, 0);
    EXPECT_EQ(Text(edit), L" world");
    EXPECT_EQ(plat::ClipboardText(), L"hello");
    SendMessageW(edit, EM_SETSEL, 6, 6);
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(edit), L" worldhello");
    EXPECT_TRUE(SendMessageW(edit, EM_CANUNDO, 0, 0));
    SendMessageW(edit, EM_UNDO, 0, 0);
    EXPECT_EQ(Text(edit), L" world");
    SendMessageW(edit, EM_UNDO, 0, 0);
    EXPECT_EQ(Text(edit), L" worldhello") << "undoing the undo gives the change back";
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, 0x03, 0);  // Ctrl+C
    EXPECT_EQ(plat::ClipboardText(), L" worldhello");
    SendMessageW(edit, WM_CLEAR, 0, 0);
    EXPECT_EQ(Text(edit), L"");
    SetWindowTextW(edit, L"fresh");
    EXPECT_FALSE(SendMessageW(edit, EM_CANUNDO, 0, 0)) << "a text set by the program starts a new history";
}

TEST_F(EditTest, TheLimitHoldsForTypingAndPasting)
{
    HWND edit = Edit(0);
    SendMessageW(edit, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), 5);
    Type(edit, L"abcdefg");
    EXPECT_EQ(Text(edit), L"abcde");
    EXPECT_GT(Notifications(parent, EN_MAXTEXT), 0);
    plat::SetClipboardText(L"XYZ");
    SendMessageW(edit, EM_SETSEL, 1, 2);
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(edit), L"aXcde") << "what does not fit is left out";
    plat::SetClipboardText(L"12\r\n34");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_PASTE, 0, 0);
    EXPECT_EQ(Text(edit), L"12") << "one line keeps the first line of a paste";
}

TEST_F(EditTest, ACharacterTypedAsTwoUnitsStaysOneCharacter)
{
    HWND edit = Edit(ES_MULTILINE);
    SetForegroundWindow(parent);
    SetFocus(edit);
    plat::TypeText(L"a\U0001F600b");
    Pump();
    EXPECT_EQ(Text(edit), L"a\U0001F600b");
    SendMessageW(edit, WM_KEYDOWN, VK_LEFT, 0);
    SendMessageW(edit, WM_CHAR, L'\b', 0);
    EXPECT_EQ(Text(edit), L"ab");
}

TEST_F(EditTest, LinesScrollAndTheCaretStaysInView)
{
    HWND edit = Edit(ES_MULTILINE, 120, 48);  // three lines of 16 pixels
    SetWindowTextW(edit, L"1\r\n2\r\n3\r\n4\r\n5\r\n6");
    EXPECT_EQ(SendMessageW(edit, EM_GETLINECOUNT, 0, 0), 6);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(edit, EM_LINESCROLL, 0, 2);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 2);
    EXPECT_EQ(Notifications(parent, EN_VSCROLL), 1);
    SendMessageW(edit, EM_LINESCROLL, 0, 10);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 3) << "never past the last page";
    LRESULT r = SendMessageW(edit, EM_SCROLL, SB_PAGEUP, 0);
    EXPECT_EQ(static_cast<SHORT>(LOWORD(r)), -3);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 0);
    SendMessageW(edit, EM_SETSEL, 15, 15);  // on line 6
    SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
    SendMessageW(edit, EM_SETSEL, 12, 12);  // on line 5
    SendMessageW(edit, WM_KEYDOWN, VK_DOWN, 0);
    SendMessageW(edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 3) << "moving inside the view scrolls nothing";
    for (int k = 0; k < 3; ++k)
        SendMessageW(edit, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(SendMessageW(edit, EM_GETFIRSTVISIBLELINE, 0, 0), 1) << "up to line 2, now the first shown";
}

TEST_F(EditTest, PositionsAndCharactersAgree)
{
    HWND edit = Edit(ES_MULTILINE, 120, 64);
    RECT format{4, 3, 116, 61};
    SendMessageW(edit, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&format));
    SetWindowTextW(edit, L"ab\r\ncdef");
    struct Case {
        size_t index;
        int x, y, line;
    } cases[] = {{0, 4, 3, 0}, {4, 4, 19, 1}, {6, 4 + Extent(font, L"cd"), 19, 1}};
    for (const Case& c : cases) {
        LRESULT pos = SendMessageW(edit, EM_POSFROMCHAR, c.index, 0);
        EXPECT_EQ(static_cast<SHORT>(LOWORD(pos)), c.x) << c.index;
        EXPECT_EQ(static_cast<SHORT>(HIWORD(pos)), c.y) << c.index;
        LRESULT at = SendMessageW(edit, EM_CHARFROMPOS, 0, MAKELPARAM(c.x + 1, c.y + 2));
        EXPECT_EQ(LOWORD(at), c.index);
        EXPECT_EQ(HIWORD(at), c.line);
    }
    EXPECT_EQ(SendMessageW(edit, EM_POSFROMCHAR, 8, 0), -1) << "past the last character";
}

TEST_F(EditTest, ATapPlacesTheCaretAndADragSelects)
{
    HWND edit = Edit(ES_MULTILINE);
    SetWindowTextW(edit, L"abcdef");
    int x2 = Extent(font, L"ab"), x5 = Extent(font, L"abcde");
    SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x2 + 1, 5));
    EXPECT_EQ(GetFocus(), edit);
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{2}));
    SendMessageW(edit, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x5 + 1, 5));
    SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(x5 + 1, 5));
    EXPECT_EQ(Selection(edit), std::make_pair(DWORD{2}, DWORD{5}));
    EXPECT_EQ(GetCapture(), nullptr);
    Type(edit, L"X");
    EXPECT_EQ(Text(edit), L"abXf");
    EXPECT_EQ(Notifications(parent, EN_SETFOCUS), 1);
}

TEST_F(EditTest, ProgramTextIsNoUserChangeOnManyLines)
{
    for (DWORD style : {DWORD{0}, ES_MULTILINE}) {
        HWND edit = Edit(style);
        SetWindowTextW(edit, L"set");
        EXPECT_EQ(Notifications(parent, EN_CHANGE), style ? 0 : 1) << style;
        EXPECT_EQ(SendMessageW(edit, WM_GETDLGCODE, 0, 0) & DLGC_WANTALLKEYS, style ? DLGC_WANTALLKEYS : 0);
        DestroyWindow(edit);
        Clear();
    }
}

// The erase step first, then the text: a subclass that paints the
// background sees its pixels under the text.
LRESULT CALLBACK PaintedBackground(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto base = reinterpret_cast<WNDPROC>(GetWindowLongW(hwnd, GWL_USERDATA));
    if (message == WM_ERASEBKGND) {
        RECT r;
        GetClientRect(hwnd, &r);
        HBRUSH green = CreateSolidBrush(RGB(0, 128, 0));
        FillRect(reinterpret_cast<HDC>(wParam), &r, green);
        DeleteObject(green);
        return 1;
    }
    return CallWindowProcW(base, hwnd, message, wParam, lParam);
}

TEST_F(EditTest, PaintErasesThenDrawsTheText)
{
    HWND edit = Edit(ES_MULTILINE, 120, 40);
    SetWindowLongW(edit, GWL_USERDATA, GetWindowLongW(edit, GWL_WNDPROC));
    SetWindowLongW(edit, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&PaintedBackground));
    SetWindowTextW(edit, L"MMMM");
    UpdateWindow(parent);
    UpdateWindow(edit);
    plat::ScreenImage image = plat::ComposeScreen();
    POINT origin{0, 0};
    ClientToScreen(edit, &origin);
    int green = 0, ink = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            COLORREF c = image.pixels[static_cast<size_t>((origin.y + y) * image.width + origin.x + x)];
            green += GetGValue(c) > 100 && GetRValue(c) < 20;
            ink += c == RGB(0, 0, 0);
        }
    EXPECT_GT(green, 120 * 40 / 2);
    EXPECT_GT(ink, 20);
}

}  // namespace
