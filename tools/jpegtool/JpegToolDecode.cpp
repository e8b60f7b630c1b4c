// jpegtool decode IN.jpg OUT.ppm|OUT.pgm [--scale 1|2|4|8] [--rgb565]
// Decodes to planes and writes them as RGB (or grey: the Y plane); with
// --rgb565 the picture goes through the decoder's RGB565 output instead.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "CpuFeatures.h"
#include "JpegToolCommands.h"
#include "jpeg/JpegDecoder.h"

#include "jpeg/JpegYccAvx2.h"
#include "pixels/Rgb565.h"

namespace jpegtool {

namespace {

bool EndsWith(const std::string& s, const char* tail) {
    const std::string t(tail);
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// YCbCr to RGB with the decoder's integer formulas, as tables: the chroma
// terms by sample value, and the clamp to 0..255 over the range the sums take.
struct RgbTables {
    int16_t rFromCr[256];
    int16_t bFromCb[256];
    int16_t gFrom[256][2];  // the Cr and Cb products, summed before rounding
    int32_t gCr[256];
    int32_t gCb[256];
    uint8_t clampAt[1024];  // clampAt[v + 384]
    RgbTables() {
        for (int i = 0; i < 256; ++i) {
            const int c = i - 128;
            rFromCr[i] = static_cast<int16_t>((c * 22970 + 8192) >> 14);
            bFromCb[i] = static_cast<int16_t>((c * 29032 + 8192) >> 14);
            gCr[i] = c * 11700;
            gCb[i] = c * 5638 + 8192;
        }
        for (int v = -384; v < 640; ++v) {
            clampAt[v + 384] = static_cast<uint8_t>(std::clamp(v, 0, 255));
        }
    }
    uint8_t Clamp(int v) const { return clampAt[v + 384]; }
};

const RgbTables& Tables() {
    static const RgbTables tables;
    return tables;
}

// One row of pixels from x on: lum at full width, the chroma rows at their
// own width (one sample per 1 << hShift pixels); x is a multiple of 2.
void RowToRgb(const uint8_t* lum, const uint8_t* cb, const uint8_t* cr, int hShift, uint32_t width, uint8_t* o,
              uint32_t x = 0) {
    const RgbTables& t = Tables();
    const uint32_t step = 1u << hShift;
    o += 3 * size_t{x};
    for (uint32_t c = x >> hShift; x < width; ++c) {
        const int r = t.rFromCr[cr[c]];
        const int g = (t.gCr[cr[c]] + t.gCb[cb[c]]) >> 14;
        const int b = t.bFromCb[cb[c]];
        for (uint32_t k = 0; k < step && x < width; ++k, ++x, o += 3) {
            const int l = lum[x];
            o[0] = t.Clamp(l + r);
            o[1] = t.Clamp(l - g);
            o[2] = t.Clamp(l + b);
        }
    }
}

#if defined(__x86_64__)
// pshufb masks that put byte i of part k of 16 RGB pixels from channel c
// (0x80: from another channel).
struct RgbScatter {
    alignas(16) int8_t mask[3][3][16];
    constexpr RgbScatter() : mask() {
        for (int k = 0; k < 3; ++k) {
            for (int c = 0; c < 3; ++c) {
                for (int i = 0; i < 16; ++i) {
                    const int at = 16 * k + i;
                    mask[k][c][i] = static_cast<int8_t>(at % 3 == c ? at / 3 : -128);
                }
            }
        }
    }
};

constexpr RgbScatter kScatter;

LUM_AVX2 inline __m128i Part(__m128i r, __m128i g, __m128i b, int k) {
    auto m = [](int part, int c) { return reinterpret_cast<const __m128i*>(kScatter.mask[part][c]); };
    return _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(r, _mm_load_si128(m(k, 0))),
                                     _mm_shuffle_epi8(g, _mm_load_si128(m(k, 1)))),
                        _mm_shuffle_epi8(b, _mm_load_si128(m(k, 2))));
}

LUM_AVX2 inline __m128i Bytes(__m256i v) {
    return _mm_packus_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
}

// RowToRgb sixteen pixels at a time with the same integer formulas; returns
// the first pixel it left to the caller.
LUM_AVX2 uint32_t RowToRgbAvx2(const uint8_t* lum, const uint8_t* cb, const uint8_t* cr, int hShift, uint32_t width,
                               uint8_t* o) {
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i y = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lum + x)));
        const jpeg::YccOffsets c = jpeg::YccOffsetsOf(jpeg::YccChroma(cb, x, hShift), jpeg::YccChroma(cr, x, hShift));
        const __m256i r = _mm256_add_epi16(y, c.r);
        const __m256i g = _mm256_sub_epi16(y, c.g);
        const __m256i b = _mm256_add_epi16(y, c.b);
        const __m128i r8 = Bytes(r), g8 = Bytes(g), b8 = Bytes(b);
        uint8_t* to = o + 3 * size_t{x};
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to), Part(r8, g8, b8, 0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), Part(r8, g8, b8, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), Part(r8, g8, b8, 2));
    }
    return x;
}
#endif

void ConvertRow(const uint8_t* lum, const uint8_t* cb, const uint8_t* cr, int hShift, uint32_t width, uint8_t* o) {
    uint32_t x = 0;
#if defined(__x86_64__)
    if (imaging::KernelsAtLeast(imaging::KernelSet::kAvx2)) {
        x = RowToRgbAvx2(lum, cb, cr, hShift, width, o);
    }
#endif
    RowToRgb(lum, cb, cr, hShift, width, o, x);
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
    InputFile data;
    if (!data.Open(args[0])) {
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
    const int channels = grey ? 1 : 3;
    const bool colour = info.samplingType != kJpegSamplingGrey;
    const uint32_t pw = out.paddedWidth, ph = out.paddedHeight;
    uint16_t cw = 0, ch = 0;
    gGetJpegPlaneSizes(decoder, &cw, &ch);
    const size_t chroma = colour ? size_t{cw} * ch : 0;
    // The decoded picture, whole: RGB565 pixels or the Y, Cb and Cr planes.
    LargeBuffer decoded(rgb565 ? size_t{out.evenWidth} * out.evenHeight * 2 : size_t{pw} * ph + 2 * chroma);
    if (decoded.data() == nullptr) {
        std::fprintf(stderr, "jpegtool decode: %s: out of memory\n", args[0].c_str());
        decoder->Release(decoder);
        return 1;
    }
    const uint16_t* rgb = reinterpret_cast<const uint16_t*>(decoded.data());
    const uint8_t* y = decoded.data();
    const uint8_t* cb = y + size_t{pw} * ph;
    const uint8_t* cr = cb + chroma;
    if (rgb565) {
        result = gDecodeJpegImage(decoder, reinterpret_cast<uint16_t*>(decoded.data()),
                                  static_cast<uint32_t>(size_t{out.evenWidth} * out.evenHeight), &out);
    } else {
        JpegPlanes planes{decoded.data(), colour ? decoded.data() + size_t{pw} * ph : nullptr,
                          colour ? decoded.data() + size_t{pw} * ph + chroma : nullptr, static_cast<uint16_t>(pw),
                          static_cast<uint16_t>(ph)};
        result = decoder->Decode(decoder, &planes);
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

    // Written a stripe of rows at a time: the file's bytes pass through a
    // buffer the cache holds, not a second whole picture.
    const int hShift = colour && cw < pw ? 1 : 0;
    const int vShift = colour && ch < ph ? 1 : 0;
    const size_t rowBytes = size_t{out.width} * channels;
    const uint32_t stripeRows = static_cast<uint32_t>(std::max<size_t>(1, (size_t{1} << 20) / rowBytes));
    std::vector<uint8_t> stripe(rowBytes * std::min(stripeRows, uint32_t{out.height}));
    auto convertRow = [&](uint32_t row, uint8_t* o) {
        if (rgb565) {
            const uint16_t* in = rgb + size_t{row} * out.evenWidth;
            uint8_t widened[3];
            for (uint32_t x = 0; x < out.width; ++x) {
                pixels::WidenRgb565(in[x], grey ? widened : o + 3 * x);
                if (grey) {
                    o[x] = widened[0];
                }
            }
            return;
        }
        const uint8_t* lum = y + size_t{row} * pw;
        if (grey) {
            std::memcpy(o, lum, out.width);
        } else if (info.samplingType == kJpegSamplingRgb) {
            const uint8_t* g = cb + size_t{row} * pw;
            const uint8_t* b = cr + size_t{row} * pw;
            for (uint32_t x = 0; x < out.width; ++x) {
                o[3 * x] = lum[x];
                o[3 * x + 1] = g[x];
                o[3 * x + 2] = b[x];
            }
        } else {
            const size_t c = size_t{row >> vShift} * cw;
            ConvertRow(lum, cb + c, cr + c, hShift, out.width, o);
        }
    };
    OutputFile file;
    if (!file.Open(args[1])) {
        return 1;
    }
    const std::string header = PnmHeader(out.width, out.height, channels);
    file.Write(header.data(), header.size());
    for (uint32_t top = 0; top < out.height; top += stripeRows) {
        const uint32_t rows = std::min(stripeRows, out.height - top);
        for (uint32_t r = 0; r < rows; ++r) {
            convertRow(top + r, stripe.data() + r * rowBytes);
        }
        file.Write(stripe.data(), rows * rowBytes);
    }
    return file.Close() && result == 0 ? 0 : 1;
}

}  // namespace jpegtool
