#include "CardPicture.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "plat/utf8_decode.h"

namespace cardgen {
namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 680;
constexpr const char* kRegularFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

}  // namespace

Picture Paper(int width, int height, int tableX, int tableY) {
    Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
    // Paper with a little uneven light, on a darker table at the edges.
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool card = x >= tableX && x < width - tableX && y >= tableY && y < height - tableY;
            const int light = 238 - (x + y) / 90;
            picture.px[static_cast<std::size_t>(y) * width + x] = static_cast<std::uint8_t>(card ? light : 120);
        }
    }
    return picture;
}

int DrawText(Picture& picture, const std::string& fontPath, int pixels, int x, int baseline, const std::string& text,
             std::uint8_t ink, bool measureOnly) {
    static FT_Library library = [] {
        FT_Library l = nullptr;
        return FT_Init_FreeType(&l) == 0 ? l : nullptr;
    }();
    FT_Face face = nullptr;
    if (!library || FT_New_Face(library, fontPath.c_str(), 0, &face) != 0) return -1;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    const int start = x;
    for (std::size_t i = 0; i < text.size();) {
        const plat::Utf8Char d = plat::DecodeUtf8Char(text, i);
        i += d.length ? d.length : 1;
        if (!d.length || FT_Load_Char(face, d.c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot g = face->glyph;
        for (unsigned row = 0; !measureOnly && row < g->bitmap.rows; ++row) {
            for (unsigned col = 0; col < g->bitmap.width; ++col) {
                const int px = x + g->bitmap_left + static_cast<int>(col);
                const int py = baseline - g->bitmap_top + static_cast<int>(row);
                if (px < 0 || py < 0 || px >= picture.width || py >= picture.height) continue;
                const int alpha = g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col];
                std::uint8_t& p = picture.px[static_cast<std::size_t>(py) * picture.width + px];
                p = static_cast<std::uint8_t>((p * (255 - alpha) + ink * alpha) / 255);
            }
        }
        x += static_cast<int>(g->advance.x >> 6);
    }
    FT_Done_Face(face);
    return x - start;
}

Picture Blur(const Picture& src, double sigma) {
    const int radius = static_cast<int>(std::ceil(3 * sigma));
    std::vector<double> kernel(2 * radius + 1);
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += kernel[i + radius] = std::exp(-i * i / (2 * sigma * sigma));
    for (double& k : kernel) k /= sum;
    Picture tmp = src, out = src;
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            double v = 0;
            for (int i = -radius; i <= radius; ++i) {
                v += kernel[i + radius] * src.px[static_cast<std::size_t>(y) * src.width + std::clamp(x + i, 0, src.width - 1)];
            }
            tmp.px[static_cast<std::size_t>(y) * src.width + x] = static_cast<std::uint8_t>(std::lround(v));
        }
    }
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            double v = 0;
            for (int i = -radius; i <= radius; ++i) {
                v += kernel[i + radius] * tmp.px[static_cast<std::size_t>(std::clamp(y + i, 0, src.height - 1)) * src.width + x];
            }
            out.px[static_cast<std::size_t>(y) * src.width + x] = static_cast<std::uint8_t>(std::lround(v));
        }
    }
    return out;
}

// The card seen a little from the side and turned by a few degrees.
Picture Perspective(const Picture& src) {
    Picture out = src;
    const double angle = 6.0 * 3.14159265358979 / 180.0;
    const double cx = src.width / 2.0, cy = src.height / 2.0;
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            // Inverse: undo the turn, then the squeeze that narrows the right side.
            const double dx = x - cx, dy = y - cy;
            const double rx = std::cos(angle) * dx + std::sin(angle) * dy;
            const double ry = -std::sin(angle) * dx + std::cos(angle) * dy;
            const double squeeze = 1.0 + 0.08 * (rx / cx);
            const double sx = rx / 0.95 + cx, sy = ry * squeeze + cy;
            std::uint8_t v = 120;
            if (sx >= 0 && sy >= 0 && sx < src.width - 1 && sy < src.height - 1) {
                const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
                const double fx = sx - x0, fy = sy - y0;
                auto at = [&](int xx, int yy) { return src.px[static_cast<std::size_t>(yy) * src.width + xx]; };
                v = static_cast<std::uint8_t>(std::lround((at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
                                                          (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy));
            }
            out.px[static_cast<std::size_t>(y) * src.width + x] = v;
        }
    }
    return out;
}


// A quarter turn clockwise.
Picture Turn(const Picture& src) {
    Picture out{src.height, src.width, std::vector<std::uint8_t>(src.px.size())};
    for (int y = 0; y < src.height; ++y) {
        for (int x = 0; x < src.width; ++x) {
            out.px[static_cast<std::size_t>(x) * out.width + (src.height - 1 - y)] = src.px[static_cast<std::size_t>(y) * src.width + x];
        }
    }
    return out;
}

namespace {

std::uint8_t Ink(const CardText& text, std::uint8_t usual) { return text.greyInk ? text.greyInk : usual; }

}  // namespace

Picture DrawCard(const CardText& text, Distortion distortion) {
    if (!std::filesystem::exists(kRegularFont) || !std::filesystem::exists(kBoldFont)) return {};
    Picture canvas = Paper(kWidth, kHeight, 40, 30);
    auto draw = [&](const char* font, int pixels, int x, int baseline, const std::string& line, std::uint8_t ink) {
        return DrawText(canvas, font, pixels, x, baseline, line, ink) >= 0;
    };
    bool ok = draw(kBoldFont, 52, 90, 140, text.name, Ink(text, 25));
    ok &= draw(kRegularFont, 30, 92, 190, text.title, Ink(text, 60));
    ok &= draw(kBoldFont, 40, 90, 320, text.company, Ink(text, 30));
    ok &= draw(kRegularFont, 28, 92, 400, "Tel: " + text.telephone, Ink(text, 35));
    ok &= draw(kRegularFont, 28, 92, 445, "Mobile: " + text.mobile, Ink(text, 35));
    ok &= draw(kRegularFont, 28, 92, 490, text.email, Ink(text, 35));
    ok &= draw(kRegularFont, 28, 92, 535, text.web, Ink(text, 35));
    ok &= draw(kRegularFont, 26, 700, 490, text.street, Ink(text, 45));
    ok &= draw(kRegularFont, 26, 700, 530, text.city, Ink(text, 45));
    if (!ok) return {};
    return Distort(std::move(canvas), distortion);
}

Picture Distort(Picture picture, Distortion distortion) {
    switch (distortion) {
        case Distortion::Clean: break;
        case Distortion::Blurred: picture = Blur(picture, 1.3); break;
        case Distortion::QuarterTurn: picture = Turn(Blur(picture, 0.7)); break;
        case Distortion::Perspective: picture = Blur(Perspective(picture), 0.8); break;
    }
    return picture;
}


}  // namespace cardgen
