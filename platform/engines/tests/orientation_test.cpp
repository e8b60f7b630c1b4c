// Which way a picture's text lines run, told from its marks alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "CjkPictures.h"
#include "TessPicture.h"
#include "TestPictures.h"

namespace {

using namespace plat::ocr::tess;

Grey Drawn(const cardgen::Picture& picture) { return {picture.width, picture.height, picture.px}; }

// A photographed page turned either way and upside down, and drawn Korean and
// Chinese pages, whose characters are built of marks over one another.
TEST(Orientation, LinesRunningDownTheMarksAreStoodUp) {
    const std::string photo = std::string(LUM_TESTDATA) + "/tesseract-test/phototest-rotated-";
    const struct {
        const char* name;
        Grey picture;
        int quarters;
    } cases[] = {
        {"photo turned left", enginetests::GreyFromFile(photo + "L.png"), 1},
        {"photo turned right", enginetests::GreyFromFile(photo + "R.png"), 1},
        {"photo upside down", enginetests::GreyFromFile(photo + "180.png"), 0},
        {"Korean page", Drawn(cardgen::DrawCjkPage(cardgen::PageScript::Korean, false)), 0},
        {"Korean page turned", Drawn(cardgen::DrawCjkPage(cardgen::PageScript::Korean, true)), 1},
        {"Chinese page", Drawn(cardgen::DrawCjkPage(cardgen::PageScript::Simplified, false)), 0},
        {"Chinese page turned", Drawn(cardgen::DrawCjkPage(cardgen::PageScript::Simplified, true)), 1},
    };
    for (const auto& c : cases) {
        if (c.picture.px.empty()) {
            ADD_FAILURE() << c.name << ": no picture (test data or the CJK font missing)";
            continue;
        }
        bool sure = false;
        EXPECT_EQ(c.quarters, StandingQuarterTurns(c.picture, sure)) << c.name;
        EXPECT_TRUE(sure) << c.name;
    }
}

// The marks of a turned picture are the picture's marks with their boxes turned.
TEST(Orientation, TurnedBoxesAreTheTurnedPicturesMarks) {
    const cardgen::Picture drawn = cardgen::DrawKoreanCard({}, cardgen::Distortion::Clean);
    ASSERT_FALSE(drawn.px.empty()) << "the CJK font is missing";
    const Grey picture = Drawn(drawn);
    auto order = [](const Component& a, const Component& b) {
        return std::tie(a.left, a.top, a.right, a.bottom) < std::tie(b.left, b.top, b.right, b.bottom);
    };
    const std::vector<Component> marks = MarksOf(picture, false);
    for (const int quarters : {1, 2, 3}) {
        std::vector<Component> turned;
        for (const Component& c : marks) turned.push_back(TurnBox(c, quarters, picture.width, picture.height));
        std::vector<Component> found = MarksOf(TurnQuarters(picture, quarters), false);
        std::sort(turned.begin(), turned.end(), order);
        std::sort(found.begin(), found.end(), order);
        ASSERT_EQ(found.size(), turned.size()) << quarters;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_TRUE(!order(found[i], turned[i]) && !order(turned[i], found[i]) && found[i].area == turned[i].area)
                << quarters << " mark " << i;
        }
    }
}

}  // namespace
