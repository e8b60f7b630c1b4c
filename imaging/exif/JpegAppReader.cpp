#include "exif/JpegAppReader.h"

#include <cstring>

#include "exif/ExifTags.h"

namespace {

constexpr uint16_t kApp0 = 0xFFE0;
constexpr uint16_t kApp1 = 0xFFE1;
constexpr uint16_t kApp13 = 0xFFED;
constexpr uint16_t kApp14 = 0xFFEE;
constexpr uint8_t kJfxxJpeg = 0x10;
constexpr uint8_t kJfxxRgb = 0x13;
constexpr size_t kMakeMax = 50;
constexpr size_t kSoftwareMax = 90;
constexpr size_t kDateLength = 19;

uint16_t Clamp16(uint32_t v) { return v > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(v); }

// The TIFF structure of one APP1 segment; every read is bounds-checked
// against the segment and fails instead of leaving it.
class Tiff {
public:
    Tiff(const uint8_t* base, size_t length, bool bigEndian)
        : base_(base), length_(length), big_(bigEndian) {}

    bool Has(uint64_t offset, uint64_t bytes) const { return offset + bytes <= length_; }

    uint16_t U16(uint64_t offset) const {
        if (!Has(offset, 2)) {
            return 0;
        }
        const uint8_t* p = base_ + offset;
        return big_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : static_cast<uint16_t>(p[1] << 8 | p[0]);
    }
    uint32_t U32(uint64_t offset) const {
        if (!Has(offset, 4)) {
            return 0;
        }
        const uint8_t* p = base_ + offset;
        return big_ ? (uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3])
                    : (uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
    }
    JpegRational Rational(uint64_t offset) const {
        if (!Has(offset, 8)) {
            return {};
        }
        return {U32(offset), U32(offset + 4)};
    }
    const uint8_t* Bytes(uint64_t offset, uint64_t count) const {
        return Has(offset, count) ? base_ + offset : nullptr;
    }

private:
    const uint8_t* base_;
    size_t length_;
    bool big_;
};

struct IfdEntry {
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint64_t valueField;  // offset of the 4-byte value field
    uint32_t value;       // the value field as a LONG
};

// SHORT and LONG values both start at the value field in the segment's order.
uint32_t IntValue(const Tiff& tiff, const IfdEntry& e) {
    return e.type == exif::kTypeShort ? tiff.U16(e.valueField) : e.value;
}

// Text from the value field (4 bytes or fewer) or from the named offset.
uint16_t ReadText(const Tiff& tiff, const IfdEntry& e, size_t max, char* out) {
    size_t count = e.count < max ? e.count : max;
    const uint8_t* src = e.count <= 4 ? tiff.Bytes(e.valueField, 4) : tiff.Bytes(e.value, count);
    if (!src) {
        out[0] = 0;
        return 0;
    }
    std::memcpy(out, src, count);
    out[count] = 0;
    return static_cast<uint16_t>(std::strlen(out) + 1);
}

template <typename Visit>
bool WalkIfd(const Tiff& tiff, uint32_t offset, uint16_t& entryCount, uint32_t* nextIfd, Visit visit) {
    if (!tiff.Has(offset, 2)) {
        return false;
    }
    const uint16_t count = tiff.U16(offset);
    if (!tiff.Has(offset + 2, uint64_t(count) * exif::kIfdEntrySize)) {
        return false;
    }
    entryCount = count;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t at = offset + 2 + uint64_t(i) * exif::kIfdEntrySize;
        IfdEntry e{tiff.U16(at), tiff.U16(at + 2), tiff.U32(at + 4), at + 8, tiff.U32(at + 8)};
        visit(e);
    }
    if (nextIfd) {
        *nextIfd = tiff.U32(offset + 2 + uint64_t(count) * exif::kIfdEntrySize);
    }
    return true;
}

// IFD0, Exif IFD, GPS IFD and IFD1 of one TIFF structure.
int32_t WalkIfds(const Tiff& tiff, JpegExifValues& v) {
    using namespace exif;
    if (!WalkIfd(tiff, v.ifd0Offset, v.ifd0EntryCount, &v.ifd1Offset, [&](const IfdEntry& e) {
            switch (e.tag) {
            case kTagMake: v.makeLength = ReadText(tiff, e, kMakeMax, v.make); break;
            case kTagModel: v.modelLength = ReadText(tiff, e, kMakeMax, v.model); break;
            case kTagSoftware: v.softwareLength = ReadText(tiff, e, kSoftwareMax, v.software); break;
            case kTagDateTime: ReadText(tiff, e, kDateLength, v.dateTime); break;
            case kTagOrientation: v.orientation = tiff.U16(e.valueField); break;
            case kTagResolutionUnit: v.resolutionUnit = tiff.U16(e.valueField); break;
            case kTagYCbCrPositioning: v.yCbCrPositioning = tiff.U16(e.valueField); break;
            case kTagXResolution: v.xResolution = tiff.Rational(e.value); break;
            case kTagYResolution: v.yResolution = tiff.Rational(e.value); break;
            case kTagExifIfdPointer: v.exifIfdOffset = e.value; break;
            case kTagGpsIfdPointer: v.gpsIfdOffset = e.value; break;
            default: break;
            }
        })) {
        return kExifOutOfData;
    }
    // An IFD that a pointer names but that lies beyond the segment makes the
    // whole block suspect: its values so far stay, but no thumbnail is offered.
    bool whole = true;
    if (v.exifIfdOffset) {
        whole &= WalkIfd(tiff, v.exifIfdOffset, v.exifEntryCount, nullptr, [&](const IfdEntry& e) {
            switch (e.tag) {
            case kTagExposureTime: v.exposureTime = tiff.Rational(e.value); break;
            case kTagFNumber: v.fNumber = tiff.Rational(e.value); break;
            case kTagExposureProgram: v.exposureProgram = tiff.U16(e.valueField); break;
            case kTagExifVersion: ReadText(tiff, e, 4, v.exifVersion); break;
            case kTagDateTimeOriginal: ReadText(tiff, e, kDateLength, v.dateTimeOriginal); break;
            case kTagExposureBiasValue: v.exposureBiasValue = tiff.Rational(e.value); break;
            case kTagSubjectDistance: v.subjectDistance = tiff.Rational(e.value); break;
            case kTagFlash: v.flash = tiff.U16(e.valueField); break;
            case kTagFocalLength: v.focalLength = tiff.Rational(e.value); break;
            case kTagUserComment: v.userCommentLength = e.count; break;
            case kTagColorSpace: v.colorSpace = tiff.U16(e.valueField); break;
            case kTagPixelXDimension: v.pixelXDimension = IntValue(tiff, e); break;
            case kTagPixelYDimension: v.pixelYDimension = IntValue(tiff, e); break;
            case kTagFocalPlaneXResolution: v.focalPlaneXResolution = tiff.Rational(e.value); break;
            case kTagFocalPlaneYResolution: v.focalPlaneYResolution = tiff.Rational(e.value); break;
            case kTagFocalPlaneResolutionUnit: v.focalPlaneResolutionUnit = tiff.U16(e.valueField); break;
            case kTagCustomRendered: v.customRendered = tiff.U16(e.valueField); break;
            case kTagWhiteBalance: v.whiteBalance = tiff.U16(e.valueField); break;
            case kTagDigitalZoomRatio: v.digitalZoomRatio = tiff.Rational(e.value); break;
            default: break;
            }
        });
    }
    if (v.gpsIfdOffset) {
        whole &= WalkIfd(tiff, v.gpsIfdOffset, v.gpsEntryCount, nullptr, [&](const IfdEntry& e) {
            auto three = [&](JpegRational* out) {
                for (int i = 0; i < 3; ++i) {
                    out[i] = tiff.Rational(uint64_t(e.value) + 8u * i);
                }
            };
            if (e.tag == kTagGpsLatitude && e.count >= 3) {
                three(v.gpsLatitude);
            } else if (e.tag == kTagGpsLongitude && e.count >= 3) {
                three(v.gpsLongitude);
            } else if (e.tag == kTagGpsAltitude) {
                v.gpsAltitude = tiff.Rational(e.value);
            }
        });
    }
    if (v.ifd1Offset) {
        whole &= WalkIfd(tiff, v.ifd1Offset, v.ifd1EntryCount, nullptr, [&](const IfdEntry& e) {
            switch (e.tag) {
            case kTagImageWidth: v.thumbImageWidth = IntValue(tiff, e); break;
            case kTagImageLength: v.thumbImageLength = IntValue(tiff, e); break;
            case kTagCompression: v.thumbCompression = tiff.U16(e.valueField); break;
            case kTagStripOffsets:
                // Several strips: the first offset is where the pixels begin.
                v.stripOffsets = e.count <= 1 ? IntValue(tiff, e)
                                              : (e.type == kTypeShort ? tiff.U16(e.value) : tiff.U32(e.value));
                break;
            case kTagOrientation: v.thumbOrientation = tiff.U16(e.valueField); break;
            case kTagXResolution: v.thumbXResolution = tiff.Rational(e.value); break;
            case kTagYResolution: v.thumbYResolution = tiff.Rational(e.value); break;
            case kTagResolutionUnit: v.thumbResolutionUnit = tiff.U16(e.valueField); break;
            case kTagJpegInterchangeFormat: v.jpegInterchangeFormat = e.value; break;
            case kTagJpegInterchangeFormatLength: v.jpegInterchangeFormatLength = e.value; break;
            default: break;
            }
        });
    }
    if (!whole) {
        return kExifOutOfData;
    }
    // An IFD1 that says where neither a JPEG stream nor strips begin.
    if (v.ifd1Offset && v.ifd1EntryCount && !v.jpegInterchangeFormat && !v.stripOffsets) {
        return kExifOutOfData;
    }
    return 0;
}

void NameThumbnail(JpegAppRecord& record, uint8_t kind, uint8_t form, uint32_t offset, uint32_t length,
                   uint16_t width, uint16_t height) {
    record.thumbNamed = true;
    record.thumbKind = kind;
    record.thumbForm = form;
    record.thumbOffset = offset;
    record.thumbLength = length;
    record.thumbWidth = width;
    record.thumbHeight = height;
    record.thumbPaddedWidth = width;
    record.thumbPaddedHeight = height;
    record.thumbSamplingType = 0;
    record.thumbPixelPosition = form == kJpegThumbFormRgb ? length - 3u * width * height : 0;
}

// An embedded JPEG thumbnail at [offset, offset + length) of the buffer.
void NameJpegThumbnail(JpegAppRecord& record, const JpegByteReader& reader, JpegStreamHeaderReader readHeader,
                       uint8_t form, size_t offset, size_t length, bool reportOwnKind) {
    if (offset >= reader.size) {
        return;
    }
    if (length > reader.size - offset) {
        length = reader.size - offset;
    }
    JpegStreamHeader header;
    if (readHeader(reader.data + offset, length, header) != 0) {
        return;  // a thumbnail whose header cannot be read is not offered
    }
    const uint8_t kind = reportOwnKind ? header.frameKind : uint8_t{kJpegThumbJpeg};
    NameThumbnail(record, kind, form, static_cast<uint32_t>(offset), static_cast<uint32_t>(length), header.width,
                  header.height);
    record.exifThumbKind = header.frameKind;
    record.thumbPaddedWidth = header.paddedWidth;
    record.thumbPaddedHeight = header.paddedHeight;
    record.thumbSamplingType = header.samplingType;
}

void ReadApp0(JpegByteReader& reader, JpegAppRecord& record, JpegStreamHeaderReader readHeader, size_t segmentStart,
              uint32_t length) {
    const size_t end = segmentStart + length;
    char id[5];
    for (char& c : id) {
        c = static_cast<char>(reader.U8());
    }
    if (std::memcmp(id, "JFIF", 5) == 0 && length >= 16) {
        record.jfifSeen = true;
        record.jfifLength = static_cast<uint16_t>(length);
        std::memcpy(record.jfifIdentifier, id, 5);
        record.jfifVersion = reader.U16();
        record.units = reader.U8();
        record.xDensity = reader.U16();
        record.yDensity = reader.U16();
        record.jfifThumbWidth = reader.U8();
        record.jfifThumbHeight = reader.U8();
        const uint32_t pixels = 3u * record.jfifThumbWidth * record.jfifThumbHeight;
        if (pixels && !record.thumbNamed && reader.pos + pixels <= end && end <= reader.size) {
            NameThumbnail(record, kJpegThumbRgb, kJpegThumbFormRgb, 0, static_cast<uint32_t>(reader.pos + pixels),
                          record.jfifThumbWidth, record.jfifThumbHeight);
        }
    } else if (std::memcmp(id, "JFXX", 5) == 0 && record.jfifSeen && length >= 8) {
        record.jfxxCode = reader.U8();
        if (record.jfxxCode == kJfxxJpeg && !record.thumbNamed) {
            NameJpegThumbnail(record, reader, readHeader, kJpegThumbFormJfxxJpeg, reader.pos, length - 8, false);
        } else if (record.jfxxCode == kJfxxRgb && length >= 10) {
            record.jfxxThumbWidth = reader.U8();
            record.jfxxThumbHeight = reader.U8();
            const uint32_t pixels = 3u * record.jfxxThumbWidth * record.jfxxThumbHeight;
            if (pixels && !record.thumbNamed && reader.pos + pixels <= end && end <= reader.size) {
                NameThumbnail(record, kJpegThumbRgb, kJpegThumbFormRgb, 0, static_cast<uint32_t>(reader.pos + pixels),
                              record.jfxxThumbWidth, record.jfxxThumbHeight);
            }
        }
    }
    reader.Seek(end);
}

void ReadApp13(JpegByteReader& reader, JpegAppRecord& record, JpegStreamHeaderReader readHeader, size_t segmentStart,
               uint32_t length) {
    const size_t end = segmentStart + length < reader.size ? segmentStart + length : reader.size;
    // Only a readable stream is offered: an APP13 segment without one names no thumbnail.
    if (!record.thumbNamed) {
        for (size_t p = reader.pos; p + 1 < end; ++p) {
            if (reader.data[p] == 0xFF && reader.data[p + 1] == 0xD8) {
                JpegStreamHeader header;
                const size_t streamLength = end - p;
                if (readHeader(reader.data + p, streamLength, header) == 0) {
                    record.thumbNamed = true;
                    record.thumbKind = kJpegThumbApp13;
                    record.thumbForm = kJpegThumbFormApp13;
                    record.thumbOffset = static_cast<uint32_t>(p);
                    record.thumbLength = static_cast<uint32_t>(streamLength);
                    record.thumbWidth = header.width;
                    record.thumbHeight = header.height;
                    record.thumbPaddedWidth = header.paddedWidth;
                    record.thumbPaddedHeight = header.paddedHeight;
                    record.thumbSamplingType = header.samplingType;
                }
                break;
            }
        }
    }
    reader.Seek(segmentStart + length);
}

}  // namespace

int32_t JpegReadAppSegment(uint16_t marker, JpegByteReader& reader, JpegAppRecord& record,
                           JpegStreamHeaderReader readHeader) {
    const size_t segmentStart = reader.pos;
    if (marker == kApp1) {
        return JpegReadExifSegment(reader, record, readHeader) == kJpegBadStream ? kJpegBadStream : 0;
    }
    const uint32_t length = reader.U16();
    if (length < 2) {
        return kJpegBadStream;
    }
    if (marker == kApp0) {
        ReadApp0(reader, record, readHeader, segmentStart, length);
    } else if (marker == kApp13) {
        ReadApp13(reader, record, readHeader, segmentStart, length);
    } else if (marker == kApp14) {
        if (length >= 3) {
            reader.Skip(length - 3);
            record.adobeTransform = reader.U8();
        }
    } else {
        reader.Skip(length - 2);
    }
    return 0;
}

int32_t JpegReadExifSegment(JpegByteReader& reader, JpegAppRecord& record, JpegStreamHeaderReader readHeader) {
    const size_t segmentStart = reader.pos;
    const uint32_t length = reader.U16();
    if (length < 2) {
        return kJpegBadStream;
    }
    if (reader.Left() + 2 < length) {
        reader.Skip(length);  // the segment runs past the data
        return kExifOutOfData;
    }
    const size_t end = segmentStart + length;
    const size_t tiffStart = segmentStart + 8;  // length (2), "Exif" (4), 2 zero bytes
    JpegExifValues v{};
    v.segmentLength = length;
    if (length >= 8) {
        std::memcpy(v.identifier, reader.data + segmentStart + 2, 5);
    }
    if (end < tiffStart + exif::kTiffHeaderSize) {
        reader.Seek(end);
        return 0;
    }
    const uint8_t* t = reader.data + tiffStart;
    const uint16_t order = static_cast<uint16_t>(t[0] << 8 | t[1]);
    if (order != exif::kByteOrderLittle && order != exif::kByteOrderBig) {
        reader.Seek(end);  // not EXIF (XMP and others): skipped whole
        return 0;
    }
    const Tiff tiff(t, end - tiffStart, order == exif::kByteOrderBig);
    v.byteOrder = order;
    v.tiffMagic = tiff.U16(2);
    v.tiffHeaderPosition = static_cast<uint32_t>(tiffStart);
    v.ifd0Offset = tiff.U32(4);
    const int32_t walked = WalkIfds(tiff, v);
    reader.Seek(end);
    if (record.exifSeen) {
        return walked;
    }
    record.exifSeen = true;
    record.exif = v;
    if (walked != 0 || record.thumbNamed) {
        return walked;
    }
    if (v.thumbCompression == exif::kCompressionJpeg && v.jpegInterchangeFormat) {
        NameJpegThumbnail(record, reader, readHeader, kJpegThumbFormExifJpeg, tiffStart + v.jpegInterchangeFormat,
                          v.jpegInterchangeFormatLength, true);
    } else if (v.thumbCompression == exif::kCompressionUncompressed && v.thumbImageWidth && v.thumbImageLength &&
               v.thumbImageWidth <= 0xFFFF && v.thumbImageLength <= 0xFFFF) {
        const uint64_t pixelsEnd =
            uint64_t(tiffStart) + v.stripOffsets + uint64_t(v.thumbImageWidth) * v.thumbImageLength * 3;
        if (v.stripOffsets && pixelsEnd <= reader.size) {
            NameThumbnail(record, kJpegThumbRgb, kJpegThumbFormRgb, 0, static_cast<uint32_t>(pixelsEnd),
                          Clamp16(v.thumbImageWidth), Clamp16(v.thumbImageLength));
        }
    }
    return 0;
}
