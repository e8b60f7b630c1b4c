// Card line geometry: where a found line stands among the others.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TessPicture.h"

namespace {

using namespace plat::ocr::tess;

// Letters of a line starting at (x, top), rising `slope` pixels a pixel.
std::vector<Component> Letters(int x, int top, double slope) {
    std::vector<Component> letters;
    for (int i = 0; i < 12; ++i) {
        const int left = x + 20 * i;
        const int y = top + static_cast<int>(std::lround(slope * (left - x)));
        letters.push_back({left, y, left + 13, y + 17, 150});
    }
    return letters;
}

// Lines of a column far from the picture's left edge keep their spacing,
// whatever the slope each one is fitted with: a line that drifts by a few
// pixels does not jump above the line over it.
TEST(CardLines, ColumnLinesKeepTheirPlaceWhateverTheirSlope) {
    for (const double drift : {-0.04, 0.0, 0.04}) {
        const Strip above = StripOf(Letters(650, 300, 0.0), 0.0, 22.0);
        const Strip below = StripOf(Letters(650, 336, drift), 0.0, 22.0);
        EXPECT_NEAR(36.0, below.order - above.order, 3.0) << drift;
        EXPECT_NEAR(above.along, below.along, 2.0) << drift;
    }
}

}  // namespace
