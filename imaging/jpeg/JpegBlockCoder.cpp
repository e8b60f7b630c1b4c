// Huffman coding of one block into the scan bit buffer (T.81 F.1.2).
#include "jpeg/JpegEncoderKernels.h"
#include "jpeg/JpegTables.h"

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
