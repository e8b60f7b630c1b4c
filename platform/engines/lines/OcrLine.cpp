#include "OcrLine.h"

#include "plat/utf8_decode.h"

namespace plat::ocr {

std::u32string DecodeUtf8(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const plat::Utf8Char d = plat::DecodeUtf8Char(s, i);
        out.push_back(d.length ? d.c : U'\uFFFD');
        i += d.length ? d.length : 1;
    }
    return out;
}

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF00 && c <= 0xFF60);
}

bool IsWideScript(char32_t c) {
    return IsHan(c) || (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F);
}

std::string JoinWords(const std::vector<Word>& words) {
    std::string text;
    char32_t last = 0;
    for (const Word& w : words) {
        const std::u32string units = DecodeUtf8(w.text);
        if (units.empty()) continue;
        const char32_t first = units.front();
        const bool wide = IsWideScript(last) || IsWideScript(first);
        if (last && !(IsHan(last) && IsHan(first)) && (w.spaceBefore || !wide)) text.push_back(' ');
        text += w.text;
        last = units.back();
    }
    return text;
}

}  // namespace plat::ocr
