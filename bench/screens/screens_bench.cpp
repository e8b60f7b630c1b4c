// CameraPreviewFrame: one frame of the camera preview as the program makes
// it: a 640 x 480 4:2:0 frame resized and turned into the back buffer and
// flipped (the preview worker's part), then the camera screen's full paint
// (key fill, indicator, touch bar, guide frame with markers, the frame's
// popup, FlipBackbuffer into the overlay) and the composed screen.
// SingleProgressPaint: the single-picture screen's full paint during a run
// (the shot fitted into its area, the side bar, the progress panel at 50 %
// with its captions, FlipBackbuffer) and the composed screen.
// ThumbnailGridPaint: the thumbnail screen's full paint with nine 400 x 240
// thumbnails, the current frame and the select marks. ViewerPaint: the
// viewer's full paint of a fitted 1280 x 960 picture with the details panel
// over it (the picture into the shown surface and under the panel, the file's
// details read). MovieFrame: one played 320 x 240 frame through the movie
// screen's frame slot (kept, turned at code 0, drawn into the back buffer and
// flipped) and the composed screen. Absolute times: the budget is 33 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <string>
#include <vector>

#include "ImageUtil.h"
#include "bench_display.h"
#include "common_control.h"
#include "display.h"
#include "file_control.h"
#include "image_file_list.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "ImageDecoder.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"
#include "recognition_run.h"
#include "screen_links.h"
#include "settings.h"
#include "single_pic_gui.h"

namespace {

bool SetUp(DWORD code)
{
    static const bool opened = [] {
        if (!benchdisplay::OpenDeviceRoot())
            return false;
        setenv("LUMOCR_IMAGE_DIR", LUM_SOURCE_DIR "/resources/images", 1);
        return true;
    }();
    if (!opened)
        return false;
    benchdisplay::Turn(code);
    CPreviewCameraGUI::ReleaseInstance();
    CDisplay::DestroyInstance();
    HWND window = benchdisplay::Window();
    g_hMainWnd = window;
    CDrawEvent::Instance().SetHwnd(window);
    CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
    CMainFrame* frame = CMainFrame::GetInstance();
    frame->m_options.bcrOcrMode = 1;
    frame->m_options.singleMultiMode = 1;
    frame->m_options.enableAutoFocus = 1;
    frame->m_nFocusIndicator = 2;
    CCommonControl::GetInstance()->m_rcEdge = RECT{1, 0, 1, 0};
    return CDisplay::GetInstance()->Init(window) == S_OK;
}

// The program's English texts, for the captions.
HMODULE LoadTexts()
{
    CreateDirectoryW(L"\\Windows", nullptr);
    const auto host = plat::MapDevicePath(L"\\Windows\\LumOCR.exe.0409.mui");
    std::error_code error;
    if (!host || !std::filesystem::copy_file(LUM_SOURCE_DIR "/resources/strings/LumOCR.exe.0409.mui", *host,
                                             std::filesystem::copy_options::overwrite_existing, error))
        return nullptr;
    return LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
}

// A 16-bit 1280 x 960 shot with a ramp, as the screen gets it to show.
HBITMAP Shot()
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 1280;
    info.bmiHeader.biHeight = -960;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 16;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP shot = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!shot || !bits)
        return shot;
    auto* words = static_cast<WORD*>(bits);
    for (int y = 0; y < 960; ++y)
        for (int x = 0; x < 1280; ++x)
            words[static_cast<size_t>(y) * 1280 + x] = static_cast<WORD>(((x >> 5) << 10) | ((y >> 5) & 31));
    return shot;
}

class BenchSingleScreen : public CReviewSingleGUI {
public:
    using CSinglePicBaseGUI::ShowPicture;
};

void CameraPreviewFrame(benchmark::State& state)
{
    const DWORD code = static_cast<DWORD>(state.range(0));
    if (!SetUp(code)) {
        state.SkipWithError("display set-up failed");
        return;
    }
    CDisplay* display = CDisplay::GetInstance();
    CPreviewCameraGUI* preview = CPreviewCameraGUI::GetInstance();
    if (state.range(1)) {
        CMainFrame* frame = CMainFrame::GetInstance();
        frame->m_nPopupType = 6;
        frame->m_nPopupButtonStyle = 1;
        wcscpy(frame->m_szPopupTitle, L"Notice");
        wcscpy(frame->m_szPopupText1, L"It is too dark to take a picture.");
    }
    const std::vector<BYTE> frame = benchdisplay::CameraFrame();
    for (auto _ : state) {
        void* bits = nullptr;
        DDSURFACEDESC desc{};
        if (display->LockBackBuffer(&bits, &desc) != S_OK || !bits) {
            state.SkipWithError("lock failed");
            break;
        }
        CImageUtil::ScaleYUV420ToRGB565(frame.data(), 640, 480, static_cast<WORD*>(bits),
                                        static_cast<int>(desc.dwWidth), static_cast<int>(desc.dwHeight), 1);
        display->UnlockBackBuffer();
        display->Flip();
        if (preview->OnPaint() != 0) {
            state.SkipWithError("paint failed");
            break;
        }
        plat::ScreenImage screen = plat::ComposeScreen();
        benchmark::DoNotOptimize(screen.pixels.data());
    }
    CMainFrame::GetInstance()->m_nPopupType = 0;
    CPreviewCameraGUI::ReleaseInstance();
    CDisplay::DestroyInstance();
}

void SingleProgressPaint(benchmark::State& state)
{
    const DWORD code = static_cast<DWORD>(state.range(0));
    if (!SetUp(code)) {
        state.SkipWithError("display set-up failed");
        return;
    }
    HMODULE texts = LoadTexts();
    if (!texts) {
        state.SkipWithError("no language file");
        return;
    }
    CLayoutManager::GetInstance()->SetResource(texts);
    CMainFrame* frame = CMainFrame::GetInstance();
    static WCHAR name[] = L"B261211001.jpg";
    frame->m_slots[0].pictureName = name;
    CRecognitionRun& run = CRecognitionRun::Instance();
    run.lastProgressPercent = 50;
    run.preparing = 0;
    {
        BenchSingleScreen screen;
        screen.LoadResource();
        screen.ShowPicture(Shot());
        for (auto _ : state) {
            if (screen.OnPaint() != 0) {
                state.SkipWithError("paint failed");
                break;
            }
            plat::ScreenImage image = plat::ComposeScreen();
            benchmark::DoNotOptimize(image.pixels.data());
        }
    }
    frame->m_slots[0].pictureName = nullptr;
    CLayoutManager::GetInstance()->SetResource(nullptr);
    FreeLibrary(texts);
    CDisplay::DestroyInstance();
}

// Only pictures of that prefix and size in the first DCF folder of the
// bench's device root, each its own flat colour; the list scanned afresh.
bool OnlyPictures(int count, int width, int height, const std::string& prefix)
{
    const auto dir = plat::MapDevicePath(L"\\My Documents\\KVIM\\100QZPIX");
    if (!dir)
        return false;
    std::error_code error;
    std::filesystem::create_directories(*dir, error);
    for (const auto& entry : std::filesystem::directory_iterator(*dir, error))
        if (entry.path().filename().string().rfind(prefix, 0) != 0)
            std::filesystem::remove(entry.path(), error);
    for (int i = 0; i < count; ++i) {
        const auto path = *dir / (prefix + std::to_string(1000 + i) + ".jpg");
        plat::ScreenImage image{width, height,
                                std::vector<COLORREF>(static_cast<size_t>(width) * height, RGB(40 + 20 * i, 200 - 15 * i, 90))};
        if (!std::filesystem::exists(path) && !plat::WritePng(path, image))
            return false;
    }
    RegisterPictureDecoders();
    CFileControl::GetInstance()->SetStorageType(0);
    CImageFileList::ReleaseInstance();
    return true;
}

void PaintAndCompose(benchmark::State& state, CBaseGUI* screen)
{
    for (auto _ : state) {
        if (screen->OnPaint() != 0) {
            state.SkipWithError("paint failed");
            break;
        }
        plat::ScreenImage image = plat::ComposeScreen();
        benchmark::DoNotOptimize(image.pixels.data());
    }
}

void ThumbnailGridPaint(benchmark::State& state)
{
    if (!SetUp(static_cast<DWORD>(state.range(0))) || !OnlyPictures(9, 400, 240, "GRID")) {
        state.SkipWithError("set-up failed");
        return;
    }
    CThumbnailGUI::ReleaseInstance();
    CThumbnailGUI* grid = CThumbnailGUI::GetInstance();
    grid->OnOpen();
    grid->OnCommand(CMD_THUMBNAIL_DELETE, 0);  // select mode: a mark on each cell
    CImageFileList::GetInstance()->SetMarked(4, TRUE);
    PaintAndCompose(state, grid);
    CThumbnailGUI::ReleaseInstance();
    CImageFileList::ReleaseInstance();
    CDisplay::DestroyInstance();
}

void ViewerPaint(benchmark::State& state)
{
    if (!SetUp(static_cast<DWORD>(state.range(0))) || !OnlyPictures(1, 1280, 960, "VIEW")) {
        state.SkipWithError("set-up failed");
        return;
    }
    CViewerGUI::ReleaseInstance();
    CViewerGUI* viewer = CViewerGUI::GetInstance();
    viewer->OnOpen();
    viewer->OnCommand(CMD_VIEWER_DETAILS, 0);
    if (!viewer->Picture()) {
        state.SkipWithError("no picture");
        return;
    }
    PaintAndCompose(state, viewer);
    CViewerGUI::ReleaseInstance();
    CImageFileList::ReleaseInstance();
    CDisplay::DestroyInstance();
}

void MovieFrame(benchmark::State& state)
{
    if (!SetUp(static_cast<DWORD>(state.range(0)))) {
        state.SkipWithError("display set-up failed");
        return;
    }
    CReviewMovieGUI::ReleaseInstance();
    CReviewMovieGUI* movie = CReviewMovieGUI::GetInstance();
    movie->OnOpen();
    std::vector<WORD> frame(320 * 240);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<WORD>(i * 7);
    for (auto _ : state) {
        movie->OnPlayerFrame(frame.data(), static_cast<DWORD>(frame.size() * 2), 320, 240);
        plat::ScreenImage image = plat::ComposeScreen();
        benchmark::DoNotOptimize(image.pixels.data());
    }
    movie->OnClose();
    CReviewMovieGUI::ReleaseInstance();
    CDisplay::DestroyInstance();
}

}  // namespace

// No application here: nothing to restore after a failed set-up.
void RestoreAppOrientation() {}

BENCHMARK(CameraPreviewFrame)
    ->ArgNames({"code", "popup"})
    ->Args({DMDO_270, 0})
    ->Args({DMDO_0, 0})
    ->Args({DMDO_270, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(SingleProgressPaint)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);

BENCHMARK(ThumbnailGridPaint)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);
BENCHMARK(ViewerPaint)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);
BENCHMARK(MovieFrame)->ArgName("code")->Arg(DMDO_270)->Arg(DMDO_0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
