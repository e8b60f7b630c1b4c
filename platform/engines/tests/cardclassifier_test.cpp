// The shared card classifier: recognised lines in, typed fields out.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "CardClassifier.h"

namespace {

using namespace plat::ocr;

// One line per string; words split at spaces, boxes laid out left to right.
std::vector<Line> Lines(const std::vector<std::string>& texts, std::vector<int> heights = {}) {
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
            line.words.push_back({w, {x, top, x + width, top + line.textHeight}, 90});
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
    Check({"0123 456 7890"}, {{kCardUnknown, "0123 456 7890"}});
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
