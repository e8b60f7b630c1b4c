#include "JpegDecoderTestSupport.h"

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

#include "jpeg/JpegDecoder.h"
#include "pixels/Rgb565.h"

namespace jpegtest {

namespace {

struct PeerError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    bool prematureEnd = false;
};

void OnPeerError(j_common_ptr cinfo) {
    longjmp(reinterpret_cast<PeerError*>(cinfo->err)->jump, 1);
}

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

Picture TestPattern(uint32_t width, uint32_t height) {
    Picture p{width, height, 3, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* o = &p.pixels[(size_t{y} * width + x) * 3];
            const double fx = double(x) / (width > 1 ? width - 1 : 1), fy = double(y) / (height > 1 ? height - 1 : 1);
            const bool edge = ((x / 7) + (y / 5)) % 4 == 0;
            o[0] = Clamp(int(40 + 180 * fx + (edge ? 30 : 0)));
            o[1] = Clamp(int(200 - 150 * fy + 20 * std::sin(x * 0.7)));
            o[2] = Clamp(int(128 + 100 * std::sin(fx * 6 + fy * 3) + ((x * 13 + y * 7) % 17)));
        }
    }
    return p;
}

std::vector<uint8_t> PeerEncode(const Picture& rgb, const EncodeOptions& options) {
    jpeg_compress_struct cinfo;
    PeerError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnPeerError;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        throw std::runtime_error("libjpeg could not encode");
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = rgb.width;
    cinfo.image_height = rgb.height;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    if (options.grey) {
        jpeg_set_colorspace(&cinfo, JCS_GRAYSCALE);
    } else {
        if (options.rgb) {
            jpeg_set_colorspace(&cinfo, JCS_RGB);
        }
        cinfo.comp_info[0].h_samp_factor = options.hSamp;
        cinfo.comp_info[0].v_samp_factor = options.vSamp;
    }
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    cinfo.restart_interval = static_cast<unsigned>(options.restartInterval);
    jpeg_scan_info scans[3] = {};
    if (options.scanPerComponent && !options.grey) {
        for (int c = 0; c < 3; ++c) {
            scans[c].comps_in_scan = 1;
            scans[c].component_index[0] = c;
            scans[c].Se = 63;
        }
        cinfo.scan_info = scans;
        cinfo.num_scans = 3;
    }
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(&rgb.pixels[size_t{cinfo.next_scanline} * rgb.width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> result(out, out + outSize);
    std::free(out);
    return result;
}

Picture PeerDecode(const std::vector<uint8_t>& jpeg, const char* colorSpace, int scale) {
    jpeg_decompress_struct cinfo;
    PeerError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnPeerError;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return {};
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    const std::string space(colorSpace);
    cinfo.out_color_space = space == "grey" ? JCS_GRAYSCALE : (space == "ycc" ? JCS_YCbCr : JCS_RGB);
    cinfo.do_fancy_upsampling = FALSE;
    cinfo.do_block_smoothing = FALSE;
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    jpeg_start_decompress(&cinfo);
    Picture p{cinfo.output_width, cinfo.output_height, cinfo.output_components, {}};
    p.pixels.resize(size_t{p.width} * p.height * p.channels);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = &p.pixels[size_t{cinfo.output_scanline} * p.width * p.channels];
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return p;
}

PeerEnd PeerDecodeEnd(const std::vector<uint8_t>& jpeg) {
    jpeg_decompress_struct cinfo;
    PeerError err;
    cinfo.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = OnPeerError;
    err.mgr.emit_message = [](j_common_ptr c, int level) {
        auto* e = reinterpret_cast<PeerError*>(c->err);
        e->prematureEnd |= level < 0 && e->mgr.msg_code == JWRN_JPEG_EOF;  // noted, not printed
    };
    PeerEnd end;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return end;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    std::vector<uint8_t> row(size_t{cinfo.output_width} * cinfo.output_components);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_decompress(&cinfo);
    end.decoded = true;
    end.prematureEnd = err.prematureEnd;
    jpeg_destroy_decompress(&cinfo);
    return end;
}

OurPlanes OurDecode(const std::vector<uint8_t>& jpeg, int scale) {
    OurPlanes result;
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    uint8_t kind = 0;
    uint32_t length = 0;
    JpegRefusal refusal = kJpegRefusalNone;
    result.createResult = gCreateJpegImageDecoder(&decoder, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info,
                                                  &kind, &length, scale, &refusal);
    result.refusal = refusal;
    if (result.createResult != 0) {
        return result;
    }
    result.samplingType = info.samplingType;
    JpegThumbnailInfo out{};
    gGetJpegOutputInfo(decoder, &out);
    const bool colour = info.samplingType != kJpegSamplingGrey;
    uint16_t cw = 0, ch = 0;
    gGetJpegPlaneSizes(decoder, &cw, &ch);
    const uint32_t pw = out.paddedWidth, ph = out.paddedHeight;
    const int hs = colour && cw < pw ? 1 : 0;
    const int vs = colour && ch < ph ? 1 : 0;
    std::vector<uint8_t> y(size_t{pw} * ph), cb(colour ? size_t{cw} * ch : 0), cr(cb.size());
    JpegPlanes planes{y.data(), colour ? cb.data() : nullptr, colour ? cr.data() : nullptr,
                      static_cast<uint16_t>(pw), static_cast<uint16_t>(ph)};
    result.decodeResult = decoder->Decode(decoder, &planes);
    result.refusal = gGetJpegRefusal(decoder);
    result.truncated = gIsJpegDataTruncated(decoder) == 1;
    decoder->Release(decoder);
    Picture& p = result.ycc;
    p.width = out.width;
    p.height = out.height;
    p.channels = colour ? 3 : 1;
    p.pixels.resize(size_t{p.width} * p.height * p.channels);
    for (uint32_t row = 0; row < p.height; ++row) {
        for (uint32_t x = 0; x < p.width; ++x) {
            uint8_t* o = &p.pixels[(size_t{row} * p.width + x) * p.channels];
            o[0] = y[size_t{row} * pw + x];
            if (colour) {
                const size_t c = size_t{row >> vs} * cw + (x >> hs);
                o[1] = cb[c];
                o[2] = cr[c];
            }
        }
    }
    return result;
}

Picture OurRgb565(const std::vector<uint8_t>& jpeg, int scale, int32_t* resultOut) {
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    uint8_t kind = 0;
    uint32_t length = 0;
    int32_t result = gCreateJpegImageDecoder(&decoder, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind,
                                             &length, scale);
    if (resultOut) {
        *resultOut = result;
    }
    if (result != 0) {
        return {};
    }
    JpegThumbnailInfo out{};
    gGetJpegOutputInfo(decoder, &out);
    std::vector<uint16_t> pixels(size_t{out.evenWidth} * out.evenHeight);
    result = gDecodeJpegImage(decoder, pixels.data(), static_cast<uint32_t>(pixels.size()), &out);
    decoder->Release(decoder);
    if (resultOut) {
        *resultOut = result;
    }
    return Picture{out.width, out.height, 3, pixels::WidenRgb565Rows(pixels.data(), out.evenWidth, out.width, out.height)};
}

Picture YccToRgb(const Picture& ycc) {
    if (ycc.channels == 1) {
        Picture p{ycc.width, ycc.height, 3, std::vector<uint8_t>(ycc.pixels.size() * 3)};
        for (size_t i = 0; i < ycc.pixels.size(); ++i) {
            p.pixels[i * 3] = p.pixels[i * 3 + 1] = p.pixels[i * 3 + 2] = ycc.pixels[i];
        }
        return p;
    }
    Picture p = ycc;
    for (size_t i = 0; i < p.pixels.size(); i += 3) {
        const int y = ycc.pixels[i], cb = ycc.pixels[i + 1] - 128, cr = ycc.pixels[i + 2] - 128;
        p.pixels[i] = Clamp(y + ((cr * 22970 + 8192) >> 14));
        p.pixels[i + 1] = Clamp(y - ((cr * 11700 + cb * 5638 + 8192) >> 14));
        p.pixels[i + 2] = Clamp(y + ((cb * 29032 + 8192) >> 14));
    }
    return p;
}

Picture Channel(const Picture& p, int channel) {
    Picture c{p.width, p.height, 1, std::vector<uint8_t>(size_t{p.width} * p.height)};
    for (size_t i = 0; i < c.pixels.size(); ++i) {
        c.pixels[i] = p.pixels[i * p.channels + channel];
    }
    return c;
}

double Psnr(const Picture& a, const Picture& b) {
    if (a.width != b.width || a.height != b.height || a.channels != b.channels || a.pixels.empty()) {
        return 0;
    }
    double se = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        const double d = double(a.pixels[i]) - b.pixels[i];
        se += d * d;
    }
    if (se == 0) {
        return 99;
    }
    return 10 * std::log10(255.0 * 255.0 * a.pixels.size() / se);
}

int MaxDifference(const Picture& a, const Picture& b) {
    if (a.pixels.size() != b.pixels.size()) {
        return 256;
    }
    int m = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) {
        m = std::max(m, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    }
    return m;
}

Picture Crop(const Picture& p, uint32_t width, uint32_t height) {
    Picture c{width, height, p.channels, {}};
    for (uint32_t y = 0; y < height && y < p.height; ++y) {
        const auto* row = &p.pixels[size_t{y} * p.width * p.channels];
        c.pixels.insert(c.pixels.end(), row, row + size_t{std::min(width, p.width)} * p.channels);
    }
    return c;
}

Picture Downscale(const Picture& p, int factor) {
    Picture d{(p.width + factor - 1) / factor, (p.height + factor - 1) / factor, p.channels, {}};
    d.pixels.resize(size_t{d.width} * d.height * d.channels);
    for (uint32_t y = 0; y < d.height; ++y) {
        for (uint32_t x = 0; x < d.width; ++x) {
            for (int c = 0; c < p.channels; ++c) {
                int sum = 0, n = 0;
                for (uint32_t yy = y * factor; yy < std::min(p.height, (y + 1) * factor); ++yy) {
                    for (uint32_t xx = x * factor; xx < std::min(p.width, (x + 1) * factor); ++xx) {
                        sum += p.pixels[(size_t{yy} * p.width + xx) * p.channels + c];
                        ++n;
                    }
                }
                d.pixels[(size_t{y} * d.width + x) * d.channels + c] = static_cast<uint8_t>((sum + n / 2) / n);
            }
        }
    }
    return d;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

}  // namespace jpegtest
