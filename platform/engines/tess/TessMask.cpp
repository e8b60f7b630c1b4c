// Marks around a card line judged against the line's own letters beside
// them, square to the line.
#include "TessPicture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace plat::ocr::tess {
namespace {

constexpr double kLetterBandSlack = 0.6;  // of the letters' height square to the line

struct Band {
    double t, lo, hi;  // along the line; across it, the mark's height square to the line
};

// A mark's place along the line and its extent across it: the box's height
// less what the lean of the mark's length adds to it.
Band BandOf(const Component& k, double c, double s) {
    const double x = (k.left + k.right + 1) / 2.0, y = (k.top + k.bottom + 1) / 2.0;
    const double bw = k.right - k.left + 1, bh = k.bottom - k.top + 1;
    const double ac = std::fabs(c), as = std::fabs(s);
    const double square = std::clamp((bh * ac - bw * as) / std::max(0.5, ac * ac - as * as), 0.25 * bh, bh);
    const double n = -x * s + y * c;
    return {x * c + y * s, n - square / 2, n + square / 2};
}

}  // namespace

bool NearTheLettersBeside(const Component& mark, const Strip& strip, const std::vector<Component>& letters) {
    const double c = std::cos(strip.angle), s = std::sin(strip.angle);
    const Band m = BandOf(mark, c, s);
    double lo = 1e18, hi = -1e18;
    std::vector<double> heights;
    const double reach = 2.0 * strip.median + (mark.right - mark.left + 1) / 2.0;
    for (const Component& k : letters) {
        const Band b = BandOf(k, c, s);
        if (std::fabs(b.t - m.t) > reach + (k.right - k.left + 1) / 2.0) continue;
        lo = std::min(lo, b.lo);
        hi = std::max(hi, b.hi);
        heights.push_back(b.hi - b.lo);
    }
    if (heights.empty()) return true;
    // Ascenders, capitals and descenders beside small letters.
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    const double slack = kLetterBandSlack * heights[heights.size() / 2];
    return m.lo >= lo - slack && m.hi <= hi + slack;
}

}  // namespace plat::ocr::tess
