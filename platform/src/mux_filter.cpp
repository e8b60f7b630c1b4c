// The camcorder's multiplexer: MPEG-4 video and AAC sound into a fragmented
// 3GPP file written by libavformat through the platform's file calls (so a
// full device volume fails the write as it would on the handset). Fragments
// are cut before each key frame and whenever every input has ended, so the
// file on disk is always whole up to its last fragment.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "av_media.h"
#include "plat/debug.h"
#include "com_object.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "plat/file.h"
#include "plat/handle.h"
#include "plat/utf.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr REFERENCE_TIME kUnits = 10000000;
constexpr int kIoBuffer = 64 * 1024;
// What a fragment adds beside its samples: box headers per track, and a
// table entry per sample.
constexpr int64_t kFragmentOverhead = 256;
constexpr int64_t kSampleOverhead = 16;

std::atomic<long long> g_failWritesAfter{-1};

// Whether an MPEG-4 Part 2 packet holds an intra-coded picture.
bool IsIntraVop(const uint8_t* data, int size)
{
    for (int i = 0; i + 4 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB6)
            return (data[i + 4] >> 6) == 0;
    return false;
}

class Mux;

class MuxInput final : public CBaseInputPin {
public:
    MuxInput(Mux* mux, CCritSec* lock, const WCHAR* name, bool video);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        if (!type)
            return E_POINTER;
        if (video_)
            return type->majortype == MEDIATYPE_Video && type->subtype == MEDIASUBTYPE_MP4V && VideoInfoOf(*type)
                       ? S_OK
                       : VFW_E_TYPE_NOT_ACCEPTED;
        return type->majortype == MEDIATYPE_Audio && type->subtype == MEDIASUBTYPE_RAW_AAC1 &&
                       type->formattype == FORMAT_WaveFormatEx && type->cbFormat >= sizeof(WAVEFORMATEX)
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    bool Video() const { return video_; }

private:
    Mux* mux_;
    bool video_;
};

class Mux final : public CBaseFilter, public IFileSinkFilter, public IMuxLimit {
public:
    Mux() : CBaseFilter(L"Mux Filter", nullptr, &lock_, CLSID_CamcorderMux)
    {
        video_ = new MuxInput(this, &lock_, L"Video In", true);
        audio_ = new MuxInput(this, &lock_, L"Audio In", false);
    }
    ~Mux() override
    {
        {
            std::lock_guard lock(muxLock_);
            CloseFile();
        }
        delete video_;
        delete audio_;
    }

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IFileSinkFilter)
            *out = static_cast<IFileSinkFilter*>(this);
        else if (iid == IID_IMuxLimit)
            *out = static_cast<IMuxLimit*>(this);
        else
            return CBaseFilter::QueryInterface(iid, out);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return CBaseFilter::AddRef(); }
    ULONG Release() override { return CBaseFilter::Release(); }

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override { return n == 0 ? video_ : n == 1 ? audio_ : nullptr; }

    HRESULT Stop() override
    {
        HRESULT hr = CBaseFilter::Stop();
        std::lock_guard lock(muxLock_);
        CloseFile();
        return hr;
    }

    HRESULT SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) override
    {
        if (!name)
            return E_POINTER;
        std::lock_guard lock(muxLock_);
        CloseFile();
        name_ = name;
        return S_OK;
    }
    HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) override
    {
        if (!name)
            return E_POINTER;
        std::lock_guard lock(muxLock_);
        *name = nullptr;
        if (type)
            std::memset(type, 0, sizeof *type);
        if (name_.empty())
            return E_FAIL;
        auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((name_.size() + 1) * sizeof(WCHAR)));
        if (!copy)
            return E_OUTOFMEMORY;
        std::copy(name_.c_str(), name_.c_str() + name_.size() + 1, copy);
        *name = copy;
        return S_OK;
    }

    HRESULT SetLimit(DWORD mode, DWORD value) override
    {
        if (mode > 1)
            return E_INVALIDARG;
        std::lock_guard lock(muxLock_);
        sizeLimit_ = mode == 0 ? static_cast<int64_t>(value) * 1024 : 0;
        timeLimit_ = mode == 1 ? static_cast<REFERENCE_TIME>(value) * kUnits : 0;
        limitRaised_ = false;
        return S_OK;
    }

    HRESULT Write(MuxInput* pin, IMediaSample* sample)
    {
        long event = 0;
        {
            std::lock_guard lock(muxLock_);
            event = WriteLocked(pin, sample);
        }
        if (event)
            NotifyEvent(event, 0, 0);
        return S_OK;
    }

    HRESULT EndOfStream(MuxInput* pin)
    {
        long event = 0;
        {
            std::lock_guard lock(muxLock_);
            (pin->Video() ? videoEnded_ : audioEnded_) = true;
            bool all = (!video_->IsConnected() || videoEnded_) && (!audio_->IsConnected() || audioEnded_);
            if (all && context_ && !paused_) {
                // Everything so far goes to disk: the file is whole now, and
                // let go so it opens at once; a resume takes it back.
                paused_ = true;
                if (!failed_ && !WriteFragment())
                    event = Fail();
                ReleaseFile();
            }
        }
        if (event)
            NotifyEvent(event, 0, 0);
        return S_OK;
    }

private:
    // ---- the file, through the platform's file calls
    static int WritePacket(void* opaque, uint8_t* data, int size)
    {
        auto* self = static_cast<Mux*>(opaque);
        if (!self->file_)
            return AVERROR(EIO);
        long long left = g_failWritesAfter.load();
        if (left >= 0) {
            if (left < size)
                return AVERROR(EIO);
            g_failWritesAfter = left - size;
        }
        DWORD written = 0;
        if (!WriteFile(self->file_, data, static_cast<DWORD>(size), &written, nullptr) ||
            written != static_cast<DWORD>(size))
            return AVERROR(EIO);
        return size;
    }
    static int64_t Seek(void* opaque, int64_t offset, int whence)
    {
        auto* self = static_cast<Mux*>(opaque);
        if (!self->file_)
            return AVERROR(EIO);
        if (whence == AVSEEK_SIZE)
            return GetFileSize(self->file_, nullptr);
        if ((whence & ~AVSEEK_FORCE) != SEEK_SET || offset < 0 || offset > 0x7FFFFFFF)
            return AVERROR(EINVAL);
        if (SetFilePointer(self->file_, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
            return AVERROR(EIO);
        return offset;
    }

    bool OpenFile()
    {
        if (name_.empty())
            return false;
        plat::av::Quiet();
        file_ = CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            file_ = nullptr;
            return false;
        }
        if (avformat_alloc_output_context2(&context_, nullptr, "3gp", nullptr) < 0 || !context_)
            return AbandonOpen();
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
        context_->pb = buffer ? avio_alloc_context(buffer, kIoBuffer, 1, this, nullptr, WritePacket, Seek) : nullptr;
        if (!context_->pb) {
            av_free(buffer);
            return AbandonOpen();
        }
        if ((video_->IsConnected() && !AddStream(video_->CurrentMediaType(), true)) ||
            (audio_->IsConnected() && !AddStream(audio_->CurrentMediaType(), false)))
            return AbandonOpen();
        AVDictionary* options = nullptr;
        av_dict_set(&options, "movflags", "empty_moov+frag_custom+default_base_moof+skip_trailer", 0);
        int r = avformat_write_header(context_, &options);
        av_dict_free(&options);
        if (r < 0)
            return AbandonOpen();
        origin_ = -1;
        gap_ = 0;
        lastEnd_ = 0;
        paused_ = false;
        videoEnded_ = audioEnded_ = false;
        failed_ = false;
        limitReached_ = false;
        pendingBytes_ = pendingSamples_ = 0;
        lastDts_[0] = lastDts_[1] = INT64_MIN;
        return true;
    }

    bool AddStream(const CMediaType& type, bool video)
    {
        AVStream* stream = avformat_new_stream(context_, nullptr);
        if (!stream)
            return false;
        AVCodecParameters* par = stream->codecpar;
        size_t header = video ? sizeof(VIDEOINFOHEADER) : sizeof(WAVEFORMATEX);
        if (type.cbFormat > header) {
            size_t n = type.cbFormat - header;
            par->extradata = static_cast<uint8_t*>(av_mallocz(n + AV_INPUT_BUFFER_PADDING_SIZE));
            if (!par->extradata)
                return false;
            std::memcpy(par->extradata, type.pbFormat + header, n);
            par->extradata_size = static_cast<int>(n);
        }
        if (video) {
            const VIDEOINFOHEADER* vih = VideoInfoOf(type);
            par->codec_type = AVMEDIA_TYPE_VIDEO;
            par->codec_id = AV_CODEC_ID_MPEG4;
            par->width = vih->bmiHeader.biWidth;
            par->height = std::abs(static_cast<int>(vih->bmiHeader.biHeight));
            par->bit_rate = vih->dwBitRate;
            stream->time_base = {1, 1000};
            streamIndex_[0] = stream->index;
        } else {
            const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
            par->codec_type = AVMEDIA_TYPE_AUDIO;
            par->codec_id = AV_CODEC_ID_AAC;
            par->sample_rate = static_cast<int>(wave->nSamplesPerSec);
            av_channel_layout_default(&par->ch_layout, wave->nChannels ? wave->nChannels : 1);
            par->bit_rate = static_cast<int64_t>(wave->nAvgBytesPerSec) * 8;
            par->frame_size = 1024;
            stream->time_base = {1, static_cast<int>(wave->nSamplesPerSec ? wave->nSamplesPerSec : 8000)};
            streamIndex_[1] = stream->index;
        }
        return true;
    }

    bool AbandonOpen()
    {
        FreeContext();
        if (file_)
            CloseHandle(file_);
        file_ = nullptr;
        return false;
    }

    void FreeContext()
    {
        if (!context_)
            return;
        if (context_->pb) {
            av_freep(&context_->pb->buffer);
            avio_context_free(&context_->pb);
        }
        avformat_free_context(context_);
        context_ = nullptr;
    }

    // Closes the handle only; the muxer stays, so a resume appends.
    void ReleaseFile()
    {
        if (!file_)
            return;
        FlushFileBuffers(file_);
        CloseHandle(file_);
        file_ = nullptr;
    }

    // Takes a released file back at the place the muxer left it.
    bool ReopenFile()
    {
        file_ = CreateFileW(name_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            file_ = nullptr;
            return false;
        }
        const int64_t at = avio_tell(context_->pb);
        if (at < 0 || at > 0x7FFFFFFF ||
            SetFilePointer(file_, static_cast<LONG>(at), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) {
            ReleaseFile();
            return false;
        }
        return true;
    }

    void CloseFile()
    {
        if (context_) {
            // A released file went whole to disk at its end of stream.
            if (!failed_ && file_)
                av_write_trailer(context_);
            avio_flush(context_->pb);
            FreeContext();
        }
        if (file_) {
            FlushFileBuffers(file_);
            CloseHandle(file_);
        }
        file_ = nullptr;
    }

    bool WriteFailed() const { return context_ && context_->pb && context_->pb->error < 0; }

    long Fail()
    {
        failed_ = true;
        plat::DebugLine(L"Mux: writing \"%ls\" failed; the file keeps what was written", name_.c_str());
        return kMuxEventWriteError;
    }

    long WriteLocked(MuxInput* pin, IMediaSample* sample)
    {
        if (failed_ || limitReached_)
            return 0;
        if (!context_ && !OpenFile()) {
            failed_ = true;
            plat::DebugLine(L"Mux: \"%ls\" could not be opened", name_.c_str());
            return kMuxEventWriteError;
        }
        if (!file_ && !ReopenFile())
            return Fail();
        REFERENCE_TIME start = 0, end = 0;
        if (FAILED(sample->GetTime(&start, &end)))
            start = end = lastEnd_;
        (pin->Video() ? videoEnded_ : audioEnded_) = false;
        if (paused_) {
            // The time spent paused is left out of the file.
            gap_ += std::max<REFERENCE_TIME>(0, start - lastEnd_);
            paused_ = false;
        }
        if (origin_ < 0)
            origin_ = start;
        const REFERENCE_TIME at = start - gap_ - origin_;
        lastEnd_ = std::max(lastEnd_, end);
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        const int size = static_cast<int>(sample->GetActualDataLength());
        if (!data || size <= 0 || at < 0)
            return 0;  // nothing before the recording's first sample

        if ((timeLimit_ > 0 && at >= timeLimit_) ||
            (sizeLimit_ > 0 && avio_tell(context_->pb) + pendingBytes_ + size +
                                       (pendingSamples_ + 1) * kSampleOverhead + kFragmentOverhead >
                                   sizeLimit_))
            return ReachLimit();

        const bool video = pin->Video();
        const int index = streamIndex_[video ? 0 : 1];
        const bool key = !video || IsIntraVop(data, size);
        if (video && key && pendingSamples_ > 0 && !WriteFragment())
            return Fail();
        AVPacket* packet = av_packet_alloc();
        if (!packet)
            return Fail();
        int r = av_new_packet(packet, size);
        if (r == 0) {
            std::memcpy(packet->data, data, static_cast<size_t>(size));
            AVStream* stream = context_->streams[index];
            int64_t ts = av_rescale_q(at, {1, static_cast<int>(kUnits)}, stream->time_base);
            int64_t& last = lastDts_[video ? 0 : 1];
            if (last != INT64_MIN && ts <= last)
                ts = last + 1;
            last = ts;
            packet->pts = packet->dts = ts;
            packet->duration = av_rescale_q(std::max<REFERENCE_TIME>(end - start, 0), {1, static_cast<int>(kUnits)},
                                            stream->time_base);
            packet->stream_index = index;
            if (key)
                packet->flags |= AV_PKT_FLAG_KEY;
            r = av_write_frame(context_, packet);
        }
        av_packet_free(&packet);
        if (r < 0 || WriteFailed())
            return Fail();
        pendingBytes_ += size;
        ++pendingSamples_;
        return 0;
    }

    // The samples held so far go to disk as one fragment.
    bool WriteFragment()
    {
        pendingBytes_ = pendingSamples_ = 0;
        if (av_write_frame(context_, nullptr) < 0)
            return false;
        avio_flush(context_->pb);
        return !WriteFailed();
    }

    long ReachLimit()
    {
        limitReached_ = true;
        if (!WriteFragment())
            return Fail();
        if (limitRaised_)
            return 0;
        limitRaised_ = true;
        return kMuxEventLimitReached;
    }

    CCritSec lock_;
    MuxInput* video_;
    MuxInput* audio_;

    std::mutex muxLock_;
    std::wstring name_;
    HANDLE file_ = nullptr;
    AVFormatContext* context_ = nullptr;
    int streamIndex_[2] = {0, 0};
    int64_t lastDts_[2] = {INT64_MIN, INT64_MIN};
    REFERENCE_TIME origin_ = -1;
    REFERENCE_TIME gap_ = 0;
    REFERENCE_TIME lastEnd_ = 0;
    bool paused_ = false;
    bool videoEnded_ = false;
    bool audioEnded_ = false;
    bool failed_ = false;
    bool limitReached_ = false;
    bool limitRaised_ = false;
    int64_t sizeLimit_ = 0;
    REFERENCE_TIME timeLimit_ = 0;
    int64_t pendingBytes_ = 0;
    int64_t pendingSamples_ = 0;
};

MuxInput::MuxInput(Mux* mux, CCritSec* lock, const WCHAR* name, bool video)
    : CBaseInputPin(name, mux, lock, nullptr, name), mux_(mux), video_(video)
{
}

HRESULT MuxInput::Receive(IMediaSample* sample)
{
    HRESULT hr = CBaseInputPin::Receive(sample);
    if (FAILED(hr))
        return hr;
    return mux_->Write(this, sample);
}

HRESULT MuxInput::EndOfStream() { return mux_->EndOfStream(this); }

const bool registered = [] {
    plat::RegisterComClass(CLSID_CamcorderMux, plat::detail::MakeObject<Mux, IBaseFilter>);
    return true;
}();

}  // namespace

void plat::FailMuxWritesAfter(long long bytes) { g_failWritesAfter = bytes; }
