#include "TessAdapter.h"

#include "AddressForm.h"
#include "TessPicture.h"

#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>

namespace plat::ocr {
namespace {

using namespace tess;

// --- recognisers ---------------------------------------------------------

std::mutex g_mutex;  // one recognition at a time over the cached recognisers
// Per language set, one recogniser per worker: card lines are read side by side.
std::map<std::string, std::vector<std::unique_ptr<tesseract::TessBaseAPI>>> g_recognizers;

std::unique_ptr<tesseract::TessBaseAPI> NewRecognizer(const std::string& languages) {
    auto api = std::make_unique<tesseract::TessBaseAPI>();
    if (api->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) return nullptr;
    // The recogniser's shared word lists live in a cache it creates on first
    // use and ends at exit; the kept recognisers must go before it does (not
    // while a recognition still runs: then they are left as they are).
    static const bool dropAtExit = std::atexit([] {
        std::unique_lock lock(g_mutex, std::try_to_lock);
        if (lock) g_recognizers.clear();
    }) == 0;
    (void)dropAtExit;
    // The recogniser's debug output goes to one process-wide file: set once,
    // before any worker reads.
    static const bool quiet = api->SetVariable("debug_file", "/dev/null");
    (void)quiet;
    // Light-on-dark lines are found and turned by the adapter itself.
    api->SetVariable("tessedit_do_invert", "0");
    return api;
}

tesseract::TessBaseAPI* RecognizerFor(const std::string& languages) {
    auto& pool = g_recognizers[languages];
    if (pool.empty()) pool.push_back(NewRecognizer(languages));
    if (!pool.front()) {
        g_recognizers.erase(languages);
        return nullptr;
    }
    return pool.front().get();
}

struct ProgressState {
    const std::function<bool(int)>* callback = nullptr;
    tesseract::ETEXT_DESC* monitor = nullptr;
    const std::atomic<bool>* stop = nullptr;  // set when another worker was cancelled
    int base = 0;
    int span = 100;
    int last = -1;
    bool cancelled = false;

    bool Report(int percent) {
        if (stop && stop->load(std::memory_order_relaxed)) cancelled = true;
        if (cancelled) return false;
        if (percent > last) {
            last = percent;
            if (callback && *callback && !(*callback)(percent)) cancelled = true;
        }
        return !cancelled;
    }
};

bool CancelHook(void* context, int) {
    auto* state = static_cast<ProgressState*>(context);
    return !state->Report(state->base + state->span * std::clamp<int>(state->monitor->progress, 0, 100) / 100);
}

struct RawWord {
    std::string text;
    Box box;  // in the recognised picture
    int confidence;
    bool lineStart;
    bool spaceBefore = true;
};

// Reads the picture; false when cancelled.
bool ReadWords(tesseract::TessBaseAPI& api, const Grey& g, tesseract::PageSegMode mode, ProgressState& progress,
               std::vector<RawWord>& words) {
    api.SetPageSegMode(mode);
    api.SetImage(g.px.data(), g.width, g.height, 1, g.width);
    api.SetSourceResolution(kSourceDpi);
    tesseract::ETEXT_DESC monitor;
    progress.monitor = &monitor;
    monitor.cancel = &CancelHook;
    monitor.cancel_this = &progress;
    api.Recognize(&monitor);
    progress.monitor = nullptr;
    if (progress.cancelled) {
        api.Clear();
        return false;
    }
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    bool pendingLineStart = false;
    if (it && !it->Empty(tesseract::RIL_WORD)) {
        do {
            std::unique_ptr<char[]> text(it->GetUTF8Text(tesseract::RIL_WORD));
            RawWord w;
            w.text = text ? text.get() : "";
            w.confidence = static_cast<int>(it->Confidence(tesseract::RIL_WORD));
            it->BoundingBox(tesseract::RIL_WORD, &w.box.left, &w.box.top, &w.box.right, &w.box.bottom);
            w.lineStart = pendingLineStart || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE);
            w.spaceBefore = it->BlanksBeforeWord() > 0;
            pendingLineStart = false;
            if (w.text.find_first_not_of(' ') != std::string::npos) {
                words.push_back(std::move(w));
            } else {
                pendingLineStart = w.lineStart;  // an empty word does not end the line's start
            }
        } while (it->Next(tesseract::RIL_WORD));
    }
    api.Clear();
    return true;
}

// A word's box in the picture as the adapter read it (after any quarter turn).
struct Placed {
    std::string text;
    int confidence = 0;
    bool spaceBefore = true;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct PlacedLine {
    std::vector<Placed> words;
    int textHeight = 0;
    bool inverted = false;
    double order = 0;  // where the line starts, across and along the squared text
    double along = 0;
};

// The box of a destination rectangle of a warp, in the source.
Placed PlaceThrough(const Warp& warp, const RawWord& w) {
    double xs[4], ys[4];
    const double cu[4] = {double(w.box.left), double(w.box.right), double(w.box.left), double(w.box.right)};
    const double cv[4] = {double(w.box.top), double(w.box.top), double(w.box.bottom), double(w.box.bottom)};
    for (int i = 0; i < 4; ++i) warp.ToSource(cu[i], cv[i], xs[i], ys[i]);
    Placed p;
    p.text = w.text;
    p.confidence = w.confidence;
    p.spaceBefore = w.spaceBefore;
    p.x0 = *std::min_element(xs, xs + 4);
    p.x1 = *std::max_element(xs, xs + 4);
    p.y0 = *std::min_element(ys, ys + 4);
    p.y1 = *std::max_element(ys, ys + 4);
    return p;
}

Box ToCaller(const Placed& p, int quarters, int pictureW, int pictureH, const Box& area) {
    double xs[4] = {p.x0, p.x1, p.x0, p.x1}, ys[4] = {p.y0, p.y0, p.y1, p.y1};
    for (int i = 0; i < 4; ++i) UnturnPoint(xs[i], ys[i], quarters, pictureW, pictureH);
    Box out;
    out.left = std::clamp(static_cast<int>(std::floor(*std::min_element(xs, xs + 4))) + area.left, area.left, area.right);
    out.right = std::clamp(static_cast<int>(std::ceil(*std::max_element(xs, xs + 4))) + area.left, area.left, area.right);
    out.top = std::clamp(static_cast<int>(std::floor(*std::min_element(ys, ys + 4))) + area.top, area.top, area.bottom);
    out.bottom = std::clamp(static_cast<int>(std::ceil(*std::max_element(ys, ys + 4))) + area.top, area.top, area.bottom);
    return out;
}

// The quarter turns (clockwise) that set the picture upright; `sure` false
// when the detector could not tell.
int DetectQuarterTurns(const Grey& g, bool* sure = nullptr) {
    if (sure) *sure = false;
    tesseract::TessBaseAPI* osd = RecognizerFor("osd");
    if (!osd) return 0;
    osd->SetPageSegMode(tesseract::PSM_OSD_ONLY);
    osd->SetImage(g.px.data(), g.width, g.height, 1, g.width);
    osd->SetSourceResolution(kSourceDpi);
    int degrees = 0;
    float orientConfidence = 0, scriptConfidence = 0;
    const char* script = nullptr;
    const bool found = osd->DetectOrientationScript(&degrees, &orientConfidence, &script, &scriptConfidence);
    osd->Clear();
    if (!found || orientConfidence < 1.0f) return 0;
    if (sure) *sure = true;
    // The picture is turned `degrees` clockwise; turning it back is the rest of a full turn.
    return ((360 - degrees) / 90) % 4;
}

// --- pages: the whole picture turned square, read with its layout ------------

bool ReadPage(tesseract::TessBaseAPI& api, const Grey& picture, const Request& request, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines) {
    const bool removeSkew = request.removeSkew;
    const tesseract::PageSegMode mode = request.layout == Layout::Block    ? tesseract::PSM_SINGLE_BLOCK
                                        : request.layout == Layout::Sparse ? tesseract::PSM_SPARSE_TEXT
                                                                           : tesseract::PSM_AUTO;
    int letterHeight = 0;
    double skew = EstimateSkewOf(picture, &letterHeight);
    if (std::fabs(skew) < kMinSkewToTurn || !removeSkew) skew = 0;
    result.skewDegrees = skew;
    double scale = 1.0;
    if (letterHeight > 0 && letterHeight < kTargetLetterHeight && request.layout == Layout::Page) {
        scale = std::min(kMaxEnlargement, kTargetLetterHeight / letterHeight);
    }
    const Warp warp = MakeWarp(picture.width, picture.height, skew, scale);
    const Grey square = (skew == 0 && scale == 1.0) ? picture : Apply(picture, warp);
    if (!progress.Report(5)) return false;

    std::vector<RawWord> words;
    progress.base = 5;
    progress.span = 85;
    if (!ReadWords(api, square, mode, progress, words)) return false;
    std::vector<bool> inverted(words.size(), false);

    // Light text on dark ground: read the dark areas inverted.
    const std::vector<Box> dark = DarkAreas(square);
    for (std::size_t d = 0; d < dark.size(); ++d) {
        const Box& b = dark[d];
        Grey crop;
        crop.width = b.Width();
        crop.height = b.Height();
        crop.px.resize(static_cast<std::size_t>(crop.width) * crop.height);
        for (int y = 0; y < crop.height; ++y) {
            for (int x = 0; x < crop.width; ++x) {
                crop.px[static_cast<std::size_t>(y) * crop.width + x] = 255 - square.At(b.left + x, b.top + y);
            }
        }
        std::vector<RawWord> found;
        progress.base = 90 + static_cast<int>(9 * d / dark.size());
        progress.span = 0;
        if (!ReadWords(api, crop, tesseract::PSM_AUTO, progress, found)) return false;
        for (RawWord& w : found) {
            w.box.left += b.left;
            w.box.right += b.left;
            w.box.top += b.top;
            w.box.bottom += b.top;
            if (w.confidence < kMinInvertedConfidence) continue;
            const bool taken = std::any_of(words.begin(), words.end(), [&](const RawWord& o) {
                return o.confidence >= kMinWordConfidence && Overlaps(o.box, w.box);
            });
            if (taken) continue;
            w.lineStart = true;
            words.push_back(std::move(w));
            inverted.push_back(true);
        }
    }

    // A wide gap inside a line starts a new one (two columns side by side).
    for (std::size_t i = 0; i < words.size(); ++i) {
        const RawWord& w = words[i];
        if (w.confidence < kMinWordConfidence) continue;
        bool newLine = lines.empty() || w.lineStart || inverted[i] != lines.back().inverted;
        if (!newLine && i > 0) {
            const RawWord& prev = words[i - 1];
            const int h = std::max(8, std::max(prev.box.Height(), w.box.Height()));
            if (w.box.left - prev.box.right > 3 * h || w.box.left < prev.box.left) newLine = true;
        }
        if (newLine) {
            lines.emplace_back();
            lines.back().inverted = inverted[i];
            lines.back().order = w.box.top / scale;
            lines.back().along = w.box.left / scale;
        }
        lines.back().words.push_back(PlaceThrough(warp, w));
        lines.back().textHeight =
            std::max(lines.back().textHeight, static_cast<int>(std::lround(w.box.Height() / scale)));
    }
    return true;
}

// --- cards: every text line found, turned square and read on its own ----------

// How much a character tells that a reading is text: a Hangul syllable or a
// Han character is worth two letters (a name of two is a line), a letter or
// digit one, punctuation nothing.
int CharacterWeight(char32_t ch) {
    if (IsWideScript(ch)) return 2;
    return ch >= 0x80 || std::isalnum(static_cast<int>(ch)) ? 1 : 0;
}

// The box of a placed line in the picture it was read from.
Box BoxOf(const PlacedLine& line) {
    Box b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const Placed& w : line.words) {
        b = {std::min(b.left, static_cast<int>(w.x0)), std::min(b.top, static_cast<int>(w.y0)),
             std::max(b.right, static_cast<int>(w.x1)), std::max(b.bottom, static_cast<int>(w.y1))};
    }
    return b;
}

// A line read with confidence, and no texture: enough characters, read surely
// enough, or an address whatever its confidence.
bool SureLine(const PlacedLine& line) {
    int characters = 0, weighted = 0;
    std::string whole;
    for (const Placed& w : line.words) {
        int weight = 0;
        for (char32_t ch : DecodeUtf8(w.text)) weight += CharacterWeight(ch);
        characters += weight;
        weighted += weight * w.confidence;
        whole += w.text;
    }
    if (IsAddressForm(whole)) return true;
    return characters >= 3 && weighted >= kMinCardLineConfidence * characters;
}


// One card line read at each size in turn until one reading is sure or two
// readings agree; else the text read most often wins, the surer one among
// equals, and a lone unsure reading is dropped. A line whose first readings
// show no text is given up. `score` stays -1 when no reading is kept.
// False when cancelled.
bool ReadCardLine(tesseract::TessBaseAPI& api, const Grey& picture, const FoundLine& found,
                  const std::vector<Component>& marks, double radians, ProgressState& progress, PlacedLine& best,
                  int& score) {
    struct Candidate {
        std::string text;
        int score;
        int votes;
        PlacedLine line;
    };
    std::vector<Candidate> candidates;
    // A reading whose picture equals an earlier one's (the enlargement is
    // clamped) gives the same words: its outcome is taken over, not read again.
    struct Done {
        double scale;
        double sharpen;
        int candidate;  // -1: not text
    };
    std::vector<Done> done;
    for (const Reading& reading : kReadings) {
        const Strip strip = StripOf(found.letters, radians, reading.letterHeight);
        if (strip.warp.dstWidth < 8 || strip.warp.dstHeight < 8 || strip.warp.dstWidth > kMaxStripWidth) break;
        const auto same = std::find_if(done.begin(), done.end(), [&](const Done& d) {
            return d.scale == strip.scale && d.sharpen == reading.sharpen;
        });
        int chosen = -1;
        if (same != done.end()) {
            if (same->candidate < 0) continue;
            chosen = same->candidate;
            ++candidates[chosen].votes;
        } else {
            Grey image = Apply(picture, strip.warp);
            if (found.inverted) {
                for (auto& p : image.px) p = static_cast<std::uint8_t>(255 - p);
            }
            if (reading.sharpen > 0) image = Sharpened(image, reading.sharpen);
            image = NormaliseLighting(image, std::max(8, image.height / 2));
            MaskToLine(image, strip, found.letters, marks);
            std::vector<RawWord> words;
            if (!ReadWords(api, image, tesseract::PSM_SINGLE_LINE, progress, words)) return false;

            PlacedLine line;
            line.inverted = found.inverted;
            line.textHeight = strip.letterHeight;
            line.order = strip.order;
            line.along = strip.along;
            // The whole line one address: its words are taken as one, however unsure.
            std::string whole;
            for (const RawWord& w : words) whole += w.text;
            bool address = words.size() >= 1 && IsAddressForm(whole);
            if (!address && words.size() >= 2) {
                // Stops small print lost: the words joined again as an address.
                std::vector<Word> split;
                for (const RawWord& w : words) split.push_back({w.text, w.box, w.confidence});
                JoinSplitAddress(split);
                if (split.size() == 1 && IsAddressForm(split[0].text)) {
                    address = true;
                    whole = split[0].text;
                }
            }
            if (address && words.size() > 1) {
                RawWord joined = words.front();
                joined.text = whole;
                for (const RawWord& w : words) {
                    joined.box = Union(joined.box, w.box);
                    joined.confidence = std::min(joined.confidence, w.confidence);
                }
                words.assign(1, joined);
            }
            std::string text;
            int characters = 0, weighted = 0;
            for (const RawWord& w : words) {
                if (w.confidence < kMinCardWordConfidence && !address) continue;
                int alnum = 0;
                for (char32_t ch : DecodeUtf8(w.text)) alnum += CharacterWeight(ch);
                characters += alnum;
                weighted += alnum * w.confidence;
                line.words.push_back(PlaceThrough(strip.warp, w));
                text += w.text + " ";
            }
            // Texture and specks read as a few unsure characters.
            if (characters < 3 || (weighted < kMinCardLineConfidence * characters && !address)) {
                done.push_back({strip.scale, reading.sharpen, -1});
                // A long chain of marks is seldom texture: it gets every reading.
                if (candidates.empty() && done.size() >= kReadingsWithoutTextToGiveUp && found.letters.size() < 12) break;
                continue;
            }
            const int lineScore = address ? std::max(weighted / characters, kMinLoneReadingConfidence) : weighted / characters;
            const auto known = std::find_if(candidates.begin(), candidates.end(),
                                            [&](const Candidate& c) { return c.text == text; });
            if (known == candidates.end()) {
                candidates.push_back({text, lineScore, 1, std::move(line)});
                chosen = static_cast<int>(candidates.size()) - 1;
            } else {
                chosen = static_cast<int>(known - candidates.begin());
                ++known->votes;
                if (lineScore > known->score) {
                    known->score = lineScore;
                    known->line = std::move(line);
                }
            }
            done.push_back({strip.scale, reading.sharpen, chosen});
        }
        if (candidates[chosen].score >= kSureLineConfidence || candidates[chosen].votes >= 2) break;
    }
    score = -1;
    if (candidates.empty()) return true;
    const auto winner = std::max_element(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.votes != b.votes ? a.votes < b.votes : a.score < b.score;
    });
    if (winner->votes < 2 && winner->score < kMinLoneReadingConfidence) return true;
    score = winner->score;
    best = std::move(winner->line);
    return true;
}

// Weighs the card's longest lines read as they stand against read half
// turned: true when the turned reading is the surer one. False when cancelled.
bool HalfTurnReadsBetter(tesseract::TessBaseAPI& api, const Grey& picture, ProgressState& progress, bool& better) {
    better = false;
    const std::vector<Component> marks = MarksOf(picture, false);
    const double radians = SkewOf(marks, nullptr) * kPi / 180.0;
    auto lines = ChainLines(LettersAmong(picture, false, marks), radians);
    std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    long score[2] = {0, 0};
    for (std::size_t i = 0; i < std::min<std::size_t>(3, lines.size()); ++i) {
        if (lines[i].size() < 5) break;
        const Strip strip = StripOf(lines[i], radians, 30.0);
        if (strip.warp.dstWidth < 8 || strip.warp.dstHeight < 8 || strip.warp.dstWidth > kMaxStripWidth) continue;
        Grey image = Apply(picture, strip.warp);
        image = NormaliseLighting(image, std::max(8, image.height / 2));
        for (int turned = 0; turned < 2; ++turned) {
            if (turned) std::reverse(image.px.begin(), image.px.end());
            std::vector<RawWord> words;
            if (!ReadWords(api, image, tesseract::PSM_SINGLE_LINE, progress, words)) return false;
            for (const RawWord& w : words) {
                int alnum = 0;
                for (char32_t ch : DecodeUtf8(w.text)) alnum += CharacterWeight(ch);
                score[turned] += static_cast<long>(alnum) * w.confidence;
            }
        }
    }
    better = score[1] > score[0];
    return true;
}

// Lines that overlap one of `known` are taken as read already.
bool ReadCard(tesseract::TessBaseAPI& api, const std::string& languages, const Grey& picture, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines, const std::vector<Box>& known = {}) {
    // The dark marks serve the skew, the lines and the masks alike.
    const std::vector<Component> allMarks[2] = {MarksOf(picture, false), MarksOf(picture, true)};
    const double skew = SkewOf(allMarks[0], nullptr);
    result.skewDegrees = skew;
    const double radians = skew * kPi / 180.0;
    std::vector<FoundLine> found;
    for (const bool inverted : {false, true}) {
        for (auto& letters : ChainLines(LettersAmong(picture, inverted, allMarks[inverted]), radians)) {
            found.push_back({std::move(letters), inverted});
        }
    }
    if (!progress.Report(5)) return false;

    // The paper behind each line: lines on a much darker ground than the
    // others lie off the card (a table, a wall) and are texture, not text.
    std::vector<int> paper(found.size(), 255);
    for (std::size_t i = 0; i < found.size(); ++i) {
        std::vector<int> histogram(256, 0);
        int total = 0;
        for (const Component& k : found[i].letters) {
            const int pad = (k.bottom - k.top + 1) / 2;
            for (int y = std::max(0, k.top - pad); y <= std::min(picture.height - 1, k.bottom + pad); ++y) {
                for (int x = std::max(0, k.left - pad); x <= std::min(picture.width - 1, k.right + pad); ++x) {
                    ++histogram[picture.At(x, y)];
                    ++total;
                }
            }
        }
        int seen = 0;
        for (int level = 255; level >= 0; --level) {
            seen += histogram[level];
            if (seen * 4 >= total) {
                paper[i] = found[i].inverted ? 255 - level : level;
                break;
            }
        }
    }
    std::vector<int> sortedPaper;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!found[i].inverted) sortedPaper.push_back(paper[i]);
    }
    std::sort(sortedPaper.begin(), sortedPaper.end());
    const int cardPaper = sortedPaper.empty() ? 255 : sortedPaper[sortedPaper.size() * 3 / 4];

    // The lines are read side by side, one recogniser per worker, as many
    // workers as the OpenMP settings and the machine's load allow; the
    // recogniser's own threads stay idle inside them.
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < found.size(); ++i) {
        Box box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
        for (const Component& c : found[i].letters) box = Union(box, Box{c.left, c.top, c.right + 1, c.bottom + 1});
        if (std::any_of(known.begin(), known.end(), [&](const Box& k) { return Overlaps(k, box); })) continue;
        if (found[i].inverted || paper[i] >= kOffCardPaper * cardPaper) toRead.push_back(i);  // else off the card
    }
    std::vector<PlacedLine> best(found.size());
    std::vector<int> bestScore(found.size(), -1);
    auto& pool = g_recognizers[languages];
    const int workers =
        std::max(1, std::min({omp_get_max_threads(), kMaxCardWorkers, static_cast<int>(toRead.size())}));
    if (pool.size() < static_cast<std::size_t>(workers)) pool.resize(static_cast<std::size_t>(workers));
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> finished{0};
    std::atomic<bool> cancelled{false};
#pragma omp parallel num_threads(workers)
    {
        const int worker = omp_get_thread_num();
        // The first worker is the caller's thread: only it reports progress.
        ProgressState quiet;
        quiet.stop = &cancelled;
        ProgressState& own = worker == 0 ? progress : quiet;
        auto& slot = pool[static_cast<std::size_t>(worker)];
        if (worker > 0 && !slot) slot = NewRecognizer(languages);
        tesseract::TessBaseAPI* recogniser = worker == 0 ? &api : slot.get();
        for (std::size_t k = 0; recogniser && !cancelled.load();) {
            k = next.fetch_add(1);
            if (k >= toRead.size()) break;
            const std::size_t i = toRead[k];
            own.base = 5 + static_cast<int>(90 * finished.load() / toRead.size());
            own.span = 0;
            const bool read = ReadCardLine(*recogniser, picture, found[i], allMarks[found[i].inverted], radians, own,
                                           best[i], bestScore[i]);
            const std::size_t count = ++finished;
            if (!read || (worker == 0 && !own.Report(5 + static_cast<int>(90 * count / toRead.size())))) cancelled = true;
        }
    }
    if (cancelled) return false;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (bestScore[i] >= 0) lines.push_back(std::move(best[i]));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const PlacedLine& a, const PlacedLine& b) { return a.order < b.order; });
    return true;
}

}  // namespace

Result Recognize(const GreyView& view, const Request& request) {
    Result result;
    if (!view.pixels || view.width <= 0 || view.height <= 0 || view.stride < view.width) {
        result.status = Status::BadImage;
        return result;
    }
    Box area{0, 0, view.width, view.height};
    if (request.region) {
        area.left = std::clamp(request.region->left, 0, view.width);
        area.top = std::clamp(request.region->top, 0, view.height);
        area.right = std::clamp(request.region->right, area.left, view.width);
        area.bottom = std::clamp(request.region->bottom, area.top, view.height);
        if (area.Width() < 4 || area.Height() < 4) {
            result.status = Status::BadImage;
            return result;
        }
    }

    std::lock_guard lock(g_mutex);
    // The recogniser's worker threads only as the machine's load leaves room
    // for: spinning workers on busy cores slow every reading down. With one
    // thread allowed there is nothing to adjust, and asking the load at every
    // parallel step of the recogniser costs time.
    omp_set_dynamic(omp_get_thread_limit() > 1);
    ProgressState progress;
    progress.callback = &request.progress;
    tesseract::TessBaseAPI* api = RecognizerFor(request.languages);
    if (!api) {
        result.status = Status::NoRecognizer;
        return result;
    }
    if (!progress.Report(0)) {
        result.status = Status::Cancelled;
        return result;
    }

    Grey picture = Copy(view, area);
    const int pictureW = picture.width, pictureH = picture.height;
    if (request.detectOrientation) {
        bool detected = false;
        if (request.layout != Layout::Card) {
            result.quarterTurns = DetectQuarterTurns(picture, &detected);
            if (!detected && request.orientationByMarks) {
                // The detector often cannot tell lying Hangul; stood up by a
                // quarter turn the same page is usually clear to it.
                const Grey turned = TurnQuarters(picture, 1);
                const int more = DetectQuarterTurns(turned, &detected);
                if (detected) result.quarterTurns = (1 + more) % 4;
            }
            detected = detected || !request.orientationByMarks;
            if (detected) picture = TurnQuarters(picture, result.quarterTurns);
        }
        if (!detected) {
            bool sure = false;
            result.quarterTurns = QuarterTurnsOfCard(picture, sure);
            picture = TurnQuarters(picture, result.quarterTurns);
            bool better = false;
            if (!sure && !HalfTurnReadsBetter(*api, picture, progress, better)) {
                result.status = Status::Cancelled;
                return result;
            }
            if (better) {
                result.quarterTurns = (result.quarterTurns + 2) % 4;
                picture = TurnQuarters(picture, 2);
            }
        }
    }
    std::vector<PlacedLine> placed;
    bool read = request.layout == Layout::Card ? ReadCard(*api, request.languages, picture, progress, result, placed)
                                               : ReadPage(*api, picture, request, progress, result, placed);
    if (read && request.layout == Layout::Sparse) {
        // The recogniser finds most lines of a scattered layout but passes over
        // a line in much larger type (a name): the lines it left are found
        // from the marks and read one by one. All in reading order, top down.
        std::erase_if(placed, [](const PlacedLine& l) { return !SureLine(l); });
        std::vector<Box> known;
        for (const PlacedLine& l : placed) known.push_back(BoxOf(l));
        std::vector<PlacedLine> more;
        read = ReadCard(*api, request.languages, picture, progress, result, more, known);
        for (PlacedLine& l : more) placed.push_back(std::move(l));
        for (PlacedLine& l : placed) {
            const Box b = BoxOf(l);
            l.order = b.top;
            l.along = b.left;
        }
        std::stable_sort(placed.begin(), placed.end(),
                         [](const PlacedLine& a, const PlacedLine& b) { return a.order < b.order; });
    }
    if (!read) {
        result.status = Status::Cancelled;
        return result;
    }

    for (const PlacedLine& p : placed) {
        if (p.words.empty()) continue;
        Line line;
        line.inverted = p.inverted;
        line.textHeight = p.textHeight;
        line.across = p.order;
        line.along = p.along;
        for (const Placed& w : p.words) {
            line.words.push_back(
                {w.text, ToCaller(w, result.quarterTurns, pictureW, pictureH, area), w.confidence, w.spaceBefore});
        }
        line.box = line.words.front().box;
        for (const Word& w : line.words) line.box = Union(line.box, w.box);
        result.lines.push_back(std::move(line));
    }
    progress.Report(100);
    return result;
}

}  // namespace plat::ocr
