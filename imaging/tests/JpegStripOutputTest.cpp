// RGB565 output of sequential frames is made one MCU row at a time. These
// compare it with the whole-plane road (decode to zeroed planes, then
// convert) on the streams where the two could part: lost and cut intervals,
// a frame of several scans, a stream without scan data, odd sizes, every
// sampling and every scale.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JpegDecoderTestSupport.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderInternal.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Pixels never written keep what the buffer held: two runs over buffers
// that hold different values show a row left out.
constexpr uint16_t kFill = 0xA5A5;

struct Output {
    int32_t result = 0;
    int32_t truncated = 0;
    std::vector<uint16_t> pixels;
};

JpegDecoder* Create(const Bytes& jpeg, int scale, JpegThumbnailInfo& out, JpegImageInfo& info) {
    JpegDecoder* decoder = nullptr;
    uint8_t kind = 0;
    uint32_t length = 0;
    if (gCreateJpegImageDecoder(&decoder, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind, &length,
                                scale) != 0) {
        ADD_FAILURE() << "not created";
        return nullptr;
    }
    gGetJpegOutputInfo(decoder, &out);
    return decoder;
}

Output ByRows(const Bytes& jpeg, int scale, uint16_t fill = kFill) {
    JpegThumbnailInfo out{};
    JpegImageInfo info{};
    JpegDecoder* decoder = Create(jpeg, scale, out, info);
    if (decoder == nullptr) {
        return {};
    }
    Output o;
    o.pixels.assign(size_t{out.evenWidth} * out.evenHeight, fill);
    o.result = gDecodeJpegImage(decoder, o.pixels.data(), static_cast<uint32_t>(o.pixels.size()), &out);
    o.truncated = gIsJpegDataTruncated(decoder);
    decoder->Release(decoder);
    return o;
}

Output ByWholePlanes(const Bytes& jpeg, int scale) {
    JpegThumbnailInfo out{};
    JpegImageInfo info{};
    JpegDecoder* decoder = Create(jpeg, scale, out, info);
    if (decoder == nullptr) {
        return {};
    }
    uint16_t chromaWidth = 0, chromaHeight = 0;
    gGetJpegPlaneSizes(decoder, &chromaWidth, &chromaHeight);
    const size_t luma = size_t{out.paddedWidth} * out.paddedHeight, chroma = size_t{chromaWidth} * chromaHeight;
    std::vector<uint8_t> planes(luma + 2 * chroma, 0);
    const JpegPlanes p{planes.data(), chroma ? planes.data() + luma : nullptr,
                       chroma ? planes.data() + luma + chroma : nullptr, out.paddedWidth, out.paddedHeight};
    Output o;
    o.pixels.assign(size_t{out.evenWidth} * out.evenHeight, kFill);
    o.result = decoder->Decode(decoder, &p);
    o.truncated = gIsJpegDataTruncated(decoder);
    if (o.result == kJpegOk || o.result == kJpegNoScanData) {
        const jpeg::ChromaLayout layout{chromaWidth, chromaWidth && chromaWidth < out.paddedWidth ? 1 : 0,
                                        chromaHeight && chromaHeight < out.paddedHeight ? 1 : 0};
        jpeg::ConvertPlanes(p, layout, info.samplingType, out.width, out.height, 0, o.pixels.data());
    }
    decoder->Release(decoder);
    return o;
}

Bytes Encode(uint32_t width, uint32_t height, jpegtest::EncodeOptions options) {
    return jpegtest::PeerEncode(jpegtest::TestPattern(width, height), options);
}

// Where each restart marker of the stream begins.
std::vector<size_t> RestartMarkers(const Bytes& jpeg) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] >= 0xD0 && jpeg[i + 1] <= 0xD7) {
            at.push_back(i);
        }
    }
    return at;
}

struct Case {
    std::string name;
    Bytes jpeg;
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    jpegtest::EncodeOptions o;
    cases.push_back({"4:2:0 odd size", Encode(61, 45, o)});
    o.hSamp = 2, o.vSamp = 1;
    cases.push_back({"4:2:2", Encode(53, 37, o)});
    o.hSamp = 1, o.vSamp = 2;
    cases.push_back({"4:4:0", Encode(40, 27, o)});
    o.hSamp = 1, o.vSamp = 1;
    cases.push_back({"4:4:4", Encode(33, 19, o)});
    jpegtest::EncodeOptions grey;
    grey.grey = true;
    cases.push_back({"grey", Encode(37, 23, grey)});

    // Intervals of one MCU, four to a row: the third is damaged (a code of
    // all one bits), so an MCU in the middle of a row is lost.
    jpegtest::EncodeOptions restarts;
    restarts.restartInterval = 1;
    Bytes damaged = Encode(61, 45, restarts);
    const std::vector<size_t> markers = RestartMarkers(damaged);
    if (markers.size() > 3) {
        const size_t at = markers[2] + 2;
        for (size_t i = 0; i < 6 && at + i < damaged.size(); i += 2) {
            damaged[at + i] = 0xFF;
            damaged[at + i + 1] = 0x00;
        }
    }
    cases.push_back({"damaged interval", damaged});
    // A restart marker removed: the intervals after it are stepped over.
    Bytes stepped = Encode(61, 45, restarts);
    if (markers.size() > 6) {
        stepped.erase(stepped.begin() + static_cast<long>(markers[5]),
                      stepped.begin() + static_cast<long>(markers[5] + 2));
    }
    cases.push_back({"lost restart marker", stepped});

    // The data ends in the middle of the scan, inside a row of MCUs.
    Bytes cut = Encode(61, 45, o);
    cut.resize(cut.size() * 3 / 5);
    cases.push_back({"cut scan", cut});

    // Three scans, one per component: whole planes, not rows.
    jpegtest::EncodeOptions several;
    several.scanPerComponent = true;
    cases.push_back({"scan per component", Encode(61, 45, several)});
    Bytes severalCut = Encode(61, 45, several);
    severalCut.resize(severalCut.size() * 1 / 2);
    cases.push_back({"scan per component, cut", severalCut});

    // Tables and frame, then the end: no scan data, zero planes converted.
    Bytes noScan = Encode(32, 32, jpegtest::EncodeOptions{});
    for (size_t i = 2; i + 1 < noScan.size(); ++i) {
        if (noScan[i] == 0xFF && noScan[i + 1] == 0xDA) {
            noScan.resize(i);
            noScan.insert(noScan.end(), {0xFF, 0xD9});
            break;
        }
    }
    cases.push_back({"no scan data", noScan});
    return cases;
}

TEST(JpegStripOutput, SameAsConvertingWholePlanes) {
    for (const Case& c : Cases()) {
        for (int scale : {1, 2, 4, 8}) {
            SCOPED_TRACE(c.name + " at 1/" + std::to_string(scale));
            const Output rows = ByRows(c.jpeg, scale);
            const Output whole = ByWholePlanes(c.jpeg, scale);
            EXPECT_EQ(rows.result, whole.result);
            EXPECT_EQ(rows.truncated, whole.truncated);
            ASSERT_EQ(rows.pixels.size(), whole.pixels.size());
            EXPECT_TRUE(rows.pixels == whole.pixels);
            if (rows.result == kJpegOk || rows.result == kJpegNoScanData) {
                EXPECT_TRUE(ByRows(c.jpeg, scale, static_cast<uint16_t>(~kFill)).pixels == rows.pixels);
            }
        }
    }
}

// The cases above are what they say: the damaged and cut streams lose
// pixels, the stream without scan data says so.
TEST(JpegStripOutput, CasesExerciseTheirFaults) {
    for (const Case& c : Cases()) {
        const Output rows = ByRows(c.jpeg, 1);
        if (c.name == "no scan data") {
            EXPECT_EQ(rows.result, kJpegNoScanData);
        } else {
            EXPECT_EQ(rows.result, kJpegOk) << c.name;
        }
        if (c.name.find("cut") != std::string::npos) {
            EXPECT_EQ(rows.truncated, 1) << c.name;
        }
    }
    // The damaged interval shows as pixels of zero planes where the whole
    // stream has picture.
    const std::vector<Case> cases = Cases();
    jpegtest::EncodeOptions restarts;
    restarts.restartInterval = 1;
    const Output intact = ByRows(Encode(61, 45, restarts), 1);
    const auto damaged = std::find_if(cases.begin(), cases.end(), [](const Case& c) { return c.name == "damaged interval"; });
    ASSERT_NE(damaged, cases.end());
    EXPECT_FALSE(ByRows(damaged->jpeg, 1).pixels == intact.pixels);
}

}  // namespace
