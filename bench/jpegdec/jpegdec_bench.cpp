// Our decoder against libjpeg-turbo on the same 4:2:0 files (1280 x 960 and
// 2560 x 1920, quality 85), on equal work: the same file, scale and output.
//   Planes   Y, Cb, Cr planes against the peer's raw planes, at 1, 1/2, 1/4
//            and 1/8 (the peer scales raw output as it scales pixels);
//   Rgb565   our RGB565 against the peer's RGB565 (which has no vector path)
//            and, labelled Rgb565VsRgb888, against its vector RGB888 road;
// every peer road without fancy upsampling, chroma replicated as ours is.
// Each row runs the two in turn and reports the median ratio with its spread.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <jpeglib.h>

#include "JpegDecoderTestSupport.h"
#include "alternate.h"
#include "jpeg/JpegDecoder.h"

namespace {

const std::vector<uint8_t>& File(int width) {
    static std::map<int, std::vector<uint8_t>> files;
    auto it = files.find(width);
    if (it == files.end()) {
        jpegtest::EncodeOptions options;
        options.quality = 85;
        it = files.emplace(width, jpegtest::PeerEncode(jpegtest::TestPattern(width, width * 3 / 4), options)).first;
    }
    return it->second;
}

enum class Output { kPlanes, kRgb565, kRgb888 };

struct Ours {
    const std::vector<uint8_t>& jpeg;
    int scale;
    bool planesOut;
    std::vector<uint8_t> planes;
    std::vector<uint16_t> pixels;

    void operator()() {
        JpegDecoder* d = nullptr;
        JpegImageInfo info;
        uint8_t kind;
        uint32_t length;
        if (gCreateJpegImageDecoder(&d, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind, &length,
                                    scale) != 0) {
            std::abort();
        }
        JpegThumbnailInfo out{};
        gGetJpegOutputInfo(d, &out);
        if (planesOut) {
            uint16_t cw = 0, ch = 0;
            gGetJpegPlaneSizes(d, &cw, &ch);
            const size_t luma = size_t{out.paddedWidth} * out.paddedHeight, chroma = size_t{cw} * ch;
            planes.resize(luma + 2 * chroma);
            JpegPlanes p{planes.data(), planes.data() + luma, planes.data() + luma + chroma, out.paddedWidth,
                         out.paddedHeight};
            d->Decode(d, &p);
        } else {
            pixels.resize(size_t{out.evenWidth} * out.evenHeight);
            gDecodeJpegImage(d, pixels.data(), static_cast<uint32_t>(pixels.size()), &out);
        }
        d->Release(d);
        benchmark::DoNotOptimize(planes.data());
        benchmark::DoNotOptimize(pixels.data());
    }
};

struct Peer {
    const std::vector<uint8_t>& jpeg;
    int scale;
    Output output;
    std::vector<uint8_t> buffer;

    void operator()() {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        cinfo.scale_num = 1;
        cinfo.scale_denom = static_cast<unsigned>(scale);
        cinfo.do_fancy_upsampling = FALSE;
        if (output == Output::kPlanes) {
            cinfo.raw_data_out = TRUE;
            jpeg_start_decompress(&cinfo);
            // One iMCU row of every component per call, into whole planes as
            // ours are. The peer scales chroma less than luma where that
            // spares upsampling (as ours does), so each component has its own
            // block size.
            std::vector<JSAMPROW> rows[3];
            JSAMPARRAY arrays[3];
            size_t offset[3] = {}, stride[3] = {}, total = 0;
            int perCall[3] = {};
            for (int c = 0; c < 3; ++c) {
                const jpeg_component_info& ci = cinfo.comp_info[c];
                perCall[c] = ci.v_samp_factor * ci.DCT_scaled_size;
                stride[c] = size_t{ci.width_in_blocks} * ci.DCT_scaled_size;
                offset[c] = total;
                total += stride[c] * (size_t{ci.height_in_blocks} * ci.DCT_scaled_size + perCall[c]);
                rows[c].resize(static_cast<size_t>(perCall[c]));
            }
            buffer.resize(total);
            const int lines = cinfo.max_v_samp_factor * cinfo.min_DCT_scaled_size;
            for (int call = 0; cinfo.output_scanline < cinfo.output_height; ++call) {
                for (int c = 0; c < 3; ++c) {
                    for (int i = 0; i < perCall[c]; ++i) {
                        rows[c][i] = buffer.data() + offset[c] + stride[c] * static_cast<size_t>(call * perCall[c] + i);
                    }
                    arrays[c] = rows[c].data();
                }
                jpeg_read_raw_data(&cinfo, arrays, static_cast<JDIMENSION>(lines));
            }
        } else {
            cinfo.out_color_space = output == Output::kRgb565 ? JCS_RGB565 : JCS_RGB;
            cinfo.dither_mode = JDITHER_NONE;
            jpeg_start_decompress(&cinfo);
            const size_t row = size_t{cinfo.output_width} * (output == Output::kRgb565 ? 2 : 3);
            buffer.resize(row * cinfo.output_height + row);
            while (cinfo.output_scanline < cinfo.output_height) {
                JSAMPROW r[4];
                for (int i = 0; i < 4; ++i) {
                    r[i] = buffer.data() + row * (cinfo.output_scanline + i);
                }
                jpeg_read_scanlines(&cinfo, r, 4);
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(buffer.data());
    }
};

// Arguments: width, scale.
void Planes(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = File(static_cast<int>(state.range(0)));
    const int scale = static_cast<int>(state.range(1));
    benchpair::Alternate(state, Ours{jpeg, scale, true, {}, {}}, Peer{jpeg, scale, Output::kPlanes, {}});
}

void Rgb565(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = File(static_cast<int>(state.range(0)));
    const int scale = static_cast<int>(state.range(1));
    benchpair::Alternate(state, Ours{jpeg, scale, false, {}, {}}, Peer{jpeg, scale, Output::kRgb565, {}});
}

// Not the same output: the peer's RGB888, its vector road, as a yardstick.
void Rgb565VsRgb888(benchmark::State& state) {
    const std::vector<uint8_t>& jpeg = File(static_cast<int>(state.range(0)));
    const int scale = static_cast<int>(state.range(1));
    benchpair::Alternate(state, Ours{jpeg, scale, false, {}, {}}, Peer{jpeg, scale, Output::kRgb888, {}});
}

void Scales(benchmark::internal::Benchmark* b) {
    for (int width : {1280, 2560}) {
        for (int scale : {1, 2, 4, 8}) {
            b->Args({width, scale});
        }
    }
    b->Iterations(21)->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(Planes)->Apply(Scales);
BENCHMARK(Rgb565)->Apply(Scales);
BENCHMARK(Rgb565VsRgb888)->Apply(Scales);

int main(int argc, char** argv) { return benchpair::RunWithRatios(argc, argv); }
