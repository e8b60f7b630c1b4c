// Word rules the classifier applies before and after typing a line: what
// the recogniser makes of a logo's emblem, capitals it reads as "l", and
// the numbers of one card set right by one another.
#pragma once

#include <vector>

#include "CardClassifier.h"
#include "OcrLine.h"

namespace plat::ocr {

// A logo's emblem beside its wordmark comes out as a letter and a sign or
// two ("B®", "©a"): such a word at either end of a line of other words is
// taken off. A sign after a word ("Name®") stays: the word has letters.
void DropEmblemWords(std::vector<Word>& words);

// In a job title or a department, a word of two to four capitals one of
// which was read as a small "l" is an acronym ("Al" -> "AI", "Il" -> "II"):
// sans-serif print draws the two alike.
void CapitalIOfAcronyms(std::vector<Word>& words);

// Telephone, fax and mobile numbers: a "$" among digits is a 5; and as the
// numbers of one card share their leading groups (country, trunk, area
// code), a group run together with the next one that begins with the group
// another number has in that place, the groups before it alike, is split
// after it when the two then group their digits alike.
void MendNumbersBySiblings(std::vector<CardField>& fields);

}  // namespace plat::ocr
