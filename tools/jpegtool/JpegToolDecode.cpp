// jpegtool decode IN.jpg OUT.ppm|OUT.pgm [--scale 1|2|4|8] [--rgb565]
// Decodes to planes and writes them as RGB (or grey: the Y plane); with
// --rgb565 the picture goes through the decoder's RGB565 output instead.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "JpegToolCommands.h"
#include "jpeg/JpegDecoder.h"
#include "pixels/Rgb565.h"

namespace jpegtool {

namespace {

uint8_t Clamp(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

}  // namespace

int Decode(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: jpegtool decode IN.jpg OUT.ppm|OUT.pgm [--scale 1|2|4|8] [--rgb565]\n");
        return 2;
    }
    int scale = 1;
    bool rgb565 = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--scale" && i + 1 < args.size()) {
            scale = std::atoi(args[++i].c_str());
        } else if (args[i] == "--rgb565") {
            rgb565 = true;
        } else {
            std::fprintf(stderr, "jpegtool decode: unknown option %s\n", args[i].c_str());
            return 2;
        }
    }
    std::vector<uint8_t> data;
    if (!ReadFile(args[0], data)) {
        return 1;
    }
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    JpegRefusal refusal = kJpegRefusalNone;
    int32_t result = gCreateJpegImageDecoder(&decoder, data.data(), static_cast<uint32_t>(data.size()), &info,
                                             &thumbKind, &thumbLength, scale, &refusal);
    if (result != 0) {
        std::fprintf(stderr, "jpegtool decode: %s: not decoded (%d): %s\n", args[0].c_str(), result,
                     gDescribeJpegRefusal(refusal));
        return 1;
    }
    JpegThumbnailInfo out{};
    gGetJpegOutputInfo(decoder, &out);
    const bool grey = info.samplingType == kJpegSamplingGrey || EndsWith(args[1], ".pgm");
    std::vector<uint8_t> pixels;
    if (rgb565) {
        std::vector<uint16_t> rgb(size_t{out.evenWidth} * out.evenHeight);
        result = gDecodeJpegImage(decoder, rgb.data(), static_cast<uint32_t>(rgb.size()), &out);
        pixels = pixels::WidenRgb565Rows(rgb.data(), out.evenWidth, out.width, out.height);
    } else {
        const uint32_t pw = out.paddedWidth, ph = out.paddedHeight;
        const bool colour = info.samplingType != kJpegSamplingGrey;
        uint16_t cw = 0, ch = 0;
        gGetJpegPlaneSizes(decoder, &cw, &ch);
        const int hShift = colour && cw < pw ? 1 : 0;
        const int vShift = colour && ch < ph ? 1 : 0;
        std::vector<uint8_t> y(size_t{pw} * ph), cb(colour ? size_t{cw} * ch : 0), cr(cb.size());
        JpegPlanes planes{y.data(), colour ? cb.data() : nullptr, colour ? cr.data() : nullptr,
                          static_cast<uint16_t>(pw), static_cast<uint16_t>(ph)};
        result = decoder->Decode(decoder, &planes);
        pixels.resize(size_t{out.width} * out.height * 3);
        for (uint32_t row = 0; row < out.height; ++row) {
            for (uint32_t x = 0; x < out.width; ++x) {
                uint8_t* o = &pixels[(size_t{row} * out.width + x) * 3];
                const int lum = y[size_t{row} * pw + x];
                if (!colour || grey) {
                    o[0] = o[1] = o[2] = static_cast<uint8_t>(lum);
                    continue;
                }
                if (info.samplingType == kJpegSamplingRgb) {
                    o[0] = static_cast<uint8_t>(lum);
                    o[1] = cb[size_t{row} * pw + x];
                    o[2] = cr[size_t{row} * pw + x];
                    continue;
                }
                const size_t c = size_t{row >> vShift} * cw + (x >> hShift);
                const int b = cb[c] - 128, r = cr[c] - 128;
                o[0] = Clamp(lum + ((r * 22970 + 8192) >> 14));
                o[1] = Clamp(lum - ((r * 11700 + b * 5638 + 8192) >> 14));
                o[2] = Clamp(lum + ((b * 29032 + 8192) >> 14));
            }
        }
    }
    if (result != 0) {
        std::fprintf(stderr, "jpegtool decode: %s: stream error (%d): %s\n", args[0].c_str(), result,
                     gDescribeJpegRefusal(gGetJpegRefusal(decoder)));
    } else if (gIsJpegDataTruncated(decoder) == 1) {
        // Still a success: what the data holds is written, the rest stays grey.
        std::fprintf(stderr, "jpegtool decode: %s: warning: premature end of data, the picture is incomplete\n",
                     args[0].c_str());
    }
    decoder->Release(decoder);
    if (grey) {
        std::vector<uint8_t> g(size_t{out.width} * out.height);
        for (size_t i = 0; i < g.size(); ++i) {
            g[i] = pixels[i * 3];
        }
        return WritePnm(args[1], g.data(), out.width, out.height, 1) && result == 0 ? 0 : 1;
    }
    return WritePnm(args[1], pixels.data(), out.width, out.height, 3) && result == 0 ? 0 : 1;
}

}  // namespace jpegtool
