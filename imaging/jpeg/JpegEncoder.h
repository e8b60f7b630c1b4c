// JPEG encoder: one frame of raw pixels into a baseline sequential or
// progressive JPEG stream with a JFIF or EXIF header, into caller buffers.
//
// The encoder is a plain record whose first words are its operations; call
// them with the encoder as the first argument. All buffers are taken at
// creation; coding a frame allocates nothing.
//
// Input formats (JpegEncodeParams::inputFormat):
//   1 planar 4:2:0   2 planar 4:2:2   3 planar 4:4:4   4 grey
//   5 planar RGB     6 interleaved RGB   7 RGB565 (little-endian words)
//   8 interleaved Y0 Cb Y1 Cr, coded 4:2:0   9 the same, coded 4:2:2
//   10 three interleaved components coded as they are (APP14 header)
//   11 Y plane then one plane of Cb Cr pairs (4:2:0)
// Where the MCU is 16 pixels wide (high), the width (height) must be even.
//
// Output modes: 0 the whole stream in one call; 1 chunks (-6005 until the
// last chunk, which returns 0); 2 input in stripes of stripeRows MCU rows
// (-6010 asks for the next stripe, -6005 for the same stripe again once the
// output buffer is full).
#pragma once

#include "exif/ExifInfo.h"

#include <cstdint>

enum JpegEncoderResult : int32_t {
    kJpegOk = 0,
    kJpegFailed = -1,            // null input/output, output or target used up, thumbnail failed
    kJpegNoMemory = -2,
    kJpegNullArgument = -3,
    kJpegBadSize = -6001,
    kJpegMoreOutput = -6005,     // write out *size bytes and call again
    kJpegOutputTooSmall = -6006,
    kJpegUnknownFormat = -6007,
    kJpegBadParameter = -6008,
    kJpegNextStripe = -6010,     // output mode 2: call again with the next input stripe
};

enum JpegEncoderConfigId : int32_t {
    kJpegConfigQuality = 0,
    kJpegConfigTargetBytes = 1,
    kJpegConfigTargetQuality = 2,
    kJpegConfigChromaSwap = 3,
    kJpegConfigOutputSize = 100,
    kJpegConfigWrapSize = 101,
};

enum JpegInputFormat : int32_t {
    kJpegYuv420 = 1,
    kJpegYuv422 = 2,
    kJpegYuv444 = 3,
    kJpegGrey = 4,
    kJpegRgbPlanar = 5,
    kJpegRgb = 6,
    kJpegRgb565 = 7,
    kJpegYuyvAs420 = 8,
    kJpegYuyv = 9,
    kJpegInterleaved444 = 10,
    kJpegNv12 = 11,
};

struct JpegEncodeParams {
    int32_t width;
    int32_t height;
    int32_t bitsPerSample;      // always coded as 8
    int32_t inputFormat;        // 1 to 11
    int32_t quality;            // 1 to 100, else 50
    int32_t codingMode;         // 1 sequential, 2 progressive
    int32_t activityClassing;   // 1 quantises each block by its activity class
    int32_t thumbnailOn;
    int32_t thumbnailKind;      // 0 uncompressed RGB, 1 JPEG
    int32_t thumbnailWidth;     // even; clamped to width (written back)
    int32_t thumbnailHeight;    // even; clamped to height (written back)
    int32_t useLumaTable;
    const uint16_t* lumaTable;  // 64 values, natural order
    int32_t useChromaTable;
    const uint16_t* chromaTable;
    int32_t outputMode;         // 0 whole, 1 chunks, 2 input stripes
    int32_t headerKind;         // 0 JFIF, 1 EXIF (written back as 0 when other)
    int32_t stripeRows;         // output mode 2: MCU rows per input stripe
    ExifInfo exif;              // read at every frame, not copied
};

// An encoded stream that EncodeToBuffer wraps with a fresh header.
struct JpegSourceStream {
    const uint8_t* data;
    uint32_t length;
};

struct JpegEncoder {
    // *size: output capacity on entry, bytes written by this call on return.
    int32_t (*Encode)(JpegEncoder* self, const uint8_t* input, uint8_t* output, uint32_t* size);
    int32_t (*EncodeToBuffer)(JpegEncoder* self, const JpegSourceStream* source, const uint8_t* input,
                              uint8_t* output, uint32_t* size);
    int32_t (*SetConfig)(JpegEncoder* self, int32_t id, int32_t value);
    int32_t (*GetConfig)(JpegEncoder* self, int32_t id, uint32_t* value);
    void* reserved;
    int32_t (*Release)(JpegEncoder* self);
};

// Stores a new encoder in *encoder and returns 0, or returns an error code
// and leaves *encoder unchanged. May write back thumbnail sizes and headerKind.
int32_t gCreateJpegImageEncoder(JpegEncoder** encoder, JpegEncodeParams* params);
