// lumreg: the registry of a device root from the shell. A running program
// takes in what lumreg writes and fires its notifications, so this is how a
// person or a scenario rings the phone, inserts a card or drains the battery.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "plat/device.h"
#include "plat/error.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace {

void Usage()
{
    std::fprintf(stderr,
                 "usage: lumreg [--root DIR] get KEY [VALUE]\n"
                 "       lumreg [--root DIR] set KEY VALUE dword|sz DATA\n"
                 "       lumreg [--root DIR] dump\n"
                 "  KEY is HKLM\\... or HKCU\\... (or HKEY_LOCAL_MACHINE\\..., HKEY_CURRENT_USER\\...);\n"
                 "  an empty VALUE (\"\") is the key's default value; dword DATA is decimal or 0x hex.\n"
                 "  --root DIR: device root (else $LUMOCR_ROOT, else ~/.local/share/lumocr/device)\n");
}

int Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "lumreg: %s %s\n", what, detail.c_str());
    return 1;
}

void PrintValue(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_DWORD && data.size() == 4) {
        DWORD dw;
        std::memcpy(&dw, data.data(), 4);
        std::printf("%u\n", dw);
    } else if (type == REG_SZ && data.size() % sizeof(WCHAR) == 0) {
        std::wstring text(data.size() / sizeof(WCHAR), L'\0');
        std::memcpy(text.data(), data.data(), data.size());
        std::printf("%s\n", plat::ToUtf8(text.substr(0, text.find(L'\0'))).c_str());
    } else {
        for (std::size_t i = 0; i < data.size(); ++i)
            std::printf(i ? ",%02x" : "%02x", data[i]);
        std::printf("\n");
    }
}

int Get(HKEY root, const std::wstring& subKey, const std::string& keyText, const char* valueName)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return Fail("no key", keyText);
    int status = 0;
    if (valueName) {
        std::wstring name = plat::FromUtf8(valueName);
        DWORD type = 0, size = 0;
        std::vector<BYTE> data;
        LONG error = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
        if (error == ERROR_SUCCESS) {
            data.resize(size);
            error = RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size);
        }
        if (error == ERROR_SUCCESS)
            PrintValue(type, data);
        else
            status = Fail("no value", keyText + " \"" + valueName + "\"");
    } else {
        // The key's part of the whole text: its own section.
        std::wstring text = plat::RegistryText();
        std::wstring wanted = L"[";
        HKEY probe;
        std::wstring rest;
        plat::SplitRegistryPath(plat::FromUtf8(keyText), probe, rest);
        std::wstring hive = probe == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE"
                            : probe == HKEY_CURRENT_USER ? L"HKEY_CURRENT_USER"
                                                         : L"HKEY_CLASSES_ROOT";
        wanted += plat::FoldCase(rest.empty() ? hive : hive + L"\\" + rest) + L"]";
        bool inside = false;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find(L'\n', start);
            std::wstring line = text.substr(start, end - start);
            start = end == std::wstring::npos ? text.size() : end + 1;
            if (!line.empty() && (line[0] == L'[' || line[0] == L';'))
                inside = plat::FoldCase(line) == wanted;
            if (inside)
                std::printf("%s\n", plat::ToUtf8(line).c_str());
        }
    }
    RegCloseKey(key);
    return status;
}

int Set(HKEY root, const std::wstring& subKey, const std::string& keyText, const char* valueName, const char* kind,
        const char* dataText)
{
    std::vector<BYTE> data;
    DWORD type;
    if (std::strcmp(kind, "dword") == 0) {
        char* end = nullptr;
        errno = 0;
        unsigned long long number = std::strtoull(dataText, &end, 0);
        if (!*dataText || *end || errno || number > 0xFFFFFFFFull || dataText[0] == '-')
            return Fail("not a DWORD:", dataText);
        auto dw = static_cast<DWORD>(number);
        data.resize(4);
        std::memcpy(data.data(), &dw, 4);
        type = REG_DWORD;
    } else if (std::strcmp(kind, "sz") == 0) {
        std::wstring text = plat::FromUtf8(dataText);
        data.resize((text.size() + 1) * sizeof(WCHAR));  // with its terminating zero
        std::memcpy(data.data(), text.c_str(), data.size());
        type = REG_SZ;
    } else {
        Usage();
        return 2;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return Fail("cannot create key", keyText);
    std::wstring name = plat::FromUtf8(valueName);
    LONG error = RegSetValueExW(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    if (error == ERROR_SUCCESS)
        error = RegFlushKey(key);
    RegCloseKey(key);
    if (error != ERROR_SUCCESS)
        return Fail("cannot write", (plat::DeviceRoot() / plat::kRegistryFileName).string());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<const char*> args(argv + 1, argv + argc);
    std::string root;
    if (args.size() >= 2 && std::strcmp(args[0], "--root") == 0) {
        root = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || std::strcmp(args[0], "--help") == 0 || std::strcmp(args[0], "-h") == 0) {
        Usage();
        return args.empty() ? 2 : 0;
    }
    plat::SetDeviceRoot(root);
    if (!plat::OpenRegistry(false))
        return Fail("cannot read", (plat::DeviceRoot() / plat::kRegistryFileName).string());

    std::string command = args[0];
    int status = 2;
    if (command == "dump" && args.size() == 1) {
        std::printf("%s", plat::ToUtf8(plat::RegistryText()).c_str());
        status = 0;
    } else if ((command == "get" && (args.size() == 2 || args.size() == 3)) ||
               (command == "set" && args.size() == 5)) {
        HKEY hive;
        std::wstring subKey;
        if (!plat::SplitRegistryPath(plat::FromUtf8(args[1]), hive, subKey)) {
            status = Fail("not a key (HKLM\\... or HKCU\\...):", args[1]);
        } else if (command == "get") {
            status = Get(hive, subKey, args[1], args.size() == 3 ? args[2] : nullptr);
        } else {
            status = Set(hive, subKey, args[1], args[2], args[3], args[4]);
        }
    } else {
        Usage();
    }
    plat::CloseRegistry();
    return status;
}
