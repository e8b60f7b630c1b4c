// lumocr started for real on a scenario: the values it keeps while running,
// its orderly end on the end key, and the refusals of its run check.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lumocr_run.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace {

using lumrun::Device;
using lumrun::Lumocr;
using lumrun::Lumreg;
using lumrun::Outcome;
using lumrun::Value;

TEST(LifecycleE2E, StartsKeepsItsValuesAndEndsOnTheEndKey)
{
    lumtest::TempDir dir;
    ASSERT_EQ(Lumreg(dir, "set 'HKLM\\System\\State\\Velmora\\Mouse' ActionMethod dword 3001").exitCode, 0);
    ASSERT_EQ(Lumreg(dir, "set 'HKCU\\ControlPanel\\MotionSensor' AutoOrientation dword 1").exitCode, 0);
    Outcome r = Lumocr(dir, std::string(lumrun::kStarted) +
                            "expect-reg HKLM\\System\\State\\Velmora\\Keypad CameraWorking 1\n"
                            "expect-reg HKLM\\System\\State\\Velmora\\Keypad LumOCRWorking 1\n"
                            "expect-reg HKLM\\System\\State\\Velmora\\Mouse ActionMethod 4001\n"
                            "expect-reg HKCU\\ControlPanel\\MotionSensor AutoOrientation 0\n"
                            "expect-reg HKCU\\ControlPanel\\MotionSensor ForcedOrientation 1\n"
                            "expect-reg HKCU\\SOFTWARE\\Velmora\\Camera Run 1\n"
                            "key TEND\n"
                            "wait 600\n");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("[LUMOCR] MESSAGE LOOP start"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("[LumOCRCLOSE] lastend"), std::string::npos) << r.output;
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "CameraWorking"), "0");
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Mouse", "ActionMethod"), "3001");
    EXPECT_EQ(Value(dir, "HKCU\\ControlPanel\\MotionSensor", "AutoOrientation"), "1");
    EXPECT_EQ(Value(dir, "HKCU\\SOFTWARE\\Velmora\\Camera", "Run"), "0");
    EXPECT_EQ(Lumreg(dir, "get 'HKCU\\SOFTWARE\\Quarlo\\LumOCR' BCROCR_MODE").exitCode, 0);
}

TEST(LifecycleE2E, RefusalsExitWithoutAMainWindow)
{
    struct Case {
        const char* name;
        std::vector<std::string> values;  // lumreg set arguments
        const char* logged;               // the message box, when there is one
    };
    const Case cases[] = {
        {"keys locked", {"'HKLM\\System\\State' Lock dword 1"}, "KEY LOCKED"},
        {"a call rings", {"'HKLM\\System\\State\\Phone' Status dword 0x10000"}, nullptr},
        {"a video call",
         {"'HKLM\\Software\\Velmora\\VT\\Telephone' CallState dword 1",
          "'HKLM\\Software\\Velmora\\VT\\KeyValue' IS_VMODE dword 1"},
         "The camera cannot be used during a video call."},
        {"battery empty", {"'HKLM\\System\\State\\OrvaMan' Orva_Battery dword 0"},
         "The battery is too low to use the camera."},
        {"picture folder full", {"'HKLM\\Platform\\Disk' FreeKB dword 1024"},
         "There is not enough free storage to start the camera."},
        {"memory low", {"'HKLM\\Platform\\Memory' FreeKB dword 15360"},
         "There is not enough free memory to start the camera."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lumtest::TempDir dir;
        for (const auto& value : c.values)
            ASSERT_EQ(Lumreg(dir, "set " + value).exitCode, 0);
        Outcome r = Lumocr(dir, "wait 300\n");
        EXPECT_EQ(r.exitCode, 1) << r.output;
        EXPECT_EQ(r.output.find("MESSAGE LOOP start"), std::string::npos);
        EXPECT_EQ(r.output.find("Create MainFrame END"), std::string::npos) << "no main window";
        if (c.logged) {
            EXPECT_NE(r.output.find(c.logged), std::string::npos) << r.output;
        }
        EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRWorking"), "0");
    }
}

TEST(LifecycleE2E, ASecondInstanceEndsAtOnceAndAKilledFirstBlocksNothing)
{
    lumtest::TempDir dir;
    auto file = dir.path() / "long.scn";
    std::ofstream(file) << "wait 60000\n";  // killed below, long before it ends
    const auto firstLog = dir.path() / "first.log";
    const std::string first = std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + Device(dir) +
                              "' --scenario '" + file.string() + "' > '" + firstLog.string() + "' 2>&1 & echo $!";
    std::string pid = lumrun::Run(first).output;
    while (!pid.empty() && (pid.back() == '\n'))
        pid.pop_back();
    auto firstText = [&] {
        std::ifstream in(firstLog);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    // Wait until the first one has its window up and its loop running.
    for (int i = 0; i < 600 && firstText().find("MESSAGE LOOP start") == std::string::npos; ++i)
        lumrun::Run("sleep 0.05");
    // A value the first instance leaves alone until its end: a second one
    // that got as far as its state values would write 0 there.
    ASSERT_EQ(Lumreg(dir, "set 'HKLM\\System\\State\\Velmora\\Keypad' LumOCRRecognizing dword 7").exitCode, 0);
    Outcome second = Lumocr(dir, "wait 100\n");
    EXPECT_EQ(second.exitCode, 1) << second.output;
    EXPECT_NE(second.output.find("Exist Camera Process"), std::string::npos) << second.output;
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRRecognizing"), "7")
        << "the second instance writes nothing";
    EXPECT_NE(second.output.find("Focus changed"), std::string::npos) << second.output;
    for (int i = 0; i < 400 && firstText().find("brought forward") == std::string::npos; ++i)
        lumrun::Run("sleep 0.05");
    EXPECT_NE(firstText().find("brought forward at the request of process"), std::string::npos) << firstText();

    // Any process on the root sees the first one's window, until it is killed.
    plat::SetDeviceRoot(Device(dir));
    EXPECT_NE(FindWindowW(L"LUMOCR", nullptr), nullptr);
    lumrun::Run("kill -9 " + pid);
    lumrun::Run("sleep 0.2");
    EXPECT_EQ(FindWindowW(L"LUMOCR", nullptr), nullptr) << "a killed process's window is not found";
    Outcome next = Lumocr(dir, "wait 300\nkey TEND\nwait 300\n");
    EXPECT_EQ(next.exitCode, 0) << next.output;
    EXPECT_NE(next.output.find("MESSAGE LOOP start"), std::string::npos) << next.output;
}

}  // namespace
