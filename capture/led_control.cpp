#include "led_control.h"

namespace {

constexpr UINT kIndicatorLed = 8;
constexpr INT kOff = 0, kOn = 1, kBlink = 2;
constexpr LONG kRecordingCycleUs = 5000000;

}  // namespace

CLedControl::CLedControl() = default;
CLedControl::~CLedControl() = default;

BOOL CLedControl::SetLed(int mode, LONG totalCycle, LONG onTime, LONG offTime, int metaOn, int metaOff)
{
    NLED_SETTINGS_INFO settings{kIndicatorLed, mode, totalCycle, onTime, offTime, metaOn, metaOff};
    return NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
}

// Times are the driver's microseconds: a period of p ms lights p ms and
// rests p ms, count times.
BOOL CLedControl::Blink(int periodMs, int count)
{
    return SetLed(kBlink, periodMs * 2000, periodMs * 1000, periodMs * 1000, count, count);
}

BOOL CLedControl::Off() { return SetLed(kOff, 0, 0, 0, 0, 0); }

BOOL CLedControl::BlinkRecording() { return SetLed(kOn, kRecordingCycleUs, kRecordingCycleUs, 0, 0, 0); }
