// The single-picture screens: CSinglePicBaseGUI shows the shot just taken,
// runs the recognition of the request's pictures on its own thread with a
// progress panel and a cancel button, and hands the results on;
// CReviewSingleGUI is the review screen of a plain camera shot. The run's
// words are one set (CRecognitionRun) that both screens share.
#pragma once

#include <atomic>
#include <cstdint>

#include "base_gui.h"
#include "ce_ref_count.h"
#include "singleton.h"

class CRotBitmap;

// Side-bar buttons: single-shot mode has five, series mode four; the state
// of each picks its image.
inline constexpr int kSideButtons = 5;
enum SideButtonState { kButtonNormal = 0, kButtonFingerOff = 1, kButtonPressed = 2, kButtonDisabled = 3 };

class CSinglePicBaseGUI : public CBaseGUI, public CSingleton<CSinglePicBaseGUI> {
public:
    using CSingleton<CSinglePicBaseGUI>::GetInstance;
    using CSingleton<CSinglePicBaseGUI>::PeekInstance;
    using CSingleton<CSinglePicBaseGUI>::ReleaseInstance;
    CSinglePicBaseGUI();
    ~CSinglePicBaseGUI() override;

    int LoadResource() override;
    int UnloadResource() override;
    int OnOpen() override;
    int OnClose() override;
    int DrawLayer0(CDrawContext* dc) override;
    int DrawLayer1(CDrawContext* dc) override;
    int DrawLayer2(CDrawContext* dc) override;
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyDown(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonDown(POINT point, WPARAM flags) override;
    int OnLButtonUp(POINT point, WPARAM flags) override;
    int OnMouseMove(POINT point, WPARAM flags) override;
    // Unloads, lets the preview start again and switches back to it.
    virtual void BackToPreview();

    // The recognition thread (started by the main frame, no argument).
    static DWORD RecognitionThread(LPVOID);
    // The engine's progress callback: non-zero to go on.
    static std::int32_t ProgressCallback(std::int32_t percent);
    // Stops the engine at its next step and marks the run canceled.
    void CancelRecognition();
    // Button states cleared and a redraw asked.
    void ResetPopup();
    // The current picture's card records into the result store.
    int SendToResult(int cp1251);

    // The run's canceled word and the categories of the last card, as the
    // main frame resets them before a run.
    static inline std::atomic<int> m_bCancel{0};
    static inline std::atomic<int> m_nResult{0};

    int m_nButtonState[kSideButtons] = {};
    int m_nTopButtonHeld = 0;  // the pen went down on the exit button

protected:
    // Shows a picture fitted into the screen's picture area; takes the bitmap.
    void ShowPicture(HBITMAP picture);
    void ShowStoredPicture(int slot, bool thumbnail);
    void OnPreviewStopped();
    void OnPreviewStarted();
    bool SeriesMode() const;
    bool SeriesOpen() const;
    void DrawProgress(CDrawContext* dc);
    void DrawPopup(CDrawContext* dc);
    void DrawSideBar(CDrawContext* dc);
    void DrawGuide(CDrawContext* dc);
    void Redraw();
    // All normal; in single-shot mode all but the exit button disabled.
    void ResetButtons();

    HBITMAP m_hPicture = nullptr;  // 16-bit, fitted
    RECT m_rcPictureView{};        // where the fitted picture sits in its area
    bool m_bLoaded = false;
    bool m_bProgressTold = false;  // logged since the screen opened
};

class CReviewSingleGUI : public CSinglePicBaseGUI, public CSingleton<CReviewSingleGUI> {
public:
    using CSingleton<CReviewSingleGUI>::GetInstance;
    using CSingleton<CReviewSingleGUI>::PeekInstance;
    using CSingleton<CReviewSingleGUI>::ReleaseInstance;
    CReviewSingleGUI();
    ~CReviewSingleGUI() override;

    int OnOpen() override;
    int OnClose() override;
    int OnCommand(DWORD command, DWORD argument) override;
};
