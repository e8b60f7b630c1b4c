// Korean and Chinese recognition as the program does it per picture (start,
// recognise, finish) against the `tesseract` command with the same language
// set reading the same whole picture, in the same run. The first, cold run
// of each is reported apart; wall and CPU time (ours: this process with its
// workers; the peer: the child process) with their ratios.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CjkPictures.h"
#include "LumOCREngine.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Times {
    double wall = 0, cpu = 0;
};

void Compare(benchmark::State& state, cardgen::Picture picture, OcrLanguageCode code, bool card,
             const std::string& peerArguments) {
    if (picture.px.empty()) {
        state.SkipWithError("the CJK font is not installed");
        return;
    }
    const std::string pgm = (std::filesystem::temp_directory_path() /
                             ("lumocr-bench-cjk-" + std::to_string(code) + (card ? "-card" : "-page") + ".pgm"))
                                .string();
    if (!ocrtool::WritePgm(pgm, picture)) {
        state.SkipWithError("cannot write the picture");
        return;
    }
    const std::string command = "tesseract " + pgm + " - " + peerArguments + " >/dev/null 2>&1";
    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const OcrLanguageCode codes[] = {code, 0};
    Times ours, peer, coldOurs, coldPeer;
    bool first = true;
    for (auto _ : state) {
        const double cpu0 = CpuSeconds(RUSAGE_SELF);
        const auto start = std::chrono::steady_clock::now();
        LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR);
        OcrImage image{picture.px.data(), picture.width, picture.height};
        if (card) {
            std::vector<OcrCardField> fields(kOcrMaxCardFields);
            for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
            benchmark::DoNotOptimize(LumOCR_RecognizeBizCard(&image, fields.data()));
        } else {
            OcrTextResult text{};
            benchmark::DoNotOptimize(LumOCR_RecognizeDocument(&image, &text));
        }
        LumOCR_Finalize(0);
        const auto middle = std::chrono::steady_clock::now();
        const double cpu1 = CpuSeconds(RUSAGE_SELF), child0 = CpuSeconds(RUSAGE_CHILDREN);
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the tesseract program failed");
            return;
        }
        const auto end = std::chrono::steady_clock::now();
        const Times o{Seconds(middle - start), cpu1 - cpu0}, p{Seconds(end - middle), CpuSeconds(RUSAGE_CHILDREN) - child0};
        Times& to = first ? coldOurs : ours;
        Times& tp = first ? coldPeer : peer;
        to.wall += o.wall, to.cpu += o.cpu, tp.wall += p.wall, tp.cpu += p.cpu;
        first = false;
    }
    const double n = static_cast<double>(state.iterations() - 1);
    if (n < 1) return;
    state.counters["cold_ours_ms"] = 1000 * coldOurs.wall;
    state.counters["cold_tesseract_ms"] = 1000 * coldPeer.wall;
    state.counters["ours_ms"] = 1000 * ours.wall / n;
    state.counters["tesseract_ms"] = 1000 * peer.wall / n;
    state.counters["ours_cpu_ms"] = 1000 * ours.cpu / n;
    state.counters["tesseract_cpu_ms"] = 1000 * peer.cpu / n;
    state.counters["ratio"] = ours.wall / peer.wall;
    state.counters["cpu_ratio"] = ours.cpu / peer.cpu;
}

void BM_KoreanCardAgainstTesseract(benchmark::State& state) {
    Compare(state, cardgen::DrawKoreanCard({}, cardgen::Distortion::Clean), 1, true, "-l kor+eng --psm 11");
}
void BM_KoreanPageAgainstTesseract(benchmark::State& state) {
    Compare(state, cardgen::DrawCjkPage(cardgen::PageScript::Korean, false), 2, false, "-l kor --psm 6");
}
void BM_ChinesePageAgainstTesseract(benchmark::State& state) {
    Compare(state, cardgen::DrawCjkPage(cardgen::PageScript::Simplified, false), 4, false, "-l chi_sim+eng");
}
BENCHMARK(BM_KoreanCardAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_KoreanPageAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_ChinesePageAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(6);

}  // namespace
