#include "CodePage.h"

#include <array>

namespace lumocr {
namespace {

constexpr char16_t kNone = 0xFFFD;

// 0x80-0x9F of 1252; 0xA0-0xFF map to the same Unicode values.
constexpr std::array<char16_t, 32> kWesternHigh = {
    0x20AC, kNone,  0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, kNone,  0x017D, kNone,
    kNone,  0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, kNone,  0x017E, 0x0178};

// 0x80-0xBF of 1251; 0xC0-0xFF are U+0410-U+044F.
constexpr std::array<char16_t, 64> kCyrillicHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    kNone,  0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

int NarrowUnit(unsigned codePage, char16_t unit) {
    if (unit < 0x80) return unit;
    if (codePage == kCodePageWestern) {
        if (unit >= 0xA0 && unit <= 0xFF) return unit;
        for (std::size_t i = 0; i < kWesternHigh.size(); ++i) {
            if (kWesternHigh[i] == unit) return static_cast<int>(0x80 + i);
        }
        return -1;
    }
    if (unit >= 0x0410 && unit <= 0x044F) return 0xC0 + (unit - 0x0410);
    for (std::size_t i = 0; i < kCyrillicHigh.size(); ++i) {
        if (kCyrillicHigh[i] == unit) return static_cast<int>(0x80 + i);
    }
    return -1;
}

}  // namespace

std::size_t WideToCodePage(unsigned codePage, std::u16string_view units, char* out, std::size_t outSize) {
    std::size_t written = 0;
    for (char16_t unit : units) {
        if (written >= outSize) break;
        const int byte = unit == kNone ? -1 : NarrowUnit(codePage, unit);
        out[written++] = static_cast<char>(byte < 0 ? '?' : byte);
    }
    return written;
}

char16_t CodePageToWide(unsigned codePage, unsigned char byte) {
    if (byte < 0x80) return byte;
    if (codePage == kCodePageWestern) return byte < 0xA0 ? kWesternHigh[byte - 0x80] : byte;
    return byte < 0xC0 ? kCyrillicHigh[byte - 0x80] : static_cast<char16_t>(0x0410 + (byte - 0xC0));
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
