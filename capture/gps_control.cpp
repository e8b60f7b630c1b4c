#include "gps_control.h"

#include "draw_event.h"

namespace {

constexpr DWORD kMaximumAgeMs = 3000;
constexpr DWORD kThreadStack = 65535;
constexpr DWORD kUnloadWaitMs = 5000;

HRESULT LastError()
{
    const DWORD e = GetLastError();
    return e ? HRESULT_FROM_WIN32(e) : E_FAIL;
}

void CloseAndClear(HANDLE& h, const WCHAR* log)
{
    if (!h) return;
    CloseHandle(h);
    h = nullptr;
    if (log) plat::DebugLine(L"%ls", log);
}

}  // namespace

CGPSControl::CGPSControl() = default;

CGPSControl::~CGPSControl()
{
    Shutdown();
}

HRESULT CGPSControl::Init()
{
    if (m_bInitialised) return S_OK;
    if (m_hDevice) return E_INVALIDARG;
    HRESULT hr = LoadThread();
    if (SUCCEEDED(hr)) {
        m_hDevice = GPSOpenDevice(m_hNewLocationData, m_hDeviceStateChange, nullptr, 0);
        if (!m_hDevice) {
            plat::DebugLine(L"s_hGPS_Device is NULL\r\n");
            hr = LastError();
        }
    }
    if (FAILED(hr)) {
        plat::DebugLine(L"InitDevice is failed\r\n");
        // Whatever was loaded goes again: no thread or event is left behind.
        UnloadThread();
        m_bInitialised = false;
        return hr;
    }
    m_bInitialised = true;
    // The driver may report its first position before the handle above is
    // stored, when the thread cannot read it yet: have the thread look again.
    SetEvent(m_hNewLocationData);
    return S_OK;
}

HRESULT CGPSControl::Uninit()
{
    if (!m_hDevice) {
        m_bInitialised = false;
        return E_INVALIDARG;
    }
    HRESULT hr = UnloadThread();
    if (GPSCloseDevice(m_hDevice) != ERROR_SUCCESS) {
        plat::DebugLine(L"UninitDevice is NULL\r\n");
        hr = LastError();
    }
    m_hDevice = nullptr;
    m_bInitialised = false;
    return hr;
}

void CGPSControl::Shutdown()
{
    if (m_bInitialised || m_hDevice) Uninit();
}

HRESULT CGPSControl::LoadThread()
{
    HRESULT hr = S_OK;
    m_hNewLocationData = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hDeviceStateChange = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hExitThread = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (m_hNewLocationData && m_hDeviceStateChange && m_hExitThread)
        m_hThread = CreateThread(nullptr, kThreadStack, GPSThreadProc, this, 0, &m_dwThreadId);
    if (!m_hThread) {
        hr = LastError();
        CloseAndClear(m_hNewLocationData, L"s_hNewLocationData is NULL\r\n");
        CloseAndClear(m_hDeviceStateChange, L"s_hDeviceStateChange is NULL\r\n");
        CloseAndClear(m_hExitThread, L"s_hExitThread is NULL\r\n");
        plat::DebugLine(L"LoadThread is failed\r\n");
    }
    plat::DebugLine(L"LoadThread\r\n");
    return hr;
}

HRESULT CGPSControl::UnloadThread()
{
    HRESULT hr = S_OK;
    if (m_hThread) {
        if (!SetEvent(m_hExitThread) || WaitForSingleObject(m_hThread, kUnloadWaitMs) != WAIT_OBJECT_0)
            hr = LastError();
    }
    CloseAndClear(m_hNewLocationData, L"s_hNewLocationData is closed\r\n");
    CloseAndClear(m_hDeviceStateChange, L"s_hDeviceStateChange is closed\r\n");
    CloseAndClear(m_hExitThread, L"s_hExitThread is closed\r\n");
    CloseAndClear(m_hThread, L"m_hThread is NULL\r\n");
    plat::DebugLine(L"UnloadThread\r\n");
    return hr;
}

DWORD CGPSControl::GPSThreadProc(LPVOID param)
{
    auto* self = static_cast<CGPSControl*>(param);
    const HANDLE events[3] = {self->m_hNewLocationData, self->m_hDeviceStateChange, self->m_hExitThread};
    for (;;) {
        const DWORD which = WaitForMultipleObjects(3, events, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) {
            self->OnNewPosition();
        } else if (which == WAIT_OBJECT_0 + 1) {
            GPS_DEVICE device{};
            device.dwVersion = GPS_VERSION_1;
            device.dwSize = sizeof device;
            if (GPSGetDeviceState(&device) == ERROR_SUCCESS) {
                {
                    std::lock_guard lock(self->m_recordLock);
                    self->m_Device = device;
                }
                plat::DebugLine(L"[Camera] :[GPS DeviceState] ServiceState : %d, DeviceState %d\r\n",
                                static_cast<int>(device.dwServiceState), static_cast<int>(device.dwDeviceState));
            }
        } else {
            plat::DebugLine(L"GPSThreadProc ==> [s_hExitThread]\r\n");
            return 0;
        }
    }
}

void CGPSControl::OnNewPosition()
{
    GPS_POSITION position{};
    position.dwVersion = GPS_VERSION_1;
    position.dwSize = sizeof position;
    if (GPSGetPosition(m_hDevice, &position, kMaximumAgeMs, 0) != ERROR_SUCCESS) return;
    {
        std::lock_guard lock(m_recordLock);
        m_Position = position;
    }
    const bool placed = position.dblLatitude != 0 && position.dblLongitude != 0;
    const bool none = position.dblLatitude == 0 && position.dblLongitude == 0;
    if (m_nIndicator == 2 && placed)
        SetIndicator(1);
    else if (m_nIndicator == 1 && none)
        SetIndicator(2);
    plat::DebugLine(L"[Camera] :[GPS LocationData] Latitude : %d, Longitude %d, Altitude %d\r\n",
                    static_cast<int>(position.dblLatitude), static_cast<int>(position.dblLongitude),
                    static_cast<int>(position.flAltitudeWRTSeaLevel));
}

void CGPSControl::SetIndicator(int state)
{
    m_nIndicator = state;
    if (auto sink = m_pfnIndicatorSink.load()) sink(state);
    // Posted, never sent: the GUI thread may be waiting for this thread.
    CDrawEvent::PostMessage(L"CGPSControl", __LINE__);
}

double CGPSControl::GetLatitude() const
{
    std::lock_guard lock(m_recordLock);
    return m_Position.dblLatitude;
}

double CGPSControl::GetLongitude() const
{
    std::lock_guard lock(m_recordLock);
    return m_Position.dblLongitude;
}

float CGPSControl::GetAltitude() const
{
    std::lock_guard lock(m_recordLock);
    return m_Position.flAltitudeWRTSeaLevel;
}

bool CGPSControl::HasFix() const
{
    std::lock_guard lock(m_recordLock);
    return (m_Position.dwValidFields & (GPS_VALID_LATITUDE | GPS_VALID_LONGITUDE)) ==
           (GPS_VALID_LATITUDE | GPS_VALID_LONGITUDE);
}
