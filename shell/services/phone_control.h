// Answers or rejects the ringing call through the dialer's command value,
// and reads the caller's number and name.
#pragma once

#include <atomic>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

inline constexpr const WCHAR* kDialerKey = L"Security\\Phone\\Velmora";
inline constexpr const WCHAR* kPhoneStateKey = L"System\\State\\Phone";

class CPhoneControl : public CDrawEvent, public CSingleton<CPhoneControl> {
public:
    using CSingleton<CPhoneControl>::GetInstance;

    CPhoneControl() = default;
    ~CPhoneControl() override = default;

    // "DialerCmd" = 1, flushed.
    void Answer();
    // "DialerCmd" = 2, flushed; the call popup is no longer shown.
    void Ignore();
    // Read afresh each time; empty when the value is missing.
    LPCWSTR GetCallerNumber();
    LPCWSTR GetCallerName();

    // Written by the notification thread.
    std::atomic<BYTE> m_bCallPopupShown{0};

private:
    WCHAR callerNumber_[MAX_PATH] = {};
    WCHAR callerName_[MAX_PATH] = {};
};
