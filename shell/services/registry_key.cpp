#include "registry_key.h"

#include <cstring>
#include <cwchar>

namespace {

std::unique_ptr<WCHAR[]> CopyName(LPCWSTR name)
{
    std::size_t length = std::wcslen(name);
    auto copy = std::make_unique<WCHAR[]>(length + 1);
    std::wmemcpy(copy.get(), name, length + 1);
    return copy;
}

}  // namespace

BOOL CRegistryKey::Create(HKEY root, LPCWSTR subKey)
{
    Close();
    if (!subKey)
        return FALSE;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
        return FALSE;
    key_ = key;
    return TRUE;
}

BOOL CRegistryKey::Flush(HKEY root)
{
    if (root)
        RegFlushKey(root);
    return TRUE;
}

void CRegistryKey::Close()
{
    name_.reset();
    if (key_) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

BOOL CRegistryKey::KeyExists(HKEY root, LPCWSTR subKey)
{
    HKEY key = nullptr;
    if (!subKey || RegOpenKeyExW(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    RegCloseKey(key);
    return TRUE;
}

BOOL CRegistryKey::QueryDWORD(LPCWSTR name, DWORD& value) const
{
    if (!key_)
        return FALSE;
    BYTE buffer[16] = {};
    DWORD size = sizeof(buffer);
    if (RegQueryValueExW(key_, name, nullptr, nullptr, buffer, &size) != ERROR_SUCCESS || size != sizeof(DWORD))
        return FALSE;
    std::memcpy(&value, buffer, sizeof(DWORD));
    return TRUE;
}

BOOL CRegistryKey::QueryDWORD(LPCWSTR name, LONG& value) const
{
    DWORD read = 0;
    if (!QueryDWORD(name, read))
        return FALSE;
    value = static_cast<LONG>(read);
    return TRUE;
}

BOOL CRegistryKey::QueryBool(LPCWSTR name, BYTE& value) const
{
    DWORD read = 0;
    if (!QueryDWORD(name, read))
        return FALSE;
    value = read != 0 ? 1 : 0;
    return TRUE;
}

BOOL CRegistryKey::SetDWORD(LPCWSTR name, DWORD value)
{
    if (!key_)
        return FALSE;
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) ==
           ERROR_SUCCESS;
}

BOOL CRegistryKey::QueryString(LPCWSTR name, LPWSTR buffer, DWORD capacityBytes) const
{
    const DWORD capacity = capacityBytes / sizeof(WCHAR);
    if (!buffer || capacity == 0)
        return FALSE;
    buffer[0] = 0;
    if (!key_)
        return FALSE;
    DWORD size = capacity * sizeof(WCHAR);
    if (RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) {
        buffer[0] = 0;
        return FALSE;
    }
    DWORD length = size / sizeof(WCHAR);
    if (length > 0 && buffer[length - 1] == 0)
        return TRUE;
    if (length < capacity) {
        buffer[length] = 0;  // stored without its terminator
        return TRUE;
    }
    buffer[0] = 0;  // no room left for the terminator
    return FALSE;
}

BOOL CRegistryKey::SetString(LPCWSTR name, LPCWSTR text)
{
    if (!key_ || !text)
        return FALSE;
    DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) == ERROR_SUCCESS;
}

BOOL CRegistryKey::QueryBinary(LPCWSTR name, DWORD* buffer, DWORD capacityWords) const
{
    if (!key_ || !buffer)
        return FALSE;
    DWORD size = capacityWords * sizeof(DWORD);
    return RegQueryValueExW(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
}

BOOL CRegistryKey::SetBinary(LPCWSTR name, const DWORD* data, DWORD countWords)
{
    if (!key_ || (!data && countWords))
        return FALSE;
    return RegSetValueExW(key_, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(data),
                          countWords * sizeof(DWORD)) == ERROR_SUCCESS;
}

std::unique_ptr<CRegistryKey> CRegistryKey::EnumSubKey(DWORD index) const
{
    if (!key_)
        return nullptr;
    WCHAR name[101] = {};
    DWORD length = 101;
    if (RegEnumKeyExW(key_, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return nullptr;
    auto sub = std::make_unique<CRegistryKey>();
    sub->name_ = CopyName(name);
    return sub;
}

std::unique_ptr<CRegistryKey> CRegistryKey::CreateSubKey(LPCWSTR name) const
{
    if (!key_ || !name)
        return nullptr;
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(key_, name, 0, nullptr, REG_OPTION_NON_VOLATILE, 0, nullptr, &key, &disposition) !=
        ERROR_SUCCESS)
        return nullptr;
    auto sub = std::make_unique<CRegistryKey>();
    sub->key_ = key;
    sub->name_ = CopyName(name);
    return sub;
}

std::recursive_mutex& CRegistryKey::SharedLock()
{
    static std::recursive_mutex lock;
    return lock;
}

namespace {
int sharedDepth = 0;  // nested uses on one thread; guarded by the shared lock
}

CRegistryKey::SharedUse::SharedUse() : lock_(SharedLock()), key_(CRegistryKey::GetInstance()) { ++sharedDepth; }

CRegistryKey::SharedUse::~SharedUse()
{
    // Only the outermost use closes, so a nested one leaves its caller's key open.
    if (--sharedDepth == 0)
        key_->Close();
}
