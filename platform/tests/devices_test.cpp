// The LED and vibration stand-ins.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "ImmVibe.h"
#include "ImmVibeRecord.h"
#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/nled.h"
#include "plat/registry.h"

namespace {

class Devices : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        plat::ResetLeds();
        immvibe::Reset();
    }
    void TearDown() override
    {
        immvibe::Reset();
        plat::UseRealClock();
        plat::CloseRegistry();
    }
    static void Set(const WCHAR* key, const WCHAR* name, DWORD type, const void* data, DWORD size)
    {
        HKEY k = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, 0, nullptr, &k, nullptr);
        RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(k);
    }
    static void SetString(const WCHAR* key, const WCHAR* name, const WCHAR* text)
    {
        Set(key, name, REG_SZ, text, static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR)));
    }
    lumtest::TempDir root_;
};

// Two effects: 30 ms and 250 ms.
const VibeUInt8 kEffects[] = {1, 2, 30, 0, 0x10, 0x27, 250, 0, 0x88, 0x13};

}  // namespace

TEST_F(Devices, LedKeepsTheLastGoodSettingsOfEachLed)
{
    NLED_SETTINGS_INFO blink{8, 2, 200000, 100000, 100000, 1, 1};
    ASSERT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &blink));
    struct Case {
        const char* what;
        UINT id;
        NLED_SETTINGS_INFO settings;
    };
    const Case refused[] = {
        {"count id", 0, {8, 0, 0, 0, 0, 0, 0}},
        {"no such LED", NLED_SETTINGS_INFO_ID, {10, 1, 0, 0, 0, 0, 0}},
        {"mode 3", NLED_SETTINGS_INFO_ID, {8, 3, 0, 0, 0, 0, 0}},
        {"negative on time", NLED_SETTINGS_INFO_ID, {8, 2, 1000, -1, 1000, 1, 1}},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        SetLastError(0);
        NLED_SETTINGS_INFO settings = c.settings;
        EXPECT_FALSE(NLedSetDevice(c.id, &settings));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, nullptr));
    const auto kept = plat::LedSettings(8);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->TotalCycleTime, 200000);
    EXPECT_EQ(kept->MetaCycleOn, 1);
    EXPECT_EQ(plat::LedSettingsCount(), 1);
    EXPECT_FALSE(plat::LedSettings(3));
}

TEST_F(Devices, LedCountComesFromTheDeviceRoot)
{
    NLED_SETTINGS_INFO off{8, 0, 0, 0, 0, 0, 0};
    const DWORD four = 4;
    Set(L"Platform\\LED", L"Count", REG_DWORD, &four, sizeof four);
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &off));
    // A count that cannot be read is the default, with a log line.
    SetString(L"Platform\\LED", L"Count", L"twelve");
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &off));
}

TEST_F(Devices, VibrationOpensPlaysAndRecordsEachCall)
{
    VibeInt32 device = 0, value = 0, effect = 0;
    ASSERT_EQ(ImmVibeInitialize(33554500), VIBE_S_SUCCESS);
    ASSERT_EQ(ImmVibeOpenDevice(0, &device), VIBE_S_SUCCESS);
    EXPECT_EQ(ImmVibeGetDeviceCapabilityInt32(0, 7, &value), VIBE_S_SUCCESS);
    EXPECT_EQ(value, 10000);
    EXPECT_EQ(ImmVibeSetDevicePropertyInt32(device, VIBE_DEVPROPTYPE_STRENGTH, 10001), VIBE_E_INVALID_ARGUMENT);
    EXPECT_EQ(ImmVibeSetDevicePropertyInt32(device, VIBE_DEVPROPTYPE_STRENGTH, 8000), VIBE_S_SUCCESS);
    ASSERT_EQ(ImmVibePlayIVTEffect(device, kEffects, 1, &effect), VIBE_S_SUCCESS);
    plat::AdvanceClock(249);
    EXPECT_TRUE(immvibe::IsPlaying());
    plat::AdvanceClock(1);
    EXPECT_FALSE(immvibe::IsPlaying());
    ASSERT_EQ(ImmVibePlayIVTEffect(device, kEffects, 0, &effect), VIBE_S_SUCCESS);
    EXPECT_EQ(ImmVibeStopAllPlayingEffects(device), VIBE_S_SUCCESS);
    EXPECT_FALSE(immvibe::IsPlaying());

    struct Case {
        const char* what;
        VibeInt32 device;
        const VibeUInt8* effects;
        VibeInt32 index;
    };
    const VibeUInt8 otherVersion[] = {2, 1, 30, 0, 0, 0};
    const Case refused[] = {
        {"no effect data", device, nullptr, 0},
        {"index past the effects", device, kEffects, 2},
        {"negative index", device, kEffects, -1},
        {"another version", device, otherVersion, 0},
        {"not the open device", device + 1, kEffects, 0},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ImmVibePlayIVTEffect(c.device, c.effects, c.index, &effect), VIBE_E_INVALID_ARGUMENT);
    }
    EXPECT_FALSE(immvibe::IsPlaying());
    EXPECT_EQ(ImmVibeCloseDevice(device), VIBE_S_SUCCESS);
    EXPECT_EQ(ImmVibeTerminate(), VIBE_S_SUCCESS);
    const auto calls = immvibe::Calls();
    ASSERT_EQ(calls.size(), 15u);
    EXPECT_EQ(calls[0], "ImmVibeInitialize(33554500) = 0");
    EXPECT_EQ(calls[4], "ImmVibeSetDevicePropertyInt32(1, 3, 8000) = 0");
    EXPECT_EQ(calls[8], "ImmVibePlayIVTEffect(1, NULL, 0) 0 ms = -3");
}

TEST_F(Devices, VibrationDeviceCanBeAbsent)
{
    SetString(L"Platform\\Vibration", L"Device", L"None");
    VibeInt32 device = 7;
    ASSERT_EQ(ImmVibeInitialize(33554500), VIBE_S_SUCCESS);
    EXPECT_EQ(ImmVibeOpenDevice(0, &device), VIBE_E_NO_DEVICE);
    EXPECT_EQ(device, VIBE_INVALID_DEVICE_HANDLE);
    EXPECT_EQ(ImmVibeStopAllPlayingEffects(device), VIBE_E_INVALID_ARGUMENT);
    EXPECT_EQ(ImmVibeInitialize(33554500), VIBE_E_ALREADY_INITIALIZED);
}
