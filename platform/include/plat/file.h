// Files of the device: the handset's file calls over the device root
// (plat/device.h). Paths keep the handset's form ("\My Documents\KVIM\x.jpg"),
// lookup ignores case, and nothing outside the root is ever touched.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "plat/types.h"

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;

inline constexpr DWORD CREATE_NEW = 1;
inline constexpr DWORD CREATE_ALWAYS = 2;
inline constexpr DWORD OPEN_EXISTING = 3;
inline constexpr DWORD OPEN_ALWAYS = 4;
inline constexpr DWORD TRUNCATE_EXISTING = 5;

inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
inline constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;  // a storage card's folder
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
inline constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;
struct OVERLAPPED;
using LPOVERLAPPED = OVERLAPPED*;

// The handset's find record (with its object identifier field).
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};
using WIN32_FIND_DATA = WIN32_FIND_DATAW;
using LPWIN32_FIND_DATAW = WIN32_FIND_DATAW*;
using LPWIN32_FIND_DATA = WIN32_FIND_DATAW*;

// The handset is a 32-bit device: sizes are DWORDs, clamped to 4 GB - 1.
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
using LPMEMORYSTATUS = MEMORYSTATUS*;

// Shell folders the system asks for.
inline constexpr int CSIDL_PERSONAL = 0x0005;    // "\My Documents"
inline constexpr int CSIDL_WINDOWS = 0x0024;     // "\Windows"
inline constexpr int CSIDL_MYPICTURES = 0x0027;  // "\My Documents\My Pictures"

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
DWORD SetFilePointer(HANDLE file, LONG distanceToMove, LPLONG distanceToMoveHigh, DWORD moveMethod);
BOOL FlushFileBuffers(HANDLE file);
BOOL GetFileTime(HANDLE file, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime);

BOOL DeleteFileW(LPCWSTR fileName);
BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName);
// MOVEFILE_REPLACE_EXISTING replaces a file of the new name in one step.
inline constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags);
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryW(LPCWSTR pathName);
DWORD GetFileAttributesW(LPCWSTR fileName);

// Entries of one folder whose names match the pattern's last component
// ("*" any run, "?" any one character, case ignored; "*.*" matches all),
// in a defined order: by name, case ignored. "." and ".." are not listed.
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE findFile);

// Free space of the volume that holds the device root.
BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes);
void GlobalMemoryStatus(LPMEMORYSTATUS buffer);
// The process heap is the host's allocator: there is nothing to compact.
// HeapCompact reports the memory available instead of the largest free block.
HANDLE GetProcessHeap();
UINT HeapCompact(HANDLE heap, DWORD flags);

BOOL SHGetSpecialFolderPath(HWND owner, LPWSTR path, int folder, BOOL create);

// Removes "." and ".." components of a backslash path; `out` holds MAX_PATH
// characters. FALSE when the result would not fit.
BOOL PathCanonicalizeW(LPWSTR out, LPCWSTR path);

// -1, 0 or 1 as the first time is earlier, equal or later.
LONG CompareFileTime(const FILETIME* first, const FILETIME* second);

// Storage cards: folders of the device root, listed under HKEY_LOCAL_MACHINE
// "Platform\StorageCards" (value name = folder name, DWORD 1 inserted, 0
// removed). A removed card's folder cannot be reached.
HANDLE FindFirstFlashCard(LPWIN32_FIND_DATAW findData);
BOOL FindNextFlashCard(HANDLE findFile, LPWIN32_FIND_DATAW findData);

namespace plat {

inline constexpr const WCHAR* kStorageCardsKey = L"Platform\\StorageCards";
// HKLM key of "FreeKB" (dword): caps the device root's free space; a larger
// write fails with ERROR_DISK_FULL.
inline constexpr const WCHAR* kDiskKey = L"Platform\\Disk";
// HKLM key of "FreeKB" (dword): caps the free physical memory that
// GlobalMemoryStatus reports.
inline constexpr const WCHAR* kMemoryKey = L"Platform\\Memory";

// Names of the storage cards inserted now, in name order (case ignored).
std::vector<std::wstring> StorageCards();

// Copies into the device root every file of the template folder that the
// root lacks; nothing that exists is overwritten. Returns the count copied.
std::size_t PopulateDeviceRoot(const std::filesystem::path& templateDir);

// Tests: the free space that GetDiskFreeSpaceExW reports for every folder
// of the device root, in bytes; std::nullopt gives the volume's own figure again.
void SetFakeFreeSpace(std::optional<std::uint64_t> bytes);
std::optional<std::uint64_t> FakeFreeSpace();

// Wildcard match of one name ("*", "?"), case ignored.
bool MatchFileName(std::wstring_view pattern, std::wstring_view name);

}  // namespace plat
