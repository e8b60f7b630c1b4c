// The stored pictures as a grid of thumbnails, three by three, from which
// the user opens one in the viewer, or marks pictures and deletes them.
#pragma once

#include "base_gui.h"
#include "ce_ref_count.h"
#include "rot_bitmap.h"
#include "singleton.h"

class CeButton;

inline constexpr DWORD CMD_THUMBNAIL_DELETE = 0x50002;
inline constexpr DWORD CMD_SCREEN_BACK = 0x10006;
inline constexpr DWORD CMD_THUMBNAIL_CLOSE = 0x50019;
inline constexpr DWORD MSG_NO_PICTURE = 0x10010;

inline constexpr int kThumbCells = 9;
inline constexpr int kThumbCellWidth = 106;
inline constexpr int kThumbCellHeight = 79;
inline constexpr COLORREF kThumbFrameColour = 0xCD9E00;

class CThumbnailGUI : public CBaseGUI, public CSingleton<CThumbnailGUI> {
public:
    using CSingleton<CThumbnailGUI>::GetInstance;
    CThumbnailGUI();
    ~CThumbnailGUI() override;

    int LoadResource() override;
    int OnOpen() override;
    int OnClose() override;
    int DrawLayer1(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonDown(POINT point, WPARAM flags) override;

    // Where a thumbnail of that size lies in a cell (layout coordinates).
    static RECT FitInCell(const RECT& cell, SIZE picture);
    static bool IsStandardSize(SIZE picture);
    static const RECT& CellRect(int cell);
    static const RECT& MarkRect(int cell);

    int VisibleCount() const { return m_nVisible; }
    int CurrentCell() const { return m_nCurrent; }
    int FirstRow() const { return m_nFirstRow; }
    int Total() const { return m_nTotal; }
    // The viewer hands back how many shots of a series are left.
    void SetTotal(int total) { m_nTotal = total; }
    int LoadingCell() const { return m_nLoading; }
    BOOL InSelectMode() const { return m_bSelectMode != 0; }
    BOOL InMultiReview() const { return m_bMultiReview != 0; }
    // The cell's thumbnail while loaded, else null.
    CRotBitmap* CellThumbnail(int cell) const { return cell >= 0 && cell < kThumbCells ? m_spThumbs[cell].get() : nullptr; }

private:
    void Navigate(UINT key);
    void ScrollUp();
    void ScrollDown();
    void LoadThumbnails();
    void OpenCurrent();
    void DeleteMarked();
    int CellAt(POINT point) const;
    void DrawThumbnails(CDrawContext* dc);

    BYTE m_bMultiReview = 0;
    CeButton* m_pButtons[2] = {};  // back, delete; held by the screen and its root
    int m_bSelectMode = 0;
    CeRefPtr<CRotBitmap> m_spMark[2];
    CeRefPtr<CRotBitmap> m_spVideo;
    CeRefPtr<CRotBitmap> m_spThumbs[kThumbCells];
    int m_nVisible = 0;
    int m_nLoading = 0;
    int m_nCurrent = 0;
    int m_nTotal = 0;
    int m_nFirstRow = 0;
};
