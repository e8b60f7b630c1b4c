// Player control: the movie screens' facade over the player graph. It opens
// and closes a video file and plays, pauses and stops it, keeping a state
// word the screens test, and hands every decoded frame, as RGB565, to the
// screen that shows them.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "draw_event.h"
#include "plat/windows.h"
#include "singleton.h"

// Playback states: each operation shows the first value while it runs, the
// second after success, and the earlier state again after a failure.
inline constexpr DWORD PLAYER_STATE_BUSY = 2;
inline constexpr DWORD PLAYER_STATE_READY = 4;
inline constexpr DWORD PLAYER_STATE_STARTING = 32;
inline constexpr DWORD PLAYER_STATE_PLAYING = 64;
inline constexpr DWORD PLAYER_STATE_STOPPING = 128;
inline constexpr DWORD PLAYER_STATE_STOPPED = 256;
inline constexpr DWORD PLAYER_STATE_PAUSING = 512;
inline constexpr DWORD PLAYER_STATE_PAUSED = 1024;

// The screen that shows the played frames (the movie review screen's frame
// slot). Called on the player's streaming thread.
class CPlayerFrameSink {
public:
    virtual void OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height) = 0;

protected:
    ~CPlayerFrameSink() = default;
};

class CPlayerControl : public CDrawEvent, public CSingleton<CPlayerControl> {
public:
    using CSingleton<CPlayerControl>::GetInstance;

    CPlayerControl();
    ~CPlayerControl() override;

    // A device path; the duration in whole seconds is kept.
    HRESULT OpenFile(LPCWSTR path);
    HRESULT Close();
    // Rewinds, stops and reports CMD_PREVIEW_STOPED.
    HRESULT Stop();
    HRESULT StopEx(int quiet);
    HRESULT Pause();
    HRESULT Play();

    DWORD GetState() const { return m_dwState.load(); }
    DWORD GetDuration() const { return m_dwDuration.load(); }

    // The screen that takes the frames; none: they are dropped.
    void SetFrameSink(CPlayerFrameSink* sink);
    // A decoded frame (camera 4:2:0, width x height): converted and handed on.
    void DeliverFrame(const BYTE* frame, LONG width, LONG height);
    // While the lock is held no frame reaches the sink (the display is being
    // made again); a frame on its way is finished first.
    std::unique_lock<std::mutex> HoldFrames() { return std::unique_lock<std::mutex>(m_frameLock); }

private:
    template <typename Call>
    HRESULT Transition(DWORD busy, DWORD done, Call call);

    std::atomic<DWORD> m_dwState{PLAYER_STATE_READY};
    std::atomic<DWORD> m_dwDuration{0};
    std::mutex m_frameLock;  // the sink and the conversion buffer
    CPlayerFrameSink* m_pSink = nullptr;
    std::vector<WORD> m_Frame;
};
