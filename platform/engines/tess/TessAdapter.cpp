#include "TessAdapter.h"

#include "TessRead.h"

#include <omp.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <mutex>

namespace plat::ocr {

using namespace tess;

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

    std::lock_guard lock(RecognitionMutex());
    // The caller's OpenMP settings are its own again after the recognition.
    struct RestoreSettings {
        bool dynamic = omp_get_dynamic();
        int levels = omp_get_max_active_levels();
        ~RestoreSettings() {
            omp_set_dynamic(dynamic);
            omp_set_max_active_levels(levels);
        }
    } restore;
    // The recogniser's worker threads only as the machine's load leaves room
    // for: spinning workers on busy cores slow every reading down. With one
    // thread allowed there is nothing to adjust.
    omp_set_dynamic(omp_get_thread_limit() > 1);
    // The recogniser takes dozens of small parallel steps per line, and with
    // the load asked at each one that asking costs more than the step. It is
    // asked once here: when it leaves room for one thread, every step of this
    // recognition runs alone, as it would have anyway.
    int allowed = 1;
    if (omp_get_dynamic()) {
#pragma omp parallel
        {
#pragma omp single
            allowed = omp_get_num_threads();
        }
    }
    if (omp_get_dynamic() && allowed == 1) omp_set_max_active_levels(0);
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
    // Text whose lines the marks show standing across the picture is read as
    // it stands; only a reading that is not sure is tried upside down.
    bool halfTurnByReading = false;
    std::vector<Component> darkMarks;  // of the picture as it is read, when known
    PictureMarks cardMarks;            // the same, both ways, for a card
    bool cardMarksKnown = false;
    if (request.detectOrientation) {
        bool detected = false;
        if (request.layout != Layout::Card && request.orientationByMarks) {
            // Lying text has most often been turned clockwise by the direction
            // check before the engine (it turns what it cannot tell): it is
            // turned back first.
            result.quarterTurns = StandingQuarterTurns(picture, halfTurnByReading, &darkMarks) == 1 ? 3 : 0;
            if (halfTurnByReading) {
                detected = true;
                for (Component& c : darkMarks) c = TurnBox(c, result.quarterTurns, picture.width, picture.height);
                picture = TurnQuarters(picture, result.quarterTurns);
            } else {
                darkMarks.clear();
            }
        }
        if (request.layout != Layout::Card && !detected) {
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
            cardMarks = PictureMarksOf(picture);
            result.quarterTurns = QuarterTurnsOfCard(picture, cardMarks, sure);
            if (result.quarterTurns != 0) {
                picture = TurnQuarters(picture, result.quarterTurns);
                cardMarks = PictureMarksOf(picture);
            }
            bool better = false;
            if (!sure && !HalfTurnReadsBetter(*api, picture, cardMarks.dark, progress, better)) {
                result.status = Status::Cancelled;
                return result;
            }
            if (better) {
                result.quarterTurns = (result.quarterTurns + 2) % 4;
                picture = TurnQuarters(picture, 2);
                cardMarks = PictureMarksOf(picture);
            }
            cardMarksKnown = true;
        }
    }
    std::vector<PlacedLine> placed, unkept;
    bool read = request.layout == Layout::Card ? ReadCard(*api, request, picture, progress, result, placed, {},
                                                          cardMarksKnown ? &cardMarks : nullptr, &unkept)
                                               : ReadPage(*api, picture, request, progress, result, placed,
                                                          halfTurnByReading ? &darkMarks : nullptr);
    if (read && halfTurnByReading && ReadingConfidence(placed) < kUprightReadingConfidence) {
        std::vector<Component> turnedMarks = darkMarks;
        for (Component& c : turnedMarks) c = TurnBox(c, 2, picture.width, picture.height);
        Grey turned = TurnQuarters(picture, 2);
        Result other;
        std::vector<PlacedLine> otherPlaced;
        read = ReadPage(*api, turned, request, progress, other, otherPlaced, &turnedMarks);
        if (read && ReadingConfidence(otherPlaced) > ReadingConfidence(placed)) {
            picture = std::move(turned);
            placed = std::move(otherPlaced);
            result.skewDegrees = other.skewDegrees;
            result.quarterTurns = (result.quarterTurns + 2) % 4;
        }
    }
    if (read && request.layout == Layout::Sparse) {
        // The recogniser finds most lines of a scattered layout but passes over
        // a line in much larger type (a name), or splits one into pieces and
        // drops one: the lines it left whole are found from the marks and read
        // one by one. All in reading order, top down.
        std::erase_if(placed, [](const PlacedLine& l) { return !SureLine(l); });
        std::vector<Box> known;
        for (const PlacedLine& l : placed) known.push_back(BoxOf(l));
        std::vector<PlacedLine> more;
        read = ReadCard(*api, request, picture, progress, result, more, known);
        // A line read whole stands for the pieces the layout made of it.
        for (const PlacedLine& l : more) {
            const Box whole = BoxOf(l);
            std::erase_if(placed, [&](const PlacedLine& p) { return Overlaps(BoxOf(p), whole); });
        }
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

    auto toCaller = [&](const std::vector<PlacedLine>& from, std::vector<Line>& to) {
        for (const PlacedLine& p : from) {
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
            to.push_back(std::move(line));
        }
    };
    toCaller(placed, result.lines);
    toCaller(unkept, result.unkept);
    progress.Report(100);
    return result;
}

}  // namespace plat::ocr
