// The screens the GUI-status mask names, one object each, made on first use.
#pragma once

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
LUM_DECLARE_SCREEN(CPreviewCameraGUI);        // camera preview
LUM_DECLARE_SCREEN(CPreviewCamcorderGUI);     // camcorder preview
LUM_DECLARE_SCREEN(CReviewSingleGUI);         // single-picture review
LUM_DECLARE_SCREEN(CReviewMovieGUI);          // movie review
LUM_DECLARE_SCREEN(CThumbnailGUI);            // thumbnail review
LUM_DECLARE_SCREEN(CViewerGUI);               // picture viewer
LUM_DECLARE_SCREEN(CReviewMultiCapturedGUI);  // multi-shot review

#undef LUM_DECLARE_SCREEN
