// Bit reader over entropy-coded data (T.81 F.2.2.5). Drops the 0x00 stuffed
// after each 0xFF and stops at the first marker or at the end of the data,
// never reading past it. Bits asked for beyond that point read as 0; Overrun()
// tells the scan decoder that it consumed such bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "jpeg/JpegHuffmanDecoder.h"

namespace jpeg {

class EntropyReader {
public:
    EntropyReader(const uint8_t* data, size_t size, size_t pos) : data_(data), size_(size), pos_(pos) {}

    // Where the byte reader takes over after the scan or interval.
    size_t Position() const { return pos_; }

    // Starts a new interval at pos: buffered bits are dropped.
    void Restart(size_t pos) {
        pos_ = pos;
        buffer_ = 0;
        bits_ = 0;
        padBits_ = 0;
        atMarker_ = false;
    }

    bool Overrun() const { return bits_ < padBits_; }

    // Makes at least 57 bits available.
    void Fill() {
        if (bits_ > 56) {
            return;
        }
        // Fast path: the next eight bytes hold no 0xFF, so no stuffing or
        // marker can be among them; take as many whole bytes as fit at once.
        if (!atMarker_ && size_ - pos_ >= 8 && pos_ < size_) {
            uint64_t word;
            std::memcpy(&word, data_ + pos_, 8);
            word = __builtin_bswap64(word);
            if (!HasFFByte(word)) {
                const int bytes = (64 - bits_) >> 3;
                buffer_ |= (word & (~uint64_t{0} << (64 - 8 * bytes))) >> bits_;
                bits_ += 8 * bytes;
                pos_ += static_cast<size_t>(bytes);
                return;
            }
        }
        FillSlow();
    }

    // Makes at least n bits available (n up to 57).
    void Need(int n) {
        if (bits_ < n) {
            Fill();
        }
    }

    // The next code with its value bits in one look (HuffmanTable::fastValue),
    // 0 when it needs the full decode. Needs kLookaheadBits bits.
    int32_t PeekValue(const HuffmanTable& table) const {
        return table.fastValue[buffer_ >> (64 - kLookaheadBits)];
    }

    uint32_t Peek(int n) {  // n in 1..32
        if (bits_ < n) {
            Fill();
        }
        return static_cast<uint32_t>(buffer_ >> (64 - n));
    }
    void Skip(int n) {
        buffer_ <<= n;
        bits_ -= n;
    }
    uint32_t Bits(int n) {
        if (n == 0) {
            return 0;
        }
        const uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    int32_t Bit() { return static_cast<int32_t>(Bits(1)); }

    // A value of s bits with its sign extended (T.81 F.2.2.1 EXTEND).
    int32_t Extend(uint32_t raw, int s) const {
        return raw < (1u << (s - 1)) ? static_cast<int32_t>(raw) - (1 << s) + 1 : static_cast<int32_t>(raw);
    }

    // Next symbol of the table, or kNoCode.
    int32_t Decode(const HuffmanTable& table) {
        if (bits_ < 16) {
            Fill();
        }
        const uint32_t look = static_cast<uint32_t>(buffer_ >> (64 - kLookaheadBits));
        const uint16_t entry = table.lookahead[look];
        if (entry) {
            Skip(entry >> 8);
            return entry & 0xFF;
        }
        const int32_t code16 = static_cast<int32_t>(buffer_ >> 48);
        for (int length = kLookaheadBits + 1; length <= 16; ++length) {
            const int32_t code = code16 >> (16 - length);
            if (code <= table.maxCode[length]) {
                Skip(length);
                return table.symbols[(code + table.valueOffset[length]) & 0xFF];
            }
        }
        return kNoCode;
    }

private:
    // Bit trick: a byte of x is 0xFF exactly when that byte of ~x is 0.
    static bool HasFFByte(uint64_t x) {
        const uint64_t v = ~x;
        return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
    }

    void FillSlow() {
        while (bits_ <= 56) {
            if (atMarker_) {
                bits_ += 8;  // zero bits
                padBits_ += 8;
                continue;
            }
            if (pos_ >= size_) {
                atMarker_ = true;
                continue;
            }
            const uint8_t b = data_[pos_];
            if (b == 0xFF) {
                if (pos_ + 1 < size_ && data_[pos_ + 1] == 0x00) {
                    pos_ += 2;
                } else if (pos_ + 1 < size_ && data_[pos_ + 1] == 0xFF) {
                    ++pos_;  // fill byte before a marker
                    continue;
                } else {
                    atMarker_ = true;
                    continue;
                }
            } else {
                ++pos_;
            }
            buffer_ |= static_cast<uint64_t>(b) << (56 - bits_);
            bits_ += 8;
        }
    }

    const uint8_t* data_;
    size_t size_;
    size_t pos_;
    uint64_t buffer_ = 0;
    int bits_ = 0;
    int padBits_ = 0;
    bool atMarker_ = false;
};

}  // namespace jpeg
