// Huffman coding of one block into the scan bit buffer (T.81 F.1.2).
#include "jpeg/JpegEncoderKernels.h"
#include "jpeg/JpegTables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Most blocks of a smooth picture carry only their DC after quantisation.
inline bool HasNonZeroAc(const int16_t* block)
{
#if defined(__SSE2__)
    __m128i any = _mm_insert_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block)), 0, 0);
    for (int i = 8; i < 64; i += 8) {
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i)));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xFFFF;
#else
    for (int i = 1; i < 64; ++i) {
        if (block[i] != 0) {
            return true;
        }
    }
    return false;
#endif
}

}  // namespace

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

void EncodeBlockSequential(const int16_t* block, const JpegHuffmanCodes& dc, const JpegHuffmanCodes& ac,
                           ScanBitBuffer& s, int maxCoded)
{
    s.count = 0;
    int d = block[0];
    int cat = MagnitudeCategory(d);
    PutScanBits(s, dc.length[cat] + cat, (static_cast<uint32_t>(dc.code[cat]) << cat) | MagnitudeBits(d, cat));

    if (maxCoded <= 0 || !HasNonZeroAc(block)) {
        PutScanBits(s, ac.length[0x00], ac.code[0x00]);  // EOB
        return;
    }
    int16_t zz[64];
    uint64_t nonzero = 0;
    for (int k = 1; k < 64; ++k) {
        zz[k] = block[jpeg::kZigzagToNatural[k]];
        nonzero |= static_cast<uint64_t>(zz[k] != 0) << k;
    }
    int previous = 0;
    for (int coded = 0; nonzero != 0 && coded < maxCoded; ++coded) {
        int k = __builtin_ctzll(nonzero);
        nonzero &= nonzero - 1;
        int run = k - previous - 1;
        while (run >= 16) {
            PutScanBits(s, ac.length[0xF0], ac.code[0xF0]);  // ZRL
            run -= 16;
        }
        int c = zz[k];
        cat = MagnitudeCategory(c);
        int symbol = (run << 4) | cat;
        PutScanBits(s, ac.length[symbol] + cat,
                    (static_cast<uint32_t>(ac.code[symbol]) << cat) | MagnitudeBits(c, cat));
        previous = k;
    }
    if (previous != 63) {
        PutScanBits(s, ac.length[0x00], ac.code[0x00]);  // EOB
    }
}
