// The EXIF tag values that the JPEG encoder writes into its APP1 block.
// The caller fills the record; the writer reads no clock or device itself.
#pragma once

#include <cstdint>

struct ExifRationalValue {
    uint32_t numerator;
    uint32_t denominator;
};

struct ExifSignedRationalValue {
    int32_t numerator;
    int32_t denominator;
};

// Texts are 8-bit characters ending with a zero byte inside their field.
struct ExifInfo {
    char ExifVersion[5];          // first 4 characters are written, e.g. "0220"
    char Make[32];
    char Model[40];
    char Software[40];
    char DateTimeOriginal[20];    // "YYYY:MM:DD HH:MM:SS" or empty
    uint32_t PixelYDimension;
    uint32_t PixelXDimension;
    uint32_t Orientation;         // 1 to 8
    uint32_t ColorSpace;
    uint32_t CustomRendered;
    uint32_t Flash;
    ExifRationalValue FocalLength;
    ExifRationalValue ExposureTime;
    ExifRationalValue FNumber;
    ExifRationalValue SubjectDistance;
    ExifSignedRationalValue ExposureBiasValue;
    uint32_t WhiteBalance;
    uint32_t ExposureProgram;
    ExifRationalValue FocalPlaneXResolution;
    ExifRationalValue FocalPlaneYResolution;
    uint32_t FocalPlaneResolutionUnit;
    ExifRationalValue XResolution;
    ExifRationalValue YResolution;
    uint32_t ResolutionUnit;
    char UserComment[256];
    ExifRationalValue DigitalZoomRatio;
    double GpsLatitude;           // degrees, south negative
    double GpsLongitude;          // degrees, west negative
    float GpsAltitude;            // metres, below sea level negative
    uint32_t GpsHasFix;           // 0: no position, the GPS IFD is left out
};
