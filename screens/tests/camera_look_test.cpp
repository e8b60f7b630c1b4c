#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "common_control.h"
#include "display.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "look_helper.h"
#include "main_frame.h"
#include "neighbour_doubles.h"
#include "screens_fixture.h"
#include "settings.h"

namespace {

using look::CentreColours;
using look::Near;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAW_SCREEN) {
        CDrawEvent::TakePending();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class CameraLook : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        doubles::ReleaseAll();
        setenv("LUMOCR_IMAGE_DIR", LUM_SOURCE_DIR "/resources/images", 1);
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &FrameProc;
            wc.lpszClassName = L"CameraLookFrame";
            return RegisterClassW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        window = CreateWindowExW(0, L"CameraLookFrame", L"", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10, nullptr, nullptr,
                                 nullptr, nullptr);
        g_hMainWnd = window;
        CDrawEvent::Instance().SetHwnd(window);
        frame = CMainFrame::GetInstance();
        frame->m_options.bcrOcrMode = 1;
        frame->m_options.singleMultiMode = 1;
        frame->m_options.enableAutoFocus = 1;
        frame->m_nFocusIndicator = 2;
        CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
        CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
        CCommonControl::GetInstance()->m_rcEdge = RECT{1, 0, 0, 0};
        centres = CentreColours();
        ASSERT_FALSE(centres.empty()) << "the images' manifest has no centre colours";
    }
    void TearDown() override
    {
        unsetenv("LUMOCR_IMAGE_DIR");
        CPreviewCameraGUI::ReleaseInstance();
        CMessagePopupGUI::ReleaseInstance();
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

    // The camera preview's three layers, the screen (and its images and
    // fonts) made afresh for the orientation of the pass.
    look::Result Preview(const std::string& name, bool withMessage = false)
    {
        return look::Run(name, window, [&](CDrawContext& dc) {
            CPreviewCameraGUI::ReleaseInstance();
            CPreviewCameraGUI* preview = CPreviewCameraGUI::GetInstance();
            preview->m_bModeNotice = notice;
            preview->DrawLayer0(&dc);
            preview->DrawLayer1(&dc);
            preview->DrawLayer2(&dc);
            if (withMessage) {
                CMessagePopupGUI::ReleaseInstance();
                CMessagePopupGUI* popup = CMessagePopupGUI::GetInstance();
                popup->ShowLines(L"Camera is in use", L"by another application.");
                popup->DrawLayer0(&dc);
                popup->DrawLayer1(&dc);
                popup->DrawLayer2(&dc);
            }
        });
    }

    void ExpectImageAt(const look::Result& r, UINT id, int x, int y)
    {
        ASSERT_TRUE(centres.count(id)) << id;
        EXPECT_TRUE(Near(r.At4(x, y), centres[id])) << id << " at " << x << "," << y << ": " << std::hex << r.At4(x, y);
        EXPECT_TRUE(Near(r.At0(x, y), centres[id])) << id << " at " << x << "," << y << " turned";
    }
    static void ExpectPattern(const look::Result& r, int x, int y)
    {
        EXPECT_EQ(r.At4(x, y), look::Pattern(x, y)) << x << "," << y;
        EXPECT_EQ(r.At0(x, y), look::Pattern(x, y)) << x << "," << y << " turned";
    }
    static void ExpectColour(const look::Result& r, int x, int y, COLORREF c)
    {
        EXPECT_TRUE(Near(r.At4(x, y), c)) << x << "," << y << ": " << std::hex << r.At4(x, y);
        EXPECT_TRUE(Near(r.At0(x, y), c)) << x << "," << y << " turned: " << std::hex << r.At0(x, y);
    }

    void WriteTexts()
    {
        CreateDirectoryW(L"\\Windows", nullptr);
        const char table[] = "252\tHold the card\\ninside the frame\\nto read it\n1\tSaving...\n";
        HANDLE file = CreateFileW(L"\\Windows\\Look.mui", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, table, sizeof table - 1, &written, nullptr);
        CloseHandle(file);
        texts = LoadLibraryW(L"\\Windows\\Look.mui");
        ASSERT_NE(texts, nullptr);
        CLayoutManager::GetInstance()->SetResource(texts);
    }

    HWND window = nullptr;
    CMainFrame* frame = nullptr;
    int notice = 0;
    HMODULE texts = nullptr;
    std::map<UINT, COLORREF> centres;
};

TEST_F(CameraLook, PreviewSingle)
{
    const look::Result r = Preview("preview-single");
    ASSERT_EQ(r.farPixels, 0);
    // The single-shot bar: leave, card, single, gallery, settings, each its normal look.
    const UINT bar[5] = {10000, 10003, 10009, 10015, 10018};
    for (int i = 0; i < 5; ++i)
        ExpectImageAt(r, bar[i], 374, 24 + 48 * i);
    ExpectImageAt(r, 10023, 173, 119);  // focused
    // The found left edge's markers are green, the others grey.
    ExpectColour(r, 26, 56, RGB(0, 255, 0));
    ExpectColour(r, 26, 183, RGB(0, 255, 0));
    ExpectColour(r, 58, 37, RGB(0xA5, 0xA5, 0xA5));
    ExpectColour(r, 321, 183, RGB(0xA5, 0xA5, 0xA5));
    // The camera picture shows through everywhere else.
    ExpectPattern(r, 100, 120);
    ExpectPattern(r, 5, 5);
    ExpectPattern(r, 340, 230);
}

TEST_F(CameraLook, PreviewNotice)
{
    WriteTexts();
    notice = 1;
    const look::Result r = Preview("preview-notice");
    // The notice box (the overlay's own word for its fill) covers the picture
    // evenly, its text over it.
    const COLORREF box = r.At4(42, 58);
    EXPECT_NE(box, look::Pattern(42, 58));
    for (const POINT p : {POINT{42, 58}, POINT{305, 182}, POINT{60, 170}}) {
        EXPECT_EQ(r.At4(p.x, p.y), box);
        EXPECT_EQ(r.At0(p.x, p.y), box);
    }
    int textPixels = 0;
    for (int y = 55; y < 185; ++y)
        for (int x = 39; x < 309; ++x)
            textPixels += Near(r.At4(x, y), RGB(250, 245, 10));
    EXPECT_GT(textPixels, 100);
    CLayoutManager::GetInstance()->SetResource(nullptr);
    FreeLibrary(texts);
}

TEST_F(CameraLook, PreviewSeries)
{
    frame->m_options.singleMultiMode = 0;
    const look::Result empty = Preview("preview-series");
    ASSERT_EQ(empty.farPixels, 0);
    // Without a picture: buttons 3 and 4 disabled.
    const UINT bar[4] = {10100, 10104, 10111, 10116};
    for (int i = 0; i < 4; ++i)
        ExpectImageAt(empty, bar[i], 374, 30 + 60 * i);
    // The counter's black text with its white outline near (45, 7).
    int black = 0, white = 0;
    for (int y = 4; y < 26; ++y)
        for (int x = 20; x < 72; ++x) {
            black += empty.At4(x, y) == RGB(0, 0, 0);
            white += Near(empty.At4(x, y), RGB(255, 255, 255));
        }
    EXPECT_GT(black, 10);
    EXPECT_GT(white, 10);
}

TEST_F(CameraLook, PreviewPopup)
{
    frame->m_bPopupShown = 1;
    frame->m_nPopupType = 6;
    frame->m_nPopupButtonStyle = 1;
    wcscpy(frame->m_szPopupTitle, L"Notice");
    wcscpy(frame->m_szPopupText1, L"It is too dark to take a picture.");
    wcscpy(frame->m_szPopupButton[0], L"OK");
    const look::Result r = Preview("preview-popup");
    // The centre button's face beside its label.
    ExpectColour(r, 110, 172, RGB(240, 240, 236));
    EXPECT_TRUE(Near(r.At4(200, 56 + 8), RGB(0, 0, 0)) || Near(r.At4(199, 56 + 8), RGB(0, 0, 0)) ||
                Near(r.At4(201, 56 + 8), RGB(0, 0, 0)))
        << "the title in black";
    // The frame covers the picture; outside it the picture shows.
    EXPECT_NE(r.At4(95, 150), look::Pattern(95, 150));
    ExpectPattern(r, 85, 150);
}

TEST_F(CameraLook, Message)
{
    frame->m_options.bcrOcrMode = 0;
    const look::Result r = Preview("message", true);
    // White text in the two bands through the centre; nothing outside them.
    int upper = 0, lower = 0, outside = 0;
    for (int y = 60; y < 180; ++y)
        for (int x = 0; x < 340; ++x) {
            const bool white = Near(r.At4(x, y), RGB(255, 255, 255));
            if (y >= 90 && y < 120)
                upper += white;
            else if (y >= 120 && y < 150)
                lower += white;
            else
                outside += white;
        }
    EXPECT_GT(upper, 50);
    EXPECT_GT(lower, 50);
    EXPECT_EQ(outside, 0);
}

}  // namespace
