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

// Syllables built like 김 (a consonant and a vowel over a final consonant)
// chain into one line once their marks are joined; letters of two lines
// set one under the other are not joined.
TEST(CardLines, StackedMarksMakeOneLineOfCharacters) {
    std::vector<Component> marks;
    for (int i = 0; i < 3; ++i) {
        const int x = 100 + 50 * i;
        marks.push_back({x, 100, x + 20, 118, 120});      // initial consonant
        marks.push_back({x + 30, 98, x + 35, 126, 110});  // vowel stroke
        marks.push_back({x + 4, 124, x + 32, 140, 200});  // final consonant
    }
    EXPECT_EQ(2u, ChainLines(marks, 0.0).size());  // two thin lines of pieces
    const std::vector<Component> characters = StackedIntoCharacters(marks);
    ASSERT_EQ(3u, characters.size());
    EXPECT_EQ(98, characters[0].top);
    EXPECT_EQ(140, characters[0].bottom);
    EXPECT_EQ(1u, ChainLines(characters, 0.0).size());

    std::vector<Component> twoLines = Letters(100, 300, 0.0);
    const std::vector<Component> below = Letters(100, 322, 0.0);
    twoLines.insert(twoLines.end(), below.begin(), below.end());
    EXPECT_EQ(twoLines.size(), StackedIntoCharacters(twoLines).size());
}
