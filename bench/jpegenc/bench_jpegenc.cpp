// Our encoder against libjpeg-turbo on the same 4:2:0 frames: same quality
// and standard tables, no Huffman optimisation, a restart marker after every
// MCU row, one thread. The "ratio" counter is our time / libjpeg-turbo's time,
// measured alternately in the same iterations.
#include "jpeg/JpegEncoder.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kQuality = 75;

struct Yuv420 {
    int width;
    int height;
    std::vector<uint8_t> data;  // Y, then Cb, then Cr
};

// A card-like picture: smooth shading, hard edges and a little noise.
Yuv420 MakeFrame(int width, int height)
{
    Yuv420 f{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3 / 2)};
    uint32_t state = 5;
    uint8_t* y = f.data.data();
    for (int j = 0; j < height; ++j) {
        for (int i = 0; i < width; ++i) {
            state = state * 1664525u + 1013904223u;
            double v = 150 + 60 * std::sin(i / 41.0) * std::cos(j / 67.0) + ((i / 9 + j / 13) % 7 == 0 ? -90 : 0);
            v += static_cast<int>(state >> 29) - 4;
            y[static_cast<size_t>(j) * width + i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
    uint8_t* cb = y + static_cast<size_t>(width) * height;
    uint8_t* cr = cb + static_cast<size_t>(width / 2) * (height / 2);
    for (int j = 0; j < height / 2; ++j) {
        for (int i = 0; i < width / 2; ++i) {
            cb[static_cast<size_t>(j) * (width / 2) + i] = static_cast<uint8_t>(128 + 40 * std::sin(i / 23.0));
            cr[static_cast<size_t>(j) * (width / 2) + i] = static_cast<uint8_t>(128 + 30 * std::cos(j / 31.0));
        }
    }
    return f;
}

class OurEncoder {
public:
    explicit OurEncoder(const Yuv420& f)
    {
        JpegEncodeParams p{};
        p.width = f.width;
        p.height = f.height;
        p.bitsPerSample = 8;
        p.inputFormat = kJpegYuv420;
        p.quality = kQuality;
        p.codingMode = 1;
        if (gCreateJpegImageEncoder(&enc_, &p) != kJpegOk) {
            std::abort();
        }
        uint32_t size = 0;
        enc_->GetConfig(enc_, kJpegConfigOutputSize, &size);
        out_.resize(size);
    }
    ~OurEncoder() { enc_->Release(enc_); }
    size_t Encode(const Yuv420& f)
    {
        uint32_t size = static_cast<uint32_t>(out_.size());
        if (enc_->Encode(enc_, f.data.data(), out_.data(), &size) != kJpegOk) {
            std::abort();
        }
        return size;
    }

private:
    JpegEncoder* enc_ = nullptr;
    std::vector<uint8_t> out_;
};

// libjpeg-turbo fed the same planes as raw downsampled data (no colour conversion).
class PeerEncoder {
public:
    explicit PeerEncoder(const Yuv420& f) : out_(static_cast<size_t>(f.width) * f.height * 4)
    {
        cinfo_.err = jpeg_std_error(&jerr_);
        jpeg_create_compress(&cinfo_);
    }
    ~PeerEncoder() { jpeg_destroy_compress(&cinfo_); }
    size_t Encode(const Yuv420& f)
    {
        unsigned char* buf = out_.data();
        unsigned long size = out_.size();
        jpeg_mem_dest(&cinfo_, &buf, &size);
        cinfo_.image_width = f.width;
        cinfo_.image_height = f.height;
        cinfo_.input_components = 3;
        cinfo_.in_color_space = JCS_YCbCr;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, kQuality, TRUE);
        cinfo_.raw_data_in = TRUE;
        cinfo_.optimize_coding = FALSE;
        cinfo_.restart_in_rows = 1;
        cinfo_.dct_method = JDCT_ISLOW;
        cinfo_.comp_info[0].h_samp_factor = 2;
        cinfo_.comp_info[0].v_samp_factor = 2;
        cinfo_.comp_info[1].h_samp_factor = cinfo_.comp_info[2].h_samp_factor = 1;
        cinfo_.comp_info[1].v_samp_factor = cinfo_.comp_info[2].v_samp_factor = 1;
        jpeg_start_compress(&cinfo_, TRUE);
        const uint8_t* y = f.data.data();
        const uint8_t* cb = y + static_cast<size_t>(f.width) * f.height;
        const uint8_t* cr = cb + static_cast<size_t>(f.width / 2) * (f.height / 2);
        JSAMPROW rows[3][16];
        JSAMPARRAY planes[3] = {rows[0], rows[1], rows[2]};
        for (int top = 0; top < f.height; top += 16) {
            for (int r = 0; r < 16; ++r) {
                rows[0][r] = const_cast<uint8_t*>(y + static_cast<size_t>(top + r) * f.width);
            }
            for (int r = 0; r < 8; ++r) {
                rows[1][r] = const_cast<uint8_t*>(cb + static_cast<size_t>(top / 2 + r) * (f.width / 2));
                rows[2][r] = const_cast<uint8_t*>(cr + static_cast<size_t>(top / 2 + r) * (f.width / 2));
            }
            jpeg_write_raw_data(&cinfo_, planes, 16);
        }
        jpeg_finish_compress(&cinfo_);
        return size;
    }

private:
    jpeg_compress_struct cinfo_{};
    jpeg_error_mgr jerr_{};
    std::vector<uint8_t> out_;
};

using Clock = std::chrono::steady_clock;

void EncodeRatio(benchmark::State& state)
{
    Yuv420 frame = MakeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    OurEncoder ours(frame);
    PeerEncoder peer(frame);
    double ourTime = 0, peerTime = 0;
    size_t ourBytes = 0, peerBytes = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        ourBytes = ours.Encode(frame);
        auto t1 = Clock::now();
        peerBytes = peer.Encode(frame);
        auto t2 = Clock::now();
        ourTime += std::chrono::duration<double>(t1 - t0).count();
        peerTime += std::chrono::duration<double>(t2 - t1).count();
    }
    double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = 1000 * ourTime / n;
    state.counters["peer_ms"] = 1000 * peerTime / n;
    state.counters["ratio"] = ourTime / peerTime;
    state.counters["ours_bytes"] = static_cast<double>(ourBytes);
    state.counters["peer_bytes"] = static_cast<double>(peerBytes);
}

}  // namespace

BENCHMARK(EncodeRatio)->Args({1280, 960})->Args({2560, 1920})->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
