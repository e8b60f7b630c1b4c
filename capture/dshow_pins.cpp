#include "dshow_control.h"

#include "dshow_internal.h"
#include "plat/dialog.h"
#include "plat/dshow_base.h"

using namespace dshow;

// ---- pins --------------------------------------------------------------------------------

HRESULT CDShowControl::GetPin(IBaseFilter* filter, PIN_DIRECTION dir, LPCWSTR name, IPin** pin, BOOL unconnectedOnly)
{
    if (!filter || !pin) return E_POINTER;
    *pin = nullptr;
    if (name && *name && SUCCEEDED(filter->FindPin(name, pin))) return S_OK;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    IPin* p = nullptr;
    while (pins->Next(1, &p, nullptr) == S_OK) {
        PIN_DIRECTION d{};
        p->QueryDirection(&d);
        bool take = d == dir;
        if (take && unconnectedOnly) {
            IPin* peer = nullptr;
            if (SUCCEEDED(p->ConnectedTo(&peer)) && peer) {
                peer->Release();
                take = false;
            }
        }
        if (take) {
            *pin = p;
            pins->Release();
            return S_OK;
        }
        p->Release();
    }
    pins->Release();
    return S_FALSE;
}

HRESULT CDShowControl::GetPin(IBaseFilter* filter, IPin** pin, int dir, LPCWSTR name, int index)
{
    const WCHAR* fn = L"CDShowControl::GetPin";
    if (!pin) return E_POINTER;
    *pin = nullptr;
    if (!filter) {
        plat::DebugLine(L"\r\npFilter is NULL\r\n");
        LogFailure(__LINE__, fn, E_FAIL);
        return E_FAIL;
    }
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    IPin* p = nullptr;
    int seen = 0;
    while (pins->Next(1, &p, nullptr) == S_OK) {
        PIN_DIRECTION d{};
        p->QueryDirection(&d);
        if (dir == 2 || static_cast<int>(d) == dir) {
            bool match = false;
            if (name) {
                PIN_INFO info{};
                if (SUCCEEDED(p->QueryPinInfo(&info))) {
                    match = std::wcscmp(info.achName, name) == 0;
                    if (info.pFilter) info.pFilter->Release();
                }
            } else if (index >= 0) {
                match = seen++ == index;
            }
            if (match) {
                *pin = p;
                pins->Release();
                return S_OK;
            }
        }
        p->Release();
    }
    pins->Release();
    return E_FAIL;
}

HRESULT CDShowControl::ConnectFilters(IBaseFilter* source, LPCWSTR sourcePin, int sourceIndex, IBaseFilter* target,
                                      LPCWSTR targetPin, int targetIndex)
{
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(source, &out, PINDIR_OUTPUT, sourcePin, sourceIndex);
    if (SUCCEEDED(hr)) hr = GetPin(target, &in, PINDIR_INPUT, targetPin, targetIndex);
    if (SUCCEEDED(hr)) hr = m_pGraph->ConnectDirect(out, in, nullptr);
    if (FAILED(hr)) LogFailure(__LINE__, L"CDShowControl::ConnectFilters", hr);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::ConnectFilters2(IBaseFilter* source, LPCWSTR sourcePin, IBaseFilter* target, LPCWSTR targetPin)
{
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(source, PINDIR_OUTPUT, sourcePin, &out, FALSE);
    if (SUCCEEDED(hr)) hr = GetPin(target, PINDIR_INPUT, targetPin, &in, FALSE);
    if (SUCCEEDED(hr)) hr = out && in ? m_pGraph->ConnectDirect(out, in, nullptr) : E_POINTER;
    if (FAILED(hr)) LogFailure(__LINE__, L"CDShowControl::ConnectFilters2", hr);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::DisconnectDownStream(IBaseFilter* filter)
{
    if (!filter) return S_OK;
    // Through the graph that holds the filter: the player's source is not
    // in the camera graph.
    FILTER_INFO held{};
    if (FAILED(filter->QueryFilterInfo(&held)) || !held.pGraph) return S_OK;
    IFilterGraph* graph = held.pGraph;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) {
        graph->Release();
        return hr;
    }
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        IPin* peer = nullptr;
        if (SUCCEEDED(pin->ConnectedTo(&peer)) && peer) {
            PIN_DIRECTION d{};
            peer->QueryDirection(&d);
            if (d == PINDIR_INPUT) {
                PIN_INFO info{};
                if (SUCCEEDED(peer->QueryPinInfo(&info)) && info.pFilter) {
                    DisconnectDownStream(info.pFilter);
                    info.pFilter->Release();
                }
                graph->Disconnect(peer);
                graph->Disconnect(pin);
            }
            peer->Release();
        }
        pin->Release();
    }
    pins->Release();
    graph->Release();
    return S_OK;
}

HRESULT CDShowControl::EnumPins(IBaseFilter* filter)
{
    if (!filter) return E_POINTER;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_INFO info{};
        if (SUCCEEDED(pin->QueryPinInfo(&info))) {
            plat::DebugLine(L"Pin Info : Name = '%ls', DIR = '%ls'", info.achName,
                            info.dir == PINDIR_INPUT ? L"INPUT" : L"OUTPUT");
            if (info.pFilter) info.pFilter->Release();
        }
        pin->Release();
    }
    pins->Release();
    return S_OK;
}

HRESULT CDShowControl::ListFilters(IGraphBuilder* graph)
{
    if (!graph) return E_POINTER;
    IEnumFilters* filters = nullptr;
    HRESULT hr = graph->EnumFilters(&filters);
    if (FAILED(hr)) return hr;
    IBaseFilter* filter = nullptr;
    while (filters->Next(1, &filter, nullptr) == S_OK) {
        FILTER_INFO info{};
        if (FAILED(filter->QueryFilterInfo(&info)))
            MessageBoxW(nullptr, L"Could not get the filter info", L"Error", MB_OK | MB_ICONERROR);
        else if (info.pGraph)
            info.pGraph->Release();
        filter->Release();
    }
    filters->Release();
    return S_OK;
}

void CDShowControl::RecordingClock()
{
    m_dwClockLast = GetTickCount();
    m_dwClockSeconds = (m_dwClockLast - m_dwClockStart) / 1000;
}
