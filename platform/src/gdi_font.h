// Fonts through FreeType: "Tahoma" is DejaVu Sans Condensed (bold from weight
// 600), glyphs are rendered in one bit per pixel so that text drawn over a
// colour key leaves no fringe of mixed colours.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "plat/gdi.h"

namespace plat::gdi {

struct Glyph {
    int left = 0, top = 0;  // of the bitmap, from the pen position (top above the baseline)
    int width = 0, height = 0;
    int advance = 0;
    std::vector<BYTE> on;  // width * height, 1 where the pixel is set
};

class Font {
public:
    // Null, with the reason, when no font file can be opened.
    static std::shared_ptr<Font> Create(const LOGFONTW& logFont, std::wstring* why);

    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int Height() const { return ascent_ + descent_; }
    int InternalLeading() const { return ascent_ + descent_ - emPixels_; }
    int AveCharWidth() const { return aveWidth_; }
    int MaxCharWidth() const { return maxWidth_; }
    LONG Weight() const { return weight_; }

    int Advance(std::wstring_view text);
    // Calls plot(along, down) for every set pixel, with the pen starting at
    // 0 on the baseline: along the run, down below the baseline.
    void Render(std::wstring_view text, const std::function<void(int along, int down)>& plot);

    ~Font();
    struct Face;

private:
    const Glyph& GlyphOf(WCHAR c);

    std::shared_ptr<Face> main_, fallback_;
    int emPixels_ = 0;
    int ascent_ = 0, descent_ = 0, aveWidth_ = 0, maxWidth_ = 0;
    LONG weight_ = FW_NORMAL;
    std::map<WCHAR, Glyph> glyphs_;
};

std::wstring FontDir();

}  // namespace plat::gdi
