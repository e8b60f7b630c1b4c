// The engines' UTF-8 decoding, which must read the recogniser's text as the
// platform reads UTF-8: broken bytes become U+FFFD one by one.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "OcrLine.h"

TEST(OcrLineText, DecodesAsThePlatformDoes) {
    const struct {
        const char* bytes;
        std::u32string expected;
    } cases[] = {
        {"A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", U"A\u00E9\u20AC\U0001F600"},
        {"\xC0\x80", U"\uFFFD\uFFFD"},                 // overlong NUL
        {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},       // a surrogate
        {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},  // past U+10FFFF
        {"x\xE2\x82", U"x\uFFFD\uFFFD"},               // cut at the end
        {"\xE2x", U"\uFFFDx"},                         // cut by an ASCII byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(plat::ocr::DecodeUtf8(c.bytes), c.expected) << c.bytes;
    }
}

TEST(OcrLineText, KeepsTheLinesOwnSpacing) {
    using plat::ocr::Word;
    auto word = [](const char* text, bool spaceBefore) {
        Word w;
        w.text = text;
        w.spaceBefore = spaceBefore;
        return w;
    };
    const struct {
        std::vector<Word> words;
        const char* expected;
    } cases[] = {
        // Korean syllables the recogniser split, and a blank it saw.
        {{word("문", true), word("서로", false), word("저장할", true)}, "문서로 저장할"},
        // Han characters are never spaced, even where a blank was seen.
        {{word("王", true), word("小明", true)}, "王小明"},
        // Latin words stay one space apart, as they always were.
        {{word("Sales", true), word("Director", false)}, "Sales Director"},
        // Latin beside Han: the recogniser's blank decides.
        {{word("电话:", true), word("010-6552", true)}, "电话: 010-6552"},
        {{word("中文", true), word("OCR", false)}, "中文OCR"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, plat::ocr::JoinWords(c.words));
}

// The distance that scores fields and the one that mends addresses within a
// bound are one computation: the bound only cuts it short.
TEST(OcrLineText, EditDistanceWithAndWithoutABound) {
    const struct {
        const char* a;
        const char* b;
        int distance;
    } cases[] = {
        {"", "", 0},
        {"", "abc", 3},
        {"kitten", "sitting", 3},
        {"t.whitfield", "tom.whitfield", 2},
        {"bivestone", "bluestone", 2},
        {"abcdef", "fedcba", 6},
        {"moreau", "moreau", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        EXPECT_EQ(plat::ocr::EditDistance(c.a, c.b), c.distance);
        EXPECT_EQ(plat::ocr::EditDistance(c.b, c.a), c.distance);
        for (int limit = 0; limit <= 7; ++limit)
            EXPECT_EQ(plat::ocr::EditDistanceWithin(c.a, c.b, limit), std::min(c.distance, limit + 1)) << limit;
    }
}
