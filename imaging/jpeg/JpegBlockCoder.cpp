// Huffman coding of one block into the scan bit buffer (T.81 F.1.2).
//
// The coder visits only the non-zero AC coefficients: a 64-bit mask in
// zig-zag order has one bit per non-zero coefficient, and the zero run before
// each is the distance between two set bits. Most blocks hold a handful of
// coefficients among many zeros, so a walk over every position mostly
// mispredicts its "is it zero" branch.
#include "jpeg/JpegEncoderKernels.h"
#include "jpeg/JpegTables.h"

#include "CpuFeatures.h"

#include <array>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// Zig-zag bits of the non-zero coefficients of one natural row, one table per
// row: the natural-order mask is cut into 8 bytes and each looks up where its
// bits lie in zig-zag order (16 KB; 16 nibble tables took longer).
using RowToZigzag = std::array<std::array<uint64_t, 256>, 8>;

constexpr RowToZigzag MakeRowToZigzag()
{
    // Zig-zag position of each natural index: the anti-diagonals row + column
    // = d in turn, even ones walked upwards, odd ones downwards (T.81 Figure A.6).
    std::array<int, 64> position{};
    int k = 0;
    for (int d = 0; d < 15; ++d) {
        int first = d < 8 ? 0 : d - 7;
        int last = d < 8 ? d : 7;
        for (int i = first; i <= last; ++i) {
            int row = d % 2 == 0 ? first + last - i : i;
            position[row * 8 + d - row] = k++;
        }
    }
    RowToZigzag t{};
    for (int row = 0; row < 8; ++row) {
        for (int bits = 0; bits < 256; ++bits) {
            for (int column = 0; column < 8; ++column) {
                if (bits & (1 << column)) {
                    t[row][bits] |= uint64_t{1} << position[8 * row + column];
                }
            }
        }
    }
    return t;
}

constexpr RowToZigzag kRowToZigzag = MakeRowToZigzag();

// Bit i set when AC coefficient i (natural order) is not zero; bit 0 is clear.
inline uint64_t NaturalNonZeroAcMask(const int16_t* block)
{
#if defined(__SSE2__)
    const __m128i* v = reinterpret_cast<const __m128i*>(block);
    const __m128i zero = _mm_setzero_si128();
    // Row 0 is read from coefficient 1 on and moved up one lane: the caller
    // has just stored the DC difference, and a 16-byte load over that 2-byte
    // store would stall store forwarding.
    __m128i row0 = _mm_slli_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 1)), 2);
    uint64_t zeros = 0;
    for (int i = 0; i < 4; ++i) {
        __m128i first = i == 0 ? row0 : _mm_loadu_si128(v + 2 * i);
        // Saturating packs keep zero and non-zero apart; one byte per coefficient.
        __m128i bytes = _mm_packs_epi16(first, _mm_loadu_si128(v + 2 * i + 1));
        zeros |= static_cast<uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero))) << (16 * i);
    }
    return ~zeros & ~uint64_t{1};
#else
    uint64_t mask = 0;
    for (int i = 1; i < 64; ++i) {
        mask |= uint64_t{block[i] != 0} << i;
    }
    return mask;
#endif
}

inline uint64_t ZigzagMask(const int16_t* block)
{
    uint64_t natural = NaturalNonZeroAcMask(block);
    uint64_t zigzag = 0;
    for (int row = 0; row < 8; ++row) {
        zigzag |= kRowToZigzag[row][(natural >> (8 * row)) & 255];
    }
    return zigzag;
}

}  // namespace

void FillSymbolCodes(JpegHuffmanCodes& codes)
{
    for (int symbol = 0; symbol < 256; ++symbol) {
        const int category = symbol & 15;
        codes.withValue[symbol] = (uint64_t{codes.code[symbol]} << category << 8) | (codes.length[symbol] + category);
    }
}

uint64_t ZigzagNonZeroAcMask(const int16_t* block)
{
    return ZigzagMask(block);
}

void FlushScanBits(ScanBitBuffer& s)
{
    if (s.bits % 8 != 0) {
        int pad = 8 - s.bits % 8;
        s.accumulator = (s.accumulator << pad) | ((1u << pad) - 1);
        s.bits += pad;
    }
    while (s.bits >= 8) {
        s.bits -= 8;
        uint8_t b = static_cast<uint8_t>(s.accumulator >> s.bits);
        s.bytes[s.count++] = b;
        if (b == 0xFF) {
            s.bytes[s.count++] = 0;
        }
    }
    s.accumulator = 0;
}

namespace {

// The bits of one block gather in a 64-bit word that goes out 8 bytes at a
// time (one 0xFF test for all 8); at the end of the block whole 32-bit words
// go out as PutStuffedBits leaves them, so every block hands the stream the
// same bytes, and leaves the same pending bits, either way.
struct BlockBits {
    uint64_t word;  // the low `used` bits are pending, oldest highest
    int used;       // 0 to 63
    uint8_t* out;

    void Put(int count, uint32_t value)
    {
        const int free = 64 - used;
        if (count < free) {
            word = (word << count) | value;
            used += count;
            return;
        }
        const int rest = count - free;  // low bits of value that wait for the next word
        Store8((word << free) | (static_cast<uint64_t>(value) >> rest));
        word = value;
        used = rest;
    }

    void Store8(uint64_t w)
    {
        // Zero-byte test on ~w: a word without FF goes out in one store.
        const uint64_t inverse = ~w;
        if (((inverse - 0x0101010101010101ull) & w & 0x8080808080808080ull) == 0) {
            const uint64_t bigEndian = __builtin_bswap64(w);
            std::memcpy(out, &bigEndian, 8);
            out += 8;
            return;
        }
        for (int shift = 56; shift >= 0; shift -= 8) {
            const uint8_t b = static_cast<uint8_t>(w >> shift);
            *out++ = b;
            if (b == 0xFF) {
                *out++ = 0;
            }
        }
    }

    // Whole 32-bit words out, fewer than 32 bits left pending.
    void Settle(uint64_t& accumulator, int32_t& bits)
    {
        while (used >= 32) {
            used -= 32;
            uint64_t unused = 0;
            int32_t none = 0;
            out = PutStuffedBits(unused, none, out, 32, static_cast<uint32_t>(word >> used));
        }
        accumulator = word;
        bits = used;
    }
};

// The category and value bits of a non-zero AC coefficient, worked out from
// the coefficient where it is coded.
struct ComputedValues {
    const int16_t* block;

    void At(int natural, int& category, uint32_t& bits) const
    {
        // Not zero (the mask says so): the category needs no test for 0, and
        // the value bits of a negative value are its ones' complement.
        const int c = block[natural];
        const int sign = c >> 31;
        category = 32 - __builtin_clz(static_cast<uint32_t>((c ^ sign) - sign));
        bits = static_cast<uint32_t>(c + sign) & ((1u << category) - 1);
    }
};

// The same read from tables a vector pass filled for the whole block.
struct TabledValues {
    const uint16_t* category;
    const uint16_t* bits;

    void At(int natural, int& c, uint32_t& b) const
    {
        c = category[natural];
        b = bits[natural];
    }
};

template <class Values>
__attribute__((always_inline)) inline uint8_t* CodeBlock(const int16_t* block, const Values& values,
                                                         const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                                                         uint64_t& accumulator, int32_t& pendingBits, uint8_t* out,
                                                         int maxCoded)
{
    BlockBits w{accumulator, pendingBits, out};
    int d = block[0];
    int cat = MagnitudeCategory(d);
    w.Put(dc.length[cat] + cat, (static_cast<uint32_t>(dc.code[cat]) << cat) | MagnitudeBits(d, cat));

    uint64_t pending = ZigzagMask(block);  // inlined here, the hot path
    int previous = 0;
    for (int coded = 0; pending != 0 && coded < maxCoded; ++coded) {
        int k = __builtin_ctzll(pending);
        pending &= pending - 1;
        int run = k - previous - 1;
        while (__builtin_expect(run >= 16, 0)) {
            w.Put(ac.length[0xF0], ac.code[0xF0]);  // ZRL
            run -= 16;
        }
        uint32_t bits;
        values.At(jpeg::kZigzagToNatural[k], cat, bits);
        const uint64_t code = ac.withValue[(run << 4) | cat];
        w.Put(static_cast<int>(code & 0xFF), static_cast<uint32_t>(code >> 8) | bits);
        previous = k;
    }
    if (previous != 63) {
        w.Put(ac.length[0x00], ac.code[0x00]);  // EOB
    }
    w.Settle(accumulator, pendingBits);
    return w.out;
}

#if defined(__x86_64__)

// Category and value bits of 16 coefficients: the value's magnitude smeared
// to all ones below its top bit is 2^category - 1, so the category is its
// population count and the value bits are the magnitude, complemented under
// that mask for a negative value.
LUM_AVX2 inline void CategoriesAndBits(__m256i c, uint16_t* category, uint16_t* bits)
{
    const __m256i sign = _mm256_srai_epi16(c, 15);
    const __m256i magnitude = _mm256_abs_epi16(c);
    __m256i mask = _mm256_or_si256(magnitude, _mm256_srli_epi16(magnitude, 1));
    mask = _mm256_or_si256(mask, _mm256_srli_epi16(mask, 2));
    mask = _mm256_or_si256(mask, _mm256_srli_epi16(mask, 4));
    mask = _mm256_or_si256(mask, _mm256_srli_epi16(mask, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(bits),
                        _mm256_xor_si256(magnitude, _mm256_and_si256(mask, sign)));
    const __m256i nibbles = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2, 2, 3,
                                             1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i low = _mm256_set1_epi8(0x0F);
    const __m256i perByte =
        _mm256_add_epi8(_mm256_shuffle_epi8(nibbles, _mm256_and_si256(mask, low)),
                        _mm256_shuffle_epi8(nibbles, _mm256_and_si256(_mm256_srli_epi16(mask, 4), low)));
    const __m256i perWord = _mm256_add_epi16(_mm256_and_si256(perByte, _mm256_set1_epi16(0xFF)),
                                             _mm256_srli_epi16(perByte, 8));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(category), perWord);
}

LUM_AVX2 uint8_t* EncodeBlockAvx2(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                                  uint64_t& accumulator, int32_t& pendingBits, uint8_t* out, int maxCoded)
{
    alignas(32) uint16_t category[64];
    alignas(32) uint16_t bits[64];
    // Coefficients 1-16 first, read past the DC difference the caller has
    // just stored (a load over a smaller store would stall its forwarding);
    // coefficient 16 is worked out twice, alike.
    CategoriesAndBits(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 1)), category + 1, bits + 1);
    for (int i = 16; i < 64; i += 16) {
        CategoriesAndBits(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i)), category + i, bits + i);
    }
    return CodeBlock(block, TabledValues{category, bits}, dc, ac, accumulator, pendingBits, out, maxCoded);
}

#endif

const bool kAvx2 = imaging::KernelsAtLeast(imaging::KernelSet::kAvx2);

}  // namespace

uint8_t* EncodeBlockSequentialTo(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                                 uint64_t& accumulator, int32_t& pendingBits, uint8_t* out, int maxCoded)
{
#if defined(__x86_64__)
    if (kAvx2) {
        return EncodeBlockAvx2(block, dc, ac, accumulator, pendingBits, out, maxCoded);
    }
#endif
    return CodeBlock(block, ComputedValues{block}, dc, ac, accumulator, pendingBits, out, maxCoded);
}

void EncodeBlockSequential(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                           ScanBitBuffer& s, int maxCoded)
{
    uint8_t* end = EncodeBlockSequentialTo(block, dc, ac, s.accumulator, s.bits, s.bytes, maxCoded);
    s.count = static_cast<uint32_t>(end - s.bytes);
}
