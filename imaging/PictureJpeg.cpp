// The program's JPEG decoder behind the platform's picture loaders.
#include <algorithm>
#include <memory>
#include <new>

#include "ImageDecoder.h"
#include "jpeg/JpegDecoder.h"
#include "plat/picture.h"

namespace {

struct DecoderDeleter {
    void operator()(JpegDecoder* d) const { d->Release(d); }
};

DWORD DecodeJpegPicture(const BYTE* data, size_t size, int minWidth, int minHeight, plat::Picture* out)
{
    if (!data || !out || size > 0xFFFFFFFFu)
        return ERROR_INVALID_DATA;
    uint16_t w = 0, h = 0;
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    auto length = static_cast<uint32_t>(size);
    if (gParseJpegHeader(data, length, &w, &h, &thumbKind, &thumbLength) != 0 || !w || !h ||
        w > plat::kMaxPictureSide || h > plat::kMaxPictureSide)
        return ERROR_INVALID_DATA;
    // The smallest scale whose size still covers what is asked for.
    int scale = 1;
    if (minWidth > 0 || minHeight > 0)
        for (int s : {8, 4, 2})
            if ((w + s - 1) / s >= minWidth && (h + s - 1) / s >= minHeight) {
                scale = s;
                break;
            }
    JpegImageInfo info{};
    JpegDecoder* raw = nullptr;
    if (gCreateJpegImageDecoder(&raw, data, length, &info, &thumbKind, &thumbLength, scale) != 0)
        return ERROR_INVALID_DATA;
    std::unique_ptr<JpegDecoder, DecoderDeleter> decoder(raw);
    JpegThumbnailInfo size2{};
    if (gGetJpegOutputInfo(raw, &size2) != 0 || !size2.width || !size2.height)
        return ERROR_INVALID_DATA;
    std::vector<WORD> even;
    try {
        even.resize(static_cast<size_t>(size2.evenWidth) * size2.evenHeight);
        out->pixels.resize(static_cast<size_t>(size2.width) * size2.height);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    if (gDecodeJpegImage(raw, even.data(), static_cast<uint32_t>(even.size()), &size2) != 0)
        return ERROR_INVALID_DATA;
    out->width = size2.width;
    out->height = size2.height;
    out->alpha.clear();
    for (int y = 0; y < out->height; ++y)
        std::copy_n(even.data() + static_cast<size_t>(y) * size2.evenWidth, out->width,
                    out->pixels.data() + static_cast<size_t>(y) * out->width);
    return 0;
}

}  // namespace

void RegisterPictureDecoders() { plat::RegisterJpegPictureDecoder(&DecodeJpegPicture); }
