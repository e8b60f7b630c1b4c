#include "TessRead.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string_view>

namespace plat::ocr::tess {

namespace {

std::mutex g_mutex;  // one recognition at a time over the cached recognisers
// Per language set, one recogniser per worker: card lines are read side by side.
std::map<std::string, std::vector<std::unique_ptr<tesseract::TessBaseAPI>>> g_recognizers;

}  // namespace

std::mutex& RecognitionMutex() { return g_mutex; }

std::vector<std::unique_ptr<tesseract::TessBaseAPI>>& RecognizerPool(const std::string& languages) {
    return g_recognizers[languages];
}

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

namespace {

bool CancelHook(void* context, int) {
    auto* state = static_cast<ProgressState*>(context);
    return !state->Report(state->base + state->span * std::clamp<int>(state->monitor->progress, 0, 100) / 100);
}

// A capital I of the word whose ink shows a dot over the stem is a small i.
void SmallIByItsDot(const tesseract::ResultIterator& word, const Grey& g, std::string& text) {
    if (text.find('I') == std::string::npos) return;
    tesseract::ResultIterator symbol(word);
    std::string spelled;
    bool changed = false;
    do {
        std::unique_ptr<char[]> piece(symbol.GetUTF8Text(tesseract::RIL_SYMBOL));
        const std::string_view s = piece ? std::string_view(piece.get()) : std::string_view();
        Box box;
        const bool small = s == "I" &&
                           symbol.BoundingBox(tesseract::RIL_SYMBOL, &box.left, &box.top, &box.right, &box.bottom) &&
                           DottedStroke(g, box);
        if (small) spelled.push_back('i');
        else spelled.append(s);
        changed |= small;
    } while (symbol.Next(tesseract::RIL_SYMBOL) && !symbol.IsAtBeginningOf(tesseract::RIL_WORD));
    if (changed && spelled.size() == text.size()) text = spelled;
}

}  // namespace

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
            SmallIByItsDot(*it, g, w.text);
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

int DetectQuarterTurns(const Grey& g, bool* sure) {
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

int CharacterWeight(char32_t ch) {
    if (IsWideScript(ch)) return 2;
    return ch >= 0x80 || std::isalnum(static_cast<int>(ch)) ? 1 : 0;
}

Box BoxOf(const PlacedLine& line) {
    Box b{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (const Placed& w : line.words) {
        b = {std::min(b.left, static_cast<int>(w.x0)), std::min(b.top, static_cast<int>(w.y0)),
             std::max(b.right, static_cast<int>(w.x1)), std::max(b.bottom, static_cast<int>(w.y1))};
    }
    return b;
}

}  // namespace plat::ocr::tess
