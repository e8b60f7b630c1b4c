// The preview (and player) renderer: draws nothing, hands every sample to
// its callback with the size of the last accepted media type.
#pragma once

#include <atomic>

#include "frame_callback.h"
#include "plat/dshow_base.h"

inline constexpr CLSID CLSID_VGARenderer{0x86B6B12F, 0x7155, 0x4AB5, {0xA9, 0x24, 0x9E, 0x1D, 0xEE, 0x0B, 0x92, 0xE7}};

class CVGARenderer final : public CBaseVideoRenderer {
public:
    CVGARenderer(IUnknown* outer, HRESULT* result);
    ~CVGARenderer() override;

    HRESULT SetCallback(FrameCallback callback);
    // Video of the accepted subtype in FORMAT_VideoInfo only; the accepted
    // type becomes the current one.
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;

    // Written by the owner before the renderer joins a graph.
    GUID m_AcceptedSubtype{};

private:
    CCritSec m_TypeLock;
    CMediaType m_CurrentType;
    std::atomic<FrameCallback> m_Callback{nullptr};
};
