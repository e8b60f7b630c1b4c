#include "picture_files.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <cstring>

#include "JpegDecoderTestSupport.h"

namespace picturetest {

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// File and information headers; the pixels start at offset.
std::vector<uint8_t> BmpHeaders(int w, int h, int bpp, uint32_t compression, size_t offset, size_t imageBytes)
{
    std::vector<uint8_t> b(offset + imageBytes, 0);
    b[0] = 'B', b[1] = 'M';
    Put32(b, 2, static_cast<uint32_t>(b.size()));
    Put32(b, 10, static_cast<uint32_t>(offset));
    Put32(b, 14, 40);
    Put32(b, 18, static_cast<uint32_t>(w));
    Put32(b, 22, static_cast<uint32_t>(h));
    Put16(b, 26, 1);
    Put16(b, 28, static_cast<uint32_t>(bpp));
    Put32(b, 30, compression);
    Put32(b, 34, static_cast<uint32_t>(imageBytes));
    return b;
}

const uint8_t* At(const Rgb& p, int x, int y) { return &p.px[3 * (static_cast<size_t>(y) * p.width + x)]; }

}  // namespace

Rgb HalfRedHalfBlue(int width, int height)
{
    Rgb p{width, height, std::vector<uint8_t>(3 * static_cast<size_t>(width) * height)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* q = &p.px[3 * (static_cast<size_t>(y) * width + x)];
            q[0] = x < width / 2 ? 255 : 0;
            q[2] = x < width / 2 ? 0 : 255;
        }
    return p;
}

Rgb Flat(int width, int height, uint8_t grey)
{
    return {width, height, std::vector<uint8_t>(3 * static_cast<size_t>(width) * height, grey)};
}

std::vector<uint8_t> Bmp24(const Rgb& p, bool topDown)
{
    size_t stride = (static_cast<size_t>(p.width) * 3 + 3) & ~size_t(3);
    auto b = BmpHeaders(p.width, topDown ? -p.height : p.height, 24, 0, 54, stride * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = At(p, x, topDown ? y : p.height - 1 - y);
            uint8_t* d = &b[54 + stride * y + 3 * x];
            d[0] = c[2], d[1] = c[1], d[2] = c[0];
        }
    return b;
}

std::vector<uint8_t> Bmp8(const Rgb& p)
{
    std::vector<uint32_t> palette;
    std::vector<uint8_t> index(static_cast<size_t>(p.width) * p.height);
    for (size_t i = 0; i < index.size(); ++i) {
        uint32_t c = p.px[3 * i] << 16 | p.px[3 * i + 1] << 8 | p.px[3 * i + 2];
        auto it = std::find(palette.begin(), palette.end(), c);
        if (it == palette.end())
            it = palette.insert(palette.end(), c);
        index[i] = static_cast<uint8_t>(it - palette.begin());
    }
    size_t stride = (static_cast<size_t>(p.width) + 3) & ~size_t(3);
    size_t offset = 54 + 4 * palette.size();
    auto b = BmpHeaders(p.width, p.height, 8, 0, offset, stride * p.height);
    Put32(b, 46, static_cast<uint32_t>(palette.size()));
    for (size_t i = 0; i < palette.size(); ++i)
        Put32(b, 54 + 4 * i, palette[i]);  // B, G, R, 0 in memory
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            b[offset + stride * (p.height - 1 - y) + x] = index[static_cast<size_t>(y) * p.width + x];
    return b;
}

std::vector<uint8_t> Bmp565(const Rgb& p)
{
    size_t stride = (static_cast<size_t>(p.width) * 2 + 3) & ~size_t(3);
    auto b = BmpHeaders(p.width, p.height, 16, 3, 66, stride * p.height);
    Put32(b, 54, 0xF800);
    Put32(b, 58, 0x07E0);
    Put32(b, 62, 0x001F);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* c = At(p, x, p.height - 1 - y);
            Put16(b, 66 + stride * y + 2 * x, static_cast<uint32_t>((c[0] >> 3) << 11 | (c[1] >> 2) << 5 | c[2] >> 3));
        }
    return b;
}

std::vector<uint8_t> BmpHeaderOnly(int width, int height) { return BmpHeaders(width, height, 24, 0, 54, 0); }

std::vector<uint8_t> BmpRle8()
{
    auto b = BmpHeaders(4, 1, 8, 1, 54 + 1024, 4);
    b[54 + 1024] = 4, b[54 + 1025] = 1;  // four of colour 1
    return b;
}

std::vector<uint8_t> Png(const Rgb& p, bool transparentLeft)
{
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(
        png, &out,
        [](png_structp s, png_bytep data, png_size_t n) {
            auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(s));
            v->insert(v->end(), data, data + n);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(p.width), static_cast<png_uint_32>(p.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(4 * static_cast<size_t>(p.width));
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            std::memcpy(&row[4 * x], At(p, x, y), 3);
            row[4 * x + 3] = transparentLeft && x < p.width / 2 ? 0 : 255;
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::vector<uint8_t> Gif(const Rgb& p, bool interlaced)
{
    std::vector<GifColorType> colours;
    std::vector<GifPixelType> index(static_cast<size_t>(p.width) * p.height);
    for (size_t i = 0; i < index.size(); ++i) {
        GifColorType c{p.px[3 * i], p.px[3 * i + 1], p.px[3 * i + 2]};
        auto it = std::find_if(colours.begin(), colours.end(),
                               [&](const GifColorType& k) { return k.Red == c.Red && k.Green == c.Green && k.Blue == c.Blue; });
        if (it == colours.end())
            it = colours.insert(colours.end(), c);
        index[i] = static_cast<GifPixelType>(it - colours.begin());
    }
    colours.resize(colours.size() <= 2 ? 2 : 256);
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &out,
        [](GifFileType* g, const GifByteType* data, int n) {
            auto* v = static_cast<std::vector<uint8_t>*>(g->UserData);
            v->insert(v->end(), data, data + n);
            return n;
        },
        &error);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(colours.size()), colours.data());
    EGifPutScreenDesc(gif, p.width, p.height, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, p.width, p.height, interlaced, nullptr);
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < (interlaced ? 4 : 1); ++pass)
        for (int y = interlaced ? kStart[pass] : 0; y < p.height; y += interlaced ? kStep[pass] : 1)
            EGifPutLine(gif, &index[static_cast<size_t>(y) * p.width], p.width);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

std::vector<uint8_t> Jpeg(const Rgb& p)
{
    jpegtest::Picture pic{static_cast<uint32_t>(p.width), static_cast<uint32_t>(p.height), 3, p.px};
    jpegtest::EncodeOptions options;
    options.quality = 95;
    return jpegtest::PeerEncode(pic, options);
}

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t n)
{
    bytes.resize(std::min(n, bytes.size()));
    return bytes;
}

}  // namespace picturetest
