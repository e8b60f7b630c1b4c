// The window framework: windows and dialogs bound to C++ objects, the message
// loop and the application module.
#include "plat/framework.h"

#include <algorithm>
#include <typeinfo>
#include <unordered_map>

#include "plat/error.h"
#include "plat/utf.h"
#include "wm_internal.h"

namespace {

// Window handle -> object, for the framework's window and dialog procedures.
struct Bindings {
    std::mutex mu;
    std::unordered_map<HWND, CWindowImpl*> windows;
    std::unordered_map<HWND, CDialogImpl*> dialogs;
};

Bindings& B()
{
    static Bindings* const bindings = new Bindings;
    return *bindings;
}

// The object whose window this thread is creating: its first message binds it.
thread_local CWindowImpl* t_creatingWindow = nullptr;
thread_local CDialogImpl* t_creatingDialog = nullptr;

CWindowImpl* WindowObject(HWND hwnd)
{
    std::lock_guard lock(B().mu);
    auto it = B().windows.find(hwnd);
    if (it != B().windows.end())
        return it->second;
    if (CWindowImpl* creating = t_creatingWindow) {
        t_creatingWindow = nullptr;
        creating->m_hWnd = hwnd;
        B().windows[hwnd] = creating;
        return creating;
    }
    return nullptr;
}

CDialogImpl* DialogObject(HWND hwnd)
{
    std::lock_guard lock(B().mu);
    auto it = B().dialogs.find(hwnd);
    if (it != B().dialogs.end())
        return it->second;
    if (CDialogImpl* creating = t_creatingDialog) {
        t_creatingDialog = nullptr;
        creating->m_hWnd = hwnd;
        B().dialogs[hwnd] = creating;
        return creating;
    }
    return nullptr;
}

}  // namespace

CWindowImpl::~CWindowImpl()
{
    // A window that outlives its object falls back to its original procedure.
    std::lock_guard lock(B().mu);
    for (auto it = B().windows.begin(); it != B().windows.end();) {
        if (it->second == this) {
            ::SetWindowLongW(it->first, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
            it = B().windows.erase(it);
        } else {
            ++it;
        }
    }
}

std::wstring CWindowImpl::GetWndClassName() const
{
    return L"LumWnd:" + plat::FromUtf8(typeid(*this).name());
}

void CWindowImpl::GetWndClassInfo(WNDCLASSW& wndClass) const
{
    wndClass.style = CS_HREDRAW | CS_VREDRAW;
}

HWND CWindowImpl::Create(HWND parent, const RECT* rect, LPCWSTR windowName, DWORD style, DWORD exStyle,
                         UINT_PTR id, LPVOID param)
{
    if (m_hWnd) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    std::wstring className = GetWndClassName();
    WNDCLASSW existing{};
    if (!GetClassInfoW(nullptr, className.c_str(), &existing)) {
        WNDCLASSW wc{};
        GetWndClassInfo(wc);
        wc.lpfnWndProc = &CWindowImpl::WindowProc;
        wc.lpszClassName = className.c_str();
        if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return nullptr;
    }
    RECT r = rect ? *rect : RECT{CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT};
    int width = rect ? r.right - r.left : CW_USEDEFAULT;
    int height = rect ? r.bottom - r.top : CW_USEDEFAULT;
    t_creatingWindow = this;
    HWND hwnd = CreateWindowExW(exStyle, className.c_str(), windowName, style, r.left, r.top, width, height, parent,
                                reinterpret_cast<HMENU>(id), nullptr, param);
    t_creatingWindow = nullptr;
    return hwnd;
}

BOOL CWindowImpl::SubclassWindow(HWND hwnd)
{
    if (m_hWnd || !::IsWindow(hwnd))
        return FALSE;
    {
        std::lock_guard lock(B().mu);
        B().windows[hwnd] = this;
    }
    m_hWnd = hwnd;
    m_pfnSuperWindowProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&CWindowImpl::WindowProc)));
    return TRUE;
}

HWND CWindowImpl::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    ::SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuperWindowProc));
    {
        std::lock_guard lock(B().mu);
        B().windows.erase(hwnd);
    }
    m_pfnSuperWindowProc = &::DefWindowProcW;
    m_hWnd = nullptr;
    return hwnd;
}

LRESULT CWindowImpl::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::CallWindowProcW(m_pfnSuperWindowProc, m_hWnd, message, wParam, lParam);
}

LRESULT CWindowImpl::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWindowImpl* self = WindowObject(hwnd);
    if (!self)
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    if (!self->ProcessWindowMessage(hwnd, message, wParam, lParam, result))
        result = ::CallWindowProcW(self->m_pfnSuperWindowProc, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        {
            std::lock_guard lock(B().mu);
            B().windows.erase(hwnd);
        }
        self->m_hWnd = nullptr;
        self->m_pfnSuperWindowProc = &::DefWindowProcW;
        self->OnFinalMessage(hwnd);
    }
    return result;
}

HWND CFrameWindowImpl::CreateEx(HWND parent, const RECT* rect, DWORD style, DWORD exStyle, LPCWSTR title,
                                LPVOID param)
{
    return Create(parent, rect, title, style, exStyle, 0, param);
}

CDialogImpl::~CDialogImpl()
{
    std::lock_guard lock(B().mu);
    std::erase_if(B().dialogs, [this](const auto& entry) { return entry.second == this; });
}

INT_PTR CDialogImpl::DoModal(HWND parent, LPARAM initParam)
{
    if (m_hWnd) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return -1;
    }
    t_creatingDialog = this;
    INT_PTR result = ::DialogBoxParamW(m_hInstance, MAKEINTRESOURCEW(m_idd), parent, &CDialogImpl::DialogProc,
                                       initParam);
    t_creatingDialog = nullptr;
    return result;
}

HWND CDialogImpl::Create(HWND parent, LPARAM initParam)
{
    if (m_hWnd) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return nullptr;
    }
    t_creatingDialog = this;
    HWND hwnd = ::CreateDialogParamW(m_hInstance, MAKEINTRESOURCEW(m_idd), parent, &CDialogImpl::DialogProc,
                                     initParam);
    t_creatingDialog = nullptr;
    return hwnd;
}

INT_PTR CDialogImpl::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogImpl* self = DialogObject(hwnd);
    if (!self)
        return FALSE;
    LRESULT result = 0;
    BOOL handled = self->ProcessWindowMessage(hwnd, message, wParam, lParam, result);
    if (message == WM_NCDESTROY) {
        {
            std::lock_guard lock(B().mu);
            B().dialogs.erase(hwnd);
        }
        self->m_hWnd = nullptr;
        self->OnFinalMessage(hwnd);
        return handled;
    }
    if (!handled)
        return FALSE;
    if (message == WM_INITDIALOG)
        return result;
    ::SetWindowLongW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter)
{
    if (!filter)
        return FALSE;
    m_filters.push_back(filter);
    return TRUE;
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter)
{
    auto it = std::find(m_filters.begin(), m_filters.end(), filter);
    if (it == m_filters.end())
        return FALSE;
    m_filters.erase(it);
    return TRUE;
}

BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler)
{
    if (!handler)
        return FALSE;
    m_idleHandlers.push_back(handler);
    return TRUE;
}

BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler)
{
    auto it = std::find(m_idleHandlers.begin(), m_idleHandlers.end(), handler);
    if (it == m_idleHandlers.end())
        return FALSE;
    m_idleHandlers.erase(it);
    return TRUE;
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg)
{
    // A filter may remove itself or others while it runs.
    std::vector<CMessageFilter*> filters = m_filters;
    for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
        if (std::find(m_filters.begin(), m_filters.end(), *it) == m_filters.end())
            continue;
        if ((*it)->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

BOOL CMessageLoop::OnIdle(int)
{
    std::vector<CIdleHandler*> handlers = m_idleHandlers;
    BOOL more = FALSE;
    for (CIdleHandler* h : handlers)
        if (std::find(m_idleHandlers.begin(), m_idleHandlers.end(), h) != m_idleHandlers.end() && h->OnIdle())
            more = TRUE;
    return more;
}

BOOL CMessageLoop::IsIdleMessage(const MSG* msg)
{
    // Mouse moves, paints and the caret's timer do not make the idle handlers run again.
    switch (msg->message) {
    case WM_MOUSEMOVE:
    case WM_PAINT:
    case 0x0118:
        return FALSE;
    default:
        return TRUE;
    }
}

int CMessageLoop::Run()
{
    BOOL idle = TRUE;
    int idleCount = 0;
    for (;;) {
        while (idle && !::PeekMessageW(&m_msg, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                idle = FALSE;
        }
        BOOL got = ::GetMessageW(&m_msg, nullptr, 0, 0);
        if (got == -1)
            continue;
        if (!got)
            break;
        if (!PreTranslateMessage(&m_msg)) {
            ::TranslateMessage(&m_msg);
            ::DispatchMessageW(&m_msg);
        }
        if (IsIdleMessage(&m_msg)) {
            idle = TRUE;
            idleCount = 0;
        }
    }
    return static_cast<int>(m_msg.wParam);
}

HRESULT CAppModule::Init(HINSTANCE instance)
{
    m_hInstance = instance;
    return S_OK;
}

void CAppModule::Term()
{
    std::lock_guard lock(m_lock);
    m_loops.clear();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop)
{
    if (!loop)
        return FALSE;
    std::lock_guard lock(m_lock);
    return m_loops.emplace(plat::wm::ThisThreadId(), loop).second ? TRUE : FALSE;
}

BOOL CAppModule::RemoveMessageLoop()
{
    std::lock_guard lock(m_lock);
    return m_loops.erase(plat::wm::ThisThreadId()) ? TRUE : FALSE;
}

CMessageLoop* CAppModule::GetMessageLoop() const { return GetMessageLoop(plat::wm::ThisThreadId()); }

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const
{
    std::lock_guard lock(m_lock);
    auto it = m_loops.find(threadId);
    return it == m_loops.end() ? nullptr : it->second;
}
