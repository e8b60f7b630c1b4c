#include "CardCorrection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>

#include "CodePage.h"

namespace lumocr {
namespace {

enum FoundBit : std::uint32_t {
    kFoundTelephone = 0x01,
    kFoundFax = 0x02,
    kFoundMobile = 0x04,
    kFoundEmail = 0x08,
    kFoundWeb = 0x10,
    kFoundName = 0x20,
    kFoundCompany = 0x40,
    kFoundFurther = 0x80,
};

constexpr std::array<std::string_view, 7> kTelephoneWords = {"TEL", "PHONE", "DIRECT", "MAIN", "DIR", "VOICE",
                                                             "TELEPHONE"};
constexpr std::array<std::string_view, 2> kFaxWords = {"FAX", "FACSIMILE"};
constexpr std::array<std::string_view, 5> kMobileWords = {"MOBILE", "M/P", "PCS", "CELL", "CELLULAR"};
constexpr std::array<std::string_view, 1> kEmailWords = {"E-MAIL"};
constexpr std::array<std::string_view, 3> kWebWords = {"WEBSITE", "HOMEPAGE", "WEB"};
constexpr std::array<std::string_view, 10> kCompanyWords = {"CO.",     "CORP",    "INC.",         "COMPANY",
                                                            "ASSOCIATION", "LNC.", "LTD",        "LIMITED",
                                                            "TECHNOLOGIES", "CORPORATION"};
constexpr std::array<std::string_view, 6> kDomainEndings = {"co", "kr", "net", "biz", "ac", "org"};

constexpr std::string_view kTelephoneKept = "/-.&#xX +";
constexpr std::string_view kEmailKept = "/.~&:_-";
constexpr std::string_view kNamePunctuation = "&',-./|~";
constexpr std::string_view kAddressPunctuation = "#&'(),-./[]|~";

struct Confusion {
    char read;
    char written;
};
constexpr std::array<Confusion, 10> kTelephoneConfusions = {{{'l', '1'}, {'i', '1'}, {'o', '0'}, {'O', '0'},
                                                             {',', '.'}, {'S', '8'}, {'b', '8'}, {'Z', '2'},
                                                             {'?', '2'}, {'j', '3'}}};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool Contains(std::string_view set, char c) { return set.find(c) != std::string_view::npos; }

std::string_view Text(const CardFieldEntry& f) {
    const int length = std::clamp(f.length, 0, kCardTextMax);
    return f.text ? std::string_view(f.text, std::strlen(f.text)).substr(0, length) : std::string_view();
}

// Stores a new text; it never exceeds the field's buffer.
void SetText(CardFieldEntry& f, std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), kCardTextMax);
    std::memmove(f.text, text.data(), n);
    f.text[n] = '\0';
    f.length = static_cast<std::int32_t>(n);
}

std::string Upper(std::string_view text) {
    std::string copy(text);
    for (char& c : copy) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return copy;
}

int CountDigits(std::string_view text) {
    return static_cast<int>(std::count_if(text.begin(), text.end(), IsDigit));
}

std::uint32_t BitOfKind(std::int32_t kind) {
    switch (kind) {
        case kKindTelephone: return kFoundTelephone;
        case kKindFax: return kFoundFax;
        case kKindMobile: return kFoundMobile;
        case kKindEmail: return kFoundEmail;
        case kKindWeb: return kFoundWeb;
        case kKindName: return kFoundName;
        case kKindCompany: return kFoundCompany;
        case kKindFurther: return kFoundFurther;
        default: return 0;
    }
}

// Gives the first unknown field holding one of the words the kind. A word at
// position 2 or later keeps the text before it; at 0 or 1 the word and the
// character after it are taken out (never past the end of the text).
template <std::size_t N>
bool KeywordPass(int count, CardFieldEntry* fields, const std::array<std::string_view, N>& words,
                 std::int32_t kind, bool needDigits) {
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        if (f.kind != kKindUnknown) continue;
        const std::string_view text = Text(f);
        const std::string upper = Upper(text);
        for (std::string_view word : words) {
            const std::size_t pos = upper.find(word);
            if (pos == std::string::npos) continue;
            if (needDigits && CountDigits(upper) <= 6) continue;
            f.kind = kind;
            if (pos >= 2) {
                SetText(f, text.substr(0, pos));
            } else {
                const std::size_t cut = std::min(text.size(), pos + word.size() + 1);
                SetText(f, std::string(text.substr(0, pos)) + std::string(text.substr(cut)));
            }
            return true;
        }
    }
    return false;
}

bool CompanyPass(int count, CardFieldEntry* fields, std::uint32_t mask) {
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        if (f.kind != kKindUnknown) continue;
        const std::string upper = Upper(Text(f));
        const bool keyword = std::any_of(kCompanyWords.begin(), kCompanyWords.end(),
                                         [&](std::string_view w) { return upper.find(w) != std::string::npos; });
        if (keyword || (!(mask & kFoundFurther) && upper.find("TECHNOLOGY") != std::string::npos) ||
            upper.ends_with("PTE")) {
            f.kind = kKindCompany;
            return true;
        }
    }
    return false;
}

bool NamePass(int count, CardFieldEntry* fields) {
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        if (f.kind != kKindUnknown || f.length <= 0) continue;
        const std::string_view text = Text(f);
        if (std::all_of(text.begin(), text.end(), [](char c) {
                return c == ' ' || IsWesternLetter(static_cast<unsigned char>(c));
            })) {
            f.kind = kKindName;
            return true;
        }
    }
    return false;
}

void DigitsPass(int count, CardFieldEntry* fields, std::uint32_t& mask) {
    static constexpr std::string_view kNumberPunctuation = " ()-./";
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        if (f.kind != kKindUnknown || f.length <= 0) continue;
        const std::string_view text = Text(f);
        const bool numberOnly = std::all_of(text.begin(), text.end(),
                                            [](char c) { return IsDigit(c) || Contains(kNumberPunctuation, c); });
        if (!numberOnly || CountDigits(text) == 0) continue;
        for (std::int32_t kind : {kKindTelephone, kKindFax, kKindMobile}) {
            if (!(mask & BitOfKind(kind))) {
                f.kind = kind;
                mask |= BitOfKind(kind);
                break;
            }
        }
    }
}

// Inserts one character before position pos, unless the buffer is full.
void InsertAt(CardFieldEntry& f, std::size_t pos, char c) {
    std::string text(Text(f));
    if (text.size() >= static_cast<std::size_t>(kCardTextMax)) return;
    text.insert(text.begin() + static_cast<std::ptrdiff_t>(pos), c);
    SetText(f, text);
}

void AppendKept(std::string& out, char c) { out.push_back(c); }

}  // namespace

void DomainAndCompanyFixes(CardFieldEntry& f) {
    if (f.length <= 1) return;
    if (f.kind == kKindEmail || f.kind == kKindWeb) {
        // A misread "com" at the end: "corn" or "con'".
        std::string text(Text(f));
        if (text.size() >= 5 && (text.ends_with("corn") || text.ends_with("con'"))) {
            text.replace(text.size() - 2, 2, "m");
            SetText(f, text);
        }
        text = Text(f);
        const std::size_t www = text.find("www");
        if (www != std::string::npos && www < 9 && www + 3 < text.size()) {
            const char next1 = text[www + 3];
            const char next2 = www + 4 < text.size() ? text[www + 4] : '\0';
            if (next1 != '.' && next1 != ',' && next2 != '.' && next2 != ',') {
                if (next1 == ' ') {
                    f.text[www + 3] = '.';
                } else {
                    InsertAt(f, www + 3, '.');
                }
            }
        }
        text = Text(f);
        for (std::string_view ending : kDomainEndings) {
            // The ending closes the text; "co" also as the "com" the fix above gives.
            std::size_t matched = text.ends_with(ending) ? ending.size() : 0;
            if (ending == "co" && text.ends_with("com")) matched = 3;
            if (matched == 0 || text.size() <= matched) continue;
            const std::size_t pos = text.size() - matched;
            const char before1 = text[pos - 1];
            const char before2 = pos >= 2 ? text[pos - 2] : '\0';
            if (before1 != '.' && before1 != ',' && before2 != '.' && before2 != ',') {
                if (before1 == ' ') {
                    f.text[pos - 1] = '.';
                } else {
                    InsertAt(f, pos, '.');
                }
            }
            break;
        }
    } else if (f.kind == kKindCompany) {
        // "CO.." is a misread "CO.,": the second stop becomes the comma, and a
        // blank or stray stop after it goes; a letter after it stays.
        std::string text(Text(f));
        const std::size_t co = text.find("CO..");
        if (co != std::string::npos) {
            text[co + 3] = ',';
            if (co + 4 < text.size() && Contains(" .,", text[co + 4])) text.erase(co + 4, 1);
            SetText(f, text);
        }
    }
}

void TelephoneCleanup(CardFieldEntry& f) {
    const std::string text(Text(f));
    const std::string upper = Upper(text);
    std::string out;
    int dropped = 0;
    std::size_t runStart = 0;
    bool bracketOpen = false;
    auto drop = [&] {
        if (runStart == 0) {
            ++dropped;
            runStart = out.size();
        } else if (out.size() - runStart < static_cast<std::size_t>(dropped + 3)) {
            ++dropped;
        } else {
            dropped = 1;
            runStart = out.size();
        }
    };
    std::size_t i = 0;
    while (i < text.size()) {
        if (dropped > 5) {
            SetText(f, std::string_view(out).substr(0, runStart));
            return;
        }
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '(') {
            out.push_back('(');
            bracketOpen = true;
        } else if (c == ')') {
            if (i != 0) {
                out.push_back(bracketOpen ? ')' : '1');
                bracketOpen = false;
            }
        } else if (c == '}') {
            if (bracketOpen) {
                out.push_back(')');
                bracketOpen = false;
            }
        } else if (IsDigit(c) || Contains(kTelephoneKept, c)) {
            AppendKept(out, c);
        } else if (upper.compare(i, 3, "EXT") == 0) {
            out.append(text, i, 3);
            i += 3;
            continue;
        } else if (c == 'f' && next == 'i') {
            out.push_back('6');
            i += 2;
            continue;
        } else if (c == 'f' && next == '-') {
            if (!out.empty()) out.back() = '1';
        } else if (c == 'f') {
            drop();
        } else if (c == 'd' || c == 'D') {
            // "(d)" is a misread "(0)".
            if (i > 0 && text[i - 1] == '(' && next == ')') {
                out.append("0)");
                bracketOpen = false;
                i += 2;
                continue;
            }
        } else {
            const auto* hit = std::find_if(kTelephoneConfusions.begin(), kTelephoneConfusions.end(),
                                           [c](const Confusion& k) { return k.read == c; });
            if (hit != kTelephoneConfusions.end()) {
                out.push_back(hit->written);
            } else {
                drop();
            }
        }
        ++i;
    }
    SetText(f, out);
}

void EmailCleanup(CardFieldEntry& f) {
    const std::string text(Text(f));
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((i == 0 && c == '.') || c == '\\') continue;
        if (IsAsciiLetter(c) || IsDigit(c) || Contains(kEmailKept, c)) {
            out.push_back(c);
        } else if (c == ',') {
            out.push_back('.');
        } else if (c == ';') {
            out.push_back(':');
        } else if (c == '@' && f.kind == kKindEmail) {
            out.push_back('@');
        }
    }
    SetText(f, out);
}

void CharacterFilter(CardFieldEntry& f, FilterMode mode) {
    const std::string_view punctuation = mode == FilterMode::Name ? kNamePunctuation : kAddressPunctuation;
    std::u16string kept;
    for (char c : Text(f)) {
        const auto byte = static_cast<unsigned char>(c);
        const char16_t unit = CodePageToWide(kSystemCodePage, byte);
        if (IsWesternLetter(byte) || IsDigit(c) || c == ' ' || Contains(punctuation, c)) kept.push_back(unit);
    }
    char out[kCardTextBytes];
    const std::size_t n = WideToCodePage(kCodePageWestern, kept, out, kCardTextMax);
    SetText(f, std::string_view(out, n));
}

void CorrectCardFields(int count, CardFieldEntry* fields) {
    if (!fields || count <= 0) return;
    std::uint32_t mask = 0;
    for (int i = 0; i < count; ++i) mask |= BitOfKind(fields[i].kind);

    auto run = [&](std::uint32_t bit, auto&& pass) {
        if (!(mask & bit) && pass()) mask |= bit;
    };
    run(kFoundTelephone, [&] { return KeywordPass(count, fields, kTelephoneWords, kKindTelephone, true); });
    run(kFoundFax, [&] { return KeywordPass(count, fields, kFaxWords, kKindFax, true); });
    run(kFoundMobile, [&] { return KeywordPass(count, fields, kMobileWords, kKindMobile, true); });
    run(kFoundEmail, [&] { return KeywordPass(count, fields, kEmailWords, kKindEmail, false); });
    run(kFoundWeb, [&] { return KeywordPass(count, fields, kWebWords, kKindWeb, false); });
    run(kFoundCompany, [&] { return CompanyPass(count, fields, mask); });
    run(kFoundName, [&] { return NamePass(count, fields); });

    if (!(mask & kFoundTelephone) || !(mask & kFoundFax) || !(mask & kFoundMobile)) DigitsPass(count, fields, mask);

    for (int i = 0; i < count; ++i) DomainAndCompanyFixes(fields[i]);
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        if (f.length <= 1) continue;
        switch (f.kind) {
            case kKindTelephone:
            case kKindFax:
            case kKindMobile: TelephoneCleanup(f); break;
            case kKindEmail:
            case kKindWeb: EmailCleanup(f); break;
            case kKindAddress:
            case kKindCompany: CharacterFilter(f, FilterMode::Address); break;
            case kKindName: CharacterFilter(f, FilterMode::Name); break;
            default: break;
        }
    }
}

std::int32_t RecordTypeOfKind(std::int32_t kind) {
    switch (kind) {
        case 0: return OCR_FIELD_TELEPHONE;
        case 1: return OCR_FIELD_FAX;
        case 2: return OCR_FIELD_MOBILE;
        case 3: return OCR_FIELD_EMAIL;
        case 4: return OCR_FIELD_WEB;
        case 5: return OCR_FIELD_ADDRESS;
        case 6: return OCR_FIELD_NAME;
        case 7: return OCR_FIELD_COMPANY;
        case 9: return OCR_FIELD_ENGINE1;
        case 11: return OCR_FIELD_ENGINE6;
        case 14: return OCR_FIELD_ENGINE4;
        default: return OCR_FIELD_OTHER;
    }
}

void EntriesToRecords(CardFieldEntry* fields, OcrCardField* records, int count) {
    if (!fields || !records) return;
    for (int i = 0; i < count; ++i) {
        CardFieldEntry& f = fields[i];
        OcrCardField& r = records[i];
        r.type = RecordTypeOfKind(f.kind);
        const std::string_view text = Text(f);
        const std::size_t n = std::min<std::size_t>(text.size(), kOcrCardFieldTextBytes - 1);
        std::memcpy(r.text, text.data(), n);
        r.text[n] = '\0';
        delete[] f.text;
        f.text = nullptr;
    }
}

}  // namespace lumocr
