#include "edit_layout.h"

#include <algorithm>

namespace plat::edit {

Measure::Measure(HFONT font)
{
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    height_ = std::max<LONG>(1, tm.tmHeight);
}

Measure::~Measure()
{
    SelectObject(dc_, old_);
    DeleteDC(dc_);
}

int Measure::Width(WCHAR c)
{
    auto it = widths_.find(c);
    if (it != widths_.end())
        return it->second;
    SIZE size{};
    GetTextExtentPoint32W(dc_, &c, 1, &size);
    return widths_[c] = size.cx;
}

int Measure::Width(const std::wstring& text, size_t from, size_t to)
{
    int w = 0;
    for (size_t i = from; i < to && i < text.size(); ++i)
        w += Width(text[i]);
    return w;
}

bool IsBreak(const std::wstring& text, size_t i) { return text[i] == L'\r' || text[i] == L'\n'; }

size_t BreakLength(const std::wstring& text, size_t i)
{
    if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
        return 2;
    return 1;
}

std::vector<Line> Layout(const std::wstring& text, bool multiline, int width, Measure& m)
{
    std::vector<Line> lines;
    if (!multiline) {
        lines.push_back({0, text.size(), text.size()});
        return lines;
    }
    size_t start = 0;
    while (true) {
        size_t end = start;
        while (end < text.size() && !IsBreak(text, end))
            ++end;
        // One paragraph [start, end), wrapped at blanks where it is too wide.
        size_t from = start;
        do {
            int w = 0;
            size_t i = from;
            while (i < end && w + m.Width(text[i]) <= width) {
                w += m.Width(text[i]);
                ++i;
            }
            if (i >= end) {
                lines.push_back({from, end, end});
                break;
            }
            size_t cut = i;
            while (cut > from && text[cut - 1] != L' ')
                --cut;
            if (cut == from)
                cut = std::max(i, from + 1);  // no blank: part the word
            size_t drawnEnd = cut;
            while (drawnEnd > from && text[drawnEnd - 1] == L' ')
                --drawnEnd;
            size_t next = cut;
            while (next < end && text[next] == L' ')
                ++next;
            lines.push_back({from, drawnEnd, next});
            from = next;
        } while (from < end);
        if (end >= text.size())
            break;
        start = end + BreakLength(text, end);
        if (start >= text.size()) {
            lines.push_back({start, start, start});
            break;
        }
    }
    return lines;
}

int LineOf(const std::vector<Line>& lines, size_t index)
{
    for (size_t k = lines.size(); k-- > 0;)
        if (index >= lines[k].start)
            return static_cast<int>(k);
    return 0;
}

}  // namespace plat::edit
