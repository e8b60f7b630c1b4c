#include "camera_control.h"

#include "acs_control.h"
#include "app_messages.h"
#include "camcorder_control.h"
#include "capture_host.h"
#include "common_control.h"
#include "dshow_control.h"
#include "player_control.h"
#include "file_control.h"
#include "led_control.h"
#include "settings.h"
#include "shot_control.h"
#include "sound_control.h"
#include "system.h"

namespace {

constexpr DWORD kMultishotSpacing = 400;
// Shots that fit a kilobyte of storage, by picture quality.
constexpr DWORD kShotKilobytes[3] = {235, 93, 61};

void LogFailure(int line, LPCWSTR function, HRESULT hr)
{
    plat::DebugLine(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, L".\\CameraControl");
    plat::DebugLine(L"Failed(err=0x%08x)", static_cast<unsigned>(hr));
}

HANDLE MakeEvent()
{
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (event)
        ResetEvent(event);
    return event;
}

void CloseEvent(HANDLE& event)
{
    if (event)
        CloseHandle(event);
    event = nullptr;
}

// The capture loops drop pending input: dispatching it would start another
// capture from inside this one.
void DiscardInput()
{
    PumpKeyMessages(FALSE, TRUE);
    PumpMouseMessages(FALSE, TRUE);
}

}  // namespace

CCameraControl::CCameraControl() = default;

CCameraControl::~CCameraControl()
{
    JoinMultishot();
    CloseCaptureEvents();
}

std::mutex& CCameraControl::FrameLock()
{
    static std::mutex lock;
    return lock;
}

HRESULT CCameraControl::AttachCamera()
{
    plat::DebugLine(L">>> %ls", L"CCameraControl::AttachCamera");
    const HRESULT hr = CDShowControl::GetInstance()->InitCamera();
    if (FAILED(hr))
        return hr;
    for (HANDLE& event : m_hEvents)
        if (!event)
            event = MakeEvent();
    if (!m_hPreviewRequest)
        m_hPreviewRequest = MakeEvent();
    plat::DebugLine(L"<<< %ls", L"CCameraControl::AttachCamera");
    return hr;
}

BOOL CCameraControl::IsRunning() const
{
    return m_bRunning.load();
}

int CCameraControl::CloseCaptureEvents()
{
    for (HANDLE& event : m_hEvents)
        CloseEvent(event);
    CloseEvent(m_hPreviewRequest);
    return 1;
}

int CCameraControl::SetupCaptureGraph(HWND owner)
{
    m_hOwner = owner;
    CDShowControl* graph = CDShowControl::GetInstance();
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    const bool wide = CCommonControl::GetInstance()->IsWidePreview() && CSettings::GetInstance()->GetMode() == 0;
    const DWORD preview = wide ? RESOLUTION_400_240 : RESOLUTION_320_240;
    const DWORD video = static_cast<DWORD>(camcorder->GetCurrentVideoSize());
    const DWORD option = camcorder->GetStreamOption();
    graph->SetStreamConfig(owner, 0, CAPTURE_MODE_CAMERA, RESOLUTION_1280_960, preview, 0);
    graph->SetStreamConfig(owner, 0, CAPTURE_MODE_CAMCORDER, RESOLUTION_1280_960, video, option);
    graph->SetStreamConfig(owner, 0, CAPTURE_MODE_PLAYER, RESOLUTION_1280_960, video, option);
    graph->m_pfnPreviewCallback = &CCameraControl::PreviewFrameCallback;
    graph->m_pfnStillCallback = &CCameraControl::StillCallbackFromStillPin;
    graph->m_pfnPlayerCallback = &CCameraControl::PlayerFrameCallback;
    return 1;
}

int CCameraControl::Run()
{
    CDShowControl* graph = CDShowControl::GetInstance();
    const HRESULT hr = graph->OpenCamera(static_cast<DWORD>(CSettings::GetInstance()->GetMode()));
    if (FAILED(hr)) {
        LogFailure(__LINE__, L"CCameraControl::Run", hr);
        plat::DebugLine(L"OCR Init FAILED !!!");
        graph->CloseCamera();
        return 0;
    }
    plat::DebugLine(L"OCR Init SUCCESS !!!");
    m_bRunning = 1;
    return 1;
}

BOOL CCameraControl::ResetPreview(int flag)
{
    CCaptureHost& host = CaptureHost();
    CCommonControl* common = CCommonControl::GetInstance();
    host.ResetPreviewScreen();
    common->m_bPreviewLock = 0;
    common->SetPreviewBuf();
    CShotControl::GetInstance()->ReleaseShots();
    common->ClearEdgeFound();
    common->m_bExit = 0;
    host.EnterPreviewView();
    // Once here on the GUI thread, not per frame from the streaming thread.
    if (HWND window = GetHwnd(); IsWindow(window))
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    return SUCCEEDED(CDShowControl::GetInstance()->RunGraph(flag));
}

BOOL CCameraControl::StopPreview()
{
    return SUCCEEDED(CDShowControl::GetInstance()->StopGraph(0));
}

int CCameraControl::SetShotMode(int mode, int apply)
{
    const DWORD previous = m_nShotMode.exchange(static_cast<DWORD>(mode));
    if (!apply)
        return 1;
    CDShowControl* graph = CDShowControl::GetInstance();
    HRESULT hr = S_OK;
    switch (mode) {
    case 0: {
        // The preview pin keeps the size SetupCaptureGraph gave it.
        const bool wide = CCommonControl::GetInstance()->IsWidePreview();
        hr = graph->SetResolution(static_cast<DWORD>(GetShotModeSize(0)), wide ? RESOLUTION_400_240 : RESOLUTION_320_240);
        break;
    }
    case 1: hr = graph->SetResolutionPreviewPin(static_cast<DWORD>(GetShotModeSize(1))); break;
    case 2: hr = graph->SetResolutionPreviewPin(static_cast<DWORD>(GetShotModeSize(2))); break;
    case 3:
        InitPanoramashotMode();
        hr = S_OK;
        break;
    default: m_nShotMode = previous; return 0;
    }
    if (FAILED(hr)) {
        m_nShotMode = previous;
        return 0;
    }
    CSettings::GetInstance()->SignalStart(1);
    return 1;
}

int CCameraControl::EnterCameraMode()
{
    CSettings* settings = CSettings::GetInstance();
    settings->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_CAMCORDER);
    settings->SetMode(0);
    CCommonControl::GetInstance()->SetGraphMode(0);
    SetShotMode(GetShotMode(), 1);
    return 1;
}

int CCameraControl::GetCaptureOption() const
{
    return static_cast<int>(m_nCaptureOption.load());
}

DWORD CCameraControl::GetState() const
{
    return m_nState.load();
}

void CCameraControl::SetState(DWORD state)
{
    m_nState.store(state);
}

int CCameraControl::GetShotModeSize(int index) const
{
    const DWORD sizes = m_nShotModeSizes.load();
    if (index >= 0 && index <= 3)
        return static_cast<int>((sizes >> (4 * index)) & 0xF);
    if (index == 4)
        return static_cast<int>(sizes);
    return RESOLUTION_320_240;
}

int CCameraControl::SetShotModeSize(int index, int value, int apply)
{
    if (index < 0 || index > 4)
        return 0;
    if (index == 4) {
        m_nShotModeSizes = static_cast<DWORD>(value);
        return 1;
    }
    const DWORD shift = 4 * static_cast<DWORD>(index);
    const DWORD sizes = m_nShotModeSizes.load();
    m_nShotModeSizes = (sizes & ~(0xFu << shift)) | ((static_cast<DWORD>(value) & 0xF) << shift);
    if (!apply)
        return 1;
    // A still size applies only to the camera: in camcorder mode it would
    // become the video size.
    if (CSettings::GetInstance()->GetMode() != 0)
        return 1;
    CDShowControl* graph = CDShowControl::GetInstance();
    HRESULT hr;
    if (index == 0) {
        const bool wide = CCommonControl::GetInstance()->IsWidePreview();
        hr = graph->SetResolution(static_cast<DWORD>(value), wide ? RESOLUTION_400_240 : RESOLUTION_320_240);
    } else {
        hr = graph->SetResolutionPreviewPin(static_cast<DWORD>(value));
    }
    return SUCCEEDED(hr) ? 1 : 0;
}

int CCameraControl::SetCurrentShotModeSize(int value)
{
    return SetShotModeSize(GetShotMode(), value, 1);
}

void CCameraControl::GetShotSize(LONG* width, LONG* height) const
{
    const int mode = GetShotMode();
    const int index = mode > 4 ? static_cast<int>(RESOLUTION_320_240) : GetShotModeSize(mode);
    if (index < 0 || index > 7)
        return;
    *width = CCommonControl::GetResolutionWidth(index);
    *height = CCommonControl::GetResolutionHeight(index);
}

int CCameraControl::ApplyPreviewResolution()
{
    CDShowControl::GetInstance()->SetResolutionPreviewPin(static_cast<DWORD>(GetShotModeSize(2)));
    return 0;
}

int CCameraControl::ApplyShotModeSize0()
{
    CDShowControl::GetInstance()->SetResolution(static_cast<DWORD>(GetShotModeSize(0)), RESOLUTION_320_240);
    return 0;
}

int CCameraControl::ApplyShotModeSize1()
{
    CDShowControl::GetInstance()->SetResolutionPreviewPin(static_cast<DWORD>(GetShotModeSize(1)));
    return 0;
}

int CCameraControl::InitPanoramashotMode()
{
    CDShowControl::GetInstance()->SetResolutionPreviewPin(static_cast<DWORD>(GetShotModeSize(3)));
    LONG width = 0;
    LONG height = 0;
    GetShotSize(&width, &height);
    plat::DebugLine(L"InitPanoramashotMode() - Current width : %d, height : %d\n", static_cast<int>(width),
                    static_cast<int>(height));
    return 0;
}

void CCameraControl::SetCaptureOption(int option, int apply)
{
    m_nCaptureOption = static_cast<DWORD>(option);
    if (!apply)
        return;
    const long code = option == 1 ? 917 : option == 2 ? 918 : 916;
    CDShowControl::GetInstance()->SetAMCameraControl(3, code, false);
}

void CCameraControl::SetEffectCommand(DWORD command, int apply)
{
    m_nEffectCommand = command;
    const long code = command >= 0x10016 && command <= 0x10024 ? static_cast<long>(command - 0x10016 + 20) : 20;
    if (apply)
        CDShowControl::GetInstance()->SetAMVideoProcAmp(6, code, false);
}

DWORD CCameraControl::GetRemainingShots()
{
    const DWORD option = m_nCaptureOption.load();
    return CFileControl::GetInstance()->GetStorageFreeSpace() / kShotKilobytes[option < 3 ? option : 0];
}

int CCameraControl::CameraCapture()
{
    switch (GetShotMode()) {
    case 1: return StartMultishot();
    case 2:
    case 3: return 1;
    default: return SingleshotCapture();
    }
}

int CCameraControl::SingleshotCapture()
{
    m_nState = CAPTURE_STATE_SINGLE;
    const HRESULT hr = CaptureFromStillPin();
    if (FAILED(hr)) {
        // Nothing will come: the preview is live again and the screen free.
        m_nState = CAPTURE_STATE_IDLE;
        CaptureHost().ClearCaptureBusy();
    } else {
        PostMessageW(GetHwnd(), WM_SINGLE_SHOT, 0, kShotDoneParam);
    }
    return 0;
}

HRESULT CCameraControl::CaptureFromStillPin()
{
    plat::DebugLine(L"CCameraControl::CaptureFromStillPin(void)");
    if (!m_hEvents[kStillEvent])
        return E_FAIL;
    CACSControl::GetInstance()->GetAll();
    CLedControl::GetInstance()->Blink(100, 1);
    m_bRetrigger = 0;
    m_bStillRefused = 0;
    CSoundControl* sound = CSoundControl::GetInstance();
    sound->PlayShutter(sound->GetShutterIndex());
    const HRESULT hr = CDShowControl::GetInstance()->CameraCapture();
    if (FAILED(hr))
        return hr;

    // Bounded: a still that never comes ends the capture as a failure.
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= kStillWaitLimit)
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        const DWORD left = kStillWaitLimit - spent;
        const DWORD result = WaitForMultipleObjects(kEventCount, m_hEvents, FALSE, left < 2000 ? left : 2000);
        if (m_bStillRefused.load())
            return E_FAIL;
        if (result == WAIT_OBJECT_0 + kStillEvent && !m_bRetrigger.load())
            return S_OK;
        if (result == WAIT_OBJECT_0 + kTriggerA || result == WAIT_OBJECT_0 + kTriggerB) {
            // A still that arrives here ends the capture as it would outside.
            if (WaitForSingleObject(m_hEvents[kStillEvent], left < 1000 ? left : 1000) == WAIT_OBJECT_0 &&
                !m_bRetrigger.load())
                return S_OK;
            continue;
        }
        DiscardInput();
    }
}

HRESULT CCameraControl::CaptureFromPreviewPin(int noInputFlush)
{
    plat::DebugLine(L"CCameraControl::CaptureFromPreviewPin(void)");
    if (!m_hEvents[kStillEvent] || !m_hPreviewRequest)
        return E_FAIL;
    CACSControl::GetInstance()->GetAll();
    CLedControl::GetInstance()->Blink(100, 1);
    m_nState = CAPTURE_STATE_PREVIEW_REQUESTED;
    SetEvent(m_hPreviewRequest);
    const DWORD start = GetTickCount();
    for (;;) {
        if (m_bMultishotStop.load() && GetShotMode() == 1)
            return E_ABORT;
        const DWORD spent = GetTickCount() - start;
        if (spent >= kStillWaitLimit)
            return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
        const DWORD left = kStillWaitLimit - spent;
        const DWORD result = WaitForMultipleObjects(kEventCount, m_hEvents, FALSE, left < 1000 ? left : 1000);
        if (result == WAIT_OBJECT_0 + kStillEvent) {
            if (GetShotMode() == 1)
                CaptureHost().OnMultishotFrame();
            return S_OK;
        }
        if (result == WAIT_OBJECT_0 + kTriggerA || result == WAIT_OBJECT_0 + kTriggerB) {
            if (WaitForSingleObject(m_hEvents[kStillEvent], left < 1000 ? left : 1000) == WAIT_OBJECT_0) {
                if (GetShotMode() == 1)
                    CaptureHost().OnMultishotFrame();
                return S_OK;
            }
            continue;
        }
        if (!noInputFlush)
            DiscardInput();
    }
}

DWORD CCameraControl::MultishotThreadProc(LPVOID parameter)
{
    auto* self = static_cast<CCameraControl*>(parameter);
    CShotControl* shots = CShotControl::GetInstance();
    while (shots->GetShotCount() < CShotControl::kCapacity && !self->m_bMultishotStop.load()) {
        const DWORD start = GetTickCount();
        if (FAILED(self->CaptureFromPreviewPin(1)) && self->m_bMultishotStop.load())
            break;
        const DWORD spent = GetTickCount() - start;
        // The stop event cuts the spacing short.
        if (spent < kMultishotSpacing && !self->m_bMultishotStop.load())
            WaitForSingleObject(self->m_hEvents[kCaptureEvent], kMultishotSpacing - spent);
    }
    // An early stop posts the end itself.
    if (!self->m_bMultishotStop.exchange(1))
        PostMessageW(self->GetHwnd(), WM_MULTI_SHOT_DONE, 0, kShotDoneParam);
    return 0;
}

int CCameraControl::StartMultishot()
{
    JoinMultishot();
    // What an earlier sequence left signalled would cut the first spacing
    // short or end the first capture before its frame.
    for (HANDLE event : {m_hEvents[kStillEvent], m_hEvents[kCaptureEvent], m_hPreviewRequest})
        if (event)
            ResetEvent(event);
    m_bMultishotStop = 0;
    m_hMultishotThread = CreateThread(nullptr, 65535, &CCameraControl::MultishotThreadProc, this, 0, nullptr);
    if (!m_hMultishotThread)
        m_bMultishotStop = 1;
    return 0;
}

void CCameraControl::JoinMultishot()
{
    if (!m_hMultishotThread)
        return;
    m_bMultishotStop = 1;
    if (m_hEvents[kCaptureEvent])
        SetEvent(m_hEvents[kCaptureEvent]);
    WaitForSingleObject(m_hMultishotThread, INFINITE);
    CloseHandle(m_hMultishotThread);
    m_hMultishotThread = nullptr;
}

int CCameraControl::MultishotCaptureStop()
{
    bool wasRunning;
    {
        std::lock_guard<std::mutex> lock(m_multishotLock);
        wasRunning = m_hMultishotThread && !m_bMultishotStop.exchange(1);
    }
    JoinMultishot();
    // A request the stopped sequence left would add a frame after the stop.
    if (m_hPreviewRequest)
        ResetEvent(m_hPreviewRequest);
    if (wasRunning)
        PostMessageW(GetHwnd(), WM_MULTI_SHOT_DONE, 0, kShotDoneParam);
    return 0;
}

int CCameraControl::CameraCaptureStop()
{
    plat::DebugLine(L"CameraCaptureStop");
    if (GetShotMode() == 1)
        MultishotCaptureStop();
    return 0;
}

void CCameraControl::SignalCaptureEvent()
{
    if (m_hEvents[kCaptureEvent])
        SetEvent(m_hEvents[kCaptureEvent]);
}

int CCameraControl::Trigger(int which)
{
    if (!(m_nState.load() & CAPTURE_STATE_BUSY_BITS))
        return 0;
    CSettings* settings = CSettings::GetInstance();
    if (settings->GetMode() == 0 && GetShotMode() == 1 &&
        CShotControl::GetInstance()->GetShotCount() + 1 >= CShotControl::kCapacity)
        return 0;
    m_bRetrigger = 1;
    if (HANDLE event = m_hEvents[which])
        SetEvent(event);
    if (settings->GetMode() == 1 && !(settings->GetFlags() & 0x1))
        CSystem::GetInstance()->SetInputFlushTimer(TRUE, 500);
    return 1;
}

int CCameraControl::TriggerCapture()
{
    return Trigger(kTriggerA);
}

int CCameraControl::TriggerCapture2()
{
    return Trigger(kTriggerB);
}

DWORD CCameraControl::TakePreviewFrame(BYTE* frame, LONG width, LONG height)
{
    if (GetShotMode() == 0 || !m_hPreviewRequest)
        return 0;
    const DWORD result = WaitForSingleObject(m_hPreviewRequest, 1000);
    if (result == WAIT_OBJECT_0) {
        std::lock_guard<std::mutex> lock(m_multishotLock);
        if (GetShotMode() == 1 && !m_bMultishotStop.load()) {
            const DWORD bytes = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3 / 2;
            CShotControl::GetInstance()->AddShot(SHOT_KIND_PREVIEW, frame, bytes, width, height);
            m_nState = CAPTURE_STATE_PREVIEW_TAKEN;
            SetEvent(m_hEvents[kStillEvent]);
        }
    } else if (result == WAIT_TIMEOUT) {
        DWORD expected = CAPTURE_STATE_PREVIEW_REQUESTED;
        m_nState.compare_exchange_strong(expected, CAPTURE_STATE_IDLE);
    }
    return 0;
}

DWORD CCameraControl::PreviewFrameCallback(BYTE* frame, DWORD /*length*/, LONG width, LONG height)
{
    CCameraControl* self = CCameraControl::GetInstance();
    if (height < 0)
        height = -height;
    if (self->m_nState.load() & CAPTURE_STATE_IDLE) {
        CCommonControl* common = CCommonControl::GetInstance();
        if (common->IsWorkerBusy()) {
            common->NoteDroppedFrame();
            return 1;
        }
        if (!CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMERA | GUI_STATUS_CAMCORDER | GUI_STATUS_SETTING))
            return 0;
        std::lock_guard<std::mutex> lock(FrameLock());
        if (!common->m_bPreviewLock.load() && SUCCEEDED(common->CopyFrame(frame, width, height)))
            common->SignalFrame();
        return 0;
    }
    self->TakePreviewFrame(frame, width, height);
    return 0;
}

DWORD CCameraControl::StillCallbackFromStillPin(BYTE* frame, DWORD length, LONG width, LONG height)
{
    CCameraControl* self = CCameraControl::GetInstance();
    if (height < 0)
        height = -height;
    plat::DebugLine(L"StillCallbackFromStillPin Width : %d, Height : %d, Size : %d", static_cast<int>(width),
                    static_cast<int>(height), static_cast<int>(length));
    CCommonControl* common = CCommonControl::GetInstance();
    if (common->GetLightMode() != 0)
        common->SetLightOff(0);
    CaptureHost().SetStillSize(width, height);
    if (!CShotControl::GetInstance()->AddShot(SHOT_KIND_STILL, frame, length, width, height)) {
        // The waiting capture ends as a failure instead of waiting on.
        self->m_bStillRefused = 1;
        if (self->m_hEvents[kCaptureEvent])
            SetEvent(self->m_hEvents[kCaptureEvent]);
        return static_cast<DWORD>(E_FAIL);
    }
    if (self->m_hEvents[kStillEvent])
        SetEvent(self->m_hEvents[kStillEvent]);
    return 0;
}

DWORD CCameraControl::PlayerFrameCallback(BYTE* frame, DWORD /*length*/, LONG width, LONG height)
{
    // The played frames go to the movie screen, not to the preview buffer.
    CPlayerControl::GetInstance()->DeliverFrame(frame, width, height < 0 ? -height : height);
    return 0;
}
