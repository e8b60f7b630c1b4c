// Media types, samples and the filter, pin and renderer base classes.
#include "plat/dshow_base.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "com_enumerator.h"
#include "plat/clock.h"

// ---- media types ------------------------------------------------------------

void FreeMediaType(AM_MEDIA_TYPE& type)
{
    if (type.cbFormat && type.pbFormat) CoTaskMemFree(type.pbFormat);
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    if (type.pUnk) {
        type.pUnk->Release();
        type.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* dest, const AM_MEDIA_TYPE* src)
{
    if (!dest || !src) return E_POINTER;
    *dest = *src;
    if (src->cbFormat && src->pbFormat) {
        dest->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(src->cbFormat));
        if (!dest->pbFormat) {
            dest->cbFormat = 0;
            dest->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(dest->pbFormat, src->pbFormat, src->cbFormat);
    } else {
        dest->pbFormat = nullptr;
        dest->cbFormat = 0;
    }
    if (dest->pUnk) dest->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* src)
{
    auto* type = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!type) return nullptr;
    if (FAILED(CopyMediaType(type, src))) {
        CoTaskMemFree(type);
        return nullptr;
    }
    return type;
}

CMediaType::CMediaType()
{
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
}

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : CMediaType() { Set(other); }
CMediaType::CMediaType(const CMediaType& other) : CMediaType() { Set(other); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other)
{
    Set(other);
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other)
{
    Set(other);
    return *this;
}

CMediaType::~CMediaType() { FreeMediaType(*this); }

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& other)
{
    if (&other == static_cast<AM_MEDIA_TYPE*>(this)) return S_OK;
    FreeMediaType(*this);
    return CopyMediaType(this, &other);
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length)
{
    if (pbFormat) CoTaskMemFree(pbFormat);
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
    cbFormat = pbFormat ? length : 0;
    if (pbFormat) std::memset(pbFormat, 0, length);
    return pbFormat;
}

void CMediaType::Clear()
{
    FreeMediaType(*this);
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
}

const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE& type)
{
    if (!(type.formattype == FORMAT_VideoInfo) || type.cbFormat < sizeof(VIDEOINFOHEADER) || !type.pbFormat)
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
}

// ---- samples ------------------------------------------------------------------

CMediaSample::CMediaSample(long size) { Resize(size); }

CMediaSample::~CMediaSample() { DeleteMediaType(type_); }

HRESULT CMediaSample::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IMediaSample) {
        *out = static_cast<IMediaSample*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CMediaSample::AddRef() { return ++refs_; }

ULONG CMediaSample::Release()
{
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

bool CMediaSample::Resize(long size)
{
    try {
        if (static_cast<long>(buffer_.size()) < size) buffer_.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        return false;
    }
    actual_ = 0;
    timeValid_ = false;
    DeleteMediaType(type_);
    type_ = nullptr;
    return true;
}

HRESULT CMediaSample::GetPointer(BYTE** buffer)
{
    if (!buffer) return E_POINTER;
    *buffer = buffer_.data();
    return S_OK;
}

long CMediaSample::GetSize() { return static_cast<long>(buffer_.size()); }

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end)
{
    if (!start || !end) return E_POINTER;
    if (!timeValid_) return VFW_E_WRONG_STATE;  // no time stamp on this sample
    *start = start_;
    *end = end_;
    return S_OK;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end)
{
    timeValid_ = start != nullptr;
    if (start) start_ = *start;
    end_ = end ? *end : start_ + 1;
    return S_OK;
}

long CMediaSample::GetActualDataLength() { return actual_; }

HRESULT CMediaSample::SetActualDataLength(long length)
{
    if (length < 0 || length > GetSize()) return E_INVALIDARG;
    actual_ = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type)
{
    if (!type) return E_POINTER;
    if (!type_) {
        *type = nullptr;
        return S_FALSE;
    }
    *type = CreateMediaType(type_);
    return *type ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* type)
{
    DeleteMediaType(type_);
    type_ = nullptr;
    if (!type) return S_OK;
    type_ = CreateMediaType(type);
    return type_ ? S_OK : E_OUTOFMEMORY;
}

// ---- filters --------------------------------------------------------------------

namespace {

using PinEnumerator = plat::ComEnumerator<IEnumPins, IPin, IID_IEnumPins>;

void CopyName(WCHAR* dest, std::size_t size, const std::wstring& name)
{
    std::wcsncpy(dest, name.c_str(), size - 1);
    dest[size - 1] = 0;
}

}  // namespace

CBaseFilter::CBaseFilter(const WCHAR*, IUnknown*, CCritSec* lock, REFCLSID clsid) : m_pLock(lock), clsid_(clsid) {}

CBaseFilter::~CBaseFilter() = default;

HRESULT CBaseFilter::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IBaseFilter || iid == IID_IMediaFilter) {
        *out = static_cast<IBaseFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CBaseFilter::AddRef() { return ++refs_; }

ULONG CBaseFilter::Release()
{
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = clsid_;
    return S_OK;
}

HRESULT CBaseFilter::Stop()
{
    CAutoLock lock(m_pLock);
    if (state_ != State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i)
            if (CBasePin* p = GetPin(i)) p->Inactive();
    }
    state_ = State_Stopped;
    return S_OK;
}

HRESULT CBaseFilter::Pause()
{
    CAutoLock lock(m_pLock);
    if (state_ == State_Stopped) {
        for (int i = 0; i < GetPinCount(); ++i)
            if (CBasePin* p = GetPin(i)) {
                const HRESULT hr = p->Active();
                if (FAILED(hr)) return hr;
            }
    }
    state_ = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start)
{
    CAutoLock lock(m_pLock);
    if (state_ == State_Stopped) {
        const HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    tStart_ = start;
    state_ = State_Running;
    for (int i = 0; i < GetPinCount(); ++i)
        if (CBasePin* p = GetPin(i)) p->Run(start);
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    *state = state_;
    return S_OK;
}

REFERENCE_TIME CBaseFilter::StreamTime() const
{
    if (state_ != State_Running) return 0;
    return static_cast<REFERENCE_TIME>(plat::NowMs()) * kUnitsPerMs - tStart_;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    std::vector<IPin*> list;
    for (int i = 0; i < GetPinCount(); ++i)
        if (CBasePin* p = GetPin(i)) list.push_back(p);
    *pins = new (std::nothrow) PinEnumerator(std::move(list));
    return *pins ? S_OK : E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!id || !pin) return E_POINTER;
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* p = GetPin(i);
        if (p && p->Name() == id) {
            *pin = p;
            p->AddRef();
            return S_OK;
        }
    }
    *pin = nullptr;
    return static_cast<HRESULT>(0x80040216u);  // VFW_E_NOT_FOUND
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    CopyName(info->achName, 128, name_);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    CAutoLock lock(m_pLock);
    if (graph && graph_ && graph != graph_) return VFW_E_WRONG_STATE;
    graph_ = graph;
    name_ = graph && name ? name : L"";
    IMediaEventSink* sink = nullptr;
    if (graph) {
        graph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&sink));
        // Not held: the graph outlives the filter's membership.
        if (sink) sink->Release();
    }
    std::lock_guard sinkLock(sinkLock_);
    sink_ = sink;
    return S_OK;
}

HRESULT CBaseFilter::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2)
{
    std::lock_guard lock(sinkLock_);
    if (!sink_) return E_NOTIMPL;
    return sink_->Notify(code, param1, param2);
}

// ---- pins -----------------------------------------------------------------------

CBasePin::CBasePin(const WCHAR*, CBaseFilter* filter, CCritSec* lock, HRESULT*, const WCHAR* name, PIN_DIRECTION dir)
    : m_pFilter(filter), m_pLock(lock), dir_(dir), name_(name ? name : L"")
{
}

CBasePin::~CBasePin()
{
    if (connected_) connected_->Release();
}

HRESULT CBasePin::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IPin) {
        *out = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CBasePin::AddRef() { return m_pFilter->AddRef(); }
ULONG CBasePin::Release() { return m_pFilter->Release(); }

HRESULT CBasePin::TryConnect(IPin* receivePin, const CMediaType& type)
{
    HRESULT hr = CheckMediaType(&type);
    if (hr != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    hr = receivePin->ReceiveConnection(this, &type);
    if (FAILED(hr)) return hr;
    SetMediaType(&type);
    connected_ = receivePin;
    connected_->AddRef();
    hr = CompleteConnect(receivePin);
    if (FAILED(hr)) {
        receivePin->Disconnect();
        connected_->Release();
        connected_ = nullptr;
        BreakConnect();
    }
    return hr;
}

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type)
{
    if (!receivePin) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    if (type && !(type->majortype == GUID_NULL)) return TryConnect(receivePin, CMediaType(*type));
    HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
    for (int i = 0;; ++i) {
        CMediaType offered;
        if (GetMediaType(i, &offered) != S_OK) break;
        last = TryConnect(receivePin, offered);
        if (SUCCEEDED(last)) return last;
    }
    return last;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type)
{
    if (!connector || !type) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (connected_) return VFW_E_ALREADY_CONNECTED;
    if (m_pFilter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    const CMediaType offered(*type);
    if (CheckMediaType(&offered) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
    HRESULT hr = SetMediaType(&offered);
    if (FAILED(hr)) return hr;
    connected_ = connector;
    connected_->AddRef();
    hr = CompleteConnect(connector);
    if (FAILED(hr)) {
        connected_->Release();
        connected_ = nullptr;
        BreakConnect();
    }
    return hr;
}

HRESULT CBasePin::Disconnect()
{
    CAutoLock lock(m_pLock);
    if (!connected_) return S_FALSE;
    if (m_pFilter->State() != State_Stopped) return VFW_E_NOT_STOPPED;
    BreakConnect();
    connected_->Release();
    connected_ = nullptr;
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pin = connected_;
    if (!connected_) return VFW_E_NOT_CONNECTED;
    connected_->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type)
{
    if (!type) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (!connected_) {
        std::memset(type, 0, sizeof(*type));
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = m_pFilter;
    m_pFilter->AddRef();
    info->dir = dir_;
    CopyName(info->achName, 128, name_);
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* dir)
{
    if (!dir) return E_POINTER;
    *dir = dir_;
    return S_OK;
}

HRESULT CBasePin::EndOfStream() { return S_OK; }

HRESULT CBasePin::SetMediaType(const CMediaType* type)
{
    return m_mt.Set(*type);
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) { return VFW_S_NO_MORE_ITEMS; }
HRESULT CBasePin::CompleteConnect(IPin*) { return S_OK; }
HRESULT CBasePin::BreakConnect() { return S_OK; }

HRESULT CBasePin::ControlStream(REFERENCE_TIME*, REFERENCE_TIME*, WORD, WORD) { return E_NOTIMPL; }

CBaseInputPin::CBaseInputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                             const WCHAR* name)
    : CBasePin(objectName, filter, lock, result, name, PINDIR_INPUT)
{
}

HRESULT CBaseInputPin::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IMemInputPin) {
        *out = static_cast<IMemInputPin*>(this);
        AddRef();
        return S_OK;
    }
    return CBasePin::QueryInterface(iid, out);
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample)
{
    if (!sample) return E_POINTER;
    if (m_pFilter->State() == State_Stopped) return VFW_E_WRONG_STATE;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        const CMediaType type(*changed);
        DeleteMediaType(changed);
        if (CheckMediaType(&type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
        const HRESULT hr = SetMediaType(&type);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

CBaseOutputPin::CBaseOutputPin(const WCHAR* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* result,
                               const WCHAR* name)
    : CBasePin(objectName, filter, lock, result, name, PINDIR_OUTPUT)
{
}

CBaseOutputPin::~CBaseOutputPin()
{
    if (input_) input_->Release();
    if (spare_) spare_->Release();
}

HRESULT CBaseOutputPin::CompleteConnect(IPin* receivePin)
{
    IMemInputPin* input = nullptr;
    const HRESULT hr = receivePin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    if (FAILED(hr)) return hr;
    std::lock_guard lock(deliverLock_);
    if (input_) input_->Release();
    input_ = input;
    return S_OK;
}

HRESULT CBaseOutputPin::BreakConnect()
{
    std::lock_guard lock(deliverLock_);
    if (input_) input_->Release();
    input_ = nullptr;
    return S_OK;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, long size)
{
    if (!sample) return E_POINTER;
    *sample = nullptr;
    std::lock_guard lock(deliverLock_);
    if (spare_ && spare_->Shared()) {
        spare_->Release();
        spare_ = nullptr;
    }
    if (!spare_) spare_ = new (std::nothrow) CMediaSample(0);
    if (!spare_ || !spare_->Resize(size)) return E_OUTOFMEMORY;
    spare_->AddRef();
    *sample = spare_;
    return S_OK;
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample)
{
    IMemInputPin* input = nullptr;
    {
        std::lock_guard lock(deliverLock_);
        input = input_;
        if (input) input->AddRef();
    }
    if (!input) return VFW_E_NOT_CONNECTED;
    const HRESULT hr = input->Receive(sample);
    input->Release();
    return hr;
}

HRESULT CBaseOutputPin::DeliverEndOfStream()
{
    IPin* peer = nullptr;
    if (FAILED(ConnectedTo(&peer)) || !peer) return VFW_E_NOT_CONNECTED;
    const HRESULT hr = peer->EndOfStream();
    peer->Release();
    return hr;
}

void CBaseOutputPin::PostStarted(WORD cookie)
{
    for (int i = 0; i < kStreamStartedReports; ++i)
        m_pFilter->NotifyEvent(EC_STREAM_CONTROL_STARTED, reinterpret_cast<LONG_PTR>(static_cast<IPin*>(this)), cookie);
}

HRESULT CBaseOutputPin::ControlStream(REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie)
{
    const REFERENCE_TIME now = m_pFilter->StreamTime();
    const REFERENCE_TIME s = start ? *start : now;
    const REFERENCE_TIME t = stop ? *stop : now;
    bool stoppedAtOnce = false;
    {
        std::lock_guard lock(controlLock_);
        controlled_ = true;
        if (t != MAXLONGLONG && s != MAXLONGLONG && t <= s) {
            on_ = false;
            startPending_ = false;
            stopPending_ = false;
            stoppedAtOnce = true;
        } else {
            startPending_ = s != MAXLONGLONG;
            startTime_ = s;
            startCookie_ = startCookie;
            if (!startPending_) on_ = false;
            stopPending_ = t != MAXLONGLONG;
            stopTime_ = t;
            stopCookie_ = stopCookie;
        }
    }
    if (stoppedAtOnce) {
        if (IsConnected()) DeliverEndOfStream();
        m_pFilter->NotifyEvent(EC_STREAM_CONTROL_STOPPED, reinterpret_cast<LONG_PTR>(static_cast<IPin*>(this)),
                               stopCookie);
        return S_OK;
    }
    UpdateStreamControl(now);
    return S_OK;
}

bool CBaseOutputPin::UpdateStreamControl(REFERENCE_TIME streamTime)
{
    const bool running = m_pFilter->State() == State_Running;
    bool started = false;
    bool stopped = false;
    WORD startCookie = 0;
    WORD stopCookie = 0;
    bool on = false;
    {
        std::lock_guard lock(controlLock_);
        if (startPending_ && running && streamTime >= startTime_) {
            startPending_ = false;
            on_ = true;
            started = true;
            startCookie = startCookie_;
        }
        // Stream time is 0 outside Running: a stop at 0 or before takes effect at once.
        if (stopPending_ && streamTime >= stopTime_) {
            stopPending_ = false;
            on_ = false;
            startPending_ = false;
            stopped = true;
            stopCookie = stopCookie_;
        }
        on = on_;
    }
    const auto self = reinterpret_cast<LONG_PTR>(static_cast<IPin*>(this));
    if (started) PostStarted(startCookie);
    if (stopped) {
        if (IsConnected()) DeliverEndOfStream();
        m_pFilter->NotifyEvent(EC_STREAM_CONTROL_STOPPED, self, stopCookie);
    }
    return on;
}

bool CBaseOutputPin::StreamOn() const
{
    std::lock_guard lock(controlLock_);
    return on_;
}

HRESULT CBaseOutputPin::Run(REFERENCE_TIME)
{
    bool again = false;
    WORD cookie = 0;
    {
        std::lock_guard lock(controlLock_);
        // A pin already on reports its start again on each run.
        again = controlled_ && on_ && !startPending_;
        cookie = startCookie_;
    }
    if (again) PostStarted(cookie);
    UpdateStreamControl(m_pFilter->StreamTime());
    return S_OK;
}

// ---- the video renderer ------------------------------------------------------------

class CBaseVideoRenderer::InputPin final : public CBaseInputPin {
public:
    InputPin(CBaseVideoRenderer* renderer, CCritSec* lock, HRESULT* result)
        : CBaseInputPin(L"Renderer input", renderer, lock, result, L"In"), renderer_(renderer)
    {
    }
    HRESULT CheckMediaType(const CMediaType* type) override { return renderer_->CheckMediaType(type); }
    HRESULT SetMediaType(const CMediaType* type) override
    {
        const HRESULT hr = CBasePin::SetMediaType(type);
        return FAILED(hr) ? hr : renderer_->SetMediaType(type);
    }
    HRESULT Receive(IMediaSample* sample) override
    {
        const HRESULT hr = CBaseInputPin::Receive(sample);
        if (FAILED(hr)) return hr;
        return renderer_->Receive(sample);
    }
    // The graph gathers these into one EC_COMPLETE.
    HRESULT EndOfStream() override
    {
        renderer_->NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(renderer_)));
        return S_OK;
    }

private:
    CBaseVideoRenderer* renderer_;
};

CBaseVideoRenderer::CBaseVideoRenderer(REFCLSID clsid, const WCHAR* name, IUnknown* outer, HRESULT* result)
    : CBaseFilter(name, outer, &lock_, clsid)
{
    pin_ = new (std::nothrow) InputPin(this, &lock_, result);
    if (!pin_ && result) *result = E_OUTOFMEMORY;
}

CBaseVideoRenderer::~CBaseVideoRenderer() { delete pin_; }

CBasePin* CBaseVideoRenderer::GetPin(int n) { return n == 0 ? pin_ : nullptr; }

HRESULT CBaseVideoRenderer::Stop()
{
    {
        std::lock_guard lock(waitLock_);
        state_ = State_Stopped;
    }
    waitCv_.notify_all();
    return CBaseFilter::Stop();
}

HRESULT CBaseVideoRenderer::Pause()
{
    const HRESULT hr = CBaseFilter::Pause();
    { std::lock_guard lock(waitLock_); }
    waitCv_.notify_all();
    return hr;
}

HRESULT CBaseVideoRenderer::Run(REFERENCE_TIME start)
{
    const HRESULT hr = CBaseFilter::Run(start);
    { std::lock_guard lock(waitLock_); }
    waitCv_.notify_all();
    return hr;
}

HRESULT CBaseVideoRenderer::Receive(IMediaSample* sample)
{
    REFERENCE_TIME start = 0, end = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &end));
    {
        std::unique_lock lock(waitLock_);
        for (;;) {
            const FILTER_STATE s = state_;
            if (s == State_Stopped) return VFW_E_WRONG_STATE;
            if (s == State_Paused) {
                plat::WaitUntil(lock, waitCv_, plat::kNoDeadline, [&] { return state_ != State_Paused; });
                continue;
            }
            if (!timed) break;
            const REFERENCE_TIME due = tStart_ + start;
            const REFERENCE_TIME nowUnits = static_cast<REFERENCE_TIME>(plat::NowMs()) * kUnitsPerMs;
            if (due <= nowUnits) break;
            const std::uint64_t dueMs = static_cast<std::uint64_t>((due + kUnitsPerMs - 1) / kUnitsPerMs);
            plat::WaitUntil(lock, waitCv_, dueMs, [&] { return state_ != State_Running; });
        }
    }
    return DoRenderSample(sample);
}
