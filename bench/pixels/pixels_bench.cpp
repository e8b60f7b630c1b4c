// One 640 x 480 preview frame to a 240 x 320 RGB565 panel, turned clockwise,
// by the two roads the program has:
//   EdgePreview  ResizeRotatePlanes (mode 2) into work planes, then
//                ConvertYCbCr420ToRGB (the automatic-shot chain);
//   RgbRszRot    IUYCbCr420toRGB565_RszRot in one pass (rotate and convert).
// Each row runs two roads in turn (bench/support) and reports the median
// ratio with its spread: the RGB road against the edge-preview road for the
// same output, each road against a memcpy of the frame (the floor any road
// stands on), and the vector kernels against the scalar reference.
#include <benchmark/benchmark.h>

#include "alternate.h"

#include <cstring>
#include <random>
#include <vector>

#include "pixels/EdgePreview.h"
#include "pixels/FrameLayout.h"
#include "pixels/ImgUtil.h"
#include "pixels/Simd.h"

namespace {

constexpr int kFrameWidth = 640;
constexpr int kFrameHeight = 480;
constexpr int kPanelWidth = 240;
constexpr int kPanelHeight = 320;

std::vector<uint8_t> Frame(int w, int h) {
    std::vector<uint8_t> f(static_cast<size_t>(w) * h * 3 / 2);
    std::mt19937 rng(1);
    for (auto& b : f) {
        b = static_cast<uint8_t>(rng());
    }
    return f;
}

PlaneSet Planes(uint8_t* block, int w, int h) {
    PlaneSet s{};
    const size_t n = static_cast<size_t>(w) * h;
    uint8_t* const planes[3] = {block, block + n, block + n + n / 4};
    for (int p = 0; p < 3; ++p) {
        const int div = p == 0 ? 1 : 2;
        s.width[p] = w / div;
        s.height[p] = h / div;
        s.step[p] = w / div;
        s.plane[p] = planes[p];
    }
    return s;
}

struct Copy {
    std::vector<uint8_t> frame = Frame(kFrameWidth, kFrameHeight);
    std::vector<uint8_t> out = std::vector<uint8_t>(frame.size());
    void operator()() {
        std::memcpy(out.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
};

struct EdgePreviewChain {
    int srcWidth, srcHeight;
    bool vector = true;
    std::vector<uint8_t> frame = Frame(srcWidth, srcHeight);
    std::vector<uint8_t> work = std::vector<uint8_t>(static_cast<size_t>(kPanelWidth) * kPanelHeight * 3 / 2);
    std::vector<uint8_t> panel = std::vector<uint8_t>(static_cast<size_t>(kPanelWidth) * kPanelHeight * 2);
    void operator()() {
        pixels::SetSimdEnabled(vector);
        const PlaneSet src = Planes(frame.data(), srcWidth, srcHeight);
        const PlaneSet dst = Planes(work.data(), kPanelWidth, kPanelHeight);
        const pixels::FramePlanes<uint8_t> wp = pixels::CameraFrame420(work.data(), kPanelWidth, kPanelHeight);
        ResizeRotatePlanes(&src, 2, &dst);
        ConvertYCbCr420ToRGB(wp.y, wp.cb, wp.cr, kPanelWidth, kPanelHeight, kPanelWidth, kPanelWidth / 2,
                             kPanelWidth * 2, panel.data());
        benchmark::DoNotOptimize(panel.data());
        benchmark::ClobberMemory();
        pixels::SetSimdEnabled(true);
    }
};

struct RgbRszRot {
    int srcWidth, srcHeight;
    bool vector = true;
    std::vector<uint8_t> frame = Frame(srcWidth, srcHeight);
    std::vector<uint8_t> panel = std::vector<uint8_t>(static_cast<size_t>(kPanelWidth) * kPanelHeight * 2);
    void operator()() {
        pixels::SetSimdEnabled(vector);
        IUYCbCr420toRGB565_RszRot(frame.data(), srcWidth, srcHeight, srcWidth, srcHeight, panel.data(), kPanelWidth,
                                  kPanelHeight, 2);
        benchmark::DoNotOptimize(panel.data());
        benchmark::ClobberMemory();
        pixels::SetSimdEnabled(true);
    }
};

// The RGB road against the edge-preview road, same frame, same panel output.
void RgbRoadVsEdgePreview(benchmark::State& state, int w, int h) {
    benchpair::Alternate(state, RgbRszRot{w, h}, EdgePreviewChain{w, h});
}

void EdgePreviewVsCopy(benchmark::State& state) {
    benchpair::Alternate(state, EdgePreviewChain{kFrameWidth, kFrameHeight}, Copy{});
}

void RgbRszRotVsCopy(benchmark::State& state) {
    benchpair::Alternate(state, RgbRszRot{kFrameWidth, kFrameHeight}, Copy{});
}

// Vector kernels against the scalar reference on the same road.
void EdgePreviewVectorVsScalar(benchmark::State& state) {
    benchpair::Alternate(state, EdgePreviewChain{kFrameWidth, kFrameHeight, true},
                         EdgePreviewChain{kFrameWidth, kFrameHeight, false});
}

void RgbRszRotVectorVsScalar(benchmark::State& state, int w, int h) {
    benchpair::Alternate(state, RgbRszRot{w, h, true}, RgbRszRot{w, h, false});
}

}  // namespace

BENCHMARK_CAPTURE(RgbRoadVsEdgePreview, 640x480, kFrameWidth, kFrameHeight)->Iterations(401);
BENCHMARK_CAPTURE(RgbRoadVsEdgePreview, 320x240_turn_only, 320, 240)->Iterations(401);
BENCHMARK(EdgePreviewVsCopy)->Iterations(401);
BENCHMARK(RgbRszRotVsCopy)->Iterations(401);
BENCHMARK(EdgePreviewVectorVsScalar)->Iterations(401);
BENCHMARK_CAPTURE(RgbRszRotVectorVsScalar, 640x480, kFrameWidth, kFrameHeight)->Iterations(401);
BENCHMARK_CAPTURE(RgbRszRotVectorVsScalar, 320x240_turn_only, 320, 240)->Iterations(401);

int main(int argc, char** argv) { return benchpair::RunWithRatios(argc, argv); }
