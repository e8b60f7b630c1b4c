// Marker segments of the decoder (T.81 B.2): frame and scan headers, table
// definitions, restart interval, and the search for the next marker.
#include <cstring>

#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegTables.h"

namespace jpeg {

namespace {

constexpr uint16_t MarkerCode(uint8_t code) { return static_cast<uint16_t>(0xFF00 | code); }

// A segment's length field, checked against its fixed part.
bool ReadLength(JpegByteReader& reader, uint32_t minimum, uint32_t& length) {
    length = reader.U16();
    return length >= minimum;
}

}  // namespace

uint16_t FindNextMarker(JpegByteReader& reader) {
    for (;;) {
        while (reader.PeekU8() != 0xFF) {
            reader.U8();
        }
        // Fill bytes: the last 0xFF of a run is the marker's.
        while (reader.PeekU8(1) == 0xFF) {
            reader.U8();
        }
        if (reader.PeekU8(1) != 0x00) {
            return reader.PeekU16();
        }
        reader.Skip(2);  // stuffed 0xFF 0x00 is data
    }
}

void SkipSegment(JpegByteReader& reader) {
    const uint32_t length = reader.U16();
    reader.Skip(length >= 2 ? length - 2 : 0);
}

// B.2.2 Frame header syntax.
int32_t ReadFrameHeader(JpegByteReader& reader, FrameHeader& frame) {
    uint32_t length = 0;
    if (!ReadLength(reader, 8, length)) {
        return -1;
    }
    frame.precision = reader.U8();
    frame.height = reader.U16();
    frame.width = reader.U16();
    frame.componentCount = reader.U8();
    if (frame.height == 0 || frame.width == 0) {
        return -1;  // DNL-defined heights are not taken
    }
    if (length < 8u + 3u * frame.componentCount) {
        return -1;
    }
    const int n = frame.componentCount < kMaxComponents ? frame.componentCount : kMaxComponents;
    for (int i = 0; i < n; ++i) {
        FrameComponent& c = frame.components[i];
        c.id = reader.U8();
        const uint8_t factors = reader.U8();
        c.h = factors >> 4;
        c.v = factors & 0x0F;
        c.tq = reader.U8();
    }
    reader.Skip(length - 8 - 3u * n);
    return 0;
}

JpegRefusal ValidateFrame(FrameHeader& frame, uint8_t frameKind) {
    // Other precisions would be misdecoded as 8-bit samples.
    if (frame.precision != 8) {
        return kJpegRefusalPrecision;
    }
    if (frame.height > kMaxDimension || frame.width > kMaxDimension) {
        return kJpegRefusalSize;
    }
    const int n = frame.componentCount;
    if (n != 1 && n != 3) {
        return n == 4 ? kJpegRefusalCmyk : kJpegRefusalComponents;
    }
    for (int i = 0; i < n; ++i) {
        const FrameComponent& c = frame.components[i];
        if (c.tq > 3) {
            return kJpegRefusalFrameHeader;
        }
        if (c.h < 1 || c.h > 2 || c.v < 1 || c.v > 2) {
            return kJpegRefusalSampling;
        }
    }
    if (n == 3) {
        const FrameComponent* c = frame.components;
        if (c[1].h != c[2].h || c[1].v != c[2].v || c[1].h > c[0].h || c[1].v > c[0].v) {
            return kJpegRefusalSampling;
        }
        if (c[0].id == c[1].id || c[0].id == c[2].id || c[1].id == c[2].id) {
            return kJpegRefusalComponentIds;
        }
    } else {
        // One component: its MCU is one block whatever its factors say (A.2.2).
        frame.components[0].h = 1;
        frame.components[0].v = 1;
    }
    frame.hMax = frame.components[0].h;
    frame.vMax = frame.components[0].v;
    // Lossless frames code one sample per "block".
    const uint32_t unit = frameKind == kJpegFrameLossless ? 1 : 8;
    const uint32_t mcuW = unit * frame.hMax;
    const uint32_t mcuH = unit * frame.vMax;
    const uint32_t paddedW = (frame.width + mcuW - 1) / mcuW * mcuW;
    const uint32_t paddedH = (frame.height + mcuH - 1) / mcuH * mcuH;
    for (int i = 0; i < n; ++i) {
        FrameComponent& c = frame.components[i];
        c.width = (frame.width * c.h + frame.hMax - 1) / frame.hMax;
        c.height = (frame.height * c.v + frame.vMax - 1) / frame.vMax;
        c.blocksWide = (c.width + unit - 1) / unit;
        c.blocksHigh = (c.height + unit - 1) / unit;
        c.planeBlocksWide = paddedW * c.h / frame.hMax / unit;
        c.planeBlocksHigh = paddedH * c.v / frame.vMax / unit;
    }
    return kJpegRefusalNone;
}

uint8_t SamplingType(const FrameHeader& frame, bool jfifSeen, uint8_t adobeTransform,
                     uint8_t frameKind) {
    if (frame.componentCount == 1) {
        return kJpegSamplingGrey;
    }
    const FrameComponent* c = frame.components;
    // Colour space as other decoders tell it: JFIF means YCbCr; else an Adobe
    // transform of 0, or no Adobe segment and the component ids "R", "G",
    // "B", means RGB. Lossless frames without JFIF are RGB.
    const bool rgbIds = c[0].id == 'R' && c[1].id == 'G' && c[2].id == 'B';
    const bool rgb = !jfifSeen && (adobeTransform == 0 || (adobeTransform == kNoAdobeTransform && rgbIds) ||
                                   frameKind == kJpegFrameLossless);
    const bool hDiffers = c[1].h != c[0].h;
    const bool vDiffers = c[1].v != c[0].v;
    if (rgb) {
        // Subsampled RGB would need its own upsampling: refused.
        return hDiffers || vDiffers ? 0 : kJpegSamplingRgb;
    }
    if (hDiffers) {
        return vDiffers ? kJpegSampling420 : kJpegSampling422;
    }
    if (vDiffers) {
        return kJpegSampling440;
    }
    return kJpegSampling444;
}

// B.2.3 Scan header syntax, with the parameter checks of G.1.1.1.1.
int32_t ReadScanHeader(JpegByteReader& reader, const FrameHeader& frame, ScanHeader& scan) {
    const uint32_t length = reader.U16();
    const uint8_t ns = reader.U8();
    if ((ns != 1 && ns != 3) || length != 6u + 2u * ns) {
        return -1;
    }
    scan.componentCount = ns;
    for (int i = 0; i < ns; ++i) {
        const uint8_t id = reader.U8();
        const uint8_t tables = reader.U8();
        int index = -1;
        for (int k = 0; k < frame.componentCount; ++k) {
            if (frame.components[k].id == id) {
                index = k;
                break;
            }
        }
        if (index < 0) {
            return -1;
        }
        for (int k = 0; k < i; ++k) {
            if (scan.components[k].frameIndex == index) {
                return -1;
            }
        }
        scan.components[i].frameIndex = index;
        scan.components[i].dcTable = tables >> 4;
        scan.components[i].acTable = tables & 0x0F;
        if (scan.components[i].dcTable > 3 || scan.components[i].acTable > 3) {
            return -1;
        }
    }
    scan.ss = reader.U8();
    scan.se = reader.U8();
    const uint8_t a = reader.U8();
    scan.ah = a >> 4;
    scan.al = a & 0x0F;
    return 0;
}

// B.2.4.1 Quantization table syntax (DQT); 16-bit tables are refused.
int32_t ReadQuantTables(JpegByteReader& reader, QuantTable quant[4]) {
    uint32_t length = 0;
    if (!ReadLength(reader, 2, length)) {
        return -1;
    }
    const uint32_t tables = (length - 2) / 65;
    for (uint32_t t = 0; t < tables; ++t) {
        const uint8_t pq = reader.U8();
        if ((pq >> 4) != 0 || (pq & 0x0F) > 3) {
            return -1;
        }
        QuantTable& q = quant[pq & 0x0F];
        for (int k = 0; k < 64; ++k) {
            q.values[k] = reader.U8();
        }
        q.defined = true;
    }
    // Bytes past the last whole table are left to the marker search.
    return 0;
}

// B.2.4.2 Huffman table syntax (DHT).
int32_t ReadHuffmanTables(JpegByteReader& reader, HuffmanTable dc[4], HuffmanTable ac[4],
                          int maxTableNumber) {
    uint32_t length = 0;
    if (!ReadLength(reader, 2, length)) {
        return -1;
    }
    uint32_t consumed = 0;
    while (consumed + 2 < length) {
        const uint8_t tcth = reader.U8();
        const int tableClass = tcth >> 4;
        const int number = tcth & 0x0F;
        if (tableClass > 1 || number > maxTableNumber) {
            return -1;
        }
        uint8_t counts[16];
        int total = 0;
        for (int i = 0; i < 16; ++i) {
            counts[i] = reader.U8();
            total += counts[i];
        }
        if (total > (tableClass == 0 ? 12 : 176) || consumed + 17u + total + 2 > length) {
            return -1;
        }
        uint8_t symbols[256];
        for (int i = 0; i < total; ++i) {
            symbols[i] = reader.U8();
        }
        HuffmanTable& table = tableClass == 0 ? dc[number] : ac[number];
        if (!BuildHuffmanTable(counts, symbols, total, table)) {
            return -1;
        }
        consumed += 17u + static_cast<uint32_t>(total);
    }
    // A table cut by the segment's end was refused above; bytes after the
    // segment are left to the marker search.
    return 0;
}

int32_t ReadRestartInterval(JpegByteReader& reader, uint16_t& interval) {
    uint32_t length = 0;
    if (!ReadLength(reader, 4, length)) {
        return -1;
    }
    interval = reader.U16();
    reader.Skip(length - 4);
    return 0;
}

int32_t DispatchMarker(DecoderContext& ctx, uint16_t marker) {
    JpegByteReader& reader = ctx.reader;
    reader.Skip(2);
    int32_t result = 0;
    if (marker == MarkerCode(kDht)) {
        const int maxNumber = (ctx.frameRead && ctx.frameKind == kJpegFrameBaseline) ? 1 : 3;
        if (ReadHuffmanTables(reader, ctx.dcTables, ctx.acTables, maxNumber) != 0) {
            return Refuse(ctx, kJpegRefusalHuffmanTable);
        }
    } else if (marker == MarkerCode(kDqt)) {
        if (ReadQuantTables(reader, ctx.quant) != 0) {
            return Refuse(ctx, kJpegRefusalQuantTable);
        }
    } else if (marker == MarkerCode(kDri)) {
        result = ReadRestartInterval(reader, ctx.restartInterval);
    } else if (marker >= MarkerCode(kApp0) && marker <= MarkerCode(kApp15)) {
        result = JpegReadAppSegment(marker, reader, ctx.app, ReadStreamHeader);
    } else if (marker == MarkerCode(kCom) || marker == MarkerCode(kDnl)) {
        uint32_t length = 0;
        if (!ReadLength(reader, 2, length)) {
            return Refuse(ctx, kJpegRefusalSegment);
        }
        reader.Skip(length - 2);
    }
    if (result != 0) {
        return Refuse(ctx, kJpegRefusalSegment);
    }
    // Any other marker: nothing is read, the search steps over it.
    return result;
}

}  // namespace jpeg
