// One recognition run over the pictures of the result store: the words the
// recognition thread shares with the GUI thread, the thread's body, the
// engine's progress callback and the two endings the GUI thread carries out
// (going to the result, cleaning up). The single-picture screens drive it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "LumOCREngine.h"
#include "picture_recognition.h"
#include "plat/windows.h"

class CRecognitionRun {
public:
    static CRecognitionRun& Instance();

    // The thread's body: recognises every named slot of the store, then
    // posts WM_TARGET_COMMAND with CMD_STILL_GO_RESULT or CMD_STILL_CLEANUP
    // for `target` (0: the active screen). Returns 0.
    DWORD Run(LPARAM target);

    // The engine's progress callback: non-zero to go on.
    static std::int32_t ProgressCallback(std::int32_t percent);
    // Stops the engine at its next progress step and marks the run canceled.
    void Cancel();

    // Types the current picture's card records into the store; the number of
    // categories filled, 0 when nothing could be stored.
    int SendToResult(int cp1251);

    // The endings, on the GUI thread. GoToResult hands a good run to the
    // result view or compacts a series with failures; CleanUp frees the
    // store and deletes its pictures. Both leave going back to the preview
    // to the screen (CleanUp always wants it).
    void GoToResult();
    void CleanUp();

    // Back to the start: every word cleared, the continue word set.
    void Reset();

    // Words shared between the recognition thread and the GUI thread.
    std::atomic<int> currentPicture{0};   // the slot being recognised
    std::atomic<int> cancelPressed{0};    // the pen is down on the cancel button
    std::atomic<int>& canceled;           // read after each engine call
    std::atomic<int> preparing{0};        // before the direction check: the caption
    std::atomic<int> unablePopup{0};      // the clean-up shows popup 7
    std::atomic<int> stop{0};             // the cancel button was released on it
    std::atomic<int> goToPreview{0};      // the restarted preview switches back to the camera
    std::atomic<int> continueFlag{1};     // the engine's keep-going answer
    std::atomic<int> lastProgressPercent{0};
    std::atomic<int>& lastCategories;     // what the last SendToResult gave

private:
    CRecognitionRun();

    // Card records handed to SendToResult; only the run's thread touches it.
    OcrCardField* cardFields_ = nullptr;
};
