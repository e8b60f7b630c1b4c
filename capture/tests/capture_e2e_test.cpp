// The camera sees a business card: the preview worker's edge check finds it,
// the camera screen's part (played by the test) captures, and the still is
// saved as the program names its pictures; exiftool reads the file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>
#include <algorithm>
#include <string>

#include "app_messages.h"
#include "camera_control.h"
#include "capture_fixture.h"
#include "common_control.h"
#include "gps_control.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "settings.h"
#include "shot_control.h"

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    pclose(pipe);
    return out;
}

bool HaveExiftool() { return std::system("command -v exiftool >/dev/null") == 0; }

void SetString(const WCHAR* subkey, const WCHAR* name, const WCHAR* value)
{
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, 0, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((std::wcslen(value) + 1) * sizeof(WCHAR)));
    RegCloseKey(key);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(static_cast<char>(c));
    return out;
}

}  // namespace

class CaptureE2E : public CaptureFixture {};

TEST_F(CaptureE2E, TheCameraSeesACardTheWorkerFindsItAndTheStillIsSaved)
{
    if (!HaveExiftool())
        GTEST_SKIP() << "exiftool is not installed";
    const std::filesystem::path card = std::filesystem::path(LUM_TESTDATA) / "cards" / "business-card-english.jpg";
    ASSERT_TRUE(std::filesystem::exists(card)) << card;
    std::filesystem::copy_file(card, root_.path() / "card.jpg");
    SetCameraSource(L"picture", L"\\card.jpg");
    SetString(L"Platform\\Accelerometer", L"Axes", L"60,0,0");

    // The settings as the program's start-up loads them (storage folders too).
    CSettings::GetInstance()->Load(nullptr);
    struct GpsCase {
        const WCHAR* source;
        bool tagged;
    };
    const GpsCase gpsCases[] = {{L"fixed", true}, {L"nofix", false}};
    bool first = true;
    for (const GpsCase& g : gpsCases) {
        SCOPED_TRACE(Narrow(g.source));
        SetString(L"Platform\\GPS", L"Source", g.source);
        SetString(L"Platform\\GPS", L"Position", L"51.4545,-2.5879,40");
        CSettings* settings = CSettings::GetInstance();
        settings->SetUseGPS(TRUE);
        if (first) {
            settings->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
            StartCamera();
            CCommonControl::GetInstance()->ResumeWorker();
        } else {
            CCameraControl::GetInstance()->ResetPreview(1);
        }
        // Real time only bounds the waits for the other threads.
        for (int i = 0; i < 2000 && g.tagged && !CGPSControl::GetInstance()->HasFix(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));

        // The camera screen allows the auto shot; the worker looks at each frame.
        host_.autoShot = true;
        host_.autoShotFound = 0;
        // The worker looks at the newest frame once it is free, which under a
        // sanitizer can take many frames: real time bounds the wait, not a count.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (host_.autoShotFound == 0 && std::chrono::steady_clock::now() < giveUp) {
            NextFrameTime();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_EQ(host_.autoShotFound, 1) << "no card found";
        host_.autoShot = false;
        int autoShots = 0;
        for (const MSG& m : Posted())
            autoShots += m.message == WM_TARGET_COMMAND && m.wParam == CMD_PREVIEW_AUTO_SHOT;
        EXPECT_EQ(autoShots, 1);

        // The camera screen captures on the auto-shot command.
        CCameraControl* camera = CCameraControl::GetInstance();
        auto shot = std::async(std::launch::async, [camera] { return camera->CameraCapture(); });
        if (shot.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            plat::AdvanceClock(CCameraControl::kStillWaitLimit);
            shot.wait();
            FAIL() << "no still came";
        }
        auto posted = Posted();
        ASSERT_FALSE(posted.empty());
        EXPECT_EQ(posted.back().message, WM_SINGLE_SHOT);
        EXPECT_EQ(host_.stillWidth, 1280);
        EXPECT_EQ(host_.stillHeight, 960);
        CShotControl* shots = CShotControl::GetInstance();
        ASSERT_EQ(shots->GetShotCount(), 1);
        const std::wstring path = shots->GetShot(0)->Path();
        ASSERT_EQ(shots->SaveAllShots(), 1);
        camera->SetState(CAPTURE_STATE_IDLE);
        posted = Posted();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].message, WM_START_RECOGNITION);

        // The program's naming: B, the date, the day's running number.
        SYSTEMTIME now{};
        GetLocalTime(&now);
        WCHAR expected[MAX_PATH];
        std::swprintf(expected, MAX_PATH, L"\\My Documents\\KVIM\\B%02d%02d%02d%03d.jpg", now.wYear % 100,
                      now.wMonth, now.wDay, first ? 1 : 2);
        EXPECT_EQ(path, expected);
        const auto mapped = plat::MapDevicePath(path.c_str());
        ASSERT_TRUE(mapped.has_value());
        const std::string host = mapped->string();
        const std::string tags =
            Shell("exiftool -s -n -ImageWidth -ImageHeight -Orientation -GPSLatitude -ThumbnailLength '" + host + "'");
        EXPECT_NE(tags.find("ImageWidth                      : 1280"), std::string::npos) << tags;
        EXPECT_NE(tags.find("ImageHeight                     : 960"), std::string::npos) << tags;
        // The accelerometer's "60,0,0" reads as a quarter turn: orientation 6.
        EXPECT_NE(tags.find("Orientation                     : 6"), std::string::npos) << tags;
        EXPECT_NE(tags.find("ThumbnailLength"), std::string::npos) << tags;
        EXPECT_EQ(tags.find("GPSLatitude") != std::string::npos, g.tagged) << tags;
        settings->SetUseGPS(FALSE);
        first = false;
    }
}
