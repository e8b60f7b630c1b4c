// The still saver's file read by exiftool, exiv2 and libjpeg.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "ImageDecoder.h"
#include "ImageUtil.h"
#include "JpegDecoderTestSupport.h"
#include "acs_control.h"
#include "capture_values_double.h"
#include "lumtest/tempdir.h"
#include "neighbour_doubles.h"
#include "plat/device.h"
#include "saver_test_support.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

std::string Shell(const std::string& command)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::array<char, 4096> buf;
    size_t n;
    while (pipe && (n = std::fread(buf.data(), 1, buf.size(), pipe.get())) > 0)
        out.append(buf.data(), n);
    return out;
}

std::map<std::string, std::string> Tags(const std::string& command)
{
    std::map<std::string, std::string> tags;
    std::istringstream in(Shell(command));
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(": ");
        if (colon != std::string::npos)
            tags[line.substr(0, colon)] = line.substr(colon + 2);
    }
    return tags;
}

class ImageUtilSavePeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        capture_values::Reset();
        RegisterPictureDecoders();
        stream = savertest::CameraStream(1280, 960);
        auto still = savertest::StillBuffer(stream);
        capture_values::Current().orientation = 8;
        capture_values::Current().latitude = 37.5;
        capture_values::Current().longitude = -122.25;
        capture_values::Current().altitude = 12.5f;
        CSettings::GetInstance()->SetUseGPS(TRUE);
        ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\nofix.jpg", still.data(), static_cast<DWORD>(still.size())),
                  S_OK);
        capture_values::Current().fix = true;
        ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\B261211001.jpg", still.data(),
                                                    static_cast<DWORD>(still.size())),
                  S_OK);
        file = root.path() / "B261211001.jpg";
    }
    void TearDown() override
    {
        CSettings::ReleaseInstance();
        CACSControl::ReleaseInstance();
        doubles::ReleaseAll();
    }
    static std::string Quoted(const fs::path& p)
    {
        std::string q = p.string();
        q.insert(q.begin(), '\'');
        q.push_back('\'');
        return q;
    }

    lumtest::TempDir root;
    std::vector<uint8_t> stream;
    fs::path file;
};

}  // namespace

TEST_F(ImageUtilSavePeer, ExiftoolAndExiv2ReadTheCameraValues)
{
    auto tags = Tags("exiftool -S -n " + Quoted(file) + " 2>&1");
    EXPECT_EQ(tags["Make"], "VELMORA");
    EXPECT_EQ(tags["Model"], "VMX-k410");
    EXPECT_EQ(tags["ExifImageWidth"], "1280");
    EXPECT_EQ(tags["ExifImageHeight"], "960");
    EXPECT_EQ(tags["ImageWidth"], "1280");
    EXPECT_EQ(tags["Orientation"], "8");
    SYSTEMTIME t{};
    GetLocalTime(&t);
    char today[32];
    std::snprintf(today, sizeof today, "%04u:%02u:%02u", t.wYear, t.wMonth, t.wDay);
    EXPECT_EQ(tags["DateTimeOriginal"].substr(0, 10), today);
    EXPECT_NEAR(std::atof(tags["GPSLatitude"].c_str()), 37.5, 1e-4);
    EXPECT_NEAR(std::atof(tags["GPSLongitude"].c_str()), -122.25, 1e-4);
    EXPECT_NEAR(std::atof(tags["GPSAltitude"].c_str()), 12.5, 0.05);
    EXPECT_EQ(tags.count("GPSLatitude"), 1u);
    EXPECT_EQ(Tags("exiftool -S " + Quoted(root.path() / "nofix.jpg")).count("GPSLatitude"), 0u);

    // The embedded thumbnail is a 320 x 240 JPEG.
    fs::path thumb = root.path() / "thumb.jpg";
    Shell("exiftool -b -ThumbnailImage " + Quoted(file) + " > " + Quoted(thumb));
    auto thumbTags = Tags("exiftool -S " + Quoted(thumb));
    EXPECT_EQ(thumbTags["ImageWidth"], "320");
    EXPECT_EQ(thumbTags["ImageHeight"], "240");

    // Nothing for the validator to remark on, minor remarks included.
    std::istringstream warnings(Shell("exiftool -validate -warning -a " + Quoted(file)));
    std::string line;
    while (std::getline(warnings, line))
        EXPECT_NE(line.rfind("Warning", 0), 0u) << line;
    auto exiv2 = Tags("exiv2 -PEkv " + Quoted(file) + " 2>&1 | sed 's/  */: /'");
    EXPECT_EQ(exiv2["Exif.Image.Make"], "VELMORA");
    EXPECT_EQ(exiv2.count("Exif.GPSInfo.GPSLatitude"), 1u);
    EXPECT_EQ(Shell("exiv2 -pa " + Quoted(file) + " 2>&1 >/dev/null"), "");
}

TEST_F(ImageUtilSavePeer, TheWrappedStreamDecodesToTheSamePixels)
{
    fs::path raw = root.path() / "camera.jpg";
    jpegtest::WriteFile(raw, stream);
    std::string ours = Shell("djpeg -ppm " + Quoted(file));
    std::string camera = Shell("djpeg -ppm " + Quoted(raw));
    ASSERT_GT(camera.size(), 1280u * 960u * 3u);
    EXPECT_TRUE(ours == camera) << "djpeg sees other pixels";
}

TEST_F(ImageUtilSavePeer, GreyThumbnailFollowsLibjpegThroughTheTable)
{
    fs::path thumb = root.path() / "thumb.jpg";
    Shell("exiftool -b -ThumbnailImage " + Quoted(file) + " > " + Quoted(thumb));
    jpegtest::Picture peer = jpegtest::PeerDecode(jpegtest::ReadFile(thumb), "rgb");
    ASSERT_EQ(peer.width, 320u);
    ASSERT_EQ(peer.height, 240u);
    BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(L"\\B261211001.jpg");
    ASSERT_TRUE(grey);
    int worst = 0;
    for (size_t i = 0; i < 320u * 240u; ++i) {
        const uint8_t* p = &peer.pixels[3 * i];
        WORD v = static_cast<WORD>((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
        worst = std::max(worst, std::abs(grey[i] - CImageDecoder::GreyOf(v)));
    }
    std::free(grey);
    EXPECT_LE(worst, 6);
}
