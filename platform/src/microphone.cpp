// The microphone: 8 kHz 16-bit mono PCM in 20 ms buffers on the platform
// clock, from silence, a tone or a WAV file of the device heard in a loop.
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "plat/clock.h"
#include "plat/debug.h"
#include "com_object.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/registry.h"

namespace {

constexpr DWORD kRate = 8000;
constexpr DWORD kBufferMs = 20;
constexpr DWORD kSamplesPerBuffer = kRate * kBufferMs / 1000;

std::wstring ReadText(HKEY key, const WCHAR* name)
{
    WCHAR text[MAX_PATH] = {};
    DWORD type = 0, size = sizeof text - sizeof(WCHAR);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return L"";
    return text;
}

// The first channel of a 16-bit PCM WAV file at 8 kHz (nearest sample);
// empty when the file is not one.
std::vector<short> ReadWave(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::vector<BYTE> bytes(std::min<DWORD>(GetFileSize(h, nullptr), 64u << 20));
    DWORD read = 0;
    bool ok = ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    CloseHandle(h);
    if (!ok || bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) || std::memcmp(bytes.data() + 8, "WAVE", 4))
        return {};
    auto u16 = [&](size_t at) { return static_cast<unsigned>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [&](size_t at) { return static_cast<unsigned>(u16(at) | u16(at + 2) << 16); };
    unsigned channels = 0, rate = 0, bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        size_t length = u32(at + 4), body = at + 8;
        if (length > bytes.size() - body)
            length = bytes.size() - body;
        if (!std::memcmp(&bytes[at], "fmt ", 4) && length >= 16) {
            if (u16(body) != WAVE_FORMAT_PCM)
                return {};
            channels = u16(body + 2), rate = u32(body + 4), bits = u16(body + 14);
        } else if (!std::memcmp(&bytes[at], "data", 4) && channels && rate && bits == 16) {
            size_t frames = length / (2 * channels);
            size_t out = static_cast<size_t>(static_cast<double>(frames) * kRate / rate);
            std::vector<short> pcm(out);
            for (size_t i = 0; i < out; ++i) {
                size_t from = body + (i * rate / kRate) * 2 * channels;
                pcm[i] = static_cast<short>(u16(from));
            }
            return pcm;
        }
        at = body + length + (length & 1);
    }
    return {};
}

class Microphone;

class MicrophonePin final : public CBaseOutputPin {
public:
    MicrophonePin(Microphone* filter, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        CMediaType mine;
        GetMediaType(0, &mine);
        return type && type->majortype == mine.majortype && type->subtype == mine.subtype ? S_OK
                                                                                          : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (position != 0)
            return VFW_S_NO_MORE_ITEMS;
        type->Clear();
        type->majortype = MEDIATYPE_Audio;
        type->subtype = MEDIASUBTYPE_PCM;
        type->formattype = FORMAT_WaveFormatEx;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = 2;
        auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->AllocFormatBuffer(sizeof(WAVEFORMATEX)));
        if (!wave)
            return E_OUTOFMEMORY;
        *wave = {WAVE_FORMAT_PCM, 1, kRate, kRate * 2, 2, 16, 0};
        return S_OK;
    }
    const GUID* Category() const override { return &PIN_CATEGORY_CAPTURE; }
};

class Microphone final : public CBaseFilter, public IPersistPropertyBag {
public:
    Microphone() : CBaseFilter(L"Audio Capture", nullptr, &lock_, CLSID_AudioRecord)
    {
        pin_ = new MicrophonePin(this, &lock_);
    }
    ~Microphone() override
    {
        StopThread();
        delete pin_;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IPersistPropertyBag || iid == IID_IPersist) {
            *out = static_cast<IPersistPropertyBag*>(this);
            AddRef();
            return S_OK;
        }
        return CBaseFilter::QueryInterface(iid, out);
    }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }
    HRESULT GetClassID(CLSID* clsid) override { return CBaseFilter::GetClassID(clsid); }
    HRESULT InitNew() override { return S_OK; }
    HRESULT Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }
    // The device takes no properties: no bag is what the camcorder passes.
    HRESULT Load(IPropertyBag*, IErrorLog*) override { return S_OK; }

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? pin_ : nullptr; }

    HRESULT Pause() override
    {
        HRESULT hr = CBaseFilter::Pause();
        if (SUCCEEDED(hr))
            StartThread();
        return hr;
    }
    HRESULT Run(REFERENCE_TIME start) override
    {
        HRESULT hr = CBaseFilter::Run(start);
        Wake();
        return hr;
    }
    HRESULT Stop() override
    {
        StopThread();
        return CBaseFilter::Stop();
    }

private:
    void Wake()
    {
        { std::lock_guard lock(threadLock_); }
        threadCv_.notify_all();
    }

    void StartThread()
    {
        std::lock_guard lock(threadLock_);
        if (thread_.joinable())
            return;
        exit_ = false;
        LoadSource();
        thread_ = std::thread([this] { Loop(); });
    }

    void StopThread()
    {
        std::thread thread;
        {
            std::lock_guard lock(threadLock_);
            exit_ = true;
            thread = std::move(thread_);
        }
        threadCv_.notify_all();
        if (thread.joinable())
            thread.join();
    }

    // What is heard: read once per run from the registry.
    void LoadSource()
    {
        tone_ = false;
        wave_.clear();
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Microphone", 0, 0, &key) != ERROR_SUCCESS)
            return;
        std::wstring source = ReadText(key, L"Source");
        std::wstring path = ReadText(key, L"Path");
        RegCloseKey(key);
        for (auto& c : source)
            c = static_cast<WCHAR>(std::towlower(c));
        if (source == L"tone") {
            tone_ = true;
        } else if (source == L"wave") {
            wave_ = ReadWave(path);
            if (wave_.empty())
                plat::DebugLine(L"Microphone: \"%ls\" is no readable 16-bit PCM WAV file; silence", path.c_str());
        }
    }

    void Loop()
    {
        std::unique_lock lock(threadLock_);
        std::uint64_t base = 0, index = 0;
        bool running = false;
        while (!exit_) {
            if (State() != State_Running) {
                running = false;
                plat::WaitUntil(lock, threadCv_, plat::kNoDeadline,
                                [&] { return exit_ || State() == State_Running; });
                continue;
            }
            if (!running) {
                running = true;
                base = plat::NowMs();
                index = 0;
            }
            // A buffer is ready once its 20 ms have passed.
            const std::uint64_t due = base + (index + 1) * kBufferMs;
            if (plat::NowMs() < due) {
                plat::WaitUntil(lock, threadCv_, due, [&] { return exit_ || State() != State_Running; });
                continue;
            }
            lock.unlock();
            Deliver();
            lock.lock();
            ++index;
        }
    }

    void Deliver()
    {
        const REFERENCE_TIME now = StreamTime();
        if (!pin_->UpdateStreamControl(now) || !pin_->IsConnected()) {
            heard_ += kSamplesPerBuffer;
            return;
        }
        IMediaSample* sample = nullptr;
        if (FAILED(pin_->GetDeliveryBuffer(&sample, kSamplesPerBuffer * 2)))
            return;
        BYTE* bytes = nullptr;
        sample->GetPointer(&bytes);
        auto* pcm = reinterpret_cast<short*>(bytes);
        for (DWORD i = 0; i < kSamplesPerBuffer; ++i, ++heard_) {
            if (tone_)
                pcm[i] = static_cast<short>(8000 * std::sin(2 * 3.14159265358979 * 440 * heard_ / kRate));
            else if (!wave_.empty())
                pcm[i] = wave_[heard_ % wave_.size()];
            else
                pcm[i] = 0;
        }
        sample->SetActualDataLength(kSamplesPerBuffer * 2);
        REFERENCE_TIME start = now - kBufferMs * 10000, end = now;
        if (start < 0)
            start = 0;
        sample->SetTime(&start, &end);
        pin_->Deliver(sample);
        sample->Release();
    }

    CCritSec lock_;
    MicrophonePin* pin_;
    std::mutex threadLock_;
    std::condition_variable threadCv_;
    std::thread thread_;
    bool exit_ = false;
    bool tone_ = false;
    std::vector<short> wave_;
    std::uint64_t heard_ = 0;
};

MicrophonePin::MicrophonePin(Microphone* filter, CCritSec* lock)
    : CBaseOutputPin(L"Audio Capture", filter, lock, nullptr, L"Audio Capture")
{
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_AudioRecord, plat::detail::MakeObject<Microphone, IBaseFilter>);
    return true;
}();

}  // namespace
