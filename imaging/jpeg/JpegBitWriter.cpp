#include "jpeg/JpegBitWriter.h"

void JpegBitWriter::Attach(uint8_t* out, uint32_t size)
{
    accumulator = 0;
    pendingBits = 0;
    buffer = out;
    position = 0;
    capacity = size;
    chunkStart = 0;
    spillCount = 0;
    lost = false;
}

void JpegBitWriter::Reattach(uint8_t* out, uint32_t size)
{
    chunkStart += position;
    buffer = out;
    capacity = size;
    position = 0;
    uint32_t n = spillCount < size ? spillCount : size;
    std::memcpy(buffer, spill, n);
    position = n;
    std::memmove(spill, spill + n, spillCount - n);
    spillCount -= n;
}

void JpegBitWriter::StoreByte(uint8_t b)
{
    if (spillCount == 0 && position < capacity) {
        buffer[position++] = b;
    } else if (spillCount < spillCapacity) {
        spill[spillCount++] = b;
    } else {
        lost = true;
    }
}

void JpegBitWriter::StorePendingBytes()
{
    while (pendingBits >= 8) {
        pendingBits -= 8;
        StoreByte(static_cast<uint8_t>(accumulator >> pendingBits));
    }
}

void JpegBitWriter::AppendBytesSlow(const uint8_t* bytes, uint32_t count)
{
    StorePendingBytes();
    uint32_t direct = 0;
    if (spillCount == 0) {
        direct = capacity - position < count ? capacity - position : count;
        std::memcpy(buffer + position, bytes, direct);
        position += direct;
    }
    for (uint32_t i = direct; i < count; ++i) {
        StoreByte(bytes[i]);
    }
}

void JpegBitWriter::Patch(uint64_t streamOffset, uint8_t value)
{
    StorePendingBytes();
    if (streamOffset < chunkStart) {
        return;  // already handed to the caller in an earlier chunk
    }
    uint64_t at = streamOffset - chunkStart;
    if (at < position) {
        buffer[at] = value;
    } else if (at - position < spillCount) {
        spill[at - position] = value;
    }
}

void JpegBitWriter::PatchBigEndian16(uint64_t streamOffset, uint16_t value)
{
    Patch(streamOffset, static_cast<uint8_t>(value >> 8));
    Patch(streamOffset + 1, static_cast<uint8_t>(value));
}

void JpegBitWriter::PatchLittleEndian32(uint64_t streamOffset, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        Patch(streamOffset + i, static_cast<uint8_t>(value >> (8 * i)));
    }
}
