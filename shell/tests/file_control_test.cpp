#include <string>
#include <vector>

#include "services_fixture.h"

namespace {

class FakeMainFrame : public COcrPictureOwner {
public:
    int mode = 1;
    std::wstring folder, name;
    int GetBcrOcrMode() const override { return mode; }
    void SetOcrPicture(LPCWSTR f, LPCWSTR n) override
    {
        folder = f;
        name = n;
    }
};

class FileControl : public ServicesFixture {};

TEST_F(FileControl, OcrNamesOnGivenDates)
{
    struct Case {
        int year;
        unsigned month, day;
        int mode;
        int stored;  // -1: no counter stored
        const wchar_t* name;
        DWORD storedAfter;
    } cases[] = {
        {2026, 12, 10, 1, -1, L"B261210001.jpg", 261210002},
        {2008, 12, 9, 1, -1, L"B081209001.jpg", 81209002},
        {2003, 1, 5, 0, -1, L"D030105001.jpg", 30105002},
        {2008, 12, 9, 1, 81209057, L"B081209057.jpg", 81209058},  // counter in the day's range
        {2008, 12, 10, 1, 81209057, L"B081210001.jpg", 81210002}, // same counter, next day
        {1999, 12, 31, 1, -1, L"B991231001.jpg", 991231002},
        {2008, 12, 9, 1, 91231005, L"B091231005.jpg", 91231006},  // a counter past the day runs on
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        const wchar_t* counter = c.mode == 1 ? L"BCRPictureCount" : L"DOCPictureCount";
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR"));
        RegDeleteValueW(key.GetKey(), counter);
        if (c.stored >= 0)
            key.SetDWORD(counter, static_cast<DWORD>(c.stored));
        key.Close();

        SetDate(c.year, c.month, c.day);
        FakeMainFrame frame;
        frame.mode = c.mode;
        CFileControl* files = CFileControl::GetInstance();
        files->SetStorageType(0);
        files->SetOcrPictureOwner(&frame);
        WCHAR name[MAX_PATH], path[MAX_PATH];
        ASSERT_TRUE(files->MakeOcrPictureName(name, path));
        EXPECT_STREQ(name, c.name);
        EXPECT_EQ(std::wstring(path), L"\\My Documents\\KVIM\\" + std::wstring(c.name));
        EXPECT_EQ(frame.folder, L"\\My Documents\\KVIM\\");
        EXPECT_EQ(frame.name, c.name);
        // Written through at once, not only at exit.
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", counter), c.storedAfter);
        files->SetOcrPictureOwner(nullptr);
    }
}

TEST_F(FileControl, ExistingPicturesAreSkippedWhenTheCounterIsLost)
{
    SetDate(2026, 12, 10);
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    Touch(L"\\My Documents\\KVIM\\B261210001.jpg");
    Touch(L"\\My Documents\\KVIM\\B261210002.jpg");
    WCHAR name[MAX_PATH], path[MAX_PATH];
    ASSERT_TRUE(files->MakeOcrPictureName(name, path));
    EXPECT_STREQ(name, L"B261210003.jpg");
    ASSERT_TRUE(files->MakeOcrPictureName(name, path));
    EXPECT_STREQ(name, L"B261210004.jpg");
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"BCRPictureCount"), 261210005u);
}

TEST_F(FileControl, NameAndPathPairNameOnePicture)
{
    SetDate(2026, 12, 10);
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    std::wstring name = files->GetOcrPictureName();
    std::wstring path = files->GetOcrPicturePath();
    EXPECT_EQ(name, L"B261210001.jpg");
    EXPECT_EQ(path, L"\\My Documents\\KVIM\\B261210001.jpg");
    std::wstring nextPath = files->GetOcrPicturePath();
    std::wstring nextName = files->GetOcrPictureName();
    EXPECT_EQ(nextPath, L"\\My Documents\\KVIM\\B261210002.jpg");
    EXPECT_EQ(nextName, L"B261210002.jpg");

    std::wstring prepared = files->PrepareOcrPicturePath();
    EXPECT_EQ(prepared, L"\\My Documents\\KVIM\\B261210003.jpg");
    EXPECT_STREQ(CSettings::GetInstance()->CurrentOcrPictureName(), L"B261210003.jpg");
    EXPECT_EQ(CSettings::GetInstance()->CurrentOcrPicturePath(), prepared);
}

TEST_F(FileControl, RecordingsGetVideoNamesNotOcrNames)
{
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    FakeMainFrame frame;
    files->SetOcrPictureOwner(&frame);
    std::wstring path = files->PrepareVideoPath();
    EXPECT_EQ(path, L"\\My Documents\\KVIM\\100QZPIX\\QVT0001.3gp");
    EXPECT_TRUE(frame.name.empty());  // kept out of the OCR result store
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"BCRPictureCount"), 0xDEADBEEFu);
    files->SetOcrPictureOwner(nullptr);
}

TEST_F(FileControl, EmptyStorageFolderNamesFilesAtTheRootWithOneBackslash)
{
    // Storage type 1 chosen while "InStorageFolder" is unset: the folder is "".
    SetDate(2026, 12, 10);
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(1);
    ASSERT_STREQ(files->GetStoragePath(), L"");
    const std::wstring video = files->PrepareVideoPath();
    EXPECT_EQ(video.rfind(L"\\100QZPIX\\QVT", 0), 0u) << video;
    EXPECT_TRUE(std::filesystem::is_directory(root.path() / "100QZPIX"));
    WCHAR name[MAX_PATH], path[MAX_PATH];
    ASSERT_TRUE(files->MakeOcrPictureName(name, path));
    EXPECT_STREQ(path, L"\\B261210001.jpg");
}

TEST_F(FileControl, StorageFolderChoice)
{
    {
        SCOPED_TRACE("no card");
        CSettings::GetInstance()->Load(L"");
        CFileControl* files = CFileControl::GetInstance();
        EXPECT_EQ(files->GetStorageType(), 0);
        EXPECT_STREQ(files->GetStoragePath(), L"My Documents\\KVIM");
        EXPECT_TRUE(std::filesystem::is_directory(Host(L"\\My Documents\\KVIM")));
        EXPECT_FALSE(files->IsInternalPresent());
        CFileControl::ReleaseInstance();
        CSettings::ReleaseInstance();
    }
    {
        SCOPED_TRACE("internal card");
        InsertInternalCard(L"Storage");
        CSettings::GetInstance()->Load(L"");
        CFileControl* files = CFileControl::GetInstance();
        EXPECT_TRUE(files->IsInternalPresent());
        EXPECT_FALSE(files->IsExternalPresent());
        EXPECT_EQ(files->GetStorageType(), 1);
        EXPECT_STREQ(files->GetStoragePath(), L"Storage\\KVIM");
        EXPECT_TRUE(std::filesystem::is_directory(root.path() / "Storage" / "KVIM"));
        SetDate(2026, 12, 10);
        WCHAR name[MAX_PATH], path[MAX_PATH];
        files->MakeOcrPictureName(name, path);
        EXPECT_STREQ(path, L"\\Storage\\KVIM\\B261210001.jpg");
    }
}

TEST_F(FileControl, FreeSpaceIsReportedInKilobytes)
{
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    std::error_code ec;
    auto space = std::filesystem::space(root.path(), ec);
    ASSERT_FALSE(ec);
    DWORD kb = files->GetStorageFreeSpace();
    // The volume moves while other tests write; a loose band is enough.
    EXPECT_NEAR(static_cast<double>(kb), static_cast<double>(std::min<std::uintmax_t>(space.free / 1024, 0xFFFFFFFFu)),
                1024.0 * 1024.0);
    EXPECT_GT(files->GetFreeSpace(nullptr, TRUE), 0u);
}

TEST_F(FileControl, LittleFreeSpace)
{
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    struct Case {
        std::uint64_t bytes;
        DWORD kb;
        BOOL low;
    } cases[] = {
        {0, 0, TRUE},
        {10 * 1024 + 1023, 10, TRUE},
        {11 * 1024, 11, FALSE},
        {1024 * 1024 * 1024, 1024 * 1024, FALSE},
        {std::uint64_t{1} << 43, 0xFFFFFFFFu, FALSE},  // 8 TB: clamped, not wrapped
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        plat::SetFakeFreeSpace(c.bytes);
        EXPECT_EQ(files->GetStorageFreeSpace(), c.kb);
        EXPECT_EQ(files->IsLowSpace(), c.low);
    }
    plat::SetFakeFreeSpace(std::nullopt);
}

TEST_F(FileControl, DcfFoldersAndCameraNames)
{
    CFileControl* files = CFileControl::GetInstance();
    files->SetStorageType(0);
    struct Case {
        int number;
        const wchar_t* folder;
    } cases[] = {{0, L"100QZPIX"}, {1, L"100QZPIX"}, {100, L"100QZPIX"}, {101, L"101QZPIX"}, {250, L"102QZPIX"}};
    for (const Case& c : cases) {
        std::wstring folder = files->MakeDCFFolder(c.number);
        EXPECT_EQ(folder, L"\\My Documents\\KVIM\\" + std::wstring(c.folder));
        EXPECT_TRUE(std::filesystem::is_directory(Host(folder)));
    }
    WCHAR name[MAX_PATH], path[MAX_PATH];
    int first = files->GetDCFNumber();
    files->MakeCameraFileName(0, name, path);
    EXPECT_EQ(std::wstring(name), L"QVT" + std::wstring(first < 10 ? L"000" : L"00") + std::to_wstring(first) + L".jpg");
    EXPECT_EQ(files->GetDCFNumber(), first + 1);
    CFileControl::ReleaseInstance();
    // The number lives on across runs.
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, L"SOFTWARE\\Velmora\\Camera", L"DCFNumber"),
              static_cast<DWORD>(first + 1));
    EXPECT_EQ(CFileControl::GetInstance()->GetDCFNumber(), first + 1);
}

TEST_F(FileControl, LaunchByAnotherProgramNamesOneFile)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kLaunchParametersKey));
    key.SetString(L"FileName", L"clip.jpg");
    key.SetString(L"DefaultDir", L"\\Temp");
    key.Close();
    CSettings::GetInstance()->Load(L"VOR");
    ASSERT_TRUE(CSettings::GetInstance()->IsLaunchedByOther());
    WCHAR name[MAX_PATH], path[MAX_PATH];
    for (int i = 0; i < 2; ++i) {
        CFileControl::GetInstance()->MakeCameraFileName(0, name, path);
        EXPECT_STREQ(name, L"clip.jpg");
        EXPECT_STREQ(path, L"\\Temp\\clip.jpg");
    }
}

TEST_F(FileControl, MmsSizeLimit)
{
    struct Case {
        bool stored;
        DWORD bytes;
        int kb;
    } cases[] = {{false, 0, 285}, {true, 307200, 290}, {true, 0, 0}, {true, 5000, 0}, {true, 20480, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\MMS\\Settings"));
        RegDeleteValueW(key.GetKey(), L"Max Size");
        if (c.stored)
            key.SetDWORD(L"Max Size", c.bytes);
        key.Close();
        EXPECT_EQ(CFileControl::GetInstance()->GetMMSAttachmentMaxSize(), c.kb);
    }
}

}  // namespace
