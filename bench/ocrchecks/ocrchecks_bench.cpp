// Edge detection per 320 x 240 preview frame and the direction vote per
// 320 x 240 thumbnail, with Leptonica's Sobel filter and its adaptive
// threshold with connected components on the same pictures as yardsticks.
// Not equal work: the edge detector scans the border bands where a card's
// edges lie, the Sobel filter the whole frame; the direction vote does more
// than threshold and label. The closing lines name each yardstick so.
//   ocrchecks_bench [--benchmark_repetitions=3 --benchmark_report_aggregates_only=true]
#include <benchmark/benchmark.h>

#include <leptonica/allheaders.h>

#include <cstdio>
#include <map>
#include <string>

#include "check_fixtures.h"
#include "ocrchecks/EdgeDetector.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;

const Picture& CardFrame() {
    static const Picture frame = checktest::PreviewFrame(17, 36, 303, 204);
    return frame;
}

const Picture& EmptyFrame() {
    static const Picture frame = checktest::PreviewFrame(0, 0, 0, 0);
    return frame;
}

const Picture& Thumbnail(const char* name) {
    static std::map<std::string, Picture> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        const std::string path = std::string(LUM_TESTDATA) + "/tesseract-test/" + name;
        Picture page = path.ends_with(".tif") ? checktest::LoadTiff(path) : checktest::LoadPng(path);
        it = cache.emplace(name, checktest::ProgramThumbnail(page)).first;
    }
    return it->second;
}

PIX* ToPix(const Picture& p) {
    PIX* pix = pixCreate(p.width, p.height, 8);
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) {
            pixSetPixel(pix, x, y, p.At(x, y));
        }
    }
    return pix;
}

// A processed call on every frame (period 1).
void BM_EdgeDetection(benchmark::State& state, const Picture* frame) {
    ocrchecks::CEdgeDetector detector;
    ocrchecks::CheckRect bands{};
    std::int32_t found = 0;
    for (auto _ : state) {
        detector.Detect(frame->pixels.data(), 320, 240, &bands, &found, 1);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK_CAPTURE(BM_EdgeDetection, card, &CardFrame());
BENCHMARK_CAPTURE(BM_EdgeDetection, empty, &EmptyFrame());

void BM_PeerSobel(benchmark::State& state) {
    PIX* pix = ToPix(CardFrame());
    for (auto _ : state) {
        PIX* edges = pixSobelEdgeFilter(pix, L_ALL_EDGES);
        benchmark::DoNotOptimize(edges);
        pixDestroy(&edges);
    }
    pixDestroy(&pix);
}
BENCHMARK(BM_PeerSobel);

// The direction vote on the program's 320 x 240 thumbnail of a page.
void BM_DirectionCheck(benchmark::State& state, const char* name) {
    const Picture& small = Thumbnail(name);
    for (auto _ : state) {
        benchmark::DoNotOptimize(ocrchecks::DetectCardType(1, small.pixels.data(), small.width,
                                                           small.height, nullptr, nullptr));
    }
}
BENCHMARK_CAPTURE(BM_DirectionCheck, upright, "phototest.tif")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DirectionCheck, turned, "phototest-rotated-L.png")->Unit(benchmark::kMillisecond);

void BM_PeerThresholdAndComponents(benchmark::State& state) {
    PIX* pix = ToPix(Thumbnail("phototest.tif"));
    for (auto _ : state) {
        PIX* binary = nullptr;
        pixOtsuAdaptiveThreshold(pix, 32, 32, 0, 0, 0.1f, nullptr, &binary);
        BOXA* boxes = pixConnComp(binary, nullptr, 8);
        benchmark::DoNotOptimize(boxes);
        boxaDestroy(&boxes);
        pixDestroy(&binary);
    }
    pixDestroy(&pix);
}
BENCHMARK(BM_PeerThresholdAndComponents)->Unit(benchmark::kMillisecond);

// Prints each run's time against its peer's after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // With repetitions the median stands for the run.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") {
                continue;
            }
            m_ns[run.run_name.str()] = run.GetAdjustedRealTime() *
                                       (run.time_unit == benchmark::kMillisecond ? 1e6 : 1.0);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char* ours, const char* peer) {
            if (m_ns.count(ours) && m_ns.count(peer)) {
                std::printf("%-44s %10.1f us  %6.2f x %s (yardstick, not the same work)\n", ours,
                            m_ns[ours] / 1000.0, m_ns[ours] / m_ns[peer], peer);
            }
        };
        ratio("BM_EdgeDetection/card", "BM_PeerSobel");
        ratio("BM_EdgeDetection/empty", "BM_PeerSobel");
        ratio("BM_DirectionCheck/upright", "BM_PeerThresholdAndComponents");
        ratio("BM_DirectionCheck/turned", "BM_PeerThresholdAndComponents");
    }

private:
    std::map<std::string, double> m_ns;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
