// Word rules the classifier applies before and after typing a line: what
// the recogniser makes of a logo's emblem, and capitals it reads as "l".
#pragma once

#include <vector>

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

}  // namespace plat::ocr
