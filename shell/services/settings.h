// Run-time state shared by every screen: the GUI-status mask, modes, flags,
// launch parameters given by another program, and the OCR options loaded
// from the registry with their defaults written back.
#pragma once

#include <atomic>

#include "base_gui.h"
#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// GUI-status bits.
inline constexpr DWORD GUI_STATUS_START = 0x1;
inline constexpr DWORD GUI_STATUS_CAMERA = 0x2;
inline constexpr DWORD GUI_STATUS_CAMCORDER = 0x4;
inline constexpr DWORD GUI_STATUS_SETTING = 0x8;
inline constexpr DWORD GUI_STATUS_VIEWER = 0x10;
inline constexpr DWORD GUI_STATUS_REVIEW_SINGLE = 0x20;
inline constexpr DWORD GUI_STATUS_POPUP = 0x40;
inline constexpr DWORD GUI_STATUS_THUMBNAIL = 0x80;
inline constexpr DWORD GUI_STATUS_REVIEW_MULTI = 0x100;
inline constexpr DWORD GUI_STATUS_REVIEW_MOVIE = 0x200;
inline constexpr DWORD GUI_STATUS_NOTICE = 0x800;
inline constexpr DWORD GUI_STATUS_CAPTURING = 0x1000;
inline constexpr DWORD GUI_STATUS_THUMBNAIL_FROM_CAMERA = 0x4000;

// The main window's timer that clears the notice bit again.
inline constexpr UINT_PTR TM_CLEAR_GUI_STATUS = 24;
inline constexpr UINT kNoticeMilliseconds = 3000;

// Flags word.
inline constexpr DWORD SETTINGS_FLAG_DRAW_HELD = 0x2;
inline constexpr DWORD SETTINGS_FLAG_FORCE_EXIT = 0x4;

inline constexpr const WCHAR* kOcrOptionsKey = L"SOFTWARE\\Quarlo\\LumOCR";
inline constexpr const WCHAR* kCameraStateKey = L"SOFTWARE\\Velmora\\Camera";
inline constexpr const WCHAR* kKeypadStateKey = L"System\\State\\Velmora\\Keypad";
inline constexpr const WCHAR* kStartEventName = L"EVENT_CAMMON_LUMOCR_START";
inline constexpr const WCHAR* kEndEventName = L"EVENT_CAMMON_LUMOCR_END";
inline constexpr const WCHAR* kLaunchParametersKey = L"\\Software\\Microsoft\\Pictures\\Camera\\User";

// The OCR option words the main frame holds.
struct OcrOptions {
    DWORD enableAutoFocus = 0;
    DWORD selectedLanguage = 0;
    DWORD enableAutoSave = 0;
    DWORD bcrOcrMode = 0;
    DWORD singleMultiMode = 0;
};

struct LaunchParameters {
    int mode;
    WCHAR defaultDir[MAX_PATH];
    WCHAR fileName[MAX_PATH];
    int qualitySetting;
    int width;
    int height;
    int userVideoTime;
    int videoType;
    int audioEnabled;
};

class CSettings : public CDrawEvent, public CSingleton<CSettings> {
public:
    using CSingleton<CSettings>::GetInstance;

    void AddGUIStatus(DWORD bits);
    void RemoveGUIStatus(DWORD bits);
    void ChangeGUIStatus(DWORD add, DWORD remove);
    BOOL IsGUIStatus(DWORD bits) const { return (guiStatus_ & bits) != 0; }
    DWORD GetGUIStatus() const { return guiStatus_; }
    // The bit of the screen that is active now: the first match in the
    // screens' order, 0 for none. The popup bit takes no part.
    DWORD GetActiveGUIStatus() const;
    // The screen object of that bit, or none.
    CBaseGUI* GetActiveGUI() const;
    // On: the notice bit, cleared by the main window's timer after 3000 ms.
    void SetNoticeStatus(BOOL on);

    void SetCurrentCommand(DWORD command);
    DWORD GetCurrentCommand() const { return currentCommand_; }
    DWORD GetCurrentCommandFamily() const { return currentCommandFamily_; }
    void SetAutoOffMode(int mode);
    int GetAutoOffMode() const { return autoOffMode_; }
    // The shared auto-off countdown: -1 never, else seconds.
    static std::atomic<int>& AutoOffSeconds();
    void SetGPSState(int state) { gpsState_ = state; }
    int GetGPSState() const { return gpsState_; }
    // Opens or closes the GPS device.
    void SetUseGPS(BOOL on);
    BOOL IsGPSOn() const { return gpsOn_; }

    // "Run" = run value, "SleepSoon" = 0, each flushed; then the named event.
    void SignalStart(DWORD run);
    void SignalEnd();
    void ClearSleepSoon();
    void SetVolumeMute(BOOL restore);

    // The language library's file name, or empty when there is none.
    LPCWSTR FindMuiFile();
    int GetDefaultOcrLanguage();
    void LoadLaunchParameters();
    // The start-up defaults: this object's, the camera's and camcorder's,
    // and the storage choice.
    void Load(LPCWSTR commandLine);
    void LoadOcrOptions(OcrOptions& options);
    void Release() {}

    int GetMode() const { return mode_; }
    // 0 camera, 1 camcorder.
    void SetMode(int mode) { mode_ = mode; }
    // The camera screens' controls hidden by an empty touch.
    BOOL IsControlsHidden() const { return controlsHidden_; }
    void SetControlsHidden(BOOL hidden) { controlsHidden_ = hidden; }
    BOOL IsLaunchedByOther() const { return launchedByOther_; }
    const LaunchParameters& GetLaunchParameters() const { return launch_; }
    int GetRecordWithoutSound() const { return recordWithoutSound_; }
    int GetBatteryLevel() const { return batteryLevel_; }
    void SetBatteryLevel(int level) { batteryLevel_ = level; }
    DWORD GetFlags() const { return flags_; }
    void SetFlags(DWORD bits) { flags_ |= bits; }
    void ClearFlags(DWORD bits) { flags_ &= ~bits; }

    // Settings 1 to 10 that belong to the camera screens; 0 for others.
    int GetScreenSetting(int number) const;
    // Whether a shot opens the single-picture review; the camera screens set it.
    BOOL IsReviewSwitchOn() const { return reviewSwitch_; }
    void SetReviewSwitch(BOOL on) { reviewSwitch_ = on; }
    // The guide lines over the preview, as the settings menu sets them.
    BOOL IsGuideLineOn() const { return guideLine_; }
    void SetGuideLine(BOOL on) { guideLine_ = on; }
    void SetScreenSetting(int number, int value);

    LPWSTR CurrentOcrPicturePath() { return currentOcrPicturePath_; }
    LPWSTR CurrentOcrPictureName() { return currentOcrPictureName_; }

    CSettings();
    ~CSettings() override = default;

private:
    int batteryLevel_ = 0;
    std::atomic<DWORD> guiStatus_{GUI_STATUS_START};
    DWORD currentCommand_ = 0;
    DWORD currentCommandFamily_ = 0;
    int mode_ = 0;
    BOOL controlsHidden_ = FALSE;
    int recordWithoutSound_ = 0;
    // The recognition worker keeps the program awake with it too.
    std::atomic<int> autoOffMode_{0};
    BOOL launchedByOther_ = FALSE;
    int noticeAtStart_ = 0;
    int gpsState_ = 0;
    BYTE gpsOn_ = 0;
    WCHAR currentOcrPicturePath_[MAX_PATH] = {};
    WCHAR currentOcrPictureName_[MAX_PATH] = {};
    DWORD savedKeyVolume_ = 0;
    DWORD savedScreenVolume_ = 0;
    LaunchParameters launch_ = {};
    int sleepExitInProgress_ = 0;
    std::atomic<DWORD> flags_{SETTINGS_FLAG_DRAW_HELD};
    BOOL reviewSwitch_ = FALSE;
    BOOL guideLine_ = FALSE;
    WCHAR muiFile_[MAX_PATH] = {};
    // Index 0 unused.
    int screenSettings_[11] = {0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0};
};
