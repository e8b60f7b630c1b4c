// lumocr --scenario as a user runs it: exit codes and messages.
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

Outcome RunLumocr(const lumtest::TempDir& dir, const std::string& steps)
{
    auto file = dir.path() / "steps.scn";
    std::ofstream(file) << steps;
    std::string command = std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + (dir.path() / "device").string() +
                          "' --scenario '" + file.string() + "' 2>&1";
    Outcome out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 512> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        out.output.append(buffer.data(), n);
    int status = pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

}  // namespace

TEST(LumocrScenarioE2E, AScenarioThatPassesEndsWithTheProgramsResult)
{
    lumtest::TempDir dir;
    Outcome r = RunLumocr(dir, "# keys and touches with nothing to take them are harmless\n"
                               "key TEND\n"
                               "tap 120 200\n"
                               "reg HKCU\\Software\\Test Value dword 7\n"
                               "wait 20\n"
                               "expect-reg HKCU\\Software\\Test Value 7\n"
                               "end\n");
    EXPECT_EQ(r.exitCode, 0) << r.output;
}

TEST(LumocrScenarioE2E, AFailedExpectationExitsNonZeroNamingItsLine)
{
    lumtest::TempDir dir;
    Outcome r = RunLumocr(dir, "wait 10\n\nexpect-file \"\\My Documents\\KVIM\\B*.jpg\"\nend\n");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("steps.scn:3: expect-file"), std::string::npos) << r.output;
}

TEST(LumocrScenarioE2E, ABadLineStopsBeforeTheProgramStarts)
{
    lumtest::TempDir dir;
    Outcome r = RunLumocr(dir, "wait 10\npress the button\n");
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("steps.scn:2: unknown step \"press\""), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("LumOCR start"), std::string::npos) << "the program never ran";
}
