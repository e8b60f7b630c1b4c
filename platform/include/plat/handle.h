// The process's table of kernel handles: files, find searches, mutexes,
// events and threads all live here, so that one CloseHandle closes any of them.
#pragma once

#include <cstddef>
#include <memory>

#include "plat/types.h"

BOOL CloseHandle(HANDLE handle);

namespace plat {

// Base of every object a HANDLE can name. The table keeps one reference per
// handle; a caller that looked an object up keeps it alive while it uses it,
// even when another thread closes the handle meanwhile.
class KernelObject {
public:
    KernelObject() = default;
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject&) = delete;
    KernelObject& operator=(const KernelObject&) = delete;

    // Called once when the handle is closed (before the table lets go of it).
    virtual void OnClose() {}
};

// Enters an object; the handle is never NULL nor INVALID_HANDLE_VALUE and is
// not reused within the process.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind a handle, or null for an unknown or closed handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Takes the object out of the table and returns it (null if unknown); the
// object's OnClose has been called. CloseHandle is this plus the error code.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle);

// How many handles are open now (for tests that look for handles left behind).
std::size_t LiveHandleCount();

}  // namespace plat
