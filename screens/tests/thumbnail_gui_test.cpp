#include "thumbnail_gui.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "ce_container.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "message_popup_gui.h"
#include "neighbour_doubles.h"
#include "periphery_fixture.h"
#include "settings.h"

namespace {

namespace fs = std::filesystem;

CThumbnailGUI* Open()
{
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_CAMERA);
    CThumbnailGUI* screen = CThumbnailGUI::GetInstance();
    screen->OnOpen();
    return screen;
}

POINT Centre(int cell)
{
    const RECT& r = CThumbnailGUI::CellRect(cell);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class ThumbnailTest : public PeripheryFixture {
protected:
    // n pictures no decoder reads: the grid's logic without decoding.
    void PutFiles(int n)
    {
        for (int i = 0; i < n; ++i)
            PutBroken("PIC" + std::to_string(1000 + i) + ".jpg");
    }
    static void Key(CThumbnailGUI* screen, UINT key) { screen->OnKeyDown(nullptr, key, 0); }
};

TEST(ThumbnailFit, StandardSizesFillTheCellOthersKeepTheirAspect)
{
    const RECT cell = CThumbnailGUI::CellRect(4);  // (147, 81)-(253, 160)
    struct Case {
        SIZE picture;
        RECT drawn;
    } cases[] = {
        {{640, 480}, cell},
        {{176, 144}, cell},
        {{2560, 1920}, cell},
        {{500, 500}, {147 + 13, 81, 253 - 14, 160}},  // 79 x 79: 13 black columns left, 14 right
        {{180, 240}, {147 + 23, 81, 147 + 23 + 59, 160}},
        {{400, 100}, {147, 81 + 26, 253, 81 + 26 + 26}},  // wide: the full width, centred up and down
    };
    for (const Case& c : cases) {
        const RECT r = CThumbnailGUI::FitInCell(cell, c.picture);
        EXPECT_EQ(r.left, c.drawn.left) << c.picture.cx << "x" << c.picture.cy;
        EXPECT_EQ(r.top, c.drawn.top) << c.picture.cx << "x" << c.picture.cy;
        EXPECT_EQ(r.right, c.drawn.right) << c.picture.cx << "x" << c.picture.cy;
        EXPECT_EQ(r.bottom, c.drawn.bottom) << c.picture.cx << "x" << c.picture.cy;
    }
}

TEST_F(ThumbnailTest, TenPicturesScrollOneRowToSevenCells)
{
    PutFiles(10);
    CThumbnailGUI* screen = Open();
    EXPECT_EQ(screen->Total(), 10);
    EXPECT_EQ(screen->VisibleCount(), 9);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAMERA));
    EXPECT_NE(std::find(doubles::Calls().begin(), doubles::Calls().end(), "CCameraControl::StopPreview()"),
              doubles::Calls().end());

    struct Step {
        UINT key;
        int cell, row, visible;
    } steps[] = {
        {VK_LEFT, 0, 0, 9},    // nothing before the first
        {VK_UP, 0, 0, 9},
        {VK_DOWN, 3, 0, 9},
        {VK_DOWN, 6, 0, 9},
        {VK_RIGHT, 7, 0, 9},
        {VK_DOWN, 6, 1, 7},    // one row down: rows 2 to 4, 10 - 3 cells; the frame stays on a picture
        {VK_DOWN, 6, 1, 7},    // the last row: the last cell
        {VK_RIGHT, 6, 1, 7},   // nothing after the last picture
        {VK_UP, 3, 1, 7},
        {VK_UP, 0, 1, 7},
        {VK_UP, 0, 0, 9},      // scrolls back
        {VK_RIGHT, 1, 0, 9},
    };
    for (const Step& s : steps) {
        Key(screen, s.key);
        EXPECT_EQ(screen->CurrentCell(), s.cell) << "key " << s.key;
        EXPECT_EQ(screen->FirstRow(), s.row) << "key " << s.key;
        EXPECT_EQ(screen->VisibleCount(), s.visible) << "key " << s.key;
    }

    // From the last cell of a full grid, right scrolls to the next row's first.
    for (int i = 0; i < 7; ++i)
        Key(screen, VK_RIGHT);
    EXPECT_EQ(screen->CurrentCell(), 8);
    Key(screen, VK_RIGHT);
    EXPECT_EQ(screen->FirstRow(), 1);
    EXPECT_EQ(screen->CurrentCell(), 0);
    Key(screen, VK_LEFT);
    EXPECT_EQ(screen->FirstRow(), 0);
    EXPECT_EQ(screen->CurrentCell(), 8);
}

TEST_F(ThumbnailTest, NoPictureShowsTheMessageAndLeavesTheGridEmpty)
{
    CThumbnailGUI* screen = Open();
    EXPECT_EQ(screen->Total(), 0);
    EXPECT_EQ(screen->VisibleCount(), 0);
    EXPECT_EQ(CMessagePopupGUI::GetInstance()->CurrentCode(), MSG_NO_PICTURE);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
    Key(screen, VK_RETURN);  // nothing to open
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_VIEWER));
}

TEST_F(ThumbnailTest, DeletingMarkedPicturesRemovesTheirFiles)
{
    PutFiles(5);
    CThumbnailGUI* screen = Open();
    CImageFileList* list = CImageFileList::GetInstance();
    const std::wstring first = list->GetPath(0), third = list->GetPath(2);

    screen->OnCommand(CMD_THUMBNAIL_DELETE, 0);  // select mode
    EXPECT_TRUE(screen->InSelectMode());
    screen->OnLButtonDown(Centre(0), 0);
    screen->OnLButtonDown(Centre(2), 0);
    screen->OnLButtonDown(Centre(4), 0);
    screen->OnLButtonDown(Centre(4), 0);  // marked and unmarked again
    EXPECT_TRUE(list->IsMarked(0));
    EXPECT_FALSE(list->IsMarked(4));
    screen->OnCommand(CMD_THUMBNAIL_DELETE, 0);
    EXPECT_FALSE(screen->InSelectMode());
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_EQ(screen->Total(), 3);
    EXPECT_EQ(screen->VisibleCount(), 3);
    EXPECT_FALSE(fs::exists(*plat::MapDevicePath(first.c_str())));
    EXPECT_FALSE(fs::exists(*plat::MapDevicePath(third.c_str())));

    // Back in select mode clears the marks and stays.
    screen->OnCommand(CMD_THUMBNAIL_DELETE, 0);
    screen->OnLButtonDown(Centre(1), 0);
    screen->OnCommand(CMD_SCREEN_BACK, 0);
    EXPECT_FALSE(screen->InSelectMode());
    EXPECT_FALSE(list->IsMarked(1));
    EXPECT_EQ(list->GetCount(), 3);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
    // Back again closes.
    screen->OnCommand(CMD_SCREEN_BACK, 0);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
}

TEST_F(ThumbnailTest, DeletingEveryShotOfASeriesClosesTheScreen)
{
    PutFiles(4);
    doubles::State().shotCount = 2;
    CSettings::GetInstance()->AddGUIStatus(GUI_STATUS_REVIEW_MULTI);
    CThumbnailGUI* screen = Open();
    EXPECT_TRUE(screen->InMultiReview());
    EXPECT_EQ(screen->Total(), 2);
    screen->OnCommand(CMD_THUMBNAIL_DELETE, 0);
    screen->OnLButtonDown(Centre(0), 0);
    screen->OnLButtonDown(Centre(1), 0);
    screen->OnLButtonDown(Centre(2), 0);  // beyond the series: no cell
    screen->OnCommand(CMD_THUMBNAIL_DELETE, 0);
    EXPECT_EQ(CImageFileList::GetInstance()->GetCount(), 2);
    EXPECT_FALSE(screen->InMultiReview());
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
}

TEST_F(ThumbnailTest, EnterOrATouchOpensThatPictureInTheViewer)
{
    PutFiles(5);
    CThumbnailGUI* screen = Open();
    Key(screen, VK_RIGHT);
    Key(screen, VK_RIGHT);
    Key(screen, VK_RETURN);
    EXPECT_EQ(CImageFileList::GetInstance()->GetCurrentIndex(), 2);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));

    screen = Open();
    screen->OnLButtonDown(Centre(4), 0);
    EXPECT_EQ(CImageFileList::GetInstance()->GetCurrentIndex(), 4);
    // A touch outside the cells (no cell 5 with five pictures) opens nothing.
    screen = Open();
    screen->OnLButtonDown(Centre(5), 0);
    EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA));
}

// ---- Looks ----

TEST_F(PeripheryLook, Thumbnails)
{
    PutPicture("PIC0001.jpg", 640, 480, RGB(200, 40, 40));
    PutPicture("PIC0002.jpg", 500, 500, RGB(40, 200, 40));
    PutPicture("PIC0003.jpg", 320, 240, RGB(40, 40, 200));
    CImageFileList* list = CImageFileList::GetInstance();
    CThumbnailGUI* screen = Open();
    ASSERT_EQ(screen->Total(), 3);
    int square = -1;
    for (int i = 0; i < 3; ++i)
        if (list->GetPath(i).find(L"0002") != std::wstring::npos)
            square = i;
    ASSERT_GE(square, 0);
    auto paint = [&](CDrawContext& dc) {
        // Thumbnails are kept turned for the display code they were made at.
        for (int i = 0; i < 3; ++i)
            list->ReleaseThumbnail(i);
        CThumbnailGUI::ReleaseInstance();
        CThumbnailGUI* s = Open();
        s->DrawLayer1(&dc);
    };
    look::Result r = look::Run("thumbnails", window, paint);
    EXPECT_EQ(r.farPixels, 0);
    for (int cell = 0; cell < 3; ++cell) {
        const RECT& c = CThumbnailGUI::CellRect(cell);
        if (cell == square) {
            ExpectColour(r, c.left + 5, c.top + 40, RGB(0, 0, 0));     // 13 black columns on the left
            ExpectColour(r, c.right - 6, c.top + 40, RGB(0, 0, 0));    // 14 on the right
            ExpectColour(r, c.left + 15, c.top + 40, RGB(40, 200, 40));
        } else {
            EXPECT_NE(r.At4(c.left + 5, c.top + 40), RGB(0, 0, 0)) << "cell " << cell << " filled";
        }
    }
    // The current cell's frame, the unused cells black, the side buttons.
    ExpectColour(r, 41, 40, kThumbFrameColour);
    ExpectColour(r, 200, 200, RGB(0, 0, 0));
    ExpectImageAt(r, 11005, 380, 30);
    ExpectImageAt(r, 11003, 380, 210);
}

TEST_F(PeripheryLook, ThumbnailsSelect)
{
    PutPicture("PIC0001.jpg", 640, 480, RGB(200, 40, 40));
    PutPicture("PIC0002.jpg", 640, 480, RGB(40, 200, 40));
    auto paint = [&](CDrawContext& dc) {
        CImageFileList* list = CImageFileList::GetInstance();
        for (int i = 0; i < list->GetCount(); ++i)
            list->ReleaseThumbnail(i);
        CThumbnailGUI::ReleaseInstance();
        CThumbnailGUI* s = Open();
        s->OnCommand(CMD_THUMBNAIL_DELETE, 0);
        s->OnLButtonDown(Centre(1), 0);
        s->DrawLayer1(&dc);
    };
    look::Result r = look::Run("thumbnails-select", window, paint);
    EXPECT_EQ(r.farPixels, 0);
    const RECT& m0 = CThumbnailGUI::MarkRect(0);
    const RECT& m1 = CThumbnailGUI::MarkRect(1);
    ExpectImageAt(r, 11000, (m0.left + m0.right) / 2, (m0.top + m0.bottom) / 2);
    ExpectImageAt(r, 11001, (m1.left + m1.right) / 2, (m1.top + m1.bottom) / 2);
}

}  // namespace
