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

struct Word {
    std::string text;  // UTF-8
    Box box;           // in the caller's picture
    int confidence = 0;
};

struct Line {
    std::vector<Word> words;
    Box box;               // union of the word boxes
    int textHeight = 0;    // letter height measured square to the line, in the caller's pixels
    bool inverted = false; // read as light text on dark ground
    double across = 0;     // where the line starts in the squared picture:
    double along = 0;      // down across the lines and along them
};

// UTF-8 to code points; a broken sequence gives its bytes one by one.
std::u32string DecodeUtf8(std::string_view text);

}  // namespace plat::ocr
