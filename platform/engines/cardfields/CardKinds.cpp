#include "CardKinds.h"

#include <algorithm>
#include <optional>
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

namespace {

bool NumberKind(CardKind kind) { return kind == kCardTelephone || kind == kCardFax || kind == kCardMobile; }

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::size_t DigitsOf(const std::vector<Word>& words) {
    std::size_t n = 0;
    for (const Word& w : words) n += static_cast<std::size_t>(std::count_if(w.text.begin(), w.text.end(), [](char c) { return c >= '0' && c <= '9'; }));
    return n;
}

// Where `read` has one group fewer than `other` because its group k holds
// other's groups k and k + 1: k, when other's group k begins it and every
// other group matches other's in size (the ones before k in text too).
std::optional<std::size_t> RunTogether(const std::vector<Word>& read, const std::vector<Word>& other) {
    if (read.size() + 1 != other.size() || DigitsOf(read) != DigitsOf(other)) return std::nullopt;
    std::size_t k = 0;
    while (k < read.size() && read[k].text == other[k].text) ++k;
    if (k == 0 || k == read.size()) return std::nullopt;
    const std::string& group = read[k].text;
    if (!AllDigits(group) || !AllDigits(other[k].text) || group.size() != other[k].text.size() + other[k + 1].text.size() ||
        group.compare(0, other[k].text.size(), other[k].text) != 0) {
        return std::nullopt;
    }
    for (std::size_t j = k + 1; j < read.size(); ++j) {
        if (read[j].text.size() != other[j + 1].text.size()) return std::nullopt;
    }
    return k;
}

}  // namespace

void MendNumbersBySiblings(std::vector<CardField>& fields) {
    for (CardField& f : fields) {
        if (!NumberKind(f.kind)) continue;
        for (Word& w : f.words) {
            const bool digits = std::any_of(w.text.begin(), w.text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (digits) std::replace(w.text.begin(), w.text.end(), '$', '5');
        }
    }
    for (CardField& f : fields) {
        if (!NumberKind(f.kind)) continue;
        for (const CardField& other : fields) {
            if (&other == &f || !NumberKind(other.kind)) continue;
            const std::optional<std::size_t> k = RunTogether(f.words, other.words);
            if (!k) continue;
            Word first = f.words[*k], second = f.words[*k];
            const std::size_t cut = other.words[*k].text.size();
            first.text = second.text.substr(0, cut);
            second.text = second.text.substr(cut);
            const int split = first.box.left + first.box.Width() * static_cast<int>(cut) / static_cast<int>(f.words[*k].text.size());
            first.box.right = split;
            second.box.left = split;
            f.words[*k] = first;
            f.words.insert(f.words.begin() + static_cast<std::ptrdiff_t>(*k) + 1, second);
            break;
        }
    }
}

}  // namespace plat::ocr
