// One open registry key: create or open, typed reads and writes, flush, close.
// Used as a short-lived local object, or as the one shared instance reached
// through CRegistryKey::SharedUse, which holds the shared key's lock from
// opening to closing because several threads use it.
#pragma once

#include <memory>
#include <mutex>

#include "plat/windows.h"
#include "singleton.h"

class CRegistryKey {
public:
    CRegistryKey() = default;
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;

    // Creates or opens root\subKey; closes what the object held before.
    BOOL Create(HKEY root, LPCWSTR subKey);
    static BOOL Flush(HKEY root);
    void Close();
    static BOOL KeyExists(HKEY root, LPCWSTR subKey);

    // A DWORD read succeeds only for exactly 4 bytes; out values are written
    // only on success.
    BOOL QueryDWORD(LPCWSTR name, DWORD& value) const;
    BOOL QueryDWORD(LPCWSTR name, LONG& value) const;
    BOOL QueryDWORDDefault(LPCWSTR name, DWORD& value) const { return QueryDWORD(name, value); }
    BOOL QueryBool(LPCWSTR name, BYTE& value) const;
    BOOL SetDWORD(LPCWSTR name, DWORD value);
    BOOL SetDWORD(LPCWSTR name, LONG value) { return SetDWORD(name, static_cast<DWORD>(value)); }

    // Capacity in bytes. The text is always terminated; a value that does not
    // fit with its terminator fails and leaves the buffer empty.
    BOOL QueryString(LPCWSTR name, LPWSTR buffer, DWORD capacityBytes) const;
    // Stored with its terminator.
    BOOL SetString(LPCWSTR name, LPCWSTR text);
    // Capacity and count in 32-bit words; a value longer than the buffer fails.
    BOOL QueryBinary(LPCWSTR name, DWORD* buffer, DWORD capacityWords) const;
    BOOL SetBinary(LPCWSTR name, const DWORD* data, DWORD countWords);

    // The subkey's name at that index in a key object without a handle.
    std::unique_ptr<CRegistryKey> EnumSubKey(DWORD index) const;
    // Creates or opens a subkey: a key object with its own handle and name.
    std::unique_ptr<CRegistryKey> CreateSubKey(LPCWSTR name) const;

    LPCWSTR GetName() const { return name_.get(); }
    HKEY GetKey() const { return key_; }

    // The shared instance, held for one use: the key's lock is taken here and
    // released, with the key closed, when the use ends.
    class SharedUse {
    public:
        SharedUse();
        ~SharedUse();
        SharedUse(const SharedUse&) = delete;
        SharedUse& operator=(const SharedUse&) = delete;
        CRegistryKey* operator->() const { return key_; }
        CRegistryKey& operator*() const { return *key_; }

    private:
        std::unique_lock<std::recursive_mutex> lock_;
        CRegistryKey* key_;
    };

    static CRegistryKey* GetInstance() { return CSingleton<CRegistryKey>::GetInstance(); }

private:
    static std::recursive_mutex& SharedLock();

    std::unique_ptr<WCHAR[]> name_;
    HKEY key_ = nullptr;
};
