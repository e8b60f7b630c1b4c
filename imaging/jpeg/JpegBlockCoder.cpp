// Huffman coding of one block into the scan bit buffer (T.81 F.1.2).
#include "jpeg/JpegEncoderKernels.h"
#include "jpeg/JpegTables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Non-zero AC coefficients of a block; most blocks of a smooth picture have none or few.
inline int NonZeroAcCount(const int16_t* block)
{
#if defined(__SSE2__)
    __m128i zeros = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i));
        zeros = _mm_sub_epi16(zeros, _mm_cmpeq_epi16(v, _mm_setzero_si128()));
    }
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 8));
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 4));
    zeros = _mm_add_epi16(zeros, _mm_srli_si128(zeros, 2));
    int nonzero = 64 - (_mm_cvtsi128_si32(zeros) & 0xFFFF);
#else
    int nonzero = 0;
    for (int i = 0; i < 64; ++i) {
        nonzero += block[i] != 0;
    }
#endif
    return nonzero - (block[0] != 0);
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

    // Walk the zig-zag order only up to the last coefficient to be coded.
    int remaining = NonZeroAcCount(block);
    remaining = remaining < maxCoded ? remaining : maxCoded;
    int previous = 0;
    int run = 0;
    for (int k = 1; remaining > 0; ++k) {
        int c = block[jpeg::kZigzagToNatural[k]];
        if (c == 0) {
            ++run;
            continue;
        }
        while (run >= 16) {
            PutScanBits(s, ac.length[0xF0], ac.code[0xF0]);  // ZRL
            run -= 16;
        }
        cat = MagnitudeCategory(c);
        int symbol = (run << 4) | cat;
        PutScanBits(s, ac.length[symbol] + cat,
                    (static_cast<uint32_t>(ac.code[symbol]) << cat) | MagnitudeBits(c, cat));
        run = 0;
        previous = k;
        --remaining;
    }
    if (previous != 63) {
        PutScanBits(s, ac.length[0x00], ac.code[0x00]);  // EOB
    }
}
