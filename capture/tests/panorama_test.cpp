// CePanorama over the panorama library: texts, the refused shot, the
// shutter when the camera stays on the next place, the finished job.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "app_messages.h"
#include "panorama.h"
#include "panorama_scene.h"
#include "plat/debug.h"
#include "plat/module.h"
#include "plat/message.h"
#include "plat/window.h"

namespace {

using panorama_test::View;

LRESULT CALLBACK OwnerProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

std::vector<MSG> Posted(HWND owner)
{
    std::vector<MSG> out;
    MSG msg;
    while (PeekMessageW(&msg, owner, 0, 0, PM_REMOVE))
        out.push_back(msg);
    return out;
}

}  // namespace

TEST(CePanorama, Texts)
{
    struct Case {
        int code;
        const wchar_t* text;
    } cases[] = {{9, L"Invalid panorama image size generated"}, {3, L"Unknown"}, {0, L"Unknown"},
                 {-1, L"Operation failed"}, {6, L"PanoraMax is unable to detect acquisition/stitching direction"}};
    for (const Case& c : cases) {
        WCHAR buffer[128];
        EXPECT_EQ(CePanorama::GetErrorText(c.code, buffer), c.code);
        EXPECT_STREQ(buffer, c.text);
    }
    EXPECT_STREQ(CePanorama::GetInstance()->GetStatusText(), L"NOT INITIALIZED");
    CePanorama::DeleteInstance();
}

TEST(CePanorama, ShotsAreTakenWhenTheCameraStaysOnTheNextPlace)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = L"PanoramaOwner";
    RegisterClassW(&wc);
    HWND owner = CreateWindowExW(0, L"PanoramaOwner", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    CePanorama* p = CePanorama::GetInstance();
    ASSERT_EQ(p->Initialize(owner, 320, 240, 160, 120, 2), 1);
    ASSERT_EQ(p->PanoramaBegin(), 1);
    EXPECT_STREQ(p->GetStatusText(), L"INVALID");

    // Nothing followed yet: the shot is refused.
    std::vector<BYTE> shot = View(0, 320, 240, 2);
    EXPECT_EQ(p->AddShotFrame(shot.data()), 0);

    // Every second preview frame reaches the library: each place is shown twice.
    auto show = [&](int x) {
        std::vector<BYTE> preview = View(x, 160, 120, 1);
        EXPECT_TRUE(p->AddPreviewFrame(preview.data()));
        EXPECT_TRUE(p->AddPreviewFrame(preview.data()));
    };
    show(0);
    EXPECT_STREQ(p->GetStatusText(), L"VALID");
    ASSERT_EQ(p->AddShotFrame(shot.data()), 1);
    EXPECT_EQ(p->GetAddedCount(), 1);
    show(40);
    EXPECT_STREQ(p->GetStatusText(), L"VALID");
    EXPECT_NEAR(p->GetCurrentPoint().x, 80 + 40, 2);
    EXPECT_TRUE(Posted(owner).empty());
    show(80);
    EXPECT_STREQ(p->GetStatusText(), L"POSITIONED");
    show(80);
    EXPECT_STREQ(p->GetStatusText(), L"STEADY");
    std::vector<MSG> posted = Posted(owner);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_MAIN_COMMAND);
    EXPECT_EQ(posted[0].wParam, CMD_PANORAMA_SHUTTER);
    EXPECT_FALSE(p->IsAccepting());

    shot = View(80, 320, 240, 2);
    ASSERT_EQ(p->AddShotFrame(shot.data()), 1);
    posted = Posted(owner);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_PANORAMA_FRAME);
    EXPECT_EQ(posted[0].wParam, kPanoramaComplete);

    BYTE* data = nullptr;
    int w = 0, h = 0, format = 0;
    ASSERT_EQ(p->GetPanoramaImage(&data, &w, &h, &format), 1);
    EXPECT_EQ(w, 480);
    EXPECT_EQ(h, 240);
    EXPECT_EQ(format, 1);
    std::vector<BYTE> whole = View(0, 480, 240, 2);
    size_t differ = 0;
    for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i)
        differ += data[i] != whole[i];
    EXPECT_EQ(differ, 0u);
    std::free(data);
    CePanorama::DeleteInstance();
    DestroyWindow(owner);
}

TEST(CePanorama, EachMissingEntryIsNamedAndNoJobIsMade)
{
    struct Case {
        const wchar_t* entry;
        const wchar_t* logged;
    } cases[] = {
        {L"px_free", L"Failed to GetProcAddress (\"px_free()\")\r\n"},
        {L"px_abort", L"Failed to GetProcAddress (\"pfnpx_abort()\")\r\n"},
        {L"px_init", L"Failed to GetProcAddress (\"px_init()\")\r\n"},
        {L"px_setParams", L"Failed to GetProcAddress (\"px_setParams()\")\r\n"},
        {L"px_start", L"Failed to GetProcAddress (\"px_start()\")\r\n"},
        {L"px_beginCapture", L"Failed to GetProcAddress (\"px_beginCapture()\")\r\n"},
        {L"px_handleFrame", L"Failed to GetProcAddress (\"px_handleFrame()\")\r\n"},
        {L"px_addFrame", L"Failed to GetProcAddress (\"px_addFrame()\")\r\n"},
        {L"px_createPanorama", L"Failed to GetProcAddress (\"px_createPanorama()\")\r\n"},
        {L"px_getPanoramaImage", L"Failed to GetProcAddress (\"px_getPanoramaImage()\")\r\n"},
        {L"px_endCapture", L"Failed to GetProcAddress (\"px_endCapture()\")\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.entry)));
        plat::HideLibraryExport(c.entry);
        plat::DebugCapture log;
        CePanorama* p = CePanorama::GetInstance();
        EXPECT_EQ(p->Initialize(nullptr, 320, 240, 160, 120, 2), 0);
        EXPECT_TRUE(log.Contains(c.logged)) << testing::PrintToString(log.Text());
        EXPECT_STREQ(p->GetStatusText(), L"NOT INITIALIZED");
        EXPECT_EQ(p->PanoramaBegin(), 0);
        CePanorama::DeleteInstance();
    }
    plat::HideLibraryExport(nullptr);
    plat::DebugCapture log;
    EXPECT_EQ(CePanorama::GetInstance()->Initialize(nullptr, 320, 240, 160, 120, 2), 1);
    EXPECT_FALSE(log.Contains(L"Failed to GetProcAddress"));
    CePanorama::DeleteInstance();
}
