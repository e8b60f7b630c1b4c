// The main frame's routing on the real window manager, with the doubles of
// the screens and the camera services behind it.
#include <gtest/gtest.h>

#include "common_control.h"
#include "gui_screens.h"
#include "main_frame_fixture.h"

namespace {

using MainFrameRouting = MainFrameFixture;

TEST_F(MainFrameRouting, EachMessageReachesItsHandlerOrIsConsumed)
{
    struct Case {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        DWORD extraStatus;
        LRESULT result;
        std::vector<std::string> calls;
    };
    const std::vector<Case> cases = {
        {WM_MAIN_COMMAND, 0x10001, 0, 0, 7, {"Preview::OnCommand(0x10001, 0)"}},
        {WM_MAIN_COMMAND, 0x10001, 0, GUI_STATUS_POPUP, 7, {"MessagePopup::OnCommand(0x10001, 0)"}},
        {WM_TARGET_COMMAND, 0x20002, 0, 0, 7, {"Preview::OnCommand(0x20002, 0)"}},
        {WM_PANORAMA_FRAME, 5, 6, 0, 0, {"Preview::OnEvent(0x530, 5, 6)"}},
        {WM_GRAPH_NOTIFY, 0, 0, 0, 0, {"CDShowControl::HandleGraphEvent()"}},
        {WM_COMMAND, 1, 0, 0, 0, {}},
        {WM_HOTKEY, 2, 0, 0, 0, {}},
        {WM_ERASEBKGND, 0, 0, 0, 0, {}},
        {WM_SHOT_MOSAIC, 0, 0, 0, 0, {}},
        {WM_OTHER_APP_ACTIVE, 0, 0, 0, 1, {}},
    };
    CSettings* settings = CSettings::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "message 0x" << std::hex << c.message);
        settings->AddGUIStatus(c.extraStatus);
        doubles::Clear();
        EXPECT_EQ(SendMessageW(hwnd, c.message, c.wParam, c.lParam), c.result);
        EXPECT_EQ(Calls(), c.calls);
        settings->RemoveGUIStatus(c.extraStatus);
    }
    EXPECT_TRUE(IsWindow(hwnd)) << "no message of the table ends the frame";
    EXPECT_TRUE(app.calls.empty());
}

TEST_F(MainFrameRouting, TargetCommandGoesToTheNamedScreen)
{
    auto* thumbnails = static_cast<CBaseGUI*>(CThumbnailGUI::GetInstance());
    SendMessageW(hwnd, WM_TARGET_COMMAND, 0x30003, reinterpret_cast<LPARAM>(thumbnails));
    EXPECT_EQ(Calls(), std::vector<std::string>{"Thumbnail::OnCommand(0x30003, 0)"});
}

TEST_F(MainFrameRouting, CancelOnSwitchCancelsTheDialogsRecognition)
{
    g_bCancelOnSwitch = 1;
    EXPECT_EQ(SendMessageW(hwnd, WM_OTHER_APP_ACTIVE, 0, 0), 1);
    g_bCancelOnSwitch = 0;
    EXPECT_EQ(Calls(), std::vector<std::string>{"CancelRecognition()"});
}

TEST_F(MainFrameRouting, WaveOutDoneClosesThatDevice)
{
    HWAVEOUT device = plat::OpenWaveOutDevice();
    SendMessageW(hwnd, WM_WAVE_OUT_DONE, reinterpret_cast<WPARAM>(device), 0);
    EXPECT_FALSE(plat::IsWaveOutDeviceOpen(device));
}

TEST_F(MainFrameRouting, KeysAndTouchesPassOnlyThroughOpenGates)
{
    struct Case {
        const char* name;
        int inputEnabled;
        unsigned long cameraState;
        bool flushRunning;
        int recognizing;
        bool keyDownReaches;
        bool keyUpReaches;
        bool touchReaches;
    };
    const Case cases[] = {
        {"open", 1, 1, false, 0, true, true, true},
        {"input disabled", 0, 1, false, 0, false, false, false},
        {"camera busy", 1, 0x10, false, 0, false, false, false},
        {"camera busy 0x400", 1, 0x401, false, 0, false, false, false},
        {"flush timer running", 1, 1, true, 0, false, true, false},
        {"recognizing", 1, 1, false, 1, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame->m_bInputEnabled = c.inputEnabled;
        frame->m_bRecognizing = c.recognizing;
        doubles::State().cameraState = c.cameraState;
        if (c.flushRunning)
            CSystem::GetInstance()->SetInputFlushTimer(TRUE, 100000);
        doubles::Clear();
        SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
        EXPECT_EQ(Called("Preview::OnKeyDown(0xd)"), c.keyDownReaches);
        SendMessageW(hwnd, WM_KEYUP, VK_RETURN, 0);
        EXPECT_EQ(Called("Preview::OnKeyUp(0xd)"), c.keyUpReaches);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 40));
        EXPECT_EQ(Called("Preview::OnLButtonDown(30, 40)"), c.touchReaches);
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
    }
}

TEST_F(MainFrameRouting, BlockedInputStillReloadsTheAutoOffCount)
{
    frame->m_bInputEnabled = 0;
    CSettings::AutoOffSeconds() = 5;
    SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(CSettings::AutoOffSeconds().load(), 120);
    CSettings::AutoOffSeconds() = 5;
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(CSettings::AutoOffSeconds().load(), 120);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(MainFrameRouting, ArrowsAndTouchesTurnWithTheLayoutAtOrientationZero)
{
    struct KeyCase {
        DWORD orientation;
        UINT sent;
        UINT received;
    };
    const KeyCase keys[] = {
        {DMDO_0, VK_LEFT, VK_DOWN}, {DMDO_0, VK_UP, VK_LEFT},       {DMDO_0, VK_RIGHT, VK_UP},
        {DMDO_0, VK_DOWN, VK_RIGHT}, {DMDO_0, VK_RETURN, VK_RETURN}, {DMDO_0, 0x24, 0x24},
        {DMDO_0, 0x29, 0x29},       {DMDO_270, VK_LEFT, VK_LEFT},   {DMDO_270, VK_DOWN, VK_DOWN},
    };
    for (const KeyCase& k : keys) {
        SCOPED_TRACE(testing::Message() << "orientation " << k.orientation << " key 0x" << std::hex << k.sent);
        TurnDisplay(k.orientation);
        doubles::Clear();
        SendMessageW(hwnd, WM_KEYDOWN, k.sent, 0);
        char expected[64];
        std::snprintf(expected, sizeof expected, "Preview::OnKeyDown(0x%x)", k.received);
        EXPECT_EQ(Calls(), std::vector<std::string>{expected});
    }
    struct TouchCase {
        DWORD orientation;
        int x, y;
        std::string received;
    };
    const TouchCase touches[] = {
        {DMDO_0, 10, 20, "Preview::OnLButtonUp(20, 229)"},
        {DMDO_0, 0, 399, "Preview::OnLButtonUp(399, 239)"},
        {DMDO_0, 239, 0, "Preview::OnLButtonUp(0, 0)"},
        {DMDO_270, 10, 20, "Preview::OnLButtonUp(10, 20)"},
    };
    for (const TouchCase& t : touches) {
        TurnDisplay(t.orientation);
        doubles::Clear();
        SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(t.x, t.y));
        EXPECT_EQ(Calls(), std::vector<std::string>{t.received});
    }
}

TEST_F(MainFrameRouting, EndAndTalkKeysFollowTheCallPopupAndTheView)
{
    struct Case {
        const char* name;
        bool callPopup;
        int view;
        UINT key;
        DWORD dialerCommand;
        bool ends;
        bool previewExit;
        bool popupLeft;
    };
    const Case cases[] = {
        {"end, call, preview", true, VIEW_PREVIEW, VK_F4, 2, false, false, false},
        {"end, call, review", true, VIEW_SINGLE_PICTURE, VK_F4, 2, false, false, false},
        {"end, call, settings", true, VIEW_OCR_SETTINGS, VK_F4, 0, false, false, true},
        {"end, preview", false, VIEW_PREVIEW, VK_F4, 0, false, true, false},
        {"end, review", false, VIEW_SINGLE_PICTURE, VK_F4, 0, true, false, false},
        {"end, card result", false, VIEW_CARD_RESULT, VK_F4, 0, true, false, false},
        {"talk, call, preview", true, VIEW_PREVIEW, VK_F3, 1, true, false, true},
        {"talk, call, gallery", true, VIEW_GALLERY, VK_F3, 0, false, false, true},
        {"talk, preview", false, VIEW_PREVIEW, VK_F3, 0, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kDialerKey, L"DialerCmd", 0);
        frame->m_nView = c.view;
        if (c.callPopup)
            frame->ShowPopup(POPUP_CALL);
        app.calls.clear();
        doubles::Clear();
        SendMessageW(hwnd, WM_KEYUP, c.key, 0);
        Pump();
        EXPECT_EQ(DialerCommand(), c.dialerCommand);
        EXPECT_EQ(!app.calls.empty() && app.calls.back() == "FillBlackClose", c.ends);
        EXPECT_EQ(Called("Preview::OnCommand(0x640001, 0)"), c.previewExit);
        EXPECT_EQ(frame->GetPopupEntry(0) == POPUP_CALL, c.popupLeft);
        frame->HideDialogBoxEx(POPUP_CALL);
    }
}

TEST_F(MainFrameRouting, SingleShotStoredOpensTheReviewOrSavesByTheSwitch)
{
    doubles::State().shotCount = 1;
    CPreviewCameraGUI::GetInstance()->m_bShotPending = 1;
    CSettings::GetInstance()->SetReviewSwitch(TRUE);
    SendMessageW(hwnd, WM_SINGLE_SHOT, 0, 0x10004);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"CShotControl::GetShot(0)", "CImageFileList::AddFile(0)",
                                                 "ReviewSingle::OnOpen()"}));
    EXPECT_EQ(CPreviewCameraGUI::GetInstance()->m_bShotPending, 1);

    CSettings::GetInstance()->SetReviewSwitch(FALSE);
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAPTURING);
    doubles::Clear();
    SendMessageW(hwnd, WM_SINGLE_SHOT, 0, 0x10004);
    EXPECT_EQ(Calls(), (std::vector<std::string>{"CShotControl::GetShot(0)", "CImageFileList::AddFile(0)",
                                                 "CCameraControl::SetState(1)", "CShotControl::SaveAllShots()",
                                                 "CShotControl::ReleaseShots()"}));
    EXPECT_EQ(CPreviewCameraGUI::GetInstance()->m_bShotPending, 0);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAPTURING));

    CPreviewCameraGUI::GetInstance()->m_bShotPending = 1;
    doubles::Clear();
    SendMessageW(hwnd, WM_SINGLE_SHOT, 0, 0x10003);
    EXPECT_TRUE(Calls().empty()) << "a shot that was not stored only clears the pending flag";
    EXPECT_EQ(CPreviewCameraGUI::GetInstance()->m_bShotPending, 0);
}

TEST_F(MainFrameRouting, MultiShotDoneOpensTheThumbnailsOnlyWithShots)
{
    for (int shots : {0, 3}) {
        SCOPED_TRACE(shots);
        doubles::State().shotCount = shots;
        CCommonControl::GetInstance()->m_bCaptureRunning = 1;
        doubles::Clear();
        SendMessageW(hwnd, WM_MULTI_SHOT_DONE, 0, 0);
        std::vector<std::string> expected = {"CShotControl::SaveAllShots()", "CCameraControl::SetState(1)"};
        if (shots)
            expected.push_back("Thumbnail::OnOpen()");
        EXPECT_EQ(Calls(), expected);
        EXPECT_EQ(CCommonControl::GetInstance()->m_bCaptureRunning, 0);
    }
}

TEST_F(MainFrameRouting, FileChangeRecordsAreAlwaysGivenBack)
{
    const long before = plat::OutstandingFileChangeRecords();
    SendMessageW(hwnd, WM_FILECHANGEINFO, 0, 0);
    EXPECT_TRUE(Calls().empty());
    struct Case {
        LONG event;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {SHCNE_DRIVEREMOVED, {"SettingMenu::OnCommand(0x3c0004, 0)", "SettingMenu::OnCommand(0x3c0004, 0)"}},
        {SHCNE_DRIVEADD, {"SettingMenu::OnCommand(0x3c0004, 1)", "SettingMenu::OnCommand(0x3c0005, 1)"}},
        {0x2, {}},
    };
    for (const Case& c : cases) {
        doubles::Clear();
        SendMessageW(hwnd, WM_FILECHANGEINFO, 0, reinterpret_cast<LPARAM>(plat::NewFileChangeRecord(c.event)));
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_EQ(plat::OutstandingFileChangeRecords(), before);
    }
}

}  // namespace

// A turn of the handset: the frame fits the turned screen and, while a
// camera screen shows, makes the display and that screen's bitmaps again and
// draws; behind a dialog or while closing it leaves the screens alone.
TEST_F(MainFrameRouting, ATurnIsFollowedWhereACameraScreenShows)
{
    struct Case {
        const char* name;
        int inputEnabled;
        int closing;
        bool turned;  // a real turn, else another setting's notice
        bool ownTurn;  // the program turns the screen itself, under its mutex
        int drawBlocked;
        SIZE size;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"camera screen", 1, 0, true, false, 0, {240, 400},
         {"CDisplay::Init()", "Preview::LoadResource()", "Preview::OnPaint()"}},
        {"a dialog in front", 0, 0, true, false, 0, {240, 400}, {}},
        {"the program's own turn", 1, 0, true, true, 0, {240, 400}, {}},
        {"on the way to a dialog", 1, 0, true, false, 1, {240, 400}, {}},
        {"closing", 1, 1, true, false, 0, {400, 240}, {}},
        {"the input panel's notice", 1, 0, false, false, 0, {400, 240}, {}},
    };
    CCommonControl* common = CCommonControl::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TurnDisplay(DMDO_270);
        ::MoveWindow(hwnd, 0, 0, 400, 240, FALSE);
        frame->m_bInputEnabled = c.inputEnabled;
        frame->m_bClosing = c.closing;
        frame->m_bSurfaceDrawBlocked = c.drawBlocked;
        common->m_bPreviewLock = 0;
        if (c.ownTurn)
            frame->HoldRotationMutex(TRUE, 0);
        doubles::Clear();
        if (c.turned) {
            DEVMODEW mode{};
            mode.dmSize = sizeof mode;
            mode.dmFields = DM_DISPLAYORIENTATION;
            mode.dmDisplayOrientation = DMDO_0;
            ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
        } else {
            SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETSIPINFO, 0);
        }
        Pump();
        frame->HoldRotationMutex(FALSE, 0);
        RECT r{};
        GetWindowRect(hwnd, &r);
        EXPECT_EQ(r.right - r.left, c.size.cx);
        EXPECT_EQ(r.bottom - r.top, c.size.cy);
        EXPECT_EQ(Calls(), c.calls);
        EXPECT_EQ(common->m_bPreviewLock.load(), 0) << "the camera's frames flow again";
    }
    frame->m_bClosing = 0;
    frame->m_bSurfaceDrawBlocked = 0;
    frame->m_bInputEnabled = 1;
}
