#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "ImageUtilDib.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"

TEST(ImageUtilDib, BlankDibIsZeroedAndBottomUp)
{
    HBITMAP bm = IUCreateBlankDIB(5, 3, 16);
    ASSERT_TRUE(bm);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(bm, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBmih.biHeight, 3);  // bottom-up
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 16);
    const BYTE* bits = static_cast<const BYTE*>(ds.dsBm.bmBits);
    for (int i = 0; i < ds.dsBm.bmWidthBytes * 3; ++i)
        ASSERT_EQ(bits[i], 0);
    DeleteObject(bm);
    EXPECT_FALSE(IUCreateBlankDIB(5, 3, 0));
    EXPECT_FALSE(IUCreateBlankDIB(0, 3, 16));
}

TEST(ImageUtilDib, SavedBitmapFileHoldsThePixels)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    HBITMAP bm = IUCreateBlankDIB(3, 2, 16);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    SetPixel(dc, 0, 0, RGB(255, 0, 0));  // top-left: the last row in the file
    SelectObject(dc, old);
    DeleteDC(dc);
    ASSERT_EQ(IUSaveBitmapFile(bm, L"\\shot.bmp"), 1);
    std::ifstream in(root.path() / "shot.bmp", std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(file.size(), 14u + 40u + 12u + 16u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[30], 3);  // BI_BITFIELDS: RGB565
    size_t topRow = 66 + 8;
    EXPECT_EQ(file[topRow], 0x00);
    EXPECT_EQ(file[topRow + 1], 0xF8);
    EXPECT_EQ(file[66], 0);
    EXPECT_EQ(IUSaveBitmapFile(bm, L"\\no such folder\\shot.bmp"), 0);
    DeleteObject(bm);
    EXPECT_EQ(IUSaveBitmapFile(bm, L"\\again.bmp"), 0);  // a deleted bitmap
}
