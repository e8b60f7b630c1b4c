#include <string>
#include <vector>

#include "gui_screens.h"
#include "services_fixture.h"

namespace {

class Settings : public ServicesFixture {
protected:
    void PutMui(const wchar_t* name) { Touch(std::wstring(L"\\Windows\\") + name); }
};

TEST_F(Settings, ActiveScreenFollowsTheOrderOfTheBits)
{
    struct Case {
        DWORD mask;
        DWORD active;
    } cases[] = {
        {0x8 | 0x2, 0x8},       {0x2 | 0x4, 0x2},        {0x4 | 0x20, 0x4},     {0x20 | 0x200, 0x20},
        {0x200 | 0x80, 0x200},  {0x4000, 0x4080},        {0x80 | 0x10, 0x4080}, {0x10 | 0x100, 0x10},
        {0x100, 0x100},         {0x40, 0},               {0x1 | 0x800, 0},      {0x400 | 0x2000 | 0x1000, 0},
        {0xFFFF, 0x8},
    };
    CSettings* settings = CSettings::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        settings->RemoveGUIStatus(0xFFFFFFFF);
        settings->AddGUIStatus(c.mask);
        EXPECT_EQ(settings->GetActiveGUIStatus(), c.active);
    }
}

template <class Screen>
CBaseGUI* ScreenOf()
{
    return Screen::GetInstance();
}
CBaseGUI* NoScreen() { return nullptr; }

TEST_F(Settings, ActiveScreenObject)
{
    using Screen = CBaseGUI* (*)();
    struct Case {
        DWORD mask;
        Screen screen;
    } cases[] = {
        {0x8 | 0x2, &ScreenOf<CPreviewSettingGUI>},
        {0x2, &ScreenOf<CPreviewCameraGUI>},
        {0x4, &ScreenOf<CPreviewCamcorderGUI>},
        {0x20 | 0x10, &ScreenOf<CReviewSingleGUI>},
        {0x200, &ScreenOf<CReviewMovieGUI>},
        {0x4000, &ScreenOf<CThumbnailGUI>},
        {0x80, &ScreenOf<CThumbnailGUI>},
        {0x10 | 0x100, &ScreenOf<CViewerGUI>},
        {0x100, &ScreenOf<CReviewMultiCapturedGUI>},
        {0x40, &NoScreen},
        {0x1 | 0x800 | 0x1000, &NoScreen},
    };
    CSettings* settings = CSettings::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        settings->RemoveGUIStatus(0xFFFFFFFF);
        settings->AddGUIStatus(c.mask);
        EXPECT_EQ(settings->GetActiveGUI(), c.screen());
    }
}

TEST_F(Settings, NoticeTimerRunsOnTheMainWindow)
{
    HWND window = CreatePlainWindow();
    ASSERT_NE(window, nullptr);
    CSettings* settings = CSettings::GetInstance();
    settings->SetHwnd(window);
    auto timerDue = [&] {
        MSG msg = {};
        return PeekMessageW(&msg, window, WM_TIMER, WM_TIMER, PM_REMOVE) && msg.wParam == TM_CLEAR_GUI_STATUS;
    };

    settings->SetNoticeStatus(TRUE);
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_NOTICE));
    plat::AdvanceClock(2999);
    EXPECT_FALSE(timerDue());
    plat::AdvanceClock(1);
    EXPECT_TRUE(timerDue());

    settings->SetNoticeStatus(FALSE);
    plat::AdvanceClock(3000);
    EXPECT_FALSE(timerDue());
    DestroyWindow(window);
}

TEST_F(Settings, GpsDeviceFollowsTheSwitch)
{
    CSettings* settings = CSettings::GetInstance();
    settings->SetUseGPS(TRUE);
    EXPECT_EQ(settings->GetGPSState(), 2);
    EXPECT_TRUE(settings->IsGPSOn());
    settings->SetUseGPS(FALSE);
    EXPECT_EQ(settings->GetGPSState(), 0);
    EXPECT_FALSE(settings->IsGPSOn());
    EXPECT_EQ(doubles::Calls(), (std::vector<std::string>{"CGPSControl::Init()", "CGPSControl::Uninit()"}));
}

TEST_F(Settings, GuiStatusChangesAreLogged)
{
    CSettings* settings = CSettings::GetInstance();
    EXPECT_EQ(settings->GetGUIStatus(), GUI_STATUS_START);
    plat::DebugCapture capture;
    settings->ChangeGUIStatus(0x4000, 0x1);
    EXPECT_EQ(settings->GetGUIStatus(), 0x4000u);
    EXPECT_TRUE(capture.Contains(L"[TRAVEK] [AddGUIStatus] [1] [16384]\n"));
    EXPECT_TRUE(capture.Contains(L"[TRAVEK] [RemoveGUIStatus] [16385] [1]\n"));
    EXPECT_TRUE(settings->IsGUIStatus(0x4000 | 0x2));
    EXPECT_FALSE(settings->IsGUIStatus(0x2));
}

TEST_F(Settings, OcrOptionDefaultsAreWrittenBack)
{
    struct Case {
        const wchar_t* mui;  // library in \Windows, or none
        DWORD lcid;          // system locale, 0: not set
        DWORD language;
    } cases[] = {
        {nullptr, 0, 0},
        {L"LumOCR.exe.0412.mui", 0, 0},  // Korean: no recognition language of its own
        {L"LumOCR.exe.0407.mui", 0, 1},
        {L"LumOCR.exe.040c.mui", 0, 2},
        {L"LumOCR.exe.0410.mui", 0, 3},
        {L"LumOCR.exe.0c0a.mui", 0, 4},
        {L"LumOCR.exe.0816.mui", 0, 5},
        {L"LumOCR.exe.0419.mui", 0, 6},
        {L"LumOCR.exe.0422.mui", 0, 7},
        {L"LumOCR.exe.0409.mui", 0x0422, 0},  // no Ukrainian library: the first found
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mui ? c.mui : L"none");
        std::filesystem::remove_all(root.path() / "Windows");
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kOcrOptionsKey));
        for (const wchar_t* name : {L"EnableAutoFocus", L"SelectedLanguage", L"EnableAutoSave", L"BCROCR_MODE"})
            RegDeleteValueW(key.GetKey(), name);
        key.Close();
        if (c.lcid)
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"nls", L"DefaultLCID", c.lcid);
        if (c.mui)
            PutMui(c.mui);

        OcrOptions options;
        CSettings::GetInstance()->LoadOcrOptions(options);
        EXPECT_EQ(options.enableAutoFocus, 1u);
        EXPECT_EQ(options.selectedLanguage, c.language);
        EXPECT_EQ(options.enableAutoSave, 1u);
        EXPECT_EQ(options.bcrOcrMode, 1u);
        EXPECT_EQ(options.singleMultiMode, 1u);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"EnableAutoFocus"), 1u);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"SelectedLanguage"), c.language);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"EnableAutoSave"), 1u);
        EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kOcrOptionsKey, L"BCROCR_MODE"), 1u);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"nls", L"DefaultLCID", 0);
    }
}

TEST_F(Settings, SystemLanguageLibraryComesFirst)
{
    PutMui(L"LumOCR.exe.0407.mui");
    PutMui(L"LumOCR.exe.0419.mui");
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"nls", L"DefaultLCID", 0x0419);
    EXPECT_STREQ(CSettings::GetInstance()->FindMuiFile(), L"LumOCR.exe.0419.mui");
    EXPECT_EQ(CSettings::GetInstance()->GetDefaultOcrLanguage(), 6);
}

TEST_F(Settings, StoredOptionsAreKept)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kOcrOptionsKey));
    key.SetDWORD(L"EnableAutoFocus", DWORD{0});
    key.SetDWORD(L"SelectedLanguage", DWORD{4});
    key.SetDWORD(L"EnableAutoSave", DWORD{0});
    key.SetDWORD(L"BCROCR_MODE", DWORD{2});
    key.Close();
    OcrOptions options;
    CSettings::GetInstance()->LoadOcrOptions(options);
    EXPECT_EQ(options.enableAutoFocus, 0u);
    EXPECT_EQ(options.selectedLanguage, 4u);
    EXPECT_EQ(options.enableAutoSave, 0u);
    EXPECT_EQ(options.bcrOcrMode, 2u);
}

TEST_F(Settings, LoadPublishesTheRunningState)
{
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"SleepSoon", 1);
    // A watcher holds both events open, as the handset's camera monitor does.
    HANDLE start = CreateEventW(nullptr, FALSE, FALSE, kStartEventName);
    HANDLE end = CreateEventW(nullptr, FALSE, FALSE, kEndEventName);
    ASSERT_NE(start, nullptr);
    ASSERT_NE(end, nullptr);
    CSettings* settings = CSettings::GetInstance();
    settings->Load(L"");
    EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_TIMEOUT);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCameraStateKey, L"Run"), 1u);
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kKeypadStateKey, L"SleepSoon"), 0u);
    EXPECT_EQ(settings->GetGUIStatus(), GUI_STATUS_START | GUI_STATUS_NOTICE | GUI_STATUS_CAMERA);
    EXPECT_EQ(settings->GetAutoOffMode(), 2);
    EXPECT_EQ(CSettings::AutoOffSeconds().load(), 120);
    EXPECT_EQ(settings->GetFlags(), SETTINGS_FLAG_DRAW_HELD);
    settings->SignalStart(0);
    settings->SignalEnd();
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCameraStateKey, L"Run"), 0u);
    EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_OBJECT_0);
    CloseHandle(start);
    CloseHandle(end);
}

TEST_F(Settings, LoadSetsTheCameraDefaults)
{
    CSettings* settings = CSettings::GetInstance();
    for (int number = 1; number <= 10; ++number)
        settings->SetScreenSetting(number, 7);
    settings->SetReviewSwitch(FALSE);
    settings->Load(L"");
    // A shot opens its review, where the recognition runs with its progress.
    EXPECT_TRUE(settings->IsReviewSwitchOn());
    const int screenSettings[] = {1, 7, 0, 0, 1, 0, 7, 7, 7, -1};  // 2, 7, 8, 9 are the screens' own
    for (int number = 1; number <= 10; ++number)
        EXPECT_EQ(settings->GetScreenSetting(number), screenSettings[number - 1]) << "setting " << number;
    EXPECT_EQ(doubles::Calls(), (std::vector<std::string>{
                                    "CCameraControl::SetShotMode(0, 0)",
                                    "CCameraControl::SetShotModeSize(4, 0x6660, 0)",
                                    "CCameraControl::SetCaptureOption(0, 0)",
                                    "CCamcorderControl::SelectSizeMode(0)",
                                    "CCamcorderControl::SetVideoSize(2, 0x76, 0)",
                                    "CCamcorderControl::SetStreamOption(0)",
                                    "CCommonControl::SetISO(0, 0)",
                                    "CCommonControl::SetMetering(2, 0)",
                                    "CCommonControl::SetContrast(3, 0)",
                                    "CCommonControl::SetSaturation(0, 0)",
                                    "CCommonControl::SetSharpness(3, 0)",
                                    "CCommonControl::SetUseWDR(0, 0)",
                                    "CSoundControl::SetShutterIndex(0)",
                                    "CCommonControl::SetWidePreview(0, 0)",
                                    "CCommonControl::WriteSensorID(0)",
                                }));
    EXPECT_EQ(CSettings::GetInstance()->GetGPSState(), 0);
}

TEST_F(Settings, LaunchParametersChooseTheCameraOrCamcorderSize)
{
    struct Case {
        DWORD mode, width, height, quality, videoType, audio;
        std::vector<std::string> calls;  // before the defaults of every start
        int recordWithoutSound;          // as the launch left it
    } cases[] = {
        {0, 2560, 1920, 3, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x0, 0)", "CCameraControl::SetCaptureOption(0, 0)"}, 0},
        {0, 2048, 1536, 2, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x1, 0)", "CCameraControl::SetCaptureOption(1, 0)"}, 0},
        {0, 1600, 1200, 1, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x2, 0)", "CCameraControl::SetCaptureOption(2, 0)"}, 0},
        {0, 1280, 960, 0, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x3, 0)", "CCameraControl::SetCaptureOption(0, 0)"}, 0},
        {0, 640, 480, 7, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x4, 0)", "CCameraControl::SetCaptureOption(0, 0)"}, 0},
        {0, 320, 999, 3, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x6, 0)", "CCameraControl::SetCaptureOption(0, 0)"}, 0},
        {0, 800, 600, 3, 0, 1, {"CCameraControl::SetShotMode(0, 1)", "CCameraControl::SetShotModeSize(0, 0x6, 0)", "CCameraControl::SetCaptureOption(0, 0)"}, 0},
        // Camcorder: normal size from the width, MMS size 176 x 144.
        {2, 640, 480, 3, 0, 1, {"CCamcorderControl::SelectSizeMode(0)", "CCamcorderControl::SetVideoSize(0, 0x4, 0)", "CCamcorderControl::SetVideoSize(1, 0x7, 0)", "CCamcorderControl::SetStreamOption(0)"}, 0},
        // MMS type: the MMS size from the width, normal 320 x 240.
        {2, 176, 144, 1, 2, 0, {"CCamcorderControl::SelectSizeMode(1)", "CCamcorderControl::SetVideoSize(0, 0x6, 0)", "CCamcorderControl::SetVideoSize(1, 0x7, 0)", "CCamcorderControl::SetStreamOption(2)"}, 1},
        // Mode 1 records without sound whatever AudioEnabled says.
        {1, 999, 1, 2, 0, 1, {"CCamcorderControl::SelectSizeMode(0)", "CCamcorderControl::SetVideoSize(0, 0x6, 0)", "CCamcorderControl::SetVideoSize(1, 0x7, 0)", "CCamcorderControl::SetStreamOption(1)"}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " width " << c.width);
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kLaunchParametersKey));
        key.SetDWORD(L"Mode", c.mode);
        key.SetDWORD(L"Width", c.width);
        key.SetDWORD(L"Height", c.height);
        key.SetDWORD(L"QualitySetting", c.quality);
        key.SetDWORD(L"VideoType", c.videoType);
        key.SetDWORD(L"AudioEnabled", c.audio);
        key.Close();
        doubles::Clear();
        CSettings* settings = CSettings::GetInstance();
        settings->LoadLaunchParameters();
        EXPECT_EQ(doubles::Calls(), c.calls);
        EXPECT_EQ(settings->GetMode(), c.mode ? 1 : 0);
        EXPECT_EQ(settings->GetRecordWithoutSound(), c.recordWithoutSound);
        EXPECT_TRUE(settings->IsLaunchedByOther());
        CSettings::ReleaseInstance();
    }
}

TEST_F(Settings, OnlyTheExactCommandLineCountsAsLaunch)
{
    for (const wchar_t* line : {L"vor", L"VOR ", L"VORX", L" VOR", L""}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(line)));
        CSettings::GetInstance()->Load(line);
        EXPECT_FALSE(CSettings::GetInstance()->IsLaunchedByOther());
        CSettings::ReleaseInstance();
    }
    CSettings::GetInstance()->Load(L"VOR");
    EXPECT_TRUE(CSettings::GetInstance()->IsLaunchedByOther());
}

TEST_F(Settings, AutoOffModes)
{
    CSettings* settings = CSettings::GetInstance();
    struct Case {
        int mode;
        int seconds;
    } cases[] = {{0, -1}, {1, 60}, {3, 180}, {2, 120}, {5, 120}};
    for (const Case& c : cases) {
        settings->SetAutoOffMode(c.mode);
        EXPECT_EQ(settings->GetAutoOffMode(), c.mode);
        EXPECT_EQ(CSettings::AutoOffSeconds().load(), c.seconds);
    }
}

TEST_F(Settings, CommandFamily)
{
    CSettings::GetInstance()->SetCurrentCommand(0x00120034);
    EXPECT_EQ(CSettings::GetInstance()->GetCurrentCommand(), 0x00120034u);
    EXPECT_EQ(CSettings::GetInstance()->GetCurrentCommandFamily(), 0x12u);
}

}  // namespace
