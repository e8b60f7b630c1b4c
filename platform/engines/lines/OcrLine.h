// The recognised text as the engine stand-ins pass it on: words with their
// boxes, gathered in lines. Kept apart from the recogniser so that what
// works on the text alone (the card classifier) builds and tests without it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace plat::ocr {

struct Box {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

// The smallest box holding both.
inline Box Union(const Box& a, const Box& b) {
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
            a.bottom > b.bottom ? a.bottom : b.bottom};
}

struct Word {
    std::string text;  // UTF-8
    Box box;           // in the caller's picture
    int confidence = 0;
    bool spaceBefore = true;  // the recogniser saw a blank before it in its line
};

struct Line {
    std::vector<Word> words;
    Box box;               // union of the word boxes
    int textHeight = 0;    // letter height measured square to the line, in the caller's pixels
    bool inverted = false; // read as light text on dark ground
    double across = 0;     // where the line starts in the squared picture:
    double along = 0;      // down across the lines and along them
};

// A CJK ideograph, a Hangul syllable or jamo, or full-width punctuation:
// characters a line of Chinese sets without spaces between them.
bool IsWideScript(char32_t c);
bool IsHan(char32_t c);

// Words as one text, spaced as the line is: next to Korean or Chinese a
// space only where the recogniser saw a blank, and never between two Han
// characters (the recogniser's words of such text are often single
// syllables or characters, which spaces would tear apart); Latin words
// always one space apart.
std::string JoinWords(const std::vector<Word>& words);
inline std::string LineText(const Line& line) { return JoinWords(line.words); }

// UTF-8 to code points, as the platform decodes it: each byte of a broken
// sequence gives U+FFFD.
std::u32string DecodeUtf8(std::string_view text);

// Letters to insert, delete or replace to make one text the other (bytes).
int EditDistance(std::string_view a, std::string_view b);
// The same, or `limit` + 1 when more: only the cells near the diagonal are
// worked out.
int EditDistanceWithin(std::string_view a, std::string_view b, int limit);

}  // namespace plat::ocr
