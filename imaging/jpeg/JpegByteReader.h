// Byte cursor over the marker segments of an in-memory JPEG stream. It never
// reads past the data: past the last byte it delivers 0xFF 0xD9 (an EOI
// marker) again and again, so every walk over a truncated stream ends.
#pragma once

#include <cstddef>
#include <cstdint>

struct JpegByteReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;  // may stand up to 2 past size while the pad is delivered

    JpegByteReader() = default;
    JpegByteReader(const uint8_t* d, size_t n) : data(d), size(n) {}

    size_t Left() const { return pos < size ? size - pos : 0; }
    bool AtEnd() const { return pos >= size; }

    uint8_t U8() {
        if (pos < size) {
            return data[pos++];
        }
        // Alternate FF D9 past the end; keep pos bounded.
        const uint8_t b = ((pos - size) & 1) ? 0xD9 : 0xFF;
        pos = (pos - size >= 1) ? size : pos + 1;
        return b;
    }
    uint8_t PeekU8(size_t ahead = 0) const {
        const size_t p = pos + ahead;
        if (p < size) {
            return data[p];
        }
        return ((p - size) & 1) ? 0xD9 : 0xFF;
    }
    uint16_t U16() {
        const uint16_t hi = U8();
        return static_cast<uint16_t>((hi << 8) | U8());
    }
    uint16_t PeekU16() const { return static_cast<uint16_t>((PeekU8(0) << 8) | PeekU8(1)); }
    void Skip(size_t n) { pos = (n >= Left()) ? (pos < size ? size : pos) : pos + n; }
    void Seek(size_t p) { pos = p < size ? p : size; }
};
