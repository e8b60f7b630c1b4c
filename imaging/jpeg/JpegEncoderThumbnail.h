// Thumbnails of the encoder: box-scaled planes of the picture, stored as RGB
// bytes or as a nested baseline JPEG run at quality 60, in a JFXX segment or
// behind IFD1 of the EXIF block.
#pragma once

#include "jpeg/JpegEncoderState.h"

// Box average of one 8-bit plane; the last column and row repeat the ones
// before them, out to the destination's stride and rows. columnSums holds
// srcWidth sums (taken at creation).
void ScalePlaneBox(const uint8_t* src, uint8_t* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   int32_t srcRows, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, int32_t dstRows,
                   uint32_t* columnSums);

// YCbCr (full range, 14 fraction bits) to RGB, each result limited to 0..255.
void YccToRgb(int y, int cb, int cr, uint8_t* rgb);

// Fills the thumbnail planes from the view of the picture.
void JpegMakeThumbnailPlanes(JpegEncoderImpl* e);

// The thumbnail segment after JFIF (or APP14): 0, or -1 when it cannot be written.
int32_t JpegWriteJfxxThumbnail(JpegEncoderImpl* e);
// IFD1 and the thumbnail, completing the EXIF block: 0, or -1 when the block exceeds a segment.
int32_t JpegWriteExifThumbnail(JpegEncoderImpl* e);
