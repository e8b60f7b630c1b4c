// What camera and camcorder share: the image settings sent to the camera
// driver, focus and light for a half-pressed shutter, zoom, the self-timer
// countdown, the latest preview frame and the preview worker that looks for
// a card's edges (auto shot) and draws each frame into the display's back
// buffer.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <vector>

#include "draw_event.h"
#include "mm_timer.h"
#include "plat/windows.h"
#include "singleton.h"

class CCommonControl : public CDrawEvent, public MMTimerSink, public CSingleton<CCommonControl> {
public:
    using CSingleton<CCommonControl>::GetInstance;

    CCommonControl();
    ~CCommonControl() override;

    // Settings sent to the camera driver. Those with an apply flag only
    // store the value when it is 0. False when the driver refuses.
    BOOL SetISO(int value, int apply);
    BOOL SetWhiteBalance(int value);
    BOOL SetMetering(int value, int apply = 1);
    BOOL SetFPS(int fps);
    BOOL SetEV(int index);
    BOOL SetEffect(int code);
    BOOL SetSaturation(int value, int apply);
    BOOL SetContrast(int value, int apply);
    BOOL SetSharpness(int value, int apply);
    BOOL SetColorAccent(int value);
    BOOL SetColorSwap(int a, int b);
    BOOL SetUseWDR(int value, int apply);
    void SetZoom(int index);
    // Preview 320 x 240 for 0, 400 x 240 for 1.
    BOOL SetWidePreview(int wide, int apply);
    BOOL IsWidePreview() const { return m_bWidePreview != 0; }
    void SetUseFocus(int value) { m_nFocusSetting = value; }
    int IsUseFocus() const { return m_nFocusSetting; }
    void SetLightMode(int mode) { m_nLightMode = mode; }
    int GetLightMode() const { return m_nLightMode; }
    // 0, 1, 2, 3: a countdown of 0, 2, 5, 10 seconds.
    void SetSelfTimerMode(int mode);
    // "Sensor_ID" under HKEY_CURRENT_USER "\Software\Microsoft\Pictures\Camera\USER".
    void WriteSensorID(int value);
    int ToggleSensorID();
    // The white-balance word: 0 automatic, 1 to 4 fixed settings.
    int GetWhiteBalance() const;
    int GetISO() const { return m_nISO; }
    int GetMetering() const { return m_nMetering; }
    int GetEV() const { return m_nEV; }
    int GetFPS() const { return m_nFPS; }
    int GetZoom() const { return m_nZoom; }
    int GetContrast() const { return m_nContrast; }
    int GetSaturation() const { return m_nSaturation; }
    int GetSharpness() const { return m_nSharpness; }
    int GetEffect() const { return m_nEffect; }
    int IsUseWDR() const { return m_bWDR; }
    int GetSelfTimerMode() const { return m_nSelfTimerMode.load(); }

    // The capture graph's mode, pending input dropped.
    void SetGraphMode(int mode);

    // Focus modes 0, 1, 2 (driver codes 704 to 708, 900, 901).
    BOOL SetFocus(int mode, int force);
    BOOL SetFocusOff();
    BOOL SetFocusing();
    int GetFocusState() const { return m_nFocusState; }
    int GetBrightness();
    BOOL SetLightOn(int value);
    BOOL SetLightOff(int value);
    // The half-pressed shutter.
    int OnAutoFocusPress();
    int OnAutoFocusRelease();

    // Zoom steps 0 to 9.
    void ZoomStep(int in);

    // Self-timer.
    void StartSelfTimer();
    void CancelSelfTimer();
    int IsSelfTimerSet() const;
    int GetCountdown() const { return m_nCountdown; }
    void OnMmTimerHandler(UINT message, UINT timerId, DWORD user, BOOL* handled) override;
    // One tick; 0 for a timer id that is not the self-timer's.
    int SelfTimerTick(UINT timerId);

    static int GetResolutionWidth(int index);
    static int GetResolutionHeight(int index);
    // The frame size the worker expects for the active screen; 0 when no
    // screen shows the preview.
    int GetPreviewFrameWidth() const;
    int GetPreviewFrameHeight() const;

    // The preview frame (streaming threads, under the camera's frame lock).
    void SetPreviewBuf();
    // Frees the preview buffers once the worker is idle.
    void FreePreviewBuffers();
    HRESULT CopyFrame(const BYTE* frame, LONG width, LONG height);
    bool IsWorkerBusy() const { return m_bWorkerBusy.load() != 0; }
    // Runs change() with the worker kept off the display: the frame it is
    // drawing is finished first, and none is drawn until change() returns.
    void HoldWorkerOff(const std::function<void()>& change);
    // Wakes the worker for the frame just copied.
    void SignalFrame();
    // The worker starts suspended; the camera screen resumes it.
    void ResumeWorker();
    // Ends and joins the worker (at shutdown).
    void StopWorker();
    // One frame of the worker: the edge check, then the drawing. 1 when drawn.
    int DetectAutoShot();
    void ClearAutoShotRect();
    void ClearEdgeFound() { m_nEdgeFound = 0; }
    RECT GetEdgeRect() const;
    int GetEdgeFound() const { return m_nEdgeFound; }
    // Frames dropped by the preview callback while the worker was busy.
    unsigned long DroppedFrames() const { return m_nDropped.load(); }
    void NoteDroppedFrame() { ++m_nDropped; }

    // Words the shell and the camera read and write.
    std::atomic<int> m_bPreviewLock{0};      // while set, preview frames are not copied
    std::atomic<int> m_bCaptureRunning{0};
    std::atomic<int> m_bFocusing{0};         // the shutter is half pressed
    std::atomic<int> m_nFocusSetting{1};     // use focus; tested before the codes 707 and 708
    std::atomic<int> m_bExit{0};
    // The camera screen's words kept here: the shot flag, the panorama
    // switch, the last edge result and the focus count.
    std::atomic<int> m_bShot{0};
    int m_bPanorama = 0;
    int m_nLastEdge = 0;
    int m_nFocusCount = 0;
    // The edge check's per-side flags (left, top, right, bottom: 1 found);
    // the worker writes them under m_rectLock.
    RECT m_rcEdge = {};
    // 1 after a successful focus, 0 after a failure.
    std::atomic<int> m_nFocusOk{0};

private:
    static DWORD AutoShotThreadProc(LPVOID parameter);
    BOOL SendCamera(long value);
    BOOL SetSevenStep(int& stored, int value, int apply, long property, const long (&table)[7], long otherwise);
    void PreviewFrameSize(int* width, int* height) const;
    void DrawFrame(const BYTE* frame, int width, int height);

    std::atomic<int> m_nSensorID{0};
    int m_nFrameSkip = 0;
    HANDLE m_hFrameEvent = nullptr;
    HANDLE m_hExitEvent = nullptr;
    HANDLE m_hWorker = nullptr;
    std::atomic<int> m_bWorkerStarted{0};
    std::atomic<DWORD> m_nFrameSize{0};
    std::atomic<int> m_bWorkerBusy{0};
    std::mutex m_rectLock;
    std::atomic<int> m_nEdgeFound{0};
    int m_nPrevEdgeFound = 0;
    int m_nEdgeHits = 0;
    int m_nEdgeFrames = 0;
    std::atomic<LONG> m_nFrameWidth{0};
    std::atomic<LONG> m_nFrameHeight{0};
    int m_bWDR = 0;
    int m_nColorAccent = 0;
    int m_nSwapA = -1;
    int m_nSwapB = -1;
    std::vector<BYTE> m_frame;       // latest 4:2:0 frame
    std::vector<BYTE> m_panelImage;  // the frame as RGB565 at the expected size
    std::vector<BYTE> m_workPlanes;  // the frame's planes resized for drawing
    std::vector<BYTE> m_grey;        // the edge check's copy of the luminance
    int m_nISO = 0;
    std::atomic<int> m_nWhiteBalance{0};
    int m_nEffect = 0;
    int m_nMetering = 2;
    int m_nEV = 4;
    std::atomic<int> m_nLightMode{0};
    int m_nFocusMode = 1;
    std::atomic<int> m_nFocusState{0};
    int m_nContrast = 0;
    int m_nSaturation = 0;
    int m_nSharpness = 0;
    std::atomic<int> m_nSelfTimerMode{0};
    std::atomic<int> m_nCountdown{0};
    int m_nFPS = -1;
    std::atomic<int> m_nZoom{0};
    int m_bWidePreview = 0;
    std::atomic<unsigned long> m_nDropped{0};
};
