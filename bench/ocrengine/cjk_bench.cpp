// Korean and Chinese recognition against the `tesseract` recogniser with the
// same language set on the same grey picture, both reading the whole picture
// to text, each pair run in turn; the first, cold pair is reported apart and
// the figures are medians over the other pairs, with the wall and CPU ratios.
// Two ways of equal work:
// - process against process: `ocrtool` reads a picture file as the program
//   does per picture (start, direction check, recognise, finish) against the
//   `tesseract` command reading the very grey picture ours reads (as ocrtool
//   writes it), one OpenMP thread each (OMP_THREAD_LIMIT=1), so that CPU time
//   is the work done whatever the machine's load. Start-up counts here: ours
//   loads the whole platform, which the program does once, not per picture.
// - in process, per picture: LumOCR_Initialize, the direction check,
//   recognition and LumOCR_Finalize (which unloads the engine, so every
//   picture loads its recogniser again) against the recogniser's own library
//   started, reading and ended per picture; both under this process's
//   threads, CPU time of the process beside wall time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <tesseract/baseapi.h>

#include "CjkPictures.h"
#include "LumOCREngine.h"
#include "PictureFile.h"

extern char** environ;

namespace {

constexpr int kFrameWidth = 1280, kFrameHeight = 960;
constexpr int kCardLeft = 40, kCardTop = 140;  // where the program crops a card from its frame

struct Run {
    double wall = 0, cpu = 0;
    bool ok = false;
};

// Runs argv as a child with one OpenMP thread, its output thrown away.
Run Spawn(const std::vector<std::string>& argv) {
    std::vector<std::string> environment = {"OMP_THREAD_LIMIT=1"};
    for (char** e = environ; *e; ++e) {
        if (std::string(*e).rfind("OMP_THREAD_LIMIT=", 0) != 0) environment.emplace_back(*e);
    }
    std::vector<char*> args, env;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : environment) env.push_back(const_cast<char*>(e.c_str()));
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), env.data()) == 0) {
        int status = 0;
        rusage usage{};
        if (wait4(pid, &status, 0, &usage) == pid) {
            run.cpu = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                      (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
            run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        }
    }
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// Runs ours and the peer in turn, once per iteration, who goes first
// alternating (a cache warmed by the other favours neither); the first pair,
// cold, is reported apart, the others as medians.
template <class Ours, class Peer>
void Alternate(benchmark::State& state, Ours&& ours, Peer&& peer, const char* oursFailed, const char* peerFailed) {
    std::vector<double> oursWall, peerWall, oursCpu, peerCpu, ratio, cpuRatio;
    Run coldOurs, coldPeer;
    bool cold = true;
    for (auto _ : state) {
        const bool oursFirst = oursWall.size() % 2 == 0;
        const Run a = oursFirst ? ours() : peer();
        const Run b = oursFirst ? peer() : ours();
        const Run& o = oursFirst ? a : b;
        const Run& p = oursFirst ? b : a;
        if (!o.ok || !p.ok) {
            state.SkipWithError(o.ok ? peerFailed : oursFailed);
            return;
        }
        if (cold) {
            coldOurs = o, coldPeer = p, cold = false;
            continue;
        }
        oursWall.push_back(o.wall), peerWall.push_back(p.wall), oursCpu.push_back(o.cpu), peerCpu.push_back(p.cpu);
        ratio.push_back(o.wall / p.wall);
        cpuRatio.push_back(o.cpu / p.cpu);
    }
    if (ratio.empty()) return;
    state.counters["cold_ours_ms"] = 1000 * coldOurs.wall;
    state.counters["cold_tesseract_ms"] = 1000 * coldPeer.wall;
    state.counters["ours_ms"] = 1000 * Median(oursWall);
    state.counters["tesseract_ms"] = 1000 * Median(peerWall);
    state.counters["ours_cpu_ms"] = 1000 * Median(oursCpu);
    state.counters["tesseract_cpu_ms"] = 1000 * Median(peerCpu);
    state.counters["ratio"] = Median(ratio);
    state.counters["cpu_ratio"] = Median(cpuRatio);
    state.counters["cpu_ratio_min"] = *std::min_element(cpuRatio.begin(), cpuRatio.end());
    state.counters["cpu_ratio_max"] = *std::max_element(cpuRatio.begin(), cpuRatio.end());
}

// A card lies in the program's frame where its crop takes it from.
cardgen::Picture InFrame(const cardgen::Picture& card) {
    cardgen::Picture frame;
    if (card.px.empty()) return frame;
    frame.width = kFrameWidth;
    frame.height = kFrameHeight;
    frame.px.assign(static_cast<std::size_t>(kFrameWidth) * kFrameHeight, 200);
    for (int y = 0; y < card.height; ++y) {
        std::copy_n(&card.px[static_cast<std::size_t>(y) * card.width], card.width,
                    &frame.px[static_cast<std::size_t>(y + kCardTop) * kFrameWidth + kCardLeft]);
    }
    return frame;
}

void Compare(benchmark::State& state, const cardgen::Picture& picture, const char* mode, const char* code,
             const std::vector<std::string>& peerArguments) {
    if (picture.px.empty()) {
        state.SkipWithError("the CJK font is not installed");
        return;
    }
    const auto folder = std::filesystem::temp_directory_path();
    const std::string stem = (folder / (std::string("lumocr-bench-cjk-") + mode + "-" + code)).string();
    const std::string input = stem + ".pgm", read = stem + "-read.pgm";
    ocrtool::Grey grey{picture.width, picture.height, picture.px};
    if (!ocrtool::WritePgm(input, grey)) {
        state.SkipWithError("cannot write the picture");
        return;
    }
    const std::string ocrtool = LUM_BINARY_DIR "/bin/ocrtool";
    // The picture ours recognises, for the peer to read too.
    if (!Spawn({ocrtool, mode, input, "--lang", code, "--grey", read}).ok) {
        state.SkipWithError("ocrtool failed");
        return;
    }
    const std::vector<std::string> ours = {ocrtool, mode, input, "--lang", code};
    std::vector<std::string> peer = {"tesseract", read, "-"};
    peer.insert(peer.end(), peerArguments.begin(), peerArguments.end());

    Alternate(state, [&] { return Spawn(ours); }, [&] { return Spawn(peer); }, "ocrtool failed",
              "the tesseract program failed");
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

template <class Body>
Run Time(Body&& body) {
    const double cpu = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Run run;
    run.ok = body();
    run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpu = ProcessCpuSeconds() - cpu;
    return run;
}

void InProcess(benchmark::State& state, const cardgen::Picture& picture, OcrLanguageCode code, bool card,
               const char* languages, tesseract::PageSegMode mode) {
    if (picture.px.empty()) {
        state.SkipWithError("the CJK font is not installed");
        return;
    }
    constexpr std::int32_t kWorkBytes = 0x200000;
    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const OcrLanguageCode codes[] = {code, 0};
    // The direction check's small copy, as the program decodes it beside the picture.
    std::vector<std::uint8_t> small;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            small.push_back(picture.px[static_cast<std::size_t>(y * picture.height / 240) * picture.width +
                                       x * picture.width / 320]);
        }
    }
    auto ours = [&] {
        std::vector<std::uint8_t> pixels = picture.px;  // the check turns it in place
        OcrImage image{pixels.data(), picture.width, picture.height};
        OcrImage direction{small.data(), 320, 240};
        return Time([&] {
            LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR);
            LumOCR_CheckImageDirection(&direction, &image);
            std::int32_t result = 0;
            if (card) {
                std::vector<OcrCardField> fields(kOcrMaxCardFields);
                for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
                result = LumOCR_RecognizeBizCard(&image, fields.data());
            } else {
                OcrTextResult text{};
                result = LumOCR_RecognizeDocument(&image, &text);
            }
            LumOCR_Finalize(0);
            return result == 0;
        });
    };
    auto peer = [&] {
        return Time([&] {
            tesseract::TessBaseAPI api;
            if (api.Init(nullptr, languages) != 0) return false;
            api.SetPageSegMode(mode);
            api.SetImage(picture.px.data(), picture.width, picture.height, 1, picture.width);
            char* text = api.GetUTF8Text();
            const bool ok = text != nullptr;
            delete[] text;
            api.End();
            return ok;
        });
    };
    Alternate(state, ours, peer, "our recognition failed", "the recogniser's library failed");
}

void BM_KoreanCardAgainstTesseract(benchmark::State& state) {
    Compare(state, InFrame(cardgen::DrawKoreanCard({}, cardgen::Distortion::Clean)), "card", "1",
            {"-l", "kor+eng", "--psm", "11"});
}
void BM_KoreanPageAgainstTesseract(benchmark::State& state) {
    Compare(state, cardgen::DrawCjkPage(cardgen::PageScript::Korean, false), "doc", "2", {"-l", "kor", "--psm", "6"});
}
void BM_ChinesePageAgainstTesseract(benchmark::State& state) {
    Compare(state, cardgen::DrawCjkPage(cardgen::PageScript::Simplified, false), "doc", "4", {"-l", "chi_sim+eng"});
}
void BM_KoreanCardInProcess(benchmark::State& state) {
    InProcess(state, cardgen::DrawKoreanCard({}, cardgen::Distortion::Clean), 1, true, "kor+eng",
              tesseract::PSM_SPARSE_TEXT);
}
void BM_KoreanPageInProcess(benchmark::State& state) {
    InProcess(state, cardgen::DrawCjkPage(cardgen::PageScript::Korean, false), 2, false, "kor",
              tesseract::PSM_SINGLE_BLOCK);
}
void BM_ChinesePageInProcess(benchmark::State& state) {
    InProcess(state, cardgen::DrawCjkPage(cardgen::PageScript::Simplified, false), 4, false, "chi_sim+eng",
              tesseract::PSM_AUTO);
}
BENCHMARK(BM_KoreanCardAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_KoreanPageAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_ChinesePageAgainstTesseract)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_KoreanCardInProcess)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_KoreanPageInProcess)->Unit(benchmark::kMillisecond)->Iterations(12);
BENCHMARK(BM_ChinesePageInProcess)->Unit(benchmark::kMillisecond)->Iterations(12);

}  // namespace
