#include "notification.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

#include "debug_print.h"
#include "file_control.h"
#include "layout_manager.h"
#include "phone_control.h"
#include "settings.h"

namespace {

constexpr const WCHAR* kSource = L".\\Notification.cpp";
constexpr const WCHAR* kStorageCardKey = L"System\\State\\Velmora\\SDCARD";
constexpr const WCHAR* kShellStateKey = L"System\\State\\Shell";
constexpr const WCHAR* kAlarmKey = L"\\Software\\Velmora\\Camera";
constexpr const WCHAR* kCameraDriverKey = L"Drivers\\BuiltIn\\Camera";
constexpr const WCHAR* kPowerKeyKey = L"\\System\\State\\Velmora\\Keypad";
constexpr const WCHAR* kActiveNotificationKey = L"System\\State\\Shell\\Notifications\\Active";
constexpr const WCHAR* kSmsKey = L"System\\State\\Messages\\SMS\\Unread";
constexpr const WCHAR* kVideoModeKey = L"Software\\Velmora\\VT\\KeyValue";
constexpr const WCHAR* kVideoCallKey = L"Software\\Velmora\\VT\\Telephone";
constexpr const WCHAR* kPairingClsid = L"{0D3132C4-1298-469C-B2B8-F28CE2D649D0}";

constexpr UINT kAppStringId = 254;
constexpr int kActiveAppChars = 256;
constexpr UINT kPairingBytes = 512;

// The value's first word; a value of another size reads as missing.
DWORD NewValue(const BYTE* data, UINT size)
{
    DWORD value = 0;
    if (data && size == sizeof(DWORD))
        std::memcpy(&value, data, sizeof value);
    return value;
}

DWORD ReadDword(HKEY root, LPCWSTR key, LPCWSTR name)
{
    DWORD value = 0;
    if (FAILED(RegistryGetDWORD(root, key, name, &value)))
        value = 0;
    return value;
}

void LogEndProcess(int line)
{
    DebugPrint(L"[LumOCR] Call End Process [%ls][%d]<<<<<<<<<<<<<<<<\n", kSource, line);
}

void LogError(int line, LPCWSTR function, LPCWSTR text)
{
    DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    -> ", line, kSource, function);
    DebugPrint(L"%ls", text);
}

HRESULT Watch(HKEY root, LPCWSTR key, LPCWSTR value, REGISTRYNOTIFYCALLBACK callback, DWORD user,
              const NOTIFICATIONCONDITION* condition, std::atomic<HREGNOTIFY>& handle)
{
    NOTIFICATIONCONDITION copy{};
    if (condition)
        copy = *condition;
    HREGNOTIFY notify = nullptr;
    HRESULT hr = RegistryNotifyCallback(root, key, value, callback, user, condition ? &copy : nullptr, &notify);
    handle.store(SUCCEEDED(hr) ? notify : nullptr);
    return hr;
}

BOOL Close(std::atomic<HREGNOTIFY>& handle)
{
    HREGNOTIFY notify = handle.exchange(nullptr);
    if (notify)
        return SUCCEEDED(RegistryCloseNotification(notify));
    return TRUE;
}

NOTIFICATIONCONDITION AnyChange(DWORD mask, DWORD target)
{
    NOTIFICATIONCONDITION condition{};
    condition.ctComparisonType = REG_CT_ANYCHANGE;
    condition.dwMask = mask;
    condition.TargetValue.dw = target;
    return condition;
}

bool EqualNoCase(const WCHAR* a, const WCHAR* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b)))
            return false;
    return *a == *b;
}

void NoReaction(HREGNOTIFY, DWORD, BYTE* const, const UINT) {}

}  // namespace

std::atomic<CNotification*>& CNotification::Active()
{
    static std::atomic<CNotification*> active{nullptr};
    return active;
}

CNotification::CNotification() { Active().store(this); }

CNotification::~CNotification()
{
    UnregistAll();
    UnregisterSMSNotification();
    UnregisterSleepNotification();
    Active().store(nullptr);
    WaitForEndKey();
}

// ---- registrations ---------------------------------------------------------

HRESULT CNotification::RegisterBatteryNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(0xFFFF, 0);
    return Watch(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue, &CallbackBattery, 0, &condition, battery_);
}

HRESULT CNotification::RegisterIncomingCallNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(PHONE_INCOMING, 0xFFFFFFFF);
    return Watch(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status", &CallbackIncomingCall, 0, &condition, incomingCall_);
}

HRESULT CNotification::RegisterStorageCardNotification()
{
    return Watch(HKEY_LOCAL_MACHINE, kStorageCardKey, L"INSERTED", &CallbackStorageCard, 0, nullptr, storageCard_);
}

HRESULT CNotification::RegisterActiveAppNotification()
{
    NOTIFICATIONCONDITION condition{};
    condition.ctComparisonType = REG_CT_ANYCHANGE;
    condition.TargetValue.psz = L"";
    return Watch(HKEY_CURRENT_USER, kShellStateKey, L"Active Application", &CallbackActiveApp, 0, &condition,
                 activeApp_);
}

HRESULT CNotification::RegisterAlarmNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(0xFFFFFFFF, 0xFFFFFFFF);
    return Watch(HKEY_CURRENT_USER, kAlarmKey, L"AlarmState", &CallbackAlarm, 0, &condition, alarm_);
}

HRESULT CNotification::RegisterShellNotifyNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(0x400, 0xFFFFFFFF);
    return Watch(HKEY_LOCAL_MACHINE, kShellStateKey, L"Notify", &CallbackShellNotify, 0, &condition, shellNotify_);
}

HRESULT CNotification::RegisterCameraModuleNotification()
{
    return Watch(HKEY_LOCAL_MACHINE, kCameraDriverKey, L"Status", &CallbackCameraModule, 0, nullptr, cameraModule_);
}

BOOL CNotification::RegisterPowerOffNotification()
{
    NOTIFICATIONCONDITION condition{};
    condition.ctComparisonType = REG_CT_EQUAL;
    condition.dwMask = 0xFFFFFFFF;
    condition.TargetValue.dw = kPowerKeyValue;
    HRESULT hr = Watch(HKEY_LOCAL_MACHINE, kPowerKeyKey, L"KeyValue", &CallbackPowerOff, 0, &condition, powerKey_);
    if (FAILED(hr)) {
        LogError(1209, L"CNotification::RegisterPowerOffNotification", L"RegisterPowerOffNotification FAILED !!!\r\n");
        return FALSE;
    }
    return TRUE;
}

HRESULT CNotification::RegisterCallStatusNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(PHONE_CALLING, 0xFFFFFFFF);
    return Watch(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status", &CallbackCallStatus, 0, &condition, callStatus_);
}

HRESULT CNotification::RegisterCallerInfoNotification()
{
    HRESULT name = Watch(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Incoming Caller Name", &CallbackCallerInfo, 0, nullptr,
                         callerName_);
    HRESULT number = Watch(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Incoming Caller Number", &CallbackCallerInfo, 1,
                           nullptr, callerNumber_);
    return FAILED(name) ? name : number;
}

HRESULT CNotification::RegisterBTParingNotification()
{
    return Watch(HKEY_LOCAL_MACHINE, kActiveNotificationKey, L"CLSID", &CallbackBTParing, 0, nullptr, pairing_);
}

BOOL CNotification::RegisterSMSNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(0xFFFFFFFF, 0);
    return SUCCEEDED(Watch(HKEY_CURRENT_USER, kSmsKey, L"Count", &CallbackSMS, 0, &condition, sms_));
}

HRESULT CNotification::RegisterSleepNotification()
{
    NOTIFICATIONCONDITION condition = AnyChange(0xFFFFFFFF, 0);
    HRESULT hr = Watch(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"SleepSoon", &CallbackSleep, 0, &condition, sleep_);
    if (FAILED(hr))
        LogError(934, L"CNotification::RegisterSleepNotification", L"RegistryNotifyCallback \r\n");
    return hr;
}

BOOL CNotification::RegisterAll()
{
    if (SUCCEEDED(RegisterBatteryNotification()))
        DebugPrint(L"Register Battery Notification Success !!!\n");
    RegisterIncomingCallNotification();
    RegisterStorageCardNotification();
    RegisterActiveAppNotification();
    RegisterAlarmNotification();
    RegisterShellNotifyNotification();
    RegisterCameraModuleNotification();
    RegisterPowerOffNotification();
    RegisterStorageMountNotification();
    RegisterCallStatusNotification();
    RegisterCallerInfoNotification();
    RegisterBTParingNotification();
    return TRUE;
}

// ---- unregistrations -------------------------------------------------------

BOOL CNotification::UnregisterBatteryNotification() { return Close(battery_); }
BOOL CNotification::UnregisterIncomingCallNotification() { return Close(incomingCall_); }
BOOL CNotification::UnregisterStorageCardNotification() { return Close(storageCard_); }
BOOL CNotification::UnregisterActiveAppNotification() { return Close(activeApp_); }
BOOL CNotification::UnregisterAlarmNotification() { return Close(alarm_); }
BOOL CNotification::UnregisterShellNotifyNotification() { return Close(shellNotify_); }
BOOL CNotification::UnregisterPowerOffNotification() { return Close(powerKey_); }
BOOL CNotification::UnregisterCameraModuleNotification() { return Close(cameraModule_); }
BOOL CNotification::UnregisterCallStatusNotification() { return Close(callStatus_); }
BOOL CNotification::UnregisterBTParingNotification() { return Close(pairing_); }
BOOL CNotification::UnregisterSleepNotification() { return Close(sleep_); }

BOOL CNotification::UnregisterCallerInfoNotification()
{
    BOOL name = Close(callerName_);
    BOOL number = Close(callerNumber_);
    return name && number;
}

BOOL CNotification::UnregisterSMSNotification()
{
    Close(sms_);
    DebugPrint(L"[LumOCR] SMS NOTI UNREGIST!!!!!!!!!!!!!!!!!!!!!!!\n");
    return TRUE;
}

BOOL CNotification::UnregistAll()
{
    DebugPrint(L"[LumOCR] UnregistAll start\n");
    int step = 0;
    auto next = [&step] { DebugPrint(L"[LumOCR] UnregistAll %d\n", ++step); };
    Close(battery_);
    next();
    Close(incomingCall_);
    next();
    Close(storageCard_);
    next();
    Close(activeApp_);
    next();
    Close(alarm_);
    next();
    Close(shellNotify_);
    next();
    if (!Close(powerKey_))
        LogError(1225, L"CNotification::UnregistAll", L"UnregisterPowerOffNotification FAILED !!!\r\n");
    next();
    Close(cameraModule_);
    next();
    Close(callStatus_);
    next();
    Close(callerName_);
    next();
    Close(callerNumber_);
    next();
    Close(pairing_);
    DebugPrint(L"[LumOCR] UnregistAll end\n");
    return TRUE;
}

bool CNotification::AllHandlesClosed() const
{
    for (const std::atomic<HREGNOTIFY>* handle :
         {&storageCard_, &incomingCall_, &callStatus_, &callerName_, &callerNumber_, &activeApp_, &battery_, &sleep_,
          &sms_, &alarm_, &shellNotify_, &cameraModule_, &powerKey_, &pairing_})
        if (handle->load())
            return false;
    return true;
}

// ---- queries ---------------------------------------------------------------

BOOL CNotification::IsIncomingCall() const
{
    return (ReadDword(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status") & PHONE_INCOMING) != 0;
}

BOOL CNotification::IsCallCalling() const
{
    return (ReadDword(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status") & PHONE_CALLING) != 0;
}

BOOL CNotification::IsTalking() const
{
    BOOL talking = (ReadDword(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status") & PHONE_TALKING) != 0;
    DebugPrint(talking ? L"[TRAVEK] TALKING...\n" : L"[TRAVEK] NOT TALKING...\n");
    return talking;
}

BOOL CNotification::IsIncomingVoiceCall() const
{
    return IsIncomingCall() && ReadDword(HKEY_LOCAL_MACHINE, kVideoModeKey, L"IS_VMODE") != 1;
}

BOOL CNotification::GetVTCallState() const
{
    return ReadDword(HKEY_LOCAL_MACHINE, kVideoCallKey, L"CallState") != 0 &&
           ReadDword(HKEY_LOCAL_MACHINE, kVideoModeKey, L"IS_VMODE") == 1;
}

BOOL CNotification::ReadBatteryLevel() const
{
    DWORD level = ReadDword(HKEY_LOCAL_MACHINE, kBatteryKey, kBatteryValue) & 0xFFFF;
    if (level == 0)
        return FALSE;
    CSettings::GetInstance()->SetBatteryLevel(level >= 1 && level <= 5 ? static_cast<int>(level) : 0);
    return TRUE;
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

BOOL CNotification::IsKeyLocked() const { return ReadDword(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock") == 1; }

BOOL CNotification::NeedUpdateFirmware() const
{
    return ReadDword(HKEY_LOCAL_MACHINE, kCameraDriverKey, L"NeedUpdateFirmware") == 1;
}

BOOL CNotification::IsCameraIdle() const { return ReadDword(HKEY_LOCAL_MACHINE, kCameraDriverKey, L"Status") == 0; }

// ---- reactions -------------------------------------------------------------

void CNotification::EndApplication(int line)
{
    LogEndProcess(line);
    if (CNotificationSink* sink = Sink())
        sink->EndApplication();
}

void CNotification::CallbackBattery(HREGNOTIFY, DWORD, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    DWORD value = NewValue(data, size);
    int level = value >= 1 && value <= 5 ? static_cast<int>(value) : 0;
    CSettings::GetInstance()->SetBatteryLevel(level);
    DebugPrint(L"[TRAVEK] [[NOTI]] Battery strength level : %d\n", level);
    if (value == 0) {
        DebugPrint(L"[TRAVEK] [[NOTI]] Battery is too low!>>>>>>>>>>>>>>>>>>>>>\n");
        if (CNotificationSink* sink = self->Sink())
            sink->ShowPopup(kNotifyLowBatteryPopup);
    }
}

void CNotification::CallbackIncomingCall(HREGNOTIFY, DWORD, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    CNotificationSink* sink = self->Sink();
    CPhoneControl* phone = CPhoneControl::GetInstance();
    if (NewValue(data, size) & PHONE_INCOMING) {
        if (ReadDword(HKEY_LOCAL_MACHINE, kVideoModeKey, L"IS_VMODE") != 1) {
            DebugPrint(L"[TRAVEK] [[NOTI]] Incoming Voice Call. Show Popup!>>>>>>>>>>>>>>>>>>>>>\n");
            phone->m_bCallPopupShown = 1;
            if (sink)
                sink->ShowPopup(kNotifyCallPopup);
        } else {
            DebugPrint(L"[TRAVEK] [[NOTI]] Incoming Video Call. OCR Will Be Close!>>>>>>>>>>>>>>>>>>>>>\n");
            phone->m_bCallPopupShown = 1;
            if (sink)
                sink->SetVideoCall();
            self->EndApplication(707);
        }
        return;
    }
    DebugPrint(L"[TRAVEK] [[NOTI]] Incoming Voice Call Ringing Stopped. Close Popup!>>>>>>>>>>>>>>>>>>>>>\n");
    phone->m_bCallPopupShown = 0;
    if (ReadDword(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status") & PHONE_TALKING) {
        if (sink)
            sink->RemovePopup(kNotifyCallPopup);
        DebugPrint(L"[TRAVEK] OCR Will DIE & DO NOT DRAW ~!\n");
        if (sink)
            sink->StopDrawing();
        self->EndApplication(727);
    } else {
        DebugPrint(L"[TRAVEK] Call Popup HIDE~!\n");
        DebugPrint(L"[LumOCR] Call HideDialogBoxEx Func. [%ls][%d]\n", kSource, 739);
        if (sink)
            sink->HideDialogBoxEx(kNotifyCallPopup);
    }
}

void CNotification::CallbackCallStatus(HREGNOTIFY, DWORD user, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self || user != 0 || !(NewValue(data, size) & PHONE_CALLING))
        return;
    DebugPrint(L"[NOTI] CallbackCallStatus outgoing call\n");
    CNotificationSink* sink = self->Sink();
    if (sink && sink->IsRecognitionRunning()) {
        DebugPrint(L"[LumOCR] CallbackCallStatus - RecognizeCancel\n");
        sink->CancelRecognition();
    }
    self->EndApplication(668);
}

void CNotification::CallbackCallerInfo(HREGNOTIFY, DWORD user, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    CNotificationSink* sink = self ? self->Sink() : nullptr;
    if (!sink || !sink->IsPopupShown() || sink->GetTopPopup() != kNotifyCallPopup)
        return;
    // Empty: no bytes, or a first character of 0.
    if (!data || size < sizeof(WCHAR) || reinterpret_cast<const WCHAR*>(data)[0] == 0)
        return;
    bool number = user == 1;
    LPCWSTR what = number ? L"Number" : L"Name";
    WCHAR before[MAX_PATH] = {};
    sink->GetCallerText(number, before, MAX_PATH);
    DebugPrint(L"[Notification] [before] %ls = %ls\r\n", what, before);
    CPhoneControl* phone = CPhoneControl::GetInstance();
    sink->SetCallerText(number, number ? phone->GetCallerNumber() : phone->GetCallerName());
    WCHAR after[MAX_PATH] = {};
    sink->GetCallerText(number, after, MAX_PATH);
    DebugPrint(L"[Notification] [after] %ls = %ls\r\n", what, after);
    sink->RequestRedraw();
}

void CNotification::CallbackSMS(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    DebugPrint(L"[TRAVEK] [[NOTI]] SMS!!! Show Popup>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    if (CNotificationSink* sink = self->Sink())
        sink->ShowPopup(kNotifySmsPopup);
}

void CNotification::CallbackAlarm(HREGNOTIFY, DWORD, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    CNotificationSink* sink = self->Sink();
    // The delivered value, not a fresh read: a quick on and off is two notices.
    if (NewValue(data, size) != 0) {
        DebugPrint(L"[TRAVEK] [[NOTI]] ALARM!!! Show Popup>>>>>>>>>>>>>>>>>>>>>\n");
        self->alarmPopupRaised_.store(1);
        if (sink)
            sink->ShowPopup(kNotifyAlarmPopup);
        return;
    }
    DebugPrint(L"[TRAVEK] [[NOTI]] ALARM!!! Stopped. Close Popup>>>>>>>>>>>>>>>>>>>>>\n");
    if (!sink)
        return;
    sink->RemovePopup(kNotifyAlarmPopup);
    // The redraw is posted like every other: this thread never waits for the GUI.
    if (sink->IsPopupShown())
        sink->ReshowPopup();
    else
        sink->RequestRedraw();
}

void CNotification::CallbackShellNotify(HREGNOTIFY, DWORD, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self || !(NewValue(data, size) & 0x400))
        return;
    self->alarmPopupRaised_.store(1);
    if (CNotificationSink* sink = self->Sink())
        sink->ShowPopup(kNotifyAlarmPopup);
}

void CNotification::CallbackBTParing(HREGNOTIFY, DWORD, BYTE* const data, const UINT size)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    DebugPrint(L"[LumOCR] CallbackBTParing()\r\n");
    if (!data || size == 0)
        return;
    // At most 512 bytes are looked at, and the copy always ends.
    WCHAR value[kPairingBytes / sizeof(WCHAR) + 1] = {};
    std::memcpy(value, data, size < kPairingBytes ? size : kPairingBytes);
    // Class ids are written in either case.
    if (EqualNoCase(value, kPairingClsid))
        if (CNotificationSink* sink = self->Sink())
            sink->ShowPopup(kNotifyPairingPopup);
}

void CNotification::CallbackCameraModule(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    CNotification* self = Active().load();
    if (!self || ReadDword(HKEY_LOCAL_MACHINE, kCameraDriverKey, L"Status") != 2)
        return;
    DebugPrint(L"[TRAVEK] [[NOTI]] Camera Module disconnected!>>>>>>>>>>>>>>>>>>>>>\n");
    self->EndApplication(1160);
}

void CNotification::CallbackPowerOff(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    DebugPrint(L"CNotification::CallbackPowerOff\n");
    self->sleepExitGuard_.store(0);
    self->EndApplication(1194);
    self->InjectEndKey();
}

void CNotification::InjectEndKey()
{
    // The key goes through the hook on the GUI thread; a thread of its own
    // keeps the notification thread from waiting for it.
    std::lock_guard<std::mutex> lock(endKeyLock_);
    if (endKey_.joinable())
        endKey_.join();
    endKey_ = std::thread([] {
        keybd_event(VK_TEND, 0, 0, 0);
        keybd_event(VK_TEND, 0, KEYEVENTF_KEYUP, 0);
    });
}

void CNotification::WaitForEndKey()
{
    std::lock_guard<std::mutex> lock(endKeyLock_);
    if (endKey_.joinable())
        endKey_.join();
}

void CNotification::CallbackSleep(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    CNotification* self = Active().load();
    if (!self)
        return;
    DebugPrint(L"[LumOCR] CNotification::CallbackSleep\n");
    self->sleepNoticeSeen_.store(1);
    DWORD cameraState = ReadDword(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"LumOCRWorking");
    DWORD sleepState = ReadDword(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"SleepSoon");
    DebugPrint(L"[LumOCR] nCameraState[%d], nSleepState[%d]<<<<<<<<<<<<<<<\n", static_cast<int>(cameraState),
               static_cast<int>(sleepState));
    DebugPrint(L"SleepSoon : %d", static_cast<int>(sleepState));
    CSettings* settings = CSettings::GetInstance();
    settings->ClearSleepSoon();
    if (sleepState == 0)
        return;
    // The close is posted, so the guard stays up until the program ends: a
    // second notice meanwhile starts no second close.
    int expected = 0;
    if (!self->sleepExitGuard_.compare_exchange_strong(expected, 1))
        return;
    settings->SetFlags(SETTINGS_FLAG_FORCE_EXIT);
    CNotificationSink* sink = self->Sink();
    if (sleepState == 1 && sink)
        sink->SetSleepFlag();
    self->EndApplication(1003);
}

void CNotification::CallbackActiveApp(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    CNotification* self = Active().load();
    CNotificationSink* sink = self ? self->Sink() : nullptr;
    if (!sink || sink->GetView() == 0)
        return;
    if (sink->IsSendingResult()) {
        DebugPrint(L"[TRAVEK] Active APP. AND OCR RESULT SEND MESSAGE\n");
        return;
    }
    WCHAR value[kActiveAppChars + 1] = {};
    if (FAILED(RegistryGetString(HKEY_CURRENT_USER, kShellStateKey, L"Active Application", value, kActiveAppChars)))
        value[0] = 0;
    value[kActiveAppChars] = 0;
    DebugPrint(L"[TRAVEK] [[NOTI]] [[%ls]] Another app. activated>>>>>>>>>>>>>>>>>>>>>>>\n", value);
    WCHAR appName[kLayoutStringChars] = {};
    if (LoadStringW(CLayoutManager::GetInstance()->GetResource(), kAppStringId, appName, kLayoutStringChars) <= 0)
        appName[0] = 0;

    if (!std::wcscmp(value, L"Camera\x1bTextiva") || !std::wcscmp(value, L"Textiva\x1b" L"Camera")) {
        sink->PostOtherAppActive();
        return;
    }
    if (!std::wcscmp(value, L"Textiva\x1bTranscriber Intro") || !std::wcscmp(value, L"Textiva\x1b") ||
        !std::wcscmp(value, L"\x1bTextiva"))
        return;
    std::size_t length = std::wcslen(appName);
    if (length && !std::wcsncmp(value, appName, length)) {
        DebugPrint(L"[LumOCR] HERE!!!!\n");
        // This callback's own watch; closing it from inside is allowed.
        HREGNOTIFY own = self->activeApp_.exchange(nullptr);
        if (own)
            RegistryCloseNotification(own);
        self->EndApplication(833);
    }
}

void CNotification::CallbackStorageCard(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size)
{
    NoReaction(notify, user, data, size);
}

BOOL CNotification::RegisterStorageMountNotification()
{
    SHCHANGENOTIFYENTRY entry{kDriveEvents, nullptr, TRUE};
    if (!SHChangeNotifyRegister(GetHwnd(), &entry)) {
        LogError(1182, L"CNotification::RegisterStorageMountNotification", L"Failed to SHChangeNotifyRegister\r\n");
        return FALSE;
    }
    return TRUE;
}
