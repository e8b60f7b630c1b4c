#include "page_text_file.h"

#include "plat/windows.h"

std::wstring PageTextFileName(const std::wstring& folder, const std::wstring& pictureName)
{
    // The shell names pictures "D#########.jpg"; any other extension is
    // replaced whole, and a name without one gets ".txt".
    size_t dot = pictureName.rfind(L'.');
    std::wstring base = dot == std::wstring::npos ? pictureName + L"." : pictureName.substr(0, dot + 1);
    std::wstring path = folder + base + L"txt";
    if (path.size() > MAX_PATH - 1)
        path.resize(MAX_PATH - 1);
    return path;
}

std::string PageTextBytes(const std::wstring& text)
{
    std::string bytes = "\xFF\xFE";
    bytes.reserve(2 + text.size() * 2);
    auto unit = [&](unsigned u) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t c : text) {
        auto v = static_cast<unsigned>(c);
        if (v > 0xFFFF && v <= 0x10FFFF) {
            v -= 0x10000;
            unit(0xD800 | (v >> 10));
            unit(0xDC00 | (v & 0x3FF));
        } else {
            unit(v > 0xFFFF ? 0xFFFD : v);
        }
    }
    return bytes;
}

bool WritePageTextFile(const std::wstring& path, const std::wstring& text)
{
    size_t slash = path.rfind(L'\\');
    std::wstring temp = path.substr(0, slash + 1) + L"." + path.substr(slash + 1) + L".tmp";
    std::string bytes = PageTextBytes(text);
    HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    ok = ok && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}
