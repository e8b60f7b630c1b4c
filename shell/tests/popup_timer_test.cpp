// The frame's popup list and window timers on the virtual clock.
#include <gtest/gtest.h>

#include <thread>

#include "gui_screens.h"
#include "main_frame_fixture.h"

namespace {

using MainFramePopups = MainFrameFixture;
using MainFrameTimers = MainFrameFixture;

std::vector<int> List(const CMainFrame* frame)
{
    std::vector<int> list;
    for (int i = 0; i < kPopupListSize; ++i)
        list.push_back(frame->GetPopupEntry(i));
    return list;
}

TEST_F(MainFramePopups, StorageOverSmsExpiresBackToSmsWithItsOwnTimer)
{
    frame->ShowPopup(POPUP_SMS);
    Advance(1000);
    frame->ShowPopup(POPUP_LOW_STORAGE);
    EXPECT_EQ(frame->GetTopPopup(), POPUP_LOW_STORAGE);
    EXPECT_STREQ(frame->m_szPopupText1, L"There is not enough free storage for a picture.");
    Advance(2000);  // the storage popup expires
    EXPECT_EQ(frame->GetTopPopup(), POPUP_SMS);
    EXPECT_EQ(frame->m_bPopupShown.load(), 1);
    EXPECT_STREQ(frame->m_szPopupTitle, L"Message");
    EXPECT_STREQ(frame->m_szPopupText1, L"A new message has arrived.");
    EXPECT_TRUE(IsWindow(hwnd)) << "the low-storage expiry only hides its popup";
    Advance(2000);  // 5000 ms after the SMS came, not after it came back
    EXPECT_EQ(List(frame), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(frame->m_bPopupShown.load(), 0);
}

TEST_F(MainFramePopups, ListSequences)
{
    struct Case {
        const char* name;
        std::vector<int> shown;
        int hidden;
        std::vector<int> list;
        int popupShown;
    };
    const Case cases[] = {
        {"a sixth type drops the fifth", {2, 3, 4, 5, 6, 8}, 0, {8, 6, 5, 4, 3}, 1},
        {"the same type again moves to the front", {2, 3, 2}, 0, {2, 3, 0, 0, 0}, 1},
        {"a call over popup 7 takes its place", {2, 7, 1}, 0, {1, 2, 0, 0, 0}, 1},
        {"hiding an absent type changes nothing", {3}, 6, {3, 0, 0, 0, 0}, 1},
        {"hiding one behind keeps the front", {3, 2}, 3, {2, 0, 0, 0, 0}, 1},
        {"a type outside 1 to 8 changes nothing", {3, 9, 0}, 0, {3, 0, 0, 0, 0}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int type : c.shown)
            frame->ShowPopup(type);
        if (c.hidden)
            frame->HideDialogBoxEx(c.hidden);
        EXPECT_EQ(List(frame), c.list);
        EXPECT_EQ(frame->GetTopPopup(), c.list[0]);
        EXPECT_EQ(frame->m_bPopupShown.load(), c.popupShown);
        for (int type = 1; type <= 8; ++type)
            frame->HideDialogBoxEx(type);
        EXPECT_EQ(frame->m_bPopupShown.load(), 0);
    }
}

// The recognition a call stopped fails while the call rings: the call stays
// in front with its keys, the failure shows once the call is answered away.
TEST_F(MainFramePopups, AFailureDuringACallWaitsBehindTheCall)
{
    frame->ShowPopup(POPUP_CALL);
    frame->ShowPopup(POPUP_RECOG_FAIL);
    EXPECT_EQ(frame->m_nPopupList[0], POPUP_CALL);
    EXPECT_EQ(frame->m_nPopupList[1], POPUP_RECOG_FAIL);
    EXPECT_EQ(frame->m_nPopupType.load(), POPUP_CALL);
    frame->HideDialogBoxEx(POPUP_CALL);
    EXPECT_EQ(frame->m_nPopupList[0], POPUP_RECOG_FAIL);
    EXPECT_EQ(frame->m_nPopupType.load(), POPUP_RECOG_FAIL) << "the keys now answer the failure";
    EXPECT_EQ(frame->m_bPopupShown.load(), 1);
}

TEST_F(MainFramePopups, HidingAnAbsentTypeLeavesTheShownFlagAlone)
{
    frame->m_bPopupShown = 1;  // as a soft key left it
    frame->HideDialogBoxEx(POPUP_SMS);
    EXPECT_EQ(frame->m_bPopupShown.load(), 1);
}

TEST_F(MainFramePopups, TextsComeFromTheLanguageFileAndThePhoneState)
{
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status", 0x10000);
    std::wstring longName(400, L'x');  // longer than the popup's buffer
    const WCHAR number[] = L"+49 30 1234567";
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kPhoneStateKey));
    ASSERT_TRUE(key.SetString(L"Incoming Caller Name", longName.c_str()));
    ASSERT_TRUE(key.SetString(L"Incoming Caller Number", number));
    key.Close();

    frame->ShowPopup(POPUP_CALL);
    EXPECT_STREQ(frame->m_szPopupTitle, L"Incoming call");
    EXPECT_EQ(std::wcslen(frame->m_szPopupText1), static_cast<size_t>(kPopupTextLength - 1));
    EXPECT_STREQ(frame->m_szPopupText2, number);
    EXPECT_EQ(frame->m_nPopupButtonStyle, 2);
    EXPECT_STREQ(frame->m_szPopupButton[1], L"Answer");
    EXPECT_STREQ(frame->m_szPopupButton[2], L"Ignore");

    frame->ShowPopup(POPUP_BT_PAIRING);
    EXPECT_STREQ(frame->m_szPopupTitle, L"Bluetooth");
    EXPECT_EQ(frame->m_nPopupButtonStyle, 1);
    EXPECT_STREQ(frame->m_szPopupButton[0], L"OK");

    plat::SetVirtualWallClock(1767268800000 + 14 * 3600000 + 5 * 60000);  // 14:05 UTC
    frame->ShowPopup(POPUP_ALARM);
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR expected[32];
    std::swprintf(expected, 32, L"%d:%02d %ls", now.wHour % 12 == 0 ? 12 : now.wHour % 12, now.wMinute,
                  now.wHour < 12 ? L"AM" : L"PM");
    EXPECT_STREQ(frame->m_szPopupText1, expected);
}

TEST_F(MainFramePopups, RecognitionFailureCountsTheSeriesFailures)
{
    struct Case {
        const char* name;
        int taken;          // the result count
        unsigned failures;  // bit i: picture i not read
        const wchar_t* line1;
    };
    const Case cases[] = {
        {"single picture", 0, 0, L"The text could not be read."},
        {"one-picture request", 1, 0x1, L"The text could not be read."},
        {"series, two of four not read", 4, 0xA, L"2/4"},
        {"series of twenty, the last not read", 20, 1u << 19, L"1/20"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame->m_nResultCount = c.taken;
        for (int i = 0; i < kResultSlots; ++i)
            frame->m_slots[i].resultState = i >= c.taken ? 2 : (c.failures >> i & 1) ? 0 : 1;
        frame->ShowPopup(POPUP_RECOG_FAIL);
        EXPECT_STREQ(frame->m_szPopupTitle, L"Notice");
        EXPECT_STREQ(frame->m_szPopupText1, c.line1);
        EXPECT_STREQ(frame->m_szPopupText2, L"Please take the picture again.");
        frame->HideDialogBoxEx(POPUP_RECOG_FAIL);
    }
}

TEST_F(MainFramePopups, TheEndOfPopup7AfterASeriesShowsItsGoodCards)
{
    struct Case {
        const char* name;
        DWORD shotMode;  // 0 series, 1 single
        int view;
        bool confirm;    // the OK key, else the 3000 ms expiry
        bool goPreview;
    };
    const Case cases[] = {
        {"series, popup expires", 0, VIEW_SINGLE_PICTURE, false, true},
        {"series, popup confirmed", 0, VIEW_SINGLE_PICTURE, true, true},
        {"single picture", 1, VIEW_SINGLE_PICTURE, false, false},
        {"series already back in the preview", 0, VIEW_PREVIEW, true, false},
    };
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_REVIEW_SINGLE, GUI_STATUS_CAMERA);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame->m_options.singleMultiMode = c.shotMode;
        frame->m_nView = c.view;
        frame->ShowPopup(POPUP_RECOG_FAIL);
        doubles::Clear();
        if (c.confirm)
            frame->ProcessPopupOkBtn();
        else
            Advance(3000);
        Pump();
        EXPECT_EQ(frame->GetTopPopup(), 0);
        const std::vector<std::string> expected =
            c.goPreview ? std::vector<std::string>{"ReviewSingle::OnCommand(0x64000e, 0)"} : std::vector<std::string>{};
        std::vector<std::string> commands;
        for (const std::string& call : Calls())
            if (call.find("OnCommand") != std::string::npos)
                commands.push_back(call);
        EXPECT_EQ(commands, expected);
    }
}

TEST_F(MainFramePopups, ShowPopupFromAnotherThreadIsDoneOnTheGuiThread)
{
    std::thread([this] { frame->ShowPopup(POPUP_SMS); }).join();
    EXPECT_EQ(frame->GetTopPopup(), 0) << "nothing changed before the GUI thread ran";
    std::thread([this] { frame->ShowPopup(POPUP_LOW_LIGHT); }).join();
    Pump();
    EXPECT_EQ(List(frame), (std::vector<int>{POPUP_LOW_LIGHT, POPUP_SMS, 0, 0, 0})) << "in the order asked";
    std::thread([this] { frame->HideDialogBoxEx(POPUP_LOW_LIGHT); }).join();
    Pump();
    EXPECT_EQ(frame->GetTopPopup(), POPUP_SMS);
}

TEST_F(MainFramePopups, BatteryPopupEndsTheProgramAfter3000MsOrAtOnceOnConfirm)
{
    frame->ShowPopup(POPUP_LOW_BATTERY);
    Advance(2900);
    EXPECT_TRUE(app.calls.empty());
    Advance(200);
    EXPECT_EQ(app.calls, std::vector<std::string>{"FillBlackClose"});

    app.calls.clear();
    frame->ShowPopup(POPUP_LOW_BATTERY);
    frame->ProcessPopupOkBtn();
    EXPECT_EQ(app.calls, std::vector<std::string>{"FillBlackClose"});
    Advance(4000);
    EXPECT_EQ(app.calls.size(), 1u) << "the confirm stopped the timer";
}

TEST_F(MainFrameTimers, EachTimerDoesItsWork)
{
    struct Case {
        UINT_PTR id;
        void (*prepare)(CMainFrame*);
        std::vector<std::string> calls;
        std::vector<std::string> appCalls;
    };
    const Case cases[] = {
        {TM_MESSAGE_RESHOW, [](CMainFrame*) {}, {"MessagePopup::ShowPending()"}, {}},
        {TM_GOBACK_PREVIEW, [](CMainFrame*) {}, {"SinglePic::OnCommand(0x64000b, 0)"}, {}},
        {TM_MODE_NOTICE, [](CMainFrame*) { CPreviewCameraGUI::GetInstance()->m_bModeNotice = 1; },
         {"Preview::OnPaint()"}, {}},
        {TM_CLEAR_GUI_STATUS2, [](CMainFrame*) { CSettings::GetInstance()->AddGUIStatus(0x400); },
         {"Preview::OnPaint()"}, {}},
        {TM_OCR_CLOSE, [](CMainFrame*) {}, {}, {"FillBlackClose"}},
        {TM_MESSAGE_TIMEOUT, [](CMainFrame*) {}, {"MessagePopup::Hide()"}, {}},
        {TM_SPACECHECK, [](CMainFrame*) { doubles::State().remainingCapacity = 10; },
         {"CCamcorderControl::GetRemainingCapacity()"}, {}},
        {TM_SPACECHECK,
         [](CMainFrame*) {
             doubles::State().remainingCapacity = 0;
             doubles::State().camcorderState = 0x4;
         },
         {"CCamcorderControl::GetRemainingCapacity()", "Preview::OnCommand(0x40009, 0)"}, {}},
        {TM_SPACECHECK,
         [](CMainFrame*) {
             doubles::State().remainingCapacity = 0;
             doubles::State().camcorderState = 0;
         },
         {"CCamcorderControl::GetRemainingCapacity()"}, {}},
        {4242, [](CMainFrame*) {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        c.prepare(frame);
        doubles::Clear();
        app.calls.clear();
        SendMessageW(hwnd, WM_TIMER, c.id, 0);
        Pump();
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_EQ(app.calls, c.appCalls);
    }
    EXPECT_EQ(CPreviewCameraGUI::GetInstance()->m_bModeNotice, 0);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(0x400));
}

TEST_F(MainFrameTimers, UserActivityKeepsTheHandsetAwake)
{
    HANDLE activity = CreateEventW(nullptr, FALSE, FALSE, L"PowerManager/ActivityTimer/UserActivity");
    Advance(6900);
    EXPECT_EQ(WaitForSingleObject(activity, 0), WAIT_TIMEOUT);
    Advance(200);
    EXPECT_EQ(WaitForSingleObject(activity, 0), WAIT_OBJECT_0);
    CloseHandle(activity);
}

TEST_F(MainFrameTimers, AutoOffEndsOnTheTickThatReachesZeroAndNeverAtMinusOne)
{
    CSettings::GetInstance()->SetAutoOffMode(2);
    Advance(119000);
    EXPECT_TRUE(app.calls.empty());
    SendMessageW(hwnd, WM_KEYUP, VK_RETURN, 0);  // a key reloads the count
    Advance(119000);
    EXPECT_TRUE(app.calls.empty());
    Advance(1000);
    EXPECT_EQ(app.calls, std::vector<std::string>{"FillBlackClose"});

    app.calls.clear();
    CSettings::GetInstance()->SetAutoOffMode(0);
    Advance(300000);
    EXPECT_TRUE(app.calls.empty());
    EXPECT_LT(CSettings::AutoOffSeconds().load(), -1) << "-1 keeps going down";
}

}  // namespace
