#include "player_control.h"

#include "ImageUtil.h"
#include "dshow_control.h"
#include "plat/debug.h"

CPlayerControl::CPlayerControl() = default;
CPlayerControl::~CPlayerControl() = default;

template <typename Call>
HRESULT CPlayerControl::Transition(DWORD busy, DWORD done, Call call)
{
    const DWORD before = m_dwState.exchange(busy);
    const HRESULT hr = call(CDShowControl::GetInstance());
    // A screen sees the old state after a failure.
    m_dwState = SUCCEEDED(hr) ? done : before;
    return hr;
}

HRESULT CPlayerControl::OpenFile(LPCWSTR path)
{
    plat::DebugLine(L">>> %ls", L"CPlayerControl::OpenFile");
    DWORD duration = 0;
    const HRESULT hr = Transition(PLAYER_STATE_BUSY, PLAYER_STATE_READY,
                                  [&](CDShowControl* graph) { return graph->OpenVideoFile(path, &duration); });
    if (SUCCEEDED(hr)) {
        m_dwDuration = duration;
        plat::DebugLine(L"CPlayerControl::OpenFile %ls : %u s", path, static_cast<unsigned>(duration));
    }
    plat::DebugLine(L"<<< %ls", L"CPlayerControl::OpenFile");
    return hr;
}

HRESULT CPlayerControl::Close()
{
    return Transition(PLAYER_STATE_BUSY, PLAYER_STATE_READY,
                      [](CDShowControl* graph) { return graph->CloseVideoFile(); });
}

HRESULT CPlayerControl::Stop()
{
    return Transition(PLAYER_STATE_STARTING, PLAYER_STATE_PLAYING,
                      [](CDShowControl* graph) { return graph->StopGraph(0); });
}

HRESULT CPlayerControl::StopEx(int quiet)
{
    return Transition(PLAYER_STATE_STOPPING, PLAYER_STATE_STOPPED,
                      [quiet](CDShowControl* graph) { return graph->StopGraph(quiet); });
}

HRESULT CPlayerControl::Pause()
{
    return Transition(PLAYER_STATE_PAUSING, PLAYER_STATE_PAUSED,
                      [](CDShowControl* graph) { return graph->PauseGraph(); });
}

HRESULT CPlayerControl::Play()
{
    return Transition(PLAYER_STATE_STARTING, PLAYER_STATE_PLAYING,
                      [](CDShowControl* graph) { return graph->RunGraph(1); });
}

void CPlayerControl::SetFrameSink(CPlayerFrameSink* sink)
{
    std::lock_guard lock(m_frameLock);
    m_pSink = sink;
}

void CPlayerControl::DeliverFrame(const BYTE* frame, LONG width, LONG height)
{
    if (!frame || width <= 0 || height <= 0) return;
    std::lock_guard lock(m_frameLock);
    if (!m_pSink) return;
    m_Frame.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (CImageUtil::ScaleYUV420ToRGB565(frame, width, height, m_Frame.data(), width, height, 0) != 0) return;
    m_pSink->OnPlayerFrame(m_Frame.data(), static_cast<DWORD>(m_Frame.size() * sizeof(WORD)), width, height);
}
