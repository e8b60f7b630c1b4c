// Business-card field correction: every rule as a table of (kind, text) in
// and (kind, text) out, through the whole correction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "CardCorrection.h"

namespace {

using lumocr::CardFieldEntry;

struct In {
    std::int32_t kind;
    std::string text;
};

struct Out {
    std::int32_t kind;
    std::string text;
};

class Fields {
public:
    explicit Fields(const std::vector<In>& in) {
        for (const In& i : in) {
            char* text = new char[lumocr::kCardTextBytes]();
            std::memcpy(text, i.text.data(), std::min<std::size_t>(i.text.size(), lumocr::kCardTextMax));
            entries_.push_back({i.kind, static_cast<std::int32_t>(std::strlen(text)), text, 0, 0});
        }
    }
    ~Fields() {
        for (CardFieldEntry& e : entries_) delete[] e.text;
    }
    CardFieldEntry* data() { return entries_.data(); }
    int size() const { return static_cast<int>(entries_.size()); }
    Out at(int i) const {
        const CardFieldEntry& e = entries_[static_cast<std::size_t>(i)];
        EXPECT_EQ(static_cast<std::size_t>(e.length), std::strlen(e.text)) << e.text;
        return {e.kind, std::string(e.text, static_cast<std::size_t>(e.length))};
    }

private:
    std::vector<CardFieldEntry> entries_;
};

constexpr std::int32_t T = lumocr::kKindTelephone, F = lumocr::kKindFax, M = lumocr::kKindMobile,
                       E = lumocr::kKindEmail, W = lumocr::kKindWeb, A = lumocr::kKindAddress,
                       N = lumocr::kKindName, C = lumocr::kKindCompany, X = lumocr::kKindFurther,
                       U = lumocr::kKindUnknown;

struct Case {
    const char* what;
    std::vector<In> in;
    std::vector<Out> out;
};

void Check(const Case& c) {
    SCOPED_TRACE(c.what);
    Fields fields(c.in);
    lumocr::CorrectCardFields(fields.size(), fields.data());
    ASSERT_EQ(c.out.size(), c.in.size());
    for (int i = 0; i < fields.size(); ++i) {
        const Out got = fields.at(i);
        EXPECT_EQ(c.out[static_cast<std::size_t>(i)].kind, got.kind) << "field " << i << ": " << got.text;
        EXPECT_EQ(c.out[static_cast<std::size_t>(i)].text, got.text) << "field " << i;
    }
}

TEST(CorrectionKeywordPasses, GiveUnknownFieldsTheirKind) {
    const Case cases[] = {
        {"keyword at 0 goes with the space after it", {{U, "TEL 02 123 4567"}}, {{T, "02 123 4567"}}},
        // The telephone clean-up then reads the kept "Office " as it reads digits.
        {"keyword later keeps the text before it", {{U, "Office TEL 0212345678"}}, {{T, "06 "}}},
        {"too few digits", {{U, "FAX 123"}}, {{U, "FAX 123"}}},
        {"lower case matches", {{U, "fax: 02 1234 5678"}, {T, "1"}}, {{F, " 02 1234 5678"}, {T, "1"}}},
        {"keyword at 1", {{U, "(Mobile)010 1234 5678"}}, {{M, "(010 1234 5678"}}},
        {"one field per pass", {{U, "TEL 0212345678"}, {U, "TEL 0298765432"}},
         {{T, "0212345678"}, {U, "TEL 0298765432"}}},
        {"pass skipped when the kind is present", {{T, "1"}, {U, "TEL 0212345678"}},
         {{T, "1"}, {U, "TEL 0212345678"}}},
        {"too few digits, keyword alone", {{U, "TEL"}, {N, "Ann Lee"}}, {{U, "TEL"}, {N, "Ann Lee"}}},
        {"e-mail needs no digits", {{U, "E-MAIL a@b.de"}, {N, "Ann Lee"}}, {{E, "a@b.de"}, {N, "Ann Lee"}}},
        {"e-mail keyword ending the text", {{U, "E-MAIL"}, {N, "Ann Lee"}}, {{E, ""}, {N, "Ann Lee"}}},
        {"web keyword", {{U, "Website: www.x.org"}, {N, "Ann Lee"}}, {{W, "www.x.org"}, {N, "Ann Lee"}}},
        {"company keyword", {{U, "ACME LTD"}}, {{C, "ACME LTD"}}},
        {"technology without a further field", {{U, "Lumen Technology"}}, {{C, "Lumen Technology"}}},
        {"technology with a further field", {{X, "Head"}, {U, "Lumen Technology"}},
         {{X, "Head"}, {N, "Lumen Technology"}}},
        {"ends with PTE", {{U, "ACME PTE"}, {N, "Ann Lee"}}, {{C, "ACME PTE"}, {N, "Ann Lee"}}},
        {"name: letters and spaces", {{U, "Jane Doe"}}, {{N, "Jane Doe"}}},
        {"name: not with a digit", {{U, "Jane Doe 2"}}, {{U, "Jane Doe 2"}}},
        {"name: Western letters count", {{U, "Jos\xE9 M\xFCller"}}, {{N, "Jos\xE9 M\xFCller"}}},
        {"name: only when none is present", {{N, "Ann Lee"}, {U, "Jane Doe"}}, {{N, "Ann Lee"}, {U, "Jane Doe"}}},
    };
    for (const Case& c : cases) Check(c);
}

TEST(CorrectionDigitsPass, HandsOutTheMissingTelephoneKinds) {
    const Case cases[] = {
        {"three then a fourth",
         {{U, "02 123 4567"}, {U, "(02) 765-4321"}, {U, "010.1234.5678"}, {U, "02/999 9999"}},
         {{T, "02 123 4567"}, {F, "(02) 765-4321"}, {M, "010.1234.5678"}, {U, "02/999 9999"}}},
        {"only the missing ones", {{F, "1234567"}, {U, "02 123"}, {U, "03 456"}},
         {{F, "1234567"}, {T, "02 123"}, {M, "03 456"}}},
        {"punctuation alone is no number", {{U, "( - )"}, {U, "02 123"}}, {{U, "( - )"}, {T, "02 123"}}},
        {"empty is no number", {{U, ""}, {U, "5"}}, {{U, ""}, {T, "5"}}},
    };
    for (const Case& c : cases) Check(c);
}

TEST(CorrectionTelephone, CleansNumbers) {
    const Case cases[] = {
        {"confusions", {{T, "(02) l23-4S67"}}, {{T, "(02) 123-4867"}}},
        {"more confusions", {{T, "oO,bZ?ji"}}, {{T, "00.82231"}}},
        {"kept characters", {{T, "+44 20/123-456 #7 & x8 X9"}}, {{T, "+44 20/123-456 #7 & x8 X9"}}},
        {"extension keeps its letters", {{T, "02 1234 ext 56"}}, {{T, "02 1234 ext 56"}}},
        {"E without XT is dropped", {{T, "02 1234 E 56"}}, {{T, "02 1234  56"}}},
        {"closing bracket at the start", {{T, ")02 1234"}}, {{T, "02 1234"}}},
        {"closing bracket without an open one", {{T, "02)1234"}}, {{T, "0211234"}}},
        {"brace closes", {{T, "(02}1234"}}, {{T, "(02)1234"}}},
        {"lone brace", {{T, "02}1234"}}, {{T, "021234"}}},
        {"fi is a six", {{T, "02 fi1234"}}, {{T, "02 61234"}}},
        {"f- makes the last digit a one", {{T, "027f-1234"}}, {{T, "021-1234"}}},
        {"(d) is a misread (0)", {{T, "+44 (d) 20 1234"}}, {{T, "+44 (0) 20 1234"}}},
        {"(D) as well", {{T, "+44 (D) 20"}}, {{T, "+44 (0) 20"}}},
        {"other d is skipped", {{T, "02d1234"}}, {{T, "021234"}}},
        {"scattered letters cut the text",
         {{T, "02 123 4567 Mr Kevin Brown"}}, {{T, "02 123 4567 "}}},
        {"a few letters are dropped", {{T, "02 123 4567 Rm"}}, {{T, "02 123 4567 "}}},
        {"single character left alone", {{T, "l"}}, {{T, "l"}}},
    };
    for (const Case& c : cases) Check(c);
}

// "(d)" read literally would leave "(d" and lose the bracket; read as a
// dropped character it would leave "()". Neither is a telephone number.
TEST(CorrectionTelephone, RejectedReadingsOfTheBracketedD) {
    Fields f({{T, "(d)"}});
    lumocr::CorrectCardFields(f.size(), f.data());
    EXPECT_NE("(d", f.at(0).text);
    EXPECT_NE("()", f.at(0).text);
    EXPECT_EQ("(0)", f.at(0).text);
}

TEST(CorrectionAddressAndWeb, CleansEmailWebAndDomains) {
    const Case cases[] = {
        {"corn at the end", {{E, "info@acme.corn"}}, {{E, "info@acme.com"}}},
        {"con' at the end", {{W, "www.acme.con'"}}, {{W, "www.acme.com"}}},
        {"space and corn", {{E, "info@acme corn"}}, {{E, "info@acme.com"}}},
        {"corn inside stays", {{E, "cornelia@acme.de"}}, {{E, "cornelia@acme.de"}}},
        {"www glued", {{W, "wwwacme.org"}}, {{W, "www.acme.org"}}},
        {"www and a space", {{W, "www acme.org"}}, {{W, "www.acme.org"}}},
        {"www late is left", {{W, "http://abcwwwacme.org"}}, {{W, "http://abcwwwacme.org"}}},
        {"domain ending glued", {{W, "www.acmenet"}}, {{W, "www.acme.net"}}},
        {"domain ending after a space", {{E, "a@acme org"}}, {{E, "a@acme.org"}}},
        {"domain ending already dotted", {{W, "www.acme.co.kr"}}, {{W, "www.acme.co.kr"}}},
        {"domain ending inside the text stays", {{E, "info@disco.de"}}, {{E, "info@disco.de"}}},
        {"com glued", {{E, "info@acmecom"}}, {{E, "info@acme.com"}}},
        {"e-mail characters", {{E, ".a,b;c d\\e@f.de"}}, {{E, "a.b:cde@f.de"}}},
        {"web drops at signs", {{W, "www.a@b.de"}}, {{W, "www.ab.de"}}},
        {"address punctuation", {{A, "#12 (Main) St., [B]|~ *!"}}, {{A, "#12 (Main) St., [B]|~ "}}},
        {"company punctuation", {{C, "A&B Co. 'X' / Y*"}}, {{C, "A&B Co. 'X' / Y"}}},
        {"name punctuation", {{N, "Dr. O'Neil-Smith (CEO)"}}, {{N, "Dr. O'Neil-Smith CEO"}}},
        {"name keeps Western letters", {{N, "Zo\xEB \xC5sa\x9A"}}, {{N, "Zo\xEB \xC5sa\x9A"}}},
        {"further kinds are left", {{X, "*Head*"}}, {{X, "*Head*"}}},
    };
    for (const Case& c : cases) Check(c);
}

TEST(CorrectionCompany, SecondStopOfCoBecomesAComma) {
    const Case cases[] = {
        {"blank after the comma goes", {{C, "ACME CO.. LTD"}}, {{C, "ACME CO.,LTD"}}},
        {"a letter after it stays", {{C, "ACME CO..LTD"}}, {{C, "ACME CO.,LTD"}}},
        {"at the end", {{C, "ACME CO.."}}, {{C, "ACME CO.,"}}},
        {"only the first", {{C, "CO.. CO.."}}, {{C, "CO.,CO.."}}},
    };
    for (const Case& c : cases) Check(c);
}

// Removing whatever follows the comma would eat the L of "LTD".
TEST(CorrectionCompany, RejectedReadingOfCo) {
    Fields f({{C, "ACME CO..LTD"}});
    lumocr::CorrectCardFields(f.size(), f.data());
    EXPECT_NE("ACME CO.,TD", f.at(0).text);
}

TEST(CorrectionLimits, InsertedStopNeverOverflowsTheField) {
    std::string text = "www" + std::string(lumocr::kCardTextMax - 3, 'a');
    Fields f({{W, text}});
    lumocr::CorrectCardFields(f.size(), f.data());
    EXPECT_EQ(text, f.at(0).text);
    EXPECT_EQ(lumocr::kCardTextMax, f.at(0).text.size());
}

TEST(CorrectionRecords, KindsBecomeRecordTypesAndTextsAreFreed) {
    const std::pair<std::int32_t, std::int32_t> table[] = {
        {0, OCR_FIELD_TELEPHONE}, {1, OCR_FIELD_FAX},     {2, OCR_FIELD_MOBILE},  {3, OCR_FIELD_EMAIL},
        {4, OCR_FIELD_WEB},       {5, OCR_FIELD_ADDRESS}, {6, OCR_FIELD_NAME},    {7, OCR_FIELD_COMPANY},
        {8, OCR_FIELD_OTHER},     {9, OCR_FIELD_ENGINE1}, {10, OCR_FIELD_OTHER},  {11, OCR_FIELD_ENGINE6},
        {12, OCR_FIELD_OTHER},    {13, OCR_FIELD_OTHER},  {14, OCR_FIELD_ENGINE4}, {15, OCR_FIELD_OTHER},
        {-1, OCR_FIELD_OTHER},    {99, OCR_FIELD_OTHER}};
    for (const auto& [kind, type] : table) EXPECT_EQ(type, lumocr::RecordTypeOfKind(kind)) << kind;

    std::vector<CardFieldEntry> entries(2);
    entries[0] = {lumocr::kKindName, 3, new char[lumocr::kCardTextBytes](), 0, 0};
    std::strcpy(entries[0].text, "Ann");
    entries[1] = {lumocr::kKindUnknown, 5, new char[lumocr::kCardTextBytes](), 0, 0};
    std::strcpy(entries[1].text, "x");
    OcrCardField records[2] = {};
    lumocr::EntriesToRecords(entries.data(), records, 2);
    EXPECT_EQ(OCR_FIELD_NAME, records[0].type);
    EXPECT_STREQ("Ann", records[0].text);
    EXPECT_EQ(OCR_FIELD_OTHER, records[1].type);
    EXPECT_STREQ("x", records[1].text);
    EXPECT_EQ(nullptr, entries[0].text);
    EXPECT_EQ(nullptr, entries[1].text);
}

}  // namespace
