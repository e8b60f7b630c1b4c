// lumocr started for real on a scenario: the values it keeps while running,
// its orderly end on the end key, and the refusals of its run check.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "lumtest/tempdir.h"

namespace {

struct Outcome {
    int exitCode = -1;
    std::string output;
};

std::string Device(const lumtest::TempDir& dir) { return (dir.path() / "device").string(); }

Outcome Run(const std::string& command)
{
    Outcome out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        out.output.append(buffer.data(), n);
    int status = pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

Outcome Lumreg(const lumtest::TempDir& dir, const std::string& args)
{
    return Run(std::string(LUM_BINARY_DIR) + "/bin/lumreg --root '" + Device(dir) + "' " + args);
}

Outcome Lumocr(const lumtest::TempDir& dir, const std::string& steps)
{
    auto file = dir.path() / "steps.scn";
    std::ofstream(file) << steps;
    return Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + Device(dir) + "' --scenario '" +
               file.string() + "'");
}

std::string Value(const lumtest::TempDir& dir, const std::string& key, const std::string& name)
{
    std::string out = Lumreg(dir, "get '" + key + "' " + name).output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

TEST(LifecycleE2E, StartsKeepsItsValuesAndEndsOnTheEndKey)
{
    lumtest::TempDir dir;
    ASSERT_EQ(Lumreg(dir, "set 'HKLM\\System\\State\\Velmora\\Mouse' ActionMethod dword 3001").exitCode, 0);
    ASSERT_EQ(Lumreg(dir, "set 'HKCU\\ControlPanel\\MotionSensor' AutoOrientation dword 1").exitCode, 0);
    Outcome r = Lumocr(dir, "wait 600\n"
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
    EXPECT_NE(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "CameraWorking").find("0"), std::string::npos);
    EXPECT_NE(Value(dir, "HKLM\\System\\State\\Velmora\\Mouse", "ActionMethod").find("3001"), std::string::npos);
    EXPECT_NE(Value(dir, "HKCU\\ControlPanel\\MotionSensor", "AutoOrientation").find("1"), std::string::npos);
    EXPECT_NE(Value(dir, "HKCU\\SOFTWARE\\Velmora\\Camera", "Run").find("0"), std::string::npos);
    EXPECT_EQ(Lumreg(dir, "get 'HKCU\\SOFTWARE\\Quarlo\\LumOCR' BCROCR_MODE").exitCode, 0);
}

TEST(LifecycleE2E, RefusesToStartWhileKeysAreLockedOrACallRings)
{
    struct Case {
        const char* key;
        const char* name;
    };
    const Case cases[] = {{"HKLM\\System\\State", "Lock"}, {"HKLM\\System\\State\\Phone", "Status"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lumtest::TempDir dir;
        const char* value = std::string(c.name) == "Lock" ? "1" : "0x10000";
        ASSERT_EQ(Lumreg(dir, std::string("set '") + c.key + "' " + c.name + " dword " + value).exitCode, 0);
        Outcome r = Lumocr(dir, "wait 300\n");
        EXPECT_EQ(r.exitCode, 1) << r.output;
        EXPECT_EQ(r.output.find("MESSAGE LOOP start"), std::string::npos);
        EXPECT_NE(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRWorking").find("0"), std::string::npos);
    }
}

}  // namespace
