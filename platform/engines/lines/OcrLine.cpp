#include "OcrLine.h"

#include "plat/utf8_decode.h"

#include <algorithm>

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

int EditDistance(std::string_view a, std::string_view b) {
    std::vector<int> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
    for (std::size_t i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const int up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = up;
        }
    }
    return row[b.size()];
}

}  // namespace plat::ocr
