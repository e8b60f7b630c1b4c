// The GPS device: opened while the user wants positions in the pictures. A
// thread of its own copies every new position and device state.
#pragma once

#include <atomic>
#include <mutex>

#include "plat/gps.h"
#include "plat/windows.h"
#include "singleton.h"

class CGPSControl : public CSingleton<CGPSControl> {
public:
    using CSingleton<CGPSControl>::GetInstance;

    CGPSControl();
    ~CGPSControl();

    // Opens the device, its events and its reading thread; 0 when already open.
    HRESULT Init();
    // Closes them again.
    HRESULT Uninit();
    void Shutdown();
    // The last position record: degrees, and metres above sea level.
    double GetLatitude() const;
    double GetLongitude() const;
    float GetAltitude() const;
    // True when the last record carries a position.
    bool HasFix() const;
    // The indicator: 0 off, 1 position available, 2 searching.
    int GetGPSState() const { return m_nIndicator; }
    void SetGPSState(int state) { m_nIndicator = state; }
    // Where the indicator is also written (the settings' word), when set.
    void SetIndicatorSink(void (*sink)(int state)) { m_pfnIndicatorSink = sink; }
    bool IsInitialised() const { return m_bInitialised; }

private:
    HRESULT LoadThread();
    HRESULT UnloadThread();
    static DWORD GPSThreadProc(LPVOID self);
    void OnNewPosition();
    void SetIndicator(int state);

    HANDLE m_hThread = nullptr;
    DWORD m_dwThreadId = 0;
    std::atomic<bool> m_bInitialised{false};
    std::atomic<int> m_nIndicator{2};
    std::atomic<void (*)(int)> m_pfnIndicatorSink{nullptr};

    std::atomic<HANDLE> m_hDevice{nullptr};  // opened after the thread starts, read by it
    HANDLE m_hNewLocationData = nullptr;
    HANDLE m_hDeviceStateChange = nullptr;
    HANDLE m_hExitThread = nullptr;
    // Copied whole under a small lock: readers never see half a record.
    mutable std::mutex m_recordLock;
    GPS_POSITION m_Position{};
    GPS_DEVICE m_Device{};
};
