// The program's images (PNG) and picture files as 16-bit bitmaps, both read
// by the picture reader (plat/picture.h); pixels that are more transparent
// than opaque become the magenta key.
#include <png.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

#include "gdi_internal.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/picture.h"
#include "plat/startup.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

namespace {

// A 16-bit bitmap of the picture; transparent pixels become the magenta key.
HBITMAP KeyedBitmap(const plat::Picture& picture)
{
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), picture.width, -picture.height, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0},
           {0xF800, 0x07E0, 0x001F}};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return nullptr;
    size_t stride = (static_cast<size_t>(picture.width) * 2 + 3) & ~size_t(3);
    for (int y = 0; y < picture.height; ++y) {
        auto* row = reinterpret_cast<WORD*>(static_cast<BYTE*>(bits) + stride * y);
        for (int x = 0; x < picture.width; ++x) {
            size_t i = static_cast<size_t>(y) * picture.width + x;
            row[x] = !picture.alpha.empty() && picture.alpha[i] < 128 ? 0xF81F : picture.pixels[i];
        }
    }
    return bitmap;
}

HBITMAP LoadPngFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    plat::Picture picture;
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0 ||
        plat::DecodePicture(bytes.data(), bytes.size(), 0, 0, &picture) != 0) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    return KeyedBitmap(picture);
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

// Picture files of any kind the reader knows, at full size.
HBITMAP LoadDeviceFile(LPCWSTR path)
{
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    plat::Picture picture;
    DWORD error = plat::DecodePictureFile(path, 0, 0, &picture);
    if (error) {
        SetLastError(error);
        return nullptr;
    }
    return KeyedBitmap(picture);
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
