#include <fstream>

#include "layout_manager.h"
#include "services_fixture.h"

namespace {

int g_width = 240;
int g_height = 400;

int TestMetrics(int index)
{
    return index == SM_CXSCREEN ? g_width : index == SM_CYSCREEN ? g_height : 0;
}

struct Shape {
    const char* name;
    int width, height;
    bool landscape;
};
constexpr Shape kShapes[] = {{"240x400", 240, 400, false}, {"400x240", 400, 240, true}, {"240x240", 240, 240, false}};

class Layout : public ServicesFixture {
protected:
    void SetUp() override
    {
        ServicesFixture::SetUp();
        layout = CLayoutManager::GetInstance();
        layout->SetMetricsReader(&TestMetrics);
        Use(kShapes[0]);
    }
    void TearDown() override
    {
        CLayoutManager::ReleaseInstance();
        ServicesFixture::TearDown();
    }
    static void Use(const Shape& shape)
    {
        g_width = shape.width;
        g_height = shape.height;
    }

    CLayoutManager* layout = nullptr;
};

TEST_F(Layout, PlacementsFollowTheScreenShape)
{
    struct Case {
        UINT id;
        RECT portrait;  // x, y, width, height
        RECT landscape;
    } cases[] = {
        {30015, {109, 301, 61, 36}, {275, 148, 61, 36}},
        {30007, {10, 60, 230, 20}, {6, 56, 263, 22}},
        {30010, {0, 143, 240, 1}, {0, 90, 400, 1}},
        {30011, {10, 161, 240, 20}, {6, 102, 190, 20}},  // past the portrait edge, as given
        {30021, {234, 53, 7, 295}, {394, 47, 7, 141}},
        {30027, {96, 17, 138, 13}, {175, 17, 196, 13}},
        {30062, {10, 100, 219, 151}, {90, 19, 219, 151}},
        {1010, {10, 110, 220, 121}, {90, 35, 220, 121}},
        {30083, {227, 188, 11, 11}, {357, 10, 11, 11}},
        {1252, {15, 301, 50, 21}, {15, 301, 50, 21}},
    };
    for (const Shape& shape : kShapes) {
        Use(shape);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << shape.name << " id " << c.id);
            const RECT& want = shape.landscape ? c.landscape : c.portrait;
            POINT at{-1, -1};
            SIZE size{-1, -1};
            ASSERT_EQ(layout->GetPosition(c.id, &at), &at);
            ASSERT_EQ(layout->GetSize(c.id, &size), &size);
            EXPECT_EQ(at.x, want.left);
            EXPECT_EQ(at.y, want.top);
            EXPECT_EQ(size.cx, want.right);
            EXPECT_EQ(size.cy, want.bottom);
        }
    }
}

// Our own placements stay on the screen in both shapes, and the rectangles
// are made from them.
TEST_F(Layout, OwnPlacementsFitTheScreen)
{
    for (const Shape& shape : {kShapes[0], kShapes[1]}) {
        Use(shape);
        SCOPED_TRACE(shape.name);
        for (UINT id : {1362u, 30006u, 30023u, 30028u, 30072u}) {
            SCOPED_TRACE(id);
            POINT at{};
            SIZE size{};
            ASSERT_TRUE(layout->GetPosition(id, &at));
            ASSERT_TRUE(layout->GetSize(id, &size));
            EXPECT_GE(at.x, 0);
            EXPECT_GE(at.y, 0);
            EXPECT_GT(size.cx, 0);
            EXPECT_GT(size.cy, 0);
            EXPECT_LE(at.x + size.cx, shape.width);
            EXPECT_LE(at.y + size.cy, shape.height);
        }
        for (UINT id : {30006u, 30023u, 10200u, 1362u, 1405u}) {
            SCOPED_TRACE(id);
            RECT rect{};
            RECT* got = id == 30006 ? layout->GetRect(id, &rect) : layout->GetRectList(id, &rect);
            ASSERT_EQ(got, &rect);
            EXPECT_GE(rect.left, 0);
            EXPECT_GE(rect.top, 0);
            EXPECT_LT(rect.left, rect.right);
            EXPECT_LT(rect.top, rect.bottom);
            EXPECT_LE(rect.right, shape.width);
            EXPECT_LE(rect.bottom, shape.height);
            POINT at{};
            SIZE size{};
            if (layout->GetPosition(id, &at) && layout->GetSize(id, &size)) {
                EXPECT_EQ(rect.left, at.x);
                EXPECT_EQ(rect.bottom, at.y + size.cy);
            }
        }
        // The drop-down area covers both drop-down buttons.
        RECT area{};
        layout->GetRect(30023, &area);
        for (UINT button : {30022u, 30024u}) {
            POINT at{};
            SIZE size{};
            layout->GetPosition(button, &at);
            layout->GetSize(button, &size);
            EXPECT_LE(area.left, at.x);
            EXPECT_GE(area.right, at.x + size.cx);
            EXPECT_GE(area.bottom, at.y + size.cy);
        }
    }
}

TEST_F(Layout, PointPairsFollowTheScreenShape)
{
    using Getter = POINT* (CLayoutManager::*)(UINT, POINT*) const;
    struct Case {
        const char* what;
        Getter get;
        UINT id;
        POINT portrait, landscape;
    } cases[] = {
        {"origin", &CLayoutManager::GetPoint1, 30001, {0, 26}, {0, 26}},
        {"origin", &CLayoutManager::GetPoint1, 30025, {0, 26}, {0, 26}},
        {"size", &CLayoutManager::GetPoint2, 30001, {240, 348}, {400, 237}},
        {"size", &CLayoutManager::GetPoint2, 30018, {240, 348}, {400, 188}},
        {"size", &CLayoutManager::GetPoint2, 30025, {240, 348}, {400, 188}},
        {"list origin", &CLayoutManager::GetPoint3, 30012, {10, 237}, {207, 143}},
        {"list origin", &CLayoutManager::GetPoint3, 30024, {123, 53}, {243, 47}},
        {"list size", &CLayoutManager::GetPoint4, 30012, {220, 105}, {189, 68}},
        {"list size", &CLayoutManager::GetPoint4, 30022, {112, 123}, {144, 123}},
        {"grid", &CLayoutManager::GetPoint5, 30020, {2, 3}, {4, 1}},
    };
    for (const Shape& shape : kShapes) {
        Use(shape);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << shape.name << " " << c.what << " " << c.id);
            POINT got{-1, -1};
            ASSERT_EQ((layout->*c.get)(c.id, &got), &got);
            const POINT& want = shape.landscape ? c.landscape : c.portrait;
            EXPECT_EQ(got.x, want.x);
            EXPECT_EQ(got.y, want.y);
        }
    }
}

TEST_F(Layout, UnknownIdsLeaveTheRecordAlone)
{
    for (const Shape& shape : kShapes) {
        Use(shape);
        SCOPED_TRACE(shape.name);
        // Each id is known to some getter, just not to this one.
        POINT point{7, 8};
        SIZE size{7, 8};
        RECT rect{1, 2, 3, 4};
        std::vector<POINT> list{{5, 6}};
        EXPECT_EQ(layout->GetPosition(30025, &point), nullptr);
        EXPECT_EQ(layout->GetSize(1405, &size), nullptr);
        EXPECT_EQ(layout->GetRect(30007, &rect), nullptr);
        EXPECT_EQ(layout->GetRectList(30006, &rect), nullptr);
        EXPECT_EQ(layout->GetPoint1(30012, &point), nullptr);
        EXPECT_EQ(layout->GetPoint2(30020, &point), nullptr);
        EXPECT_EQ(layout->GetPoint3(30001, &point), nullptr);
        EXPECT_EQ(layout->GetPoint4(30018, &point), nullptr);
        EXPECT_EQ(layout->GetPoint5(30085, &point), nullptr);
        EXPECT_EQ(layout->GetPointList(30001, &list), nullptr);
        EXPECT_EQ(layout->GetPosition(0, &point), nullptr);
        EXPECT_EQ(point.x, 7);
        EXPECT_EQ(point.y, 8);
        EXPECT_EQ(size.cx, 7);
        EXPECT_EQ(rect.left, 1);
        EXPECT_EQ(rect.bottom, 4);
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0].x, 5);
    }
}

TEST_F(Layout, PointListsReplaceTheCallersList)
{
    std::vector<POINT> list{{99, 99}, {98, 98}};
    ASSERT_EQ(layout->GetPointList(30020, &list), &list);
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[1].x, 123);
    EXPECT_EQ(list[5].y, 203);

    Use(kShapes[1]);
    layout->GetPointList(30020, &list);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[3].x, 296);
    EXPECT_EQ(list[3].y, 25);

    std::vector<POINT> dots;
    for (const Shape& shape : kShapes) {
        Use(shape);
        ASSERT_TRUE(layout->GetPointList(30085, &dots));
        ASSERT_EQ(dots.size(), 7u);
        // Both shapes keep the dots on the screen.
        EXPECT_EQ(dots[0].x, shape.landscape ? 247 : 14);
        EXPECT_EQ(dots[6].x, shape.landscape ? 361 : 128);
        EXPECT_EQ(dots[6].y, shape.landscape ? 32 : 330);
    }
}

TEST_F(Layout, RemapOnlyWhenWiderThanTall)
{
    struct Case {
        UINT id, landscape;
    } cases[] = {
        {1368, 30036}, {1370, 30034}, {1371, 30035}, {1372, 30038}, {1373, 30039}, {1374, 30037},
        {1381, 1388},  {1385, 1390},  {1391, 1392},  {1395, 1394},  {30005, 30029}, {30073, 30074},
        {1364, 1364},  {1367, 1367},  {1398, 1398},  {1400, 1400},  {1401, 1401},   {10200, 10200},
        {30002, 30002}, {30003, 30003}, {30004, 30004}, {30036, 30036}, {0, 0},
    };
    for (const Shape& shape : kShapes) {
        Use(shape);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << shape.name << " id " << c.id);
            EXPECT_EQ(layout->RemapControlId(c.id), shape.landscape ? c.landscape : c.id);
        }
    }
}

TEST_F(Layout, ControlIndexes)
{
    struct Case {
        UINT id;
        int index;
    } cases[] = {
        {30006, 200}, {30007, 201}, {30008, 202}, {30015, 202}, {30009, 203}, {30016, 203},
        {30011, 204}, {30014, 208}, {30010, 0},   {30012, 0},   {30013, 0},   {30005, 0}, {30017, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CLayoutManager::GetControlIndex(c.id), c.index) << c.id;
}

// The display's real orientation reaches the layout when nothing replaces
// the screen metrics.
TEST_F(Layout, FollowsTheTurnedDisplay)
{
    layout->SetMetricsReader(nullptr);
    POINT at{};
    layout->GetPosition(30015, &at);
    EXPECT_EQ(at.x, 109);
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = DMDO_90;
    ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
    bool wide = GetSystemMetrics(SM_CXSCREEN) > GetSystemMetrics(SM_CYSCREEN);
    layout->GetPosition(30015, &at);
    mode.dmDisplayOrientation = DMDO_0;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    EXPECT_EQ(at.x, wide ? 275 : 109);
    EXPECT_TRUE(wide);
}

class LayoutStrings : public Layout {
protected:
    HMODULE LoadLibrary(const std::string& text)
    {
        auto host = root.path() / "Windows" / "LumOCR.exe.0409.mui";
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host, std::ios::binary) << text;
        HMODULE module = LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
        layout->SetResource(module);
        return module;
    }
};

TEST_F(LayoutStrings, OneSharedBufferCutAt99Characters)
{
    std::string longText(150, 'a');
    longText[98] = 'b';
    longText[99] = 'c';
    HMODULE module = LoadLibrary("200\tTitle\n201\tAuto focus\n300\t" + longText + "\n301\t\\u00e9t\\u00e9\n");
    ASSERT_NE(module, nullptr);

    LPCWSTR first = layout->GetString(200);
    EXPECT_STREQ(first, L"Title");
    LPCWSTR second = layout->GetString(201);
    EXPECT_EQ(first, second);
    EXPECT_STREQ(first, L"Auto focus");

    LPCWSTR cut = layout->GetString(300);
    EXPECT_EQ(std::wcslen(cut), 99u);
    EXPECT_EQ(cut[98], L'b');
    EXPECT_STREQ(layout->GetString(301), L"\u00e9t\u00e9");

    EXPECT_STREQ(layout->GetString(202), L"");
    FreeLibrary(module);
}

}  // namespace
