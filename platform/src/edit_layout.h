// How an edit control's text falls into lines: measured with its font,
// wrapped at blanks inside the formatting rectangle's width.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "plat/gdi.h"

namespace plat::edit {

// A line as laid out: characters [start, end) are drawn, the next line
// begins at next (after a break or the blanks the wrap ate).
struct Line {
    size_t start, end, next;
};

// Measures with the control's font.
class Measure {
public:
    explicit Measure(HFONT font);
    ~Measure();
    Measure(const Measure&) = delete;
    Measure& operator=(const Measure&) = delete;

    int Height() const { return height_; }
    int Width(WCHAR c);
    // Characters [from, to) of text.
    int Width(const std::wstring& text, size_t from, size_t to);

private:
    HDC dc_;
    HGDIOBJ old_;
    int height_ = 1;
    std::unordered_map<WCHAR, int> widths_;
};

bool IsBreak(const std::wstring& text, size_t i);
// Length of the line break at i: "\r\n" counts as one break.
size_t BreakLength(const std::wstring& text, size_t i);
// One line for a one-line control; else paragraphs wrapped to width.
std::vector<Line> Layout(const std::wstring& text, bool multiline, int width, Measure& m);
// The line that holds a character index.
int LineOf(const std::vector<Line>& lines, size_t index);

}  // namespace plat::edit
