#include <cwchar>

#include "dshow_control.h"
#include "dshow_internal.h"
#include "plat/com.h"
#include "plat/dshow_base.h"
#include "vga_renderer.h"

using namespace dshow;

namespace {

constexpr const WCHAR* kPlayerSourceName = L"Video Player Source";
constexpr const WCHAR* kAudioRendererName = L"Audio Renderer";
constexpr size_t kMaxPlayerPath = 260;
constexpr LONGLONG kUnitsPerSecond = 10000000;

bool RendererConnected(CVGARenderer* renderer)
{
    if (!renderer) return false;
    IEnumPins* pins = nullptr;
    if (FAILED(renderer->EnumPins(&pins))) return false;
    IPin* pin = nullptr;
    bool connected = false;
    if (pins->Next(1, &pin, nullptr) == S_OK) {
        IPin* peer = nullptr;
        connected = SUCCEEDED(pin->ConnectedTo(&peer)) && peer;
        if (peer) peer->Release();
        pin->Release();
    }
    pins->Release();
    return connected;
}

}  // namespace

// ---- the player graph -------------------------------------------------------------

HRESULT CDShowControl::OpenVideoFile(LPCWSTR path, DWORD* durationSeconds)
{
    const WCHAR* fn = L"CDShowControl::OpenVideoFile";
    if (durationSeconds) *durationSeconds = 0;
    if (!path || std::wcslen(path) >= kMaxPlayerPath) {
        LogFailure(__LINE__, fn, E_FAIL);
        return Result(L"OpenVideoFile", E_FAIL);
    }
    // A running graph cannot be taken apart: it stops first, quietly.
    if (m_dwMode != CAPTURE_MODE_NONE) StopGraph(1);
    if (m_dwMode == CAPTURE_MODE_PLAYER) {
        // A file already open is closed first, so the new one is the one
        // that plays.
        DisconnectDownStream(m_pPlayerSource);
        RemoveFilterPlayer();
        m_dwMode = CAPTURE_MODE_NONE;
    }
    std::wcscpy(m_szPlayerFile, path);
    HRESULT hr = ChangeCameraMode(CAPTURE_MODE_PLAYER);
    if (FAILED(hr)) return Result(L"OpenVideoFile", hr);
    if (!m_pPlayerGraph || !m_pPlayerSource || !RendererConnected(m_pRenderer)) {
        // Nothing could be built or the file did not render.
        LogFailure(__LINE__, fn, E_FAIL);
        return Result(L"OpenVideoFile", E_FAIL);
    }
    IMediaSeeking* seeking = nullptr;
    hr = m_pPlayerGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    if (FAILED(hr)) {
        LogFailure(__LINE__, fn, hr);
        return Result(L"OpenVideoFile", hr);
    }
    LONGLONG zero = 0;
    seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    LONGLONG duration = 0;
    if (durationSeconds && SUCCEEDED(seeking->GetDuration(&duration)))
        *durationSeconds = static_cast<DWORD>(duration / kUnitsPerSecond);
    seeking->Release();
    return Result(L"OpenVideoFile", S_OK);
}

HRESULT CDShowControl::AddFilterPlayer()
{
    const WCHAR* fn = L"CDShowControl::AddFilterPlayer";
    HRESULT hr = S_OK;
    if (!m_pPlayerGraph)
        CHECK(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                               reinterpret_cast<void**>(&m_pPlayerGraph)),
              fn);
    if (!m_pRenderer) return Result(L"AddFilterPlayer", E_POINTER);
    m_pRenderer->m_AcceptedSubtype = MEDIASUBTYPE_YV12;
    m_pRenderer->SetCallback(m_pfnPlayerCallback);
    CHECK(m_pPlayerGraph->AddFilter(m_pRenderer, kRendererName), fn);
    if (!m_pAudioRenderer) {
        CHECK(CoCreateInstance(CLSID_AudioRender, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&m_pAudioRenderer)),
              fn);
        CHECK(m_pPlayerGraph->AddFilter(m_pAudioRenderer, kAudioRendererName), fn);
    }
    return Result(L"AddFilterPlayer", hr);
}

HRESULT CDShowControl::ConnectPlayer()
{
    const WCHAR* fn = L"CDShowControl::ConnectPlayer";
    HRESULT hr = S_OK;
    if (!m_pPlayerGraph) return Result(L"ConnectPlayer", E_POINTER);
    CHECK(m_pPlayerGraph->AddSourceFilter(m_szPlayerFile, kPlayerSourceName, &m_pPlayerSource), fn);
    CHECK(m_pPlayerGraph->RenderFile(m_szPlayerFile, nullptr), fn);
    PostCommand(Owner(), CMD_MOVIE_OPENED);
    return Result(L"ConnectPlayer", hr);
}

HRESULT CDShowControl::DisconnectPlayer()
{
    return DisconnectDownStream(m_pPlayerSource);
}

HRESULT CDShowControl::RemoveFilterPlayer()
{
    const WCHAR* fn = L"CDShowControl::RemoveFilterPlayer";
    HRESULT hr = S_OK;
    if (!m_pPlayerGraph) return S_OK;
    if (m_pPlayerSource) {
        CHECK(m_pPlayerGraph->RemoveFilter(m_pPlayerSource), fn);
        m_pPlayerSource->Release();
        m_pPlayerSource = nullptr;
    }
    // The renderer stays alive for the camera graph.
    if (m_pRenderer) CHECK(m_pPlayerGraph->RemoveFilter(m_pRenderer), fn);
    if (m_pAudioRenderer) {
        CHECK(m_pPlayerGraph->RemoveFilter(m_pAudioRenderer), fn);
        m_pAudioRenderer->Release();
        m_pAudioRenderer = nullptr;
    }
    m_pPlayerGraph->Release();
    m_pPlayerGraph = nullptr;
    return Result(L"RemoveFilterPlayer", hr);
}

HRESULT CDShowControl::CloseVideoFile()
{
    const WCHAR* fn = L"CDShowControl::CloseVideoFile";
    HRESULT hr = S_OK;
    if (m_dwMode == CAPTURE_MODE_NONE) return Result(L"CloseVideoFile", S_OK);
    CHECK(DisconnectDownStream(m_pPlayerSource), fn);
    CHECK(RemoveFilterPlayer(), fn);
    m_szPlayerFile[0] = 0;
    m_dwMode = CAPTURE_MODE_NONE;
    return Result(L"CloseVideoFile", hr);
}

HRESULT CDShowControl::GetVideoPlayingTime(double* milliseconds)
{
    if (milliseconds) *milliseconds = 0;
    if (!m_pPlayerGraph || !milliseconds) return Result(L"GetVideoPlayingTime", E_FAIL);
    IMediaSeeking* seeking = nullptr;
    HRESULT hr = m_pPlayerGraph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking));
    if (FAILED(hr)) return Result(L"GetVideoPlayingTime", hr);
    LONGLONG position = 0;
    hr = seeking->GetCurrentPosition(&position);
    seeking->Release();
    *milliseconds = static_cast<double>(position) / 10000.0;
    return Result(L"GetVideoPlayingTime", hr);
}
