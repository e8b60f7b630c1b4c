#include "haptic_control.h"

#include "ImmVibe.h"

namespace {

constexpr const WCHAR* kVibeKey = L"ControlPanel\\VibeTonz";
constexpr std::uint32_t kLibraryVersion = 33554500;
constexpr VibeInt32 kCapabilityActuators = 6;
constexpr VibeInt32 kCapabilityMagnitude = 7;
constexpr VibeInt32 kPriority = 10;

// Effect blocks: version 1, one effect of (length ms, magnitude) in 16-bit
// little-endian words. A is the press, B the release, 0 a longer buzz.
constexpr BYTE kEffectA[] = {1, 1, 30, 0, 0x10, 0x27};
constexpr BYTE kEffectB[] = {1, 1, 20, 0, 0x70, 0x17};
constexpr BYTE kEffect0[] = {1, 1, 60, 0, 0x10, 0x27};

int StrengthOf(int level)
{
    switch (level) {
    case 0: return 2000;
    case 1: return 4000;
    case 2: return 6000;
    case 3: return 8000;
    default: return 10000;
    }
}

DWORD ReadSetting(LPCWSTR name)
{
    DWORD value = 0;
    if (FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, kVibeKey, name, &value))) return 0;
    return value;
}

}  // namespace

CHapticControl::CHapticControl()
{
    m_enabled = ReadSetting(L"TouchVibeOn") == 1;
    m_level = static_cast<int>(ReadSetting(L"TouchVibeStrength"));
    ImmVibeInitialize(kLibraryVersion);
    VibeInt32 device = VIBE_INVALID_DEVICE_HANDLE;
    if (ImmVibeOpenDevice(0, &device) != VIBE_S_SUCCESS) {
        // Without a device the controls simply give no feedback.
        plat::DebugLine(L"CHapticControl: no vibration device");
        ImmVibeTerminate();
        return;
    }
    m_device = device;
    ImmVibeSetDevicePropertyInt32(m_device, VIBE_DEVPROPTYPE_PRIORITY, kPriority);
    VibeInt32 value = 0;
    if (ImmVibeGetDeviceCapabilityInt32(0, kCapabilityActuators, &value) == VIBE_S_SUCCESS) m_capability6 = value;
    if (ImmVibeGetDeviceCapabilityInt32(0, kCapabilityMagnitude, &value) == VIBE_S_SUCCESS) m_capability7 = value;
    m_opened = 1;
}

CHapticControl::~CHapticControl()
{
    if (m_opened) Close();
}

void CHapticControl::Play(const BYTE* effect)
{
    if (!m_enabled || !m_opened) return;
    m_strength = StrengthOf(m_level);
    ImmVibeSetDevicePropertyInt32(m_device, VIBE_DEVPROPTYPE_STRENGTH, m_strength);
    ImmVibeStopAllPlayingEffects(m_device);
    VibeInt32 handle = 0;
    ImmVibePlayIVTEffect(m_device, effect, 0, &handle);
    m_effect = handle;
}

void CHapticControl::PlayEffectA() { Play(kEffectA); }
void CHapticControl::PlayEffectB() { Play(kEffectB); }
void CHapticControl::PlayEffect0() { Play(kEffect0); }

void CHapticControl::Close()
{
    m_opened = 0;
    ImmVibeStopAllPlayingEffects(m_device);
    ImmVibeCloseDevice(m_device);
    m_device = VIBE_INVALID_DEVICE_HANDLE;
    ImmVibeTerminate();
}
