// Hostile files through every picture loader: the decoder's crash corpus,
// and cut or flipped BMP, PNG and GIF files. Each gives an answer, no crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "ImageFactory.h"
#include "JpegDecoderTestSupport.h"
#include "lumtest/tempdir.h"
#include "picture_files.h"
#include "plat/device.h"

namespace fs = std::filesystem;

namespace {

class PictureLoadersRobustness : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        RegisterPictureDecoders();
    }
    // Every loader once; what they answer is theirs, they must only return.
    void ThroughEveryLoader(const std::vector<uint8_t>& bytes, const std::string& ext)
    {
        std::string name = std::to_string(counter++);
        name.append(ext);
        jpegtest::WriteFile(root.path() / name, bytes);
        std::wstring path(name.begin(), name.end());
        path.insert(path.begin(), L'\\');
        if (HBITMAP bm = SHLoadImageFile(path.c_str()))
            DeleteObject(bm);
        if (HBITMAP bm = CImageDecoder::GetInstance()->DecodeFileToDIB(nullptr, path.c_str(), 91, 64))
            DeleteObject(bm);
        if (BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(path.c_str()))
            std::free(grey);
        IBitmapImage* bitmap = nullptr;
        CeImageFactory::GetInstance()->DecodeFileToBitmap(path.c_str(), &bitmap);
        if (bitmap)
            bitmap->Release();
    }
    lumtest::TempDir root;
    int counter = 0;
};

}  // namespace

TEST_F(PictureLoadersRobustness, CrashCorpus)
{
    fs::path corpus = lumtest::TestData("jpeg-decoder/crashtest");
    ASSERT_TRUE(fs::exists(corpus));
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus)) {
        if (!e.is_regular_file() || e.path().extension() == ".md" || e.file_size() > (4u << 20))
            continue;
        SCOPED_TRACE(e.path().string());
        ThroughEveryLoader(jpegtest::ReadFile(e.path()), ".jpg");
        ++files;
    }
    EXPECT_GT(files, 5);
}

TEST_F(PictureLoadersRobustness, CutAndFlippedFiles)
{
    picturetest::Rgb pic = picturetest::HalfRedHalfBlue(40, 30);
    struct Kind {
        std::vector<uint8_t> bytes;
        const char* ext;
    } kinds[] = {{picturetest::Bmp8(pic), ".bmp"},
                 {picturetest::Bmp565(pic), ".bmp"},
                 {picturetest::Png(pic, true), ".png"},
                 {picturetest::Gif(pic, true), ".gif"},
                 {picturetest::Jpeg(pic), ".jpg"}};
    for (const Kind& k : kinds) {
        for (size_t cut = 0; cut < k.bytes.size(); cut += 1 + k.bytes.size() / 23)
            ThroughEveryLoader(picturetest::Cut(k.bytes, cut), k.ext);
        // One byte flipped at a time across the headers.
        for (size_t at = 0; at < std::min<size_t>(k.bytes.size(), 80); at += 3) {
            std::vector<uint8_t> flipped = k.bytes;
            flipped[at] ^= 0xA5;
            ThroughEveryLoader(flipped, k.ext);
        }
    }
}
