// The filter graph (control, events, position) and the capture graph builder.
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <cwctype>
#include <string>
#include <vector>

#include "com_enumerator.h"
#include "file_source.h"
#include "plat/clock.h"
#include "plat/dshow_base.h"
#include "plat/message.h"

namespace {

template <typename T>
HRESULT Answer(T* self, void** out)
{
    *out = self;
    self->AddRef();
    return S_OK;
}

// The C++ pin behind an IPin of the stand-in's filters, or null.
CBasePin* BasePinOf(IPin* pin) { return dynamic_cast<CBasePin*>(pin); }
CBaseFilter* BaseFilterOf(IBaseFilter* filter) { return dynamic_cast<CBaseFilter*>(filter); }

class FilterGraph final : public IGraphBuilder,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaSeeking,
                          public IMediaPosition {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IGraphBuilder || iid == IID_IFilterGraph)
            return Answer(static_cast<IGraphBuilder*>(this), out);
        if (iid == IID_IMediaControl) return Answer(static_cast<IMediaControl*>(this), out);
        if (iid == IID_IMediaEventEx || iid == IID_IMediaEvent) return Answer(static_cast<IMediaEventEx*>(this), out);
        if (iid == IID_IMediaEventSink) return Answer(static_cast<IMediaEventSink*>(this), out);
        if (iid == IID_IMediaSeeking) return Answer(static_cast<IMediaSeeking*>(this), out);
        if (iid == IID_IMediaPosition) return Answer(static_cast<IMediaPosition*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    // ---- IFilterGraph
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override
    {
        if (!filter) return E_POINTER;
        std::lock_guard lock(lock_);
        for (const auto& f : filters_)
            if (f.filter == filter) return E_INVALIDARG;
        const HRESULT hr = filter->JoinFilterGraph(this, name);
        if (FAILED(hr)) return hr;
        filter->AddRef();
        filters_.push_back({filter, name ? name : L""});
        return S_OK;
    }

    HRESULT RemoveFilter(IBaseFilter* filter) override
    {
        if (!filter) return E_POINTER;
        std::lock_guard control(controlLock_);
        {
            std::lock_guard lock(lock_);
            if (std::none_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; }))
                return VFW_E_NOT_IN_GRAPH;
        }
        filter->Stop();
        DisconnectAll(filter);
        filter->JoinFilterGraph(nullptr, nullptr);
        std::lock_guard lock(lock_);
        filters_.erase(std::remove_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == filter; }),
                       filters_.end());
        filter->Release();
        return S_OK;
    }

    HRESULT EnumFilters(IEnumFilters** out) override;

    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override
    {
        if (!name || !filter) return E_POINTER;
        std::lock_guard lock(lock_);
        for (const auto& f : filters_)
            if (f.name == name) {
                *filter = f.filter;
                f.filter->AddRef();
                return S_OK;
            }
        *filter = nullptr;
        return static_cast<HRESULT>(0x80040216u);  // VFW_E_NOT_FOUND
    }

    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* type) override
    {
        if (!out || !in) return E_POINTER;
        if (!InGraph(out) || !InGraph(in)) return VFW_E_NOT_IN_GRAPH;
        PIN_DIRECTION d1{}, d2{};
        out->QueryDirection(&d1);
        in->QueryDirection(&d2);
        if (d1 != PINDIR_OUTPUT || d2 != PINDIR_INPUT) return static_cast<HRESULT>(0x80040208u);  // VFW_E_INVALID_DIRECTION
        return out->Connect(in, type);
    }

    HRESULT Disconnect(IPin* pin) override
    {
        if (!pin) return E_POINTER;
        return pin->Disconnect();
    }

    // ---- IGraphBuilder
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR name, IBaseFilter** filter) override
    {
        if (!file || !filter) return E_POINTER;
        *filter = nullptr;
        IBaseFilter* source = nullptr;
        HRESULT hr = plat::detail::CreateFileSource(file, &source);
        if (FAILED(hr)) return hr;
        hr = AddFilter(source, name ? name : file);
        if (FAILED(hr)) {
            source->Release();
            return hr;
        }
        *filter = source;
        return S_OK;
    }

    HRESULT RenderFile(LPCWSTR file, LPCWSTR) override
    {
        if (!file) return E_POINTER;
        IBaseFilter* source = SourceOf(file);
        if (!source) {
            const HRESULT hr = AddSourceFilter(file, file, &source);
            if (FAILED(hr)) return hr;
        }
        auto* media = MediaOf(source);
        HRESULT hr = media ? ConnectToRenderer(source, media->VideoPin()) : E_FAIL;
        if (SUCCEEDED(hr) && media->AudioPin()) ConnectToRenderer(source, media->AudioPin());
        source->Release();
        return SUCCEEDED(hr) ? S_OK : VFW_E_CANNOT_RENDER;
    }

    // ---- IMediaControl
    HRESULT Run() override
    {
        std::lock_guard control(controlLock_);
        auto order = StopOrder();
        if (state_ == State_Stopped) {
            CountRenderers(order);
            const HRESULT hr = PauseAll(order);
            if (FAILED(hr)) return hr;
        }
        const REFERENCE_TIME now = NowUnits();
        {
            std::lock_guard lock(lock_);
            tStart_ = now - pausedAt_;
            state_ = State_Running;
        }
        for (IBaseFilter* f : order) f->Run(tStart_);
        Release(order);
        return S_OK;
    }

    HRESULT Pause() override
    {
        std::lock_guard control(controlLock_);
        auto order = StopOrder();
        const HRESULT hr = PauseAll(order);
        Release(order);
        return hr;
    }

    HRESULT Stop() override
    {
        std::lock_guard control(controlLock_);
        // Renderers first: a source's streaming thread is never left blocked in one.
        auto order = StopOrder();
        for (IBaseFilter* f : order) f->Stop();
        Release(order);
        std::lock_guard lock(lock_);
        state_ = State_Stopped;
        pausedAt_ = 0;
        return S_OK;
    }

    HRESULT GetState(long, OAFilterState* state) override
    {
        if (!state) return E_POINTER;
        std::lock_guard lock(lock_);
        *state = state_;
        return S_OK;
    }

    // ---- IMediaEventEx
    HRESULT GetEvent(long* code, LONG_PTR* p1, LONG_PTR* p2, long timeoutMs) override
    {
        if (!code || !p1 || !p2) return E_POINTER;
        std::unique_lock lock(eventLock_);
        const std::uint64_t deadline = timeoutMs < 0 ? plat::kNoDeadline : plat::NowMs() + static_cast<std::uint64_t>(timeoutMs);
        if (events_.empty() && timeoutMs != 0)
            plat::WaitUntil(lock, eventCv_, deadline, [&] { return !events_.empty(); });
        if (events_.empty()) return E_ABORT;
        const Event e = events_.front();
        events_.pop_front();
        *code = e.code;
        *p1 = e.p1;
        *p2 = e.p2;
        return S_OK;
    }
    HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }
    HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instance) override
    {
        std::lock_guard lock(eventLock_);
        notifyWindow_ = reinterpret_cast<HWND>(window);
        notifyMessage_ = static_cast<UINT>(message);
        notifyInstance_ = instance;
        return S_OK;
    }

    // ---- IMediaEventSink
    HRESULT Notify(long code, LONG_PTR p1, LONG_PTR p2) override
    {
        HWND window = nullptr;
        UINT message = 0;
        LPARAM instance = 0;
        if (code == EC_COMPLETE) {
            // A renderer's end: the graph's one EC_COMPLETE comes when all had theirs.
            std::lock_guard lock(eventLock_);
            if (renderers_.count(p2)) {
                if (!hasSource_ || completeSent_) return S_OK;
                completed_.insert(p2);
                if (completed_.size() < renderers_.size()) return S_OK;
                completeSent_ = true;
                p1 = S_OK;
                p2 = 0;
            }
        }
        {
            std::lock_guard lock(eventLock_);
            events_.push_back({code, p1, p2});
            window = notifyWindow_;
            message = notifyMessage_;
            instance = notifyInstance_;
        }
        eventCv_.notify_all();
        if (window) PostMessageW(window, message, 0, instance);
        return S_OK;
    }

    // ---- IMediaSeeking / IMediaPosition
    HRESULT GetCurrentPosition(LONGLONG* position) override
    {
        if (!position) return E_POINTER;
        std::lock_guard lock(lock_);
        *position = state_ == State_Running ? NowUnits() - tStart_ : pausedAt_;
        return S_OK;
    }
    HRESULT GetDuration(LONGLONG* duration) override
    {
        if (!duration) return E_POINTER;
        std::lock_guard lock(lock_);
        bool any = false;
        *duration = 0;
        for (const auto& f : filters_)
            if (auto* media = MediaOf(f.filter)) {
                any = true;
                *duration = std::max(*duration, media->Duration());
            }
        return any ? S_OK : E_NOTIMPL;
    }
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) override
    {
        if (current && (currentFlags & AM_SEEKING_AbsolutePositioning)) {
            {
                std::lock_guard lock(lock_);
                for (const auto& f : filters_)
                    if (auto* media = MediaOf(f.filter)) media->SeekTo(*current);
            }
            std::lock_guard lock(lock_);
            if (state_ == State_Running)
                tStart_ = NowUnits() - *current;
            else
                pausedAt_ = *current;
        }
        return S_OK;
    }
    HRESULT put_CurrentPosition(double seconds) override
    {
        LONGLONG units = static_cast<LONGLONG>(seconds * 1e7);
        return SetPositions(&units, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    }

    // The filters in the graph now, each with a reference.
    std::vector<IBaseFilter*> Snapshot()
    {
        std::lock_guard lock(lock_);
        std::vector<IBaseFilter*> list;
        for (const auto& f : filters_) {
            f.filter->AddRef();
            list.push_back(f.filter);
        }
        return list;
    }
    static void Release(std::vector<IBaseFilter*>& list)
    {
        for (IBaseFilter* f : list) f->Release();
        list.clear();
    }

private:
    struct Entry {
        IBaseFilter* filter;
        std::wstring name;
    };
    struct Event {
        long code;
        LONG_PTR p1;
        LONG_PTR p2;
    };

    ~FilterGraph()
    {
        Stop();
        for (auto& f : Snapshot()) {
            DisconnectAll(f);
            f->JoinFilterGraph(nullptr, nullptr);
            f->Release();
        }
        for (auto& e : filters_) e.filter->Release();
    }

    static REFERENCE_TIME NowUnits() { return static_cast<REFERENCE_TIME>(plat::NowMs()) * kUnitsPerMs; }

    bool InGraph(IPin* pin)
    {
        PIN_INFO info{};
        if (FAILED(pin->QueryPinInfo(&info)) || !info.pFilter) return false;
        std::lock_guard lock(lock_);
        const bool found =
            std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter == info.pFilter; });
        info.pFilter->Release();
        return found;
    }

    static void DisconnectAll(IBaseFilter* filter)
    {
        IEnumPins* pins = nullptr;
        if (FAILED(filter->EnumPins(&pins)) || !pins) return;
        IPin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == S_OK) {
            IPin* peer = nullptr;
            if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
                PIN_INFO info{};
                // The peer's filter may be running in this graph: stop it first.
                if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
                    info.pFilter->Stop();
                    info.pFilter->Release();
                }
                peer->Disconnect();
                peer->Release();
            }
            pin->Disconnect();
            pin->Release();
        }
        pins->Release();
    }

    // Depth of each filter = the longest chain of downstream filters below it:
    // sinks (depth 0) come first.
    std::vector<IBaseFilter*> StopOrder()
    {
        std::vector<IBaseFilter*> list = Snapshot();
        std::map<IBaseFilter*, int> depth;
        for (IBaseFilter* f : list) depth[f] = 0;
        for (std::size_t round = 0; round < list.size(); ++round) {
            bool changed = false;
            for (IBaseFilter* f : list) {
                CBaseFilter* base = BaseFilterOf(f);
                if (!base) continue;
                for (int i = 0; i < base->GetPinCount(); ++i) {
                    CBasePin* p = base->GetPin(i);
                    if (!p || !p->IsConnected()) continue;
                    PIN_DIRECTION dir{};
                    p->QueryDirection(&dir);
                    if (dir != PINDIR_OUTPUT) continue;
                    CBasePin* peer = BasePinOf(p->GetConnected());
                    if (!peer) continue;
                    auto it = depth.find(peer->Filter());
                    if (it != depth.end() && depth[f] < it->second + 1) {
                        depth[f] = it->second + 1;
                        changed = true;
                    }
                }
            }
            if (!changed) break;
        }
        std::stable_sort(list.begin(), list.end(), [&](IBaseFilter* a, IBaseFilter* b) { return depth[a] < depth[b]; });
        return list;
    }

    static plat::detail::MediaSource* MediaOf(IBaseFilter* filter)
    {
        return dynamic_cast<plat::detail::MediaSource*>(BaseFilterOf(filter));
    }

    // Device paths compare without regard to case.
    static bool SameName(const std::wstring& a, LPCWSTR b)
    {
        std::wstring other(b);
        return a.size() == other.size() &&
               std::equal(a.begin(), a.end(), other.begin(), [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
    }

    // The source of the file already in the graph (with a reference), or null.
    IBaseFilter* SourceOf(LPCWSTR file)
    {
        std::lock_guard lock(lock_);
        for (const auto& f : filters_)
            if (auto* media = MediaOf(f.filter); media && SameName(media->FileName(), file)) {
                f.filter->AddRef();
                return f.filter;
            }
        return nullptr;
    }

    // Connects the output pin to the first filter of the graph with a free
    // input pin that takes it.
    HRESULT ConnectToRenderer(IBaseFilter* source, CBasePin* out)
    {
        if (!out) return E_POINTER;
        if (out->IsConnected()) return S_OK;
        std::vector<IBaseFilter*> list = Snapshot();
        HRESULT hr = VFW_E_CANNOT_RENDER;
        for (IBaseFilter* f : list) {
            CBaseFilter* base = BaseFilterOf(f);
            if (f == source || !base) continue;
            for (int i = 0; i < base->GetPinCount() && FAILED(hr); ++i) {
                CBasePin* in = base->GetPin(i);
                PIN_DIRECTION dir{};
                if (!in || in->IsConnected() || FAILED(in->QueryDirection(&dir)) || dir != PINDIR_INPUT) continue;
                if (SUCCEEDED(out->Connect(in, nullptr))) hr = S_OK;
            }
            if (SUCCEEDED(hr)) break;
        }
        Release(list);
        return hr;
    }

    // Before a run from Stopped: how many renderers (filters with connected
    // inputs and no outputs) must end before the graph's EC_COMPLETE.
    void CountRenderers(const std::vector<IBaseFilter*>& order)
    {
        std::set<LONG_PTR> renderers;
        bool source = false;
        for (IBaseFilter* f : order) {
            source = source || MediaOf(f);
            CBaseFilter* base = BaseFilterOf(f);
            if (!base) continue;
            bool input = false, output = false;
            for (int i = 0; i < base->GetPinCount(); ++i) {
                CBasePin* p = base->GetPin(i);
                PIN_DIRECTION dir{};
                if (!p || FAILED(p->QueryDirection(&dir))) continue;
                if (dir == PINDIR_OUTPUT) output = true;
                else if (p->IsConnected()) input = true;
            }
            if (input && !output) renderers.insert(reinterpret_cast<LONG_PTR>(f));
        }
        std::lock_guard lock(eventLock_);
        renderers_ = std::move(renderers);
        hasSource_ = source;
        completed_.clear();
        completeSent_ = false;
    }

    HRESULT PauseAll(const std::vector<IBaseFilter*>& order)
    {
        const bool wasRunning = state_ == State_Running;
        for (IBaseFilter* f : order) {
            const HRESULT hr = f->Pause();
            if (FAILED(hr)) {
                for (IBaseFilter* g : order) g->Stop();
                std::lock_guard lock(lock_);
                state_ = State_Stopped;
                return hr;
            }
        }
        std::lock_guard lock(lock_);
        if (wasRunning) pausedAt_ = NowUnits() - tStart_;
        state_ = State_Paused;
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    std::mutex controlLock_;  // one state change at a time
    std::mutex lock_;         // the filter list and the clock values
    std::vector<Entry> filters_;
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME tStart_ = 0;
    REFERENCE_TIME pausedAt_ = 0;

    std::mutex eventLock_;
    std::condition_variable eventCv_;
    std::deque<Event> events_;
    HWND notifyWindow_ = nullptr;
    UINT notifyMessage_ = 0;
    LPARAM notifyInstance_ = 0;
    // Playback's end: the renderers that reported theirs since the run began.
    std::set<LONG_PTR> renderers_;
    bool hasSource_ = false;
    std::set<LONG_PTR> completed_;
    bool completeSent_ = false;
};

using FilterEnumerator = plat::ComEnumerator<IEnumFilters, IBaseFilter, IID_IEnumFilters>;

HRESULT FilterGraph::EnumFilters(IEnumFilters** out)
{
    if (!out) return E_POINTER;
    std::vector<IBaseFilter*> filters = Snapshot();
    *out = new (std::nothrow) FilterEnumerator(filters);
    Release(filters);
    return *out ? S_OK : E_OUTOFMEMORY;
}

class CaptureGraphBuilder final : public ICaptureGraphBuilder2 {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ICaptureGraphBuilder2)
            return Answer(static_cast<ICaptureGraphBuilder2*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }

    HRESULT SetFiltergraph(IGraphBuilder* graph) override
    {
        if (!graph) return E_POINTER;
        std::lock_guard lock(lock_);
        if (graph_) return static_cast<HRESULT>(0x8000FFFFu);  // E_UNEXPECTED: one graph per builder
        graph_ = graph;
        graph_->AddRef();
        return S_OK;
    }

    HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!filter) return E_POINTER;
        if (category) {
            for (CBasePin* pin : Pins(filter, category, type)) {
                if (SUCCEEDED(pin->QueryInterface(iid, out))) return S_OK;
            }
        }
        const HRESULT hr = filter->QueryInterface(iid, out);
        return SUCCEEDED(hr) ? hr : E_NOINTERFACE;
    }

    HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter, REFERENCE_TIME* start,
                          REFERENCE_TIME* stop, WORD startCookie, WORD stopCookie) override
    {
        std::vector<IBaseFilter*> filters;
        if (filter) {
            filter->AddRef();
            filters.push_back(filter);
        } else {
            IGraphBuilder* graph = nullptr;
            {
                std::lock_guard lock(lock_);
                graph = graph_;
            }
            if (!graph) return E_FAIL;
            filters = static_cast<FilterGraph*>(graph)->Snapshot();
        }
        int controlled = 0;
        for (IBaseFilter* f : filters)
            for (CBasePin* pin : Pins(f, category, type))
                if (SUCCEEDED(pin->ControlStream(start, stop, startCookie, stopCookie))) ++controlled;
        FilterGraph::Release(filters);
        return controlled ? S_OK : E_FAIL;
    }

private:
    ~CaptureGraphBuilder()
    {
        if (graph_) graph_->Release();
    }

    // The output pins of that category and major type (null: any).
    static std::vector<CBasePin*> Pins(IBaseFilter* filter, const GUID* category, const GUID* type)
    {
        std::vector<CBasePin*> pins;
        CBaseFilter* base = BaseFilterOf(filter);
        if (!base) return pins;
        for (int i = 0; i < base->GetPinCount(); ++i) {
            CBasePin* p = base->GetPin(i);
            if (!p) continue;
            PIN_DIRECTION dir{};
            p->QueryDirection(&dir);
            if (dir != PINDIR_OUTPUT) continue;
            if (category && (!p->Category() || !(*p->Category() == *category))) continue;
            if (type) {
                CMediaType offered;
                if (p->GetMediaType(0, &offered) != S_OK || !(offered.majortype == *type)) continue;
            }
            pins.push_back(p);
        }
        return pins;
    }

    std::atomic<ULONG> refs_{1};
    std::mutex lock_;
    IGraphBuilder* graph_ = nullptr;
};

template <typename T, typename I>
HRESULT Make(REFIID iid, void** out)
{
    auto* object = new (std::nothrow) T;
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    static_cast<I*>(object)->Release();
    return hr;
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_FilterGraph, Make<FilterGraph, IGraphBuilder>);
    plat::RegisterComClass(CLSID_CaptureGraphBuilder, Make<CaptureGraphBuilder, ICaptureGraphBuilder2>);
    return true;
}();

}  // namespace
