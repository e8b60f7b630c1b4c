// EXIF / TIFF tag numbers, field types and layout constants shared by the EXIF
// writer and the EXIF reader (TIFF 6.0 section 2, EXIF 2.2 section 4.6).
#pragma once

#include <cstdint>

namespace exif {

// TIFF field types (TIFF 6.0, "Types").
enum ExifType : uint16_t {
    kTypeByte = 1,
    kTypeAscii = 2,
    kTypeShort = 3,
    kTypeLong = 4,
    kTypeRational = 5,
    kTypeUndefined = 7,
    kTypeSLong = 9,
    kTypeSRational = 10,
};

// Byte order marks at the start of the TIFF header.
inline constexpr uint16_t kByteOrderLittle = 0x4949;  // "II"
inline constexpr uint16_t kByteOrderBig = 0x4D4D;     // "MM"
inline constexpr uint16_t kTiffMagic = 42;

// "Exif\0\0" before the TIFF header of an APP1 segment.
inline constexpr char kExifIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};

inline constexpr uint32_t kIfdEntrySize = 12;   // tag, type, count, value
inline constexpr uint32_t kTiffHeaderSize = 8;  // byte order, magic, IFD0 offset

// IFD0 and IFD1 (TIFF) tags.
enum ExifTag : uint16_t {
    kTagImageWidth = 0x0100,
    kTagImageLength = 0x0101,
    kTagBitsPerSample = 0x0102,
    kTagCompression = 0x0103,
    kTagPhotometricInterpretation = 0x0106,
    kTagMake = 0x010F,
    kTagModel = 0x0110,
    kTagStripOffsets = 0x0111,
    kTagOrientation = 0x0112,
    kTagRowsPerStrip = 0x0116,
    kTagStripByteCounts = 0x0117,
    kTagXResolution = 0x011A,
    kTagYResolution = 0x011B,
    kTagResolutionUnit = 0x0128,
    kTagSoftware = 0x0131,
    kTagDateTime = 0x0132,
    kTagJpegInterchangeFormat = 0x0201,
    kTagJpegInterchangeFormatLength = 0x0202,
    kTagYCbCrPositioning = 0x0213,
    kTagExifIfdPointer = 0x8769,
    kTagGpsIfdPointer = 0x8825,

    // Exif IFD.
    kTagExposureTime = 0x829A,
    kTagFNumber = 0x829D,
    kTagExposureProgram = 0x8822,
    kTagExifVersion = 0x9000,
    kTagDateTimeOriginal = 0x9003,
    kTagExposureBiasValue = 0x9204,
    kTagSubjectDistance = 0x9206,
    kTagFlash = 0x9209,
    kTagFocalLength = 0x920A,
    kTagUserComment = 0x9286,
    kTagColorSpace = 0xA001,
    kTagPixelXDimension = 0xA002,
    kTagPixelYDimension = 0xA003,
    kTagFocalPlaneXResolution = 0xA20E,
    kTagFocalPlaneYResolution = 0xA20F,
    kTagFocalPlaneResolutionUnit = 0xA210,
    kTagCustomRendered = 0xA401,
    kTagWhiteBalance = 0xA403,
    kTagDigitalZoomRatio = 0xA404,

    // GPS IFD.
    kTagGpsLatitude = 0x0002,
    kTagGpsLongitude = 0x0004,
    kTagGpsAltitude = 0x0006,
};

// Compression values of IFD1 (EXIF 2.2, 4.6.5).
inline constexpr uint16_t kCompressionUncompressed = 1;
inline constexpr uint16_t kCompressionJpeg = 6;

// PhotometricInterpretation of an uncompressed RGB thumbnail.
inline constexpr uint16_t kPhotometricRgb = 2;

// The 8-byte character code before an ASCII UserComment.
inline constexpr char kUserCommentAscii[8] = {'A', 'S', 'C', 'I', 'I', 0, 0, 0};

}  // namespace exif
