// A picture's marks, dark and light, and their connected components.
#include <gtest/gtest.h>

#include <leptonica/allheaders.h>

#include <algorithm>
#include <string>
#include <vector>

#include "CardCorpus.h"
#include "TessPicture.h"
#include "TestPictures.h"

namespace {

using namespace plat::ocr::tess;

// A real photograph with light print on a band, a drawn card with dark
// plates, and a picture narrower than the window.
std::vector<std::pair<std::string, Grey>> Pictures() {
    std::vector<std::pair<std::string, Grey>> out;
    out.emplace_back("photograph", enginetests::GreyFromFile(std::string(LUM_TESTDATA) + "/cards/card-msr-zorn.jpg"));
    const cardgen::CorpusCard card = cardgen::MakeCorpusCard(2, 3, true);
    out.emplace_back("photographed corpus card", Grey{card.picture.width, card.picture.height, card.picture.px});
    Grey narrow{7, 40, std::vector<std::uint8_t>(7 * 40, 220)};
    for (int y = 10; y < 30; ++y) narrow.px[static_cast<std::size_t>(y) * 7 + 3] = 30;
    out.emplace_back("narrow", narrow);
    return out;
}

// Light marks are the dark marks of the picture in negative.
TEST(Marks, LightMarksAreTheNegativesDarkMarks) {
    for (const auto& [name, picture] : Pictures()) {
        ASSERT_FALSE(picture.px.empty()) << name << ": no picture (test data or card fonts missing)";
        Grey negative = picture;
        for (auto& p : negative.px) p = static_cast<std::uint8_t>(255 - p);
        std::vector<std::uint8_t> dark, light;
        MarksBothWays(picture, kMarkWindow, &dark, &light);
        EXPECT_EQ(DarkMarks(negative, kMarkWindow), light) << name;
        EXPECT_EQ(DarkMarks(picture, kMarkWindow), dark) << name;
        EXPECT_NE(0, std::count(dark.begin(), dark.end(), 1)) << name;
    }
}

// Components against Leptonica's 8-connected components of the same marks:
// the same boxes and pixel counts, in the order a row-by-row scan meets them.
TEST(Marks, ComponentsMatchLeptonica) {
    for (const auto& [name, picture] : Pictures()) {
        ASSERT_FALSE(picture.px.empty()) << name;
        for (const bool light : {false, true}) {
            std::vector<std::uint8_t> marks;
            MarksBothWays(picture, kMarkWindow, light ? nullptr : &marks, light ? &marks : nullptr);
            PIX* pix = pixCreate(picture.width, picture.height, 1);
            for (int y = 0; y < picture.height; ++y) {
                for (int x = 0; x < picture.width; ++x) {
                    if (marks[static_cast<std::size_t>(y) * picture.width + x]) pixSetPixel(pix, x, y, 1);
                }
            }
            PIXA* parts = nullptr;
            BOXA* boxes = pixConnComp(pix, &parts, 8);
            const std::vector<Component> found = Components(marks, picture.width, picture.height);
            ASSERT_EQ(boxaGetCount(boxes), static_cast<int>(found.size())) << name << (light ? " light" : " dark");
            for (std::size_t i = 0; i < found.size(); ++i) {
                l_int32 x = 0, y = 0, w = 0, h = 0, count = 0;
                boxaGetBoxGeometry(boxes, static_cast<int>(i), &x, &y, &w, &h);
                PIX* part = pixaGetPix(parts, static_cast<int>(i), L_CLONE);
                pixCountPixels(part, &count, nullptr);
                pixDestroy(&part);
                const Component& c = found[i];
                EXPECT_EQ((std::vector<int>{x, y, x + w - 1, y + h - 1, count}),
                          (std::vector<int>{c.left, c.top, c.right, c.bottom, c.area}))
                    << name << (light ? " light " : " dark ") << i;
                if (HasFailure()) break;
            }
            boxaDestroy(&boxes);
            pixaDestroy(&parts);
            pixDestroy(&pix);
        }
    }
}

// The marks shared by the card's turn tests and lines are those found one way at a time.
TEST(Marks, PictureMarksAreEachWaysMarks) {
    const auto pictures = Pictures();
    const Grey& picture = pictures[1].second;
    ASSERT_FALSE(picture.px.empty());
    auto boxes = [](const std::vector<Component>& marks) {
        std::vector<std::vector<int>> out;
        for (const Component& c : marks) out.push_back({c.left, c.top, c.right, c.bottom, c.area});
        return out;
    };
    const PictureMarks marks = PictureMarksOf(picture);
    EXPECT_EQ(boxes(MarksOf(picture, false)), boxes(marks.dark));
    EXPECT_EQ(boxes(MarksOf(picture, true)), boxes(marks.light));
    EXPECT_EQ(boxes(LettersAmong(picture, true, MarksOf(picture, true))), boxes(marks.lightLetters));
    EXPECT_FALSE(marks.lightLetters.empty());
}

}  // namespace
