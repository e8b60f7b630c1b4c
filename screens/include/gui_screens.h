// The screens the GUI-status mask names, one object each, made on first use.
#pragma once

#include <atomic>

#include "base_gui.h"
#include "singleton.h"

#define LUM_DECLARE_SCREEN(Name)                     \
    class Name : public CBaseGUI, public CSingleton<Name> { \
    public:                                          \
        using CSingleton<Name>::GetInstance;         \
        Name();                                      \
        ~Name() override;                            \
    }

LUM_DECLARE_SCREEN(CPreviewSettingGUI);       // camera settings menu
LUM_DECLARE_SCREEN(CPreviewCamcorderGUI);     // camcorder preview
LUM_DECLARE_SCREEN(CReviewSingleGUI);         // single-picture review
LUM_DECLARE_SCREEN(CReviewMovieGUI);          // movie review
LUM_DECLARE_SCREEN(CThumbnailGUI);            // thumbnail review
LUM_DECLARE_SCREEN(CViewerGUI);               // picture viewer
LUM_DECLARE_SCREEN(CReviewMultiCapturedGUI);  // multi-shot review

#undef LUM_DECLARE_SCREEN

// The camera preview, with the flags the main frame clears.
class CPreviewCameraGUI : public CBaseGUI, public CSingleton<CPreviewCameraGUI> {
public:
    using CSingleton<CPreviewCameraGUI>::GetInstance;
    CPreviewCameraGUI();
    ~CPreviewCameraGUI() override;

    // Shows or hides the mode notice; the main window's timer 7010 hides it
    // after 3000 ms.
    void SetModeNotice(BOOL on);

    int m_bShotPending = 0;
    int m_bModeNotice = 0;
    int m_bSettingMenu = 0;
};

// The single-picture screen that runs the recognition.
class CSinglePicBaseGUI : public CBaseGUI, public CSingleton<CSinglePicBaseGUI> {
public:
    using CSingleton<CSinglePicBaseGUI>::GetInstance;
    CSinglePicBaseGUI();
    ~CSinglePicBaseGUI() override;

    // Thread procedure of one recognition run.
    static DWORD RecognitionThread(LPVOID);
    // Clears the engine's keep-going flag and sets the cancel word.
    void CancelRecognition();

    std::atomic<int> m_bCancel{0};
    int m_nResult = 0;
};

// The message popup over any screen.
class CMessagePopupGUI : public CBaseGUI, public CSingleton<CMessagePopupGUI> {
public:
    using CSingleton<CMessagePopupGUI>::GetInstance;
    CMessagePopupGUI();
    ~CMessagePopupGUI() override;

    // Shows the message that waited behind another (timer 7002).
    void ShowPending();
};
