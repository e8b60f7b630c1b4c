// Header of a JPEG stream embedded in an APPn segment (a thumbnail): frame
// kind, sizes and sampling, read from SOI up to the frame header.
#include "jpeg/JpegDecoderInternal.h"

namespace jpeg {

int32_t ReadStreamHeader(const uint8_t* data, size_t size, JpegStreamHeader& header) {
    JpegByteReader reader(data, size);
    if (reader.U16() != 0xFFD8) {
        return kJpegBadStream;
    }
    uint16_t marker = FindNextMarker(reader);
    while (marker < 0xFFC0 || marker > 0xFFC3) {
        if (marker == 0xFFD9 || marker == 0xFFDA || (marker >= 0xFFC5 && marker <= 0xFFCF)) {
            return kJpegBadStream;
        }
        reader.Skip(2);
        if (marker != 0xFFD8 && !(marker >= 0xFFD0 && marker <= 0xFFD7)) {
            SkipSegment(reader);
        }
        marker = FindNextMarker(reader);
    }
    reader.Skip(2);
    FrameHeader frame;
    const uint8_t kind = static_cast<uint8_t>((marker & 0x0F) + 1);
    const int32_t read = ReadFrameHeader(reader, frame);
    if (frame.precision != 8) {
        return frame.precision == 12 ? kThumbUnsupported : kJpegBadStream;
    }
    // A height out of range is a broken stream; a width out of range one the
    // thumbnail path does not take.
    if (frame.height == 0 || frame.height > kMaxDimension) {
        return kJpegBadStream;
    }
    if (frame.width == 0 || frame.width > kMaxDimension) {
        return kThumbUnsupported;
    }
    if (read != 0) {
        return kJpegBadStream;
    }
    if (frame.componentCount != 1 && frame.componentCount != 3) {
        return kThumbUnsupported;
    }
    if (ValidateFrame(frame, kind) != kJpegRefusalNone) {
        return kThumbUnsupported;
    }
    header.frameKind = kind;
    header.width = frame.width;
    header.height = frame.height;
    const uint32_t unit = kind == kJpegFrameLossless ? 1 : 8;
    const uint32_t mcuW = unit * frame.hMax;
    const uint32_t mcuH = unit * frame.vMax;
    header.paddedWidth = static_cast<uint16_t>((frame.width + mcuW - 1) / mcuW * mcuW);
    header.paddedHeight = static_cast<uint16_t>((frame.height + mcuH - 1) / mcuH * mcuH);
    // The walk up to SOS would find the JFIF/Adobe flags of the thumbnail
    // itself; an embedded thumbnail is YCbCr unless it says otherwise.
    header.samplingType = SamplingType(frame, true, 255, kind);
    return 0;
}

}  // namespace jpeg
