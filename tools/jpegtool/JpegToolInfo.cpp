// jpegtool info IN.jpg: frame header, thumbnail and EXIF values.
#include <cstdio>
#include <vector>

#include "JpegToolCommands.h"
#include "jpeg/JpegDecoder.h"

namespace jpegtool {

namespace {

void Rational(const char* name, const JpegRational& r) {
    if (r.denominator) {
        std::printf("%s: %u/%u\n", name, r.numerator, r.denominator);
    }
}

void Text(const char* name, const char* text) {
    if (text[0]) {
        std::printf("%s: %s\n", name, text);
    }
}

}  // namespace

int Info(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: jpegtool info IN.jpg\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!ReadFile(args[0], data)) {
        return 1;
    }
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    JpegRefusal refusal = kJpegRefusalNone;
    const int32_t result = gCreateJpegImageDecoder(&decoder, data.data(), static_cast<uint32_t>(data.size()), &info,
                                                   &thumbKind, &thumbLength, 1, &refusal);
    if (result != 0) {
        std::fprintf(stderr, "jpegtool info: %s: not decoded (%d): %s\n", args[0].c_str(), result,
                     gDescribeJpegRefusal(refusal));
        return 1;
    }
    decoder->Release(decoder);
    std::printf("size: %u x %u (padded %u x %u)\n", info.width, info.height, info.paddedWidth, info.paddedHeight);
    std::printf("frame kind: %u\nsampling type: %u\n", info.frameKind, info.samplingType);
    std::printf("thumbnail kind: %u\n", thumbKind);
    if (thumbKind) {
        std::printf("thumbnail form: %u\nthumbnail offset: %u\nthumbnail length: %u\nthumbnail size: %u x %u\n",
                    info.thumbnail.form, info.thumbnailOffset, thumbLength, info.thumbnail.width,
                    info.thumbnail.height);
    }
    const JpegExifValues& e = info.exif;
    if (!e.byteOrder) {
        return 0;
    }
    std::printf("exif byte order: %s\n", e.byteOrder == 0x4949 ? "II" : "MM");
    Text("Make", e.make);
    Text("Model", e.model);
    Text("Software", e.software);
    Text("DateTime", e.dateTime);
    Text("DateTimeOriginal", e.dateTimeOriginal);
    Text("ExifVersion", e.exifVersion);
    if (e.orientation) {
        std::printf("Orientation: %u\n", e.orientation);
    }
    Rational("XResolution", e.xResolution);
    Rational("YResolution", e.yResolution);
    if (e.resolutionUnit) {
        std::printf("ResolutionUnit: %u\n", e.resolutionUnit);
    }
    Rational("ExposureTime", e.exposureTime);
    Rational("FNumber", e.fNumber);
    Rational("FocalLength", e.focalLength);
    if (e.pixelXDimension) {
        std::printf("PixelXDimension: %u\nPixelYDimension: %u\n", e.pixelXDimension, e.pixelYDimension);
    }
    if (e.gpsIfdOffset) {
        std::printf("GPSLatitude: %u/%u %u/%u %u/%u\n", e.gpsLatitude[0].numerator, e.gpsLatitude[0].denominator,
                    e.gpsLatitude[1].numerator, e.gpsLatitude[1].denominator, e.gpsLatitude[2].numerator,
                    e.gpsLatitude[2].denominator);
    }
    return 0;
}

}  // namespace jpegtool
