// Marks of a picture: pixels darker (or lighter) than their neighbourhood,
// and their connected components. A card is read from these, so they are
// found in one pass for both ways and once per picture.
#include "TessPicture.h"

#include <algorithm>

namespace plat::ocr::tess {

void MarksBothWays(const Grey& g, int window, std::vector<std::uint8_t>* dark, std::vector<std::uint8_t>* light) {
    const int w = g.width, h = g.height, r = window / 2;
    if (dark) dark->assign(static_cast<std::size_t>(w) * h, 0);
    if (light) light->assign(static_cast<std::size_t>(w) * h, 0);
    if (w <= 0 || h <= 0) return;
    // Column sums over the window's rows, slid down the picture; each row's
    // window sums from the running sum of its columns (unsigned: only
    // differences are taken). Windows are cut at the picture's edges.
    std::vector<std::int32_t> columns(static_cast<std::size_t>(w), 0), sums(static_cast<std::size_t>(w));
    std::vector<std::int32_t> widths(static_cast<std::size_t>(w));
    std::vector<std::uint32_t> prefix(static_cast<std::size_t>(w) + 1, 0);
    for (int x = 0; x < w; ++x) widths[x] = std::min(w, x + r + 1) - std::max(0, x - r);
    int rowsIn = 0;  // rows [0, rowsIn) added, [0, rowsOut) taken away again
    int rowsOut = 0;
    for (int y = 0; y < h; ++y) {
        const int y0 = std::max(0, y - r), y1 = std::min(h, y + r + 1);
        for (; rowsIn < y1; ++rowsIn) {
            const std::uint8_t* px = &g.px[static_cast<std::size_t>(rowsIn) * w];
            for (int x = 0; x < w; ++x) columns[x] += px[x];
        }
        for (; rowsOut < y0; ++rowsOut) {
            const std::uint8_t* px = &g.px[static_cast<std::size_t>(rowsOut) * w];
            for (int x = 0; x < w; ++x) columns[x] -= px[x];
        }
        for (int x = 0; x < w; ++x) prefix[x + 1] = prefix[x] + static_cast<std::uint32_t>(columns[x]);
        for (int x = 0; x < w; ++x) {
            sums[x] = static_cast<std::int32_t>(prefix[std::min(w, x + r + 1)] - prefix[std::max(0, x - r)]);
        }
        const std::int32_t rows = y1 - y0;
        const std::uint8_t* px = &g.px[static_cast<std::size_t>(y) * w];
        // A pixel is dark below its window's mean less 12 % of it, 14 at the
        // least; compared in whole numbers over the window's area. Light is
        // the same of the picture in negative. At most 255 x 255 pixels of
        // 255, so the products stay within 32 bits.
        if (dark) {
            std::uint8_t* row = &(*dark)[static_cast<std::size_t>(y) * w];
            for (int x = 0; x < w; ++x) {
                const std::int32_t n = rows * widths[x], sum = sums[x];
                row[x] = 100 * px[x] * n < 100 * sum - std::max(1400 * n, 12 * sum);
            }
        }
        if (light) {
            std::uint8_t* row = &(*light)[static_cast<std::size_t>(y) * w];
            for (int x = 0; x < w; ++x) {
                const std::int32_t n = rows * widths[x], negative = 255 * n - sums[x];
                row[x] = 100 * (255 - px[x]) * n < 100 * negative - std::max(1400 * n, 12 * negative);
            }
        }
    }
}

std::vector<std::uint8_t> DarkMarks(const Grey& g, int window) {
    std::vector<std::uint8_t> marks;
    MarksBothWays(g, window, &marks, nullptr);
    return marks;
}

std::vector<Component> Components(const std::vector<std::uint8_t>& marks, int w, int h) {
    // Runs of marked pixels row by row, joined with the runs they touch in
    // the row above (corners too); each set's first run stands for it.
    struct Run {
        int y, x0, x1;  // [x0, x1)
    };
    if (w <= 0 || h <= 0) return {};
    std::vector<Run> runs;
    std::vector<int> parent;
    auto root = [&](int i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    int above = 0, aboveEnd = 0;  // the runs of the row above
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = &marks[static_cast<std::size_t>(y) * w];
        const int rowStart = static_cast<int>(runs.size());
        int k = above;
        for (int x = 0; x < w;) {
            if (!row[x]) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < w && row[x]) ++x;
            const int me = static_cast<int>(runs.size());
            runs.push_back({y, x0, x});
            parent.push_back(me);
            // Runs above that end left of this one's reach touch none after it.
            while (k < aboveEnd && runs[k].x1 < x0) ++k;
            for (int j = k; j < aboveEnd && runs[j].x0 <= x; ++j) {
                const int a = root(j), b = root(me);
                if (a != b) parent[std::max(a, b)] = std::min(a, b);
            }
        }
        above = rowStart;
        aboveEnd = static_cast<int>(runs.size());
    }
    // Components in the order of their first pixel, as a scan finds them.
    std::vector<int> slot(runs.size(), -1);
    std::vector<Component> out;
    for (int i = 0; i < static_cast<int>(runs.size()); ++i) {
        const Run& run = runs[i];
        const int r = root(i);
        if (slot[r] < 0) {
            slot[r] = static_cast<int>(out.size());
            out.push_back({run.x0, run.y, run.x1 - 1, run.y, 0});
        }
        Component& c = out[static_cast<std::size_t>(slot[r])];
        c.left = std::min(c.left, run.x0);
        c.right = std::max(c.right, run.x1 - 1);
        c.bottom = std::max(c.bottom, run.y);
        c.area += run.x1 - run.x0;
    }
    return out;
}

std::vector<Component> MarksOf(const Grey& g, bool inverted) {
    std::vector<std::uint8_t> marks;
    MarksBothWays(g, kMarkWindow, inverted ? nullptr : &marks, inverted ? &marks : nullptr);
    return Components(marks, g.width, g.height);
}

PictureMarks PictureMarksOf(const Grey& g) {
    std::vector<std::uint8_t> dark, light;
    MarksBothWays(g, kMarkWindow, &dark, &light);
    PictureMarks marks;
    marks.dark = Components(dark, g.width, g.height);
    marks.light = Components(light, g.width, g.height);
    marks.lightLetters = LettersAmong(g, true, marks.light);
    return marks;
}

}  // namespace plat::ocr::tess
