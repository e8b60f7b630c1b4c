// The gallery grid's skinned vertical scroll bar: its thumb stands for the
// grid's current page, and pens on it drive the grid.
#pragma once

#include "plat/framework.h"
#include "scroll_thumbs.h"

// The grid's paging: visible items, scroll positions, columns, visible rows
// and the top visible row.
struct GridPaging {
    int itemCount = 0;
    int positionCount = 0;
    int columns = 0;
    int visibleRows = 0;
    int position = 0;
};

class CSkinScrollBar : public CWindowImpl {
public:
    static constexpr UINT kTrackId = 1362;
    static constexpr UINT kThumbId = 1375;
    static constexpr UINT kBarId = 30021;

    CSkinScrollBar() = default;
    ~CSkinScrollBar() override;

    // The grid window pens go to, and the paging record the thumb follows.
    void SetGrid(HWND grid, const GridPaging* paging = nullptr)
    {
        m_grid = grid;
        m_paging = paging;
    }
    void UpdateThumb();
    // The thumb relative to the track's top.
    const SkinThumb& Thumb() const { return m_thumb; }
    // The track in the bar's client coordinates.
    RECT TrackRect() const;
    void Draw(HDC dc) const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void LoadBitmaps();
    void Forward(UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND m_grid = nullptr;
    const GridPaging* m_paging = nullptr;
    SkinThumb m_thumb;
    HBITMAP m_track = nullptr;
    HBITMAP m_thumbBitmap = nullptr;
    bool m_dragging = false;
    int m_lastY = 0;
};
