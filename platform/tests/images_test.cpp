#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/screen.h"
#include "plat/windows.h"
#include "png_read.h"

namespace {

struct ManifestEntry {
    unsigned id;
    int width, height;
};

std::filesystem::path SourceImages() { return std::filesystem::path(LUM_SOURCE_DIR) / "resources" / "images"; }

std::vector<ManifestEntry> Manifest()
{
    std::vector<ManifestEntry> out;
    std::ifstream in(SourceImages() / "MANIFEST");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        ManifestEntry e{};
        fields >> e.id >> e.width >> e.height;
        out.push_back(e);
    }
    return out;
}

class ImageDir {
public:
    explicit ImageDir(const std::filesystem::path& dir) { setenv("LUMOCR_IMAGE_DIR", dir.c_str(), 1); }
    ~ImageDir() { unsetenv("LUMOCR_IMAGE_DIR"); }
};

}  // namespace

TEST(Images, EveryManifestImageLoadsAsA16BitBitmapOfItsSize)
{
    ImageDir dir(SourceImages());
    auto manifest = Manifest();
    ASSERT_GT(manifest.size(), 100u);
    for (const ManifestEntry& e : manifest) {
        HBITMAP bm = SHLoadImageResource(nullptr, e.id);
        ASSERT_TRUE(bm) << e.id;
        BITMAP info{};
        ASSERT_TRUE(GetObjectW(bm, sizeof info, &info));
        EXPECT_EQ(info.bmWidth, e.width) << e.id;
        EXPECT_EQ(info.bmHeight, e.height) << e.id;
        EXPECT_EQ(info.bmBitsPixel, 16);
        DeleteObject(bm);
        // No colour but the key itself turns into the key on a 5-6-5 display.
        PngFile png;
        ASSERT_TRUE(ReadPng(SourceImages() / (std::to_string(e.id) + ".png"), &png));
        for (const auto& row : png.rows)
            for (size_t x = 0; x + 2 < row.size(); x += 3) {
                bool key = row[x] == 255 && row[x + 1] == 0 && row[x + 2] == 255;
                bool reducesToKey = row[x] >> 3 == 31 && row[x + 1] >> 2 == 0 && row[x + 2] >> 3 == 31;
                ASSERT_TRUE(key || !reducesToKey) << e.id;
            }
    }
    EXPECT_TRUE(LoadBitmapW(nullptr, MAKEINTRESOURCEW(10300)));
    EXPECT_TRUE(LoadImageW(nullptr, MAKEINTRESOURCEW(10300), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    EXPECT_FALSE(SHLoadImageResource(nullptr, 4));  // no such image
    EXPECT_FALSE(SHLoadImageResource(nullptr, 0));
}

TEST(Images, KeyAreasStayTransparentInAKeyedBlit)
{
    ImageDir dir(SourceImages());
    HBITMAP focus = SHLoadImageResource(nullptr, 10023);  // brackets around a transparent middle
    ASSERT_TRUE(focus);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateCompatibleBitmap(dc, 51, 35);
    HGDIOBJ old = SelectObject(dc, target);
    PatBlt(dc, 0, 0, 51, 35, BLACKNESS);
    ASSERT_TRUE(TransparentImage(dc, 0, 0, 51, 35, focus, 0, 0, 51, 35, RGB(255, 0, 255)));
    EXPECT_EQ(GetPixel(dc, 12, 17), RGB(0, 0, 0));  // beside the centre's probe square
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 203, 66));  // green (0, 200, 64) through 5-6-5
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    DeleteObject(focus);
}

TEST(Images, PictureFilesLoadFromTheDevice)
{
    lumtest::TempDir root;
    plat::SetDeviceRoot(root.path());
    plat::ScreenImage image{3, 2, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), 0, 0, RGB(255, 255, 255)}};
    std::filesystem::create_directories(root.path() / "My Documents");
    ASSERT_TRUE(plat::WritePng(root.path() / "My Documents" / "p.png", image));
    HBITMAP bm = SHLoadImageFile(L"\\My Documents\\P.PNG");
    ASSERT_TRUE(bm);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(255, 255, 255));
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bm);
    EXPECT_TRUE(LoadImageW(nullptr, L"\\My Documents\\p.png", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));

    // Not a picture, cut short, missing: no bitmap, no crash.
    std::ofstream(root.path() / "junk.png") << "not a picture";
    EXPECT_FALSE(SHLoadImageFile(L"\\junk.png"));
    std::ifstream whole(root.path() / "My Documents" / "p.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
    std::ofstream(root.path() / "cut.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    EXPECT_FALSE(SHLoadImageFile(L"\\cut.png"));
    EXPECT_FALSE(SHLoadImageFile(L"\\missing.png"));
    EXPECT_FALSE(SHLoadImageFile(nullptr));
}
