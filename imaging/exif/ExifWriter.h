// EXIF APP1 writer of the JPEG encoder: a little-endian TIFF block with IFD0,
// the Exif IFD, the GPS IFD (with a position fix) and, with a thumbnail, IFD1.
// Tags are in ascending order in every IFD and every value offset is even.
#pragma once

#include "exif/ExifInfo.h"

#include <cstdint>

struct JpegBitWriter;

namespace exif {

// Stream offset of the TIFF header: SOI, APP1 marker and length, "Exif\0\0".
inline constexpr uint32_t kTiffStreamOffset = 12;

// Upper bounds of the block before IFD1 and of IFD1 with its values (no pixels).
inline constexpr uint32_t kExifBlockMaxBytes = 1280;
inline constexpr uint32_t kExifIfd1MaxBytes = 256;

// A number as a rational: returns the denominator and stores the numerator,
// truncated towards zero; out-of-range values are clamped, NaN gives 0.
int32_t ExifRational(double x, int32_t* numerator);

// Writes APP1 from its marker up to the end of the GPS values, right after
// SOI. With thumbnailFollows, IFD0's next-IFD offset points at the IFD1 that
// the caller writes next.
void WriteExifApp1(JpegBitWriter* writer, uint32_t thumbnailFollows, const ExifInfo* info);

// IFD1 of a JPEG thumbnail, up to where its stream starts. Returns the stream
// offset of the JPEGInterchangeFormatLength value for the caller to patch.
uint64_t WriteExifIfd1Jpeg(JpegBitWriter* writer, const ExifInfo* info);
// IFD1 of an uncompressed RGB thumbnail; the width x height x 3 pixels follow.
void WriteExifIfd1Rgb(JpegBitWriter* writer, const ExifInfo* info, uint32_t width, uint32_t height);
// Patches the APP1 length to the current position; false when the block
// exceeds a segment's 65535 bytes.
bool FinishExifApp1(JpegBitWriter* writer);

}  // namespace exif
