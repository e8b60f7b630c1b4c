#include "AddressForm.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <string>
#include <utility>

namespace plat::ocr {
namespace {

bool IsPlainLabel(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
    });
}

std::string Lower(std::string_view word) {
    std::string lower;
    for (char c : word) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    return lower;
}

// "wwe", "waw", "wen", "ww", "wenn": the three w of a web address blur into
// other letters, two or four of them.
bool IsBlurredWww(std::string_view word) {
    const std::string lower = Lower(word);
    return lower.size() >= 2 && lower.size() <= 4 && lower[0] == 'w' && std::all_of(lower.begin(), lower.end(), [](char c) {
        return std::isalpha(static_cast<unsigned char>(c));
    });
}

}  // namespace

bool IsAddressForm(std::string_view t) {
    auto label = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; };
    auto domain = [&](std::string_view d) {
        const std::size_t slash = d.find('/');
        if (slash != std::string_view::npos) d = d.substr(0, slash);
        const std::size_t dot = d.rfind('.');
        if (dot == std::string_view::npos || dot == 0 || d.size() - dot - 1 < 2 || d.size() - dot - 1 > 6) return false;
        for (std::size_t i = dot + 1; i < d.size(); ++i) {
            if (!std::isalpha(static_cast<unsigned char>(d[i]))) return false;
        }
        char previous = '.';
        for (std::size_t i = 0; i < dot; ++i) {
            if (d[i] == '.' && previous == '.') return false;
            if (d[i] != '.' && !label(d[i])) return false;
            previous = d[i];
        }
        return previous != '.';
    };
    const std::size_t at = t.find('@');
    if (at != std::string_view::npos) {
        if (at == 0 || t.find('@', at + 1) != std::string_view::npos) return false;
        for (std::size_t i = 0; i < at; ++i) {
            if (!label(t[i]) && t[i] != '.' && t[i] != '_') return false;
        }
        return t.find('/') == std::string_view::npos && domain(t.substr(at + 1));
    }
    for (std::string_view prefix : {"https://", "http://"}) {
        if (t.starts_with(prefix)) t.remove_prefix(prefix.size());
    }
    return t.starts_with("www.") && domain(t.substr(4));
}

std::string WithWwwMended(std::string_view text) {
    std::string_view rest = text;
    std::string scheme;
    for (std::string_view prefix : {"https://", "http://"}) {
        if (rest.starts_with(prefix)) {
            scheme = prefix;
            rest.remove_prefix(prefix.size());
        }
    }
    const std::size_t dot = rest.find_first_of(".,");
    if (dot == std::string_view::npos || !IsBlurredWww(rest.substr(0, dot))) return {};
    const std::string mended = scheme + "www." + std::string(rest.substr(dot + 1));
    return IsAddressForm(mended) ? mended : std::string();
}

// Where an address's host starts and ends: after the at sign or the scheme,
// up to the path.
std::pair<std::size_t, std::size_t> HostSpan(std::string_view address) {
    std::size_t start = address.find('@');
    if (start != std::string_view::npos) {
        ++start;
    } else {
        const std::size_t scheme = address.find("://");
        start = scheme == std::string_view::npos ? 0 : scheme + 3;
    }
    return {start, std::min(address.size(), address.find('/', start))};
}

std::string WithLowerHost(std::string_view address) {
    std::string out(address);
    const auto [start, end] = HostSpan(address);
    for (std::size_t i = start; i < end; ++i) out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(out[i])));
    return out;
}

bool EndsInKnownDomain(std::string_view address) {
    const auto [start, end] = HostSpan(address);
    const std::string_view host = address.substr(start, end - start);
    return host.find('.') != std::string_view::npos && IsDomainEnding(host);
}

std::string WithEndingMended(std::string_view address) {
    std::string out(address);
    const auto [start, end] = HostSpan(address);
    const std::size_t dot = out.rfind('.', end == 0 ? 0 : end - 1);
    if (dot == std::string::npos || dot < start || end - dot - 1 != 3 || EndsInKnownDomain(address)) return out;
    const std::string_view ending = std::string_view(out).substr(dot + 1, 3);
    // Endings in use one letter off the three: a vet's ".vet" is no misread ".net".
    static constexpr std::string_view kNear[] = {"cam", "mom", "ong", "bet", "pet", "vet", "new", "nec"};
    if (std::find(std::begin(kNear), std::end(kNear), Lower(ending)) != std::end(kNear)) return out;
    // The three differ in every letter, so no reading is one letter off two of them.
    for (const char* common : {"com", "org", "net"}) {
        int differ = 0;
        for (int i = 0; i < 3; ++i) differ += ending[static_cast<std::size_t>(i)] != common[i];
        if (differ == 1) return out.replace(dot + 1, 3, common);
    }
    return out;
}

bool IsDomainEnding(std::string_view word) {
    static constexpr std::string_view kEndings[] = {"com", "org", "net", "edu", "gov", "info", "biz", "co",  "uk",
                                                    "de",  "fr",  "it",  "es",  "nl",  "eu",   "io",  "ac", "ru",
                                                    "ua",  "ch",  "at",  "be",  "us",  "ca",   "au",  "ie", "pl"};
    std::string lower = Lower(word);
    while (!lower.empty() && (lower.back() == '/' || lower.back() == ')' || lower.back() == ',')) lower.pop_back();
    const std::size_t dot = lower.rfind('.');
    if (dot != std::string::npos) lower.erase(0, dot + 1);
    return std::find(std::begin(kEndings), std::end(kEndings), lower) != std::end(kEndings);
}

void JoinSplitAddress(std::vector<Word>& words) {
    if (words.size() < 2 || !IsDomainEnding(words.back().text)) return;
    std::vector<std::string> parts;
    for (const Word& w : words) parts.push_back(w.text);
    // "https", "https:" or "https:/" before the host, "//" or ":/" before its name.
    std::string scheme;
    if (Lower(parts[0]).starts_with("http")) {
        const std::string head = Lower(parts[0]);
        const std::size_t letters = head.starts_with("https") ? 5 : 4;
        scheme = letters == 5 ? "https://" : "http://";
        const std::size_t glued = head.find_first_not_of(":/", letters);
        if (glued != std::string::npos) {
            // The host read onto the scheme: "https://www." then its name.
            if (head.find(":/") != letters) return;
            parts[0].erase(0, glued);
        } else {
            parts.erase(parts.begin());
            const std::size_t start = parts[0].find_first_not_of(":/");
            if (start == std::string::npos) return;
            parts[0].erase(0, start);
        }
    }
    std::string& last = parts.back();
    while (!last.empty() && (last.back() == ')' || last.back() == ',')) last.pop_back();
    // A stop blurred into a comma before the next word.
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        if (parts[i].ends_with(',')) parts[i].back() = '.';
    }
    const bool email = std::count_if(parts.begin(), parts.end(), [](const std::string& p) {
                           return p.find('@') != std::string::npos;
                       }) == 1 && scheme.empty();
    std::string host = Lower(parts[0]);
    if (host.ends_with('.')) host.pop_back();
    const bool web = !email && parts.size() >= 3 && (host == "www" || IsBlurredWww(host));
    const bool webJoined = !email && host.starts_with("www.");
    if (!email && !web && !webJoined) return;
    if (web) parts[0] = parts[0].ends_with('.') ? "www." : "www";
    for (const std::string& p : parts) {
        std::string bare = p;
        std::erase(bare, '@');
        while (!bare.empty() && bare.back() == '/') bare.pop_back();
        if (!IsPlainLabel(bare)) return;
    }
    Word joined = words[0];
    joined.text = scheme + parts[0];
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::string& before = joined.text;
        if (!before.ends_with('.') && !before.ends_with('@') && !parts[i].starts_with('.') && !parts[i].starts_with('@')) {
            joined.text += '.';
        }
        joined.text += parts[i];
    }
    for (const Word& w : words) {
        joined.box = Union(joined.box, w.box);
        joined.confidence = std::min(joined.confidence, w.confidence);
    }
    words.assign(1, joined);
}

}  // namespace plat::ocr
