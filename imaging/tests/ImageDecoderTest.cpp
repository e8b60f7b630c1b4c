#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "ImageUtil.h"
#include "acs_control.h"
#include "bitmap_probe.h"
#include "capture_values_double.h"
#include "lumtest/tempdir.h"
#include "neighbour_doubles.h"
#include "picture_files.h"
#include "plat/device.h"
#include "saver_test_support.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

using probe::PixelAt;
using probe::SizeOf;

class ImageDecoderFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        capture_values::Reset();
        RegisterPictureDecoders();
    }
    void TearDown() override
    {
        CSettings::ReleaseInstance();
        CACSControl::ReleaseInstance();
        doubles::ReleaseAll();
    }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(root.path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    lumtest::TempDir root;
};

}  // namespace

TEST(ImageDecoder, FitKeepsProportionsInBothModes)
{
    struct Case {
        int srcW, srcH, targetW, targetH, mode;
        int left, top, width, height;
        float scale;
    } cases[] = {
        {1280, 960, 240, 400, 2, 0, 110, 240, 180, 0.1875f},
        {1280, 960, 400, 240, 2, 40, 0, 320, 240, 0.25f},
        {640, 480, 320, 240, 0, 0, 0, 320, 240, 0.5f},
        {1280, 960, 240, 400, 1, 0, 40, 320, 240, 0.25f},  // to be turned: the picture's own sides
        {960, 1280, 240, 400, 3, 0, 110, 180, 240, 0.1875f},
    };
    for (const Case& c : cases) {
        FitRect f{};
        f.srcWidth = c.srcW, f.srcHeight = c.srcH, f.targetWidth = c.targetW, f.targetHeight = c.targetH;
        f.fitMode = c.mode;
        CalcFitRect(&f);
        EXPECT_EQ(f.outLeft, c.left) << c.srcW << "x" << c.srcH << " mode " << c.mode;
        EXPECT_EQ(f.outTop, c.top) << c.srcW << "x" << c.srcH << " mode " << c.mode;
        EXPECT_EQ(f.outWidth, c.width) << c.srcW << "x" << c.srcH << " mode " << c.mode;
        EXPECT_EQ(f.outHeight, c.height) << c.srcW << "x" << c.srcH << " mode " << c.mode;
        EXPECT_FLOAT_EQ(f.scale, c.scale);
    }
    FitRect other{};
    other.srcWidth = other.srcHeight = 10, other.targetWidth = other.targetHeight = 5, other.fitMode = 7;
    other.outWidth = 99;
    CalcFitRect(&other);
    EXPECT_EQ(other.outWidth, 99);  // an unknown mode leaves the output alone
}

TEST(ImageDecoder, GreyOfPrimaries)
{
    EXPECT_EQ(CImageDecoder::GreyOf(0xF800), 74);
    EXPECT_EQ(CImageDecoder::GreyOf(0x07E0), 147);
    EXPECT_EQ(CImageDecoder::GreyOf(0x001F), 28);
    EXPECT_EQ(CImageDecoder::GreyOf(0xFFFF), 250);
    EXPECT_EQ(CImageDecoder::GreyOf(0x0000), 0);
}

TEST(ImageDecoder, FlipRowsTurnsTheBufferUpsideDown)
{
    WORD px[3][2] = {{1, 2}, {3, 4}, {5, 6}};
    EXPECT_EQ(FlipRows16bpp(nullptr, px, 2, 3), 1);
    EXPECT_EQ(px[0][0], 5);
    EXPECT_EQ(px[0][1], 6);
    EXPECT_EQ(px[1][0], 3);
    EXPECT_EQ(px[2][1], 2);
    EXPECT_EQ(FlipRows16bpp(nullptr, nullptr, 2, 3), 0);
}

TEST_F(ImageDecoderFiles, ThumbnailsOfSavedStills)
{
    auto still = savertest::StillBuffer(savertest::CameraStream(640, 480));
    ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\B1.jpg", still.data(), static_cast<DWORD>(still.size())), S_OK);
    BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(L"\\B1.jpg");
    ASSERT_TRUE(grey);
    // The frame's luma is a diagonal ramp: dark top-left, light bottom-right.
    EXPECT_LT(grey[0], 40);
    EXPECT_GT(grey[320 * 240 - 1], 200);
    std::free(grey);

    HBITMAP dib = CImageDecoder::GetInstance()->DecodeJpegThumbnailToDIB(L"\\B1.jpg");
    ASSERT_TRUE(dib);
    EXPECT_EQ(SizeOf(dib).cx, 320);
    EXPECT_EQ(SizeOf(dib).cy, 240);
    EXPECT_LT(GetGValue(PixelAt(dib, 2, 2)), 60);       // upright: the dark corner on top
    EXPECT_GT(GetGValue(PixelAt(dib, 317, 237)), 170);
    DeleteObject(dib);
}

TEST_F(ImageDecoderFiles, SmallThumbnailsStillGiveTheFullGreyPicture)
{
    // A 256 x 192 picture carries a thumbnail of its own size.
    std::vector<uint8_t> px(256 * 192 * 2, 0xFF);
    ASSERT_EQ(CImageUtil::SaveJpegFromBuffer(L"\\small.jpg", px.data(), 256, 192, 1), S_OK);
    BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(L"\\small.jpg");
    ASSERT_TRUE(grey);
    EXPECT_NEAR(grey[320 * 240 - 1], 250, 3);  // the last of 320 x 240 bytes is there
    std::free(grey);
}

TEST_F(ImageDecoderFiles, ThumbnailFailuresGiveNull)
{
    Put("plain.jpg", savertest::CameraStream(64, 48));  // no thumbnail
    Put("empty.jpg", {});
    Put("text.jpg", std::vector<uint8_t>(200000, 'x'));
    for (LPCWSTR path : {L"\\plain.jpg", L"\\empty.jpg", L"\\text.jpg", L"\\missing.jpg"}) {
        BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(path);
        EXPECT_EQ(grey, nullptr) << std::wstring(path).size();
        std::free(grey);
        EXPECT_FALSE(CImageDecoder::GetInstance()->DecodeJpegThumbnailToDIB(path));
    }
}

TEST_F(ImageDecoderFiles, PicturesOfEveryKindFitTheTarget)
{
    // 80 x 60 pictures, left half red, right half blue, in every format.
    picturetest::Rgb pic = picturetest::HalfRedHalfBlue(80, 60);
    Put("p.bmp", picturetest::Bmp24(pic, false));
    Put("td.bmp", picturetest::Bmp24(pic, true));
    Put("p8.bmp", picturetest::Bmp8(pic));
    Put("p16.bmp", picturetest::Bmp565(pic));
    Put("p.png", picturetest::Png(pic));
    Put("p.gif", picturetest::Gif(pic, false));
    Put("pi.gif", picturetest::Gif(pic, true));
    Put("p.JPG", picturetest::Jpeg(pic));
    for (LPCWSTR path : {L"\\p.bmp", L"\\td.bmp", L"\\p8.bmp", L"\\p16.bmp", L"\\p.png", L"\\p.gif", L"\\pi.gif",
                         L"\\p.JPG"}) {
        std::wstring wide(path);
        std::string name(wide.begin() + 1, wide.end());
        int w = 0, h = 0;
        HBITMAP bm = CImageDecoder::GetInstance()->DecodeFileToDIB(nullptr, path, 40, 40, nullptr, &w, &h);
        ASSERT_TRUE(bm) << name;
        EXPECT_EQ(w, 80) << name;
        EXPECT_EQ(h, 60) << name;
        EXPECT_EQ(SizeOf(bm).cx, 40) << name;
        EXPECT_EQ(SizeOf(bm).cy, 30) << name;
        COLORREF left = PixelAt(bm, 5, 3), right = PixelAt(bm, 34, 26);
        EXPECT_GT(GetRValue(left), 200) << name;
        EXPECT_LT(GetBValue(left), 60) << name;
        EXPECT_GT(GetBValue(right), 200) << name;
        EXPECT_LT(GetRValue(right), 60) << name;
        DeleteObject(bm);
    }
}

TEST_F(ImageDecoderFiles, FileErrorsAreDefined)
{
    Put("note.txt", {'h', 'i'});
    Put("cut.png", picturetest::Cut(picturetest::Png(picturetest::HalfRedHalfBlue(80, 60)), 60));
    Put("cut.gif", picturetest::Cut(picturetest::Gif(picturetest::HalfRedHalfBlue(80, 60), false), 40));
    Put("cut.bmp", picturetest::Cut(picturetest::Bmp24(picturetest::HalfRedHalfBlue(80, 60), false), 200));
    Put("huge.bmp", picturetest::BmpHeaderOnly(20000, 10));
    Put("rle.bmp", picturetest::BmpRle8());
    VideoFrame frame{};
    DWORD layout = kFrameRgb16;
    int w = 0, h = 0;
    auto decode = [&](LPCWSTR path) {
        return CImageDecoder::GetInstance()->DecodeFile(path, 400, 240, &layout, &frame, &w, &h, nullptr, FALSE);
    };
    EXPECT_EQ(decode(L"\\note.txt"), E_INVALIDARG);
    EXPECT_EQ(decode(L"\\missing.png"), E_HANDLE);
    for (LPCWSTR path : {L"\\cut.png", L"\\cut.gif", L"\\cut.bmp", L"\\huge.bmp", L"\\rle.bmp"}) {
        EXPECT_LT(decode(path), 0);
        EXPECT_EQ(frame.mPlane[0], nullptr);
        EXPECT_FALSE(SHLoadImageFile(path));
    }
}

TEST_F(ImageDecoderFiles, ShellLoaderKeepsFullSizeAndTheColourKey)
{
    picturetest::Rgb pic = picturetest::HalfRedHalfBlue(80, 60);
    Put("t.png", picturetest::Png(pic, /*transparentLeft=*/true));
    Put("p.jpg", picturetest::Jpeg(pic));
    HBITMAP png = SHLoadImageFile(L"\\t.png");
    ASSERT_TRUE(png);
    EXPECT_EQ(SizeOf(png).cx, 80);
    EXPECT_EQ(PixelAt(png, 3, 3), RGB(255, 0, 255));  // transparent: the key
    DeleteObject(png);
    HBITMAP jpg = SHLoadImageFile(L"\\p.jpg");
    ASSERT_TRUE(jpg);
    EXPECT_EQ(SizeOf(jpg).cy, 60);
    DeleteObject(jpg);
    // The picture decoder shows transparency as white.
    HBITMAP fitted = CImageDecoder::GetInstance()->DecodeFileToDIB(nullptr, L"\\t.png", 80, 60);
    ASSERT_TRUE(fitted);
    EXPECT_EQ(PixelAt(fitted, 3, 3), RGB(255, 255, 255));
    DeleteObject(fitted);
}

TEST_F(ImageDecoderFiles, GreyPictureIsFittedOnWhite)
{
    // A tall dark picture: white bands left and right in a 4:3 grey picture.
    Put("tall.jpg", picturetest::Jpeg(picturetest::Flat(60, 120, 20)));
    std::vector<BYTE> grey;
    ASSERT_TRUE(CImageDecoder::GetInstance()->DecodeFileToGray(L"\\tall.jpg", 1280, 960, &grey));
    ASSERT_EQ(grey.size(), 1280u * 960u);
    EXPECT_EQ(grey[480 * 1280 + 10], 255);
    EXPECT_LT(grey[480 * 1280 + 640], 40);
    Put("broken.jpg", {0xFF, 0xD8, 0xFF, 0xE0, 0, 4});
    EXPECT_FALSE(CImageDecoder::GetInstance()->DecodeFileToGray(L"\\broken.jpg", 1280, 960, &grey));
}
