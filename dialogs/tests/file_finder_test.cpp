#include "file_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace {

namespace fs = std::filesystem;

TEST(FileFinderMask, Table)
{
    struct Case {
        LPCWSTR mask;
        LPCWSTR name;
        BOOL match;
    } cases[] = {
        {L"*.jpg", L"a.jpg", TRUE},
        {L"*.jpg", L"A.JPG", TRUE},  // the device finds names without regard to case
        {L"*.jpg", L"a.jpeg", FALSE},
        {L"*.jpg", L"a.jpg.bak", FALSE},
        {L"*.jpg", L".jpg", TRUE},
        {L"*", L"anything", TRUE},
        {L"*", L"", TRUE},
        {L"?", L"x", TRUE},
        {L"?", L"", FALSE},
        {L"?", L"xy", FALSE},
        {L"IMG?", L"IM", FALSE},
        {L"IMG?", L"IMG", FALSE},
        {L"IMG?", L"IMGx", TRUE},
        {L"IMG?", L"IMG12", FALSE},
        {L"IMG?", L"XIMG1", FALSE},
        {L"a*b*c", L"aXXbYYc", TRUE},
        {L"a*b*c", L"acb", FALSE},  // segments in order
        {L"a*a", L"a", FALSE},      // head and tail may not overlap
        {L"*ab*ab", L"abab", TRUE},
        {L"", L"", TRUE},
        {L"", L"a", FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFileFinder::MatchMask(c.mask, c.name), c.match) << "mask '" << plat::ToUtf8(c.mask) << "' name '"
                                                                    << plat::ToUtf8(c.name) << "'";
}

TEST(FileFinderMask, Lists)
{
    struct Case {
        LPCWSTR masks;
        LPCWSTR name;
        BOOL match;
    } cases[] = {
        {L"*.jpg;*.jpeg", L"a.jpg", TRUE},
        {L"*.jpg;*.jpeg", L"b.jpeg", TRUE},
        {L"*.jpg;*.jpeg", L"c.png", FALSE},
        {L"", L"a.jpg", FALSE},   // an empty list matches nothing
        {L"", L"", FALSE},
        {L"a;;b", L"", TRUE},     // an empty mask between two ';' matches an empty name only
        {L"a;;b", L"c", FALSE},
        {L" a", L"a", FALSE},     // masks are taken as written
        {L"x;*.3GP", L"m.3gp", TRUE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFileFinder::MatchMaskList(c.masks, c.name), c.match)
            << "masks '" << plat::ToUtf8(c.masks) << "' name '" << plat::ToUtf8(c.name) << "'";
}

TEST(FileFinderPath, Combine)
{
    struct Case {
        LPCWSTR folder;
        LPCWSTR name;
        LPCWSTR path;
    } cases[] = {
        {L"\\a", L"b.jpg", L"\\a\\b.jpg"},
        {L"\\a\\", L"b.jpg", L"\\a\\b.jpg"},
        {L"a", L"b", L"a\\b"},
        {L"", L"b", L"b"},
        {L"\\a", L"", L"\\a"},
        {L"\\", L"*", L"\\*"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CFileFinder::CombinePath(c.folder, c.name), c.path);
}

class FileFinderTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDeviceRoot(root.path()); }

    void Put(const std::string& relative, size_t bytes)
    {
        const fs::path path = root.path() / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
    }

    static std::vector<std::wstring> Names(const CFileFinder& finder)
    {
        std::vector<std::wstring> names;
        for (const auto& entry : finder.Entries())
            names.push_back(CFileFinder::CombinePath(entry.folder, entry.findData.cFileName));
        return names;
    }
    static std::vector<std::wstring> Sorted(std::vector<std::wstring> names)
    {
        std::sort(names.begin(), names.end());
        return names;
    }

    lumtest::TempDir root;
};

TEST_F(FileFinderTest, CollectsMatchingFilesAndAddsTheirSizes)
{
    Put("pics/a.jpg", 10);
    Put("pics/b.jpeg", 20);
    Put("pics/c.png", 40);
    Put("pics/d.JPG", 80);
    Put("pics/skip.jpg", 160);
    FileFindSettings request;
    request.root = L"\\pics";
    request.includeMasks = L"*.jpg;*.jpeg";
    request.excludeMasks = L"skip*";
    CFileFinder finder(request);
    finder.Find();
    EXPECT_EQ(Sorted(Names(finder)), (std::vector<std::wstring>{L"\\pics\\a.jpg", L"\\pics\\b.jpeg", L"\\pics\\d.JPG"}));
    EXPECT_EQ(finder.TotalSize(), 110u);

    finder.Find();  // again from empty results
    EXPECT_EQ(finder.Entries().size(), 3u);
    EXPECT_EQ(finder.TotalSize(), 110u);
}

TEST_F(FileFinderTest, FoldersRecursionAndExcludes)
{
    Put("top/a.txt", 1);
    Put("top/sub/b.txt", 2);
    Put("top/sub/deeper/c.txt", 4);
    Put("top/tmp/d.txt", 8);

    FileFindSettings request;
    request.root = L"\\top";
    request.recurse = 1;
    request.includeFolders = 1;
    request.includeMasks = L"*.txt";
    request.folderExcludeMasks = L"TMP";  // neither entered nor collected
    CFileFinder finder(request);
    finder.Find();
    const std::vector<std::wstring> names = Names(finder);
    EXPECT_EQ(Sorted(names), (std::vector<std::wstring>{L"\\top\\a.txt", L"\\top\\sub", L"\\top\\sub\\b.txt",
                                                        L"\\top\\sub\\deeper", L"\\top\\sub\\deeper\\c.txt"}));
    // A folder's contents come before the folder itself.
    auto at = [&](LPCWSTR name) { return std::find(names.begin(), names.end(), name) - names.begin(); };
    EXPECT_LT(at(L"\\top\\sub\\deeper\\c.txt"), at(L"\\top\\sub\\deeper"));
    EXPECT_LT(at(L"\\top\\sub\\deeper"), at(L"\\top\\sub"));
    EXPECT_LT(at(L"\\top\\sub\\b.txt"), at(L"\\top\\sub"));

    // No include masks: no file, but the folders still.
    request.includeMasks.clear();
    CFileFinder foldersOnly(request);
    foldersOnly.Find();
    EXPECT_EQ(Sorted(Names(foldersOnly)), (std::vector<std::wstring>{L"\\top\\sub", L"\\top\\sub\\deeper"}));

    // Without recursion nothing below the root is read.
    request.includeMasks = L"*";
    request.recurse = 0;
    request.includeFolders = 0;
    CFileFinder flat(request);
    flat.Find();
    EXPECT_EQ(Names(flat), (std::vector<std::wstring>{L"\\top\\a.txt"}));
}

TEST_F(FileFinderTest, MissingRootFindsNothing)
{
    FileFindSettings request;
    request.root = L"\\nowhere";
    request.includeMasks = L"*";
    CFileFinder finder(request);
    finder.Find();
    EXPECT_TRUE(finder.Entries().empty());
    EXPECT_EQ(finder.TotalSize(), 0u);
}

TEST_F(FileFinderTest, CancelWordKeepsWhatWasFound)
{
    for (int i = 0; i < 5; ++i)
        Put("c/f" + std::to_string(i) + ".txt", 1);
    volatile LONG cancel = 1;
    FileFindSettings request;
    request.root = L"\\c";
    request.includeMasks = L"*";
    request.cancelFlag = &cancel;
    CFileFinder finder(request);
    finder.Find();
    EXPECT_TRUE(finder.Entries().empty());

    cancel = 0;
    finder.Find();
    EXPECT_EQ(finder.Entries().size(), 5u);
}

}  // namespace
