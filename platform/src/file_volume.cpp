// Volumes, memory and shell folders, and the device root's own helpers.
#include "plat/file.h"

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
#include <fstream>
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

// --- volumes, memory, shell folders --------------------------------------------

BOOL GetDiskFreeSpaceExW(LPCWSTR directoryName, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalNumberOfBytes, PULARGE_INTEGER totalNumberOfFreeBytes)
{
    auto host = MapPath(directoryName ? directoryName : L"\\");
    if (!host)
        return FALSE;
    if (auto fake = plat::FakeFreeSpace()) {
        if (freeBytesAvailableToCaller)
            freeBytesAvailableToCaller->QuadPart = *fake;
        if (totalNumberOfBytes)
            totalNumberOfBytes->QuadPart = *fake;
        if (totalNumberOfFreeBytes)
            totalNumberOfFreeBytes->QuadPart = *fake;
        return TRUE;
    }
    struct statvfs vfs {};
    if (::statvfs(host->c_str(), &vfs) != 0) {
        SetLastError(ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
        return FALSE;
    }
    auto unit = static_cast<ULONGLONG>(vfs.f_frsize);
    ULONGLONG available = vfs.f_bavail * unit, free = vfs.f_bfree * unit;
    if (auto cap = FreeSpaceCap()) {
        available = std::min(available, *cap);
        free = std::min(free, *cap);
    }
    if (freeBytesAvailableToCaller)
        freeBytesAvailableToCaller->QuadPart = available;
    if (totalNumberOfBytes)
        totalNumberOfBytes->QuadPart = vfs.f_blocks * unit;
    if (totalNumberOfFreeBytes)
        totalNumberOfFreeBytes->QuadPart = free;
    return TRUE;
}

namespace {

DWORD Clamp(ULONGLONG bytes) { return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes); }

// MemAvailable of /proc/meminfo in bytes: what a new allocation can really get.
std::optional<ULONGLONG> AvailableMemory()
{
    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    ULONGLONG kb = 0;
    std::string unit;
    while (meminfo >> key >> kb >> unit) {
        if (key == "MemAvailable:")
            return kb * 1024;
    }
    return std::nullopt;
}

}  // namespace

HANDLE GetProcessHeap()
{
    static int heap;
    return &heap;
}

UINT HeapCompact(HANDLE, DWORD)
{
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    return static_cast<UINT>(std::min<ULONGLONG>(status.dwAvailPhys, UINT_MAX));
}

void GlobalMemoryStatus(LPMEMORYSTATUS buffer)
{
    if (!buffer)
        return;
    struct sysinfo info {};
    ::sysinfo(&info);
    ULONGLONG unit = info.mem_unit ? info.mem_unit : 1;
    ULONGLONG total = info.totalram * unit;
    ULONGLONG available = AvailableMemory().value_or((info.freeram + info.bufferram) * unit);
    available = std::min(available, total);
    DWORD capKB = 0;
    if (RegistryGetDWORD(HKEY_LOCAL_MACHINE, plat::kMemoryKey, L"FreeKB", &capKB) == S_OK)
        available = std::min(available, static_cast<ULONGLONG>(capKB) * 1024);
    // A 32-bit process of the handset has 2 GB of address space.
    constexpr ULONGLONG kVirtual = 0x80000000ull;
    ULONGLONG resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long size = 0, pages = 0;
        if (std::fscanf(statm, "%lu %lu", &size, &pages) == 2)
            resident = static_cast<ULONGLONG>(pages) * static_cast<ULONGLONG>(::sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
    buffer->dwLength = sizeof(MEMORYSTATUS);
    buffer->dwMemoryLoad = total ? static_cast<DWORD>(100 - available * 100 / total) : 0;
    buffer->dwTotalPhys = Clamp(total);
    buffer->dwAvailPhys = Clamp(available);
    buffer->dwTotalPageFile = Clamp(info.totalswap * unit);
    buffer->dwAvailPageFile = Clamp(info.freeswap * unit);
    buffer->dwTotalVirtual = Clamp(kVirtual);
    buffer->dwAvailVirtual = Clamp(resident < kVirtual ? kVirtual - resident : 0);
}

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create)
{
    const WCHAR* device = folder == CSIDL_WINDOWS      ? L"\\Windows"
                          : folder == CSIDL_MYPICTURES ? L"\\My Documents\\My Pictures"
                                                       : nullptr;
    if (!path || !device) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (create) {
        auto host = MapPath(device);
        std::error_code ec;
        if (!host || (fs::create_directories(*host, ec), ec)) {
            SetLastError(ERROR_PATH_NOT_FOUND);
            return FALSE;
        }
    }
    std::wcscpy(path, device);
    return TRUE;
}

namespace plat {

namespace {
std::atomic<std::int64_t> fakeFreeSpace{-1};
}

void SetFakeFreeSpace(std::optional<std::uint64_t> bytes)
{
    fakeFreeSpace = bytes ? static_cast<std::int64_t>(std::min<std::uint64_t>(*bytes, INT64_MAX)) : -1;
}

std::optional<std::uint64_t> FakeFreeSpace()
{
    std::int64_t bytes = fakeFreeSpace;
    return bytes < 0 ? std::nullopt : std::optional<std::uint64_t>(static_cast<std::uint64_t>(bytes));
}

std::vector<std::wstring> StorageCards()
{
    std::vector<std::wstring> cards;
    for (const auto& [name, inserted] : detail::StorageCardStates()) {
        if (!inserted || name.empty() || name.find_first_of(L"\\/:*?") != std::wstring::npos || name == L"." ||
            name == L"..")
            continue;
        // An inserted card is a folder of the root; it appears when the card does.
        std::error_code ec;
        auto host = MapDevicePath((L"\\" + name).c_str());
        if (host && (fs::is_directory(*host, ec) || fs::create_directory(*host, ec)))
            cards.push_back(FromUtf8(host->filename().string()));
    }
    std::sort(cards.begin(), cards.end(), [](const auto& a, const auto& b) { return FoldCase(a) < FoldCase(b); });
    return cards;
}

std::size_t PopulateDeviceRoot(const fs::path& templateDir)
{
    std::error_code ec;
    if (templateDir.empty() || !fs::is_directory(templateDir, ec))
        return 0;
    const fs::path& root = DeviceRoot();
    std::size_t copied = 0;
    for (fs::recursive_directory_iterator it(templateDir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        fs::path target = root / it->path().lexically_relative(templateDir);
        std::error_code copyError;
        if (fs::exists(fs::symlink_status(target, copyError)))
            continue;
        fs::create_directories(target.parent_path(), copyError);
        if (fs::copy_file(it->path(), target, fs::copy_options::skip_existing, copyError))
            ++copied;
    }
    return copied;
}

bool MatchFileName(std::wstring_view pattern, std::wstring_view name)
{
    // Greedy match with one backtrack point: the last '*' seen.
    std::size_t p = 0, n = 0, starP = std::wstring_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == L'?' || FoldCase(pattern[p]) == FoldCase(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::wstring_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*')
        ++p;
    return p == pattern.size();
}

}  // namespace plat

BOOL PathCanonicalizeW(LPWSTR out, LPCWSTR path)
{
    if (!out || !path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::wstring_view in(path);
    std::wstring lead;
    while (!in.empty() && in.front() == L'\\' && lead.size() < 2) {
        lead.push_back(L'\\');
        in.remove_prefix(1);
    }
    std::vector<std::wstring_view> parts;
    bool trailing = !in.empty() && in.back() == L'\\';
    while (!in.empty()) {
        size_t cut = in.find(L'\\');
        std::wstring_view part = in.substr(0, cut);
        in = cut == std::wstring_view::npos ? std::wstring_view{} : in.substr(cut + 1);
        if (part == L".")
            continue;
        if (part == L"..") {
            // Above the root stays at the root, as the shell's function does.
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::wstring result = lead;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            result.push_back(L'\\');
        result.append(parts[i]);
    }
    if (trailing && !parts.empty())
        result.push_back(L'\\');
    if (result.empty())
        result = L"\\";
    if (result.size() >= MAX_PATH) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::copy(result.begin(), result.end(), out);
    out[result.size()] = 0;
    return TRUE;
}

LONG CompareFileTime(const FILETIME* first, const FILETIME* second)
{
    auto value = [](const FILETIME* t) {
        return (static_cast<std::uint64_t>(t->dwHighDateTime) << 32) | t->dwLowDateTime;
    };
    std::uint64_t a = value(first), b = value(second);
    return a < b ? -1 : (a > b ? 1 : 0);
}

