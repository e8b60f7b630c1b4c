// The one adapter between our engine stand-ins and the recogniser: grey
// picture in, lines and words with boxes in the caller's coordinates out.
// It turns the picture square (quarter turns when asked, small skew always),
// enlarges small text, reads light text on dark ground, reports progress and
// stops when the caller says so. One recogniser per language set is kept.
#pragma once

#include "OcrLine.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace plat::ocr {

struct GreyView {
    const std::uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

enum class Layout {
    Page,  // columns and paragraphs in reading order
    Card,  // scattered blocks of short lines
    Block, // one block of lines: Korean, whose syllables the automatic layout splits up
    Sparse,  // lines scattered over the picture, each found whole: Korean cards
};

struct Request {
    std::string languages = "eng";  // recogniser names joined by '+'
    Layout layout = Layout::Page;
    bool detectOrientation = false;  // quarter and half turns
    bool removeSkew = true;          // else a page is taken as square
    // The turn told from the marks (which way the lines run) and from the
    // reading (an unsure one is tried upside down) rather than by the
    // orientation detector, which knows Hangul poorly and costs as much as a
    // reading; the detector only where the marks cannot tell.
    bool orientationByMarks = false;
    // Characters built of marks one over another (Hangul, Han): lines and
    // the size of the print are found from the characters, not their marks.
    bool stackedMarks = false;
    const Box* region = nullptr;     // only this part of the picture
    // Percentage 0..100; answering false stops the run. Ends with a call at 100.
    std::function<bool(int)> progress;
};

enum class Status { Ok, Cancelled, BadImage, NoRecognizer };

struct Result {
    Status status = Status::Ok;
    std::vector<Line> lines;  // in reading order
    // Every reading of a card's lines not read as an address, however
    // unsure: small print the card's other fields may still tell.
    std::vector<Line> unkept;
    double skewDegrees = 0;   // the skew that was removed
    int quarterTurns = 0;     // the turn that was undone (clockwise quarters)
};

Result Recognize(const GreyView& image, const Request& request);

}  // namespace plat::ocr
