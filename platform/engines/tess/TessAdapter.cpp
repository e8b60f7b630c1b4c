#include "TessAdapter.h"

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>

namespace plat::ocr {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxSkew = 20.0;
constexpr double kMinSkewToTurn = 0.3;        // below this the picture is read as it is
constexpr double kTargetLetterHeight = 22.0;  // component height the recogniser reads best
constexpr double kMaxEnlargement = 3.0;
constexpr int kMinWordConfidence = 10;
constexpr int kMinInvertedConfidence = 55;
constexpr int kSourceDpi = 300;

struct Grey {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> px;
    std::uint8_t At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
};

Grey Copy(const GreyView& view, const Box& area) {
    Grey g;
    g.width = area.Width();
    g.height = area.Height();
    g.px.resize(static_cast<std::size_t>(g.width) * g.height);
    for (int y = 0; y < g.height; ++y) {
        const std::uint8_t* row = view.pixels + static_cast<std::size_t>(area.top + y) * view.stride + area.left;
        std::copy(row, row + g.width, g.px.begin() + static_cast<std::ptrdiff_t>(y) * g.width);
    }
    return g;
}

// Turns by clockwise quarters.
Grey TurnQuarters(const Grey& src, int quarters) {
    quarters = ((quarters % 4) + 4) % 4;
    if (quarters == 0) return src;
    Grey dst;
    dst.width = quarters == 2 ? src.width : src.height;
    dst.height = quarters == 2 ? src.height : src.width;
    dst.px.resize(src.px.size());
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            int nx = 0, ny = 0;
            if (quarters == 1) { nx = src.height - 1 - y; ny = x; }
            else if (quarters == 2) { nx = src.width - 1 - x; ny = src.height - 1 - y; }
            else { nx = y; ny = src.width - 1 - x; }
            dst.px[static_cast<std::size_t>(ny) * dst.width + nx] = src.At(x, y);
        }
    }
    return dst;
}

// A point of the turned picture back in the picture before the turn.
void UnturnPoint(double& x, double& y, int quarters, int srcWidth, int srcHeight) {
    const double tx = x, ty = y;
    if (quarters == 1) { x = ty; y = srcHeight - tx; }
    else if (quarters == 2) { x = srcWidth - tx; y = srcHeight - ty; }
    else if (quarters == 3) { x = srcWidth - ty; y = tx; }
}

// Square-up warp: destination (u, v) -> source, rotating by the skew and scaling.
struct Warp {
    double angle = 0;  // radians, the skew of the source lines
    double scale = 1;
    double srcCx = 0, srcCy = 0, dstCx = 0, dstCy = 0;
    int dstWidth = 0, dstHeight = 0;

    void ToSource(double u, double v, double& x, double& y) const {
        const double rx = (u - dstCx) / scale, ry = (v - dstCy) / scale;
        x = std::cos(angle) * rx - std::sin(angle) * ry + srcCx;
        y = std::sin(angle) * rx + std::cos(angle) * ry + srcCy;
    }
};

Warp MakeWarp(int width, int height, double degrees, double scale) {
    Warp w;
    w.angle = degrees * kPi / 180.0;
    w.scale = scale;
    const double c = std::fabs(std::cos(w.angle)), s = std::fabs(std::sin(w.angle));
    w.dstWidth = static_cast<int>(std::ceil(scale * (width * c + height * s)));
    w.dstHeight = static_cast<int>(std::ceil(scale * (width * s + height * c)));
    w.srcCx = width / 2.0;
    w.srcCy = height / 2.0;
    w.dstCx = w.dstWidth / 2.0;
    w.dstCy = w.dstHeight / 2.0;
    return w;
}

// Bilinear resampling; outside the source the nearest edge pixel continues.
Grey Apply(const Grey& src, const Warp& w) {
    Grey dst;
    dst.width = w.dstWidth;
    dst.height = w.dstHeight;
    dst.px.resize(static_cast<std::size_t>(dst.width) * dst.height);
    const double ca = std::cos(w.angle) / w.scale, sa = std::sin(w.angle) / w.scale;
    for (int v = 0; v < dst.height; ++v) {
        const double ry = v + 0.5 - w.dstCy;
        double x = ca * (0.5 - w.dstCx) - sa * ry + w.srcCx - 0.5;
        double y = sa * (0.5 - w.dstCx) + ca * ry + w.srcCy - 0.5;
        std::uint8_t* out = &dst.px[static_cast<std::size_t>(v) * dst.width];
        for (int u = 0; u < dst.width; ++u, x += ca, y += sa) {
            const double cx = std::clamp(x, 0.0, src.width - 1.0), cy = std::clamp(y, 0.0, src.height - 1.0);
            const int x0 = static_cast<int>(cx), y0 = static_cast<int>(cy);
            const int x1 = std::min(x0 + 1, src.width - 1), y1 = std::min(y0 + 1, src.height - 1);
            const double fx = cx - x0, fy = cy - y0;
            const double top = src.At(x0, y0) * (1 - fx) + src.At(x1, y0) * fx;
            const double bottom = src.At(x0, y1) * (1 - fx) + src.At(x1, y1) * fx;
            out[u] = static_cast<std::uint8_t>(top * (1 - fy) + bottom * fy + 0.5);
        }
    }
    return dst;
}

// Dark-on-light marks by a local mean threshold.
std::vector<std::uint8_t> DarkMarks(const Grey& g, int window) {
    const int w = g.width, h = g.height;
    std::vector<std::uint64_t> sum(static_cast<std::size_t>(w + 1) * (h + 1), 0);
    for (int y = 0; y < h; ++y) {
        std::uint64_t row = 0;
        for (int x = 0; x < w; ++x) {
            row += g.At(x, y);
            sum[static_cast<std::size_t>(y + 1) * (w + 1) + x + 1] = sum[static_cast<std::size_t>(y) * (w + 1) + x + 1] + row;
        }
    }
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(w) * h, 0);
    const int r = window / 2;
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::max(0, x - r), x1 = std::min(w, x + r + 1);
            const std::uint64_t s = sum[static_cast<std::size_t>(y1) * (w + 1) + x1] - sum[static_cast<std::size_t>(y0) * (w + 1) + x1] -
                                    sum[static_cast<std::size_t>(y1) * (w + 1) + x0] + sum[static_cast<std::size_t>(y0) * (w + 1) + x0];
            const double mean = static_cast<double>(s) / ((y1 - y0) * (x1 - x0));
            marks[static_cast<std::size_t>(y) * w + x] = g.At(x, y) < mean - std::max(14.0, 0.12 * mean);
        }
    }
    return marks;
}

struct Component {
    int left, top, right, bottom, area;
};

std::vector<Component> Components(const std::vector<std::uint8_t>& marks, int w, int h) {
    std::vector<std::uint8_t> seen(marks.size(), 0);
    std::vector<int> stack;
    std::vector<Component> out;
    for (int start = 0; start < w * h; ++start) {
        if (!marks[start] || seen[start]) continue;
        Component c{start % w, start / w, start % w, start / w, 0};
        stack.push_back(start);
        seen[start] = 1;
        while (!stack.empty()) {
            const int p = stack.back();
            stack.pop_back();
            const int x = p % w, y = p / w;
            ++c.area;
            c.left = std::min(c.left, x); c.right = std::max(c.right, x);
            c.top = std::min(c.top, y); c.bottom = std::max(c.bottom, y);
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                    const int q = ny * w + nx;
                    if (marks[q] && !seen[q]) {
                        seen[q] = 1;
                        stack.push_back(q);
                    }
                }
            }
        }
        out.push_back(c);
    }
    return out;
}

bool LetterLike(const Component& c) {
    const int cw = c.right - c.left + 1, ch = c.bottom - c.top + 1;
    return ch >= 5 && ch <= 90 && cw >= 2 && cw <= 3 * ch && c.area >= 10 && c.area * 10 >= cw * ch;
}

double ProjectionScore(const std::vector<std::pair<double, double>>& points, double degrees) {
    const double a = degrees * kPi / 180.0, s = std::sin(a), c = std::cos(a);
    std::map<int, int> bins;
    for (const auto& [x, y] : points) ++bins[static_cast<int>(std::floor((-x * s + y * c) / 2.0))];
    double score = 0;
    for (const auto& [bin, n] : bins) score += static_cast<double>(n) * n;
    return score;
}

Grey FromView(const GreyView& view) {
    return Copy(view, Box{0, 0, view.width, view.height});
}

double EstimateSkewOf(const Grey& g, int* medianHeight) {
    const auto marks = DarkMarks(g, 31);
    std::vector<std::pair<double, double>> points;
    std::vector<int> heights;
    for (const Component& c : Components(marks, g.width, g.height)) {
        if (!LetterLike(c)) continue;
        points.emplace_back((c.left + c.right) / 2.0, c.bottom);
        heights.push_back(c.bottom - c.top + 1);
    }
    if (medianHeight) {
        *medianHeight = 0;
        if (!heights.empty()) {
            std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
            *medianHeight = heights[heights.size() / 2];
        }
    }
    if (points.size() < 8) return 0;
    double best = 0, bestScore = -1;
    for (double a = -kMaxSkew; a <= kMaxSkew + 1e-9; a += 0.5) {
        const double s = ProjectionScore(points, a);
        if (s > bestScore) { bestScore = s; best = a; }
    }
    const double coarse = best;
    for (double a = coarse - 0.5; a <= coarse + 0.5 + 1e-9; a += 0.1) {
        const double s = ProjectionScore(points, a);
        if (s > bestScore) { bestScore = s; best = a; }
    }
    return best;
}

// --- recognisers ---------------------------------------------------------

std::mutex g_mutex;  // one recognition at a time over the cached recognisers
std::map<std::string, std::unique_ptr<tesseract::TessBaseAPI>> g_recognizers;

tesseract::TessBaseAPI* RecognizerFor(const std::string& languages) {
    auto& slot = g_recognizers[languages];
    if (!slot) {
        auto api = std::make_unique<tesseract::TessBaseAPI>();
        if (api->Init(nullptr, languages.c_str(), tesseract::OEM_LSTM_ONLY) != 0) {
            g_recognizers.erase(languages);
            return nullptr;
        }
        api->SetVariable("debug_file", "/dev/null");
        slot = std::move(api);
    }
    return slot.get();
}

struct ProgressState {
    const std::function<bool(int)>* callback = nullptr;
    tesseract::ETEXT_DESC* monitor = nullptr;
    int base = 0;
    int span = 100;
    int last = -1;
    bool cancelled = false;

    bool Report(int percent) {
        if (cancelled) return false;
        if (percent != last) {
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

bool Overlaps(const Box& a, const Box& b) {
    const int w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 && w * h * 3 > std::min(a.Width() * a.Height(), b.Width() * b.Height());
}

// Large dark areas holding light marks: light text on dark ground.
std::vector<Box> DarkAreas(const Grey& g) {
    constexpr int kBlock = 16;
    const int bw = g.width / kBlock, bh = g.height / kBlock;
    if (bw < 4 || bh < 2) return {};
    std::vector<double> means(static_cast<std::size_t>(bw) * bh, 0);
    double total = 0;
    for (int by = 0; by < bh; ++by) {
        for (int bx = 0; bx < bw; ++bx) {
            int s = 0;
            for (int y = 0; y < kBlock; ++y) {
                for (int x = 0; x < kBlock; ++x) s += g.At(bx * kBlock + x, by * kBlock + y);
            }
            means[static_cast<std::size_t>(by) * bw + bx] = s / double(kBlock * kBlock);
            total += means[static_cast<std::size_t>(by) * bw + bx];
        }
    }
    const double overall = total / means.size();
    std::vector<std::uint8_t> dark(means.size());
    for (std::size_t i = 0; i < means.size(); ++i) dark[i] = means[i] < std::min(110.0, overall * 0.6);
    std::vector<Box> areas;
    for (const Component& c : Components(dark, bw, bh)) {
        if (c.area < 12 || c.right - c.left < 3) continue;
        Box box{c.left * kBlock, c.top * kBlock, (c.right + 1) * kBlock, (c.bottom + 1) * kBlock};
        // Light strokes: pixels far above the area's own level.
        long light = 0, count = 0, sum = 0;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) sum += g.At(x, y), ++count;
        }
        const double level = double(sum) / count;
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) light += g.At(x, y) > level + 70;
        }
        if (light * 100 >= count * 2 && light * 100 <= count * 45) areas.push_back(box);
    }
    return areas;
}

Box MapBack(const Box& b, const Warp& warp, int quarters, int turnedFromW, int turnedFromH, int ox, int oy,
            const GreyView& view) {
    double xs[4], ys[4];
    const double cu[4] = {double(b.left), double(b.right), double(b.left), double(b.right)};
    const double cv[4] = {double(b.top), double(b.top), double(b.bottom), double(b.bottom)};
    for (int i = 0; i < 4; ++i) {
        warp.ToSource(cu[i], cv[i], xs[i], ys[i]);
        UnturnPoint(xs[i], ys[i], quarters, turnedFromW, turnedFromH);
    }
    Box out;
    out.left = std::clamp(static_cast<int>(std::floor(*std::min_element(xs, xs + 4))) + ox, 0, view.width);
    out.right = std::clamp(static_cast<int>(std::ceil(*std::max_element(xs, xs + 4))) + ox, 0, view.width);
    out.top = std::clamp(static_cast<int>(std::floor(*std::min_element(ys, ys + 4))) + oy, 0, view.height);
    out.bottom = std::clamp(static_cast<int>(std::ceil(*std::max_element(ys, ys + 4))) + oy, 0, view.height);
    return out;
}

int DetectQuarterTurns(const Grey& g) {
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
    // The picture is turned `degrees` clockwise; turning it back is the rest of a full turn.
    return ((360 - degrees) / 90) % 4;
}

}  // namespace

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
        if (i + n > s.size()) n = 1;
        char32_t cp = n == 1 ? c : n == 2 ? (c & 0x1F) : n == 3 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

double EstimateSkew(const GreyView& image, int* medianLetterHeight) {
    if (!image.pixels || image.width <= 0 || image.height <= 0) return 0;
    return EstimateSkewOf(FromView(image), medianLetterHeight);
}

void ReleaseRecognizers() {
    std::lock_guard lock(g_mutex);
    g_recognizers.clear();
}

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
        result.quarterTurns = DetectQuarterTurns(picture);
        picture = TurnQuarters(picture, result.quarterTurns);
    }
    int letterHeight = 0;
    double skew = EstimateSkewOf(picture, &letterHeight);
    if (std::fabs(skew) < kMinSkewToTurn) skew = 0;
    result.skewDegrees = skew;
    double scale = 1.0;
    if (letterHeight > 0 && letterHeight < kTargetLetterHeight) {
        scale = std::min(kMaxEnlargement, kTargetLetterHeight / letterHeight);
    }
    const Warp warp = MakeWarp(picture.width, picture.height, skew, scale);
    const Grey square = (skew == 0 && scale == 1.0) ? picture : Apply(picture, warp);
    if (!progress.Report(5)) {
        result.status = Status::Cancelled;
        return result;
    }

    const auto mode = request.layout == Layout::Card ? tesseract::PSM_SPARSE_TEXT : tesseract::PSM_AUTO;
    std::vector<RawWord> words;
    progress.base = 5;
    progress.span = 85;
    if (!ReadWords(*api, square, mode, progress, words)) {
        result.status = Status::Cancelled;
        return result;
    }
    std::vector<bool> invertedWord(words.size(), false);

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
        if (!ReadWords(*api, crop, mode, progress, found)) {
            result.status = Status::Cancelled;
            return result;
        }
        for (RawWord& w : found) {
            w.box.left += b.left; w.box.right += b.left;
            w.box.top += b.top; w.box.bottom += b.top;
            if (w.confidence < kMinInvertedConfidence) continue;
            const bool taken = std::any_of(words.begin(), words.end(), [&](const RawWord& o) {
                return o.confidence >= kMinWordConfidence && Overlaps(o.box, w.box);
            });
            if (taken) continue;
            words.push_back(std::move(w));
            invertedWord.push_back(true);
        }
    }

    // Group into lines; a wide gap inside a line starts a new one (two columns side by side).
    for (std::size_t i = 0; i < words.size(); ++i) {
        const RawWord& w = words[i];
        if (w.confidence < kMinWordConfidence) continue;
        bool newLine = result.lines.empty() || w.lineStart || invertedWord[i] != result.lines.back().inverted;
        if (!newLine && i > 0) {
            const RawWord& prev = words[i - 1];
            const int h = std::max(8, std::max(prev.box.Height(), w.box.Height()));
            if (w.box.left - prev.box.right > 3 * h || w.box.left < prev.box.left) newLine = true;
        }
        if (newLine) {
            result.lines.emplace_back();
            result.lines.back().inverted = invertedWord[i];
        }
        Line& line = result.lines.back();
        Word out;
        out.text = w.text;
        out.confidence = w.confidence;
        out.box = MapBack(w.box, warp, result.quarterTurns, pictureW, pictureH, area.left, area.top, view);
        line.words.push_back(std::move(out));
        line.textHeight = std::max(line.textHeight, static_cast<int>(std::lround(w.box.Height() / scale)));
    }
    for (Line& line : result.lines) {
        line.box = line.words.front().box;
        for (const Word& w : line.words) {
            line.box.left = std::min(line.box.left, w.box.left);
            line.box.top = std::min(line.box.top, w.box.top);
            line.box.right = std::max(line.box.right, w.box.right);
            line.box.bottom = std::max(line.box.bottom, w.box.bottom);
        }
    }
    progress.Report(100);
    return result;
}

}  // namespace plat::ocr
