// The camera's sound cues: short cues through PlaySoundW, the self-timer's
// ticks through the "Audio Output" wave device, and that device's volume.
#pragma once

#include <atomic>

#include "plat/windows.h"
#include "singleton.h"

class CCueSlot;

class CSoundControl : public CSingleton<CSoundControl> {
public:
    using CSingleton<CSoundControl>::GetInstance;

    CSoundControl();
    ~CSoundControl();

    // Shutter sound 0 to 2; another index plays nothing and gives 1.
    BOOL PlayShutter(int index);
    // Waits for the cue, then 300 ms more.
    BOOL PlayStartRecording();
    BOOL PlayStopRecording();
    BOOL PlayAutoFocus();
    BOOL PlayAutoFocusFail();
    BOOL PlayTimer();
    BOOL PlayTimerEnd();
    // Stops the sound being played.
    void Stop();

    // Plays a wave file on the "Audio Output" device after sending it the
    // driver value; a muted device is raised for the cue and set back after.
    // With wait, returns once the cue ended (2000 ms at most). 0 when the
    // cue is playing (or played); the failing result otherwise.
    MMRESULT PlayWaveFile(LPCWSTR path, BOOL wait, DWORD driverValue);
    // The wave device's callback: ends a cue that PlayWaveFile started.
    static void OnWaveDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                           DWORD_PTR param2);

    // One step of six (0, 13107, ... 65535) up or down, on every device.
    void VolumeStep(BOOL up);
    void VolumeUp() { VolumeStep(TRUE); }
    void VolumeDown() { VolumeStep(FALSE); }
    DWORD GetVolume() const { return m_volume; }

    MMRESULT SendMessageToAudio(UINT message, DWORD_PTR param1, DWORD_PTR param2);
    void BlockSpeakerSound(BOOL block);

    // Which of the shutter sounds (0 to 2) the camera plays.
    void SetShutterIndex(int index);
    int GetShutterIndex() const { return m_shutterIndex; }

    // Cues kept loaded: the three shutter sounds and the two recording cues
    // (a third set of two stays empty). Nothing in the program plays them.
    void PreloadCues();
    // 0 when loaded, 1 when the file cannot be opened (the slot stays empty).
    int LoadCueSlot(CCueSlot* slot, LPCWSTR path);
    MMRESULT PlayCueSlot(CCueSlot* slot, BOOL wait, DWORD driverValue);
    // Shutter slots 0 to 2, recording slots 0 (start) and 1 (stop); else null.
    CCueSlot* ShutterCue(int index);
    CCueSlot* RecordingCue(int index);

    // Set by the wave callback when a cue ended, with that cue's device.
    bool IsDeviceDone() const;
    HWAVEOUT GetDoneDevice() const;

private:
    std::atomic<UINT> m_audioDevice{0};
    BOOL m_speakerBlocked = FALSE;
    DWORD m_volume = 0;
    int m_volumeStep = 0;
    std::atomic<int> m_shutterIndex{0};
    // Made on first use and let go by the destructor (a slot still
    // playing is freed by its own end).
    struct CueSlots;
    CueSlots& Cues();
    CueSlots* m_cues = nullptr;
};
