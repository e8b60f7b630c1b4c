#include "camcorder_control.h"

#include "common_control.h"
#include "dshow_control.h"
#include "file_control.h"
#include "led_control.h"
#include "settings.h"
#include "sound_control.h"

CCamcorderControl::CCamcorderControl() = default;
CCamcorderControl::~CCamcorderControl() = default;

void CCamcorderControl::SetStreamOption(DWORD option)
{
    m_nStreamOption = option;
}

DWORD CCamcorderControl::GetState() const
{
    return m_nState.load();
}

int CCamcorderControl::GetVideoSizeOf(int mode) const
{
    const DWORD sizes = m_nVideoSizes.load();
    switch (mode) {
    case 0: return static_cast<int>(sizes & 0xF);
    case 1: return static_cast<int>((sizes >> 4) & 0xF);
    case 2: return static_cast<int>(sizes);
    default: return RESOLUTION_320_240;
    }
}

int CCamcorderControl::SetVideoSize(int selector, int value, int apply)
{
    const DWORD v = static_cast<DWORD>(value);
    DWORD sizes = m_nVideoSizes.load();
    switch (selector) {
    case 0:
        m_nVideoSizes = (sizes & ~0xFu) | (v & 0xF);
        plat::DebugLine(L"Video Size (Normal Mode) RES : %d, Width : %d, Height : %d", value,
                        CCommonControl::GetResolutionWidth(value), CCommonControl::GetResolutionHeight(value));
        break;
    case 1:
        m_nVideoSizes = (sizes & ~0xF0u) | ((v & 0xF) << 4);
        plat::DebugLine(L"Video Size (MMS Mode)  RES : %d, Width : %d, Height : %d", value,
                        CCommonControl::GetResolutionWidth(value), CCommonControl::GetResolutionHeight(value));
        break;
    case 2: {
        m_nVideoSizes = v;
        const int normal = static_cast<int>(v & 0xF);
        const int mms = static_cast<int>((v >> 4) & 0xF);
        plat::DebugLine(L"Video Size (Normal Mode) Width : %d, Height : %d", CCommonControl::GetResolutionWidth(normal),
                        CCommonControl::GetResolutionHeight(normal));
        plat::DebugLine(L"Video Size (MMS Mode) RES : %d Width : %d, Height : %d", mms,
                        CCommonControl::GetResolutionWidth(mms), CCommonControl::GetResolutionHeight(mms));
        return 1;  // the whole word is never applied
    }
    default:
        return 0;
    }
    // In camera mode the graph would take the video size as its still size.
    if (apply && CDShowControl::GetInstance()->GetMode() == CAPTURE_MODE_CAMCORDER)
        CDShowControl::GetInstance()->SetResolution(v, RESOLUTION_320_240);
    return 1;
}

void CCamcorderControl::SelectSizeMode(int mode)
{
    m_nSizeMode = static_cast<DWORD>(mode);
    const int size = GetVideoSizeOf(mode);
    if (mode == 0 || mode == 1)
        SetVideoSize(mode, size, 1);
    else if (mode == 2)
        SetVideoSize(2, size, 1);
    else
        CDShowControl::GetInstance()->SetResolution(RESOLUTION_320_240, RESOLUTION_320_240);
}

int CCamcorderControl::GetRemainingCapacity()
{
    return static_cast<int>(CFileControl::GetInstance()->GetStorageFreeSpace() >> 10) - 10;
}

int CCamcorderControl::EnterCamcorderMode()
{
    CSettings* settings = CSettings::GetInstance();
    settings->ChangeGUIStatus(GUI_STATUS_CAMCORDER, GUI_STATUS_CAMERA);
    settings->SetMode(1);
    CCommonControl::GetInstance()->SetGraphMode(CAPTURE_MODE_CAMCORDER);
    return 1;
}

DWORD CCamcorderControl::StartRecording()
{
    if (m_nState.load() != RECORD_STATE_IDLE) return m_nState.load();
    CCommonControl* common = CCommonControl::GetInstance();
    common->SetFPS(30);
    common->SetLightOn(2);
    m_nState = RECORD_STATE_START_ASKED;
    CLedControl::GetInstance()->BlinkRecording();
    CSoundControl::GetInstance()->PlayStartRecording();
    const HRESULT hr = CDShowControl::GetInstance()->StartRecording(CFileControl::GetInstance()->PrepareVideoPath());
    if (FAILED(hr)) {
        // Nothing records: back to idle, where start and stop act again.
        common->SetLightOff(2);
        CLedControl::GetInstance()->Off();
        m_nState = RECORD_STATE_IDLE;
    }
    return m_nState.load();
}

DWORD CCamcorderControl::StopRecording()
{
    const DWORD state = m_nState.load();
    if (state != RECORD_STATE_RECORDING && state != RECORD_STATE_PAUSED) return state;
    m_nState = RECORD_STATE_STOP_ASKED;
    CCommonControl::GetInstance()->SetLightOff(2);
    CLedControl::GetInstance()->Off();
    CDShowControl::GetInstance()->StopRecording();
    return m_nState.load();
}

DWORD CCamcorderControl::PauseRecording()
{
    if (m_nState.load() != RECORD_STATE_RECORDING) return m_nState.load();
    m_nState = RECORD_STATE_PAUSE_ASKED;
    CLedControl::GetInstance()->Blink(500, 10000000);
    CDShowControl::GetInstance()->PauseRecording();
    return m_nState.load();
}

DWORD CCamcorderControl::ResumeRecording()
{
    if (m_nState.load() != RECORD_STATE_PAUSED) return m_nState.load();
    m_nState = RECORD_STATE_START_ASKED;
    // The pause's slow blink gives way to the recording's again.
    CLedControl::GetInstance()->BlinkRecording();
    CDShowControl::GetInstance()->ResumeRecording();
    return m_nState.load();
}
