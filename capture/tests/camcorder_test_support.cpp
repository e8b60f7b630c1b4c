#include "camcorder_test_support.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "app_messages.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/dshow_camcorder.h"
#include "plat/registry.h"

namespace camcorder_test {

void CamcorderFixture::SetUp()
{
    CaptureFixture::SetUp();
    plat::FailMuxWritesAfter(-1);
    SetCameraSource(L"pattern");
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Microphone", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const WCHAR tone[] = L"tone";
    RegSetValueExW(key, L"Source", 0, REG_SZ, reinterpret_cast<const BYTE*>(tone), sizeof tone);
    RegCloseKey(key);
}

void CamcorderFixture::TearDown()
{
    CloseCamcorder();
    plat::FailMuxWritesAfter(-1);
    CaptureFixture::TearDown();
}

CDShowControl* CamcorderFixture::OpenCamcorder(DWORD resolution)
{
    CDShowControl* c = CDShowControl::GetInstance();
    c->SetStreamConfig(window_, 0, CAPTURE_MODE_CAMCORDER, RESOLUTION_1280_960, resolution, 0);
    EXPECT_EQ(c->InitCamera(), S_OK);
    EXPECT_EQ(c->OpenCamera(CAPTURE_MODE_CAMCORDER), S_OK);
    EXPECT_EQ(c->GetMode(), CAPTURE_MODE_CAMCORDER);
    EXPECT_EQ(c->RunGraph(1), S_OK);
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_PREVIEW_STARTED}));
    return c;
}

void CamcorderFixture::CloseCamcorder()
{
    CDShowControl::GetInstance()->CloseCamera();
    CDShowControl::ReleaseInstance();
    Posted();
}

void CamcorderFixture::Advance(std::uint64_t ms)
{
    auto settle = [] {
        for (int i = 0; i < 20000 && plat::PendingVirtualWaits() < 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    const std::uint64_t end = plat::NowMs() + ms;
    while (plat::NowMs() < end) {
        settle();
        const std::optional<std::uint64_t> due = plat::NextVirtualDeadline();
        const std::uint64_t to = due ? std::min(*due, end) : end;
        plat::AdvanceClock(std::max<std::uint64_t>(to, plat::NowMs() + 1) - plat::NowMs());
    }
    settle();
}

void CamcorderFixture::WhileClockRuns(const std::function<void()>& call)
{
    std::atomic<bool> done{false};
    std::thread caller([&] {
        call();
        done = true;
    });
    while (!done) {
        const std::optional<std::uint64_t> due = plat::NextVirtualDeadline();
        if (due && *due > plat::NowMs())
            plat::AdvanceClock(*due - plat::NowMs());
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the caller has not waited yet
    }
    caller.join();
}

std::vector<DWORD> CamcorderFixture::Events()
{
    CDShowControl::GetInstance()->HandleGraphEvent();
    std::vector<DWORD> out;
    for (const MSG& msg : Posted())
        if (msg.message == WM_MAIN_COMMAND) out.push_back(static_cast<DWORD>(msg.wParam));
    return out;
}

std::vector<std::wstring> FilterNames(IGraphBuilder* graph)
{
    std::vector<std::wstring> names;
    IEnumFilters* filters = nullptr;
    if (!graph || FAILED(graph->EnumFilters(&filters))) return names;
    IBaseFilter* f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        FILTER_INFO info{};
        f->QueryFilterInfo(&info);
        if (info.pGraph) info.pGraph->Release();
        names.push_back(info.achName);
        f->Release();
    }
    filters->Release();
    return names;
}

std::filesystem::path CamcorderFixture::HostPath(const std::wstring& devicePath)
{
    const std::wstring full = devicePath.empty() || devicePath[0] != L'\\' ? L"\\" + devicePath : devicePath;
    return plat::MapDevicePath(full.c_str()).value_or(std::filesystem::path());
}

}  // namespace camcorder_test
