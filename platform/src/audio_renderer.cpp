// The audio renderer: 16-bit PCM played at the clock's pace (each buffer is
// taken when its time comes), its end of stream reported like the video
// renderer's.
#include "com_object.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"

namespace {

class AudioRenderer final : public CBaseVideoRenderer {
public:
    AudioRenderer() : CBaseVideoRenderer(CLSID_AudioRender, L"Audio Renderer", nullptr, nullptr) {}

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        if (!type || !(type->majortype == MEDIATYPE_Audio) || !(type->subtype == MEDIASUBTYPE_PCM) ||
            !(type->formattype == FORMAT_WaveFormatEx) || type->cbFormat < sizeof(WAVEFORMATEX))
            return VFW_E_TYPE_NOT_ACCEPTED;
        const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
        return wave->wBitsPerSample == 16 && wave->nChannels >= 1 && wave->nSamplesPerSec > 0
                   ? S_OK
                   : VFW_E_TYPE_NOT_ACCEPTED;
    }
    // The handset's speaker is not there: a buffer is done when its time came.
    HRESULT DoRenderSample(IMediaSample*) override { return S_OK; }
};

const bool registered = [] {
    plat::RegisterComClass(CLSID_AudioRender, plat::detail::MakeObject<AudioRenderer, IBaseFilter>);
    return true;
}();

}  // namespace
