#include "CardCorpus.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <random>
#include <sstream>

namespace cardgen {
namespace {

constexpr int kFrameWidth = 1280;
constexpr int kFrameHeight = 960;
// The card lies about where the program's card frame is (40..1240 x 140..820).
constexpr int kCardLeft = 70, kCardTop = 170, kCardRight = 1210, kCardBottom = 790;
constexpr double kPi = 3.14159265358979323846;

struct FontSet {
    const char* regular;
    const char* bold;
};
constexpr FontSet kFonts[] = {
    {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf"},
    {"/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed.ttf",
     "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf"},
};

constexpr const char* kFirst[] = {"Julia", "Martin", "Sofia", "Daniel", "Emma",  "Oliver", "Laura", "Thomas",
                                  "Anna",  "Peter",  "Clara", "David",  "Helen", "Robert", "Nina",  "Simon",
                                  "Karen", "Lucas",  "Maria", "George"};
constexpr const char* kLast[] = {"Hartmann", "Fischer", "Bennett", "Walker", "Moreau",    "Lindqvist", "Novak",
                                 "Carter",   "Brooks",  "Keller",  "Palmer", "Hughes",    "Ramsey",    "Whitfield",
                                 "Dawson",   "Ellis",   "Fletcher", "Grant", "Holloway", "Mercer"};
constexpr const char* kStems[] = {"Nordwind",   "Bluestone", "Harbourline", "Greenfield", "Silverpeak", "Redwood",
                                  "Brightwater", "Oakmont",  "Northgate",   "Clearview",  "Westbrook",  "Ironbridge"};
constexpr const char* kTails[] = {"Logistics Ltd", "Consulting", "Systems Inc.", "Partners LLP",
                                  "Technologies",  "",           "Media Group",  "Engineering Ltd"};
constexpr const char* kTlds[] = {".com", ".co.uk", ".net", ".org"};
constexpr const char* kTitles[] = {"Sales Director",    "Senior Engineer",   "Project Manager", "Marketing Manager",
                                   "Chief Executive Officer", "Head of Research", "Senior Consultant",
                                   "Account Manager",   "Software Developer", "Financial Analyst"};
constexpr const char* kStreets[] = {"Harbour", "Kingdom", "Station", "Mill", "Church", "Victoria", "Queen", "Bridge"};
constexpr const char* kStreetKinds[] = {"Road", "Street", "Lane", "Avenue", "Way"};
constexpr const char* kCities[] = {"Bristol BS1 4QA",   "London EC2A 4NE",  "Leeds LS1 5AB",   "Oxford OX1 2JD",
                                   "Seattle, WA 98101", "Austin, TX 78701", "Boston, MA 02110", "Denver, CO 80202"};

// Label styles: telephone, fax, mobile; an empty style prints bare numbers.
struct Labels {
    const char* phone;
    const char* fax;
    const char* mobile;
};
constexpr Labels kLabelStyles[] = {
    {"Tel: ", "Fax: ", "Mobile: "}, {"T: ", "F: ", "M: "}, {"Phone ", "Fax ", "Cell "},
    {"T ", "F ", "M "},             {"tel: ", "fax: ", "mob: "}, {"", "", ""},
};

class Random {
public:
    explicit Random(unsigned seed) : engine_(seed) {}
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(engine_); }
    double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine_); }
    bool Chance(double p) { return Real(0, 1) < p; }
    template <typename T, std::size_t N>
    const T& Pick(const T (&list)[N]) { return list[static_cast<std::size_t>(Int(0, static_cast<int>(N) - 1))]; }
    double Gauss() { return std::normal_distribution<double>(0, 1)(engine_); }

private:
    std::mt19937 engine_;
};

std::string Digits(Random& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>('0' + r.Int(0, 9)));
    return s;
}

std::string PhoneNumber(Random& r, bool us) {
    if (us) {
        std::string s = "(";
        s.append(std::to_string(r.Int(201, 989))).append(") ").append(Digits(r, 3)).append("-").append(Digits(r, 4));
        return s;
    }
    switch (r.Int(0, 2)) {
        case 0: return "+44 20 " + Digits(r, 4) + " " + Digits(r, 4);
        case 1: return "+44 (0) " + std::to_string(r.Int(11, 79)) + " " + Digits(r, 4) + " " + Digits(r, 4);
        default: return "0" + std::to_string(r.Int(1100, 7999)) + " " + Digits(r, 6);
    }
}

struct Content {
    std::string name, title, company, email, web, phone, fax, mobile, street, city;
    Labels labels;
};

Content MakeContent(Random& r) {
    Content c;
    const std::string first = r.Pick(kFirst), last = r.Pick(kLast);
    c.name = r.Chance(0.15) ? "Dr. " : "";
    c.name.append(first).append(" ").append(last);
    c.title = r.Pick(kTitles);
    const std::string stem = r.Pick(kStems), tail = r.Pick(kTails);
    c.company = tail[0] ? stem + " " + tail : stem;
    std::string domain = stem;
    std::transform(domain.begin(), domain.end(), domain.begin(), [](unsigned char ch) { return std::tolower(ch); });
    domain += r.Pick(kTlds);
    std::string user = first + "." + last;
    if (r.Chance(0.3)) user = std::string(1, first[0]) + "." + last;
    std::transform(user.begin(), user.end(), user.begin(), [](unsigned char ch) { return std::tolower(ch); });
    if (r.Chance(0.9)) c.email = user + "@" + domain;
    if (r.Chance(0.75)) {
        const int style = r.Int(0, 2);
        c.web = style == 0 ? "www." + domain : style == 1 ? "https://www." + domain + "/" : "www." + domain;
    }
    const int city = r.Int(0, static_cast<int>(std::size(kCities)) - 1);
    const bool us = city >= 4;
    c.phone = PhoneNumber(r, us);
    if (r.Chance(0.5)) c.fax = PhoneNumber(r, us);
    if (r.Chance(0.6)) c.mobile = us ? PhoneNumber(r, true) : "+44 7" + Digits(r, 3) + " " + Digits(r, 6);
    if (r.Chance(0.85)) {
        c.street = std::to_string(r.Int(1, 240)) + " " + r.Pick(kStreets) + " " + r.Pick(kStreetKinds);
        c.city = kCities[city];
    }
    c.labels = r.Pick(kLabelStyles);
    return c;
}

struct Ink {
    std::uint8_t dark = 30;
    std::uint8_t light = 245;
};

// One printed line and where its truth goes.
struct Printer {
    Picture& picture;
    const FontSet& font;
    CorpusCard& card;

    int Width(const std::string& text, int size, bool bold) {
        return DrawText(picture, bold ? font.bold : font.regular, size, 0, 0, text, 0, true);
    }
    bool Line(int x, int baseline, int size, bool bold, const std::string& text, std::uint8_t ink) {
        return DrawText(picture, bold ? font.bold : font.regular, size, x, baseline, text, ink) >= 0;
    }
};

void Fill(Picture& p, int left, int top, int right, int bottom, std::uint8_t level) {
    for (int y = std::max(0, top); y < std::min(p.height, bottom); ++y) {
        std::fill(p.px.begin() + static_cast<std::ptrdiff_t>(y) * p.width + std::max(0, left),
                  p.px.begin() + static_cast<std::ptrdiff_t>(y) * p.width + std::min(p.width, right), level);
    }
}

void Truth(CorpusCard& card, const char* key, const std::string& value, bool light) {
    if (value.empty()) return;
    card.truth.emplace_back(key, value);
    if (light) card.lightOnDark.emplace_back(key);
}

std::string Address(const Content& c) { return c.street.empty() ? std::string() : c.street + " " + c.city; }

// The numbers as printed lines; bare numbers go telephone, fax, mobile in order.
std::vector<std::pair<const char*, std::string>> NumberLines(const Content& c) {
    std::vector<std::pair<const char*, std::string>> out;
    out.emplace_back("phone", c.labels.phone + c.phone);
    if (!c.fax.empty()) out.emplace_back("fax", c.labels.fax + c.fax);
    if (!c.mobile.empty()) out.emplace_back("mobile", c.labels.mobile + c.mobile);
    return out;
}

std::string ValueOf(const Content& c, const char* key) {
    const std::string k = key;
    return k == "phone" ? c.phone : k == "fax" ? c.fax : c.mobile;
}

// Dark print on white: name and title top left, company, numbers left, address right.
bool DrawClassic(Random& r, Printer& p, const Content& c, int small) {
    const Ink ink{static_cast<std::uint8_t>(r.Int(15, 70))};
    const int x = kCardLeft + r.Int(40, 70);
    int y = kCardTop + r.Int(80, 100);
    bool ok = p.Line(x, y, r.Int(40, 54), true, c.name, ink.dark);
    Truth(p.card, "name", c.name, false);
    ok &= p.Line(x + 2, y += 46, r.Int(24, 30), false, c.title, ink.dark);
    Truth(p.card, "title", c.title, false);
    ok &= p.Line(x, y += 100, r.Int(32, 40), true, c.company, ink.dark);
    Truth(p.card, "company", c.company, false);
    y += 60;
    const int contact = r.Int(24, 28);
    for (const auto& [key, text] : NumberLines(c)) {
        ok &= p.Line(x + 2, y, contact, false, text, ink.dark);
        Truth(p.card, key, ValueOf(c, key), false);
        y += contact + 12;
    }
    const int rightX = kCardLeft + 640;
    int ry = kCardBottom - 150;
    if (!c.email.empty()) ok &= p.Line(rightX, ry, small, false, c.email, ink.dark);
    Truth(p.card, "e-mail", c.email, false);
    ry += small + 10;
    if (!c.web.empty()) ok &= p.Line(rightX, ry, small, false, c.web, ink.dark);
    Truth(p.card, "web", c.web, false);
    ry = kCardTop + 120;
    if (!c.street.empty()) {
        ok &= p.Line(rightX, ry, contact, false, c.street, ink.dark);
        ok &= p.Line(rightX, ry + contact + 12, contact, false, c.city, ink.dark);
    }
    Truth(p.card, "address", Address(c), false);
    return ok;
}

// Dark name block on white above a coloured band printed light: company,
// numbers and address on the band.
bool DrawBand(Random& r, Printer& p, const Content& c, int small) {
    const Ink ink{static_cast<std::uint8_t>(r.Int(15, 60)), static_cast<std::uint8_t>(r.Int(235, 255))};
    const int bandTop = kCardTop + 300;
    Fill(p.picture, kCardLeft, bandTop, kCardRight, kCardBottom, static_cast<std::uint8_t>(r.Int(60, 125)));
    const int x = kCardLeft + r.Int(40, 70);
    int y = kCardTop + r.Int(75, 90);
    bool ok = p.Line(x, y, r.Int(38, 50), true, c.name, ink.dark);
    Truth(p.card, "name", c.name, false);
    ok &= p.Line(x + 2, y += 44, r.Int(22, 28), false, c.title, ink.dark);
    Truth(p.card, "title", c.title, false);
    y += 50;
    if (!c.email.empty()) ok &= p.Line(x + 2, y, small, false, c.email, ink.dark);
    Truth(p.card, "e-mail", c.email, false);
    if (!c.web.empty()) ok &= p.Line(x + 2, y + small + 10, small, false, c.web, ink.dark);
    Truth(p.card, "web", c.web, false);

    int by = bandTop + 70;
    ok &= p.Line(x, by, r.Int(32, 40), true, c.company, ink.light);
    Truth(p.card, "company", c.company, true);
    by += 60;
    const int contact = r.Int(22, 27);
    for (const auto& [key, text] : NumberLines(c)) {
        ok &= p.Line(x + 2, by, contact, false, text, ink.light);
        Truth(p.card, key, ValueOf(c, key), true);
        by += contact + 12;
    }
    if (!c.street.empty()) {
        const int rightX = kCardLeft + 660;
        ok &= p.Line(rightX, bandTop + 130, contact, false, c.street, ink.light);
        ok &= p.Line(rightX, bandTop + 130 + contact + 12, contact, false, c.city, ink.light);
    }
    Truth(p.card, "address", Address(c), true);
    return ok;
}

// A dark logo plate with the company in light print; name and title beside
// it; numbers in the left column, address and addresses in the right one.
bool DrawPlate(Random& r, Printer& p, const Content& c, int small) {
    const Ink ink{static_cast<std::uint8_t>(r.Int(15, 60)), static_cast<std::uint8_t>(r.Int(230, 255))};
    const int companySize = r.Int(30, 38);
    const int plateW = p.Width(c.company, companySize, true) + 60;
    const int plateLeft = kCardLeft + 40, plateTop = kCardTop + 40;
    Fill(p.picture, plateLeft, plateTop, plateLeft + plateW, plateTop + companySize + 50,
         static_cast<std::uint8_t>(r.Int(20, 90)));
    bool ok = p.Line(plateLeft + 30, plateTop + 25 + companySize, companySize, true, c.company, ink.light);
    Truth(p.card, "company", c.company, true);
    const int x = kCardLeft + 60;
    int y = plateTop + companySize + 130;
    ok &= p.Line(x, y, r.Int(36, 46), true, c.name, ink.dark);
    Truth(p.card, "name", c.name, false);
    ok &= p.Line(x + 2, y += 40, r.Int(22, 28), false, c.title, ink.dark);
    Truth(p.card, "title", c.title, false);
    y += 70;
    const int contact = r.Int(22, 26);
    for (const auto& [key, text] : NumberLines(c)) {
        ok &= p.Line(x + 2, y, contact, false, text, ink.dark);
        Truth(p.card, key, ValueOf(c, key), false);
        y += contact + 10;
    }
    const int rightX = kCardLeft + 620;
    int ry = kCardTop + 360;
    if (!c.street.empty()) {
        ok &= p.Line(rightX, ry, contact, false, c.street, ink.dark);
        ok &= p.Line(rightX, ry + contact + 10, contact, false, c.city, ink.dark);
    }
    Truth(p.card, "address", Address(c), false);
    ry += 2 * contact + 50;
    if (!c.email.empty()) ok &= p.Line(rightX, ry, small, false, c.email, ink.dark);
    Truth(p.card, "e-mail", c.email, false);
    if (!c.web.empty()) ok &= p.Line(rightX, ry + small + 10, small, false, c.web, ink.dark);
    Truth(p.card, "web", c.web, false);
    return ok;
}

// Name and title right, company and address left, numbers and addresses right.
bool DrawColumns(Random& r, Printer& p, const Content& c, int small) {
    const Ink ink{static_cast<std::uint8_t>(r.Int(15, 90))};
    const int leftX = kCardLeft + 50, rightX = kCardLeft + 600;
    // The company stays in its column: a smaller size where it would reach the name.
    int companySize = r.Int(34, 44);
    while (companySize > 20 && p.Width(c.company, companySize, true) > rightX - leftX - 60) --companySize;
    bool ok = p.Line(leftX, kCardTop + 110, companySize, true, c.company, ink.dark);
    Truth(p.card, "company", c.company, false);
    int y = kCardTop + 110;
    ok &= p.Line(rightX, y, r.Int(32, 42), true, c.name, ink.dark);
    Truth(p.card, "name", c.name, false);
    ok &= p.Line(rightX + 2, y += 40, r.Int(20, 26), false, c.title, ink.dark);
    Truth(p.card, "title", c.title, false);
    const int contact = r.Int(21, 25);
    if (!c.street.empty()) {
        ok &= p.Line(leftX, kCardBottom - 120, contact, false, c.street, ink.dark);
        ok &= p.Line(leftX, kCardBottom - 120 + contact + 10, contact, false, c.city, ink.dark);
    }
    Truth(p.card, "address", Address(c), false);
    y += 110;
    for (const auto& [key, text] : NumberLines(c)) {
        ok &= p.Line(rightX, y, contact, false, text, ink.dark);
        Truth(p.card, key, ValueOf(c, key), false);
        y += contact + 10;
    }
    y += 14;
    if (!c.email.empty()) ok &= p.Line(rightX, y, small, false, c.email, ink.dark);
    Truth(p.card, "e-mail", c.email, false);
    if (!c.web.empty()) ok &= p.Line(rightX, y + small + 10, small, false, c.web, ink.dark);
    Truth(p.card, "web", c.web, false);
    return ok;
}

// --- the camera ---------------------------------------------------------------

// A 3 x 3 matrix, rows first.
using Matrix = std::array<double, 9>;

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k) m[i * 3 + j] += a[i * 3 + k] * b[k * 3 + j];
        }
    }
    return m;
}

Matrix Inverse(const Matrix& m) {
    const double a = m[4] * m[8] - m[5] * m[7], b = m[5] * m[6] - m[3] * m[8], c = m[3] * m[7] - m[4] * m[6];
    const double det = m[0] * a + m[1] * b + m[2] * c;
    return {a / det, (m[2] * m[7] - m[1] * m[8]) / det, (m[1] * m[5] - m[2] * m[4]) / det,
            b / det, (m[0] * m[8] - m[2] * m[6]) / det, (m[2] * m[3] - m[0] * m[5]) / det,
            c / det, (m[1] * m[6] - m[0] * m[7]) / det, (m[0] * m[4] - m[1] * m[3]) / det};
}

// Photo pixel -> flat pixel for a card turned by `roll` in its plane and
// tilted by `yaw` and `pitch` about its centre, seen at `scale`.
Matrix PhotoToFlat(double roll, double yaw, double pitch, double scale) {
    const double f = 1500, cx = kFrameWidth / 2.0, cy = kFrameHeight / 2.0;
    const double cr = std::cos(roll), sr = std::sin(roll), cyw = std::cos(yaw), syw = std::sin(yaw),
                 cp = std::cos(pitch), sp = std::sin(pitch);
    const Matrix rz{cr, -sr, 0, sr, cr, 0, 0, 0, 1};
    const Matrix ry{cyw, 0, syw, 0, 1, 0, -syw, 0, cyw};
    const Matrix rx{1, 0, 0, 0, cp, -sp, 0, sp, cp};
    const Matrix rot = Multiply(ry, Multiply(rx, rz));
    // A card point (X, Y) sits at R (s (X - cx), s (Y - cy), 0) + (0, 0, f) and
    // is seen at f x / z + cx, f y / z + cy.
    const Matrix plane{scale * rot[0], scale * rot[1], 0, scale * rot[3], scale * rot[4], 0,
                       scale * rot[6], scale * rot[7], f};
    const Matrix k{f, 0, cx, 0, f, cy, 0, 0, 1};
    const Matrix shift{1, 0, -cx, 0, 1, -cy, 0, 0, 1};
    return Inverse(Multiply(k, Multiply(plane, shift)));
}

Picture Photograph(const Picture& flat, const Matrix& m, std::uint8_t table) {
    Picture out{flat.width, flat.height, std::vector<std::uint8_t>(flat.px.size(), table)};
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const double u = x + 0.5, v = y + 0.5;
            const double w = m[6] * u + m[7] * v + m[8];
            const double sx = (m[0] * u + m[1] * v + m[2]) / w - 0.5, sy = (m[3] * u + m[4] * v + m[5]) / w - 0.5;
            if (sx < 0 || sy < 0 || sx >= flat.width - 1 || sy >= flat.height - 1) continue;
            const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
            const double fx = sx - x0, fy = sy - y0;
            auto at = [&](int xx, int yy) { return flat.px[static_cast<std::size_t>(yy) * flat.width + xx]; };
            out.px[static_cast<std::size_t>(y) * out.width + x] = static_cast<std::uint8_t>(
                std::lround((at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy) +
                            (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy));
        }
    }
    return out;
}

// Area average down by a whole factor.
Picture Shrink(const Picture& src, int factor) {
    Picture out{src.width / factor, src.height / factor, {}};
    out.px.resize(static_cast<std::size_t>(out.width) * out.height);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            int sum = 0;
            for (int dy = 0; dy < factor; ++dy) {
                for (int dx = 0; dx < factor; ++dx) sum += src.px[static_cast<std::size_t>(y * factor + dy) * src.width + x * factor + dx];
            }
            out.px[static_cast<std::size_t>(y) * out.width + x] = static_cast<std::uint8_t>(sum / (factor * factor));
        }
    }
    return out;
}

}  // namespace

CorpusCard MakeCorpusCard(unsigned seed, int index, bool photographed) {
    CorpusCard card;
    Random r(seed * 7919u + static_cast<unsigned>(index) * 104729u + (photographed ? 1u : 0u));
    const Content content = MakeContent(r);
    const FontSet& font = r.Pick(kFonts);
    if (!std::filesystem::exists(font.regular) || !std::filesystem::exists(font.bold)) return card;

    const std::uint8_t table = static_cast<std::uint8_t>(r.Int(70, 150));
    Picture flat{kFrameWidth, kFrameHeight, std::vector<std::uint8_t>(static_cast<std::size_t>(kFrameWidth) * kFrameHeight, table)};
    Fill(flat, kCardLeft, kCardTop, kCardRight, kCardBottom, static_cast<std::uint8_t>(r.Int(228, 250)));
    Printer printer{flat, font, card};
    const bool smallText = r.Chance(0.5);
    const int small = smallText ? r.Int(12, 15) : r.Int(20, 24);
    static constexpr const char* kDesigns[] = {"classic", "band", "plate", "columns"};
    const int design = index % 4;
    bool ok = false;
    switch (design) {
        case 0: ok = DrawClassic(r, printer, content, small); break;
        case 1: ok = DrawBand(r, printer, content, small); break;
        case 2: ok = DrawPlate(r, printer, content, small); break;
        default: ok = DrawColumns(r, printer, content, small); break;
    }
    if (!ok) return card;
    std::ostringstream what;
    what << kDesigns[design] << ", " << std::filesystem::path(font.regular).stem().string() << ", e-mail/web "
         << small << " px";

    Picture picture = std::move(flat);
    if (photographed) {
        const double roll = r.Real(-8, 8), yaw = r.Real(-20, 20) * (r.Chance(0.5) ? 1 : 0.3),
                     pitch = r.Real(-15, 15) * (r.Chance(0.5) ? 1 : 0.3);
        const double sigma = r.Real(0.4, 1.5), noise = r.Real(2, 8);
        picture = Photograph(picture, PhotoToFlat(roll * kPi / 180, yaw * kPi / 180, pitch * kPi / 180, 0.9), table);
        picture = Blur(picture, sigma);
        // Light falling off across the card, a soft bright spot, sensor noise.
        const double fall = r.Real(0.0, 0.35), angle = r.Real(0, 2 * kPi);
        const double spotX = r.Real(0, kFrameWidth), spotY = r.Real(0, kFrameHeight);
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                const double along = ((x - 640.0) * std::cos(angle) + (y - 480.0) * std::sin(angle)) / 800.0;
                const double d2 = ((x - spotX) * (x - spotX) + (y - spotY) * (y - spotY)) / (350.0 * 350.0);
                const double light = (1.0 - fall * (0.5 + 0.5 * along)) * (1.0 + 0.08 * std::exp(-d2));
                std::uint8_t& p = picture.px[static_cast<std::size_t>(y) * picture.width + x];
                p = static_cast<std::uint8_t>(std::clamp(p * light + noise * r.Gauss(), 0.0, 255.0));
            }
        }
        what << "; turned " << std::lround(roll) << ", tilted " << std::lround(yaw) << "/" << std::lround(pitch)
             << " deg, blur " << std::lround(sigma * 10) / 10.0 << ", noise " << std::lround(noise) << ", light -"
             << std::lround(fall * 100) << " %";
        if (index % 3 == 1) {
            picture = Shrink(picture, 2);
            what << ", 640 x 480";
        }
        card.jpeg = index % 3 != 0;
        if (card.jpeg) what << ", JPEG quality 60";
    }
    card.picture = std::move(picture);
    card.design = what.str();
    char stem[32];
    std::snprintf(stem, sizeof stem, "card-%u-%03d-%s", seed, index, photographed ? "photo" : "clean");
    card.stem = stem;
    return card;
}

std::string TruthText(const CorpusCard& card) {
    std::string out = "# Fields of " + card.stem + ", drawn by cardgen: " + card.design + ".\n";
    out += "# One field per line: key<TAB>value; light-on-dark lists the keys printed light on dark ground.\n";
    for (const auto& [key, value] : card.truth) out += key + "\t" + value + "\n";
    if (!card.lightOnDark.empty()) {
        out += "light-on-dark\t";
        for (std::size_t i = 0; i < card.lightOnDark.size(); ++i) {
            if (i) out.push_back(',');
            out += card.lightOnDark[i];
        }
        out += "\n";
    }
    return out;
}

}  // namespace cardgen
