// Constants of the JPEG format shared by the encoder and the decoder:
// marker codes, the zig-zag order and the example tables of ITU-T T.81 Annex K.
#pragma once

#include <cstdint>

namespace jpeg {

// Second byte of each marker (the first is always 0xFF), T.81 Table B.1.
enum Marker : uint8_t {
    kSof0 = 0xC0,  // baseline sequential
    kSof1 = 0xC1,
    kSof2 = 0xC2,  // progressive
    kSof3 = 0xC3,  // lossless
    kDht = 0xC4,
    kSof5 = 0xC5,
    kSof15 = 0xCF,
    kRst0 = 0xD0,
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDqt = 0xDB,
    kDnl = 0xDC,
    kDri = 0xDD,
    kApp0 = 0xE0,
    kApp1 = 0xE1,
    kApp14 = 0xEE,
    kApp15 = 0xEF,
    kCom = 0xFE,
};

inline constexpr uint8_t kMarkerPrefix = 0xFF;

// Zig-zag position -> natural (row by row) index, T.81 Figure A.6.
inline constexpr uint8_t kZigzagToNatural[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};
// Natural index -> zig-zag position.
extern const uint8_t kNaturalToZigzag[64];
// Rows and columns of the natural block that hold the zig-zag positions up
// to each index: work on a block can stop past them.
struct BlockExtents {
    uint8_t rows[64];
    uint8_t columns[64];
};
constexpr BlockExtents MakeBlockExtents() {
    BlockExtents e{};
    int r = 0, c = 0;
    for (int k = 0; k < 64; ++k) {
        r = kZigzagToNatural[k] / 8 + 1 > r ? kZigzagToNatural[k] / 8 + 1 : r;
        c = kZigzagToNatural[k] % 8 + 1 > c ? kZigzagToNatural[k] % 8 + 1 : c;
        e.rows[k] = static_cast<uint8_t>(r);
        e.columns[k] = static_cast<uint8_t>(c);
    }
    return e;
}
inline constexpr BlockExtents kBlockExtents = MakeBlockExtents();

// Tables K.1 and K.2: quantisation tables in natural order (quality 50).
extern const uint16_t kStdLumaQuant[64];
extern const uint16_t kStdChromaQuant[64];

// A Huffman table as a DHT segment carries it: counts of codes of length
// 1..16 (BITS) and the symbols in code order (HUFFVAL).
struct HuffmanSpec {
    uint8_t bits[16];
    const uint8_t* values;
    int count;  // number of values, the sum of bits
};

// Tables K.3 (DC luminance), K.4 (DC chrominance), K.5 (AC luminance), K.6 (AC chrominance).
extern const HuffmanSpec kStdDcLuma;
extern const HuffmanSpec kStdDcChroma;
extern const HuffmanSpec kStdAcLuma;
extern const HuffmanSpec kStdAcChroma;

// Code assignment of T.81 Annex C: fills code and length per symbol (length 0
// for symbols the table does not hold). Returns false when the counts
// overflow the code space of their length.
bool DeriveHuffmanCodes(const HuffmanSpec& spec, uint16_t code[256], uint8_t length[256]);

}  // namespace jpeg
