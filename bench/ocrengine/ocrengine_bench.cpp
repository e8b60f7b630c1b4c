// Time of one card recognition on the 1280 x 960 picture of the sample card
// photograph, through LumOCR_RecognizeBizCard, against the `tesseract`
// command-line program reading the same picture, in the same run.
// Reports both times and their ratio (ours / tesseract).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LumOCREngine.h"
#include "PictureFile.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;

struct Sample {
    ocrtool::Grey picture;
    std::string pgmPath;
};

const Sample& TheSample() {
    static const Sample sample = [] {
        Sample s;
        std::string error;
        const ocrtool::Rgb photo = ocrtool::ReadPicture(LUM_TESTDATA "/cards/business-card-english.jpg", error);
        if (photo.px.empty()) return s;
        s.picture = ocrtool::ToProgramGrey(ocrtool::Scale(photo, 1280, 960));
        s.pgmPath = (std::filesystem::temp_directory_path() / "lumocr-bench-card.pgm").string();
        ocrtool::WritePgm(s.pgmPath, s.picture);
        return s;
    }();
    return sample;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_CardAgainstTesseract(benchmark::State& state) {
    const Sample& sample = TheSample();
    if (sample.picture.px.empty()) {
        state.SkipWithError("sample photograph not found");
        return;
    }
    const std::string command = "tesseract " + sample.pgmPath + " - >/dev/null 2>&1";
    std::vector<std::uint8_t> work(kWorkBytes, 0);
    std::vector<std::uint8_t> pixels = sample.picture.px;
    const OcrLanguageCode codes[] = {7, 0};
    std::vector<OcrCardField> fields(kOcrMaxCardFields);
    double ours = 0, peer = 0;
    for (auto _ : state) {
        // As the program does per picture: start, recognise, finish.
        const auto start = std::chrono::steady_clock::now();
        LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR);
        for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
        OcrImage image{pixels.data(), sample.picture.width, sample.picture.height};
        benchmark::DoNotOptimize(LumOCR_RecognizeBizCard(&image, fields.data()));
        LumOCR_Finalize(0);
        const auto middle = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("the tesseract program failed");
            return;
        }
        const auto end = std::chrono::steady_clock::now();
        ours += Seconds(middle - start);
        peer += Seconds(end - middle);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["ours_ms"] = 1000 * ours / n;
    state.counters["tesseract_ms"] = 1000 * peer / n;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_CardAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
