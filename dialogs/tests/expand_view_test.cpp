#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "dialog_doubles.h"
#include "dialog_messages.h"
#include "expand_view_impl.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::Pump;
using dlgtest::Turn;

HBITMAP Solid(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
}

TEST(FitPictureSize, NeverEnlargesAndKeepsProportions)
{
    struct Case {
        SIZE size, bounds, expected;
    } cases[] = {
        {{100, 50}, {240, 308}, {100, 50}},      // smaller in both
        {{200, 400}, {240, 308}, {154, 308}},    // higher only
        {{1280, 960}, {240, 308}, {240, 180}},   // wider only
        {{1280, 960}, {400, 152}, {202, 152}},   // larger in both, wide: width first, then the height
        {{960, 1280}, {240, 308}, {231, 308}},   // larger in both, tall: height first
        {{240, 308}, {240, 180}, {140, 180}},    // the portrait zoom window
        {{0, 10}, {5, 5}, {1, 5}},               // no side below 1
    };
    for (const Case& c : cases) {
        SIZE got = FitPictureSize(c.size, c.bounds);
        EXPECT_EQ(got.cx, c.expected.cx) << c.size.cx << "x" << c.size.cy << " in " << c.bounds.cx << "x" << c.bounds.cy;
        EXPECT_EQ(got.cy, c.expected.cy) << c.size.cx << "x" << c.size.cy << " in " << c.bounds.cx << "x" << c.bounds.cy;
    }
}

TEST(PictureCache, EvictsTheLeastRecentlyUsed)
{
    std::map<std::wstring, int> decodes;
    PictureCache cache(2, [&](const std::wstring& path, int w, int h) -> HBITMAP {
        ++decodes[path];
        return path == L"bad" ? nullptr : Solid(w, h);
    });
    cache.SetSize(8, 6);
    for (const WCHAR* path : {L"a", L"b", L"a", L"c", L"a", L"b"})
        EXPECT_TRUE(cache.Get(path)) << plat::ToUtf8(path);
    EXPECT_EQ(decodes[L"a"], 1) << "a was used last before c came";
    EXPECT_EQ(decodes[L"b"], 2) << "b was the oldest when c came";
    EXPECT_EQ(decodes[L"c"], 1);
    EXPECT_EQ(cache.Count(), 2u);
    EXPECT_FALSE(cache.Get(L"bad"));
    EXPECT_FALSE(cache.Get(L"bad"));
    EXPECT_EQ(decodes[L"bad"], 2) << "a failure is not kept";
    EXPECT_EQ(cache.Count(), 2u);
    cache.SetSize(4, 3);
    EXPECT_EQ(cache.Count(), 0u) << "bitmaps of the old size go";
}

class ExpandViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        Turn(DMDO_0);
        fs::create_directories(root.path() / "Docs");
        list()->RemoveAll(FALSE);
        list()->SetFilterMode(LumImageItemList::FILTER_ALL);
    }
    void TearDown() override
    {
        view.reset();
        Pump();
        list()->RemoveAll(FALSE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        plat::CloseRegistry();
        plat::UseRealClock();
    }
    static LumImageItemList* list() { return LumImageItemList::GetInstance(); }

    // Pictures (a file each) and folders ("/" at the end) in list order.
    void Fill(const std::vector<std::wstring>& names, int current, int marked = 0)
    {
        for (size_t i = 0; i < names.size(); ++i) {
            bool folder = names[i].ends_with(L"/");
            std::wstring name = folder ? names[i].substr(0, names[i].size() - 1) : names[i];
            if (!folder)
                std::ofstream(root.path() / "Docs" / plat::ToUtf8(name)) << "jpeg";
            ImageFileItem item;
            item.SetPath(L"\\Docs\\" + name);
            item.SetName(name);
            if (folder)
                item.SetType(ImageFileItem::TYPE_NONE);
            item.SetVisible(TRUE);
            item.SetCurrent(static_cast<int>(i) == current);
            item.SetMarked(static_cast<int>(i) < marked);
            list()->AddItem(item);
        }
    }
    void Open(int mode = 0, bool fullDecodes = true)
    {
        view = std::make_unique<CExpandViewDialog>();
        view->SetMode(mode);
        view->SetInactivity(&inactivity);
        // A 4:3 picture as wide as the area.
        view->SetDecoders([](const std::wstring&, int w, int) { return Solid(w, w * 3 / 4); },
                          [fullDecodes](const std::wstring&, int, int) { return fullDecodes ? Solid(1280, 960) : nullptr; });
        ASSERT_TRUE(view->Create(nullptr));
        ShowWindow(*view, SW_SHOW);
        UpdateWindow(*view);
        Pump();
    }
    void Key(WPARAM key)
    {
        SendMessageW(*view, WM_KEYDOWN, key, 0);
        UpdateWindow(*view);
        Pump();
    }
    void Pen(UINT message, int x, int y)
    {
        SendMessageW(*view, message, 0, MAKELPARAM(x, y));
        UpdateWindow(*view);
        Pump();
    }
    std::wstring CurrentName() { return list()->GetCurrentItem().GetName(); }

    lumtest::TempDir root;
    int inactivity = 0;
    std::unique_ptr<CExpandViewDialog> view;
};

TEST_F(ExpandViewTest, ZoomStepsStopAtSixAndZoomOutLeavesAtZero)
{
    Fill({L"D01.jpg"}, 0);
    Open();
    RECT previous{};
    for (int i = 0; i < 8; ++i) {
        Key(VK_UP);
        ASSERT_TRUE(view->Zoomed());
        RECT w = view->ZoomWindow();
        EXPECT_TRUE(w.left >= 0 && w.top >= 0 && w.right <= 1280 && w.bottom <= 960) << "step " << view->ZoomStep();
        if (i > 0 && i < 7) {
            EXPECT_LT(w.right - w.left, previous.right - previous.left) << "each step shows less";
        }
        previous = w;
    }
    EXPECT_EQ(view->ZoomStep(), 6);
    for (int i = 0; i < 6; ++i)
        Key(VK_F6);
    EXPECT_TRUE(view->Zoomed());
    EXPECT_EQ(view->ZoomStep(), 0);
    Key(VK_DOWN);
    EXPECT_FALSE(view->Zoomed());
    EXPECT_EQ(inactivity, kInactivityReset);
}

TEST_F(ExpandViewTest, WithoutAFullDecodeTheZoomKeysDoNothing)
{
    Fill({L"D01.jpg"}, 0);
    Open(0, false);
    Key(VK_UP);
    Key(VK_F7);
    EXPECT_FALSE(view->Zoomed());
}

TEST_F(ExpandViewTest, ASwipePastAThirdStepsAndAShorterOneZooms)
{
    // The portrait picture area is 240 wide: a third is 80.
    struct Case {
        int from, to;
        std::wstring current;
        bool zoomed;
    } cases[] = {
        {50, 130, L"D02.jpg", true},   // exactly a third: a tap
        {50, 131, L"D01.jpg", false},  // rightwards: the previous picture
        {200, 119, L"D03.jpg", false}, // leftwards: the next one
    };
    for (const Case& c : cases) {
        list()->RemoveAll(FALSE);
        Fill({L"D01.jpg", L"D02.jpg", L"D03.jpg"}, 1);
        Open();
        Pen(WM_LBUTTONDOWN, c.from, 200);
        Pen(WM_LBUTTONUP, c.to, 200);
        EXPECT_EQ(CurrentName(), c.current) << c.from << " to " << c.to;
        EXPECT_EQ(view->Zoomed(), c.zoomed) << c.from << " to " << c.to;
        view.reset();
        Pump();
    }
}

TEST_F(ExpandViewTest, SteppingWrapsOverFoldersAndEndsInAListOfFolders)
{
    Fill({L"up/", L"D01.jpg", L"D02.jpg", L"sub/"}, 2);
    Open();
    Key(VK_RIGHT);
    EXPECT_EQ(CurrentName(), L"D01.jpg") << "past the folders, wrapping to the start";
    Key(VK_LEFT);
    EXPECT_EQ(CurrentName(), L"D02.jpg");

    view.reset();
    list()->RemoveAll(FALSE);
    Fill({L"a/", L"b/"}, 0);
    Open();
    Key(VK_RIGHT);  // must come back
    EXPECT_EQ(list()->GetCount(), 2);
}

TEST_F(ExpandViewTest, MarksStopAtTwentyWithANotice)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < 21; ++i)
        names.push_back(L"D" + std::to_wstring(100 + i) + L".jpg");
    Fill(names, 20, 20);
    Open();
    RECT box{65, 10, 88, 33};  // the portrait mark box
    Pen(WM_LBUTTONDOWN, box.left + 5, box.top + 5);
    EXPECT_FALSE(list()->GetCurrentItem().IsMarked());
    EXPECT_TRUE(view->PopupShown());
    EXPECT_TRUE(CLayoutManager::GetInstance()->IsBusy());
    Pen(WM_LBUTTONDOWN, box.left + 5, box.top + 5);
    EXPECT_FALSE(list()->GetCurrentItem().IsMarked()) << "input waits for the notice";
    plat::AdvanceClock(kPopupCloseMs + 10);
    Pump();
    EXPECT_FALSE(view->PopupShown());
    EXPECT_FALSE(CLayoutManager::GetInstance()->IsBusy());

    Key(VK_RIGHT);  // a marked picture
    Pen(WM_LBUTTONDOWN, box.left + 5, box.top + 5);
    EXPECT_FALSE(list()->GetCurrentItem().IsMarked());
    EXPECT_EQ(list()->GetMarkedCount(), 19);
    EXPECT_FALSE(view->PopupShown());
}

TEST_F(ExpandViewTest, DeleteRemovesTheFileAndEndsWithOne)
{
    struct Case {
        std::vector<std::wstring> names;
        int current;
        std::wstring next;
    } cases[] = {
        {{L"D01.jpg", L"D02.jpg", L"D03.jpg"}, 1, L"D03.jpg"},
        {{L"D01.jpg", L"D02.jpg", L"D03.jpg"}, 2, L"D02.jpg"},
        {{L"D01.jpg", L"D02.jpg"}, 1, L"D01.jpg"},
    };
    for (const Case& c : cases) {
        list()->RemoveAll(FALSE);
        fs::remove_all(root.path() / "Docs");
        fs::create_directories(root.path() / "Docs");
        Fill(c.names, c.current);
        Open();
        std::string gone = plat::ToUtf8(c.names[static_cast<size_t>(c.current)]);
        SendMessageW(*view, WM_COMMAND, CMD_EXPAND_DELETE, 0);
        EXPECT_EQ(view->EndResult(), EXPAND_VIEW_OTHER);
        EXPECT_FALSE(fs::exists(root.path() / "Docs" / gone)) << gone;
        EXPECT_EQ(list()->GetCount(), static_cast<int>(c.names.size()) - 1);
        EXPECT_EQ(CurrentName(), c.next) << gone;
        view.reset();
        Pump();
    }
    // Nothing visible is current: nothing is deleted.
    list()->RemoveAll(FALSE);
    Fill({L"D01.jpg", L"D02.jpg"}, -1);
    Open();
    SendMessageW(*view, WM_COMMAND, CMD_EXPAND_DELETE, 0);
    EXPECT_EQ(view->EndResult(), -1);
    EXPECT_EQ(list()->GetCount(), 2);
}

TEST_F(ExpandViewTest, MenusAndEndCodesByMode)
{
    struct Case {
        int mode;
        UINT menu;
        WORD command;
        INT_PTR end;
    } cases[] = {
        {EXPAND_MODE_RESULTS, IDM_EXPAND_RESULTS, CMD_EXPAND_THUMBNAIL, EXPAND_VIEW_OTHER},
        {EXPAND_MODE_RESULTS, IDM_EXPAND_RESULTS, CMD_EXPAND_RESULT, EXPAND_VIEW_BACK},
        {1, IDM_EXPAND_GALLERY, CMD_EXPAND_THUMBNAIL, EXPAND_VIEW_BACK},
    };
    for (const Case& c : cases) {
        list()->RemoveAll(FALSE);
        Fill({L"D01.jpg"}, 0);
        Open(c.mode);
        EXPECT_EQ(view->MenuBarId(), c.menu);
        SendMessageW(*view, WM_COMMAND, c.command, 0);
        EXPECT_EQ(view->EndResult(), c.end) << c.mode << " " << c.command;
        view.reset();
        Pump();
    }
    Fill({L"D01.jpg"}, 0);
    Open();
    Key(VK_F4);
    EXPECT_EQ(view->EndResult(), EXPAND_VIEW_EXIT);
}

TEST_F(ExpandViewTest, TheVolumeKeysAreLentAndGivenBack)
{
    HWND holder = dlgtest::CreateRecordingParent();
    ASSERT_TRUE(RegisterHotKey(holder, 2, 0, VK_F6));
    ASSERT_TRUE(RegisterHotKey(holder, 3, 0, VK_F7));
    Fill({L"D01.jpg"}, 0);
    Open();
    EXPECT_FALSE(plat::FindHotKey(0, VK_F6, nullptr, nullptr)) << "free for the view while it runs";
    EXPECT_FALSE(plat::FindHotKey(0, VK_F7, nullptr, nullptr));
    view.reset();
    Pump();
    HWND back = nullptr;
    int id = 0;
    ASSERT_TRUE(plat::FindHotKey(0, VK_F7, &back, &id));
    EXPECT_EQ(back, holder);
    EXPECT_EQ(id, 3);
    EXPECT_TRUE(plat::FindHotKey(0, VK_F6, nullptr, nullptr));
    UnregisterHotKey(holder, 2);
    UnregisterHotKey(holder, 3);
    DestroyWindow(holder);
}

TEST_F(ExpandViewTest, ADragMovesTheZoomWindowAndADoubleTapLeaves)
{
    Fill({L"D01.jpg"}, 0);
    Open();
    Key(VK_UP);
    RECT before = view->ZoomWindow();
    Pen(WM_MOUSEMOVE, 120, 200);
    Pen(WM_MOUSEMOVE, 100, 190);
    Pen(WM_LBUTTONUP, 100, 190);
    RECT after = view->ZoomWindow();
    EXPECT_GT(after.left, before.left) << "the pen went left: the window goes right";
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    Pen(WM_LBUTTONUP, 100, 190);
    EXPECT_FALSE(view->Zoomed()) << "the second tap within 300 ms";
}

}  // namespace
