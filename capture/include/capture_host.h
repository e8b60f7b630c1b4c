// What the camera controls ask of the main frame and of the camera preview
// screen above them. The application installs its own host; until then (and
// in tools that have no main frame) a host with plain answers serves: no
// popup, nothing busy, auto shot off.
#pragma once

#include "plat/windows.h"

class CCaptureHost {
public:
    virtual ~CCaptureHost() = default;

    // Back to the live preview: the camera screen's capture words and guide
    // byte cleared, its resources loaded; the frame's view word 1 and its
    // multi-recognition flags cleared.
    virtual void ResetPreviewScreen() {}
    virtual void EnterPreviewView() {}
    // A single shot that failed: the camera screen is no longer busy.
    virtual void ClearCaptureBusy() {}
    // A multishot frame was stored (on the capture thread; post, never call a screen).
    virtual void OnMultishotFrame() {}
    // A finished panorama is reviewed before it is saved: the single-picture
    // review screen opens on the shot list.
    virtual void OpenShotReview() {}

    // The still callback's picture size.
    virtual void SetStillSize(int /*width*/, int /*height*/) {}
    // The half-pressed shutter's indicator: 0 none, 1 focusing, 2 focused, 3 failed.
    virtual void SetFocusIndicator(int /*value*/) {}
    // The shutter key's tick, logged by the still capture.
    virtual DWORD ShutterTick() const { return 0; }

    // A still was written: the frame notes it and clears its pending-capture word.
    virtual void OnPictureSaved() {}
    // 1: one recognition per shot (the frame's SINGLEMULTI_MODE).
    virtual int RecognizeNow() const { return 1; }
    // The series' shot counter and its complete flag.
    virtual int ShotCounter() const { return 0; }
    virtual void SetShotCounter(int /*count*/) {}
    virtual void SetSeriesComplete() {}
    virtual void ClearCapturePending() {}
    virtual bool IsPopupShown() const { return false; }

    // The preview worker's gate: both auto-shot words set, no popup, the
    // frame and the camera screen not busy.
    virtual bool AutoShotAllowed() const { return false; }
    // The camera screen's guide byte: 1 guide lines, else auto shot.
    virtual int GuideMode() const { return 0; }
    // The camera screen's auto-shot word, set when a card is found.
    virtual void SetAutoShotFound() {}
};

// The installed host, or the plain one. Install from the GUI thread before
// the capture starts; null puts the plain host back.
CCaptureHost& CaptureHost();
void SetCaptureHost(CCaptureHost* host);
