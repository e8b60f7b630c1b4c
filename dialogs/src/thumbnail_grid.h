// The gallery's grid of the picture model's visible items: thumbnail, frame
// of the current item, name and mark icon per cell, scrolled by whole rows.
// Pens make an item current, mark it, delete it (delete mode), open it in
// the zoom view or enter a folder; the arrow keys walk the cells.
#pragma once

#include <functional>
#include <vector>

#include "lum_image_item_list.h"
#include "picture_cache.h"
#include "plat/framework.h"
#include "skin_scroll_bar.h"

// The grid's thumbnails by path: at most 20, each the picture's embedded
// thumbnail, else the picture decoded to fit a 91 x 64 cell.
class CThumbnailCache : public PictureCache {
public:
    static constexpr size_t kCapacity = 20;
    static constexpr int kWidth = 91, kHeight = 64;

    CThumbnailCache();
    static HBITMAP Decode(const std::wstring& path, int width, int height);
};

// Paging over the visible items. Positions: rows (ceil of items / columns),
// less two in portrait (three rows show at once), at least one.
struct GridPages {
    static int PositionCount(int items, int columns, bool portrait);
    static int RowOf(int index, int columns) { return columns > 0 ? index / columns : 0; }
};

// Where an arrow key leads from offset k of the view at position p; the
// visible index p * c + k of the result is clamped into the items.
struct GridCell {
    int position;
    int offset;
};
GridCell GridArrow(WPARAM key, int columns, int rows, int items, int positions, GridCell from);

class CThumbnailGrid : public CWindowImpl {
public:
    // The cell and its parts, relative to the cell's origin.
    static constexpr int kCellWidth = 97, kCellHeight = 94;
    static constexpr RECT kHitArea{0, 0, 94, 67};
    static constexpr RECT kThumbArea{3, 3, 94, 67};
    static constexpr RECT kNameArea{3, 70, 97, 94};
    static constexpr RECT kMarkIcon{5, 4, 28, 27};
    static constexpr RECT kDeleteIcon{65, 5, 94, 34};

    CThumbnailGrid();
    ~CThumbnailGrid() override;

    BOOL Attach(HWND window);
    void AttachScrollBar(CSkinScrollBar* bar);
    // Shows the model; keepCurrent scrolls to its current item instead of
    // applying the filter afresh.
    void Load(LumImageItemList* model, bool keepCurrent);
    void SetFilter(int mode);
    int GetFilter() const { return m_filter; }
    void SetListState(int state);
    int GetListState() const { return m_state; }
    void Relayout();
    // The scroll bar at its place, out of view when there is one position.
    void PlaceScrollBar();
    void SetPosition(int position);
    const GridPaging& Paging() const { return m_paging; }
    CThumbnailCache& Cache() { return m_cache; }
    // The zoom view as tests answer it (gets the list state).
    void SetExpandRunner(std::function<INT_PTR(int)> runner) { m_expandRunner = std::move(runner); }
    // The inactivity word the zoom view writes.
    void SetInactivity(int* inactivity) { m_inactivity = inactivity; }
    // How the gallery ends when the zoom view asks it to.
    void SetEndGallery(std::function<void(INT_PTR)> end) { m_endGallery = std::move(end); }

    // The visible index under a point of the grid, -1 when none.
    int CellAt(POINT p) const;
    // The visible index of the model's current item, -1 when it is not visible.
    int VisibleCurrent() const;
    void Draw(HDC dc);

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void OnPenDown(POINT p);
    void OnPenMove(POINT p);
    void OnPenUp(POINT p);
    void OnKeyDown(WPARAM key);
    void OpenZoomView();
    void DeleteAt(int visibleIndex);
    void MakeCurrent(int visibleIndex);
    void BringCurrentIntoView();
    void Refresh();
    bool Busy() const;
    bool Portrait() const;
    POINT CellOrigin(int slot) const;
    void DrawCell(HDC dc, int visibleIndex, POINT origin, HFONT font);
    HBITMAP Image(UINT id);

    LumImageItemList* m_model = nullptr;
    GridPaging m_paging;
    int m_state = 2;
    CSkinScrollBar* m_bar = nullptr;
    CThumbnailCache m_cache;
    int m_filter = 1;
    int m_previousCurrent = -1;  // the model's current record at pen-down
    int m_penDownItem = -1;      // visible index at pen-down
    bool m_backgroundPainted = false;
    std::vector<POINT> m_origins;
    POINT m_lastPen{-1, -1};
    int m_drag = 0;
    bool m_viewShown = false;
    int* m_inactivity = nullptr;
    std::function<INT_PTR(int)> m_expandRunner;
    std::function<void(INT_PTR)> m_endGallery;
    HBITMAP m_images[9] = {};
};
