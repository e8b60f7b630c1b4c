#include "thumbnail_grid.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>

#include "dialog_doubles.h"
#include "expand_view_dialog.h"
#include "gallery_messages.h"
#include "layout_manager.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"
#include "plat/windows.h"

namespace fs = std::filesystem;

namespace {

using dlgtest::MessagesOf;
using dlgtest::Pump;
using dlgtest::Turn;

LPARAM Pen(POINT p) { return MAKELPARAM(p.x, p.y); }

TEST(GridPages, PositionCounts)
{
    struct Case {
        int items, columns;
        bool portrait;
        int positions;
    } cases[] = {
        {7, 2, true, 2},    // four rows, three shown
        {7, 4, false, 2},   // two rows, one shown
        {6, 2, true, 1},    //
        {1, 2, true, 1},    // never below one
        {0, 4, false, 1},   //
        {5, 0, true, 1},    // no columns yet
        {21, 4, false, 6},  //
    };
    for (const Case& c : cases)
        EXPECT_EQ(GridPages::PositionCount(c.items, c.columns, c.portrait), c.positions)
            << c.items << " items, " << c.columns << " columns";
}

TEST(GridArrow, WalksTheCellsAndStaysOnTheItems)
{
    struct Case {
        const char* what;
        WPARAM key;
        int columns, rows, items, positions;
        GridCell from;
        int index;  // visible index reached, after the clamp
    } cases[] = {
        // Portrait, 7 items (2 x 3, two positions).
        {"right from 2", VK_RIGHT, 2, 3, 7, 2, {0, 2}, 3},
        {"right from 3: the view's first cell", VK_RIGHT, 2, 3, 7, 2, {0, 3}, 0},
        {"left from 2: the end of its row", VK_LEFT, 2, 3, 7, 2, {0, 2}, 3},
        {"up from 1 at the top: the last item", VK_UP, 2, 3, 7, 2, {0, 1}, 6},
        {"down from 6 at the end: the first item", VK_DOWN, 2, 3, 7, 2, {1, 4}, 0},
        {"left on the last item in the first column", VK_LEFT, 2, 3, 7, 2, {1, 4}, 6},
        {"right on the last item in the first column", VK_RIGHT, 2, 3, 7, 2, {1, 4}, 6},
        {"left at the last position, a full row above the last", VK_LEFT, 2, 3, 7, 2, {1, 2}, 5},
        {"down past the items: the first item", VK_DOWN, 2, 3, 7, 2, {0, 5}, 0},
        // Landscape (4 x 1).
        {"left in the first column of a full last row", VK_LEFT, 4, 1, 8, 2, {1, 0}, 7},
        {"left in the first column of a short last row", VK_LEFT, 4, 1, 7, 2, {1, 0}, 6},
        {"left when everything fits one row", VK_LEFT, 4, 1, 3, 1, {0, 0}, 2},
        // Fewer items than the view: the result is clamped onto them.
        {"up from 0 with three items", VK_UP, 2, 3, 3, 1, {0, 0}, 2},
        {"up from 0 with four items", VK_UP, 2, 3, 4, 1, {0, 0}, 3},
    };
    for (const Case& c : cases) {
        GridCell to = GridArrow(c.key, c.columns, c.rows, c.items, c.positions, c.from);
        int index = std::clamp(to.position * c.columns + to.offset, 0, c.items - 1);
        EXPECT_EQ(index, c.index) << c.what;
    }
}

class GridTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::UseVirtualClock();
        plat::SetDeviceRoot(root.path());
        Turn(DMDO_0);
        fs::create_directories(root.path() / "Pics");
        model.SetFilterMode(LumImageItemList::FILTER_ALL);
    }
    void TearDown() override
    {
        grid.reset();
        if (parent)
            DestroyWindow(parent);
        Pump();
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        Turn(DMDO_0);
        plat::UseRealClock();
    }

    // Pictures D000000001.jpg ... and sub-folders named by `folders`.
    void MakePictures(int count, const std::vector<std::string>& folders = {})
    {
        for (int i = 1; i <= count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "D%09d.jpg", i);
            std::ofstream(root.path() / "Pics" / name) << "not a picture";
        }
        for (const std::string& f : folders)
            fs::create_directories(root.path() / "Pics" / f);
    }
    void Open()
    {
        model.Rescan(L"\\Pics");
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        parent = dlgtest::CreateRecordingParent(screen.right, screen.bottom);
        POINT at{};
        SIZE size{};
        CLayoutManager::GetInstance()->GetPosition(30020, &at);
        CLayoutManager::GetInstance()->GetSize(30020, &size);
        grid = std::make_unique<CThumbnailGrid>();
        ASSERT_TRUE(grid->Attach(dlgtest::CreateChild(parent, 30020, {at.x, at.y, at.x + size.cx, at.y + size.cy})));
        grid->SetFilter(LumImageItemList::FILTER_ALL);
        grid->Load(&model, false);
        grid->Cache().SetDecoder([this](const std::wstring& path, int w, int h) {
            ++decodes[path];
            BITMAPINFO info{};
            info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
        });
        grid->SetExpandRunner([this](int state) {
            zoomStates.push_back(state);
            return zoomAnswer;
        });
        grid->SetEndGallery([this](INT_PTR code) { ended.push_back(code); });
        dlgtest::ParentMessages().clear();
    }
    // A point of the cell of a visible index at the current position.
    POINT CellPoint(int index, POINT inCell = {50, 50}) const
    {
        std::vector<POINT> origins;
        CLayoutManager::GetInstance()->GetPointList(30020, &origins);
        const GridPaging& g = grid->Paging();
        POINT o = origins[static_cast<size_t>(index - g.position * g.columns)];
        return POINT{o.x + inCell.x, o.y + inCell.y};
    }
    void Tap(POINT p)
    {
        SendMessageW(*grid, WM_LBUTTONDOWN, MK_LBUTTON, Pen(p));
        SendMessageW(*grid, WM_LBUTTONUP, 0, Pen(p));
    }
    void Paint()
    {
        InvalidateRect(*grid, nullptr, FALSE);
        UpdateWindow(*grid);
    }
    std::wstring Name(int index) { return model.GetItemAt(index).GetName(); }
    std::wstring CurrentName() { return model.GetCurrentItem().GetName(); }

    lumtest::TempDir root;
    LumImageItemList model;
    HWND parent = nullptr;
    std::unique_ptr<CThumbnailGrid> grid;
    std::map<std::wstring, int> decodes;
    std::vector<int> zoomStates;
    INT_PTR zoomAnswer = EXPAND_VIEW_OTHER;
    std::vector<INT_PTR> ended;
};

TEST_F(GridTest, SevenPicturesPageByOrientation)
{
    MakePictures(6);  // and the parent entry: seven items
    Open();
    EXPECT_EQ(grid->Paging().itemCount, 7);
    EXPECT_EQ(grid->Paging().columns, 2);
    EXPECT_EQ(grid->Paging().positionCount, 2);
    Turn(DMDO_270);
    grid->Relayout();
    EXPECT_EQ(grid->Paging().columns, 4);
    EXPECT_EQ(grid->Paging().positionCount, 2);
}

TEST_F(GridTest, TheLeastRecentlyDrawnThumbnailGoesFirst)
{
    Turn(DMDO_270);  // four cells a view
    MakePictures(23);
    Open();          // ".." and 23 pictures: six positions
    for (int p = 0; p < grid->Paging().positionCount; ++p) {
        grid->SetPosition(p);
        Paint();
    }
    EXPECT_EQ(grid->Cache().Count(), CThumbnailCache::kCapacity);
    for (auto& [path, count] : decodes)
        EXPECT_EQ(count, 1) << plat::ToUtf8(path);
    grid->SetPosition(5);
    Paint();  // all held: nothing decoded again
    grid->SetPosition(0);
    Paint();  // D1 to D3 were drawn first: they went
    EXPECT_EQ(decodes[L"\\Pics\\D000000001.jpg"], 2);
    EXPECT_EQ(decodes[L"\\Pics\\D000000023.jpg"], 1);
    EXPECT_EQ(decodes.count(L"\\Pics\\.."), 0u) << "folders draw their own image";
}

TEST_F(GridTest, MarkingStopsAtTwentyWithTheNotice)
{
    MakePictures(21);
    Open();
    for (int i = 1; i <= 20; ++i)
        model.GetItemAt(i).SetMarked(TRUE);
    grid->SetPosition(GridPages::RowOf(21, 2));
    POINT icon = CellPoint(21, {10, 10});
    Tap(icon);
    EXPECT_FALSE(model.GetItemAt(21).IsMarked());
    EXPECT_EQ(MessagesOf(WM_GALLERY_MARK_LIMIT).size(), 1u);
    Tap(CellPoint(20, {10, 10}));  // a marked one still unmarks
    EXPECT_FALSE(model.GetItemAt(20).IsMarked());
    Tap(icon);
    EXPECT_TRUE(model.GetItemAt(21).IsMarked());
    EXPECT_EQ(MessagesOf(WM_GALLERY_MARK_LIMIT).size(), 1u);
    EXPECT_TRUE(zoomStates.empty()) << "a tap on the icon opens nothing";
}

TEST_F(GridTest, APenLiftedOverAnotherCellOnlyRestoresTheCurrentItem)
{
    MakePictures(4);
    Open();
    model.SetCurrent(2);
    SendMessageW(*grid, WM_LBUTTONDOWN, MK_LBUTTON, Pen(CellPoint(3)));
    EXPECT_EQ(CurrentName(), Name(3));
    SendMessageW(*grid, WM_LBUTTONUP, 0, Pen(CellPoint(4)));
    EXPECT_EQ(CurrentName(), Name(2));
    EXPECT_TRUE(zoomStates.empty());
    EXPECT_FALSE(model.GetItemAt(3).IsMarked());
    EXPECT_FALSE(model.GetItemAt(4).IsMarked());
}

TEST_F(GridTest, DeleteModeTapsDeleteAtOnce)
{
    struct Case {
        int tapped;
        int currentAfter;  // visible index
    } cases[] = {
        {2, 2},  // the next item moves up into its place
        {4, 3},  // the last one: the new last item
    };
    for (const Case& c : cases) {
        fs::remove_all(root.path() / "Pics");
        fs::create_directories(root.path() / "Pics");
        MakePictures(4);
        Open();
        grid->SetListState(GALLERY_DELETE);
        std::wstring name = Name(c.tapped);
        Tap(CellPoint(c.tapped, {70, 10}));
        EXPECT_FALSE(fs::exists(root.path() / "Pics" / plat::ToUtf8(name))) << c.tapped;
        EXPECT_EQ(model.GetVisibleCount(), 4) << c.tapped;
        EXPECT_EQ(grid->VisibleCurrent(), c.currentAfter) << c.tapped;
        Tap(CellPoint(1, {20, 40}));  // not on the icon: nothing
        EXPECT_EQ(model.GetVisibleCount(), 4);
        EXPECT_TRUE(zoomStates.empty());
        grid.reset();
        DestroyWindow(parent);
        parent = nullptr;
    }
}

TEST_F(GridTest, ATapOpensTheZoomViewWithTheListState)
{
    MakePictures(3);
    Open();
    grid->SetListState(GALLERY_BROWSE);
    Tap(CellPoint(2));
    EXPECT_EQ(zoomStates, std::vector<int>{GALLERY_BROWSE});
    EXPECT_EQ(CurrentName(), Name(2));
    EXPECT_TRUE(ended.empty());
    EXPECT_FALSE(MessagesOf(WM_GALLERY_GRID_TOUCHED).empty());

    struct Case {
        int state;
        INT_PTR answer;
        std::vector<INT_PTR> ends;
    } cases[] = {
        {GALLERY_RESULTS, EXPAND_VIEW_BACK, {0}},
        {GALLERY_BROWSE, EXPAND_VIEW_BACK, {}},
        {GALLERY_BROWSE, EXPAND_VIEW_EXIT, {3}},
        {GALLERY_RESULTS, EXPAND_VIEW_OTHER, {}},
    };
    for (const Case& c : cases) {
        ended.clear();
        grid->SetListState(c.state);
        zoomAnswer = c.answer;
        Tap(CellPoint(1));
        EXPECT_EQ(ended, c.ends) << "state " << c.state << ", answer " << c.answer;
    }
}

TEST_F(GridTest, AFolderTapEntersIt)
{
    MakePictures(2, {"Sub"});
    std::ofstream(root.path() / "Pics" / "Sub" / "D000000009.jpg") << "x";
    Open();
    int sub = -1;
    for (int i = 0; i < model.GetVisibleCount(); ++i)
        if (Name(i) == L"Sub")
            sub = i;
    ASSERT_GE(sub, 0);
    Tap(CellPoint(sub));
    EXPECT_EQ(std::wstring(model.GetFolderPath()), L"\\Pics\\Sub");
    EXPECT_EQ(model.GetVisibleCount(), 2);  // ".." and the picture
    EXPECT_EQ(MessagesOf(WM_GALLERY_FOLDER_ENTERED).size(), 1u);
    EXPECT_TRUE(zoomStates.empty());
}

TEST_F(GridTest, ArrowKeysMoveTheCurrentItemAndScroll)
{
    MakePictures(6);
    Open();
    model.SetCurrent(1);
    SendMessageW(*grid, WM_KEYDOWN, VK_UP, 0);  // from item 1 at the top: the last item
    EXPECT_EQ(grid->VisibleCurrent(), 6);
    EXPECT_EQ(grid->Paging().position, 1);
    SendMessageW(*grid, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(grid->VisibleCurrent(), 0);
    EXPECT_EQ(grid->Paging().position, 0);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    SendMessageW(*grid, WM_KEYDOWN, VK_RIGHT, 0);
    EXPECT_EQ(grid->VisibleCurrent(), 0) << "refused while busy";
}

TEST_F(GridTest, ADragScrollsOneRowAMove)
{
    MakePictures(11);  // 12 items: six rows, four positions
    Open();
    ASSERT_EQ(grid->Paging().positionCount, 4);
    const int step = 295 / 3;
    SendMessageW(*grid, WM_LBUTTONDOWN, MK_LBUTTON, Pen({120, 250}));
    SendMessageW(*grid, WM_MOUSEMOVE, MK_LBUTTON, Pen({120, 250 - step + 1}));
    EXPECT_EQ(grid->Paging().position, 0) << "less than a step";
    SendMessageW(*grid, WM_MOUSEMOVE, MK_LBUTTON, Pen({120, 250 - 3 * step}));
    EXPECT_EQ(grid->Paging().position, 1) << "one row a move at most";
    SendMessageW(*grid, WM_MOUSEMOVE, MK_LBUTTON, Pen({120, 250 - step}));
    SendMessageW(*grid, WM_MOUSEMOVE, MK_LBUTTON, Pen({120, 250 + 5}));
    EXPECT_EQ(grid->Paging().position, 0) << "down more than a step: a row up";
}

}  // namespace
