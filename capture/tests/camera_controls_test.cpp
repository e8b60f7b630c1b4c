// The camera, common and camcorder controls over the platform's camera: the
// values they send the driver, what they keep when it refuses, zoom and
// self-timer, the preview frame and the shot list.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "app_messages.h"
#include "camcorder_control.h"
#include "camera_control.h"
#include "capture_fixture.h"
#include "common_control.h"
#include "dshow_control.h"
#include "plat/camera.h"
#include "plat/clock.h"
#include "settings.h"
#include "shot_control.h"

using plat::camera::Face;

namespace {

struct SentCase {
    const char* name;
    std::function<void()> call;
    Face face;
    long property;
    long value;
};

CCommonControl* Common() { return CCommonControl::GetInstance(); }

// Real time only bounds a wait for another thread.
bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 5000; ++i) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}
CCameraControl* Camera() { return CCameraControl::GetInstance(); }

}  // namespace

class CameraControls : public CaptureFixture {};

TEST_F(CameraControls, SettersSendTheDriverTheirCodes)
{
    SetCameraSource(L"pattern");
    StartCamera();
    const SentCase cases[] = {
        {"EV 7", [] { Common()->SetEV(7); }, Face::VideoProcAmp, 0, 5750},
        {"EV out of range", [] { Common()->SetEV(12); }, Face::VideoProcAmp, 0, 750},
        {"ISO 3", [] { Common()->SetISO(3, 1); }, Face::CameraControl, 3, 913},
        {"ISO out of range", [] { Common()->SetISO(9, 1); }, Face::CameraControl, 3, 910},
        {"white balance 2", [] { Common()->SetWhiteBalance(2); }, Face::VideoProcAmp, 7, 288},
        {"metering 0", [] { Common()->SetMetering(0, 1); }, Face::CameraControl, 3, 952},
        {"fps 120", [] { Common()->SetFPS(120); }, Face::CameraControl, 3, 899},
        {"fps 12", [] { Common()->SetFPS(12); }, Face::CameraControl, 3, 800},
        {"saturation -3", [] { Common()->SetSaturation(-3, 1); }, Face::VideoProcAmp, 3, 30},
        {"contrast 3", [] { Common()->SetContrast(3, 1); }, Face::VideoProcAmp, 1, 210},
        {"sharpness out of range", [] { Common()->SetSharpness(9, 1); }, Face::VideoProcAmp, 4, 56},
        {"colour accent 2", [] { Common()->SetColorAccent(2); }, Face::CameraControl, 3, 10200},
        {"colour swap 1, 5", [] { Common()->SetColorSwap(1, 5); }, Face::CameraControl, 3, 20105},
        {"WDR on", [] { Common()->SetUseWDR(1, 1); }, Face::CameraControl, 3, 924},
        {"zoom 4", [] { Common()->SetZoom(4); }, Face::CameraControl, 3, 14},
        {"focus off", [] { Common()->SetFocusOff(); }, Face::CameraControl, 3, 704},
        {"quality 2", [] { Camera()->SetCaptureOption(2, 1); }, Face::CameraControl, 3, 918},
        {"effect command", [] { Camera()->SetEffectCommand(0x10018, 1); }, Face::VideoProcAmp, 6, 22},
    };
    for (const SentCase& c : cases) {
        plat::camera::ClearRecordedSets();
        c.call();
        const auto sets = plat::camera::RecordedSets();
        ASSERT_EQ(sets.size(), 1u) << c.name;
        EXPECT_EQ(sets[0].face, c.face) << c.name;
        EXPECT_EQ(sets[0].property, c.property) << c.name;
        EXPECT_EQ(sets[0].value, c.value) << c.name;
    }
    // Automatic white balance is the driver's own: value 0 with the auto flag.
    plat::camera::ClearRecordedSets();
    Common()->SetWhiteBalance(0);
    const auto sets = plat::camera::RecordedSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].value, 0);
    EXPECT_EQ(sets[0].flags, CameraControl_Flags_Auto);
}

TEST_F(CameraControls, ARefusedSettingKeepsThePreviousValueAndAnUnappliedOneSendsNothing)
{
    SetCameraSource(L"pattern");
    StartCamera();
    CCommonControl* common = Common();
    ASSERT_TRUE(common->SetEV(2));
    ASSERT_TRUE(common->SetFPS(15));
    ASSERT_TRUE(common->SetMetering(1, 1));
    ASSERT_TRUE(common->SetContrast(1, 1));
    plat::camera::FailSet(Face::VideoProcAmp, 0, -1, E_FAIL);
    plat::camera::FailSet(Face::CameraControl, 3, -1, E_FAIL);
    plat::camera::FailSet(Face::VideoProcAmp, 1, -1, E_FAIL);
    EXPECT_FALSE(common->SetEV(6));
    EXPECT_FALSE(common->SetFPS(30));
    EXPECT_FALSE(common->SetMetering(2, 1));
    EXPECT_FALSE(common->SetContrast(-2, 1));
    EXPECT_EQ(common->GetEV(), 2);
    EXPECT_EQ(common->GetFPS(), 15);
    EXPECT_EQ(common->GetMetering(), 1);
    EXPECT_EQ(common->GetContrast(), 1);
    plat::camera::ClearFailures();

    // The same value again, or apply 0, asks nothing of the driver.
    plat::camera::ClearRecordedSets();
    EXPECT_TRUE(common->SetEV(2));
    EXPECT_TRUE(common->SetFPS(15));
    EXPECT_TRUE(common->SetSaturation(3, 0));
    EXPECT_FALSE(common->SetISO(4, 0));
    EXPECT_TRUE(plat::camera::RecordedSets().empty());
    EXPECT_EQ(common->GetSaturation(), 3);
    EXPECT_EQ(common->GetISO(), 4);
}

TEST_F(CameraControls, ZoomStepsStopAtBothEnds)
{
    SetCameraSource(L"pattern");
    StartCamera();
    struct Step {
        int from;
        int in;
        int to;
        bool sent;
    };
    const Step steps[] = {{9, 1, 9, false}, {8, 1, 9, true}, {0, 0, 0, false}, {1, 0, 0, true}, {4, 1, 5, true}};
    for (const Step& s : steps) {
        Common()->SetZoom(s.from);
        plat::camera::ClearRecordedSets();
        Common()->ZoomStep(s.in);
        EXPECT_EQ(Common()->GetZoom(), s.to) << s.from << " " << s.in;
        EXPECT_EQ(!plat::camera::RecordedSets().empty(), s.sent) << s.from << " " << s.in;
    }
}

TEST_F(CameraControls, FocusModesSendTheirCodesInOrder)
{
    SetCameraSource(L"pattern");
    StartCamera();
    struct FocusCase {
        int mode;
        int force;
        std::vector<long> sent;
    };
    // From the initial mode 1.
    const FocusCase cases[] = {
        {1, 0, {}},
        {2, 0, {705, 901}},
        {0, 0, {900}},
        {1, 0, {706}},
        {1, 1, {706}},
    };
    for (const FocusCase& c : cases) {
        plat::camera::ClearRecordedSets();
        EXPECT_TRUE(Common()->SetFocus(c.mode, c.force));
        std::vector<long> sent;
        for (const auto& set : plat::camera::RecordedSets())
            sent.push_back(set.value);
        EXPECT_EQ(sent, c.sent) << c.mode << " " << c.force;
    }
}

TEST_F(CameraControls, SelfTimerCountsDownWithItsCuesThenTakesThePicture)
{
    CCommonControl* common = Common();
    common->SetSelfTimerMode(2);
    common->StartSelfTimer();
    for (int tick = 1; tick <= 5; ++tick) {
        plat::AdvanceClock(1000);
        ASSERT_TRUE(WaitUntil([&] { return common->GetCountdown() == 5 - tick; })) << tick;
        EXPECT_TRUE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAPTURING)) << tick;
    }
    EXPECT_TRUE(Posted().empty());
    plat::AdvanceClock(1000);
    std::vector<MSG> posted;
    ASSERT_TRUE(WaitUntil([&] { return !(posted = Posted()).empty(); }));
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_TARGET_COMMAND);
    EXPECT_EQ(posted[0].wParam, 0x30005u);
    // The countdown is ready for the next shot and the capture bit is off.
    EXPECT_EQ(common->GetCountdown(), 5);
    EXPECT_FALSE(CSettings::GetInstance()->IsGUIStatus(GUI_STATUS_CAPTURING));
    EXPECT_EQ(common->SelfTimerTick(3), 0);
}

TEST_F(CameraControls, ARecordingCamcorderPassesEverySecondFrame)
{
    CCommonControl* common = Common();
    common->SetPreviewBuf();
    std::vector<BYTE> frame(320 * 240 * 3 / 2, 0x80);
    CCamcorderControl::GetInstance()->SetState(RECORD_STATE_RECORDING);
    std::string taken;
    for (int i = 0; i < 6; ++i)
        taken += SUCCEEDED(common->CopyFrame(frame.data(), 320, 240)) ? '1' : '0';
    EXPECT_EQ(taken, "101010");
    CCamcorderControl::GetInstance()->SetState(RECORD_STATE_IDLE);
    EXPECT_EQ(common->CopyFrame(frame.data(), 320, 240), S_OK);
}

TEST_F(CameraControls, ShotModeSizesArePackedAndAppliedOnlyWhereTheyBelong)
{
    CCameraControl* camera = Camera();
    ASSERT_EQ(camera->SetShotModeSize(4, 0x6663, 1), 1);
    EXPECT_EQ(camera->GetShotModeSize(0), 3);
    EXPECT_EQ(camera->GetShotModeSize(1), 6);
    EXPECT_EQ(camera->SetShotModeSize(5, 1, 0), 0);
    ASSERT_EQ(camera->SetShotModeSize(2, 5, 0), 1);
    EXPECT_EQ(camera->GetShotModeSize(4), 0x6563);

    LONG width = -1;
    LONG height = -1;
    camera->SetShotMode(2, 0);
    camera->GetShotSize(&width, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 240);
    // An index above 7 leaves the caller's values.
    camera->SetShotModeSize(2, 9, 0);
    camera->GetShotSize(&width, &height);
    EXPECT_EQ(width, 400);
    EXPECT_EQ(height, 240);
    EXPECT_EQ(camera->SetShotMode(4, 1), 0);
    EXPECT_EQ(camera->GetShotMode(), 2);
    EXPECT_EQ(camera->CameraCapture(), 1);  // mode 2 takes no picture of its own
}

TEST_F(CameraControls, CamcorderSizesArePackedByMode)
{
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    camcorder->SetVideoSize(2, 0x76, 0);
    EXPECT_EQ(camcorder->GetVideoSizeOf(0), 6);
    EXPECT_EQ(camcorder->GetVideoSizeOf(1), 7);
    EXPECT_EQ(camcorder->GetVideoSizeOf(3), 6);
    EXPECT_EQ(camcorder->SetVideoSize(1, 7, 0), 1);
    EXPECT_EQ(camcorder->GetVideoSizeOf(2), 0x76);
    EXPECT_EQ(camcorder->SetVideoSize(3, 1, 0), 0);
}
