#include "CardMend.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

namespace plat::ocr {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The lower-case words of a field of plain letters ("Dr." and "&" left out).
std::vector<std::string> PlainWords(const CardField& field) {
    std::vector<std::string> out;
    for (const Word& w : field.words) {
        std::string word;
        bool plain = true;
        for (const char c : w.text) {
            if (std::isalpha(static_cast<unsigned char>(c))) word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
            else if (c == ',') continue;
            else plain = false;
        }
        if (plain && word.size() >= 2) out.push_back(word);
    }
    return out;
}

// The first of `forms` nearest to `read`, when near enough and not the
// reading itself; empty otherwise. Earlier forms win ties.
std::string Nearest(const std::string& read, const std::vector<std::string>& forms) {
    if (read.empty()) return {};
    const std::string lower = Lower(read);
    const int limit = std::min<int>(2, std::max<int>(1, static_cast<int>(lower.size()) / 4));
    std::string best;
    int bestDistance = limit + 1;
    for (const std::string& form : forms) {
        const int d = EditDistance(lower, form);
        if (d == 0) return {};
        if (d < bestDistance) {
            bestDistance = d;
            best = form;
        }
    }
    return best;
}

// A host's name and suffix: "www.bivestone.co.uk" -> "www.", "bivestone", ".co.uk".
struct Host {
    std::string prefix, name, suffix;
};

Host SplitHost(const std::string& host) {
    Host h;
    std::string rest = host;
    const std::string lower = Lower(host);
    if (lower.rfind("www.", 0) == 0) {
        h.prefix = host.substr(0, 4);
        rest = host.substr(4);
    }
    const std::size_t dot = rest.find('.');
    if (dot == std::string::npos) return {};
    h.name = rest.substr(0, dot);
    h.suffix = rest.substr(dot);
    return h;
}

// The domain's name set right by the company's words; a dot lost before a
// second-level suffix ("westbrookco.uk") is put back when that makes it one.
void MendHostName(Host& host, const std::vector<std::string>& companyWords) {
    if (host.name.empty()) return;
    const std::string lower = Lower(host.name);
    if (std::find(companyWords.begin(), companyWords.end(), lower) != companyWords.end()) return;
    for (const char* second : {"co", "com", "org", "net", "ac"}) {
        const std::string s = second;
        if (lower.size() > s.size() + 3 && lower.compare(lower.size() - s.size(), s.size(), s) == 0 &&
            host.suffix.size() == 3) {
            const std::string stem = lower.substr(0, lower.size() - s.size());
            const bool known = std::find(companyWords.begin(), companyWords.end(), stem) != companyWords.end();
            const std::string near = known ? stem : Nearest(stem, companyWords);
            if (!near.empty()) {
                host.name = near;
                host.suffix = "." + s + host.suffix;
                return;
            }
        }
    }
    const std::string near = Nearest(host.name, companyWords);
    if (!near.empty()) host.name = near;
}

// A domain's suffix is written in small letters: "Com" is a misread "com".
void LowerSuffix(Host& host) {
    host.suffix = Lower(host.suffix);
}

std::vector<std::string> NameForms(const std::vector<std::string>& name) {
    if (name.size() < 2) return {};
    const std::string& first = name[name.size() - 2];
    const std::string& last = name.back();
    const std::string f(1, first[0]);
    // The usual forms first: a tie goes to the earlier one.
    return {first + "." + last, f + "." + last, first,        last,          first + last,
            f + last,           first + "_" + last, first + "-" + last, last + "." + first};
}

// A scheme whose slashes ran into the w's ("https:/Avww.", "http;//ww.")
// is written out again.
void MendScheme(std::string& text) {
    const std::string lower = Lower(text);
    if (lower.rfind("http", 0) != 0) return;
    const bool secure = lower.size() > 4 && lower[4] == 's';
    const std::size_t after = secure ? 5 : 4;
    const std::size_t w = lower.find("ww.", after);
    if (w == std::string::npos || w > after + 6) return;
    const std::string mended = std::string(secure ? "https" : "http") + "://www." + text.substr(w + 3);
    if (Lower(mended) != lower) text = mended;
}

}  // namespace

void MendAddressesByFields(std::vector<CardField>& fields) {
    std::vector<std::string> companyWords, nameWords;
    for (const CardField& f : fields) {
        if (f.kind == kCardCompany) {
            const std::vector<std::string> words = PlainWords(f);
            std::string run;
            for (const std::string& w : words) {
                if (w.size() >= 3) companyWords.push_back(w);
                run += w;
                if (run != w) companyWords.push_back(run);
            }
        } else if (f.kind == kCardName && nameWords.empty()) {
            nameWords = PlainWords(f);
        }
    }
    const std::vector<std::string> forms = NameForms(nameWords);
    for (CardField& f : fields) {
        if (f.kind != kCardEmail && f.kind != kCardWeb) continue;
        for (Word& w : f.words) {
            std::string& text = w.text;
            std::size_t hostStart = 0;
            std::string local;
            const std::size_t at = text.find('@');
            if (f.kind == kCardEmail) {
                if (at == std::string::npos) continue;
                local = text.substr(0, at);
                hostStart = at + 1;
            } else {
                MendScheme(text);
                const std::size_t scheme = text.find("://");
                hostStart = scheme == std::string::npos ? 0 : scheme + 3;
            }
            const std::size_t hostEnd = std::min(text.size(), text.find('/', hostStart));
            Host host = SplitHost(text.substr(hostStart, hostEnd - hostStart));
            if (host.name.empty()) continue;
            MendHostName(host, companyWords);
            LowerSuffix(host);
            if (f.kind == kCardEmail) {
                const std::string near = Nearest(local, forms);
                if (!near.empty()) local = near;
                text = local + "@" + host.prefix + host.name + host.suffix + text.substr(hostEnd);
            } else {
                text = text.substr(0, hostStart) + host.prefix + host.name + host.suffix + text.substr(hostEnd);
            }
        }
    }
}

}  // namespace plat::ocr
