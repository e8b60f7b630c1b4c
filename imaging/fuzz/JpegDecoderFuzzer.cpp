// libFuzzer target: the whole decoder path a caller takes, main picture and
// thumbnail, at the scale the first byte picks.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "jpeg/JpegDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) {
        return 0;
    }
    const int32_t scale = 1 << (data[0] & 3);
    const uint8_t* jpeg = data + 1;
    const uint32_t length = static_cast<uint32_t>(size - 1);
    uint16_t width = 0, height = 0;
    uint8_t kind = 0;
    uint32_t thumbLength = 0;
    gParseJpegHeader(jpeg, length, &width, &height, &kind, &thumbLength);

    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    if (gCreateJpegImageDecoder(&decoder, jpeg, length, &info, &kind, &thumbLength, scale) != 0) {
        return 0;
    }
    JpegThumbnailInfo out{};
    gGetJpegOutputInfo(decoder, &out);
    // Keep each run small: the output buffer is the caller's to size.
    if (uint64_t{out.paddedWidth} * out.paddedHeight <= (1u << 22)) {
        std::vector<uint16_t> pixels(size_t{out.evenWidth} * out.evenHeight);
        gDecodeJpegImage(decoder, pixels.data(), static_cast<uint32_t>(pixels.size()), &out);
    }
    decoder->Release(decoder);

    if (kind != 0) {
        const uint32_t offset = info.thumbnail.form == kJpegThumbFormRgb ? 0 : info.thumbnailOffset;
        if (offset <= length && thumbLength <= length - offset) {
            JpegDecoder* thumb = nullptr;
            JpegThumbnailInfo t = info.thumbnail;
            if (gCreateJpegThumbnailDecoder(&thumb, jpeg + offset, thumbLength, &t) == 0) {
                if (uint64_t{t.evenWidth} * t.evenHeight <= (1u << 22)) {
                    std::vector<uint16_t> pixels(size_t{t.evenWidth} * t.evenHeight);
                    gDecodeJpegImage(thumb, pixels.data(), static_cast<uint32_t>(pixels.size()), &t);
                }
                thumb->Release(thumb);
            }
        }
    }
    return 0;
}
