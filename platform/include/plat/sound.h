// Sound output: PlaySoundW and the wave-out device "Audio Output".
//
// Nothing is heard. Each sound takes its play time on the platform clock
// (virtual in tests), and with
//
//     HKEY_LOCAL_MACHINE\Platform\Sound
//         "Record" = sz device folder
//
// every sound played is also written there as "NNNN-name.wav", numbered in
// playing order after the highest number already there ("name" is the file's
// own name for PlaySoundW, "wave" for a buffer written to the wave device).
#pragma once

#include <string>
#include <vector>

#include "plat/mmtimer.h"
#include "plat/types.h"

// ---- PlaySoundW ----
inline constexpr DWORD SND_SYNC = 0x0000;
inline constexpr DWORD SND_ASYNC = 0x0001;
inline constexpr DWORD SND_NODEFAULT = 0x0002;
inline constexpr DWORD SND_NOWAIT = 0x2000;
inline constexpr DWORD SND_FILENAME = 0x20000;

// Plays a wave file (SND_FILENAME); NULL stops the sound playing. A new sound
// stops the one playing, but with SND_NOWAIT it fails while one plays.
// Synchronous play returns after the sound's play time. FALSE for a missing
// or unreadable file (nothing plays) and for names that are not files.
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

// ---- Wave output ----
struct HWAVEOUT__ {
    int unused;
};
using HWAVEOUT = HWAVEOUT__*;
using LPHWAVEOUT = HWAVEOUT*;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT WAVERR_BADFORMAT = 32;
inline constexpr MMRESULT WAVERR_STILLPLAYING = 33;
inline constexpr MMRESULT WAVERR_UNPREPARED = 34;

inline constexpr UINT WAVE_MAPPER = static_cast<UINT>(-1);
inline constexpr WORD WAVE_FORMAT_PCM = 1;
inline constexpr DWORD CALLBACK_NULL = 0x00000;
inline constexpr DWORD CALLBACK_FUNCTION = 0x30000;

inline constexpr UINT WOM_OPEN = 0x3BB;
inline constexpr UINT WOM_CLOSE = 0x3BC;
inline constexpr UINT WOM_DONE = 0x3BD;

inline constexpr DWORD WHDR_DONE = 0x01;
inline constexpr DWORD WHDR_PREPARED = 0x02;
inline constexpr DWORD WHDR_INQUEUE = 0x10;

inline constexpr int MAXPNAMELEN = 32;

#pragma pack(push, 2)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
using LPCWAVEFORMATEX = const WAVEFORMATEX*;

struct WAVEHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
    DWORD dwLoops;
    WAVEHDR* lpNext;
    DWORD_PTR reserved;
};
using LPWAVEHDR = WAVEHDR*;

struct WAVEOUTCAPSW {
    WORD wMid;
    WORD wPid;
    UINT vDriverVersion;
    WCHAR szPname[MAXPNAMELEN];
    DWORD dwFormats;
    WORD wChannels;
    WORD wReserved1;
    DWORD dwSupport;
};

// The device's callback, on the driver's thread; the driver holds no lock
// while it runs, so it may call the wave functions.
using LPWAVECALLBACK = void (*)(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2);

// One device, index 0, "Audio Output".
UINT waveOutGetNumDevs();
MMRESULT waveOutGetDevCapsW(UINT_PTR device, WAVEOUTCAPSW* caps, UINT size);
// PCM only, 1 or 2 channels of 8 or 16 bits. WOM_OPEN and WOM_CLOSE reach
// the callback on the calling thread, WOM_DONE on the driver's thread once
// the buffer's play time has passed.
MMRESULT waveOutOpen(LPHWAVEOUT device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags);
// WAVERR_STILLPLAYING while a written buffer is not done.
MMRESULT waveOutClose(HWAVEOUT device);
MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size);
MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size);
// NULL (or the index 0) is the device itself; an open handle has a volume of
// its own, the device's when it was opened. Low word left, high word right.
MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume);
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume);
// Driver messages are the audio driver's; they are recorded and answered 0.
// The device may be an open handle or the index 0.
MMRESULT waveOutMessage(HWAVEOUT device, UINT message, DWORD_PTR param1, DWORD_PTR param2);

namespace plat {

// What was played, in order, for tests: "name.wav" for PlaySoundW and
// "wave" for a buffer written to the wave device.
struct PlayedSound {
    std::wstring name;
    DWORD bytes = 0;       // sample data
    DWORD durationMs = 0;  // its play time
    std::uint64_t startMs = 0;
};
std::vector<PlayedSound> PlayedSounds();

struct WaveOutDriverMessage {
    HWAVEOUT device;  // the handle, or the index as a handle
    UINT message;
    DWORD_PTR param1, param2;
};
std::vector<WaveOutDriverMessage> WaveOutDriverMessages();
// Forgets what was played and the driver messages; the device volume goes
// back to 0xFFFFFFFF.
void ResetSoundRecord();

// A new open wave-out handle without a callback.
HWAVEOUT OpenWaveOutDevice();
bool IsWaveOutDeviceOpen(HWAVEOUT device);
// True while a PlaySoundW sound plays.
bool IsSoundPlaying();

}  // namespace plat
