// The phone and system state the program yields to: one-shot queries of the
// phone, battery, key lock, camera module and storage, and the watches on
// the handset's state values.
#pragma once

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

inline constexpr const WCHAR* kPhoneStatusKey = L"System\\State\\Phone";
inline constexpr const WCHAR* kBatteryKey = L"System\\State\\OrvaMan";
inline constexpr const WCHAR* kBatteryValue = L"Orva_Battery";
inline constexpr DWORD PHONE_INCOMING = 0x10000;
inline constexpr DWORD PHONE_CALLING = 0x20000;
inline constexpr DWORD PHONE_TALKING = 0x20000000;
// Below this much free memory the camera does not start.
inline constexpr DWORD kMinimumFreeMemoryKB = 15361;
// The picture folder needs more than this.
inline constexpr DWORD kMinimumFreeStorageKB = 1024;

class CNotification : public CDrawEvent, public CSingleton<CNotification> {
public:
    using CSingleton<CNotification>::GetInstance;

    CNotification() = default;
    ~CNotification() override = default;

    BOOL IsIncomingCall() const;
    BOOL IsCallCalling() const;
    BOOL IsTalking() const;
    BOOL IsIncomingVoiceCall() const;
    BOOL GetVTCallState() const;
    // False for level 0; otherwise stores the level in the settings.
    BOOL ReadBatteryLevel() const;
    BOOL IsKeyLocked() const;
    BOOL NeedUpdateFirmware() const;
    BOOL IsCameraIdle() const;
    // Free memory and the picture folder's free space. On failure
    // `messageId` names the text to show: 257 memory, 258 storage.
    BOOL CheckStorage(UINT* messageId) const;

    int RegisterAll();
    BOOL RegisterSMSNotification();
    HRESULT RegisterSleepNotification();
    int UnregistAll();
    int UnregisterSMSNotification();
    int UnregisterSleepNotification();

private:
    HREGNOTIFY smsHandle_ = nullptr;
    HREGNOTIFY sleepHandle_ = nullptr;
};
