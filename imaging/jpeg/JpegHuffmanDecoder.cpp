#include "jpeg/JpegHuffmanDecoder.h"

#include <cstring>

namespace jpeg {

bool BuildHuffmanTable(const uint8_t counts[16], const uint8_t* symbols, int symbolCount,
                       HuffmanTable& table) {
    int total = 0;
    for (int i = 0; i < 16; ++i) {
        total += counts[i];
    }
    if (symbolCount != total || total > 256) {
        return false;
    }
    table = HuffmanTable{};
    std::memcpy(table.counts + 1, counts, 16);
    std::memcpy(table.symbols, symbols, static_cast<size_t>(symbolCount));

    // Canonical code assignment, T.81 Annex C; a count that runs the code past
    // the space of its length overflows, and a code of all one bits is refused
    // too: it cannot be told from the fill bytes before a marker.
    uint16_t codes[256];
    uint8_t lengths[256];
    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int n = counts[length - 1];
        table.valueOffset[length] = index - code;
        for (int i = 0; i < n; ++i) {
            codes[index] = static_cast<uint16_t>(code);
            lengths[index] = static_cast<uint8_t>(length);
            ++index;
            ++code;
        }
        if (code >= (1 << length)) {
            return false;
        }
        table.maxCode[length] = n ? code - 1 : -1;
        code <<= 1;
    }
    table.maxCode[17] = 0x7FFFFFFF;  // ends the search of a code that has no entry

    for (int i = 0; i < index; ++i) {
        if (lengths[i] > kLookaheadBits) {
            break;
        }
        const int shift = kLookaheadBits - lengths[i];
        const int first = codes[i] << shift;
        const int symbol = table.symbols[i];
        const uint16_t entry = static_cast<uint16_t>((lengths[i] << 8) | symbol);
        // The one-look entry: value bits right after the code, when they fit.
        const int size = symbol & 0x0F;
        const int valueShift = shift - size;
        const bool fast = symbol == 0 || (size != 0 && valueShift >= 0);
        const int step = symbol == 0 ? kEndOfBlockStep : symbol >> 4;
        for (int j = 0; j < (1 << shift); ++j) {
            table.lookahead[first + j] = entry;
            if (fast) {
                const int raw = size ? (j >> valueShift) & ((1 << size) - 1) : 0;
                const int value = size && raw < (1 << (size - 1)) ? raw - (1 << size) + 1 : raw;
                table.fastValue[first + j] = value * 65536 + step * 256 + lengths[i] + size;
            }
        }
    }
    table.defined = true;
    return true;
}

}  // namespace jpeg
