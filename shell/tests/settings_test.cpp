#include <string>

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
    EXPECT_EQ(CSettings::AutoOffSeconds(), 120);
    EXPECT_EQ(settings->GetFlags(), SETTINGS_FLAG_DRAW_HELD);
    settings->SignalStart(0);
    settings->SignalEnd();
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCameraStateKey, L"Run"), 0u);
    EXPECT_EQ(WaitForSingleObject(start, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(end, 0), WAIT_OBJECT_0);
    CloseHandle(start);
    CloseHandle(end);
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
        EXPECT_EQ(CSettings::AutoOffSeconds(), c.seconds);
    }
}

TEST_F(Settings, CommandFamily)
{
    CSettings::GetInstance()->SetCurrentCommand(0x00120034);
    EXPECT_EQ(CSettings::GetInstance()->GetCurrentCommand(), 0x00120034u);
    EXPECT_EQ(CSettings::GetInstance()->GetCurrentCommandFamily(), 0x12u);
}

}  // namespace
