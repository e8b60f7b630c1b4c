// The shot mosaic: preview frames composed into one picture laid out as a
// grid of tiles. Each new frame fills the next tile of the composed picture
// and of the on-screen guide; the tiles still to come show the live preview
// through the key colour; when the last tile is filled the composed picture
// becomes a shot. Kinds: 1 two tiles side by side, 2 two tiles one above
// the other, any other four tiles in two rows of two.
#pragma once

#include <vector>

#include "ce_ref_count.h"
#include "plat/windows.h"
#include "rot_bitmap.h"

class CDrawContext;

struct MosaicTile {
    RECT rect;
    WORD mark;  // 1 on a grid's first tile
};

inline constexpr COLORREF kMosaicFrameColour = 0xCD9E00;
inline constexpr int kMosaicThumbWidth = 320;
inline constexpr int kMosaicThumbHeight = 240;

class CShotMosaicView {
public:
    CShotMosaicView() = default;
    ~CShotMosaicView();
    CShotMosaicView(const CShotMosaicView&) = delete;
    CShotMosaicView& operator=(const CShotMosaicView&) = delete;

    // The view's area (the guide's layout) and the composed picture's size;
    // 0 and not ready for an empty area or picture.
    int Setup(int kind, const RECT& area, int composedWidth, int composedHeight);
    // One 4:2:0 preview frame into the current tile; 1 when taken, 0 when
    // the view is not ready or every tile is filled.
    int AddFrame(const BYTE* frame, int width, int height);
    // The filled tiles, the empty ones and the current tile's frame.
    int Draw(CDrawContext* dc);
    // Ends the mosaic shot: the shots are saved, or the single-picture
    // review opens when the review switch is on.
    void Finish();

    int GetTileIndex() const { return m_nIndex; }
    // One tile back, not before the first; the new index.
    int PrevTile();
    int GetTileCount() const { return static_cast<int>(m_layoutTiles.size()); }
    BOOL IsReady() const { return m_bReady; }
    // The composed picture until it becomes a shot.
    HBITMAP ComposedBitmap() const { return m_hComposed; }

    // The grid of a kind over W x H, every tile within it and together
    // covering it.
    static std::vector<MosaicTile> EvenGrid(int kind, int width, int height);
    // The guide's fixed tiles over the screen, 40 pixels in from the left.
    static std::vector<MosaicTile> GuideGrid(int kind, int width, int height);

private:
    void ClearTile(int index);

    std::vector<MosaicTile> m_areaTiles;
    std::vector<MosaicTile> m_layoutTiles;
    std::vector<MosaicTile> m_thumbTiles;
    std::vector<MosaicTile> m_composedTiles;
    CeRefPtr<CRotBitmap> m_spFilled;
    CeRefPtr<CRotBitmap> m_spEmpty;
    HBITMAP m_hComposed = nullptr;
    int m_nKind = 0;
    RECT m_rcArea{};
    SIZE m_composed{};
    int m_nIndex = 0;
    BOOL m_bReady = FALSE;
};
