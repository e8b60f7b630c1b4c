#include "CardMend.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
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

// Letters to insert, delete or replace to make one text the other, or
// `limit` + 1 when more.
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
const AddressShape* NearestAddress(std::string_view reading, const std::vector<AddressShape>& shapes) {
    // A gap within an address is a stop small print lost.
    std::string squeezed;
    for (const char c : reading) {
        if (c != ' ') squeezed.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        else if (!squeezed.empty() && squeezed.back() != '.' && squeezed.back() != '@') squeezed.push_back('.');
    }
    if (squeezed.size() < 8) return nullptr;
    const AddressShape* best = nullptr;
    int bestDistance = INT_MAX, second = INT_MAX;
    for (const AddressShape& shape : shapes) {
        const int limit = static_cast<int>(shape.text.size()) / 4;
        const int d = EditDistanceWithin(squeezed, shape.text, std::min(limit, second));
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
        const AddressShape* shape = NearestAddress(JoinWords(line.words), shapes);
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
            MendHostName(host, companyWords);
            LowerSuffix(host);
            if (f.kind == kCardEmail) {
                const std::string near = Nearest(local, forms);
                if (!near.empty()) local = near;
                else if (OddlyCased(local) && std::find(forms.begin(), forms.end(), Lower(local)) != forms.end())
                    local = Lower(local);
                text = local + "@" + host.prefix + host.name + host.suffix + text.substr(hostEnd);
                // Read wrong in both halves, farther than a word's mend reaches:
                // a reading that fits neither the name nor the company is only
                // taken for their address when it lies near it.
                const bool named = std::find(forms.begin(), forms.end(), Lower(local)) != forms.end();
                const bool company = std::find(companyWords.begin(), companyWords.end(), Lower(host.name)) != companyWords.end();
                const AddressShape* shape = named || company ? nullptr : NearestAddress(text, shapes);
                if (shape && shape->email) text = shape->text;
            } else {
                text = text.substr(0, hostStart) + host.prefix + host.name + host.suffix + text.substr(hostEnd);
            }
        }
    }
    AddressesFromUnkept(fields, unkept, forms, companyWords);
}

}  // namespace plat::ocr
