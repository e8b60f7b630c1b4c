// The viewer, the two review screens and the camcorder preview as the panel
// shows them, at display codes 4 and 0, probed at their parts.
#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <memory>
#include <vector>

#include "camcorder_control.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "main_frame.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "plat/module.h"
#include "plat/screen.h"
#include "preview_doubles.h"
#include "settings.h"
#include "shot_control.h"

namespace {

namespace fs = std::filesystem;

constexpr COLORREF kTopLeft = RGB(200, 40, 40), kTopRight = RGB(40, 200, 40);
constexpr COLORREF kBottomLeft = RGB(40, 40, 200), kBottomRight = RGB(232, 232, 232);

COLORREF QuadrantColour(int x, int y, int w, int h)
{
    if (y < h / 2)
        return x < w / 2 ? kTopLeft : kTopRight;
    return x < w / 2 ? kBottomLeft : kBottomRight;
}

// Some pixel of the colour inside the area, at each display code (glyphs
// land a pixel apart when turned).
bool AnyIn(const look::Result& r, const RECT& area, COLORREF colour)
{
    bool at4 = false, at0 = false;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            at4 = at4 || look::Near(r.At4(x, y), colour);
            at0 = at0 || look::Near(r.At0(x, y), colour);
        }
    return at4 && at0;
}

// Pixels of the composed screens that show the primary's pattern.
int PatternPixels(const look::Result& r)
{
    int n = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 400; ++x)
            for (COLORREF c : {r.At4(x, y), r.At0(x, y)})
                n += c == look::Pattern(0, 0) || c == look::Pattern(8, 0);
    return n;
}

COLORREF Mid(COLORREF a, COLORREF b)
{
    return RGB((GetRValue(a) + GetRValue(b)) / 2, (GetGValue(a) + GetGValue(b)) / 2, (GetBValue(a) + GetBValue(b)) / 2);
}

// A 640 x 480 picture in four coloured quarters in the first DCF folder.
void PutQuarters(const fs::path& root, const std::string& name)
{
    const fs::path dir = root / "My Documents" / "KVIM" / "100QZPIX";
    fs::create_directories(dir);
    plat::ScreenImage image{640, 480, std::vector<COLORREF>(640 * 480)};
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            image.pixels[static_cast<size_t>(y * 640 + x)] = QuadrantColour(x, y, 640, 480);
    ASSERT_TRUE(plat::WritePng(dir / name, image));
}

// A fresh viewer at each display code: pictures are kept turned for it.
CViewerGUI* OpenViewer()
{
    CImageFileList* list = CImageFileList::GetInstance();
    for (int i = 0; i < list->GetCount(); ++i)
        list->ReleaseThumbnail(i);
    CViewerGUI::ReleaseInstance();
    CSettings::GetInstance()->RemoveGUIStatus(GUI_STATUS_VIEWER);
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
    CViewerGUI* viewer = CViewerGUI::GetInstance();
    // The quarters, whichever the list found newest.
    list->Scan();
    for (int i = 0; i < list->GetCount(); ++i)
        if (list->GetPath(i).find(L"PIC0001") != std::wstring::npos)
            list->SetCurrent(i);
    viewer->OnOpen();
    return viewer;
}

void Paint(CViewerGUI* viewer, CDrawContext& dc)
{
    viewer->DrawLayer0(&dc);
    viewer->DrawLayer1(&dc);
    viewer->DrawLayer2(&dc);
}

TEST_F(PeripheryLook, Viewer)
{
    PutQuarters(root.path(), "PIC0001.jpg");
    PutPicture("PIC0002.jpg", 320, 240, RGB(40, 40, 200));
    look::Result r = look::Run("viewer", window, [&](CDrawContext& dc) { Paint(OpenViewer(), dc); });
    EXPECT_EQ(r.farPixels, 0);
    // The picture fitted into the screen: 320 x 240 from x = 40, black beside it.
    ExpectColour(r, 120, 60, kTopLeft);
    ExpectColour(r, 280, 60, kTopRight);
    ExpectColour(r, 120, 180, kBottomLeft);
    ExpectColour(r, 280, 180, kBottomRight);
    ExpectColour(r, 20, 120, RGB(0, 0, 0));
    ExpectImageAt(r, 11010, 380, 24);
    ExpectImageAt(r, 11012, 380, 72);
    ExpectImageAt(r, 11018, 380, 168);
    ExpectImageAt(r, 11020, 380, 216);
    EXPECT_EQ(PatternPixels(r), 0);
}

TEST_F(PeripheryLook, ViewerDetails)
{
    PutQuarters(root.path(), "PIC0001.jpg");
    look::Result r = look::Run("viewer-details", window, [&](CDrawContext& dc) {
        CViewerGUI* viewer = OpenViewer();
        viewer->OnCommand(CMD_VIEWER_DETAILS, 0);
        Paint(viewer, dc);
    });
    EXPECT_EQ(r.farPixels, 0);
    const COLORREF panel = centres[11022];
    // Half the panel, half what lies under it, away from the texts.
    ExpectColour(r, 330, 220, Mid(panel, kBottomRight));
    ExpectColour(r, 60, 220, Mid(panel, kBottomLeft));
    ExpectColour(r, 20, 220, Mid(panel, RGB(0, 0, 0)));
    EXPECT_EQ(PatternPixels(r), 0);
}

TEST_F(PeripheryLook, ViewerZoom)
{
    PutQuarters(root.path(), "PIC0001.jpg");
    look::Result r = look::Run("viewer-zoom", window, [&](CDrawContext& dc) {
        CViewerGUI* viewer = OpenViewer();
        viewer->OnKeyDown(nullptr, 118, 0);
        Paint(viewer, dc);
    });
    EXPECT_EQ(r.farPixels, 0);
    // Twice as large about the centre: the quarters meet at (200, 120) and
    // fill the whole screen; the side buttons give way to the navigator.
    ExpectColour(r, 20, 40, kTopLeft);
    ExpectColour(r, 380, 40, kTopRight);
    ExpectColour(r, 190, 230, kBottomLeft);
    ExpectColour(r, 210, 110, kTopRight);
    ExpectColour(r, 380, 200, kBottomRight);
    ExpectColour(r, 9, 200, RGB(255, 255, 255));  // the navigator's frame
    EXPECT_EQ(PatternPixels(r), 0);
}

TEST_F(PeripheryLook, MultiReview)
{
    doubles::State().shotCount = 3;
    std::unique_ptr<FlatShot> shot;
    look::Result r = look::Run("multi-review", window, [&](CDrawContext& dc) {
        shot = std::make_unique<FlatShot>(L"B261210003.jpg", kBottomLeft, 320, 240);  // made at the code it is drawn at
        screens_test::Capture().lastShot = shot.get();
        CReviewMultiCapturedGUI::ReleaseInstance();  // its fonts are made turned at code 0
        CReviewMultiCapturedGUI* screen = CReviewMultiCapturedGUI::GetInstance();
        screen->DrawLayer0(&dc);
        screen->DrawLayer1(&dc);
    });
    screens_test::Capture().lastShot = nullptr;
    CReviewMultiCapturedGUI::ReleaseInstance();
    EXPECT_EQ(r.farPixels, 0);
    ExpectColour(r, 200, 200, kBottomLeft);
    ExpectColour(r, 20, 120, RGB(0, 0, 0));
    ExpectColour(r, 380, 120, RGB(0, 0, 0));
    // The caption starts at (50, 9) in white.
    EXPECT_TRUE(AnyIn(r, RECT{50, 9, 120, 26}, RGB(255, 255, 255)));
}

TEST_F(PeripheryLook, Movie)
{
    look::Result r = look::Run("movie", window, [&](CDrawContext& dc) {
        CReviewMovieGUI::ReleaseInstance();
        CReviewMovieGUI* screen = CReviewMovieGUI::GetInstance();
        screen->OnOpen();
        // A played frame in four quarters, RGB565 as the player gives it.
        std::vector<WORD> frame(320 * 240);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                const COLORREF c = QuadrantColour(x, y, 320, 240);
                frame[static_cast<size_t>(y * 320 + x)] =
                    static_cast<WORD>((GetRValue(c) >> 3) << 11 | (GetGValue(c) >> 2) << 5 | GetBValue(c) >> 3);
            }
        screen->OnPlayerFrame(frame.data(), static_cast<DWORD>(frame.size() * 2), 320, 240);
        screen->DrawLayer0(&dc);
        screen->DrawLayer2(&dc);
    });
    CReviewMovieGUI::ReleaseInstance();
    EXPECT_EQ(r.farPixels, 0);
    ExpectColour(r, 120, 60, kTopLeft);
    ExpectColour(r, 280, 60, kTopRight);
    ExpectColour(r, 120, 180, kBottomLeft);
    ExpectColour(r, 280, 180, kBottomRight);
}

const plat::StringResource kRec[] = {{1036, L"REC"}};

TEST_F(PeripheryLook, Camcorder)
{
    plat::SetProgramStrings(kRec, std::size(kRec));
    // Series counter and card guide (the camera's) stay off the indicator.
    CMainFrame::GetInstance()->m_options.singleMultiMode = 1;
    CMainFrame::GetInstance()->m_options.bcrOcrMode = 0;
    screens_test::Capture().recordedSeconds = 3724;
    look::Result r = look::Run("camcorder", window, [&](CDrawContext& dc) {
        CPreviewCamcorderGUI::ReleaseInstance();
        CPreviewCamcorderGUI* screen = CPreviewCamcorderGUI::GetInstance();
        screen->OnCommand(CMD_RECORDING_STARTED, 0);
        screen->DrawLayer0(&dc);
        screen->DrawLayer1(&dc);
        screen->DrawLayer2(&dc);
    });
    CPreviewCamcorderGUI::ReleaseInstance();
    EXPECT_EQ(r.farPixels, 0);
    const RECT& dot = CPreviewCamcorderGUI::IndicatorRect();
    ExpectImageAt(r, 11040, (dot.left + dot.right) / 2, (dot.top + dot.bottom) / 2);
    ExpectImageAt(r, 11046, 380, 216);
    // The camera's picture shows around the controls.
    ExpectColour(r, 200, 120, look::Pattern(200, 120));
    // "REC" in red from (66, 6).
    EXPECT_TRUE(AnyIn(r, RECT{66, 6, 100, 24}, RGB(255, 0, 0)));
    EXPECT_TRUE(AnyIn(r, RECT{105, 6, 170, 24}, RGB(255, 255, 255)));
}

}  // namespace
