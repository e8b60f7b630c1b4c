// ScreenBitmap/<picture width>/<target width>: ours (the picture reader with
// the program's decoder at the covering scale, then the area resize) against
// libjpeg-turbo decoding to RGB565 at the same scale, then the same resize.
// Both do equal work on the same stream; "ratio" is our time over the peer's.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "ImageDecoder.h"
#include "JpegDecoderTestSupport.h"
#include "plat/fotrix.h"
#include "plat/picture.h"

// After the platform headers: its TRUE and FALSE are macros.
#include <jpeglib.h>

namespace {

const std::vector<uint8_t>& Stream(int width)
{
    static std::vector<uint8_t> streams[2];
    std::vector<uint8_t>& s = streams[width == 2560];
    if (s.empty())
        s = jpegtest::PeerEncode(jpegtest::TestPattern(static_cast<uint32_t>(width), static_cast<uint32_t>(width * 3 / 4)),
                                 jpegtest::EncodeOptions{});
    return s;
}

FitRect Fit(int w, int h, int tw, int th)
{
    FitRect f{};
    f.srcWidth = w, f.srcHeight = h, f.targetWidth = tw, f.targetHeight = th, f.fitMode = 2;
    CalcFitRect(&f);
    return f;
}

void Ours(const std::vector<uint8_t>& jpeg, const FitRect& f, std::vector<WORD>* out)
{
    plat::Picture p;
    plat::DecodePicture(jpeg.data(), jpeg.size(), f.outWidth, f.outHeight, &p);
    gScaleRGB565CroppedFrame(p.pixels.data(), p.width, p.height, 0, 0, p.width, p.height, out->data(), f.outWidth,
                             f.outHeight);
}

void Peer(const std::vector<uint8_t>& jpeg, int w, int h, const FitRect& f, std::vector<WORD>* out)
{
    int scale = 1;
    for (int s : {8, 4, 2})
        if ((w + s - 1) / s >= f.outWidth && (h + s - 1) / s >= f.outHeight) {
            scale = s;
            break;
        }
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    cinfo.out_color_space = JCS_RGB565;
    cinfo.dither_mode = JDITHER_NONE;
    jpeg_start_decompress(&cinfo);
    int ow = static_cast<int>(cinfo.output_width), oh = static_cast<int>(cinfo.output_height);
    std::vector<WORD> pixels(static_cast<size_t>(ow) * oh);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels.data() + static_cast<size_t>(cinfo.output_scanline) * ow);
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    gScaleRGB565CroppedFrame(pixels.data(), ow, oh, 0, 0, ow, oh, out->data(), f.outWidth, f.outHeight);
}

void ScreenBitmap(benchmark::State& state)
{
    RegisterPictureDecoders();
    int w = static_cast<int>(state.range(0)), h = w * 3 / 4;
    int tw = static_cast<int>(state.range(1)), th = static_cast<int>(state.range(2));
    const std::vector<uint8_t>& jpeg = Stream(w);
    FitRect f = Fit(w, h, tw & ~1, th & ~1);
    std::vector<WORD> out(static_cast<size_t>(f.outWidth) * f.outHeight);
    double ours = 0, peer = 0;
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        auto t0 = Clock::now();
        Ours(jpeg, f, &out);
        auto t1 = Clock::now();
        Peer(jpeg, w, h, f, &out);
        auto t2 = Clock::now();
        ours += std::chrono::duration<double>(t1 - t0).count();
        peer += std::chrono::duration<double>(t2 - t1).count();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ratio"] = peer > 0 ? ours / peer : 0;
    state.counters["ours_ms"] = 1000 * ours / static_cast<double>(state.iterations());
    state.counters["peer_ms"] = 1000 * peer / static_cast<double>(state.iterations());
}

}  // namespace

BENCHMARK(ScreenBitmap)
    ->Args({1280, 400, 240})
    ->Args({1280, 91, 64})
    ->Args({2560, 400, 240})
    ->Args({2560, 91, 64})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
