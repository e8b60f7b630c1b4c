// The file calls' shared parts: device paths mapped to the host, errors,
// find data and search handles.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/error.h"
#include "plat/file.h"
#include "plat/handle.h"

namespace plat::detail::files {

namespace fs = std::filesystem;

// Whether a handle of this process has the host file open.
bool IsOpen(const fs::path& host);

// A finished search: the matching entries, taken when the search began.
class FindObject : public plat::KernelObject {
public:
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

DWORD ErrorFromErrno(int error, DWORD notFound = ERROR_FILE_NOT_FOUND);
bool HasWildcard(std::wstring_view s);
std::wstring LastComponent(std::wstring_view path);
// The removed storage card that a host path lies in, if any.
bool InRemovedCard(const fs::path& host);
// Maps a device path for a file call; sets the error the handset reports
// for a path that cannot be reached.
std::optional<fs::path> MapPath(LPCWSTR path);
bool IsRoot(const fs::path& host);
// ENOENT of a missing parent folder is a missing path, not a missing file.
DWORD MissingError(const fs::path& host);
FILETIME ToFileTime(const timespec& ts);
bool IsCardName(std::wstring_view name);
DWORD AttributesOf(const struct stat& st, const std::wstring& name, bool inRoot);
bool FillFindData(const fs::path& host, const std::wstring& name, bool inRoot, WIN32_FIND_DATAW& data);
HANDLE StartSearch(std::vector<WIN32_FIND_DATAW> entries, LPWIN32_FIND_DATAW findData);
// A full volume on demand: HKLM "Platform\Disk" "FreeKB" caps the free space
// of the device root, and a write larger than it fails as on a full volume.
std::optional<ULONGLONG> FreeSpaceCap();

template <class T>
std::shared_ptr<T> HandleOf(HANDLE handle)
{
    auto object = plat::LookupHandleAs<T>(handle);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace plat::detail::files
