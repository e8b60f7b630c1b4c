// Progressive coding by spectral selection (T.81 G.1.1): the coefficient
// passes fill the store with every block's quantised coefficients, then one
// interleaved DC scan and three AC bands per component follow, with fixed
// Huffman tables that give codes to the end-of-band runs.
#include "jpeg/JpegEncoderProgressive.h"

#include "jpeg/JpegStreamWriter.h"
#include "jpeg/JpegTables.h"

#include <algorithm>

namespace {

struct AcBand {
    int ss;
    int se;
    int rowsPerRestart;  // block rows per restart interval; 0 for none
};

constexpr AcBand kBands[3] = {{1, 5, 4}, {6, 15, 8}, {16, 63, 0}};

// Code lengths of the size-0 symbols: EOB, EOB1 to EOB14 and ZRL.
constexpr uint8_t kRunLengthCodeLengths[2][16] = {
    {4, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 11},
    {2, 12, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 10},
};

struct ProgressiveTable {
    uint8_t values[160];
    jpeg::HuffmanSpec spec;
    JpegHuffmanCodes codes;
};

// The table of run r and size s (s up to 9) with the lengths of K.5 (K.6),
// the run-length symbols in place of size 10, symbols ordered by length and
// then by entry 10r + s.
ProgressiveTable MakeProgressiveTable(int t)
{
    uint16_t stdCode[256];
    uint8_t stdLength[256];
    jpeg::DeriveHuffmanCodes(t == 0 ? jpeg::kStdAcLuma : jpeg::kStdAcChroma, stdCode, stdLength);
    ProgressiveTable table{};
    int k = 0;
    for (int len = 1; len <= 16; ++len) {
        int count = 0;
        for (int r = 0; r < 16; ++r) {
            for (int s = 0; s <= 9; ++s) {
                int symbol = 16 * r + s;
                int l = s == 0 ? kRunLengthCodeLengths[t][r] : stdLength[symbol];
                if (l == len) {
                    table.values[k++] = static_cast<uint8_t>(symbol);
                    ++count;
                }
            }
        }
        table.spec.bits[len - 1] = static_cast<uint8_t>(count);
    }
    table.spec.values = table.values;
    table.spec.count = k;
    jpeg::DeriveHuffmanCodes(table.spec, table.codes.code, table.codes.length);
    FillSymbolCodes(table.codes);
    return table;
}

const ProgressiveTable& ProgressiveAc(int t)
{
    static const ProgressiveTable tables[2] = {MakeProgressiveTable(0), MakeProgressiveTable(1)};
    return tables[t];
}

int ScanCount(const JpegEncoderImpl* e)
{
    return 1 + 3 * e->geometry.components;
}

// Blocks of a component that an AC scan covers: only those inside the
// component's own size (T.81 A.2.2), not the MCU padding beyond.
void AcScanBlocks(const JpegEncoderImpl* e, int c, int32_t* cols, int32_t* rows)
{
    const JpegComponentSpec& cs = e->geometry.component[c];
    int32_t hmax = e->geometry.component[0].h, vmax = e->geometry.component[0].v;
    int32_t w = (e->width * cs.h + hmax - 1) / hmax;
    int32_t h = (e->height * cs.v + vmax - 1) / vmax;
    *cols = (w + 7) / 8;
    *rows = (h + 7) / 8;
}

int16_t* StoredBlock(JpegEncoderImpl* e, int c, int32_t col, int32_t row)
{
    return e->progressive.coefficients + e->progressive.coefficientOffset[c] +
           64 * (static_cast<size_t>(row) * e->progressive.componentBlockCols[c] + static_cast<size_t>(col));
}

// Coefficient passes: every block of every plane, transformed and quantised.
void StoreCoefficients(JpegEncoderImpl* e)
{
    size_t offset = 0;
    const int32_t hmax = e->geometry.component[0].h, vmax = e->geometry.component[0].v;
    for (int c = 0; c < e->geometry.components; ++c) {
        const JpegComponentSpec& cs = e->geometry.component[c];
        int32_t cols = e->paddedWidth * cs.h / hmax / 8;
        int32_t rows = e->paddedHeight * cs.v / vmax / 8;
        e->progressive.coefficientOffset[c] = offset;
        e->progressive.componentBlockCols[c] = cols;
        offset += 64 * static_cast<size_t>(cols) * rows;
        const uint8_t* plane = e->view.plane[c];
        const size_t stride = static_cast<size_t>(e->view.stride[c]);
        const int table = c == 0 ? 0 : 1;
        const bool pairs = JpegPairedTransforms(e);
        for (int32_t by = 0; by < rows; ++by) {
            for (int32_t bx = 0; bx < cols; ++bx) {
                int16_t* block = StoredBlock(e, c, bx, by);
                const uint8_t* p = plane + 8 * by * stride + 8 * static_cast<size_t>(bx);
                // Two neighbours at once where the transform takes pairs.
                const int width = pairs && bx + 1 < cols ? 16 : 8;
                for (int y = 0; y < 8; ++y) {
                    for (int x = 0; x < width; ++x) {
                        block[(x >> 3) * 64 + 8 * y + (x & 7)] = p[y * stride + x];
                    }
                }
                if (width == 16) {
                    int counts[2];
                    ForwardDctQuantize8x8Pair(block, block + 64, *e->quant[table], &counts[0], &counts[1]);
                    ++bx;
                    continue;
                }
                JpegTransformBlock(e, block, table);
            }
        }
    }
}

void AppendScanBytes(JpegEncoderImpl* e)
{
    e->writer->AppendBytes(e->entropy.scan->bytes, e->entropy.scan->count);
    e->entropy.scan->count = 0;
}

void PutEobRun(JpegEncoderImpl* e, const JpegHuffmanCodes& ac)
{
    if (e->progressive.eobRun > 0) {
        e->entropy.scan->count = 0;
        PutEndOfBandRun(*e->entropy.scan, ac, e->progressive.eobRun);
        e->progressive.eobRun = 0;
        AppendScanBytes(e);
    }
}

void CodeDcMcu(JpegEncoderImpl* e, int32_t col, int32_t row)
{
    ScanBitBuffer& s = *e->entropy.scan;
    s.count = 0;
    for (int c = 0; c < e->geometry.components; ++c) {
        const JpegComponentSpec& cs = e->geometry.component[c];
        const JpegHuffmanCodes& dc = *e->entropy.dcCodes[c == 0 ? 0 : 1];
        for (int by = 0; by < cs.v; ++by) {
            for (int bx = 0; bx < cs.h; ++bx) {
                int16_t* block = StoredBlock(e, c, col * cs.h + bx, row * cs.v + by);
                int d = block[0] - e->entropy.dcPredictor[c];
                e->entropy.dcPredictor[c] = block[0];
                int cat = MagnitudeCategory(d);
                PutScanBits(s, dc.length[cat] + cat,
                            (static_cast<uint32_t>(dc.code[cat]) << cat) | MagnitudeBits(d, cat));
            }
        }
    }
    AppendScanBytes(e);
}

}  // namespace

void PutEndOfBandRun(ScanBitBuffer& s, const JpegHuffmanCodes& ac, int32_t run)
{
    int n = 31 - __builtin_clz(static_cast<uint32_t>(run));
    int symbol = n << 4;
    PutScanBits(s, ac.length[symbol] + n,
                (static_cast<uint32_t>(ac.code[symbol]) << n) | (static_cast<uint32_t>(run) & ((1u << n) - 1)));
}

void EncodeBlockProgressiveAc(const int16_t* block, int ss, int se, int32_t& eobRun, ScanBitBuffer& s,
                              const JpegHuffmanCodes& ac)
{
    s.count = 0;
    // The non-zero coefficients of the band ss..se only.
    uint64_t band = (~uint64_t{0} >> (63 - se)) & (~uint64_t{0} << ss);
    uint64_t pending = ZigzagNonZeroAcMask(block) & band;
    int previous = ss - 1;
    while (pending != 0) {
        int k = __builtin_ctzll(pending);
        pending &= pending - 1;
        if (eobRun > 0) {
            PutEndOfBandRun(s, ac, eobRun);
            eobRun = 0;
        }
        int run = k - previous - 1;
        while (run >= 16) {
            PutScanBits(s, ac.length[0xF0], ac.code[0xF0]);  // ZRL
            run -= 16;
        }
        int c = block[jpeg::kZigzagToNatural[k]];
        int cat = MagnitudeCategory(c);
        int symbol = (run << 4) | cat;
        PutScanBits(s, ac.length[symbol] + cat,
                    (static_cast<uint32_t>(ac.code[symbol]) << cat) | MagnitudeBits(c, cat));
        previous = k;
    }
    if (previous != se && ++eobRun == kMaxEobRun) {
        PutEndOfBandRun(s, ac, eobRun);
        eobRun = 0;
    }
}

const jpeg::HuffmanSpec& JpegProgressiveAcSpec(int table)
{
    return ProgressiveAc(table).spec;
}

const JpegHuffmanCodes& JpegProgressiveAcCodes(int table)
{
    return ProgressiveAc(table).codes;
}

void WriteDhtProgressive(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    int tables = e->geometry.components == 1 ? 1 : 2;
    for (int t = 0; t < tables; ++t) {
        const jpeg::HuffmanSpec& dc = t == 0 ? jpeg::kStdDcLuma : jpeg::kStdDcChroma;
        w.PutMarker(jpeg::kDht);
        w.PutWord(31);
        w.PutByte(static_cast<uint8_t>(t));
        for (int i = 0; i < 16; ++i) {
            w.PutByte(dc.bits[i]);
        }
        for (int i = 0; i < dc.count; ++i) {
            w.PutByte(dc.values[i]);
        }
        const jpeg::HuffmanSpec& ac = JpegProgressiveAcSpec(t);
        w.PutMarker(jpeg::kDht);
        w.PutWord(static_cast<uint16_t>(3 + 16 + ac.count));
        w.PutByte(static_cast<uint8_t>(0x10 | t));
        for (int i = 0; i < 16; ++i) {
            w.PutByte(ac.bits[i]);
        }
        for (int i = 0; i < ac.count; ++i) {
            w.PutByte(ac.values[i]);
        }
    }
}

int32_t JpegRunProgressive(JpegEncoderImpl* e, bool wholeStream)
{
    JpegBitWriter& w = *e->writer;
    if (e->progressive.progressiveScan < 0) {
        WriteDqt(e);
        WriteSof(e);
        WriteDhtProgressive(e);
        for (int t = 0; t < 2; ++t) {
            e->entropy.acCodes[t] = &JpegProgressiveAcCodes(t);
        }
        StoreCoefficients(e);
        e->progressive.progressiveScan = 0;
        e->progressive.scanOpen = 0;
        e->entropy.scan->Clear();
    }
    const int scans = ScanCount(e);
    for (;;) {
        if (!wholeStream && w.spillCount != 0) {
            return kJpegMoreOutput;
        }
        const int index = e->progressive.progressiveScan;
        const bool dc = index == 0;
        const int comp = dc ? 0 : (index - 1) % e->geometry.components;
        const AcBand band = dc ? AcBand{0, 0, 1} : kBands[(index - 1) / e->geometry.components];
        const JpegHuffmanCodes& ac = *e->entropy.acCodes[comp == 0 ? 0 : 1];
        int32_t cols, rows;
        if (dc) {
            cols = e->geometry.mcuCols;
            rows = e->geometry.mcuRows;
        } else {
            AcScanBlocks(e, comp, &cols, &rows);
        }
        // Restart intervals must fit DRI's 16 bits, however wide the picture.
        int32_t rowsPerRestart = std::min<int32_t>(band.rowsPerRestart, 65535 / cols);
        if (!e->progressive.scanOpen) {
            WriteDri(w, static_cast<uint16_t>(rowsPerRestart * cols));
            if (dc) {
                WriteSosProgressive(e, -1, 0, 0);
            } else {
                WriteSosProgressive(e, comp, band.ss, band.se);
            }
            e->progressive.scanOpen = 1;
            e->progressive.scanRow = 0;
            e->progressive.scanCol = 0;
            e->progressive.restartNumber = 0;
            e->progressive.eobRun = 0;
            e->entropy.dcPredictor[0] = e->entropy.dcPredictor[1] = e->entropy.dcPredictor[2] = 0;
        }
        if (e->progressive.scanRow < rows) {
            if (e->progressive.scanCol < cols) {
                // The rest of the row, without working the scan out again per block.
                const int16_t* block =
                    dc ? nullptr : StoredBlock(e, comp, e->progressive.scanCol, e->progressive.scanRow);
                do {
                    if (dc) {
                        CodeDcMcu(e, e->progressive.scanCol, e->progressive.scanRow);
                    } else {
                        EncodeBlockProgressiveAc(block, band.ss, band.se, e->progressive.eobRun, *e->entropy.scan, ac);
                        AppendScanBytes(e);
                        block += 64;
                    }
                    ++e->progressive.scanCol;
                    if (w.lost || (wholeStream && w.Overflowed())) {
                        return kJpegFailed;
                    }
                    if (w.Overflowed()) {
                        return kJpegMoreOutput;
                    }
                } while (e->progressive.scanCol < cols);
                continue;
            }
            ++e->progressive.scanRow;
            e->progressive.scanCol = 0;
            if (rowsPerRestart > 0 && e->progressive.scanRow < rows && e->progressive.scanRow % rowsPerRestart == 0) {
                if (!dc) {
                    PutEobRun(e, ac);
                }
                FlushScanAndPutMarker(e, static_cast<uint8_t>(jpeg::kRst0 + e->progressive.restartNumber));
                e->progressive.restartNumber = (e->progressive.restartNumber + 1) % 8;
                e->entropy.dcPredictor[0] = e->entropy.dcPredictor[1] = e->entropy.dcPredictor[2] = 0;
            }
            continue;
        }
        if (!dc) {
            PutEobRun(e, ac);
        }
        e->progressive.scanOpen = 0;
        ++e->progressive.progressiveScan;
        if (e->progressive.progressiveScan < scans) {
            e->entropy.scan->count = 0;
            FlushScanBits(*e->entropy.scan);
            AppendScanBytes(e);
            e->entropy.scan->Clear();
            continue;
        }
        FlushScanAndPutMarker(e, jpeg::kEoi);
        CompleteLastWord(w);
        e->progressive.progressiveScan = -1;
        if (w.lost || (wholeStream && w.Overflowed())) {
            return kJpegFailed;
        }
        return w.Overflowed() ? kJpegMoreOutput : kJpegOk;
    }
}
