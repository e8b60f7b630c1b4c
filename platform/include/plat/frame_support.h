// Pieces the program's main frame calls: accelerator tables (C++ tables in
// place of resources), the time format of the popups, the drive-change record
// the shell hands the main window, and closing a wave-out device.
#pragma once

#include <cstddef>

#include "plat/message.h"
#include "plat/types.h"

// ---- Accelerators ----
struct HACCEL__ {
    int unused;
};
using HACCEL = HACCEL__*;

inline constexpr BYTE FVIRTKEY = 0x01;
inline constexpr BYTE FSHIFT = 0x04;
inline constexpr BYTE FCONTROL = 0x08;
inline constexpr BYTE FALT = 0x10;

struct ACCEL {
    BYTE fVirt;
    WORD key;
    WORD cmd;
};

// The table registered under that id (MAKEINTRESOURCEW(id)); an empty table
// is a valid one. NULL with ERROR_RESOURCE_NAME_NOT_FOUND when none is.
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR tableName);
// A WM_KEYDOWN matching a virtual-key entry of the table becomes WM_COMMAND
// (high word 1, low word the command) sent to hwnd; non-zero when one was
// translated. Entries with shift, control or alt never match: the handset's
// keypad has none.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);

namespace plat {
// Makes a table known by its id, for LoadAcceleratorsW.
void RegisterAcceleratorTable(UINT id, const ACCEL* entries, std::size_t count);
}  // namespace plat

// ---- Time format ----
inline constexpr DWORD TIME_NOSECONDS = 0x00000002;
inline constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
// Pictures: h H hh HH m mm s ss t tt and quoted text ('...'); time NULL means
// now. Returns the characters written with the zero (0 and
// ERROR_INSUFFICIENT_BUFFER when the buffer is too small; the size needed
// when size is 0).
int GetTimeFormatW(LCID locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR format, LPWSTR buffer, int size);
// Pictures: d dd ddd dddd M MM MMM MMMM y yy yyyy and quoted text, English
// day and month names; the same results as GetTimeFormatW.
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format, LPWSTR buffer, int size);

// ---- Drive changes ----
inline constexpr LONG SHCNE_DRIVEREMOVED = 0x00000080;
inline constexpr LONG SHCNE_DRIVEADD = 0x00000100;

// What the shell sends with WM_FILECHANGEINFO (lParam), made by the shell
// and given back with SHChangeNotifyFree.
struct FILECHANGEINFO {
    DWORD cbSize;
    LONG wEventId;
    ULONG uFlags;
    DWORD dwItem1;  // for drive events: a device path, as LPCWSTR
    DWORD dwItem2;
    DWORD dwAttributes;
    FILETIME ftModified;
    ULONG nFileSize;
};
struct FILECHANGENOTIFY {
    DWORD dwRefCount;
    FILECHANGEINFO fci;
};
using LPFILECHANGENOTIFY = FILECHANGENOTIFY*;

// Sent (posted) to a registered window with a record in lParam.
inline constexpr UINT WM_FILECHANGEINFO = 0x8101;

struct SHCHANGENOTIFYENTRY {
    LONG dwEventMask;
    LPWSTR pszWatchDir;  // NULL: no folder, drive events only
    BOOL fRecursive;
};

// Watches the storage cards (HKLM "Platform\StorageCards", whoever writes
// it) for the window: a card value set non-zero posts WM_FILECHANGEINFO with
// SHCNE_DRIVEADD, one set to 0 or deleted with SHCNE_DRIVEREMOVED, when the
// mask has that event. Lasts as long as the registry stays open. FALSE for
// a bad window, no entry or a mask without drive events.
BOOL SHChangeNotifyRegister(HWND hwnd, const SHCHANGENOTIFYENTRY* entry);
// Gives a record back to the shell; NULL is ignored.
void SHChangeNotifyFree(LPFILECHANGENOTIFY record);

namespace plat {
// A record as the shell makes it (freed by SHChangeNotifyFree), and how many
// such records are still out, for tests.
LPFILECHANGENOTIFY NewFileChangeRecord(LONG eventId);
long OutstandingFileChangeRecords();
}  // namespace plat

