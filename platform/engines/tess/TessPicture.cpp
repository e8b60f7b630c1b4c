#include "TessPicture.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <numeric>

namespace plat::ocr::tess {

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

void UnturnPoint(double& x, double& y, int quarters, int srcWidth, int srcHeight) {
    const double tx = x, ty = y;
    if (quarters == 1) { x = ty; y = srcHeight - tx; }
    else if (quarters == 2) { x = srcWidth - tx; y = srcHeight - ty; }
    else if (quarters == 3) { x = srcWidth - ty; y = tx; }
}


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

// Running maximum over `radius` either side along each row.
void MaxAlong(std::vector<std::uint8_t>& px, int width, int height, int radius) {
    std::vector<std::uint8_t> in(static_cast<std::size_t>(width));
    std::vector<int> window(static_cast<std::size_t>(width));
    for (int l = 0; l < height; ++l) {
        std::uint8_t* line = &px[static_cast<std::size_t>(l) * width];
        std::copy(line, line + width, in.begin());
        int head = 0, tail = 0;  // indices of a falling run of values
        int next = 0;
        for (int i = 0; i < width; ++i) {
            for (; next < width && next <= i + radius; ++next) {
                while (tail > head && in[window[tail - 1]] <= in[next]) --tail;
                window[tail++] = next;
            }
            while (window[head] < i - radius) ++head;
            line[i] = in[window[head]];
        }
    }
}

// Running maximum over `radius` rows either side, a whole row at a time:
// the maxima within blocks of one window's rows, from each block's start
// and from its end, give every window's from two rows (rows past the
// picture's edges count as 0, which never wins).
void MaxDown(std::vector<std::uint8_t>& px, int width, int height, int radius) {
    const int k = 2 * radius + 1, n = height + 2 * radius;
    const std::size_t w = static_cast<std::size_t>(width);
    const std::vector<std::uint8_t> zeros(w, 0);
    auto row = [&](int i) { return i < radius || i >= radius + height ? zeros.data() : &px[(i - radius) * w]; };
    std::vector<std::uint8_t> fromStart(static_cast<std::size_t>(n) * w), toEnd(static_cast<std::size_t>(n) * w);
    for (int i = 0; i < n; ++i) {
        const std::uint8_t* in = row(i);
        std::uint8_t* out = &fromStart[i * w];
        if (i % k == 0) {
            std::copy(in, in + w, out);
        } else {
            const std::uint8_t* before = out - w;
            for (std::size_t x = 0; x < w; ++x) out[x] = std::max(before[x], in[x]);
        }
    }
    for (int i = n - 1; i >= 0; --i) {
        const std::uint8_t* in = row(i);
        std::uint8_t* out = &toEnd[i * w];
        if (i % k == k - 1 || i == n - 1) {
            std::copy(in, in + w, out);
        } else {
            const std::uint8_t* after = out + w;
            for (std::size_t x = 0; x < w; ++x) out[x] = std::max(after[x], in[x]);
        }
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* a = &toEnd[y * w];
        const std::uint8_t* b = &fromStart[(y + 2 * radius) * w];
        std::uint8_t* out = &px[y * w];
        for (std::size_t x = 0; x < w; ++x) out[x] = std::max(a[x], b[x]);
    }
}

Grey NormaliseLighting(const Grey& g, int radius) {
    std::vector<std::uint8_t> background = g.px;
    MaxAlong(background, g.width, g.height, radius);
    MaxDown(background, g.width, g.height, radius);
    Grey out = g;
    for (std::size_t i = 0; i < out.px.size(); ++i) {
        const int bg = std::max<int>(background[i], 24);
        out.px[i] = static_cast<std::uint8_t>(std::min(255, g.px[i] * 255 / bg));
    }
    return out;
}

Grey Sharpened(const Grey& g, double amount, int radius) {
    radius = std::max(1, radius);
    const int w = g.width, h = g.height;
    std::vector<std::uint32_t> sum(static_cast<std::size_t>(w + 1) * (h + 1), 0);
    for (int y = 0; y < h; ++y) {
        std::uint32_t row = 0;
        for (int x = 0; x < w; ++x) {
            row += g.At(x, y);
            sum[static_cast<std::size_t>(y + 1) * (w + 1) + x + 1] = sum[static_cast<std::size_t>(y) * (w + 1) + x + 1] + row;
        }
    }
    Grey out = g;
    for (int y = radius; y + radius < h; ++y) {
        for (int x = radius; x + radius < w; ++x) {
            const std::size_t top = static_cast<std::size_t>(y - radius) * (w + 1), bottom = static_cast<std::size_t>(y + radius + 1) * (w + 1);
            const std::uint32_t box = sum[bottom + x + radius + 1] - sum[bottom + x - radius] - sum[top + x + radius + 1] + sum[top + x - radius];
            const double mean = box / double((2 * radius + 1) * (2 * radius + 1));
            const double v = g.At(x, y) + amount * (g.At(x, y) - mean);
            out.px[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
        }
    }
    return out;
}

bool LetterLike(const Component& c) {
    const int cw = c.right - c.left + 1, ch = c.bottom - c.top + 1;
    return ch >= 5 && ch <= 90 && cw >= 2 && cw <= 3 * ch && c.area >= 10 && c.area * 10 >= cw * ch;
}

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


int MedianLetterHeight(const std::vector<Component>& marks) {
    std::vector<int> heights;
    for (const Component& c : marks) {
        if (LetterLike(c)) heights.push_back(c.bottom - c.top + 1);
    }
    if (heights.empty()) return 0;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    return heights[heights.size() / 2];
}

double SkewOf(const std::vector<Component>& marks, int* medianHeight) {
    std::vector<std::pair<double, double>> points;
    for (const Component& c : marks) {
        if (LetterLike(c)) points.emplace_back((c.left + c.right) / 2.0, c.bottom);
    }
    if (medianHeight) *medianHeight = MedianLetterHeight(marks);
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


bool Overlaps(const Box& a, const Box& b) {
    const int w = std::min(a.right, b.right) - std::max(a.left, b.left);
    const int h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
    return w > 0 && h > 0 && w * h * 3 > std::min(a.Width() * a.Height(), b.Width() * b.Height());
}

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


struct Letter {
    double t, n;  // along and across the text direction
    int height;
    Component c;
};

struct LineCandidate {
    std::vector<Component> letters;
    double lastT = 0, lastN = 0, lastHalfWidth = 0, height = 0;
};

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

std::vector<Component> StackedIntoCharacters(const std::vector<Component>& marks) {
    // Marks over one another, close across, form a group (union-find).
    std::vector<std::size_t> order(marks.size()), parent(marks.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return marks[a].left < marks[b].left; });
    auto root = [&](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (std::size_t p = 0; p < order.size(); ++p) {
        const Component& a = marks[order[p]];
        for (std::size_t q = p + 1; q < order.size() && marks[order[q]].left <= a.right; ++q) {
            const Component& b = marks[order[q]];
            const int overlap = std::min(a.right, b.right) - std::max(a.left, b.left) + 1;
            const int narrower = std::min(a.right - a.left, b.right - b.left) + 1;
            const int gap = std::max(a.top, b.top) - std::min(a.bottom, b.bottom) - 1;
            const int lower = std::min(a.bottom - a.top, b.bottom - b.top) + 1;
            if (overlap * 2 >= narrower && gap <= lower / 2) parent[root(order[q])] = root(order[p]);
        }
    }
    std::map<std::size_t, Component> groups;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Component& m = marks[i];
        auto [it, fresh] = groups.try_emplace(root(i), m);
        if (!fresh) {
            Component& g = it->second;
            g = {std::min(g.left, m.left), std::min(g.top, m.top), std::max(g.right, m.right),
                 std::max(g.bottom, m.bottom), g.area + m.area};
        }
    }
    // A character is about as tall as it is wide: letters of two lines one
    // over the other make a group twice as tall, a line over a rule one far
    // wider, and their marks stay apart.
    std::vector<Component> out;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        const Component& g = groups.at(root(i));
        const int h = g.bottom - g.top + 1, w = g.right - g.left + 1;
        if (h * 2 > w * 3 || w > 2 * h) out.push_back(marks[i]);
        else if (root(i) == i) out.push_back(g);
    }
    return out;
}

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
            best->lastT = l.t;  // below zero where lines rise to the right
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
    // Where the line starts, in the picture's frame: every line is placed in
    // the same frame, whatever its own slope, so that lines of one column
    // far from the picture's edge still stand one under the other.
    double tStart = 1e18;
    for (const Component& k : letters) tStart = std::min(tStart, k.left * c + (k.top + k.bottom + 1) / 2.0 * s);
    const double centreAtStart = count > 0 ? sn / count + slope * (tStart - st / count) : 0;
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
    strip.order = centreAtStart - median / 2.0;
    strip.along = tStart;
    strip.angle = angle;
    strip.tMin = tMin;
    strip.tMax = tMax;
    strip.nMin = nMin;
    strip.nMax = nMax;
    strip.median = median;
    strip.scale = scale;
    return strip;
}

namespace {

// std::lround of a column, without the library call the loop below would
// make for every ink pixel at every slant tried.
int RoundHalfAway(double v) {
    const int whole = static_cast<int>(v);  // towards zero
    const double rest = v - whole;
    return whole + (rest >= 0.5) - (rest <= -0.5);
}

}  // namespace

double SlantOf(const Grey& g, double minGain) {
    if (g.width < 8 || g.height < 8) return 0;
    // Ink: darker than halfway between the darkest pixels and the paper.
    std::vector<int> histogram(256, 0);
    for (const std::uint8_t p : g.px) ++histogram[p];
    const int total = static_cast<int>(g.px.size());
    int dark = 0, paper = 255, seen = 0;
    for (int level = 0; level < 256; ++level) {
        seen += histogram[level];
        if (seen * 50 >= total) {
            dark = level;
            break;
        }
    }
    seen = 0;
    for (int level = 255; level >= 0; --level) {
        seen += histogram[level];
        if (seen * 2 >= total) {
            paper = level;
            break;
        }
    }
    if (paper - dark < 40) return 0;
    const int limit = (dark + paper) / 2;
    std::vector<std::pair<int, int>> ink;
    for (int y = 0; y < g.height; ++y) {
        for (int x = 0; x < g.width; ++x) {
            if (g.At(x, y) < limit) ink.emplace_back(x, y);
        }
    }
    if (ink.size() < 20) return 0;
    // Upright strokes pile their ink into few columns when the slant is
    // undone: the columns' counts squared add up to more.
    const double middle = g.height / 2.0;
    const int margin = g.height;
    const std::size_t columnCount = static_cast<std::size_t>(g.width + 2 * margin);
    std::vector<int> count(columnCount);
    auto score = [&](double slant) {
        std::fill(count.begin(), count.end(), 0);
        for (const auto& [x, y] : ink) {
            const int column = std::clamp(RoundHalfAway(x + slant * (y - middle)) + margin, 0,
                                          static_cast<int>(columnCount) - 1);
            ++count[static_cast<std::size_t>(column)];
        }
        double sum = 0;
        for (const int n : count) sum += static_cast<double>(n) * n;
        return sum;
    };
    const double upright = score(0);
    double best = 0, bestScore = upright;
    for (int step = -14; step <= 14; ++step) {
        const double slant = step * 0.05;
        const double value = score(slant);
        if (value > bestScore) {
            bestScore = value;
            best = slant;
        }
    }
    // A small lean reads as well as upright: only a clear one is undone.
    return bestScore > minGain * upright ? best : 0;
}

void Unslant(Strip& strip, double slant) {
    // The picture seen at (u - slant (v - middle), v) is drawn at (u, v).
    Warp& w = strip.warp;
    const double middle = w.dstHeight / 2.0;
    w.bx -= w.ax * slant;
    w.by -= w.ay * slant;
    w.cx += w.ax * slant * middle;
    w.cy += w.ay * slant * middle;
}

void MaskToLine(Grey& image, const Strip& strip, const std::vector<Component>& letters,
                const std::vector<Component>& marks) {
    const double c = std::cos(strip.angle), s = std::sin(strip.angle);
    std::vector<Component> keep = letters;
    const double slack = 0.1 * strip.median;
    for (const Component& k : marks) {
        const double x = (k.left + k.right + 1) / 2.0, y = (k.top + k.bottom + 1) / 2.0;
        const double t = x * c + y * s, n = -x * s + y * c;
        if (t < strip.tMin - strip.median || t > strip.tMax + strip.median) continue;
        bool small = k.bottom - k.top + 1 < 0.6 * strip.median && n >= strip.nMin - slack && n <= strip.nMax + slack;
        // Strokes too thin to pass for letters (l, i, 1 in small print) but
        // standing wholly within the line belong to it.
        double lo = 1e18, hi = -1e18;
        for (const double cx : {double(k.left), double(k.right + 1)}) {
            for (const double cy : {double(k.top), double(k.bottom + 1)}) {
                lo = std::min(lo, -cx * s + cy * c);
                hi = std::max(hi, -cx * s + cy * c);
            }
        }
        const bool within = lo >= strip.nMin - slack && hi <= strip.nMax + slack;
        if (small || (within && NearTheLettersBeside(k, strip, letters))) keep.push_back(k);
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

namespace {

// A mark of a letter's size and fill, for the orientation tests.
bool OrientationMark(const Component& c) {
    const int w = c.right - c.left + 1, h = c.bottom - c.top + 1;
    return std::max(w, h) >= 6 && std::max(w, h) <= 80 && c.area >= 12 && c.area * 10 >= w * h;
}

// Marks that may be letters, dark and light, for the orientation tests.
std::vector<Component> OrientationMarks(const PictureMarks& found) {
    std::vector<Component> marks = found.dark;
    marks.insert(marks.end(), found.lightLetters.begin(), found.lightLetters.end());
    std::erase_if(marks, [](const Component& c) { return !OrientationMark(c); });
    return marks;
}

// Marks whose nearest neighbour of a like size lies beside them, and marks
// whose nearest one stands over or under them.
void CountNeighbours(const std::vector<Component>& marks, int width, int height, int& beside, int& over) {
    beside = over = 0;
    // Nearest neighbour of a like size, searched in a grid of cells.
    constexpr int kCell = 48;
    const int cols = width / kCell + 1, rows = height / kCell + 1;
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
        if (dx > 2 * dy) ++beside;
        else if (dy > 2 * dx) ++over;
    }
}

}  // namespace

Component TurnBox(const Component& c, int quarters, int width, int height) {
    switch (((quarters % 4) + 4) % 4) {
        case 1: return {height - 1 - c.bottom, c.left, height - 1 - c.top, c.right, c.area};
        case 2: return {width - 1 - c.right, height - 1 - c.bottom, width - 1 - c.left, height - 1 - c.top, c.area};
        case 3: return {c.top, width - 1 - c.right, c.bottom, width - 1 - c.left, c.area};
    }
    return c;
}

int StandingQuarterTurns(const Grey& g, bool& sure, std::vector<Component>* darkMarks) {
    // Characters built of stacked marks (Hangul, Han) are joined first: their
    // marks' neighbours lie over one another as often as beside. Lines
    // running down the picture keep their marks apart, so the marks turned a
    // quarter are asked too. Light marks on dark ground only when the dark
    // ones leave it open.
    std::vector<Component> marks = MarksOf(g, false);
    if (darkMarks) *darkMarks = marks;
    for (const bool withLight : {false, true}) {
        if (withLight) {
            for (const Component& c : LettersAmong(g, true, MarksOf(g, true))) marks.push_back(c);
        }
        std::vector<Component> kept = marks;
        std::erase_if(kept, [](const Component& c) { return !OrientationMark(c); });
        for (const int quarters : {0, 1}) {
            if (quarters == 1) {
                for (Component& c : kept) c = TurnBox(c, 1, g.width, g.height);
            }
            int beside = 0, over = 0;
            CountNeighbours(StackedIntoCharacters(kept), quarters ? g.height : g.width, quarters ? g.width : g.height,
                            beside, over);
            if (beside >= 12 && beside >= 2 * over) {
                sure = true;
                return quarters;
            }
        }
    }
    sure = false;
    return 0;
}

int QuarterTurnsOfCard(const Grey& g, const PictureMarks& found, bool& halfTurnSure) {
    halfTurnSure = false;
    std::vector<Component> marks = OrientationMarks(found);
    if (marks.size() < 12) return 0;
    int lying = 0, standing = 0;
    CountNeighbours(marks, g.width, g.height, lying, standing);
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

}  // namespace plat::ocr::tess
