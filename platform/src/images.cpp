// The program's images and picture files as 16-bit bitmaps. PNG through
// libpng: any bit depth and colour type is expanded to 8-bit RGBA first;
// pixels that are more transparent than opaque become the magenta key.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/startup.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxSide = 8192;

struct Rgba {
    int width = 0, height = 0;
    std::vector<png_byte> pixels;  // 4 bytes a pixel
};

// A broken file is an ordinary failure: nothing printed, back to the setjmp.
void Quietly(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void IgnoreWarning(png_structp, png_const_charp) {}

// Reads the whole file in; setjmp lives in this function alone.
bool DecodePng(FILE* f, Rgba* out)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &Quietly, &IgnoreWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_init_io(png, f);
    png_set_user_limits(png, kMaxSide, kMaxSide);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    out->width = static_cast<int>(png_get_image_width(png, info));
    out->height = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<size_t>(out->width) * 4)
        png_error(png, "unexpected row size");
    out->pixels.resize(static_cast<size_t>(out->width) * out->height * 4);
    std::vector<png_bytep> rows(static_cast<size_t>(out->height));
    for (int y = 0; y < out->height; ++y)
        rows[y] = out->pixels.data() + static_cast<size_t>(y) * out->width * 4;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

HBITMAP LoadPngFile(const fs::path& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    png_byte signature[8] = {};
    bool isPng = std::fread(signature, 1, 8, f) == 8 && png_sig_cmp(signature, 0, 8) == 0;
    std::rewind(f);
    Rgba image;
    bool ok = isPng && DecodePng(f, &image);
    std::fclose(f);
    if (!ok || image.width <= 0 || image.height <= 0) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), image.width, image.height, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0},
           {0xF800, 0x07E0, 0x001F}};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    plat::gdi::Surface out(static_cast<BYTE*>(bits), image.width, image.height, ((image.width * 2) + 3) & ~3,
                           plat::gdi::PixelFormat::Rgb565(), true);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const png_byte* p = &image.pixels[(static_cast<size_t>(y) * image.width + x) * 4];
            out.Set(x, y, p[3] < 128 ? RGB(255, 0, 255) : RGB(p[0], p[1], p[2]));
        }
    return bitmap;
}

std::optional<unsigned> ResourceId(LPCWSTR name)
{
    auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value && value <= 0xFFFF)
        return static_cast<unsigned>(value);
    return std::nullopt;
}

HBITMAP LoadResourceImage(unsigned id)
{
    fs::path file = plat::ImageDir() / (std::to_string(id) + ".png");
    HBITMAP bitmap = LoadPngFile(file);
    if (!bitmap)
        plat::DebugLine(L"no image resource %u (%ls)\r\n", id, plat::FromUtf8(file.string()).c_str());
    return bitmap;
}

HBITMAP LoadDeviceFile(LPCWSTR path)
{
    if (!path)
        return nullptr;
    auto host = plat::MapDevicePath(path);
    if (!host) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }
    return LoadPngFile(*host);
}

}  // namespace

namespace plat {

fs::path ImageDir()
{
    const char* env = std::getenv("LUMOCR_IMAGE_DIR");
    if (env && *env)
        return env;
    return ExecutableDir().parent_path() / "resources" / "images";
}

}  // namespace plat

HBITMAP LoadBitmapW(HINSTANCE, LPCWSTR name)
{
    auto id = ResourceId(name);
    if (!id) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadResourceImage(*id);
}

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT flags)
{
    if (type != IMAGE_BITMAP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (flags & LR_LOADFROMFILE)
        return LoadDeviceFile(name);
    return LoadBitmapW(instance, name);
}

HBITMAP SHLoadImageResource(HINSTANCE, UINT id)
{
    if (id == 0 || id > 0xFFFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return LoadResourceImage(id);
}

HBITMAP SHLoadImageFile(LPCWSTR path) { return LoadDeviceFile(path); }
