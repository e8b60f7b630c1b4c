#include "CardClassifier.h"
#include "CardKinds.h"
#include "CardMend.h"

#include "AddressForm.h"

#include <algorithm>
#include <cmath>
#include <cctype>
#include <optional>

namespace plat::ocr {
namespace {

// --- text helpers (UTF-8) ---------------------------------------------------

std::u32string Decode(std::string_view s) { return DecodeUtf8(s); }

char32_t Lower(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    if (c == 0x490) return 0x491;
    return c;
}

bool IsUpperLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x400 && c <= 0x42F) ||
           c == 0x490;
}

bool IsLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7) ||
           (c >= 0x400 && c <= 0x4FF);
}

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }

std::u32string LowerText(std::string_view s) {
    std::u32string u = Decode(s);
    for (char32_t& c : u) c = Lower(c);
    return u;
}

// A word without the punctuation around it, lower case.
std::u32string Bare(std::string_view word) {
    std::u32string u = LowerText(word);
    auto punct = [](char32_t c) {
        return (c < 0x80 && std::ispunct(static_cast<int>(c)) && c != '@' && c != '&') || c == U'\uFF1A' ||
               c == U'\u3001' || c == U'\u3002' || c == U'\uFF0C';
    };
    while (!u.empty() && punct(u.back())) u.pop_back();
    while (!u.empty() && punct(u.front())) u.erase(u.begin());
    return u;
}

bool MatchesAny(const std::u32string& bare, const std::vector<std::string>& list) {
    return std::any_of(list.begin(), list.end(), [&](const std::string& k) { return Bare(k) == bare; });
}

int CountDigits(std::string_view s) {
    return static_cast<int>(std::count_if(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

std::string Join(const std::vector<Word>& words) { return JoinWords(words); }

// --- keyword tables -----------------------------------------------------------

struct LanguageWords {
    std::string_view language;
    std::vector<std::string> telephone, fax, mobile, email, web, suffixes, companyWords, titles, streets;
    std::vector<std::string> address = {}, departments = {}, places = {};
};

const std::vector<LanguageWords>& Tables() {
    static const std::vector<LanguageWords> tables = {
        {"eng",
         {"Tel", "Tel.", "Phone", "Telephone", "T", "Office", "Direct", "Main", "Ph", "Voice"},
         {"Fax", "F", "Facsimile"},
         {"Mob", "Mobile", "Cell", "M", "Mobile phone", "Cellular"},
         {"Email", "E-mail", "E", "Mail"},
         {"Web", "W", "Website", "Homepage", "Internet"},
         {"Ltd", "Ltd.", "Limited", "Inc", "Inc.", "LLC", "LLP", "Corp", "Corp.", "Corporation", "Co.", "plc", "PLC",
          "Company"},
         {"Group", "Technologies", "Technology", "Solutions", "Systems", "Consulting", "Partners", "Associates",
          "Holdings", "Industries", "International", "Bank", "University", "Labs", "Software"},
         {"Manager", "Director", "Engineer", "Researcher", "President", "CEO", "CTO", "CFO", "COO", "Officer", "Head",
          "Consultant", "Developer", "Designer", "Analyst", "Assistant", "Executive", "Senior", "Lead", "Chief",
          "Partner", "Department", "Dept", "Sales", "Marketing", "Specialist", "Architect", "Professor",
          "Coordinator", "Representative", "Administrator", "Founder", "Vice", "VP", "Scientist", "Accountant",
          "Supervisor", "Advisor", "Secretary", "Intern", "Associate"},
         {"Street", "St", "St.", "Road", "Rd", "Rd.", "Avenue", "Ave", "Ave.", "Lane", "Boulevard", "Blvd", "Way",
          "Square", "Place", "Suite", "Floor", "Building", "Court", "Terrace", "Crescent", "Close", "Park",
          "P.O.", "PO Box"}},
        {"deu",
         {"Tel", "Tel.", "Telefon", "Fon", "Durchwahl"},
         {"Fax", "Telefax"},
         {"Mobil", "Handy", "Mobiltelefon", "Funk"},
         {"E-Mail", "Email", "Mail"},
         {"Web", "Internet", "Homepage"},
         {"GmbH", "AG", "KG", "OHG", "mbH", "e.V.", "GbR", "KGaA", "SE"},
         {"Gruppe", "Technik", "Systeme", "Beratung"},
         {"Geschäftsführer", "Geschäftsführerin", "Leiter", "Leiterin", "Ingenieur", "Ingenieurin", "Berater",
          "Beraterin", "Abteilung", "Vertrieb", "Entwickler", "Prokurist", "Vorstand", "Referent"},
         {"Straße", "Strasse", "Str.", "Weg", "Platz", "Allee", "Gasse", "Ring", "Damm", "Postfach"}},
        {"fra",
         {"Tél", "Tél.", "Tel", "Téléphone", "Standard", "Ligne directe"},
         {"Fax", "Télécopie"},
         {"Mobile", "Portable", "Port", "Port.", "Cellulaire"},
         {"Courriel", "E-mail", "Mél", "Mel"},
         {"Web", "Site"},
         {"SA", "S.A.", "SARL", "S.A.R.L.", "SAS", "S.A.S.", "SNC", "EURL", "Cie"},
         {"Groupe", "Société", "Conseil"},
         {"Directeur", "Directrice", "Ingénieur", "Responsable", "Chef", "Gérant", "Gérante", "Président",
          "Présidente", "Conseiller", "Conseillère", "Chargé", "Chargée", "Commercial", "Commerciale"},
         {"Rue", "Avenue", "Boulevard", "Bd", "Place", "Chemin", "Allée", "Quai", "Impasse", "Cedex", "BP"}},
        {"ita",
         {"Tel", "Tel.", "Telefono"},
         {"Fax"},
         {"Cell", "Cell.", "Cellulare", "Mobile"},
         {"E-mail", "Email", "Posta"},
         {"Web", "Sito"},
         {"S.p.A.", "SpA", "Srl", "S.r.l.", "S.n.c.", "S.a.s."},
         {"Gruppo", "Società"},
         {"Direttore", "Direttrice", "Responsabile", "Ingegnere", "Consulente", "Amministratore", "Commerciale"},
         {"Via", "Viale", "Piazza", "Corso", "Largo", "Vicolo"}},
        {"spa",
         {"Tel", "Tel.", "Teléfono", "Telf", "Tfno", "Tfno."},
         {"Fax"},
         {"Móvil", "Movil", "Celular", "Cel", "Cel."},
         {"Correo", "E-mail", "Email"},
         {"Web", "Sitio"},
         {"S.A.", "SA", "S.L.", "SL", "S.L.U.", "SLU", "S.A.U."},
         {"Grupo", "Compañía"},
         {"Director", "Directora", "Gerente", "Ingeniero", "Ingeniera", "Jefe", "Jefa", "Consultor", "Consultora",
          "Responsable", "Comercial", "Departamento"},
         {"Calle", "C/", "Avenida", "Avda", "Avda.", "Plaza", "Paseo", "Carretera", "Apartado"}},
        {"por",
         {"Tel", "Tel.", "Telefone", "Fone"},
         {"Fax"},
         {"Telemóvel", "Tlm", "Celular", "Cel", "Móvel"},
         {"E-mail", "Email", "Correio"},
         {"Web", "Site"},
         {"Ltda", "Ltda.", "Lda", "Lda.", "S.A.", "SA", "ME", "EIRELI"},
         {"Grupo", "Companhia"},
         {"Diretor", "Diretora", "Director", "Gerente", "Engenheiro", "Engenheira", "Consultor", "Consultora",
          "Coordenador", "Coordenadora", "Comercial"},
         {"Rua", "R.", "Avenida", "Av.", "Praça", "Travessa", "Largo", "Estrada", "Alameda"}},
        {"rus",
         {"Тел", "Тел.", "Телефон", "Т."},
         {"Факс", "Ф."},
         {"Моб", "Моб.", "Мобильный", "Сот", "Сот.", "Сотовый"},
         {"E-mail", "Email", "Эл.почта", "Почта"},
         {"Сайт", "Web", "Веб"},
         {"ООО", "ОАО", "ЗАО", "ПАО", "АО", "ИП"},
         {"Компания", "Группа", "Корпорация"},
         {"Директор", "Менеджер", "Инженер", "Руководитель", "Начальник", "Специалист", "Консультант",
          "Генеральный", "Заместитель", "Отдел"},
         {"ул.", "ул", "улица", "пр.", "проспект", "пер.", "переулок", "д.", "дом", "г.", "шоссе", "наб."}},
        {"ukr",
         {"Тел", "Тел.", "Телефон", "Т."},
         {"Факс", "Ф."},
         {"Моб", "Моб.", "Мобільний", "Моб.тел."},
         {"E-mail", "Email", "Ел.пошта", "Пошта"},
         {"Сайт", "Web", "Веб"},
         {"ТОВ", "ПАТ", "ПрАТ", "АТ", "ФОП", "ТзОВ"},
         {"Компанія", "Група", "Корпорація"},
         {"Директор", "Менеджер", "Інженер", "Керівник", "Начальник", "Спеціаліст", "Консультант", "Генеральний",
          "Заступник", "Відділ"},
         {"вул.", "вул", "вулиця", "просп.", "проспект", "пров.", "буд.", "м.", "бульв.", "пл."}},
        {"kor",
         {"전화", "전화번호", "대표전화", "직통", "Tel", "Tel.", "TEL", "T", "Phone"},
         {"팩스", "Fax", "FAX", "F"},
         {"휴대폰", "핸드폰", "휴대전화", "모바일", "H.P", "H.P.", "HP", "Mobile", "M"},
         {"이메일", "메일", "E-mail", "Email", "E"},
         {"홈페이지", "웹", "Web", "Homepage", "W"},
         {"(주)", "㈜", "주식회사", "유한회사", "(유)", "Co.", "Ltd", "Ltd.", "Inc", "Inc.", "Corp", "Corp."},
         {"그룹", "은행", "대학교", "병원"},
         {"대표이사", "대표", "사장", "부사장", "전무", "상무", "이사", "부장", "차장", "과장", "대리", "주임", "사원",
          "팀장", "실장", "본부장", "소장", "센터장", "연구원", "선임연구원", "책임연구원", "수석연구원", "교수",
          "Manager", "Director", "CEO"},
         {"번지"},
         {"주소", "Addr", "Address"},
         {"팀", "본부", "연구소", "센터", "사업부", "부서"},
         {"시", "도", "구", "군", "동", "로", "길", "읍", "면", "리", "층", "번지"}},
    };
    return tables;
}

constexpr std::string_view kGroupNames[] = {"telephone", "fax",    "mobile",     "email", "web",  "suffix",
                                            "words",     "title",  "street",     "address", "department", "place"};

std::vector<std::string>* Group(CardKeywords& k, std::string_view name) {
    std::vector<std::string>* groups[] = {&k.telephone,     &k.fax,        &k.mobile,      &k.email,
                                          &k.web,           &k.companySuffixes, &k.companyWords, &k.titleWords,
                                          &k.streetWords,   &k.address,    &k.departmentEndings, &k.placeEndings};
    for (std::size_t i = 0; i < std::size(kGroupNames); ++i) {
        if (kGroupNames[i] == name) return groups[i];
    }
    return nullptr;
}

// --- line analysis --------------------------------------------------------------

struct Segment {
    std::optional<CardKind> label;
    std::vector<Word> words;
};

// A label word; `next` is the word after it (after a lone colon).
std::optional<CardKind> LabelOf(std::string_view word, const CardKeywords& k, bool colonFollows, std::string_view next) {
    const std::u32string bare = Bare(word);
    if (bare.empty()) return std::nullopt;
    const bool colon = colonFollows || word.find(':') != std::string_view::npos;
    std::optional<CardKind> kind;
    if (MatchesAny(bare, k.mobile)) kind = kCardMobile;
    else if (MatchesAny(bare, k.fax)) kind = kCardFax;
    else if (MatchesAny(bare, k.telephone)) kind = kCardTelephone;
    else if (MatchesAny(bare, k.email)) kind = kCardEmail;
    else if (MatchesAny(bare, k.web)) kind = kCardWeb;
    else if (MatchesAny(bare, k.address)) kind = kCardAddress;
    const bool number = !next.empty() && (std::isdigit(static_cast<unsigned char>(next[0])) || next[0] == '+' ||
                                          (next[0] == '(' && CountDigits(next) > 0));
    if (!kind && number && bare.size() >= 4) {
        // A number's label read a letter off ("Celi", "Phcne") is still its label.
        std::string plain;
        for (const char c : word) {
            if (std::isalnum(static_cast<unsigned char>(c))) plain.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
        int found = 0;
        for (const auto& [list, which] : {std::pair{&k.mobile, kCardMobile}, std::pair{&k.fax, kCardFax},
                                          std::pair{&k.telephone, kCardTelephone}}) {
            const bool near = std::any_of(list->begin(), list->end(), [&](std::string label) {
                for (char& c : label) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                return label.size() >= 4 && EditDistance(plain, label) == 1;
            });
            if (near) {
                kind = which;
                ++found;
            }
        }
        if (found != 1) kind.reset();
        return kind;
    }
    // Single letters ("T", "M") may be initials: without a colon they are
    // labels only before what they label (a number, an address).
    if (!kind || bare.size() > 1 || colon) return kind;
    const bool email = next.find('@') != std::string_view::npos;
    const bool web = next.find("www.") != std::string_view::npos || next.find("http") != std::string_view::npos;
    if (*kind == kCardEmail) return email ? kind : std::nullopt;
    if (*kind == kCardWeb) return web ? kind : std::nullopt;
    return number ? kind : std::nullopt;
}

// Splits "tel:+44" into the label and the value, each with its share of the box.
void SplitGlued(std::vector<Word>& words) {
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& t = words[i].text;
        const std::size_t colon = t.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 >= t.size()) continue;
        if (t.compare(colon + 1, 2, "//") == 0) continue;  // "https://"
        const std::string rest = t.substr(colon + 1);
        if (rest.find_first_of("0123456789+(") != 0) continue;
        Word label = words[i], value = words[i];
        label.text = t.substr(0, colon + 1);
        value.text = rest;
        const int split = words[i].box.left + words[i].box.Width() * static_cast<int>(colon + 1) /
                                                  static_cast<int>(t.size());
        label.box.right = split;
        value.box.left = split;
        words[i] = label;
        words.insert(words.begin() + static_cast<std::ptrdiff_t>(i) + 1, value);
        ++i;
    }
}

std::string FullWidthColonsPlain(const std::string& text) {
    constexpr std::string_view kFullWidthColon = "\uFF1A";
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, kFullWidthColon.size(), kFullWidthColon) == 0) {
            out.push_back(':');
            i += kFullWidthColon.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

// Korean and Chinese pieces the recogniser read apart without a blank are
// one word again ("휴대" "폰:"), and a full-width colon is a colon.
std::vector<Word> MergeUnspaced(const std::vector<Word>& words) {
    std::vector<Word> out;
    for (Word w : words) {
        w.text = FullWidthColonsPlain(w.text);
        const std::u32string u = Decode(w.text);
        if (!out.empty() && !u.empty()) {
            const std::u32string before = Decode(out.back().text);
            const bool han = IsHan(before.back()) && IsHan(u.front());
            if (han || (!w.spaceBefore && (IsWideScript(before.back()) || IsWideScript(u.front())))) {
                out.back().text += w.text;
                out.back().box = Union(out.back().box, w.box);
                out.back().confidence = std::min(out.back().confidence, w.confidence);
                continue;
            }
        }
        if (!u.empty()) out.push_back(std::move(w));
    }
    return out;
}

bool StartsValue(std::string_view word) {
    return CountDigits(word) > 0 || word.find('@') != std::string_view::npos || word.find('.') != std::string_view::npos ||
           word.starts_with('+') || word.starts_with('(');
}

// A line's words cut at its labels: "tel: 1 fax: 2" gives two labelled segments.
std::vector<Segment> Segments(const Line& line, const CardKeywords& k) {
    std::vector<Word> words = MergeUnspaced(line.words);
    SplitGlued(words);
    std::vector<Segment> segments(1);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const bool colonNext = i + 1 < words.size() && words[i + 1].text == ":";
        const std::size_t valueAt = colonNext ? i + 2 : i + 1;
        const std::optional<CardKind> label =
            LabelOf(words[i].text, k, colonNext, valueAt < words.size() ? std::string_view(words[valueAt].text) : "");
        const bool hasColon = colonNext || words[i].text.find(':') != std::string::npos;
        const bool valueFollows = valueAt < words.size() && (hasColon || StartsValue(words[valueAt].text));
        if (label && valueFollows) {
            if (!segments.back().words.empty() || segments.back().label) segments.emplace_back();
            segments.back().label = label;
            i = valueAt - 1;
            continue;
        }
        segments.back().words.push_back(words[i]);
    }
    std::erase_if(segments, [](const Segment& s) { return s.words.empty(); });
    return segments;
}

bool IsEmail(std::string_view text) {
    const std::size_t at = text.find('@');
    return at != std::string_view::npos && at > 0 && text.find('.', at) != std::string_view::npos;
}

bool IsDomainWord(std::string_view word) {
    std::u32string u = Bare(word);
    const std::size_t dot = u.rfind('.');
    if (dot == std::u32string::npos || dot == 0 || u.size() - dot - 1 < 2 || u.size() - dot - 1 > 6) return false;
    for (std::size_t i = dot + 1; i < u.size(); ++i) {
        if (u[i] < 'a' || u[i] > 'z') return false;
    }
    int letters = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        const char32_t c = u[i];
        if (c >= 'a' && c <= 'z') ++letters;
        else if (!IsDigit(c) && c != '-' && c != '.') return false;
    }
    return letters >= 2;
}

bool IsWeb(std::string_view text) {
    const std::u32string lower = LowerText(text);
    if (lower.find(U"www.") != std::u32string::npos || lower.find(U"http") != std::u32string::npos) return true;
    // A bare domain: one word, or a word with a path.
    return text.find(' ') == std::string_view::npos && text.find('@') == std::string_view::npos &&
           IsDomainWord(text.substr(0, text.find('/')));
}

bool IsNumber(std::string_view text) {
    const int digits = CountDigits(text);
    int letters = 0;
    for (char32_t c : Decode(text)) letters += IsLetter(c);
    return digits >= 6 && letters * 3 <= digits;
}

bool AnyWordIn(const std::vector<Word>& words, const std::vector<std::string>& list) {
    return std::any_of(words.begin(), words.end(), [&](const Word& w) { return MatchesAny(Bare(w.text), list); });
}

// Legal forms written with a stop ("Co.") need it: "CO" is also a state.
bool HasCompanySuffix(const std::vector<Word>& words, const std::vector<std::string>& suffixes) {
    // Korean legal forms stand glued to the name: "(주)한빛", "주식회사 한빛".
    const std::string text = Join(words);
    for (const std::string& s : suffixes) {
        const bool wide = std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
        if (wide && text.find(s) != std::string::npos) return true;
    }
    return std::any_of(words.begin(), words.end(), [&](const Word& w) {
        const std::u32string bare = Bare(w.text);
        return std::any_of(suffixes.begin(), suffixes.end(), [&](const std::string& s) {
            const bool stop = !s.empty() && s.back() == '.';
            if (stop && std::find(suffixes.begin(), suffixes.end(), s.substr(0, s.size() - 1)) == suffixes.end() &&
                w.text.find('.') == std::string::npos) {
                return false;
            }
            return Bare(s) == bare;
        });
    });
}

// Street words also end compounds: "Leopoldstraße", "Hauptstr.".
bool HasStreetWord(const std::vector<Word>& words, const std::vector<std::string>& streets) {
    for (const Word& w : words) {
        const std::u32string bare = Bare(w.text), lower = LowerText(w.text);
        for (const std::string& s : streets) {
            const std::u32string street = LowerText(s), streetBare = Bare(s);
            if (bare == streetBare) return true;
            if (street.size() >= 4 && lower.size() > street.size() && lower.ends_with(street)) return true;
            if (streetBare.size() >= 4 && bare.size() > streetBare.size() && bare.ends_with(streetBare)) return true;
        }
    }
    return false;
}

// UK "W2 6BD", "SW1A 1AA"; five-digit and four-digit codes before a place name.
bool HasPostcode(const std::vector<Word>& words) {
    auto ukOutward = [](const std::u32string& s) {
        if (s.size() < 2 || s.size() > 4 || !std::isalpha(static_cast<int>(s[0] & 0x7F))) return false;
        return std::any_of(s.begin(), s.end(), [](char32_t c) { return IsDigit(c); });
    };
    auto ukInward = [](const std::u32string& s) {
        return s.size() == 3 && IsDigit(s[0]) && IsLetter(s[1]) && IsLetter(s[2]);
    };
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::u32string w = Decode(words[i].text);
        std::u32string bare = w;
        while (!bare.empty() && (bare.back() == ',' || bare.back() == '.')) bare.pop_back();
        if (i + 1 < words.size()) {
            std::u32string next = Decode(words[i + 1].text);
            while (!next.empty() && (next.back() == ',' || next.back() == '.')) next.pop_back();
            if (ukOutward(bare) && ukInward(next)) return true;
            // "75008 Paris", "D-80331 München", "1010 Wien"
            std::u32string digits = bare;
            if (digits.size() > 2 && digits[1] == '-' && IsUpperLetter(digits[0])) digits = digits.substr(2);
            const bool code = (digits.size() == 4 || digits.size() == 5) &&
                              std::all_of(digits.begin(), digits.end(), [](char32_t c) { return IsDigit(c); });
            if (code && !next.empty() && IsUpperLetter(next[0]) && CountDigits(words[i + 1].text) == 0) return true;
        }
    }
    return false;
}

// A British postcode's inward part is a digit and two capitals ("6BD");
// after an outward part ("W2", "OX1", "SW1A") the look-alikes the
// recogniser gives for them are set right ("68D" -> "6BD", "SAB" -> "5AB").
void MendPostcode(std::vector<Word>& words) {
    auto outward = [](std::string_view w) {
        if (w.size() < 2 || w.size() > 4 || !std::isupper(static_cast<unsigned char>(w[0]))) return false;
        std::size_t i = 1;
        if (std::isupper(static_cast<unsigned char>(w[i]))) ++i;
        if (i >= w.size() || !std::isdigit(static_cast<unsigned char>(w[i]))) return false;
        return std::all_of(w.begin() + static_cast<std::ptrdiff_t>(i), w.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || std::isupper(static_cast<unsigned char>(c)); });
    };
    auto toDigit = [](char c) {
        switch (c) {
            case 'S': case 's': return '5';
            case 'O': case 'o': case 'D': return '0';
            case 'I': case 'l': case '|': return '1';
            case 'Z': case 'z': return '2';
            case 'B': return '8';
            case 'G': return '6';
            default: return c;
        }
    };
    auto toLetter = [](char c) {
        switch (c) {
            case '8': return 'B';
            case '5': return 'S';
            case '6': return 'G';
            case '2': return 'Z';
            case '0': return 'D';
            case ']': case '}': return 'J';
            default: return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    };
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        std::string& inward = words[i + 1].text;
        if (inward.size() != 3) continue;
        std::string first = words[i].text;
        // A leaning W comes out as a backslash and an N, or as slashes.
        for (std::string_view w : {"\\N", "\\/\\/"}) {
            if (first.size() > w.size() && first.compare(0, w.size(), w) == 0) first.replace(0, w.size(), 1, 'W');
        }
        std::string bare = first;
        while (!bare.empty() && bare.back() == ',') bare.pop_back();
        if (!outward(bare)) continue;
        std::string mended = {toDigit(inward[0]), toLetter(inward[1]), toLetter(inward[2])};
        const bool shape = std::isdigit(static_cast<unsigned char>(mended[0])) &&
                           std::isupper(static_cast<unsigned char>(mended[1])) &&
                           std::isupper(static_cast<unsigned char>(mended[2]));
        if (shape) {
            words[i].text = first;
            inward = mended;
        }
    }
}

// "2 Kingdom Street": a house number and a capitalised word.
bool StartsWithHouseNumber(const std::vector<Word>& words) {
    if (words.size() < 2) return false;
    const std::u32string first = Bare(words[0].text), second = Decode(words[1].text);
    return !first.empty() && first.size() <= 5 && IsDigit(first[0]) && !second.empty() && IsUpperLetter(second[0]);
}

// A Korean address: two words ending in a place (시, 구, 로, ...) or one
// beside a number ("테헤란로 123", "06234 서울시").
bool HasPlaceWords(const std::vector<Word>& words, const std::vector<std::string>& places) {
    int found = 0;
    for (const Word& w : words) {
        const std::string bare = w.text;
        found += std::any_of(places.begin(), places.end(), [&](const std::string& p) {
            return bare.size() > p.size() && bare.ends_with(p) && CountDigits(bare) == 0;
        });
    }
    return found >= 2 || (found == 1 && words.size() >= 2 && CountDigits(Join(words)) > 0);
}

bool EndsWithAny(const std::vector<Word>& words, const std::vector<std::string>& endings) {
    return std::any_of(words.begin(), words.end(), [&](const Word& w) {
        return std::any_of(endings.begin(), endings.end(),
                           [&](const std::string& e) { return w.text.size() > e.size() && w.text.ends_with(e); });
    });
}

// A Korean or Chinese name: two to four Hangul syllables or Han characters.
bool LooksLikeCjkName(const std::vector<Word>& words) {
    std::u32string all;
    for (const Word& w : words) all += Decode(w.text);
    const bool hangul = std::all_of(all.begin(), all.end(), [](char32_t c) { return c >= 0xAC00 && c <= 0xD7A3; });
    const bool han = std::all_of(all.begin(), all.end(), [](char32_t c) { return IsHan(c) && c >= 0x3400; });
    return all.size() >= 2 && all.size() <= 4 && (hangul || han);
}

bool HasDigit(const std::vector<Word>& words) {
    return std::any_of(words.begin(), words.end(), [](const Word& w) { return CountDigits(w.text) > 0; });
}

bool LooksLikeName(const std::vector<Word>& words) {
    if (words.size() < 2 || words.size() > 4 || HasDigit(words)) return false;
    return std::all_of(words.begin(), words.end(), [](const Word& w) {
        const std::u32string u = Decode(w.text);
        if (u.empty() || !IsUpperLetter(u[0])) return false;
        return std::all_of(u.begin(), u.end(), [](char32_t c) { return IsLetter(c) || c == '.' || c == '-' || c == '\''; });
    });
}

// The second-level name of an e-mail or web address ("contoso" of "avery@contoso.com").
std::u32string DomainName(const std::string& text) {
    std::u32string lower = LowerText(text);
    const std::size_t at = lower.find('@');
    if (at != std::u32string::npos) lower = lower.substr(at + 1);
    for (std::u32string prefix : {U"https://", U"http://", U"www."}) {
        const std::size_t p = lower.find(prefix);
        if (p != std::u32string::npos) lower = lower.substr(p + prefix.size());
    }
    const std::size_t dot = lower.find('.');
    return dot == std::u32string::npos ? std::u32string() : lower.substr(0, dot);
}

std::u32string LettersOnly(const std::string& text) {
    std::u32string out;
    for (char32_t c : LowerText(text)) {
        if (IsLetter(c) || IsDigit(c)) out.push_back(c);
    }
    return out;
}

// In a line whose words all start with a capital, a word starting "l" and a
// small letter began with a capital I: in sans-serif print the two are one shape.
void CapitalIOfTitleCase(std::vector<Word>& words) {
    auto startsUpper = [](const std::string& w) {
        const std::u32string u = Decode(w);
        return !u.empty() && IsUpperLetter(u[0]);
    };
    auto lowerL = [](const std::string& w) { return w.size() >= 2 && w[0] == 'l' && w[1] >= 'a' && w[1] <= 'z'; };
    int upper = 0, other = 0;
    for (const Word& w : words) {
        if (lowerL(w.text)) continue;
        const std::u32string u = Decode(w.text);
        if (u.empty() || !IsLetter(u[0])) continue;
        (startsUpper(w.text) ? upper : other)++;
    }
    if (upper == 0 || other > 0) return;
    for (Word& w : words) {
        if (lowerL(w.text)) w.text[0] = 'I';
    }
}


// A mobile number by its form where the numbering plan shows it: British
// mobiles are 07 or +44 7 followed by nine digits.
bool HasMobileForm(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    if (digits.starts_with("440")) digits.erase(2, 1);  // "+44 (0) 7..."
    // Korean mobiles: 010 (and the older 011, 016 to 019) and eight digits, or +82 10.
    const bool korean = (digits.size() == 11 && digits.starts_with("01") && digits[2] != '2' && digits[2] != '3' &&
                         digits[2] != '4' && digits[2] != '5') ||
                        (digits.size() == 12 && digits.starts_with("821"));
    return korean || (digits.size() == 11 && digits.starts_with("07")) ||
           (digits.size() == 12 && digits.starts_with("447"));
}

}  // namespace

void CardKeywords::Merge(const CardKeywords& other) {
    auto add = [](std::vector<std::string>& to, const std::vector<std::string>& from) {
        for (const std::string& w : from) {
            if (std::find(to.begin(), to.end(), w) == to.end()) to.push_back(w);
        }
    };
    add(telephone, other.telephone);
    add(fax, other.fax);
    add(mobile, other.mobile);
    add(email, other.email);
    add(web, other.web);
    add(companySuffixes, other.companySuffixes);
    add(companyWords, other.companyWords);
    add(titleWords, other.titleWords);
    add(streetWords, other.streetWords);
    add(address, other.address);
    add(departmentEndings, other.departmentEndings);
    add(placeEndings, other.placeEndings);
}

CardKeywords BuiltinKeywords(std::string_view language) {
    const auto& tables = Tables();
    auto it = std::find_if(tables.begin(), tables.end(), [&](const LanguageWords& t) { return t.language == language; });
    if (it == tables.end()) it = tables.begin();
    CardKeywords k;
    k.telephone = it->telephone;
    k.fax = it->fax;
    k.mobile = it->mobile;
    k.email = it->email;
    k.web = it->web;
    k.companySuffixes = it->suffixes;
    k.companyWords = it->companyWords;
    k.titleWords = it->titles;
    k.streetWords = it->streets;
    k.address = it->address;
    k.departmentEndings = it->departments;
    k.placeEndings = it->places;
    return k;
}

std::string KeywordsToText(const CardKeywords& keywords) {
    CardKeywords copy = keywords;
    std::string out;
    for (std::string_view name : kGroupNames) {
        out.append(name).push_back('=');
        const auto* group = Group(copy, name);
        for (std::size_t i = 0; i < group->size(); ++i) {
            if (i) out.push_back('|');
            out += (*group)[i];
        }
        out.push_back('\n');
    }
    return out;
}

CardKeywords KeywordsFromText(std::string_view text) {
    CardKeywords k;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        auto* group = Group(k, line.substr(0, eq));
        if (!group) continue;
        std::string_view words = line.substr(eq + 1);
        while (!words.empty()) {
            const std::size_t bar = words.find('|');
            if (bar != 0) group->emplace_back(words.substr(0, bar));
            words = bar == std::string_view::npos ? std::string_view() : words.substr(bar + 1);
        }
    }
    return k;
}

std::string CardField::Text() const { return Join(words); }

std::vector<CardField> ClassifyCard(const std::vector<Line>& lines, const CardKeywords& k, const std::vector<Line>& unkept) {
    std::vector<CardField> fields;
    std::vector<const Line*> lineOf;  // the line each field came from
    for (const Line& line : lines) {
        for (Segment& segment : Segments(line, k)) {
            if (fields.size() >= kMaxCardFields) break;
            CardField field;
            field.words = std::move(segment.words);
            DropEmblemWords(field.words);
            if (!segment.label || segment.label == kCardEmail || segment.label == kCardWeb) JoinSplitAddress(field.words);
            if (!segment.label) MendPostcode(field.words);
            const std::string text = field.Text();
            if (IsEmail(text)) field.kind = kCardEmail;
            else if (segment.label == kCardEmail || segment.label == kCardWeb) field.kind = *segment.label;
            else if (IsWeb(text)) field.kind = kCardWeb;
            else if (segment.label) field.kind = *segment.label;
            else if (IsNumber(text)) field.kind = kCardUnknown;
            else if (HasCompanySuffix(field.words, k.companySuffixes)) field.kind = kCardCompany;
            else if (HasPostcode(field.words) || HasStreetWord(field.words, k.streetWords) ||
                     StartsWithHouseNumber(field.words) || HasPlaceWords(field.words, k.placeEndings)) field.kind = kCardAddress;
            else if (AnyWordIn(field.words, k.titleWords) || EndsWithAny(field.words, k.departmentEndings)) field.kind = kCardTitle;
            else if (AnyWordIn(field.words, k.companyWords)) field.kind = kCardCompany;
            else field.kind = kCardUnknown;
            if (field.kind != kCardEmail && field.kind != kCardWeb) CapitalIOfTitleCase(field.words);
            if (field.kind == kCardTitle) CapitalIOfAcronyms(field.words);
            fields.push_back(std::move(field));
            lineOf.push_back(&line);
        }
    }

    // Lines right under an address belong to it (measured on the squared text).
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind != kCardAddress) continue;
        const Line* above = lineOf[i];
        for (std::size_t j = 0; j < fields.size(); ++j) {
            if (fields[j].kind != kCardUnknown || IsNumber(fields[j].Text())) continue;
            const Line* here = lineOf[j];
            const double h = std::max(above->textHeight, 8);
            const double down = here->across - above->across;
            if (down > 0.3 * h && down < 3.0 * h && std::fabs(here->along - above->along) < 3 * h) {
                fields[j].kind = kCardAddress;
                above = here;  // the next line may go on under this one
                j = static_cast<std::size_t>(-1);
            }
        }
    }

    // Bare numbers: a mobile's form tells a mobile; the rest take the kinds
    // still missing, telephone, fax, mobile in that order, as labels would.
    auto has = [&](CardKind kind) {
        return std::any_of(fields.begin(), fields.end(), [&](const CardField& f) { return f.kind == kind; });
    };
    for (CardField& f : fields) {
        if (f.kind != kCardUnknown || !IsNumber(f.Text())) continue;
        if (HasMobileForm(f.Text()) && !has(kCardMobile)) f.kind = kCardMobile;
    }
    for (CardField& f : fields) {
        if (f.kind != kCardUnknown || !IsNumber(f.Text())) continue;
        for (CardKind kind : {kCardTelephone, kCardFax, kCardMobile}) {
            if (!has(kind)) {
                f.kind = kind;
                break;
            }
        }
    }

    // The company named by the e-mail or web address.
    std::vector<std::u32string> domains;
    for (const CardField& f : fields) {
        if (f.kind == kCardEmail || f.kind == kCardWeb) {
            const std::u32string d = DomainName(f.Text());
            if (d.size() >= 3) domains.push_back(d);
        }
    }
    // A line spelling the domain of the card's e-mail or web address is the
    // company, before a line typed company only by words such as "Group"
    // (a department's name): that one goes back to the other lines.
    bool haveCompany = false;
    for (CardField& f : fields) {
        if (f.kind != kCardUnknown && f.kind != kCardCompany) continue;
        const std::u32string letters = LettersOnly(f.Text());
        if (letters.size() >= 3 && std::find(domains.begin(), domains.end(), letters) != domains.end()) {
            for (CardField& other : fields) {
                if (&other != &f && other.kind == kCardCompany && !HasCompanySuffix(other.words, k.companySuffixes)) {
                    other.kind = kCardTitle;
                }
            }
            f.kind = kCardCompany;
            haveCompany = true;
            break;
        }
    }
    haveCompany = haveCompany ||
                  std::any_of(fields.begin(), fields.end(), [](const CardField& f) { return f.kind == kCardCompany; });

    // The name: a capitalised line of two to four words without digits, the tallest.
    int best = -1;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].kind != kCardUnknown || !(LooksLikeName(fields[i].words) || LooksLikeCjkName(fields[i].words))) continue;
        if (best < 0 || lineOf[i]->textHeight > lineOf[static_cast<std::size_t>(best)]->textHeight) {
            best = static_cast<int>(i);
        }
    }
    if (best >= 0) fields[static_cast<std::size_t>(best)].kind = kCardName;

    // Without a company yet: the logo, a short line of letters in far the largest type.
    if (!haveCompany && fields.size() >= 3) {
        std::vector<int> heights;
        for (const Line* line : lineOf) heights.push_back(line->textHeight);
        std::vector<int> sorted = heights;
        std::sort(sorted.begin(), sorted.end());
        const int median = sorted[sorted.size() / 2];
        const int nameHeight = best >= 0 ? heights[static_cast<std::size_t>(best)] : 0;
        int logo = -1;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].kind != kCardUnknown || fields[i].words.size() > 3 || HasDigit(fields[i].words)) continue;
            if (heights[i] < 1.6 * median || heights[i] < 1.3 * nameHeight) continue;
            if (logo < 0 || heights[i] > heights[static_cast<std::size_t>(logo)]) logo = static_cast<int>(i);
        }
        if (logo >= 0) fields[static_cast<std::size_t>(logo)].kind = kCardCompany;
    }
    MendNumbersBySiblings(fields);
    MendAddressesByFields(fields, unkept);
    return fields;
}

}  // namespace plat::ocr
