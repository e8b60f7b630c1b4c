// A cue kept loaded for the "Audio Output" wave device: its file opened,
// a buffer of its sample length, a header for the device. Played, it reads
// the samples once and keeps them, so it can be played again.
#pragma once

#include <atomic>
#include <memory>

#include "plat/windows.h"
#include "wave_file.h"

class CCueSlot {
public:
    CCueSlot();
    ~CCueSlot();
    CCueSlot(const CCueSlot&) = delete;
    CCueSlot& operator=(const CCueSlot&) = delete;

    // 0 when the file is loaded; 1 when it cannot be opened (the slot stays empty).
    int Load(LPCWSTR path);
    bool IsLoaded() const { return m_buffer != nullptr; }
    bool IsPlaying() const { return m_state.load() == kPlaying; }
    // Plays the cue as a wave file is played (driver value, a muted device
    // raised); with wait, returns once it ended (2000 ms at most). 0, or the
    // first failing result: an empty slot, a slot still playing, the device's.
    MMRESULT Play(BOOL wait, DWORD driverValue);

    // Lets a slot go: one still playing is freed by its own end instead.
    static void Release(std::unique_ptr<CCueSlot> slot);

private:
    enum : int { kIdle, kPlaying, kReleased };
    static void OnDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR param2);

    CWaveFile m_file;
    std::unique_ptr<char[]> m_buffer;
    DWORD m_length = 0;
    DWORD m_read = 0;  // sample bytes in the buffer once read
    bool m_readDone = false;
    WAVEHDR m_header = {};
    DWORD m_savedVolume = 0;
    std::atomic<int> m_state{kIdle};
};
