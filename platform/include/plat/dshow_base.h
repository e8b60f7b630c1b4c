// Base classes for filters: a media type that owns its format, a filter with
// its state and graph, pins that connect and deliver, and a video renderer
// that paces samples on the graph's clock.
//
// Pins share their filter's reference count: AddRef and Release on a pin
// reach the filter.
//
// CBaseVideoRenderer: a connection (and an in-band type change carried by a
// sample) must pass CheckMediaType. In Running a sample is rendered when its
// start time comes (an early sample is waited for, and the wait ends when the
// state changes); in Paused Receive blocks until Running or Stopped; in
// Stopped it refuses with VFW_E_WRONG_STATE.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "plat/dshow.h"

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    CMediaType(const AM_MEDIA_TYPE& other);
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);
    ~CMediaType();

    HRESULT Set(const AM_MEDIA_TYPE& other);
    bool IsValid() const { return !(majortype == GUID_NULL); }
    const GUID* Type() const { return &majortype; }
    const GUID* Subtype() const { return &subtype; }
    const GUID* FormatType() const { return &formattype; }
    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Replaces the format block with `length` zero bytes; null on failure.
    BYTE* AllocFormatBuffer(ULONG length);
    void Clear();
};

// The VIDEOINFOHEADER of a video type, or null.
const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type);

class CCritSec {
public:
    void Lock() { m_.lock(); }
    void Unlock() { m_.unlock(); }
    std::recursive_mutex& Mutex() { return m_; }

private:
    std::recursive_mutex m_;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
    ~CAutoLock() { lock_->Unlock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;

private:
    CCritSec* lock_;
};

// A sample with a buffer of its own.
class CMediaSample final : public IMediaSample {
public:
    explicit CMediaSample(long size);
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetPointer(BYTE** buffer) override;
    long GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
    long GetActualDataLength() override;
    HRESULT SetActualDataLength(long length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(AM_MEDIA_TYPE* type) override;

    // Sizes the buffer for reuse; false when memory runs out.
    bool Resize(long size);
    bool Shared() const { return refs_.load() > 1; }

private:
    ~CMediaSample();
    std::atomic<ULONG> refs_{1};
    std::vector<BYTE> buffer_;
    long actual_ = 0;
    bool timeValid_ = false;
    REFERENCE_TIME start_ = 0;
    REFERENCE_TIME end_ = 0;
    AM_MEDIA_TYPE* type_ = nullptr;
};

class CBasePin;

class CBaseFilter : public IBaseFilter {
public:
    CBaseFilter(const WCHAR* name, IUnknown* outer, CCritSec* lock, REFCLSID clsid);
    virtual ~CBaseFilter();
    CBaseFilter(const CBaseFilter&) = delete;
    CBaseFilter& operator=(const CBaseFilter&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    // A filter is in one graph at a time: joining a second one fails.
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;

    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;

    FILTER_STATE State() const { return state_.load(); }
    REFERENCE_TIME StartTime() const { return tStart_.load(); }
    // Stream time now (0 unless running).
    REFERENCE_TIME StreamTime() const;
    // Raises an event in the graph (nothing outside a graph).
    HRESULT NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
    IFilterGraph* Graph() const { return graph_; }

protected:
    CCritSec* m_pLock;
    std::atomic<FILTER_STATE> state_{State_Stopped};
    std::atomic<REFERENCE_TIME> tStart_{0};

private:
    std::atomic<ULONG> refs_{1};
    CLSID clsid_;
    std::wstring name_;
    IFilterGraph* graph_ = nullptr;      // not held: the graph holds the filter
    IMediaEventSink* sink_ = nullptr;    // the graph's, not held either
    std::mutex sinkLock_;
};

class CBasePin : public IPin {
public:
    CBasePin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result, const WCHAR* name,
             PIN_DIRECTION dir);
    virtual ~CBasePin();
    CBasePin(const CBasePin&) = delete;
    CBasePin& operator=(const CBasePin&) = delete;

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* dir) override;
    HRESULT EndOfStream() override;

    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT SetMediaType(const CMediaType* type);
    // The types an output pin offers, from position 0; VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();
    // State changes of the filter.
    virtual HRESULT Active() { return S_OK; }
    virtual HRESULT Inactive() { return S_OK; }
    virtual HRESULT Run(REFERENCE_TIME) { return S_OK; }

    // The capture category of an output pin, or null.
    virtual const GUID* Category() const { return nullptr; }
    // Stream control (see plat/dshow.h); only pins that produce take it.
    virtual HRESULT ControlStream(REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie);

    bool IsConnected() const { return connected_ != nullptr; }
    IPin* GetConnected() const { return connected_; }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    const std::wstring& Name() const { return name_; }
    CBaseFilter* Filter() const { return m_pFilter; }

protected:
    CBaseFilter* m_pFilter;
    CCritSec* m_pLock;
    CMediaType m_mt;
    PIN_DIRECTION dir_;

private:
    HRESULT TryConnect(IPin* receivePin, const CMediaType& type);

    std::wstring name_;
    IPin* connected_ = nullptr;
};

inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result, const WCHAR* name);

    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    // The checks before a sample is taken: state and in-band type changes.
    HRESULT Receive(IMediaSample* sample) override;
};

// An output pin that pushes samples to its peer's IMemInputPin.
class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result, const WCHAR* name);
    ~CBaseOutputPin() override;

    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT ControlStream(REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override;
    HRESULT Run(REFERENCE_TIME start) override;

    // A sample of at least `size` bytes: the pin's own one when nobody else holds it.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, long size);
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();

    // Applies due starts and stops at this stream time; true when the pin is on.
    bool UpdateStreamControl(REFERENCE_TIME streamTime);
    bool StreamOn() const;

private:
    void PostStarted(WORD cookie);

    std::mutex deliverLock_;
    IMemInputPin* input_ = nullptr;  // held while connected
    CMediaSample* spare_ = nullptr;

    // Stream control.
    mutable std::mutex controlLock_;
    bool controlled_ = false;
    bool on_ = true;
    bool startPending_ = false;
    REFERENCE_TIME startTime_ = 0;
    WORD startCookie_ = 0;
    bool stopPending_ = false;
    REFERENCE_TIME stopTime_ = 0;
    WORD stopCookie_ = 0;
};

class CBaseVideoRenderer : public CBaseFilter {
public:
    CBaseVideoRenderer(REFCLSID clsid, const WCHAR* name, IUnknown* outer, HRESULT* result);
    ~CBaseVideoRenderer() override;

    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT SetMediaType(const CMediaType*) { return S_OK; }
    virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;

    // From the input pin.
    HRESULT Receive(IMediaSample* sample);

private:
    class InputPin;
    CCritSec lock_;
    InputPin* pin_ = nullptr;
    std::mutex waitLock_;
    std::condition_variable waitCv_;
};
