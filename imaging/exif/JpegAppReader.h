// Reader of the APPn segments before a JPEG frame header: JFIF and JFXX
// (APP0), EXIF (APP1), APP13 and the Adobe colour-transform flag (APP14).
// Its job is to find the thumbnail a file carries and say where it lies and
// how it is stored; on the way it collects the EXIF tag values.
//
// EXIF: a TIFF header in either byte order with IFD0, the Exif IFD, the GPS
// IFD and IFD1. Every offset is checked against the APP1 segment before it is
// followed; a bad offset yields no value (or no thumbnail), never a read
// outside the data. Only the first APPn segment that names a thumbnail counts,
// and only the first EXIF segment gives EXIF values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "jpeg/JpegByteReader.h"
#include "jpeg/JpegDecoder.h"

// Result codes of the EXIF reader and the thumbnail header reader.
inline constexpr int32_t kExifOutOfData = -15;
inline constexpr int32_t kThumbUnsupported = -4;

struct JpegAppRecord {
    // APP0 JFIF.
    uint16_t jfifLength = 0;
    char jfifIdentifier[5] = {};
    uint16_t jfifVersion = 0;
    uint8_t units = 0;
    uint16_t xDensity = 0;
    uint16_t yDensity = 0;
    uint8_t jfifThumbWidth = 0;
    uint8_t jfifThumbHeight = 0;
    bool jfifSeen = false;
    // APP0 JFXX.
    uint8_t jfxxCode = 0;
    uint8_t jfxxThumbWidth = 0;
    uint8_t jfxxThumbHeight = 0;
    // APP14: 255 until an Adobe segment is read.
    uint8_t adobeTransform = 255;  // 255: no Adobe segment
    // The thumbnail named by the first APPn segment that names one.
    uint8_t thumbKind = kJpegThumbNone;
    uint8_t thumbForm = 0;
    uint32_t thumbOffset = 0;
    uint32_t thumbLength = 0;
    uint16_t thumbWidth = 0;
    uint16_t thumbHeight = 0;
    uint16_t thumbPaddedWidth = 0;
    uint16_t thumbPaddedHeight = 0;
    uint8_t thumbSamplingType = 0;
    uint8_t exifThumbKind = 0;  // frame kind of an EXIF JPEG thumbnail
    uint32_t thumbPixelPosition = 0;  // first RGB byte of an uncompressed thumbnail
    bool thumbNamed = false;
    // EXIF values of the first EXIF segment.
    bool exifSeen = false;
    JpegExifValues exif = {};
};

// Header of an embedded JPEG stream, read from SOI up to its first SOS.
struct JpegStreamHeader {
    uint8_t frameKind = 0;
    uint8_t samplingType = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t paddedWidth = 0;
    uint16_t paddedHeight = 0;
};

// Reads the header of a JPEG stream embedded in a segment (SOI up to its
// first SOS): 0 when it is a stream the thumbnail decoder takes. The decoder
// hands its own reader in, so this reader needs nothing of the decoder's.
using JpegStreamHeaderReader = int32_t (*)(const uint8_t* data, size_t size, JpegStreamHeader& header);

// Reads (or skips) one APPn segment; the reader stands just after the marker
// and ends after the segment. Returns 0.
int32_t JpegReadAppSegment(uint16_t marker, JpegByteReader& reader, JpegAppRecord& record,
                           JpegStreamHeaderReader readHeader);

// Reads one APP1 segment as EXIF. 0, or -15 when the segment or an IFD lies
// beyond the data.
int32_t JpegReadExifSegment(JpegByteReader& reader, JpegAppRecord& record, JpegStreamHeaderReader readHeader);
