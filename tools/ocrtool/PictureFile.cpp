#include "PictureFile.h"

#include "jpeg/JpegDecoder.h"
#include "pixels/Rgb565.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

// The page reader (after the others: it defines TRUE and FALSE).
#include <leptonica/allheaders.h>

namespace ocrtool {
namespace {

constexpr int kLargestNeededWidth = 1280;
constexpr int kLargestNeededHeight = 960;


// Through the program's own decoder, at the largest reduction that still
// leaves the program's recognition size.
Rgb ReadJpeg(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    JpegImageInfo info{};
    std::uint8_t thumbKind = 0;
    std::uint32_t thumbLength = 0;
    JpegDecoder* decoder = nullptr;
    const auto size = static_cast<std::uint32_t>(data.size());
    if (gCreateJpegImageDecoder(&decoder, data.data(), size, &info, &thumbKind, &thumbLength, 1) != kJpegOk) {
        error = "bad JPEG file";
        return {};
    }
    int scale = 1;
    for (int s : {8, 4, 2}) {
        if (info.width / s >= kLargestNeededWidth && info.height / s >= kLargestNeededHeight) {
            scale = s;
            break;
        }
    }
    if (scale > 1) {
        decoder->Release(decoder);
        decoder = nullptr;
        if (gCreateJpegImageDecoder(&decoder, data.data(), size, &info, &thumbKind, &thumbLength, scale) != kJpegOk) {
            error = "bad JPEG file";
            return {};
        }
    }
    JpegThumbnailInfo out{};
    gGetJpegOutputInfo(decoder, &out);
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(out.evenWidth) * out.evenHeight);
    const std::int32_t result = gDecodeJpegImage(decoder, pixels.data(), static_cast<std::uint32_t>(pixels.size()), &out);
    decoder->Release(decoder);
    if (result != kJpegOk) {
        error = "bad JPEG file";
        return {};
    }
    Rgb rgb;
    rgb.width = out.width;
    rgb.height = out.height;
    rgb.px.resize(static_cast<std::size_t>(rgb.width) * rgb.height * 3);
    for (int y = 0; y < rgb.height; ++y) {
        for (int x = 0; x < rgb.width; ++x) {
            const std::uint16_t v = pixels[static_cast<std::size_t>(y) * out.evenWidth + x];
            std::uint8_t* o = &rgb.px[(static_cast<std::size_t>(y) * rgb.width + x) * 3];
            o[0] = static_cast<std::uint8_t>((v >> 11) << 3);
            o[1] = static_cast<std::uint8_t>(((v >> 5) & 0x3F) << 2);
            o[2] = static_cast<std::uint8_t>((v & 0x1F) << 3);
        }
    }
    return rgb;
}

Rgb ReadPng(const std::string& path, std::string& error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = "bad PNG file";
        return {};
    }
    image.format = PNG_FORMAT_RGB;
    Rgb out;
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.px.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.px.data(), 0, nullptr)) {
        error = "bad PNG file";
        return {};
    }
    return out;
}

Rgb ReadPnm(std::FILE* file, std::string& error) {
    char magic[3] = {};
    int width = 0, height = 0, max = 0;
    if (std::fscanf(file, "%2s %d %d %d", magic, &width, &height, &max) != 4 || width <= 0 || height <= 0 ||
        max != 255 || width > 20000 || height > 20000) {
        error = "unsupported PGM/PPM file (8-bit binary P5/P6 only)";
        return {};
    }
    std::fgetc(file);
    const bool colour = std::string(magic) == "P6";
    if (!colour && std::string(magic) != "P5") {
        error = "unsupported PGM/PPM file (8-bit binary P5/P6 only)";
        return {};
    }
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(width) * height * (colour ? 3 : 1));
    if (std::fread(raw.data(), 1, raw.size(), file) != raw.size()) {
        error = "short PGM/PPM file";
        return {};
    }
    Rgb out;
    out.width = width;
    out.height = height;
    if (colour) {
        out.px = std::move(raw);
    } else {
        out.px.resize(raw.size() * 3);
        for (std::size_t i = 0; i < raw.size(); ++i) out.px[3 * i] = out.px[3 * i + 1] = out.px[3 * i + 2] = raw[i];
    }
    return out;
}

// TIFF pages (scanned documents), through the page reader the engine links.
Rgb ReadTiff(const std::string& path, std::string& error) {
    PIX* pix = pixRead(path.c_str());
    PIX* rgb = pix ? pixConvertTo32(pix) : nullptr;
    pixDestroy(&pix);
    if (!rgb) {
        error = "cannot decode TIFF " + path;
        return {};
    }
    Rgb out;
    out.width = static_cast<int>(pixGetWidth(rgb));
    out.height = static_cast<int>(pixGetHeight(rgb));
    out.px.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            l_int32 r = 0, g = 0, b = 0;
            pixGetRGBPixel(rgb, x, y, &r, &g, &b);
            std::uint8_t* o = &out.px[(static_cast<std::size_t>(y) * out.width + x) * 3];
            o[0] = static_cast<std::uint8_t>(r);
            o[1] = static_cast<std::uint8_t>(g);
            o[2] = static_cast<std::uint8_t>(b);
        }
    }
    pixDestroy(&rgb);
    return out;
}

}  // namespace

Rgb ReadPicture(const std::string& path, std::string& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = "cannot open " + path;
        return {};
    }
    unsigned char head[8] = {};
    const std::size_t n = std::fread(head, 1, sizeof(head), file.get());
    std::rewind(file.get());
    if (n >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return ReadJpeg(path, error);
    if (n >= 8 && head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G') return ReadPng(path, error);
    if (n >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) return ReadPnm(file.get(), error);
    if (n >= 4 && ((head[0] == 'I' && head[1] == 'I' && head[2] == 42 && head[3] == 0) ||
                   (head[0] == 'M' && head[1] == 'M' && head[2] == 0 && head[3] == 42))) {
        return ReadTiff(path, error);
    }
    error = "unknown picture format: " + path;
    return {};
}

Rgb Scale(const Rgb& src, int width, int height) {
    if (src.width == width && src.height == height) return src;  // each pixel its own average
    Rgb out;
    out.width = width;
    out.height = height;
    out.px.resize(static_cast<std::size_t>(width) * height * 3);
    const double sx = static_cast<double>(src.width) / width, sy = static_cast<double>(src.height) / height;
    for (int y = 0; y < height; ++y) {
        const int y0 = static_cast<int>(y * sy), y1 = std::max(y0 + 1, std::min(src.height, static_cast<int>((y + 1) * sy)));
        for (int x = 0; x < width; ++x) {
            const int x0 = static_cast<int>(x * sx), x1 = std::max(x0 + 1, std::min(src.width, static_cast<int>((x + 1) * sx)));
            unsigned sum[3] = {0, 0, 0};
            for (int yy = y0; yy < y1; ++yy) {
                const std::uint8_t* p = &src.px[(static_cast<std::size_t>(yy) * src.width + x0) * 3];
                for (int xx = x0; xx < x1; ++xx, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
            std::uint8_t* o = &out.px[(static_cast<std::size_t>(y) * width + x) * 3];
            for (int c = 0; c < 3; ++c) o[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    return out;
}

Grey ToProgramGrey(const Rgb& src) {
    // Through RGB565, as the program sees a picture.
    const auto& table = pixels::ProgramGreyTable();
    Grey out;
    out.width = src.width;
    out.height = src.height;
    out.px.resize(static_cast<std::size_t>(src.width) * src.height);
    for (std::size_t i = 0; i < out.px.size(); ++i) {
        const std::uint8_t* p = &src.px[3 * i];
        const unsigned v = ((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3);
        out.px[i] = table[v];
    }
    return out;
}

Rgb FitInto(const Rgb& src, int width, int height) {
    if (src.width <= 0 || src.height <= 0) return {};
    const double scale = std::min(static_cast<double>(width) / src.width, static_cast<double>(height) / src.height);
    const int w = std::clamp(static_cast<int>(std::lround(src.width * scale)), 1, width);
    const int h = std::clamp(static_cast<int>(std::lround(src.height * scale)), 1, height);
    const Rgb inner = Scale(src, w, h);
    // The bands take the picture's mean colour, so that they add no edges.
    unsigned long long sum[3] = {0, 0, 0};
    for (std::size_t i = 0; i < inner.px.size(); ++i) sum[i % 3] += inner.px[i];
    const std::size_t pixels = inner.px.size() / 3;
    Rgb out;
    out.width = width;
    out.height = height;
    out.px.resize(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < out.px.size(); ++i) out.px[i] = static_cast<std::uint8_t>(sum[i % 3] / pixels);
    const int left = (width - w) / 2, top = (height - h) / 2;
    for (int y = 0; y < h; ++y) {
        std::copy_n(&inner.px[static_cast<std::size_t>(y) * w * 3], static_cast<std::size_t>(w) * 3,
                    &out.px[(static_cast<std::size_t>(top + y) * width + left) * 3]);
    }
    return out;
}

Grey Crop(const Grey& src, int left, int top, int right, int bottom) {
    Grey out;
    left = std::clamp(left, 0, src.width);
    right = std::clamp(right, left, src.width);
    top = std::clamp(top, 0, src.height);
    bottom = std::clamp(bottom, top, src.height);
    out.width = right - left;
    out.height = bottom - top;
    out.px.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        std::copy_n(&src.px[static_cast<std::size_t>(top + y) * src.width + left], out.width,
                    &out.px[static_cast<std::size_t>(y) * out.width]);
    }
    return out;
}

bool WritePgm(const std::string& path, const Grey& grey) {
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << grey.width << ' ' << grey.height << "\n255\n";
    out.write(reinterpret_cast<const char*>(grey.px.data()), static_cast<std::streamsize>(grey.px.size()));
    return static_cast<bool>(out);
}

}  // namespace ocrtool
