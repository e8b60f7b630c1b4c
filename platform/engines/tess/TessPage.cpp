// Pages: the whole picture turned square, read with its layout; light text
// on dark areas read again inverted.
#include "TessRead.h"

#include <tesseract/baseapi.h>

#include <algorithm>
#include <cmath>

namespace plat::ocr::tess {

bool ReadPage(tesseract::TessBaseAPI& api, const Grey& picture, const Request& request, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines, const std::vector<Component>* darkMarks) {
    const bool removeSkew = request.removeSkew;
    const tesseract::PageSegMode mode = request.layout == Layout::Block    ? tesseract::PSM_SINGLE_BLOCK
                                        : request.layout == Layout::Sparse ? tesseract::PSM_SPARSE_TEXT
                                                                           : tesseract::PSM_AUTO;
    std::vector<Component> found;
    if (!darkMarks) found = MarksOf(picture, false);
    const std::vector<Component>& marks = darkMarks ? *darkMarks : found;
    int letterHeight = 0;
    double skew = SkewOf(marks, &letterHeight);
    if (std::fabs(skew) < kMinSkewToTurn || !removeSkew) skew = 0;
    result.skewDegrees = skew;
    // A character built of stacked marks is as tall as all of them together.
    if (request.stackedMarks && request.layout == Layout::Page) letterHeight = MedianLetterHeight(StackedIntoCharacters(marks));
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

}  // namespace plat::ocr::tess
