// The notification LEDs: the last settings of each, kept and logged.
#include "plat/nled.h"

#include <map>
#include <mutex>

#include "plat/debug.h"
#include "plat/error.h"
#include "plat/registry.h"

namespace {

constexpr DWORD kDefaultCount = 10;

struct Leds {
    std::mutex mutex;
    std::map<UINT, NLED_SETTINGS_INFO> last;
    int accepted = 0;
};

Leds& State()
{
    static Leds* const leds = new Leds;
    return *leds;
}

DWORD LedCount()
{
    DWORD count = kDefaultCount;
    const HRESULT hr = RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"Platform\\LED", L"Count", &count);
    if (FAILED(hr)) {
        if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            plat::DebugLine(L"LED: \"Count\" cannot be read, %u LEDs", kDefaultCount);
        return kDefaultCount;
    }
    return count;
}

}  // namespace

BOOL NLedSetDevice(UINT deviceId, void* input)
{
    const auto* settings = static_cast<const NLED_SETTINGS_INFO*>(input);
    if (deviceId != NLED_SETTINGS_INFO_ID || !settings || settings->LedNum >= LedCount() ||
        settings->OffOnBlink < 0 || settings->OffOnBlink > 2 || settings->TotalCycleTime < 0 ||
        settings->OnTime < 0 || settings->OffTime < 0 || settings->MetaCycleOn < 0 || settings->MetaCycleOff < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Leds& leds = State();
    {
        std::lock_guard lock(leds.mutex);
        leds.last[settings->LedNum] = *settings;
        ++leds.accepted;
    }
    plat::DebugLine(L"LED %u: mode %d, cycle %d us (on %d, off %d), meta %d/%d", settings->LedNum,
                    settings->OffOnBlink, settings->TotalCycleTime, settings->OnTime, settings->OffTime,
                    settings->MetaCycleOn, settings->MetaCycleOff);
    return TRUE;
}

namespace plat {

std::optional<NLED_SETTINGS_INFO> LedSettings(UINT led)
{
    Leds& leds = State();
    std::lock_guard lock(leds.mutex);
    auto it = leds.last.find(led);
    if (it == leds.last.end()) return std::nullopt;
    return it->second;
}

int LedSettingsCount()
{
    Leds& leds = State();
    std::lock_guard lock(leds.mutex);
    return leds.accepted;
}

void ResetLeds()
{
    Leds& leds = State();
    std::lock_guard lock(leds.mutex);
    leds.last.clear();
    leds.accepted = 0;
}

}  // namespace plat
