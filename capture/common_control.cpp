#include "common_control.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <iterator>

#include "LumOCREngine.h"
#include "camcorder_control.h"
#include "camera_control.h"
#include "capture_host.h"
#include "display.h"
#include "dshow_control.h"
#include "led_control.h"
#include "pixels/EdgePreview.h"
#include "settings.h"
#include "sound_control.h"
#include "system.h"

namespace {

// Five seconds of a 30 fps preview between two count lines.
constexpr unsigned kFramesPerCountLine = 150;
constexpr int kResolution[8][2] = {{2560, 1920}, {2048, 1536}, {1600, 1200}, {1280, 960},
                                   {640, 480},   {400, 240},   {320, 240},   {176, 144}};
constexpr int kCountdown[4] = {0, 2, 5, 10};
constexpr UINT kCameraTimer = 1;
constexpr UINT kCamcorderTimer = 2;
constexpr DWORD kFrameBufferBytes = 320 * 240 * 3 / 2;
constexpr DWORD kPanelImageBytes = 400 * 240 * 2;
constexpr DWORD kWorkPlaneBytes = 460800;

// Property 3 of the camera control, property 7 (the light).
constexpr long kProperty = 3;
constexpr long kLight = 7;

long SevenStep(int value, const long (&table)[7], long otherwise)
{
    return value >= -3 && value <= 3 ? table[value + 3] : otherwise;
}

int CountdownOf(int mode)
{
    return mode >= 0 && mode <= 3 ? kCountdown[mode] : 0;
}

// On the GUI thread, until the worker is out of its frame. Sent messages go
// through meanwhile: the worker's frame may be waiting on this thread for its
// window's move.
void WaitForIdleWorker(const CCommonControl& common)
{
    MSG msg;
    while (common.IsWorkerBusy()) {
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(1);
    }
}

}  // namespace

CCommonControl::CCommonControl()
{
    m_hFrameEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hExitEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hWorker = CreateThread(nullptr, 65535, &CCommonControl::AutoShotThreadProc, this, CREATE_SUSPENDED, nullptr);
}

CCommonControl::~CCommonControl()
{
    StopWorker();
    if (m_hFrameEvent)
        CloseHandle(m_hFrameEvent);
    if (m_hExitEvent)
        CloseHandle(m_hExitEvent);
}

BOOL CCommonControl::SendCamera(long value)
{
    return SUCCEEDED(CDShowControl::GetInstance()->SetAMCameraControl(kProperty, value, false));
}

BOOL CCommonControl::SetISO(int value, int apply)
{
    m_nISO = value;
    if (!apply)
        return FALSE;
    return SendCamera(value >= 0 && value <= 5 ? 910 + value : 910);
}

BOOL CCommonControl::SetWhiteBalance(int value)
{
    m_nWhiteBalance = value;
    static constexpr long kFixed[5] = {0, 278, 288, 298, 308};
    const long sent = value >= 1 && value <= 4 ? kFixed[value] : 0;
    return SUCCEEDED(CDShowControl::GetInstance()->SetAMVideoProcAmp(7, sent, value == 0));
}

int CCommonControl::GetWhiteBalance() const
{
    return m_nWhiteBalance.load();
}

BOOL CCommonControl::SetMetering(int value, int apply)
{
    if (value == m_nMetering)
        return TRUE;
    if (!apply) {
        m_nMetering = value;
        return TRUE;
    }
    static constexpr long kCodes[3] = {952, 951, 950};
    if (!SendCamera(value >= 0 && value <= 2 ? kCodes[value] : 952))
        return FALSE;
    m_nMetering = value;
    return TRUE;
}

BOOL CCommonControl::SetFPS(int fps)
{
    plat::DebugLine(L"CCommonControl::SetFPS");
    if (fps == m_nFPS)
        return TRUE;
    long code = 800;
    switch (fps) {
    case 5: code = 805; break;
    case 7: code = 807; break;
    case 10: code = 810; break;
    case 15: code = 815; break;
    case 30: code = 830; break;
    case 60: code = 860; break;
    case 120: code = 899; break;
    default: break;
    }
    if (!SendCamera(code))
        return FALSE;
    m_nFPS = fps;
    return TRUE;
}

BOOL CCommonControl::SetEV(int index)
{
    plat::DebugLine(L"CCommonControl::SetEV");
    if (index == m_nEV)
        return TRUE;
    static constexpr long kValues[9] = {-7250, -5250, -3250, -1250, 750, 2750, 4750, 5750, 8750};
    const long value = index >= 0 && index <= 8 ? kValues[index] : 750;
    if (FAILED(CDShowControl::GetInstance()->SetAMVideoProcAmp(0, value, false)))
        return FALSE;
    m_nEV = index;
    return TRUE;
}

BOOL CCommonControl::SetEffect(int code)
{
    plat::DebugLine(L"CCommonControl::SetEffect");
    if (FAILED(CDShowControl::GetInstance()->SetAMVideoProcAmp(6, code, false)))
        return FALSE;
    m_nEffect = code;
    return TRUE;
}

BOOL CCommonControl::SetSevenStep(int& stored, int value, int apply, long property, const long (&table)[7],
                                  long otherwise)
{
    if (!apply) {
        stored = value;
        return TRUE;
    }
    if (FAILED(CDShowControl::GetInstance()->SetAMVideoProcAmp(property, SevenStep(value, table, otherwise), false)))
        return FALSE;
    stored = value;
    return TRUE;
}

BOOL CCommonControl::SetSaturation(int value, int apply)
{
    plat::DebugLine(L"CCommonControl::SetSaturation");
    static constexpr long kValues[7] = {30, 60, 90, 120, 150, 180, 210};
    return SetSevenStep(m_nSaturation, value, apply, 3, kValues, 120);
}

BOOL CCommonControl::SetContrast(int value, int apply)
{
    plat::DebugLine(L"CCommonControl::SetContrast");
    static constexpr long kValues[7] = {30, 60, 90, 120, 150, 180, 210};
    return SetSevenStep(m_nContrast, value, apply, 1, kValues, 120);
}

BOOL CCommonControl::SetSharpness(int value, int apply)
{
    plat::DebugLine(L"CCommonControl::SetSharpness");
    static constexpr long kValues[7] = {14, 28, 42, 56, 70, 84, 98};
    return SetSevenStep(m_nSharpness, value, apply, 4, kValues, 56);
}

BOOL CCommonControl::SetColorAccent(int value)
{
    plat::DebugLine(L"CCommonControl::SetColorAccent");
    if (!SendCamera((value + 100) * 100))
        return FALSE;
    m_nColorAccent = value;
    return TRUE;
}

BOOL CCommonControl::SetColorSwap(int a, int b)
{
    plat::DebugLine(L"CCommonControl::SetColorSwap");
    if (a == m_nSwapA && b == m_nSwapB)
        return TRUE;
    if (!SendCamera((a + 200) * 100 + b))
        return FALSE;
    m_nSwapA = a;
    m_nSwapB = b;
    return TRUE;
}

BOOL CCommonControl::SetUseWDR(int value, int apply)
{
    plat::DebugLine(L"CCommonControl::SetUseWDR");
    if (!apply) {
        m_bWDR = value;
        return TRUE;
    }
    if (!SendCamera(value ? 924 : 923))
        return FALSE;
    m_bWDR = value;
    return TRUE;
}

void CCommonControl::SetZoom(int index)
{
    m_nZoom = index;
    SendCamera(10 + index);
}

int CCommonControl::IsSelfTimerSet() const
{
    return m_nCountdown > 0;
}

BOOL CCommonControl::SetWidePreview(int wide, int apply)
{
    m_bWidePreview = wide;
    if (!apply)
        return TRUE;
    return SUCCEEDED(
        CDShowControl::GetInstance()->SetResolutionPreviewPin(wide ? RESOLUTION_400_240 : RESOLUTION_320_240));
}

void CCommonControl::SetSelfTimerMode(int mode)
{
    m_nSelfTimerMode = mode;
    m_nCountdown = CountdownOf(mode);
}

void CCommonControl::WriteSensorID(int value)
{
    m_nSensorID = value;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"\\Software\\Microsoft\\Pictures\\Camera\\USER", 0, nullptr, 0, 0,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const DWORD word = static_cast<DWORD>(value);
    RegSetValueExW(key, L"Sensor_ID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&word), sizeof word);
    RegCloseKey(key);
}

int CCommonControl::ToggleSensorID()
{
    const int next = (m_nSensorID.load() + 1) % 2;
    WriteSensorID(next);
    return next;
}

void CCommonControl::SetGraphMode(int mode)
{
    CDShowControl::GetInstance()->SetMode(static_cast<DWORD>(mode));
    PumpKeyMessages(FALSE, TRUE);
    PumpMouseMessages(FALSE, TRUE);
}

BOOL CCommonControl::SetFocus(int mode, int force)
{
    if (mode == m_nFocusMode && !force)
        return TRUE;
    m_nFocusState = 0;
    const int old = m_nFocusMode;
    BOOL ok = TRUE;
    if (old == 2)
        ok = SendCamera(900);
    if (mode != 1 && (old == 1 || force))
        ok = SendCamera(705);
    if (mode == 0) {
        if (ok)
            m_nFocusMode = 0;
        return ok;
    }
    if (mode == 1)
        ok = SendCamera(706);
    else if (mode == 2)
        ok = SendCamera(901);
    if (ok)
        m_nFocusMode = mode;
    return ok;
}

BOOL CCommonControl::SetFocusOff()
{
    return SendCamera(704);
}

BOOL CCommonControl::SetFocusing()
{
    m_nFocusState = 1;
    CDrawEvent::SendMessage(L"Utility", 96);
    const DWORD start = GetTickCount();
    const BOOL ok = SendCamera(707);
    m_nFocusState = ok ? 2 : 3;
    plat::DebugLine(L"[LumOCR] Focus time %u ms", static_cast<unsigned>(GetTickCount() - start));
    return ok;
}

int CCommonControl::GetBrightness()
{
    plat::DebugLine(L"[TRAVEK] GETBRIGHTNESS START\n");
    const HRESULT hr = CDShowControl::GetInstance()->SetAMCameraControl(kLight, 9, false);
    plat::DebugLine(L"[TRAVEK] GETBRIGHTNESS RETURN(%d)\n", static_cast<int>(hr));
    return static_cast<int>(hr);
}

BOOL CCommonControl::SetLightOn(int value)
{
    const int mode = m_nLightMode;
    if (mode == 0)
        return TRUE;
    CDShowControl* graph = CDShowControl::GetInstance();
    if (mode == 1 || mode == 2)
        return SUCCEEDED(graph->SetAMCameraControl(kLight, value + 1, mode == 2));
    return SUCCEEDED(graph->SetAMCameraControl(kLight, value, false));
}

BOOL CCommonControl::SetLightOff(int value)
{
    if (m_nLightMode == 0)
        return TRUE;
    return SUCCEEDED(CDShowControl::GetInstance()->SetAMCameraControl(kLight, value, false));
}

int CCommonControl::OnAutoFocusPress()
{
    plat::DebugLine(L">>> %ls", L"CCommonControl::OnAutoFocusPress");
    if (m_bFocusing.exchange(1))
        return 1;
    CCaptureHost& host = CaptureHost();
    host.SetFocusIndicator(1);
    PumpKeyMessages(FALSE, TRUE);
    PumpMouseMessages(FALSE, TRUE);
    CDShowControl* graph = CDShowControl::GetInstance();
    const int light = m_nLightMode;
    if (light == 1 || light == 2)
        graph->SetAMCameraControl(kLight, 4, light == 2);
    else if (light != 0)
        graph->SetAMCameraControl(kLight, 3, false);
    CSoundControl* sound = CSoundControl::GetInstance();
    if (!SetFocusing()) {
        sound->PlayAutoFocusFail();
        host.SetFocusIndicator(3);
        m_nFocusOk = 0;
    } else {
        sound->PlayAutoFocus();
        host.SetFocusIndicator(2);
        m_nFocusOk = 1;
    }
    if (light != 0)
        graph->SetAMCameraControl(kLight, 2, false);
    CDrawEvent::SendMessage(L"Utility", 96);
    plat::DebugLine(L"<<< %ls", L"CCommonControl::OnAutoFocusPress");
    return 1;
}

int CCommonControl::OnAutoFocusRelease()
{
    plat::DebugLine(L">>> %ls", L"CCommonControl::OnAutoFocusRelease");
    m_bFocusing = 0;
    if (m_nFocusState != 0) {
        CaptureHost().SetFocusIndicator(0);
        SendCamera(708);
        if (!CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAPTURING))
            CDrawEvent::SendMessage(L"Utility", 96);
        if (m_nCountdown > 0) {
            PumpKeyMessages(FALSE, TRUE);
            PumpMouseMessages(FALSE, TRUE);
        }
    }
    m_nFocusState = 0;
    plat::DebugLine(L"<<< %ls", L"CCommonControl::OnAutoFocusRelease");
    return 1;
}

void CCommonControl::ZoomStep(int in)
{
    const int zoom = m_nZoom;
    int next = zoom;
    if (in && zoom < 9)
        next = zoom + 1;
    else if (!in && zoom >= 1)
        next = zoom - 1;
    if (next == zoom)
        return;
    CSettings::GetInstance()->ChangeGUIStatus(0x400, 0x2000);
    SetZoom(next);
}

void CCommonControl::StartSelfTimer()
{
    if (m_nCountdown <= 0)
        return;
    const UINT id = CSettings::GetInstance()->GetMode() == 0 ? kCameraTimer : kCamcorderTimer;
    SetMMTimer(this, id, 1000, 0, 100);
}

void CCommonControl::CancelSelfTimer()
{
    CSettings* settings = CSettings::GetInstance();
    if (!settings->IsGUIStatus(GUI_STATUS_CAPTURING))
        return;
    KillMMTimer(this, settings->GetMode() == 0 ? kCameraTimer : kCamcorderTimer);
    settings->RemoveGUIStatus(GUI_STATUS_CAPTURING);
    m_nCountdown = CountdownOf(m_nSelfTimerMode);
    CCameraControl::GetInstance()->SetState(CAPTURE_STATE_IDLE);
}

void CCommonControl::OnMmTimerHandler(UINT, UINT timerId, DWORD, BOOL* handled)
{
    const int result = SelfTimerTick(timerId);
    if (handled)
        *handled = result != 0;
}

int CCommonControl::SelfTimerTick(UINT timerId)
{
    if (timerId != kCameraTimer && timerId != kCamcorderTimer)
        return 0;
    plat::DebugLine(L"CCameraControl::OnMmTimerHandler [ID:%d][Time:%d]\r\n", static_cast<int>(timerId),
                    static_cast<int>(GetTickCount()));
    CSettings* settings = CSettings::GetInstance();
    // Redraws from the timer thread are posted: a send would wait on a GUI
    // thread that may be waiting for this timer.
    if (m_nCountdown < 1) {
        KillMMTimer(this, timerId);
        settings->RemoveGUIStatus(GUI_STATUS_CAPTURING);
        CDrawEvent::PostMessage(L"CommonControl", __LINE__);
        m_nCountdown = CountdownOf(m_nSelfTimerMode);
        if (timerId == kCameraTimer)
            PostMessageW(GetHwnd(), WM_TARGET_COMMAND, 0x30005, 0);
        else
            PostMessageW(GetHwnd(), WM_MAIN_COMMAND, 0x40007, 0);
        return 1;
    }
    settings->AddGUIStatus(GUI_STATUS_CAPTURING);
    CSoundControl::GetInstance()->PlayWaveFile(m_nCountdown < 2 ? L"\\Windows\\TimerEnd.wav" : L"\\Windows\\Timer.wav",
                                              0, 1);
    CDrawEvent::PostMessage(L"CommonControl", __LINE__);
    const int left = --m_nCountdown;
    if (left > 3)
        CLedControl::GetInstance()->Blink(300, 1);
    else if (left == 3)
        CLedControl::GetInstance()->Blink(150, 9);
    return 1;
}

int CCommonControl::GetResolutionWidth(int index)
{
    return index >= 0 && index <= 7 ? kResolution[index][0] : kResolution[0][0];
}

int CCommonControl::GetResolutionHeight(int index)
{
    return index >= 0 && index <= 7 ? kResolution[index][1] : kResolution[0][1];
}

void CCommonControl::PreviewFrameSize(int* width, int* height) const
{
    CSettings* settings = CSettings::GetInstance();
    int w = 0;
    int h = 0;
    const bool setting = settings->IsGUIStatus(GUI_STATUS_SETTING) != FALSE;
    if (settings->IsGUIStatus(GUI_STATUS_CAMERA) || (setting && settings->GetMode() == 0)) {
        w = 320;
        h = 240;
    } else if (settings->IsGUIStatus(GUI_STATUS_CAMCORDER) || (setting && settings->GetMode() == 1)) {
        const int size = CCamcorderControl::GetInstance()->GetCurrentVideoSize();
        w = GetResolutionWidth(size);
        h = GetResolutionHeight(size);
    }
    const bool rotated = CSystem::GetInstance()->IsDisplayRotated() != FALSE;
    *width = rotated ? w : h;
    *height = rotated ? h : w;
}

int CCommonControl::GetPreviewFrameWidth() const
{
    int w = 0;
    int h = 0;
    PreviewFrameSize(&w, &h);
    return w;
}

int CCommonControl::GetPreviewFrameHeight() const
{
    int w = 0;
    int h = 0;
    PreviewFrameSize(&w, &h);
    return h;
}

void CCommonControl::SetPreviewBuf()
{
    plat::DebugLine(L"[TRAVEK] SET PREVIEW BUF START\n");
    std::lock_guard<std::mutex> lock(CCameraControl::FrameLock());
    if (m_frame.empty()) {
        m_frame.assign(kFrameBufferBytes, 0);
        m_nFrameSize = 0;
    }
    if (m_panelImage.empty())
        m_panelImage.assign(kPanelImageBytes, 0);
    if (m_workPlanes.empty())
        m_workPlanes.assign(kWorkPlaneBytes, 0);
    plat::DebugLine(L"[TRAVEK] SET PREVIEW BUF END\n");
}

void CCommonControl::FreePreviewBuffers()
{
    m_bPreviewLock = 1;
    // The worker finishes the frame it holds; no new one is copied meanwhile.
    // Waited for without the frame lock: a worker that came in just before
    // the flag was set takes that lock to copy its frame.
    WaitForIdleWorker(*this);
    std::lock_guard<std::mutex> lock(CCameraControl::FrameLock());
    std::vector<BYTE>().swap(m_frame);
    std::vector<BYTE>().swap(m_panelImage);
    std::vector<BYTE>().swap(m_workPlanes);
    m_nFrameSize = 0;
}

HRESULT CCommonControl::CopyFrame(const BYTE* frame, LONG width, LONG height)
{
    if (!frame || width < 2 || height < 2)
        return E_INVALIDARG;
    if (CCamcorderControl::GetInstance()->GetState() & RECORD_STATE_RECORDING) {
        if (m_nFrameSkip > 0) {
            --m_nFrameSkip;
            return E_FAIL;
        }
        m_nFrameSkip = 1;
    }
    const DWORD size = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 3 / 2;
    if (size != m_nFrameSize.load() || m_frame.size() < size) {
        m_nFrameWidth = width;
        m_nFrameHeight = height;
        m_nFrameSize = size;
        if (m_frame.size() < size)
            m_frame.resize(size);
    }
    std::memcpy(m_frame.data(), frame, size);
    return S_OK;
}

void CCommonControl::SignalFrame()
{
    if (m_hFrameEvent)
        SetEvent(m_hFrameEvent);
}

void CCommonControl::HoldWorkerOff(const std::function<void()>& change)
{
    const int held = m_bPreviewLock.exchange(1);
    WaitForIdleWorker(*this);
    change();
    m_bPreviewLock = held;
}

void CCommonControl::ResumeWorker()
{
    if (m_hWorker && !m_bWorkerStarted.exchange(1))
        ResumeThread(m_hWorker);
}

void CCommonControl::StopWorker()
{
    if (!m_hWorker)
        return;
    SetEvent(m_hExitEvent);
    if (!m_bWorkerStarted.exchange(1))
        ResumeThread(m_hWorker);
    WaitForSingleObject(m_hWorker, INFINITE);
    CloseHandle(m_hWorker);
    m_hWorker = nullptr;
}

DWORD CCommonControl::AutoShotThreadProc(LPVOID parameter)
{
    auto* self = static_cast<CCommonControl*>(parameter);
    const HANDLE events[2] = {self->m_hExitEvent, self->m_hFrameEvent};
    for (;;) {
        const DWORD result = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (result != WAIT_OBJECT_0 + 1)
            return 0;
        self->DetectAutoShot();
    }
}

void CCommonControl::ClearAutoShotRect()
{
    std::lock_guard<std::mutex> lock(m_rectLock);
    m_rcEdge = {};
}

RECT CCommonControl::GetEdgeRect() const
{
    std::lock_guard<std::mutex> lock(const_cast<std::mutex&>(m_rectLock));
    return m_rcEdge;
}

int CCommonControl::DetectAutoShot()
{
    // Busy before the look at the lock: either the buffers' release sees the
    // worker busy and waits, or the worker sees the lock and stays out.
    m_bWorkerBusy = 1;
    if (m_bPreviewLock.load()) {
        plat::DebugLine(L"--------------- LOCKED ----------------------\n");
        m_bWorkerBusy = 0;
        return 0;
    }
    int width = 0;
    int height = 0;
    PreviewFrameSize(&width, &height);
    const DWORD orientation = CSystem::GetInstance()->Orientation();
    if (orientation == 1 || orientation == 4)
        std::swap(width, height);

    // The frame as it is now; the streaming thread does not write it while
    // the worker is busy, the lock keeps a late copy out all the same.
    const LONG fw = m_nFrameWidth.load();
    const LONG fh = m_nFrameHeight.load();
    const DWORD size = m_nFrameSize.load();
    std::vector<BYTE> frame;
    {
        std::lock_guard<std::mutex> lock(CCameraControl::FrameLock());
        if (size && m_frame.size() >= size)
            frame.assign(m_frame.begin(), m_frame.begin() + size);
    }
    if (frame.empty() || fw < 2 || fh < 2) {
        m_bWorkerBusy = 0;
        return 0;
    }

    CCaptureHost& host = CaptureHost();
    if (host.AutoShotAllowed()) {
        RECT rect = {};
        std::int32_t found = 1;
        // The edge check examines the stored frame at its own size.
        m_grey.assign(frame.begin(), frame.begin() + static_cast<size_t>(fw) * fh);
        const bool guide = host.GuideMode() == 1;
        LumOCR_EdgeDetection(m_grey.data(), fw, fh, &rect, &found, guide ? 8 : 10);
        {
            std::lock_guard<std::mutex> lock(m_rectLock);
            m_rcEdge = rect;
        }
        if (!guide) {
            m_nEdgeFound = found;
            CDrawEvent::PostMessage(L"CommonControl", __LINE__);
            if (found) {
                {
                    std::lock_guard<std::mutex> lock(m_rectLock);
                    m_rcEdge = {1, 1, 1, 1};
                }
                host.SetAutoShotFound();
                PostMessageW(GetHwnd(), WM_TARGET_COMMAND, CMD_PREVIEW_AUTO_SHOT, 0);
                m_bWorkerBusy = 0;
                m_nEdgeHits = 0;
                m_nEdgeFrames = 0;
                return 1;
            }
        } else {
            if (found) {
                ++m_nEdgeHits;
                std::lock_guard<std::mutex> lock(m_rectLock);
                m_rcEdge = {1, 1, 1, 1};
            } else {
                --m_nEdgeHits;
            }
            m_nPrevEdgeFound = found;
            m_nEdgeFound = 1;
            ++m_nEdgeFrames;
        }
    }

    // Nothing is drawn unless a screen shows the preview.
    if (width <= 0 || height <= 0) {
        m_bWorkerBusy = 0;
        return 0;
    }
    DrawFrame(frame.data(), fw, fh);
    m_bWorkerBusy = 0;
    return 1;
}

void CCommonControl::DrawFrame(const BYTE* frame, int fw, int fh)
{
    CDisplay* display = CDisplay::GetInstance();
    void* bits = nullptr;
    DDSURFACEDESC desc = {};
    desc.dwSize = sizeof desc;
    if (FAILED(display->LockBackBuffer(&bits, &desc)) || !bits)
        return;
    const int sw = static_cast<int>(desc.dwWidth);
    const int sh = static_cast<int>(desc.dwHeight);
    const int pitch = static_cast<int>(desc.lPitch);
    if (sw < 2 || sh < 2 || pitch < sw * 2) {
        display->UnlockBackBuffer();
        return;
    }
    // The surface keeps the panel's physical layout: a landscape frame on a
    // portrait surface is turned a quarter turn clockwise.
    const bool turn = (fw > fh) != (sw > sh);
    const int tw0 = turn ? fh : fw;
    const int th0 = turn ? fw : fh;
    // Fitted into the surface, proportions kept, even sizes.
    int tw = sw;
    int th = static_cast<int>(static_cast<long long>(th0) * sw / tw0);
    if (th > sh) {
        th = sh;
        tw = static_cast<int>(static_cast<long long>(tw0) * sh / th0);
    }
    tw &= ~1;
    th &= ~1;
    if (tw < 2 || th < 2) {
        display->UnlockBackBuffer();
        return;
    }
    const size_t n = static_cast<size_t>(tw) * th;
    if (m_workPlanes.size() < n * 3 / 2)
        m_workPlanes.resize(n * 3 / 2);
    auto* src = const_cast<BYTE*>(frame);  // read only: the planes are the source
    const int fn = fw * fh;
    PlaneSet from = {{fw, fw / 2, fw / 2, 0},
                     {fh, fh / 2, fh / 2, 0},
                     {fw, fw / 2, fw / 2, 0},
                     {src, src + fn, src + fn + fn / 4, nullptr}};
    BYTE* dst = m_workPlanes.data();
    PlaneSet to = {{tw, tw / 2, tw / 2, 0},
                   {th, th / 2, th / 2, 0},
                   {tw, tw / 2, tw / 2, 0},
                   {dst, dst + n, dst + n + n / 4, nullptr}};
    auto* surface = static_cast<BYTE*>(bits);
    for (int row = 0; row < sh; ++row)
        std::memset(surface + static_cast<size_t>(row) * pitch, 0, static_cast<size_t>(sw) * 2);
    if (ResizeRotatePlanes(&from, turn ? 2 : 0, &to) == 0) {
        const int x0 = (sw - tw) / 2;
        const int y0 = (sh - th) / 2;
        // Camera frames keep Cr before Cb.
        ConvertYCbCr420ToRGB(to.plane[0], to.plane[2], to.plane[1], tw, th, tw, tw / 2, pitch,
                             surface + static_cast<size_t>(y0) * pitch + static_cast<size_t>(x0) * 2);
    }
    if (SUCCEEDED(display->UnlockBackBuffer()) && SUCCEEDED(display->Flip())) {
        // A count now and then, so the preview's frame rate can be read from the log.
        static std::atomic<unsigned> shown{0};
        const unsigned n = ++shown;
        if (n % kFramesPerCountLine == 0) {
            // A whole line of its own, so that a reader sees it when it is written.
            WCHAR line[64];
            std::swprintf(line, std::size(line), L"preview frames shown: %u\n", n);
            OutputDebugStringW(line);
        }
    }
}
