#include "vga_renderer.h"

CVGARenderer::CVGARenderer(IUnknown* outer, HRESULT* result)
    : CBaseVideoRenderer(CLSID_VGARenderer, L"VGA Renderer Filter", outer, result)
{
}

CVGARenderer::~CVGARenderer() = default;

HRESULT CVGARenderer::SetCallback(FrameCallback callback)
{
    m_Callback = callback;
    return S_OK;
}

HRESULT CVGARenderer::CheckMediaType(const CMediaType* type)
{
    if (!type) return E_POINTER;
    if (!(type->majortype == MEDIATYPE_Video) || !(type->subtype == m_AcceptedSubtype) ||
        !(type->formattype == FORMAT_VideoInfo) || !VideoInfoOf(*type))
        return VFW_E_TYPE_NOT_ACCEPTED;
    CAutoLock lock(&m_TypeLock);
    m_CurrentType.Set(*type);
    return S_OK;
}

HRESULT CVGARenderer::DoRenderSample(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    BYTE* buffer = nullptr;
    const HRESULT hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    LONG width = 0, height = 0;
    {
        CAutoLock lock(&m_TypeLock);
        if (const VIDEOINFOHEADER* vih = VideoInfoOf(m_CurrentType)) {
            width = vih->bmiHeader.biWidth;
            height = vih->bmiHeader.biHeight;
        }
    }
    if (FrameCallback callback = m_Callback) callback(buffer, static_cast<DWORD>(sample->GetActualDataLength()), width, height);
    return S_OK;
}
