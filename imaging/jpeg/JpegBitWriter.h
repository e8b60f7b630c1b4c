// Bit writer of the JPEG encoder: packs fields most significant bit first
// into the caller's output buffer. It never stores past the buffer's
// capacity: bytes that do not fit go into a spill area that the next chunk
// (Reattach) drains first, so a frame can be cut into chunks at any byte.
#pragma once

#include <cstdint>
#include <cstring>

struct JpegBitWriter {
    uint64_t accumulator;   // pending bits in the low pendingBits bits, oldest highest
    int32_t pendingBits;    // 0 to 31 between calls
    uint8_t* buffer;        // the current output chunk
    uint32_t position;      // bytes stored into buffer
    uint32_t capacity;      // size of buffer
    uint64_t chunkStart;    // stream offset of buffer[0]
    uint8_t* spill;         // bytes of the stream that did not fit into buffer
    uint32_t spillCount;
    uint32_t spillCapacity;
    bool lost;              // the spill area overflowed: the stream is broken

    // Starts a new stream at the start of buffer.
    void Attach(uint8_t* out, uint32_t size);
    // Continues the stream in a new chunk; spilled bytes come first.
    void Reattach(uint8_t* out, uint32_t size);

    void PutBits(int count, uint32_t value)
    {
        accumulator = (accumulator << count) | value;
        pendingBits += count;
        if (pendingBits >= 32) {
            pendingBits -= 32;
            StoreWord(static_cast<uint32_t>(accumulator >> pendingBits));
        }
    }
    void PutMarker(uint8_t marker) { PutBits(16, 0xFF00u | marker); }
    void PutByte(uint8_t b) { PutBits(8, b); }
    void PutWord(uint16_t w) { PutBits(16, w); }

    // Appends whole bytes; the pending bit count must be a multiple of 8.
    void AppendBytes(const uint8_t* bytes, uint32_t count)
    {
        if (pendingBits == 0 && spillCount == 0 && count <= capacity - position) {
            std::memcpy(buffer + position, bytes, count);
            position += count;
            return;
        }
        AppendBytesSlow(bytes, count);
    }

    // Stores the pending whole bytes (the pending count must be a multiple of 8).
    void StorePendingBytes();
    // Stream offset of the next byte (pending bytes included).
    uint64_t StreamPosition() const { return chunkStart + position + spillCount + pendingBits / 8; }
    // Overwrites a byte already written at a stream offset (length and offset fields).
    void Patch(uint64_t streamOffset, uint8_t value);
    void PatchBigEndian16(uint64_t streamOffset, uint16_t value);
    void PatchLittleEndian32(uint64_t streamOffset, uint32_t value);
    // Space left in the current chunk (0 once anything has spilled).
    uint32_t Free() const { return spillCount != 0 ? 0 : capacity - position; }
    bool Overflowed() const { return spillCount != 0 || lost; }

private:
    void StoreWord(uint32_t w)
    {
        if (spillCount == 0 && capacity - position >= 4) {
            buffer[position] = static_cast<uint8_t>(w >> 24);
            buffer[position + 1] = static_cast<uint8_t>(w >> 16);
            buffer[position + 2] = static_cast<uint8_t>(w >> 8);
            buffer[position + 3] = static_cast<uint8_t>(w);
            position += 4;
            return;
        }
        StoreByte(static_cast<uint8_t>(w >> 24));
        StoreByte(static_cast<uint8_t>(w >> 16));
        StoreByte(static_cast<uint8_t>(w >> 8));
        StoreByte(static_cast<uint8_t>(w));
    }
    void StoreByte(uint8_t b);
    void AppendBytesSlow(const uint8_t* bytes, uint32_t count);
};
