#include "cue_slot.h"

#include "audio_output.h"

CCueSlot::CCueSlot() = default;
CCueSlot::~CCueSlot() = default;

int CCueSlot::Load(LPCWSTR path)
{
    if (IsPlaying()) return 1;
    m_buffer.reset();
    m_readDone = false;
    if (!m_file.Open(path)) return 1;
    m_length = m_file.GetDataLength();
    m_buffer = std::make_unique<char[]>(m_length ? m_length : 1);
    m_header = {};
    m_header.lpData = m_buffer.get();
    m_header.dwBufferLength = m_length;
    return 0;
}

MMRESULT CCueSlot::Play(BOOL wait, DWORD driverValue)
{
    if (!IsLoaded()) return MMSYSERR_ERROR;
    int idle = kIdle;
    // The header is the device's until the cue ends.
    if (!m_state.compare_exchange_strong(idle, kPlaying)) return WAVERR_STILLPLAYING;
    const int index = FindAudioOutput();
    if (index < 0) {
        m_state = kIdle;
        return MMSYSERR_BADDEVICEID;
    }
    HANDLE done = wait ? MakeWaveDoneEvent() : nullptr;
    m_header.dwFlags = 0;
    HWAVEOUT device = nullptr;
    const MMRESULT result = StartOnAudioOutput(
        index, m_file.GetFormat(), reinterpret_cast<DWORD_PTR>(&CCueSlot::OnDone), reinterpret_cast<DWORD_PTR>(this),
        driverValue, &m_header, &m_savedVolume,
        [this] {
            if (!m_readDone) {
                m_read = m_file.Read(m_buffer.get(), m_length);
                m_readDone = true;
            }
            return m_read;
        },
        &device);
    if (result != MMSYSERR_NOERROR) {
        m_state = kIdle;
        if (done) CloseHandle(done);
        return result;
    }
    WaitForWaveDone(done);
    return MMSYSERR_NOERROR;
}

void CCueSlot::OnDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    if (message != WOM_DONE) return;
    auto* slot = reinterpret_cast<CCueSlot*>(instance);
    EndOnAudioOutput(device, &slot->m_header, slot->m_savedVolume);
    int playing = kPlaying;
    if (!slot->m_state.compare_exchange_strong(playing, kIdle)) delete slot;  // let go while it played
    AnnounceWaveDone(device);
}

void CCueSlot::Release(std::unique_ptr<CCueSlot> slot)
{
    if (!slot) return;
    int playing = kPlaying;
    if (slot->m_state.compare_exchange_strong(playing, kReleased)) slot.release();  // its end frees it
}
