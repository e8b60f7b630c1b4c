#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <vector>

#include "Binarizer.h"
#include "ocrchecks/CheckLog.h"
#include "TextLines.h"
#include "ocrchecks/ImageChecks.h"

namespace ocrchecks {

namespace {

constexpr long long kScaleFromPixels = 320000;  // pictures this big are looked at 320 wide
constexpr int kScaledWidth = 320;
constexpr double kScaleBack = 0.003125;         // 1 / 320

enum Direction : std::int32_t { kHorizontal = 0, kVertical = 1, kUndecided = 2 };

// A region of an 8-bit (depth flag 0) picture for the nearest-neighbour scaler.
struct PlaneRect {
    std::int32_t stride;
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
    std::uint8_t* pixels;
    std::int32_t depthFlag;
};

void ScalePlane(const PlaneRect& src, const PlaneRect& dst) {
    if (src.depthFlag != 0 || dst.depthFlag != 0) {
        return;
    }
    const long long sw = src.right - src.left, sh = src.bottom - src.top;
    const long long dw = dst.right - dst.left, dh = dst.bottom - dst.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) {
        return;
    }
    auto srcRow = [&](long long y) { return src.pixels + (src.top + y) * src.stride + src.left; };
    auto dstRow = [&](long long y) { return dst.pixels + (dst.top + y) * dst.stride + dst.left; };
    if (sw == dw && sh == dh) {
        if (src.stride == sw && dst.stride == dw && src.left == 0 && src.top == 0 &&
            dst.left == 0 && dst.top == 0) {
            std::memcpy(dst.pixels, src.pixels, static_cast<std::size_t>(sw * sh));
        } else {
            for (long long y = 0; y < dh; ++y) {
                std::memcpy(dstRow(y), srcRow(y), static_cast<std::size_t>(dw));
            }
        }
        return;
    }
    // Exact integer factors: no rounding drift at the last column or row.
    for (long long y = 0; y < dh; ++y) {
        const std::uint8_t* in = srcRow(y * sh / dh);
        std::uint8_t* out = dstRow(y);
        for (long long x = 0; x < dw; ++x) {
            out[x] = in[x * sw / dw];
        }
    }
}

// A quarter turn clockwise: new (row i, column j) = old (row h - 1 - j, column i).
bool TurnClockwise(GreyImage& image) {
    const long long w = image.width, h = image.height;
    const auto size = static_cast<std::size_t>(w * h);
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[size]);
    if (!work) {
        return false;
    }
    for (long long i = 0; i < w; ++i) {
        std::uint8_t* out = work.get() + i * h;
        for (long long j = 0; j < h; ++j) {
            out[j] = image.data[(h - 1 - j) * w + i];
        }
    }
    std::memcpy(image.data, work.get(), size);
    image.width = static_cast<std::int32_t>(h);
    image.height = static_cast<std::int32_t>(w);
    return true;
}

std::int32_t Vote(const std::vector<CheckRect>& lines) {
    if (lines.empty()) {
        return kUndecided;
    }
    long long horizontal = 0, vertical = 0;
    for (const CheckRect& r : lines) {
        const long long width = static_cast<long long>(r.right) - r.left;
        const long long height = static_cast<long long>(r.bottom) - r.top;
        if (width > 3 * height) {
            horizontal += 4;
        } else if (height > 3 * width) {
            vertical += 4;
        } else if (width > 2 * height) {
            horizontal += 3;
        } else if (height > 2 * width) {
            vertical += 3;
        } else if (height > width) {
            vertical += 1;
        }
    }
    return horizontal > vertical ? kHorizontal : vertical > horizontal ? kVertical : kUndecided;
}

// False when the picture is too flat to be scaled to 320 wide.
bool FindLines(const std::uint8_t* pixels, int w, int h, std::vector<CheckRect>& lines) {
    const std::uint8_t* src = pixels;
    int sw = w, sh = h;
    double factor = 1.0;
    std::vector<std::uint8_t> scaled;
    if (static_cast<long long>(w) * h >= kScaleFromPixels) {
        // Integer order: h / w first would truncate to 0 for every landscape picture.
        const long long height = static_cast<long long>(h) * kScaledWidth / w;
        if (height <= 0 || height > INT32_MAX) {
            return false;
        }
        sw = kScaledWidth;
        sh = static_cast<int>(height);
        scaled.resize(static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh));
        ScalePlane(PlaneRect{w, 0, 0, w, h, const_cast<std::uint8_t*>(pixels), 0},
                   PlaneRect{sw, 0, 0, sw, sh, scaled.data(), 0});
        src = scaled.data();
        factor = w * kScaleBack;
    }
    std::vector<std::uint8_t> work(static_cast<std::size_t>(sw) * static_cast<std::size_t>(sh));
    BinarizeInto(src, sw, sh, work.data());
    lines = FindTextLines(work.data(), sw, sh, kMaxTextLines);
    if (!scaled.empty()) {
        for (CheckRect& r : lines) {
            r = CheckRect{static_cast<std::int32_t>(r.left * factor),
                          static_cast<std::int32_t>(r.top * factor),
                          static_cast<std::int32_t>(r.right * factor),
                          static_cast<std::int32_t>(r.bottom * factor)};
        }
    }
    return true;
}

}  // namespace

std::int32_t DetectCardType(std::int32_t mode, const std::uint8_t* pixels, std::int32_t width,
                            std::int32_t height, std::int32_t* count, CheckRect* rects) {
    if (count != nullptr) {
        *count = 0;
    }
    if (pixels == nullptr) {
        CheckLog("[TRAVEK] DetectCardType pucImage is NULL\n");
        return 0;
    }
    if (width <= 0 || height <= 0) {
        return 0;
    }
    std::vector<CheckRect> lines;
    try {
        if (!FindLines(pixels, width, height, lines)) {
            return 0;
        }
    } catch (const std::exception&) {
        return 0;  // no work picture: cannot tell
    }
    if (count != nullptr) {
        *count = static_cast<std::int32_t>(lines.size());
    }
    if (rects != nullptr) {
        std::copy(lines.begin(), lines.end(), rects);
    }
    const std::int32_t direction = Vote(lines);
    if (mode == 1 || direction == kUndecided) {
        return direction;
    }
    return direction == kHorizontal ? 1 : 0;
}

std::int32_t CheckImageDirection(const GreyImage* small, GreyImage* full) {
    CheckLog("[OCR_ENGINE] CheckImageDirection Start\n");
    if (small == nullptr || small->data == nullptr) {
        CheckLog("[OCR_ENGINE] small Image is NULL, HORIZONTAL LINES[%d]\n", 0);
        return 1;
    }
    std::int32_t lines = 0;
    if (DetectCardType(1, small->data, small->width, small->height, &lines, nullptr) ==
        kHorizontal) {
        CheckLog("[OCR_ENGINE] HORIZONTAL LINES[%d]\n", lines);
        return 1;
    }
    if (full == nullptr || full->data == nullptr || full->width <= 0 || full->height <= 0 ||
        !TurnClockwise(*full)) {
        return 1;
    }
    CheckLog("[OCR_ENGINE] VERTICAL LINES[%d]\n", lines);
    return 0;
}

}  // namespace ocrchecks
