// The two review screens after a recording or a series: the shots of a
// multi-shot series (the last one shown, with its number and name), and the
// video just recorded, played back with its frames drawn as they arrive.
#pragma once

#include <mutex>
#include <vector>

#include "base_gui.h"
#include "ce_ref_count.h"
#include "player_control.h"
#include "rot_bitmap.h"
#include "singleton.h"

class CeButton;

inline constexpr DWORD CMD_REVIEW_TO_CAMERA = 0x30003;
// A clip smaller than this (its size with the low 10 bits cleared) fits a message.
inline constexpr DWORD kMmsSizeLimit = 302081;

class CReviewMultiCapturedGUI : public CBaseGUI, public CSingleton<CReviewMultiCapturedGUI> {
public:
    using CSingleton<CReviewMultiCapturedGUI>::GetInstance;
    CReviewMultiCapturedGUI();
    ~CReviewMultiCapturedGUI() override;

    int OnOpen() override;
    int OnClose() override;
    int LoadResource() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer1(CDrawContext* dc) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;

    // "(held/current) name", or empty without shots.
    static std::wstring Caption();
    static const RECT& ShotRect();
};

// The movie review's buttons.
enum MovieButton { kMoviePlay, kMovieStop, kMovieMms, kMovieButtons };
// The play button's looks.
enum MoviePlayLook { kMovieLookPlay, kMovieLookPlayed, kMovieLookStopped };

class CReviewMovieGUI : public CBaseGUI, public CSingleton<CReviewMovieGUI>, public CPlayerFrameSink {
public:
    using CSingleton<CReviewMovieGUI>::GetInstance;
    CReviewMovieGUI();
    ~CReviewMovieGUI() override;

    int OnOpen() override;
    int OnClose() override;
    int LoadResource() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer2(CDrawContext* dc) override;
    int OnEvent(UINT message, WPARAM wParam, LPARAM lParam) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;

    // The frame slot: a played frame (RGB565, rows top-down), kept and drawn
    // at once into the back buffer. Any thread; nothing after OnClose.
    void OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height) override;

    BOOL IsActive() const { return m_bActive; }
    int PlayLook() const { return m_nPlayLook; }
    int ButtonState(MovieButton which) const;
    DWORD Duration() const { return m_dwDuration; }
    CRotBitmap* FirstFrame() const { return m_spFirstFrame.get(); }
    // How often the frame buffer was (re)allocated, and its size now.
    int FrameAllocations() const { return m_nAllocations; }
    size_t FrameBufferSize() const { return m_frame.size(); }
    // Where a frame of that width goes (layout coordinates).
    static const RECT& FrameRect(LONG width);

private:
    void CreateControls();
    void ShowButtons(BOOL shown);
    void SetMmsState();
    void LoadFirstFrame();
    void MakeFirstFrame();
    void Redraw();
    void DrawFrame(HDC dc, int W, int H);

    CeButton* m_pButtons[kMovieButtons] = {};  // one reference each, the row holds another
    CeRefPtr<CRotBitmap> m_spFirstFrame;
    DWORD m_dwDuration = 0;
    int m_nPlayLook = kMovieLookPlay;
    BOOL m_bActive = FALSE;

    std::mutex m_frameLock;  // the frame buffer and its size, the active flag for the frame slot
    std::vector<BYTE> m_frame;
    DWORD m_dwFrameBytes = 0;
    LONG m_nFrameWidth = 0;
    LONG m_nFrameHeight = 0;
    BOOL m_bHasFrame = FALSE;
    int m_nAllocations = 0;
    BOOL m_bFramesShown = FALSE;
    BOOL m_bFrameTold = FALSE;  // the first played frame logged since the opening
};
