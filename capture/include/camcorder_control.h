// Camcorder control: the video sizes of the two recording modes (normal and
// MMS), the stream option and the recording state machine, whose moves
// start, stop, pause and resume the recording graph with the light, the LED
// and the sounds that go with them. The graph's reports move it on: the
// states 4, 16 and 64 are set from outside when they arrive.
#pragma once

#include <atomic>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// Recording state bits.
inline constexpr DWORD RECORD_STATE_IDLE = 1;
inline constexpr DWORD RECORD_STATE_START_ASKED = 2;
inline constexpr DWORD RECORD_STATE_RECORDING = 4;
inline constexpr DWORD RECORD_STATE_STOP_ASKED = 8;
inline constexpr DWORD RECORD_STATE_STOPPED = 16;
inline constexpr DWORD RECORD_STATE_PAUSE_ASKED = 32;
inline constexpr DWORD RECORD_STATE_PAUSED = 64;

class CCamcorderControl : public CDrawEvent, public CSingleton<CCamcorderControl> {
public:
    using CSingleton<CCamcorderControl>::GetInstance;

    CCamcorderControl();
    ~CCamcorderControl() override;

    // Camcorder mode for the GUI status, the settings and the graph; 1.
    int EnterCamcorderMode();
    // 0 normal, 1 MMS, 2 the whole word; applies that mode's size at once.
    void SelectSizeMode(int mode);
    DWORD GetSizeMode() const { return m_nSizeMode.load(); }
    int ApplyVideoSize(int value, int apply) { return SetVideoSize(static_cast<int>(m_nSizeMode.load()), value, apply); }
    // Mode 0: bits 0 to 3, 1: bits 4 to 7, 2: the whole word, other modes 6.
    int GetVideoSizeOf(int mode) const;
    int GetCurrentVideoSize() const { return GetVideoSizeOf(static_cast<int>(m_nSizeMode.load())); }
    // Selector 0: the normal-mode size (bits 0 to 3), 1: the MMS-mode size
    // (bits 4 to 7), 2: the whole packed word; 0 for other selectors.
    int SetVideoSize(int selector, int value, int apply);
    // Video quality 0 to 2, handed to the stream configuration.
    void SetStreamOption(DWORD option);
    DWORD GetStreamOption() const { return m_nStreamOption.load(); }

    // Recording state bits: 0x4 recording, 0x40 paused.
    DWORD GetState() const;
    void SetState(DWORD state) { m_nState.store(state); }
    // Megabytes left beyond a 10 MB reserve; 0 or less means full.
    int GetRemainingCapacity();

    // Each acts only from its states (start: 1; stop: 4, 64; pause: 4;
    // resume: 64) and returns the new state.
    DWORD StartRecording();
    DWORD StopRecording();
    DWORD PauseRecording();
    DWORD ResumeRecording();

private:
    std::atomic<DWORD> m_nState{RECORD_STATE_IDLE};
    std::atomic<DWORD> m_nSizeMode{0};
    std::atomic<DWORD> m_nVideoSizes{0};
    std::atomic<DWORD> m_nStreamOption{0};
};
