#include "TessAdapter.h"

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

constexpr double kPi = 3.14159265358979323846;
constexpr double kMaxSkew = 20.0;
constexpr double kMinSkewToTurn = 0.3;        // below this the picture is read as it is
constexpr double kTargetLetterHeight = 22.0;  // component height the recogniser reads best
constexpr double kMaxEnlargement = 3.0;
constexpr double kMaxLineEnlargement = 5.0;  // a card line of 5-8 px letters still reaches 30-40 px
constexpr int kMinWordConfidence = 10;
constexpr int kMinInvertedConfidence = 55;
constexpr int kMinCardWordConfidence = 20;
constexpr int kMinCardLineConfidence = 45;
constexpr int kSureLineConfidence = 90;         // a card line read this surely is not read again
constexpr int kMinLoneReadingConfidence = 60;   // a reading no other one agrees with
constexpr int kReadingsWithoutTextToGiveUp = 2; // texture, not a line
constexpr double kOffCardPaper = 0.8;           // ground this much darker than the card's is off the card
constexpr int kMaxStripWidth = 6000;
// Each worker holds a recogniser of its own; past this many the longest line
// sets the time anyway.
constexpr int kMaxCardWorkers = 8;

// The sizes and sharpening a card line is read with, in order.
struct Reading {
    double letterHeight;  // median letter height the line is scaled to
    double sharpen;
};
constexpr Reading kReadings[] = {{22.0, 0.0}, {30.0, 1.0}, {40.0, 1.0}, {40.0, 0.0}, {30.0, 0.0}};
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

// Destination (u, v) -> source: x = ax u + bx v + cx, y = ay u + by v + cy.
struct Warp {
    double ax = 1, bx = 0, cx = 0, ay = 0, by = 1, cy = 0;
    int dstWidth = 0, dstHeight = 0;

    void ToSource(double u, double v, double& x, double& y) const {
        x = ax * u + bx * v + cx;
        y = ay * u + by * v + cy;
    }
};

// Turns a whole picture square: rotates by the skew and scales, keeping it all.
Warp MakeWarp(int width, int height, double degrees, double scale) {
    Warp w;
    const double a = degrees * kPi / 180.0, c = std::cos(a), s = std::sin(a);
    w.dstWidth = static_cast<int>(std::ceil(scale * (width * std::fabs(c) + height * std::fabs(s))));
    w.dstHeight = static_cast<int>(std::ceil(scale * (width * std::fabs(s) + height * std::fabs(c))));
    w.ax = c / scale;
    w.bx = -s / scale;
    w.ay = s / scale;
    w.by = c / scale;
    const double dcx = w.dstWidth / 2.0, dcy = w.dstHeight / 2.0;
    w.cx = width / 2.0 - w.ax * dcx - w.bx * dcy;
    w.cy = height / 2.0 - w.ay * dcx - w.by * dcy;
    return w;
}

// A strip along a text line: origin, the line's direction and scale.
Warp MakeStrip(double ox, double oy, double radians, double scale, int width, int height) {
    Warp w;
    const double c = std::cos(radians), s = std::sin(radians);
    w.ax = c / scale;
    w.bx = -s / scale;
    w.ay = s / scale;
    w.by = c / scale;
    w.cx = ox;
    w.cy = oy;
    w.dstWidth = width;
    w.dstHeight = height;
    return w;
}

// Bilinear resampling; outside the source the nearest edge pixel continues.
Grey Apply(const Grey& src, const Warp& w) {
    Grey dst;
    dst.width = w.dstWidth;
    dst.height = w.dstHeight;
    dst.px.resize(static_cast<std::size_t>(dst.width) * dst.height);
    for (int v = 0; v < dst.height; ++v) {
        // Pixel centres: (u + 0.5, v + 0.5) maps to the source centre + 0.5.
        double x = w.ax * 0.5 + w.bx * (v + 0.5) + w.cx - 0.5;
        double y = w.ay * 0.5 + w.by * (v + 0.5) + w.cy - 0.5;
        std::uint8_t* out = &dst.px[static_cast<std::size_t>(v) * dst.width];
        for (int u = 0; u < dst.width; ++u, x += w.ax, y += w.ay) {
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

// Running maximum over `radius` either side, along rows (step 1) or columns.
void MaxAlong(std::vector<std::uint8_t>& px, int width, int height, int radius, bool rows) {
    const int lines = rows ? height : width, length = rows ? width : height;
    const std::size_t step = rows ? 1 : static_cast<std::size_t>(width);
    std::vector<std::uint8_t> in(static_cast<std::size_t>(length));
    std::vector<int> window(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
        const std::size_t base = rows ? static_cast<std::size_t>(l) * width : static_cast<std::size_t>(l);
        for (int i = 0; i < length; ++i) in[i] = px[base + i * step];
        int head = 0, tail = 0;  // indices of a falling run of values
        int next = 0;
        for (int i = 0; i < length; ++i) {
            for (; next < length && next <= i + radius; ++next) {
                while (tail > head && in[window[tail - 1]] <= in[next]) --tail;
                window[tail++] = next;
            }
            while (window[head] < i - radius) ++head;
            px[base + i * step] = in[window[head]];
        }
    }
}

// Evens out the lighting: every pixel over the paper's local brightness, so
// that soft text on a shaded card reads as dark on white.
Grey NormaliseLighting(const Grey& g, int radius) {
    std::vector<std::uint8_t> background = g.px;
    MaxAlong(background, g.width, g.height, radius, true);
    MaxAlong(background, g.width, g.height, radius, false);
    Grey out = g;
    for (std::size_t i = 0; i < out.px.size(); ++i) {
        const int bg = std::max<int>(background[i], 24);
        out.px[i] = static_cast<std::uint8_t>(std::min(255, g.px[i] * 255 / bg));
    }
    return out;
}

// Unsharp mask over a 3 x 3 mean.
Grey Sharpened(const Grey& g, double amount) {
    Grey out = g;
    for (int y = 1; y + 1 < g.height; ++y) {
        for (int x = 1; x + 1 < g.width; ++x) {
            int sum = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) sum += g.At(x + dx, y + dy);
            }
            const double v = g.At(x, y) + amount * (g.At(x, y) - sum / 9.0);
            out.px[static_cast<std::size_t>(y) * g.width + x] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    }
    return out;
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

// A letter, or letters run together into a word by blur.
bool TextLike(const Component& c) {
    const int cw = c.right - c.left + 1, ch = c.bottom - c.top + 1;
    return ch >= 5 && ch <= 90 && cw >= 2 && cw <= 25 * ch && c.area >= 10 && c.area * 10 >= cw * ch;
}

double ProjectionScore(const std::vector<std::pair<double, double>>& points, double degrees) {
    const double a = degrees * kPi / 180.0, s = std::sin(a), c = std::cos(a);
    std::map<int, int> bins;
    for (const auto& [x, y] : points) ++bins[static_cast<int>(std::floor((-x * s + y * c) / 2.0))];
    double score = 0;
    for (const auto& [bin, n] : bins) score += static_cast<double>(n) * n;
    return score;
}


// Dark marks of the picture (light ones when inverted) as connected components.
std::vector<Component> MarksOf(const Grey& g, bool inverted) {
    if (!inverted) return Components(DarkMarks(g, 31), g.width, g.height);
    Grey source = g;
    for (auto& p : source.px) p = static_cast<std::uint8_t>(255 - p);
    return Components(DarkMarks(source, 31), g.width, g.height);
}

// Skew of the text lines in degrees (positive: lines fall to the right), within
// +-20, from the picture's dark marks.
double SkewOf(const std::vector<Component>& marks, int* medianHeight) {
    std::vector<std::pair<double, double>> points;
    std::vector<int> heights;
    for (const Component& c : marks) {
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

double EstimateSkewOf(const Grey& g, int* medianHeight) { return SkewOf(MarksOf(g, false), medianHeight); }

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

// A word's box in the picture as the adapter read it (after any quarter turn).
struct Placed {
    std::string text;
    int confidence = 0;
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

// --- pages: the whole picture turned square, read with its layout ------------

bool ReadPage(tesseract::TessBaseAPI& api, const Grey& picture, ProgressState& progress, Result& result,
              std::vector<PlacedLine>& lines) {
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
    if (!progress.Report(5)) return false;

    std::vector<RawWord> words;
    progress.base = 5;
    progress.span = 85;
    if (!ReadWords(api, square, tesseract::PSM_AUTO, progress, words)) return false;
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

struct Letter {
    double t, n;  // along and across the text direction
    int height;
    Component c;
};

struct LineCandidate {
    std::vector<Component> letters;
    double lastT = 0, lastN = 0, lastHalfWidth = 0, height = 0;
};

// The marks that may be letters or words; light ones only on darker ground:
// the ring around a light mark is mostly darker than the mark itself (the
// paper inside a dark letter's loop is ringed by paper and stroke alike).
std::vector<Component> LettersAmong(const Grey& g, bool inverted, const std::vector<Component>& all) {
    std::vector<Component> letters;
    for (const Component& c : all) {
        if (!TextLike(c)) continue;
        if (inverted) {
            int brightest = 0;
            for (int y = c.top; y <= c.bottom; ++y) {
                for (int x = c.left; x <= c.right; ++x) brightest = std::max<int>(brightest, g.At(x, y));
            }
            const int pad = std::max(2, (c.bottom - c.top + 1) / 2);
            const int limit = brightest * 3 / 4;
            int darker = 0, count = 0;
            for (int y = std::max(0, c.top - pad); y <= std::min(g.height - 1, c.bottom + pad); ++y) {
                for (int x = std::max(0, c.left - pad); x <= std::min(g.width - 1, c.right + pad); ++x) {
                    if (y >= c.top && y <= c.bottom && x >= c.left && x <= c.right) continue;
                    darker += g.At(x, y) < limit;
                    ++count;
                }
            }
            if (count == 0 || darker * 2 < count) continue;
        }
        letters.push_back(c);
    }
    return letters;
}

// Letters chained into text lines along the skew; each line follows its own drift.
std::vector<std::vector<Component>> ChainLines(const std::vector<Component>& comps, double radians) {
    const double c = std::cos(radians), s = std::sin(radians);
    std::vector<Letter> letters;
    for (const Component& k : comps) {
        const double x = (k.left + k.right + 1) / 2.0, y = (k.top + k.bottom + 1) / 2.0;
        letters.push_back({x * c + y * s, -x * s + y * c, k.bottom - k.top + 1, k});
    }
    std::sort(letters.begin(), letters.end(), [](const Letter& a, const Letter& b) { return a.t < b.t; });
    std::vector<LineCandidate> lines;
    for (const Letter& l : letters) {
        const double halfWidth = (l.c.right - l.c.left + 1) / 2.0;
        LineCandidate* best = nullptr;
        double bestDistance = 0;
        for (LineCandidate& line : lines) {
            const double h = std::max<double>(l.height, line.height);
            const double distance = std::fabs(l.n - line.lastN);
            const double gap = (l.t - halfWidth) - (line.lastT + line.lastHalfWidth);
            if (distance > 0.6 * h || gap > 1.8 * line.height || l.height > 2.5 * line.height ||
                line.height > 3.5 * l.height) {
                continue;
            }
            if (!best || distance < bestDistance) {
                best = &line;
                bestDistance = distance;
            }
        }
        if (!best) {
            lines.emplace_back();
            best = &lines.back();
            best->height = l.height;
            best->lastN = l.n;
        } else if (l.height >= 0.6 * best->height) {
            // Only full letters steer the line: commas and stops sit low.
            best->height = 0.8 * best->height + 0.2 * l.height;
            best->lastN = 0.5 * best->lastN + 0.5 * l.n;
        }
        best->letters.push_back(l.c);
        best->lastT = std::max(best->lastT, l.t);
        best->lastHalfWidth = halfWidth;
    }
    std::vector<std::vector<Component>> out;
    for (LineCandidate& line : lines) {
        if (line.letters.size() >= 2) out.push_back(std::move(line.letters));
    }
    return out;
}

struct Strip {
    Warp warp;
    int letterHeight = 0;  // in the picture
    double order = 0;
    double angle = 0, tMin = 0, tMax = 0, nMin = 0, nMax = 0;
    int median = 0;
    double scale = 1;  // enlargement of the picture
};

Strip StripOf(const std::vector<Component>& letters, double radians, double letterTarget) {
    // The line's own slope, fitted through the letters' centres.
    double c = std::cos(radians), s = std::sin(radians);
    double st = 0, sn = 0, stt = 0, stn = 0;
    for (const Component& k : letters) {
        const double x = (k.left + k.right + 1) / 2.0, y = (k.top + k.bottom + 1) / 2.0;
        const double t = x * c + y * s, n = -x * s + y * c;
        st += t; sn += n; stt += t * t; stn += t * n;
    }
    const double count = static_cast<double>(letters.size());
    const double denominator = count * stt - st * st;
    double slope = denominator > 1e-6 ? (count * stn - st * sn) / denominator : 0;
    slope = std::clamp(slope, -0.1, 0.1);
    const double angle = radians + std::atan(slope);
    c = std::cos(angle);
    s = std::sin(angle);
    double tMin = 1e18, tMax = -1e18, nMin = 1e18, nMax = -1e18;
    std::vector<int> heights;
    for (const Component& k : letters) {
        for (const double x : {double(k.left), double(k.right + 1)}) {
            for (const double y : {double(k.top), double(k.bottom + 1)}) {
                const double t = x * c + y * s, n = -x * s + y * c;
                tMin = std::min(tMin, t); tMax = std::max(tMax, t);
                nMin = std::min(nMin, n); nMax = std::max(nMax, n);
            }
        }
        heights.push_back(k.bottom - k.top + 1);
    }
    std::sort(heights.begin(), heights.end());
    const int median = heights[heights.size() / 2];
    const int tall = heights[heights.size() * 3 / 4];
    const double scale = std::clamp(letterTarget / median, 1.0, kMaxLineEnlargement);
    const double mx = 0.8 * median + 2, my = 0.45 * median + 2;
    const double t0 = tMin - mx, n0 = nMin - my;
    Strip strip;
    strip.warp = MakeStrip(t0 * c - n0 * s, t0 * s + n0 * c, angle, scale,
                           static_cast<int>(std::ceil((tMax - tMin + 2 * mx) * scale)),
                           static_cast<int>(std::ceil((nMax - nMin + 2 * my) * scale)));
    strip.letterHeight = tall;
    strip.order = nMin;
    strip.angle = angle;
    strip.tMin = tMin;
    strip.tMax = tMax;
    strip.nMin = nMin;
    strip.nMax = nMax;
    strip.median = median;
    strip.scale = scale;
    return strip;
}

// Keeps only what belongs to the line: its letters and the marks between and
// just around them (stops, commas, accents); the neighbours' letters go.
void MaskToLine(Grey& image, const Strip& strip, const std::vector<Component>& letters,
                const std::vector<Component>& marks) {
    const double c = std::cos(strip.angle), s = std::sin(strip.angle);
    std::vector<Component> keep = letters;
    const double slack = 0.1 * strip.median;
    for (const Component& k : marks) {
        const double x = (k.left + k.right + 1) / 2.0, y = (k.top + k.bottom + 1) / 2.0;
        const double t = x * c + y * s, n = -x * s + y * c;
        if (k.bottom - k.top + 1 < 0.6 * strip.median && t >= strip.tMin - strip.median &&
            t <= strip.tMax + strip.median && n >= strip.nMin - slack && n <= strip.nMax + slack) {
            keep.push_back(k);
        }
    }
    const int pad = 1 + strip.median / 8;
    // The kept boxes painted into a mask over the strip's extent in the picture.
    int x0 = INT32_MAX, y0 = INT32_MAX, x1 = INT32_MIN, y1 = INT32_MIN;
    for (const Component& k : keep) {
        x0 = std::min(x0, k.left - pad); y0 = std::min(y0, k.top - pad);
        x1 = std::max(x1, k.right + 1 + pad); y1 = std::max(y1, k.bottom + 1 + pad);
    }
    const int mw = x1 - x0 + 1, mh = y1 - y0 + 1;
    std::vector<std::uint8_t> mask(static_cast<std::size_t>(mw) * mh, 0);
    for (const Component& k : keep) {
        for (int y = k.top - pad; y <= k.bottom + 1 + pad; ++y) {
            std::fill_n(&mask[static_cast<std::size_t>(y - y0) * mw + (k.left - pad - x0)], k.right - k.left + 2 + 2 * pad, 1);
        }
    }
    std::vector<bool> outside(image.px.size());
    std::vector<int> histogram(256, 0);
    for (int v = 0; v < image.height; ++v) {
        for (int u = 0; u < image.width; ++u) {
            double x = 0, y = 0;
            strip.warp.ToSource(u + 0.5, v + 0.5, x, y);
            const int mx = static_cast<int>(std::floor(x)) - x0, my = static_cast<int>(std::floor(y)) - y0;
            const std::size_t i = static_cast<std::size_t>(v) * image.width + u;
            outside[i] = !(mx >= 0 && my >= 0 && mx < mw && my < mh && mask[static_cast<std::size_t>(my) * mw + mx]);
            if (!outside[i]) ++histogram[image.px[i]];
        }
    }
    // Outside, the paper as it shows between the letters.
    int total = std::accumulate(histogram.begin(), histogram.end(), 0), seen = 0, paper = 255;
    for (int level = 255; level >= 0; --level) {
        seen += histogram[level];
        if (seen * 4 >= total) {
            paper = level;
            break;
        }
    }
    for (std::size_t i = 0; i < image.px.size(); ++i) {
        if (outside[i]) image.px[i] = static_cast<std::uint8_t>(paper);
    }
}

struct FoundLine {
    std::vector<Component> letters;
    bool inverted;
};

// A well-formed e-mail address (name@domain.tld) or web address (www. or
// http, then dotted names ending in letters): such a reading is evidence of
// its own, whatever the recogniser's confidence.
bool IsAddressForm(std::string_view t) {
    auto label = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
    auto domain = [&](std::string_view d) {
        const std::size_t slash = d.find('/');
        if (slash != std::string_view::npos) d = d.substr(0, slash);
        const std::size_t dot = d.rfind('.');
        if (dot == std::string_view::npos || dot == 0 || d.size() - dot - 1 < 2 || d.size() - dot - 1 > 6) return false;
        for (std::size_t i = dot + 1; i < d.size(); ++i) {
            if (!std::isalpha(static_cast<unsigned char>(d[i]))) return false;
        }
        char previous = '.';
        for (std::size_t i = 0; i < dot; ++i) {
            if (d[i] == '.' && previous == '.') return false;
            if (d[i] != '.' && !label(d[i])) return false;
            previous = d[i];
        }
        return previous != '.';
    };
    const std::size_t at = t.find('@');
    if (at != std::string_view::npos) {
        if (at == 0 || t.find('@', at + 1) != std::string_view::npos) return false;
        for (std::size_t i = 0; i < at; ++i) {
            if (!label(t[i]) && t[i] != '.' && t[i] != '_') return false;
        }
        return t.find('/') == std::string_view::npos && domain(t.substr(at + 1));
    }
    for (std::string_view prefix : {"https://", "http://"}) {
        if (t.starts_with(prefix)) t.remove_prefix(prefix.size());
    }
    return t.starts_with("www.") && domain(t.substr(4));
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
            line.along = strip.tMin;
            // The whole line one address: its words are taken as one, however unsure.
            std::string whole;
            for (const RawWord& w : words) whole += w.text;
            const bool address = words.size() >= 1 && IsAddressForm(whole);
            if (address && words.size() > 1) {
                RawWord joined = words.front();
                joined.text = whole;
                for (const RawWord& w : words) {
                    joined.box.left = std::min(joined.box.left, w.box.left);
                    joined.box.top = std::min(joined.box.top, w.box.top);
                    joined.box.right = std::max(joined.box.right, w.box.right);
                    joined.box.bottom = std::max(joined.box.bottom, w.box.bottom);
                    joined.confidence = std::min(joined.confidence, w.confidence);
                }
                words.assign(1, joined);
            }
            std::string text;
            int characters = 0, weighted = 0;
            for (const RawWord& w : words) {
                if (w.confidence < kMinCardWordConfidence && !address) continue;
                int alnum = 0;
                for (char32_t ch : DecodeUtf8(w.text)) alnum += ch >= 0x80 || std::isalnum(static_cast<int>(ch));
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

// The quarter turns (clockwise) that set a card's text upright, from its
// marks alone: letters of a line have their nearest neighbours along the
// line, which tells lying from standing text; and in upright print more
// letters rise above the small letters (capitals, b d f h k l t, digits) than
// hang below the line (g j p q y), which tells upright from upside down.
int QuarterTurnsOfCard(const Grey& g, bool& halfTurnSure) {
    halfTurnSure = false;
    std::vector<Component> marks = MarksOf(g, false);
    for (const Component& c : LettersAmong(g, true, MarksOf(g, true))) marks.push_back(c);
    std::erase_if(marks, [](const Component& c) {
        const int w = c.right - c.left + 1, h = c.bottom - c.top + 1;
        return std::max(w, h) < 6 || std::max(w, h) > 80 || c.area < 12 || c.area * 10 < w * h;
    });
    if (marks.size() < 12) return 0;

    // Nearest neighbour of a like size, searched in a grid of cells.
    constexpr int kCell = 48;
    const int cols = g.width / kCell + 1, rows = g.height / kCell + 1;
    std::vector<std::vector<int>> grid(static_cast<std::size_t>(cols) * rows);
    auto centre = [](const Component& c, double& x, double& y) {
        x = (c.left + c.right + 1) / 2.0;
        y = (c.top + c.bottom + 1) / 2.0;
    };
    for (std::size_t i = 0; i < marks.size(); ++i) {
        double x = 0, y = 0;
        centre(marks[i], x, y);
        grid[static_cast<std::size_t>(static_cast<int>(y) / kCell) * cols + static_cast<int>(x) / kCell].push_back(static_cast<int>(i));
    }
    int lying = 0, standing = 0;
    for (const Component& c : marks) {
        double x = 0, y = 0;
        centre(c, x, y);
        const double size = std::max(c.right - c.left + 1, c.bottom - c.top + 1);
        double best = 2.5 * size, dx = 0, dy = 0;
        const int cx = static_cast<int>(x) / kCell, cy = static_cast<int>(y) / kCell;
        for (int gy = std::max(0, cy - 2); gy <= std::min(rows - 1, cy + 2); ++gy) {
            for (int gx = std::max(0, cx - 2); gx <= std::min(cols - 1, cx + 2); ++gx) {
                for (const int j : grid[static_cast<std::size_t>(gy) * cols + gx]) {
                    const Component& o = marks[static_cast<std::size_t>(j)];
                    if (&o == &c) continue;
                    const double osize = std::max(o.right - o.left + 1, o.bottom - o.top + 1);
                    if (osize > 2 * size || size > 2 * osize) continue;
                    double ox = 0, oy = 0;
                    centre(o, ox, oy);
                    const double d = std::hypot(ox - x, oy - y);
                    if (d < best) {
                        best = d;
                        dx = std::fabs(ox - x);
                        dy = std::fabs(oy - y);
                    }
                }
            }
        }
        if (dx > 2 * dy) ++lying;
        else if (dy > 2 * dx) ++standing;
    }
    int quarters = standing > lying ? 1 : 0;
    for (Component& c : marks) {
        if (quarters == 1) c = {g.height - 1 - c.bottom, c.left, g.height - 1 - c.top, c.right, c.area};
    }

    // Rising against hanging letters, line by line along the skew.
    const double radians = SkewOf(marks, nullptr) * kPi / 180.0;
    const double cs = std::cos(radians), sn = std::sin(radians);
    int rising = 0, hanging = 0;
    for (const auto& line : ChainLines(marks, radians)) {
        if (line.size() < 4) continue;
        std::vector<double> tops, bottoms, heights;
        for (const Component& k : line) {
            const double x = (k.left + k.right + 1) / 2.0;
            tops.push_back(-x * sn + k.top * cs);
            bottoms.push_back(-x * sn + (k.bottom + 1) * cs);
            heights.push_back(k.bottom - k.top + 1);
        }
        auto median = [](std::vector<double> v) {
            std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
            return v[v.size() / 2];
        };
        const double top = median(tops), bottom = median(bottoms), h = median(heights);
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (heights[i] < 0.6 * h) continue;  // stops, commas, hyphens
            rising += tops[i] < top - 0.25 * h && bottoms[i] < bottom + 0.12 * h;
            hanging += bottoms[i] > bottom + 0.25 * h && tops[i] > top - 0.12 * h;
        }
    }
    if (hanging > rising) quarters += 2;
    // Few rising and hanging letters, or nearly as many of each, leave it open.
    halfTurnSure = std::abs(rising - hanging) >= std::max(6, (rising + hanging) / 2);
    return quarters;
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
                for (char32_t ch : DecodeUtf8(w.text)) alnum += ch >= 0x80 || std::isalnum(static_cast<int>(ch));
                score[turned] += static_cast<long>(alnum) * w.confidence;
            }
        }
    }
    better = score[1] > score[0];
    return true;
}

bool ReadCard(tesseract::TessBaseAPI& api, const std::string& languages, const Grey& picture, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines) {
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
        if (request.layout == Layout::Card) {
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
        } else {
            result.quarterTurns = DetectQuarterTurns(picture);
            picture = TurnQuarters(picture, result.quarterTurns);
        }
    }
    std::vector<PlacedLine> placed;
    const bool read = request.layout == Layout::Card ? ReadCard(*api, request.languages, picture, progress, result, placed)
                                                     : ReadPage(*api, picture, progress, result, placed);
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
            line.words.push_back({w.text, ToCaller(w, result.quarterTurns, pictureW, pictureH, area), w.confidence});
        }
        line.box = line.words.front().box;
        for (const Word& w : line.words) {
            line.box.left = std::min(line.box.left, w.box.left);
            line.box.top = std::min(line.box.top, w.box.top);
            line.box.right = std::max(line.box.right, w.box.right);
            line.box.bottom = std::max(line.box.bottom, w.box.bottom);
        }
        result.lines.push_back(std::move(line));
    }
    progress.Report(100);
    return result;
}

}  // namespace plat::ocr
