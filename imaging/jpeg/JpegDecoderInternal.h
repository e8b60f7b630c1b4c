// The decoder's own record and the stages that work on it. Callers see only
// JpegDecoder.h; each stage lives in its own file:
//   JpegMarkerReader.cpp     segments: SOF, SOS, DQT, DHT, DRI, marker search
//   JpegHuffmanDecoder.cpp   DHT tables to lookahead and canonical-code tables
//   JpegEntropyReader.h      bit reader over entropy-coded data
//   JpegSequentialScan.cpp   SOF0/SOF1 scans
//   JpegProgressiveScan.cpp  SOF2 scans and the final output of the frame
//   JpegLosslessScan.cpp     SOF3 scans
//   JpegIdct.cpp             inverse transforms at every scale and the block store
//   JpegColorOutput.cpp      planes to RGB565 or planar 4:2:0, RGB565 strip by strip
//   JpegStreamHeader.cpp     header of an embedded (thumbnail) stream
//   JpegDecoder.cpp          creation, the header walk, Decode, Release
#pragma once

#include <cstddef>
#include <cstdint>

#include "exif/JpegAppReader.h"
#include "jpeg/JpegByteReader.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegHuffmanDecoder.h"

namespace jpeg {

inline constexpr int kMaxComponents = 3;
inline constexpr uint32_t kMaxDimension = 65520;

struct QuantTable {
    uint16_t values[64];  // stream (zig-zag) order
    bool defined = false;
};

struct FrameComponent {
    uint8_t id = 0;
    uint8_t h = 1;
    uint8_t v = 1;
    uint8_t tq = 0;
    // Size in pixels (rounded up from the frame size by the factors) and the
    // block grid of the padded plane at full scale.
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t blocksWide = 0;   // blocks that carry picture data (ceil(width / 8))
    uint32_t blocksHigh = 0;
    uint32_t planeBlocksWide = 0;  // blocks of the padded plane (whole MCUs)
    uint32_t planeBlocksHigh = 0;
    // Progressive frames: 64 coefficients per block of the padded plane, in
    // zig-zag order (calloc'ed, freed by Release).
    int16_t* coefficients = nullptr;
};

struct FrameHeader {
    uint8_t precision = 0;
    uint16_t height = 0;
    uint16_t width = 0;
    uint8_t componentCount = 0;
    FrameComponent components[kMaxComponents];
    uint8_t hMax = 1;
    uint8_t vMax = 1;
};

struct ScanComponent {
    int frameIndex = 0;  // 0 Y, 1 Cb, 2 Cr
    uint8_t dcTable = 0;
    uint8_t acTable = 0;
};

struct ScanHeader {
    uint8_t componentCount = 0;
    ScanComponent components[kMaxComponents];
    uint8_t ss = 0;
    uint8_t se = 63;
    uint8_t ah = 0;
    uint8_t al = 0;
};

// Where the chroma sample of a pixel lies: (x >> hShift, y >> vShift) of a
// plane of stride bytes per row.
struct ChromaLayout {
    uint32_t stride = 0;
    int hShift = 0;
    int vShift = 0;
};

// Per-plane destination of the block store.
struct PlaneTarget {
    uint8_t* base = nullptr;
    uint32_t stride = 0;   // bytes per row at the decoder's scale
    uint32_t rows = 0;
    int scaleX = 1;        // transform scale of the component's blocks
    int scaleY = 1;
};

// RGB565 output of a sequential frame made one row of MCUs at a time: the
// scan decodes each row into a strip of planes that stays in the cache, and
// the strip is converted before the next row reuses it, so the picture's
// planes are never held (nor cleared) whole. A scan that does not carry every
// component (a frame of several scans) decodes into whole planes instead.
struct StripOutput {
    JpegPlanes strip{};     // one MCU row of each plane, at the planes' strides
    size_t bytes = 0;       // of the three strips together, from strip.y on
    uint32_t lumaRows = 0;  // rows of the strip, luma and chroma
    uint32_t chromaRows = 0;
    uint32_t mcuRows = 0;   // MCU rows of the frame
    uint32_t done = 0;      // MCU rows converted
    ChromaLayout layout;
    uint8_t samplingType = 0;
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t* pixels = nullptr;
    uint8_t* whole = nullptr;  // the whole planes, once a scan needed them (calloc'ed)

    // Converts the MCU rows before row: the strip for the row the scan has
    // just left, zero planes for rows it never reached. The strip is cleared
    // after each.
    void Reach(uint32_t row);
};

struct DecoderContext : JpegDecoder {
    JpegByteReader reader;
    int scale = 1;
    uint8_t frameKind = 0;
    uint8_t samplingType = 0;
    bool frameRead = false;
    bool decoded = false;
    FrameHeader frame;
    QuantTable quant[4];
    HuffmanTable dcTables[4];
    HuffmanTable acTables[4];
    uint16_t restartInterval = 0;
    JpegAppRecord app;
    uint16_t paddedWidth = 0;   // at scale 1
    uint16_t paddedHeight = 0;
    // Set while Decode runs.
    PlaneTarget planes[kMaxComponents];
    int scansDone = 0;
    // Thumbnail decoders of the RGB form read pixels instead of a stream.
    bool rgbThumbnail = false;
    size_t rgbPixelPosition = 0;
    uint16_t rgbWidth = 0;
    uint16_t rgbHeight = 0;
    // Why the last failure happened, and whether Decode ran out of data.
    JpegRefusal refusal = kJpegRefusalNone;
    bool truncated = false;
    // Set while gDecodeJpegImage decodes a sequential frame.
    StripOutput* strips = nullptr;
};

// Records the first reason of a failure and returns -1.
inline int32_t Refuse(DecoderContext& ctx, JpegRefusal why) {
    if (ctx.refusal == kJpegRefusalNone) {
        ctx.refusal = why;
    }
    return -1;
}

// --- JpegMarkerReader.cpp ----------------------------------------------------

// Skips to the next marker (0xFF not followed by 0x00, fill bytes stepped
// over) and peeks it; the reader stands at its 0xFF.
uint16_t FindNextMarker(JpegByteReader& reader);

// Readers of one segment each; the reader stands just after the marker.
int32_t ReadFrameHeader(JpegByteReader& reader, FrameHeader& frame);
int32_t ReadScanHeader(JpegByteReader& reader, const FrameHeader& frame, ScanHeader& scan);
int32_t ReadQuantTables(JpegByteReader& reader, QuantTable quant[4]);
int32_t ReadHuffmanTables(JpegByteReader& reader, HuffmanTable dc[4], HuffmanTable ac[4],
                          int maxTableNumber);
int32_t ReadRestartInterval(JpegByteReader& reader, uint16_t& interval);
void SkipSegment(JpegByteReader& reader);

// Checks the frame against what the decoder takes (precision, sizes,
// component count, factors, distinct identifiers) and fills each component's
// sizes. kJpegRefusalNone, or what it refuses.
JpegRefusal ValidateFrame(FrameHeader& frame, uint8_t frameKind);

// The Adobe transform value when no Adobe segment was seen.
inline constexpr uint8_t kNoAdobeTransform = 255;

// Sampling type from the factors, the JFIF flag, the Adobe transform and the
// component ids; 0 for subsampled RGB, which is refused.
uint8_t SamplingType(const FrameHeader& frame, bool jfifSeen, uint8_t adobeTransform,
                     uint8_t frameKind);

// --- JpegStreamHeader.cpp ------------------------------------------------------

// Frame kind, sizes and sampling of an embedded JPEG stream. 0, -1 (not a
// JPEG stream, bad sizes or factors) or -4 (a kind the thumbnail path does not
// take: 12-bit, odd factors, 2 or 4 components).
int32_t ReadStreamHeader(const uint8_t* data, size_t size, JpegStreamHeader& header);

// The segments allowed between SOI and SOF and between scans. 0 or -1 (with
// the refusal recorded).
int32_t DispatchMarker(DecoderContext& ctx, uint16_t marker);

// --- scans ---------------------------------------------------------------------

int32_t DecodeSequentialScan(DecoderContext& ctx, const ScanHeader& scan);
int32_t DecodeProgressiveScan(DecoderContext& ctx, const ScanHeader& scan);
int32_t FinishProgressiveFrame(DecoderContext& ctx);
int32_t DecodeLosslessScan(DecoderContext& ctx, const ScanHeader& scan);

// Prescaled dequantisation factors (scale table x quantiser), zig-zag order.
void PrescaleQuant(const QuantTable& quant, int32_t out[64]);

// --- JpegColorOutput.cpp ------------------------------------------------------

// Converts planes of the given sampling type into RGB565 (planar 0) or into
// planar YCbCr 4:2:0 (planar 1: Y, then Cb and Cr at half width and height).
// The output is width x height rounded up to even sizes, the last column and
// row repeated. vector false keeps to the scalar reference (for tests).
void ConvertPlanes(const JpegPlanes& planes, const ChromaLayout& chroma, uint8_t samplingType,
                   uint32_t width, uint32_t height, int planar, void* output, bool vector = true);

// RGB565 pixels of one row of planes with AVX2 (the same pixels as the
// scalar path), 16 at a time; returns the first pixel left to the caller.
uint32_t Rgb565RowAvx2(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, int hShift, const uint8_t (*dither)[3],
                       bool dithers, uint16_t* out, uint32_t width);

}  // namespace jpeg
