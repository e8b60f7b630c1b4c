// Display orientation and screen size as the screens see them, stale-input
// pumps, notification sounds and the memory status line.
#pragma once

#include <atomic>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

inline constexpr UINT_PTR TM_INPUT_FLUSH = 20;

BOOL PumpMouseMessages(BOOL dispatch, BOOL remove);
BOOL PumpKeyMessages(BOOL dispatch, BOOL remove);

class CSystem : public CDrawEvent, public CSingleton<CSystem> {
public:
    using CSingleton<CSystem>::GetInstance;

    CSystem() = default;
    ~CSystem() override = default;

    DWORD GetDisplayOrientation(DEVMODEW& mode);
    void RotateScreen(DEVMODEW& mode, DWORD orientation);
    BOOL ValidateDisplayOrientation();
    BOOL IsDisplayRotated();
    void ResetRotation();
    UINT_PTR SetInputFlushTimer(BOOL enable, UINT period);
    BOOL PumpMessages(DWORD timeoutMs);
    void MuteNotificationSounds(BOOL mute);
    void LogMemoryStatus(DWORD minIntervalMs);

    DWORD Orientation() const { return orientation_; }
    // False while the input-flush timer runs.
    BOOL IsInputFlushStopped() const { return inputFlushStopped_; }
    int SystemWidth() const { return systemWidth_; }
    int SystemHeight() const { return systemHeight_; }
    int ScreenWidth() const { return screenWidth_; }
    int ScreenHeight() const { return screenHeight_; }
    int TurnedWidth() const { return turnedWidth_; }
    int TurnedHeight() const { return turnedHeight_; }

private:
    DWORD savedNotifyOptionsB_ = 0;
    DWORD savedNotifyOptionsA_ = 0;
    BOOL inputFlushStopped_ = FALSE;
    // Every thread that draws asks for the orientation, and each ask records
    // it here; each value stands on its own, so atomic words suffice.
    std::atomic<DWORD> orientation_ = 0;
    std::atomic<int> systemWidth_ = 0;
    std::atomic<int> systemHeight_ = 0;
    std::atomic<int> screenWidth_ = 0;
    std::atomic<int> screenHeight_ = 0;
    std::atomic<int> turnedWidth_ = 0;
    std::atomic<int> turnedHeight_ = 0;
    // Restorations left; the object lives as long as the program.
    int retryBudget_ = 3;
    DWORD lastMemoryLog_ = 0;
};
