#include "plat/sync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <chrono>
#include <map>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "plat/clock.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/thread.h"
#include "plat/utf.h"
#include "sync_object.h"

namespace fs = std::filesystem;

namespace plat {

std::mutex& SyncLock()
{
    static std::mutex* const lock = new std::mutex;  // threads may still wait during static destruction
    return *lock;
}

std::condition_variable& SyncChanged()
{
    static std::condition_variable* const cv = new std::condition_variable;
    return *cv;
}

void NotifySyncChanged() { SyncChanged().notify_all(); }

namespace {

DWORD ErrorFromErrno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    default:
        return ERROR_INVALID_HANDLE;
    }
}

// The file of a named mutex under the device root, shared by every process on
// that root. Open file description locks (owned by the open file, not by the
// process, so no other descriptor of ours can drop them):
//   byte 0  write lock, held for a moment while a process opens the object;
//   byte 1  read lock, held by every process that has the object open;
//   byte 2  write lock, held by the process whose thread owns the mutex.
class MutexFile {
public:
    static std::unique_ptr<MutexFile> Open(const std::wstring& name, bool& openElsewhere, DWORD& error)
    {
        std::error_code ec;
        fs::path dir = DeviceRoot() / ".lum" / "mutex";
        fs::create_directories(dir, ec);
        fs::path path = dir / FileName(name);
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = ErrorFromErrno(errno);
            return nullptr;
        }
        auto file = std::unique_ptr<MutexFile>(new MutexFile(fd));
        if (!file->Lock(F_OFD_SETLKW, F_WRLCK, 0)) {
            error = ErrorFromErrno(errno);
            return nullptr;
        }
        struct flock probe = Range(F_WRLCK, 1);
        bool probed = ::fcntl(fd, F_OFD_GETLK, &probe) == 0;
        openElsewhere = probed && probe.l_type != F_UNLCK;
        bool present = probed && file->Lock(F_OFD_SETLK, F_RDLCK, 1);
        int lockError = errno;
        file->Lock(F_OFD_SETLK, F_UNLCK, 0);
        if (!present) {
            error = ErrorFromErrno(lockError);
            return nullptr;
        }
        return file;
    }

    ~MutexFile() { ::close(fd_); }  // drops every lock of this description

    bool TryOwn() { return Lock(F_OFD_SETLK, F_WRLCK, 2); }
    void Disown() { Lock(F_OFD_SETLK, F_UNLCK, 2); }

private:
    explicit MutexFile(int fd) : fd_(fd) {}

    static struct flock Range(short type, off_t byte)
    {
        struct flock range{};
        range.l_type = type;
        range.l_whence = SEEK_SET;
        range.l_start = byte;
        range.l_len = 1;
        return range;
    }

    bool Lock(int command, short type, off_t byte)
    {
        struct flock range = Range(type, byte);
        int rc;
        do {
            rc = ::fcntl(fd_, command, &range);
        } while (rc < 0 && errno == EINTR);
        return rc == 0;
    }

    // Object names may hold any character: keep the plain ones, escape the rest
    // as %XX of their UTF-8 bytes, and shorten very long names with a hash.
    static std::string FileName(const std::wstring& name)
    {
        std::string out;
        for (unsigned char c : ToUtf8(name)) {
            bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                         c == '_' || c == '.' || c == ':';
            if (plain && !(out.empty() && c == '.')) {
                out += static_cast<char>(c);
            } else {
                static const char hex[] = "0123456789ABCDEF";
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
        if (out.size() > 200) {
            std::uint64_t hash = 1469598103934665603ull;  // FNV-1a of the full name
            for (unsigned char c : out)
                hash = (hash ^ c) * 1099511628211ull;
            char tail[24];
            std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
            out = out.substr(0, 150) + tail;
        }
        return out;
    }

    int fd_;
};

class Event final : public SyncObject {
public:
    Event(bool manualReset, bool signaled) : manualReset_(manualReset), signaled_(signaled) {}

    bool IsSignaled(DWORD) const override { return signaled_; }
    void Acquire(DWORD) override
    {
        if (!manualReset_)
            signaled_ = false;
    }
    void Set(bool signaled) { signaled_ = signaled; }

private:
    bool manualReset_;
    bool signaled_;
};

class Mutex final : public SyncObject {
public:
    explicit Mutex(std::unique_ptr<MutexFile> file) : file_(std::move(file)) {}

    bool IsSignaled(DWORD threadId) const override { return count_ == 0 || owner_ == threadId; }

    bool TryAcquireShared(DWORD) override
    {
        if (!file_ || fileOwned_)
            return true;
        fileOwned_ = file_->TryOwn();
        return fileOwned_;
    }

    void CancelShared() override
    {
        // Only a claim made by the failed wait itself: an owned mutex keeps its file.
        if (file_ && fileOwned_ && count_ == 0) {
            file_->Disown();
            fileOwned_ = false;
        }
    }

    void Acquire(DWORD threadId) override
    {
        owner_ = threadId;
        ++count_;
    }

    bool Release(DWORD threadId)
    {
        if (count_ == 0 || owner_ != threadId)
            return false;
        if (--count_ == 0) {
            owner_ = 0;
            CancelShared();
        }
        return true;
    }

private:
    std::unique_ptr<MutexFile> file_;
    bool fileOwned_ = false;
    DWORD owner_ = 0;
    DWORD count_ = 0;
};

// Names of mutexes and events: one namespace, as on the handset. An entry
// lives as long as a handle (or a wait) holds its object.
struct Namespace {
    std::mutex lock;
    std::map<std::wstring, std::weak_ptr<SyncObject>> objects;
};

Namespace& Names()
{
    static Namespace* const names = new Namespace;
    return *names;
}

// Creates an object, or opens the named one that exists. `make` builds a new
// object and tells whether it already existed in another process.
template <class T, class Make>
HANDLE CreateObject(LPCWSTR name, Make make)
{
    if (!name || !*name) {
        DWORD error = ERROR_SUCCESS;
        bool elsewhere = false;
        std::shared_ptr<T> object = make(std::wstring(), elsewhere, error);
        if (!object) {
            SetLastError(error);
            return nullptr;
        }
        SetLastError(ERROR_SUCCESS);
        return InsertHandle(std::move(object));
    }
    if (std::wcslen(name) > MAX_PATH) {
        SetLastError(ERROR_INVALID_NAME);
        return nullptr;
    }
    Namespace& names = Names();
    std::shared_ptr<SyncObject> existing;  // released after the namespace lock: it may be the last reference
    std::lock_guard guard(names.lock);
    auto& slot = names.objects[name];
    if ((existing = slot.lock())) {
        if (!std::dynamic_pointer_cast<T>(existing)) {
            SetLastError(ERROR_INVALID_HANDLE);  // the name belongs to an object of another kind
            return nullptr;
        }
        HANDLE handle = InsertHandle(std::move(existing));
        SetLastError(ERROR_ALREADY_EXISTS);
        return handle;
    }
    DWORD error = ERROR_SUCCESS;
    bool elsewhere = false;
    std::shared_ptr<T> object = make(std::wstring(name), elsewhere, error);
    if (!object) {
        names.objects.erase(name);
        SetLastError(error);
        return nullptr;
    }
    // The namespace forgets the name when the object goes.
    std::wstring key = name;
    std::shared_ptr<T> named(object.get(), [object, key](T*) mutable {
        object.reset();
        Namespace& n = Names();
        std::lock_guard g(n.lock);
        if (auto it = n.objects.find(key); it != n.objects.end() && it->second.expired())
            n.objects.erase(it);
    });
    slot = named;
    HANDLE handle = InsertHandle(named);
    SetLastError(elsewhere ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

// Takes the objects that satisfy the wait, all or nothing. Sets `blockedElsewhere`
// when only another process's ownership of a named mutex stands in the way.
bool TrySatisfy(const std::vector<std::shared_ptr<SyncObject>>& objects, bool all, DWORD threadId,
                DWORD& result, bool& blockedElsewhere)
{
    blockedElsewhere = false;
    if (all) {
        for (const auto& object : objects) {
            if (!object->IsSignaled(threadId))
                return false;
        }
        for (std::size_t i = 0; i < objects.size(); ++i) {
            if (!objects[i]->TryAcquireShared(threadId)) {
                for (std::size_t j = 0; j < i; ++j)
                    objects[j]->CancelShared();
                blockedElsewhere = true;
                return false;
            }
        }
        for (const auto& object : objects)
            object->Acquire(threadId);
        result = WAIT_OBJECT_0;
        return true;
    }
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (!objects[i]->IsSignaled(threadId))
            continue;
        if (!objects[i]->TryAcquireShared(threadId)) {
            blockedElsewhere = true;
            continue;
        }
        objects[i]->Acquire(threadId);
        result = WAIT_OBJECT_0 + static_cast<DWORD>(i);
        return true;
    }
    return false;
}

DWORD Wait(const HANDLE* handles, DWORD count, bool all, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<SyncObject>> objects;
    for (DWORD i = 0; i < count; ++i) {
        auto object = LookupHandleAs<SyncObject>(handles[i]);
        if (!object) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        if (all) {
            for (const auto& seen : objects) {
                if (seen == object) {
                    SetLastError(ERROR_INVALID_PARAMETER);  // one object twice in a wait for all
                    return WAIT_FAILED;
                }
            }
        }
        objects.push_back(std::move(object));
    }
    const DWORD threadId = GetCurrentThreadId();
    const std::uint64_t deadline = milliseconds == INFINITE ? kNoDeadline : NowMs() + milliseconds;
    DWORD result = WAIT_TIMEOUT;
    bool acquired = false;
    bool blockedElsewhere = false;
    auto ready = [&] {
        if (acquired)
            return true;  // asked again after success: keep what was taken
        acquired = TrySatisfy(objects, all, threadId, result, blockedElsewhere);
        return acquired || blockedElsewhere;
    };
    std::unique_lock lock(SyncLock());
    for (;;) {
        if (ready() && acquired)
            return result;
        if (NowMs() >= deadline)
            return WAIT_TIMEOUT;
        if (blockedElsewhere) {
            // Another process gives no notice when it lets go: look again shortly.
            SyncChanged().wait_for(lock, std::chrono::milliseconds(10));
            continue;
        }
        WaitUntil(lock, SyncChanged(), deadline, ready);
        if (acquired)
            return result;
    }
}

std::recursive_mutex* SectionMutex(LPCRITICAL_SECTION section)
{
    return std::launder(reinterpret_cast<std::recursive_mutex*>(section->storage));
}

}  // namespace
}  // namespace plat

using plat::Event;
using plat::Mutex;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCWSTR name)
{
    return plat::CreateObject<Mutex>(name, [&](const std::wstring& objectName, bool& elsewhere, DWORD& error) {
        std::unique_ptr<plat::MutexFile> file;
        if (!objectName.empty()) {
            file = plat::MutexFile::Open(objectName, elsewhere, error);
            if (!file)
                return std::shared_ptr<Mutex>();
        }
        auto mutex = std::make_shared<Mutex>(std::move(file));
        // A mutex that another process has already made is not ours to own.
        if (initialOwner && !elsewhere && mutex->TryAcquireShared(0))
            mutex->Acquire(GetCurrentThreadId());
        return mutex;
    });
}

BOOL ReleaseMutex(HANDLE handle)
{
    auto mutex = plat::LookupHandleAs<Mutex>(handle);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(plat::SyncLock());
        if (!mutex->Release(GetCurrentThreadId())) {
            SetLastError(ERROR_NOT_OWNER);
            return FALSE;
        }
    }
    plat::NotifySyncChanged();
    return TRUE;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCWSTR name)
{
    return plat::CreateObject<Event>(name, [&](const std::wstring&, bool&, DWORD&) {
        return std::make_shared<Event>(manualReset != FALSE, initialState != FALSE);
    });
}

namespace {

BOOL SetEventState(HANDLE handle, bool signaled)
{
    auto event = plat::LookupHandleAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    {
        std::lock_guard lock(plat::SyncLock());
        event->Set(signaled);
    }
    if (signaled)
        plat::NotifySyncChanged();
    return TRUE;
}

}  // namespace

BOOL SetEvent(HANDLE event) { return SetEventState(event, true); }
BOOL ResetEvent(HANDLE event) { return SetEventState(event, false); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) { return plat::Wait(&handle, 1, false, milliseconds); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds)
{
    return plat::Wait(handles, count, waitAll != FALSE, milliseconds);
}

void InitializeCriticalSection(LPCRITICAL_SECTION section) { new (section->storage) std::recursive_mutex; }
void DeleteCriticalSection(LPCRITICAL_SECTION section) { plat::SectionMutex(section)->~recursive_mutex(); }
void EnterCriticalSection(LPCRITICAL_SECTION section) { plat::SectionMutex(section)->lock(); }
void LeaveCriticalSection(LPCRITICAL_SECTION section) { plat::SectionMutex(section)->unlock(); }
