#include "CardMend.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <string>
#include <string_view>

namespace plat::ocr {
namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A reading the recogniser gave this sure a word is taken as printed, when
// well-formed: small print read this sure is right far more often than a
// card's name or company tells what an address must be.
constexpr int kSure = 85;

bool Alnum(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }

// Letter pairs thin print runs together into one letter, and the letter.
constexpr std::pair<std::string_view, char> kMerged[] = {
    {"rn", 'm'}, {"nn", 'm'}, {"in", 'm'}, {"ri", 'n'}, {"vv", 'w'}, {"cl", 'd'}, {"li", 'h'}, {"ii", 'u'}, {"iv", 'u'},
};

bool Merged(std::string_view pair, char one) {
    return std::any_of(std::begin(kMerged), std::end(kMerged),
                       [&](const auto& m) { return m.first == pair && m.second == one; });
}

// How many letters or digits of `read` stand for others of `form` in their
// places, a pair read as one letter (or one as a pair) counting one;
// INT_MAX when the two differ otherwise: a letter more or less, a stop for
// a hyphen. Capitals count as their small letters. With `strays` (a reading
// that is not well-formed) a mark, sign or capital of the reading may go
// too, and letters lost before a separator it starts with may come back
// (".moreau"), each counting one; its small letters and digits stay.
int MisreadLetters(std::string_view read, std::string_view form, bool strays = false) {
    const std::string a = Lower(read), b = Lower(form);
    auto stray = [&](std::size_t i) {
        const unsigned char c = static_cast<unsigned char>(read[i]);
        return !std::islower(c) && !std::isdigit(c);
    };
    const bool lostFirst = strays && !a.empty() && !Alnum(a[0]);
    const std::size_t n = a.size(), m = b.size();
    constexpr int kNo = INT_MAX / 2;
    std::vector<int> cost((n + 1) * (m + 1), kNo);
    auto at = [&](std::size_t i, std::size_t j) -> int& { return cost[i * (m + 1) + j]; };
    at(0, 0) = 0;
    for (std::size_t i = 0; i <= n; ++i) {
        for (std::size_t j = 0; j <= m; ++j) {
            const int here = at(i, j);
            if (here >= kNo) continue;
            if (i < n && j < m) {
                if (a[i] == b[j]) at(i + 1, j + 1) = std::min(at(i + 1, j + 1), here);
                else if (Alnum(a[i]) && Alnum(b[j])) at(i + 1, j + 1) = std::min(at(i + 1, j + 1), here + 1);
            }
            if (strays && i < n && stray(i)) at(i + 1, j) = std::min(at(i + 1, j), here + 1);
            if (lostFirst && i == 0 && j < m && Alnum(b[j])) at(i, j + 1) = std::min(at(i, j + 1), here + 1);
            if (i + 1 < n && j < m && Merged(std::string_view(a).substr(i, 2), b[j]))
                at(i + 2, j + 1) = std::min(at(i + 2, j + 1), here + 1);
            if (i < n && j + 1 < m && Merged(std::string_view(b).substr(j, 2), a[i]))
                at(i + 1, j + 2) = std::min(at(i + 1, j + 2), here + 1);
        }
    }
    return at(n, m) >= kNo ? INT_MAX : at(n, m);
}

// Whether an address's part is made as addresses are: letters and digits
// joined by single stops, hyphens or underscores (a local part also "+"),
// and no small letter followed by a capital within a word ("moreauG"): the
// recogniser's stray marks and lost letters break one of these.
bool WellFormedPart(std::string_view part, bool local) {
    if (part.empty()) return false;
    auto separator = [&](char c) { return c == '.' || c == '-' || c == '_' || (local && c == '+'); };
    if (separator(part.front()) || separator(part.back())) return false;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const char c = part[i];
        if (!Alnum(c) && !separator(c)) return false;
        if (i == 0) continue;
        const char before = part[i - 1];
        if (separator(c) && separator(before)) return false;
        if (std::isupper(static_cast<unsigned char>(c)) && std::islower(static_cast<unsigned char>(before))) return false;
    }
    return true;
}

// Whether a whole e-mail ("local@host.suffix") or web address
// ("[http[s]://]host.suffix[/path]") is made as addresses are.
bool WellFormedAddress(std::string_view text, bool email) {
    std::string_view host = text;
    if (email) {
        const std::size_t at = text.find('@');
        if (at == std::string_view::npos || !WellFormedPart(text.substr(0, at), true)) return false;
        host = text.substr(at + 1);
    } else {
        for (const std::string_view scheme : {"http://", "https://"}) {
            if (Lower(host.substr(0, scheme.size())) == scheme) host.remove_prefix(scheme.size());
        }
        host = host.substr(0, host.find('/'));
    }
    return host.find('.') != std::string_view::npos && WellFormedPart(host, false);
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
// reading itself; empty otherwise. Earlier forms win ties. A reading that
// is well-formed is only set right where the recogniser was unsure of it,
// and only for letters read as others: "tom.whitfield" is not a misread
// "t.whitfield", nor "anna-moreau" a misread "anna.moreau".
std::string Nearest(const std::string& read, const std::vector<std::string>& forms, bool wellFormed, int confidence) {
    if (read.empty() || (wellFormed && confidence >= kSure)) return {};
    const std::string lower = Lower(read);
    const int limit = std::min<int>(2, std::max<int>(1, static_cast<int>(lower.size()) / 4));
    std::string best;
    int bestDistance = limit + 1;
    for (const std::string& form : forms) {
        const int d = MisreadLetters(read, form, !wellFormed);
        if (d == 0) return {};
        if (d < bestDistance) {
            bestDistance = d;
            best = form;
        }
    }
    return best;
}

// Capitals as no one prints a name: some parts capitalised and some not
// ("george.Holloway"), or a capital inside a part ("geOrge"). A capital
// blurred out of a small letter; "George.Holloway" stays as printed.
bool OddlyCased(std::string_view local) {
    int titled = 0, small = 0;
    std::size_t start = 0;
    while (start <= local.size()) {
        const std::size_t end = std::min(local.size(), local.find_first_of("._-", start));
        const std::string_view part = local.substr(start, end - start);
        if (!part.empty()) {
            auto upper = [](char c) { return std::isupper(static_cast<unsigned char>(c)) != 0; };
            auto lower = [](char c) { return std::islower(static_cast<unsigned char>(c)) != 0; };
            if (std::any_of(part.begin() + 1, part.end(), upper)) return std::any_of(part.begin(), part.end(), lower);
            (std::isupper(static_cast<unsigned char>(part[0])) ? titled : small) += 1;
        }
        start = end + 1;
    }
    return titled > 0 && small > 0;
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
void MendHostName(Host& host, const std::vector<std::string>& companyWords, int confidence) {
    if (host.name.empty()) return;
    const std::string lower = Lower(host.name);
    if (std::find(companyWords.begin(), companyWords.end(), lower) != companyWords.end()) return;
    const bool wellFormed = WellFormedPart(host.name, false);
    if (wellFormed && confidence >= kSure) return;
    for (const char* second : {"co", "com", "org", "net", "ac"}) {
        const std::string s = second;
        if (lower.size() > s.size() + 3 && lower.compare(lower.size() - s.size(), s.size(), s) == 0 &&
            host.suffix.size() == 3) {
            const std::string stem = lower.substr(0, lower.size() - s.size());
            const bool known = std::find(companyWords.begin(), companyWords.end(), stem) != companyWords.end();
            const std::string near = known ? stem : Nearest(stem, companyWords, wellFormed, confidence);
            if (!near.empty()) {
                host.name = near;
                host.suffix = "." + s + host.suffix;
                return;
            }
        }
    }
    const std::string near = Nearest(host.name, companyWords, wellFormed, confidence);
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
    if (lower.compare(after, 3, "://") == 0) return;  // read whole: the host is as printed
    const std::size_t w = lower.find("ww.", after);
    if (w == std::string::npos || w > after + 6) return;
    const std::string mended = std::string(secure ? "https" : "http") + "://www." + text.substr(w + 3);
    if (Lower(mended) != lower) text = mended;
}

// Whether `text` starts with `prefix` read within a quarter of its letters.
bool StartsNear(std::string_view text, std::string_view prefix) {
    const int limit = static_cast<int>(prefix.size()) / 4;
    for (std::size_t k = prefix.size() > 2 ? prefix.size() - 2 : 0; k <= prefix.size() + 2 && k <= text.size(); ++k) {
        if (EditDistanceWithin(text.substr(0, k), prefix, limit) <= limit) return true;
    }
    return false;
}

// The addresses a card's name forms and company words make: each form at
// each word with each usual ending, and "www." each word with each ending.
struct AddressShape {
    std::string text;
    bool email;
    std::size_t local = 0;  // the name form's letters, before the at sign
};

std::vector<AddressShape> AddressShapes(const std::vector<std::string>& nameForms,
                                        const std::vector<std::string>& companyWords) {
    static constexpr const char* kEndings[] = {"com", "org", "net", "co.uk", "org.uk", "de", "eu", "io"};
    std::vector<AddressShape> shapes;
    for (const std::string& word : companyWords) {
        for (const char* ending : kEndings) {
            const std::string host = word + "." + ending;
            for (const std::string& form : nameForms) shapes.push_back({form + "@" + host, true, form.size()});
            shapes.push_back({"www." + host, false});
            shapes.push_back({"https://www." + host + "/", false});
            shapes.push_back({"http://www." + host + "/", false});
        }
    }
    return shapes;
}

// The shape nearest to `reading` (a gap read as a lost stop), when within a
// quarter of its letters and nearer than any other; null otherwise. An
// e-mail's name form must be read as well, within a quarter of its own
// letters: a reading of "info@" is not the person's address.
// `confidence`: how sure the recogniser was of a well-formed reading; such a
// reading is only taken for a shape where it was unsure, and for letters
// read as others ("tom.whitfield" is not "thomas.whitfield").
const AddressShape* NearestAddress(std::string_view reading, const std::vector<AddressShape>& shapes, int confidence) {
    // A gap within an address is a stop small print lost.
    std::string squeezed;
    for (const char c : reading) {
        if (c != ' ') squeezed.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        else if (!squeezed.empty() && squeezed.back() != '.' && squeezed.back() != '@') squeezed.push_back('.');
    }
    if (squeezed.size() < 8) return nullptr;
    // Marks at its ends (a bracket, a comma) do not make a reading any less
    // an address as printed.
    std::string_view trimmed = squeezed;
    while (!trimmed.empty() && !Alnum(trimmed.front())) trimmed.remove_prefix(1);
    while (!trimmed.empty() && !Alnum(trimmed.back()) && trimmed.back() != '/') trimmed.remove_suffix(1);
    const bool wellFormedAs[2] = {WellFormedAddress(trimmed, false), WellFormedAddress(trimmed, true)};
    const AddressShape* best = nullptr;
    int bestDistance = INT_MAX, second = INT_MAX;
    for (const AddressShape& shape : shapes) {
        const bool wellFormed = wellFormedAs[shape.email];
        if (wellFormed && confidence >= kSure) continue;
        const int limit = static_cast<int>(shape.text.size()) / 4;
        const int d = wellFormed ? std::min(MisreadLetters(trimmed, shape.text), limit + 1)
                                 : EditDistanceWithin(squeezed, shape.text, std::min(limit, second));
        if (d > limit || (shape.email && !StartsNear(squeezed, std::string_view(shape.text).substr(0, shape.local)))) continue;
        if (d < bestDistance) {
            second = bestDistance;
            bestDistance = d;
            best = &shape;
        } else if (d < second) {
            second = d;
        }
    }
    return bestDistance < second ? best : nullptr;
}


// Whether most of a field lies within a line's box: the field was made of
// that line (a slanted line's box also overlaps its neighbours' a little).
bool MostlyWithin(const CardField& field, const Box& line) {
    long inside = 0, all = 0;
    for (const Word& w : field.words) {
        const long width = std::max(0, std::min(w.box.right, line.right) - std::max(w.box.left, line.left));
        const long height = std::max(0, std::min(w.box.bottom, line.bottom) - std::max(w.box.top, line.top));
        inside += width * height;
        all += static_cast<long>(w.box.Width()) * w.box.Height();
    }
    return all > 0 && 2 * inside > all;
}

// A card's missing e-mail and web fields from unsure readings of its lines.
// The field already made of that line is the address, unless it is of a
// kind the line's kept reading proved (a phone, the name).
void AddressesFromUnkept(std::vector<CardField>& fields, const std::vector<Line>& unkept,
                         const std::vector<std::string>& nameForms, const std::vector<std::string>& companyWords) {
    if (unkept.empty() || nameForms.empty() || companyWords.empty()) return;
    const std::vector<AddressShape> shapes = AddressShapes(nameForms, companyWords);
    bool have[2] = {false, false};  // web, e-mail
    for (const CardField& f : fields) {
        if (f.kind == kCardEmail) have[1] = true;
        if (f.kind == kCardWeb) have[0] = true;
    }
    for (const Line& line : unkept) {
        if (line.words.empty()) continue;
        int confidence = INT_MAX;
        for (const Word& w : line.words) confidence = std::min(confidence, w.confidence);
        const AddressShape* shape = NearestAddress(JoinWords(line.words), shapes, confidence);
        if (!shape || have[shape->email]) continue;
        const bool email = shape->email;
        const auto made =
            std::find_if(fields.begin(), fields.end(), [&](const CardField& f) { return MostlyWithin(f, line.box); });
        if (made != fields.end() && made->kind != kCardTitle && made->kind != kCardUnknown) continue;
        have[email] = true;
        CardField field;
        field.kind = email ? kCardEmail : kCardWeb;
        Word word = line.words.front();
        word.text = shape->text;
        word.box = line.box;
        for (const Word& w : line.words) word.confidence = std::min(word.confidence, w.confidence);
        field.words.push_back(std::move(word));
        if (made != fields.end()) *made = std::move(field);
        else fields.push_back(std::move(field));
    }
}

}  // namespace

void MendAddressesByFields(std::vector<CardField>& fields, const std::vector<Line>& unkept) {
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
    const std::vector<AddressShape> shapes =
        forms.empty() || companyWords.empty() ? std::vector<AddressShape>() : AddressShapes(forms, companyWords);
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
            const bool wellFormed = WellFormedAddress(text, f.kind == kCardEmail);
            MendHostName(host, companyWords, w.confidence);
            LowerSuffix(host);
            if (f.kind == kCardEmail) {
                const std::string near = Nearest(local, forms, WellFormedPart(local, true), w.confidence);
                if (!near.empty()) local = near;
                else if (w.confidence < kSure && OddlyCased(local) &&
                         std::find(forms.begin(), forms.end(), Lower(local)) != forms.end())
                    local = Lower(local);
                text = local + "@" + host.prefix + host.name + host.suffix + text.substr(hostEnd);
                // Read wrong in both halves, farther than a word's mend reaches:
                // a reading that fits neither the name nor the company is only
                // taken for their address when it lies near it.
                const bool named = std::find(forms.begin(), forms.end(), Lower(local)) != forms.end();
                const bool company = std::find(companyWords.begin(), companyWords.end(), Lower(host.name)) != companyWords.end();
                const AddressShape* shape =
                    named || company ? nullptr : NearestAddress(text, shapes, wellFormed ? w.confidence : 0);
                if (shape && shape->email) text = shape->text;
            } else {
                text = text.substr(0, hostStart) + host.prefix + host.name + host.suffix + text.substr(hostEnd);
            }
        }
    }
    AddressesFromUnkept(fields, unkept, forms, companyWords);
}

}  // namespace plat::ocr
