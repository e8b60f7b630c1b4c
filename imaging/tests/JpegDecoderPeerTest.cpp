// Our decoder against libjpeg-turbo on pictures it encodes and on the real
// files of ../shared/testdata.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "JpegDecoderTestSupport.h"
#include "jpeg/JpegDecoder.h"
#include "lumtest/tempdir.h"

using namespace jpegtest;

namespace {

struct ToolRun {
    int status = -1;
    std::string output;  // standard output and error
};

ToolRun RunTool(const std::string& command) {
    ToolRun run;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return run;
    }
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0) {
        run.output.append(buf, n);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

struct Case {
    const char* name;
    EncodeOptions options;
    uint32_t width;
    uint32_t height;
};

// Sampling, progression, restarts, sizes and qualities.
const Case kCases[] = {
    {"baseline420", {75, 2, 2, false, false, 0}, 227, 149},
    {"baseline422", {90, 2, 1, false, false, 0}, 64, 48},
    {"baseline444", {50, 1, 1, false, false, 0}, 33, 33},
    {"baseline440", {75, 1, 2, false, false, 0}, 40, 31},
    {"grey", {85, 1, 1, true, false, 0}, 31, 17},
    {"progressive420", {75, 2, 2, false, true, 0}, 227, 149},
    {"progressive444", {95, 1, 1, false, true, 0}, 50, 37},
    {"progressiveGrey", {60, 1, 1, true, true, 0}, 45, 20},
    {"restarts420", {75, 2, 2, false, false, 3}, 100, 70},
    {"restartsProgressive", {75, 2, 2, false, true, 2}, 90, 50},
    {"quality10", {10, 2, 2, false, false, 0}, 64, 64},
    {"quality100", {100, 2, 2, false, false, 0}, 64, 64},
    {"size1x1", {75, 2, 2, false, false, 0}, 1, 1},
    {"size2x3", {75, 2, 2, false, false, 0}, 2, 3},
    {"size17x9", {75, 2, 2, false, false, 0}, 17, 9},
    {"size33x33", {75, 2, 1, false, true, 0}, 33, 33},
    {"large1280x960", {85, 2, 2, false, false, 0}, 1280, 960},
};

class JpegDecoderPeer : public testing::TestWithParam<Case> {};

// Planes agree with libjpeg-turbo's (islow transform, replicated chroma)
// within one level; the arithmetic differs only in the transform's rounding.
TEST_P(JpegDecoderPeer, PlanesMatchPeer) {
    const Case& c = GetParam();
    const std::vector<uint8_t> jpeg = PeerEncode(TestPattern(c.width, c.height), c.options);
    const OurPlanes ours = OurDecode(jpeg);
    ASSERT_EQ(ours.createResult, 0);
    ASSERT_EQ(ours.decodeResult, 0);
    const Picture peer = PeerDecode(jpeg, c.options.grey ? "grey" : "ycc");
    EXPECT_LE(MaxDifference(ours.ycc, peer), 2) << c.name;
    EXPECT_GE(Psnr(ours.ycc, peer), 50.0) << c.name;
}

// RGB565 output: packing loses 3 bits of red and blue and 2 of green, the
// dither adds up to 6; the rest is the transform's rounding.
TEST_P(JpegDecoderPeer, Rgb565MatchesPeer) {
    const Case& c = GetParam();
    const std::vector<uint8_t> jpeg = PeerEncode(TestPattern(c.width, c.height), c.options);
    int32_t result = -99;
    const Picture ours = OurRgb565(jpeg, 1, &result);
    ASSERT_EQ(result, 0);
    const Picture peer = PeerDecode(jpeg, "rgb");
    EXPECT_LE(MaxDifference(ours, peer), 16) << c.name;
    EXPECT_GE(Psnr(ours, peer), 34.0) << c.name;
}

// Each scale against libjpeg-turbo's scaled decode and against the
// box-filtered full-size decode of our own over the whole cells (a ragged
// edge cell also averages the padding). Luma matches the peer to rounding
// (measured >= 59.9 dB). Colour goes through RGB565 (about 38 dB against 8-bit
// RGB by itself): measured >= 35.9 dB against our box-filtered full size and
// >= 34.3 dB against the peer for 4:2:0, 4:4:4 and grey; for 4:2:2 and 4:4:0 the
// peer keeps chroma at half resolution in one direction, so only the box
// comparison applies.
TEST_P(JpegDecoderPeer, ScalesAgree) {
    const Case& c = GetParam();
    const std::vector<uint8_t> jpeg = PeerEncode(TestPattern(c.width, c.height), c.options);
    const Picture full = Channel(OurDecode(jpeg).ycc, 0);
    const Picture fullRgb = OurRgb565(jpeg, 1);
    for (int scale : {2, 4, 8}) {
        const uint32_t w = c.width / scale, h = c.height / scale;
        const OurPlanes ours = OurDecode(jpeg, scale);
        ASSERT_EQ(ours.decodeResult, 0) << scale;
        const Picture luma = Channel(ours.ycc, 0);
        EXPECT_GE(Psnr(luma, Channel(PeerDecode(jpeg, "grey", scale), 0)), 55.0) << c.name << " 1/" << scale;
        int32_t result = -99;
        const Picture rgb = OurRgb565(jpeg, scale, &result);
        ASSERT_EQ(result, 0);
        const uint8_t type = ours.samplingType;
        if (type == kJpegSampling420 || type == kJpegSampling444 || type == kJpegSamplingGrey) {
            EXPECT_GE(Psnr(rgb, PeerDecode(jpeg, "rgb", scale)), 32.0) << c.name << " 1/" << scale;
        }
        if (w == 0 || h == 0) {
            continue;
        }
        EXPECT_GE(Psnr(Crop(luma, w, h), Crop(Downscale(full, scale), w, h)), 45.0) << c.name << " 1/" << scale;
        EXPECT_GE(Psnr(Crop(rgb, w, h), Crop(Downscale(fullRgb, scale), w, h)), 34.0) << c.name << " 1/" << scale;
    }
}

INSTANTIATE_TEST_SUITE_P(Encoded, JpegDecoderPeer, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// RGB frames come out as RGB, as libjpeg-turbo reads them: told by the Adobe
// transform 0, or without an Adobe segment by the component ids "R", "G",
// "B". Subsampled RGB is refused.
TEST(JpegRgbPeer, RgbFramesDecodeWithoutColourConversion) {
    EncodeOptions options{90, 1, 1, false, false, 0, true};
    const std::vector<uint8_t> adobe = PeerEncode(TestPattern(64, 48), options);
    std::vector<uint8_t> idsOnly = adobe;
    for (size_t i = 2; i + 3 < idsOnly.size(); ++i) {
        if (idsOnly[i] == 0xFF && idsOnly[i + 1] == 0xEE) {
            const size_t length = size_t{idsOnly[i + 2]} << 8 | idsOnly[i + 3];
            idsOnly.erase(idsOnly.begin() + static_cast<std::ptrdiff_t>(i),
                          idsOnly.begin() + static_cast<std::ptrdiff_t>(i + 2 + length));
            break;
        }
    }
    ASSERT_LT(idsOnly.size(), adobe.size());
    for (const std::vector<uint8_t>* jpeg : {&adobe, static_cast<const std::vector<uint8_t>*>(&idsOnly)}) {
        const char* name = jpeg == &adobe ? "Adobe transform 0" : "ids R, G, B";
        int32_t result = -99;
        const Picture ours = OurRgb565(*jpeg, 1, &result);
        ASSERT_EQ(result, 0) << name;
        EXPECT_GE(Psnr(ours, PeerDecode(*jpeg, "rgb")), 34.0) << name;
        const OurPlanes planes = OurDecode(*jpeg);
        ASSERT_EQ(planes.decodeResult, 0) << name;
        EXPECT_EQ(planes.samplingType, kJpegSamplingRgb) << name;
    }
    options.hSamp = 2;
    EXPECT_EQ(OurDecode(PeerEncode(TestPattern(64, 48), options)).createResult, -1) << "subsampled RGB";
}

// Lossless re-encodings of the same coefficients decode to the same pixels.
TEST(JpegTranscodePeer, OptimizedAndProgressiveDecodeIdentically) {
    lumtest::TempDir dir;
    EncodeOptions options;
    options.restartInterval = 4;
    const std::vector<uint8_t> original = PeerEncode(TestPattern(200, 120), options);
    WriteFile(dir.path() / "in.jpg", original);
    const Picture reference = OurDecode(original).ycc;
    for (const char* flags : {"-optimize", "-progressive", "-progressive -optimize"}) {
        const auto out = dir.path() / "out.jpg";
        const std::string command = std::string("jpegtran ") + flags + " -outfile '" + out.string() + "' '" +
                                    (dir.path() / "in.jpg").string() + "'";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
        const OurPlanes ours = OurDecode(ReadFile(out));
        ASSERT_EQ(ours.decodeResult, 0) << flags;
        EXPECT_EQ(ours.ycc.pixels, reference.pixels) << flags;
    }
}

// A damaged restart interval is stepped over; the others decode as usual.
TEST(JpegRestartPeer, DamagedIntervalLeavesTheOthers) {
    EncodeOptions options;
    options.restartInterval = 2;
    options.quality = 90;
    std::vector<uint8_t> jpeg = PeerEncode(TestPattern(128, 64), options);
    const Picture clean = OurDecode(jpeg).ycc;
    // Garble the entropy data right after the second restart marker.
    size_t rst = 0;
    int seen = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7 && ++seen == 2) {
            rst = i;
            break;
        }
    }
    ASSERT_GT(rst, 0u);
    for (size_t i = rst + 2; i < rst + 8; ++i) {
        jpeg[i] = 0xFE;
    }
    const OurPlanes damaged = OurDecode(jpeg);
    ASSERT_EQ(damaged.decodeResult, 0);
    // MCU rows are 16 lines; the intervals after the damaged one match.
    const Picture& a = damaged.ycc;
    const size_t lastRows = size_t{clean.width} * 16 * 3;
    EXPECT_TRUE(std::equal(a.pixels.end() - lastRows, a.pixels.end(), clean.pixels.end() - lastRows));
    EXPECT_NE(a.pixels, clean.pixels);
}

// The real files: the IJG picture against its source, the reference tests
// against libjpeg-turbo's decode of the same file.
TEST(JpegFilesPeer, IjgPictureMatchesSource) {
    const std::vector<uint8_t> jpeg = ReadFile(lumtest::TestData("libjpeg-turbo/testorig.jpg"));
    const Picture peer = PeerDecode(jpeg, "rgb");
    const Picture ours = YccToRgb(OurDecode(jpeg).ycc);
    EXPECT_LE(MaxDifference(ours, peer), 4);
    EXPECT_GE(Psnr(ours, peer), 50.0);
}

TEST(JpegFilesPeer, ReferenceFilesMatchPeer) {
    const char* files[] = {
        "jpeg-decoder/reftest/extraneous-data.jpg",      "jpeg-decoder/reftest/grayscale_16x24_sampling2x2.jpg",
        "jpeg-decoder/reftest/grayscale_24x16_sampling2x2.jpg", "jpeg-decoder/reftest/non-interleaved-mcu.jpg",
        "jpeg-decoder/reftest/progressive-missing-ac.jpg",
        "jpeg-decoder/reftest/restarts.jpg",             "jpeg-decoder/reftest/rgb.jpg",
        "jpeg-decoder/mozilla/jpg-gray.jpg",             "jpeg-decoder/mozilla/jpg-progressive.jpg",
        "jpeg-decoder/mozilla/jpg-size-1x1.jpg",         "jpeg-decoder/mozilla/jpg-size-15x15.jpg",
        "jpeg-decoder/mozilla/jpg-size-17x17.jpg",       "jpeg-decoder/mozilla/jpg-size-33x33.jpg",
        "jpeg-decoder/mozilla/jpg-srgb-icc.jpg",         "libjpeg-turbo/testimgint.jpg",
    };
    for (const char* file : files) {
        const std::vector<uint8_t> jpeg = ReadFile(lumtest::TestData(file));
        const OurPlanes ours = OurDecode(jpeg);
        ASSERT_EQ(ours.createResult, 0) << file;
        EXPECT_EQ(ours.decodeResult, 0) << file;
        const bool rgb = ours.samplingType == kJpegSamplingRgb;
        const bool grey = ours.ycc.channels == 1;
        const Picture peer = PeerDecode(jpeg, grey ? "grey" : (rgb ? "rgb" : "ycc"));
        EXPECT_LE(MaxDifference(ours.ycc, peer), 3) << file;
    }
}

// Kinds the decoder does not take are refused at creation with -1, and the
// refusal says which; jpegtool prints it in words.
TEST(JpegFilesPeer, UnsupportedKindsRefused) {
    const struct {
        const char* file;
        JpegRefusal refusal;
        const char* words;
    } cases[] = {
        {"libjpeg-turbo/testimgari.jpg", kJpegRefusalUnsupportedCoding, "unsupported coding"},
        {"libjpeg-turbo/monkey12.jpg", kJpegRefusalPrecision, "precision"},
        {"jpeg-decoder/mozilla/jpg-cmyk-1.jpg", kJpegRefusalCmyk, "CMYK"},
        {"jpeg-decoder/mozilla/jpg-cmyk-2.jpg", kJpegRefusalCmyk, "CMYK"},
        {"jpeg-decoder/reftest/16bit-qtables.jpg", kJpegRefusalQuantTable, "quantisation table"},
        {"jpeg-decoder/mozilla/jpg-size-6x6.jpg", kJpegRefusalNotJpeg, "not a JPEG"},  // a PNG file
    };
    const std::string tool = std::string(LUM_BINARY_DIR) + "/bin/jpegtool";
    for (const auto& c : cases) {
        const std::string path = lumtest::TestData(c.file).string();
        const std::vector<uint8_t> jpeg = ReadFile(path);
        JpegDecoder* decoder = reinterpret_cast<JpegDecoder*>(1);
        JpegImageInfo info;
        uint8_t kind = 0;
        uint32_t length = 0;
        JpegRefusal refusal = kJpegRefusalNone;
        EXPECT_EQ(gCreateJpegImageDecoder(&decoder, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind,
                                          &length, 1, &refusal),
                  -1)
            << c.file;
        EXPECT_EQ(decoder, nullptr) << c.file;
        EXPECT_EQ(refusal, c.refusal) << c.file;
        const ToolRun run = RunTool(tool + " info '" + path + "'");
        EXPECT_EQ(run.status, 1) << c.file;
        EXPECT_NE(run.output.find(c.words), std::string::npos) << c.file << ": " << run.output;
    }
}

// A stream cut anywhere in its scans decodes as far as it goes (result 0) and
// is flagged truncated exactly when libjpeg-turbo warns of a premature end;
// jpegtool decodes it, exits 0 and says so.
TEST(JpegTruncationPeer, CutStreamsAreFlaggedAsThePeerWarns) {
    const Picture pattern = TestPattern(96, 64);
    const std::vector<uint8_t> sources[] = {
        ReadFile(lumtest::TestData("libjpeg-turbo/testorig.jpg")),
        PeerEncode(pattern, {75, 2, 2, false, true, 0}),  // progressive: cuts between scans too
        PeerEncode(pattern, {75, 2, 1, false, false, 4}),  // restart intervals
    };
    int truncated = 0, whole = 0;
    for (const std::vector<uint8_t>& source : sources) {
        std::vector<size_t> lengths = {source.size(), source.size() - 2, source.size() - 1};
        for (size_t k = 1; k < 24; ++k) {
            lengths.push_back(source.size() * k / 24);
        }
        for (size_t length : lengths) {
            const std::vector<uint8_t> cut(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(length));
            const PeerEnd peer = PeerDecodeEnd(cut);
            const OurPlanes ours = OurDecode(cut);
            if (!peer.decoded || ours.createResult != 0 || ours.decodeResult != 0) {
                continue;  // cut inside the header: refused by both, or an error case
            }
            EXPECT_EQ(ours.truncated, peer.prematureEnd) << "length " << length << " of " << source.size();
            (ours.truncated ? truncated : whole) += 1;
        }
    }
    EXPECT_GT(truncated, 20);
    EXPECT_GE(whole, 3);

    lumtest::TempDir dir;
    const auto cutFile = dir.path() / "cut.jpg";
    WriteFile(cutFile, std::vector<uint8_t>(sources[0].begin(), sources[0].begin() + sources[0].size() / 2));
    const ToolRun run = RunTool(std::string(LUM_BINARY_DIR) + "/bin/jpegtool decode '" + cutFile.string() + "' '" +
                                (dir.path() / "out.ppm").string() + "'");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("premature end"), std::string::npos) << run.output;
}

// Every file of the crash corpus gets a defined result, at every scale.
TEST(JpegCrashCorpusPeer, EveryFileEndsCleanly) {
    int files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(lumtest::TestData("jpeg-decoder/crashtest"))) {
        if (entry.path().extension() != ".jpg") {
            continue;
        }
        ++files;
        const std::vector<uint8_t> jpeg = ReadFile(entry.path());
        for (int scale : {1, 8}) {
            int32_t result = -99;
            OurRgb565(jpeg, scale, &result);
            EXPECT_TRUE(result == 0 || result == -1 || result == -2 || result == -5007) << entry.path() << " " << result;
        }
    }
    EXPECT_GT(files, 50);
}

}  // namespace
