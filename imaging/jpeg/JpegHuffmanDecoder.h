// Huffman tables of a DHT segment turned into decoding structures: a 10-bit
// lookahead table for short codes, a 10-bit one-look table of code and value
// together, and the canonical maxcode / value-offset tables of ITU-T T.81
// Annex F.2.2.3 for codes of 11 to 16 bits.
#pragma once

#include <cstdint>

namespace jpeg {

inline constexpr int kLookaheadBits = 10;
inline constexpr int32_t kNoCode = -1;
inline constexpr int kEndOfBlockStep = 64;

struct HuffmanTable {
    bool defined = false;
    uint8_t counts[17] = {};       // codes of each length 1..16
    uint8_t symbols[256] = {};     // in code order
    int32_t maxCode[18] = {};      // largest code of each length, -1 none
    int32_t valueOffset[17] = {};  // symbol index = code + valueOffset[length]
    // Entry for the next 10 bits: length << 8 | symbol, 0 when the code is longer.
    uint16_t lookahead[1 << kLookaheadBits] = {};
    // Code and value in one look, for symbols read as run << 4 | size:
    // value << 16 | step << 8 | code length + size, when both fit the
    // lookahead; 0 otherwise. step is the run, or kEndOfBlockStep for
    // symbol 0 (end of block in AC tables, a difference of 0 in DC ones).
    int32_t fastValue[1 << kLookaheadBits] = {};
};

// Builds the decoding tables from counts and symbols (symbolCount must be
// the sum of the counts). Refuses (false) counts
// whose codes do not fit the code space of their length (Kraft inequality),
// so no table is ever filled past its end.
bool BuildHuffmanTable(const uint8_t counts[16], const uint8_t* symbols, int symbolCount,
                       HuffmanTable& table);

}  // namespace jpeg
