// The touch-vibration library: one vibration device, effects played from
// effect data blocks.
//
// The stand-in's effect data: byte 0 = 1 (the version), byte 1 = number of
// effects, then per effect its length in ms and its magnitude (0..10000),
// each a little-endian 16-bit word. Configured per device root:
//
//     HKEY_LOCAL_MACHINE\Platform\Vibration
//         "Device" = sz "none": ImmVibeOpenDevice fails (default: a device)
#pragma once

#include <cstdint>

using VibeInt32 = std::int32_t;
using VibeUInt8 = std::uint8_t;
using VibeStatus = std::int32_t;

inline constexpr VibeStatus VIBE_S_SUCCESS = 0;
inline constexpr VibeStatus VIBE_E_ALREADY_INITIALIZED = -1;
inline constexpr VibeStatus VIBE_E_NOT_INITIALIZED = -2;
inline constexpr VibeStatus VIBE_E_INVALID_ARGUMENT = -3;
inline constexpr VibeStatus VIBE_E_FAIL = -4;
inline constexpr VibeStatus VIBE_E_NO_DEVICE = -5;

inline constexpr VibeInt32 VIBE_INVALID_DEVICE_HANDLE = -1;
// Device properties.
inline constexpr VibeInt32 VIBE_DEVPROPTYPE_PRIORITY = 1;
inline constexpr VibeInt32 VIBE_DEVPROPTYPE_STRENGTH = 3;  // 0..10000

extern "C" {
VibeStatus ImmVibeInitialize(std::uint32_t version);
VibeStatus ImmVibeTerminate();
VibeStatus ImmVibeOpenDevice(VibeInt32 deviceIndex, VibeInt32* device);
VibeStatus ImmVibeCloseDevice(VibeInt32 device);
VibeStatus ImmVibeSetDevicePropertyInt32(VibeInt32 device, VibeInt32 property, VibeInt32 value);
// Capabilities 6 (actuators) and 7 (the strongest magnitude).
VibeStatus ImmVibeGetDeviceCapabilityInt32(VibeInt32 deviceIndex, VibeInt32 capability, VibeInt32* value);
VibeStatus ImmVibeStopAllPlayingEffects(VibeInt32 device);
// NULL or malformed effect data, or an index past its effects: invalid argument.
VibeStatus ImmVibePlayIVTEffect(VibeInt32 device, const VibeUInt8* effects, VibeInt32 index, VibeInt32* effect);
}
