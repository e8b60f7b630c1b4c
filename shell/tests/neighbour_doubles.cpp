#include "neighbour_doubles.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "camcorder_control.h"
#include "camera_control.h"
#include "capture_host.h"
#include "common_control.h"
#include "dshow_control.h"
#include "gps_control.h"
#include "player_control.h"
#include "recognition_cancel.h"
#include "shot_control.h"
#include "sound_control.h"

namespace doubles {

std::vector<std::string>& Calls()
{
    static std::vector<std::string> calls;
    return calls;
}

NeighbourState& State()
{
    static NeighbourState state;
    return state;
}

void Log(const char* format, ...)
{
    char line[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Calls().push_back(line);
    if (State().onCall)
        State().onCall(line);
}

}  // namespace doubles

using doubles::Log;

CCameraControl::CCameraControl() = default;
CCameraControl::~CCameraControl() = default;
int CCameraControl::SetShotMode(int mode, int flag)
{
    Log("CCameraControl::SetShotMode(%d, %d)", mode, flag);
    return 1;
}
int CCameraControl::SetShotModeSize(int index, int value, int apply)
{
    Log("CCameraControl::SetShotModeSize(%d, 0x%x, %d)", index, value, apply);
    return index <= 4;
}
void CCameraControl::SetCaptureOption(int option, int apply)
{
    Log("CCameraControl::SetCaptureOption(%d, %d)", option, apply);
    m_nCaptureOption = static_cast<DWORD>(option);
}

DWORD CCameraControl::GetState() const { return doubles::State().cameraState; }
void CCameraControl::SetState(DWORD state)
{
    Log("CCameraControl::SetState(%u)", static_cast<unsigned>(state));
    doubles::State().cameraState = state;
}
int CCameraControl::AttachCamera()
{
    Log("CCameraControl::AttachCamera()");
    return doubles::State().attachResult;
}
int CCameraControl::SetupCaptureGraph(HWND) { Log("CCameraControl::SetupCaptureGraph()"); return 1; }
int CCameraControl::Run()
{
    Log("CCameraControl::Run()");
    return doubles::State().runResult;
}
int CCameraControl::ResetPreview(int flag)
{
    Log("CCameraControl::ResetPreview(%d)", flag);
    return 1;
}
BOOL CCameraControl::StopPreview()
{
    Log("CCameraControl::StopPreview()");
    return TRUE;
}

CPlayerControl::CPlayerControl() = default;
CPlayerControl::~CPlayerControl() = default;
CCamcorderControl::CCamcorderControl() = default;
CCamcorderControl::~CCamcorderControl() = default;
void CCamcorderControl::SelectSizeMode(int mode) { Log("CCamcorderControl::SelectSizeMode(%d)", mode); }
int CCamcorderControl::SetVideoSize(int selector, int value, int apply)
{
    Log("CCamcorderControl::SetVideoSize(%d, 0x%x, %d)", selector, value, apply);
    return selector <= 2;
}
void CCamcorderControl::SetStreamOption(DWORD option)
{
    Log("CCamcorderControl::SetStreamOption(%u)", static_cast<unsigned>(option));
    m_nStreamOption = option;
}
// A state the test gives wins over the one the caller set.
DWORD CCamcorderControl::GetState() const
{
    return doubles::State().camcorderState ? doubles::State().camcorderState : m_nState.load();
}
int CCamcorderControl::GetRemainingCapacity()
{
    Log("CCamcorderControl::GetRemainingCapacity()");
    return static_cast<int>(doubles::State().remainingCapacity);
}

CCommonControl::CCommonControl() = default;
CCommonControl::~CCommonControl() = default;
void CCommonControl::OnMmTimerHandler(UINT, UINT, DWORD, BOOL*) {}

void SetCaptureHost(CCaptureHost*) {}
BOOL CCommonControl::SetISO(int value, int apply)
{
    Log("CCommonControl::SetISO(%d, %d)", value, apply);
    m_nISO = value;
    return TRUE;
}
BOOL CCommonControl::SetMetering(int value, int apply)
{
    Log("CCommonControl::SetMetering(%d, %d)", value, apply);
    m_nMetering = value;
    return TRUE;
}
BOOL CCommonControl::SetContrast(int value, int apply)
{
    Log("CCommonControl::SetContrast(%d, %d)", value, apply);
    m_nContrast = value;
    return TRUE;
}
BOOL CCommonControl::SetSaturation(int value, int apply)
{
    Log("CCommonControl::SetSaturation(%d, %d)", value, apply);
    m_nSaturation = value;
    return TRUE;
}
BOOL CCommonControl::SetSharpness(int value, int apply)
{
    Log("CCommonControl::SetSharpness(%d, %d)", value, apply);
    m_nSharpness = value;
    return TRUE;
}
BOOL CCommonControl::SetUseWDR(int value, int apply)
{
    Log("CCommonControl::SetUseWDR(%d, %d)", value, apply);
    m_bWDR = value;
    return TRUE;
}
BOOL CCommonControl::SetWidePreview(int wide, int apply)
{
    Log("CCommonControl::SetWidePreview(%d, %d)", wide, apply);
    m_bWidePreview = wide;
    return TRUE;
}
BOOL CCommonControl::SetWhiteBalance(int value)
{
    Log("CCommonControl::SetWhiteBalance(%d)", value);
    m_nWhiteBalance = value;
    return TRUE;
}
BOOL CCommonControl::SetEffect(int code)
{
    Log("CCommonControl::SetEffect(%d)", code);
    m_nEffect = code;
    return TRUE;
}
BOOL CCommonControl::SetColorAccent(int value)
{
    Log("CCommonControl::SetColorAccent(%d)", value);
    return TRUE;
}
BOOL CCommonControl::SetColorSwap(int a, int b)
{
    Log("CCommonControl::SetColorSwap(%d, %d)", a, b);
    return TRUE;
}
void CCommonControl::SetSelfTimerMode(int mode)
{
    Log("CCommonControl::SetSelfTimerMode(%d)", mode);
    m_nSelfTimerMode = mode;
}
void CCommonControl::WriteSensorID(int value) { Log("CCommonControl::WriteSensorID(%d)", value); }
BOOL CCommonControl::SetFocus(int mode, int flag)
{
    Log("CCommonControl::SetFocus(%d, %d)", mode, flag);
    return TRUE;
}
BOOL CCommonControl::SetFocusOff()
{
    Log("CCommonControl::SetFocusOff()");
    return TRUE;
}
void CCommonControl::FreePreviewBuffers() { Log("CCommonControl::FreePreviewBuffers()"); }
void CCommonControl::ClearAutoShotRect() { Log("CCommonControl::ClearAutoShotRect()"); }
void CCommonControl::StopWorker() {}
// No worker here: the change runs at once.
void CCommonControl::HoldWorkerOff(const std::function<void()>& change) { change(); }

CShotControl::CShotControl() = default;
CShotControl::~CShotControl() = default;
CShot* CShotControl::GetShot(int index)
{
    Log("CShotControl::GetShot(%d)", index);
    return index < doubles::State().shotCount ? reinterpret_cast<CShot*>(0x1000 + index) : nullptr;
}
int CShotControl::GetShotCount() const { return doubles::State().shotCount; }
int CShotControl::SaveAllShots()
{
    Log("CShotControl::SaveAllShots()");
    return 1;
}
int CShotControl::CreateShot(HBITMAP bitmap)
{
    Log("CShotControl::CreateShot()");
    if (doubles::State().shotBitmap)
        DeleteObject(static_cast<HBITMAP>(doubles::State().shotBitmap));
    doubles::State().shotBitmap = bitmap;
    return 1;
}
void CShotControl::ReleaseShots() { Log("CShotControl::ReleaseShots()"); }
void CShotControl::ReleaseShotsEx() { Log("CShotControl::ReleaseShotsEx()"); }
void CShotControl::Destroy() { Log("CShotControl::Destroy()"); }

CDShowControl::CDShowControl() = default;
CDShowControl::~CDShowControl() = default;
HRESULT CDShowControl::HandleGraphEvent()
{
    Log("CDShowControl::HandleGraphEvent()");
    return S_OK;
}
HRESULT CDShowControl::SetAMCameraControl(long property, long value, bool autoFlag)
{
    Log("CDShowControl::SetAMCameraControl(%ld, %ld, %d)", property, value, autoFlag ? 1 : 0);
    return 0;
}
HRESULT CDShowControl::CloseCamera()
{
    Log("CDShowControl::CloseCamera()");
    return S_OK;
}
HRESULT CDShowControl::ReleaseInterfaces()
{
    Log("CDShowControl::ReleaseInterfaces()");
    return S_OK;
}

void CancelRecognition() { Log("CancelRecognition()"); }

CSoundControl::CSoundControl() = default;
CSoundControl::~CSoundControl() = default;
void CSoundControl::SetShutterIndex(int index) { Log("CSoundControl::SetShutterIndex(%d)", index); }
void CSoundControl::Stop() { Log("CSoundControl::Stop()"); }

CGPSControl::CGPSControl() = default;
CGPSControl::~CGPSControl() = default;
HRESULT CGPSControl::Init()
{
    Log("CGPSControl::Init()");
    return S_OK;
}
HRESULT CGPSControl::Uninit()
{
    Log("CGPSControl::Uninit()");
    return S_OK;
}

namespace doubles {

void ReleaseAll()
{
    CCameraControl::ReleaseInstance();
    CCamcorderControl::ReleaseInstance();
    CPlayerControl::ReleaseInstance();
    CCommonControl::ReleaseInstance();
    CSoundControl::ReleaseInstance();
    CGPSControl::ReleaseInstance();
    ReleaseScreens();
    CShotControl::ReleaseInstance();
    CDShowControl::ReleaseInstance();
    if (State().shotBitmap)
        DeleteObject(static_cast<HBITMAP>(State().shotBitmap));
    State() = NeighbourState{};
    Clear();
}

}  // namespace doubles
