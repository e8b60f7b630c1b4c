// The EXIF reader on TIFF blocks built here, in both byte orders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exif/ExifTags.h"
#include "exif/JpegAppReader.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderInternal.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A TIFF structure: IFDs of entries whose out-of-line values follow them.
class TiffBuilder {
public:
    explicit TiffBuilder(bool big) : big_(big) {}

    struct Entry {
        uint16_t tag;
        uint16_t type;
        uint32_t count;
        Bytes value;  // inline when 4 bytes or fewer
    };

    void Put(Bytes& b, uint32_t v, int size) const {
        for (int i = 0; i < size; ++i) {
            const int shift = big_ ? 8 * (size - 1 - i) : 8 * i;
            b.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    Bytes U16(uint32_t v) const {
        Bytes b;
        Put(b, v, 2);
        return b;
    }
    Bytes U32(uint32_t v) const {
        Bytes b;
        Put(b, v, 4);
        return b;
    }
    Bytes Rational(uint32_t n, uint32_t d) const {
        Bytes b = U32(n);
        const Bytes e = U32(d);
        b.insert(b.end(), e.begin(), e.end());
        return b;
    }

    // Appends an IFD at the current end; next is patched later. Returns its offset.
    uint32_t AddIfd(const std::vector<Entry>& entries) {
        const uint32_t at = static_cast<uint32_t>(tiff_.size());
        Put(tiff_, static_cast<uint32_t>(entries.size()), 2);
        uint32_t values = at + 2 + 12 * static_cast<uint32_t>(entries.size()) + 4;
        Bytes area;
        for (const Entry& e : entries) {
            Put(tiff_, e.tag, 2);
            Put(tiff_, e.type, 2);
            Put(tiff_, e.count, 4);
            if (e.value.size() <= 4) {
                Bytes v = e.value;
                v.resize(4, 0);
                tiff_.insert(tiff_.end(), v.begin(), v.end());
            } else {
                Put(tiff_, values + static_cast<uint32_t>(area.size()), 4);
                area.insert(area.end(), e.value.begin(), e.value.end());
            }
        }
        nextSlots_.push_back(tiff_.size());
        Put(tiff_, 0, 4);
        tiff_.insert(tiff_.end(), area.begin(), area.end());
        return at;
    }
    void SetNext(size_t ifdIndex, uint32_t offset) {
        Bytes v = U32(offset);
        std::memcpy(&tiff_[nextSlots_[ifdIndex]], v.data(), 4);
    }
    uint32_t Append(const Bytes& b) {
        const uint32_t at = static_cast<uint32_t>(tiff_.size());
        tiff_.insert(tiff_.end(), b.begin(), b.end());
        return at;
    }
    uint32_t Size() const { return static_cast<uint32_t>(tiff_.size()); }
    void Patch(uint32_t at, const Bytes& b) { std::memcpy(&tiff_[at], b.data(), b.size()); }

    // SOI, APP1 "Exif\0\0" + TIFF, an 8 x 8 grey frame, EOI.
    Bytes File() const {
        Bytes f = {0xFF, 0xD8, 0xFF, 0xE1};
        const uint32_t length = 2 + 6 + static_cast<uint32_t>(tiff_.size());
        f.push_back(static_cast<uint8_t>(length >> 8));
        f.push_back(static_cast<uint8_t>(length));
        f.insert(f.end(), {'E', 'x', 'i', 'f', 0, 0});
        f.insert(f.end(), tiff_.begin(), tiff_.end());
        f.insert(f.end(), {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0, 0xFF, 0xD9});
        return f;
    }

    Bytes tiff_;

private:
    bool big_;
    std::vector<size_t> nextSlots_;
};

Bytes Text(const std::string& s) {
    Bytes b(s.begin(), s.end());
    b.push_back(0);
    return b;
}

// A small JPEG stream for IFD1: SOI, an SOF of 16 x 8 with 4:2:0, EOI.
Bytes Thumbnail(uint8_t sof) {
    return {0xFF, 0xD8, 0xFF, sof, 0, 17, 8, 0, 8, 0, 16, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1, 0xFF, 0xD9};
}

struct Layout {
    bool big = false;
    bool exifIfd = true;
    uint32_t ifd0Offset = 8;
    std::string make = "Lum";
    uint8_t thumbSof = 0xC0;
    uint32_t gpsOffset = 0;       // a GPS IFD pointer with this value (not walked to)
    uint32_t exifOffset = 0;      // when not 0, the Exif IFD pointer's value instead of the IFD's place
    bool thumbOffsetZero = false;  // IFD1 names neither a JPEG stream nor strips
};

Bytes ExifFile(const Layout& l) {
    using namespace exif;
    TiffBuilder t(l.big);
    t.Append({static_cast<uint8_t>(l.big ? 'M' : 'I'), static_cast<uint8_t>(l.big ? 'M' : 'I')});
    t.Append(t.U16(42));
    t.Append(t.U32(l.ifd0Offset));
    while (t.Size() < l.ifd0Offset) {
        t.Append({0xEE});
    }
    const Bytes make = Text(l.make);
    std::vector<TiffBuilder::Entry> ifd0 = {
        {kTagMake, kTypeAscii, static_cast<uint32_t>(make.size()), make},
        {kTagModel, kTypeAscii, 10, Text("Model 123")},
        {kTagOrientation, kTypeShort, 1, t.U16(6)},
        {kTagXResolution, kTypeRational, 1, t.Rational(72, 1)},
        {kTagDateTime, kTypeAscii, 20, Text("2024:01:02 03:04:05")},
    };
    if (l.gpsOffset) {
        ifd0.push_back({kTagGpsIfdPointer, kTypeLong, 1, t.U32(l.gpsOffset)});
    }
    if (l.exifIfd) {
        ifd0.push_back({kTagExifIfdPointer, kTypeLong, 1, t.U32(0)});
    }
    const uint32_t ifd0At = t.AddIfd(ifd0);
    if (l.exifIfd) {
        const uint32_t exifAt = t.AddIfd({
            {kTagExposureTime, kTypeRational, 1, t.Rational(1, 125)},
            {kTagFNumber, kTypeRational, 1, t.Rational(28, 10)},
            {kTagPixelXDimension, kTypeShort, 1, t.U16(1280)},
            {kTagPixelYDimension, kTypeLong, 1, t.U32(960)},
            {kTagFlash, kTypeShort, 1, t.U16(16)},
        });
        // The pointer entry is the last of IFD0: patch its value field.
        t.Patch(ifd0At + 2 + 12 * static_cast<uint32_t>(ifd0.size() - 1) + 8,
                t.U32(l.exifOffset ? l.exifOffset : exifAt));
    }
    const Bytes thumb = Thumbnail(l.thumbSof);
    const uint32_t ifd1At = t.AddIfd({
        {kTagCompression, kTypeShort, 1, t.U16(6)},
        {kTagJpegInterchangeFormat, kTypeLong, 1, t.U32(0)},
        {kTagJpegInterchangeFormatLength, kTypeLong, 1, t.U32(static_cast<uint32_t>(thumb.size()))},
    });
    const uint32_t thumbAt = t.Append(thumb);
    t.Patch(ifd1At + 2 + 12 + 8, t.U32(l.thumbOffsetZero ? 0 : thumbAt));
    t.SetNext(0, ifd1At);
    return t.File();
}

struct Read {
    int32_t result;
    JpegImageInfo info;
    uint8_t kind;
    uint32_t length;
};

Read ReadFile(const Bytes& file) {
    Read r{};
    JpegDecoder* d = nullptr;
    r.result = gCreateJpegImageDecoder(&d, file.data(), static_cast<uint32_t>(file.size()), &r.info, &r.kind, &r.length, 1);
    if (d) {
        d->Release(d);
    }
    return r;
}

TEST(ExifReader, BothByteOrdersReadAlike) {
    Layout little, big;
    big.big = true;
    const Read a = ReadFile(ExifFile(little));
    const Read b = ReadFile(ExifFile(big));
    ASSERT_EQ(a.result, 0);
    ASSERT_EQ(b.result, 0);
    const JpegExifValues& e = a.info.exif;
    EXPECT_STREQ(e.make, "Lum");
    EXPECT_EQ(e.makeLength, 4);
    EXPECT_STREQ(e.model, "Model 123");
    EXPECT_EQ(e.orientation, 6);
    EXPECT_EQ(e.xResolution.numerator, 72u);
    EXPECT_EQ(e.xResolution.denominator, 1u);
    EXPECT_STREQ(e.dateTime, "2024:01:02 03:04:05");
    EXPECT_EQ(e.exposureTime.denominator, 125u);
    EXPECT_EQ(e.fNumber.numerator, 28u);
    EXPECT_EQ(e.pixelXDimension, 1280u);
    EXPECT_EQ(e.pixelYDimension, 960u);
    EXPECT_EQ(e.flash, 16);
    EXPECT_EQ(e.thumbCompression, 6);
    EXPECT_EQ(a.kind, kJpegFrameBaseline);
    EXPECT_EQ(a.info.thumbnail.form, kJpegThumbFormExifJpeg);
    EXPECT_EQ(a.info.thumbnail.width, 16);
    EXPECT_EQ(a.info.thumbnail.paddedWidth, 16);
    EXPECT_EQ(a.length, 23u);
    // Everything but the byte order mark agrees.
    JpegExifValues x = a.info.exif, y = b.info.exif;
    x.byteOrder = y.byteOrder = 0;
    EXPECT_EQ(std::memcmp(&x, &y, sizeof(x)), 0);
    EXPECT_EQ(a.info.thumbnailOffset, b.info.thumbnailOffset);
}

TEST(ExifReader, TextsAndLayouts) {
    Layout longMake;
    longMake.make = std::string(60, 'M');
    EXPECT_EQ(std::string(ReadFile(ExifFile(longMake)).info.exif.make), std::string(50, 'M'));

    // IFD0 where the header says, not always at 8.
    Layout moved;
    moved.ifd0Offset = 20;
    moved.big = true;
    EXPECT_EQ(ReadFile(ExifFile(moved)).info.exif.orientation, 6);

    // IFD1 is read without an Exif IFD too.
    Layout noExif;
    noExif.exifIfd = false;
    const Read r = ReadFile(ExifFile(noExif));
    EXPECT_EQ(r.kind, kJpegFrameBaseline);
    EXPECT_EQ(r.info.exif.pixelXDimension, 0u);

    // A progressive thumbnail reports its own frame kind.
    Layout progressive;
    progressive.thumbSof = 0xC2;
    EXPECT_EQ(ReadFile(ExifFile(progressive)).kind, kJpegFrameProgressive);
}

// Offsets that leave the segment yield no value and no thumbnail.
TEST(ExifReader, BadOffsetsAreIgnored) {
    Bytes file = ExifFile(Layout{});
    // IFD0 offset far beyond the segment.
    Bytes broken = file;
    broken[12 + 4] = 0xFF;
    broken[12 + 5] = 0xFF;
    const Read r = ReadFile(broken);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.kind, 0);
    EXPECT_EQ(r.info.exif.orientation, 0);
    // Every truncation of the file gives a defined result.
    for (size_t n = 0; n < file.size(); ++n) {
        const Bytes cut(file.begin(), file.begin() + static_cast<long>(n));
        const Read c = ReadFile(cut);
        EXPECT_TRUE(c.result == 0 || c.result == -1 || c.result == -2) << n;
    }
}

// An IFD pointer that leaves the segment, or an IFD1 that says where no
// thumbnail begins, ends the reading with -15: the values read so far stay,
// no thumbnail is offered.
TEST(ExifReader, BrokenIfdsOfferNoThumbnail) {
    const struct {
        const char* name;
        Layout layout;
        int32_t result;
    } cases[] = {
        {"sound", Layout{}, 0},
        {"Exif IFD beyond the segment", [] { Layout l; l.exifOffset = 0xFFF0; return l; }(), kExifOutOfData},
        {"GPS IFD beyond the segment", [] { Layout l; l.gpsOffset = 0xFFF0; return l; }(), kExifOutOfData},
        {"both thumbnail offsets 0", [] { Layout l; l.thumbOffsetZero = true; return l; }(), kExifOutOfData},
    };
    for (const auto& c : cases) {
        const Bytes file = ExifFile(c.layout);
        JpegByteReader reader(file.data() + 4, file.size() - 4);
        JpegAppRecord record;
        EXPECT_EQ(JpegReadExifSegment(reader, record, jpeg::ReadStreamHeader), c.result) << c.name;
        EXPECT_EQ(record.thumbKind, c.result == 0 ? uint8_t{kJpegFrameBaseline} : uint8_t{kJpegThumbNone}) << c.name;
        EXPECT_EQ(record.exif.orientation, 6) << c.name;
        EXPECT_EQ(reader.pos, file.size() - 4 - 15) << c.name;  // after the segment, at the frame
        const Read r = ReadFile(file);
        EXPECT_EQ(r.result, 0) << c.name;
        EXPECT_EQ(r.kind, record.thumbKind) << c.name;
    }
}

// Which APPn segment names the thumbnail when a file carries several.
TEST(JpegAppSegments, TheFirstSegmentThatNamesAThumbnailCounts) {
    const Bytes exifFile = ExifFile(Layout{});
    const Bytes exif(exifFile.begin() + 2, exifFile.end() - 15);  // the APP1 segment alone
    const std::string xmpText = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    Bytes xmp = {0xFF, 0xE1, 0, static_cast<uint8_t>(2 + xmpText.size())};
    xmp.insert(xmp.end(), xmpText.begin(), xmpText.end());
    const Bytes jfif = {0xFF, 0xE0, 0, 16 + 3, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 1, 1, 10, 20, 30};
    const Bytes jfifPlain = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0};
    const Bytes jfxxRgb = {0xFF, 0xE0, 0, 10 + 3, 'J', 'F', 'X', 'X', 0, 0x13, 1, 1, 10, 20, 30};
    const Bytes app13NoSoi = {0xFF, 0xED, 0, 8, 'P', 'h', 'o', 't', 'o', 0};
    const struct {
        const char* name;
        std::vector<Bytes> segments;
        uint8_t kind;
        bool exifValues;
    } cases[] = {
        {"EXIF, then XMP in a second APP1", {exif, xmp}, kJpegFrameBaseline, true},
        {"XMP, then EXIF", {xmp, exif}, kJpegFrameBaseline, true},
        {"JFXX before JFIF is skipped", {jfxxRgb, jfifPlain}, kJpegThumbNone, false},
        {"JFXX after JFIF", {jfifPlain, jfxxRgb}, kJpegThumbRgb, false},
        {"APP13 without SOI names none, a later EXIF does", {app13NoSoi, exif}, kJpegFrameBaseline, true},
        {"JFIF's thumbnail first, EXIF's ignored", {jfif, exif}, kJpegThumbRgb, true},
    };
    for (const auto& c : cases) {
        Bytes file = {0xFF, 0xD8};
        for (const Bytes& segment : c.segments) {
            file.insert(file.end(), segment.begin(), segment.end());
        }
        file.insert(file.end(), {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0, 0xFF, 0xD9});
        const Read r = ReadFile(file);
        ASSERT_EQ(r.result, 0) << c.name;
        EXPECT_EQ(r.kind, c.kind) << c.name;
        EXPECT_EQ(std::string(r.info.exif.make), c.exifValues ? "Lum" : "") << c.name;
        uint16_t w = 0, h = 0;
        uint8_t kind = 9;
        uint32_t length = 0;
        ASSERT_EQ(gParseJpegHeader(file.data(), static_cast<uint32_t>(file.size()), &w, &h, &kind, &length), 0)
            << c.name;
        EXPECT_EQ(kind, c.kind) << c.name;
    }
}

// The thumbnail header reader: a height out of range is a broken stream (-1),
// a width out of range one the thumbnail path does not take (-4).
TEST(JpegAppSegments, ThumbnailHeaderSizeLimits) {
    const struct {
        uint16_t width, height;
        int32_t result;
    } cases[] = {{8, 8, 0}, {8, 0, -1}, {8, 65521, -1}, {0, 8, kThumbUnsupported}, {65521, 8, kThumbUnsupported}};
    for (const auto& c : cases) {
        const Bytes stream = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8,
                              static_cast<uint8_t>(c.height >> 8), static_cast<uint8_t>(c.height),
                              static_cast<uint8_t>(c.width >> 8), static_cast<uint8_t>(c.width),
                              1, 1, 0x11, 0, 0xFF, 0xD9};
        JpegStreamHeader header;
        EXPECT_EQ(jpeg::ReadStreamHeader(stream.data(), stream.size(), header), c.result)
            << c.width << " x " << c.height;
    }
}

}  // namespace
