// Names in the file system: deleting, moving, folders, attributes and
// searches.
#include "plat/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

#include "file_internal.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/registry.h"
#include "plat/utf.h"
#include "registry_internal.h"

namespace fs = std::filesystem;
using namespace plat::detail::files;

// --- names -------------------------------------------------------------------

BOOL DeleteFileW(LPCWSTR fileName)
{
    auto host = MapPath(fileName);
    if (!host)
        return FALSE;
    struct stat st {};
    if (HasWildcard(LastComponent(fileName)) || ::lstat(host->c_str(), &st) != 0) {
        SetLastError(HasWildcard(LastComponent(fileName)) ? ERROR_INVALID_NAME : MissingError(*host));
        return FALSE;
    }
    if (S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (IsOpen(*host)) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (::unlink(host->c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno, MissingError(*host)));
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName)
{
    return MoveFileExW(existingFileName, newFileName, 0);
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags)
{
    auto from = MapPath(existingFileName);
    if (!from)
        return FALSE;
    auto to = MapPath(newFileName);
    if (!to)
        return FALSE;
    if (HasWildcard(LastComponent(existingFileName)) || HasWildcard(LastComponent(newFileName)) || IsRoot(*from) ||
        IsRoot(*to)) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    struct stat st {};
    if (::lstat(from->c_str(), &st) != 0) {
        SetLastError(MissingError(*from));
        return FALSE;
    }
    unsigned renameFlags = flags & MOVEFILE_REPLACE_EXISTING ? 0 : RENAME_NOREPLACE;
    if (*to == *from) {
        // The new name found the entry itself, without regard to case: a change of case only.
        *to = from->parent_path() / plat::ToUtf8(LastComponent(newFileName));
        if (*to == *from)
            return TRUE;
        renameFlags = 0;
    }
    if (IsOpen(*from) || (renameFlags == 0 && *to != *from && IsOpen(*to))) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), renameFlags) != 0) {
        int error = errno;
        SetLastError(error == EEXIST ? ERROR_ALREADY_EXISTS : ErrorFromErrno(error, ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES)
{
    auto host = MapPath(pathName);
    if (!host)
        return FALSE;
    if (HasWildcard(LastComponent(pathName))) {
        SetLastError(ERROR_INVALID_NAME);
        return FALSE;
    }
    if (::mkdir(host->c_str(), 0777) != 0) {
        SetLastError(ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName)
{
    auto host = MapPath(pathName);
    if (!host)
        return FALSE;
    if (IsRoot(*host)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    struct stat st {};
    if (::lstat(host->c_str(), &st) != 0) {
        SetLastError(MissingError(*host));
        return FALSE;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    if (::rmdir(host->c_str()) != 0) {
        SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    return TRUE;
}

DWORD GetFileAttributesW(LPCWSTR fileName)
{
    auto host = MapPath(fileName);
    if (!host)
        return INVALID_FILE_ATTRIBUTES;
    struct stat st {};
    if (HasWildcard(LastComponent(fileName)) || ::stat(host->c_str(), &st) != 0) {
        SetLastError(HasWildcard(LastComponent(fileName)) ? ERROR_INVALID_NAME : MissingError(*host));
        return INVALID_FILE_ATTRIBUTES;
    }
    bool inRoot = host->parent_path() == plat::DeviceRoot();
    return AttributesOf(st, plat::FromUtf8(host->filename().string()), inRoot);
}

// --- searches ----------------------------------------------------------------

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData)
{
    if (!fileName || !findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::wstring_view path(fileName);
    std::size_t cut = path.find_last_of(L"\\/");
    std::wstring folder(cut == std::wstring_view::npos ? std::wstring_view() : path.substr(0, cut));
    std::wstring pattern(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
    if (pattern.empty() || pattern == L"." || pattern == L"..") {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (HasWildcard(folder)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    auto dir = MapPath(folder.empty() ? L"\\" : folder.c_str());
    if (!dir)
        return INVALID_HANDLE_VALUE;
    std::error_code ec;
    if (!fs::is_directory(*dir, ec)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (pattern == L"*.*")
        pattern = L"*";  // the handset's spelling of "every name"
    const bool inRoot = IsRoot(*dir);
    std::vector<WIN32_FIND_DATAW> entries;
    for (fs::directory_iterator it(*dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::wstring name = plat::FromUtf8(it->path().filename().string());
        if (!plat::MatchFileName(pattern, name))
            continue;
        // Entries that cannot be reached (a link out of the root, a removed card) are not listed.
        if (it->is_symlink(ec) && !plat::MapDevicePath((folder + L"\\" + name).c_str()))
            continue;
        if (inRoot && InRemovedCard(it->path()))
            continue;
        WIN32_FIND_DATAW data;
        if (FillFindData(it->path(), name, inRoot, data))
            entries.push_back(data);
    }
    return StartSearch(std::move(entries), findData);
}

BOOL FindNextFileW(HANDLE findFile, LPWIN32_FIND_DATAW findData)
{
    auto search = HandleOf<FindObject>(findFile);
    if (!search)
        return FALSE;
    if (!findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (search->next >= search->entries.size()) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    *findData = search->entries[search->next++];
    return TRUE;
}

namespace plat {
bool IsDeviceSearchHandle(HANDLE handle);  // the device manager's searches close here too
}

BOOL FindClose(HANDLE findFile)
{
    if (!HandleOf<FindObject>(findFile) && !plat::IsDeviceSearchHandle(findFile))
        return FALSE;
    plat::RemoveHandle(findFile);
    return TRUE;
}

HANDLE FindFirstFlashCard(LPWIN32_FIND_DATAW findData)
{
    if (!findData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::vector<WIN32_FIND_DATAW> entries;
    for (const auto& name : plat::StorageCards()) {
        WIN32_FIND_DATAW data;
        if (FillFindData(plat::DeviceRoot() / plat::ToUtf8(name), name, true, data))
            entries.push_back(data);
    }
    HANDLE search = StartSearch(std::move(entries), findData);
    if (search == INVALID_HANDLE_VALUE)
        SetLastError(ERROR_NO_MORE_FILES);
    return search;
}

BOOL FindNextFlashCard(HANDLE findFile, LPWIN32_FIND_DATAW findData) { return FindNextFileW(findFile, findData); }

