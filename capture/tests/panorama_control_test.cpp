// The panorama control over the panorama library: a whole panorama from
// preview frames and camera shots to the saved picture, the failed stitch
// with its notice on the virtual clock, and the guide it draws.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app_messages.h"
#include "camera_control.h"
#include "capture_fixture.h"
#include "dshow_control.h"
#include "look_helper.h"
#include "message_popup_gui.h"
#include "panorama.h"
#include "panorama_control.h"
#include "panorama_scene.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "settings.h"
#include "shot_control.h"

// After the platform: it defines TRUE and FALSE as the platform does.
#include <jpeglib.h>

namespace {

using panorama_test::View;

// Shots of 640 x 480 from the camera, stitched at 320 x 240 from a 160 x 120 preview.
constexpr int kCameraScale = 4, kShotScale = 2;

class PanoramaControl : public CaptureFixture {
protected:
    void SetUp() override
    {
        CaptureFixture::SetUp();
        CCameraControl::GetInstance()->SetShotModeSize(0, RESOLUTION_640_480, 0);
        control_.SetHwnd(window_);
    }
    void TearDown() override
    {
        CMessagePopupGUI::ReleaseInstance();
        CePanorama::DeleteInstance();
        CaptureFixture::TearDown();
    }

    // Each place shown twice: every second preview frame reaches the library.
    void Show(int x)
    {
        std::vector<BYTE> preview = View(x, 160, 120, 1);
        control_.AddPreviewFrame(preview.data());
        control_.AddPreviewFrame(preview.data());
    }
    int Shoot(int x)
    {
        std::vector<BYTE> shot = View(x, 640, 480, kCameraScale);
        return control_.AddShotFrame(shot.data());
    }
    // The user's shot at 0, the camera turned by 80 scene columns, the
    // shutter posted there and the second shot taken: the job is complete.
    void TakeBothShots()
    {
        ASSERT_EQ(control_.Setup(320, 240, 160, 120, 2), 1);
        Show(0);
        ASSERT_EQ(Shoot(0), 1);
        Show(40);
        Show(80);
        Show(80);
        std::vector<MSG> posted = Posted();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].message, WM_MAIN_COMMAND);
        EXPECT_EQ(posted[0].wParam, CMD_PANORAMA_SHUTTER);
        ASSERT_EQ(Shoot(80), 1);
        posted = Posted();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].message, WM_PANORAMA_FRAME);
        EXPECT_EQ(posted[0].wParam, kPanoramaComplete);
        EXPECT_EQ(control_.OnEvent(static_cast<int>(posted[0].wParam)), 1);
        EXPECT_FALSE(control_.IsActive());
    }

    CePanoramaControl control_;
};

// The saved picture read by libjpeg-turbo: its size and its luma.
struct Decoded {
    int width = 0, height = 0;
    std::vector<BYTE> luma;
};

Decoded DecodeLuma(const std::filesystem::path& file)
{
    Decoded out;
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return out;
    jpeg_decompress_struct info{};
    jpeg_error_mgr err{};
    info.err = jpeg_std_error(&err);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, f);
    if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
        info.out_color_space = JCS_GRAYSCALE;
        jpeg_start_decompress(&info);
        out.width = static_cast<int>(info.output_width);
        out.height = static_cast<int>(info.output_height);
        out.luma.resize(static_cast<size_t>(out.width) * out.height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = out.luma.data() + static_cast<size_t>(info.output_scanline) * out.width;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    std::fclose(f);
    return out;
}

}  // namespace

TEST_F(PanoramaControl, TwoShotsAreStitchedBackIntoTheWideSceneAndSaved)
{
    TakeBothShots();
    CShotControl* shots = CShotControl::GetInstance();
    ASSERT_EQ(shots->GetShotCount(), 0);
    control_.OnStitchDone(TRUE);

    // Saved and released at once: no review was asked for.
    EXPECT_EQ(shots->GetShotCount(), 0);
    EXPECT_EQ(host_.reviewsOpened, 0);
    EXPECT_EQ(CCameraControl::GetInstance()->GetState(), CAPTURE_STATE_IDLE);
    EXPECT_EQ(CSettings::GetInstance()->GetGUIStatus() & GUI_STATUS_CAPTURING, 0u);
    std::filesystem::path saved;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root_.path()))
        if (e.path().extension() == ".jpg")
            saved = e.path();
    ASSERT_FALSE(saved.empty());
    const Decoded picture = DecodeLuma(saved);
    ASSERT_EQ(picture.width, 480);
    ASSERT_EQ(picture.height, 240);
    const std::vector<BYTE> whole = View(0, 480, 240, kShotScale);
    double error = 0;
    for (size_t i = 0; i < picture.luma.size(); ++i)
        error += std::abs(picture.luma[i] - whole[i]);
    EXPECT_LT(error / static_cast<double>(picture.luma.size()), 4.0);  // resize and JPEG, no misplaced column

    // Ready for the next panorama.
    EXPECT_TRUE(control_.IsActive());
    EXPECT_FALSE(control_.IsProgressing());
    EXPECT_TRUE(CePanorama::GetInstance()->IsAccepting());
    EXPECT_STREQ(CePanorama::GetInstance()->GetStatusText(), L"INVALID");
    EXPECT_EQ(CePanorama::GetInstance()->GetAddedCount(), 0);
}

TEST_F(PanoramaControl, WithTheReviewSwitchTheShotWaitsForTheReviewScreen)
{
    CSettings::GetInstance()->SetReviewSwitch(TRUE);
    TakeBothShots();
    control_.OnStitchDone(TRUE);
    EXPECT_EQ(host_.reviewsOpened, 1);
    ASSERT_EQ(CShotControl::GetInstance()->GetShotCount(), 1);
    EXPECT_FALSE(std::filesystem::exists(*plat::MapDevicePath(CShotControl::GetInstance()->GetShot(0)->Path())));
}

TEST_F(PanoramaControl, AFailedStitchShowsItsNoticeForTwoSecondsAndStartsAgain)
{
    struct Case {
        const char* name;
        BOOL success;  // TRUE before any shot: the library has no picture to give
        bool shot;
    } cases[] = {{"stitch failed", FALSE, true}, {"no picture", TRUE, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(control_.Setup(320, 240, 160, 120, 2), 1);
        Show(0);
        if (c.shot) {
            ASSERT_EQ(Shoot(0), 1);
        }
        Posted();
        const int resets = host_.screenResets;
        control_.OnStitchDone(c.success);

        CMessagePopupGUI* popup = CMessagePopupGUI::GetInstance();
        EXPECT_EQ(popup->CurrentCode(), kPanoramaFailedMessage);
        ASSERT_EQ(popup->LineCount(), 2);
        EXPECT_STREQ(popup->Line(2), L"Panorama Image");
        EXPECT_STREQ(popup->Line(1), L"failed to create.");
        EXPECT_EQ(host_.screenResets, resets + 1);  // back to the live preview
        EXPECT_EQ(CShotControl::GetInstance()->GetShotCount(), 0);
        // A fresh job that takes frames again.
        EXPECT_TRUE(control_.IsActive());
        EXPECT_TRUE(CePanorama::GetInstance()->IsAccepting());
        EXPECT_EQ(CePanorama::GetInstance()->GetAddedCount(), 0);
        Show(0);
        EXPECT_STREQ(CePanorama::GetInstance()->GetStatusText(), L"VALID");

        // The notice's time on the platform clock.
        auto timerFired = [&] {
            for (const MSG& m : Posted())
                if (m.message == WM_TIMER && m.wParam == TM_MESSAGE_TIMEOUT)
                    return true;
            return false;
        };
        plat::AdvanceClock(kPanoramaFailedMilliseconds - 1);
        EXPECT_FALSE(timerFired());
        plat::AdvanceClock(1);
        EXPECT_TRUE(timerFired());
        KillTimer(window_, TM_MESSAGE_TIMEOUT);
        popup->Hide();
    }
}

TEST_F(PanoramaControl, ShotsAreRefusedUntilTheCameraIsFollowed)
{
    ASSERT_EQ(control_.Setup(320, 240, 160, 120, 3), 1);
    EXPECT_EQ(Shoot(0), 0);  // nothing followed yet
    EXPECT_EQ(CePanorama::GetInstance()->GetAddedCount(), 0);
    Show(0);
    EXPECT_EQ(Shoot(0), 1);
    EXPECT_EQ(control_.AddShotFrame(nullptr), 0);
    EXPECT_EQ(CePanorama::GetInstance()->GetAddedCount(), 1);
}

TEST_F(PanoramaControl, StatusColours)
{
    struct Case {
        const wchar_t* text;
        COLORREF colour;
    } cases[] = {{L"INVALID", 0x0000FF}, {L"VALID", 0x00FFFF},   {L"POSITIONED", 0xFF7648},
                 {L"STEADY", 0xFF7648},  {L"BUG", 0},            {L"NOT INITIALIZED", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(CePanoramaControl::StatusColour(c.text), c.colour) << testing::PrintToString(std::wstring(c.text));
}

TEST_F(PanoramaControl, GuideShowsWhereToTurnHowFarAndTheCountInBothOrientations)
{
    ASSERT_EQ(control_.Setup(320, 240, 160, 120, 3), 1);
    Show(0);
    ASSERT_EQ(Shoot(0), 1);
    Show(30);  // part of the way: the box moves right of the frame
    const PxStatus status = CePanorama::GetInstance()->GetStatus();
    ASSERT_EQ(status.status, PX_STATUS_VALID);
    const look::Result r = look::Run("panorama-guide", window_, [&](CDrawContext& dc) { control_.Draw(&dc); });
    ASSERT_EQ(r.landscape.width, 400);
    EXPECT_EQ(r.farPixels, 0);

    const auto centres = look::CentreColours();
    EXPECT_TRUE(look::Near(r.At4(200, 121), centres.at(IDB_PANORAMA_GUIDE_FRAME)));
    // The arrow of the direction word only.
    const COLORREF arrow = RGB(255, 208, 0);
    EXPECT_EQ(status.direction, 1);
    EXPECT_TRUE(look::Near(r.At4(249, 121), arrow));
    EXPECT_FALSE(look::Near(r.At4(148, 121), arrow));
    // One shot of three: a fill of 34 columns from x 70.
    const COLORREF fill = RGB(0, 160, 64);
    EXPECT_TRUE(look::Near(r.At4(70, 219), fill));
    EXPECT_TRUE(look::Near(r.At4(103, 219), fill));
    EXPECT_FALSE(look::Near(r.At4(110, 219), fill));
    // The position box moved by the tracked offset, outlined in yellow while
    // the status is VALID.
    const int dx = (CePanorama::GetInstance()->GetCurrentPoint().x - 80) * 400 / 160;
    ASSERT_GT(dx, 40);
    EXPECT_TRUE(look::Near(r.At4(146 + dx, 130), RGB(255, 255, 0))) << std::hex << r.At4(146 + dx, 130);
    EXPECT_EQ(r.At4(146, 130), look::Pattern(146, 130));
    // "1/3" right-aligned at 333: black digits inside a white outline.
    int black = 0, white = 0;
    for (int y = 210; y < 240; ++y)
        for (int x = 280; x <= 336; ++x) {
            black += r.At4(x, y) == RGB(0, 0, 0);
            white += look::Near(r.At4(x, y), RGB(255, 255, 255));
        }
    EXPECT_GT(black, 20);
    EXPECT_GT(white, 100);
    for (int y = 200; y < 240; ++y)
        EXPECT_NE(r.At4(340, y), RGB(0, 0, 0));
}
