// The capture graph: the one owner of the graph objects. It builds, switches
// and tears down the graphs on one camera filter, runs and stops them,
// triggers stills, sets the camera's properties, turns graph events into
// commands posted to the mode's owner window, and releases everything at exit.
// GUI thread only: the frame callbacks are the only code that runs on the
// graph's streaming threads.
#pragma once

#include "draw_event.h"
#include "frame_callback.h"
#include "plat/dshow.h"
#include "plat/windows.h"
#include "singleton.h"

class CStillFilter;
class CVGARenderer;

// Resolution indexes shared with the camera and camcorder controls.
enum : DWORD {
    RESOLUTION_2560_1920 = 0,
    RESOLUTION_2048_1536 = 1,
    RESOLUTION_1600_1200 = 2,
    RESOLUTION_1280_960 = 3,
    RESOLUTION_640_480 = 4,
    RESOLUTION_400_240 = 5,
    RESOLUTION_320_240 = 6,
    RESOLUTION_176_144 = 7,
};

// Capture modes.
enum : DWORD { CAPTURE_MODE_CAMERA = 0, CAPTURE_MODE_CAMCORDER = 1, CAPTURE_MODE_PLAYER = 2, CAPTURE_MODE_NONE = 3 };

class CDShowControl : public CDrawEvent, public CSingleton<CDShowControl> {
public:
    using CSingleton<CDShowControl>::GetInstance;

    // One mode's stream configuration.
    struct StreamConfig {
        HWND owner;               // receives this mode's commands and graph events
        DWORD reserved;
        DWORD index;
        DWORD stillResolution;    // camera slot only
        DWORD previewResolution;  // camera: preview size; camcorder: capture size
        DWORD streamOption;       // kept for the camcorder, never read here
    };

    CDShowControl();
    ~CDShowControl() override;

    // The width and height of a resolution index (any other: 2560 x 1920).
    static void ResolutionSize(DWORD index, LONG* width, LONG* height);

    HRESULT SetStreamConfig(HWND owner, DWORD reserved, DWORD index, DWORD stillResolution,
                            DWORD previewResolution, DWORD streamOption);
    // Only in mode 3 (else 0x80070005, the graph left alone).
    HRESULT InitCamera();
    HRESULT InitFilterGraph();
    HRESULT OpenCamera(DWORD mode);
    // The camera driver's legacy name, at most MAX_PATH characters.
    HRESULT GetCameraDevice(WCHAR* name);
    HRESULT SetMode(DWORD mode);
    HRESULT ChangeCameraMode(DWORD mode);
    // The first failing step's code.
    HRESULT SetResolution(DWORD stillIndex, DWORD previewIndex);
    HRESULT SetResolutionPreviewPin(DWORD index);
    HRESULT SetResolutionStllPin(DWORD index);
    HRESULT RunGraph(int quiet);
    HRESULT PauseGraph();
    HRESULT StopGraph(int quiet);
    HRESULT CameraCapture();
    // -2 without a camera filter.
    HRESULT SetAMCameraControl(long property, long value, bool autoFlag);
    HRESULT SetAMVideoProcAmp(long property, long value, bool autoFlag);
    HRESULT CaptureStreamControl(DWORD state);
    HRESULT HandleGraphEvent();
    // Goes on after a failed step (stop, then release all) and returns the first failure.
    HRESULT CloseCamera();
    HRESULT ReleaseAllFilters();
    HRESULT ReleaseInterfaces();

    // Recording (camcorder mode). A name of 260 characters or more fails
    // before the multiplexer is named.
    HRESULT StartRecording(LPCWSTR fileName);
    HRESULT StopRecording();
    HRESULT PauseRecording();
    HRESULT ResumeRecording();
    // Whole seconds recorded, paused time left out; 0 before any recording.
    LONGLONG GetRecordedSeconds();
    // Store one limit (KB or seconds) and clear the other.
    HRESULT LimitVideoRecording(DWORD sizeKb);
    HRESULT TimeLimitRecording(DWORD seconds);
    HRESULT SetLimitRecording();
    BOOL IsRecording() const { return m_bRecording; }
    LPCWSTR GetRecordFile() const { return m_szRecordFile; }

    // Playback (player mode). A path of 260 characters or more: E_FAIL.
    HRESULT OpenVideoFile(LPCWSTR path, DWORD* durationSeconds);
    HRESULT CloseVideoFile();
    HRESULT GetVideoPlayingTime(double* milliseconds);
    IGraphBuilder* GetPlayerGraph() const { return m_pPlayerGraph; }

    // Pins and connections. The first form: by name, else the first pin of
    // the direction (unconnected only when asked); no match is S_FALSE.
    HRESULT GetPin(IBaseFilter* filter, PIN_DIRECTION dir, LPCWSTR name, IPin** pin, BOOL unconnectedOnly);
    // The second form: direction 2 matches both; by exact name, else the
    // index-th pin of the direction.
    HRESULT GetPin(IBaseFilter* filter, IPin** pin, int dir, LPCWSTR name, int index);
    HRESULT ConnectFilters(IBaseFilter* source, LPCWSTR sourcePin, int sourceIndex, IBaseFilter* target,
                           LPCWSTR targetPin, int targetIndex);
    HRESULT ConnectFilters2(IBaseFilter* source, LPCWSTR sourcePin, IBaseFilter* target, LPCWSTR targetPin);
    HRESULT DisconnectDownStream(IBaseFilter* filter);
    HRESULT EnumPins(IBaseFilter* filter);
    HRESULT ListFilters(IGraphBuilder* graph);
    void RecordingClock();

    // Written by the camera control before the camera is opened.
    FrameCallback m_pfnPreviewCallback = nullptr;
    FrameCallback m_pfnStillCallback = nullptr;
    FrameCallback m_pfnPlayerCallback = nullptr;

    DWORD GetMode() const { return m_dwMode; }
    DWORD GetStreamControlState() const { return m_dwStreamControlState; }
    const StreamConfig& GetStreamConfig(DWORD slot) const { return m_Config[slot & 3]; }
    IGraphBuilder* GetGraph() const { return m_pGraph; }
    IBaseFilter* GetCameraFilter() const { return m_pCameraFilter; }
    CVGARenderer* GetRenderer() const { return m_pRenderer; }
    CStillFilter* GetStillFilter() const { return m_pStillFilter; }

private:
    HRESULT ConstructCameraGraph();
    HRESULT ReleaseCameraGraph();
    HRESULT AddFilterPreview();
    HRESULT ConnectPreview();
    HRESULT AddFilterStill();
    HRESULT ConnectStill();
    HRESULT DisconnectPreview();
    HRESULT RemoveFilterPreview();
    HRESULT DisconnectStill();
    HRESULT RemoveFilterStill();
    HRESULT ChangeResolution(const GUID& category, DWORD index);
    HRESULT DisconnectPins(IBaseFilter* source, LPCWSTR sourcePin, IBaseFilter* target, LPCWSTR targetPin);

    // The camcorder graph.
    HRESULT ConstructCamcorderGraph();
    HRESULT ReleaseCamcorderGraph();
    HRESULT AddFilterCapture();
    HRESULT ConnectCapture();
    HRESULT DisconnectCapture();
    HRESULT RemoveFilterCapture();
    HRESULT AddFilterAudio();
    HRESULT ConnectAudio();
    HRESULT DisconnectAudio();
    HRESULT RemoveFilterAudio();
    HRESULT SetPropertiesForVLM(DWORD bitRate, DWORD vopRate);
    HRESULT SetPropertiesForEMZ(DWORD bitRate);
    HRESULT SetProperty(IBaseFilter* filter, LPCWSTR name, VARIANT* value);

    // The player graph.
    HRESULT AddFilterPlayer();
    HRESULT ConnectPlayer();
    HRESULT DisconnectPlayer();
    HRESULT RemoveFilterPlayer();
    HRESULT ControlStream(const GUID& category, const GUID& type, IBaseFilter* filter, REFERENCE_TIME start,
                          REFERENCE_TIME stop, WORD startCookie, WORD stopCookie);
    HWND Owner() const { return m_Config[m_dwMode & 3].owner; }
    void PostCommand(HWND owner, DWORD command);

    DWORD m_dwMode = CAPTURE_MODE_NONE;
    StreamConfig m_Config[4] = {};
    DWORD m_dwReserved = 0;
    WCHAR m_szRecordFile[261] = {};
    WCHAR m_szPlayerFile[260] = {};
    DWORD m_dwUnused = 4;
    BYTE m_bUnused[3] = {};
    BOOL m_bRecording = FALSE;
    DWORD m_dwStartedCookies = 0;
    DWORD m_dwStoppedCookies = 0;
    LONGLONG m_llStartPosition = 0;
    LONGLONG m_llPausePosition = 0;
    LONGLONG m_llPausedTotal = 0;
    DWORD m_dwStreamControlState = 0;
    DWORD m_dwClockLast = 0;
    DWORD m_dwClockStart = 0;
    DWORD m_dwClockSeconds = 0;
    DWORD m_dwReserved2[2] = {};
    BOOL m_bClosing = FALSE;
    BOOL m_bLimitArmed = FALSE;
    DWORD m_dwSizeLimit = 0;
    DWORD m_dwTimeLimit = 0;

    IGraphBuilder* m_pGraph = nullptr;
    ICaptureGraphBuilder2* m_pCaptureBuilder = nullptr;
    IBaseFilter* m_pCameraFilter = nullptr;
    IBaseFilter* m_pAudioCapture = nullptr;
    IBaseFilter* m_pSmartTee = nullptr;
    IBaseFilter* m_pVideoEncoder = nullptr;
    IBaseFilter* m_pAudioEncoder = nullptr;
    IBaseFilter* m_pMux = nullptr;
    IGraphBuilder* m_pPlayerGraph = nullptr;
    IBaseFilter* m_pPlayerSource = nullptr;
    IBaseFilter* m_pAudioRenderer = nullptr;
    CStillFilter* m_pStillFilter = nullptr;
    CVGARenderer* m_pRenderer = nullptr;

    // Nothing else sets the encoder's rates: fixed values the stand-in's
    // encoder and any player handle.
    DWORD m_dwVideoEncoder = 0;
    DWORD m_dwVideoBitRate = 384000;
    DWORD m_dwVopRate = 15;
};
