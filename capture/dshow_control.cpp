#include "dshow_control.h"

#include <new>

#include "dshow_internal.h"
#include "plat/com.h"
#include "plat/dshow_base.h"
#include "property_bag.h"
#include "still_filter.h"
#include "vga_renderer.h"

using namespace dshow;

CDShowControl::CDShowControl()
{
    for (DWORD i = 0; i < 4; ++i) m_Config[i].index = i;
}

CDShowControl::~CDShowControl()
{
    // A control let go without CloseCamera must not leave the graph running
    // or its own filters held.
    ReleaseAllFilters();
    ReleaseInterfaces();
}

void CDShowControl::ResolutionSize(DWORD index, LONG* width, LONG* height)
{
    static constexpr LONG sizes[8][2] = {{2560, 1920}, {2048, 1536}, {1600, 1200}, {1280, 960},
                                         {640, 480},   {400, 240},   {320, 240},   {176, 144}};
    const DWORD i = index < 8 ? index : 0;
    *width = sizes[i][0];
    *height = sizes[i][1];
}

HRESULT CDShowControl::SetStreamConfig(HWND owner, DWORD reserved, DWORD index, DWORD stillResolution,
                                       DWORD previewResolution, DWORD streamOption)
{
    m_Config[index & 3] = {owner, reserved, index, stillResolution, previewResolution, streamOption};
    return S_OK;
}

void CDShowControl::PostCommand(HWND owner, DWORD command)
{
    PostMessageW(owner, WM_MAIN_COMMAND, command, 0);
}

// ---- creation -----------------------------------------------------------------

HRESULT CDShowControl::InitCamera()
{
    plat::DebugLine(L">>> %ls", L"InitCamera");
    HRESULT hr = S_OK;
    if (m_dwMode != CAPTURE_MODE_NONE) {
        // A graph is built: refused, and left as it is.
        hr = kWrongMode;
        LogFailure(__LINE__, L"CDShowControl::InitCamera", hr);
    } else {
        hr = InitFilterGraph();
        if (FAILED(hr)) ReleaseAllFilters();
    }
    plat::DebugLine(L"<<< %ls", L"InitCamera");
    return Result(L"InitCamera", hr);
}

HRESULT CDShowControl::InitFilterGraph()
{
    HRESULT hr = S_OK;
    const WCHAR* fn = L"CDShowControl::InitFilterGraph";
    CHECK(CoCreateInstance(CLSID_CaptureGraphBuilder, nullptr, CLSCTX_INPROC_SERVER, IID_ICaptureGraphBuilder2,
                           reinterpret_cast<void**>(&m_pCaptureBuilder)),
          fn);
    CHECK(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                           reinterpret_cast<void**>(&m_pGraph)),
          fn);
    CHECK(m_pCaptureBuilder->SetFiltergraph(m_pGraph), fn);
    hr = CoCreateInstance(CLSID_VideoCapture, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                          reinterpret_cast<void**>(&m_pCameraFilter));
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    // Either constructor may report its own failure into hr.
    m_pStillFilter = CStillFilter::CreateInstance(nullptr, &hr);
    m_pRenderer = new (std::nothrow) CVGARenderer(nullptr, &hr);
    if (!m_pRenderer) hr = E_OUTOFMEMORY;
    return Result(L"InitFilterGraph", hr);
}

HRESULT CDShowControl::GetCameraDevice(WCHAR* name)
{
    if (!name) return Result(L"GetCameraDevice", E_POINTER);
    DEVMGR_DEVICE_INFORMATION info{};
    info.dwSize = sizeof(info);
    HANDLE search = FindFirstDevice(DeviceSearchByGuid, &GUID_CameraDeviceClass, &info);
    if (search == INVALID_HANDLE_VALUE) search = FindFirstDevice(DeviceSearchByLegacyName, L"CAM*", &info);
    if (search == INVALID_HANDLE_VALUE) {
        LogFailure(__LINE__, L"CDShowControl::GetCameraDevice", kNoCamera);
        return Result(L"GetCameraDevice", kNoCamera);
    }
    std::wcsncpy(name, info.szLegacyName, MAX_PATH);
    name[MAX_PATH] = 0;
    FindClose(search);
    return Result(L"GetCameraDevice", S_OK);
}

HRESULT CDShowControl::OpenCamera(DWORD mode)
{
    plat::DebugLine(L">>> %ls", L"OpenCamera");
    m_bClosing = FALSE;
    const WCHAR* fn = L"CDShowControl::OpenCamera";
    auto fail = [&](int line, HRESULT failure) {
        LogFailure(line, fn, failure);
        ReleaseAllFilters();
        plat::DebugLine(L"<<< %ls", L"OpenCamera");
        return Result(L"OpenCamera", failure);
    };
    if (!m_pCameraFilter || !m_pGraph) return fail(__LINE__, E_POINTER);
    IPersistPropertyBag* persist = nullptr;
    HRESULT hr = m_pCameraFilter->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist));
    if (FAILED(hr)) return fail(__LINE__, hr);
    WCHAR device[MAX_PATH + 1] = {};
    hr = GetCameraDevice(device);
    if (FAILED(hr)) {
        persist->Release();
        return fail(__LINE__, hr);
    }
    auto* bag = new (std::nothrow) CPropertyBag;
    if (!bag) {
        persist->Release();
        return fail(__LINE__, E_OUTOFMEMORY);
    }
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(device);
    hr = value.bstrVal ? bag->Write(L"VCapName", &value) : E_OUTOFMEMORY;
    VariantClear(&value);
    if (SUCCEEDED(hr)) hr = persist->Load(bag, nullptr);
    bag->Release();
    persist->Release();
    if (FAILED(hr)) return fail(__LINE__, hr);
    hr = m_pGraph->AddFilter(m_pCameraFilter, kCameraName);
    if (FAILED(hr)) return fail(__LINE__, hr);
    m_dwMode = CAPTURE_MODE_NONE;
    hr = ChangeCameraMode(mode);
    if (FAILED(hr)) return fail(__LINE__, hr);
    plat::DebugLine(L"<<< %ls", L"OpenCamera");
    return Result(L"OpenCamera", hr);
}

// ---- modes ----------------------------------------------------------------------

HRESULT CDShowControl::SetMode(DWORD mode)
{
    if (m_dwMode != CAPTURE_MODE_NONE) StopGraph(0);
    HRESULT hr = ChangeCameraMode(mode);
    if (FAILED(hr)) return Result(L"SetMode", hr);
    if (m_dwMode != CAPTURE_MODE_NONE) RunGraph(1);
    return Result(L"SetMode", hr);
}

HRESULT CDShowControl::ChangeCameraMode(DWORD mode)
{
    const WCHAR* fn = L"CDShowControl::ChangeCameraMode";
    HRESULT hr = S_OK;
    if (m_dwMode != CAPTURE_MODE_NONE) {
        // The camcorder graph is always rebuilt: a fresh encoder and file.
        if (mode == m_dwMode && mode != CAPTURE_MODE_CAMCORDER) return Result(L"ChangeCameraMode", S_OK);
        if (m_dwMode == CAPTURE_MODE_PLAYER) {
            hr = DisconnectDownStream(m_pPlayerSource);
            if (SUCCEEDED(hr)) hr = RemoveFilterPlayer();
        } else if (m_dwMode == CAPTURE_MODE_CAMCORDER) {
            hr = ReleaseCamcorderGraph();
        } else if (m_dwMode == CAPTURE_MODE_CAMERA) {
            hr = ReleaseCameraGraph();
        }
        if (FAILED(hr)) {
            LogFailure(__LINE__, fn, hr);
            return Result(L"ChangeCameraMode", hr);
        }
    }
    m_dwMode = mode;
    if (mode == CAPTURE_MODE_CAMCORDER) {
        hr = ConstructCamcorderGraph();
    } else if (mode == CAPTURE_MODE_PLAYER) {
        AddFilterPlayer();
        ConnectPlayer();
        hr = S_OK;
    } else if (mode == CAPTURE_MODE_CAMERA) {
        hr = ConstructCameraGraph();
    }
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    return Result(L"ChangeCameraMode", hr);
}

// ---- running ------------------------------------------------------------------------

HRESULT CDShowControl::RunGraph(int quiet)
{
    m_dwStartedCookies = 0;
    m_dwStoppedCookies = 0;
    if (m_dwMode == CAPTURE_MODE_NONE) return Result(L"RunGraph", S_OK);
    IGraphBuilder* graph = m_dwMode == CAPTURE_MODE_PLAYER ? m_pPlayerGraph : m_pGraph;
    if (!graph) return Result(L"RunGraph", S_OK);
    const WCHAR* fn = L"CDShowControl::RunGraph";
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
    HRESULT hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) hr = graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        if (control) control->Release();
        return Result(L"RunGraph", hr);
    }
    const HWND owner = Owner();
    if (m_dwMode != CAPTURE_MODE_PLAYER) {
        std::fprintf(stderr, "[CAMERA] QUERY : %p\n", static_cast<void*>(graph));
        std::fprintf(stderr, "[CAMERA] QUERY : %p\n", static_cast<void*>(control));
        std::fprintf(stderr, "[CAMERA] QUERY : %p\n", static_cast<void*>(events));
    }
    events->SetNotifyWindow(reinterpret_cast<OAHWND>(owner), static_cast<long>(WM_GRAPH_NOTIFY), 0);
    if (m_dwMode != CAPTURE_MODE_PLAYER) std::fprintf(stderr, "[CAMERA] NOTIFY\n");
    events->Release();
    if (m_dwMode != CAPTURE_MODE_PLAYER) std::fprintf(stderr, "[CAMERA] RELEASE\n");
    hr = control->Run();
    control->Release();
    if (FAILED(hr))
        LogFailure(__LINE__, fn, hr);
    else if (!quiet)
        PostCommand(owner, CMD_PREVIEW_STARTED);
    return Result(L"RunGraph", hr);
}

HRESULT CDShowControl::StopGraph(int quiet)
{
    if (m_dwMode == CAPTURE_MODE_NONE) return Result(L"StopGraph", S_OK);
    const WCHAR* fn = L"CDShowControl::StopGraph";
    IGraphBuilder* graph = m_dwMode == CAPTURE_MODE_PLAYER ? m_pPlayerGraph : m_pGraph;
    if (!graph) {
        LogFailure(__LINE__, fn, E_FAIL);
        return Result(L"StopGraph", E_FAIL);
    }
    if (m_dwMode == CAPTURE_MODE_PLAYER) {
        IMediaSeeking* seeking = nullptr;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)))) {
            LONGLONG zero = 0;
            seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
            seeking->Release();
        }
    }
    IMediaControl* control = nullptr;
    HRESULT hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"StopGraph", hr);
    }
    hr = control->Stop();
    control->Release();
    Sleep(0);
    if (FAILED(hr))
        LogFailure(__LINE__, fn, hr);
    else if (!quiet)
        PostCommand(Owner(), CMD_PREVIEW_STOPED);
    return Result(L"StopGraph", hr);
}

HRESULT CDShowControl::PauseGraph()
{
    if (m_dwMode == CAPTURE_MODE_NONE) return Result(L"PauseGraph", S_OK);
    IGraphBuilder* graph = m_dwMode == CAPTURE_MODE_PLAYER ? m_pPlayerGraph : m_pGraph;
    if (!graph) return Result(L"PauseGraph", E_FAIL);
    IMediaControl* control = nullptr;
    HRESULT hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) {
        hr = control->Pause();
        control->Release();
        if (SUCCEEDED(hr)) Sleep(1);
    }
    if (FAILED(hr)) LogFailure(__LINE__, L"CDShowControl::PauseGraph", hr);
    return Result(L"PauseGraph", hr);
}

// ---- closing ----------------------------------------------------------------------------

HRESULT CDShowControl::CloseCamera()
{
    plat::DebugLine(L">>> %ls", L"CloseCamera");
    if (m_bClosing || m_dwMode == CAPTURE_MODE_NONE) {
        ReleaseAllFilters();
        m_bClosing = TRUE;
        plat::DebugLine(L"<<< %ls", L"CloseCamera");
        return Result(L"CloseCamera", S_OK);
    }
    m_bClosing = TRUE;
    const WCHAR* fn = L"CDShowControl::CloseCamera";
    // Every step is tried, so that nothing stays held; the first failure is reported.
    HRESULT first = S_OK;
    auto step = [&](int line, HRESULT hr) {
        if (FAILED(hr)) {
            LogFailure(line, fn, hr);
            if (SUCCEEDED(first)) first = hr;
        }
    };
    if (m_pGraph) {
        IMediaControl* control = nullptr;
        HRESULT hr = m_pGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        step(__LINE__, hr);
        if (control) {
            OAFilterState state = State_Stopped;
            hr = control->GetState(1000, &state);
            step(__LINE__, hr);
            if (state != State_Stopped) step(__LINE__, StopGraph(0));
            control->Release();
        }
    }
    if (m_dwMode == CAPTURE_MODE_PLAYER)
        step(__LINE__, DisconnectDownStream(m_pPlayerSource));
    else if (m_dwMode == CAPTURE_MODE_CAMCORDER)
        step(__LINE__, ReleaseCamcorderGraph());
    else if (m_dwMode == CAPTURE_MODE_CAMERA)
        step(__LINE__, ReleaseCameraGraph());
    step(__LINE__, ReleaseAllFilters());
    m_dwMode = CAPTURE_MODE_NONE;
    plat::DebugLine(L"<<< %ls", L"CloseCamera");
    return Result(L"CloseCamera", first);
}

HRESULT CDShowControl::ReleaseAllFilters()
{
    if (m_pGraph) {
        // Streaming ends before the filters are let go.
        IMediaControl* control = nullptr;
        if (SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)))) {
            control->Stop();
            control->Release();
        }
    }
    ReleaseAndClear(m_pCameraFilter);
    ReleaseAndClear(m_pSmartTee);
    ReleaseAndClear(m_pVideoEncoder);
    ReleaseAndClear(m_pMux);
    ReleaseAndClear(m_pAudioCapture);
    ReleaseAndClear(m_pAudioEncoder);
    ReleaseAndClear(m_pGraph);
    ReleaseAndClear(m_pCaptureBuilder);
    ReleaseAndClear(m_pPlayerSource);
    ReleaseAndClear(m_pAudioRenderer);
    ReleaseAndClear(m_pPlayerGraph);
    ReleaseAndClear(m_pStillFilter);
    ReleaseAndClear(m_pRenderer);
    return Result(L"ReleaseAllFilters", S_OK);
}

HRESULT CDShowControl::ReleaseInterfaces()
{
    // Normally all empty by now: CloseCamera released them.
    ReleaseAndClear(m_pAudioRenderer);
    ReleaseAndClear(m_pPlayerSource);
    ReleaseAndClear(m_pPlayerGraph);
    ReleaseAndClear(m_pMux);
    ReleaseAndClear(m_pAudioEncoder);
    ReleaseAndClear(m_pVideoEncoder);
    ReleaseAndClear(m_pSmartTee);
    ReleaseAndClear(m_pAudioCapture);
    ReleaseAndClear(m_pCameraFilter);
    ReleaseAndClear(m_pCaptureBuilder);
    ReleaseAndClear(m_pGraph);
    return S_OK;
}
