#include "jpeg/JpegEncoderThumbnail.h"

#include "exif/ExifWriter.h"
#include "jpeg/JpegStreamWriter.h"
#include "jpeg/JpegTables.h"

#include <cstring>

namespace {

constexpr int32_t kThumbnailQuality = 60;

inline uint8_t Clamp8(int v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Thumbnail of a picture coded as these planes (the input format as converted).
bool IsRgbPlanes(const JpegEncoderImpl* e)
{
    return e->inputFormat == kJpegInterleaved444;
}

// Writes the thumbnail planes as R, G, B bytes, row by row.
void WriteRgbThumbnail(JpegEncoderImpl* e)
{
    const int32_t w = e->thumbnailWidth;
    const int32_t h = e->thumbnailHeight;
    uint8_t row[3 * 256];
    JpegBitWriter& out = *e->writer;
    out.StorePendingBytes();
    for (int32_t y = 0; y < h; ++y) {
        const uint8_t* py = e->thumb.thumbPlane[0] + static_cast<size_t>(y) * e->thumb.thumbStride[0];
        for (int32_t x = 0; x < w; ++x) {
            uint8_t* rgb = row + 3 * x;
            if (e->geometry.components == 1) {
                rgb[0] = rgb[1] = rgb[2] = py[x];
                continue;
            }
            int cx = x, cy = y;
            if (e->currentFormat == kJpegYuv420) {
                cx = x / 2;
                cy = y / 2;
            } else if (e->currentFormat == kJpegYuv422) {
                cx = x / 2;
            }
            uint8_t c1 = e->thumb.thumbPlane[1][static_cast<size_t>(cy) * e->thumb.thumbStride[1] + cx];
            uint8_t c2 = e->thumb.thumbPlane[2][static_cast<size_t>(cy) * e->thumb.thumbStride[2] + cx];
            if (IsRgbPlanes(e)) {
                rgb[0] = py[x];
                rgb[1] = c1;
                rgb[2] = c2;
            } else {
                YccToRgb(py[x], c1, c2, rgb);
            }
        }
        out.AppendBytes(row, static_cast<uint32_t>(3 * w));
    }
}

// The sequential driver over the thumbnail planes into the same stream, DQT to
// EOI and the word completion. Returns the bytes it wrote, or -1.
int64_t EncodeThumbnailJpeg(JpegEncoderImpl* e)
{
    const uint64_t start = e->writer->StreamPosition();
    JpegEncoderImpl saved = *e;

    e->width = e->paddedWidth = e->thumbnailWidthRounded;
    e->height = e->paddedHeight = e->thumbnailHeightRounded;
    e->frameWidth = e->thumbnailWidth;
    e->frameHeight = e->thumbnailHeight;
    e->rate.rateMode = 0;
    e->activityClassing = 0;
    e->currentFormat = e->inputFormat == kJpegGrey ? kJpegGrey
                       : (e->inputFormat == kJpegInterleaved444 ? kJpegYuv444 : kJpegYuv420);
    e->codingMode = 1;
    e->quality = kThumbnailQuality;
    e->outputMode = 0;
    JpegSetupSampling(e);
    for (int p = 0; p < 3; ++p) {
        e->view.plane[p] = e->thumb.thumbPlane[p];
        e->view.stride[p] = e->thumb.thumbStride[p];
    }
    e->view.firstMcuRow = 0;
    e->mcuRow = -1;
    int32_t rc = JpegRunSequential(e, true);

    // Everything but the stream position comes back; the picture's own DQT
    // recomputes the quantisation tables.
    JpegBitWriter* writer = e->writer;
    *e = saved;
    e->writer = writer;
    JpegSetupSampling(e);
    if (rc != kJpegOk) {
        return -1;
    }
    return static_cast<int64_t>(e->writer->StreamPosition() - start);
}

}  // namespace

void YccToRgb(int y, int cb, int cr, uint8_t* rgb)
{
    cb -= 128;
    cr -= 128;
    rgb[0] = Clamp8(y + ((cr * 22970 + 8192) >> 14));
    rgb[1] = Clamp8(y - ((cb * 5638 + cr * 11700 + 8192) >> 14));
    rgb[2] = Clamp8(y + ((cb * 29032 + 8192) >> 14));
}

void ScalePlaneBox(const uint8_t* src, uint8_t* dst, int32_t srcWidth, int32_t srcHeight, int32_t srcStride,
                   int32_t srcRows, int32_t dstWidth, int32_t dstHeight, int32_t dstStride, int32_t dstRows,
                   uint32_t* columnSums)
{
    (void)srcRows;
    const uint64_t stepX = (static_cast<uint64_t>(srcWidth) << 18) / static_cast<uint64_t>(dstWidth);
    const uint64_t stepY = (static_cast<uint64_t>(srcHeight) << 18) / static_cast<uint64_t>(dstHeight);
    // Only the boxes of columns 0 to dstWidth - 2 are averaged.
    const size_t used = static_cast<size_t>((static_cast<uint64_t>(dstWidth - 1) * stepX) >> 18);
    size_t top = 0;
    for (int32_t j = 0; j < dstHeight - 1; ++j) {
        const size_t bottom = static_cast<size_t>((static_cast<uint64_t>(j + 1) * stepY) >> 18);
        // Column sums over the box's rows, then box sums along the row.
        std::memset(columnSums, 0, used * sizeof(uint32_t));
        for (size_t y = top; y < bottom; ++y) {
            const uint8_t* s = src + y * static_cast<size_t>(srcStride);
            for (size_t x = 0; x < used; ++x) {
                columnSums[x] += s[x];
            }
        }
        uint8_t* out = dst + static_cast<size_t>(j) * dstStride;
        size_t left = 0;
        for (int32_t i = 0; i < dstWidth - 1; ++i) {
            const size_t right = static_cast<size_t>((static_cast<uint64_t>(i + 1) * stepX) >> 18);
            uint64_t sum = 0;
            for (size_t x = left; x < right; ++x) {
                sum += columnSums[x];
            }
            const size_t area = (bottom - top) * (right - left);
            out[i] = static_cast<uint8_t>(area == 0 ? 0 : sum / area);
            left = right;
        }
        for (int32_t i = dstWidth - 1; i < dstStride; ++i) {
            out[i] = out[dstWidth - 2];
        }
        top = bottom;
    }
    for (int32_t j = dstHeight - 1; j < dstRows; ++j) {
        std::memcpy(dst + static_cast<size_t>(j) * dstStride, dst + static_cast<size_t>(j - 1) * dstStride,
                    static_cast<size_t>(dstStride));
    }
}

void JpegMakeThumbnailPlanes(JpegEncoderImpl* e)
{
    const int32_t tw = e->thumbnailWidth, th = e->thumbnailHeight;
    ScalePlaneBox(e->view.plane[0], e->thumb.thumbPlane[0], e->width, e->height, e->view.stride[0], e->paddedHeight, tw, th,
                  e->thumb.thumbStride[0], e->thumb.thumbRows[0], e->thumb.thumbColumnSums);
    if (e->geometry.components == 1) {
        return;
    }
    const bool halfWidth = e->currentFormat == kJpegYuv420 || e->currentFormat == kJpegYuv422;
    const bool halfHeight = e->currentFormat == kJpegYuv420;
    const int32_t sw = halfWidth ? e->width / 2 : e->width;
    const int32_t sh = halfHeight ? e->height / 2 : e->height;
    const int32_t srows = halfHeight ? e->paddedHeight / 2 : e->paddedHeight;
    int32_t dw = tw, dh = th;
    if (e->thumbnailKind == 1 && !IsRgbPlanes(e)) {
        dw = tw / 2;  // a JPEG thumbnail is always coded 4:2:0
        dh = th / 2;
    } else {
        dw = halfWidth ? tw / 2 : tw;
        dh = halfHeight ? th / 2 : th;
    }
    for (int p = 1; p < 3; ++p) {
        ScalePlaneBox(e->view.plane[p], e->thumb.thumbPlane[p], sw, sh, e->view.stride[p], srows, dw, dh, e->thumb.thumbStride[p],
                      e->thumb.thumbRows[p], e->thumb.thumbColumnSums);
    }
}

int32_t JpegWriteJfxxThumbnail(JpegEncoderImpl* e)
{
    JpegMakeThumbnailPlanes(e);
    JpegBitWriter& w = *e->writer;
    w.PutMarker(jpeg::kApp0);
    if (e->thumbnailKind == 0) {
        w.PutWord(static_cast<uint16_t>(10 + 3 * e->thumbnailWidth * e->thumbnailHeight));
        w.PutBits(32, 0x4A465858);  // "JFXX"
        w.PutByte(0);
        w.PutByte(0x13);  // thumbnail stored using 3 bytes per pixel
        w.PutByte(static_cast<uint8_t>(e->thumbnailWidth));
        w.PutByte(static_cast<uint8_t>(e->thumbnailHeight));
        WriteRgbThumbnail(e);
        return kJpegOk;
    }
    w.StorePendingBytes();
    const uint64_t lengthAt = w.StreamPosition();
    w.PutWord(0);
    w.PutBits(32, 0x4A465858);
    w.PutByte(0);
    w.PutByte(0x10);  // thumbnail coded using JPEG
    w.PutMarker(jpeg::kSoi);
    if (e->inputFormat == kJpegInterleaved444) {
        WriteAdobeApp14(w);
    }
    if (EncodeThumbnailJpeg(e) < 0) {
        return kJpegFailed;
    }
    uint64_t length = w.StreamPosition() - lengthAt;
    if (length > 65535) {
        return kJpegFailed;
    }
    w.PatchBigEndian16(lengthAt, static_cast<uint16_t>(length));
    return kJpegOk;
}

int32_t JpegWriteExifThumbnail(JpegEncoderImpl* e)
{
    JpegMakeThumbnailPlanes(e);
    JpegBitWriter& w = *e->writer;
    uint8_t ifd1[exif::kExifIfd1MaxBytes];
    w.StorePendingBytes();
    const uint64_t ifd1Start = w.StreamPosition();
    if (e->thumbnailKind == 0) {
        const uint32_t size = exif::WriteExifIfd1Rgb(ifd1, static_cast<uint32_t>(ifd1Start), e->exif,
                                                     static_cast<uint32_t>(e->thumbnailWidth),
                                                     static_cast<uint32_t>(e->thumbnailHeight));
        w.AppendBytes(ifd1, size);
        WriteRgbThumbnail(e);
    } else {
        uint32_t lengthIndex = 0;
        const uint32_t size = exif::WriteExifIfd1Jpeg(ifd1, static_cast<uint32_t>(ifd1Start), e->exif, &lengthIndex);
        w.AppendBytes(ifd1, size);
        const uint64_t lengthAt = ifd1Start + lengthIndex;
        uint64_t start = w.StreamPosition();
        w.PutMarker(jpeg::kSoi);
        if (EncodeThumbnailJpeg(e) < 0) {
            return kJpegFailed;
        }
        w.PatchLittleEndian32(lengthAt, static_cast<uint32_t>(w.StreamPosition() - start));
    }
    if (w.Overflowed()) {
        return kJpegFailed;
    }
    // APP1 now ends after the thumbnail: its length runs from the length field
    // (after SOI and the marker) to here, and must fit a segment.
    w.StorePendingBytes();
    const uint64_t length = w.StreamPosition() - 4;
    if (length > 65535) {
        return kJpegFailed;
    }
    w.PatchBigEndian16(4, static_cast<uint16_t>(length));
    return kJpegOk;
}
