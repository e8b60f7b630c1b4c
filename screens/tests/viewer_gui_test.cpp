#include "viewer_gui.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "ce_container.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "plat/clock.h"
#include "preview_doubles.h"
#include "rot_bitmap.h"
#include "settings.h"

namespace {

namespace fs = std::filesystem;

class ViewerTest : public PeripheryFixture {
protected:
    // n pictures no decoder reads: the viewer's logic without decoding.
    void PutFiles(int n)
    {
        for (int i = 0; i < n; ++i)
            PutBroken("PIC" + std::to_string(1000 + i) + ".jpg");
    }
    CViewerGUI* Open()
    {
        CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
        CViewerGUI* viewer = CViewerGUI::GetInstance();
        viewer->OnOpen();
        return viewer;
    }
    static bool Called(const std::string& call)
    {
        const auto& calls = doubles::Calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    // The next WM_MAIN_COMMAND waiting in this thread's queue, or 0.
    static DWORD PostedCommand()
    {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_MAIN_COMMAND)
                return static_cast<DWORD>(msg.wParam);
            DispatchMessageW(&msg);
        }
        return 0;
    }
    // The texts the details panel draws.
    std::vector<std::wstring> DetailLines(CViewerGUI* viewer)
    {
        Canvas canvas(400, 240, 0);
        plat::RecordTextCalls(canvas.dc, true);
        CDrawContext dc = LayoutContext(canvas.dc);
        viewer->DrawFileInformation(&dc);
        std::vector<std::wstring> lines;
        for (const plat::TextCall& call : plat::RecordedTextCalls(canvas.dc))
            lines.push_back(call.text);
        return lines;
    }
};

TEST(ViewerScale, EachCoordinateTruncatedTowardZero)
{
    RECT r{-5, 3, 7, -9};
    ScaleRect(&r, 1.5);
    EXPECT_EQ(r.left, -7);
    EXPECT_EQ(r.top, 4);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.bottom, -13);
    ScaleRect(nullptr, 2.0);
}

TEST_F(ViewerTest, OpensOverTheCameraAndGoesBackToIt)
{
    PutFiles(3);
    CViewerGUI* viewer = Open();
    CSettings* settings = CSettings::GetInstance();
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_VIEWER));
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_EQ(viewer->ReturnScreen(), static_cast<int>(GUI_STATUS_CAMERA));
    EXPECT_TRUE(Called("CCameraControl::StopPreview()"));
    EXPECT_EQ(settings->GetActiveGUI(), viewer);

    viewer->OnCommand(0x10006, 0);
    EXPECT_FALSE(viewer->IsOpen());
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_FALSE(settings->IsGUIStatus(GUI_STATUS_VIEWER));
    EXPECT_TRUE(settings->IsGUIStatus(GUI_STATUS_NOTICE));
    EXPECT_TRUE(Called("CCommonControl::SetGraphMode(0)"));
    // A second close (the thumbnail screen closes the viewer too) changes nothing.
    doubles::Clear();
    viewer->OnClose();
    EXPECT_FALSE(Called("CCommonControl::SetGraphMode(0)"));
}

TEST_F(ViewerTest, StepsWrapAndTheArrowsStepTheOtherWay)
{
    PutFiles(3);
    CViewerGUI* viewer = Open();
    CImageFileList* list = CImageFileList::GetInstance();
    struct Step {
        bool key;
        UINT what;
        int index;
    } steps[] = {
        {false, CMD_VIEWER_NEXT, 1}, {false, CMD_VIEWER_NEXT, 2}, {false, CMD_VIEWER_NEXT, 0},
        {false, CMD_VIEWER_PREV, 2}, {true, VK_LEFT, 0},         {true, VK_RIGHT, 2},
        {true, VK_UP, 2},  // no vertical step out of zoom
    };
    for (const Step& s : steps) {
        if (s.key)
            viewer->OnKeyUp(nullptr, s.what, 0);
        else
            viewer->OnCommand(s.what, 0);
        EXPECT_EQ(list->GetCurrentIndex(), s.index) << s.what;
    }
}

TEST_F(ViewerTest, PreviousAndNextOnlyWithMoreThanOneEntry)
{
    PutFiles(1);
    CViewerGUI* viewer = Open();
    EXPECT_FALSE(viewer->IsButtonShown(kViewerPrev));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerNext));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerLeave));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerDetailsButton));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerPlay));
    viewer->OnCommand(CMD_VIEWER_NEXT, 0);
    EXPECT_EQ(CImageFileList::GetInstance()->GetCurrentIndex(), 0);
    viewer->OnCommand(0x10006, 0);

    PutBroken("PIC2000.jpg");
    viewer = Open();
    EXPECT_TRUE(viewer->IsButtonShown(kViewerPrev));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerNext));
}

TEST_F(ViewerTest, ZoomStepsByOneUpToEightAndBackToNormal)
{
    PutPicture("PIC0001.jpg", 640, 480, RGB(200, 40, 40));
    CViewerGUI* viewer = Open();
    ASSERT_NE(viewer->Picture(), nullptr);
    struct Step {
        UINT key;
        int mode;
        double factor;
    } steps[] = {
        {118, 1, 2.0}, {118, 1, 3.0}, {117, 1, 2.0}, {117, 0, 1.0},
        {118, 1, 2.0}, {118, 1, 3.0}, {118, 1, 4.0}, {118, 1, 5.0},
        {118, 1, 6.0}, {118, 1, 7.0}, {118, 1, 8.0}, {118, 1, 8.0},  // stops at 8
    };
    for (const Step& s : steps) {
        viewer->OnKeyDown(nullptr, s.key, 0);
        EXPECT_EQ(viewer->ZoomMode(), s.mode) << s.key << " to " << s.factor;
        EXPECT_DOUBLE_EQ(viewer->ZoomFactor(), s.factor) << s.key;
    }
    const RECT& nav = viewer->NavigatorBox();
    EXPECT_EQ(nav.left, 9);
    EXPECT_EQ(nav.bottom, 240 - 9);
    EXPECT_EQ(nav.right - nav.left, 150);
    EXPECT_EQ(nav.bottom - nav.top, 56);
    // Out of zoom, the zoom-out key opens the thumbnails.
    while (viewer->ZoomMode())
        viewer->OnKeyDown(nullptr, 117, 0);
    viewer->OnKeyDown(nullptr, 117, 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
}

// After a turn the held picture, and any the list kept, are made again for
// the turned display; the layout size stays.
TEST_F(ViewerTest, ATurnMakesThePicturesAgainForTheTurnedDisplay)
{
    PutPicture("PIC0001.jpg", 640, 480, RGB(200, 40, 40));
    PutPicture("PIC0002.jpg", 640, 480, RGB(40, 40, 200));
    auto stored = [](CRotBitmap* picture) {
        BITMAP bm{};
        GetObjectW(picture->Handle(), sizeof bm, &bm);
        return SIZE{bm.bmWidth, std::abs(bm.bmHeight)};
    };
    CViewerGUI* viewer = Open();
    CImageFileList* list = CImageFileList::GetInstance();
    list->MakeThumbnail(1 - list->GetCurrentIndex());  // kept by the list
    ASSERT_NE(viewer->Picture(), nullptr);
    const SIZE upright = stored(viewer->Picture());
    const SIZE layout = viewer->Picture()->GetSize();
    ASSERT_GT(upright.cx, upright.cy);
    for (DWORD code : {DMDO_0, DMDO_270}) {
        SCOPED_TRACE(code);
        SetOrientation(code);
        viewer->LoadResource();
        const SIZE want = code == DMDO_0 ? SIZE{upright.cy, upright.cx} : upright;
        for (int step = 0; step < 2; ++step) {
            ASSERT_NE(viewer->Picture(), nullptr);
            const SIZE now = stored(viewer->Picture());
            EXPECT_EQ(now.cx, want.cx) << "step " << step;
            EXPECT_EQ(now.cy, want.cy) << "step " << step;
            EXPECT_EQ(viewer->Picture()->GetSize().cx, layout.cx);
            viewer->OnCommand(CMD_VIEWER_NEXT, 0);
        }
    }
}

TEST_F(ViewerTest, ADragOfAThirdSnapsBackALongerOneSteps)
{
    PutFiles(3);
    CViewerGUI* viewer = Open();
    CImageFileList* list = CImageFileList::GetInstance();
    auto drag = [&](int from, int to) {
        viewer->OnCommand(CMD_TOUCH_EMPTY, static_cast<DWORD>(from) | (120u << 16));
        EXPECT_TRUE(viewer->IsDragging());
        viewer->OnMouseMove(POINT{(from + to) / 2, 120}, 0);
        viewer->OnMouseMove(POINT{to, 120}, 0);
        viewer->OnLButtonUp(POINT{to, 120}, 0);
        EXPECT_FALSE(viewer->IsDragging());
    };
    struct Case {
        int from, to, index;
    } cases[] = {
        {300, 300 - 133, 0},  // a third of 400: back to the same picture
        {300, 300 - 134, 1},  // dragged left: forward
        {100, 100 + 134, 0},  // dragged right: back
        {100, 100 + 133, 0},
    };
    for (const Case& c : cases) {
        drag(c.from, c.to);
        EXPECT_EQ(list->GetCurrentIndex(), c.index) << c.from << " to " << c.to;
    }
    // No drag while the details are shown.
    viewer->OnCommand(CMD_VIEWER_DETAILS, 0);
    viewer->OnCommand(CMD_TOUCH_EMPTY, 300u | (120u << 16));
    EXPECT_FALSE(viewer->IsDragging());
}

TEST_F(ViewerTest, DeletingTheLastShotOfASeriesClosesTheViewer)
{
    PutFiles(3);
    doubles::State().shotCount = 2;
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_REVIEW_MULTI);
    CViewerGUI* viewer = Open();
    ASSERT_TRUE(viewer->FromSeries());
    EXPECT_EQ(viewer->ShotCount(), 2);
    viewer->OnCommand(CMD_VIEWER_NEXT, 0);
    viewer->OnCommand(CMD_VIEWER_NEXT, 0);
    EXPECT_EQ(viewer->ShotIndex(), 0);  // two shots wrap
    viewer->OnCommand(CMD_VIEWER_DELETE, 0);
    EXPECT_TRUE(viewer->IsOpen());
    EXPECT_EQ(viewer->ShotCount(), 1);
    EXPECT_FALSE(viewer->IsButtonShown(kViewerNext));
    viewer->OnCommand(CMD_VIEWER_DELETE, 0);
    EXPECT_FALSE(viewer->IsOpen());
    EXPECT_EQ(CImageFileList::GetInstance()->GetCount(), 1);  // the picture before the series stays
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_REVIEW_MULTI));
    EXPECT_TRUE(Called("CShotControl::ReleaseShots()"));
}

TEST_F(ViewerTest, NoFilesShowsForTheTimeThenTheViewerLeaves)
{
    CViewerGUI* viewer = Open();
    EXPECT_TRUE(viewer->ShowsNoFiles());
    EXPECT_EQ(viewer->Root()->m_nState, CE_DISABLED);
    EXPECT_EQ(PostedCommand(), 0u);  // nothing leaves before the time is up
    plat::AdvanceClock(1499);
    EXPECT_EQ(PostedCommand(), 0u);
    EXPECT_TRUE(viewer->ShowsNoFiles());
    plat::AdvanceClock(1);
    EXPECT_EQ(PostedCommand(), 0x10006u);
    EXPECT_FALSE(viewer->ShowsNoFiles());
    EXPECT_EQ(viewer->Root()->m_nState, CE_NORMAL);
    viewer->OnCommand(0x10006, 0);
    EXPECT_FALSE(viewer->IsOpen());
}

TEST_F(ViewerTest, DetailsOfAVanishedFileStopAfterTheFormatAndCreateNothing)
{
    const std::string path = PutBroken("PIC0001.jpg");
    CViewerGUI* viewer = Open();
    std::vector<std::wstring> lines = DetailLines(viewer);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], L"File Details");
    EXPECT_EQ(lines[1], L"File Name: PIC0001.jpg");
    EXPECT_EQ(lines[2], L"Format: JPEG");
    EXPECT_EQ(lines[3], L"File Size: 0 K");
    EXPECT_EQ(lines[4], L"Forwarding: Possible");
    // Minutes always have two digits.
    EXPECT_THAT(std::string(lines[5].begin(), lines[5].end()),
                testing::MatchesRegex("Date & Time: [0-9]{2} [A-Z][a-z]{2}, [0-9]{4} [0-9]{1,2}:[0-9]{2}"));

    fs::remove(path);
    lines = DetailLines(viewer);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], L"Format: JPEG");
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(ViewerTest, EnterPlaysAVideoInPlaceAndPausesIt)
{
    PutBroken("QVT0001.3gp");
    CViewerGUI* viewer = Open();
    EXPECT_TRUE(viewer->IsButtonShown(kViewerPlay));
    viewer->OnKeyUp(nullptr, VK_RETURN, 0);
    ASSERT_EQ(PostedCommand(), CMD_MOVIE_PLAY);
    viewer->OnCommand(CMD_MOVIE_PLAY, 0);
    EXPECT_TRUE(Called("CPlayerControl::Play()"));
    EXPECT_TRUE(Called("CPlayerControl::SetFrameSink(screen)"));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerPlay));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerPause));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerLeave));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerDetailsButton));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerNext));
    viewer->OnKeyUp(nullptr, VK_RETURN, 0);
    ASSERT_EQ(PostedCommand(), CMD_VIEWER_PAUSE);
    viewer->OnCommand(CMD_VIEWER_PAUSE, 0);
    EXPECT_TRUE(Called("CPlayerControl::Pause()"));
    viewer->OnCommand(CMD_MOVIE_STOPED, 0);
    EXPECT_TRUE(Called("CPlayerControl::SetFrameSink(none)"));
    EXPECT_TRUE(viewer->IsButtonShown(kViewerPlay));
    EXPECT_FALSE(viewer->IsButtonShown(kViewerPause));

    // A video that does not open leaves the buttons as they were.
    screens_test::Capture().playerOpen = E_FAIL;
    viewer->OnCommand(CMD_MOVIE_PLAY, 0);
    EXPECT_TRUE(viewer->IsButtonShown(kViewerPlay));
    screens_test::Capture().playerOpen = S_OK;
}

}  // namespace
