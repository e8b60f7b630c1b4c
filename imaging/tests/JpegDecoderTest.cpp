// Unit tests of the decoder on small hand-made streams.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegEntropyReader.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegTables.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}

// SOF segment: marker code, precision, size and components (id, factors).
Bytes Frame(uint8_t sof, uint32_t width, uint32_t height, std::vector<std::pair<uint8_t, uint8_t>> comps,
            uint8_t precision = 8) {
    Bytes b = {0xFF, sof};
    Put16(b, 8 + 3 * comps.size());
    b.push_back(precision);
    Put16(b, height);
    Put16(b, width);
    b.push_back(static_cast<uint8_t>(comps.size()));
    for (auto [id, factors] : comps) {
        b.insert(b.end(), {id, factors, 0});
    }
    return b;
}

Bytes Stream(std::initializer_list<Bytes> parts) {
    Bytes b = {0xFF, 0xD8};
    for (const Bytes& p : parts) {
        for (uint8_t byte : p) {
            b.push_back(byte);
        }
    }
    b.push_back(0xFF);
    b.push_back(0xD9);
    return b;
}

int32_t Create(const Bytes& data, int32_t scale, JpegDecoder** out = nullptr, JpegImageInfo* infoOut = nullptr) {
    JpegDecoder* decoder = reinterpret_cast<JpegDecoder*>(1);
    JpegImageInfo info;
    uint8_t kind = 0;
    uint32_t length = 0;
    const int32_t r =
        gCreateJpegImageDecoder(&decoder, data.data(), static_cast<uint32_t>(data.size()), &info, &kind, &length, scale);
    if (r != 0) {
        EXPECT_EQ(decoder, nullptr);
    }
    if (infoOut) {
        *infoOut = info;
    }
    if (out) {
        *out = decoder;
    } else if (r == 0) {
        decoder->Release(decoder);
    }
    return r;
}

const std::vector<std::pair<uint8_t, uint8_t>> kGrey = {{1, 0x11}};
const std::vector<std::pair<uint8_t, uint8_t>> k420 = {{1, 0x22}, {2, 0x11}, {3, 0x11}};

TEST(JpegDecoderHeader, RefusesWhatItDoesNotTake) {
    struct Row {
        const char* name;
        Bytes data;
        int32_t scale;
    };
    const Row rows[] = {
        {"no SOI", {0x00, 0xD8, 0xFF, 0xD9}, 1},
        {"scale 3", Stream({Frame(0xC0, 8, 8, kGrey)}), 3},
        {"lossless at scale 2", Stream({Frame(0xC3, 8, 8, kGrey)}), 2},
        {"width 65521", Stream({Frame(0xC0, 65521, 8, kGrey)}), 1},
        {"height 0", Stream({Frame(0xC0, 8, 0, kGrey)}), 1},
        {"two components", Stream({Frame(0xC0, 8, 8, {{1, 0x11}, {2, 0x11}})}), 1},
        {"12-bit samples", Stream({Frame(0xC1, 8, 8, kGrey, 12)}), 1},
        {"factor 3", Stream({Frame(0xC0, 8, 8, {{1, 0x31}, {2, 0x11}, {3, 0x11}})}), 1},
        {"chroma above luma", Stream({Frame(0xC0, 8, 8, {{1, 0x11}, {2, 0x22}, {3, 0x22}})}), 1},
        {"equal identifiers", Stream({Frame(0xC0, 8, 8, {{1, 0x11}, {1, 0x11}, {3, 0x11}})}), 1},
        {"arithmetic coding", Stream({Frame(0xC9, 8, 8, kGrey)}), 1},
        {"frame length below its fixed part", Stream({{0xFF, 0xC0, 0x00, 0x05, 8, 0, 8}}), 1},
        {"no frame", Stream({}), 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Create(row.data, row.scale), -1) << row.name;
    }
    uint16_t w, h;
    uint8_t kind;
    uint32_t length;
    const Bytes noSoi = rows[0].data;
    EXPECT_EQ(gParseJpegHeader(noSoi.data(), 4, &w, &h, &kind, &length), -1);
    JpegDecoder* thumb = nullptr;
    JpegThumbnailInfo info{};
    info.form = kJpegThumbFormExifJpeg;
    EXPECT_EQ(gCreateJpegThumbnailDecoder(&thumb, noSoi.data(), 4, &info), -1);
    EXPECT_EQ(thumb, nullptr);
    EXPECT_EQ(gParseJpegHeader(nullptr, 4, &w, &h, &kind, &length), -2);
}

TEST(JpegDecoderHeader, AcceptsLosslessAtScaleOneAndReportsSizes) {
    EXPECT_EQ(Create(Stream({Frame(0xC3, 8, 8, kGrey)}), 1), 0);
    JpegImageInfo info;
    ASSERT_EQ(Create(Stream({Frame(0xC0, 17, 9, k420)}), 2, nullptr, &info), 0);
    EXPECT_EQ(info.paddedWidth, 32);
    EXPECT_EQ(info.paddedHeight, 16);
    EXPECT_EQ(info.evenWidth, 18);
    EXPECT_EQ(info.evenHeight, 10);
    EXPECT_EQ(info.samplingType, kJpegSampling420);
    EXPECT_EQ(info.frameKind, kJpegFrameBaseline);
    uint16_t w = 0, h = 0;
    uint8_t kind = 9;
    uint32_t length = 9;
    const Bytes s = Stream({{0xFF, 0xFF, 0xFF}, Frame(0xC2, 17, 9, k420)});  // fill bytes before SOF
    EXPECT_EQ(gParseJpegHeader(s.data(), static_cast<uint32_t>(s.size()), &w, &h, &kind, &length), 0);
    EXPECT_EQ(w, 17);
    EXPECT_EQ(h, 9);
    EXPECT_EQ(kind, 0);
}

TEST(JpegDecoderHeader, SamplingTypes) {
    struct Row {
        std::vector<std::pair<uint8_t, uint8_t>> comps;
        Bytes app;
        uint8_t type;
    };
    const Bytes jfif = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0};
    const Bytes adobe0 = {0xFF, 0xEE, 0, 14, 'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0};
    const Row rows[] = {
        {k420, {}, kJpegSampling420},
        {{{1, 0x21}, {2, 0x11}, {3, 0x11}}, {}, kJpegSampling422},
        {{{1, 0x12}, {2, 0x11}, {3, 0x11}}, {}, kJpegSampling440},
        {{{1, 0x11}, {2, 0x11}, {3, 0x11}}, jfif, kJpegSampling444},
        {{{1, 0x11}, {2, 0x11}, {3, 0x11}}, {}, kJpegSampling444},  // no Adobe segment: transform flag 255
        {{{1, 0x11}, {2, 0x11}, {3, 0x11}}, adobe0, kJpegSamplingRgb},
        {kGrey, {}, kJpegSamplingGrey},
    };
    for (const Row& row : rows) {
        JpegImageInfo info;
        ASSERT_EQ(Create(Stream({row.app, Frame(0xC0, 16, 16, row.comps)}), 1, nullptr, &info), 0);
        EXPECT_EQ(info.samplingType, row.type);
    }
}

// DQT, DHT and DRI readers on the cases that matter.
TEST(JpegMarkerReader, TableSegments) {
    jpeg::DecoderContext ctx;
    auto run = [&](Bytes segment) {
        segment.push_back(0xFF);
        segment.push_back(0xD9);
        ctx.reader = JpegByteReader(segment.data(), segment.size());
        ctx.quant[0].defined = false;
        return jpeg::DispatchMarker(ctx, static_cast<uint16_t>(segment[0] << 8 | segment[1]));
    };
    Bytes dqt = {0xFF, 0xDB, 0, 67, 0x00};
    dqt.resize(4 + 65, 1);
    EXPECT_EQ(run(dqt), 0);
    EXPECT_TRUE(ctx.quant[0].defined);
    Bytes short66 = dqt;
    short66[3] = 66;
    short66.pop_back();
    EXPECT_EQ(run(short66), 0);
    EXPECT_FALSE(ctx.quant[0].defined);
    Bytes wide = dqt;
    wide[4] = 0x10;  // 16-bit values
    EXPECT_EQ(run(wide), -1);

    auto dht = [](uint8_t tcth, std::vector<uint8_t> counts, int symbols) {
        counts.resize(16, 0);
        Bytes b = {0xFF, 0xC4};
        Put16(b, 2 + 1 + 16 + symbols);
        b.push_back(tcth);
        b.insert(b.end(), counts.begin(), counts.end());
        for (int i = 0; i < symbols; ++i) {
            b.push_back(static_cast<uint8_t>(i));
        }
        return b;
    };
    EXPECT_EQ(run(dht(0x00, {0, 12}, 12)), -1) << "12 codes of 2 bits overflow the code space";
    EXPECT_EQ(run(dht(0x00, {0, 3, 10}, 13)), -1) << "13 DC codes";
    EXPECT_EQ(run(dht(0x00, {0, 4}, 4)), -1) << "the fourth code of 2 bits is all ones";
    EXPECT_EQ(run(dht(0x00, {0, 3, 2}, 5)), -1) << "the last code, 111, is all ones";
    EXPECT_EQ(run(dht(0x00, {0, 3, 1}, 4)), 0) << "110 leaves the all-ones code free";
    std::vector<uint8_t> ac176(16, 0);
    ac176[15] = 176;
    EXPECT_EQ(run(dht(0x10, ac176, 176)), 0);
    EXPECT_TRUE(ctx.acTables[0].defined);
    Bytes trailing = dht(0x00, {0, 1}, 1);
    trailing[3] += 3;  // bytes after the last table, inside the segment
    trailing.insert(trailing.end(), {0, 0, 0});
    EXPECT_EQ(run(trailing), -1);
    ctx.frameRead = true;
    ctx.frameKind = kJpegFrameBaseline;
    EXPECT_EQ(run(dht(0x02, {0, 1}, 1)), -1) << "table 2 in a baseline frame";
    ctx.frameKind = kJpegFrameProgressive;
    EXPECT_EQ(run(dht(0x02, {0, 1}, 1)), 0);
    EXPECT_EQ(run({0xFF, 0xDD, 0, 4, 0, 5}), 0);
    EXPECT_EQ(ctx.restartInterval, 5);
    EXPECT_EQ(run({0xFF, 0xDD, 0, 3, 0}), -1) << "DRI length below its fixed part";
}

// Codes longer than the lookahead are found through the canonical tables.
TEST(JpegHuffmanDecoder, LongCodes) {
    uint8_t counts[16] = {};
    counts[0] = 1;   // "0" -> symbol 0
    counts[11] = 1;  // "100000000000" -> symbol 1
    const uint8_t symbols[] = {0x00, 0x21};
    jpeg::HuffmanTable table;
    ASSERT_TRUE(jpeg::BuildHuffmanTable(counts, symbols, 2, table));
    const uint8_t data[] = {0x80, 0x00, 0x00};  // 1000 0000 0000 | 0...
    jpeg::EntropyReader reader(data, sizeof(data), 0);
    EXPECT_EQ(reader.Decode(table), 0x21);
    EXPECT_EQ(reader.Decode(table), 0x00);
    const uint8_t overflow[16] = {3};  // three codes of one bit
    const uint8_t three[] = {0, 1, 2};
    EXPECT_FALSE(jpeg::BuildHuffmanTable(overflow, three, 3, table));
}

// The one-look table agrees with decoding the code and then reading its
// value bits (value, run or end of block, bits taken), for every 9-bit
// window of the example tables; codes whose value does not fit the window
// are left to the full decode.
TEST(JpegHuffmanDecoder, OneLookTableMatchesCodeThenValue) {
    // The window, then a tail that tells how many bits were taken; stuffed.
    auto stream = [](uint32_t window) {
        const uint32_t bits = window << 23 | 0x2C5A3Bu;
        Bytes data;
        for (int shift = 24; shift >= 0; shift -= 8) {
            data.push_back(static_cast<uint8_t>(bits >> shift));
            if (data.back() == 0xFF) {
                data.push_back(0x00);
            }
        }
        return data;
    };
    for (const jpeg::HuffmanSpec* spec : {&jpeg::kStdAcLuma, &jpeg::kStdAcChroma, &jpeg::kStdDcLuma}) {
        jpeg::HuffmanTable table;
        ASSERT_TRUE(jpeg::BuildHuffmanTable(spec->bits, spec->values, spec->count, table));
        int oneLook = 0;
        for (uint32_t window = 0; window < (1u << jpeg::kLookaheadBits); ++window) {
            const Bytes data = stream(window);
            jpeg::EntropyReader full(data.data(), data.size(), 0), fast(data.data(), data.size(), 0);
            fast.Need(32);
            const int32_t entry = fast.PeekValue(table);
            if (entry == 0) {
                continue;
            }
            ++oneLook;
            const int32_t symbol = full.Decode(table);
            const int size = symbol & 0x0F;
            const int32_t value = size ? full.Extend(full.Bits(size), size) : 0;
            fast.Skip(entry & 0xFF);
            EXPECT_EQ(entry >> 16, value) << window;
            EXPECT_EQ((entry >> 8) & 0xFF, symbol == 0 ? jpeg::kEndOfBlockStep : symbol >> 4) << window;
            EXPECT_EQ(fast.Peek(16), full.Peek(16)) << window;
        }
        EXPECT_GT(oneLook, 256) << "most windows decode in one look";
    }
}

// The reader stops at a marker and past the end reads zeros, flagged.
TEST(JpegEntropyReader, StopsAtMarkersAndEnd) {
    const uint8_t data[] = {0xFF, 0x00, 0xA5, 0xFF, 0xD0, 0x12};
    jpeg::EntropyReader reader(data, sizeof(data), 0);
    EXPECT_EQ(reader.Bits(16), 0xFFA5u);
    EXPECT_FALSE(reader.Overrun());
    EXPECT_EQ(reader.Bits(8), 0u);
    EXPECT_TRUE(reader.Overrun());
    EXPECT_EQ(reader.Position(), 3u);  // at the restart marker
    const uint8_t tail[] = {0x12};
    jpeg::EntropyReader end(tail, 1, 0);
    EXPECT_EQ(end.Bits(12), 0x120u);
    EXPECT_TRUE(end.Overrun());
}

TEST(JpegIdct, DcOnlyBlockAtEveryScale) {
    int16_t block[64] = {};
    block[0] = 16 * 10 * 8;  // quantiser 16, value 10
    for (int scale : {1, 2, 4, 8}) {
        uint8_t out[64];
        std::memset(out, 0, sizeof(out));
        const int n = 8 / scale;
        jpeg::IdctStore(block, 0, scale, scale, out, 8);
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                EXPECT_EQ(out[y * 8 + x], 148) << scale;
            }
        }
        // The reduced transforms give the same flat block when asked in full.
        jpeg::IdctStore(block, 63, scale, scale, out, 8);
        EXPECT_EQ(out[0], 148) << scale;
        EXPECT_EQ(out[(n - 1) * 8 + n - 1], 148) << scale;
    }
}

// The fast transform against the textbook 2-D inverse DCT.
TEST(JpegIdct, FullTransformMatchesDefinition) {
    int16_t block[64];
    double coef[64];
    uint32_t seed = 12345;
    for (int i = 0; i < 64; ++i) {
        seed = seed * 1103515245 + 12345;
        coef[i] = i == 0 ? 100 : double(int((seed >> 16) % 61) - 30) / (1 + i / 8);
    }
    const double pi = 3.14159265358979323846;
    // The prescale of the scale table: c(0) = 1, c(u) = sqrt(2) cos(min(u, 8 - u) pi / 16).
    auto c = [&](int u) { return u == 0 ? 1.0 : std::sqrt(2.0) * std::cos(std::min(u, 8 - u) * pi / 16); };
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            block[v * 8 + u] = static_cast<int16_t>(std::lround(8 * c(u) * c(v) * coef[v * 8 + u]));
        }
    }
    uint8_t out[64];
    jpeg::IdctFull(block, out, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double s = 0;
            for (int v = 0; v < 8; ++v) {
                for (int u = 0; u < 8; ++u) {
                    const double cu = u ? 1 : 1 / std::sqrt(2.0), cv = v ? 1 : 1 / std::sqrt(2.0);
                    s += cu * cv * coef[v * 8 + u] * std::cos((2 * x + 1) * u * pi / 16) * std::cos((2 * y + 1) * v * pi / 16);
                }
            }
            const double expected = std::clamp(s / 4 + 128, 0.0, 255.0);
            EXPECT_NEAR(out[y * 8 + x], expected, 1.0) << x << "," << y;
        }
    }
}

// Blocks of the forward transform of random pictures, extreme ones included
// (every sample 0 or 255): the vector kernel agrees with the scalar reference
// and both give back the picture.
TEST(JpegIdct, VectorKernelMatchesScalarOnExtremeBlocks) {
    const double pi = 3.14159265358979323846;
    auto c = [&](int u) { return u == 0 ? 1.0 : std::sqrt(2.0) * std::cos(std::min(u, 8 - u) * pi / 16); };
    uint32_t seed = 99;
    auto next = [&] {
        seed = seed * 1664525 + 1013904223;
        return seed >> 8;
    };
    int worstVector = 0, worstScalar = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        int pixels[64];
        for (int& p : pixels) {
            p = trial % 3 == 0 ? int(next() % 256) : (next() & 1) * 255;
        }
        int16_t block[64];
        for (int v = 0; v < 8; ++v) {
            for (int u = 0; u < 8; ++u) {
                double f = 0;
                for (int y = 0; y < 8; ++y) {
                    for (int x = 0; x < 8; ++x) {
                        f += (pixels[y * 8 + x] - 128) * std::cos((2 * x + 1) * u * pi / 16) *
                             std::cos((2 * y + 1) * v * pi / 16);
                    }
                }
                f *= (u ? 1 : 1 / std::sqrt(2.0)) * (v ? 1 : 1 / std::sqrt(2.0)) / 4;
                block[v * 8 + u] = static_cast<int16_t>(std::lround(8 * c(u) * c(v) * std::round(f)));
            }
        }
        uint8_t scalar[64], vector[64];
        jpeg::IdctFull(block, scalar, 8);
        jpeg::IdctFullSse2(block, vector, 8);
        for (int i = 0; i < 64; ++i) {
            worstVector = std::max(worstVector, std::abs(int(scalar[i]) - int(vector[i])));
            worstScalar = std::max(worstScalar, std::abs(int(scalar[i]) - pixels[i]));
        }
    }
    EXPECT_LE(worstVector, 1);
    EXPECT_LE(worstScalar, 1);
}

// The kernel for blocks with coefficients in the top-left 4 x 4 only gives
// exactly what the full kernel gives, saturating values included.
TEST(JpegIdct, QuarterKernelMatchesFullKernel) {
    std::mt19937 random(4);
    for (int trial = 0; trial < 2000; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = static_cast<int>(random() % (jpeg::kQuarterLastIndex + 1));
        for (int k = 0; k <= last; ++k) {
            const uint32_t pick = random() % 4;
            block[jpeg::kZigzagToNatural[k]] = pick == 0 ? 32767 : (pick == 1 ? -32768 : static_cast<int16_t>(static_cast<int>(random() % 4001) - 2000));
        }
        uint8_t full[64], quarter[64];
        jpeg::IdctFullSse2(block, full, 8);
        jpeg::IdctQuarterSse2(block, quarter, 8);
        ASSERT_EQ(std::memcmp(full, quarter, 64), 0) << "trial " << trial;
    }
}

// The 16-bit transform taken one value at a time gives the vector kernel's
// samples exactly, saturation included: the kernel sets decode alike.
TEST(JpegIdct, SixteenBitScalarMatchesVectorKernel) {
    std::mt19937 random(16);
    for (int trial = 0; trial < 3000; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = trial % 64;  // every extent of the coefficients
        for (int k = 0; k <= last; ++k) {
            const uint32_t pick = random() % 6;
            block[jpeg::kZigzagToNatural[k]] =
                pick == 0 ? 32767 : (pick == 1 ? -32768 : static_cast<int16_t>(static_cast<int>(random() % 4001) - 2000));
        }
        uint8_t vector[64], scalar[64];
        jpeg::IdctFullSse2(block, vector, 8);
        jpeg::IdctFull16(block, scalar, 8);
        ASSERT_EQ(std::memcmp(vector, scalar, 64), 0) << "trial " << trial;
    }
}

// The vector reduced transforms give the scalar ones' samples exactly, at
// every pair of sizes, for sparse, dense and extreme blocks.
TEST(JpegIdct, ReducedVectorMatchesScalar) {
    std::mt19937 random(8);
    for (int trial = 0; trial < 600; ++trial) {
        alignas(16) int16_t block[64] = {};
        const int last = trial % 64;  // every extent of the coefficients
        for (int k = 0; k <= last; ++k) {
            const uint32_t pick = random() % 5;
            block[jpeg::kZigzagToNatural[k]] =
                pick == 0 ? 32767 : (pick == 1 ? -32768 : static_cast<int16_t>(static_cast<int>(random() % 2001) - 1000));
        }
        for (int nx : {1, 2, 4, 8}) {
            for (int ny : {1, 2, 4, 8}) {
                uint8_t vector[64] = {}, scalar[64] = {};
                jpeg::IdctReducedBlock(block, nx, ny, vector, 8, true, last);
                jpeg::IdctReducedBlock(block, nx, ny, scalar, 8, false);
                ASSERT_EQ(std::memcmp(vector, scalar, 64), 0) << "trial " << trial << " " << nx << "x" << ny;
            }
        }
    }
}

// Blocks through a batch transform, eight or fewer at once with mixed
// extents, give each block's scalar samples exactly, at each size that has
// a batch transform.
TEST(JpegIdct, BatchMatchesScalar) {
    std::mt19937 random(31);
    int sizes = 0;
    for (int n : {2, 4}) {
        const jpeg::BatchTransform batched = jpeg::BatchTransformFor(8 / n, 8 / n);
        if (batched == nullptr) {
            continue;
        }
        ++sizes;
        for (int trial = 0; trial < 400; ++trial) {
            jpeg::BlockBatch batch;
            const int count = 1 + trial % jpeg::BlockBatch::kSize;
            uint8_t out[jpeg::BlockBatch::kSize][4 * 8] = {};
            int16_t kept[jpeg::BlockBatch::kSize][64] = {};
            for (int b = 0; b < count; ++b) {
                int16_t* block = batch.Next();
                std::memset(block, 0, 64 * sizeof(int16_t));
                // Mostly sparse blocks, some dense, some with saturated values.
                const int last = random() % 4 == 0 ? static_cast<int>(random() % 64) : static_cast<int>(1 + random() % 9);
                for (int k = 0; k <= last; ++k) {
                    const uint32_t pick = random() % 8;
                    block[jpeg::kZigzagToNatural[k]] =
                        pick == 0 ? 32767
                                  : (pick == 1 ? -32768
                                               : (pick == 2 ? 0 : static_cast<int16_t>(static_cast<int>(random() % 2001) - 1000)));
                }
                std::memcpy(kept[b], block, sizeof(kept[b]));
                batch.Hold(last, out[b], 8);
            }
            batched(batch);
            EXPECT_EQ(batch.count, 0);
            for (int b = 0; b < count; ++b) {
                uint8_t scalar[4 * 8] = {};
                jpeg::IdctReducedBlock(kept[b], n, n, scalar, 8, false);
                ASSERT_EQ(std::memcmp(out[b], scalar, sizeof(scalar)), 0)
                    << n << "x" << n << " trial " << trial << " block " << b;
            }
        }
    }
    if (sizes == 0) {
        GTEST_SKIP() << "no batch transform in this kernel set";
    }
}

// RGB565 conversion: white stays white through the dither; black at the
// (even row, odd column) position loses its dither to the packing.
TEST(JpegColorOutput, DitherAndPacking) {
    for (uint8_t type : {kJpegSampling420, kJpegSampling422, kJpegSampling444, kJpegSampling440}) {
        for (uint8_t luma : {uint8_t{255}, uint8_t{0}}) {
            std::vector<uint8_t> y(16 * 16, luma), cb(16 * 16, 128), cr(16 * 16, 128);
            JpegPlanes planes{y.data(), cb.data(), cr.data(), 16, 16};
            uint16_t out[4 * 4];
            const jpeg::ChromaLayout layout{16, type == kJpegSampling420 || type == kJpegSampling422 ? 1 : 0,
                                            type == kJpegSampling420 || type == kJpegSampling440 ? 1 : 0};
            jpeg::ConvertPlanes(planes, layout, type, 4, 4, 0, out);
            if (luma == 255) {
                for (uint16_t p : out) {
                    EXPECT_EQ(p, 0xFFFF) << int(type);
                }
            } else {
                EXPECT_EQ(out[1], 0x0000) << int(type);
            }
        }
    }
    // Types 2 and 3 give the same pixel for the same samples.
    std::vector<uint8_t> y(16 * 16, 90), cb(16 * 16, 60), cr(16 * 16, 200);
    JpegPlanes planes{y.data(), cb.data(), cr.data(), 16, 16};
    uint16_t a[16], b[16];
    jpeg::ConvertPlanes(planes, {16, 1, 0}, kJpegSampling422, 4, 4, 0, a);
    jpeg::ConvertPlanes(planes, {16, 0, 0}, kJpegSampling444, 4, 4, 0, b);
    EXPECT_EQ(std::memcmp(a, b, sizeof(a)), 0);
}

// The vector RGB565 path against the scalar reference: every sampling type,
// widths that leave tails, samples at the clamping extremes and in between.
TEST(JpegColorOutput, VectorMatchesScalar) {
    std::mt19937 random(565);
    for (uint8_t type : {kJpegSampling420, kJpegSampling422, kJpegSampling444, kJpegSampling440}) {
        const int hShift = type == kJpegSampling420 || type == kJpegSampling422 ? 1 : 0;
        const int vShift = type == kJpegSampling420 || type == kJpegSampling440 ? 1 : 0;
        for (uint32_t width : {16u, 33u, 70u}) {
            const uint32_t stride = 80, height = 6;
            std::vector<uint8_t> y(stride * height), cb(stride * height), cr(stride * height);
            for (auto* plane : {&y, &cb, &cr}) {
                for (uint8_t& v : *plane) {
                    const uint32_t pick = random() % 4;
                    v = pick == 0 ? 0 : (pick == 1 ? 255 : static_cast<uint8_t>(random()));
                }
            }
            JpegPlanes planes{y.data(), cb.data(), cr.data(), static_cast<uint16_t>(stride), height};
            const jpeg::ChromaLayout layout{stride, hShift, vShift};
            std::vector<uint16_t> vector((width + 1) * height), scalar(vector.size());
            jpeg::ConvertPlanes(planes, layout, type, width, height, 0, vector.data(), true);
            jpeg::ConvertPlanes(planes, layout, type, width, height, 0, scalar.data(), false);
            EXPECT_EQ(vector, scalar) << "type " << int(type) << " width " << width;
        }
    }
}

// A JFIF file with a 3 x 3 RGB thumbnail: 4 x 4 pixels, the last column and
// row repeated; a short buffer is refused.
TEST(JpegThumbnail, UncompressedJfifThumbnail) {
    Bytes app0 = {0xFF, 0xE0, 0, 16 + 27, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 3, 3};
    for (int i = 0; i < 9; ++i) {
        app0.insert(app0.end(), {static_cast<uint8_t>(i * 28), static_cast<uint8_t>(255 - i * 20), 0x40});
    }
    const Bytes file = Stream({app0, Frame(0xC0, 8, 8, kGrey)});
    JpegDecoder* image = nullptr;
    JpegImageInfo info;
    uint8_t kind = 0;
    uint32_t length = 0;
    ASSERT_EQ(gCreateJpegImageDecoder(&image, file.data(), static_cast<uint32_t>(file.size()), &info, &kind, &length, 4), 0);
    image->Release(image);
    ASSERT_EQ(kind, kJpegThumbRgb);
    EXPECT_EQ(info.thumbnail.form, kJpegThumbFormRgb);
    EXPECT_EQ(length, 2u + 18u + 27u);
    JpegDecoder* thumb = nullptr;
    ASSERT_EQ(gCreateJpegThumbnailDecoder(&thumb, file.data(), length, &info.thumbnail), 0);
    EXPECT_EQ(info.thumbnail.evenWidth, 4);
    uint16_t pixels[16];
    EXPECT_EQ(gDecodeJpegImage(thumb, pixels, 15, &info.thumbnail), -2);
    ASSERT_EQ(gDecodeJpegImage(thumb, pixels, 16, &info.thumbnail), 0);
    thumb->Release(thumb);
    auto pack = [](int i) {
        return static_cast<uint16_t>(((i * 28 & 0xF8) << 8) | (((255 - i * 20) & 0xFC) << 3) | (0x40 >> 3));
    };
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(pixels[y * 4 + x], pack(std::min(y, 2) * 3 + std::min(x, 2))) << x << "," << y;
        }
    }
    // A zero-size JFIF thumbnail is no thumbnail.
    Bytes none = {0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 2, 0, 0, 1, 0, 1, 0, 0};
    const Bytes plain = Stream({none, Frame(0xC0, 8, 8, kGrey)});
    uint16_t w, h;
    EXPECT_EQ(gParseJpegHeader(plain.data(), static_cast<uint32_t>(plain.size()), &w, &h, &kind, &length), 0);
    EXPECT_EQ(kind, 0);
    // An APP13 segment without a readable stream (no SOI, or SOI and nothing
    // after it) offers no thumbnail.
    for (const Bytes& app13 : {Bytes{0xFF, 0xED, 0, 8, 'P', 'h', 'o', 't', 'o', 0},
                               Bytes{0xFF, 0xED, 0, 6, 0, 0, 0xFF, 0xD8}}) {
        const Bytes withApp13 = Stream({app13, Frame(0xC0, 8, 8, kGrey)});
        kind = 9;
        length = 9;
        EXPECT_EQ(gParseJpegHeader(withApp13.data(), static_cast<uint32_t>(withApp13.size()), &w, &h, &kind, &length),
                  0);
        EXPECT_EQ(kind, 0);
        EXPECT_EQ(length, 0u);
    }
}

}  // namespace
