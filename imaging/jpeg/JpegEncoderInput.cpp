// Input setup of a frame: the planes the MCU formers read. Sequential frames
// without a thumbnail are read in place; otherwise packed formats, and
// pictures that need padding, go through the MCU formers once into padded
// work planes, which then serve the coefficient passes and the thumbnail.
#include "jpeg/JpegEncoderState.h"

namespace {

// The planar format a converted frame is coded as.
int32_t ConvertedFormat(int32_t format)
{
    switch (format) {
    case kJpegYuyv:
        return kJpegYuv422;
    case kJpegInterleaved444:
        return kJpegYuv444;
    case kJpegRgbPlanar:
    case kJpegRgb:
    case kJpegRgb565:
    case kJpegYuyvAs420:
    case kJpegNv12:
        return kJpegYuv420;
    default:
        return format;
    }
}

uint8_t Clamp8(int16_t v)
{
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

void Scatter8x8(const int16_t* block, uint8_t* dst, size_t stride)
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            dst[y * stride + x] = Clamp8(block[y * 8 + x]);
        }
    }
}

}  // namespace

size_t JpegWorkPlaneBytes(int32_t inputFormat, int32_t paddedWidth, int32_t paddedHeight)
{
    size_t luma = static_cast<size_t>(paddedWidth) * static_cast<size_t>(paddedHeight);
    switch (ConvertedFormat(inputFormat)) {
    case kJpegYuv420:
        return luma + luma / 2;
    case kJpegYuv422:
        return 2 * luma;
    case kJpegYuv444:
        return 3 * luma;
    default:
        return luma;
    }
}

bool JpegNeedsWorkPlanes(const JpegEncoderImpl* e)
{
    return (e->thumbnailOn || e->codingMode == 2) &&
           (e->inputFormat >= kJpegRgbPlanar || e->width != e->paddedWidth || e->height != e->paddedHeight);
}

void JpegPrepareInput(JpegEncoderImpl* e, const uint8_t* input)
{
    e->currentFormat = e->inputFormat;
    JpegSetupSampling(e);
    e->mcuRow = -1;
    JpegSetInputView(e, input);
    e->viewInPlace = 1;
    if (e->workPlanes == nullptr || !JpegNeedsWorkPlanes(e)) {
        return;
    }
    const int32_t target = ConvertedFormat(e->inputFormat);
    const JpegInputLayout* out = JpegInputLayoutFor(target);
    const size_t lumaStride = static_cast<size_t>(e->paddedWidth);
    const size_t chromaStride = out->lumaH == 2 ? lumaStride / 2 : lumaStride;
    const size_t chromaRows = static_cast<size_t>(out->lumaV == 2 ? e->paddedHeight / 2 : e->paddedHeight);
    uint8_t* planes[3] = {e->workPlanes, e->workPlanes + lumaStride * e->paddedHeight,
                          e->workPlanes + lumaStride * e->paddedHeight + chromaStride * chromaRows};
    for (int32_t row = 0; row < e->geometry.mcuRows; ++row) {
        for (int32_t col = 0; col < e->geometry.mcuCols; ++col) {
            JpegFormMcu(e, col, row);
            const int16_t* block = e->blocks;
            for (int by = 0; by < out->lumaV; ++by) {
                for (int bx = 0; bx < out->lumaH; ++bx) {
                    size_t x = static_cast<size_t>(col) * e->geometry.mcuWidth + 8 * bx;
                    size_t y = static_cast<size_t>(row) * e->geometry.mcuHeight + 8 * by;
                    Scatter8x8(block, planes[0] + y * lumaStride + x, lumaStride);
                    block += 64;
                }
            }
            for (int c = 1; c < out->components; ++c) {
                Scatter8x8(block, planes[c] + static_cast<size_t>(row) * 8 * chromaStride + static_cast<size_t>(col) * 8,
                           chromaStride);
                block += 64;
            }
        }
    }
    e->currentFormat = target;
    JpegSetupSampling(e);
    for (int p = 0; p < 3; ++p) {
        e->view.plane[p] = p < out->planes ? planes[p] : nullptr;
        e->view.stride[p] = p == 0 ? static_cast<int32_t>(lumaStride) : (p < out->planes ? static_cast<int32_t>(chromaStride) : 0);
    }
    e->view.firstMcuRow = 0;
    e->viewInPlace = 0;
}
