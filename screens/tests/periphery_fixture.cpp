#include "periphery_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>

#include "ImageDecoder.h"
#include "display.h"
#include "draw_event.h"
#include "file_control.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "neighbour_doubles.h"
#include "plat/screen.h"
#include "program_resources.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAW_SCREEN) {
        CDrawEvent::TakePending();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

void PeripheryFixture::SetUp()
{
    ScreensFixture::SetUp();
    doubles::ReleaseAll();
    RegisterPictureDecoders();
    setenv("LUMOCR_IMAGE_DIR", LUM_SOURCE_DIR "/resources/images", 1);
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &FrameProc;
        wc.lpszClassName = L"PeripheryFrame";
        return RegisterClassW(&wc) != 0;
    }();
    ASSERT_TRUE(registered);
    window = CreateWindowExW(0, L"PeripheryFrame", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                             nullptr, nullptr);
    g_hMainWnd = window;
    CDrawEvent::Instance().SetHwnd(window);
    CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
    CFileControl::GetInstance()->SetStorageType(0);
    centres = look::CentreColours();
    InstallProgramResources();
}

void PeripheryFixture::TearDown()
{
    unsetenv("LUMOCR_IMAGE_DIR");
    CThumbnailGUI::ReleaseInstance();
    CViewerGUI::ReleaseInstance();
    CPreviewSettingGUI::ReleaseInstance();
    CMessagePopupGUI::ReleaseInstance();
    CImageFileList::ReleaseInstance();
    CFileControl::ReleaseInstance();
    CMainFrame::DestroyInstance();
    doubles::ReleaseAll();
    CSettings::ReleaseInstance();
    CLayoutManager::ReleaseInstance();
    CTitleLayout::ReleaseInstance();
    CDrawEvent::Instance().SetHwnd(nullptr);
    g_hMainWnd = nullptr;
    DestroyWindow(window);
    ScreensFixture::TearDown();
}

std::string PeripheryFixture::PutPicture(const std::string& name, int width, int height, COLORREF colour, int folder)
{
    const fs::path dir = root.path() / "My Documents" / "KVIM" / (std::to_string(folder) + "QZPIX");
    fs::create_directories(dir);
    plat::ScreenImage image{width, height, std::vector<COLORREF>(static_cast<size_t>(width * height), colour)};
    EXPECT_TRUE(plat::WritePng(dir / name, image));
    return (dir / name).string();
}

std::string PeripheryFixture::PutBroken(const std::string& name, int folder)
{
    const fs::path dir = root.path() / "My Documents" / "KVIM" / (std::to_string(folder) + "QZPIX");
    fs::create_directories(dir);
    std::ofstream(dir / name) << "not a picture";
    return (dir / name).string();
}

void PeripheryFixture::ExpectImageAt(const look::Result& r, UINT id, int x, int y)
{
    ASSERT_TRUE(centres.count(id)) << id;
    EXPECT_TRUE(look::Near(r.At4(x, y), centres[id])) << id << " at " << x << "," << y << ": " << std::hex << r.At4(x, y);
    EXPECT_TRUE(look::Near(r.At0(x, y), centres[id])) << id << " at " << x << "," << y << " turned";
}

void PeripheryFixture::ExpectColour(const look::Result& r, int x, int y, COLORREF c)
{
    EXPECT_TRUE(look::Near(r.At4(x, y), c)) << x << "," << y << ": " << std::hex << r.At4(x, y);
    EXPECT_TRUE(look::Near(r.At0(x, y), c)) << x << "," << y << " turned: " << std::hex << r.At0(x, y);
}

CDrawContext PeripheryFixture::LayoutContext(HDC dc)
{
    CDrawContext context;
    context.Attach(dc);
    context.m_nSurfaceWidth = 400;
    context.m_nSurfaceHeight = 240;
    return context;
}

FlatShot::FlatShot(LPCWSTR name, COLORREF colour, int width, int height)
{
    std::wcsncpy(m_szName, name, MAX_PATH - 1);
    CRotBitmap::CreateInstance(m_pThumbnail);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT all{0, 0, width, height};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    m_pThumbnail->Attach(bitmap, TRUE);
}
