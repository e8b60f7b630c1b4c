// The one adapter between our engine stand-ins and the recogniser: grey
// picture in, lines and words with boxes in the caller's coordinates out.
// It turns the picture square (quarter turns when asked, small skew always),
// enlarges small text, reads light text on dark ground, reports progress and
// stops when the caller says so. One recogniser per language set is kept.
#pragma once

#include <cstdint>
#include <functional>
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

struct GreyView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

enum class Layout {
    Page,  // columns and paragraphs in reading order
    Card,  // scattered blocks of short lines
};

struct Request {
    std::string languages = "eng";  // recogniser names joined by '+'
    Layout layout = Layout::Page;
    bool detectOrientation = false;  // quarter and half turns
    const Box* region = nullptr;     // only this part of the picture
    // Percentage 0..100; answering false stops the run. Ends with a call at 100.
    std::function<bool(int)> progress;
};

enum class Status { Ok, Cancelled, BadImage, NoRecognizer };

struct Result {
    Status status = Status::Ok;
    std::vector<Line> lines;  // in reading order
    double skewDegrees = 0;   // the skew that was removed
    int quarterTurns = 0;     // the turn that was undone (clockwise quarters)
};

Result Recognize(const GreyView& image, const Request& request);

// UTF-8 to code points; a broken sequence gives its bytes one by one.
std::u32string DecodeUtf8(std::string_view text);

// Drops every cached recogniser (the engine's shutdown).
void ReleaseRecognizers();

}  // namespace plat::ocr
