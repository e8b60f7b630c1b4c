// Cards: every text line found from the marks, turned square and read on
// its own at several sizes, the readings voted on; lines read side by side.
#include "TessRead.h"

#include "AddressForm.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <iterator>

namespace plat::ocr::tess {

int ReadingConfidence(const std::vector<PlacedLine>& lines) {
    long characters = 0, weighted = 0;
    for (const PlacedLine& line : lines) {
        for (const Placed& w : line.words) {
            int weight = 0;
            for (char32_t ch : DecodeUtf8(w.text)) weight += CharacterWeight(ch);
            characters += weight;
            weighted += static_cast<long>(weight) * w.confidence;
        }
    }
    return characters > 0 ? static_cast<int>(weighted / characters) : 0;
}

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
namespace {

constexpr const char* kDefaultTileSize = "0.33";  // the recogniser's own, in inches

// A word of punctuation, dashes, arrows and shapes only.
bool MarksOnly(const std::string& word) {
    for (const char32_t ch : DecodeUtf8(word)) {
        const bool mark = (ch < 0x80 && !std::isalnum(static_cast<int>(ch))) || (ch >= 0xA0 && ch <= 0xBF) ||
                          ch == 0xD7 || ch == 0xF7 || (ch >= 0x2000 && ch <= 0x2BFF);
        if (!mark) return false;
    }
    return true;
}

bool ReadCardLine(tesseract::TessBaseAPI& api, const Grey& picture, const FoundLine& found,
                  const std::vector<Component>& marks, double radians, double lean, ProgressState& progress,
                  PlacedLine& best, int& score, double& measured, std::vector<PlacedLine>& unkept) {
    struct Candidate {
        std::string text;
        int score;
        int sureness;  // the score before an address's floor: ranks addresses among themselves
        int votes;
        bool address;
        bool knownEnding;  // an address ending in a domain ending in use
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
    auto draw = [&](const Strip& strip, double sharpen) {
        Grey image = Apply(picture, strip.warp);
        if (found.inverted) {
            for (auto& p : image.px) p = static_cast<std::uint8_t>(255 - p);
        }
        // The blur grows with the enlargement: so does the mean it is sharpened against.
        if (sharpen > 0) image = Sharpened(image, sharpen, static_cast<int>(std::lround(1.5 * strip.scale)));
        image = NormaliseLighting(image, std::max(8, image.height / 2));
        MaskToLine(image, strip, found.letters, marks);
        return image;
    };
    double slant = lean;  // measured on the first reading unless given, kept for the others
    // The words of one reading voted for: the candidate they make, -1 when
    // they are not text.
    std::vector<PlacedLine> tried;  // every reading, however unsure
    auto vote = [&](std::vector<RawWord>& words, const Strip& strip) -> int {
    PlacedLine line;
    line.inverted = found.inverted;
    line.textHeight = strip.letterHeight;
    line.order = strip.order;
    line.along = strip.along;
    // Marks at a line's ends are the card's edge, a rule or a bullet beside it;
    // they are no part of an address either.
    while (!words.empty() && MarksOnly(words.front().text)) words.erase(words.begin());
    while (!words.empty() && MarksOnly(words.back().text)) words.pop_back();
    if (!words.empty()) {
        PlacedLine raw = line;
        for (const RawWord& w : words) raw.words.push_back(PlaceThrough(strip.warp, w));
        tried.push_back(std::move(raw));
    }
    // The whole line one address: its words are taken as one, however unsure.
    std::string whole;
    for (const RawWord& w : words) whole += w.text;
    bool address = false;
    if (words.size() >= 2) {
        // A gap within an address is a stop small print lost: the words are
        // joined again with their stops.
        std::vector<Word> split;
        for (const RawWord& w : words) split.push_back({w.text, w.box, w.confidence});
        JoinSplitAddress(split);
        if (split.size() == 1 && IsAddressForm(split[0].text)) {
            address = true;
            whole = split[0].text;
        }
    }
    if (!address && !words.empty()) {
        address = IsAddressForm(whole);
        const std::string mended = address ? std::string() : WithWwwMended(whole);
        if (!mended.empty()) {
            address = true;
            whole = mended;
        }
    }
    if (address && words.size() > 1) {
        // Its confidence is its parts' by their letters: readings of one
        // address that differ in a part are told apart by how sure that part is.
        RawWord joined = words.front();
        joined.text = whole;
        int letters = 0, weighted = 0;
        for (const RawWord& w : words) {
            joined.box = Union(joined.box, w.box);
            const int size = static_cast<int>(DecodeUtf8(w.text).size());
            letters += size;
            weighted += size * w.confidence;
        }
        joined.confidence = letters > 0 ? weighted / letters : 0;
        words.assign(1, joined);
    }
    if (address) words.front().text = WithEndingMended(WithLowerHost(whole));
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
    if (characters < 3 || (weighted < kMinCardLineConfidence * characters && !address)) return -1;
    const int lineScore = address ? std::max(weighted / characters, kMinLoneReadingConfidence) : weighted / characters;
    const auto known = std::find_if(candidates.begin(), candidates.end(),
                                    [&](const Candidate& c) { return c.text == text; });
    if (known == candidates.end()) {
        candidates.push_back({text, lineScore, weighted / characters, 1, address,
                              address && EndsInKnownDomain(line.words.front().text), std::move(line)});
        return static_cast<int>(candidates.size()) - 1;
    }
    ++known->votes;
    if (lineScore > known->score || (lineScore == known->score && weighted / characters > known->sureness)) {
        known->score = lineScore;
        known->sureness = weighted / characters;
        known->line = std::move(line);
    }
    return static_cast<int>(known - candidates.begin());
    };
    // A line none of whose readings is kept gets one more, set upright by a
    // fainter lean and thresholded by the recogniser tile by tile: blur and
    // a slant from the side leave too little for one threshold over the line.
    std::vector<Reading> plan(std::begin(kReadings), std::end(kReadings));
    const std::size_t usual = plan.size();
    auto kept = [&] {
        return std::any_of(candidates.begin(), candidates.end(), [](const Candidate& c) {
            return c.votes >= 2 || c.score >= kMinLoneReadingConfidence;
        });
    };
    auto more = [&](std::size_t r) {
        if (r < plan.size()) return true;
        if (plan.size() > usual || done.empty() || kept()) return false;
        plan.push_back(kReadings[0]);
        return true;
    };
    for (std::size_t r = 0; more(r); ++r) {
        const Reading reading = plan[r];
        const bool lastTry = r >= usual;
        Strip strip = StripOf(found.letters, radians, reading.letterHeight);
        if (strip.warp.dstWidth < 8 || strip.warp.dstHeight < 8 || strip.warp.dstWidth > kMaxStripWidth) break;
        const auto same = std::find_if(done.begin(), done.end(), [&](const Done& d) {
            return d.scale == strip.scale && d.sharpen == reading.sharpen;
        });
        int chosen = -1;
        if (lastTry) {
            const double faint = SlantOf(draw(strip, 0), kFaintSlantGain);
            if (faint != 0) Unslant(strip, faint);
            const Grey image = draw(strip, 0);
            std::vector<RawWord> words;
            // Tiles of about a letter's height.
            const std::string tile = std::to_string(strip.median * strip.scale / kSourceDpi);
            api.SetVariable("thresholding_method", "1");
            api.SetVariable("thresholding_tile_size", tile.c_str());
            const bool read = ReadWords(api, image, tesseract::PSM_SINGLE_LINE, progress, words);
            api.SetVariable("thresholding_method", "0");
            api.SetVariable("thresholding_tile_size", kDefaultTileSize);
            if (!read) return false;
            chosen = vote(words, strip);
            if (chosen < 0) break;
        } else if (same != done.end()) {
            if (same->candidate < 0) continue;
            chosen = same->candidate;
            ++candidates[chosen].votes;
        } else {
            Grey image;
            if (done.empty() && lean == 0) {
                image = draw(strip, 0);
                slant = measured = SlantOf(image);
            }
            if (slant != 0) Unslant(strip, slant);
            if (!done.empty() || slant != 0 || reading.sharpen > 0) image = draw(strip, reading.sharpen);
            std::vector<RawWord> words;
            if (!ReadWords(api, image, tesseract::PSM_SINGLE_LINE, progress, words)) return false;
            chosen = vote(words, strip);
            done.push_back({strip.scale, reading.sharpen, chosen});
            if (chosen < 0) {
                // A long chain of marks is seldom texture: it gets every reading.
                if (candidates.empty() && done.size() >= kReadingsWithoutTextToGiveUp && found.letters.size() < 12) break;
                continue;
            }
        }
        if (candidates[chosen].score >= kSureLineConfidence || candidates[chosen].votes >= 2) break;
    }
    score = -1;
    unkept = std::move(tried);  // given back unless the line is read as an address
    if (candidates.empty()) return true;
    // A whole address outranks readings that are not one: they are the same
    // line read with its small print lost or run together; and an address
    // ending in a domain ending in use outranks one ending in a misreading.
    const auto winner = std::max_element(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        if (a.address != b.address) return b.address;
        if (a.knownEnding != b.knownEnding) return b.knownEnding;
        if (a.votes != b.votes) return a.votes < b.votes;
        return a.score != b.score ? a.score < b.score : a.sureness < b.sureness;
    });
    if (winner->votes < 2 && winner->score < kMinLoneReadingConfidence) return true;
    if (winner->address) unkept.clear();
    score = winner->score;
    best = std::move(winner->line);
    return true;
}

}  // namespace

bool HalfTurnReadsBetter(tesseract::TessBaseAPI& api, const Grey& picture, const std::vector<Component>& marks,
                         ProgressState& progress, bool& better) {
    better = false;
    const double radians = SkewOf(marks, nullptr) * kPi / 180.0;
    auto lines = ChainLines(LettersAmong(picture, false, marks), radians);
    std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.size() > b.size(); });
    std::vector<Grey> images;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, lines.size()); ++i) {
        if (lines[i].size() < 5) break;
        const Strip strip = StripOf(lines[i], radians, 30.0);
        if (strip.warp.dstWidth < 8 || strip.warp.dstHeight < 8 || strip.warp.dstWidth > kMaxStripWidth) continue;
        images.push_back(NormaliseLighting(Apply(picture, strip.warp), std::max(8, strip.warp.dstHeight / 2)));
    }
    long score[2] = {0, 0};
    long characters = 0;  // read upright
    for (const int turned : {0, 1}) {
        for (Grey& image : images) {
            if (turned) std::reverse(image.px.begin(), image.px.end());
            std::vector<RawWord> words;
            if (!ReadWords(api, image, tesseract::PSM_SINGLE_LINE, progress, words)) return false;
            for (const RawWord& w : words) {
                int alnum = 0;
                for (char32_t ch : DecodeUtf8(w.text)) alnum += CharacterWeight(ch);
                score[turned] += static_cast<long>(alnum) * w.confidence;
                if (!turned) characters += alnum;
            }
        }
        // A dozen or more characters read this surely stand upright: upside
        // down the recogniser reads them at about half as surely. The turned
        // readings would not win.
        if (!turned && score[0] >= kMinTurnedReadingScore && score[0] >= kUprightReadingConfidence * characters) {
            return true;
        }
    }
    // Readings that are noise either way say nothing against the marks.
    better = score[1] > score[0] && score[1] >= kMinTurnedReadingScore;
    return true;
}

namespace {

int MedianHeight(const std::vector<Component>& letters) {
    std::vector<int> heights;
    for (const Component& c : letters) heights.push_back(c.bottom - c.top + 1);
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

// Whether one line of `known` holds a found line whole, leaving less than a
// letter of its length uncovered. A layout that split the line into pieces,
// or dropped a piece (a syllable of a name in large type), has not read it.
bool HeldByKnown(const Box& box, const std::vector<Component>& letters, const std::vector<Box>& known) {
    const Box* holder = nullptr;
    for (const Box& k : known) {
        if (!Overlaps(k, box)) continue;
        if (holder) return false;
        holder = &k;
    }
    if (!holder) return false;
    const int covered = std::max(0, std::min(holder->right, box.right) - std::max(holder->left, box.left));
    return box.Width() - covered < MedianHeight(letters);
}

// A chain of a few letters' marks no longer than a few letters are high: a
// speck, a logo's dot, a band's texture. Alphabetic text that short on a card
// is a label beside something longer, so such a chain is not worth a reading.
// Stacked characters are whole words each: a name may be two of them.
bool TooShortForText(const Box& box, const std::vector<Component>& letters, bool stacked) {
    return !stacked && letters.size() < kMinMarksOfShortLine &&
           box.Width() < kMinShortLineLength * MedianHeight(letters);
}

}  // namespace

bool ReadCard(tesseract::TessBaseAPI& api, const Request& request, const Grey& picture, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines, const std::vector<Box>& known,
              const PictureMarks* marks, std::vector<PlacedLine>* unkept) {
    const std::string& languages = request.languages;
    // The dark marks serve the skew, the lines and the masks alike.
    const PictureMarks own = marks ? PictureMarks{} : PictureMarksOf(picture);
    if (!marks) marks = &own;
    const std::vector<Component>* allMarks[2] = {&marks->dark, &marks->light};
    const double skew = SkewOf(marks->dark, nullptr);
    result.skewDegrees = skew;
    const double radians = skew * kPi / 180.0;
    std::vector<FoundLine> found;
    for (const bool inverted : {false, true}) {
        std::vector<Component> characters =
            inverted ? marks->lightLetters : LettersAmong(picture, inverted, marks->dark);
        if (request.stackedMarks) characters = StackedIntoCharacters(characters);
        for (auto& letters : ChainLines(characters, radians)) {
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
    std::vector<Box> boxes(found.size(), Box{INT_MAX, INT_MAX, INT_MIN, INT_MIN});  // each line's letters
    std::vector<std::size_t> toRead;
    for (std::size_t i = 0; i < found.size(); ++i) {
        Box& box = boxes[i];
        for (const Component& c : found[i].letters) box = Union(box, Box{c.left, c.top, c.right + 1, c.bottom + 1});
        if (HeldByKnown(box, found[i].letters, known)) continue;
        if (TooShortForText(box, found[i].letters, request.stackedMarks)) continue;
        if (found[i].inverted || paper[i] >= kOffCardPaper * cardPaper) toRead.push_back(i);  // else off the card
    }
    std::vector<PlacedLine> best(found.size());
    std::vector<int> bestScore(found.size(), -1);
    std::vector<std::vector<PlacedLine>> unkeptOf(found.size());
    std::vector<double> lean(found.size(), 0.0), measured(found.size(), 0.0);
    auto& pool = RecognizerPool(languages);
    std::atomic<bool> cancelled{false};
    // Reads the listed lines; progress goes from `from` by `span` percent.
    // The longest lines go first: the last to start should be short ones.
    auto readLines = [&](std::vector<std::size_t> list, int from, int span) {
        std::vector<double> length(found.size(), 0.0);
        for (const std::size_t i : list) {
            length[i] = static_cast<double>(boxes[i].Width()) / MedianHeight(found[i].letters);
        }
        std::stable_sort(list.begin(), list.end(), [&](std::size_t a, std::size_t b) { return length[a] > length[b]; });
        const int workers =
            std::max(1, std::min({omp_get_max_threads(), kMaxCardWorkers, static_cast<int>(list.size())}));
        if (pool.size() < static_cast<std::size_t>(workers)) pool.resize(static_cast<std::size_t>(workers));
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> finished{0};
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
                if (k >= list.size()) break;
                const std::size_t i = list[k];
                own.base = from + static_cast<int>(span * finished.load() / list.size());
                own.span = 0;
                std::vector<PlacedLine> tried;
                const bool read = ReadCardLine(*recogniser, picture, found[i], *allMarks[found[i].inverted], radians,
                                               lean[i], own, best[i], bestScore[i], measured[i], tried);
                // A line read again that is now read stands as that reading left it.
                if (bestScore[i] >= 0) unkeptOf[i] = std::move(tried);
                else std::move(tried.begin(), tried.end(), std::back_inserter(unkeptOf[i]));
                const std::size_t count = ++finished;
                if (!read || (worker == 0 && !own.Report(from + static_cast<int>(span * count / list.size())))) {
                    cancelled = true;
                }
            }
        }
        return !cancelled.load();
    };
    if (!readLines(toRead, 5, 90)) return false;

    // A card photographed from the side leans the letters of all its lines
    // alike, and the lean shows clearly only on some (digits, upright
    // capitals). A long line none of whose readings was kept, and which
    // showed no lean of its own, is read again leaning as those lines lean.
    std::vector<double> leans;
    for (const std::size_t i : toRead) {
        if (measured[i] != 0) leans.push_back(measured[i]);
    }
    if (leans.size() >= kMinLeaningLines) {
        std::nth_element(leans.begin(), leans.begin() + leans.size() / 2, leans.end());
        std::vector<std::size_t> again;
        for (const std::size_t i : toRead) {
            if (bestScore[i] >= 0 || measured[i] != 0) continue;
            if (boxes[i].Width() < kMinLongLine * MedianHeight(found[i].letters)) continue;
            lean[i] = leans[leans.size() / 2];
            again.push_back(i);
        }
        if (!again.empty() && !readLines(again, 95, 0)) return false;
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (bestScore[i] >= 0) lines.push_back(std::move(best[i]));
        if (unkept) std::move(unkeptOf[i].begin(), unkeptOf[i].end(), std::back_inserter(*unkept));
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const PlacedLine& a, const PlacedLine& b) { return a.order < b.order; });
    return true;
}

}  // namespace plat::ocr::tess
