// Helpers of the encoder tests: synthetic frames in every input format, our
// encoder in each output mode, and libjpeg as the independent decoder.
#pragma once

#include "jpeg/JpegEncoder.h"

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace jpegtest {

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px;  // R G B per pixel
    const uint8_t* At(int x, int y) const { return &px[3 * (static_cast<size_t>(y) * width + x)]; }
};

// Smooth shading with edges and fine texture: something like a photo of a card.
inline Rgb MakeTestImage(int width, int height, uint32_t seed = 1)
{
    Rgb img;
    img.width = width;
    img.height = height;
    img.px.resize(3 * static_cast<size_t>(width) * height);
    uint32_t state = seed;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            int noise = static_cast<int>((state >> 24) % 9) - 4;
            double r = 128 + 90 * std::sin(x / 37.0 + y / 53.0);
            double g = 120 + 80 * std::cos(y / 29.0) * std::sin(x / 71.0);
            double b = ((x / 24 + y / 24) % 2) ? 200 : 60;
            uint8_t* p = &img.px[3 * (static_cast<size_t>(y) * width + x)];
            auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
            p[0] = clamp(r + noise);
            p[1] = clamp(g + noise);
            p[2] = clamp(b + noise);
        }
    }
    return img;
}

// Only smooth shading: what a scaled-down copy must keep.
inline Rgb MakeSmoothImage(int width, int height)
{
    Rgb img;
    img.width = width;
    img.height = height;
    img.px.resize(3 * static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &img.px[3 * (static_cast<size_t>(y) * width + x)];
            p[0] = static_cast<uint8_t>(128 + 100 * std::sin(x / 61.0 + y / 97.0));
            p[1] = static_cast<uint8_t>(120 + 90 * std::cos(y / 53.0));
            p[2] = static_cast<uint8_t>(40 + (x + y) * 180 / (width + height));
        }
    }
    return img;
}

inline Rgb MakeNoiseImage(int width, int height, uint32_t seed)
{
    Rgb img;
    img.width = width;
    img.height = height;
    img.px.resize(3 * static_cast<size_t>(width) * height);
    uint32_t state = seed;
    for (auto& v : img.px) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<uint8_t>(state >> 24);
    }
    return img;
}

inline void ToYcc(const uint8_t* p, int& y, int& cb, int& cr)
{
    double r = p[0], g = p[1], b = p[2];
    auto clamp = [](double v) { return static_cast<int>(v < 0 ? 0 : (v > 255 ? 255 : v + 0.5)); };
    y = clamp(0.299 * r + 0.587 * g + 0.114 * b);
    cb = clamp(-0.168736 * r - 0.331264 * g + 0.5 * b + 128);
    cr = clamp(0.5 * r - 0.418688 * g - 0.081312 * b + 128);
}

// A frame in one input format, with the picture it stands for: YCbCr planes
// at full size for the YCbCr formats (chroma replicated as the format
// samples it), RGB for the RGB formats, one plane for grey.
struct Frame {
    int format = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> data;
    std::vector<uint8_t> expected;  // interleaved 3 (or 1) samples per pixel
    int expectedComponents = 3;
    bool expectRgb = false;
};

inline Frame MakeFrame(const Rgb& img, int format)
{
    Frame f;
    f.format = format;
    f.width = img.width;
    f.height = img.height;
    const int w = img.width, h = img.height;
    const size_t n = static_cast<size_t>(w) * h;
    std::vector<uint8_t> Y(n), Cb(n), Cr(n);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int a, b, c;
            ToYcc(img.At(x, y), a, b, c);
            Y[y * w + x] = static_cast<uint8_t>(a);
            Cb[y * w + x] = static_cast<uint8_t>(b);
            Cr[y * w + x] = static_cast<uint8_t>(c);
        }
    }
    // Chroma subsampled by sx x sy (average, or first row of each pair when firstRow).
    auto sub = [&](const std::vector<uint8_t>& p, int sx, int sy, bool firstRow) {
        int cw = w / sx, ch = h / sy;
        std::vector<uint8_t> out(static_cast<size_t>(cw) * ch);
        for (int y = 0; y < ch; ++y) {
            for (int x = 0; x < cw; ++x) {
                int sum = 0, cnt = 0;
                for (int dy = 0; dy < (firstRow ? 1 : sy); ++dy) {
                    for (int dx = 0; dx < sx; ++dx) {
                        sum += p[(y * sy + dy) * w + x * sx + dx];
                        ++cnt;
                    }
                }
                out[y * cw + x] = static_cast<uint8_t>((sum + cnt / 2) / cnt);
            }
        }
        return out;
    };
    auto setExpectedYcc = [&](const std::vector<uint8_t>& cb, const std::vector<uint8_t>& cr, int sx, int sy) {
        f.expected.resize(3 * n);
        int cw = w / sx;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                f.expected[3 * (y * w + x)] = Y[y * w + x];
                f.expected[3 * (y * w + x) + 1] = cb[(y / sy) * cw + x / sx];
                f.expected[3 * (y * w + x) + 2] = cr[(y / sy) * cw + x / sx];
            }
        }
    };
    auto append = [&](const std::vector<uint8_t>& v) { f.data.insert(f.data.end(), v.begin(), v.end()); };
    switch (format) {
    case 1:
    case 11: {
        auto cb = sub(Cb, 2, 2, false), cr = sub(Cr, 2, 2, false);
        append(Y);
        if (format == 1) {
            append(cb);
            append(cr);
        } else {
            for (size_t i = 0; i < cb.size(); ++i) {
                f.data.push_back(cb[i]);
                f.data.push_back(cr[i]);
            }
        }
        setExpectedYcc(cb, cr, 2, 2);
        break;
    }
    case 2: {
        auto cb = sub(Cb, 2, 1, false), cr = sub(Cr, 2, 1, false);
        append(Y);
        append(cb);
        append(cr);
        setExpectedYcc(cb, cr, 2, 1);
        break;
    }
    case 3:
        append(Y);
        append(Cb);
        append(Cr);
        setExpectedYcc(Cb, Cr, 1, 1);
        break;
    case 4:
        append(Y);
        f.expected = Y;
        f.expectedComponents = 1;
        break;
    case 5:
        for (int c = 0; c < 3; ++c) {
            for (size_t i = 0; i < n; ++i) {
                f.data.push_back(img.px[3 * i + c]);
            }
        }
        f.expected = img.px;
        f.expectRgb = true;
        break;
    case 6:
    case 10:
        f.data = img.px;
        f.expected = img.px;
        f.expectRgb = true;
        break;
    case 7:
        f.expected.resize(3 * n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* p = &img.px[3 * i];
            uint16_t v = static_cast<uint16_t>(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
            f.data.push_back(static_cast<uint8_t>(v));
            f.data.push_back(static_cast<uint8_t>(v >> 8));
            f.expected[3 * i] = static_cast<uint8_t>(((v >> 11) * 255 + 15) / 31);
            f.expected[3 * i + 1] = static_cast<uint8_t>((((v >> 5) & 63) * 255 + 31) / 63);
            f.expected[3 * i + 2] = static_cast<uint8_t>(((v & 31) * 255 + 15) / 31);
        }
        f.expectRgb = true;
        break;
    case 8:
    case 9: {
        auto cb = sub(Cb, 2, 1, false), cr = sub(Cr, 2, 1, false);
        int cw = w / 2;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < cw; ++x) {
                f.data.push_back(Y[y * w + 2 * x]);
                f.data.push_back(cb[y * cw + x]);
                f.data.push_back(Y[y * w + 2 * x + 1]);
                f.data.push_back(cr[y * cw + x]);
            }
        }
        if (format == 9) {
            setExpectedYcc(cb, cr, 2, 1);
        } else {
            // Coded 4:2:0 from the first row of each row pair.
            std::vector<uint8_t> cb2(static_cast<size_t>(cw) * (h / 2)), cr2(cb2.size());
            for (int y = 0; y < h / 2; ++y) {
                for (int x = 0; x < cw; ++x) {
                    cb2[y * cw + x] = cb[2 * y * cw + x];
                    cr2[y * cw + x] = cr[2 * y * cw + x];
                }
            }
            setExpectedYcc(cb2, cr2, 2, 2);
        }
        break;
    }
    default:
        break;
    }
    return f;
}

// Our encoder over one frame; every call's output appended.
struct EncodeResult {
    int32_t createCode = 0;
    int32_t code = 0;     // last Encode result
    int calls = 0;
    std::vector<uint8_t> stream;
    std::vector<uint32_t> chunkSizes;
};

inline JpegEncodeParams DefaultParams(int width, int height, int format, int quality)
{
    JpegEncodeParams p{};
    p.width = width;
    p.height = height;
    p.bitsPerSample = 8;
    p.inputFormat = format;
    p.quality = quality;
    p.codingMode = 1;
    return p;
}

// Cuts a frame into the stripes of output mode 2: per stripe the rows of each
// input plane, laid out like a full stripe.
inline std::vector<std::vector<uint8_t>> MakeStripes(const Frame& f, int stripeRows, int mcuHeight)
{
    struct Plane { size_t offset; size_t stride; int rowDiv; };
    std::vector<Plane> planes;
    const int w = f.width, h = f.height;
    switch (f.format) {
    case 1: planes = {{0, size_t(w), 1}, {size_t(w) * h, size_t(w / 2), 2}, {size_t(w) * h * 5 / 4, size_t(w / 2), 2}}; break;
    case 2: planes = {{0, size_t(w), 1}, {size_t(w) * h, size_t(w / 2), 1}, {size_t(w) * h * 3 / 2, size_t(w / 2), 1}}; break;
    case 3: case 5: planes = {{0, size_t(w), 1}, {size_t(w) * h, size_t(w), 1}, {size_t(w) * h * 2, size_t(w), 1}}; break;
    case 4: planes = {{0, size_t(w), 1}}; break;
    case 6: case 10: planes = {{0, size_t(w) * 3, 1}}; break;
    case 7: case 8: case 9: planes = {{0, size_t(w) * 2, 1}}; break;
    case 11: planes = {{0, size_t(w), 1}, {size_t(w) * h, size_t(w), 2}}; break;
    }
    std::vector<std::vector<uint8_t>> stripes;
    int rowsPerStripe = stripeRows * mcuHeight;
    for (int top = 0; top < h; top += rowsPerStripe) {
        std::vector<uint8_t> s;
        for (const Plane& p : planes) {
            int first = top / p.rowDiv;
            int full = rowsPerStripe / p.rowDiv;
            int avail = (h / p.rowDiv) - first;
            int rows = avail < full ? avail : full;
            size_t start = s.size();
            s.resize(start + p.stride * full, 0);
            std::memcpy(s.data() + start, f.data.data() + p.offset + p.stride * first, p.stride * rows);
        }
        stripes.push_back(std::move(s));
    }
    return stripes;
}

// Encodes a frame with the given parameters in their output mode; capacity 0
// asks GetConfig 100 for the chunk size.
inline EncodeResult EncodeFrame(const Frame& f, JpegEncodeParams params, uint32_t capacity = 0, int mcuHeight = 16)
{
    EncodeResult r;
    JpegEncoder* enc = nullptr;
    r.createCode = gCreateJpegImageEncoder(&enc, &params);
    if (r.createCode != 0) {
        return r;
    }
    if (capacity == 0) {
        enc->GetConfig(enc, kJpegConfigOutputSize, &capacity);
    }
    std::vector<uint8_t> out(capacity);
    std::vector<std::vector<uint8_t>> stripes;
    if (params.outputMode == 2) {
        stripes = MakeStripes(f, params.stripeRows, mcuHeight);
    }
    size_t stripe = 0;
    for (;;) {
        uint32_t size = capacity;
        const uint8_t* input = params.outputMode == 2 ? stripes[stripe].data() : f.data.data();
        r.code = enc->Encode(enc, input, out.data(), &size);
        ++r.calls;
        r.stream.insert(r.stream.end(), out.begin(), out.begin() + size);
        r.chunkSizes.push_back(size);
        if (r.code == kJpegNextStripe) {
            ++stripe;
        } else if (r.code != kJpegMoreOutput || r.calls > 1000000) {
            break;
        }
    }
    enc->Release(enc);
    return r;
}

struct Decoded {
    bool ok = false;
    std::string error;
    int warnings = 0;
    int width = 0;
    int height = 0;
    int components = 0;
    bool progressive = false;
    std::vector<uint8_t> pixels;
};

struct PeerError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    int warnings;
    char message[JMSG_LENGTH_MAX];
};

inline void PeerErrorExit(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<PeerError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    longjmp(err->jump, 1);
}

inline void PeerEmitMessage(j_common_ptr cinfo, int level)
{
    if (level < 0) {
        reinterpret_cast<PeerError*>(cinfo->err)->warnings++;
    }
}

// Decodes with libjpeg: YCbCr output without colour conversion (or RGB when
// rgb is set) and without smoothing of upsampled chroma.
inline Decoded DecodeWithPeer(const std::vector<uint8_t>& stream, bool rgb = false)
{
    Decoded d;
    jpeg_decompress_struct cinfo{};
    PeerError err{};
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = PeerErrorExit;
    err.mgr.emit_message = PeerEmitMessage;
    if (setjmp(err.jump)) {
        d.error = err.message;
        jpeg_destroy_decompress(&cinfo);
        return d;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (cinfo.num_components == 3 && !rgb && cinfo.jpeg_color_space == JCS_YCbCr) {
        cinfo.out_color_space = JCS_YCbCr;
    }
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    d.width = static_cast<int>(cinfo.output_width);
    d.height = static_cast<int>(cinfo.output_height);
    d.components = cinfo.output_components;
    d.progressive = cinfo.progressive_mode;
    d.pixels.resize(static_cast<size_t>(d.width) * d.height * d.components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &d.pixels[static_cast<size_t>(cinfo.output_scanline) * d.width * d.components];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    d.warnings = err.warnings;
    jpeg_destroy_decompress(&cinfo);
    d.ok = true;
    return d;
}

// A baseline stream of an RGB picture made by libjpeg (as a camera would deliver one).
inline std::vector<uint8_t> EncodeRgbWithPeer(const Rgb& img, int quality)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = static_cast<JDIMENSION>(img.width);
    cinfo.image_height = static_cast<JDIMENSION>(img.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(img.At(0, static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> stream(out, out + size);
    free(out);
    return stream;
}

inline double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty()) {
        return -1;
    }
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        double d = static_cast<double>(a[i]) - b[i];
        se += d * d;
    }
    if (se == 0) {
        return 99.0;
    }
    return 10 * std::log10(255.0 * 255.0 * a.size() / se);
}

}  // namespace jpegtest
