// The video sources and decoders over FFmpeg: a source demuxes the first
// video stream of a device file, a decoder gives camera 4:2:0 frames.
#include "plat/video_decoder.h"

#include <cstring>
#include <string>

#include "av_media.h"
#include "com_object.h"
#include "file_internal.h"

namespace {

DWORD CodecNumber(AVCodecID id)
{
    switch (id) {
    case AV_CODEC_ID_H263:
        return kVideoCodecH263;
    case AV_CODEC_ID_MPEG4:
        return kVideoCodecMpeg4;
    case AV_CODEC_ID_H264:
        return kVideoCodecH264;
    case AV_CODEC_ID_MJPEG:
        return kVideoCodecMjpeg;
    default:
        return kVideoCodecOther;
    }
}

AVCodecID CodecOf(DWORD number)
{
    switch (number) {
    case kVideoCodecH263:
        return AV_CODEC_ID_H263;
    case kVideoCodecMpeg4:
        return AV_CODEC_ID_MPEG4;
    case kVideoCodecH264:
        return AV_CODEC_ID_H264;
    case kVideoCodecMjpeg:
        return AV_CODEC_ID_MJPEG;
    default:
        return AV_CODEC_ID_NONE;
    }
}

enum class Family { Avi, Iso };

// Whether the file is of the source's own family. FFmpeg reads QuickTime
// files with the same demuxer as 3GP and MP4: their brand tells them apart.
bool IsFamily(const plat::av::Input& input, Family family)
{
    const std::string demuxer = input.FormatName();
    if (family == Family::Avi)
        return demuxer == "avi";
    if (demuxer.find("3gp") == std::string::npos && demuxer.find("mp4") == std::string::npos)
        return false;
    return input.MajorBrand() != "qt  ";
}

template <Family F>
class VideoSource final : public plat::detail::ComObject<IVideoSource> {
public:
    VideoSource() { packet_ = av_packet_alloc(); }
    ~VideoSource() override { av_packet_free(&packet_); }

    HRESULT Open(LPCWSTR path, VideoStreamInfo* info) override
    {
        if (!path || !info)
            return E_POINTER;
        input_.Close();
        stream_ = -1;
        auto host = plat::detail::files::MapPath(path);
        if (!host)
            return E_HANDLE;
        if (!packet_)
            return E_OUTOFMEMORY;
        if (!input_.Open(host->string()) || !IsFamily(input_, F))
            return Refuse();
        stream_ = input_.FirstStream(AVMEDIA_TYPE_VIDEO);
        AVStream* stream = input_.Stream(stream_);
        if (!stream)
            return Refuse();
        const AVCodecParameters* par = stream->codecpar;
        if (par->width <= 0 || par->height <= 0 || par->width > plat::av::kMaxSide ||
            par->height > plat::av::kMaxSide)
            return Refuse();
        VideoStreamInfo out{CodecNumber(par->codec_id), par->width, par->height,
                            static_cast<DWORD>(input_.DurationMs()), nullptr, 0};
        if (par->extradata && par->extradata_size > 0) {
            out.config = static_cast<BYTE*>(CoTaskMemAlloc(static_cast<SIZE_T>(par->extradata_size)));
            if (!out.config) {
                input_.Close();
                return E_OUTOFMEMORY;
            }
            std::memcpy(out.config, par->extradata, static_cast<size_t>(par->extradata_size));
            out.configLength = static_cast<DWORD>(par->extradata_size);
        }
        *info = out;
        return S_OK;
    }

    HRESULT ReadSample(const BYTE** data, DWORD* length) override
    {
        if (!data || !length)
            return E_POINTER;
        if (!input_.IsOpen() || stream_ < 0)
            return E_FAIL;
        if (!input_.ReadPacket(stream_, packet_))
            return S_FALSE;
        *data = packet_->data;
        *length = static_cast<DWORD>(packet_->size);
        return S_OK;
    }

private:
    HRESULT Refuse()
    {
        input_.Close();
        stream_ = -1;
        return E_FAIL;
    }

    plat::av::Input input_;
    AVPacket* packet_ = nullptr;
    int stream_ = -1;
};

// A decoder for the codec numbers first..second.
template <DWORD First, DWORD Second>
class VideoDecoder final : public plat::detail::ComObject<IVideoDecoder> {
public:
    HRESULT Init(DWORD codec, int width, int height, const BYTE* config, DWORD configLength) override
    {
        if (codec != First && codec != Second)
            return E_FAIL;
        if (configLength > 1u << 20)
            return E_FAIL;
        return decoder_.Open(CodecOf(codec), config, static_cast<int>(configLength), width, height) ? S_OK
                                                                                                    : E_FAIL;
    }

    HRESULT Decode(const BYTE* sample, DWORD length, BYTE* frame, DWORD capacity) override
    {
        if (!decoder_.IsOpen())
            return E_FAIL;
        if (!frame)
            return E_POINTER;
        if (capacity < decoder_.FrameBytes())
            return E_INVALIDARG;
        if (length > 1u << 30)
            return E_INVALIDARG;
        int got = decoder_.Decode(sample, static_cast<int>(length), frame);
        return got > 0 ? S_OK : got == 0 ? S_FALSE : E_FAIL;
    }

private:
    plat::av::VideoDecoder decoder_;
};

using AviSource = VideoSource<Family::Avi>;
using IsoSource = VideoSource<Family::Iso>;
using Mpeg4Decoder = VideoDecoder<kVideoCodecH263, kVideoCodecMpeg4>;
using H264Decoder = VideoDecoder<kVideoCodecH264, kVideoCodecH264>;
using MjpegDecoder = VideoDecoder<kVideoCodecMjpeg, kVideoCodecMjpeg>;

const bool registered = [] {
    plat::RegisterComClass(CLSID_AviVideoSource, plat::detail::MakeObject<AviSource>);
    plat::RegisterComClass(CLSID_IsoVideoSource, plat::detail::MakeObject<IsoSource>);
    plat::RegisterComClass(CLSID_Mpeg4VideoDecoder, plat::detail::MakeObject<Mpeg4Decoder>);
    plat::RegisterComClass(CLSID_H264VideoDecoder, plat::detail::MakeObject<H264Decoder>);
    plat::RegisterComClass(CLSID_MjpegVideoDecoder, plat::detail::MakeObject<MjpegDecoder>);
    return true;
}();

}  // namespace
