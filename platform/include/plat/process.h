// Processes: this program and the device's other applications. The other
// applications are declared per device root in the registry (docs/platform.md,
// "Other applications"); each running one has its own process identifier and
// one visible top-level window on a thread of its own, whose procedure keeps
// what it is sent and posted.
#pragma once

#include <string>
#include <vector>

#include "plat/types.h"

// Power manager notices: the power button is logged, the host never switched off.
inline constexpr DWORD PPN_POWERBUTTONPRESSED = 0x00000004;
BOOL PowerPolicyNotify(DWORD message, DWORD flags);

// Snapshot kinds: only the process list is offered.
inline constexpr DWORD TH32CS_SNAPPROCESS = 0x00000002;
inline constexpr DWORD TH32CS_SNAPNOHEAPS = 0x40000000;

// The handset's record: 564 bytes there, larger here as WCHAR is 4 bytes.
struct PROCESSENTRY32W {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];  // the executable's file name, without its folder
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
};
using PROCESSENTRY32 = PROCESSENTRY32W;
using LPPROCESSENTRY32W = PROCESSENTRY32W*;

// INVALID_HANDLE_VALUE with ERROR_INVALID_PARAMETER for any other kind.
HANDLE CreateToolhelp32Snapshot(DWORD flags, DWORD processId);
// dwSize must be sizeof(PROCESSENTRY32W) (else ERROR_BAD_LENGTH); the end is ERROR_NO_MORE_FILES.
BOOL Process32FirstW(HANDLE snapshot, LPPROCESSENTRY32W entry);
BOOL Process32NextW(HANDLE snapshot, LPPROCESSENTRY32W entry);
inline BOOL Process32First(HANDLE snapshot, LPPROCESSENTRY32W entry) { return Process32FirstW(snapshot, entry); }
inline BOOL Process32Next(HANDLE snapshot, LPPROCESSENTRY32W entry) { return Process32NextW(snapshot, entry); }
BOOL CloseToolhelp32Snapshot(HANDLE snapshot);

// A handle to a running process (this one or another application), closed
// with CloseHandle; NULL with ERROR_INVALID_PARAMETER when none has that id.
HANDLE OpenProcess(DWORD desiredAccess, BOOL inheritHandle, DWORD processId);
// As on the handset, the module may be a process handle (its executable's
// device path) or NULL (this program). Cut to size - 1 characters with
// ERROR_INSUFFICIENT_BUFFER; 0 when the name cannot be read.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

namespace plat {

// This program as the device knows it.
inline constexpr const WCHAR* kProgramPath = L"\\Windows\\LumOCR.exe";

// Where the other applications are declared: one subkey per application.
inline constexpr const WCHAR* kApplicationsKey = L"Platform\\Processes";

// One message an application's window received.
struct ApplicationMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;                // WM_COPYDATA: 0 (the sender's pointer means nothing here)
    bool posted;                  // false: sent
    ULONG_PTR copyDataWord = 0;   // WM_COPYDATA: dwData
    std::vector<BYTE> copyData;   // WM_COPYDATA: the cbData bytes received
};

// Declares the application in the registry as running (Path, WindowClass,
// WindowTitle, Running = 1) and starts it; its process id, 0 on failure.
DWORD StartApplication(LPCWSTR name, LPCWSTR path, LPCWSTR windowClass, LPCWSTR windowTitle = L"");
// Running = 0 and the process ends at once, its window with it (no message).
bool StopApplication(LPCWSTR name);
// What the application's window got since it last started, in order.
std::vector<ApplicationMessage> ApplicationMessages(LPCWSTR name);
// Ends every running application without touching the registry (they start
// again on the next look-up while declared running).
void EndApplications();

}  // namespace plat
