// The encoder's fixed arithmetic and byte layout: header segments, DQT
// scaling, creation checks and configuration, the stream writer's bounds
// and the block kernels.
#include "JpegEncoderTestSupport.h"

#include "jpeg/JpegBitWriter.h"
#include "jpeg/JpegEncoderKernels.h"
#include "jpeg/JpegEncoderState.h"
#include "jpeg/JpegQuantizer.h"
#include "jpeg/JpegStreamWriter.h"
#include "jpeg/JpegTables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace jpegtest;

std::vector<uint8_t> EncodeOnce(const Frame& f, JpegEncodeParams p)
{
    EncodeResult r = EncodeFrame(f, p);
    EXPECT_EQ(r.createCode, 0);
    EXPECT_EQ(r.code, 0);
    return r.stream;
}

// Offsets of every marker (FF xx with xx not 00) in a stream.
std::vector<std::pair<size_t, uint8_t>> Markers(const std::vector<uint8_t>& s)
{
    std::vector<std::pair<size_t, uint8_t>> m;
    for (size_t i = 0; i + 1 < s.size(); ++i) {
        if (s[i] == 0xFF && s[i + 1] != 0x00 && s[i + 1] != 0xFF) {
            m.emplace_back(i, s[i + 1]);
            if (s[i + 1] != jpeg::kSos && s[i + 1] < jpeg::kRst0 && i + 3 < s.size()) {
                i += 1;
            }
        }
    }
    return m;
}

TEST(JpegEncoderStream, GreyPixelAtQuality50HasTheExactHeader)
{
    Frame f;
    f.format = 4;
    f.width = f.height = 1;
    f.data = {77};
    std::vector<uint8_t> s = EncodeOnce(f, DefaultParams(1, 1, 4, 50));
    const std::vector<uint8_t> head = {
        0xFF, 0xD8,                                                              // SOI
        0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00, 0x01, 0x01, 0x00,      // APP0 JFIF 1.01
        0x00, 0x01, 0x00, 0x01, 0x00, 0x00,                                      // aspect 1:1, no thumbnail
        0xFF, 0xDB, 0x00, 0x43, 0x00,                                            // DQT, one table
    };
    ASSERT_GE(s.size(), head.size() + 64);
    EXPECT_TRUE(std::equal(head.begin(), head.end(), s.begin()));
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(s[head.size() + k], jpeg::kStdLumaQuant[jpeg::kZigzagToNatural[k]]);
    }
    size_t p = head.size() + 64;
    const std::vector<uint8_t> tail = {
        0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11, 0x00,  // SOF0
        0xFF, 0xDD, 0x00, 0x04, 0x00, 0x01,                                            // DRI: one MCU row
        0xFF, 0xC4, 0x00, 0xD2,                                                        // DHT, length 210
    };
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), s.begin() + p));
    p += tail.size() + 208;
    const std::vector<uint8_t> sos = {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00};
    EXPECT_TRUE(std::equal(sos.begin(), sos.end(), s.begin() + p));
    // Data, EOI, then zero bytes up to a whole 32-bit word.
    EXPECT_EQ(s.size() % 4, 0u);
    size_t eoi = s.size() - 1;
    while (s[eoi] == 0) {
        --eoi;
    }
    EXPECT_EQ(s[eoi], 0xD9);
    EXPECT_EQ(s[eoi - 1], 0xFF);
    EXPECT_GE(s.size() - 1 - eoi, 1u);
    EXPECT_LE(s.size() - 1 - eoi, 4u);
}

// DQT bytes of the stream against the scaling formula, in its own precision.
TEST(JpegEncoderStream, DqtFollowsTheQualityFormulaForEveryQuality)
{
    Frame f = MakeFrame(MakeTestImage(16, 16), 1);
    for (int q = 1; q <= 100; ++q) {
        std::vector<uint8_t> s = EncodeOnce(f, DefaultParams(16, 16, 1, q));
        size_t at = 0;
        for (auto [pos, m] : Markers(s)) {
            if (m == jpeg::kDqt) {
                at = pos;
                break;
            }
        }
        ASSERT_NE(at, 0u);
        ASSERT_EQ(s[at + 2], 0);
        ASSERT_EQ(s[at + 3], 132);
        float scale = q >= 50 ? static_cast<float>(100 - q) * 0.02f : 50.0f / static_cast<float>(q);
        for (int t = 0; t < 2; ++t) {
            const uint16_t* base = t == 0 ? jpeg::kStdLumaQuant : jpeg::kStdChromaQuant;
            EXPECT_EQ(s[at + 4 + 65 * t], t);
            for (int k = 0; k < 64; ++k) {
                float v = static_cast<float>(base[jpeg::kZigzagToNatural[k]]) * scale;
                uint32_t e = static_cast<uint32_t>(static_cast<double>(v) + 0.5) & 0xFFFF;
                e = e <= 2 ? 2 : (e >= 255 ? 255 : e);
                ASSERT_EQ(s[at + 5 + 65 * t + k], e) << "quality " << q << " table " << t << " zigzag " << k;
            }
        }
    }
}

TEST(JpegEncoderStream, QualityEndsAndOwnTables)
{
    Frame f = MakeFrame(MakeTestImage(8, 8), 4);
    auto dqtValues = [](const std::vector<uint8_t>& s) {
        for (auto [pos, m] : Markers(s)) {
            if (m == jpeg::kDqt) {
                return std::vector<uint8_t>(s.begin() + pos + 5, s.begin() + pos + 69);
            }
        }
        return std::vector<uint8_t>();
    };
    EXPECT_EQ(dqtValues(EncodeOnce(f, DefaultParams(8, 8, 4, 100))), std::vector<uint8_t>(64, 2));
    std::vector<uint8_t> q1 = dqtValues(EncodeOnce(f, DefaultParams(8, 8, 4, 1)));
    ASSERT_EQ(q1.size(), 64u);
    EXPECT_EQ(q1[0], 255);  // 16 x 50 = 800, limited
    EXPECT_EQ(q1[2], 255);

    std::vector<uint16_t> own(64);
    for (int i = 0; i < 64; ++i) {
        own[i] = static_cast<uint16_t>(i + 1);
    }
    JpegEncodeParams p = DefaultParams(8, 8, 4, 50);
    p.useLumaTable = 1;
    p.lumaTable = own.data();
    std::vector<uint8_t> ownDqt = dqtValues(EncodeOnce(f, p));
    ASSERT_EQ(ownDqt.size(), 64u);
    for (int k = 0; k < 64; ++k) {
        int v = jpeg::kZigzagToNatural[k] + 1;
        EXPECT_EQ(ownDqt[k], v <= 2 ? 2 : v);
    }
}

TEST(JpegEncoderStream, RestartMarkersCycleAfterEveryMcuRowButTheLast)
{
    Frame tall = MakeFrame(MakeTestImage(8, 8 * 11), 4);
    std::vector<uint8_t> s = EncodeOnce(tall, DefaultParams(8, 88, 4, 75));
    std::vector<uint8_t> rst;
    for (auto [pos, m] : Markers(s)) {
        if (m >= jpeg::kRst0 && m <= jpeg::kRst7) {
            rst.push_back(m - jpeg::kRst0);
        }
    }
    EXPECT_EQ(rst, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}));

    Frame flat = MakeFrame(MakeTestImage(64, 8), 4);
    for (auto [pos, m] : Markers(EncodeOnce(flat, DefaultParams(64, 8, 4, 75)))) {
        EXPECT_FALSE(m >= jpeg::kRst0 && m <= jpeg::kRst7) << "restart marker in a one-row picture";
    }
}

struct CreateCase {
    const char* what;
    int width, height, format, codingMode, outputMode, stripeRows;
    int thumbOn, thumbKind, thumbW, thumbH;
    int32_t expected;
};

TEST(JpegEncoderCreate, ChecksInOrder)
{
    const CreateCase cases[] = {
        {"plain 4:2:0", 640, 480, 1, 1, 0, 0, 0, 0, 0, 0, 0},
        {"unknown format 0", 64, 64, 0, 1, 0, 0, 0, 0, 0, 0, kJpegUnknownFormat},
        {"unknown format 12", 64, 64, 12, 1, 0, 0, 0, 0, 0, 0, kJpegUnknownFormat},
        {"odd width, 16-wide MCU", 641, 480, 1, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"odd height, 16-high MCU", 640, 481, 1, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"4:2:2 with odd height", 640, 481, 2, 1, 0, 0, 0, 0, 0, 0, 0},
        {"4:2:2 with odd width", 641, 480, 2, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"zero width", 0, 480, 3, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"negative height", 8, -8, 3, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"width above 65535", 65536, 8, 4, 1, 0, 0, 0, 0, 0, 0, kJpegBadSize},
        {"largest size", 65535, 65535, 4, 1, 2, 1, 0, 0, 0, 0, 0},
        {"coding mode 3", 64, 64, 1, 3, 0, 0, 0, 0, 0, 0, kJpegBadParameter},
        {"output mode 3", 64, 64, 1, 1, 3, 0, 0, 0, 0, 0, kJpegBadParameter},
        {"stripes of 0 rows", 64, 64, 1, 1, 2, 0, 0, 0, 0, 0, kJpegBadParameter},
        {"stripes beyond the picture", 64, 64, 1, 1, 2, 5, 0, 0, 0, 0, kJpegBadParameter},
        {"stripes, progressive", 64, 64, 1, 2, 2, 1, 0, 0, 0, 0, kJpegBadParameter},
        {"stripes with a thumbnail", 64, 64, 1, 1, 2, 1, 1, 1, 16, 16, kJpegBadParameter},
        {"thumbnail kind 2", 640, 480, 1, 1, 0, 0, 1, 2, 160, 120, kJpegBadParameter},
        {"uncompressed 254 x 84", 640, 480, 1, 1, 0, 0, 1, 0, 254, 84, 0},
        {"uncompressed 148 x 148", 640, 480, 1, 1, 0, 0, 1, 0, 148, 148, kJpegBadSize},
        {"uncompressed 256 x 2", 640, 480, 1, 1, 0, 0, 1, 0, 256, 2, kJpegBadSize},
        {"odd thumbnail height", 640, 480, 1, 1, 0, 0, 1, 1, 160, 121, kJpegBadSize},
        {"odd thumbnail height, kind 0", 640, 480, 1, 1, 0, 0, 1, 0, 160, 121, kJpegBadSize},
        {"thumbnail of 2 rows", 640, 480, 1, 1, 0, 0, 1, 1, 160, 2, kJpegBadSize},
        {"thumbnail kind 9 while off", 640, 480, 1, 1, 0, 0, 0, 9, 161, 1, 0},
    };
    for (const CreateCase& c : cases) {
        JpegEncodeParams p = DefaultParams(c.width, c.height, c.format, 75);
        p.codingMode = c.codingMode;
        p.outputMode = c.outputMode;
        p.stripeRows = c.stripeRows;
        p.thumbnailOn = c.thumbOn;
        p.thumbnailKind = c.thumbKind;
        p.thumbnailWidth = c.thumbW;
        p.thumbnailHeight = c.thumbH;
        JpegEncoder* enc = reinterpret_cast<JpegEncoder*>(0x1);
        int32_t rc = gCreateJpegImageEncoder(&enc, &p);
        EXPECT_EQ(rc, c.expected) << c.what;
        if (rc == 0) {
            enc->Release(enc);
        } else {
            EXPECT_EQ(enc, reinterpret_cast<JpegEncoder*>(0x1)) << c.what << ": encoder address changed";
        }
    }
}

TEST(JpegEncoderCreate, NullArgumentsAndWrittenBackFields)
{
    JpegEncodeParams p = DefaultParams(64, 48, 1, 75);
    JpegEncoder* enc = nullptr;
    EXPECT_EQ(gCreateJpegImageEncoder(nullptr, &p), kJpegNullArgument);
    EXPECT_EQ(gCreateJpegImageEncoder(&enc, nullptr), kJpegNullArgument);

    p.headerKind = 7;
    p.thumbnailOn = 1;
    p.thumbnailKind = 1;
    p.thumbnailWidth = 80;   // wider than the picture: clamped and written back
    p.thumbnailHeight = 40;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_EQ(p.headerKind, 0);
    EXPECT_EQ(p.thumbnailWidth, 64);
    EXPECT_EQ(p.thumbnailHeight, 40);
    auto release = enc->Release;
    EXPECT_EQ(release(enc), 0);
    EXPECT_EQ(release(nullptr), 0);

    p = DefaultParams(64, 48, 1, 75);
    p.useLumaTable = 1;
    p.lumaTable = nullptr;
    EXPECT_EQ(gCreateJpegImageEncoder(&enc, &p), kJpegBadParameter);
}

TEST(JpegEncoderConfig, SetAndGetConfig)
{
    JpegEncodeParams p = DefaultParams(64, 48, 1, 0);  // quality 0 is taken as 50
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    uint32_t at50 = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &at50);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigQuality, 50), 0);
    uint32_t again = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &again);
    EXPECT_EQ(at50, again);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigQuality, 0), kJpegBadSize);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigQuality, 101), kJpegBadSize);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigQuality, 95), 0);
    uint32_t at95 = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &at95);
    EXPECT_GT(at95, at50);

    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigChromaSwap, 2), kJpegFailed);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigChromaSwap, 1), 0);
    EXPECT_EQ(enc->SetConfig(enc, 4, 0), kJpegNullArgument);
    EXPECT_EQ(enc->SetConfig(enc, -1, 0), kJpegNullArgument);
    EXPECT_EQ(enc->SetConfig(nullptr, 0, 50), kJpegNullArgument);

    uint32_t untouched = 1234;
    EXPECT_EQ(enc->GetConfig(enc, 55, &untouched), 0);
    EXPECT_EQ(untouched, 1234u);
    EXPECT_EQ(enc->GetConfig(enc, kJpegConfigOutputSize, nullptr), kJpegNullArgument);

    uint32_t wrap = 5000;
    EXPECT_EQ(enc->GetConfig(enc, kJpegConfigWrapSize, &wrap), 0);
    EXPECT_EQ(wrap, 5000u + 1024u);
    enc->Release(enc);

    p = DefaultParams(64, 48, 4, 75);
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    EXPECT_EQ(enc->SetConfig(enc, kJpegConfigChromaSwap, 1), kJpegNullArgument);
    enc->Release(enc);
}

TEST(JpegEncoderConfig, TinyPictureFigureHoldsTheHeader)
{
    for (int q : {1, 50, 100}) {
        JpegEncodeParams p = DefaultParams(1, 1, 3, q);
        JpegEncoder* enc = nullptr;
        ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
        uint32_t figure = 0;
        enc->GetConfig(enc, kJpegConfigOutputSize, &figure);
        std::vector<uint8_t> out(figure + 64, 0xA5);
        uint32_t size = figure;
        uint8_t px[3] = {1, 2, 3};
        EXPECT_EQ(enc->Encode(enc, px, out.data(), &size), 0) << q;
        EXPECT_LE(size, figure);
        for (size_t i = figure; i < out.size(); ++i) {
            ASSERT_EQ(out[i], 0xA5) << "written past the buffer";
        }
        enc->Release(enc);
    }
}

TEST(JpegEncoderEncode, RefusesSmallBuffersAndNullArguments)
{
    Frame f = MakeFrame(MakeTestImage(32, 32), 1);
    JpegEncodeParams p = DefaultParams(32, 32, 1, 75);
    JpegEncoder* enc = nullptr;
    ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
    uint32_t figure = 0;
    enc->GetConfig(enc, kJpegConfigOutputSize, &figure);
    std::vector<uint8_t> out(figure);
    uint32_t size = figure - 1;
    EXPECT_EQ(enc->Encode(enc, f.data.data(), out.data(), &size), kJpegOutputTooSmall);
    EXPECT_EQ(size, 0u);
    size = figure;
    EXPECT_EQ(enc->Encode(enc, nullptr, out.data(), &size), kJpegFailed);
    EXPECT_EQ(enc->Encode(enc, f.data.data(), nullptr, &size), kJpegFailed);
    EXPECT_EQ(enc->Encode(nullptr, f.data.data(), out.data(), &size), kJpegFailed);
    // Two frames in a row from one encoder give the same stream.
    ASSERT_EQ(enc->Encode(enc, f.data.data(), out.data(), &size), 0);
    std::vector<uint8_t> first(out.begin(), out.begin() + size);
    size = figure;
    ASSERT_EQ(enc->Encode(enc, f.data.data(), out.data(), &size), 0);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), out.begin()));
    enc->Release(enc);
}

// The largest stream per pixel (noise at quality 100), cut into the smallest
// chunks the encoder accepts: each chunk is a buffer of exactly its size, so
// the sanitizer sees any store past it.
TEST(JpegEncoderEncode, NoiseAtQuality100InSmallChunksStaysInsideBuffers)
{
    for (int format : {1, 3, 7}) {
        Frame f = MakeFrame(MakeNoiseImage(32, 320, 5), format);
        JpegEncodeParams p = DefaultParams(32, 320, format, 100);
        EncodeResult whole = EncodeFrame(f, p);
        ASSERT_EQ(whole.code, 0);
        p.outputMode = 1;
        JpegEncoder* enc = nullptr;
        ASSERT_EQ(gCreateJpegImageEncoder(&enc, &p), 0);
        uint32_t figure = 0;
        enc->GetConfig(enc, kJpegConfigOutputSize, &figure);
        std::vector<uint8_t> stream;
        int32_t rc;
        int calls = 0;
        do {
            std::vector<uint8_t> chunk(figure);
            uint32_t size = figure;
            rc = enc->Encode(enc, f.data.data(), chunk.data(), &size);
            ASSERT_LE(size, figure);
            stream.insert(stream.end(), chunk.begin(), chunk.begin() + size);
            ++calls;
        } while (rc == kJpegMoreOutput && calls < 10000);
        enc->Release(enc);
        EXPECT_EQ(rc, 0);
        EXPECT_GT(calls, 2) << format;
        EXPECT_TRUE(stream == whole.stream) << format;
    }
}

TEST(JpegBitWriter, NeverStoresPastCapacityAndResumesInTheNextChunk)
{
    uint8_t spill[64];
    JpegBitWriter w{};
    w.spill = spill;
    w.spillCapacity = sizeof(spill);
    std::vector<uint8_t> chunk(6 + 4, 0xEE);
    w.Attach(chunk.data(), 6);
    for (uint32_t i = 0; i < 10; ++i) {
        w.PutBits(8, 0x10 + i);
    }
    w.StorePendingBytes();
    EXPECT_TRUE(w.Overflowed());
    EXPECT_EQ(w.position, 6u);
    for (int i = 6; i < 10; ++i) {
        EXPECT_EQ(chunk[i], 0xEE);
    }
    std::vector<uint8_t> stream(chunk.begin(), chunk.begin() + 6);
    std::vector<uint8_t> next(16);
    w.Reattach(next.data(), 16);
    EXPECT_FALSE(w.Overflowed());
    w.PutBits(16, 0xABCD);
    w.StorePendingBytes();
    stream.insert(stream.end(), next.begin(), next.begin() + w.position);
    EXPECT_EQ(stream, (std::vector<uint8_t>{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0xAB, 0xCD}));
}

// Reference DCT of T.81 A.3.3 in double precision.
void ReferenceDct(const int16_t* in, double* out)
{
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 8; ++x) {
                    sum += in[y * 8 + x] * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
                }
            }
            double cu = u == 0 ? 1 / std::sqrt(2.0) : 1, cv = v == 0 ? 1 / std::sqrt(2.0) : 1;
            out[v * 8 + u] = 0.25 * cu * cv * sum;
        }
    }
}

TEST(JpegEncoderKernels, ForwardDctIsWithinOneOfTheExactTransform)
{
    uint32_t state = 3;
    for (int trial = 0; trial < 300; ++trial) {
        int16_t block[64];
        for (auto& s : block) {
            state = state * 1664525u + 1013904223u;
            s = static_cast<int16_t>(trial < 100 ? (state >> 24) : ((state >> 31) ? 255 : 0));
        }
        double ref[64];
        ReferenceDct(block, ref);
        ForwardDct8x8(block);
        for (int i = 0; i < 64; ++i) {
            ASSERT_LE(std::fabs(block[i] - ref[i]), 1.0) << "trial " << trial << " coefficient " << i;
        }
    }
    int16_t flat[64];
    std::fill(flat, flat + 64, int16_t{128});
    ForwardDct8x8(flat);
    EXPECT_EQ(flat[0], 1024);
    for (int i = 1; i < 64; ++i) {
        EXPECT_EQ(flat[i], 0);
    }
}

// Every coefficient value with every quantiser, both roundings, both paths.
TEST(JpegEncoderKernels, QuantiserRoundsToNearestOrTowardsZero)
{
    JpegQuantTable t;
    for (int q = 2; q <= 255; ++q) {
        std::vector<uint16_t> src(64, static_cast<uint16_t>(q));
        JpegScaleQuantTable(src.data(), 1.0f, &t);
        for (int first = -2047; first <= 2047; first += 63) {
            for (bool truncate : {false, true}) {
                int16_t block[64];
                block[0] = static_cast<int16_t>(first + 1024);  // the level shift comes off
                for (int i = 1; i < 64; ++i) {
                    block[i] = static_cast<int16_t>(std::min(first + i - 1, 2047));
                }
                int16_t copy[64];
                std::copy(block, block + 64, copy);
                int count = QuantizeBlock(block, t, truncate);
                ASSERT_EQ(count, QuantizeBlockScalar(copy, t, truncate));
                ASSERT_TRUE(std::equal(block, block + 64, copy)) << "q " << q << " from " << first;
                int nonzero = 0;
                for (int i = 0; i < 64; ++i) {
                    int c = i == 0 ? first : std::min(first + i - 1, 2047);
                    int a = c < 0 ? -c : c;
                    int want = truncate ? a / q : (a + q / 2) / q;
                    ASSERT_EQ(block[i], c < 0 ? -want : want) << "c " << c << " q " << q;
                    nonzero += i > 0 && want != 0;
                }
                ASSERT_EQ(count, nonzero + 1);
            }
        }
    }
}

// The vector kernels against the scalar reference: the same integers.
TEST(JpegEncoderKernels, VectorAndScalarPathsAgree)
{
    uint32_t state = 9;
    JpegQuantTable tables[3];
    std::vector<uint16_t> src(64);
    for (int t = 0; t < 3; ++t) {
        for (int i = 0; i < 64; ++i) {
            src[i] = static_cast<uint16_t>(t == 0 ? 2 : (t == 1 ? 3 + (i * 4) % 253 : jpeg::kStdLumaQuant[i]));
        }
        JpegScaleQuantTable(src.data(), 1.0f, &tables[t]);
    }
    for (int trial = 0; trial < 2000; ++trial) {
        int16_t a[64], b[64], fused[64];
        for (int i = 0; i < 64; ++i) {
            state = state * 1664525u + 1013904223u;
            int kind = trial % 4;
            a[i] = static_cast<int16_t>(kind == 0 ? state >> 24 : (kind == 1 ? ((state >> 31) ? 255 : 0)
                                                                     : (kind == 2 ? 128 + ((state >> 28) & 3) : (i * 4) & 255)));
            b[i] = a[i];
            fused[i] = a[i];
        }
        int cf = ForwardDctQuantize8x8(fused, tables[trial % 3]);
        ForwardDct8x8(a);
        ForwardDct8x8Scalar(b);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "DCT, trial " << trial;
        const JpegQuantTable& t = tables[trial % 3];
        bool truncate = (trial / 3) % 2 == 1;
        int ca = QuantizeBlock(a, t, truncate);
        int cb = QuantizeBlockScalar(b, t, truncate);
        ASSERT_EQ(ca, cb);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "quantiser, trial " << trial;
        if (!truncate) {
            ASSERT_EQ(cf, cb);
            ASSERT_TRUE(std::equal(fused, fused + 64, b)) << "fused, trial " << trial;
        }
    }
    // The largest outputs: 255 where a basis function is positive, 0 elsewhere, and the inverse.
    for (int uv = 0; uv < 128; ++uv) {
        int u = uv % 8, v = (uv / 8) % 8;
        int16_t a[64], b[64];
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool positive = std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16) >= 0;
                a[y * 8 + x] = b[y * 8 + x] = static_cast<int16_t>(positive == (uv < 64) ? 255 : 0);
            }
        }
        ForwardDct8x8(a);
        ForwardDct8x8Scalar(b);
        ASSERT_TRUE(std::equal(a, a + 64, b)) << "basis " << u << "," << v;
    }
}

TEST(JpegEncoderKernels, FlatBlockCodesDcSizeZeroAndEob)
{
    JpegQuantTable t;
    std::vector<uint16_t> src(jpeg::kStdLumaQuant, jpeg::kStdLumaQuant + 64);
    JpegScaleQuantTable(src.data(), 1.0f, &t);
    int16_t block[64];
    std::fill(block, block + 64, int16_t{128});
    EXPECT_EQ(ForwardDctQuantize8x8(block, t), 1);
    EXPECT_EQ(block[0], 0);
    ScanBitBuffer s;
    s.Clear();
    EncodeBlockSequential(block, JpegStdDcCodes(0), JpegStdAcCodes(0), s, 1);
    // DC luminance size 0 is "00", EOB is "1010".
    EXPECT_EQ(s.bits, 6);
    EXPECT_EQ(s.accumulator & 0x3F, 0b001010u);
}

struct BitCollector {
    std::vector<int> bits;
    void Put(uint32_t code, int len)
    {
        for (int i = len - 1; i >= 0; --i) {
            bits.push_back((code >> i) & 1);
        }
    }
};

std::vector<int> ScanBits(const ScanBitBuffer& s)
{
    std::vector<int> out;
    for (uint32_t i = 0; i < s.count; ++i) {
        for (int b = 7; b >= 0; --b) {
            out.push_back((s.bytes[i] >> b) & 1);
        }
        if (s.bytes[i] == 0xFF) {
            ++i;  // stuffed zero byte
        }
    }
    for (int b = s.bits - 1; b >= 0; --b) {
        out.push_back(static_cast<int>((s.accumulator >> b) & 1));
    }
    return out;
}

TEST(JpegEncoderKernels, BlockCoderRunsZrlAndEob)
{
    const JpegHuffmanCodes& dc = JpegStdDcCodes(0);
    const JpegHuffmanCodes& ac = JpegStdAcCodes(0);
    {
        // 20 zeros, then a 1 at zig-zag position 21: one ZRL, then run 4 size 1, then EOB.
        int16_t block[64] = {};
        block[jpeg::kZigzagToNatural[21]] = 1;
        ScanBitBuffer s;
        s.Clear();
        EncodeBlockSequential(block, dc, ac, s, 64);
        BitCollector want;
        want.Put(dc.code[0], dc.length[0]);
        want.Put(ac.code[0xF0], ac.length[0xF0]);
        want.Put(ac.code[0x41], ac.length[0x41]);
        want.Put(1, 1);
        want.Put(ac.code[0x00], ac.length[0x00]);
        EXPECT_EQ(ScanBits(s), want.bits);
    }
    {
        // A non-zero last coefficient ends the block without EOB.
        int16_t block[64] = {};
        block[63] = -1;
        ScanBitBuffer s;
        s.Clear();
        EncodeBlockSequential(block, dc, ac, s, 64);
        BitCollector want;
        want.Put(dc.code[0], dc.length[0]);
        for (int i = 0; i < 3; ++i) {
            want.Put(ac.code[0xF0], ac.length[0xF0]);
        }
        want.Put(ac.code[0xE1], ac.length[0xE1]);
        want.Put(0, 1);
        EXPECT_EQ(ScanBits(s), want.bits);
    }
}

// Random blocks of every density, from empty to full, against the coding rule
// walked position by position; with counts below the number of non-zero
// coefficients too (the rate-control drivers lower it).
TEST(JpegEncoderKernels, BlockCoderMatchesThePlainWalk)
{
    const JpegHuffmanCodes& dc = JpegStdDcCodes(1);
    const JpegHuffmanCodes& ac = JpegStdAcCodes(1);
    uint32_t state = 11;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int trial = 0; trial < 3000; ++trial) {
        int16_t block[64];
        uint32_t density = next() % 65;  // chance out of 64 that an AC coefficient is non-zero
        int magnitudeBits = 1 + static_cast<int>(next() % 10);
        for (int i = 0; i < 64; ++i) {
            int v = static_cast<int>(next() % (1u << magnitudeBits)) + 1;
            block[i] = static_cast<int16_t>(next() % 64 < density ? (next() & 1 ? v : -v) : 0);
        }
        block[0] = static_cast<int16_t>(static_cast<int>(next() % 4095) - 2047);
        int nonzero = 0;
        for (int i = 1; i < 64; ++i) {
            nonzero += block[i] != 0;
        }
        int maxCoded = trial % 4 == 0 ? static_cast<int>(next() % (nonzero + 2)) - 1 : nonzero + 1;

        BitCollector want;
        int cat = MagnitudeCategory(block[0]);
        want.Put(dc.code[cat], dc.length[cat]);
        want.Put(MagnitudeBits(block[0], cat), cat);
        int run = 0, coded = 0, last = 0;
        for (int k = 1; k < 64 && coded < maxCoded; ++k) {
            int c = block[jpeg::kZigzagToNatural[k]];
            if (c == 0) {
                ++run;
                continue;
            }
            for (; run >= 16; run -= 16) {
                want.Put(ac.code[0xF0], ac.length[0xF0]);
            }
            cat = MagnitudeCategory(c);
            want.Put(ac.code[(run << 4) | cat], ac.length[(run << 4) | cat]);
            want.Put(MagnitudeBits(c, cat), cat);
            run = 0;
            ++coded;
            last = k;
        }
        if (last != 63) {
            want.Put(ac.code[0x00], ac.length[0x00]);
        }

        ScanBitBuffer s;
        s.Clear();
        PutScanBits(s, 5, 0x15);  // bits left over from an earlier block
        want.bits.insert(want.bits.begin(), {1, 0, 1, 0, 1});
        EncodeBlockSequential(block, dc, ac, s, maxCoded);
        ASSERT_EQ(ScanBits(s), want.bits) << "trial " << trial;
    }
}

// The RGB formers against the integer colour formulas, on random MCUs and on
// the extremes (every channel 0 or 255).
TEST(JpegEncoderKernels, RgbFormersFollowTheColourFormulas)
{
    uint32_t state = 21;
    auto next = [&state]() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int format : {5, 6, 7}) {
        McuFormer former = McuFormerFor(format);
        for (int trial = 0; trial < 200; ++trial) {
            uint8_t planes[3][16 * 48];
            for (auto& plane : planes) {
                for (uint8_t& v : plane) {
                    v = static_cast<uint8_t>(trial % 2 == 0 ? next() : ((next() & 1) ? 255 : 0));
                }
            }
            McuSource src{};
            for (int p = 0; p < 3; ++p) {
                src.plane[p] = planes[p];
                src.stride[p] = 48;
            }
            int16_t out[384];
            former(src, out);
            int32_t r[16][16], g[16][16], b[16][16];
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const uint8_t* px = planes[0] + y * 48;
                    if (format == 5) {
                        r[y][x] = planes[0][y * 48 + x];
                        g[y][x] = planes[1][y * 48 + x];
                        b[y][x] = planes[2][y * 48 + x];
                    } else if (format == 6) {
                        r[y][x] = px[3 * x];
                        g[y][x] = px[3 * x + 1];
                        b[y][x] = px[3 * x + 2];
                    } else {
                        uint32_t w = px[2 * x] | (px[2 * x + 1] << 8);
                        r[y][x] = Widen5(w >> 11);
                        g[y][x] = Widen6((w >> 5) & 0x3F);
                        b[y][x] = Widen5(w & 0x1F);
                    }
                    int block = (y / 8) * 2 + x / 8;
                    ASSERT_EQ(out[block * 64 + (y % 8) * 8 + x % 8],
                              (19595 * r[y][x] + 38470 * g[y][x] + 7471 * b[y][x]) >> 16)
                        << "format " << format << " Y at " << x << "," << y;
                }
            }
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    int32_t sr = r[2 * j][2 * i] + r[2 * j][2 * i + 1] + r[2 * j + 1][2 * i] + r[2 * j + 1][2 * i + 1];
                    int32_t sg = g[2 * j][2 * i] + g[2 * j][2 * i + 1] + g[2 * j + 1][2 * i] + g[2 * j + 1][2 * i + 1];
                    int32_t sb = b[2 * j][2 * i] + b[2 * j][2 * i + 1] + b[2 * j + 1][2 * i] + b[2 * j + 1][2 * i + 1];
                    ASSERT_EQ(out[256 + j * 8 + i], ((-11059 * sr - 21709 * sg + 32768 * sb) >> 18) + 128);
                    ASSERT_EQ(out[320 + j * 8 + i], ((32768 * sr - 27439 * sg - 5329 * sb) >> 18) + 128);
                }
            }
        }
    }
}

TEST(JpegEncoderKernels, StuffsEveryFfByte)
{
    ScanBitBuffer s;
    s.Clear();
    PutScanBits(s, 32, 0xFF12FFFF);
    PutScanBits(s, 4, 0xF);
    FlushScanBits(s);  // 1111 padded with 1 bits: another FF
    EXPECT_EQ(std::vector<uint8_t>(s.bytes, s.bytes + s.count),
              (std::vector<uint8_t>{0xFF, 0x00, 0x12, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}));
}

TEST(JpegEncoderKernels, Rgb565WideningAndActivityClasses)
{
    EXPECT_EQ(Widen5(0), 0);
    EXPECT_EQ(Widen5(31), 255);
    EXPECT_EQ(Widen5(16), 132);  // 16 x 255 / 31 = 131.6
    EXPECT_EQ(Widen6(63), 255);
    EXPECT_EQ(Widen6(32), 130);  // 32 x 255 / 63 = 129.5

    const struct {
        int a, b, cls;
    } classes[] = {
        {120, 999, 0}, {121, 200, 0}, {121, 400, 0}, {150, 201, 1}, {200, 399, 1}, {200, 401, 2},
        {201, 100, 0}, {201, 101, 1}, {500, 200, 1}, {500, 201, 2},
    };
    for (const auto& c : classes) {
        EXPECT_EQ(ActivityClass(c.a, c.b), c.cls) << c.a << "," << c.b;
    }
    int16_t flat[64];
    std::fill(flat, flat + 64, int16_t{90});
    int32_t a = -1, b = -1;
    BlockActivity(flat, &a, &b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
}

}  // namespace
