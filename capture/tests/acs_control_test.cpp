#include <gtest/gtest.h>

#include <cwchar>

#include "acs_control.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/device_io.h"
#include "plat/registry.h"

namespace {

class Accelerometer : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override
    {
        CACSControl::ReleaseInstance();
        plat::FailDeviceControl(L"ACS1:", 1014, false);
        plat::CloseRegistry();
    }
    void SetAxes(const WCHAR* axes)
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, plat::kAccelerometerKey, 0, nullptr, 0, 0, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Axes", 0, REG_SZ, reinterpret_cast<const BYTE*>(axes),
                       static_cast<DWORD>((std::wcslen(axes) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    lumtest::TempDir root_;
};

}  // namespace

TEST(AccelerometerOrientation, BordersOfEachTurn)
{
    struct Case {
        signed char x, y;
        int expect;
    } cases[] = {{21, 9, 6}, {21, 10, 1}, {21, -9, 6}, {21, -10, 1}, {20, 0, 1}, {0, 21, 3},  {-9, 21, 3},
                 {10, 21, 1}, {-10, 21, 1}, {-21, 9, 8}, {-21, -9, 8}, {-21, -10, 1}, {-21, 10, 1}, {0, 0, 1}};
    CACSControl acs;
    for (const auto& c : cases) {
        acs.SetAxes(c.x, c.y, 0);
        EXPECT_EQ(acs.GetACSOrientation(), c.expect) << int(c.x) << "," << int(c.y);
    }
}

TEST_F(Accelerometer, ReadsTheAxesOfTheDeviceRoot)
{
    SetAxes(L"25,-3,60");
    CACSControl* acs = CACSControl::GetInstance();
    acs->GetAll();
    EXPECT_EQ(acs->X(), 25);
    EXPECT_EQ(acs->Y(), -3);
    EXPECT_EQ(acs->Z(), 60);
    EXPECT_EQ(acs->GetACSOrientation(), 6);
    SetAxes(L"12,x");  // unreadable: counts as absent
    acs->GetAll();
    EXPECT_EQ(acs->X(), 0);
}

TEST_F(Accelerometer, AFailedReadKeepsThePresetWords)
{
    SetAxes(L"-30,0,0");
    plat::FailDeviceControl(L"ACS1:", 1014, true);
    CACSControl* acs = CACSControl::GetInstance();
    acs->GetAll();
    EXPECT_EQ(acs->X(), 33);
    EXPECT_EQ(acs->Y(), 22);
    EXPECT_EQ(acs->Z(), 11);
    SetAxes(L"none");  // no device at all: the same
    plat::FailDeviceControl(L"ACS1:", 1014, false);
    acs->GetAll();
    EXPECT_EQ(acs->X(), 33);
}

TEST_F(Accelerometer, DriverChecksItsRegistrationWord)
{
    HANDLE device = CreateFileW(L"ACS1:", 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(device, INVALID_HANDLE_VALUE);
    DWORD wrong = 1234, out = 0, returned = 0;
    EXPECT_FALSE(DeviceIoControl(device, 1102, &wrong, sizeof wrong, &out, sizeof out, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DWORD five = 5, word = 0;
    ASSERT_TRUE(DeviceIoControl(device, 1300, &five, sizeof five, &word, sizeof word, &returned, nullptr));
    EXPECT_NE(word, 0u);
    EXPECT_TRUE(DeviceIoControl(device, 1102, &word, sizeof word, &out, sizeof out, &returned, nullptr));
    EXPECT_TRUE(CloseHandle(device));

    EXPECT_EQ(CCamDeviceControl::GetInstance()->SetPower(0), 1);
    EXPECT_EQ(plat::CameraDriverPower(), 0);
    CCamDeviceControl::ReleaseInstance();
}
