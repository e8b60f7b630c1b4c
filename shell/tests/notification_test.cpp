#include <condition_variable>
#include <cstring>
#include <mutex>

#include <cwctype>

#include "layout_manager.h"
#include "notification.h"
#include "phone_control.h"
#include "services_fixture.h"

namespace {

constexpr const WCHAR* kPhone = L"System\\State\\Phone";
constexpr const WCHAR* kKeypad = L"System\\State\\Velmora\\Keypad";

// The frame and application as the reactions see them: every call is logged.
class SinkDouble : public CNotificationSink {
public:
    void ShowPopup(int type) override { Log("ShowPopup(" + std::to_string(type) + ")"); }
    void HideDialogBoxEx(int type) override { Log("HideDialogBoxEx(" + std::to_string(type) + ")"); }
    void RemovePopup(int type) override { Log("RemovePopup(" + std::to_string(type) + ")"); }
    void ReshowPopup() override { Log("ReshowPopup"); }
    bool IsPopupShown() const override { return popupShown; }
    int GetTopPopup() const override { return topPopup; }
    void SetCallerText(bool number, LPCWSTR text) override
    {
        std::wstring& field = number ? callerNumber : callerName;
        field = text;
        Log(number ? "SetCallerNumber" : "SetCallerName");
    }
    void GetCallerText(bool number, LPWSTR text, int length) const override
    {
        std::wcsncpy(text, (number ? callerNumber : callerName).c_str(), static_cast<size_t>(length - 1));
    }
    void RequestRedraw() override { Log("RequestRedraw"); }
    int GetView() const override { return view; }
    bool IsSendingResult() const override { return sending; }
    bool IsRecognitionRunning() const override { return recognising; }
    void CancelRecognition() override { Log("CancelRecognition"); }
    void SetVideoCall() override { Log("SetVideoCall"); }
    void StopDrawing() override { Log("StopDrawing"); }
    void SetSleepFlag() override { Log("SetSleepFlag"); }
    void PostOtherAppActive() override { Log("PostOtherAppActive"); }
    void EndApplication() override { Log("EndApplication"); }

    std::vector<std::string> Calls()
    {
        std::lock_guard<std::mutex> lock(mu);
        return calls;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(mu);
        calls.clear();
    }

    bool popupShown = false;
    int topPopup = 0;
    int view = 1;
    bool sending = false;
    bool recognising = false;
    std::wstring callerNumber, callerName;

private:
    void Log(const std::string& call)
    {
        std::lock_guard<std::mutex> lock(mu);
        calls.push_back(call);
    }
    std::mutex mu;
    std::vector<std::string> calls;
};

using Calls = std::vector<std::string>;

class Notification : public ServicesFixture {
protected:
    void SetUp() override
    {
        ServicesFixture::SetUp();
        notification = CNotification::GetInstance();
        notification->SetSink(&sink);
    }
    void TearDown() override
    {
        CNotification::ReleaseInstance();
        CPhoneControl::ReleaseInstance();
        ServicesFixture::TearDown();
    }

    // Every callback queued before this one has run when it returns: the
    // notification thread delivers in order.
    void Drain()
    {
        struct Mark {
            std::mutex mu;
            std::condition_variable cv;
            bool seen = false;
        };
        static Mark* mark = nullptr;
        Mark local;
        mark = &local;
        HREGNOTIFY handle = nullptr;
        ASSERT_TRUE(SUCCEEDED(RegistryNotifyCallback(
            HKEY_LOCAL_MACHINE, L"Test", L"Drain",
            [](HREGNOTIFY, DWORD, BYTE* const, const UINT) {
                std::lock_guard<std::mutex> lock(mark->mu);
                mark->seen = true;
                mark->cv.notify_all();
            },
            0, nullptr, &handle)));
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Test", L"Drain", ++drains_);
        {
            std::unique_lock<std::mutex> lock(local.mu);
            ASSERT_TRUE(local.cv.wait_for(lock, std::chrono::seconds(10), [&] { return local.seen; }));
        }
        RegistryCloseNotification(handle);
    }

    void Set(HKEY root, LPCWSTR key, LPCWSTR name, DWORD value) { RegistrySetDWORD(root, key, name, value); }
    void SetString(HKEY root, LPCWSTR key, LPCWSTR name, const std::wstring& value)
    {
        CRegistryKey k;
        ASSERT_TRUE(k.Create(root, key));
        ASSERT_TRUE(k.SetString(name, value.c_str()));
    }
    Calls Take()
    {
        Drain();
        Calls calls = sink.Calls();
        sink.Clear();
        return calls;
    }

    SinkDouble sink;
    CNotification* notification = nullptr;
    DWORD drains_ = 0;
};

TEST_F(Notification, ValueWritesReachTheirReactions)
{
    ASSERT_TRUE(notification->RegisterAll());
    ASSERT_TRUE(notification->RegisterSMSNotification());
    ASSERT_TRUE(SUCCEEDED(notification->RegisterSleepNotification()));
    CSettings* settings = CSettings::GetInstance();
    CPhoneControl* phone = CPhoneControl::GetInstance();

    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 7);
    EXPECT_EQ(Take(), Calls{});
    EXPECT_EQ(settings->GetBatteryLevel(), 0);
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 3);
    EXPECT_EQ(Take(), Calls{});
    EXPECT_EQ(settings->GetBatteryLevel(), 3);
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 0);
    EXPECT_EQ(Take(), Calls{"ShowPopup(4)"});
    EXPECT_EQ(settings->GetBatteryLevel(), 0);

    // A voice call rings, then stops unanswered.
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x10000);
    EXPECT_EQ(Take(), Calls{"ShowPopup(1)"});
    EXPECT_EQ(phone->m_bCallPopupShown.load(), 1);
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0);
    EXPECT_EQ(Take(), Calls{"HideDialogBoxEx(1)"});
    EXPECT_EQ(phone->m_bCallPopupShown.load(), 0);
    // It rings again and is answered.
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x10000);
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x20000000);
    EXPECT_EQ(Take(), (Calls{"ShowPopup(1)", "RemovePopup(1)", "StopDrawing", "EndApplication"}));

    // An outgoing call, with and without a recognition running.
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x20000);
    EXPECT_EQ(Take(), Calls{"EndApplication"});
    sink.recognising = true;
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0);
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x20000);
    EXPECT_EQ(Take(), (Calls{"CancelRecognition", "EndApplication"}));

    Set(HKEY_CURRENT_USER, L"System\\State\\Messages\\SMS\\Unread", L"Count", 2);
    EXPECT_EQ(Take(), Calls{"ShowPopup(2)"});

    Set(HKEY_LOCAL_MACHINE, L"System\\State\\Shell", L"Notify", 0x200);
    EXPECT_EQ(Take(), Calls{});
    EXPECT_FALSE(notification->IsAlarmPopupRaised());
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\Shell", L"Notify", 0x400);
    EXPECT_EQ(Take(), Calls{"ShowPopup(3)"});
    EXPECT_TRUE(notification->IsAlarmPopupRaised());

    Set(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status", 1);
    EXPECT_EQ(Take(), Calls{});
    Set(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status", 2);
    EXPECT_EQ(Take(), Calls{"EndApplication"});
}

TEST_F(Notification, VideoCallEndsWithoutPopup)
{
    notification->RegisterAll();
    Set(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\KeyValue", L"IS_VMODE", 1);
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x10000);
    EXPECT_EQ(Take(), (Calls{"SetVideoCall", "EndApplication"}));
    EXPECT_EQ(CPhoneControl::GetInstance()->m_bCallPopupShown.load(), 1);
}

// A status value of the wrong type reads as no call.
TEST_F(Notification, WrongTypeReadsAsMissing)
{
    notification->RegisterAll();
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Status", L"65536");
    EXPECT_EQ(Take(), Calls{"HideDialogBoxEx(1)"});
    EXPECT_FALSE(notification->IsIncomingCall());
}

TEST_F(Notification, CallerInfoOnlyIntoTheCallPopup)
{
    notification->RegisterAll();
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Incoming Caller Number", L"+44 20 7946 0000");
    EXPECT_EQ(Take(), Calls{});
    sink.popupShown = true;
    sink.topPopup = 2;
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Incoming Caller Name", L"Ann");
    EXPECT_EQ(Take(), Calls{});

    sink.topPopup = 1;
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Incoming Caller Number", L"+44 20 7946 0001");
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Incoming Caller Name", std::wstring(300, L'n'));
    EXPECT_EQ(Take(), (Calls{"SetCallerNumber", "RequestRedraw", "SetCallerName", "RequestRedraw"}));
    EXPECT_EQ(sink.callerNumber, L"+44 20 7946 0001");
    EXPECT_EQ(sink.callerName, std::wstring(MAX_PATH - 1, L'n'));  // cut to the buffer, terminated
    SetString(HKEY_LOCAL_MACHINE, kPhone, L"Incoming Caller Name", L"");
    EXPECT_EQ(Take(), Calls{});
}

TEST_F(Notification, AlarmOnAndOff)
{
    notification->RegisterAll();
    Set(HKEY_CURRENT_USER, L"\\Software\\Velmora\\Camera", L"AlarmState", 1);
    EXPECT_EQ(Take(), Calls{"ShowPopup(3)"});
    Set(HKEY_CURRENT_USER, L"\\Software\\Velmora\\Camera", L"AlarmState", 0);
    EXPECT_EQ(Take(), (Calls{"RemovePopup(3)", "RequestRedraw"}));
    sink.popupShown = true;
    Set(HKEY_CURRENT_USER, L"\\Software\\Velmora\\Camera", L"AlarmState", 5);
    Set(HKEY_CURRENT_USER, L"\\Software\\Velmora\\Camera", L"AlarmState", 0);
    EXPECT_EQ(Take(), (Calls{"ShowPopup(3)", "RemovePopup(3)", "ReshowPopup"}));
}

TEST_F(Notification, PairingClassIdIgnoresCaseAndLength)
{
    notification->RegisterAll();
    const std::wstring clsid = L"{0D3132C4-1298-469C-B2B8-F28CE2D649D0}";
    std::wstring lower = clsid;
    for (WCHAR& c : lower)
        c = static_cast<WCHAR>(std::towlower(static_cast<wint_t>(c)));
    struct Case {
        std::wstring value;
        Calls calls;
    } cases[] = {
        {clsid, {"ShowPopup(8)"}},
        {L"{0D3132C4-1298-469C-B2B8-F28CE2D649D1}", {}},
        {lower, {"ShowPopup(8)"}},
        {clsid + std::wstring(600 / sizeof(WCHAR) - clsid.size(), L'x'), {}},  // 600 bytes: never read past 512
        {std::wstring(600 / sizeof(WCHAR), L'y'), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.value.begin(), c.value.begin() + 8));
        SetString(HKEY_LOCAL_MACHINE, L"System\\State\\Shell\\Notifications\\Active", L"CLSID", c.value);
        EXPECT_EQ(Take(), c.calls);
    }
}

TEST_F(Notification, PowerKeyEndsAndInjectsTheEndKey)
{
    notification->RegisterAll();
    // The key's release comes through, so its press went before it.
    ASSERT_TRUE(RegisterHotKey(nullptr, 2, MOD_KEYUP, VK_TEND));
    Set(HKEY_LOCAL_MACHINE, L"\\System\\State\\Velmora\\Keypad", L"KeyValue", 128);
    EXPECT_EQ(Take(), Calls{});
    Set(HKEY_LOCAL_MACHINE, L"\\System\\State\\Velmora\\Keypad", L"KeyValue", 129);
    EXPECT_EQ(Take(), Calls{"EndApplication"});
    notification->WaitForEndKey();
    std::vector<WPARAM> keys;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_HOTKEY, WM_HOTKEY, PM_REMOVE))
        keys.push_back(msg.wParam);
    EXPECT_EQ(keys, (std::vector<WPARAM>{2}));
    UnregisterHotKey(nullptr, 2);
}

TEST_F(Notification, SleepEndsOnceAndIsAcknowledged)
{
    struct Case {
        DWORD sleepSoon;
        Calls calls;
    } cases[] = {{1, {"SetSleepFlag", "EndApplication"}}, {2, {"EndApplication"}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sleepSoon);
        CNotification::ReleaseInstance();
        notification = CNotification::GetInstance();
        notification->SetSink(&sink);
        CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_FORCE_EXIT);
        ASSERT_TRUE(SUCCEEDED(notification->RegisterSleepNotification()));
        Set(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon", c.sleepSoon);
        EXPECT_EQ(Take(), c.calls);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon"), 0u);
        EXPECT_TRUE(notification->IsSleepNoticeSeen());
        EXPECT_TRUE(CSettings::GetInstance()->GetFlags() & SETTINGS_FLAG_FORCE_EXIT);
        // A second notice while the close runs.
        Set(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon", 1);
        EXPECT_EQ(Take(), Calls{});
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon"), 0u);
    }
}

TEST_F(Notification, ActiveApplications)
{
    auto mui = root.path() / "Windows" / "LumOCR.exe.0409.mui";
    std::filesystem::create_directories(mui.parent_path());
    std::ofstream(mui) << "254\tPictures & Videos\n";
    HMODULE module = LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
    ASSERT_NE(module, nullptr);
    CLayoutManager::GetInstance()->SetResource(module);
    struct Case {
        const wchar_t* value;
        int view;
        bool sending;
        Calls calls;
    } cases[] = {
        {L"Camera\x1bTextiva", 1, false, {"PostOtherAppActive"}},
        {L"Textiva\x1b" L"Camera", 1, false, {"PostOtherAppActive"}},
        {L"Textiva\x1bTranscriber Intro", 1, false, {}},
        {L"Textiva\x1b", 1, false, {}},
        {L"\x1bTextiva", 1, false, {}},
        {L"Calendar\x1b" L"calendar.exe", 1, false, {}},
        {L"Pictures & Videos\x1bpimg.exe", 0, false, {}},
        {L"Pictures & Videos\x1bpimg.exe", 1, true, {}},
        {L"Pictures & Videos\x1bpimg.exe", 2, false, {"EndApplication"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.view << c.sending);
        CNotification::ReleaseInstance();
        notification = CNotification::GetInstance();
        notification->SetSink(&sink);
        notification->RegisterAll();
        sink.view = c.view;
        sink.sending = c.sending;
        SetString(HKEY_CURRENT_USER, L"System\\State\\Shell", L"Active Application", c.value);
        EXPECT_EQ(Take(), c.calls);
        SetString(HKEY_CURRENT_USER, L"System\\State\\Shell", L"Active Application", L"");
        Take();
    }
    // The program's end closed its own watch: another switch does nothing.
    SetString(HKEY_CURRENT_USER, L"System\\State\\Shell", L"Active Application", L"Pictures & Videos\x1bpimg.exe");
    EXPECT_EQ(Take(), Calls{});
    CLayoutManager::ReleaseInstance();
    FreeLibrary(module);
}

TEST_F(Notification, NothingAfterUnregistAll)
{
    notification->RegisterAll();
    notification->RegisterSMSNotification();
    notification->RegisterSleepNotification();
    EXPECT_FALSE(notification->AllHandlesClosed());
    EXPECT_TRUE(notification->UnregistAll());
    EXPECT_TRUE(notification->UnregisterSMSNotification());
    EXPECT_TRUE(notification->UnregisterSleepNotification());
    EXPECT_TRUE(notification->AllHandlesClosed());
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 0);
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 1);
    Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", 0x10000);
    Set(HKEY_CURRENT_USER, L"System\\State\\Messages\\SMS\\Unread", L"Count", 4);
    Set(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon", 1);
    Set(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status", 2);
    EXPECT_EQ(Take(), Calls{});
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKeypad, L"SleepSoon"), 1u);
}

TEST_F(Notification, Queries)
{
    struct Case {
        DWORD status, videoMode, callState;
        BOOL incoming, calling, talking, voice, video;
    } cases[] = {
        {0, 0, 0, FALSE, FALSE, FALSE, FALSE, FALSE},
        {0x10000, 0, 0, TRUE, FALSE, FALSE, TRUE, FALSE},
        {0x10000, 1, 1, TRUE, FALSE, FALSE, FALSE, TRUE},
        {0x20000, 0, 1, FALSE, TRUE, FALSE, FALSE, FALSE},
        {0x20000000, 1, 0, FALSE, FALSE, TRUE, FALSE, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Set(HKEY_LOCAL_MACHINE, kPhone, L"Status", c.status);
        Set(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\KeyValue", L"IS_VMODE", c.videoMode);
        Set(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\VT\\Telephone", L"CallState", c.callState);
        EXPECT_EQ(notification->IsIncomingCall(), c.incoming);
        EXPECT_EQ(notification->IsCallCalling(), c.calling);
        EXPECT_EQ(notification->IsTalking(), c.talking);
        EXPECT_EQ(notification->IsIncomingVoiceCall(), c.voice);
        EXPECT_EQ(notification->GetVTCallState(), c.video);
    }
    EXPECT_FALSE(notification->ReadBatteryLevel());
    Set(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", 4);
    EXPECT_TRUE(notification->ReadBatteryLevel());
    EXPECT_EQ(CSettings::GetInstance()->GetBatteryLevel(), 4);
    EXPECT_FALSE(notification->IsKeyLocked());
    Set(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock", 1);
    EXPECT_TRUE(notification->IsKeyLocked());
    EXPECT_TRUE(notification->IsCameraIdle());
    EXPECT_FALSE(notification->NeedUpdateFirmware());
    Set(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status", 2);
    Set(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"NeedUpdateFirmware", 1);
    EXPECT_FALSE(notification->IsCameraIdle());
    EXPECT_TRUE(notification->NeedUpdateFirmware());
}


TEST_F(Notification, StorageCardsReachTheWindow)
{
    HWND window = CreatePlainWindow();
    ASSERT_NE(window, nullptr);
    notification->SetHwnd(window);
    notification->RegisterAll();
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kStorageCardsKey, L"Storage Card", 1);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kStorageCardsKey, L"Storage Card", 0);
    Take();
    std::vector<LONG> events;
    MSG msg;
    while (PeekMessageW(&msg, window, WM_FILECHANGEINFO, WM_FILECHANGEINFO, PM_REMOVE)) {
        auto* record = reinterpret_cast<LPFILECHANGENOTIFY>(msg.lParam);
        events.push_back(record->fci.wEventId);
        SHChangeNotifyFree(record);
    }
    EXPECT_EQ(events, (std::vector<LONG>{SHCNE_DRIVEADD, SHCNE_DRIVEREMOVED}));
    EXPECT_EQ(plat::OutstandingFileChangeRecords(), 0);

    // Without a window there is nothing to tell.
    notification->SetHwnd(nullptr);
    plat::DebugCapture capture;
    EXPECT_FALSE(notification->RegisterStorageMountNotification());
    EXPECT_TRUE(capture.Contains(L"Failed to SHChangeNotifyRegister"));
    DestroyWindow(window);
}

}  // namespace
