// Brevox.dll: the Today screen's watermark. The picture the Today screen
// shows behind its items is "\Windows\tdywater_<width>_<height>.<ext>" for
// the screen's current size, one per size; its transparency (0 clear to 255
// opaque) is the DWORD "Transparency" under HKLM "Software\Microsoft\Today\Watermark".
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

constexpr DWORD kApplyFlag = 1;
constexpr DWORD kMostOpaque = 255;
constexpr const WCHAR* kWatermarkKey = L"Software\\Microsoft\\Today\\Watermark";
constexpr const WCHAR* kWindowsFolder = L"\\Windows\\";

// The extension with its dot; empty when there is none.
std::wstring ExtensionOf(std::wstring_view fileName)
{
    std::size_t dot = fileName.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring() : std::wstring(fileName.substr(dot));
}

std::vector<std::wstring> Matches(const std::wstring& pattern)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.emplace_back(found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT SetTodayWatermark(LPCWSTR imagePath, DWORD transparency,
                                                                           DWORD flag)
{
    if (!imagePath || !*imagePath || transparency > kMostOpaque || flag != kApplyFlag)
        return E_INVALIDARG;
    std::error_code ec;
    auto source = plat::MapDevicePath(imagePath);
    if (!source || !fs::is_regular_file(*source, ec))
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    // The Today screen tells a picture's kind by its extension, as the file spells it.
    std::wstring extension = ExtensionOf(plat::FromUtf8(source->filename().string()));
    if (extension.size() < 2)
        return E_INVALIDARG;
    auto folder = plat::MapDevicePath(kWindowsFolder);
    if (!folder)
        return E_FAIL;
    fs::create_directories(*folder, ec);

    // Copied aside first, so that a failure leaves the current watermark alone.
    fs::path temp = *folder / "~tdywater.tmp";
    if (!fs::copy_file(*source, temp, fs::copy_options::overwrite_existing, ec)) {
        fs::remove(temp, ec);
        return E_FAIL;
    }
    std::wstring name = L"tdywater_" + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"_" +
                        std::to_wstring(GetSystemMetrics(SM_CYSCREEN));
    for (const auto& old : Matches(kWindowsFolder + name + L".*"))
        DeleteFileW((kWindowsFolder + old).c_str());
    fs::rename(temp, *folder / plat::ToUtf8(name + extension), ec);
    if (ec) {
        fs::remove(temp, ec);
        return E_FAIL;
    }
    return FAILED(RegistrySetDWORD(HKEY_LOCAL_MACHINE, kWatermarkKey, L"Transparency", transparency)) ? E_FAIL : S_OK;
}
