// The shapes of e-mail and web addresses, used both to keep a reading the
// recogniser is unsure of and to mend the stops small print loses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "OcrLine.h"

namespace plat::ocr {

// A well-formed e-mail address (name@domain.tld) or web address (www. or
// http, then dotted names ending in letters): such a reading is evidence of
// its own, whatever the recogniser's confidence.
bool IsAddressForm(std::string_view text);

// A web address whose w's blurred into two to four other letters ("wnn.",
// "ww,firm.com") written with "www."; empty when the text is no such address.
std::string WithWwwMended(std::string_view text);

// The address with its host in small letters ("name@Firm.COM" ->
// "name@firm.com", "www.Firm.com/Path" -> "www.firm.com/Path"): host names
// know no case, and a blurred letter is often read as its capital.
std::string WithLowerHost(std::string_view address);

// Whether an address's host ends in a domain ending in use ("com", "co.uk"),
// not in a misreading of one ("comy", "ord").
bool EndsInKnownDomain(std::string_view address);

// An address whose host ends in three letters one letter off "com", "org" or
// "net" ("ord", "con") with that ending, but for endings in use (".vet",
// ".cam"); else as it is.
std::string WithEndingMended(std::string_view address);

// A word ending in a top-level or common second-level domain ending ("com",
// "org", "co", "uk"), alone or after a stop.
bool IsDomainEnding(std::string_view word);

// An e-mail or web address holds no spaces: the words of a line split where
// a small stop was lost ("name@firm com", "www firm co uk") become one word
// again, with the stops; a first word of three letters starting with w before
// a host name is "www". Only a line that ends in a domain ending and holds an
// at sign or starts like a web address is touched.
void JoinSplitAddress(std::vector<Word>& words);

}  // namespace plat::ocr
