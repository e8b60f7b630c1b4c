// PlaySoundW and the wave-out device, timed by the platform clock; what is
// played can also be written to a record folder of the device root.
#include "plat/sound.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <cwctype>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "plat/clock.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

constexpr const WCHAR* kSoundKey = L"Platform\\Sound";
constexpr DWORD kFullVolume = 0xFFFFFFFF;
constexpr std::uintptr_t kFirstHandle = 0x10000;

// ---- Wave files ----

struct WaveData {
    WAVEFORMATEX format{};
    std::vector<char> samples;
};

std::uint32_t U32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

bool ValidFormat(const WAVEFORMATEX& f)
{
    return f.wFormatTag == WAVE_FORMAT_PCM && (f.nChannels == 1 || f.nChannels == 2) &&
           (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) && f.nSamplesPerSec > 0 &&
           f.nBlockAlign == f.nChannels * f.wBitsPerSample / 8 && f.nAvgBytesPerSec == f.nSamplesPerSec * f.nBlockAlign;
}

// A RIFF/WAVE file of PCM samples; chunks in any order, a data chunk longer
// than the file is cut to what is there.
bool ReadWave(const fs::path& path, WaveData* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
        return false;
    bool haveFormat = false, haveData = false;
    std::size_t at = 12;
    while (at + 8 <= bytes.size() && !(haveFormat && haveData)) {
        const unsigned char* chunk = bytes.data() + at;
        const std::size_t length = U32(chunk + 4);
        const std::size_t available = std::min(length, bytes.size() - at - 8);
        if (!std::memcmp(chunk, "fmt ", 4) && available >= 16) {
            out->format.wFormatTag = U16(chunk + 8);
            out->format.nChannels = U16(chunk + 10);
            out->format.nSamplesPerSec = U32(chunk + 12);
            out->format.nAvgBytesPerSec = U32(chunk + 16);
            out->format.nBlockAlign = U16(chunk + 20);
            out->format.wBitsPerSample = U16(chunk + 22);
            haveFormat = true;
        } else if (!std::memcmp(chunk, "data", 4)) {
            out->samples.assign(chunk + 8, chunk + 8 + available);
            haveData = true;
        }
        at += 8 + available + (available & 1);
    }
    return haveFormat && haveData && ValidFormat(out->format);
}

DWORD PlayTimeMs(const WAVEFORMATEX& format, std::size_t bytes)
{
    if (!format.nAvgBytesPerSec) return 0;
    return static_cast<DWORD>((std::uint64_t(bytes) * 1000 + format.nAvgBytesPerSec - 1) / format.nAvgBytesPerSec);
}

void PutU32(std::ofstream& out, std::uint32_t v)
{
    const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    out.write(b, 4);
}
void PutU16(std::ofstream& out, std::uint16_t v)
{
    const char b[2] = {char(v), char(v >> 8)};
    out.write(b, 2);
}

// ---- What was played ----

class Recorder {
public:
    void Played(const std::wstring& name, const WAVEFORMATEX& format, const char* samples, DWORD bytes)
    {
        std::lock_guard lock(mutex_);
        played_.push_back({name, bytes, PlayTimeMs(format, bytes), plat::NowMs()});
        if (auto folder = RecordFolder()) Write(*folder, name, format, samples, bytes);
    }
    void Message(HWAVEOUT device, UINT message, DWORD_PTR p1, DWORD_PTR p2)
    {
        std::lock_guard lock(mutex_);
        messages_.push_back({device, message, p1, p2});
    }
    std::vector<plat::PlayedSound> Played()
    {
        std::lock_guard lock(mutex_);
        return played_;
    }
    std::vector<plat::WaveOutDriverMessage> Messages()
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    void Reset()
    {
        std::lock_guard lock(mutex_);
        played_.clear();
        messages_.clear();
    }

private:
    static std::optional<fs::path> RecordFolder()
    {
        WCHAR text[MAX_PATH + 1] = {};
        const HRESULT hr = RegistryGetString(HKEY_LOCAL_MACHINE, kSoundKey, L"Record", text, MAX_PATH + 1);
        if (FAILED(hr)) {
            if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
                plat::DebugLine(L"Sound: \"Record\" cannot be read, nothing recorded");
            return std::nullopt;
        }
        if (!text[0]) return std::nullopt;
        auto host = plat::MapDevicePath(text);
        std::error_code ec;
        if (!host || (!fs::is_directory(*host, ec) && !fs::create_directories(*host, ec))) {
            plat::DebugLine(L"Sound: record folder \"%ls\" cannot be made, nothing recorded", text);
            return std::nullopt;
        }
        return host;
    }

    // Numbered after the highest number there, so that records of several
    // runs into one folder keep their order.
    static void Write(const fs::path& folder, const std::wstring& name, const WAVEFORMATEX& format,
                      const char* samples, DWORD bytes)
    {
        int last = 0;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            const std::string file = it->path().filename().string();
            if (file.size() > 5 && file[4] == '-' && std::all_of(file.begin(), file.begin() + 4, ::isdigit))
                last = std::max(last, std::stoi(file.substr(0, 4)));
        }
        char number[8];
        std::snprintf(number, sizeof number, "%04d-", (last + 1) % 10000);
        std::string file = number + plat::ToUtf8(name);
        if (fs::path(file).extension().empty()) file += ".wav";
        std::ofstream out(folder / file, std::ios::binary);
        out.write("RIFF", 4);
        PutU32(out, 36 + bytes);
        out.write("WAVEfmt ", 8);
        PutU32(out, 16);
        PutU16(out, format.wFormatTag);
        PutU16(out, format.nChannels);
        PutU32(out, format.nSamplesPerSec);
        PutU32(out, format.nAvgBytesPerSec);
        PutU16(out, format.nBlockAlign);
        PutU16(out, format.wBitsPerSample);
        out.write("data", 4);
        PutU32(out, bytes);
        out.write(samples, bytes);
        if (!out) plat::DebugLine(L"Sound: the record of \"%ls\" could not be written", name.c_str());
    }

    std::mutex mutex_;
    std::vector<plat::PlayedSound> played_;
    std::vector<plat::WaveOutDriverMessage> messages_;
};

Recorder& Record()
{
    static Recorder* const recorder = new Recorder;
    return *recorder;
}

// ---- PlaySoundW ----

class SoundPlayer {
public:
    BOOL Play(LPCWSTR sound, DWORD flags)
    {
        std::unique_lock lock(mutex_);
        if (!sound) {
            StopLocked();
            return TRUE;
        }
        if ((flags & SND_NOWAIT) && plat::NowMs() < endMs_) return FALSE;
        if (!(flags & SND_FILENAME)) return FALSE;  // aliases and resources: none here
        auto host = plat::MapDevicePath(sound);
        WaveData wave;
        if (!host || !ReadWave(*host, &wave)) {
            plat::DebugLine(L"PlaySound: \"%ls\" is not a wave file, nothing played", sound);
            return FALSE;
        }
        StopLocked();
        const std::uint64_t serial = ++serial_;
        endMs_ = plat::NowMs() + PlayTimeMs(wave.format, wave.samples.size());
        Record().Played(host->filename().wstring(), wave.format, wave.samples.data(),
                        static_cast<DWORD>(wave.samples.size()));
        if (!(flags & SND_ASYNC)) {
            const std::uint64_t end = endMs_;
            plat::WaitUntil(lock, cv_, end, [&] { return serial_ != serial; });
        }
        return TRUE;
    }

    bool Playing()
    {
        std::lock_guard lock(mutex_);
        return plat::NowMs() < endMs_;
    }

private:
    void StopLocked()
    {
        endMs_ = 0;
        ++serial_;
        cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::uint64_t endMs_ = 0;
    std::uint64_t serial_ = 0;  // a new sound or a stop ends a synchronous wait
};

SoundPlayer& Player()
{
    static SoundPlayer* const player = new SoundPlayer;
    return *player;
}

// ---- The wave-out device ----

struct Buffer {
    WAVEHDR* header;
    std::uint64_t dueMs;
};

struct OpenDevice {
    WAVEFORMATEX format{};
    LPWAVECALLBACK callback = nullptr;
    DWORD_PTR instance = 0;
    DWORD volume = kFullVolume;
    std::deque<Buffer> queue;  // in play order
    std::uint64_t playedUntilMs = 0;
};

// One driver thread ends every buffer, in due order, and calls back with no
// lock held.
class WaveDriver {
public:
    ~WaveDriver()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    MMRESULT Open(HWAVEOUT* out, const WAVEFORMATEX& format, LPWAVECALLBACK callback, DWORD_PTR instance)
    {
        HWAVEOUT handle;
        {
            std::lock_guard lock(mutex_);
            handle = reinterpret_cast<HWAVEOUT>(kFirstHandle + 4 * ++lastHandle_);
            OpenDevice& device = devices_[handle];
            device.format = format;
            device.callback = callback;
            device.instance = instance;
            device.volume = volume_;
        }
        *out = handle;
        if (callback) callback(handle, WOM_OPEN, instance, 0, 0);
        return MMSYSERR_NOERROR;
    }

    MMRESULT Close(HWAVEOUT handle)
    {
        LPWAVECALLBACK callback;
        DWORD_PTR instance;
        {
            std::lock_guard lock(mutex_);
            auto it = devices_.find(handle);
            if (it == devices_.end()) return MMSYSERR_INVALHANDLE;
            if (!it->second.queue.empty()) return WAVERR_STILLPLAYING;
            callback = it->second.callback;
            instance = it->second.instance;
            devices_.erase(it);
        }
        if (callback) callback(handle, WOM_CLOSE, instance, 0, 0);
        return MMSYSERR_NOERROR;
    }

    bool IsOpen(HWAVEOUT handle)
    {
        std::lock_guard lock(mutex_);
        return devices_.count(handle) != 0;
    }

    MMRESULT Prepare(HWAVEOUT handle, WAVEHDR* header, UINT size, bool prepare)
    {
        std::lock_guard lock(mutex_);
        if (!devices_.count(handle)) return MMSYSERR_INVALHANDLE;
        if (!header || size < sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        if (prepare)
            header->dwFlags |= WHDR_PREPARED;
        else
            header->dwFlags &= ~WHDR_PREPARED;
        return MMSYSERR_NOERROR;
    }

    MMRESULT Write(HWAVEOUT handle, WAVEHDR* header, UINT size)
    {
        std::lock_guard lock(mutex_);
        auto it = devices_.find(handle);
        if (it == devices_.end()) return MMSYSERR_INVALHANDLE;
        if (!header || size < sizeof(WAVEHDR) || (!header->lpData && header->dwBufferLength))
            return MMSYSERR_INVALPARAM;
        if (!(header->dwFlags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header->dwFlags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
        OpenDevice& device = it->second;
        header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
        const std::uint64_t start = std::max(plat::NowMs(), device.playedUntilMs);
        device.playedUntilMs = start + PlayTimeMs(device.format, header->dwBufferLength);
        device.queue.push_back({header, device.playedUntilMs});
        Record().Played(L"wave", device.format, header->lpData, header->dwBufferLength);
        if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        ++changes_;
        cv_.notify_all();
        return MMSYSERR_NOERROR;
    }

    MMRESULT GetVolume(HWAVEOUT handle, DWORD* volume)
    {
        if (!volume) return MMSYSERR_INVALPARAM;
        std::lock_guard lock(mutex_);
        if (IsDeviceIndex(handle)) {
            if (reinterpret_cast<std::uintptr_t>(handle) != 0) return MMSYSERR_BADDEVICEID;
            *volume = volume_;
            return MMSYSERR_NOERROR;
        }
        auto it = devices_.find(handle);
        if (it == devices_.end()) return MMSYSERR_INVALHANDLE;
        *volume = it->second.volume;
        return MMSYSERR_NOERROR;
    }

    MMRESULT SetVolume(HWAVEOUT handle, DWORD volume)
    {
        std::lock_guard lock(mutex_);
        if (IsDeviceIndex(handle)) {
            if (reinterpret_cast<std::uintptr_t>(handle) != 0) return MMSYSERR_BADDEVICEID;
            volume_ = volume;
            return MMSYSERR_NOERROR;
        }
        auto it = devices_.find(handle);
        if (it == devices_.end()) return MMSYSERR_INVALHANDLE;
        it->second.volume = volume;
        return MMSYSERR_NOERROR;
    }

    MMRESULT Message(HWAVEOUT handle, UINT message, DWORD_PTR p1, DWORD_PTR p2)
    {
        {
            std::lock_guard lock(mutex_);
            if (IsDeviceIndex(handle)) {
                if (reinterpret_cast<std::uintptr_t>(handle) != 0) return MMSYSERR_BADDEVICEID;
            } else if (!devices_.count(handle)) {
                return MMSYSERR_INVALHANDLE;
            }
        }
        Record().Message(handle, message, p1, p2);
        return MMSYSERR_NOERROR;
    }

    void Reset()
    {
        std::lock_guard lock(mutex_);
        volume_ = kFullVolume;
    }

private:
    static bool IsDeviceIndex(HWAVEOUT handle) { return reinterpret_cast<std::uintptr_t>(handle) < kFirstHandle; }

    void Run()
    {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            HWAVEOUT due = nullptr;
            std::uint64_t deadline = plat::kNoDeadline;
            for (auto& [handle, device] : devices_) {
                if (!device.queue.empty() && device.queue.front().dueMs < deadline) {
                    deadline = device.queue.front().dueMs;
                    due = handle;
                }
            }
            if (!due || plat::NowMs() < deadline) {
                const std::uint64_t changes = changes_;
                plat::WaitUntil(lock, cv_, deadline, [&] { return stop_ || changes_ != changes; });
                continue;
            }
            OpenDevice& device = devices_[due];
            WAVEHDR* header = device.queue.front().header;
            device.queue.pop_front();
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            const LPWAVECALLBACK callback = device.callback;
            const DWORD_PTR instance = device.instance;
            lock.unlock();
            if (callback) callback(due, WOM_DONE, instance, reinterpret_cast<DWORD_PTR>(header), 0);
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::map<HWAVEOUT, OpenDevice> devices_;
    std::uintptr_t lastHandle_ = 0;  // handles are never reused
    DWORD volume_ = kFullVolume;
    std::uint64_t changes_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

WaveDriver& Driver()
{
    static WaveDriver driver;
    return driver;
}

}  // namespace

BOOL PlaySoundW(LPCWSTR sound, HMODULE, DWORD flags) { return Player().Play(sound, flags); }

UINT waveOutGetNumDevs() { return 1; }

MMRESULT waveOutGetDevCapsW(UINT_PTR device, WAVEOUTCAPSW* caps, UINT size)
{
    if (device != 0 && device != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (!caps || size < sizeof(WAVEOUTCAPSW)) return MMSYSERR_INVALPARAM;
    std::memset(caps, 0, sizeof *caps);
    std::wcscpy(caps->szPname, L"Audio Output");
    caps->vDriverVersion = 0x0100;
    caps->wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT waveOutOpen(LPHWAVEOUT device, UINT deviceId, LPCWAVEFORMATEX format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags)
{
    if (deviceId != 0 && deviceId != WAVE_MAPPER) return MMSYSERR_BADDEVICEID;
    if (!device || !format) return MMSYSERR_INVALPARAM;
    if (!ValidFormat(*format)) return WAVERR_BADFORMAT;
    const DWORD kind = flags & 0x70000;
    if (kind != CALLBACK_NULL && kind != CALLBACK_FUNCTION) return MMSYSERR_NOTSUPPORTED;
    if (kind == CALLBACK_FUNCTION && !callback) return MMSYSERR_INVALPARAM;
    return Driver().Open(device, *format, kind == CALLBACK_FUNCTION ? reinterpret_cast<LPWAVECALLBACK>(callback) : nullptr,
                         instance);
}

MMRESULT waveOutClose(HWAVEOUT device) { return Driver().Close(device); }

MMRESULT waveOutPrepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size)
{
    return Driver().Prepare(device, header, size, true);
}

MMRESULT waveOutUnprepareHeader(HWAVEOUT device, LPWAVEHDR header, UINT size)
{
    return Driver().Prepare(device, header, size, false);
}

MMRESULT waveOutWrite(HWAVEOUT device, LPWAVEHDR header, UINT size) { return Driver().Write(device, header, size); }

MMRESULT waveOutGetVolume(HWAVEOUT device, DWORD* volume) { return Driver().GetVolume(device, volume); }
MMRESULT waveOutSetVolume(HWAVEOUT device, DWORD volume) { return Driver().SetVolume(device, volume); }

MMRESULT waveOutMessage(HWAVEOUT device, UINT message, DWORD_PTR param1, DWORD_PTR param2)
{
    return Driver().Message(device, message, param1, param2);
}

namespace plat {

std::vector<PlayedSound> PlayedSounds() { return Record().Played(); }
std::vector<WaveOutDriverMessage> WaveOutDriverMessages() { return Record().Messages(); }

void ResetSoundRecord()
{
    Record().Reset();
    Driver().Reset();
}

HWAVEOUT OpenWaveOutDevice()
{
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    HWAVEOUT device = nullptr;
    waveOutOpen(&device, 0, &format, 0, 0, CALLBACK_NULL);
    return device;
}

bool IsWaveOutDeviceOpen(HWAVEOUT device) { return Driver().IsOpen(device); }

bool IsSoundPlaying() { return Player().Playing(); }

}  // namespace plat
