#include "look_helper.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <future>

#include "ImagePack.h"
#include "display.h"
#include "plat/clock.h"

namespace look {

std::map<UINT, COLORREF> CentreColours()
{
    std::map<UINT, COLORREF> colours;
    std::ifstream manifest(LUM_SOURCE_DIR "/resources/images/MANIFEST");
    std::string line;
    while (std::getline(manifest, line)) {
        const size_t at = line.find(", centre ");
        if (line.empty() || line[0] == '#' || at == std::string::npos)
            continue;
        unsigned r = 0, g = 0, b = 0;
        if (std::sscanf(line.c_str() + at, ", centre %u,%u,%u", &r, &g, &b) == 3)
            colours[static_cast<UINT>(std::stoul(line))] = RGB(r, g, b);
    }
    return colours;
}

bool Near(COLORREF a, COLORREF b)
{
    return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
           std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}


namespace {

void Turn(DWORD code)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = code;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
}

HRESULT InitDisplay(HWND window)
{
    CDisplay::DestroyInstance();
    if (!plat::ClockIsVirtual())
        return CDisplay::GetInstance()->Init(window);
    auto result = std::async(std::launch::async, [window] { return CDisplay::GetInstance()->Init(window); });
    while (result.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        if (plat::NextVirtualDeadline())
            plat::AdvanceClock(500);
    return result.get();
}

uint16_t To565(COLORREF c)
{
    return static_cast<uint16_t>(((c & 0xF8) << 8) | (((c >> 8) & 0xFC) << 3) | (((c >> 16) & 0xF8) >> 3));
}

// The back buffer holds the pattern in the panel's physical layout, then flips.
void FillPrimary(CDisplay* display)
{
    for (int pass = 0; pass < 2; ++pass) {
        void* bits = nullptr;
        DDSURFACEDESC desc{};
        if (display->LockBackBuffer(&bits, &desc) != S_OK || !bits)
            return;
        for (DWORD row = 0; row < desc.dwHeight; ++row) {
            auto* out = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(bits) + static_cast<size_t>(row) * desc.lPitch);
            for (DWORD c = 0; c < desc.dwWidth; ++c) {
                // Physical row r, word c shows landscape (r, 239 - c).
                out[c] = To565(Pattern(static_cast<int>(row), 239 - static_cast<int>(c)));
            }
        }
        display->UnlockBackBuffer();
        display->Flip();
    }
}

plat::ScreenImage PaintAt(DWORD code, HWND window, const std::function<void(CDrawContext&)>& paint)
{
    Turn(code);
    CeImagePack::DeleteInstance();  // pictures load turned for the code they are drawn at
    if (InitDisplay(window) != S_OK)
        return {};
    CDisplay* display = CDisplay::GetInstance();
    FillPrimary(display);
    HDC dc = display->GetDrawDC();
    if (!dc)
        return {};
    CDrawContext context;
    context.Attach(dc);
    context.m_nSurfaceWidth = GetSystemMetrics(SM_CXSCREEN);
    context.m_nSurfaceHeight = GetSystemMetrics(SM_CYSCREEN);
    RECT all{0, 0, 400, 240};
    context.FillRect(&all, RGB(255, 0, 255));
    paint(context);
    display->FlipBackbuffer(dc);
    plat::ScreenImage screen = plat::ComposeScreen();
    CDisplay::DestroyInstance();
    return screen;
}

}  // namespace

COLORREF Pattern(int x, int y)
{
    // Checks of 8 pixels in two colours that no scene uses, exact in 5-6-5.
    return ((x / 8 + y / 8) % 2) ? RGB(0, 255, 255) : RGB(255, 255, 0);
}

Result Run(const std::string& name, HWND window, const std::function<void(CDrawContext&)>& paint)
{
    Result r;
    r.landscape = PaintAt(DMDO_270, window, paint);
    r.portrait = PaintAt(DMDO_0, window, paint);
    Turn(DMDO_270);
    CeImagePack::DeleteInstance();
    if (r.landscape.width != 400 || r.portrait.width != 240) {
        r.farPixels = -1;
        return r;
    }
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 400; ++x) {
            const COLORREF p = r.At0(x, y);
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    near = nx >= 0 && ny >= 0 && nx < 400 && ny < 240 && r.At4(nx, ny) == p;
                }
            if (!near) {
                if (std::getenv("LUMOCR_LOOK_DEBUG") && r.farPixels < 20)
                    std::fprintf(stderr, "far %d,%d: %06x\n", x, y, static_cast<unsigned>(p));
                ++r.farPixels;
            }
        }
    if (const char* dir = std::getenv("LUMOCR_LOOK_DIR"); dir && *dir) {
        std::filesystem::create_directories(dir);
        plat::WritePng(std::filesystem::path(dir) / (name + "-4.png"), r.landscape);
        plat::WritePng(std::filesystem::path(dir) / (name + "-0.png"), r.portrait);
    }
    return r;
}

}  // namespace look
