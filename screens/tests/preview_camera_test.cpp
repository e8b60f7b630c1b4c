#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common_control.h"
#include "haptic_control.h"
#include "display.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "neighbour_doubles.h"
#include "notification.h"
#include "phone_control.h"
#include "plat/debug.h"
#include "plat/file.h"
#include "plat/gdi.h"
#include "plat/registry.h"
#include "preview_doubles.h"
#include "screens_fixture.h"
#include "settings.h"

namespace {

constexpr const WCHAR* kFolder = L"\\My Documents\\KVIM\\";

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DRAW_SCREEN) {
        CDrawEvent::TakePending();
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class PreviewCameraTest : public ScreensFixture {
protected:
    void SetUp() override
    {
        ScreensFixture::SetUp();
        doubles::ReleaseAll();
        screens_test::Capture() = {};
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &FrameProc;
            wc.lpszClassName = L"PreviewTestFrame";
            return RegisterClassW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        window = CreateWindowExW(0, L"PreviewTestFrame", L"frame", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                 nullptr);
        g_hMainWnd = window;
        CDrawEvent::Instance().SetHwnd(window);
        CDrawEvent::TakePending();
        frame = CMainFrame::GetInstance();
        std::wcscpy(frame->m_szPictureFolder, kFolder);
        frame->m_options.bcrOcrMode = 1;
        frame->m_options.singleMultiMode = 1;
        frame->m_options.enableAutoFocus = 1;
        frame->m_nAutoShot1 = 1;
        CreateDirectoryW(L"\\My Documents", nullptr);
        CreateDirectoryW(L"\\My Documents\\KVIM", nullptr);
        CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
        CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
        preview = CPreviewCameraGUI::GetInstance();
        doubles::Clear();
    }
    void TearDown() override
    {
        CPreviewCameraGUI::ReleaseInstance();
        CMainFrame::DestroyInstance();
        doubles::ReleaseAll();
        CHapticControl::ReleaseInstance();
        CSettings::ReleaseInstance();
        CNotification::ReleaseInstance();
        CTitleLayout::ReleaseInstance();
        CDrawEvent::Instance().SetHwnd(nullptr);
        g_hMainWnd = nullptr;
        DestroyWindow(window);
        ScreensFixture::TearDown();
    }

    static std::vector<std::string> Calls(const char* prefix)
    {
        std::vector<std::string> out;
        for (const std::string& c : doubles::Calls())
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        return out;
    }
    static bool Called(const std::string& call)
    {
        const auto& calls = doubles::Calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    static void SetPhoneStatus(DWORD status) { RegistrySetDWORD(HKEY_LOCAL_MACHINE, kPhoneStateKey, L"Status", status); }
    static void SetFreeKB(DWORD kb) { RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kDiskKey, L"FreeKB", kb); }

    // A picture of the set in slot, as a file in the picture folder.
    void Picture(int slot, const std::wstring& name)
    {
        const std::wstring path = std::wstring(kFolder) + name;
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
        frame->m_slots[slot].pictureName = static_cast<LPWSTR>(std::calloc(name.size() + 1, sizeof(WCHAR)));
        std::wcscpy(frame->m_slots[slot].pictureName, name.c_str());
    }
    static bool Exists(const std::wstring& name)
    {
        return GetFileAttributesW((std::wstring(kFolder) + name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // One layer drawn on a 400 x 240 canvas, its text calls recorded.
    struct Painted {
        std::vector<plat::TextCall> texts;
        std::vector<uint16_t> pixels;
        uint16_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * 400 + x]; }
    };
    template <class Layer>
    Painted Paint(Layer layer)
    {
        Canvas canvas(400, 240, 0x7C1F);
        plat::RecordTextCalls(canvas.dc, true);
        CDrawContext context;
        context.Attach(canvas.dc);
        context.m_nSurfaceWidth = 400;
        context.m_nSurfaceHeight = 240;
        layer(&context);
        Painted p;
        p.texts = plat::RecordedTextCalls(canvas.dc);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 400; ++x)
                p.pixels.push_back(canvas.At(x, y));
        context.m_hDC = nullptr;
        return p;
    }

    HWND window = nullptr;
    CMainFrame* frame = nullptr;
    CPreviewCameraGUI* preview = nullptr;
};

constexpr uint16_t kGrey555 = (0xA5 >> 3) << 10 | (0xA5 >> 3) << 5 | (0xA5 >> 3);
constexpr uint16_t kGreen555 = 31 << 5;
constexpr uint16_t kBlack555 = 0;

TEST_F(PreviewCameraTest, EachFoundEdgeTurnsOnlyItsOwnMarkersGreen)
{
    // Centre points of the two markers of each edge: left, top, right, bottom.
    const POINT markers[4][2] = {{{26, 56}, {26, 183}}, {{58, 37}, {290, 37}},
                                 {{321, 56}, {321, 183}}, {{58, 202}, {290, 202}}};
    const POINT bars[4] = {{19, 120}, {174, 29}, {329, 120}, {174, 211}};
    for (int found = -1; found < 4; ++found) {
        SCOPED_TRACE(found);
        RECT& edge = CCommonControl::GetInstance()->m_rcEdge;
        edge = RECT{found == 0, found == 1, found == 2, found == 3};
        frame->m_options.enableAutoFocus = 1;
        Painted guide = Paint([&](CDrawContext* dc) { preview->DrawGuideLines(dc); });
        frame->m_options.enableAutoFocus = 0;
        Painted areas = Paint([&](CDrawContext* dc) { preview->DrawOverlayAreas(dc); });
        for (int e = 0; e < 4; ++e) {
            for (const POINT& m : markers[e])
                EXPECT_EQ(guide.At(m.x, m.y), e == found ? kGreen555 : kGrey555) << e;
            EXPECT_EQ(areas.At(bars[e].x, bars[e].y), e == found ? kGreen555 : kBlack555) << e;
        }
    }
}

TEST_F(PreviewCameraTest, TheSeriesCounterShowsOnlyInSeriesMode)
{
    const struct {
        DWORD mode;
        int slot;
        const wchar_t* text;
    } cases[] = {{0, 0, L"1/20"}, {0, 19, L"20/20"}, {1, 0, nullptr}, {2, 0, nullptr}};
    for (const auto& c : cases) {
        frame->m_options.singleMultiMode = c.mode;
        frame->m_options.bcrOcrMode = 0;
        frame->m_nCurrentSlot = c.slot;
        Painted p = Paint([&](CDrawContext* dc) { preview->CPreviewGUI::DrawLayer2(dc); });
        if (!c.text) {
            EXPECT_TRUE(p.texts.empty()) << c.mode;
            continue;
        }
        // Nine white copies around the black one.
        ASSERT_EQ(p.texts.size(), 10u);
        EXPECT_EQ(p.texts.back().text, c.text);
        EXPECT_EQ(p.texts.back().colour, RGB(0, 0, 0));
        EXPECT_EQ(p.texts.back().at.x, 45);
        EXPECT_EQ(p.texts.back().at.y, 7);
        EXPECT_EQ(p.texts.front().colour, RGB(255, 255, 255));
    }
}

TEST_F(PreviewCameraTest, ShutterKeysTakeThePictureOnlyWhenNothingStandsInTheWay)
{
    struct Case {
        const char* name;
        UINT key;
        void (*prepare)(CMainFrame*);
        bool captures;
        int popup;
    };
    const Case cases[] = {
        {"enter", VK_RETURN, [](CMainFrame*) {}, true, 0},
        {"full", VK_FULL_SHUTTER, [](CMainFrame*) {}, true, 0},
        {"call", VK_RETURN, [](CMainFrame*) { SetPhoneStatus(PHONE_TALKING); }, false, 0},
        {"call full", VK_FULL_SHUTTER, [](CMainFrame*) { SetPhoneStatus(PHONE_TALKING); }, false, 0},
        {"popup", VK_FULL_SHUTTER, [](CMainFrame* f) { f->m_bPopupShown = 1; }, false, 0},
        {"low space", VK_FULL_SHUTTER, [](CMainFrame*) { SetFreeKB(1024); }, false, POPUP_LOW_STORAGE},
        {"enough space", VK_FULL_SHUTTER, [](CMainFrame*) { SetFreeKB(1025); }, true, 0},
        {"too dark", VK_RETURN, [](CMainFrame*) { screens_test::Capture().brightness = 0; }, false, POPUP_LOW_LIGHT},
        {"focus failed", VK_RETURN, [](CMainFrame*) { screens_test::Capture().focusOk = 0; }, false, 0},
        {"camera stopped", VK_RETURN, [](CMainFrame*) { screens_test::Capture().running = 0; }, false, 0},
        {"capture under way", VK_RETURN, [](CMainFrame* f) { f->m_bCapturePending = 1; }, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screens_test::Capture() = {};
        SetPhoneStatus(0);
        SetFreeKB(100000);
        frame->m_bPopupShown = 0;
        frame->m_bCapturePending = 0;
        preview->m_bShotPending = 0;
        c.prepare(frame);
        doubles::Clear();
        preview->OnKeyDown(window, c.key, 0);
        EXPECT_EQ(Called("CCameraControl::CameraCapture()"), c.captures);
        EXPECT_EQ(Called("CMainFrame::ShowPopup(" + std::to_string(c.popup) + ")"), c.popup != 0);
        if (!c.captures) {
            // Nothing left half done: the next shot may start (a capture under way goes on).
            EXPECT_EQ(frame->m_bCapturePending, std::string(c.name) == "capture under way" ? 1 : 0);
            EXPECT_EQ(preview->m_bShotPending, 0);
        }
    }
}

TEST_F(PreviewCameraTest, EveryAutomaticShotBreakLeavesItsLog)
{
    struct Case {
        const char* log;
        void (*prepare)(CPreviewCameraGUI*, CMainFrame*);
        bool captures;
    };
    const Case cases[] = {
        {"break 1", [](CPreviewCameraGUI* p, CMainFrame*) { p->m_bAutoShot = 0; }, false},
        {"break 2", [](CPreviewCameraGUI*, CMainFrame* f) { f->m_bPopupShown = 1; }, false},
        {"break 2", [](CPreviewCameraGUI*, CMainFrame* f) { f->m_bCapturePending = 1; }, false},
        {"break 3", [](CPreviewCameraGUI*, CMainFrame*) { screens_test::Capture().running = 0; }, false},
        {"break 4", [](CPreviewCameraGUI*, CMainFrame*) { screens_test::Capture().focusOk = 0; }, false},
        {"break 6", [](CPreviewCameraGUI*, CMainFrame*) { SetFreeKB(1024); }, false},
        {"break 7", [](CPreviewCameraGUI*, CMainFrame*) { screens_test::Capture().brightness = 0; }, false},
        {"LAST EDGE CHECK END",
         [](CPreviewCameraGUI* p, CMainFrame*) {
             p->m_bLastEdgeCheck = 1;
             CCommonControl::GetInstance()->m_nFocusCount = 0;
         },
         false},
        {"GO!",
         [](CPreviewCameraGUI* p, CMainFrame*) {
             p->m_bLastEdgeCheck = 1;
             CCommonControl::GetInstance()->m_nFocusCount = 2;
             CCommonControl::GetInstance()->m_nLastEdge = 1;
         },
         true},
        {"GO!", [](CPreviewCameraGUI*, CMainFrame*) {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        screens_test::Capture() = {};
        SetFreeKB(100000);
        frame->m_bPopupShown = 0;
        frame->m_bCapturePending = 0;
        preview->m_bAutoShot = 1;
        preview->m_bLastEdgeCheck = 0;
        c.prepare(preview, frame);
        doubles::Clear();
        plat::DebugCapture log;
        preview->OnCommand(CMD_PREVIEW_AUTO_SHOT, 0);
        EXPECT_TRUE(log.Contains(std::wstring(L"CMD_PREVIEW_AUTO_SHOT start")));
        const std::string expected = c.log;
        EXPECT_TRUE(log.Contains(std::wstring(expected.begin(), expected.end()))) << "missing " << c.log;
        EXPECT_EQ(Called("CCameraControl::CameraCapture()"), c.captures);
        if (!c.captures) {
            EXPECT_EQ(frame->m_bCapturePending, c.prepare == cases[2].prepare ? 1 : 0);
        }
    }
}

TEST_F(PreviewCameraTest, ModeSwitchesDeleteTheUnfinishedSetAndStartAtSlotZero)
{
    const DWORD commands[] = {CMD_SWITCH_CARD_DOCUMENT, CMD_SWITCH_SINGLE_MULTI, CMD_TO_THUMBNAILS, CMD_PREVIEW_EXIT};
    for (DWORD command : commands) {
        SCOPED_TRACE(command);
        frame->m_options.bcrOcrMode = 1;
        frame->m_options.singleMultiMode = 0;
        Picture(0, L"B000000001.jpg");
        Picture(1, L"B000000002.jpg");
        frame->m_nCurrentSlot = 2;
        preview->OnCommand(command, 0);
        EXPECT_FALSE(Exists(L"B000000001.jpg"));
        EXPECT_FALSE(Exists(L"B000000002.jpg"));
        EXPECT_EQ(frame->m_slots[0].pictureName, nullptr);
        EXPECT_EQ(frame->m_slots[1].pictureName, nullptr);
        EXPECT_EQ(frame->m_nCurrentSlot, 0);
    }
}

TEST_F(PreviewCameraTest, SwitchesFlipTheirModeAndDeleteLastStepsBack)
{
    CDrawEvent::TakePending();
    preview->OnCommand(CMD_SWITCH_CARD_DOCUMENT, 0);
    EXPECT_EQ(frame->m_options.bcrOcrMode, 0u);
    EXPECT_EQ(preview->m_bModeNotice, 1);
    EXPECT_GT(CDrawEvent::PendingCount(), 0) << "the notice waits for its timer to be drawn";
    preview->OnCommand(CMD_SWITCH_SINGLE_MULTI, 0);
    EXPECT_EQ(frame->m_options.singleMultiMode, 0u);

    Picture(0, L"D000000001.jpg");
    Picture(1, L"D000000002.jpg");
    frame->m_nCurrentSlot = 2;
    preview->OnCommand(CMD_DELETE_LAST_PICTURE, 0);
    EXPECT_TRUE(Exists(L"D000000001.jpg"));
    EXPECT_FALSE(Exists(L"D000000002.jpg"));
    EXPECT_EQ(frame->m_nCurrentSlot, 1);
    preview->OnCommand(CMD_DELETE_LAST_PICTURE, 0);
    preview->OnCommand(CMD_DELETE_LAST_PICTURE, 0);
    EXPECT_FALSE(Exists(L"D000000001.jpg"));
    EXPECT_EQ(frame->m_nCurrentSlot, 0);
}

TEST_F(PreviewCameraTest, TouchBarSendsACommandOnlyForAReleaseOnThePressedButton)
{
    struct Step {
        char what;  // d down, m move, u up
        int x, y;
    };
    struct Case {
        const char* name;
        DWORD singleMulti;
        bool picture;
        int capturePending;
        std::vector<Step> steps;
        std::string command;  // the log line the command leaves, empty for none
    };
    const Case cases[] = {
        {"single settings", 1, false, 0, {{'d', 370, 200}, {'u', 370, 200}}, "CDShowControl::StopGraph(0)"},
        {"slide off", 1, false, 0, {{'d', 370, 200}, {'m', 370, 100}, {'u', 370, 100}}, ""},
        {"slide off and back", 1, false, 0, {{'d', 370, 200}, {'m', 100, 100}, {'m', 370, 200}, {'u', 370, 200}},
         "CDShowControl::StopGraph(0)"},
        {"capture pending", 1, false, 1, {{'d', 370, 200}, {'u', 370, 200}}, ""},
        {"series delete without picture", 0, false, 0, {{'d', 380, 200}, {'u', 380, 200}}, ""},
        {"series recognise without picture", 0, false, 0, {{'d', 380, 150}, {'u', 380, 150}}, ""},
        {"series recognise", 0, true, 0, {{'d', 380, 150}, {'u', 380, 150}}, "CCameraControl::SetState(16)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        frame->m_options.singleMultiMode = c.singleMulti;
        frame->FreeSlot(0);
        frame->m_nCurrentSlot = 0;
        if (c.picture) {
            Picture(0, L"B000000009.jpg");
            frame->m_nCurrentSlot = 1;
        }
        preview->m_bCapturePending = c.capturePending;
        preview->ResetState();
        doubles::Clear();
        for (const Step& s : c.steps) {
            const POINT p{s.x, s.y};
            if (s.what == 'd')
                preview->OnLButtonDown(p, 0);
            else if (s.what == 'm')
                preview->OnMouseMove(p, 0);
            else
                preview->OnLButtonUp(p, 0);
        }
        if (c.command.empty()) {
            EXPECT_TRUE(Calls("CDShowControl").empty());
            EXPECT_TRUE(Calls("CCameraControl::SetState").empty());
        } else {
            EXPECT_TRUE(Called(c.command));
        }
        EXPECT_EQ(preview->SinglePressed(), 0);
        EXPECT_EQ(preview->MultiPressed(), 0);
    }
}

// A shot handed on to the recognition, then the preview again: the bar works
// and the shot's pending text is gone.
TEST_F(PreviewCameraTest, TheBarTakesTouchesAgainOnceThePreviewIsBackAfterAShot)
{
    SetFreeKB(100000);
    preview->OnKeyDown(window, VK_FULL_SHUTTER, 0);
    ASSERT_TRUE(Called("CCameraControl::CameraCapture()"));
    preview->OnKeyUp(window, VK_FULL_SHUTTER, 0);
    preview->m_bShotPending = 1;  // as the review left it
    preview->OnCommand(CMD_PREVIEW_STARTED, 0);
    EXPECT_EQ(preview->m_bShotPending, 0);
    const POINT modeSwitch{374, 72};
    preview->OnLButtonDown(modeSwitch, 0);
    preview->OnLButtonUp(modeSwitch, 0);
    EXPECT_EQ(frame->m_options.bcrOcrMode, 0u) << "the card/document switch";
}

TEST_F(PreviewCameraTest, UpsideDownTouchesAreTurnedHalfATurn)
{
    SetOrientation(DMDO_90);
    frame->m_options.singleMultiMode = 1;
    // (1, 1) turned is (399, 239): the fifth button.
    preview->OnLButtonDown(POINT{1, 1}, 0);
    EXPECT_EQ(preview->SinglePressed(), 5);
    EXPECT_EQ(preview->SingleState(5), BAR_PRESSED);
    preview->OnLButtonUp(POINT{1, 1}, 0);
    EXPECT_TRUE(Called("CDShowControl::StopGraph(0)"));
}

TEST_F(PreviewCameraTest, SeriesButtonsLookDisabledUntilTheSetHoldsAPicture)
{
    frame->m_options.singleMultiMode = 0;
    Paint([&](CDrawContext* dc) { preview->DrawLayer1(dc); });
    EXPECT_EQ(preview->MultiState(3), BAR_DISABLED);
    EXPECT_EQ(preview->MultiState(4), BAR_DISABLED);
    EXPECT_EQ(preview->MultiState(2), BAR_NORMAL);
    Picture(0, L"B000000003.jpg");
    frame->m_bStorageFull = 1;
    Paint([&](CDrawContext* dc) { preview->DrawLayer1(dc); });
    EXPECT_EQ(preview->MultiState(3), BAR_NORMAL);
    EXPECT_EQ(preview->MultiState(4), BAR_NORMAL);
    EXPECT_EQ(preview->MultiState(2), BAR_DISABLED);
}

TEST_F(PreviewCameraTest, PopupButtonsRunTheFramesActions)
{
    const struct {
        int style;
        POINT down, up;
        const char* action;
    } cases[] = {
        {2, {150, 170}, {150, 170}, "CMainFrame::ProcessPopupLBtn()"},
        {2, {250, 170}, {250, 170}, "CMainFrame::ProcessPopupRBtn()"},
        {1, {200, 170}, {200, 170}, "CMainFrame::ProcessPopupOkBtn()"},
        {2, {150, 170}, {150, 100}, nullptr},
        {1, {200, 100}, {200, 170}, nullptr},
    };
    for (const auto& c : cases) {
        frame->m_bPopupShown = 1;
        frame->m_nPopupType = POPUP_SMS;
        frame->m_nPopupButtonStyle = c.style;
        doubles::Clear();
        preview->OnLButtonDown(c.down, 0);
        preview->OnLButtonUp(c.up, 0);
        EXPECT_EQ(Calls("CMainFrame::ProcessPopup").size(), c.action ? 1u : 0u);
        if (c.action) {
            EXPECT_TRUE(Called(c.action));
        }
        EXPECT_EQ(frame->m_bPopupLeftPressed + frame->m_bPopupRightPressed + frame->m_bPopupCenterPressed, 0);
    }
}

TEST_F(PreviewCameraTest, ALongPopupLineIsCutToTwentyTwoCharacters)
{
    frame->m_nPopupType = POPUP_LOW_STORAGE;
    frame->m_nPopupButtonStyle = 1;
    std::wcscpy(frame->m_szPopupText1, L"There is not enough free storage for a picture.");
    std::wcscpy(frame->m_szPopupText2, L"Short");
    Painted p = Paint([&](CDrawContext* dc) { preview->DrawLayer2(dc); });
    EXPECT_STREQ(frame->m_szPopupText1, L"There is not enough fr...");
    bool seen = false;
    for (const plat::TextCall& t : p.texts)
        seen = seen || (t.text == L"There is not enough fr..." && t.at.x == 200 && t.at.y == 104);
    EXPECT_TRUE(seen);
    // A line that fits stays whole.
    std::wcscpy(frame->m_szPopupText1, L"Too dark");
    Paint([&](CDrawContext* dc) { preview->DrawLayer2(dc); });
    EXPECT_STREQ(frame->m_szPopupText1, L"Too dark");
}

TEST_F(PreviewCameraTest, NoticeLinesAreCentredInTheBoxOneBlankHeightApart)
{
    CreateDirectoryW(L"\\Windows", nullptr);
    const char table[] = "252\tcard\\nwith\\nfocus\n261\tcard frame\n260\tdocument\n";
    HANDLE file = CreateFileW(L"\\Windows\\Notice.mui", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, table, sizeof table - 1, &written, nullptr);
    CloseHandle(file);
    HMODULE texts = LoadLibraryW(L"\\Windows\\Notice.mui");
    ASSERT_NE(texts, nullptr);
    CLayoutManager::GetInstance()->SetResource(texts);

    const struct {
        DWORD card, autoFocus;
        std::vector<std::wstring> lines;
    } cases[] = {{1, 1, {L"card", L"with", L"focus"}}, {1, 0, {L"card frame"}}, {0, 1, {L"document"}}};
    for (const auto& c : cases) {
        frame->m_options.bcrOcrMode = c.card;
        frame->m_options.enableAutoFocus = c.autoFocus;
        frame->m_nFocusIndicator = 7;  // no indicator image
        preview->SetModeNotice(TRUE);
        Painted p = Paint([&](CDrawContext* dc) { preview->DrawLayer0(dc); });
        ASSERT_EQ(p.texts.size(), c.lines.size());
        const int n = static_cast<int>(c.lines.size());
        const int height = n > 1 ? p.texts[1].at.y - p.texts[0].at.y : 0;
        for (int i = 0; i < n; ++i) {
            EXPECT_EQ(p.texts[i].text, c.lines[i]);
            EXPECT_EQ(p.texts[i].at.x, 174);
            EXPECT_EQ(p.texts[i].colour, static_cast<COLORREF>(0x0AF5FA));
            if (i > 0) {
                EXPECT_EQ(p.texts[i].at.y - p.texts[i - 1].at.y, height);
            }
        }
        if (n == 3) {
            // As much room above the first line as below the last one.
            EXPECT_GT(height, 0);
            EXPECT_LE(std::abs((p.texts[0].at.y - 55) - (185 - (p.texts[2].at.y + height))), 1);
        }
    }
    preview->SetModeNotice(FALSE);
    EXPECT_TRUE(Paint([&](CDrawContext* dc) { preview->DrawLayer0(dc); }).texts.empty());
    CLayoutManager::GetInstance()->SetResource(nullptr);
    FreeLibrary(texts);
}

TEST_F(PreviewCameraTest, TheShippedNoticesFitTheirBox)
{
    CreateDirectoryW(L"\\Windows", nullptr);
    for (const char* language : {"0409", "0407"}) {
        SCOPED_TRACE(language);
        const std::string name = std::string("LumOCR.exe.") + language + ".mui";
        const std::wstring device = L"\\Windows\\" + std::wstring(name.begin(), name.end());
        auto host = plat::MapDevicePath(device.c_str());
        ASSERT_TRUE(host);
        std::filesystem::copy_file(std::filesystem::path(LUM_SOURCE_DIR) / "resources" / "strings" / name, *host,
                                   std::filesystem::copy_options::overwrite_existing);
        HMODULE texts = LoadLibraryW(device.c_str());
        ASSERT_NE(texts, nullptr);
        CLayoutManager::GetInstance()->SetResource(texts);
        for (const DWORD card : {1u, 0u})
            for (const DWORD autoFocus : {1u, 0u}) {
                frame->m_options.bcrOcrMode = card;
                frame->m_options.enableAutoFocus = autoFocus;
                frame->m_nFocusIndicator = 7;
                preview->SetModeNotice(TRUE);
                Painted p = Paint([&](CDrawContext* dc) { preview->DrawLayer0(dc); });
                ASSERT_FALSE(p.texts.empty()) << "card " << card << ", auto focus " << autoFocus;
                for (const plat::TextCall& t : p.texts) {
                    const std::string line(t.text.begin(), t.text.end());
                    EXPECT_GE(t.box.left, 39) << line;
                    EXPECT_LE(t.box.right, 309) << line;
                    EXPECT_GE(t.box.top, 55) << line;
                    EXPECT_LE(t.box.bottom, 185) << line;
                }
            }
        CLayoutManager::GetInstance()->SetResource(nullptr);
        FreeLibrary(texts);
    }
}

}  // namespace
