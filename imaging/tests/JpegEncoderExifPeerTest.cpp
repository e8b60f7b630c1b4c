// The EXIF block and the thumbnails our encoder writes, read back by
// exiftool and exiv2 and decoded by libjpeg.
#include "JpegEncoderTestSupport.h"

#include "exif/ExifWriter.h"

#include <lumtest/tempdir.h>

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace {

using namespace jpegtest;

std::string RunCommand(const std::string& command)
{
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        return out;
    }
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0) {
        out.append(buf.data(), n);
    }
    return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// "Tag: value" lines of exiftool -s -s -s style output as a map (-S: "Tag: value").
[[maybe_unused]] std::map<std::string, std::string> ExiftoolTags(const std::filesystem::path& file, const std::string& options)
{
    std::map<std::string, std::string> tags;
    std::istringstream in(RunCommand("exiftool -S " + options + " '" + file.string() + "' 2>&1"));
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(": ");
        if (colon != std::string::npos) {
            tags[line.substr(0, colon)] = line.substr(colon + 2);
        }
    }
    return tags;
}

ExifInfo SampleExif()
{
    ExifInfo x{};
    std::snprintf(x.ExifVersion, sizeof(x.ExifVersion), "0220");
    std::snprintf(x.Make, sizeof(x.Make), "VELMORA");
    std::snprintf(x.Model, sizeof(x.Model), "LumPhone X2");
    std::snprintf(x.Software, sizeof(x.Software), "LumOCR 1.0");
    std::snprintf(x.DateTimeOriginal, sizeof(x.DateTimeOriginal), "2006:02:03 04:02:12");
    x.PixelXDimension = 640;
    x.PixelYDimension = 480;
    x.Orientation = 6;
    x.ColorSpace = 1;
    x.Flash = 0;
    x.FocalLength = {37, 10};
    x.ExposureTime = {1, 60};
    x.FNumber = {28, 10};
    x.SubjectDistance = {0, 1};
    x.ExposureBiasValue = {-2, 3};
    x.WhiteBalance = 0;
    x.ExposureProgram = 2;
    x.FocalPlaneXResolution = {3000, 1};
    x.FocalPlaneYResolution = {3000, 1};
    x.FocalPlaneResolutionUnit = 2;
    x.XResolution = {72, 1};
    x.YResolution = {72, 1};
    x.ResolutionUnit = 2;
    std::snprintf(x.UserComment, sizeof(x.UserComment), "card scan");
    x.DigitalZoomRatio = {1, 1};
    x.GpsLatitude = -33.87;
    x.GpsLongitude = 151.21;
    x.GpsAltitude = -12.5f;
    x.GpsHasFix = 1;
    return x;
}

struct Encoded {
    std::vector<uint8_t> stream;
    std::filesystem::path file;
};

// A 640 x 480 4:2:0 frame with the sample EXIF record and the given thumbnail, written to dir.
Encoded EncodeWithExif(const lumtest::TempDir& dir, const std::string& name, int kind, int tw, int th,
                       int headerKind = 1, int format = 1, const ExifInfo& info = SampleExif())
{
    Frame frame = MakeFrame(MakeSmoothImage(640, 480), format);
    JpegEncodeParams p = DefaultParams(640, 480, format, 85);
    p.headerKind = headerKind;
    p.thumbnailOn = kind >= 0 ? 1 : 0;
    p.thumbnailKind = kind;
    p.thumbnailWidth = tw;
    p.thumbnailHeight = th;
    p.exif = info;
    EncodeResult r = EncodeFrame(frame, p);
    EXPECT_EQ(r.code, 0);
    Encoded e{r.stream, dir.path() / name};
    WriteFile(e.file, e.stream);
    return e;
}

std::vector<uint8_t> ReadAll(const std::string& command)
{
    std::string s = RunCommand(command);
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(JpegEncoderExifPeer, ExiftoolReadsBackEveryValue)
{
    lumtest::TempDir dir;
    Encoded e = EncodeWithExif(dir, "exif.jpg", 1, 160, 120);
    auto tags = ExiftoolTags(e.file, "-n -a");
    EXPECT_EQ(tags["ExifByteOrder"], "II");
    EXPECT_EQ(tags["Make"], "VELMORA");
    EXPECT_EQ(tags["Model"], "LumPhone X2");
    EXPECT_EQ(tags["Software"], "LumOCR 1.0");
    EXPECT_EQ(tags["DateTimeOriginal"], "2006:02:03 04:02:12");
    EXPECT_EQ(tags["Orientation"], "6");
    EXPECT_EQ(tags["XResolution"], "72");
    EXPECT_EQ(tags["ResolutionUnit"], "2");
    EXPECT_EQ(tags["ExifImageWidth"], "640");
    EXPECT_EQ(tags["ExifImageHeight"], "480");
    EXPECT_EQ(tags["ExposureTime"], "0.01666666667");
    EXPECT_EQ(tags["FNumber"], "2.8");
    EXPECT_EQ(tags["ExposureCompensation"], "-0.6666666667");
    EXPECT_EQ(tags["FocalLength"], "3.7");
    EXPECT_EQ(tags["UserComment"], "card scan");
    EXPECT_EQ(tags["ExifVersion"], "0220");
    EXPECT_EQ(tags["GPSVersionID"], "2 2 0 0");
    EXPECT_EQ(tags["GPSLatitudeRef"], "S");
    EXPECT_EQ(tags["GPSLongitudeRef"], "E");
    EXPECT_EQ(tags["GPSAltitudeRef"], "1");
    EXPECT_NEAR(std::fabs(std::stod(tags["GPSAltitude"])), 12.5, 1e-9);
    EXPECT_NEAR(std::fabs(std::stod(tags["GPSLatitude"])), 33.87, 1e-6);
    EXPECT_NEAR(std::fabs(std::stod(tags["GPSLongitude"])), 151.21, 1e-6);
    // The composite position carries the hemisphere as a sign.
    auto composite = ExiftoolTags(e.file, "-n -GPSPosition");
    std::istringstream pos(composite["GPSPosition"]);
    double lat = 0, lon = 0;
    pos >> lat >> lon;
    EXPECT_NEAR(lat, -33.87, 1e-6);
    EXPECT_NEAR(lon, 151.21, 1e-6);

    // Thumbnail offset (exiftool gives it from the file's start) and length
    // cover a whole JPEG stream inside the APP1 segment.
    uint32_t offset = static_cast<uint32_t>(std::stoul(tags["ThumbnailOffset"]));
    uint32_t length = static_cast<uint32_t>(std::stoul(tags["ThumbnailLength"]));
    uint32_t app1End = 4 + ((e.stream[4] << 8) | e.stream[5]);
    ASSERT_LE(offset + length, app1End);
    EXPECT_EQ(e.stream[offset], 0xFF);
    EXPECT_EQ(e.stream[offset + 1], 0xD8);
    size_t eoi = offset + length - 1;
    while (e.stream[eoi] == 0) {
        --eoi;
    }
    EXPECT_EQ(e.stream[eoi - 1], 0xFF);
    EXPECT_EQ(e.stream[eoi], 0xD9);

    // West and north, and no GPS block without a fix.
    ExifInfo west = SampleExif();
    west.GpsLatitude = 51.5;
    west.GpsLongitude = -0.12;
    west.GpsAltitude = 35.0f;
    auto westTags = ExiftoolTags(EncodeWithExif(dir, "west.jpg", -1, 0, 0, 1, 1, west).file, "-n");
    EXPECT_EQ(westTags["GPSLatitudeRef"], "N");
    EXPECT_EQ(westTags["GPSLongitudeRef"], "W");
    EXPECT_EQ(westTags["GPSAltitudeRef"], "0");
    ExifInfo noFix = SampleExif();
    noFix.GpsHasFix = 0;
    auto noFixTags = ExiftoolTags(EncodeWithExif(dir, "nofix.jpg", -1, 0, 0, 1, 1, noFix).file, "-n");
    EXPECT_EQ(noFixTags.count("GPSLatitude"), 0u);
    EXPECT_EQ(noFixTags["Make"], "VELMORA");
}

TEST(JpegEncoderExifPeer, Exiv2ReadsBackEveryValue)
{
    lumtest::TempDir dir;
    Encoded e = EncodeWithExif(dir, "exif.jpg", 1, 160, 120);
    std::map<std::string, std::string> v;
    std::istringstream in(RunCommand("exiv2 -PEkv '" + e.file.string() + "' 2>&1"));
    std::string line;
    while (std::getline(in, line)) {
        size_t sp = line.find(' ');
        if (sp != std::string::npos) {
            size_t value = line.find_first_not_of(' ', sp);
            v[line.substr(0, sp)] = value == std::string::npos ? "" : line.substr(value);
        }
    }
    EXPECT_EQ(v["Exif.Image.Make"], "VELMORA");
    EXPECT_EQ(v["Exif.Image.Model"], "LumPhone X2");
    EXPECT_EQ(v["Exif.Image.Orientation"], "6");
    EXPECT_EQ(v["Exif.Image.XResolution"], "72/1");
    EXPECT_EQ(v["Exif.Photo.DateTimeOriginal"], "2006:02:03 04:02:12");
    EXPECT_EQ(v["Exif.Photo.ExposureBiasValue"], "-2/3");
    EXPECT_EQ(v["Exif.GPSInfo.GPSLatitudeRef"], "S");
    EXPECT_EQ(v["Exif.GPSInfo.GPSLatitude"], "338700/10000 0/1 0/1");
    EXPECT_EQ(v["Exif.GPSInfo.GPSLongitude"], "151210/1000 0/1 0/1");
    EXPECT_EQ(v["Exif.GPSInfo.GPSAltitude"], "125000/10000");
    EXPECT_EQ(v["Exif.Thumbnail.Compression"], "6");
    EXPECT_EQ(RunCommand("exiv2 -pa '" + e.file.string() + "' 2>&1 >/dev/null"), "") << "exiv2 complains";
}

TEST(JpegEncoderExifPeer, ValidatorFindsNothingOfOurs)
{
    lumtest::TempDir dir;
    for (int format : {1, 2, 4}) {
        Encoded e = EncodeWithExif(dir, "v" + std::to_string(format) + ".jpg", 1, 160, 120, 1, format);
        auto tags = ExiftoolTags(e.file, "-validate -warning -a");
        EXPECT_EQ(tags["Validate"], "OK") << "format " << format;
        EXPECT_EQ(tags.count("Warning"), 0u) << tags["Warning"];
    }
    // An uncompressed thumbnail is TIFF data in IFD1: the validator calls its
    // tags unusual in a JPEG file (minor), but finds nothing else.
    Encoded rgb = EncodeWithExif(dir, "rgb.jpg", 0, 160, 120);
    std::string out = RunCommand("exiftool -validate -warning -a '" + rgb.file.string() + "'");
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("Warning") == 0 && line.find("Warnings") == std::string::npos) {
            bool ifd1Tiff = line.find("[minor] IFD1 tag") != std::string::npos ||
                            line.find("[minor] Invalid value for IFD1 tag 0x0103 Compression") != std::string::npos ||
                            line.find("[minor] Missing required JPEG IFD1 tag 0x020") != std::string::npos;
            EXPECT_TRUE(ifd1Tiff) << line;
        }
    }
}

// jpegtool's --exif without --date writes the time of the shot, not an empty
// date the validator warns about.
TEST(JpegEncoderExifPeer, JpegtoolWithoutDateWritesTheTimeOfTheShot)
{
    lumtest::TempDir dir;
    const auto grey = dir.path() / "in.pgm";
    {
        std::ofstream out(grey, std::ios::binary);
        out << "P5\n16 16\n255\n" << std::string(256, '\x80');
    }
    const auto jpeg = dir.path() / "out.jpg";
    const std::string tool = std::string(LUM_BINARY_DIR) + "/bin/jpegtool";
    ASSERT_EQ(std::system((tool + " encode '" + grey.string() + "' '" + jpeg.string() + "' --exif").c_str()), 0);
    auto tags = ExiftoolTags(jpeg, "-validate -warning -a -DateTimeOriginal");
    EXPECT_EQ(tags["Validate"], "OK");
    EXPECT_EQ(tags.count("Warning"), 0u) << tags["Warning"];
    const std::string date = tags["DateTimeOriginal"];
    ASSERT_EQ(date.size(), 19u) << date;
    for (size_t i = 0; i < date.size(); ++i) {
        const char expected = i == 4 || i == 7 || i == 13 || i == 16 ? ':' : i == 10 ? ' ' : '9';
        EXPECT_TRUE(expected == '9' ? std::isdigit(static_cast<unsigned char>(date[i])) != 0 : date[i] == expected)
            << date;
    }
}

TEST(JpegEncoderExifPeer, ThumbnailsDecodeAtTheRequestedSize)
{
    lumtest::TempDir dir;
    const struct {
        int format, w, h;
    } cases[] = {{1, 160, 120}, {2, 160, 120}, {3, 96, 72}, {4, 160, 120}, {6, 100, 76}, {9, 48, 36}, {1, 48, 36}, {9, 160, 120}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format);
        Encoded e = EncodeWithExif(dir, "t.jpg", 1, c.w, c.h, 1, c.format);
        std::vector<uint8_t> thumb = ReadAll("exiftool -b -ThumbnailImage '" + e.file.string() + "'");
        Decoded d = DecodeWithPeer(thumb, true);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(d.warnings, 0);
        EXPECT_EQ(d.width, c.w);
        EXPECT_EQ(d.height, c.h);
        // The thumbnail looks like the picture scaled down.
        Decoded full = DecodeWithPeer(e.stream, true);
        ASSERT_TRUE(full.ok);
        // Against the decoded picture averaged over each thumbnail pixel's box.
        double se = 0;
        int n = 0;
        for (int y = 1; y < c.h - 1; y += 2) {
            for (int x = 1; x < c.w - 1; x += 2) {
                for (int k = 0; k < d.components; ++k) {
                    double sum = 0;
                    int count = 0;
                    for (int sy = y * 480 / c.h; sy < (y + 1) * 480 / c.h; ++sy) {
                        for (int sx = x * 640 / c.w; sx < (x + 1) * 640 / c.w; ++sx) {
                            sum += full.pixels[(sy * 640 + sx) * full.components + k];
                            ++count;
                        }
                    }
                    double diff = d.pixels[(y * c.w + x) * d.components + k] - sum / count;
                    se += diff * diff;
                    ++n;
                }
            }
        }
        EXPECT_LT(std::sqrt(se / n), 12.0);  // a quality-60 copy of a picture scaled down
        Decoded main = DecodeWithPeer(e.stream);
        EXPECT_TRUE(main.ok);
        EXPECT_EQ(main.warnings, 0);
    }
}

// Pixels of a JFXX segment: (kind, width, height, payload).
struct Jfxx {
    int code = 0;
    std::vector<uint8_t> payload;
};

Jfxx FindJfxx(const std::vector<uint8_t>& s)
{
    size_t i = 2;
    while (i + 4 < s.size() && s[i] == 0xFF && s[i + 1] != 0xDA) {
        size_t len = (s[i + 2] << 8) | s[i + 3];
        if (s[i + 1] == 0xE0 && std::memcmp(&s[i + 4], "JFXX", 5) == 0) {
            Jfxx j;
            j.code = s[i + 9];
            j.payload.assign(s.begin() + i + 10, s.begin() + i + 2 + len);
            return j;
        }
        i += 2 + len;
    }
    return {};
}

TEST(JpegEncoderExifPeer, JfxxThumbnails)
{
    lumtest::TempDir dir;
    Encoded jpeg = EncodeWithExif(dir, "j.jpg", 1, 80, 60, 0);
    Jfxx j = FindJfxx(jpeg.stream);
    ASSERT_EQ(j.code, 0x10);
    Decoded d = DecodeWithPeer(j.payload);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.warnings, 0);
    EXPECT_EQ(d.width, 80);
    EXPECT_EQ(d.height, 60);

    Encoded rgb = EncodeWithExif(dir, "r.jpg", 0, 80, 60, 0, 4);  // grey: R = G = B
    Jfxx r = FindJfxx(rgb.stream);
    ASSERT_EQ(r.code, 0x13);
    ASSERT_EQ(r.payload.size(), 2u + 80 * 60 * 3);
    EXPECT_EQ(r.payload[0], 80);
    EXPECT_EQ(r.payload[1], 60);
    for (size_t p = 2; p < r.payload.size(); p += 3) {
        ASSERT_EQ(r.payload[p], r.payload[p + 1]);
        ASSERT_EQ(r.payload[p], r.payload[p + 2]);
    }
    Decoded main = DecodeWithPeer(rgb.stream);
    EXPECT_TRUE(main.ok);
    EXPECT_EQ(main.warnings, 0);
}

// Format 10 codes its components as they are: the RGB thumbnail copies the
// box-averaged planes, the JPEG thumbnail carries its own APP14 segment.
TEST(JpegEncoderExifPeer, InterleavedComponentsThumbnails)
{
    Rgb img = MakeTestImage(64, 48);
    Frame frame = MakeFrame(img, 10);
    JpegEncodeParams p = DefaultParams(64, 48, 10, 90);
    p.thumbnailOn = 1;
    p.thumbnailKind = 0;
    p.thumbnailWidth = 16;
    p.thumbnailHeight = 12;
    EncodeResult r = EncodeFrame(frame, p);
    ASSERT_EQ(r.code, 0);
    Jfxx rgb = FindJfxx(r.stream);
    ASSERT_EQ(rgb.code, 0x13);
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 4; ++x) {
                sum += img.At(x, y)[c];
            }
        }
        EXPECT_EQ(rgb.payload[2 + c], sum / 16) << "component " << c;
    }
    p.thumbnailKind = 1;
    r = EncodeFrame(frame, p);
    ASSERT_EQ(r.code, 0);
    Jfxx jpeg = FindJfxx(r.stream);
    ASSERT_EQ(jpeg.code, 0x10);
    ASSERT_GT(jpeg.payload.size(), 4u);
    EXPECT_EQ(jpeg.payload[2], 0xFF);
    EXPECT_EQ(jpeg.payload[3], 0xEE);
    Decoded thumb = DecodeWithPeer(jpeg.payload, true);
    ASSERT_TRUE(thumb.ok) << thumb.error;
    EXPECT_EQ(thumb.warnings, 0);
    EXPECT_EQ(thumb.width, 16);
    EXPECT_EQ(thumb.components, 3);
    Decoded main = DecodeWithPeer(r.stream, true);
    ASSERT_TRUE(main.ok) << main.error;
    EXPECT_GE(Psnr(main.pixels, frame.expected), 30.0);
}

// The camera's stream, made by the peer, wrapped with our EXIF block and a
// thumbnail made from a small frame: the picture decodes exactly as before.
TEST(JpegEncoderExifPeer, WrappedStreamKeepsItsPixels)
{
    lumtest::TempDir dir;
    EncodeResult camera;
    camera.stream = EncodeRgbWithPeer(MakeTestImage(320, 240), 90);
    Decoded before = DecodeWithPeer(camera.stream);
    ASSERT_TRUE(before.ok);

    Frame small = MakeFrame(MakeTestImage(320, 240), 2);
    for (int kind : {0, 1}) {
        JpegEncodeParams p = DefaultParams(320, 240, 2, 85);
        p.headerKind = 1;
        p.thumbnailOn = 1;
        p.thumbnailKind = kind;
        p.thumbnailWidth = 160;
        p.thumbnailHeight = 120;
        p.exif = SampleExif();
        JpegEncoder* enc = nullptr;
        ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
        uint32_t need = static_cast<uint32_t>(camera.stream.size());
        enc->GetConfig(enc, kJpegConfigWrapSize, &need);
        std::vector<uint8_t> out(need);
        uint32_t size = need;
        JpegSourceStream src{camera.stream.data(), static_cast<uint32_t>(camera.stream.size())};
        ASSERT_EQ(enc->EncodeToBuffer(enc, &src, small.data.data(), out.data(), &size), 0);
        out.resize(size);
        enc->Release(enc);
        Decoded after = DecodeWithPeer(out);
        ASSERT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.warnings, 0);
        EXPECT_TRUE(after.pixels == before.pixels);
        auto file = dir.path() / ("wrap" + std::to_string(kind) + ".jpg");
        WriteFile(file, out);
        auto tags = ExiftoolTags(file, "-n -IFD0:Make -IFD1:all");
        EXPECT_EQ(tags["Make"], "VELMORA");
        if (kind == 1) {
            Decoded thumb = DecodeWithPeer(ReadAll("exiftool -b -ThumbnailImage '" + file.string() + "'"));
            ASSERT_TRUE(thumb.ok) << thumb.error;
            EXPECT_EQ(thumb.width, 160);
        } else {
            EXPECT_EQ(tags["RowsPerStrip"], "120");
            EXPECT_EQ(tags["StripByteCounts"], std::to_string(160 * 120 * 3));
        }
    }
}

// Progressive streams carry the same coefficients as sequential ones.
TEST(JpegEncoderExifPeer, ProgressiveDecodesToTheSequentialPixels)
{
    const int sizes[][2] = {{1280, 960}, {50, 34}, {17, 33}, {8, 8}};
    for (int format : {1, 2, 3, 4, 6, 7, 9, 10, 11}) {
        for (const auto& sz : sizes) {
            bool even16 = format == 3 || format == 4 || format == 10;
            if (!even16 && (sz[0] % 2 || sz[1] % 2)) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << "format " << format << " " << sz[0] << "x" << sz[1]);
            Frame frame = MakeFrame(MakeTestImage(sz[0], sz[1]), format);
            JpegEncodeParams p = DefaultParams(sz[0], sz[1], format, 85);
            EncodeResult seq = EncodeFrame(frame, p);
            p.codingMode = 2;
            EncodeResult prog = EncodeFrame(frame, p);
            ASSERT_EQ(prog.code, 0);
            Decoded a = DecodeWithPeer(seq.stream, frame.expectRgb);
            Decoded b = DecodeWithPeer(prog.stream, frame.expectRgb);
            ASSERT_TRUE(b.ok) << b.error;
            EXPECT_TRUE(b.progressive);
            EXPECT_EQ(b.warnings, 0);
            EXPECT_TRUE(a.pixels == b.pixels);
            p.outputMode = 1;
            EncodeResult chunks = EncodeFrame(frame, p);
            ASSERT_EQ(chunks.code, 0);
            EXPECT_TRUE(chunks.stream == prog.stream);
        }
    }
}

TEST(JpegEncoderExifPeer, ProgressiveWithThumbnailAndClassing)
{
    lumtest::TempDir dir;
    Frame frame = MakeFrame(MakeNoiseImage(200, 120, 3), 1);
    JpegEncodeParams p = DefaultParams(200, 120, 1, 100);
    p.codingMode = 2;
    p.activityClassing = 1;
    p.headerKind = 1;
    p.thumbnailOn = 1;
    p.thumbnailKind = 1;
    p.thumbnailWidth = 100;
    p.thumbnailHeight = 60;
    p.exif = SampleExif();
    p.outputMode = 1;
    EncodeResult r = EncodeFrame(frame, p);
    ASSERT_EQ(r.code, 0);
    Decoded d = DecodeWithPeer(r.stream);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.warnings, 0);
    WriteFile(dir.path() / "p.jpg", r.stream);
    Decoded thumb = DecodeWithPeer(ReadAll("exiftool -b -ThumbnailImage '" + (dir.path() / "p.jpg").string() + "'"));
    ASSERT_TRUE(thumb.ok);
    EXPECT_FALSE(thumb.progressive);
    EXPECT_EQ(thumb.width, 100);
}

// Target sizes from 5 % to 100 % of the stream at quality 100: the stream
// never exceeds the target, uses most of it, and decodes cleanly.
TEST(JpegEncoderExifPeer, RateControlMeetsTargets)
{
    for (int format : {1, 4}) {
        Frame frame = MakeFrame(MakeTestImage(1280, 960), format);
        JpegEncodeParams p = DefaultParams(1280, 960, format, 100);
        size_t full = EncodeFrame(frame, p).stream.size();
        for (double share : {0.05, 0.1, 0.2, 0.35, 0.5, 0.8, 1.0}) {
            uint32_t target = static_cast<uint32_t>(static_cast<double>(full) * share);
            SCOPED_TRACE(testing::Message() << "format " << format << " target " << target);
            JpegEncoder* enc = nullptr;
            ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
            ASSERT_EQ(enc->SetConfig(enc, kJpegConfigTargetBytes, static_cast<int32_t>(target)), 0);
            uint32_t size = 0;
            enc->GetConfig(enc, kJpegConfigOutputSize, &size);
            EXPECT_EQ(size, target);
            std::vector<uint8_t> out(size);
            ASSERT_EQ(enc->Encode(enc, frame.data.data(), out.data(), &size), 0);
            enc->Release(enc);
            out.resize(size);
            EXPECT_LE(size, target);
            if (share < 1.0) {
                EXPECT_GE(size, target * 0.75);
            }
            Decoded d = DecodeWithPeer(out);
            ASSERT_TRUE(d.ok) << d.error;
            EXPECT_EQ(d.warnings, 0);
            EXPECT_GE(Psnr(d.pixels, frame.expected), 20.0);
        }
    }
}

}  // namespace
