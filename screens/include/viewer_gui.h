// The camera's full-screen viewer: one stored picture at a time, stepped
// through the stored pictures or the shots of the last series, zoomed and
// panned, dragged aside to its neighbour, a video played in place, and a
// panel of the file's details. The picture goes straight into the shown
// surface; the layers above it carry the controls and the panel.
#pragma once

#include <mutex>
#include <vector>

#include "base_gui.h"
#include "player_control.h"
#include "ce_ref_count.h"
#include "rot_bitmap.h"
#include "singleton.h"

class CeButton;
class CeContainer;
class CZoomViewRect;

inline constexpr DWORD CMD_VIEWER_DELETE = 0x50002;
inline constexpr DWORD CMD_VIEWER_PREV = 0x50005;
inline constexpr DWORD CMD_VIEWER_NEXT = 0x50006;
inline constexpr DWORD CMD_VIEWER_DETAILS = 0x70003;
inline constexpr DWORD CMD_VIEWER_PAUSE = 0x60006;

// Multiplies each coordinate by factor, truncating toward zero.
void ScaleRect(RECT* rect, double factor);

// The viewer's six buttons, in the order the screen holds them.
enum ViewerButton { kViewerLeave, kViewerDetailsButton, kViewerPlay, kViewerPause, kViewerPrev, kViewerNext, kViewerButtons };

class CViewerGUI : public CBaseGUI, public CSingleton<CViewerGUI>, public CPlayerFrameSink {
public:
    using CSingleton<CViewerGUI>::GetInstance;
    CViewerGUI();
    ~CViewerGUI() override;

    int OnOpen() override;
    int LoadResource() override;
    int OnClose() override;
    // The shared paint, then "VIEWER PAINTED: " and what it shows (picture,
    // details, zoom, video, no files) in the log once the screen shows it.
    int OnPaint() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer1(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonDown(POINT point, WPARAM flags) override;
    int OnLButtonUp(POINT point, WPARAM flags) override;
    int OnMouseMove(POINT point, WPARAM flags) override;

    // A played frame of the video in place (RGB565, rows top-down), fitted
    // into the view of the shown surface. The player's thread; nothing once
    // the video has stopped.
    void OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height) override;

    // The panel over the view; logs and stops at the first file call that fails.
    void DrawFileInformation(CDrawContext* dc);

    BOOL IsOpen() const { return m_bOpen; }
    BOOL FromSeries() const { return m_bFromSeries; }
    int ShotCount() const { return m_nShotCount; }
    int ShotIndex() const { return m_nShotIndex; }
    int ReturnScreen() const { return m_nReturnScreen; }
    int ZoomMode() const { return m_nZoomMode; }
    double ZoomFactor() const;
    const RECT& NavigatorBox() const { return m_rcNavigator; }
    BOOL DetailsShown() const { return m_bDetails; }
    BOOL ShowsNoFiles() const { return m_bNoFiles; }
    BOOL IsDragging() const { return m_bDragging; }
    BOOL IsButtonShown(ViewerButton which) const;
    // Where the current picture lies (layout coordinates).
    const RECT& PictureRect() const { return m_rcPicture; }
    CRotBitmap* Picture() const { return m_spPicture.get(); }
    // The rectangle the picture is fitted into: the whole screen.
    static const RECT& ViewRect();

private:
    void CreateControls();
    void UpdateButtons();
    void ShowCurrent();
    void Step(int direction);  // 1 forward, -1 back
    void Redraw();
    void ClearPressed();
    void HideDetails();
    void PausePlaying();
    void ZoomIn();
    void ZoomOut();
    void Pan(POINT delta);
    void LeaveZoom();
    BOOL PlayerPlays() const;
    void StopFrames();
    void DrawPicture(HDC dc, int surfaceWidth, int surfaceHeight);
    void DrawToPrimary();
    void LoadNeighbour(int direction);
    void DropNeighbour();
    void EndDrag(POINT point);
    static void CALLBACK NoFilesOver(HWND hwnd, UINT message, UINT_PTR id, DWORD time);

    BOOL m_bOpen = FALSE;
    BOOL m_bFromSeries = FALSE;
    int m_nShotCount = 0;
    int m_nShotIndex = 0;
    int m_nReturnScreen = 0;
    int m_nZoomMode = 0;
    CZoomViewRect* m_pZoom = nullptr;  // owned
    BOOL m_bZoomValid = FALSE;
    RECT m_rcNavigator{};
    CPlayerControl* m_pPlayer = nullptr;
    BOOL m_bDetails = FALSE;
    BOOL m_bNoFiles = FALSE;
    HFONT m_hTitleFont = nullptr;
    HFONT m_hTextFont = nullptr;
    CeRefPtr<CRotBitmap> m_spPanel;
    CeContainer* m_pNormalRow = nullptr;  // the root container
    CeContainer* m_pZoomRow = nullptr;
    CeButton* m_pButtons[kViewerButtons] = {};  // one reference each, the row holds another
    CeRefPtr<CRotBitmap> m_spPicture;
    CeRefPtr<CRotBitmap> m_spNeighbour;
    RECT m_rcPicture{};
    RECT m_rcNeighbour{};
    POINT m_ptDragStart{};
    POINT m_ptDrag{};
    BOOL m_bDragging = FALSE;
    int m_nDragDirection = 0;  // 1 forward (dragged left), -1 back, 0 not yet known
    std::mutex m_frameLock;     // the frames flag and the turned frame, for the player's thread
    BOOL m_bFrames = FALSE;
    std::vector<WORD> m_turned;  // the frame as the panel takes it
};
