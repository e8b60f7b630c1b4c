// jpegtool thumb IN.jpg OUT.ppm: the embedded thumbnail through RGB565.
#include <cstdio>
#include <vector>

#include "JpegToolCommands.h"
#include "jpeg/JpegDecoder.h"
#include "pixels/Rgb565.h"

namespace jpegtool {

int Thumb(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: jpegtool thumb IN.jpg OUT.ppm\n");
        return 2;
    }
    std::vector<uint8_t> data;
    if (!ReadFile(args[0], data)) {
        return 1;
    }
    JpegDecoder* image = nullptr;
    JpegImageInfo info;
    uint8_t kind = 0;
    uint32_t length = 0;
    JpegRefusal refusal = kJpegRefusalNone;
    // The main frame is opened only to find its thumbnail: at scale 1, which
    // every frame kind takes (a lossless one refuses the others).
    if (gCreateJpegImageDecoder(&image, data.data(), static_cast<uint32_t>(data.size()), &info, &kind, &length, 1,
                                &refusal) != 0) {
        std::fprintf(stderr, "jpegtool thumb: %s: not decoded: %s\n", args[0].c_str(), gDescribeJpegRefusal(refusal));
        return 1;
    }
    image->Release(image);
    if (kind == 0) {
        std::fprintf(stderr, "jpegtool thumb: %s has no thumbnail\n", args[0].c_str());
        return 1;
    }
    const uint8_t* start = data.data() + (info.thumbnail.form == kJpegThumbFormRgb ? 0 : info.thumbnailOffset);
    JpegDecoder* thumb = nullptr;
    if (gCreateJpegThumbnailDecoder(&thumb, start, length, &info.thumbnail, &refusal) != 0) {
        std::fprintf(stderr, "jpegtool thumb: %s: thumbnail not decoded: %s\n", args[0].c_str(),
                     gDescribeJpegRefusal(refusal));
        return 1;
    }
    const JpegThumbnailInfo& t = info.thumbnail;
    std::vector<uint16_t> pixels(size_t{t.evenWidth} * t.evenHeight);
    const int32_t result = gDecodeJpegImage(thumb, pixels.data(), static_cast<uint32_t>(pixels.size()), &info.thumbnail);
    if (result != 0) {
        std::fprintf(stderr, "jpegtool thumb: %s: thumbnail stream error (%d): %s\n", args[0].c_str(), result,
                     gDescribeJpegRefusal(gGetJpegRefusal(thumb)));
    } else if (gIsJpegDataTruncated(thumb) == 1) {
        std::fprintf(stderr, "jpegtool thumb: %s: warning: premature end of the thumbnail's data\n", args[0].c_str());
    }
    thumb->Release(thumb);
    const std::vector<uint8_t> rgb = pixels::WidenRgb565Rows(pixels.data(), t.evenWidth, t.width, t.height);
    if (!WritePnm(args[1], rgb.data(), t.width, t.height, 3)) {
        return 1;
    }
    return result == 0 ? 0 : 1;
}

}  // namespace jpegtool
