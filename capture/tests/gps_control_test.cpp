#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <fstream>
#include <functional>
#include <thread>

#include "gps_control.h"
#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/registry.h"

namespace {

class Gps : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(5000);
    }
    void TearDown() override
    {
        CGPSControl::ReleaseInstance();
        plat::UseRealClock();
        plat::CloseRegistry();
    }
    void Set(const WCHAR* name, const WCHAR* value)
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\GPS", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    // Real time only bounds the wait for the GPS thread.
    static bool Eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 4000; ++i) {
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return done();
    }
    lumtest::TempDir root_;
};

}  // namespace

TEST_F(Gps, FixedPositionTurnsTheIndicatorOn)
{
    Set(L"Source", L"fixed");
    Set(L"Position", L"51.4545,-2.5879,12.5");
    CGPSControl* gps = CGPSControl::GetInstance();
    ASSERT_EQ(gps->Init(), S_OK);
    EXPECT_EQ(gps->Init(), S_OK);  // already open: nothing more
    ASSERT_TRUE(Eventually([&] { return gps->GetGPSState() == 1; }));
    EXPECT_DOUBLE_EQ(gps->GetLatitude(), 51.4545);
    EXPECT_DOUBLE_EQ(gps->GetLongitude(), -2.5879);
    EXPECT_FLOAT_EQ(gps->GetAltitude(), 12.5f);
    EXPECT_TRUE(gps->HasFix());
    EXPECT_EQ(gps->Uninit(), S_OK);
    EXPECT_FALSE(gps->IsInitialised());
    EXPECT_EQ(gps->Uninit(), E_INVALIDARG);
}

TEST_F(Gps, NoFixTurnsAnIndicatorOfOneIntoTwo)
{
    Set(L"Source", L"nofix");
    CGPSControl* gps = CGPSControl::GetInstance();
    gps->SetGPSState(1);
    ASSERT_EQ(gps->Init(), S_OK);
    ASSERT_TRUE(Eventually([&] { return gps->GetGPSState() == 2; }));
    EXPECT_FALSE(gps->HasFix());
    EXPECT_EQ(gps->GetLatitude(), 0.0);
}

TEST_F(Gps, NoDeviceLeavesNothingOpen)
{
    for (const WCHAR* source : {L"none", L"bogus"}) {
        Set(L"Source", source);
        CGPSControl* gps = CGPSControl::GetInstance();
        EXPECT_EQ(gps->Init(), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_FALSE(gps->IsInitialised());
        EXPECT_EQ(gps->Uninit(), E_INVALIDARG);  // no device, no thread
        CGPSControl::ReleaseInstance();
    }
}

TEST_F(Gps, TrackMovesOnOnceASecondSkippingBadLines)
{
    {
        std::ofstream track(root_.path() / "track.txt");
        track << "10.5,20.25,100\nnot a line\n95,0,0\n11.5,21.25,110\n";
    }
    Set(L"Source", L"track");
    Set(L"Path", L"\\track.txt");
    CGPSControl* gps = CGPSControl::GetInstance();
    ASSERT_EQ(gps->Init(), S_OK);
    ASSERT_TRUE(Eventually([&] { return gps->GetLatitude() == 10.5; }));
    plat::AdvanceClock(1000);
    ASSERT_TRUE(Eventually([&] { return gps->GetLatitude() == 11.5; }));
    EXPECT_DOUBLE_EQ(gps->GetLongitude(), 21.25);
    plat::AdvanceClock(1000);
    ASSERT_TRUE(Eventually([&] { return gps->GetLatitude() == 10.5; }));  // cycled
}

TEST(GpsDriver, ChecksVersionAndSize)
{
    GPS_DEVICE device{};
    EXPECT_EQ(GPSGetDeviceState(&device), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    device.dwVersion = GPS_VERSION_1;
    device.dwSize = sizeof device;
    EXPECT_EQ(GPSGetDeviceState(&device), static_cast<DWORD>(ERROR_SUCCESS));
    GPS_POSITION position{};
    EXPECT_EQ(GPSGetPosition(nullptr, &position, 3000, 0), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}
