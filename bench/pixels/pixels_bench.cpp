// One 640 x 480 preview frame to a 240 x 320 RGB565 panel, turned clockwise:
//   EdgePreview  ResizeRotatePlanes (mode 2) into work planes, then
//                ConvertYCbCr420ToRGB (the automatic-shot chain);
//   RgbRszRot    IUYCbCr420toRGB565_RszRot in one pass (rotate and convert);
// each with the vector kernels and with the scalar reference only. Copy is a
// memcpy of the frame's 460800 bytes, the floor any road stands on; the
// counters give each road's time as a multiple of it.
#include <benchmark/benchmark.h>

#include <chrono>
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

// Nanoseconds of one copy of the frame, measured once per run.
double CopyNs() {
    static const double ns = [] {
        std::vector<uint8_t> frame = Frame(kFrameWidth, kFrameHeight);
        std::vector<uint8_t> out(frame.size());
        constexpr int kRounds = 2000;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kRounds; ++i) {
            std::memcpy(out.data(), frame.data(), frame.size());
            benchmark::DoNotOptimize(out.data());
            benchmark::ClobberMemory();
        }
        return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / kRounds;
    }();
    return ns;
}

// The road's time per frame as a multiple of one copy of the frame.
template <typename Body>
void Measure(benchmark::State& state, Body body) {
    const double copyNs = CopyNs();
    int64_t rounds = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
        ++rounds;
    }
    const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
    state.counters["x_copy"] = rounds > 0 ? ns / rounds / copyNs : 0;
}

void Copy(benchmark::State& state) {
    std::vector<uint8_t> frame = Frame(kFrameWidth, kFrameHeight);
    std::vector<uint8_t> out(frame.size());
    for (auto _ : state) {
        std::memcpy(out.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}

void EdgePreviewChain(benchmark::State& state, int srcWidth, int srcHeight) {
    pixels::SetSimdEnabled(state.range(0) != 0);
    std::vector<uint8_t> frame = Frame(srcWidth, srcHeight);
    std::vector<uint8_t> work(static_cast<size_t>(kPanelWidth) * kPanelHeight * 3 / 2);
    std::vector<uint8_t> panel(static_cast<size_t>(kPanelWidth) * kPanelHeight * 2);
    const PlaneSet src = Planes(frame.data(), srcWidth, srcHeight);
    const PlaneSet dst = Planes(work.data(), kPanelWidth, kPanelHeight);
    const pixels::FramePlanes<uint8_t> wp = pixels::CameraFrame420(work.data(), kPanelWidth, kPanelHeight);
    Measure(state, [&] {
        ResizeRotatePlanes(&src, 2, &dst);
        ConvertYCbCr420ToRGB(wp.y, wp.cb, wp.cr, kPanelWidth, kPanelHeight, kPanelWidth, kPanelWidth / 2,
                             kPanelWidth * 2, panel.data());
        benchmark::DoNotOptimize(panel.data());
        benchmark::ClobberMemory();
    });
    pixels::SetSimdEnabled(true);
}

void RgbRszRot(benchmark::State& state, int srcWidth, int srcHeight) {
    pixels::SetSimdEnabled(state.range(0) != 0);
    std::vector<uint8_t> frame = Frame(srcWidth, srcHeight);
    std::vector<uint8_t> panel(static_cast<size_t>(kPanelWidth) * kPanelHeight * 2);
    Measure(state, [&] {
        IUYCbCr420toRGB565_RszRot(frame.data(), srcWidth, srcHeight, srcWidth, srcHeight, panel.data(), kPanelWidth,
                                  kPanelHeight, 2);
        benchmark::DoNotOptimize(panel.data());
        benchmark::ClobberMemory();
    });
    pixels::SetSimdEnabled(true);
}

}  // namespace

BENCHMARK(Copy);
// Argument 1: vector kernels on; 0: the scalar reference.
BENCHMARK_CAPTURE(EdgePreviewChain, 640x480, kFrameWidth, kFrameHeight)->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(EdgePreviewChain, 320x240_turn_only, 320, 240)->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(RgbRszRot, 640x480, kFrameWidth, kFrameHeight)->Arg(1)->Arg(0);
BENCHMARK_CAPTURE(RgbRszRot, 320x240, 320, 240)->Arg(1)->Arg(0);

BENCHMARK_MAIN();
