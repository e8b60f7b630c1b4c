// Open files: sharing between the handles of the process, reading,
// writing, positions and times.
#include "plat/file.h"
#include "plat/device_io.h"

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


}  // namespace plat::detail::files

// --- open files --------------------------------------------------------------

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                   DWORD creationDisposition, DWORD, HANDLE)
{
    if (HANDLE driver = nullptr; plat::OpenStreamDriver(fileName, &driver))
        return driver;
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

