// The main frame as the camera controls' host: the frame's words the
// capture reads and writes.
#pragma once

#include "capture_host.h"

class CFrameCaptureHost : public CCaptureHost {
public:
    void ResetPreviewScreen() override;
    void EnterPreviewView() override;
    void OpenShotReview() override;
    void SetStillSize(int width, int height) override;
    void SetFocusIndicator(int value) override;
    void OnPictureSaved() override;
    int RecognizeNow() const override;
    int ShotCounter() const override;
    void SetShotCounter(int count) override;
    void SetSeriesComplete() override;
    void ClearCapturePending() override;
    bool IsPopupShown() const override;
    bool AutoShotAllowed() const override;
};

// The program's one host, installed at start-up.
CFrameCaptureHost& FrameCaptureHost();
