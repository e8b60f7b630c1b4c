#include <gtest/gtest.h>

#include <fstream>

#include "ImageFactory.h"
#include "ImageUtil.h"
#include "bitmap_probe.h"
#include "lumtest/tempdir.h"
#include "picture_files.h"
#include "plat/device.h"

namespace {

class ImageFactory : public ::testing::Test {
protected:
    void SetUp() override { plat::SetDeviceRoot(root.path()); }
    void Put(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(root.path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static SIZE SizeOf(IBitmapImage* b)
    {
        SIZE s{};
        b->GetSize(&s);
        return s;
    }
    static WORD PixelOf(IBitmapImage* b, int x, int y)
    {
        BitmapData d{};
        b->LockBits(nullptr, ImageLockModeRead, PixelFormat16bppRGB565, &d);
        WORD v = static_cast<const WORD*>(d.Scan0)[y * (d.Stride / 2) + x];
        b->UnlockBits(&d);
        return v;
    }
    lumtest::TempDir root;
};

}  // namespace

TEST_F(ImageFactory, LargePicturesDecodeToTheFittedSize)
{
    Put("big.bmp", picturetest::Bmp24(picturetest::HalfRedHalfBlue(2048, 1536), false));
    Put("small.bmp", picturetest::Bmp24(picturetest::HalfRedHalfBlue(200, 100), false));
    CeImageFactory* f = CeImageFactory::GetInstance();
    struct Case {
        const wchar_t* path;
        LONG w, h;
    } cases[] = {{L"\\big.bmp", 1280, 960}, {L"\\small.bmp", 200, 100}};
    for (const Case& c : cases) {
        IBitmapImage* bitmap = nullptr;
        ASSERT_EQ(f->DecodeFileToBitmap(c.path, &bitmap), 1);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(SizeOf(bitmap).cx, c.w);
        EXPECT_EQ(SizeOf(bitmap).cy, c.h);
        EXPECT_EQ(PixelOf(bitmap, 2, 2), 0xF800);  // red on the left
        bitmap->Release();
    }
}

TEST_F(ImageFactory, MissingFilesAndPendingDecodes)
{
    CeImageFactory* f = CeImageFactory::GetInstance();
    IBitmapImage* bitmap = nullptr;
    EXPECT_EQ(f->DecodeFileToBitmap(L"\\none.png", &bitmap), 0);
    EXPECT_EQ(f->m_hrLast, -1);
    EXPECT_EQ(bitmap, nullptr);

    Put("p.png", picturetest::Png(picturetest::HalfRedHalfBlue(40, 30)));
    plat::SetImagingDecodePending(3);  // the decoder answers E_PENDING three times
    ASSERT_EQ(f->DecodeFileToBitmap(L"\\p.png", &bitmap), 1);
    EXPECT_EQ(PixelOf(bitmap, 39, 29), 0x001F);
    bitmap->Release();

    IImage* image = nullptr;
    ASSERT_EQ(f->LoadImageFromFile(L"\\p.png", &image, TRUE), 1);
    ImageInfo info{};
    image->GetImageInfo(&info);
    EXPECT_EQ(info.Width, 40u);
    EXPECT_EQ(info.Xdpi, 96.0);
    image->Release();
}

TEST_F(ImageFactory, DibsBecomeImagesThatTurnClockwise)
{
    CeImageFactory* f = CeImageFactory::GetInstance();
    // 3 x 2 of 24 bits: rows padded to 12 bytes.
    void* bits = nullptr;
    HBITMAP dib24 = CImageUtil::CreateDIB(3, 2, 24, &bits, TRUE);
    static_cast<BYTE*>(bits)[2] = 0xFF;  // bottom-left pixel red (B, G, R)
    IImage* image = nullptr;
    ASSERT_EQ(f->CreateImageFromDIB(dib24, &image), 1);
    ImageInfo info{};
    image->GetImageInfo(&info);
    EXPECT_EQ(info.Width, 3u);
    EXPECT_EQ(info.Height, 2u);

    IBasicBitmapOps* ops = nullptr;
    ASSERT_EQ(f->CreateScaledBitmap(image, &ops), 1);
    IBitmapImage* turned = nullptr;
    ASSERT_EQ(ops->Rotate(90.0f, InterpolationHintDefault, &turned), S_OK);
    EXPECT_EQ(SizeOf(turned).cx, 2);
    EXPECT_EQ(SizeOf(turned).cy, 3);
    EXPECT_EQ(PixelOf(turned, 0, 0), 0xF800);  // the bottom-left corner goes to the top-left
    turned->Release();

    IImage* clone = nullptr;
    ASSERT_EQ(f->CloneImage(ops, &clone), 1);
    clone->Release();
    ops->Release();
    image->Release();
    DeleteObject(dib24);

    // A 5-6-5 section keeps its colours.
    const WORD green = 0x07E0;
    HBITMAP dib16 = CImageUtil::CreateRGB565DIBFromBuffer(&green, 1, 1);
    IImage* greenImage = nullptr;
    ASSERT_EQ(f->CreateImageFromDIB(dib16, &greenImage), 1);
    IBitmapImage* greenBitmap = nullptr;
    ASSERT_EQ(f->CreateBitmapFromImage(greenImage, &greenBitmap), 1);
    EXPECT_EQ(PixelOf(greenBitmap, 0, 0), green);
    greenBitmap->Release();
    greenImage->Release();
    DeleteObject(dib16);
    EXPECT_EQ(f->LogDecoders(), 1);
}
