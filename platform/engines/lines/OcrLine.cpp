#include "OcrLine.h"

#include "plat/utf8_decode.h"

#include <algorithm>
#include <cstdlib>

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

int EditDistanceWithin(std::string_view a, std::string_view b, int limit) {
    const int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
    if (std::abs(n - m) > limit) return limit + 1;
    // Only cells within `limit` of the diagonal can stay within it.
    const int far = limit + 1;
    std::vector<int> row(static_cast<std::size_t>(m) + 1, far), next(static_cast<std::size_t>(m) + 1, far);
    for (int j = 0; j <= std::min(m, limit); ++j) row[static_cast<std::size_t>(j)] = j;
    for (int i = 1; i <= n; ++i) {
        const int from = std::max(1, i - limit), to = std::min(m, i + limit);
        std::fill(next.begin(), next.end(), far);
        if (i <= limit) next[0] = i;
        int least = next[0];
        for (int j = from; j <= to; ++j) {
            const std::size_t u = static_cast<std::size_t>(j);
            next[u] = std::min({row[u] + 1, next[u - 1] + 1, row[u - 1] + (a[static_cast<std::size_t>(i - 1)] != b[u - 1] ? 1 : 0), far});
            least = std::min(least, next[u]);
        }
        if (least > limit) return limit + 1;
        std::swap(row, next);
    }
    return std::min(row[static_cast<std::size_t>(m)], far);
}

int EditDistance(std::string_view a, std::string_view b) {
    return EditDistanceWithin(a, b, static_cast<int>(std::max(a.size(), b.size())));
}

}  // namespace plat::ocr
