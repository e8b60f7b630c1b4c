// The business-card classifier shared by the engine stand-ins: recognised
// lines in, typed fields out, one field per line in reading order (a line
// holding two labelled values gives two), labels taken out of the words.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "OcrLine.h"

namespace plat::ocr {

enum CardKind {
    kCardTelephone = 0,
    kCardFax = 1,
    kCardMobile = 2,
    kCardEmail = 3,
    kCardWeb = 4,
    kCardAddress = 5,
    kCardName = 6,
    kCardCompany = 7,
    kCardTitle = 8,  // job title and other text
    kCardUnknown = 9,
};

inline constexpr std::size_t kMaxCardFields = 100;

// The words the classifier knows, all languages of a card together.
struct CardKeywords {
    std::vector<std::string> telephone, fax, mobile, email, web;  // labels
    std::vector<std::string> companySuffixes;                      // legal forms
    std::vector<std::string> companyWords;
    std::vector<std::string> titleWords;
    std::vector<std::string> streetWords;
    std::vector<std::string> address;            // labels
    std::vector<std::string> departmentEndings;  // a word ending so names a department
    std::vector<std::string> placeEndings;       // words ending so name the places of an address

    void Merge(const CardKeywords& other);
};

// The keywords of one language ("eng", "deu", "fra", "ita", "spa", "por",
// "rus", "ukr", "kor"); English for any other name.
CardKeywords BuiltinKeywords(std::string_view language);

// The keyword file's text form: one "group=word|word|..." line per group.
std::string KeywordsToText(const CardKeywords& keywords);
CardKeywords KeywordsFromText(std::string_view text);

struct CardField {
    CardKind kind = kCardUnknown;
    std::vector<Word> words;
    std::string Text() const;  // words joined as their line spaces them
};

// `unkept`: every reading of the lines not read as an address, however
// unsure; they may only give an address the other fields confirm.
std::vector<CardField> ClassifyCard(const std::vector<Line>& lines, const CardKeywords& keywords,
                                    const std::vector<Line>& unkept = {});

}  // namespace plat::ocr
