// imgtool: device paths live in --root DIR, inputs are host files.
//   load PATH OUT.ppm [--size WxH] [--via decoder|shell|factory]
//   thumb PATH OUT.pgm|OUT.ppm
//   still STREAM.jpg FRAME.yuv PATH
//   save IN.ppm PATH [--yuv] [--quality 0..3]
// Exit 0 on success, 1 with the failure's code, 2 for a wrong command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "ImageFactory.h"
#include "ImageUtil.h"
#include "pixels/Rgb565.h"
#include "plat/device.h"
#include "plat/startup.h"
#include "plat/utf.h"
#include "plat/windows.h"

extern int g_imgtoolQuality;

namespace {

struct Image {
    int width = 0, height = 0, channels = 3;
    std::vector<unsigned char> px;
};

int Usage()
{
    std::fprintf(stderr,
                 "usage: imgtool [--root DIR] load PATH OUT.ppm [--size WxH] [--via decoder|shell|factory]\n"
                 "       imgtool [--root DIR] thumb PATH OUT.pgm|OUT.ppm\n"
                 "       imgtool [--root DIR] still STREAM.jpg FRAME.yuv PATH\n"
                 "       imgtool [--root DIR] save IN.ppm PATH [--yuv] [--quality 0..3]\n");
    return 2;
}

int Fail(const char* what, long code)
{
    std::fprintf(stderr, "imgtool: %s failed with 0x%08lX\n", what, static_cast<unsigned long>(code) & 0xFFFFFFFFul);
    return 1;
}

bool ReadHost(const std::string& path, std::vector<unsigned char>* out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool WritePnm(const std::string& path, const Image& img)
{
    std::ofstream out(path, std::ios::binary);
    out << (img.channels == 1 ? "P5" : "P6") << "\n" << img.width << " " << img.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(img.px.data()), static_cast<std::streamsize>(img.px.size()));
    return static_cast<bool>(out);
}

bool ReadPpm(const std::string& path, Image* img)
{
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxval = 0;
    if (!(in >> magic >> img->width >> img->height >> maxval) || magic != "P6" || maxval != 255 ||
        img->width < 1 || img->height < 1 || img->width > 16384 || img->height > 16384)
        return false;
    in.get();
    img->px.resize(static_cast<size_t>(img->width) * img->height * 3);
    in.read(reinterpret_cast<char*>(img->px.data()), static_cast<std::streamsize>(img->px.size()));
    return static_cast<bool>(in);
}

// The bitmap's pixels, rows top-down, R G B.
bool FromBitmap(HBITMAP bm, Image* img)
{
    BITMAP b{};
    if (!GetObjectW(bm, sizeof b, &b))
        return false;
    img->width = b.bmWidth;
    img->height = b.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), b.bmWidth, -b.bmHeight, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    size_t stride = (static_cast<size_t>(b.bmWidth) * 3 + 3) & ~size_t(3);
    std::vector<unsigned char> rows(stride * b.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    int lines = GetDIBits(dc, bm, 0, static_cast<UINT>(b.bmHeight), rows.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines != b.bmHeight)
        return false;
    img->px.resize(static_cast<size_t>(b.bmWidth) * b.bmHeight * 3);
    for (int y = 0; y < b.bmHeight; ++y)
        for (int x = 0; x < b.bmWidth; ++x)
            for (int c = 0; c < 3; ++c)
                img->px[(static_cast<size_t>(y) * b.bmWidth + x) * 3 + c] = rows[stride * y + 3 * x + 2 - c];
    return true;
}

// CeImageFactory::DecodeFileToBitmap: at most 1280 x 960.
int LoadThroughFactory(const std::wstring& path, const std::string& out)
{
    IBitmapImage* bitmap = nullptr;
    CeImageFactory* factory = CeImageFactory::GetInstance();
    if (!factory->DecodeFileToBitmap(path.c_str(), &bitmap)) {
        if (bitmap)
            bitmap->Release();
        return Fail("load", factory->m_hrLast);
    }
    BitmapData d{};
    bitmap->LockBits(nullptr, ImageLockModeRead, PixelFormat16bppRGB565, &d);
    Image img{static_cast<int>(d.Width), static_cast<int>(d.Height), 3,
              pixels::WidenRgb565Rows(static_cast<const WORD*>(d.Scan0), d.Stride / 2, d.Width, d.Height)};
    bitmap->UnlockBits(&d);
    bitmap->Release();
    return WritePnm(out, img) ? 0 : Fail("write", E_FAIL);
}

int Load(const std::vector<std::string>& a)
{
    if (a.size() < 2)
        return Usage();
    int w = 400, h = 240;
    std::string via = "decoder";
    for (size_t i = 2; i + 1 < a.size(); i += 2) {
        if (a[i] == "--size" && std::sscanf(a[i + 1].c_str(), "%dx%d", &w, &h) == 2)
            continue;
        if (a[i] == "--via")
            via = a[i + 1];
        else
            return Usage();
    }
    std::wstring path = plat::FromUtf8(a[0]);
    HBITMAP bm = nullptr;
    if (via == "decoder")
        bm = CImageDecoder::GetInstance()->DecodeFileToDIB(nullptr, path.c_str(), w, h);
    else if (via == "shell")
        bm = SHLoadImageFile(path.c_str());
    else if (via == "factory")
        return LoadThroughFactory(path, a[1]);
    else
        return Usage();
    if (!bm)
        return Fail("load", via == "shell" ? static_cast<long>(GetLastError()) : E_FAIL);
    Image img;
    bool ok = FromBitmap(bm, &img) && WritePnm(a[1], img);
    DeleteObject(bm);
    return ok ? 0 : Fail("write", E_FAIL);
}

int Thumb(const std::vector<std::string>& a)
{
    if (a.size() != 2)
        return Usage();
    std::wstring path = plat::FromUtf8(a[0]);
    Image img;
    if (a[1].size() > 4 && a[1].substr(a[1].size() - 4) == ".pgm") {
        BYTE* grey = CImageDecoder::GetInstance()->DecodeJpegThumbnailToGray(path.c_str());
        if (!grey)
            return Fail("thumb", E_FAIL);
        img = {320, 240, 1, std::vector<unsigned char>(grey, grey + 320 * 240)};
        std::free(grey);
    } else {
        HBITMAP bm = CImageDecoder::GetInstance()->DecodeJpegThumbnailToDIB(path.c_str());
        if (!bm)
            return Fail("thumb", E_FAIL);
        bool ok = FromBitmap(bm, &img);
        DeleteObject(bm);
        if (!ok)
            return Fail("thumb", E_FAIL);
    }
    return WritePnm(a[1], img) ? 0 : Fail("write", E_FAIL);
}

int Still(const std::vector<std::string>& a)
{
    if (a.size() != 3)
        return Usage();
    std::vector<unsigned char> stream, frame;
    if (!ReadHost(a[0], &stream) || !ReadHost(a[1], &frame))
        return Fail("read", E_HANDLE);
    if (frame.size() != CImageUtil::kStillFrameBytes)
        return Fail("the 320 x 240 4:2:2 frame", E_INVALIDARG);
    stream.insert(stream.end(), frame.begin(), frame.end());
    std::wstring path = plat::FromUtf8(a[2]);
    HRESULT hr = CImageUtil::SaveJpegWithThumbnail(path.c_str(), stream.data(), static_cast<DWORD>(stream.size()));
    return hr < 0 ? Fail("still", hr) : 0;
}

// RGB to a camera 4:2:0 frame (Y, Cr, Cb), full range.
std::vector<unsigned char> CameraFrame(const Image& img)
{
    int w = img.width & ~1, h = img.height & ~1;
    std::vector<unsigned char> f(static_cast<size_t>(w) * h * 3 / 2);
    unsigned char* cr = f.data() + w * h;
    unsigned char* cb = cr + w * h / 4;
    auto clamp = [](double v) { return static_cast<unsigned char>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = &img.px[(static_cast<size_t>(y) * img.width + x) * 3];
            f[static_cast<size_t>(y) * w + x] = clamp(0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]);
            if (x % 2 == 0 && y % 2 == 0) {
                size_t c = static_cast<size_t>(y / 2) * (w / 2) + x / 2;
                cb[c] = clamp(128 - 0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2]);
                cr[c] = clamp(128 + 0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2]);
            }
        }
    return f;
}

int Save(const std::vector<std::string>& a)
{
    if (a.size() < 2)
        return Usage();
    bool yuv = false;
    for (size_t i = 2; i < a.size(); ++i) {
        if (a[i] == "--yuv")
            yuv = true;
        else if (a[i] == "--quality" && i + 1 < a.size() && a[i + 1].size() == 1 && a[i + 1][0] >= '0' &&
                 a[i + 1][0] <= '3')
            g_imgtoolQuality = a[++i][0] - '0';
        else
            return Usage();
    }
    Image img;
    if (!ReadPpm(a[0], &img))
        return Fail("read", E_INVALIDARG);
    std::vector<unsigned char> pixels;
    int w = img.width, h = img.height;
    if (yuv) {
        pixels = CameraFrame(img);
        w &= ~1;
        h &= ~1;
    } else {
        pixels.resize(static_cast<size_t>(w) * h * 2);
        for (size_t i = 0; i < static_cast<size_t>(w) * h; ++i) {
            const unsigned char* p = &img.px[3 * i];
            unsigned v = (p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3;
            pixels[2 * i] = static_cast<unsigned char>(v);
            pixels[2 * i + 1] = static_cast<unsigned char>(v >> 8);
        }
    }
    std::wstring path = plat::FromUtf8(a[1]);
    HRESULT hr = CImageUtil::SaveJpegFromBuffer(path.c_str(), pixels.data(), w, h, yuv ? 0 : 1);
    return hr < 0 ? Fail("save", hr) : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string root;
    if (args.size() >= 2 && args[0] == "--root") {
        root = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty())
        return Usage();
    if (!plat::Startup({.root = root, .deviceTemplate = {}}))
        std::fprintf(stderr, "imgtool: the registry of the device root could not be read\n");
    RegisterPictureDecoders();
    std::string command = args[0];
    std::vector<std::string> rest(args.begin() + 1, args.end());
    int result = command == "load"    ? Load(rest)
                 : command == "thumb" ? Thumb(rest)
                 : command == "still" ? Still(rest)
                 : command == "save"  ? Save(rest)
                                      : Usage();
    plat::Shutdown();
    return result;
}
