// jpegtool wrap: an encoded JPEG stream with our EXIF block and a thumbnail
// made from a small raw frame (by default 320 x 240 planar 4:2:2, as the camera leaves it).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "JpegToolCommands.h"
#include "jpeg/JpegEncoder.h"

namespace jpegtool {

int Wrap(const std::vector<std::string>& args)
{
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: jpegtool wrap IN.jpg THUMB.yuv OUT.jpg [--size WxH] [--format N] [--thumbnail WxH]\n"
                     "       [--rgb-thumbnail] %s\n",
                     kExifOptions);
        return 2;
    }
    int width = 320, height = 240, format = kJpegYuv422, thumbW = 160, thumbH = 120, kind = 1;
    ExifInfo given{};
    for (size_t i = 3; i < args.size(); ++i) {
        const std::string& a = args[i];
        int exifOption = ParseExifOption(args, i, given);
        bool ok = exifOption > 0;
        if (exifOption == 0) {
            if (a == "--rgb-thumbnail") {
                kind = 0;
                ok = true;
            } else if ((a == "--size" || a == "--thumbnail") && i + 1 < args.size()) {
                const std::string& v = args[++i];
                int w = 0, h = 0;
                ok = std::sscanf(v.c_str(), "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 65535 && h <= 65535;
                (a == "--size" ? width : thumbW) = w;
                (a == "--size" ? height : thumbH) = h;
            } else if (a == "--format" && i + 1 < args.size()) {
                format = std::atoi(args[++i].c_str());
                ok = format >= 1 && format <= 11;
            }
        }
        if (!ok) {
            std::fprintf(stderr, "jpegtool wrap: bad option %s\n", a.c_str());
            return 2;
        }
    }
    std::vector<uint8_t> source, frame;
    if (!ReadFile(args[0], source) || !ReadFile(args[1], frame)) {
        return 1;
    }
    JpegEncodeParams params{};
    params.width = width;
    params.height = height;
    params.bitsPerSample = 8;
    params.inputFormat = format;
    params.quality = 75;
    params.codingMode = 1;
    params.thumbnailOn = 1;
    params.thumbnailKind = kind;
    params.thumbnailWidth = thumbW;
    params.thumbnailHeight = thumbH;
    params.headerKind = 1;
    FillExif(params.exif, given, width, height);

    JpegEncoder* enc = nullptr;
    int32_t rc = gCreateJpegImageEncoder(&enc, &params);
    if (rc != kJpegOk) {
        std::fprintf(stderr, "jpegtool wrap: cannot create the encoder (%d)\n", rc);
        return 1;
    }
    // The frame must hold what its format and size need; a short file is refused, not read past.
    uint32_t need = 0;
    const size_t pixels = static_cast<size_t>(width) * height;
    const size_t frameBytes = format == 4 ? pixels : (format == 1 || format == 11 ? pixels * 3 / 2 : (format == 3 || format == 5 || format == 6 || format == 10 ? pixels * 3 : pixels * 2));
    if (frame.size() < frameBytes || source.size() > 0xFFFFFFF0u) {
        std::fprintf(stderr, "jpegtool wrap: %s holds %zu bytes, format %d at %dx%d needs %zu\n", args[1].c_str(),
                     frame.size(), format, width, height, frameBytes);
        enc->Release(enc);
        return 1;
    }
    need = static_cast<uint32_t>(source.size());
    enc->GetConfig(enc, kJpegConfigWrapSize, &need);
    std::vector<uint8_t> out(need);
    uint32_t size = need;
    JpegSourceStream src{source.data(), static_cast<uint32_t>(source.size())};
    rc = enc->EncodeToBuffer(enc, &src, frame.data(), out.data(), &size);
    enc->Release(enc);
    if (rc != kJpegOk) {
        std::fprintf(stderr, "jpegtool wrap: wrapping failed (%d)\n", rc);
        return 1;
    }
    std::ofstream dst(args[2], std::ios::binary);
    dst.write(reinterpret_cast<const char*>(out.data()), size);
    if (!dst) {
        std::fprintf(stderr, "jpegtool wrap: cannot write %s\n", args[2].c_str());
        return 1;
    }
    std::printf("%s: %u bytes (%zu of them the wrapped stream)\n", args[2].c_str(), size, source.size() - 2);
    return 0;
}

}  // namespace jpegtool
