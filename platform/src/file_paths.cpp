// Device paths on the host: mapping, errors, attributes and find data.
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

namespace plat::detail::files {

DWORD ErrorFromErrno(int error, DWORD notFound)
{
    switch (error) {
    case ENOENT: return notFound;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case EBUSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_ACCESS_DENIED;
    }
}

bool HasWildcard(std::wstring_view s) { return s.find_first_of(L"*?") != std::wstring_view::npos; }

std::wstring LastComponent(std::wstring_view path)
{
    std::size_t cut = path.find_last_of(L"\\/");
    return std::wstring(cut == std::wstring_view::npos ? path : path.substr(cut + 1));
}

bool InRemovedCard(const fs::path& host)
{
    fs::path rel = host.lexically_relative(plat::DeviceRoot());
    if (rel.empty() || *rel.begin() == ".")
        return false;
    std::wstring first = plat::FromUtf8(rel.begin()->string());
    for (const auto& [name, inserted] : plat::detail::StorageCardStates()) {
        if (!inserted && plat::SameNameNoCase(name, first))
            return true;
    }
    return false;
}

std::optional<fs::path> MapPath(LPCWSTR path)
{
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    auto host = plat::MapDevicePath(path);
    if (!host) {
        // "NAME:" is a device; none of them is a file of the root.
        SetLastError(std::wcschr(path, L':') ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    if (InRemovedCard(*host)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return std::nullopt;
    }
    return host;
}

bool IsRoot(const fs::path& host) { return host.lexically_relative(plat::DeviceRoot()) == "."; }

DWORD MissingError(const fs::path& host)
{
    std::error_code ec;
    return fs::is_directory(host.parent_path(), ec) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

FILETIME ToFileTime(const timespec& ts)
{
    // 100 ns units since 1601-01-01.
    ULONGLONG t = static_cast<ULONGLONG>(ts.tv_sec) * 10000000ull + static_cast<ULONGLONG>(ts.tv_nsec) / 100 +
                  116444736000000000ull;
    return FILETIME{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
}

bool IsCardName(std::wstring_view name)
{
    for (const auto& [card, inserted] : plat::detail::StorageCardStates()) {
        if (inserted && plat::SameNameNoCase(card, name))
            return true;
    }
    return false;
}

DWORD AttributesOf(const struct stat& st, const std::wstring& name, bool inRoot)
{
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
        if (inRoot && IsCardName(name))
            attributes |= FILE_ATTRIBUTE_TEMPORARY;
    } else {
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
    }
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    if (!name.empty() && name[0] == L'.')
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

bool FillFindData(const fs::path& host, const std::wstring& name, bool inRoot, WIN32_FIND_DATAW& data)
{
    struct stat st {};
    if (name.size() >= MAX_PATH || ::stat(host.c_str(), &st) != 0)
        return false;
    data = WIN32_FIND_DATAW{};
    data.dwFileAttributes = AttributesOf(st, name, inRoot);
    data.ftCreationTime = ToFileTime(st.st_ctim);
    data.ftLastAccessTime = ToFileTime(st.st_atim);
    data.ftLastWriteTime = ToFileTime(st.st_mtim);
    if (!S_ISDIR(st.st_mode)) {
        auto size = static_cast<ULONGLONG>(st.st_size);
        data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data.nFileSizeLow = static_cast<DWORD>(size);
    }
    data.dwOID = static_cast<DWORD>(st.st_ino);
    std::copy(name.begin(), name.end(), data.cFileName);
    data.cFileName[name.size()] = 0;
    return true;
}

HANDLE StartSearch(std::vector<WIN32_FIND_DATAW> entries, LPWIN32_FIND_DATAW findData)
{
    if (entries.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        std::wstring fa = plat::FoldCase(a.cFileName), fb = plat::FoldCase(b.cFileName);
        return fa != fb ? fa < fb : std::wcscmp(a.cFileName, b.cFileName) < 0;
    });
    auto search = std::make_shared<FindObject>();
    search->entries = std::move(entries);
    *findData = search->entries[0];
    search->next = 1;
    SetLastError(ERROR_SUCCESS);
    return plat::InsertHandle(search);
}

std::optional<ULONGLONG> FreeSpaceCap()
{
    DWORD kb = 0;
    if (RegistryGetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", &kb) != S_OK)
        return std::nullopt;
    return static_cast<ULONGLONG>(kb) * 1024;
}

}  // namespace plat::detail::files
