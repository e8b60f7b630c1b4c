// CePanorama: one stitching job of the panorama library, loaded at run time.
// Preview frames let the library follow the camera (every second one is
// used); when the camera stays on the next shot's place the shutter command
// is posted; shots are added until the job's count, then the stitched
// picture is handed back.
#pragma once

#include <atomic>
#include <mutex>

#include "plat/module.h"
#include "plat/panoramax.h"
#include "plat/windows.h"

// Posted to the notify window: the shutter, as WM_MAIN_COMMAND's command.
inline constexpr WPARAM CMD_PANORAMA_SHUTTER = 0x30001;
// WM_PANORAMA_FRAME's wParam when the job has all its shots.
inline constexpr WPARAM kPanoramaComplete = 6;

class CePanorama {
public:
    static CePanorama* GetInstance();
    // Unloads the library and ends the instance.
    static void DeleteInstance();

    // 1 when the library is bound, the job made and configured.
    int Initialize(HWND window, int shotWidth, int shotHeight, int previewWidth, int previewHeight, int shots);
    int PanoramaBegin();
    // A preview frame (4:2:0, the preview size); true when the library took it.
    bool AddPreviewFrame(BYTE* frame);
    // A shot (4:2:0, the job's shot size); 1 when added.
    int AddShotFrame(BYTE* frame);
    int GetPanoramaImage(BYTE** data, int* width, int* height, int* format);
    void Release();
    void Unload();

    // "NOT INITIALIZED", "INVALID", "VALID", "POSITIONED", "STEADY" or "BUG".
    const WCHAR* GetStatusText() const;
    // The text of a library result into the buffer (at least 80 characters); the code back.
    static int GetErrorText(int code, WCHAR* buffer);

    const WCHAR* GetErrorText() const { return m_szError; }
    int GetLastResult() const { return m_nResult; }
    // The status record and the points change on the preview's streaming
    // thread: these read a copy under the lock.
    int GetTargetCount() const { return GetStatus().target; }
    int GetAddedCount() const { return GetStatus().added; }
    PxStatus GetStatus() const;
    POINT GetCurrentPoint() const;
    POINT GetReferencePoint() const;
    bool IsAccepting() const { return m_bAccepting.load() != 0; }

    // The guide back at the centre, no frame taken (the job is complete).
    void StopAtCentre();
    // Frames taken again from a cleared status, for the next panorama.
    void Rearm();

private:
    CePanorama() = default;
    ~CePanorama();
    bool Bind();
    void StoreError(int code);
    void FillRecord(PxFrame* record, BYTE* frame, int width, int height);

    std::atomic<unsigned> m_bAccepting{0};
    PxStatus m_Status{};
    POINT m_ptCurrent{};
    POINT m_ptReference{};
    PxFrame m_ShotFrame{};
    PxFrame m_PreviewFrame{};
    PxHandle m_hJob = nullptr;
    int m_nShotWidth = 0, m_nShotHeight = 0, m_nPreviewWidth = 0, m_nPreviewHeight = 0;
    HWND m_hNotify = nullptr;
    int m_nResult = 0;
    WCHAR m_szError[128] = {};

    HMODULE m_hModule = nullptr;
    PFN_px_free m_pfnFree = nullptr;
    PFN_px_abort m_pfnAbort = nullptr;
    PFN_px_init m_pfnInit = nullptr;
    PFN_px_setParams m_pfnSetParams = nullptr;
    PFN_px_start m_pfnStart = nullptr;
    PFN_px_beginCapture m_pfnBeginCapture = nullptr;
    PFN_px_handleFrame m_pfnHandleFrame = nullptr;
    PFN_px_addFrame m_pfnAddFrame = nullptr;
    PFN_px_createPanorama m_pfnCreatePanorama = nullptr;
    PFN_px_getPanoramaImage m_pfnGetPanoramaImage = nullptr;
    PFN_px_endCapture m_pfnEndCapture = nullptr;
    unsigned m_bLoaded = 0;
    mutable std::mutex m_lock;  // around the frame hand-over, the status and the points
};
