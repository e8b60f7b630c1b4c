#include "pixels/VideoFrame.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "pixels/PixelLog.h"

namespace {

struct PlaneOffsets {
    uint64_t length;
    uint64_t plane1;  // 0: no second and third plane
    uint64_t plane2;
};

PlaneOffsets OffsetsOf(uint32_t layout, uint64_t w, uint64_t h) {
    const uint64_t n = w * h;
    switch (layout) {
    case kFrameYCbCr420: return {n + (n >> 1), n, n + n / 4};
    case kFrameYCbCr422: return {2 * n, n, n + n / 2};
    case kFramePlanar444A:
    case kFramePlanar444B:
    case kFramePlanar444C: return {3 * n, n, 2 * n};
    case kFrameRgb16: return {2 * n, 0, 0};
    case kFrameRgb24: return {3 * n, 0, 0};
    default: return {n, 0, 0};
    }
}

}  // namespace

int AllocVideoFrame(VideoFrame* frame, int width, int height, uint32_t layout) {
    if (frame == nullptr) {
        return -2;
    }
    frame->mPlane[0] = frame->mPlane[1] = frame->mPlane[2] = nullptr;
    frame->mReservation = nullptr;
    if (layout == kFrameYCbCr420) {
        // 4:2:0 chroma covers 2 x 2 pixels, so the picture is stored even.
        width += width & 1;
        height += height & 1;
    }
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) {
        pixels::LogText(L"[TRAVEK] AllocVideoFrame: bad size %d x %d\n", width, height);
        return -2;
    }
    const PlaneOffsets offsets = OffsetsOf(layout, static_cast<uint64_t>(width), static_cast<uint64_t>(height));
    if (offsets.length > 0xFFFFFFFFu) {
        pixels::LogText(L"[TRAVEK] AllocVideoFrame: %d x %d does not fit a frame\n", width, height);
        return -2;
    }
    frame->mWidth = static_cast<uint16_t>(width);
    frame->mHeight = static_cast<uint16_t>(height);
    frame->mLayout = layout;
    frame->mLength = static_cast<uint32_t>(offsets.length);
    pixels::LogText(L"[TRAVEK] apVideoFrame->mLength = [%d]\n", static_cast<int>(frame->mLength));

    // One zeroed block, as committed pages come zeroed.
    void* block = std::calloc(offsets.length, 1);
    if (block == nullptr) {
        PrintLastErrorText(ENOMEM);
        pixels::LogText(L"Memory allocation failed! (MEM_RESERVE)\r\n");
        std::memset(frame, 0, sizeof *frame);
        return -2;
    }
    frame->mReservation = block;
    frame->mPlane[0] = static_cast<uint8_t*>(block);
    if (offsets.plane1 != 0) {
        frame->mPlane[1] = frame->mPlane[0] + offsets.plane1;
        frame->mPlane[2] = frame->mPlane[0] + offsets.plane2;
    }
    return 0;
}

int FreeVideoFrame(VideoFrame* frame) {
    if (frame == nullptr) {
        return -1;
    }
    if (frame->mPlane[0] != nullptr) {
        std::free(frame->mReservation);
    }
    frame->mReservation = nullptr;
    frame->mPlane[0] = frame->mPlane[1] = frame->mPlane[2] = nullptr;
    return 0;
}

void PrintLastErrorText(int errorCode) {
    const std::string text = std::system_category().message(errorCode);
    pixels::LogText(L"[TRAVEK] failed with error %d: %s", errorCode, text.c_str());
}
