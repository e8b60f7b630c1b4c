#include "notification.h"

#include "debug_print.h"
#include "file_control.h"
#include "settings.h"

namespace {

DWORD ReadState(HKEY root, LPCWSTR key, LPCWSTR name)
{
    DWORD value = 0;  // a missing value reads 0
    RegistryGetDWORD(root, key, name, &value);
    return value;
}

}  // namespace

BOOL CNotification::IsIncomingCall() const
{
    return (ReadState(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status") & PHONE_INCOMING) != 0;
}

BOOL CNotification::IsCallCalling() const
{
    return (ReadState(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status") & PHONE_CALLING) != 0;
}

BOOL CNotification::IsTalking() const
{
    BOOL talking = (ReadState(HKEY_LOCAL_MACHINE, kPhoneStatusKey, L"Status") & PHONE_TALKING) != 0;
    DebugPrint(talking ? L"[TRAVEK] TALKING...\n" : L"[TRAVEK] NOT TALKING...\n");
    return talking;
}

BOOL CNotification::IsIncomingVoiceCall() const
{
    return IsIncomingCall() && ReadState(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\KeyValue", L"IS_VMODE") != 1;
}

BOOL CNotification::GetVTCallState() const
{
    return ReadState(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\Telephone", L"CallState") != 0 &&
           ReadState(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\KeyValue", L"IS_VMODE") == 1;
}

BOOL CNotification::ReadBatteryLevel() const
{
    // The low word is what the battery watch follows.
    DWORD level = ReadState(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue) & 0xFFFF;
    if (level == 0)
        return FALSE;
    CSettings::GetInstance()->SetBatteryLevel(level >= 1 && level <= 5 ? static_cast<int>(level) : 0);
    return TRUE;
}

BOOL CNotification::IsKeyLocked() const { return ReadState(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock") == 1; }

BOOL CNotification::NeedUpdateFirmware() const
{
    return ReadState(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"NeedUpdateFirmware") == 1;
}

BOOL CNotification::IsCameraIdle() const
{
    return ReadState(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status") == 0;
}

BOOL CNotification::CheckStorage(UINT* messageId) const
{
    CFileControl* files = CFileControl::GetInstance();
    if (files->GetFreeSpace(nullptr, TRUE) < kMinimumFreeMemoryKB) {
        *messageId = 257;
        return FALSE;
    }
    if (files->GetFreeSpace(L"\\My Documents\\KVIM\\", FALSE) > kMinimumFreeStorageKB)
        return TRUE;
    *messageId = 258;
    return FALSE;
}

// The registrations come with the phone and system reactions; until then
// each one fails as a registration the shell refused would.
int CNotification::RegisterAll()
{
    DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    -> ", 0, L"CNotification::RegisterAll", L".\\Notification.cpp");
    DebugPrint(L"RegistryNotifyCallback \r\n");
    return 1;
}

BOOL CNotification::RegisterSMSNotification() { return smsHandle_ != nullptr; }

HRESULT CNotification::RegisterSleepNotification()
{
    DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    -> ", 934, L"CNotification::RegisterSleepNotification",
               L".\\Notification.cpp");
    DebugPrint(L"RegistryNotifyCallback \r\n");
    return E_FAIL;
}

int CNotification::UnregistAll()
{
    DebugPrint(L"[LumOCR] UnregistAll start\n");
    DebugPrint(L"[LumOCR] UnregistAll end\n");
    return 1;
}

int CNotification::UnregisterSMSNotification()
{
    if (smsHandle_) {
        RegistryCloseNotification(smsHandle_);
        smsHandle_ = nullptr;
    }
    DebugPrint(L"[LumOCR] SMS NOTI UNREGIST!!!!!!!!!!!!!!!!!!!!!!!\n");
    return 1;
}

int CNotification::UnregisterSleepNotification()
{
    if (sleepHandle_) {
        RegistryCloseNotification(sleepHandle_);
        sleepHandle_ = nullptr;
    }
    return 1;
}
