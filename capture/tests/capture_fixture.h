// A fresh device root, registry and virtual clock for the camera controls,
// a plain window as the main window, a recording host in place of the main
// frame and camera screen.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "capture_host.h"
#include "lumtest/tempdir.h"
#include "plat/windows.h"

namespace capture_test {

// The host's words, as the main frame and the camera screen would hold them;
// the camera's threads read and write them while the test does.
class RecordingHost : public CCaptureHost {
public:
    void ResetPreviewScreen() override { ++screenResets; }
    void EnterPreviewView() override { view = 1; }
    void OpenShotReview() override { ++reviewsOpened; }
    void ClearCaptureBusy() override { ++busyCleared; }
    void OnMultishotFrame() override
    {
        std::lock_guard<std::mutex> lock(tickLock);
        multishotTicks.push_back(GetTickCount());
        ++multishotFrames;
    }
    void SetStillSize(int width, int height) override { stillWidth = width, stillHeight = height; }
    void SetFocusIndicator(int value) override { indicators.push_back(value); }
    void OnPictureSaved() override { ++picturesSaved; }
    int RecognizeNow() const override { return recognizeNow; }
    int ShotCounter() const override { return shotCounter; }
    void SetShotCounter(int count) override { shotCounter = count; }
    void SetSeriesComplete() override { seriesComplete = 1; }
    void ClearCapturePending() override { ++pendingCleared; }
    bool IsPopupShown() const override { return popupShown; }
    // The camera screen's auto-shot word closes the gate once a card is found.
    bool AutoShotAllowed() const override { return autoShot && autoShotFound == 0; }
    int GuideMode() const override { return guide; }
    void SetAutoShotFound() override { ++autoShotFound; }

    std::atomic<int> screenResets{0};
    std::atomic<int> view{0};
    std::atomic<int> reviewsOpened{0};
    std::atomic<int> busyCleared{0};
    std::atomic<int> multishotFrames{0};
    std::mutex tickLock;
    std::vector<DWORD> multishotTicks;  // platform clock, under tickLock
    std::atomic<int> stillWidth{0};
    std::atomic<int> stillHeight{0};
    std::vector<int> indicators;
    std::atomic<int> picturesSaved{0};
    std::atomic<int> recognizeNow{1};
    std::atomic<int> shotCounter{0};
    std::atomic<int> seriesComplete{0};
    std::atomic<int> pendingCleared{0};
    std::atomic<bool> popupShown{false};
    std::atomic<bool> autoShot{false};
    std::atomic<int> guide{0};
    std::atomic<int> autoShotFound{0};
};

}  // namespace capture_test

class CaptureFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // HKLM "Platform\Camera" "Source" (and "Path").
    static void SetCameraSource(const WCHAR* source, const WCHAR* path = nullptr);
    // Attaches the camera as the program's start-up does; the preview runs.
    void StartCamera();
    // The messages posted to the main window since the last call (WM_DRAW_SCREEN left out).
    std::vector<MSG> Posted();
    // Advances the clock to the next wake-up (the sensor's next frame, or a
    // capture's time-out) once `waiters` threads wait on the clock.
    static void NextFrameTime(std::size_t waiters = 0);
    // Real time only lets other threads reach their waits on the clock.
    static bool WaitForClockWaiters(std::size_t waiters);

    lumtest::TempDir root_;
    HWND window_ = nullptr;
    capture_test::RecordingHost host_;
};
