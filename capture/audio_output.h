// The "Audio Output" wave device as the sound control plays its cues on it:
// shared by cues read from a file and preloaded ones.
#pragma once

#include <functional>

#include "plat/windows.h"

// The first device whose name begins with "Audio Output", or -1.
int FindAudioOutput();

// Opens the device with the callback and instance, sends the driver value,
// raises a muted device (its volume is kept in savedVolume), routes it,
// fills the header (fill returns the sample bytes), prepares and writes it.
// On a failure whatever was done is undone and the failing result returned;
// *device is the open handle on success.
MMRESULT StartOnAudioOutput(int index, const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance,
                            DWORD driverValue, WAVEHDR* header, DWORD* savedVolume,
                            const std::function<DWORD()>& fill, HWAVEOUT* device);

// The end of a cue on the driver's thread: the header unprepared and the
// volume restored; then, once the cue's memory is let go, the end announced:
// "WAVE_OUT_DONE" set, the device noted as finished and the main window told
// (it closes the device).
void EndOnAudioOutput(HWAVEOUT device, WAVEHDR* header, DWORD savedVolume);
void AnnounceWaveDone(HWAVEOUT device);

// Made (and emptied) before a cue starts, so that its end is not missed.
HANDLE MakeWaveDoneEvent();
// Waits for the cue's end (2000 ms at most) and closes the event.
void WaitForWaveDone(HANDLE done);
