// The Korean engine's two database files, "DB\KOR\patterns.dat" (the
// recogniser's language set per language number) and "DB\KOR\keywords.dat"
// (the card classifier's words), in the engines' data file form.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace plat::kor {

inline constexpr std::string_view kPatternsMagic = "LUMKPAT1";
inline constexpr std::string_view kKeywordsMagic = "LUMKKWD1";

// "number=set" lines; "*" names the set of every other number.
std::string PatternsText();
std::optional<std::map<std::string, std::string>> ParsePatterns(std::string_view text);

// The set for a language number: its own line, else the "*" line, else English.
std::string SetFor(const std::map<std::string, std::string>& patterns, std::int32_t language);

}  // namespace plat::kor
