#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

using IntFunction = int (*)();

int Call(FARPROC proc) { return reinterpret_cast<IntFunction>(proc)(); }

class ModuleFiles : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDeviceRoot(root.path()); }

    void WriteFile(const fs::path& relative, const std::string& bytes)
    {
        fs::create_directories((root.path() / relative).parent_path());
        std::ofstream(root.path() / relative, std::ios::binary) << bytes;
    }

    lumtest::TempDir root;
};

std::wstring String(HMODULE module, UINT id, int bufferMax = 100)
{
    std::wstring buffer(static_cast<std::size_t>(bufferMax > 0 ? bufferMax : 1), L'#');
    int n = LoadStringW(module, id, buffer.data(), bufferMax);
    return buffer.substr(0, static_cast<std::size_t>(n));
}

}  // namespace

TEST(Modules, LoadsLibraryBesideTheProgramByNameAndOrdinal)
{
    HMODULE module = LoadLibraryW(L"LumOrdinalProbe.dll");
    ASSERT_TRUE(module) << GetLastError();
    HMODULE again = LoadLibraryW(L"\\Windows\\lumordinalprobe.DLL");
    EXPECT_EQ(again, module) << "one module, counted twice";

    FARPROC byName = GetProcAddressW(module, L"ProbeAnswer");
    ASSERT_TRUE(byName);
    EXPECT_EQ(Call(byName), 42);
    EXPECT_EQ(GetProcAddressW(module, MAKEINTRESOURCEW(7)), byName);
    ASSERT_TRUE(GetProcAddress(module, MAKEINTRESOURCEW(8)));
    EXPECT_EQ(Call(GetProcAddressW(module, MAKEINTRESOURCEW(8))), 7);

    for (LPCWSTR missing : {LPCWSTR(L"NoSuchExport"), LPCWSTR(L"probeanswer"), LPCWSTR(MAKEINTRESOURCEW(9))}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddressW(module, missing), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    }

    EXPECT_TRUE(FreeLibrary(again));
    EXPECT_EQ(Call(GetProcAddressW(module, L"ProbeAnswer")), 42) << "still loaded once";
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetProcAddressW(module, L"ProbeAnswer"), nullptr);
}

TEST(Modules, OrdinalsAreTheLibrarysOwn)
{
    HMODULE user = LoadLibraryW(L"LumOrdinalProbeUser.dll");
    ASSERT_TRUE(user);
    ASSERT_TRUE(GetProcAddressW(user, L"ProbeUserAnswer"));
    EXPECT_EQ(Call(GetProcAddressW(user, L"ProbeUserAnswer")), 43);
    EXPECT_EQ(GetProcAddressW(user, MAKEINTRESOURCEW(7)), nullptr) << "7 is an ordinal of the library it links";
    EXPECT_TRUE(FreeLibrary(user));
}

TEST(Modules, MissingLibraryFails)
{
    for (LPCWSTR name : {L"PanoraMaxNotHere.dll", L"", static_cast<LPCWSTR>(nullptr)}) {
        EXPECT_EQ(LoadLibraryW(name), nullptr);
        EXPECT_NE(GetLastError(), ERROR_SUCCESS);
    }
    EXPECT_EQ(LoadLibraryW(L"NoSuchLibrary.dll"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
}

TEST(Modules, CoreLibraryAnswersWithThePlatformsOwnExports)
{
    HMODULE core = LoadLibraryW(L"coredll.dll");
    ASSERT_TRUE(core);
    EXPECT_EQ(LoadLibraryW(L"COREDLL.DLL"), core);
    EXPECT_EQ(GetProcAddressW(core, L"SetWindowsHookExW"), plat::ExportOf(&SetWindowsHookExW));
    EXPECT_EQ(GetProcAddressW(core, L"CallNextHookEx"), plat::ExportOf(&CallNextHookEx));
    EXPECT_EQ(GetProcAddressW(core, L"UnhookWindowsHookEx"), plat::ExportOf(&UnhookWindowsHookEx));
    EXPECT_EQ(GetProcAddressW(core, L"setwindowshookexw"), nullptr) << "names are exact";
    EXPECT_EQ(GetProcAddressW(core, L"NoSuchFunction"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_PROC_NOT_FOUND);
    EXPECT_TRUE(FreeLibrary(core));
}

TEST_F(ModuleFiles, LanguageLibraryIsAStringTableFile)
{
    WriteFile("Windows/LumOCR.exe.0409.mui",
              "\xEF\xBB\xBF# English texts\r\n"
              "18\tThe battery is too low.\r\n"
              "\r\n"
              "241\tWarning\r\n"
              "256\tLine one\\nline two\\ttab \\\\ back\\u00E9\r\n"
              "300\t\r\n"
              "301\tCaf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7\n"
              "65535\tlast");
    HMODULE mui = LoadLibraryW(L"\\windows\\LumOCR.exe.0409.MUI");
    ASSERT_TRUE(mui) << GetLastError();
    EXPECT_EQ(String(mui, 18), L"The battery is too low.");
    EXPECT_EQ(String(mui, 241), L"Warning");
    EXPECT_EQ(String(mui, 256), L"Line one\nline two\ttab \\ back\u00E9");
    EXPECT_EQ(String(mui, 301), L"Caf\u00E9 \u20AC \U0001F4F7");
    EXPECT_EQ(String(mui, 65535), L"last");
    EXPECT_EQ(String(mui, 241, 5), L"Warn") << "cut to the buffer, zero included";

    wchar_t buffer[8] = {L'x', L'x'};
    EXPECT_EQ(LoadStringW(mui, 300, buffer, 8), 0) << "an empty text";
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(LoadStringW(mui, 999, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(LoadStringW(mui, 18, buffer, 0), 0);
    EXPECT_TRUE(FreeLibrary(mui));
    EXPECT_EQ(LoadStringW(mui, 18, buffer, 8), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    EXPECT_EQ(LoadLibraryW(L"\\Windows\\LumOCR.exe.0412.mui"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryW(L"\\..\\..\\etc\\LumOCR.exe.0409.mui"), nullptr);
}

TEST_F(ModuleFiles, BrokenStringTableIsRefusedAndSaysWhere)
{
    struct Case {
        const char* text;
        const wchar_t* says;
    } cases[] = {
        {"1\tok\n2 no tab\n", L"line 2: no tab"},
        {"x\tletters\n", L"line 1: the identifier"},
        {"65536\ttoo big\n", L"line 1: the identifier"},
        {"\tno id\n", L"line 1: the identifier"},
        {"1\tone\n1\tagain\n", L"line 2: identifier 1 given twice"},
        {"1\tbad \\q escape\n", L"unknown escape"},
        {"1\ttrailing \\", L"a lone"},
        {"1\t\\u12\n", L"four hexadecimal digits"},
        {"1\t\\uD800\n", L"surrogate"},
        {"1\t\xC3\x28\n", L"invalid UTF-8"},
        {"1\t\xED\xA0\x80\n", L"invalid UTF-8"},
    };
    for (const auto& c : cases) {
        WriteFile("Windows/LumOCR.exe.0409.mui", c.text);
        plat::DebugCapture capture;
        EXPECT_EQ(LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui"), nullptr) << c.text;
        EXPECT_EQ(GetLastError(), ERROR_BAD_FORMAT);
        EXPECT_TRUE(capture.Contains(c.says)) << c.text << " -> " << plat::ToUtf8(capture.Text());
    }
}

TEST(Modules, ProgramsOwnStringTable)
{
    const plat::StringResource table[] = {{1059, L"LUMOCR"}, {7, L"seven"}};
    plat::SetProgramStrings(table, std::size(table));
    HMODULE program = GetModuleHandleW(nullptr);
    ASSERT_TRUE(program);
    EXPECT_EQ(String(program, 1059), L"LUMOCR");
    EXPECT_EQ(String(nullptr, 1059), L"LUMOCR");
    EXPECT_EQ(String(program, 7), L"seven");
    EXPECT_EQ(String(program, 8), L"");
    EXPECT_TRUE(FreeLibrary(program)) << "the program stays";
    EXPECT_EQ(String(program, 1059), L"LUMOCR");
    plat::SetProgramStrings(nullptr, 0);
}

TEST_F(ModuleFiles, SystemLocaleFromEnvironmentElseRegistryElseEnglish)
{
    unsetenv("LUMOCR_LCID");
    ASSERT_TRUE(plat::OpenRegistry(false));
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0409u);

    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"nls", 0, nullptr, 0, 0, nullptr, &key, nullptr), ERROR_SUCCESS);
    DWORD russian = 0x0419;
    RegSetValueExW(key, L"DefaultLCID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&russian), sizeof russian);
    RegCloseKey(key);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0419u);

    setenv("LUMOCR_LCID", "0412", 1);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0412u);
    setenv("LUMOCR_LCID", "korean", 1);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0419u) << "a value that is no number is ignored";
    unsetenv("LUMOCR_LCID");
    plat::CloseRegistry();
}
