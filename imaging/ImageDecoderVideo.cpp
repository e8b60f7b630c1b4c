// The first frame of a video file through the platform's video source and
// decoder of its kind.
#include <memory>

#include "ImagingInternal.h"
#include "plat/com.h"
#include "plat/video_decoder.h"

namespace {

constexpr DWORD kClassContext = 23;  // in-process server and handler, local server
// Samples read for the first frame before the decoder is drained.
constexpr int kFirstFrameSamples = 10;

struct ConfigDeleter {
    void operator()(BYTE* p) const { CoTaskMemFree(p); }
};

struct HandleGuard {
    HANDLE h;
    ~HandleGuard() { CloseHandle(h); }
};

}  // namespace

HRESULT DecodeVideoFirstFrame(LPCWSTR path, bool avi, VideoFrame* frame, int* width, int* height, DWORD* extra)
{
    ComPtr<IVideoSource> source;
    HRESULT hr = CoCreateInstance(avi ? CLSID_AviVideoSource : CLSID_IsoVideoSource, nullptr, kClassContext,
                                  IID_IVideoSource, reinterpret_cast<void**>(source.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return E_ACCESSDENIED;
    HandleGuard held{file};
    VideoStreamInfo info{};
    hr = source->Open(path, &info);
    if (FAILED(hr))
        return hr;
    std::unique_ptr<BYTE, ConfigDeleter> config(info.config);
    CLSID decoderClass;
    switch (info.codec) {
    case kVideoCodecH263:
    case kVideoCodecMpeg4:
        decoderClass = CLSID_Mpeg4VideoDecoder;
        break;
    case kVideoCodecH264:
        decoderClass = CLSID_H264VideoDecoder;
        break;
    case kVideoCodecMjpeg:
        decoderClass = CLSID_MjpegVideoDecoder;
        break;
    default:
        return E_FAIL;
    }
    if (info.width <= 0 || info.height <= 0)
        return E_FAIL;
    const BYTE* sample = nullptr;
    DWORD length = 0;
    bool pending = false;
    const BYTE* setup = config.get();
    DWORD setupLength = info.configLength;
    if (info.codec == kVideoCodecH264) {
        // The first sample configures the decoder when the stream carries no
        // parameter sets of its own.
        if (source->ReadSample(&sample, &length) != S_OK)
            return E_FAIL;
        pending = true;
        if (!setup) {
            setup = sample;
            setupLength = length;
        }
    }
    ComPtr<IVideoDecoder> decoder;
    hr = CoCreateInstance(decoderClass, nullptr, kClassContext, IID_IVideoDecoder,
                          reinterpret_cast<void**>(decoder.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    hr = decoder->Init(info.codec, info.width, info.height, setup, setupLength);
    config.reset();
    if (FAILED(hr))
        return hr;
    FrameGuard decoded;
    if (AllocVideoFrame(&decoded.frame, info.width, info.height, kFrameYCbCr420) != 0)
        return E_OUTOFMEMORY;
    decoded.held = true;
    BYTE* plane = decoded.frame.mPlane[0];
    hr = S_FALSE;
    for (int i = 0; i < kFirstFrameSamples && hr == S_FALSE; ++i) {
        if (!pending) {
            hr = source->ReadSample(&sample, &length);
            if (hr != S_OK)
                break;
        }
        pending = false;
        hr = decoder->Decode(sample, length, plane, decoded.frame.mLength);
    }
    if (FAILED(hr))
        return hr;
    // A decoder that holds frames back for reordering gives them out now.
    if (hr != S_OK)
        hr = decoder->Decode(nullptr, 0, plane, decoded.frame.mLength);
    if (hr != S_OK)
        return E_FAIL;
    *width = info.width;
    *height = info.height;
    if (extra)
        *extra = info.extra;
    *frame = decoded.frame;
    decoded.held = false;
    return S_OK;
}
