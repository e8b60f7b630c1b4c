// The "EDIT" control. Its text is the window text; what else it keeps (the
// selection, the first line shown, the formatting rectangle, the font, the
// limit and the undo record) lives here, per window. Lines are laid out
// afresh from the text whenever they are needed: the texts are short.
#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "plat/controls.h"
#include "plat/dialog.h"
#include "plat/edit.h"
#include "plat/gdi.h"
#include "plat/input.h"
#include "plat/message.h"
#include "plat/scrollbar.h"
#include "plat/window.h"
#include "edit_layout.h"
#include "wm_internal.h"

namespace {

using plat::edit::BreakLength;
using plat::edit::IsBreak;
using plat::edit::Layout;
using plat::edit::Line;
using plat::edit::LineOf;
using plat::edit::Measure;

struct EditState {
    size_t anchor = 0;  // the selection runs from anchor to caret
    size_t caret = 0;
    int firstLine = 0;  // many lines: the first line shown
    int xOffset = 0;    // one line: pixels scrolled to the left
    RECT format{};
    bool formatSet = false;
    HFONT font = nullptr;
    size_t limit = kEditDefaultLimit;
    bool canUndo = false;
    std::wstring undoText;
    size_t undoAnchor = 0, undoCaret = 0;
    WCHAR pendingHigh = 0;  // the first half of a pair typed as two UTF-16 units
};

std::mutex g_lock;
std::map<HWND, EditState> g_edits;
std::mutex g_clipboardLock;
std::wstring g_clipboard;

// The control's state; only its own thread works on it.
EditState& StateOf(HWND hwnd)
{
    std::lock_guard lock(g_lock);
    return g_edits[hwnd];
}

bool Multiline(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & ES_MULTILINE) != 0; }

std::wstring TextOf(HWND hwnd)
{
    int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

RECT FormatRect(HWND hwnd, const EditState& s)
{
    if (s.formatSet)
        return s.format;
    RECT r{};
    GetClientRect(hwnd, &r);
    return r;
}

// Everything a message handler needs of the control at once.
struct View {
    HWND hwnd;
    EditState& s;
    std::wstring text;
    bool multiline;
    RECT format;
    Measure m;
    std::vector<Line> lines;

    explicit View(HWND h)
        : hwnd(h), s(StateOf(h)), text(TextOf(h)), multiline(Multiline(h)), format(FormatRect(h, s)), m(s.font)
    {
        s.anchor = std::min(s.anchor, text.size());
        s.caret = std::min(s.caret, text.size());
        lines = Layout(text, multiline, std::max<int>(1, format.right - format.left), m);
    }
    int Visible() const { return std::max(1, static_cast<int>((format.bottom - format.top) / m.Height())); }
    int MaxFirst() const { return std::max(0, static_cast<int>(lines.size()) - Visible()); }
    POINT PosOf(size_t index)
    {
        int line = LineOf(lines, index);
        const Line& l = lines[static_cast<size_t>(line)];
        int x = format.left + m.Width(text, l.start, std::min(index, l.end)) - (multiline ? 0 : s.xOffset);
        int y = format.top + (line - s.firstLine) * m.Height();
        return POINT{x, y};
    }
    size_t CharAt(int x, int y)
    {
        int line = multiline ? s.firstLine + (y - format.top) / m.Height() : 0;
        if (y < format.top && multiline)
            line = s.firstLine - 1;
        line = std::clamp(line, 0, static_cast<int>(lines.size()) - 1);
        const Line& l = lines[static_cast<size_t>(line)];
        int at = format.left - (multiline ? 0 : s.xOffset);
        size_t i = l.start;
        while (i < l.end) {
            int w = m.Width(text[i]);
            if (x < at + w / 2)
                break;
            at += w;
            ++i;
        }
        return i;
    }
};

void Notify(HWND hwnd, WORD code)
{
    SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

void ScrollTo(View& v, int first)
{
    first = std::clamp(first, 0, v.MaxFirst());
    if (first == v.s.firstLine)
        return;
    Notify(v.hwnd, EN_VSCROLL);
    v.s.firstLine = first;
    InvalidateRect(v.hwnd, nullptr, TRUE);
}

// Brings the caret into view: its line for many lines, its x for one.
void ShowCaret(View& v)
{
    if (v.multiline) {
        int line = LineOf(v.lines, v.s.caret);
        if (line < v.s.firstLine)
            ScrollTo(v, line);
        else if (line >= v.s.firstLine + v.Visible())
            ScrollTo(v, line - v.Visible() + 1);
        return;
    }
    int width = v.format.right - v.format.left;
    int x = v.m.Width(v.text, 0, v.s.caret);
    int offset = v.s.xOffset;
    if (x < offset)
        offset = x;
    else if (x > offset + width - 1)
        offset = x - width + 1;
    if (offset != v.s.xOffset) {
        v.s.xOffset = std::max(0, offset);
        InvalidateRect(v.hwnd, nullptr, TRUE);
    }
}

// The caret never stands inside a "\r\n".
size_t Snap(const std::wstring& text, size_t index)
{
    if (index > 0 && index < text.size() && text[index - 1] == L'\r' && text[index] == L'\n')
        return index - 1;
    return index;
}

// Replaces the selection with what, within the limit; false when nothing changed.
bool ReplaceSelection(HWND hwnd, const std::wstring& what, bool notify = true)
{
    View v(hwnd);
    size_t from = std::min(v.s.anchor, v.s.caret), to = std::max(v.s.anchor, v.s.caret);
    std::wstring insert = what;
    if (!v.multiline) {
        auto cut = insert.find_first_of(L"\r\n");
        if (cut != std::wstring::npos)
            insert.resize(cut);
    }
    size_t room = v.s.limit > v.text.size() - (to - from) ? v.s.limit - (v.text.size() - (to - from)) : 0;
    bool tooLong = insert.size() > room;
    if (tooLong) {
        insert.resize(room);
        if (!insert.empty() && insert.back() == L'\r')
            insert.pop_back();  // a break is never cut in half
        Notify(hwnd, EN_MAXTEXT);
    }
    if (insert.empty() && from == to)
        return false;
    v.s.canUndo = true;
    v.s.undoText = v.text;
    v.s.undoAnchor = v.s.anchor;
    v.s.undoCaret = v.s.caret;
    std::wstring text = v.text.substr(0, from) + insert + v.text.substr(to);
    DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    v.s.anchor = v.s.caret = from + insert.size();
    InvalidateRect(hwnd, nullptr, TRUE);
    View after(hwnd);
    ShowCaret(after);
    if (notify)
        Notify(hwnd, EN_CHANGE);
    return true;
}

void Select(HWND hwnd, size_t anchor, size_t caret)
{
    View v(hwnd);
    v.s.anchor = Snap(v.text, std::min(anchor, v.text.size()));
    v.s.caret = Snap(v.text, std::min(caret, v.text.size()));
    InvalidateRect(hwnd, nullptr, TRUE);
}

void MoveCaret(HWND hwnd, size_t to, bool extend)
{
    View v(hwnd);
    v.s.caret = Snap(v.text, std::min(to, v.text.size()));
    if (!extend)
        v.s.anchor = v.s.caret;
    ShowCaret(v);
    InvalidateRect(hwnd, nullptr, TRUE);
}

void OnKey(HWND hwnd, WPARAM key)
{
    View v(hwnd);
    bool shift = GetKeyState(VK_SHIFT) < 0;
    size_t caret = v.s.caret;
    bool hasSelection = v.s.anchor != v.s.caret;
    int line = LineOf(v.lines, caret);
    const Line& l = v.lines[static_cast<size_t>(line)];
    switch (key) {
    case VK_LEFT:
        if (hasSelection && !shift)
            return MoveCaret(hwnd, std::min(v.s.anchor, caret), false);
        if (caret > 0)
            caret -= (caret >= 2 && v.text[caret - 1] == L'\n' && v.text[caret - 2] == L'\r') ? 2 : 1;
        return MoveCaret(hwnd, caret, shift);
    case VK_RIGHT:
        if (hasSelection && !shift)
            return MoveCaret(hwnd, std::max(v.s.anchor, caret), false);
        if (caret < v.text.size())
            caret += IsBreak(v.text, caret) ? BreakLength(v.text, caret) : 1;
        return MoveCaret(hwnd, caret, shift);
    case VK_HOME:
        return MoveCaret(hwnd, l.start, shift);
    case VK_END:
        return MoveCaret(hwnd, l.end, shift);
    case VK_UP:
    case VK_DOWN: {
        int target = line + (key == VK_UP ? -1 : 1);
        if (target < 0 || target >= static_cast<int>(v.lines.size()))
            return;
        // The same x on the next line, in view or not.
        POINT at = v.PosOf(caret);
        const Line& t = v.lines[static_cast<size_t>(target)];
        size_t i = t.start;
        int x = v.format.left;
        while (i < t.end && at.x >= x + v.m.Width(v.text[i]) / 2) {
            x += v.m.Width(v.text[i]);
            ++i;
        }
        return MoveCaret(hwnd, i, shift);
    }
    case VK_DELETE:
        if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY)
            return;
        if (!hasSelection) {
            if (caret >= v.text.size())
                return;
            v.s.anchor = caret + (IsBreak(v.text, caret) ? BreakLength(v.text, caret) : 1);
        }
        ReplaceSelection(hwnd, L"");
        return;
    default:
        return;
    }
}

void OnChar(HWND hwnd, WPARAM wParam)
{
    auto c = static_cast<WCHAR>(wParam);
    EditState& s = StateOf(hwnd);
    switch (c) {
    case 0x01:  // Ctrl+A
        Select(hwnd, 0, TextOf(hwnd).size());
        return;
    case 0x03:  // Ctrl+C
        SendMessageW(hwnd, WM_COPY, 0, 0);
        return;
    case 0x16:  // Ctrl+V
        SendMessageW(hwnd, WM_PASTE, 0, 0);
        return;
    case 0x18:  // Ctrl+X
        SendMessageW(hwnd, WM_CUT, 0, 0);
        return;
    case 0x1A:  // Ctrl+Z
        SendMessageW(hwnd, EM_UNDO, 0, 0);
        return;
    default:
        break;
    }
    if (GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY)
        return;
    // The input panel types a character beyond 16 bits as two units.
    if (c >= 0xD800 && c <= 0xDBFF) {
        s.pendingHigh = c;
        return;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        if (!s.pendingHigh)
            return;
        c = static_cast<WCHAR>(0x10000 + ((s.pendingHigh - 0xD800) << 10) + (c - 0xDC00));
    }
    s.pendingHigh = 0;
    if (c == L'\b') {
        View v(hwnd);
        if (v.s.anchor == v.s.caret) {
            if (v.s.caret == 0)
                return;
            size_t back = (v.s.caret >= 2 && v.text[v.s.caret - 1] == L'\n' && v.text[v.s.caret - 2] == L'\r') ? 2 : 1;
            v.s.anchor = v.s.caret - back;
        }
        ReplaceSelection(hwnd, L"");
        return;
    }
    if (c == L'\r' || c == L'\n') {
        if (Multiline(hwnd))
            ReplaceSelection(hwnd, L"\r\n");
        return;
    }
    if (c < 0x20 && c != L'\t')
        return;
    ReplaceSelection(hwnd, std::wstring(1, c));
}

void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    // Every paint erases first, so that a subclass's background is always under the text.
    if (ps.fErase || SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0) {
        // Nobody erased: the parent's colour for edits, else the window colour.
        auto brush = reinterpret_cast<HBRUSH>(
            SendMessageW(GetParent(hwnd), WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(hwnd)));
        RECT client{};
        GetClientRect(hwnd, &client);
        HBRUSH own = brush ? nullptr : CreateSolidBrush(GetSysColor(COLOR_WINDOW));
        FillRect(dc, &client, brush ? brush : own);
        if (own)
            DeleteObject(own);
    }
    View v(hwnd);
    HGDIOBJ old = SelectObject(dc, v.s.font ? static_cast<HGDIOBJ>(v.s.font) : GetStockObject(SYSTEM_FONT));
    SetBkMode(dc, TRANSPARENT);
    size_t selFrom = std::min(v.s.anchor, v.s.caret), selTo = std::max(v.s.anchor, v.s.caret);
    bool focused = GetFocus() == hwnd;
    COLORREF ink = GetSysColor(COLOR_WINDOWTEXT);
    int last = std::min(static_cast<int>(v.lines.size()), v.s.firstLine + v.Visible());
    for (int k = v.multiline ? v.s.firstLine : 0; k < last; ++k) {
        const Line& l = v.lines[static_cast<size_t>(k)];
        int y = v.format.top + (k - (v.multiline ? v.s.firstLine : 0)) * v.m.Height();
        int x = v.format.left - (v.multiline ? 0 : v.s.xOffset);
        for (size_t i = l.start; i < l.end; ++i) {
            int w = v.m.Width(v.text[i]);
            if (x + w > v.format.left && x < v.format.right) {
                bool selected = focused && i >= selFrom && i < selTo;
                RECT cell{x, y, x + w, y + v.m.Height()};
                if (selected) {
                    HBRUSH hl = CreateSolidBrush(GetSysColor(COLOR_HIGHLIGHT));
                    FillRect(dc, &cell, hl);
                    DeleteObject(hl);
                }
                SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : ink);
                ExtTextOutW(dc, x, y, ETO_CLIPPED, &v.format, &v.text[i], 1, nullptr);
            }
            x += w;
        }
    }
    if (focused && selFrom == selTo && !(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY)) {
        POINT at = v.PosOf(v.s.caret);
        if (at.y >= v.format.top && at.y < v.format.bottom) {
            RECT caret{at.x, at.y, at.x + 1, at.y + v.m.Height()};
            HBRUSH b = CreateSolidBrush(ink);
            FillRect(dc, &caret, b);
            DeleteObject(b);
        }
    }
    SelectObject(dc, old);
    EndPaint(hwnd, &ps);
}

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        EditState& s = StateOf(hwnd);
        s = EditState{};
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_NCDESTROY: {
        std::lock_guard lock(g_lock);
        g_edits.erase(hwnd);
    }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_SETTEXT: {
        LRESULT r = DefWindowProcW(hwnd, message, wParam, lParam);
        EditState& s = StateOf(hwnd);
        s.anchor = s.caret = 0;
        s.firstLine = 0;
        s.xOffset = 0;
        s.canUndo = false;
        InvalidateRect(hwnd, nullptr, TRUE);
        // Many lines: text set by the program is no change of the user's.
        if (!Multiline(hwnd))
            Notify(hwnd, EN_CHANGE);
        return r;
    }
    case WM_CHAR:
        OnChar(hwnd, wParam);
        return 0;
    case WM_KEYDOWN:
        OnKey(hwnd, wParam);
        return 0;
    case WM_GETDLGCODE:
        return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS | (Multiline(hwnd) ? DLGC_WANTALLKEYS : 0);
    case WM_SETFONT:
        StateOf(hwnd).font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(StateOf(hwnd).font);
    case WM_SETFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN: {
        if (GetFocus() != hwnd)
            SetFocus(hwnd);
        SetCapture(hwnd);
        View v(hwnd);
        size_t at = v.CharAt(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        v.s.anchor = v.s.caret = at;
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case WM_MOUSEMOVE:
        if (GetCapture() == hwnd) {
            View v(hwnd);
            size_t at = v.CharAt(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
            if (at != v.s.caret)
                MoveCaret(hwnd, at, true);
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == hwnd)
            ReleaseCapture();
        return 0;
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case EM_GETSEL: {
        EditState& s = StateOf(hwnd);
        auto from = static_cast<DWORD>(std::min(s.anchor, s.caret)), to = static_cast<DWORD>(std::max(s.anchor, s.caret));
        if (wParam)
            *reinterpret_cast<DWORD*>(wParam) = from;
        if (lParam)
            *reinterpret_cast<DWORD*>(lParam) = to;
        return MAKELONG(std::min<DWORD>(from, 0xFFFF), std::min<DWORD>(to, 0xFFFF));
    }
    case EM_SETSEL: {
        auto start = static_cast<long>(wParam), end = static_cast<long>(lParam);
        EditState& s = StateOf(hwnd);
        if (start < 0) {
            Select(hwnd, s.caret, s.caret);  // -1: no selection, the caret stays
        } else {
            size_t length = TextOf(hwnd).size();
            size_t a = static_cast<size_t>(start), c = end < 0 ? length : static_cast<size_t>(end);
            Select(hwnd, a, c);
        }
        return 0;
    }
    case EM_REPLACESEL:
        if (lParam)
            ReplaceSelection(hwnd, reinterpret_cast<LPCWSTR>(lParam));
        return 0;
    case EM_GETRECT:
        if (lParam) {
            EditState& s = StateOf(hwnd);
            *reinterpret_cast<RECT*>(lParam) = FormatRect(hwnd, s);
        }
        return 0;
    case EM_SETRECT: {
        EditState& s = StateOf(hwnd);
        s.formatSet = lParam != 0;
        if (lParam)
            s.format = *reinterpret_cast<const RECT*>(lParam);
        View v(hwnd);
        s.firstLine = std::min(s.firstLine, v.MaxFirst());
        InvalidateRect(hwnd, nullptr, TRUE);
        return 0;
    }
    case EM_GETLINECOUNT:
        return static_cast<LRESULT>(View(hwnd).lines.size());
    case EM_GETFIRSTVISIBLELINE: {
        View v(hwnd);
        return v.multiline ? v.s.firstLine : static_cast<LRESULT>(v.CharAt(v.format.left, v.format.top));
    }
    case EM_LINEINDEX: {
        View v(hwnd);
        int line = static_cast<int>(wParam) < 0 ? LineOf(v.lines, v.s.caret) : static_cast<int>(wParam);
        if (line >= static_cast<int>(v.lines.size()))
            return -1;
        return static_cast<LRESULT>(v.lines[static_cast<size_t>(line)].start);
    }
    case EM_LINEFROMCHAR: {
        View v(hwnd);
        size_t index = static_cast<long>(wParam) < 0 ? v.s.caret : static_cast<size_t>(wParam);
        return LineOf(v.lines, std::min(index, v.text.size()));
    }
    case EM_LINELENGTH: {
        View v(hwnd);
        size_t index = static_cast<long>(wParam) < 0 ? v.s.caret : std::min<size_t>(wParam, v.text.size());
        const Line& l = v.lines[static_cast<size_t>(LineOf(v.lines, index))];
        return static_cast<LRESULT>(l.end - l.start);
    }
    case EM_LINESCROLL: {
        View v(hwnd);
        if (v.multiline)
            ScrollTo(v, v.s.firstLine + static_cast<int>(lParam));
        return TRUE;
    }
    case EM_SCROLL: {
        View v(hwnd);
        if (!v.multiline)
            return FALSE;
        int step = wParam == SB_LINEUP ? -1 : wParam == SB_LINEDOWN ? 1 : wParam == SB_PAGEUP ? -v.Visible()
                                                                      : wParam == SB_PAGEDOWN ? v.Visible() : 0;
        int before = v.s.firstLine;
        ScrollTo(v, before + step);
        return MAKELONG(static_cast<WORD>(static_cast<SHORT>(v.s.firstLine - before)), TRUE);
    }
    case EM_SCROLLCARET: {
        View v(hwnd);
        ShowCaret(v);
        return TRUE;
    }
    case EM_POSFROMCHAR: {
        View v(hwnd);
        if (wParam >= v.text.size())
            return -1;
        POINT at = v.PosOf(wParam);
        return MAKELONG(static_cast<WORD>(static_cast<SHORT>(at.x)), static_cast<WORD>(static_cast<SHORT>(at.y)));
    }
    case EM_CHARFROMPOS: {
        View v(hwnd);
        size_t at = v.CharAt(static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam)));
        return MAKELONG(static_cast<WORD>(std::min<size_t>(at, 0xFFFF)), static_cast<WORD>(LineOf(v.lines, at)));
    }
    case EM_LIMITTEXT:
        StateOf(hwnd).limit = wParam ? static_cast<size_t>(wParam) : 0x7FFFFFFE;
        return 0;
    case EM_GETLIMITTEXT:
        return static_cast<LRESULT>(StateOf(hwnd).limit);
    case EM_CANUNDO:
        return StateOf(hwnd).canUndo;
    case EM_EMPTYUNDOBUFFER:
        StateOf(hwnd).canUndo = false;
        return 0;
    case EM_UNDO:
    case WM_UNDO: {
        EditState& s = StateOf(hwnd);
        if (!s.canUndo)
            return FALSE;
        // Undoing twice gives the change back, as one level does.
        std::wstring now = TextOf(hwnd);
        size_t anchor = s.anchor, caret = s.caret;
        DefWindowProcW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.undoText.c_str()));
        s.anchor = s.undoAnchor;
        s.caret = s.undoCaret;
        s.undoText = now;
        s.undoAnchor = anchor;
        s.undoCaret = caret;
        InvalidateRect(hwnd, nullptr, TRUE);
        Notify(hwnd, EN_CHANGE);
        return TRUE;
    }
    case WM_COPY:
    case WM_CUT: {
        EditState& s = StateOf(hwnd);
        size_t from = std::min(s.anchor, s.caret), to = std::max(s.anchor, s.caret);
        if (from == to)
            return 0;
        plat::SetClipboardText(TextOf(hwnd).substr(from, to - from));
        if (message == WM_CUT && !(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY))
            ReplaceSelection(hwnd, L"");
        return 0;
    }
    case WM_CLEAR:
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY))
            ReplaceSelection(hwnd, L"");
        return 0;
    case WM_PASTE:
        if (!(GetWindowLongW(hwnd, GWL_STYLE) & ES_READONLY))
            ReplaceSelection(hwnd, plat::ClipboardText());
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

namespace plat {

std::wstring ClipboardText()
{
    std::lock_guard lock(g_clipboardLock);
    return g_clipboard;
}

void SetClipboardText(const std::wstring& text)
{
    std::lock_guard lock(g_clipboardLock);
    g_clipboard = text;
}

}  // namespace plat

namespace plat::wm {

void RegisterEditClass()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &EditProc;
    wc.lpszClassName = L"EDIT";
    RegisterClassW(&wc);
}

}  // namespace plat::wm
