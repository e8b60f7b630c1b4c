#include "lum_image_item_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lumtest/tempdir.h"
#include "plat/debug.h"
#include "plat/device.h"

namespace {

class PictureModelTest : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDeviceRoot(root.path()); }

    void Touch(const std::wstring& devicePath, const std::string& bytes = "x")
    {
        auto host = *plat::MapDevicePath(devicePath.c_str());
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host) << bytes;
    }
    bool Exists(const std::wstring& devicePath)
    {
        return std::filesystem::exists(*plat::MapDevicePath(devicePath.c_str()));
    }
    static std::vector<std::wstring> Names(LumImageItemList& list)
    {
        std::vector<std::wstring> names;
        for (int i = 0; i < list.GetCount(); ++i)
            names.push_back(list.GetRecord(i)->GetName());
        return names;
    }

    lumtest::TempDir root;
    LumImageItemList list;
};

TEST(ImageFileItemTest, KindComesFromTheName)
{
    struct Case {
        const wchar_t* name;
        std::int32_t type;
    } cases[] = {
        {L"b0_0001.jpg", ImageFileItem::TYPE_CARD},      // prefix, case ignored
        {L"D0x.jpg", ImageFileItem::TYPE_DOCUMENT},
        {L"B261210001.jpg", ImageFileItem::TYPE_CARD},   // the camera's names after 2009
        {L"d261210001.JPG", ImageFileItem::TYPE_DOCUMENT},
        {L"B26121000.jpg", ImageFileItem::TYPE_OTHER},   // eight digits
        {L"B2612100011.jpg", ImageFileItem::TYPE_OTHER}, // ten digits
        {L"B261210001.png", ImageFileItem::TYPE_OTHER},
        {L"photo.jpg", ImageFileItem::TYPE_OTHER},
        {L"README", ImageFileItem::TYPE_OTHER},          // a file, though it has no dot
        {L"..", ImageFileItem::TYPE_NONE},
        {L"", ImageFileItem::TYPE_NONE},
    };
    for (const Case& c : cases) {
        ImageFileItem item;
        item.SetName(c.name);
        EXPECT_EQ(item.GetType(), c.type) << std::filesystem::path(c.name);
    }
}

TEST(ImageFileItemTest, CopyAssignmentKeepsItsOwnResults)
{
    ResultItem cards[7]{};
    ImageFileItem source;
    source.SetPath(L"\\a\\B0.jpg");
    source.SetMarked(TRUE);
    source.SetResultCards(cards);
    ImageFileItem copy(source);
    EXPECT_EQ(copy.GetResultCards(), cards);
    ImageFileItem assigned;
    assigned = source;
    EXPECT_EQ(assigned.GetPath(), source.GetPath());
    EXPECT_TRUE(assigned.IsMarked());
    EXPECT_EQ(assigned.GetResultCards(), nullptr);
}

TEST(LumImageItemListNameTest, JpegNamesNeedTheirDot)
{
    struct Case {
        const wchar_t* name;
        bool jpeg;
    } cases[] = {{L"scan.JPEG", true}, {L"a.jpg", true}, {L".jpg", true}, {L"xjpg", false},
                 {L"a.jpe", false},    {L"a.jpg.txt", false}, {L"", false}};
    for (const Case& c : cases)
        EXPECT_EQ(LumImageItemList::IsJpegName(c.name), c.jpeg) << std::filesystem::path(c.name);
    EXPECT_FALSE(LumImageItemList::IsJpegName(nullptr));
}

TEST_F(PictureModelTest, RescanListsFoldersThenCardsDocumentsAndOthersAndFiltersCards)
{
    Touch(L"\\KVIM\\photo.jpg");
    Touch(L"\\KVIM\\D0b.jpg");
    Touch(L"\\KVIM\\B0c.JPEG");
    Touch(L"\\KVIM\\B0a.jpg", "abcdef");
    Touch(L"\\KVIM\\notes.txt");
    std::filesystem::create_directories(root.path() / "KVIM" / "sub");
    plat::DebugCapture log;

    list.Rescan(L"\\KVIM");

    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"..", L"sub", L"B0a.jpg", L"B0c.JPEG", L"D0b.jpg", L"photo.jpg"}));
    EXPECT_TRUE(log.Contains(L"[LumOCR] notes.txt\n"));
    EXPECT_EQ(list.GetFilterMode(), LumImageItemList::FILTER_CARDS);
    EXPECT_EQ(list.GetVisibleCount(), 4);
    EXPECT_EQ(list.GetItemAt(0).GetName(), L"..");
    EXPECT_EQ(list.GetItemAt(0).GetPath(), L"\\");
    EXPECT_EQ(list.GetItemAt(2).GetPath(), L"\\KVIM\\B0a.jpg");
    EXPECT_EQ(list.GetItemAt(2).GetFileSize(), 6u);
    EXPECT_EQ(list.GetRecord(1)->GetType(), ImageFileItem::TYPE_NONE);  // a folder, whatever its name
    EXPECT_EQ(list.GetBusinessCardCount(), 2);
    EXPECT_EQ(list.GetDocumentCount(), 1);
    EXPECT_STREQ(list.GetFolderPath(), L"\\KVIM");

    list.SetFilterMode(LumImageItemList::FILTER_DOCUMENTS);
    EXPECT_EQ(list.GetVisibleCount(), 3);
    EXPECT_EQ(list.GetItemAt(2).GetName(), L"D0b.jpg");
    list.SetFilterMode(7);  // stored, no flag changes
    EXPECT_EQ(list.GetVisibleCount(), 3);
    list.SetFilterMode(LumImageItemList::FILTER_ALL);
    EXPECT_EQ(list.GetVisibleCount(), 6);
}

TEST_F(PictureModelTest, TheRootHasNoParentEntryAndAMissingFolderOnlyIt)
{
    Touch(L"\\B0a.jpg");
    list.Rescan(L"\\");
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L"B0a.jpg"});
    list.Rescan(L"\\\\");
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L"B0a.jpg"});
    list.Rescan(L"\\Nowhere\\deeper");
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L".."});
    EXPECT_EQ(list.GetRecord(0)->GetPath(), L"\\Nowhere");
}

TEST_F(PictureModelTest, ItemsOutOfRangeAreFreshEmptyRecords)
{
    Touch(L"\\KVIM\\B0a.jpg");
    list.Rescan(L"\\KVIM");
    for (int index : {-1, 2, 100}) {
        ImageFileItem& empty = list.GetItemAt(index);
        EXPECT_TRUE(empty.IsEmpty());
        empty.SetPath(L"\\changed");
        empty.SetCurrent(TRUE);
        EXPECT_TRUE(list.GetItemAt(index).IsEmpty());
        EXPECT_FALSE(list.GetItemAt(index).IsCurrent());
    }
    // In range, a caller's change reaches the list.
    list.GetItemAt(1).SetMarked(TRUE);
    EXPECT_EQ(list.GetMarkedCount(), 1);
}

TEST_F(PictureModelTest, CurrentAndMarksFollowPositionsInTheWholeList)
{
    for (auto name : {L"B0a.jpg", L"B0b.jpg", L"D0c.jpg"})
        Touch(std::wstring(L"\\KVIM\\") + name);
    list.Rescan(L"\\KVIM");
    EXPECT_EQ(list.FindCurrent(), 0);
    list.SetCurrent(3);  // the document, hidden by the card filter
    EXPECT_EQ(list.FindCurrent(), 3);
    EXPECT_EQ(list.GetCurrentItem().GetName(), L"D0c.jpg");
    list.SetCurrent(-1);
    EXPECT_EQ(list.FindCurrent(), -1);
    EXPECT_TRUE(list.GetCurrentItem().IsEmpty());

    list.MarkVisible();
    EXPECT_EQ(list.GetMarkedCount(), 3);
    list.ToggleMarkedAt(0);
    list.SetMarkedAt(9, TRUE);
    list.ToggleMarkedAt(-1);
    EXPECT_EQ(list.GetMarkedCount(), 2);
    list.MarkAll();
    EXPECT_EQ(list.GetMarkedCount(), 4);
    list.UnmarkAll();
    EXPECT_EQ(list.GetMarkedCount(), 0);
    list.SetVisibleAt(3, TRUE);
    EXPECT_EQ(list.GetVisibleCount(), 4);
}

TEST_F(PictureModelTest, RemovingDeletesFilesOfPicturesOnly)
{
    for (auto name : {L"B0a.jpg", L"B0b.jpg", L"D0c.jpg"})
        Touch(std::wstring(L"\\KVIM\\") + name);
    list.Rescan(L"\\KVIM");
    list.SetMarkedAt(0, TRUE);  // ".."
    list.SetMarkedAt(1, TRUE);  // B0a.jpg
    list.RemoveMarked(TRUE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"B0b.jpg", L"D0c.jpg"}));
    EXPECT_FALSE(Exists(L"\\KVIM\\B0a.jpg"));
    EXPECT_TRUE(Exists(L"\\KVIM"));

    list.RemoveVisible(FALSE);  // the card filter shows B0b.jpg only
    EXPECT_EQ(Names(list), std::vector<std::wstring>{L"D0c.jpg"});
    EXPECT_TRUE(Exists(L"\\KVIM\\B0b.jpg"));

    ImageFileItem item = *list.GetRecord(0);
    list.RemoveItem(item, TRUE);
    EXPECT_EQ(list.GetCount(), 0);
    EXPECT_FALSE(Exists(L"\\KVIM\\D0c.jpg"));
}

TEST_F(PictureModelTest, SortModes)
{
    auto add = [&](const wchar_t* name, DWORD time, std::uint64_t size) {
        list.AddItem(std::wstring(L"\\K\\") + name, name, FILETIME{time, 0}, size, TRUE, FALSE, FALSE);
    };
    add(L"B0b.jpg", 30, 5);
    add(L"photo.jpg", 10, 1);
    add(L"B0a.jpg", 20, 9);
    add(L"D0c.jpg", 40, 3);
    add(L"B0", 50, 7);  // a prefix of the others sorts first

    list.Sort(LumImageItemList::SORT_TIME, FALSE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"photo.jpg", L"B0a.jpg", L"B0b.jpg", L"D0c.jpg", L"B0"}));
    list.Sort(LumImageItemList::SORT_NAME, FALSE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"B0", L"B0a.jpg", L"B0b.jpg", L"D0c.jpg", L"photo.jpg"}));
    list.Sort(LumImageItemList::SORT_NAME, TRUE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"photo.jpg", L"D0c.jpg", L"B0b.jpg", L"B0a.jpg", L"B0"}));
    list.Sort(LumImageItemList::SORT_KIND, FALSE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"photo.jpg", L"D0c.jpg", L"B0b.jpg", L"B0a.jpg", L"B0"}));
    list.Sort(LumImageItemList::SORT_SIZE, FALSE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"photo.jpg", L"D0c.jpg", L"B0b.jpg", L"B0", L"B0a.jpg"}));
    list.Sort(9, TRUE);
    EXPECT_EQ(Names(list), (std::vector<std::wstring>{L"photo.jpg", L"D0c.jpg", L"B0b.jpg", L"B0", L"B0a.jpg"}));
}

TEST_F(PictureModelTest, CardImagesCarryTheirResultsThroughAHandOver)
{
    Touch(L"\\KVIM\\B261210002.jpg", "0123456789");
    Touch(L"\\KVIM\\B261210001.jpg");
    ResultItem cards[3][7]{};
    ResultSubItem subs[3][7]{};
    cards[0][0].type = 0;
    cards[0][1].type = kResultEndType;
    cards[2][0].type = 0;
    cards[2][0].text[0] = L'Z';
    for (int i = 1; i < 7; ++i)
        cards[2][i].type = i;
    subs[2][6].count = 2;
    const WCHAR* names[3] = {L"B261210002.jpg", L"missing.jpg", L"B261210001.jpg"};
    ResultItem* cardPtrs[3] = {cards[0], cards[1], cards[2]};
    ResultSubItem* subPtrs[3] = {subs[0], subs[1], subs[2]};
    std::int32_t count = 3;

    list.LoadCardImages(L"\\KVIM", names, cardPtrs, subPtrs, &count);
    ASSERT_EQ(list.GetCount(), 2);  // the missing picture adds nothing
    EXPECT_STREQ(list.GetFolderPath(), L"\\KVIM\\");
    EXPECT_EQ(list.GetRecord(0)->GetFileSize(), 10u);
    EXPECT_EQ(list.GetRecord(1)->GetResultCards(), cards[2]);

    LumImageItemList installed;
    installed.setInput(list);  // sorts by kind and name: the order changes, the results stay with their pictures
    EXPECT_EQ(installed.GetRecord(0)->GetName(), L"B261210001.jpg");
    EXPECT_EQ(installed.GetRecord(0)->GetResultCards(), cards[2]);
    EXPECT_EQ(installed.GetRecord(1)->GetResultSubCards(), subs[0]);

    // Hand-over of the marked pictures to a client's buffers.
    WCHAR folderOut[MAX_PATH]{};
    std::vector<WCHAR> nameOut(20 * MAX_PATH, L'?');
    std::int32_t markedOut = -1;
    LumImageItemList exporter;
    exporter.SetOutput(folderOut, nameOut.data(), &markedOut);  // rescans the empty folder buffer
    exporter.LoadCardImages(L"\\KVIM", names, cardPtrs, subPtrs, &count);
    exporter.SetMarkedAt(1, TRUE);
    exporter.ExportMarked();
    EXPECT_EQ(count, 1);  // the loading count is the marked count's destination from then on
    EXPECT_EQ(markedOut, -1);
    EXPECT_STREQ(folderOut, L"\\KVIM\\");
    EXPECT_STREQ(nameOut.data(), L"B261210001.jpg");
    EXPECT_EQ(nameOut[MAX_PATH], 0);  // the other name buffers were cleared
}

}  // namespace
