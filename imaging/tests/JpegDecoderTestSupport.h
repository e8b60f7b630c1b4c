// Helpers of the decoder tests: pictures made and decoded by libjpeg-turbo
// (the peer), our decoder driven through its public interface, and the
// measures the tests compare them with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace jpegtest {

struct Picture {
    uint32_t width = 0;
    uint32_t height = 0;
    int channels = 0;  // 1 grey, 3 RGB or YCbCr
    std::vector<uint8_t> pixels;
};

struct EncodeOptions {
    int quality = 75;
    int hSamp = 2;  // luma factors; chroma 1x1
    int vSamp = 2;
    bool grey = false;
    bool progressive = false;
    int restartInterval = 0;  // in MCUs
    bool rgb = false;         // RGB components (ids "R", "G", "B", Adobe transform 0)
    bool scanPerComponent = false;  // sequential, one scan for each component
};

// A smooth picture with edges and texture, the same for the same size.
Picture TestPattern(uint32_t width, uint32_t height);

std::vector<uint8_t> PeerEncode(const Picture& rgb, const EncodeOptions& options);

// libjpeg-turbo's decode: colorSpace "rgb", "grey" (Y only) or "ycc";
// fancy upsampling off so that chroma is replicated as ours is.
Picture PeerDecode(const std::vector<uint8_t>& jpeg, const char* colorSpace, int scale = 1);

// Whether libjpeg-turbo decodes the stream whole (no error) and, if so,
// whether it warns of a premature end of the data.
struct PeerEnd {
    bool decoded = false;
    bool prematureEnd = false;
};
PeerEnd PeerDecodeEnd(const std::vector<uint8_t>& jpeg);

// Our decode to planes, every plane expanded to the luma size.
struct OurPlanes {
    int32_t createResult = 0;
    int32_t decodeResult = 0;
    int32_t refusal = 0;    // gGetJpegRefusal after creation or Decode failed
    bool truncated = false; // gIsJpegDataTruncated after Decode
    uint8_t samplingType = 0;
    Picture ycc;  // channels 1 or 3, width x height at the scale
};
OurPlanes OurDecode(const std::vector<uint8_t>& jpeg, int scale = 1);

// Our RGB565 output widened to 8 bits per channel.
Picture OurRgb565(const std::vector<uint8_t>& jpeg, int scale = 1, int32_t* result = nullptr);

// The same picture in RGB from YCbCr planes (JFIF conversion, no dither).
Picture YccToRgb(const Picture& ycc);

// One channel of a picture.
Picture Channel(const Picture& p, int channel);

double Psnr(const Picture& a, const Picture& b);
int MaxDifference(const Picture& a, const Picture& b);

// The top-left width x height of a picture.
Picture Crop(const Picture& p, uint32_t width, uint32_t height);

// Box filter by an integer factor, ragged edges averaged over what is there.
Picture Downscale(const Picture& p, int factor);

std::vector<uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::vector<uint8_t>& data);

}  // namespace jpegtest
