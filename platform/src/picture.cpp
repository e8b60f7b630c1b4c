// Picture files by content: BMP read here, PNG through libpng, GIF through
// giflib, JPEG through the program's registered decoder.
#include "plat/picture.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

#include "plat/device.h"
#include "plat/error.h"

namespace plat {

namespace {

std::atomic<JpegPictureDecoder> g_jpeg{nullptr};

bool SideOk(long long w, long long h) { return w >= 1 && h >= 1 && w <= kMaxPictureSide && h <= kMaxPictureSide; }

WORD To565(unsigned r, unsigned g, unsigned b) { return static_cast<WORD>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3); }

uint32_t Le32(const BYTE* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const BYTE* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

bool Allocate(Picture* out, int w, int h, bool alpha)
{
    try {
        out->width = w;
        out->height = h;
        out->pixels.assign(static_cast<size_t>(w) * h, 0);
        out->alpha.assign(alpha ? static_cast<size_t>(w) * h : 0, 0);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// ----- BMP -----------------------------------------------------------------

// A channel under a bit mask, widened to 8 bits.
unsigned Channel(uint32_t v, uint32_t mask)
{
    if (!mask)
        return 0;
    int shift = __builtin_ctz(mask);
    uint32_t m = mask >> shift;
    int bits = 32 - __builtin_clz(m);
    uint32_t c = (v & mask) >> shift;
    return bits >= 8 ? c >> (bits - 8) : (c * 255 + m / 2) / m;
}

DWORD DecodeBmp(const BYTE* data, size_t size, Picture* out)
{
    if (size < 26)
        return ERROR_INVALID_DATA;
    uint32_t pixelOffset = Le32(data + 10), headerSize = Le32(data + 14);
    long long w, h;
    int bpp;
    uint32_t compression = 0;
    size_t paletteEntry = 4;
    if (headerSize == 12) {  // the old core header
        w = Le16(data + 18);
        h = static_cast<int16_t>(Le16(data + 20));
        bpp = Le16(data + 24);
        paletteEntry = 3;
    } else {
        if (headerSize < 40 || size < 14 + size_t(40))
            return ERROR_INVALID_DATA;
        w = static_cast<int32_t>(Le32(data + 18));
        h = static_cast<int32_t>(Le32(data + 22));
        bpp = Le16(data + 28);
        compression = Le32(data + 30);
    }
    if (compression == 1 || compression == 2)
        return ERROR_NOT_SUPPORTED;  // run-length coded
    if (compression != 0 && compression != 3)
        return ERROR_NOT_SUPPORTED;
    bool topDown = h < 0;
    if (topDown)
        h = -h;
    if (!SideOk(w, h))
        return ERROR_INVALID_DATA;
    uint32_t masks[3];
    if (compression == 3) {
        if (bpp != 16 && bpp != 32)
            return ERROR_INVALID_DATA;
        size_t at = 14 + 40;  // after a 40-byte header, or inside a larger one
        if (size < at + 12)
            return ERROR_INVALID_DATA;
        for (int i = 0; i < 3; ++i)
            masks[i] = Le32(data + at + 4 * i);
    } else if (bpp == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else {
        masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
    }
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return ERROR_INVALID_DATA;
    size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4;
    if (pixelOffset > size || stride * static_cast<size_t>(h) > size - pixelOffset)
        return ERROR_INVALID_DATA;
    std::vector<WORD> palette;
    if (bpp <= 8) {
        size_t at = 14 + headerSize;
        size_t count = headerSize >= 40 && Le32(data + 46) ? Le32(data + 46) : (size_t(1) << bpp);
        if (count > 256 || at + count * paletteEntry > pixelOffset)
            return ERROR_INVALID_DATA;
        for (size_t i = 0; i < count; ++i) {
            const BYTE* e = data + at + i * paletteEntry;
            palette.push_back(To565(e[2], e[1], e[0]));
        }
        palette.resize(256, 0);
    }
    if (!Allocate(out, static_cast<int>(w), static_cast<int>(h), false))
        return ERROR_NOT_ENOUGH_MEMORY;
    for (long long y = 0; y < h; ++y) {
        const BYTE* row = data + pixelOffset + stride * static_cast<size_t>(topDown ? y : h - 1 - y);
        WORD* dst = &out->pixels[static_cast<size_t>(y) * w];
        for (long long x = 0; x < w; ++x) {
            switch (bpp) {
            case 1: dst[x] = palette[row[x / 8] >> (7 - x % 8) & 1]; break;
            case 4: dst[x] = palette[row[x / 2] >> (x % 2 ? 0 : 4) & 15]; break;
            case 8: dst[x] = palette[row[x]]; break;
            case 24: dst[x] = To565(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            default: {
                uint32_t v = bpp == 16 ? Le16(row + 2 * x) : Le32(row + 4 * x);
                dst[x] = To565(Channel(v, masks[0]), Channel(v, masks[1]), Channel(v, masks[2]));
            }
            }
        }
    }
    return 0;
}

// ----- PNG -----------------------------------------------------------------

struct MemoryReader {
    const BYTE* data;
    size_t size, at;
};

void Quietly(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void NoWarning(png_structp, png_const_charp) {}
void ReadFromMemory(png_structp png, png_bytep out, png_size_t n)
{
    auto* r = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (n > r->size - r->at)
        png_error(png, "short");
    std::memcpy(out, r->data + r->at, n);
    r->at += n;
}

// setjmp lives in this function alone; rgba gets 4 bytes a pixel.
bool ReadPng(const BYTE* data, size_t size, int* w, int* h, std::vector<png_byte>* rgba)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &Quietly, &NoWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    MemoryReader reader{data, size, 0};
    std::vector<png_bytep> rows;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &reader, &ReadFromMemory);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *w = static_cast<int>(png_get_image_width(png, info));
    *h = static_cast<int>(png_get_image_height(png, info));
    if (png_get_rowbytes(png, info) != static_cast<size_t>(*w) * 4)
        png_error(png, "row size");
    rgba->resize(static_cast<size_t>(*w) * *h * 4);
    rows.resize(static_cast<size_t>(*h));
    for (int y = 0; y < *h; ++y)
        rows[y] = rgba->data() + static_cast<size_t>(y) * *w * 4;
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

DWORD DecodePng(const BYTE* data, size_t size, Picture* out)
{
    std::vector<png_byte> rgba;
    int w = 0, h = 0;
    try {
        if (!ReadPng(data, size, &w, &h, &rgba) || !SideOk(w, h))
            return ERROR_INVALID_DATA;
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    bool transparent = false;
    for (size_t i = 3; i < rgba.size() && !transparent; i += 4)
        transparent = rgba[i] != 0xFF;
    if (!Allocate(out, w, h, transparent))
        return ERROR_NOT_ENOUGH_MEMORY;
    for (size_t i = 0; i < out->pixels.size(); ++i) {
        const png_byte* p = &rgba[4 * i];
        out->pixels[i] = To565(p[0], p[1], p[2]);
        if (transparent)
            out->alpha[i] = p[3];
    }
    return 0;
}

// ----- GIF -----------------------------------------------------------------

int ReadGif(GifFileType* gif, GifByteType* out, int n)
{
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    size_t take = std::min(static_cast<size_t>(n < 0 ? 0 : n), r->size - r->at);
    std::memcpy(out, r->data + r->at, take);
    r->at += take;
    return static_cast<int>(take);
}

// The first frame, read record by record so that nothing larger than the
// checked screen is ever allocated.
DWORD ReadFirstGifFrame(GifFileType* gif, Picture* out)
{
    if (!SideOk(gif->SWidth, gif->SHeight))
        return ERROR_INVALID_DATA;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type;
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return ERROR_INVALID_DATA;
        if (type == TERMINATE_RECORD_TYPE)
            return ERROR_INVALID_DATA;  // no frame
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) != GIF_OK)
                return ERROR_INVALID_DATA;
            if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
                GraphicsControlBlock gcb{};
                if (DGifExtensionToGCB(block[0], block + 1, &gcb) == GIF_OK)
                    transparentIndex = gcb.TransparentColor;
            }
            while (block)
                if (DGifGetExtensionNext(gif, &block) != GIF_OK)
                    return ERROR_INVALID_DATA;
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE)
            continue;
        if (DGifGetImageDesc(gif) != GIF_OK)
            return ERROR_INVALID_DATA;
        const GifImageDesc& d = gif->Image;
        const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
        if (!map || d.Left < 0 || d.Top < 0 || d.Width < 1 || d.Height < 1 || d.Left + d.Width > gif->SWidth ||
            d.Top + d.Height > gif->SHeight)
            return ERROR_INVALID_DATA;
        // Outside the first frame the screen shows through: transparent.
        bool partial = d.Width != gif->SWidth || d.Height != gif->SHeight;
        bool transparent = transparentIndex != NO_TRANSPARENT_COLOR || partial;
        if (!Allocate(out, gif->SWidth, gif->SHeight, transparent))
            return ERROR_NOT_ENOUGH_MEMORY;
        std::vector<GifPixelType> line(static_cast<size_t>(d.Width));
        static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        int passes = d.Interlace ? 4 : 1;
        for (int pass = 0; pass < passes; ++pass)
            for (int y = d.Interlace ? kStart[pass] : 0; y < d.Height; y += d.Interlace ? kStep[pass] : 1) {
                if (DGifGetLine(gif, line.data(), d.Width) != GIF_OK)
                    return ERROR_INVALID_DATA;
                for (int x = 0; x < d.Width; ++x) {
                    int index = line[x];
                    size_t at = static_cast<size_t>(d.Top + y) * gif->SWidth + d.Left + x;
                    if (index == transparentIndex)
                        continue;
                    if (index < map->ColorCount) {
                        const GifColorType& c = map->Colors[index];
                        out->pixels[at] = To565(c.Red, c.Green, c.Blue);
                    }
                    if (transparent)
                        out->alpha[at] = 0xFF;
                }
            }
        return 0;
    }
}

DWORD DecodeGif(const BYTE* data, size_t size, Picture* out)
{
    MemoryReader reader{data, size, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, &ReadGif, &error);
    if (!gif)
        return ERROR_INVALID_DATA;
    DWORD result = ReadFirstGifFrame(gif, out);
    DGifCloseFile(gif, &error);
    return result;
}

}  // namespace

void RegisterJpegPictureDecoder(JpegPictureDecoder decoder) { g_jpeg.store(decoder); }

DWORD DecodePicture(const BYTE* data, size_t size, int minWidth, int minHeight, Picture* out)
{
    if (!data || !out)
        return ERROR_INVALID_PARAMETER;
    *out = Picture{};
    DWORD result = ERROR_NOT_SUPPORTED;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        result = DecodeBmp(data, size, out);
    } else if (size >= 8 && png_sig_cmp(data, 0, 8) == 0) {
        result = DecodePng(data, size, out);
    } else if (size >= 6 && (std::memcmp(data, "GIF87a", 6) == 0 || std::memcmp(data, "GIF89a", 6) == 0)) {
        result = DecodeGif(data, size, out);
    } else if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        JpegPictureDecoder jpeg = g_jpeg.load();
        result = jpeg ? jpeg(data, size, minWidth, minHeight, out) : ERROR_NOT_SUPPORTED;
    }
    if (result != 0)
        *out = Picture{};
    return result;
}

DWORD DecodePictureFile(LPCWSTR devicePath, int minWidth, int minHeight, Picture* out)
{
    auto host = devicePath ? MapDevicePath(devicePath) : std::nullopt;
    if (!host)
        return ERROR_PATH_NOT_FOUND;
    std::ifstream in(*host, std::ios::binary);
    if (!in)
        return ERROR_FILE_NOT_FOUND;
    std::vector<BYTE> bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return DecodePicture(bytes.data(), bytes.size(), minWidth, minHeight, out);
}

}  // namespace plat
