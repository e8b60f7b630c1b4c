// The code pages the engine library writes: 1252 Western and 1251 Cyrillic
// of the European engine, over the platform's conversion, and the
// double-byte pages 949 Korean and 936 Chinese the other engines deliver.
#pragma once

#include <cstddef>
#include <string_view>

namespace lumocr {

inline constexpr unsigned kCodePageWestern = 1252;
inline constexpr unsigned kCodePageCyrillic = 1251;
inline constexpr unsigned kSystemCodePage = kCodePageWestern;
inline constexpr unsigned kCodePageKorean = 949;
inline constexpr unsigned kCodePageChinese = 936;

// A byte that starts a double-byte character of 949 or 936.
inline bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

// The bytes of whole characters of a double-byte text that fit in `limit`:
// the text ends at its zero or after `available` bytes, whichever is first.
std::size_t WholeCharacters(const char* text, std::size_t available, std::size_t limit);

// Converts UTF-16 units to the code page, at most outSize bytes, without a
// terminating zero; units the page cannot show become '?'. Returns the bytes written.
std::size_t WideToCodePage(unsigned codePage, std::u16string_view units, char* out, std::size_t outSize);

// One byte of the code page as a UTF-16 unit; U+FFFD where the page has none.
char16_t CodePageToWide(unsigned codePage, unsigned char byte);

// Letters of code page 1252 (ASCII, the accented Latin letters, and the few
// letters in 0x80-0x9F), as the name and address filters see them.
bool IsWesternLetter(unsigned char byte);

}  // namespace lumocr
