#include "dshow_control.h"

#include "dshow_internal.h"
#include "plat/dshow_base.h"

using namespace dshow;

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
            // The multiplexer reached the armed size or time limit.
            if (m_dwMode == CAPTURE_MODE_CAMCORDER && m_bLimitArmed) StopRecording();
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
