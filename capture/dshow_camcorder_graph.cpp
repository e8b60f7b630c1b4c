#include <cwchar>

#include "camcorder_control.h"
#include "dshow_control.h"
#include "dshow_internal.h"
#include "file_control.h"
#include "plat/com.h"
#include "plat/dshow_base.h"
#include "plat/dshow_camcorder.h"
#include "vga_renderer.h"

using namespace dshow;

namespace {

constexpr const WCHAR* kMuxName = L"Mux Filter";
constexpr const WCHAR* kVideoEncoderName = L"Video Encoder Filter";
constexpr const WCHAR* kAudioCaptureName = L"Audio Capture Source";
constexpr const WCHAR* kAudioEncoderName = L"Audio Encoder Filter";
constexpr const WCHAR* kTeeInputPin = L"Smart Tee Input pin";
constexpr const WCHAR* kTeeCapturePin = L"Smart Tee Capture pin";
constexpr const WCHAR* kAudioInPin = L"Audio In";

// The second video encoder the wrapper may hold; nothing selects it.
constexpr CLSID kVideoEncoderDmo2{0x5FC03B04, 0xFE69, 0x4045, {0x98, 0x32, 0xEB, 0x15, 0x1E, 0x70, 0xC5, 0x90}};
constexpr size_t kMaxRecordName = 260;
constexpr DWORD kSizeModeMms = 1;

HRESULT Create(REFCLSID clsid, IBaseFilter** filter)
{
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(filter));
}

// A DMO wrapper holding that encoder.
HRESULT CreateEncoder(REFCLSID dmo, REFGUID category, IBaseFilter** filter)
{
    HRESULT hr = Create(CLSID_DMOWrapperFilter, filter);
    if (FAILED(hr)) return hr;
    IDMOWrapperFilter* wrapper = nullptr;
    hr = (*filter)->QueryInterface(IID_IDMOWrapperFilter, reinterpret_cast<void**>(&wrapper));
    if (SUCCEEDED(hr)) {
        hr = wrapper->Init(dmo, category);
        wrapper->Release();
    }
    if (FAILED(hr)) {
        // No half-made encoder stays behind for the next build to skip.
        (*filter)->Release();
        *filter = nullptr;
    }
    return hr;
}

HRESULT RemoveAndRelease(IGraphBuilder* graph, IBaseFilter*& filter)
{
    if (!filter) return S_OK;
    const HRESULT hr = graph ? graph->RemoveFilter(filter) : E_POINTER;
    filter->Release();
    filter = nullptr;
    return hr;
}

}  // namespace

// ---- the camcorder graph -----------------------------------------------------------

HRESULT CDShowControl::ConstructCamcorderGraph()
{
    const WCHAR* fn = L"CDShowControl::ConstructCamcorderGraph";
    HRESULT hr = S_OK;
    m_bRecording = FALSE;
    m_dwStreamControlState = 0;
    ChangeResolution(PIN_CATEGORY_CAPTURE, m_Config[CAPTURE_MODE_CAMCORDER].previewResolution);
    CHECK(AddFilterPreview(), fn);
    CHECK(AddFilterCapture(), fn);
    CHECK(ConnectCapture(), fn);
    CHECK(ConnectPreview(), fn);
    CHECK(AddFilterAudio(), fn);
    CHECK(ConnectAudio(), fn);
    CHECK(CaptureStreamControl(CS_PREVIEW_CAMCORDER_START), fn);
    return Result(L"ConstructCamcorderGraph", hr);
}

HRESULT CDShowControl::ReleaseCamcorderGraph()
{
    const WCHAR* fn = L"CDShowControl::ReleaseCamcorderGraph";
    DisconnectAudio();
    RemoveFilterAudio();
    if (!m_pGraph) return Result(L"ReleaseCamcorderGraph", E_POINTER);
    IPin* cameraOut = nullptr;
    IPin* teeIn = nullptr;
    GetPin(m_pCameraFilter, PINDIR_OUTPUT, kPreviewPin, &cameraOut, FALSE);
    GetPin(m_pSmartTee, PINDIR_INPUT, kTeeInputPin, &teeIn, FALSE);
    HRESULT hr = cameraOut ? m_pGraph->Disconnect(cameraOut) : S_OK;
    if (SUCCEEDED(hr)) hr = teeIn ? m_pGraph->Disconnect(teeIn) : S_OK;
    if (cameraOut) cameraOut->Release();
    if (teeIn) teeIn->Release();
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"ReleaseCamcorderGraph", hr);
    }
    DisconnectPreview();
    DisconnectCapture();
    RemoveFilterCapture();
    RemoveFilterPreview();
    return Result(L"ReleaseCamcorderGraph", hr);
}

HRESULT CDShowControl::AddFilterCapture()
{
    const WCHAR* fn = L"CDShowControl::AddFilterCapture";
    HRESULT hr = S_OK;
    if (!m_pGraph) return E_POINTER;
    if (!m_pMux) {
        CHECK(Create(CLSID_CamcorderMux, &m_pMux), fn);
        CHECK(m_pGraph->AddFilter(m_pMux, kMuxName), fn);
    }
    if (!m_pVideoEncoder) {
        plat::DebugLine(L"====== BitRate : %d ========== VopRate : %d ==============", static_cast<int>(m_dwVideoBitRate),
                        static_cast<int>(m_dwVopRate));
        if (m_dwVideoEncoder == 0) {
            CHECK(CreateEncoder(CLSID_VideoEncoderDmo, DMOCATEGORY_VIDEO_ENCODER, &m_pVideoEncoder), fn);
            SetPropertiesForVLM(m_dwVideoBitRate, m_dwVopRate);
        } else {
            CHECK(CreateEncoder(kVideoEncoderDmo2, DMOCATEGORY_VIDEO_ENCODER, &m_pVideoEncoder), fn);
            SetPropertiesForEMZ(m_dwVideoBitRate);
        }
        CHECK(m_pGraph->AddFilter(m_pVideoEncoder, kVideoEncoderName), fn);
    }
    return hr;
}

HRESULT CDShowControl::SetPropertiesForVLM(DWORD bitRate, DWORD vopRate)
{
    const WCHAR* fn = L"CDShowControl::SetPropertiesForVLM";
    plat::DebugLine(L"SetPropertiesForVLM - BitRate : %d, VOPRate : %d", static_cast<int>(bitRate),
                    static_cast<int>(vopRate));
    HRESULT hr = S_OK;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    value.ulVal = bitRate;
    CHECK(SetProperty(m_pVideoEncoder, L"BitRate", &value), fn);
    value.ulVal = vopRate;
    CHECK(SetProperty(m_pVideoEncoder, L"VOPRate", &value), fn);
    return hr;
}

HRESULT CDShowControl::SetPropertiesForEMZ(DWORD bitRate)
{
    const WCHAR* fn = L"CDShowControl::SetPropertiesForEMZ";
    HRESULT hr = S_OK;
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_UI4;
    value.ulVal = bitRate;
    CHECK(SetProperty(m_pVideoEncoder, L"BitRate", &value), fn);
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_TRUE;
    CHECK(SetProperty(m_pVideoEncoder, L"SetDiscardBuffering", &value), fn);
    return hr;
}

HRESULT CDShowControl::SetProperty(IBaseFilter* filter, LPCWSTR name, VARIANT* value)
{
    if (!filter) return E_POINTER;
    IPropertyBag* bag = nullptr;
    HRESULT hr = filter->QueryInterface(IID_IPropertyBag, reinterpret_cast<void**>(&bag));
    if (FAILED(hr)) return hr;
    hr = bag->Write(name, value);
    bag->Release();
    return hr;
}

HRESULT CDShowControl::AddFilterAudio()
{
    const WCHAR* fn = L"CDShowControl::AddFilterAudio";
    HRESULT hr = S_OK;
    if (!m_pGraph) return E_POINTER;
    if (!m_pAudioCapture) {
        CHECK(Create(CLSID_AudioRecord, &m_pAudioCapture), fn);
        IPersistPropertyBag* persist = nullptr;
        CHECK(m_pAudioCapture->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), fn);
        hr = persist->Load(nullptr, nullptr);
        persist->Release();
        if (FAILED(hr)) {
            LogFailure(__LINE__, fn, hr);
            return hr;
        }
        CHECK(m_pGraph->AddFilter(m_pAudioCapture, kAudioCaptureName), fn);
    }
    if (!m_pAudioEncoder) {
        CHECK(CreateEncoder(CLSID_AudioEncoderDmo, DMOCATEGORY_AUDIO_ENCODER, &m_pAudioEncoder), fn);
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_BOOL;
        value.boolVal = VARIANT_TRUE;
        SetProperty(m_pAudioEncoder, L"SetDiscardBuffering", &value);
        CHECK(m_pGraph->AddFilter(m_pAudioEncoder, kAudioEncoderName), fn);
    }
    return hr;
}

HRESULT CDShowControl::ConnectCapture()
{
    const WCHAR* fn = L"CDShowControl::ConnectCapture";
    HRESULT hr = S_OK;
    CHECK(ConnectFilters2(m_pCameraFilter, kCameraName, m_pSmartTee, kTeeInputPin), fn);
    CHECK(ConnectFilters(m_pSmartTee, kTeeCapturePin, 0, m_pVideoEncoder, nullptr, 0), fn);
    CHECK(ConnectFilters(m_pVideoEncoder, nullptr, 0, m_pMux, nullptr, 0), fn);
    return hr;
}

HRESULT CDShowControl::ConnectAudio()
{
    const WCHAR* fn = L"CDShowControl::ConnectAudio";
    ConnectFilters(m_pAudioCapture, nullptr, 0, m_pAudioEncoder, nullptr, 0);
    if (!m_pGraph) return E_POINTER;
    IPin* out = nullptr;
    IPin* in = nullptr;
    HRESULT hr = GetPin(m_pAudioEncoder, PINDIR_OUTPUT, nullptr, &out, FALSE);
    if (SUCCEEDED(hr)) hr = GetPin(m_pMux, PINDIR_INPUT, kAudioInPin, &in, TRUE);
    if (SUCCEEDED(hr)) hr = out && in ? m_pGraph->ConnectDirect(out, in, nullptr) : E_POINTER;
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    if (out) out->Release();
    if (in) in->Release();
    return hr;
}

HRESULT CDShowControl::DisconnectCapture()
{
    HRESULT hr = DisconnectPins(m_pSmartTee, kTeeCapturePin, m_pVideoEncoder, nullptr);
    const HRESULT second = DisconnectPins(m_pVideoEncoder, nullptr, m_pMux, nullptr);
    return FAILED(hr) ? hr : second;
}

HRESULT CDShowControl::DisconnectAudio()
{
    HRESULT hr = DisconnectPins(m_pAudioCapture, nullptr, m_pAudioEncoder, nullptr);
    const HRESULT second = DisconnectPins(m_pAudioEncoder, nullptr, m_pMux, kAudioInPin);
    return FAILED(hr) ? hr : second;
}

HRESULT CDShowControl::RemoveFilterCapture()
{
    const HRESULT hr = RemoveAndRelease(m_pGraph, m_pVideoEncoder);
    const HRESULT second = RemoveAndRelease(m_pGraph, m_pMux);
    return FAILED(hr) ? hr : second;
}

HRESULT CDShowControl::RemoveFilterAudio()
{
    const HRESULT hr = RemoveAndRelease(m_pGraph, m_pAudioCapture);
    const HRESULT second = RemoveAndRelease(m_pGraph, m_pAudioEncoder);
    return FAILED(hr) ? hr : second;
}

// ---- recording ----------------------------------------------------------------------

HRESULT CDShowControl::StartRecording(LPCWSTR fileName)
{
    const WCHAR* fn = L"CDShowControl::StartRecording";
    if (m_dwMode != CAPTURE_MODE_CAMCORDER || m_bRecording) return Result(L"StartRecording", S_OK);
    m_llPausedTotal = 0;
    m_llPausePosition = 0;
    m_llStartPosition = 0;
    // Checked before the multiplexer is named, so a refused name leaves no
    // file behind, and reported as the failure it is.
    if (!fileName || std::wcslen(fileName) >= kMaxRecordName) {
        LogFailure(__LINE__, fn, E_INVALIDARG);
        return Result(L"StartRecording", E_INVALIDARG);
    }
    HRESULT hr = S_OK;
    if (CCamcorderControl::GetInstance()->GetSizeMode() == kSizeModeMms) {
        LimitVideoRecording(static_cast<DWORD>(CFileControl::GetInstance()->GetMMSAttachmentMaxSize()));
        SetLimitRecording();
    } else if (m_pMux) {
        // A limit an earlier MMS recording set must not cut this one.
        IMuxLimit* limit = nullptr;
        if (SUCCEEDED(m_pMux->QueryInterface(IID_IMuxLimit, reinterpret_cast<void**>(&limit)))) {
            limit->SetLimit(0, 0);
            limit->Release();
        }
    }
    if (!m_pMux) hr = E_POINTER;
    IFileSinkFilter* sink = nullptr;
    if (SUCCEEDED(hr)) hr = m_pMux->QueryInterface(IID_IFileSinkFilter, reinterpret_cast<void**>(&sink));
    if (SUCCEEDED(hr)) {
        hr = sink->SetFileName(fileName, nullptr);
        sink->Release();
    }
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"StartRecording", hr);
    }
    std::wcscpy(m_szRecordFile, fileName);
    m_bRecording = TRUE;
    hr = CaptureStreamControl(CONTROL_STREAM_SET_START);
    return Result(L"StartRecording", hr);
}

HRESULT CDShowControl::LimitVideoRecording(DWORD sizeKb)
{
    m_dwSizeLimit = sizeKb;
    m_dwTimeLimit = 0;
    plat::DebugLine(L"LimitVideoRecording");
    return Result(L"LimitVideoRecording", S_OK);
}

HRESULT CDShowControl::TimeLimitRecording(DWORD seconds)
{
    m_dwTimeLimit = seconds;
    m_dwSizeLimit = 0;
    return Result(L"TimeLimitRecording", S_OK);
}

HRESULT CDShowControl::SetLimitRecording()
{
    const WCHAR* fn = L"CDShowControl::SetLimitRecording";
    m_bLimitArmed = TRUE;
    if (!m_pMux) return Result(L"SetLimitRecording", E_FAIL);
    IMuxLimit* limit = nullptr;
    HRESULT hr = m_pMux->QueryInterface(IID_IMuxLimit, reinterpret_cast<void**>(&limit));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"SetLimitRecording", hr);
    }
    if (m_dwTimeLimit)
        hr = limit->SetLimit(1, m_dwTimeLimit);
    else if (m_dwSizeLimit)
        hr = limit->SetLimit(0, m_dwSizeLimit);
    else
        // A limit of 0 would end every recording at once: none is armed.
        plat::DebugLine(L"SetLimitRecording : no limit, the recording runs unlimited");
    limit->Release();
    if (FAILED(hr)) LogFailure(__LINE__, fn, hr);
    return Result(L"SetLimitRecording", hr);
}

HRESULT CDShowControl::StopRecording()
{
    HRESULT hr = S_OK;
    if (m_bRecording && m_dwMode == CAPTURE_MODE_CAMCORDER) {
        hr = CaptureStreamControl(CS_RECORDING_STOP);
        m_bRecording = FALSE;
        m_bLimitArmed = FALSE;
    }
    return Result(L"StopRecording", hr);
}

HRESULT CDShowControl::PauseRecording()
{
    HRESULT hr = S_OK;
    if (m_bRecording && m_dwMode == CAPTURE_MODE_CAMCORDER &&
        (m_dwStreamControlState == CONTROL_STREAM_SET_START || m_dwStreamControlState == CS_RECORDING_RESUME))
        hr = CaptureStreamControl(CS_RECORDING_PAUSE);
    return Result(L"PauseRecording", hr);
}

HRESULT CDShowControl::ResumeRecording()
{
    HRESULT hr = S_OK;
    m_dwStartedCookies = 0;
    if (m_bRecording && m_dwMode == CAPTURE_MODE_CAMCORDER && m_dwStreamControlState == CS_RECORDING_PAUSE)
        hr = CaptureStreamControl(CS_RECORDING_RESUME);
    return Result(L"ResumeRecording", hr);
}

LONGLONG CDShowControl::GetRecordedSeconds()
{
    LONGLONG position = 0;
    if (m_llPausePosition == 0) {
        position = 0;
    } else if (m_llPausePosition == m_llStartPosition) {
        IMediaSeeking* seeking = nullptr;
        if (m_pGraph && SUCCEEDED(m_pGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking)))) {
            seeking->GetCurrentPosition(&position);
            seeking->Release();
        }
    } else {
        position = m_llPausePosition;
    }
    return (position - m_llPausedTotal - m_llStartPosition) / 10000000;
}
