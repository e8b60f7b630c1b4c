#include "gdi_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <cwchar>
#include <filesystem>
#include <mutex>

#include "plat/utf.h"

namespace fs = std::filesystem;

namespace plat::gdi {

namespace {

constexpr const char* kDefaultFontDir = "/usr/share/fonts/truetype/dejavu";
constexpr const char* kRegular = "DejaVuSansCondensed.ttf";
constexpr const char* kBold = "DejaVuSansCondensed-Bold.ttf";
// Debian's CJK font packages, in order of preference.
constexpr const char* kCjkFonts[] = {
    "/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc",
    "/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc",
    "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc",
    "/usr/share/fonts/truetype/nanum/NanumGothic.ttf",
    "/usr/share/fonts/truetype/unfonts-core/UnDotum.ttf",
};

FT_Library Library()
{
    static FT_Library library = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0)
            return static_cast<FT_Library>(nullptr);
        return l;
    }();
    return library;
}

std::string FontDirUtf8()
{
    const char* env = std::getenv("LUMOCR_FONT_DIR");
    return env && *env ? env : kDefaultFontDir;
}

bool IsCjkFace(std::wstring face)
{
    for (auto& c : face)
        c = static_cast<WCHAR>(std::towlower(c));
    for (const wchar_t* name : {L"gulim", L"dotum", L"batang", L"simsun", L"simhei", L"mingliu", L"ms gothic",
                                L"ms mincho", L"malgun", L"microsoft yahei", L"nsimsun"})
        if (face.find(name) != std::wstring::npos)
            return true;
    return false;
}

}  // namespace

struct Font::Face {
    FT_Face face = nullptr;
    ~Face()
    {
        if (face)
            FT_Done_Face(face);
    }
};

namespace {

// Faces stay open for the process; many fonts share one.
std::shared_ptr<Font::Face> OpenFace(const std::string& path)
{
    static std::map<std::string, std::weak_ptr<Font::Face>> open;
    if (auto f = open[path].lock())
        return f;
    if (!Library())
        return nullptr;
    auto f = std::make_shared<Font::Face>();
    if (FT_New_Face(Library(), path.c_str(), 0, &f->face) != 0) {
        f->face = nullptr;
        return nullptr;
    }
    open[path] = f;
    return f;
}

}  // namespace

std::wstring FontDir() { return plat::FromUtf8(FontDirUtf8()); }

std::shared_ptr<Font> Font::Create(const LOGFONTW& lf, std::wstring* why)
{
    std::string file = (fs::path(FontDirUtf8()) / (lf.lfWeight >= FW_SEMIBOLD ? kBold : kRegular)).string();
    auto main = OpenFace(file);
    if (!main) {
        if (why)
            *why = L"cannot open the font file " + plat::FromUtf8(file);
        return nullptr;
    }
    auto font = std::shared_ptr<Font>(new Font);
    font->main_ = main;
    font->weight_ = lf.lfWeight ? lf.lfWeight : FW_NORMAL;
    std::wstring faceName(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE));
    for (const char* cjk : kCjkFonts) {
        if (fs::exists(cjk)) {
            font->fallback_ = OpenFace(cjk);
            if (font->fallback_)
                break;
        }
    }
    if (IsCjkFace(faceName) && font->fallback_)
        std::swap(font->main_, font->fallback_);

    FT_Face face = font->main_->face;
    LONG h = lf.lfHeight;
    if (h == 0)
        h = -12;  // the system font's size
    if (h < 0) {
        font->emPixels_ = -h;
    } else {
        double cell = static_cast<double>(face->ascender - face->descender);
        font->emPixels_ = std::max(1, static_cast<int>(std::lround(h * face->units_per_EM / cell)));
    }
    font->emPixels_ = std::min(font->emPixels_, 2048);
    FT_Set_Pixel_Sizes(face, 0, font->emPixels_);
    font->ascent_ = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
    font->descent_ = static_cast<int>((-face->size->metrics.descender + 63) >> 6);
    if (h > 0) {
        // A cell height asks for exactly that many rows.
        int extra = h - (font->ascent_ + font->descent_);
        font->ascent_ += extra;
    }
    font->maxWidth_ = static_cast<int>((face->size->metrics.max_advance + 63) >> 6);
    font->aveWidth_ = std::max(1, font->Advance(L"x"));
    return font;
}

Font::~Font() = default;

const Glyph& Font::GlyphOf(WCHAR c)
{
    auto it = glyphs_.find(c);
    if (it != glyphs_.end())
        return it->second;
    Glyph g;
    FT_Face face = main_->face;
    FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(c));
    if (index == 0 && fallback_) {
        FT_UInt other = FT_Get_Char_Index(fallback_->face, static_cast<FT_ULong>(c));
        if (other) {
            face = fallback_->face;
            index = other;
        }
    }
    FT_Set_Pixel_Sizes(face, 0, emPixels_);
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) == 0) {
        FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bm = slot->bitmap;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(bm.width);
        g.height = static_cast<int>(bm.rows);
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.on.assign(static_cast<size_t>(g.width) * g.height, 0);
        for (int y = 0; y < g.height; ++y) {
            const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
            for (int x = 0; x < g.width; ++x) {
                bool set = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] & (0x80 >> (x & 7))) != 0 : row[x] >= 128;
                g.on[static_cast<size_t>(y) * g.width + x] = set ? 1 : 0;
            }
        }
    }
    return glyphs_.emplace(c, std::move(g)).first->second;
}

int Font::Advance(std::wstring_view text)
{
    int w = 0;
    for (WCHAR c : text)
        w += GlyphOf(c).advance;
    return w;
}

void Font::Render(std::wstring_view text, const std::function<void(int, int)>& plot)
{
    int pen = 0;
    for (WCHAR c : text) {
        const Glyph& g = GlyphOf(c);
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                if (g.on[static_cast<size_t>(y) * g.width + x])
                    plot(pen + g.left + x, y - g.top);
        pen += g.advance;
    }
}

}  // namespace plat::gdi
