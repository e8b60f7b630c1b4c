// PreviewFrameToScreen: a 640 x 480 4:2:0 frame resized and turned into the
// RGB565 back buffer, flipped, then a full draw bitmap into the overlay and
// the composed screen. FullScreenPaint: key fill, a screen of controls whose
// looks are cached, and the overlay. Absolute times: the budget is 33 ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "ImageUtil.h"
#include "bench_display.h"
#include "ce_container.h"
#include "display.h"
#include "plat/screen.h"
#include "plat/windows.h"
#include "screen_links.h"

namespace {

bool SetUpDisplay(DWORD code)
{
    if (!benchdisplay::OpenDeviceRoot())
        return false;
    benchdisplay::Turn(code);
    CDisplay::DestroyInstance();
    return CDisplay::GetInstance()->Init(benchdisplay::Window()) == S_OK;
}

void PreviewFrameToScreen(benchmark::State& state)
{
    const DWORD code = static_cast<DWORD>(state.range(0));
    if (!SetUpDisplay(code)) {
        state.SkipWithError("display set-up failed");
        return;
    }
    CDisplay* display = CDisplay::GetInstance();
    const std::vector<BYTE> frame = benchdisplay::CameraFrame();
    for (auto _ : state) {
        void* bits = nullptr;
        DDSURFACEDESC desc{};
        if (display->LockBackBuffer(&bits, &desc) != S_OK || !bits) {
            state.SkipWithError("lock failed");
            break;
        }
        // The back buffer keeps the portrait panel: the landscape frame turns.
        CImageUtil::ScaleYUV420ToRGB565(frame.data(), 640, 480, static_cast<WORD*>(bits),
                                        static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), 1);
        display->UnlockBackBuffer();
        display->Flip();
        HDC dc = display->GetDrawDC();
        display->FlipBackbuffer(dc);
        plat::ScreenImage screen = plat::ComposeScreen();
        benchmark::DoNotOptimize(screen.pixels.data());
    }
    CDisplay::DestroyInstance();
}

void FullScreenPaint(benchmark::State& state)
{
    const DWORD code = static_cast<DWORD>(state.range(0));
    if (!SetUpDisplay(code)) {
        state.SkipWithError("display set-up failed");
        return;
    }
    CDisplay* display = CDisplay::GetInstance();
    CeRefPtr<CeContainer> root = new CeContainer();
    root->SetStateBit(TRUE);
    for (int i = 0; i < 7; ++i) {
        auto* look = new CeCtrlAttrib();
        look->SetImages(static_cast<UINT>(10000 + 3 * i), static_cast<UINT>(10001 + 3 * i),
                        static_cast<UINT>(10002 + 3 * i), 0);
        auto* button = new CeButton();
        button->Init(static_cast<DWORD>(0x100 + i), look, 0, POINT{330, 4 + i * 33});
        root->AddControl(button);
    }
    for (int i = 0; i < 3; ++i) {
        auto* label = new CeText();
        label->Init(0, RECT{10, 10 + i * 30, 300, 36 + i * 30}, RGB(255, 255, 255), RGB(255, 0, 255));
        label->SetText(L"Business card 1/20");
        root->AddControl(label);
    }
    for (auto _ : state) {
        HDC dc = display->GetDrawDC();
        CDrawContext context;
        context.Attach(dc);
        context.m_nSurfaceWidth = GetSystemMetrics(SM_CXSCREEN);
        context.m_nSurfaceHeight = GetSystemMetrics(SM_CYSCREEN);
        RECT all{0, 0, 400, 240};
        context.FillRect(&all, RGB(255, 0, 255));
        root->Draw(&context);
        display->FlipBackbuffer(dc);
    }
    root = static_cast<CeContainer*>(nullptr);
    CDisplay::DestroyInstance();
}

}  // namespace

// No application here: nothing to restore after a failed set-up.
void RestoreAppOrientation() {}

BENCHMARK(PreviewFrameToScreen)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);
BENCHMARK(FullScreenPaint)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
