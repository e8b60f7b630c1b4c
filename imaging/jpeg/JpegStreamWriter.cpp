#include "jpeg/JpegStreamWriter.h"

#include "jpeg/JpegQuantizer.h"
#include "jpeg/JpegTables.h"

void WriteJfifApp0(JpegBitWriter& w)
{
    w.PutMarker(jpeg::kApp0);
    w.PutWord(16);
    w.PutBits(32, 0x4A464946);  // "JFIF"
    w.PutByte(0);
    w.PutWord(0x0101);  // version 1.01
    w.PutByte(0);       // no units: aspect ratio only
    w.PutWord(1);
    w.PutWord(1);
    w.PutByte(0);  // no JFIF thumbnail
    w.PutByte(0);
}

void WriteAdobeApp14(JpegBitWriter& w)
{
    w.PutMarker(jpeg::kApp14);
    w.PutWord(14);
    w.PutBits(32, 0x41646F62);  // "Adob"
    w.PutByte('e');
    w.PutWord(101);
    w.PutWord(0);
    w.PutWord(0);
    w.PutByte(0);  // transform 0: components coded as passed
}

void WriteDqt(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    JpegDeriveQuantTables(e);
    int tables = e->geometry.components == 1 ? 1 : 2;
    w.PutMarker(jpeg::kDqt);
    w.PutWord(static_cast<uint16_t>(2 + 65 * tables));
    for (int t = 0; t < tables; ++t) {
        w.PutByte(static_cast<uint8_t>(t));  // 8-bit precision, table t
        for (int k = 0; k < 64; ++k) {
            w.PutByte(static_cast<uint8_t>(e->quant[t]->value[jpeg::kZigzagToNatural[k]]));
        }
    }
}

void WriteSof(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    uint8_t marker = e->codingMode == 1 ? jpeg::kSof0 : (e->codingMode == 2 ? jpeg::kSof2 : jpeg::kSof3);
    w.PutMarker(marker);
    w.PutWord(static_cast<uint16_t>(8 + 3 * e->geometry.components));
    w.PutByte(8);
    w.PutWord(static_cast<uint16_t>(e->frameHeight));
    w.PutWord(static_cast<uint16_t>(e->frameWidth));
    w.PutByte(static_cast<uint8_t>(e->geometry.components));
    for (int c = 0; c < e->geometry.components; ++c) {
        const JpegComponentSpec& cs = e->geometry.component[c];
        w.PutByte(cs.id);
        w.PutByte(static_cast<uint8_t>((cs.h << 4) | cs.v));
        w.PutByte(cs.quantTable);
    }
}

namespace {

void PutHuffmanTable(JpegBitWriter& w, uint8_t classAndId, const jpeg::HuffmanSpec& spec)
{
    w.PutByte(classAndId);
    for (int i = 0; i < 16; ++i) {
        w.PutByte(spec.bits[i]);
    }
    for (int i = 0; i < spec.count; ++i) {
        w.PutByte(spec.values[i]);
    }
}

}  // namespace

void WriteDhtStandard(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    w.PutMarker(jpeg::kDht);
    if (e->geometry.components != 1 && e->geometry.components != 3) {
        return;
    }
    w.PutWord(e->geometry.components == 1 ? 210 : 418);
    PutHuffmanTable(w, 0x00, jpeg::kStdDcLuma);
    PutHuffmanTable(w, 0x10, jpeg::kStdAcLuma);
    if (e->geometry.components == 3) {
        PutHuffmanTable(w, 0x01, jpeg::kStdDcChroma);
        PutHuffmanTable(w, 0x11, jpeg::kStdAcChroma);
    }
}

void WriteSosSequential(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    w.PutMarker(jpeg::kSos);
    w.PutWord(static_cast<uint16_t>(6 + 2 * e->geometry.components));
    w.PutByte(static_cast<uint8_t>(e->geometry.components));
    for (int c = 0; c < e->geometry.components; ++c) {
        w.PutByte(e->geometry.component[c].id);
        w.PutByte(static_cast<uint8_t>((e->geometry.component[c].dcTable << 4) | e->geometry.component[c].acTable));
    }
    w.PutByte(0);   // Ss
    w.PutByte(63);  // Se
    w.PutByte(0);   // Ah, Al
}

void WriteSosProgressive(JpegEncoderImpl* e, int component, int ss, int se)
{
    JpegBitWriter& w = *e->writer;
    int first = component < 0 ? 0 : component;
    int count = component < 0 ? e->geometry.components : 1;
    w.PutMarker(jpeg::kSos);
    w.PutWord(static_cast<uint16_t>(6 + 2 * count));
    w.PutByte(static_cast<uint8_t>(count));
    for (int c = first; c < first + count; ++c) {
        w.PutByte(e->geometry.component[c].id);
        w.PutByte(static_cast<uint8_t>((e->geometry.component[c].dcTable << 4) | e->geometry.component[c].acTable));
    }
    w.PutByte(static_cast<uint8_t>(ss));
    w.PutByte(static_cast<uint8_t>(se));
    w.PutByte(0);  // no successive approximation
}

void WriteDri(JpegBitWriter& w, uint16_t interval)
{
    w.PutMarker(jpeg::kDri);
    w.PutWord(4);
    w.PutWord(interval);
}

void FlushScanAndPutMarker(JpegEncoderImpl* e, uint8_t marker)
{
    ScanBitBuffer& s = *e->entropy.scan;
    s.count = 0;
    FlushScanBits(s);
    e->writer->AppendBytes(s.bytes, s.count);
    s.Clear();
    e->writer->PutMarker(marker);
}

void CompleteLastWord(JpegBitWriter& w)
{
    int pad = 4 - static_cast<int>(w.StreamPosition() % 4);
    w.PutBits(8 * pad, 0);
    w.StorePendingBytes();
}

uint32_t JpegSequentialHeaderBytes(int components)
{
    int tables = components == 1 ? 1 : 2;
    uint32_t dqt = 4 + 65 * tables;
    uint32_t sof = 10 + 3 * components;
    uint32_t dri = 6;
    uint32_t dht = components == 1 ? 212 : 420;
    uint32_t sos = 8 + 2 * components;
    return dqt + sof + dri + dht + sos;
}
