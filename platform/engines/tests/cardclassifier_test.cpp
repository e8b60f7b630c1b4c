// The shared card classifier: recognised lines in, typed fields out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CardClassifier.h"

namespace {

using namespace plat::ocr;

// One line per string; words split at spaces, boxes laid out left to right.
std::vector<Line> Lines(const std::vector<std::string>& texts, std::vector<int> heights = {}, int confidence = 90) {
    std::vector<Line> lines;
    int top = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Line line;
        line.textHeight = i < heights.size() ? heights[i] : 20;
        std::istringstream words(texts[i]);
        std::string w;
        int x = 10;
        while (words >> w) {
            const int width = static_cast<int>(w.size()) * 10;
            line.words.push_back({w, {x, top, x + width, top + line.textHeight}, confidence});
            x += width + 8;
        }
        line.box = {10, top, x, top + line.textHeight};
        top += line.textHeight + 10;
        lines.push_back(line);
    }
    return lines;
}

struct Expect {
    CardKind kind;
    std::string text;
};

void Check(const std::vector<std::string>& in, const std::vector<Expect>& out, std::vector<int> heights = {},
           const std::string& language = "eng") {
    const std::vector<CardField> fields = ClassifyCard(Lines(in, heights), BuiltinKeywords(language));
    ASSERT_EQ(out.size(), fields.size());
    for (std::size_t i = 0; i < out.size(); ++i) {
        EXPECT_EQ(out[i].kind, fields[i].kind) << fields[i].Text();
        EXPECT_EQ(out[i].text, fields[i].Text());
    }
}

TEST(CardClassifier, TypesAWholeCard) {
    Check({"Dr. Avery Smith", "Senior Researcher", "Cloud & AI Department", "avery.smith@contoso.com",
           "https://www.contoso.com/", "mob: +44 (0) 7911 123456", "tel: +44 (0) 20 9876 5432",
           "fax: +44 (0) 20 6789 2345", "Contoso", "2 Kingdom Street", "Paddington, London, W2 6BD"},
          {{kCardName, "Dr. Avery Smith"},
           {kCardTitle, "Senior Researcher"},
           {kCardTitle, "Cloud & AI Department"},
           {kCardEmail, "avery.smith@contoso.com"},
           {kCardWeb, "https://www.contoso.com/"},
           {kCardMobile, "+44 (0) 7911 123456"},
           {kCardTelephone, "+44 (0) 20 9876 5432"},
           {kCardFax, "+44 (0) 20 6789 2345"},
           {kCardCompany, "Contoso"},
           {kCardAddress, "2 Kingdom Street"},
           {kCardAddress, "Paddington, London, W2 6BD"}},
          {30});
}

TEST(CardClassifier, LabelsAndValues) {
    Check({"Tel: 030 1234567 Fax: 030 1234568"}, {{kCardTelephone, "030 1234567"}, {kCardFax, "030 1234568"}});
    Check({"tel:+44 20 1234 5678"}, {{kCardTelephone, "+44 20 1234 5678"}});
    Check({"T: 0123 456789", "M: 0777 123456"}, {{kCardTelephone, "0123 456789"}, {kCardMobile, "0777 123456"}});
    Check({"0123 456 7890"}, {{kCardTelephone, "0123 456 7890"}});
    Check({"Mobile Solutions Ltd"}, {{kCardCompany, "Mobile Solutions Ltd"}});
    Check({"E-mail: jo@example.org", "www.example.org", "example.org"},
          {{kCardEmail, "jo@example.org"}, {kCardWeb, "www.example.org"}, {kCardWeb, "example.org"}});
}

// Single-letter labels decide a number's kind without a colon too; before
// anything but a value they stay words (initials).
TEST(CardClassifier, SingleLetterLabels) {
    const struct {
        std::string line;
        CardKind kind;
        std::string text;
    } cases[] = {
        {"T (896) 825-5091", kCardTelephone, "(896) 825-5091"},
        {"F +44 20 7946 0321", kCardFax, "+44 20 7946 0321"},
        {"M 0777 123456", kCardMobile, "0777 123456"},
        {"E jo@example.org", kCardEmail, "jo@example.org"},
        {"W www.example.org", kCardWeb, "www.example.org"},
        {"Cell 0777 123456", kCardMobile, "0777 123456"},
        {"M Smith Associates", kCardCompany, "M Smith Associates"},
        {"T Berg", kCardName, "T Berg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        Check({c.line}, {{c.kind, c.text}});
    }
}

// The company is the line that spells the e-mail's domain, before a
// department typed company by one of its words.
// Numbers without labels take the kinds still missing in the order
// telephone, fax, mobile; a British mobile's form tells a mobile.
// A number's label read a letter off is still its label; a word a letter
// off two labels, or before no number, is not one.
TEST(CardClassifier, LabelsReadALetterOff) {
    Check({"Celi (829) 746-0252"}, {{kCardMobile, "(829) 746-0252"}});
    Check({"Phcne: +44 20 7946 0321"}, {{kCardTelephone, "+44 20 7946 0321"}});
    Check({"Celi phone"}, {{kCardUnknown, "Celi phone"}});
}

TEST(CardClassifier, BareNumbers) {
    const struct {
        std::vector<std::string> lines;
        std::vector<CardKind> kinds;
    } cases[] = {
        {{"+44 20 0741 2374", "+44 20 4042 7339"}, {kCardTelephone, kCardFax}},
        {{"(295) 328-5471", "(921) 974-4861", "(338) 186-2703"}, {kCardTelephone, kCardFax, kCardMobile}},
        {{"+44 20 6647 8888", "+44 7159 864945"}, {kCardTelephone, kCardMobile}},
        {{"07911 123456", "020 9876 5432"}, {kCardMobile, kCardTelephone}},
        {{"+44 (0) 7911 123456"}, {kCardMobile}},
        {{"Fax: 020 9876 5432", "020 1234 5678"}, {kCardFax, kCardTelephone}},
        {{"Tel: 020 9876 5432", "Fax: 020 1234 5678", "Mob: 07911 123456", "020 1111 2222"},
         {kCardTelephone, kCardFax, kCardMobile, kCardUnknown}},
    };
    for (const auto& c : cases) {
        const std::vector<CardField> fields = ClassifyCard(Lines(c.lines), BuiltinKeywords("eng"));
        ASSERT_EQ(c.kinds.size(), fields.size()) << c.lines.front();
        for (std::size_t i = 0; i < fields.size(); ++i) EXPECT_EQ(c.kinds[i], fields[i].kind) << fields[i].Text();
    }
}

TEST(CardClassifier, SplitAddressesAreJoinedAndTyped) {
    Check({"j.bennett@westbrook com", "www westbrook com"},
          {{kCardEmail, "j.bennett@westbrook.com"}, {kCardWeb, "www.westbrook.com"}});
}

TEST(CardClassifier, BritishPostcodesAreMended) {
    const struct {
        const char* read;
        const char* mended;
    } cases[] = {
        {"Paddington, London, W2 68D", "Paddington, London, W2 6BD"},
        {"Paddington, London, \\N2 68D", "Paddington, London, W2 6BD"},
        {"London \\/\\/1A 2AB", "London W1A 2AB"},
        {"Leeds LS1 SAB", "Leeds LS1 5AB"},
        {"Oxford OX1 2jD", "Oxford OX1 2JD"},
        {"Oxford OX1 2]D", "Oxford OX1 2JD"},
        {"London SW1A 1AA", "London SW1A 1AA"},
        // Not a postcode's shape: left as read.
        {"Suite 12 3rd", "Suite 12 3rd"},
        {"Denver, CO 80202", "Denver, CO 80202"},
        {"Flat B2 ABC", "Flat B2 ABC"},
        {"Unit \\N2 ABC", "Unit \\N2 ABC"},
    };
    for (const auto& c : cases) {
        const std::vector<CardField> fields = ClassifyCard(Lines({c.read}), BuiltinKeywords("eng"));
        ASSERT_EQ(1u, fields.size());
        EXPECT_EQ(c.mended, fields[0].Text()) << c.read;
    }
}

TEST(CardClassifier, CompanyNamedByTheDomain) {
    Check({"Dr. Ben Zorn", "RiSE group, Northwind Research", "zorn@northwind.com", "Northwind"},
          {{kCardName, "Dr. Ben Zorn"},
           {kCardTitle, "RiSE group, Northwind Research"},
           {kCardEmail, "zorn@northwind.com"},
           {kCardCompany, "Northwind"}});
    Check({"Ann Lee", "Northwind Group Ltd", "ann@northwind.com", "Northwind"},
          {{kCardName, "Ann Lee"},
           {kCardCompany, "Northwind Group Ltd"},
           {kCardEmail, "ann@northwind.com"},
           {kCardCompany, "Northwind"}});
}

// A logo's emblem read as a letter and a sign is not part of the wordmark,
// which then spells the domain; signs inside ordinary words stay.
TEST(CardClassifier, LogoEmblemReadAsSigns) {
    Check({"Dr. Ben Zorn", "RiSE group, Northwind Research", "zorn@northwind.com", "B® Northwind"},
          {{kCardName, "Dr. Ben Zorn"},
           {kCardTitle, "RiSE group, Northwind Research"},
           {kCardEmail, "zorn@northwind.com"},
           {kCardCompany, "Northwind"}});
    Check({"Northwind ©a"}, {{kCardUnknown, "Northwind"}});
    Check({"Northwind® Systems"}, {{kCardCompany, "Northwind® Systems"}});
    Check({"Nº 12 Queen Street"}, {{kCardAddress, "Nº 12 Queen Street"}});
}

// Capitals read as "l" in the acronyms of titles and departments; names keep theirs.
TEST(CardClassifier, AcronymsOfTitles) {
    const struct {
        const char* read;
        CardKind kind;
        const char* typed;
    } cases[] = {
        {"Cloud & Al Department", kCardTitle, "Cloud & AI Department"},
        {"Senior Engineer Il", kCardTitle, "Senior Engineer II"},
        {"Head of Al (ML) Research", kCardTitle, "Head of AI (ML) Research"},
        {"Director, lT Sales", kCardTitle, "Director, IT Sales"},
        {"Al Bennett", kCardName, "Al Bennett"},
        {"Alba Systems", kCardCompany, "Alba Systems"},
    };
    for (const auto& c : cases) Check({c.read}, {{c.kind, c.typed}});
}

// The numbers of one card share their leading groups: a group read run
// together with the next is split after the group another number has in
// that place, only when the groups before it are the same and the two then
// group their digits alike. A "$" among digits is a 5.
TEST(CardClassifier, NumbersSetRightByTheirSiblings) {
    const struct {
        const char* phone;
        const char* fax;
        const char* phoneTyped;
    } cases[] = {
        {"tel: +44 (0) 209876 $432", "fax: +44 (0) 20 6789 2345", "+44 (0) 20 9876 5432"},
        {"tel: 030 1234567", "fax: 030 123 4567", "030 123 4567"},
        {"tel: +44 (0) 219876 5432", "fax: +44 (0) 20 6789 2345", "+44 (0) 219876 5432"},  // another area code
        {"tel: 030 1234567", "fax: 040 123 4567", "030 1234567"},                          // another city
        {"tel: 030 1234567", "fax: 030 123 456", "030 1234567"},                           // fewer digits
    };
    for (const auto& c : cases) {
        const std::string fax = std::string(c.fax).substr(5);
        Check({c.phone, c.fax}, {{kCardTelephone, c.phoneTyped}, {kCardFax, fax}});
    }
}

// The card's name and company set right small print the recogniser misread:
// an address that is not well-formed, or letters read as others where the
// recogniser was unsure. Every other reading is an address as printed:
// nicknames, initials, digits, hyphens, subdomains and other domains stay,
// sure or not.
TEST(CardClassifier, AddressesMendedByTheNameAndTheCompany) {
    constexpr int kSure = 92, kUnsure = 40;
    const struct {
        const char* read;
        int confidence;
        const char* typed;
    } cases[] = {
        // Addresses as printed.
        {"tom.whitfield@nordwind.com", kUnsure, "tom.whitfield@nordwind.com"},
        {"tom.whitfield@nordwind.com", kSure, "tom.whitfield@nordwind.com"},
        {"thom.whitfield@nordwind.com", kUnsure, "thom.whitfield@nordwind.com"},
        {"thomas.whitfield@nordwind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"t.whitfield@nordwind.com", kUnsure, "t.whitfield@nordwind.com"},
        {"tw@nordwind.com", kUnsure, "tw@nordwind.com"},
        {"twhitfield@nordwind.com", kUnsure, "twhitfield@nordwind.com"},
        {"whitfield.tom@nordwind.com", kUnsure, "whitfield.tom@nordwind.com"},
        {"thomas.whitfield2@nordwind.com", kUnsure, "thomas.whitfield2@nordwind.com"},
        {"t-whitfield@nordwind.com", kUnsure, "t-whitfield@nordwind.com"},
        {"tom-whitfield@nordwind.com", kSure, "tom-whitfield@nordwind.com"},
        {"thomas_whitfield@nordwind.com", kUnsure, "thomas_whitfield@nordwind.com"},
        {"Thomas.Whitfield@nordwind.com", kUnsure, "Thomas.Whitfield@nordwind.com"},
        {"THOMAS.WHITFIELD@nordwind.com", kUnsure, "THOMAS.WHITFIELD@nordwind.com"},
        {"tom.whitfield@uk.nordwind.com", kUnsure, "tom.whitfield@uk.nordwind.com"},
        {"tom.whitfield@nordwind.co.uk", kUnsure, "tom.whitfield@nordwind.co.uk"},
        {"tom.whitfield@nordwinds.com", kUnsure, "tom.whitfield@nordwinds.com"},
        {"tom.whitfield@nordwind-systems.com", kUnsure, "tom.whitfield@nordwind-systems.com"},
        {"thomas.whitfield@nordwindco.uk", kSure, "thomas.whitfield@nordwindco.uk"},
        {"thomas.whitfie1d@nordwind.com", kSure, "thomas.whitfie1d@nordwind.com"},
        {"info@nordwind.com", kUnsure, "info@nordwind.com"},
        {"sales@nordwindsystems.com", kUnsure, "sales@nordwindsystems.com"},
        {"www.nordwinds.com", kUnsure, "www.nordwinds.com"},
        {"www.nordwind-systems.co.uk", kUnsure, "www.nordwind-systems.co.uk"},
        {"http://research.nordwind.com/~tom", kUnsure, "http://research.nordwind.com/~tom"},
        {"http://ww.nordwind.com/", kSure, "http://ww.nordwind.com/"},
        // Not well-formed, but its small letters are no form's: no letter of them is dropped.
        {"th.whitfield.@nordwind.com", kUnsure, "th.whitfield.@nordwind.com"},
        {"tom..whitfield@nordwind.com", kUnsure, "tom..whitfield@nordwind.com"},
        // Misreadings set right.
        {"thomas.whitfie1d@nordwind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"t.whitfieid@nordwind.com", kUnsure, "t.whitfield@nordwind.com"},
        {"6.whitfield@nordwind.com", kUnsure, "t.whitfield@nordwind.com"},
        {"thornas.whitfield@nordwind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"thomas.whitfield@nordvvind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"thomas.whitfield@nordwindco.uk", kUnsure, "thomas.whitfield@nordwind.co.uk"},
        {"thomas..whitfield@nordwind.com", kSure, "thomas.whitfield@nordwind.com"},
        {".whitfield@nordwind.com", kSure, "t.whitfield@nordwind.com"},
        {"thomas.whitfieldG@nordwind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"thomas.Whitfield@nordwind.com", kUnsure, "thomas.whitfield@nordwind.com"},
        {"thomas.whitfield@nordwind.Com", kSure, "thomas.whitfield@nordwind.com"},
        {"www.n0rdwind.com", kUnsure, "www.nordwind.com"},
        {"https://www.nordwind.Com/", kSure, "https://www.nordwind.com/"},
        {"https:/Avww.nordwind.com/", kSure, "https://www.nordwind.com/"},
    };
    for (const auto& c : cases) {
        std::vector<Line> lines = Lines({"Dr. Thomas Whitfield", "Nordwind Systems Ltd", c.read}, {30, 20, 12});
        lines[2].words[0].confidence = c.confidence;
        const std::vector<CardField> fields = ClassifyCard(lines, BuiltinKeywords("eng"));
        ASSERT_EQ(3u, fields.size()) << c.read;
        EXPECT_EQ(c.typed, fields[2].Text()) << c.read << " at " << c.confidence;
    }
}

// An e-mail read wrong in both halves is the person's address only when it
// is not well-formed and lies near it; a well-formed one is an address as
// printed, and one whose host is the company's keeps its own name.
TEST(CardClassifier, EmailsReadWrongInBothHalves) {
    const struct {
        const char* read;
        const char* typed;
    } cases[] = {
        {"thems..whitfeld@enartwind.org", "thomas.whitfield@nordwind.org"},
        {"thems.whitfeld@enartwind.org", "thems.whitfeld@enartwind.org"},
        {"tom.whitfield@nordwind-systems.com", "tom.whitfield@nordwind-systems.com"},
        {"tom.w@nordwind.org", "tom.w@nordwind.org"},
        {"(tom.whitfield@nordwind-systems.com)", "(tom.whitfield@nordwind-systems.com)"},
        {"tom.WhitField@nordwind-systems.com", "tom.WhitField@nordwind-systems.com"},
        {"info@enartwind.org", "info@enartwind.org"},
    };
    for (const auto& c : cases) {
        const std::vector<CardField> fields = ClassifyCard(
            Lines({"Thomas Whitfield", "Nordwind Systems Ltd", c.read}, {30, 20, 12}, 30), BuiltinKeywords("eng"));
        ASSERT_EQ(3u, fields.size()) << c.read;
        EXPECT_EQ(c.typed, fields[2].Text()) << c.read;
    }
}

// Small print too blurred to keep gives an address only when it is near one
// made of the card's name and company, and nearer to it than to any other.
TEST(CardClassifier, AddressesFromUnsureReadings) {
    const struct {
        const char* unsure;
        CardKind kind;  // kCardUnknown: no address given
        const char* address;
    } cases[] = {
        {"nnna moreaugbiuestone.co.gk", kCardEmail, "anna.moreau@bluestone.co.uk"},
        {"wvw biuestone org", kCardWeb, "www.bluestone.org"},
        {"https //wwe bluestone.cam/", kCardWeb, "https://www.bluestone.com/"},
        {"https //wwe bluestone.corn/", kCardUnknown, ""},  // "corn" as near "com" as "org"
        {"thems moreou@bluestone.co.uk", kCardUnknown, ""},  // the first name not read
        {"info@bluest0ne.com", kCardUnknown, ""},   // not the person's name: never made up
        {"Senior Consultant", kCardUnknown, ""},
        {"a.moreau@bluestone.ci", kCardUnknown, ""},  // as near .co as .de, .eu, ...
        {"anna.rnoreau@bluestone.org", kCardEmail, "anna.moreau@bluestone.org"},
        {"ann.moreau@bluestone.org", kCardUnknown, ""},  // well-formed: a letter less is no misreading
    };
    const std::vector<Line> kept = Lines({"Dr. Anna Moreau", "Bluestone Systems Inc."}, {30, 20});
    for (const auto& c : cases) {
        std::vector<Line> unsure = Lines({c.unsure}, {}, 30);
        unsure[0].box.top += 200;  // below the kept lines
        unsure[0].box.bottom += 200;
        const std::vector<CardField> fields = ClassifyCard(kept, BuiltinKeywords("eng"), unsure);
        const bool given = fields.size() == 3;
        EXPECT_EQ(c.kind != kCardUnknown, given) << c.unsure;
        if (!given) continue;
        EXPECT_EQ(c.kind, fields[2].kind) << c.unsure;
        EXPECT_EQ(c.address, fields[2].Text()) << c.unsure;
    }
}

// The field kept of the address's line (a word it was sure of) becomes the
// address; a line the card read well, or an address already read, stays.
TEST(CardClassifier, AddressFromUnsureReadingTakesItsLinesField) {
    std::vector<Line> kept = Lines({"Dr. Anna Moreau", "Bluestone Systems Inc.", "nnna", "Senior Consultant"}, {30, 20, 12, 12});
    std::vector<Line> unsure = Lines({"nnna moreaugbiuestone.co.gk"}, {}, 30);
    unsure[0].box.top = kept[2].box.top;
    unsure[0].box.bottom = kept[2].box.bottom + 6;  // reaching a little into the next line
    std::vector<CardField> fields = ClassifyCard(kept, BuiltinKeywords("eng"), unsure);
    ASSERT_EQ(4u, fields.size());
    EXPECT_EQ(kCardEmail, fields[2].kind);
    EXPECT_EQ("anna.moreau@bluestone.co.uk", fields[2].Text());
    EXPECT_EQ("Senior Consultant", fields[3].Text());

    kept = Lines({"Dr. Anna Moreau", "Bluestone Systems Inc.", "anna@bluestone.co.uk"}, {30, 20, 12});
    unsure[0].box.top = 200;
    unsure[0].box.bottom = 212;
    fields = ClassifyCard(kept, BuiltinKeywords("eng"), unsure);
    ASSERT_EQ(3u, fields.size());
    EXPECT_EQ("anna@bluestone.co.uk", fields[2].Text());
}

TEST(CardClassifier, StatesAreNotLegalForms) {
    Check({"148 Queen Avenue", "Denver, CO 80202"}, {{kCardAddress, "148 Queen Avenue"}, {kCardUnknown, "Denver, CO 80202"}});
    Check({"Smith & Co."}, {{kCardCompany, "Smith & Co."}});
}

TEST(CardClassifier, CapitalIInTitleCaseLines) {
    Check({"lronbridge Partners LLP"}, {{kCardCompany, "Ironbridge Partners LLP"}});
    Check({"Head of lnnovation"}, {{kCardTitle, "Head of lnnovation"}});  // not all capitals: left alone
}

TEST(CardClassifier, NameIsTheTallestCapitalisedLine) {
    Check({"Anna Berg", "Jonas Berg", "Head of Sales"},
          {{kCardUnknown, "Anna Berg"}, {kCardName, "Jonas Berg"}, {kCardTitle, "Head of Sales"}}, {18, 26, 30});
    Check({"Anna Berg 2"}, {{kCardUnknown, "Anna Berg 2"}});
}

TEST(CardClassifier, LanguagesHaveTheirOwnWords) {
    Check({"Telefon: 089 123456", "Müller GmbH", "Leopoldstraße 12", "80802 München"},
          {{kCardTelephone, "089 123456"}, {kCardCompany, "Müller GmbH"}, {kCardAddress, "Leopoldstraße 12"},
           {kCardAddress, "80802 München"}},
          {}, "deu");
    Check({"Тел: +7 495 123 45 67", "ООО Ромашка"}, {{kCardTelephone, "+7 495 123 45 67"}, {kCardCompany, "ООО Ромашка"}},
          {}, "rus");
}

TEST(CardClassifier, KeywordFileRoundTrip) {
    const CardKeywords k = BuiltinKeywords("fra");
    const CardKeywords back = KeywordsFromText(KeywordsToText(k));
    EXPECT_EQ(k.telephone, back.telephone);
    EXPECT_EQ(k.companySuffixes, back.companySuffixes);
    EXPECT_EQ(k.streetWords, back.streetWords);
}

TEST(CardClassifier, AtMostOneHundredFields) {
    std::vector<std::string> many(130, "word");
    EXPECT_EQ(kMaxCardFields, ClassifyCard(Lines(many), BuiltinKeywords("eng")).size());
}

}  // namespace

// Korean cards: labels with ASCII or full-width colons, the legal form glued
// to the company, place words of an address, titles and departments, a name
// of Hangul syllables, and a mobile told by its number alone.
TEST(CardClassifierKorean, TypesAKoreanCard) {
    Check({"김민준", "과장", "기술영업팀", "(주)푸른바다시스템", "전화: 02-555-1234", "팩스：02-555-1235",
           "H.P 010-1234-5678", "이메일: minjun.kim@purunbada.co.kr", "홈페이지 www.purunbada.co.kr",
           "주소: 서울시 강남구 테헤란로 123", "주식회사 한빛"},
          {{kCardName, "김민준"},
           {kCardTitle, "과장"},
           {kCardTitle, "기술영업팀"},
           {kCardCompany, "(주)푸른바다시스템"},
           {kCardTelephone, "02-555-1234"},
           {kCardFax, "02-555-1235"},
           {kCardMobile, "010-1234-5678"},
           {kCardEmail, "minjun.kim@purunbada.co.kr"},
           {kCardWeb, "www.purunbada.co.kr"},
           {kCardAddress, "서울시 강남구 테헤란로 123"},
           {kCardCompany, "주식회사 한빛"}},
          {40, 20, 20, 24, 18, 18, 18, 18, 18, 18, 18}, "kor");
    // Without labels a Korean mobile is told by its number.
    Check({"이서연", "02-555-1234", "010-9876-5432"},
          {{kCardName, "이서연"}, {kCardTelephone, "02-555-1234"}, {kCardMobile, "010-9876-5432"}}, {30, 18, 18}, "kor");
}

// The recogniser reads Korean a syllable or two at a time: pieces without a
// blank between them are one word again, before labels and names are sought.
TEST(CardClassifierKorean, PiecesWithoutBlanksAreOneWord) {
    Line name;
    name.textHeight = 40;
    name.words = {{"김", {0, 0, 40, 40}, 90, true}, {"민준", {40, 0, 120, 40}, 90, false}};
    Line phone;
    phone.textHeight = 20;
    phone.words = {{"휴대", {0, 60, 40, 80}, 90, true}, {"폰:", {40, 60, 60, 80}, 90, false},
                   {"010-1234-5678", {70, 60, 200, 80}, 90, true}};
    phone.across = 60;
    const std::vector<CardField> fields = ClassifyCard({name, phone}, BuiltinKeywords("kor"));
    ASSERT_EQ(2u, fields.size());
    EXPECT_EQ(kCardName, fields[0].kind);
    EXPECT_EQ("김민준", fields[0].Text());
    EXPECT_EQ(kCardMobile, fields[1].kind);
    EXPECT_EQ("010-1234-5678", fields[1].Text());
}
