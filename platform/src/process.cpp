// Processes: this program and the other applications the device root
// declares. Each running application is a thread of ours that plays its
// process: one window of its class, a message loop, and a log of what the
// window was sent or posted.
#include "plat/process.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "plat/debug.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/message.h"
#include "plat/registry.h"
#include "plat/thread.h"
#include "plat/utf.h"
#include "plat/window.h"
#include "wm_internal.h"

namespace {

struct Declared {
    std::wstring name;  // the registry key's
    std::wstring path;
    std::wstring windowClass;
    std::wstring windowTitle;
};

struct Application {
    Declared declared;
    DWORD process = 0;
    DWORD thread = 0;
    HWND window = nullptr;
    std::atomic<bool> listening{false};  // from the window's creation to its end
    std::atomic<bool> ended{false};
    std::thread runner;
};

struct Applications {
    std::mutex syncMutex;  // one start or stop at a time; held while a runner starts or is joined
    std::mutex mu;         // the list and the logs; never held while waiting for a runner
    std::vector<std::shared_ptr<Application>> running;
    std::map<std::wstring, std::vector<plat::ApplicationMessage>> logs;  // by folded name
    DWORD nextProcess = 0x1E000010;  // above every host pid, so never this program's id
};

Applications& Apps()
{
    // Never destroyed: runners may still end after static destructors ran.
    static Applications* const apps = new Applications;
    return *apps;
}

thread_local Application* t_application = nullptr;  // the application this thread plays
thread_local const MSG* t_dispatching = nullptr;      // the posted message being handled

std::wstring KeyOf(const std::wstring& name) { return std::wstring(plat::kApplicationsKey) + L"\\" + name; }

std::wstring ReadString(const std::wstring& key, LPCWSTR value)
{
    WCHAR text[MAX_PATH] = {};
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, key.c_str(), value, text, MAX_PATH)))
        return {};
    return text;
}

std::vector<Declared> DeclaredRunning()
{
    std::vector<Declared> result;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, plat::kApplicationsKey, 0, 0, &key) != ERROR_SUCCESS)
        return result;
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[MAX_PATH];
        DWORD length = MAX_PATH;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    for (const auto& name : names) {
        std::wstring sub = KeyOf(name);
        DWORD running = 0;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, sub.c_str(), L"Running", &running);
        Declared d{name, ReadString(sub, L"Path"), ReadString(sub, L"WindowClass"), ReadString(sub, L"WindowTitle")};
        if (running && !d.windowClass.empty())
            result.push_back(std::move(d));
    }
    return result;
}

void Record(Application& app, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    plat::ApplicationMessage m{};
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.posted = t_dispatching && t_dispatching->hwnd == hwnd && t_dispatching->message == message &&
               t_dispatching->wParam == wParam && t_dispatching->lParam == lParam;
    if (message == WM_COPYDATA) {
        m.lParam = 0;
        if (auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam)) {
            m.copyDataWord = data->dwData;
            if (data->lpData)
                m.copyData.assign(static_cast<const BYTE*>(data->lpData),
                                  static_cast<const BYTE*>(data->lpData) + data->cbData);
        }
    }
    plat::DebugLine(L"[%ls] %ls 0x%04X (%llu, %lld)%ls", app.declared.name.c_str(), m.posted ? L"posted" : L"sent",
                    message, static_cast<unsigned long long>(wParam), static_cast<long long>(m.lParam),
                    message == WM_COPYDATA ? (L" with " + std::to_wstring(m.copyData.size()) + L" bytes").c_str()
                                           : L"");
    std::lock_guard lock(Apps().mu);
    Apps().logs[plat::FoldCase(app.declared.name)].push_back(std::move(m));
}

LRESULT ApplicationProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    Application* app = t_application;
    if (message == WM_PAINT) {
        // Its look is its own: nothing of it reaches our screen.
        ValidateRect(hwnd, nullptr);
        return 0;
    }
    if (app && app->listening)
        Record(*app, hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        if (app) {
            // It ends for good: the device no longer runs it.
            app->listening = false;
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, KeyOf(app->declared.name).c_str(), L"Running", 0);
        }
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Run(Application* app, std::promise<bool>* ready)
{
    t_application = app;
    plat::wm::SetThreadProcess(app->process);
    LPCWSTR className = app->declared.windowClass.c_str();
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ApplicationProc;
    wc.lpszClassName = className;
    RegisterClassW(&wc);  // or it is there already
    HWND hwnd = CreateWindowExW(0, className, app->declared.windowTitle.c_str(), WS_OVERLAPPED, 0, 0, CW_USEDEFAULT,
                                CW_USEDEFAULT, nullptr, nullptr, nullptr, nullptr);
    if (!hwnd) {
        app->ended = true;
        ready->set_value(false);
        return;
    }
    SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&ApplicationProc));
    // In the background: never active, below our windows.
    plat::wm::SetNeverActive(hwnd);
    SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    app->window = hwnd;
    app->thread = GetCurrentThreadId();
    app->listening = true;
    ready->set_value(true);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        t_dispatching = &msg;
        DispatchMessageW(&msg);
        t_dispatching = nullptr;
    }
    app->listening = false;
    if (IsWindow(hwnd))
        DestroyWindow(hwnd);
    app->ended = true;
}

// Syncs held.
std::shared_ptr<Application> Start(const Declared& declared)
{
    auto app = std::make_shared<Application>();
    app->declared = declared;
    {
        std::lock_guard lock(Apps().mu);
        app->process = Apps().nextProcess;
        Apps().nextProcess += 0x10;
        Apps().logs[plat::FoldCase(declared.name)].clear();
    }
    std::promise<bool> ready;
    auto started = ready.get_future();
    app->runner = std::thread(Run, app.get(), &ready);
    if (!started.get()) {
        app->runner.join();
        plat::DebugLine(L"[%ls] cannot start: no window of class \"%ls\"", declared.name.c_str(),
                        declared.windowClass.c_str());
        return nullptr;
    }
    return app;
}

// Syncs held. The process ends as if killed: its window goes without a WM_CLOSE.
void End(Application& app)
{
    if (!app.ended)
        PostThreadMessageW(app.thread, WM_QUIT, 0, 0);
    app.runner.join();
}

bool SameApplication(const Declared& a, const Declared& b) { return plat::SameNameNoCase(a.name, b.name); }

std::shared_ptr<Application> FindRunning(DWORD process)
{
    std::lock_guard lock(Apps().mu);
    for (const auto& app : Apps().running)
        if (app->process == process && !app->ended)
            return app;
    return nullptr;
}

// The handle's object: this program (no application) or one application.
struct ProcessObject : plat::KernelObject {
    DWORD process = 0;
    std::weak_ptr<Application> application;
};

struct Snapshot : plat::KernelObject {
    std::mutex mu;
    std::vector<PROCESSENTRY32W> entries;
    std::size_t next = 0;
};

PROCESSENTRY32W EntryOf(DWORD process, const std::wstring& path)
{
    PROCESSENTRY32W e{};
    e.dwSize = sizeof(e);
    e.th32ProcessID = process;
    e.cntThreads = 1;
    std::wstring file = path.substr(path.find_last_of(L"\\/") == std::wstring::npos ? 0 : path.find_last_of(L"\\/") + 1);
    file.resize(std::min<std::size_t>(file.size(), MAX_PATH - 1));
    std::wmemcpy(e.szExeFile, file.c_str(), file.size() + 1);
    return e;
}

BOOL NextEntry(HANDLE snapshot, LPPROCESSENTRY32W entry, bool first)
{
    auto snap = plat::LookupHandleAs<Snapshot>(snapshot);
    if (!snap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!entry || entry->dwSize != sizeof(PROCESSENTRY32W)) {
        SetLastError(ERROR_BAD_LENGTH);
        return FALSE;
    }
    std::lock_guard lock(snap->mu);
    if (first)
        snap->next = 0;
    if (snap->next >= snap->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *entry = snap->entries[snap->next++];
    return TRUE;
}

}  // namespace

namespace plat::wm {

void SyncApplications()
{
    if (t_application)
        return;  // an application's own thread starts and stops none
    std::vector<Declared> declared = DeclaredRunning();
    std::lock_guard sync(Apps().syncMutex);
    std::vector<std::shared_ptr<Application>> leaving;
    {
        std::lock_guard lock(Apps().mu);
        auto& running = Apps().running;
        for (auto it = running.begin(); it != running.end();) {
            bool wanted = std::any_of(declared.begin(), declared.end(),
                                      [&](const Declared& d) { return SameApplication(d, (*it)->declared); });
            if ((*it)->ended || !wanted) {
                leaving.push_back(*it);
                it = running.erase(it);
            } else {
                std::erase_if(declared, [&](const Declared& d) { return SameApplication(d, (*it)->declared); });
                ++it;
            }
        }
    }
    for (auto& app : leaving)
        End(*app);
    for (const auto& d : declared) {
        if (auto app = Start(d)) {
            std::lock_guard lock(Apps().mu);
            Apps().running.push_back(std::move(app));
        }
    }
}

}  // namespace plat::wm

BOOL PowerPolicyNotify(DWORD message, DWORD flags)
{
    plat::DebugLine(L"[platform] PowerPolicyNotify(%u, %u): the host stays on", static_cast<unsigned>(message),
                    static_cast<unsigned>(flags));
    return TRUE;
}

HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD)
{
    if ((flags & ~TH32CS_SNAPNOHEAPS) != TH32CS_SNAPPROCESS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    plat::wm::SyncApplications();
    auto snap = std::make_shared<Snapshot>();
    snap->entries.push_back(EntryOf(GetCurrentProcessId(), plat::kProgramPath));
    {
        std::lock_guard lock(Apps().mu);
        for (const auto& app : Apps().running)
            if (!app->ended)
                snap->entries.push_back(EntryOf(app->process, app->declared.path));
    }
    return plat::InsertHandle(std::move(snap));
}

BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry) { return NextEntry(snapshot, entry, true); }
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry) { return NextEntry(snapshot, entry, false); }

BOOL CloseToolhelp32Snapshot(HANDLE snapshot)
{
    if (!plat::LookupHandleAs<Snapshot>(snapshot)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return CloseHandle(snapshot);
}

HANDLE OpenProcess(DWORD, BOOL, DWORD processId)
{
    auto object = std::make_shared<ProcessObject>();
    object->process = processId;
    if (processId != GetCurrentProcessId()) {
        plat::wm::SyncApplications();
        auto app = FindRunning(processId);
        if (!app) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        object->application = app;
    }
    return plat::InsertHandle(std::move(object));
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    if (!fileName || size == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::wstring path = plat::kProgramPath;
    if (module) {
        auto object = plat::LookupHandleAs<ProcessObject>(reinterpret_cast<HANDLE>(module));
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return 0;
        }
        if (object->process != GetCurrentProcessId()) {
            auto app = object->application.lock();
            if (!app || app->ended) {
                SetLastError(ERROR_INVALID_HANDLE);  // it has ended
                return 0;
            }
            if (app->declared.path.empty()) {
                SetLastError(ERROR_ACCESS_DENIED);  // no executable to tell
                return 0;
            }
            path = app->declared.path;
        }
    }
    if (path.size() >= size) {
        std::wmemcpy(fileName, path.c_str(), size - 1);
        fileName[size - 1] = 0;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::wmemcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

namespace plat {

DWORD StartApplication(LPCWSTR name, LPCWSTR path, LPCWSTR windowClass, LPCWSTR windowTitle)
{
    if (!name || !*name || !windowClass || !*windowClass)
        return 0;
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    auto setString = [&](LPCWSTR value, LPCWSTR text) {
        text = text ? text : L"";
        RegSetValueExW(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR)));
    };
    setString(L"Path", path);
    setString(L"WindowClass", windowClass);
    setString(L"WindowTitle", windowTitle);
    DWORD running = 1;
    RegSetValueExW(key, L"Running", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&running), sizeof(running));
    RegCloseKey(key);
    wm::SyncApplications();
    std::lock_guard lock(Apps().mu);
    for (const auto& app : Apps().running)
        if (SameNameNoCase(app->declared.name, name) && !app->ended)
            return app->process;
    return 0;
}

bool StopApplication(LPCWSTR name)
{
    if (!name)
        return false;
    bool wasRunning = false;
    {
        std::lock_guard lock(Apps().mu);
        for (const auto& app : Apps().running)
            wasRunning = wasRunning || (SameNameNoCase(app->declared.name, name) && !app->ended);
    }
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, KeyOf(name).c_str(), L"Running", 0);
    wm::SyncApplications();
    return wasRunning;
}

std::vector<ApplicationMessage> ApplicationMessages(LPCWSTR name)
{
    std::lock_guard lock(Apps().mu);
    auto it = Apps().logs.find(FoldCase(name ? name : L""));
    return it == Apps().logs.end() ? std::vector<ApplicationMessage>{} : it->second;
}

void EndApplications()
{
    std::lock_guard sync(Apps().syncMutex);
    std::vector<std::shared_ptr<Application>> leaving;
    {
        std::lock_guard lock(Apps().mu);
        leaving.swap(Apps().running);
    }
    for (auto& app : leaving)
        End(*app);
}

}  // namespace plat
