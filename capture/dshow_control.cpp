#include "dshow_control.h"

#include <cstdio>
#include <cwchar>
#include <new>

#include "plat/com.h"
#include "plat/dialog.h"
#include "plat/dshow_base.h"
#include "property_bag.h"
#include "still_filter.h"
#include "vga_renderer.h"

namespace {

constexpr const WCHAR* kSourceFile = L"DShowControl";
constexpr HRESULT kNoCamera = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT kWrongMode = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT kNoCameraFilter = -2;

// Filter and pin names in the graph.
constexpr const WCHAR* kCameraName = L"Video Capture Source";
constexpr const WCHAR* kRendererName = L"Video Renderer";
constexpr const WCHAR* kStillName = L"Still Frame";
constexpr const WCHAR* kPreviewPin = L"Preview";
constexpr const WCHAR* kStillPin = L"Still";

// Stream-control states.
enum : DWORD {
    CS_NONE = 0,
    CS_PREVIEW_CAMERA_START = 1,
    CS_PREVIEW_CAMERA_STOP = 2,
    CS_PREVIEW_CAMCORDER_START = 3,
    CS_UNCHANGED = 4,
    CONTROL_STREAM_SET_START = 5,
    CS_RECORDING_PAUSE = 6,
    CS_RECORDING_RESUME = 7,
    CS_RECORDING_STOP = 8,
};

// Graph events the camera driver and the capture components raise.
constexpr long kEventVideoChanged = 0x49;
constexpr long kEventLimitReached = 0x101;
constexpr long kEventQuiet = 0x102;
constexpr long kEventBufferFull = 0x103;
constexpr long kEventWriteError = 0x104;

void LogFailure(int line, const WCHAR* function, HRESULT hr)
{
    plat::DebugLine(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, kSourceFile);
    wchar_t text[48];
    std::swprintf(text, 48, L"Failed(err=0x%08x)\r\n", static_cast<unsigned>(hr));
    OutputDebugStringW(text);
}

HRESULT Result(const WCHAR* name, HRESULT hr)
{
    plat::DebugLine(L"%ls <hr = '0x%X'>", name, static_cast<unsigned>(hr));
    return hr;
}

#define CHECK(expr, function)                   \
    do {                                        \
        hr = (expr);                            \
        if (FAILED(hr)) {                       \
            LogFailure(__LINE__, function, hr); \
            return hr;                          \
        }                                       \
    } while (0)

template <typename T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

const WCHAR* ResolutionText(DWORD index)
{
    static constexpr const WCHAR* texts[] = {L"2560 * 1920", L"2048 * 1536", L"1600 * 1200", L"1280 * 960",
                                             L"640 * 480",   L"400 * 240",   L"320 * 240",   L"176 * 144"};
    return index < 8 ? texts[index] : texts[0];
}

}  // namespace

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
    if (mode == CAPTURE_MODE_CAMCORDER || mode == CAPTURE_MODE_PLAYER) {
        // The camcorder and player graphs are not built here.
        LogFailure(__LINE__, fn, E_NOTIMPL);
        return Result(L"ChangeCameraMode", E_NOTIMPL);
    }
    if (m_dwMode != CAPTURE_MODE_NONE) {
        if (mode == m_dwMode) return Result(L"ChangeCameraMode", S_OK);
        if (m_dwMode == CAPTURE_MODE_CAMERA) hr = ReleaseCameraGraph();
        if (FAILED(hr)) {
            LogFailure(__LINE__, fn, hr);
            return Result(L"ChangeCameraMode", hr);
        }
    }
    m_dwMode = mode;
    if (mode == CAPTURE_MODE_CAMERA) {
        hr = ConstructCameraGraph();
        if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    }
    return Result(L"ChangeCameraMode", hr);
}

// ---- the camera graph -------------------------------------------------------------

HRESULT CDShowControl::ConstructCameraGraph()
{
    const WCHAR* fn = L"CDShowControl::ConstructCameraGraph";
    HRESULT hr = S_OK;
    CHECK(AddFilterPreview(), fn);
    CHECK(ConnectPreview(), fn);
    CHECK(AddFilterStill(), fn);
    CHECK(ConnectStill(), fn);
    hr = ChangeResolution(PIN_CATEGORY_CAPTURE, m_Config[CAPTURE_MODE_CAMERA].previewResolution);
    if (FAILED(hr)) {
        plat::DebugLine(L"Failed to ChangeResolution(hr=0x%08x)\r\n", static_cast<unsigned>(hr));
        LogFailure(__LINE__, fn, hr);
        return Result(L"ConstructCameraGraph", hr);
    }
    CHECK(ChangeResolution(PIN_CATEGORY_STILL, m_Config[CAPTURE_MODE_CAMERA].stillResolution), fn);
    CHECK(CaptureStreamControl(CS_PREVIEW_CAMERA_START), fn);
    return Result(L"ConstructCameraGraph", hr);
}

HRESULT CDShowControl::ReleaseCameraGraph()
{
    const WCHAR* fn = L"CDShowControl::ReleaseCameraGraph";
    HRESULT hr = S_OK;
    CHECK(DisconnectPreview(), fn);
    CHECK(RemoveFilterPreview(), fn);
    CHECK(DisconnectStill(), fn);
    CHECK(RemoveFilterStill(), fn);
    return Result(L"ReleaseCameraGraph", S_OK);
}

HRESULT CDShowControl::AddFilterPreview()
{
    if (!m_pGraph || !m_pRenderer) return E_POINTER;
    m_pRenderer->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
    m_pRenderer->SetCallback(m_pfnPreviewCallback);
    return m_pGraph->AddFilter(m_pRenderer, kRendererName);
}

HRESULT CDShowControl::ConnectPreview()
{
    return ConnectFilters(m_pCameraFilter, kPreviewPin, -1, m_pRenderer, nullptr, 0);
}

HRESULT CDShowControl::AddFilterStill()
{
    if (!m_pGraph || !m_pStillFilter) return E_POINTER;
    m_pStillFilter->SetCallback(m_pfnStillCallback);
    return m_pGraph->AddFilter(m_pStillFilter, kStillName);
}

HRESULT CDShowControl::ConnectStill()
{
    return ConnectFilters(m_pCameraFilter, kStillPin, -1, m_pStillFilter, nullptr, 0);
}

HRESULT CDShowControl::DisconnectPreview()
{
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(m_pCameraFilter, &out, PINDIR_OUTPUT, kPreviewPin, -1);
    if (SUCCEEDED(hr)) hr = GetPin(m_pRenderer, &in, PINDIR_INPUT, nullptr, 0);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(out);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(in);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::RemoveFilterPreview()
{
    if (!m_pGraph) return E_POINTER;
    if (m_pSmartTee) {
        m_pGraph->RemoveFilter(m_pSmartTee);
        ReleaseAndClear(m_pSmartTee);
    }
    // The renderer stays alive for the next graph.
    return m_pGraph->RemoveFilter(m_pRenderer);
}

HRESULT CDShowControl::DisconnectStill()
{
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(m_pCameraFilter, &out, PINDIR_OUTPUT, kStillPin, -1);
    if (SUCCEEDED(hr)) hr = GetPin(m_pStillFilter, &in, PINDIR_INPUT, nullptr, 0);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(out);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(in);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::RemoveFilterStill()
{
    if (!m_pGraph) return E_POINTER;
    return m_pGraph->RemoveFilter(m_pStillFilter);
}

HRESULT CDShowControl::ChangeResolution(const GUID& category, DWORD index)
{
    const WCHAR* fn = L"CDShowControl::ChangeResolution";
    LONG width = 0, height = 0;
    ResolutionSize(index, &width, &height);
    plat::DebugLine(L"%ls", ResolutionText(index));
    if (category == PIN_CATEGORY_CAPTURE)
        plat::DebugLine(L"[SET FORMAT] PIN_CATEGORY_CAPTURE!!!!!!!!!!!! '%d'\r\n", static_cast<int>(index));
    else if (category == PIN_CATEGORY_STILL)
        plat::DebugLine(L"[SET FORMAT] PIN_CATEGORY_STILL!!!!!!!!!!!!  '%d'\r\n", static_cast<int>(index));
    if (!m_pCaptureBuilder) return E_POINTER;
    IAMStreamConfig* config = nullptr;
    HRESULT hr = m_pCaptureBuilder->FindInterface(&category, nullptr, m_pCameraFilter, IID_IAMStreamConfig,
                                                  reinterpret_cast<void**>(&config));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return hr;
    }
    AM_MEDIA_TYPE* type = nullptr;
    hr = config->GetStreamCaps(0, &type, nullptr);
    if (FAILED(hr) || !type) {
        hr = FAILED(hr) ? hr : E_FAIL;
        LogFailure(__LINE__, fn, hr);
        config->Release();
        return hr;
    }
    if (type->formattype == FORMAT_VideoInfo && type->cbFormat >= sizeof(VIDEOINFOHEADER)) {
        auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(type->pbFormat);
        if (type->subtype == MEDIASUBTYPE_IJPG) {
            vih->bmiHeader.biWidth = width;
            vih->bmiHeader.biHeight = -height;  // top-down
            type->lSampleSize = vih->bmiHeader.biSizeImage = static_cast<DWORD>(width * height * 2);
        } else if (type->subtype == MEDIASUBTYPE_CLJR) {
            vih->bmiHeader.biWidth = width;
            vih->bmiHeader.biHeight = height;
            const DWORD pixels = static_cast<DWORD>(width * height);
            type->lSampleSize = vih->bmiHeader.biSizeImage = pixels + (pixels >> 1);
        }
    }
    hr = config->SetFormat(type);
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    if (SUCCEEDED(hr) && category == PIN_CATEGORY_STILL && m_pStillFilter) {
        hr = m_pStillFilter->SetMediaType(type);
        if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    }
    DeleteMediaType(type);
    config->Release();
    return hr;
}

HRESULT CDShowControl::SetResolution(DWORD stillIndex, DWORD previewIndex)
{
    // The first failing step's code, so that the caller learns of it.
    HRESULT first = S_OK;
    auto step = [&](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    if (m_dwMode != CAPTURE_MODE_NONE) step(StopGraph(0));
    if (m_dwMode == CAPTURE_MODE_CAMERA) {
        step(ReleaseCameraGraph());
        m_Config[CAPTURE_MODE_CAMERA].previewResolution = previewIndex;
        m_Config[CAPTURE_MODE_CAMERA].stillResolution = stillIndex;
        step(ConstructCameraGraph());
    } else if (m_dwMode == CAPTURE_MODE_CAMCORDER) {
        m_Config[CAPTURE_MODE_CAMCORDER].previewResolution = stillIndex;
        step(E_NOTIMPL);
    }
    if (m_dwMode != CAPTURE_MODE_NONE) step(RunGraph(1));
    return Result(L"SetResolution", first);
}

HRESULT CDShowControl::SetResolutionPreviewPin(DWORD index)
{
    const WCHAR* fn = L"CDShowControl::SetResolutionPreviewPin";
    HRESULT hr = S_OK;
    if (m_dwMode == CAPTURE_MODE_CAMERA) {
        CHECK(StopGraph(0), fn);
        CHECK(ReleaseCameraGraph(), fn);
        m_Config[CAPTURE_MODE_CAMERA].previewResolution = index;
        CHECK(ConstructCameraGraph(), fn);
        CHECK(RunGraph(1), fn);
    } else if (m_dwMode == CAPTURE_MODE_CAMCORDER) {
        hr = E_NOTIMPL;
    }
    return Result(L"SetResolutionPreviewPin", hr);
}

HRESULT CDShowControl::SetResolutionStllPin(DWORD index)
{
    const WCHAR* fn = L"CDShowControl::SetResolutionStllPin";
    HRESULT hr = S_OK;
    if (m_dwMode != CAPTURE_MODE_CAMERA) return Result(L"SetResolutionStllPin", E_FAIL);
    CHECK(StopGraph(0), fn);
    CHECK(DisconnectStill(), fn);
    CHECK(RemoveFilterStill(), fn);
    m_Config[CAPTURE_MODE_CAMERA].stillResolution = index;
    CHECK(ChangeResolution(PIN_CATEGORY_STILL, index), fn);
    CHECK(AddFilterStill(), fn);
    CHECK(ConnectStill(), fn);
    CHECK(RunGraph(1), fn);
    return Result(L"SetResolutionStllPin", hr);
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

HRESULT CDShowControl::CameraCapture()
{
    const WCHAR* fn = L"CDShowControl::CameraCapture";
    HRESULT hr = S_OK;
    IPin* still = nullptr;
    IAMVideoControl* video = nullptr;
    if (!m_pCameraFilter) return Result(L"CameraCapture", E_POINTER);
    hr = GetPin(m_pCameraFilter, &still, PINDIR_OUTPUT, kStillPin, -1);
    if (SUCCEEDED(hr)) hr = m_pCameraFilter->QueryInterface(IID_IAMVideoControl, reinterpret_cast<void**>(&video));
    if (SUCCEEDED(hr)) {
        // The application object keeps the shutter's key-down tick; none here yet.
        const DWORD keyDownTick = 0;
        const DWORD delay = keyDownTick ? GetTickCount() - keyDownTick : 0;
        plat::DebugLine(L"**********************************************************");
        plat::DebugLine(L"***** VK_FULLSHUTTER Down => VideoControlFlag_Trigger : %d ms", static_cast<int>(delay));
        plat::DebugLine(L"**********************************************************");
        hr = video->SetMode(still, VideoControlFlag_Trigger);
    }
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    if (video) video->Release();
    if (still) still->Release();
    return Result(L"CameraCapture", hr);
}

HRESULT CDShowControl::SetAMCameraControl(long property, long value, bool autoFlag)
{
    plat::DebugLine(L"CDShowControl::SetAMCameraControl(long lProperty : %d, long lVal : %d, bool bAutoFlag : %ls)",
                    static_cast<int>(property), static_cast<int>(value), autoFlag ? L"true" : L"false");
    if (!m_pCameraFilter) return kNoCameraFilter;
    IAMCameraControl* control = nullptr;
    HRESULT hr = m_pCameraFilter->QueryInterface(IID_IAMCameraControl, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr)) {
        hr = control->Set(property, value, autoFlag ? CameraControl_Flags_Auto : CameraControl_Flags_Manual);
        control->Release();
    }
    if (FAILED(hr)) LogFailure(__LINE__, L"CDShowControl::SetAMCameraControl", hr);
    return Result(L"SetAMCameraControl", hr);
}

HRESULT CDShowControl::SetAMVideoProcAmp(long property, long value, bool autoFlag)
{
    plat::DebugLine(L"CDShowControl::SetAMVideoProcAmp(long lProperty : %d, long lVal : %d, bool bAutoFlag : %ls)",
                    static_cast<int>(property), static_cast<int>(value), autoFlag ? L"true" : L"false");
    if (!m_pCameraFilter) return Result(L"SetAMVideoProcAmp", E_POINTER);
    IAMVideoProcAmp* amp = nullptr;
    HRESULT hr = m_pCameraFilter->QueryInterface(IID_IAMVideoProcAmp, reinterpret_cast<void**>(&amp));
    if (SUCCEEDED(hr)) {
        hr = amp->Set(property, value, autoFlag ? CameraControl_Flags_Auto : CameraControl_Flags_Manual);
        amp->Release();
    }
    if (FAILED(hr)) LogFailure(__LINE__, L"CDShowControl::SetAMVideoProcAmp", hr);
    return Result(L"SetAMVideoProcAmp", hr);
}

// ---- stream control and events ---------------------------------------------------------

HRESULT CDShowControl::ControlStream(const GUID& category, const GUID& type, IBaseFilter* filter, REFERENCE_TIME start,
                                     REFERENCE_TIME stop, WORD startCookie, WORD stopCookie)
{
    if (!m_pCaptureBuilder) return E_POINTER;
    return m_pCaptureBuilder->ControlStream(&category, &type, filter, &start, &stop, startCookie, stopCookie);
}

HRESULT CDShowControl::CaptureStreamControl(DWORD state)
{
    const WCHAR* fn = L"CDShowControl::CaptureStreamControl";
    m_dwStartedCookies = 0;
    m_dwStoppedCookies = 0;
    if (!m_pGraph) return Result(L"CaptureStreamControl", E_POINTER);
    IMediaSeeking* seeking = nullptr;
    HRESULT hr = m_pGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"CaptureStreamControl", hr);
    }
    auto now = [&] {
        LONGLONG position = 0;
        seeking->GetCurrentPosition(&position);
        return position;
    };
    auto fail = [&](int line) {
        LogFailure(line, fn, hr);
        seeking->Release();
        return Result(L"CaptureStreamControl", hr);
    };
    const GUID& capture = PIN_CATEGORY_CAPTURE;
    switch (state) {
    case CS_NONE:
        plat::DebugLine(L"CaptureStreamControl - CS_NONE");
        m_dwStreamControlState = CS_RECORDING_STOP;
        hr = ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, 0, 1, 2);
        if (FAILED(hr)) return fail(__LINE__);
        hr = ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, 0, 3, 4);
        if (FAILED(hr)) return fail(__LINE__);
        break;
    case CS_PREVIEW_CAMERA_START:
        plat::DebugLine(L"CaptureStreamControl - CS_PREVIEW_CAMERA_START");
        m_dwStreamControlState = state;
        hr = ControlStream(capture, MEDIATYPE_Video, nullptr, 0, MAXLONGLONG, 1, 2);
        if (FAILED(hr)) return fail(__LINE__);
        break;
    case CS_PREVIEW_CAMERA_STOP:
        plat::DebugLine(L"CaptureStreamControl - CS_PREVIEW_CAMERA_STOP");
        m_dwStreamControlState = state;
        hr = ControlStream(PIN_CATEGORY_PREVIEW, MEDIATYPE_Video, nullptr, 0, 0, 1, 2);
        break;
    case CS_PREVIEW_CAMCORDER_START:
        plat::DebugLine(L"CaptureStreamControl - CS_PREVIEW_CAMCORDER_START");
        m_dwStreamControlState = state;
        hr = ControlStream(PIN_CATEGORY_PREVIEW, MEDIATYPE_Video, m_pSmartTee, 0, MAXLONGLONG, 1, 2);
        if (FAILED(hr)) return fail(__LINE__);
        hr = ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, 0, 0, 0);
        if (FAILED(hr)) return fail(__LINE__);
        hr = ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, 0, 0, 0);
        if (FAILED(hr)) return fail(__LINE__);
        break;
    case CONTROL_STREAM_SET_START: {
        plat::DebugLine(L"CaptureStreamControl - CONTROL_STREAM_SET_START");
        m_dwStreamControlState = state;
        ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, MAXLONGLONG, 1, 2);
        ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, MAXLONGLONG, 3, 4);
        m_llStartPosition = now();
        m_llPausePosition = m_llStartPosition;
        m_llPausedTotal = 0;
        hr = S_OK;
        break;
    }
    case CS_RECORDING_PAUSE:
        plat::DebugLine(L"CaptureStreamControl - CS_RECORDING_PAUSE");
        m_dwStreamControlState = state;
        m_llPausePosition = now();
        ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, 0, 1, 2);
        hr = ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, 0, 3, 4);
        break;
    case CS_RECORDING_RESUME:
        plat::DebugLine(L"CS_RECORDING_RESUME");
        m_dwStreamControlState = state;
        ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, MAXLONGLONG, 1, 2);
        ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, MAXLONGLONG, 3, 4);
        m_llPausedTotal += now() - m_llPausePosition;
        m_llPausePosition = m_llStartPosition;
        hr = S_OK;
        break;
    case CS_RECORDING_STOP: {
        plat::DebugLine(L"CaptureStreamControl - CS_RECORDING_STOP");
        m_dwStreamControlState = state;
        const LONGLONG stop = now();
        hr = ControlStream(capture, MEDIATYPE_Video, m_pSmartTee, 0, stop, 1, 2);
        if (FAILED(hr)) return fail(__LINE__);
        hr = ControlStream(capture, MEDIATYPE_Audio, m_pAudioCapture, 0, stop, 3, 4);
        if (FAILED(hr)) return fail(__LINE__);
        break;
    }
    default:
        // 4 and 9 or more change nothing.
        break;
    }
    seeking->Release();
    return Result(L"CaptureStreamControl", hr);
}

HRESULT CDShowControl::HandleGraphEvent()
{
    const WCHAR* fn = L"CDShowControl::HandleGraphEvent";
    IGraphBuilder* graph = m_dwMode == CAPTURE_MODE_PLAYER ? m_pPlayerGraph : m_pGraph;
    if (!graph) return m_dwMode == CAPTURE_MODE_PLAYER ? S_OK : Result(L"HandleGraphEvent", E_POINTER);
    IMediaEventEx* events = nullptr;
    HRESULT hr = graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"HandleGraphEvent", hr);
    }
    if (!events) return Result(L"HandleGraphEvent", E_POINTER);
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    while (SUCCEEDED(events->GetEvent(&code, &p1, &p2, 0))) {
        events->FreeEventParams(code, p1, p2);
        if (code != kEventQuiet) {
            plat::DebugLine(L"**********************************************************");
            plat::DebugLine(L"***** Graph Code:0x%X", static_cast<unsigned>(code));
            plat::DebugLine(L"**********************************************************");
        }
        const HWND owner = Owner();
        switch (code) {
        case EC_COMPLETE:
            if (p2 == 2) {
                m_dwStreamControlState = CS_PREVIEW_CAMCORDER_START;
                PostCommand(owner, CMD_RECORDING_STOPED);
            } else if (m_dwMode == CAPTURE_MODE_PLAYER) {
                IMediaPosition* position = nullptr;
                if (SUCCEEDED(m_pPlayerGraph->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(&position)))) {
                    position->put_CurrentPosition(0.0);
                    position->Release();
                }
                StopGraph(0);
                PostCommand(owner, CMD_MOVIE_STOPED);
            }
            break;
        case EC_PALETTE_CHANGED:
        case EC_VIDEO_SIZE_CHANGED:
        case kEventVideoChanged:
            PostCommand(owner, m_dwMode == CAPTURE_MODE_PLAYER ? CMD_MOVIE_OPENED : CMD_PREVIEW_STARTED);
            break;
        case EC_STREAM_CONTROL_STOPPED:
            m_dwStoppedCookies += static_cast<DWORD>(p2);
            plat::DebugLine(L"HandleGraphEvent - EC_STREAM_CONTROL_STOPPED StopCookie : %d, ev2 : %d",
                            static_cast<int>(m_dwStoppedCookies), static_cast<int>(p2));
            if (m_dwMode == CAPTURE_MODE_CAMCORDER && m_dwStoppedCookies == 6) {
                if (m_dwStreamControlState == CS_RECORDING_STOP) {
                    plat::DebugLine(L"PostMessage - CMD_RECORDING_STOPED");
                    PostCommand(owner, CMD_RECORDING_STOPED);
                } else if (m_dwStreamControlState == CS_RECORDING_PAUSE) {
                    plat::DebugLine(L"PostMessage - CMD_RECORDING_PAUSED");
                    PostCommand(owner, CMD_RECORDING_PAUSED);
                }
            }
            break;
        case EC_STREAM_CONTROL_STARTED:
            m_dwStartedCookies += static_cast<DWORD>(p2);
            plat::DebugLine(L"EC_STREAM_CONTROL_STARTED CS : %d EV : %d SStartCookie : %d",
                            static_cast<int>(m_dwStreamControlState), static_cast<int>(p2),
                            static_cast<int>(m_dwStartedCookies));
            // Exact sums only: a sum that steps over a threshold posts nothing.
            if (m_dwMode == CAPTURE_MODE_CAMERA && m_dwStartedCookies == 1) {
                PostCommand(m_Config[CAPTURE_MODE_CAMERA].owner, CMD_PREVIEW_STARTED);
            } else if (m_dwMode == CAPTURE_MODE_CAMCORDER) {
                if (m_dwStartedCookies == 8 &&
                    (m_dwStreamControlState == CONTROL_STREAM_SET_START || m_dwStreamControlState == CS_RECORDING_RESUME))
                    PostCommand(m_Config[CAPTURE_MODE_CAMCORDER].owner, CMD_RECORDING_STARTED);
                else if (m_dwStartedCookies == 1 && m_dwStreamControlState == CS_PREVIEW_CAMCORDER_START)
                    PostCommand(m_Config[CAPTURE_MODE_CAMCORDER].owner, CMD_PREVIEW_STARTED);
            }
            break;
        case kEventLimitReached:
            // The recording's size or time limit: the camcorder graph stops it.
            break;
        case kEventBufferFull:
            plat::DebugLine(L"EC_BUFFER_FULL");
            break;
        case kEventWriteError:
            PostCommand(owner, CMD_RECORDING_ERROR_WRITE);
            break;
        default:
            break;
        }
    }
    events->Release();
    return Result(L"HandleGraphEvent", S_OK);
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
    if (!filter || !m_pGraph) return S_OK;
    IEnumPins* pins = nullptr;
    HRESULT hr = filter->EnumPins(&pins);
    if (FAILED(hr)) return hr;
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
                m_pGraph->Disconnect(peer);
                m_pGraph->Disconnect(pin);
            }
            peer->Release();
        }
        pin->Release();
    }
    pins->Release();
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
