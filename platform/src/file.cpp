#include "plat/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdint>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "plat/device.h"
#include "plat/error.h"
#include "plat/handle.h"
#include "plat/registry.h"
#include "plat/utf.h"
#include "registry_internal.h"

namespace fs = std::filesystem;

namespace {

// --- open files and their sharing -------------------------------------------

struct FileId {
    dev_t dev;
    ino_t ino;
    bool operator<(const FileId& o) const { return dev != o.dev ? dev < o.dev : ino < o.ino; }
};

struct OpenRecord {
    DWORD access;
    DWORD share;
};

// Every open file of the process, so that sharing modes hold between handles
// and an open file cannot be deleted or moved, as on the handset.
std::mutex g_openLock;
std::multimap<FileId, OpenRecord> g_open;

bool SharingAllows(const FileId& id, DWORD access, DWORD share)
{
    auto [first, last] = g_open.equal_range(id);
    for (auto it = first; it != last; ++it) {
        const OpenRecord& e = it->second;
        if (((access & GENERIC_READ) && !(e.share & FILE_SHARE_READ)) ||
            ((access & GENERIC_WRITE) && !(e.share & FILE_SHARE_WRITE)) ||
            ((e.access & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
            ((e.access & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
            return false;
    }
    return true;
}

bool IsOpen(const fs::path& host)
{
    struct stat st {};
    if (::stat(host.c_str(), &st) != 0)
        return false;
    std::lock_guard guard(g_openLock);
    return g_open.count(FileId{st.st_dev, st.st_ino}) != 0;
}

using OpenEntry = std::multimap<FileId, OpenRecord>::iterator;

class FileObject : public plat::KernelObject {
public:
    FileObject(int fd, OpenEntry entry, DWORD access) : fd_(fd), entry_(entry), access_(access) {}
    ~FileObject() override { Release(); }
    void OnClose() override { Release(); }

    std::mutex lock;  // one position per handle: calls on it take turns
    int fd() const { return fd_; }
    DWORD access() const { return access_; }

private:
    void Release()
    {
        std::lock_guard guard(g_openLock);
        if (fd_ < 0)
            return;
        ::close(fd_);
        fd_ = -1;
        g_open.erase(entry_);
    }

    int fd_;
    OpenEntry entry_;
    DWORD access_;
};

// A finished search: the matching entries, taken when the search began.
class FindObject : public plat::KernelObject {
public:
    std::vector<WIN32_FIND_DATAW> entries;
    std::size_t next = 0;
};

// --- paths -----------------------------------------------------------------

DWORD ErrorFromErrno(int error, DWORD notFound = ERROR_FILE_NOT_FOUND)
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

// The removed storage card that a host path lies in, if any.
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

// Maps a device path for a file call; sets the error the handset reports
// for a path that cannot be reached.
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

// ENOENT of a missing parent folder is a missing path, not a missing file.
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

template <class T>
std::shared_ptr<T> HandleOf(HANDLE handle)
{
    auto object = plat::LookupHandleAs<T>(handle);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace

// --- open files --------------------------------------------------------------

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE)
{
    auto host = MapPath(fileName);
    if (!host)
        return INVALID_HANDLE_VALUE;
    if (HasWildcard(LastComponent(fileName)) || IsRoot(*host)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    const bool read = desiredAccess & GENERIC_READ;
    const bool write = desiredAccess & GENERIC_WRITE;
    int flags = O_CLOEXEC | (read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY);
    switch (creationDisposition) {
    case CREATE_NEW: flags |= O_CREAT | O_EXCL; break;
    case CREATE_ALWAYS:
    case OPEN_ALWAYS: flags |= O_CREAT; break;
    case OPEN_EXISTING: break;
    case TRUNCATE_EXISTING:
        if (!write) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return INVALID_HANDLE_VALUE;
        }
        break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return INVALID_HANDLE_VALUE;
    }

    std::error_code ec;
    if (fs::is_directory(*host, ec)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    const bool existed = fs::exists(*host, ec);
    int fd = ::open(host->c_str(), flags, 0666);
    if (fd < 0) {
        int error = errno;
        SetLastError(error == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(error, MissingError(*host)));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    ::fstat(fd, &st);
    FileId id{st.st_dev, st.st_ino};
    std::shared_ptr<FileObject> file;
    {
        std::lock_guard guard(g_openLock);
        if (!SharingAllows(id, desiredAccess, shareMode)) {
            ::close(fd);
            SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        file = std::make_shared<FileObject>(fd, g_open.emplace(id, OpenRecord{desiredAccess, shareMode}), desiredAccess);
    }
    // Truncate only once sharing allowed the open: a refused open changes nothing.
    if ((creationDisposition == CREATE_ALWAYS && existed) || creationDisposition == TRUNCATE_EXISTING) {
        if (::ftruncate(fd, 0) != 0) {
            SetLastError(ErrorFromErrno(errno));
            return INVALID_HANDLE_VALUE;  // the file object closes the descriptor
        }
    }
    HANDLE handle = plat::InsertHandle(file);
    bool reportsExisting = existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
    SetLastError(reportsExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped)
{
    if (bytesRead)
        *bytesRead = 0;
    auto file = HandleOf<FileObject>(handle);
    if (!file)
        return FALSE;
    if (overlapped || (!buffer && bytesToRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(file->access() & GENERIC_READ)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    std::lock_guard guard(file->lock);
    DWORD done = 0;
    auto* out = static_cast<char*>(buffer);
    while (done < bytesToRead) {
        ssize_t n = ::read(file->fd(), out + done, bytesToRead - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            SetLastError(ERROR_READ_FAULT);
            return FALSE;
        }
        if (n == 0)
            break;  // end of file: success with fewer bytes
        done += static_cast<DWORD>(n);
    }
    if (bytesRead)
        *bytesRead = done;
    return TRUE;
}

namespace {

// A full volume on demand: HKLM "Platform\Disk" "FreeKB" caps the free space
// of the device root, and a write larger than it fails as on a full volume.
std::optional<ULONGLONG> FreeSpaceCap()
{
    DWORD kb = 0;
    if (RegistryGetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", &kb) != S_OK)
        return std::nullopt;
    return static_cast<ULONGLONG>(kb) * 1024;
}

}  // namespace

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped)
{
    if (bytesWritten)
        *bytesWritten = 0;
    auto file = HandleOf<FileObject>(handle);
    if (!file)
        return FALSE;
    if (overlapped || (!buffer && bytesToWrite)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(file->access() & GENERIC_WRITE)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    if (auto cap = FreeSpaceCap(); cap && bytesToWrite > *cap) {
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }
    std::lock_guard guard(file->lock);
    DWORD done = 0;
    const auto* in = static_cast<const char*>(buffer);
    while (done < bytesToWrite) {
        ssize_t n = ::write(file->fd(), in + done, bytesToWrite - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            SetLastError(n < 0 && (errno == ENOSPC || errno == EDQUOT) ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
            if (bytesWritten)
                *bytesWritten = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (bytesWritten)
        *bytesWritten = done;
    return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD fileSizeHigh)
{
    auto file = HandleOf<FileObject>(handle);
    struct stat st {};
    if (!file || ::fstat(file->fd(), &st) != 0) {
        if (file)
            SetLastError(ErrorFromErrno(errno));
        return INVALID_FILE_SIZE;
    }
    auto size = static_cast<ULONGLONG>(st.st_size);
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(size >> 32);
    SetLastError(ERROR_SUCCESS);  // a low word of 0xFFFFFFFF is then a real size
    return static_cast<DWORD>(size);
}

DWORD SetFilePointer(HANDLE handle, LONG distanceToMove, LPLONG distanceToMoveHigh, DWORD moveMethod)
{
    auto file = HandleOf<FileObject>(handle);
    if (!file)
        return INVALID_SET_FILE_POINTER;
    int whence = moveMethod == FILE_BEGIN ? SEEK_SET : moveMethod == FILE_CURRENT ? SEEK_CUR
                                                     : moveMethod == FILE_END     ? SEEK_END
                                                                                  : -1;
    if (whence < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    LONGLONG distance = distanceToMoveHigh
                            ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceToMoveHigh)) << 32) |
                                                    static_cast<DWORD>(distanceToMove))
                            : distanceToMove;
    std::lock_guard guard(file->lock);
    off_t base = whence == SEEK_SET ? 0 : ::lseek(file->fd(), 0, whence);
    if (base < 0 || base + distance < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);  // the position stays where it was
        return INVALID_SET_FILE_POINTER;
    }
    off_t position = ::lseek(file->fd(), base + distance, SEEK_SET);
    if (position < 0) {
        SetLastError(ErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceToMoveHigh)
        *distanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(position) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL FlushFileBuffers(HANDLE handle)
{
    auto file = HandleOf<FileObject>(handle);
    if (!file)
        return FALSE;
    if (::fsync(file->fd()) != 0) {
        SetLastError(ERROR_WRITE_FAULT);
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileTime(HANDLE handle, FILETIME* creationTime, FILETIME* lastAccessTime, FILETIME* lastWriteTime)
{
    auto file = HandleOf<FileObject>(handle);
    struct stat st {};
    if (!file || ::fstat(file->fd(), &st) != 0) {
        if (file)
            SetLastError(ErrorFromErrno(errno));
        return FALSE;
    }
    if (creationTime)
        *creationTime = ToFileTime(st.st_ctim);
    if (lastAccessTime)
        *lastAccessTime = ToFileTime(st.st_atim);
    if (lastWriteTime)
        *lastWriteTime = ToFileTime(st.st_mtim);
    return TRUE;
}

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

// --- volumes, memory, shell folders --------------------------------------------

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes)
{
    auto host = MapPath(directoryName ? directoryName : L"\\");
    if (!host)
        return FALSE;
    if (auto fake = plat::FakeFreeSpace()) {
        if (freeBytesAvailableToCaller)
            freeBytesAvailableToCaller->QuadPart = *fake;
        if (totalNumberOfBytes)
            totalNumberOfBytes->QuadPart = *fake;
        if (totalNumberOfFreeBytes)
            totalNumberOfFreeBytes->QuadPart = *fake;
        return TRUE;
    }
    struct statvfs vfs {};
    if (::statvfs(host->c_str(), &vfs) != 0) {
        SetLastError(ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    auto unit = static_cast<ULONGLONG>(vfs.f_frsize);
    ULONGLONG available = vfs.f_bavail * unit, free = vfs.f_bfree * unit;
    if (auto cap = FreeSpaceCap()) {
        available = std::min(available, *cap);
        free = std::min(free, *cap);
    }
    if (freeBytesAvailableToCaller)
        freeBytesAvailableToCaller->QuadPart = available;
    if (totalNumberOfBytes)
        totalNumberOfBytes->QuadPart = vfs.f_blocks * unit;
    if (totalNumberOfFreeBytes)
        totalNumberOfFreeBytes->QuadPart = free;
    return TRUE;
}

namespace {

DWORD Clamp(ULONGLONG bytes) { return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes); }

// MemAvailable of /proc/meminfo in bytes: what a new allocation can really get.
std::optional<ULONGLONG> AvailableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    ULONGLONG kb = 0;
    std::string unit;
    while (meminfo >> key >> kb >> unit) {
        if (key == "MemAvailable:")
            return kb * 1024;
    }
    return std::nullopt;
}

}  // namespace

void GlobalMemoryStatus(LPMEMORYSTATUS buffer)
{
    if (!buffer)
        return;
    struct sysinfo info {};
    ::sysinfo(&info);
    ULONGLONG unit = info.mem_unit ? info.mem_unit : 1;
    ULONGLONG total = info.totalram * unit;
    ULONGLONG available = AvailableMemory().value_or((info.freeram + info.bufferram) * unit);
    available = std::min(available, total);
    // A 32-bit process of the handset has 2 GB of address space.
    constexpr ULONGLONG kVirtual = 0x80000000ull;
    ULONGLONG resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long size = 0, pages = 0;
        if (std::fscanf(statm, "%lu %lu", &size, &pages) == 2)
            resident = static_cast<ULONGLONG>(pages) * static_cast<ULONGLONG>(::sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
    buffer->dwLength = sizeof(MEMORYSTATUS);
    buffer->dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
    buffer->dwTotalPhys = Clamp(total);
    buffer->dwAvailPhys = Clamp(available);
    buffer->dwTotalPageFile = Clamp(info.totalswap * unit);
    buffer->dwAvailPageFile = Clamp(info.freeswap * unit);
    buffer->dwTotalVirtual = Clamp(kVirtual);
    buffer->dwAvailVirtual = Clamp(resident < kVirtual ? kVirtual - resident : 0);
}

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create)
{
    const WCHAR* device = folder == CSIDL_WINDOWS      ? L"\\Windows"
                          : folder == CSIDL_MYPICTURES ? L"\\My Documents\\My Pictures"
                                                       : nullptr;
    if (!path || !device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (create) {
        auto host = MapPath(device);
        std::error_code ec;
        if (!host || (fs::create_directories(*host, ec), ec)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
    }
    std::wcscpy(path, device);
    return TRUE;
}

namespace plat {

namespace {
std::atomic<std::int64_t> fakeFreeSpace{-1};
}

void SetFakeFreeSpace(std::optional<std::uint64_t> bytes)
{
    fakeFreeSpace = bytes ? static_cast<std::int64_t>(std::min<std::uint64_t>(*bytes, INT64_MAX)) : -1;
}

std::optional<std::uint64_t> FakeFreeSpace()
{
    std::int64_t bytes = fakeFreeSpace;
    return bytes < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(bytes));
}

std::vector<std::wstring> StorageCards()
{
    std::vector<std::wstring> cards;
    for (const auto& [name, inserted] : detail::StorageCardStates()) {
        if (!inserted || name.empty() || name.find_first_of(L"\\/:*?") != std::wstring::npos || name == L"." ||
            name == L"..")
            continue;
        // An inserted card is a folder of the root; it appears when the card does.
        std::error_code ec;
        auto host = MapDevicePath((L"\\" + name).c_str());
        if (host && (fs::is_directory(*host, ec) || fs::create_directory(*host, ec)))
            cards.push_back(FromUtf8(host->filename().string()));
    }
    std::sort(cards.begin(), cards.end(), [](const auto& a, const auto& b) { return FoldCase(a) < FoldCase(b); });
    return cards;
}

std::size_t PopulateDeviceRoot(const fs::path& templateDir)
{
    std::error_code ec;
    if (templateDir.empty() || !fs::is_directory(templateDir, ec))
        return 0;
    const fs::path& root = DeviceRoot();
    std::size_t copied = 0;
    for (fs::recursive_directory_iterator it(templateDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        fs::path target = root / it->path().lexically_relative(templateDir);
        std::error_code copyError;
        if (fs::exists(fs::symlink_status(target, copyError)))
            continue;
        fs::create_directories(target.parent_path(), copyError);
        if (fs::copy_file(it->path(), target, fs::copy_options::skip_existing, copyError))
            ++copied;
    }
    return copied;
}

bool MatchFileName(std::wstring_view pattern, std::wstring_view name)
{
    // Greedy match with one backtrack point: the last '*' seen.
    std::size_t p = 0, n = 0, starP = std::wstring_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

}  // namespace plat

BOOL PathCanonicalizeW(LPWSTR out, LPCWSTR path)
{
    if (!out || !path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring_view in(path);
    std::wstring lead;
    while (!in.empty() && in.front() == L'\\' && lead.size() < 2) {
        lead.push_back(L'\\');
        in.remove_prefix(1);
    }
    std::vector<std::wstring_view> parts;
    bool trailing = !in.empty() && in.back() == L'\\';
    while (!in.empty()) {
        size_t cut = in.find(L'\\');
        std::wstring_view part = in.substr(0, cut);
        in = cut == std::wstring_view::npos ? std::wstring_view{} : in.substr(cut + 1);
        if (part == L".")
            continue;
        if (part == L"..") {
            // Above the root stays at the root, as the shell's function does.
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::wstring result = lead;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            result.push_back(L'\\');
        result.append(parts[i]);
    }
    if (trailing && !parts.empty())
        result.push_back(L'\\');
    if (result.empty())
        result = L"\\";
    if (result.size() >= MAX_PATH) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(result.begin(), result.end(), out);
    out[result.size()] = 0;
    return TRUE;
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second)
{
    auto value = [](const FILETIME* t) {
        return (static_cast<std::uint64_t>(t->dwHighDateTime) << 32) | t->dwLowDateTime;
    };
    std::uint64_t a = value(first), b = value(second);
    return a < b ? -1 : (a > b ? 1 : 0);
}
