#include "utility.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "debug_print.h"
#include "plat/utf.h"

DWORD dwAlarmRadioOnBefore = 0;

namespace {

constexpr const WCHAR* kSourceName = L".\\Utility";
constexpr int kFrameAppWaits = 10;
constexpr DWORD kFrameAppWaitMs = 500;
constexpr DWORD kFrameAppGoneWaitMs = 200;
constexpr DWORD kDefaultTransparency = 166;
constexpr DWORD kMostOpaque = 255;

using SetTodayWatermarkProc = HRESULT (*)(LPCWSTR imagePath, DWORD transparency, DWORD flag);

unsigned long HandleValue(HWND hwnd) { return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(hwnd)); }

// The first file that matches, as "\Windows\<name>"; false when none does.
bool FindInWindows(LPCWSTR pattern, WCHAR (&path)[MAX_PATH])
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    std::swprintf(path, MAX_PATH, L"\\Windows\\%ls", found.cFileName);
    return true;
}

}  // namespace

LPCWSTR GetFileExtension(LPCWSTR path)
{
    if (!path)
        return L"";
    LPCWSTR name = std::wcsrchr(path, L'\\');
    LPCWSTR dot = std::wcsrchr(name ? name : path, L'.');
    return dot ? dot : L"";
}

DWORD CUtility::GetFileSize(LPCWSTR path) const
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    SetLastError(0);
    DWORD size = ::GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != 0)
        size = 0;
    CloseHandle(file);
    return size;
}

BOOL CUtility::IsProcessRunning(LPCWSTR fileName) const
{
    if (!fileName)
        return FALSE;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return FALSE;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    BOOL found = FALSE;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        found = plat::SameNameNoCase(entry.szExeFile, fileName);
    CloseToolhelp32Snapshot(snapshot);
    return found;
}

BOOL CUtility::EnumWindowsProc(HWND hwnd, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    if (!search)
        return FALSE;
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    // A window that vanished, or whose process will not tell its name, is
    // not the one looked for: the search goes on.
    if (process == 0)
        return TRUE;
    HANDLE handle = OpenProcess(0, FALSE, process);
    if (!handle)
        return TRUE;
    WCHAR name[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(handle), name, MAX_PATH);
    CloseHandle(handle);
    if (length == 0)
        return TRUE;
    if (plat::SameNameNoCase(name, search->path) && IsWindowVisible(hwnd) && !GetParent(hwnd)) {
        DebugPrint(L"Find [%d]=[%ls]\r\n", static_cast<int>(HandleValue(hwnd)), name);
        search->window = hwnd;
        search->process = process;
    }
    return TRUE;
}

HWND CUtility::FindProcessWindow(LPCWSTR path)
{
    WindowSearch search;
    std::wcsncpy(search.path, path, MAX_PATH - 1);
    EnumWindows(&CUtility::EnumWindowsProc, reinterpret_cast<LPARAM>(&search));
    return search.window;
}

LRESULT CUtility::StopMediaPlayer()
{
    HWND player = FindWindowW(kMediaPlayerClass, nullptr);
    if (!player || !IsWindow(player))
        return 0;
    DebugPrint(L"Detect Windows Media Player running\r\n");
    return SendMessageW(player, kMediaPlayerStop, 0, 0);
}

void CUtility::PauseMediaPlayers()
{
    LPCWSTR path = kQuodeckPath;
    HWND player = FindProcessWindow(path);
    if (!player) {
        path = kMevolinPath;
        player = FindProcessWindow(path);
    }
    if (!player)
        return;
    DebugPrint(L"Detect %ls running\r\n", path);
    COPYDATASTRUCT data{0, static_cast<DWORD>(kPauseCommand.size()), const_cast<BYTE*>(kPauseCommand.data())};
    SendMessageW(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
}

void CUtility::StopRadioPlayback()
{
    if (HWND radio = FindProcessWindow(kRadioPath)) {
        DebugPrint(L"Detect FM Radio\r\n");
        dwAlarmRadioOnBefore = 0;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, kRadioStateKey, L"RadioOn", &dwAlarmRadioOnBefore);
        DebugPrint(L"hWndWexlar = 0x%lx, dwAlarmRadioOnBefore = %d  \r\n", HandleValue(radio),
                   static_cast<int>(dwAlarmRadioOnBefore));
        if (dwAlarmRadioOnBefore) {
            DebugPrint(L"FM Radio is running\r\n");
            PostMessageW(radio, kRadioStop, 0, 0);
        }
    }
    if (HWND alarm = FindProcessWindow(kAlarmPath)) {
        DebugPrint(L"Detect Alarm\r\n");
        DWORD radioOn = 0;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, kAlarmStateKey, L"RadioOn", &radioOn);
        DebugPrint(L"hWndChimvar = 0x%lx, dwAlarmRadioOn = %d  \r\n", HandleValue(alarm), static_cast<int>(radioOn));
        if (radioOn)
            PostMessageW(alarm, kAlarmRadioStop, 0, 0);
    }
}

void CUtility::ResumeRadioPlayback()
{
    if (!dwAlarmRadioOnBefore)
        return;
    HWND radio = FindProcessWindow(kRadioPath);
    if (!radio)
        return;
    DebugPrint(L"Detect FM Radio\r\n");
    DWORD background = 0;
    RegistryGetDWORD(HKEY_LOCAL_MACHINE, kRadioPreferenceKey, L"PlayInBackground", &background);
    if (background == 0) {
        DebugPrint(L"FM Radio is runable\r\n");
        PostMessageW(radio, kRadioPlay, 0, 0);
    }
}

void CUtility::CloseFrameApp()
{
    HWND frame = FindWindowW(kFrameAppClass, nullptr);
    if (!frame)
        return;
    DebugPrint(L"Detect Tarn Quivelle running\r\n");
    DWORD process = 0;
    GetWindowThreadProcessId(frame, &process);
    DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<\n", kSourceName, __LINE__);
    if (closer_)
        closer_->FillBlackClose();
    for (int pass = 0; pass < kFrameAppWaits; ++pass) {
        Sleep(kFrameAppWaitMs);
        if (IsWindow(frame)) {
            DebugPrint(L"Waiting for closing Tarn Quivele...[count:%d]\r\n", pass);
            continue;
        }
        HANDLE handle = OpenProcess(0, FALSE, process);
        if (!handle) {
            Sleep(kFrameAppGoneWaitMs);
            return;
        }
        DebugPrint(L"Window closed, but process is live...[count:%d]\r\n", pass);
        CloseHandle(handle);
    }
}

void CUtility::ClearTodayWatermarks()
{
    DWORD useStartImage = 0;
    RegistryGetDWORD(HKEY_CURRENT_USER, kTodayKey, L"UseStartImage", &useStartImage);
    bool today = useStartImage != 1;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (;;) {
        LPCWSTR base = today ? L"tdywater" : L"stwater";
        WCHAR pattern[MAX_PATH];
        WCHAR path[MAX_PATH];
        std::swprintf(pattern, MAX_PATH, L"\\Windows\\%ls_%d_%d.*", base, width, height);
        if (FindInWindows(pattern, path)) {
            DeleteFileW(path);
            std::swprintf(pattern, MAX_PATH, L"\\Windows\\%ls_%d_%d.*", base, height, width);
            if (FindInWindows(pattern, path))
                DeleteFileW(path);
            return;
        }
        std::swprintf(pattern, MAX_PATH, L"\\Windows\\%ls.*", base);
        if (!FindInWindows(pattern, path))
            std::wcscpy(path, L"\\Windows\\Default_stwater.gif");
        if (!plat::SameNameNoCase(path, L"\\Windows\\stwater.bmp"))
            DeleteFileW(path);
        if (!today)
            return;
        today = false;
    }
}

BOOL CUtility::ApplyTodayWatermark(DWORD, LPCWSTR imagePath, int enable, const DWORD* transparency)
{
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    HRESULT result = E_FAIL;
    if (enable == 1) {
        if (HMODULE library = LoadLibraryW(L"Brevox.dll")) {
            auto apply = reinterpret_cast<SetTodayWatermarkProc>(GetProcAddressW(library, L"SetTodayWatermark"));
            if (apply) {
                DWORD alpha = kDefaultTransparency;
                if (transparency) {
                    alpha = *transparency;
                } else if (DWORD stored; SUCCEEDED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kWatermarkKey,
                                                                    L"Transparency", &stored))) {
                    alpha = std::min(stored, kMostOpaque);
                }
                result = apply(imagePath, alpha, 1);
            }
            FreeLibrary(library);
        }
    }
    SetCursor(previous);
    return SUCCEEDED(result) ? TRUE : FALSE;
}

int CUtility::ShowMessageBox(HWND hwnd, LPCWSTR text, LPCWSTR caption, UINT style) const
{
    return MessageBoxW(hwnd, text, caption, style);
}
