#include "services_fixture.h"
#include "system.h"

namespace {

class System : public ServicesFixture {
protected:
    void TearDown() override
    {
        SetOrientation(DMDO_0);
        CSystem::ReleaseInstance();
        ServicesFixture::TearDown();
    }
    static void SetOrientation(DWORD code)
    {
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_DISPLAYORIENTATION;
        mode.dmDisplayOrientation = code;
        ASSERT_EQ(ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr), DISP_CHANGE_SUCCESSFUL);
    }
};

TEST_F(System, OrientationCodesAndMetrics)
{
    struct Case {
        DWORD code;
        int systemWidth, systemHeight;  // what the panel reports
        int screenWidth, screenHeight;  // what the screens see
        BOOL rotated;
        DWORD angle;
    } cases[] = {
        {DMDO_0, 240, 400, 400, 240, FALSE, 0},
        {DMDO_90, 400, 240, 400, 240, TRUE, 90},
        {DMDO_180, 240, 400, 400, 240, TRUE, 0},
        {DMDO_270, 400, 240, 400, 240, TRUE, 270},
    };
    CSystem* system = CSystem::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        DEVMODEW mode = {};
        system->RotateScreen(mode, c.code);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"\\SYSTEM\\GDI\\ROTATION", L"Angle"), c.angle);
        mode = {};
        EXPECT_EQ(system->GetDisplayOrientation(mode), c.code);
        EXPECT_EQ(mode.dmSize, 192);
        EXPECT_EQ(system->SystemWidth(), c.systemWidth);
        EXPECT_EQ(system->SystemHeight(), c.systemHeight);
        EXPECT_EQ(system->ScreenWidth(), c.screenWidth);
        EXPECT_EQ(system->ScreenHeight(), c.screenHeight);
        EXPECT_EQ(system->TurnedWidth(), c.screenHeight);
        EXPECT_EQ(system->TurnedHeight(), c.screenWidth);
        EXPECT_EQ(system->IsDisplayRotated(), c.rotated);
    }
}

TEST_F(System, ValidationRestoresThreeTimesThenFails)
{
    plat::UseRealClock();  // the restore waits 200 ms
    CSystem* system = CSystem::GetInstance();
    DEVMODEW mode = {};
    system->RotateScreen(mode, DMDO_270);
    system->GetDisplayOrientation(mode);

    // Unchanged: no restore, budget untouched.
    plat::DebugCapture capture;
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(system->ValidateDisplayOrientation());
    EXPECT_FALSE(capture.Contains(L"dwOldOrientation"));

    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE(round);
        SetOrientation(DMDO_0);  // something else turned the display
        EXPECT_EQ(system->ValidateDisplayOrientation(), round <= 3);
        EXPECT_EQ(plat::DisplayOrientation(), DMDO_270);  // restored each time
        EXPECT_EQ(capture.Contains(L"[TRAVEK]FAIL ORIENTATION!!!!\n"), round == 4);
    }
}

TEST_F(System, ResetRotationWritesTheShellAngle)
{
    struct Case {
        DWORD start;
        DWORD landscape;
        DWORD angle;
    } cases[] = {{DMDO_270, 1, 90}, {DMDO_270, 0, 270}, {DMDO_90, 1, 90}};
    for (const Case& c : cases) {
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", L"LandscapeMode", c.landscape);
        SetOrientation(c.start);
        // The panel reports portrait metrics at code 0 only after the reset.
        CSystem::GetInstance()->ResetRotation();
        EXPECT_EQ(plat::DisplayOrientation(), DMDO_0);
    }
    // At code 0 the panel is 240 x 400: narrower than high.
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", L"LandscapeMode", 1);
    CSystem::GetInstance()->ResetRotation();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", L"Angle"), 90u);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", L"LandscapeMode", 0);
    CSystem::GetInstance()->ResetRotation();
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, L"System\\GDI\\ROTATION", L"Angle"), 270u);
}

TEST_F(System, NotificationSoundsAreMutedAndRestored)
{
    const wchar_t* keyB = L"\\ControlPanel\\Notifications\\{A877D65B-239C-47a7-9304-0D347F580408}";
    const wchar_t* keyA = L"\\ControlPanel\\Notifications\\{A877D65A-239C-47a7-9304-0D347F580408}";
    RegistrySetDWORD(HKEY_CURRENT_USER, keyB, L"Options", 0x0F);
    RegistrySetDWORD(HKEY_CURRENT_USER, keyA, L"Options", 0x10);
    CSystem::GetInstance()->MuteNotificationSounds(TRUE);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, keyB, L"Options"), 0x0Eu);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, keyA, L"Options"), 0x10u);
    CSystem::GetInstance()->MuteNotificationSounds(FALSE);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, keyB, L"Options"), 0x0Fu);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, keyA, L"Options"), 0x10u);
}

TEST_F(System, MemoryStatusLine)
{
    plat::DebugCapture capture;
    CSystem::GetInstance()->LogMemoryStatus(0);
    EXPECT_TRUE(capture.Contains(L"<< MEM Status >> Total = ["));
    capture.Clear();
    CSystem::GetInstance()->LogMemoryStatus(1000);  // within the interval
    EXPECT_FALSE(capture.Contains(L"MEM Status"));
    plat::AdvanceClock(1000);
    CSystem::GetInstance()->LogMemoryStatus(1000);
    EXPECT_TRUE(capture.Contains(L"MEM Status"));
}

}  // namespace
