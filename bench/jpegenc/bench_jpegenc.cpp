// Our encoder against libjpeg-turbo on equal work: the same 4:2:0 planes in,
// the same quality, standard tables, sampling and restart interval (one per
// MCU row), one thread, no Huffman optimisation. Each row runs the two in
// turn and reports the median ratio with its spread (bench/support); the
// stream sizes of both are printed beside the times.
//
// Progressive: our spectral-selection script (DC, then bands 1-5, 6-15 and
// 16-63 of each component) against the peer on the same script; the peer
// always optimises its progressive tables (a second pass), which it cannot
// switch off. ProgressivePeerDefault shows the peer's own default script
// (successive approximation too) with both stream sizes.
// Wrap: our EncodeToBuffer (EXIF block, 160 x 120 JPEG thumbnail at q60
// boxed down from a 320 x 240 4:2:2 preview, the camera stream appended)
// against the peer boxing the same preview down and coding 160 x 120 at q60,
// then the same copy of the stream.
#include "jpeg/JpegEncoder.h"

#include <benchmark/benchmark.h>

#include "alternate.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int kQuality = 75;

// Scans of our progressive coder, as the peer's script: Ss, Se per scan, the
// DC scan interleaved, each AC band in component order.
const jpeg_scan_info kOurScript[10] = {
    {3, {0, 1, 2, 0}, 0, 0, 0, 0},  {1, {0}, 1, 5, 0, 0},   {1, {1}, 1, 5, 0, 0},
    {1, {2}, 1, 5, 0, 0},           {1, {0}, 6, 15, 0, 0},  {1, {1}, 6, 15, 0, 0},
    {1, {2}, 6, 15, 0, 0},          {1, {0}, 16, 63, 0, 0}, {1, {1}, 16, 63, 0, 0},
    {1, {2}, 16, 63, 0, 0},
};

enum class PeerScript { kSequential, kOurs, kDefault };

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
    explicit OurEncoder(const Yuv420& f, int codingMode = 1, int quality = kQuality)
    {
        JpegEncodeParams p{};
        p.codingMode = codingMode;
        p.width = f.width;
        p.height = f.height;
        p.bitsPerSample = 8;
        p.inputFormat = kJpegYuv420;
        p.quality = quality;
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
    explicit PeerEncoder(const Yuv420& f, PeerScript script = PeerScript::kSequential, int quality = kQuality)
        : out_(static_cast<size_t>(f.width) * f.height * 4 + 65536), script_(script), quality_(quality)
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
        jpeg_set_quality(&cinfo_, quality_, TRUE);
        cinfo_.raw_data_in = TRUE;
        cinfo_.optimize_coding = FALSE;
        cinfo_.restart_in_rows = 1;
        if (script_ == PeerScript::kOurs) {
            cinfo_.scan_info = kOurScript;
            cinfo_.num_scans = 10;
        } else if (script_ == PeerScript::kDefault) {
            jpeg_simple_progression(&cinfo_);
        }
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
    PeerScript script_;
    int quality_;
};

template <class Ours, class Peer>
void CompareEncoders(benchmark::State& state, Ours& ours, Peer& peer, const Yuv420& frame)
{
    size_t ourBytes = 0, peerBytes = 0;
    benchpair::Alternate(
        state, [&] { ourBytes = ours.Encode(frame); }, [&] { peerBytes = peer.Encode(frame); });
    state.counters["ours_bytes"] = static_cast<double>(ourBytes);
    state.counters["peer_bytes"] = static_cast<double>(peerBytes);
}

// Arguments: width, height, quality.
void EncodeRatio(benchmark::State& state)
{
    Yuv420 frame = MakeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const int quality = static_cast<int>(state.range(2));
    OurEncoder ours(frame, 1, quality);
    PeerEncoder peer(frame, PeerScript::kSequential, quality);
    CompareEncoders(state, ours, peer, frame);
}

void EncodeProgressiveRatio(benchmark::State& state)
{
    Yuv420 frame = MakeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    OurEncoder ours(frame, 2);
    PeerEncoder peer(frame, PeerScript::kOurs);
    CompareEncoders(state, ours, peer, frame);
}

// Not equal work: the peer's default progressive script, for its stream size.
void ProgressivePeerDefault(benchmark::State& state)
{
    Yuv420 frame = MakeFrame(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    OurEncoder ours(frame, 2);
    PeerEncoder peer(frame, PeerScript::kDefault);
    CompareEncoders(state, ours, peer, frame);
}

// The camera's 1280 x 960 stream and its 320 x 240 planar 4:2:2 preview frame.
class OurWrap {
public:
    OurWrap(const std::vector<uint8_t>& camera) : camera_(camera)
    {
        JpegEncodeParams p{};
        p.width = 320;
        p.height = 240;
        p.bitsPerSample = 8;
        p.inputFormat = kJpegYuv422;
        p.quality = kQuality;
        p.codingMode = 1;
        p.headerKind = 1;
        p.thumbnailOn = 1;
        p.thumbnailKind = 1;
        p.thumbnailWidth = 160;
        p.thumbnailHeight = 120;
        std::snprintf(p.exif.Make, sizeof(p.exif.Make), "VELMORA");
        p.exif.Orientation = 1;
        if (gCreateJpegImageEncoder(&enc_, &p) != kJpegOk) {
            std::abort();
        }
        uint32_t size = static_cast<uint32_t>(camera.size());
        enc_->GetConfig(enc_, kJpegConfigWrapSize, &size);
        out_.resize(size);
    }
    ~OurWrap() { enc_->Release(enc_); }
    size_t Encode(const Yuv420& preview)
    {
        uint32_t size = static_cast<uint32_t>(out_.size());
        JpegSourceStream src{camera_.data(), static_cast<uint32_t>(camera_.size())};
        if (enc_->EncodeToBuffer(enc_, &src, preview.data.data(), out_.data(), &size) != kJpegOk) {
            std::abort();
        }
        return size;
    }

private:
    JpegEncoder* enc_ = nullptr;
    const std::vector<uint8_t>& camera_;
    std::vector<uint8_t> out_;
};

class PeerWrap {
public:
    explicit PeerWrap(const std::vector<uint8_t>& camera)
        : camera_(camera),
          thumb_{160, 120, std::vector<uint8_t>(160 * 120 * 3 / 2)},
          peer_(thumb_, PeerScript::kSequential, 60),
          out_(camera.size() + 65536)
    {
    }
    // The 320 x 240 4:2:2 preview boxed down to 160 x 120 4:2:0, then coded.
    size_t Encode(const Yuv420& preview)
    {
        const uint8_t* y = preview.data.data();
        uint8_t* ty = thumb_.data.data();
        for (int j = 0; j < 120; ++j) {
            const uint8_t* r0 = y + (2 * j) * 320;
            const uint8_t* r1 = r0 + 320;
            for (int i = 0; i < 160; ++i) {
                const int sum = r0[2 * i] + r0[2 * i + 1] + r1[2 * i] + r1[2 * i + 1];
                ty[j * 160 + i] = static_cast<uint8_t>((sum + 2) >> 2);
            }
        }
        for (int plane = 0; plane < 2; ++plane) {
            const uint8_t* c = y + 320 * 240 + plane * 160 * 240;
            uint8_t* tc = ty + 160 * 120 + plane * 80 * 60;
            for (int j = 0; j < 60; ++j) {
                const uint8_t* r0 = c + (4 * j) * 160;
                for (int i = 0; i < 80; ++i) {
                    int sum = 0;
                    for (int dy = 0; dy < 4; ++dy) {
                        sum += r0[dy * 160 + 2 * i] + r0[dy * 160 + 2 * i + 1];
                    }
                    tc[j * 80 + i] = static_cast<uint8_t>((sum + 4) >> 3);
                }
            }
        }
        size_t thumb = peer_.Encode(thumb_);
        std::memcpy(out_.data(), camera_.data(), camera_.size());
        return thumb + camera_.size();
    }

private:
    const std::vector<uint8_t>& camera_;
    Yuv420 thumb_;
    PeerEncoder peer_;
    std::vector<uint8_t> out_;
};

void WrapRatio(benchmark::State& state)
{
    Yuv420 big = MakeFrame(1280, 960);
    OurEncoder camera(big);
    std::vector<uint8_t> stream(camera.Encode(big));
    {
        // The encoder's own bytes, taken once.
        JpegEncodeParams p{};
        p.width = 1280;
        p.height = 960;
        p.bitsPerSample = 8;
        p.inputFormat = kJpegYuv420;
        p.quality = kQuality;
        p.codingMode = 1;
        JpegEncoder* enc = nullptr;
        gCreateJpegImageEncoder(&enc, &p);
        uint32_t size = 0;
        enc->GetConfig(enc, kJpegConfigOutputSize, &size);
        stream.resize(size);
        enc->Encode(enc, big.data.data(), stream.data(), &size);
        stream.resize(size);
        enc->Release(enc);
    }
    // The preview frame as 4:2:2: each chroma row of the 4:2:0 frame twice.
    Yuv420 small = MakeFrame(320, 240);
    Yuv420 preview{320, 240, std::vector<uint8_t>(320 * 240 * 2)};
    std::memcpy(preview.data.data(), small.data.data(), 320 * 240);
    for (int plane = 0; plane < 2; ++plane) {
        const uint8_t* src = small.data.data() + 320 * 240 + plane * 160 * 120;
        uint8_t* dst = preview.data.data() + 320 * 240 + plane * 160 * 240;
        for (int y = 0; y < 240; ++y) {
            std::memcpy(dst + y * 160, src + (y / 2) * 160, 160);
        }
    }
    OurWrap ours(stream);
    PeerWrap peer(stream);
    CompareEncoders(state, ours, peer, preview);
}

}  // namespace

BENCHMARK(EncodeRatio)
    ->Args({1280, 960, 75})
    ->Args({2560, 1920, 75})
    ->Args({1280, 960, 90})
    ->Args({2560, 1920, 90})
    ->Iterations(31)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(EncodeProgressiveRatio)->Args({1280, 960})->Args({2560, 1920})->Iterations(21)->Unit(benchmark::kMillisecond);
BENCHMARK(ProgressivePeerDefault)->Args({1280, 960})->Iterations(11)->Unit(benchmark::kMillisecond);
BENCHMARK(WrapRatio)->Iterations(101)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return benchpair::RunWithRatios(argc, argv); }
