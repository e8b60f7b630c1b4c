#include "file_source.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "av_media.h"
#include "file_internal.h"
#include "plat/dshow_camcorder.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace {

constexpr REFERENCE_TIME kUnits = 10000000;
constexpr AVRational kUnitBase{1, 10000000};

// The first channel of a decoded sound frame as 16-bit samples.
void FirstChannel(const AVFrame* f, std::vector<short>* out)
{
    out->resize(static_cast<size_t>(std::max(f->nb_samples, 0)));
    const int channels = std::max(f->ch_layout.nb_channels, 1);
    const auto format = static_cast<AVSampleFormat>(f->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int step = planar ? 1 : channels;
    for (int i = 0; i < f->nb_samples; ++i) {
        const size_t at = static_cast<size_t>(i) * step;
        double v = 0;
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            v = (f->data[0][at] - 128) / 128.0;
            break;
        case AV_SAMPLE_FMT_S16:
            v = reinterpret_cast<const int16_t*>(f->data[0])[at] / 32768.0;
            break;
        case AV_SAMPLE_FMT_S32:
            v = reinterpret_cast<const int32_t*>(f->data[0])[at] / 2147483648.0;
            break;
        case AV_SAMPLE_FMT_FLT:
            v = reinterpret_cast<const float*>(f->data[0])[at];
            break;
        case AV_SAMPLE_FMT_DBL:
            v = reinterpret_cast<const double*>(f->data[0])[at];
            break;
        default:
            break;
        }
        (*out)[static_cast<size_t>(i)] = static_cast<short>(std::clamp(v, -1.0, 1.0) * 32767);
    }
}

class FileSource;

class SourcePin final : public CBaseOutputPin {
public:
    SourcePin(FileSource* source, CCritSec* lock, const WCHAR* name, bool video);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        CMediaType mine;
        if (!type || GetMediaType(0, &mine) != S_OK)
            return VFW_E_TYPE_NOT_ACCEPTED;
        return type->majortype == mine.majortype && type->subtype == mine.subtype ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override;

private:
    FileSource* source_;
    bool video_;
};

class FileSource final : public CBaseFilter, public plat::detail::MediaSource {
public:
    FileSource() : CBaseFilter(L"File Source", nullptr, &lock_, GUID_NULL) {}
    ~FileSource() override
    {
        StopThread();
        delete video_;
        delete audio_;
        if (audioCodec_)
            avcodec_free_context(&audioCodec_);
    }

    HRESULT Load(LPCWSTR path)
    {
        auto host = plat::detail::files::MapPath(path);
        if (!host)
            return E_HANDLE;
        if (!input_.Open(host->string()))
            return VFW_E_UNSUPPORTED_STREAM;
        videoStream_ = input_.FirstStream(AVMEDIA_TYPE_VIDEO);
        AVStream* stream = input_.Stream(videoStream_);
        if (!stream)
            return VFW_E_UNSUPPORTED_STREAM;
        const AVCodecParameters* par = stream->codecpar;
        if (!decoder_.Open(par->codec_id, par->extradata, par->extradata_size, par->width, par->height))
            return VFW_E_UNSUPPORTED_STREAM;
        frameTime_ = stream->avg_frame_rate.num > 0 ? av_rescale_q(1, av_inv_q(stream->avg_frame_rate), kUnitBase)
                                                    : kUnits / 15;
        OpenSound();
        name_ = path;
        duration_ = input_.DurationMs() * 10000;
        video_ = new SourcePin(this, &lock_, L"Video", true);
        if (audioCodec_)
            audio_ = new SourcePin(this, &lock_, L"Audio", false);
        return S_OK;
    }

    // ---- MediaSource
    const std::wstring& FileName() const override { return name_; }
    REFERENCE_TIME Duration() const override { return duration_; }
    void SeekTo(REFERENCE_TIME position) override { position_ = std::max<REFERENCE_TIME>(position, 0); }
    CBasePin* VideoPin() override { return video_; }
    CBasePin* AudioPin() override { return audio_; }

    int GetPinCount() override { return audio_ ? 2 : 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? static_cast<CBasePin*>(video_) : n == 1 ? audio_ : nullptr; }

    HRESULT Pause() override
    {
        const bool starting = State() == State_Stopped;
        HRESULT hr = CBaseFilter::Pause();
        if (SUCCEEDED(hr) && starting)
            StartThread();
        return hr;
    }
    HRESULT Stop() override
    {
        StopThread();
        position_ = 0;  // a stopped graph starts again from the beginning
        return CBaseFilter::Stop();
    }

    int Width() const { return decoder_.Width(); }
    int Height() const { return decoder_.Height(); }
    int SoundRate() const { return audioCodec_ ? audioCodec_->sample_rate : 0; }
    REFERENCE_TIME FrameTime() const { return frameTime_; }

private:
    void OpenSound()
    {
        audioStream_ = input_.FirstStream(AVMEDIA_TYPE_AUDIO);
        AVStream* stream = input_.Stream(audioStream_);
        const AVCodec* codec = stream ? avcodec_find_decoder(stream->codecpar->codec_id) : nullptr;
        if (!codec)
            return;
        audioCodec_ = avcodec_alloc_context3(codec);
        if (!audioCodec_ || avcodec_parameters_to_context(audioCodec_, stream->codecpar) < 0 ||
            avcodec_open2(audioCodec_, codec, nullptr) < 0 || audioCodec_->sample_rate <= 0) {
            if (audioCodec_)
                avcodec_free_context(&audioCodec_);
            audioStream_ = -1;
        }
    }

    void StartThread()
    {
        std::lock_guard lock(threadLock_);
        if (thread_.joinable())
            return;
        exit_ = false;
        thread_ = std::thread([this] { Stream(); });
    }
    void StopThread()
    {
        std::thread thread;
        {
            std::lock_guard lock(threadLock_);
            exit_ = true;
            thread = std::move(thread_);
        }
        if (thread.joinable())
            thread.join();
    }

    // Reads the file from the position on and hands out frames and sound.
    void Stream()
    {
        const REFERENCE_TIME from = position_.load();
        AVPacket* packet = av_packet_alloc();
        AVFrame* sound = av_frame_alloc();
        std::vector<uint8_t> frame(decoder_.FrameBytes());
        if (!packet || !sound) {
            av_packet_free(&packet);
            av_frame_free(&sound);
            return;
        }
        AVStream* stream = input_.Stream(videoStream_);
        input_.Seek(videoStream_, av_rescale_q(from, kUnitBase, stream->time_base));
        decoder_.Flush();
        if (audioCodec_)
            avcodec_flush_buffers(audioCodec_);
        pendingFrame_ = false;
        while (!exit_ && input_.ReadAny(packet)) {
            if (packet->stream_index == videoStream_) {
                int got = decoder_.Send(packet, frame.data(), &frameTs_);
                while (got > 0 && !exit_) {
                    OfferFrame(frame, from);
                    got = decoder_.Receive(frame.data(), &frameTs_);
                }
            } else if (packet->stream_index == audioStream_ && audio_->IsConnected()) {
                DecodeSound(packet, sound, from);
            }
        }
        // What the decoders still hold, then the ends of the streams.
        int got = exit_ ? 0 : decoder_.Decode(nullptr, 0, frame.data(), &frameTs_);
        while (got > 0 && !exit_) {
            OfferFrame(frame, from);
            got = decoder_.Decode(nullptr, 0, frame.data(), &frameTs_);
        }
        if (!exit_ && pendingFrame_)
            DeliverFrame(held_, heldStart_);
        if (!exit_) {
            if (video_->IsConnected())
                video_->DeliverEndOfStream();
            if (audio_ && audio_->IsConnected())
                audio_->DeliverEndOfStream();
        }
        av_packet_free(&packet);
        av_frame_free(&sound);
    }

    REFERENCE_TIME TimeOf(int64_t ts, int stream) const
    {
        AVStream* s = input_.Stream(stream);
        if (ts == AV_NOPTS_VALUE || !s)
            return -1;
        int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
        return av_rescale_q(ts - start, s->time_base, kUnitBase);
    }

    // Frames before the position are held back: the last of them is shown
    // first, so a run starts at the frame at or before its position.
    void OfferFrame(const std::vector<uint8_t>& frame, REFERENCE_TIME from)
    {
        REFERENCE_TIME start = TimeOf(frameTs_, videoStream_);
        if (start < 0)
            start = lastStart_ + frameTime_;
        lastStart_ = start;
        if (start < from) {
            held_ = frame;
            heldStart_ = start;
            pendingFrame_ = true;
            return;
        }
        if (pendingFrame_) {
            pendingFrame_ = false;
            if (start > from)
                DeliverFrame(held_, from);
        }
        DeliverFrame(frame, start);
    }

    void DeliverFrame(const std::vector<uint8_t>& frame, REFERENCE_TIME start)
    {
        if (!video_->IsConnected())
            return;
        IMediaSample* sample = nullptr;
        if (FAILED(video_->GetDeliveryBuffer(&sample, static_cast<long>(frame.size()))))
            return;
        BYTE* bytes = nullptr;
        sample->GetPointer(&bytes);
        std::memcpy(bytes, frame.data(), frame.size());
        sample->SetActualDataLength(static_cast<long>(frame.size()));
        REFERENCE_TIME end = start + frameTime_;
        sample->SetTime(&start, &end);
        video_->Deliver(sample);
        sample->Release();
    }

    void DecodeSound(const AVPacket* packet, AVFrame* sound, REFERENCE_TIME from)
    {
        if (avcodec_send_packet(audioCodec_, packet) < 0)
            return;
        while (!exit_ && avcodec_receive_frame(audioCodec_, sound) == 0) {
            REFERENCE_TIME start = TimeOf(sound->best_effort_timestamp, audioStream_);
            FirstChannel(sound, &pcm_);
            const REFERENCE_TIME length = static_cast<REFERENCE_TIME>(pcm_.size()) * kUnits / audioCodec_->sample_rate;
            av_frame_unref(sound);
            if (start < 0 || start + length <= from || pcm_.empty())
                continue;
            IMediaSample* sample = nullptr;
            const long bytes = static_cast<long>(pcm_.size() * 2);
            if (FAILED(audio_->GetDeliveryBuffer(&sample, bytes)))
                continue;
            BYTE* data = nullptr;
            sample->GetPointer(&data);
            std::memcpy(data, pcm_.data(), static_cast<size_t>(bytes));
            sample->SetActualDataLength(bytes);
            REFERENCE_TIME end = start + length;
            sample->SetTime(&start, &end);
            audio_->Deliver(sample);
            sample->Release();
        }
    }

    CCritSec lock_;
    std::wstring name_;
    plat::av::Input input_;
    plat::av::VideoDecoder decoder_;
    AVCodecContext* audioCodec_ = nullptr;
    int videoStream_ = -1;
    int audioStream_ = -1;
    REFERENCE_TIME duration_ = 0;
    REFERENCE_TIME frameTime_ = kUnits / 15;
    std::atomic<REFERENCE_TIME> position_{0};
    SourcePin* video_ = nullptr;
    SourcePin* audio_ = nullptr;

    std::mutex threadLock_;
    std::thread thread_;
    std::atomic<bool> exit_{false};
    // Streaming thread only.
    int64_t frameTs_ = AV_NOPTS_VALUE;
    REFERENCE_TIME lastStart_ = -kUnits;
    std::vector<uint8_t> held_;
    REFERENCE_TIME heldStart_ = 0;
    bool pendingFrame_ = false;
    std::vector<short> pcm_;
};

SourcePin::SourcePin(FileSource* source, CCritSec* lock, const WCHAR* name, bool video)
    : CBaseOutputPin(name, source, lock, nullptr, name), source_(source), video_(video)
{
}

HRESULT SourcePin::GetMediaType(int position, CMediaType* type)
{
    if (position != 0)
        return VFW_S_NO_MORE_ITEMS;
    type->Clear();
    if (video_) {
        const int w = source_->Width(), h = source_->Height();
        type->majortype = MEDIATYPE_Video;
        type->subtype = MEDIASUBTYPE_YV12;
        type->formattype = FORMAT_VideoInfo;
        type->bFixedSizeSamples = TRUE;
        type->lSampleSize = static_cast<ULONG>(w * h * 3 / 2);
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->AllocFormatBuffer(sizeof(VIDEOINFOHEADER)));
        if (!vih)
            return E_OUTOFMEMORY;
        vih->AvgTimePerFrame = source_->FrameTime();
        vih->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        vih->bmiHeader.biWidth = w;
        vih->bmiHeader.biHeight = h;
        vih->bmiHeader.biPlanes = 1;
        vih->bmiHeader.biBitCount = 12;
        vih->bmiHeader.biCompression = MAKEFOURCC('Y', 'V', '1', '2');
        vih->bmiHeader.biSizeImage = type->lSampleSize;
        return S_OK;
    }
    const DWORD rate = static_cast<DWORD>(source_->SoundRate());
    type->majortype = MEDIATYPE_Audio;
    type->subtype = MEDIASUBTYPE_PCM;
    type->formattype = FORMAT_WaveFormatEx;
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = 2;
    auto* wave = reinterpret_cast<WAVEFORMATEX*>(type->AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    if (!wave)
        return E_OUTOFMEMORY;
    *wave = {WAVE_FORMAT_PCM, 1, rate, rate * 2, 2, 16, 0};
    return S_OK;
}

}  // namespace

HRESULT plat::detail::CreateFileSource(LPCWSTR path, IBaseFilter** filter)
{
    if (!path || !filter)
        return E_POINTER;
    *filter = nullptr;
    auto* source = new (std::nothrow) FileSource;
    if (!source)
        return E_OUTOFMEMORY;
    HRESULT hr = source->Load(path);
    if (FAILED(hr)) {
        source->Release();
        return hr;
    }
    *filter = source;
    return S_OK;
}
