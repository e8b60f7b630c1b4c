// First frames of video files made by ffmpeg, against ffmpeg's own decode
// of the same frame; refusals and damaged files through the same road.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "JpegDecoderTestSupport.h"
#include "bitmap_probe.h"
#include "lumtest/command.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"

namespace fs = std::filesystem;

namespace {

class VideoFirstFramePeer : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDeviceRoot(root.path()); }

    // A one-second clip of a photograph, scaled to the size, made by ffmpeg.
    fs::path Make(const std::string& name, const std::string& size, const std::string& codec)
    {
        fs::path out = root.path() / name;
        std::string cmd = "ffmpeg -v error -y -loop 1 -framerate 15 -i " +
                          lumtest::ShellQuoted(lumtest::TestData("libjpeg-turbo/testorig.jpg")) + " -t 1 -vf scale=" + size +
                          " " + codec + " " + lumtest::ShellQuoted(out);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return out;
    }
    static std::wstring Device(const std::string& name)
    {
        std::wstring path(1, L'\\');
        path.append(name.begin(), name.end());
        return path;
    }

    // ffmpeg's first frame of the file as raw pixels of the format.
    std::vector<uint8_t> Reference(const fs::path& file, const char* pixelFormat)
    {
        fs::path raw = root.path() / "reference.raw";
        std::string cmd = "ffmpeg -v error -y -i " + lumtest::ShellQuoted(file) + " -frames:v 1 -pix_fmt " + pixelFormat +
                          " -f rawvideo " + lumtest::ShellQuoted(raw);
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return jpegtest::ReadFile(raw);
    }

    lumtest::TempDir root;
};

}  // namespace

TEST_F(VideoFirstFramePeer, PlanesMatchFfmpegsDecode)
{
    struct Case {
        const char* name;
        const char* size;
        const char* codec;
        int width, height;
    } cases[] = {
        {"mpeg4.3gp", "320:240", "-c:v mpeg4 -q:v 3", 320, 240},
        {"h263.3gp", "176:144", "-c:v h263 -q:v 3", 176, 144},
        {"avc.mp4", "320:240", "-c:v libx264 -pix_fmt yuv420p", 320, 240},
        {"avc.3g2", "320:240", "-c:v libx264 -pix_fmt yuv420p", 320, 240},
        {"motion.avi", "320:240", "-c:v mjpeg -pix_fmt yuvj420p -q:v 3", 320, 240},
    };
    for (const Case& c : cases) {
        fs::path file = Make(c.name, c.size, c.codec);
        DWORD layout = kFrameDecoderOwn, extra = 0;
        VideoFrame frame{};
        int w = 0, h = 0;
        ASSERT_EQ(CImageDecoder::GetInstance()->DecodeFile(Device(c.name).c_str(), c.width, c.height, &layout, &frame,
                                                           &w, &h, &extra, TRUE),
                  S_OK)
            << c.name;
        EXPECT_EQ(layout, kFrameYCbCr420) << c.name;
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        ASSERT_EQ(frame.mWidth, c.width);
        ASSERT_EQ(frame.mHeight, c.height);
        // ffmpeg's probe of the length, in milliseconds.
        double seconds = std::atof(
            lumtest::CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " + lumtest::ShellQuoted(file)).c_str());
        EXPECT_NEAR(extra, seconds * 1000, 1.0) << c.name;

        // Full-range planes Y, Cb, Cr from ffmpeg; ours are Y, Cr, Cb.
        std::vector<uint8_t> ref = Reference(file, "yuvj420p");
        size_t n = size_t(c.width) * c.height;
        ASSERT_EQ(ref.size(), n * 3 / 2);
        const uint8_t* ours[3] = {frame.mPlane[0], frame.mPlane[0] + n + n / 4, frame.mPlane[0] + n};
        const uint8_t* theirs[3] = {ref.data(), ref.data() + n, ref.data() + n + n / 4};
        size_t sizes[3] = {n, n / 4, n / 4};
        for (int p = 0; p < 3; ++p) {
            int worst = 0;
            for (size_t i = 0; i < sizes[p]; ++i)
                worst = std::max(worst, std::abs(int(ours[p][i]) - int(theirs[p][i])));
            // Only the rounding of the range widening differs.
            EXPECT_LE(worst, 1) << c.name << " plane " << p;
        }
        FreeVideoFrame(&frame);
    }
}

TEST_F(VideoFirstFramePeer, BitmapIsTheFittedFrame)
{
    fs::path file = Make("clip.mp4", "320:240", "-c:v libx264 -pix_fmt yuv420p");
    HBITMAP bm = CImageDecoder::GetInstance()->DecodeFileToDIB(L"\\clip.mp4", 400, 240);
    ASSERT_TRUE(bm);
    SIZE s = probe::SizeOf(bm);
    EXPECT_EQ(s.cx, 320);
    EXPECT_EQ(s.cy, 240);
    std::vector<uint8_t> rgb = Reference(file, "rgb24");
    jpegtest::Picture theirs{320, 240, 3, rgb};
    jpegtest::Picture ours{320, 240, 3, std::vector<uint8_t>(rgb.size())};
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            uint8_t* q = &ours.pixels[(size_t(y) * 320 + x) * 3];
            q[0] = GetRValue(c), q[1] = GetGValue(c), q[2] = GetBValue(c);
        }
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
    // RGB565 and the chroma's own upsampling are what separates the two.
    EXPECT_GT(jpegtest::Psnr(ours, theirs), 32.0);
}

TEST_F(VideoFirstFramePeer, RefusedFilesGiveTheirCode)
{
    Make("avc.mp4", "320:240", "-c:v libx264 -pix_fmt yuv420p");
    fs::copy_file(root.path() / "avc.mp4", root.path() / "named.avi");
    Make("other.mp4", "320:240", "-c:v mpeg2video");
    Make("quicktime.mp4", "320:240", "-c:v mpeg4 -f mov");
    std::string sound = "ffmpeg -v error -y -f lavfi -i sine=duration=1 -c:a aac " + lumtest::ShellQuoted(root.path() / "sound.3gp");
    ASSERT_EQ(std::system(sound.c_str()), 0);
    std::ofstream(root.path() / "text.3gp") << "not a video at all\n";
    struct Case {
        const wchar_t* path;
        HRESULT want;
    } cases[] = {
        {L"\\named.avi", E_FAIL},         // an MP4 under the AVI source
        {L"\\other.mp4", E_FAIL},         // a codec without a number
        {L"\\quicktime.mp4", E_FAIL},     // a QuickTime file under the 3GP and MP4 source
        {L"\\sound.3gp", E_FAIL},         // no video stream
        {L"\\text.3gp", E_FAIL},          // no media at all
        {L"\\missing.mp4", E_ACCESSDENIED},
    };
    for (const Case& c : cases) {
        DWORD layout = kFrameDecoderOwn;
        VideoFrame frame{};
        int w = -1, h = -1;
        EXPECT_EQ(CImageDecoder::GetInstance()->DecodeFile(c.path, 400, 240, &layout, &frame, &w, &h, nullptr, FALSE),
                  c.want);
        EXPECT_EQ(frame.mPlane[0], nullptr);
    }
}

TEST_F(VideoFirstFramePeer, DamagedFilesEndCleanly)
{
    fs::path good = Make("good.3gp", "320:240", "-c:v mpeg4");
    std::vector<uint8_t> bytes = jpegtest::ReadFile(good);
    ASSERT_GT(bytes.size(), 1000u);
    auto write = [&](const char* name, std::vector<uint8_t> data) {
        std::ofstream(root.path() / name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                                   std::streamsize(data.size()));
    };
    write("half.3gp", {bytes.begin(), bytes.begin() + bytes.size() / 2});
    write("head.3gp", {bytes.begin(), bytes.begin() + 64});
    std::vector<uint8_t> flipped = bytes;
    for (size_t i = 0; i < flipped.size(); i += 97)
        flipped[i] ^= 0x5A;
    write("flipped.3gp", flipped);
    for (const wchar_t* path : {L"\\half.3gp", L"\\head.3gp", L"\\flipped.3gp"}) {
        // A frame or a refusal, never a crash or a hang.
        HBITMAP bm = CImageDecoder::GetInstance()->DecodeFileToDIB(path, 400, 240);
        if (bm) {
            SIZE s = probe::SizeOf(bm);
            EXPECT_EQ(s.cx, 320);
            DeleteObject(bm);
        }
    }
}
