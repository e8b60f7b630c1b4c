#include "sound_control.h"

#include <cwchar>
#include <memory>

#include "app_messages.h"
#include "audio_output.h"
#include "cue_slot.h"
#include "draw_event.h"
#include "wave_file.h"

namespace {

constexpr DWORD kAsync = SND_FILENAME | SND_NOWAIT | SND_ASYNC;  // 0x22001
constexpr DWORD kSync = SND_FILENAME | SND_NOWAIT;               // 0x22000
constexpr DWORD kRecordingCueGapMs = 300;
constexpr DWORD kWaveDoneWaitMs = 2000;
constexpr const WCHAR* kAudioOutput = L"Audio Output";
constexpr const WCHAR* kWaveDoneEvent = L"WAVE_OUT_DONE";
// The audio driver's own messages and values.
constexpr UINT kDriverSelect = 1026;
constexpr UINT kDriverRoute = 1024;
constexpr DWORD_PTR kDriverRouteValue = 9;
constexpr UINT kDriverSpeaker = 1075;
constexpr DWORD_PTR kSpeakerBlock = 50641, kSpeakerUnblock = 50642, kSpeakerTarget = 4099;

constexpr DWORD kVolumeSteps[] = {0, 13107, 26214, 39321, 52428, 65535};
constexpr DWORD kVolumePerStep = 13107;

const WCHAR* const kShutters[] = {L"\\Windows\\Shutter01.wav", L"\\Windows\\Shutter02.wav", L"\\Windows\\Shutter03.wav"};
const WCHAR* const kStartRecording = L"\\Windows\\StartRecording.wav";
const WCHAR* const kStopRecording = L"\\Windows\\StopRecording.wav";

// One cue on the wave device, from the open to the callback that ends it.
struct PlayRecord {
    WAVEHDR header{};
    CWaveFile file;
    std::unique_ptr<char[]> buffer;
    DWORD savedVolume = 0;
};

std::atomic<bool> g_deviceDone{false};
std::atomic<HWAVEOUT> g_doneDevice{nullptr};

}  // namespace

int FindAudioOutput()
{
    const UINT count = waveOutGetNumDevs();
    for (UINT i = 0; i < count; ++i) {
        WAVEOUTCAPSW caps{};
        if (waveOutGetDevCapsW(i, &caps, sizeof caps) == MMSYSERR_NOERROR &&
            std::wcsncmp(caps.szPname, kAudioOutput, std::wcslen(kAudioOutput)) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

namespace {

HWAVEOUT DeviceIndex(int index) { return reinterpret_cast<HWAVEOUT>(static_cast<UINT_PTR>(index)); }

int StepOf(DWORD volume)
{
    const int step = static_cast<int>(LOWORD(volume) / kVolumePerStep);
    return step < 0 ? 0 : step > 5 ? 5 : step;
}

}  // namespace

struct CSoundControl::CueSlots {
    std::unique_ptr<CCueSlot> shutter[3];
    std::unique_ptr<CCueSlot> recording[2];
    std::unique_ptr<CCueSlot> spare[2];  // never filled
};

CSoundControl::CueSlots& CSoundControl::Cues()
{
    if (!m_cues) {
        m_cues = new CueSlots;
        for (auto& slot : m_cues->shutter) slot = std::make_unique<CCueSlot>();
        for (auto& slot : m_cues->recording) slot = std::make_unique<CCueSlot>();
        for (auto& slot : m_cues->spare) slot = std::make_unique<CCueSlot>();
    }
    return *m_cues;
}

CSoundControl::CSoundControl()
{
    DWORD volume = 0;
    if (waveOutGetVolume(nullptr, &volume) == MMSYSERR_NOERROR) m_volume = volume;
    m_volumeStep = StepOf(m_volume);
}

CSoundControl::~CSoundControl()
{
    if (m_cues) {
        for (auto& slot : m_cues->shutter) CCueSlot::Release(std::move(slot));
        for (auto& slot : m_cues->recording) CCueSlot::Release(std::move(slot));
        for (auto& slot : m_cues->spare) CCueSlot::Release(std::move(slot));
        delete m_cues;
    }
    // The main window closes a finished device when it hears of it; one
    // whose notice came too late is closed here.
    if (g_deviceDone.exchange(false)) {
        if (HWAVEOUT device = g_doneDevice.exchange(nullptr)) waveOutClose(device);
    }
}

BOOL CSoundControl::PlayShutter(int index)
{
    if (index < 0 || index > 2) return 1;
    return PlaySoundW(kShutters[index], nullptr, kAsync);
}

BOOL CSoundControl::PlayStartRecording()
{
    const BOOL played = PlaySoundW(kStartRecording, nullptr, kSync);
    Sleep(kRecordingCueGapMs);
    return played;
}

BOOL CSoundControl::PlayStopRecording() { return PlaySoundW(kStopRecording, nullptr, kSync); }
BOOL CSoundControl::PlayAutoFocus() { return PlaySoundW(L"\\Windows\\AutoFocus.wav", nullptr, kAsync); }
BOOL CSoundControl::PlayAutoFocusFail() { return PlaySoundW(L"\\Windows\\AutoFocusFail.wav", nullptr, kAsync); }
BOOL CSoundControl::PlayTimer() { return PlaySoundW(L"\\Windows\\Timer.wav", nullptr, kAsync); }
BOOL CSoundControl::PlayTimerEnd() { return PlaySoundW(L"\\Windows\\TimerEnd.wav", nullptr, kAsync); }

void CSoundControl::Stop() { PlaySoundW(nullptr, nullptr, kAsync); }

void CSoundControl::SetShutterIndex(int index) { m_shutterIndex = index; }

MMRESULT StartOnAudioOutput(int index, const WAVEFORMATEX& format, DWORD_PTR callback, DWORD_PTR instance,
                            DWORD driverValue, WAVEHDR* header, DWORD* savedVolume,
                            const std::function<DWORD()>& fill, HWAVEOUT* device)
{
    HWAVEOUT handle = nullptr;
    MMRESULT result = waveOutOpen(&handle, static_cast<UINT>(index), &format, callback, instance, CALLBACK_FUNCTION);
    bool prepared = false;
    if (result == MMSYSERR_NOERROR) result = waveOutMessage(handle, kDriverSelect, driverValue, 0);
    if (result == MMSYSERR_NOERROR) result = waveOutGetVolume(handle, savedVolume);
    // A muted device is raised for the cue; the end of the cue restores it.
    if (result == MMSYSERR_NOERROR && *savedVolume == 0) result = waveOutSetVolume(handle, 0xFFFF);
    if (result == MMSYSERR_NOERROR) result = waveOutMessage(handle, kDriverRoute, kDriverRouteValue, 0);
    if (result == MMSYSERR_NOERROR) {
        header->dwBufferLength = fill();
        result = waveOutPrepareHeader(handle, header, sizeof(WAVEHDR));
        prepared = result == MMSYSERR_NOERROR;
    }
    if (result == MMSYSERR_NOERROR) result = waveOutWrite(handle, header, sizeof(WAVEHDR));
    if (result != MMSYSERR_NOERROR) {
        if (handle) {
            if (prepared) waveOutUnprepareHeader(handle, header, sizeof(WAVEHDR));
            waveOutSetVolume(handle, *savedVolume);
            waveOutClose(handle);
        }
        return result;
    }
    *device = handle;
    return MMSYSERR_NOERROR;
}

void EndOnAudioOutput(HWAVEOUT device, WAVEHDR* header, DWORD savedVolume)
{
    waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
    waveOutSetVolume(device, savedVolume);
}

void AnnounceWaveDone(HWAVEOUT device)
{
    if (HANDLE done = CreateEventW(nullptr, FALSE, FALSE, kWaveDoneEvent)) {
        SetEvent(done);
        CloseHandle(done);
    }
    g_doneDevice = device;
    g_deviceDone = true;
    // The main window closes the device: not from inside its own callback.
    PostMessageW(CDrawEvent::Instance().GetHwnd(), WM_WAVE_OUT_DONE, reinterpret_cast<WPARAM>(device), 0);
}

HANDLE MakeWaveDoneEvent()
{
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, kWaveDoneEvent);
    if (done) ResetEvent(done);
    return done;
}

void WaitForWaveDone(HANDLE done)
{
    if (!done) return;
    WaitForSingleObject(done, kWaveDoneWaitMs);
    CloseHandle(done);
}

MMRESULT CSoundControl::PlayWaveFile(LPCWSTR path, BOOL wait, DWORD driverValue)
{
    auto record = std::make_unique<PlayRecord>();
    if (!record->file.Open(path)) {
        plat::DebugLine(L"CSoundControl::PlayWaveFile: cannot open %ls", path);
        return MMSYSERR_ERROR;
    }
    const DWORD length = record->file.GetDataLength();
    record->buffer = std::make_unique<char[]>(length ? length : 1);
    record->header.lpData = record->buffer.get();
    record->header.dwBufferLength = length;

    const int device = FindAudioOutput();
    if (device < 0) return MMSYSERR_BADDEVICEID;
    m_audioDevice = static_cast<UINT>(device);

    HANDLE done = wait ? MakeWaveDoneEvent() : nullptr;
    HWAVEOUT handle = nullptr;
    PlayRecord* r = record.get();
    const MMRESULT result = StartOnAudioOutput(
        device, r->file.GetFormat(), reinterpret_cast<DWORD_PTR>(&CSoundControl::OnWaveDone),
        reinterpret_cast<DWORD_PTR>(r), driverValue, &r->header, &r->savedVolume,
        [r, length] { return r->file.Read(r->buffer.get(), length); }, &handle);
    if (result != MMSYSERR_NOERROR) {
        plat::DebugLine(L"CSoundControl::PlayWaveFile failed <hr = '0x%X'>", result);
        if (done) CloseHandle(done);
        return result;
    }
    record.release();  // the callback frees it
    WaitForWaveDone(done);
    return MMSYSERR_NOERROR;
}

void CSoundControl::OnWaveDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR, DWORD_PTR)
{
    if (message != WOM_DONE) return;
    auto* record = reinterpret_cast<PlayRecord*>(instance);
    EndOnAudioOutput(device, &record->header, record->savedVolume);
    record->file.Close();
    delete record;
    AnnounceWaveDone(device);
}

void CSoundControl::PreloadCues()
{
    CueSlots& cues = Cues();
    for (int i = 0; i < 3; ++i) LoadCueSlot(cues.shutter[i].get(), kShutters[i]);
    LoadCueSlot(cues.recording[0].get(), kStartRecording);
    LoadCueSlot(cues.recording[1].get(), kStopRecording);
}

int CSoundControl::LoadCueSlot(CCueSlot* slot, LPCWSTR path) { return slot ? slot->Load(path) : 1; }

MMRESULT CSoundControl::PlayCueSlot(CCueSlot* slot, BOOL wait, DWORD driverValue)
{
    return slot ? slot->Play(wait, driverValue) : MMSYSERR_ERROR;
}

CCueSlot* CSoundControl::ShutterCue(int index) { return index >= 0 && index < 3 ? Cues().shutter[index].get() : nullptr; }

CCueSlot* CSoundControl::RecordingCue(int index)
{
    return index >= 0 && index < 2 ? Cues().recording[index].get() : nullptr;
}

bool CSoundControl::IsDeviceDone() const { return g_deviceDone; }
HWAVEOUT CSoundControl::GetDoneDevice() const { return g_doneDevice; }

void CSoundControl::VolumeStep(BOOL up)
{
    int step = StepOf(m_volume);
    if (up ? step >= 5 : step < 1) return;
    step += up ? 1 : -1;
    m_volume = kVolumeSteps[step];
    m_volumeStep = step;
    waveOutSetVolume(nullptr, m_volume);
}

MMRESULT CSoundControl::SendMessageToAudio(UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    plat::DebugLine(L"CSoundControl::SendMessageToAudio");
    const int device = FindAudioOutput();
    if (device < 0) return MMSYSERR_BADDEVICEID;
    return waveOutMessage(DeviceIndex(device), message, param1, param2);
}

void CSoundControl::BlockSpeakerSound(BOOL block)
{
    m_speakerBlocked = block;
    plat::DebugLine(L"%slock Speaker Sound", block ? L"B" : L"Unb");
    waveOutMessage(DeviceIndex(0), kDriverSpeaker, block ? kSpeakerBlock : kSpeakerUnblock, kSpeakerTarget);
}
