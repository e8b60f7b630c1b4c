#include "layout_manager.h"

#include <algorithm>
#include <iterator>

#include "system.h"

namespace {

struct Placement {
    int x, y, width, height;
};

struct PlacedControl {
    UINT id;
    Placement portrait;
    Placement landscape;
};

// Controls of the settings dialog (30006-30016), the gallery (30020-30028,
// 30062, 1362) and the picture view (30072, 30078-30084, 1010, 1252).
// 1362, 30006, 30023, 30028 and 30072 are ours, made to fit both shapes.
constexpr PlacedControl kPlacements[] = {
    {1010, {10, 110, 220, 121}, {90, 35, 220, 121}},
    {1252, {15, 301, 50, 21}, {15, 301, 50, 21}},
    {1362, {233, 53, 7, 295}, {393, 47, 7, 141}},
    {30006, {10, 20, 220, 24}, {6, 16, 263, 24}},
    {30007, {10, 60, 230, 20}, {6, 56, 263, 22}},
    {30008, {109, 99, 61, 36}, {275, 50, 61, 36}},
    {30009, {170, 99, 61, 36}, {336, 50, 61, 36}},
    {30010, {0, 143, 240, 1}, {0, 90, 400, 1}},
    {30011, {10, 161, 240, 20}, {6, 102, 190, 20}},
    {30012, {10, 204, 220, 33}, {207, 98, 189, 33}},
    {30013, {0, 245, 240, 1}, {0, 139, 400, 1}},
    {30014, {10, 262, 230, 20}, {6, 154, 253, 22}},
    {30015, {109, 301, 61, 36}, {275, 148, 61, 36}},
    {30016, {170, 301, 61, 36}, {336, 148, 61, 36}},
    {30020, {0, 53, 240, 295}, {0, 47, 400, 142}},
    {30021, {234, 53, 7, 295}, {394, 47, 7, 141}},
    {30022, {2, 9, 115, 41}, {10, 3, 147, 41}},
    {30023, {0, 0, 240, 53}, {0, 0, 400, 47}},
    {30024, {123, 9, 115, 41}, {241, 3, 147, 41}},
    {30026, {65, 10, 23, 23}, {144, 10, 23, 23}},
    {30027, {96, 17, 138, 13}, {175, 17, 196, 13}},
    {30028, {0, 40, 240, 308}, {0, 36, 400, 152}},
    {30062, {10, 100, 219, 151}, {90, 19, 219, 151}},
    {30072, {164, 288, 72, 54}, {324, 130, 72, 54}},
    {30078, {90, 35, 220, 121}, {90, 35, 220, 121}},
    {30079, {90, 35, 220, 121}, {90, 35, 220, 121}},
    {30080, {90, 35, 220, 121}, {90, 35, 220, 121}},
    {30081, {55, 10, 23, 23}, {55, 10, 23, 23}},
    {30082, {88, 17, 146, 13}, {88, 17, 196, 13}},
    {30083, {227, 188, 11, 11}, {357, 10, 11, 11}},
    {30084, {2, 188, 11, 11}, {243, 10, 11, 11}},
};

// Areas that only have a rectangle: the settings dialog's scroll track in
// landscape (1405) and the dialogs' client area (10200).
constexpr PlacedControl kAreas[] = {
    {1405, {233, 0, 7, 348}, {393, 0, 7, 237}},
    {10200, {0, 0, 240, 348}, {0, 0, 400, 188}},
};

constexpr UINT kRectIds[] = {30006, 30023};
constexpr UINT kRectListIds[] = {10200, 1362, 1405, 30023};

struct PointPair {
    UINT id;
    POINT portrait;
    POINT landscape;
};

constexpr PointPair kDialogOrigins[] = {
    {30001, {0, 26}, {0, 26}},
    {30018, {0, 26}, {0, 26}},
    {30025, {0, 26}, {0, 26}},
};
constexpr PointPair kDialogSizes[] = {
    {30001, {240, 348}, {400, 237}},
    {30018, {240, 348}, {400, 188}},
    {30025, {240, 348}, {400, 188}},
};
constexpr PointPair kListOrigins[] = {
    {30012, {10, 237}, {207, 143}},
    {30022, {2, 53}, {12, 47}},
    {30024, {123, 53}, {243, 47}},
};
constexpr PointPair kListSizes[] = {
    {30012, {220, 105}, {189, 68}},
    {30022, {112, 123}, {144, 123}},
    {30024, {112, 123}, {144, 123}},
};
constexpr PointPair kGrids[] = {
    {30020, {2, 3}, {4, 1}},
};

constexpr UINT kGridId = 30020;
constexpr UINT kZoomDotsId = 30085;
constexpr POINT kGridCellsPortrait[] = {{14, 14}, {123, 14}, {14, 108}, {123, 108}, {14, 203}, {123, 203}};
constexpr POINT kGridCellsLandscape[] = {{2, 25}, {100, 25}, {198, 25}, {296, 25}};
// The picture view's places past the portrait screen's edge (30082 to
// 30084, 1010 and the zoom-step dots) have portrait values of their own.
constexpr POINT kZoomDotsPortrait[] = {{14, 330}, {33, 330}, {52, 330}, {71, 330}, {90, 330}, {109, 330}, {128, 330}};
constexpr POINT kZoomDots[] = {{247, 32}, {266, 32}, {285, 32}, {304, 32}, {323, 32}, {342, 32}, {361, 32}};

struct IdPair {
    UINT id;
    UINT other;
};

constexpr IdPair kControlIndexes[] = {
    {30006, 200}, {30007, 201}, {30008, 202}, {30015, 202}, {30009, 203},
    {30016, 203}, {30011, 204}, {30014, 208},
};

// Controls with a resource of their own in landscape.
constexpr IdPair kLandscapeIds[] = {
    {1368, 30036}, {1370, 30034}, {1371, 30035}, {1372, 30038}, {1373, 30039}, {1374, 30037},
    {1381, 1388},  {1385, 1390},  {1391, 1392},  {1395, 1394},  {30005, 30029}, {30073, 30074},
};

template <class Row, std::size_t N>
const Row* Find(const Row (&table)[N], UINT id)
{
    auto row = std::find_if(std::begin(table), std::end(table), [id](const Row& r) { return r.id == id; });
    return row == std::end(table) ? nullptr : row;
}

template <std::size_t N>
bool Contains(const UINT (&ids)[N], UINT id)
{
    return std::find(std::begin(ids), std::end(ids), id) != std::end(ids);
}

void FillRect(const Placement& p, RECT* out)
{
    *out = {p.x, p.y, p.x + p.width, p.y + p.height};
}

}  // namespace

CLayoutManager::CLayoutManager()
{
    gridCellsPortrait_.assign(std::begin(kGridCellsPortrait), std::end(kGridCellsPortrait));
    gridCellsLandscape_.assign(std::begin(kGridCellsLandscape), std::end(kGridCellsLandscape));
    zoomDots_.assign(std::begin(kZoomDots), std::end(kZoomDots));
}

int CLayoutManager::ScreenShape() const
{
    int width = metrics_(SM_CXSCREEN);
    int height = metrics_(SM_CYSCREEN);
    if (height > width)
        return 1;
    return height == width ? 0 : -1;
}

namespace {

template <std::size_t N>
POINT* FillPoint(const PointPair (&table)[N], UINT id, bool landscape, POINT* out)
{
    const PointPair* row = Find(table, id);
    if (!row || !out)
        return nullptr;
    *out = landscape ? row->landscape : row->portrait;
    return out;
}

}  // namespace

POINT* CLayoutManager::GetPosition(UINT id, POINT* out) const
{
    const PlacedControl* row = Find(kPlacements, id);
    if (!row || !out)
        return nullptr;
    const Placement& p = IsLandscape() ? row->landscape : row->portrait;
    *out = {p.x, p.y};
    return out;
}

SIZE* CLayoutManager::GetSize(UINT id, SIZE* out) const
{
    const PlacedControl* row = Find(kPlacements, id);
    if (!row || !out)
        return nullptr;
    const Placement& p = IsLandscape() ? row->landscape : row->portrait;
    *out = {p.width, p.height};
    return out;
}

RECT* CLayoutManager::GetRect(UINT id, RECT* out) const
{
    if (!Contains(kRectIds, id) || !out)
        return nullptr;
    const PlacedControl* row = Find(kPlacements, id);
    FillRect(IsLandscape() ? row->landscape : row->portrait, out);
    return out;
}

RECT* CLayoutManager::GetRectList(UINT id, RECT* out) const
{
    if (!Contains(kRectListIds, id) || !out)
        return nullptr;
    const PlacedControl* row = Find(kPlacements, id);
    if (!row)
        row = Find(kAreas, id);
    FillRect(IsLandscape() ? row->landscape : row->portrait, out);
    return out;
}

POINT* CLayoutManager::GetPoint1(UINT id, POINT* out) const { return FillPoint(kDialogOrigins, id, IsLandscape(), out); }
POINT* CLayoutManager::GetPoint2(UINT id, POINT* out) const { return FillPoint(kDialogSizes, id, IsLandscape(), out); }
POINT* CLayoutManager::GetPoint3(UINT id, POINT* out) const { return FillPoint(kListOrigins, id, IsLandscape(), out); }
POINT* CLayoutManager::GetPoint4(UINT id, POINT* out) const { return FillPoint(kListSizes, id, IsLandscape(), out); }
POINT* CLayoutManager::GetPoint5(UINT id, POINT* out) const { return FillPoint(kGrids, id, IsLandscape(), out); }

std::vector<POINT>* CLayoutManager::GetPointList(UINT id, std::vector<POINT>* out) const
{
    if (!out)
        return nullptr;
    if (id == kGridId)
        *out = IsLandscape() ? gridCellsLandscape_ : gridCellsPortrait_;
    else if (id == kZoomDotsId)
        *out = IsLandscape() ? zoomDots_ : std::vector<POINT>(std::begin(kZoomDotsPortrait), std::end(kZoomDotsPortrait));
    else
        return nullptr;
    return out;
}

int CLayoutManager::GetControlIndex(UINT id)
{
    const IdPair* row = Find(kControlIndexes, id);
    return row ? static_cast<int>(row->other) : 0;
}

UINT CLayoutManager::RemapControlId(UINT id) const
{
    const IdPair* row = Find(kLandscapeIds, id);
    return row && IsLandscape() ? row->other : id;
}

LPCWSTR CLayoutManager::GetString(UINT id)
{
    if (LoadStringW(m_hResource, id, string_, kLayoutStringChars) <= 0)
        string_[0] = 0;
    return string_;
}

BOOL CLayoutManager::PumpKeyMessages(BOOL dispatch, BOOL remove) { return ::PumpKeyMessages(dispatch, remove); }

BOOL CLayoutManager::PumpMouseMessages(BOOL dispatch, BOOL remove) { return ::PumpMouseMessages(dispatch, remove); }
