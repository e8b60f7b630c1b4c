// A small i told from a capital I by its dot: in sans-serif print the two
// stems are one shape, and the recogniser's word choice prefers the capital
// between capitals ("RiSE" read "RISE").
#include "TessPicture.h"

#include <algorithm>

namespace plat::ocr::tess {

bool DottedStroke(const Grey& g, const Box& box) {
    const int left = std::max(0, box.left), right = std::min(g.width, box.right);
    const int top = std::max(0, box.top), bottom = std::min(g.height, box.bottom);
    const int height = bottom - top;
    if (right <= left || height < kMinDottedStrokeHeight) return false;
    // Ink: darker than halfway between the box's darkest pixel and the paper around it.
    int darkest = 255, paper = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) darkest = std::min<int>(darkest, g.At(x, y));
    }
    for (int y = std::max(0, top - 2); y < std::min(g.height, bottom + 2); ++y) {
        for (int x = std::max(0, left - 2); x < std::min(g.width, right + 2); ++x) paper = std::max<int>(paper, g.At(x, y));
    }
    if (paper - darkest < 60) return false;
    const int limit = (darkest + paper) / 2;
    std::vector<bool> inked(static_cast<std::size_t>(height));
    for (int y = top; y < bottom; ++y) {
        bool any = false;
        for (int x = left; x < right && !any; ++x) any = g.At(x, y) < limit;
        inked[static_cast<std::size_t>(y - top)] = any;
    }
    // From the top: the dot, then paper, then the stem down to the foot.
    std::size_t row = 0;
    while (row < inked.size() && !inked[row]) ++row;
    const std::size_t dotStart = row;
    while (row < inked.size() && inked[row]) ++row;
    const std::size_t dot = row - dotStart;
    const std::size_t gapStart = row;
    while (row < inked.size() && !inked[row]) ++row;
    const std::size_t gap = row - gapStart;
    const std::size_t stemStart = row;
    while (row < inked.size() && inked[row]) ++row;
    const std::size_t stem = row - stemStart;
    const std::size_t rest = static_cast<std::size_t>(std::count(inked.begin() + static_cast<std::ptrdiff_t>(row), inked.end(), true));
    return dot >= 1 && gap >= 1 && rest == 0 && dot * 3 <= stem && (dot + gap) * 4 <= static_cast<std::size_t>(height) + 4 &&
           stem * 2 >= static_cast<std::size_t>(height);
}

}  // namespace plat::ocr::tess
