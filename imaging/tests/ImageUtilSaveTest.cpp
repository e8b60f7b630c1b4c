#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ImageUtil.h"
#include "acs_control.h"
#include "capture_values_double.h"
#include "lumtest/tempdir.h"
#include "neighbour_doubles.h"
#include "plat/device.h"
#include "saver_test_support.h"
#include "settings.h"

namespace fs = std::filesystem;

namespace {

class ImageUtilSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        capture_values::Reset();
    }
    void TearDown() override
    {
        CSettings::ReleaseInstance();
        CACSControl::ReleaseInstance();
        doubles::ReleaseAll();
    }

    fs::path Host(const std::wstring& device) const { return *plat::MapDevicePath(device.c_str()); }

    std::vector<uint8_t> ReadDevice(const std::wstring& device) const
    {
        std::ifstream in(Host(device), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    static std::vector<uint8_t> Rgb565Pattern(int w, int h)
    {
        std::vector<uint8_t> px(static_cast<size_t>(w) * h * 2);
        for (size_t i = 0; i < px.size(); i += 2) {
            uint16_t v = static_cast<uint16_t>((i * 7919) >> 4);
            px[i] = static_cast<uint8_t>(v);
            px[i + 1] = static_cast<uint8_t>(v >> 8);
        }
        return px;
    }

    static std::string Today()
    {
        SYSTEMTIME t{};
        GetLocalTime(&t);
        char text[32];
        std::snprintf(text, sizeof text, "%04u:%02u:%02u", t.wYear, t.wMonth, t.wDay);
        return text;
    }

    lumtest::TempDir root;
};

}  // namespace

TEST_F(ImageUtilSave, ThumbnailSizeFollowsThePictureSize)
{
    struct Case {
        int w, h, thumbW, thumbH;
    } cases[] = {{256, 192, 256, 192}, {272, 204, 272, 204}, {1280, 960, 320, 240}, {640, 480, 320, 240}};
    for (const Case& c : cases) {
        auto px = Rgb565Pattern(c.w, c.h);
        ASSERT_EQ(CImageUtil::SaveJpegFromBuffer(L"\\pic.jpg", px.data(), c.w, c.h, 1), S_OK) << c.w;
        savertest::Reading r = savertest::Read(ReadDevice(L"\\pic.jpg"));
        ASSERT_TRUE(r.ok) << c.w;
        EXPECT_EQ(r.width, c.w);
        EXPECT_EQ(r.thumbWidth, c.thumbW) << c.w << "x" << c.h;
        EXPECT_EQ(r.thumbHeight, c.thumbH) << c.w << "x" << c.h;
        EXPECT_EQ(r.make, "VELMORA");
        EXPECT_EQ(r.pixelX, static_cast<uint32_t>(c.w));
    }
}

TEST_F(ImageUtilSave, QualityFollowsTheCameraSetting)
{
    auto px = Rgb565Pattern(64, 48);
    struct Case {
        int setting, fileQuality, memoryQuality;
    } cases[] = {{0, 95, 85}, {1, 80, 70}, {3, 50, 40}};
    for (const Case& c : cases) {
        capture_values::Current().quality = c.setting;
        ASSERT_EQ(CImageUtil::SaveJpegFromBuffer(L"\\q.jpg", px.data(), 64, 48, 1), S_OK);
        EXPECT_EQ(savertest::MainQuantTables(ReadDevice(L"\\q.jpg")),
                  savertest::MainQuantTables(savertest::ReferenceJpeg(px.data(), 64, 48, 7, c.fileQuality)))
            << c.setting;
        std::vector<uint8_t> memory(1 << 20);
        DWORD n = CImageUtil::SaveJpegFromBuffer(memory.data(), static_cast<DWORD>(memory.size()), px.data(), 64,
                                                 48, 1);
        ASSERT_GT(n, 0u);
        memory.resize(n);
        EXPECT_EQ(savertest::MainQuantTables(memory),
                  savertest::MainQuantTables(savertest::ReferenceJpeg(px.data(), 64, 48, 7, c.memoryQuality)))
            << c.setting;
    }
}

TEST_F(ImageUtilSave, MemorySaverStopsAtItsCapacity)
{
    capture_values::Current().whiteBalance = 3;
    auto px = Rgb565Pattern(64, 48);
    std::vector<uint8_t> out(1 << 20);
    DWORD n = CImageUtil::SaveJpegFromBuffer(out.data(), static_cast<DWORD>(out.size()), px.data(), 64, 48, 1);
    ASSERT_GT(n, 100u);
    out.resize(n);
    // The stream ends with EOI and the encoder's zero padding to a word.
    std::string tail(out.end() - 6, out.end());
    EXPECT_NE(tail.find("\xFF\xD9"), std::string::npos);
    savertest::Reading r = savertest::Read(out);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.make, "VELMORA Electronics");
    EXPECT_EQ(r.whiteBalance, 1);
    EXPECT_EQ(r.thumbWidth, 0);
    std::vector<uint8_t> small(n - 1);
    EXPECT_EQ(CImageUtil::SaveJpegFromBuffer(small.data(), n - 1, px.data(), 64, 48, 1), 0u);
}

TEST_F(ImageUtilSave, StillKeepsTheStreamAndCarriesTheCameraValues)
{
    auto stream = savertest::CameraStream(640, 480);
    auto still = savertest::StillBuffer(stream);
    capture_values::Current().orientation = 6;
    capture_values::Current().latitude = 37.5;
    capture_values::Current().longitude = 127.25;
    // The indicator word says "position available" but the record has none:
    // the record decides.
    CSettings::GetInstance()->SetUseGPS(TRUE);
    CSettings::GetInstance()->SetGPSState(1);
    ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\nofix.jpg", still.data(), static_cast<DWORD>(still.size()), 0),
              S_OK);
    capture_values::Current().fix = true;
    ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\fix.jpg", still.data(), static_cast<DWORD>(still.size()), 0),
              S_OK);
    CSettings::GetInstance()->SetUseGPS(FALSE);  // a fix, but the user switched the GPS off
    ASSERT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\off.jpg", still.data(), static_cast<DWORD>(still.size()), 0),
              S_OK);

    savertest::Reading fix = savertest::Read(ReadDevice(L"\\fix.jpg"));
    ASSERT_TRUE(fix.ok);
    EXPECT_EQ(fix.make, "VELMORA");
    EXPECT_EQ(fix.model, "VMX-k410");
    EXPECT_EQ(fix.width, 640);
    EXPECT_EQ(fix.pixelX, 640u);  // the wrapped stream's size
    EXPECT_EQ(fix.pixelY, 480u);
    EXPECT_EQ(fix.orientation, 6);
    EXPECT_EQ(fix.thumbWidth, 320);
    EXPECT_EQ(fix.thumbHeight, 240);
    EXPECT_EQ(fix.dateTimeOriginal.substr(0, 10), Today());
    EXPECT_EQ(fix.gpsLatitudeDegrees, 37u);
    EXPECT_EQ(savertest::Read(ReadDevice(L"\\nofix.jpg")).gpsLatitudeDegrees, 0u);
    EXPECT_EQ(savertest::Read(ReadDevice(L"\\off.jpg")).gpsLatitudeDegrees, 0u);
}

TEST_F(ImageUtilSave, StillSizesAreCheckedBeforeTheFileIsMade)
{
    auto stream = savertest::CameraStream(64, 48);
    // A stream padded after its end to the largest size accepted, and one byte more.
    std::vector<uint8_t> largest = stream;
    largest.resize(CImageUtil::kMaxStillStream, 0);
    auto still = savertest::StillBuffer(largest);
    EXPECT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\max.jpg", still.data(), static_cast<DWORD>(still.size())),
              S_OK);
    EXPECT_TRUE(fs::exists(Host(L"\\max.jpg")));

    largest.push_back(0);
    still = savertest::StillBuffer(largest);
    EXPECT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\over.jpg", still.data(), static_cast<DWORD>(still.size())),
              E_FAIL);
    auto frameOnly = savertest::ThumbnailFrame();
    EXPECT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\short.jpg", frameOnly.data(),
                                                static_cast<DWORD>(frameOnly.size())),
              E_FAIL);
    for (const fs::directory_entry& e : fs::directory_iterator(root.path()))
        EXPECT_NE(e.path().filename().string().substr(0, 4), "over") << e.path();
    EXPECT_FALSE(fs::exists(Host(L"\\short.jpg")));
}

TEST_F(ImageUtilSave, FailuresLeaveNoPartialPicture)
{
    { std::ofstream(root.path() / "keep.jpg") << "old"; }
    // Where the temporary file would go stands a folder: nothing can be written.
    fs::create_directory(root.path() / "keep.jpg.part");
    auto px = Rgb565Pattern(64, 48);
    EXPECT_EQ(CImageUtil::SaveJpegFromBuffer(L"\\keep.jpg", px.data(), 64, 48, 1), E_FAIL);
    EXPECT_EQ(ReadDevice(L"\\keep.jpg"), (std::vector<uint8_t>{'o', 'l', 'd'}));

    auto still = savertest::StillBuffer(savertest::CameraStream(64, 48));
    EXPECT_EQ(CImageUtil::SaveJpegWithThumbnail(L"\\no folder\\a.jpg", still.data(),
                                                static_cast<DWORD>(still.size())),
              E_FAIL);
    // An encoder refusal comes back as its own code, before any file.
    HRESULT bad = CImageUtil::SaveJpegFromBuffer(L"\\bad.jpg", px.data(), 0, 48, 1);
    EXPECT_LT(bad, 0);
    EXPECT_NE(bad, E_FAIL);
    EXPECT_FALSE(fs::exists(Host(L"\\bad.jpg")));
    EXPECT_FALSE(fs::exists(root.path() / "bad.jpg.part"));
}

TEST_F(ImageUtilSave, FrameWithOverlayIsSavedAsRgb)
{
    std::vector<uint8_t> frame(320 * 240 * 3 / 2, 128);
    HBITMAP overlay = CImageUtil::CreateDIB(320, 240, 16, nullptr, TRUE);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, overlay);
    RECT all{0, 0, 320, 240}, mark{10, 10, 50, 50};
    HBRUSH key = CreateSolidBrush(RGB(255, 0, 255)), red = CreateSolidBrush(RGB(255, 0, 0));
    FillRect(dc, &all, key);
    FillRect(dc, &mark, red);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(key);
    DeleteObject(red);
    EXPECT_EQ(CImageUtil::SaveJpegWithFrame(L"\\framed.jpg", frame.data(), overlay), S_OK);
    savertest::Reading r = savertest::Read(ReadDevice(L"\\framed.jpg"));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.width, 320);
    DeleteObject(overlay);
}
