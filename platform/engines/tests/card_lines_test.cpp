// Card line geometry: where a found line stands among the others.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TessPicture.h"

namespace {

using namespace plat::ocr::tess;
using plat::ocr::Box;

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

// Where lines rise to the right, a line low at the picture's left starts
// below zero along them; it reaches no farther than its own end, so a tall
// logo mark there does not take in the letters of a line far to its right.
TEST(CardLines, ALineStartingBelowZeroEndsWhereItsMarksEnd) {
    const double a = -18 * kPi / 180, c = std::cos(a), s = std::sin(a);
    auto at = [&](double t, double n, int w, int h) {
        const double x = t * c - n * s, y = t * s + n * c;
        return Component{static_cast<int>(std::lround(x - w / 2.0)), static_cast<int>(std::lround(y - h / 2.0)),
                         static_cast<int>(std::lround(x + w / 2.0)), static_cast<int>(std::lround(y + h / 2.0)), w * h / 2};
    };
    const Component logo = at(-125, 590, 20, 85);
    ASSERT_LT(logo.left * c + logo.top * s, 0.0);
    std::vector<Component> marks = {logo};
    for (int i = 0; i < 6; ++i) marks.push_back(at(175 + 26 * i, 590, 20, 26));
    const auto lines = ChainLines(marks, a);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(6u, lines[0].size());
}

// A white picture with dark rectangles [left, right) x [top, bottom).
Grey Drawn(int width, int height, const std::vector<Box>& boxes) {
    Grey g;
    g.width = width;
    g.height = height;
    g.px.assign(static_cast<std::size_t>(width) * height, 235);
    for (const Box& b : boxes) {
        for (int y = b.top; y < b.bottom; ++y) {
            for (int x = b.left; x < b.right; ++x) g.px[static_cast<std::size_t>(y) * width + x] = 40;
        }
    }
    return g;
}

// A stroke too thin to pass for a letter (an l or i of small print) stays in
// its line; a letter of the line above is masked out.
TEST(CardLines, MaskKeepsThinStrokesOfTheLineAndDropsItsNeighbours) {
    std::vector<Box> boxes;
    // Small letters, and one rising above them as d, h or k do.
    for (int i = 0; i < 8; ++i) boxes.push_back({20 + 16 * i, i == 2 ? 36 : 40, 28 + 16 * i, 54});
    const Box thin{152, 38, 153, 54};
    const Box above{60, 10, 68, 24};
    boxes.push_back(thin);
    boxes.push_back(above);
    const Grey picture = Drawn(240, 80, boxes);
    const std::vector<Component> marks = MarksOf(picture, false);
    std::vector<Component> letters;
    for (const Component& c : marks) {
        if (c.top >= 35 && LetterLike(c)) letters.push_back(c);
    }
    ASSERT_EQ(8u, letters.size());
    const Strip strip = StripOf(letters, 0.0, 22.0);
    Grey image = Apply(picture, strip.warp);
    MaskToLine(image, strip, letters, marks);
    int thinDark = 0, aboveDark = 0;
    for (int v = 0; v < image.height; ++v) {
        for (int u = 0; u < image.width; ++u) {
            double x = 0, y = 0;
            strip.warp.ToSource(u + 0.5, v + 0.5, x, y);
            const bool dark = image.At(u, v) < 128;
            if (x >= thin.left && x < thin.right && y >= thin.top && y < thin.bottom) thinDark += dark;
            if (x >= above.left && x < above.right && y >= above.top && y < above.bottom) aboveDark += dark;
        }
    }
    EXPECT_GT(thinDark, 0);
    EXPECT_EQ(0, aboveDark);
}

// Words run together by blur on a line leaning 15 degrees fill boxes far
// taller than their letters, so the whole line's extent reaches into the
// lines above and below; a mark belongs to the line only where the line's
// own letters beside it stand.
TEST(CardLines, LeaningWordsKeepTheirNeighbourLinesOut) {
    const double a = 15 * kPi / 180, c = std::cos(a), s = std::sin(a);
    // The box of a length x height rectangle centred at (t, n) across and along the line.
    auto word = [&](double t, double n, double length, double height) {
        const double x = t * c - n * s, y = t * s + n * c;
        const double w = length * c + height * s, h = length * s + height * c;
        return Component{static_cast<int>(std::lround(x - w / 2)), static_cast<int>(std::lround(y - h / 2)),
                         static_cast<int>(std::lround(x + w / 2)), static_cast<int>(std::lround(y + h / 2)), 400};
    };
    const std::vector<Component> letters = {word(300, 300, 120, 18), word(410, 300, 40, 18), word(520, 300, 130, 18)};
    const Strip strip = StripOf(letters, a, 22.0);
    const struct {
        const char* what;
        Component mark;
        bool belongs;
    } cases[] = {
        {"a word of the line above", word(400, 270, 60, 18), false},
        {"a word of the line below", word(400, 330, 60, 18), false},
        {"a thin stroke rising over the small letters", word(455, 297, 2, 24), true},
        {"a capital beside them", word(370, 298, 14, 22), true},
    };
    for (const auto& k : cases) EXPECT_EQ(k.belongs, NearTheLettersBeside(k.mark, strip, letters)) << k.what;
}

// A stem with a dot over it is a small i; a whole stem, a stem broken
// halfway or a stroke too small to tell are not.
TEST(CardLines, DottedStrokesAreSmallI) {
    const struct {
        const char* what;
        std::vector<Box> ink;  // within the letter's box 20..26 x 10..40
        bool dotted;
    } cases[] = {
        {"i", {{21, 10, 25, 14}, {21, 17, 25, 40}}, true},
        {"I", {{21, 10, 25, 40}}, false},
        {"a stem broken halfway", {{21, 10, 25, 24}, {21, 26, 25, 40}}, false},
        {"a stem and a mark under it", {{21, 10, 25, 14}, {21, 17, 25, 34}, {21, 37, 25, 40}}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.dotted, DottedStroke(Drawn(60, 50, c.ink), Box{20, 10, 26, 40})) << c.what;
    }
    EXPECT_FALSE(DottedStroke(Drawn(60, 50, {{21, 10, 25, 11}, {21, 13, 25, 18}}), Box{20, 10, 26, 18}));  // too small
}

// Upright strokes leaning as a card photographed from the side leans them
// are measured and set upright again through the strip; an upright line is
// left as it is.
TEST(CardLines, SlantOfLeaningStrokesIsMeasuredAndUndone) {
    for (const double lean : {-0.3, 0.0, 0.3}) {
        // Strokes 3 px wide and 20 high, tops shifted right by `lean` a row.
        Grey picture = Drawn(320, 80, {});
        std::vector<Component> letters;
        for (int i = 0; i < 14; ++i) {
            const int base = 30 + 19 * i + (i % 3) * 3;
            for (int y = 30; y < 50; ++y) {
                const int x0 = base + static_cast<int>(std::lround(lean * (50 - y)));
                for (int x = x0; x < x0 + 3; ++x) picture.px[static_cast<std::size_t>(y) * picture.width + x] = 40;
            }
            letters.push_back({base, 30, base + 2 + static_cast<int>(std::ceil(std::fabs(lean) * 20)), 49, 60});
        }
        Strip strip = StripOf(letters, 0.0, 22.0);
        const double slant = SlantOf(Apply(picture, strip.warp));
        EXPECT_NEAR(lean, slant, 0.051) << lean;
        Unslant(strip, slant);
        EXPECT_EQ(0.0, SlantOf(Apply(picture, strip.warp))) << lean;
    }
}

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

    // A rule just under the line is not a character with the line over it:
    // they are left as the marks they are.
    std::vector<Component> underlined = marks;
    underlined.push_back({100, 142, 240, 147, 700});
    EXPECT_EQ(underlined.size(), StackedIntoCharacters(underlined).size());

    std::vector<Component> twoLines = Letters(100, 300, 0.0);
    const std::vector<Component> below = Letters(100, 322, 0.0);
    twoLines.insert(twoLines.end(), below.begin(), below.end());
    EXPECT_EQ(twoLines.size(), StackedIntoCharacters(twoLines).size());
}

}  // namespace
