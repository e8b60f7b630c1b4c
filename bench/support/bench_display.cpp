#include "bench_display.h"

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/registry.h"

namespace benchdisplay {

bool OpenDeviceRoot()
{
    static lumtest::TempDir root;
    static const bool opened = [] {
        plat::SetDeviceRoot(root.path());
        return plat::OpenRegistry(false);
    }();
    return opened;
}

void Turn(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

HWND Window()
{
    static HWND window = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"DisplayBench";
        RegisterClassW(&wc);
        return CreateWindowExW(0, L"DisplayBench", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }();
    return window;
}

std::vector<BYTE> CameraFrame()
{
    const int w = 640, h = 480;
    std::vector<BYTE> frame(static_cast<size_t>(w * h * 3 / 2));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            frame[static_cast<size_t>(y * w + x)] = static_cast<BYTE>((x + y) & 0xFF);
    for (size_t i = static_cast<size_t>(w * h); i < frame.size(); ++i)
        frame[i] = static_cast<BYTE>(96 + (i & 63));
    return frame;
}

}  // namespace benchdisplay
