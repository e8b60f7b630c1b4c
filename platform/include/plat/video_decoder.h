// The platform's video sources and decoders: the first frames of stored
// video files. A source opens a device file and hands out the samples of its
// first video stream; a decoder turns samples into 4:2:0 frames in the
// camera's layout (Y, then Cr at W*H, then Cb at W*H + W*H/4), full-range
// YCbCr as the camera gives it.
//
// The AVI source reads RIFF AVI only; the other source reads the ISO media
// family (3GP, 3G2, MP4). Anything else, a file without a video stream, or
// a stream with a side of 0 or above 16384 is refused with E_FAIL.
#pragma once

#include "plat/com.h"

// Codec numbers of a stream; any other stream is 0.
inline constexpr DWORD kVideoCodecOther = 0;
inline constexpr DWORD kVideoCodecH263 = 1;
inline constexpr DWORD kVideoCodecMpeg4 = 2;  // MPEG-4 Part 2
inline constexpr DWORD kVideoCodecH264 = 3;
inline constexpr DWORD kVideoCodecMjpeg = 13;

struct VideoStreamInfo {
    DWORD codec;
    int width;
    int height;
    DWORD extra;  // the stream's length in milliseconds, 0 when unknown
    // The codec's configuration bytes (decoder set-up), null when the stream
    // has none; the caller frees them with CoTaskMemFree.
    BYTE* config;
    DWORD configLength;
};

struct IVideoSource : IUnknown {
    // Opens the device file and describes its first video stream. E_HANDLE
    // when it cannot be opened, E_FAIL for content this source does not read.
    virtual HRESULT Open(LPCWSTR path, VideoStreamInfo* info) = 0;
    // The next sample of the stream: S_OK with bytes valid until the next
    // call or the release, S_FALSE at its end (or where a damaged file stops
    // being readable), E_FAIL when nothing is open.
    virtual HRESULT ReadSample(const BYTE** data, DWORD* length) = 0;
};

struct IVideoDecoder : IUnknown {
    // Sets the decoder up for the stream; E_FAIL for a codec it does not
    // decode or a configuration it cannot use.
    virtual HRESULT Init(DWORD codec, int width, int height, const BYTE* config, DWORD configLength) = 0;
    // Decodes one sample (null: give out what is held back). S_OK when a
    // frame of the stream's even size came out into `frame`, S_FALSE when
    // more samples are needed, E_INVALIDARG when the frame is too small,
    // E_FAIL when not set up.
    virtual HRESULT Decode(const BYTE* sample, DWORD length, BYTE* frame, DWORD capacity) = 0;
};

inline constexpr CLSID CLSID_IsoVideoSource{
    0x2711E1C7, 0x032C, 0x4386, {0xA5, 0x38, 0x9F, 0xD8, 0x3E, 0xEF, 0x9E, 0x44}};
inline constexpr CLSID CLSID_AviVideoSource{
    0xD6374752, 0xFB3F, 0x4FBE, {0xB2, 0x56, 0xE3, 0xF2, 0x29, 0x5F, 0xC7, 0xAF}};
inline constexpr IID IID_IVideoSource{0xA212213B, 0xE61C, 0x4DA6, {0x83, 0x1D, 0x7B, 0x89, 0x22, 0xAA, 0x89, 0x64}};

// Decoders: H.263 and MPEG-4 Part 2; H.264; Motion JPEG.
inline constexpr CLSID CLSID_Mpeg4VideoDecoder{
    0x7157DAB0, 0xA50D, 0x4C2B, {0x8E, 0x77, 0x04, 0x5A, 0xFD, 0x15, 0xEC, 0x29}};
inline constexpr CLSID CLSID_H264VideoDecoder{
    0x8B9DCAFF, 0x59F4, 0x42DE, {0x9F, 0xF9, 0x77, 0x7B, 0xDC, 0x96, 0xDD, 0xED}};
inline constexpr CLSID CLSID_MjpegVideoDecoder{
    0xB667A41E, 0xE41C, 0x402D, {0xA7, 0xB3, 0xC7, 0xC1, 0xD9, 0x62, 0xD2, 0x6F}};
inline constexpr IID IID_IVideoDecoder{0xD161B192, 0x6353, 0x45E7, {0xAE, 0x40, 0x01, 0xAB, 0x19, 0xFD, 0x83, 0x6B}};

template <>
struct InterfaceId<IVideoSource> {
    static constexpr const IID& value = IID_IVideoSource;
};
template <>
struct InterfaceId<IVideoDecoder> {
    static constexpr const IID& value = IID_IVideoDecoder;
};
