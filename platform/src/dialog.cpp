// Dialogs from C++ templates, the modal loop, the headless message box and
// the few stock controls dialog templates name.
#include <algorithm>
#include <map>
#include <mutex>

#include "plat/controls.h"
#include "plat/debug.h"
#include "plat/dialog.h"
#include "plat/error.h"
#include "plat/message.h"
#include "wm_internal.h"

using namespace plat::wm;

namespace {

struct DialogRun {
    bool modal = false;
    bool ended = false;
    INT_PTR result = 0;
    HWND owner = nullptr;       // the top-level owner a modal dialog disabled
    bool reenableOwner = false;
};

struct DialogRegistry {
    std::mutex mu;
    std::map<UINT, plat::DialogTemplate> templates;
    std::map<HWND, DialogRun> runs;
    int answer = 0;
};

DialogRegistry& R()
{
    static DialogRegistry* const registry = new DialogRegistry;
    return *registry;
}

bool LookUp(LPCWSTR name, plat::DialogTemplate* out)
{
    if (!name || !IS_INTRESOURCE(name))
        return false;
    auto id = static_cast<UINT>(reinterpret_cast<ULONG_PTR>(name));
    std::lock_guard lock(R().mu);
    auto it = R().templates.find(id);
    if (it == R().templates.end())
        return false;
    *out = it->second;
    return true;
}

HWND FirstTabStop(HWND dialog)
{
    HWND first = nullptr;
    for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        LONG_PTR style = GetWindowLongW(c, GWL_STYLE);
        if (!(style & WS_VISIBLE) || (style & WS_DISABLED))
            continue;
        if (style & WS_TABSTOP)
            return c;
        if (!first)
            first = c;
    }
    return first;
}

HWND CreateFromTemplate(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param,
                        bool modal)
{
    plat::DialogTemplate t;
    if (!LookUp(templateName, &t)) {
        SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
        return nullptr;
    }
    DWORD style = t.style & ~WS_VISIBLE;
    if (!(style & WS_CHILD))
        style |= WS_POPUP;
    if (t.workArea) {
        RECT r = WorkArea();
        t.x = r.left;
        t.y = r.top;
        t.cx = r.right - r.left;
        t.cy = r.bottom - r.top;
    }
    HWND dialog = CreateWindowExW(t.exStyle, kDialogClass, t.title.c_str(), style, t.x, t.y, t.cx, t.cy, owner,
                                  nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    if (t.workArea)
        KeepInWorkArea(dialog);
    SetWindowLongW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    {
        std::lock_guard lock(R().mu);
        R().runs[dialog].modal = modal;
    }
    // Controls come in template order; the first is first in tab order.
    for (auto it = t.items.rbegin(); it != t.items.rend(); ++it) {
        const plat::DialogItem& item = *it;
        HWND control = CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(),
                                       item.style | WS_CHILD, item.x, item.y, item.cx, item.cy, dialog,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            plat::DebugLine(L"dialog %u: control %d of class \"%ls\" failed", t.id, item.id, item.className.c_str());
            DestroyWindow(dialog);
            std::lock_guard lock(R().mu);
            R().runs.erase(dialog);
            return nullptr;
        }
    }
    HWND focus = FirstTabStop(dialog);
    if (SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(focus), param) && focus && IsWindow(focus))
        SetFocus(focus);
    if (!modal && IsWindow(dialog) && (t.style & WS_VISIBLE))
        ShowWindow(dialog, SW_SHOW);
    return IsWindow(dialog) ? dialog : nullptr;
}

// Buttons held down by the pen or by BM_SETSTATE.
std::mutex g_pushedLock;
std::map<HWND, bool> g_pushed;

bool Pushed(HWND hwnd)
{
    std::lock_guard lock(g_pushedLock);
    auto it = g_pushed.find(hwnd);
    return it != g_pushed.end() && it->second;
}

void SetPushed(HWND hwnd, bool pushed)
{
    {
        std::lock_guard lock(g_pushedLock);
        if (g_pushed[hwnd] == pushed)
            return;
        g_pushed[hwnd] = pushed;
    }
    InvalidateRect(hwnd, nullptr, FALSE);
}

// An owner-drawn button asks its parent to draw it.
void PaintOwnerDrawn(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    DRAWITEMSTRUCT di{};
    di.CtlType = ODT_BUTTON;
    di.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    di.itemAction = ODA_DRAWENTIRE;
    di.itemState = (Pushed(hwnd) ? ODS_SELECTED : 0) | (GetFocus() == hwnd ? ODS_FOCUS : 0) |
                   (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
    di.hwndItem = hwnd;
    di.hDC = dc;
    GetClientRect(hwnd, &di.rcItem);
    SendMessageW(GetParent(hwnd), WM_DRAWITEM, di.CtlID, reinterpret_cast<LPARAM>(&di));
    EndPaint(hwnd, &ps);
}

LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetCapture(hwnd);
        SetPushed(hwnd, true);
        return 0;
    case WM_LBUTTONUP: {
        bool captured = GetCapture() == hwnd;
        if (captured)
            ReleaseCapture();
        SetPushed(hwnd, false);
        RECT r;
        GetClientRect(hwnd, &r);
        auto x = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
        auto y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
        if (captured && x >= r.left && x < r.right && y >= r.top && y < r.bottom)
            SendMessageW(GetParent(hwnd), WM_COMMAND, MAKEWPARAM(static_cast<DWORD>(GetDlgCtrlID(hwnd)), BN_CLICKED),
                         reinterpret_cast<LPARAM>(hwnd));
        return 0;
    }
    case BM_CLICK:
        // A press and a release on the button itself.
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
        return 0;
    case BM_GETSTATE:
        return (Pushed(hwnd) ? BST_PUSHED : 0) | (GetFocus() == hwnd ? BST_FOCUS : 0);
    case BM_SETSTATE:
        SetPushed(hwnd, wParam != 0);
        return 0;
    case WM_PAINT:
        if ((GetWindowLongW(hwnd, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW) {
            PaintOwnerDrawn(hwnd);
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCDESTROY: {
        std::lock_guard lock(g_pushedLock);
        g_pushed.erase(hwnd);
    }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

}  // namespace

namespace plat::wm {

// The dialog class and the stock controls, registered with the window manager's start.
void RegisterDialogClasses()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefDlgProcW;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.lpszClassName = kDialogClass;
    RegisterClassW(&wc);
    WNDCLASSW button{};
    button.style = CS_DBLCLKS;
    button.lpfnWndProc = &ButtonProc;
    button.lpszClassName = L"BUTTON";
    RegisterClassW(&button);
    WNDCLASSW label{};
    label.lpfnWndProc = &DefWindowProcW;
    label.lpszClassName = L"STATIC";
    RegisterClassW(&label);
    RegisterEditClass();
    RegisterScrollBarClass();
    RegisterListViewClass();
}

}  // namespace plat::wm

LRESULT DefDlgProcW(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongW(dialog, DWLP_DLGPROC));
    INT_PTR handled = proc ? proc(dialog, message, wParam, lParam) : FALSE;
    if (handled) {
        switch (message) {
        case WM_INITDIALOG:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
            return handled;
        default:
            return GetWindowLongW(dialog, DWLP_MSGRESULT);
        }
    }
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_CLOSE:
        // A dialog closes through its cancel command, never by destruction.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != dialog && !IsChild(dialog, focus)) {
                HWND first = FirstTabStop(dialog);
                SetFocus(first ? first : dialog);
            }
        }
        return 0;
    case WM_NCDESTROY: {
        std::lock_guard lock(R().mu);
        auto it = R().runs.find(dialog);
        if (it != R().runs.end() && !it->second.modal)
            R().runs.erase(it);
        return 0;
    }
    default:
        return DefWindowProcW(dialog, message, wParam, lParam);
    }
}

HWND CreateDialogParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    return CreateFromTemplate(instance, templateName, owner, proc, param, false);
}

INT_PTR DialogBoxParamW(HINSTANCE instance, LPCWSTR templateName, HWND owner, DLGPROC proc, LPARAM param)
{
    HWND top = nullptr;
    if (owner) {
        std::lock_guard lock(S().mu);
        top = TopLevelOf(owner);
    }
    bool disable = top && IsWindowEnabled(top);
    HWND dialog = CreateFromTemplate(instance, templateName, top, proc, param, true);
    if (!dialog)
        return -1;
    {
        std::lock_guard lock(R().mu);
        DialogRun& run = R().runs[dialog];
        run.owner = top;
        run.reenableOwner = disable;
    }
    if (disable)
        EnableWindow(top, FALSE);
    auto ended = [dialog] {
        std::lock_guard lock(R().mu);
        auto it = R().runs.find(dialog);
        return it == R().runs.end() || it->second.ended;
    };
    if (!ended())
        ShowWindow(dialog, SW_SHOW);
    while (!ended() && IsWindow(dialog)) {
        MSG msg;
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The quit request belongs to the outer loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got == -1)
            break;
        if (!IsDialogMessageW(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    INT_PTR result = 0;
    bool reenable = false;
    {
        std::lock_guard lock(R().mu);
        auto it = R().runs.find(dialog);
        if (it != R().runs.end()) {
            result = it->second.result;
            reenable = it->second.reenableOwner;
            R().runs.erase(it);
        }
    }
    if (reenable)
        EnableWindow(top, TRUE);
    if (IsWindow(dialog)) {
        if (top && IsWindowVisible(dialog))
            ShowWindow(dialog, SW_HIDE);
        DestroyWindow(dialog);
    }
    return result;
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    HWND owner = nullptr;
    bool modal = false;
    {
        std::lock_guard lock(R().mu);
        auto it = R().runs.find(dialog);
        if (it == R().runs.end() || !IsWindow(dialog)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        DialogRun& run = it->second;
        run.ended = true;
        run.result = result;
        modal = run.modal;
        if (run.reenableOwner) {
            owner = run.owner;
            run.reenableOwner = false;
        }
    }
    // The owner comes back before the dialog hides, so that it is activated.
    if (owner)
        EnableWindow(owner, TRUE);
    ShowWindow(dialog, SW_HIDE);
    if (modal)
        PostMessageW(dialog, WM_NULL, 0, 0);  // wakes the dialog's loop
    return TRUE;
}

BOOL IsDialogMessageW(HWND dialog, LPMSG msg)
{
    if (!dialog || !msg || !msg->hwnd)
        return FALSE;
    if (msg->hwnd != dialog && !IsChild(dialog, msg->hwnd))
        return FALSE;
    // No keyboard navigation: the handset's dialogs handle their keys.
    TranslateMessage(msg);
    DispatchMessageW(msg);
    return TRUE;
}

HWND GetDlgItem(HWND dialog, int id)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(dialog);
    if (!w)
        return nullptr;
    for (HWND c : w->children)
        if (Window* cw = Find(c); cw && cw->id == id)
            return c;
    SetLastError(1421);  // ERROR_CONTROL_ID_NOT_FOUND
    return nullptr;
}

int GetDlgCtrlID(HWND hwnd)
{
    std::lock_guard lock(S().mu);
    Window* w = Find(hwnd);
    return w && w->IsChildWindow() ? static_cast<int>(w->id) : 0;
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SetWindowTextW(item, text) : FALSE;
}

UINT GetDlgItemTextW(HWND dialog, int id, LPWSTR text, int maxCount)
{
    HWND item = GetDlgItem(dialog, id);
    if (!item) {
        if (text && maxCount > 0)
            text[0] = 0;
        return 0;
    }
    return static_cast<UINT>(GetWindowTextW(item, text, maxCount));
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND item = GetDlgItem(dialog, id);
    return item ? SendMessageW(item, message, wParam, lParam) : 0;
}

int MessageBoxW(HWND, LPCWSTR text, LPCWSTR caption, UINT type)
{
    plat::DebugLine(L"MessageBox [%ls] %ls", caption ? caption : L"Error", text ? text : L"");
    int answer;
    {
        std::lock_guard lock(R().mu);
        answer = R().answer;
    }
    if (answer)
        return answer;
    switch (type & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    case MB_RETRYCANCEL:
        return IDRETRY;
    default:
        return IDOK;
    }
}

namespace plat {

void RegisterDialogTemplate(const DialogTemplate& dialogTemplate)
{
    std::lock_guard lock(R().mu);
    R().templates[dialogTemplate.id] = dialogTemplate;
}

void SetMessageBoxAnswer(int answer)
{
    std::lock_guard lock(R().mu);
    R().answer = answer;
}

}  // namespace plat
