// Our decoder against libjpeg-turbo on the same 4:2:0 files (1280 x 960 and
// 2560 x 1920, quality 85): to Y/Cb/Cr planes, to RGB565, and at 1/8 scale.
// After the run it prints ours / peer for each pair.
#include <benchmark/benchmark.h>

#include <csetjmp>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "JpegDecoderTestSupport.h"
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

enum Output { kPlanes, kRgb565, kEighth };

void Ours(benchmark::State& state, Output output) {
    const std::vector<uint8_t>& jpeg = File(static_cast<int>(state.range(0)));
    std::vector<uint8_t> planes;
    std::vector<uint16_t> pixels;
    for (auto _ : state) {
        JpegDecoder* d = nullptr;
        JpegImageInfo info;
        uint8_t kind;
        uint32_t length;
        gCreateJpegImageDecoder(&d, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind, &length,
                                output == kEighth ? 8 : 1);
        JpegThumbnailInfo out{};
        gGetJpegOutputInfo(d, &out);
        if (output == kPlanes) {
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
}

void Peer(benchmark::State& state, Output output) {
    const std::vector<uint8_t>& jpeg = File(static_cast<int>(state.range(0)));
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        if (output == kPlanes) {
            // Raw Y, Cb, Cr planes: the peer's nearest equivalent of ours.
            cinfo.raw_data_out = TRUE;
            jpeg_start_decompress(&cinfo);
            const size_t w = cinfo.comp_info[0].width_in_blocks * 8;
            buffer.resize(w * 16 * 2);
            JSAMPROW y[16], cb[8], cr[8];
            for (int i = 0; i < 16; ++i) {
                y[i] = buffer.data() + i * w;
            }
            for (int i = 0; i < 8; ++i) {
                cb[i] = buffer.data() + 16 * w + i * w / 2;
                cr[i] = buffer.data() + 16 * w + 8 * w / 2 + i * w / 2;
            }
            JSAMPARRAY planes[3] = {y, cb, cr};
            while (cinfo.output_scanline < cinfo.output_height) {
                jpeg_read_raw_data(&cinfo, planes, 16);
            }
        } else {
            cinfo.out_color_space = output == kRgb565 ? JCS_RGB565 : JCS_RGB;
            if (output == kEighth) {
                cinfo.scale_denom = 8;
            }
            jpeg_start_decompress(&cinfo);
            const size_t row = size_t{cinfo.output_width} * cinfo.output_components * 2;
            buffer.resize(row);
            while (cinfo.output_scanline < cinfo.output_height) {
                JSAMPROW r = buffer.data();
                jpeg_read_scanlines(&cinfo, &r, 1);
            }
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(buffer.data());
    }
}

// Keeps each run's time to print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            times_[r.benchmark_name()] = r.GetAdjustedCPUTime();  // the machine is shared: CPU time
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void PrintRatios() const {
        std::printf("\nours / libjpeg-turbo, CPU time (lower is better):\n");
        for (const auto& [name, time] : times_) {
            if (name.rfind("Ours/", 0) != 0) {
                continue;
            }
            const auto peer = times_.find("Peer/" + name.substr(5));
            if (peer != times_.end() && peer->second > 0) {
                std::printf("  %-24s %.2f\n", name.substr(5).c_str(), time / peer->second);
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

BENCHMARK_CAPTURE(Ours, Planes, kPlanes)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peer, Planes, kPlanes)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Rgb565, kRgb565)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peer, Rgb565, kRgb565)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Ours, Eighth, kEighth)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peer, Eighth, kEighth)->Arg(1280)->Arg(2560)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
