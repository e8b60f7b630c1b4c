// Warm against warm: one card recognition through LumOCR_RecognizeBizCard
// with the engine started once (its recognisers loaded), against the
// recogniser's library API reading the same picture with its models loaded
// once, as a program that keeps it open would (default page layout, the
// text asked for). Both read the same grey picture, one the peer reads
// whole too: the drawn card and a clean corpus card in the camera's card
// frame. Both under the engine's thread policy (OpenMP's thread count
// bounded by the machine's load unless one thread is allowed: with the
// library's default, a loaded machine makes the peer's idle threads spin).
// Run with OMP_THREAD_LIMIT=1 for one thread each. Wall and CPU time of
// each (this process: both sides may use threads), and their ratios.
#include <benchmark/benchmark.h>

#include <omp.h>
#include <sys/resource.h>
#include <tesseract/baseapi.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "CardCorpus.h"
#include "CardPicture.h"
#include "LumOCREngine.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;
constexpr int kCardLeft = 40, kCardTop = 140, kCardRight = 1240, kCardBottom = 820;

// User and system time of RUSAGE_SELF or RUSAGE_CHILDREN, in seconds.
double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Times {
    double wall = 0, cpu = 0;
};

// Per-run milliseconds of both sides over `runs`, and ours / the peer's.
void ReportAgainstPeer(benchmark::State& state, const Times& ours, const Times& peer, double runs) {
    state.counters["ours_ms"] = 1000 * ours.wall / runs;
    state.counters["tesseract_ms"] = 1000 * peer.wall / runs;
    state.counters["ours_cpu_ms"] = 1000 * ours.cpu / runs;
    state.counters["tesseract_cpu_ms"] = 1000 * peer.cpu / runs;
    state.counters["ratio"] = ours.wall / peer.wall;
    state.counters["cpu_ratio"] = ours.cpu / peer.cpu;
}

template <typename Work>
void Timed(Times& times, Work&& work) {
    const double cpu = CpuSeconds(RUSAGE_SELF);
    const auto start = std::chrono::steady_clock::now();
    work();
    times.wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    times.cpu += CpuSeconds(RUSAGE_SELF) - cpu;
}

cardgen::Picture PictureOf(int which) {
    if (which == 0) return cardgen::DrawCard(cardgen::CardText{}, cardgen::Distortion::Clean);
    // A photographed card whole: the table, the shading and the specks the
    // engine must find its lines among.
    if (which == 2) return cardgen::MakeCorpusCard(2, 3, true).picture;
    const cardgen::CorpusCard card = cardgen::MakeCorpusCard(1, 0, false);
    if (card.picture.px.empty()) return {};
    return ocrtool::Crop(card.picture, kCardLeft, kCardTop, kCardRight, kCardBottom);
}

void BM_CardWarmAgainstRecognizerApi(benchmark::State& state) {
    const cardgen::Picture picture = PictureOf(static_cast<int>(state.range(0)));
    if (picture.px.empty()) {
        state.SkipWithError("the card fonts are not installed");
        return;
    }
    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const OcrLanguageCode codes[] = {7, 0};
    if (LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR) != 0) {
        state.SkipWithError("the engine did not start");
        return;
    }
    auto peer = std::make_unique<tesseract::TessBaseAPI>();
    if (peer->Init(nullptr, "eng") != 0) {
        LumOCR_Finalize(0);
        state.SkipWithError("the recogniser's English model is not installed");
        return;
    }
    std::vector<std::uint8_t> pixels = picture.px;
    std::vector<OcrCardField> fields(kOcrMaxCardFields);
    auto ours = [&] {
        for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
        OcrImage image{pixels.data(), picture.width, picture.height};
        benchmark::DoNotOptimize(LumOCR_RecognizeBizCard(&image, fields.data()));
    };
    auto theirs = [&] {
        omp_set_dynamic(omp_get_thread_limit() > 1);
        peer->SetImage(picture.px.data(), picture.width, picture.height, 1, picture.width);
        std::unique_ptr<char[]> text(peer->GetUTF8Text());
        benchmark::DoNotOptimize(text.get());
        peer->Clear();
    };
    // Both warm before timing: models loaded, first-use caches filled.
    ours();
    theirs();
    Times mine, other;
    for (auto _ : state) {
        Timed(mine, ours);
        Timed(other, theirs);
    }
    LumOCR_Finalize(0);
    peer->End();
    ReportAgainstPeer(state, mine, other, static_cast<double>(state.iterations()));
}
// 0: the drawn card; 1: a clean corpus card in the card frame; 2: a
// photographed corpus card, on which the peer reads less: its time is there
// as a scale, not as equal work.
BENCHMARK(BM_CardWarmAgainstRecognizerApi)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->UseRealTime();

}  // namespace
