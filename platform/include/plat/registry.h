// The registry: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER trees, case-
// insensitive, with and without a leading "\", kept in the device root
// ("registry.txt", UTF-8) and written atomically on flush and at exit.
// Also the shell's one-call state functions and value-change notifications,
// whose callbacks run on the platform's notification thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "plat/error.h"
#include "plat/types.h"

using REGSAM = DWORD;
struct SECURITY_ATTRIBUTES;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u));

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Results are ERROR_* codes. Sizes are in bytes; a wide character counts
// sizeof(WCHAR) bytes. A value is returned only whole: a short buffer gives
// ERROR_MORE_DATA with the needed size and the buffer untouched.
LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     SECURITY_ATTRIBUTES* security, PHKEY result, LPDWORD disposition);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
LONG RegDeleteValueW(HKEY key, LPCWSTR valueName);
// Subkeys in name order (case ignored). nameLength: in, the buffer's size in
// characters; out, the name's length without its zero.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classLength, FILETIME* lastWriteTime);
LONG RegFlushKey(HKEY key);

// --- the shell's state-and-notification functions ---------------------------

struct HREGNOTIFY__ { int unused; };
using HREGNOTIFY = HREGNOTIFY__*;

enum REG_COMPARISONTYPE : DWORD {
    REG_CT_ANYCHANGE = 0,  // the value, masked, differs from before
    REG_CT_EQUAL = 1,      // the value changed and, masked, equals the target
};

// A condition on a watched value. DWORD values are compared after the mask;
// string values (REG_SZ) ignore the mask and compare with psz, case ignored.
// A missing value counts as 0 or the empty string.
struct NOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    DWORD dwMask;
    union {
        LPCWSTR psz;
        DWORD dw;
    } TargetValue;
};

// Runs on the notification thread with the value's new bytes (null and 0
// when the value was deleted).
using REGISTRYNOTIFYCALLBACK = void (*)(HREGNOTIFY notify, DWORD userData, BYTE* const data, const UINT dataSize);

HRESULT RegistryGetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD* data);
// Copies the string, always ending it with a zero; a longer value is cut and
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) returned.
HRESULT RegistryGetString(HKEY key, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT dataChars);
HRESULT RegistrySetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD data);
// Without a condition, any change of the value's type or bytes fires.
HRESULT RegistryNotifyCallback(HKEY key, LPCWSTR subKey, LPCWSTR valueName, REGISTRYNOTIFYCALLBACK callback,
                               DWORD userData, NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify);
// Ends a notification. Once it returns, its callback neither runs nor will
// run, unless called from inside that callback, which then finishes as usual.
HRESULT RegistryCloseNotification(HREGNOTIFY notify);

namespace plat {

inline constexpr const char* kRegistryFileName = "registry.txt";

// Loads the registry of the current device root (plat/device.h). With watch,
// the notification thread also follows the file: values that another process
// (lumreg) writes are taken in and fire their notifications, and unsaved
// changes are written a second after the last one.
bool OpenRegistry(bool watch = true);
// Writes unsaved changes (merged with what others wrote meanwhile); true on success.
bool FlushRegistry();
// Flushes, ends every notification and the notification thread, forgets the tree.
void CloseRegistry();

// Calls changed(value name) on the notification thread whenever a value of
// the key is set to something new, appears or is deleted, by this process or
// another. Ended with RegistryCloseNotification. Null on a bad key.
HREGNOTIFY NotifyKeyChanges(HKEY key, LPCWSTR subKey, std::function<void(const std::wstring&)> changed);
// The same with the value's new bytes as they were written (null and 0 when
// it was deleted), so that quick changes are each seen as they were.
HREGNOTIFY NotifyKeyValueChanges(HKEY key, LPCWSTR subKey,
                                 std::function<void(const std::wstring&, const BYTE*, UINT)> changed);

// The whole registry in its file format.
std::wstring RegistryText();

// Parses "HKLM\Software\X", "HKEY_CURRENT_USER\...": the root key and the rest.
bool SplitRegistryPath(std::wstring_view path, HKEY& root, std::wstring& subKey);

}  // namespace plat
