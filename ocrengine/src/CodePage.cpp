#include "CodePage.h"

#include <string>

#include "plat/codepage.h"

namespace lumocr {

std::size_t WideToCodePage(unsigned codePage, std::u16string_view units, char* out, std::size_t outSize) {
    // UTF-16 units to the platform's wide characters, surrogate pairs joined.
    std::wstring wide;
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t u = units[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
            wide.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else {
            wide.push_back(static_cast<wchar_t>(u));
        }
    }
    // Both pages give one byte per character: cut the input, not the output.
    if (wide.size() > outSize) wide.resize(outSize);
    if (wide.empty()) return 0;
    const int written = WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), out,
                                            static_cast<int>(outSize), nullptr, nullptr);
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

char16_t CodePageToWide(unsigned codePage, unsigned char byte) {
    const char in = static_cast<char>(byte);
    wchar_t wide = 0;
    return MultiByteToWideChar(codePage, 0, &in, 1, &wide, 1) == 1 && wide <= 0xFFFF ? static_cast<char16_t>(wide)
                                                                                    : char16_t{0xFFFD};
}

std::size_t WholeCharacters(const char* text, std::size_t available, std::size_t limit) {
    std::size_t end = 0;
    while (end < available && text[end] != '\0') ++end;
    if (end > limit) end = limit;
    std::size_t at = 0;
    while (at < end) {
        const std::size_t size = IsLeadByte(static_cast<unsigned char>(text[at])) ? 2 : 1;
        if (at + size > end) break;  // half a character
        at += size;
    }
    return at;
}

bool IsWesternLetter(unsigned char byte) {
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')) return true;
    switch (byte) {
        case 0x83: case 0x8A: case 0x8C: case 0x8E: case 0x9A: case 0x9C: case 0x9E: case 0x9F:
        case 0xAA: case 0xB5: case 0xBA:
            return true;
        default:
            return byte >= 0xC0 && byte != 0xD7 && byte != 0xF7;
    }
}

}  // namespace lumocr
