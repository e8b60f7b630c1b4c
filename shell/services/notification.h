// The phone's and the system's state values the camera must yield to:
// calls, messages, alarms, pairing, battery, storage cards, the power key,
// sleep, the camera module and other applications. Each watch reacts on the
// notification thread with a popup or an orderly end of the program; the
// one-shot queries serve the start-up, the key filter and the screens.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// Popups the notifications raise in the main frame.
inline constexpr int kNotifyCallPopup = 1;
inline constexpr int kNotifySmsPopup = 2;
inline constexpr int kNotifyAlarmPopup = 3;
inline constexpr int kNotifyLowBatteryPopup = 4;
inline constexpr int kNotifyPairingPopup = 8;

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
inline constexpr DWORD kPowerKeyValue = 129;
inline constexpr LONG kDriveEvents = 0x180;  // drive added and removed

// What the reactions ask of the main frame and the application object. The
// callbacks run on the notification thread and must never wait for the GUI
// thread: every operation here posts its work or sets a word.
class CNotificationSink {
public:
    virtual void ShowPopup(int type) = 0;
    virtual void HideDialogBoxEx(int type) = 0;
    virtual void RemovePopup(int type) = 0;
    // Shows the popup that is now in front again.
    virtual void ReshowPopup() = 0;
    virtual bool IsPopupShown() const = 0;
    virtual int GetTopPopup() const = 0;
    // Both caller-number (or caller-name) texts of the call popup.
    virtual void SetCallerText(bool number, LPCWSTR text) = 0;
    virtual void GetCallerText(bool number, LPWSTR text, int length) const = 0;
    virtual void RequestRedraw() = 0;

    virtual int GetView() const = 0;
    virtual bool IsSendingResult() const = 0;
    virtual bool IsRecognitionRunning() const = 0;
    virtual void CancelRecognition() = 0;
    virtual void SetVideoCall() = 0;
    // The camera's exit flag and the frame's no-drawing flag: the program
    // ends without drawing again.
    virtual void StopDrawing() = 0;
    virtual void SetSleepFlag() = 0;
    virtual void PostOtherAppActive() = 0;
    // The posted close: black window on the GUI thread, then WM_CLOSE.
    virtual void EndApplication() = 0;

protected:
    ~CNotificationSink() = default;
};

class CNotification : public CDrawEvent, public CSingleton<CNotification> {
public:
    using CSingleton<CNotification>::GetInstance;

    CNotification();
    // Ends every watch and waits for the end-key thread.
    ~CNotification() override;

    // None: the reactions only log.
    void SetSink(CNotificationSink* sink) { sink_.store(sink); }

    BOOL RegisterAll();
    BOOL RegisterSMSNotification();
    HRESULT RegisterSleepNotification();
    BOOL RegisterPowerOffNotification();
    BOOL RegisterStorageMountNotification();
    HRESULT RegisterBatteryNotification();
    HRESULT RegisterIncomingCallNotification();
    HRESULT RegisterStorageCardNotification();
    HRESULT RegisterActiveAppNotification();
    HRESULT RegisterAlarmNotification();
    HRESULT RegisterShellNotifyNotification();
    HRESULT RegisterCameraModuleNotification();
    HRESULT RegisterCallStatusNotification();
    HRESULT RegisterCallerInfoNotification();
    HRESULT RegisterBTParingNotification();

    BOOL UnregistAll();
    BOOL UnregisterSMSNotification();
    BOOL UnregisterSleepNotification();
    BOOL UnregisterBatteryNotification();
    BOOL UnregisterIncomingCallNotification();
    BOOL UnregisterStorageCardNotification();
    BOOL UnregisterActiveAppNotification();
    BOOL UnregisterAlarmNotification();
    BOOL UnregisterShellNotifyNotification();
    BOOL UnregisterPowerOffNotification();
    BOOL UnregisterCameraModuleNotification();
    BOOL UnregisterCallStatusNotification();
    BOOL UnregisterCallerInfoNotification();
    BOOL UnregisterBTParingNotification();

    // One-shot queries; a missing value reads 0.
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

    // Every handle of a watch is null.
    bool AllHandlesClosed() const;
    BOOL IsSleepNoticeSeen() const { return sleepNoticeSeen_.load(); }
    BOOL IsAlarmPopupRaised() const { return alarmPopupRaised_.load(); }
    BOOL IsSleepExitGuarded() const { return sleepExitGuard_.load(); }
    // The end-key thread of the power key, joined.
    void WaitForEndKey();

    static void CallbackBattery(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackIncomingCall(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackStorageCard(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackActiveApp(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackAlarm(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackShellNotify(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackCameraModule(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackPowerOff(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackCallStatus(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackCallerInfo(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackBTParing(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackSMS(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);
    static void CallbackSleep(HREGNOTIFY notify, DWORD user, BYTE* const data, const UINT size);

private:
    // The object the callbacks reach; they never take the singleton's lock,
    // which the destructor holds while it waits for them.
    static std::atomic<CNotification*>& Active();
    CNotificationSink* Sink() const { return sink_.load(); }
    void EndApplication(int line);
    void InjectEndKey();

    std::atomic<BYTE> sleepNoticeSeen_{0};
    std::atomic<BYTE> alarmPopupRaised_{0};
    std::atomic<HREGNOTIFY> storageCard_{nullptr};
    std::atomic<HREGNOTIFY> incomingCall_{nullptr};
    std::atomic<HREGNOTIFY> callStatus_{nullptr};
    std::atomic<HREGNOTIFY> callerName_{nullptr};
    std::atomic<HREGNOTIFY> callerNumber_{nullptr};
    std::atomic<HREGNOTIFY> activeApp_{nullptr};
    std::atomic<HREGNOTIFY> battery_{nullptr};
    std::atomic<HREGNOTIFY> sleep_{nullptr};
    std::atomic<HREGNOTIFY> sms_{nullptr};
    std::atomic<HREGNOTIFY> alarm_{nullptr};
    std::atomic<HREGNOTIFY> shellNotify_{nullptr};
    std::atomic<HREGNOTIFY> cameraModule_{nullptr};
    std::atomic<HREGNOTIFY> powerKey_{nullptr};
    std::atomic<HREGNOTIFY> pairing_{nullptr};

    std::atomic<CNotificationSink*> sink_{nullptr};
    // Set by the first sleep notice that ends the program; the power key clears it.
    std::atomic<int> sleepExitGuard_{0};
    std::mutex endKeyLock_;
    std::thread endKey_;
};
