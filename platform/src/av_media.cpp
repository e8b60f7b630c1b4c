#include "av_media.h"

#include <algorithm>
#include <array>
#include <mutex>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
}

namespace plat::av {

namespace {

// Studio range (luma 16..235, chroma 16..240) to the camera's full range.
void WidenRange(uint8_t* frame, size_t lumaSamples)
{
    static const auto tables = [] {
        std::array<std::array<uint8_t, 256>, 2> t{};
        for (int v = 0; v < 256; ++v) {
            t[0][v] = static_cast<uint8_t>(std::clamp((v - 16) * 255 / 219.0 + 0.5, 0.0, 255.0));
            t[1][v] = static_cast<uint8_t>(std::clamp((v - 128) * 255 / 224.0 + 128.5, 0.0, 255.0));
        }
        return t;
    }();
    for (size_t i = 0; i < lumaSamples; ++i)
        frame[i] = tables[0][frame[i]];
    for (size_t i = lumaSamples; i < lumaSamples + lumaSamples / 2; ++i)
        frame[i] = tables[1][frame[i]];
}

}  // namespace

void Quiet()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

Input::~Input() { Close(); }

bool Input::Open(const std::string& hostPath)
{
    Close();
    Quiet();
    if (avformat_open_input(&context_, hostPath.c_str(), nullptr, nullptr) < 0) {
        context_ = nullptr;
        return false;
    }
    if (avformat_find_stream_info(context_, nullptr) < 0) {
        Close();
        return false;
    }
    return true;
}

void Input::Close()
{
    if (context_)
        avformat_close_input(&context_);
    context_ = nullptr;
}

std::string Input::FormatName() const
{
    return context_ && context_->iformat && context_->iformat->name ? context_->iformat->name : "";
}

std::string Input::MajorBrand() const
{
    const AVDictionaryEntry* brand = context_ ? av_dict_get(context_->metadata, "major_brand", nullptr, 0) : nullptr;
    return brand && brand->value ? brand->value : "";
}

int Input::FirstStream(AVMediaType type) const
{
    if (!context_)
        return -1;
    for (unsigned i = 0; i < context_->nb_streams; ++i)
        if (context_->streams[i]->codecpar->codec_type == type)
            return static_cast<int>(i);
    return -1;
}

AVStream* Input::Stream(int index) const
{
    if (!context_ || index < 0 || static_cast<unsigned>(index) >= context_->nb_streams)
        return nullptr;
    return context_->streams[index];
}

int64_t Input::DurationMs() const
{
    if (!context_ || context_->duration == AV_NOPTS_VALUE || context_->duration < 0)
        return 0;
    return context_->duration / (AV_TIME_BASE / 1000);
}

bool Input::ReadPacket(int stream, AVPacket* packet)
{
    if (!context_ || !packet)
        return false;
    for (;;) {
        av_packet_unref(packet);
        if (av_read_frame(context_, packet) < 0)
            return false;
        if (packet->stream_index == stream)
            return true;
    }
}

bool Input::ReadAny(AVPacket* packet)
{
    if (!context_ || !packet)
        return false;
    av_packet_unref(packet);
    return av_read_frame(context_, packet) >= 0;
}

void Input::Seek(int stream, int64_t timestamp)
{
    if (context_)
        av_seek_frame(context_, stream, std::max<int64_t>(timestamp, 0), AVSEEK_FLAG_BACKWARD);
}

VideoDecoder::~VideoDecoder() { Close(); }

void VideoDecoder::Flush()
{
    if (codec_)
        avcodec_flush_buffers(codec_);
    draining_ = false;
}

bool VideoDecoder::Open(AVCodecID id, const uint8_t* config, int configLength, int width, int height)
{
    Close();
    Quiet();
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide || configLength < 0)
        return false;
    const AVCodec* codec = avcodec_find_decoder(id);
    if (!codec)
        return false;
    codec_ = avcodec_alloc_context3(codec);
    picture_ = av_frame_alloc();
    if (!codec_ || !picture_) {
        Close();
        return false;
    }
    codec_->width = width;
    codec_->height = height;
    codec_->thread_count = 1;  // frames in order of the samples, no thread delay
    if (config && configLength > 0) {
        codec_->extradata = static_cast<uint8_t*>(av_mallocz(static_cast<size_t>(configLength) +
                                                             AV_INPUT_BUFFER_PADDING_SIZE));
        if (!codec_->extradata) {
            Close();
            return false;
        }
        std::copy(config, config + configLength, codec_->extradata);
        codec_->extradata_size = configLength;
    }
    if (avcodec_open2(codec_, codec, nullptr) < 0) {
        Close();
        return false;
    }
    width_ = width + (width & 1);
    height_ = height + (height & 1);
    draining_ = false;
    return true;
}

void VideoDecoder::Close()
{
    if (scaler_)
        sws_freeContext(scaler_);
    scaler_ = nullptr;
    if (picture_)
        av_frame_free(&picture_);
    if (codec_)
        avcodec_free_context(&codec_);
    width_ = height_ = 0;
    draining_ = false;
}

int VideoDecoder::Receive(uint8_t* frame, int64_t* timestamp)
{
    if (!codec_)
        return -1;
    int r = avcodec_receive_frame(codec_, picture_);
    if (r < 0)
        return r == AVERROR(EAGAIN) || r == AVERROR_EOF ? 0 : -1;
    if (timestamp)
        *timestamp = picture_->best_effort_timestamp;
    int converted = Convert(picture_, frame);
    av_frame_unref(picture_);
    return converted;
}

int VideoDecoder::Decode(const uint8_t* data, int size, uint8_t* frame, int64_t* timestamp)
{
    if (!codec_)
        return -1;
    if (!data || size <= 0)
        return Send(nullptr, frame, timestamp);
    AVPacket* packet = av_packet_alloc();
    if (!packet)
        return -1;
    // The decoder reads past the end of a packet: give it padded bytes.
    int got = -1;
    if (av_new_packet(packet, size) == 0) {
        std::copy(data, data + size, packet->data);
        got = Send(packet, frame, timestamp);
    }
    av_packet_free(&packet);
    return got;
}

int VideoDecoder::Send(const AVPacket* packet, uint8_t* frame, int64_t* timestamp)
{
    if (!codec_)
        return -1;
    if (!packet) {
        if (!draining_) {
            draining_ = true;
            avcodec_send_packet(codec_, nullptr);
        }
        return Receive(frame, timestamp);
    }
    if (draining_)
        return 0;
    int r = avcodec_send_packet(codec_, packet);
    if (r == AVERROR(EAGAIN)) {
        // Frames were still waiting: hand out one, then the packet goes in.
        int got = Receive(frame, timestamp);
        r = avcodec_send_packet(codec_, packet);
        return r < 0 && r != AVERROR(EAGAIN) ? -1 : got;
    }
    if (r < 0 && r != AVERROR_INVALIDDATA)
        return -1;
    return Receive(frame, timestamp);
}

int VideoDecoder::Convert(const AVFrame* p, uint8_t* frame)
{
    if (p->width <= 0 || p->height <= 0 || p->width > kMaxSide || p->height > kMaxSide)
        return -1;
    auto format = static_cast<AVPixelFormat>(p->format);
    scaler_ = sws_getCachedContext(scaler_, p->width, p->height, format, width_, height_, AV_PIX_FMT_YUV420P,
                                   SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!scaler_)
        return -1;
    // Samples keep their range through the scaler (its plain-copy road
    // ignores range settings); a studio-range source is widened afterwards.
    int *inTable = nullptr, *outTable = nullptr, srcRange = 0, dstRange = 0, brightness = 0, contrast = 0,
        saturation = 0;
    sws_getColorspaceDetails(scaler_, &inTable, &srcRange, &outTable, &dstRange, &brightness, &contrast,
                             &saturation);
    bool jpegFormat = format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P ||
                      format == AV_PIX_FMT_YUVJ444P || format == AV_PIX_FMT_YUVJ440P;
    int full = p->color_range == AVCOL_RANGE_JPEG || jpegFormat ? 1 : 0;
    const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
    sws_setColorspaceDetails(scaler_, coefficients, full, coefficients, full, brightness, contrast, saturation);
    const size_t n = static_cast<size_t>(width_) * height_;
    uint8_t* planes[4] = {frame, frame + n + n / 4, frame + n, nullptr};  // Y, Cb, Cr: Cr sits first
    int strides[4] = {width_, width_ / 2, width_ / 2, 0};
    int rows = sws_scale(scaler_, p->data, p->linesize, 0, p->height, planes, strides);
    if (rows <= 0)
        return -1;
    if (!full)
        WidenRange(frame, n);
    return 1;
}

}  // namespace plat::av
