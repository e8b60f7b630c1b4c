#include "plat/device.h"

#include <cstdlib>
#include <mutex>
#include <system_error>
#include <vector>

#include "plat/utf.h"

namespace fs = std::filesystem;

namespace plat {
namespace {

std::mutex g_rootLock;
fs::path g_root;

fs::path DefaultRoot()
{
    if (const char* env = std::getenv("LUMOCR_ROOT"); env && *env)
        return env;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return fs::path(xdg) / "lumocr" / "device";
    const char* home = std::getenv("HOME");
    return fs::path(home && *home ? home : ".") / ".local" / "share" / "lumocr" / "device";
}

bool HasWildcard(std::wstring_view name) { return name.find_first_of(L"*?") != std::wstring_view::npos; }

// The host name of one component: an existing entry that matches without
// regard to case, else the name as given (a file about to be created).
fs::path ResolveComponent(const fs::path& dir, const std::wstring& name)
{
    std::error_code ec;
    fs::path exact = dir / ToUtf8(name);
    if (HasWildcard(name) || fs::exists(fs::symlink_status(exact, ec)))
        return exact;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameNameNoCase(FromUtf8(it->path().filename().string()), name))
            return it->path();
    }
    return exact;
}

bool IsWithin(const fs::path& path, const fs::path& root)
{
    auto p = path.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++p) {
        if (r->empty())
            continue;  // trailing separator of the root
        if (p == path.end() || *p != *r)
            return false;
    }
    return true;
}

}  // namespace

void SetDeviceRoot(const fs::path& root)
{
    fs::path chosen = root.empty() ? DefaultRoot() : root;
    std::error_code ec;
    fs::create_directories(chosen, ec);
    fs::path absolute = fs::weakly_canonical(fs::absolute(chosen, ec), ec);
    std::lock_guard lock(g_rootLock);
    g_root = absolute.empty() ? chosen : absolute;
}

std::optional<fs::path> ChosenDeviceRoot()
{
    std::lock_guard lock(g_rootLock);
    if (g_root.empty())
        return std::nullopt;
    return g_root;
}

const fs::path& DeviceRoot()
{
    {
        std::lock_guard lock(g_rootLock);
        if (!g_root.empty())
            return g_root;
    }
    SetDeviceRoot();
    std::lock_guard lock(g_rootLock);
    return g_root;
}

std::optional<fs::path> MapDevicePath(LPCWSTR devicePath)
{
    if (!devicePath)
        return std::nullopt;
    std::wstring_view path(devicePath);
    // Drive letters and device names ("C:", "CAM1:") are not files of the root.
    if (path.find(L':') != std::wstring_view::npos)
        return std::nullopt;

    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of(L"\\/", start);
        if (end == std::wstring_view::npos)
            end = path.size();
        std::wstring part(path.substr(start, end - start));
        start = end + 1;
        if (part.empty() || part == L".")
            continue;
        if (part == L"..") {
            if (parts.empty())
                return std::nullopt;  // would leave the root
            parts.pop_back();
            continue;
        }
        if (part.find(L'\0') != std::wstring::npos)
            return std::nullopt;
        parts.push_back(std::move(part));
    }

    const fs::path& root = DeviceRoot();
    fs::path host = root;
    for (const auto& part : parts)
        host = ResolveComponent(host, part);
    // A symbolic link inside the root must not lead out of it.
    std::error_code ec;
    fs::path real = fs::weakly_canonical(host, ec);
    if (ec || !IsWithin(real, root))
        return std::nullopt;
    return host;
}

}  // namespace plat
