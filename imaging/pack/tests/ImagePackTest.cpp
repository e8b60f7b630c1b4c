#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "CePtrList.h"
#include "ImagePack.h"
#include "bitmap_probe.h"
#include "lumtest/tempdir.h"
#include "picture_files.h"
#include "plat/device.h"
#include "system.h"

namespace {

// An element with an id, counting its deletion.
class Item : public CeRefCount {
public:
    Item(DWORD id, int* deleted) : id_(id), deleted_(deleted) {}
    ~Item() override { ++*deleted_; }
    DWORD GetUserData() const override { return id_; }

private:
    DWORD id_;
    int* deleted_;
};

std::vector<DWORD> Ids(const CePtrList& list)
{
    std::vector<DWORD> ids;
    for (int i = 0; i < list.GetCount(); ++i)
        ids.push_back(list.GetAt(i)->GetUserData());
    return ids;
}

class SortedList : public CePtrList {
public:
    SortedList() { sorted_ = true; }
};

class ImagePack : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        setenv("LUMOCR_IMAGE_DIR", images.path().c_str(), 1);
        for (int id : {101, 102, 103}) {
            auto png = picturetest::Png(picturetest::HalfRedHalfBlue(8, 6));
            std::ofstream(images.path() / (std::to_string(id) + ".png"), std::ios::binary)
                .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
        }
    }
    void TearDown() override
    {
        CeImagePack::DeleteInstance();
        CSystem::ReleaseInstance();
        unsetenv("LUMOCR_IMAGE_DIR");
    }
    lumtest::TempDir root, images;
};

}  // namespace

TEST(CePtrList, ListOperationsKeepReferences)
{
    int deleted = 0;
    {
        CePtrList list;
        CeRefPtr<Item> a(new Item(1, &deleted)), b(new Item(2, &deleted)), c(new Item(3, &deleted));
        EXPECT_EQ(list.Add(a.get()), 1);
        EXPECT_EQ(list.Add(b.get()), 1);
        EXPECT_EQ(list.InsertAt(0, c.get()), 1);
        EXPECT_EQ(Ids(list), (std::vector<DWORD>{3, 1, 2}));
        EXPECT_EQ(a->GetRefCount(), 2);
        EXPECT_EQ(list.InsertAt(4, a.get()), 0);  // past the count
        EXPECT_EQ(list.Add(nullptr), 0);
        EXPECT_EQ(list.Move(0, 2), 1);  // the element at 2 goes to 0
        EXPECT_EQ(Ids(list), (std::vector<DWORD>{2, 3, 1}));
        EXPECT_EQ(list.Move(1, 1), 0);
        EXPECT_EQ(list.Swap(0, 2), 1);
        EXPECT_EQ(Ids(list), (std::vector<DWORD>{1, 3, 2}));
        EXPECT_EQ(list.Swap(0, 3), 0);
        EXPECT_EQ(list.MoveTo(2, a.get()), 1);
        EXPECT_EQ(Ids(list), (std::vector<DWORD>{3, 2, 1}));
        EXPECT_EQ(list.MoveTo(2, a.get()), 0);  // already there
        CeRefPtr<Item> d(new Item(4, &deleted));
        EXPECT_EQ(list.SetAt(0, d.get()), 1);
        EXPECT_EQ(c->GetRefCount(), 1);
        EXPECT_EQ(list.RemoveAt(0), 1);
        EXPECT_EQ(list.RemoveAt(5), 0);
        EXPECT_EQ(list.GetAt(-1), nullptr);
        EXPECT_EQ(d->GetRefCount(), 1);
    }
    EXPECT_EQ(deleted, 4);  // the list let go of everything
}

TEST(CePtrList, SortedListKeepsIdsAscendingAndTheFirstOfEachId)
{
    int deleted = 0;
    SortedList list;
    CeRefPtr<Item> three(new Item(3, &deleted)), two(new Item(2, &deleted)), one(new Item(1, &deleted));
    CeRefPtr<Item> otherTwo(new Item(2, &deleted));
    for (Item* e : {three.get(), two.get(), one.get()})
        EXPECT_EQ(list.Add(e), 1);
    EXPECT_EQ(list.Add(otherTwo.get()), 1);
    EXPECT_EQ(Ids(list), (std::vector<DWORD>{1, 2, 3}));
    EXPECT_EQ(list.GetAt(1), two.get());
    EXPECT_EQ(otherTwo->GetRefCount(), 1);  // not taken
    // Operations that would break the order are refused.
    EXPECT_EQ(list.InsertAt(0, otherTwo.get()), 0);
    EXPECT_EQ(list.Swap(0, 1), 0);
    EXPECT_EQ(list.Move(0, 1), 0);
    EXPECT_EQ(list.SetAt(0, otherTwo.get()), 0);
}

TEST_F(ImagePack, ImagesAreLoadedOnceAndKeptInIdOrder)
{
    CeImagePack* pack = CeImagePack::GetInstance();
    CRotBitmap* c = pack->GetImage(103);
    CRotBitmap* b = pack->GetImage(102);
    CRotBitmap* a = pack->GetImage(101);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(pack->GetImage(102), b);
    EXPECT_EQ(pack->AddImage(102), b);  // a held id gives the held element
    EXPECT_EQ(Ids(*pack), (std::vector<DWORD>{101, 102, 103}));
    SIZE s = b->GetSize();
    EXPECT_EQ(s.cx, 8);
    EXPECT_EQ(s.cy, 6);
    EXPECT_EQ(pack->GetImage(999), nullptr);
    EXPECT_EQ(pack->GetImage(999), nullptr);  // tried again, not cached
    EXPECT_EQ(pack->GetCount(), 3);

    CeRefPtr<CRotBitmap> kept(b);
    pack->PurgeUnused();
    EXPECT_EQ(Ids(*pack), (std::vector<DWORD>{102}));
}

TEST_F(ImagePack, IdZeroIsTheBlankScreen)
{
    // Before the start-up has read the display there is no screen size.
    EXPECT_EQ(CeImagePack::GetInstance()->GetImage(0), nullptr);
    DEVMODEW mode{};
    CSystem::GetInstance()->GetDisplayOrientation(mode);
    CRotBitmap* blank = CeImagePack::GetInstance()->GetImage(0);
    ASSERT_TRUE(blank);
    SIZE s = blank->GetSize();
    EXPECT_EQ(s.cx, CSystem::GetInstance()->ScreenWidth());
    EXPECT_EQ(s.cy, CSystem::GetInstance()->ScreenHeight());
    BITMAP bm{};
    GetObjectW(blank->Handle(), sizeof bm, &bm);
    EXPECT_EQ(probe::PixelAt(blank->Handle(), 0, 0), RGB(255, 255, 0));
    EXPECT_EQ(probe::PixelAt(blank->Handle(), bm.bmWidth - 1, bm.bmHeight - 1), RGB(255, 255, 0));
}
