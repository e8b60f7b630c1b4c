#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "ImmVibeRecord.h"
#include "haptic_control.h"
#include "led_control.h"
#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/nled.h"
#include "plat/registry.h"

namespace {

class LedHaptic : public ::testing::Test {
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
        CHapticControl::ReleaseInstance();
        CLedControl::ReleaseInstance();
        immvibe::Reset();
        plat::UseRealClock();
        plat::CloseRegistry();
    }
    static void SetVibe(DWORD on, DWORD strength)
    {
        RegistrySetDWORD(HKEY_CURRENT_USER, L"ControlPanel\\VibeTonz", L"TouchVibeOn", on);
        RegistrySetDWORD(HKEY_CURRENT_USER, L"ControlPanel\\VibeTonz", L"TouchVibeStrength", strength);
    }
    // The calls made since the control was created.
    static std::vector<std::string> CallsAfter(std::size_t skip)
    {
        auto calls = immvibe::Calls();
        return {calls.begin() + static_cast<long>(std::min(skip, calls.size())), calls.end()};
    }
    lumtest::TempDir root_;
};

}  // namespace

TEST_F(LedHaptic, LedRecordsOfEachOperation)
{
    struct Case {
        const char* what;
        BOOL (*call)();
        NLED_SETTINGS_INFO expected;
    };
    const Case cases[] = {
        {"shot", [] { return CLedControl::GetInstance()->Blink(100, 1); }, {8, 2, 200000, 100000, 100000, 1, 1}},
        {"timer tick", [] { return CLedControl::GetInstance()->Blink(300, 1); }, {8, 2, 600000, 300000, 300000, 1, 1}},
        {"last three seconds", [] { return CLedControl::GetInstance()->Blink(150, 9); },
         {8, 2, 300000, 150000, 150000, 9, 9}},
        {"pause", [] { return CLedControl::GetInstance()->Blink(500, 10000000); },
         {8, 2, 1000000, 500000, 500000, 10000000, 10000000}},
        {"recording", [] { return CLedControl::GetInstance()->BlinkRecording(); }, {8, 1, 5000000, 5000000, 0, 0, 0}},
        {"off", [] { return CLedControl::GetInstance()->Off(); }, {8, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(c.call());
        const auto got = plat::LedSettings(8);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->OffOnBlink, c.expected.OffOnBlink);
        EXPECT_EQ(got->TotalCycleTime, c.expected.TotalCycleTime);
        EXPECT_EQ(got->OnTime, c.expected.OnTime);
        EXPECT_EQ(got->OffTime, c.expected.OffTime);
        EXPECT_EQ(got->MetaCycleOn, c.expected.MetaCycleOn);
        EXPECT_EQ(got->MetaCycleOff, c.expected.MetaCycleOff);
    }
    // The driver's answer comes back: a device with fewer LEDs refuses.
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Platform\\LED", L"Count", 2);
    EXPECT_FALSE(CLedControl::GetInstance()->Off());
}

TEST_F(LedHaptic, VibrationStrengthFollowsTheLevel)
{
    struct Case {
        DWORD level;
        const char* property;
    };
    const Case cases[] = {
        {0, "ImmVibeSetDevicePropertyInt32(1, 3, 2000) = 0"}, {1, "ImmVibeSetDevicePropertyInt32(1, 3, 4000) = 0"},
        {2, "ImmVibeSetDevicePropertyInt32(1, 3, 6000) = 0"}, {3, "ImmVibeSetDevicePropertyInt32(1, 3, 8000) = 0"},
        {7, "ImmVibeSetDevicePropertyInt32(1, 3, 10000) = 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        immvibe::Reset();
        SetVibe(1, c.level);
        CHapticControl* haptic = CHapticControl::GetInstance();
        ASSERT_TRUE(haptic->IsOpened());
        const std::size_t opening = immvibe::Calls().size();
        haptic->PlayEffectA();
        const auto calls = CallsAfter(opening);
        ASSERT_EQ(calls.size(), 3u);
        EXPECT_EQ(calls[0], c.property);
        EXPECT_EQ(calls[1], "ImmVibeStopAllPlayingEffects(1) = 0");
        EXPECT_EQ(calls[2], "ImmVibePlayIVTEffect(1, data, 0) 30 ms = 0");
        CHapticControl::ReleaseInstance();
    }
}

TEST_F(LedHaptic, NoVibrationWhenSwitchedOffOrWithoutADevice)
{
    struct Case {
        const char* what;
        DWORD on;
        const WCHAR* device;
    };
    const Case cases[] = {
        {"TouchVibeOn 0", 0, L""},
        {"TouchVibeOn 2", 2, L""},
        {"no device", 1, L"none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        immvibe::Reset();
        SetVibe(c.on, 3);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Vibration", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Device", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.device),
                       static_cast<DWORD>((std::wcslen(c.device) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
        CHapticControl* haptic = CHapticControl::GetInstance();
        const std::size_t opening = immvibe::Calls().size();
        haptic->PlayEffectA();
        haptic->PlayEffectB();
        haptic->PlayEffect0();
        EXPECT_TRUE(CallsAfter(opening).empty());
        EXPECT_FALSE(immvibe::IsPlaying());
        CHapticControl::ReleaseInstance();
    }
}

TEST_F(LedHaptic, OpeningAndClosingTheVibrationDevice)
{
    SetVibe(1, 1);
    CHapticControl* haptic = CHapticControl::GetInstance();
    haptic->PlayEffectB();
    EXPECT_TRUE(immvibe::IsPlaying());
    plat::AdvanceClock(20);
    EXPECT_FALSE(immvibe::IsPlaying());
    haptic->Close();
    haptic->PlayEffectA();  // closed: nothing more
    const std::vector<std::string> expected = {
        "ImmVibeInitialize(33554500) = 0",
        "ImmVibeOpenDevice(0) = 0",
        "ImmVibeSetDevicePropertyInt32(1, 1, 10) = 0",
        "ImmVibeGetDeviceCapabilityInt32(0, 6) = 0",
        "ImmVibeGetDeviceCapabilityInt32(0, 7) = 0",
        "ImmVibeSetDevicePropertyInt32(1, 3, 4000) = 0",
        "ImmVibeStopAllPlayingEffects(1) = 0",
        "ImmVibePlayIVTEffect(1, data, 0) 20 ms = 0",
        "ImmVibeStopAllPlayingEffects(1) = 0",
        "ImmVibeCloseDevice(1) = 0",
        "ImmVibeTerminate() = 0",
    };
    EXPECT_EQ(immvibe::Calls(), expected);
}
