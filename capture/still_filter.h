// The sink of the camera's still pin: every still sample goes to the still
// callback, one at a time, with the size of the still media type.
#pragma once

#include "frame_callback.h"
#include "plat/dshow_base.h"

inline constexpr CLSID CLSID_StillFilter{0xEB26543A, 0x304F, 0x4077, {0xAB, 0xF8, 0xC9, 0xA6, 0xEC, 0x65, 0x39, 0x09}};

class CStillFilter;

class CStillInputPin final : public CBaseInputPin {
public:
    CStillInputPin(CStillFilter* filter, CCritSec* lock, HRESULT* result);
    ~CStillInputPin() override;

    // Any media type is taken.
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT QueryInternalConnections() { return E_NOTIMPL; }
    // No state or type checks: every delivered still reaches the callback.
    HRESULT Receive(IMediaSample* sample) override;

private:
    CStillFilter* m_pStillFilter;
    CCritSec* m_pFilterLock;
    CCritSec m_ReceiveLock;
    REFERENCE_TIME m_tLast = 0;
};

class CStillFilter final : public CBaseFilter {
public:
    CStillFilter(IUnknown* outer, HRESULT* result);
    ~CStillFilter() override;

    // E_OUTOFMEMORY in *result and null when it cannot be made.
    static CStillFilter* CreateInstance(IUnknown* outer, HRESULT* result);

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    HRESULT SetCallback(FrameCallback callback);
    // A deep copy: stills report this width and height.
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type);
    HRESULT CallCallback(BYTE* buffer, DWORD length, LONG width, LONG height);

private:
    friend class CStillInputPin;

    CStillInputPin* m_pInputPin = nullptr;
    CCritSec m_Lock;
    FrameCallback m_Callback = nullptr;
    CMediaType m_StillType;
};
