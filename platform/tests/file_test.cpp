#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

class DeviceFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        plat::OpenRegistry(false);
    }
    void TearDown() override { plat::CloseRegistry(); }

    void Put(const fs::path& relative, const std::string& text = "x")
    {
        fs::create_directories((root.path() / relative).parent_path());
        std::ofstream(root.path() / relative, std::ios::binary) << text;
    }
    std::string Read(const fs::path& relative)
    {
        std::ifstream in(root.path() / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    // Names found by one search, in the order returned.
    std::vector<std::wstring> Find(const wchar_t* pattern, DWORD* error = nullptr)
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW(pattern, &data);
        if (search == INVALID_HANDLE_VALUE) {
            if (error)
                *error = GetLastError();
            return names;
        }
        do
            names.push_back(data.cFileName);
        while (FindNextFileW(search, &data));
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(FindClose(search));
        return names;
    }

    lumtest::TempDir root;
};

TEST_F(DeviceFiles, WriteReadSeekAndSize)
{
    fs::create_directories(root.path() / "My Documents");
    HANDLE file = CreateFileW(L"\\MY DOCUMENTS\\Note.txt", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(file, "hello world", 11, &done, nullptr));
    EXPECT_EQ(done, 11u);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 11u);
    EXPECT_EQ(high, 0u);

    EXPECT_EQ(SetFilePointer(file, 6, nullptr, FILE_BEGIN), 6u);
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 5u);  // fewer at the end of the file, still success
    EXPECT_STREQ(buffer, "world");
    ASSERT_TRUE(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(done, 0u);

    EXPECT_EQ(SetFilePointer(file, -5, nullptr, FILE_END), 6u);
    EXPECT_EQ(SetFilePointer(file, -100, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 6u);  // unchanged by the refused seek

    LONG moveHigh = 0;
    EXPECT_EQ(SetFilePointer(file, 0, &moveHigh, FILE_END), 11u);
    FILETIME written{};
    EXPECT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    EXPECT_GT(written.dwHighDateTime, 0x01D00000u);  // after 2015
    EXPECT_TRUE(FlushFileBuffers(file));
    EXPECT_TRUE(CloseHandle(file));
    EXPECT_EQ(Read("My Documents/Note.txt"), "hello world");

    EXPECT_FALSE(ReadFile(file, buffer, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(DeviceFiles, CreationDispositions)
{
    Put("Dir/old.txt", "old content");
    struct Case {
        const wchar_t* path;
        DWORD disposition;
        bool opens;
        DWORD error;  // last error after the call
        const char* contentAfter;
    } cases[] = {
        {L"\\Dir\\old.txt", CREATE_NEW, false, ERROR_FILE_EXISTS, "old content"},
        {L"\\Dir\\OLD.TXT", OPEN_EXISTING, true, ERROR_SUCCESS, "old content"},
        {L"\\Dir\\old.txt", OPEN_ALWAYS, true, ERROR_ALREADY_EXISTS, "old content"},
        {L"\\Dir\\old.txt", CREATE_ALWAYS, true, ERROR_ALREADY_EXISTS, ""},
        {L"\\Dir\\new.txt", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {L"\\Dir\\new.txt", TRUNCATE_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},
        {L"\\Missing\\new.txt", CREATE_ALWAYS, false, ERROR_PATH_NOT_FOUND, nullptr},
        {L"\\Dir\\new.txt", OPEN_ALWAYS, true, ERROR_SUCCESS, ""},
        {L"\\Dir\\*.txt", CREATE_ALWAYS, false, ERROR_INVALID_NAME, nullptr},
        {L"\\Dir", OPEN_EXISTING, false, ERROR_ACCESS_DENIED, nullptr},
        {L"XYZ1:", OPEN_EXISTING, false, ERROR_FILE_NOT_FOUND, nullptr},  // no such driver
        {L"..\\..\\etc\\passwd", OPEN_EXISTING, false, ERROR_PATH_NOT_FOUND, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::ToUtf8(c.path) + " disposition " + std::to_string(c.disposition));
        HANDLE file = CreateFileW(c.path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition, 0, nullptr);
        EXPECT_EQ(file != INVALID_HANDLE_VALUE, c.opens);
        EXPECT_EQ(GetLastError(), c.error);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        if (c.contentAfter && c.opens) {
            EXPECT_EQ(Read(fs::path("Dir") / plat::ToUtf8(plat::FoldCase(c.path + 5))), c.contentAfter);
        }
        if (c.disposition == CREATE_ALWAYS && c.opens)
            Put("Dir/old.txt", "old content");
    }
    EXPECT_FALSE(fs::exists(root.path() / "Missing"));
}

TEST_F(DeviceFiles, SharingModesHoldBetweenHandles)
{
    Put("pic.jpg", "jpeg bytes");
    HANDLE writer = CreateFileW(L"\\pic.jpg", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);

    // Nobody else may open it, and a refused CREATE_ALWAYS must not truncate it.
    EXPECT_EQ(CreateFileW(L"\\pic.jpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFileW(L"\\PIC.JPG", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read("pic.jpg"), "jpeg bytes");
    EXPECT_FALSE(DeleteFileW(L"\\pic.jpg"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_FALSE(MoveFileW(L"\\pic.jpg", L"\\moved.jpg"));
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(CloseHandle(writer));

    // Readers that share reading coexist; a writer then is refused.
    HANDLE r1 = CreateFileW(L"\\pic.jpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE r2 = CreateFileW(L"\\pic.jpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(r1, INVALID_HANDLE_VALUE);
    EXPECT_NE(r2, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileW(L"\\pic.jpg", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    DWORD done = 0;
    EXPECT_FALSE(WriteFile(r1, "x", 1, &done, nullptr));  // opened for reading only
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    CloseHandle(r1);
    CloseHandle(r2);
    EXPECT_TRUE(DeleteFileW(L"\\PIC.jpg"));
    EXPECT_FALSE(fs::exists(root.path() / "pic.jpg"));
}

TEST_F(DeviceFiles, SearchesMatchWildcardsInNameOrder)
{
    for (const char* name : {"PIC0002.jpg", "pic0001.JPG", "PIC0010.jpg", "MOV0001.3gp", "notes", "Pic.jpg.bak", ".hidden.jpg"})
        Put(fs::path("KVIM") / name);
    fs::create_directories(root.path() / "KVIM" / "PIC sub");

    struct Case {
        const wchar_t* pattern;
        std::vector<std::wstring> names;
    } cases[] = {
        {L"\\kvim\\PIC*.jpg", {L"pic0001.JPG", L"PIC0002.jpg", L"PIC0010.jpg"}},
        {L"\\KVIM\\PIC000?.JPG", {L"pic0001.JPG", L"PIC0002.jpg"}},
        {L"\\KVIM\\*.3gp", {L"MOV0001.3gp"}},
        {L"\\KVIM\\*.*", {L".hidden.jpg", L"MOV0001.3gp", L"notes", L"PIC sub", L"pic.jpg.bak", L"pic0001.JPG",
                          L"PIC0002.jpg", L"PIC0010.jpg"}},
        {L"\\KVIM\\*jpg*", {L".hidden.jpg", L"pic.jpg.bak", L"pic0001.JPG", L"PIC0002.jpg", L"PIC0010.jpg"}},
        {L"\\KVIM\\notes", {L"notes"}},
        {L"\\KVIM", {L"KVIM"}},
    };
    for (const auto& c : cases) {
        auto found = Find(c.pattern);
        // Names differing only in case ("Pic.jpg.bak") are reported as stored.
        for (auto& name : found)
            if (name == L"Pic.jpg.bak")
                name = L"pic.jpg.bak";
        EXPECT_EQ(found, c.names) << plat::ToUtf8(c.pattern);
    }

    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(L"\\KVIM\\P*", &data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, L"PIC sub");
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(FindNextFileW(search, &data));
    EXPECT_EQ(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(data.nFileSizeLow, 1u);
    FindClose(search);
    EXPECT_EQ(GetFileAttributesW(L"\\KVIM\\.hidden.jpg") & FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN);

    DWORD error = 0;
    EXPECT_TRUE(Find(L"\\KVIM\\*.png", &error).empty());
    EXPECT_EQ(error, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(Find(L"\\Nowhere\\*", &error).empty());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(Find(L"\\..\\*", &error).empty());
    EXPECT_EQ(error, ERROR_PATH_NOT_FOUND);
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
}

TEST_F(DeviceFiles, WildcardMatching)
{
    struct Case {
        const wchar_t* pattern;
        const wchar_t* name;
        bool matches;
    } cases[] = {
        {L"*", L"", true},          {L"*", L"abc", true},         {L"?", L"a", true},
        {L"?", L"", false},         {L"?", L"ab", false},         {L"IMG?", L"img1", true},
        {L"IMG?", L"IMG", false},   {L"IMG?", L"IMG12", false},   {L"IMG?", L"XIMG1", false},
        {L"*.jpg", L"a.jpg", true}, {L"*.jpg", L"a.jpgx", false}, {L"*.jpg", L".jpg", true},
        {L"a*b*c", L"aXbYc", true}, {L"a*b*c", L"acb", false},    {L"*a*a*", L"banana", true},
        {L"ÄÖ*", L"äö.txt", true},  {L"Фото*", L"ФОТО1", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(plat::MatchFileName(c.pattern, c.name), c.matches)
            << plat::ToUtf8(c.pattern) << " ~ " << plat::ToUtf8(c.name);
}

TEST_F(DeviceFiles, FoldersMovesAndDeletes)
{
    EXPECT_TRUE(CreateDirectoryW(L"\\My Documents", nullptr));
    EXPECT_FALSE(CreateDirectoryW(L"\\MY DOCUMENTS", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(CreateDirectoryW(L"\\a\\b", nullptr));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(CreateDirectoryW(L"\\my documents\\KVIM", nullptr));
    EXPECT_TRUE(fs::is_directory(root.path() / "My Documents" / "KVIM"));
    EXPECT_EQ(GetFileAttributesW(L"\\My Documents\\kvim"), FILE_ATTRIBUTE_DIRECTORY);

    Put("My Documents/KVIM/a.jpg", "A");
    Put("My Documents/KVIM/b.jpg", "B");
    EXPECT_FALSE(MoveFileW(L"\\My Documents\\KVIM\\a.jpg", L"\\My Documents\\KVIM\\B.JPG"));
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(Read("My Documents/KVIM/b.jpg"), "B");
    EXPECT_TRUE(MoveFileW(L"\\My Documents\\KVIM\\a.jpg", L"\\My Documents\\c.jpg"));
    EXPECT_EQ(Read("My Documents/c.jpg"), "A");
    EXPECT_TRUE(MoveFileW(L"\\My Documents\\c.jpg", L"\\My Documents\\C.JPG"));  // a change of case only
    EXPECT_EQ(Find(L"\\My Documents\\c*"), std::vector<std::wstring>{L"C.JPG"});
    EXPECT_FALSE(MoveFileW(L"\\My Documents\\none.jpg", L"\\x.jpg"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

    EXPECT_FALSE(RemoveDirectoryW(L"\\My Documents\\KVIM"));
    EXPECT_EQ(GetLastError(), ERROR_DIR_NOT_EMPTY);
    EXPECT_FALSE(RemoveDirectoryW(L"\\My Documents\\C.JPG"));
    EXPECT_EQ(GetLastError(), ERROR_DIRECTORY);
    EXPECT_FALSE(DeleteFileW(L"\\My Documents\\KVIM"));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(DeleteFileW(L"\\My Documents\\KVIM\\B.jpg"));
    EXPECT_FALSE(DeleteFileW(L"\\My Documents\\KVIM\\B.jpg"));
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(DeleteFileW(L"\\Gone\\B.jpg"));
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_TRUE(RemoveDirectoryW(L"\\My Documents\\KVIM"));
    EXPECT_FALSE(RemoveDirectoryW(L"\\"));
    EXPECT_EQ(GetFileAttributesW(L"\\My Documents\\KVIM"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(DeviceFiles, NothingOutsideTheRootIsTouched)
{
    lumtest::TempDir outside;
    std::ofstream(outside.path() / "victim.txt") << "keep";
    fs::create_directory_symlink(outside.path(), root.path() / "Link");
    std::wstring relative = L"..\\" + plat::FromUtf8(outside.path().filename().string());

    EXPECT_EQ(CreateFileW((relative + L"\\new.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(L"\\Link\\victim.txt"));
    EXPECT_FALSE(MoveFileW(L"\\x", L"\\Link\\x"));
    EXPECT_FALSE(CreateDirectoryW(L"\\Link\\dir", nullptr));
    EXPECT_EQ(GetFileAttributesW(L"\\Link\\victim.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(Find(L"\\*"), std::vector<std::wstring>{});  // the link out is not listed either
    EXPECT_EQ(Find(L"\\Link\\*"), std::vector<std::wstring>{});
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path()), fs::directory_iterator()), 1);
}

TEST_F(DeviceFiles, StorageCardsAreFoldersOfTheRoot)
{
    HKEY cards;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, plat::kStorageCardsKey, 0, nullptr, 0, 0, nullptr, &cards, nullptr),
              ERROR_SUCCESS);
    auto setCard = [&](const wchar_t* name, DWORD inserted) {
        RegSetValueExW(cards, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&inserted), sizeof inserted);
    };
    WIN32_FIND_DATAW data;
    EXPECT_EQ(FindFirstFlashCard(&data), INVALID_HANDLE_VALUE);

    setCard(L"Storage Card", 1);
    setCard(L"Internal Storage", 1);
    std::vector<std::wstring> found;
    HANDLE search = FindFirstFlashCard(&data);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    do
        found.push_back(data.cFileName);
    while (FindNextFlashCard(search, &data));
    FindClose(search);
    EXPECT_EQ(found, (std::vector<std::wstring>{L"Internal Storage", L"Storage Card"}));
    EXPECT_EQ(GetFileAttributesW(L"\\storage card"), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_TEMPORARY);

    HANDLE file = CreateFileW(L"\\Storage Card\\a.jpg", GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);

    setCard(L"Storage Card", 0);  // taken out: its folder cannot be reached
    EXPECT_EQ(plat::StorageCards(), std::vector<std::wstring>{L"Internal Storage"});
    EXPECT_EQ(GetFileAttributesW(L"\\Storage Card\\a.jpg"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(Find(L"\\*"), std::vector<std::wstring>{L"Internal Storage"});

    setCard(L"Storage Card", 1);
    EXPECT_NE(GetFileAttributesW(L"\\Storage Card\\a.jpg"), INVALID_FILE_ATTRIBUTES);
    RegCloseKey(cards);
}

TEST_F(DeviceFiles, VolumeMemoryAndShellFolders)
{
    ULARGE_INTEGER available{}, total{}, totalFree{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"\\", &available, &total, &totalFree));
    struct statvfs vfs {};
    ASSERT_EQ(statvfs(root.path().c_str(), &vfs), 0);
    EXPECT_EQ(total.QuadPart, static_cast<ULONGLONG>(vfs.f_blocks) * vfs.f_frsize);
    EXPECT_LE(available.QuadPart, totalFree.QuadPart);
    EXPECT_LE(totalFree.QuadPart, total.QuadPart);
    EXPECT_FALSE(GetDiskFreeSpaceExW(L"\\No Such Folder", &available, nullptr, nullptr));

    MEMORYSTATUS memory{};
    GlobalMemoryStatus(&memory);
    EXPECT_EQ(memory.dwLength, sizeof memory);
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_GT(memory.dwAvailPhys, 0u);
    EXPECT_LE(memory.dwAvailPhys, memory.dwTotalPhys);
    EXPECT_LE(memory.dwMemoryLoad, 100u);

    WCHAR path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_MYPICTURES, TRUE));
    EXPECT_STREQ(path, L"\\My Documents\\My Pictures");
    EXPECT_TRUE(fs::is_directory(root.path() / "My Documents" / "My Pictures"));
    ASSERT_TRUE(SHGetSpecialFolderPath(nullptr, path, CSIDL_WINDOWS, FALSE));
    EXPECT_STREQ(path, L"\\Windows");
    EXPECT_FALSE(fs::exists(root.path() / "Windows"));
    EXPECT_FALSE(SHGetSpecialFolderPath(nullptr, path, 0x1234, FALSE));
}

TEST_F(DeviceFiles, NewRootIsFilledFromTheTemplateWithoutOverwriting)
{
    lumtest::TempDir templateDir;
    fs::create_directories(templateDir.path() / "Windows");
    std::ofstream(templateDir.path() / "Windows" / "LumOCR.exe.0409.mui") << "strings";
    std::ofstream(templateDir.path() / "registry.txt") << "template registry";
    Put("registry.txt", "the device's own");

    EXPECT_EQ(plat::PopulateDeviceRoot(templateDir.path()), 1u);
    EXPECT_EQ(Read("Windows/LumOCR.exe.0409.mui"), "strings");
    EXPECT_EQ(Read("registry.txt"), "the device's own");
    EXPECT_EQ(plat::PopulateDeviceRoot(templateDir.path()), 0u);
    EXPECT_EQ(plat::PopulateDeviceRoot(root.path() / "no such template"), 0u);
}

}  // namespace

TEST(PathCanonicalizeTest, DotsAreResolvedWithinTheRoot)
{
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"\\KVIM\\..", L"\\"},
        {L"\\My Documents\\KVIM\\..", L"\\My Documents"},
        {L"\\a\\.\\b\\..\\c\\", L"\\a\\c\\"},
        {L"\\..\\..", L"\\"},
        {L"\\\\server\\x\\..", L"\\\\server"},
    };
    for (const Case& c : cases) {
        WCHAR out[MAX_PATH];
        ASSERT_TRUE(PathCanonicalizeW(out, c.in));
        EXPECT_STREQ(out, c.out) << plat::ToUtf8(c.in);
    }
    std::wstring longPath(300, L'a');
    WCHAR out[MAX_PATH];
    EXPECT_FALSE(PathCanonicalizeW(out, longPath.c_str()));
}

TEST(CompareFileTimeTest, HighWordFirst)
{
    FILETIME a{5, 1}, b{1, 2};
    EXPECT_EQ(CompareFileTime(&a, &b), -1);
    EXPECT_EQ(CompareFileTime(&b, &a), 1);
    EXPECT_EQ(CompareFileTime(&a, &a), 0);
}
