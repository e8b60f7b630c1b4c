#include "CardKinds.h"

#include <algorithm>
#include <string>

namespace plat::ocr {
namespace {

// Signs no word of a card begins with or is built of; the recogniser gives
// them for a logo's shapes. Ordinal marks (º, ª) and the degree sign are
// left out: "Nº 12" begins an address.
bool EmblemSign(char32_t c) {
    switch (c) {
        case U'®': case U'©': case U'™': case U'§': case U'¶': case U'¤': case U'¦': case U'¢': case U'¥':
        case U'«': case U'»': case U'\uFFFD':
            return true;
        default:
            return false;
    }
}

bool AlphaNumeric(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || (c >= 0xC0 && c <= 0x24F) ||
           (c >= 0x400 && c <= 0x4FF);
}

bool Emblem(const std::string& word) {
    const std::u32string u = DecodeUtf8(word);
    const auto letters = std::count_if(u.begin(), u.end(), AlphaNumeric);
    return u.size() <= 3 && letters <= 1 && std::any_of(u.begin(), u.end(), EmblemSign);
}

}  // namespace

void DropEmblemWords(std::vector<Word>& words) {
    if (words.size() >= 2 && Emblem(words.front().text)) words.erase(words.begin());
    if (words.size() >= 2 && Emblem(words.back().text)) words.pop_back();
}

void CapitalIOfAcronyms(std::vector<Word>& words) {
    for (Word& w : words) {
        // Brackets and a closing stop or comma around it are kept as read.
        const std::size_t first = w.text.find_first_not_of("(");
        const std::size_t end = w.text.find_last_not_of("),.;:");
        if (first == std::string::npos || end == std::string::npos || end < first) continue;
        const std::string core = w.text.substr(first, end - first + 1);
        if (core.size() < 2 || core.size() > 4) continue;
        const bool capitals = std::all_of(core.begin(), core.end(), [](char c) { return (c >= 'A' && c <= 'Z') || c == 'l'; });
        const auto ls = std::count(core.begin(), core.end(), 'l');
        if (!capitals || ls == 0 || ls == static_cast<long>(core.size())) continue;
        for (std::size_t i = first; i <= end; ++i) {
            if (w.text[i] == 'l') w.text[i] = 'I';
        }
    }
}

}  // namespace plat::ocr
