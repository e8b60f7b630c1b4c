// JPEG decoder: the whole file is held in memory by the caller.
//
// Accepts: SOF0 and SOF1 (Huffman, sequential) and SOF2 (Huffman, progressive)
// frames of 8-bit precision with one component or three (factors 1 or 2),
// interleaved or not, with restart intervals; SOF3 (lossless) at scale 1.
// Output: Y, Cb, Cr planes at scale 1, 1/2, 1/4 or 1/8, or RGB565 pixels.
// RGB frames (Adobe transform 0, or component ids "R", "G", "B" without an
// Adobe segment, and no JFIF) come out as RGB without colour conversion.
// Refused with -1: arithmetic coding (SOF9..), 12- and 16-bit samples, 16-bit
// quantisation tables, 2 or 4 components (CMYK), subsampled RGB, sizes
// outside 1..65520, and Huffman tables that overflow their code space or
// whose last code would be all ones.
// Creation returns 0, -1 (bad or unsupported stream) or -2 (null argument);
// what was refused can be asked for (JpegRefusal) and told in words.
// Damage inside entropy-coded data is not an error: the damaged restart
// interval is stepped over and the rest of the picture decodes.
#pragma once

#include <cstdint>

// Thumbnail forms (JpegThumbnailInfo::form).
enum : uint8_t {
    kJpegThumbFormApp13 = 0,         // JPEG stream inside an APP13 segment
    kJpegThumbFormJfxxJpeg = 1,      // JFXX extension 0x10
    kJpegThumbFormRgb = 2,           // 24-bit RGB (JFIF, JFXX 0x13, EXIF compression 1)
    kJpegThumbFormExifJpeg = 4,      // EXIF IFD1 compression 6
};

// Thumbnail kinds reported by gParseJpegHeader and gCreateJpegImageDecoder.
// A JPEG thumbnail in EXIF reports its own frame kind (1..4) instead.
enum : uint8_t {
    kJpegThumbNone = 0,
    kJpegThumbJpeg = 1,
    kJpegThumbRgb = 2,
    kJpegThumbApp13 = 3,
};

// Sampling types (JpegImageInfo::samplingType).
enum : uint8_t {
    kJpegSampling420 = 1,
    kJpegSampling422 = 2,
    kJpegSampling444 = 3,
    kJpegSamplingRgb = 4,
    kJpegSamplingGrey = 5,
    kJpegSampling440 = 7,
};

// Frame kinds, from the SOF marker.
enum : uint8_t {
    kJpegFrameBaseline = 1,
    kJpegFrameExtended = 2,
    kJpegFrameProgressive = 3,
    kJpegFrameLossless = 4,
};

struct JpegRational {
    uint32_t numerator;
    uint32_t denominator;
};

// Tag values of an EXIF APP1 segment (TIFF header, IFD0, Exif IFD, GPS IFD, IFD1).
struct JpegExifValues {
    uint32_t segmentLength;
    uint32_t byteOrder;        // 0x4949 or 0x4D4D
    uint32_t tiffMagic;
    uint32_t tiffHeaderPosition;
    uint32_t ifd0Offset;
    uint32_t ifd1Offset;
    uint16_t ifd0EntryCount;
    uint16_t exifEntryCount;
    uint16_t ifd1EntryCount;
    uint16_t gpsEntryCount;
    char identifier[5];
    uint16_t makeLength;       // characters + 1
    char make[51];
    uint16_t modelLength;
    char model[51];
    uint16_t orientation;
    JpegRational xResolution;
    JpegRational yResolution;
    uint16_t resolutionUnit;
    char dateTime[20];
    uint16_t yCbCrPositioning;
    uint32_t exifIfdOffset;
    uint32_t gpsIfdOffset;
    char software[91];
    uint16_t softwareLength;
    // Exif IFD.
    JpegRational exposureTime;
    JpegRational fNumber;
    uint16_t exposureProgram;
    char exifVersion[5];
    char dateTimeOriginal[20];
    JpegRational exposureBiasValue;  // signed numerator, stored as its bits
    JpegRational subjectDistance;
    uint16_t flash;
    JpegRational focalLength;
    uint32_t userCommentLength;      // count of the entry; 0 when absent
    uint16_t colorSpace;
    uint32_t pixelXDimension;
    uint32_t pixelYDimension;
    JpegRational focalPlaneXResolution;
    JpegRational focalPlaneYResolution;
    uint16_t focalPlaneResolutionUnit;
    uint16_t customRendered;
    uint16_t whiteBalance;
    JpegRational digitalZoomRatio;
    // IFD1.
    uint16_t thumbCompression;
    uint16_t thumbOrientation;
    JpegRational thumbXResolution;
    JpegRational thumbYResolution;
    uint16_t thumbResolutionUnit;
    uint32_t jpegInterchangeFormat;
    uint32_t jpegInterchangeFormatLength;
    uint32_t thumbImageWidth;
    uint32_t thumbImageLength;
    uint32_t stripOffsets;
    // GPS IFD.
    JpegRational gpsLatitude[3];
    JpegRational gpsLongitude[3];
    JpegRational gpsAltitude;
};

struct JpegThumbnailInfo {
    uint8_t form;
    uint16_t paddedWidth;
    uint16_t paddedHeight;
    uint16_t width;
    uint16_t height;
    uint16_t evenWidth;
    uint16_t evenHeight;
};

struct JpegImageInfo {
    uint16_t paddedWidth;
    uint16_t paddedHeight;
    uint16_t width;
    uint16_t height;
    uint8_t samplingType;
    uint8_t frameKind;
    uint16_t evenWidth;
    uint16_t evenHeight;
    JpegThumbnailInfo thumbnail;
    uint32_t thumbnailOffset;  // from the start of the buffer; 32 bits so large files can name it
    JpegExifValues exif;
};

// Output planes of JpegDecoder::Decode. paddedWidth and paddedHeight are the
// Y plane's size at the decoder's scale (gGetJpegOutputInfo); the Cb and Cr
// planes have the size gGetJpegPlaneSizes reports.
struct JpegPlanes {
    uint8_t* y;
    uint8_t* cb;
    uint8_t* cr;
    uint16_t paddedWidth;
    uint16_t paddedHeight;
};

// The decoder object: its first words are its operations.
struct JpegDecoder {
    int32_t (*Decode)(JpegDecoder* decoder, const JpegPlanes* planes);
    int32_t (*Reserved1)(JpegDecoder* decoder);
    int32_t (*Reserved2)(JpegDecoder* decoder);
    int32_t (*Release)(JpegDecoder* decoder);
};

// Width, height and thumbnail of a file without creating a decoder.
int32_t gParseJpegHeader(const uint8_t* data, uint32_t size, uint16_t* width, uint16_t* height,
                         uint8_t* thumbnailKind, uint32_t* thumbnailLength);

// Why a stream was refused. The results stay -1; these say which check failed.
enum JpegRefusal : uint8_t {
    kJpegRefusalNone = 0,
    kJpegRefusalNotJpeg,            // no SOI at the start
    kJpegRefusalNoFrame,            // a scan or the end before any frame header
    kJpegRefusalCutHeader,          // the data ends before the frame header
    kJpegRefusalUnsupportedCoding,  // arithmetic, hierarchical (SOF5..SOF15)
    kJpegRefusalScale,              // scale not 1, 2, 4 or 8
    kJpegRefusalLosslessScale,      // lossless frames at scale 1 only
    kJpegRefusalFrameHeader,        // a frame header too short for its components
    kJpegRefusalPrecision,          // 12- or 16-bit samples
    kJpegRefusalSize,               // width or height outside 1..65520
    kJpegRefusalCmyk,               // four components
    kJpegRefusalComponents,         // two components, or more than four
    kJpegRefusalSampling,           // factors other than 1 or 2, chroma above luma (4:1:1 and the like)
    kJpegRefusalComponentIds,       // two components with one identifier
    kJpegRefusalSubsampledRgb,
    kJpegRefusalHuffmanTable,
    kJpegRefusalQuantTable,         // bad or 16-bit quantisation table
    kJpegRefusalSegment,            // a malformed marker segment
    kJpegRefusalScanHeader,
    kJpegRefusalScan,               // a scan naming undefined tables or bad progression values
    kJpegRefusalNoScan,             // no scan data after the header
    kJpegRefusalTooLarge,           // no memory for the picture's coefficients
    kJpegRefusalNoThumbnail,        // the thumbnail the record names is not in the data
};

// The refusal in a few words ("bad Huffman table"); "" for kJpegRefusalNone.
const char* gDescribeJpegRefusal(int32_t refusal);

// A decoder for the main picture at scale 1, 2, 4 or 8 (1/scale of the size).
// refusal, when given, receives why -1 was returned (kJpegRefusalNone on 0).
int32_t gCreateJpegImageDecoder(JpegDecoder** decoder, const uint8_t* data, uint32_t size,
                                JpegImageInfo* info, uint8_t* thumbnailKind,
                                uint32_t* thumbnailLength, int32_t scale,
                                JpegRefusal* refusal = nullptr);

// A decoder for the thumbnail that gCreateJpegImageDecoder found. For the RGB
// form, data is the start of the file and size the reported thumbnail length;
// otherwise data is buffer + thumbnailOffset.
int32_t gCreateJpegThumbnailDecoder(JpegDecoder** decoder, const uint8_t* data, uint32_t size,
                                    JpegThumbnailInfo* info, JpegRefusal* refusal = nullptr);

// Why the decoder's Decode (or gDecodeJpegImage) returned -1 or -5007.
JpegRefusal gGetJpegRefusal(const JpegDecoder* decoder);

// 1 when the last Decode ran out of data before the end-of-image marker: the
// picture decoded as far as the data goes (the rest is grey), and the result
// was still 0. 0 when the stream was whole, -2 for a null decoder.
int32_t gIsJpegDataTruncated(const JpegDecoder* decoder);

// The sizes of what the decoder produces at its scale: paddedWidth x
// paddedHeight for JpegPlanes, evenWidth x evenHeight RGB565 pixels.
int32_t gGetJpegOutputInfo(const JpegDecoder* decoder, JpegThumbnailInfo* info);

// The size of the Cb and Cr planes that Decode writes at the decoder's scale
// (0 x 0 for one component). At scale 1 subsampled chroma is smaller than the
// luma; at 1/2 and below 4:2:0 chroma keeps the luma's size.
int32_t gGetJpegPlaneSizes(const JpegDecoder* decoder, uint16_t* chromaWidth, uint16_t* chromaHeight);

// Decodes to evenWidth x evenHeight RGB565 pixels (rows top to bottom); -2 when
// pixelCapacity is short of that. info is the thumbnail record for a thumbnail
// decoder; for a main-picture decoder it receives gGetJpegOutputInfo's sizes.
int32_t gDecodeJpegImage(JpegDecoder* decoder, uint16_t* pixels, uint32_t pixelCapacity,
                         JpegThumbnailInfo* info);

// Result codes.
inline constexpr int32_t kJpegOk = 0;
inline constexpr int32_t kJpegBadStream = -1;
inline constexpr int32_t kJpegBadArgument = -2;
inline constexpr int32_t kJpegNoScanData = -5007;
