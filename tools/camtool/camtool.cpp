// camtool: drives the capture graph control on a device root.
//   camtool [--root DIR] info
//   camtool [--root DIR] preview COUNT OUT.y4m [--size INDEX]
//   camtool [--root DIR] still OUT [--size INDEX]
//   camtool [--root DIR] record SECONDS [--pause A:B] [--mms]
//   camtool [--root DIR] play FILE
//   camtool [--root DIR] shoot [--auto] [--gps]
// A window of its own owns the stream slots, hands WM_GRAPH_NOTIFY to the
// control and prints every message it gets.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app_messages.h"
#include "camtool_movie.h"
#include "dshow_control.h"
#include "plat/dshow_base.h"
#include "plat/startup.h"
#include "plat/windows.h"
#include "shoot.h"

namespace {

std::mutex g_lock;
std::vector<std::vector<BYTE>> g_frames;  // preview frames kept by `preview`
std::size_t g_wanted = 0;
std::atomic<int> g_frameCount{0};
LONG g_width = 0, g_height = 0;
std::vector<BYTE> g_still;
std::atomic<bool> g_stillDone{false};
std::atomic<DWORD> g_stillTick{0};

DWORD OnPreview(BYTE* frame, DWORD length, LONG width, LONG height)
{
    std::lock_guard lock(g_lock);
    if (g_frames.size() < g_wanted) g_frames.emplace_back(frame, frame + length);
    g_width = width;
    g_height = height;
    ++g_frameCount;
    return 0;
}

DWORD OnStill(BYTE* frame, DWORD length, LONG, LONG)
{
    std::lock_guard lock(g_lock);
    if (!g_stillDone) {
        g_still.assign(frame, frame + length);
        g_stillTick = GetTickCount();
        g_stillDone = true;
    }
    return 0;
}

const char* MessageName(UINT message)
{
    switch (message) {
    case WM_MAIN_COMMAND: return "WM_MAIN_COMMAND";
    case WM_GRAPH_NOTIFY: return "WM_GRAPH_NOTIFY";
    default: return nullptr;
    }
}

LRESULT OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (const char* name = MessageName(message)) {
        std::printf("%s 0x%lx 0x%lx\n", name, static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        std::fflush(stdout);
        if (message == WM_GRAPH_NOTIFY) CDShowControl::GetInstance()->HandleGraphEvent();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Pumps the window's messages until done() or the time is up.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    MSG msg;
    while (!done()) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    return true;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: camtool [--root DIR] info\n"
                 "       camtool [--root DIR] preview COUNT OUT.y4m [--size INDEX]\n"
                 "       camtool [--root DIR] still OUT [--size INDEX]\n"
                 "       camtool [--root DIR] record SECONDS [--pause A:B] [--mms]\n"
                 "       camtool [--root DIR] play FILE\n"
                 "       camtool [--root DIR] shoot [--auto] [--gps]\n");
    return 2;
}

const char* CategoryName(const GUID* category)
{
    if (!category) return "none";
    if (*category == PIN_CATEGORY_PREVIEW) return "preview";
    if (*category == PIN_CATEGORY_CAPTURE) return "capture";
    if (*category == PIN_CATEGORY_STILL) return "still";
    return "other";
}

const char* SubtypeName(const GUID& subtype)
{
    if (subtype == MEDIASUBTYPE_YV12) return "YV12";
    if (subtype == MEDIASUBTYPE_CLJR) return "CLJR";
    if (subtype == MEDIASUBTYPE_IJPG) return "IJPG";
    return "other";
}

void PrintInfo(CDShowControl* control)
{
    IBaseFilter* camera = control->GetCameraFilter();
    std::printf("camera CAM1:\n");
    IEnumPins* pins = nullptr;
    camera->EnumPins(&pins);
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_INFO info{};
        pin->QueryPinInfo(&info);
        if (info.pFilter) info.pFilter->Release();
        const auto* base = dynamic_cast<CBasePin*>(pin);
        CMediaType type;
        std::string format = "-";
        if (base && const_cast<CBasePin*>(base)->GetMediaType(0, &type) == S_OK) {
            if (const VIDEOINFOHEADER* vih = VideoInfoOf(type))
                format = std::string(SubtypeName(type.subtype)) + " " + std::to_string(vih->bmiHeader.biWidth) + "x" +
                         std::to_string(vih->bmiHeader.biHeight) + " " + std::to_string(type.lSampleSize);
        }
        std::printf("pin %ls %s %s %s\n", info.achName, info.dir == PINDIR_OUTPUT ? "output" : "input",
                    CategoryName(base ? base->Category() : nullptr), format.c_str());
        pin->Release();
    }
    pins->Release();
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    plat::StartupOptions options;
    if (args.size() >= 2 && args[0] == "--root") {
        options.root = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) return Usage();
    if (IsMovieCommand(args)) {
        const int code = RunMovieCommand(args, options);
        return code == 2 ? Usage() : code;
    }
    long size = -1;
    for (std::size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--size") {
            size = std::strtol(args[i + 1].c_str(), nullptr, 10);
            args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
            break;
        }
    const std::string command = args[0];
    if (command == "shoot") {
        bool autoShot = false;
        bool gps = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "--auto")
                autoShot = true;
            else if (args[i] == "--gps")
                gps = true;
            else
                return Usage();
        }
        if (!plat::Startup(options)) {
            std::fprintf(stderr, "camtool: the device root cannot be set up\n");
            return 1;
        }
        const int result = Shoot(autoShot, gps);
        plat::Shutdown();
        return result;
    }
    if (!(command == "info" && args.size() == 1) && !(command == "preview" && args.size() == 3) &&
        !(command == "still" && args.size() == 2))
        return Usage();
    if (!plat::Startup(options)) {
        std::fprintf(stderr, "camtool: the device root cannot be set up\n");
        return 1;
    }

    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"CamtoolOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, L"CamtoolOwner", L"camtool", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);

    CDShowControl* control = CDShowControl::GetInstance();
    const DWORD preview = command == "preview" && size >= 0 ? static_cast<DWORD>(size) : RESOLUTION_320_240;
    const DWORD still = command == "still" && size >= 0 ? static_cast<DWORD>(size) : RESOLUTION_1280_960;
    control->SetStreamConfig(owner, 0, 0, still, preview, 0);
    control->m_pfnPreviewCallback = OnPreview;
    control->m_pfnStillCallback = OnStill;

    int result = 0;
    HRESULT hr = control->InitCamera();
    if (SUCCEEDED(hr)) hr = control->OpenCamera(CAPTURE_MODE_CAMERA);
    if (FAILED(hr)) {
        std::printf("camera: 0x%08x\n", static_cast<unsigned>(hr));
        result = 1;
    } else if (command == "info") {
        PrintInfo(control);
    } else if (command == "preview") {
        const long count = std::strtol(args[1].c_str(), nullptr, 10);
        g_wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
        control->RunGraph(0);
        const bool ok = PumpUntil(
            [] {
                std::lock_guard lock(g_lock);
                return g_frames.size() >= g_wanted;
            },
            10000 + static_cast<DWORD>(count) * 200);
        control->StopGraph(0);
        std::lock_guard lock(g_lock);
        std::ofstream out(args[2], std::ios::binary);
        out << "YUV4MPEG2 W" << g_width << " H" << g_height << " F15:1 Ip A1:1 C420jpeg\n";
        const std::size_t y = static_cast<std::size_t>(g_width) * g_height;
        for (const auto& f : g_frames) {
            if (f.size() < y * 3 / 2) continue;
            out << "FRAME\n";
            // The camera's frames hold Cr before Cb; the file wants Cb first.
            out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(y));
            out.write(reinterpret_cast<const char*>(f.data() + y + y / 4), static_cast<std::streamsize>(y / 4));
            out.write(reinterpret_cast<const char*>(f.data() + y), static_cast<std::streamsize>(y / 4));
        }
        if (!ok || !out) result = 1;
        std::printf("frames %zu %ldx%ld\n", g_frames.size(), static_cast<long>(g_width), static_cast<long>(g_height));
    } else {
        control->RunGraph(0);
        PumpUntil([] { return g_frameCount > 0; }, 10000);
        const DWORD trigger = GetTickCount();
        hr = control->CameraCapture();
        const bool ok = SUCCEEDED(hr) && PumpUntil([] { return g_stillDone.load(); }, 10000);
        control->StopGraph(0);
        if (!ok || g_still.size() <= 153600) {
            std::printf("still: none (0x%08x)\n", static_cast<unsigned>(hr));
            result = 1;
        } else {
            const std::size_t jpeg = g_still.size() - 153600;
            std::ofstream(args[1] + ".jpg", std::ios::binary)
                .write(reinterpret_cast<const char*>(g_still.data()), static_cast<std::streamsize>(jpeg));
            std::ofstream(args[1] + "-thumb.yuv", std::ios::binary)
                .write(reinterpret_cast<const char*>(g_still.data() + jpeg), 153600);
            std::printf("still %zu bytes, %lu ms\n", jpeg, static_cast<unsigned long>(g_stillTick - trigger));
        }
    }
    control->CloseCamera();
    CDShowControl::ReleaseInstance();
    DestroyWindow(owner);
    plat::Shutdown();
    return result;
}
