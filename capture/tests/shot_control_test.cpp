// The shot list and the saving of its shots: capacity, browsing, what a
// saved still tells the main frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "app_messages.h"
#include "capture_fixture.h"
#include "plat/file.h"
#include "rot_bitmap.h"
#include "shot_control.h"

// After the platform headers: they define TRUE and FALSE themselves.
#include <jpeglib.h>

namespace {

// A still as the camera's still pin hands it over: a JPEG stream (made by
// libjpeg-turbo) followed by the 320 x 240 4:2:2 thumbnail.
std::vector<BYTE> StillFrame(int width, int height)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<JSAMPLE> row(static_cast<size_t>(width), 128);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<BYTE> still(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    still.resize(still.size() + kStillThumbnailBytes, 0x80);
    return still;
}

std::vector<BYTE> PreviewFrame(int width, int height)
{
    return std::vector<BYTE>(static_cast<size_t>(width) * height * 3 / 2, 0x60);
}

}  // namespace

class ShotList : public CaptureFixture {};

TEST_F(ShotList, HoldsNineShotsAndBrowsesAround)
{
    CShotControl* shots = CShotControl::GetInstance();
    const auto frame = PreviewFrame(176, 144);
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(shots->AddShot(SHOT_KIND_PREVIEW, frame.data(), static_cast<DWORD>(frame.size()), 176, 144)) << i;
    EXPECT_FALSE(shots->AddShot(SHOT_KIND_PREVIEW, frame.data(), static_cast<DWORD>(frame.size()), 176, 144));
    EXPECT_EQ(shots->CreatePreviewShot(frame.data(), 176, 144), 0);
    EXPECT_EQ(shots->GetShotCount(), 9);
    EXPECT_EQ(shots->GetShot(9), nullptr);
    EXPECT_EQ(shots->GetLastShot(), shots->GetShot(8));
    // Every shot has its own picture name and a thumbnail of the frame.
    EXPECT_STRNE(shots->GetShot(0)->Path(), shots->GetShot(1)->Path());
    SIZE size = shots->GetShot(0)->GetFrame()->GetSize();
    EXPECT_EQ(size.cx * size.cy, 176 * 144);

    shots->ReleaseShots();
    for (int i = 0; i < 3; ++i)
        shots->CreatePreviewShot(frame.data(), 176, 144);
    struct Step {
        bool next;
        int index;
    };
    const Step steps[] = {{false, 2}, {true, 0}, {true, 1}, {true, 2}, {true, 0}};
    for (const Step& s : steps) {
        s.next ? shots->NextShot() : shots->PrevShot();
        EXPECT_EQ(shots->GetCurrentIndex(), s.index);
    }
    shots->ReleaseShots();
    shots->Reset();
    shots->PrevShot();
    EXPECT_EQ(shots->GetCurrentIndex(), -1);
    EXPECT_EQ(shots->GetCurrentShot(), nullptr);
}

// A shot's thumbnail is turned for the display it was taken on; after a turn
// it is made again for the display as it is then, for each kind of shot.
TEST_F(ShotList, AThumbnailIsMadeAgainForATurnedDisplay)
{
    auto setOrientation = [](DWORD code) {
        DEVMODEW mode{};
        mode.dmSize = sizeof(mode);
        mode.dmFields = DM_DISPLAYORIENTATION;
        mode.dmDisplayOrientation = code;
        ChangeDisplaySettingsEx(nullptr, &mode, nullptr, CDS_RESET, nullptr);
    };
    auto stored = [](CShot* shot) {
        BITMAP bm{};
        GetObjectW(shot->GetFrame()->Handle(), sizeof bm, &bm);
        return std::pair{bm.bmWidth, std::abs(bm.bmHeight)};
    };
    CShotControl* shots = CShotControl::GetInstance();
    setOrientation(DMDO_270);
    const auto frame = PreviewFrame(176, 144);
    const auto still = StillFrame(64, 48);
    ASSERT_EQ(shots->CreatePreviewShot(frame.data(), 176, 144), 1);
    ASSERT_TRUE(shots->AddShot(SHOT_KIND_STILL, still.data(), static_cast<DWORD>(still.size()), 64, 48));
    ASSERT_EQ(shots->CreateShot(CreateBitmap(64, 48, 1, 16, nullptr)), 1);
    const std::pair<int, int> upright[] = {{176, 144}, {320, 240}, {320, 240}};
    for (DWORD code : {DMDO_0, DMDO_270}) {
        setOrientation(code);
        for (int i = 0; i < 3; ++i) {
            SCOPED_TRACE(i);
            CShot* shot = shots->GetShot(i);
            shot->RemakeThumbnail();
            const auto [w, h] = upright[i];
            const std::pair<int, int> want = code == DMDO_0 ? std::pair{h, w} : std::pair{w, h};
            EXPECT_EQ(stored(shot), want);
            EXPECT_EQ(shot->GetFrame()->GetSize().cx, w) << "the layout size stays";
        }
    }
    setOrientation(DMDO_270);
    shots->ReleaseShots();
}

TEST_F(ShotList, AStillTooShortForItsThumbnailMakesNoShot)
{
    CShotControl* shots = CShotControl::GetInstance();
    std::vector<BYTE> shortStill(kStillThumbnailBytes - 1, 0);
    EXPECT_FALSE(shots->AddShot(SHOT_KIND_STILL, shortStill.data(), static_cast<DWORD>(shortStill.size()), 1280, 960));
    EXPECT_FALSE(shots->AddShot(SHOT_KIND_STILL, nullptr, 0, 1280, 960));
    EXPECT_EQ(shots->GetShotCount(), 0);
    const auto still = StillFrame(64, 48);
    ASSERT_TRUE(shots->AddShot(SHOT_KIND_STILL, still.data(), static_cast<DWORD>(still.size()), 64, 48));
    SIZE size = shots->GetShot(0)->GetFrame()->GetSize();
    EXPECT_EQ(size.cx * size.cy, 320 * 240);
}

TEST_F(ShotList, ASavedStillStartsTheRecognitionOfAShotOrAWholeSeriesUnlessAPopupIsShown)
{
    struct SaveCase {
        const char* name;
        bool popup;
        int recognizeNow;
        int counter;
        UINT message;
        WPARAM wParam;
        int seriesComplete;
        int counterAfter;
    };
    const SaveCase cases[] = {
        {"single", false, 1, 0, WM_START_RECOGNITION, 0, 0, 0},
        {"popup", true, 1, 0, WM_TARGET_COMMAND, CMD_STILL_CLEANUP, 0, 0},
        {"twentieth of a series", false, 0, 19, WM_START_RECOGNITION, 0, 1, 20},
        {"fifth of a series: back to the preview", false, 0, 4, 0, 0, 0, 4},
    };
    const auto still = StillFrame(64, 48);
    for (const SaveCase& c : cases) {
        host_.popupShown = c.popup;
        host_.recognizeNow = c.recognizeNow;
        host_.shotCounter = c.counter;
        host_.seriesComplete = 0;
        host_.pendingCleared = 0;
        CShotControl* shots = CShotControl::GetInstance();
        ASSERT_TRUE(shots->AddShot(SHOT_KIND_STILL, still.data(), static_cast<DWORD>(still.size()), 64, 48));
        Posted();
        ASSERT_EQ(shots->SaveAllShots(), 1);
        const auto posted = Posted();
        ASSERT_EQ(posted.size(), c.message ? 1u : 0u) << c.name;
        if (c.message) {
            EXPECT_EQ(posted[0].message, c.message) << c.name;
            EXPECT_EQ(posted[0].wParam, c.wParam) << c.name;
        }
        EXPECT_EQ(host_.seriesComplete, c.seriesComplete) << c.name;
        EXPECT_EQ(host_.shotCounter, c.counterAfter) << c.name;
        // One recognition per shot, or the series' last, clears the pending capture.
        EXPECT_EQ(host_.pendingCleared, c.recognizeNow == 1 || c.counter == 19 ? 1 : 0) << c.name;
        EXPECT_NE(GetFileAttributesW(shots->GetShot(0)->Path()), INVALID_FILE_ATTRIBUTES) << c.name;
        shots->DeleteShotFiles();
        EXPECT_EQ(shots->GetShotCount(), 0);
    }
}
