// The codec's vector kernels give the scalar reference's bytes: jpegtool runs
// each encode and decode under every kernel set this processor has (the set
// is chosen once per process, so each set is a process of its own) and the
// files it writes must be the same.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CpuFeatures.h"
#include "lumtest/command.h"
#include "lumtest/tempdir.h"

namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets to compare with the scalar reference: those the processor has.
std::vector<std::string> VectorSets()
{
    std::vector<std::string> sets;
    if (imaging::ProcessorHasSse2()) {
        sets.push_back("sse2");
    }
    if (imaging::ProcessorHasAvx2()) {
        sets.push_back("avx2");
    }
    return sets;
}

// Runs jpegtool with its arguments under a kernel set, writing to out; the
// written file's bytes, empty when the run failed.
std::vector<uint8_t> RunTool(const std::string& set, const std::string& command, const fs::path& in,
                             const fs::path& out, const std::string& options)
{
    fs::remove(out);
    const std::string line = "LUM_KERNELS=" + set + " " + std::string(LUM_BINARY_DIR) + "/bin/jpegtool " + command +
                             " " + lumtest::ShellQuoted(in) + " " + lumtest::ShellQuoted(out) + " " + options +
                             " >/dev/null";
    if (std::system(line.c_str()) != 0) {
        return {};
    }
    return Bytes(out);
}

struct Rgb {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* At(int x, int y) const { return &pixels[(static_cast<size_t>(y) * width + x) * 3]; }
};

Rgb ReadPpm(const fs::path& path)
{
    const std::vector<uint8_t> file = Bytes(path);
    Rgb p;
    int max = 0, consumed = 0;
    std::sscanf(reinterpret_cast<const char*>(file.data()), "P6 %d %d %d%n", &p.width, &p.height, &max, &consumed);
    p.pixels.assign(file.begin() + consumed + 1, file.end());
    return p;
}

void Write(const fs::path& path, const std::string& header, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << header;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The top-left width x height of the picture as a PPM (the encoder takes even sizes).
fs::path WriteCrop(const Rgb& rgb, int width, int height, const fs::path& out)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < height; ++y) {
        bytes.insert(bytes.end(), rgb.At(0, y), rgb.At(0, y) + 3 * width);
    }
    Write(out, "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n", bytes);
    return out;
}

// The top-left width x height as a raw planar 4:2:0 frame.
fs::path WriteYuv420(const Rgb& rgb, int width, int height, const fs::path& out)
{
    std::vector<uint8_t> yuv(static_cast<size_t>(width) * height * 3 / 2);
    uint8_t* cb = yuv.data() + static_cast<size_t>(width) * height;
    uint8_t* cr = cb + static_cast<size_t>(width / 2) * (height / 2);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = rgb.At(x, y);
            yuv[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
            if (x % 2 == 0 && y % 2 == 0) {
                const size_t c = static_cast<size_t>(y / 2) * (width / 2) + x / 2;
                cb[c] = static_cast<uint8_t>(128 + ((-43 * p[0] - 85 * p[1] + 128 * p[2]) >> 8));
                cr[c] = static_cast<uint8_t>(128 + ((128 * p[0] - 107 * p[1] - 21 * p[2]) >> 8));
            }
        }
    }
    Write(out, "", yuv);
    return out;
}

// Black and white noise beside a flat grey field with lone dots: at quality
// 100 the noise gives the largest coefficients of both signs and blocks that
// end at position 63, the dots long runs of zeros.
fs::path WriteExtremes(const fs::path& out)
{
    const int width = 64, height = 48;
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * 3, 128);
    uint32_t seed = 31;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &bytes[(static_cast<size_t>(y) * width + x) * 3];
            seed = seed * 1664525u + 1013904223u;
            if (x < width / 2) {
                p[0] = p[1] = p[2] = (seed >> 31) ? 255 : 0;
                p[1 + (seed >> 30) % 2] = static_cast<uint8_t>(seed >> 8);
            } else if (x % 13 == 7 && y % 11 == 5) {
                p[0] = p[1] = p[2] = 255;
            }
        }
    }
    Write(out, "P6\n64 48\n255\n", bytes);
    return out;
}

TEST(JpegKernelSets, EncodedStreamsAreTheSameUnderEverySet)
{
    lumtest::TempDir dir;
    const Rgb picture = ReadPpm(lumtest::TestData("libjpeg-turbo/testorig.ppm"));
    // 226 x 148: edge MCUs padded on both sides.
    const fs::path ppm = WriteCrop(picture, 226, 148, dir.path() / "picture.ppm");
    const fs::path yuv = WriteYuv420(picture, 224, 144, dir.path() / "frame.yuv");
    const fs::path extremes = WriteExtremes(dir.path() / "extremes.ppm");
    const std::string size = " --size 224x144";
    const struct {
        fs::path in;
        std::string options;
    } cases[] = {
        {ppm, "--format 6"},  // interleaved RGB: colour conversion in the formers
        {ppm, "--format 5 --quality 90"},
        {ppm, "--format 7"},
        {ppm, "--format 10"},
        {ppm, "--format 6 --progressive"},
        {ppm, "--format 6 --mode 2 --stripe-rows 2"},
        {ppm, "--format 6 --thumbnail 160x120 --exif --date '2026:01:02 03:04:05'"},
        {ppm, "--format 6 --target-bytes 3000"},
        {yuv, "--format 1" + size},
        {yuv, "--format 1 --quality 95 --progressive" + size},
        {extremes, "--format 6 --quality 100"},
        {extremes, "--format 6 --quality 100 --target-bytes 4000"},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t> reference = RunTool("scalar", "encode", c.in, dir.path() / "scalar.jpg", c.options);
        ASSERT_FALSE(reference.empty()) << c.options;
        for (const std::string& set : VectorSets()) {
            EXPECT_EQ(RunTool(set, "encode", c.in, dir.path() / (set + ".jpg"), c.options), reference)
                << set << ": " << c.options;
        }
    }
}

TEST(JpegKernelSets, DecodedPixelsAreTheSameUnderEverySet)
{
    lumtest::TempDir dir;
    std::vector<fs::path> inputs;
    for (const char* file : {"libjpeg-turbo/testorig.jpg", "libjpeg-turbo/testimgint.jpg",
                             "jpeg-decoder/reftest/restarts.jpg", "jpeg-decoder/reftest/rgb.jpg",
                             "jpeg-decoder/mozilla/jpg-size-33x33.jpg", "jpeg-decoder/reftest/non-interleaved-mcu.jpg",
                             "jpeg-decoder/reftest/grayscale_24x16_sampling2x2.jpg"}) {
        inputs.push_back(lumtest::TestData(file));
    }
    // A stream cut inside its scan: the blocks decoded before the cut are kept.
    const std::vector<uint8_t> whole = Bytes(lumtest::TestData("libjpeg-turbo/testorig.jpg"));
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 3 / 5));
    Write(dir.path() / "cut.jpg", "", cut);
    inputs.push_back(dir.path() / "cut.jpg");
    for (const fs::path& in : inputs) {
        for (const char* options : {"--scale 1", "--scale 2", "--scale 4", "--scale 8", "--rgb565",
                                    "--rgb565 --scale 2", "--rgb565 --scale 4", "--rgb565 --scale 8"}) {
            const std::vector<uint8_t> reference = RunTool("scalar", "decode", in, dir.path() / "scalar.ppm", options);
            ASSERT_FALSE(reference.empty()) << in << " " << options;
            for (const std::string& set : VectorSets()) {
                EXPECT_EQ(RunTool(set, "decode", in, dir.path() / (set + ".ppm"), options), reference)
                    << set << ": " << in << " " << options;
            }
        }
    }
}

}  // namespace
