// The source filter AddSourceFilter and RenderFile make for a media file:
// FFmpeg demuxes and decodes it, the video pin gives YV12 frames in the
// camera's layout (full range), the audio pin 16-bit mono PCM at the file's
// rate. Sample times are the file's own times, so the graph's position is
// the file's position. At the end of the file (or where a damaged file stops
// being readable) each connected pin sends end of stream.
#pragma once

#include <string>

#include "plat/dshow_base.h"

namespace plat::detail {

// What the graph asks of a file source.
class MediaSource {
public:
    virtual const std::wstring& FileName() const = 0;
    // The file's length in 100-ns units.
    virtual REFERENCE_TIME Duration() const = 0;
    // Where the next run starts (the frame at or before it is the first).
    virtual void SeekTo(REFERENCE_TIME position) = 0;
    virtual CBasePin* VideoPin() = 0;
    virtual CBasePin* AudioPin() = 0;  // null when the file has no sound

protected:
    ~MediaSource() = default;
};

// A new source over the device file (one reference). E_HANDLE when the path
// cannot be reached, VFW_E_UNSUPPORTED_STREAM when FFmpeg decodes no video
// stream in it.
HRESULT CreateFileSource(LPCWSTR path, IBaseFilter** filter);

}  // namespace plat::detail
