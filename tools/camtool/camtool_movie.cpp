// camtool's movie commands: a recording driven through the camcorder
// control as the camcorder screen drives it, and a file played through the
// player control to its end.
#include "camtool_movie.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "app_messages.h"
#include "camcorder_control.h"
#include "dshow_control.h"
#include "plat/startup.h"
#include "plat/windows.h"
#include "player_control.h"

namespace {

std::function<void(DWORD)> g_onCommand;

LRESULT MovieOwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MAIN_COMMAND || message == WM_GRAPH_NOTIFY) {
        std::printf("%s 0x%lx 0x%lx\n", message == WM_MAIN_COMMAND ? "WM_MAIN_COMMAND" : "WM_GRAPH_NOTIFY",
                    static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        std::fflush(stdout);
        if (message == WM_GRAPH_NOTIFY)
            CDShowControl::GetInstance()->HandleGraphEvent();
        else if (g_onCommand)
            g_onCommand(static_cast<DWORD>(wParam));
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Pumps messages until done() or the time is up.
bool Pump(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
}

std::wstring Widen(const std::string& text)
{
    std::wstring out;
    for (unsigned char ch : text) out.push_back(static_cast<wchar_t>(ch));
    return out;
}

// The screen's part: the graph's reports move the recording state on.
void FollowRecording(DWORD command)
{
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    switch (command) {
    case CMD_RECORDING_STARTED: camcorder->SetState(RECORD_STATE_RECORDING); break;
    case CMD_RECORDING_PAUSED: camcorder->SetState(RECORD_STATE_PAUSED); break;
    case CMD_RECORDING_STOPED: camcorder->SetState(RECORD_STATE_STOPPED); break;
    case CMD_RECORDING_ERROR_WRITE: camcorder->StopRecording(); break;
    default: break;
    }
}

int Record(CDShowControl* control, long seconds, long pauseAt, long resumeAt, bool mms)
{
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    camcorder->SelectSizeMode(mms ? 1 : 0);
    g_onCommand = FollowRecording;
    if (!camcorder->EnterCamcorderMode() || control->GetMode() != CAPTURE_MODE_CAMCORDER) {
        std::printf("camcorder: not entered\n");
        return 1;
    }
    Pump([] { return false; }, 300);  // the preview's first reports
    camcorder->StartRecording();
    if (!control->IsRecording()) {
        std::printf("record: not started\n");
        return 1;
    }
    const DWORD start = GetTickCount();
    const long pausedMs = pauseAt >= 0 && resumeAt > pauseAt ? resumeAt - pauseAt : 0;
    bool paused = false, resumed = false;
    Pump(
        [&] {
            const long now = static_cast<long>(GetTickCount() - start);
            if (!control->IsRecording()) return true;  // stopped by itself
            if (pausedMs && !paused && now >= pauseAt) {
                paused = true;
                camcorder->PauseRecording();
            }
            if (pausedMs && paused && !resumed && now >= resumeAt &&
                camcorder->GetState() == RECORD_STATE_PAUSED) {
                resumed = true;
                camcorder->ResumeRecording();
            }
            return now >= seconds * 1000 + pausedMs;
        },
        static_cast<DWORD>(seconds * 1000 + pausedMs + 10000));
    const LONGLONG recorded = control->GetRecordedSeconds();
    camcorder->StopRecording();
    Pump([camcorder] { return camcorder->GetState() == RECORD_STATE_STOPPED; }, 10000);
    std::printf("recorded %lld\n", static_cast<long long>(recorded));
    std::printf("file %ls\n", control->GetRecordFile());
    g_onCommand = nullptr;
    return camcorder->GetState() == RECORD_STATE_STOPPED ? 0 : 1;
}

class FrameCounter : public CPlayerFrameSink {
public:
    void OnPlayerFrame(const WORD*, DWORD, LONG, LONG) override { ++frames; }
    std::atomic<int> frames{0};
};

DWORD OnPlayerFrame(BYTE* frame, DWORD, LONG width, LONG height)
{
    CPlayerControl::GetInstance()->DeliverFrame(frame, width, height < 0 ? -height : height);
    return 0;
}

int Play(CDShowControl* control, const std::string& file)
{
    FrameCounter counter;
    CPlayerControl* player = CPlayerControl::GetInstance();
    player->SetFrameSink(&counter);
    control->m_pfnPlayerCallback = OnPlayerFrame;
    std::atomic<bool> ended{false};
    g_onCommand = [&ended](DWORD command) {
        if (command == CMD_MOVIE_STOPED) ended = true;
    };
    int result = 0;
    if (FAILED(player->OpenFile(Widen(file).c_str()))) {
        std::printf("play: cannot open %s\n", file.c_str());
        result = 1;
    } else {
        std::printf("duration %u\n", static_cast<unsigned>(player->GetDuration()));
        player->Play();
        Pump([&ended] { return ended.load(); }, (player->GetDuration() + 10) * 1000);
        std::printf("frames %d\n", counter.frames.load());
        if (!ended) result = 1;
        player->Close();
    }
    g_onCommand = nullptr;
    player->SetFrameSink(nullptr);
    CPlayerControl::ReleaseInstance();
    return result;
}

}  // namespace

bool IsMovieCommand(const std::vector<std::string>& args)
{
    return !args.empty() && (args[0] == "record" || args[0] == "play");
}

int RunMovieCommand(std::vector<std::string> args, const plat::StartupOptions& options)
{
    long pauseAt = -1, resumeAt = -1;
    bool mms = false;
    for (std::size_t i = 1; i < args.size();) {
        if (args[i] == "--mms") {
            mms = true;
            args.erase(args.begin() + static_cast<long>(i));
        } else if (args[i] == "--pause" && i + 1 < args.size()) {
            const std::string& span = args[i + 1];
            const std::size_t colon = span.find(':');
            if (colon == std::string::npos) return 2;
            pauseAt = std::strtol(span.substr(0, colon).c_str(), nullptr, 10);
            resumeAt = std::strtol(span.substr(colon + 1).c_str(), nullptr, 10);
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        } else {
            ++i;
        }
    }
    if (args.size() != 2) return 2;
    if (!plat::Startup(options)) {
        std::fprintf(stderr, "camtool: the device root cannot be set up\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = MovieOwnerProc;
    wc.lpszClassName = L"CamtoolMovieOwner";
    RegisterClassW(&wc);
    HWND owner =
        CreateWindowExW(0, L"CamtoolMovieOwner", L"camtool", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    // The settings' default sizes: 320 x 240, and 176 x 144 for MMS.
    camcorder->SetVideoSize(2, 0x76, 0);
    CDShowControl* control = CDShowControl::GetInstance();
    for (DWORD slot = CAPTURE_MODE_CAMERA; slot <= CAPTURE_MODE_PLAYER; ++slot)
        control->SetStreamConfig(owner, 0, slot, RESOLUTION_1280_960,
                                 slot == CAPTURE_MODE_CAMERA ? RESOLUTION_320_240
                                                             : static_cast<DWORD>(camcorder->GetVideoSizeOf(mms ? 1 : 0)),
                                 0);
    int result = 0;
    HRESULT hr = control->InitCamera();
    if (SUCCEEDED(hr)) hr = control->OpenCamera(CAPTURE_MODE_CAMERA);
    if (SUCCEEDED(hr)) hr = control->RunGraph(0);
    if (FAILED(hr)) {
        std::printf("camera: 0x%08x\n", static_cast<unsigned>(hr));
        result = 1;
    } else if (args[0] == "record") {
        const long seconds = std::strtol(args[1].c_str(), nullptr, 10);
        result = Record(control, seconds, pauseAt, resumeAt, mms);
    } else {
        result = Play(control, args[1]);
    }
    control->CloseCamera();
    CDShowControl::ReleaseInstance();
    CCamcorderControl::ReleaseInstance();
    DestroyWindow(owner);
    plat::Shutdown();
    return result;
}
