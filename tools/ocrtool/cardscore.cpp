// cardscore: reads a corpus of card pictures through the engine library the
// way the program does (1280 x 960, its grey, the card frame) and scores the
// fields against the truth written beside each picture.
//   cardscore [--turn Q] [--time] [--verbose] FOLDER... | PICTURE=TRUTH...
// A folder gives every NAME.truth.txt with its NAME.pgm, .jpg or .png.
// Truth lines are key<TAB>value: name, company, title, e-mail, web, phone,
// fax, mobile, address; "light-on-dark" lists the keys printed light on dark.
// Each field is exact, near (edit distance 1 or 2), wrong (kind found, text
// farther off) or missing (no field of its kind). --turn Q turns each card
// by Q clockwise quarters first; --time also runs every card cold in a
// process of its own and the bare `tesseract` command on the same picture.
//   cardscore --one GREY.pgm   one recognition, fields to stdout (the cold run)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "LumOCREngine.h"
#include "OcrLine.h"
#include "PictureFile.h"

namespace {

constexpr int kProgramWidth = 1280;
constexpr int kProgramHeight = 960;
constexpr int kCardLeft = 40, kCardTop = 140, kCardRight = 1240, kCardBottom = 820;
constexpr std::int32_t kWorkBytes = 0x200000;

struct Truth {
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<std::string> lightOnDark;
};

struct Sample {
    std::string picture, truth, name;
};

Truth ReadTruth(const std::string& path) {
    Truth t;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        const std::string key = line.substr(0, tab), value = line.substr(tab + 1);
        if (key == "light-on-dark") {
            std::istringstream keys(value);
            std::string k;
            while (std::getline(keys, k, ',')) t.lightOnDark.push_back(k);
        } else {
            t.fields.emplace_back(key, value);
        }
    }
    return t;
}

std::vector<Sample> Samples(const std::vector<std::string>& args) {
    std::vector<Sample> out;
    for (const std::string& a : args) {
        const std::size_t eq = a.find('=');
        if (eq != std::string::npos) {
            out.push_back({a.substr(0, eq), a.substr(eq + 1), std::filesystem::path(a.substr(0, eq)).filename()});
            continue;
        }
        std::vector<Sample> folder;
        for (const auto& entry : std::filesystem::directory_iterator(a)) {
            const std::string file = entry.path().filename().string();
            const std::string suffix = ".truth.txt";
            if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0) continue;
            const std::string stem = file.substr(0, file.size() - suffix.size());
            for (const char* ext : {".pgm", ".jpg", ".png", ".ppm"}) {
                const auto picture = entry.path().parent_path() / (stem + ext);
                if (std::filesystem::exists(picture)) {
                    folder.push_back({picture.string(), entry.path().string(), stem});
                    break;
                }
            }
        }
        std::sort(folder.begin(), folder.end(), [](const Sample& x, const Sample& y) { return x.name < y.name; });
        out.insert(out.end(), folder.begin(), folder.end());
    }
    return out;
}

ocrtool::Grey Turn(const ocrtool::Grey& g, int quarters) {
    ocrtool::Grey out = g;
    for (int q = 0; q < ((quarters % 4) + 4) % 4; ++q) {
        const ocrtool::Grey src = out;
        out.width = src.height;
        out.height = src.width;
        for (int y = 0; y < src.height; ++y) {
            for (int x = 0; x < src.width; ++x) {
                out.px[static_cast<std::size_t>(x) * out.width + (src.height - 1 - y)] = src.px[static_cast<std::size_t>(y) * src.width + x];
            }
        }
    }
    return out;
}

struct Prepared {
    ocrtool::Grey card, small;
};

Prepared Prepare(const std::string& path, int quarters, std::string& error) {
    const ocrtool::Rgb picture = ocrtool::ReadPicture(path, error);
    if (picture.px.empty()) return {};
    const ocrtool::Rgb frame = ocrtool::FitInto(picture, kProgramWidth, kProgramHeight);
    Prepared p;
    p.card = Turn(ocrtool::Crop(ocrtool::ToProgramGrey(frame), kCardLeft, kCardTop, kCardRight, kCardBottom), quarters);
    p.small = ocrtool::ToProgramGrey(ocrtool::Scale(frame, 320, 240));
    return p;
}

std::string KeyOf(std::int32_t type) {
    switch (type) {
        case OCR_FIELD_NAME: return "name";
        case OCR_FIELD_COMPANY: return "company";
        case OCR_FIELD_ADDRESS: return "address";
        case OCR_FIELD_TELEPHONE: return "phone";
        case OCR_FIELD_FAX: return "fax";
        case OCR_FIELD_MOBILE: return "mobile";
        case OCR_FIELD_WEB: return "web";
        case OCR_FIELD_EMAIL: return "e-mail";
        default: return "other";
    }
}

std::vector<std::pair<std::string, std::string>> Recognise(Prepared& p) {
    OcrImage image{p.card.px.data(), p.card.width, p.card.height};
    OcrImage direction{p.small.px.data(), p.small.width, p.small.height};
    LumOCR_CheckImageDirection(&direction, &image);
    std::vector<OcrCardField> fields(kOcrMaxCardFields);
    for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
    LumOCR_RecognizeBizCard(&image, fields.data());
    std::vector<std::pair<std::string, std::string>> out;
    for (const OcrCardField& f : fields) {
        if (f.type == OCR_FIELD_NONE) break;
        out.emplace_back(KeyOf(f.type), f.text);
    }
    return out;
}

std::string Squeeze(const std::string& s) {
    std::istringstream in(s);
    std::string w, out;
    while (in >> w) {
        if (!out.empty()) out.push_back(' ');
        out += w;
    }
    return out;
}

enum Grade { kExact, kNear, kWrong, kMissing };
constexpr const char* kGradeNames[] = {"exact", "near", "wrong", "missing"};

// The closest field of the truth's kind; address lines are also taken joined.
Grade GradeOf(const std::string& key, const std::string& value,
              const std::vector<std::pair<std::string, std::string>>& found, std::string& best) {
    const std::string kind = key == "title" || key == "department" ? "other" : key;
    std::vector<std::string> candidates;
    std::string joined;
    for (const auto& [k, text] : found) {
        if (k != kind) continue;
        candidates.push_back(Squeeze(text));
        if (!joined.empty()) joined.push_back(' ');
        joined += candidates.back();
    }
    if (candidates.empty()) return kMissing;
    if (kind == "address") candidates.push_back(joined);
    int distance = 1 << 30;
    for (const std::string& c : candidates) {
        const int d = plat::ocr::EditDistance(c, Squeeze(value));
        if (d < distance) {
            distance = d;
            best = c;
        }
    }
    return distance == 0 ? kExact : distance <= 2 ? kNear : kWrong;
}

struct Tally {
    int counts[4] = {0, 0, 0, 0};
    int Total() const { return counts[0] + counts[1] + counts[2] + counts[3]; }
};

void PrintTally(const std::string& label, const Tally& t) {
    const int total = t.Total();
    std::printf("%-22s %5d  exact %5.1f %%  near %3d  wrong %3d  missing %3d\n", label.c_str(), total,
                total ? 100.0 * t.counts[kExact] / total : 0.0, t.counts[kNear], t.counts[kWrong], t.counts[kMissing]);
}

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Usage() {
    std::fprintf(stderr, "usage: cardscore [--turn Q] [--time] [--verbose] FOLDER... | PICTURE=TRUTH...\n"
                         "       cardscore --one GREY.pgm\n");
    return 2;
}

// The cold run: start, recognise one prepared grey card, finish.
int One(const std::string& path) {
    std::string error;
    const ocrtool::Rgb rgb = ocrtool::ReadPicture(path, error);
    if (rgb.px.empty()) return 1;
    Prepared p;
    p.card = ocrtool::ToProgramGrey(rgb);
    p.small = ocrtool::ToProgramGrey(ocrtool::Scale(rgb, 320, 240));
    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const OcrLanguageCode codes[] = {7, 0};
    LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR);
    for (const auto& [key, text] : Recognise(p)) std::printf("%s\t%s\n", key.c_str(), text.c_str());
    LumOCR_Finalize(0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int quarters = 0;
    bool timing = false, verbose = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--one" && i + 1 < argc) return One(argv[i + 1]);
        if (a == "--turn" && i + 1 < argc) quarters = std::atoi(argv[++i]);
        else if (a == "--time") timing = true;
        else if (a == "--verbose") verbose = true;
        else if (!a.empty() && a[0] == '-') return Usage();
        else args.push_back(a);
    }
    const std::vector<Sample> samples = Samples(args);
    if (samples.empty()) return Usage();

    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const OcrLanguageCode codes[] = {7, 0};
    if (LumOCR_Initialize(work.data(), kWorkBytes, nullptr, codes, LUM_ENGINE_DATA_DIR) != 0) {
        std::fprintf(stderr, "cardscore: the engine did not start\n");
        return 1;
    }
    std::map<std::string, Tally> byKind, byGroup;
    Tally all;
    std::vector<double> warmTimes, warmCpu;
    double warm = 0, oursCold = 0, oursCpu = 0, peerCold = 0, peerCpu = 0;
    const std::string scratch = (std::filesystem::temp_directory_path() / "cardscore-card.pgm").string();
    const std::string self = std::filesystem::canonical("/proc/self/exe").string();
    for (const Sample& s : samples) {
        std::string error;
        Prepared p = Prepare(s.picture, quarters, error);
        if (p.card.px.empty()) {
            std::fprintf(stderr, "cardscore: %s\n", error.c_str());
            continue;
        }
        const Truth truth = ReadTruth(s.truth);
        const double cpuStart = CpuSeconds(RUSAGE_SELF);
        const auto start = std::chrono::steady_clock::now();
        const auto found = Recognise(p);
        warmCpu.push_back(CpuSeconds(RUSAGE_SELF) - cpuStart);
        warmTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        warm += warmTimes.back();
        if (verbose) {
            for (const auto& [key, text] : found) std::printf("%s\t  found %-8s [%s]\n", s.name.c_str(), key.c_str(), text.c_str());
        }
        const std::string group = s.name.find("-clean") != std::string::npos ? "clean" : "photographed";
        for (const auto& [key, value] : truth.fields) {
            std::string best;
            const Grade g = GradeOf(key, value, found, best);
            const bool light = std::find(truth.lightOnDark.begin(), truth.lightOnDark.end(), key) != truth.lightOnDark.end();
            ++byKind[key].counts[g];
            ++byGroup[group].counts[g];
            ++byGroup[light ? "light on dark" : "dark on light"].counts[g];
            ++all.counts[g];
            if (verbose && g != kExact) {
                std::printf("%s\t%-8s %-7s want [%s] got [%s]\n", s.name.c_str(), key.c_str(), kGradeNames[g],
                            value.c_str(), best.c_str());
            }
        }
        if (timing) {
            ocrtool::WritePgm(scratch, p.card);
            const std::string ours = "'" + self + "' --one '" + scratch + "' >/dev/null 2>&1";
            const std::string peer = "tesseract '" + scratch + "' - >/dev/null 2>&1";
            for (int k = 0; k < 2; ++k) {
                const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
                const auto t0 = std::chrono::steady_clock::now();
                const int rc = std::system((k == 0 ? ours : peer).c_str());
                const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                const double cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
                if (rc != 0) std::fprintf(stderr, "cardscore: a timed run failed on %s\n", s.name.c_str());
                (k == 0 ? oursCold : peerCold) += wall;
                (k == 0 ? oursCpu : peerCpu) += cpu;
            }
        }
    }
    LumOCR_Finalize(0);
    if (timing) std::remove(scratch.c_str());

    const double n = static_cast<double>(samples.size());
    std::printf("cards %zu, turned %d quarter(s)\n", samples.size(), quarters);
    for (const auto& [key, t] : byKind) PrintTally(key, t);
    for (const auto& [key, t] : byGroup) PrintTally(key, t);
    PrintTally("all fields", all);
    // The median too: the first card loads the models, and a loaded machine
    // stalls a few others.
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    std::printf("time per card: warm %.0f ms (median %.0f ms, CPU median %.0f ms)", 1000 * warm / n,
                1000 * median(warmTimes), 1000 * median(warmCpu));
    if (timing) {
        std::printf("; cold ours %.0f ms (CPU %.0f ms), tesseract command %.0f ms (CPU %.0f ms), ratio %.2f",
                    1000 * oursCold / n, 1000 * oursCpu / n, 1000 * peerCold / n, 1000 * peerCpu / n, oursCold / peerCold);
    }
    std::printf("\n");
    return 0;
}
