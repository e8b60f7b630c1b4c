// One UTF-8 code point at a place of a byte string. Header-only, so that the
// recognition engines, which do not link the platform, decode as it does.
#pragma once

#include <cstddef>
#include <string_view>

namespace plat {

struct Utf8Char {
    char32_t c;
    std::size_t length;  // 0: the bytes at that place are not UTF-8
};

// Refuses overlong forms, surrogates, values past U+10FFFF and cut sequences.
inline Utf8Char DecodeUtf8Char(std::string_view text, std::size_t i)
{
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0)
        return {0, 0};
    char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) {
        if (i + k >= text.size())
            return {0, 0};
        auto cont = static_cast<unsigned char>(text[i + k]);
        if ((cont & 0xC0) != 0x80)
            return {0, 0};
        c = (c << 6) | (cont & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return {0, 0};
    return {c, static_cast<std::size_t>(extra) + 1};
}

}  // namespace plat
