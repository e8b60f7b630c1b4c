// The encoder object: creation and its checks, configuration, the frame
// entry points and release.
#include "jpeg/JpegEncoder.h"

#include "exif/ExifWriter.h"
#include "jpeg/JpegEncoderState.h"
#include "jpeg/JpegEncoderProgressive.h"
#include "jpeg/JpegEncoderThumbnail.h"
#include "jpeg/JpegRateControl.h"
#include "jpeg/JpegStreamWriter.h"
#include "jpeg/JpegTables.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr uint32_t kSpillBytes = 8192;   // one worst-case MCU plus markers, with room to spare
constexpr uint32_t kEdgeBytes = 1024;    // one MCU of the widest input layout
constexpr int32_t kMaxUncompressedThumbPixels = 21841;  // 3 bytes a pixel must fit one segment

uint32_t SaturatingAdd(uint64_t a, uint64_t b)
{
    uint64_t s = a + b;
    return s > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                    : static_cast<uint32_t>(s);
}

uint32_t ThumbnailBytes(const JpegEncoderImpl* e)
{
    if (e->thumbnailOn != 1) {
        return 0;
    }
    uint64_t pixels = static_cast<uint64_t>(e->thumbnailWidthRounded) * e->thumbnailHeightRounded;
    return SaturatingAdd(e->thumbnailKind == 0 ? 3 * pixels : pixels, 0);
}

float FormatSizeFactor(int32_t format)
{
    switch (format) {
    case kJpegYuv420:
    case kJpegNv12:
        return 1.0f;
    case kJpegYuv444:
        return 2.0f;
    case kJpegGrey:
        return 0.67f;
    case kJpegInterleaved444:
        return 3.0f;
    default:
        return 1.4f;
    }
}

// Bytes of everything but the entropy-coded data, so that the size figure
// also holds for tiny pictures with a large header.
uint32_t HeaderBytes(const JpegEncoderImpl* e)
{
    uint32_t app = 18;
    if (e->inputFormat == kJpegInterleaved444) {
        app = 16;
    } else if (e->headerKind == 1) {
        app = exif::kExifBlockMaxBytes + (e->thumbnailOn ? exif::kExifIfd1MaxBytes : 0);
    }
    if (e->thumbnailOn) {
        app += 2 + 12 + 16;  // thumbnail SOI, JFXX fields, APP14 of the thumbnail
    }
    uint32_t rows = e->outputMode == 0 ? static_cast<uint32_t>(e->geometry.mcuRows) : 1;
    if (e->codingMode == 2) {
        // Ten scans with their DRI and SOS, larger DHT, and a flush and marker
        // per restart interval of each scan.
        rows = 2 * static_cast<uint32_t>(e->paddedHeight / 8) + static_cast<uint32_t>(e->geometry.mcuRows) + 16 * 10;
    }
    // SOI, APPn, tables and scan header, a flushed byte and RSTn per MCU row, EOI, word completion.
    return 2 + app + JpegSequentialHeaderBytes(e->geometry.components) + 3 * rows + 2 + 4;
}

uint32_t ComputeOutputSizeFigure(JpegEncoderImpl* e)
{
    float q = static_cast<float>(e->quality);
    float q2 = q * q;
    float q3 = q2 * q;
    float q4 = q3 * q;
    float f = 5492.3174f - 622.603f * q + 38.75716f * q2 - 0.7109806f * q3 + 0.0042083757f * q4;
    float h = static_cast<float>(e->outputMode == 0 ? e->paddedHeight : e->geometry.mcuHeight);
    float w = static_cast<float>(e->paddedWidth);
    float v = f * h * w * FormatSizeFactor(e->inputFormat) * 0.00003945707f;
    double data = 2.5 * static_cast<double>(v);
    uint64_t dataBytes = data >= 4294967295.0 ? 4294967295ull : static_cast<uint64_t>(data);
    e->rate.thumbnailFigure = ThumbnailBytes(e);
    return SaturatingAdd(SaturatingAdd(e->rate.thumbnailFigure, 1024) + static_cast<uint64_t>(HeaderBytes(e)), dataBytes);
}

JpegHuffmanCodes DeriveCodes(const jpeg::HuffmanSpec& spec)
{
    JpegHuffmanCodes c;
    jpeg::DeriveHuffmanCodes(spec, c.code, c.length);
    FillSymbolCodes(c);
    return c;
}

int32_t Release(JpegEncoder* self)
{
    auto* e = static_cast<JpegEncoderImpl*>(self);
    if (e == nullptr) {
        return kJpegOk;
    }
    JpegFreeTracked(e);
    delete e;
    return kJpegOk;
}

int32_t GetConfig(JpegEncoder* self, int32_t id, uint32_t* value);

// SOI and the header: APP14, JFIF or EXIF, with the thumbnail. 0 or -1.
int32_t WriteHeader(JpegEncoderImpl* e)
{
    JpegBitWriter& w = *e->writer;
    w.PutMarker(jpeg::kSoi);
    if (e->inputFormat == kJpegInterleaved444 || e->headerKind == 0) {
        if (e->inputFormat == kJpegInterleaved444) {
            WriteAdobeApp14(w);
        } else {
            WriteJfifApp0(w);
        }
        if (e->thumbnailOn && JpegWriteJfxxThumbnail(e) != kJpegOk) {
            return kJpegFailed;
        }
    } else {
        uint8_t app1[exif::kExifBlockMaxBytes];
        const uint32_t size = exif::WriteExifApp1(app1, e->thumbnailOn ? 1 : 0, e->exif);
        w.StorePendingBytes();
        w.AppendBytes(app1, size);
        if (e->thumbnailOn && JpegWriteExifThumbnail(e) != kJpegOk) {
            return kJpegFailed;
        }
    }
    w.StorePendingBytes();
    return w.Overflowed() ? kJpegFailed : kJpegOk;
}

void StartNewFrame(JpegEncoderImpl* e)
{
    e->newFrame = 1;
    e->mcuRow = -1;
    e->mcuCol = 0;
    e->draining = 0;
    e->progressive.progressiveScan = -1;
}

int32_t Encode(JpegEncoder* self, const uint8_t* input, uint8_t* output, uint32_t* size)
{
    auto* e = static_cast<JpegEncoderImpl*>(self);
    if (e == nullptr || input == nullptr || output == nullptr || size == nullptr) {
        return kJpegFailed;
    }
    if (*size < e->rate.outputSizeFigure) {
        *size = 0;
        return kJpegOutputTooSmall;
    }
    JpegBitWriter& w = *e->writer;
    if (e->newFrame) {
        JpegPrepareInput(e, input);
        w.Attach(output, *size);
        if (WriteHeader(e) != kJpegOk) {
            StartNewFrame(e);
            *size = 0;
            return kJpegFailed;
        }
        if (e->codingMode == 2) {
            e->rate.rateMode = e->rate.rateMode == 1 ? 0 : e->rate.rateMode;
        } else if (e->rate.rateMode == 1) {
            JpegStartRateFrame(e);
        }
        e->newFrame = 0;
        e->draining = 0;
        e->progressive.progressiveScan = -1;
    } else {
        w.Reattach(output, *size);
        if (e->viewInPlace) {
            JpegSetInputView(e, input);
        }
    }

    int32_t rc;
    if (e->draining) {
        rc = w.spillCount != 0 ? kJpegMoreOutput : kJpegOk;
    } else {
        bool whole = e->outputMode == 0;
        rc = e->codingMode == 2 ? JpegRunProgressive(e, whole) : JpegRunSequential(e, whole);
        if (rc == kJpegMoreOutput && e->mcuRow < 0 && e->progressive.progressiveScan < 0) {
            e->draining = 1;
        }
    }
    if (rc == kJpegOk || rc == kJpegFailed) {
        // A failed frame leaves its partial stream; the next call starts afresh.
        StartNewFrame(e);
    }
    *size = w.position;
    return rc;
}

int32_t EncodeToBuffer(JpegEncoder* self, const JpegSourceStream* source, const uint8_t* input, uint8_t* output,
                       uint32_t* size)
{
    auto* e = static_cast<JpegEncoderImpl*>(self);
    if (e == nullptr || source == nullptr || input == nullptr || output == nullptr || size == nullptr) {
        return kJpegFailed;
    }
    uint32_t required = source->length;
    GetConfig(e, kJpegConfigWrapSize, &required);
    if (*size < required) {
        *size = 0;
        return kJpegOutputTooSmall;
    }
    // Only between frames, and only over a stream that starts with SOI.
    if (!e->newFrame || source->data == nullptr || source->length < 2 || source->data[0] != 0xFF ||
        source->data[1] != jpeg::kSoi) {
        return kJpegBadParameter;
    }
    JpegBitWriter& w = *e->writer;
    JpegPrepareInput(e, input);
    w.Attach(output, *size);
    if (WriteHeader(e) != kJpegOk) {
        StartNewFrame(e);
        *size = 0;
        return kJpegFailed;
    }
    w.AppendBytes(source->data + 2, source->length - 2);
    StartNewFrame(e);
    if (w.Overflowed()) {
        *size = 0;
        return kJpegFailed;
    }
    *size = w.position;
    return kJpegOk;
}

int32_t SetConfig(JpegEncoder* self, int32_t id, int32_t value)
{
    auto* e = static_cast<JpegEncoderImpl*>(self);
    if (e == nullptr || id < 0 || id > kJpegConfigChromaSwap) {
        return kJpegNullArgument;
    }
    switch (id) {
    case kJpegConfigQuality:
        if (value < 1 || value > 100) {
            return kJpegBadSize;
        }
        e->quality = value;
        e->rate.rateMode = 0;
        e->rate.outputSizeFigure = ComputeOutputSizeFigure(e);
        return kJpegOk;
    case kJpegConfigTargetBytes:
    case kJpegConfigTargetQuality: {
        if (e->outputMode == 2) {
            return kJpegFailed;
        }
        uint32_t target = static_cast<uint32_t>(value);
        if (id == kJpegConfigTargetBytes) {
            uint64_t minimum = static_cast<uint64_t>(e->rate.thumbnailFigure) +
                               ((static_cast<uint64_t>(e->width) * static_cast<uint64_t>(e->height)) >> 6) + 1024;
            if (target < minimum) {
                return kJpegBadSize;
            }
            e->rate.targetBytes = target;
            e->rate.rateMode = 1;
        } else {
            e->quality = JpegQualityFromTarget(e, target);
            e->rate.rateMode = 2;
        }
        if (e->codingMode == 1 && e->outputMode == 0) {
            e->rate.outputSizeFigure = target;
        }
        return kJpegOk;
    }
    case kJpegConfigChromaSwap:
        if (e->inputFormat < kJpegYuv420 || e->inputFormat > kJpegYuv444) {
            return kJpegNullArgument;
        }
        if (static_cast<uint32_t>(value) > 1) {
            return kJpegFailed;
        }
        e->chromaSwap = value;
        return kJpegOk;
    default:
        return kJpegNullArgument;
    }
}

int32_t GetConfig(JpegEncoder* self, int32_t id, uint32_t* value)
{
    auto* e = static_cast<JpegEncoderImpl*>(self);
    if (e == nullptr || value == nullptr) {
        return kJpegNullArgument;
    }
    if (id == kJpegConfigOutputSize) {
        if (e->rate.rateMode == 0) {
            e->rate.outputSizeFigure = ComputeOutputSizeFigure(e);
        }
        *value = e->rate.outputSizeFigure;
    } else if (id == kJpegConfigWrapSize) {
        e->rate.thumbnailFigure = ThumbnailBytes(e);
        *value = SaturatingAdd(static_cast<uint64_t>(*value) + e->rate.thumbnailFigure, 1024);
        e->rate.outputSizeFigure = *value;
    }
    return kJpegOk;
}

// Every failure after the object exists frees it and all it took.
int32_t Fail(JpegEncoderImpl* e, int32_t code)
{
    Release(e);
    return code;
}

}  // namespace

const JpegHuffmanCodes& JpegStdDcCodes(int table)
{
    static const JpegHuffmanCodes codes[2] = {DeriveCodes(jpeg::kStdDcLuma), DeriveCodes(jpeg::kStdDcChroma)};
    return codes[table];
}

const JpegHuffmanCodes& JpegStdAcCodes(int table)
{
    static const JpegHuffmanCodes codes[2] = {DeriveCodes(jpeg::kStdAcLuma), DeriveCodes(jpeg::kStdAcChroma)};
    return codes[table];
}

void JpegSetupSampling(JpegEncoderImpl* e)
{
    const JpegInputLayout* l = JpegInputLayoutFor(e->currentFormat);
    e->geometry.layout = l;
    e->geometry.former = McuFormerFor(e->currentFormat);
    e->geometry.components = l->components;
    e->geometry.mcuWidth = l->mcuWidth;
    e->geometry.mcuHeight = l->mcuHeight;
    e->geometry.mcuCols = e->paddedWidth / l->mcuWidth;
    e->geometry.mcuRows = e->paddedHeight / l->mcuHeight;
    e->geometry.component[0] = {1, static_cast<uint8_t>(l->lumaH), static_cast<uint8_t>(l->lumaV), 0, 0, 0};
    e->geometry.component[1] = {2, 1, 1, 1, 1, 1};
    e->geometry.component[2] = {3, 1, 1, 1, 1, 1};
    for (int t = 0; t < 2; ++t) {
        e->entropy.dcCodes[t] = &JpegStdDcCodes(t);
        e->entropy.acCodes[t] = e->codingMode == 2 ? &JpegProgressiveAcCodes(t) : &JpegStdAcCodes(t);
    }
}

int32_t gCreateJpegImageEncoder(JpegEncoder** encoder, JpegEncodeParams* params)
{
    if (encoder == nullptr || params == nullptr) {
        return kJpegNullArgument;
    }
    if (params->thumbnailOn == 1) {
        if (params->thumbnailKind != 0 && params->thumbnailKind != 1) {
            return kJpegBadParameter;
        }
        if ((params->thumbnailWidth & 1) != 0 || (params->thumbnailHeight & 1) != 0) {
            return kJpegBadSize;
        }
        if (params->thumbnailKind == 0 &&
            (static_cast<int64_t>(params->thumbnailWidth) * params->thumbnailHeight > kMaxUncompressedThumbPixels ||
             params->thumbnailWidth > 255 || params->thumbnailHeight > 255)) {
            return kJpegBadSize;
        }
        if (params->thumbnailWidth > params->width) {
            params->thumbnailWidth = params->width;
        }
        if (params->thumbnailHeight > params->height) {
            params->thumbnailHeight = params->height;
        }
        // The box scaler needs at least two columns and rows to average.
        if (params->thumbnailWidth < 4 || params->thumbnailHeight < 4) {
            return kJpegBadSize;
        }
    }

    auto* e = new (std::nothrow) JpegEncoderImpl{};
    if (e == nullptr) {
        return kJpegNoMemory;
    }
    e->Encode = Encode;
    e->EncodeToBuffer = EncodeToBuffer;
    e->SetConfig = SetConfig;
    e->GetConfig = GetConfig;
    e->reserved = nullptr;
    e->Release = Release;

    e->quant[0] = static_cast<JpegQuantTable*>(JpegTrackedAlloc(e, sizeof(JpegQuantTable)));
    e->quant[1] = static_cast<JpegQuantTable*>(JpegTrackedAlloc(e, sizeof(JpegQuantTable)));
    e->writer = static_cast<JpegBitWriter*>(JpegTrackedAlloc(e, sizeof(JpegBitWriter)));
    if (e->quant[0] == nullptr || e->quant[1] == nullptr || e->writer == nullptr) {
        return Fail(e, kJpegNoMemory);
    }
    *e->writer = JpegBitWriter{};

    e->width = params->width;
    e->height = params->height;
    e->quality = params->quality;
    e->codingMode = params->codingMode;
    e->inputFormat = params->inputFormat;
    e->currentFormat = params->inputFormat;
    e->activityClassing = params->activityClassing == 1 ? 1 : 0;
    e->thumbnailOn = params->thumbnailOn == 1 ? 1 : 0;
    e->thumbnailKind = params->thumbnailKind;
    e->thumbnailWidth = params->thumbnailWidth;
    e->thumbnailHeight = params->thumbnailHeight;
    e->outputMode = params->outputMode;
    e->stripeRows = params->stripeRows;
    if (params->headerKind != 0 && params->headerKind != 1) {
        params->headerKind = 0;
    }
    e->headerKind = params->headerKind;
    e->exif = &params->exif;
    e->newFrame = 1;
    e->mcuRow = -1;

    e->rate.blockStats = static_cast<uint32_t*>(JpegTrackedAlloc(e, 64 * sizeof(uint32_t)));
    e->ownLuma = static_cast<uint16_t*>(JpegTrackedAlloc(e, 64 * sizeof(uint16_t)));
    e->ownChroma = static_cast<uint16_t*>(JpegTrackedAlloc(e, 64 * sizeof(uint16_t)));
    e->rate.rateLuma = static_cast<uint16_t*>(JpegTrackedAlloc(e, 64 * sizeof(uint16_t)));
    e->rate.rateChroma = static_cast<uint16_t*>(JpegTrackedAlloc(e, 64 * sizeof(uint16_t)));
    if (e->rate.blockStats == nullptr || e->ownLuma == nullptr || e->ownChroma == nullptr || e->rate.rateLuma == nullptr ||
        e->rate.rateChroma == nullptr) {
        return Fail(e, kJpegNoMemory);
    }
    if (params->useLumaTable == 1) {
        if (params->lumaTable == nullptr) {
            return Fail(e, kJpegBadParameter);
        }
        std::memcpy(e->ownLuma, params->lumaTable, 64 * sizeof(uint16_t));
        e->useOwnLuma = 1;
    }
    if (params->useChromaTable == 1) {
        if (params->chromaTable == nullptr) {
            return Fail(e, kJpegBadParameter);
        }
        std::memcpy(e->ownChroma, params->chromaTable, 64 * sizeof(uint16_t));
        e->useOwnChroma = 1;
    }
    if (e->quality < 1 || e->quality > 100) {
        e->quality = 50;
    }

    const JpegInputLayout* layout = JpegInputLayoutFor(e->inputFormat);
    if (layout == nullptr) {
        return Fail(e, kJpegUnknownFormat);
    }
    if ((layout->mcuWidth == 16 && (e->width & 1) != 0) || (layout->mcuHeight == 16 && (e->height & 1) != 0)) {
        return Fail(e, kJpegBadSize);
    }
    // SOF carries 16-bit sizes; this also keeps every size product in range.
    if (e->width < 1 || e->width > 65535 || e->height < 1 || e->height > 65535) {
        return Fail(e, kJpegBadSize);
    }
    e->paddedWidth = (e->width + layout->mcuWidth - 1) / layout->mcuWidth * layout->mcuWidth;
    e->paddedHeight = (e->height + layout->mcuHeight - 1) / layout->mcuHeight * layout->mcuHeight;
    e->frameWidth = e->width;
    e->frameHeight = e->height;

    int32_t mcuRows = e->paddedHeight / layout->mcuHeight;
    if (e->outputMode < 0 || e->outputMode > 2) {
        return Fail(e, kJpegBadParameter);
    }
    if (e->outputMode == 2 &&
        (e->thumbnailOn || e->codingMode != 1 || e->stripeRows <= 0 || e->stripeRows > mcuRows)) {
        return Fail(e, kJpegBadParameter);
    }
    if (e->codingMode != 1 && e->codingMode != 2) {
        return Fail(e, kJpegBadParameter);
    }
    // The components are coded as they are under APP14: no EXIF block to carry IFD1.
    if (e->inputFormat == kJpegInterleaved444 && e->headerKind == 1 && e->thumbnailOn) {
        return Fail(e, kJpegBadParameter);
    }

    e->blocks = static_cast<int16_t*>(JpegTrackedAlloc(e, kMaxBlocksPerMcu * 64 * sizeof(int16_t)));
    e->edge = static_cast<uint8_t*>(JpegTrackedAlloc(e, kEdgeBytes));
    e->entropy.scan = static_cast<ScanBitBuffer*>(JpegTrackedAlloc(e, sizeof(ScanBitBuffer)));
    e->writer->spill = static_cast<uint8_t*>(JpegTrackedAlloc(e, kSpillBytes));
    e->writer->spillCapacity = kSpillBytes;
    if (e->blocks == nullptr || e->edge == nullptr || e->entropy.scan == nullptr || e->writer->spill == nullptr) {
        return Fail(e, kJpegNoMemory);
    }

    JpegSetupSampling(e);
    if (JpegNeedsWorkPlanes(e)) {
        e->workPlanes = static_cast<uint8_t*>(
            JpegTrackedAlloc(e, JpegWorkPlaneBytes(e->inputFormat, e->paddedWidth, e->paddedHeight)));
        if (e->workPlanes == nullptr) {
            return Fail(e, kJpegNoMemory);
        }
    }
    if (e->codingMode == 2) {
        size_t samples = JpegWorkPlaneBytes(e->inputFormat, e->paddedWidth, e->paddedHeight);
        e->progressive.coefficients = static_cast<int16_t*>(JpegTrackedAlloc(e, samples * sizeof(int16_t)));
        if (e->progressive.coefficients == nullptr) {
            return Fail(e, kJpegNoMemory);
        }
    }
    if (e->thumbnailOn) {
        int32_t align = (e->inputFormat == kJpegGrey || e->inputFormat == kJpegInterleaved444) ? 8 : 16;
        bool jpegThumb = e->thumbnailKind == 1;
        int32_t rw = jpegThumb ? (e->thumbnailWidth + align - 1) / align * align : e->thumbnailWidth;
        int32_t rh = jpegThumb ? (e->thumbnailHeight + align - 1) / align * align : e->thumbnailHeight;
        e->thumbnailWidthRounded = rw;
        e->thumbnailHeightRounded = rh;
        // Plane 0 at full size; planes 1 and 2 as the picture samples them, or
        // quarter size for a JPEG thumbnail (coded 4:2:0) unless the components
        // are coded as they are (format 10).
        int32_t format = e->inputFormat;
        bool quarter = jpegThumb && format != kJpegInterleaved444;
        bool halfW = quarter || format == kJpegYuv420 || format == kJpegYuv422 ||
                     (format >= kJpegRgbPlanar && format <= kJpegYuyv) || format == kJpegNv12;
        bool halfH = quarter || format == kJpegYuv420 || (format >= kJpegRgbPlanar && format <= kJpegYuyvAs420) ||
                     format == kJpegNv12;
        e->thumb.thumbStride[0] = rw;
        e->thumb.thumbRows[0] = rh;
        for (int p = 1; p < 3; ++p) {
            e->thumb.thumbStride[p] = halfW ? (quarter ? ((rw / 2) + 7) / 8 * 8 : (rw + 1) / 2) : rw;
            e->thumb.thumbRows[p] = halfH ? (quarter ? ((rh / 2) + 7) / 8 * 8 : (rh + 1) / 2) : rh;
        }
        size_t bytes = static_cast<size_t>(rw) * rh;
        if (format != kJpegGrey) {
            bytes += 2 * static_cast<size_t>(e->thumb.thumbStride[1]) * e->thumb.thumbRows[1];
        }
        uint8_t* buffer = static_cast<uint8_t*>(JpegTrackedAlloc(e, bytes));
        e->thumb.thumbColumnSums = static_cast<uint32_t*>(JpegTrackedAlloc(e, static_cast<size_t>(e->width) * sizeof(uint32_t)));
        if (buffer == nullptr || e->thumb.thumbColumnSums == nullptr) {
            return Fail(e, kJpegNoMemory);
        }
        e->thumb.thumbPlane[0] = buffer;
        if (format != kJpegGrey) {
            e->thumb.thumbPlane[1] = buffer + static_cast<size_t>(rw) * rh;
            e->thumb.thumbPlane[2] = e->thumb.thumbPlane[1] + static_cast<size_t>(e->thumb.thumbStride[1]) * e->thumb.thumbRows[1];
        }
    }
    e->progressive.progressiveScan = -1;
    e->rate.outputSizeFigure = ComputeOutputSizeFigure(e);

    *encoder = e;
    return kJpegOk;
}
