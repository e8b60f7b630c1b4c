// jpegtool encode: a PPM, PGM or raw frame file through the encoder.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "JpegToolCommands.h"
#include "jpeg/JpegEncoder.h"
#include "jpeg/JpegEncoderKernels.h"

namespace jpegtool {

namespace {

// A picture's samples where they lie in the input file (not copied).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 0;  // 1 PGM, 3 PPM, 0 raw frame
    const uint8_t* data = nullptr;
    size_t bytes = 0;
};

bool ParsePnm(const InputFile& file, Picture& pic)
{
    if (file.size() < 2 || file.data() == nullptr || file[0] != 'P' || (file[1] != '5' && file[1] != '6')) {
        return false;
    }
    pic.channels = file[1] == '6' ? 3 : 1;
    size_t pos = 2;
    long fields[3] = {};
    for (long& field : fields) {
        while (pos < file.size() && (std::isspace(file[pos]) || file[pos] == '#')) {
            if (file[pos] == '#') {
                while (pos < file.size() && file[pos] != '\n') {
                    ++pos;
                }
            } else {
                ++pos;
            }
        }
        if (pos >= file.size() || !std::isdigit(file[pos])) {
            return false;
        }
        field = 0;
        while (pos < file.size() && std::isdigit(file[pos]) && field < 1000000) {
            field = field * 10 + (file[pos++] - '0');
        }
    }
    ++pos;  // the single white-space character before the samples
    if (fields[0] < 1 || fields[0] > 65535 || fields[1] < 1 || fields[1] > 65535 || fields[2] != 255) {
        return false;
    }
    pic.width = static_cast<int>(fields[0]);
    pic.height = static_cast<int>(fields[1]);
    pic.bytes = static_cast<size_t>(pic.width) * pic.height * pic.channels;
    if (pos > file.size() || file.size() - pos < pic.bytes) {
        return false;
    }
    pic.data = file.data() + pos;
    return true;
}

// Interleaved RGB rearranged for the planar and RGB565 input formats.
std::vector<uint8_t> FromRgb(const Picture& pic, int format)
{
    size_t n = static_cast<size_t>(pic.width) * pic.height;
    std::vector<uint8_t> out;
    if (format == 5) {
        out.resize(3 * n);
        for (size_t i = 0; i < n; ++i) {
            for (int c = 0; c < 3; ++c) {
                out[c * n + i] = pic.data[3 * i + c];
            }
        }
    } else if (format == 7) {
        out.resize(2 * n);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* p = &pic.data[3 * i];
            uint16_t v = static_cast<uint16_t>(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
            out[2 * i] = static_cast<uint8_t>(v);
            out[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
    return out;
}

// Bytes of one plane of a frame: rows of stride bytes.
struct PlaneSpan {
    size_t offset;
    size_t stride;
    int rows;
};

std::vector<PlaneSpan> FramePlanes(const JpegInputLayout& l, int width, int height)
{
    std::vector<PlaneSpan> planes;
    size_t offset = 0;
    for (int p = 0; p < l.planes; ++p) {
        size_t stride = static_cast<size_t>(width / l.plane[p].xDiv) * l.plane[p].unitBytes;
        int rows = height / l.plane[p].yDiv;
        planes.push_back({offset, stride, rows});
        offset += stride * rows;
    }
    return planes;
}

bool ParseInt(const std::string& s, long lo, long hi, int& out)
{
    char* end = nullptr;
    long v = std::strtol(s.c_str(), &end, 10);
    if (s.empty() || *end != 0 || v < lo || v > hi) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool ParseSize(const std::string& s, int& w, int& h)
{
    size_t x = s.find('x');
    return x != std::string::npos && ParseInt(s.substr(0, x), 1, 65535, w) && ParseInt(s.substr(x + 1), 1, 65535, h);
}

int EncodeUsage()
{
    std::fprintf(stderr,
                 "usage: jpegtool encode IN.ppm|IN.pgm|IN.yuv OUT.jpg [--quality Q] [--format N] [--mode 0|1|2]\n"
                 "       [--size WxH] (raw frames) [--stripe-rows N] (mode 2) [--progressive] [--target-bytes N]\n"
                 "       [--thumbnail WxH] [--rgb-thumbnail] [--exif] %s\n",
                 kExifOptions);
    return 2;
}

}  // namespace

const char* const kExifOptions = "[--make S] [--model S] [--date 'YYYY:MM:DD HH:MM:SS'] [--orientation 1-8] [--gps LAT,LON[,ALT]]";

void DefaultExif(ExifInfo& x, int width, int height)
{
    x = ExifInfo{};
    std::snprintf(x.ExifVersion, sizeof(x.ExifVersion), "0220");
    std::snprintf(x.Software, sizeof(x.Software), "jpegtool");
    x.PixelXDimension = static_cast<uint32_t>(width);
    x.PixelYDimension = static_cast<uint32_t>(height);
    x.Orientation = 1;
    x.ColorSpace = 1;
    x.XResolution = {72, 1};
    x.YResolution = {72, 1};
    x.ResolutionUnit = 2;
    // Values the tool does not know are 0, written as 0/1 rather than an undefined 0/0.
    for (ExifRationalValue* r : {&x.FocalLength, &x.ExposureTime, &x.FNumber, &x.SubjectDistance,
                                 &x.FocalPlaneXResolution, &x.FocalPlaneYResolution, &x.DigitalZoomRatio}) {
        *r = {0, 1};
    }
    x.ExposureBiasValue = {0, 1};
    x.FocalPlaneResolutionUnit = 2;
}

void FillExif(ExifInfo& out, const ExifInfo& given, int width, int height)
{
    DefaultExif(out, width, height);
    std::memcpy(out.Make, given.Make, sizeof(given.Make));
    std::memcpy(out.Model, given.Model, sizeof(given.Model));
    std::memcpy(out.DateTimeOriginal, given.DateTimeOriginal, sizeof(given.DateTimeOriginal));
    if (out.DateTimeOriginal[0] == '\0') {
        // No --date: the time of the shot, as a camera writes it.
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(out.DateTimeOriginal, sizeof(out.DateTimeOriginal), "%Y:%m:%d %H:%M:%S", &local);
    }
    out.Orientation = given.Orientation != 0 ? given.Orientation : 1;
    out.GpsLatitude = given.GpsLatitude;
    out.GpsLongitude = given.GpsLongitude;
    out.GpsAltitude = given.GpsAltitude;
    out.GpsHasFix = given.GpsHasFix;
}

int ParseExifOption(const std::vector<std::string>& args, size_t& i, ExifInfo& x)
{
    const std::string& a = args[i];
    if (i + 1 >= args.size()) {
        return a == "--make" || a == "--model" || a == "--date" || a == "--orientation" || a == "--gps" ? -1 : 0;
    }
    const std::string& v = args[i + 1];
    if (a == "--make") {
        std::snprintf(x.Make, sizeof(x.Make), "%s", v.c_str());
    } else if (a == "--model") {
        std::snprintf(x.Model, sizeof(x.Model), "%s", v.c_str());
    } else if (a == "--date") {
        std::snprintf(x.DateTimeOriginal, sizeof(x.DateTimeOriginal), "%s", v.c_str());
    } else if (a == "--orientation") {
        int o = 0;
        if (!ParseInt(v, 1, 8, o)) {
            return -1;
        }
        x.Orientation = static_cast<uint32_t>(o);
    } else if (a == "--gps") {
        double lat = 0, lon = 0, alt = 0;
        int n = std::sscanf(v.c_str(), "%lf,%lf,%lf", &lat, &lon, &alt);
        if (n < 2 || lat < -90 || lat > 90 || lon < -180 || lon > 180) {
            return -1;
        }
        x.GpsLatitude = lat;
        x.GpsLongitude = lon;
        x.GpsAltitude = static_cast<float>(alt);
        x.GpsHasFix = 1;
    } else {
        return 0;
    }
    ++i;
    return 1;
}

int Encode(const std::vector<std::string>& args)
{
    if (args.size() < 2) {
        return EncodeUsage();
    }
    int quality = 75, format = 0, mode = 0, width = 0, height = 0, stripeRows = 1;
    int progressive = 0, thumbW = 0, thumbH = 0, thumbKind = 1, exifOn = 0, targetBytes = 0;
    ExifInfo exif{};
    bool exifGiven = false;
    for (size_t i = 2; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        bool ok = hasValue;
        int exifOption = ParseExifOption(args, i, exif);
        if (exifOption != 0) {
            ok = exifOption > 0;
            exifGiven = true;
        } else if (a == "--progressive") {
            progressive = 1;
            ok = true;
        } else if (a == "--exif") {
            exifOn = 1;
            ok = true;
        } else if (a == "--rgb-thumbnail") {
            thumbKind = 0;
            ok = true;
        } else if (a == "--thumbnail" && hasValue) {
            ok = ParseSize(args[++i], thumbW, thumbH);
        } else if (a == "--target-bytes" && hasValue) {
            ok = ParseInt(args[++i], 1, 0x7FFFFFFF, targetBytes);
        } else if (a == "--quality" && hasValue) {
            ok = ParseInt(args[++i], 1, 100, quality);
        } else if (a == "--format" && hasValue) {
            ok = ParseInt(args[++i], 1, 11, format);
        } else if (a == "--mode" && hasValue) {
            ok = ParseInt(args[++i], 0, 2, mode);
        } else if (a == "--stripe-rows" && hasValue) {
            ok = ParseInt(args[++i], 1, 65535, stripeRows);
        } else if (a == "--size" && hasValue) {
            ok = ParseSize(args[++i], width, height);
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "jpegtool encode: bad option %s\n", a.c_str());
            return EncodeUsage();
        }
    }

    InputFile file;
    if (!file.Open(args[0])) {
        return 1;
    }
    Picture pic;
    // The frame the encoder reads: the file's own samples where the format
    // takes them as they are, else a rearranged copy.
    const uint8_t* frame = nullptr;
    size_t frameSize = 0;
    std::vector<uint8_t> rearranged;
    if (ParsePnm(file, pic)) {
        if (pic.channels == 1) {
            format = format == 0 ? kJpegGrey : format;
            if (format != kJpegGrey) {
                std::fprintf(stderr, "jpegtool encode: a PGM file is coded as format 4\n");
                return 1;
            }
            frame = pic.data;
            frameSize = pic.bytes;
        } else {
            format = format == 0 ? kJpegRgb : format;
            if (format != 5 && format != 6 && format != 7 && format != 10) {
                std::fprintf(stderr, "jpegtool encode: a PPM file is coded as format 5, 6, 7 or 10\n");
                return 1;
            }
            if (format == 5 || format == 7) {
                rearranged = FromRgb(pic, format);
                frame = rearranged.data();
                frameSize = rearranged.size();
            } else {
                frame = pic.data;
                frameSize = pic.bytes;
            }
        }
        width = pic.width;
        height = pic.height;
    } else {
        format = format == 0 ? kJpegYuv420 : format;
        if (width == 0) {
            std::fprintf(stderr, "jpegtool encode: a raw frame needs --size WxH\n");
            return 1;
        }
        frame = file.data();
        frameSize = file.size();
    }
    const JpegInputLayout* layout = JpegInputLayoutFor(format);
    std::vector<PlaneSpan> planes = FramePlanes(*layout, width, height);
    size_t frameBytes = planes.back().offset + planes.back().stride * planes.back().rows;
    if (frameSize < frameBytes) {
        std::fprintf(stderr, "jpegtool encode: %s holds %zu bytes, format %d at %dx%d needs %zu\n", args[0].c_str(),
                     frameSize, format, width, height, frameBytes);
        return 1;
    }

    JpegEncodeParams params{};
    params.width = width;
    params.height = height;
    params.bitsPerSample = 8;
    params.inputFormat = format;
    params.quality = quality;
    params.codingMode = progressive ? 2 : 1;
    params.outputMode = mode;
    params.stripeRows = stripeRows;
    params.thumbnailOn = thumbW > 0 ? 1 : 0;
    params.thumbnailKind = thumbKind;
    params.thumbnailWidth = thumbW;
    params.thumbnailHeight = thumbH;
    if (exifOn || exifGiven) {
        FillExif(params.exif, exif, width, height);
        params.headerKind = 1;
    }
    JpegEncoder* enc = nullptr;
    int32_t rc = gCreateJpegImageEncoder(&enc, &params);
    if (rc != kJpegOk) {
        std::fprintf(stderr, "jpegtool encode: cannot create the encoder (%d)\n", rc);
        return 1;
    }
    if (targetBytes > 0 && (rc = enc->SetConfig(enc, kJpegConfigTargetBytes, targetBytes)) != kJpegOk) {
        std::fprintf(stderr, "jpegtool encode: target refused (%d)\n", rc);
        enc->Release(enc);
        return 1;
    }
    uint32_t capacity = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &capacity);
    // Not cleared: only the bytes the encoder writes are touched.
    LargeBuffer out(capacity);
    OutputFile dst;
    if (out.data() == nullptr || !dst.Open(args[1])) {
        enc->Release(enc);
        return 1;
    }

    // Output mode 2 takes the frame in stripes, each laid out as planes of a full stripe.
    int rowsPerStripe = stripeRows * layout->mcuHeight;
    std::vector<uint8_t> stripe;
    int top = 0;
    auto makeStripe = [&]() {
        stripe.clear();
        for (const PlaneSpan& p : planes) {
            int div = height / p.rows;
            int first = top / div, full = rowsPerStripe / div;
            int rows = std::min(full, p.rows - first);
            size_t at = stripe.size();
            stripe.resize(at + p.stride * full, 0);
            std::memcpy(stripe.data() + at, frame + p.offset + p.stride * first, p.stride * rows);
        }
    };
    if (mode == 2) {
        makeStripe();
    }
    size_t total = 0;
    int calls = 0;
    for (;;) {
        uint32_t size = capacity;
        rc = enc->Encode(enc, mode == 2 ? stripe.data() : frame, out.data(), &size);
        ++calls;
        dst.Write(out.data(), size);
        total += size;
        if (rc == kJpegNextStripe) {
            top += rowsPerStripe;
            makeStripe();
        } else if (rc != kJpegMoreOutput) {
            break;
        }
    }
    enc->Release(enc);
    const bool written = dst.Close();
    if (rc != kJpegOk || !written) {
        std::fprintf(stderr, "jpegtool encode: encoding failed (%d)\n", rc);
        return 1;
    }
    std::printf("%s: %dx%d format %d quality %d, %zu bytes in %d call(s)\n", args[1].c_str(), width, height, format,
                quality, total, calls);
    return 0;
}

}  // namespace jpegtool
