#include "utility.h"

#include <cwchar>

LPCWSTR GetFileExtension(LPCWSTR path)
{
    if (!path)
        return L"";
    LPCWSTR name = std::wcsrchr(path, L'\\');
    LPCWSTR dot = std::wcsrchr(name ? name : path, L'.');
    return dot ? dot : L"";
}

DWORD CUtility::GetFileSize(LPCWSTR path) const
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    SetLastError(0);
    DWORD size = ::GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE && GetLastError() != 0)
        size = 0;
    CloseHandle(file);
    return size;
}
