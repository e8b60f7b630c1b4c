// EXIF APP1 writer of the JPEG encoder: a little-endian TIFF block with IFD0,
// the Exif IFD, the GPS IFD (with a position fix) and, with a thumbnail, IFD1.
// Tags are in ascending order in every IFD and every value offset is even.
#pragma once

#include "exif/ExifInfo.h"

#include <cstdint>

namespace exif {

// Stream offset of the TIFF header: SOI, APP1 marker and length, "Exif\0\0".
inline constexpr uint32_t kTiffStreamOffset = 12;

inline constexpr uint16_t kApp1Marker = 0xFFE1;

// Upper bounds of the block before IFD1 and of IFD1 with its values (no pixels).
inline constexpr uint32_t kExifBlockMaxBytes = 1280;
inline constexpr uint32_t kExifIfd1MaxBytes = 256;

// A number as a rational: returns the denominator and stores the numerator,
// truncated towards zero; out-of-range values are clamped, NaN gives 0.
int32_t ExifRational(double x, int32_t* numerator);

// The writers build their bytes in the caller's buffer (kExifBlockMaxBytes
// for APP1, kExifIfd1MaxBytes for IFD1) and return how many they wrote; the
// encoder copies them into its stream.

// APP1 from its marker up to the end of the GPS values, to stand right after
// SOI. With thumbnailFollows, IFD0's next-IFD offset points at the IFD1 that
// the caller writes next.
uint32_t WriteExifApp1(uint8_t* out, uint32_t thumbnailFollows, const ExifInfo* info);

// IFD1 of a JPEG thumbnail, to stand at streamOffset, up to where its stream
// starts. *lengthAt receives the block index of the JPEGInterchangeFormatLength
// value for the caller to patch.
uint32_t WriteExifIfd1Jpeg(uint8_t* out, uint32_t streamOffset, const ExifInfo* info, uint32_t* lengthAt);
// IFD1 of an uncompressed RGB thumbnail at streamOffset; the width x height x
// 3 pixels follow.
uint32_t WriteExifIfd1Rgb(uint8_t* out, uint32_t streamOffset, const ExifInfo* info, uint32_t width, uint32_t height);

}  // namespace exif
