// EXIF block layout, thumbnails, progressive tables and rate control: the
// fixed arithmetic and the refusals, without outside programs.
#include "JpegEncoderTestSupport.h"

#include "exif/ExifTags.h"
#include "exif/ExifWriter.h"
#include "jpeg/JpegEncoderProgressive.h"
#include "jpeg/JpegEncoderThumbnail.h"
#include "jpeg/JpegRateControl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace jpegtest;

uint16_t Le16(const std::vector<uint8_t>& s, size_t at)
{
    return static_cast<uint16_t>(s[at] | (s[at + 1] << 8));
}

uint32_t Le32(const std::vector<uint8_t>& s, size_t at)
{
    return s[at] | (s[at + 1] << 8) | (s[at + 2] << 16) | (static_cast<uint32_t>(s[at + 3]) << 24);
}

TEST(ExifWriter, RationalsFollowTheDenominatorSteps)
{
    const struct {
        double x;
        int32_t num, den;
    } cases[] = {
        {37.5, 375000, 10000},  {0.05, 5000000, 100000000}, {12345.6, 1234560, 100}, {150.25, 150250, 1000},
        {0.75, 75000, 100000},  {0.2, 200000, 1000000},     {-33.87, -338700, 10000}, {0.0, 0, 100000000},
        {std::nan(""), 0, 100000000}, {1e12, std::numeric_limits<int32_t>::max(), 100},
        {-1e12, std::numeric_limits<int32_t>::min(), 100},
    };
    for (const auto& c : cases) {
        int32_t num = 7;
        EXPECT_EQ(exif::ExifRational(c.x, &num), c.den) << c.x;
        EXPECT_EQ(num, c.num) << c.x;
    }
}

ExifInfo Info(const char* make, const char* date)
{
    ExifInfo x{};
    std::snprintf(x.Make, sizeof(x.Make), "%s", make);
    std::snprintf(x.DateTimeOriginal, sizeof(x.DateTimeOriginal), "%s", date);
    x.Orientation = 1;
    x.GpsLatitude = 10.5;
    x.GpsLongitude = -20.25;
    x.GpsHasFix = 1;
    return x;
}

std::vector<uint8_t> EncodeExif(const ExifInfo& info, int thumbOn = 0)
{
    Frame f = MakeFrame(MakeTestImage(64, 48), 1);
    JpegEncodeParams p = DefaultParams(64, 48, 1, 75);
    p.headerKind = 1;
    p.exif = info;
    p.thumbnailOn = thumbOn;
    p.thumbnailKind = 1;
    p.thumbnailWidth = 32;
    p.thumbnailHeight = 24;
    EncodeResult r = EncodeFrame(f, p);
    EXPECT_EQ(r.code, 0);
    return r.stream;
}

struct IfdEntry {
    uint16_t tag, type;
    uint32_t count, value;
};

std::vector<IfdEntry> ReadIfd(const std::vector<uint8_t>& s, uint32_t offset, uint32_t* next)
{
    std::vector<IfdEntry> entries;
    size_t at = exif::kTiffStreamOffset + offset;
    uint16_t n = Le16(s, at);
    for (uint16_t i = 0; i < n; ++i) {
        size_t e = at + 2 + 12 * i;
        entries.push_back({Le16(s, e), Le16(s, e + 2), Le32(s, e + 4), Le32(s, e + 8)});
    }
    *next = Le32(s, at + 2 + 12 * n);
    return entries;
}

uint32_t TypeSize(uint16_t type)
{
    return type == exif::kTypeShort ? 2 : (type == exif::kTypeLong ? 4 : (type >= 5 && type != 7 ? 8 : 1));
}

// Every IFD in ascending tag order, every out-of-line value at an even offset inside the block.
void CheckIfds(const std::vector<uint8_t>& s)
{
    ASSERT_EQ(s[2], 0xFF);
    ASSERT_EQ(s[3], 0xE1);
    const uint8_t head[14] = {'E', 'x', 'i', 'f', 0, 0, 0x49, 0x49, 0x2A, 0, 8, 0, 0, 0};
    ASSERT_TRUE(std::equal(head, head + 14, s.begin() + 6));
    uint32_t app1End = 4 + ((s[4] << 8) | s[5]);
    std::vector<uint32_t> pending = {8};
    while (!pending.empty()) {
        uint32_t ifd = pending.back();
        pending.pop_back();
        uint32_t next = 0;
        auto entries = ReadIfd(s, ifd, &next);
        for (size_t i = 0; i < entries.size(); ++i) {
            const IfdEntry& e = entries[i];
            if (i > 0) {
                EXPECT_LT(entries[i - 1].tag, e.tag) << "IFD at " << ifd;
            }
            if (TypeSize(e.type) * e.count > 4) {
                EXPECT_EQ(e.value % 2, 0u) << "tag " << e.tag;
                EXPECT_LE(exif::kTiffStreamOffset + e.value + TypeSize(e.type) * e.count, app1End);
            }
            if (e.tag == exif::kTagExifIfdPointer || e.tag == exif::kTagGpsIfdPointer) {
                pending.push_back(e.value);
            }
        }
        if (next != 0) {
            pending.push_back(next);
        }
    }
}

const IfdEntry* Find(const std::vector<IfdEntry>& entries, uint16_t tag)
{
    for (const IfdEntry& e : entries) {
        if (e.tag == tag) {
            return &e;
        }
    }
    return nullptr;
}

TEST(ExifWriter, BlockLayout)
{
    std::vector<uint8_t> s = EncodeExif(Info("ABC", "2006:02:03 04:02:12"));
    CheckIfds(s);
    uint32_t next = 1;
    auto ifd0 = ReadIfd(s, 8, &next);
    EXPECT_EQ(next, 0u);  // no thumbnail
    const IfdEntry* make = Find(ifd0, exif::kTagMake);
    ASSERT_NE(make, nullptr);
    EXPECT_EQ(make->count, 4u);
    EXPECT_EQ(make->value, 0x00434241u);  // "ABC" inline
    const IfdEntry* exifPtr = Find(ifd0, exif::kTagExifIfdPointer);
    ASSERT_NE(exifPtr, nullptr);
    auto ex = ReadIfd(s, exifPtr->value, &next);
    const IfdEntry* date = Find(ex, exif::kTagDateTimeOriginal);
    ASSERT_NE(date, nullptr);
    EXPECT_EQ(date->count, 20u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&s[exif::kTiffStreamOffset + date->value]), 19),
              "2006:02:03 04:02:12");
    const IfdEntry* version = Find(ex, exif::kTagExifVersion);
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->value, 0u);  // empty version: four zero bytes
    const IfdEntry* gpsPtr = Find(ifd0, exif::kTagGpsIfdPointer);
    ASSERT_NE(gpsPtr, nullptr);
    auto gps = ReadIfd(s, gpsPtr->value, &next);
    const IfdEntry* lon = Find(gps, exif::kTagGpsLongitude);
    ASSERT_NE(lon, nullptr);
    EXPECT_EQ(lon->count, 3u);
    size_t v = exif::kTiffStreamOffset + lon->value;
    EXPECT_EQ(Le32(s, v), 202500u);  // |-20.25| x 10000
    EXPECT_EQ(Le32(s, v + 4), 10000u);
    const IfdEntry* lonRef = Find(gps, 0x0003);
    ASSERT_NE(lonRef, nullptr);
    EXPECT_EQ(lonRef->value & 0xFF, static_cast<uint32_t>('W'));

    // An out-of-line make and an empty date; no GPS block without a fix.
    ExifInfo other = Info("VELMORA", "");
    other.GpsHasFix = 0;
    s = EncodeExif(other);
    CheckIfds(s);
    ifd0 = ReadIfd(s, 8, &next);
    EXPECT_EQ(Find(ifd0, exif::kTagMake)->count, 8u);
    EXPECT_EQ(Find(ifd0, exif::kTagGpsIfdPointer), nullptr);
    ex = ReadIfd(s, Find(ifd0, exif::kTagExifIfdPointer)->value, &next);
    EXPECT_EQ(Find(ex, exif::kTagDateTimeOriginal)->count, 1u);
    EXPECT_EQ(Find(ex, exif::kTagDateTimeOriginal)->value, 0u);

    // Camera values left at 0/0 are left out; a known one stays.
    other.FocalLength = {3254, 10};
    s = EncodeExif(other);
    CheckIfds(s);
    ifd0 = ReadIfd(s, 8, &next);
    ex = ReadIfd(s, Find(ifd0, exif::kTagExifIfdPointer)->value, &next);
    for (uint16_t tag : {exif::kTagExposureTime, exif::kTagFNumber, exif::kTagExposureBiasValue,
                         exif::kTagSubjectDistance, exif::kTagFocalPlaneXResolution,
                         exif::kTagFocalPlaneYResolution, exif::kTagDigitalZoomRatio})
        EXPECT_EQ(Find(ex, tag), nullptr) << "tag 0x" << std::hex << tag;
    const IfdEntry* focal = Find(ex, exif::kTagFocalLength);
    ASSERT_NE(focal, nullptr);
    EXPECT_EQ(Le32(s, exif::kTiffStreamOffset + focal->value), 3254u);
    EXPECT_EQ(Le32(s, exif::kTiffStreamOffset + focal->value + 4), 10u);
    EXPECT_EQ(next, 0u) << "the entry count matches what was written";
}

TEST(ExifWriter, ThumbnailIfdPointsAtTheThumbnailStream)
{
    std::vector<uint8_t> s = EncodeExif(Info("VELMORA", "2006:02:03 04:02:12"), 1);
    CheckIfds(s);
    uint32_t next = 0;
    ReadIfd(s, 8, &next);
    ASSERT_NE(next, 0u);
    uint32_t last = 0;
    auto ifd1 = ReadIfd(s, next, &last);
    EXPECT_EQ(last, 0u);
    EXPECT_EQ(Find(ifd1, exif::kTagCompression)->value, exif::kCompressionJpeg);
    uint32_t offset = Find(ifd1, exif::kTagJpegInterchangeFormat)->value;
    uint32_t length = Find(ifd1, exif::kTagJpegInterchangeFormatLength)->value;
    size_t at = exif::kTiffStreamOffset + offset;
    EXPECT_EQ(s[at], 0xFF);
    EXPECT_EQ(s[at + 1], 0xD8);
    EXPECT_EQ((at + length) % 4, 0u);  // the nested run ends on a whole word of the stream
    uint32_t app1End = 4 + ((s[4] << 8) | s[5]);
    EXPECT_EQ(at + length, app1End);
    EXPECT_EQ(s[app1End], 0xFF);
    EXPECT_EQ(s[app1End + 1], 0xDB);  // the picture's DQT follows
}

TEST(EncoderThumbnail, BoxScalerAveragesAndRepeatsTheEdges)
{
    const int sw = 1280, sh = 960, dw = 320, dh = 240;
    std::vector<uint8_t> src(static_cast<size_t>(sw) * sh);
    for (int y = 0; y < sh; ++y) {
        for (int x = 0; x < sw; ++x) {
            src[y * sw + x] = static_cast<uint8_t>((x * 7 + y * 3 + (x * y) % 11) & 255);
        }
    }
    const int stride = 336, rows = 256;
    std::vector<uint8_t> dst(static_cast<size_t>(stride) * rows, 0);
    std::vector<uint32_t> sums(sw);
    ScalePlaneBox(src.data(), dst.data(), sw, sh, sw, sh, dw, dh, stride, rows, sums.data());
    for (int j = 0; j < dh - 1; j += 7) {
        for (int i = 0; i < dw - 1; i += 5) {
            int sum = 0;
            for (int y = 4 * j; y < 4 * j + 4; ++y) {
                for (int x = 4 * i; x < 4 * i + 4; ++x) {
                    sum += src[y * sw + x];
                }
            }
            ASSERT_EQ(dst[j * stride + i], sum / 16) << i << "," << j;
        }
    }
    for (int j = 0; j < rows; ++j) {
        int row = j < dh - 1 ? j : dh - 2;
        for (int i = dw - 1; i < stride; ++i) {
            ASSERT_EQ(dst[j * stride + i], dst[row * stride + dw - 2]) << i << "," << j;
        }
        if (j >= dh - 1) {
            ASSERT_TRUE(std::equal(dst.begin() + j * stride, dst.begin() + (j + 1) * stride,
                                   dst.begin() + (dh - 2) * stride));
        }
    }
}

TEST(EncoderThumbnail, ColourConversionLimits)
{
    uint8_t rgb[3];
    for (int y : {0, 17, 128, 255}) {
        YccToRgb(y, 128, 128, rgb);
        EXPECT_EQ(rgb[0], y);
        EXPECT_EQ(rgb[1], y);
        EXPECT_EQ(rgb[2], y);
    }
    YccToRgb(255, 128, 255, rgb);
    EXPECT_EQ(rgb[0], 255);
    YccToRgb(0, 0, 0, rgb);
    EXPECT_EQ(rgb[0], 0);
    EXPECT_EQ(rgb[2], 0);
}

TEST(EncoderThumbnail, RefusalsAndOversizedThumbnails)
{
    const struct {
        int format, headerKind, thumbOn, kind, tw, th;
        int32_t expected;
    } cases[] = {
        {1, 1, 1, 1, 2, 120, kJpegBadSize},        {1, 1, 1, 1, 160, 0, kJpegBadSize},
        {3, 0, 1, 0, -4, 8, kJpegBadSize},         {10, 1, 1, 1, 64, 48, kJpegBadParameter},
        {10, 0, 1, 1, 64, 48, 0},                  {10, 1, 0, 1, 64, 48, 0},
        {4, 1, 1, 0, 64, 48, 0},
    };
    for (const auto& c : cases) {
        JpegEncodeParams p = DefaultParams(640, 480, c.format, 75);
        p.headerKind = c.headerKind;
        p.thumbnailOn = c.thumbOn;
        p.thumbnailKind = c.kind;
        p.thumbnailWidth = c.tw;
        p.thumbnailHeight = c.th;
        JpegEncoder* enc = nullptr;
        EXPECT_EQ(gCreateJpegImageEncoder(&enc, &p), c.expected) << c.format << " " << c.tw << "x" << c.th;
        if (enc != nullptr) {
            enc->Release(enc);
        }
    }
    // A JPEG thumbnail whose stream cannot fit one segment fails the frame without overrunning anything.
    Frame noise = MakeFrame(MakeNoiseImage(640, 480, 9), 3);
    JpegEncodeParams p = DefaultParams(640, 480, 3, 95);
    p.headerKind = 1;
    p.thumbnailOn = 1;
    p.thumbnailKind = 1;
    p.thumbnailWidth = 640;
    p.thumbnailHeight = 480;
    EncodeResult r = EncodeFrame(noise, p, 4u << 20);
    EXPECT_EQ(r.code, kJpegFailed);
    EXPECT_EQ(r.stream.size(), 0u);
}

TEST(EncoderThumbnail, EncodeToBufferRefusals)
{
    Frame f = MakeFrame(MakeTestImage(64, 256), 1);
    JpegEncodeParams p = DefaultParams(64, 256, 1, 75);
    p.outputMode = 1;
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    std::vector<uint8_t> source = {0xFF, 0xD8, 0xFF, 0xD9};
    JpegSourceStream src{source.data(), 4};
    uint32_t need = 4;
    enc->GetConfig(enc, kJpegConfigWrapSize, &need);
    std::vector<uint8_t> out(need);
    uint32_t size = need - 1;
    EXPECT_EQ(enc->EncodeToBuffer(enc, &src, f.data.data(), out.data(), &size), kJpegOutputTooSmall);
    EXPECT_EQ(size, 0u);
    size = need;
    EXPECT_EQ(enc->EncodeToBuffer(enc, nullptr, f.data.data(), out.data(), &size), kJpegFailed);
    std::vector<uint8_t> notJpeg = {0x00, 0xD8, 0xFF, 0xD9};
    JpegSourceStream bad{notJpeg.data(), 4};
    EXPECT_EQ(enc->EncodeToBuffer(enc, &bad, f.data.data(), out.data(), &size), kJpegBadParameter);
    // In the middle of a chunked frame there is no new frame to wrap.
    ASSERT_EQ(enc->SetConfig(enc, kJpegConfigQuality, 100), 0);
    uint32_t figure = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &figure);
    std::vector<uint8_t> chunk(figure);
    uint32_t chunkSize = static_cast<uint32_t>(figure);
    Frame noise = MakeFrame(MakeNoiseImage(64, 256, 2), 1);
    ASSERT_EQ(enc->Encode(enc, noise.data.data(), chunk.data(), &chunkSize), kJpegMoreOutput);
    size = need;
    EXPECT_EQ(enc->EncodeToBuffer(enc, &src, f.data.data(), out.data(), &size), kJpegBadParameter);
    enc->Release(enc);

    // A plain wrap: our header, then the source without its SOI.
    p.outputMode = 0;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    size = need;
    ASSERT_EQ(enc->EncodeToBuffer(enc, &src, f.data.data(), out.data(), &size), 0);
    ASSERT_GE(size, 20u + 2u);
    EXPECT_EQ(out[0], 0xFF);
    EXPECT_EQ(out[1], 0xD8);
    EXPECT_EQ(out[2], 0xFF);
    EXPECT_EQ(out[3], 0xE0);
    EXPECT_EQ(out[size - 2], 0xFF);
    EXPECT_EQ(out[size - 1], 0xD9);
    EXPECT_EQ(size, 2u + 18u + 2u);
    enc->Release(enc);
}

TEST(EncoderProgressive, TablesCarryTheRunLengthSymbols)
{
    const uint8_t counts[2][16] = {{0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 123},
                                   {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 117}};
    for (int t = 0; t < 2; ++t) {
        const jpeg::HuffmanSpec& spec = JpegProgressiveAcSpec(t);
        EXPECT_EQ(spec.count, 160);
        EXPECT_TRUE(std::equal(counts[t], counts[t] + 16, spec.bits)) << "table " << t;
        uint16_t code[256];
        uint8_t len[256];
        EXPECT_TRUE(jpeg::DeriveHuffmanCodes(spec, code, len));
        for (int r = 1; r <= 14; ++r) {
            EXPECT_GT(len[r << 4], 0) << "EOB" << r;
        }
    }
}

std::vector<int> Bits(const ScanBitBuffer& s)
{
    std::vector<int> out;
    for (uint32_t i = 0; i < s.count; ++i) {
        for (int b = 7; b >= 0; --b) {
            out.push_back((s.bytes[i] >> b) & 1);
        }
        if (s.bytes[i] == 0xFF) {
            ++i;
        }
    }
    for (int b = s.bits - 1; b >= 0; --b) {
        out.push_back(static_cast<int>((s.accumulator >> b) & 1));
    }
    return out;
}

std::vector<int> Code(uint32_t code, int len)
{
    std::vector<int> out;
    for (int i = len - 1; i >= 0; --i) {
        out.push_back((code >> i) & 1);
    }
    return out;
}

TEST(EncoderProgressive, EndOfBandRuns)
{
    const JpegHuffmanCodes& ac = JpegProgressiveAcCodes(0);
    int16_t zero[64] = {};
    int16_t one[64] = {};
    one[jpeg::kZigzagToNatural[3]] = 1;
    // Sixteen empty bands, then a coefficient: EOB4 with 0000, then run 2 size 1.
    ScanBitBuffer s;
    s.Clear();
    int32_t run = 0;
    for (int i = 0; i < 16; ++i) {
        EncodeBlockProgressiveAc(zero, 1, 5, run, s, ac);
        EXPECT_EQ(s.count, 0u);
    }
    EXPECT_EQ(run, 16);
    EncodeBlockProgressiveAc(one, 1, 5, run, s, ac);
    EXPECT_EQ(run, 1);  // positions 4 and 5 are zero: this band ends a new run
    std::vector<int> want = Code(ac.code[0x40], ac.length[0x40]);
    for (int i = 0; i < 4; ++i) {
        want.push_back(0);
    }
    auto sym = Code(ac.code[0x21], ac.length[0x21]);
    want.insert(want.end(), sym.begin(), sym.end());
    want.push_back(1);
    EXPECT_EQ(Bits(s), want);

    // The longest run goes out at once as EOB14 with all 14 bits set.
    s.Clear();
    run = kMaxEobRun - 1;
    EncodeBlockProgressiveAc(zero, 16, 63, run, s, ac);
    EXPECT_EQ(run, 0);
    want = Code(ac.code[0xE0], ac.length[0xE0]);
    for (int i = 0; i < 14; ++i) {
        want.push_back(1);
    }
    EXPECT_EQ(Bits(s), want);
}

// Runs of random blocks through each band against the coding rule walked
// position by position, end-of-band runs carried from block to block and
// one run started just below the longest.
TEST(EncoderProgressive, BandCoderMatchesThePlainWalk)
{
    const JpegHuffmanCodes& ac = JpegProgressiveAcCodes(1);
    uint32_t state = 17;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    const int bands[][2] = {{1, 5}, {6, 15}, {16, 63}, {1, 63}, {9, 9}, {40, 63}};
    for (int t = 0; t < 12; ++t) {
        int ss = bands[t % 6][0], se = bands[t % 6][1];
        int32_t eob = t >= 6 ? kMaxEobRun - 3 : 0;
        int32_t wantEob = eob;
        std::vector<int> want, got;
        auto putRun = [&](int32_t run) {
            int n = 31 - __builtin_clz(static_cast<uint32_t>(run));
            auto code = Code(ac.code[n << 4], ac.length[n << 4]);
            want.insert(want.end(), code.begin(), code.end());
            auto low = Code(static_cast<uint32_t>(run) & ((1u << n) - 1), n);
            want.insert(want.end(), low.begin(), low.end());
        };
        ScanBitBuffer s;
        s.Clear();
        for (int i = 0; i < 300; ++i) {
            int16_t block[64];
            uint32_t density = i % 3 == 0 ? 0 : next() % 40;  // a third of the bands are empty
            for (int16_t& c : block) {
                int v = static_cast<int>(next() % 300) + 1;
                c = static_cast<int16_t>(next() % 64 < density ? (next() & 1 ? v : -v) : 0);
            }
            int run = 0;
            for (int k = ss; k <= se; ++k) {
                int c = block[jpeg::kZigzagToNatural[k]];
                if (c == 0) {
                    ++run;
                    continue;
                }
                if (wantEob > 0) {
                    putRun(wantEob);
                    wantEob = 0;
                }
                for (; run >= 16; run -= 16) {
                    auto zrl = Code(ac.code[0xF0], ac.length[0xF0]);
                    want.insert(want.end(), zrl.begin(), zrl.end());
                }
                int cat = MagnitudeCategory(c);
                auto code = Code(ac.code[(run << 4) | cat], ac.length[(run << 4) | cat]);
                want.insert(want.end(), code.begin(), code.end());
                auto bits = Code(MagnitudeBits(c, cat), cat);
                want.insert(want.end(), bits.begin(), bits.end());
                run = 0;
            }
            if (run > 0 && ++wantEob == kMaxEobRun) {
                putRun(wantEob);
                wantEob = 0;
            }

            EncodeBlockProgressiveAc(block, ss, se, eob, s, ac);
            ASSERT_EQ(eob, wantEob) << "band " << ss << "-" << se << ", block " << i;
            for (uint32_t b = 0; b < s.count; ++b) {
                auto byte = Code(s.bytes[b], 8);
                got.insert(got.end(), byte.begin(), byte.end());
                b += s.bytes[b] == 0xFF ? 1 : 0;  // stuffed zero byte
            }
        }
        for (int b = s.bits - 1; b >= 0; --b) {
            got.push_back(static_cast<int>((s.accumulator >> b) & 1));
        }
        ASSERT_EQ(got, want) << "band " << ss << "-" << se;
    }
}

TEST(EncoderRateControl, QualityFromTarget)
{
    auto quality = [](int w, int h, int format, int mode, uint32_t target) {
        JpegEncodeParams p = DefaultParams(w, h, format, 75);
        p.codingMode = mode;
        JpegEncoder* enc = nullptr;
        EXPECT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
        EXPECT_EQ(enc->SetConfig(enc, kJpegConfigTargetQuality, static_cast<int32_t>(target)), 0);
        // The figure becomes the target; the quality shows in the DQT of a frame.
        uint32_t figure = 0;
        enc->GetConfig(enc, kJpegConfigOutputSize, &figure);
        EXPECT_EQ(figure, mode == 1 ? target : figure);
        int32_t q = JpegQualityFromTarget(static_cast<JpegEncoderImpl*>(enc), target);
        enc->Release(enc);
        return q;
    };
    // 176 x 144 counts as 25344 pixels, so x = target / 1.3 (format 1, no own tables).
    EXPECT_EQ(quality(176, 144, 1, 1, 2700), 1);             // x = 2076.9, below 2115
    EXPECT_EQ(quality(176, 144, 1, 1, 12169), 63);           // x = 9360.8
    EXPECT_EQ(quality(176, 144, 1, 1, 38412), 96);           // x = 29547.7
    EXPECT_EQ(quality(176, 144, 1, 1, 38416), 97);           // x = 29550.8
    EXPECT_EQ(quality(176, 144, 1, 1, 52000), 100);          // x = 40000
    EXPECT_EQ(quality(160, 120, 1, 1, 12169), 63);           // 19200 pixels count as 25344
    EXPECT_EQ(quality(176, 144, 1, 2, 50000), 100);
    EXPECT_EQ(quality(176, 144, 1, 2, 1500), 1);
    EXPECT_EQ(quality(176, 144, 1, 2, 2700), 51);            // x = 1700 / 1.3 = 1307.7: 307 / 6
}

TEST(EncoderRateControl, TightnessAndRateTables)
{
    JpegEncodeParams p = DefaultParams(64, 48, 1, 75);
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_EQ(JpegOwnTableTightness(static_cast<JpegEncoderImpl*>(enc)), 0.0f);
    enc->Release(enc);
    p.useLumaTable = 1;
    p.lumaTable = jpeg::kStdLumaQuant;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_FLOAT_EQ(JpegOwnTableTightness(static_cast<JpegEncoderImpl*>(enc)), 100.0f / 121.0f);
    enc->Release(enc);

    uint32_t sums[64] = {};
    for (int k = 0; k < 32; ++k) {
        sums[k] = 5000;
    }
    uint16_t luma[64], chroma[64];
    JpegBuildRateTables(sums, 1000.0f, 40.0f, 640 * 480, false, luma, chroma);
    for (int k = 32; k < 64; ++k) {
        EXPECT_EQ(luma[k], 64) << k;  // mean activity below 0.1
    }
    for (int k = 0; k < 64; ++k) {
        EXPECT_GE(luma[k], 2);
        EXPECT_LE(luma[k], 255);
        EXPECT_EQ(chroma[k], std::min(255, luma[k] + (jpeg::kNaturalToZigzag[k] >> 2) + 3));
    }
}

TEST(EncoderRateControl, TargetsTooSmallAreRefusedOrFailCleanly)
{
    Frame f = MakeFrame(MakeTestImage(320, 240), 3);
    JpegEncodeParams p = DefaultParams(320, 240, 3, 75);
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    uint32_t minimum = (320 * 240 >> 6) + 1024;
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigTargetBytes, static_cast<int32_t>(minimum - 1)), kJpegBadSize);
    ASSERT_EQ(enc->SetConfig(enc, kJpegConfigTargetBytes, static_cast<int32_t>(minimum)), 0);
    // 1200 MCUs of three blocks need 14 bits each as DC 0 and EOB: more than this target.
    std::vector<uint8_t> out(minimum + 16, 0xA5);
    uint32_t size = minimum;
    EXPECT_EQ(enc->Encode(enc, f.data.data(), out.data(), &size), kJpegFailed);
    for (size_t i = minimum; i < out.size(); ++i) {
        ASSERT_EQ(out[i], 0xA5);
    }
    // A feasible small target gives a complete stream within it.
    ASSERT_EQ(enc->SetConfig(enc, kJpegConfigTargetBytes, 4000), 0);
    out.assign(4000, 0);
    size = 4000;
    ASSERT_EQ(enc->Encode(enc, f.data.data(), out.data(), &size), 0);
    EXPECT_LE(size, 4000u);
    size_t eoi = size - 1;
    while (out[eoi] == 0) {
        --eoi;
    }
    EXPECT_EQ(out[eoi], 0xD9);
    enc->Release(enc);

    p.outputMode = 2;
    p.stripeRows = 1;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigTargetBytes, 100000), kJpegFailed);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigTargetQuality, 100000), kJpegFailed);
    enc->Release(enc);
}

}  // namespace
