// The two single-byte code pages the engine library writes (1252 Western,
// 1251 Cyrillic), over the platform's conversion.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumocr {

inline constexpr unsigned kCodePageWestern = 1252;
inline constexpr unsigned kCodePageCyrillic = 1251;
inline constexpr unsigned kSystemCodePage = kCodePageWestern;

// Converts UTF-16 units to the code page, at most outSize bytes, without a
// terminating zero; units the page cannot show become '?'. Returns the bytes written.
std::size_t WideToCodePage(unsigned codePage, std::u16string_view units, char* out, std::size_t outSize);

// One byte of the code page as a UTF-16 unit; U+FFFD where the page has none.
char16_t CodePageToWide(unsigned codePage, unsigned char byte);

// Letters of code page 1252 (ASCII, the accented Latin letters, and the few
// letters in 0x80-0x9F), as the name and address filters see them.
bool IsWesternLetter(unsigned char byte);

}  // namespace lumocr
