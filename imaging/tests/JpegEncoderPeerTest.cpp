// Our encoder's streams decoded by libjpeg: every format, size, quality and
// output mode decodes without warnings and stays close to the source.
#include "JpegEncoderTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

namespace {

using namespace jpegtest;

struct FormatInfo {
    int format;
    int mcuWidth;
    int mcuHeight;
};

const FormatInfo kFormats[] = {
    {1, 16, 16}, {2, 16, 8}, {3, 8, 8},   {4, 8, 8},   {5, 16, 16}, {6, 16, 16},
    {7, 16, 16}, {8, 16, 16}, {9, 16, 8}, {10, 8, 8}, {11, 16, 16},
};

bool SizeAccepted(const FormatInfo& f, int w, int h)
{
    return !(f.mcuWidth == 16 && (w & 1)) && !(f.mcuHeight == 16 && (h & 1));
}

TEST(JpegEncoderPeer, EveryFormatSizeAndQualityDecodes)
{
    const int sizes[][2] = {{1, 1}, {7, 9}, {16, 16}, {17, 33}, {48, 34}};
    const int qualities[] = {1, 50, 80, 95, 100};
    for (const FormatInfo& fi : kFormats) {
        for (const auto& s : sizes) {
            if (!SizeAccepted(fi, s[0], s[1])) {
                JpegEncodeParams p = DefaultParams(s[0], s[1], fi.format, 50);
                JpegEncoder* enc = nullptr;
                EXPECT_EQ(gCreateJpegImageEncoder(&enc, &p), kJpegBadSize) << fi.format << " " << s[0] << "x" << s[1];
                continue;
            }
            Rgb img = MakeTestImage(s[0], s[1]);
            Frame frame = MakeFrame(img, fi.format);
            for (int q : qualities) {
                SCOPED_TRACE(testing::Message() << "format " << fi.format << " " << s[0] << "x" << s[1] << " q" << q);
                EncodeResult r = EncodeFrame(frame, DefaultParams(s[0], s[1], fi.format, q));
                ASSERT_EQ(r.createCode, 0);
                ASSERT_EQ(r.code, 0);
                Decoded d = DecodeWithPeer(r.stream, frame.expectRgb);
                ASSERT_TRUE(d.ok) << d.error;
                EXPECT_EQ(d.warnings, 0);
                EXPECT_EQ(d.width, s[0]);
                EXPECT_EQ(d.height, s[1]);
                EXPECT_EQ(d.pixels.size(), frame.expected.size());
            }
        }
    }
}

// PSNR floors measured on the 1280 x 960 test picture, a little below what
// the encoder reaches, per quality and per kind of source.
struct Floor {
    int quality;
    double ycc;   // YCbCr and grey formats, against the coded planes
    double rgb;   // RGB formats, against the RGB source (chroma subsampled)
};
const Floor kFloors[] = {{1, 25.5, 21.0}, {50, 34.5, 29.2}, {80, 40.0, 34.0}, {95, 43.0, 38.0}, {100, 49.5, 39.5}};

TEST(JpegEncoderPeer, LargeFrameMeetsPsnrFloorsInEveryOutputMode)
{
    Rgb img = MakeTestImage(1280, 960);
    for (const FormatInfo& fi : kFormats) {
        Frame frame = MakeFrame(img, fi.format);
        for (const Floor& fl : kFloors) {
            SCOPED_TRACE(testing::Message() << "format " << fi.format << " q" << fl.quality);
            JpegEncodeParams p = DefaultParams(1280, 960, fi.format, fl.quality);
            EncodeResult whole = EncodeFrame(frame, p);
            ASSERT_EQ(whole.code, 0);
            Decoded d = DecodeWithPeer(whole.stream, frame.expectRgb);
            ASSERT_TRUE(d.ok) << d.error;
            EXPECT_EQ(d.warnings, 0);
            double psnr = Psnr(d.pixels, frame.expected);
            EXPECT_GE(psnr, frame.expectRgb ? fl.rgb : fl.ycc);
            std::printf("format %2d q%3d: %7zu bytes, PSNR %.2f dB\n", fi.format, fl.quality, whole.stream.size(), psnr);

            p.outputMode = 1;
            EncodeResult chunks = EncodeFrame(frame, p);
            ASSERT_EQ(chunks.code, 0);
            EXPECT_GT(chunks.calls, 1);
            EXPECT_TRUE(chunks.stream == whole.stream) << "chunked output differs";

            p.outputMode = 2;
            p.stripeRows = 3;
            EncodeResult striped = EncodeFrame(frame, p, 0, fi.mcuHeight);
            ASSERT_EQ(striped.code, 0);
            EXPECT_TRUE(striped.stream == whole.stream) << "striped output differs";
        }
    }
}

TEST(JpegEncoderPeer, SmallFramesInChunkAndStripeModesMatchWholeStream)
{
    const int sizes[][2] = {{1, 1}, {7, 9}, {16, 16}, {17, 33}, {34, 50}};
    for (const FormatInfo& fi : kFormats) {
        for (const auto& s : sizes) {
            if (!SizeAccepted(fi, s[0], s[1])) {
                continue;
            }
            SCOPED_TRACE(testing::Message() << "format " << fi.format << " " << s[0] << "x" << s[1]);
            Frame frame = MakeFrame(MakeTestImage(s[0], s[1]), fi.format);
            JpegEncodeParams p = DefaultParams(s[0], s[1], fi.format, 90);
            EncodeResult whole = EncodeFrame(frame, p);
            ASSERT_EQ(whole.code, 0);
            for (int stripeRows : {1, 2}) {
                int mcuRows = (s[1] + fi.mcuHeight - 1) / fi.mcuHeight;
                if (stripeRows > mcuRows) {
                    continue;
                }
                p.outputMode = 2;
                p.stripeRows = stripeRows;
                EncodeResult striped = EncodeFrame(frame, p, 0, fi.mcuHeight);
                ASSERT_EQ(striped.code, 0);
                EXPECT_TRUE(striped.stream == whole.stream);
            }
            p.outputMode = 1;
            EncodeResult chunks = EncodeFrame(frame, p);
            ASSERT_EQ(chunks.code, 0);
            EXPECT_TRUE(chunks.stream == whole.stream);
        }
    }
}

// Random noise at quality 100 is the largest stream per pixel; small chunks
// make the writer cut the stream inside MCUs and hand out spilled bytes.
TEST(JpegEncoderPeer, NoiseAtQuality100InSmallChunksDecodes)
{
    Frame frame = MakeFrame(MakeNoiseImage(32, 480, 7), 1);
    JpegEncodeParams p = DefaultParams(32, 480, 1, 100);
    EncodeResult whole = EncodeFrame(frame, p);
    ASSERT_EQ(whole.code, 0);
    p.outputMode = 1;
    EncodeResult chunks = EncodeFrame(frame, p);
    ASSERT_EQ(chunks.code, 0);
    EXPECT_GE(chunks.calls, 5);
    EXPECT_TRUE(chunks.stream == whole.stream);
    Decoded d = DecodeWithPeer(chunks.stream);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.warnings, 0);
    EXPECT_GE(Psnr(d.pixels, frame.expected), 40.0);
}

// Classing only coarsens busy blocks (class 2 rounds towards zero): the
// stream shrinks on a noisy picture, decodes cleanly and stays close.
TEST(JpegEncoderPeer, ActivityClassingDecodesAndShrinksBusyPictures)
{
    Frame frame = MakeFrame(MakeNoiseImage(256, 128, 11), 1);
    JpegEncodeParams p = DefaultParams(256, 128, 1, 90);
    EncodeResult plain = EncodeFrame(frame, p);
    p.activityClassing = 1;
    EncodeResult classed = EncodeFrame(frame, p);
    ASSERT_EQ(classed.code, 0);
    EXPECT_LT(classed.stream.size(), plain.stream.size());
    Decoded a = DecodeWithPeer(plain.stream);
    Decoded b = DecodeWithPeer(classed.stream);
    ASSERT_TRUE(b.ok) << b.error;
    EXPECT_EQ(b.warnings, 0);
    EXPECT_GE(Psnr(b.pixels, frame.expected), Psnr(a.pixels, frame.expected) - 3.0);

    Frame smooth = MakeFrame(MakeTestImage(256, 128), 1);
    p.activityClassing = 0;
    EncodeResult smoothPlain = EncodeFrame(smooth, p);
    p.activityClassing = 1;
    EncodeResult smoothClassed = EncodeFrame(smooth, p);
    Decoded c = DecodeWithPeer(smoothClassed.stream);
    ASSERT_TRUE(c.ok) << c.error;
    EXPECT_GE(Psnr(c.pixels, smooth.expected), 36.0);
    EXPECT_LE(smoothClassed.stream.size(), smoothPlain.stream.size());
}

TEST(JpegEncoderPeer, ChromaSwapExchangesCbAndCr)
{
    Frame frame = MakeFrame(MakeTestImage(64, 32), 1);
    JpegEncodeParams p = DefaultParams(64, 32, 1, 95);
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigChromaSwap, 1), 0);
    uint32_t size = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &size);
    std::vector<uint8_t> out(size);
    ASSERT_EQ(enc->Encode(enc, frame.data.data(), out.data(), &size), 0);
    out.resize(size);
    enc->Release(enc);
    Decoded d = DecodeWithPeer(out);
    ASSERT_TRUE(d.ok);
    std::vector<uint8_t> swapped = frame.expected;
    for (size_t i = 0; i < swapped.size(); i += 3) {
        std::swap(swapped[i + 1], swapped[i + 2]);
    }
    EXPECT_GE(Psnr(d.pixels, swapped), 40.0);
}

}  // namespace
