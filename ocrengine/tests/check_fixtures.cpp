#include "check_fixtures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <sstream>

#include <jpeglib.h>
#include <leptonica/allheaders.h>
#include <png.h>
#include <tesseract/baseapi.h>

namespace checktest {

void Picture::Fill(int left, int top, int right, int bottom, std::uint8_t value) {
    for (int y = std::max(top, 0); y < std::min(bottom, height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
            At(x, y) = value;
        }
    }
}

Picture LoadPng(const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return {};
    }
    image.format = PNG_FORMAT_GRAY;
    Picture picture(static_cast<int>(image.width), static_cast<int>(image.height), 0);
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return {};
    }
    return picture;
}

bool SavePng(const Picture& picture, const std::filesystem::path& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.width);
    image.height = static_cast<png_uint_32>(picture.height);
    image.format = PNG_FORMAT_GRAY;
    return png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
}

namespace {

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

}  // namespace

Picture LoadJpeg(const std::filesystem::path& path, int scaleDenom) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        return {};
    }
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    Picture picture;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return {};
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file.get());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_GRAYSCALE;
    info.scale_num = 1;
    info.scale_denom = static_cast<unsigned>(scaleDenom);
    jpeg_start_decompress(&info);
    picture = Picture(static_cast<int>(info.output_width), static_cast<int>(info.output_height), 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.pixels.data() + static_cast<std::size_t>(info.output_scanline) * picture.width;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return picture;
}

Picture LoadTiff(const std::filesystem::path& path) {
    PIX* read = pixRead(path.c_str());
    if (read == nullptr) {
        return {};
    }
    PIX* grey = pixConvertTo8(read, 0);
    pixDestroy(&read);
    if (grey == nullptr) {
        return {};
    }
    Picture picture(static_cast<int>(pixGetWidth(grey)), static_cast<int>(pixGetHeight(grey)), 0);
    for (int y = 0; y < picture.height; ++y) {
        for (int x = 0; x < picture.width; ++x) {
            l_uint32 value = 0;
            pixGetPixel(grey, x, y, &value);
            picture.At(x, y) = static_cast<std::uint8_t>(value);
        }
    }
    pixDestroy(&grey);
    return picture;
}

Picture ScaleArea(const Picture& source, int width, int height) {
    Picture out(width, height, 0);
    for (int y = 0; y < height; ++y) {
        const int y0 = y * source.height / height;
        const int y1 = std::max(y0 + 1, (y + 1) * source.height / height);
        for (int x = 0; x < width; ++x) {
            const int x0 = x * source.width / width;
            const int x1 = std::max(x0 + 1, (x + 1) * source.width / width);
            long sum = 0;
            for (int sy = y0; sy < y1; ++sy) {
                for (int sx = x0; sx < x1; ++sx) {
                    sum += source.At(sx, sy);
                }
            }
            const long area = static_cast<long>(y1 - y0) * (x1 - x0);
            out.At(x, y) = static_cast<std::uint8_t>((sum + area / 2) / area);
        }
    }
    return out;
}

Picture ProgramThumbnail(const Picture& source) {
    Picture out = ScaleArea(source, 320, 240);
    for (std::uint8_t& p : out.pixels) {
        const unsigned rb = p & 0xF8u;
        const unsigned g = p & 0xFCu;
        p = static_cast<std::uint8_t>((306 * rb + 601 * g + 117 * rb) >> 10);
    }
    return out;
}

Picture GaussianBlur(const Picture& source, double sigma) {
    if (sigma <= 0.0) {
        return source;
    }
    const int radius = static_cast<int>(std::ceil(3.0 * sigma));
    std::vector<double> kernel(2 * radius + 1);
    double total = 0.0;
    for (int i = -radius; i <= radius; ++i) {
        kernel[i + radius] = std::exp(-(i * i) / (2.0 * sigma * sigma));
        total += kernel[i + radius];
    }
    for (double& k : kernel) {
        k /= total;
    }
    const int w = source.width, h = source.height;
    std::vector<double> across(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double v = 0.0;
            for (int i = -radius; i <= radius; ++i) {
                v += kernel[i + radius] * source.At(std::clamp(x + i, 0, w - 1), y);
            }
            across[static_cast<std::size_t>(y) * w + x] = v;
        }
    }
    Picture out(w, h, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double v = 0.0;
            for (int i = -radius; i <= radius; ++i) {
                v += kernel[i + radius] * across[static_cast<std::size_t>(std::clamp(y + i, 0, h - 1)) * w + x];
            }
            out.At(x, y) = static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
        }
    }
    return out;
}

Picture Turn(const Picture& source, bool clockwise) {
    Picture out(source.height, source.width, 0);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            out.At(x, y) = clockwise ? source.At(y, source.height - 1 - x)
                                     : source.At(source.width - 1 - y, x);
        }
    }
    return out;
}

std::uint32_t Fingerprint(const Picture& picture) {
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t p : picture.pixels) {
        hash = (hash ^ p) * 16777619u;
    }
    return hash;
}

namespace {

// Small deterministic texture, so that flat areas are not perfectly flat.
std::uint8_t Texture(int x, int y, int base, int amplitude) {
    std::uint32_t v = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
    v = (v ^ (v >> 13)) * 0x5bd1e995u;
    return static_cast<std::uint8_t>(base + static_cast<int>((v >> 24) % (2 * amplitude + 1)) - amplitude);
}

// Bars of varying length with gaps, like words, from left to right.
void DrawWords(Picture& picture, int left, int top, int right, int bottom, std::uint8_t ink, int seed) {
    int x = left;
    auto n = static_cast<std::uint32_t>(seed);
    while (x < right) {
        const int word = 6 + static_cast<int>(n * 7 % 19);
        picture.Fill(x, top, std::min(x + word, right), bottom, ink);
        x += word + 4 + static_cast<int>(n % 3);
        n = n * 5 + 3;
    }
}

}  // namespace

Picture PreviewFrame(int left, int top, int right, int bottom) {
    Picture frame(320, 240, 0);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            frame.At(x, y) = Texture(x, y, 70 + x / 16, 2);
        }
    }
    if (right <= left || bottom <= top) {
        return frame;
    }
    for (int y = std::max(top, 0); y < std::min(bottom, frame.height); ++y) {
        for (int x = std::max(left, 0); x < std::min(right, frame.width); ++x) {
            frame.At(x, y) = Texture(x, y, 200, 2);
        }
    }
    // Text lines in the middle of the card's visible part, clear of its borders.
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, frame.width);
    bottom = std::min(bottom, frame.height);
    const int w = right - left, h = bottom - top;
    for (int line = 0; line < 4; ++line) {
        const int y = top + h / 3 + line * h / 10;
        DrawWords(frame, left + w / 8, y, left + w * 3 / 4, y + std::max(h / 25, 2), 40, line + 1);
    }
    return frame;
}

Picture TextPage(int width, int height, int lineHeight, int lineGap, std::uint8_t ink,
                 std::uint8_t paper) {
    Picture page(width, height, paper);
    int seed = 1;
    for (int y = height / 10; y + lineHeight < height - height / 10; y += lineHeight + lineGap) {
        DrawWords(page, width / 10, y, width - width / 10, y + lineHeight, ink, seed++);
    }
    return page;
}

int OsdDegrees(const Picture& picture) {
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "osd") != 0) {
        return -1;
    }
    api.SetPageSegMode(tesseract::PSM_OSD_ONLY);
    api.SetImage(picture.pixels.data(), picture.width, picture.height, 1, picture.width);
    int degrees = -1;
    float confidence = 0.0f, scriptConfidence = 0.0f;
    const char* script = nullptr;
    if (!api.DetectOrientationScript(&degrees, &confidence, &script, &scriptConfidence)) {
        degrees = -1;
    }
    api.End();
    return degrees;
}

std::vector<std::string> ReadWords(const Picture& picture) {
    tesseract::TessBaseAPI api;
    if (api.Init(nullptr, "eng") != 0) {
        return {};
    }
    api.SetPageSegMode(tesseract::PSM_AUTO);
    api.SetImage(picture.pixels.data(), picture.width, picture.height, 1, picture.width);
    std::unique_ptr<char[]> text(api.GetUTF8Text());
    api.End();
    std::vector<std::string> words;
    std::istringstream in(text ? text.get() : "");
    std::string word;
    while (in >> word) {
        std::string clean;
        for (char c : word) {
            if (std::isalnum(static_cast<unsigned char>(c))) {
                clean += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
        }
        if (!clean.empty()) {
            words.push_back(clean);
        }
    }
    return words;
}

}  // namespace checktest
