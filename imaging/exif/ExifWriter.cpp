#include "exif/ExifWriter.h"

#include "exif/ExifTags.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace exif {

namespace {

// GPS tags beyond those the reader shares.
constexpr uint16_t kTagGpsVersionId = 0x0000;
constexpr uint16_t kTagGpsLatitudeRef = 0x0001;
constexpr uint16_t kTagGpsLongitudeRef = 0x0003;
constexpr uint16_t kTagGpsAltitudeRef = 0x0005;
constexpr uint16_t kTagComponentsConfiguration = 0x9101;
constexpr uint16_t kTagFlashpixVersion = 0xA000;
constexpr uint16_t kTagSamplesPerPixel = 0x0115;
constexpr uint16_t kTagPlanarConfiguration = 0x011C;
constexpr uint16_t kYCbCrCentered = 1;

// Bytes of the block being built; index 0 is stream offset `origin`.
class TiffBlock {
public:
    TiffBlock(uint8_t* bytes, uint32_t capacity, uint32_t origin) : bytes_(bytes), capacity_(capacity), origin_(origin) {}

    uint32_t Size() const { return size_; }
    const uint8_t* Bytes() const { return bytes_; }
    uint8_t* At(uint32_t index) { return bytes_ + index; }
    // TIFF offset of the block's end.
    uint32_t TiffOffset() const { return origin_ + size_ - kTiffStreamOffset; }

    uint32_t Reserve(uint32_t n)
    {
        uint32_t at = size_;
        if (n > capacity_ - size_) {
            n = capacity_ - size_;  // cannot happen: the block's bounds are fixed
        }
        std::memset(bytes_ + size_, 0, n);
        size_ += n;
        return at;
    }
    void Append(const void* data, uint32_t n)
    {
        uint32_t at = Reserve(n);
        std::memcpy(bytes_ + at, data, size_ - at);
    }
    void PadEven()
    {
        if (TiffOffset() % 2 != 0) {
            Reserve(1);
        }
    }
    void Put16(uint32_t at, uint16_t v)
    {
        bytes_[at] = static_cast<uint8_t>(v);
        bytes_[at + 1] = static_cast<uint8_t>(v >> 8);
    }
    void Put32(uint32_t at, uint32_t v)
    {
        for (int i = 0; i < 4; ++i) {
            bytes_[at + i] = static_cast<uint8_t>(v >> (8 * i));
        }
    }
    void PutBig16(uint32_t at, uint16_t v)
    {
        bytes_[at] = static_cast<uint8_t>(v >> 8);
        bytes_[at + 1] = static_cast<uint8_t>(v);
    }

private:
    uint8_t* bytes_;
    uint32_t capacity_;
    uint32_t origin_;
    uint32_t size_ = 0;
};

// One IFD: its entries, in the order added (callers add them in ascending
// tag order), then the next-IFD offset, then the values that do not fit an entry.
class Ifd {
public:
    Ifd(TiffBlock& block, uint16_t count) : block_(block), count_(count)
    {
        block.PadEven();
        uint32_t at = block.Reserve(2 + kIfdEntrySize * count + 4);
        block.Put16(at, count);
        entry_ = at + 2;
        next_ = at + 2 + kIfdEntrySize * count;
    }

    // Block index of the next-IFD offset.
    uint32_t NextIfdAt() const { return next_; }

    // Returns the block index of the value (inline or out of line).
    uint32_t Entry(uint16_t tag, uint16_t type, uint32_t count, const void* value, uint32_t bytes)
    {
        uint32_t e = entry_ + kIfdEntrySize * added_++;
        block_.Put16(e, tag);
        block_.Put16(e + 2, type);
        block_.Put32(e + 4, count);
        if (bytes <= 4) {
            std::memcpy(block_.At(e + 8), value, bytes);
            return e + 8;
        }
        block_.PadEven();
        block_.Put32(e + 8, block_.TiffOffset());
        uint32_t at = block_.Size();
        block_.Append(value, bytes);
        return at;
    }
    void Short(uint16_t tag, uint32_t value)
    {
        // The whole 32-bit word goes into the slot; a SHORT reads its low half.
        uint8_t v[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 24)};
        Entry(tag, kTypeShort, 1, v, 4);
    }
    uint32_t Long(uint16_t tag, uint32_t value)
    {
        uint8_t v[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 24)};
        return Entry(tag, kTypeLong, 1, v, 4);
    }
    void Rationals(uint16_t tag, uint16_t type, const uint32_t* pairs, uint32_t count)
    {
        uint8_t v[8 * 3];
        for (uint32_t i = 0; i < 2 * count; ++i) {
            for (int b = 0; b < 4; ++b) {
                v[4 * i + b] = static_cast<uint8_t>(pairs[i] >> (8 * b));
            }
        }
        Entry(tag, type, count, v, 8 * count);
    }
    void Rational(uint16_t tag, const ExifRationalValue& r)
    {
        uint32_t pair[2] = {r.numerator, r.denominator};
        Rationals(tag, kTypeRational, pair, 1);
    }
    // Counted out by the caller when the value is unknown (0/0).
    void KnownRational(uint16_t tag, const ExifRationalValue& r)
    {
        if (r.denominator != 0)
            Rational(tag, r);
    }
    // A text of at most maxChars characters and its zero byte; count = length + 1.
    void Ascii(uint16_t tag, const char* text, uint32_t maxChars)
    {
        uint8_t v[257] = {};
        uint32_t n = 0;
        while (n < maxChars && text[n] != 0) {
            v[n] = static_cast<uint8_t>(text[n]);
            ++n;
        }
        Entry(tag, kTypeAscii, n + 1, v, n + 1 < 4 ? 4 : n + 1);
    }
    // count values of length bytes in all (BYTE, UNDEFINED, or SHORT arrays).
    void Values(uint16_t tag, uint16_t type, uint32_t count, const uint8_t* bytes, uint32_t length)
    {
        uint8_t v[4] = {};
        if (length <= 4) {
            std::memcpy(v, bytes, length);
            Entry(tag, type, count, v, 4);
        } else {
            Entry(tag, type, count, bytes, length);
        }
    }
    void Bytes(uint16_t tag, uint16_t type, const uint8_t* bytes, uint32_t count)
    {
        Values(tag, type, count, bytes, count);
    }

private:
    TiffBlock& block_;
    uint16_t count_;
    uint16_t added_ = 0;
    uint32_t entry_;
    uint32_t next_;
};

size_t BoundedLength(const char* text, size_t field)
{
    size_t n = 0;
    while (n < field && text[n] != 0) {
        ++n;
    }
    return n;
}

// Degrees as a rational with minutes and seconds zero; the sign goes into the reference tag.
void GpsDegrees(Ifd& gps, uint16_t tag, double degrees)
{
    int32_t num = 0;
    int32_t den = ExifRational(std::fabs(degrees), &num);
    uint32_t v[6] = {static_cast<uint32_t>(num), static_cast<uint32_t>(den), 0, 1, 0, 1};
    gps.Rationals(tag, kTypeRational, v, 3);
}

}  // namespace

int32_t ExifRational(double x, int32_t* numerator)
{
    if (std::isnan(x)) {
        x = 0;
    }
    double a = std::fabs(x);
    int32_t d = a > 10000 ? 100 : a > 100 ? 1000 : a > 1 ? 10000 : a > 0.5 ? 100000 : a > 0.1 ? 1000000 : 100000000;
    double n = std::trunc(x * d);
    constexpr double kMax = std::numeric_limits<int32_t>::max();
    constexpr double kMin = std::numeric_limits<int32_t>::min();
    *numerator = static_cast<int32_t>(n > kMax ? kMax : (n < kMin ? kMin : n));
    return d;
}

uint32_t WriteExifApp1(uint8_t* out, uint32_t thumbnailFollows, const ExifInfo* info)
{
    TiffBlock block(out, kExifBlockMaxBytes, 2);
    uint32_t marker = block.Reserve(4);
    block.PutBig16(marker, kApp1Marker);
    block.Append(kExifIdentifier, sizeof(kExifIdentifier));
    uint32_t tiff = block.Reserve(kTiffHeaderSize);
    block.Put16(tiff, kByteOrderLittle);
    block.Put16(tiff + 2, kTiffMagic);
    block.Put32(tiff + 4, kTiffHeaderSize);  // IFD0 right after the header

    const bool gpsFix = info->GpsHasFix != 0;
    Ifd ifd0(block, gpsFix ? 10 : 9);
    ifd0.Ascii(kTagMake, info->Make, sizeof(info->Make));
    ifd0.Ascii(kTagModel, info->Model, sizeof(info->Model));
    ifd0.Short(kTagOrientation, info->Orientation);
    ifd0.Rational(kTagXResolution, info->XResolution);
    ifd0.Rational(kTagYResolution, info->YResolution);
    ifd0.Short(kTagResolutionUnit, info->ResolutionUnit);
    ifd0.Ascii(kTagSoftware, info->Software, sizeof(info->Software));
    ifd0.Short(kTagYCbCrPositioning, kYCbCrCentered);
    uint32_t exifPointer = ifd0.Long(kTagExifIfdPointer, 0);
    uint32_t gpsPointer = gpsFix ? ifd0.Long(kTagGpsIfdPointer, 0) : 0;

    block.PadEven();
    block.Put32(exifPointer, block.TiffOffset());
    // A camera value left at 0/0 is unknown: it is left out rather than
    // written as a fraction that readers cannot take.
    const ExifRationalValue* cameraValues[] = {&info->ExposureTime,          &info->FNumber,
                                               &info->SubjectDistance,       &info->FocalLength,
                                               &info->FocalPlaneXResolution, &info->FocalPlaneYResolution,
                                               &info->DigitalZoomRatio};
    int unknown = info->ExposureBiasValue.denominator == 0;
    for (const ExifRationalValue* v : cameraValues)
        unknown += v->denominator == 0;
    Ifd ex(block, static_cast<uint16_t>(21 - unknown));
    ex.KnownRational(kTagExposureTime, info->ExposureTime);
    ex.KnownRational(kTagFNumber, info->FNumber);
    ex.Short(kTagExposureProgram, info->ExposureProgram);
    uint8_t version[4] = {};
    std::memcpy(version, info->ExifVersion, BoundedLength(info->ExifVersion, 4));
    ex.Bytes(kTagExifVersion, kTypeUndefined, version, 4);
    ex.Ascii(kTagDateTimeOriginal, info->DateTimeOriginal, sizeof(info->DateTimeOriginal));
    const uint8_t components[4] = {1, 2, 3, 0};  // Y, Cb, Cr
    ex.Bytes(kTagComponentsConfiguration, kTypeUndefined, components, 4);
    uint32_t bias[2] = {static_cast<uint32_t>(info->ExposureBiasValue.numerator),
                        static_cast<uint32_t>(info->ExposureBiasValue.denominator)};
    if (bias[1] != 0)
        ex.Rationals(kTagExposureBiasValue, kTypeSRational, bias, 1);
    ex.KnownRational(kTagSubjectDistance, info->SubjectDistance);
    ex.Short(kTagFlash, info->Flash);
    ex.KnownRational(kTagFocalLength, info->FocalLength);
    uint8_t comment[8 + sizeof(info->UserComment)];
    std::memcpy(comment, kUserCommentAscii, 8);
    uint32_t commentChars = static_cast<uint32_t>(BoundedLength(info->UserComment, sizeof(info->UserComment)));
    std::memcpy(comment + 8, info->UserComment, commentChars);
    ex.Bytes(kTagUserComment, kTypeUndefined, comment, 8 + commentChars);
    const uint8_t flashpix[4] = {'0', '1', '0', '0'};
    ex.Bytes(kTagFlashpixVersion, kTypeUndefined, flashpix, 4);
    ex.Short(kTagColorSpace, info->ColorSpace);
    ex.Short(kTagPixelXDimension, info->PixelXDimension);
    ex.Short(kTagPixelYDimension, info->PixelYDimension);
    ex.KnownRational(kTagFocalPlaneXResolution, info->FocalPlaneXResolution);
    ex.KnownRational(kTagFocalPlaneYResolution, info->FocalPlaneYResolution);
    ex.Short(kTagFocalPlaneResolutionUnit, info->FocalPlaneResolutionUnit);
    ex.Short(kTagCustomRendered, info->CustomRendered);
    ex.Short(kTagWhiteBalance, info->WhiteBalance);
    ex.KnownRational(kTagDigitalZoomRatio, info->DigitalZoomRatio);

    if (gpsFix) {
        block.PadEven();
        block.Put32(gpsPointer, block.TiffOffset());
        Ifd gps(block, 7);
        const uint8_t gpsVersion[4] = {2, 2, 0, 0};
        gps.Bytes(kTagGpsVersionId, kTypeByte, gpsVersion, 4);
        gps.Ascii(kTagGpsLatitudeRef, info->GpsLatitude < 0 ? "S" : "N", 1);
        GpsDegrees(gps, kTagGpsLatitude, info->GpsLatitude);
        gps.Ascii(kTagGpsLongitudeRef, info->GpsLongitude < 0 ? "W" : "E", 1);
        GpsDegrees(gps, kTagGpsLongitude, info->GpsLongitude);
        const uint8_t below = info->GpsAltitude < 0 ? 1 : 0;
        gps.Bytes(kTagGpsAltitudeRef, kTypeByte, &below, 1);
        int32_t num = 0;
        int32_t den = ExifRational(std::fabs(static_cast<double>(info->GpsAltitude)), &num);
        uint32_t alt[2] = {static_cast<uint32_t>(num), static_cast<uint32_t>(den)};
        gps.Rationals(kTagGpsAltitude, kTypeRational, alt, 1);
    }

    block.PadEven();
    if (thumbnailFollows == 1) {
        block.Put32(ifd0.NextIfdAt(), block.TiffOffset());
    }
    block.PutBig16(2, static_cast<uint16_t>(block.Size() - 2));  // APP1 length, from the length field on
    return block.Size();
}

uint32_t WriteExifIfd1Jpeg(uint8_t* out, uint32_t streamOffset, const ExifInfo* info, uint32_t* lengthAt)
{
    TiffBlock block(out, kExifIfd1MaxBytes, streamOffset);
    Ifd ifd1(block, 6);
    ifd1.Short(kTagCompression, kCompressionJpeg);
    ifd1.Rational(kTagXResolution, info->XResolution);
    ifd1.Rational(kTagYResolution, info->YResolution);
    ifd1.Short(kTagResolutionUnit, info->ResolutionUnit);
    uint32_t offsetAt = ifd1.Long(kTagJpegInterchangeFormat, 0);
    *lengthAt = ifd1.Long(kTagJpegInterchangeFormatLength, 0);
    block.PadEven();
    block.Put32(offsetAt, block.TiffOffset());
    return block.Size();
}

uint32_t WriteExifIfd1Rgb(uint8_t* out, uint32_t streamOffset, const ExifInfo* info, uint32_t width, uint32_t height)
{
    TiffBlock block(out, kExifIfd1MaxBytes, streamOffset);
    Ifd ifd1(block, 13);
    ifd1.Short(kTagImageWidth, width);
    ifd1.Short(kTagImageLength, height);
    const uint8_t eights[6] = {8, 0, 8, 0, 8, 0};
    ifd1.Values(kTagBitsPerSample, kTypeShort, 3, eights, 6);
    ifd1.Short(kTagCompression, kCompressionUncompressed);
    ifd1.Short(kTagPhotometricInterpretation, kPhotometricRgb);
    uint32_t stripAt = ifd1.Entry(kTagStripOffsets, kTypeShort, 1, "\0\0\0\0", 4);
    ifd1.Short(kTagSamplesPerPixel, 3);
    ifd1.Short(kTagRowsPerStrip, height);
    ifd1.Short(kTagStripByteCounts, width * height * 3);
    ifd1.Rational(kTagXResolution, info->XResolution);
    ifd1.Rational(kTagYResolution, info->YResolution);
    ifd1.Short(kTagPlanarConfiguration, 1);
    ifd1.Short(kTagResolutionUnit, info->ResolutionUnit);
    block.PadEven();
    block.Put16(stripAt, static_cast<uint16_t>(block.TiffOffset()));
    return block.Size();
}

}  // namespace exif
