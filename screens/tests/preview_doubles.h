// What the capture doubles of the preview tests answer, and the calls they
// log (into the shell doubles' log).
#pragma once

#include "plat/windows.h"

class CShot;

namespace screens_test {

struct CaptureAnswers {
    int running = 1;          // the camera control's running byte
    int focusOk = 1;          // what a focus press leaves in the common control
    int brightness = 1;       // the brightness check
    int selfTimerSet = 0;
    HRESULT playerOpen = S_OK;  // what opening a video answers
    long long recordedSeconds = 0;
    CShot* lastShot = nullptr;  // what the shot control gives as its last shot
};
CaptureAnswers& Capture();

}  // namespace screens_test
