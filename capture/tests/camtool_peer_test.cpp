// camtool's files read by independent programs: ffprobe for the preview
// stream, djpeg for the still.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "lumtest/tempdir.h"

namespace {

const std::string kBin = std::string(LUM_BINARY_DIR) + "/bin/";

std::string Shell(const std::string& command, int* status = nullptr)
{
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = pclose(pipe);
    if (status) *status = WEXITSTATUS(rc);
    return out;
}

bool Have(const std::string& program) { return std::system(("command -v " + program + " >/dev/null").c_str()) == 0; }

class CamtoolPeer : public ::testing::Test {
protected:
    void SetCamera(const std::string& source)
    {
        int status = -1;
        Shell(kBin + "lumreg --root " + root_.path().string() + " set 'HKLM\\Platform\\Camera' Source sz " + source, &status);
        ASSERT_EQ(status, 0);
    }
    std::string Camtool(const std::string& args, int* status)
    {
        return Shell(kBin + "camtool --root " + root_.path().string() + " " + args, status);
    }
    lumtest::TempDir root_;
    lumtest::TempDir out_;
};

}  // namespace

TEST_F(CamtoolPeer, PreviewIsAStreamFfprobeReads)
{
    if (!Have("ffprobe")) GTEST_SKIP() << "ffprobe is not installed";
    SetCamera("pattern");
    const auto file = out_.path() / "preview.y4m";
    int status = -1;
    const std::string printed = Camtool("preview 6 " + file.string() + " --size 7", &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("WM_MAIN_COMMAND 0x100ca 0x0"), std::string::npos) << printed;
    const std::string probe = Shell("ffprobe -v error -count_frames -show_entries stream=width,height,pix_fmt,nb_read_frames "
                                  "-of default=nw=1 " + file.string());
    EXPECT_NE(probe.find("width=176"), std::string::npos) << probe;
    EXPECT_NE(probe.find("height=144"), std::string::npos) << probe;
    EXPECT_NE(probe.find("nb_read_frames=6"), std::string::npos) << probe;
}

TEST_F(CamtoolPeer, StillIsAJpegDjpegReads)
{
    if (!Have("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    SetCamera("pattern");
    const auto base = out_.path() / "shot";
    int status = -1;
    const std::string printed = Camtool("still " + base.string() + " --size 4", &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_EQ(std::filesystem::file_size(base.string() + "-thumb.yuv"), 153600u);
    const std::string header = Shell("djpeg -pnm " + base.string() + ".jpg | head -c 16");
    EXPECT_EQ(header.rfind("P6\n640 480\n", 0), 0u) << header;
}

TEST_F(CamtoolPeer, NoCameraExitsWithTheCode)
{
    SetCamera("none");
    int status = -1;
    const std::string printed = Camtool("info", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(printed.find("0x80070006"), std::string::npos) << printed;
}

TEST_F(CamtoolPeer, ShootSavesTheProgramsPictureThatDjpegReads)
{
    if (!Have("djpeg")) GTEST_SKIP() << "djpeg is not installed";
    SetCamera("pattern");
    int status = -1;
    const std::string printed = Camtool("shoot", &status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("WM_SINGLE_SHOT 0x0 0x10004"), std::string::npos) << printed;
    EXPECT_NE(printed.find("WM_START_RECOGNITION"), std::string::npos) << printed;
    // "saved \My Documents\KVIM\B<yymmdd>001.jpg (N ms)"
    const std::string marker = "saved \\My Documents\\KVIM\\B";
    const auto at = printed.find(marker);
    ASSERT_NE(at, std::string::npos) << printed;
    const std::string name = printed.substr(at + marker.size(), 13);
    EXPECT_EQ(name.substr(6), "001.jpg") << name;
    const auto file = root_.path() / "My Documents" / "KVIM" / ("B" + name);
    ASSERT_TRUE(std::filesystem::exists(file)) << file;
    const std::string header = Shell("djpeg -pnm '" + file.string() + "' | head -c 16");
    EXPECT_EQ(header.rfind("P6\n1280 960\n", 0), 0u) << header;
}

TEST_F(CamtoolPeer, ShootWithoutACameraSavesNothing)
{
    SetCamera("none");
    int status = -1;
    const std::string printed = Camtool("shoot --auto", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(printed.find("saved \\"), std::string::npos) << printed;
}
