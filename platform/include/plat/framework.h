// The window framework: window and dialog classes with a message map
// (virtual dispatch), the message loop with filters and idle handlers, and
// the application module that keeps one loop per thread.
#pragma once

#include <map>
#include <mutex>
#include <vector>

#include "plat/controls.h"
#include "plat/dialog.h"
#include "plat/message.h"
#include "plat/window.h"

// A thin holder of a window handle.
class CWindow {
public:
    explicit CWindow(HWND hwnd = nullptr) : m_hWnd(hwnd) {}
    virtual ~CWindow() = default;

    operator HWND() const { return m_hWnd; }
    void Attach(HWND hwnd) { m_hWnd = hwnd; }
    HWND Detach()
    {
        HWND hwnd = m_hWnd;
        m_hWnd = nullptr;
        return hwnd;
    }

    BOOL IsWindow() const { return ::IsWindow(m_hWnd); }
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    BOOL ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
    {
        return ::SetWindowPos(m_hWnd, insertAfter, x, y, cx, cy, flags);
    }
    BOOL MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE)
    {
        return ::MoveWindow(m_hWnd, x, y, width, height, repaint);
    }
    BOOL BringWindowToTop() { return ::BringWindowToTop(m_hWnd); }
    BOOL GetClientRect(LPRECT rect) const { return ::GetClientRect(m_hWnd, rect); }
    BOOL GetWindowRect(LPRECT rect) const { return ::GetWindowRect(m_hWnd, rect); }
    BOOL SetWindowText(LPCWSTR text) { return ::SetWindowTextW(m_hWnd, text); }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
    {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr)
    {
        return ::SetTimer(m_hWnd, id, elapseMs, proc);
    }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    BOOL Invalidate(BOOL erase = TRUE) { return ::InvalidateRect(m_hWnd, nullptr, erase); }
    BOOL UpdateWindow() { return ::UpdateWindow(m_hWnd); }

    HWND m_hWnd;
};

// Message-map helpers for ProcessWindowMessage. A handler has the form
// LRESULT OnX(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled), or for
// commands LRESULT OnX(WORD code, WORD id, HWND control, BOOL& handled); it
// clears `handled` to let the message go on.
#define BEGIN_MSG_MAP(theClass)                                                                      \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) \
        override                                                                                     \
    {                                                                                                \
        BOOL bHandled = TRUE;                                                                        \
        (void)hWnd;                                                                                  \
        (void)bHandled;

#define MESSAGE_HANDLER(msg, func)                          \
    if (uMsg == (msg)) {                                    \
        bHandled = TRUE;                                    \
        lResult = func(uMsg, wParam, lParam, bHandled);     \
        if (bHandled)                                       \
            return TRUE;                                    \
    }

#define MESSAGE_RANGE_HANDLER(msgFirst, msgLast, func)      \
    if (uMsg >= (msgFirst) && uMsg <= (msgLast)) {          \
        bHandled = TRUE;                                    \
        lResult = func(uMsg, wParam, lParam, bHandled);     \
        if (bHandled)                                       \
            return TRUE;                                    \
    }

#define COMMAND_ID_HANDLER(id, func)                                                               \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == static_cast<WORD>(id)) {                           \
        bHandled = TRUE;                                                                           \
        lResult = func(HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam), bHandled); \
        if (bHandled)                                                                              \
            return TRUE;                                                                           \
    }

#define CHAIN_MSG_MAP(theBase)                                                  \
    if (theBase::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))    \
        return TRUE;

// Sends a control's own notification back to it as OCM_* (draw item, measure
// item, notify, command); unhandled when there is no such child.
inline LRESULT ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled)
{
    HWND child = nullptr;
    switch (message) {
    case WM_DRAWITEM:
        if (lParam)
            child = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
        break;
    case WM_MEASUREITEM:
        if (lParam)
            child = ::GetDlgItem(parent, static_cast<int>(reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam)->CtlID));
        break;
    case WM_NOTIFY:
        if (lParam)
            child = reinterpret_cast<const NMHDR*>(lParam)->hwndFrom;
        break;
    case WM_COMMAND:
        child = reinterpret_cast<HWND>(lParam);
        break;
    default:
        break;
    }
    if (!child || !::IsWindow(child)) {
        handled = FALSE;
        return 0;
    }
    handled = TRUE;
    return ::SendMessageW(child, OCM__BASE + message, wParam, lParam);
}

#define REFLECT_NOTIFICATIONS()                                                   \
    {                                                                             \
        bHandled = TRUE;                                                          \
        lResult = ReflectNotification(hWnd, uMsg, wParam, lParam, bHandled);      \
        if (bHandled)                                                             \
            return TRUE;                                                          \
    }

#define END_MSG_MAP() \
    return FALSE;     \
    }

// A window whose messages reach ProcessWindowMessage; what it leaves goes to
// the superclass procedure (the default one, or the subclassed window's).
class CWindowImpl : public CWindow {
public:
    CWindowImpl() = default;
    ~CWindowImpl() override;
    CWindowImpl(const CWindowImpl&) = delete;
    CWindowImpl& operator=(const CWindowImpl&) = delete;

    // Registers the class on first use and creates the window.
    HWND Create(HWND parent, const RECT* rect = nullptr, LPCWSTR windowName = nullptr, DWORD style = 0,
                DWORD exStyle = 0, UINT_PTR id = 0, LPVOID param = nullptr);
    BOOL SubclassWindow(HWND hwnd);
    HWND UnsubclassWindow();

    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // The class name; by default one of the framework's own per C++ class.
    virtual std::wstring GetWndClassName() const;
    virtual void GetWndClassInfo(WNDCLASSW& wndClass) const;
    // After WM_NCDESTROY, when the window is gone.
    virtual void OnFinalMessage(HWND) {}

    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    WNDPROC m_pfnSuperWindowProc = &::DefWindowProcW;
};

// A top-level frame: full-screen by default.
class CFrameWindowImpl : public CWindowImpl {
public:
    HWND CreateEx(HWND parent = nullptr, const RECT* rect = nullptr, DWORD style = 0, DWORD exStyle = 0,
                  LPCWSTR title = nullptr, LPVOID param = nullptr);
};

// A dialog made from the template `dialogId`; its messages reach
// ProcessWindowMessage, a handled one answers with `result`.
class CDialogImpl : public CWindow {
public:
    explicit CDialogImpl(UINT dialogId) : m_idd(dialogId) {}
    ~CDialogImpl() override;
    CDialogImpl(const CDialogImpl&) = delete;
    CDialogImpl& operator=(const CDialogImpl&) = delete;

    INT_PTR DoModal(HWND parent = ::GetActiveWindow(), LPARAM initParam = 0);
    HWND Create(HWND parent, LPARAM initParam = 0);
    BOOL EndDialog(INT_PTR result) { return ::EndDialog(m_hWnd, result); }

    virtual BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    virtual void OnFinalMessage(HWND) {}

    static INT_PTR DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_idd;
    HINSTANCE m_hInstance = nullptr;
};

class CMessageFilter {
public:
    virtual ~CMessageFilter() = default;
    virtual BOOL PreTranslateMessage(MSG* msg) = 0;
};

class CIdleHandler {
public:
    virtual ~CIdleHandler() = default;
    virtual BOOL OnIdle() = 0;
};

class CMessageLoop {
public:
    virtual ~CMessageLoop() = default;

    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Idle handlers while nothing waits, then the next message through the
    // filters to translation and dispatch; ends on WM_QUIT with its code.
    virtual int Run();
    // Newest filter first; TRUE when one took the message.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // TRUE while some handler wants more idle calls.
    virtual BOOL OnIdle(int idleCount);
    // Messages after which the idle handlers run again.
    static BOOL IsIdleMessage(const MSG* msg);

    MSG m_msg{};

protected:
    std::vector<CMessageFilter*> m_filters;
    std::vector<CIdleHandler*> m_idleHandlers;
};

// The application module: the program's instance and one message loop per thread.
class CAppModule {
public:
    HRESULT Init(HINSTANCE instance);
    void Term();

    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop() const;
    CMessageLoop* GetMessageLoop(DWORD threadId) const;

    HINSTANCE GetModuleInstance() const { return m_hInstance; }
    HINSTANCE GetResourceInstance() const { return m_hInstResource ? m_hInstResource : m_hInstance; }
    void SetResourceInstance(HINSTANCE instance) { m_hInstResource = instance; }

private:
    mutable std::mutex m_lock;
    std::map<DWORD, CMessageLoop*> m_loops;
    HINSTANCE m_hInstance = nullptr;
    HINSTANCE m_hInstResource = nullptr;
};
