// The touch-vibration library stand-in: records each call, plays effects for
// their length on the platform clock.
#include "ImmVibe.h"

#include <cstdarg>
#include <cstdio>
#include <cwctype>
#include <mutex>
#include <string>

#include "ImmVibeRecord.h"
#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/error.h"
#include "plat/registry.h"

namespace {

struct Library {
    std::mutex mutex;
    std::vector<std::string> calls;
    bool initialized = false;
    VibeInt32 open = VIBE_INVALID_DEVICE_HANDLE;
    VibeInt32 lastHandle = 0;
    VibeInt32 lastEffect = 0;
    std::uint64_t playingUntilMs = 0;
};

Library& L()
{
    static Library* const library = new Library;
    return *library;
}

// Logs and keeps the call; the caller holds the lock.
VibeStatus Result(const char* format, VibeStatus status, ...)
{
    char text[160];
    va_list args;
    va_start(args, status);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::string line = std::string(text) + " = " + std::to_string(status);
    L().calls.push_back(line);
    plat::DebugLine(L"ImmVibe: %hs", line.c_str());
    return status;
}

bool DeviceThere()
{
    WCHAR text[16] = {};
    const HRESULT hr = RegistryGetString(HKEY_LOCAL_MACHINE, L"Platform\\Vibration", L"Device", text, 16);
    if (FAILED(hr)) {
        if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            plat::DebugLine(L"ImmVibe: \"Device\" cannot be read, a device is there");
        return true;
    }
    std::wstring value = text;
    for (auto& c : value) c = static_cast<WCHAR>(std::towlower(c));
    return value != L"none";
}

}  // namespace

extern "C" {

VibeStatus ImmVibeInitialize(std::uint32_t version)
{
    std::lock_guard lock(L().mutex);
    const VibeStatus status = L().initialized ? VIBE_E_ALREADY_INITIALIZED : VIBE_S_SUCCESS;
    L().initialized = true;
    return Result("ImmVibeInitialize(%u)", status, version);
}

VibeStatus ImmVibeTerminate()
{
    std::lock_guard lock(L().mutex);
    const VibeStatus status = L().initialized ? VIBE_S_SUCCESS : VIBE_E_NOT_INITIALIZED;
    L().initialized = false;
    L().open = VIBE_INVALID_DEVICE_HANDLE;
    L().playingUntilMs = 0;
    return Result("ImmVibeTerminate()", status);
}

VibeStatus ImmVibeOpenDevice(VibeInt32 deviceIndex, VibeInt32* device)
{
    std::lock_guard lock(L().mutex);
    VibeStatus status = VIBE_S_SUCCESS;
    if (!L().initialized)
        status = VIBE_E_NOT_INITIALIZED;
    else if (!device || deviceIndex != 0)
        status = VIBE_E_INVALID_ARGUMENT;
    else if (!DeviceThere())
        status = VIBE_E_NO_DEVICE;
    if (device) *device = VIBE_INVALID_DEVICE_HANDLE;
    if (status == VIBE_S_SUCCESS) *device = L().open = ++L().lastHandle;
    return Result("ImmVibeOpenDevice(%d)", status, deviceIndex);
}

VibeStatus ImmVibeCloseDevice(VibeInt32 device)
{
    std::lock_guard lock(L().mutex);
    const VibeStatus status = device == L().open && device != VIBE_INVALID_DEVICE_HANDLE ? VIBE_S_SUCCESS
                                                                                         : VIBE_E_INVALID_ARGUMENT;
    if (status == VIBE_S_SUCCESS) {
        L().open = VIBE_INVALID_DEVICE_HANDLE;
        L().playingUntilMs = 0;
    }
    return Result("ImmVibeCloseDevice(%d)", status, device);
}

VibeStatus ImmVibeSetDevicePropertyInt32(VibeInt32 device, VibeInt32 property, VibeInt32 value)
{
    std::lock_guard lock(L().mutex);
    VibeStatus status = VIBE_S_SUCCESS;
    if (device != L().open || device == VIBE_INVALID_DEVICE_HANDLE)
        status = VIBE_E_INVALID_ARGUMENT;
    else if (property == VIBE_DEVPROPTYPE_STRENGTH && (value < 0 || value > 10000))
        status = VIBE_E_INVALID_ARGUMENT;
    else if (property != VIBE_DEVPROPTYPE_STRENGTH && property != VIBE_DEVPROPTYPE_PRIORITY)
        status = VIBE_E_INVALID_ARGUMENT;
    return Result("ImmVibeSetDevicePropertyInt32(%d, %d, %d)", status, device, property, value);
}

VibeStatus ImmVibeGetDeviceCapabilityInt32(VibeInt32 deviceIndex, VibeInt32 capability, VibeInt32* value)
{
    std::lock_guard lock(L().mutex);
    VibeStatus status = VIBE_S_SUCCESS;
    if (!L().initialized)
        status = VIBE_E_NOT_INITIALIZED;
    else if (!value || deviceIndex != 0 || (capability != 6 && capability != 7))
        status = VIBE_E_INVALID_ARGUMENT;
    else
        *value = capability == 6 ? 1 : 10000;
    return Result("ImmVibeGetDeviceCapabilityInt32(%d, %d)", status, deviceIndex, capability);
}

VibeStatus ImmVibeStopAllPlayingEffects(VibeInt32 device)
{
    std::lock_guard lock(L().mutex);
    const VibeStatus status = device == L().open && device != VIBE_INVALID_DEVICE_HANDLE ? VIBE_S_SUCCESS
                                                                                         : VIBE_E_INVALID_ARGUMENT;
    if (status == VIBE_S_SUCCESS) L().playingUntilMs = 0;
    return Result("ImmVibeStopAllPlayingEffects(%d)", status, device);
}

VibeStatus ImmVibePlayIVTEffect(VibeInt32 device, const VibeUInt8* effects, VibeInt32 index, VibeInt32* effect)
{
    std::lock_guard lock(L().mutex);
    VibeStatus status = VIBE_S_SUCCESS;
    unsigned lengthMs = 0;
    if (device != L().open || device == VIBE_INVALID_DEVICE_HANDLE || !effects || !effect || index < 0 ||
        effects[0] != 1 || index >= effects[1]) {
        status = VIBE_E_INVALID_ARGUMENT;
    } else {
        const VibeUInt8* entry = effects + 2 + 4 * index;
        lengthMs = entry[0] | entry[1] << 8;
        L().playingUntilMs = plat::NowMs() + lengthMs;
        *effect = ++L().lastEffect;
    }
    return Result("ImmVibePlayIVTEffect(%d, %s, %d) %u ms", status, device, effects ? "data" : "NULL", index,
                  lengthMs);
}

}  // extern "C"

namespace immvibe {

std::vector<std::string> Calls()
{
    std::lock_guard lock(L().mutex);
    return L().calls;
}

void Reset()
{
    std::lock_guard lock(L().mutex);
    L().calls.clear();
    L().lastHandle = 0;
    L().lastEffect = 0;
    L().initialized = false;
    L().open = VIBE_INVALID_DEVICE_HANDLE;
    L().playingUntilMs = 0;
}

bool IsPlaying()
{
    std::lock_guard lock(L().mutex);
    return plat::NowMs() < L().playingUntilMs;
}

}  // namespace immvibe
