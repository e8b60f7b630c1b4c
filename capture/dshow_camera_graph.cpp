#include "dshow_control.h"

#include "dshow_internal.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "still_filter.h"
#include "vga_renderer.h"

using namespace dshow;

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
    if (m_dwMode == CAPTURE_MODE_CAMCORDER && !m_pSmartTee) {
        HRESULT hr = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                      reinterpret_cast<void**>(&m_pSmartTee));
        if (SUCCEEDED(hr)) hr = m_pGraph->AddFilter(m_pSmartTee, kSmartTeeName);
        if (FAILED(hr)) return hr;
    }
    m_pRenderer->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
    m_pRenderer->SetCallback(m_pfnPreviewCallback);
    return m_pGraph->AddFilter(m_pRenderer, kRendererName);
}

HRESULT CDShowControl::ConnectPreview()
{
    if (m_dwMode == CAPTURE_MODE_CAMCORDER)
        return ConnectFilters(m_pSmartTee, kTeePreviewPin, -1, m_pRenderer, nullptr, 0);
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

HRESULT CDShowControl::DisconnectPins(IBaseFilter* source, LPCWSTR sourcePin, IBaseFilter* target,
                                      LPCWSTR targetPin)
{
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(source, &out, PINDIR_OUTPUT, sourcePin, sourcePin ? -1 : 0);
    if (SUCCEEDED(hr)) hr = GetPin(target, &in, PINDIR_INPUT, targetPin, targetPin ? -1 : 0);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(out);
    if (SUCCEEDED(hr)) hr = m_pGraph->Disconnect(in);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::DisconnectPreview()
{
    if (m_pSmartTee) return DisconnectPins(m_pSmartTee, kTeePreviewPin, m_pRenderer, nullptr);
    return DisconnectPins(m_pCameraFilter, kPreviewPin, m_pRenderer, nullptr);
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
    return DisconnectPins(m_pCameraFilter, kStillPin, m_pStillFilter, nullptr);
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
        step(ReleaseCamcorderGraph());
        m_Config[CAPTURE_MODE_CAMCORDER].previewResolution = stillIndex;
        step(ConstructCamcorderGraph());
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
        CHECK(StopGraph(0), fn);
        CHECK(ReleaseCamcorderGraph(), fn);
        m_Config[CAPTURE_MODE_CAMCORDER].previewResolution = index;
        CHECK(ConstructCamcorderGraph(), fn);
        CHECK(RunGraph(1), fn);
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
