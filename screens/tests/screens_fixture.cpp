#include "screens_fixture.h"

#include <future>

#include "ImagePack.h"
#include "display.h"
#include "plat/clock.h"
#include "screen_links.h"
#include "system.h"

namespace screens_test {

AppCalls& App()
{
    static AppCalls calls;
    return calls;
}

}  // namespace screens_test

void RestoreAppOrientation() { ++screens_test::App().restoreOrientation; }

void ScreensFixture::SetUp()
{
    plat::UseVirtualClock();
    plat::SetDeviceRoot(root.path());
    ASSERT_TRUE(plat::OpenRegistry(false));
    screens_test::App() = {};
    SetOrientation(DMDO_270);
}

void ScreensFixture::TearDown()
{
    CDisplay::DestroyInstance();
    CeImagePack::DeleteInstance();
    plat::SetDirectDrawFaults({});
    SetOrientation(DMDO_270);
    CSystem::ReleaseInstance();
    plat::CloseRegistry();
    plat::UseRealClock();
}

void ScreensFixture::SetOrientation(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

HBITMAP ScreensFixture::MakeDib555(int width, int height, const std::function<uint16_t(int, int)>& pixel)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    const int stride = (width * 2 + 3) & ~3;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(bits) + y * stride)[x] = pixel(x, y);
    return bitmap;
}

uint16_t ScreensFixture::Pixel555(HBITMAP bitmap, int x, int y)
{
    DIBSECTION ds{};
    if (GetObjectW(bitmap, sizeof(ds), &ds) != static_cast<int>(sizeof(ds)) || ds.dsBm.bmBitsPixel != 16)
        return 0xFFFF;
    const int h = ds.dsBm.bmHeight < 0 ? -ds.dsBm.bmHeight : ds.dsBm.bmHeight;
    const int row = ds.dsBmih.biHeight > 0 ? h - 1 - y : y;
    uint16_t p = reinterpret_cast<const uint16_t*>(static_cast<const uint8_t*>(ds.dsBm.bmBits) +
                                                    static_cast<size_t>(row) * ds.dsBm.bmWidthBytes)[x];
    if (ds.dsBmih.biCompression == BI_BITFIELDS && ds.dsBitfields[1] == 0x07E0)
        p = static_cast<uint16_t>(((p >> 11) << 10) | (((p >> 6) & 31) << 5) | (p & 31));  // 565 to 555
    return p;
}

ScreensFixture::Canvas::Canvas(int width, int height, uint16_t fill)
{
    bitmap = MakeDib555(width, height, [fill](int, int) { return fill; });
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
}

ScreensFixture::Canvas::~Canvas()
{
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
}

HWND ScreensFixture::CreatePlainWindow()
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            return DefWindowProcW(hwnd, message, wParam, lParam);
        };
        wc.lpszClassName = L"ScreensTestWindow";
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered)
        return nullptr;
    return CreateWindowExW(0, L"ScreensTestWindow", L"window", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                           nullptr, nullptr);
}

HRESULT ScreensFixture::InitDisplay(HWND window)
{
    auto result = std::async(std::launch::async, [window] { return CDisplay::GetInstance()->Init(window); });
    while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        if (plat::NextVirtualDeadline())
            plat::AdvanceClock(500);
    return result.get();
}
