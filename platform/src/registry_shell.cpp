// The shell's one-call registry functions over the registry calls.
#include <cstring>

#include "plat/registry.h"
#include "registry_store.h"

using plat::detail::reg::StoredValue;
using plat::detail::reg::StringOf;

// --- the shell's one-call functions ------------------------------------------------------

namespace {

// Reads one value of key\subKey without leaving a key open.
LONG ReadValue(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD& type, std::vector<BYTE>& data)
{
    HKEY opened = nullptr;
    LONG error = RegOpenKeyExW(key, subKey, 0, KEY_QUERY_VALUE, &opened);
    if (error != ERROR_SUCCESS)
        return error;
    DWORD size = 0;
    error = RegQueryValueExW(opened, valueName, nullptr, &type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        data.resize(size);
        error = RegQueryValueExW(opened, valueName, nullptr, &type, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(opened);
    return error;
}

}  // namespace

HRESULT RegistryGetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD* data)
{
    if (!data)
        return E_INVALIDARG;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    LONG error = ReadValue(key, subKey, valueName, type, bytes);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    if (type != REG_DWORD || bytes.size() != sizeof(DWORD))
        return E_UNEXPECTED;
    std::memcpy(data, bytes.data(), sizeof(DWORD));
    return S_OK;
}

HRESULT RegistryGetString(HKEY key, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT dataChars)
{
    if (!data || !dataChars)
        return E_INVALIDARG;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    LONG error = ReadValue(key, subKey, valueName, type, bytes);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    if (type != REG_SZ)
        return E_UNEXPECTED;
    StoredValue value{L"", type, std::move(bytes)};
    std::wstring text = StringOf(&value);
    HRESULT result = S_OK;
    if (text.size() >= dataChars) {
        text.resize(dataChars - 1);
        result = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::wcscpy(data, text.c_str());
    return result;
}

HRESULT RegistrySetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD data)
{
    HKEY opened = nullptr;
    LONG error = RegCreateKeyExW(key, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (error == ERROR_SUCCESS) {
        error = RegSetValueExW(opened, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
        RegCloseKey(opened);
    }
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

