// Block-level kernels of the JPEG encoder: MCU formers, forward DCT,
// quantisers, activity figures and the Huffman block coders.
#pragma once

#include <cstdint>

// Scaled quantisation table with the factors the quantiser divides by.
struct JpegQuantTable {
    uint16_t value[64];       // 2 to 255, natural order
    uint32_t divisor[64];     // ceil(2^20 / q): exact division of |c| < 2^12
    // The vector quantiser's exact division n / q for n < 2^15, with two
    // unsigned 16-bit high multiplies: floor(n * multiplier / 2^16), doubled,
    // then times shiftFactor / 2^16 (a right shift by s, lane by lane).
    uint16_t half[64];         // q / 2 rounded down, for rounding to nearest
    uint16_t multiplier[64];   // ceil(2^(16 + s) / q), below 2^16
    uint16_t shiftFactor[64];  // 2^(15 - s)
};

// Code and length of every symbol of one Huffman table.
struct JpegHuffmanCodes {
    uint16_t code[256];
    uint8_t length[256];
    // Per symbol, what the block coder puts for a coefficient of the
    // symbol's category: the code moved up past the value bits, times 256,
    // plus the length with the value bits (FillSymbolCodes).
    uint64_t withValue[256];
};

// Fills withValue from code and length.
void FillSymbolCodes(JpegHuffmanCodes& codes);

// Stuffed entropy-coded bytes of one block, handed to the stream after the block.
struct ScanBitBuffer {
    // 64 codes of at most 26 bits, every byte possibly stuffed, plus a word in flight.
    static constexpr int kCapacity = 64 * 26 / 8 * 2 + 32;
    uint64_t accumulator;
    int32_t bits;
    uint32_t count;
    alignas(32) uint8_t bytes[kCapacity];

    void Clear()
    {
        accumulator = 0;
        bits = 0;
        count = 0;
    }
};

// Sources of one MCU: each plane's address at the MCU's top-left and its stride.
struct McuSource {
    const uint8_t* plane[3];
    int32_t stride[3];
};

using McuFormer = void (*)(const McuSource& src, int16_t* blocks);

// Blocks of the largest MCU (4:2:0: four Y, Cb, Cr).
inline constexpr int kMaxBlocksPerMcu = 6;

// The former of an input format (1 to 11) in the process's kernel set; null
// for unknown formats.
McuFormer McuFormerFor(int format);
// Formers of planar and interleaved RGB with AVX2 (JpegBlockFormersAvx2.cpp).
void FormMcuRgbAvx2(const McuSource& src, int16_t* blocks);
void FormMcuRgbPlanarAvx2(const McuSource& src, int16_t* blocks);

// RGB565 channel widening, rounded: 5 bits by x * 255 / 31, 6 bits by x * 255 / 63.
inline uint8_t Widen5(uint32_t x)
{
    return static_cast<uint8_t>((x * 255 + 15) / 31);
}
inline uint8_t Widen6(uint32_t x)
{
    return static_cast<uint8_t>((x * 255 + 31) / 63);
}

// DCT of T.81 A.3.3 without level shift: coefficient 0 is 8 times the mean.
// The SSE2 path and the scalar reference give the same integers.
void ForwardDct8x8(int16_t* block);
void ForwardDct8x8Scalar(int16_t* block);
// Level shift, then each coefficient divided by its quantiser: rounded to
// nearest, or towards zero when truncate is set. Returns one more than the
// number of non-zero AC coefficients.
int QuantizeBlock(int16_t* block, const JpegQuantTable& table, bool truncate);
int QuantizeBlockScalar(int16_t* block, const JpegQuantTable& table, bool truncate);
int ForwardDctQuantize8x8(int16_t* block, const JpegQuantTable& table);
// Two blocks of one table through ForwardDctQuantize8x8, side by side in
// 256-bit registers: only when the process's kernel set is AVX2.
void ForwardDctQuantize8x8Pair(int16_t* a, int16_t* b, const JpegQuantTable& table, int* countA, int* countB);

// Activity figures of a block of samples: a is the summed absolute difference
// of horizontal and vertical neighbours / 8, b the summed absolute deviation
// from the block's mean / 8.
void BlockActivity(const int16_t* block, int32_t* a, int32_t* b);
// Activity class 0, 1 or 2 from the two figures.
int ActivityClass(int32_t a, int32_t b);

// Appends count bits to the accumulator; each completed 32-bit word goes to
// out, every byte FF followed by a stuffed 00 (T.81 F.1.2.3). Returns the new
// end of out. Callers keep the three in locals where they can: stores through
// out may alias the fields of a struct, which would force reloads.
inline uint8_t* PutStuffedBits(uint64_t& accumulator, int32_t& bits, uint8_t* out, int count, uint32_t value)
{
    accumulator = (accumulator << count) | value;
    bits += count;
    if (bits >= 32) {
        bits -= 32;
        uint32_t w = static_cast<uint32_t>(accumulator >> bits);
        // Zero-byte test on ~w: a word without FF goes out in one go.
        if (((~w - 0x01010101u) & w & 0x80808080u) == 0) {
            out[0] = static_cast<uint8_t>(w >> 24);
            out[1] = static_cast<uint8_t>(w >> 16);
            out[2] = static_cast<uint8_t>(w >> 8);
            out[3] = static_cast<uint8_t>(w);
            return out + 4;
        }
        for (int shift = 24; shift >= 0; shift -= 8) {
            uint8_t b = static_cast<uint8_t>(w >> shift);
            *out++ = b;
            if (b == 0xFF) {
                *out++ = 0;
            }
        }
    }
    return out;
}

inline void PutScanBits(ScanBitBuffer& s, int count, uint32_t value)
{
    s.count = static_cast<uint32_t>(PutStuffedBits(s.accumulator, s.bits, s.bytes + s.count, count, value) - s.bytes);
}

// Pads the pending bits with 1 bits to a whole byte and moves them into bytes.
void FlushScanBits(ScanBitBuffer& s);

// Bit k set when the AC coefficient at zig-zag position k is not zero (bit 0
// is clear): the block coders visit only the set bits, and the zero run
// before each is the distance from the previous one.
uint64_t ZigzagNonZeroAcMask(const int16_t* block);

// Codes one block (coefficient 0 holds the DC difference) with at most
// maxCoded non-zero AC coefficients; EOB unless position 63 is coded.
void EncodeBlockSequential(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                           ScanBitBuffer& s, int maxCoded);
// The same into out (room for ScanBitBuffer::kCapacity bytes) with the
// pending bits in accumulator and pendingBits; returns the end of the bytes.
uint8_t* EncodeBlockSequentialTo(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                                 uint64_t& accumulator, int32_t& pendingBits, uint8_t* out, int maxCoded);

// Bits of a value's magnitude (the category of T.81 F.1.2.1).
inline int MagnitudeCategory(int v)
{
    uint32_t m = static_cast<uint32_t>(v < 0 ? -v : v);
    return m == 0 ? 0 : 32 - __builtin_clz(m);
}

// The value bits of a coefficient of the given category.
inline uint32_t MagnitudeBits(int v, int category)
{
    return static_cast<uint32_t>(v < 0 ? v - 1 : v) & ((1u << category) - 1);
}

// Layout of one input plane: a unit of unitBytes bytes covers xDiv pixels of
// a row; one plane row covers yDiv picture rows.
struct JpegInputPlane {
    int xDiv;
    int unitBytes;
    int yDiv;
};

// How an input format lies in memory and how it is coded.
struct JpegInputLayout {
    int planes;               // input planes
    JpegInputPlane plane[3];
    int mcuWidth;
    int mcuHeight;
    int lumaBlocks;           // Y blocks per MCU
    int components;           // 1 grey, else 3
    int lumaH, lumaV;         // sampling factors of Y
};

// Layout of an input format (1 to 11); null for unknown formats.
const JpegInputLayout* JpegInputLayoutFor(int format);
