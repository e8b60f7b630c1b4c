// CePanoramaControl: the capture screen's side of a panorama. It sets the
// stitching job up, forwards preview frames and shots (resized to the job's
// shot size), draws the guide (guide frame, direction arrow, position box,
// progress bar and shot count) and turns the stitched picture into a shot.
#pragma once

#include <atomic>
#include <vector>

#include "draw_event.h"
#include "plat/windows.h"

class CDrawContext;

// The guide's pictures (tools/imagegen), drawn through the image pack so
// that they follow the display's turn.
inline constexpr UINT IDB_PANORAMA_GUIDE_FRAME = 11100;
inline constexpr UINT IDB_PANORAMA_ARROW_LEFT = 11101;
inline constexpr UINT IDB_PANORAMA_ARROW_UP = 11102;
inline constexpr UINT IDB_PANORAMA_ARROW_RIGHT = 11103;
inline constexpr UINT IDB_PANORAMA_ARROW_DOWN = 11104;
inline constexpr UINT IDB_PANORAMA_PROGRESS_FRAME = 11105;
inline constexpr UINT IDB_PANORAMA_PROGRESS_FILL = 11106;

// The message popup's notice when the stitched picture cannot be made.
inline constexpr DWORD kPanoramaFailedMessage = 0x10018;
inline constexpr UINT kPanoramaFailedMilliseconds = 2000;

class CePanoramaControl : public CDrawEvent {
public:
    CePanoramaControl();
    ~CePanoramaControl() override;

    // 1 when the job is made and capturing; 0 leaves no job.
    int Setup(int shotWidth, int shotHeight, int previewWidth, int previewHeight, int shots);
    int InitializePanorama();
    // A camera shot at the camera's shot size; 1 when the job took it.
    int AddShotFrame(BYTE* frame);
    bool AddPreviewFrame(BYTE* frame);

    void OnProgress(int percent);
    bool IsProgressing() const { return m_nProgress.load() > -1; }
    // Code 6: the job has all its shots.
    int OnEvent(int code);
    void ResetGuide();
    // The stitch ended: a shot of the picture, or the failure notice and a new job.
    void OnStitchDone(BOOL success);
    void FinishShots();

    // The status text's colour; 0 for an unknown text.
    static COLORREF StatusColour(LPCWSTR text);
    // The guide over the preview, in layout coordinates (400 x 240).
    void Draw(CDrawContext* dc);

    bool IsReady() const { return m_bReady != 0; }
    bool IsActive() const { return m_bActive.load() != 0; }
    int GetState() const { return m_nState; }
    int GetProgress() const { return m_nProgress.load(); }

private:
    // The guide font for the display's turn (the turn is part of the font).
    HFONT GuideFont();
    void DrawPositionBox(CDrawContext* dc);
    void DrawCount(CDrawContext* dc);

    int m_nShotWidth = 0, m_nShotHeight = 0, m_nPreviewWidth = 0, m_nPreviewHeight = 0;
    std::atomic<int> m_bActive{0};
    int m_nState = 0;
    int m_bCancel = 0;
    int m_nShots = 0;
    std::atomic<int> m_nProgress{-1};
    std::atomic<int> m_bOutline{0};  // the position box shows the tracking status
    HFONT m_hGuideFont = nullptr;
    DWORD m_dwFontCode = 0;
    std::vector<BYTE> m_resized;       // a shot at the job's size
    int m_bReady = 0;
};
