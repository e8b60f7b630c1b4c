// The shared constants against the peer library's own copy of Annex K: a
// stream that libjpeg writes at quality 50 with its standard Huffman tables
// must carry exactly our tables.
#include "jpeg/JpegTables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

std::vector<uint8_t> EncodeWithPeer(int components)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 50, TRUE);
    cinfo.optimize_coding = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(8 * components, 100);
    for (int y = 0; y < 8; ++y) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> result(out, out + outSize);
    free(out);
    return result;
}

// Payloads of every segment with the given marker, before the first SOS.
std::vector<std::vector<uint8_t>> Segments(const std::vector<uint8_t>& s, uint8_t marker)
{
    std::vector<std::vector<uint8_t>> found;
    size_t i = 2;
    while (i + 4 <= s.size() && s[i] == 0xFF && s[i + 1] != jpeg::kSos) {
        size_t len = (s[i + 2] << 8) | s[i + 3];
        if (s[i + 1] == marker) {
            found.emplace_back(s.begin() + i + 4, s.begin() + i + 2 + len);
        }
        i += 2 + len;
    }
    return found;
}

TEST(JpegTablesPeer, QuantisationTablesMatchPeerAtQuality50)
{
    auto dqt = Segments(EncodeWithPeer(3), jpeg::kDqt);
    std::vector<uint8_t> all;
    for (auto& seg : dqt) {
        all.insert(all.end(), seg.begin(), seg.end());
    }
    ASSERT_EQ(all.size(), 130u);
    for (int t = 0; t < 2; ++t) {
        const uint8_t* p = all.data() + t * 65;
        EXPECT_EQ(p[0], t);
        const uint16_t* ours = t == 0 ? jpeg::kStdLumaQuant : jpeg::kStdChromaQuant;
        for (int k = 0; k < 64; ++k) {
            EXPECT_EQ(p[1 + k], ours[jpeg::kZigzagToNatural[k]]) << "table " << t << " zigzag " << k;
        }
    }
}

TEST(JpegTablesPeer, HuffmanTablesMatchPeer)
{
    auto dht = Segments(EncodeWithPeer(3), jpeg::kDht);
    std::vector<uint8_t> all;
    for (auto& seg : dht) {
        all.insert(all.end(), seg.begin(), seg.end());
    }
    const jpeg::HuffmanSpec* specs[4] = {&jpeg::kStdDcLuma, &jpeg::kStdAcLuma, &jpeg::kStdDcChroma,
                                         &jpeg::kStdAcChroma};
    const uint8_t classIds[4] = {0x00, 0x10, 0x01, 0x11};
    size_t pos = 0;
    int seen = 0;
    while (pos < all.size()) {
        uint8_t id = all[pos];
        int idx = -1;
        for (int i = 0; i < 4; ++i) {
            if (classIds[i] == id) {
                idx = i;
            }
        }
        ASSERT_GE(idx, 0);
        const jpeg::HuffmanSpec& spec = *specs[idx];
        int count = 0;
        for (int l = 0; l < 16; ++l) {
            EXPECT_EQ(all[pos + 1 + l], spec.bits[l]) << "table " << int(id) << " length " << l + 1;
            count += all[pos + 1 + l];
        }
        ASSERT_EQ(count, spec.count);
        for (int v = 0; v < count; ++v) {
            EXPECT_EQ(all[pos + 17 + v], spec.values[v]) << "table " << int(id) << " value " << v;
        }
        pos += 17 + count;
        ++seen;
    }
    EXPECT_EQ(seen, 4);
}

TEST(JpegTables, ZigzagTablesAreInverse)
{
    for (int k = 0; k < 64; ++k) {
        EXPECT_EQ(jpeg::kNaturalToZigzag[jpeg::kZigzagToNatural[k]], k);
    }
}

TEST(JpegTables, DerivedCodesArePrefixFree)
{
    for (const jpeg::HuffmanSpec* spec :
         {&jpeg::kStdDcLuma, &jpeg::kStdDcChroma, &jpeg::kStdAcLuma, &jpeg::kStdAcChroma}) {
        uint16_t code[256];
        uint8_t len[256];
        ASSERT_TRUE(jpeg::DeriveHuffmanCodes(*spec, code, len));
        // The all-ones code of each length is reserved (T.81 C.2), so no code is all ones.
        for (int s = 0; s < 256; ++s) {
            if (len[s] != 0) {
                EXPECT_NE(code[s], (1u << len[s]) - 1) << s;
            }
        }
    }
    jpeg::HuffmanSpec overfull = {{3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                  jpeg::kStdDcLuma.values, 3};
    uint16_t code[256];
    uint8_t len[256];
    EXPECT_FALSE(jpeg::DeriveHuffmanCodes(overfull, code, len));
}

}  // namespace
