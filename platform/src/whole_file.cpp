#include "whole_file.h"

#include <atomic>
#include <cstdio>
#include <mutex>
#include <random>

#include "plat/error.h"
#include "plat/file.h"
#include "plat/handle.h"

namespace plat::detail {

HRESULT LastFailure()
{
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT WriteWholeFile(const std::wstring& path, const std::wstring& temp, const std::string& bytes)
{
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return LastFailure();
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    HRESULT hr = ok ? S_OK : LastFailure();
    CloseHandle(file);
    if (ok && !MoveFileW(temp.c_str(), path.c_str())) {
        ok = FALSE;
        hr = LastFailure();
    }
    if (!ok)
        DeleteFileW(temp.c_str());
    return hr;
}

std::wstring NewUniqueId()
{
    static std::atomic<unsigned> counter{0};
    static std::mt19937_64 random{std::random_device{}()};
    static std::mutex lock;
    unsigned long long a, b;
    {
        std::lock_guard guard(lock);
        a = random();
        b = random();
    }
    WCHAR text[64];
    std::swprintf(text, 64, L"%08llx-%04llx-4%03llx-%04x-%012llx", a >> 32, (a >> 16) & 0xFFFF, a & 0xFFF,
                  0x8000u | (counter++ & 0x3FFF), b & 0xFFFFFFFFFFFFull);
    return text;
}

}  // namespace plat::detail
