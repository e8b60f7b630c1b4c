// What the main frame asks of the application object: the two ways of ending
// the program, the auto-off countdown, and the user's notification options
// and mouse action method saved at start and given back around dialogs.
#pragma once

#include "plat/windows.h"
#include "utility.h"

class CFrameApplication : public CProgramCloser {
public:
    // FillBlackClose (from CProgramCloser) sends WM_CLOSE; this one posts it.
    virtual void FillBlackClose2() = 0;
    // Reloads the countdown from the auto-off mode (0 never, 1 to 3 minutes).
    virtual void ResetAutoOff(int mode) = 0;
    // TRUE: save the user's options and silence them; FALSE: give them back.
    virtual void SaveNotifyOptions(BOOL save) = 0;
    // FALSE: save the user's method and set the program's; TRUE: restore it.
    virtual void SaveActionMethod(BOOL restore) = 0;
    // The black full-screen window with the wait cursor, and back.
    virtual void ShowBlackWnd() = 0;
    virtual void HideBlackWnd() = 0;
    // Locks the motion sensor (TRUE) or gives the user's setting back.
    virtual void LockMotionSensor(BOOL lock) = 0;

protected:
    ~CFrameApplication() = default;
};
