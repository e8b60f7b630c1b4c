// Media files through FFmpeg's libraries, shared by the platform's video
// sources and decoders: a demuxed input and a video decoder that writes
// camera 4:2:0 frames (Y, Cr, Cb; full-range) of a fixed size.
#pragma once

#include <cstdint>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace plat::av {

// Sides above this are refused before any frame is allocated.
inline constexpr int kMaxSide = 16384;

// FFmpeg's own log lines stay off: failures come back as results.
void Quiet();

// An opened media file and the packets of one of its streams.
class Input {
public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input();

    // Opens a host file by its content; false when FFmpeg reads no media in it.
    bool Open(const std::string& hostPath);
    void Close();
    bool IsOpen() const { return context_ != nullptr; }
    // The demuxer's names, e.g. "avi" or "mov,mp4,m4a,3gp,3g2,mj2".
    std::string FormatName() const;
    // The ISO file's major brand ("3gp4", "isom", "qt  "), empty when none.
    std::string MajorBrand() const;
    // The first stream of the kind, or -1.
    int FirstStream(AVMediaType type) const;
    AVStream* Stream(int index) const;
    // Duration of the file in milliseconds, 0 when unknown.
    int64_t DurationMs() const;
    // The next packet of the stream into `packet` (unreferenced first); false
    // at the end or where the file stops being readable.
    bool ReadPacket(int stream, AVPacket* packet);
    // The next packet of any stream.
    bool ReadAny(AVPacket* packet);
    // Moves to the key frame at or before the time (the stream's units).
    void Seek(int stream, int64_t timestamp);

private:
    AVFormatContext* context_ = nullptr;
};

// One video stream's decoder.
class VideoDecoder {
public:
    VideoDecoder() = default;
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;
    ~VideoDecoder();

    // Frames come out at width x height (rounded up to even), whatever size
    // the stream's pictures have.
    bool Open(AVCodecID codec, const uint8_t* config, int configLength, int width, int height);
    void Close();
    bool IsOpen() const { return codec_ != nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t FrameBytes() const { return static_cast<size_t>(width_) * height_ * 3 / 2; }
    // Sends a packet (null data: drain) and takes one frame if one is ready:
    // 1 a frame was written, 0 more input is needed, -1 broken data or no
    // decoder. Packets already sent are kept when a frame comes out first.
    // timestamp: the frame's time in the stream's units, when asked.
    int Decode(const uint8_t* data, int size, uint8_t* frame, int64_t* timestamp = nullptr);
    // The same for a demuxed packet, whose times go with it.
    int Send(const AVPacket* packet, uint8_t* frame, int64_t* timestamp = nullptr);
    // Takes a frame already decoded without sending anything: 1 or 0.
    int Receive(uint8_t* frame, int64_t* timestamp = nullptr);
    // Forgets what is held (after a seek, or to decode again after a drain).
    void Flush();

private:
    int Convert(const AVFrame* picture, uint8_t* frame);

    AVCodecContext* codec_ = nullptr;
    AVFrame* picture_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int width_ = 0, height_ = 0;
    bool draining_ = false;
};

}  // namespace plat::av
