// Recognised lines as the double-byte engines deliver them: text in code
// page 949 or 936, characters the page lacks as "?", cut on a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "OcrLine.h"

namespace plat::ocr {

inline constexpr unsigned kKoreanCodePage = 949;
inline constexpr unsigned kChineseCodePage = 936;

// UTF-8 to the code page.
std::string ToCodePage(unsigned codePage, std::string_view utf8);

// The bytes of whole double-byte characters among the first `limit`.
std::size_t WholeCharacterBytes(std::string_view bytes, std::size_t limit);

// Writes bytes with a zero into a slot of `size` bytes, cut on a character.
void PutText(char* slot, std::size_t size, std::string_view bytes);

// The lines as CR LF text in the code page, at most `limit` bytes.
std::string LinesText(unsigned codePage, const std::vector<Line>& lines, std::size_t limit);

}  // namespace plat::ocr
