// The decoder's public face: header parsing, creation of main-picture and
// thumbnail decoders, Decode, RGB565 output and Release.
#include "jpeg/JpegDecoder.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegTables.h"

using namespace jpeg;

namespace {

constexpr uint16_t kMarkerSoi = 0xFFD8;
constexpr uint16_t kMarkerEoi = 0xFFD9;
constexpr uint16_t kMarkerSos = 0xFFDA;
constexpr uint16_t kMarkerSof0 = 0xFFC0;
constexpr uint16_t kMarkerSof3 = 0xFFC3;

// Progressive coefficient stores beyond this are refused rather than risked.
constexpr uint64_t kMaxCoefficientBytes = uint64_t{1} << 30;

bool IsFrameMarker(uint16_t m) { return m >= kMarkerSof0 && m <= kMarkerSof3; }

// SOF5..SOF15 (differential, arithmetic): refused. 0xFFC8 (reserved) and
// 0xFFCC (DAC) are stepped over like unknown markers.
bool IsRefusedFrameMarker(uint16_t m) {
    return m >= 0xFFC5 && m <= 0xFFCF && m != 0xFFC8 && m != 0xFFCC;
}

uint16_t Even(uint32_t v) { return static_cast<uint16_t>((v + 1) & ~1u); }

// Walks from SOI to the frame header; returns the SOF marker (the reader
// stands after it) or -1. strict: bytes that are no marker end the walk.
int32_t WalkToFrame(DecoderContext& ctx, bool strict) {
    JpegByteReader& reader = ctx.reader;
    if (reader.size < 2 || reader.U16() != kMarkerSoi) {
        return Refuse(ctx, kJpegRefusalNotJpeg);
    }
    for (;;) {
        if (strict && reader.PeekU8() != 0xFF) {
            return Refuse(ctx, kJpegRefusalSegment);
        }
        const uint16_t marker = FindNextMarker(reader);
        if (IsFrameMarker(marker)) {
            reader.Skip(2);
            return marker;
        }
        if (reader.Left() < 2) {
            return Refuse(ctx, kJpegRefusalCutHeader);
        }
        if (marker == kMarkerEoi || marker == kMarkerSos) {
            return Refuse(ctx, kJpegRefusalNoFrame);
        }
        if (IsRefusedFrameMarker(marker)) {
            return Refuse(ctx, kJpegRefusalUnsupportedCoding);
        }
        if (DispatchMarker(ctx, marker) != 0) {
            return kJpegBadStream;
        }
    }
}

int32_t ReleaseDecoder(JpegDecoder* decoder) {
    if (!decoder) {
        return kJpegBadArgument;
    }
    auto* ctx = static_cast<DecoderContext*>(decoder);
    for (FrameComponent& c : ctx->frame.components) {
        std::free(c.coefficients);
    }
    delete ctx;
    return 0;
}

int32_t Nothing(JpegDecoder*) { return 0; }

int32_t DecodeFrame(JpegDecoder* decoder, const JpegPlanes* planes);

DecoderContext* NewContext(const uint8_t* data, uint32_t size, int scale) {
    auto* ctx = new (std::nothrow) DecoderContext();
    if (!ctx) {
        return nullptr;
    }
    ctx->Decode = DecodeFrame;
    ctx->Reserved1 = Nothing;
    ctx->Reserved2 = Nothing;
    ctx->Release = ReleaseDecoder;
    ctx->reader = JpegByteReader(data, size);
    ctx->scale = scale;
    return ctx;
}

// Reads the frame header at the reader and prepares the decoder for it.
int32_t SetUpFrame(DecoderContext& ctx, uint16_t sofMarker) {
    ctx.frameKind = static_cast<uint8_t>((sofMarker & 0x0F) + 1);
    if (ctx.frameKind == kJpegFrameLossless && ctx.scale != 1) {
        return Refuse(ctx, kJpegRefusalLosslessScale);
    }
    if (ReadFrameHeader(ctx.reader, ctx.frame) != 0) {
        return Refuse(ctx, ctx.frame.width == 0 || ctx.frame.height == 0 ? kJpegRefusalSize : kJpegRefusalFrameHeader);
    }
    const JpegRefusal refused = ValidateFrame(ctx.frame, ctx.frameKind);
    if (refused != kJpegRefusalNone) {
        return Refuse(ctx, refused);
    }
    ctx.frameRead = true;
    ctx.samplingType = SamplingType(ctx.frame, ctx.app.jfifSeen, ctx.app.adobeTransform, ctx.frameKind);
    if (ctx.samplingType == 0) {
        return Refuse(ctx, kJpegRefusalSubsampledRgb);
    }
    const FrameComponent& luma = ctx.frame.components[0];
    const uint32_t unit = ctx.frameKind == kJpegFrameLossless ? 1 : 8;
    ctx.paddedWidth = static_cast<uint16_t>(luma.planeBlocksWide * unit * ctx.frame.hMax / luma.h);
    ctx.paddedHeight = static_cast<uint16_t>(luma.planeBlocksHigh * unit * ctx.frame.vMax / luma.v);
    if (ctx.frameKind == kJpegFrameProgressive) {
        uint64_t total = 0;
        for (int i = 0; i < ctx.frame.componentCount; ++i) {
            const FrameComponent& c = ctx.frame.components[i];
            total += uint64_t{c.planeBlocksWide} * c.planeBlocksHigh * 64 * sizeof(int16_t);
        }
        if (total > kMaxCoefficientBytes) {
            return Refuse(ctx, kJpegRefusalTooLarge);
        }
        for (int i = 0; i < ctx.frame.componentCount; ++i) {
            FrameComponent& c = ctx.frame.components[i];
            c.coefficients = static_cast<int16_t*>(
                std::calloc(size_t{c.planeBlocksWide} * c.planeBlocksHigh * 64, sizeof(int16_t)));
            if (!c.coefficients) {
                return Refuse(ctx, kJpegRefusalTooLarge);
            }
        }
    }
    return 0;
}

// Transform scale of a component's blocks: subsampled chroma is reduced less
// than the picture, so that at 1/2 and below its plane keeps the luma's
// resolution (a 16 x 16 picture area is one chroma block, 2 x 2 at 1/8).
void ComponentScale(const DecoderContext& ctx, int index, int& scaleX, int& scaleY) {
    const FrameComponent& c = ctx.frame.components[index];
    scaleX = ctx.scale * c.h / ctx.frame.hMax;
    scaleY = ctx.scale * c.v / ctx.frame.vMax;
    scaleX = scaleX < 1 ? 1 : scaleX;
    scaleY = scaleY < 1 ? 1 : scaleY;
}

// Plane sizes at the decoder's scale.
struct OutputSizes {
    uint32_t paddedWidth, paddedHeight, width, height;
    uint32_t chromaWidth, chromaHeight;
    int chromaScaleX, chromaScaleY;
};

OutputSizes SizesOf(const DecoderContext& ctx) {
    OutputSizes s{};
    const uint32_t scale = static_cast<uint32_t>(ctx.scale);
    s.paddedWidth = ctx.paddedWidth / scale;
    s.paddedHeight = ctx.paddedHeight / scale;
    s.width = (ctx.frame.width + scale - 1) / scale;
    s.height = (ctx.frame.height + scale - 1) / scale;
    if (ctx.frame.componentCount == 3) {
        const FrameComponent& c = ctx.frame.components[1];
        ComponentScale(ctx, 1, s.chromaScaleX, s.chromaScaleY);
        s.chromaWidth = ctx.paddedWidth * c.h / ctx.frame.hMax / static_cast<uint32_t>(s.chromaScaleX);
        s.chromaHeight = ctx.paddedHeight * c.v / ctx.frame.vMax / static_cast<uint32_t>(s.chromaScaleY);
    }
    return s;
}

ChromaLayout LayoutOf(const OutputSizes& s) {
    ChromaLayout layout;
    layout.stride = s.chromaWidth;
    layout.hShift = s.chromaWidth && s.chromaWidth < s.paddedWidth ? 1 : 0;
    layout.vShift = s.chromaHeight && s.chromaHeight < s.paddedHeight ? 1 : 0;
    return layout;
}

// Whether the data ends before an EOI marker: the walk over what the scans
// left meets the reader's pad instead of a marker in the data.
bool DataEndsBeforeEoi(JpegByteReader reader) {
    for (;;) {
        const uint16_t marker = FindNextMarker(reader);
        if (reader.pos + 2 > reader.size) {
            return true;
        }
        if (marker == kMarkerEoi) {
            return false;
        }
        reader.Skip(2);
    }
}

int32_t DecodeScans(DecoderContext& ctx);

int32_t DecodeFrame(JpegDecoder* decoder, const JpegPlanes* planes) {
    if (!decoder || !planes) {
        return kJpegBadArgument;
    }
    auto& ctx = *static_cast<DecoderContext*>(decoder);
    if (ctx.rgbThumbnail || ctx.decoded) {
        return kJpegBadStream;  // the reader is not rewound
    }
    const OutputSizes sizes = SizesOf(ctx);
    const bool colour = ctx.frame.componentCount == 3;
    if (!planes->y || (colour && (!planes->cb || !planes->cr)) || planes->paddedWidth != sizes.paddedWidth ||
        planes->paddedHeight != sizes.paddedHeight) {
        return kJpegBadArgument;
    }
    ctx.decoded = true;
    ctx.planes[0] = {planes->y, sizes.paddedWidth, sizes.paddedHeight, ctx.scale, ctx.scale};
    if (colour) {
        ctx.planes[1] = {planes->cb, sizes.chromaWidth, sizes.chromaHeight, sizes.chromaScaleX, sizes.chromaScaleY};
        ctx.planes[2] = {planes->cr, sizes.chromaWidth, sizes.chromaHeight, sizes.chromaScaleX, sizes.chromaScaleY};
    }

    const int32_t result = DecodeScans(ctx);
    if (result == kJpegBadStream) {
        Refuse(ctx, kJpegRefusalScan);
    } else if (result == kJpegNoScanData) {
        Refuse(ctx, kJpegRefusalNoScan);
    }
    ctx.truncated = DataEndsBeforeEoi(ctx.reader);
    return result;
}

// The scans of the frame, from the reader's place after the header.
int32_t DecodeScans(DecoderContext& ctx) {
    JpegByteReader& reader = ctx.reader;
    int scans = 0;
    uint16_t marker = FindNextMarker(reader);
    for (;;) {
        if (marker == kMarkerEoi) {
            break;
        }
        if (marker == kMarkerSos) {
            reader.Skip(2);
            ScanHeader scan;
            if (ReadScanHeader(reader, ctx.frame, scan) != 0) {
                return Refuse(ctx, kJpegRefusalScanHeader);
            }
            if (reader.Left() < 2) {
                return kJpegNoScanData;
            }
            int32_t result;
            switch (ctx.frameKind) {
            case kJpegFrameProgressive: result = DecodeProgressiveScan(ctx, scan); break;
            case kJpegFrameLossless: result = DecodeLosslessScan(ctx, scan); break;
            default: result = DecodeSequentialScan(ctx, scan); break;
            }
            if (result != 0) {
                return result;
            }
            ++scans;
            if (ctx.frameKind != kJpegFrameProgressive &&
                (scan.componentCount == 3 || ctx.frame.componentCount == 1 || scans >= 3)) {
                break;
            }
            marker = reader.PeekU16();
            continue;
        }
        if ((marker >= kMarkerSof0 && marker <= 0xFFCF && marker != 0xFFC4 && marker != 0xFFC8 &&
             marker != 0xFFCC) ||
            marker == kMarkerSoi) {
            break;  // a second frame or picture: this one is done
        }
        if (DispatchMarker(ctx, marker) != 0) {
            return kJpegBadStream;
        }
        marker = FindNextMarker(reader);
    }
    if (scans == 0) {
        return kJpegNoScanData;
    }
    if (ctx.frameKind == kJpegFrameProgressive) {
        return FinishProgressiveFrame(ctx);
    }
    return 0;
}

void FillThumbnailInfo(JpegThumbnailInfo& t, uint8_t form, uint32_t paddedW, uint32_t paddedH, uint32_t w,
                       uint32_t h) {
    t.form = form;
    t.paddedWidth = static_cast<uint16_t>(paddedW);
    t.paddedHeight = static_cast<uint16_t>(paddedH);
    t.width = static_cast<uint16_t>(w);
    t.height = static_cast<uint16_t>(h);
    t.evenWidth = Even(w);
    t.evenHeight = Even(h);
}

int32_t Fail(DecoderContext* ctx, JpegDecoder** out, JpegRefusal* refusal) {
    if (refusal) {
        *refusal = ctx->refusal;
    }
    ReleaseDecoder(ctx);
    *out = nullptr;
    return kJpegBadStream;
}

}  // namespace

int32_t gParseJpegHeader(const uint8_t* data, uint32_t size, uint16_t* width, uint16_t* height,
                         uint8_t* thumbnailKind, uint32_t* thumbnailLength) {
    if (!data || !width || !height || !thumbnailKind || !thumbnailLength) {
        return kJpegBadArgument;
    }
    DecoderContext ctx;
    ctx.reader = JpegByteReader(data, size);
    const int32_t marker = WalkToFrame(ctx, true);
    if (marker < 0) {
        return kJpegBadStream;
    }
    FrameHeader frame;
    if (ReadFrameHeader(ctx.reader, frame) != 0) {
        return kJpegBadStream;
    }
    // Walk on to the first scan or the end; the reader ends at EOI at worst.
    for (uint16_t m = FindNextMarker(ctx.reader); m != kMarkerSos && m != kMarkerEoi; m = FindNextMarker(ctx.reader)) {
        ctx.reader.Skip(2);
        if (!(m >= 0xFFD0 && m <= 0xFFD8) && m != 0xFF01) {
            SkipSegment(ctx.reader);
        }
    }
    *width = frame.width;
    *height = frame.height;
    *thumbnailKind = ctx.app.thumbKind;
    *thumbnailLength = ctx.app.thumbLength;
    return 0;
}

int32_t gCreateJpegImageDecoder(JpegDecoder** decoder, const uint8_t* data, uint32_t size, JpegImageInfo* info,
                                uint8_t* thumbnailKind, uint32_t* thumbnailLength, int32_t scale,
                                JpegRefusal* refusal) {
    if (!decoder || !data || !info || !thumbnailKind || !thumbnailLength) {
        return kJpegBadArgument;
    }
    *decoder = nullptr;
    std::memset(info, 0, sizeof(*info));
    if (refusal) {
        *refusal = kJpegRefusalNone;
    }
    if (scale != 1 && scale != 2 && scale != 4 && scale != 8) {
        if (refusal) {
            *refusal = kJpegRefusalScale;
        }
        return kJpegBadStream;
    }
    DecoderContext* ctx = NewContext(data, size, scale);
    if (!ctx) {
        return kJpegBadArgument;
    }
    const int32_t marker = WalkToFrame(*ctx, false);
    if (marker < 0 || SetUpFrame(*ctx, static_cast<uint16_t>(marker)) != 0) {
        return Fail(ctx, decoder, refusal);
    }
    const JpegAppRecord& app = ctx->app;
    info->paddedWidth = ctx->paddedWidth;
    info->paddedHeight = ctx->paddedHeight;
    info->width = ctx->frame.width;
    info->height = ctx->frame.height;
    info->samplingType = ctx->samplingType;
    info->frameKind = ctx->frameKind;
    info->evenWidth = Even(ctx->frame.width);
    info->evenHeight = Even(ctx->frame.height);
    if (app.thumbKind != kJpegThumbNone) {
        FillThumbnailInfo(info->thumbnail, app.thumbForm, app.thumbPaddedWidth, app.thumbPaddedHeight,
                          app.thumbWidth, app.thumbHeight);
        info->thumbnailOffset = app.thumbOffset;
    }
    if (app.exifSeen) {
        info->exif = app.exif;
    }
    *thumbnailKind = app.thumbKind;
    *thumbnailLength = app.thumbLength;
    *decoder = ctx;
    return 0;
}

int32_t gCreateJpegThumbnailDecoder(JpegDecoder** decoder, const uint8_t* data, uint32_t size,
                                    JpegThumbnailInfo* info, JpegRefusal* refusal) {
    if (!decoder || !data || !info) {
        return kJpegBadArgument;
    }
    *decoder = nullptr;
    if (refusal) {
        *refusal = kJpegRefusalNone;
    }
    DecoderContext* ctx = NewContext(data, size, 1);
    if (!ctx) {
        return kJpegBadArgument;
    }
    if (info->form == kJpegThumbFormRgb) {
        // The stretch is the file from its start to the end of the pixels.
        const int32_t marker = WalkToFrame(*ctx, false);
        (void)marker;
        const JpegAppRecord& app = ctx->app;
        if (app.thumbKind != kJpegThumbRgb || app.thumbLength > size) {
            Refuse(*ctx, kJpegRefusalNoThumbnail);
            return Fail(ctx, decoder, refusal);
        }
        ctx->rgbThumbnail = true;
        ctx->rgbPixelPosition = app.thumbPixelPosition;
        ctx->rgbWidth = app.thumbWidth;
        ctx->rgbHeight = app.thumbHeight;
        FillThumbnailInfo(*info, info->form, app.thumbWidth, app.thumbHeight, app.thumbWidth, app.thumbHeight);
        *decoder = ctx;
        return 0;
    }
    const int32_t marker = WalkToFrame(*ctx, false);
    if (marker < 0 || SetUpFrame(*ctx, static_cast<uint16_t>(marker)) != 0) {
        return Fail(ctx, decoder, refusal);
    }
    FillThumbnailInfo(*info, info->form, ctx->paddedWidth, ctx->paddedHeight, ctx->frame.width, ctx->frame.height);
    *decoder = ctx;
    return 0;
}

int32_t gGetJpegOutputInfo(const JpegDecoder* decoder, JpegThumbnailInfo* info) {
    if (!decoder || !info) {
        return kJpegBadArgument;
    }
    const auto& ctx = *static_cast<const DecoderContext*>(decoder);
    if (ctx.rgbThumbnail) {
        FillThumbnailInfo(*info, kJpegThumbFormRgb, ctx.rgbWidth, ctx.rgbHeight, ctx.rgbWidth, ctx.rgbHeight);
        return 0;
    }
    const OutputSizes s = SizesOf(ctx);
    FillThumbnailInfo(*info, info->form, s.paddedWidth, s.paddedHeight, s.width, s.height);
    return 0;
}

int32_t gGetJpegPlaneSizes(const JpegDecoder* decoder, uint16_t* chromaWidth, uint16_t* chromaHeight) {
    if (!decoder || !chromaWidth || !chromaHeight) {
        return kJpegBadArgument;
    }
    const OutputSizes s = SizesOf(*static_cast<const DecoderContext*>(decoder));
    *chromaWidth = static_cast<uint16_t>(s.chromaWidth);
    *chromaHeight = static_cast<uint16_t>(s.chromaHeight);
    return 0;
}

namespace {

// gDecodeJpegImage of a sequential frame: one MCU row of planes at a time
// (StripOutput), whole planes only for a frame of several scans.
int32_t DecodeByStrips(DecoderContext& ctx, const OutputSizes& s, uint16_t* pixels, JpegThumbnailInfo* info) {
    const bool colour = ctx.frame.componentCount == 3;
    StripOutput out;
    out.lumaRows = (colour ? ctx.frame.components[0].v : 1u) * BlockSizeAtScale(ctx.scale);
    out.chromaRows = colour ? ctx.frame.components[1].v * BlockSizeAtScale(s.chromaScaleY) : 0;
    out.mcuRows = (s.paddedHeight + out.lumaRows - 1) / out.lumaRows;
    out.layout = LayoutOf(s);
    out.samplingType = ctx.samplingType;
    out.width = s.width;
    out.height = s.height;
    out.pixels = pixels;
    const size_t lumaBytes = size_t{s.paddedWidth} * out.lumaRows;
    const size_t chromaBytes = size_t{s.chromaWidth} * out.chromaRows;
    out.bytes = lumaBytes + 2 * chromaBytes;
    uint8_t* strip = static_cast<uint8_t*>(std::calloc(out.bytes, 1));
    if (!strip) {
        return kJpegBadArgument;
    }
    out.strip = {strip, colour ? strip + lumaBytes : nullptr, colour ? strip + lumaBytes + chromaBytes : nullptr,
                 static_cast<uint16_t>(s.paddedWidth), static_cast<uint16_t>(out.lumaRows)};
    // Decode checks the planes' size against the picture's; the strips stand
    // in for them.
    const JpegPlanes planes{out.strip.y, out.strip.cb, out.strip.cr, static_cast<uint16_t>(s.paddedWidth),
                            static_cast<uint16_t>(s.paddedHeight)};
    ctx.strips = &out;
    const int32_t result = DecodeFrame(&ctx, &planes);
    ctx.strips = nullptr;
    if (result == 0 || result == kJpegNoScanData) {
        if (out.whole != nullptr) {
            const JpegPlanes whole{ctx.planes[0].base, colour ? ctx.planes[1].base : nullptr,
                                   colour ? ctx.planes[2].base : nullptr, static_cast<uint16_t>(s.paddedWidth),
                                   static_cast<uint16_t>(s.paddedHeight)};
            ConvertPlanes(whole, out.layout, ctx.samplingType, s.width, s.height, 0, pixels);
        } else {
            out.Reach(out.mcuRows);
        }
    }
    std::free(out.whole);
    std::free(strip);
    gGetJpegOutputInfo(&ctx, info);
    return result;
}

}  // namespace

int32_t gDecodeJpegImage(JpegDecoder* decoder, uint16_t* pixels, uint32_t pixelCapacity, JpegThumbnailInfo* info) {
    if (!decoder || !pixels || !info) {
        return kJpegBadArgument;
    }
    auto& ctx = *static_cast<DecoderContext*>(decoder);
    if (ctx.rgbThumbnail) {
        const uint32_t w = ctx.rgbWidth, h = ctx.rgbHeight;
        const uint32_t evenW = Even(w), evenH = Even(h);
        if (w == 0 || h == 0 || uint64_t{evenW} * evenH > pixelCapacity ||
            ctx.rgbPixelPosition + uint64_t{w} * h * 3 > ctx.reader.size) {
            return kJpegBadArgument;
        }
        const uint8_t* rgb = ctx.reader.data + ctx.rgbPixelPosition;
        for (uint32_t y = 0; y < evenH; ++y) {
            const uint8_t* row = rgb + size_t{y < h ? y : h - 1} * w * 3;
            uint16_t* out = pixels + size_t{y} * evenW;
            for (uint32_t x = 0; x < w; ++x) {
                const uint8_t* p = row + size_t{x} * 3;
                out[x] = static_cast<uint16_t>(((p[0] & 0xF8) << 8) | ((p[1] & 0xFC) << 3) | (p[2] >> 3));
            }
            if (evenW != w) {
                out[w] = out[w - 1];
            }
        }
        return 0;
    }
    const OutputSizes s = SizesOf(ctx);
    if (uint64_t{Even(s.width)} * Even(s.height) > pixelCapacity) {
        return kJpegBadArgument;
    }
    if (ctx.frameKind != kJpegFrameProgressive && ctx.frameKind != kJpegFrameLossless) {
        return DecodeByStrips(ctx, s, pixels, info);
    }
    const size_t lumaBytes = size_t{s.paddedWidth} * s.paddedHeight;
    const size_t chromaBytes = size_t{s.chromaWidth} * s.chromaHeight;
    uint8_t* y = static_cast<uint8_t*>(std::calloc(lumaBytes + 2 * chromaBytes, 1));
    if (!y) {
        return kJpegBadArgument;
    }
    JpegPlanes planes{y, chromaBytes ? y + lumaBytes : nullptr, chromaBytes ? y + lumaBytes + chromaBytes : nullptr,
                      static_cast<uint16_t>(s.paddedWidth), static_cast<uint16_t>(s.paddedHeight)};
    const int32_t result = DecodeFrame(decoder, &planes);
    if (result == 0 || result == kJpegNoScanData) {
        ConvertPlanes(planes, LayoutOf(s), ctx.samplingType, s.width, s.height, 0, pixels);
    }
    std::free(y);
    gGetJpegOutputInfo(decoder, info);
    return result;
}

JpegRefusal gGetJpegRefusal(const JpegDecoder* decoder) {
    return decoder ? static_cast<const DecoderContext*>(decoder)->refusal : kJpegRefusalNone;
}

int32_t gIsJpegDataTruncated(const JpegDecoder* decoder) {
    if (!decoder) {
        return kJpegBadArgument;
    }
    return static_cast<const DecoderContext*>(decoder)->truncated ? 1 : 0;
}

const char* gDescribeJpegRefusal(int32_t refusal) {
    switch (refusal) {
    case kJpegRefusalNone: return "";
    case kJpegRefusalNotJpeg: return "not a JPEG stream (no SOI marker)";
    case kJpegRefusalNoFrame: return "no frame header";
    case kJpegRefusalCutHeader: return "the data ends inside the header";
    case kJpegRefusalUnsupportedCoding: return "unsupported coding (arithmetic or hierarchical)";
    case kJpegRefusalScale: return "scale not 1, 2, 4 or 8";
    case kJpegRefusalLosslessScale: return "lossless pictures decode at scale 1 only";
    case kJpegRefusalFrameHeader: return "bad frame header";
    case kJpegRefusalPrecision: return "unsupported sample precision (8-bit only)";
    case kJpegRefusalSize: return "width or height outside 1..65520";
    case kJpegRefusalCmyk: return "CMYK (four components)";
    case kJpegRefusalComponents: return "unsupported number of components";
    case kJpegRefusalSampling: return "unsupported sampling factors (such as 4:1:1)";
    case kJpegRefusalComponentIds: return "two components share an identifier";
    case kJpegRefusalSubsampledRgb: return "subsampled RGB";
    case kJpegRefusalHuffmanTable: return "bad Huffman table";
    case kJpegRefusalQuantTable: return "bad or 16-bit quantisation table";
    case kJpegRefusalSegment: return "bad marker segment";
    case kJpegRefusalScanHeader: return "bad scan header";
    case kJpegRefusalScan: return "bad scan (undefined table or progression values)";
    case kJpegRefusalNoScan: return "no scan data";
    case kJpegRefusalTooLarge: return "picture too large for memory";
    case kJpegRefusalNoThumbnail: return "thumbnail not in the data";
    default: return "refused";
    }
}
