#include "saver_test_support.h"

#include <string>

#include "JpegDecoderTestSupport.h"
#include "jpeg/JpegDecoder.h"

namespace savertest {

std::vector<uint8_t> CameraStream(int width, int height)
{
    jpegtest::EncodeOptions options;
    options.quality = 90;
    std::vector<uint8_t> jpeg =
        jpegtest::PeerEncode(jpegtest::TestPattern(static_cast<uint32_t>(width), static_cast<uint32_t>(height)),
                             options);
    // The camera writes no APP0: drop the JFIF segment.
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        jpeg.erase(jpeg.begin() + 2, jpeg.begin() + 4 + (jpeg[4] << 8 | jpeg[5]));
    return jpeg;
}

std::vector<uint8_t> ThumbnailFrame()
{
    std::vector<uint8_t> f(320 * 240 * 2);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            f[y * 320 + x] = static_cast<uint8_t>((x + y) * 255 / 558);
    for (int i = 320 * 240; i < 320 * 240 * 2; ++i)
        f[i] = static_cast<uint8_t>(96 + (i % 160) / 5);
    return f;
}

std::vector<uint8_t> StillBuffer(const std::vector<uint8_t>& stream)
{
    std::vector<uint8_t> still = stream;
    std::vector<uint8_t> frame = ThumbnailFrame();
    still.insert(still.end(), frame.begin(), frame.end());
    return still;
}

std::vector<uint8_t> MainQuantTables(const std::vector<uint8_t>& jpeg)
{
    size_t i = 2;
    while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
        size_t length = static_cast<size_t>(jpeg[i + 2] << 8 | jpeg[i + 3]);
        if (jpeg[i + 1] == 0xDB)
            return {jpeg.begin() + static_cast<long>(i), jpeg.begin() + static_cast<long>(i + 2 + length)};
        i += 2 + length;
    }
    return {};
}

Reading Read(const std::vector<uint8_t>& jpeg)
{
    Reading r;
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info{};
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    if (gCreateJpegImageDecoder(&decoder, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &thumbKind,
                                &thumbLength, 8) != 0)
        return r;
    decoder->Release(decoder);
    r.ok = true;
    r.width = info.width;
    r.height = info.height;
    r.thumbWidth = thumbKind ? info.thumbnail.width : 0;
    r.thumbHeight = thumbKind ? info.thumbnail.height : 0;
    r.make = info.exif.make;
    r.model = info.exif.model;
    r.dateTimeOriginal = info.exif.dateTimeOriginal;
    r.orientation = info.exif.orientation;
    r.pixelX = info.exif.pixelXDimension;
    r.pixelY = info.exif.pixelYDimension;
    r.gpsLatitudeDegrees = info.exif.gpsLatitude[0].denominator ? info.exif.gpsLatitude[0].numerator /
                                                                     info.exif.gpsLatitude[0].denominator
                                                               : 0;
    r.whiteBalance = info.exif.whiteBalance;
    return r;
}

}  // namespace savertest
