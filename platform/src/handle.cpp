#include "plat/handle.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

#include "plat/error.h"

namespace plat {
namespace {

struct HandleTable {
    std::mutex lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    // Multiples of 4 from 0x1000, as handles look on the handset; never reused,
    // so a stale handle fails instead of naming a newer object.
    std::uintptr_t next = 0x1000;
};

HandleTable& Table()
{
    static HandleTable* table = new HandleTable;  // outlives static destructors that still close handles
    return *table;
}

}  // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object)
{
    if (!object)
        return nullptr;
    auto& table = Table();
    std::lock_guard guard(table.lock);
    std::uintptr_t value = table.next;
    table.next += 4;
    table.objects.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::size_t LiveHandleCount()
{
    auto& table = Table();
    std::lock_guard guard(table.lock);
    return table.objects.size();
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    auto& table = Table();
    std::lock_guard guard(table.lock);
    auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle)
{
    std::shared_ptr<KernelObject> object;
    {
        auto& table = Table();
        std::lock_guard guard(table.lock);
        auto it = table.objects.find(reinterpret_cast<std::uintptr_t>(handle));
        if (it == table.objects.end())
            return nullptr;
        object = std::move(it->second);
        table.objects.erase(it);
    }
    object->OnClose();  // outside the table lock: closing may wait or close other handles
    return object;
}

}  // namespace plat

BOOL CloseHandle(HANDLE handle)
{
    if (!plat::RemoveHandle(handle)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
