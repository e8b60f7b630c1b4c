// A phone state written to the popup shown on the GUI thread (goal: under
// 10 ms), and a font looked up with its language search (goal: under 1 ms).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

#include "font_manager.h"
#include "notification.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace {

constexpr UINT kPopupShown = WM_APP + 1;
std::atomic<long> shown{0};

LRESULT PopupWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPopupShown) {
        shown.fetch_add(1, std::memory_order_release);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// The frame's road: a popup asked from the notification thread is posted.
class PostingSink : public CNotificationSink {
public:
    explicit PostingSink(HWND hwnd) : hwnd_(hwnd) {}
    void ShowPopup(int type) override { PostMessageW(hwnd_, kPopupShown, static_cast<WPARAM>(type), 0); }
    void HideDialogBoxEx(int) override {}
    void RemovePopup(int) override {}
    void ReshowPopup() override {}
    bool IsPopupShown() const override { return false; }
    int GetTopPopup() const override { return 0; }
    void SetCallerText(bool, LPCWSTR) override {}
    void GetCallerText(bool, LPWSTR text, int) const override { text[0] = 0; }
    void RequestRedraw() override {}
    int GetView() const override { return 1; }
    bool IsSendingResult() const override { return false; }
    bool IsRecognitionRunning() const override { return false; }
    void CancelRecognition() override {}
    void SetVideoCall() override {}
    void StopDrawing() override {}
    void SetSleepFlag() override {}
    void PostOtherAppActive() override {}
    void EndApplication() override {}

private:
    HWND hwnd_;
};

struct Device {
    Device()
    {
        root = std::filesystem::temp_directory_path() / ("lumocr-notify-bench-" + std::to_string(getpid()));
        std::filesystem::create_directories(root / "Windows");
        std::ofstream(root / "Windows" / "LumOCR.exe.0407.mui") << "1\tx\n";
        plat::SetDeviceRoot(root);
        plat::OpenRegistry(false);
    }
    ~Device()
    {
        plat::CloseRegistry();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    std::filesystem::path root;
};

void NotificationToPopup(benchmark::State& state)
{
    Device device;
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PopupWindowProc;
    wc.lpszClassName = L"PopupBench";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(0, L"PopupBench", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PostingSink sink(hwnd);
    CNotification* notification = CNotification::GetInstance();
    notification->SetSink(&sink);
    notification->RegisterSMSNotification();
    DWORD count = 0;
    for (auto _ : state) {
        long before = shown.load(std::memory_order_acquire);
        RegistrySetDWORD(HKEY_CURRENT_USER, L"System\\State\\Messages\\SMS\\Unread", L"Count", ++count);
        MSG msg;
        while (shown.load(std::memory_order_acquire) == before && GetMessageW(&msg, nullptr, 0, 0) > 0)
            DispatchMessageW(&msg);
    }
    CNotification::ReleaseInstance();
    DestroyWindow(hwnd);
}
BENCHMARK(NotificationToPopup)->UseRealTime()->Unit(benchmark::kMicrosecond);

void FontLookup(benchmark::State& state)
{
    Device device;
    CFontManager* fonts = CFontManager::GetInstance();
    for (auto _ : state)
        benchmark::DoNotOptimize(fonts->GetFont(30022));
    CFontManager::ReleaseInstance();
}
BENCHMARK(FontLookup)->Unit(benchmark::kMicrosecond);

}  // namespace
