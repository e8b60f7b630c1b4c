// The DMO wrapper with the camcorder's two encoders over libavcodec: MPEG-4
// Part 2 video from YV12 frames, AAC from 16-bit PCM. Encoding runs on the
// upstream streaming thread; an end of stream drains the encoder and a later
// sample opens a fresh one with the same settings.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "av_media.h"
#include "com_object.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr ULONG kDefaultVideoBitRate = 384000;
constexpr ULONG kDefaultVopRate = 15;
constexpr ULONG kDefaultAudioBitRate = 12200;
constexpr int kAudioRate = 8000;
constexpr REFERENCE_TIME kUnits = 10000000;  // 100-ns units a second

enum class Kind { None, Video, Audio };

// Full-range camera samples to the studio range MPEG-4 video is read in.
const std::array<std::array<uint8_t, 256>, 2>& NarrowTables()
{
    static const auto tables = [] {
        std::array<std::array<uint8_t, 256>, 2> t{};
        for (int v = 0; v < 256; ++v) {
            t[0][v] = static_cast<uint8_t>(16 + (v * 219 + 127) / 255);
            t[1][v] = static_cast<uint8_t>(std::lround(128 + (v - 128) * 224 / 255.0));
        }
        return t;
    }();
    return tables;
}

class DmoWrapper;

class DmoInput final : public CBaseInputPin {
public:
    DmoInput(DmoWrapper* dmo, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

private:
    DmoWrapper* dmo_;
};

class DmoOutput final : public CBaseOutputPin {
public:
    DmoOutput(DmoWrapper* dmo, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;

private:
    DmoWrapper* dmo_;
};

class DmoWrapper final : public CBaseFilter, public IDMOWrapperFilter, public IPropertyBag {
public:
    DmoWrapper() : CBaseFilter(L"DMO Wrapper", nullptr, &lock_, CLSID_DMOWrapperFilter) {}
    ~DmoWrapper() override
    {
        CloseEncoder();
        delete input_;
        delete output_;
        for (auto& [name, value] : properties_)
            VariantClear(&value);
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IDMOWrapperFilter)
            *out = static_cast<IDMOWrapperFilter*>(this);
        else if (iid == IID_IPropertyBag)
            *out = static_cast<IPropertyBag*>(this);
        else
            return CBaseFilter::QueryInterface(iid, out);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }

    HRESULT Init(REFCLSID dmo, REFCLSID category) override
    {
        CAutoLock lock(&lock_);
        if (kind_ != Kind::None)
            return E_UNEXPECTED;
        if (dmo == CLSID_VideoEncoderDmo && category == DMOCATEGORY_VIDEO_ENCODER)
            kind_ = Kind::Video;
        else if (dmo == CLSID_AudioEncoderDmo && category == DMOCATEGORY_AUDIO_ENCODER)
            kind_ = Kind::Audio;
        else
            return REGDB_E_CLASSNOTREG;
        input_ = new DmoInput(this, &lock_);
        output_ = new DmoOutput(this, &lock_);
        return S_OK;
    }

    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override
    {
        if (!name || !value)
            return E_POINTER;
        std::lock_guard lock(encodeLock_);
        auto it = properties_.find(name);
        if (it == properties_.end())
            return E_INVALIDARG;
        return VariantCopy(value, &it->second);
    }
    HRESULT Write(LPCOLESTR name, VARIANT* value) override
    {
        if (!name || !value)
            return E_POINTER;
        std::lock_guard lock(encodeLock_);
        VARIANT& slot = properties_[name];
        VariantClear(&slot);
        return VariantCopy(&slot, value);
    }

    int GetPinCount() override { return kind_ == Kind::None ? 0 : 2; }
    CBasePin* GetPin(int n) override
    {
        if (kind_ == Kind::None)
            return nullptr;
        return n == 0 ? static_cast<CBasePin*>(input_) : n == 1 ? output_ : nullptr;
    }

    HRESULT Stop() override
    {
        HRESULT hr = CBaseFilter::Stop();
        std::lock_guard lock(encodeLock_);
        CloseEncoder();
        return hr;
    }

    Kind GetKind() const { return kind_; }
    const CMediaType& InputType() const { return input_->CurrentMediaType(); }
    bool InputConnected() const { return input_ && input_->IsConnected(); }

    // The output type: the coded stream with the decoder's configuration
    // after the format header.
    HRESULT OutputType(CMediaType* type)
    {
        std::lock_guard lock(encodeLock_);
        if (!InputConnected())
            return VFW_E_NOT_CONNECTED;
        if (!codec_ && !OpenEncoder())
            return E_FAIL;
        std::vector<uint8_t> config(codec_->extradata, codec_->extradata + codec_->extradata_size);
        type->Clear();
        if (kind_ == Kind::Video) {
            type->majortype = MEDIATYPE_Video;
            type->subtype = MEDIASUBTYPE_MP4V;
            type->formattype = FORMAT_VideoInfo;
            type->bTemporalCompression = TRUE;
            BYTE* block = type->AllocFormatBuffer(static_cast<ULONG>(sizeof(VIDEOINFOHEADER) + config.size()));
            if (!block)
                return E_OUTOFMEMORY;
            auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(block);
            vih->dwBitRate = static_cast<DWORD>(codec_->bit_rate);
            vih->AvgTimePerFrame = kUnits / std::max(1, codec_->framerate.num);
            vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
            vih->bmiHeader.biWidth = codec_->width;
            vih->bmiHeader.biHeight = codec_->height;
            vih->bmiHeader.biCompression = MAKEFOURCC('M', 'P', '4', 'V');
            std::copy(config.begin(), config.end(), block + sizeof(VIDEOINFOHEADER));
        } else {
            type->majortype = MEDIATYPE_Audio;
            type->subtype = MEDIASUBTYPE_RAW_AAC1;
            type->formattype = FORMAT_WaveFormatEx;
            BYTE* block = type->AllocFormatBuffer(static_cast<ULONG>(sizeof(WAVEFORMATEX) + config.size()));
            if (!block)
                return E_OUTOFMEMORY;
            auto* wave = reinterpret_cast<WAVEFORMATEX*>(block);
            *wave = {0xFF, 1, kAudioRate, static_cast<DWORD>(codec_->bit_rate / 8), 1, 0,
                     static_cast<WORD>(config.size())};
            std::copy(config.begin(), config.end(), block + sizeof(WAVEFORMATEX));
        }
        return S_OK;
    }

    HRESULT Encode(IMediaSample* sample)
    {
        std::lock_guard lock(encodeLock_);
        if (!codec_ && !OpenEncoder())
            return E_FAIL;
        REFERENCE_TIME start = 0, end = 0;
        if (FAILED(sample->GetTime(&start, &end)))
            start = 0;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        long length = sample->GetActualDataLength();
        return kind_ == Kind::Video ? EncodeVideo(data, length, start) : EncodeAudio(data, length, start);
    }

    HRESULT EndOfStream()
    {
        {
            std::lock_guard lock(encodeLock_);
            if (codec_) {
                // A part-filled sound frame is left out: padded, it would run
                // past the video's end and push the next run's times on.
                pcmFill_ = 0;
                avcodec_send_frame(codec_, nullptr);
                DeliverPackets();
                CloseEncoder();
            }
        }
        return output_->IsConnected() ? output_->DeliverEndOfStream() : S_OK;
    }

private:
    ULONG Property(const WCHAR* name, ULONG fallback)
    {
        auto it = properties_.find(name);
        if (it == properties_.end())
            return fallback;
        const VARIANT& v = it->second;
        if (v.vt == VT_UI4 && v.ulVal > 0)
            return v.ulVal;
        if (v.vt == VT_I4 && v.lVal > 0)
            return static_cast<ULONG>(v.lVal);
        return fallback;
    }
    bool Muted()
    {
        auto it = properties_.find(L"SetMuteSamples");
        return it != properties_.end() && it->second.vt == VT_BOOL && it->second.boolVal;
    }

    bool OpenEncoder()
    {
        plat::av::Quiet();
        const AVCodec* codec = avcodec_find_encoder(kind_ == Kind::Video ? AV_CODEC_ID_MPEG4 : AV_CODEC_ID_AAC);
        if (!codec)
            return false;
        codec_ = avcodec_alloc_context3(codec);
        frame_ = av_frame_alloc();
        packet_ = av_packet_alloc();
        if (!codec_ || !frame_ || !packet_) {
            CloseEncoder();
            return false;
        }
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        codec_->thread_count = 1;
        if (kind_ == Kind::Video) {
            const VIDEOINFOHEADER* vih = VideoInfoOf(InputType());
            if (!vih) {
                CloseEncoder();
                return false;
            }
            int fps = static_cast<int>(std::min<ULONG>(Property(L"VOPRate", kDefaultVopRate), 60));
            codec_->width = vih->bmiHeader.biWidth;
            codec_->height = std::abs(static_cast<int>(vih->bmiHeader.biHeight));
            codec_->pix_fmt = AV_PIX_FMT_YUV420P;
            codec_->time_base = {1, 1000};
            codec_->framerate = {fps, 1};
            codec_->gop_size = fps;
            codec_->max_b_frames = 0;
            codec_->bit_rate = Property(L"BitRate", kDefaultVideoBitRate);
        } else {
            codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
            codec_->sample_rate = kAudioRate;
            av_channel_layout_default(&codec_->ch_layout, 1);
            codec_->time_base = {1, kAudioRate};
            codec_->bit_rate = Property(L"BitRate", kDefaultAudioBitRate);
        }
        if (avcodec_open2(codec_, codec, nullptr) < 0) {
            CloseEncoder();
            return false;
        }
        if (kind_ == Kind::Audio)
            pcm_.assign(static_cast<size_t>(std::max(codec_->frame_size, 1)), 0.0f);
        pcmFill_ = 0;
        audioOrigin_ = -1;
        audioSamples_ = 0;
        lastPts_ = -1;
        return true;
    }

    void CloseEncoder()
    {
        if (packet_)
            av_packet_free(&packet_);
        if (frame_)
            av_frame_free(&frame_);
        if (codec_)
            avcodec_free_context(&codec_);
    }

    HRESULT EncodeVideo(const BYTE* data, long length, REFERENCE_TIME start)
    {
        const int w = codec_->width, h = codec_->height;
        const size_t n = static_cast<size_t>(w) * h;
        if (!data || length < static_cast<long>(n * 3 / 2))
            return E_INVALIDARG;
        av_frame_unref(frame_);
        frame_->format = AV_PIX_FMT_YUV420P;
        frame_->width = w;
        frame_->height = h;
        if (av_frame_get_buffer(frame_, 0) < 0)
            return E_OUTOFMEMORY;
        // YV12: Y, then Cr, then Cb.
        const auto& narrow = NarrowTables();
        const BYTE* planes[3] = {data, data + n + n / 4, data + n};
        for (int p = 0; p < 3; ++p) {
            int pw = p ? w / 2 : w, ph = p ? h / 2 : h;
            const auto& table = narrow[p ? 1 : 0];
            for (int y = 0; y < ph; ++y) {
                const BYTE* from = planes[p] + static_cast<size_t>(y) * pw;
                uint8_t* to = frame_->data[p] + static_cast<size_t>(y) * frame_->linesize[p];
                for (int x = 0; x < pw; ++x)
                    to[x] = table[from[x]];
            }
        }
        int64_t pts = start / 10000;
        if (pts <= lastPts_)
            pts = lastPts_ + 1;  // the encoder wants rising times
        lastPts_ = pts;
        frame_->pts = pts;
        if (avcodec_send_frame(codec_, frame_) < 0)
            return E_FAIL;
        return DeliverPackets();
    }

    HRESULT EncodeAudio(const BYTE* data, long length, REFERENCE_TIME start)
    {
        if (!data || length < 0)
            return E_INVALIDARG;
        if (audioOrigin_ < 0)
            audioOrigin_ = start;
        const bool mute = Muted();
        const auto* pcm = reinterpret_cast<const short*>(data);
        for (long i = 0; i < length / 2; ++i) {
            pcm_[pcmFill_++] = mute ? 0.0f : pcm[i] / 32768.0f;
            if (pcmFill_ == pcm_.size()) {
                HRESULT hr = SendAudioFrame();
                if (FAILED(hr))
                    return hr;
            }
        }
        return S_OK;
    }

    HRESULT SendAudioFrame()
    {
        av_frame_unref(frame_);
        frame_->format = AV_SAMPLE_FMT_FLTP;
        frame_->sample_rate = kAudioRate;
        frame_->nb_samples = static_cast<int>(pcm_.size());
        av_channel_layout_default(&frame_->ch_layout, 1);
        if (av_frame_get_buffer(frame_, 0) < 0)
            return E_OUTOFMEMORY;
        std::memcpy(frame_->data[0], pcm_.data(), pcm_.size() * sizeof(float));
        frame_->pts = audioSamples_;
        audioSamples_ += static_cast<int64_t>(pcm_.size());
        pcmFill_ = 0;
        if (avcodec_send_frame(codec_, frame_) < 0)
            return E_FAIL;
        return DeliverPackets();
    }

    // Hands every packet the encoder has ready downstream.
    HRESULT DeliverPackets()
    {
        for (;;) {
            int r = avcodec_receive_packet(codec_, packet_);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
                return S_OK;
            if (r < 0)
                return E_FAIL;
            REFERENCE_TIME start, end;
            if (kind_ == Kind::Video) {
                start = packet_->pts * 10000;
                end = start + kUnits / std::max(1, codec_->framerate.num);
            } else {
                // The encoder's priming samples are not part of the recording's time.
                start = audioOrigin_ + (packet_->pts + codec_->initial_padding) * kUnits / kAudioRate;
                end = start + packet_->duration * kUnits / kAudioRate;
            }
            if (output_->IsConnected()) {
                IMediaSample* sample = nullptr;
                if (SUCCEEDED(output_->GetDeliveryBuffer(&sample, packet_->size))) {
                    BYTE* bytes = nullptr;
                    sample->GetPointer(&bytes);
                    std::memcpy(bytes, packet_->data, static_cast<size_t>(packet_->size));
                    sample->SetActualDataLength(packet_->size);
                    sample->SetTime(&start, &end);
                    output_->Deliver(sample);
                    sample->Release();
                }
            }
            av_packet_unref(packet_);
        }
    }

    CCritSec lock_;
    Kind kind_ = Kind::None;
    DmoInput* input_ = nullptr;
    DmoOutput* output_ = nullptr;

    std::mutex encodeLock_;
    std::map<std::wstring, VARIANT> properties_;
    AVCodecContext* codec_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::vector<float> pcm_;
    size_t pcmFill_ = 0;
    REFERENCE_TIME audioOrigin_ = -1;
    int64_t audioSamples_ = 0;
    int64_t lastPts_ = -1;
};

DmoInput::DmoInput(DmoWrapper* dmo, CCritSec* lock) : CBaseInputPin(L"in0", dmo, lock, nullptr, L"in0"), dmo_(dmo) {}

HRESULT DmoInput::CheckMediaType(const CMediaType* type)
{
    if (!type)
        return E_POINTER;
    if (dmo_->GetKind() == Kind::Video) {
        const VIDEOINFOHEADER* vih = VideoInfoOf(*type);
        bool ok = type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_YV12 && vih &&
                  vih->bmiHeader.biWidth > 0 && vih->bmiHeader.biWidth % 2 == 0 && vih->bmiHeader.biHeight != 0 &&
                  vih->bmiHeader.biHeight % 2 == 0;
        return ok ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    if (!(type->majortype == MEDIATYPE_Audio) || !(type->subtype == MEDIASUBTYPE_PCM) ||
        !(type->formattype == FORMAT_WaveFormatEx) || type->cbFormat < sizeof(WAVEFORMATEX))
        return VFW_E_TYPE_NOT_ACCEPTED;
    const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
    return wave->nChannels == 1 && wave->wBitsPerSample == 16 && wave->nSamplesPerSec == kAudioRate
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DmoInput::Receive(IMediaSample* sample)
{
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (FAILED(hr))
        return hr;
    return dmo_->Encode(sample);
}

HRESULT DmoInput::EndOfStream() { return dmo_->EndOfStream(); }

DmoOutput::DmoOutput(DmoWrapper* dmo, CCritSec* lock)
    : CBaseOutputPin(L"out0", dmo, lock, nullptr, L"out0"), dmo_(dmo)
{
}

HRESULT DmoOutput::CheckMediaType(const CMediaType* type)
{
    CMediaType mine;
    if (!type || FAILED(dmo_->OutputType(&mine)))
        return VFW_E_TYPE_NOT_ACCEPTED;
    return type->majortype == mine.majortype && type->subtype == mine.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DmoOutput::GetMediaType(int position, CMediaType* type)
{
    if (position != 0)
        return VFW_S_NO_MORE_ITEMS;
    return SUCCEEDED(dmo_->OutputType(type)) ? S_OK : VFW_S_NO_MORE_ITEMS;
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_DMOWrapperFilter, plat::detail::MakeObject<DmoWrapper, IBaseFilter>);
    return true;
}();

}  // namespace
