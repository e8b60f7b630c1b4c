// Still-camera control: attaches the camera, configures the capture graph's
// stream slots and frame callbacks, runs the preview and carries out the
// shot modes (a single still, a multishot from the preview stream on a
// thread of its own, the panorama set-up). Captured frames become shots;
// the end of a capture is posted to the main window.
#pragma once

#include <atomic>
#include <mutex>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// Capture state words.
inline constexpr DWORD CAPTURE_STATE_IDLE = 1;
inline constexpr DWORD CAPTURE_STATE_SINGLE = 16;
inline constexpr DWORD CAPTURE_STATE_PREVIEW_REQUESTED = 64;
inline constexpr DWORD CAPTURE_STATE_PREVIEW_TAKEN = 128;
inline constexpr DWORD CAPTURE_STATE_SAVING = 4096;
inline constexpr DWORD CAPTURE_STATE_BUSY_BITS = 0x550;
// lParam of WM_SINGLE_SHOT and WM_MULTI_SHOT_DONE.
inline constexpr LPARAM kShotDoneParam = 0x10004;

class CCameraControl : public CDrawEvent, public CSingleton<CCameraControl> {
public:
    using CSingleton<CCameraControl>::GetInstance;

    CCameraControl();
    ~CCameraControl() override;

    // Opens the camera driver, then makes the capture events; negative on failure.
    HRESULT AttachCamera();
    int CloseCaptureEvents();
    // 1 once Run opened the camera.
    BOOL IsRunning() const;
    // The fourth capture event: a waiting capture looks again (and a
    // multishot's spacing ends).
    void SignalCaptureEvent();
    int SetupCaptureGraph(HWND owner);
    // Opens the camera in the settings' mode; 0 when it cannot.
    int Run();
    // Back to the live preview; true when the graph runs.
    BOOL ResetPreview(int flag);
    BOOL StopPreview();

    // Mode 0 single, 1 multishot, 2 none of its own, 3 panorama; with apply,
    // that mode's picture size goes to the graph. 0 when refused.
    int SetShotMode(int mode, int apply);
    int GetShotMode() const { return static_cast<int>(m_nShotMode.load()); }
    int EnterCameraMode();
    // Index 0 to 3: that mode's 4-bit size field (mode 0 in bits 0 to 3);
    // index 4: the whole packed word.
    int GetShotModeSize(int index) const;
    int SetShotModeSize(int index, int value, int apply);
    int SetCurrentShotModeSize(int value);
    // The current shot mode's picture size; an index above 7 leaves both alone.
    void GetShotSize(LONG* width, LONG* height) const;
    int ApplyPreviewResolution();
    int ApplyShotModeSize0();
    int ApplyShotModeSize1();
    int InitPanoramashotMode();
    // Picture quality 0 to 2 (0 the best), which the JPEG savers read.
    void SetCaptureOption(int option, int apply);
    int GetCaptureOption() const;
    int GetCaptureOptionCount() const { return 3; }
    void SetEffectCommand(DWORD command, int apply);
    // Pictures that still fit the storage at the current quality.
    DWORD GetRemainingShots();

    // The shutter: the current shot mode's capture.
    int CameraCapture();
    int SingleshotCapture();
    int StartMultishot();
    int CameraCaptureStop();
    int MultishotCaptureStop();
    // A further shutter press during a capture.
    int TriggerCapture();
    int TriggerCapture2();
    HRESULT CaptureFromStillPin();
    HRESULT CaptureFromPreviewPin(int noInputFlush);

    // State bits; 1 idle. The bits 0x550 mean busy (capturing, saving).
    DWORD GetState() const;
    void SetState(DWORD state);

    // The graph's frame callbacks (streaming threads).
    static DWORD PreviewFrameCallback(BYTE* frame, DWORD length, LONG width, LONG height);
    static DWORD StillCallbackFromStillPin(BYTE* frame, DWORD length, LONG width, LONG height);
    static DWORD PlayerFrameCallback(BYTE* frame, DWORD length, LONG width, LONG height);
    // Serialises the streaming threads' frame callbacks.
    static std::mutex& FrameLock();

    // The longest a single shot waits for its still, in ms.
    static constexpr DWORD kStillWaitLimit = 5000;

private:
    enum { kStillEvent, kTriggerA, kTriggerB, kCaptureEvent, kEventCount };

    DWORD TakePreviewFrame(BYTE* frame, LONG width, LONG height);
    int Trigger(int which);
    static DWORD MultishotThreadProc(LPVOID parameter);
    void JoinMultishot();
    void ResizeForMode(int mode);

    HANDLE m_hEvents[kEventCount] = {};
    HANDLE m_hPreviewRequest = nullptr;
    HWND m_hOwner = nullptr;
    std::atomic<BYTE> m_bRunning{0};
    std::atomic<BYTE> m_bRetrigger{0};
    HANDLE m_hMultishotThread = nullptr;
    std::atomic<BYTE> m_bMultishotStop{1};
    std::atomic<DWORD> m_nState{CAPTURE_STATE_IDLE};
    std::atomic<DWORD> m_nShotMode{0};
    DWORD m_nEffectCommand = 0;
    std::atomic<DWORD> m_nShotModeSizes{0};
    std::atomic<DWORD> m_nCaptureOption{0};
    // A still the full shot list refused: the capture ends as a failure.
    std::atomic<BYTE> m_bStillRefused{0};
    // A multishot's stop and the streaming thread's adding of its frame
    // exclude each other: no frame is added once the stop returned.
    std::mutex m_multishotLock;
};
