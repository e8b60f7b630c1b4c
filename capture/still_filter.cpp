#include "still_filter.h"

#include <new>

CStillInputPin::CStillInputPin(CStillFilter* filter, CCritSec* lock, HRESULT* result)
    : CBaseInputPin(L"Still Input", filter, lock, result, L"Still Input Pin"), m_pStillFilter(filter), m_pFilterLock(lock)
{
}

CStillInputPin::~CStillInputPin() = default;

HRESULT CStillInputPin::CheckMediaType(const CMediaType* type)
{
    return type ? S_OK : E_POINTER;
}

HRESULT CStillInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    CAutoLock lock(&m_ReceiveLock);
    REFERENCE_TIME start = 0, end = 0;
    if (SUCCEEDED(sample->GetTime(&start, &end))) m_tLast = start;
    BYTE* buffer = nullptr;
    const HRESULT hr = sample->GetPointer(&buffer);
    if (FAILED(hr)) return hr;
    LONG width = 0, height = 0;
    FrameCallback callback = nullptr;
    {
        CAutoLock filterLock(m_pFilterLock);
        if (const VIDEOINFOHEADER* vih = VideoInfoOf(m_pStillFilter->m_StillType)) {
            width = vih->bmiHeader.biWidth;
            height = vih->bmiHeader.biHeight;
        }
        callback = m_pStillFilter->m_Callback;
    }
    if (callback) callback(buffer, static_cast<DWORD>(sample->GetActualDataLength()), width, height);
    return S_OK;
}

CStillFilter::CStillFilter(IUnknown* outer, HRESULT* result)
    : CBaseFilter(L"Still Filter", outer, &m_Lock, CLSID_StillFilter)
{
    m_pInputPin = new (std::nothrow) CStillInputPin(this, &m_Lock, result);
    if (!m_pInputPin && result) *result = E_OUTOFMEMORY;
}

CStillFilter::~CStillFilter()
{
    delete m_pInputPin;
}

CStillFilter* CStillFilter::CreateInstance(IUnknown* outer, HRESULT* result)
{
    auto* filter = new (std::nothrow) CStillFilter(outer, result);
    if (!filter && result) *result = E_OUTOFMEMORY;
    return filter;
}

CBasePin* CStillFilter::GetPin(int n)
{
    return n == 0 ? m_pInputPin : nullptr;
}

HRESULT CStillFilter::SetCallback(FrameCallback callback)
{
    CAutoLock lock(&m_Lock);
    m_Callback = callback;
    return S_OK;
}

HRESULT CStillFilter::SetMediaType(const AM_MEDIA_TYPE* type)
{
    CAutoLock lock(&m_Lock);
    m_StillType.Clear();
    if (type) m_StillType.Set(*type);
    return S_OK;
}

HRESULT CStillFilter::CallCallback(BYTE* buffer, DWORD length, LONG width, LONG height)
{
    if (m_Callback) m_Callback(buffer, length, width, height);
    return S_OK;
}
