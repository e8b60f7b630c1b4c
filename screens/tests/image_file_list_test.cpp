#include "image_file_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "file_control.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "rot_bitmap.h"
#include "screens_fixture.h"

namespace {

namespace fs = std::filesystem;

// The camera's storage: storage type 0 is the device's own folder.
class ImageFileListTest : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        CFileControl::GetInstance()->SetStorageType(0);
    }
    void TearDown() override
    {
        CImageFileList::ReleaseInstance();
        CFileControl::ReleaseInstance();
        ScreensFixture::TearDown();
    }

    static void SetDCFNumber(int number)
    {
        CFileControl* files = CFileControl::GetInstance();
        while (files->GetDCFNumber() < number)
            files->IncrementDCFNumber();
    }
    fs::path Folder(int k) const
    {
        return root.path() / "My Documents" / "KVIM" / (std::to_string(k) + "QZPIX");
    }
    fs::path Put(int k, const std::string& name, const std::string& content = "x")
    {
        fs::create_directories(Folder(k));
        const fs::path path = Folder(k) / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::set<std::wstring> Names(CImageFileList* list)
    {
        std::set<std::wstring> names;
        for (int i = 0; i < list->GetCount(); ++i) {
            list->SetCurrent(i);
            names.insert(list->GetCurrent()->name);
        }
        list->ResetCurrent();
        return names;
    }
    static unsigned long long Time(const FILETIME& t)
    {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    }
};

TEST_F(ImageFileListTest, FoldersVisitedFollowTheFileNumber)
{
    Put(100, "a.jpg");
    Put(101, "b.jpg");
    Put(102, "c.jpg");
    CImageFileList* list = CImageFileList::GetInstance();

    SetDCFNumber(1);
    EXPECT_EQ(list->Scan(), 1);
    EXPECT_EQ(Names(list), (std::set<std::wstring>{L"a.jpg"}));

    SetDCFNumber(101);
    list->Scan();
    EXPECT_EQ(Names(list), (std::set<std::wstring>{L"a.jpg", L"b.jpg"}));
}

TEST_F(ImageFileListTest, KindsAcrossFoldersNewestFirst)
{
    Put(100, "PIC0001.jpg");
    Put(100, "MOV0002.3gp");
    Put(100, "notes.txt");
    Put(100, "SHOUT.JPG");
    Put(101, "PIC0101.jpg");
    Put(101, "MOV0102.3GP");
    SetDCFNumber(150);
    CImageFileList* list = CImageFileList::GetInstance();
    list->Scan();
    ASSERT_EQ(list->GetCount(), 5);
    EXPECT_EQ(Names(list), (std::set<std::wstring>{L"PIC0001.jpg", L"MOV0002.3gp", L"SHOUT.JPG", L"PIC0101.jpg",
                                                   L"MOV0102.3GP"}));
    for (int i = 0; i < list->GetCount(); ++i) {
        list->SetCurrent(i);
        const CImageFileList::Entry* entry = list->GetCurrent();
        EXPECT_EQ(list->GetKind(i), entry->name.find(L"MOV") == 0 ? IMAGE_KIND_VIDEO : IMAGE_KIND_PICTURE);
        // Each entry carries the time the platform reports for its file.
        WIN32_FIND_DATAW found{};
        HANDLE find = FindFirstFileW(entry->path.c_str(), &found);
        ASSERT_NE(find, INVALID_HANDLE_VALUE) << plat::ToUtf8(entry->path);
        FindClose(find);
        EXPECT_EQ(Time(entry->created), Time(found.ftCreationTime));
        EXPECT_EQ(entry->hash, CImageFileList::HashPath(entry->path));
        if (i > 0) {
            list->SetCurrent(i - 1);
            EXPECT_GE(Time(list->GetCurrent()->created), Time(entry->created));
        }
    }
    EXPECT_EQ(list->GetPath(0).rfind(L"\\My Documents\\KVIM\\10", 0), 0u) << plat::ToUtf8(list->GetPath(0));
}

TEST_F(ImageFileListTest, PathHashIgnoresCase)
{
    EXPECT_EQ(CImageFileList::HashPath(L""), 0u);
    EXPECT_EQ(CImageFileList::HashPath(L"a"), static_cast<DWORD>(L'A'));
    EXPECT_EQ(CImageFileList::HashPath(L"ab"), static_cast<DWORD>(L'A' * 33 + L'B'));
    EXPECT_EQ(CImageFileList::HashPath(L"\\x\\Pic.jpg"), CImageFileList::HashPath(L"\\X\\PIC.JPG"));
}

TEST_F(ImageFileListTest, SteppingWrapsAndNeedsTwoEntries)
{
    Put(100, "a.jpg");
    CImageFileList* list = CImageFileList::GetInstance();
    list->Scan();
    ASSERT_EQ(list->GetCount(), 1);
    EXPECT_FALSE(list->MoveNext());
    EXPECT_FALSE(list->MovePrev());
    EXPECT_EQ(list->PrepareNextThumbnail(), nullptr);
    EXPECT_EQ(list->GetCurrentIndex(), 0);

    Put(100, "b.jpg");
    Put(100, "c.jpg");
    list->Scan();
    ASSERT_EQ(list->GetCount(), 3);
    EXPECT_TRUE(list->MovePrev());  // before the first: the last
    EXPECT_EQ(list->GetCurrentIndex(), 2);
    EXPECT_TRUE(list->MoveNext());  // past the last: the first
    EXPECT_EQ(list->GetCurrentIndex(), 0);
    EXPECT_FALSE(list->SetCurrent(3));
    EXPECT_FALSE(list->SetCurrent(-1));
    EXPECT_EQ(list->GetCurrentIndex(), 0);
    EXPECT_EQ(list->GetKind(3), IMAGE_KIND_NONE);
    EXPECT_EQ(list->GetPath(3), L"");
    EXPECT_FALSE(list->SetMarked(3, TRUE));
    EXPECT_FALSE(list->DeleteAt(3));
    EXPECT_EQ(list->MakePictureThumbnail(-1), nullptr);
}

TEST_F(ImageFileListTest, DeletingTheCurrentLastEntryMakesTheFirstCurrent)
{
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
        Put(100, name);
    CImageFileList* list = CImageFileList::GetInstance();
    list->Scan();
    ASSERT_TRUE(list->SetCurrent(2));
    const std::wstring last = list->GetPath(2);
    ASSERT_TRUE(plat::MapDevicePath(last.c_str()));
    const fs::path host = *plat::MapDevicePath(last.c_str());
    EXPECT_TRUE(list->DeleteCurrent());
    EXPECT_EQ(list->GetCount(), 2);
    EXPECT_EQ(list->GetCurrentIndex(), 0);
    EXPECT_FALSE(fs::exists(host));

    // Removing keeps the file.
    const fs::path kept = *plat::MapDevicePath(list->GetPath(0).c_str());
    EXPECT_TRUE(list->RemoveAt(0));
    EXPECT_EQ(list->GetCount(), 1);
    EXPECT_TRUE(fs::exists(kept));

    // A file that has gone already still leaves the list.
    fs::remove(*plat::MapDevicePath(list->GetPath(0).c_str()));
    EXPECT_TRUE(list->DeleteAt(0));
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurrent(), nullptr);
}

TEST_F(ImageFileListTest, MarksSurviveSteppingAndAreClearedByAScan)
{
    Put(100, "a.jpg");
    Put(100, "b.jpg");
    CImageFileList* list = CImageFileList::GetInstance();
    list->Scan();
    EXPECT_TRUE(list->SetMarked(1, TRUE));
    list->MoveNext();
    EXPECT_TRUE(list->IsMarked(1));
    EXPECT_FALSE(list->IsMarked(0));
    list->Scan();
    EXPECT_FALSE(list->IsMarked(1));
    list->Clear();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetCurrentIndex(), 0);
}

TEST_F(ImageFileListTest, PictureWithoutItsOwnThumbnailIsDecodedToTheScreenSize)
{
    RegisterPictureDecoders();
    std::ifstream in(LUM_TESTDATA "/cards/card-msr-zorn.jpg", std::ios::binary);  // 1512 x 2016, no thumbnail
    ASSERT_TRUE(in.good());
    Put(100, "card.jpg", std::string(std::istreambuf_iterator<char>(in), {}));
    Put(100, "broken.jpg", "not a picture");
    CImageFileList* list = CImageFileList::GetInstance();
    list->Scan();
    ASSERT_EQ(list->GetCount(), 2);
    const int card = list->GetPath(0).find(L"card") != std::wstring::npos ? 0 : 1;

    CRotBitmap* thumbnail = list->MakePictureThumbnail(card);
    ASSERT_NE(thumbnail, nullptr);
    SIZE size = thumbnail->GetSize();
    EXPECT_EQ(size.cx, 180);
    EXPECT_EQ(size.cy, 240);
    EXPECT_EQ(list->MakePictureThumbnail(card), thumbnail);  // made once

    EXPECT_EQ(list->MakePictureThumbnail(1 - card), nullptr);
    list->SetCurrent(1 - card);
    EXPECT_FALSE(list->CreateCurrentImage());

    list->SetCurrent(card);
    CeRefPtr<CRotImage> image = list->CreateCurrentImage();
    ASSERT_TRUE(image);
    size = image->GetSize();
    EXPECT_EQ(size.cx * 4, size.cy * 3);

    list->ReleaseThumbnail(card);
    EXPECT_NE(list->MakeCurrentThumbnail(), nullptr);
}

}  // namespace
