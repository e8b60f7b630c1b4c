// Link-time doubles of the camera and common controls' operations the
// camera screens call, beside the shell's doubles of the rest.
#include "preview_doubles.h"

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "dshow_control.h"
#include "haptic_control.h"
#include "neighbour_doubles.h"
#include "player_control.h"
#include "rot_bitmap.h"
#include "shot_control.h"
#include "sound_control.h"

using doubles::Log;

namespace screens_test {

CaptureAnswers& Capture()
{
    static CaptureAnswers answers;
    return answers;
}

}  // namespace screens_test

using screens_test::Capture;

BOOL CCameraControl::IsRunning() const { return Capture().running; }
int CCameraControl::CameraCapture()
{
    Log("CCameraControl::CameraCapture()");
    return 1;
}
int CCameraControl::CameraCaptureStop()
{
    Log("CCameraControl::CameraCaptureStop()");
    return 1;
}
int CCameraControl::ApplyPreviewResolution()
{
    Log("CCameraControl::ApplyPreviewResolution()");
    return 1;
}
void CCameraControl::SignalCaptureEvent() { Log("CCameraControl::SignalCaptureEvent()"); }
int CCameraControl::TriggerCapture()
{
    Log("CCameraControl::TriggerCapture()");
    return 1;
}

// The camcorder's moves log and ask; the screen sets the states the
// graph's reports bring.
int CCamcorderControl::EnterCamcorderMode()
{
    Log("CCamcorderControl::EnterCamcorderMode()");
    return 1;
}
DWORD CCamcorderControl::StartRecording()
{
    Log("CCamcorderControl::StartRecording()");
    return m_nState.load();
}
DWORD CCamcorderControl::StopRecording()
{
    Log("CCamcorderControl::StopRecording()");
    return m_nState.load();
}
DWORD CCamcorderControl::PauseRecording()
{
    Log("CCamcorderControl::PauseRecording()");
    return m_nState.load();
}
DWORD CCamcorderControl::ResumeRecording()
{
    Log("CCamcorderControl::ResumeRecording()");
    return m_nState.load();
}
// Shots the tests make themselves.
CShot::CShot() = default;
CShot::~CShot() = default;
void CShot::RemakeThumbnail() {}
CShot* CShotControl::GetLastShot() { return Capture().lastShot; }
void CShotControl::NextShot() { ++m_nCurrent; }

LONGLONG CDShowControl::GetRecordedSeconds() { return Capture().recordedSeconds; }
BOOL CSoundControl::PlayStopRecording()
{
    Log("CSoundControl::PlayStopRecording()");
    return TRUE;
}

void CCommonControl::SetGraphMode(int mode) { Log("CCommonControl::SetGraphMode(%d)", mode); }

// The player double walks through the states the real one ends in.
HRESULT CPlayerControl::OpenFile(LPCWSTR)
{
    Log("CPlayerControl::OpenFile()");
    if (SUCCEEDED(Capture().playerOpen))
        m_dwState = PLAYER_STATE_READY;
    return Capture().playerOpen;
}
HRESULT CPlayerControl::Close()
{
    Log("CPlayerControl::Close()");
    m_dwState = PLAYER_STATE_READY;
    return S_OK;
}
HRESULT CPlayerControl::Play()
{
    Log("CPlayerControl::Play()");
    m_dwState = PLAYER_STATE_PLAYING;
    return S_OK;
}
HRESULT CPlayerControl::Pause()
{
    Log("CPlayerControl::Pause()");
    m_dwState = PLAYER_STATE_PAUSED;
    return S_OK;
}
void CPlayerControl::SetFrameSink(CPlayerFrameSink* sink)
{
    Log("CPlayerControl::SetFrameSink(%s)", sink ? "screen" : "none");
    m_pSink = sink;
}

int CCommonControl::OnAutoFocusPress()
{
    Log("CCommonControl::OnAutoFocusPress()");
    m_nFocusOk = Capture().focusOk;
    return 1;
}
int CCommonControl::OnAutoFocusRelease()
{
    Log("CCommonControl::OnAutoFocusRelease()");
    return 1;
}
int CCommonControl::GetBrightness()
{
    Log("CCommonControl::GetBrightness()");
    return Capture().brightness ? S_OK : E_FAIL;
}
int CCommonControl::IsSelfTimerSet() const { return Capture().selfTimerSet; }
void CCommonControl::StartSelfTimer() { Log("CCommonControl::StartSelfTimer()"); }
void CCommonControl::CancelSelfTimer() { Log("CCommonControl::CancelSelfTimer()"); }
void CCommonControl::ZoomStep(int in) { Log("CCommonControl::ZoomStep(%d)", in); }
void CCommonControl::SetZoom(int index) { Log("CCommonControl::SetZoom(%d)", index); }
void CCommonControl::ResumeWorker() { Log("CCommonControl::ResumeWorker()"); }

HRESULT CDShowControl::StopGraph(int quiet)
{
    Log("CDShowControl::StopGraph(%d)", quiet);
    return S_OK;
}

CHapticControl::CHapticControl() = default;
CHapticControl::~CHapticControl() = default;
void CHapticControl::PlayEffectA() { Log("CHapticControl::PlayEffectA()"); }
void CHapticControl::PlayEffectB() { Log("CHapticControl::PlayEffectB()"); }
